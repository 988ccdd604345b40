// The skinned combo box: its drop-down list by mouse and keys, selection,
// search and completion, and its looks.
#include <gtest/gtest.h>

#include "platform/display/headless.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "tests/skin/controls/boxtest.h"

using namespace boxtest;

namespace {

struct Combo {
    std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
    TspSkinComboBox* combo = new TspSkinComboBox(form.get());
    std::string log;
    Combo(std::initializer_list<const char*> items = {"Apple", "Banana", "Blueberry", "Cherry"},
          int top = 40) {
        form->BorderStyle = bsNone;
        form->SetBounds(100, top, 300, 120);
        combo->SetParent(form.get());
        combo->SetBounds(10, 10, 150, 20);
        for (const char* i : items)
            combo->Items()->Add(i);
        combo->OnChange = [this](TObject*) { log += "change;"; };
        combo->OnClick = [this](TObject*) { log += "click;"; };
        combo->OnDropDown = [this](TObject*) { log += "drop;"; };
        combo->OnCloseUp = [this](TObject*) { log += "closeup;"; };
        form->Show();
        combo->SetFocus();
    }
    TPoint screen(TWinControl* c, int x, int y) { return c->ClientToScreen(TPoint{x, y}); }
    void deliver(UINT msg, TPoint p, WPARAM keys = 0) {
        DeliverMouse(msg, POINT{p.X, p.Y}, keys);
        Application->ProcessMessages();
    }
    TspListBox* inner() { return combo->ListBox()->ListBox.get(); }
    // A point on row i of the open list, in screen coordinates.
    TPoint row(int i) {
        TRect r = inner()->ItemRect(i);
        return screen(inner(), 10, (r.Top + r.Bottom) / 2);
    }
    TPoint button() {
        combo->CalcRects();
        TRect b = combo->Button.R;
        return screen(combo, (b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2);
    }
};

} // namespace

TEST(SkinComboBox, ItemIndexSetsTheTextAndReports) {
    Combo t;
    t.combo->SetItemIndex(1);
    EXPECT_EQ(t.combo->Text(), "Banana");
    EXPECT_EQ(t.log, "change;click;");
    t.log.clear();
    t.combo->SetItemIndex(-1);
    EXPECT_EQ(t.combo->Text(), "Banana");
    EXPECT_EQ(t.combo->ItemIndex(), -1);
    // A sorted list keeps the items in order.
    t.combo->SetSorted(true);
    t.combo->Items()->Add("Apricot");
    EXPECT_EQ(t.combo->Items()->Get(1), "Apricot");
    // The same text again is no change.
    t.combo->SetItemIndex(1);
    t.log.clear();
    t.combo->SetItemIndex(1);
    EXPECT_EQ(t.log, "click;");
}

TEST(SkinComboBox, DropsDownByMouseAndAcceptsTheRowReleasedOn) {
    {
        Combo empty({});
        empty.combo->DropDown();
        EXPECT_FALSE(empty.combo->IsPopupVisible());
        EXPECT_EQ(empty.log, "");
    }
    // The form on top takes the presses: this one is shown last.
    Combo t;

    t.combo->SetItemIndex(0);
    t.log.clear();
    // Press on the button: the list opens under the box.
    t.deliver(WM_LBUTTONDOWN, t.button(), MK_LBUTTON);
    ASSERT_TRUE(t.combo->IsPopupVisible());
    EXPECT_EQ(t.log, "drop;");
    EXPECT_EQ(t.combo->ListBox()->Left(), t.screen(t.combo, 0, 0).X);
    EXPECT_EQ(t.combo->ListBox()->Top(), t.screen(t.combo, 0, 20).Y);
    EXPECT_EQ(t.combo->ListBox()->Width(), 150);
    // Released without entering the list: it stays open.
    t.deliver(WM_LBUTTONUP, t.button());
    EXPECT_TRUE(t.combo->IsPopupVisible());
    // Pressed in the list, dragged to a row, released there: that row.
    t.deliver(WM_LBUTTONDOWN, t.row(1), MK_LBUTTON);
    t.deliver(WM_MOUSEMOVE, t.row(2), MK_LBUTTON);
    EXPECT_EQ(t.combo->ListBox()->ItemIndex(), 2);
    t.deliver(WM_LBUTTONUP, t.row(2));
    EXPECT_FALSE(t.combo->IsPopupVisible());
    EXPECT_EQ(t.combo->Text(), "Blueberry");
    EXPECT_EQ(t.combo->ItemIndex(), 2);
    EXPECT_EQ(t.log, "drop;change;click;closeup;");
    // From the button into the list and out again: cancelled.
    t.deliver(WM_LBUTTONDOWN, t.button(), MK_LBUTTON);
    t.deliver(WM_MOUSEMOVE, t.row(0), MK_LBUTTON);
    TPoint outside = t.screen(t.combo, 200, 5);
    t.deliver(WM_MOUSEMOVE, outside, MK_LBUTTON);
    t.deliver(WM_LBUTTONUP, outside);
    EXPECT_FALSE(t.combo->IsPopupVisible());
    EXPECT_EQ(t.combo->ItemIndex(), 2);
    EXPECT_EQ(t.combo->Text(), "Blueberry");
    // A click on a row whose release reaches the list itself still takes it.
    t.combo->DropDown();
    const TRect r3 = t.inner()->ItemRect(3);
    SendMessage(t.inner()->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, r3.Top + 2));
    SendMessage(t.inner()->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, r3.Top + 2));
    SendMessage(t.inner()->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, r3.Top + 2));
    EXPECT_FALSE(t.combo->IsPopupVisible());
    EXPECT_EQ(t.combo->Text(), "Cherry");
    EXPECT_NE(GetCapture(), t.combo->Handle());
}

TEST(SkinComboBox, APressElsewhereOnTheFormCancelsTheList) {
    // The form tells its active control of every press with CM_CANCELMODE,
    // naming the control pressed: the combo box in the fixed style, its
    // inner edit in the edit style.
    for (TspSkinCustomComboBoxStyle style : {spcbFixedStyle, spcbEditStyle}) {
        SCOPED_TRACE(style == spcbFixedStyle ? "fixed" : "edit");
        Combo t;
        auto* other = new TButton(t.form.get());
        other->SetParent(t.form.get());
        other->SetBounds(200, 10, 60, 20);
        t.combo->SetStyle(style);
        t.combo->SetItemIndex(0);
        t.combo->SetFocus();
        auto cancelFrom = [&](TControl* sender) {
            TWinControl* active = t.form->ActiveControl;
            ASSERT_NE(active, nullptr);
            active->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(sender));
        };
        // A press on the list or the box itself leaves it open.
        t.combo->DropDown();
        ASSERT_TRUE(t.combo->IsPopupVisible());
        SendMessage(t.inner()->Handle(), WM_MOUSEMOVE, 0,
                    MAKELPARAM(5, t.inner()->ItemRect(2).Top + 2));
        for (TControl* own : {static_cast<TControl*>(t.combo), static_cast<TControl*>(t.inner()),
                              static_cast<TControl*>(t.combo->ListBox())}) {
            cancelFrom(own);
            EXPECT_TRUE(t.combo->IsPopupVisible());
        }
        // A press on another control closes it without taking the row.
        t.log.clear();
        cancelFrom(other);
        EXPECT_FALSE(t.combo->IsPopupVisible());
        EXPECT_EQ(t.combo->ItemIndex(), 0);
        EXPECT_EQ(t.combo->Text(), "Apple");
        EXPECT_EQ(t.log, "");
    }
}

TEST(SkinComboBox, KeysStepOpenAcceptAndCancel) {
    Combo t({"one", "two", "three"});
    t.combo->SetItemIndex(0);
    key(t.combo, VK_NEXT); // DropDownCount - 1 on, within the list
    EXPECT_EQ(t.combo->ItemIndex(), 2);
    key(t.combo, VK_PRIOR);
    EXPECT_EQ(t.combo->ItemIndex(), 0);
    key(t.combo, VK_DOWN);
    EXPECT_EQ(t.combo->Text(), "two");
    key(t.combo, VK_UP);
    key(t.combo, VK_UP);
    EXPECT_EQ(t.combo->ItemIndex(), 0);
    // Alt+Down opens; Escape gives back the old item.
    auto* hl = display::CurrentHeadless();
    ASSERT_NE(hl, nullptr);
    hl->SetKeyDown(VK_MENU, true);
    key(t.combo, VK_DOWN);
    hl->SetKeyDown(VK_MENU, false);
    ASSERT_TRUE(t.combo->IsPopupVisible());
    SendMessage(t.inner()->Handle(), WM_MOUSEMOVE, 0,
                MAKELPARAM(5, t.inner()->ItemRect(2).Top + 2));
    EXPECT_EQ(t.combo->ListBox()->ItemIndex(), 2);
    key(t.combo, VK_ESCAPE);
    EXPECT_FALSE(t.combo->IsPopupVisible());
    EXPECT_EQ(t.combo->ItemIndex(), 0);
    // Enter accepts.
    t.combo->DropDown();
    SendMessage(t.inner()->Handle(), WM_MOUSEMOVE, 0,
                MAKELPARAM(5, t.inner()->ItemRect(1).Top + 2));
    key(t.combo, VK_RETURN);
    EXPECT_FALSE(t.combo->IsPopupVisible());
    EXPECT_EQ(t.combo->Text(), "two");
    // The wheel steps through the items while closed.
    wheel(t.combo, -120);
    EXPECT_EQ(t.combo->Text(), "three");
    wheel(t.combo, 120);
    EXPECT_EQ(t.combo->Text(), "two");
}

class SkinComboBoxSearch : public ClockTest {};

TEST_F(SkinComboBoxSearch, TypedLettersFindItems) {
    Combo t;
    chars(t.combo, "b");
    EXPECT_EQ(t.combo->Text(), "Banana");
    advance(100);
    chars(t.combo, "l"); // "bl" from the first item
    EXPECT_EQ(t.combo->Text(), "Blueberry");
    advance(600);
    chars(t.combo, "b"); // a pause starts over: the next "b" after the current
    EXPECT_EQ(t.combo->Text(), "Banana");
    advance(600);
    chars(t.combo, "b");
    EXPECT_EQ(t.combo->Text(), "Blueberry");
    advance(100);
    chars(t.combo, "b"); // "bb" matches nothing
    EXPECT_EQ(t.combo->Text(), "Blueberry");
}

TEST_F(SkinComboBoxSearch, EditStyleCompletesThePrefix) {
    Combo t;
    t.combo->SetStyle(spcbEditStyle);
    ASSERT_NE(t.combo->Edit(), nullptr);
    t.combo->Edit()->SetFocus();
    advance(300);
    chars(t.combo->Edit(), "Ch");
    SendMessage(t.combo->Edit()->Handle(), WM_KEYUP, 'H', 0);
    EXPECT_EQ(t.combo->Text(), "Cherry");
    EXPECT_EQ(t.combo->Edit()->SelStart(), 2);
    EXPECT_EQ(t.combo->Edit()->SelLength(), 4);
    // Backspace removes the completion without completing again.
    advance(300);
    SendMessage(t.combo->Edit()->Handle(), WM_KEYDOWN, VK_BACK, 0);
    chars(t.combo->Edit(), "\b");
    SendMessage(t.combo->Edit()->Handle(), WM_KEYUP, VK_BACK, 0);
    EXPECT_EQ(t.combo->Edit()->Text(), "Ch");
    // Up and Down in the edit select neighbours.
    key(t.combo->Edit(), VK_UP);
    EXPECT_EQ(t.combo->Text(), "Blueberry");
}

TEST(SkinComboBox, OpensUpwardNearTheBottomOfTheScreen) {
    TRect work;
    GetScreenArea(true, work);
    Combo t({"a", "b", "c"}, work.Bottom - 60);
    t.combo->DropDown();
    ASSERT_TRUE(t.combo->IsPopupVisible());
    EXPECT_EQ(t.combo->ListBox()->Top() + t.combo->ListBox()->Height(), t.screen(t.combo, 0, 0).Y);
}

TEST(SkinComboBox, DefaultAndSkinLooks) {
    Combo t;
    t.combo->SetItemIndex(0);
    t.combo->SetFocus();
    Shot s(t.form.get());
    const TRect item = t.combo->CBItem.R;
    EXPECT_EQ(s.at(10, 10), rgb(clBtnShadow));
    EXPECT_EQ(s.at(10 + item.Right - 3, 10 + item.Top + 3), rgb(clHighlight));
    t.form->SetFocus();
    Shot unfocused(t.form.get());
    EXPECT_EQ(unfocused.at(10 + item.Right - 3, 10 + item.Top + 3), rgb(clWindow));

    auto* el = Element<TspDataSkinComboBox>("combobox");
    ASSERT_NE(el, nullptr);
    TBitmap* pic = SkinPicture(el->PictureIndex);
    t.combo->SetSkinData(DefaultSkin());
    EXPECT_EQ(t.combo->ListBox()->SkinDataName(), el->ListBoxName);
    const TRect b = t.combo->Button.R;
    EXPECT_EQ(b.Right, el->ButtonRect.Right + 150 - RectWidth(el->SkinRect));
    t.deliver(WM_LBUTTONDOWN, t.button(), MK_LBUTTON);
    Shot down(t.form.get());
    EXPECT_EQ(down.at(10 + b.Left + 10, 10 + b.Top + 2),
              rgb(pic->Canvas()->Pixels(el->DownButtonRect.Left + 10, el->DownButtonRect.Top + 2)));
    t.deliver(WM_LBUTTONUP, t.button());
    t.combo->CloseUp(false);
}
