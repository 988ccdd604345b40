#include <gtest/gtest.h>

#include "platform/gdi/gdi.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"
#include "support/headless.h"

namespace {

int g_paints = 0;

// Paints a red square at (5, 5)-(15, 15) of its client area.
LRESULT CALLBACK_red(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        ++g_paints;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        HBRUSH b = CreateSolidBrush(RGB(255, 0, 0));
        RECT r{5, 5, 15, 15};
        FillRect(dc, &r, b);
        DeleteObject(b);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

void registerOnce(const char* name, WNDPROC proc, uintptr_t brush) {
    WNDCLASS wc;
    if (GetClassInfo(nullptr, name, &wc)) return;
    wc.lpfnWndProc = proc;
    wc.lpszClassName = name;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(brush);
    RegisterClass(wc);
}

using headlesstest::pixel;

} // namespace

TEST(WindowPaint, RendersParentBackgroundChildrenAndPaintHandlers) {
    registerOnce("PaintTop", CALLBACK_red, COLOR_WINDOW + 1);
    registerOnce("PaintChild", CALLBACK_red, COLOR_BTNFACE + 1);
    HWND top = CreateWindowEx(0, "PaintTop", "t", WS_POPUP | WS_VISIBLE, 100, 100, 60, 40, 0, 0,
                              nullptr, nullptr);
    HWND child = CreateWindowEx(0, "PaintChild", "", WS_CHILD | WS_VISIBLE, 30, 10, 20, 20, top, 0,
                                nullptr, nullptr);
    ASSERT_TRUE(top && child);
    HBITMAP shot = RenderWindowToBitmap(top);
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(shot->width, 60);
    EXPECT_EQ(pixel(shot, 0, 0), 0xFFFFFFu);   // class brush of the top window (white)
    EXPECT_EQ(pixel(shot, 6, 6), 0xFF0000u);   // its red square
    EXPECT_EQ(pixel(shot, 31, 11), 0xF0F0F0u); // the child's face-coloured background
    EXPECT_EQ(pixel(shot, 36, 16), 0xFF0000u); // the child's own square
    DeleteObject(shot);
    HBITMAP part = RenderWindowToBitmap(child);
    EXPECT_EQ(part->width, 20);
    EXPECT_EQ(pixel(part, 6, 6), 0xFF0000u);
    DeleteObject(part);
    DestroyWindow(top);
}

TEST(WindowPaint, InvalidationGivesOneWmPaintUntilValidated) {
    registerOnce("PaintTop", CALLBACK_red, COLOR_WINDOW + 1);
    HWND w = CreateWindowEx(0, "PaintTop", "t", WS_POPUP | WS_VISIBLE, 0, 0, 30, 30, 0, 0, nullptr,
                            nullptr);
    MSG m;
    while (PeekMessage(&m, 0, 0, 0, PM_REMOVE))
        DispatchMessage(&m);
    RECT u;
    EXPECT_FALSE(GetUpdateRect(w, &u, 0));
    RECT r{2, 2, 8, 8};
    InvalidateRect(w, &r, 1);
    EXPECT_TRUE(GetUpdateRect(w, &u, 0));
    EXPECT_EQ(u, r);
    g_paints = 0;
    ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_PAINT);
    EXPECT_EQ(m.hwnd, w);
    DispatchMessage(&m);
    EXPECT_EQ(g_paints, 1);
    EXPECT_FALSE(PeekMessage(&m, 0, WM_PAINT, WM_PAINT, PM_REMOVE));
    ValidateRect(w, nullptr);
    InvalidateRect(w, nullptr, 0);
    ValidateRect(w, nullptr);
    EXPECT_FALSE(PeekMessage(&m, 0, WM_PAINT, WM_PAINT, PM_REMOVE));
    DestroyWindow(w);
}

TEST(WindowPaint, ParentWithoutClippingRepaintsGrandchildrenOfAClippingChild) {
    registerOnce("PaintTop", CALLBACK_red, COLOR_WINDOW + 1);
    registerOnce("PaintChild", CALLBACK_red, COLOR_BTNFACE + 1);
    HWND top = CreateWindowEx(0, "PaintTop", "t", WS_POPUP | WS_VISIBLE, 0, 0, 60, 40, 0, 0,
                              nullptr, nullptr);
    HWND child = CreateWindowEx(0, "PaintChild", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 10,
                                10, 40, 25, top, 0, nullptr, nullptr);
    HWND grand = CreateWindowEx(0, "PaintChild", "", WS_CHILD | WS_VISIBLE, 2, 2, 20, 20, child, 0,
                                nullptr, nullptr);
    ASSERT_TRUE(top && child && grand);
    MSG m;
    while (PeekMessage(&m, 0, 0, 0, PM_REMOVE))
        DispatchMessage(&m);
    RECT u;
    ASSERT_FALSE(GetUpdateRect(grand, &u, 0));
    // The top window paints over the child and what the child holds.
    InvalidateRect(top, nullptr, 1);
    EXPECT_TRUE(GetUpdateRect(child, &u, 0));
    EXPECT_TRUE(GetUpdateRect(grand, &u, 0));
    // A clipping child invalidated on its own leaves its children alone.
    while (PeekMessage(&m, 0, 0, 0, PM_REMOVE))
        DispatchMessage(&m);
    InvalidateRect(child, nullptr, 1);
    EXPECT_FALSE(GetUpdateRect(grand, &u, 0));
    DestroyWindow(top);
}

// A child that paints ahead of its parent (an UpdateWindow of its own, while
// the parent still waits to paint) is not lost under the parent's paint.
TEST(WindowPaint, ChildPaintedAheadOfItsParentShowsAfterTheParentPaints) {
    registerOnce("PaintTop", CALLBACK_red, COLOR_WINDOW + 1);
    registerOnce("PaintChild", CALLBACK_red, COLOR_BTNFACE + 1);
    HWND top = CreateWindowEx(0, "PaintTop", "t", WS_POPUP | WS_VISIBLE, 0, 0, 60, 40, 0, 0,
                              nullptr, nullptr);
    HWND child = CreateWindowEx(0, "PaintChild", "", WS_CHILD | WS_VISIBLE, 30, 10, 20, 20, top, 0,
                                nullptr, nullptr);
    ASSERT_TRUE(top && child);
    MSG m;
    while (PeekMessage(&m, 0, 0, 0, PM_REMOVE))
        DispatchMessage(&m);
    InvalidateRect(top, nullptr, 1);
    UpdateWindow(child);
    while (PeekMessage(&m, 0, 0, 0, PM_REMOVE))
        DispatchMessage(&m);
    // What the display shows: the surface as painted, nothing drawn anew.
    HBITMAP surface = GetWindowSurface(top);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(pixel(surface, 36, 16), 0xFF0000u);
    EXPECT_EQ(pixel(surface, 31, 11), 0xF0F0F0u);
    DestroyWindow(top);
}
