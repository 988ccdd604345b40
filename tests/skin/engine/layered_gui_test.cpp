// A glow layer on a real display: the X server shows the picture blended by
// its mask over the window beneath, as the headless screen composes it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "classlib/forms.h"
#include "platform/display/gtk.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "skin/engine/SPUtils.h"
#include "support/screen.h"
#include "support/tempdir.h"

namespace {

using guitest::processFor;

using guitest::readPpm;

} // namespace

TEST(LayeredGui, GlowLayerShowsItsPerPixelAlphaOnTheScreen) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));

    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "GlowUnder";
    wc.hbrBackground = CreateSolidBrush(RGB(0, 0, 200));
    RegisterClass(wc);
    HWND under = CreateWindowEx(0, "GlowUnder", "", WS_POPUP | WS_VISIBLE, 100, 100, 120, 60, 0, 0,
                                nullptr, nullptr);
    processFor(600);

    // A lime picture, its mask white, grey and black in three columns of 20.
    TBitmap image(60, 30), mask(60, 30);
    image.Canvas()->Brush()->SetColor(clLime);
    image.Canvas()->FillRect(TRect(0, 0, 60, 30));
    const TColor greys[3] = {clWhite, TColor(0x808080), clBlack};
    for (int i = 0; i < 3; ++i) {
        mask.Canvas()->Brush()->SetColor(greys[i]);
        mask.Canvas()->FillRect(TRect(20 * i, 0, 20 * i + 20, 30));
    }
    TspLayerManager layer(nullptr);
    layer.Show(130, 115, &image, &mask, 255);
    for (int i = 0; i < 40 && layer.Timer->Enabled(); ++i)
        processFor(50);
    EXPECT_FALSE(layer.Timer->Enabled());

    const RECT area{130, 115, 190, 145};
    HBITMAP composed = RenderScreenToBitmap(area);
    ASSERT_NE(composed, nullptr);
    EXPECT_EQ(composed->getPixel(5, 5), RGB(0, 255, 0));
    EXPECT_EQ(composed->getPixel(30, 5), RGB(0, 128, 100));
    EXPECT_EQ(composed->getPixel(55, 5), RGB(0, 0, 200));

    TempDir dir;
    std::string shot = dir.file("screen.ppm");
    int worst = 999;
    for (int attempt = 0; attempt < 20 && worst > 2; ++attempt) {
        processFor(300);
        ASSERT_EQ(
            std::system(("import -window root -depth 8 ppm:" + shot + " >/dev/null 2>&1").c_str()),
            0);
        int sw = 0, sh = 0;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(readPpm(shot, sw, sh, rgb));
        worst = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 60; ++x) {
                COLORREF want = composed->getPixel(x, y);
                const uint8_t* p = &rgb[(size_t(area.top + y) * sw + area.left + x) * 3];
                worst =
                    std::max({worst, std::abs(p[0] - GetRValue(want)),
                              std::abs(p[1] - GetGValue(want)), std::abs(p[2] - GetBValue(want))});
            }
    }
    EXPECT_LE(worst, 2);
    DeleteObject(composed);
    layer.Hide();
    DestroyWindow(under);
    processFor(50);
    display::Install(nullptr);
}
