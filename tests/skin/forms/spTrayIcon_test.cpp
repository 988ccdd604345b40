// The tray icon against the notification-area stand-in: what it is given
// (icon, tip, balloon), the clicks it turns into events, its menu, icon
// cycling, and the skinned form hiding in it and coming back.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "platform/display/tray.h"
#include "platform/os/clock.h"
#include "platform/win/messages.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/spTrayIcon.h"

namespace {

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        os::SetClock(&clock);
        SetMonitors({MonitorDesc{RECT{0, 0, 1280, 1024}, RECT{0, 0, 1280, 1000}}});
        display::InstallTray(std::make_unique<display::TrayStandIn>());
        form = new TForm(nullptr);
        form->SetBounds(100, 100, 300, 200);
        tray = new TspTrayIcon(form);
    }
    void TearDown() override {
        delete form;
        Application->ProcessMessages();
        display::InstallTray(nullptr);
        SetMonitors({});
        os::SetClock(nullptr);
    }
    display::TrayStandIn* host() { return display::CurrentTrayStandIn(); }
    std::optional<display::TrayIconData> shown() { return host()->Find(tray->CallbackWindow(), 1); }
    void Click(UINT msg) {
        host()->Click(tray->CallbackWindow(), 1, msg);
        Application->ProcessMessages();
    }
    void Wait(unsigned ms) {
        for (unsigned t = 0; t < ms; t += 10) {
            clock.Advance(10);
            Application->ProcessMessages();
        }
    }
    static TIcon* RedIcon(TIcon* icon) {
        icon->SetPixels(2, 1, {0xFFFF0000u, 0x00000000u});
        return icon;
    }

    os::ManualClock clock{50000};
    TForm* form = nullptr;
    TspTrayIcon* tray = nullptr;
};

TEST_F(TrayIconTest, TheStandInReceivesIconTipAndBalloon) {
    ASSERT_NE(host(), nullptr);
    TIcon icon;
    tray->SetIcon(RedIcon(&icon));
    tray->SetHint(std::string(200, 'h'));
    tray->Loaded(); // IconVisible is on by default
    auto d = shown();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->width, 2);
    EXPECT_EQ(d->argb, (std::vector<uint32_t>{0xFFFF0000u, 0}));
    EXPECT_EQ(d->tip, std::string(127, 'h'));
    EXPECT_EQ(d->callbackMessage, WM_TRAYNOTIFY);

    tray->SetShowHint(false);
    EXPECT_EQ(shown()->tip, "");

    EXPECT_TRUE(tray->ShowBalloonHint(std::string(80, 't'), std::string(300, 'x'), spbitWarning));
    auto b = host()->Balloon(tray->CallbackWindow(), 1);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->text, std::string(255, 'x'));
    EXPECT_EQ(b->title, std::string(63, 't'));
    EXPECT_EQ(b->flags, 2);
    EXPECT_TRUE(tray->HideBalloonHint());
    EXPECT_FALSE(host()->Balloon(tray->CallbackWindow(), 1));

    tray->SetIconVisible(false);
    EXPECT_FALSE(shown());
    EXPECT_FALSE(tray->ModifyIcon()); // not there: the refusal is only a result
}

TEST_F(TrayIconTest, ClicksBecomeEventsAfterTheDoubleClickTime) {
    tray->Loaded();
    std::vector<std::string> got;
    tray->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState, int, int) {
        got.push_back(b == mbLeft ? "down" : b == mbRight ? "rdown" : "mdown");
    };
    tray->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { got.push_back("up"); };
    tray->OnClick = [&](TObject*) { got.push_back("click"); };
    tray->OnDblClick = [&](TObject*) { got.push_back("dblclick"); };
    tray->OnBalloonHintClick = [&](TObject*) { got.push_back("balloon"); };

    Click(WM_LBUTTONDOWN);
    Click(WM_LBUTTONUP);
    EXPECT_EQ(got, (std::vector<std::string>{"down", "up"}));
    Wait(500);
    EXPECT_EQ(got, (std::vector<std::string>{"down", "up", "click"}));

    got.clear();
    Click(WM_LBUTTONDOWN);
    Click(WM_LBUTTONUP);
    Click(WM_LBUTTONDBLCLK);
    Click(WM_LBUTTONUP);
    Wait(600);
    EXPECT_EQ(got, (std::vector<std::string>{"down", "up", "dblclick", "up"}));

    // The desktop's double-click time counts, whatever it is.
    got.clear();
    SetDoubleClickTime(250);
    Click(WM_LBUTTONDOWN);
    Click(WM_LBUTTONUP);
    Wait(200);
    EXPECT_EQ(got, (std::vector<std::string>{"down", "up"}));
    Wait(100);
    EXPECT_EQ(got, (std::vector<std::string>{"down", "up", "click"}));
    SetDoubleClickTime(500);

    // Held longer than the double-click time: the click comes with the release.
    got.clear();
    Click(WM_LBUTTONDOWN);
    Wait(600);
    Click(WM_LBUTTONUP);
    EXPECT_EQ(got, (std::vector<std::string>{"down", "click", "up"}));

    got.clear();
    Click(UINT(display::kTrayBalloonClicked));
    EXPECT_EQ(got, std::vector<std::string>{"balloon"});

    // Disabled: the icon stays, nothing fires.
    got.clear();
    tray->Enabled = false;
    Click(WM_LBUTTONDOWN);
    Click(WM_RBUTTONDOWN);
    Wait(600);
    EXPECT_TRUE(got.empty());
    EXPECT_TRUE(shown());
}

TEST_F(TrayIconTest, MenuOpensOnTheRightButtonAndDoubleClickChoosesTheDefault) {
    auto* sf = new TspSkinnedForm(form);
    form->Show();
    auto* menu = new TspSkinPopupMenu(form);
    int restored = 0, other = 0;
    auto* a = new TMenuItem(menu);
    a->Caption = "Other";
    a->OnClick = [&](TObject*) { ++other; };
    auto* b = new TMenuItem(menu);
    b->Caption = "Restore";
    b->Default = true;
    b->OnClick = [&](TObject*) { ++restored; };
    menu->Items()->Add(a);
    menu->Items()->Add(b);
    tray->SetPopupMenu(menu);
    tray->Loaded();
    SetCursorPosFromBackend(POINT{1200, 990});

    Click(WM_RBUTTONDOWN);
    EXPECT_TRUE(sf->SkinMenu()->FVisible);
    EXPECT_EQ(menu->PopupComponent, tray);
    sf->SkinMenu()->Hide();

    Click(WM_LBUTTONDBLCLK);
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(other, 0);
    tray->PopupByLeftButton = true;
    Click(WM_LBUTTONDBLCLK);
    EXPECT_EQ(restored, 1);
    sf->SkinMenu()->Hide();
    Application->ProcessMessages();
}

TEST_F(TrayIconTest, IconIndexAndCyclingFollowTheList) {
    TImageList list(nullptr);
    for (TColor c : {clRed, clLime, clBlue}) {
        TBitmap b(16, 16);
        b.Canvas()->Brush()->SetColor(c);
        b.Canvas()->FillRect(TRect(0, 0, 16, 16));
        list.Add(&b, nullptr);
    }
    tray->Loaded();
    tray->SetIconList(&list);
    tray->SetIconIndex(10);
    EXPECT_EQ(tray->IconIndex(), 2);
    EXPECT_EQ(shown()->argb.at(0), 0xFF0000FFu);

    std::vector<int> next;
    tray->OnCycle = [&](TObject*, int n) { next.push_back(n); };
    tray->SetAnimateTimerInterval(100);
    tray->SetCycleIcons(true);
    EXPECT_EQ(tray->IconIndex(), 0);
    Wait(300);
    EXPECT_EQ(next, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(tray->IconIndex(), 0); // wrapped after the last
    EXPECT_EQ(shown()->argb.at(0), 0xFF0000FFu);
    tray->SetCycleIcons(false);
    tray->SetIconList(nullptr);
}

TEST_F(TrayIconTest, AShellRestartAddsAVisibleIconAgain) {
    tray->Loaded();
    display::InstallTray(std::make_unique<display::TrayStandIn>());
    EXPECT_FALSE(shown());
    SendMessage(Application->Handle(), RegisterWindowMessage("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(shown());
}

TEST_F(TrayIconTest, SkinnedFormHidesInTheTrayAndComesBack) {
    for (bool always : {false, true}) {
        SCOPED_TRACE(always);
        auto* sf = new TspSkinnedForm(form);
        sf->AlwaysShowInTray = always;
        Application->SetMainForm(form);
        form->Show();
        tray->SetIconVisible(true);
        sf->SetTrayIcon(tray);
        EXPECT_EQ(bool(shown()), always);
        // The form gives the tray its menu and its double click.
        EXPECT_EQ(tray->PopupMenu(), sf->SysTrayMenu());
        int events = 0;
        sf->OnMinimizeToTray = sf->OnRestoreFromTray = [&](TObject*) { ++events; };

        sf->MinimizeToTray();
        EXPECT_FALSE(form->Visible());
        EXPECT_TRUE(shown());
        Click(WM_LBUTTONDBLCLK);
        EXPECT_TRUE(form->Visible());
        EXPECT_EQ(bool(shown()), always);
        EXPECT_EQ(events, 2);
        delete sf;
        tray->OnDblClick = nullptr;
        tray->SetPopupMenu(nullptr);
    }
    Application->SetMainForm(nullptr);
}

// Where the desktop shows no tray icons, going to the tray would leave the
// window nowhere: it is minimized instead and the icon stays out.
TEST_F(TrayIconTest, WithoutANotificationAreaTheFormMinimizesInstead) {
    display::InstallTray(std::make_unique<display::TrayStandIn>(false));
    auto* sf = new TspSkinnedForm(form);
    Application->SetMainForm(form);
    form->Show();
    sf->SetTrayIcon(tray);
    int toTray = 0;
    sf->OnMinimizeToTray = [&](TObject*) { ++toTray; };
    sf->MinimizeToTray();
    EXPECT_TRUE(form->Visible());
    EXPECT_TRUE(IsIconic(form->Handle())); // the main window minimizes as a window
    EXPECT_FALSE(shown());
    EXPECT_EQ(toTray, 0);
    Application->SetMainForm(nullptr);
}

// The form that owns the icon gets its focused control back when it is
// activated again.
TEST_F(TrayIconTest, ActivationGivesTheFocusBackToTheFormsControl) {
    auto* edit = new TCustomControl(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 80, 20);
    form->Show();
    form->ActiveControl = edit;
    TForm other(nullptr);
    other.Show();
    SetFocus(other.Handle());
    ASSERT_NE(GetFocus(), edit->Handle());
    SendMessage(form->Handle(), WM_ACTIVATE, WA_ACTIVE, LPARAM(other.Handle()));
    EXPECT_EQ(GetFocus(), edit->Handle());
    // Activated from the control's own parent window, the focus is left alone.
    SetFocus(other.Handle());
    SendMessage(form->Handle(), WM_ACTIVATE, WA_CLICKACTIVE, LPARAM(form->Handle()));
    EXPECT_EQ(GetFocus(), other.Handle());
}

} // namespace
