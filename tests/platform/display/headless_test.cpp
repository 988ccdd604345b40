#include "platform/display/headless.h"
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
