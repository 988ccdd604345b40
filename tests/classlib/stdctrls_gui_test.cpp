// A form holding the standard controls in a real window: the X screen shows
// what the headless renderer draws, and pointer and keys sent to the X server
// edit, select and check through the controls.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "classlib/comctrls.h"
#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "platform/display/gtk.h"
#include "platform/gdi/gdi.h"
#include "platform/win/paint.h"
#include "support/screen.h"
#include "support/tempdir.h"

namespace {

using namespace guitest;

} // namespace

TEST(StdCtrlsOnScreen, ShowsTheHeadlessPixelsAndTakesInput) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    {
        auto form = std::make_unique<TForm>(nullptr);
        form->BorderStyle = bsDialog;
        form->SetBounds(40, 30, 640, 320);
        form->SetCaption("Controls");
        auto* status = new TStatusBar(form.get());
        status->SetParent(form.get());
        status->AddPanel().Text = "Ready";
        auto* label = new TLabel(form.get());
        label->SetCaption("&Name:");
        label->SetBounds(10, 12, 40, 16);
        label->SetParent(form.get());
        auto* edit = new TEdit(form.get());
        edit->SetBounds(60, 10, 150, 22);
        edit->SetParent(form.get());
        label->FocusControl = edit;
        auto* list = new TListBox(form.get());
        list->SetBounds(10, 40, 200, 100);
        list->SetParent(form.get());
        for (int i = 0; i < 12; ++i)
            list->Items()->Add("Row " + std::to_string(i));
        auto* memo = new TMemo(form.get());
        memo->SetBounds(220, 10, 190, 80);
        memo->ScrollBars = ssVertical;
        memo->SetParent(form.get());
        memo->Lines()->Add("first line");
        auto* check = new TCheckBox(form.get());
        check->SetCaption("Check me");
        check->SetBounds(10, 150, 120, 20);
        check->SetParent(form.get());
        auto* group = new TGroupBox(form.get());
        group->SetCaption("Kind");
        group->SetBounds(220, 100, 190, 80);
        group->SetParent(form.get());
        auto* r1 = new TRadioButton(form.get());
        r1->SetCaption("One");
        r1->SetBounds(10, 20, 80, 20);
        r1->SetParent(group);
        r1->SetChecked(true);
        auto* r2 = new TRadioButton(form.get());
        r2->SetCaption("Two");
        r2->SetBounds(10, 45, 80, 20);
        r2->SetParent(group);
        auto* bar = new TScrollBar(form.get());
        bar->SetBounds(10, 180, 200, 17);
        bar->SetParent(form.get());
        bar->SetParams(20, 0, 100);
        auto* ok = new TButton(form.get());
        ok->SetCaption("OK");
        ok->Default = true;
        ok->SetBounds(330, 200, 80, 26);
        ok->SetParent(form.get());
        int oks = 0;
        ok->OnClick = [&](TObject*) { ++oks; };
        // The common controls beside them.
        auto* view = new TListView(form.get());
        view->SetBounds(420, 10, 210, 130);
        view->SetViewStyle(vsReport);
        view->SetParent(form.get());
        view->Columns()->Add()->SetCaption("Title");
        view->Columns()->Add()->SetCaption("Size");
        for (int i = 0; i < 4; ++i) {
            TListItem* item = view->Items()->Add();
            item->SetCaption("Song " + std::to_string(i));
            item->SubItems()->Add(std::to_string(i + 3) + " MB");
        }
        auto* pages = new TPageControl(form.get());
        pages->SetBounds(420, 150, 210, 100);
        pages->SetParent(form.get());
        for (const char* name : {"One", "Two"}) {
            auto* sheet = new TTabSheet(form.get());
            sheet->SetCaption(name);
            sheet->SetPageControl(pages);
        }
        auto* updown = new TUpDown(form.get());
        updown->SetBounds(220, 190, 17, 24);
        updown->SetParent(form.get());
        updown->SetMin(0);
        updown->SetMax(10);

        form->Show();
        pumpFor(800);
        HWND fh = form->Handle();
        std::unique_ptr<GdiBitmap, BOOL (*)(HGDIOBJ)> headless(RenderWindowToBitmap(fh),
                                                               DeleteObject);
        ASSERT_NE(headless, nullptr);
        Screenshot shot;
        int mismatches = waitForScreenMatch(shot, headless.get(), 40, 30, 640, 320, 680);
        ASSERT_GE(shot.w, 680);
        EXPECT_EQ(mismatches, 0);
        // The controls are really there: the list's white field, the checked radio.
        TPoint field = list->ClientToScreen(TPoint{150, 90});
        EXPECT_EQ(shot.at(field.X, field.Y), GetSysColor(COLOR_WINDOW));

        // Click into the edit and type.
        ASSERT_EQ(run("xdotool mousemove " + pointerAt(edit, 5, 10) + " click 1"), 0);
        pumpUntil([&] { return edit->Focused(); });
        ASSERT_TRUE(edit->Focused());
        ASSERT_EQ(run("xdotool type --delay 50 'abc d'"), 0);
        pumpUntil([&] { return edit->Text() == "abc d"; });
        EXPECT_EQ(edit->Text(), "abc d");
        // Shift+Home selects it, BackSpace removes it.
        ASSERT_EQ(run("xdotool key shift+Home BackSpace"), 0);
        pumpUntil([&] { return edit->Text().empty(); });
        EXPECT_EQ(edit->Text(), "");

        // A list row by click, then the next one by the arrow key.
        TRect row = list->ItemRect(3);
        ASSERT_EQ(run("xdotool mousemove " + pointerAt(list, 20, row.Top + 3) + " click 1"), 0);
        pumpUntil([&] { return list->ItemIndex() == 3; });
        EXPECT_EQ(list->ItemIndex(), 3);
        ASSERT_EQ(run("xdotool key Down"), 0);
        pumpUntil([&] { return list->ItemIndex() == 4; });
        EXPECT_EQ(list->ItemIndex(), 4);
        // The wheel scrolls it.
        ASSERT_EQ(run("xdotool click 5"), 0);
        pumpUntil([&] { return list->TopIndex() > 0; });
        EXPECT_GT(list->TopIndex(), 0);

        // Check box and radio button by click.
        ASSERT_EQ(run("xdotool mousemove " + pointerAt(check, 5, 10) + " click 1"), 0);
        pumpUntil([&] { return check->Checked(); });
        EXPECT_TRUE(check->Checked());
        ASSERT_EQ(run("xdotool mousemove " + pointerAt(r2, 5, 10) + " click 1"), 0);
        pumpUntil([&] { return r2->Checked(); });
        EXPECT_TRUE(r2->Checked());
        EXPECT_FALSE(r1->Checked());

        // The scroll bar's right arrow steps it.
        ASSERT_EQ(run("xdotool mousemove " + pointerAt(bar, 195, 8) + " click 1"), 0);
        pumpUntil([&] { return bar->Position() == 21; });
        EXPECT_EQ(bar->Position(), 21);

        // The up-down's upper half steps it up.
        ASSERT_EQ(run("xdotool mousemove " + pointerAt(updown, 8, 4) + " click 1"), 0);
        pumpUntil([&] { return updown->Position() == 1; });
        EXPECT_EQ(updown->Position(), 1);

        // Alt+N focuses the edit through the label; Enter presses the default button.
        ASSERT_EQ(run("xdotool key alt+n"), 0);
        pumpUntil([&] { return edit->Focused(); });
        EXPECT_TRUE(edit->Focused());
        ASSERT_EQ(run("xdotool key Return"), 0);
        pumpUntil([&] { return oks == 1; });
        EXPECT_EQ(oks, 1);

        // What the screen shows after all that still matches.
        pumpFor(300);
        headless.reset(RenderWindowToBitmap(fh));
        pumpUntil([&] {
            if (!captureScreen(shot)) return false;
            mismatches = 0;
            for (int y = 0; y < 320; ++y)
                for (int x = 0; x < 640; ++x)
                    if (shot.at(40 + x, 30 + y) != headless->getPixel(x, y)) ++mismatches;
            return mismatches == 0;
        });
        EXPECT_EQ(mismatches, 0);

        form.reset();
        pumpFor(50);
    }
    display::Install(nullptr);
}
