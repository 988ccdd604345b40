#include "skin/forms/SkinnedForm.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/spTrayIcon.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "classlib/sysutils.h"
#include "platform/gdi/gdi.h"
#include "platform/os/clock.h"
#include "platform/win/input.h"
#include "platform/win/layered.h"
#include "platform/win/messages.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/region.h"
#include "platform/win/timers.h"
#include "platform/win/window.h"
#include "skin/engine/SPUtils.h"
#include "skin/engine/speffbmp.h"

namespace {

constexpr UINT WM_NCRBUTTONUP_ = 0x00A5;
constexpr UINT WM_NCRBUTTONDBLCLK_ = 0x00A6;
constexpr UINT WM_DISPLAYCHANGE_ = 0x007E;
constexpr int kDefBorder = 3;
// Timer of the form window that ends the show transition.
constexpr UINT_PTR kShowTimerId = 1;

bool PtIn(const TRect& R, const TPoint& P) {
    return P.X >= R.Left && P.X < R.Right && P.Y >= R.Top && P.Y < R.Bottom;
}

TRect Offset(TRect R, int dx, int dy) {
    return TRect(R.Left + dx, R.Top + dy, R.Right + dx, R.Bottom + dy);
}

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

void ApplyInActiveEffect(TBitmap* B, TspInActiveEffect E) {
    if (!B || B->Width() <= 0 || B->Height() <= 0) return;
    auto owned = TspEffectBmp::CreateFromhWnd(B->Handle());
    if (!owned) return;
    TspEffectBmp& eb = *owned;
    switch (E) {
    case ieBrightness:
        eb.ChangeBrightness(0.5);
        break;
    case ieDarkness:
        eb.ChangeDarkness(0.3);
        break;
    case ieGrayScale:
        eb.GrayScale();
        break;
    case ieNoise:
        eb.AddMonoNoise(50);
        break;
    case ieSplitBlur:
        eb.SplitBlur(1);
        break;
    case ieInvert:
        eb.Invert();
        break;
    }
    eb.Draw(B->Canvas()->Handle(), 0, 0);
}

} // namespace

// ---- Frame objects ----------------------------------------------------------------------------

TspActiveSkinObject::TspActiveSkinObject(TspSkinnedForm* AParent, TspDataSkinObject* AData)
    : Parent(AParent), SD(AParent->SkinData()), Data(AData) {
    if (AData) {
        IDName = AData->IDName;
        Hint = AData->Hint;
        SkinRectInAPicture = AData->SkinRectInAPicture;
        SkinRect = AData->SkinRect;
        ActiveSkinRect = AData->ActiveSkinRect;
        InActiveSkinRect = AData->InActiveSkinRect;
        CursorIndex = AData->CursorIndex;
        RollUp = AData->RollUp;
    }
    ObjectRect = SkinRect;
}

TBitmap* TspActiveSkinObject::ActivePicture() const {
    if (!SD || !Data) return nullptr;
    int i = Data->ActivePictureIndex;
    if (i >= 0 && i < int(SD->FActivePictures.size())) return SD->FActivePictures[size_t(i)].get();
    return nullptr;
}

void TspActiveSkinObject::Draw(TCanvas* Cnvs, bool) {
    TBitmap* pic = ActivePicture();
    if (!pic || !Active || ActiveSkinRect.IsEmpty()) return;
    Cnvs->CopyRect(ObjectRect, pic->Canvas(), ActiveSkinRect);
}

void TspActiveSkinObject::MouseDown(int X, int Y, TMouseButton Button) {
    Parent->DoObjectMouseDown(IDName, X, Y, ObjectRect, Button);
}
void TspActiveSkinObject::MouseUp(int X, int Y, TMouseButton Button) {
    Parent->DoObjectMouseUp(IDName, X, Y, ObjectRect, Button);
}
void TspActiveSkinObject::MouseMove(int X, int Y) {
    Parent->DoObjectMouseMove(IDName, X, Y, ObjectRect);
}
void TspActiveSkinObject::MouseEnter() {
    FMouseIn = true;
    Active = true;
    Redraw();
    Parent->DoObjectMouseEnter(IDName);
}
void TspActiveSkinObject::MouseLeave() {
    FMouseIn = false;
    Active = false;
    Redraw();
    Parent->DoObjectMouseLeave(IDName);
}
void TspActiveSkinObject::Redraw() {
    Parent->DrawSkinObject(this);
}

TspSkinStdButtonObject::TspSkinStdButtonObject(TspSkinnedForm* AParent, TspDataSkinStdButton* AData)
    : TspActiveSkinObject(AParent, AData) {
    if (AData) {
        Command = AData->Command;
        DownRect = AData->DownRect;
        RestoreRect = AData->RestoreRect;
        RestoreActiveRect = AData->RestoreActiveRect;
        RestoreDownRect = AData->RestoreDownRect;
        RestoreInActiveRect = AData->RestoreInActiveRect;
        RestoreHint = AData->RestoreHint;
    }
}

bool TspSkinStdButtonObject::RestoreMode() const {
    if (Command == cmMaximize) return Parent->WindowState() == wsMaximized;
    if (Command == cmRollUp) return Parent->RollUpState();
    return false;
}

void TspSkinStdButtonObject::Draw(TCanvas* Cnvs, bool) {
    if (ObjectRect.IsEmpty()) return;
    if (!Data) {
        DrawDefault(Cnvs);
        return;
    }
    TBitmap* pic = ActivePicture();
    bool restore = RestoreMode();
    TRect src;
    if (FDown && FMouseIn)
        src = restore && !RestoreDownRect.IsEmpty() ? RestoreDownRect : DownRect;
    else if (Active)
        src = restore && !RestoreActiveRect.IsEmpty() ? RestoreActiveRect : ActiveSkinRect;
    else if (!Parent->GetFormActive())
        src = restore && !RestoreInActiveRect.IsEmpty() ? RestoreInActiveRect : InActiveSkinRect;
    else if (restore && !RestoreRect.IsEmpty())
        src = RestoreRect;
    if (pic && !src.IsEmpty()) {
        Cnvs->CopyRect(ObjectRect, pic->Canvas(), src);
        return;
    }
    // The normal state is part of the frame picture; a separate picture is copied.
    if (!SkinRectInAPicture && SD && SD->FPicture)
        Cnvs->CopyRect(ObjectRect, SD->FPicture->Canvas(), SkinRect);
}

void TspSkinStdButtonObject::DrawDefault(TCanvas* Cnvs) {
    TRect R = ObjectRect;
    Cnvs->Brush()->SetColor(clBtnFace);
    Cnvs->FillRect(R);
    RECT r{R.Left, R.Top, R.Right, R.Bottom};
    bool pressed = FDown && FMouseIn;
    DrawEdge(Cnvs->Handle(), &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    int x = R.Left + (R.Width() - 10) / 2 + (pressed ? 1 : 0);
    int y = R.Top + (R.Height() - 10) / 2 + (pressed ? 1 : 0);
    TColor c = Enabled ? (Active ? clHighlight : clBtnText) : clBtnShadow;
    switch (Command) {
    case cmClose:
        DrawCloseGlyph(Cnvs, x, y, c);
        break;
    case cmMaximize:
        if (RestoreMode())
            DrawRestoreGlyph(Cnvs, x, y, c);
        else
            DrawMaximizeGlyph(Cnvs, x, y, c);
        break;
    case cmMinimize:
        DrawMinimizeGlyph(Cnvs, x, y, c);
        break;
    case cmRollUp:
        if (RestoreMode())
            DrawRollDownGlyph(Cnvs, x, y, c);
        else
            DrawRollUpGlyph(Cnvs, x, y, c);
        break;
    case cmSysMenu:
        DrawSysMenuGlyph(Cnvs, x, y, c);
        break;
    case cmMinimizeToTray:
        DrawTrayGlyph(Cnvs, x, y, c);
        break;
    case cmDefault:
        break;
    }
}

void TspSkinStdButtonObject::MouseDown(int X, int Y, TMouseButton Button) {
    if (Button == mbLeft) {
        FDown = true;
        Redraw();
        if (Command == cmSysMenu) {
            FDown = false;
            Redraw();
            DoCommand();
        }
    }
    TspActiveSkinObject::MouseDown(X, Y, Button);
}

void TspSkinStdButtonObject::MouseUp(int X, int Y, TMouseButton Button) {
    bool run = Button == mbLeft && FDown && PtIn(ObjectRect, TPoint(X, Y));
    if (Button == mbLeft) FDown = false;
    Redraw();
    TspActiveSkinObject::MouseUp(X, Y, Button);
    if (run && Command != cmSysMenu) DoCommand();
}

void TspSkinStdButtonObject::MouseEnter() {
    TspActiveSkinObject::MouseEnter();
}
void TspSkinStdButtonObject::MouseLeave() {
    TspActiveSkinObject::MouseLeave();
}

void TspSkinStdButtonObject::DoCommand() {
    bool cancel = false;
    if (Parent->OnObjectCommand) Parent->OnObjectCommand(Command, cancel);
    if (cancel) return;
    TspSkinnedForm* p = Parent;
    switch (Command) {
    case cmClose:
        // Closing may free the form and this object: post it.
        PostMessage(p->Form()->Handle(), WM_CLOSE, 0, 0);
        break;
    case cmMaximize:
        p->SetWindowState(p->WindowState() == wsMaximized ? wsNormal : wsMaximized);
        break;
    case cmMinimize:
        if (p->AlwaysMinimizeToTray)
            p->MinimizeToTray();
        else
            p->SetWindowState(wsMinimized);
        break;
    case cmRollUp:
        p->SetRollUpState(!p->RollUpState());
        break;
    case cmSysMenu: {
        p->PopupSystemMenuAtRect(Offset(ObjectRect, p->Form()->Left(), p->Form()->Top()));
        break;
    }
    case cmMinimizeToTray:
        p->MinimizeToTray();
        break;
    case cmDefault:
        break;
    }
}

TspSkinCaptionObject::TspSkinCaptionObject(TspSkinnedForm* AParent, TspDataSkinCaption* AData)
    : TspActiveSkinObject(AParent, AData) {
    if (AData) DefaultCaption = AData->DefaultCaption;
}

void TspSkinCaptionObject::Draw(TCanvas* Cnvs, bool) {
    auto* d = static_cast<TspDataSkinCaption*>(Data);
    if (!d || ObjectRect.IsEmpty() || !SD || !SD->FPicture) return;
    bool active = Parent->GetFormActive();
    // Redraw the frame picture under the text (the caption part is stretchable).
    TBitmap* src = SD->FPicture.get();
    if (!active && SD->FInActivePicture && SD->FInActivePicture->Width() > 0)
        src = SD->FInActivePicture.get();
    if (SkinRect.Width() > 0 && SkinRect.Height() > 0) {
        TBitmap part(ObjectRect.Width(), ObjectRect.Height());
        if (d->StretchEffect)
            part.Canvas()->CopyRect(TRect(0, 0, ObjectRect.Width(), ObjectRect.Height()),
                                    src->Canvas(), SkinRect);
        else
            BuildHorzSkinImage(0, 0, &part, src, SkinRect, ObjectRect.Width(), ObjectRect.Height(),
                               false);
        Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &part);
    }
    std::string text = TextValue;
    if (text.empty()) return;
    Cnvs->Font()->SetName(d->FontName);
    Cnvs->Font()->SetHeight(d->FontHeight);
    Cnvs->Font()->SetStyle(d->FontStyle);
    Cnvs->Font()->SetColor(active ? d->ActiveFontColor : d->FontColor);
    TRect tr =
        d->TextRct.IsEmpty() ? TRect(0, 0, ObjectRect.Width(), ObjectRect.Height()) : d->TextRct;
    tr = TRect(ObjectRect.Left + tr.Left, ObjectRect.Top + tr.Top,
               std::min(ObjectRect.Right,
                        ObjectRect.Left + tr.Right + (ObjectRect.Width() - SkinRect.Width())),
               ObjectRect.Top + tr.Bottom);
    FitTextToWidth(Cnvs, text, std::max(0, tr.Width() - 4));
    int tw = Cnvs->TextWidth(text), th = Cnvs->TextHeight(text);
    int x = tr.Left + 2;
    if (d->Alignment == taCenter) x = tr.Left + (tr.Width() - tw) / 2;
    if (d->Alignment == taRightJustify) x = tr.Right - tw - 2;
    Cnvs->Brush()->SetStyle(bsClear);
    Cnvs->TextRect(tr, x, tr.Top + (tr.Height() - th) / 2, text);
    Cnvs->Brush()->SetStyle(bsSolid);
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
    // Morphing and frame animation belong to objects that come later; the
    // timers stop themselves when nothing moves.
    FMorphTimer = timer(25, [this] { FMorphTimer->SetEnabled(false); });
    FAnimateTimer = timer(25, [this] { FAnimateTimer->SetEnabled(false); });

    FSysMenu = std::make_unique<TPopupMenu>(nullptr);
    FSkinMenu = std::make_unique<TspSkinMenu>(nullptr, FForm);
    FFormLayerBorder = std::make_unique<TspFormLayerBorder>(this);
    MenuPresenter = [this](TMenuItem* Items, TRect R) {
        FSkinMenu->Popup(nullptr, FMSD ? FMSD : FSD, 0, R, Items, false);
    };
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
    FSkinMenu.reset();
    FFormLayerBorder.reset();
    ClearObjects();
    if (!HasState(csDesigning) && OldWindowProc) FForm->WindowProc = OldWindowProc;
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
    if (AComponent == FMainMenu) FMainMenu = nullptr;
    if (AComponent == FSystemMenu) FSystemMenu = nullptr;
    if (AComponent == FTrayIcon) FTrayIcon = nullptr;
    if (AComponent == FMainMenuBar) FMainMenuBar = nullptr;
}

void TspSkinnedForm::SetUseRibbon(bool Value) {
    FUseRibbon = Value;
    if (Value && !HasState(csDesigning)) SetSkinnableForm(false);
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
    if (!FForm->HandleAllocated()) return false;
    return GetActiveWindow() == const_cast<TForm*>(FForm)->Handle();
}

void TspSkinnedForm::SetFormBorderStyle(TFormBorderStyle BS) {
    FForm->BorderStyle = BS;
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
    return FForm->BorderStyle != bsNone;
}

// ---- Window hook --------------------------------------------------------------------------------

void TspSkinnedForm::CallOld(TMessage& Message) {
    if (OldWindowProc) OldWindowProc(Message);
}

void TspSkinnedForm::CheckMenuCloseMessage(UINT Msg) {
    switch (Msg) {
    case WM_MOVE:
    case WM_SIZE:
    case WM_ACTIVATE:
    case WM_KILLFOCUS:
    case WM_CANCELMODE:
    case WM_MOUSEACTIVATE:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_PARENTNOTIFY:
        if (FSkinMenu && FSkinMenu->FVisible)
            FSkinMenu->Hide();
        else if (InMenu)
            SkinMenuClose();
        break;
    default:
        break;
    }
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
        break;
    case WM_SIZE:
        if (FSizeMove && FFullDrag) break;
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
                        if (c->DefaultCaption) c->TextValue = FForm->Caption();
                SendMessage(h, WM_NCPAINT, 0, 0);
            } else {
                UpdateDefaultCaptionText();
            }
        }
        return;
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(Message.WParam);
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
        if (Message.WParam) HandleShowWindow(Message);
        break;
    case WM_SETCURSOR:
        if (NCMode() && UseFormCursorInNCArea && skinnable) {
            int hit = int16_t(LOWORD(uintptr_t(Message.LParam)));
            if (!(hit == HTCLIENT || (hit >= HTLEFT && hit <= HTBOTTOMRIGHT))) hit = HTCLIENT;
            Message.LParam = MAKELPARAM(hit, HIWORD(uintptr_t(Message.LParam)));
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
        }
        break;
    case WM_SKIN_APPLYCHANGE:
        FStopPainting = false;
        if (reinterpret_cast<TspSkinData*>(Message.WParam) == FSD && FSD) ApplySkinData();
        break;
    case WM_SKIN_CLOSEMENU:
        SkinMenuClose();
        break;
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
    FFormActive = Message.WParam != 0;
    if (!FFormActive) TestActiveObject(-1, -1, false);
    Message.Result = 1;
    if (!Framed()) {
        UpdateActiveState(false);
    } else {
        SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
        UpdateActiveState(true);
    }
}

void TspSkinnedForm::HandleShowWindow(TMessage&) {
    if (FStartShow) {
        FStartShow = false;
        if (PositionInMonitor != sppDefault && FWindowState == wsNormal) ApplyPositionInMonitor();
    }
    if (FSD && FSD->AnimationForAllWindows() && FAlphaBlendValue == 0) FAlphaBlendValue = 255;
    bool anim = FAlphaBlend || AlphaBlendAnimation || (FSD && FSD->AnimationForAllWindows());
    if (anim) {
        HWND h = FForm->Handle();
        SetWindowLongPtr(h, GWL_EXSTYLE, GetWindowLongPtr(h, GWL_EXSTYLE) | WS_EX_LAYERED);
        SetLayeredWindowAttributes(h, 0, 0, LWA_ALPHA);
        SetTimer(h, kShowTimerId, 1, nullptr);
    }
    if (NCMode()) RefreshBounds();
}

void TspSkinnedForm::HandleTimer1() {
    HWND h = FForm->Handle();
    KillTimer(h, kShowTimerId);
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
                last = now;
            }
        }
    } else if (target < 255) {
        SetLayeredWindowAttributes(h, 0, uint8_t(FAlphaBlendValue), LWA_ALPHA);
    }
    if (target == 255)
        SetWindowLongPtr(h, GWL_EXSTYLE,
                         GetWindowLongPtr(h, GWL_EXSTYLE) & ~LONG_PTR(WS_EX_LAYERED));
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
    if (FWindowState == wsMaximized && FSkinnableForm) {
        SetWindowState(wsNormal);
        remax = true;
    }
    FSkinnableForm = Value && !FUseRibbon;
    ApplySkinData();
    if (FForm->HandleAllocated())
        SetWindowPos(FForm->Handle(), 0, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (remax) SetWindowState(wsMaximized);
}

void TspSkinnedForm::ApplySkinData() {
    if (FUseRibbon) FSkinnableForm = false;
    OldActiveObject = ActiveObject = MouseCaptureObject = -1;
    FSkinSupport = HasSkin();
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
        if (!FRollUpState) FitClientToSkin();
        CreateSkinObjects();
        CheckObjects();
        FInChangeSkinData = true;
        if (OnChangeSkinData) OnChangeSkinData(this);
        if (!FRollUpState && IsStretchableSkin()) UpdateFrameLayout(true);
        CalcObjectRects();
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
        // The other frame objects (gauges, labels, switches ...) come with their own classes.
        if (auto* sb = dynamic_cast<TspDataSkinStdButton*>(d))
            ObjectList.push_back(std::make_unique<TspSkinStdButtonObject>(this, sb));
        else if (auto* c = dynamic_cast<TspDataSkinCaption*>(d))
            ObjectList.push_back(std::make_unique<TspSkinCaptionObject>(this, c));
    }
}

void TspSkinnedForm::UpdateMainMenu(bool ARedraw) {
    // Main-menu items of the frame are built by the menu-bar objects; redraw only.
    if (ARedraw && NCMode() && FForm->HandleAllocated())
        SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
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
            if (dynamic_cast<TspSkinStdButtonObject*>(o.get())) {
                o->Enabled = false;
                o->Visible = !o->SkinRectInAPicture;
            }
    } else {
        for (auto& o : ObjectList) {
            if (auto* b = dynamic_cast<TspSkinStdButtonObject*>(o.get())) {
                if (b->Command == cmDefault) {
                    bool vis = false;
                    if (OnActivateCustomObject) OnActivateCustomObject(b->IDName, vis);
                    b->Visible = vis;
                } else if (unsigned icon = iconOf(b->Command)) {
                    b->Enabled = (FBorderIcons & icon) != 0;
                    if (b->Command == cmSysMenu && DisableSystemMenu) b->Enabled = false;
                    b->Visible = b->SkinRectInAPicture ? b->Enabled : true;
                }
            } else if (auto* c = dynamic_cast<TspSkinCaptionObject*>(o.get())) {
                if (c->DefaultCaption) c->TextValue = FForm->Caption();
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
                c->TextValue = FForm->Caption();
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
    if (!active && FSD->AutoRenderingInActiveImage && src == FSD->FPicture.get())
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
    std::string text = FForm->Caption();
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
    if (!IsWindowVisible(FForm->Handle())) return;
    // The frame is composed as a whole so a redrawn object sits on its strip.
    if (NCMode()) {
        if (!Framed()) return;
        SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
    } else {
        FForm->Invalidate();
    }
}

void TspSkinnedForm::UpdateDefaultCaptionText() {
    for (auto& o : ObjectList)
        if (auto* c = dynamic_cast<TspSkinCaptionObject*>(o.get()); c && c->DefaultCaption) {
            c->TextValue = FForm->Caption();
            DrawSkinObject(c);
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
    bool corners = FSD->LTPoint.X || FSD->LTPoint.Y || FSD->RBPoint.X || FSD->RBPoint.Y;
    if (corners) {
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
    c.Draw(0, 0, &img);
    c.SetHandle(nullptr);
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
        o->ObjectRect = MapSkinRect(o->SkinRect);
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
        if (FSD->StretchEffect) FForm->Invalidate();
    } else {
        FForm->Invalidate();
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
    }
    if (OnMinimize) OnMinimize(this);
}

void TspSkinnedForm::GetMinimizedPosition(TPoint& P) {
    int W = GetMinWidth(), H = GetMinHeight();
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
    TRect target, monitor;
    HWND h = FForm->HandleAllocated() ? FForm->Handle() : 0;
    GetMonitorArea(h, !MaximizeOnFullScreen, target);
    GetMonitorArea(h, false, monitor);
    TRect screen(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    if (!MaximizeOnFullScreen && target == monitor && monitor == screen)
        target = TRect(target.Left + 1, target.Top + 1, target.Right - 1, target.Bottom - 1);
    FForm->SetBounds(target.Left, target.Top, target.Width(), target.Height());
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
    OldBoundsRect = TRect();
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
            FForm->SetHeight(FSD->FRollUpPicture->Height());
        } else {
            FForm->SetHeight(OldHeight);
        }
    }
    if (FForm->HandleAllocated()) SendMessage(FForm->Handle(), WM_NCPAINT, 0, 0);
    if (OnChangeRollUpState) OnChangeRollUpState(this);
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

std::string TspSkinnedForm::ResString(const char*, const char* Builtin) const {
    // Resource strings of the skin data arrive with the skinned menu engine.
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
    bool mdiMax = false;
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
    if ((FBorderIcons & biRollUp) && !FRollUpState && FWindowState != wsMinimized)
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
        items->Insert(0, NewSysItem(owner, "DSF_MINITEM", "MI_MINCAPTION", "Mi&nimize",
                                    [this] { SetWindowState(wsMinimized); }));
    items->Add(
        NewSysItem(owner, "DSF_CLOSE", "MI_CLOSECAPTION", "&Close", [this] { FForm->Close(); }));
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
    if (MenuPresenter) MenuPresenter(items, R);
}

void TspSkinnedForm::PopupSystemMenuFromButton() {
    if (DisableSystemMenu) return;
    for (auto& o : ObjectList)
        if (auto* b = dynamic_cast<TspSkinStdButtonObject*>(o.get());
            b && b->Command == cmSysMenu && b->Enabled) {
            PopupSystemMenuAtRect(Offset(b->ObjectRect, FForm->Left(), FForm->Top()));
            return;
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
    OldAppMessage = Application->OnMessage;
    Application->OnMessage = [this](MSG& Msg, bool& Handled) {
        if (Msg.message == WM_KEYDOWN) {
            SkinMenuKeyDown(int(Msg.wParam));
            Handled = true;
        } else if (Msg.message == WM_MOUSEWHEEL) {
            Handled = true;
        }
    };
}

void TspSkinnedForm::UnHookApp() {
    if (!FInAppHook) return;
    FInAppHook = false;
    if (Application) Application->OnMessage = std::move(OldAppMessage);
    OldAppMessage = nullptr;
}

void TspSkinnedForm::SkinMenuKeyDown(int Key) {
    TspSkinMenu* engine = FSkinMenu.get();
    auto popups = [engine] { return int(engine->FPopupList.size()); };
    if (InMainMenu && FMainMenuBar && FMainMenuBar->CheckMainMenuAccel(Key)) return;
    if (Key == VK_ESCAPE && InMainMenu && popups() == 0) {
        ExitMainMenu();
        return;
    }
    if (InMainMenu && FMainMenuBar) {
        TspSkinPopupWindow* last = engine->LastWindow();
        bool lastHasSub = last && last->ActiveItem >= 0 &&
                          last->ItemList[size_t(last->ActiveItem)]->MenuItem->Count() > 0;
        if (Key == VK_LEFT && popups() <= 1) {
            FMainMenuBar->PrevMainMenuItem();
            return;
        }
        if (Key == VK_RIGHT && (popups() == 0 || !lastHasSub)) {
            FMainMenuBar->NextMainMenuItem();
            return;
        }
    }
    if (Key == VK_RETURN || Key == VK_DOWN) {
        if (FMainMenuBar && InMainMenu && FMainMenuBar->PressMainMenuItem()) return;
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
    if (Char != 0) {
        // Alt with a character: the main menu's accelerator.
        int key = (Char >= 'a' && Char <= 'z') ? Char - 32 : Char;
        if (FMainMenuBar) FMainMenuBar->CheckMainMenuAccel(key);
        return;
    }
    if (!InMainMenu) {
        SkinMenuClose();
        if (FMainMenuBar) FMainMenuBar->EnterMainMenu();
    } else {
        ExitMainMenu();
    }
}

void TspSkinnedForm::ExitMainMenu() {
    InMainMenu = false;
    if (FSkinMenu->FVisible) FSkinMenu->CloseMenu(0);
    if (FMainMenuBar) FMainMenuBar->ExitMainMenu();
    InMenu = false;
    UnHookApp();
    if (OnMainMenuExit) OnMainMenuExit(this);
}

void TspSkinnedForm::CloseMainMenuItem() {
    InMenu = false;
    if (FMainMenuBar) FMainMenuBar->CloseMainMenuItem();
    if (OnSkinMenuClose) OnSkinMenuClose(this);
}

void TspSkinnedForm::SetMainMenuBar(TspSkinMainMenuBar* Value) {
    if (FMainMenuBar) RemoveFreeNotification(FMainMenuBar);
    FMainMenuBar = Value;
    if (FMainMenuBar) FreeNotification(FMainMenuBar);
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
    bool wasInMenu = InMenu;
    InMenu = false;
    if (wasInMenu && OnSkinMenuClose) OnSkinMenuClose(this);
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
        if (!b) continue;
        const char* key = nullptr;
        const char* text = nullptr;
        switch (b->Command) {
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
        b->Hint = b->FTempHint = ResString(key, text);
        b->RestoreHint = ResString("RESTORE_HINT", "Restore");
    }
}

// ---- Frame-object tracking ---------------------------------------------------------------------

bool TspSkinnedForm::IsObjectVisibleInState(bool ARollUp) const {
    return NCMode() ? !ARollUp : ARollUp == FRollUpState;
}

void TspSkinnedForm::ScreenToFramePoint(TPoint& P) const {
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
            o->InObject(X - o->ObjectRect.Left, Y - o->ObjectRect.Top)) {
            hit = int(i);
            break;
        }
    }
    ActiveObject = AActive ? hit : -1;
    if (MouseCaptureObject != -1 && hit != MouseCaptureObject) ActiveObject = -1;
    if (ActiveObject >= int(ObjectList.size())) ActiveObject = -1;
    if (OldActiveObject >= int(ObjectList.size())) OldActiveObject = -1;
    if (ActiveObject == OldActiveObject) return;
    if (OldActiveObject != -1) {
        auto* o = ObjectList[size_t(OldActiveObject)].get();
        if (o->Enabled && o->Visible) o->MouseLeave();
    }
    if (ActiveObject != -1) {
        auto* o = ObjectList[size_t(ActiveObject)].get();
        if (o->Enabled && o->Visible) o->MouseEnter();
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
    if (AUpdate && !NCMode())
        for (auto& o : ObjectList)
            if (dynamic_cast<TspSkinCaptionObject*>(o.get()) && IsObjectVisibleInState(o->RollUp))
                o->Active = A;
    if (A) {
        if (OnActivate) OnActivate(this);
    } else if (OnDeActivate) {
        OnDeActivate(this);
    }
}

void TspSkinnedForm::ResetObjectStates() {
    for (auto& o : ObjectList)
        if (!dynamic_cast<TspSkinCaptionObject*>(o.get())) {
            o->Active = false;
            o->FMouseIn = false;
        }
}

void TspSkinnedForm::UpdateSkinCursor() {
    // Skin cursors come with the cursor list of the skin engine; the default cursor stays.
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

// ---- Main menu bar ------------------------------------------------------------------------------

namespace {

TBitmap* BarPictureOf(TspSkinData* SD, int Index) {
    if (!SD || Index < 0 || Index >= int(SD->FActivePictures.size())) return nullptr;
    return SD->FActivePictures[size_t(Index)].get();
}

void MorphBitmapInto(TBitmap* A, TBitmap* B, double Kf, TMorphKind MK) {
    auto ea = TspEffectBmp::CreateFromhWnd(A->Handle());
    auto eb = TspEffectBmp::CreateFromhWnd(B->Handle());
    if (!ea || !eb) return;
    switch (MK) {
    case mkGradient:
        ea->MorphGrad(eb.get(), Kf);
        break;
    case mkLeftGradient:
        ea->MorphLeftGrad(eb.get(), Kf);
        break;
    case mkRightGradient:
        ea->MorphRightGrad(eb.get(), Kf);
        break;
    case mkLeftSlide:
        ea->MorphLeftSlide(eb.get(), Kf);
        break;
    case mkRightSlide:
        ea->MorphRightSlide(eb.get(), Kf);
        break;
    case mkPush:
        ea->MorphPush(eb.get(), Kf);
        break;
    default:
        ea->Morph(eb.get(), Kf);
        break;
    }
    ea->Draw(A->Canvas()->Handle(), 0, 0);
}

void FillRectColor(TCanvas* C, const TRect& R, TColor Color) {
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(Color);
    C->FillRect(R);
}

} // namespace

void TspSkinMainMenu::SetSkinData(TspSkinData* Value) {
    if (FSD) RemoveFreeNotification(FSD);
    FSD = Value;
    if (FSD) FreeNotification(FSD);
}

void TspSkinMainMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TMainMenu::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSD) FSD = nullptr;
}

// ---- TspMenuBarObject

TspMenuBarObject::TspMenuBarObject(TspSkinMainMenuBar* AParent, TspDataSkinObject* AData)
    : Parent(AParent) {
    if (!AData) return;
    IDName = AData->IDName;
    SkinRect = AData->SkinRect;
    ActiveSkinRect = AData->ActiveSkinRect;
    DownRect = AData->ActiveSkinRect;
    Morphing = AData->Morphing;
    MorphKind = AData->MorphKind;
    ObjectRect = SkinRect;
    Picture = BarPictureOf(AParent->SkinData(), AData->ActivePictureIndex);
}

void TspMenuBarObject::SetMorphKf(double Value) {
    FMorphKf = std::clamp(Value, 0.0, 1.0);
}

bool TspMenuBarObject::EnableMorphing() const {
    TspSkinData* sd = Parent->SkinData();
    return Morphing && sd && sd->EnableSkinEffects();
}

void TspMenuBarObject::StartRedraw() {
    if (EnableMorphing())
        Parent->MorphTimer->SetEnabled(true);
    else
        Parent->DrawObject(this);
}

bool TspMenuBarObject::CanMorphing() {
    if (FDown && !IsEmptyRect(DownRect)) return false;
    return (Active && FMorphKf < 1) || (!Active && FMorphKf > 0);
}

void TspMenuBarObject::DoMorphing() {
    SetMorphKf(FMorphKf + (Active ? 0.2 : -0.2));
    if (FMorphKf > 0.999) FMorphKf = 1;
    if (FMorphKf < 0.001) FMorphKf = 0;
    Parent->DrawObject(this);
}

void TspMenuBarObject::MouseEnter() {
    FMouseIn = true;
    Active = true;
    StartRedraw();
}

void TspMenuBarObject::MouseLeave() {
    FMouseIn = false;
    Active = false;
    StartRedraw();
}

// ---- TspSkinMainMenuBarItem

TspSkinMainMenuBarItem::TspSkinMainMenuBarItem(TspSkinMainMenuBar* AParent,
                                               TspDataSkinMainMenuBarItem* AData)
    : TspMenuBarObject(AParent, AData) {
    if (AData) {
        FSkinSupport = true;
        ItemDownRect = AData->DownRect;
        FontName = AData->FontName;
        FontHeight = AData->FontHeight;
        FontStyle = AData->FontStyle;
        UnEnabledFontColor = AData->UnEnabledFontColor;
        FontColor = AData->FontColor;
        ActiveFontColor = AData->ActiveFontColor;
        DownFontColor = AData->DownFontColor;
        TextRct = AData->TextRct;
        LO = AData->ItemLO;
        RO = AData->ItemRO;
        StretchEffect = AData->StretchEffect;
        AnimateSkinRect = AData->AnimateSkinRect;
        FrameCount = AData->FrameCount;
        AnimateInterval = AData->AnimateInterval;
        InActiveAnimation = AData->InActiveAnimation;
        if (IsEmptyRect(ItemDownRect))
            ItemDownRect = IsEmptyRect(ActiveSkinRect) ? SkinRect : ActiveSkinRect;
        if (IsEmptyRect(ActiveSkinRect)) Morphing = false;
    }
    OldEnabled = Enabled;
}

bool TspSkinMainMenuBarItem::EnableAnimation() const {
    TspSkinData* sd = Parent->SkinData();
    return !IsEmptyRect(AnimateSkinRect) && sd && !sd->Empty && sd->EnableSkinEffects();
}

void TspSkinMainMenuBarItem::SetItemFont(TCanvas* C) {
    TspSkinData* sd = Parent->SkinData();
    if (FSkinSupport && Parent->UseSkinFont) {
        C->Font()->SetName(FontName);
        C->Font()->SetStyle(FontStyle);
        C->Font()->SetHeight(FontHeight);
    } else {
        C->Font()->Assign(Parent->DefItemFont());
    }
    C->Font()->SetCharset(sd && sd->ResourceStrData() ? sd->ResourceStrData()->CharSet()
                                                      : Parent->DefItemFont()->Charset());
}

void TspSkinMainMenuBarItem::Layout(TCanvas* Cnvs, int& TextWidth) {
    TBitmap measure(1, 1);
    SetItemFont(measure.Canvas());
    TRect r(0, 0, 0, 0);
    DrawWideText(measure.Canvas(), Utf8ToUtf16(MenuItem ? MenuItem->Caption : std::string()), r,
                 DT_CALCRECT | DT_CENTER | DT_SINGLELINE);
    TextWidth = RectWidth(r);
    (void)Cnvs;
    int left = 0;
    auto items = Parent->Items();
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == this) {
            if (i > 0) left = items[i - 1]->ObjectRect.Right;
            break;
        }
    if (left == 0) left = Parent->NewItemsRect.Left;
    int top = Parent->NewItemsRect.Top;
    if (FSkinSupport)
        ObjectRect =
            TRect(left, top, left + RectWidth(SkinRect) - RectWidth(TextRct) + TextWidth + 2,
                  top + RectHeight(SkinRect));
    else
        ObjectRect = TRect(left, top, left + TextWidth + 12, Parent->NewItemsRect.Bottom);
    int limit = Parent->NewItemsRect.Right - (Parent->ScrollMenu ? 5 : 0);
    if (ObjectRect.Right > limit) {
        Parent->Scroll = true;
        if (ItemVisible) {
            OldEnabled = Enabled;
            Enabled = false;
            ItemVisible = false;
        }
    } else if (!ItemVisible) {
        ItemVisible = true;
        Enabled = OldEnabled;
    }
}

void TspSkinMainMenuBarItem::BuildImage(TBitmap* B, TCanvas* Under, const TRect& S, bool ActiveLook,
                                        bool Frame) {
    int w = RectWidth(ObjectRect), h = RectHeight(ObjectRect);
    B->SetSize(w, h);
    if (Parent->ItemTransparent && RectsEqual(S, SkinRect) && Under && !Frame)
        B->Canvas()->CopyRect(TRect(0, 0, w, h), Under, ObjectRect);
    else if (Picture && !IsEmptyRect(S))
        BuildHorzSkinImage(LO, RO, B, Picture, S, w, h, ActiveLook && StretchEffect);
    TCanvas* C = B->Canvas();
    SetItemFont(C);
    C->Brush()->SetStyle(bsClear);
    TColor fc = FDown                           ? DownFontColor
                : ActiveLook                    ? ActiveFontColor
                : MenuItem && MenuItem->Enabled ? FontColor
                                                : UnEnabledFontColor;
    C->Font()->SetColor(SkinColorToColor(fc));
    std::u16string text = Utf8ToUtf16(MenuItem ? MenuItem->Caption : std::string());
    TRect tr(TextRct.Left, TextRct.Top, TextRct.Left, TextRct.Top);
    DrawWideText(C, text, tr, DT_CALCRECT | DT_CENTER | DT_SINGLELINE);
    tr.Right += 2;
    if (MenuItem && MenuItem->OnDrawItem)
        MenuItem->OnDrawItem(reinterpret_cast<TObject*>(this), C, tr, ActiveLook);
    else
        DrawWideText(C, text, tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void TspSkinMainMenuBarItem::Draw(TCanvas* Cnvs) {
    if (!FSkinSupport) {
        DefaultDraw(Cnvs);
        return;
    }
    if (IsEmptyRect(SkinRect) || IsEmptyRect(TextRct)) return;
    int tw = 0;
    Layout(Cnvs, tw);
    if (!ItemVisible) return;
    TBitmap B;
    bool morphing = EnableMorphing() && FMorphKf > 0 && FMorphKf < 1;
    if (FDown) {
        BuildImage(&B, Cnvs, ItemDownRect, true, false);
    } else if (EnableAnimation() && CurrentFrame >= 1 && CurrentFrame <= FrameCount) {
        TRect A = AnimateSkinRect;
        int fc = std::max(1, FrameCount);
        TRect f = RectHeight(A) > RectHeight(SkinRect)
                      ? TRect(A.Left, A.Top + RectHeight(A) / fc * (CurrentFrame - 1), A.Right,
                              A.Top + RectHeight(A) / fc * CurrentFrame)
                      : TRect(A.Left + RectWidth(A) / fc * (CurrentFrame - 1), A.Top,
                              A.Left + RectWidth(A) / fc * CurrentFrame, A.Bottom);
        BuildImage(&B, Cnvs, f, true, true);
    } else if (!morphing) {
        if (Active)
            BuildImage(&B, Cnvs, IsEmptyRect(ActiveSkinRect) ? SkinRect : ActiveSkinRect, true,
                       false);
        else
            BuildImage(&B, Cnvs, SkinRect, false, false);
    } else {
        TBitmap A2;
        BuildImage(&B, Cnvs, SkinRect, false, false);
        BuildImage(&A2, Cnvs, ActiveSkinRect, true, false);
        MorphBitmapInto(&B, &A2, FMorphKf, MorphKind);
    }
    Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &B);
}

void TspSkinMainMenuBarItem::DefaultDraw(TCanvas* Cnvs) {
    int tw = 0;
    Layout(Cnvs, tw);
    if (!ItemVisible) return;
    int w = RectWidth(ObjectRect), h = RectHeight(ObjectRect);
    if (w <= 0 || h <= 0) return;
    TBitmap B(w, h);
    TCanvas* C = B.Canvas();
    if (FDown) {
        FillRectColor(C, TRect(0, 0, w, h), TColor(0xB59385));
        C->Brush()->SetColor(clNavy);
        C->FrameRect(TRect(0, 0, w, h));
    } else if (FMouseIn || Active) {
        FillRectColor(C, TRect(0, 0, w, h), TColor(0xD2BDB6));
        C->Brush()->SetColor(clNavy);
        C->FrameRect(TRect(0, 0, w, h));
    } else {
        FillRectColor(C, TRect(0, 0, w, h), clBtnFace);
    }
    SetItemFont(C);
    C->Font()->SetColor(MenuItem && !MenuItem->Enabled ? clBtnShadow
                                                       : Parent->DefItemFont()->Color());
    C->Brush()->SetStyle(bsClear);
    std::u16string text = Utf8ToUtf16(MenuItem ? MenuItem->Caption : std::string());
    int th = WideTextHeight(C, text);
    TRect tr(0, h / 2 - th / 2, w, h / 2 - th / 2 + th);
    if (FDown) tr = Offset(tr, 1, 1);
    if (MenuItem && MenuItem->OnDrawItem)
        MenuItem->OnDrawItem(reinterpret_cast<TObject*>(this), C, tr, Active);
    else
        DrawWideText(C, text, tr, DT_CENTER | DT_SINGLELINE);
    Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &B);
}

void TspSkinMainMenuBarItem::StartRedraw() {
    if (EnableAnimation()) {
        if (Parent->AnimateTimer->Interval() != unsigned(AnimateInterval))
            Parent->AnimateTimer->SetInterval(AnimateInterval);
        Parent->AnimateTimer->SetEnabled(true);
        return;
    }
    TspMenuBarObject::StartRedraw();
}

bool TspSkinMainMenuBarItem::ReleaseOtherDownItem() {
    for (auto* i : Parent->Items())
        if (i != this && i->FDown) {
            i->SetDown(false);
            return true;
        }
    return false;
}

void TspSkinMainMenuBarItem::LeaveOtherActiveItem() {
    for (auto* i : Parent->Items())
        if (i != this && i->Active) {
            i->MouseLeave();
            return;
        }
}

void TspSkinMainMenuBarItem::MouseEnter() {
    if (ReleaseOtherDownItem()) {
        Active = FMouseIn = true;
        if (EnableMorphing()) FMorphKf = 1;
        SetDown(true);
        return;
    }
    LeaveOtherActiveItem();
    FMouseIn = Active = true;
    StartRedraw();
    if (Parent->OnItemMouseEnter) Parent->OnItemMouseEnter(MenuItem);
    if (MenuItem && Parent->Hint != MenuItem->Hint) Parent->Hint = MenuItem->Hint;
}

void TspSkinMainMenuBarItem::MouseLeave() {
    Active = FMouseIn = false;
    if (EnableAnimation() && !InActiveAnimation) {
        CurrentFrame = 0;
        Parent->DrawObject(this);
    }
    if (EnableMorphing() && FDown) FMorphKf = 0;
    StartRedraw();
    if (Parent->OnItemMouseLeave) Parent->OnItemMouseLeave(MenuItem);
}

void TspSkinMainMenuBarItem::MouseDown(int, int, TMouseButton Button) {
    TspSkinnedForm* sf = Parent->SkinnedForm();
    if (!Enabled || !sf || Button != mbLeft || !MenuItem) return;
    if (Parent->OnMainMenuItemClick) Parent->OnMainMenuItemClick(IDName);
    if (MenuItem->Count() > 0) {
        Parent->MenuActive = true;
        SetDown(true);
        return;
    }
    if (sf->InMainMenu) sf->ExitMainMenu();
    sf->InMenu = false;
    if (EnableMorphing())
        StartRedraw();
    else
        Parent->DrawObject(this);
    TMenuItem* mi = MenuItem;
    if (TMenu* pm = mi->GetParentMenu())
        pm->DispatchCommand(mi->Command());
    else
        mi->Click();
}

void TspSkinMainMenuBarItem::SetDown(bool Value) {
    FDown = Value;
    if (Value) {
        Parent->DrawObject(this);
        TspSkinnedForm* sf = Parent->SkinnedForm();
        if (sf && !sf->InMainMenu && sf->OnMainMenuEnter) sf->OnMainMenuEnter(Parent);
        TrackMenu();
        return;
    }
    Active = false;
    if (EnableAnimation()) {
        if (InActiveAnimation) {
            CurrentFrame = FrameCount + 1;
            StartRedraw();
            return;
        }
        CurrentFrame = 0;
    } else if (EnableMorphing()) {
        FMorphKf = 1;
        StartRedraw();
        return;
    }
    Parent->DrawObject(this);
}

void TspSkinMainMenuBarItem::TrackMenu() {
    TspSkinnedForm* sf = Parent->SkinnedForm();
    if (!sf || !MenuItem) return;
    TPoint p = Parent->ClientToScreen(ObjectRect.TopLeft());
    TRect R(p.X, p.Y, p.X + RectWidth(ObjectRect), p.Y + RectHeight(ObjectRect));
    sf->SkinMenuOpen();
    sf->InMainMenu = true;
    sf->HookApp();
    sf->SkinMenu()->Popup(nullptr, Parent->SkinData(), 0, R, MenuItem, Parent->PopupToUp);
}

// ---- TspSkinMainMenuBarButton

TspSkinMainMenuBarButton::TspSkinMainMenuBarButton(TspSkinMainMenuBar* AParent,
                                                   TspDataSkinMainMenuBarButton* AData)
    : TspMenuBarObject(AParent, AData) {
    if (AData) {
        FSkinSupport = true;
        Command = AData->Command;
        DownRect = AData->DownRect;
    }
}

void TspSkinMainMenuBarButton::Draw(TCanvas* Cnvs) {
    if (!FSkinSupport || !Picture) {
        DefaultDraw(Cnvs);
        return;
    }
    TRect src = SkinRect;
    if (FDown && FMouseIn && !IsEmptyRect(DownRect))
        src = DownRect;
    else if (Active && !IsEmptyRect(ActiveSkinRect))
        src = ActiveSkinRect;
    Cnvs->CopyRect(ObjectRect, Picture->Canvas(), src);
}

void TspSkinMainMenuBarButton::DefaultDraw(TCanvas* Cnvs) {
    TRect r = ObjectRect;
    if (RectWidth(r) <= 0) return;
    bool hot = Active || FMouseIn;
    if (FDown && FMouseIn) {
        FillRectColor(Cnvs, r, TColor(0xB59385));
        Cnvs->Brush()->SetColor(clNavy);
        Cnvs->FrameRect(r);
    } else if (hot) {
        FillRectColor(Cnvs, r, TColor(0xD2BDB6));
        Cnvs->Brush()->SetColor(clNavy);
        Cnvs->FrameRect(r);
    } else {
        FillRectColor(Cnvs, r, clBtnFace);
    }
    int x = r.Left + RectWidth(r) / 2 - 4, y = r.Top + RectHeight(r) / 2 - 4;
    TColor c = Enabled ? clBlack : clBtnShadow;
    switch (Command) {
    case cmClose:
        DrawCloseGlyph(Cnvs, x, y, c);
        break;
    case cmMaximize:
        DrawRestoreGlyph(Cnvs, x, y, c);
        break;
    case cmMinimize:
        DrawMinimizeGlyph(Cnvs, x, y, c);
        break;
    case cmSysMenu:
        DrawSysMenuGlyph(Cnvs, x, y, c);
        break;
    default:
        break;
    }
}

void TspSkinMainMenuBarButton::DoCommand() {
    // Child windows of a multi-document main form arrive with their own unit.
}

void TspSkinMainMenuBarButton::DblClick() {}

void TspSkinMainMenuBarButton::MouseDown(int, int, TMouseButton Button) {
    if (!Enabled || Button != mbLeft || FDown) return;
    FDown = true;
    if (EnableMorphing() && !IsEmptyRect(DownRect)) FMorphKf = 1;
    Parent->DrawObject(this);
    if (Command == cmSysMenu) DoCommand();
}

void TspSkinMainMenuBarButton::MouseUp(int, int, TMouseButton Button) {
    if (!Enabled || Button != mbLeft) return;
    if (Command == cmSysMenu) return;
    FDown = false;
    Parent->DrawObject(this);
    if (EnableMorphing()) StartRedraw();
    if (Active) DoCommand();
}

void TspSkinMainMenuBarButton::MouseEnter() {
    if (FDown && Command == cmSysMenu) {
        FMouseIn = Active = true;
        return;
    }
    if (FDown && EnableMorphing()) {
        FMouseIn = Active = true;
        Parent->DrawObject(this);
        return;
    }
    TspMenuBarObject::MouseEnter();
}

void TspSkinMainMenuBarButton::MouseLeave() {
    if (FDown && Command == cmSysMenu) {
        if (EnableMorphing()) FMorphKf = 1;
        Active = FMouseIn = false;
        return;
    }
    if (FDown && EnableMorphing()) {
        FMouseIn = Active = false;
        Parent->DrawObject(this);
        return;
    }
    TspMenuBarObject::MouseLeave();
}

// ---- TspSkinMainMenuBar

TspSkinMainMenuBar::TspSkinMainMenuBar(TComponent* AOwner) : TspSkinControl(AOwner) {
    FDefItemFont = std::make_unique<TFont>();
    FDefItemFont->SetName("Arial");
    FDefItemFont->SetHeight(14);
    FDefItemFont->SetStyle(TFontStyles());
    FDefItemFont->SetColor(clBtnText);
    auto timer = [this](unsigned ms, std::function<void()> proc) {
        auto t = std::make_unique<TTimer>(nullptr);
        t->SetEnabled(false);
        t->SetInterval(ms);
        t->SetOnTimer([proc](TObject*) { proc(); });
        return t;
    };
    MorphTimer = timer(25, [this] { MorphTimerProc(); });
    MouseTimer = timer(50, [this] { MouseTimerProc(); });
    AnimateTimer = timer(25, [this] { AnimateTimerProc(); });
    SetSkinDataName("mainmenubar");
    SetAlign(alTop);
    SetHeight(22);
}

TspSkinMainMenuBar::~TspSkinMainMenuBar() {
    MorphTimer.reset();
    MouseTimer.reset();
    AnimateTimer.reset();
    ObjectList.clear();
}

void TspSkinMainMenuBar::Notification(TComponent* AComponent, TOperation Operation) {
    TspSkinControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FMainMenu) {
        FMainMenu = nullptr;
        ObjectList.clear();
        ButtonsCount = 0;
        ActiveObject = OldActiveObject = MouseCaptureObject = -1;
    }
    if (AComponent == FSkinnedForm) FSkinnedForm = nullptr;
    if (AComponent == FMergeMenu) FMergeMenu = nullptr;
}

void TspSkinMainMenuBar::SetSkinnedForm(TspSkinnedForm* Value) {
    if (FSkinnedForm) RemoveFreeNotification(FSkinnedForm);
    FSkinnedForm = Value;
    if (FSkinnedForm) {
        FreeNotification(FSkinnedForm);
        FSkinnedForm->SetMainMenuBar(this);
    }
}

void TspSkinMainMenuBar::SetMainMenu(TMainMenu* Value) {
    if (FMainMenu) RemoveFreeNotification(FMainMenu);
    FMainMenu = Value;
    if (FMainMenu) FreeNotification(FMainMenu);
    CreateMenu();
    Invalidate();
}

void TspSkinMainMenuBar::SetDefItemFont(TFont* Value) {
    FDefItemFont->Assign(Value);
    if (!FSkinSupport) Invalidate();
}

void TspSkinMainMenuBar::SetDefaultWidth(int Value) {
    FDefaultWidth = Value;
    if (!FSkinSupport && Value > 0) SetWidth(Value);
}

void TspSkinMainMenuBar::SetDefaultHeight(int Value) {
    FDefaultHeight = Value;
    if (!FSkinSupport && Value > 0) SetHeight(Value);
}

void TspSkinMainMenuBar::GetSkinData() {
    TspSkinControl::GetSkinData();
    FSkinSupport = false;
    BarPicture = nullptr;
    if (FIndex == -1 || !FSD) return;
    auto* d = dynamic_cast<TspDataSkinMainMenuBar*>(FSD->CtrlList[size_t(FIndex)].get());
    if (!d) return;
    FSkinSupport = true;
    BarSkinRect = d->SkinRect;
    ItemsRect = d->ItemsRect;
    MenuBarItem = d->MenuBarItem;
    CloseButton = d->CloseButton;
    MaxButton = d->MaxButton;
    MinButton = d->MinButton;
    SysMenuButton = d->SysMenuButton;
    TrackMarkColor = d->TrackMarkColor;
    TrackMarkActiveColor = d->TrackMarkActiveColor;
    StretchEffect = d->StretchEffect;
    ItemTransparent = d->ItemTransparent;
    BarPicture = BarPictureOf(FSD, d->PictureIndex);
}

void TspSkinMainMenuBar::BeforeChangeSkinData() {
    FSkinSupport = false;
    TspSkinControl::BeforeChangeSkinData();
    ObjectList.clear();
    ButtonsCount = 0;
    ActiveObject = OldActiveObject = MouseCaptureObject = -1;
}

void TspSkinMainMenuBar::ChangeSkinData() {
    GetSkinData();
    CreateMenu();
    if (FSkinSupport)
        SetHeight(RectHeight(BarSkinRect));
    else if (FDefaultHeight > 0)
        SetHeight(FDefaultHeight);
    Invalidate();
}

void TspSkinMainMenuBar::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    GetSkinData();
    if (FSkinSupport && RectHeight(BarSkinRect) > 0) AHeight = RectHeight(BarSkinRect);
    TspSkinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    Invalidate();
}

TMainMenu* TspSkinMainMenuBar::GetChildMainMenu() {
    return FMergeMenu;
}

void TspSkinMainMenuBar::CreateMenu() {
    ObjectList.clear();
    ButtonsCount = 0;
    ActiveObject = OldActiveObject = MouseCaptureObject = -1;
    TMainMenu* child = FMergeMenu ? GetChildMainMenu() : nullptr;
    if (!FMainMenu) return;
    TspDataSkinMainMenuBarItem* data = nullptr;
    if (FSD && !FSD->Empty && !MenuBarItem.empty()) {
        int idx = FSD->GetIndex(MenuBarItem);
        if (idx != -1)
            data = dynamic_cast<TspDataSkinMainMenuBarItem*>(FSD->ObjectList[size_t(idx)].get());
    }
    ChildMenuIn = child != nullptr;
    if (child) ScrollMenu = false;
    std::vector<TMenuItem*> items;
    TMenuItem* root = FMainMenu->Items();
    if (!child) {
        for (int i = 0; i < root->Count(); ++i)
            items.push_back(root->Items(i));
    } else {
        TMenuItem* croot = child->Items();
        for (int i = 0; i < root->Count(); ++i) {
            bool replaced = false;
            for (int j = 0; j < croot->Count(); ++j)
                if (croot->Items(j)->GroupIndex == root->Items(i)->GroupIndex) replaced = true;
            if (!replaced) items.push_back(root->Items(i));
        }
        for (int j = 0; j < croot->Count(); ++j)
            items.push_back(croot->Items(j));
        std::stable_sort(items.begin(), items.end(),
                         [](TMenuItem* a, TMenuItem* b) { return a->GroupIndex < b->GroupIndex; });
    }
    for (TMenuItem* mi : items) {
        if (!mi->Visible) continue;
        auto o = std::make_unique<TspSkinMainMenuBarItem>(this, data);
        o->IDName = mi->Name();
        o->Enabled = o->OldEnabled = mi->Enabled;
        o->MenuItem = mi;
        ObjectList.push_back(std::move(o));
    }
}

void TspSkinMainMenuBar::UpDateItems() {
    CreateMenu();
    Invalidate();
    ActiveObject = -1;
    MouseTimer->SetEnabled(true);
}

void TspSkinMainMenuBar::UpDateEnabledItems() {
    for (auto* i : Items())
        i->Enabled = i->MenuItem->Enabled;
    Invalidate();
}

void TspSkinMainMenuBar::Merge(TMainMenu* Menu) {
    FMergeMenu = Menu;
    UpDateItems();
}

void TspSkinMainMenuBar::UnMerge() {
    FMergeMenu = nullptr;
    UpDateItems();
}

std::vector<TspSkinMainMenuBarItem*> TspSkinMainMenuBar::Items() const {
    std::vector<TspSkinMainMenuBarItem*> r;
    for (auto& o : ObjectList)
        if (auto* i = dynamic_cast<TspSkinMainMenuBarItem*>(o.get())) r.push_back(i);
    return r;
}

void TspSkinMainMenuBar::CalcItemsRect() {
    if (FSkinSupport)
        NewItemsRect = TRect(ItemsRect.Left, ItemsRect.Top,
                             Width() + ItemsRect.Right - RectWidth(BarSkinRect), ItemsRect.Bottom);
    else
        NewItemsRect = TRect(2, 2, Width() - 2, Height() - 2);
}

TRect TspSkinMainMenuBar::MarkerRect() const {
    return TRect(NewItemsRect.Right - 5, NewItemsRect.Top, NewItemsRect.Right, NewItemsRect.Bottom);
}

void TspSkinMainMenuBar::PaintBar(HDC DC) {
    if (Width() <= 0 || Height() <= 0) return;
    TBitmap B(Width(), Height());
    TCanvas* C = B.Canvas();
    if (!FSkinSupport) {
        FillRectColor(C, TRect(0, 0, Width(), Height()), clBtnFace);
    } else if (FSD->MainMenuBarTransparent) {
        DrawParentBackground(this, C);
    } else if (BarPicture) {
        BuildHorzSkinImage(ItemsRect.Left, RectWidth(BarSkinRect) - ItemsRect.Right, &B, BarPicture,
                           BarSkinRect, Width(), Height(), StretchEffect);
    }
    CalcItemsRect();
    Scroll = false;
    for (auto& o : ObjectList)
        if (o->Visible) o->Draw(C);
    if (Scroll && ScrollMenu) {
        TColor c = FSkinSupport
                       ? SkinColorToColor(MarkerActive ? TrackMarkActiveColor : TrackMarkColor)
                       : (MarkerActive ? clBtnText : clBtnShadow);
        DrawArrow(C, MarkerRect(), c, 2);
    }
    BitBlt(DC, 0, 0, B.Width(), B.Height(), C->Handle(), 0, 0, SRCCOPY);
}

void TspSkinMainMenuBar::Paint() {
    PaintBar(Canvas()->Handle());
}

void TspSkinMainMenuBar::DrawObject(TspMenuBarObject*) {
    // The bar is drawn whole: item backgrounds and the marker depend on it.
    if (!HandleAllocated()) return;
    HDC dc = GetDC(Handle());
    PaintBar(dc);
    ReleaseDC(Handle(), dc);
}

void TspSkinMainMenuBar::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_SKIN_CLOSEMENU:
        for (auto& o : ObjectList)
            if (auto* b = dynamic_cast<TspSkinMainMenuBarButton*>(o.get());
                b && b->Command == cmSysMenu && b->FDown) {
                b->FDown = false;
                b->Active = b->FMouseIn = false;
                DrawObject(b);
            }
        Message.Result = 0;
        return;
    case CM_MOUSEENTER:
        TspSkinControl::WndProc(Message);
        if (!HasState(csDesigning)) MouseTimer->SetEnabled(true);
        return;
    case CM_MOUSELEAVE:
        TspSkinControl::WndProc(Message);
        if (!HasState(csDesigning)) {
            MouseTimer->SetEnabled(false);
            TestActiveObject(-1, -1);
        }
        return;
    default:
        TspSkinControl::WndProc(Message);
    }
}

void TspSkinMainMenuBar::TestActiveObject(int X, int Y) {
    if (ObjectList.empty()) return;
    OldActiveObject = ActiveObject;
    int hit = -1;
    for (int i = 0; i < int(ObjectList.size()); ++i) {
        auto& o = ObjectList[size_t(i)];
        if (o->Enabled && o->Visible && RectContainsPoint(o->ObjectRect, TPoint(X, Y))) {
            hit = i;
            break;
        }
    }
    if (hit == -1 && OldActiveObject != -1 && MenuActive &&
        dynamic_cast<TspSkinMainMenuBarItem*>(ObjectList[size_t(OldActiveObject)].get()))
        ActiveObject = OldActiveObject;
    else
        ActiveObject = hit;
    if (MouseCaptureObject != -1 && ActiveObject != MouseCaptureObject) ActiveObject = -1;
    if (ActiveObject >= int(ObjectList.size())) ActiveObject = -1;
    if (ActiveObject != OldActiveObject) {
        if (OldActiveObject != -1 && OldActiveObject < int(ObjectList.size()) &&
            ObjectList[size_t(OldActiveObject)]->Enabled)
            ObjectList[size_t(OldActiveObject)]->MouseLeave();
        if (ActiveObject != -1 && ObjectList[size_t(ActiveObject)]->Enabled)
            ObjectList[size_t(ActiveObject)]->MouseEnter();
    }
    if (Scroll && ScrollMenu) {
        bool in = RectContainsPoint(MarkerRect(), TPoint(X, Y));
        if (in != MarkerActive) {
            MarkerActive = in;
            DrawObject(nullptr);
        }
    }
}

void TspSkinMainMenuBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TspSkinControl::MouseDown(Button, Shift, X, Y);
    TestActiveObject(X, Y);
    if (ActiveObject != -1) {
        MouseCaptureObject = ActiveObject;
        ObjectList[size_t(ActiveObject)]->MouseDown(X, Y, Button);
    } else if (Scroll && ScrollMenu && RectContainsPoint(MarkerRect(), TPoint(X, Y))) {
        PopupMarkerMenu();
    }
}

void TspSkinMainMenuBar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (MouseCaptureObject != -1 && MouseCaptureObject < int(ObjectList.size()))
        ObjectList[size_t(MouseCaptureObject)]->MouseUp(X, Y, Button);
    MouseCaptureObject = -1;
    TspSkinControl::MouseUp(Button, Shift, X, Y);
}

void TspSkinMainMenuBar::MouseMove(TShiftState Shift, int X, int Y) {
    TspSkinControl::MouseMove(Shift, X, Y);
    MouseTimer->SetEnabled(true);
}

void TspSkinMainMenuBar::MouseTimerProc() {
    POINT p{};
    GetCursorPos(&p);
    TPoint c = ScreenToClient(TPoint(p.x, p.y));
    if (c.X < 0 || c.Y < 0 || c.X > Width() || c.Y > Height()) {
        MouseTimer->SetEnabled(false);
        TestActiveObject(-1, -1);
        return;
    }
    TestActiveObject(c.X, c.Y);
}

void TspSkinMainMenuBar::MorphTimerProc() {
    bool any = false;
    for (auto& o : ObjectList)
        if (o->EnableMorphing() && o->CanMorphing()) {
            o->DoMorphing();
            any = true;
        }
    if (!any) MorphTimer->SetEnabled(false);
}

void TspSkinMainMenuBar::AnimateTimerProc() {
    bool any = false;
    for (auto* i : Items()) {
        if (!i->EnableAnimation()) continue;
        if (i->Active && i->CurrentFrame <= i->FrameCount) {
            ++i->CurrentFrame;
            any = true;
        } else if (!i->Active && i->CurrentFrame > 0) {
            --i->CurrentFrame;
            any = true;
        }
    }
    if (any)
        DrawObject(nullptr);
    else
        AnimateTimer->SetEnabled(false);
}

void TspSkinMainMenuBar::PopupMarkerMenu() {
    if (!FSkinnedForm || !FMainMenu) return;
    int n = 0;
    for (auto* i : Items())
        if (i->ItemVisible) ++n;
    TRect m = MarkerRect();
    TPoint p = ClientToScreen(m.TopLeft());
    TRect R(p.X, p.Y, p.X + RectWidth(m), p.Y + RectHeight(m));
    FSkinnedForm->SkinMenuOpen();
    FSkinnedForm->SkinMenu()->Popup(nullptr, FSD, n, R, FMainMenu->Items(), false);
}

bool TspSkinMainMenuBar::CheckMainMenuAccel(int Key) {
    if (!FSkinnedForm || !FSkinnedForm->Form()->Visible()) return false;
    for (auto* i : Items())
        if (i->Enabled && i->ItemVisible && IsAccel(unsigned(Key), i->MenuItem->Caption)) {
            i->MouseEnter();
            if (!(FSkinnedForm->SkinMenu()->FVisible && i->MenuItem->Count() > 0))
                i->MouseDown(0, 0, mbLeft);
            return true;
        }
    return false;
}

namespace {
std::vector<TspSkinMainMenuBarItem*> Selectable(const std::vector<TspSkinMainMenuBarItem*>& all) {
    std::vector<TspSkinMainMenuBarItem*> r;
    for (auto* i : all)
        if (i->Enabled && i->ItemVisible) r.push_back(i);
    return r;
}
} // namespace

void TspSkinMainMenuBar::NextMainMenuItem() {
    auto items = Selectable(Items());
    if (items.empty()) return;
    for (size_t k = 0; k < items.size(); ++k)
        if (items[k]->Active || items[k]->FDown) {
            items[k]->MouseLeave();
            items[(k + 1) % items.size()]->MouseEnter();
            return;
        }
    items.front()->MouseEnter();
}

void TspSkinMainMenuBar::PrevMainMenuItem() {
    auto items = Selectable(Items());
    if (items.empty()) return;
    for (size_t k = 0; k < items.size(); ++k)
        if (items[k]->Active || items[k]->FDown) {
            items[k]->MouseLeave();
            items[(k + items.size() - 1) % items.size()]->MouseEnter();
            return;
        }
    items.back()->MouseEnter();
}

bool TspSkinMainMenuBar::PressMainMenuItem() {
    if (!FSkinnedForm) return false;
    bool open = FSkinnedForm->SkinMenu()->FVisible;
    for (auto* i : Items())
        if ((i->FDown && i->MenuItem->Count() == 0) || (i->Active && !open)) {
            i->Active = false;
            i->MouseDown(0, 0, mbLeft);
            return true;
        }
    return false;
}

void TspSkinMainMenuBar::EnterMainMenu() {
    MenuActive = true;
    auto items = Items();
    TspSkinMainMenuBarItem* first = nullptr;
    for (auto* i : items)
        if (i->Active) {
            first = i;
            break;
        }
    if (!first && !items.empty()) first = items.front();
    if (first) first->MouseEnter();
    if (FSkinnedForm) {
        FSkinnedForm->HookApp();
        FSkinnedForm->InMainMenu = true;
        if (FSkinnedForm->OnMainMenuEnter) FSkinnedForm->OnMainMenuEnter(this);
    }
}

void TspSkinMainMenuBar::CloseMainMenuItem() {
    for (auto* i : Items())
        if (i->FDown) {
            i->FDown = false;
            i->Active = true;
            if (i->EnableMorphing()) i->FMorphKf = 1;
            DrawObject(i);
            return;
        }
}

void TspSkinMainMenuBar::ExitMainMenu() {
    MenuActive = false;
    for (auto* i : Items())
        if (i->FDown || i->Active) {
            i->Active = i->FMouseIn = i->FDown = false;
            if (i->EnableMorphing()) i->FMorphKf = 1;
            if (i->EnableAnimation() && !i->InActiveAnimation) {
                i->CurrentFrame = 0;
                DrawObject(i);
            } else {
                i->StartRedraw();
            }
            break;
        }
    ActiveObject = OldActiveObject = -1;
}

// ---- Layered border windows ---------------------------------------------------------------------

namespace {

TRect WindowBounds(TForm* F) {
    RECT r{};
    if (F && F->HandleAllocated())
        GetWindowRect(F->Handle(), &r);
    else if (F)
        r = RECT{F->Left(), F->Top(), F->Left() + F->Width(), F->Top() + F->Height()};
    return TRect(r.left, r.top, r.right, r.bottom);
}

// Copies Src's area S into Dst's area D, stretching by nearest pixels.
void CopyPixels(TspBitmap* Dst, const TRect& D, TspBitmap* Src, const TRect& S) {
    int dw = RectWidth(D), dh = RectHeight(D), sw = RectWidth(S), sh = RectHeight(S);
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    for (int y = 0; y < dh; ++y) {
        int dy = D.Top + y, sy = S.Top + y * sh / dh;
        if (dy < 0 || dy >= Dst->Height() || sy < 0 || sy >= Src->Height()) continue;
        for (int x = 0; x < dw; ++x) {
            int dx = D.Left + x, sx = S.Left + x * sw / dw;
            if (dx < 0 || dx >= Dst->Width() || sx < 0 || sx >= Src->Width()) continue;
            *Dst->PixelAddress(dx, dy) = *Src->PixelAddress(sx, sy);
        }
    }
}

// Tiles Src's area S down Dst from the top, the last tile cut.
void TilePixelsDown(TspBitmap* Dst, TspBitmap* Src, const TRect& S) {
    int h = RectHeight(S);
    if (h <= 0) return;
    for (int y = 0; y < Dst->Height(); y += h) {
        int part = std::min(h, Dst->Height() - y);
        CopyPixels(Dst, TRect(0, y, Dst->Width(), y + part), Src,
                   TRect(S.Left, S.Top, S.Right, S.Top + part));
    }
}

std::unique_ptr<TspBitmap> AlphaPicture(TspSkinData* SD, int Picture, int Mask) {
    if (!SD || Picture < 0 || Picture >= int(SD->FActivePictures.size())) return nullptr;
    TBitmap* pic = SD->FActivePictures[size_t(Picture)].get();
    if (!pic) return nullptr;
    auto b = std::make_unique<TspBitmap>();
    TBitmap* mask = Mask >= 0 && Mask < int(SD->FActivePictures.size())
                        ? SD->FActivePictures[size_t(Mask)].get()
                        : nullptr;
    if (mask) {
        BuildLayerBitmap(pic, mask, b.get());
    } else {
        b->Assign(pic);
        b->SetAlpha(255);
    }
    b->CheckingAlphaBlend();
    return b;
}

} // namespace

TspFormLayerWindow::TspFormLayerWindow(TComponent* AOwner, TForm* AForm)
    : TForm(nullptr), FForm(AForm), FLayerBorder(static_cast<TspFormLayerBorder*>(AOwner)) {
    BorderStyle = bsNone;
    FVisible = false;
}

void TspFormLayerWindow::CreateParams(TCreateParams& Params) {
    TForm::CreateParams(Params);
    Params.Style = WS_POPUP;
    Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_LAYERED;
    TspDataSkinLayerFrame* d = FLayerBorder->FData;
    if (!d || IsEmptyRect(d->BorderRect)) Params.ExStyle |= WS_EX_TRANSPARENT;
    Params.WndParent = 0;
}

bool TspFormLayerWindow::CanResize() const {
    TspSkinnedForm* sf = FLayerBorder->DSF;
    return sf && sf->IsSizeAble() && !sf->RollUpState() && sf->WindowState() == wsNormal;
}

TspFormLayerBorderHit TspFormLayerWindow::GetHitMode() const {
    POINT c{};
    GetCursorPos(&c);
    TPoint p(c.x, c.y);
    TRect f = WindowBounds(FForm);
    int FL = f.Left, FT = f.Top, FR = f.Right, FB = f.Bottom;
    const TspFormLayerBorder* b = FLayerBorder;
    auto in = [&](int l, int t, int r, int bb) { return RectContainsPoint(TRect(l, t, r, bb), p); };
    auto sides = [&]() {
        if (p.X >= FL - b->LeftSize && p.X < FL) return spflhLeft;
        if (p.X > FR && p.X <= FR + b->RightSize) return spflhRight;
        return spflhNone;
    };
    switch (BorderType) {
    case spflLeft:
        return p.X >= FL - b->LeftSize ? spflhLeft : spflhNone;
    case spflRight:
        return p.X <= FR + b->RightSize ? spflhRight : spflhNone;
    case spflTop:
        if (in(FL - b->LeftSize, FT - b->TopSize, FL + 3, FT + 3)) return spflhTopLeft;
        if (in(FL, FT - b->TopSize, FR, FT)) return spflhTop;
        if (in(FR - 3, FT - b->TopSize, FR + b->RightSize, FT + 3)) return spflhTopRight;
        return p.Y > FT ? sides() : spflhNone;
    case spflBottom:
        if (in(FL - b->LeftSize, FB - 3, FL + 3, FB + b->BottomSize)) return spflhBottomLeft;
        if (in(FL, FB, FR, FB + b->BottomSize)) return spflhBottom;
        if (in(FR - 3, FB - 3, FR + b->RightSize, FB + b->BottomSize)) return spflhBottomRight;
        return p.Y < FB ? sides() : spflhNone;
    }
    return spflhNone;
}

void TspFormLayerWindow::WndProc(TMessage& Message) {
    if (Message.Msg == WM_MOUSEACTIVATE) {
        Message.Result = MA_NOACTIVATE;
        TspDataSkinLayerFrame* d = FLayerBorder->FData;
        if (d && d->HitTestEnable) {
            FHitMode = GetHitMode();
            if (FHitMode != spflhNone && FForm->HandleAllocated() &&
                GetActiveWindow() != FForm->Handle())
                SetWindowPos(FForm->Handle(), HWND_TOP, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        }
        return;
    }
    TForm::WndProc(Message);
}

void TspFormLayerWindow::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TForm::MouseDown(Button, Shift, X, Y);
    TspDataSkinLayerFrame* d = FLayerBorder->FData;
    if (!d || !d->HitTestEnable || !CanResize()) return;
    FInProcessMessages = false;
    FDown = GetHitMode() != spflhNone;
    POINT c{};
    GetCursorPos(&c);
    MousePos1 = MousePos2 = TPoint(c.x, c.y);
    if (FDown) SetCapture(Handle());
}

void TspFormLayerWindow::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TForm::MouseUp(Button, Shift, X, Y);
    TspDataSkinLayerFrame* d = FLayerBorder->FData;
    if (!d || !d->HitTestEnable) return;
    if (FLayerBorder->DSF) FLayerBorder->DSF->FBorderLayerChangeSize = false;
    if (!CanResize()) return;
    FDown = false;
    FInProcessMessages = false;
    if (GetCapture() == Handle()) ReleaseCapture();
}

void TspFormLayerWindow::MouseMove(TShiftState Shift, int X, int Y) {
    TForm::MouseMove(Shift, X, Y);
    TspDataSkinLayerFrame* d = FLayerBorder->FData;
    TspSkinnedForm* sf = FLayerBorder->DSF;
    if (!d || !d->HitTestEnable || !sf) return;
    POINT c{};
    GetCursorPos(&c);
    if (FInProcessMessages) {
        FInProcessMessages = false;
        MousePos1 = TPoint(c.x, c.y);
        return;
    }
    if (!CanResize()) {
        ::SetCursor(StockCursor(CursorShape::Arrow));
        return;
    }
    MousePos2 = TPoint(c.x, c.y);
    int dX = MousePos2.X - MousePos1.X, dY = MousePos2.Y - MousePos1.Y;
    if (!FDown) {
        sf->FBorderLayerChangeSize = false;
        FHitMode = GetHitMode();
        CursorShape shape = CursorShape::Arrow;
        switch (FHitMode) {
        case spflhLeft:
        case spflhRight:
            shape = CursorShape::SizeWE;
            break;
        case spflhTop:
        case spflhBottom:
            shape = CursorShape::SizeNS;
            break;
        case spflhTopLeft:
        case spflhBottomRight:
            shape = CursorShape::SizeNWSE;
            break;
        case spflhTopRight:
        case spflhBottomLeft:
            shape = CursorShape::SizeNESW;
            break;
        case spflhNone:
            break;
        }
        ::SetCursor(StockCursor(shape));
        MousePos1 = MousePos2;
        return;
    }
    sf->FBorderLayerChangeSize = true;
    TRect f = WindowBounds(FForm);
    int L = f.Left, T = f.Top, W = RectWidth(f), H = RectHeight(f);
    auto clampW = [&](int w) {
        int mx = sf->GetMaxWidth();
        return std::max(sf->GetMinWidth(), mx > 0 ? std::min(w, mx) : w);
    };
    auto clampH = [&](int h) {
        int mx = sf->GetMaxHeight();
        return std::max(sf->GetMinHeight(), mx > 0 ? std::min(h, mx) : h);
    };
    bool left = FHitMode == spflhLeft || FHitMode == spflhTopLeft || FHitMode == spflhBottomLeft;
    bool right =
        FHitMode == spflhRight || FHitMode == spflhTopRight || FHitMode == spflhBottomRight;
    bool top = FHitMode == spflhTop || FHitMode == spflhTopLeft || FHitMode == spflhTopRight;
    bool bottom =
        FHitMode == spflhBottom || FHitMode == spflhBottomLeft || FHitMode == spflhBottomRight;
    int nW = W, nH = H, nL = L, nT = T;
    if (left) {
        int w = clampW(W - dX);
        // The right edge stays put: a clamped width does not move the form.
        if (w == W - dX) nW = w, nL = L + dX;
    } else if (right) {
        nW = clampW(W + dX);
    }
    if (top) {
        int h = clampH(H - dY);
        if (h == H - dY) nH = h, nT = T + dY;
    } else if (bottom) {
        nH = clampH(H + dY);
    }
    bool corner = (left || right) && (top || bottom);
    bool changed = corner ? ((dX || dY) && (nW != W || nH != H))
                          : ((left || right) ? (dX && nW != W) : (dY && nH != H));
    if (changed) {
        FForm->SetBounds(nL, nT, nW, nH);
        MousePos1 = MousePos2;
        FInProcessMessages = true;
        Application->ProcessMessages();
        FInProcessMessages = false;
    }
    MousePos1 = MousePos2;
}

TspFormLayerBorder::TspFormLayerBorder(TComponent* AOwner)
    : TComponent(nullptr), DSF(static_cast<TspSkinnedForm*>(AOwner)) {}

TspFormLayerBorder::~TspFormLayerBorder() {
    LeftBorder.reset();
    TopBorder.reset();
    RightBorder.reset();
    BottomBorder.reset();
}

void TspFormLayerBorder::InitFrame(TspSkinData* ASkinData, TForm* AForm) {
    FForm = AForm;
    FSD = ASkinData;
    FData = nullptr;
    if (!ASkinData || ASkinData->Empty || !ASkinData->LayerFrame ||
        ASkinData->LayerFrame->PictureIndex == -1)
        return;
    TspDataSkinLayerFrame* d = ASkinData->LayerFrame.get();
    FSourceBitmap = AlphaPicture(ASkinData, d->PictureIndex, d->MaskPictureIndex);
    if (!FSourceBitmap) return;
    FData = d;
    FCurrentAlphaBlendValue = d->AlphaBlendValue;
    FCurrentInActiveAlphaBlendValue = d->InActiveAlphaBlendValue;
    FSourceInActiveBitMap =
        d->InActivePictureIndex == -1
            ? nullptr
            : AlphaPicture(ASkinData, d->InActivePictureIndex, d->InActiveMaskPictureIndex);
    if (IsEmptyRect(d->BorderRect)) {
        LeftSize = TopSize = RightSize = BottomSize = 0;
    } else {
        LeftSize = d->ClRect.Left - d->BorderRect.Left;
        TopSize = d->ClRect.Top - d->BorderRect.Top;
        RightSize = d->BorderRect.Right - d->ClRect.Right;
        BottomSize = d->BorderRect.Bottom - d->ClRect.Bottom;
    }
}

int TspFormLayerBorder::TopHeight() const {
    return std::max(FData->LTPoint.Y, FData->RTPoint.Y);
}

int TspFormLayerBorder::BottomHeight() const {
    return FSourceBitmap->Height() - std::min(FData->LBPoint.Y, FData->RBPoint.Y);
}

uint8_t TspFormLayerBorder::CurrentAlpha() const {
    return uint8_t(
        std::clamp(FActive ? FCurrentAlphaBlendValue : FCurrentInActiveAlphaBlendValue, 0, 255));
}

TRect TspFormLayerBorder::BorderRectFor(int FL, int FT, int FW, int FH) const {
    if (!FData || !FSourceBitmap) return TRect();
    int X = FL - FData->ClRect.Left, Y = FT - FData->ClRect.Top;
    int W = FW + FSourceBitmap->Width() - RectWidth(FData->ClRect);
    int H = FH + FSourceBitmap->Height() - RectHeight(FData->ClRect);
    return TRect(X, Y, X + W, Y + H);
}

void TspFormLayerBorder::BuildImages(int AWidth, int AHeight) {
    TspBitmap* S =
        !FActive && FSourceInActiveBitMap ? FSourceInActiveBitMap.get() : FSourceBitmap.get();
    LeftImage.reset();
    TopImage.reset();
    RightImage.reset();
    BottomImage.reset();
    if (!S || !FData) return;
    const TspDataSkinLayerFrame* d = FData;
    int SW = S->Width(), SH = S->Height();
    int TH = TopHeight(), BH = BottomHeight();
    auto strip = [](int w, int h) {
        auto b = std::make_unique<TspBitmap>();
        if (w > 0 && h > 0) {
            b->SetSize(w, h);
            b->Clear(0);
        }
        return b;
    };
    TopImage = strip(AWidth, TH);
    if (!TopImage->Empty()) {
        CopyPixels(TopImage.get(), TRect(0, 0, d->LTPoint.X, TH), S, TRect(0, 0, d->LTPoint.X, TH));
        CopyPixels(TopImage.get(), TRect(AWidth - (SW - d->RTPoint.X), 0, AWidth, TH), S,
                   TRect(d->RTPoint.X, 0, SW, TH));
        CopyPixels(TopImage.get(), TRect(d->LTPoint.X, 0, AWidth - (SW - d->RTPoint.X), TH), S,
                   TRect(d->LTPoint.X, 0, d->RTPoint.X, TH));
        TopImage->CheckingAlphaBlend();
    }
    BottomImage = strip(AWidth, BH);
    if (!BottomImage->Empty()) {
        int y0 = SH - BH;
        CopyPixels(BottomImage.get(), TRect(0, 0, d->LBPoint.X, BH), S,
                   TRect(0, y0, d->LBPoint.X, SH));
        CopyPixels(BottomImage.get(), TRect(AWidth - (SW - d->RBPoint.X), 0, AWidth, BH), S,
                   TRect(d->RBPoint.X, y0, SW, SH));
        CopyPixels(BottomImage.get(), TRect(d->LBPoint.X, 0, AWidth - (SW - d->RBPoint.X), BH), S,
                   TRect(d->LBPoint.X, y0, d->RBPoint.X, SH));
        BottomImage->CheckingAlphaBlend();
    }
    int sideH = AHeight - TH - BH;
    LeftImage = strip(sideH > 0 ? d->ClRect.Left : 0, sideH);
    if (!LeftImage->Empty()) {
        TilePixelsDown(LeftImage.get(), S, TRect(0, TH, d->ClRect.Left, SH - BH));
        LeftImage->CheckingAlphaBlend();
    }
    RightImage = strip(sideH > 0 ? SW - d->ClRect.Right : 0, sideH);
    if (!RightImage->Empty()) {
        TilePixelsDown(RightImage.get(), S, TRect(d->ClRect.Right, TH, SW, SH - BH));
        RightImage->CheckingAlphaBlend();
    }
}

void TspFormLayerBorder::PlaceWindows(int X, int Y, bool Update) {
    int TH = TopHeight(), BH = BottomHeight();
    struct P {
        TspFormLayerWindow* W;
        TspBitmap* B;
        int X, Y;
    };
    int rightW = RightImage ? RightImage->Width() : 0;
    const P places[] = {
        {TopBorder.get(), TopImage.get(), X, Y},
        {BottomBorder.get(), BottomImage.get(), X, Y + FHeight - BH},
        {LeftBorder.get(), LeftImage.get(), X, Y + TH},
        {RightBorder.get(), RightImage.get(), X + FWidth - rightW, Y + TH},
    };
    for (const P& p : places) {
        if (!p.W || !p.B || p.B->Empty()) continue;
        p.W->SetBounds(p.X, p.Y, p.B->Width(), p.B->Height());
        if (Update) UpdateLayeredFromBitmap(p.B, CurrentAlpha(), p.W);
        SetWindowPos(p.W->Handle(), HWND_TOP, p.X, p.Y, 0, 0,
                     SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOSIZE);
    }
}

void TspFormLayerBorder::Show(int X, int Y, int AWidth, int AHeight) {
    if (!FData) return;
    FX = X;
    FY = Y;
    FWidth = AWidth;
    FHeight = AHeight;
    FVisible = true;
    BuildImages(AWidth, AHeight);
    LeftBorder.reset();
    TopBorder.reset();
    RightBorder.reset();
    BottomBorder.reset();
    auto make = [this](TspBitmap* B, TspFormLayerBorderType T) {
        std::unique_ptr<TspFormLayerWindow> w;
        if (!B || B->Empty()) return w;
        w = std::make_unique<TspFormLayerWindow>(this, FForm);
        w->BorderType = T;
        return w;
    };
    TopBorder = make(TopImage.get(), spflTop);
    BottomBorder = make(BottomImage.get(), spflBottom);
    LeftBorder = make(LeftImage.get(), spflLeft);
    RightBorder = make(RightImage.get(), spflRight);
    PlaceWindows(X, Y, true);
}

void TspFormLayerBorder::Hide() {
    FVisible = false;
    LeftImage.reset();
    TopImage.reset();
    RightImage.reset();
    BottomImage.reset();
    LeftBorder.reset();
    TopBorder.reset();
    RightBorder.reset();
    BottomBorder.reset();
}

void TspFormLayerBorder::SetBounds(int X, int Y, int AWidth, int AHeight) {
    if (!FData || !FVisible) return;
    FX = X;
    FY = Y;
    FWidth = AWidth;
    FHeight = AHeight;
    BuildImages(AWidth, AHeight);
    PlaceWindows(X, Y, true);
}

void TspFormLayerBorder::ShowWithForm() {
    TRect f = WindowBounds(FForm);
    TRect b = BorderRectFor(f.Left, f.Top, RectWidth(f), RectHeight(f));
    Show(b.Left, b.Top, RectWidth(b), RectHeight(b));
}

void TspFormLayerBorder::SetBoundsWithForm() {
    TRect f = WindowBounds(FForm);
    SetBoundsWithForm3(f.Left, f.Top, RectWidth(f), RectHeight(f));
}

void TspFormLayerBorder::SetBoundsWithForm2(int AW, int AH) {
    TRect f = WindowBounds(FForm);
    SetBoundsWithForm3(f.Left, f.Top, AW, AH);
}

void TspFormLayerBorder::SetBoundsWithForm3(int ALeft, int ATop, int AW, int AH) {
    TRect b = BorderRectFor(ALeft, ATop, AW, AH);
    SetBounds(b.Left, b.Top, RectWidth(b), RectHeight(b));
}

void TspFormLayerBorder::MoveWithForm() {
    TRect f = WindowBounds(FForm);
    MoveWithForm2(f.Left, f.Top);
}

void TspFormLayerBorder::MoveWithForm2(int ALeft, int ATop) {
    if (!FData || !FVisible) return;
    TRect f = WindowBounds(FForm);
    TRect b = BorderRectFor(ALeft, ATop, RectWidth(f), RectHeight(f));
    FX = b.Left;
    FY = b.Top;
    PlaceWindows(b.Left, b.Top, false);
}

void TspFormLayerBorder::SetAlphaBlend() {
    if (!FData || !FVisible) return;
    for (auto [w, b] : {std::pair{TopBorder.get(), TopImage.get()},
                        std::pair{BottomBorder.get(), BottomImage.get()},
                        std::pair{LeftBorder.get(), LeftImage.get()},
                        std::pair{RightBorder.get(), RightImage.get()}})
        if (w && b && !b->Empty()) UpdateLayeredFromBitmap(b, CurrentAlpha(), w);
}

void TspFormLayerBorder::SetAlphaBlend2() {
    if (!FData || !FVisible) return;
    SetAlphaBlend();
    MoveWithForm();
}

void TspFormLayerBorder::CheckFormAlpha(int AFormAlpha, bool AUpdate) {
    if (!FData) return;
    FCurrentAlphaBlendValue = int(std::nearbyint(FData->AlphaBlendValue * AFormAlpha / 255.0));
    FCurrentInActiveAlphaBlendValue =
        int(std::nearbyint(FData->InActiveAlphaBlendValue * AFormAlpha / 255.0));
    if (AUpdate) SetAlphaBlend();
}

void TspFormLayerBorder::SetActive(bool AValue, bool AUpdate) {
    FActive = AValue;
    if (FVisible && AUpdate) SetAlphaBlend2();
}

void TspFormLayerBorder::Draw(TCanvas* C, int X, int Y, int AWidth, int AHeight) {
    if (!FData) return;
    FWidth = AWidth;
    FHeight = AHeight;
    BuildImages(AWidth, AHeight);
    int TH = TopHeight(), BH = BottomHeight();
    int rightW = RightImage ? RightImage->Width() : 0;
    auto put = [C](TspBitmap* b, int x, int y) {
        if (b && !b->Empty()) b->Draw(C, x, y);
    };
    put(TopImage.get(), X, Y);
    put(BottomImage.get(), X, Y + AHeight - BH);
    put(LeftImage.get(), X, Y + TH);
    put(RightImage.get(), X + AWidth - rightW, Y + TH);
}

// ---- The form's side of the border

bool TspSkinnedForm::LayerBorderUsed() const {
    return FFormLayerBorder && FSD && !FSD->Empty && FSD->ShowLayeredBorders() && FSD->LayerFrame &&
           FSD->LayerFrame->PictureIndex != -1 && FSkinnableForm && FSupportNCArea &&
           FWindowState == wsNormal && !FRollUpState && FForm->BorderStyle != bsNone;
}

void TspSkinnedForm::LayerBorderFollow(const TMessage& Message) {
    if (!FFormLayerBorder) return;
    TspFormLayerBorder* b = FFormLayerBorder.get();
    switch (Message.Msg) {
    case WM_SHOWWINDOW:
        if (Message.WParam && LayerBorderUsed()) {
            b->InitFrame(FSD, FForm);
            b->SetActive(true, false);
            b->ShowWithForm();
        } else if (!Message.WParam) {
            b->Hide();
        }
        break;
    case WM_MOVE:
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
    case WM_SKIN_APPLYCHANGE:
    case WM_SKIN_ENDCHANGE:
    case WM_SKIN_LAYEREDBORDERSCHANGED: {
        // While the window is being shown it may not count as visible yet;
        // hiding is WM_SHOWWINDOW's business.
        bool shown = FForm->HandleAllocated() && IsWindowVisible(FForm->Handle());
        if (!LayerBorderUsed()) {
            if (b->FVisible) b->Hide();
        } else if (!shown) {
        } else if (!b->FVisible || b->FSD != FSD ||
                   (Message.Msg != WM_SIZE && Message.Msg != WM_WINDOWPOSCHANGED &&
                    Message.Msg != WM_MOVE)) {
            b->InitFrame(FSD, FForm);
            b->SetActive(FFormActive, false);
            b->ShowWithForm();
        } else {
            b->SetBoundsWithForm();
        }
        break;
    }
    case WM_ACTIVATE:
        b->SetActive(LOWORD(Message.WParam) != 0, true);
        break;
    case WM_DESTROY:
        b->Hide();
        break;
    default:
        break;
    }
}
