// The class library's standard controls on a form, driven by messages and
// synthetic input.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "platform/display/headless.h"
#include "platform/win/clipboard.h"
#include "platform/win/controls/button.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/scroll.h"
#include "support/headless.h"

namespace {

using headlesstest::pump;

using headlesstest::pixel;

uint32_t rgb(TColor c) {
    COLORREF v = ColorToRGB(c);
    return (GetRValue(v) << 16) | (GetGValue(v) << 8) | GetBValue(v);
}

class StdCtrls : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TForm>(nullptr);
        form->BorderStyle = bsNone;
        form->SetBounds(50, 50, 400, 300);
        form->Show();
        SetActiveWindow(form->Handle());
        pump();
    }
    void TearDown() override {
        auto* h = display::CurrentHeadless();
        for (int vk : {VK_SHIFT, VK_CONTROL, VK_MENU})
            h->SetKeyDown(vk, false);
        form.reset();
        pump();
    }
    template <class T> T* add(int x, int y, int w, int h, TWinControl* parent = nullptr) {
        auto* c = new T(form.get());
        c->SetBounds(x, y, w, h);
        c->SetParent(parent ? parent : form.get());
        return c;
    }
    void key(int vk, char32_t ch = 0) {
        DeliverKey(true, vk, ch);
        DeliverKey(false, vk, 0);
        pump();
    }
    void mouse(TControl* c, UINT msg, int x, int y, WPARAM keys = 0) {
        TPoint p = c->ClientToScreen(TPoint{x, y});
        DeliverMouse(msg, POINT{p.X, p.Y}, keys);
        pump();
    }
    void click(TControl* c, int x, int y) {
        mouse(c, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
        mouse(c, WM_LBUTTONUP, x, y);
    }
    std::unique_ptr<TForm> form;
};

} // namespace

TEST_F(StdCtrls, EditTextSelectionClipboardAndChange) {
    auto* edit = add<TEdit>(10, 10, 150, 22);
    int changes = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    edit->SetText("hello");
    EXPECT_EQ(edit->Text(), "hello");
    EXPECT_EQ(changes, 1);
    edit->SetFocus();
    // Focus by keyboard selects all (AutoSelect).
    EXPECT_EQ(edit->SelLength(), 5);
    key('X', U'x');
    EXPECT_EQ(edit->Text(), "x");
    EXPECT_EQ(changes, 2);
    edit->SetText("one two");
    edit->SetSelStart(4);
    edit->SetSelLength(3);
    EXPECT_EQ(edit->SelText(), "two");
    edit->CopyToClipboard();
    EXPECT_EQ(GetClipboardText(), "two");
    edit->SetSelText("2");
    EXPECT_EQ(edit->Text(), "one 2");
    EXPECT_TRUE(edit->CanUndo());
    edit->Undo();
    EXPECT_EQ(edit->Text(), "one two");
    edit->SetMaxLength(3);
    edit->SetText("");
    key('A', U'a');
    key('B', U'b');
    key('C', U'c');
    key('D', U'd');
    EXPECT_EQ(edit->Text(), "abc");
    edit->SetReadOnly(true);
    key('E', U'e');
    EXPECT_EQ(edit->Text(), "abc");
    // Key events see the keys first and can swallow them.
    edit->SetReadOnly(false);
    edit->SetMaxLength(0);
    edit->OnKeyPress = [](TObject*, char32_t& k) {
        if (k == U'q') k = 0;
        if (k == U'w') k = U'W';
    };
    edit->SetText("");
    key('Q', U'q');
    key('W', U'w');
    EXPECT_EQ(edit->Text(), "W");
    // Its colour comes from the control.
    edit->SetColor(clYellow);
    HBITMAP shot = RenderWindowToBitmap(edit->Handle());
    EXPECT_EQ(pixel(shot, 140, 10), rgb(clYellow));
    DeleteObject(shot);
}

TEST_F(StdCtrls, MemoLinesAndListBoxItems) {
    auto* memo = add<TMemo>(10, 10, 150, 80);
    memo->Lines()->Add("first");
    memo->Lines()->Add("second");
    EXPECT_EQ(memo->Text(), "first\r\nsecond\r\n");
    EXPECT_EQ(memo->Lines()->Count(), 2);
    memo->Lines()->Put(0, "1st");
    memo->Lines()->Delete(1);
    EXPECT_EQ(memo->Text(), "1st\r\n");
    EXPECT_THROW(memo->Lines()->Get(5), EStringListError);

    // Items set before the window exists survive its making and remaking.
    auto* list = new TListBox(form.get());
    list->Items()->Add("b");
    list->Items()->Add("a");
    list->SetItemIndex(1);
    list->SetBounds(200, 10, 150, 120);
    list->SetParent(form.get());
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(list->Items()->Get(1), "a");
    int clicks = 0;
    list->OnClick = [&](TObject*) { ++clicks; };
    list->Items()->Add("c");
    TRect r = list->ItemRect(2);
    click(list, 5, r.Top + 2);
    EXPECT_EQ(list->ItemIndex(), 2);
    EXPECT_EQ(clicks, 1);
    key(VK_UP);
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(clicks, 2);
    list->SetItemIndex(0); // by the program: no click
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(list->ItemAtPos(TPoint{5, r.Top + 2}, true), 2);
    EXPECT_EQ(list->ItemAtPos(TPoint{5, 110}, true), -1);
    EXPECT_THROW(list->Items()->Delete(7), EStringListError);
    EXPECT_THROW(list->Selected(9), EListError);
    list->DestroyHandle();
    EXPECT_EQ(list->Count(), 3);
    list->HandleNeeded();
    EXPECT_EQ(list->Items()->Get(2), "c");
    EXPECT_EQ(list->ItemIndex(), 0);

    // Owner drawing reaches OnDrawItem through the parent.
    auto* drawn = new TListBox(form.get());
    drawn->Style = lbOwnerDrawFixed;
    drawn->SetItemHeight(20);
    drawn->SetBounds(200, 140, 150, 100);
    drawn->SetParent(form.get());
    drawn->Items()->Add("x");
    std::vector<int> painted;
    drawn->OnDrawItem = [&](TWinControl*, int i, TRect rect, TOwnerDrawState) {
        painted.push_back(i);
        EXPECT_EQ(rect.Bottom - rect.Top, 20);
    };
    DeleteObject(RenderWindowToBitmap(drawn->Handle()));
    EXPECT_EQ(painted, std::vector<int>{0});
}

TEST_F(StdCtrls, CheckRadioGroupAndScrollBar) {
    auto* check = add<TCheckBox>(10, 10, 120, 20);
    check->SetCaption("&Check");
    int clicks = 0;
    check->OnClick = [&](TObject*) { ++clicks; };
    click(check, 5, 10);
    EXPECT_TRUE(check->Checked());
    check->AllowGrayed = true;
    click(check, 5, 10);
    EXPECT_EQ(check->State(), cbUnchecked);
    click(check, 5, 10);
    EXPECT_EQ(check->State(), cbGrayed);
    check->SetChecked(false);
    EXPECT_EQ(clicks, 4);
    // Alt+C toggles it through its accelerator.
    display::CurrentHeadless()->SetKeyDown(VK_MENU, true);
    key('C', U'c');
    display::CurrentHeadless()->SetKeyDown(VK_MENU, false);
    EXPECT_EQ(check->State(), cbGrayed);
    EXPECT_TRUE(check->Focused());

    auto* group = add<TGroupBox>(150, 10, 200, 100);
    group->SetCaption("Choice");
    auto* r1 = add<TRadioButton>(10, 20, 100, 20, group);
    auto* r2 = add<TRadioButton>(10, 45, 100, 20, group);
    r1->SetChecked(true);
    click(r2, 5, 10);
    EXPECT_TRUE(r2->Checked());
    EXPECT_FALSE(r1->Checked());
    EXPECT_EQ(SendMessage(r1->Handle(), BM_GETCHECK, 0, 0), 0);

    auto* bar = add<TScrollBar>(10, 150, 200, 17);
    bar->SetParams(5, 0, 10);
    int changes = 0;
    bar->OnChange = [&](TObject*) { ++changes; };
    bar->SmallChange = 2;
    SendMessage(form->Handle(), WM_HSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), LPARAM(bar->Handle()));
    EXPECT_EQ(bar->Position(), 7);
    EXPECT_EQ(GetScrollPos(bar->Handle(), SB_CTL), 7);
    SendMessage(form->Handle(), WM_HSCROLL, MAKEWPARAM(SB_BOTTOM, 0), LPARAM(bar->Handle()));
    EXPECT_EQ(bar->Position(), 10);
    EXPECT_EQ(changes, 2);
    EXPECT_THROW(bar->SetParams(0, 5, 1), EInvalidOperation);
}

TEST_F(StdCtrls, TabOrderDefaultCancelAndAccelerators) {
    auto* a = add<TEdit>(10, 10, 100, 22);
    auto* b = add<TEdit>(10, 40, 100, 22);
    auto* off = add<TEdit>(10, 70, 100, 22);
    off->TabStop = false;
    auto* ok = add<TButton>(10, 100, 75, 25);
    ok->SetCaption("&OK");
    ok->Default = true;
    ok->ModalResult = mrOk;
    auto* cancel = add<TButton>(100, 100, 75, 25);
    cancel->SetCaption("Cancel");
    cancel->Cancel = true;
    int oks = 0, cancels = 0;
    ok->OnClick = [&](TObject*) { ++oks; };
    cancel->OnClick = [&](TObject*) { ++cancels; };
    b->SetTabOrder(0);
    EXPECT_EQ(b->TabOrder(), 0);
    EXPECT_EQ(a->TabOrder(), 1);

    b->SetFocus();
    key(VK_TAB, 9);
    EXPECT_TRUE(a->Focused());
    key(VK_TAB, 9); // skips the field without TabStop
    EXPECT_TRUE(ok->Focused());
    display::CurrentHeadless()->SetKeyDown(VK_SHIFT, true);
    key(VK_TAB, 9);
    display::CurrentHeadless()->SetKeyDown(VK_SHIFT, false);
    EXPECT_TRUE(a->Focused());
    EXPECT_EQ(form->ActiveControl, a);

    key(VK_RETURN, 13);
    EXPECT_EQ(oks, 1);
    EXPECT_EQ(form->ModalResult, mrOk);
    key(VK_ESCAPE, 27);
    EXPECT_EQ(cancels, 1);
    // A disabled default button does nothing.
    ok->SetEnabled(false);
    key(VK_RETURN, 13);
    EXPECT_EQ(oks, 1);
    ok->SetEnabled(true);
    // Alt+O presses OK from anywhere on the form.
    display::CurrentHeadless()->SetKeyDown(VK_MENU, true);
    key('O', U'o');
    display::CurrentHeadless()->SetKeyDown(VK_MENU, false);
    EXPECT_EQ(oks, 2);
    EXPECT_TRUE(ok->Focused());
    // Accelerators that are not letters match as typed.
    auto* at = add<TButton>(200, 100, 75, 25);
    at->SetCaption("Mail &@");
    int ats = 0;
    at->OnClick = [&](TObject*) { ++ats; };
    display::CurrentHeadless()->SetKeyDown(VK_MENU, true);
    key('2', U'`');
    EXPECT_EQ(ats, 0);
    key('2', U'@');
    display::CurrentHeadless()->SetKeyDown(VK_MENU, false);
    EXPECT_EQ(ats, 1);
}

TEST_F(StdCtrls, AWindowedControlFreedOnItsOwnLeavesTheTabOrder) {
    auto* a = add<TEdit>(10, 10, 100, 22);
    auto* gone = add<TEdit>(10, 40, 100, 22);
    auto* b = add<TEdit>(10, 70, 100, 22);
    delete gone;
    EXPECT_EQ(b->TabOrder(), 1);
    a->SetFocus();
    key(VK_TAB, 9); // walks the tab list: the freed field is not in it
    EXPECT_TRUE(b->Focused());
}

TEST_F(StdCtrls, LabelsAndImagesArePaintedByTheirParent) {
    auto* panel = add<TPanel>(0, 0, 400, 300);
    panel->BevelOuter = bvNone;
    panel->SetCaption("");
    auto* label = new TLabel(form.get());
    label->SetBounds(10, 10, 10, 10);
    label->SetParent(panel);
    label->SetCaption("&Name");
    EXPECT_GT(label->Width(), 20); // AutoSize
    EXPECT_GT(label->Height(), 8);
    auto* target = add<TEdit>(100, 10, 100, 22, panel);
    label->FocusControl = target;
    int labelClicks = 0, boxClicks = 0;
    label->OnClick = [&](TObject*) { ++labelClicks; };
    auto* box = new TPaintBox(form.get());
    box->SetBounds(10, 100, 50, 40);
    box->SetParent(panel);
    box->OnPaint = [box](TObject*) {
        box->Canvas()->Brush()->SetColor(clRed);
        box->Canvas()->FillRect(TRect(0, 0, 50, 40));
    };
    std::vector<TPoint> downs;
    box->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
        downs.push_back(TPoint{x, y});
    };
    box->OnClick = [&](TObject*) { ++boxClicks; };
    auto* image = new TImage(form.get());
    image->SetBounds(100, 100, 40, 40);
    image->SetParent(panel);
    image->Picture()->Bitmap()->SetSize(20, 20);
    image->Picture()->Bitmap()->Canvas()->Brush()->SetColor(clBlue);
    image->Picture()->Bitmap()->Canvas()->FillRect(TRect(0, 0, 20, 20));
    image->Stretch = true;

    HBITMAP shot = RenderWindowToBitmap(form->Handle());
    EXPECT_EQ(pixel(shot, 30, 120), rgb(clRed));
    EXPECT_EQ(pixel(shot, 135, 135), rgb(clBlue)); // stretched to 40 x 40
    EXPECT_EQ(pixel(shot, 200, 200), rgb(clBtnFace));
    int ink = 0;
    for (int y = 10; y < 10 + label->Height(); ++y)
        for (int x = 10; x < 10 + label->Width(); ++x)
            ink += (pixel(shot, x, y) & 0xFF) < 0x80; // dark text on the face
    EXPECT_GT(ink, 5);
    DeleteObject(shot);

    // Mouse messages reach the window-less controls in their own coordinates.
    click(box, 7, 9);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].X, 7);
    EXPECT_EQ(downs[0].Y, 9);
    EXPECT_EQ(boxClicks, 1);
    click(label, 2, 2);
    EXPECT_EQ(labelClicks, 1);
    // The label's accelerator focuses its control.
    display::CurrentHeadless()->SetKeyDown(VK_MENU, true);
    key('N', U'n');
    display::CurrentHeadless()->SetKeyDown(VK_MENU, false);
    EXPECT_TRUE(target->Focused());
    // Hidden, a window-less control is no longer painted or hit.
    box->Hide();
    click(panel, 30, 120);
    EXPECT_EQ(boxClicks, 1);
    shot = RenderWindowToBitmap(form->Handle());
    EXPECT_EQ(pixel(shot, 30, 120), rgb(clBtnFace));
    DeleteObject(shot);
    delete box; // freed while its parent lives
    click(panel, 30, 120);
}

TEST_F(StdCtrls, AlignmentSplitterAndStatusBar) {
    auto* top = add<TPanel>(0, 0, 100, 50);
    top->SetAlign(alTop);
    auto* status = add<TStatusBar>(0, 0, 100, 20);
    status->AddPanel().Text = "Ready";
    status->Panels()[0].Width = 80;
    status->AddPanel().Text = "2 items";
    auto* bottom = add<TPanel>(0, 0, 100, 60);
    bottom->SetAlign(alBottom);
    auto* split = new TSplitter(form.get());
    split->SetAlign(alBottom);
    split->SetHeight(6);
    split->SetTop(100); // above the bottom panel
    split->SetParent(form.get());
    auto* client = add<TPanel>(0, 0, 10, 10);
    client->SetAlign(alClient);
    EXPECT_EQ(top->BoundsRect(), TRect(0, 0, 400, 50));
    EXPECT_EQ(status->BoundsRect(), TRect(0, 280, 400, 300));
    EXPECT_EQ(bottom->BoundsRect(), TRect(0, 220, 400, 280));
    EXPECT_EQ(split->BoundsRect(), TRect(0, 214, 400, 220));
    EXPECT_EQ(client->BoundsRect(), TRect(0, 50, 400, 214));
    EXPECT_EQ(split->FindControl(), bottom);

    // Dragging the splitter up grows the panel under it.
    int moved = 0;
    split->OnMoved = [&](TObject*) { ++moved; };
    mouse(split, WM_LBUTTONDOWN, 50, 3, MK_LBUTTON);
    mouse(split, WM_MOUSEMOVE, 50, -37, MK_LBUTTON);
    TPoint p = form->ClientToScreen(TPoint{50, 177});
    DeliverMouse(WM_LBUTTONUP, POINT{p.X, p.Y}, 0);
    pump();
    EXPECT_EQ(bottom->Height(), 100);
    EXPECT_EQ(split->Top(), 174);
    EXPECT_EQ(client->Height(), 124);
    EXPECT_EQ(moved, 1);
    // Never below MinSize, nor past the room that is left.
    EXPECT_EQ(split->FindControl(), bottom);
    mouse(split, WM_LBUTTONDOWN, 50, 3, MK_LBUTTON);
    mouse(split, WM_MOUSEMOVE, 50, 500, MK_LBUTTON);
    mouse(split, WM_LBUTTONUP, 50, 500);
    EXPECT_EQ(bottom->Height(), split->MinSize);

    // Resizing the form lays everything out again.
    form->SetBounds(50, 50, 300, 400);
    EXPECT_EQ(status->BoundsRect(), TRect(0, 380, 300, 400));
    HBITMAP shot = RenderWindowToBitmap(status->Handle());
    EXPECT_EQ(pixel(shot, 81, 10), rgb(clBtnFace));
    DeleteObject(shot);
}

TEST_F(StdCtrls, HintWindowShowsAfterThePause) {
    auto* button = add<TButton>(10, 10, 75, 25);
    button->Hint = "Starts it|long text";
    button->ShowHint = true;
    Application->HintPause = 1;
    Application->HintHidePause = 0;
    mouse(button, WM_MOUSEMOVE, 5, 5);
    EXPECT_EQ(Application->HintControl(), button);
    for (int i = 0;
         i < 50 && !(Application->HintWindow() && Application->HintWindow()->IsShowing()); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        pump();
    }
    ASSERT_NE(Application->HintWindow(), nullptr);
    EXPECT_TRUE(Application->HintWindow()->IsShowing());
    EXPECT_EQ(Application->HintWindow()->Caption(), "Starts it");
    // Leaving the control hides it.
    mouse(form.get(), WM_MOUSEMOVE, 300, 250);
    EXPECT_FALSE(Application->HintWindow()->IsShowing());
    // Its class can be replaced; turning hints off and on makes a new window.
    int made = 0;
    Application->HintWindowClass = [&](TComponent* o) {
        ++made;
        return new THintWindow(o);
    };
    Application->SetShowHint(false);
    EXPECT_EQ(Application->HintWindow(), nullptr);
    Application->SetShowHint(true);
    Application->ActivateHint(TPoint{0, 0});
    mouse(button, WM_MOUSEMOVE, 6, 6);
    Application->ActivateHint(TPoint{20, 20});
    EXPECT_EQ(made, 1);
    Application->CancelHint();
    Application->HintWindowClass = nullptr;
    Application->HintPause = 500;
    Application->HintHidePause = 2500;
}

namespace {

TEST_F(StdCtrls, HidingAnAlignedPanelGivesItsPlaceToTheOthers) {
    auto* top = add<TPanel>(0, 0, 400, 50);
    top->SetAlign(alTop);
    auto* bottom = add<TPanel>(0, 0, 400, 40);
    bottom->SetAlign(alBottom);
    auto* client = add<TPanel>(0, 0, 10, 10);
    client->SetAlign(alClient);
    EXPECT_EQ(client->BoundsRect(), TRect(0, 50, 400, 260));
    bottom->Hide();
    EXPECT_EQ(client->BoundsRect(), TRect(0, 50, 400, 300));
    top->Hide();
    bottom->Show();
    EXPECT_EQ(client->BoundsRect(), TRect(0, 0, 400, 260));
    EXPECT_EQ(bottom->BoundsRect(), TRect(0, 260, 400, 300));
}

} // namespace
