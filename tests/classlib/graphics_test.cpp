#include <gtest/gtest.h>

#include "classlib/graphics.h"
#include "classlib/imglist.h"
#include "classlib/streams.h"
#include "support/tempdir.h"

namespace {

std::string fixture(const char* name) {
    return std::string(LANTROVE_FIXTURES_DIR) + "/gdi/" + name;
}

void paint(TBitmap& b) {
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            b.Canvas()->SetPixel(x, y, TColor(RGB(x * 40, y * 60, 200)));
}

} // namespace

TEST(Graphics, ColoursResolveSystemColours) {
    EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
    EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(MulDiv(7, 3, 2), 11);
    EXPECT_EQ(MulDiv(-7, 3, 2), -11);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    TFont f;
    f.SetSize(8);
    EXPECT_EQ(f.Height(), -11);
}

TEST(Graphics, BitmapScanLinesAreTopDownOverBottomUpStorage) {
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(3, 2);
    EXPECT_EQ(COLORREF(b.Canvas()->Pixels(2, 1)), RGB(255, 255, 255)); // new pixels are white
    b.Canvas()->SetPixel(1, 0, clBlue);
    EXPECT_EQ(b.ScanLine(0)[3], 255);
    EXPECT_EQ(b.ScanLine(0)[5], 0);
    EXPECT_THROW(b.ScanLine(2), EInvalidGraphic);
    b.SetSize(4, 4); // keeps what fits
    EXPECT_EQ(COLORREF(b.Canvas()->Pixels(1, 0)), RGB(0, 0, 255));
    b.SetTransparent(true);
    EXPECT_EQ(COLORREF(b.TransparentColor()), RGB(255, 255, 255));
}

TEST(Graphics, BmpRoundTripAndDamagedFiles) {
    for (TPixelFormat pf : {pf24bit, pf32bit}) {
        TBitmap b;
        b.SetPixelFormat(pf);
        b.SetSize(5, 3);
        paint(b);
        TMemoryStream s;
        b.SaveToStream(&s);
        s.SetPosition(0);
        TBitmap back;
        back.LoadFromStream(&s);
        ASSERT_EQ(back.Width(), 5);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(back.Canvas()->Pixels(x, y), b.Canvas()->Pixels(x, y));
        // Cut short: the pixel data no longer fits.
        std::string bytes(static_cast<const char*>(s.Memory()), size_t(s.Size()) - 4);
        TStringStream cut(bytes);
        TBitmap bad;
        EXPECT_THROW(bad.LoadFromStream(&cut), EInvalidGraphic);
    }
    TStringStream junk("BM not really a bitmap at all, just words and more words....");
    TBitmap bad;
    EXPECT_THROW(bad.LoadFromStream(&junk), EInvalidGraphic);
}

TEST(Graphics, PngKeepsAlphaAndTransparentColours) {
    TPngImage png;
    png.CreateBlank(COLOR_RGBALPHA, 2, 2);
    png.Scanline(1)[3 + 2] = 200;
    png.AlphaScanline(1)[1] = 77;
    TMemoryStream s;
    png.SaveToStream(&s);
    s.SetPosition(0);
    TPngImage back;
    back.LoadFromStream(&s);
    EXPECT_EQ(back.Header().ColorType, COLOR_RGBALPHA);
    EXPECT_EQ(back.TransparencyMode(), ptmPartial);
    EXPECT_EQ(back.AlphaScanline(1)[1], 77);
    EXPECT_EQ(back.Scanline(1)[5], 200);

    TPngImage pal;
    pal.LoadFromFile(fixture("palette_trns.png"));
    EXPECT_EQ(pal.Width(), 4);
    EXPECT_EQ(pal.TransparencyMode(), ptmBit);
    EXPECT_EQ(COLORREF(pal.TransparentColor()), RGB(255, 0, 255));
    TPngImage grey;
    grey.LoadFromFile(fixture("grey_trns.png"));
    EXPECT_EQ(grey.Header().ColorType, COLOR_GRAYSCALE);
    EXPECT_EQ(COLORREF(grey.TransparentColor()), RGB(0, 0, 0));

    // Drawn: transparent entries leave the canvas alone.
    TBitmap target;
    target.SetPixelFormat(pf24bit);
    target.SetSize(4, 1);
    target.Canvas()->Brush()->SetColor(clLime);
    target.Canvas()->FillRect(TRect(0, 0, 4, 1));
    target.Canvas()->Draw(0, 0, &pal);
    EXPECT_EQ(COLORREF(target.Canvas()->Pixels(0, 0)), RGB(255, 0, 0));
    EXPECT_EQ(COLORREF(target.Canvas()->Pixels(3, 0)), RGB(0, 255, 0));

    TStringStream junk("\x89PNG\r\n\x1a\nnot a picture");
    TPngImage bad;
    EXPECT_THROW(bad.LoadFromStream(&junk), EInvalidGraphic);
}

TEST(Graphics, JpegAndPictureFiles) {
    TempDir dir;
    TJPEGImage jpeg;
    jpeg.Bitmap()->SetPixelFormat(pf24bit);
    jpeg.Bitmap()->SetSize(16, 8);
    jpeg.Bitmap()->Canvas()->Brush()->SetColor(TColor(RGB(200, 40, 40)));
    jpeg.Bitmap()->Canvas()->FillRect(TRect(0, 0, 16, 8));
    jpeg.SaveToFile(dir.file("a.jpg"));
    TPicture pic;
    pic.LoadFromFile(dir.file("a.jpg"));
    ASSERT_NE(dynamic_cast<TJPEGImage*>(pic.Graphic()), nullptr);
    EXPECT_EQ(pic.Width(), 16);
    TBitmap b;
    b.Assign(pic.Graphic());
    COLORREF c = COLORREF(b.Canvas()->Pixels(8, 4));
    EXPECT_NEAR(GetRValue(c), 200, 6);
    EXPECT_NEAR(GetGValue(c), 40, 6);
    dir.write("broken.jpg", "\xFF\xD8\xFF\xE0 broken");
    EXPECT_THROW(pic.LoadFromFile(dir.file("broken.jpg")), EInvalidGraphic);
    EXPECT_THROW(pic.LoadFromFile(dir.file("a.gif")), EInvalidGraphic);
}

TEST(Graphics, CanvasTextUsesTheFont) {
    TBitmap b;
    b.SetSize(100, 30);
    TCanvas* c = b.Canvas();
    c->Font()->SetName("DejaVu Sans");
    c->Font()->SetHeight(-12);
    int normal = c->TextWidth("Sample");
    c->Font()->SetStyle(fsBold);
    EXPECT_GT(c->TextWidth("Sample"), normal);
    c->Font()->SetColor(clRed);
    c->Brush()->SetStyle(bsClear);
    c->TextOut(2, 2, "Sample");
    bool red = false;
    for (int y = 0; y < 30 && !red; ++y)
        for (int x = 0; x < 100; ++x)
            if (GetRValue(COLORREF(c->Pixels(x, y))) == 255 &&
                GetGValue(COLORREF(c->Pixels(x, y))) == 0)
                red = true;
    EXPECT_TRUE(red);
}

TEST(Graphics, ImageListMasksAndDeletes) {
    TImageList list(nullptr);
    list.SetWidth(2);
    list.SetHeight(1);
    TBitmap strip;
    strip.SetPixelFormat(pf24bit);
    strip.SetSize(4, 1);
    strip.Canvas()->SetPixel(0, 0, clRed);
    strip.Canvas()->SetPixel(1, 0, clFuchsia);
    strip.Canvas()->SetPixel(2, 0, clBlue);
    strip.Canvas()->SetPixel(3, 0, clBlue);
    EXPECT_EQ(list.AddMasked(&strip, clFuchsia), 0);
    EXPECT_EQ(list.Count(), 2);
    TBitmap target;
    target.SetSize(2, 1);
    target.Canvas()->Brush()->SetColor(clLime);
    target.Canvas()->FillRect(TRect(0, 0, 2, 1));
    list.Draw(target.Canvas(), 0, 0, 0);
    EXPECT_EQ(COLORREF(target.Canvas()->Pixels(0, 0)), RGB(255, 0, 0));
    EXPECT_EQ(COLORREF(target.Canvas()->Pixels(1, 0)), RGB(0, 255, 0));
    list.Delete(0);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_THROW(list.Delete(5), EInvalidOperation);
}
