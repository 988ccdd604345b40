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

namespace {

std::vector<MSG> g_nc;
RECT g_customInsets{-1, 0, 0, 0};

// Fills its client area red; records non-client traffic.
LRESULT clientProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCALCSIZE:
        if (g_customInsets.left >= 0) {
            auto* r = reinterpret_cast<RECT*>(lParam);
            r->left += g_customInsets.left, r->top += g_customInsets.top;
            r->right -= g_customInsets.right, r->bottom -= g_customInsets.bottom;
            return 0;
        }
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT all{-50, -50, 1000, 1000};
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(dc, &all, red);
        DeleteObject(red);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_NCACTIVATE:
    case WM_NCMOUSEMOVE:
    case WM_MOUSEMOVE:
    case WM_NCRBUTTONDOWN:
        g_nc.push_back(MSG{hwnd, msg, wParam, lParam, 0, {}});
        break;
    default:
        break;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

HWND clientWindow(DWORD style, int x, int y, int w, int h, HWND parent = 0) {
    WNDCLASS wc;
    if (!GetClassInfo(nullptr, "ClientTest", &wc)) {
        wc.lpfnWndProc = clientProc;
        wc.lpszClassName = "ClientTest";
        RegisterClass(wc);
    }
    return CreateWindowEx(0, "ClientTest", "client", style | WS_VISIBLE, x, y, w, h, parent, 0,
                          nullptr, nullptr);
}

struct Owned {
    HBITMAP b;
    ~Owned() { DeleteObject(b); }
};

} // namespace

TEST(NonClient, ClientAreaIsTheWindowLessTheFrame) {
    int f = GetSystemMetrics(SM_CXFRAME), cap = GetSystemMetrics(SM_CYCAPTION);
    struct Case {
        DWORD style;
        RECT insets;
        LRESULT leftEdge; // hit test on the window's left edge
    } cases[] = {
        {WS_OVERLAPPEDWINDOW, {f, f + cap, f, f}, HTLEFT},
        {WS_POPUP | WS_CAPTION | WS_SYSMENU, {1, 1 + cap, 1, 1}, HTBORDER},
        {WS_POPUP | WS_BORDER, {1, 1, 1, 1}, HTBORDER},
        {WS_POPUP, {0, 0, 0, 0}, HTCLIENT},
    };
    for (const Case& c : cases) {
        HWND w = clientWindow(c.style, 100, 50, 300, 200);
        RECT client{};
        GetClientRect(w, &client);
        EXPECT_EQ(client, (RECT{0, 0, 300 - c.insets.left - c.insets.right,
                                200 - c.insets.top - c.insets.bottom}))
            << std::hex << c.style;
        POINT p{5, 7};
        ClientToScreen(w, &p);
        EXPECT_EQ(p, (POINT{100 + c.insets.left + 5, 50 + c.insets.top + 7}));
        ScreenToClient(w, &p);
        EXPECT_EQ(p, (POINT{5, 7}));
        EXPECT_EQ(SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(100, 150)), c.leftEdge);
        // Children are placed in the client area.
        HWND child = clientWindow(WS_CHILD, 10, 20, 30, 40, w);
        RECT cr{};
        GetWindowRect(child, &cr);
        EXPECT_EQ(cr, (RECT{110 + c.insets.left, 70 + c.insets.top, 140 + c.insets.left,
                            110 + c.insets.top}));
        EXPECT_EQ(WindowFromPoint(POINT{cr.left + 1, cr.top + 1}), child);
        DestroyWindow(w);
    }
}

TEST(NonClient, ProcedureDecidesTheClientAreaAndItFollowsResizing) {
    // A skinned window draws its own frame: the whole window is client.
    g_customInsets = RECT{0, 0, 0, 0};
    HWND w = clientWindow(WS_OVERLAPPEDWINDOW, 0, 0, 200, 100);
    RECT client{};
    GetClientRect(w, &client);
    EXPECT_EQ(client, (RECT{0, 0, 200, 100}));
    DestroyWindow(w);

    g_customInsets = RECT{3, 10, 5, 2};
    w = clientWindow(WS_POPUP, 0, 0, 200, 100);
    SetWindowPos(w, 0, 0, 0, 120, 60, SWP_NOMOVE | SWP_NOZORDER);
    GetClientRect(w, &client);
    EXPECT_EQ(client, (RECT{0, 0, 112, 48}));
    // Insets larger than the window leave an empty client area, never a negative one.
    SetWindowPos(w, 0, 0, 0, 4, 4, SWP_NOMOVE | SWP_NOZORDER);
    GetClientRect(w, &client);
    EXPECT_EQ(client, (RECT{0, 0, 0, 0}));
    DestroyWindow(w);
    g_customInsets = RECT{-1, 0, 0, 0};
}

TEST(NonClient, FrameIsPaintedOutsideTheClientAndShowsActivation) {
    int f = GetSystemMetrics(SM_CXFRAME), cap = GetSystemMetrics(SM_CYCAPTION);
    HWND w = clientWindow(WS_OVERLAPPEDWINDOW, 0, 0, 200, 120);
    SendMessage(w, WM_NCACTIVATE, 1, 0);
    Owned shot{RenderWindowToBitmap(w)};
    ASSERT_NE(shot.b, nullptr);
    // The client's fill stops at its edges, however far it reaches.
    EXPECT_EQ(shot.b->getPixel(f, f + cap), RGB(255, 0, 0));
    EXPECT_EQ(shot.b->getPixel(199 - f, 119 - f), RGB(255, 0, 0));
    EXPECT_EQ(shot.b->getPixel(f + 2, f + 2), GetSysColor(COLOR_ACTIVECAPTION));
    EXPECT_EQ(shot.b->getPixel(0, 60), GetSysColor(COLOR_ACTIVEBORDER));
    EXPECT_EQ(shot.b->getPixel(100, 119), GetSysColor(COLOR_ACTIVEBORDER));

    EXPECT_EQ(SendMessage(w, WM_NCACTIVATE, 0, 0), 1);
    Owned after{RenderWindowToBitmap(w)};
    EXPECT_EQ(after.b->getPixel(f + 2, f + 2), GetSysColor(COLOR_INACTIVECAPTION));
    EXPECT_EQ(after.b->getPixel(f, f + cap), RGB(255, 0, 0));
    DestroyWindow(w);
}

TEST(NonClient, ActivationSendsNcActivateToBothWindows) {
    HWND a = clientWindow(WS_OVERLAPPEDWINDOW, 0, 0, 100, 100);
    HWND b = clientWindow(WS_OVERLAPPEDWINDOW, 200, 0, 100, 100);
    SetActiveWindow(a);
    drain();
    g_nc.clear();
    SetActiveWindow(b);
    drain();
    bool bOn = false, aOff = false;
    for (const MSG& m : g_nc) {
        if (m.message != WM_NCACTIVATE) continue;
        if (m.hwnd == b && m.wParam == 1) bOn = true;
        if (m.hwnd == a && m.wParam == 0) aOff = true;
    }
    EXPECT_TRUE(bOn);
    EXPECT_TRUE(aOff);
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST(NonClient, PointerOverTheFrameIsNonClientAndPicksTheCursor) {
    int f = GetSystemMetrics(SM_CXFRAME);
    HWND w = clientWindow(WS_OVERLAPPEDWINDOW, 100, 100, 200, 150);
    drain();
    struct Case {
        POINT at;
        UINT msg;
        LRESULT hit;
        CursorShape shape;
    } cases[] = {
        {{299, 175}, WM_NCMOUSEMOVE, HTRIGHT, CursorShape::SizeWE},
        {{200, 249}, WM_NCMOUSEMOVE, HTBOTTOM, CursorShape::SizeNS},
        {{100, 100}, WM_NCMOUSEMOVE, HTTOPLEFT, CursorShape::SizeNWSE},
        {{299, 249}, WM_NCMOUSEMOVE, HTBOTTOMRIGHT, CursorShape::SizeNWSE},
        {{150, 100 + f + 3}, WM_NCMOUSEMOVE, HTCAPTION, CursorShape::Arrow},
        {{200, 200}, WM_MOUSEMOVE, HTCLIENT, CursorShape::Arrow},
    };
    for (const Case& c : cases) {
        SetCursor(nullptr);
        g_nc.clear();
        DeliverMouse(WM_MOUSEMOVE, c.at, 0);
        drain();
        ASSERT_EQ(g_nc.size(), 1u) << c.at.x << "," << c.at.y;
        EXPECT_EQ(g_nc[0].message, c.msg) << c.at.x << "," << c.at.y;
        if (c.msg == WM_NCMOUSEMOVE) {
            EXPECT_EQ(LRESULT(g_nc[0].wParam), c.hit);
            EXPECT_EQ(g_nc[0].lParam, MAKELPARAM(c.at.x, c.at.y));
        } else {
            POINT p = c.at;
            ScreenToClient(w, &p);
            EXPECT_EQ(g_nc[0].lParam, MAKELPARAM(p.x, p.y));
        }
        EXPECT_EQ(CursorShapeOf(GetCursor()), c.shape) << c.at.x << "," << c.at.y;
        EXPECT_NE(GetCursor(), nullptr);
    }
    // The other buttons on the frame become non-client presses too.
    g_nc.clear();
    DeliverMouse(WM_RBUTTONDOWN, POINT{150, 100 + f + 3}, MK_RBUTTON);
    drain();
    ASSERT_FALSE(g_nc.empty());
    EXPECT_EQ(g_nc.back().message, WM_NCRBUTTONDOWN);
    EXPECT_EQ(LRESULT(g_nc.back().wParam), HTCAPTION);
    DestroyWindow(w);
}

TEST(NonClient, ClassCursorShowsOverTheClientOfAChild) {
    WNDCLASS wc;
    if (!GetClassInfo(nullptr, "HandChild", &wc)) {
        wc.lpfnWndProc = DefWindowProc;
        wc.lpszClassName = "HandChild";
        wc.hCursor = StockCursor(CursorShape::Hand);
        RegisterClass(wc);
    }
    HWND top = clientWindow(WS_POPUP, 0, 0, 100, 100);
    HWND child = CreateWindowEx(0, "HandChild", "", WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, top, 0,
                                nullptr, nullptr);
    ASSERT_NE(child, 0u);
    drain();
    DeliverMouse(WM_MOUSEMOVE, POINT{15, 15}, 0);
    EXPECT_EQ(CursorShapeOf(GetCursor()), CursorShape::Hand);
    DeliverMouse(WM_MOUSEMOVE, POINT{50, 50}, 0);
    EXPECT_EQ(CursorShapeOf(GetCursor()), CursorShape::Arrow);
    drain();
    DestroyWindow(top);
}
