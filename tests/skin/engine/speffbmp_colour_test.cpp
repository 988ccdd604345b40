#include "skin/engine/speffbmp.h"

#include "classlib/streams.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

TspColor rgba(int r, int g, int b, int a = 255) {
    return TspColor(a) << 24 | TspColor(r) << 16 | TspColor(g) << 8 | TspColor(b);
}

std::unique_ptr<TspBitmap> onePixel(TspColor c) {
    auto b = std::make_unique<TspBitmap>();
    b->SetSize(1, 1);
    b->SetPixel(0, 0, c);
    return b;
}

TEST(SkinBitmapColours, ColourOperationsKeepAlphaAndStayInRange) {
    struct Case {
        const char* What;
        TspColor In;
        std::function<void(TspBitmap&)> Op;
        TspColor Out;
    };
    const Case cases[] = {
        {"brightness clamps high", rgba(250, 10, 128, 200),
         [](TspBitmap& b) { b.ChangeBitmapBrightness(10); }, rgba(255, 20, 138, 200)},
        {"brightness clamps low", rgba(250, 10, 128),
         [](TspBitmap& b) { b.ChangeBitmapBrightness(-20); }, rgba(230, 0, 108)},
        {"invisible pixels stay", rgba(1, 2, 3, 0),
         [](TspBitmap& b) { b.ChangeBitmapBrightness(50); }, rgba(1, 2, 3, 0)},
        {"hue goes round past 255", rgba(255, 0, 30), [](TspBitmap& b) { b.ChangeBitmapHue(10); },
         rgba(255, 30, 0)},
        {"hue set", rgba(255, 0, 0, 99), [](TspBitmap& b) { b.SetBitmapHue(85); },
         rgba(0, 255, 0, 99)},
        {"hue above 255 is clamped", rgba(0, 255, 0), [](TspBitmap& b) { b.SetBitmapHue(900); },
         rgba(255, 0, 0)},
        {"saturation stops at grey", rgba(133, 122, 122),
         [](TspBitmap& b) { b.ChangeBitmapSat(-20); }, rgba(128, 128, 128)},
        {"saturation stops at full colour", rgba(200, 50, 50),
         [](TspBitmap& b) { b.ChangeBitmapSat(255); }, rgba(250, 0, 0)},
    };
    for (const Case& c : cases) {
        auto b = onePixel(c.In);
        c.Op(*b);
        EXPECT_EQ(b->Pixel(0, 0), c.Out) << c.What;
    }
    TspBitmap empty;
    empty.ChangeBitmapSat(5); // nothing to change, nothing to fail
    EXPECT_TRUE(empty.Empty());
}

TEST(SkinBitmapColours, ReflectionsFlipAndFadeTheAlpha) {
    TspBitmap b;
    b.SetSize(1, 4);
    for (int y = 0; y < 4; ++y)
        b.SetPixel(0, y, rgba(y, 0, 0));
    b.Reflection2();
    const int alphas[] = {63, 32, 0, 0};
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(int(b.Pixel(0, y) >> 24), alphas[y]) << y;
        EXPECT_EQ(int((b.Pixel(0, y) >> 16) & 0xFF), 3 - y);
    }
}

TEST(SkinBitmapColours, StreamFormRoundTripsAndRefusesShortData) {
    TspBitmap b;
    b.SetSize(2, 3);
    b.SetName("pic");
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x)
            b.SetPixel(x, y, rgba(x, y, 7, 200));
    TStringStream s;
    b.SaveToStream(&s);
    s.SetPosition(0);
    TspBitmap back;
    back.LoadFromStream(&s);
    EXPECT_EQ(back.Name(), "pic");
    ASSERT_EQ(back.Width(), 2);
    EXPECT_EQ(back.Pixel(1, 2), rgba(1, 2, 7, 200));

    // Rows stored bottom first when the height is negative.
    std::string bytes = s.DataString();
    bytes.replace(4 + 6 + 4, 4, std::string("\xFD\xFF\xFF\xFF", 4));
    TStringStream flipped(bytes);
    back.LoadFromStream(&flipped);
    EXPECT_EQ(back.Pixel(1, 0), rgba(1, 2, 7, 200));

    for (const std::string& bad :
         {bytes.substr(0, bytes.size() - 1),
          bytes.substr(0, 10) + std::string("\xFF\xFF\xFF\x7F", 4) + bytes.substr(14)}) {
        TStringStream d(bad);
        EXPECT_THROW(back.LoadFromStream(&d), EReadError);
        EXPECT_EQ(back.Pixel(1, 0), rgba(1, 2, 7, 200));
    }
}

std::string pcx(int version, int encoding, int w, int h, const std::string& data,
                const std::string& tail) {
    std::string hdr(128, '\0');
    hdr[0] = 10, hdr[1] = char(version), hdr[2] = char(encoding), hdr[3] = 8;
    hdr[8] = char(w - 1), hdr[10] = char(h - 1);
    hdr[65] = 1, hdr[66] = char(w);
    return hdr + data + tail;
}

TEST(SkinBitmapColours, PcxPicturesDecodeRunsAndPalettes) {
    std::string palette(768, '\0');
    palette[3 * 1] = char(200), palette[3 * 2 + 1] = char(100), palette[3 * 3 + 2] = char(50);
    // Row 0: 1, then a run of three 2s; row 1: four 3s (run cut at the end).
    std::string data = std::string("\x01\xC3\x02\xC9\x03", 5);
    TspBitmap b;
    TStringStream s(pcx(5, 1, 4, 2, data, std::string("\x0C", 1) + palette));
    b.LoadFromPcxStream(&s);
    ASSERT_EQ(b.Width(), 4);
    ASSERT_EQ(b.Height(), 2);
    EXPECT_EQ(b.Pixel(0, 0), rgba(200, 0, 0));
    EXPECT_EQ(b.Pixel(3, 0), rgba(0, 100, 0));
    EXPECT_EQ(b.Pixel(3, 1), rgba(0, 0, 50));

    TStringStream sixteen(pcx(3, 0, 2, 1, std::string("\x0C\x0F", 2), ""));
    b.LoadFromPcxStream(&sixteen);
    EXPECT_EQ(b.Pixel(0, 0), rgba(0, 0, 255));
    EXPECT_EQ(b.Pixel(1, 0), rgba(255, 255, 255));

    TStringStream other("\x05 not a pcx file");
    b.LoadFromPcxStream(&other);
    EXPECT_EQ(b.Width(), 2);
    // A window far larger than the data can fill, and a cut header.
    TStringStream huge(pcx(3, 1, 250, 250, "\x01", ""));
    EXPECT_THROW(b.LoadFromPcxStream(&huge), EReadError);
    TStringStream cut(std::string("\x0A\x05\x01", 3));
    EXPECT_THROW(b.LoadFromPcxStream(&cut), EReadError);
}

TEST(SkinBitmapColours, LinksDrawStoreAndFindTransparentZones) {
    TspBitmap img;
    img.SetSize(6, 6);
    img.Clear(rgba(10, 20, 30));
    img.SetName("img");
    auto link = img.GetBitmapLink(std::string("1 1 5 5"));
    EXPECT_EQ(link->Rect(), TRect(1, 1, 5, 5));
    EXPECT_EQ(link->Name(), "img");

    TspBitmap dst;
    dst.SetSize(4, 4);
    dst.Clear(rgba(0, 0, 0));
    auto none = img.GetBitmapLink(TRect(2, 2, 2, 5));
    none->Draw(&dst, 0, 0);
    EXPECT_EQ(dst.Pixel(0, 0), rgba(0, 0, 0));
    link->Draw(&dst, 0, 0);
    EXPECT_EQ(dst.Pixel(3, 3), rgba(10, 20, 30));

    link->CheckingMasked();
    EXPECT_FALSE(link->Masked());
    img.SetPixel(1, 1, spTransparentMarker); // the link's top-left corner
    link->CheckingMasked(TRect(1, 1, 1, 1));
    EXPECT_TRUE(link->MaskedAngles());
    EXPECT_FALSE(link->MaskedBorder());
    EXPECT_FALSE(link->Masked());
    img.SetPixel(3, 3, rgba(1, 1, 1, 100)); // inside
    link->CheckingMasked(TRect(1, 1, 1, 1));
    EXPECT_TRUE(link->Masked());

    TStringStream s;
    link->SaveToStream(&s);
    s.SetPosition(0);
    TspBitmapLink back;
    back.LoadFromStream(&s);
    EXPECT_EQ(back.Rect(), TRect(1, 1, 5, 5));
    EXPECT_EQ(back.Name(), "img");
}

TEST(SkinBitmapColours, ZeroSizeTilesDrawNothing) {
    TspBitmap src, dst;
    src.SetSize(2, 2);
    dst.SetSize(4, 4);
    dst.Clear(rgba(9, 9, 9));
    src.Tile(&dst, TRect(0, 0, 4, 4), TRect(0, 0, 0, 2));
    src.Tile(&dst, TRect(0, 0, 4, 4), TRect(1, 1, 1, 1));
    EXPECT_EQ(dst.Pixel(3, 3), rgba(9, 9, 9));
}

} // namespace
