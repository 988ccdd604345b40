#include <gtest/gtest.h>

#include <vector>

#include "platform/win/input.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"

namespace {

std::vector<UINT> g_seen;

LRESULT frameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ENTERSIZEMOVE || msg == WM_EXITSIZEMOVE || msg == WM_CLOSE ||
        msg == WM_LBUTTONDOWN)
        g_seen.push_back(msg);
    if (msg == WM_GETMINMAXINFO) {
        auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
        mmi->ptMinTrackSize = POINT{150, 100};
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

HWND framedWindow() {
    WNDCLASS wc;
    if (!GetClassInfo(nullptr, "FrameTest", &wc)) {
        wc.lpfnWndProc = frameProc;
        wc.lpszClassName = "FrameTest";
        RegisterClass(wc);
    }
    return CreateWindowEx(0, "FrameTest", "frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300,
                          200, 0, 0, nullptr, nullptr);
}

void drain() {
    MSG m;
    while (PeekMessage(&m, 0, 0, 0, PM_REMOVE))
        DispatchMessage(&m);
}

} // namespace

TEST(DefaultFrame, HitTestsCaptionCloseBoxAndBorders) {
    HWND w = framedWindow();
    int cap = GetSystemMetrics(SM_CYCAPTION);
    struct Case {
        int x, y;
        LRESULT want;
    } cases[] = {{150, 110, HTCAPTION}, {386, 100 + 4 + cap / 2, HTCLOSE},
                 {101, 200, HTLEFT},    {398, 200, HTRIGHT},
                 {250, 298, HTBOTTOM},  {399, 299, HTBOTTOMRIGHT},
                 {101, 101, HTTOPLEFT}, {250, 200, HTCLIENT},
                 {50, 50, HTNOWHERE}};
    for (auto& c : cases)
        EXPECT_EQ(SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(c.x, c.y)), c.want)
            << c.x << "," << c.y;
    DestroyWindow(w);
}

TEST(DefaultFrame, DraggingTheCaptionAndBorderMovesAndSizes) {
    HWND w = framedWindow();
    drain();
    g_seen.clear();
    DeliverMouse(WM_LBUTTONDOWN, POINT{150, 110}, MK_LBUTTON);
    DeliverMouse(WM_MOUSEMOVE, POINT{180, 130}, MK_LBUTTON);
    DeliverMouse(WM_LBUTTONUP, POINT{180, 130}, 0);
    drain();
    RECT r{};
    GetWindowRect(w, &r);
    EXPECT_EQ(r, (RECT{130, 120, 430, 320}));
    EXPECT_EQ(g_seen, (std::vector<UINT>{WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}));
    EXPECT_EQ(GetCapture(), 0u);

    // Sizing from the bottom-right corner stops at the minimum track size.
    DeliverMouse(WM_LBUTTONDOWN, POINT{429, 319}, MK_LBUTTON);
    DeliverMouse(WM_MOUSEMOVE, POINT{229, 219}, MK_LBUTTON);
    DeliverMouse(WM_LBUTTONUP, POINT{229, 219}, 0);
    drain();
    GetWindowRect(w, &r);
    EXPECT_EQ(r, (RECT{130, 120, 280, 220}));

    // A press in the client area stays a client message; the close box closes.
    g_seen.clear();
    DeliverMouse(WM_LBUTTONDOWN, POINT{200, 180}, MK_LBUTTON);
    drain();
    EXPECT_EQ(g_seen, (std::vector<UINT>{WM_LBUTTONDOWN}));
    RECT box = DefaultCloseBoxRect(w);
    DeliverMouse(WM_LBUTTONDOWN, POINT{130 + box.left + 2, 120 + box.top + 2}, MK_LBUTTON);
    drain();
    EXPECT_FALSE(IsWindow(w));
}
