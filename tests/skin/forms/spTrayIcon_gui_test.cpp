// The tray icon against a desktop's own services: a private session bus with
// a StatusNotifier watcher and a notification service (tools/desktopstub)
// that log what they are asked. The icon registers, shows its picture and
// tip, takes clicks and menu requests from the panel, shows balloons as
// notifications, and registers again when the panel's watcher restarts.
// Also the hint's cursor margin, measured on the pointer the screen shows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "platform/display/gtk.h"
#include "platform/display/screencursor.h"
#include "platform/display/tray.h"
#include "platform/win/metrics.h"
#include "platform/win/window.h"
#include "skin/forms/SkinHint.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/spTrayIcon.h"
#include "support/desktopbus.h"
#include "support/screen.h"
#include "support/tempdir.h"

namespace {

using namespace guitest;

// A D-Bus call from another process (the panel), while our loop runs.
std::string PanelCall(TempDir& dir, const std::string& args) {
    static int n = 0;
    std::string out = dir.file("call" + std::to_string(++n) + ".txt");
    guitest::run("sh -c 'gdbus call --session " + args + " > " + out + " 2>&1' &");
    std::string text;
    pumpUntil([&] {
        std::ifstream in(out);
        std::stringstream ss;
        ss << in.rdbuf();
        text = ss.str();
        return !text.empty();
    });
    return text;
}

TEST(TrayOnScreen, TrayIconReachesTheNotificationArea) {
    PrivateBus bus;
    ASSERT_TRUE(bus.Start());
    TempDir dir;
    const std::string log = dir.file("desktop.log");
    DesktopServices desktop(log);
    ASSERT_TRUE(desktop.Start());
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    display::InstallTray(nullptr);
    EXPECT_STREQ(display::CurrentTray().Name(), "StatusNotifierItem host");
    // Clicks count with the desktop's double-click time: the toolkit's own
    // 400 ms here, where no settings service runs (the window layer says 500).
    EXPECT_EQ(GetDoubleClickTime(), 400u);
    {
        TForm form(nullptr);
        form.SetBounds(100, 100, 400, 240);
        auto* sf = new TspSkinnedForm(&form);
        auto* menu = new TspSkinPopupMenu(&form);
        auto* item = new TMenuItem(menu);
        item->Caption = "&Open";
        menu->Items()->Add(item);
        form.Show();
        auto* tray = new TspTrayIcon(&form);
        tray->Icon()->SetPixels(1, 1, {0xFF123456u});
        tray->SetHint("Lantrove");
        tray->SetPopupMenu(menu);
        int clicks = 0, balloons = 0;
        tray->OnClick = [&](TObject*) { ++clicks; };
        tray->OnBalloonHintClick = [&](TObject*) { ++balloons; };
        tray->Loaded();

        // Registered with the watcher under the item's own bus name.
        ASSERT_TRUE(pumpUntil([&] { return !Logged(log, "register").empty(); }));
        std::istringstream reg(Logged(log, "register").front().substr(9));
        std::string service;
        reg >> service;
        ASSERT_FALSE(service.empty());
        const std::string item_ = "--dest " + service + " --object-path /StatusNotifierItem ";
        const std::string get =
            item_ + "--method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem ";
        EXPECT_NE(PanelCall(dir, get + "ToolTip").find("'Lantrove'"), std::string::npos);
        EXPECT_NE(PanelCall(dir, get + "IconPixmap").find("1, 1, [byte 0xff, 0x12, 0x34, 0x56]"),
                  std::string::npos);
        EXPECT_NE(PanelCall(dir, get + "Status").find("'Active'"), std::string::npos);

        // The panel's activation is a click, once the double-click time is over.
        PanelCall(dir, item_ + "--method org.kde.StatusNotifierItem.Activate 10 20");
        EXPECT_TRUE(pumpUntil([&] {
            Application->ProcessMessages();
            return clicks == 1;
        }));
        // Its context-menu request opens the icon's skinned menu.
        PanelCall(dir, item_ + "--method org.kde.StatusNotifierItem.ContextMenu 10 20");
        EXPECT_TRUE(pumpUntil([&] {
            Application->ProcessMessages();
            return sf->SkinMenu()->FVisible;
        }));
        sf->SkinMenu()->Hide();

        // A balloon is a notification; its action is the balloon's click.
        EXPECT_TRUE(tray->ShowBalloonHint("Done", "Song.mp3 is ready", spbitInfo));
        ASSERT_EQ(Logged(log, "notify").size(), 1u);
        EXPECT_EQ(Logged(log, "notify").front(),
                  "notify 1 dialog-information|Done|Song.mp3 is ready");
        guitest::run("gdbus emit --session --object-path /org/freedesktop/Notifications --signal "
                     "org.freedesktop.Notifications.ActionInvoked 'uint32 1' \"'default'\"");
        EXPECT_TRUE(pumpUntil([&] {
            Application->ProcessMessages();
            return balloons == 1;
        }));
        tray->HideBalloonHint();
        EXPECT_TRUE(pumpUntil([&] { return !Logged(log, "close").empty(); }));

        // The panel restarts: a new watcher hears of the icon again.
        desktop.Stop();
        ASSERT_TRUE(desktop.Start());
        EXPECT_TRUE(pumpUntil([&] { return Logged(log, "register").size() == 2; }));

        tray->SetIconVisible(false);
        pumpFor(100);
    }
    display::InstallTray(nullptr);
    display::Install(nullptr);
}

} // namespace

namespace {

// A hint at the cursor starts just below the pointer's picture: the margin is
// measured on the cursor the screen shows, here one given to the root window
// (16 x 16, hot spot at row 3, its lowest shown row 11).
TEST(HintOnScreen, CursorMarginIsMeasuredOnThePointersPicture) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    TempDir dir;
    auto xbm = [&](const std::string& name, bool hot) {
        std::ofstream f(dir.file(name));
        f << "#define c_width 16\n#define c_height 16\n";
        if (hot) f << "#define c_x_hot 4\n#define c_y_hot 3\n";
        f << "static char c_bits[] = {\n";
        for (int row = 0; row < 16; ++row)
            f << (row < 12 ? "  0xFF, 0xFF,\n" : "  0x00, 0x00,\n");
        f << "};\n";
    };
    xbm("cursor.xbm", true);
    xbm("mask.xbm", false);
    ASSERT_EQ(
        guitest::run("xsetroot -cursor " + dir.file("cursor.xbm") + " " + dir.file("mask.xbm")), 0);
    ASSERT_EQ(guitest::run("xdotool mousemove 1270 1015"), 0); // over the bare root
    // A window manager may keep its own root cursor (openbox does): then the
    // margin is that picture's, rows with anything shown below the hot spot.
    auto expected = [] {
        display::CursorPicture c;
        if (!display::ScreenCursorPicture(c)) return -1;
        if (c.width == 16 && c.height == 16) return 12 - 3;
        int last = -1;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                if (c.argb[size_t(y * c.width + x)] >> 24) last = y;
        return last + 1 - c.hotY;
    };
    EXPECT_TRUE(pumpUntil([&] { return CursorHeightMargin() == expected(); }))
        << CursorHeightMargin() << " " << expected();
    EXPECT_GT(CursorHeightMargin(), 0);
    guitest::run("xsetroot -cursor_name left_ptr");
    display::Install(nullptr);
}

} // namespace
