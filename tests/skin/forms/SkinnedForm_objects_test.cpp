// Frame objects of the skinned form on the headless display: each kind in its
// states (read as pixels of the rendered frame), its mouse handling, and the
// form's operations that reach an object by name.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "classlib/menus.h"
#include "platform/win/input.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedForm.h"
#include "skinned_form_fixture.h"
#include "support/headless.h"

namespace {

using headlesstest::pump;

// A TColor as the rendered pixel holds it.
uint32_t Rgb(TColor c) {
    uint32_t v = ColorToRGB(c);
    return (v & 0xFF) << 16 | (v & 0xFF00) | (v >> 16 & 0xFF);
}

// Blocks of the object picture (index Pic of the skin), 10 pixels high.
const TRect kRed(0, 0, 20, 10), kLime(20, 0, 40, 10), kBlue(40, 0, 60, 10), kYellow(60, 0, 80, 10),
    kAqua(80, 0, 100, 10), kFuchsia(100, 0, 140, 10);
// A strip of four 20-pixel frames: red, lime, blue, yellow.
const TRect kStrip(0, 20, 80, 30);
// Bit-font cells of 10 x 10: row 0 "AB" red, lime; row 1 "CD" blue, yellow.
const TRect kFont(0, 40, 20, 60);

class FrameObjectsTest : public skintest::SkinnedFormFixture {
protected:
    void SetUp() override {
        SkinnedFormFixture::SetUp();
        if (HasFatalFailure()) return;
        auto pic = std::make_unique<TBitmap>(140, 60);
        TCanvas* c = pic->Canvas();
        auto fill = [c](TRect r, TColor col) {
            c->Brush()->SetColor(col);
            c->FillRect(r);
        };
        fill(TRect(0, 0, 140, 60), clWhite);
        fill(kRed, clRed);
        fill(kLime, clLime);
        fill(kBlue, clBlue);
        fill(kYellow, clYellow);
        fill(kAqua, clAqua);
        fill(kFuchsia, clFuchsia);
        const TColor strip[4] = {clRed, clLime, clBlue, clYellow};
        for (int i = 0; i < 4; ++i)
            fill(Bounds(20 * i, 20, 20, 10), strip[i]);
        fill(Bounds(0, 40, 10, 10), clRed);
        fill(Bounds(10, 40, 10, 10), clLime);
        fill(Bounds(0, 50, 10, 10), clBlue);
        fill(Bounds(10, 50, 10, 10), clYellow);
        skin->FActivePictures.push_back(std::move(pic));
        Pic = int(skin->FActivePictures.size()) - 1;
        // Mask: the left half of a 20 x 10 object is inside.
        auto mask = std::make_unique<TBitmap>(20, 10);
        mask->Canvas()->Brush()->SetColor(clWhite);
        mask->Canvas()->FillRect(TRect(0, 0, 20, 10));
        mask->Canvas()->Brush()->SetColor(clBlack);
        mask->Canvas()->FillRect(TRect(0, 0, 10, 10));
        mask->Canvas()->SetPixel(3, 3, TColor(0x010101)); // near black is outside
        skin->FActivePictures.push_back(std::move(mask));
        Mask = int(skin->FActivePictures.size()) - 1;
    }
    // Elements go first, so they take the hit before the caption.
    template <class T> T* Add(const std::string& name, TRect skinRect) {
        auto e = std::make_unique<T>(name);
        e->SkinRect = skinRect;
        e->ActivePictureIndex = Pic;
        T* raw = e.get();
        skin->ObjectList.insert(skin->ObjectList.begin() + added++, std::move(e));
        return raw;
    }
    void MakeForm(bool withSkin = true) { SkinnedFormFixture::MakeForm(420, 200, withSkin); }
    uint32_t At(int x, int y) {
        HBITMAP shot = RenderWindowToBitmap(form->Handle());
        uint32_t v = reinterpret_cast<const uint32_t*>(shot->row(y))[x] & 0xFFFFFF;
        DeleteObject(shot);
        return v;
    }
    template <class T> T* Obj(const std::string& name) {
        int i = sf->GetIndex(name);
        return i < 0 ? nullptr : dynamic_cast<T*>(sf->ObjectList[size_t(i)].get());
    }

    int Pic = -1, Mask = -1;
    int added = 0;
};

TEST_F(FrameObjectsTest, ButtonsShowTheirStatesAndGroupsReleaseEachOther) {
    auto* b = Add<TspDataSkinButton>("push", TRect(150, 5, 170, 15));
    b->ActiveSkinRect = kRed;
    b->DownRect = kLime;
    b->DisableSkinRect = kBlue;
    for (const char* n : {"g1", "g2"}) {
        auto* g = Add<TspDataSkinButton>(n, n[1] == '1' ? TRect(180, 5, 200, 15)
                                                        : TRect(210, 5, 230, 15));
        g->GroupIndex = 1;
        g->DownRect = kYellow;
    }
    MakeForm();
    const uint32_t normal = At(160, 10);
    std::vector<std::string> ups;
    sf->OnMouseUpEvent = [&](const std::string& id, int, int, TRect, TMouseButton) {
        ups.push_back(id);
    };

    sf->TestActiveObject(160, 10, true);
    EXPECT_EQ(At(160, 10), Rgb(clRed)); // hot
    sf->ObjectsMouseDown(mbLeft, 160, 10);
    EXPECT_EQ(At(160, 10), Rgb(clLime)); // pressed
    sf->ObjectsMouseUp(mbLeft, 160, 10);
    EXPECT_FALSE(sf->ButtonGetDown("push"));
    EXPECT_EQ(ups, std::vector<std::string>{"push"});

    // Pressed and dragged off: it looks released and the release is not a click.
    sf->ObjectsMouseDown(mbLeft, 160, 10);
    sf->TestActiveObject(190, 10, true); // over another button: none is hot while held
    EXPECT_EQ(sf->ActiveObject, -1);
    EXPECT_EQ(At(160, 10), normal);
    sf->ObjectsMouseUp(mbLeft, 190, 10);
    EXPECT_EQ(ups.size(), 1u);
    EXPECT_FALSE(sf->ButtonGetDown("g1"));
    EXPECT_FALSE(sf->ButtonGetDown("push"));

    sf->SetEnabled("push", false);
    sf->DrawSkinObject(sf->ObjectList[size_t(sf->GetIndex("push"))].get());
    EXPECT_EQ(At(160, 10), Rgb(clBlue));
    sf->TestActiveObject(160, 10, true);
    EXPECT_NE(sf->ActiveObject, sf->GetIndex("push")); // disabled objects never become hot

    // Group buttons: one stays down, whether hovered or not.
    sf->ObjectsMouseDown(mbLeft, 190, 10);
    sf->ObjectsMouseUp(mbLeft, 190, 10);
    sf->TestActiveObject(-1, -1, false);
    EXPECT_TRUE(sf->ButtonGetDown("g1"));
    EXPECT_EQ(At(190, 10), Rgb(clYellow));
    sf->ObjectsMouseDown(mbLeft, 220, 10);
    sf->ObjectsMouseUp(mbLeft, 220, 10);
    EXPECT_TRUE(sf->ButtonGetDown("g2"));
    EXPECT_FALSE(sf->ButtonGetDown("g1"));
    sf->ButtonSetDown("g2", false);
    EXPECT_FALSE(sf->ButtonGetDown("g2"));
}

TEST_F(FrameObjectsTest, MaskDecidesTheHitAndMorphingStepsBothWays) {
    auto* m = Add<TspDataSkinButton>("masked", TRect(150, 5, 170, 15));
    m->ActiveMaskPictureIndex = Mask;
    auto* s = Add<TspDataSkinButton>("soft", TRect(200, 5, 220, 15));
    s->ActiveSkinRect = kRed;
    s->Morphing = true;
    MakeForm();
    auto* masked = sf->ObjectList[size_t(sf->GetIndex("masked"))].get();
    struct Case {
        int X, Y;
        bool In;
    };
    for (Case c : {Case{0, 0, true}, Case{9, 9, true}, Case{10, 0, false}, Case{3, 3, false},
                   Case{20, 0, false}, Case{0, 10, false}, Case{-1, 0, false}})
        EXPECT_EQ(masked->IsPointInObject(c.X, c.Y), c.In) << c.X << "," << c.Y;
    sf->TestActiveObject(155, 10, true);
    EXPECT_EQ(sf->ActiveObject, sf->GetIndex("masked"));
    sf->TestActiveObject(165, 10, true);
    EXPECT_NE(sf->ActiveObject, sf->GetIndex("masked"));

    auto* soft = sf->ObjectList[size_t(sf->GetIndex("soft"))].get();
    sf->MorphTimer()->SetEnabled(false);
    sf->TestActiveObject(210, 10, true);
    EXPECT_TRUE(sf->MorphTimer()->Enabled());
    sf->MorphTimerProc();
    sf->MorphTimerProc();
    EXPECT_NEAR(soft->MorphKf(), 0.4, 1e-9);
    uint32_t mid = At(210, 10);
    EXPECT_NE(mid, Rgb(clRed));
    sf->TestActiveObject(-1, -1, false); // leave halfway: the morph turns back
    sf->MorphTimerProc();
    EXPECT_NEAR(soft->MorphKf(), 0.2, 1e-9);
    for (int i = 0; i < 5; ++i)
        sf->MorphTimerProc();
    EXPECT_EQ(soft->MorphKf(), 0.0);
    EXPECT_FALSE(sf->MorphTimer()->Enabled()); // stopped by the tick with nothing to do

    // Without skin effects the hot image comes at once.
    skin->SetEnableSkinEffects(false);
    sf->TestActiveObject(210, 10, true);
    EXPECT_FALSE(sf->MorphTimer()->Enabled());
    EXPECT_EQ(At(210, 10), Rgb(clRed));
}

TEST_F(FrameObjectsTest, GaugeFillsByItsValue) {
    auto* g = Add<TspDataSkinGauge>("gauge", TRect(150, 5, 190, 15));
    g->ActiveSkinRect = kFuchsia;
    g->MinValue = 0;
    g->MaxValue = 100;
    auto* flat = Add<TspDataSkinGauge>("flat", TRect(200, 5, 240, 15));
    flat->ActiveSkinRect = kFuchsia;
    flat->MinValue = flat->MaxValue = 7; // no range: must not divide by it
    auto* empty = Add<TspDataSkinGauge>("empty", TRect(250, 5, 250, 15));
    empty->MaxValue = 10;
    MakeForm();
    const uint32_t normal = At(185, 10);
    sf->GaugeSetValue("gauge", 50);
    EXPECT_EQ(At(150, 10), Rgb(clFuchsia));
    EXPECT_EQ(At(169, 10), Rgb(clFuchsia));
    EXPECT_EQ(At(171, 10), normal);
    sf->GaugeSetValue("gauge", 250);
    EXPECT_EQ(Obj<TspSkinGaugeObject>("gauge")->Value(), 100);
    EXPECT_EQ(At(189, 10), Rgb(clFuchsia));
    sf->GaugeSetValue("flat", 3);
    sf->GaugeSetValue("empty", 5);
    At(0, 0);
    EXPECT_EQ(Obj<TspSkinGaugeObject>("flat")->Value(), 7);
}

TEST_F(FrameObjectsTest, TrackBarDragsWithinItsTrack) {
    auto* t = Add<TspDataSkinTrackBar>("track", TRect(150, 18, 190, 28));
    t->BeginPoint = TPoint(5, 5);
    t->EndPoint = TPoint(35, 5);
    t->MinValue = 0;
    t->MaxValue = 30;
    t->ButtonRect = TRect(20, 0, 26, 6); // lime
    t->MouseDownChangeValue = true;
    auto* z = Add<TspDataSkinTrackBar>("still", TRect(200, 18, 240, 28));
    z->BeginPoint = z->EndPoint = TPoint(5, 5); // no length, no range
    z->ButtonRect = TRect(20, 0, 26, 6);
    MakeForm();
    std::vector<int> values;
    sf->OnTrackBarChangeValueEvent = [&](const std::string&, int v) { values.push_back(v); };
    sf->TrackBarSetValue("track", 15);
    EXPECT_EQ(values, std::vector<int>{15});
    EXPECT_EQ(At(150 + 20, 23), Rgb(clLime)); // the button at the middle
    sf->TrackBarSetValue("track", 15);
    EXPECT_EQ(values.size(), 1u); // same value: no event

    // Drag the button: 5 right, then past the end (ignored).
    sf->ObjectsMouseDown(mbLeft, 170, 23);
    sf->ObjectsMouseMove(175, 23);
    EXPECT_EQ(sf->TrackBarGetValue("track"), 20);
    sf->ObjectsMouseMove(195, 23);
    EXPECT_EQ(sf->TrackBarGetValue("track"), 20);
    sf->ObjectsMouseUp(mbLeft, 195, 23);
    // A click on the track moves the button there, limited to the track.
    sf->TestActiveObject(152, 23, true);
    sf->ObjectsMouseDown(mbLeft, 152, 23);
    sf->ObjectsMouseUp(mbLeft, 152, 23);
    EXPECT_EQ(sf->TrackBarGetValue("track"), 0);

    sf->TrackBarSetValue("still", 4);
    sf->ObjectsMouseDown(mbLeft, 230, 23);
    sf->ObjectsMouseUp(mbLeft, 230, 23);
    At(0, 0);
    EXPECT_EQ(sf->TrackBarGetValue("still"), 0);
    EXPECT_EQ(sf->TrackBarGetValue("nothing"), 0);
}

TEST_F(FrameObjectsTest, SwitchFlipsOnTheLeftButtonOnly) {
    auto* s = Add<TspDataSkinSwitch>("switch", TRect(150, 5, 170, 15));
    s->ActiveSkinRect = kRed;
    MakeForm();
    std::vector<TSwitchState> states;
    sf->OnSwitchChangeStateEvent = [&](const std::string&, TSwitchState st) {
        states.push_back(st);
    };
    const uint32_t off = At(160, 10);
    sf->ObjectsMouseDown(mbRight, 160, 10);
    sf->ObjectsMouseUp(mbRight, 160, 10);
    EXPECT_EQ(sf->SwitchGetState("switch"), swsOff);
    sf->ObjectsMouseDown(mbLeft, 160, 10);
    sf->ObjectsMouseUp(mbLeft, 160, 10);
    EXPECT_EQ(sf->SwitchGetState("switch"), swsOn);
    EXPECT_EQ(At(160, 10), Rgb(clRed));
    sf->SwitchSetState("switch", swsOff);
    EXPECT_EQ(At(160, 10), off);
    EXPECT_EQ(states, (std::vector<TSwitchState>{swsOn, swsOff}));
    EXPECT_EQ(sf->SwitchGetState("nothing"), swsOff);
}

TEST_F(FrameObjectsTest, LabelsDrawTheirTexts) {
    auto* l = Add<TspDataSkinLabel>("label", TRect(150, 5, 230, 25));
    l->FontColor = clRed;
    l->ActiveFontColor = clBlue;
    l->FontHeight = 16;
    l->Alignment = taLeftJustify;
    auto* b = Add<TspDataSkinBitLabel>("digits", TRect(240, 5, 265, 15));
    b->ActiveSkinRect = kFont;
    b->SymbolWidth = b->SymbolHeight = 10;
    b->Symbols->Add("AB");
    b->Symbols->Add("CD");
    MakeForm();
    auto count = [&](TColor c) {
        HBITMAP shot = RenderWindowToBitmap(form->Handle());
        int n = 0;
        for (int y = 5; y < 25; ++y)
            for (int x = 150; x < 230; ++x)
                if ((reinterpret_cast<const uint32_t*>(shot->row(y))[x] & 0xFFFFFF) == Rgb(c)) ++n;
        DeleteObject(shot);
        return n;
    };
    const uint32_t background = At(245, 10);
    sf->LabelSetText("label", "WWW");
    EXPECT_GT(count(clRed), 5);
    sf->TestActiveObject(160, 10, true); // hot colour differs: redrawn
    EXPECT_GT(count(clBlue), 5);
    EXPECT_EQ(count(clRed), 0);

    // "ADC": red, yellow, then blue cut at the label's edge; "X" is skipped.
    sf->BitLabelSetText("digits", "ADCB");
    EXPECT_EQ(At(245, 10), Rgb(clRed));
    EXPECT_EQ(At(255, 10), Rgb(clYellow));
    EXPECT_EQ(At(264, 10), Rgb(clBlue));
    sf->BitLabelSetText("digits", "XB");
    EXPECT_EQ(At(245, 10), background);
    EXPECT_EQ(At(255, 10), Rgb(clLime));
}

TEST_F(FrameObjectsTest, FrameGaugeAndRegulatorPickTheirFrames) {
    auto* g = Add<TspDataSkinFrameGaugeObject>("fgauge", TRect(150, 5, 170, 15));
    g->ActiveSkinRect = kStrip;
    g->CountFrames = 4;
    g->MinValue = 0;
    g->MaxValue = 30;
    auto* r = Add<TspDataSkinFrameRegulatorObject>("knob", TRect(180, 5, 200, 15));
    r->ActiveSkinRect = kStrip;
    r->CountFrames = 4;
    r->MinValue = 0;
    r->MaxValue = 30;
    r->Kind = rkHorizontal;
    auto* round = Add<TspDataSkinFrameRegulatorObject>("round", TRect(210, 2, 230, 22));
    round->ActiveSkinRect = kStrip;
    round->CountFrames = 4;
    round->MaxValue = 30;
    auto* one = Add<TspDataSkinFrameRegulatorObject>("one", TRect(240, 5, 260, 15));
    one->ActiveSkinRect = kStrip;
    one->CountFrames = 1;
    one->MinValue = one->MaxValue = 5; // one frame, no range: draws frame 1, drags do nothing
    MakeForm();
    sf->ObjectsMouseDown(mbLeft, 242, 10);
    sf->ObjectsMouseMove(259, 10);
    sf->ObjectsMouseUp(mbLeft, 259, 10);
    EXPECT_EQ(sf->FrameRegulatorGetValue("one"), 5);
    EXPECT_EQ(At(241, 10), Rgb(clRed)); // the one frame is the whole strip
    EXPECT_EQ(At(160, 10), Rgb(clRed));
    sf->FrameGaugeSetValue("fgauge", 20);
    EXPECT_EQ(At(160, 10), Rgb(clBlue));
    sf->FrameGaugeSetValue("fgauge", 31); // outside: ignored, not clamped
    EXPECT_EQ(At(160, 10), Rgb(clBlue));

    std::vector<int> values;
    sf->OnFrameRegulatorChangeValueEvent = [&](const std::string&, int v) { values.push_back(v); };
    sf->ObjectsMouseDown(mbLeft, 180, 10);
    sf->ObjectsMouseMove(184, 10); // less than one step (20 / 3 = 6 pixels)
    EXPECT_EQ(sf->FrameRegulatorGetValue("knob"), 0);
    sf->ObjectsMouseMove(187, 10);
    EXPECT_EQ(sf->FrameRegulatorGetValue("knob"), 10);
    sf->ObjectsMouseMove(194, 10);
    sf->ObjectsMouseUp(mbLeft, 194, 10);
    EXPECT_EQ(values, (std::vector<int>{10, 20}));
    EXPECT_EQ(At(190, 10), Rgb(clBlue));
    sf->FrameRegulatorSetValue("knob", 40);
    EXPECT_EQ(sf->FrameRegulatorGetValue("knob"), 20);

    // Angles: clockwise from straight down, in whole degrees.
    auto* k = Obj<TspSkinFrameRegulatorObject>("round");
    struct Case {
        int X, Y, Angle;
    };
    for (Case c : {Case{10, 20, 0}, Case{0, 10, 90}, Case{10, 0, 180}, Case{20, 10, 270},
                   Case{0, 0, 135}, Case{10, 10, 0}})
        EXPECT_EQ(k->CalcAngle(c.X, c.Y), c.Angle) << c.X << "," << c.Y;
    // Turning clockwise across straight down keeps increasing.
    sf->FrameRegulatorSetValue("round", 10);
    sf->ObjectsMouseDown(mbLeft, 210 + 4, 2 + 19); // just left of down (~ 30 degrees)
    sf->ObjectsMouseMove(210 + 16, 2 + 19);        // just right of down (~ 330 degrees)
    sf->ObjectsMouseUp(mbLeft, 226, 21);
    EXPECT_EQ(sf->FrameRegulatorGetValue("round"), 20);
}

TEST_F(FrameObjectsTest, AnimationsStepByTheirIntervalAndButtonsRunTheirCommand) {
    auto* a = Add<TspDataSkinAnimate>("anim", TRect(150, 5, 170, 15));
    a->SkinRect = TRect(150, 5, 170, 15);
    a->ActiveSkinRect = kStrip;
    a->CountFrames = 4;
    a->TimerInterval = 60;
    auto* c = Add<TspDataSkinAnimate>("closer", TRect(180, 5, 200, 15));
    c->ActiveSkinRect = kStrip;
    c->CountFrames = 4;
    c->ButtonStyle = true;
    c->Command = cmClose;
    MakeForm();
    auto* anim = Obj<TspSkinAnimateObject>("anim");
    sf->AnimateStart("anim");
    EXPECT_TRUE(sf->AnimateTimer()->Enabled());
    EXPECT_EQ(anim->Frame(), 1);
    std::vector<int> frames;
    for (int i = 0; i < 9; ++i) {
        sf->AnimateTimerProc();
        frames.push_back(anim->Frame());
    }
    // A frame lasts 75 ms (three ticks) for an interval of 60; no cycle: stops at the last.
    EXPECT_EQ(frames, (std::vector<int>{1, 1, 2, 2, 2, 3, 3, 3, 4}));
    EXPECT_FALSE(anim->Active);
    EXPECT_EQ(At(160, 10), Rgb(clYellow));
    sf->AnimateStop("anim");
    EXPECT_EQ(At(160, 10), Rgb(clRed));

    bool asked = false, closed = false;
    sf->OnObjectCommand = [&](TStdCommand, bool&) { asked = true; };
    form->OnClose = [&](TObject*, TCloseAction& act) {
        closed = true;
        act = caHide;
    };
    sf->TestActiveObject(190, 10, true);
    sf->ObjectsMouseDown(mbLeft, 190, 10);
    sf->ObjectsMouseUp(mbLeft, 190, 10);
    pump();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(asked); // animate buttons do not ask
}

TEST_F(FrameObjectsTest, OperationsReachTheFirstObjectOfAName) {
    Add<TspDataUserObject>("user", TRect(150, 5, 170, 15));
    Add<TspDataUserObject>("user", TRect(200, 5, 220, 15));
    auto* menuButton = Add<TspDataSkinButton>("menu", TRect(230, 5, 250, 15));
    menuButton->ActiveSkinRect = kRed;
    MakeForm();
    std::vector<TRect> painted;
    sf->OnPaintEvent = [&](const std::string&, TCanvas*, TRect r) { painted.push_back(r); };
    sf->UserObjectDraw("user");
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0], TRect(150, 5, 170, 15));
    EXPECT_EQ(sf->GetIndex("user"), 0);
    EXPECT_EQ(sf->GetIndex("none"), -1);
    EXPECT_FALSE(sf->ButtonGetDown("user")); // another kind
    sf->UserObjectDraw("menu");              // another kind: nothing
    EXPECT_EQ(painted.size(), 1u);

    // A linked menu opens under its button at the button's screen rectangle.
    TPopupMenu popup(nullptr);
    auto* item = new TMenuItem(&popup);
    item->Caption = "Item";
    popup.Items()->Add(item);
    sf->LinkMenu("menu", &popup, false);
    TRect shownAt;
    TMenuItem* shown = nullptr;
    bool shownUp = true;
    sf->MenuPresenter = [&](TMenuItem* items, TRect r, bool up) {
        shown = items;
        shownAt = r;
        shownUp = up;
    };
    sf->TestActiveObject(240, 10, true);
    sf->ObjectsMouseDown(mbLeft, 240, 10);
    EXPECT_EQ(shown, popup.Items());
    EXPECT_EQ(shownAt, TRect(330, 85, 350, 95));
    EXPECT_TRUE(sf->ButtonGetDown("menu"));
    sf->ObjectsMouseUp(mbLeft, 240, 10);
    EXPECT_TRUE(sf->ButtonGetDown("menu")); // stays down while its menu is open
    EXPECT_FALSE(shownUp);
    SendMessage(form->Handle(), WM_SKIN_CLOSEMENU, 0, 0);
    EXPECT_FALSE(sf->ButtonGetDown("menu"));

    // Linked to open upward, it is shown upward.
    sf->LinkMenu("menu", &popup, true);
    sf->TestActiveObject(240, 10, true);
    sf->ObjectsMouseDown(mbLeft, 240, 10);
    sf->ObjectsMouseUp(mbLeft, 240, 10);
    EXPECT_TRUE(shownUp);
    SendMessage(form->Handle(), WM_SKIN_CLOSEMENU, 0, 0);
}

TEST_F(FrameObjectsTest, CaptionButtonsFollowTheWindowStateAndTheSkinsTexts) {
    TspResourceStrData strings(nullptr);
    TStringList lines;
    lines.Add("MAXBUTTON_HINT=Grow");
    lines.Add("RESTORE_HINT=Back");
    strings.SetResStrings(&lines);
    skin->SetResourceStrData(&strings);
    MakeForm();
    auto* max = Obj<TspSkinStdButtonObject>("maxbutton");
    ASSERT_NE(max, nullptr);
    EXPECT_EQ(max->Hint, "Grow");
    EXPECT_EQ(Obj<TspSkinStdButtonObject>("closebutton")->Hint, "Close");
    sf->SetWindowState(wsMaximized);
    pump();
    EXPECT_TRUE(max->RestoreMode());
    max->MouseEnter();
    EXPECT_EQ(max->Hint, "Back");
    max->MouseLeave();
    sf->OnGetObjectRestoreMode = [](TStdCommand, bool& r) { r = false; };
    EXPECT_FALSE(max->RestoreMode());
    max->MouseEnter();
    sf->SetWindowState(wsNormal);
    skin->SetResourceStrData(nullptr);
}

TEST_F(FrameObjectsTest, DefaultButtonsDrawHotAndPressedFaces) {
    MakeForm(false);
    // Close button of the plain 420-pixel frame: (400, 4) - (417, 21).
    const uint32_t idle = At(401, 5);
    EXPECT_EQ(idle, Rgb(clBtnFace));
    sf->TestActiveObject(408, 12, true);
    EXPECT_EQ(At(400, 4), Rgb(clNavy));
    EXPECT_EQ(At(401, 5), Rgb(TColor(0xD2BDB6)));
    sf->ObjectsMouseDown(mbLeft, 408, 12);
    EXPECT_EQ(At(401, 5), Rgb(TColor(0xB59385)));
    sf->TestActiveObject(-1, -1, false);
    ReleaseCapture();
}

// A skinned control that counts what the form's walks ask of it.
class CountingControl : public TspSkinControl {
public:
    using TspSkinControl::TspSkinControl;
    int Before = 0, Change = 0;
    void BeforeChangeSkinData() override {
        ++Before;
        TspSkinControl::BeforeChangeSkinData();
    }
    void ChangeSkinData() override {
        ++Change;
        TspSkinControl::ChangeSkinData();
    }
};

TEST_F(FrameObjectsTest, SkinChangesReachTheControlsBoundToThatSkin) {
    MakeForm();
    TspSkinData other(nullptr);
    auto* mine = new CountingControl(form);
    mine->SetParent(form);
    auto* panel = new TCustomControl(form);
    panel->SetParent(form);
    auto* inner = new CountingControl(form);
    inner->SetParent(panel);
    auto* foreign = new CountingControl(form);
    foreign->SetParent(form);
    mine->SetSkinData(skin.get());
    inner->SetSkinData(skin.get());
    foreign->SetSkinData(&other);
    for (auto* c : {mine, inner, foreign})
        c->Before = c->Change = 0;
    skin->SendSkinDataMessage(WM_SKIN_BEGINCHANGE);
    skin->SendSkinDataMessage(WM_SKIN_APPLYCHANGE);
    EXPECT_EQ(mine->Before, 1);
    EXPECT_EQ(inner->Before, 1);
    EXPECT_EQ(inner->Change, 1);
    EXPECT_EQ(foreign->Before + foreign->Change, 0);
    // Another skin's change leaves the frame alone but reaches its own controls.
    size_t objects = sf->ObjectList.size();
    SendMessage(form->Handle(), WM_SKIN_APPLYCHANGE, WPARAM(&other), 1000);
    EXPECT_EQ(foreign->Change, 1);
    EXPECT_EQ(mine->Change, 1);
    EXPECT_EQ(sf->ObjectList.size(), objects);
    // Switching skinning walks every skinned control.
    sf->SetSkinnableForm(false);
    EXPECT_EQ(foreign->Change, 2);
    EXPECT_EQ(mine->Change, 2);
}

// A control painted in one colour.
class TSolid : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    TColor Colour = clRed;

protected:
    void Paint() override {
        Canvas()->Brush()->SetColor(Colour);
        Canvas()->FillRect(ClientRect());
    }
};

// While the form is inactive its client shows a picture taken when it lost
// the activation, dimmed toward the background or blurred; what changes under
// it stays unseen until the form is active again.
TEST_F(FrameObjectsTest, InactiveClientIsCoveredByAFrozenPicture) {
    MakeForm();
    auto* solid = new TSolid(form);
    solid->SetParent(form);
    solid->SetBounds(40, 40, 60, 40);
    sf->ClientInActiveEffect = true;
    pump();
    // Window coordinates of a client point.
    auto at = [&](int cx, int cy) {
        POINT p{cx, cy};
        ClientToScreen(form->Handle(), &p);
        return At(p.x - form->Left(), p.y - form->Top());
    };
    const uint32_t red = 0xFF0000, face = at(5, 5);
    ASSERT_EQ(at(70, 60), red);
    for (TspClientInActiveEffect e : {spieSemiTransparent, spieBlur}) {
        SCOPED_TRACE(int(e));
        sf->ClientInActiveEffectType = e;
        solid->Colour = clRed;
        solid->Invalidate();
        pump();
        TForm other(nullptr);
        other.SetBounds(900, 700, 100, 100);
        other.Show();
        SetActiveWindow(other.Handle());
        pump();
        ASSERT_NE(sf->InActivePanel(), nullptr);
        EXPECT_EQ(sf->InActivePanel()->BoundsRect(), form->ClientRect());
        const uint32_t centre = at(70, 60), edge = at(39, 60);
        if (e == spieSemiTransparent) {
            // The snapshot seen through the background: between red and the face.
            EXPECT_NE(centre, red);
            EXPECT_NE(centre, face);
            EXPECT_GT(int(centre >> 16) - int(centre & 0xFF), 20);
        } else {
            // Blurred: the middle of the block stays red, its rim runs out.
            EXPECT_EQ(centre, red);
            EXPECT_NE(edge, face);
            EXPECT_NE(edge, red);
        }
        // Frozen: a change under the picture is not seen.
        solid->Colour = clBlue;
        solid->Invalidate();
        pump();
        EXPECT_EQ(at(70, 60), centre);
        SetActiveWindow(form->Handle());
        pump();
        EXPECT_EQ(sf->InActivePanel(), nullptr);
        EXPECT_EQ(at(70, 60), 0x0000FFu);
    }
    // The form goes while its panel is shown.
    TForm other(nullptr);
    other.Show();
    SetActiveWindow(other.Handle());
    pump();
    EXPECT_NE(sf->InActivePanel(), nullptr);
    delete form;
    form = nullptr;
}

TEST_F(FrameObjectsTest, CursorComesFromTheHotObjectOrTheSkin) {
    Add<TspDataSkinButton>("pointer", TRect(150, 5, 170, 15))->CursorIndex = 2;
    MakeForm();
    skin->StartCursorIndex = 5;
    skin->CursorIndex = -1;
    sf->UpdateSkinCursor();
    EXPECT_EQ(form->Cursor(), crDefault);
    sf->TestActiveObject(160, 10, true);
    sf->UpdateSkinCursor();
    EXPECT_EQ(form->Cursor(), 7);
    sf->TestActiveObject(-1, -1, false);
    skin->CursorIndex = 1;
    sf->UpdateSkinCursor();
    EXPECT_EQ(form->Cursor(), 6);
}

TEST_F(FrameObjectsTest, ClientAreaFormRollsUpToItsRollUpPicture) {
    auto rolled = std::make_unique<TBitmap>(420, 30);
    rolled->Canvas()->Brush()->SetColor(clTeal);
    rolled->Canvas()->FillRect(TRect(0, 0, 420, 30));
    skin->FRollUpPicture = std::move(rolled);
    skin->RollUpLeftPoint = TPoint(40, 0);
    skin->RollUpRightPoint = TPoint(380, 0);
    form = new TForm(nullptr);
    form->SetBounds(100, 80, 420, 120);
    sf = new TspSkinnedForm(form);
    sf->SetSupportNCArea(false);
    auto* child = new TCustomControl(form);
    child->SetParent(form);
    child->SetBounds(10, 40, 50, 20);
    sf->SetSkinData(skin.get());
    form->Show();
    pump();
    const int height = form->Height();
    sf->SetRollUpState(true);
    EXPECT_EQ(form->Height(), 30);
    EXPECT_FALSE(child->Visible());
    EXPECT_EQ(At(200, 10), Rgb(clTeal));
    sf->SetRollUpState(false);
    EXPECT_EQ(form->Height(), height);
    EXPECT_TRUE(child->Visible());
    // Without a roll-up picture nothing rolls.
    skin->FRollUpPicture.reset();
    sf->SetRollUpState(true);
    EXPECT_FALSE(sf->RollUpState());
}

} // namespace

namespace {

// A skinned control that names the skin area it sits on.
class AreaControl : public TspSkinControl {
public:
    using TspSkinControl::TspSkinControl;
};

TEST_F(FrameObjectsTest, ControlsOnSkinAreasFollowTheFrame) {
    // Default skin: 420 x 120, stretchable; its top-right part is (280, 0) - (420, 32).
    skin->AddSkinArea("corner", TRect(380, 5, 410, 20));
    skin->AddSkinArea("corner", TRect(390, 5, 410, 20)); // the last of a name counts
    form = new TForm(nullptr);
    form->SetBounds(100, 80, 420, 120);
    sf = new TspSkinnedForm(form);
    sf->SetSupportNCArea(false);
    auto* linked = new AreaControl(form);
    linked->SetParent(form);
    linked->SetAreaName("corner");
    linked->SetAlign(alTop);
    auto* stray = new TCustomControl(form);
    stray->SetParent(form);
    stray->SetAlign(alBottom);
    sf->SetSkinData(skin.get());
    form->Show();
    pump();
    EXPECT_EQ(sf->GetAreaRect("corner"), TRect(390, 5, 410, 20));
    EXPECT_EQ(sf->GetAreaRect("none"), TRect());
    ASSERT_EQ(sf->AreaList.size(), 1u);
    EXPECT_EQ(linked->Align(), alNone);
    EXPECT_EQ(linked->BoundsRect(), TRect(380, 5, 410, 20)); // linked by the first match
    form->SetBounds(100, 80, 520, 170);
    pump();
    EXPECT_EQ(linked->BoundsRect(), TRect(480, 5, 510, 20));
    sf->LinkControlToArea("missing", stray);
    EXPECT_EQ(stray->Align(), alBottom);
    EXPECT_EQ(sf->AreaList.size(), 1u);
    delete linked; // a freed control leaves its link
    EXPECT_TRUE(sf->AreaList.empty());
    form->SetBounds(100, 80, 420, 120);
    pump();
}

} // namespace

namespace {

TEST_F(FrameObjectsTest, CaptionTextStaysInItsRectAndCanBePaintedByTheApplication) {
    MakeForm();
    HBITMAP before = RenderWindowToBitmap(form->Handle());
    form->SetCaption(std::string(200, 'W'));
    pump();
    HBITMAP after = RenderWindowToBitmap(form->Handle());
    // The buttons (from x 287) keep their look; the text reaches close to them.
    int changedInButtons = 0, changedNearEnd = 0;
    for (int y = 1; y < 31; ++y)
        for (int x = 200; x < 420; ++x) {
            uint32_t a = reinterpret_cast<const uint32_t*>(before->row(y))[x] & 0xFFFFFF;
            uint32_t b = reinterpret_cast<const uint32_t*>(after->row(y))[x] & 0xFFFFFF;
            if (a == b) continue;
            if (x >= 287) ++changedInButtons;
            if (x >= 250) ++changedNearEnd;
        }
    DeleteObject(before);
    DeleteObject(after);
    EXPECT_EQ(changedInButtons, 0);
    EXPECT_GT(changedNearEnd, 0);

    std::vector<TRect> painted;
    sf->OnCaptionPaint = [&](TCanvas*, TRect r, bool active) {
        EXPECT_TRUE(active);
        painted.push_back(r);
    };
    form->SetCaption("Short");
    pump();
    const uint32_t captionBack = At(150, 16);
    EXPECT_FALSE(painted.empty());
    EXPECT_EQ(At(60, 16), captionBack); // no text of its own
}

TEST_F(FrameObjectsTest, CaptionAnimatesOnActivation) {
    for (auto& e : skin->ObjectList)
        if (auto* c = dynamic_cast<TspDataSkinCaption*>(e.get())) {
            c->ActivePictureIndex = Pic;
            c->AnimateSkinRect = TRect(0, 20, 80, 30);
            c->FrameCount = 4;
            c->AnimateInterval = 50;
        }
    MakeForm();
    auto* cap = Obj<TspSkinCaptionObject>("caption");
    ASSERT_NE(cap, nullptr);
    sf->UpdateActiveState(true);
    EXPECT_EQ(cap->CurrentFrame, 1);
    EXPECT_TRUE(sf->AnimateTimer()->Enabled());
    std::vector<int> frames;
    for (int i = 0; i < 12 && sf->AnimateTimer()->Enabled(); ++i) {
        sf->AnimateTimerProc();
        frames.push_back(cap->CurrentFrame);
    }
    // 25 ms more before each step (50 ms a frame), up to past the last frame;
    // the timer stops on the first tick with nothing left to count.
    EXPECT_EQ(frames, (std::vector<int>{1, 2, 2, 3, 3, 4, 4, 5, 5, 5}));
    EXPECT_FALSE(sf->AnimateTimer()->Enabled());
}

TEST_F(FrameObjectsTest, InactiveFrameIsFilteredWhenTheSkinAsks) {
    skin->FInActivePicture = std::make_unique<TBitmap>();
    skin->AutoRenderingInActiveImage = true;
    skin->InActiveEffect = ieGrayScale;
    MakeForm();
    // The program's mark in the caption is an accent colour.
    uint32_t mark = At(12, 12);
    EXPECT_FALSE((mark >> 16 & 0xFF) == (mark & 0xFF));
    TForm other(nullptr);
    other.SetBounds(900, 700, 100, 100);
    other.Show();
    SetActiveWindow(other.Handle());
    pump();
    uint32_t grey = At(12, 12);
    EXPECT_EQ(grey >> 16 & 0xFF, grey & 0xFF);
    EXPECT_EQ(grey >> 8 & 0xFF, grey & 0xFF);
}

// The shadow is the window class's drop-shadow style (the desktop's compositor
// draws it, see the README): every window of the class takes it, it changes
// only when asked for the other state, and a form hidden for the change comes
// back.
TEST_F(FrameObjectsTest, ShadowIsAClassStyleSwitchedOnce) {
    MakeForm();
    TForm sibling(nullptr); // the same window class
    HWND h = form->Handle(), s = sibling.Handle();
    ASSERT_EQ(GetClassName(h), GetClassName(s));
    const LONG_PTR before = GetClassLongPtr(h, GCL_STYLE);
    EXPECT_EQ(before & CS_DROPSHADOW, 0);
    sf->EnableShadow(true, false);
    EXPECT_TRUE(sf->HaveShadow());
    EXPECT_NE(GetClassLongPtr(s, GCL_STYLE) & CS_DROPSHADOW, 0);
    SetClassLongPtr(h, GCL_STYLE, before);
    sf->EnableShadow(true, false); // the same again: nothing
    EXPECT_EQ(GetClassLongPtr(h, GCL_STYLE), before);
    std::vector<WPARAM> shows;
    TWndMethod old = form->WindowProc;
    form->WindowProc = [&](TMessage& m) {
        if (m.Msg == WM_SHOWWINDOW) shows.push_back(m.WParam);
        old(m);
    };
    SetClassLongPtr(h, GCL_STYLE, before | CS_DROPSHADOW);
    sf->EnableShadow(false, true);
    EXPECT_FALSE(sf->HaveShadow());
    EXPECT_EQ(GetClassLongPtr(s, GCL_STYLE) & CS_DROPSHADOW, 0);
    EXPECT_EQ(shows, (std::vector<WPARAM>{0, 1})); // hidden for the change, then back
    EXPECT_TRUE(form->Visible());
    form->WindowProc = old;
}

} // namespace

namespace {

TEST_F(FrameObjectsTest, GlowLayerShowsAroundTheHotObject) {
    auto* g = Add<TspDataSkinButton>("glow", TRect(150, 5, 170, 15));
    g->GlowLayerPictureIndex = g->GlowLayerMaskPictureIndex = Pic;
    // A glow without its mask picture shows nothing (and does not fail).
    Add<TspDataSkinButton>("bare", TRect(180, 5, 200, 15))->GlowLayerPictureIndex = Pic;
    g->GlowLayerOffsetX = 3;
    g->GlowLayerOffsetY = 2;
    g->GlowLayerAlphaBlendValue = 180;
    MakeForm();
    SetCursorPosFromBackend(POINT{1200, 1000});
    sf->MouseTimer()->SetEnabled(false);
    sf->TestActiveObject(160, 10, true);
    ASSERT_TRUE(sf->LayerManager()->IsVisible);
    // Form at (100, 80): the object's screen corner (250, 85) less the offsets.
    EXPECT_EQ(sf->LayerManager()->LayerWindow->Left(), 247);
    EXPECT_EQ(sf->LayerManager()->LayerWindow->Top(), 83);
    EXPECT_EQ(sf->LayerManager()->EndAlphaBlendValue, 180);
    sf->TestActiveObject(-1, -1, false);
    EXPECT_FALSE(sf->LayerManager()->IsVisible);
    sf->TestActiveObject(190, 10, true);
    EXPECT_FALSE(sf->LayerManager()->IsVisible);
    sf->TestActiveObject(-1, -1, false);
    // Skins may turn glows off.
    skin->SetShowCaptionButtonGlowFrames(false);
    sf->TestActiveObject(160, 10, true);
    EXPECT_FALSE(sf->LayerManager()->IsVisible);
}

} // namespace

namespace {

// A button's or a button-style animation's menu that is a skinned popup menu
// opens itself (its OnPopup fires, its own items and skin), upward when asked.
TEST_F(FrameObjectsTest, ObjectMenusThatAreSkinnedPopupMenusOpenThemselves) {
    Add<TspDataSkinButton>("menu", TRect(230, 5, 250, 15))->ActiveSkinRect = kRed;
    auto* anim = Add<TspDataSkinAnimate>("anim", TRect(260, 5, 280, 15));
    anim->ActiveSkinRect = kStrip;
    anim->ButtonStyle = true;
    anim->CountFrames = 4;
    MakeForm();
    auto* popup = new TspSkinPopupMenu(form);
    auto* item = new TMenuItem(popup);
    item->Caption = "Item";
    popup->Items()->Add(item);
    int popups = 0;
    popup->OnPopup = [&](TObject*) { ++popups; };
    struct Case {
        const char* Name;
        int X;
        bool Up;
    };
    for (const Case& c :
         {Case{"menu", 240, true}, Case{"menu", 240, false}, Case{"anim", 265, true}}) {
        SCOPED_TRACE(std::string(c.Name) + (c.Up ? " up" : " down"));
        sf->LinkMenu(c.Name, popup, c.Up);
        const int before = popups;
        sf->TestActiveObject(c.X, 10, true);
        sf->ObjectsMouseDown(mbLeft, c.X, 10);
        sf->ObjectsMouseUp(mbLeft, c.X, 10);
        EXPECT_EQ(popups, before + 1);
        TspSkinPopupWindow* w = sf->SkinMenu()->LastWindow();
        ASSERT_NE(w, nullptr);
        const TRect r = sf->ObjectList[size_t(sf->GetIndex(c.Name))]->ObjectRectToScreen();
        if (c.Up)
            EXPECT_LE(w->Top() + w->Height(), r.Top);
        else
            EXPECT_GE(w->Top(), r.Bottom);
        sf->SkinMenuClose();
        pump();
    }
}

} // namespace

namespace {

// In client-area mode every press reaches the frame objects, a right double
// click too.
TEST_F(FrameObjectsTest, ClientAreaObjectsTakeRightDoubleClicks) {
    Add<TspDataSkinButton>("btn", TRect(150, 5, 170, 15))->ActiveSkinRect = kRed;
    form = new TForm(nullptr);
    form->SetBounds(100, 80, 420, 120);
    sf = new TspSkinnedForm(form);
    sf->SetSupportNCArea(false);
    sf->SetSkinData(skin.get());
    form->Show();
    SetActiveWindow(form->Handle());
    pump();
    std::vector<TMouseButton> downs;
    sf->OnMouseDownEvent = [&](const std::string& id, int, int, TRect, TMouseButton b) {
        if (id == "btn") downs.push_back(b);
    };
    sf->TestActiveObject(155, 10, true);
    SendMessage(form->Handle(), WM_RBUTTONDBLCLK, MK_RBUTTON, MAKELPARAM(155, 10));
    SendMessage(form->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(155, 10));
    EXPECT_EQ(downs, std::vector<TMouseButton>{mbRight});
}

// Message 1426 ends a layered show of a form marked -10000: the main form and
// then the first stay-on-top form come to the front, and the mark goes.
TEST_F(FrameObjectsTest, LayerShowDoneBringsTheMainAndTheTopMostFormsForward) {
    auto* lf = skin->LayerFrame.get();
    lf->PictureIndex = Pic;
    lf->MaskPictureIndex = Pic;
    lf->LTPoint = {5, 5};
    lf->RTPoint = {15, 5};
    lf->LBPoint = {5, 15};
    lf->RBPoint = {15, 15};
    lf->ClRect = {5, 5, 15, 15};
    MakeForm();
    TForm main(nullptr), onTop(nullptr);
    main.Show();
    onTop.SetFormStyle(fsStayOnTop);
    onTop.Show();
    Application->SetMainForm(&main);
    SetActiveWindow(form->Handle());
    form->Tag = -10000;
    SendMessage(form->Handle(), WM_SKIN_LAYERSHOWDONE, 0, 0);
    EXPECT_EQ(form->Tag, 0);
    EXPECT_EQ(GetForegroundWindow(), onTop.Handle());
    EXPECT_EQ(TspSkinnedForm::GetTopMostFormHandle(), onTop.Handle());
    // Any other form ignores it.
    SetActiveWindow(form->Handle());
    form->Tag = 3;
    SendMessage(form->Handle(), WM_SKIN_LAYERSHOWDONE, 0, 0);
    EXPECT_EQ(form->Tag, 3);
    EXPECT_EQ(GetForegroundWindow(), form->Handle());
    Application->SetMainForm(nullptr);
}

} // namespace
