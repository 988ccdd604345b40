// Skinned popup menus on a real display: a menu chosen by pointer and by keys
// sent to the X server.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "classlib/forms.h"
#include "platform/display/gtk.h"
#include "platform/display/tray.h"
#include "platform/win/input.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/spTrayIcon.h"
#include "support/screen.h"

namespace {

using guitest::pumpFor;
using guitest::pumpUntil;

// Pumps through the application, as the program's loop does (menus read keys
// from its message hook).
template <class Pred> bool appPumpUntil(Pred done) {
    for (int i = 0; i < 1200; ++i) {
        Application->ProcessMessages();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

using guitest::xdo;

struct Fixture {
    TspSkinData skin{nullptr};
    std::unique_ptr<TForm> form;
    TspSkinnedForm* sf = nullptr;
    TspSkinPopupMenu* menu = nullptr;
    std::string chosen;
    Fixture() {
        skin.LoadFromCompressedFile(std::string(LANTROVE_PROGRAM_DIR) + "/skins/Default.skn");
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(100, 100, 500, 300);
        sf = new TspSkinnedForm(form.get());
        sf->SetSkinData(&skin);
        menu = new TspSkinPopupMenu(form.get());
        for (const char* c : {"&First", "&Second", "&Third"}) {
            auto* i = new TMenuItem(menu);
            i->Caption = c;
            i->OnClick = [this, c](TObject*) { chosen = c; };
            menu->Items()->Add(i);
        }
        form->Show();
        SetActiveWindow(form->Handle());
        pumpFor(800);
    }
};

} // namespace

TEST(SkinMenusOnScreen, PopupMenuTakesPointerAndKeys) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    {
        Fixture f;
        ASSERT_FALSE(f.skin.Empty);
        f.menu->Popup(250, 180);
        ASSERT_TRUE(f.sf->SkinMenu()->FVisible);
        TspSkinPopupWindow* w = f.sf->SkinMenu()->LastWindow();
        TRect r = w->ItemList.at(1)->ObjectRect;
        int x = w->Left() + (r.Left + r.Right) / 2, y = w->Top() + (r.Top + r.Bottom) / 2;
        xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " sleep 0.4 click 1");
        EXPECT_TRUE(pumpUntil([&] { return f.chosen == "&Second"; })) << f.chosen;
        EXPECT_FALSE(f.sf->SkinMenu()->FVisible);

        // The keys reach the menu through the form's hook.
        f.chosen.clear();
        xdo("mousemove 130 380"); // keys follow the pointer without a window manager
        pumpFor(300);
        f.menu->Popup(250, 180);
        pumpFor(300);
        xdo("key Down sleep 0.2 key Down sleep 0.2 key Return");
        EXPECT_TRUE(appPumpUntil([&] { return f.chosen == "&Third"; })) << f.chosen;
        EXPECT_FALSE(f.sf->SkinMenu()->FVisible);
        EXPECT_EQ(GetCapture(), HWND(0));
    }
    display::Install(nullptr);
}

TEST(SkinMenusOnScreen, MenuBarOpensItsMenusThroughRealInput) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    {
        Fixture f;
        auto* mm = new TspSkinMainMenu(f.form.get());
        std::string chosen;
        auto add = [&](TMenuItem* parent, const char* caption) {
            auto* i = new TMenuItem(mm);
            i->Caption = caption;
            i->OnClick = [&chosen, caption](TObject*) { chosen = caption; };
            parent->Add(i);
            return i;
        };
        TMenuItem* file = add(mm->Items(), "&File");
        add(file, "&Open");
        TMenuItem* view = add(mm->Items(), "&View");
        add(view, "&Large");
        add(view, "&Small");
        auto* bar = new TspSkinMainMenuBar(f.form.get());
        bar->SetParent(f.form.get());
        bar->SetSkinData(&f.skin);
        bar->SetSkinnedForm(f.sf);
        bar->SetMainMenu(mm);
        appPumpUntil([&] { return bar->Items().at(1)->ObjectRect.Right > 0; });
        auto centre = [&](int i) {
            TRect r = bar->Items().at(size_t(i))->ObjectRect;
            return bar->ClientToScreen(TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
        };
        TPoint p0 = centre(0), p1 = centre(1);
        xdo("mousemove " + std::to_string(p0.X) + " " + std::to_string(p0.Y) +
            " sleep 0.3 click 1");
        EXPECT_TRUE(appPumpUntil([&] { return f.sf->SkinMenu()->FVisible; }));
        // With a menu open, the next item takes it over under the pointer alone.
        xdo("mousemove " + std::to_string(p1.X) + " " + std::to_string(p1.Y));
        EXPECT_TRUE(appPumpUntil([&] { return bar->Items().at(1)->FDown; }));
        // Keys: down to the second entry and choose it.
        xdo("key Down sleep 0.2 key Return");
        EXPECT_TRUE(appPumpUntil([&] { return chosen == "&Small"; })) << chosen;
        EXPECT_FALSE(f.sf->SkinMenu()->FVisible);
        EXPECT_FALSE(f.sf->InMainMenu);
    }
    display::Install(nullptr);
}
