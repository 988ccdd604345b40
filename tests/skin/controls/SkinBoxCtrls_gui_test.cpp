// A form of skinned edits, spin edit, list box, scroll bar and combo box in a
// real window, worked through pointer and keys sent to the X server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "classlib/forms.h"
#include "platform/display/gtk.h"
#include "platform/win/window.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "support/screen.h"

namespace {

using namespace guitest;

} // namespace

TEST(SkinBoxCtrlsOnScreen, EditsListsBarsAndComboTakeRealInput) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    {
        TspSkinData skin(nullptr);
        skin.LoadFromCompressedFile(std::string(LANTROVE_PROGRAM_DIR) + "/skins/Default.skn");
        ASSERT_FALSE(skin.Empty);
        auto form = std::make_unique<TForm>(nullptr);
        form->BorderStyle = bsDialog;
        form->SetBounds(60, 60, 520, 300);
        form->SetCaption("Boxes");

        auto* edit = new TspSkinEdit(form.get());
        edit->SetParent(form.get());
        edit->SetBounds(10, 10, 180, 26);
        edit->SetSkinData(&skin);

        auto* spin = new TspSkinSpinEdit(form.get());
        spin->SetParent(form.get());
        spin->SetBounds(10, 50, 120, 26);
        spin->SetSkinData(&skin);
        spin->SetMinValue(1);
        spin->SetMaxValue(10);
        spin->SetValue(3);

        auto* list = new TspSkinListBox(form.get());
        list->SetParent(form.get());
        list->SetBounds(200, 10, 150, 120);
        list->SetSkinData(&skin);
        for (int i = 0; i < 12; ++i)
            list->Items()->Add("Song " + std::to_string(i));

        auto* bar = new TspSkinScrollBar(form.get());
        bar->SetParent(form.get());
        bar->SetBounds(10, 150, 300, 14);
        bar->SetSkinData(&skin);
        bar->SetRange(0, 100, 0, 10);
        int lastChanges = 0;
        bar->OnLastChange = [&](TObject*) { ++lastChanges; };

        auto* combo = new TspSkinComboBox(form.get());
        combo->SetParent(form.get());
        combo->SetBounds(10, 100, 150, 26);
        combo->SetSkinData(&skin);
        for (const char* s : {"128 kbit/s", "192 kbit/s", "256 kbit/s", "320 kbit/s"})
            combo->Items()->Add(s);
        combo->SetItemIndex(0);

        form->Show();
        SetActiveWindow(form->Handle());
        pumpFor(800);

        // Typing into the edit.
        ASSERT_EQ(run("xdotool mousemove " + pointerAt(edit, 20, 8) + " click 1"), 0);
        pumpUntil([&] { return edit->Focused(); });
        ASSERT_EQ(run("xdotool type --delay 50 'hello'"), 0);
        EXPECT_TRUE(pumpUntil([&] { return edit->Text() == "hello"; })) << edit->Text();

        // The spin edit by its up button and by the arrow key.
        spin->CalcRects();
        TRect up = spin->Buttons[0].R;
        ASSERT_EQ(run("xdotool mousemove " + pointerAt(spin, up.Left + 4, up.Top + 3) + " click 1"),
                  0);
        EXPECT_TRUE(pumpUntil([&] { return spin->Value() == 4; })) << spin->Value();
        ASSERT_EQ(run("xdotool mousemove " + pointerAt(spin, 10, 12) + " click 1"), 0);
        pumpUntil([&] { return spin->Edit()->Focused(); });
        ASSERT_EQ(run("xdotool key Up Up"), 0);
        EXPECT_TRUE(pumpUntil([&] { return spin->Value() == 6; })) << spin->Value();

        // A list row by click, the next one by key; the list scrolls its bar.
        TspListBox* inner = list->ListBox.get();
        TRect row = inner->ItemRect(2);
        ASSERT_EQ(run("xdotool mousemove " + pointerAt(inner, 20, row.Top + 4) + " click 1"), 0);
        EXPECT_TRUE(pumpUntil([&] { return list->ItemIndex() == 2; })) << list->ItemIndex();
        ASSERT_NE(list->ScrollBar, nullptr);
        ASSERT_EQ(run("xdotool key End"), 0);
        EXPECT_TRUE(pumpUntil([&] { return list->ItemIndex() == 11; }));
        EXPECT_TRUE(pumpUntil([&] { return list->ScrollBar->Position() > 0; }));

        // Dragging the scroll bar's thumb.
        bar->CalcRects();
        TRect thumb = bar->Buttons[TspSkinScrollBar::THUMB].R;
        const int tx = (thumb.Left + thumb.Right) / 2, ty = (thumb.Top + thumb.Bottom) / 2;
        TPoint from = bar->ClientToScreen(TPoint{tx, ty});
        xdo("mousemove " + std::to_string(from.X) + " " + std::to_string(from.Y) +
            " sleep 0.3 mousedown 1 sleep 0.2 mousemove " + std::to_string(from.X + 60) + " " +
            std::to_string(from.Y) + " sleep 0.2 mousemove " + std::to_string(from.X + 120) + " " +
            std::to_string(from.Y) + " sleep 0.3 mouseup 1");
        EXPECT_TRUE(pumpUntil([&] { return lastChanges == 1; }));
        EXPECT_GT(bar->Position(), 20);

        // The combo box: pressed on its button, the list opens; dragged onto a
        // row and released there, that row is taken.
        combo->CalcRects();
        TRect b = combo->Button.R;
        TPoint press = combo->ClientToScreen(TPoint{(b.Left + b.Right) / 2, 12});
        xdo("mousemove " + std::to_string(press.X) + " " + std::to_string(press.Y) +
            " sleep 0.3 mousedown 1 sleep 1.2 mousemove " + std::to_string(press.X) + " " +
            std::to_string(press.Y + 40) + " sleep 0.3 mousemove " + std::to_string(press.X) + " " +
            std::to_string(press.Y + 60) + " sleep 0.5 mouseup 1");
        ASSERT_TRUE(pumpUntil([&] { return combo->IsPopupVisible(); }));
        TspListBox* drop = combo->ListBox()->ListBox.get();
        EXPECT_TRUE(pumpUntil([&] { return !combo->IsPopupVisible(); }));
        const int taken = combo->ItemIndex();
        EXPECT_GT(taken, 0);
        EXPECT_EQ(combo->Text(), combo->Items()->Get(std::max(0, taken)));
        // Clicked open, then a row clicked once the list shows on screen.
        ASSERT_EQ(
            run("xdotool mousemove " + pointerAt(combo, (b.Left + b.Right) / 2, 12) + " click 1"),
            0);
        ASSERT_TRUE(pumpUntil([&] { return combo->IsPopupVisible(); }));
        pumpFor(500);
        TRect r3 = drop->ItemRect(3);
        ASSERT_EQ(
            run("xdotool mousemove " + pointerAt(drop, 20, r3.Top + 4) + " sleep 0.2 click 1"), 0);
        EXPECT_TRUE(pumpUntil([&] { return !combo->IsPopupVisible(); }));
        EXPECT_EQ(combo->Text(), "320 kbit/s");
        // Keys step it while closed.
        combo->SetItemIndex(1);
        ASSERT_EQ(run("xdotool key Down"), 0);
        EXPECT_TRUE(pumpUntil([&] { return combo->ItemIndex() == 2; }));
        EXPECT_EQ(combo->Text(), "256 kbit/s");
        form->Hide();
        pumpFor(200);
    }
    display::Install(nullptr);
}
