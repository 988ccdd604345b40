#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "classlib/sysutils.h"
#include "skin/engine/speffbmp.h"

namespace {

using Pixels = std::vector<uint32_t>; // 0x00RRGGBB, row by row

std::unique_ptr<TspEffectBmp> picture(int w, int h, const Pixels& px) {
    auto b = std::make_unique<TspEffectBmp>(w, h);
    for (int i = 0; i < int(px.size()); ++i)
        b->SetPixel(i % w, i / w, px[size_t(i)]);
    return b;
}

Pixels pixelsOf(const TspEffectBmp& b) {
    Pixels out;
    for (int y = 0; y < b.Height; ++y)
        for (int x = 0; x < b.Width; ++x)
            out.push_back(b.Pixel(x, y));
    return out;
}

uint32_t gray(int v) {
    return uint32_t(v) * 0x010101u;
}

Pixels grays(std::initializer_list<int> vs) {
    Pixels p;
    for (int v : vs)
        p.push_back(gray(v));
    return p;
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

TEST(EffectBitmap, HoldsTopDownRowsAlignedToFourBytes) {
    TspEffectBmp b(5, 2);
    ASSERT_NE(b.Bits, nullptr);
    EXPECT_EQ(b.Stride(), 16);
    EXPECT_EQ(b.Size, 32);
    EXPECT_EQ(b.BmpHeader.biHeight, -2);
    EXPECT_EQ(b.BmpHeader.biBitCount, 24);
    b.SetPixel(1, 1, 0x123456);
    EXPECT_EQ(b.Bits[16 + 3], 0x56); // blue first
    EXPECT_EQ(b.Bits[16 + 5], 0x12);
    uint8_t line[15] = {};
    b.GetScanLine(1, line);
    EXPECT_EQ(line[4], 0x34);

    auto copy = TspEffectBmp::CreateCopy(b);
    EXPECT_EQ(pixelsOf(*copy), pixelsOf(b));

    // A bitmap of the class library read through its handle.
    TBitmap src(3, 2);
    src.Canvas()->SetPixel(2, 1, TColor(0x0000FF));
    auto fromHandle = TspEffectBmp::CreateFromhWnd(src.Handle());
    ASSERT_EQ(fromHandle->Width, 3);
    EXPECT_EQ(fromHandle->Pixel(2, 1), 0xFF0000u);
}

TEST(EffectBitmap, DrawsWholeStretchedAndPartsOntoDeviceContexts) {
    auto b = picture(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
    TBitmap dst(6, 4);
    HDC dc = dst.Canvas()->Handle();
    b->Draw(dc, 1, 1);
    EXPECT_EQ(ColorToRGB(dst.Canvas()->Pixels(2, 1)), RGB(0, 255, 0));
    EXPECT_EQ(ColorToRGB(dst.Canvas()->Pixels(1, 2)), RGB(0, 0, 255));
    b->Stretch(dc, 2, 0, 4, 4);
    EXPECT_EQ(ColorToRGB(dst.Canvas()->Pixels(5, 3)), RGB(255, 255, 255));
    EXPECT_EQ(ColorToRGB(dst.Canvas()->Pixels(2, 0)), RGB(255, 0, 0));
    b->DrawRect(dc, 0, 0, 1, 1, 1, 1);
    EXPECT_EQ(ColorToRGB(dst.Canvas()->Pixels(0, 0)), RGB(255, 255, 255));
}

// Own 0, 1, 2, 3 against other 0x10, 0x20, 0x30, 0x40 (grey levels), or a
// black picture against grey 200 for the blends.
struct TransitionCase {
    const char* name;
    std::function<void(TspEffectBmp&, TspEffectBmp&)> run;
    int w, h;
    Pixels own, other, expected;
};

TEST(EffectBitmap, TransitionsGiveTheExpectedPixels) {
    const Pixels num = grays({1, 2, 3, 4}), oth = grays({0x10, 0x20, 0x30, 0x40});
    auto black = [](int n) { return Pixels(size_t(n), 0); };
    auto g200 = [](int n) { return Pixels(size_t(n), gray(200)); };
    const std::vector<TransitionCase> cases = {
        {"morph half rounds 127.5 to 128",
         [](auto& a, auto& b) { a.Morph(&b, 0.5); },
         1,
         1,
         {0x000000},
         {0xFFFFFF},
         {0x808080}},
        {"morph half rounds halves to even",
         [](auto& a, auto& b) { a.Morph(&b, 0.5); },
         2,
         1,
         {0x000000, 0x000000},
         {0x010101, 0x030303},
         {0x000000, 0x020202}},
        {"morph quarter", [](auto& a, auto& b) { a.Morph(&b, 0.25); }, 1, 1, grays({100}),
         grays({200}), grays({125})},
        {"morph 0 keeps own", [](auto& a, auto& b) { a.Morph(&b, 0); }, 4, 1, num, oth, num},
        {"morph 1 gives other", [](auto& a, auto& b) { a.Morph(&b, 1); }, 4, 1, num, oth, oth},
        {"morph -1 acts as 0", [](auto& a, auto& b) { a.Morph(&b, -1); }, 4, 1, num, oth, num},
        {"morph 2 acts as 1", [](auto& a, auto& b) { a.Morph(&b, 2); }, 4, 1, num, oth, oth},
        {"morph NaN acts as 0", [](auto& a, auto& b) { a.Morph(&b, kNaN); }, 4, 1, num, oth, num},
        {"left slide 0 still replaces column 0", [](auto& a, auto& b) { a.MorphLeftSlide(&b, 0); },
         4, 1, num, oth, grays({0x40, 2, 3, 4})},
        {"left slide 1 replaces all but one column",
         [](auto& a, auto& b) { a.MorphLeftSlide(&b, 1); }, 4, 1, num, oth,
         grays({0x20, 0x30, 0x40, 4})},
        {"right slide half", [](auto& a, auto& b) { a.MorphRightSlide(&b, 0.5); }, 4, 1, num, oth,
         grays({1, 2, 0x10, 0x20})},
        {"push 0 shifts by one and shows other's last column",
         [](auto& a, auto& b) { a.MorphPush(&b, 0); }, 4, 1, num, oth, grays({0x40, 1, 2, 3})},
        {"push half", [](auto& a, auto& b) { a.MorphPush(&b, 0.5); }, 4, 1, num, oth,
         grays({0x20, 0x30, 0x40, 1})},
        {"left gradient", [](auto& a, auto& b) { a.MorphLeftGrad(&b, 0.5); }, 4, 1, black(4),
         g200(4), grays({200, 100, 0, 0})},
        {"right gradient", [](auto& a, auto& b) { a.MorphRightGrad(&b, 0.5); }, 4, 1, black(4),
         g200(4), grays({0, 0, 100, 200})},
        {"right gradient 0 changes the last column",
         [](auto& a, auto& b) { a.MorphRightGrad(&b, 0); }, 4, 1, black(4), g200(4),
         grays({0, 0, 0, 200})},
        {"horizontal gradient band and fading sides",
         [](auto& a, auto& b) { a.MorphHGrad(&b, 0.25); }, 8, 1, black(8), g200(8),
         grays({0, 67, 133, 200, 200, 200, 133, 67})},
        {"horizontal gradient near 1 keeps an own column",
         [](auto& a, auto& b) { a.MorphHGrad(&b, 0.9); }, 10, 1, black(10), g200(10),
         grays({0, 200, 200, 200, 200, 200, 200, 200, 200, 200})},
        {"vertical gradient band and fading sides",
         [](auto& a, auto& b) { a.MorphVGrad(&b, 0.25); }, 1, 8, black(8), g200(8),
         grays({0, 0, 100, 200, 200, 200, 100, 0})},
        {"vertical gradient near 1 is all other", [](auto& a, auto& b) { a.MorphVGrad(&b, 0.9); },
         1, 10, black(10), g200(10), g200(10)},
        {"gradient of a tall picture runs vertically",
         [](auto& a, auto& b) { a.MorphGrad(&b, 0.25); }, 1, 8, black(8), g200(8),
         grays({0, 0, 100, 200, 200, 200, 100, 0})},
        {"gradient of a wide picture runs horizontally",
         [](auto& a, auto& b) { a.MorphGrad(&b, 0.25); }, 8, 1, black(8), g200(8),
         grays({0, 67, 133, 200, 200, 200, 133, 67})},
        {"morph rect blends against other's area",
         [](auto& a, auto& b) { a.MorphRect(&b, 1, TRect(1, 0, 3, 1), 2, 0); }, 4, 1, num, oth,
         grays({1, 0x30, 0x40, 4})},
        {"morph rect half", [](auto& a, auto& b) { a.MorphRect(&b, 0.5, TRect(1, 0, 3, 1), 0, 0); },
         4, 1, black(4), g200(4), grays({0, 100, 100, 0})},
        {"morph rect past both pictures stays inside",
         [](auto& a, auto& b) { a.MorphRect(&b, 1, TRect(-5, -5, 50, 50), 2, 5); }, 4, 1, num, oth,
         num},
        {"copy rect includes its right edge, limited to the picture",
         [](auto& a, auto& b) { a.CopyRect(&b, TRect(1, 0, 10, 10), 0, 0); }, 4, 1, num, oth,
         grays({1, 0x10, 0x20, 0x30})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto own = picture(c.w, c.h, c.own), other = picture(c.w, c.h, c.other);
        c.run(*own, *other);
        EXPECT_EQ(pixelsOf(*own), c.expected);
        EXPECT_EQ(pixelsOf(*other), c.other); // the other picture is only read
    }
}

// Every pair of own and other channel values at progresses that give exact
// halves, thirds and the frames of a transition: each channel is the nearest
// whole value of own * (1 - Kf) + other * Kf, halves going to even.
TEST(EffectBitmap, MorphWeighsEveryPairOfValues) {
    Pixels own, other;
    for (int o = 0; o < 256; ++o)
        for (int t = 0; t < 256; ++t) {
            own.push_back(uint32_t(o) << 16 | uint32_t(t) << 8 | uint32_t(o));
            other.push_back(uint32_t(t) << 16 | uint32_t(o) << 8 | uint32_t(t));
        }
    std::vector<double> progresses = {0.5, 0.25, 1.0 / 3, 2.0 / 3, 0.1, 0.7, 1e-9, 1 - 1e-9};
    for (int i = 1; i <= 20; ++i)
        progresses.push_back(double(i) / 21);
    for (double kf : progresses) {
        SCOPED_TRACE(kf);
        auto a = picture(256, 256, own), b = picture(256, 256, other);
        a->Morph(b.get(), kf);
        const Pixels got = pixelsOf(*a);
        auto expect = [&](int o, int t) { return int(std::nearbyint((1 - kf) * o + kf * t)); };
        int wrong = 0;
        for (size_t i = 0; i < got.size() && wrong < 5; ++i) {
            const int o = int(own[i] & 0xFF), t = int(other[i] & 0xFF);
            const uint32_t want =
                uint32_t(expect(o, t)) << 16 | uint32_t(expect(t, o)) << 8 | uint32_t(expect(o, t));
            if (got[i] != want) {
                ++wrong;
                ADD_FAILURE() << "own " << o << " other " << t << ": " << std::hex << got[i]
                              << " instead of " << want;
            }
        }
    }
}

TEST(EffectBitmap, TransitionsOfDifferentSizesOrEmptyPicturesChangeNothing) {
    const std::vector<std::function<void(TspEffectBmp&, TspEffectBmp*)>> all = {
        [](auto& a, auto* b) { a.Morph(b, 0.5); },
        [](auto& a, auto* b) { a.MorphHGrad(b, 0.5); },
        [](auto& a, auto* b) { a.MorphVGrad(b, 0.5); },
        [](auto& a, auto* b) { a.MorphGrad(b, 0.5); },
        [](auto& a, auto* b) { a.MorphLeftGrad(b, 0.5); },
        [](auto& a, auto* b) { a.MorphRightGrad(b, 0.5); },
        [](auto& a, auto* b) { a.MorphPush(b, 0.5); },
        [](auto& a, auto* b) { a.MorphLeftSlide(b, 0.5); },
        [](auto& a, auto* b) { a.MorphRightSlide(b, 0.5); },
        [](auto& a, auto* b) { a.MorphRect(b, 0.5, TRect(0, 0, 9, 9), 0, 0); },
        [](auto& a, auto* b) { a.CopyRect(b, TRect(0, 0, 9, 9), 0, 0); },
    };
    const Pixels own = grays({1, 2, 3, 4});
    for (size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(i);
        auto a = picture(4, 1, own), wider = picture(5, 1, grays({9, 9, 9, 9, 9}));
        TspEffectBmp empty(0, 0);
        if (i < 9) {
            all[i](*a, wider.get());
            EXPECT_EQ(pixelsOf(*a), own);
        }
        all[i](*a, &empty);
        all[i](*a, nullptr);
        EXPECT_EQ(pixelsOf(*a), own);
        all[i](empty, a.get());
        EXPECT_EQ(empty.Bits, nullptr);
    }
    // Progress values far outside 0..1 stay inside the picture.
    for (double kf : {-1e12, -3.0, 3.0, 1e12, kNaN}) {
        auto a = picture(4, 3, Pixels(12, 0)), b = picture(4, 3, Pixels(12, gray(200)));
        a->MorphHGrad(b.get(), kf);
        a->MorphVGrad(b.get(), kf);
        a->MorphLeftGrad(b.get(), kf);
        a->MorphRightGrad(b.get(), kf);
        a->MorphPush(b.get(), kf);
        a->MorphLeftSlide(b.get(), kf);
        a->MorphRightSlide(b.get(), kf);
    }
    // One-pixel pictures.
    auto one = picture(1, 1, {gray(10)}), two = picture(1, 1, {gray(30)});
    one->MorphLeftSlide(two.get(), 0.5);
    EXPECT_EQ(one->Pixel(0, 0), gray(10));
    one->MorphLeftGrad(two.get(), 0.5);
    EXPECT_EQ(one->Pixel(0, 0), gray(30));
    one->MorphPush(two.get(), 0.5);
    EXPECT_EQ(one->Pixel(0, 0), gray(30));
}

struct FilterCase {
    const char* name;
    std::function<void(TspEffectBmp&)> run;
    int w, h;
    Pixels in, expected;
};

uint32_t id(int x, int y) {
    return uint32_t(x + 1) << 16 | uint32_t(y + 1) << 8;
}

Pixels ids(int w, int h, std::initializer_list<std::pair<int, int>> at) {
    Pixels p;
    for (auto [x, y] : at)
        p.push_back(id(x, y));
    (void)w, (void)h;
    return p;
}

TEST(EffectBitmap, FiltersGiveTheExpectedPixels) {
    const Pixels pair = {0x000000, 0x64C8FF};
    const Pixels num3x3 =
        ids(3, 3, {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}, {0, 2}, {1, 2}, {2, 2}});
    const std::vector<FilterCase> cases = {
        {"brightness half",
         [](auto& b) { b.ChangeBrightness(0.5); },
         2,
         1,
         pair,
         {0x808080, 0xB2E4FF}},
        {"brightness above 1 acts as 1",
         [](auto& b) { b.ChangeBrightness(7); },
         2,
         1,
         pair,
         {0xFFFFFF, 0xFFFFFF}},
        {"darkness half", [](auto& b) { b.ChangeDarkness(0.5); }, 2, 1, pair, {0x000000, 0x326480}},
        {"darkness below 0 acts as 0", [](auto& b) { b.ChangeDarkness(-1); }, 2, 1, pair, pair},
        {"invert", [](auto& b) { b.Invert(); }, 2, 1, pair, {0xFFFFFF, 0x9B3700}},
        {"grey scale weights red, green, blue; white stays white",
         [](auto& b) { b.GrayScale(); },
         2,
         1,
         {0x6432C8, 0xFFFFFF},
         {gray(82), 0xFFFFFF}},
        {"split blur of one row averages its neighbours", [](auto& b) { b.SplitBlur(1); }, 3, 1,
         grays({0, 100, 200}), grays({50, 100, 150})},
        {"split blur reads rows above as already changed", [](auto& b) { b.SplitBlur(1); }, 2, 2,
         grays({0, 100, 200, 40}), grays({85, 85, 102, 102})},
        {"split blur larger than the picture",
         [](auto& b) { b.SplitBlur(5); },
         1,
         1,
         {0x123456},
         {0x123456}},
        {"split blur 0 changes nothing", [](auto& b) { b.SplitBlur(0); }, 3, 1,
         grays({0, 100, 200}), grays({0, 100, 200})},
        {"mosaic takes each tile's top-left pixel", [](auto& b) { b.Mosaic(2); }, 3, 3, num3x3,
         ids(3, 3, {{0, 0}, {0, 0}, {2, 0}, {0, 0}, {0, 0}, {2, 0}, {0, 2}, {0, 2}, {2, 2}})},
        {"mosaic 1 changes nothing", [](auto& b) { b.Mosaic(1); }, 3, 3, num3x3, num3x3},
        {"wave moves pixels by the sines", [](auto& b) { b.Wave(1, 1, 1); }, 3, 3, num3x3,
         ids(3, 3, {{0, 0}, {1, 1}, {2, 1}, {1, 1}, {2, 2}, {2, 2}, {1, 2}, {2, 2}, {2, 2}})},
        {"wave with XDIV 0 changes nothing", [](auto& b) { b.Wave(0, 1, 5); }, 3, 3, num3x3,
         num3x3},
        {"noise of amount 0 changes nothing", [](auto& b) { b.AddMonoNoise(0); }, 2, 1, pair, pair},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto b = picture(c.w, c.h, c.in);
        c.run(*b);
        EXPECT_EQ(pixelsOf(*b), c.expected);
    }
    // Every filter on an empty picture returns at once.
    TspEffectBmp empty(0, 3);
    empty.ChangeBrightness(0.5), empty.ChangeDarkness(0.5), empty.GrayScale(), empty.Invert();
    empty.SplitBlur(1), empty.Mosaic(3), empty.AddMonoNoise(9), empty.AddColorNoise(9);
    empty.Wave(1, 1, 1);
    EXPECT_EQ(empty.Bits, nullptr);
}

TEST(EffectBitmap, NoiseStaysWithinItsAmount) {
    SetRandSeed(7);
    auto mono = picture(64, 4, Pixels(256, gray(128)));
    mono->AddMonoNoise(20);
    bool changed = false;
    for (uint32_t p : pixelsOf(*mono)) {
        int b = int(p & 0xFF);
        EXPECT_EQ(p, gray(b)); // one number for all three channels
        EXPECT_GE(b, 128 - 10);
        EXPECT_LT(b, 128 + 10);
        changed |= b != 128;
    }
    EXPECT_TRUE(changed);

    auto colour = picture(64, 4, Pixels(256, 0xFFFFFF));
    colour->AddColorNoise(20);
    bool differs = false;
    for (uint32_t p : pixelsOf(*colour)) {
        int r = int(p >> 16), g = int((p >> 8) & 0xFF), b = int(p & 0xFF);
        EXPECT_GE(std::min({r, g, b}), 255 - 10); // clamped at the top
        differs |= r != g || g != b;
    }
    EXPECT_TRUE(differs);
}

TEST(EffectBitmap, TurnsFlipsAndEnlarges) {
    const uint32_t a = 0x0000AA, b = 0x00BB00;
    auto row = picture(2, 1, {a, b});
    TspEffectBmp column(1, 2);
    row->Rotate90_1(&column);
    EXPECT_EQ(pixelsOf(column), (Pixels{b, a})); // counter-clockwise
    row->Rotate90_2(&column);
    EXPECT_EQ(pixelsOf(column), (Pixels{a, b})); // clockwise
    TspEffectBmp flipped(1, 2);
    column.FlipVert(&flipped);
    EXPECT_EQ(pixelsOf(flipped), (Pixels{b, a}));
    TspEffectBmp wrong(3, 3);
    row->Rotate90_1(&wrong);
    row->FlipVert(&wrong);
    EXPECT_EQ(pixelsOf(wrong), Pixels(9, 0));

    TspEffectBmp big(4, 2);
    row->Resize(&big);
    EXPECT_EQ(pixelsOf(big), (Pixels{a, a, b, b, a, a, b, b}));
}

TEST(EffectBitmap, MaskFiltersChangeOnlySelectedPixels) {
    const uint32_t W = 0xFFFFFF, K = 0x000000;
    auto fill = picture(2, 1, {K, K});
    auto mask2 = picture(2, 1, {W, K});
    fill->MaskFillColor(mask2.get(), clRed, 0.5);
    EXPECT_EQ(pixelsOf(*fill), (Pixels{K, 0x800000}));

    auto blur = picture(3, 1, grays({0, 100, 200}));
    auto mask3 = picture(3, 1, {K, W, K});
    blur->MaskBlur(mask3.get(), 1);
    EXPECT_EQ(pixelsOf(*blur), grays({50, 100, 150}));

    // Only pixels beside white mask pixels are smoothed.
    auto edge = picture(3, 1, grays({0, 40, 200}));
    auto edgeMask = picture(3, 1, {K, K, W});
    edge->MaskAntialiasing(edgeMask.get(), 1);
    EXPECT_EQ(pixelsOf(*edge), grays({0, 100, 200}));

    // Masks of another width, with fewer rows, or an amount of 0 change nothing.
    auto same = picture(3, 2, grays({0, 100, 200, 0, 100, 200}));
    auto narrow = picture(2, 2, Pixels(4, K)), shortMask = picture(3, 1, Pixels(3, K));
    auto full = picture(3, 2, Pixels(6, K));
    for (TspEffectBmp* m : {narrow.get(), shortMask.get()}) {
        same->MaskBlur(m, 1);
        same->MaskAntialiasing(m, 1);
        same->MaskFillColor(m, clRed, 1);
    }
    same->MaskBlur(full.get(), 0);
    same->MaskAntialiasing(full.get(), 0);
    EXPECT_EQ(pixelsOf(*same), grays({0, 100, 200, 0, 100, 200}));
}

TEST(StackBlurTest, SpreadsByTriangleWeightsAndSetsAlpha) {
    TspBitmap b;
    b.SetSize(5, 1);
    b.Clear(0x00000000);
    b.SetPixel(2, 0, 0x00FFFFFF);
    StackBlur(&b, 0);
    EXPECT_EQ(b.Pixel(2, 0), 0x00FFFFFFu); // not even alpha
    StackBlur(&b, 1);
    const uint32_t expected[] = {0, 63, 127, 63, 0};
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(b.Pixel(x, 0), 0xFF000000u | expected[x] * 0x010101u) << x;

    TspBitmap flat;
    flat.SetSize(7, 6);
    flat.Clear(0x40336699);
    StackBlur(&flat, 4);
    EXPECT_EQ(flat.Pixel(0, 0), 0xFF336699u);
    EXPECT_EQ(flat.Pixel(6, 5), 0xFF336699u);
}

TEST(StackBlurTest, AlphaFromMaskTakesTheGreyLevel) {
    TspBitmap b, m;
    b.SetSize(2, 1);
    b.Clear(0xFF102030);
    m.SetSize(1, 1);
    m.SetPixel(0, 0, 0xFF0A141E); // (10 + 20 + 30) / 3
    SetAlphaFromMask(&b, &m);
    EXPECT_EQ(b.Pixel(0, 0), 0x14102030u);
    EXPECT_EQ(b.Pixel(1, 0), 0xFF102030u); // beyond a smaller mask nothing changes
}

namespace {

// A white canvas with black text in a pinned font.
struct TextCanvas {
    TBitmap bmp{120, 60};
    TCanvas* c = bmp.Canvas();
    TextCanvas() {
        c->Brush()->SetColor(clWhite);
        c->FillRect(TRect(0, 0, 120, 60));
        c->Font()->SetName("DejaVu Sans");
        c->Font()->SetHeight(-16);
        c->Font()->SetColor(clBlack);
    }
    COLORREF at(int x, int y) { return ColorToRGB(c->Pixels(x, y)); }
    // Pixels where blue clearly exceeds red: the effect colour shows.
    int tinted(const TRect& r) {
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                if (GetBValue(at(x, y)) > GetRValue(at(x, y)) + 20) ++n;
        return n;
    }
};

} // namespace

TEST(TextEffects, GlowAndShadowSurroundTheTextInTheirColour) {
    const TRect text(30, 20, 90, 40);
    const UINT fmt = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    struct Case {
        const char* name;
        std::function<void(TCanvas*)> draw;
        TRect glowOnly; // where only the effect can add blue
    };
    const std::vector<Case> cases = {
        {"soft shadow falls below and right",
         [&](TCanvas* c) { DrawSoftShadowText(c, text, u"Wg", 3, clBlue, 4, fmt); },
         TRect(30, 40, 95, 46)},
        {"bold glow", [&](TCanvas* c) { DrawBoldGlowText(c, text, u"Wg", 4, clBlue, 0, fmt); },
         TRect(26, 16, 94, 44)},
        {"glow", [&](TCanvas* c) { DrawGlowText(c, text, u"Wg", 4, clBlue, 0, fmt); },
         TRect(26, 16, 94, 44)},
        {"vista glow reaches 12 pixels whatever the size",
         [&](TCanvas* c) { DrawVistaGlowText(c, text, u"Wg", clBlue, fmt); },
         TRect(20, 20, 28, 40)},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        TextCanvas t;
        k.draw(t.c);
        EXPECT_GT(t.tinted(k.glowOnly), 0);
        // The text itself is drawn last, in the canvas's black.
        int dark = 0;
        for (int y = text.Top; y < text.Bottom; ++y)
            for (int x = text.Left; x < text.Right; ++x)
                if (t.at(x, y) == RGB(0, 0, 0)) ++dark;
        EXPECT_GT(dark, 10);
        // Far from the text the canvas stays white.
        EXPECT_EQ(t.at(2, 2), RGB(255, 255, 255));
    }
}

TEST(TextEffects, ReflectionFadesBelowTheText) {
    TextCanvas t;
    const TRect text(10, 5, 110, 25);
    DrawReflectionText(t.c, text, u"Mirror", clBlue, 0, DT_LEFT | DT_TOP | DT_SINGLELINE);
    EXPECT_GT(t.tinted(TRect(10, 15, 110, 40)), 0);
    EXPECT_EQ(t.tinted(TRect(10, 45, 110, 60)), 0);
}
