// The main menu drawn in the skinned frame on the headless display: items laid
// out in the skin's menu rect, hidden when they do not fit, opened by click,
// followed by the mouse while open, driven by Alt, arrows, accelerators and
// Escape.
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
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedForm.h"
#include "skinned_form_fixture.h"

namespace {

// A TColor as the rendered pixel holds it.
uint32_t Rgb(TColor c) {
    uint32_t v = ColorToRGB(c);
    return (v & 0xFF) << 16 | (v & 0xFF00) | (v >> 16 & 0xFF);
}

class FrameMainMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        os::SetClock(&clock);
        skintest::UseTestMonitors();
        skin = skintest::LoadDefaultSkin();
        ASSERT_FALSE(skin->Empty);
        // A menu strip under the caption: the client area starts below it.
        skin->ClRect.Top = 58;
        skin->LTPoint.Y = skin->RTPoint.Y = 58;
        skin->MainMenuRect = TRect(4, 33, 200, 57);
        int i = skin->GetIndex("MAINMENUITEM");
        ASSERT_NE(i, -1);
        element = dynamic_cast<TspDataSkinMainMenuItem*>(skin->ObjectList[size_t(i)].get());
        ASSERT_NE(element, nullptr);
        element->FontColor = clBlue;
        element->UnEnabledFontColor = clLime;
        element->ActiveFontColor = clRed;
        element->DownFontColor = clFuchsia;

        form = new TForm(nullptr);
        form->SetBounds(100, 80, 460, 200);
        sf = new TspSkinnedForm(form);
        mm = new TspSkinMainMenu(form);
        file = Add(mm->Items(), "&File");
        Add(file, "&Open");
        Add(file, "E&xit");
        edit = Add(mm->Items(), "&Edit");
        Add(edit, "&Copy");
        tools = Add(mm->Items(), "&Tools");
        Add(tools, "&Options");
        tools->Enabled = false;
        help = Add(mm->Items(), "&Help");
        sf->SetMainMenu(mm);
        sf->SetSkinData(skin.get());
        form->Show();
        SetActiveWindow(form->Handle());
        Application->ProcessMessages();
        Render();
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
        std::string name = caption;
        std::erase(name, '&');
        i->SetName(name + "Item");
        i->Caption = caption;
        i->OnClick = [this, caption](TObject*) { clicked.push_back(caption); };
        parent->Add(i);
        return i;
    }
    void Render() { DeleteObject(RenderWindowToBitmap(form->Handle())); }
    // How many pixels of the item's rect have exactly this colour.
    int Count(int i, TColor c) {
        HBITMAP shot = RenderWindowToBitmap(form->Handle());
        TRect r = item(i)->ObjectRect;
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x)
                if ((reinterpret_cast<const uint32_t*>(shot->row(y))[x] & 0xFFFFFF) == Rgb(c)) ++n;
        DeleteObject(shot);
        return n;
    }
    TspSkinMainMenuItem* item(int i) { return sf->MainMenuItems().at(size_t(i)); }
    TPoint Centre(int i) {
        TRect r = item(i)->ObjectRect;
        return TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    }
    // Press and release on an item, in frame coordinates.
    void Press(int i) {
        TPoint p = Centre(i);
        sf->TestActiveObject(p.X, p.Y, true);
        sf->ObjectsMouseDown(mbLeft, p.X, p.Y);
        sf->ObjectsMouseUp(mbLeft, p.X, p.Y);
        Application->ProcessMessages();
    }
    void Hover(int i) {
        TPoint p = Centre(i);
        sf->TestActiveObject(p.X, p.Y, true);
        Application->ProcessMessages();
    }
    void Key(int vk, char32_t ch = 0) {
        DeliverKey(true, vk, ch);
        Application->ProcessMessages();
        DeliverKey(false, vk, 0);
        Application->ProcessMessages();
    }
    void Tick(unsigned ms) {
        for (unsigned t = 0; t < ms; t += 10) {
            clock.Advance(10);
            Application->ProcessMessages();
        }
    }
    TspSkinMenu* engine() { return sf->SkinMenu(); }
    TMenuItem* openMenu() {
        auto* w = engine()->LastWindow();
        return w && !w->ItemList.empty() ? w->ItemList[0]->MenuItem->Parent() : nullptr;
    }

    os::ManualClock clock{20000};
    std::unique_ptr<TspSkinData> skin;
    TspDataSkinMainMenuItem* element = nullptr;
    TForm* form = nullptr;
    TspSkinnedForm* sf = nullptr;
    TspSkinMainMenu* mm = nullptr;
    TMenuItem *file = nullptr, *edit = nullptr, *tools = nullptr, *help = nullptr;
    std::vector<std::string> clicked;
};

TEST_F(FrameMainMenuTest, ItemsLineUpInTheMenuRectAndComeBackWithTheirStateWhenWidened) {
    ASSERT_EQ(sf->MainMenuItems().size(), 4u);
    EXPECT_EQ(item(0)->IDName, file->Name());
    EXPECT_EQ(item(0)->ObjectRect.Left, 4);
    EXPECT_EQ(item(0)->ObjectRect.Top, 33);
    EXPECT_EQ(item(0)->ObjectRect.Height(), element->SkinRect.Height());
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(item(i)->ObjectRect.Left, item(i - 1)->ObjectRect.Right);
    // The item is as wide as its text needs, on the element's edges.
    TBitmap m(1, 1);
    m.Canvas()->Font()->SetName(element->FontName);
    m.Canvas()->Font()->SetHeight(element->FontHeight);
    int tw = WideTextWidth(m.Canvas(), u"File");
    EXPECT_NEAR(item(0)->ObjectRect.Width(),
                element->SkinRect.Width() - element->TextRct.Width() + tw + 2, 3);
    EXPECT_GT(Count(0, clBlue), 0);
    EXPECT_FALSE(item(2)->Enabled);

    // Narrower: the menu rect ends before the last items.
    int room = item(1)->ObjectRect.Right + 2 + (420 - 200);
    form->SetBounds(form->Left(), form->Top(), room, form->Height());
    Application->ProcessMessages();
    Render();
    EXPECT_TRUE(item(1)->ItemVisible);
    EXPECT_FALSE(item(2)->ItemVisible);
    EXPECT_FALSE(item(3)->ItemVisible);
    EXPECT_FALSE(item(3)->Enabled);
    // Hidden items take no hover and no click.
    TPoint p(item(3)->ObjectRect.Left + 3, item(3)->ObjectRect.Top + 3);
    sf->TestActiveObject(p.X, p.Y, true);
    sf->ObjectsMouseDown(mbLeft, p.X, p.Y);
    sf->ObjectsMouseUp(mbLeft, p.X, p.Y);
    EXPECT_FALSE(item(3)->Active);
    EXPECT_TRUE(clicked.empty());

    form->SetBounds(form->Left(), form->Top(), 460, form->Height());
    Application->ProcessMessages();
    Render();
    EXPECT_TRUE(item(2)->ItemVisible);
    EXPECT_TRUE(item(3)->ItemVisible);
    EXPECT_FALSE(item(2)->Enabled); // disabled before, disabled again
    EXPECT_TRUE(item(3)->Enabled);
}

TEST_F(FrameMainMenuTest, ADisabledItemIsDrawnInItsColourAndIgnoresClicks) {
    EXPECT_GT(Count(2, clLime), 0);
    EXPECT_EQ(Count(2, clBlue), 0);
    EXPECT_EQ(Count(0, clLime), 0);
    Press(2);
    EXPECT_FALSE(engine()->FVisible);
    EXPECT_FALSE(item(2)->FDown);
    EXPECT_FALSE(sf->InMainMenu);
}

TEST_F(FrameMainMenuTest, ClickOpensAndTheOpenMenuFollowsTheMouse) {
    Hover(0);
    EXPECT_TRUE(item(0)->Active);
    EXPECT_GT(Count(0, clRed), 0);
    Press(0);
    ASSERT_TRUE(engine()->FVisible);
    EXPECT_EQ(openMenu(), file);
    EXPECT_TRUE(item(0)->FDown);
    EXPECT_TRUE(sf->InMainMenu);
    EXPECT_GT(Count(0, clFuchsia), 0);
    // Just below the item, in screen coordinates.
    EXPECT_EQ(engine()->LastWindow()->Top(), form->Top() + item(0)->ObjectRect.Bottom);
    EXPECT_EQ(engine()->LastWindow()->Left(), form->Left() + item(0)->ObjectRect.Left);

    Hover(1);
    EXPECT_EQ(openMenu(), edit);
    EXPECT_FALSE(item(0)->FDown);
    EXPECT_TRUE(item(1)->FDown);
    EXPECT_EQ(engine()->LastWindow()->Left(), form->Left() + item(1)->ObjectRect.Left);
    // Onto the disabled item: the open menu stays where it is.
    Hover(2);
    EXPECT_EQ(openMenu(), edit);

    // Choosing a command closes the menu and the menu mode.
    auto* w = engine()->LastWindow();
    TRect r = w->ItemList[0]->ObjectRect;
    int x = (r.Left + r.Right) / 2, y = (r.Top + r.Bottom) / 2;
    SendMessage(w->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    SendMessage(w->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    Tick(20);
    EXPECT_EQ(clicked, std::vector<std::string>{"&Copy"});
    EXPECT_FALSE(engine()->FVisible);
    EXPECT_FALSE(sf->InMainMenu);
    EXPECT_FALSE(item(1)->FDown);
    EXPECT_EQ(Application->MessageHookCount(), 0);
}

TEST_F(FrameMainMenuTest, AnItemWithoutSubitemsRunsOnThePress) {
    std::vector<std::string> order;
    help->OnClick = [&](TObject*) { order.push_back("click"); };
    sf->OnMouseDownEvent = [&](const std::string& id, int, int, TRect, TMouseButton) {
        order.push_back(id);
    };
    TPoint p = Centre(3);
    sf->TestActiveObject(p.X, p.Y, true);
    sf->ObjectsMouseDown(mbLeft, p.X, p.Y);
    EXPECT_EQ(order, (std::vector<std::string>{"click", help->Name()}));
    sf->ObjectsMouseUp(mbLeft, p.X, p.Y);
    EXPECT_EQ(order.size(), 2u);
    EXPECT_FALSE(engine()->FVisible);
    EXPECT_FALSE(item(3)->FDown);
}

TEST_F(FrameMainMenuTest, AltArrowsAndEscapeDriveTheMenuMode) {
    Key(VK_MENU); // Alt alone enters the menu mode on the first item
    EXPECT_TRUE(sf->InMainMenu);
    EXPECT_TRUE(item(0)->Active);
    EXPECT_FALSE(engine()->FVisible);
    Key(VK_RIGHT);
    EXPECT_TRUE(item(1)->Active);
    EXPECT_FALSE(item(0)->Active);
    Key(VK_RIGHT); // the disabled item is passed over
    EXPECT_TRUE(item(3)->Active);
    Key(VK_RIGHT); // wraps to the first
    EXPECT_TRUE(item(0)->Active);
    Key(VK_LEFT); // and back to the last
    EXPECT_TRUE(item(3)->Active);
    Key(VK_RIGHT);

    Key(VK_DOWN); // opens File
    ASSERT_TRUE(engine()->FVisible);
    EXPECT_EQ(openMenu(), file);
    Key(VK_RIGHT); // an item without a submenu: on to the next main item
    EXPECT_EQ(openMenu(), edit);
    EXPECT_TRUE(item(1)->FDown);
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

    // Enter on an item without subitems runs it and gives the keyboard back.
    Key(VK_MENU);
    Key(VK_LEFT);
    EXPECT_TRUE(item(3)->Active);
    Key(VK_RETURN);
    EXPECT_EQ(clicked, std::vector<std::string>{"&Help"});
    EXPECT_FALSE(sf->InMainMenu);
    EXPECT_EQ(Application->MessageHookCount(), 0);
}

TEST_F(FrameMainMenuTest, AltWithALetterPressesByAccelerator) {
    ASSERT_NE(display::CurrentHeadless(), nullptr);
    display::CurrentHeadless()->SetKeyDown(VK_MENU, true);
    Key('E', U'e');
    display::CurrentHeadless()->SetKeyDown(VK_MENU, false);
    ASSERT_TRUE(engine()->FVisible);
    EXPECT_EQ(openMenu(), edit);
    Key('C'); // the submenu's own accelerator
    EXPECT_EQ(clicked, std::vector<std::string>{"&Copy"});
    Tick(20);
    EXPECT_FALSE(engine()->FVisible);
    EXPECT_FALSE(sf->InMainMenu);

    // An item without subitems runs at once, and the keyboard is the form's again.
    display::CurrentHeadless()->SetKeyDown(VK_MENU, true);
    Key('H', U'h');
    display::CurrentHeadless()->SetKeyDown(VK_MENU, false);
    EXPECT_EQ(clicked, (std::vector<std::string>{"&Copy", "&Help"}));
    EXPECT_FALSE(sf->InMainMenu);
    EXPECT_EQ(Application->MessageHookCount(), 0);
    // A disabled item's accelerator does nothing.
    display::CurrentHeadless()->SetKeyDown(VK_MENU, true);
    Key('T', U't');
    display::CurrentHeadless()->SetKeyDown(VK_MENU, false);
    EXPECT_FALSE(engine()->FVisible);
}

TEST_F(FrameMainMenuTest, AMenuBarOrASkinWithoutTheElementKeepsTheMenuOutOfTheFrame) {
    auto* bar = new TspSkinMainMenuBar(form);
    bar->SetParent(form);
    bar->SetMainMenu(mm);
    bar->SetSkinnedForm(sf);
    EXPECT_TRUE(sf->MainMenuItems().empty());
    bar->SetSkinnedForm(nullptr);
    sf->SetMainMenuBar(nullptr);
    EXPECT_EQ(sf->MainMenuItems().size(), 4u);

    element->IDName = "mainmenuitem"; // names match exactly
    sf->UpdateMainMenu(true);
    EXPECT_TRUE(sf->MainMenuItems().empty());
}

TEST_F(FrameMainMenuTest, FreeingTheMenuDropsItsItems) {
    delete mm;
    mm = nullptr;
    EXPECT_TRUE(sf->MainMenuItems().empty());
    Render();
}

TEST(FormKeyboard, AltSpaceOpensTheSystemMenuUnderItsButton) {
    SetMonitors({MonitorDesc{RECT{0, 0, 1280, 1024}, RECT{0, 0, 1280, 1000}}});
    auto* form = new TForm(nullptr);
    form->SetBounds(100, 80, 400, 200);
    auto* sf = new TspSkinnedForm(form); // no skin: the default caption buttons
    form->Show();
    SetActiveWindow(form->Handle());
    Application->ProcessMessages();
    DeleteObject(RenderWindowToBitmap(form->Handle()));
    int button = sf->GetIndex("sysmenubutton");
    ASSERT_NE(button, -1);
    TRect r = sf->ObjectList[size_t(button)]->ObjectRect;

    display::CurrentHeadless()->SetKeyDown(VK_MENU, true);
    DeliverKey(true, VK_SPACE, U' ');
    Application->ProcessMessages();
    DeliverKey(false, VK_SPACE, 0);
    display::CurrentHeadless()->SetKeyDown(VK_MENU, false);
    Application->ProcessMessages();
    TspSkinPopupWindow* w = sf->SkinMenu()->LastWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->ItemList.back()->MenuItem->Name(), "DSF_CLOSE");
    EXPECT_EQ(w->Top(), form->Top() + r.Bottom);
    sf->SkinMenu()->Hide();

    sf->DisableSystemMenu = true;
    sf->KeyMenu(' ');
    EXPECT_FALSE(sf->SkinMenu()->FVisible);
    delete form;
    Application->ProcessMessages();
    SetMonitors({});
}

} // namespace

namespace {

TEST_F(FrameMainMenuTest, ShortCutsOfTheMainMenuRunFromTheKeyboard) {
    TMenuItem* open = file->Items(0);
    open->ShortCut = ShortCut('O', ssCtrl);
    TMenuItem* copy = edit->Items(0);
    copy->ShortCut = ShortCut(0x73, ssAlt); // Alt+F4: a short cut, not an accelerator
    std::vector<std::string> typed;
    form->OnKeyPress = [&](TObject*, char32_t& c) { typed.push_back(std::string(1, char(c))); };
    display::CurrentHeadless()->SetKeyDown(VK_CONTROL, true);
    Key('O', U'\x0f');
    display::CurrentHeadless()->SetKeyDown(VK_CONTROL, false);
    EXPECT_EQ(clicked, std::vector<std::string>{"&Open"});
    EXPECT_TRUE(typed.empty()); // the key was the menu's, not the form's
    EXPECT_FALSE(engine()->FVisible);

    display::CurrentHeadless()->SetKeyDown(VK_MENU, true);
    Key(0x73);
    display::CurrentHeadless()->SetKeyDown(VK_MENU, false);
    EXPECT_EQ(clicked, (std::vector<std::string>{"&Open", "&Copy"}));

    // The component's own handler is asked first and may keep the key.
    int asked = 0;
    sf->OnShortCut = [&](TWMKey& Msg, bool& Handled) {
        ++asked;
        Handled = Msg.CharCode == 'O';
    };
    display::CurrentHeadless()->SetKeyDown(VK_CONTROL, true);
    Key('O', U'\x0f');
    display::CurrentHeadless()->SetKeyDown(VK_CONTROL, false);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(clicked.size(), 2u);
    // A plain key is nobody's short cut and reaches the form.
    Key('Q', U'q');
    EXPECT_EQ(typed, std::vector<std::string>{"q"});
}

TEST_F(FrameMainMenuTest, CloseItemsCarryTheirShortCutAndPopupMenusFireOnPopup) {
    TMenuItem* items = sf->GetSystemMenuItems();
    TMenuItem* close = items->Items(items->Count() - 1);
    EXPECT_EQ(close->Name(), "DSF_CLOSE");
    EXPECT_EQ(ShortCutToText(close->ShortCut), "Alt+F4");
    TMenuItem* tray = sf->SysTrayMenu()->Items();
    EXPECT_EQ(ShortCutToText(tray->Items(tray->Count() - 1)->ShortCut), "Alt+F4");
    TPopupMenu user(nullptr);
    sf->SetSystemMenu(&user);
    items = sf->GetSystemMenuItems();
    EXPECT_EQ(ShortCutToText(items->Items(items->Count() - 1)->ShortCut), "Alt+F4");
    sf->SetSystemMenu(nullptr);

    TPopupMenu popup(nullptr);
    auto* entry = new TMenuItem(&popup);
    entry->Caption = "Entry";
    popup.Items()->Add(entry);
    int fired = 0;
    popup.OnPopup = [&](TObject* Sender) {
        EXPECT_EQ(Sender, &popup);
        ++fired;
    };
    sf->DoPopupMenu(&popup, 200, 200);
    EXPECT_EQ(fired, 1);
    EXPECT_TRUE(engine()->FVisible);
    sf->SkinMenuClose();
}

} // namespace
