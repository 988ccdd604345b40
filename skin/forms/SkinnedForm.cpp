#include "skin/forms/SkinnedForm.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/spTrayIcon.h"

#include <algorithm>
#include <chrono>
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
            if (InMenu) SkinMenuClose();
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
    TspSkinPopupWindow* last = FSkinMenu->LastWindow();
    if (FSkinMenu->FVisible && last) last->PopupKeyDown(Key);
    if (Key == VK_ESCAPE && !FSkinMenu->LastWindow()) SkinMenuClose();
}

void TspSkinnedForm::SkinMenuOpen() {
    HookApp();
    if (!InMenu) {
        InMenu = true;
        if (OnSkinMenuOpen) OnSkinMenuOpen(this);
    }
}

void TspSkinnedForm::SkinMenuClose() {
    UnHookApp();
    // Whatever closes the menu state closes the windows too.
    if (FSkinMenu && FSkinMenu->FVisible) FSkinMenu->CloseMenu(0);
    if (!InMenu) return;
    InMenu = false;
    if (OnSkinMenuClose) OnSkinMenuClose(this);
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
