// The skinned main menu bar on the headless display: items laid out from the
// menu, opened by click, followed by the mouse while open, driven by Alt,
// arrows, accelerators and Escape, closed by a click outside; items that do
// not fit are reached through the marker.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "classlib/forms.h"
#include "platform/display/headless.h"
#include "platform/os/clock.h"
#include "platform/win/input.h"
#include "platform/win/messages.h"
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

class MainMenuBarTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        os::SetClock(&clock);
        skintest::UseTestMonitors();
        skin = skintest::LoadDefaultSkin();
        form = new TForm(nullptr);
        form->SetBounds(100, 80, 500, 300);
        sf = new TspSkinnedForm(form);
        mm = new TspSkinMainMenu(form);
        file = Add(mm->Items(), "&File");
        Add(file, "&Open");
        Add(file, "E&xit");
        edit = Add(mm->Items(), "&Edit");
        Add(edit, "&Copy");
        help = Add(mm->Items(), "&Help");
        bar = new TspSkinMainMenuBar(form);
        bar->SetParent(form);
        if (GetParam()) bar->SetSkinData(skin.get());
        bar->SetSkinnedForm(sf);
        bar->SetMainMenu(mm);
        form->Show();
        SetActiveWindow(form->Handle());
        Application->ProcessMessages();
        RenderBar();
    }
    void TearDown() override {
        if (display::CurrentHeadless()) display::CurrentHeadless()->SetKeyDown(VK_MENU, false);
        delete form;
        Application->ProcessMessages();
        skin.reset();
        SetMonitors({});
        os::SetClock(nullptr);
    }
    TMenuItem* Add(TMenuItem* parent, const std::string& caption) {
        auto* i = new TMenuItem(mm);
        i->Caption = caption;
        i->OnClick = [this, caption](TObject*) { clicked.push_back(caption); };
        parent->Add(i);
        return i;
    }
    // Paints the bar so its items have their places.
    void RenderBar() {
        HBITMAP b = RenderWindowToBitmap(form->Handle());
        DeleteObject(b);
    }
    TspSkinMainMenuBarItem* item(int i) { return bar->Items().at(size_t(i)); }
    POINT Centre(int i) {
        TRect r = item(i)->ObjectRect;
        TPoint p = bar->ClientToScreen(TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
        return POINT{p.X, p.Y};
    }
    void Press(POINT p) {
        SetCursorPosFromBackend(p);
        DeliverMouse(WM_MOUSEMOVE, p, 0);
        DeliverMouse(WM_LBUTTONDOWN, p, MK_LBUTTON);
        DeliverMouse(WM_LBUTTONUP, p, 0);
        Application->ProcessMessages();
    }
    void Hover(POINT p) {
        SetCursorPosFromBackend(p);
        DeliverMouse(WM_MOUSEMOVE, p, 0);
        Tick(60);
    }
    void Tick(unsigned ms) {
        for (unsigned t = 0; t < ms; t += 10) {
            clock.Advance(10);
            Application->ProcessMessages();
        }
    }
    void Key(int vk, char32_t ch = 0) {
        DeliverKey(true, vk, ch);
        Application->ProcessMessages();
        DeliverKey(false, vk, 0);
        Application->ProcessMessages();
    }
    TspSkinMenu* engine() { return sf->SkinMenu(); }
    TMenuItem* openMenu() {
        auto* w = engine()->LastWindow();
        return w && !w->ItemList.empty() ? w->ItemList[0]->MenuItem->Parent() : nullptr;
    }

    os::ManualClock clock{20000};
    std::unique_ptr<TspSkinData> skin;
    TForm* form = nullptr;
    TspSkinnedForm* sf = nullptr;
    TspSkinMainMenu* mm = nullptr;
    TMenuItem *file = nullptr, *edit = nullptr, *help = nullptr;
    TspSkinMainMenuBar* bar = nullptr;
    std::vector<std::string> clicked;
};

TEST_P(MainMenuBarTest, ItemsAreLaidOutFromTheMenu) {
    ASSERT_EQ(bar->Items().size(), 3u);
    EXPECT_EQ(item(0)->IDName, file->Name());
    if (!GetParam()) {
        EXPECT_EQ(bar->Height(), 22);
        TBitmap m(1, 1);
        m.Canvas()->Font()->Assign(bar->DefItemFont());
        int tw = WideTextWidth(m.Canvas(), u"&File");
        EXPECT_NEAR(RectWidth(item(0)->ObjectRect), tw + 12, 8);
        EXPECT_EQ(item(0)->ObjectRect.Left, 2);
    } else {
        EXPECT_EQ(bar->Height(), RectHeight(bar->BarSkinRect));
    }
    EXPECT_EQ(item(1)->ObjectRect.Left, item(0)->ObjectRect.Right);
}

TEST_P(MainMenuBarTest, ClickOpensAndTheOpenMenuFollowsTheMouse) {
    Press(Centre(0));
    ASSERT_TRUE(engine()->FVisible);
    EXPECT_EQ(openMenu(), file);
    EXPECT_TRUE(item(0)->FDown);
    EXPECT_TRUE(sf->InMainMenu);
    // Just below the item.
    EXPECT_EQ(engine()->LastWindow()->Top(),
              bar->ClientToScreen(item(0)->ObjectRect.BottomRight()).Y);

    Hover(Centre(1));
    EXPECT_EQ(openMenu(), edit);
    EXPECT_FALSE(item(0)->FDown);
    EXPECT_TRUE(item(1)->FDown);

    // A click outside the bar closes the menu and the menu mode.
    Press(POINT{form->Left() + 250, form->Top() + 200});
    Tick(20);
    EXPECT_FALSE(engine()->FVisible);
    EXPECT_FALSE(sf->InMainMenu);
    EXPECT_FALSE(item(1)->FDown);
    EXPECT_EQ(Application->MessageHookCount(), 0);
    EXPECT_TRUE(clicked.empty());
}

TEST_P(MainMenuBarTest, AnItemWithoutSubitemsRunsOnThePress) {
    std::vector<std::string> order;
    bar->OnMainMenuItemClick = [&](const std::string&) { order.push_back("bar"); };
    help->OnClick = [&](TObject*) { order.push_back("help"); };
    Press(Centre(2));
    EXPECT_EQ(order, (std::vector<std::string>{"bar", "help"}));
    EXPECT_FALSE(engine()->FVisible);
    EXPECT_FALSE(item(2)->FDown);
}

TEST_P(MainMenuBarTest, AltArrowsEnterAndEscapeDriveTheMenuMode) {
    Key(VK_MENU); // Alt alone enters the menu mode on the first item
    EXPECT_TRUE(sf->InMainMenu);
    EXPECT_TRUE(item(0)->Active);
    EXPECT_FALSE(engine()->FVisible);
    Key(VK_RIGHT);
    EXPECT_TRUE(item(1)->Active);
    EXPECT_FALSE(item(0)->Active);
    Key(VK_LEFT);
    Key(VK_LEFT); // wraps to the last
    EXPECT_TRUE(item(2)->Active);
    Key(VK_RIGHT);
    EXPECT_TRUE(item(0)->Active);

    Key(VK_DOWN); // opens File
    ASSERT_TRUE(engine()->FVisible);
    EXPECT_EQ(openMenu(), file);
    Key(VK_RIGHT); // an item without a submenu: on to the next bar item
    EXPECT_EQ(openMenu(), edit);
    Key(VK_ESCAPE); // closes the menu, the item stays hot
    Tick(20);
    EXPECT_FALSE(engine()->FVisible);
    EXPECT_TRUE(sf->InMainMenu);
    EXPECT_TRUE(item(1)->Active);
    EXPECT_FALSE(item(1)->FDown);
    Key(VK_ESCAPE); // leaves the menu mode
    EXPECT_FALSE(sf->InMainMenu);
    EXPECT_FALSE(item(1)->Active);
    EXPECT_EQ(Application->MessageHookCount(), 0);
}

TEST_P(MainMenuBarTest, AltWithALetterOpensByAcceleratorAndKeysChoose) {
    ASSERT_NE(display::CurrentHeadless(), nullptr);
    display::CurrentHeadless()->SetKeyDown(VK_MENU, true);
    Key('E', U'e');
    display::CurrentHeadless()->SetKeyDown(VK_MENU, false);
    ASSERT_TRUE(engine()->FVisible);
    EXPECT_EQ(openMenu(), edit);
    Key('C'); // the submenu's own accelerator
    // Opening a bar item's menu runs no command of its own.
    EXPECT_EQ(clicked, std::vector<std::string>{"&Copy"});
    Tick(20);
    EXPECT_FALSE(engine()->FVisible);
    EXPECT_FALSE(sf->InMainMenu);
    EXPECT_EQ(Application->MessageHookCount(), 0);
}

TEST_P(MainMenuBarTest, ItemsThatDoNotFitAreReachedThroughTheMarker) {
    // Room for two items and the marker.
    bar->SetBounds(0, 0, item(1)->ObjectRect.Right + (bar->Width() - bar->NewItemsRect.Right) + 6,
                   bar->Height());
    RenderBar();
    EXPECT_TRUE(bar->Scroll);
    EXPECT_FALSE(item(2)->ItemVisible);
    EXPECT_FALSE(item(2)->Enabled);
    TRect m = bar->MarkerRect();
    TPoint p = bar->ClientToScreen(TPoint(m.Left + 2, m.Top + 3));
    Press(POINT{p.X, p.Y});
    ASSERT_TRUE(engine()->FVisible);
    auto* w = engine()->LastWindow();
    ASSERT_EQ(w->ItemList.size(), 1u);
    EXPECT_EQ(w->ItemList[0]->MenuItem, help);
    engine()->Hide();
    // Room again: the item comes back with its old state.
    bar->SetBounds(0, 0, 480, bar->Height());
    RenderBar();
    EXPECT_TRUE(item(2)->ItemVisible);
    EXPECT_TRUE(item(2)->Enabled);
}

// With a merged menu the marker's menu goes on into the merged menu's items.
TEST_P(MainMenuBarTest, MarkerMenuOfAMergedBarListsTheMergedItemsToo) {
    TMainMenu other(nullptr);
    auto* tools = new TMenuItem(&other);
    tools->Caption = "&Tools";
    tools->GroupIndex = 9;
    other.Items()->Add(tools);
    bar->Merge(&other);
    bar->ScrollMenu = true;
    RenderBar();
    bar->SetBounds(0, 0, item(1)->ObjectRect.Right + (bar->Width() - bar->NewItemsRect.Right) + 6,
                   bar->Height());
    RenderBar();
    ASSERT_TRUE(bar->Scroll);
    TRect m = bar->MarkerRect();
    TPoint p = bar->ClientToScreen(TPoint(m.Left + 2, m.Top + 3));
    Press(POINT{p.X, p.Y});
    ASSERT_TRUE(engine()->FVisible);
    auto* w = engine()->LastWindow();
    std::vector<TMenuItem*> shown;
    for (auto& i : w->ItemList)
        shown.push_back(i->MenuItem);
    EXPECT_EQ(shown, (std::vector<TMenuItem*>{help, tools}));
    engine()->Hide();
    bar->UnMerge();
}

INSTANTIATE_TEST_SUITE_P(SkinAndDefault, MainMenuBarTest, ::testing::Bool());

} // namespace
