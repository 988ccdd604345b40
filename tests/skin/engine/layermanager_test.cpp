#include <gtest/gtest.h>

#include <vector>

#include "classlib/forms.h"
#include "platform/os/clock.h"
#include "platform/win/input.h"
#include "platform/win/layered.h"
#include "platform/win/paint.h"
#include "skin/engine/SPUtils.h"
#include "skin/engine/speffbmp.h"

namespace {

class LayerManagerTest : public ::testing::Test {
protected:
    void SetUp() override { os::SetClock(&clock); }
    void TearDown() override { os::SetClock(nullptr); }

    // Runs the fade timer tick by tick and records the constant alpha each time.
    std::vector<int> fade(TspLayerManager& m, int maxTicks = 20) {
        std::vector<int> seen;
        for (int i = 0; i < maxTicks && m.Timer->Enabled(); ++i) {
            clock.Advance(25);
            Application->ProcessMessages();
            seen.push_back(GetLayeredState(m.LayerWindow->Handle()).alpha);
        }
        return seen;
    }

    os::ManualClock clock{1000};
};

// A green picture whose mask is white on the left half and black on the right.
struct Picture {
    TBitmap image{4, 2}, mask{4, 2};
    Picture() {
        image.Canvas()->Brush()->SetColor(clLime);
        image.Canvas()->FillRect(TRect(0, 0, 4, 2));
        mask.Canvas()->Brush()->SetColor(clBlack);
        mask.Canvas()->FillRect(TRect(0, 0, 4, 2));
        mask.Canvas()->Brush()->SetColor(clWhite);
        mask.Canvas()->FillRect(TRect(0, 0, 2, 2));
    }
};

} // namespace

TEST_F(LayerManagerTest, FadesInByTenthsEvery25msAndStops) {
    struct Case {
        int alpha;
        std::vector<int> steps;
    };
    const Case cases[] = {
        {200, {20, 40, 60, 80, 100, 120, 140, 160, 180, 200}},
        {5, {1, 2, 3, 4, 5}},
        {255, {25, 50, 75, 100, 125, 150, 175, 200, 225, 250, 255}},
    };
    Picture p;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.alpha);
        TspLayerManager m(nullptr);
        EXPECT_TRUE(m.TopMostMode);
        m.Show(30, 40, &p.image, &p.mask, c.alpha);
        ASSERT_TRUE(m.LayerWindow);
        HWND h = m.LayerWindow->Handle();
        EXPECT_TRUE(IsWindowVisible(h));
        EXPECT_TRUE(m.IsVisible);
        DWORD ex = DWORD(GetWindowLongPtr(h, GWL_EXSTYLE));
        EXPECT_TRUE(ex & WS_EX_LAYERED);
        EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
        EXPECT_TRUE(ex & WS_EX_TOPMOST);
        EXPECT_EQ(GetWindowLongPtr(h, GWL_STYLE) & WS_POPUP, LONG_PTR(WS_POPUP));
        EXPECT_EQ(GetLayeredState(h).alpha, 0); // shown fully transparent first
        EXPECT_EQ(SendMessage(h, WM_MOUSEACTIVATE, 0, 0), LRESULT(MA_NOACTIVATE));
        EXPECT_EQ(fade(m), c.steps);
        EXPECT_FALSE(m.Timer->Enabled());
    }
}

TEST_F(LayerManagerTest, ShowsThePictureWithTheMaskAsAlphaOverTheScreen) {
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "LayerUnder";
    wc.hbrBackground = CreateSolidBrush(RGB(0, 0, 200));
    RegisterClass(wc);
    HWND under = CreateWindowEx(0, "LayerUnder", "", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, 0, 0,
                                nullptr, nullptr);
    Picture p;
    TspLayerManager m(nullptr);
    m.Show(30, 40, &p.image, &p.mask, 255);
    HWND layer = m.LayerWindow->Handle();
    RECT r{};
    GetWindowRect(layer, &r);
    EXPECT_EQ(r, (RECT{30, 40, 34, 42}));
    {
        HBITMAP s = RenderScreenToBitmap(RECT{30, 40, 34, 42});
        EXPECT_EQ(s->getPixel(0, 0), RGB(0, 0, 200)); // alpha 0 while the fade starts
        DeleteObject(s);
    }
    fade(m);
    HBITMAP s = RenderScreenToBitmap(RECT{30, 40, 34, 42});
    EXPECT_EQ(s->getPixel(0, 0), RGB(0, 255, 0)); // white mask: opaque
    EXPECT_EQ(s->getPixel(3, 1), RGB(0, 0, 200)); // black mask: transparent
    DeleteObject(s);

    // Showing again replaces the window; hiding frees it and is harmless twice.
    m.Show(0, 0, &p.image, &p.mask, 100);
    EXPECT_FALSE(IsWindow(layer));
    HWND second = m.LayerWindow->Handle();
    m.Hide();
    EXPECT_FALSE(IsWindow(second));
    EXPECT_FALSE(m.LayerWindow);
    EXPECT_FALSE(m.Bmp);
    EXPECT_FALSE(m.IsVisible);
    EXPECT_FALSE(m.Timer->Enabled());
    m.Hide();
    TspLayerManager idle(nullptr);
    idle.Hide();
    DestroyWindow(under);
}

TEST_F(LayerManagerTest, LayerBitmapTakesTheMaskGreyAsAlpha) {
    Picture p;
    TspBitmap b;
    BuildLayerBitmap(&p.image, &p.mask, &b);
    EXPECT_EQ(b.Pixel(0, 0), 0xFF00FF00u);
    EXPECT_EQ(b.Pixel(3, 0), 0x0000FF00u);

    // Constant opacity of a plain layered window.
    TCustomControl c(nullptr);
    HWND h = c.Handle();
    SetLayeredAlpha(h, 90); // without the style the window layer refuses
    EXPECT_FALSE(GetLayeredState(h).layered);
    SetWindowLongPtr(h, GWL_EXSTYLE, GetWindowLongPtr(h, GWL_EXSTYLE) | WS_EX_LAYERED);
    SetLayeredAlpha(h, 90);
    EXPECT_EQ(GetLayeredState(h).alpha, 90);
}
