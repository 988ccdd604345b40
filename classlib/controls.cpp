#include "classlib/controls.h"

#include "classlib/forms.h"
#include "platform/gdi/gdi.h"
#include "platform/win/controls/common.h"
#include "platform/win/input.h"
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

void EnsureClass(const std::string& name, WNDPROC proc, HBRUSH background = nullptr, UINT style = 0,
                 HCURSOR cursor = nullptr) {
    if (GetClassInfo(nullptr, name.c_str(), nullptr)) return;
    WNDCLASS wc;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hbrBackground = background;
    wc.hCursor = cursor;
    wc.lpszClassName = name.c_str();
    RegisterClass(wc);
}

TControl* g_mouseControl = nullptr;

bool isMouseMessage(UINT msg) {
    return msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONUP;
}

TPoint pointOf(LPARAM l) {
    return TPoint{int16_t(LOWORD(uintptr_t(l))), int16_t(HIWORD(uintptr_t(l)))};
}

void setMouseControl(TControl* c) {
    if (g_mouseControl == c) return;
    TControl* old = g_mouseControl;
    g_mouseControl = c;
    if (Application) Application->HintMouseMessage(c);
    if (old) old->Perform(CM_MOUSELEAVE, 0, 0);
    if (c && g_mouseControl == c) c->Perform(CM_MOUSEENTER, 0, 0);
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

TShiftState KeyboardShiftState() {
    TShiftState s = 0;
    if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

TShiftState MouseShiftState(WPARAM keys) {
    TShiftState s = 0;
    if (keys & MK_SHIFT) s |= ssShift;
    if (keys & MK_CONTROL) s |= ssCtrl;
    if (keys & MK_LBUTTON) s |= ssLeft;
    if (keys & MK_RBUTTON) s |= ssRight;
    if (keys & MK_MBUTTON) s |= ssMiddle;
    if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
    return s;
}

TControl* MouseControl() {
    return g_mouseControl;
}

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
    WindowProc = [this](TMessage& m) { WndProc(m); };
    FFont.OnChange = [this](TObject*) { Perform(CM_FONTCHANGED, 0, 0); };
}

TControl::~TControl() {
    if (g_mouseControl == this) g_mouseControl = nullptr;
    if (Application && Application->HintControl() == this) Application->HintMouseMessage(nullptr);
    DestroyComponents(); // while the control's members still exist
    if (FParent) FParent->RemoveControl(this);
}

void TControl::WndProc(TMessage& Message) {
    if (isMouseMessage(Message.Msg) || Message.Msg == WM_MOUSEWHEEL) {
        HandleMouseMessage(Message);
        if (Message.Msg == WM_MOUSEWHEEL && Message.Result) return;
    }
    switch (Message.Msg) {
    case CM_MOUSEENTER:
        if (OnMouseEnter) OnMouseEnter(this);
        break;
    case CM_MOUSELEAVE:
        if (OnMouseLeave) OnMouseLeave(this);
        break;
    default:
        break;
    }
    DefaultHandler(Message);
}

void TControl::HandleMouseMessage(TMessage& Message) {
    TPoint p = pointOf(Message.LParam);
    TShiftState shift = MouseShiftState(Message.WParam);
    switch (Message.Msg) {
    case WM_MOUSEMOVE:
        setMouseControl(this);
        MouseMove(shift, p.X, p.Y);
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!FEnabled) break;
        FClicked = (ControlStyle & csClickEvents) != 0;
        if (Message.Msg == WM_LBUTTONDBLCLK && (ControlStyle & csDoubleClicks)) {
            DblClick();
            shift |= ssDouble;
        }
        MouseDown(mbLeft, shift, p.X, p.Y);
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        MouseDown(mbRight, shift, p.X, p.Y);
        break;
    case WM_MBUTTONDOWN:
        MouseDown(mbMiddle, shift, p.X, p.Y);
        break;
    case WM_LBUTTONUP: {
        bool clicked = FClicked;
        FClicked = false;
        TRect r = ClientRect();
        bool inside = p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
        MouseUp(mbLeft, shift, p.X, p.Y);
        if (clicked && inside) Click();
        break;
    }
    case WM_RBUTTONUP:
        MouseUp(mbRight, shift, p.X, p.Y);
        break;
    case WM_MBUTTONUP:
        MouseUp(mbMiddle, shift, p.X, p.Y);
        break;
    case WM_MOUSEWHEEL:
        Message.Result = DoMouseWheel(MouseShiftState(LOWORD(Message.WParam)),
                                      int16_t(HIWORD(Message.WParam)), p)
                             ? 1
                             : 0;
        break;
    default:
        break;
    }
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}
void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}
void TControl::MouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}
bool TControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    bool handled = false;
    if (OnMouseWheel) OnMouseWheel(this, Shift, WheelDelta, MousePos, handled);
    return handled;
}
void TControl::Click() {
    if (OnClick) OnClick(this);
}
void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}
void TControl::Resize() {
    if (OnResize) OnResize(this);
}

void TControl::SetAlign(TAlign Value) {
    if (FAlign == Value) return;
    FAlign = Value;
    if (FParent) FParent->Realign();
}

void TControl::SetColor(TColor Value) {
    if (FColor == Value) return;
    FColor = Value;
    Perform(CM_COLORCHANGED, 0, 0);
    Invalidate();
}

TPoint TControl::ClientToScreen(const TPoint& P) const {
    POINT p{P.X, P.Y};
    if (auto* w = dynamic_cast<const TWinControl*>(this); w && w->HandleAllocated()) {
        ::ClientToScreen(const_cast<TWinControl*>(w)->Handle(), &p);
        return TPoint{p.x, p.y};
    }
    if (FParent) return FParent->ClientToScreen(TPoint{P.X + FLeft, P.Y + FTop});
    return P;
}

TPoint TControl::ScreenToClient(const TPoint& P) const {
    TPoint origin = ClientToScreen(TPoint{0, 0});
    return TPoint{P.X - origin.X, P.Y - origin.Y};
}

void TControl::Invalidate() {
    if (FParent && FParent->HandleAllocated() && FVisible) {
        RECT r{FLeft, FTop, FLeft + FWidth, FTop + FHeight};
        InvalidateRect(FParent->Handle(), &r, 1);
    }
}

void TControl::Repaint() {
    Invalidate();
    if (FParent && FParent->HandleAllocated()) UpdateWindow(FParent->Handle());
}

TForm* TControl::GetParentForm() const {
    const TControl* c = this;
    while (c->FParent)
        c = c->FParent;
    return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

// ---------------------------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}

TGraphicControl::~TGraphicControl() {
    if (FParent && FParent->FMouseCapture == this) FParent->FMouseCapture = nullptr;
}

void TGraphicControl::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_PAINT:
        // A device context with its origin already at the control (a sibling
        // drawing what lies under it).
        if (Message.WParam && !FPainting) {
            FPainting = true;
            FCanvas.SetHandle(reinterpret_cast<HDC>(Message.WParam));
            FCanvas.Font()->Assign(Font());
            Paint();
            FCanvas.SetHandle(nullptr);
            FPainting = false;
            Message.Result = 0;
            return;
        }
        break;
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
    case CM_ENABLEDCHANGED:
        Invalidate();
        break;
    case CM_VISIBLECHANGED:
        // Showing and hiding both change what the parent shows.
        if (FParent && FParent->HandleAllocated()) {
            RECT r{FLeft, FTop, FLeft + FWidth, FTop + FHeight};
            InvalidateRect(FParent->Handle(), &r, 1);
            FParent->Realign();
        }
        break;
    default:
        break;
    }
    TControl::WndProc(Message);
}

void TGraphicControl::PaintTo(HDC dc) {
    if (FPainting) return;
    FPainting = true;
    int saved = SaveDC(dc);
    OffsetViewportOrgEx(dc, FLeft, FTop, nullptr);
    IntersectClipRect(dc, 0, 0, FWidth, FHeight);
    FCanvas.SetHandle(dc);
    FCanvas.Font()->Assign(&FFont);
    try {
        Paint();
    } catch (...) {
        FCanvas.SetHandle(nullptr);
        RestoreDC(dc, saved);
        FPainting = false;
        throw;
    }
    FCanvas.SetHandle(nullptr);
    RestoreDC(dc, saved);
    FPainting = false;
}

void TGraphicControl::Paint() {}

void TControl::DefaultHandler(TMessage& Message) {
    Message.Result = 0;
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
    bool same = FLeft == ALeft && FTop == ATop && FWidth == AWidth && FHeight == AHeight;
    if (same) return;
    bool resized = FWidth != AWidth || FHeight != AHeight;
    if (!dynamic_cast<TWinControl*>(this)) Invalidate(); // the old place
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (!dynamic_cast<TWinControl*>(this)) {
        Invalidate();
        if (resized) Resize();
    }
    if (FParent && FAlign != alNone && !FParent->FAligning) FParent->Realign();
}

void TControl::SetVisible(bool Value) {
    if (FVisible == Value) return;
    FVisible = Value;
    Perform(CM_VISIBLECHANGED, Value ? 1 : 0, 0);
    // An aligned control gives its place back, or takes it again.
    if (FAlign != alNone && FParent) FParent->Realign();
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
    for (int i = 0; Screen && i < Screen->FormCount(); ++i)
        if (Screen->Forms(i)->ActiveControl == this) Screen->Forms(i)->ActiveControl = nullptr;
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
    // Window-less children are painted over what the window paints.
    bool children = (msg == WM_PAINT || msg == WM_PRINTCLIENT) &&
                    std::any_of(self->FControls.begin(), self->FControls.end(), [](TControl* c) {
                        return !dynamic_cast<TWinControl*>(c) && c->Visible();
                    });
    RECT update{};
    if (children && msg == WM_PAINT) GetUpdateRect(hwnd, &update, 0);
    self->WindowProc(m);
    if (children && IsWindow(hwnd) && FindControl(hwnd) == self) {
        if (msg == WM_PRINTCLIENT) {
            if (wParam) self->PaintControls(reinterpret_cast<HDC>(wParam));
        } else if (!IsRectEmpty(&update)) {
            HDC dc = GetDC(hwnd);
            IntersectClipRect(dc, update.left, update.top, update.right, update.bottom);
            self->PaintControls(dc);
            ReleaseDC(hwnd, dc);
        }
    }
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
    HCURSOR cursor = nullptr;
    if (!p.SuperClass.empty()) {
        RegisterStandardControls();
        WNDCLASS native;
        if (!GetClassInfo(nullptr, p.SuperClass.c_str(), &native))
            throw EOSError("Unknown window class " + p.SuperClass);
        FDefWndProc = native.lpfnWndProc;
        cursor = native.hCursor;
    }
    EnsureClass(p.WinClassName, InitWndProc, p.Background, p.WindowClassStyle, cursor);
    HWND h = CreateWindowEx(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y,
                            p.Width, p.Height, p.WndParent, 0, nullptr, this);
    if (!h) throw EOSError("Error creating window of class " + p.WinClassName);
    FHandle = h;
    if (!p.SuperClass.empty()) SendMessage(h, WM_SETFONT, WPARAM(FFont.Handle()), 0);
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
    if (w) FTabList.push_back(w);
    if (w && FHandle) {
        if (w->FHandle)
            ::SetParent(w->FHandle, FHandle);
        else
            w->HandleNeeded();
    }
    if (!w) AControl->Invalidate();
    if (AControl->Align() != alNone) Realign();
}

void TWinControl::RemoveControl(TControl* AControl) {
    if (FMouseCapture == AControl) FMouseCapture = nullptr;
    if (g_mouseControl == AControl) g_mouseControl = nullptr;
    if (!dynamic_cast<TWinControl*>(AControl)) AControl->Invalidate();
    std::erase(FControls, AControl);
    // By address: a windowed control removed from its own destructor no
    // longer casts to TWinControl but is still in the tab list.
    std::erase_if(FTabList, [&](TWinControl* t) { return static_cast<TControl*>(t) == AControl; });
    auto* w = dynamic_cast<TWinControl*>(AControl);
    if (w && w->FHandle) w->DestroyHandle();
    if (AControl->Align() != alNone) Realign();
}

int TWinControl::TabOrder() const {
    if (!FParent) return -1;
    auto& list = FParent->FTabList;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : int(it - list.begin());
}

void TWinControl::SetTabOrder(int Value) {
    if (!FParent) return;
    auto& list = FParent->FTabList;
    std::erase(list, this);
    Value = std::clamp(Value, 0, int(list.size()));
    list.insert(list.begin() + Value, this);
}

bool TWinControl::CanFocus() const {
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

bool TWinControl::Focused() const {
    return FHandle && GetFocus() == FHandle;
}

void TWinControl::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    ::SetFocus(Handle());
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward,
                                          bool CheckTabStop, bool CheckParent) const {
    std::vector<TWinControl*> all;
    std::function<void(const TWinControl*)> walk = [&](const TWinControl* p) {
        for (TWinControl* c : p->FTabList) {
            all.push_back(c);
            walk(c);
        }
    };
    walk(this);
    if (all.empty()) return nullptr;
    int n = int(all.size());
    int at = -1;
    // A control outside the tab order (the field inside a spin edit, say)
    // moves on from the nearest of its parents that is in it.
    for (const TWinControl* cur = CurControl; cur && at < 0; cur = cur->FParent)
        for (int i = 0; i < n; ++i)
            if (all[size_t(i)] == cur) at = i;
    for (int step = 1; step <= n; ++step) {
        int i = at < 0 ? (GoForward ? step - 1 : n - step)
                       : ((at + (GoForward ? step : -step)) % n + n) % n;
        TWinControl* c = all[size_t(i)];
        if (c == CurControl) continue;
        if (CheckTabStop && !c->TabStop) continue;
        if (CheckParent && c->FParent != this) continue;
        if (c->CanFocus()) return c;
    }
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
    if (TWinControl* next = FindNextControl(CurControl, GoForward, CheckTabStop, false))
        next->SetFocus();
}

TControl* TWinControl::ControlAtPos(const TPoint& Pos, bool AllowDisabled) const {
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        TControl* c = *it;
        if (dynamic_cast<TWinControl*>(c) || !c->Visible()) continue;
        if (!AllowDisabled && !c->Enabled()) continue;
        TRect r = c->BoundsRect();
        if (Pos.X >= r.Left && Pos.X < r.Right && Pos.Y >= r.Top && Pos.Y < r.Bottom) return c;
    }
    return nullptr;
}

void TWinControl::PaintControls(HDC dc) {
    for (TControl* c : std::vector<TControl*>(FControls)) {
        auto* g = dynamic_cast<TGraphicControl*>(c);
        if (!g || !g->Visible()) continue;
        RECT r{g->Left(), g->Top(), g->Left() + g->Width(), g->Top() + g->Height()};
        if (!RectVisible(dc, &r)) continue;
        g->PaintTo(dc);
    }
}

void TWinControl::Realign() {
    if (FAligning) return;
    TRect r = ClientRect();
    FAligning = true;
    try {
        AlignControls(nullptr, r);
    } catch (...) {
        FAligning = false;
        throw;
    }
    FAligning = false;
}

void TWinControl::AlignControls(TControl*, TRect& Rect) {
    auto take = [&](TAlign a) {
        std::vector<TControl*> list;
        for (TControl* c : FControls)
            if (c->Align() == a && c->Visible()) list.push_back(c);
        // Stacked in the order they stand now, nearest the edge first.
        std::stable_sort(list.begin(), list.end(), [a](TControl* x, TControl* y) {
            switch (a) {
            case alTop:
                return x->Top() < y->Top();
            case alBottom:
                return x->Top() + x->Height() > y->Top() + y->Height();
            case alLeft:
                return x->Left() < y->Left();
            case alRight:
                return x->Left() + x->Width() > y->Left() + y->Width();
            default:
                return false;
            }
        });
        return list;
    };
    for (TControl* c : take(alTop)) {
        c->SetBounds(Rect.Left, Rect.Top, Rect.Right - Rect.Left, c->Height());
        Rect.Top += c->Height();
    }
    for (TControl* c : take(alBottom)) {
        Rect.Bottom -= c->Height();
        c->SetBounds(Rect.Left, Rect.Bottom, Rect.Right - Rect.Left, c->Height());
    }
    for (TControl* c : take(alLeft)) {
        c->SetBounds(Rect.Left, Rect.Top, c->Width(), std::max(0, Rect.Bottom - Rect.Top));
        Rect.Left += c->Width();
    }
    for (TControl* c : take(alRight)) {
        Rect.Right -= c->Width();
        c->SetBounds(Rect.Right, Rect.Top, c->Width(), std::max(0, Rect.Bottom - Rect.Top));
    }
    for (TControl* c : take(alClient))
        c->SetBounds(Rect.Left, Rect.Top, std::max(0, Rect.Right - Rect.Left),
                     std::max(0, Rect.Bottom - Rect.Top));
}

TRect TWinControl::ClientRect() const {
    if (FHandle) {
        RECT r{};
        GetClientRect(FHandle, &r);
        return TRect(r);
    }
    return TRect(0, 0, FWidth, FHeight);
}

void TWinControl::Invalidate() {
    if (FHandle) InvalidateRect(FHandle, nullptr, 1);
}

void TWinControl::Repaint() {
    if (FHandle) {
        InvalidateRect(FHandle, nullptr, 1);
        UpdateWindow(FHandle);
    }
}

void TWinControl::KeyDown(WORD& Key, TShiftState Shift) {
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
}
void TWinControl::KeyUp(WORD& Key, TShiftState Shift) {
    if (OnKeyUp) OnKeyUp(this, Key, Shift);
}
void TWinControl::KeyPress(char32_t& Key) {
    if (OnKeyPress) OnKeyPress(this, Key);
}

bool TWinControl::HandleKeys(TMessage& Message) {
    TForm* form = GetParentForm();
    switch (Message.Msg) {
    case WM_KEYDOWN: {
        WORD key = WORD(Message.WParam);
        TShiftState shift = KeyboardShiftState();
        LRESULT code = Perform(WM_GETDLGCODE, 0, 0);
        if (key == VK_TAB && !(code & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) && !(shift & ssCtrl)) {
            if (form) form->SelectNext(this, !(shift & ssShift), true);
            return true;
        }
        if ((key == VK_RETURN || key == VK_ESCAPE) && !(code & DLGC_WANTALLKEYS) &&
            !(key == VK_RETURN && (code & DLGC_BUTTON))) {
            if (form && form->Perform(CM_DIALOGKEY, key, 0)) return true;
        }
        KeyDown(key, shift);
        if (key == 0) return true;
        Message.WParam = key;
        return false;
    }
    case WM_KEYUP: {
        WORD key = WORD(Message.WParam);
        KeyUp(key, KeyboardShiftState());
        if (key == 0) return true;
        Message.WParam = key;
        return false;
    }
    case WM_CHAR: {
        char32_t ch = char32_t(Message.WParam);
        LRESULT code = Perform(WM_GETDLGCODE, 0, 0);
        if (ch >= 32 && !(code & DLGC_WANTCHARS) && form && form->Perform(CM_DIALOGCHAR, ch, 0))
            return true;
        KeyPress(ch);
        if (ch == 0) return true;
        Message.WParam = ch;
        return false;
    }
    case WM_SYSCHAR:
        return form && form->Perform(CM_DIALOGCHAR, Message.WParam, 0);
    default:
        return false;
    }
}

void TWinControl::RouteMouse(TMessage& Message) {
    TPoint p = pointOf(Message.LParam);
    TControl* target = FMouseCapture;
    if (!target) target = ControlAtPos(p, false);
    if (!target) {
        HandleMouseMessage(Message);
        return;
    }
    if (Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_RBUTTONDOWN ||
        Message.Msg == WM_LBUTTONDBLCLK) {
        // The window-less control keeps the mouse until the button is released.
        if (target->ControlStyle & csCaptureMouse) {
            FMouseCapture = target;
            if (FHandle) SetCapture(FHandle);
        }
    }
    TMessage m = Message;
    m.LParam = MAKELPARAM(p.X - target->Left(), p.Y - target->Top());
    target->WindowProc(m);
    if (Message.Msg == WM_LBUTTONUP || Message.Msg == WM_RBUTTONUP) {
        FMouseCapture = nullptr;
        if (FHandle && GetCapture() == FHandle) ReleaseCapture();
    }
    Message.Result = m.Result;
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
    if (isMouseMessage(Message.Msg)) {
        TPoint p = pointOf(Message.LParam);
        if (FMouseCapture || ControlAtPos(p, false)) {
            RouteMouse(Message);
            return;
        }
        HandleMouseMessage(Message);
        DefaultHandler(Message);
        return;
    }
    switch (Message.Msg) {
    case WM_MOUSEWHEEL:
        HandleMouseMessage(Message);
        if (Message.Result) return;
        DefaultHandler(Message);
        return;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
        if (HandleKeys(Message)) {
            Message.Result = 0;
            return;
        }
        break;
    case WM_SETFOCUS:
        if (TForm* f = GetParentForm(); f && f != this) {
            f->ActiveControl = this;
            // Every control of the form hears where the focus went.
            f->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(this));
        }
        Perform(CM_ENTER, 0, 0);
        if (OnEnter) OnEnter(this);
        break;
    case WM_KILLFOCUS:
        Perform(CM_EXIT, 0, 0);
        if (OnExit) OnExit(this);
        break;
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM: {
        // The control the message is about handles it as a CN_ message.
        HWND from = 0;
        if (Message.Msg == WM_NOTIFY)
            from = Message.LParam ? reinterpret_cast<const NMHDR*>(Message.LParam)->hwndFrom : 0;
        else if (Message.Msg == WM_DRAWITEM)
            from = Message.LParam
                       ? reinterpret_cast<const DRAWITEMSTRUCT*>(Message.LParam)->hwndItem
                       : 0;
        else if (Message.Msg == WM_MEASUREITEM)
            from = Message.LParam
                       ? reinterpret_cast<const MEASUREITEMSTRUCT*>(Message.LParam)->hwndItem
                       : 0;
        else
            from = HWND(Message.LParam);
        TWinControl* c = from && from != FHandle ? FindControl(from) : nullptr;
        if (c) {
            Message.Result = c->Perform(CN_BASE + Message.Msg, Message.WParam, Message.LParam);
            return;
        }
        break;
    }
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORBTN:
    case CN_CTLCOLORSTATIC:
    case CN_CTLCOLORSCROLLBAR: {
        HDC dc = reinterpret_cast<HDC>(Message.WParam);
        SetTextColor(dc, ColorToRGB(FFont.Color()));
        SetBkColor(dc, ColorToRGB(FColor));
        FBrush.SetColor(FColor);
        Message.Result = LRESULT(FBrush.Handle());
        return;
    }
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
        // Offered to every control until one takes it.
        for (TControl* c : std::vector<TControl*>(FControls)) {
            if (!c->Visible() || !c->Enabled()) continue;
            if (LRESULT r = c->Perform(Message.Msg, Message.WParam, Message.LParam)) {
                Message.Result = r;
                return;
            }
        }
        Message.Result = 0;
        return;
    case CM_FOCUSCHANGED:
        for (TControl* c : std::vector<TControl*>(FControls))
            c->Perform(Message.Msg, Message.WParam, Message.LParam);
        Message.Result = 0;
        return;
    case CM_FONTCHANGED:
        if (FHandle && FDefWndProc) SendMessage(FHandle, WM_SETFONT, WPARAM(FFont.Handle()), 1);
        break;
    case WM_SIZE:
        if (!FControls.empty()) Realign();
        Resize();
        break;
    default:
        break;
    }
    switch (Message.Msg) {
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

void TWinControl::DefaultHandler(TMessage& Message) {
    if (!FHandle) {
        Message.Result = 0;
        return;
    }
    // Messages of our own never reach the window classes of the layer.
    bool own = Message.Msg >= CM_BASE && Message.Msg < WM_REGISTERED_FIRST;
    if (FDefWndProc && !own)
        Message.Result =
            CallWindowProc(FDefWndProc, FHandle, Message.Msg, Message.WParam, Message.LParam);
    else
        Message.Result = DefWindowProc(FHandle, Message.Msg, Message.WParam, Message.LParam);
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
    if (Message.Msg == WM_PAINT && Message.WParam) {
        // Someone else's device context (a child drawing what lies under
        // it): the control's own look only.
        PaintWindow(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 0;
        return;
    }
    if (Message.Msg == WM_PAINT && HandleAllocated()) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        if (dc) PaintWindow(dc);
        EndPaint(Handle(), &ps);
        Message.Result = 0;
        return;
    }
    TWinControl::WndProc(Message);
}

// ---------------------------------------------------------------------------

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
    FVisible = false;
    FColor = clInfoBk;
    FFont.SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP | WS_BORDER;
    Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
    Params.WndParent = 0;
    Params.Background = nullptr;
}

TRect THintWindow::CalcHintRect(int MaxWidth, const std::string& AHint, void*) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, FFont.Handle());
    RECT r{0, 0, std::max(1, MaxWidth), 0};
    DrawText(dc, AHint, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
    SelectObject(dc, old);
    DeleteDC(dc);
    // Room for the border and a little space around the text.
    return TRect(0, 0, r.right + 6, r.bottom + 4);
}

void THintWindow::ActivateHint(const TRect& Rect, const std::string& AHint) {
    SetCaption(AHint);
    FVisible = true;
    SetWindowPos(Handle(), HWND_TOPMOST, Rect.Left, Rect.Top, Rect.Right - Rect.Left,
                 Rect.Bottom - Rect.Top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    Invalidate();
}

void THintWindow::ReleaseHandle() {
    FVisible = false;
    if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
}

bool THintWindow::IsShowing() const {
    return HandleAllocated() && IsWindowVisible(const_cast<THintWindow*>(this)->Handle());
}

void THintWindow::Paint() {
    TRect r = ClientRect();
    Canvas()->Brush()->SetColor(FColor);
    Canvas()->FillRect(r);
    HDC dc = Canvas()->Handle();
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(FFont.Color()));
    HGDIOBJ old = SelectObject(dc, FFont.Handle());
    RECT t{r.Left + 2, r.Top + 1, r.Right - 2, r.Bottom - 1};
    DrawText(dc, Caption(), &t, DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
    SelectObject(dc, old);
}
