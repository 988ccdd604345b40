#include "skin/forms/spMessages.h"

#include "platform/gdi/gdi.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "platform/win/window.h"

#include <algorithm>
#include <memory>

const char* const kShowAgainCaption = "Do not display this message again";

namespace {

TspMessageDialogHook& Hook() {
    static TspMessageDialogHook hook;
    return hook;
}

constexpr int kMargin = 12;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 8;
constexpr int kCheckHeight = 20;

// The size the text takes in the dialog's font, at most maxWidth wide.
SIZE MeasureText(const std::string& text, int maxWidth) {
    HDC dc = GetDC(0);
    SIZE size{0, 0};
    if (!dc) return size;
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    RECT r{0, 0, maxWidth, 0};
    DrawText(dc, text, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(0, dc);
    size.cx = r.right - r.left;
    size.cy = r.bottom - r.top;
    return size;
}

enum class TPaintKind { Label, Button, Check };

// Plain drawing of the dialog's parts in the system colours.
void PaintPart(HWND hwnd, const std::string& text, TPaintKind kind, bool checked = false) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT t = r;
    switch (kind) {
    case TPaintKind::Label:
        t.left += kMargin;
        t.top += kMargin;
        t.right -= kMargin;
        DrawText(dc, text, &t, DT_WORDBREAK | DT_NOPREFIX);
        break;
    case TPaintKind::Button: {
        DrawText(dc, text, &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        RECT e = r;
        DrawEdge(dc, &e, EDGE_RAISED, BF_RECT);
        break;
    }
    case TPaintKind::Check: {
        int top = (r.bottom - 13) / 2;
        RECT b{0, top, 13, top + 13};
        FillRect(dc, &b, GetSysColorBrush(COLOR_WINDOW));
        FrameRect(dc, &b, GetSysColorBrush(COLOR_BTNSHADOW));
        if (checked) {
            RECT mark{3, top + 3, 10, top + 10};
            FillRect(dc, &mark, GetSysColorBrush(COLOR_WINDOWTEXT));
        }
        t.left += 18;
        DrawText(dc, text, &t, DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        break;
    }
    }
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
}

} // namespace

void SetMessageDialogHook(TspMessageDialogHook Hook_) {
    Hook() = std::move(Hook_);
}

std::string MsgDlgButtonCaption(TMsgDlgBtn Button) {
    switch (Button) {
    case mbYes:
        return "&Yes";
    case mbNo:
        return "&No";
    case mbOK:
        return "OK";
    case mbCancel:
        return "Cancel";
    case mbAbort:
        return "&Abort";
    case mbRetry:
        return "&Retry";
    case mbIgnore:
        return "&Ignore";
    case mbAll:
        return "&All";
    case mbNoToAll:
        return "N&oToAll";
    case mbYesToAll:
        return "&YesToAll";
    case mbHelp:
        return "&Help";
    case mbClose:
        return "Close";
    }
    return "";
}

TModalResult MsgDlgButtonResult(TMsgDlgBtn Button) {
    switch (Button) {
    case mbYes:
        return mrYes;
    case mbNo:
        return mrNo;
    case mbOK:
        return mrOk;
    case mbCancel:
        return mrCancel;
    case mbAbort:
        return mrAbort;
    case mbRetry:
        return mrRetry;
    case mbIgnore:
        return mrIgnore;
    case mbAll:
        return mrAll;
    case mbNoToAll:
        return mrNoToAll;
    case mbYesToAll:
        return mrYesToAll;
    case mbHelp:
        return mrNone;
    case mbClose:
        return mrClose;
    }
    return mrNone;
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

// ---------------------------------------------------------------------------

TspMessageForm::TspMessageForm(TComponent* AOwner) : TForm(AOwner) {
    BorderStyle = bsDialog;
}

TspMessageButton* TspMessageForm::FindButton(TModalResult Result) const {
    for (TspMessageButton* b : Buttons)
        if (b->ModalResult == Result && b->Kind != mbHelp) return b;
    return nullptr;
}

void TspMessageForm::WndProc(TMessage& Msg) {
    if (Msg.Msg == WM_PAINT) {
        PaintPart(Handle(), Message, TPaintKind::Label);
        Msg.Result = 0;
        return;
    }
    if (Msg.Msg == WM_KEYDOWN) {
        if (Msg.WParam == VK_ESCAPE) {
            TspMessageButton* cancel = FindButton(mrCancel);
            if (cancel)
                cancel->Click();
            else
                Close();
            return;
        }
        if (Msg.WParam == VK_RETURN && !Buttons.empty()) {
            Buttons.front()->Click();
            return;
        }
    }
    TForm::WndProc(Msg);
}

TspMessageButton::TspMessageButton(TComponent* AOwner, TMsgDlgBtn AKind)
    : TWinControl(AOwner), Kind(AKind), ModalResult(MsgDlgButtonResult(AKind)) {
    SetCaption(MsgDlgButtonCaption(AKind));
}

void TspMessageButton::Click() {
    if (Kind == mbHelp) return;
    for (TWinControl* p = Parent(); p; p = p->Parent())
        if (auto* form = dynamic_cast<TForm*>(p)) {
            form->ModalResult = ModalResult;
            return;
        }
}

void TspMessageButton::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_PAINT:
        PaintPart(Handle(), Caption(), TPaintKind::Button);
        Message.Result = 0;
        return;
    case WM_LBUTTONUP:
        Click();
        return;
    case WM_KEYDOWN:
        if (Message.WParam == VK_SPACE) {
            Click();
            return;
        }
        // Return and Escape belong to the dialog.
        if (Parent()) Parent()->Perform(Message.Msg, Message.WParam, Message.LParam);
        return;
    default:
        break;
    }
    TWinControl::WndProc(Message);
}

TspMessageCheckBox::TspMessageCheckBox(TComponent* AOwner) : TWinControl(AOwner) {
    SetCaption(kShowAgainCaption);
}

void TspMessageCheckBox::Toggle() {
    Checked = !Checked;
    if (HandleAllocated()) InvalidateRect(Handle(), nullptr, 1);
}

void TspMessageCheckBox::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_PAINT:
        PaintPart(Handle(), Caption(), TPaintKind::Check, Checked);
        Message.Result = 0;
        return;
    case WM_LBUTTONUP:
        Toggle();
        return;
    case WM_KEYDOWN:
        if (Message.WParam == VK_SPACE) {
            Toggle();
            return;
        }
        if (Parent()) Parent()->Perform(Message.Msg, Message.WParam, Message.LParam);
        return;
    default:
        break;
    }
    TWinControl::WndProc(Message);
}

// ---------------------------------------------------------------------------

TspSkinMessage::TspSkinMessage(TComponent* AOwner) : TComponent(AOwner) {}

int TspSkinMessage::MessageDlg2(const std::string& Msg, const std::string& ACaption,
                                TMsgDlgType DlgType, TMsgDlgButtons Buttons, int /*HelpCtx*/) {
    auto form = std::make_unique<TspMessageForm>(nullptr);
    form->Message = Msg;
    form->DlgType = DlgType;
    form->SetCaption(ACaption);

    SIZE text = MeasureText(Msg, 400);
    int buttonCount = 0;
    for (int b = mbYes; b <= mbClose; ++b)
        if (Buttons.Contains(TMsgDlgBtn(b))) ++buttonCount;
    int buttonsWidth = buttonCount * kButtonWidth + std::max(0, buttonCount - 1) * kButtonGap;
    int checkWidth = FShowAgainFlag ? int(MeasureText(kShowAgainCaption, 400).cx) + 20 : 0;
    int clientWidth = std::max({int(text.cx), buttonsWidth, checkWidth, 160}) + 2 * kMargin;
    int y = kMargin + std::max(int(text.cy), 16) + kMargin;

    if (FShowAgainFlag) {
        auto* box = new TspMessageCheckBox(form.get());
        box->SetParent(form.get());
        box->SetBounds(kMargin, y, clientWidth - 2 * kMargin, kCheckHeight);
        box->Checked = !FShowAgainFlagValue;
        form->DisplayCheckBox = box;
        y += kCheckHeight + kMargin / 2;
    }
    int x = (clientWidth - buttonsWidth) / 2;
    for (int b = mbYes; b <= mbClose; ++b) {
        if (!Buttons.Contains(TMsgDlgBtn(b))) continue;
        auto* button = new TspMessageButton(form.get(), TMsgDlgBtn(b));
        button->SetParent(form.get());
        button->SetBounds(x, y, kButtonWidth, kButtonHeight);
        form->Buttons.push_back(button);
        x += kButtonWidth + kButtonGap;
    }
    y += kButtonHeight + kMargin;
    form->SetBounds(0, 0, clientWidth, y);
    if (Screen)
        form->SetBounds((Screen->Width() - clientWidth) / 2, (Screen->Height() - y) / 2,
                        clientWidth, y);

    if (Hook()) Hook()(*form);
    int result = form->ModalResult;
    if (result == mrNone) result = form->ShowModal();
    if (form->DisplayCheckBox) FShowAgainFlagValue = !form->DisplayCheckBox->Checked;
    return result;
}
