// A skinned form in a real window: shown from the Default skin, dragged by
// its caption, sized by its border and worked by its caption buttons through
// pointer input sent to the X server.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "classlib/forms.h"
#include "platform/display/gtk.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"
#include "skin/forms/SkinnedForm.h"
#include "support/screen.h"

namespace {

using guitest::pumpFor;
using guitest::pumpUntil;

using guitest::xdo;

} // namespace

TEST(SkinnedFormOnScreen, DragsSizesAndTakesItsCaptionButtons) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    {
        TspSkinData skin(nullptr);
        skin.LoadFromCompressedFile(std::string(LANTROVE_PROGRAM_DIR) + "/skins/Default.skn");
        ASSERT_FALSE(skin.Empty);
        auto form = std::make_unique<TForm>(nullptr);
        form->SetBounds(100, 100, 500, 300);
        form->SetCaption("Skinned");
        auto* sf = new TspSkinnedForm(form.get());
        sf->SetSkinData(&skin);
        bool closed = false;
        form->OnClose = [&](TObject*, TCloseAction& a) {
            closed = true;
            a = caHide;
        };
        form->Show();
        SetActiveWindow(form->Handle());
        pumpFor(800);

        // Drag by the caption.
        xdo("mousemove 300 115 sleep 0.3 mousedown 1 sleep 0.2 mousemove 340 135 sleep 0.2 "
            "mousemove 380 155 sleep 0.3 mouseup 1");
        EXPECT_TRUE(pumpUntil([&] { return form->Left() == 180 && form->Top() == 140; }))
            << form->Left() << "," << form->Top();

        // Size by the right border.
        int rx = form->Left() + form->Width() - 1, ry = form->Top() + 150;
        xdo("mousemove " + std::to_string(rx) + " " + std::to_string(ry) +
            " sleep 0.3 mousedown 1 sleep 0.2 mousemove " + std::to_string(rx + 30) + " " +
            std::to_string(ry) + " sleep 0.2 mousemove " + std::to_string(rx + 60) + " " +
            std::to_string(ry) + " sleep 0.3 mouseup 1");
        EXPECT_TRUE(pumpUntil([&] { return form->Width() == 560; })) << form->Width();
        EXPECT_EQ(form->Left(), 180);

        // Maximize (second button from the right, 44 wide each), then restore.
        auto clickButton = [&](int fromRight) {
            int x = form->Left() + form->Width() - 1 - 44 * fromRight - 22;
            int y = form->Top() + 15;
            xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " sleep 0.3 click 1");
        };
        const TRect normal = form->BoundsRect();
        clickButton(1);
        EXPECT_TRUE(pumpUntil([&] { return sf->WindowState() == wsMaximized; }));
        clickButton(1);
        EXPECT_TRUE(pumpUntil([&] { return sf->WindowState() == wsNormal; }));
        EXPECT_EQ(form->BoundsRect(), normal);

        // A double click on the caption maximizes, a second one restores.
        auto doubleClickCaption = [&] {
            xdo("mousemove " + std::to_string(form->Left() + 150) + " " +
                std::to_string(form->Top() + 15) + " sleep 0.3 click --repeat 2 --delay 80 1");
        };
        doubleClickCaption();
        EXPECT_TRUE(pumpUntil([&] { return sf->WindowState() == wsMaximized; }));
        // Past the display's double-click time, so the next clicks are not a third one.
        pumpFor(1000);
        doubleClickCaption();
        EXPECT_TRUE(pumpUntil([&] { return sf->WindowState() == wsNormal; }));
        EXPECT_EQ(form->BoundsRect(), normal);

        clickButton(0);
        EXPECT_TRUE(pumpUntil([&] { return closed; }));
    }
    display::Install(nullptr);
}
