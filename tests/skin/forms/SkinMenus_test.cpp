// Skinned popup menus on the headless display: opening, placing, keyboard and
// mouse navigation, submenus, scrolling, every way of closing, and the
// messages the form and the opening control receive.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "classlib/imglist.h"
#include "platform/display/headless.h"
#include "platform/os/clock.h"
#include "platform/win/input.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"
#include "skin/engine/SPUtils.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedForm.h"
#include "skinned_form_fixture.h"

namespace {

// Records the menu messages a control receives.
class RecordingControl : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    std::vector<UINT> Got;
    void WndProc(TMessage& M) override {
        if (M.Msg == WM_SKIN_CLOSEMENU || M.Msg == WM_SKIN_AFTERMENUCOMMAND) Got.push_back(M.Msg);
        TCustomControl::WndProc(M);
    }
};

class SkinMenusTest : public ::testing::Test {
protected:
    void SetUp() override {
        os::SetClock(&clock);
        skintest::UseTestMonitors();
        skin = skintest::LoadDefaultSkin();
        ASSERT_FALSE(skin->Empty);
    }
    void TearDown() override {
        delete form;
        form = nullptr;
        Application->ProcessMessages();
        skin.reset();
        SetMonitors({});
        os::SetClock(nullptr);
    }
    void MakeForm(bool withSkin) {
        form = new TForm(nullptr);
        form->SetBounds(100, 80, 400, 300);
        sf = new TspSkinnedForm(form);
        if (withSkin) sf->SetSkinData(skin.get());
        form->Show();
        SetActiveWindow(form->Handle());
        Application->ProcessMessages();
        menu = new TspSkinPopupMenu(form);
    }
    TMenuItem* Add(TMenuItem* parent, const std::string& caption, bool enabled = true) {
        auto* i = new TMenuItem(menu);
        i->Caption = caption;
        i->Enabled = enabled;
        i->OnClick = [this, caption](TObject*) { clicked.push_back(caption); };
        parent->Add(i);
        return i;
    }
    // Open, Disabled, -, More > (Sub1, Sub2), Last
    void BuildMenu() {
        Add(menu->Items(), "&Open");
        Add(menu->Items(), "Disabled", false);
        Add(menu->Items(), "-");
        more = Add(menu->Items(), "&More");
        Add(more, "Sub&1");
        Add(more, "Sub&2");
        Add(menu->Items(), "&Last");
    }
    TspSkinMenu* engine() { return sf->SkinMenu(); }
    TspSkinPopupWindow* win(int i) { return engine()->FPopupList.at(size_t(i)).get(); }
    int windows() { return int(engine()->FPopupList.size()); }
    void Key(int vk) {
        DeliverKey(true, vk, 0);
        DeliverKey(false, vk, 0);
        Application->ProcessMessages();
    }
    void Tick(unsigned ms) {
        for (unsigned t = 0; t < ms; t += 10) {
            clock.Advance(10);
            Application->ProcessMessages();
        }
    }
    // Screen centre of item i of window w.
    POINT ItemPoint(int w, int i) {
        TRect r = win(w)->ItemList.at(size_t(i))->ObjectRect;
        return POINT{win(w)->Left() + (r.Left + r.Right) / 2,
                     win(w)->Top() + (r.Top + r.Bottom) / 2};
    }
    void Click(POINT p) {
        SetCursorPosFromBackend(p);
        DeliverMouse(WM_LBUTTONDOWN, p, MK_LBUTTON);
        DeliverMouse(WM_LBUTTONUP, p, 0);
        Application->ProcessMessages();
    }
    // No popup window of ours is on screen and nothing holds the mouse.
    void ExpectNothingLeft() {
        EXPECT_EQ(windows(), 0);
        EXPECT_FALSE(engine()->FVisible);
        EXPECT_EQ(GetCapture(), HWND(0));
        for (HWND h : display::CurrentHeadless() ? display::CurrentHeadless()->VisibleWindows()
                                                 : std::vector<HWND>{})
            EXPECT_TRUE(h == form->Handle()) << "a window is still shown";
    }

    os::ManualClock clock{10000};
    std::unique_ptr<TspSkinData> skin;
    TForm* form = nullptr;
    TspSkinnedForm* sf = nullptr;
    TspSkinPopupMenu* menu = nullptr;
    TMenuItem* more = nullptr;
    std::vector<std::string> clicked;
};

TEST_F(SkinMenusTest, PopupOpensAtThePointWithTheFirstSelectableItemHot) {
    for (bool withSkin : {true, false}) {
        SCOPED_TRACE(withSkin);
        MakeForm(withSkin);
        BuildMenu();
        menu->Popup(300, 200);
        ASSERT_EQ(windows(), 1);
        EXPECT_TRUE(engine()->FVisible);
        EXPECT_TRUE(IsWindowVisible(win(0)->Handle()));
        EXPECT_EQ(win(0)->Left(), 300);
        EXPECT_EQ(win(0)->Top(), 200);
        EXPECT_EQ(win(0)->ItemList.size(), 5u);
        EXPECT_EQ(win(0)->ActiveItem, 0);
        EXPECT_TRUE(win(0)->ItemList[0]->WaitCommand);
        EXPECT_EQ(menu->FPopupPoint.X, 300);
        if (withSkin) EXPECT_NE(win(0)->PW, nullptr);
        // The default look: the hot item is filled with the hot colour.
        if (!withSkin) {
            HBITMAP shot = RenderWindowToBitmap(win(0)->Handle());
            TRect r = win(0)->ItemList[0]->ObjectRect;
            uint32_t px = reinterpret_cast<const uint32_t*>(shot->row(r.Top + 3))[r.Left + 30];
            EXPECT_EQ(px & 0xFFFFFF, 0xB6BDD2u); // RGB 182, 189, 210
            DeleteObject(shot);
        }
        engine()->Hide();
        Application->ProcessMessages();
        ExpectNothingLeft();
        delete form;
        form = nullptr;
        Application->ProcessMessages();
    }
}

// A skinned popup menu and an images menu open together each hook the
// application's messages; whichever closes first, both hooks go and keys
// reach the form again.
TEST_F(SkinMenusTest, PopupAndImagesMenuClosedInEitherOrderLeaveNoKeyHook) {
    for (bool popupFirst : {true, false}) {
        SCOPED_TRACE(popupFirst);
        MakeForm(true);
        BuildMenu();
        TImageList images(nullptr);
        TBitmap cell(16, 16);
        images.Add(&cell, nullptr);
        TspSkinImagesMenu pictures(nullptr);
        pictures.SetImages(&images);
        pictures.ImagesItems()->Add()->ImageIndex = 0;
        menu->Popup(300, 200);
        pictures.Popup(120, 120);
        ASSERT_NE(pictures.FPopupWindow, nullptr);
        EXPECT_EQ(Application->MessageHookCount(), 2);
        if (popupFirst) {
            sf->SkinMenuClose();
            pictures.Hide();
        } else {
            pictures.Hide();
            sf->SkinMenuClose();
        }
        Application->ProcessMessages();
        EXPECT_EQ(Application->MessageHookCount(), 0);
        std::vector<char32_t> typed;
        form->OnKeyPress = [&](TObject*, char32_t& c) { typed.push_back(c); };
        SetFocus(form->Handle());
        DeliverKey(true, 'K', U'k');
        DeliverKey(false, 'K', 0);
        Application->ProcessMessages();
        EXPECT_EQ(typed, std::vector<char32_t>{U'k'});
        form->OnKeyPress = nullptr;
        delete form;
        form = nullptr;
        Application->ProcessMessages();
        // After the form is gone a key is nobody's business.
        DeliverKey(true, 'K', U'k');
        DeliverKey(false, 'K', 0);
        Application->ProcessMessages();
    }
}

// A command chosen with the mouse runs inside the popup window's own click;
// a loop it starts (a dialog, say) must not free the closed window under it.
TEST_F(SkinMenusTest, CommandThatRunsALoopKeepsItsClosedWindowUntilTheClickReturns) {
    MakeForm(true);
    BuildMenu();
    menu->Popup(300, 200);
    ASSERT_EQ(windows(), 1);
    const HWND w = win(0)->Handle();
    bool aliveInLoop = false;
    menu->Items()->Items(0)->OnClick = [&](TObject*) {
        EXPECT_FALSE(engine()->FVisible);
        Tick(50); // the nested loop: the release timer comes due in it
        aliveInLoop = IsWindow(w);
    };
    Click(ItemPoint(0, 0));
    EXPECT_TRUE(aliveInLoop);
    Tick(20);
    EXPECT_FALSE(IsWindow(w)); // freed once its click was over
    ExpectNothingLeft();
}

TEST_F(SkinMenusTest, WithoutASkinnedFormNothingOpens) {
    TForm plain(nullptr);
    TspSkinPopupMenu m(&plain);
    auto* i = new TMenuItem(&m);
    i->Caption = "One";
    m.Items()->Add(i);
    int popups = 0;
    m.OnPopup = [&](TObject*) { ++popups; };
    m.Popup(10, 10);
    EXPECT_EQ(popups, 1);
    ASSERT_NE(display::CurrentHeadless(), nullptr);
    EXPECT_TRUE(display::CurrentHeadless()->VisibleWindows().empty());
}

TEST_F(SkinMenusTest, KeyboardWalksSkipsDisabledAndSeparatorsOpensAndClosesSubmenus) {
    MakeForm(true);
    BuildMenu();
    int closes = 0;
    menu->OnMenuClose = [&](TObject*) { ++closes; };
    menu->Popup(300, 200);
    ASSERT_EQ(windows(), 1);

    Key(VK_DOWN); // over Disabled and the line to More
    EXPECT_EQ(win(0)->ActiveItem, 3);
    Key(VK_DOWN);
    EXPECT_EQ(win(0)->ActiveItem, 4);
    Key(VK_DOWN); // wraps to the first
    EXPECT_EQ(win(0)->ActiveItem, 0);
    Key(VK_UP); // wraps to the last
    EXPECT_EQ(win(0)->ActiveItem, 4);
    Key(VK_UP);
    EXPECT_EQ(win(0)->ActiveItem, 3);

    Key(VK_RIGHT);
    ASSERT_EQ(windows(), 2);
    EXPECT_TRUE(win(0)->ItemList[3]->Down);
    // The submenu sits beside its item.
    EXPECT_GT(win(1)->Left(), win(0)->Left());
    Key(VK_ESCAPE); // closes only the submenu
    Application->ProcessMessages();
    ASSERT_EQ(windows(), 1);
    EXPECT_FALSE(win(0)->ItemList[3]->Down);
    EXPECT_EQ(closes, 0);

    Key(VK_LEFT); // nothing in the root window
    EXPECT_EQ(windows(), 1);
    Key(VK_ESCAPE);
    Application->ProcessMessages();
    ExpectNothingLeft();
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(Application->MessageHookCount(), 0); // the key hook is gone
    // Only the submenu item's own command ran, when its submenu opened.
    EXPECT_EQ(clicked, std::vector<std::string>{"&More"});

    // A later menu without a handler does not fire the old one again.
    menu->OnMenuClose = nullptr;
    menu->Popup(300, 200);
    engine()->Hide();
    EXPECT_EQ(closes, 1);
}

TEST_F(SkinMenusTest, AcceleratorAndReturnRunTheCommandAfterTheMenuCloses) {
    MakeForm(true);
    BuildMenu();
    menu->Popup(300, 200);
    Key('L');
    EXPECT_EQ(clicked, std::vector<std::string>{"&Last"});
    ExpectNothingLeft();

    menu->Popup(300, 200);
    Key(VK_RETURN);
    EXPECT_EQ(clicked.back(), "&Open");
    ExpectNothingLeft();

    menu->Popup(300, 200);
    Key('M'); // opens the submenu, then its own accelerator
    ASSERT_EQ(windows(), 2);
    Key('2');
    EXPECT_EQ(clicked.back(), "Sub&2");
    ExpectNothingLeft();
}

TEST_F(SkinMenusTest, MouseClickClosesFirstThenRunsThenTellsTheOpeningControl) {
    MakeForm(true);
    BuildMenu();
    auto* ctrl = new RecordingControl(form);
    ctrl->SetParent(form);
    ctrl->SetBounds(10, 10, 50, 20);
    std::vector<std::string> order;
    menu->Items()->Items(0)->OnClick = [&](TObject*) {
        order.push_back("command");
        EXPECT_FALSE(engine()->FVisible);
        EXPECT_EQ(ctrl->Got, std::vector<UINT>{WM_SKIN_CLOSEMENU});
    };
    menu->Popup2(ctrl, 300, 200);
    ASSERT_EQ(windows(), 1);
    HWND popup = win(0)->Handle();
    Click(ItemPoint(0, 0));
    EXPECT_EQ(order, std::vector<std::string>{"command"});
    EXPECT_EQ(ctrl->Got, (std::vector<UINT>{WM_SKIN_CLOSEMENU, WM_SKIN_AFTERMENUCOMMAND}));
    // The window that handled the click is gone once its messages are done.
    Tick(20);
    EXPECT_FALSE(IsWindow(popup));
    ExpectNothingLeft();
}

TEST_F(SkinMenusTest, ClicksOnSeparatorsAndDisabledItemsDoNothing) {
    MakeForm(true);
    BuildMenu();
    menu->Popup(300, 200);
    Click(ItemPoint(0, 1));
    Click(ItemPoint(0, 2));
    EXPECT_TRUE(clicked.empty());
    EXPECT_EQ(windows(), 1);
    engine()->Hide();
}

TEST_F(SkinMenusTest, HoveringASubmenuItemOpensItAfterTheDelayAndAClickAtOnce) {
    MakeForm(true);
    BuildMenu();
    more->OnClick = [&](TObject*) { clicked.push_back("more"); };
    menu->Popup(300, 200);
    SetCursorPosFromBackend(ItemPoint(0, 3));
    Tick(60); // the mouse timer finds the item
    EXPECT_EQ(win(0)->ActiveItem, 3);
    EXPECT_EQ(windows(), 1);
    Tick(400);
    EXPECT_EQ(windows(), 1);
    Tick(150);
    ASSERT_EQ(windows(), 2);
    // Moving to a plain item closes the submenu at once.
    SetCursorPosFromBackend(ItemPoint(0, 0));
    Tick(60);
    Application->ProcessMessages();
    EXPECT_EQ(windows(), 1);
    // Opening a submenu runs the item's own command (it may fill the submenu);
    // a click opens it at once.
    EXPECT_EQ(clicked, std::vector<std::string>{"more"});
    Click(ItemPoint(0, 3));
    EXPECT_EQ(windows(), 2);
    EXPECT_EQ(clicked, (std::vector<std::string>{"more", "more"}));
    engine()->Hide();
    Application->ProcessMessages();
    ExpectNothingLeft();
}

TEST_F(SkinMenusTest, EveryClosingPathLeavesNoPopup) {
    MakeForm(true);
    BuildMenu();
    struct Path {
        const char* Name;
        std::function<void()> Close;
    };
    const Path paths[] = {
        {"click on the form",
         [&] {
             Click(POINT{form->Left() + 20, form->Top() + 150});
         }},
        {"form moved", [&] { form->SetBounds(120, 90, 400, 300); }},
        {"cancel mode", [&] { SendMessage(form->Handle(), WM_CANCELMODE, 0, 0); }},
        {"close message", [&] { SendMessage(form->Handle(), WM_SKIN_CLOSEMENU, 0, 0); }},
        {"escape",
         [&] {
             Key(VK_ESCAPE);
             Key(VK_ESCAPE);
         }},
    };
    for (const Path& p : paths) {
        SCOPED_TRACE(p.Name);
        menu->Popup(300, 200);
        Key(VK_DOWN);
        Key(VK_RIGHT);
        ASSERT_EQ(windows(), 2);
        p.Close();
        Tick(20);
        ExpectNothingLeft();
        EXPECT_EQ(Application->MessageHookCount(), 0);
    }
    // A new menu replaces an open one.
    menu->Popup(300, 200);
    menu->Popup(500, 400);
    EXPECT_EQ(windows(), 1);
    EXPECT_EQ(win(0)->Left(), 500);
    // Freeing the form with an open menu takes the menu with it.
    delete form;
    form = nullptr;
    Tick(20);
    ASSERT_NE(display::CurrentHeadless(), nullptr);
    EXPECT_TRUE(display::CurrentHeadless()->VisibleWindows().empty());
    EXPECT_EQ(Application->MessageHookCount(), 0);
}

TEST_F(SkinMenusTest, LongMenusScrollByMarkerAndKeys) {
    MakeForm(false);
    for (int i = 0; i < 8; ++i)
        Add(menu->Items(), "Item " + std::to_string(i));
    engine()->MaxMenuItemsInWindow = 5;
    menu->Popup(300, 200);
    ASSERT_EQ(windows(), 1);
    TspSkinPopupWindow* w = win(0);
    EXPECT_TRUE(w->Scroll);
    EXPECT_EQ(w->Height(), 5 * 20 + 6 + 20);
    EXPECT_EQ(w->VisibleCount, 5);
    // Resting on the down marker scrolls one item each 100 ms to the end.
    SetCursorPosFromBackend(POINT{w->Left() + 40, w->Top() + w->Height() - 6});
    Tick(60);
    EXPECT_EQ(w->ScrollCode, 2);
    Tick(100);
    EXPECT_EQ(w->VisibleStartIndex, 1);
    Tick(300);
    EXPECT_EQ(w->VisibleStartIndex, 3);
    EXPECT_FALSE(w->CanScroll(2));
    EXPECT_EQ(w->ScrollCode, 0);
    EXPECT_FALSE(w->ItemList[0]->FVisible);
    EXPECT_TRUE(w->ItemList[7]->FVisible);
    // Down on the last item wraps to the first and scrolls back.
    SetCursorPosFromBackend(POINT{0, 0});
    Tick(60);
    while (w->ActiveItem != 7)
        Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(w->ActiveItem, 0);
    EXPECT_EQ(w->VisibleStartIndex, 0);
    EXPECT_TRUE(w->ItemList[0]->FVisible);
    engine()->Hide();
}

TEST_F(SkinMenusTest, PlacementStaysInsideTheWorkArea) {
    MakeForm(false);
    for (int i = 0; i < 4; ++i)
        Add(menu->Items(), "Entry " + std::to_string(i));
    // Near the bottom-right corner the menu flips up and left.
    menu->Popup(1270, 990);
    TspSkinPopupWindow* w = win(0);
    EXPECT_LE(w->Left() + w->Width(), 1280);
    EXPECT_LE(w->Top() + w->Height(), 1000);
    EXPECT_EQ(w->Top() + w->Height(), 990);
    engine()->Hide();

    // Taller than the work area: cut to its height, at its top, scrolling.
    for (int i = 0; i < 80; ++i)
        Add(menu->Items(), "More " + std::to_string(i));
    menu->Popup(300, 500);
    w = win(0);
    EXPECT_EQ(w->Height(), 1000);
    EXPECT_EQ(w->Top(), 0);
    EXPECT_TRUE(w->Scroll);
    EXPECT_EQ(w->Left(), 301);
    engine()->Hide();
}

TEST_F(SkinMenusTest, SubmenuWithoutRoomOnTheRightOpensOnTheLeft) {
    MakeForm(false);
    BuildMenu();
    menu->Popup(1180, 200);
    Key(VK_DOWN);
    Key(VK_RIGHT);
    ASSERT_EQ(windows(), 2);
    EXPECT_LT(win(1)->Left(), win(0)->Left());
    engine()->Hide();
}

TEST_F(SkinMenusTest, EmptyOrExhaustedItemsOpenNothing) {
    MakeForm(true);
    BuildMenu();
    TRect r(10, 10, 10, 10);
    engine()->Popup(nullptr, skin.get(), 5, r, menu->Items(), false);
    EXPECT_FALSE(engine()->FVisible);
    engine()->Popup(nullptr, skin.get(), 0, r, menu->Items()->Items(0), false);
    EXPECT_FALSE(engine()->FVisible);
    EXPECT_EQ(windows(), 0);
}

TEST_F(SkinMenusTest, SystemMenuOpensThroughTheEngine) {
    MakeForm(true);
    sf->PopupSystemMenuAt(150, 120);
    ASSERT_EQ(windows(), 1);
    TspSkinPopupWindow* w = win(0);
    EXPECT_EQ(w->ItemList.back()->MenuItem->Name(), "DSF_CLOSE");
    Key(VK_ESCAPE);
    Application->ProcessMessages();
    ExpectNothingLeft();
}

TEST(MenuItemTest, SkinElementWithoutPictureLosesItsItemRects) {
    TspSkinData sd(nullptr);
    TspSkinMenu engine(nullptr, nullptr);
    engine.SkinData = &sd;
    TspDataSkinMenuItem data("menuitem");
    data.ActivePictureIndex = 7;
    data.SkinRect = TRect(0, 0, 10, 10);
    data.ActiveSkinRect = TRect(0, 10, 10, 20);
    TspSkinPopupWindow w(nullptr, &engine, nullptr);
    TMenuItem mi(nullptr);
    TspSkinMenuItem item(&w, &mi, &data);
    EXPECT_EQ(item.ActivePicture, nullptr);
    EXPECT_TRUE(IsEmptyRect(data.SkinRect));
    EXPECT_TRUE(IsEmptyRect(data.ActiveSkinRect));
}

TEST(MenuItemTest, MorphingLandsExactlyOnTheHotImage) {
    TspSkinMenu engine(nullptr, nullptr);
    TspSkinPopupWindow w(nullptr, &engine, nullptr);
    TMenuItem mi(nullptr);
    TspSkinMenuItem item(&w, &mi, nullptr);
    item.Active = true;
    item.FMorphKf = 0.9;
    item.DoMorphing();
    EXPECT_EQ(item.FMorphKf, 1.0);
    EXPECT_FALSE(item.CanMorphing());
    item.Active = false;
    EXPECT_TRUE(item.CanMorphing());
    // An item scrolled out of view stops and forgets its state.
    item.FVisible = false;
    item.Down = true;
    EXPECT_FALSE(item.CanMorphing());
    EXPECT_FALSE(item.Down);
    EXPECT_EQ(item.FMorphKf, 0.0);
}

TEST(MenuModelTest, ShortCutsAcceleratorsAndCloseMessages) {
    EXPECT_EQ(ShortCutToText(ShortCut(VK_F1 + 3, ssAlt)), "Alt+F4");
    EXPECT_EQ(ShortCutToText(ShortCut('S', ssCtrl | ssShift)), "Shift+Ctrl+S");
    EXPECT_EQ(ShortCutToText(0), "");
    EXPECT_TRUE(IsAccel('X', "E&xit"));
    EXPECT_TRUE(IsAccel('x', "E&xit"));
    EXPECT_FALSE(IsAccel('E', "E&xit"));
    EXPECT_FALSE(IsAccel('A', "Fish && &Chips") || IsAccel('&', "Fish && Chips"));
    EXPECT_TRUE(IsAccel('C', "Fish && &Chips"));
    for (UINT m : {WM_MOVE, WM_SIZE, WM_ACTIVATE, WM_KILLFOCUS, WM_LBUTTONDOWN, WM_PARENTNOTIFY})
        EXPECT_TRUE(IsMenuCloseMessage(m)) << m;
    for (UINT m : {WM_PAINT, WM_MOUSEMOVE, WM_KEYDOWN, WM_LBUTTONUP})
        EXPECT_FALSE(IsMenuCloseMessage(m)) << m;
}

} // namespace

namespace {

class ImagesMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMonitors({MonitorDesc{RECT{0, 0, 1280, 1024}, RECT{0, 0, 1280, 1000}}});
        for (int i = 0; i < 7; ++i) {
            TBitmap b(16, 16);
            b.Canvas()->Brush()->SetColor(TColor(0x102030 * (i + 1)));
            b.Canvas()->FillRect(TRect(0, 0, 16, 16));
            images.Add(&b, nullptr);
        }
        menu.SetImages(&images);
        menu.OnItemClick = [this](TObject*) { events.push_back("item"); };
        menu.OnChange = [this](TObject*) { events.push_back("change"); };
        menu.OnMenuClose = [this](TObject*) { events.push_back("close"); };
        menu.OnMenuPopup = [this](TObject*) { events.push_back("popup"); };
    }
    void TearDown() override {
        menu.Hide();
        Application->ProcessMessages();
        SetMonitors({});
    }
    void AddImages(int n) {
        for (int i = 0; i < n; ++i)
            menu.ImagesItems()->Add()->ImageIndex = i;
    }
    TRect RectOf(int i) { return menu.ImagesItems()->Items(i)->ItemRect; }
    void Key(int vk) {
        ASSERT_NE(menu.FPopupWindow, nullptr);
        PostMessage(menu.FPopupWindow->Handle(), WM_KEYDOWN, WPARAM(vk), 0);
        Application->ProcessMessages();
    }

    TImageList images{nullptr};
    TspSkinImagesMenu menu{nullptr};
    std::vector<std::string> events;
};

TEST_F(ImagesMenuTest, GridOfCellsWithRowsButtonsAndHeaders) {
    menu.SetColumnsCount(3);
    AddImages(7);
    menu.Popup(100, 100);
    ASSERT_NE(menu.FPopupWindow, nullptr);
    EXPECT_EQ(RectOf(0), TRect(5, 5, 31, 31));
    EXPECT_EQ(RectOf(2), TRect(57, 5, 83, 31));
    EXPECT_EQ(RectOf(3), TRect(5, 32, 31, 58));
    EXPECT_EQ(RectOf(6), TRect(5, 59, 31, 85));
    EXPECT_EQ(menu.FPopupWindow->Width(), 88);
    EXPECT_EQ(menu.FPopupWindow->Top(), 100);
    EXPECT_EQ(GetCapture(), menu.FPopupWindow->Handle());
    menu.Hide();

    // A header first adds no empty row; a button after two images starts a new one.
    menu.ImagesItems()->Clear();
    auto* h = menu.ImagesItems()->Add();
    h->Header = true;
    h->Caption = "Pick";
    AddImages(2);
    auto* b = menu.ImagesItems()->Add();
    b->Button = true;
    b->Caption = "More";
    menu.Popup(100, 100);
    EXPECT_EQ(RectOf(0).Top, 5);
    EXPECT_EQ(RectOf(1).Top, 5 + 26 + 1);
    EXPECT_EQ(RectOf(3), TRect(5, RectOf(1).Top + 27, 5 + 78, RectOf(1).Top + 27 + 26));

    menu.SetColumnsCount(0);
    menu.SetColumnsCount(51);
    EXPECT_EQ(menu.ColumnsCount(), 3);
}

TEST_F(ImagesMenuTest, KeysChooseOrCloseWithTheRightEvents) {
    AddImages(3);
    menu.ItemIndex = 1;
    menu.Popup(100, 100);
    Key(VK_RETURN); // no hot item: the current one is clicked again, nothing changes
    EXPECT_EQ(events, (std::vector<std::string>{"popup", "close", "item"}));
    EXPECT_EQ(menu.FPopupWindow, nullptr);
    EXPECT_EQ(GetCapture(), HWND(0));
    EXPECT_EQ(Application->MessageHookCount(), 0);

    events.clear();
    menu.Popup(100, 100);
    Key(VK_ESCAPE);
    EXPECT_EQ(events, (std::vector<std::string>{"popup", "close"}));

    events.clear();
    menu.Popup(100, 100);
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_EQ(menu.ItemIndex, 1);
    events.clear();
    menu.Popup(100, 100);
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    Key(VK_SPACE);
    EXPECT_EQ(menu.ItemIndex, 2);
    EXPECT_EQ(events, (std::vector<std::string>{"popup", "close", "item", "change"}));
}

TEST_F(ImagesMenuTest, ClickChoosesAndAnOutsideClickCloses) {
    AddImages(3);
    menu.Popup(100, 100);
    // One column: the second image lies below the first.
    POINT p{100 + 5 + 13, 100 + 32 + 13};
    SetCursorPosFromBackend(p);
    DeliverMouse(WM_LBUTTONDOWN, p, MK_LBUTTON);
    DeliverMouse(WM_LBUTTONUP, p, 0);
    Application->ProcessMessages();
    EXPECT_EQ(menu.ItemIndex, 1);
    EXPECT_EQ(events, (std::vector<std::string>{"popup", "close", "item", "change"}));
    Application->ProcessMessages();
    EXPECT_EQ(menu.FPopupWindow, nullptr);
    EXPECT_EQ(GetCapture(), HWND(0));

    events.clear();
    menu.Popup(100, 100);
    POINT out{600, 600};
    SetCursorPosFromBackend(out);
    DeliverMouse(WM_LBUTTONDOWN, out, MK_LBUTTON);
    Application->ProcessMessages();
    EXPECT_EQ(menu.FPopupWindow, nullptr);
    EXPECT_EQ(events, (std::vector<std::string>{"popup", "close"}));
    EXPECT_EQ(GetCapture(), HWND(0));
}

TEST_F(ImagesMenuTest, WithoutImagesNothingOpensButThePopupEventFires) {
    TImageList none(nullptr);
    menu.SetImages(&none);
    AddImages(2);
    menu.Popup(10, 10);
    EXPECT_EQ(menu.FPopupWindow, nullptr);
    EXPECT_EQ(events, std::vector<std::string>{"popup"});
    menu.SetImages(nullptr);
}

} // namespace
