// The skinned scroll bar as a control: its looks, pointer, keys and repeat.
#include <gtest/gtest.h>

#include "skin/controls/SkinBoxCtrls.h"
#include "tests/skin/controls/boxtest.h"

using namespace boxtest;

namespace {

struct Bar {
    Host host;
    TspSkinScrollBar* bar = new TspSkinScrollBar(nullptr);
    std::unique_ptr<TspSkinScrollBar> own{bar};
    int changes = 0, last = 0, pagesUp = 0, pagesDown = 0;
    Bar(TScrollBarKind kind = sbVertical, bool skinned = false) {
        bar->SetKind(kind);
        bar->SetParent(&host);
        if (kind == sbVertical) {
            bar->SetSkinDataName(skinned ? "vscrollbar" : "");
            bar->SetBounds(10, 10, 19, 200);
        } else {
            bar->SetSkinDataName(skinned ? "hscrollbar" : "");
            bar->SetBounds(10, 10, 200, 19);
        }
        if (skinned) bar->SetSkinData(DefaultSkin());
        bar->OnChange = [this](TObject*) { ++changes; };
        bar->OnLastChange = [this](TObject*) { ++last; };
        bar->OnPageUp = [this](TObject*) { ++pagesUp; };
        bar->OnPageDown = [this](TObject*) { ++pagesDown; };
    }
    TRect part(int i) {
        bar->CalcRects();
        return bar->Buttons[i].R;
    }
    TPoint centre(int i) {
        TRect r = part(i);
        return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    }
    // A pixel of the bar in the host's rendering.
    COLORREF pixel(int x, int y) { return Shot(&host).at(10 + x, 10 + y); }
};

} // namespace

TEST(SkinScrollBar, PropertiesKeepThePositionInRange) {
    TspSkinScrollBar b(nullptr);
    EXPECT_EQ(b.Kind(), sbHorizontal);
    EXPECT_EQ(b.SkinDataName(), "hscrollbar");
    EXPECT_EQ(b.Width(), 200);
    EXPECT_EQ(b.Height(), 19);
    int changes = 0;
    b.OnChange = [&](TObject*) { ++changes; };
    b.SetPosition(150);
    EXPECT_EQ(b.Position(), 100);
    EXPECT_EQ(changes, 1);
    b.SetPosition(100); // no real change
    EXPECT_EQ(changes, 1);
    // A page that would pass the end is refused; SetRange takes any.
    b.SetPageSize(24);
    EXPECT_EQ(b.PageSize(), 0);
    b.SetRange(0, 100, 100, 24);
    EXPECT_EQ(b.PageSize(), 24);
    EXPECT_EQ(b.Position(), 77);
    EXPECT_EQ(changes, 1);
    b.SetMax(50);
    EXPECT_EQ(b.Position(), 27);
    b.SetMin(30);
    EXPECT_EQ(b.Position(), 30);
    // Zero range and a page larger than it: the position stays at Min.
    b.SetRange(5, 5, 9, 40);
    EXPECT_EQ(b.Position(), 5);
    b.SimplySetPosition(-3);
    EXPECT_EQ(b.Position(), 5);
    EXPECT_EQ(changes, 1);
}

TEST(SkinScrollBar, DefaultLookShowsEachPartState) {
    Bar t;
    t.bar->SetRange(0, 100, 0, 0);
    TRect thumb = t.part(TspSkinScrollBar::THUMB);
    TRect up = t.part(TspSkinScrollBar::UPBUTTON);
    EXPECT_EQ(thumb, TRect(1, 17, 18, 33));
    EXPECT_EQ(up, TRect(1, 183, 18, 199));
    EXPECT_EQ(t.pixel(thumb.Left, thumb.Top), rgb(clBtnShadow));
    EXPECT_EQ(t.pixel(thumb.Left + 3, thumb.Top + 3), rgb(clBtnFace));
    // Hot thumb.
    TPoint c = t.centre(TspSkinScrollBar::THUMB);
    mouse(t.bar, WM_MOUSEMOVE, c.X, c.Y);
    EXPECT_EQ(t.pixel(thumb.Left, thumb.Top), RGB(0, 0, 128));
    EXPECT_EQ(t.pixel(thumb.Left + 3, thumb.Top + 3), RGB(182, 189, 210));
    // Dragged thumb.
    mouse(t.bar, WM_LBUTTONDOWN, c.X, c.Y, MK_LBUTTON);
    EXPECT_EQ(t.pixel(thumb.Left + 3, thumb.Top + 3), RGB(133, 147, 181));
    release(t.bar, c.X, c.Y);
    // Pressed up button, with its arrow.
    TPoint u = t.centre(TspSkinScrollBar::UPBUTTON);
    press(t.bar, u.X, u.Y);
    EXPECT_EQ(t.pixel(up.Left + 2, up.Top + 2), RGB(133, 147, 181));
    release(t.bar, u.X, u.Y);
    mouse(t.bar, WM_MOUSEMOVE, 0, 100);
    // Disabled: buttons stay, the thumb goes.
    t.bar->SetEnabled(false);
    thumb = t.part(TspSkinScrollBar::THUMB);
    EXPECT_EQ(t.pixel(thumb.Left, thumb.Top + 1), rgb(clBtnFace));
    EXPECT_EQ(t.pixel(up.Left, up.Top), rgb(clBtnShadow));
}

TEST(SkinScrollBar, SkinLookTakesTheElementsPictures) {
    auto* el = Element<TspDataSkinScrollBarControl>("vscrollbar");
    ASSERT_NE(el, nullptr);
    TBitmap* pic = SkinPicture(el->PictureIndex);
    ASSERT_NE(pic, nullptr);
    Bar t(sbVertical, true);
    ASSERT_EQ(t.bar->Index(), DefaultSkin()->GetControlIndex("vscrollbar"));
    EXPECT_EQ(t.bar->Width(), RectWidth(el->SkinRect)); // free height, fixed width
    TRect up = t.part(TspSkinScrollBar::UPBUTTON);
    TRect downLook =
        IsEmptyRect(el->DownUpButtonRect) ? el->ActiveUpButtonRect : el->DownUpButtonRect;
    ASSERT_FALSE(IsEmptyRect(downLook));
    TPoint u = t.centre(TspSkinScrollBar::UPBUTTON);
    press(t.bar, u.X, u.Y);
    const int dx = RectWidth(up) / 2, dy = RectHeight(up) / 2;
    EXPECT_EQ(t.pixel(up.Left + dx, up.Top + dy),
              rgb(pic->Canvas()->Pixels(downLook.Left + dx, downLook.Top + dy)));
    release(t.bar, u.X, u.Y);
    // The thumb is drawn from the thumb picture: its first row is the picture's.
    mouse(t.bar, WM_MOUSEMOVE, 0, 0);
    t.bar->SetPosition(50);
    TRect th = t.part(TspSkinScrollBar::THUMB);
    EXPECT_EQ(RectWidth(th), RectWidth(el->ThumbRect));
    const int tx = RectWidth(th) / 2;
    if (!el->ThumbTransparent)
        EXPECT_EQ(t.pixel(th.Left + tx, th.Top),
                  rgb(pic->Canvas()->Pixels(el->ThumbRect.Left + tx, el->ThumbRect.Top)));
    // Disabled: the track shows where the thumb was.
    t.bar->SetEnabled(false);
    TBitmap plain(t.bar->Width(), t.bar->Height());
    t.bar->TspSkinCustomControl::DrawSkinImage(&plain);
    EXPECT_EQ(t.pixel(th.Left + tx, th.Top), rgb(plain.Canvas()->Pixels(th.Left + tx, th.Top)));
}

class SkinScrollBarInput : public ClockTest {};

TEST_F(SkinScrollBarInput, ButtonsStepAndRepeatWhileHeld) {
    Bar t;
    t.bar->SetRange(0, 100, 50, 0);
    t.bar->SetSmallChange(2);
    TPoint u = t.centre(TspSkinScrollBar::UPBUTTON);
    press(t.bar, u.X, u.Y);
    EXPECT_EQ(t.bar->Position(), 52);
    advance(499);
    EXPECT_EQ(t.bar->Position(), 52);
    advance(1); // the long wait ends
    EXPECT_EQ(t.bar->Position(), 52);
    advance(50);
    EXPECT_EQ(t.bar->Position(), 54);
    advance(50);
    EXPECT_EQ(t.bar->Position(), 56);
    // Off the button the repeat pauses; back on it, it resumes.
    mouse(t.bar, WM_MOUSEMOVE, u.X, 100, MK_LBUTTON);
    advance(50);
    advance(50);
    EXPECT_EQ(t.bar->Position(), 56);
    mouse(t.bar, WM_MOUSEMOVE, u.X, u.Y, MK_LBUTTON);
    advance(50);
    EXPECT_EQ(t.bar->Position(), 58);
    release(t.bar, u.X, u.Y);
    advance(50);
    EXPECT_EQ(t.bar->Position(), 58);
    // The down button steps the other way.
    TPoint d = t.centre(TspSkinScrollBar::DOWNBUTTON);
    press(t.bar, d.X, d.Y);
    release(t.bar, d.X, d.Y);
    EXPECT_EQ(t.bar->Position(), 56);
    // A handler replaces the step.
    int ups = 0;
    t.bar->OnUpButtonClick = [&](TObject*) { ++ups; };
    press(t.bar, u.X, u.Y);
    advance(500);
    advance(50);
    release(t.bar, u.X, u.Y);
    EXPECT_EQ(ups, 2);
    EXPECT_EQ(t.bar->Position(), 56);
}

TEST_F(SkinScrollBarInput, TrackPagesTowardThePointer) {
    Bar t;
    t.bar->SetRange(0, 100, 0, 10);
    t.bar->SetLargeChange(10);
    // Below the thumb: pages down until the thumb reaches the pointer.
    press(t.bar, 9, 170);
    EXPECT_EQ(t.bar->Position(), 10);
    EXPECT_EQ(t.pagesDown, 1);
    advance(500);
    for (int i = 0; i < 20; ++i)
        advance(50);
    release(t.bar, 9, 170);
    // It stops once the thumb covers the pointer.
    const int reached = t.bar->Position();
    EXPECT_EQ(reached, 90);
    EXPECT_GT(t.part(TspSkinScrollBar::THUMB).Bottom, 170);
    // Above it: one page up per press.
    press(t.bar, 9, 20);
    release(t.bar, 9, 20);
    EXPECT_EQ(t.bar->Position(), reached - 10);
    EXPECT_EQ(t.pagesUp, 1);
}

TEST(SkinScrollBar, DraggingTheThumbTracksAndClamps) {
    for (TScrollBarKind kind : {sbVertical, sbHorizontal}) {
        Bar t(kind);
        t.bar->SetRange(0, 100, 0, 24);
        t.bar->SetPageSize(24);
        TPoint c = t.centre(TspSkinScrollBar::THUMB);
        auto along = [&](int d) {
            return kind == sbVertical ? TPoint{c.X, c.Y + d} : TPoint{c.X + d, c.Y};
        };
        press(t.bar, c.X, c.Y);
        TPoint p = along(40);
        mouse(t.bar, WM_MOUSEMOVE, p.X, p.Y, MK_LBUTTON);
        const int mid = t.bar->Position();
        EXPECT_GT(mid, 0);
        EXPECT_LT(mid, 77);
        p = along(1000);
        mouse(t.bar, WM_MOUSEMOVE, p.X, p.Y, MK_LBUTTON);
        EXPECT_EQ(t.bar->Position(), 77);
        p = along(-1000);
        mouse(t.bar, WM_MOUSEMOVE, p.X, p.Y, MK_LBUTTON);
        EXPECT_EQ(t.bar->Position(), 0);
        EXPECT_EQ(t.last, 0);
        release(t.bar, p.X, p.Y);
        EXPECT_EQ(t.last, 1);
        EXPECT_EQ(t.changes, 3);
    }
}

TEST(SkinScrollBar, KeysAndWheelOnlyWhenItTakesTheFocus) {
    Bar t;
    t.bar->SetRange(0, 100, 50, 0);
    key(t.bar, VK_DOWN);
    wheel(t.bar, -120);
    EXPECT_EQ(t.bar->Position(), 50);
    t.bar->SetCanFocused(true);
    EXPECT_TRUE(t.bar->TabStop);
    t.bar->SetFocus();
    key(t.bar, VK_DOWN);
    key(t.bar, VK_RIGHT);
    EXPECT_EQ(t.bar->Position(), 52);
    key(t.bar, VK_UP);
    EXPECT_EQ(t.bar->Position(), 51);
    wheel(t.bar, 120); // away from the user
    EXPECT_EQ(t.bar->Position(), 50);
    wheel(t.bar, -120);
    EXPECT_EQ(t.bar->Position(), 51);
}
