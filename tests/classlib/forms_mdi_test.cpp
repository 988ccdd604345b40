// MDI main forms and children on the headless display: the client window,
// activation, maximizing, restoring and minimizing inside the client, and
// the arrangement commands.
#include "classlib/forms.h"
#include "platform/win/input.h"
#include "platform/win/mdi.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

class MDIFormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application->Initialize();
        main = new TForm(nullptr);
        main->SetFormStyle(fsMDIForm);
        main->SetBounds(0, 0, 600, 400);
        Application->SetMainForm(main);
        main->Show();
    }
    void TearDown() override {
        for (TForm* c : children)
            delete c;
        delete main;
        Application->SetMainForm(nullptr);
        Application->ProcessMessages();
    }
    TForm* child(int l, int t, int w, int h) {
        auto* c = new TForm(nullptr);
        c->SetFormStyle(fsMDIChild);
        c->SetBounds(l, t, w, h);
        c->Show();
        children.push_back(c);
        return c;
    }
    RECT clientArea() {
        RECT r{};
        GetClientRect(main->ClientHandle(), &r);
        return r;
    }
    TForm* main = nullptr;
    std::vector<TForm*> children;
};

} // namespace

TEST_F(MDIFormsTest, ChildrenLiveInTheClientAndTheShownOneIsActive) {
    ASSERT_TRUE(IsMDIClient(main->ClientHandle()));
    EXPECT_EQ(clientArea().right, main->ClientWidth());
    TForm* a = child(10, 10, 200, 150);
    TForm* b = child(40, 40, 200, 150);
    EXPECT_EQ(GetParent(a->Handle()), main->ClientHandle());
    ASSERT_EQ(main->MDIChildCount(), 2);
    EXPECT_EQ(main->MDIChildren(0), b); // top of the z-order first
    EXPECT_EQ(main->ActiveMDIChild(), b);
    main->Next();
    EXPECT_EQ(main->ActiveMDIChild(), a);
    main->Previous();
    EXPECT_EQ(main->ActiveMDIChild(), b);
    // The active child going leaves the activation to the other.
    b->Hide();
    EXPECT_EQ(main->ActiveMDIChild(), a);
    delete a;
    children.erase(children.begin());
    EXPECT_EQ(main->ActiveMDIChild(), nullptr);
}

TEST_F(MDIFormsTest, ChildIsMaximizedRestoredAndMinimizedInsideTheClient) {
    TForm* a = child(10, 20, 200, 150);
    a->SetWindowState(wsMaximized);
    EXPECT_EQ(a->WindowState(), wsMaximized);
    RECT c{};
    GetClientRect(a->Handle(), &c);
    EXPECT_EQ(c.right, clientArea().right);
    EXPECT_EQ(c.bottom, clientArea().bottom);
    BOOL maximized = 0;
    SendMessage(main->ClientHandle(), WM_MDIGETACTIVE, 0, LPARAM(&maximized));
    EXPECT_TRUE(maximized);
    a->SetWindowState(wsNormal);
    EXPECT_EQ(a->BoundsRect(), TRect(10, 20, 210, 170));
    a->SetWindowState(wsMinimized);
    EXPECT_EQ(a->WindowState(), wsMinimized);
    EXPECT_EQ(a->Left(), 0);
    EXPECT_EQ(a->Top() + a->Height(), clientArea().bottom);
    a->SetWindowState(wsNormal);
    EXPECT_EQ(a->BoundsRect(), TRect(10, 20, 210, 170));
}

TEST_F(MDIFormsTest, ActivatingAnotherChildHandsTheMaximizedStateOn) {
    TForm* a = child(10, 20, 200, 150);
    TForm* b = child(30, 40, 200, 150);
    b->SetWindowState(wsMaximized);
    SendMessage(main->ClientHandle(), WM_MDIACTIVATE, WPARAM(a->Handle()), 0);
    EXPECT_EQ(a->WindowState(), wsMaximized);
    EXPECT_EQ(b->WindowState(), wsNormal);
    EXPECT_EQ(b->BoundsRect(), TRect(30, 40, 230, 190));
}

TEST_F(MDIFormsTest, CascadeAndTileArrangeTheChildren) {
    std::vector<TForm*> list = {child(0, 0, 50, 50), child(0, 0, 50, 50), child(0, 0, 50, 50)};
    const RECT area = clientArea();
    main->Cascade();
    // The bottom of the z-order starts at the corner; the active child ends on top, furthest in.
    EXPECT_EQ(list[0]->Left(), 0);
    EXPECT_GT(list[1]->Left(), list[0]->Left());
    EXPECT_GT(list[2]->Top(), list[1]->Top());
    EXPECT_EQ(list[2]->Width(), area.right * 2 / 3);
    main->TileMode = tbHorizontal;
    main->Tile();
    for (int i = 0; i < 3; ++i) {
        TForm* f = main->MDIChildren(i);
        EXPECT_EQ(f->BoundsRect(),
                  TRect(0, i * (area.bottom / 3), area.right, (i + 1) * (area.bottom / 3)));
    }
    main->TileMode = tbVertical;
    main->Tile();
    for (int i = 0; i < 3; ++i) {
        TForm* f = main->MDIChildren(i);
        EXPECT_EQ(f->BoundsRect(),
                  TRect(i * (area.right / 3), 0, (i + 1) * (area.right / 3), area.bottom));
    }
}

TEST_F(MDIFormsTest, ArrangingWithoutChildrenOrRoomLeavesEverythingAlone) {
    // No child to place: nothing happens (and nothing is divided by zero children).
    main->Cascade();
    main->Tile();
    main->ArrangeIcons();
    TForm* a = child(10, 20, 200, 150);
    // A client with no room: the child keeps its place.
    MoveWindow(main->ClientHandle(), 0, 0, 0, 0, 1);
    const std::function<void()> arrangements[] = {
        [this] { main->Cascade(); }, [this] { main->Tile(); }, [this] { main->ArrangeIcons(); }};
    for (const auto& arrange : arrangements) {
        arrange();
        EXPECT_EQ(a->BoundsRect(), TRect(10, 20, 210, 170));
    }
}

TEST_F(MDIFormsTest, ChildWithoutAnMDIMainFormIsRefused) {
    main->SetFormStyle(fsNormal);
    EXPECT_EQ(main->ClientHandle(), HWND(0));
    TForm c(nullptr);
    c.SetFormStyle(fsMDIChild);
    EXPECT_THROW(c.Show(), EInvalidOperation);
}

TEST_F(MDIFormsTest, APressInsideAChildActivatesIt) {
    TForm* a = child(10, 20, 200, 150);
    TForm* b = child(300, 20, 200, 150);
    ASSERT_EQ(main->ActiveMDIChild(), b);
    TPoint p = a->ClientToScreen(TPoint(20, 20));
    DeliverMouse(WM_LBUTTONDOWN, POINT{p.X, p.Y}, MK_LBUTTON);
    DeliverMouse(WM_LBUTTONUP, POINT{p.X, p.Y}, 0);
    Application->ProcessMessages();
    EXPECT_EQ(main->ActiveMDIChild(), a);
}
