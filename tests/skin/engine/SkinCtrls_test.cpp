#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "platform/win/paint.h"
#include "platform/win/region.h"
#include "skin/engine/SkinCtrls.h"
#include "skin/skin_test_support.h"

namespace {

// A borderless top-level window painted solid blue: what lies under its children.
class Host : public skintest::PopupHost {
public:
    Host() : PopupHost(40, 30, TColor(RGB(0, 0, 200))) {}
};

// The pixels of the window's rendering at (left, top) that differ from expected.
int mismatchesWith(HWND w, TBitmap& expected, int left, int top, int width, int height) {
    HBITMAP shot = RenderWindowToBitmap(w);
    int mismatches = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (shot->getPixel(left + x, top + y) != ColorToRGB(expected.Canvas()->Pixels(x, y)))
                ++mismatches;
    DeleteObject(shot);
    return mismatches;
}

COLORREF pixelOf(HWND w, int x, int y) {
    HBITMAP b = RenderWindowToBitmap(w);
    COLORREF c = b->getPixel(x, y);
    DeleteObject(b);
    return c;
}

// A skin with one 12 x 12 picture whose pixel (x, y) has red x and green y,
// and elements cut from it at (2, 3, 8, 9).
struct Skin {
    TspSkinData sd{nullptr};
    TRect R{2, 3, 8, 9};
    Skin() {
        auto pic = std::make_unique<TBitmap>(12, 12);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x)
                pic->Canvas()->SetPixel(x, y, TColor(RGB(x, y, 50)));
        sd.FActivePictures.push_back(std::move(pic));
        sd.StartCursorIndex = 1;
        sd.Empty = false;
    }
    // A nine-part element unless the points are given otherwise.
    TspDataSkinCustomControl* add(const std::string& name, TPoint lt = {2, 2}, TPoint rt = {4, 2},
                                  TPoint lb = {2, 4}, TPoint rb = {4, 4}) {
        auto el = std::make_unique<TspDataSkinCustomControl>(name);
        el->PictureIndex = 0;
        el->SkinRect = R;
        el->LTPoint = lt, el->RTPoint = rt, el->LBPoint = lb, el->RBPoint = rb;
        el->ClRect = TRect(2, 2, 4, 4);
        auto* p = el.get();
        sd.CtrlList.push_back(std::move(el));
        return p;
    }
};

// Where a rendered pixel came from in the element's part.
std::pair<int, int> source(COLORREF c) {
    return {GetRValue(c) - 2, GetGValue(c) - 3};
}

} // namespace

TEST(SkinControlBases, StartWithTheirDefaults) {
    TspSkinCustomControl c(nullptr);
    EXPECT_EQ(c.Index(), -1);
    EXPECT_TRUE(c.DrawDefault());
    EXPECT_FALSE(c.AlphaBlend());
    EXPECT_EQ(c.AlphaBlendValue(), 200);
    EXPECT_FALSE(c.UseSkinCursor());
    EXPECT_EQ(c.HintImageIndex(), 0);
    EXPECT_EQ(c.DefaultFont()->Name(), "Arial");
    EXPECT_EQ(c.DefaultFont()->Height(), 14);
    EXPECT_TRUE(c.UseSkinFont());
    EXPECT_FALSE(c.ForceBackground());
    EXPECT_TRUE(c.DrawBackground());
    TspGraphicSkinCustomControl g(nullptr);
    EXPECT_EQ(g.Index(), -1);
    EXPECT_EQ(g.AlphaBlendValue(), 200);
    EXPECT_EQ(g.DefaultFont()->Name(), "Arial");
}

TEST(SkinControlBases, WithoutAnElementTakeTheDefaultLookAndSize) {
    Host host;
    Skin skin;
    TspSkinCustomControl c(nullptr);
    c.SetParent(&host);
    c.SetBounds(2, 2, 5, 5);
    c.SetDefaultWidth(20);
    EXPECT_EQ(c.Width(), 20); // no element: at once
    c.SetDefaultHeight(12);
    c.SetSkinDataName("missing");
    c.SetSkinData(&skin.sd);
    EXPECT_EQ(c.Index(), -1);
    EXPECT_EQ(c.Width(), 20);
    EXPECT_EQ(c.Height(), 12);
    EXPECT_EQ(pixelOf(host.Handle(), 5, 5), ColorToRGB(clBtnFace));
}

TEST(SkinControlBases, DrawTheElementAtAnySize) {
    Host host;
    Skin skin;
    skin.add("panel");
    TspSkinCustomControl c(nullptr);
    c.SetParent(&host);
    c.SetSkinDataName("panel");
    c.SetBounds(1, 1, 9, 8);
    c.SetSkinData(&skin.sd);
    EXPECT_EQ(c.Index(), 0);
    EXPECT_EQ(c.ResizeMode, 1);
    EXPECT_EQ(c.Width(), 9);
    EXPECT_EQ(c.NewClRect, TRect(2, 2, 7, 6));
    // Corners copied, middles tiled: the last column of the top's middle is a
    // 1-pixel piece.
    const std::pair<int, int> want[][3] = {
        {{0, 0}, {0, 0}}, {{6, 0}, {2, 0}}, {{7, 0}, {4, 0}}, {{8, 7}, {5, 5}}, {{4, 4}, {2, 2}},
    };
    HBITMAP shot = RenderWindowToBitmap(host.Handle());
    for (const auto& w : want)
        EXPECT_EQ(source(shot->getPixel(1 + w[0].first, 1 + w[0].second)), w[1])
            << w[0].first << "," << w[0].second;
    DeleteObject(shot);
}

TEST(SkinControlBases, ResizeModesFitTheRequestedSize) {
    struct Case {
        const char* name;
        TPoint lt, rt, lb, rb;
        bool emptyRect;
        int mode, w, h; // after asking for 20 x 15
    };
    const Case cases[] = {
        {"nine parts: free", {2, 2}, {4, 2}, {2, 4}, {4, 4}, false, 1, 20, 15},
        {"only the right-top point: fixed height", {2, 2}, {4, 2}, {0, 0}, {0, 0}, false, 2, 20, 6},
        {"only the left-bottom point: fixed width",
         {0, 0},
         {0, 0},
         {2, 4},
         {0, 0},
         false,
         3,
         6,
         15},
        {"no points: the part as it is", {0, 0}, {0, 0}, {0, 0}, {0, 0}, false, 0, 6, 6},
        {"empty part: the size asked for", {2, 2}, {4, 2}, {2, 4}, {4, 4}, true, -1, 20, 15},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Host host;
        Skin skin;
        auto* el = skin.add("e", k.lt, k.rt, k.lb, k.rb);
        if (k.emptyRect) el->SkinRect = TRect(0, 0, 0, 0);
        TspSkinCustomControl c(nullptr);
        c.SetParent(&host);
        c.SetSkinDataName("e");
        c.SetSkinData(&skin.sd);
        c.SetBounds(0, 0, 20, 15);
        EXPECT_EQ(c.ResizeMode, k.mode);
        EXPECT_EQ(c.Width(), k.w);
        EXPECT_EQ(c.Height(), k.h);
    }
}

TEST(SkinControlBases, AlphaBlendMixesWithWhatLiesUnder) {
    for (int value : {255, 128, 0}) {
        SCOPED_TRACE(value);
        Host host;
        Skin skin;
        skin.add("panel");
        TspSkinCustomControl c(nullptr);
        c.SetParent(&host);
        c.SetSkinDataName("panel");
        c.SetBounds(4, 4, 6, 6);
        c.SetSkinData(&skin.sd);
        c.SetAlphaBlendValue(uint8_t(value));
        c.SetAlphaBlend(true);
        // Own pixel (0, 0) of the part is RGB(2, 3, 50); under it lies RGB(0, 0, 200).
        double k = 1 - value / 255.0;
        auto mix = [&](int own, int under) {
            return int(std::nearbyint((1 - k) * own + k * under));
        };
        EXPECT_EQ(pixelOf(host.Handle(), 4, 4), RGB(mix(2, 0), mix(3, 0), mix(50, 200)));
    }
}

TEST(SkinControlBases, SkinChangesAndRemovedSkins) {
    Host host;
    Skin skin;
    skin.add("panel");
    TspSkinCustomControl c(nullptr);
    c.SetParent(&host);
    c.SetSkinDataName("panel");
    c.SetSkinData(&skin.sd);
    EXPECT_EQ(c.Index(), 0);
    c.BeforeChangeSkinData();
    EXPECT_EQ(c.Index(), -1);
    c.ChangeSkinData();
    EXPECT_EQ(c.Index(), 0);

    // An empty skin is stored without a re-read; the next look-up finds nothing.
    TspSkinData empty(nullptr);
    c.SetBounds(0, 0, 13, 11);
    c.SetSkinData(&empty);
    EXPECT_EQ(c.SkinData(), &empty);
    EXPECT_EQ(c.Index(), 0);
    EXPECT_EQ(c.Width(), 13);
    c.GetSkinData();
    EXPECT_EQ(c.Index(), -1);

    auto gone = std::make_unique<TspSkinData>(nullptr);
    c.SetSkinData(gone.get());
    gone.reset();
    EXPECT_EQ(c.SkinData(), nullptr);
}

namespace {

// Counts the background checks it receives.
class Probe : public TspSkinCustomControl {
public:
    using TspSkinCustomControl::TspSkinCustomControl;
    int checks = 0;
    void CheckParentBackground() override {
        ++checks;
        TspSkinCustomControl::CheckParentBackground();
    }
};

} // namespace

TEST(SkinControlBases, StretchedControlsTellTheirChildrenTheBackgroundChanged) {
    Host host;
    Skin skin;
    skin.add("panel")->StretchEffect = true;
    TspSkinCustomControl outer(nullptr);
    outer.SetParent(&host);
    outer.SetSkinDataName("panel");
    outer.SetSkinData(&skin.sd);
    Probe child(nullptr), grandchild(nullptr);
    child.SetParent(&outer);
    grandchild.SetParent(&child);
    child.SetAlphaBlend(true);
    outer.SetBounds(0, 0, 20, 20);
    EXPECT_EQ(child.checks, 1);
    EXPECT_EQ(grandchild.checks, 1); // passed on by the blending child

    int entered = 0, left = 0;
    child.OnMouseEnter = [&](TObject*) { ++entered; };
    child.OnMouseLeave = [&](TObject*) { ++left; };
    child.Perform(CM_MOUSEENTER, 0, 0);
    child.Perform(CM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(left, 1);
}

TEST(SkinControlBases, MaskPicturesGiveTheWindowItsRegion) {
    Host host;
    Skin skin;
    auto mask = std::make_unique<TBitmap>(6, 6);
    mask->Canvas()->Brush()->SetColor(clBlack);
    mask->Canvas()->FillRect(TRect(0, 0, 6, 6));
    mask->Canvas()->SetPixel(0, 0, clWhite);
    skin.sd.FActivePictures.push_back(std::move(mask));
    auto* el = skin.add("round");
    el->MaskPictureIndex = 1;
    TspSkinCustomControl c(nullptr);
    c.SetParent(&host);
    c.SetSkinDataName("round");
    c.SetBounds(0, 0, 8, 6);
    c.SetSkinData(&skin.sd);
    std::vector<RECT> want = {{1, 0, 8, 1}, {0, 1, 8, 6}};
    HRGN w = CreateRegionFromRects(want), got = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(c.Handle(), got), RGN_ERROR);
    EXPECT_TRUE(EqualRgn(got, w));
    DeleteObject(w);
    DeleteObject(got);

    // Without a mask the region goes.
    el->MaskPictureIndex = 5; // past the list: no picture
    c.ChangeSkinData();
    EXPECT_FALSE(HasWindowRegion(c.Handle()));
}

TEST(SkinControlBases, RectanglesOfTheElementFollowTheSize) {
    Host host;
    Skin skin;
    skin.add("panel");
    TspSkinCustomControl c(nullptr);
    c.SetParent(&host);
    c.SetSkinDataName("panel");
    c.SetSkinData(&skin.sd);
    c.SetBounds(0, 0, 10, 9); // dw 4, dh 3
    struct Case {
        TRect in, out;
    };
    const Case cases[] = {
        {{0, 0, 1, 1}, {0, 0, 1, 1}},  // top-left zone: unchanged
        {{4, 0, 5, 1}, {8, 0, 9, 1}},  // top-right zone: moved right
        {{0, 4, 1, 5}, {0, 7, 1, 8}},  // bottom-left zone: moved down
        {{0, 0, 6, 6}, {0, 0, 10, 9}}, // top-left to bottom-right: widened both ways
        {{0, 0, 6, 1}, {0, 0, 10, 1}}, // across the top: wider
        {{2, 2, 3, 3}, {2, 2, 3, 3}},  // in the middle: unchanged
    };
    for (const Case& k : cases)
        EXPECT_EQ(c.MapSkinRect(k.in), k.out);
}

TEST(SkinControlBases, SkinCursorFollowsTheElement) {
    Skin skin;
    skin.add("panel")->CursorIndex = 2;
    TspSkinCustomControl c(nullptr);
    c.SetUseSkinCursor(true);
    c.SetSkinDataName("panel");
    c.SetSkinData(&skin.sd);
    EXPECT_EQ(c.Cursor(), 3); // the skin's first cursor is 1
    skin.sd.CtrlList[0]->CursorIndex = -1;
    c.ChangeSkinData();
    EXPECT_EQ(c.Cursor(), crDefault);
}

TEST(SkinControlBases, WindowlessControlsPaintThroughTheirParentAndIgnoreStretchType) {
    Host host;
    Skin skin;
    auto* el = skin.add("label");
    el->StretchEffect = true;
    el->StretchType = spstVert; // ignored: the client is stretched whole
    TspGraphicSkinCustomControl g(nullptr);
    g.SetParent(&host);
    g.SetSkinDataName("label");
    g.SetSkinData(&skin.sd);
    g.SetBounds(2, 2, 10, 10);
    EXPECT_EQ(g.Index(), 0);
    TBitmap expected;
    BuildSkinImage(TPoint(2, 2), TPoint(4, 2), TPoint(2, 4), TPoint(4, 4), TRect(2, 2, 4, 4),
                   TPoint(2, 2), TPoint(8, 2), TPoint(2, 8), TPoint(8, 8), TRect(2, 2, 8, 8),
                   &expected, skin.sd.FActivePictures[0].get(), skin.R, 10, 10, true, false, false,
                   false, false, true, spstFull);
    int mismatches = mismatchesWith(host.Handle(), expected, 2, 2, 10, 10);
    EXPECT_EQ(mismatches, 0);

    // Without an element the base draws the button face.
    g.SetSkinDataName("nothing");
    g.ChangeSkinData();
    EXPECT_EQ(pixelOf(host.Handle(), 5, 5), ColorToRGB(clBtnFace));
}

TEST(SkinControlBases, WindowlessAlphaBlendDrawsItsParentUnderneathOnce) {
    Host host;
    Skin skin;
    skin.add("label");
    TspGraphicSkinCustomControl g(nullptr);
    g.SetParent(&host);
    g.SetSkinDataName("label");
    g.SetSkinData(&skin.sd);
    g.SetBounds(3, 3, 6, 6);
    g.SetAlphaBlendValue(0);
    g.SetAlphaBlend(true);
    // Only what lies under it shows, and painting comes back.
    EXPECT_EQ(pixelOf(host.Handle(), 4, 4), RGB(0, 0, 200));
}

TEST(SkinControlBases, ForcedBackgroundPaintsBorderStripsAndTheClient) {
    Host host;
    Skin skin;
    skin.add("panel");
    TspSkinCustomControl c(nullptr);
    c.SetParent(&host);
    c.SetForceBackground(true);
    c.SetSkinDataName("panel");
    c.SetSkinData(&skin.sd);
    c.SetBounds(1, 1, 9, 8);
    TBitmap expected;
    BuildSkinImage(TPoint(2, 2), TPoint(4, 2), TPoint(2, 4), TPoint(4, 4), TRect(2, 2, 4, 4),
                   TPoint(2, 2), TPoint(7, 2), TPoint(2, 6), TPoint(7, 6), TRect(2, 2, 7, 6),
                   &expected, skin.sd.FActivePictures[0].get(), skin.R, 9, 8, true, false, false,
                   false, false, false, spstFull);
    int mismatches = mismatchesWith(host.Handle(), expected, 1, 1, 9, 8);
    EXPECT_EQ(mismatches, 0);
}
