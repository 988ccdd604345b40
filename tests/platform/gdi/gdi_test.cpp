#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/gdi/gdi.h"

namespace {

// A memory device context on a fresh bitmap of the given depth.
struct Surface {
    HBITMAP bmp = nullptr;
    HDC dc = nullptr;
    uint8_t* bits = nullptr;
    int w, h, bpp;
    Surface(int w_, int h_, int bpp_ = 32, bool topDown = true) : w(w_), h(h_), bpp(bpp_) {
        BITMAPINFO bi{};
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = topDown ? -h : h;
        bi.bmiHeader.biBitCount = WORD(bpp);
        void* p = nullptr;
        bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<uint8_t*>(p);
        dc = CreateCompatibleDC(nullptr);
        SelectObject(dc, bmp);
    }
    ~Surface() {
        DeleteDC(dc);
        DeleteObject(bmp);
    }
    void fill(COLORREF c) {
        HBRUSH b = CreateSolidBrush(c);
        RECT r{0, 0, w, h};
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    COLORREF at(int x, int y) { return bmp->getPixel(x, y); }
    uint8_t* px(int x, int y) { return bits + size_t(y) * bmp->stride + size_t(x) * (bpp / 8); }
};

std::vector<RECT> rectsOf(HRGN r) {
    return GetRegionRects(r);
}

} // namespace

TEST(GdiArithmetic, RoundsHalvesToEven) {
    struct Case {
        int64_t num, den, want;
    } cases[] = {{5, 2, 2}, {7, 2, 4}, {-5, 2, -2}, {3, 2, 2}, {1, 3, 0}, {2, 3, 1}, {510, 4, 128}};
    for (auto c : cases)
        EXPECT_EQ(RoundDivEven(c.num, c.den), c.want) << c.num << "/" << c.den;
}

TEST(GdiRegion, CombinesIntoBandedRectangles) {
    struct Case {
        int mode;
        std::vector<RECT> want;
    } cases[] = {
        {RGN_AND, {{5, 5, 10, 10}}},
        {RGN_OR, {{0, 0, 10, 5}, {0, 5, 15, 10}, {5, 10, 15, 15}}},
        {RGN_XOR, {{0, 0, 10, 5}, {0, 5, 5, 10}, {10, 5, 15, 10}, {5, 10, 15, 15}}},
        {RGN_DIFF, {{0, 0, 10, 5}, {0, 5, 5, 10}}},
    };
    for (auto& c : cases) {
        HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 5, 15, 15);
        HRGN d = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(d, a, b, c.mode);
        EXPECT_EQ(rectsOf(d), c.want) << "mode " << c.mode;
        DeleteObject(a), DeleteObject(b), DeleteObject(d);
    }
}

TEST(GdiRegion, MaskRowsMergeAndBadDataIsRefused) {
    // Rows of a mask as one-pixel-high runs: equal neighbours merge.
    std::vector<RECT> rows = {{2, 0, 6, 1}, {2, 1, 6, 2}, {0, 2, 3, 3}, {4, 2, 8, 3}};
    std::vector<char> block(sizeof(RGNDATAHEADER) + rows.size() * sizeof(RECT));
    auto* data = reinterpret_cast<RGNDATA*>(block.data());
    data->rdh = RGNDATAHEADER{};
    data->rdh.nCount = DWORD(rows.size());
    std::memcpy(block.data() + sizeof(RGNDATAHEADER), rows.data(), rows.size() * sizeof(RECT));
    HRGN r = ExtCreateRegion(nullptr, DWORD(block.size()), data);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(rectsOf(r), (std::vector<RECT>{{2, 0, 6, 2}, {0, 2, 3, 3}, {4, 2, 8, 3}}));
    EXPECT_TRUE(PtInRegion(r, 5, 1));
    EXPECT_FALSE(PtInRegion(r, 3, 2));
    DeleteObject(r);
    // A count larger than the block is refused instead of read past its end.
    data->rdh.nCount = 1000;
    EXPECT_EQ(ExtCreateRegion(nullptr, DWORD(block.size()), data), nullptr);
}

TEST(GdiClip, ClipRegionsFollowSaveAndRestore) {
    Surface s(20, 20);
    s.fill(RGB(0, 0, 0));
    int saved = SaveDC(s.dc);
    IntersectClipRect(s.dc, 5, 5, 15, 15);
    ExcludeClipRect(s.dc, 8, 8, 10, 10);
    s.fill(RGB(255, 0, 0));
    EXPECT_EQ(s.at(4, 4), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(s.dc, 6, 6), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(s.dc, 9, 9), CLR_INVALID); // outside the clip
    RestoreDC(s.dc, saved);
    EXPECT_EQ(s.at(9, 9), RGB(0, 0, 0));
    s.fill(RGB(0, 255, 0));
    EXPECT_EQ(s.at(0, 0), RGB(0, 255, 0));
}

TEST(GdiClip, OriginsMoveDrawingAndClipsStayInDeviceUnits) {
    Surface s(20, 20);
    s.fill(0);
    SetViewportOrgEx(s.dc, 10, 0, nullptr);
    SetWindowOrgEx(s.dc, 0, -5, nullptr);
    IntersectClipRect(s.dc, 0, 0, 4, 4); // device (10, 5)-(14, 9)
    SetViewportOrgEx(s.dc, 0, 0, nullptr);
    SetWindowOrgEx(s.dc, 0, 0, nullptr);
    HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
    RECT all{0, 0, 20, 20};
    FillRect(s.dc, &all, b);
    DeleteObject(b);
    SelectClipRgn(s.dc, nullptr);
    EXPECT_EQ(s.at(10, 5), RGB(1, 2, 3));
    EXPECT_EQ(s.at(13, 8), RGB(1, 2, 3));
    EXPECT_EQ(s.at(14, 8), 0u);
    EXPECT_EQ(s.at(9, 5), 0u);
}

TEST(GdiShapes, LinesLeaveOutTheEndPointAndRectanglesUseThePen) {
    Surface s(12, 12);
    s.fill(RGB(255, 255, 255));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HGDIOBJ old = SelectObject(s.dc, pen);
    MoveToEx(s.dc, 1, 1, nullptr);
    LineTo(s.dc, 5, 1);
    EXPECT_EQ(s.at(4, 1), RGB(255, 0, 0));
    EXPECT_EQ(s.at(5, 1), RGB(255, 255, 255));
    HBRUSH br = CreateSolidBrush(RGB(0, 0, 255));
    SelectObject(s.dc, br);
    Rectangle(s.dc, 2, 3, 8, 9);
    EXPECT_EQ(s.at(2, 3), RGB(255, 0, 0));
    EXPECT_EQ(s.at(7, 8), RGB(255, 0, 0));
    EXPECT_EQ(s.at(3, 4), RGB(0, 0, 255));
    EXPECT_EQ(s.at(8, 9), RGB(255, 255, 255));
    SelectObject(s.dc, old);
    SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
    // Objects deleted while selected stay valid until released.
    DeleteObject(pen);
    DeleteObject(br);
}

TEST(GdiBlit, CopiesBetweenDepthsWithRasterOperations) {
    Surface src(4, 4, 24), dst(4, 4, 32);
    src.fill(RGB(0x12, 0x34, 0x56));
    SetPixel(src.dc, 1, 1, RGB(0xFF, 0x00, 0x0F));
    dst.fill(RGB(0xF0, 0xF0, 0xF0));
    BitBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(dst.at(1, 1), RGB(0xFF, 0x00, 0x0F));
    EXPECT_EQ(dst.at(2, 2), RGB(0x12, 0x34, 0x56));
    dst.fill(RGB(0xF0, 0x0F, 0xFF));
    BitBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, SRCAND);
    EXPECT_EQ(dst.at(0, 0), RGB(0x10, 0x04, 0x56));
    BitBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, SRCINVERT);
    EXPECT_EQ(dst.at(0, 0), RGB(0x10 ^ 0x12, 0x04 ^ 0x34, 0x56 ^ 0x56));
    // A source rectangle reaching outside the source leaves those pixels alone.
    dst.fill(RGB(1, 1, 1));
    BitBlt(dst.dc, 0, 0, 4, 4, src.dc, 2, 2, SRCCOPY);
    EXPECT_EQ(dst.at(1, 1), RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(dst.at(2, 2), RGB(1, 1, 1));
}

TEST(GdiBlit, OverlappingCopyWithinOneBitmap) {
    Surface s(1, 5);
    for (int y = 0; y < 5; ++y)
        SetPixel(s.dc, 0, y, RGB(y, 0, 0));
    BitBlt(s.dc, 0, 1, 1, 4, s.dc, 0, 0, SRCCOPY);
    for (int y = 1; y < 5; ++y)
        EXPECT_EQ(s.at(0, y), RGB(y - 1, 0, 0));
}

TEST(GdiBlit, StretchSamplesPixelCentresIncludingOneColumn) {
    Surface src(4, 1), dst(8, 1), one(1, 1);
    for (int x = 0; x < 4; ++x)
        SetPixel(src.dc, x, 0, RGB(x * 10, 0, 0));
    StretchBlt(dst.dc, 0, 0, 8, 1, src.dc, 0, 0, 4, 1, SRCCOPY);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(dst.at(x, 0), RGB((x / 2) * 10, 0, 0)) << x;
    StretchBlt(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, 4, 1, SRCCOPY);
    EXPECT_EQ(dst.at(0, 0), RGB(10, 0, 0));
    EXPECT_EQ(dst.at(1, 0), RGB(30, 0, 0));
    StretchBlt(one.dc, 0, 0, 1, 1, src.dc, 0, 0, 4, 1, SRCCOPY);
    EXPECT_EQ(one.at(0, 0), RGB(20, 0, 0));
    // A negative width mirrors.
    StretchBlt(dst.dc, 3, 0, -4, 1, src.dc, 0, 0, 4, 1, SRCCOPY);
    EXPECT_EQ(dst.at(0, 0), RGB(30, 0, 0));
    EXPECT_EQ(dst.at(3, 0), RGB(0, 0, 0));
}

TEST(GdiBlit, AlphaBlendRoundsToNearest) {
    // Five pixels: the wide rows run four at a time, the rest one by one.
    Surface src(5, 1), dst(5, 1);
    for (int x = 0; x < 5; ++x) {
        uint8_t* s = src.px(x, 0);
        s[0] = 50, s[1] = 100, s[2] = 128, s[3] = 128; // premultiplied, half transparent
    }
    struct Case {
        BYTE constant, format;
        uint8_t want[4];
    } cases[] = {
        // 50 + 100 * 127 / 255 = 99.8 -> 100; alpha 128 + 100 * 127/255 = 177.8 -> 178
        {255, AC_SRC_ALPHA, {100, 150, 178, 178}},
        // constant alpha only: (50 * 51 + 100 * 204) / 255 = 90
        {51, 0, {90, 100, 106, 106}},
    };
    for (auto& c : cases) {
        std::memset(dst.bits, 100, 5 * 4);
        BLENDFUNCTION bf;
        bf.SourceConstantAlpha = c.constant;
        bf.AlphaFormat = c.format;
        AlphaBlend(dst.dc, 0, 0, 5, 1, src.dc, 0, 0, 5, 1, bf);
        for (int x = 0; x < 5; ++x)
            for (int ch = 0; ch < 4; ++ch)
                EXPECT_EQ(dst.px(x, 0)[ch], c.want[ch]) << "pixel " << x << " channel " << ch;
    }
}

TEST(GdiBlit, TransparentBltSkipsTheKeyWhileStretching) {
    Surface src(2, 1), dst(4, 1);
    SetPixel(src.dc, 0, 0, RGB(255, 0, 255));
    SetPixel(src.dc, 1, 0, RGB(1, 2, 3));
    dst.fill(RGB(9, 9, 9));
    TransparentBlt(dst.dc, 0, 0, 4, 1, src.dc, 0, 0, 2, 1, RGB(255, 0, 255));
    EXPECT_EQ(dst.at(0, 0), RGB(9, 9, 9));
    EXPECT_EQ(dst.at(1, 0), RGB(9, 9, 9));
    EXPECT_EQ(dst.at(2, 0), RGB(1, 2, 3));
    EXPECT_EQ(dst.at(3, 0), RGB(1, 2, 3));
}

// A 24-bit picture in the caller's memory, top-down and bottom-up, drawn into
// a 32-bit one at an offset and through a clip: colours land with alpha 0,
// whole rows of every width (vector steps and the pixels after them), and
// nothing outside the rectangle and the clip changes.
TEST(GdiBlit, DeviceIndependentRowsDrawIntoDeeperPictures) {
    for (bool topDown : {true, false}) {
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        const int w = 37, h = 3, stride = (w * 3 + 3) & ~3;
        std::vector<uint8_t> rows(size_t(stride) * h);
        auto colourAt = [](int x, int y) { return RGB(x * 5, y * 70, 255 - x); };
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* p = rows.data() + size_t(topDown ? y : h - 1 - y) * stride + x * 3;
                const COLORREF c = colourAt(x, y);
                p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
            }
        BITMAPINFO bi{};
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = topDown ? -h : h;
        bi.bmiHeader.biBitCount = 24;
        Surface dst(w + 4, h + 2);
        std::memset(dst.bits, 0x77, size_t(dst.bmp->stride) * (h + 2));
        HRGN clip = CreateRectRgn(0, 0, w + 4, h + 1);
        SelectClipRgn(dst.dc, clip);
        DeleteObject(clip);
        EXPECT_EQ(
            SetDIBitsToDevice(dst.dc, 2, 1, w, h, 0, 0, 0, h, rows.data(), &bi, DIB_RGB_COLORS), h);
        for (int y = 0; y < h + 2; ++y)
            for (int x = 0; x < w + 4; ++x) {
                const bool drawn = x >= 2 && x < w + 2 && y >= 1 && y < h + 1;
                const uint8_t* p = dst.px(x, y);
                if (drawn) {
                    ASSERT_EQ(dst.at(x, y), colourAt(x - 2, y - 1)) << x << "," << y;
                    ASSERT_EQ(p[3], 0) << x << "," << y;
                } else {
                    ASSERT_EQ(dst.at(x, y), RGB(0x77, 0x77, 0x77)) << x << "," << y;
                    ASSERT_EQ(p[3], 0x77) << x << "," << y;
                }
            }
        // Stretched, the columns are sampled one by one.
        Surface wide(2 * w, 1);
        StretchDIBits(wide.dc, 0, 0, 2 * w, 1, 0, 0, w, 1, rows.data(), &bi, DIB_RGB_COLORS,
                      SRCCOPY);
        for (int x = 0; x < 2 * w; ++x)
            ASSERT_EQ(wide.at(x, 0), colourAt(x / 2, 0)) << x;
    }
}

// The rows of a picture drawn into that same picture are read as they were
// before the drawing began.
TEST(GdiBlit, DeviceIndependentRowsOfTheTargetItself) {
    Surface s(1, 5, 24);
    for (int y = 0; y < 5; ++y)
        SetPixel(s.dc, 0, y, RGB(y, 0, 0));
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = 1;
    bi.bmiHeader.biHeight = -5;
    bi.bmiHeader.biBitCount = 24;
    SetDIBitsToDevice(s.dc, 0, 1, 1, 4, 0, 0, 0, 5, s.bits, &bi, DIB_RGB_COLORS);
    for (int y = 1; y < 5; ++y)
        EXPECT_EQ(s.at(0, y), RGB(y - 1, 0, 0));
}

TEST(GdiBitmap, BottomUpSectionsMapRowsAndHugeSizesFail) {
    Surface s(2, 2, 32, false);
    SetPixel(s.dc, 0, 0, RGB(7, 8, 9));
    // Row 0 of the picture is the last row in memory.
    EXPECT_EQ(s.bits[4 * 2 + 2], 7);
    DIBSECTION ds{};
    ASSERT_EQ(GetObject(s.bmp, sizeof(ds), &ds), int(sizeof(ds)));
    EXPECT_EQ(ds.dsBmih.biHeight, 2);
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = 1 << 20;
    bi.bmiHeader.biHeight = -(1 << 20);
    bi.bmiHeader.biBitCount = 32;
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
}

namespace {

struct TextSurface : Surface {
    HFONT font;
    TextSurface(int w, int h, const char* face = "DejaVu Sans", int height = -12) : Surface(w, h) {
        LOGFONT lf;
        lf.lfHeight = height;
        lf.lfFaceName = face;
        font = CreateFontIndirect(&lf);
        SelectObject(dc, font);
        fill(RGB(255, 255, 255));
        SetBkMode(dc, TRANSPARENT);
    }
    ~TextSurface() {
        SelectObject(dc, GetStockObject(SYSTEM_FONT));
        DeleteObject(font);
    }
    // Bounding box of the non-white pixels.
    RECT ink() {
        RECT r{w, h, 0, 0};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (at(x, y) != RGB(255, 255, 255))
                    r = RECT{std::min<int>(r.left, x), std::min<int>(r.top, y),
                             std::max<int>(r.right, x + 1), std::max<int>(r.bottom, y + 1)};
        return r;
    }
};

} // namespace

TEST(GdiText, PrefixesAreTakenOutAndMeasuredAway) {
    TextSurface t(200, 40);
    RECT a{0, 0, 0, 0}, b{0, 0, 0, 0}, c{0, 0, 0, 0};
    DrawText(t.dc, "&File", &a, DT_CALCRECT | DT_SINGLELINE);
    DrawText(t.dc, "File", &b, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(a.right, b.right);
    EXPECT_GT(a.right, 0);
    DrawText(t.dc, "&File", &c, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_GT(c.right, b.right);
    RECT amp{0, 0, 0, 0}, one{0, 0, 0, 0};
    DrawText(t.dc, "A&&B", &amp, DT_CALCRECT | DT_SINGLELINE);
    DrawText(t.dc, "A&B", &one, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(amp.right, one.right);
    TEXTMETRIC tm;
    GetTextMetrics(t.dc, &tm);
    EXPECT_EQ(a.bottom, tm.tmHeight);
}

TEST(GdiText, AlignsCentresAndClipsToTheRectangle) {
    TextSurface t(200, 40);
    SetTextColor(t.dc, RGB(0, 0, 0));
    RECT r{20, 0, 180, 40};
    DrawText(t.dc, "Centre", &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    RECT ink = t.ink();
    ASSERT_LT(ink.left, ink.right);
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 100, 3);
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 20, 4);
    t.fill(RGB(255, 255, 255));
    RECT narrow{0, 0, 10, 40};
    DrawText(t.dc, "Wide text here", &narrow, DT_SINGLELINE);
    EXPECT_LE(t.ink().right, 10);
}

TEST(GdiText, WordBreakWrapsIntoLines) {
    TextSurface t(100, 200);
    TEXTMETRIC tm;
    GetTextMetrics(t.dc, &tm);
    RECT r{0, 0, 60, 0};
    int h = DrawText(t.dc, "one two three four", &r, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_GE(h, 2 * tm.tmHeight);
    EXPECT_LE(r.right, 60);
}

TEST(GdiText, EscapementTurnsTextAboutItsReferencePoint) {
    // A word reads left to right without escapement; at 900 it reads upward
    // from the point, its top to the left (so its ink lies right of x and
    // above y); at 2700 downward, its ink left of x and below y.
    struct Case {
        int escapement;
        bool tall;
        int xSide, ySide; // -1: ink before the point, +1: after it
    } cases[] = {{0, false, +1, +1}, {900, true, +1, -1}, {2700, true, -1, +1}};
    for (const Case& c : cases) {
        TextSurface t(200, 200);
        LOGFONT lf;
        GetObject(t.font, sizeof lf, &lf);
        lf.lfEscapement = c.escapement;
        HFONT turned = CreateFontIndirect(&lf);
        SelectObject(t.dc, turned);
        SetTextColor(t.dc, RGB(0, 0, 0));
        SIZE size{};
        GetTextExtentPoint32(t.dc, "Progress", &size);
        TextOut(t.dc, 100, 100, "Progress");
        RECT ink = t.ink();
        SelectObject(t.dc, t.font);
        DeleteObject(turned);
        ASSERT_LT(ink.left, ink.right) << c.escapement;
        const int iw = ink.right - ink.left, ih = ink.bottom - ink.top;
        EXPECT_EQ(ih > iw, c.tall) << c.escapement;
        EXPECT_NEAR(std::max(iw, ih), size.cx, 4) << c.escapement;
        if (c.xSide > 0)
            EXPECT_GE(ink.left, 99) << c.escapement;
        else
            EXPECT_LE(ink.right, 101) << c.escapement;
        if (c.ySide > 0)
            EXPECT_GE(ink.top, 99) << c.escapement;
        else
            EXPECT_LE(ink.bottom, 101) << c.escapement;
    }
}

TEST(GdiText, FormNamesResolveToMetricCompatibleFonts) {
    EXPECT_EQ(ResolveFontFamily("Arial"), "Liberation Sans");
    EXPECT_EQ(ResolveFontFamily("MS Sans Serif"), "Liberation Sans");
    EXPECT_EQ(ResolveFontFamily("Tahoma"), "DejaVu Sans");
    TextSurface arial(10, 10, "Arial", -20), lib(10, 10, "Liberation Sans", -20);
    SIZE a{}, b{};
    GetTextExtentPoint32(arial.dc, "Metric check", &a);
    GetTextExtentPoint32(lib.dc, "Metric check", &b);
    EXPECT_EQ(a.cx, b.cx);
    EXPECT_GT(a.cx, 50);
    // A positive height is the cell height.
    TextSurface cell(10, 10, "Arial", 14);
    TEXTMETRIC tm;
    GetTextMetrics(cell.dc, &tm);
    EXPECT_NEAR(tm.tmHeight, 14, 1);
}

TEST(GdiText, Utf16RoundTrip) {
    std::string s = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5";
    std::u16string w = Utf8ToUtf16(s);
    EXPECT_EQ(w.size(), 5u);
    EXPECT_EQ(Utf16ToUtf8(w), s);
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), u"\xFFFD");
}
