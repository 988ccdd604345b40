// A small skinned MDI main form on the headless display: its children are
// tiled and cascaded in the free area, shown as tabs (the active one
// pressed), activated and closed from the tabs bar and driven by the child
// caption buttons of the menu bar while maximized; a control on the main
// form takes the client's background.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "platform/display/headless.h"
#include "platform/os/clock.h"
#include "platform/win/input.h"
#include "platform/win/mdi.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/window.h"
#include "skin/engine/SPUtils.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedForm.h"

namespace {

class SkinnedMDITest : public ::testing::Test {
protected:
    void SetUp() override {
        Application->Initialize();
        os::SetClock(&clock);
        SetMonitors({MonitorDesc{RECT{0, 0, 1280, 1024}, RECT{0, 0, 1280, 1000}}});
        main = new TForm(nullptr);
        main->SetName("MainForm");
        main->SetFormStyle(fsMDIForm);
        main->SetBounds(40, 30, 640, 480);
        Application->SetMainForm(main);
        msf = new TspSkinnedForm(main);
        mm = new TspSkinMainMenu(main);
        auto* file = new TMenuItem(mm);
        file->Caption = "&File";
        mm->Items()->Add(file);
        windows = new TMenuItem(mm);
        windows->Caption = "&Window";
        mm->Items()->Add(windows);
        main->WindowMenu = windows;
        menuBar = new TspSkinMainMenuBar(main);
        menuBar->SetParent(main);
        menuBar->SetSkinnedForm(msf);
        menuBar->SetMainMenu(mm);
        tabs = new TspSkinMDITabsBar(main);
        tabs->SetParent(main);
        tabs->SetTop(100);
        tabs->SetAlign(alTop);
        tabs->SetSkinnedForm(msf);
        main->Show();
        SetActiveWindow(main->Handle());
        Application->ProcessMessages();
    }
    void TearDown() override {
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            delete *it;
        delete main;
        Application->SetMainForm(nullptr);
        Application->ProcessMessages();
        SetMonitors({});
        os::SetClock(nullptr);
    }
    TForm* child(const std::string& name) {
        auto* f = new TForm(nullptr);
        f->SetName(name);
        f->SetCaption(name);
        f->SetFormStyle(fsMDIChild);
        f->SetBounds(10, 10, 200, 150);
        new TspSkinnedForm(f);
        f->OnDestroy = [this](TObject* o) { std::erase(children, static_cast<TForm*>(o)); };
        f->Show();
        Application->ProcessMessages();
        children.push_back(f);
        return f;
    }
    TspSkinnedForm* skinOf(TForm* f) { return GetSkinnedForm(f); }
    TspMDITab* tabOf(TForm* f) {
        for (auto& t : tabs->ObjectList)
            if (t->Child == f) return t.get();
        return nullptr;
    }
    COLORREF tabsPixel(int x, int y) {
        HBITMAP b = RenderWindowToBitmap(tabs->Handle());
        COLORREF p = b->getPixel(x, y);
        DeleteObject(b);
        return p;
    }
    void click(TControl* c, TPoint at) {
        TPoint s = c->ClientToScreen(at);
        POINT p{s.X, s.Y};
        SetCursorPosFromBackend(p);
        DeliverMouse(WM_MOUSEMOVE, p, 0);
        DeliverMouse(WM_LBUTTONDOWN, p, MK_LBUTTON);
        DeliverMouse(WM_LBUTTONUP, p, 0);
        Application->ProcessMessages();
    }
    TspSkinMainMenuBarButton* barButton(TStdCommand command) {
        for (auto& o : menuBar->ObjectList)
            if (auto* b = dynamic_cast<TspSkinMainMenuBarButton*>(o.get());
                b && b->Command == command)
                return b;
        return nullptr;
    }

    os::ManualClock clock{5000};
    TForm* main = nullptr;
    TspSkinnedForm* msf = nullptr;
    TspSkinMainMenu* mm = nullptr;
    TMenuItem* windows = nullptr;
    TspSkinMainMenuBar* menuBar = nullptr;
    TspSkinMDITabsBar* tabs = nullptr;
    std::vector<TForm*> children;
};

} // namespace

TEST_F(SkinnedMDITest, ChildrenTileFromTheBottomRightOfTheFreeArea) {
    for (const char* n : {"A", "B", "C", "D", "E"})
        child(n);
    const TRect area = msf->GetMDIAreaRect();
    EXPECT_EQ(area.Top, menuBar->Height() + tabs->Height());
    msf->Tile();
    const int W = area.Width(), H = area.Height(), cw = W / 2;
    // Children in the client's order: the last three fill the right column from
    // the bottom, the first two the left one.
    const TRect want[] = {
        Bounds(W - 2 * cw, std::max(0, H - 2 * (H / 2)), cw, H / 2),
        Bounds(W - 2 * cw, H - H / 2, cw, H / 2),
        Bounds(W - cw, std::max(0, H - 3 * (H / 3)), cw, H / 3),
        Bounds(W - cw, H - 2 * (H / 3), cw, H / 3),
        Bounds(W - cw, H - H / 3, cw, H / 3),
    };
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(main->MDIChildren(i)->BoundsRect(), want[i]) << i;
}

TEST_F(SkinnedMDITest, TwoChildrenCascadeOneCaptionApart) {
    child("A");
    child("B");
    const TRect area = msf->GetMDIAreaRect();
    const int s = msf->DefCaptionHeight() + 3;
    msf->Cascade();
    EXPECT_EQ(main->MDIChildren(1)->BoundsRect(),
              Bounds(0, 0, area.Width() - s, area.Height() - s));
    EXPECT_EQ(main->MDIChildren(0)->BoundsRect(),
              Bounds(s, s, area.Width() - s, area.Height() - s));
}

TEST_F(SkinnedMDITest, ArrangingNothingOrWithoutAStepIsHarmless) {
    msf->Tile();
    msf->Cascade();
    TForm* a = child("A");
    // A frame whose client starts at its top gives no cascade step.
    msf->FSkinSupport = true;
    msf->NewClRect = TRect(0, 0, 10, 10);
    msf->Cascade();
    EXPECT_EQ(a->Left(), 0);
    // Arranging is for MDI main forms only.
    skinOf(a)->CloseAll();
    EXPECT_TRUE(a->Visible());
}

TEST_F(SkinnedMDITest, MaximizedChildFillsTheAreaAndItsTabIsPressed) {
    TForm* a = child("A");
    TForm* b = child("B");
    TForm* c = child("C");
    skinOf(c)->SetWindowState(wsMaximized);
    const TRect area = msf->GetMDIAreaRect();
    EXPECT_EQ(c->BoundsRect(), Bounds(0, 0, area.Width(), area.Height()));
    EXPECT_TRUE(msf->GetMDIChildMaximized());
    EXPECT_EQ(msf->FrameCaptionText(), main->Caption() + " - [C]");
    EXPECT_EQ(msf->GetMaximizedMDIChildSkinForm(), skinOf(c));
    ASSERT_EQ(tabs->ObjectList.size(), 3u);
    EXPECT_EQ(tabs->ObjectList[0]->Child, a);
    EXPECT_EQ(tabs->ObjectList[1]->Child, b);
    for (auto& t : tabs->ObjectList)
        EXPECT_EQ(t->Active, t->Child == c);
    HBITMAP b0 = RenderWindowToBitmap(tabs->Handle());
    DeleteObject(b0);
    TRect pressed = tabOf(c)->ObjectRect, idle = tabOf(a)->ObjectRect;
    EXPECT_EQ(tabsPixel(pressed.Left + 3, 3), ColorToRGB(TColor(0xB59385)));
    EXPECT_EQ(tabsPixel(idle.Left + 3, 3), ColorToRGB(clBtnFace));
    // The window list has one item per child, the active one checked.
    ASSERT_EQ(windows->Count(), 3);
    EXPECT_TRUE(windows->Items(2)->Checked);
    EXPECT_FALSE(windows->Items(0)->Checked);
    // The menu bar shows the child's caption buttons.
    EXPECT_TRUE(menuBar->FMDIChildMax);
    EXPECT_EQ(menuBar->ButtonsCount, 4);
    // A resized client keeps the maximized child filling it.
    main->SetBounds(40, 30, 500, 400);
    EXPECT_EQ(c->BoundsRect(),
              Bounds(0, 0, msf->GetMDIAreaRect().Width(), msf->GetMDIAreaRect().Height()));
}

TEST_F(SkinnedMDITest, TabsActivateAndCloseTheirChildren) {
    TForm* a = child("A");
    TForm* b = child("B");
    tabs->SetShowCloseButtons(true);
    DeleteObject(RenderWindowToBitmap(tabs->Handle()));
    ASSERT_EQ(main->ActiveMDIChild(), b);
    TRect ra = tabOf(a)->ObjectRect;
    click(tabs, TPoint(ra.Left + 4, ra.Height() / 2));
    EXPECT_EQ(main->ActiveMDIChild(), a);
    EXPECT_TRUE(tabOf(a)->Active);
    EXPECT_FALSE(tabOf(b)->Active);
    // The close button closes the child only when released on it.
    DeleteObject(RenderWindowToBitmap(tabs->Handle()));
    TspMDITab* t = tabOf(b);
    TRect close(t->ButtonRect.Left + t->ObjectRect.Left, t->ButtonRect.Top + t->ObjectRect.Top,
                t->ButtonRect.Right + t->ObjectRect.Left, t->ButtonRect.Bottom + t->ObjectRect.Top);
    TPoint mid((close.Left + close.Right) / 2, (close.Top + close.Bottom) / 2);
    tabs->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(mid.X, mid.Y));
    EXPECT_FALSE(tabs->FDown);
    tabs->Perform(WM_LBUTTONUP, 0, MAKELPARAM(0, 0));
    EXPECT_TRUE(b->Visible());
    tabs->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(mid.X, mid.Y));
    tabs->Perform(WM_LBUTTONUP, 0, MAKELPARAM(mid.X, mid.Y));
    EXPECT_FALSE(b->Visible());
    ASSERT_EQ(tabs->ObjectList.size(), 1u);
    EXPECT_EQ(tabs->ObjectList[0]->Child, a);
    EXPECT_EQ(windows->Count(), 1);
}

TEST_F(SkinnedMDITest, RenamedChildUpdatesItsItemAndTab) {
    TForm* a = child("A");
    a->SetCaption("Renamed");
    EXPECT_EQ(windows->Items(0)->Caption, "Renamed");
    // A child refused by the bar still gets its window-list item.
    auto* r = new TForm(nullptr);
    r->SetName("R");
    r->SetFormStyle(fsMDIChild);
    auto* rsf = new TspSkinnedForm(r);
    rsf->OnAcceptToMDITabsBar = [](bool& accept) { accept = false; };
    r->Show();
    children.push_back(r);
    EXPECT_EQ(tabs->ObjectList.size(), 1u);
    EXPECT_EQ(windows->Count(), 2);
}

TEST_F(SkinnedMDITest, MenuBarCaptionButtonsActOnTheMaximizedChild) {
    struct Case {
        const char* name;
        TStdCommand command;
        TWindowState after;
        bool gone;
    };
    const Case cases[] = {
        {"minimize", cmMinimize, wsMinimized, false},
        {"restore", cmMaximize, wsNormal, false},
        {"close", cmClose, wsNormal, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TForm* f = child("Doc");
        f->OnClose = [](TObject*, TCloseAction& action) { action = caFree; };
        skinOf(f)->SetWindowState(wsMaximized);
        ASSERT_EQ(menuBar->ButtonsCount, 4);
        TspSkinMainMenuBarButton* b = barButton(c.command);
        ASSERT_NE(b, nullptr);
        EXPECT_TRUE(b->Enabled);
        b->MouseEnter();
        b->MouseDown(0, 0, mbLeft);
        b->MouseUp(0, 0, mbLeft);
        Application->ProcessMessages();
        if (c.gone) {
            EXPECT_TRUE(children.empty());
            EXPECT_TRUE(tabs->ObjectList.empty());
            EXPECT_EQ(windows->Count(), 0);
        } else {
            EXPECT_EQ(skinOf(f)->WindowState(), c.after);
            if (c.after == wsNormal) EXPECT_EQ(f->BoundsRect(), Bounds(10, 10, 200, 150));
        }
        // No child is maximized any more: the buttons leave the bar.
        EXPECT_FALSE(msf->GetMDIChildMaximized());
        EXPECT_EQ(menuBar->ButtonsCount, 0);
        EXPECT_FALSE(menuBar->FMDIChildMax);
        for (TForm* left : std::vector<TForm*>(children))
            delete left;
        Application->ProcessMessages();
    }
}

TEST_F(SkinnedMDITest, ControlOnTheMainFormTakesTheClientBackground) {
    auto* panel = new TPanel(main);
    panel->SetParent(main);
    const TRect area = msf->GetMDIAreaRect();
    panel->SetBounds(100, area.Top + 50, 40, 30);
    TBitmap under(40, 30);
    under.Canvas()->Brush()->SetColor(clRed);
    under.Canvas()->FillRect(TRect(0, 0, 40, 30));
    DrawParentBackground(panel, under.Canvas());
    EXPECT_EQ(under.Canvas()->Pixels(5, 5), ColorToRGB(clAppWorkSpace));
    EXPECT_EQ(under.Canvas()->Pixels(35, 25), ColorToRGB(clAppWorkSpace));
}

TEST_F(SkinnedMDITest, DraggedTabDropsAfterTheCentresItPassed) {
    TForm* a = child("A");
    TForm* b = child("B");
    TForm* c = child("C");
    DeleteObject(RenderWindowToBitmap(tabs->Handle()));
    auto order = [&] {
        std::vector<TForm*> v;
        for (auto& t : tabs->ObjectList)
            v.push_back(t->Child);
        return v;
    };
    auto drag = [&](int from, int by) {
        tabs->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from, 5));
        tabs->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(from + by, 5));
        tabs->Perform(WM_LBUTTONUP, 0, MAKELPARAM(from + by, 5));
    };
    const TRect ra = tabOf(a)->ObjectRect;
    // Not past any centre: the order stays.
    drag(ra.Left + 5, 10);
    EXPECT_EQ(order(), (std::vector<TForm*>{a, b, c}));
    // Past the centres of both others: the tab goes last.
    drag(ra.Left + 5, tabOf(c)->ObjectRect.Left + tabOf(c)->ObjectRect.Width() / 2 - ra.Left + 5);
    EXPECT_EQ(order(), (std::vector<TForm*>{b, c, a}));
}

TEST_F(SkinnedMDITest, TabsThatDoNotFitAreHiddenBehindTheirOwnButton) {
    tabs->SetAlign(alNone);
    tabs->SetBounds(0, 100, 300, 21);
    tabs->MinTabWidth = 60;
    for (int i = 0; i < 10; ++i)
        child("C" + std::to_string(i));
    DeleteObject(RenderWindowToBitmap(tabs->Handle()));
    int shown = 0;
    for (auto& t : tabs->ObjectList)
        shown += t->Visible;
    EXPECT_EQ(shown, 4);
    EXPECT_EQ(tabs->FInVisibleCount, 6);
    EXPECT_NE(tabs->HideListButton(), nullptr);
    EXPECT_NE(tabs->ListButton(), nullptr);
}

TEST_F(SkinnedMDITest, ClientOutlivesTheComponentThatHookedIt) {
    child("A");
    // The client's procedure goes back when the component goes.
    delete msf;
    main->SetBounds(40, 30, 500, 400);
    DeleteObject(RenderWindowToBitmap(main->Handle()));
    EXPECT_EQ(GetSkinnedForm(main), nullptr);
}

namespace {

// An MDI child is never the active window itself: its frame objects follow
// the child's own activation, and a maximized child offers no roll-up.
TEST_F(SkinnedMDITest, ActiveChildsFrameObjectsTurnHotAndMaximizedChildHasNoRollUp) {
    TForm* a = child("A");
    TspSkinnedForm* s = skinOf(a);
    ASSERT_EQ(main->ActiveMDIChild(), a);
    EXPECT_TRUE(s->GetFormActive());
    SendMessage(a->Handle(), WM_NCPAINT, 0, 0); // the default buttons are made when drawn
    ASSERT_FALSE(s->ObjectList.empty());
    s->TestActiveObject(a->Width() - 15, 10, true); // the close button
    ASSERT_NE(s->ActiveObject, -1);
    EXPECT_TRUE(s->ObjectList[size_t(s->ActiveObject)]->Active);
    s->TestActiveObject(-1, -1, false);

    auto names = [&] {
        std::string n;
        TMenuItem* items = s->GetSystemMenuItems();
        for (int i = 0; i < items->Count(); ++i)
            n += items->Items(i)->Name() + " ";
        return n;
    };
    EXPECT_NE(names().find("DSF_ROLLUP"), std::string::npos);
    s->SetWindowState(wsMaximized);
    Application->ProcessMessages();
    EXPECT_EQ(names().find("DSF_ROLLUP"), std::string::npos);
    TMenuItem* items = s->GetSystemMenuItems();
    EXPECT_EQ(ShortCutToText(items->Items(items->Count() - 1)->ShortCut), "Ctrl+F4");
    s->SetWindowState(wsNormal);
    Application->ProcessMessages();

    // A second child takes the activation: the first one's objects stay cold.
    TForm* b = child("B");
    ASSERT_EQ(main->ActiveMDIChild(), b);
    EXPECT_FALSE(s->GetFormActive());
    EXPECT_TRUE(skinOf(b)->GetFormActive());
    s->TestActiveObject(a->Width() - 15, 10, true);
    EXPECT_EQ(s->ActiveObject, -1);
}

} // namespace

namespace {

// A double click on the system-menu button a maximized child leaves on the
// bar closes the child; a child's own main menu is the one the bar merges.
TEST_F(SkinnedMDITest, DoubleClickOnTheBarsSystemButtonClosesTheChildAndChildMenusMerge) {
    TForm* f = child("Doc");
    f->OnClose = [](TObject*, TCloseAction& action) { action = caFree; };
    auto* own = new TMainMenu(f);
    auto* edit = new TMenuItem(own);
    edit->Caption = "&Edit";
    edit->GroupIndex = 5;
    own->Items()->Add(edit);
    EXPECT_EQ(menuBar->GetChildMainMenu(), own);
    skinOf(f)->SetWindowState(wsMaximized);
    Application->ProcessMessages();
    TspSkinMainMenuBarButton* b = barButton(cmSysMenu);
    ASSERT_NE(b, nullptr);
    const TPoint at((b->ObjectRect.Left + b->ObjectRect.Right) / 2,
                    (b->ObjectRect.Top + b->ObjectRect.Bottom) / 2);
    const TPoint s = menuBar->ClientToScreen(at);
    const POINT p{s.X, s.Y};
    SetCursorPosFromBackend(p);
    DeliverMouse(WM_MOUSEMOVE, p, 0);
    DeliverMouse(WM_LBUTTONDOWN, p, MK_LBUTTON);
    DeliverMouse(WM_LBUTTONUP, p, 0);
    DeliverMouse(WM_LBUTTONDBLCLK, p, MK_LBUTTON);
    DeliverMouse(WM_LBUTTONUP, p, 0);
    Application->ProcessMessages();
    EXPECT_TRUE(children.empty());
    EXPECT_EQ(menuBar->GetChildMainMenu(), nullptr);
}

} // namespace

namespace {

// A click into the active child whose frame believes itself inactive wakes it.
TEST_F(SkinnedMDITest, MouseActivationWakesTheActiveChildsFrame) {
    TForm* a = child("A");
    TspSkinnedForm* s = skinOf(a);
    ASSERT_EQ(main->ActiveMDIChild(), a);
    s->FFormActive = false;
    EXPECT_FALSE(s->GetFormActive());
    SendMessage(a->Handle(), WM_MOUSEACTIVATE, WPARAM(main->Handle()), MAKELPARAM(HTCLIENT, 0));
    EXPECT_TRUE(s->GetFormActive());
    // A child that is not the active one stays as it is.
    TForm* b = child("B");
    ASSERT_EQ(main->ActiveMDIChild(), b);
    s->FFormActive = false;
    SendMessage(a->Handle(), WM_MOUSEACTIVATE, WPARAM(main->Handle()), MAKELPARAM(HTCLIENT, 0));
    EXPECT_FALSE(skinOf(a)->FFormActive);
}

} // namespace

#include "skin/controls/SkinBoxCtrls.h"

namespace {

// A press anywhere on the form closes an open drop-down: on a control, on the
// client and on the frame of an MDI main form (its menu-closing step too).
TEST_F(SkinnedMDITest, PressesElsewhereCloseAnOpenDropDown) {
    auto* combo = new TspSkinComboBox(main);
    combo->SetParent(main);
    combo->SetBounds(300, 120, 150, 22);
    combo->Items()->Add("one");
    combo->Items()->Add("two");
    auto* other = new TCustomControl(main);
    other->SetParent(main);
    other->SetBounds(10, 120, 50, 20);
    Application->ProcessMessages();
    struct Press {
        const char* Where;
        HWND Target;
        UINT Msg;
    };
    const Press presses[] = {
        {"another control", other->Handle(), WM_LBUTTONDOWN},
        {"the client", main->Handle(), WM_LBUTTONDOWN},
        {"the frame", main->Handle(), WM_NCLBUTTONDOWN},
    };
    for (const Press& p : presses) {
        SCOPED_TRACE(p.Where);
        main->ActiveControl = combo;
        combo->DropDown();
        ASSERT_TRUE(combo->IsPopupVisible());
        PostMessage(p.Target, p.Msg, p.Msg == WM_NCLBUTTONDOWN ? HTNOWHERE : MK_LBUTTON, 0);
        Application->ProcessMessages();
        EXPECT_FALSE(combo->IsPopupVisible());
    }
    // The main form's menu-closing step reaches the drop-down even when it
    // is not the focused control.
    main->ActiveControl = nullptr;
    combo->DropDown();
    ASSERT_TRUE(combo->IsPopupVisible());
    SendMessage(main->Handle(), WM_CANCELMODE, 0, 0);
    EXPECT_FALSE(combo->IsPopupVisible());
}

} // namespace
