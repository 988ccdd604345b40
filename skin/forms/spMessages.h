// Message dialogs: a modal window with a caption, a text, one button per
// requested kind and, on request, a box that lets the user switch the
// message off for the future. Shown as a plain dialog; button texts and
// captions are the built-in English ones.
#pragma once

#include "classlib/forms.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

class TspSkinData;

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum TMsgDlgBtn {
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp,
    mbClose
};

// A set of buttons: bit 0 Yes, bit 1 No, bit 2 OK, bit 3 Cancel, and so on.
struct TMsgDlgButtons {
    uint32_t Bits = 0;
    constexpr TMsgDlgButtons() = default;
    constexpr TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> Buttons) {
        for (TMsgDlgBtn b : Buttons)
            Bits |= 1u << unsigned(b);
    }
    static constexpr TMsgDlgButtons FromBits(uint32_t Bits) {
        TMsgDlgButtons s;
        s.Bits = Bits;
        return s;
    }
    constexpr bool Contains(TMsgDlgBtn b) const { return (Bits >> unsigned(b)) & 1u; }
    friend constexpr bool operator==(TMsgDlgButtons, TMsgDlgButtons) = default;
};

constexpr TModalResult mrClose = 11;

class TspMessageButton;
class TspMessageCheckBox;

// The dialog window of one call.
class TspMessageForm : public TForm {
public:
    explicit TspMessageForm(TComponent* AOwner);

    // The buttons in left-to-right order and the show-again box (null when
    // the dialog has none).
    std::vector<TspMessageButton*> Buttons;
    TspMessageCheckBox* DisplayCheckBox = nullptr;
    std::string Message;
    TMsgDlgType DlgType = mtCustom;

    // The button that answers this result, null when there is none.
    TspMessageButton* FindButton(TModalResult Result) const;
    void WndProc(TMessage& Message) override;
};

class TspMessageButton : public TWinControl {
public:
    TspMessageButton(TComponent* AOwner, TMsgDlgBtn AKind);
    TMsgDlgBtn Kind;
    TModalResult ModalResult;
    // What a click does: ends the dialog with ModalResult (Help does not).
    void Click();
    void WndProc(TMessage& Message) override;
};

class TspMessageCheckBox : public TWinControl {
public:
    explicit TspMessageCheckBox(TComponent* AOwner);
    bool Checked = false;
    void Toggle();
    void WndProc(TMessage& Message) override;
};

class TspSkinMessage : public TComponent {
public:
    explicit TspSkinMessage(TComponent* AOwner);

    // Shows the dialog modally and returns the modal result of the button
    // pressed (Close or Escape give Cancel). With FShowAgainFlag the dialog
    // carries the show-again box, unticked when FShowAgainFlagValue is true;
    // afterwards FShowAgainFlagValue is false when the user ticked it. The
    // form is freed before the call returns.
    int MessageDlg2(const std::string& Msg, const std::string& ACaption, TMsgDlgType DlgType,
                    TMsgDlgButtons Buttons, int HelpCtx);

    bool FShowAgainFlag = false;
    bool FShowAgainFlagValue = false;
    // Skins of the dialog frame and of its controls; the plain dialog does
    // not draw from them.
    TspSkinData* SkinData = nullptr;
    TspSkinData* CtrlSkinData = nullptr;
};

// Built-in texts.
std::string MsgDlgButtonCaption(TMsgDlgBtn Button);
TModalResult MsgDlgButtonResult(TMsgDlgBtn Button);
std::string MsgDlgTypeCaption(TMsgDlgType DlgType);
extern const char* const kShowAgainCaption;

// Answers dialogs in place of a person: called with every dialog built, just
// before it is shown. Setting the form's ModalResult (or ticking its box and
// then setting it) answers at once; otherwise the dialog is shown and may
// be answered by messages the hook arranged.
using TspMessageDialogHook = std::function<void(TspMessageForm& Form)>;
void SetMessageDialogHook(TspMessageDialogHook Hook);
