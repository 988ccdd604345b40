// The skinned hint window and its component on the headless display: sizes,
// looks, placement, the timed hints, the fade-in and the images menu's hints.
#include "skin/forms/SkinHint.h"

#include "classlib/forms.h"
#include "classlib/imglist.h"
#include "platform/os/clock.h"
#include "platform/win/input.h"
#include "platform/win/layered.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/window.h"
#include "skin/engine/SkinData.h"
#include "skin/forms/SkinMenus.h"
#include "skin/skin_test_support.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TspSkinData* DefaultSkin() {
    static std::unique_ptr<TspSkinData> sd = skintest::LoadDefaultSkin();
    return sd.get();
}

class SkinHintTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application->Initialize();
        SetMonitors({MonitorDesc{RECT{0, 0, 1280, 1024}, RECT{0, 0, 1280, 1000}}});
        main = new TForm(nullptr);
        Application->SetMainForm(main);
        hint = new TspSkinHint(main);
    }
    void TearDown() override {
        os::SetClock(nullptr);
        delete main;
        Application->SetMainForm(nullptr);
        Application->HintWindowClass = nullptr;
        Application->ProcessMessages();
        SetMonitors({});
    }
    // Width and height of a text in the hint's default font.
    TSize TextSize(const std::string& Text) {
        TBitmap b(1, 1);
        b.Canvas()->SetFont(hint->DefaultFont());
        RECT r{0, 0, 0, 0};
        b.Canvas()->RequiredState();
        DrawText(b.Canvas()->Handle(), Text, &r, DT_CALCRECT | DT_NOPREFIX);
        return TSize{r.right, r.bottom};
    }
    void advance(int ms) {
        clock.Advance(uint64_t(ms));
        Application->ProcessMessages();
    }

    os::ManualClock clock{10000};
    TForm* main = nullptr;
    TspSkinHint* hint = nullptr;
};

TEST_F(SkinHintTest, DefaultLookSizesToTheTextWithLineSeparators) {
    struct Case {
        std::string separator, text;
        int lines;
    };
    const Case cases[] = {
        {"@", "one@two", 2}, {"@", "one two", 1}, {"", "one@two", 1}, {"||", "a||b||c", 3}};
    const TSize line = TextSize("one");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        hint->LineSeparator = c.separator;
        hint->ActivateHint(TPoint(100, 100), c.text);
        TspSkinHintWindow* w = hint->HW();
        ASSERT_TRUE(hint->IsVisible());
        EXPECT_EQ(w->FSD, nullptr);
        EXPECT_EQ(w->Height(), c.lines * line.cy + 4);
        EXPECT_EQ(w->Left(), 100);
        EXPECT_EQ(w->Top(), 100);
        hint->HideHint();
        EXPECT_FALSE(hint->IsVisible());
    }
    hint->LineSeparator = "@";
    hint->ActivateHint(TPoint(100, 100), "one two");
    EXPECT_EQ(hint->HW()->Width(), TextSize("one two").cx + 4);

    // Tooltip colours, a one-pixel frame and the text inside it.
    Application->ProcessMessages();
    HBITMAP shot = RenderWindowToBitmap(hint->HW()->Handle());
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(shot->getPixel(0, 0) & 0xFFFFFF, ColorToRGB(clBtnShadow));
    EXPECT_EQ(shot->getPixel(hint->HW()->Width() - 1, 3) & 0xFFFFFF, ColorToRGB(clBtnShadow));
    EXPECT_EQ(shot->getPixel(1, 1) & 0xFFFFFF, ColorToRGB(clInfoBk));
    bool ink = false;
    for (int x = 2; x < hint->HW()->Width() - 2; ++x)
        for (int y = 2; y < hint->HW()->Height() - 2; ++y)
            ink |= (shot->getPixel(x, y) & 0xFFFFFF) != ColorToRGB(clInfoBk);
    EXPECT_TRUE(ink);
    DeleteObject(shot);
}

TEST_F(SkinHintTest, NothingShowsWithoutAnActiveComponentOnTheMainWindow) {
    hint->SetActive(false);
    hint->ActivateHint(TPoint(10, 10), "x");
    EXPECT_FALSE(hint->IsVisible());
    hint->SetActive(true);
    Application->SetMainForm(nullptr);
    hint->ActivateHint(TPoint(10, 10), "x");
    EXPECT_FALSE(hint->IsVisible());
    Application->SetMainForm(main);

    // Activating one switches the others of the main window off.
    auto* second = new TspSkinHint(main);
    second->SetActive(true);
    EXPECT_FALSE(hint->Active());
    EXPECT_TRUE(second->Active());
}

TEST_F(SkinHintTest, StaysInsideTheScreen) {
    const TSize s = TextSize("edge");
    // Without a shown form the whole screen bounds it.
    hint->ActivateHint(TPoint(1275, 1020), "edge");
    TspSkinHintWindow* w = hint->HW();
    EXPECT_EQ(w->Left(), 1275 - (s.cx + 4) - 2);
    EXPECT_EQ(w->Left() + w->Width(), 1273);
    EXPECT_EQ(w->Top(), 1020 - (s.cy + 4) - 2);
}

TEST_F(SkinHintTest, TitleAndPictureGrowTheHint) {
    TImageList images(nullptr);
    images.SetWidth(20);
    images.SetHeight(30);
    TBitmap pic(20, 30);
    images.Add(&pic, nullptr);
    const TSize text = TextSize("body text");
    TBitmap b(1, 1);
    b.Canvas()->SetFont(hint->DefaultFont());
    b.Canvas()->Font()->SetStyle(TFontStyles());
    const int th = b.Canvas()->TextHeight("T");
    hint->ActivateHintEx(TPoint(50, 50), "T", "body text", 0, &images);
    TspSkinHintWindow* w = hint->HW();
    EXPECT_TRUE(w->AExtendedStyle);
    EXPECT_EQ(w->Width(), std::max(text.cx, b.Canvas()->TextWidth("T")) + 20 + 10 + 4);
    EXPECT_EQ(w->Height(), std::max(text.cy + th + 10, 30 + th + 5) + 4);
    EXPECT_EQ(hint->HintTitle(), "T");

    // A bad index shows no picture.
    hint->ActivateHintEx(TPoint(50, 50), "", "body text", 5, &images);
    EXPECT_EQ(w->Width(), text.cx + 4);

    // Hiding a hidden hint leaves the title alone.
    hint->HideHint();
    hint->ActivateHintEx(TPoint(50, 50), "Kept", "x", -1, nullptr);
    hint->HW()->SetVisible(false);
    ShowWindow(hint->HW()->Handle(), SW_HIDE);
    hint->HideHint();
    EXPECT_EQ(hint->HintTitle(), "Kept");
}

TEST_F(SkinHintTest, SkinElementGivesMarginsAndShape) {
    TspSkinData* sd = DefaultSkin();
    ASSERT_TRUE(sd->HintWindow);
    TspDataSkinHintWindow* e = sd->HintWindow.get();
    if (e->WindowPictureIndex == -1) GTEST_SKIP() << "the skin draws no hint window";
    TBitmap* pic = sd->FActivePictures[size_t(e->WindowPictureIndex)].get();
    hint->SetSkinData(sd);
    hint->UseSkinFont = false;
    const std::string text = "A rather long hint text for the skin";
    const TSize s = TextSize(text);
    hint->ActivateHint(TPoint(20, 20), text);
    TspSkinHintWindow* w = hint->HW();
    EXPECT_EQ(w->FSD, sd);
    int W = s.cx + e->ClRect.Left + (pic->Width() - e->ClRect.Right) + 5;
    int H = s.cy + e->ClRect.Top + (pic->Height() - e->ClRect.Bottom);
    EXPECT_GE(w->Width(), W);
    EXPECT_GE(w->Height(), H);
    EXPECT_EQ(w->NewRBPoint.X - e->RBPoint.X, w->Width() - pic->Width());
    EXPECT_EQ(w->NewClRect.Bottom - e->ClRect.Bottom, w->Height() - pic->Height());
    EXPECT_EQ(w->Region() != nullptr, e->MaskPictureIndex != -1);

    // A skin without the element's picture gives the default look.
    int keep = e->WindowPictureIndex;
    e->WindowPictureIndex = -1;
    hint->ActivateHint(TPoint(20, 20), text);
    e->WindowPictureIndex = keep;
    EXPECT_EQ(w->FSD, nullptr);
    EXPECT_EQ(w->Width(), s.cx + 4);
    EXPECT_EQ(w->Region(), nullptr);
}

TEST_F(SkinHintTest, FadesInToItsOpacity) {
    for (int value : {200, 10, 0}) {
        SCOPED_TRACE(value);
        hint->AlphaBlend = true;
        hint->AlphaBlendAnimation = true;
        hint->AlphaBlendValue = uint8_t(value);
        hint->ActivateHint(TPoint(30, 30), "fade");
        LayeredState st = GetLayeredState(hint->HW()->Handle());
        EXPECT_TRUE(st.layered);
        EXPECT_EQ(st.alpha, value);
        hint->HideHint();
    }
    hint->AlphaBlendAnimation = false;
    hint->AlphaBlendValue = 120;
    hint->ActivateHint(TPoint(30, 30), "plain");
    EXPECT_EQ(GetLayeredState(hint->HW()->Handle()).alpha, 120);
}

TEST_F(SkinHintTest, TimedHintsShowAfterThePauseAndHideAfterTheHidePause) {
    os::SetClock(&clock);
    Application->HintPause = 500;
    Application->HintHidePause = 2500;
    SetCursorPosFromBackend(POINT{200, 300});
    hint->ActivateHint2("later");
    advance(400);
    EXPECT_FALSE(hint->IsVisible());
    advance(100);
    ASSERT_TRUE(hint->IsVisible());
    EXPECT_EQ(hint->HW()->Left(), 200);
    // The headless pointer has no picture: the system cursor height stands for it.
    EXPECT_EQ(hint->HW()->Top(), 300 + GetSystemMetrics(SM_CYCURSOR));
    advance(2400);
    EXPECT_TRUE(hint->IsVisible());
    advance(100);
    EXPECT_FALSE(hint->IsVisible());

    // A new request replaces a waiting one.
    hint->ActivateHint2("first");
    advance(300);
    hint->ActivateHint3(TRect(100, 100, 200, 120), "second", true);
    advance(300);
    EXPECT_FALSE(hint->IsVisible());
    advance(200);
    ASSERT_TRUE(hint->IsVisible());
    EXPECT_EQ(hint->HW()->Caption(), "second");
    EXPECT_EQ(hint->HW()->Top() + hint->HW()->Height(), 100);
    EXPECT_EQ(hint->HW()->Left(), 150 - hint->HW()->Width() / 2);
}

TEST_F(SkinHintTest, ImagesMenuShowsItemHintsThroughTheComponent) {
    os::SetClock(&clock);
    Application->HintPause = 500;
    TImageList images(nullptr);
    TBitmap b(16, 16);
    images.Add(&b, nullptr);
    images.Add(&b, nullptr);
    TspSkinImagesMenu menu(nullptr);
    menu.SetImages(&images);
    menu.SkinHint = hint;
    menu.ImagesItems()->Add()->ImageIndex = 0;
    auto* second = menu.ImagesItems()->Add();
    second->ImageIndex = 1;
    second->Hint = "Second picture";
    menu.SetColumnsCount(2);
    menu.Popup(100, 100);
    ASSERT_NE(menu.FPopupWindow, nullptr);
    HWND w = menu.FPopupWindow->Handle();
    TRect r = second->ItemRect;
    SetCursorPosFromBackend(POINT{100 + r.Left + 3, 100 + r.Top + 3});
    SendMessage(w, WM_MOUSEMOVE, 0, MAKELPARAM(r.Left + 3, r.Top + 3));
    advance(500);
    ASSERT_TRUE(hint->IsVisible());
    EXPECT_EQ(hint->HW()->Caption(), "Second picture");
    // Off the items the hint goes.
    SendMessage(w, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    EXPECT_FALSE(hint->IsVisible());
    menu.Hide();
    Application->ProcessMessages();
}

} // namespace
