// The skinned form component: construction, properties, skin binding, its
// menus (system menu, popups, tray, keyboard walk of the main menu), the
// skin-change walks and the client inactive panel. Shared helpers come from
// SkinnedFormInternal.h; the menu windows from SkinMenus.h.
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/SkinnedFormInternal.h"

#include <algorithm>

#include "classlib/sysutils.h"
#include "platform/gdi/gdi.h"
#include "platform/win/input.h"
#include "platform/win/layered.h"
#include "platform/win/messages.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/region.h"
#include "platform/win/timers.h"
#include "platform/win/window.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/engine/SPUtils.h"
#include "skin/engine/speffbmp.h"
#include "skin/forms/SkinHint.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/spTrayIcon.h"

using namespace skinned_form_internal;

namespace {

// F4: Alt+F4 closes a window, Ctrl+F4 an MDI child.
constexpr WORD kVkF4 = 0x73;

} // namespace

// ---- Component ----------------------------------------------------------------------------------

TspSkinnedForm::TspSkinnedForm(TComponent* AOwner) : TComponent(AOwner) {
    FForm = dynamic_cast<TForm*>(AOwner);
    if (!FForm) throw EInvalidCast("Invalid class typecast");
    FLogoBitMap = std::make_unique<TBitmap>();
    FDefCaptionFont = std::make_unique<TFont>();
    FDefCaptionFont->SetName("Arial");
    FDefCaptionFont->SetHeight(14);
    FDefCaptionFont->SetStyle(TFontStyles{fsBold});
    FDefCaptionFont->SetColor(clBtnText);
    FDefInActiveCaptionFont = std::make_unique<TFont>();
    FDefInActiveCaptionFont->Assign(FDefCaptionFont.get());
    FDefInActiveCaptionFont->SetColor(clBtnShadow);
    RMTop = std::make_unique<TBitmap>();
    RMBottom = std::make_unique<TBitmap>();
    RMLeft = std::make_unique<TBitmap>();
    RMRight = std::make_unique<TBitmap>();
    FMouseTimer = StoppedTimer(50, [this] { MouseTimerProc(); });
    FMorphTimer = StoppedTimer(25, [this] { MorphTimerProc(); });
    FAnimateTimer = StoppedTimer(25, [this] { AnimateTimerProc(); });
    FLayerManager = std::make_unique<TspLayerManager>(nullptr);
    FMenuLayerManager = std::make_unique<TspLayerManager>(nullptr);

    FSysMenu = std::make_unique<TPopupMenu>(nullptr);
    FSkinMenu = std::make_unique<TspSkinMenu>(nullptr, FForm);
    FFormLayerBorder = std::make_unique<TspFormLayerBorder>(this);
    MenuPresenter = [this](TMenuItem* Items, TRect R, bool PopupUp) {
        TspSkinData* sd = FMSD ? FMSD : FSD;
        // A skinned main menu's items take that menu's skin.
        if (auto* mm = dynamic_cast<TspSkinMainMenu*>(Items->GetParentMenu()); mm && mm->SkinData())
            sd = mm->SkinData();
        FSkinMenu->Popup(nullptr, sd, 0, R, Items, PopupUp);
    };
    // The frame draws its own buttons; keys go through the form's short cuts.
    FForm->SetBorderIcons(0);
    FForm->OnShortCut = [this](TWMKey& Msg, bool& Handled) { FormShortCut(Msg, Handled); };
    FSysTrayMenu = std::make_unique<TspSkinPopupMenu>(nullptr);
    FSysTrayMenu->FComponentForm = FForm;
    auto* items = FSysTrayMenu->Items();
    items->Add(NewSysItem(FSysTrayMenu.get(), "TRAY_DSF_RESTORE", nullptr, "&Restore",
                          [this] { RestoreFromTray(); }));
    auto* line = new TMenuItem(FSysTrayMenu.get());
    line->Caption = "-";
    items->Add(line);
    items->Add(NewSysItem(FSysTrayMenu.get(), "TRAY_DSF_CLOSE", nullptr, "&Close",
                          [this] { FForm->Close(); }));
    items->Items(items->Count() - 1)->ShortCut = CloseShortCut();

    if (!HasState(csDesigning)) {
        OldWindowProc = FForm->WindowProc;
        FForm->WindowProc = [this](TMessage& M) { FormWndProc(M); };
        if (FForm->HandleAllocated())
            SetWindowPos(FForm->Handle(), 0, 0, 0, 0, 0,
                         SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER |
                             SWP_NOACTIVATE);
    }
}

TspSkinnedForm::~TspSkinnedForm() {
    *FAlive = false;
    // The application must not keep a handler of a component that is gone.
    UnHookApp();
    // The client window must not call into a component that is gone.
    UnHookMDIClient();
    FSkinMenu.reset();
    FFormLayerBorder.reset();
    ClearObjects();
    FInActivePanel.reset();
    if (!HasState(csDesigning) && OldWindowProc) FForm->WindowProc = OldWindowProc;
    FForm->OnShortCut = nullptr; // it calls into this component
    if (FForm->HandleAllocated()) {
        HWND h = FForm->Handle();
        KillTimer(h, kShowTimerId);
        // A fade cut short must not leave the window see-through.
        if (!FAlphaBlend && (GetWindowLongPtr(h, GWL_EXSTYLE) & WS_EX_LAYERED))
            SetWindowLongPtr(h, GWL_EXSTYLE,
                             GetWindowLongPtr(h, GWL_EXSTYLE) & ~LONG_PTR(WS_EX_LAYERED));
        if (FRgn) SetWindowRgn(h, nullptr, 0);
    }
}

void TspSkinnedForm::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FSD) FSD = nullptr;
    if (AComponent == FMSD) FMSD = nullptr;
    if (AComponent == FMainMenu) {
        FMainMenu = nullptr;
        UpdateMainMenu(false); // the frame items point into that menu
    }
    if (AComponent == FSystemMenu) FSystemMenu = nullptr;
    // A control may be half destroyed here: compare addresses only.
    auto same = [AComponent](TControl* c) { return static_cast<TComponent*>(c) == AComponent; };
    AreaList.erase(std::remove_if(AreaList.begin(), AreaList.end(),
                                  [&](const TspAreaLink& l) { return same(l.Control); }),
                   AreaList.end());
    VisibleControls.erase(std::remove_if(VisibleControls.begin(), VisibleControls.end(), same),
                          VisibleControls.end());
    if (AComponent == FTrayIcon) FTrayIcon = nullptr;
    if (AComponent == FMainMenuBar) FMainMenuBar = nullptr;
    if (AComponent == FMDITabsBar) FMDITabsBar = nullptr;
    if (AComponent == FSkinHint) FSkinHint = nullptr;
    if (static_cast<TComponent*>(FStatusBar) == AComponent) FStatusBar = nullptr;
}

void TspSkinnedForm::SetSkinHint(TspSkinHint* Value) {
    if (FSkinHint) RemoveFreeNotification(FSkinHint);
    FSkinHint = Value;
    if (Value) Value->FreeNotification(this);
}

void TspSkinnedForm::SetStatusBar(TspSkinStatusBar* Value) {
    if (FStatusBar) RemoveFreeNotification(FStatusBar);
    FStatusBar = Value;
    if (Value) Value->FreeNotification(this);
}

int TspSkinnedForm::MaxMenuItemsInWindow() const {
    return FMaxMenuItemsInWindow;
}

void TspSkinnedForm::SetMaxMenuItemsInWindow(int Value) {
    if (Value < 0) return;
    FMaxMenuItemsInWindow = Value;
    FSkinMenu->MaxMenuItemsInWindow = Value;
}

bool TspSkinnedForm::UseSkinFontInMenu() const {
    return FSkinMenu->FUseSkinFont;
}

void TspSkinnedForm::SetUseSkinFontInMenu(bool Value) {
    FSkinMenu->FUseSkinFont = Value;
}

int TspSkinnedForm::DefMenuItemHeight() const {
    return FSkinMenu->FDefaultMenuItemHeight;
}

void TspSkinnedForm::SetDefMenuItemHeight(int Value) {
    if (Value > 0) FSkinMenu->FDefaultMenuItemHeight = Value;
}

TFont* TspSkinnedForm::DefMenuItemFont() const {
    return FSkinMenu->FDefaultMenuItemFont.get();
}

void TspSkinnedForm::SetDefMenuItemFont(TFont* Value) {
    FSkinMenu->SetDefaultItemFont(Value);
}

bool TspSkinnedForm::MenusAlphaBlend() const {
    return FSkinMenu->AlphaBlend;
}

void TspSkinnedForm::SetMenusAlphaBlend(bool Value) {
    FSkinMenu->AlphaBlend = Value;
}

bool TspSkinnedForm::MenusAlphaBlendAnimation() const {
    return FSkinMenu->AlphaBlendAnimation;
}

void TspSkinnedForm::SetMenusAlphaBlendAnimation(bool Value) {
    FSkinMenu->AlphaBlendAnimation = Value;
}

uint8_t TspSkinnedForm::MenusAlphaBlendValue() const {
    return FSkinMenu->AlphaBlendValue;
}

void TspSkinnedForm::SetMenusAlphaBlendValue(uint8_t Value) {
    FSkinMenu->AlphaBlendValue = Value;
}

void TspSkinnedForm::SetUseRibbon(bool Value) {
    FUseRibbon = Value;
    if (Value && !HasState(csDesigning)) SetSkinnableForm(false);
}

void TspSkinnedForm::SetSupportNCArea(bool Value) {
    FSupportNCArea = Value;
    if (!Value && HasState(csDesigning)) FForm->BorderStyle = bsNone;
}

void TspSkinnedForm::SetLogoBitMap(TBitmap* Value) {
    FLogoBitMap->Assign(Value);
}

void TspSkinnedForm::SetShowIcon(bool Value) {
    FShowIcon = Value;
    if (FForm->HandleAllocated()) SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
}

void TspSkinnedForm::SetDefCaptionFont(TFont* Value) {
    FDefCaptionFont->Assign(Value);
    if (!FSkinSupport && FForm->HandleAllocated()) SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
}

void TspSkinnedForm::SetDefInActiveCaptionFont(TFont* Value) {
    FDefInActiveCaptionFont->Assign(Value);
    if (!FSkinSupport && FForm->HandleAllocated()) SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
}

void TspSkinnedForm::ApplyLayered() {
    if (!FForm->HandleAllocated()) return;
    HWND h = FForm->Handle();
    LONG_PTR ex = GetWindowLongPtr(h, GWL_EXSTYLE);
    if (FAlphaBlend) {
        SetWindowLongPtr(h, GWL_EXSTYLE, ex | WS_EX_LAYERED);
        SetLayeredWindowAttributes(h, 0, FAlphaBlendValue, LWA_ALPHA);
    } else {
        SetWindowLongPtr(h, GWL_EXSTYLE, ex & ~LONG_PTR(WS_EX_LAYERED));
    }
}

void TspSkinnedForm::SetAlphaBlend(bool Value) {
    if (Value == FAlphaBlend) return;
    FAlphaBlend = Value;
    if (ComponentState() == 0) ApplyLayered();
}

void TspSkinnedForm::SetAlphaBlendValue(uint8_t Value) {
    if (Value == FAlphaBlendValue) return;
    FAlphaBlendValue = Value;
    if (FAlphaBlend && ComponentState() == 0 && FForm->HandleAllocated())
        SetLayeredWindowAttributes(FForm->Handle(), 0, Value, LWA_ALPHA);
}

void TspSkinnedForm::SetMainMenu(TMainMenu* Value) {
    FMainMenu = Value;
    if (Value) Value->FreeNotification(this);
    if (FSkinSupport && !HasState(csDesigning)) UpdateMainMenu(true);
}

void TspSkinnedForm::SetSystemMenu(TPopupMenu* Value) {
    FSystemMenu = Value;
    if (Value) Value->FreeNotification(this);
}

void TspSkinnedForm::SetMenusSkinData(TspSkinData* Value) {
    FMSD = Value;
    if (Value) Value->FreeNotification(this);
}

void TspSkinnedForm::SetBorderIcons(TspBorderIcons Value) {
    FBorderIcons = Value;
    if (FSupportNCArea || FSkinSupport) {
        if (!HasState(csDesigning) && !HasState(csLoading)) {
            CheckObjects();
            if (FForm->HandleAllocated()) SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
        }
    } else if (HideCaptionButtons) {
        CheckObjects();
    }
}

bool TspSkinnedForm::IsSizeAble() const {
    return Sizeable || FForm->BorderStyle == bsSizeable || FForm->BorderStyle == bsSizeToolWin;
}

bool TspSkinnedForm::GetFormActive() const {
    // An MDI child is never the active window: its frame follows the
    // activation messages it gets.
    if (IsMDIChild() || IsMDIForm()) return FFormActive;
    if (!FForm->HandleAllocated()) return false;
    return GetActiveWindow() == const_cast<TForm*>(FForm)->Handle();
}

void TspSkinnedForm::SetFormBorderStyle(TFormBorderStyle BS) {
    FForm->BorderStyle = BS;
    DoChangeSkinData(nullptr, FForm);
}

void TspSkinnedForm::SetFormStyle(TFormStyle FS) {
    if (FS != fsNormal && FS != fsStayOnTop) return;
    FForm->SetFormStyle(FS);
    if (FAlphaBlend) DoChangeSkinData(nullptr, FForm);
    // The border strips stay above or below with their form.
    if (LayerBorderUsed() && FFormLayerBorder->FVisible) FFormLayerBorder->ShowWithForm();
}

HWND TspSkinnedForm::GetTopMostFormHandle() {
    if (!Screen) return 0;
    for (int i = 0; i < Screen->FormCount(); ++i) {
        TForm* f = Screen->Forms(i);
        if (f->FormStyle() == fsStayOnTop && f->Visible() && f->HandleAllocated())
            return f->Handle();
    }
    return 0;
}

void TspSkinnedForm::SetFormBorderIcons() {
    TBorderIcons icons = 0;
    if (!HideCaptionButtons && !FSkinnableForm) {
        icons = TFormBorderIcon::biSystemMenu;
        if (FBorderIcons & biMaximize) icons |= TFormBorderIcon::biMaximize;
        if (FBorderIcons & biMinimize) icons |= TFormBorderIcon::biMinimize;
    }
    FForm->SetBorderIcons(icons);
}

TShortCut TspSkinnedForm::CloseShortCut() const {
    return IsMDIChild() ? TShortCut(scCtrl | kVkF4) : TShortCut(scAlt | kVkF4);
}

void TspSkinnedForm::FormShortCut(TWMKey& Msg, bool& Handled) {
    if (OnShortCut) {
        OnShortCut(Msg, Handled);
        if (Handled) return;
    }
    TShiftState shift = KeyboardShiftState();
    if ((shift & (ssShift | ssAlt | ssCtrl)) == ssAlt && Msg.CharCode == VK_SPACE) {
        PopupSystemMenuFromButton();
        FInShortCut = false;
        Handled = true;
        return;
    }
    if (FInShortCut) {
        FInShortCut = false;
        Handled = false;
    }
    TShortCut sc = ShortCut(Msg.CharCode, shift);
    auto tryMenu = [&](TMenu* Menu, bool Bar) {
        if ((shift & ssAlt) && Msg.CharCode != kVkF4 &&
            (Bar ? FMainMenuBar->CheckMainMenuAccel(Msg.CharCode)
                 : CheckMainMenuAccel(Msg.CharCode))) {
            Handled = true;
            return;
        }
        Handled = FInShortCut = Menu->IsShortCut(sc);
    };
    TMenu* menu = FMainMenuBar && FMainMenuBar->MainMenu() ? FMainMenuBar->MainMenu() : FMainMenu;
    if (menu) tryMenu(menu, FMainMenuBar && FMainMenuBar->MainMenu());
    if (!FInShortCut && FMainMenuBar && FMainMenuBar->ChildMenusMerge())
        if (TMainMenu* child = FMainMenuBar->GetChildMainMenu()) tryMenu(child, true);
}

TPoint TspSkinnedForm::GetPositionInMonitor(int AX, int AY, int AW, int AH) const {
    if (PositionInMonitor == sppDefault) return TPoint(AX, AY);
    TRect area;
    GetMonitorArea(FForm->HandleAllocated() ? const_cast<TForm*>(FForm)->Handle() : 0,
                   PositionInMonitor == sppDesktopCenter, area);
    return TPoint(area.Left + area.Width() / 2 - AW / 2, area.Top + area.Height() / 2 - AH / 2);
}

void TspSkinnedForm::ApplyPositionInMonitor() {
    if (PositionInMonitor == sppDefault) return;
    TPoint p = GetPositionInMonitor(FForm->Left(), FForm->Top(), FForm->Width(), FForm->Height());
    FForm->SetBounds(p.X, p.Y, FForm->Width(), FForm->Height());
}

int TspSkinnedForm::DefCaptionHeight() const {
    return FForm->BorderStyle == bsToolWindow || FForm->BorderStyle == bsSizeToolWin ? 15 : 19;
}

bool TspSkinnedForm::Framed() const {
    return FForm->BorderStyle != bsNone && !(IsMDIChild() && FWindowState == wsMaximized);
}

// ---- Skin binding ------------------------------------------------------------------------------

void TspSkinnedForm::SetSkinData(TspSkinData* Value) {
    FSD = Value;
    if (Value) {
        Value->FreeNotification(this);
        FSkinnableForm = Value->SkinnableForm();
    }
    if (!HasState(csDesigning)) ApplySkinData();
}

void TspSkinnedForm::SetSkinnableForm(bool Value) {
    FFormActive = GetFormActive();
    if (HasState(csDesigning)) return;
    bool remax = false;
    bool shown = FForm->Visible();
    if (FWindowState == wsMaximized && FSkinnableForm) {
        if (shown) FForm->Hide();
        SetWindowState(wsNormal);
        remax = true;
    }
    FSkinnableForm = Value && !FUseRibbon;
    ApplySkinData();
    DoChangeSkinData(nullptr, FForm);
    if (FForm->HandleAllocated())
        SetWindowPos(FForm->Handle(), 0, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (remax) {
        // Unskinned, the frame has no maximized state of its own; the bounds are kept.
        if (FSkinnableForm) SetWindowState(wsMaximized);
        if (shown) FForm->Show();
    }
}

void TspSkinnedForm::ApplySkinData() {
    if (FUseRibbon) FSkinnableForm = false;
    OldActiveObject = ActiveObject = MouseCaptureObject = -1;
    FSkinSupport = HasSkin();
    if (FLayerManager->IsVisible) FLayerManager->Hide();
    if (FMenuLayerManager->IsVisible) FMenuLayerManager->Hide();
    if (NCMode()) {
        if (FSkinSupport && FSkinnableForm) {
            CreateSkinObjects();
            CheckObjects();
        } else {
            ClearObjects();
            FFormWidth = FForm->Width();
            FFormHeight = FForm->Height();
            SetSkinRegion(true);
        }
        if (FSkinnableForm)
            FForm->SetBorderIcons(0);
        else
            SetFormBorderIcons();
        FInChangeSkinData = true;
        if (FForm->HandleAllocated())
            SetWindowPos(FForm->Handle(), 0, 0, 0, 0, 0,
                         SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER |
                             SWP_NOACTIVATE);
        int mw = GetMinWidth(), mh = GetMinHeight();
        bool narrow = FForm->Width() < mw, low = FForm->Height() < mh;
        if (narrow && low)
            FForm->SetBounds(FForm->Left(), FForm->Top(), mw, mh);
        else if (low)
            FForm->SetHeight(mh);
        else if (narrow)
            FForm->SetWidth(mw);
        else
            RefreshBounds();
        if ((FRollUpState || FWindowState == wsMinimized) && FForm->Height() != GetMinHeight())
            FForm->SetHeight(GetMinHeight());
        if (FWindowState == wsMinimized && FForm->Width() != GetMinWidth())
            FForm->SetWidth(GetMinWidth());
        FFormWidth = FForm->Width();
        FFormHeight = FForm->Height();
        if (FSkinSupport) UpdateFrameLayout(true);
        if (FForm->HandleAllocated()) FForm->Invalidate();
        UpdateActiveState(true);
        FMouseTimer->SetEnabled(true);
        if (OnChangeSkinData) OnChangeSkinData(this);
        FInChangeSkinData = false;
        if (!FRollUpState) {
            if (ClientWidth > 0)
                FForm->SetWidth(FForm->Width() - FForm->ClientWidth() + ClientWidth);
            if (ClientHeight > 0)
                FForm->SetHeight(FForm->Height() - FForm->ClientHeight() + ClientHeight);
        }
    } else if (FSkinSupport) {
        bool stretch = IsStretchableSkin();
        bool unrolled = false;
        if (FRollUpState && (!FSD->FRollUpPicture || FSD->FRollUpPicture->Empty())) {
            FRollUpState = false;
            RollDownSkinForm();
            unrolled = true;
        }
        if (!FRollUpState) FitClientToSkin();
        CreateSkinObjects();
        CheckObjects();
        if (FRollUpState && !unrolled) RollUpSkinForm();
        FInChangeSkinData = true;
        if (OnChangeSkinData) OnChangeSkinData(this);
        if (!FRollUpState && (stretch || (FForm->ClientWidth() == FSD->FPicture->Width() &&
                                          FForm->ClientHeight() == FSD->FPicture->Height())))
            UpdateFrameLayout(stretch);
        CalcObjectRects();
        LinkControlsToAreas();
        ArrangeLinkedControls();
        UpdateActiveState(true);
        FInChangeSkinData = false;
        FMouseTimer->SetEnabled(true);
    }
}

void TspSkinnedForm::CreateSkinObjects() {
    ClearObjects();
    if (!FSD) return;
    for (auto& e : FSD->ObjectList) {
        TspDataSkinObject* d = e.get();
        if (dynamic_cast<TspDataSkinMainMenuItem*>(d) || dynamic_cast<TspDataSkinMenuItem*>(d) ||
            dynamic_cast<TspDataSkinMainMenuBarButton*>(d))
            continue;
        std::unique_ptr<TspActiveSkinObject> o;
        if (auto* g = dynamic_cast<TspDataSkinGauge*>(d))
            o = std::make_unique<TspSkinGaugeObject>(this, g);
        else if (auto* sb = dynamic_cast<TspDataSkinStdButton*>(d))
            o = std::make_unique<TspSkinStdButtonObject>(this, sb);
        else if (auto* b = dynamic_cast<TspDataSkinButton*>(d))
            o = std::make_unique<TspSkinButtonObject>(this, b);
        else if (auto* c = dynamic_cast<TspDataSkinCaption*>(d))
            o = std::make_unique<TspSkinCaptionObject>(this, c);
        else if (dynamic_cast<TspDataUserObject*>(d))
            o = std::make_unique<TspUserObject>(this, d);
        else if (auto* sw = dynamic_cast<TspDataSkinSwitch*>(d))
            o = std::make_unique<TspSkinSwitchObject>(this, sw);
        else if (auto* t = dynamic_cast<TspDataSkinTrackBar*>(d))
            o = std::make_unique<TspSkinTrackBarObject>(this, t);
        else if (auto* l = dynamic_cast<TspDataSkinLabel*>(d))
            o = std::make_unique<TspSkinLabelObject>(this, l);
        else if (auto* a = dynamic_cast<TspDataSkinAnimate*>(d))
            o = std::make_unique<TspSkinAnimateObject>(this, a);
        else if (auto* bl = dynamic_cast<TspDataSkinBitLabel*>(d))
            o = std::make_unique<TspSkinBitLabelObject>(this, bl);
        else if (auto* fr = dynamic_cast<TspDataSkinFrameRegulatorObject*>(d))
            o = std::make_unique<TspSkinFrameRegulatorObject>(this, fr);
        else if (auto* fg = dynamic_cast<TspDataSkinFrameGaugeObject*>(d))
            o = std::make_unique<TspSkinFrameGaugeObject>(this, fg);
        if (o) ObjectList.push_back(std::move(o));
    }
    CreateMainMenuItems();
}

void TspSkinnedForm::UpdateMainMenu(bool ARedraw) {
    ActiveObject = OldActiveObject = MouseCaptureObject = -1;
    std::erase_if(ObjectList, [](const std::unique_ptr<TspActiveSkinObject>& o) {
        return dynamic_cast<TspSkinMainMenuItem*>(o.get()) != nullptr;
    });
    CreateMainMenuItems();
    if (!ARedraw || !FForm->HandleAllocated()) return;
    if (NCMode()) {
        SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
    } else {
        RECT r{NewMainMenuRect.Left, NewMainMenuRect.Top, NewMainMenuRect.Right,
               NewMainMenuRect.Bottom};
        InvalidateRect(FForm->Handle(), &r, 1);
    }
}

void TspSkinnedForm::CreateDefaultButtons() {
    ClearObjects();
    struct B {
        const char* Name;
        TStdCommand Cmd;
    };
    for (B b : {B{"closebutton", cmClose}, B{"maxbutton", cmMaximize}, B{"minbutton", cmMinimize},
                B{"rollupbutton", cmRollUp}, B{"sysmenubutton", cmSysMenu},
                B{"traybutton", cmMinimizeToTray}}) {
        auto o = std::make_unique<TspSkinStdButtonObject>(this, nullptr);
        o->IDName = b.Name;
        o->Command = b.Cmd;
        o->SkinRectInAPicture = true;
        o->SkinRect = o->ActiveSkinRect = o->DownRect = TRect(0, 0, 1, 1);
        ObjectList.push_back(std::move(o));
    }
    CheckObjects();
}

void TspSkinnedForm::ClearObjects() {
    ObjectList.clear();
    AreaList.clear();
    ActiveObject = OldActiveObject = MouseCaptureObject = -1;
}

void TspSkinnedForm::CheckObjects() {
    if (ObjectList.empty()) return;
    auto iconOf = [](TStdCommand c) -> unsigned {
        switch (c) {
        case cmMaximize:
            return biMaximize;
        case cmMinimize:
            return biMinimize;
        case cmSysMenu:
            return biSystemMenu;
        case cmRollUp:
            return biRollUp;
        case cmMinimizeToTray:
            return biMinimizeToTray;
        default:
            return 0;
        }
    };
    if (HideCaptionButtons) {
        for (auto& o : ObjectList)
            if (dynamic_cast<TspSkinStdButtonObject*>(o.get()) ||
                dynamic_cast<TspSkinAnimateObject*>(o.get())) {
                o->Enabled = false;
                o->Visible = !o->SkinRectInAPicture;
            }
    } else {
        for (auto& o : ObjectList) {
            auto* b = dynamic_cast<TspSkinStdButtonObject*>(o.get());
            auto* a = dynamic_cast<TspSkinAnimateObject*>(o.get());
            TStdCommand cmd = b ? b->Command : a ? a->Command : cmDefault;
            if (b || (a && a->ButtonStyle && a->Command != cmDefault)) {
                if (unsigned icon = iconOf(cmd)) {
                    o->Enabled = (FBorderIcons & icon) != 0;
                    if (cmd == cmSysMenu && DisableSystemMenu) o->Enabled = false;
                    o->Visible = o->SkinRectInAPicture ? o->Enabled : true;
                } else if (b && cmd == cmDefault) {
                    bool vis = false;
                    if (OnActivateCustomObject) OnActivateCustomObject(b->IDName, vis);
                    b->Visible = vis;
                }
            } else if (auto* c = dynamic_cast<TspSkinCaptionObject*>(o.get())) {
                if (c->DefaultCaption) c->SimpleSetTextValue(FForm->Caption());
            }
        }
    }
    bool anyDefault = false;
    for (auto& o : ObjectList)
        if (auto* c = dynamic_cast<TspSkinCaptionObject*>(o.get()); c && c->DefaultCaption)
            anyDefault = true;
    if (!anyDefault)
        for (auto& o : ObjectList)
            if (auto* c = dynamic_cast<TspSkinCaptionObject*>(o.get())) {
                c->DefaultCaption = true;
                c->SimpleSetTextValue(FForm->Caption());
                break;
            }
    UpdateObjectHints();
}

// ---- Menus --------------------------------------------------------------------------------------

std::string TspSkinnedForm::ResString(const char* Key, const char* Builtin) const {
    if (FSD && FSD->ResourceStrData()) {
        std::string s = FSD->ResourceStrData()->GetResStr(Key);
        if (!s.empty()) return s;
    }
    return Builtin;
}

TMenuItem* TspSkinnedForm::NewSysItem(TComponent* Owner, const char* Name, const char* Key,
                                      const char* Caption, std::function<void()> Click) {
    auto* i = new TMenuItem(Owner);
    i->SetName(Name);
    i->Caption = Key ? ResString(Key, Caption) : Caption;
    i->OnClick = [Click](TObject*) { Click(); };
    return i;
}

void TspSkinnedForm::CreateDefaultSystemMenu() {
    TMenuItem* items = FSysMenu->Items();
    items->Clear();
    const bool mdiMax = IsMDIChild() && FWindowState == wsMaximized;
    if (FWindowState != wsMinimized && (FBorderIcons & biMinimize))
        items->Add(NewSysItem(FSysMenu.get(), "DSF_MINITEM", "MI_MINCAPTION", "Mi&nimize", [this] {
            if (AlwaysMinimizeToTray)
                MinimizeToTray();
            else
                SetWindowState(wsMinimized);
        }));
    if (FWindowState != wsMaximized && (FBorderIcons & biMaximize))
        items->Add(NewSysItem(FSysMenu.get(), "DSF_MAXITEM", "MI_MAXCAPTION", "Ma&ximize",
                              [this] { SetWindowState(wsMaximized); }));
    if (FWindowState != wsNormal || FRollUpState)
        items->Add(
            NewSysItem(FSysMenu.get(), "DSF_RESTORE", "MI_RESTORECAPTION", "&Restore", [this] {
                if (MaxRollUpState || (FRollUpState && FWindowState == wsNormal))
                    SetRollUpState(false);
                else
                    SetWindowState(wsNormal);
            }));
    if ((FBorderIcons & biRollUp) && !mdiMax && !FRollUpState && FWindowState != wsMinimized)
        items->Add(NewSysItem(FSysMenu.get(), "DSF_ROLLUP", "MI_ROLLUPCAPTION", "Ro&llUp",
                              [this] { SetRollUpState(true); }));
    if (FBorderIcons & biMinimizeToTray)
        items->Add(NewSysItem(FSysMenu.get(), "DSF_MINTOTRAY", "MI_MINTOTRAYCAPTION",
                              "Minimize to &Tray", [this] { MinimizeToTray(); }));
    if (items->Count() > 0) {
        auto* line = new TMenuItem(FSysMenu.get());
        line->Caption = "-";
        items->Add(line);
    }
    items->Add(NewSysItem(FSysMenu.get(), "DSF_CLOSE", "MI_CLOSECAPTION", "&Close",
                          [this] { FForm->Close(); }));
    items->Items(items->Count() - 1)->ShortCut = CloseShortCut();
}

void TspSkinnedForm::UpdateUserSystemMenu() {
    if (!UseDefaultSysMenu) return;
    TMenuItem* items = FSystemMenu->Items();
    for (int i = items->Count() - 1; i >= 0; --i) {
        std::string n = items->Items(i)->Name();
        if (n == "DSF_MINITEM" || n == "DSF_MAXITEM" || n == "DSF_CLOSE" || n == "DSF_MINTOTRAY" ||
            n == "DSF_ROLLUP" || n == "DSF_RESTORE")
            delete items->Items(i);
    }
    TComponent* owner = FSystemMenu;
    if (FBorderIcons & biMinimizeToTray)
        items->Insert(0, NewSysItem(owner, "DSF_MINTOTRAY", "MI_MINTOTRAYCAPTION",
                                    "Minimize to &Tray", [this] { MinimizeToTray(); }));
    if ((FBorderIcons & biRollUp) && !(IsMDIChild() && FWindowState == wsMaximized) &&
        !FRollUpState && FWindowState != wsMinimized)
        items->Insert(0, NewSysItem(owner, "DSF_ROLLUP", "MI_ROLLUPCAPTION", "Ro&llUp",
                                    [this] { SetRollUpState(true); }));
    if (FWindowState != wsMaximized && (FBorderIcons & biMaximize))
        items->Insert(0, NewSysItem(owner, "DSF_MAXITEM", "MI_MAXCAPTION", "Ma&ximize",
                                    [this] { SetWindowState(wsMaximized); }));
    if (FWindowState != wsNormal || FRollUpState)
        items->Insert(0, NewSysItem(owner, "DSF_RESTORE", "MI_RESTORECAPTION", "&Restore", [this] {
                          if (MaxRollUpState || (FRollUpState && FWindowState == wsNormal))
                              SetRollUpState(false);
                          else
                              SetWindowState(wsNormal);
                      }));
    if (FWindowState != wsMinimized && (FBorderIcons & biMinimize))
        items->Insert(0, NewSysItem(owner, "DSF_MINITEM", "MI_MINCAPTION", "Mi&nimize", [this] {
                          if (AlwaysMinimizeToTray)
                              MinimizeToTray();
                          else
                              SetWindowState(wsMinimized);
                      }));
    items->Add(
        NewSysItem(owner, "DSF_CLOSE", "MI_CLOSECAPTION", "&Close", [this] { FForm->Close(); }));
    items->Items(items->Count() - 1)->ShortCut = CloseShortCut();
}

TMenuItem* TspSkinnedForm::GetSystemMenuItems() {
    if (FSystemMenu) {
        UpdateUserSystemMenu();
        return FSystemMenu->Items();
    }
    CreateDefaultSystemMenu();
    return FSysMenu->Items();
}

void TspSkinnedForm::PopupSystemMenuAt(int X, int Y) {
    PopupSystemMenuAtRect(TRect(X, Y, X, Y));
}

void TspSkinnedForm::PopupSystemMenuAtRect(TRect R) {
    TMenuItem* items = GetSystemMenuItems();
    SkinMenuOpen();
    PopupMenuItemsAt(items, R, false);
}

void TspSkinnedForm::DoPopupMenu(TPopupMenu* Menu, int X, int Y) {
    if (!Menu) return;
    if (Menu->OnPopup) Menu->OnPopup(Menu);
    SkinMenuClose();
    SkinMenuOpen();
    PopupMenuItemsAt(Menu->Items(), TRect(X, Y, X, Y), false);
}

void TspSkinnedForm::PopupSkinMenu(TMenu* Menu, TPoint P) {
    if (!Menu) return;
    SkinMenuOpen();
    PopupMenuItemsAt(Menu->Items(), TRect(P.X, P.Y, P.X, P.Y), false);
}

void TspSkinnedForm::PopupSkinMenu1(TMenu* Menu, TRect R, bool PopupUp) {
    if (!Menu) return;
    SkinMenuOpen();
    PopupMenuItemsAt(Menu->Items(), R, PopupUp);
}

void TspSkinnedForm::PopupObjectMenu(TMenuItem* Items, TRect R, bool PopupUp) {
    // A skinned popup menu opens itself (its own events and skin).
    if (auto* popup = dynamic_cast<TspSkinPopupMenu*>(Items->GetParentMenu())) {
        popup->PopupFromRect(R, PopupUp);
        return;
    }
    SkinMenuOpen();
    PopupMenuItemsAt(Items, R, PopupUp);
}

void TspSkinnedForm::PopupMenuItemsAt(TMenuItem* Items, TRect R, bool PopupUp) {
    if (MenuPresenter) MenuPresenter(Items, R, PopupUp);
}

void TspSkinnedForm::PopupSystemMenuFromButton() {
    if (DisableSystemMenu) return;
    for (auto& o : ObjectList) {
        auto* b = dynamic_cast<TspSkinStdButtonObject*>(o.get());
        auto* a = dynamic_cast<TspSkinAnimateObject*>(o.get());
        if (((b && b->Command == cmSysMenu) || (a && a->Command == cmSysMenu)) && o->Enabled) {
            PopupSystemMenuAtRect(o->ObjectRectToScreen());
            return;
        }
    }
}

void TspSkinnedForm::SetTrayIcon(TspTrayIcon* Value) {
    if (FTrayIcon) RemoveFreeNotification(FTrayIcon);
    FTrayIcon = Value;
    if (!FTrayIcon) {
        if (HasState(csDesigning)) FBorderIcons &= ~unsigned(biMinimizeToTray);
        return;
    }
    FreeNotification(FTrayIcon);
    if (!AlwaysShowInTray) FTrayIcon->SetIconVisible(false);
    if (HasState(csDesigning)) {
        FBorderIcons |= biMinimizeToTray;
        return;
    }
    if (!FTrayIcon->PopupMenu()) FTrayIcon->SetPopupMenu(FSysTrayMenu.get());
    if (!FTrayIcon->OnDblClick) FTrayIcon->OnDblClick = [this](TObject*) { RestoreFromTray(); };
}

void TspSkinnedForm::MinimizeToTray() {
    if (!FTrayIcon) return;
    // With no notification area the icon would be nowhere, and so the window.
    if (!NotificationAreaShown()) {
        SetWindowState(wsMinimized);
        return;
    }
    FTrayIcon->MinimizeToTray = true;
    FTrayIcon->DoMinimizeToTray();
    if (OnMinimizeToTray) OnMinimizeToTray(this);
}

void TspSkinnedForm::RestoreFromTray() {
    if (!FTrayIcon) return;
    FTrayIcon->MinimizeToTray = false;
    FTrayIcon->ShowMainForm();
    if (!AlwaysShowInTray) FTrayIcon->SetIconVisible(false);
    if (OnRestoreFromTray) OnRestoreFromTray(this);
}

TPopupMenu* TspSkinnedForm::SysTrayMenu() const {
    return FSysTrayMenu.get();
}

void TspSkinnedForm::HookApp() {
    if (FInAppHook || !Application) return;
    FInAppHook = true;
    FAppHook = Application->AddMessageHook([this](MSG& Msg, bool& Handled) {
        if (Msg.message == WM_KEYDOWN) {
            SkinMenuKeyDown(int(Msg.wParam));
            Handled = true;
        } else if (Msg.message == WM_MOUSEWHEEL) {
            Handled = true;
        }
    });
}

void TspSkinnedForm::UnHookApp() {
    if (!FInAppHook) return;
    FInAppHook = false;
    if (Application) Application->RemoveMessageHook(FAppHook);
    FAppHook = 0;
}

void TspSkinnedForm::SkinMenuKeyDown(int Key) {
    TspSkinMenu* engine = FSkinMenu.get();
    auto popups = [engine] { return int(engine->FPopupList.size()); };
    if (InMainMenu && CheckMainMenuAccel(Key)) return;
    if (Key == VK_ESCAPE && InMainMenu && popups() == 0) {
        ExitMainMenu();
        return;
    }
    if (InMainMenu) {
        TspSkinPopupWindow* last = engine->LastWindow();
        bool lastHasSub = last && last->ActiveItem >= 0 &&
                          last->ItemList[size_t(last->ActiveItem)]->MenuItem->Count() > 0;
        if (Key == VK_LEFT && popups() <= 1) {
            if (FMainMenuBar)
                FMainMenuBar->PrevMainMenuItem();
            else
                PrevMainMenuItem();
            return;
        }
        if (Key == VK_RIGHT && (popups() == 0 || !lastHasSub)) {
            if (FMainMenuBar)
                FMainMenuBar->NextMainMenuItem();
            else
                NextMainMenuItem();
            return;
        }
    }
    if (Key == VK_RETURN || Key == VK_DOWN) {
        if (InMainMenu && PressMainMenuItem()) return;
        if (TspSkinPopupWindow* last = engine->LastWindow()) last->PopupKeyDown(Key);
        return;
    }
    if (engine->FVisible)
        if (TspSkinPopupWindow* last = engine->LastWindow()) last->PopupKeyDown(Key);
    if (Key == VK_ESCAPE && popups() == 0) {
        if (InMainMenu)
            CloseMainMenuItem();
        else
            SkinMenuClose();
    }
}

void TspSkinnedForm::KeyMenu(int Char) {
    if (Char == ' ') {
        // Alt+Space: the system menu under its caption button.
        PopupSystemMenuFromButton();
        return;
    }
    if (Char != 0) {
        // Alt with a character: the main menu's accelerator.
        int key = (Char >= 'a' && Char <= 'z') ? Char - 32 : Char;
        CheckMainMenuAccel(key);
        return;
    }
    if (!InMainMenu) {
        SkinMenuClose();
        if (FMainMenuBar)
            FMainMenuBar->EnterMainMenu();
        else
            EnterMainMenu();
    } else {
        ExitMainMenu();
    }
}

void TspSkinnedForm::ExitMainMenu() {
    InMainMenu = false;
    if (FSkinMenu->FVisible) FSkinMenu->CloseMenu(0);
    if (FMainMenuBar) {
        FMainMenuBar->ExitMainMenu();
    } else {
        for (auto* i : MainMenuItems())
            if (i->FDown || i->Active) {
                i->FDown = false;
                i->MouseLeave();
                break;
            }
    }
    InMenu = false;
    UnHookApp();
    if (OnMainMenuExit) OnMainMenuExit(this);
}

void TspSkinnedForm::CloseMainMenuItem() {
    InMenu = false;
    if (FMainMenuBar) {
        FMainMenuBar->CloseMainMenuItem();
    } else {
        for (auto* i : MainMenuItems())
            if (i->FDown) {
                i->FDown = false;
                i->Active = i->FMouseIn = true;
                if (i->EnableMorphing()) i->FMorphKf = 1;
                i->Redraw();
                break;
            }
    }
    if (OnSkinMenuClose) OnSkinMenuClose(this);
}

void TspSkinnedForm::SetMainMenuBar(TspSkinMainMenuBar* Value) {
    if (FMainMenuBar) RemoveFreeNotification(FMainMenuBar);
    FMainMenuBar = Value;
    if (FMainMenuBar) FreeNotification(FMainMenuBar);
    // The main menu shows in the bar or, without one, in the frame.
    if (FSkinSupport && !HasState(csDesigning)) UpdateMainMenu(true);
}

void TspSkinnedForm::SkinMenuOpen() {
    if (!InMainMenu) HookApp();
    if (!InMenu) {
        InMenu = true;
        if (OnSkinMenuOpen) OnSkinMenuOpen(this);
    }
}

void TspSkinnedForm::SkinMenuClose() {
    UnHookApp();
    // Whatever closes the menu state closes the windows too.
    if (FSkinMenu && FSkinMenu->FVisible) FSkinMenu->CloseMenu(0);
    if (FMenuLayerManager->IsVisible) FMenuLayerManager->Hide();
    bool was = InMenu;
    InMenu = false;
    // The object that opened the menu comes back up.
    for (auto& o : ObjectList) {
        if (auto* m = dynamic_cast<TspSkinMainMenuItem*>(o.get()); m && m->FDown) {
            m->Active = false;
            m->SetDown(false);
            break;
        }
        if (auto* b = dynamic_cast<TspSkinButtonObject*>(o.get()); b && b->MenuItem && b->FDown) {
            b->SetDown(false);
            break;
        }
        if (auto* a = dynamic_cast<TspSkinAnimateObject*>(o.get());
            a && a->MenuItem && a->FMenuTracking) {
            a->Active = true;
            a->FFrame = a->CountFrames;
            a->FDown = a->FMenuTracking = a->Increment = false;
            FAnimateTimer->SetEnabled(true);
            break;
        }
    }
    if (was && OnSkinMenuClose) OnSkinMenuClose(this);
    if (InMainMenu) {
        InMainMenu = false;
        if (FMainMenuBar) FMainMenuBar->ExitMainMenu();
        if (OnMainMenuExit) OnMainMenuExit(this);
    }
}

void TspSkinnedForm::UpdateObjectHints() {
    if (!UseDefaultObjectHint || !FSD) return;
    for (auto& o : ObjectList) {
        auto* b = dynamic_cast<TspSkinStdButtonObject*>(o.get());
        auto* a = dynamic_cast<TspSkinAnimateObject*>(o.get());
        if (!b && !a) continue;
        const char* key = nullptr;
        const char* text = nullptr;
        switch (b ? b->Command : a->Command) {
        case cmClose:
            key = "CLOSEBUTTON_HINT", text = "Close";
            break;
        case cmMaximize:
            key = "MAXBUTTON_HINT", text = "Maximize";
            break;
        case cmMinimize:
            key = "MINBUTTON_HINT", text = "Minimize";
            break;
        case cmSysMenu:
            key = "MENUBUTTON_HINT", text = "System menu";
            break;
        case cmRollUp:
            key = "ROLLUPBUTTON_HINT", text = "Roll Up";
            break;
        case cmMinimizeToTray:
            key = "TRAYBUTTON_HINT", text = "Minimize to Tray";
            break;
        case cmDefault:
            continue;
        }
        std::string hint = ResString(key, text), restore = ResString("RESTORE_HINT", "Restore");
        if (b) {
            b->Hint = b->FTempHint = hint;
            b->RestoreHint = restore;
        } else {
            a->Hint = a->FTempHint = hint;
            a->RestoreHint = restore;
        }
    }
}

// ---- Skin-change walks --------------------------------------------------------------------------

namespace {

template <class F> void WalkControls(TControl* C, const F& Visit) {
    if (!C) return;
    Visit(C);
    if (auto* w = dynamic_cast<TWinControl*>(C))
        for (int i = 0; i < w->ControlCount(); ++i)
            WalkControls(w->Controls(i), Visit);
}

} // namespace

void TspSkinnedForm::DoBeforeChangeSkinData(TspSkinData* ASkinData, TControl* AControl) {
    WalkControls(AControl, [ASkinData](TControl* c) {
        if (auto* s = dynamic_cast<TspSkinControl*>(c)) {
            if (!ASkinData || s->SkinData() == ASkinData) s->BeforeChangeSkinData();
        } else if (auto* g = dynamic_cast<TspGraphicSkinControl*>(c)) {
            if (!ASkinData || g->SkinData() == ASkinData) g->BeforeChangeSkinData();
        }
    });
}

void TspSkinnedForm::DoChangeSkinData(TspSkinData* ASkinData, TControl* AControl) {
    WalkControls(AControl, [ASkinData](TControl* c) {
        if (auto* g = dynamic_cast<TspGraphicSkinControl*>(c)) {
            if (!ASkinData || g->SkinData() == ASkinData) g->ChangeSkinData();
        } else if (auto* s = dynamic_cast<TspSkinControl*>(c)) {
            if (!ASkinData || s->SkinData() == ASkinData) s->ChangeSkinData();
        }
    });
}

// ---- Inactive client, shadow --------------------------------------------------------------------

void TspSkinnedForm::ShowClientInActiveEffect() {
    if (FInActivePanel) HideClientInActiveEffect();
    FInActivePanel = std::make_unique<TspClientInActivePanel>(nullptr);
    FClientInActiveDraw = true;
    FInActivePanel->ShowPanel(FForm, ClientInActiveEffectType);
    FClientInActiveDraw = false;
}

void TspSkinnedForm::EnableShadow(bool AShowShadow, bool AHideFormBefore) {
    if (!IsWindows2000OrLater() || AShowShadow == FHaveShadow) return;
    FHaveShadow = AShowShadow;
    if (AHideFormBefore) FForm->Hide();
    HWND h = FForm->Handle();
    LONG_PTR style = GetClassLongPtr(h, GCL_STYLE);
    SetClassLongPtr(h, GCL_STYLE,
                    AShowShadow ? style | CS_DROPSHADOW : style & ~LONG_PTR(CS_DROPSHADOW));
    if (AHideFormBefore) FForm->Show();
}

void TspSkinnedForm::HideClientInActiveEffect() {
    if (!FInActivePanel) return;
    FInActivePanel->HidePanel();
    FInActivePanel.reset();
}

// ---- Client inactive panel

TspClientInActivePanel::TspClientInActivePanel(TComponent* AOwner) : TspSkinControl(AOwner) {
    SetVisible(false);
}

TspClientInActivePanel::~TspClientInActivePanel() = default;

void TspClientInActivePanel::Paint() {
    if (Buffer) Buffer->Draw(Canvas(), 0, 0);
}

void TspClientInActivePanel::ShowPanel(TForm* AForm, TspClientInActiveEffect AEffect) {
    if (!AForm || !AForm->Visible()) return;
    int cw = AForm->ClientWidth(), ch = AForm->ClientHeight();
    if (cw <= 0 || ch <= 0) return;
    SetVisible(false);
    SetParent(AForm);
    SetBounds(0, 0, cw, ch);
    Buffer = std::make_unique<TspBitmap>();
    Buffer->SetSize(cw, ch);
    HWND h = AForm->Handle();
    // A plain window DC: the capture must not swallow pending paints.
    HDC dc = GetDC(h);
    if (dc) BitBlt(Buffer->DC(), 0, 0, cw, ch, dc, 0, 0, SRCCOPY);
    ReleaseDC(h, dc);
    if (AEffect == spieBlur) {
        StackBlur(Buffer.get(), 3);
    } else {
        TspBitmap back;
        back.SetSize(cw, ch);
        SendMessage(h, WM_ERASEBKGND, WPARAM(back.DC()), 0);
        back.SetAlphaBlend(true);
        back.SetAlpha(170);
        back.Draw(Buffer.get(), 0, 0);
    }
    SetVisible(true);
}

void TspClientInActivePanel::HidePanel() {
    SetVisible(false);
    Buffer.reset();
}
