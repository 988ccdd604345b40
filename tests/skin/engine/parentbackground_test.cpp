#include <gtest/gtest.h>

#include "classlib/controls.h"
#include "platform/win/paint.h"
#include "platform/win/window.h"
#include "skin/engine/SPUtils.h"

namespace {

// A parent that erases with one colour and paints a bar with another.
class Panel : public TWinControl {
public:
    using TWinControl::TWinControl;
    void WndProc(TMessage& m) override {
        auto dc = reinterpret_cast<HDC>(m.WParam);
        if (m.Msg == WM_ERASEBKGND && dc) {
            fill(dc, RECT{0, 0, Width(), Height()}, RGB(0, 0, 200));
            m.Result = 1;
        } else if (m.Msg == WM_PAINT && dc) {
            fill(dc, RECT{0, 0, Width(), 5}, RGB(0, 200, 0));
        } else {
            TWinControl::WndProc(m);
        }
    }
    static void fill(HDC dc, RECT r, COLORREF c) {
        HBRUSH b = CreateSolidBrush(c);
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
};

// A window-less control that paints itself red.
class Shape : public TControl {
public:
    using TControl::TControl;
    void WndProc(TMessage& m) override {
        auto dc = reinterpret_cast<HDC>(m.WParam);
        if (m.Msg == WM_PAINT && dc)
            Panel::fill(dc, RECT{0, 0, Width(), Height()}, RGB(200, 0, 0));
        else
            TControl::WndProc(m);
    }
};

} // namespace

TEST(SkinParentBackground, ParentAndWindowlessSiblingsBelowShowThrough) {
    Panel parent(nullptr);
    parent.SetBounds(0, 0, 100, 60);
    Shape below(nullptr), above(nullptr);
    below.SetParent(&parent);
    below.SetBounds(20, 10, 20, 20);
    TControl control(nullptr);
    control.SetParent(&parent);
    control.SetBounds(10, 0, 40, 40);
    above.SetParent(&parent);
    above.SetBounds(10, 0, 5, 5); // after the control in z-order: not drawn

    TBitmap bmp;
    bmp.SetPixelFormat(pf24bit);
    bmp.SetSize(40, 40);
    DrawParentBackground(&control, bmp.Canvas());
    auto at = [&](int x, int y) { return COLORREF(bmp.Canvas()->Pixels(x, y)); };
    EXPECT_EQ(at(2, 2), RGB(0, 200, 0));   // the parent's painted bar
    EXPECT_EQ(at(2, 30), RGB(0, 0, 200));  // the parent's background
    EXPECT_EQ(at(15, 15), RGB(200, 0, 0)); // the sibling below, moved into place
    EXPECT_EQ(at(9, 15), RGB(0, 0, 200));
    EXPECT_EQ(at(30, 15), RGB(0, 0, 200));
    above.SetParent(nullptr);
    control.SetParent(nullptr);
    below.SetParent(nullptr);
}

namespace {

LRESULT bluePopupProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_PAINT) return DefWindowProc(hwnd, msg, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    Panel::fill(dc, RECT{0, 0, 60, 40}, RGB(0, 0, 200));
    EndPaint(hwnd, &ps);
    return 0;
}

} // namespace

TEST(SkinScreenCapture, TheScreenShowsTheWindowsOnIt) {
    // A blue window; the capture shows it where it stands and the empty
    // screen around it.
    WNDCLASS wc;
    wc.lpfnWndProc = bluePopupProc;
    wc.lpszClassName = "TCaptureProbe";
    RegisterClass(wc);
    HWND w = CreateWindowEx(0, "TCaptureProbe", "", WS_POPUP | WS_VISIBLE, 300, 200, 60, 40, 0, 0,
                            nullptr, nullptr);
    TBitmap shot;
    shot.SetPixelFormat(pf24bit);
    shot.SetSize(80, 60);
    CaptureScreenToBitmap(290, 190, &shot);
    DestroyWindow(w);
    EXPECT_EQ(ColorToRGB(shot.Canvas()->Pixels(30, 30)), RGB(0, 0, 200));
    EXPECT_EQ(ColorToRGB(shot.Canvas()->Pixels(5, 5)), RGB(0, 0, 0));
    EXPECT_EQ(ColorToRGB(shot.Canvas()->Pixels(75, 55)), RGB(0, 0, 0));
}
