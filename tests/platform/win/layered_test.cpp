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
