// A skinned form on a real X display: a page control whose tabs overflow, a
// splitter and a list view under it, used through the pointer and keys.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "classlib/forms.h"
#include "platform/display/gtk.h"
#include "platform/win/paint.h"
#include "skin/controls/ListViewSP.h"
#include "skin/controls/SkinExCtrls.h"
#include "skin/controls/SkinTabs.h"
#include "support/screen.h"

namespace {

using namespace guitest;

std::string atHeader(TspSkinListViewSP* lv, int x, int y) {
    POINT p{x, y};
    ClientToScreen(lv->HeaderHandle(), &p);
    return std::to_string(p.x) + " " + std::to_string(p.y);
}

// Press, move and release as a user does, with time for each step.
void drag(const std::string& from, const std::string& to) {
    ASSERT_EQ(run("xdotool mousemove " + from + " mousedown 1"), 0);
    pumpFor(300);
    ASSERT_EQ(run("xdotool mousemove " + to), 0);
    pumpFor(300);
    ASSERT_EQ(run("xdotool mouseup 1"), 0);
    pumpFor(300);
}

} // namespace

TEST(SkinTabsOnScreen, TabsSplitterAndListTakeRealInput) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    {
        TspSkinData sd(nullptr);
        sd.LoadFromCompressedFile(std::string(LANTROVE_PROGRAM_DIR) + "/skins/Default.skn");
        ASSERT_FALSE(sd.Empty);
        auto form = std::make_unique<TForm>(nullptr);
        form->BorderStyle = bsNone;
        form->SetBounds(40, 30, 300, 320);

        auto* lv = new TspSkinListViewSP(form.get());
        lv->SetViewStyle(vsReport);
        lv->SetRowSelect(true);
        lv->SetHeight(110);
        lv->SetAlign(alBottom);
        for (const char* c : {"Title", "Status"}) {
            TListColumn* col = lv->Columns()->Add();
            col->SetCaption(c);
            col->SetWidth(100);
        }
        lv->SetParent(form.get());
        for (int i = 0; i < 4; ++i) {
            TListItem* it = lv->Items()->Add();
            it->SetCaption("Song " + std::to_string(i));
            it->SubItems()->Add("Ready");
        }
        auto* split = new TspSkinSplitter(form.get());
        split->SetSkinDataName("hsplitter");
        split->SetAlign(alBottom);
        split->SetTop(100);
        split->SetParent(form.get());
        auto* pc = new TspSkinPageControl(form.get());
        pc->SetAlign(alClient);
        pc->SetParent(form.get());
        std::vector<TspSkinTabSheet*> sheets;
        for (int i = 0; i < 6; ++i) {
            auto* s = new TspSkinTabSheet(form.get());
            s->SetCaption("Page " + std::to_string(i + 1));
            s->SetPageControl(pc);
            sheets.push_back(s);
        }
        lv->SetSkinData(&sd);
        split->SetSkinData(&sd);
        pc->SetSkinData(&sd);

        form->Show();
        pumpFor(800);
        ASSERT_NE(pc->SkinUpDown(), nullptr);

        // What the screen shows is what the headless renderer draws.
        HWND fh = form->Handle();
        std::unique_ptr<GdiBitmap, BOOL (*)(HGDIOBJ)> headless(RenderWindowToBitmap(fh),
                                                               DeleteObject);
        Screenshot shot;
        int mismatches = -1;
        auto compare = [&] {
            if (!captureScreen(shot) || shot.w < 340) return false;
            mismatches = 0;
            for (int y = 0; y < 320; ++y)
                for (int x = 0; x < 300; ++x)
                    if (shot.at(40 + x, 30 + y) != headless->getPixel(x, y)) ++mismatches;
            return mismatches == 0;
        };
        pumpUntil(compare);
        EXPECT_EQ(mismatches, 0);

        // A row by click, the next by the arrow key.
        TRect row = lv->Items()->Item(1)->DisplayRect(drBounds);
        ASSERT_EQ(run("xdotool mousemove " + pointerAt(lv, 150, row.Top + 3) + " click 1"), 0);
        pumpUntil([&] { return lv->Selected() && lv->Selected()->Index() == 1; });
        ASSERT_NE(lv->Selected(), nullptr);
        EXPECT_EQ(lv->Selected()->Index(), 1);
        ASSERT_EQ(run("xdotool key Down"), 0);
        pumpUntil([&] { return lv->Selected() && lv->Selected()->Index() == 2; });
        EXPECT_EQ(lv->Selected()->Index(), 2);

        // A tab by click, the next by the arrow key.
        TRect t1 = pc->GetTabRect(1);
        ASSERT_EQ(run("xdotool mousemove " + pointerAt(pc, t1.Left + 10, t1.Top + 8) + " click 1"),
                  0);
        pumpUntil([&] { return pc->ActivePage() == sheets[1]; });
        EXPECT_EQ(pc->ActivePage(), sheets[1]);
        ASSERT_EQ(run("xdotool key Right"), 0);
        pumpUntil([&] { return pc->ActivePage() == sheets[2]; });
        EXPECT_EQ(pc->ActivePage(), sheets[2]);

        // Dragging the splitter up makes the list taller.
        int listHeight = lv->Height();

        drag(pointerAt(split, 150, 2), pointerAt(split, 150, -38));
        pumpUntil([&] { return lv->Height() == listHeight + 40; });
        EXPECT_EQ(lv->Height(), listHeight + 40);

        // The first column's divider dragged 30 pixels right.
        TRect s0 = lv->SectionRect(0);
        drag(atHeader(lv, s0.Right, 5), atHeader(lv, s0.Right + 30, 5));
        pumpUntil([&] { return lv->Columns()->Items(0)->Width() == 130; });
        EXPECT_EQ(lv->Columns()->Items(0)->Width(), 130);

        // The up-down's right arrow brings the next tab to the front.
        TspSkinUpDown* u = pc->SkinUpDown();
        ASSERT_NE(u, nullptr);
        int first = pc->GetFirstVisibleTabIndex();
        TRect right = u->Button(0).R;
        ASSERT_EQ(run("xdotool mousemove " +
                      pointerAt(u, right.Left + right.Width() / 2, right.Top + 4) + " click 1"),
                  0);
        pumpUntil([&] { return pc->GetFirstVisibleTabIndex() == first + 1; });
        EXPECT_EQ(pc->GetFirstVisibleTabIndex(), first + 1);

        // The screen still shows what the renderer draws.
        pumpFor(300);
        headless.reset(RenderWindowToBitmap(fh));
        pumpUntil(compare);
        EXPECT_EQ(mismatches, 0);

        form.reset();
        pumpFor(50);
    }
    display::Install(nullptr);
}
