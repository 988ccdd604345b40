#include "classlib/forms.h"

#include "classlib/thread.h"
#include "platform/display/backend.h"
#include "platform/win/mdi.h"
#include "platform/win/nonclient.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>

TApplication* Application = new TApplication(nullptr);
TScreen* Screen = new TScreen(nullptr);

std::string ClassNameOf(const std::type_info& Type) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(Type.name(), nullptr, nullptr, &status);
    std::string name = (status == 0 && demangled) ? demangled : Type.name();
    std::free(demangled);
    size_t angle = name.find('<');
    size_t colon = name.rfind("::", angle);
    if (colon != std::string::npos) name.erase(0, colon + 2);
    return name;
}

// ---------------------------------------------------------------------------

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner) {
    FVisible = false;
    Screen->FForms.push_back(this);
}

TForm::~TForm() {
    if (OnDestroy) {
        try {
            OnDestroy(this);
        } catch (...) {
        }
    }
    std::erase(Screen->FForms, this);
    if (Application && Application->MainForm() == this) Application->SetMainForm(nullptr);
    DestroyHandle();
    // Owned components may hold on to the form (its WindowProc, say): they go
    // while it is still whole.
    DestroyComponents();
}

void TForm::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    switch (BorderStyle) {
    case bsNone:
        Params.Style = WS_POPUP;
        break;
    case bsDialog:
        Params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        break;
    default:
        break;
    }
    if (FFormStyle == fsStayOnTop) Params.ExStyle |= WS_EX_TOPMOST;
    if (!(FBorderIcons & TFormBorderIcon::biSystemMenu)) Params.Style &= ~DWORD(WS_SYSMENU);
    if (!(FBorderIcons & TFormBorderIcon::biMinimize)) Params.Style &= ~DWORD(WS_MINIMIZEBOX);
    if (!(FBorderIcons & TFormBorderIcon::biMaximize)) Params.Style &= ~DWORD(WS_MAXIMIZEBOX);
    if (FFormStyle == fsMDIChild) {
        TForm* main = Application ? Application->MainForm() : nullptr;
        if (!main || main == this || main->FormStyle() != fsMDIForm)
            throw EInvalidOperation("No MDI main form to hold the MDI child");
        Params.Style = (Params.Style & ~DWORD(WS_POPUP)) | WS_CHILD | WS_CLIPSIBLINGS;
        Params.WndParent = main->ClientHandle();
    }
}

void TForm::SetBorderIcons(TBorderIcons Value) {
    if (Value == FBorderIcons) return;
    FBorderIcons = Value;
    if (!HandleAllocated()) return;
    TCreateParams p;
    CreateParams(p);
    HWND h = Handle();
    const DWORD icons = WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    LONG_PTR style = GetWindowLongPtr(h, GWL_STYLE);
    SetWindowLongPtr(h, GWL_STYLE, (style & ~LONG_PTR(icons)) | LONG_PTR(p.Style & icons));
    SetWindowPos(h, 0, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::SendCancelMode(TControl* Sender) {
    if (ActiveControl) ActiveControl->Perform(CM_CANCELMODE, 0, LPARAM(Sender));
}

bool TForm::IsShortCut(TWMKey& Message) {
    bool handled = false;
    if (OnShortCut) OnShortCut(Message, handled);
    return handled;
}

void TForm::CreateWnd() {
    TWinControl::CreateWnd();
    TIcon* icon = !Icon.Empty() ? &Icon : (Application ? &Application->Icon : nullptr);
    if (icon && !icon->Empty() && !(GetWindowLongPtr(Handle(), GWL_STYLE) & WS_CHILD))
        SendMessage(Handle(), WM_SETICON, ICON_BIG, LPARAM(icon->Handle()));
    if (FFormStyle != fsMDIForm) return;
    TRect r = ClientRect();
    FClientHandle = CreateMDIClient(Handle(), 0, 0, r.Width(), r.Height());
    Realign();
}

void TForm::DestroyWnd() {
    TWinControl::DestroyWnd();
    FClientHandle = 0;
}

void TForm::AlignControls(TControl* AControl, TRect& Rect) {
    TWinControl::AlignControls(AControl, Rect);
    // The client takes what the aligned controls leave.
    if (FClientHandle)
        MoveWindow(FClientHandle, Rect.Left, Rect.Top, std::max(0, Rect.Width()),
                   std::max(0, Rect.Height()), 1);
}

void TForm::SetFormStyle(TFormStyle Value) {
    if (Value == FFormStyle) return;
    const bool stacking = (FFormStyle == fsNormal || FFormStyle == fsStayOnTop) &&
                          (Value == fsNormal || Value == fsStayOnTop);
    FFormStyle = Value;
    if (!HandleAllocated()) return;
    // Staying on top is the window's place in the stack, not a new window.
    if (stacking) {
        SetWindowPos(Handle(), Value == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return;
    }
    DestroyHandle();
    HandleNeeded();
}

HWND TForm::ClientHandle() {
    if (FFormStyle != fsMDIForm) return 0;
    HandleNeeded();
    return FClientHandle;
}

std::vector<TForm*> TForm::MDIChildList() {
    std::vector<TForm*> list;
    if (FFormStyle != fsMDIForm || !ClientHandle()) return list;
    for (HWND h : MDIChildWindows(FClientHandle))
        if (auto* f = dynamic_cast<TForm*>(FindControl(h)); f && f->FormStyle() == fsMDIChild)
            list.push_back(f);
    return list;
}

int TForm::MDIChildCount() {
    return int(MDIChildList().size());
}

TForm* TForm::MDIChildren(int Index) {
    std::vector<TForm*> list = MDIChildList();
    return Index >= 0 && size_t(Index) < list.size() ? list[size_t(Index)] : nullptr;
}

TForm* TForm::ActiveMDIChild() {
    if (FFormStyle != fsMDIForm || !FClientHandle) return nullptr;
    HWND h = HWND(SendMessage(FClientHandle, WM_MDIGETACTIVE, 0, 0));
    return dynamic_cast<TForm*>(FindControl(h));
}

void TForm::Cascade() {
    if (ClientHandle()) SendMessage(FClientHandle, WM_MDICASCADE, 0, 0);
}

void TForm::Tile() {
    if (ClientHandle())
        SendMessage(FClientHandle, WM_MDITILE,
                    TileMode == tbHorizontal ? MDITILE_HORIZONTAL : MDITILE_VERTICAL, 0);
}

void TForm::ArrangeIcons() {
    if (ClientHandle()) SendMessage(FClientHandle, WM_MDIICONARRANGE, 0, 0);
}

void TForm::Next() {
    if (ClientHandle()) SendMessage(FClientHandle, WM_MDINEXT, 0, 0);
}

void TForm::Previous() {
    if (ClientHandle()) SendMessage(FClientHandle, WM_MDINEXT, 0, 1);
}

TWindowState TForm::WindowState() {
    if (!HandleAllocated()) return wsNormal;
    if (IsIconic(Handle())) return wsMinimized;
    if (IsZoomed(Handle())) return wsMaximized;
    return wsNormal;
}

void TForm::SetWindowState(TWindowState Value) {
    HWND h = Handle();
    if (HWND client = MDIClientOf(h)) {
        if (Value == wsMaximized)
            SendMessage(client, WM_MDIMAXIMIZE, WPARAM(h), 0);
        else if (Value == wsMinimized)
            MDIMinimize(client, h);
        else
            SendMessage(client, WM_MDIRESTORE, WPARAM(h), 0);
        return;
    }
    ShowWindow(h, Value == wsMaximized   ? SW_SHOWMAXIMIZED
                  : Value == wsMinimized ? SW_MINIMIZE
                                         : SW_RESTORE);
}

void TForm::SetVisible(bool Value) {
    bool was = FVisible;
    TWinControl::SetVisible(Value);
    if (was == Value) return;
    if (Value && OnShow) OnShow(this);
    if (!Value && OnHide) OnHide(this);
}

bool TForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TForm::DoClose(TCloseAction& Action) {
    if (OnClose) OnClose(this, Action);
}

void TForm::Close() {
    if (FModal) {
        ModalResult = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone) return;
    if (Application->MainForm() == this) {
        Application->Terminate();
    } else if (action == caHide) {
        Hide();
    } else if (action == caMinimize) {
        if (HandleAllocated()) ShowWindow(Handle(), SW_MINIMIZE);
    } else {
        Release();
    }
}

void TForm::Release() {
    PostMessage(Handle(), CM_RELEASE, 0, 0);
}

int TForm::ShowModal() {
    if (Visible() || FModal) throw EInvalidOperation("Cannot make a visible window modal");
    // The window that was active, and its focus, get both back afterwards.
    HWND activeBefore = GetActiveWindow();
    HWND focusBefore = GetFocus();
    // The dialog belongs to that window while it shows: the display keeps it
    // above its owner.
    HWND ownerBefore = HWND(GetWindowLongPtr(Handle(), GWLP_HWNDPARENT));
    bool owned =
        !ownerBefore && activeBefore && activeBefore != Handle() && IsWindowVisible(activeBefore);
    if (owned) SetWindowLongPtr(Handle(), GWLP_HWNDPARENT, LONG_PTR(activeBefore));
    // Every other top-level form is disabled while this one is modal.
    std::vector<TForm*> disabled;
    for (TForm* f : Screen->FForms) {
        if (f != this && f->HandleAllocated() && IsWindowEnabled(f->Handle())) {
            EnableWindow(f->Handle(), 0);
            disabled.push_back(f);
        }
    }
    auto enableOthers = [&] {
        for (TForm* f : disabled)
            if (std::find(Screen->FForms.begin(), Screen->FForms.end(), f) != Screen->FForms.end())
                EnableWindow(f->Handle(), 1);
        disabled.clear();
    };
    FModal = true;
    ModalResult = mrNone;
    try {
        Show();
        for (;;) {
            // Showing may already have run messages that ended the showing
            // (a fade-in loop, say): look before waiting for the next one.
            if (ModalResult == mrNone && !Application->Terminated()) Application->HandleMessage();
            if (Application->Terminated()) ModalResult = mrCancel;
            if (ModalResult == mrNone) continue;
            // Ending a modal showing asks like closing does; caNone keeps it open.
            TCloseAction action = caHide;
            if (CloseQuery())
                DoClose(action);
            else
                action = caNone;
            if (action != caNone || Application->Terminated()) break;
            ModalResult = mrNone;
        }
    } catch (...) {
        FModal = false;
        enableOthers();
        if (owned && HandleAllocated()) SetWindowLongPtr(Handle(), GWLP_HWNDPARENT, 0);
        throw;
    }
    FModal = false;
    // The others take input again before this one goes, so that the
    // activation can return to one of them.
    enableOthers();
    Hide();
    if (owned && HandleAllocated()) SetWindowLongPtr(Handle(), GWLP_HWNDPARENT, 0);
    if (activeBefore && IsWindow(activeBefore) && IsWindowVisible(activeBefore) &&
        IsWindowEnabled(activeBefore)) {
        SetActiveWindow(activeBefore);
        if (focusBefore && IsWindow(focusBefore) && IsWindowVisible(focusBefore) &&
            IsChild(activeBefore, focusBefore))
            ::SetFocus(focusBefore);
    }
    return ModalResult;
}

void TForm::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_CLOSE:
        Close();
        Message.Result = 0;
        return;
    case CM_RELEASE:
        delete this;
        return;
    case WM_ACTIVATE:
        if (LOWORD(Message.WParam) == WA_INACTIVE) {
            if (OnDeactivate) OnDeactivate(this);
        } else {
            if (OnActivate) OnActivate(this);
            // The focus goes back to the control that had it, else the first in tab order.
            HWND focus = GetFocus();
            if (HandleAllocated() && (focus == 0 || focus == Handle())) {
                if (ActiveControl && ActiveControl->CanFocus() && ActiveControl->HandleAllocated())
                    ::SetFocus(ActiveControl->Handle());
                else if (TWinControl* first = FindNextControl(nullptr, true, true, false))
                    ::SetFocus(first->Handle());
            }
        }
        break;
    case WM_SHOWWINDOW:
        // Someone else (another instance, say) showed or hid the window.
        FVisible = Message.WParam != 0;
        if (HWND client = FFormStyle == fsMDIChild ? MDIClientOf(Handle()) : 0) {
            TWinControl::WndProc(Message);
            if (Message.WParam)
                SendMessage(client, WM_MDIACTIVATE, WPARAM(Handle()), 0);
            else
                MDIChildGone(client, Handle());
            return;
        }
        break;
    case WM_DESTROY:
        if (HWND client = FFormStyle == fsMDIChild ? MDIClientOf(Handle()) : 0)
            MDIChildGone(client, Handle());
        break;
    case WM_SIZE:
        // The client follows the form even when no control is aligned.
        if (FClientHandle && ControlCount() == 0) Realign();
        break;
    default:
        break;
    }
    TWinControl::WndProc(Message);
}

// ---------------------------------------------------------------------------

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {}

TApplication::~TApplication() {
    DestroyComponents();
    if (FHandle) DeallocateHWnd(FHandle);
}

void TApplication::Initialize() {
    FTerminated = false;
    Handle();
}

namespace {
constexpr UINT_PTR kHintShowTimer = 1;
constexpr UINT_PTR kHintHideTimer = 2;
} // namespace

HWND TApplication::Handle() {
    if (!FHandle)
        FHandle = AllocateHWnd([this](TMessage& m) {
            // A copy: a hook may unhook itself (or others) while it runs.
            auto hooks = FWindowHooks;
            for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
                if (it->second(m)) return;
            if (m.Msg == WM_TIMER && (m.WParam == kHintShowTimer || m.WParam == kHintHideTimer)) {
                KillTimer(FHandle, m.WParam);
                if (m.WParam == kHintShowTimer) {
                    POINT p{};
                    GetCursorPos(&p);
                    ActivateHint(TPoint{p.x, p.y});
                } else {
                    CancelHint();
                }
                m.Result = 0;
                return;
            }
            m.Result = DefWindowProc(0, m.Msg, m.WParam, m.LParam);
        });
    return FHandle;
}

int TApplication::HookMainWindow(TWindowHook Hook) {
    int id = FNextHookId++;
    FWindowHooks.emplace_back(id, std::move(Hook));
    return id;
}

void TApplication::UnhookMainWindow(int Id) {
    std::erase_if(FWindowHooks, [&](const auto& h) { return h.first == Id; });
}

void TApplication::SetShowHint(bool Value) {
    if (FShowHint == Value) return;
    FShowHint = Value;
    CancelHint();
    if (!Value && FHintWindow) {
        delete FHintWindow;
        FHintWindow = nullptr;
    }
}

void TApplication::HintMouseMessage(TControl* Control) {
    if (Control == FHintControl) return;
    CancelHint();
    FHintControl = Control;
    if (Control && FShowHint && Control->ShowHint && !Control->Hint.empty())
        SetTimer(Handle(), kHintShowTimer, UINT(std::max(1, HintPause)), nullptr);
}

void TApplication::ActivateHint(const TPoint& CursorPos) {
    if (!FShowHint || !FHintControl || FHintControl->Hint.empty()) return;
    std::string text = FHintControl->Hint.substr(0, FHintControl->Hint.find('|'));
    bool canShow = true;
    if (OnShowHint) OnShowHint(text, canShow, FHintControl);
    if (!canShow) return;
    if (!FHintWindow) FHintWindow = HintWindowClass ? HintWindowClass(this) : new THintWindow(this);
    TRect r = FHintWindow->CalcHintRect(300, text, nullptr);
    // Below the pointer, kept on the screen.
    int x = std::clamp(CursorPos.X, 0, std::max(0, Screen->Width() - r.Right));
    int y = CursorPos.Y + 20;
    if (y + r.Bottom > Screen->Height()) y = CursorPos.Y - r.Bottom - 2;
    FHintWindow->ActivateHint(TRect(x, y, x + r.Right, y + r.Bottom), text);
    if (HintHidePause > 0) SetTimer(Handle(), kHintHideTimer, UINT(HintHidePause), nullptr);
}

void TApplication::CancelHint() {
    if (FHandle) {
        KillTimer(FHandle, kHintShowTimer);
        KillTimer(FHandle, kHintHideTimer);
    }
    if (FHintWindow) FHintWindow->ReleaseHandle();
}

void TApplication::CreateForm(const TFormClass& FormClass, TForm** Reference) {
    if (Reference) *Reference = nullptr;
    TForm* form = FormClass.Create(this);
    if (Reference) *Reference = form;
    if (!FMainForm) FMainForm = form;
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FHintWindow) FHintWindow = nullptr;
    if (Operation == opRemove && AComponent == FMainForm) FMainForm = nullptr;
}

void TApplication::Terminate() {
    PostQuitMessage(0);
}

void TApplication::HandleException(const std::exception& E) {
    if (OnException)
        OnException(this, E);
    else
        std::fprintf(stderr, "%s\n", E.what());
}

bool TApplication::ProcessMessage(MSG& Msg) {
    if (!PeekMessage(&Msg, 0, 0, 0, PM_REMOVE)) return false;
    if (Msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    // The characters of a key press that was handled before dispatch are
    // never made (the press was not translated).
    if ((Msg.message == WM_CHAR || Msg.message == WM_SYSCHAR) && FDropCharsOf &&
        Msg.hwnd == FDropCharsOf)
        return true;
    bool handled = false;
    // A hook may remove itself or others while it runs: walk the handles.
    std::vector<int> hooks;
    for (auto it = FMessageHooks.rbegin(); it != FMessageHooks.rend(); ++it)
        hooks.push_back(it->first);
    for (int id : hooks) {
        if (handled) break;
        auto it = std::find_if(FMessageHooks.begin(), FMessageHooks.end(),
                               [id](const auto& h) { return h.first == id; });
        if (it == FMessageHooks.end()) continue;
        TMessageHook hook = it->second; // the hook may free its own slot
        hook(Msg, handled);
    }
    if (!handled && OnMessage) OnMessage(Msg, handled);
    if (!handled) handled = IsShortCutMessage(Msg);
    if (Msg.message == WM_KEYDOWN || Msg.message == WM_SYSKEYDOWN)
        FDropCharsOf = handled ? Msg.hwnd : 0;
    if (!handled) CancelModeForPress(Msg);
    if (!handled) {
        TranslateMessage(&Msg);
        DispatchMessage(&Msg);
    }
    return true;
}

int TApplication::AddMessageHook(TMessageHook Hook) {
    int id = FNextMessageHook++;
    FMessageHooks.emplace_back(id, std::move(Hook));
    return id;
}

void TApplication::RemoveMessageHook(int Handle) {
    std::erase_if(FMessageHooks, [Handle](const auto& h) { return h.first == Handle; });
}

bool TApplication::IsShortCutMessage(MSG& Msg) {
    if (Msg.message != WM_KEYDOWN && Msg.message != WM_SYSKEYDOWN) return false;
    TWinControl* control = TWinControl::FindControl(Msg.hwnd);
    TForm* form = control ? control->GetParentForm() : nullptr;
    if (!form || !form->Enabled()) return false;
    TWMKey key;
    key.Msg = Msg.message;
    key.CharCode = WORD(Msg.wParam);
    key.KeyData = Msg.lParam;
    return form->IsShortCut(key);
}

void TApplication::CancelModeForPress(const MSG& Msg) {
    switch (Msg.message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        break;
    default:
        return;
    }
    TWinControl* control = TWinControl::FindControl(Msg.hwnd);
    if (TForm* form = control ? control->GetParentForm() : nullptr) form->SendCancelMode(control);
}

void TApplication::ProcessMessages() {
    MSG msg;
    try {
        while (ProcessMessage(msg)) {
        }
    } catch (const std::exception& e) {
        HandleException(e);
    }
}

void TApplication::HandleMessage() {
    MSG msg;
    try {
        if (!ProcessMessage(msg)) {
            // Idle: synchronised calls run inside the queue's loop functions,
            // so waiting for the next message is all that is left.
            CheckSynchronize();
            WaitMessage();
        }
    } catch (const std::exception& e) {
        HandleException(e);
    }
}

void TApplication::Run() {
    if (!FMainForm) return;
    if (ShowMainForm) FMainForm->Show();
    while (!FTerminated)
        HandleMessage();
}

// ---------------------------------------------------------------------------

TForm* TScreen::ActiveForm() const {
    HWND active = GetActiveWindow();
    for (TForm* f : FForms)
        if (f->HandleAllocated() && f->Handle() == active) return f;
    return nullptr;
}

int TScreen::Width() const {
    return display::Current().ScreenSize().cx;
}
int TScreen::Height() const {
    return display::Current().ScreenSize().cy;
}
