#include "classlib/controls.h"

#include "platform/gdi/gdi.h"
#include "platform/win/paint.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace {

constexpr const char* kControlProp = "TWinControl";
constexpr const char* kUtilityClass = "TUtilityWindow";

struct UtilityWindows {
    std::mutex m;
    std::map<HWND, TWndMethod> methods;
};

UtilityWindows& Utility() {
    static UtilityWindows* u = new UtilityWindows;
    return *u;
}

LRESULT UtilityProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TWndMethod method;
    {
        UtilityWindows& u = Utility();
        std::lock_guard<std::mutex> g(u.m);
        auto it = u.methods.find(hwnd);
        if (it != u.methods.end()) method = it->second;
    }
    if (!method) return DefWindowProc(hwnd, msg, wParam, lParam);
    TMessage m{msg, wParam, lParam, 0};
    method(m);
    return m.Result;
}

void EnsureClass(const std::string& name, WNDPROC proc, HBRUSH background = nullptr,
                 UINT style = 0) {
    if (GetClassInfo(nullptr, name.c_str(), nullptr)) return;
    WNDCLASS wc;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hbrBackground = background;
    wc.lpszClassName = name.c_str();
    RegisterClass(wc);
}

} // namespace

HWND AllocateHWnd(TWndMethod Method) {
    EnsureClass(kUtilityClass, UtilityProc);
    HWND h = CreateWindowEx(WS_EX_TOOLWINDOW, kUtilityClass, "", WS_POPUP, 0, 0, 0, 0, 0, 0,
                            nullptr, nullptr);
    if (h) {
        UtilityWindows& u = Utility();
        std::lock_guard<std::mutex> g(u.m);
        u.methods[h] = std::move(Method);
    }
    return h;
}

void DeallocateHWnd(HWND Wnd) {
    {
        UtilityWindows& u = Utility();
        std::lock_guard<std::mutex> g(u.m);
        u.methods.erase(Wnd);
    }
    DestroyWindow(Wnd);
}

// ---------------------------------------------------------------------------

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
    WindowProc = [this](TMessage& m) { WndProc(m); };
}

TControl::~TControl() {
    DestroyComponents(); // while the control's members still exist
    if (FParent) FParent->RemoveControl(this);
}

void TControl::WndProc(TMessage& Message) {
    DefaultHandler(Message);
}

void TControl::DefaultHandler(TMessage& Message) {
    Message.Result = 0;
}

void TControl::Invalidate() {
    if (FParent && FParent->HandleAllocated() && FVisible) {
        RECT r = BoundsRect();
        InvalidateRect(FParent->Handle(), &r, 1);
    }
}

void TControl::Repaint() {
    Invalidate();
    if (FParent && FParent->HandleAllocated()) UpdateWindow(FParent->Handle());
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
    TMessage m{Msg, WParam, LParam, 0};
    WindowProc(m);
    return m.Result;
}

void TControl::SetParent(TWinControl* AParent) {
    if (FParent == AParent) return;
    if (FParent) FParent->RemoveControl(this);
    FParent = AParent;
    if (FParent) FParent->InsertControl(this);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
}

void TControl::SetVisible(bool Value) {
    if (FVisible == Value) return;
    FVisible = Value;
    Perform(CM_VISIBLECHANGED, Value ? 1 : 0, 0);
}

void TControl::SetEnabled(bool Value) {
    if (FEnabled == Value) return;
    FEnabled = Value;
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetText(const std::string& Value) {
    if (FText == Value) return;
    FText = Value;
    Perform(CM_TEXTCHANGED, 0, 0);
}

// ---------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
    DestroyHandle();
    DestroyComponents();
    for (TControl* c : std::vector<TControl*>(FControls))
        c->SetParent(nullptr);
}

TWinControl* TWinControl::FindControl(HWND hwnd) {
    return hwnd ? static_cast<TWinControl*>(GetProp(hwnd, kControlProp)) : nullptr;
}

LRESULT TWinControl::InitWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TWinControl* self = FindControl(hwnd);
    if (!self && msg == WM_NCCREATE && lParam) {
        auto* cs = reinterpret_cast<const CREATESTRUCT*>(lParam);
        self = static_cast<TWinControl*>(cs->lpCreateParams);
        if (self) {
            SetProp(hwnd, kControlProp, self);
            self->FHandle = hwnd;
        }
    }
    if (!self) return DefWindowProc(hwnd, msg, wParam, lParam);
    TMessage m{msg, wParam, lParam, 0};
    self->WindowProc(m);
    if (msg == WM_NCDESTROY) {
        RemoveProp(hwnd, kControlProp);
        if (self->FHandle == hwnd) self->FHandle = 0;
    }
    return m.Result;
}

void TWinControl::CreateParams(TCreateParams& Params) {
    Params.Caption = FText;
    Params.X = FLeft;
    Params.Y = FTop;
    Params.Width = FWidth;
    Params.Height = FHeight;
    Params.WinClassName = ClassName();
    Params.Background = GetSysColorBrush(COLOR_BTNFACE);
    if (FParent) {
        Params.Style = WS_CHILD | WS_CLIPSIBLINGS;
        Params.WndParent = FParent->Handle();
    } else {
        Params.Style = WS_OVERLAPPEDWINDOW;
    }
    if (!FEnabled) Params.Style |= WS_DISABLED;
}

void TWinControl::CreateWnd() {
    TCreateParams p;
    CreateParams(p);
    EnsureClass(p.WinClassName, InitWndProc, p.Background, p.WindowClassStyle);
    HWND h = CreateWindowEx(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y,
                            p.Width, p.Height, p.WndParent, 0, nullptr, this);
    if (!h) throw EOSError("Error creating window of class " + p.WinClassName);
    FHandle = h;
}

void TWinControl::DestroyWnd() {
    if (FHandle) DestroyWindow(FHandle);
    FHandle = 0;
}

HWND TWinControl::Handle() {
    if (!FHandle) {
        CreateWnd();
        for (TControl* c : FControls)
            if (auto* w = dynamic_cast<TWinControl*>(c)) w->HandleNeeded();
        UpdateShowing();
    }
    return FHandle;
}

void TWinControl::DestroyHandle() {
    if (!FHandle || FDestroyingHandle) return;
    FDestroyingHandle = true;
    DestroyWnd();
    FDestroyingHandle = false;
}

void TWinControl::InsertControl(TControl* AControl) {
    FControls.push_back(AControl);
    auto* w = dynamic_cast<TWinControl*>(AControl);
    if (w && FHandle) {
        if (w->FHandle)
            ::SetParent(w->FHandle, FHandle);
        else
            w->HandleNeeded();
    }
}

void TWinControl::RemoveControl(TControl* AControl) {
    std::erase(FControls, AControl);
    auto* w = dynamic_cast<TWinControl*>(AControl);
    if (w && w->FHandle) w->DestroyHandle();
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (FHandle) MoveWindow(FHandle, ALeft, ATop, AWidth, AHeight, 1);
}

void TWinControl::SetVisible(bool Value) {
    TControl::SetVisible(Value);
    if (FHandle || Value) UpdateShowing();
}

void TWinControl::UpdateShowing() {
    if (!FVisible) {
        if (FHandle) ShowWindow(FHandle, SW_HIDE);
        return;
    }
    if (FParent && !FParent->HandleAllocated()) return;
    ShowWindow(Handle(), SW_SHOW);
}

void TWinControl::SetEnabled(bool Value) {
    TControl::SetEnabled(Value);
    if (FHandle) EnableWindow(FHandle, Value ? 1 : 0);
}

std::string TWinControl::GetText() const {
    return FHandle ? ::GetWindowText(FHandle) : TControl::GetText();
}

void TWinControl::SetText(const std::string& Value) {
    FText = Value;
    if (FHandle) ::SetWindowText(FHandle, Value);
    Perform(CM_TEXTCHANGED, 0, 0);
}

void TWinControl::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_PAINT: {
        bool graphic = std::any_of(FControls.begin(), FControls.end(),
                                   [](TControl* c) { return !dynamic_cast<TWinControl*>(c); });
        // Window-less children are drawn by their parent in its own painting.
        if (!graphic || !FHandle || Message.WParam) break;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(FHandle, &ps);
        if (dc) PaintControls(dc);
        EndPaint(FHandle, &ps);
        Message.Result = 0;
        return;
    }
    case WM_MOVE:
        FLeft = int16_t(LOWORD(uintptr_t(Message.LParam)));
        FTop = int16_t(HIWORD(uintptr_t(Message.LParam)));
        break;
    case WM_SIZE:
        FWidth = LOWORD(uintptr_t(Message.LParam));
        FHeight = HIWORD(uintptr_t(Message.LParam));
        break;
    case WM_SETTEXT:
        if (Message.LParam) FText = reinterpret_cast<const char*>(Message.LParam);
        break;
    default:
        break;
    }
    TControl::WndProc(Message);
}

void TWinControl::Invalidate() {
    if (FHandle) InvalidateRect(FHandle, nullptr, 1);
}

void TWinControl::Repaint() {
    if (!FHandle) return;
    Invalidate();
    UpdateWindow(FHandle);
}

void TWinControl::PaintControls(HDC DC) {
    for (TControl* c : FControls) {
        if (!c->Visible() || dynamic_cast<TWinControl*>(c)) continue;
        int saved = SaveDC(DC);
        OffsetViewportOrgEx(DC, c->Left(), c->Top(), nullptr);
        IntersectClipRect(DC, 0, 0, c->Width(), c->Height());
        c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
        RestoreDC(DC, saved);
    }
}

void TWinControl::DefaultHandler(TMessage& Message) {
    if (FHandle)
        Message.Result = DefWindowProc(FHandle, Message.Msg, Message.WParam, Message.LParam);
    else
        Message.Result = 0;
}

// ---- TCustomControl ----

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {}

TCustomControl::~TCustomControl() {
    FCanvas->SetHandle(nullptr);
}

void TCustomControl::PaintWindow(HDC DC) {
    FCanvas->SetHandle(DC);
    Paint();
    FCanvas->SetHandle(nullptr);
}

void TCustomControl::WndProc(TMessage& Message) {
    if (Message.Msg == WM_PAINT && (Message.WParam || HandleAllocated())) {
        if (Message.WParam) {
            // Someone else's device context (a child drawing what lies under
            // it): the control's own look only.
            PaintWindow(reinterpret_cast<HDC>(Message.WParam));
        } else {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Handle(), &ps);
            if (dc) {
                PaintWindow(dc);
                PaintControls(dc);
            }
            EndPaint(Handle(), &ps);
        }
        Message.Result = 0;
        return;
    }
    TWinControl::WndProc(Message);
}

// ---- TGraphicControl ----

TGraphicControl::TGraphicControl(TComponent* AOwner)
    : TControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {}

TGraphicControl::~TGraphicControl() {
    FCanvas->SetHandle(nullptr);
}

void TGraphicControl::WndProc(TMessage& Message) {
    if (Message.Msg == WM_PAINT && Message.WParam) {
        // A control drawing what lies under it may reach itself again.
        if (FPainting) return;
        FPainting = true;
        FCanvas->SetHandle(reinterpret_cast<HDC>(Message.WParam));
        Paint();
        FCanvas->SetHandle(nullptr);
        FPainting = false;
        Message.Result = 0;
        return;
    }
    TControl::WndProc(Message);
}
