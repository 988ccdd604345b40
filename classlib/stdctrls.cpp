#include "classlib/stdctrls.h"

#include "classlib/forms.h"
#include "classlib/typinfo.h"
#include "platform/win/clipboard.h"
#include "platform/win/controls/button.h"
#include "platform/win/controls/common.h"
#include "platform/win/controls/edit.h"
#include "platform/win/controls/listbox.h"
#include "platform/win/controls/scrollbar.h"
#include "platform/win/controls/text.h"
#include "platform/win/metrics.h"
#include "platform/win/scroll.h"

#include <algorithm>

#include "platform/gdi/gdi.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "platform/win/window.h"

namespace {

// An edit's caption is what the user typed: no text of the form. It publishes
// its text as "Text" instead.
struct TEditRegistration {
    TEditRegistration() {
        RegisterPublished<TCustomEdit, TControl>(
            {TPropInfo{"Caption", "TCaption", TPropKind::Other},
             TextProp(
                 "Text", "TCaption",
                 [](TObject* o) { return static_cast<TCustomEdit*>(o)->Text(); },
                 [](TObject* o, const std::string& v) {
                     static_cast<TCustomEdit*>(o)->SetText(v);
                 })});
    }
} g_editRegistration;

} // namespace
namespace {

// The painting messages of a control whose Paint covers every pixel: the
// background is never erased, and WM_PAINT runs Paint inside
// BeginPaint/EndPaint. False for every other message.
template <class F> bool paintMessage(TWinControl* control, TMessage& Message, F paint) {
    if (Message.Msg == WM_ERASEBKGND) {
        Message.Result = 1;
        return true;
    }
    if (Message.Msg != WM_PAINT) return false;
    HWND hwnd = control->Handle();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc) {
        RECT client{};
        GetClientRect(hwnd, &client);
        paint(dc, client);
    }
    EndPaint(hwnd, &ps);
    Message.Result = 0;
    return true;
}

void drawCaption(HDC dc, const std::string& text, RECT r, bool enabled) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawText(dc, text, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    SelectObject(dc, old);
}

} // namespace

TCustomPanel::TCustomPanel(TComponent* AOwner) : TWinControl(AOwner) {
    FWidth = 185;
    FHeight = 41;
    ControlStyle |= csAcceptsControls;
}

void TCustomPanel::WndProc(TMessage& Message) {
    if (paintMessage(this, Message, [this](HDC dc, const RECT& r) { Paint(dc, r); })) return;
    switch (Message.Msg) {
    case CM_TEXTCHANGED:
        if (HandleAllocated()) InvalidateRect(Handle(), nullptr, 1);
        break;
    default:
        break;
    }
    TWinControl::WndProc(Message);
}

void TCustomPanel::Paint(HDC dc, const RECT& client) {
    RECT r = client;
    HBRUSH face = CreateSolidBrush(ColorToRGB(FColor));
    FillRect(dc, &r, face);
    DeleteObject(face);
    for (TBevelCut cut : {BevelOuter, BevelInner}) {
        if (cut == bvNone) continue;
        DrawEdge(dc, &r, cut == bvRaised ? BDR_RAISEDOUTER : BDR_SUNKENOUTER, BF_RECT);
        InflateRect(&r, -1, -1);
    }
    RECT text = client;
    InflateRect(&text, -2, -2);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Enabled() ? ColorToRGB(FFont.Color()) : GetSysColor(COLOR_GRAYTEXT));
    HGDIOBJ old = SelectObject(dc, FFont.Handle());
    UINT align = Alignment == taCenter         ? DT_CENTER
                 : Alignment == taRightJustify ? DT_RIGHT
                                               : DT_LEFT;
    DrawText(dc, Caption(), &text, DT_SINGLELINE | DT_VCENTER | align);
    SelectObject(dc, old);
}

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
    FWidth = 75;
    FHeight = 25;
    TabStop = true;
    ControlStyle &= ~csClickEvents; // the button clicks itself
}

void TButton::Click() {
    if (ModalResult != 0)
        if (TForm* form = GetParentForm()) form->ModalResult = ModalResult;
    TWinControl::Click();
}

void TButton::SetPressed(bool Value) {
    if (FPressed == Value) return;
    FPressed = Value;
    if (HandleAllocated()) InvalidateRect(Handle(), nullptr, 1);
}

void TButton::WndProc(TMessage& Message) {
    if (paintMessage(this, Message, [this](HDC dc, const RECT& r) { Paint(dc, r); })) return;
    switch (Message.Msg) {
    case WM_LBUTTONDOWN:
        if (!Enabled()) break;
        SetCapture(Handle());
        SetPressed(true);
        break;
    case WM_LBUTTONUP: {
        bool wasPressed = FPressed;
        if (GetCapture() == Handle()) ReleaseCapture();
        SetPressed(false);
        RECT client{};
        GetClientRect(Handle(), &client);
        POINT p{int16_t(LOWORD(uintptr_t(Message.LParam))),
                int16_t(HIWORD(uintptr_t(Message.LParam)))};
        // Only a release over the button counts; dragging off cancels.
        if (wasPressed && PtInRect(&client, p)) Click();
        break;
    }
    case WM_KEYDOWN:
        if ((Message.WParam == VK_SPACE || Message.WParam == VK_RETURN) && Enabled()) Click();
        break;
    case WM_GETDLGCODE:
        Message.Result = DLGC_BUTTON | (Default ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
        return;
    case CM_DIALOGKEY:
        if (((Message.WParam == VK_RETURN && Default) || (Message.WParam == VK_ESCAPE && Cancel)) &&
            CanFocus()) {
            Click();
            Message.Result = 1;
            return;
        }
        break;
    case CM_DIALOGCHAR:
        if (winctl::AcceleratorOf(Caption()) == winctl::AcceleratorKey(Message.WParam) &&
            CanFocus()) {
            SetFocus();
            Click();
            Message.Result = 1;
            return;
        }
        break;
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
        if (HandleAllocated()) InvalidateRect(Handle(), nullptr, 1);
        break;
    default:
        break;
    }
    TWinControl::WndProc(Message);
}

void TButton::Paint(HDC dc, const RECT& client) {
    RECT r = client;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &r, FPressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    RECT text = client;
    if (FPressed) OffsetRect(&text, 1, 1);
    drawCaption(dc, Caption(), text, Enabled());
}

// ---------------------------------------------------------------------------

TGroupBox::TGroupBox(TComponent* AOwner) : TWinControl(AOwner) {
    FWidth = 185;
    FHeight = 105;
    ControlStyle |= csAcceptsControls;
}

TRect TGroupBox::ClientRect() const {
    return TWinControl::ClientRect();
}

void TGroupBox::WndProc(TMessage& Message) {
    if (paintMessage(this, Message, [this](HDC dc, const RECT& r) { Paint(dc, r); })) return;
    switch (Message.Msg) {
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
        Invalidate();
        break;
    case CM_DIALOGCHAR:
        // The accelerator of the caption focuses the first control inside.
        if (winctl::AcceleratorOf(Caption()) == winctl::AcceleratorKey(Message.WParam)) {
            if (TWinControl* first = FindNextControl(nullptr, true, true, false)) {
                first->SetFocus();
                Message.Result = 1;
                return;
            }
        }
        break;
    default:
        break;
    }
    TWinControl::WndProc(Message);
}

void TGroupBox::Paint(HDC dc, const RECT& client) {
    RECT r = client;
    HBRUSH face = CreateSolidBrush(ColorToRGB(FColor));
    FillRect(dc, &r, face);
    HGDIOBJ old = SelectObject(dc, FFont.Handle());
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    RECT frame{r.left, r.top + tm.tmHeight / 2, r.right, r.bottom};
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    std::string caption = Caption();
    if (!caption.empty()) {
        SIZE s{};
        GetTextExtentPoint32(dc, caption, &s);
        RECT t{r.left + 8, r.top, r.left + 8 + s.cx + 4, r.top + tm.tmHeight};
        FillRect(dc, &t, face);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, Enabled() ? ColorToRGB(FFont.Color()) : GetSysColor(COLOR_GRAYTEXT));
        t.left += 2;
        DrawText(dc, caption, &t, DT_SINGLELINE | DT_LEFT | DT_TOP);
    }
    SelectObject(dc, old);
    DeleteObject(face);
}

// ---------------------------------------------------------------------------

TButtonControl::TButtonControl(TComponent* AOwner) : TWinControl(AOwner) {
    FWidth = 97;
    FHeight = 17;
    TabStop = true;
    ControlStyle &= ~csClickEvents; // clicks come from the button's own notification
}

void TButtonControl::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.SuperClass = "BUTTON";
    Params.Background = nullptr;
    Params.Style |= ButtonStyle();
}

void TButtonControl::SetStateValue(TCheckBoxState Value) {
    if (FState == Value) return;
    FState = Value;
    if (HandleAllocated())
        SendMessage(Handle(), BM_SETCHECK,
                    Value == cbChecked  ? BST_CHECKED
                    : Value == cbGrayed ? BST_INDETERMINATE
                                        : BST_UNCHECKED,
                    0);
    Click();
}

void TButtonControl::SetChecked(bool Value) {
    SetStateValue(Value ? cbChecked : cbUnchecked);
}

void TButtonControl::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_CREATE:
        TWinControl::WndProc(Message);
        SendMessage(Handle(), BM_SETCHECK,
                    FState == cbChecked  ? BST_CHECKED
                    : FState == cbGrayed ? BST_INDETERMINATE
                                         : BST_UNCHECKED,
                    0);
        return;
    case CN_COMMAND:
        if (HIWORD(Message.WParam) == BN_CLICKED) Toggle();
        Message.Result = 0;
        return;
    case CN_CTLCOLORSTATIC:
    case CN_CTLCOLORBTN:
        break;
    case CM_DIALOGCHAR:
        if (winctl::AcceleratorOf(Caption()) == winctl::AcceleratorKey(Message.WParam) &&
            CanFocus()) {
            SetFocus();
            Toggle();
            Message.Result = 1;
            return;
        }
        break;
    default:
        break;
    }
    TWinControl::WndProc(Message);
}

DWORD TCheckBox::ButtonStyle() const {
    return BS_3STATE;
}

void TCheckBox::SetState(TCheckBoxState Value) {
    SetStateValue(Value);
}

void TCheckBox::Toggle() {
    switch (FState) {
    case cbUnchecked:
        SetStateValue(AllowGrayed ? cbGrayed : cbChecked);
        break;
    case cbGrayed:
        SetStateValue(cbChecked);
        break;
    default:
        SetStateValue(cbUnchecked);
        break;
    }
}

DWORD TRadioButton::ButtonStyle() const {
    return BS_RADIOBUTTON;
}

void TRadioButton::SetChecked(bool Value) {
    if (Value == Checked()) return;
    if (Value && FParent)
        for (int i = 0; i < FParent->ControlCount(); ++i)
            if (auto* r = dynamic_cast<TRadioButton*>(FParent->Controls(i)); r && r != this)
                r->SetChecked(false);
    SetStateValue(Value ? cbChecked : cbUnchecked);
}

void TRadioButton::Toggle() {
    if (!Checked()) SetChecked(true);
}

// ---------------------------------------------------------------------------

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
    FWidth = 65;
    FHeight = 17;
    ControlStyle |= csSetCaption;
}

void TCustomLabel::SetAutoSize(bool Value) {
    FAutoSize = Value;
    AdjustBounds();
}

void TCustomLabel::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        AdjustBounds();
        Invalidate();
        break;
    case CM_DIALOGCHAR:
        if (ShowAccelChar && FocusControl && FocusControl->CanFocus() &&
            winctl::AcceleratorOf(GetLabelText()) == winctl::AcceleratorKey(Message.WParam)) {
            FocusControl->SetFocus();
            Message.Result = 1;
            return;
        }
        break;
    default:
        break;
    }
    TGraphicControl::WndProc(Message);
}

void TCustomLabel::DoDrawText(TRect& Rect, UINT Flags) {
    std::string text = GetLabelText();
    if ((Flags & DT_CALCRECT) && (text.empty() || (ShowAccelChar && text == "&"))) text += " ";
    if (!ShowAccelChar) Flags |= DT_NOPREFIX;
    HDC dc = Canvas()->Handle();
    HGDIOBJ old = SelectObject(dc, FFont.Handle());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Enabled() ? ColorToRGB(FFont.Color()) : GetSysColor(COLOR_GRAYTEXT));
    RECT r{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
    DrawText(dc, text, &r, Flags);
    Rect = TRect(r);
    SelectObject(dc, old);
}

void TCustomLabel::Paint() {
    TRect r = ClientRect();
    if (!Transparent) {
        Canvas()->Brush()->SetColor(FColor);
        Canvas()->FillRect(r);
    }
    UINT flags = (WordWrap ? DT_WORDBREAK : 0) | (Alignment == taCenter         ? DT_CENTER
                                                  : Alignment == taRightJustify ? DT_RIGHT
                                                                                : DT_LEFT);
    if (Layout != tlTop) {
        TRect calc = r;
        DoDrawText(calc, flags | DT_CALCRECT);
        int h = calc.Bottom - calc.Top;
        int dy = Layout == tlBottom ? r.Bottom - r.Top - h : (r.Bottom - r.Top - h) / 2;
        r.Top += dy;
    }
    DoDrawText(r, flags);
}

void TCustomLabel::AdjustBounds() {
    if (!FAutoSize) return;
    HDC dc = CreateCompatibleDC(nullptr);
    Canvas()->SetHandle(dc);
    TRect r(0, 0, WordWrap ? FWidth : 0, 0);
    DoDrawText(r, DT_CALCRECT | (WordWrap ? DT_WORDBREAK : 0));
    Canvas()->SetHandle(nullptr);
    DeleteDC(dc);
    int w = WordWrap ? FWidth : r.Right - r.Left;
    int h = r.Bottom - r.Top;
    // A right-aligned label grows to the left.
    int x = Alignment == taRightJustify && !WordWrap ? FLeft + FWidth - w : FLeft;
    SetBounds(x, FTop, w, h);
}

// ---------------------------------------------------------------------------

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
    FWidth = 121;
    FHeight = 21;
    TabStop = true;
    FColor = clWindow;
}

void TCustomEdit::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.SuperClass = "EDIT";
    Params.Background = nullptr;
    Params.Style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
    if (BorderStyle == bsSingleBorder) Params.ExStyle |= WS_EX_CLIENTEDGE;
    if (FReadOnly) Params.Style |= ES_READONLY;
    if (!HideSelection) Params.Style |= ES_NOHIDESEL;
    if (CharCase == ecUpperCase) Params.Style |= ES_UPPERCASE;
    if (CharCase == ecLowerCase) Params.Style |= ES_LOWERCASE;
    if (FPasswordChar) Params.Style |= ES_PASSWORD;
}

LRESULT TCustomEdit::Send(UINT Msg, WPARAM WParam, LPARAM LParam) const {
    return SendMessage(const_cast<TCustomEdit*>(this)->Handle(), Msg, WParam, LParam);
}

void TCustomEdit::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_CREATE:
        TWinControl::WndProc(Message);
        if (FMaxLength) Send(EM_LIMITTEXT, WPARAM(FMaxLength), 0);
        if (FPasswordChar) Send(EM_SETPASSWORDCHAR, WPARAM(FPasswordChar), 0);
        Send(EM_SETMODIFY, 0, 0);
        return;
    case CN_COMMAND:
        if (HIWORD(Message.WParam) == EN_CHANGE) Change();
        Message.Result = 0;
        return;
    case WM_SETFOCUS:
        TWinControl::WndProc(Message);
        // Tabbing into a single-line field selects its text.
        if (AutoSelect && !(GetWindowLongPtr(Handle(), GWL_STYLE) & ES_MULTILINE) && !FFocusByMouse)
            SelectAll();
        return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        FFocusByMouse = !Focused();
        TWinControl::WndProc(Message);
        FFocusByMouse = false;
        return;
    default:
        break;
    }
    TWinControl::WndProc(Message);
}

void TCustomEdit::Change() {
    if (OnChange) OnChange(this);
}

int TCustomEdit::SelStart() const {
    DWORD s = 0, e = 0;
    Send(EM_GETSEL, WPARAM(&s), LPARAM(&e));
    return int(s);
}

void TCustomEdit::SetSelStart(int Value) {
    Send(EM_SETSEL, WPARAM(Value), LPARAM(Value));
}

int TCustomEdit::SelLength() const {
    DWORD s = 0, e = 0;
    Send(EM_GETSEL, WPARAM(&s), LPARAM(&e));
    return int(e - s);
}

void TCustomEdit::SetSelLength(int Value) {
    int s = SelStart();
    Send(EM_SETSEL, WPARAM(s), LPARAM(s + std::max(0, Value)));
}

std::string TCustomEdit::SelText() const {
    DWORD s = 0, e = 0;
    Send(EM_GETSEL, WPARAM(&s), LPARAM(&e));
    std::u32string all = winctl::DecodeText(GetText());
    if (s > all.size()) return "";
    return winctl::EncodeText(all.substr(s, e - s));
}

void TCustomEdit::SetSelText(const std::string& Value) {
    Send(EM_REPLACESEL, 1, LPARAM(Value.c_str()));
}

void TCustomEdit::SelectAll() {
    Send(EM_SETSEL, 0, -1);
}
void TCustomEdit::ClearSelection() {
    Send(WM_CLEAR, 0, 0);
}
void TCustomEdit::CopyToClipboard() {
    Send(WM_COPY, 0, 0);
}
void TCustomEdit::CutToClipboard() {
    Send(WM_CUT, 0, 0);
}
void TCustomEdit::PasteFromClipboard() {
    Send(WM_PASTE, 0, 0);
}
void TCustomEdit::Undo() {
    Send(WM_UNDO, 0, 0);
}
bool TCustomEdit::CanUndo() const {
    return Send(EM_CANUNDO, 0, 0) != 0;
}
void TCustomEdit::ClearUndo() {
    Send(EM_EMPTYUNDOBUFFER, 0, 0);
}
bool TCustomEdit::Modified() const {
    return Send(EM_GETMODIFY, 0, 0) != 0;
}
void TCustomEdit::SetModified(bool Value) {
    Send(EM_SETMODIFY, Value ? 1 : 0, 0);
}

void TCustomEdit::SetMaxLength(int Value) {
    FMaxLength = std::max(0, Value);
    if (HandleAllocated()) Send(EM_LIMITTEXT, WPARAM(FMaxLength), 0);
}

void TCustomEdit::SetReadOnly(bool Value) {
    FReadOnly = Value;
    if (HandleAllocated()) Send(EM_SETREADONLY, Value ? 1 : 0, 0);
}

void TCustomEdit::SetPasswordChar(char32_t Value) {
    FPasswordChar = Value;
    if (HandleAllocated()) {
        Send(EM_SETPASSWORDCHAR, WPARAM(Value), 0);
        Invalidate();
    }
}

void TCustomMaskEdit::GetSel(int& SelStartOut, int& SelStop) const {
    DWORD s = 0, e = 0;
    Send(EM_GETSEL, WPARAM(&s), LPARAM(&e));
    SelStartOut = int(s);
    SelStop = int(e);
}

// ---------------------------------------------------------------------------

// The lines of a memo: every change goes through the edit's whole text.
class TMemoStrings : public TStrings {
public:
    explicit TMemoStrings(TCustomMemo* memo) : FMemo(memo) {}
    int Count() const override { return int(lines().size()); }
    std::string Get(int Index) const override {
        auto l = lines();
        if (Index < 0 || Index >= int(l.size())) throw EStringListError("List index out of bounds");
        return l[size_t(Index)];
    }
    void Put(int Index, const std::string& S) override {
        auto l = lines();
        if (Index < 0 || Index >= int(l.size())) throw EStringListError("List index out of bounds");
        l[size_t(Index)] = S;
        store(l);
    }
    void Insert(int Index, const std::string& S) override {
        auto l = lines();
        if (Index < 0 || Index > int(l.size())) throw EStringListError("List index out of bounds");
        l.insert(l.begin() + Index, S);
        store(l);
    }
    void Delete(int Index) override {
        auto l = lines();
        if (Index < 0 || Index >= int(l.size())) throw EStringListError("List index out of bounds");
        l.erase(l.begin() + Index);
        store(l);
    }
    void Clear() override { FMemo->SetText(""); }

private:
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        std::string t = FMemo->GetText();
        if (t.empty()) return out;
        size_t start = 0;
        while (start <= t.size()) {
            size_t nl = t.find('\n', start);
            size_t end = nl == std::string::npos ? t.size() : nl;
            std::string line = t.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (nl == std::string::npos) {
                if (!line.empty()) out.push_back(line);
                break;
            }
            out.push_back(line);
            start = nl + 1;
        }
        return out;
    }
    void store(const std::vector<std::string>& l) {
        std::string t;
        for (const std::string& s : l)
            t += s + "\r\n";
        FMemo->SetText(t);
    }
    TCustomMemo* FMemo;
};

TCustomMemo::TCustomMemo(TComponent* AOwner)
    : TCustomEdit(AOwner), FLines(std::make_unique<TMemoStrings>(this)) {
    FWidth = 185;
    FHeight = 89;
    AutoSelect = false;
}

TCustomMemo::~TCustomMemo() = default;

void TCustomMemo::CreateParams(TCreateParams& Params) {
    TCustomEdit::CreateParams(Params);
    Params.Style |= ES_MULTILINE | ES_AUTOVSCROLL;
    if (WordWrap && ScrollBars != ssHorizontal && ScrollBars != ssBoth)
        Params.Style &= ~ES_AUTOHSCROLL;
    if (ScrollBars == ssVertical || ScrollBars == ssBoth) Params.Style |= WS_VSCROLL;
    if (ScrollBars == ssHorizontal || ScrollBars == ssBoth) Params.Style |= WS_HSCROLL;
}

void TCustomMemo::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_GETDLGCODE: {
        TCustomEdit::WndProc(Message);
        Message.Result &= ~(DLGC_WANTALLKEYS | DLGC_WANTTAB);
        if (WantReturns) Message.Result |= DLGC_WANTALLKEYS;
        if (WantTabs) Message.Result |= DLGC_WANTTAB;
        return;
    }
    case WM_CHAR:
        // Without WantReturns, Enter belongs to the form (the default button).
        if ((Message.WParam == 13 && !WantReturns) || (Message.WParam == 9 && !WantTabs)) {
            Message.Result = 0;
            return;
        }
        break;
    default:
        break;
    }
    TCustomEdit::WndProc(Message);
}

// ---------------------------------------------------------------------------

// The items of a list box, kept by its window; kept aside while there is none.
class TListBoxStrings : public TStrings {
public:
    explicit TListBoxStrings(TCustomListBox* box) : FBox(box) {}
    int Count() const override {
        if (!FBox->HandleAllocated()) return FBox->FSaved->Count();
        return int(FBox->Send(LB_GETCOUNT, 0, 0));
    }
    std::string Get(int Index) const override {
        if (!FBox->HandleAllocated()) return FBox->FSaved->Get(Index);
        if (Index < 0 || Index >= Count()) throw EStringListError("List index out of bounds");
        return ListBoxItemText(FBox->Handle(), Index);
    }
    TObject* GetObject(int Index) const override {
        if (!FBox->HandleAllocated()) return FBox->FSaved->GetObject(Index);
        LRESULT d = FBox->Send(LB_GETITEMDATA, WPARAM(Index), 0);
        if (d == LB_ERR) throw EStringListError("List index out of bounds");
        return reinterpret_cast<TObject*>(d);
    }
    void PutObject(int Index, TObject* AObject) override {
        if (!FBox->HandleAllocated()) return FBox->FSaved->PutObject(Index, AObject);
        if (FBox->Send(LB_SETITEMDATA, WPARAM(Index), LPARAM(AObject)) == LB_ERR)
            throw EStringListError("List index out of bounds");
    }
    int Add(const std::string& S) override {
        if (!FBox->HandleAllocated()) return FBox->FSaved->Add(S);
        return int(FBox->Send(LB_ADDSTRING, 0, LPARAM(S.c_str())));
    }
    void Insert(int Index, const std::string& S) override {
        if (!FBox->HandleAllocated()) return FBox->FSaved->Insert(Index, S);
        if (FBox->Send(LB_INSERTSTRING, WPARAM(Index), LPARAM(S.c_str())) == LB_ERR)
            throw EStringListError("List index out of bounds");
    }
    void Put(int Index, const std::string& S) override {
        if (!FBox->HandleAllocated()) return FBox->FSaved->Put(Index, S);
        TObject* o = GetObject(Index);
        bool sel = FBox->Selected(Index);
        Delete(Index);
        Insert(Index, S);
        PutObject(Index, o);
        if (sel) FBox->SetSelected(Index, true);
    }
    void Delete(int Index) override {
        if (!FBox->HandleAllocated()) return FBox->FSaved->Delete(Index);
        if (FBox->Send(LB_DELETESTRING, WPARAM(Index), 0) == LB_ERR)
            throw EStringListError("List index out of bounds");
    }
    void Clear() override {
        if (!FBox->HandleAllocated()) return FBox->FSaved->Clear();
        FBox->Send(LB_RESETCONTENT, 0, 0);
    }

private:
    TCustomListBox* FBox;
};

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TWinControl(AOwner), FItems(std::make_unique<TListBoxStrings>(this)),
      FSaved(std::make_unique<TStringList>()) {
    FWidth = 121;
    FHeight = 97;
    TabStop = true;
    FColor = clWindow;
    ControlStyle &= ~csClickEvents; // OnClick follows the selection
}

TCustomListBox::~TCustomListBox() = default;

void TCustomListBox::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.SuperClass = "LISTBOX";
    Params.Background = nullptr;
    Params.Style |=
        WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | WS_TABSTOP;
    Params.ExStyle |= WS_EX_CLIENTEDGE;
    if (Sorted) Params.Style |= LBS_SORT;
    if (MultiSelect) Params.Style |= ExtendedSelect ? LBS_EXTENDEDSEL : LBS_MULTIPLESEL;
    if (Style == lbOwnerDrawFixed) Params.Style |= LBS_OWNERDRAWFIXED;
    if (Style == lbOwnerDrawVariable) Params.Style |= LBS_OWNERDRAWVARIABLE;
}

LRESULT TCustomListBox::Send(UINT Msg, WPARAM WParam, LPARAM LParam) const {
    return SendMessage(const_cast<TCustomListBox*>(this)->Handle(), Msg, WParam, LParam);
}

void TCustomListBox::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_CREATE: {
        TWinControl::WndProc(Message);
        if (Style != lbStandard) Send(LB_SETITEMHEIGHT, 0, FItemHeight);
        for (int i = 0; i < FSaved->Count(); ++i) {
            int at = int(Send(LB_ADDSTRING, 0, LPARAM(FSaved->Get(i).c_str())));
            Send(LB_SETITEMDATA, WPARAM(at), LPARAM(FSaved->GetObject(i)));
        }
        FSaved->Clear();
        if (FSavedIndex >= 0) SetItemIndex(FSavedIndex);
        return;
    }
    case WM_DESTROY:
        // The items outlive the window.
        FSaved->Clear();
        for (int i = 0; i < Count(); ++i)
            FSaved->AddObject(ListBoxItemText(Handle(), i),
                              reinterpret_cast<TObject*>(Send(LB_GETITEMDATA, WPARAM(i), 0)));
        FSavedIndex = MultiSelect ? -1 : int(Send(LB_GETCURSEL, 0, 0));
        break;
    case CN_COMMAND:
        switch (HIWORD(Message.WParam)) {
        case LBN_SELCHANGE:
            Click();
            break;
        case LBN_DBLCLK:
            DblClick();
            break;
        default:
            break;
        }
        Message.Result = 0;
        return;
    case CN_DRAWITEM: {
        auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
        TOwnerDrawState state = 0;
        if (di->itemState & ODS_SELECTED) state |= odSelected;
        if (di->itemState & ODS_FOCUS) state |= odFocused;
        if (di->itemState & ODS_DISABLED) state |= odDisabled;
        FCanvas.SetHandle(di->hDC);
        FCanvas.Font()->Assign(&FFont);
        FCanvas.Brush()->SetColor((state & odSelected) ? clHighlight : FColor);
        try {
            DrawItem(int(di->itemID), TRect(di->rcItem), state);
        } catch (...) {
            FCanvas.SetHandle(nullptr);
            throw;
        }
        FCanvas.SetHandle(nullptr);
        Message.Result = 1;
        return;
    }
    case CN_MEASUREITEM: {
        auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam);
        int h = FItemHeight;
        if (Style == lbOwnerDrawVariable && int(mi->itemID) >= 0) MeasureItem(int(mi->itemID), h);
        mi->itemHeight = UINT(std::max(1, h));
        Message.Result = 1;
        return;
    }
    default:
        break;
    }
    TWinControl::WndProc(Message);
}

void TCustomListBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State) {
    if (OnDrawItem) {
        OnDrawItem(this, Index, Rect, State);
        return;
    }
    FCanvas.FillRect(Rect);
    if (Index >= 0 && Index < Count()) {
        if (State & odSelected) FCanvas.Font()->SetColor(clHighlightText);
        FCanvas.TextOut(Rect.Left + 2, Rect.Top, ListBoxItemText(Handle(), Index));
    }
}

void TCustomListBox::MeasureItem(int Index, int& Height) {
    if (OnMeasureItem) OnMeasureItem(this, Index, Height);
}

int TCustomListBox::Count() const {
    return FItems->Count();
}

int TCustomListBox::ItemIndex() const {
    if (!HandleAllocated()) return FSavedIndex;
    if (MultiSelect) return int(Send(LB_GETCARETINDEX, 0, 0));
    return int(Send(LB_GETCURSEL, 0, 0));
}

void TCustomListBox::SetItemIndex(int Value) {
    if (!HandleAllocated()) {
        FSavedIndex = Value;
        return;
    }
    if (MultiSelect) {
        Send(LB_SETCARETINDEX, WPARAM(Value), 0);
        return;
    }
    Send(LB_SETCURSEL, WPARAM(Value), 0);
}

bool TCustomListBox::Selected(int Index) const {
    LRESULT r = Send(LB_GETSEL, WPARAM(Index), 0);
    if (r == LB_ERR) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return r != 0;
}

void TCustomListBox::SetSelected(int Index, bool Value) {
    if (Index < 0 || Index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    if (MultiSelect)
        Send(LB_SETSEL, Value ? 1 : 0, Index);
    else if (Value)
        Send(LB_SETCURSEL, WPARAM(Index), 0);
    else if (ItemIndex() == Index)
        Send(LB_SETCURSEL, WPARAM(-1), 0);
}

int TCustomListBox::SelCount() const {
    return MultiSelect ? int(Send(LB_GETSELCOUNT, 0, 0)) : -1;
}

int TCustomListBox::TopIndex() const {
    return int(Send(LB_GETTOPINDEX, 0, 0));
}

void TCustomListBox::SetTopIndex(int Value) {
    Send(LB_SETTOPINDEX, WPARAM(Value), 0);
}

void TCustomListBox::SetItemHeight(int Value) {
    if (Value <= 0) return;
    FItemHeight = Value;
    if (HandleAllocated() && Style != lbStandard) {
        Send(LB_SETITEMHEIGHT, 0, Value);
        Invalidate();
    }
}

int TCustomListBox::ItemAtPos(const TPoint& Pos, bool Existing) const {
    LRESULT r = Send(LB_ITEMFROMPOINT, 0, MAKELPARAM(Pos.X, Pos.Y));
    if (Count() == 0) return -1;
    if (HIWORD(uintptr_t(r)) && Existing) return -1;
    return LOWORD(uintptr_t(r));
}

TRect TCustomListBox::ItemRect(int Index) const {
    RECT r{};
    Send(LB_GETITEMRECT, WPARAM(Index), LPARAM(&r));
    return TRect(r);
}

void TCustomListBox::Clear() {
    FItems->Clear();
}

// ---------------------------------------------------------------------------

TScrollBar::TScrollBar(TComponent* AOwner) : TWinControl(AOwner) {
    FWidth = 121;
    FHeight = GetSystemMetrics(SM_CYHSCROLL);
    TabStop = true;
}

void TScrollBar::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.SuperClass = "SCROLLBAR";
    Params.Background = nullptr;
    Params.Style |= Kind == sbVertical ? SBS_VERT : SBS_HORZ;
}

void TScrollBar::CreateWnd() {
    TWinControl::CreateWnd();
    UpdateBar();
}

void TScrollBar::UpdateBar() {
    if (!HandleAllocated()) return;
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    si.nMin = FMin;
    si.nMax = FMax;
    si.nPage = UINT(FPageSize);
    si.nPos = FPosition;
    SetScrollInfo(Handle(), SB_CTL, &si, 1);
}

void TScrollBar::SetParams(int APosition, int AMin, int AMax) {
    if (AMax < AMin) throw EInvalidOperation("Scroll bar property out of range");
    APosition = std::clamp(APosition, AMin, AMax);
    bool changed = APosition != FPosition;
    FMin = AMin;
    FMax = AMax;
    FPosition = APosition;
    FPageSize = std::min(FPageSize, FMax - FMin + 1);
    UpdateBar();
    if (changed) Change();
}

void TScrollBar::SetPageSize(int Value) {
    FPageSize = std::clamp(Value, 0, FMax - FMin + 1);
    UpdateBar();
}

void TScrollBar::Change() {
    if (OnChange) OnChange(this);
}

void TScrollBar::Scroll(TScrollCode ScrollCode, int& ScrollPos) {
    if (OnScroll) OnScroll(this, ScrollCode, ScrollPos);
}

void TScrollBar::WndProc(TMessage& Message) {
    if (Message.Msg == CN_HSCROLL || Message.Msg == CN_VSCROLL) {
        int code = LOWORD(Message.WParam);
        int pos = FPosition;
        int top = FMax - std::max(FPageSize - 1, 0);
        switch (code) {
        case SB_LINEUP:
            pos -= SmallChange;
            break;
        case SB_LINEDOWN:
            pos += SmallChange;
            break;
        case SB_PAGEUP:
            pos -= LargeChange;
            break;
        case SB_PAGEDOWN:
            pos += LargeChange;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            pos = int(int16_t(HIWORD(Message.WParam)));
            break;
        case SB_TOP:
            pos = FMin;
            break;
        case SB_BOTTOM:
            pos = top;
            break;
        default:
            break;
        }
        if (code <= SB_ENDSCROLL) {
            pos = std::clamp(pos, FMin, std::max(FMin, top));
            Scroll(TScrollCode(code), pos);
            if (code != SB_ENDSCROLL) SetPosition(pos);
        }
        Message.Result = 0;
        return;
    }
    TWinControl::WndProc(Message);
}
