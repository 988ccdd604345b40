#include <gtest/gtest.h>

#include <memory>

#include "classlib/forms.h"
#include "platform/win/controls/header.h"
#include "platform/win/controls/listview.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "platform/win/scroll.h"
#include "platform/win/windows.h"
#include "skin/controls/ListViewSP.h"
#include "skin/skin_test_support.h"

namespace {

using skintest::Element;
using skintest::PicturePixel;

TspSkinData& defaultSkin() {
    static TspSkinData sd(nullptr);
    if (sd.Empty) sd.LoadFromCompressedFile(skintest::DefaultSkinFile());
    return sd;
}

// The download list's shape: report view, four columns, row select.
class SkinListView : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TForm>(nullptr);
        form->BorderStyle = bsNone;
        form->SetBounds(40, 40, 420, 220);
        form->Show();
        lv = new TspSkinListViewSP(form.get());
        lv->SetBounds(0, 0, 380, 200);
        lv->SetViewStyle(vsReport);
        lv->SetRowSelect(true);
        lv->SetReadOnly(true);
        lv->SetWordBreak(false);
        for (const char* c : {"Title", "Save Location", "Length", "Status"}) {
            TListColumn* col = lv->Columns()->Add();
            col->SetCaption(c);
            col->SetWidth(90);
        }
        lv->SetParent(form.get());
        bar = new TspSkinScrollBar(form.get());
        bar->SetKind(sbVertical);
        bar->SetBounds(380, 0, 19, 200);
        bar->SetParent(form.get());
        lv->SetVScrollBar(bar);
        Application->ProcessMessages();
    }
    void TearDown() override { form.reset(); }
    void fill(int n) {
        for (int i = 0; i < n; ++i) {
            TListItem* it = lv->Items()->Add();
            it->SetCaption("Song " + std::to_string(i));
            it->SubItems()->Add("/music");
            it->SubItems()->Add("3:0" + std::to_string(i % 10));
            it->SubItems()->Add("Ready");
        }
        Application->ProcessMessages();
    }
    COLORREF pixel(TWinControl* c, int x, int y) {
        HBITMAP b = RenderWindowToBitmap(c->Handle());
        COLORREF r = b->getPixel(x, y);
        DeleteObject(b);
        return r;
    }
    void mouse(TWinControl* c, UINT msg, int x, int y, WPARAM keys) {
        TPoint p = c->ClientToScreen(TPoint{x, y});
        DeliverMouse(msg, POINT{p.X, p.Y}, keys);
        Application->ProcessMessages();
    }
    void key(int vk) {
        DeliverKey(true, vk, 0);
        DeliverKey(false, vk, 0);
        Application->ProcessMessages();
    }
    void headerMouse(UINT msg, int x, int y, WPARAM keys) {
        POINT p{x, y};
        ClientToScreen(lv->HeaderHandle(), &p);
        DeliverMouse(msg, p, keys);
        Application->ProcessMessages();
    }
    std::unique_ptr<TForm> form;
    TspSkinListViewSP* lv = nullptr;
    TspSkinScrollBar* bar = nullptr;
};

} // namespace

TEST_F(SkinListView, HasNoFrameNorNativeBarsAndHooksItsHeader) {
    fill(40);
    EXPECT_EQ(lv->SkinDataName(), "listview");
    EXPECT_EQ(lv->HeaderSkinDataName(), "resizebutton");
    EXPECT_EQ(lv->DefaultFont()->Name(), "Arial");
    RECT c{};
    GetClientRect(lv->Handle(), &c);
    EXPECT_EQ(TRect(c), TRect(0, 0, 380, 200));
    ASSERT_NE(lv->HeaderHandle(), HWND(0));
    // The header reaches 25 pixels past the list's width.
    RECT h{};
    GetClientRect(lv->HeaderHandle(), &h);
    EXPECT_EQ(h.right, 380 + 25);
    EXPECT_EQ(SendMessage(lv->Handle(), 0xB1C9, 0, 0), 12851);
}

TEST_F(SkinListView, ExternalBarFollowsAndScrollsTheList) {
    fill(3);
    EXPECT_FALSE(bar->Visible());
    fill(47);
    lv->UpDateScrollBars();
    int page = int(SendMessage(lv->Handle(), LVM_GETCOUNTPERPAGE, 0, 0));
    ASSERT_GT(page, 0);
    EXPECT_TRUE(bar->Visible());
    EXPECT_EQ(bar->Max(), 49);
    EXPECT_EQ(bar->PageSize(), page);
    EXPECT_EQ(bar->LargeChange(), page);
    // Moving the bar scrolls the list by whole rows.
    bar->SetPosition(10);
    EXPECT_EQ(lv->TopItem()->Index(), 10);
    // Keys scroll the list: the bar follows.
    lv->SetFocus();
    key(VK_END);
    EXPECT_EQ(bar->Position(), GetScrollPos(lv->Handle(), SB_VERT));
    EXPECT_GT(bar->Position(), 10);
    // Emptied: the bar goes.
    lv->Items()->Clear();
    lv->UpDateScrollBars();
    EXPECT_FALSE(bar->Visible());
}

TEST_F(SkinListView, ABarLetGoOfNoLongerMovesTheList) {
    fill(50);
    lv->UpDateScrollBars();
    auto* other = new TspSkinScrollBar(form.get());
    other->SetKind(sbVertical);
    other->SetBounds(400, 0, 19, 200);
    other->SetParent(form.get());
    lv->SetVScrollBar(other);
    // The old bar is on its own now: moving it, also after the list is
    // gone, reaches no list.
    EXPECT_FALSE(bar->OnChange);
    bar->SetRange(0, 49, 0, 10);
    bar->SetPosition(20);
    EXPECT_EQ(lv->TopItem()->Index(), 0);
    delete lv;
    lv = nullptr;
    bar->SetPosition(30);
    EXPECT_EQ(bar->Position(), 30);
}

TEST_F(SkinListView, SelectionByMouseAndKeys) {
    fill(5);
    int selected = 0;
    lv->OnSelectItem = [&](TObject*, TListItem*, bool Selected) { selected += Selected; };
    TRect r = lv->Items()->Item(2)->DisplayRect(drBounds);
    mouse(lv, WM_LBUTTONDOWN, 150, (r.Top + r.Bottom) / 2, MK_LBUTTON);
    mouse(lv, WM_LBUTTONUP, 150, (r.Top + r.Bottom) / 2, 0);
    ASSERT_NE(lv->Selected(), nullptr);
    EXPECT_EQ(lv->Selected()->Index(), 2);
    key(VK_DOWN);
    EXPECT_EQ(lv->Selected()->Index(), 3);
    EXPECT_EQ(selected, 2);
}

TEST_F(SkinListView, ColumnsResizeThroughTheHeader) {
    fill(2);
    TRect s0 = lv->SectionRect(0);
    int y = s0.Height() / 2;
    // A press on a divider drags it; the section is not pressed.
    headerMouse(WM_LBUTTONDOWN, s0.Right, y, MK_LBUTTON);
    EXPECT_FALSE(lv->HeaderDown());
    headerMouse(WM_MOUSEMOVE, s0.Right + 30, y, MK_LBUTTON);
    headerMouse(WM_LBUTTONUP, s0.Right + 30, y, 0);
    EXPECT_EQ(lv->Columns()->Items(0)->Width(), 120);
    EXPECT_EQ(lv->SectionRect(1).Left, 120);

    // A press inside a section presses it until the release.
    TRect s1 = lv->SectionRect(1);
    headerMouse(WM_LBUTTONDOWN, s1.Left + 20, y, MK_LBUTTON);
    EXPECT_TRUE(lv->HeaderDown());
    EXPECT_EQ(lv->ActiveSection(), 1);
    EXPECT_EQ(pixel(lv, s1.Left + 1, 1), ColorToRGB(TColor(0xB59385)));
    headerMouse(WM_LBUTTONUP, s1.Left + 20, y, 0);
    EXPECT_FALSE(lv->HeaderDown());
    EXPECT_EQ(lv->ActiveSection(), -1);
    EXPECT_EQ(pixel(lv, s1.Left + 1, 1), ColorToRGB(clBtnFace));
    EXPECT_EQ(pixel(lv, s1.Left, 1), ColorToRGB(clBtnShadow));
}

TEST_F(SkinListView, HeaderAndRowsTakeTheSkinPictures) {
    auto& sd = defaultSkin();
    fill(4);
    lv->SetSkinData(&sd);
    auto* el = Element<TspDataSkinListView>(sd, "listview");
    ASSERT_NE(el, nullptr);
    EXPECT_EQ(lv->Color(), el->BGColor);
    EXPECT_EQ(lv->Font()->Height(), el->FontHeight);

    auto* rb = Element<TspDataSkinButtonControl>(sd, "resizebutton");
    ASSERT_NE(rb, nullptr);
    TRect s0 = lv->SectionRect(0);
    // The section's left edge in the middle: the picture's left edge in its middle.
    EXPECT_EQ(pixel(lv, s0.Left, s0.Height() / 2),
              PicturePixel(sd, rb->PictureIndex, rb->SkinRect.Left,
                           rb->SkinRect.Top + rb->SkinRect.Height() / 2));

    // A selected row shows the list box's focus picture.
    auto* lb = Element<TspDataSkinListBox>(sd, "listbox");
    ASSERT_NE(lb, nullptr);
    TListItem* item = lv->Items()->Item(1);
    item->SetSelected(true);
    TRect sel = item->DisplayRect(drSelectBounds);
    COLORREF plain = pixel(lv, 300, lv->Items()->Item(2)->DisplayRect(drBounds).Top + 1);
    EXPECT_EQ(plain, ColorToRGB(el->BGColor));
    // Past the texts, inside the picture's stretched middle.
    COLORREF row = pixel(lv, sel.Right - 12, (sel.Top + sel.Bottom) / 2);
    EXPECT_EQ(row, PicturePixel(sd, lb->PictureIndex, lb->FocusItemRect.Left + 45,
                                lb->FocusItemRect.Top + lb->FocusItemRect.Height() / 2));

    // Sub-item texts keep the list's font colour on the selected row.
    RECT lr{LVIR_LABEL, 3, 0, 0};
    SendMessage(lv->Handle(), LVM_GETSUBITEMRECT, 1, reinterpret_cast<LPARAM>(&lr));
    HBITMAP b = RenderWindowToBitmap(lv->Handle());
    int inFontColour = 0;
    for (int y = lr.top; y < lr.bottom; ++y)
        for (int x = lr.left; x < lr.right; ++x)
            inFontColour += b->getPixel(x, y) == ColorToRGB(el->FontColor);
    DeleteObject(b);
    EXPECT_GT(inFontColour, 0);
}

TEST_F(SkinListView, WithoutSkinTheSelectionIsDotted) {
    fill(3);
    TListItem* item = lv->Items()->Item(0);
    item->SetSelected(true);
    TRect sel = item->DisplayRect(drSelectBounds);
    HBITMAP b = RenderWindowToBitmap(lv->Handle());
    int dots = 0;
    for (int x = sel.Left; x < sel.Left + 20; ++x)
        dots += b->getPixel(x, sel.Top) == ColorToRGB(lv->Font()->Color());
    DeleteObject(b);
    EXPECT_GE(dots, 8);
    EXPECT_LE(dots, 12);
}

TEST_F(SkinListView, CheckBoxesFromTheCheckListPicture) {
    auto& sd = defaultSkin();
    lv->SetCheckboxes(true);
    fill(2);
    lv->Items()->Item(0)->SetChecked(true);
    lv->SetSkinData(&sd);
    auto* cl = Element<TspDataSkinCheckListBox>(sd, "checklistbox");
    ASSERT_NE(cl, nullptr);
    for (int i = 0; i < 2; ++i) {
        TRect bounds = lv->Items()->Item(i)->DisplayRect(drBounds);
        const TRect& src = i == 0 ? cl->CheckImageRect : cl->UnCheckImageRect;
        int cx = src.Width() / 2, cy = src.Height() / 2;
        EXPECT_EQ(pixel(lv, bounds.Left + 2 + cx - 1, bounds.Top + 2 + cy - 1),
                  PicturePixel(sd, cl->PictureIndex, src.Left + cx, src.Top + cy))
            << i;
    }
}

TEST_F(SkinListView, OwnerDrawnHeaderSections) {
    fill(2);
    std::vector<std::string> seen;
    lv->OnDrawHeaderSection = [&](TCanvas* C, TListColumn* Column, bool, const TRect& R) {
        seen.push_back(Column->Caption());
        C->Brush()->SetColor(clBlue);
        C->FillRect(R);
    };
    EXPECT_EQ(pixel(lv, 10, 5), RGB(0, 0, 255));
    // Every paint of the header asks for its four sections, first to last.
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(seen.size() % 4, 0u);
    EXPECT_EQ(std::vector<std::string>(seen.begin(), seen.begin() + 4),
              (std::vector<std::string>{"Title", "Save Location", "Length", "Status"}));
}

TEST_F(SkinListView, HorizontalBarFollowsTheColumnsWidth) {
    auto* h = new TspSkinScrollBar(form.get());
    h->SetKind(sbHorizontal);
    h->SetBounds(0, 200, 380, 19);
    h->SetParent(form.get());
    lv->SetHScrollBar(h);
    fill(3);
    lv->UpDateScrollBars();
    EXPECT_FALSE(h->Visible()); // 360 pixels of columns in 380
    lv->Columns()->Items(0)->SetWidth(300);
    lv->UpDateScrollBars();
    EXPECT_TRUE(h->Visible());
    EXPECT_EQ(h->PageSize(), 380);
    EXPECT_TRUE(bar->Visible() == false && !h->Both());
    h->SetPosition(50);
    EXPECT_EQ(GetScrollPos(lv->Handle(), SB_HORZ), 50);
}
