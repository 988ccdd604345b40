#include "skin/forms/spTrayIcon.h"

#include <algorithm>

#include "classlib/typinfo.h"
#include "platform/os/codepage.h"
#include "platform/win/input.h"
#include "platform/win/messages.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"
#include "skin/forms/SkinMenus.h"

namespace {

// The tool tip is a text of the form.
struct TTrayIconRegistration {
    TTrayIconRegistration() {
        RegisterPublished<TspTrayIcon, TComponent>({TextProp(
            "Hint", "string", [](TObject* o) { return static_cast<TspTrayIcon*>(o)->Hint(); },
            [](TObject* o, const std::string& v) { static_cast<TspTrayIcon*>(o)->SetHint(v); })});
    }
} g_trayIconRegistration;

} // namespace

namespace {

constexpr UINT kIconId = 1;
constexpr UINT kFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
constexpr UINT kBalloonClicked = 0x405;
constexpr UINT WM_USERCHANGED_MSG = 0x0054;
constexpr UINT WM_QUIT_MSG = 0x0012;
constexpr UINT kAddIconMessage = 0xC060;
constexpr WPARAM kSizeMinimized = 1;
constexpr WPARAM kWaActive = 1, kWaClickActive = 2;

std::u16string U16(const std::string& s) {
    return Utf8ToUtf16(s);
}

// The first at most Max UTF-16 units of S, not splitting a surrogate pair.
std::u16string CutUnits(const std::u16string& S, size_t Max) {
    if (S.size() <= Max) return S;
    size_t n = Max;
    if (n > 0 && S[n - 1] >= 0xD800 && S[n - 1] <= 0xDBFF) --n;
    return S.substr(0, n);
}

} // namespace

TspTrayIcon::TspTrayIcon(TComponent* AOwner)
    : TComponent(AOwner), FIcon(std::make_unique<TIcon>()) {
    FTaskbarCreated = RegisterWindowMessage("TaskbarCreated");
    FCallbackWnd = AllocateHWnd([this](TMessage& M) { HandleIconMessage(M); });
    IconData.hWnd = FCallbackWnd;
    IconData.uID = kIconId;
    IconData.uFlags = kFlags;
    IconData.uCallbackMessage = WM_TRAYNOTIFY;
    AnimateTimer = std::make_unique<TTimer>(nullptr);
    AnimateTimer->SetEnabled(false);
    AnimateTimer->SetInterval(FAnimateTimerInterval);
    AnimateTimer->SetOnTimer([this](TObject*) { CycleTimerProc(); });
    ClickTimer = std::make_unique<TTimer>(nullptr);
    ClickTimer->SetEnabled(false);
    ClickTimer->SetInterval(GetDoubleClickTime());
    ClickTimer->SetOnTimer([this](TObject*) { ClickTimerProc(); });
    if (HasState(csDesigning)) return;
    if (Application) {
        FAppHookId = Application->HookMainWindow([this](TMessage& M) {
            ApplicationWndProc(M);
            return false;
        });
    }
    if (TWinControl* owner = OwnerControl()) {
        auto alive = std::make_shared<bool>(true);
        FOwnerAlive = alive;
        TWndMethod old = owner->WindowProc;
        owner->WindowProc = [this, alive, old](TMessage& M) {
            if (*alive) OwnerWndProc(M);
            if (old) old(M);
        };
    }
}

TspTrayIcon::~TspTrayIcon() {
    SetIconVisible(false);
    SetDesignPreview(false);
    AnimateTimer.reset();
    ClickTimer.reset();
    if (FCallbackWnd) DeallocateHWnd(FCallbackWnd);
    FCallbackWnd = 0;
    if (FAppHookId && Application) Application->UnhookMainWindow(FAppHookId);
    // The owner's procedure may have been wrapped again since: ours steps aside.
    if (FOwnerAlive) *FOwnerAlive = false;
    FIcon.reset();
}

TWinControl* TspTrayIcon::OwnerControl() const {
    return dynamic_cast<TWinControl*>(Owner());
}

void TspTrayIcon::Loaded() {
    TComponent::Loaded();
    if (OwnerControl() && MinimizedOnStart && !HasState(csDesigning)) {
        FIconVisible = true;
        MinimizeToTray = true;
        if (Application) {
            Application->ShowMainForm = false;
            ShowWindow(Application->Handle(), SW_HIDE);
        }
    }
    ModifyIcon();
    SetIconVisible(FIconVisible);
}

void TspTrayIcon::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FIconList) FIconList = nullptr;
    if (AComponent == reinterpret_cast<TComponent*>(FPopupMenu)) FPopupMenu = nullptr;
}

bool TspTrayIcon::InitIconData() {
    if (HasState(csDesigning) && !FDesignPreview && !SettingPreview) return false;
    if (FIcon->Empty() && UseApplicationIcon() && Application && !Application->Icon.Empty())
        FIcon->Assign(&Application->Icon);
    IconData.hIcon = FIcon->Handle();
    if (!FHint.empty() && FShowHint)
        IconData.szTip = CutUnits(U16(FHint), 127);
    else
        IconData.szTip.clear();
    return true;
}

bool TspTrayIcon::AddIcon() {
    if (!SettingPreview) FIconVisible = true;
    bool designing = HasState(csDesigning);
    if ((!designing || SettingPreview) && InitIconData())
        return Shell_NotifyIconW(NIM_ADD, &IconData) != 0;
    return false;
}

bool TspTrayIcon::RemoveIcon() {
    if (!SettingPreview) FIconVisible = false;
    bool designing = HasState(csDesigning);
    if ((!designing || SettingPreview) && InitIconData())
        return Shell_NotifyIconW(NIM_DELETE, &IconData) != 0;
    return false;
}

bool TspTrayIcon::ModifyIcon() {
    if (!InitIconData()) return false;
    return Shell_NotifyIconW(NIM_MODIFY, &IconData) != 0;
}

void TspTrayIcon::ShowMainForm() {
    if (!OwnerControl() || !Application || !Application->MainForm()) return;
    ShowWindow(Application->Handle(), SW_RESTORE);
    TForm* f = Application->MainForm();
    f->SetVisible(true);
    if (f->HandleAllocated() && IsIconic(f->Handle())) ShowWindow(f->Handle(), SW_RESTORE);
}

void TspTrayIcon::HideMainForm() {
    if (!OwnerControl() || !Application || !Application->MainForm()) return;
    Application->MainForm()->SetVisible(false);
    ShowWindow(Application->Handle(), SW_HIDE);
}

bool TspTrayIcon::ShowBalloonHint(const std::string& Title, const std::string& Text,
                                  TspBalloonHintIcon IconType) {
    HideBalloonHint();
    IconData.uFlags |= NIF_INFO;
    IconData.szInfo = CutUnits(U16(Text), 255);
    IconData.szInfoTitle = CutUnits(U16(Title), 63);
    IconData.dwInfoFlags = DWORD(IconType);
    bool r = ModifyIcon();
    IconData.uFlags = kFlags;
    return r;
}

bool TspTrayIcon::HideBalloonHint() {
    IconData.uFlags |= NIF_INFO;
    IconData.szInfo.clear();
    bool r = ModifyIcon();
    IconData.uFlags = kFlags;
    return r;
}

bool TspTrayIcon::BitmapToIcon(TBitmap* Bitmap, TIcon* Icon, TColor MaskColor) {
    TImageList list(nullptr);
    list.SetWidth(16);
    list.SetHeight(16);
    list.AddMasked(Bitmap, MaskColor);
    TBitmap first;
    if (!list.GetBitmap(0, &first)) return false;
    Icon->AssignBitmap(&first, MaskColor);
    return true;
}

void TspTrayIcon::SetDesignPreview(bool Value) {
    FDesignPreview = Value;
    SettingPreview = true;
    SetIconVisible(Value);
    SettingPreview = false;
}

void TspTrayIcon::SetIconList(TImageList* Value) {
    if (FIconList) RemoveFreeNotification(FIconList);
    FIconList = Value;
    if (FIconList) FreeNotification(FIconList);
    SetIconIndex(0);
}

void TspTrayIcon::SetCycleIcons(bool Value) {
    FCycleIcons = Value;
    if (Value) SetIconIndex(0);
    AnimateTimer->SetEnabled(Value);
}

void TspTrayIcon::SetAnimateTimerInterval(unsigned Value) {
    FAnimateTimerInterval = Value;
    AnimateTimer->SetInterval(Value);
}

void TspTrayIcon::SetHint(const std::string& Value) {
    FHint = Value;
    ModifyIcon();
}

void TspTrayIcon::SetShowHint(bool Value) {
    FShowHint = Value;
    ModifyIcon();
}

void TspTrayIcon::SetIcon(TIcon* Value) {
    FIcon->Assign(Value);
    ModifyIcon();
}

void TspTrayIcon::SetIconVisible(bool Value) {
    if (Value)
        AddIcon();
    else
        RemoveIcon();
}

void TspTrayIcon::SetIconIndex(int Value) {
    if (FIconList) {
        FIconIndex = Value;
        if (FIconIndex >= FIconList->Count()) FIconIndex = FIconList->Count() - 1;
        if (FIconIndex >= 0) CopyListIcon(FIconIndex);
    } else {
        FIconIndex = 0;
    }
    ModifyIcon();
}

void TspTrayIcon::CopyListIcon(int Index) {
    // Drawn over a key colour, so the list's mask becomes the icon's clear pixels.
    constexpr TColor kKey = TColor(0xFF00FE);
    TBitmap b(FIconList->Width(), FIconList->Height());
    b.Canvas()->Brush()->SetColor(kKey);
    b.Canvas()->FillRect(TRect(0, 0, b.Width(), b.Height()));
    FIconList->Draw(b.Canvas(), 0, 0, Index, true);
    FIcon->AssignBitmap(&b, kKey);
}

void TspTrayIcon::SetPopupMenu(TspSkinPopupMenu* Value) {
    if (FPopupMenu) RemoveFreeNotification(FPopupMenu);
    FPopupMenu = Value;
    if (FPopupMenu) FreeNotification(FPopupMenu);
}

void TspTrayIcon::DoClick() {
    if (OnClick) OnClick(this);
}
void TspTrayIcon::DoDblClick() {
    if (OnDblClick) OnDblClick(this);
}
void TspTrayIcon::DoCycle(int NextIndex) {
    if (OnCycle) OnCycle(this, NextIndex);
}
void TspTrayIcon::DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}
void TspTrayIcon::DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}
void TspTrayIcon::DoMouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TspTrayIcon::DoMinimizeToTray() {
    HideMainForm();
    SetIconVisible(true);
}

void TspTrayIcon::HandleIconMessage(TMessage& Msg) {
    if (Msg.Msg == WM_TRAYNOTIFY) {
        Msg.Result = 0;
        if (!Enabled) return;
        TShiftState shift = KeyboardShiftState();
        POINT p{};
        GetCursorPos(&p);
        switch (UINT(Msg.LParam)) {
        case WM_MOUSEMOVE:
            DoMouseMove(shift, p.x, p.y);
            break;
        case WM_LBUTTONDOWN:
            // The desktop's time, which the display reports once it has a tray.
            ClickTimer->SetInterval(GetDoubleClickTime());
            ClickTimer->SetEnabled(true);
            DoMouseDown(mbLeft, shift | ssLeft, p.x, p.y);
            FClickStart = true;
            if (PopupByLeftButton) PopupAtCursor();
            break;
        case WM_LBUTTONUP:
            if (FClickStart) FClickReady = true;
            if (FClickStart && !ClickTimer->Enabled()) {
                FClickStart = FClickReady = false;
                DoClick();
            }
            FClickStart = false;
            DoMouseUp(mbLeft, shift | ssLeft, p.x, p.y);
            break;
        case WM_LBUTTONDBLCLK:
            FClickReady = false;
            IsDblClick = true;
            DoDblClick();
            if (FPopupMenu && FPopupMenu->AutoPopup && !PopupByLeftButton) {
                TMenuItem* items = FPopupMenu->Items();
                for (int i = 0; i < items->Count(); ++i)
                    if (items->Items(i)->Default) {
                        items->Items(i)->Click();
                        break;
                    }
            }
            break;
        case WM_RBUTTONDOWN:
            DoMouseDown(mbRight, shift | ssRight, p.x, p.y);
            PopupAtCursor();
            break;
        case WM_RBUTTONUP:
            DoMouseUp(mbRight, shift | ssRight, p.x, p.y);
            break;
        case WM_MBUTTONDOWN:
            DoMouseDown(mbMiddle, shift | ssMiddle, p.x, p.y);
            break;
        case WM_MBUTTONUP:
            DoMouseUp(mbMiddle, shift | ssMiddle, p.x, p.y);
            break;
        case kBalloonClicked:
            if (OnBalloonHintClick) OnBalloonHintClick(this);
            break;
        default:
            break;
        }
        return;
    }
    switch (Msg.Msg) {
    case WM_DESTROY:
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
    case WM_QUIT_MSG:
    case WM_USERCHANGED_MSG:
    case WM_NCDESTROY:
        Msg.Result = 1;
        return;
    default:
        Msg.Result = DefWindowProc(FCallbackWnd, Msg.Msg, Msg.WParam, Msg.LParam);
    }
}

void TspTrayIcon::ClickTimerProc() {
    ClickTimer->SetEnabled(false);
    if (!IsDblClick && FClickReady) {
        FClickReady = false;
        DoClick();
    }
    IsDblClick = false;
}

void TspTrayIcon::PopupAtCursor() {
    if (!FPopupMenu || !FPopupMenu->AutoPopup) return;
    POINT p{};
    if (!GetCursorPos(&p)) return;
    if (Application) Application->ProcessMessages();
    // The menu may have gone while messages were handled.
    if (!FPopupMenu) return;
    SetForegroundWindow(FCallbackWnd);
    TWinControl* owner = OwnerControl();
    if (owner && owner->HandleAllocated()) SetForegroundWindow(owner->Handle());
    // The activation settles first, or it would close the menu it opened for.
    if (Application) Application->ProcessMessages();
    if (!FPopupMenu) return;
    FPopupMenu->PopupComponent = this;
    FPopupMenu->Popup(p.x, p.y);
    if (owner && owner->HandleAllocated()) PostMessage(owner->Handle(), WM_NULL, 0, 0);
}

bool TspTrayIcon::ApplicationWndProc(TMessage& Msg) {
    if (Msg.Msg == WM_SIZE && Msg.WParam == kSizeMinimized && MinimizeToTray) DoMinimizeToTray();
    if (Msg.Msg == WM_WINDOWPOSCHANGED && SettingMDIForm && Application && Application->MainForm())
        SettingMDIForm = false;
    if (Msg.Msg == FTaskbarCreated && FIconVisible) AddIcon();
    return false;
}

void TspTrayIcon::OwnerWndProc(TMessage& Msg) {
    // Coming back to the front, the form gives the focus back to its control
    // (unless the activation came from that control's own window).
    if (Msg.Msg == WM_ACTIVATE &&
        (LOWORD(Msg.WParam) == WA_ACTIVE || LOWORD(Msg.WParam) == WA_CLICKACTIVE))
        if (auto* form = dynamic_cast<TForm*>(OwnerControl()))
            if (TWinControl* c = form->ActiveControl; c && c->HandleAllocated()) {
                TWinControl* p = c->Parent() ? c->Parent() : c;
                HWND from = HWND(Msg.LParam);
                if (!(p->HandleAllocated() && from == p->Handle())) ::SetFocus(c->Handle());
            }
    if (Msg.Msg == WM_SHOWWINDOW && Msg.WParam == 1 && Msg.LParam == 0 && Application) {
        ShowWindow(Application->Handle(), SW_RESTORE);
        SetForegroundWindow(Application->Handle());
        if (TWinControl* owner = OwnerControl(); owner && owner->HandleAllocated())
            SetForegroundWindow(owner->Handle());
    }
    if (Msg.Msg == kAddIconMessage && Enabled) AddIcon();
}

void TspTrayIcon::CycleTimerProc() {
    if (!FIconList) return;
    int count = FIconList->Count();
    if (FIconIndex >= 0 && FIconIndex < count) CopyListIcon(FIconIndex);
    DoCycle(FIconIndex < count ? FIconIndex + 1 : 0);
    ModifyIcon();
    FIconIndex = FIconIndex + 1 < count ? FIconIndex + 1 : 0;
}
