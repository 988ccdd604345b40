// The layered border around a skinned form on the headless display: strips
// cut for the form's size, windows that follow the form, opacity from the
// form's alpha and activity, and resizing by the rim.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "platform/display/headless.h"
#include "platform/win/input.h"
#include "platform/win/layered.h"
#include "platform/win/messages.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"
#include "skin/engine/SPUtils.h"
#include "skin/engine/speffbmp.h"
#include "skin/forms/SkinnedForm.h"
#include "skinned_form_fixture.h"

namespace {

constexpr int kPic = 20; // the frame picture: form rectangle (5,5)-(15,15) in it

class LayerBorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        skintest::UseTestMonitors();
        skin = skintest::LoadDefaultSkin();
        ASSERT_FALSE(skin->Empty);
        auto pic = std::make_unique<TBitmap>(kPic, kPic);
        pic->Canvas()->Brush()->SetColor(clBlack);
        pic->Canvas()->FillRect(TRect(0, 0, kPic, kPic));
        auto mask = std::make_unique<TBitmap>(kPic, kPic);
        mask->Canvas()->Brush()->SetColor(clGray);
        mask->Canvas()->FillRect(TRect(0, 0, kPic, kPic));
        int pi = int(skin->FActivePictures.size());
        skin->FActivePictures.push_back(std::move(pic));
        skin->FActivePictures.push_back(std::move(mask));
        auto* lf = skin->LayerFrame.get();
        lf->PictureIndex = pi;
        lf->MaskPictureIndex = pi + 1;
        lf->LTPoint = {5, 5};
        lf->RTPoint = {15, 5};
        lf->LBPoint = {5, 15};
        lf->RBPoint = {15, 15};
        lf->ClRect = {5, 5, 15, 15};
        lf->BorderRect = {2, 2, 18, 18};
        lf->HitTestEnable = true;
        lf->AlphaBlendValue = 200;
        lf->InActiveAlphaBlendValue = 100;
    }
    void TearDown() override {
        delete form;
        Application->ProcessMessages();
        skin.reset();
        SetMonitors({});
    }
    void MakeForm() {
        form = new TForm(nullptr);
        form->SetBounds(200, 150, 300, 200);
        sf = new TspSkinnedForm(form);
        sf->SetSkinData(skin.get());
        form->Show();
        SetActiveWindow(form->Handle());
        Application->ProcessMessages();
    }
    static TRect Bounds(TspFormLayerWindow* w) {
        RECT r{};
        GetWindowRect(w->Handle(), &r);
        return TRect(r.left, r.top, r.right, r.bottom);
    }
    void ExpectAround(int L, int T, int W, int H) {
        TspFormLayerBorder* b = sf->LayerBorder();
        ASSERT_TRUE(b->FVisible);
        ASSERT_TRUE(b->TopBorder && b->BottomBorder && b->LeftBorder && b->RightBorder);
        // Border rectangle: 5 pixels out on every side, 10 wider and higher.
        EXPECT_EQ(Bounds(b->TopBorder.get()), TRect(L - 5, T - 5, L + W + 5, T));
        EXPECT_EQ(Bounds(b->BottomBorder.get()), TRect(L - 5, T + H, L + W + 5, T + H + 5));
        EXPECT_EQ(Bounds(b->LeftBorder.get()), TRect(L - 5, T, L, T + H));
        EXPECT_EQ(Bounds(b->RightBorder.get()), TRect(L + W, T, L + W + 5, T + H));
        EXPECT_TRUE(IsWindowVisible(b->TopBorder->Handle()));
    }

    std::unique_ptr<TspSkinData> skin;
    TForm* form = nullptr;
    TspSkinnedForm* sf = nullptr;
};

TEST_F(LayerBorderTest, StripsSurroundTheFormAndFollowIt) {
    MakeForm();
    ExpectAround(200, 150, 300, 200);
    EXPECT_EQ(sf->LayerBorder()->LeftSize, 3);
    EXPECT_EQ(sf->LayerBorder()->BottomSize, 3);
    form->SetBounds(260, 180, 300, 200);
    Application->ProcessMessages();
    ExpectAround(260, 180, 300, 200);
    form->SetBounds(260, 180, 420, 250);
    Application->ProcessMessages();
    ExpectAround(260, 180, 420, 250);
    EXPECT_EQ(sf->LayerBorder()->TopImage->Width(), 430);

    // Hidden with the form, and while maximized.
    form->Hide();
    Application->ProcessMessages();
    EXPECT_FALSE(sf->LayerBorder()->FVisible);
    form->Show();
    Application->ProcessMessages();
    EXPECT_TRUE(sf->LayerBorder()->FVisible);
    sf->SetWindowState(wsMaximized);
    Application->ProcessMessages();
    EXPECT_FALSE(sf->LayerBorder()->FVisible);
    sf->SetWindowState(wsNormal);
    Application->ProcessMessages();
    EXPECT_TRUE(sf->LayerBorder()->FVisible);

    // Switching the skin's layered borders off takes them away.
    skin->SetShowLayeredBorders(false);
    SendMessage(form->Handle(), WM_SKIN_LAYEREDBORDERSCHANGED, 0, 0);
    EXPECT_FALSE(sf->LayerBorder()->FVisible);
}

TEST_F(LayerBorderTest, OpacityFollowsTheFormAlphaAndActivity) {
    TspFormLayerBorder b(nullptr);
    b.InitFrame(skin.get(), nullptr);
    ASSERT_NE(b.FData, nullptr);
    b.CheckFormAlpha(128, false);
    EXPECT_EQ(b.FCurrentAlphaBlendValue, 100);
    EXPECT_EQ(b.FCurrentInActiveAlphaBlendValue, 50);
    // The picture's alpha comes from its grey mask.
    EXPECT_EQ(b.FSourceBitmap->Pixel(0, 0) >> 24, 0x80u);
}

TEST_F(LayerBorderTest, NoRoomForSidesMeansNoSideWindowsAndEmptyRimIsClickThrough) {
    skin->LayerFrame->BorderRect = TRect();
    TForm owner(nullptr);
    TspFormLayerBorder b(nullptr);
    b.InitFrame(skin.get(), &owner);
    EXPECT_EQ(b.LeftSize + b.TopSize + b.RightSize + b.BottomSize, 0);
    b.Show(10, 10, 100, 10); // top 5 + bottom 5: nothing between
    EXPECT_TRUE(b.TopBorder && b.BottomBorder);
    EXPECT_FALSE(b.LeftBorder);
    EXPECT_FALSE(b.RightBorder);
    EXPECT_TRUE(GetWindowLongPtr(b.TopBorder->Handle(), GWL_EXSTYLE) & WS_EX_TRANSPARENT);
    b.Hide();
    // Without a frame picture nothing happens at all.
    skin->LayerFrame->PictureIndex = -1;
    b.InitFrame(skin.get(), &owner);
    b.Show(10, 10, 100, 100);
    EXPECT_FALSE(b.FVisible);
}

TEST_F(LayerBorderTest, DraggingTheRimResizesTheForm) {
    MakeForm();
    TspFormLayerWindow* right = sf->LayerBorder()->RightBorder.get();
    POINT p{501, 250};
    SetCursorPosFromBackend(p);
    DeliverMouse(WM_MOUSEMOVE, p, 0);
    DeliverMouse(WM_LBUTTONDOWN, p, MK_LBUTTON);
    Application->ProcessMessages();
    EXPECT_TRUE(right->FDown);
    POINT q{541, 250};
    SetCursorPosFromBackend(q);
    DeliverMouse(WM_MOUSEMOVE, q, MK_LBUTTON);
    Application->ProcessMessages();
    DeliverMouse(WM_LBUTTONUP, q, 0);
    Application->ProcessMessages();
    EXPECT_EQ(form->Width(), 340);
    EXPECT_EQ(form->Left(), 200);

    // At its minimum width, dragging the left rim inward does not move the form.
    sf->MinWidth = 340;
    POINT l{198, 250};
    SetCursorPosFromBackend(l);
    DeliverMouse(WM_MOUSEMOVE, l, 0);
    DeliverMouse(WM_LBUTTONDOWN, l, MK_LBUTTON);
    Application->ProcessMessages();
    POINT l2{228, 250};
    SetCursorPosFromBackend(l2);
    DeliverMouse(WM_MOUSEMOVE, l2, MK_LBUTTON);
    Application->ProcessMessages();
    DeliverMouse(WM_LBUTTONUP, l2, 0);
    Application->ProcessMessages();
    EXPECT_EQ(form->Left(), 200);
    EXPECT_EQ(form->Width(), 340);
}

} // namespace

namespace {

// The border fades in with its form, step by step to its own opacity, and
// stays on top with a stay-on-top form.
TEST_F(LayerBorderTest, BorderFadesInWithItsFormAndStaysOnTopWithIt) {
    std::vector<int> topAlphas;
    form = new TForm(nullptr);
    form->SetBounds(200, 150, 300, 200);
    sf = new TspSkinnedForm(form);
    sf->SetSkinData(skin.get());
    sf->AlphaBlendAnimation = true;
    SetLayeredListener([&](HWND h) {
        TspFormLayerBorder* b = sf->LayerBorder();
        if (b->TopBorder && b->TopBorder->HandleAllocated() && h == b->TopBorder->Handle())
            topAlphas.push_back(b->FCurrentAlphaBlendValue);
    });
    form->Show();
    SetActiveWindow(form->Handle());
    EXPECT_EQ(sf->LayerBorder()->FCurrentAlphaBlendValue, 0); // clear until the fade
    SendMessage(form->Handle(), WM_TIMER, 1, 0);              // the fade runs in timer 1
    Application->ProcessMessages();
    SetLayeredListener(nullptr);
    ASSERT_GE(topAlphas.size(), 10u);
    EXPECT_TRUE(std::is_sorted(topAlphas.begin(), topAlphas.end()));
    EXPECT_LT(topAlphas[1], 100);
    EXPECT_EQ(sf->LayerBorder()->FCurrentAlphaBlendValue, 200); // the frame's own opacity
    EXPECT_EQ(GetWindowLongPtr(form->Handle(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);

    auto topmost = [&] {
        return (GetWindowLongPtr(sf->LayerBorder()->TopBorder->Handle(), GWL_EXSTYLE) &
                WS_EX_TOPMOST) != 0;
    };
    EXPECT_FALSE(topmost());
    sf->SetFormStyle(fsStayOnTop);
    EXPECT_NE(GetWindowLongPtr(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    ASSERT_TRUE(sf->LayerBorder()->FVisible);
    EXPECT_TRUE(topmost());
    sf->SetFormStyle(fsNormal);
    EXPECT_FALSE(topmost());
}

} // namespace

namespace {

// A form with a layered border and no fade of its own starts see-through for
// one tick, so the border and the form appear together.
TEST_F(LayerBorderTest, BorderedFormStartsClearForOneTick) {
    ASSERT_TRUE(IsWindowsVistaOrLater());
    form = new TForm(nullptr);
    form->SetBounds(200, 150, 300, 200);
    sf = new TspSkinnedForm(form);
    sf->SetSkinData(skin.get());
    form->Show();
    const HWND h = form->Handle();
    EXPECT_NE(GetWindowLongPtr(h, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    EXPECT_EQ(GetLayeredState(h).alpha, 0);
    EXPECT_EQ(sf->LayerBorder()->FCurrentAlphaBlendValue, 0);
    SendMessage(h, WM_TIMER, 1, 0);
    EXPECT_EQ(GetWindowLongPtr(h, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    EXPECT_EQ(sf->LayerBorder()->FCurrentAlphaBlendValue, 200);
    // Without a border nothing of the kind happens.
    delete form;
    skin->LayerFrame->PictureIndex = -1;
    form = new TForm(nullptr);
    sf = new TspSkinnedForm(form);
    sf->SetSkinData(skin.get());
    form->Show();
    EXPECT_EQ(GetWindowLongPtr(form->Handle(), GWL_EXSTYLE) & WS_EX_LAYERED, 0);
}

} // namespace
