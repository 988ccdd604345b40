// A form with a list view and a page control in a real window: the X screen
// shows what the headless renderer draws for it, and clicks and keys sent to
// the X server select rows and switch pages.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "classlib/comctrls.h"
#include "classlib/forms.h"
#include "platform/display/gtk.h"
#include "platform/gdi/gdi.h"
#include "platform/win/controls/tabctrl.h"
#include "platform/win/paint.h"
#include "support/screen.h"
#include "support/tempdir.h"

namespace {

using namespace guitest;

void clickAt(HWND h, POINT p) {
    ClientToScreen(h, &p);
    run("xdotool mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) + " click 1");
}

} // namespace

TEST(ComCtrlsOnScreen, ListAndPagesShowTheHeadlessPixelsAndTakeInput) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    {
        auto form = std::make_unique<TForm>(nullptr);
        form->BorderStyle = bsNone;
        form->SetBounds(60, 50, 520, 360);
        form->SetCaption("Lists and pages");
        auto* lv = new TListView(form.get());
        lv->SetBounds(10, 10, 500, 160);
        lv->SetViewStyle(vsReport);
        lv->SetRowSelect(true);
        lv->SetParent(form.get());
        for (const char* c : {"Title", "Save Location", "Length", "Status"})
            lv->Columns()->Add()->SetCaption(c);
        lv->Columns()->Items(1)->SetWidth(200);
        for (int i = 0; i < 30; ++i) {
            TListItem* it = lv->Items()->Add();
            it->SetCaption("Song " + std::to_string(i));
            it->SubItems()->Add("/music/song" + std::to_string(i) + ".mp3");
            it->SubItems()->Add("03:2" + std::to_string(i % 10));
            it->SubItems()->Add(i % 3 ? "Ready" : "Finished");
        }
        auto* pc = new TPageControl(form.get());
        pc->SetBounds(10, 180, 500, 170);
        pc->SetParent(form.get());
        std::vector<TTabSheet*> sheets;
        for (const char* c : {"Result", "Hot Songs", "Categories"}) {
            auto* s = new TTabSheet(form.get());
            s->SetCaption(c);
            s->SetPageControl(pc);
            sheets.push_back(s);
        }
        int pageChanges = 0;
        pc->OnChange = [&](TObject*) { ++pageChanges; };

        form->Show();
        pumpFor(800);
        HWND fh = form->Handle();
        std::unique_ptr<GdiBitmap, BOOL (*)(HGDIOBJ)> headless(RenderWindowToBitmap(fh),
                                                               DeleteObject);
        ASSERT_NE(headless, nullptr);
        Screenshot shot;
        int mismatches = waitForScreenMatch(shot, headless.get(), 60, 50, 520, 360, 600);
        ASSERT_GE(shot.w, 600);
        EXPECT_EQ(mismatches, 0);
        // The list really shows rows on the window colour, the tabs on the face.
        POINT row{300, 40};
        ClientToScreen(lv->Handle(), &row);
        EXPECT_EQ(shot.at(row.x, row.y), GetSysColor(COLOR_WINDOW));

        // A click on a row selects it; the down key moves the selection.
        TRect r = lv->Items()->Item(2)->DisplayRect(drBounds);
        clickAt(lv->Handle(), POINT{r.Left + 260, (r.Top + r.Bottom) / 2});
        pumpUntil([&] { return lv->ItemIndex() == 2; });
        EXPECT_EQ(lv->ItemIndex(), 2);
        run("xdotool key Down key Down");
        pumpUntil([&] { return lv->ItemIndex() == 4; });
        EXPECT_EQ(lv->ItemIndex(), 4);
        // The selected row shows on the screen in the highlight colour.
        pumpFor(300);
        ASSERT_TRUE(captureScreen(shot));
        r = lv->Items()->Item(4)->DisplayRect(drBounds);
        POINT sel{r.Left + 296, (r.Top + r.Bottom) / 2}; // past the text of the cell
        ClientToScreen(lv->Handle(), &sel);
        EXPECT_EQ(shot.at(sel.x, sel.y), GetSysColor(COLOR_HIGHLIGHT));

        // A click on the third tab shows its page; the left key goes back.
        RECT tab{};
        SendMessage(pc->Handle(), TCM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&tab));
        clickAt(pc->Handle(), POINT{(tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2});
        pumpUntil([&] { return pc->ActivePage() == sheets[2]; });
        EXPECT_EQ(pc->ActivePage(), sheets[2]);
        run("xdotool key Left");
        pumpUntil([&] { return pc->ActivePage() == sheets[1]; });
        EXPECT_EQ(pc->ActivePage(), sheets[1]);
        EXPECT_EQ(pageChanges, 2);
        EXPECT_TRUE(IsWindowVisible(sheets[1]->Handle()));
        EXPECT_FALSE(IsWindowVisible(sheets[2]->Handle()));

        form.reset();
        pumpFor(50);
    }
    display::Install(nullptr);
}
