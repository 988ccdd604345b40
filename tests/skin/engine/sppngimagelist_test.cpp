#include <gtest/gtest.h>

#include "skin/engine/sppngimagelist.h"

namespace {

std::string fixture(const char* name) {
    return std::string(LANTROVE_FIXTURES_DIR) + "/gdi/" + name;
}

} // namespace

TEST(SkinPngImageList, ItemsAndImageListIndexesStayInStep) {
    TspPngImageList list(nullptr);
    list.SetPngWidth(24);
    list.SetPngHeight(24);
    for (int i = 0; i < 3; ++i)
        list.PngImages()->Add();
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.PngImages()->Items(2)->Name(), "PngImage2");
    list.PngImages()->Delete(1);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.PngImages()->Count(), 2);
    EXPECT_EQ(list.PngImages()->Items(1)->Name(), "PngImage2");
    EXPECT_EQ(list.PngImages()->Items(1)->Index(), 1);
    list.PngImages()->Items(0)->SetName("");
    EXPECT_EQ(list.PngImages()->Items(0)->GetDisplayName(), "TspPngImageItem");

    list.BeginLoading();
    list.SetPngWidth(16);
    EXPECT_EQ(list.PngImages()->Count(), 2);
    list.Loaded();
    list.SetPngWidth(32);
    EXPECT_EQ(list.PngImages()->Count(), 0);
    EXPECT_EQ(list.Count(), 0);
}

TEST(SkinPngImageList, DisabledCopiesAreHalfTransparent) {
    TspPngImage rgba;
    rgba.CreateBlank(COLOR_RGBALPHA, 2, 1);
    rgba.AlphaScanline(0)[0] = 255;
    rgba.AlphaScanline(0)[1] = 1;
    MakeImageHalfTransparent(&rgba);
    EXPECT_EQ(rgba.AlphaScanline(0)[0], 128);
    EXPECT_EQ(rgba.AlphaScanline(0)[1], 0);

    TspPngImage pal;
    pal.LoadFromFile(fixture("palette_trns.png"));
    ASSERT_EQ(pal.Header().ColorType, COLOR_PALETTE);
    ASSERT_EQ(pal.TransparencyMode(), ptmBit);
    MakeImageHalfTransparent(&pal);
    ASSERT_NE(pal.AlphaScanline(0), nullptr);
    EXPECT_EQ(pal.AlphaScanline(0)[0], 127);
    EXPECT_EQ(pal.AlphaScanline(0)[2], 127);
    EXPECT_EQ(pal.AlphaScanline(0)[3], 0); // the transparent entry

    TspPngImage rgb;
    rgb.CreateBlank(COLOR_RGB, 1, 1);
    MakeImageHalfTransparent(&rgb);
    EXPECT_EQ(rgb.AlphaScanline(0)[0], 128);
}

TEST(SkinPngImageList, DrawsEnabledAndDisabled) {
    TspPngImageList list(nullptr);
    list.SetPngWidth(2);
    list.SetPngHeight(1);
    TspPngImage red;
    red.CreateBlank(COLOR_RGBALPHA, 2, 1);
    for (int x = 0; x < 2; ++x) {
        red.Scanline(0)[x * 3 + 2] = 255;
        red.AlphaScanline(0)[x] = 255;
    }
    list.PngImages()->Add()->SetPngImage(&red);
    TBitmap target;
    target.SetPixelFormat(pf24bit);
    target.SetSize(4, 1);
    target.Canvas()->Brush()->SetColor(clBlack);
    target.Canvas()->FillRect(TRect(0, 0, 4, 1));
    list.Draw(target.Canvas(), 0, 0, 0, true);
    list.Draw(target.Canvas(), 2, 0, 0, false);
    EXPECT_EQ(COLORREF(target.Canvas()->Pixels(0, 0)), RGB(255, 0, 0));
    EXPECT_EQ(COLORREF(target.Canvas()->Pixels(2, 0)), RGB(128, 0, 0));
}
