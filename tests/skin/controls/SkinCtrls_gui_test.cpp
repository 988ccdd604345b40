// Skinned buttons, boxes, labels, a bevel, a link image, a gauge and a panel
// on a real window, worked through pointer and key input sent to the X server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "platform/display/gtk.h"
#include "platform/os/process.h"
#include "platform/win/window.h"
#include "skin/controls/SkinCtrls.h"
#include "support/screen.h"

namespace {

using namespace guitest;

void clickAt(TControl* c, int x, int y) {
    xdo("mousemove " + pointerAt(c, x, y) + " sleep 0.3 click 1");
}

// Pixels inside the control on screen that differ from the given colour.
int drawnOver(const guitest::Screenshot& shot, TControl* c, COLORREF background) {
    TPoint p = c->ClientToScreen(TPoint(0, 0));
    int n = 0;
    for (int y = p.Y; y < p.Y + c->Height() && y < shot.h; ++y)
        for (int x = p.X; x < p.X + c->Width() && x < shot.w; ++x)
            n += shot.at(x, y) != background;
    return n;
}

} // namespace

TEST(SkinnedControlsOnScreen, WorkThroughRealInput) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    std::vector<std::string> opened;
    os::SetLaunchHook([&](const std::vector<std::string>& argv, const std::string&) {
        opened.push_back(argv.back());
        return true;
    });
    {
        TspSkinData skin(nullptr);
        skin.LoadFromCompressedFile(std::string(LANTROVE_PROGRAM_DIR) + "/skins/Default.skn");
        ASSERT_FALSE(skin.Empty);
        auto form = std::make_unique<TForm>(nullptr);
        form->BorderStyle = bsNone;
        form->SetBounds(100, 100, 420, 300);

        auto* ok = new TspSkinButton(form.get());
        ok->SetParent(form.get());
        ok->SetBounds(10, 10, 90, 30);
        ok->SetCaption("OK");
        ok->SetCanFocused(true);
        ok->SetSkinData(&skin);
        int okClicks = 0;
        ok->OnClick = [&](TObject*) { ++okClicks; };

        auto* box = new TspSkinCheckRadioBox(form.get());
        box->SetParent(form.get());
        box->SetBounds(10, 50, 150, 25);
        box->SetCaption("Remember");
        box->SetCanFocused(true);
        box->SetSkinData(&skin);

        TspSkinCheckRadioBox* radios[2];
        for (int i = 0; i < 2; ++i) {
            radios[i] = new TspSkinCheckRadioBox(form.get());
            radios[i]->SetParent(form.get());
            radios[i]->SetBounds(10, 80 + 28 * i, 150, 25);
            radios[i]->SetRadio(true);
            radios[i]->SetGroupIndex(1);
            radios[i]->SetSkinDataName("radiobox");
            radios[i]->SetSkinData(&skin);
        }
        radios[0]->SetChecked(true);

        auto* tool = new TspSkinSpeedButton(form.get());
        tool->SetParent(form.get());
        tool->SetBounds(120, 10, 60, 28);
        tool->SetCaption("Tool");
        tool->SetSkinData(&skin);
        int toolClicks = 0;
        tool->OnClick = [&](TObject*) { ++toolClicks; };

        auto* link = new TspSkinLinkLabel(form.get());
        link->SetParent(form.get());
        link->SetBounds(10, 150, 100, 20);
        link->SetCaption("Home page");
        link->URL = "https://example.test/home";
        link->SetSkinData(&skin);

        auto* gauge = new TspSkinGauge(form.get());
        gauge->SetParent(form.get());
        gauge->SetBounds(10, 180, 200, 10);
        gauge->SetSkinData(&skin);

        auto* panel = new TspSkinPanel(form.get());
        panel->SetParent(form.get());
        panel->SetBounds(220, 50, 180, 120);
        panel->SetCaptionMode(true);
        panel->SetRollUpMode(true);
        panel->SetCaption("Details");

        // Labels, a bevel and a link image down the lower right.
        auto* stdLabel = new TspSkinStdLabel(form.get());
        stdLabel->SetParent(form.get());
        stdLabel->SetBounds(220, 180, 90, 16);
        stdLabel->SetCaption("Standard");
        stdLabel->SetSkinData(&skin);

        auto* textLabel = new TspSkinTextLabel(form.get());
        textLabel->SetParent(form.get());
        textLabel->SetBounds(220, 200, 90, 40);
        textLabel->Lines()->Add("Text line one");
        textLabel->Lines()->Add("and two");
        textLabel->SetSkinData(&skin);

        auto* shadow = new TspSkinShadowLabel(form.get());
        shadow->SetParent(form.get());
        shadow->SetBounds(320, 180, 90, 20);
        shadow->SetCaption("Shadow");

        auto* bevel = new TspSkinBevel(form.get());
        bevel->SetParent(form.get());
        bevel->SetBounds(10, 200, 200, 10);
        bevel->Shape = bsBottomLine;
        bevel->SetDividerMode(true);
        bevel->SetSkinData(&skin);

        auto* image = new TspSkinLinkImage(form.get());
        image->SetParent(form.get());
        image->SetBounds(320, 220, 24, 24);
        image->Picture()->Bitmap()->SetSize(24, 24);
        image->Picture()->Bitmap()->Canvas()->Brush()->SetColor(clNavy);
        image->Picture()->Bitmap()->Canvas()->FillRect(TRect(0, 0, 24, 24));
        image->URL = "https://example.test/picture";

        form->Show();
        SetActiveWindow(form->Handle());
        pumpFor(800);

        // Every label, the bevel and the image put something on screen over
        // the form's own colour (taken where nothing lies).
        guitest::Screenshot before;
        if (guitest::captureScreen(before)) {
            TPoint blank = form->ClientToScreen(TPoint(415, 295));
            COLORREF face = before.at(blank.X, blank.Y);
            for (TControl* c :
                 std::vector<TControl*>{stdLabel, textLabel, shadow, link, bevel, image})
                EXPECT_GT(drawnOver(before, c, face), 0) << c->ClassName();
            TPoint mid = image->ClientToScreen(TPoint(12, 12));
            EXPECT_EQ(before.at(mid.X, mid.Y), ColorToRGB(clNavy));
        }

        clickAt(ok, 30, 15);
        EXPECT_TRUE(pumpUntil([&] { return okClicks == 1; })) << okClicks;
        EXPECT_TRUE(ok->MouseIn());

        clickAt(box, 8, 12);
        EXPECT_TRUE(pumpUntil([&] { return box->Checked(); }));
        EXPECT_TRUE(box->Focused());
        xdo("key space");
        EXPECT_TRUE(pumpUntil([&] { return !box->Checked(); }));

        clickAt(radios[1], 8, 12);
        EXPECT_TRUE(pumpUntil([&] { return radios[1]->Checked(); }));
        EXPECT_FALSE(radios[0]->Checked());

        clickAt(tool, 20, 14);
        EXPECT_TRUE(pumpUntil([&] { return toolClicks == 1; })) << toolClicks;

        clickAt(link, 10, 8);
        EXPECT_TRUE(pumpUntil([&] { return opened.size() == 1; }));
        if (!opened.empty()) EXPECT_EQ(opened[0], "https://example.test/home");
        clickAt(image, 12, 12);
        EXPECT_TRUE(pumpUntil([&] { return opened.size() == 2; }));
        if (opened.size() > 1) EXPECT_EQ(opened[1], "https://example.test/picture");

        // Enter on the focused button clicks it.
        ok->SetFocus();
        xdo("key Return");
        EXPECT_TRUE(pumpUntil([&] { return okClicks == 2; })) << okClicks;

        clickAt(panel, 60, 10);
        EXPECT_TRUE(pumpUntil([&] { return panel->RollUpState(); }));
        EXPECT_EQ(panel->Height(), 23);

        // The gauge shows its value on screen: filled left part, empty right.
        gauge->SetValue(50);
        pumpFor(300);
        guitest::Screenshot shot;
        if (guitest::captureScreen(shot)) {
            TPoint filled = gauge->ClientToScreen(TPoint(50, 5));
            TPoint empty = gauge->ClientToScreen(TPoint(150, 5));
            EXPECT_NE(shot.at(filled.X, filled.Y), shot.at(empty.X, empty.Y));
        }
    }
    os::SetLaunchHook(nullptr);
    display::Install(nullptr);
}
