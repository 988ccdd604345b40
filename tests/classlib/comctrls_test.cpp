#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "classlib/comctrls.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "platform/display/headless.h"
#include "platform/win/controls/listview.h"
#include "platform/win/controls/tabctrl.h"
#include "platform/win/controls/updown.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"

namespace {

void pump() {
    MSG m;
    for (int i = 0; i < 10000 && PeekMessage(&m, 0, 0, 0, PM_REMOVE); ++i)
        DispatchMessage(&m);
}

void click(HWND h, int x, int y, WPARAM keys = 0, UINT down = WM_LBUTTONDOWN) {
    POINT p{x, y};
    ClientToScreen(h, &p);
    DeliverMouse(down, p, keys | MK_LBUTTON);
    pump();
    if (down == WM_LBUTTONDOWN) DeliverMouse(WM_LBUTTONUP, p, keys);
    pump();
}

// Press and release reach the queue together, so a loaded machine can never
// let the up-down's repeat timer fire between them.
void quickClick(HWND h, int x, int y) {
    POINT p{x, y};
    ClientToScreen(h, &p);
    DeliverMouse(WM_LBUTTONDOWN, p, MK_LBUTTON);
    DeliverMouse(WM_LBUTTONUP, p, 0);
    pump();
}

std::string nativeText(HWND lv, int item, int sub) {
    char buf[256] = {0};
    LVITEM it;
    it.subItem = sub;
    it.text = buf;
    it.textMax = sizeof buf;
    SendMessage(lv, LVM_GETITEMTEXT, WPARAM(item), reinterpret_cast<LPARAM>(&it));
    return buf;
}

struct ComCtrlsTest : ::testing::Test {
    void SetUp() override {
        form = std::make_unique<TForm>(nullptr);
        form->BorderStyle = bsNone;
        form->SetBounds(20, 20, 400, 300);
        form->Show();
    }
    void TearDown() override {
        form.reset();
        pump();
    }
    // A report-view list like the download list, with n rows.
    TListView* makeList(int n) {
        auto* lv = new TListView(form.get());
        lv->SetBounds(10, 10, 360, 200);
        lv->SetViewStyle(vsReport);
        lv->SetRowSelect(true);
        lv->SetReadOnly(true);
        lv->SetParent(form.get());
        for (const char* c : {"Title", "Save Location", "Length", "Status"}) {
            TListColumn* col = lv->Columns()->Add();
            col->SetCaption(c);
            col->SetWidth(85);
        }
        for (int i = 0; i < n; ++i) {
            TListItem* it = lv->Items()->Add();
            it->SetCaption("Song " + std::to_string(i));
            it->SubItems()->Add("/music/song" + std::to_string(i) + ".mp3");
            it->SubItems()->Add("03:0" + std::to_string(i % 10));
            it->SubItems()->Add("Ready");
        }
        return lv;
    }
    POINT rowCentre(TListItem* it) {
        TRect r = it->DisplayRect(drBounds);
        return POINT{r.Left + 30, (r.Top + r.Bottom) / 2};
    }
    std::unique_ptr<TForm> form;
};

} // namespace

TEST_F(ComCtrlsTest, ListViewMirrorsItemsAndRaisesSelectionEvents) {
    TListView* lv = makeList(5);
    HWND h = lv->Handle();
    EXPECT_EQ(SendMessage(h, LVM_GETITEMCOUNT, 0, 0), 5);
    EXPECT_EQ(nativeText(h, 3, 0), "Song 3");
    EXPECT_EQ(nativeText(h, 3, 1), "/music/song3.mp3");
    lv->Items()->Item(3)->SubItems()->Delete(2);
    lv->Items()->Item(3)->SubItems()->Add("Finished");
    EXPECT_EQ(nativeText(h, 3, 3), "Finished");

    std::vector<std::string> seen;
    lv->OnSelectItem = [&](TObject*, TListItem* it, bool sel) {
        seen.push_back((sel ? "+" : "-") + it->Caption());
    };
    int clicks = 0, doubles = 0;
    lv->OnClick = [&](TObject*) { ++clicks; };
    lv->OnDblClick = [&](TObject*) { ++doubles; };
    POINT p = rowCentre(lv->Items()->Item(1));
    click(h, p.x, p.y);
    EXPECT_EQ(lv->Selected(), lv->Items()->Item(1));
    EXPECT_EQ(lv->ItemIndex(), 1);
    p = rowCentre(lv->Items()->Item(2));
    click(h, p.x, p.y);
    EXPECT_EQ(seen, (std::vector<std::string>{"+Song 1", "-Song 1", "+Song 2"}));
    EXPECT_EQ(clicks, 2);
    click(h, p.x, p.y, 0, WM_LBUTTONDBLCLK);
    EXPECT_EQ(doubles, 1);
    // Single selection: ctrl-click moves it, setting Selected in code too.
    p = rowCentre(lv->Items()->Item(4));
    click(h, p.x, p.y, MK_CONTROL);
    EXPECT_EQ(lv->SelCount(), 1);
    lv->SetMultiSelect(true);
    p = rowCentre(lv->Items()->Item(0));
    click(h, p.x, p.y, MK_CONTROL);
    EXPECT_EQ(lv->SelCount(), 2);
    lv->SetSelected(lv->Items()->Item(3));
    EXPECT_EQ(lv->SelCount(), 1);
    EXPECT_TRUE(lv->Items()->Item(3)->Selected());
    EXPECT_TRUE(lv->Items()->Item(3)->Focused());
    // A column click names the column.
    TListColumn* clicked = nullptr;
    lv->OnColumnClick = [&](TObject*, TListColumn* c) { clicked = c; };
    HWND header = HWND(SendMessage(h, LVM_GETHEADER, 0, 0));
    click(header, 85 + 40, 5);
    EXPECT_EQ(clicked, lv->Columns()->Items(1));
    EXPECT_THROW(lv->Items()->Item(5), EListError);
    EXPECT_THROW(lv->Columns()->Items(-1), EListError);
}

TEST_F(ComCtrlsTest, ItemsMadeBeforeTheWindowAndAcrossRecreationStay) {
    auto* lv = new TListView(form.get());
    lv->SetViewStyle(vsReport);
    lv->Columns()->Add()->SetCaption("Title");
    lv->Columns()->Add()->SetWidth(70);
    TListItem* a = lv->Items()->Add();
    a->SetCaption("early");
    a->SubItems()->Add("sub");
    a->SetSelected(true);
    EXPECT_EQ(lv->Selected(), a);
    lv->SetBounds(0, 0, 200, 100);
    lv->SetParent(form.get()); // the window comes now
    HWND h = lv->Handle();
    EXPECT_EQ(nativeText(h, 0, 1), "sub");
    EXPECT_EQ(lv->Selected(), a);
    SendMessage(h, LVM_SETCOLUMNWIDTH, 0, 120); // as a drag would
    lv->DestroyHandle();
    lv->HandleNeeded();
    EXPECT_NE(lv->Handle(), h);
    EXPECT_EQ(nativeText(lv->Handle(), 0, 0), "early");
    EXPECT_EQ(lv->Columns()->Items(1)->Width(), 70);
}

TEST_F(ComCtrlsTest, SortingOrdersWindowAndModelAlike) {
    TListView* lv = makeList(0);
    lv->SetMultiSelect(true);
    for (const char* t : {"pear", "Apple", "fig", "banana"})
        lv->Items()->Add()->SetCaption(t);
    lv->Items()->Item(2)->SetSelected(true); // fig
    ASSERT_TRUE(lv->AlphaSort());
    std::vector<std::string> model, window;
    for (int i = 0; i < lv->Items()->Count(); ++i) {
        model.push_back(lv->Items()->Item(i)->Caption());
        window.push_back(nativeText(lv->Handle(), i, 0));
    }
    EXPECT_EQ(model, (std::vector<std::string>{"Apple", "banana", "fig", "pear"}));
    EXPECT_EQ(window, model);
    EXPECT_EQ(lv->Selected()->Caption(), "fig");
    EXPECT_EQ(lv->ItemIndex(), 2);
    lv->OnCompare = [](TObject*, TListItem* a, TListItem* b, int, int& r) {
        r = int(a->Caption().size()) - int(b->Caption().size());
    };
    lv->AlphaSort();
    EXPECT_EQ(lv->Items()->Item(0)->Caption(), "fig");
    EXPECT_EQ(nativeText(lv->Handle(), 3, 0), "banana");
    // A sort asked for from inside a comparison is refused.
    lv->OnCompare = [&](TObject*, TListItem*, TListItem*, int, int& r) {
        r = 0;
        EXPECT_FALSE(lv->AlphaSort());
    };
    EXPECT_TRUE(lv->AlphaSort());
}

TEST_F(ComCtrlsTest, AdvancedCustomDrawPaintsOnTheListCanvas) {
    TListView* lv = makeList(3);
    lv->Items()->Item(1)->SetSelected(true);
    std::vector<TCustomDrawState> states;
    lv->OnAdvancedCustomDrawItem = [&](TCustomListView* sender, TListItem* item,
                                       TCustomDrawState state, TCustomDrawStage stage,
                                       bool& defaultDraw) {
        if (stage != cdPrePaint) return;
        states.push_back(state);
        defaultDraw = false;
        sender->Canvas()->Brush()->SetColor(item->Index() == 1 ? clRed : clLime);
        sender->Canvas()->FillRect(item->DisplayRect(drBounds));
    };
    HBITMAP shot = RenderWindowToBitmap(lv->Handle());
    ASSERT_NE(shot, nullptr);
    RECT in{};
    GetClientRect(lv->Handle(), &in);
    RECT w{};
    GetWindowRect(lv->Handle(), &w);
    int edge = ((w.right - w.left) - in.right) / 2; // the client edge
    POINT sel = rowCentre(lv->Items()->Item(1)), other = rowCentre(lv->Items()->Item(2));
    auto at = [&](POINT p) {
        return reinterpret_cast<const uint32_t*>(shot->row(p.y + edge))[p.x + edge] & 0xFFFFFF;
    };
    EXPECT_EQ(at(sel), 0xFF0000u);
    EXPECT_EQ(at(other), 0x00FF00u);
    ASSERT_EQ(states.size(), 3u);
    EXPECT_TRUE(states[1] & cdsSelected);
    EXPECT_FALSE(states[0] & cdsSelected);
    DeleteObject(shot);
}

TEST_F(ComCtrlsTest, HandlersThatDeleteItemsDoNotBreakTheList) {
    TListView* lv = makeList(6);
    lv->OnSelectItem = [&](TObject*, TListItem* it, bool sel) {
        if (sel) lv->Items()->Clear();
        (void)it;
    };
    POINT p = rowCentre(lv->Items()->Item(2));
    click(lv->Handle(), p.x, p.y);
    EXPECT_EQ(lv->Items()->Count(), 0);
    EXPECT_EQ(SendMessage(lv->Handle(), LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(lv->Selected(), nullptr);
    lv->OnSelectItem = nullptr;
    TListItem* it = lv->Items()->Add();
    it->Delete();
    EXPECT_EQ(lv->Items()->Count(), 0);
}

TEST_F(ComCtrlsTest, PageControlSwitchesPagesByTabsAndCode) {
    auto* pc = new TPageControl(form.get());
    pc->SetBounds(10, 10, 360, 240);
    pc->SetParent(form.get());
    std::vector<TTabSheet*> sheets;
    for (const char* c : {"Result", "Hot Songs", "Categories", "Advanced"}) {
        auto* s = new TTabSheet(form.get());
        s->SetCaption(c);
        s->SetPageControl(pc);
        sheets.push_back(s);
    }
    HWND h = pc->Handle();
    EXPECT_EQ(pc->ActivePage(), sheets[0]);
    EXPECT_EQ(SendMessage(h, TCM_GETITEMCOUNT, 0, 0), 4);
    TRect page = pc->DisplayRect();
    EXPECT_EQ(sheets[0]->BoundsRect(), page);
    EXPECT_TRUE(IsWindowVisible(sheets[0]->Handle()));
    int changes = 0;
    bool allow = true;
    pc->OnChange = [&](TObject*) { ++changes; };
    pc->OnChanging = [&](TObject*, bool& a) { a = allow; };
    RECT tab{};
    SendMessage(h, TCM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&tab));
    click(h, (tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2);
    EXPECT_EQ(pc->ActivePage(), sheets[2]);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(IsWindowVisible(sheets[2]->Handle()));
    EXPECT_FALSE(IsWindowVisible(sheets[0]->Handle()));
    // Keys move through the tabs of the focused control.
    auto* hl = display::CurrentHeadless();
    ASSERT_NE(hl, nullptr);
    DeliverKey(true, VK_RIGHT, 0);
    pump();
    EXPECT_EQ(pc->ActivePage(), sheets[3]);
    allow = false;
    DeliverKey(true, VK_LEFT, 0);
    pump();
    EXPECT_EQ(pc->ActivePage(), sheets[3]);
    allow = true;
    // Hidden tabs leave the active page to code, as the centre view does.
    for (int i = 0; i < 3; ++i)
        sheets[size_t(i)]->SetTabVisible(false);
    EXPECT_EQ(SendMessage(h, TCM_GETITEMCOUNT, 0, 0), 1);
    pc->SetActivePage(sheets[1]);
    EXPECT_EQ(pc->ActivePage(), sheets[1]);
    EXPECT_EQ(pc->TabIndex(), -1);
    EXPECT_TRUE(IsWindowVisible(sheets[1]->Handle()));
    EXPECT_EQ(sheets[3]->TabIndex(), 0);
    // Freeing the active page moves on to the next.
    delete sheets[1];
    EXPECT_EQ(pc->PageCount(), 3);
    EXPECT_EQ(pc->ActivePage(), sheets[2]);
    pc->SelectNextPage(true);
    EXPECT_EQ(pc->ActivePage(), sheets[3]);
    EXPECT_THROW(pc->Pages(7), EListError);
}

TEST_F(ComCtrlsTest, NarrowPageControlScrollsItsTabsWithTheUpDown) {
    auto* pc = new TPageControl(form.get());
    pc->SetBounds(10, 10, 150, 100);
    pc->SetParent(form.get());
    for (int i = 0; i < 6; ++i) {
        auto* s = new TTabSheet(form.get());
        s->SetCaption("Sheet number " + std::to_string(i));
        s->SetPageControl(pc);
    }
    HWND ud = FindWindowEx(pc->Handle(), 0, UPDOWN_CLASS, nullptr);
    ASSERT_NE(ud, 0u);
    RECT u{};
    GetWindowRect(ud, &u);
    click(ud, (u.right - u.left) - 3, 3);
    RECT tab{};
    SendMessage(pc->Handle(), TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&tab));
    EXPECT_EQ(tab.left, 2);
    pc->SetWidth(1200);
    EXPECT_EQ(FindWindowEx(pc->Handle(), 0, UPDOWN_CLASS, nullptr), 0u);
}

TEST_F(ComCtrlsTest, UpDownStepsByItsIncrementIntoItsAssociate) {
    auto* buddy = new TPanel(form.get());
    buddy->SetBounds(10, 10, 80, 24);
    buddy->SetParent(form.get());
    auto* ud = new TUpDown(form.get());
    ud->SetBounds(100, 10, 17, 24);
    ud->SetMin(0);
    ud->SetMax(20);
    ud->SetIncrement(5);
    ud->SetPosition(12);
    ud->SetParent(form.get());
    ud->SetAssociate(buddy);
    EXPECT_EQ(buddy->GetText(), "12");
    std::vector<TUDBtnType> clicks;
    bool allow = true;
    ud->OnClick = [&](TObject*, TUDBtnType b) { clicks.push_back(b); };
    ud->OnChanging = [&](TObject*, bool& a) { a = allow; };
    quickClick(ud->Handle(), 8, 4);
    EXPECT_EQ(ud->Position(), 17);
    quickClick(ud->Handle(), 8, 4);
    EXPECT_EQ(ud->Position(), 20); // held at Max
    quickClick(ud->Handle(), 8, 20);
    EXPECT_EQ(ud->Position(), 15);
    EXPECT_EQ(buddy->GetText(), "15");
    EXPECT_EQ(clicks, (std::vector<TUDBtnType>{btNext, btNext, btPrev}));
    allow = false;
    quickClick(ud->Handle(), 8, 20);
    EXPECT_EQ(ud->Position(), 15);
    ud->SetMax(10);
    EXPECT_EQ(ud->Position(), 10);
    delete buddy; // the up-down forgets it
    EXPECT_EQ(ud->Associate(), nullptr);
    allow = true;
    quickClick(ud->Handle(), 8, 20);
    EXPECT_EQ(ud->Position(), 5);
}
