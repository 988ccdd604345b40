// The skinned form at the edges of its sizes: a form and frame objects of no
// width or no height still paint, hit test and take the mouse (the sanitized
// build stops at any division by such a size).
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "classlib/forms.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"
#include "skin/forms/SkinnedForm.h"
#include "skinned_form_fixture.h"
#include "support/headless.h"

namespace {

using headlesstest::pump;

class SkinnedFormEdgesTest : public skintest::SkinnedFormFixture {
protected:
    // Paints the whole window, frame and client, and asks it where points lie.
    void PaintAndHitTest() {
        HBITMAP shot = RenderWindowToBitmap(form->Handle());
        if (shot) DeleteObject(shot);
        SendMessage(form->Handle(), WM_NCPAINT, 1, 0);
        InvalidateRect(form->Handle(), nullptr, 1);
        UpdateWindow(form->Handle());
        for (int x : {-1, 0, 1, form->Width() / 2, form->Width()})
            for (int y : {-1, 0, 1, form->Height() / 2, form->Height()})
                SendMessage(form->Handle(), WM_NCHITTEST, 0,
                            MAKELPARAM(form->Left() + x, form->Top() + y));
    }
    template <class T> T* Add(const std::string& name, TRect skinRect, TRect picture) {
        auto e = std::make_unique<T>(name);
        e->SkinRect = skinRect;
        e->ActiveSkinRect = picture;
        e->ActivePictureIndex = 0;
        T* raw = e.get();
        added.insert(name);
        skin->ObjectList.insert(skin->ObjectList.begin(), std::move(e));
        return raw;
    }

    std::set<std::string> added;
};

TEST_F(SkinnedFormEdgesTest, FormWithoutWidthOrHeightPaintsAndAnswers) {
    struct Case {
        int W, H;
        bool Skin;
    } cases[] = {{0, 0, true},  {0, 160, true},  {300, 0, true},  {1, 1, true},
                 {0, 0, false}, {0, 120, false}, {300, 0, false}, {1, 1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.W) + "x" + std::to_string(c.H) + (c.Skin ? " skin" : ""));
        MakeForm(c.W, c.H, c.Skin);
        PaintAndHitTest();
        // States move the frame through other sizes and back to none.
        sf->SetRollUpState(true);
        PaintAndHitTest();
        sf->SetRollUpState(false);
        sf->SetWindowState(wsMaximized);
        PaintAndHitTest();
        sf->SetWindowState(wsNormal);
        form->SetBounds(form->Left(), form->Top(), c.W, c.H);
        PaintAndHitTest();
        EXPECT_TRUE(IsWindow(form->Handle()));
        delete form;
        form = nullptr;
        pump();
    }
}

TEST_F(SkinnedFormEdgesTest, FrameObjectsWithoutWidthOrHeightPaintAndTakeTheMouse) {
    // Each kind once with no width and once with no height, in the caption
    // row, with pictures of no size and no frames to step through.
    const TRect flat[2] = {TRect(150, 5, 150, 15), TRect(200, 5, 220, 5)};
    const TRect noPicture[2] = {TRect(0, 0, 0, 10), TRect(0, 0, 20, 0)};
    for (int i = 0; i < 2; ++i) {
        std::string n = std::to_string(i);
        Add<TspDataSkinButton>("button" + n, flat[i], noPicture[i])->Morphing = true;
        auto* g = Add<TspDataSkinGauge>("gauge" + n, flat[i], noPicture[i]);
        g->MaxValue = 10;
        g->Kind = i ? gkVertical : gkHorizontal;
        auto* t = Add<TspDataSkinTrackBar>("track" + n, flat[i], noPicture[i]);
        t->MaxValue = 10;
        t->MouseDownChangeValue = true;
        auto* fg = Add<TspDataSkinFrameGaugeObject>("fgauge" + n, flat[i], noPicture[i]);
        fg->MaxValue = 10;
        fg->FramesPlacement = i ? fpVertical : fpHorizontal;
        auto* fr = Add<TspDataSkinFrameRegulatorObject>("knob" + n, flat[i], noPicture[i]);
        fr->MaxValue = 10;
        fr->Kind = i ? rkVertical : rkRound;
        Add<TspDataSkinSwitch>("switch" + n, flat[i], noPicture[i]);
        auto* a = Add<TspDataSkinAnimate>("anim" + n, flat[i], noPicture[i]);
        a->TimerInterval = 20;
        a->Cycle = true;
        auto* l = Add<TspDataSkinLabel>("label" + n, flat[i], noPicture[i]);
        l->TextValue = "text";
        auto* b = Add<TspDataSkinBitLabel>("bits" + n, flat[i], noPicture[i]);
        b->Symbols->Add("AB");
        b->TextValue = "AB";
    }
    MakeForm(420, 200, true);
    for (int i = 0; i < 2; ++i) {
        std::string n = std::to_string(i);
        sf->GaugeSetValue("gauge" + n, 5);
        sf->TrackBarSetValue("track" + n, 5);
        sf->FrameGaugeSetValue("fgauge" + n, 5);
        sf->FrameRegulatorSetValue("knob" + n, 5);
        sf->SwitchSetState("switch" + n, swsOn);
        sf->LabelSetText("label" + n, "other");
        sf->BitLabelSetText("bits" + n, "BA");
        sf->AnimateStart("anim" + n);
    }
    sf->AnimateTimerProc();
    sf->AnimateTimerProc();
    for (const TRect& r : flat) {
        for (int x : {r.Left - 1, r.Left, r.Right}) {
            for (int y : {r.Top - 1, r.Top, r.Bottom}) {
                sf->TestActiveObject(x, y, true);
                sf->MorphTimerProc();
                sf->ObjectsMouseDown(mbLeft, x, y);
                sf->ObjectsMouseMove(x + 3, y + 3);
                sf->ObjectsMouseUp(mbLeft, x + 3, y + 3);
            }
        }
    }
    sf->TestActiveObject(-1, -1, false);
    PaintAndHitTest();
    // None of them, having no size, becomes hot.
    for (const TRect& r : flat) {
        sf->TestActiveObject(r.Left, r.Top, true);
        if (sf->ActiveObject >= 0) {
            EXPECT_EQ(added.count(sf->ObjectList[size_t(sf->ActiveObject)]->IDName), 0u);
        }
    }
}

} // namespace
