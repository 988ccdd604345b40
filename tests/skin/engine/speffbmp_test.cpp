#include <gtest/gtest.h>

#include "classlib/streams.h"
#include "classlib/strings.h"
#include "skin/engine/speffbmp.h"

namespace {

// A bitmap whose pixel (x, y) is 0xAA000000 | x << 8 | y, so copies can be traced.
void numbered(TspBitmap& b, int w, int h) {
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y, 0xFF000000u | uint32_t(x) << 8 | uint32_t(y));
}

int srcX(TspColor c) {
    return int((c >> 8) & 0xFF);
}
int srcY(TspColor c) {
    return int(c & 0xFF);
}

} // namespace

TEST(SkinBitmap, SizeTakesAbsoluteValuesAndFailureRaises) {
    TspBitmap b;
    EXPECT_TRUE(b.Empty());
    b.SetSize(-10, 5);
    EXPECT_EQ(b.Width(), 10);
    EXPECT_EQ(b.Height(), 5);
    EXPECT_EQ(TspBitmap::FromDC(b.DC()), &b);
    b.SetSize(0, 5);
    EXPECT_EQ(b.Width(), 10);
    EXPECT_EQ(TspBitmap::FromDC(nullptr), nullptr);
    // Nothing touches the pixels of a bitmap that has none.
    TspBitmap none;
    none.Clear(0xFFFFFFFF);
    none.FillRect(TRect(0, 0, 5, 5), 0xFF00FF00);
    none.SetAlpha(3);
    EXPECT_EQ(none.PixelAddress(0, 0), nullptr);
    none.SetSize(2, 2);
    EXPECT_FALSE(none.Empty());
}

TEST(SkinBitmap, ASizeThatCannotBeHadLeavesTheBitmapAsItWas) {
    TspBitmap b;
    b.SetSize(3, 2);
    b.Clear(0xFF102030);
    b.SetPixel(2, 1, 0xFF405060);
    EXPECT_THROW(b.SetSize(1 << 20, 1 << 20), Exception);
    ASSERT_FALSE(b.Empty());
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 2);
    EXPECT_EQ(b.Pixel(2, 1), 0xFF405060u);
    EXPECT_EQ(TspBitmap::FromDC(b.DC()), &b);
    // It still writes and reads back whole.
    TMemoryStream s;
    b.SaveToStream(&s);
    s.SetPosition(0);
    TspBitmap back;
    back.LoadFromStream(&s);
    EXPECT_EQ(back.Width(), 3);
    EXPECT_EQ(back.Pixel(2, 1), 0xFF405060u);
    // A bitmap without pixels writes itself as an empty one.
    TspBitmap none;
    TMemoryStream e;
    none.SaveToStream(&e);
    e.SetPosition(0);
    TspBitmap emptyBack;
    emptyBack.LoadFromStream(&e);
    EXPECT_TRUE(emptyBack.Empty());
}

TEST(SkinBitmap, AlphaAndTransparencyChecks) {
    TspBitmap b;
    b.SetSize(3, 1);
    b.Clear(0xFF000000);
    b.SetPixel(1, 0, 0x00FFFFFF);
    b.CheckingAlphaBlend();
    EXPECT_FALSE(b.AlphaBlend());
    b.SetAlpha(128, TRect(2, 0, 9, 9));
    b.CheckingAlphaBlend();
    EXPECT_TRUE(b.AlphaBlend());
    EXPECT_EQ(b.Pixel(2, 0) >> 24, 128u);
    EXPECT_EQ(b.Pixel(0, 0) >> 24, 255u);

    TspBitmap t;
    t.SetSize(3, 1);
    t.SetPixel(0, 0, spColor(250, 3, 251));
    t.SetPixel(1, 0, spColor(249, 0, 255));
    t.SetPixel(2, 0, spColor(255, 0, 255));
    t.CheckingTransparent(TColor(0x00FF00FF));
    EXPECT_TRUE(t.Transparent());
    EXPECT_EQ(t.Pixel(0, 0), spTransparentMarker);
    EXPECT_EQ(t.Pixel(1, 0), spColor(249, 0, 255));
}

TEST(SkinBitmap, CheckingTransparentWithRectangleStaysInside) {
    TspBitmap t;
    t.SetSize(4, 2);
    t.Clear(spColor(255, 0, 255));
    t.CheckingTransparent(TRect(1, 0, 3, 1), clFuchsia);
    EXPECT_TRUE(t.Transparent());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(t.Pixel(x, y) == spTransparentMarker, y == 0 && x >= 1 && x < 3) << x << y;
}

TEST(SkinBitmap, BlendFormulas) {
    TspColor s = 0x80FF0000, d = 0x000000FF; // half red over opaque-less blue
    EXPECT_EQ(spBlendPixelPlain(s, d), 0xFF7F007Eu);
    EXPECT_EQ(spBlendPixelMMX(s, d), 0x407F007Fu);
    EXPECT_EQ(spBlendPixelPlain(0x00123456, d), d);
    EXPECT_EQ(spBlendPixelMMX(0xFF123456, d), 0xFF123456u);
    EXPECT_EQ(spColor(300, -4, 7, 9), 0x09FF0007u);
    EXPECT_EQ(ColorToSpColor(TColor(RGB(1, 2, 3))), 0xFF010203u);
}

TEST(SkinBitmap, StretchMapsColumnsAndRows) {
    TspBitmap src, dst;
    numbered(src, 10, 4);
    dst.SetSize(4, 4);
    src.Draw(&dst, TRect(0, 0, 1, 1), TRect(0, 0, 10, 4));
    EXPECT_EQ(srcX(dst.Pixel(0, 0)), 4); // one column takes the middle
    EXPECT_EQ(srcY(dst.Pixel(0, 0)), 1);
    // 10 -> 4 columns: round(i * 9 / 3) = 0, 3, 6, 9
    src.Draw(&dst, TRect(0, 0, 4, 4), TRect(0, 0, 10, 4));
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(srcX(dst.Pixel(x, 0)), x * 3);
    // 2 -> 4 columns: round(i / 3) = 0, 0, 1, 1 (0.5 rounds to even)
    TspBitmap two;
    numbered(two, 2, 1);
    two.Draw(&dst, TRect(0, 0, 4, 1), TRect(0, 0, 2, 1));
    int want[] = {0, 0, 1, 1};
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(srcX(dst.Pixel(x, 0)), want[x]);
}

TEST(SkinBitmap, DrawClipsToBothImages) {
    TspBitmap src, dst;
    numbered(src, 4, 4);
    dst.SetSize(4, 4);
    dst.Clear(0);
    src.Draw(&dst, -2, -1);
    EXPECT_EQ(srcX(dst.Pixel(0, 0)), 2);
    EXPECT_EQ(srcY(dst.Pixel(0, 0)), 1);
    EXPECT_EQ(dst.Pixel(2, 0), 0u);
    dst.Clear(0);
    src.Draw(&dst, 0, 0, TRect(2, 2, 6, 6)); // reaches past the source: nothing
    src.Draw(&dst, 0, 0, TRect(-1, 0, 2, 2));
    EXPECT_EQ(dst.Pixel(0, 0), 0u);
    src.Draw(&dst, TRect(3, 3, 40, 40), TRect(0, 0, 4, 4)); // stretched past the edge
    EXPECT_EQ(srcX(dst.Pixel(3, 3)), 0);
}

TEST(SkinBitmap, TransparentAndBlendedDraws) {
    TspBitmap src, dst;
    src.SetSize(2, 1);
    src.SetPixel(0, 0, spTransparentMarker);
    src.SetPixel(1, 0, 0x00112233);
    src.SetTransparent(true);
    dst.SetSize(2, 1);
    dst.Clear(0xFF999999);
    src.Draw(&dst, 0, 0);
    EXPECT_EQ(dst.Pixel(0, 0), 0xFF999999u);
    EXPECT_EQ(dst.Pixel(1, 0), 0xFF112233u);

    src.SetPixel(0, 0, 0x80FF0000);
    src.SetAlphaBlend(true);
    dst.Clear(0xFF000000);
    src.Draw(&dst, 0, 0);
    EXPECT_EQ(dst.Pixel(0, 0), spBlendPixel(0x80FF0000, 0xFF000000));
    EXPECT_EQ(dst.Pixel(1, 0), 0xFF000000u); // alpha 0 keeps the destination
}

TEST(SkinBitmap, DrawsOntoDeviceContexts) {
    TspBitmap src, dst;
    numbered(src, 2, 2);
    dst.SetSize(6, 6);
    dst.Clear(0);
    // A registered bitmap's device context: drawn straight in, window origin applied.
    SetWindowOrgEx(dst.DC(), -1, -1, nullptr);
    src.Draw(dst.DC(), 2, 2);
    SetWindowOrgEx(dst.DC(), 0, 0, nullptr);
    EXPECT_EQ(srcX(dst.Pixel(3, 3)), 0);
    EXPECT_EQ(dst.Pixel(2, 2), 0u);

    // A class-library bitmap: blended through a temporary copy.
    TBitmap bmp;
    bmp.SetPixelFormat(pf24bit);
    bmp.SetSize(2, 1);
    bmp.Canvas()->Brush()->SetColor(clBlack);
    bmp.Canvas()->FillRect(TRect(0, 0, 2, 1));
    TspBitmap half;
    half.SetSize(1, 1);
    half.SetPixel(0, 0, 0x80FF0000);
    half.SetAlphaBlend(true);
    half.Draw(bmp.Canvas(), 1, 0);
    EXPECT_EQ(COLORREF(bmp.Canvas()->Pixels(1, 0)), RGB(0x7F, 0, 0));
    EXPECT_EQ(COLORREF(bmp.Canvas()->Pixels(0, 0)), RGB(0, 0, 0));
}

TEST(SkinBitmap, TilesRepeatAndClip) {
    TspBitmap src, dst;
    numbered(src, 3, 2);
    dst.SetSize(8, 5);
    dst.Clear(0);
    src.Tile(&dst, TRect(1, 0, 8, 5), TRect(0, 0, 3, 2));
    for (int y = 0; y < 5; ++y)
        for (int x = 1; x < 8; ++x) {
            EXPECT_EQ(srcX(dst.Pixel(x, y)), (x - 1) % 3) << x << "," << y;
            EXPECT_EQ(srcY(dst.Pixel(x, y)), y % 2) << x << "," << y;
        }
    EXPECT_EQ(dst.Pixel(0, 0), 0u);
    dst.Clear(0);
    src.TileClip(&dst, TRect(0, 0, 8, 5), TRect(4, 3, 5, 4), TRect(0, 0, 3, 2));
    EXPECT_EQ(dst.Pixel(0, 0), 0u);
    EXPECT_NE(dst.Pixel(3, 2), 0u); // the tile at (3, 2) meets the clip
    EXPECT_EQ(dst.Pixel(6, 2), 0u);

    // A 32-bit class-library bitmap gets the tiles written into its rows.
    TBitmap bmp;
    bmp.SetPixelFormat(pf32bit);
    bmp.SetSize(4, 3);
    src.Tile(bmp.Canvas(), TRect(0, 0, 4, 3), TRect(0, 0, 3, 2));
    auto* row2 = reinterpret_cast<TspColor*>(bmp.ScanLine(2));
    EXPECT_EQ(srcX(row2[3]), 0);
    EXPECT_EQ(srcY(row2[3]), 0);
    auto* row1 = reinterpret_cast<TspColor*>(bmp.ScanLine(1));
    EXPECT_EQ(srcY(row1[1]), 1);
}

TEST(SkinBitmap, MergeDrawPutsTheImageBehind) {
    TspBitmap own, back;
    own.SetSize(3, 2);
    own.Clear(0xFF111111);
    own.SetPixel(0, 0, 0x00000000);
    own.SetPixel(1, 0, 0x80FF0000);
    back.SetSize(4, 4);
    back.Clear(0xFF0000FF);
    own.MergeDraw(&back, 0, 0, TRect(0, 0, 3, 1));
    EXPECT_EQ(own.Pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(own.Pixel(1, 0), spBlendPixel(0x80FF0000, 0xFF0000FF));
    EXPECT_EQ(own.Pixel(2, 0), 0xFF111111u);
    // Pixels left of the image do not wrap onto the row above.
    TspBitmap edge;
    edge.SetSize(3, 2);
    edge.Clear(0);
    edge.MergeDraw(&back, -1, 1, TRect(0, 0, 2, 1));
    EXPECT_EQ(edge.Pixel(2, 0), 0u);
    EXPECT_EQ(edge.Pixel(0, 1), 0xFF0000FFu);
}

TEST(SkinBitmap, AssignFromBitmapsAndGraphics) {
    TBitmap bmp;
    bmp.SetPixelFormat(pf24bit);
    bmp.SetSize(2, 2);
    bmp.Canvas()->Brush()->SetColor(TColor(RGB(10, 20, 30)));
    bmp.Canvas()->FillRect(TRect(0, 0, 2, 2));
    TspBitmap b;
    b.Assign(&bmp);
    EXPECT_EQ(b.Pixel(1, 1), 0xFF0A141Eu);

    TBitmap b32;
    b32.SetPixelFormat(pf32bit);
    b32.SetSize(1, 1);
    reinterpret_cast<TspColor*>(b32.ScanLine(0))[0] = 0x40102030;
    b.Assign(&b32);
    EXPECT_EQ(b.Pixel(0, 0), 0x40102030u);
    EXPECT_TRUE(b.AlphaBlend());

    TspBitmap copy;
    b.SetName("glow");
    copy.Assign(&b);
    EXPECT_EQ(copy.Name(), "glow");
    EXPECT_TRUE(copy.AlphaBlend());

    TBitmap out;
    copy.SetAlphaBlend(false);
    copy.AssignTo(&out);
    EXPECT_EQ(out.PixelFormat(), pf32bit);
    EXPECT_EQ(COLORREF(out.Canvas()->Pixels(0, 0)), RGB(0x10, 0x20, 0x30));
    TStringList notAGraphic;
    EXPECT_THROW(b.Assign(&notAGraphic), Exception);
}
