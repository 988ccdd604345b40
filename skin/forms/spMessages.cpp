#include "skin/forms/spMessages.h"

#include "classlib/extctrls.h"
#include "classlib/imglist.h"
#include "platform/os/codepage.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/engine/SkinData.h"
#include "skin/forms/SkinnedForm.h"

#include <algorithm>

const char* const kShowAgainCaption = "Do not display this message again";

namespace {

TspMessageDialogHook& Hook() {
    static TspMessageDialogHook hook;
    return hook;
}

constexpr int kButtonWidth = 70;
constexpr int kButtonGap = 10;
constexpr int kDefaultButtonHeight = 25;
constexpr int kLabelLeft = 50;
constexpr int kLabelTop = 15;

const char* ButtonKey(TMsgDlgBtn Button) {
    static const char* const keys[] = {"MSG_BTN_YES",      "MSG_BTN_NO",    "MSG_BTN_OK",
                                       "MSG_BTN_CANCEL",   "MSG_BTN_ABORT", "MSG_BTN_RETRY",
                                       "MSG_BTN_IGNORE",   "MSG_BTN_ALL",   "MSG_BTN_NOTOALL",
                                       "MSG_BTN_YESTOALL", "MSG_BTN_HELP",  "MSG_BTN_CLOSE"};
    return keys[Button];
}

const char* TypeKey(TMsgDlgType DlgType) {
    switch (DlgType) {
    case mtWarning:
        return "MSG_CAP_WARNING";
    case mtError:
        return "MSG_CAP_ERROR";
    case mtInformation:
        return "MSG_CAP_INFORMATION";
    case mtConfirmation:
        return "MSG_CAP_CONFIRM";
    case mtCustom:
        break;
    }
    return nullptr;
}

void InitFont(TFont* F) {
    F->SetName("Arial");
    F->SetHeight(14);
    F->SetStyle(TFontStyles());
}

} // namespace

void SetMessageDialogHook(TspMessageDialogHook Hook_) {
    Hook() = std::move(Hook_);
}

std::string MsgDlgButtonCaption(TMsgDlgBtn Button) {
    static const char* const texts[] = {"&Yes",     "&No",       "OK",      "Cancel",
                                        "&Abort",   "&Retry",    "&Ignore", "&All",
                                        "N&oToAll", "&YesToAll", "&Help",   "Close"};
    return texts[Button];
}

std::string MsgDlgButtonName(TMsgDlgBtn Button) {
    static const char* const names[] = {"Yes",    "No",  "OK",      "Cancel",   "Abort", "Retry",
                                        "Ignore", "All", "NoToAll", "YesToAll", "Help",  "Close"};
    return names[Button];
}

TModalResult MsgDlgButtonResult(TMsgDlgBtn Button) {
    static const TModalResult results[] = {mrYes,     mrNo,       mrOk,     mrCancel,
                                           mrAbort,   mrRetry,    mrIgnore, mrAll,
                                           mrNoToAll, mrYesToAll, mrNone,   mrClose};
    return results[Button];
}

std::string MsgDlgTypeCaption(TMsgDlgType DlgType) {
    switch (DlgType) {
    case mtWarning:
        return "Warning";
    case mtError:
        return "Error";
    case mtInformation:
        return "Information";
    case mtConfirmation:
        return "Confirm";
    case mtCustom:
        break;
    }
    return Application ? Application->Title : "";
}

void DrawMsgDlgIcon(TBitmap* B, TMsgDlgType DlgType) {
    if (DlgType == mtCustom) {
        B->SetSize(0, 0);
        return;
    }
    // Drawn from plain shapes on a key colour that stays transparent.
    const TColor key = TColor(RGB(255, 0, 255));
    B->SetSize(32, 32);
    TCanvas* c = B->Canvas();
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(key);
    c->FillRect(TRect(0, 0, 32, 32));
    c->Pen()->SetColor(TColor(RGB(64, 64, 64)));
    const TColor white = TColor(RGB(255, 255, 255));
    auto fill = [c](TColor color, const TRect& r) {
        c->Brush()->SetColor(color);
        c->FillRect(r);
    };
    switch (DlgType) {
    case mtWarning:
        c->Brush()->SetColor(TColor(RGB(250, 200, 30)));
        c->Polygon({TPoint(16, 1), TPoint(31, 30), TPoint(1, 30)});
        fill(TColor(RGB(0, 0, 0)), TRect(15, 10, 18, 22));
        fill(TColor(RGB(0, 0, 0)), TRect(15, 24, 18, 27));
        break;
    case mtError:
        c->Brush()->SetColor(TColor(RGB(210, 30, 30)));
        c->Ellipse(1, 1, 31, 31);
        c->Pen()->SetColor(white);
        c->Brush()->SetColor(white);
        c->Polygon({TPoint(9, 11), TPoint(11, 9), TPoint(23, 21), TPoint(21, 23)});
        c->Polygon({TPoint(21, 9), TPoint(23, 11), TPoint(11, 23), TPoint(9, 21)});
        break;
    case mtInformation:
        c->Brush()->SetColor(TColor(RGB(30, 90, 210)));
        c->Ellipse(1, 1, 31, 31);
        fill(white, TRect(14, 7, 18, 11));
        fill(white, TRect(14, 13, 18, 25));
        break;
    default:
        c->Brush()->SetColor(TColor(RGB(40, 140, 60)));
        c->Ellipse(1, 1, 31, 31);
        fill(white, TRect(11, 7, 21, 10));
        fill(white, TRect(18, 7, 21, 16));
        fill(white, TRect(14, 14, 21, 17));
        fill(white, TRect(14, 14, 17, 20));
        fill(white, TRect(14, 22, 17, 25));
        break;
    }
    B->SetTransparentColor(key);
    B->SetTransparent(true);
}

// ---------------------------------------------------------------------------

TspMessageForm::TspMessageForm(TComponent* AOwner, int X, int Y) : TForm(AOwner) {
    BorderStyle = bsDialog;
    if (X < -10000)
        FCentered = true;
    else
        SetBounds(X, Y, Width(), Height());
    DSF = new TspSkinnedForm(this);
    DSF->SetBorderIcons(0);
    DSF->Sizeable = false;
}

TspMessageForm::~TspMessageForm() = default;

TspSkinButton* TspMessageForm::Button(TMsgDlgBtn Kind) const {
    return dynamic_cast<TspSkinButton*>(FindComponent(MsgDlgButtonName(Kind)));
}

TspSkinButton* TspMessageForm::FindButton(TModalResult Result) const {
    for (int b = mbYes; b <= mbClose; ++b)
        if (b != mbHelp && MsgDlgButtonResult(TMsgDlgBtn(b)) == Result)
            return Button(TMsgDlgBtn(b));
    return nullptr;
}

void TspMessageForm::HelpButtonClick(TObject*) {
    // The program ships no help topics: a help request shows nothing and
    // the dialog stays open.
}

void TspMessageForm::SetClientSize(int AWidth, int AHeight) {
    HandleNeeded();
    int dw = Width() - ClientWidth(), dh = Height() - ClientHeight();
    SetBounds(Left(), Top(), AWidth + dw, AHeight + dh);
}

int TspMessageForm::ShowModal() {
    if (FCentered && Screen)
        SetBounds((Screen->Width() - Width()) / 2, (Screen->Height() - Height()) / 2, Width(),
                  Height());
    return TForm::ShowModal();
}

// ---------------------------------------------------------------------------

TspSkinMessage::TspSkinMessage(TComponent* AOwner)
    : TComponent(AOwner), FDefaultFont(std::make_unique<TFont>()),
      FDefaultButtonFont(std::make_unique<TFont>()) {
    InitFont(FDefaultFont.get());
    InitFont(FDefaultButtonFont.get());
}

TspSkinMessage::~TspSkinMessage() {
    SetSkinData(nullptr);
    SetCtrlSkinData(nullptr);
}

void TspSkinMessage::SetSkinData(TspSkinData* Value) {
    if (FSD && FSD != FCtrlSD) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (FSD) FSD->FreeNotification(this);
}

void TspSkinMessage::SetCtrlSkinData(TspSkinData* Value) {
    if (FCtrlSD && FCtrlSD != FSD) FCtrlSD->RemoveFreeNotification(this);
    FCtrlSD = Value;
    if (FCtrlSD) FCtrlSD->FreeNotification(this);
}

void TspSkinMessage::SetDefaultFont(TFont* Value) {
    FDefaultFont->Assign(Value);
}

void TspSkinMessage::SetDefaultButtonFont(TFont* Value) {
    FDefaultButtonFont->Assign(Value);
}

void TspSkinMessage::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FSD) FSD = nullptr;
    if (AComponent == FCtrlSD) FCtrlSD = nullptr;
}

std::string TspSkinMessage::ResStr(const std::string& Key) const {
    if (!FCtrlSD || !FCtrlSD->ResourceStrData()) return {};
    return FCtrlSD->ResourceStrData()->GetResStr(Key);
}

std::string TspSkinMessage::TypeCaption(TMsgDlgType DlgType) const {
    // A skin that lacks the text keeps the built-in one: a dialog never
    // goes without a caption.
    const char* key = TypeKey(DlgType);
    std::string s = key ? ResStr(key) : std::string();
    return s.empty() ? MsgDlgTypeCaption(DlgType) : s;
}

std::unique_ptr<TspMessageForm>
TspSkinMessage::BuildDialog(const std::string& Msg, const std::string& ACaption,
                            TMsgDlgType DlgType, TCustomImageList* AImages, int AImageIndex,
                            bool ACustomImage, TMsgDlgButtons Buttons, int X, int Y,
                            bool AShowCheckBox) {
    auto form = std::make_unique<TspMessageForm>(Application, X, Y);
    TspMessageForm* f = form.get();
    f->DSF->SetSkinData(FSD);
    f->DSF->SetMenusSkinData(FCtrlSD);
    f->DSF->SetAlphaBlend(AlphaBlend);
    f->DSF->AlphaBlendAnimation = AlphaBlendAnimation;
    f->DSF->SetAlphaBlendValue(AlphaBlendValue);

    int buttonHeight = kDefaultButtonHeight;
    if (FCtrlSD && !FCtrlSD->Empty) {
        int i = FCtrlSD->GetControlIndex(ButtonSkinDataName);
        if (i >= 0)
            if (auto* e =
                    dynamic_cast<TspDataSkinButtonControl*>(FCtrlSD->CtrlList[size_t(i)].get()))
                buttonHeight = e->SkinRect.Height();
    }
    int count = 0;
    for (int b = mbYes; b <= mbClose; ++b)
        if (Buttons.Contains(TMsgDlgBtn(b))) ++count;
    const int rowWidth = count > 0 ? count * kButtonWidth + (count - 1) * kButtonGap : 0;

    f->SetCaption(ACaption);

    auto* label = new TspSkinStdLabel(f);
    label->SetName("Message");
    f->Message = label;
    label->SetFont(FDefaultFont.get());
    label->SetDefaultFont(FDefaultFont.get());
    label->SetUseSkinFont(UseSkinFont);
    label->SetSkinDataName(MessageLabelSkinDataName);
    label->SetSkinData(FCtrlSD);
    label->SetParent(f);
    label->SetAutoSize(true);
    label->SetCaption(Msg);
    label->SetBounds(kLabelLeft, kLabelTop, label->Width(), label->Height());
    const int labelRight = label->Left() + label->Width();
    const int pictureTop = label->Top() + label->Height() / 2 - 16;

    if (!ACustomImage) {
        if (DlgType != mtCustom) {
            auto* image = new TImage(f);
            image->SetName("Image");
            image->SetParent(f);
            DrawMsgDlgIcon(image->Picture()->Bitmap(), DlgType);
            image->SetBounds(5, std::max(pictureTop, 10), 32, 32);
        }
    } else if (AImages && AImageIndex >= 0 && AImageIndex < AImages->Count()) {
        auto* image = new TImage(f);
        image->SetName("Image");
        image->SetParent(f);
        TBitmap* pic = image->Picture()->Bitmap();
        AImages->GetBitmap(AImageIndex, pic);
        pic->SetTransparent(true);
        image->SetBounds(5, pictureTop, AImages->Width(), AImages->Height());
    }

    int clientHeight = buttonHeight + label->Height() + 50;
    int clientWidth = rowWidth < labelRight ? labelRight + 40 : rowWidth + 40;

    if (AShowCheckBox && FShowAgainFlag) {
        clientHeight += 40;
        auto* box = new TspSkinCheckRadioBox(f);
        box->SetName("checkbox");
        f->DisplayCheckBox = box;
        box->SetDefaultHeight(30);
        box->SetChecked(!FShowAgainFlagValue);
        box->SetDefaultFont(FDefaultFont.get());
        box->SetUseSkinFont(UseSkinFont);
        box->SetSkinData(FCtrlSD);
        box->SetParent(f);
        std::string text = kShowAgainCaption;
        if (FCtrlSD && FCtrlSD->ResourceStrData()) {
            std::string s = ResStr("MSG_CAP_SHOWFLAG");
            if (!s.empty()) text = s;
        }
        box->SetCaption(text);
        TBitmap measure;
        measure.SetSize(1, 1);
        TCanvas* c = measure.Canvas();
        const TspDataSkinCheckRadioControl* e = nullptr;
        if (FCtrlSD && box->Index() >= 0)
            e = dynamic_cast<TspDataSkinCheckRadioControl*>(
                FCtrlSD->CtrlList[size_t(box->Index())].get());
        if (e && UseSkinFont) {
            c->Font()->SetName(e->FontName);
            c->Font()->SetHeight(e->FontHeight);
        } else {
            c->SetFont(FDefaultFont.get());
        }
        int w = c->TextWidth(text);
        if (clientWidth < w + 60) clientWidth = w + 60;
        box->SetBounds(5, clientHeight - buttonHeight - 50, w + 55, box->DefaultHeight());
    }
    f->SetClientSize(clientWidth, clientHeight);

    int maxW = f->DSF->GetMaxWidth(), minW = f->DSF->GetMinWidth();
    if (maxW < f->Width())
        f->SetBounds(f->Left(), f->Top(), maxW, f->Height());
    else if (minW > f->Width())
        f->SetBounds(f->Left(), f->Top(), minW, f->Height());
    clientWidth = f->ClientWidth();
    clientHeight = f->ClientHeight();

    TMsgDlgBtn defaultButton = Buttons.Contains(mbOK)    ? mbOK
                               : Buttons.Contains(mbYes) ? mbYes
                                                         : mbRetry;
    TMsgDlgBtn cancelButton = Buttons.Contains(mbCancel) ? mbCancel
                              : Buttons.Contains(mbNo)   ? mbNo
                                                         : mbOK;
    int x = (clientWidth - rowWidth) / 2;
    for (int b = mbYes; b <= mbClose; ++b) {
        const TMsgDlgBtn kind = TMsgDlgBtn(b);
        if (!Buttons.Contains(kind)) continue;
        auto* button = new TspSkinButton(f);
        button->SetName(MsgDlgButtonName(kind));
        button->SetParent(f);
        button->SetCanFocused(true);
        // A skin without the text keeps the built-in one: no blank buttons.
        std::string text = ResStr(ButtonKey(kind));
        button->SetCaption(text.empty() ? MsgDlgButtonCaption(kind) : text);
        button->ModalResult = MsgDlgButtonResult(kind);
        button->SetDefault(kind == defaultButton);
        button->Cancel = kind == cancelButton;
        button->SetDefaultHeight(buttonHeight);
        button->SetBounds(x, clientHeight - buttonHeight - 10, kButtonWidth, buttonHeight);
        button->SetDefaultFont(FDefaultButtonFont.get());
        button->SetUseSkinFont(UseSkinFont);
        if (kind == mbHelp) button->OnClick = [f](TObject* s) { f->HelpButtonClick(s); };
        button->SetSkinDataName(ButtonSkinDataName);
        button->SetSkinData(FCtrlSD);
        if (kind == defaultButton) f->ActiveControl = button;
        x += kButtonWidth + kButtonGap;
    }
    return form;
}

std::unique_ptr<TspMessageForm> TspSkinMessage::CreateMessageDialog(const std::string& Msg,
                                                                    const std::string& ACaption,
                                                                    TMsgDlgType DlgType,
                                                                    TMsgDlgButtons Buttons, int X,
                                                                    int Y, bool AShowCheckBox) {
    return BuildDialog(Msg, ACaption, DlgType, nullptr, -1, false, Buttons, X, Y, AShowCheckBox);
}

std::unique_ptr<TspMessageForm>
TspSkinMessage::CreateCustomMessageDialog(const std::string& Msg, const std::string& ACaption,
                                          TCustomImageList* AImages, int AImageIndex,
                                          TMsgDlgButtons Buttons, int X, int Y) {
    return BuildDialog(Msg, ACaption, mtCustom, AImages, AImageIndex, true, Buttons, X, Y, true);
}

int TspSkinMessage::Show(std::unique_ptr<TspMessageForm> Form, int HelpCtx,
                         const std::string* HelpFileName, bool APositioned) {
    TspMessageForm* f = Form.get();
    int result = mrNone;
    try {
        f->HelpContext = HelpCtx;
        if (HelpFileName) f->HelpFile = *HelpFileName;
        if (APositioned && OnSetShowPos) {
            int x = f->Left(), y = f->Top();
            OnSetShowPos(x, y, f->Width(), f->Height());
            f->SetBounds(x, y, f->Width(), f->Height());
        }
        if (Hook()) Hook()(*f);
        result = f->ModalResult;
        if (result == mrNone) result = f->ShowModal();
    } catch (...) {
        if (f->DisplayCheckBox) FShowAgainFlagValue = !f->DisplayCheckBox->Checked();
        throw;
    }
    if (f->DisplayCheckBox) FShowAgainFlagValue = !f->DisplayCheckBox->Checked();
    return result;
}

int TspSkinMessage::MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                               int HelpCtx) {
    return Show(CreateMessageDialog(Msg, TypeCaption(DlgType), DlgType, Buttons, kMsgDlgDefaultPos,
                                    kMsgDlgDefaultPos, true),
                HelpCtx, nullptr, false);
}

int TspSkinMessage::MessageDlgPos(const std::string& Msg, TMsgDlgType DlgType,
                                  TMsgDlgButtons Buttons, int HelpCtx, int X, int Y) {
    return Show(CreateMessageDialog(Msg, TypeCaption(DlgType), DlgType, Buttons, X, Y, true),
                HelpCtx, nullptr, true);
}

int TspSkinMessage::MessageDlgHelp(const std::string& Msg, TMsgDlgType DlgType,
                                   TMsgDlgButtons Buttons, int HelpCtx,
                                   const std::string& HelpFileName) {
    return Show(CreateMessageDialog(Msg, TypeCaption(DlgType), DlgType, Buttons, kMsgDlgDefaultPos,
                                    kMsgDlgDefaultPos, true),
                HelpCtx, &HelpFileName, false);
}

int TspSkinMessage::MessageDlg2(const std::string& Msg, const std::string& ACaption,
                                TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx) {
    return Show(CreateMessageDialog(Msg, ACaption, DlgType, Buttons, kMsgDlgDefaultPos,
                                    kMsgDlgDefaultPos, true),
                HelpCtx, nullptr, false);
}

int TspSkinMessage::MessageDlgHelp2(const std::string& Msg, const std::string& ACaption,
                                    TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx,
                                    const std::string& HelpFileName) {
    return Show(CreateMessageDialog(Msg, ACaption, DlgType, Buttons, kMsgDlgDefaultPos,
                                    kMsgDlgDefaultPos, true),
                HelpCtx, &HelpFileName, false);
}

int TspSkinMessage::CustomMessageDlg(const std::string& Msg, const std::string& ACaption,
                                     TCustomImageList* AImages, int AImageIndex,
                                     TMsgDlgButtons Buttons, int HelpCtx) {
    return Show(CreateCustomMessageDialog(Msg, ACaption, AImages, AImageIndex, Buttons,
                                          kMsgDlgDefaultPos, kMsgDlgDefaultPos),
                HelpCtx, nullptr, false);
}

int TspSkinMessage::CustomMessageDlgPos(const std::string& Msg, const std::string& ACaption,
                                        TCustomImageList* AImages, int AImageIndex,
                                        TMsgDlgButtons Buttons, int HelpCtx, int X, int Y) {
    return Show(CreateCustomMessageDialog(Msg, ACaption, AImages, AImageIndex, Buttons, X, Y),
                HelpCtx, nullptr, true);
}

int TspSkinMessage::CustomMessageDlgHelp(const std::string& Msg, const std::string& ACaption,
                                         TCustomImageList* AImages, int AImageIndex,
                                         TMsgDlgButtons Buttons, int HelpCtx,
                                         const std::string& HelpFileName) {
    return Show(CreateCustomMessageDialog(Msg, ACaption, AImages, AImageIndex, Buttons,
                                          kMsgDlgDefaultPos, kMsgDlgDefaultPos),
                HelpCtx, &HelpFileName, false);
}

int TspSkinMessage::WideMessageDlg(const std::u16string& Msg, TMsgDlgType DlgType,
                                   TMsgDlgButtons Buttons, int HelpCtx) {
    return Show(CreateMessageDialog(Utf16ToUtf8(Msg), TypeCaption(DlgType), DlgType, Buttons,
                                    kMsgDlgDefaultPos, kMsgDlgDefaultPos, false),
                HelpCtx, nullptr, false);
}

int TspSkinMessage::WideMessageDlgPos(const std::u16string& Msg, TMsgDlgType DlgType,
                                      TMsgDlgButtons Buttons, int HelpCtx, int X, int Y) {
    // The wide dialogs never take a position from the owner.
    return Show(
        CreateMessageDialog(Utf16ToUtf8(Msg), TypeCaption(DlgType), DlgType, Buttons, X, Y, false),
        HelpCtx, nullptr, false);
}
