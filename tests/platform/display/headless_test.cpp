#include "platform/display/headless.h"
#include "platform/display/tray.h"
#include "platform/gdi/objects.h"
#include "platform/win/paint.h"
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

LRESULT greenProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_PAINT) return DefWindowProc(hwnd, msg, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    HBRUSH b = CreateSolidBrush(RGB(0, 160, 0));
    RECT r{0, 0, 40, 30};
    FillRect(dc, &r, b);
    DeleteObject(b);
    EndPaint(hwnd, &ps);
    return 0;
}

TEST(HeadlessTest, TheScreenIsThisProcessWindowsAndTheBellCounts) {
    display::Headless* headless = display::CurrentHeadless();
    ASSERT_NE(headless, nullptr);
    WNDCLASS wc;
    wc.lpfnWndProc = greenProc;
    wc.lpszClassName = "THeadlessGreen";
    RegisterClass(wc);
    HWND w = CreateWindowEx(0, "THeadlessGreen", "", WS_POPUP | WS_VISIBLE, 50, 60, 40, 30, 0, 0,
                            nullptr, nullptr);
    HBITMAP shot = headless->CaptureScreen(RECT{40, 50, 100, 100});
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(shot->width, 60);
    EXPECT_EQ(shot->height, 50);
    EXPECT_EQ(shot->getPixel(15, 15), RGB(0, 160, 0));
    EXPECT_EQ(shot->getPixel(5, 5), RGB(0, 0, 0));
    DeleteObject(shot);
    DestroyWindow(w);

    const int before = headless->Beeps();
    MessageBeep(0);
    EXPECT_EQ(headless->Beeps(), before + 1);
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
