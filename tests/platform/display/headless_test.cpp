#include "platform/display/headless.h"
#include "platform/display/tray.h"
#include "platform/win/windows.h"

#include <gtest/gtest.h>

namespace {

HWND Make(HWND parent, DWORD style) {
    if (!GetClassInfo(nullptr, "THeadlessProbe", nullptr)) {
        WNDCLASS wc;
        wc.lpfnWndProc = DefWindowProc;
        wc.lpszClassName = "THeadlessProbe";
        RegisterClass(wc);
    }
    return CreateWindowEx(0, "THeadlessProbe", "", style, 0, 0, 5, 5, parent, 0, nullptr, nullptr);
}

TEST(HeadlessTest, MirrorsTopLevelWindowsOnly) {
    display::Headless* headless = display::CurrentHeadless();
    ASSERT_NE(headless, nullptr);
    HWND top = Make(0, 0);
    HWND child = Make(top, WS_CHILD | WS_VISIBLE);
    HWND other = Make(0, WS_VISIBLE);
    ShowWindow(top, SW_SHOWNA);
    EXPECT_EQ(headless->VisibleWindows(), (std::vector<HWND>{other, top}));
    EXPECT_EQ(headless->LastActivated(), other); // SW_SHOWNA does not activate
    ShowWindow(other, SW_HIDE);
    EXPECT_EQ(headless->VisibleWindows(), (std::vector<HWND>{top}));
    DestroyWindow(top);
    EXPECT_TRUE(headless->VisibleWindows().empty());
    EXPECT_FALSE(IsWindow(child));
    DestroyWindow(other);
}

} // namespace

namespace {

// A host's presses become the messages a tray icon expects: a double click is
// down, up, double click, up; a slow second press, another button or a third
// press are ordinary presses.
TEST(TrayClicksTest, PressesBecomeDownUpDoubleClickUp) {
    struct Step {
        unsigned Button;
        uint32_t Time;
        UINT Want;
    };
    const Step steps[] = {
        {1, 1000, WM_LBUTTONDOWN}, {1, 1200, WM_LBUTTONDBLCLK},
        {1, 1300, WM_LBUTTONDOWN}, {1, 2000, WM_LBUTTONDOWN},
        {3, 2100, WM_RBUTTONDOWN}, {1, 2200, WM_LBUTTONDOWN},
        {2, 5000, WM_MBUTTONDOWN}, {4, 5100, 0},
    };
    display::TrayClicks clicks;
    for (const Step& s : steps) {
        EXPECT_EQ(clicks.Press(s.Button, s.Time, 400), s.Want) << s.Time;
        if (s.Want) EXPECT_NE(clicks.Release(s.Button), 0u);
    }
    EXPECT_EQ(clicks.Release(1), UINT(WM_LBUTTONUP));
    EXPECT_EQ(clicks.Release(3), UINT(WM_RBUTTONUP));
}

} // namespace
