#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "skin/engine/SPUtils.h"

namespace {

// A 12 x 12 picture whose pixel (x, y) has red x and green y, so every copied
// pixel tells where it came from. The skin part sits at R = (2, 3, 8, 9): 6 x 6
// with 2-pixel corners, sides and client.
struct Part {
    TBitmap pic{12, 12};
    TRect R{2, 3, 8, 9};
    TPoint LT{2, 2}, RT{4, 2}, LB{2, 4}, RB{4, 4};
    TRect Cl{2, 2, 4, 4};
    Part() {
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x)
                pic.Canvas()->SetPixel(x, y, TColor(RGB(x, y, 50)));
    }
    // Builds the nine-part image at W x H with the moved points of free resizing.
    void nine(TBitmap& b, int W, int H, bool stretch, TspStretchType type = spstFull) {
        int dw = W - 6, dh = H - 6;
        BuildSkinImage(LT, RT, LB, RB, Cl, LT, TPoint(RT.X + dw, RT.Y), TPoint(LB.X, LB.Y + dh),
                       TPoint(RB.X + dw, RB.Y + dh),
                       TRect(Cl.Left, Cl.Top, Cl.Right + dw, Cl.Bottom + dh), &b, &pic, R, W, H,
                       true, stretch, stretch, stretch, stretch, stretch, type);
    }
};

// Part coordinates (relative to R) every pixel of b came from, row by row.
std::vector<std::pair<int, int>> sources(TBitmap& b, const TRect& R) {
    std::vector<std::pair<int, int>> out;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            COLORREF c = ColorToRGB(b.Canvas()->Pixels(x, y));
            out.emplace_back(GetRValue(c) - R.Left, GetGValue(c) - R.Top);
        }
    return out;
}

// What sources() gives when column x comes from xs[x] and row y from ys[y].
std::vector<std::pair<int, int>> grid(const std::vector<int>& xs, const std::vector<int>& ys) {
    std::vector<std::pair<int, int>> out;
    for (int y : ys)
        for (int x : xs)
            out.emplace_back(x, y);
    return out;
}

const std::vector<int> same6 = {0, 1, 2, 3, 4, 5};

} // namespace

TEST(SkinImage, NinePartImagesAtSeveralSizes) {
    struct Case {
        const char* name;
        int W, H;
        bool stretch;
        std::vector<int> xs, ys;
    };
    const std::vector<Case> cases = {
        {"design size reproduces the part", 6, 6, false, same6, same6},
        {"one pixel past whole middles leaves a 1-pixel last tile",
         9,
         8,
         false,
         {0, 1, 2, 3, 2, 3, 2, 4, 5},
         {0, 1, 2, 3, 2, 3, 4, 5}},
        {"stretched sides and client", 10, 6, true, {0, 1, 2, 2, 2, 3, 3, 3, 4, 5}, same6},
        {"shrunk to the corners", 4, 4, false, {0, 1, 4, 5}, {0, 1, 4, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Part p;
        TBitmap b;
        p.nine(b, c.W, c.H, c.stretch);
        ASSERT_EQ(b.Width(), c.W);
        ASSERT_EQ(b.Height(), c.H);
        EXPECT_EQ(sources(b, p.R), grid(c.xs, c.ys));
    }
}

TEST(SkinImage, ClientStretchTypesAndVariants) {
    Part p;
    // The client stretched to the new height and repeated to the right.
    TBitmap horz;
    p.nine(horz, 9, 8, true, spstHorz);
    auto s = sources(horz, p.R);
    // Client rows 2..5 of the image: source rows 2, 2, 3, 3; columns 2, 3, 2, 3, 2.
    std::vector<std::pair<int, int>> row2, want2 = {{2, 2}, {3, 2}, {2, 2}, {3, 2}, {2, 2}};
    for (int x = 2; x < 7; ++x)
        row2.push_back(s[size_t(2 * 9 + x)]);
    EXPECT_EQ(row2, want2);
    EXPECT_EQ(s[size_t(5 * 9 + 4)], (std::pair{2, 3}));

    TBitmap vert;
    p.nine(vert, 9, 8, true, spstVert);
    s = sources(vert, p.R);
    // Client columns 2..6 stretched from 2 columns; rows repeat 2, 3, 2, 3.
    EXPECT_EQ(s[size_t(2 * 9 + 2)], (std::pair{2, 2}));
    EXPECT_EQ(s[size_t(2 * 9 + 6)], (std::pair{3, 2}));
    EXPECT_EQ(s[size_t(4 * 9 + 6)], (std::pair{3, 2}));
    EXPECT_EQ(s[size_t(5 * 9 + 6)], (std::pair{3, 3}));

    // Without the right side and corners, the top runs to the right edge.
    TBitmap noRight;
    BuildSkinImageNoRight(p.LT, p.RT, p.LB, p.RB, p.Cl, p.LT, TPoint(7, 2), TPoint(2, 4),
                          TPoint(7, 4), TRect(2, 2, 7, 4), &noRight, &p.pic, p.R, 9, 6, true, false,
                          false, false, false, false, spstFull);
    EXPECT_EQ(sources(noRight, p.R), grid({0, 1, 2, 3, 2, 3, 2, 3, 2}, same6));

    TBitmap stretched(10, 6);
    BuildStretchedSkinImage(&stretched, &p.pic, p.R, p.Cl, true);
    EXPECT_EQ(sources(stretched, p.R), grid({0, 1, 2, 2, 2, 3, 3, 3, 4, 5}, same6));

    // Coinciding corner points or an empty picture leave the image blank.
    TBitmap blank;
    TBitmap empty;
    BuildSkinImage(p.LT, p.RT, p.LB, TPoint(2, 4), p.Cl, p.LT, p.RT, p.LB, TPoint(2, 4), p.Cl,
                   &blank, &p.pic, p.R, 6, 6, true, false, false, false, false, false, spstFull);
    EXPECT_EQ(ColorToRGB(blank.Canvas()->Pixels(0, 0)), RGB(255, 255, 255)); // as made
    p.nine(empty, 6, 6, false);
    BuildSkinImage(p.LT, p.RT, p.LB, p.RB, p.Cl, p.LT, p.RT, p.LB, p.RB, p.Cl, &blank, &empty, p.R,
                   6, 6, true, false, false, false, false, false, spstFull);
    EXPECT_EQ(ColorToRGB(blank.Canvas()->Pixels(3, 3)), RGB(255, 255, 255));
}

TEST(SkinImage, OneDimensionalImages) {
    Part p;
    struct Case {
        const char* name;
        std::function<void(TBitmap&)> build;
        std::vector<int> xs, ys;
    };
    const std::vector<Case> cases = {
        {"horizontal, tiled",
         [&](TBitmap& b) { BuildHorzSkinImage(2, 2, &b, &p.pic, p.R, 9, 0, false); },
         {0, 1, 2, 3, 2, 3, 2, 4, 5},
         same6},
        {"horizontal, stretched",
         [&](TBitmap& b) { BuildHorzSkinImage(2, 2, &b, &p.pic, p.R, 10, 0, true); },
         {0, 1, 2, 2, 2, 3, 3, 3, 4, 5},
         same6},
        {"horizontal narrower than its ends: right end over left, no middle",
         [&](TBitmap& b) { BuildHorzSkinImage(2, 2, &b, &p.pic, p.R, 3, 0, false); },
         {0, 4, 5},
         same6},
        {"horizontal without a right end",
         [&](TBitmap& b) { BuildHorzSkinImageNoRight(2, 2, &b, &p.pic, p.R, 7, 0, false); },
         {0, 1, 2, 3, 2, 3, 2},
         same6},
        {"vertical, tiled",
         [&](TBitmap& b) { BuildVertSkinImage(2, 2, &b, &p.pic, p.R, 0, 9, false); },
         same6,
         {0, 1, 2, 3, 2, 3, 2, 4, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap b;
        c.build(b);
        EXPECT_EQ(sources(b, p.R), grid(c.xs, c.ys));
    }
    // A middle of length 0 is skipped rather than divided by.
    TBitmap b;
    BuildHorzSkinImage(3, 3, &b, &p.pic, p.R, 12, 0, false);
    EXPECT_EQ(b.Width(), 12);
}

TEST(SkinImage, BorderStripsOfAFrame) {
    Part p;
    TBitmap left, top, right, bottom;
    BuildSkinBorderImages(p.LT, p.RT, p.LB, p.RB, p.Cl, p.LT, TPoint(7, 2), TPoint(2, 6),
                          TPoint(7, 6), TRect(2, 2, 7, 6), &left, &top, &right, &bottom, &p.pic,
                          p.R, 9, 8, false, false, false, false);
    EXPECT_EQ(sources(top, p.R), grid({0, 1, 2, 3, 2, 3, 2, 4, 5}, {0, 1}));
    EXPECT_EQ(sources(bottom, p.R), grid({0, 1, 2, 3, 2, 3, 2, 4, 5}, {4, 5}));
    EXPECT_EQ(sources(left, p.R), grid({0, 1}, {2, 3, 2, 3}));
    EXPECT_EQ(sources(right, p.R), grid({4, 5}, {2, 3, 2, 3}));
}

namespace {

// A 6 x 6 mask, black (inside) but for white outer corner pixels.
struct Mask {
    TBitmap m{6, 6};
    explicit Mask(bool whiteCorners = true) {
        m.Canvas()->Brush()->SetColor(clBlack);
        m.Canvas()->FillRect(TRect(0, 0, 6, 6));
        if (whiteCorners)
            for (auto [x, y] : {std::pair{0, 0}, {5, 0}, {0, 5}, {5, 5}})
                m.Canvas()->SetPixel(x, y, clWhite);
    }
};

::testing::AssertionResult regionIs(HRGN rgn, const std::vector<RECT>& want) {
    if (!rgn) return ::testing::AssertionFailure() << "no region";
    HRGN w = CreateRegionFromRects(want);
    bool same = EqualRgn(rgn, w);
    DeleteObject(w);
    if (same) return ::testing::AssertionSuccess();
    auto r = ::testing::AssertionFailure() << "region:";
    for (const RECT& x : GetRegionRects(rgn))
        r << " (" << x.left << "," << x.top << "," << x.right << "," << x.bottom << ")";
    return r;
}

} // namespace

TEST(SkinRegion, MaskRunsBecomeRegionRectangles) {
    Mask mask;
    std::vector<uint8_t> data;
    int size = MaskToRegionData(&mask.m, 10, 20, data);
    ASSERT_EQ(size, 32 + 16 * 6);
    auto* h = reinterpret_cast<const RGNDATAHEADER*>(data.data());
    EXPECT_EQ(h->dwSize, 32u);
    EXPECT_EQ(h->iType, 1u);
    EXPECT_EQ(h->nCount, 6u);
    EXPECT_EQ(h->rcBound, (RECT{10, 20, 16, 26}));
    auto* rects = reinterpret_cast<const RECT*>(data.data() + 32);
    EXPECT_EQ(rects[0], (RECT{11, 20, 15, 21}));
    EXPECT_EQ(rects[1], (RECT{10, 21, 16, 22})); // black to the last pixel: ends at the width

    HRGN rgn = nullptr;
    MaskToRegion(rgn, &mask.m);
    EXPECT_TRUE(regionIs(rgn, {{1, 0, 5, 1}, {0, 1, 6, 5}, {1, 5, 5, 6}}));
    DeleteObject(rgn);

    TBitmap none;
    EXPECT_EQ(MaskToRegionData(&none, 0, 0, data), 0);
    EXPECT_TRUE(data.empty());
}

TEST(SkinRegion, MasksWithMoreRunsThanAnyFixedBufferHold) {
    TBitmap checker(200, 120);
    checker.Canvas()->Brush()->SetColor(clWhite);
    checker.Canvas()->FillRect(TRect(0, 0, 200, 120));
    for (int y = 0; y < 120; ++y)
        for (int x = y % 2; x < 200; x += 2)
            checker.Canvas()->SetPixel(x, y, clBlack);
    std::vector<uint8_t> data;
    int size = MaskToRegionData(&checker, 0, 0, data);
    ASSERT_EQ(size, 32 + 16 * 12000);
    auto* rects = reinterpret_cast<const RECT*>(data.data() + 32);
    EXPECT_EQ(rects[11999], (RECT{199, 119, 200, 120}));
}

TEST(SkinRegion, WindowRegionsOfResizedMasks) {
    Part p;
    Mask mask;
    HRGN rgn = nullptr;
    BuildSkinMaskRegion(rgn, p.LT, p.RT, p.LB, p.RB, p.Cl, p.LT, TPoint(7, 2), TPoint(2, 6),
                        TPoint(7, 6), TRect(2, 2, 7, 6), &mask.m, 9, 8);
    EXPECT_TRUE(regionIs(rgn, {{1, 0, 8, 1}, {0, 1, 9, 7}, {1, 7, 8, 8}}));
    DeleteObject(rgn);

    // A client rectangle at the left edge: no left strip, the others still count.
    Mask solid(false);
    BuildSkinMaskRegion(rgn, TPoint(0, 2), TPoint(4, 2), TPoint(0, 4), TPoint(4, 4),
                        TRect(0, 2, 4, 4), TPoint(0, 2), TPoint(6, 2), TPoint(0, 4), TPoint(6, 4),
                        TRect(0, 2, 6, 4), &solid.m, 8, 6);
    EXPECT_TRUE(regionIs(rgn, {{0, 0, 8, 6}}));
    DeleteObject(rgn);

    // Points moved past each other give no region.
    BuildSkinMaskRegion(rgn, p.LT, p.RT, p.LB, p.RB, p.Cl, p.LT, TPoint(1, 2), p.LB, p.RB, p.Cl,
                        &mask.m, 3, 6);
    EXPECT_EQ(rgn, nullptr);
}
