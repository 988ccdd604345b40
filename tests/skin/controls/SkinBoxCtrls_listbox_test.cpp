// The skinned list box with its inner list, scroll bars and caption line.
#include <gtest/gtest.h>

#include "classlib/imglist.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "tests/skin/controls/boxtest.h"

using namespace boxtest;

namespace {

struct List {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    TspSkinListBox* list = new TspSkinListBox(form.get());
    int clicks = 0;
    List(int n = 6, int W = 150, int H = 200) {
        form->BorderStyle = bsNone;
        form->SetBounds(0, 0, 400, 300);
        list->SetParent(form.get());
        list->UseSkinItemHeight = false;
        list->SetDefaultItemHeight(26);
        list->SetBounds(10, 10, W, H);
        list->OnListBoxClick = [this](TObject*) { ++clicks; };
        for (int i = 0; i < n; ++i)
            list->Items()->Add("Item " + std::to_string(i));
        form->Show();
        Application->ProcessMessages();
    }
    TspListBox* inner() { return list->ListBox.get(); }
    // A pixel of the form.
    COLORREF pixel(int x, int y) { return Shot(form.get()).at(x, y); }
    // A pixel of the inner list.
    COLORREF in(int x, int y) { return pixel(10 + inner()->Left() + x, 10 + inner()->Top() + y); }
};

} // namespace

TEST(SkinListBox, DefaultLookDrawsItemsSelectionAndTheRest) {
    List t;
    EXPECT_EQ(t.inner()->BoundsRect(), TRect(2, 2, 148, 198));
    t.list->SetItemIndex(1);
    EXPECT_EQ(t.pixel(10, 10), rgb(clBtnShadow));
    EXPECT_EQ(t.in(100, 5), rgb(clWindow));
    EXPECT_EQ(t.in(100, 26 + 5), rgb(clHighlight));
    EXPECT_EQ(t.in(100, 6 * 26 + 10), rgb(clWindow)); // below the last item
    EXPECT_EQ(t.list->ScrollBar, nullptr);
    EXPECT_EQ(t.list->ItemAtPos(TPoint{5, 27}, true), 1);
    EXPECT_EQ(t.list->ItemAtPos(TPoint{5, 180}, true), -1);
    EXPECT_EQ(t.list->ItemAtPos(TPoint{5, 180}, false), 6);
    EXPECT_EQ(t.list->ItemAtPos(TPoint{500, 5}, false), -1);
}

TEST(SkinListBox, VerticalBarComesAndGoesWithThePage) {
    List t;
    EXPECT_EQ(t.list->ScrollBar, nullptr);
    t.list->SetBounds(10, 10, 150, 100);
    ASSERT_NE(t.list->ScrollBar, nullptr);
    // 96 pixels of list show three whole items.
    EXPECT_EQ(t.list->ScrollBar->LargeChange(), 3);
    EXPECT_EQ(t.list->ScrollBar->Kind(), sbVertical);
    EXPECT_EQ(t.list->ScrollBar->BoundsRect(), TRect(130, 1, 149, 99));
    EXPECT_EQ(t.inner()->Width(), 128);
    // Moving the bar scrolls the list; keys in the list move the bar.
    t.list->ScrollBar->SetPosition(2);
    EXPECT_EQ(t.list->TopIndex(), 2);
    t.list->SetTopIndex(0);
    t.inner()->SetFocus();
    t.list->SetItemIndex(0);
    for (int i = 0; i < 5; ++i)
        key(t.inner(), VK_DOWN);
    EXPECT_EQ(t.list->ItemIndex(), 5);
    EXPECT_EQ(t.list->ScrollBar->Position(), t.list->TopIndex());
    EXPECT_GT(t.list->TopIndex(), 0);
    // The wheel scrolls a line at a time.
    t.list->SetTopIndex(1);
    t.list->UpDateScrollBar();
    wheel(t.inner(), -120);
    EXPECT_EQ(t.list->TopIndex(), 2);
    EXPECT_EQ(t.list->ScrollBar->Position(), 2);
    // Sorting removes the bar; the next update brings it back.
    t.list->SetSorted(true);
    t.list->UpDateScrollBar();
    EXPECT_NE(t.list->ScrollBar, nullptr);
    t.list->SetBounds(10, 10, 150, 200);
    EXPECT_EQ(t.list->ScrollBar, nullptr);
}

TEST(SkinListBox, RowCountSizesTheList) {
    List t(5);
    t.list->SetRowCount(5);
    EXPECT_EQ(t.list->Height(), 5 * 26 + 4);
    EXPECT_EQ(t.list->ScrollBar, nullptr);
    t.list->Items()->Add("one more");
    t.list->UpDateScrollBar();
    EXPECT_NE(t.list->ScrollBar, nullptr);
}

TEST(SkinListBox, WideItemsGetAHorizontalBar) {
    List t(2, 150, 200);
    t.list->Items()->Add(std::string(60, 'W'));
    t.list->SetHorizontalExtent(true);
    ASSERT_NE(t.list->HScrollBar, nullptr);
    EXPECT_EQ(t.list->HScrollBar->Top(), 200 - 20);
    EXPECT_EQ(t.inner()->BoundsRect().Bottom, 200 - 2 - 18);
    const int step = t.list->HScrollBar->SmallChange();
    EXPECT_GT(step, 0);
    t.inner()->SetFocus();
    key(t.inner(), VK_RIGHT);
    EXPECT_EQ(t.inner()->FHorizontalExtentValue, step);
    // Narrowing keeps the right end of the text in place.
    t.list->HScrollBar->SetPosition(30);
    t.inner()->SetBounds(t.inner()->Left(), t.inner()->Top(), t.inner()->Width() - 10,
                         t.inner()->Height());
    EXPECT_EQ(t.inner()->FHorizontalExtentValue, 40);
    t.list->Items()->Delete(2);
    t.list->UpDateScrollBar();
    EXPECT_EQ(t.list->HScrollBar, nullptr);
    EXPECT_EQ(t.inner()->FHorizontalExtentValue, 0);
}

TEST(SkinListBox, MouseAndKeysSelect) {
    List t;
    int ups = 0;
    TPoint upAt;
    t.list->OnListBoxMouseUp = [&](TObject* s, TMouseButton, TShiftState, int X, int Y) {
        EXPECT_EQ(s, t.list);
        ++ups;
        upAt = {X, Y};
    };
    press(t.inner(), 20, 26 * 2 + 5);
    release(t.inner(), 20, 26 * 2 + 5);
    EXPECT_EQ(t.list->ItemIndex(), 2);
    EXPECT_EQ(t.clicks, 1);
    EXPECT_EQ(ups, 1);
    EXPECT_EQ(t.list->ItemAtPos(upAt, true), 2);
    key(t.inner(), VK_DOWN);
    EXPECT_EQ(t.list->ItemIndex(), 3);
    key(t.inner(), VK_HOME);
    EXPECT_EQ(t.list->ItemIndex(), 0);
    EXPECT_EQ(t.clicks, 3);
}

TEST(SkinListBox, ImagesAndTabStops) {
    List t(3);
    TCustomImageList images(nullptr);
    images.SetWidth(10);
    images.SetHeight(10);
    for (TColor c : {clRed, clLime}) {
        TBitmap b(10, 10);
        b.Canvas()->Brush()->SetColor(c);
        b.Canvas()->FillRect(TRect(0, 0, 10, 10));
        images.Add(&b, nullptr);
    }
    t.list->SetImages(&images);
    // Image N for item N; the third item has none but keeps the indent.
    EXPECT_EQ(t.in(2 + 5, 13), RGB(255, 0, 0));
    EXPECT_EQ(t.in(2 + 5, 26 + 13), RGB(0, 255, 0));
    EXPECT_EQ(t.in(2 + 5, 52 + 13), rgb(clWindow));
    int asked = -1;
    t.list->OnGetItemImageIndex = [&](TObject*, int item, int& index) {
        if (item == 0) index = 1, asked = item;
    };
    t.inner()->Repaint();
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(t.in(2 + 5, 13), RGB(0, 255, 0));
}

TEST(SkinListBox, SkinLookUsesTheItemPictures) {
    auto* el = Element<TspDataSkinListBox>("listbox");
    ASSERT_NE(el, nullptr);
    TBitmap* pic = SkinPicture(el->PictureIndex);
    List t(0);
    t.list->UseSkinItemHeight = true;
    t.list->SetSkinData(DefaultSkin());
    // Empty: only the tiled client part.
    const TRect cl = el->ClRect;
    EXPECT_EQ(t.in(3, 3), rgb(pic->Canvas()->Pixels(el->SkinRect.Left + cl.Left + 3,
                                                    el->SkinRect.Top + cl.Top + 3)));
    for (int i = 0; i < 3; ++i)
        t.list->Items()->Add("Row " + std::to_string(i));
    EXPECT_EQ(t.inner()->ItemHeight(), RectHeight(el->SItemRect));
    t.list->SetItemIndex(1);
    // A selected row's middle comes from the active item picture.
    const int ih = RectHeight(el->SItemRect);
    const int y = ih + ih / 2;
    const TRect act = IsEmptyRect(el->ActiveItemRect) ? el->SItemRect : el->ActiveItemRect;
    EXPECT_EQ(t.in(el->ItemLeftOffset, y),
              rgb(pic->Canvas()->Pixels(act.Left + el->ItemLeftOffset, act.Top + ih / 2)));
}

class SkinListBoxCaption : public ClockTest {};

TEST_F(SkinListBoxCaption, ButtonsMoveTheSelectionAndRepeat) {
    List t;
    t.list->SetCaptionMode(true);
    t.list->SetCaption("Songs");
    t.list->Repaint();
    EXPECT_EQ(t.list->Buttons[0].R, TRect(150 - 19, 2, 148, 19));
    EXPECT_EQ(t.inner()->Top(), 21);
    t.list->SetDefaultCaptionHeight(15);
    t.list->Repaint();
    EXPECT_EQ(RectWidth(t.list->Buttons[0].R), 12);
    t.list->SetDefaultCaptionHeight(20);
    t.list->Repaint();
    t.list->SetItemIndex(0);
    TRect down = t.list->Buttons[1].R;
    press(t.list, down.Left + 3, down.Top + 3);
    advance(500);
    EXPECT_EQ(t.list->ItemIndex(), 0);
    advance(100);
    EXPECT_EQ(t.list->ItemIndex(), 1);
    for (int i = 0; i < 10; ++i)
        advance(100);
    EXPECT_EQ(t.list->ItemIndex(), 5); // stops at the last
    release(t.list, down.Left + 3, down.Top + 3);
    EXPECT_EQ(t.list->ItemIndex(), 5);
    TRect up = t.list->Buttons[0].R;
    press(t.list, up.Left + 3, up.Top + 3);
    release(t.list, up.Left + 3, up.Top + 3);
    EXPECT_EQ(t.list->ItemIndex(), 4);
    // A handler takes the click instead.
    int ups = 0;
    t.list->OnUpButtonClick = [&](TObject*) { ++ups; };
    press(t.list, up.Left + 3, up.Top + 3);
    release(t.list, up.Left + 3, up.Top + 3);
    EXPECT_EQ(ups, 1);
    EXPECT_EQ(t.list->ItemIndex(), 4);
    // The check button clicks the list.
    const int before = t.clicks;
    TRect check = t.list->Buttons[2].R;
    press(t.list, check.Left + 3, check.Top + 3);
    release(t.list, check.Left + 3, check.Top + 3);
    EXPECT_EQ(t.clicks, before + 1);
    // Without caption mode nothing reacts.
    t.list->SetCaptionMode(false);
    t.list->Repaint();
    press(t.list, up.Left + 3, up.Top + 3);
    release(t.list, up.Left + 3, up.Top + 3);
    EXPECT_EQ(ups, 1);
}
