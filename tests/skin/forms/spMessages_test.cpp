#include "skin/forms/spMessages.h"

#include "platform/win/input.h"

#include <gtest/gtest.h>

namespace {

class MessageDialogTest : public ::testing::Test {
protected:
    void SetUp() override { Application->Initialize(); }
    void TearDown() override {
        SetMessageDialogHook(nullptr);
        Application->ProcessMessages();
    }
};

TEST_F(MessageDialogTest, BuildsOneButtonPerKindInOrderWithCaptionAndText) {
    std::vector<std::string> captions;
    std::string caption, text;
    bool hasBox = true;
    SetMessageDialogHook([&](TspMessageForm& f) {
        for (TspMessageButton* b : f.Buttons)
            captions.push_back(b->Caption());
        caption = f.Caption();
        text = f.Message;
        hasBox = f.DisplayCheckBox != nullptr;
        f.ModalResult = f.Buttons.back()->ModalResult;
    });
    TspSkinMessage dlg(nullptr);
    int r = dlg.MessageDlg2("Exit anyway?", "Lantrove", mtConfirmation,
                            {mbClose, mbCancel, mbYes, mbHelp}, 0);
    EXPECT_EQ(captions, (std::vector<std::string>{"&Yes", "Cancel", "&Help", "Close"}));
    EXPECT_EQ(caption, "Lantrove");
    EXPECT_EQ(text, "Exit anyway?");
    EXPECT_FALSE(hasBox);
    EXPECT_EQ(r, mrClose);
    EXPECT_EQ(TMsgDlgButtons({mbYes, mbOK}).Bits, 0x5u);
}

TEST_F(MessageDialogTest, ClicksEndTheModalShowingAndTheBoxReportsItsTick) {
    struct Case {
        bool startValue;   // FShowAgainFlagValue going in
        bool clickBox;     // the user clicks the box
        TMsgDlgBtn button; // then presses this
        bool endValue;
        int result;
    };
    const Case cases[] = {
        {true, true, mbCancel, false, mrCancel},
        {true, false, mbOK, true, mrOk},
        {false, false, mbOK, false, mrOk}, // starts ticked
        {false, true, mbOK, true, mrOk},
    };
    for (const Case& c : cases) {
        bool startedTicked = false;
        SetMessageDialogHook([&](TspMessageForm& f) {
            ASSERT_NE(f.DisplayCheckBox, nullptr);
            EXPECT_EQ(f.DisplayCheckBox->Caption(), "Do not display this message again");
            startedTicked = f.DisplayCheckBox->Checked;
            if (c.clickBox) PostMessage(f.DisplayCheckBox->Handle(), WM_LBUTTONUP, 0, 0);
            TspMessageButton* b = f.FindButton(MsgDlgButtonResult(c.button));
            ASSERT_NE(b, nullptr);
            PostMessage(b->Handle(), WM_LBUTTONUP, 0, 0);
        });
        TspSkinMessage dlg(nullptr);
        dlg.FShowAgainFlag = true;
        dlg.FShowAgainFlagValue = c.startValue;
        EXPECT_EQ(dlg.MessageDlg2("m", "c", mtWarning, {mbOK, mbCancel}, 0), c.result);
        EXPECT_EQ(startedTicked, !c.startValue);
        EXPECT_EQ(dlg.FShowAgainFlagValue, c.endValue);
    }
}

TEST_F(MessageDialogTest, KeysAnswerTheDialog) {
    struct Case {
        TMsgDlgButtons buttons;
        WPARAM key;
        int result;
    };
    const Case cases[] = {
        {{mbYes, mbNo}, VK_RETURN, mrYes},
        {{mbOK, mbCancel}, VK_ESCAPE, mrCancel},
        {{mbYes, mbNo}, VK_ESCAPE, mrCancel}, // no Cancel button: closing the window
        {{mbHelp, mbOK}, VK_RETURN, mrNone},  // Help does not close ...
    };
    for (const Case& c : cases) {
        SetMessageDialogHook([&](TspMessageForm& f) {
            PostMessage(f.Handle(), WM_KEYDOWN, c.key, 0);
            // ... so a click on OK ends it then.
            if (c.result == mrNone) PostMessage(f.FindButton(mrOk)->Handle(), WM_LBUTTONUP, 0, 0);
        });
        TspSkinMessage dlg(nullptr);
        EXPECT_EQ(dlg.MessageDlg2("m", "c", mtInformation, c.buttons, 0),
                  c.result == mrNone ? mrOk : c.result);
    }
}

} // namespace
