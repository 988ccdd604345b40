// A skinned message dialog in a real window, answered by pointer and keys
// sent to the X server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "classlib/forms.h"
#include "platform/display/gtk.h"
#include "platform/win/input.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/engine/SkinData.h"
#include "skin/forms/spMessages.h"
#include "support/screen.h"

namespace {

using guitest::xdo;

// The screen point at the middle of a control.
std::string centreOf(TWinControl* c) {
    POINT p{c->Width() / 2, c->Height() / 2};
    ClientToScreen(c->Handle(), &p);
    return std::to_string(p.x) + " " + std::to_string(p.y);
}

// Once the dialog is up, runs Act on it; a dialog left open is closed after
// a while so a lost input cannot hang the test.
void WhenShown(std::function<void(TspMessageForm&)> Act) {
    SetMessageDialogHook([Act](TspMessageForm& f) {
        PostThreadCall(GetCurrentThreadId(), [Act, &f] {
            guitest::pumpFor(800);
            Act(f);
            if (!guitest::pumpUntil([&] { return f.ModalResult != mrNone; }))
                f.ModalResult = mrAbort;
        });
    });
}

} // namespace

TEST(MessageDialogOnScreen, AnsweredByPointerAndKeys) {
    auto backend = display::CreateGtkBackend();
    if (!backend) GTEST_SKIP() << "no display";
    display::Install(std::move(backend));
    Application->Initialize();
    {
        TspSkinData skin(nullptr);
        skin.LoadFromCompressedFile(std::string(LANTROVE_PROGRAM_DIR) + "/skins/Default.skn");
        ASSERT_FALSE(skin.Empty);
        TspSkinMessage msg(nullptr);
        msg.SetSkinData(&skin);
        msg.SetCtrlSkinData(&skin);

        // Tick the box, then click Cancel.
        msg.FShowAgainFlag = true;
        msg.FShowAgainFlagValue = true;
        WhenShown([](TspMessageForm& f) {
            xdo("mousemove " + centreOf(f.DisplayCheckBox) + " sleep 0.3 click 1 sleep 0.5 " +
                "mousemove " + centreOf(f.Button(mbCancel)) + " sleep 0.3 click 1");
        });
        EXPECT_EQ(
            msg.MessageDlg2("Remove every task?", "Lantrove", mtConfirmation, {mbOK, mbCancel}, 0),
            mrCancel);
        EXPECT_FALSE(msg.FShowAgainFlagValue);

        // An accelerator answers No; Enter answers the default Yes.
        msg.FShowAgainFlag = false;
        WhenShown([](TspMessageForm&) { xdo("key n"); });
        EXPECT_EQ(msg.MessageDlg("Keep it?", mtWarning, {mbYes, mbNo}, 0), mrNo);
        WhenShown([](TspMessageForm&) { xdo("key Return"); });
        EXPECT_EQ(msg.MessageDlg("Keep it?", mtWarning, {mbYes, mbNo}, 0), mrYes);
        // Escape answers the cancel button.
        WhenShown([](TspMessageForm&) { xdo("key Escape"); });
        EXPECT_EQ(msg.MessageDlg("Stop?", mtError, {mbOK, mbCancel}, 0), mrCancel);
        SetMessageDialogHook(nullptr);
    }
    display::Install(nullptr);
}
