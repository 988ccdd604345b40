// Skinned message dialogs: a modal form with its own skinned frame, the text
// in a skinned label, the dialog type's icon, one skinned button per
// requested kind and, on request, a box that lets the user switch the
// message off for the future. Texts come from the skin's interface texts
// when it carries them, else from built-in English ones.
#pragma once

#include "classlib/forms.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

class TspSkinData;
class TspSkinnedForm;
class TspSkinButton;
class TspSkinCheckRadioBox;
class TspSkinStdLabel;
class TCustomImageList;

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

// The position a dialog takes when none is given: centred on the screen.
constexpr int kMsgDlgDefaultPos = -10001;

using TspMessageSetShowPosEvent = std::function<void(int& AX, int& AY, int AWidth, int AHeight)>;

// The dialog window of one call.
class TspMessageForm : public TForm {
public:
    // X below -10000 centres the form on the screen when it is shown;
    // otherwise X, Y is its top-left corner.
    TspMessageForm(TComponent* AOwner, int X, int Y);
    ~TspMessageForm() override;

    TspSkinnedForm* DSF = nullptr;
    TspSkinCheckRadioBox* DisplayCheckBox = nullptr;
    TspSkinStdLabel* Message = nullptr;
    int HelpContext = 0;
    std::string HelpFile;
    bool Centered() const { return FCentered; }

    // The button that answers with Result (Help never does), null when none.
    TspSkinButton* FindButton(TModalResult Result) const;
    // The button of a kind, null when the dialog has none.
    TspSkinButton* Button(TMsgDlgBtn Kind) const;
    void HelpButtonClick(TObject* Sender);
    // Sets the size of the area inside the frame.
    void SetClientSize(int AWidth, int AHeight);
    int ShowModal() override;

private:
    bool FCentered = false;
};

class TspSkinMessage : public TComponent {
public:
    explicit TspSkinMessage(TComponent* AOwner);
    ~TspSkinMessage() override;

    // Each call builds a dialog, shows it modally, frees it and returns the
    // modal result it closed with.
    int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                   int HelpCtx);
    int MessageDlgPos(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                      int HelpCtx, int X, int Y);
    int MessageDlgHelp(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                       int HelpCtx, const std::string& HelpFileName);
    int MessageDlg2(const std::string& Msg, const std::string& ACaption, TMsgDlgType DlgType,
                    TMsgDlgButtons Buttons, int HelpCtx);
    int MessageDlgHelp2(const std::string& Msg, const std::string& ACaption, TMsgDlgType DlgType,
                        TMsgDlgButtons Buttons, int HelpCtx, const std::string& HelpFileName);
    int CustomMessageDlg(const std::string& Msg, const std::string& ACaption,
                         TCustomImageList* AImages, int AImageIndex, TMsgDlgButtons Buttons,
                         int HelpCtx);
    int CustomMessageDlgPos(const std::string& Msg, const std::string& ACaption,
                            TCustomImageList* AImages, int AImageIndex, TMsgDlgButtons Buttons,
                            int HelpCtx, int X, int Y);
    int CustomMessageDlgHelp(const std::string& Msg, const std::string& ACaption,
                             TCustomImageList* AImages, int AImageIndex, TMsgDlgButtons Buttons,
                             int HelpCtx, const std::string& HelpFileName);
    int WideMessageDlg(const std::u16string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                       int HelpCtx);
    int WideMessageDlgPos(const std::u16string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                          int HelpCtx, int X, int Y);

    // The dialogs that offer it show the box that switches the message off;
    // FShowAgainFlagValue true starts it unticked, and afterwards is false
    // when the user ticked it.
    bool FShowAgainFlag = false;
    bool FShowAgainFlagValue = false;
    bool AlphaBlend = false;
    bool AlphaBlendAnimation = false;
    uint8_t AlphaBlendValue = 200;
    std::string ButtonSkinDataName = "button";
    std::string MessageLabelSkinDataName = "stdlabel";
    bool UseSkinFont = true;
    TspMessageSetShowPosEvent OnSetShowPos;

    // Skin of the dialog's frame, and of its controls (also the source of
    // the interface texts).
    TspSkinData* SkinData() const { return FSD; }
    void SetSkinData(TspSkinData* Value);
    TspSkinData* CtrlSkinData() const { return FCtrlSD; }
    void SetCtrlSkinData(TspSkinData* Value);
    TFont* DefaultFont() const { return FDefaultFont.get(); }
    void SetDefaultFont(TFont* Value);
    TFont* DefaultButtonFont() const { return FDefaultButtonFont.get(); }
    void SetDefaultButtonFont(TFont* Value);

    void Notification(TComponent* AComponent, TOperation Operation) override;

    // Builds the dialog of one call without showing it.
    std::unique_ptr<TspMessageForm> CreateMessageDialog(const std::string& Msg,
                                                        const std::string& ACaption,
                                                        TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                                                        int X, int Y, bool AShowCheckBox);
    std::unique_ptr<TspMessageForm> CreateCustomMessageDialog(const std::string& Msg,
                                                              const std::string& ACaption,
                                                              TCustomImageList* AImages,
                                                              int AImageIndex,
                                                              TMsgDlgButtons Buttons, int X, int Y);

private:
    std::unique_ptr<TspMessageForm> BuildDialog(const std::string& Msg, const std::string& ACaption,
                                                TMsgDlgType DlgType, TCustomImageList* AImages,
                                                int AImageIndex, bool ACustomImage,
                                                TMsgDlgButtons Buttons, int X, int Y,
                                                bool AShowCheckBox);
    int Show(std::unique_ptr<TspMessageForm> Form, int HelpCtx, const std::string* HelpFileName,
             bool APositioned);
    std::string ResStr(const std::string& Key) const;
    std::string TypeCaption(TMsgDlgType DlgType) const;

    TspSkinData* FSD = nullptr;
    TspSkinData* FCtrlSD = nullptr;
    std::unique_ptr<TFont> FDefaultFont;
    std::unique_ptr<TFont> FDefaultButtonFont;
};

// Built-in texts and answers.
std::string MsgDlgButtonCaption(TMsgDlgBtn Button);
std::string MsgDlgButtonName(TMsgDlgBtn Button);
TModalResult MsgDlgButtonResult(TMsgDlgBtn Button);
// The built-in caption of a type; the application's title for mtCustom.
std::string MsgDlgTypeCaption(TMsgDlgType DlgType);
extern const char* const kShowAgainCaption;

// The 32 x 32 picture of a dialog type; empty for mtCustom.
void DrawMsgDlgIcon(TBitmap* B, TMsgDlgType DlgType);

// Answers dialogs in place of a person: called with every dialog built, just
// before it is shown. Setting the form's ModalResult (or ticking its box and
// then setting it) answers at once; otherwise the dialog is shown and may
// be answered by messages the hook arranged.
using TspMessageDialogHook = std::function<void(TspMessageForm& Form)>;
void SetMessageDialogHook(TspMessageDialogHook Hook);
