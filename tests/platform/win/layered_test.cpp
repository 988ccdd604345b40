#include <gtest/gtest.h>

#include "platform/gdi/gdi.h"
#include "platform/win/layered.h"
#include "platform/win/paint.h"
#include "platform/win/region.h"
#include "platform/win/window.h"

namespace {

HWND popup(DWORD exStyle) {
    WNDCLASS wc;
    if (!GetClassInfo(nullptr, "LayerTest", &wc)) {
        wc.lpfnWndProc = DefWindowProc;
        wc.lpszClassName = "LayerTest";
        RegisterClass(wc);
    }
    return CreateWindowEx(exStyle, "LayerTest", "", WS_POPUP, 10, 10, 4, 2, 0, 0, nullptr, nullptr);
}

} // namespace

TEST(WindowRegion, SetWindowRgnOwnsAndCopiesTheRegion) {
    HWND w = popup(0);
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(w, probe), RGN_ERROR);
    ASSERT_TRUE(SetWindowRgn(w, CreateRectRgn(1, 0, 3, 2), 0));
    EXPECT_EQ(GetWindowRgn(w, probe), SIMPLEREGION);
    EXPECT_EQ(GetRegionRects(probe), (std::vector<RECT>{{1, 0, 3, 2}}));
    SetWindowRgn(w, nullptr, 0);
    EXPECT_FALSE(HasWindowRegion(w));
    DeleteObject(probe);
    DestroyWindow(w);
    HRGN stray = CreateRectRgn(0, 0, 1, 1);
    EXPECT_FALSE(SetWindowRgn(w, stray, 0)); // still ours to delete
    DeleteObject(stray);
}

TEST(LayeredWindow, AttributesNeedTheStyleAndPicturesKeepAlpha) {
    HWND plain = popup(0);
    EXPECT_FALSE(SetLayeredWindowAttributes(plain, 0, 128, LWA_ALPHA));
    HWND w = popup(WS_EX_LAYERED);
    ASSERT_TRUE(SetLayeredWindowAttributes(w, 0, 128, LWA_ALPHA));
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(w, nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 128);
    EXPECT_EQ(flags, DWORD(LWA_ALPHA));

    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = 6;
    bi.bmiHeader.biHeight = -3;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP pic = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    static_cast<uint32_t*>(bits)[0] = 0x80402010;
    HDC src = CreateCompatibleDC(nullptr);
    SelectObject(src, pic);
    POINT at{20, 30}, from{0, 0};
    SIZE size{6, 3};
    BLENDFUNCTION bf;
    bf.AlphaFormat = AC_SRC_ALPHA;
    ASSERT_TRUE(UpdateLayeredWindow(w, nullptr, &at, &size, src, &from, 0, &bf, ULW_ALPHA));
    RECT r{};
    GetWindowRect(w, &r);
    EXPECT_EQ(r, (RECT{20, 30, 26, 33}));
    EXPECT_TRUE(GetLayeredState(w).perPixel);
    HBITMAP surface = GetWindowSurface(w);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(surface->row(0))[0], 0x80402010u);
    DeleteDC(src);
    DeleteObject(pic);
    DestroyWindow(w);
    DestroyWindow(plain);
}

namespace {

// A top-level window filled with one colour by its class brush.
HWND solid(const char* cls, COLORREF colour, DWORD exStyle, RECT r) {
    WNDCLASS wc;
    if (!GetClassInfo(nullptr, cls, &wc)) {
        wc.lpfnWndProc = DefWindowProc;
        wc.lpszClassName = cls;
        wc.hbrBackground = CreateSolidBrush(colour);
        RegisterClass(wc);
    }
    return CreateWindowEx(exStyle, cls, "", WS_POPUP | WS_VISIBLE, r.left, r.top, r.right - r.left,
                          r.bottom - r.top, 0, 0, nullptr, nullptr);
}

struct Shot {
    HBITMAP b;
    explicit Shot(RECT area) : b(RenderScreenToBitmap(area)) {}
    ~Shot() { DeleteObject(b); }
    COLORREF at(int x, int y) const { return b->getPixel(x, y); }
};

} // namespace

TEST(LayeredWindow, ScreenComposesConstantAndPerPixelAlphaOverWhatLiesBelow) {
    HWND base = solid("ComposeBase", RGB(200, 0, 0), 0, RECT{0, 0, 40, 10});
    HWND layer = solid("ComposeLayer", RGB(0, 0, 100), WS_EX_LAYERED, RECT{0, 0, 4, 1});
    SetWindowPos(layer, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    // Layered but given nothing yet: it does not show.
    EXPECT_EQ(Shot(RECT{0, 0, 4, 1}).at(0, 0), RGB(200, 0, 0));

    ASSERT_TRUE(SetLayeredWindowAttributes(layer, 0, 128, LWA_ALPHA));
    // (0 * 128 + 200 * 127 + 127) / 255 and (100 * 128 + 127) / 255.
    EXPECT_EQ(Shot(RECT{0, 0, 4, 1}).at(1, 0), RGB(100, 0, 50));

    // A picture with its own alpha: 0, 128 and 255 in the first three pixels.
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = 4;
    bi.bmiHeader.biHeight = -1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP pic = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* px = static_cast<uint32_t*>(bits);
    px[0] = 0x0000FF00, px[1] = 0x8000FF00, px[2] = 0xFF00FF00, px[3] = 0xFF00FF00;
    HDC src = CreateCompatibleDC(nullptr);
    SelectObject(src, pic);
    POINT at{10, 2}, from{0, 0};
    SIZE size{4, 1};
    BLENDFUNCTION bf;
    bf.AlphaFormat = AC_SRC_ALPHA;
    ASSERT_TRUE(UpdateLayeredWindow(layer, nullptr, &at, &size, src, &from, 0, &bf, ULW_ALPHA));
    {
        Shot s(RECT{10, 2, 14, 3});
        EXPECT_EQ(s.at(0, 0), RGB(200, 0, 0));
        EXPECT_EQ(s.at(1, 0), RGB(100, 128, 0));
        EXPECT_EQ(s.at(2, 0), RGB(0, 255, 0));
    }
    // Painting does not cover the picture.
    InvalidateRect(layer, nullptr, 1);
    UpdateWindow(layer);
    bf.SourceConstantAlpha = 128;
    ASSERT_TRUE(
        UpdateLayeredWindow(layer, nullptr, nullptr, nullptr, src, &from, 0, &bf, ULW_ALPHA));
    {
        Shot s(RECT{10, 2, 14, 3});
        EXPECT_EQ(s.at(2, 0), RGB(100, 128, 0));
        EXPECT_EQ(s.at(1, 0), RGB(150, 64, 0)); // alpha 128 * 128 / 255 = 64
    }
    // The window region cuts the picture.
    SetWindowRgn(layer, CreateRectRgn(3, 0, 4, 1), 0);
    EXPECT_EQ(Shot(RECT{10, 2, 14, 3}).at(2, 0), RGB(200, 0, 0));
    DeleteDC(src);
    DeleteObject(pic);
    DestroyWindow(layer);
    DestroyWindow(base);
}
