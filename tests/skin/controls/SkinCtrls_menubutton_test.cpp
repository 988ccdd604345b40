// The menu speed button on the headless display: its look in each state,
// with and without the Default skin, the menu it opens through the form's
// skinned menus, and which part of it opens the menu.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "classlib/forms.h"
#include "platform/os/clock.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedForm.h"
#include "skin/skin_test_support.h"

namespace {

TspSkinData* defaultSkin() {
    static std::unique_ptr<TspSkinData> sd = skintest::LoadDefaultSkin();
    return sd.get();
}

COLORREF skinPixel(int x, int y) {
    return defaultSkin()->FActivePictures[0]->Canvas()->Pixels(x, y);
}

class MenuSpeedButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application->Initialize();
        os::SetClock(&clock);
        ASSERT_FALSE(defaultSkin()->Empty);
        form = new TForm(nullptr);
        form->BorderStyle = bsNone;
        form->SetBounds(0, 0, 240, 120);
        sf = new TspSkinnedForm(form);
        menu = new TspSkinPopupMenu(form);
        for (const char* caption : {"One", "Two"}) {
            auto* i = new TMenuItem(menu);
            i->Caption = caption;
            menu->Items()->Add(i);
        }
        b = new TspSkinMenuSpeedButton(form);
        b->SetParent(form);
        b->SetBounds(10, 10, 76, 28);
        b->OnClick = [this](TObject*) { ++clicks; };
        b->OnShowTrackMenu = [this](TObject*) { ++shown; };
        b->OnHideTrackMenu = [this](TObject*) { ++hidden; };
        form->Show();
        Application->ProcessMessages();
    }
    void TearDown() override {
        if (sf->SkinMenu()->FVisible) sf->SkinMenu()->Hide();
        delete form;
        Application->ProcessMessages();
        os::SetClock(nullptr);
    }
    COLORREF pixel(int x, int y) {
        HBITMAP shot = RenderWindowToBitmap(form->Handle());
        COLORREF p = shot->getPixel(b->Left() + x, b->Top() + y);
        DeleteObject(shot);
        return p;
    }
    void press(int x, int y) { b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    void release(int x, int y) { b->Perform(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
    bool menuOpen() { return sf->SkinMenu()->FVisible; }

    os::ManualClock clock{1000};
    TForm* form = nullptr;
    TspSkinnedForm* sf = nullptr;
    TspSkinPopupMenu* menu = nullptr;
    TspSkinMenuSpeedButton* b = nullptr;
    int clicks = 0, shown = 0, hidden = 0;
};

} // namespace

TEST_F(MenuSpeedButtonTest, StartsAsAToolMenuButton) {
    EXPECT_EQ(b->SkinDataName(), "toolmenubutton");
    EXPECT_EQ(b->TrackPosition(), sptpRight);
    EXPECT_FALSE(b->TrackButtonMode());
    b->SetNewStyle(true);
    EXPECT_EQ(b->SkinDataName(), "resizetoolbutton");
    b->SetNewStyle(false);
    EXPECT_EQ(b->SkinDataName(), "resizetoolbutton");
}

TEST_F(MenuSpeedButtonTest, DefaultLookFollowsTheButtonAndItsTrackPart) {
    struct Case {
        const char* name;
        bool trackMode, hover, pressStrip;
        TColor mainFrame, mainFill, stripFill;
    };
    const TColor face = clBtnFace, hot = 0xD2BDB6, down = 0xB59385;
    const Case cases[] = {
        {"idle", false, false, false, clBtnShadow, face, face},
        {"hot", false, true, false, 0x800000, hot, hot},
        {"menu open", false, true, true, 0x800000, down, down},
        {"track part idle", true, false, false, clBtnShadow, face, face},
        {"track part open", true, true, true, 0x800000, hot, down},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        b->SetSkinPopupMenu(menu);
        b->SetTrackButtonMode(c.trackMode);
        if (c.hover) b->Perform(CM_MOUSEENTER, 0, 0);
        if (c.pressStrip) press(b->Width() - 5, 5);
        EXPECT_EQ(pixel(0, 0), ColorToRGB(c.mainFrame));
        EXPECT_EQ(pixel(4, 4), ColorToRGB(c.mainFill));
        EXPECT_EQ(pixel(b->Width() - 3, 3), ColorToRGB(c.stripFill));
        if (menuOpen()) sf->SkinMenu()->Hide();
        b->Perform(CM_MOUSELEAVE, 0, 0);
        EXPECT_FALSE(b->Down());
    }
}

TEST_F(MenuSpeedButtonTest, SkinnedButtonDrawsItsStatesFromTheElement) {
    b->SetSkinData(defaultSkin());
    b->SetSkinPopupMenu(menu);
    b->SetTrackButtonMode(true);
    auto* e = dynamic_cast<TspDataSkinMenuButtonControl*>(
        defaultSkin()->CtrlList[size_t(defaultSkin()->GetControlIndex("toolmenubutton"))].get());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(b->TrackButtonRect, e->TrackButtonRect);
    EXPECT_EQ(pixel(10, 3), skinPixel(e->SkinRect.Left + 10, e->SkinRect.Top + 3));
    b->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_EQ(pixel(10, 3), skinPixel(e->ActiveSkinRect.Left + 10, e->ActiveSkinRect.Top + 3));
    // Open: the button stays hot and only its track part shows pressed.
    const int tx = e->TrackButtonRect.Left + 3;
    press(tx, 5);
    ASSERT_TRUE(b->MenuTracked());
    EXPECT_EQ(pixel(10, 3), skinPixel(e->ActiveSkinRect.Left + 10, e->ActiveSkinRect.Top + 3));
    EXPECT_EQ(pixel(tx, 3), skinPixel(e->DownSkinRect.Left + tx, e->DownSkinRect.Top + 3));
}

TEST_F(MenuSpeedButtonTest, NewStyleWithoutItsElementsTakesTheDefaultLook) {
    TspSkinData bare(nullptr);
    bare.LoadFromCompressedFile(std::string(LANTROVE_PROGRAM_DIR) + "/skins/Default.skn");
    for (auto& c : bare.CtrlList)
        if (c->IDName == "resizetoolbutton" || c->IDName == "resizebutton") c->IDName += "-gone";
    b->SetNewStyle(true);
    b->SetSkinData(&bare);
    b->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_EQ(pixel(0, 0), ColorToRGB(TColor(0x800000)));
    EXPECT_EQ(pixel(4, 4), ColorToRGB(TColor(0xD2BDB6)));
    b->SetSkinData(nullptr);
}

TEST_F(MenuSpeedButtonTest, PressOpensTheMenuAndTheButtonStaysDownUntilItCloses) {
    b->SetSkinPopupMenu(menu);
    press(5, 5);
    ASSERT_TRUE(menuOpen());
    EXPECT_TRUE(b->Down());
    EXPECT_TRUE(b->MenuTracked());
    release(5, 5);
    EXPECT_TRUE(b->Down());
    // Leaving and coming back while the menu shows changes nothing else.
    b->Perform(CM_MOUSELEAVE, 0, 0);
    b->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_TRUE(b->Down());
    sf->SkinMenu()->Hide();
    Application->ProcessMessages();
    EXPECT_FALSE(b->Down());
    EXPECT_FALSE(b->MenuTracked());
    EXPECT_FALSE(b->MouseIn());
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(hidden, 1);
    EXPECT_EQ(clicks, 0);
}

TEST_F(MenuSpeedButtonTest, TrackPartDecidesWhetherAPressClicksOrOpensTheMenu) {
    struct Case {
        const char* name;
        bool withMenu, trackMode;
        int x;
        bool opens;
    };
    const Case cases[] = {
        {"no menu: a plain speed button", false, false, 5, false},
        {"no menu, press on the strip", false, true, 70, false},
        {"whole button opens", true, false, 5, true},
        {"main part clicks", true, true, 5, false},
        {"strip opens", true, true, 70, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clicks = shown = 0;
        b->SetSkinPopupMenu(c.withMenu ? menu : nullptr);
        b->SetTrackButtonMode(c.trackMode);
        b->Perform(CM_MOUSEENTER, 0, 0);
        press(c.x, 5);
        release(c.x, 5);
        EXPECT_EQ(menuOpen(), c.opens);
        EXPECT_EQ(shown, c.opens ? 1 : 0);
        EXPECT_EQ(clicks, c.opens ? 0 : 1);
        if (menuOpen()) sf->SkinMenu()->Hide();
        b->Perform(CM_MOUSELEAVE, 0, 0);
    }
}

TEST_F(MenuSpeedButtonTest, ARemovedMenuIsForgotten) {
    auto* other = new TspSkinPopupMenu(form);
    b->SetSkinPopupMenu(other);
    delete other;
    EXPECT_EQ(b->SkinPopupMenu(), nullptr);
    press(5, 5);
    release(5, 5);
    EXPECT_EQ(clicks, 1);
}
