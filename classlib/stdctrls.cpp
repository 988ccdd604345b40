#include "classlib/stdctrls.h"

#include "classlib/forms.h"
#include "platform/win/controls/common.h"

#include "platform/gdi/gdi.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "platform/win/window.h"

namespace {

// Runs a control's Paint inside BeginPaint/EndPaint.
template <class F> void paintWith(HWND hwnd, F paint) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc) {
        RECT client{};
        GetClientRect(hwnd, &client);
        paint(dc, client);
    }
    EndPaint(hwnd, &ps);
}

void drawCaption(HDC dc, const std::string& text, RECT r, bool enabled) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    DrawText(dc, text, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    SelectObject(dc, old);
}

} // namespace

TPanel::TPanel(TComponent* AOwner) : TWinControl(AOwner) {
    FWidth = 185;
    FHeight = 41;
}

void TPanel::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_ERASEBKGND:
        // Paint covers every pixel.
        Message.Result = 1;
        return;
    case WM_PAINT:
        paintWith(Handle(), [this](HDC dc, const RECT& r) { Paint(dc, r); });
        Message.Result = 0;
        return;
    case CM_TEXTCHANGED:
        if (HandleAllocated()) InvalidateRect(Handle(), nullptr, 1);
        break;
    default:
        break;
    }
    TWinControl::WndProc(Message);
}

void TPanel::Paint(HDC dc, const RECT& client) {
    RECT r = client;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
    drawCaption(dc, Caption(), client, Enabled());
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
    switch (Message.Msg) {
    case WM_ERASEBKGND:
        Message.Result = 1;
        return;
    case WM_PAINT:
        paintWith(Handle(), [this](HDC dc, const RECT& r) { Paint(dc, r); });
        Message.Result = 0;
        return;
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
        if (winctl::AcceleratorOf(Caption()) == char32_t(Message.WParam | 0x20) && CanFocus()) {
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
