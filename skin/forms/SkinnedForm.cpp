#include "skin/forms/SkinnedForm.h"
#include "skin/forms/SkinHint.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedFormInternal.h"
#include "skin/forms/spTrayIcon.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "classlib/sysutils.h"
#include "platform/gdi/gdi.h"
#include "platform/os/clock.h"
#include "platform/os/codepage.h"
#include "platform/win/input.h"
#include "platform/win/layered.h"
#include "platform/win/mdi.h"
#include "platform/win/messages.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/region.h"
#include "platform/win/timers.h"
#include "platform/win/window.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "skin/controls/SkinCtrls.h"
#include "skin/engine/SPUtils.h"
#include "skin/engine/speffbmp.h"

using namespace skinned_form_internal;

namespace {

constexpr UINT WM_NCRBUTTONUP_ = 0x00A5;
constexpr UINT WM_NCRBUTTONDBLCLK_ = 0x00A6;
constexpr UINT WM_DISPLAYCHANGE_ = 0x007E;
// F4: Alt+F4 closes a window, Ctrl+F4 an MDI child.
constexpr WORD kVkF4 = 0x73;

int16_t LowSigned(LPARAM l) {
    return int16_t(LOWORD(uintptr_t(l)));
}
int16_t HighSigned(LPARAM l) {
    return int16_t(HIWORD(uintptr_t(l)));
}

// Copies the whole of Source onto DC at (X, Y).
void BlitBitmap(HDC DC, int X, int Y, TBitmap* Source) {
    if (!Source || Source->Width() <= 0 || Source->Height() <= 0) return;
    BitBlt(DC, X, Y, Source->Width(), Source->Height(), Source->Canvas()->Handle(), 0, 0, SRCCOPY);
}

} // namespace

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
    auto timer = [this](unsigned ms, std::function<void()> proc) {
        auto t = std::make_unique<TTimer>(nullptr);
        t->SetEnabled(false);
        t->SetInterval(ms);
        t->SetOnTimer([proc](TObject*) { proc(); });
        return t;
    };
    FMouseTimer = timer(50, [this] { MouseTimerProc(); });
    FMorphTimer = timer(25, [this] { MorphTimerProc(); });
    FAnimateTimer = timer(25, [this] { AnimateTimerProc(); });
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

// ---- Window hook --------------------------------------------------------------------------------

void TspSkinnedForm::CallOld(TMessage& Message) {
    if (OldWindowProc) OldWindowProc(Message);
}

void TspSkinnedForm::CheckMenuCloseMessage(UINT Msg) {
    if (!IsMenuCloseMessage(Msg)) return;
    if (ShowObjectHint && FSkinHint) FSkinHint->HideHint();
    if (InMainMenu && !InMenu) {
        ExitMainMenu(); // keyboard menu mode without an open menu
    } else if (FSkinMenu && FSkinMenu->FVisible) {
        FSkinMenu->Hide();
    } else if (InMenu) {
        SkinMenuClose();
    } else if (IsMDIForm() && FForm->Visible()) {
        // A menu of the active child closes with its main form too.
        if (TspSkinnedForm* child = GetActiveMDIChildSkinForm(); child && child != this)
            child->CheckMenuCloseMessage(Msg);
    }
    CancelChildDropDowns();
}

void TspSkinnedForm::CancelChildDropDowns() {
    if (!IsMDIForm() || !FForm->Visible() || FForm->ComponentState() != 0) return;
    for (int i = 0; i < FForm->ComponentCount(); ++i) {
        auto* c = dynamic_cast<TWinControl*>(FForm->Components(i));
        if (!c || !c->Visible() || !c->Enabled()) continue;
        if (dynamic_cast<TspSkinCustomComboBox*>(c) || dynamic_cast<TspSkinCustomEdit*>(c))
            // The form is the sender: a drop-down keeps itself open only for
            // presses on its own parts.
            c->Perform(CM_CANCELMODE, 0, LPARAM(static_cast<TControl*>(FForm)));
    }
}

bool TspSkinnedForm::IsLayeredStartNeeded() const {
    return IsWindowsVistaOrLater() && LayerBorderUsed() && !FAlphaBlend && !AlphaBlendAnimation &&
           !(FSD && FSD->AnimationForAllWindows());
}

void TspSkinnedForm::FormWndProc(TMessage& Message) {
    CheckMenuCloseMessage(Message.Msg);
    LayerBorderFollow(Message);
    const bool skinnable = FSkinnableForm;
    HWND h = FForm->Handle();
    switch (Message.Msg) {
    case WM_DESTROY:
        FMouseTimer->SetEnabled(false);
        FMorphTimer->SetEnabled(false);
        FAnimateTimer->SetEnabled(false);
        if (IsMDIChild()) {
            FWindowState = wsNormal;
            // A child freed while shown must not leave its tab or item behind.
            DeleteChildFromMenu(FForm);
            DeleteChildFromBar(FForm);
            if (TForm* main = Application ? Application->MainForm() : nullptr;
                main && main->HandleAllocated())
                SendMessage(main->Handle(), WM_SKIN_MDICHILDRESTORED, 0, 0);
            RefreshMainMDIViews();
        }
        break;
    case WM_SIZE:
        if (FSizeMove && FFullDrag) {
            if (NCMode() && !FLogoBitMap->Empty()) FForm->Invalidate();
            break;
        }
        CallOld(Message);
        FFormWidth = FForm->Width();
        FFormHeight = FForm->Height();
        HMagnetized = VMagnetized = HMagnetized2 = VMagnetized2 = false;
        if (HasSkin() && NCMode() && skinnable && FFormWidth >= GetMinWidth() &&
            FFormHeight >= GetMinHeight())
            UpdateFrameLayout(true);
        else if (HasSkin() && !NCMode() && !FRollUpState &&
                 (IsStretchableSkin() || (FForm->ClientWidth() == FSD->FPicture->Width() &&
                                          FForm->ClientHeight() == FSD->FPicture->Height())))
            UpdateFrameLayout(IsStretchableSkin());
        else if (!HasSkin() && NCMode()) {
            SendMessage(h, WM_NCPAINT, 0, 0);
            SetSkinRegion(true);
        }
        if (FAlphaBlend && FAlphaBlendValue != 255 && NCMode()) {
            SendMessage(h, WM_NCPAINT, 0, 0);
            FForm->Invalidate();
        }
        if (NCMode() && !FLogoBitMap->Empty()) FForm->Invalidate();
        return;
    case WM_ACTIVATE:
        if (!skinnable) break;
        FIsDragging = false;
        CallOld(Message);
        if (NCMode()) {
            TestActiveObject(-1, -1, false);
            ResetObjectStates();
            SendMessage(h, WM_NCPAINT, 0, 0);
        }
        UpdateActiveState(true);
        return;
    case WM_SETTEXT:
        if (!skinnable) break;
        CallOld(Message);
        if (Framed()) {
            if ((HasSkin() && NCMode()) || !HasSkin()) {
                for (auto& o : ObjectList)
                    if (auto* c = dynamic_cast<TspSkinCaptionObject*>(o.get()))
                        if (c->DefaultCaption) c->SimpleSetTextValue(FForm->Caption());
                SendMessage(h, WM_NCPAINT, 0, 0);
            } else {
                UpdateDefaultCaptionText();
            }
        }
        if (IsMDIChild()) {
            UpDateChildCaptionInMenu(FForm);
            RefreshMDIBarTab(FForm);
        }
        return;
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(Message.WParam);
        if (IsMDIForm() && !FClientInActiveDraw) {
            // The client window paints the MDI background.
            Message.Result = 1;
            return;
        }
        if (NCMode() && HasSkin()) {
            if (FSD->BGPictureIndex == -1)
                PaintBG(dc);
            else
                PaintBG2(dc);
        } else if (NCMode()) {
            PaintBGDefault(dc);
        } else {
            Paint(dc);
        }
        Message.Result = 1;
        return;
    }
    case WM_SHOWWINDOW:
        if (Message.WParam) {
            HandleShowWindow(Message);
            if (IsMDIForm()) HookMDIClient();
            if (IsMDIChild()) {
                AddChildToMenu(FForm);
                AddChildToBar(FForm);
            }
        } else {
            if (FLayerManager->IsVisible) FLayerManager->Hide();
            if (FMenuLayerManager->IsVisible) FMenuLayerManager->Hide();
            if (IsMDIChild()) {
                DeleteChildFromMenu(FForm);
                DeleteChildFromBar(FForm);
            }
        }
        break;
    case WM_SETCURSOR:
        if (NCMode() && UseFormCursorInNCArea && skinnable) {
            int hit = int16_t(LOWORD(uintptr_t(Message.LParam)));
            if (!(hit == HTCLIENT || (hit >= HTLEFT && hit <= HTBOTTOMRIGHT))) hit = HTCLIENT;
            Message.LParam = MAKELPARAM(hit, HIWORD(uintptr_t(Message.LParam)));
        }
        break;
    case WM_MOUSEACTIVATE:
        // A click into an MDI child that is already the active one wakes its frame.
        if (skinnable && IsMDIChild() && !FFormActive) {
            TForm* main = Application ? Application->MainForm() : nullptr;
            if (main && main->ActiveMDIChild() == FForm) {
                FFormActive = true;
                UpdateActiveState(FWindowState != wsMaximized);
            }
        }
        break;
    case WM_SKIN_LAYERSHOWDONE:
        if (FForm->Tag == -10000) {
            if (LayerBorderUsed()) {
                if (TForm* main = Application ? Application->MainForm() : nullptr;
                    main && main->HandleAllocated())
                    SetForegroundWindow(main->Handle());
                if (HWND top = GetTopMostFormHandle()) SetForegroundWindow(top);
            }
            FForm->Tag = 0;
        }
        break;
    case WM_GETMINMAXINFO:
        if (skinnable) {
            auto* mmi = reinterpret_cast<MINMAXINFO*>(Message.LParam);
            CallOld(Message);
            mmi->ptMinTrackSize = POINT{GetMinWidth(), GetMinHeight()};
            mmi->ptMaxTrackSize = POINT{GetMaxWidth(), GetMaxHeight()};
            return;
        }
        break;
    case WM_DISPLAYCHANGE_:
        if (NCMode() && Framed() &&
            (FForm->Width() > GetMaxWidth() || FForm->Height() > GetMaxHeight()))
            RefreshBounds();
        break;
    case WM_NCCALCSIZE:
        if (!skinnable) break;
        HandleNCCalcSize(Message);
        return;
    case WM_NCHITTEST:
        if (!skinnable) break;
        {
            TPoint p(LowSigned(Message.LParam), HighSigned(Message.LParam));
            if (!NCMode()) {
                if (!HasSkin()) break;
                p = FForm->ScreenToClient(p);
                if (!MouseIn) {
                    MouseIn = true;
                    TestActiveObject(p.X, p.Y, true);
                    FMouseTimer->SetEnabled(true);
                }
                Message.Result = HitTestClientSkin(p);
                return;
            }
            ScreenToFramePoint(p);
            Message.Result = HasSkin() ? HitTestSkin(p) : HitTestDefault(p);
            if (!FMouseTimer->Enabled() && Message.Result == HTOBJECT) {
                TestActiveObject(p.X, p.Y, true);
                FMouseTimer->SetEnabled(true);
            }
        }
        return;
    case WM_NCPAINT:
        if (!skinnable) break;
        if (Framed() && NCMode()) {
            if (HasSkin())
                PaintNCSkin(0, false);
            else
                PaintNCDefault(0, false);
        }
        return;
    case WM_NCACTIVATE:
        if (!skinnable) break;
        HandleNCActivate(Message);
        return;
    case WM_SYNCPAINT:
        if (skinnable && FRollUpState && NCMode()) {
            SendMessage(h, WM_NCPAINT, 0, 0);
            Message.Result = 0;
            return;
        }
        break;
    case WM_SYSCOMMAND:
        if ((Message.WParam & 0xFFF0) == SC_RESTORE) {
            if (OnRestore) OnRestore(this);
        } else if ((Message.WParam & 0xFFF0) == SC_KEYMENU) {
            // Keyboard menu mode belongs to the skinned menu engine.
            KeyMenu(int(Message.LParam));
            return;
        }
        break;
    case WM_TIMER:
        if (Message.WParam == kShowTimerId) {
            HandleTimer1();
            return;
        }
        break;
    case WM_SIZING:
        if (FSizeMove && FFullDrag) {
            FSizing = true;
            HMagnetized = VMagnetized = HMagnetized2 = VMagnetized2 = false;
            CallOld(Message);
            auto* r = reinterpret_cast<RECT*>(Message.LParam);
            int w = r->right - r->left, hh = r->bottom - r->top;
            bool changed = w != FFormWidth || hh != FFormHeight;
            FFormWidth = w;
            FFormHeight = hh;
            if (!FSD || (FSD->Empty && NCMode() && skinnable))
                SetSkinRegion(true);
            else if (NCMode() && skinnable && changed && w >= GetMinWidth() && hh >= GetMinHeight())
                UpdateFrameLayout(true);
            return;
        }
        break;
    case WM_MOVING:
        if (!skinnable) break;
        {
            auto* r = reinterpret_cast<RECT*>(Message.LParam);
            if (FWindowState == wsMaximized) {
                *r = RECT{FForm->Left(), FForm->Top(), FForm->Left() + FForm->Width(),
                          FForm->Top() + FForm->Height()};
            } else if (Magnetic) {
                int l = r->left, t = r->top;
                MagneticMove(l, t, FForm->Width(), FForm->Height());
                *r = RECT{l, t, l + FForm->Width(), t + FForm->Height()};
            }
        }
        break;
    case WM_ENTERSIZEMOVE: {
        POINT c{};
        GetCursorPos(&c);
        FOnMouseDownCoord = TPoint(c.x, c.y);
        if (NCMode() && skinnable) {
            ResetObjectStates();
            FMouseTimer->SetEnabled(false);
            ActiveObject = MouseCaptureObject = -1;
            FSizeMove = true;
            // Our move and size loops always move the whole window.
            FFullDrag = true;
        }
        break;
    }
    case WM_EXITSIZEMOVE:
        if (NCMode() && skinnable) {
            FMouseTimer->SetEnabled(false);
            ActiveObject = OldActiveObject = MouseCaptureObject = -1;
            FSizeMove = FSizing = false;
            if (HasSkin()) SendMessage(h, WM_NCPAINT, 0, 0);
        }
        break;
    case WM_SKIN_BEGINCHANGE:
        if (reinterpret_cast<TspSkinData*>(Message.WParam) == FSD && FSD) {
            FStopPainting = true;
            FSkinSupport = false;
            FMouseTimer->SetEnabled(false);
            FMorphTimer->SetEnabled(false);
            FAnimateTimer->SetEnabled(false);
            ClearObjects();
            DoBeforeChangeSkinData(FSD, FForm);
        }
        break;
    case WM_SKIN_APPLYCHANGE: {
        FStopPainting = false;
        auto* sd = reinterpret_cast<TspSkinData*>(Message.WParam);
        if (sd == FSD && FSD) ApplySkinData();
        DoChangeSkinData(sd, FForm);
        break;
    }
    case WM_SKIN_CLOSEMENU:
        SkinMenuClose();
        break;
    case WM_SKIN_ENDCHANGE:
        if (IsMDIForm() && FSD && reinterpret_cast<TspSkinData*>(Message.WParam) == FSD)
            SendMDIClientResized();
        // Every control has its new look now: the whole window paints again,
        // children after their parents.
        if (FForm->HandleAllocated() && IsWindowVisible(h))
            RedrawWindow(h, nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
        break;
    case WM_SKIN_MDICLIENTRESIZED:
        if (IsMDIChild() && FWindowState == wsMaximized) {
            if (TspSkinnedForm* main = MainSkinForm()) {
                TRect a = main->GetMDIAreaRect();
                FForm->SetBounds(0, 0, a.Width(), a.Height());
            }
        }
        return;
    case WM_SKIN_MDICHILDMAXIMIZED:
        if (IsMDIForm()) {
            FMDIChildMaximized = true;
            SendMessage(h, WM_NCPAINT, 0, 0);
            if (FMainMenuBar) FMainMenuBar->MDIChildMaximize();
        }
        return;
    case WM_SKIN_MDICHILDRESTORED:
        if (IsMDIForm()) {
            FMDIChildMaximized = GetMaximizedMDIChild() != nullptr;
            SendMessage(h, WM_NCPAINT, 0, 0);
            if (FMainMenuBar) FMainMenuBar->MDIChildRestore();
        }
        return;
    case WM_SKIN_RESSTRCHANGED:
        UpdateObjectHints();
        break;
    case WM_SKIN_FORMSKINNABLECHANGED:
        if (!FUseRibbon && FSD && reinterpret_cast<TspSkinData*>(Message.WParam) == FSD)
            SetSkinnableForm(FSD->SkinnableForm());
        break;
    case WM_SKIN_GETSKINSTATE:
        Message.Result = 12853;
        if (!skinnable && IsWindowsVistaOrLater()) Message.Result = 12852;
        return;
    case WM_SKIN_PAINTNCTODC:
        if (!skinnable) break;
        if (Message.WParam && NCMode() && Framed()) {
            if (HasSkin())
                PaintNCSkin(reinterpret_cast<HDC>(Message.WParam), true);
            else if (!FStopPainting)
                PaintNCDefault(reinterpret_cast<HDC>(Message.WParam), true);
        }
        Message.Result = 12851;
        return;
    case WM_SKIN_PRINTNC:
        if (!skinnable || Message.LParam != kPrintNCMark) break;
        if (Message.WParam && NCMode() && Framed()) {
            if (HasSkin())
                PaintNCSkin(reinterpret_cast<HDC>(Message.WParam), true);
            else if (!FStopPainting)
                PaintNCDefault(reinterpret_cast<HDC>(Message.WParam), true);
        }
        Message.Result = kPrintNCMark;
        return;
    case WM_WINDOWPOSCHANGED: {
        auto* wp = reinterpret_cast<WINDOWPOS*>(Message.LParam);
        if (wp && !FSizing) {
            FFormWidth = wp->cx;
            FFormHeight = wp->cy;
        }
        break;
    }
    default:
        break;
    }
    std::weak_ptr<bool> alive = FAlive;
    CallOld(Message);
    if (alive.expired() || !*alive.lock()) return;
    AfterOld(Message);
}

void TspSkinnedForm::HandleNCCalcSize(TMessage& Message) {
    auto* r = reinterpret_cast<RECT*>(Message.LParam);
    if (!r) return;
    if (NCMode() && Framed()) {
        if (CanPaintNCSkin()) {
            CalcSkinRects();
            const TRect& cl = FSD->ClRect;
            r->left += cl.Left;
            r->top += cl.Top;
            r->right += cl.Right - FSD->FPicture->Width();
            r->bottom += cl.Bottom - FSD->FPicture->Height();
        } else {
            r->left += kDefBorder;
            r->top += DefCaptionHeight() + kDefBorder;
            r->right -= kDefBorder;
            r->bottom -= kDefBorder;
        }
        r->right = std::max(r->right, r->left);
        r->bottom = std::max(r->bottom, r->top);
    }
    Message.Result = 0;
}

void TspSkinnedForm::HandleNCActivate(TMessage& Message) {
    if (FLayerManager->IsVisible) FLayerManager->Hide();
    if (FMenuLayerManager->IsVisible) FMenuLayerManager->Hide();
    FFormActive = Message.WParam != 0;
    if (!FFormActive) TestActiveObject(-1, -1, false);
    if (IsMDIChild()) CallOld(Message);
    Message.Result = 1;
    if (!Framed()) {
        UpdateActiveState(false);
    } else {
        SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
        UpdateActiveState(true);
    }
    if (IsMDIChild() && FWindowState == wsMaximized)
        if (TForm* main = Application ? Application->MainForm() : nullptr;
            main && main->HandleAllocated())
            main->Perform(WM_NCPAINT, 0, 0);
    if (FForm->Visible() && ClientInActiveEffect) {
        if (FFormActive)
            HideClientInActiveEffect();
        else
            ShowClientInActiveEffect();
    }
    if (IsMDIChild()) {
        RefreshMainMDIViews();
        UpDateChildActiveInMenu();
    }
}

void TspSkinnedForm::HandleShowWindow(TMessage&) {
    const bool skinnableShow = FSkinnableForm;
    // A form first shown maximized keeps the mark: its first restore centres it.
    if (FStartShow && PositionInMonitor == sppDefault) {
        FStartShow = false;
    } else if (FStartShow && FWindowState == wsNormal) {
        FStartShow = false;
        ApplyPositionInMonitor();
    }
    if (FSD && FSD->AnimationForAllWindows() && FAlphaBlendValue == 0) FAlphaBlendValue = 255;
    bool anim = FAlphaBlend || AlphaBlendAnimation || (FSD && FSD->AnimationForAllWindows());
    if (anim || IsLayeredStartNeeded()) {
        HWND h = FForm->Handle();
        SetWindowLongPtr(h, GWL_EXSTYLE, GetWindowLongPtr(h, GWL_EXSTYLE) | WS_EX_LAYERED);
        SetLayeredWindowAttributes(h, 0, 0, LWA_ALPHA);
        // The border starts as clear as its form and fades in with it.
        if (LayerBorderUsed()) FFormLayerBorder->CheckFormAlpha(0, false);
        SetTimer(h, kShowTimerId, 1, nullptr);
    }
    if (!skinnableShow) return;
    if (NCMode())
        RefreshBounds();
    else
        ArrangeLinkedControls();
}

void TspSkinnedForm::HandleTimer1() {
    HWND h = FForm->Handle();
    KillTimer(h, kShowTimerId);
    TspFormLayerBorder* border = LayerBorderUsed() ? FFormLayerBorder.get() : nullptr;
    if (border) border->SetActive(FFormActive, false);
    auto borderAlpha = [border](int Alpha) {
        if (border) border->CheckFormAlpha(Alpha, true);
    };
    if (IsLayeredStartNeeded()) {
        SetWindowLongPtr(h, GWL_EXSTYLE,
                         GetWindowLongPtr(h, GWL_EXSTYLE) & ~LONG_PTR(WS_EX_LAYERED));
        borderAlpha(255);
        return;
    }
    bool animated = AlphaBlendAnimation || (FSD && FSD->AnimationForAllWindows());
    int target = animated && !FAlphaBlend ? 255 : FAlphaBlendValue;
    if (animated) {
        int step = std::max(1, target / 10);
        std::weak_ptr<bool> alive = FAlive;
        // Pending messages may close the form or change its skin: look again after.
        Application->ProcessMessages();
        if (alive.expired() || !*alive.lock() || !IsWindow(h)) return;
        int alpha = 0;
        auto last = std::chrono::steady_clock::now();
        while (alpha < target) {
            auto now = std::chrono::steady_clock::now();
            if (now - last > std::chrono::milliseconds(5)) {
                alpha = std::min(alpha + step, target);
                SetLayeredWindowAttributes(h, 0, uint8_t(alpha), LWA_ALPHA);
                borderAlpha(alpha);
                last = now;
            }
        }
    } else if (target < 255) {
        SetLayeredWindowAttributes(h, 0, uint8_t(FAlphaBlendValue), LWA_ALPHA);
        borderAlpha(FAlphaBlendValue);
    }
    if (target == 255) {
        SetWindowLongPtr(h, GWL_EXSTYLE,
                         GetWindowLongPtr(h, GWL_EXSTYLE) & ~LONG_PTR(WS_EX_LAYERED));
        borderAlpha(255);
    }
}

void TspSkinnedForm::AfterOld(TMessage& Message) {
    const bool nc = NCMode() && FSkinnableForm;
    auto frame = [&]() {
        TPoint p(LowSigned(Message.LParam), HighSigned(Message.LParam));
        ScreenToFramePoint(p);
        return p;
    };
    switch (Message.Msg) {
    case WM_NCMOUSEMOVE:
        if (nc) {
            TPoint p = frame();
            ObjectsMouseMove(p.X, p.Y);
        }
        break;
    case WM_NCLBUTTONDOWN:
        if (!nc) break;
        if (FSizeMove) {
            FSizeMove = false;
        } else {
            TPoint p = frame();
            TestActiveObject(p.X, p.Y, true);
            ObjectsMouseDown(mbLeft, p.X, p.Y);
        }
        if (Message.WParam == WPARAM(HTCAPTION)) MouseCaptureObject = -1;
        break;
    case WM_NCLBUTTONUP:
        if (nc) {
            TPoint p = frame();
            try {
                ObjectsMouseUp(mbLeft, p.X, p.Y);
            } catch (...) {
                // A frame object's failure on release must not escape the loop.
            }
        }
        break;
    case WM_NCLBUTTONDBLCLK:
        if (!nc) break;
        {
            TPoint p = frame();
            TestActiveObject(p.X, p.Y, true);
            ObjectsMouseDown(mbLeft, p.X, p.Y);
            ObjectsDblClick();
            if (Message.WParam == WPARAM(HTCAPTION)) {
                MouseCaptureObject = -1;
                if (IsSizeAble() && FWindowState == wsMinimized)
                    SetWindowState(wsNormal);
                else if (IsSizeAble() && FWindowState != wsMaximized && !FRollUpState &&
                         (FBorderIcons & biMaximize))
                    SetWindowState(wsMaximized);
                else if (IsSizeAble() && FWindowState == wsMaximized && !MaxRollUpState)
                    SetWindowState(wsNormal);
                else
                    SetRollUpState(!FRollUpState);
            }
        }
        break;
    case WM_NCRBUTTONDOWN:
        if (!nc) break;
        {
            TPoint p = frame();
            TestActiveObject(p.X, p.Y, true);
            ObjectsMouseDown(mbRight, p.X, p.Y);
            if (Message.WParam == WPARAM(HTCAPTION)) {
                MouseCaptureObject = -1;
                if (!DisableSystemMenu) {
                    POINT c{};
                    GetCursorPos(&c);
                    PopupSystemMenuAt(c.x, c.y);
                }
            }
        }
        break;
    case WM_NCRBUTTONUP_:
        if (nc) {
            TPoint p = frame();
            ObjectsMouseUp(mbRight, p.X, p.Y);
        }
        break;
    case WM_NCRBUTTONDBLCLK_:
        if (nc) {
            TPoint p = frame();
            TestActiveObject(p.X, p.Y, true);
            ObjectsMouseDown(mbRight, p.X, p.Y);
            if (Message.WParam == WPARAM(HTCAPTION)) MouseCaptureObject = -1;
        }
        break;
    case WM_MOUSEMOVE:
        if (!NCMode()) {
            int x = LowSigned(Message.LParam), y = HighSigned(Message.LParam);
            ObjectsMouseMove(x, y);
            if (FIsDragging) {
                POINT c{};
                GetCursorPos(&c);
                if (c.x != FOldX || c.y != FOldY) {
                    int l = FForm->Left() + c.x - FOldX, t = FForm->Top() + c.y - FOldY;
                    if (Magnetic) MagneticMove(l, t, FForm->Width(), FForm->Height());
                    FForm->SetBounds(l, t, FForm->Width(), FForm->Height());
                    FOldX = c.x;
                    FOldY = c.y;
                }
            }
        }
        break;
    case WM_LBUTTONDOWN:
        if (!NCMode()) {
            POINT c{};
            GetCursorPos(&c);
            FOnMouseDownCoord = TPoint(c.x, c.y);
            ObjectsMouseDown(mbLeft, LowSigned(Message.LParam), HighSigned(Message.LParam));
        }
        break;
    case WM_LBUTTONUP:
        if (NCMode())
            ObjectsMouseUp(mbLeft, -1, -1);
        else
            ObjectsMouseUp(mbLeft, LowSigned(Message.LParam), HighSigned(Message.LParam));
        break;
    case WM_LBUTTONDBLCLK:
        ObjectsMouseDown(mbLeft, LowSigned(Message.LParam), HighSigned(Message.LParam));
        ObjectsDblClick();
        CaptionDblClick();
        break;
    case WM_RBUTTONDOWN:
        if (!NCMode())
            ObjectsMouseDown(mbRight, LowSigned(Message.LParam), HighSigned(Message.LParam));
        break;
    case WM_RBUTTONUP:
        if (NCMode())
            ObjectsMouseUp(mbRight, -1, -1);
        else
            ObjectsMouseUp(mbRight, LowSigned(Message.LParam), HighSigned(Message.LParam));
        break;
    case WM_RBUTTONDBLCLK:
        ObjectsMouseDown(mbRight, LowSigned(Message.LParam), HighSigned(Message.LParam));
        break;
    default:
        break;
    }
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

// ---- Non-client painting -----------------------------------------------------------------------

void TspSkinnedForm::PaintNCSkin(HDC ADC, bool AUseExternalDC) {
    if (!CanPaintNCSkin()) return;
    if (FFormWidth == 0 || FFormHeight == 0) {
        FFormWidth = FForm->Width();
        FFormHeight = FForm->Height();
    }
    if (FFormWidth < GetMinWidth() || FFormHeight < GetMinHeight()) return;
    CalcSkinRects();
    CalcObjectRects();
    bool active = GetFormActive();
    TBitmap* src = FSD->FPicture.get();
    if (!active && FSD->FInActivePicture && FSD->FInActivePicture->Width() > 0)
        src = FSD->FInActivePicture.get();
    TBitmap left, top, right, bottom;
    BuildSkinBorderImages(FSD->LTPoint, FSD->RTPoint, FSD->LBPoint, FSD->RBPoint, FSD->ClRect,
                          NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint, NewClRect, &left, &top,
                          &right, &bottom, src, TRect(0, 0, src->Width(), src->Height()),
                          FFormWidth, FFormHeight, FSD->LeftStretch, FSD->TopStretch,
                          FSD->RightStretch, FSD->BottomStretch);
    for (size_t i = 0; i < ObjectList.size(); ++i) {
        TspActiveSkinObject* o = ObjectList[i].get();
        if (!o->Visible || !IsObjectVisibleInState(o->RollUp)) continue;
        if (o->ObjectRect.Bottom > NewClRect.Top) {
            TRect keep = o->ObjectRect;
            o->ObjectRect = Offset(keep, 0, -NewClRect.Bottom);
            o->Draw(bottom.Canvas(), false);
            o->ObjectRect = keep;
        } else {
            o->Draw(top.Canvas(), false);
        }
    }
    if (!active && FSD->AutoRenderingInActiveImage)
        for (TBitmap* b : {&left, &top, &right, &bottom})
            ApplyInActiveEffect(b, FSD->InActiveEffect);
    HWND h = FForm->Handle();
    HDC dc = AUseExternalDC ? ADC : GetWindowDC(h);
    if (!dc) return;
    int save = SaveDC(dc);
    if (!NewClRect.IsEmpty())
        ExcludeClipRect(dc, NewClRect.Left, NewClRect.Top, NewClRect.Right, NewClRect.Bottom);
    BlitBitmap(dc, 0, 0, &top);
    BlitBitmap(dc, 0, top.Height(), &left);
    BlitBitmap(dc, FFormWidth - right.Width(), top.Height(), &right);
    BlitBitmap(dc, 0, FFormHeight - bottom.Height(), &bottom);
    RestoreDC(dc, save);
    if (!AUseExternalDC) ReleaseDC(h, dc);
}

void TspSkinnedForm::PaintNCDefault(HDC ADC, bool AUseExternalDC) {
    if (FSD && FSD->ChangeSkinDataProcess) return;
    if (FFormWidth == 0 || FFormHeight == 0) {
        FFormWidth = FForm->Width();
        FFormHeight = FForm->Height();
    }
    if (ObjectList.empty() && !FSkinSupport) CreateDefaultButtons();
    CalcDefRects();
    const int H = DefCaptionHeight();
    const int bw = FFormWidth - 2 * kDefBorder;
    if (bw <= 0 || FFormHeight <= 0) return;
    TBitmap cap(bw, H);
    TCanvas* c = cap.Canvas();
    c->Brush()->SetColor(clBtnFace);
    c->FillRect(TRect(0, 0, bw, H));
    int L = NewDefCaptionRect.Left - kDefBorder;
    int Rm = bw - (NewDefCaptionRect.Right - kDefBorder);
    if (H - 4 > 1)
        for (int i = 0; i < H - 5; ++i) {
            c->Pen()->SetColor(i % 2 == 0 ? clBtnHighlight : clBtnShadow);
            c->MoveTo(L + 2, 2 + i);
            c->LineTo(bw - Rm - 6, 2 + i);
        }
    bool active = GetFormActive();
    c->Font()->Assign(active ? FDefCaptionFont.get() : FDefInActiveCaptionFont.get());
    if (FSD && FSD->ResourceStrData()) c->Font()->SetCharset(FSD->ResourceStrData()->CharSet());
    std::string text = FrameCaptionText();
    if (OnCaptionPaint) {
        OnCaptionPaint(c, TRect(L, 0, bw - Rm - 3, H), active);
    } else if (!text.empty()) {
        int avail = bw - L - Rm;
        FitTextToWidth(c, text, std::max(0, avail));
        int tw = c->TextWidth(text), th = c->TextHeight(text);
        int x = L + avail / 2 - (tw + 5) / 2;
        int y = H / 2 - th / 2;
        TRect box(x - 2, y - 2, x + tw + 2, y + th + 2);
        c->Brush()->SetColor(clBtnFace);
        c->FillRect(box);
        c->Brush()->SetStyle(bsClear);
        c->TextOut(x, y, text);
        c->Brush()->SetStyle(bsSolid);
    }
    for (auto& o : ObjectList) {
        if (!o->Visible) continue;
        TRect keep = o->ObjectRect;
        o->ObjectRect = Offset(keep, -kDefBorder, -kDefBorder);
        o->Draw(c, false);
        o->ObjectRect = keep;
    }
    HWND h = FForm->Handle();
    HDC dc = AUseExternalDC ? ADC : GetWindowDC(h);
    if (!dc) return;
    int save = SaveDC(dc);
    ExcludeClipRect(dc, kDefBorder, H + kDefBorder, FFormWidth - kDefBorder,
                    FFormHeight - kDefBorder);
    BlitBitmap(dc, kDefBorder, kDefBorder, &cap);
    TCanvas wc;
    wc.SetHandle(dc);
    TRect r(0, 0, FFormWidth, FFormHeight);
    const TColor tl[3] = {cl3DLight, clBtnHighlight, clBtnFace};
    const TColor br[3] = {cl3DDkShadow, clBtnShadow, clBtnFace};
    for (int i = 0; i < 3; ++i) {
        wc.Pen()->SetColor(tl[i]);
        wc.MoveTo(r.Left, r.Bottom - 1);
        wc.LineTo(r.Left, r.Top);
        wc.LineTo(r.Right - 1, r.Top);
        wc.Pen()->SetColor(br[i]);
        wc.MoveTo(r.Right - 1, r.Top);
        wc.LineTo(r.Right - 1, r.Bottom - 1);
        wc.LineTo(r.Left - 1, r.Bottom - 1);
        r = TRect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
    }
    wc.SetHandle(nullptr);
    RestoreDC(dc, save);
    // A frame that starts in the caption is the band below it, also part of the frame.
    if (!AUseExternalDC) ReleaseDC(h, dc);
}

void TspSkinnedForm::DrawSkinObject(TspActiveSkinObject* AObject) {
    if (!IsObjectVisibleInState(AObject->RollUp) || !FForm->HandleAllocated()) return;
    HWND h = FForm->Handle();
    if (!IsWindowVisible(h) || FStopPainting) return;
    if (NCMode() && !Framed()) return;
    HDC dc = NCMode() ? GetWindowDC(h) : GetDC(h);
    if (!dc) return;
    TCanvas c;
    c.SetHandle(dc);
    AObject->Draw(&c, true);
    c.SetHandle(nullptr);
    ReleaseDC(h, dc);
}

void TspSkinnedForm::UpdateDefaultCaptionText() {
    for (auto& o : ObjectList)
        if (auto* c = dynamic_cast<TspSkinCaptionObject*>(o.get()); c && c->DefaultCaption) {
            c->SetTextValue(FForm->Caption());
        }
}

// ---- Background ---------------------------------------------------------------------------------

void TspSkinnedForm::FillBackground(HDC DC, TBitmap* S, bool Stretch, TspStretchType Type) {
    int CW = FForm->ClientWidth(), CH = FForm->ClientHeight();
    if (CW <= 0 || CH <= 0 || !S) return;
    int w = S->Width(), h = S->Height();
    TCanvas c;
    c.SetHandle(DC);
    // A picture without pixels has nothing to tile or stretch.
    if (w > 0 && h > 0) {
        int W = FFormWidth > 0 ? FFormWidth : FForm->Width();
        int H = FFormHeight > 0 ? FFormHeight : FForm->Height();
        if (Stretch) {
            if (Type == spstFull) {
                c.StretchDraw(TRect(0, 0, W, H), S);
            } else if (Type == spstHorz) {
                TBitmap b(w, H);
                b.Canvas()->StretchDraw(TRect(0, 0, w, H), S);
                for (int i = 0; i <= W / w; ++i)
                    c.Draw(i * w, 0, &b);
            } else {
                TBitmap b(W, h);
                b.Canvas()->StretchDraw(TRect(0, 0, W, h), S);
                for (int i = 0; i <= H / h; ++i)
                    c.Draw(0, i * h, &b);
            }
        } else {
            for (int y = 0; y <= CH / h; ++y)
                for (int x = 0; x <= CW / w; ++x)
                    c.Draw(x * w, y * h, S);
        }
    }
    if (!FLogoBitMap->Empty()) DrawLogo(&c);
    c.SetHandle(nullptr);
}

void TspSkinnedForm::DrawLogo(TCanvas* C) {
    int x = std::max(0, FForm->ClientWidth() / 2 - FLogoBitMap->Width() / 2);
    int y = std::max(0, FForm->ClientHeight() / 2 - FLogoBitMap->Height() / 2);
    FLogoBitMap->SetTransparent(LogoBitMapTransparent);
    C->Draw(x, y, FLogoBitMap.get());
}

void TspSkinnedForm::PaintBG(HDC DC) {
    if (!HasSkin()) return;
    if (FSD->ClRect.IsEmpty()) {
        TCanvas c;
        c.SetHandle(DC);
        c.Brush()->SetColor(clBtnFace);
        c.FillRect(FForm->ClientRect());
        c.SetHandle(nullptr);
        return;
    }
    TBitmap part(FSD->ClRect.Width(), FSD->ClRect.Height());
    part.Canvas()->CopyRect(TRect(0, 0, part.Width(), part.Height()), FSD->FPicture->Canvas(),
                            FSD->ClRect);
    FillBackground(DC, &part, FSD->StretchEffect, FSD->StretchType);
}

void TspSkinnedForm::PaintBG2(HDC DC) {
    if (!HasSkin()) return;
    int i = FSD->BGPictureIndex;
    if (i < 0 || i >= int(FSD->FActivePictures.size())) {
        PaintBG(DC);
        return;
    }
    FillBackground(DC, FSD->FActivePictures[size_t(i)].get(), FSD->StretchEffect, FSD->StretchType);
}

void TspSkinnedForm::PaintBGDefault(HDC DC) {
    TCanvas c;
    c.SetHandle(DC);
    c.Brush()->SetColor(clBtnFace);
    c.FillRect(FForm->ClientRect());
    if (!FLogoBitMap->Empty()) DrawLogo(&c);
    c.SetHandle(nullptr);
}

void TspSkinnedForm::Paint(HDC DC) {
    if (FFormWidth == 0 || FFormHeight == 0) {
        FFormWidth = FForm->Width();
        FFormHeight = FForm->Height();
    }
    TCanvas c;
    c.SetHandle(DC);
    if (!HasSkin()) {
        c.Brush()->SetColor(clBtnFace);
        c.Pen()->SetColor(clBlack);
        c.Rectangle(FForm->ClientRect());
        c.SetHandle(nullptr);
        return;
    }
    TBitmap img;
    TBitmap* pic = FSD->FPicture.get();
    TBitmap* rolled = FSD->FRollUpPicture.get();
    bool corners = FSD->LTPoint.X || FSD->LTPoint.Y || FSD->RBPoint.X || FSD->RBPoint.Y;
    if (FRollUpState && rolled && !rolled->Empty()) {
        if (FSD->RollUpLeftPoint.X < FSD->RollUpRightPoint.X)
            BuildHorzSkinImage(FSD->RollUpLeftPoint.X, rolled->Width() - FSD->RollUpRightPoint.X,
                               &img, rolled, TRect(0, 0, rolled->Width(), rolled->Height()),
                               FFormWidth, rolled->Height(), false);
        else
            img.Assign(rolled);
    } else if (corners) {
        CalcSkinRects();
        BuildSkinImage(FSD->LTPoint, FSD->RTPoint, FSD->LBPoint, FSD->RBPoint, FSD->ClRect,
                       NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint, NewClRect, &img, pic,
                       TRect(0, 0, pic->Width(), pic->Height()), FFormWidth, FFormHeight, true,
                       FSD->LeftStretch, FSD->TopStretch, FSD->RightStretch, FSD->BottomStretch,
                       FSD->StretchEffect, FSD->StretchType);
    } else {
        img.Assign(pic);
    }
    for (auto& o : ObjectList)
        if (o->Visible && o->RollUp == FRollUpState) o->Draw(img.Canvas(), false);
    if (FWindowState == wsNormal) DrawSizeGrip(img.Canvas());
    c.Draw(0, 0, &img);
    c.SetHandle(nullptr);
}

void TspSkinnedForm::DrawSizeGrip(TCanvas* C) {
    if (!HasSkin() || FSD->StatusBarName.empty() || FSizeGripArea.IsEmpty()) return;
    int i = FSD->GetControlIndex(FSD->StatusBarName);
    if (i < 0) return;
    auto* d = dynamic_cast<TspDataSkinPanelControl*>(FSD->CtrlList[size_t(i)].get());
    if (!d || d->GripperRect.IsEmpty()) return;
    TBitmap* p = PictureAt(FSD, d->PictureIndex);
    if (!p) return;
    TBitmap g(d->GripperRect.Width(), d->GripperRect.Height());
    g.Canvas()->CopyRect(TRect(0, 0, g.Width(), g.Height()), p->Canvas(), d->GripperRect);
    if (d->GripperTransparent) {
        g.SetTransparentMode(tmFixed);
        g.SetTransparentColor(d->GripperTransparentColor);
        g.SetTransparent(true);
    }
    C->Draw(FSizeGripArea.Left, FSizeGripArea.Top, &g);
}

namespace {

// An icon's pixels scaled to W x H by averaging (colour weighted by alpha).
std::vector<uint32_t> ScaleIcon(const TIcon& I, int W, int H) {
    std::vector<uint32_t> out(size_t(W) * size_t(H));
    const int sw = I.Width(), sh = I.Height();
    const auto& px = I.Pixels();
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            int x0 = x * sw / W, x1 = std::max(x0 + 1, (x + 1) * sw / W);
            int y0 = y * sh / H, y1 = std::max(y0 + 1, (y + 1) * sh / H);
            double a = 0, r = 0, g = 0, b = 0;
            int n = 0;
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx, ++n) {
                    uint32_t c = px[size_t(sy) * size_t(sw) + size_t(sx)];
                    double ca = (c >> 24) / 255.0;
                    a += ca;
                    r += ca * ((c >> 16) & 0xFF);
                    g += ca * ((c >> 8) & 0xFF);
                    b += ca * (c & 0xFF);
                }
            uint32_t v = 0;
            if (a > 0)
                v = uint32_t(std::lround(a / n * 255)) << 24 | uint32_t(std::lround(r / a)) << 16 |
                    uint32_t(std::lround(g / a)) << 8 | uint32_t(std::lround(b / a));
            out[size_t(y) * size_t(W) + size_t(x)] = v;
        }
    return out;
}

// The icon of a program that has none of its own: a small window.
std::vector<uint32_t> DefaultAppIcon(int W, int H) {
    std::vector<uint32_t> out(size_t(W) * size_t(H), 0);
    const uint32_t frame = 0xFF3C4650, bar = 0xFF5A7AB4, body = 0xFFF4F5F7;
    const int bh = std::max(2, H / 4);
    for (int y = 1; y < H - 1; ++y)
        for (int x = 1; x < W - 1; ++x) {
            bool edge = y == 1 || y == H - 2 || x == 1 || x == W - 2;
            out[size_t(y) * size_t(W) + size_t(x)] = edge ? frame : y <= bh ? bar : body;
        }
    return out;
}

} // namespace

void TspSkinnedForm::CreateFormIcon() {
    if (FIcon) return;
    FIcon = std::make_unique<TIcon>();
    int w = GetSystemMetrics(SM_CXSMICON), h = GetSystemMetrics(SM_CYSMICON);
    if (w <= 0 || h <= 0) w = GetSystemMetrics(SM_CXSIZE), h = GetSystemMetrics(SM_CYSIZE);
    if (w <= 0 || h <= 0) w = h = 16;
    const TIcon* source = !FForm->Icon.Empty() ? &FForm->Icon : nullptr;
    if (!source && Application && !Application->Icon.Empty()) source = &Application->Icon;
    FIcon->SetPixels(w, h, source ? ScaleIcon(*source, w, h) : DefaultAppIcon(w, h));
}

void TspSkinnedForm::DrawFormIcon(TCanvas* C, int X, int Y) {
    CreateFormIcon();
    const int w = FIcon->Width(), h = FIcon->Height();
    const auto& px = FIcon->Pixels();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t c = px[size_t(y) * size_t(w) + size_t(x)];
            unsigned a = c >> 24;
            if (!a) continue;
            TColor under = ColorToRGB(C->Pixels(X + x, Y + y));
            auto mix = [a](unsigned top, unsigned bottom) {
                return (top * a + bottom * (255 - a) + 127) / 255;
            };
            unsigned r = mix((c >> 16) & 0xFF, under & 0xFF);
            unsigned g = mix((c >> 8) & 0xFF, (under >> 8) & 0xFF);
            unsigned b = mix(c & 0xFF, (under >> 16) & 0xFF);
            C->SetPixel(X + x, Y + y, TColor(r | g << 8 | b << 16));
        }
}

// ---- Hit testing, size limits, regions ---------------------------------------------------------

bool TspSkinnedForm::CaptionObjectAt(TPoint P) const {
    for (auto& o : ObjectList)
        if (dynamic_cast<TspSkinCaptionObject*>(o.get()) && IsObjectVisibleInState(o->RollUp) &&
            PtIn(o->ObjectRect, P))
            return true;
    return false;
}

bool TspSkinnedForm::OnBorder(TPoint P) {
    int B = FSD->BorderW;
    const TPoint probes[4] = {TPoint(P.X - B, P.Y), TPoint(P.X, P.Y - B), TPoint(P.X + B, P.Y),
                              TPoint(P.X, P.Y + B)};
    bool mask = FSD->FMask && !FSD->FMask->Empty();
    if (!mask) {
        TRect w(0, 0, FFormWidth, FFormHeight);
        for (auto& q : probes)
            if (!PtIn(w, q)) return true;
        return false;
    }
    if (PtIn(NewMaskRectArea, P)) return false;
    for (auto& q : probes)
        if (!PointInSkinMask(q)) return true;
    return false;
}

LRESULT TspSkinnedForm::BorderZone(TPoint P) const {
    int x = P.X, y = P.Y;
    if (x <= NewHitTestLTPoint.X && y <= NewHitTestLTPoint.Y) return HTTOPLEFT;
    if (x >= NewHitTestRTPoint.X && y <= NewHitTestRTPoint.Y) return HTTOPRIGHT;
    if (x <= NewHitTestLBPoint.X && y >= NewHitTestLBPoint.Y) return HTBOTTOMLEFT;
    if (x >= NewHitTestRBPoint.X && y >= NewHitTestRBPoint.Y) return HTBOTTOMRIGHT;
    if (PtIn(TRect(NewHitTestLTPoint.X, 0, NewHitTestRTPoint.X, NewClRect.Top), P)) return HTTOP;
    if (PtIn(TRect(NewHitTestLBPoint.X, NewClRect.Bottom, NewHitTestRBPoint.X, FFormHeight), P))
        return HTBOTTOM;
    if (PtIn(TRect(0, NewHitTestLTPoint.Y, NewClRect.Left, NewHitTestLBPoint.Y), P)) return HTLEFT;
    if (PtIn(TRect(NewClRect.Right, NewHitTestRTPoint.Y, FFormWidth, NewHitTestRBPoint.Y), P))
        return HTRIGHT;
    return HTNOWHERE;
}

LRESULT TspSkinnedForm::HitTestSkin(TPoint P) {
    if (FRollUpState || FWindowState == wsMinimized)
        return CaptionObjectAt(P) ? HTCAPTION : HTOBJECT;
    if (ActiveObject != -1 && !CaptionObjectAt(P) && !PtIn(NewClRect, P) && !FSizeMove)
        return HTOBJECT;
    if (FWindowState != wsMaximized && Sizeable) {
        if (!OnBorder(P)) {
            if (PtIn(NewClRect, P)) return HTCLIENT;
            return CaptionObjectAt(P) ? HTCAPTION : HTOBJECT;
        }
        if (LRESULT z = BorderZone(P); z != HTNOWHERE) return z;
    }
    if (PtIn(NewClRect, P)) return HTCLIENT;
    return CaptionObjectAt(P) ? HTCAPTION : HTOBJECT;
}

LRESULT TspSkinnedForm::HitTestClientSkin(TPoint P) {
    if (!Sizeable || FWindowState == wsMaximized || FRollUpState || ActiveObject != -1 ||
        !HasSkin())
        return HTCLIENT;
    if (!FSizeGripArea.IsEmpty() && PtIn(FSizeGripArea, P)) return HTBOTTOMRIGHT;
    if (!OnBorder(P)) return HTCLIENT;
    LRESULT z = BorderZone(P);
    return z == HTNOWHERE ? HTCLIENT : z;
}

LRESULT TspSkinnedForm::HitTestDefault(TPoint P) {
    int W = FForm->Width(), H = FForm->Height();
    if (FWindowState != wsMaximized && !FRollUpState && FWindowState != wsMinimized && Sizeable) {
        if (ActiveObject != -1) return HTOBJECT;
        bool l = P.X <= 2, r = P.X >= W - 2, t = P.Y <= 2, b = P.Y >= H - 2;
        if (l && t) return HTTOPLEFT;
        if (r && t) return HTTOPRIGHT;
        if (l && b) return HTBOTTOMLEFT;
        if (r && b) return HTBOTTOMRIGHT;
        if (l) return HTLEFT;
        if (t) return HTTOP;
        if (r) return HTRIGHT;
        if (b) return HTBOTTOM;
    }
    if (PtIn(NewDefCaptionRect, P)) return HTCAPTION;
    if (PtIn(TRect(kDefBorder, DefCaptionHeight() + kDefBorder, W - kDefBorder, H - kDefBorder), P))
        return HTCLIENT;
    return HTOBJECT;
}

bool TspSkinnedForm::PointInSkinMask(TPoint P) {
    if (PtIn(NewMaskRectArea, P)) return true;
    auto black = [](TBitmap* b, int x, int y) {
        if (!b || x < 0 || y < 0 || x >= b->Width() || y >= b->Height()) return false;
        return (ColorToRGB(b->Canvas()->Pixels(x, y)) & 0xFFFFFF) == 0;
    };
    if (P.Y <= NewMaskRectArea.Top) return black(RMTop.get(), P.X, P.Y);
    if (P.Y >= NewMaskRectArea.Bottom)
        return black(RMBottom.get(), P.X, P.Y - NewMaskRectArea.Bottom);
    if (P.X > NewMaskRectArea.Left)
        return black(RMRight.get(), P.X - NewMaskRectArea.Right, P.Y - NewMaskRectArea.Top);
    return black(RMLeft.get(), P.X, P.Y - NewMaskRectArea.Top);
}

int TspSkinnedForm::GetMinWidth() const {
    if (NCMode()) {
        if (!HasSkin()) return MinWidth > 0 ? MinWidth : 130;
        int picW = FSD->FPicture->Width();
        if (MinWidth > picW && FWindowState != wsMinimized) return MinWidth;
        if (FSD->FormMinWidth > 0)
            return FWindowState == wsMinimized ? FSD->FormMinWidth
                                               : std::max(FSD->FormMinWidth, MinWidth);
        return picW;
    }
    if (!HasSkin()) return 0;
    int picW = FSD->FPicture->Width();
    return MinWidth == 0 ? picW : std::min(MinWidth, picW);
}

int TspSkinnedForm::GetMinHeight() const {
    if (NCMode()) {
        int F = HasSkin() ? FSD->FPicture->Height() - FSD->ClRect.Height() : DefCaptionHeight() + 6;
        if (F >= MinHeight || FRollUpState || FWindowState == wsMinimized) return F;
        return MinHeight;
    }
    if (!HasSkin()) return 0;
    int picH = FSD->FPicture->Height();
    return MinHeight == 0 ? picH : std::min(MinHeight, picH);
}

int TspSkinnedForm::GetMaxWidth() const {
    TRect area;
    GetMonitorArea(FForm->HandleAllocated() ? const_cast<TForm*>(FForm)->Handle() : 0,
                   !MaximizeOnFullScreen, area);
    int w = area.Width();
    return MaxWidth != 0 && MaxWidth < w ? MaxWidth : w;
}

int TspSkinnedForm::GetMaxHeight() const {
    TRect area;
    GetMonitorArea(FForm->HandleAllocated() ? const_cast<TForm*>(FForm)->Handle() : 0,
                   !MaximizeOnFullScreen, area);
    int h = area.Height();
    return MaxHeight != 0 && MaxHeight < h ? MaxHeight : h;
}

void TspSkinnedForm::ReleaseRegion() {
    // The window owns a region once it is set and frees it when it is replaced.
    if (FForm->HandleAllocated() && FRgn) SetWindowRgn(FForm->Handle(), nullptr, 1);
    FRgn = nullptr;
}

void TspSkinnedForm::SetSkinRegion(bool AUpdate) {
    if (!FForm->HandleAllocated()) return;
    HWND h = FForm->Handle();
    if (!FSkinnableForm || (NCMode() && FForm->BorderStyle == bsNone)) {
        ReleaseRegion();
        return;
    }
    bool mask = FSD && !FSD->Empty && FSD->FMask && !FSD->FMask->Empty();
    if (!FSD || FSD->Empty || !mask) {
        if (!FSD || FSD->Empty)
            for (TBitmap* b : {RMTop.get(), RMBottom.get(), RMLeft.get(), RMRight.get()})
                b->SetSize(0, 0);
        int w = FFormWidth > 0 ? FFormWidth : FForm->Width();
        int hh = FFormHeight > 0 ? FFormHeight : FForm->Height();

        FRgn = CreateRectRgn(0, 0, w, hh);
        SetWindowRgn(h, FRgn, 1);
        return;
    }
    HRGN rgn = nullptr;
    if (AUpdate) {
        BuildSkinMaskSides(FSD->LTPoint, FSD->RTPoint, FSD->LBPoint, FSD->RBPoint,
                           FSD->MaskRectArea, NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint,
                           NewMaskRectArea, FSD->FMask.get(), RMTop.get(), RMLeft.get(),
                           RMRight.get(), RMBottom.get(), FFormWidth, FFormHeight);
        rgn = CreateRectRgn(NewMaskRectArea.Left, NewMaskRectArea.Top, NewMaskRectArea.Right,
                            NewMaskRectArea.Bottom);
        auto add = [&](TBitmap* m, int x, int y) {
            std::vector<uint8_t> data;
            if (MaskToRegionData(m, x, y, data) == 0) return;
            HRGN part = ExtCreateRegion(nullptr, DWORD(data.size()),
                                        reinterpret_cast<const RGNDATA*>(data.data()));
            if (!part) return;
            CombineRgn(rgn, rgn, part, RGN_OR);
            DeleteObject(part);
        };
        add(RMTop.get(), 0, 0);
        add(RMBottom.get(), 0, NewMaskRectArea.Bottom);
        add(RMLeft.get(), 0, NewMaskRectArea.Top);
        add(RMRight.get(), NewMaskRectArea.Right, NewMaskRectArea.Top);
    } else {
        MaskToRegion(rgn, FSD->FMask.get());
        if (!rgn) return;
    }

    FRgn = rgn;
    SetWindowRgn(h, FRgn, 1);
}

void TspSkinnedForm::SetRollUpRegion() {
    if (!FForm->HandleAllocated()) return;
    TBitmap* m = FSD ? FSD->FRollUpMask.get() : nullptr;
    if (!m || m->Empty()) {
        ReleaseRegion();
        return;
    }
    TBitmap wide;
    TBitmap* src = m;
    if (FSD->RollUpLeftPoint.X < FSD->RollUpRightPoint.X && FForm->Width() > 0) {
        int l = FSD->RollUpLeftPoint.X, r = m->Width() - FSD->RollUpRightPoint.X;
        BuildHorzSkinImage(l, r, &wide, m, TRect(0, 0, m->Width(), m->Height()), FForm->Width(),
                           m->Height(), false);
        src = &wide;
    }
    HRGN rgn = nullptr;
    MaskToRegion(rgn, src);
    if (!rgn) return;
    FRgn = rgn;
    SetWindowRgn(FForm->Handle(), FRgn, 1);
}

bool TspSkinnedForm::CanPaintNCSkin() const {
    return NCMode() && HasSkin() && !FSD->ClRect.IsEmpty();
}

// ---- Frame layout ------------------------------------------------------------------------------

void TspSkinnedForm::CalcSkinRects() {
    if (!HasSkin()) return;
    if (FFormWidth == 0 || FFormHeight == 0) {
        FFormWidth = FForm->Width();
        FFormHeight = FForm->Height();
    }
    int picW = FSD->FPicture->Width(), picH = FSD->FPicture->Height();
    int dx = FFormWidth - picW, dy = FFormHeight - picH;
    NewLTPoint = FSD->LTPoint;
    NewRTPoint = TPoint(FSD->RTPoint.X + dx, FSD->RTPoint.Y);
    NewLBPoint = TPoint(FSD->LBPoint.X, FSD->LBPoint.Y + dy);
    NewRBPoint = TPoint(FSD->RBPoint.X + dx, FSD->RBPoint.Y + dy);
    NewClRect = FSD->ClRect;
    NewClRect.Right += dx;
    NewClRect.Bottom += dy;
    NewCaptionRect = FSD->CaptionRect;
    if (!NewCaptionRect.IsEmpty()) NewCaptionRect.Right += dx;
    NewButtonsRect = FSD->ButtonsRect;
    NewButtonsInLeft = FSD->CapButtonsInLeft;
    if (!FSD->ButtonsRect.IsEmpty() && FSD->ButtonsRect.Left > picW / 2)
        NewButtonsRect = Offset(NewButtonsRect, dx, 0);
    NewButtonsOffset = FSD->ButtonsOffset;
    NewHitTestLTPoint = FSD->HitTestLTPoint;
    NewHitTestRTPoint = TPoint(FSD->HitTestRTPoint.X + dx, FSD->HitTestRTPoint.Y);
    NewHitTestLBPoint = TPoint(FSD->HitTestLBPoint.X, FSD->HitTestLBPoint.Y + dy);
    NewHitTestRBPoint = TPoint(FSD->HitTestRBPoint.X + dx, FSD->HitTestRBPoint.Y + dy);
    NewMaskRectArea = FSD->MaskRectArea;
    NewMaskRectArea.Right += dx;
    NewMaskRectArea.Bottom += dy;
    NewIconRect = MapSkinRect(FSD->IconRect);
    NewMainMenuRect = FSD->MainMenuRect;
    if (IsStretchableSkin()) {
        NewMainMenuRect.Right += dx;
        if (PtIn(TRect(0, FSD->LBPoint.Y, FSD->LBPoint.X, picH), FSD->MainMenuRect.TopLeft()))
            NewMainMenuRect = Offset(NewMainMenuRect, 0, dy);
    }
}

bool TspSkinnedForm::IsStretchableSkin() const {
    return HasSkin() && FSD->RBPoint.X != FSD->LTPoint.X && FSD->RBPoint.Y != FSD->LTPoint.Y;
}

TRect TspSkinnedForm::MapSkinRect(TRect R) const {
    if (!HasSkin()) return R;
    int picW = FSD->FPicture->Width(), picH = FSD->FPicture->Height();
    TRect LT(0, 0, FSD->LTPoint.X, FSD->LTPoint.Y);
    TRect LB(0, FSD->LBPoint.Y, FSD->LBPoint.X, picH);
    TRect RT(FSD->RTPoint.X, 0, picW, FSD->RTPoint.Y);
    TRect RB(FSD->RBPoint.X, FSD->RBPoint.Y, picW, picH);
    int dx = NewRBPoint.X - FSD->RBPoint.X, dy = NewRBPoint.Y - FSD->RBPoint.Y;
    if (LT.IsEmpty() && LB.IsEmpty() && RT.IsEmpty() && RB.IsEmpty()) return R;
    auto inside = [](const TRect& A, const TRect& B) {
        return PtIn(B, A.TopLeft()) && PtIn(B, A.BottomRight());
    };
    if (inside(R, LT)) return R;
    if (inside(R, RT)) return Offset(R, dx, 0);
    if (inside(R, LB)) return Offset(R, 0, dy);
    if (inside(R, RB)) return Offset(R, dx, dy);
    TPoint tl = R.TopLeft(), br = R.BottomRight();
    if (PtIn(LT, tl) && PtIn(RB, br)) return TRect(R.Left, R.Top, R.Right + dx, R.Bottom + dy);
    if (PtIn(LT, tl) && PtIn(RT, br)) return TRect(R.Left, R.Top, R.Right + dx, R.Bottom);
    if (PtIn(LB, tl) && PtIn(RB, br)) return TRect(R.Left, R.Top + dy, R.Right + dx, R.Bottom + dy);
    if (PtIn(LT, tl) && PtIn(LB, br)) return TRect(R.Left, R.Top, R.Right, R.Bottom + dy);
    if (PtIn(RT, tl) && PtIn(RB, br)) return TRect(R.Left + dx, R.Top, R.Right + dx, R.Bottom + dy);
    return R;
}

void TspSkinnedForm::CalcObjectRects() {
    for (auto& o : ObjectList)
        if (!dynamic_cast<TspSkinMainMenuItem*>(o.get())) o->ObjectRect = MapSkinRect(o->SkinRect);
    // Main-menu items line up in the menu rect, each after the one before.
    for (auto* i : MainMenuItems())
        i->Layout();
    FSizeGripArea =
        HasSkin() && !FSD->SizeGripArea.IsEmpty() ? MapSkinRect(FSD->SizeGripArea) : TRect();
    if (!NCMode()) return;
    TRect ref;
    bool fromCaption = false;
    if (!NewButtonsRect.IsEmpty())
        ref = NewButtonsRect;
    else if (!NewCaptionRect.IsEmpty()) {
        ref = NewCaptionRect;
        fromCaption = true;
    } else
        return;
    auto placeable = [&](TStdCommand C) -> TspSkinStdButtonObject* {
        for (auto& o : ObjectList)
            if (auto* b = dynamic_cast<TspSkinStdButtonObject*>(o.get()))
                if (b->Visible && b->SkinRectInAPicture && b->Command == C) return b;
        return nullptr;
    };
    TspSkinCaptionObject* caption = nullptr;
    for (auto& o : ObjectList)
        if ((caption = dynamic_cast<TspSkinCaptionObject*>(o.get()))) break;
    int Y = ref.Top;
    const TStdCommand order[5] = {cmClose, cmMaximize, cmMinimize, cmRollUp, cmMinimizeToTray};
    std::vector<TspSkinStdButtonObject*> run;
    for (TStdCommand c : order)
        if (auto* b = placeable(c)) run.push_back(b);
    for (auto& o : ObjectList)
        if (auto* b = dynamic_cast<TspSkinStdButtonObject*>(o.get()))
            if (b->Visible && b->SkinRectInAPicture && b->Command == cmDefault) run.push_back(b);
    TspSkinStdButtonObject* sys = placeable(cmSysMenu);
    auto sizeOf = [&](TspSkinStdButtonObject* b) {
        if (b->Command == cmSysMenu && FShowIcon)
            return TPoint(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
        return TPoint(b->SkinRect.Width(), b->SkinRect.Height());
    };
    if (!NewButtonsInLeft) {
        int X = ref.Right;
        for (auto* b : run) {
            TPoint s = sizeOf(b);
            b->ObjectRect = TRect(X - s.X, Y, X, Y + s.Y);
            X -= s.X + NewButtonsOffset;
        }
        if (fromCaption && caption) caption->ObjectRect.Right = X + NewButtonsOffset;
        X = NewCaptionRect.Left;
        if (sys) {
            TPoint s = sizeOf(sys);
            int top = NewCaptionRect.Top + NewCaptionRect.Height() / 2 - s.Y / 2;
            sys->ObjectRect = TRect(X, top, X + s.X, top + s.Y);
            if (caption) caption->ObjectRect.Left = X + s.X;
        }
    } else {
        int X = ref.Left;
        if (fromCaption && sys) run.push_back(sys);
        for (auto* b : run) {
            TPoint s = sizeOf(b);
            b->ObjectRect = TRect(X, Y, X + s.X, Y + s.Y);
            X += s.X + NewButtonsOffset;
        }
        if (fromCaption && caption) caption->ObjectRect.Left = X + NewButtonsOffset;
    }
}

void TspSkinnedForm::CalcDefRects() {
    if (ObjectList.empty()) return;
    int X = FFormWidth - kDefBorder;
    bool tool = FForm->BorderStyle == bsToolWindow || FForm->BorderStyle == bsSizeToolWin;
    NewDefCaptionRect = TRect(kDefBorder, kDefBorder, X, DefCaptionHeight());
    int S = tool ? 13 : 17;
    auto find = [&](TStdCommand C) -> TspSkinStdButtonObject* {
        for (auto& o : ObjectList)
            if (auto* b = dynamic_cast<TspSkinStdButtonObject*>(o.get()))
                if (b->Visible && b->SkinRectInAPicture && b->Command == C) return b;
        return nullptr;
    };
    for (TStdCommand c : {cmClose, cmMaximize, cmMinimize, cmRollUp, cmMinimizeToTray})
        if (auto* b = find(c)) {
            b->ObjectRect = TRect(X - S, 4, X, 4 + S);
            X -= S;
        }
    NewDefCaptionRect.Right = X;
    X = NewDefCaptionRect.Left;
    if (auto* b = find(cmSysMenu)) {
        int w = FShowIcon ? GetSystemMetrics(SM_CXSMICON) : S;
        int h = FShowIcon ? GetSystemMetrics(SM_CYSMICON) : S;
        b->ObjectRect = TRect(X, 4, X + w, 4 + h);
        NewDefCaptionRect.Left = X + w;
    }
}

void TspSkinnedForm::UpdateFrameLayout(bool AUpdateObjects) {
    if (HasState(csDesigning) || !HasSkin()) return;
    if (FSkinnableForm) {
        CalcSkinRects();
        if (AUpdateObjects) CalcObjectRects();
    }
    SetSkinRegion(AUpdateObjects);
    if (OnChangeClientRect) OnChangeClientRect(NewClRect);
    if (!FForm->HandleAllocated()) return;
    if (NCMode()) {
        if (!FRgn && FSkinnableForm) SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
        if (FSD->StretchEffect) {
            FForm->Invalidate();
            UpdateChildrenBackground();
        }
    } else {
        FForm->Invalidate();
        ArrangeLinkedControls();
    }
}

void TspSkinnedForm::RefreshBounds() {
    int w = FForm->Width();
    if (w - 1 < GetMinWidth()) {
        FForm->SetWidth(w + 1);
        FForm->SetWidth(w);
    } else {
        FForm->SetWidth(w - 1);
        FForm->SetWidth(w);
    }
}

void TspSkinnedForm::LinkControlToArea(const std::string& AreaName, TControl* Control) {
    if (!Control || !HasSkin()) return;
    int i = FSD->GetAreaIndex(AreaName);
    if (i < 0) return;
    TRect r = FSD->AreaList[size_t(i)]->AreaRect;
    if (r.IsEmpty()) return;
    Control->SetAlign(alNone);
    Control->FreeNotification(this);
    AreaList.push_back(TspAreaLink{Control, r});
}

void TspSkinnedForm::UnLinkControlFromArea(TControl* Control) {
    for (auto it = AreaList.begin(); it != AreaList.end(); ++it)
        if (it->Control == Control) {
            AreaList.erase(it);
            return;
        }
}

TRect TspSkinnedForm::GetAreaRect(const std::string& AIDName) const {
    if (!HasSkin()) return TRect();
    TRect r;
    for (auto& a : FSD->AreaList)
        if (a->IDName == AIDName) r = a->AreaRect;
    return r;
}

void TspSkinnedForm::LinkControlsToAreas() {
    for (int i = 0; i < FForm->ControlCount(); ++i) {
        TControl* c = FForm->Controls(i);
        std::string area;
        if (auto* s = dynamic_cast<TspSkinControl*>(c))
            area = s->AreaName();
        else if (auto* g = dynamic_cast<TspGraphicSkinControl*>(c))
            area = g->AreaName();
        if (!area.empty()) LinkControlToArea(area, c);
    }
}

void TspSkinnedForm::ArrangeLinkedControls() {
    for (auto& l : AreaList) {
        TRect r = IsStretchableSkin() ? MapSkinRect(l.AreaRect) : l.AreaRect;
        l.Control->SetBounds(r.Left, r.Top, r.Width(), r.Height());
        if (auto* w = dynamic_cast<TWinControl*>(l.Control)) w->Realign();
    }
}

void TspSkinnedForm::UpdateChildrenBackground() {
    for (int i = 0; i < FForm->ControlCount(); ++i)
        if (auto* w = dynamic_cast<TWinControl*>(FForm->Controls(i)); w && w->HandleAllocated())
            SendMessage(w->Handle(), WM_SKIN_CHECKPARENTBG, 0, 0);
}

void TspSkinnedForm::FitClientToSkin() {
    if (!HasSkin()) return;
    int picW = FSD->FPicture->Width(), picH = FSD->FPicture->Height();
    int cw = FForm->ClientWidth(), ch = FForm->ClientHeight();
    auto setClient = [&](int w, int h) {
        FForm->SetBounds(FForm->Left(), FForm->Top(), FForm->Width() - cw + w,
                         FForm->Height() - ch + h);
    };
    if (IsStretchableSkin()) {
        if (MinWidth && MinHeight) return;
        setClient(std::max(cw, picW), std::max(ch, picH));
    } else {
        if (cw != picW || ch != picH) setClient(picW, picH);
        Sizeable = false;
    }
}

// ---- Window states ------------------------------------------------------------------------------

void TspSkinnedForm::SetWindowState(TWindowState Value) {
    if (Value == FWindowState) return;
    bool mainForm = Application && Application->MainForm() == FForm;
    TWindowState old = FWindowState;
    if (!(Value == wsMinimized && (mainForm || MinimizeDefault))) FWindowState = Value;
    switch (Value) {
    case wsNormal:
        if (old == wsMaximized && FRollUpState && !FRollUpBeforeMaximize) SetRollUpState(false);
        FRollUpBeforeMaximize = false;
        DoNormal();
        break;
    case wsMinimized:
        DoMinimize();
        break;
    case wsMaximized:
        FRollUpBeforeMaximize = FRollUpState;
        DoMaximize();
        break;
    }
    if (FForm->HandleAllocated()) SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
}

void TspSkinnedForm::DoMinimize() {
    bool mainForm = Application && Application->MainForm() == FForm;
    if (mainForm || !NCMode() || MinimizeDefault) {
        if (FForm->HandleAllocated()) ShowWindow(FForm->Handle(), SW_MINIMIZE);
    } else {
        if (OldBoundsRect.IsEmpty()) OldBoundsRect = FForm->BoundsRect();
        TPoint p;
        GetMinimizedPosition(p);
        FForm->SetBounds(p.X, p.Y, GetMinWidth(), GetMinHeight());
        if (IsMDIChild())
            if (TForm* main = Application ? Application->MainForm() : nullptr;
                main && main->HandleAllocated())
                SendMessage(main->Handle(), WM_SKIN_MDICHILDRESTORED, 0, 0);
    }
    if (OnMinimize) OnMinimize(this);
}

void TspSkinnedForm::GetMinimizedPosition(TPoint& P) {
    int W = GetMinWidth(), H = GetMinHeight();
    if (IsMDIChild()) {
        TspSkinnedForm* main = MainSkinForm();
        TRect a = main ? main->GetMDIAreaRect() : TRect();
        TForm* mainForm = Application->MainForm();
        auto taken = [&](int x, int y) {
            for (int i = 0; i < mainForm->MDIChildCount(); ++i) {
                TForm* f = mainForm->MDIChildren(i);
                TspSkinnedForm* sf = f ? GetSkinnedForm(f) : nullptr;
                if (f && f != FForm && f->Visible() && sf && sf->WindowState() == wsMinimized &&
                    f->Left() == x && f->Top() == y)
                    return true;
            }
            return false;
        };
        int X = 0, Y = a.Height() - H;
        while (mainForm && taken(X, Y)) {
            X += W;
            if (X + W > a.Width()) {
                X = 0;
                Y -= H;
            }
            if (Y < 0) {
                Y = a.Height() - H;
                break;
            }
        }
        P = TPoint(X, Y);
        return;
    }
    TRect area;
    GetMonitorArea(FForm->HandleAllocated() ? FForm->Handle() : 0, true, area);
    auto taken = [&](int x, int y) {
        if (!Screen) return false;
        for (int i = 0; i < Screen->FormCount(); ++i) {
            TForm* f = Screen->Forms(i);
            if (f == FForm || !f->Visible() || (Application && f == Application->MainForm()))
                continue;
            for (int k = 0; k < f->ComponentCount(); ++k)
                if (auto* sf = dynamic_cast<TspSkinnedForm*>(f->Components(k)))
                    if (sf->WindowState() == wsMinimized && f->Left() == x && f->Top() == y)
                        return true;
        }
        return false;
    };
    int X = area.Left, Y = area.Bottom - H;
    while (taken(X, Y)) {
        X += W;
        if (X + W > area.Right) {
            X = area.Left;
            Y -= H;
        }
        if (Y < area.Top) {
            Y = area.Bottom - H;
            break;
        }
    }
    P = TPoint(X, Y);
}

void TspSkinnedForm::DoMaximize() {
    if (OldBoundsRect.IsEmpty()) OldBoundsRect = FForm->BoundsRect();
    if (IsMDIChild()) {
        FMouseTimer->SetEnabled(false);
        TestActiveObject(-1, -1, false);
        TspSkinnedForm* main = MainSkinForm();
        TRect a = main ? main->GetMDIAreaRect() : FForm->BoundsRect();
        bool same = a.Width() == FForm->Width() && a.Height() == FForm->Height();
        FForm->SetBounds(0, 0, a.Width(), a.Height());
        if (same) RefreshBounds();
        if (TForm* m = Application->MainForm(); m && m->HandleAllocated())
            SendMessage(m->Handle(), WM_SKIN_MDICHILDMAXIMIZED, 0, 0);
        if (OnMaximize) OnMaximize(this);
        return;
    }
    TRect target, monitor;
    HWND h = FForm->HandleAllocated() ? FForm->Handle() : 0;
    GetMonitorArea(h, !MaximizeOnFullScreen, target);
    GetMonitorArea(h, false, monitor);
    TRect screen(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    if (!MaximizeOnFullScreen && target == monitor && monitor == screen)
        target = TRect(target.Left + 1, target.Top + 1, target.Right - 1, target.Bottom - 1);
    FForm->SetBounds(target.Left, target.Top, target.Width(), target.Height());
    if (FStatusBar && FStatusBar->SizeGrip()) FStatusBar->SetShowGrip(false);
    if (OnMaximize) OnMaximize(this);
}

void TspSkinnedForm::DoNormal() {
    MaxRollUpState = false;
    TRect r = OldBoundsRect;
    if (!r.IsEmpty()) {
        if (NCMode() && FStartShow) {
            FStartShow = false;
            TPoint p = GetPositionInMonitor(r.Left, r.Top, r.Width(), r.Height());
            r = Bounds(p.X, p.Y, r.Width(), r.Height());
        }
        bool same = r.Width() == FForm->Width() && r.Height() == FForm->Height();
        FForm->SetBounds(r.Left, r.Top, r.Width(), r.Height());
        if (same && NCMode()) RefreshBounds();
    }
    FMouseTimer->SetEnabled(true);
    if (FForm->HandleAllocated()) FForm->Invalidate();
    if (IsMDIChild())
        if (TForm* main = Application ? Application->MainForm() : nullptr;
            main && main->HandleAllocated())
            SendMessage(main->Handle(), WM_SKIN_MDICHILDRESTORED, 0, 0);
    OldBoundsRect = TRect();
    if (FStatusBar && FStatusBar->SizeGrip()) FStatusBar->SetShowGrip(true);
    if (OnRestore) OnRestore(this);
}

void TspSkinnedForm::SetRollUpState(bool Value) {
    if (!NCMode() && !HasSkin()) return;
    if (!(FBorderIcons & biRollUp)) return;
    if (FRollUpState && FWindowState == wsMaximized && !MaxRollUpState) return;
    if (FWindowState == wsMinimized) return;
    if (FWindowState == wsMaximized) MaxRollUpState = Value;
    if (OnSetRollUpState) {
        OnSetRollUpState(Value);
        FRollUpState = Value;
        return;
    }
    if (Value == FRollUpState) return;
    FRollUpState = Value;
    if (NCMode()) {
        if (Value) {
            OldHeight = FForm->Height();
            FForm->SetHeight(GetMinHeight());
        } else if (ClientHeight > 0) {
            FForm->SetHeight(FForm->Height() - FForm->ClientHeight() + ClientHeight);
        } else {
            FForm->SetHeight(OldHeight);
        }
    } else {
        // Client-area roll-up needs a roll-up picture in the skin.
        if (!FSD->FRollUpPicture || FSD->FRollUpPicture->Empty()) {
            FRollUpState = false;
            return;
        }
        if (Value) {
            OldHeight = FForm->Height();
            RollUpSkinForm();
        } else {
            RollDownSkinForm();
        }
    }
    if (FForm->HandleAllocated()) SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
    if (OnChangeRollUpState) OnChangeRollUpState(this);
}

void TspSkinnedForm::RollUpSkinForm() {
    if (!HasSkin() || !FSD->FRollUpPicture || FSD->FRollUpPicture->Empty()) return;
    TBitmap* pic = FSD->FRollUpPicture.get();
    int H = pic->Height();
    bool stretch = FSD->RollUpLeftPoint.X < FSD->RollUpRightPoint.X;
    int W = stretch ? FForm->Width() : pic->Width();
    int d = stretch ? W - pic->Width() : 0;
    if (stretch)
        for (auto& o : ObjectList) {
            if (!o->RollUp) continue;
            TRect r = o->SkinRect;
            if (r.Left >= FSD->RollUpRightPoint.X)
                r = Offset(r, d, 0);
            else if (r.Left > FSD->RollUpLeftPoint.X)
                ;
            else if (r.Right >= FSD->RollUpRightPoint.X)
                r.Right += d;
            o->ObjectRect = r;
        }
    TestActiveObject(-1, -1, true);
    FMouseTimer->SetEnabled(false);
    FMorphTimer->SetEnabled(false);
    if (VisibleControls.empty())
        for (int i = 0; i < FForm->ControlCount(); ++i)
            if (TControl* c = FForm->Controls(i); c->Visible()) {
                VisibleControls.push_back(c);
                c->SetVisible(false);
            }
    if (stretch)
        FForm->SetHeight(H);
    else
        FForm->SetBounds(FForm->Left(), FForm->Top(), W, H);
    SetRollUpRegion();
    FForm->Invalidate();
    FMouseTimer->SetEnabled(true);
    FMorphTimer->SetEnabled(true);
}

void TspSkinnedForm::RollDownSkinForm() {
    TestActiveObject(-1, -1, true);
    FMouseTimer->SetEnabled(false);
    FMorphTimer->SetEnabled(false);
    for (TControl* c : VisibleControls)
        c->SetVisible(true);
    VisibleControls.clear();
    if (IsStretchableSkin()) FForm->SetHeight(OldHeight);
    FitClientToSkin();
    // The frame's own shape comes back with the full picture.
    SetSkinRegion(true);
    CalcObjectRects();
    FForm->Invalidate();
    FMouseTimer->SetEnabled(true);
    FMorphTimer->SetEnabled(true);
}

void TspSkinnedForm::CaptionDblClick() {
    if (ActiveObject < 0 || ActiveObject >= int(ObjectList.size())) return;
    if (!dynamic_cast<TspSkinCaptionObject*>(ObjectList[size_t(ActiveObject)].get())) return;
    if (FRollUpState)
        SetRollUpState(false);
    else if (Sizeable)
        SetWindowState(FWindowState == wsNormal ? wsMaximized : wsNormal);
    else
        SetRollUpState(true);
}

void TspSkinnedForm::MagneticMove(int& ALeft, int& ATop, int AWidth, int AHeight) {
    const int M = MagneticSize;
    TRect A;
    GetMonitorArea(FForm->HandleAllocated() ? FForm->Handle() : 0, true, A);
    POINT c{};
    GetCursorPos(&c);
    bool nearLeft = A.Left - M < ALeft && ALeft < A.Left + M;
    bool nearTop = A.Top - M < ATop && ATop < A.Top + M;
    if (nearLeft && !HMagnetized) {
        ALeft = A.Left;
        FOnMouseDownCoord.X = c.x;
    } else if (HMagnetized) {
        if (std::abs(c.x - FOnMouseDownCoord.X) > M)
            ALeft = c.x + A.Left - FOnMouseDownCoord.X;
        else
            ALeft = A.Left;
    }
    HMagnetized = nearLeft;
    if (nearTop && !VMagnetized) {
        ATop = A.Top;
        FOnMouseDownCoord.Y = c.y;
    } else if (VMagnetized) {
        if (std::abs(c.y - FOnMouseDownCoord.Y) > M)
            ATop = c.y + A.Top - FOnMouseDownCoord.Y;
        else
            ATop = A.Top;
    }
    VMagnetized = nearTop;
    bool nearRight = A.Right - M < ALeft + AWidth && ALeft + AWidth < A.Right + M;
    bool nearBottom = A.Bottom - M < ATop + AHeight && ATop + AHeight < A.Bottom + M;
    if (nearRight && !HMagnetized2) {
        ALeft = A.Right - AWidth;
        FMagnet2Coord.X = c.x;
    } else if (HMagnetized2) {
        if (std::abs(c.x - FMagnet2Coord.X) > M)
            ALeft = c.x + A.Right - AWidth - FMagnet2Coord.X;
        else
            ALeft = A.Right - AWidth;
    }
    HMagnetized2 = nearRight;
    if (nearBottom && !VMagnetized2) {
        ATop = A.Bottom - AHeight;
        FMagnet2Coord.Y = c.y;
    } else if (VMagnetized2) {
        if (std::abs(c.y - FMagnet2Coord.Y) > M)
            ATop = c.y + A.Bottom - AHeight - FMagnet2Coord.Y;
        else
            ATop = A.Bottom - AHeight;
    }
    VMagnetized2 = nearBottom;
}

void TspSkinnedForm::BeginFormDrag(int X, int Y) {
    FIsDragging = true;
    TPoint p = FForm->ClientToScreen(TPoint(X, Y));
    FOldX = p.X;
    FOldY = p.Y;
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

// ---- Frame-object tracking ---------------------------------------------------------------------

bool TspSkinnedForm::IsObjectVisibleInState(bool ARollUp) const {
    return NCMode() ? !ARollUp : ARollUp == FRollUpState;
}

void TspSkinnedForm::ScreenToFramePoint(TPoint& P) const {
    if (IsMDIChild() && FForm->HandleAllocated()) {
        // A child's Left and Top are in its client's coordinates.
        RECT r{};
        GetWindowRect(FForm->Handle(), &r);
        P.X -= r.left;
        P.Y -= r.top;
        return;
    }
    P.X -= FForm->Left();
    P.Y -= FForm->Top();
}

void TspSkinnedForm::TestActiveObject(int X, int Y, bool AActive) {
    if (ObjectList.empty()) return;
    if (NCMode() && !GetFormActive()) return;
    if (FSizeMove || (NCMode() && FForm->BorderStyle == bsNone)) return;
    OldActiveObject = ActiveObject;
    int hit = -1;
    for (size_t i = 0; i < ObjectList.size(); ++i) {
        auto* o = ObjectList[i].get();
        if (!IsObjectVisibleInState(o->RollUp) || !o->Enabled || !o->Visible) continue;
        if (PtIn(o->ObjectRect, TPoint(X, Y)) &&
            o->IsPointInObject(X - o->ObjectRect.Left, Y - o->ObjectRect.Top)) {
            hit = int(i);
            break;
        }
    }
    ActiveObject = AActive ? hit : -1;
    if (MouseCaptureObject != -1 && hit != MouseCaptureObject) ActiveObject = -1;
    if (ActiveObject >= int(ObjectList.size())) ActiveObject = -1;
    if (OldActiveObject >= int(ObjectList.size())) OldActiveObject = -1;
    if (ActiveObject == OldActiveObject) return;
    const bool hints = ShowObjectHint && FSkinHint;
    if (OldActiveObject != -1) {
        auto* o = ObjectList[size_t(OldActiveObject)].get();
        if (o->Enabled && o->Visible) {
            o->MouseLeave();
            if (hints && !o->Hint.empty()) FSkinHint->HideHint();
        }
    }
    if (ActiveObject != -1) {
        auto* o = ObjectList[size_t(ActiveObject)].get();
        if (o->Enabled && o->Visible) {
            o->MouseEnter();
            if (hints && !o->Hint.empty() && GetFormActive()) FSkinHint->ActivateHint2(o->Hint);
        }
    }
}

void TspSkinnedForm::ObjectsMouseMove(int X, int Y) {
    if (!NCMode() && FIsDragging) return;
    int i = MouseCaptureObject != -1 ? MouseCaptureObject : ActiveObject;
    if (i >= 0 && i < int(ObjectList.size())) ObjectList[size_t(i)]->MouseMove(X, Y);
}

void TspSkinnedForm::ObjectsMouseDown(TMouseButton Button, int X, int Y) {
    if (NCMode()) {
        TestActiveObject(X, Y, true);
        if (ActiveObject < 0 || ActiveObject >= int(ObjectList.size())) return;
        auto* o = ObjectList[size_t(ActiveObject)].get();
        if (!dynamic_cast<TspSkinCaptionObject*>(o)) SetCapture(FForm->Handle());
        MouseCaptureObject = ActiveObject;
        o->MouseDown(X, Y, Button);
    } else {
        FIsDragging = false;
        TestActiveObject(X, Y, true);
        if (ActiveObject >= 0 && ActiveObject < int(ObjectList.size())) {
            MouseCaptureObject = ActiveObject;
            ObjectList[size_t(ActiveObject)]->MouseDown(X, Y, Button);
        } else if (Button == mbLeft && DraggAble && FWindowState != wsMaximized) {
            BeginFormDrag(X, Y);
        }
    }
}

void TspSkinnedForm::ObjectsMouseUp(TMouseButton Button, int X, int Y) {
    if (!NCMode()) EndFormDrag();
    if (MouseCaptureObject < 0 || MouseCaptureObject >= int(ObjectList.size())) return;
    auto* o = ObjectList[size_t(MouseCaptureObject)].get();
    if (NCMode() && !dynamic_cast<TspSkinCaptionObject*>(o)) ReleaseCapture();
    MouseCaptureObject = -1;
    if (NCMode() && X == -1 && Y == -1) {
        // A release in the client area after a press in the frame: the button
        // sees where the pointer is now.
        POINT c{};
        GetCursorPos(&c);
        TPoint p(c.x, c.y);
        ScreenToFramePoint(p);
        X = p.X;
        Y = p.Y;
    }
    o->MouseUp(X, Y, Button);
}

void TspSkinnedForm::ObjectsDblClick() {
    if (ActiveObject >= 0 && ActiveObject < int(ObjectList.size()))
        ObjectList[size_t(ActiveObject)]->DblClick();
}

void TspSkinnedForm::UpdateActiveState(bool AUpdate) {
    bool A = GetFormActive();
    for (auto& o : ObjectList) {
        auto* c = dynamic_cast<TspSkinCaptionObject*>(o.get());
        if (!c) continue;
        if (AUpdate && IsObjectVisibleInState(c->RollUp)) {
            if (!NCMode()) c->Active = A;
            if (c->EnableAnimation()) {
                c->FIncTime = 25;
                c->CurrentFrame = A ? 1 : c->InActiveAnimation ? c->FrameCount : 0;
                FAnimateTimer->SetEnabled(true);
            }
            if (!NCMode() || !c->ActiveSkinRect.IsEmpty()) c->StartRedraw();
        } else if (c->Morphing) {
            c->SetMorphKf(A ? 1 : 0);
        }
    }
    if (A) {
        if (OnActivate) OnActivate(this);
    } else if (OnDeActivate) {
        OnDeActivate(this);
    }
}

void TspSkinnedForm::ResetObjectStates() {
    for (auto& o : ObjectList) {
        if (auto* a = dynamic_cast<TspSkinAnimateObject*>(o.get())) {
            a->FMouseIn = false;
            a->Active = false;
            a->FFrame = 1;
        } else if (!dynamic_cast<TspSkinCaptionObject*>(o.get())) {
            o->Active = false;
            o->FMouseIn = false;
            o->FMorphKf = 0;
        }
    }
}

void TspSkinnedForm::UpdateSkinCursor() {
    if (!HasSkin()) return;
    int cursor = 0;
    if (ActiveObject >= 0 && ActiveObject < int(ObjectList.size()) &&
        ObjectList[size_t(ActiveObject)]->CursorIndex != -1)
        cursor = ObjectList[size_t(ActiveObject)]->CursorIndex + FSD->StartCursorIndex;
    else if (FSD->CursorIndex != -1)
        cursor = FSD->CursorIndex + FSD->StartCursorIndex;
    if (FForm->Cursor() != cursor) FForm->SetCursor(cursor);
}

void TspSkinnedForm::MorphTimerProc() {
    bool any = false;
    // A step redraws and may run application code: index, not iterate.
    for (size_t i = 0; i < ObjectList.size(); ++i) {
        TspActiveSkinObject* o = ObjectList[i].get();
        if (o->EnableMorphing() && o->CanMorphing()) {
            o->DoMorphing();
            any = true;
        }
    }
    if (!any) FMorphTimer->SetEnabled(false);
}

void TspSkinnedForm::AnimateTimerProc() {
    bool any = false;
    for (size_t i = 0; i < ObjectList.size(); ++i) {
        TspActiveSkinObject* o = ObjectList[i].get();
        if (auto* a = dynamic_cast<TspSkinAnimateObject*>(o)) {
            if (a->Active && !(a->FDown && !a->DownSkinRect.IsEmpty())) {
                a->ChangeFrame();
                any = true;
            }
        } else if (auto* c = dynamic_cast<TspSkinCaptionObject*>(o); c && c->EnableAnimation()) {
            if (c->FIncTime < c->AnimateInterval) {
                c->FIncTime += 25;
                any = true;
            } else if (c->Active && c->CurrentFrame <= c->FrameCount) {
                ++c->CurrentFrame;
                DrawSkinObject(c);
                c->FIncTime = 25;
                any = true;
            } else if (!c->Active && c->CurrentFrame > 0) {
                --c->CurrentFrame;
                DrawSkinObject(c);
                c->FIncTime = 25;
                any = true;
            }
        }
    }
    if (!any) FAnimateTimer->SetEnabled(false);
}

void TspSkinnedForm::MouseTimerProc() {
    if (!NCMode() && !HasSkin()) return;
    if (!FForm->HandleAllocated()) return;
    POINT c{};
    GetCursorPos(&c);
    HWND under = WindowFromPoint(c);
    if (NCMode()) {
        if (under != FForm->Handle()) {
            FMouseTimer->SetEnabled(false);
            TestActiveObject(-1, -1, false);
            return;
        }
        if (FSizeMove) {
            FMouseTimer->SetEnabled(false);
            return;
        }
        TPoint p(c.x, c.y);
        ScreenToFramePoint(p);
        if (!PtIn(NewClRect, p))
            TestActiveObject(p.X, p.Y, true);
        else if (ActiveObject != -1)
            TestActiveObject(-1, -1, true);
    } else if (!FIsDragging) {
        TPoint p = FForm->ScreenToClient(TPoint(c.x, c.y));
        if (under == FForm->Handle()) {
            TestActiveObject(p.X, p.Y, true);
        } else {
            TestActiveObject(-1, -1, false);
            MouseIn = false;
            FMouseTimer->SetEnabled(false);
        }
        if (UseSkinCursors) UpdateSkinCursor();
    }
}

void TspSkinnedForm::DoObjectMouseDown(const std::string& ID, int X, int Y, TRect R,
                                       TMouseButton B) {
    if (OnMouseDownEvent) OnMouseDownEvent(ID, X, Y, R, B);
}
void TspSkinnedForm::DoObjectMouseUp(const std::string& ID, int X, int Y, TRect R, TMouseButton B) {
    if (OnMouseUpEvent) OnMouseUpEvent(ID, X, Y, R, B);
}
void TspSkinnedForm::DoObjectMouseMove(const std::string& ID, int X, int Y, TRect R) {
    if (OnMouseMoveEvent) OnMouseMoveEvent(ID, X, Y, R);
}
void TspSkinnedForm::DoObjectMouseEnter(const std::string& ID) {
    if (OnMouseEnterEvent) OnMouseEnterEvent(ID);
}
void TspSkinnedForm::DoObjectMouseLeave(const std::string& ID) {
    if (OnMouseLeaveEvent) OnMouseLeaveEvent(ID);
}
void TspSkinnedForm::DoObjectPaint(const std::string& ID, TCanvas* C, TRect R) {
    if (OnPaintEvent) OnPaintEvent(ID, C, R);
}
void TspSkinnedForm::DoSwitchChangeState(const std::string& ID, TSwitchState State) {
    if (OnSwitchChangeStateEvent) OnSwitchChangeStateEvent(ID, State);
}
void TspSkinnedForm::DoTrackBarChangeValue(const std::string& ID, int Value) {
    if (OnTrackBarChangeValueEvent) OnTrackBarChangeValueEvent(ID, Value);
}
void TspSkinnedForm::DoFrameRegulatorChangeValue(const std::string& ID, int Value) {
    if (OnFrameRegulatorChangeValueEvent) OnFrameRegulatorChangeValueEvent(ID, Value);
}

bool TspSkinnedForm::OwnsObject(const TspActiveSkinObject* O) const {
    for (auto& o : ObjectList)
        if (o.get() == O) return true;
    return false;
}

// ---- Object operations --------------------------------------------------------------------------

int TspSkinnedForm::GetIndex(const std::string& AIDName) const {
    for (size_t i = 0; i < ObjectList.size(); ++i)
        if (ObjectList[i]->IDName == AIDName) return int(i);
    return -1;
}

template <class T> T* TspSkinnedForm::ObjectAs(const std::string& AIDName) const {
    int i = GetIndex(AIDName);
    return i < 0 ? nullptr : dynamic_cast<T*>(ObjectList[size_t(i)].get());
}

void TspSkinnedForm::SetEnabled(const std::string& AIDName, bool Value) {
    if (int i = GetIndex(AIDName); i >= 0) ObjectList[size_t(i)]->Enabled = Value;
}

void TspSkinnedForm::UserObjectDraw(const std::string& AIDName) {
    auto* o = ObjectAs<TspUserObject>(AIDName);
    if (!o || !FForm->HandleAllocated()) return;
    HWND h = FForm->Handle();
    HDC dc = GetDC(h);
    TCanvas c;
    c.SetHandle(dc);
    o->Draw(&c, true);
    c.SetHandle(nullptr);
    ReleaseDC(h, dc);
}

void TspSkinnedForm::AnimateStart(const std::string& AIDName) {
    if (auto* o = ObjectAs<TspSkinAnimateObject>(AIDName)) o->Start();
}

void TspSkinnedForm::AnimateStop(const std::string& AIDName) {
    if (auto* o = ObjectAs<TspSkinAnimateObject>(AIDName)) o->Stop();
}

int TspSkinnedForm::TrackBarGetValue(const std::string& AIDName) const {
    auto* o = ObjectAs<TspSkinTrackBarObject>(AIDName);
    return o ? o->Value() : 0;
}

void TspSkinnedForm::TrackBarSetValue(const std::string& AIDName, int AValue) {
    auto* o = ObjectAs<TspSkinTrackBarObject>(AIDName);
    if (!o) return;
    if (FInChangeSkinData)
        o->SimplySetValue(AValue);
    else
        o->SetValue(AValue);
}

void TspSkinnedForm::GaugeSetValue(const std::string& AIDName, int AValue) {
    auto* o = ObjectAs<TspSkinGaugeObject>(AIDName);
    if (!o) return;
    if (FInChangeSkinData)
        o->SimplySetValue(AValue);
    else
        o->SetValue(AValue);
}

void TspSkinnedForm::FrameGaugeSetValue(const std::string& AIDName, int AValue) {
    auto* o = ObjectAs<TspSkinFrameGaugeObject>(AIDName);
    if (!o) return;
    if (FInChangeSkinData)
        o->SimplySetValue(AValue);
    else
        o->SetValue(AValue);
}

int TspSkinnedForm::FrameRegulatorGetValue(const std::string& AIDName) const {
    auto* o = ObjectAs<TspSkinFrameRegulatorObject>(AIDName);
    return o ? o->Value() : 0;
}

void TspSkinnedForm::FrameRegulatorSetValue(const std::string& AIDName, int AValue) {
    auto* o = ObjectAs<TspSkinFrameRegulatorObject>(AIDName);
    if (!o) return;
    if (FInChangeSkinData)
        o->SimplySetValue(AValue);
    else
        o->SetValue(AValue);
}

TSwitchState TspSkinnedForm::SwitchGetState(const std::string& AIDName) const {
    auto* o = ObjectAs<TspSkinSwitchObject>(AIDName);
    return o ? o->State() : swsOff;
}

void TspSkinnedForm::SwitchSetState(const std::string& AIDName, TSwitchState AState) {
    auto* o = ObjectAs<TspSkinSwitchObject>(AIDName);
    if (!o) return;
    if (FInChangeSkinData)
        o->SimpleSetState(AState);
    else
        o->SetState(AState);
}

void TspSkinnedForm::LabelSetText(const std::string& AIDName, const std::string& ATextValue) {
    if (auto* o = ObjectAs<TspSkinLabelObject>(AIDName))
        o->SetTextValue(ATextValue, !FInChangeSkinData);
}

void TspSkinnedForm::BitLabelSetText(const std::string& AIDName, const std::string& AValue) {
    if (auto* o = ObjectAs<TspSkinBitLabelObject>(AIDName))
        o->SetTextValue(AValue, !FInChangeSkinData);
}

void TspSkinnedForm::CaptionSetText(const std::string& AIDName, const std::string& AText) {
    auto* o = ObjectAs<TspSkinCaptionObject>(AIDName);
    if (!o) return;
    if (FInChangeSkinData)
        o->SimpleSetTextValue(AText);
    else
        o->SetTextValue(AText);
}

bool TspSkinnedForm::ButtonGetDown(const std::string& AIDName) const {
    auto* o = ObjectAs<TspSkinButtonObject>(AIDName);
    return o && o->Down();
}

void TspSkinnedForm::ButtonSetDown(const std::string& AIDName, bool ADown) {
    if (auto* o = ObjectAs<TspSkinButtonObject>(AIDName)) o->SetDown(ADown);
}

void TspSkinnedForm::LinkMenu(const std::string& AIDName, TMenu* AMenu, bool APopupUp) {
    int i = GetIndex(AIDName);
    if (i < 0 || !AMenu) return;
    TspActiveSkinObject* o = ObjectList[size_t(i)].get();
    if (auto* b = dynamic_cast<TspSkinButtonObject*>(o)) {
        b->MenuItem = AMenu->Items();
        b->FPopupUp = APopupUp;
    } else if (auto* a = dynamic_cast<TspSkinAnimateObject*>(o); a && a->ButtonStyle) {
        a->MenuItem = AMenu->Items();
        a->FPopupUp = APopupUp;
    }
}

TspSkinnedForm* GetSkinnedForm(TForm* Form) {
    if (!Form) return nullptr;
    for (int i = 0; i < Form->ComponentCount(); ++i)
        if (auto* sf = dynamic_cast<TspSkinnedForm*>(Form->Components(i))) return sf;
    return nullptr;
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
