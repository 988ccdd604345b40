// What a button element gives (TspButtonSkinCopy, which the speed buttons share)
// and the skinned push button: glyphs, morphing and animation, click repeat,
// the default button and layers. Uses the helpers of SkinCtrlsUtil.h.
#include "skin/controls/SkinCtrls.h"

#include <algorithm>

#include "classlib/forms.h"
#include "platform/win/controls/common.h"
#include "platform/win/input.h"
#include "skin/controls/SkinCtrlsUtil.h"

using namespace ctrlutil;

// ---- TspButtonSkinCopy ----

void TspButtonSkinCopy::Read(const TspDataSkinButtonControl* E, const TRect& SkinRect) {
    FontName = E->FontName;
    FontStyle = E->FontStyle;
    FontHeight = E->FontHeight;
    FontColor = E->FontColor;
    ActiveFontColor = E->ActiveFontColor;
    DownFontColor = E->DownFontColor;
    DisabledFontColor = E->DisabledFontColor;
    ActiveSkinRect = E->ActiveSkinRect;
    DownSkinRect = E->DownSkinRect;
    DisabledSkinRect = E->DisabledSkinRect;
    FocusedSkinRect = E->FocusedSkinRect;
    Morphing = E->Morphing;
    MorphKind = E->MorphKind;
    AnimateSkinRect = E->AnimateSkinRect;
    FrameCount = E->FrameCount;
    AnimateInterval = E->AnimateInterval;
    ShowFocus = E->ShowFocus;
    MenuMarkerRect = E->MenuMarkerRect;
    MenuMarkerActiveRect = E->MenuMarkerActiveRect;
    MenuMarkerDownRect = E->MenuMarkerDownRect;
    MenuMarkerFlatRect = E->MenuMarkerFlatRect;
    MenuMarkerTransparentColor = E->MenuMarkerTransparentColor;
    GlowLayerPictureIndex = E->GlowLayerPictureIndex;
    GlowLayerMaskPictureIndex = E->GlowLayerMaskPictureIndex;
    GlowLayerOffsetLeft = E->GlowLayerOffsetLeft;
    GlowLayerOffsetRight = E->GlowLayerOffsetRight;
    GlowLayerOffsetTop = E->GlowLayerOffsetTop;
    GlowLayerOffsetBottom = E->GlowLayerOffsetBottom;
    GlowLayerShowOffsetX = E->GlowLayerShowOffsetX;
    GlowLayerShowOffsetY = E->GlowLayerShowOffsetY;
    GlowLayerAlphaBlendValue = E->GlowLayerAlphaBlendValue;
    if (IsEmptyRect(ActiveSkinRect)) ActiveSkinRect = SkinRect;
    if (IsEmptyRect(DownSkinRect)) DownSkinRect = ActiveSkinRect;
    if (DisabledFontColor == FontColor) DisabledFontColor = 0x808080;
    if (IsEmptyRect(MenuMarkerActiveRect)) MenuMarkerActiveRect = MenuMarkerRect;
    if (IsEmptyRect(MenuMarkerDownRect)) MenuMarkerDownRect = MenuMarkerActiveRect;
    if (IsEmptyRect(MenuMarkerFlatRect)) MenuMarkerFlatRect = MenuMarkerRect;
}

TRect TspButtonSkinCopy::FrameRect(int I, const TRect& SkinRect) const {
    if (FrameCount <= 0) return SkinRect;
    const TRect& A = AnimateSkinRect;
    if (A.Width() > SkinRect.Width()) {
        int fw = A.Width() / FrameCount;
        return TRect(A.Left + fw * (I - 1), A.Top, A.Left + fw * I, A.Bottom);
    }
    int fh = A.Height() / FrameCount;
    return TRect(A.Left, A.Top + fh * (I - 1), A.Right, A.Top + fh * I);
}

// ---- TspSkinButton ----

TspSkinButton::TspSkinButton(TComponent* AOwner)
    : TspSkinCustomControl(AOwner), FLayerManager(std::make_unique<TspLayerManager>(nullptr)) {
    FSkinDataName = "button";
    SetBounds(0, 0, 75, 25);
}

TspSkinButton::~TspSkinButton() {
    FLayerManager.reset();
    MorphTimer.reset();
    RepeatTimer.reset();
    AnimateTimer.reset();
    if (FImageList) FImageList->RemoveFreeNotification(this);
    if (FAction) FAction->RemoveFreeNotification(this);
}

void TspSkinButton::Notification(TComponent* AComponent, TOperation Operation) {
    TspSkinCustomControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FImageList) FImageList = nullptr;
    if (AComponent == FAction) FAction = nullptr;
}

bool TspSkinButton::CanMorphing() const {
    return Morphing && skinOn(FSD) && FSD->EnableSkinEffects();
}

bool TspSkinButton::CanAnimate() const {
    return skinOn(FSD) && FSD->EnableSkinEffects();
}

bool TspSkinButton::AnimationAllowed() const {
    return FIndex != -1 && CanAnimate() && !IsEmptyRect(AnimateSkinRect);
}

bool TspSkinButton::IsFocusShown() {
    return FCanFocused && Focused();
}

int TspSkinButton::GetGlyphNum(bool ADown, bool AMouseIn) const {
    if (ADown && AMouseIn && FNumGlyphs > 2) return 3;
    if (AMouseIn && FNumGlyphs > 3) return 4;
    if (!Enabled() && FNumGlyphs > 1) return 2;
    return 1;
}

void TspSkinButton::SetImageList(TCustomImageList* Value) {
    if (FImageList) FImageList->RemoveFreeNotification(this);
    FImageList = Value;
    if (Value) Value->FreeNotification(this);
    Repaint();
}

void TspSkinButton::SetImageIndex(int Value) {
    if (FImageIndex == Value) return;
    FImageIndex = Value;
    Repaint();
}

void TspSkinButton::SetUseSkinSize(bool Value) {
    FUseSkinSize = Value;
    if (FIndex != -1 || skinOn(FSD)) ChangeSkinData();
}

void TspSkinButton::SetCanFocused(bool Value) {
    FCanFocused = Value;
    TabStop = Value;
}

void TspSkinButton::SetGlyph(TBitmap* Value) {
    FGlyph.Assign(Value);
    Repaint();
}

void TspSkinButton::SetNumGlyphs(TspNumGlyphs Value) {
    FNumGlyphs = std::clamp(Value, 1, 4);
    Repaint();
}

void TspSkinButton::SetMargin(int Value) {
    if (Value == FMargin || Value < -1) return;
    FMargin = Value;
    Repaint();
}

void TspSkinButton::SetSpacing(int Value) {
    if (Value == FSpacing) return;
    FSpacing = Value;
    Repaint();
}

void TspSkinButton::SetLayout(TspButtonLayout Value) {
    if (Value == FLayout) return;
    FLayout = Value;
    Repaint();
}

void TspSkinButton::SetGroupIndex(int Value) {
    FGroupIndex = Value;
    if (Value != 0) SetCanFocused(false);
}

void TspSkinButton::SetDefault(bool Value) {
    FDefault = Value;
    if (!HandleAllocated() || !FCanFocused || HasState(csDesigning)) return;
    if (TForm* f = GetParentForm())
        f->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(f->ActiveControl));
}

void TspSkinButton::SetAction(TBasicAction* Value) {
    if (FAction) FAction->RemoveFreeNotification(this);
    FAction = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    ActionChange(Value);
}

void TspSkinButton::ActionChange(TObject* Sender) {
    if (auto* a = dynamic_cast<TAction*>(Sender)) {
        SetCaption(a->Caption);
        SetEnabled(a->Enabled);
        Hint = a->Hint;
        SetVisible(a->Visible);
    }
    Repaint();
}

void TspSkinButton::SetDown(bool Value) {
    FDown = Value;
    if (CanMorphing()) {
        FMorphKf = 1;
        if (Value)
            StopMorph();
        else
            StartMorph();
    }
    Repaint();
    if (FGroupIndex != 0 && Value && !AllowAllUp) ReleaseGroup();
}

void TspSkinButton::ReleaseGroup() {
    if (!Parent()) return;
    for (int i = 0; i < Parent()->ControlCount(); ++i) {
        auto* b = dynamic_cast<TspSkinButton*>(Parent()->Controls(i));
        if (b && b != this && b->FGroupIndex == FGroupIndex && b->FDown) b->SetDown(false);
    }
}

void TspSkinButton::RefreshButton() {
    FMouseIn = false;
    FDown = false;
    if (CanMorphing()) FMorphKf = 0;
    if (CanAnimate()) StopAnimate();
    Repaint();
}

void TspSkinButton::GetSkinData() {
    TspSkinCustomControl::GetSkinData();
    if (FIndex == -1) {
        Morphing = false;
        AnimateSkinRect = TRect();
        return;
    }
    auto* e = dynamic_cast<TspDataSkinButtonControl*>(elementAt(FSD, FIndex));
    if (!e) return;
    if (!FUseSkinSize && MaskPicture) MaskPicture = nullptr;
    Read(e, SkinRect);
    if (CanAnimate() && timerRuns(AnimateTimer) && CurrentFrame >= 1 &&
        CurrentFrame <= FrameCount) {
        TRect fr = FrameRect(CurrentFrame, SkinRect);
        if (AnimateInc)
            ActiveSkinRect = fr;
        else
            SkinRect = fr;
    }
}

void TspSkinButton::FitSkinSize(int& W, int& H) {
    if (FIndex == -1) return;
    if (FUseSkinSize || ResizeMode == 1) {
        TspSkinCustomControl::FitSkinSize(W, H);
        return;
    }
    NewClRect = TRect(ClRect.Left, ClRect.Top, ClRect.Right + W - SkinRect.Width(),
                      ClRect.Bottom + H - SkinRect.Height());
}

void TspSkinButton::ChangeSkinData() {
    StopMorph();
    StopAnimate();
    FMorphKf = 0;
    TspSkinCustomControl::ChangeSkinData();
    if (CanMorphing() && FIndex != -1 && (IsFocusShown() || FMouseIn)) FMorphKf = 1;
    if (FMouseIn && HandleAllocated()) PostMessage(Handle(), WM_SKIN_SHOWLAYER, 0, 0);
}

void TspSkinButton::BeforeChangeSkinData() {
    TspSkinCustomControl::BeforeChangeSkinData();
    if (FLayerManager->IsVisible) FLayerManager->Hide();
}

void TspSkinButton::CreateWnd() {
    TspSkinCustomControl::CreateWnd();
    FActive = FDefault;
}

void TspSkinButton::SetButtonFont(TCanvas* C) {
    TFont* d = DefaultFont();
    if (FUseSkinFont)
        setFont(C, FontName, FontStyle, FontHeight, d->Color(), charsetOf(FSD, d));
    else {
        C->Font()->Assign(d);
        C->Font()->SetCharset(charsetOf(FSD, d));
    }
}

void TspSkinButton::DrawContent(TCanvas* C, const TRect& R, bool ADown, bool AMouseIn,
                                bool ImagePressed, bool GlyphPressed) {
    if (FImageList && FImageIndex >= 0 && FImageIndex < FImageList->Count())
        DrawImageAndText(C, R, FMargin, FSpacing, FLayout, Caption(), FImageIndex, FImageList,
                         ImagePressed, Enabled(), false, 0);
    else
        DrawGlyphAndText(C, R, FMargin, FSpacing, FLayout, Caption(), &FGlyph, FNumGlyphs,
                         GetGlyphNum(ADown, AMouseIn), GlyphPressed, false, 0);
}

void TspSkinButton::DrawButtonImage(TBitmap* B, const TRect& R, bool ADown, bool AMouseIn) {
    TRect cr;
    if (!FUseSkinSize && ResizeMode != 1) {
        if (Picture && ResizeMode == 0) {
            SetStretchBltMode(B->Canvas()->Handle(), COLORONCOLOR);
            StretchBlt(B->Canvas()->Handle(), 0, 0, B->Width(), B->Height(),
                       Picture->Canvas()->Handle(), R.Left, R.Top, R.Width(), R.Height(), SRCCOPY);
        } else if (Picture) {
            BuildStretchedSkinImage(B, Picture, R, ClRect, true);
        }
        cr = TRect(ClRect.Left, ClRect.Top, ClRect.Right + B->Width() - R.Width(),
                   ClRect.Bottom + B->Height() - R.Height());
    } else {
        BuildControlImage(B, Picture, R);
        cr = NewClRect;
    }
    TCanvas* C = B->Canvas();
    SetButtonFont(C);
    TColor color = !UseSkinFontColor && Enabled() ? DefaultFont()->Color()
                   : !Enabled()                   ? DisabledFontColor
                   : ADown && AMouseIn            ? DownFontColor
                   : AMouseIn                     ? ActiveFontColor
                                                  : FontColor;
    C->Font()->SetColor(color);
    if (ShowFocus && Focused()) {
        C->Brush()->SetStyle(bsSolid);
        C->Brush()->SetColor(FSD && FSD->SkinColors() ? FSD->SkinColors()->FcBtnFace : clBtnFace);
        DrawDottedFocusRect(C, cr);
        C->Brush()->SetStyle(bsClear);
    }
    bool drawDefault = true;
    if (OnPaint) OnPaint(this, C, NewClRect, ADown, AMouseIn, drawDefault);
    if (!drawDefault) return;
    bool pressed = ADown && AMouseIn;
    DrawContent(C, cr, ADown, AMouseIn, pressed, pressed);
}

void TspSkinButton::DrawDefaultImage(TBitmap* B) {
    TCanvas* C = B->Canvas();
    TRect r(0, 0, Width(), Height());
    C->Brush()->SetColor(clBtnFace);
    C->FillRect(r);
    C->Font()->Assign(DefaultFont());
    C->Font()->SetCharset(charsetOf(FSD, DefaultFont()));
    if (!Enabled()) C->Font()->SetColor(clBtnShadow);
    bool pressed = FDown && (FGroupIndex != 0 || FMouseIn || (IsFocusShown() && !FMouseDown));
    if (pressed)
        frameAndFill(C, r, 0x800000, 0xB59385);
    else if (FMouseIn || IsFocusShown())
        frameAndFill(C, r, 0x800000, 0xD2BDB6);
    else
        frameAndFill(C, r, clBtnShadow, clBtnFace);
    bool drawDefault = true;
    if (OnPaint) OnPaint(this, C, r, FDown, FMouseIn, drawDefault);
    if (!drawDefault) return;
    DrawContent(C, r, FDown, FMouseIn, FDown && FMouseIn, pressed);
}

void TspSkinButton::Paint() {
    if (Width() <= 0 || Height() <= 0) return;
    GetSkinData();
    if (FIndex == -1) {
        TspSkinCustomControl::Paint();
        return;
    }
    int w = Width(), h = Height();
    FitSkinSize(w, h);
    TBitmap B(Width(), Height());
    if (CanMorphing() && FMorphKf > 0 && FMorphKf < 1 && Enabled()) {
        DrawButtonImage(&B, SkinRect, false, false);
        TBitmap hot(Width(), Height());
        DrawButtonImage(&hot, ActiveSkinRect, false, true);
        MorphBitmapInto(&B, &hot, MorphKind, FMorphKf);
    } else if (!Enabled() && !IsEmptyRect(DisabledSkinRect)) {
        DrawButtonImage(&B, DisabledSkinRect, false, false);
    } else if (FDown && (FGroupIndex != 0 || FMouseIn || (IsFocusShown() && !FMouseDown))) {
        DrawButtonImage(&B, DownSkinRect, true, true);
    } else if (IsFocusShown() && !IsEmptyRect(FocusedSkinRect) && !timerRuns(AnimateTimer)) {
        DrawButtonImage(&B, FocusedSkinRect, false, true);
    } else if (IsFocusShown() || FMouseIn || (CanMorphing() && FMorphKf == 1)) {
        DrawButtonImage(&B, ActiveSkinRect, false, true);
    } else {
        DrawButtonImage(&B, SkinRect, false, false);
    }
    PaintImage(&B);
}

void TspSkinButton::StartMorph() {
    if (timerRuns(MorphTimer)) return;
    runTimer(MorphTimer, 20, [this](TObject*) {
        bool hot = FMouseIn || IsFocusShown();
        if (stepMorph(FMorphKf, hot, FIndex != -1 && CanMorphing(), MorphTimer)) Repaint();
    });
}

void TspSkinButton::StopMorph() {
    stopTimer(MorphTimer);
}

void TspSkinButton::UpdateHoverState() {
    if (CanMorphing() && FIndex != -1)
        StartMorph();
    else
        Repaint();
}

void TspSkinButton::StartAnimate(bool AInc) {
    StopAnimate();
    AnimateInc = AInc;
    CurrentFrame = AInc ? 1 : FrameCount;
    runTimer(AnimateTimer, unsigned(std::max(1, AnimateInterval)), [this](TObject*) {
        if (AnimateInc) {
            if (CurrentFrame <= FrameCount) {
                ++CurrentFrame;
                Repaint();
            }
            if (CurrentFrame > FrameCount) StopAnimate();
        } else {
            if (CurrentFrame >= 0) {
                --CurrentFrame;
                Repaint();
            }
            if (CurrentFrame <= 0) StopAnimate();
        }
    });
}

void TspSkinButton::StopAnimate() {
    CurrentFrame = 0;
    stopTimer(AnimateTimer);
}

void TspSkinButton::StartRepeat() {
    // The first click comes after 500 ms, then every RepeatInterval.
    runTimer(RepeatTimer, 500, [this](TObject*) {
        // The handler stays while it runs; only the period changes.
        RepeatTimer->SetInterval(unsigned(std::max(1, RepeatInterval)));
        ButtonClick();
    });
}

void TspSkinButton::StopRepeat() {
    stopTimer(RepeatTimer);
}

void TspSkinButton::ButtonClick() {
    if (FCanFocused)
        if (TForm* f = GetParentForm()) f->ModalResult = ModalResult;
    if (OnClick && FAction) {
        OnClick(this);
        return;
    }
    if (FAction && !HasState(csDesigning)) {
        FAction->Execute();
        return;
    }
    if (OnClick) OnClick(this);
}

void TspSkinButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TspSkinCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    if (AnimationAllowed()) StopAnimate();
    FMouseDown = true;
    if (!FDown) {
        FMouseIn = true;
        SetDown(true);
        if (RepeatMode && FGroupIndex == 0)
            StartRepeat();
        else if (FGroupIndex != 0)
            ButtonClick();
        FAllowAllUpCheck = false;
    } else if (FGroupIndex != 0) {
        FAllowAllUpCheck = true;
    }
}

void TspSkinButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft) {
        FMouseDown = false;
        bool wasDown = FDown;
        if (FGroupIndex == 0 && FMouseIn) {
            SetDown(false);
            StopRepeat();
            if (wasDown) ButtonClick();
        } else if (FGroupIndex == 0) {
            FDown = false;
            StopRepeat();
        } else if (wasDown && AllowAllUp && FAllowAllUpCheck && FMouseIn) {
            SetDown(false);
            ButtonClick();
        }
    }
    // A click that closed or hid the button ends here.
    if (HandleAllocated() && Visible()) TspSkinCustomControl::MouseUp(Button, Shift, X, Y);
}

bool TspSkinButton::GlowImages(TBitmap& Pic, TBitmap& Mask) {
    if (!skinOn(FSD) || !IsWindows2000OrLater() || FIndex == -1) return false;
    if (!(FSD->ShowButtonGlowFrames() || AlwaysShowLayeredFrame)) return false;
    if (GlowLayerPictureIndex == -1) return false;
    TBitmap* p = pictureAt(FSD, GlowLayerPictureIndex);
    TBitmap* m = pictureAt(FSD, GlowLayerMaskPictureIndex);
    // A glow without its mask is not shown.
    if (!p || !m) return false;
    int dw = Width() - SkinRect.Width(), dh = Height() - SkinRect.Height();
    auto build = [&](TBitmap& D, TBitmap* S) {
        TRect whole(0, 0, S->Width(), S->Height());
        if (ResizeMode == 0) {
            D.Assign(S);
        } else if (ResizeMode == 2 && FUseSkinSize) {
            BuildHorzSkinImage(GlowLayerOffsetLeft, GlowLayerOffsetRight, &D, S, whole,
                               S->Width() + dw, S->Height(), true);
        } else {
            D.SetSize(S->Width() + dw, S->Height() + dh);
            BuildStretchedSkinImage(&D, S, whole,
                                    TRect(GlowLayerOffsetLeft, GlowLayerOffsetTop,
                                          S->Width() - GlowLayerOffsetRight,
                                          S->Height() - GlowLayerOffsetBottom),
                                    true);
        }
    };
    if (ResizeMode != 0 && !(ResizeMode == 2 && FUseSkinSize) && ResizeMode != 1) return false;
    build(Pic, p);
    build(Mask, m);
    return true;
}

void TspSkinButton::ShowLayer() {
    TBitmap pic, mask;
    if (!GlowImages(pic, mask)) return;
    if (TForm* f = GetParentForm(); f && f->HandleAllocated())
        FLayerManager->TopMostMode =
            (DWORD(GetWindowLongPtr(f->Handle(), GWL_EXSTYLE)) & WS_EX_TOPMOST) != 0;
    TPoint o = ClientToScreen(TPoint(0, 0));
    FLayerManager->Show(o.X - GlowLayerShowOffsetX, o.Y - GlowLayerShowOffsetY, &pic, &mask,
                        GlowLayerAlphaBlendValue);
}

void TspSkinButton::HideLayer() {
    TBitmap pic, mask;
    if (!GlowImages(pic, mask)) return;
    FLayerManager->Hide();
}

void TspSkinButton::WndProc(TMessage& Message) {
    if (FCanFocused) {
        switch (Message.Msg) {
        case WM_GETDLGCODE:
            // Enter is the button's own key.
            Message.Result = DLGC_BUTTON;
            return;
        case WM_KEYDOWN:
            if (Message.WParam == VK_SPACE && FSpaceSupport) {
                SetDown(true);
                if (RepeatMode) ButtonClick();
            } else if (Message.WParam == VK_RETURN) {
                ButtonClick();
            }
            break;
        case WM_KEYUP:
            if (Message.WParam == VK_SPACE && FSpaceSupport) {
                SetDown(false);
                ButtonClick();
            }
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (!takeFocusOnClick(this, FClicksDisabled)) return;
            break;
        case CN_COMMAND:
            if (FClicksDisabled) return;
            break;
        default:
            break;
        }
    }
    switch (Message.Msg) {
    case WM_ERASEBKGND:
        if (!FFromWMPaint && Message.WParam) PaintWindow(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 1;
        return;
    case WM_MOUSEMOVE: {
        TspSkinCustomControl::WndProc(Message);
        followHeldPointer(this, Message.LParam, FMouseDown, FMouseIn);
        return;
    }
    case CM_MOUSEENTER: {
        TspSkinCustomControl::WndProc(Message);
        if (HasState(csDesigning)) return;
        FMouseIn = true;
        if ((FGroupIndex != 0 && !FDown) || (FGroupIndex == 0 && (!IsFocusShown() || FDown))) {
            if (FDown) {
                if (CanMorphing()) FMorphKf = 1;
                Repaint();
            } else {
                if (AnimationAllowed()) StartAnimate(true);
                UpdateHoverState();
            }
        }
        if (FDown && RepeatMode && FGroupIndex == 0) StartRepeat();
        if (HandleAllocated()) PostMessage(Handle(), WM_SKIN_SHOWLAYER, 0, 0);
        return;
    }
    case CM_MOUSELEAVE: {
        TspSkinCustomControl::WndProc(Message);
        if (HasState(csDesigning)) return;
        // The default button keeps its hot look while another control has the focus.
        if (!(FCanFocused && FDefault && FActive && !Focused())) FMouseIn = false;
        if ((FGroupIndex != 0 && !FDown) || (FGroupIndex == 0 && (!IsFocusShown() || FDown))) {
            if (AnimationAllowed()) StartAnimate(false);
            UpdateHoverState();
        }
        if (FDown && RepeatMode && timerRuns(RepeatTimer) && FGroupIndex == 0) StopRepeat();
        if (HandleAllocated()) PostMessage(Handle(), WM_SKIN_HIDELAYER, 0, 0);
        return;
    }
    case CM_DIALOGKEY:
        if (Message.WParam == VK_RETURN && FActive && Enabled()) {
            ButtonClick();
            Message.Result = 1;
            return;
        }
        if (Message.WParam == VK_ESCAPE && Cancel && FCanFocused &&
            !(KeyboardShiftState() & (ssShift | ssCtrl | ssAlt)) && CanFocus()) {
            ButtonClick();
            Message.Result = 1;
            return;
        }
        break;
    case CM_DIALOGCHAR:
        if (accelMatches(Caption(), Message.WParam) && CanFocus() && FCanFocused) {
            SetFocus();
            ButtonClick();
            Message.Result = 1;
            return;
        }
        break;
    case CM_FOCUSCHANGED: {
        auto* sender = reinterpret_cast<TWinControl*>(Message.LParam);
        auto* senderButton = dynamic_cast<TspSkinButton*>(sender);
        FActive = senderButton ? senderButton == this : FDefault;
        if (FCanFocused && FDefault) {
            if (senderButton && senderButton != this) {
                FMouseIn = false;
                UpdateHoverState();
            } else if (sender != this && !senderButton) {
                FMouseIn = true;
                if (CanMorphing()) FMorphKf = 1;
                Repaint();
            }
        }
        break;
    }
    case WM_SETFOCUS:
        TspSkinCustomControl::WndProc(Message);
        if (FCanFocused) {
            if (AnimationAllowed()) StartAnimate(true);
            UpdateHoverState();
        }
        return;
    case WM_KILLFOCUS:
        if (RepeatMode && timerRuns(RepeatTimer)) StopRepeat();
        if (FDown && FGroupIndex == 0) FDown = false;
        TspSkinCustomControl::WndProc(Message);
        if (FCanFocused) {
            if (AnimationAllowed()) StartAnimate(false);
            if (CanMorphing() && FIndex != -1)
                StartMorph();
            else
                Invalidate();
        }
        return;
    case CM_ENABLEDCHANGED:
        TspSkinCustomControl::WndProc(Message);
        if (CanMorphing()) {
            StopMorph();
            FMorphKf = 0;
        }
        FMouseIn = false;
        Repaint();
        return;
    case CM_TEXTCHANGED:
        TspSkinCustomControl::WndProc(Message);
        if (FIndex != -1 || HasState(csDesigning) || FDrawDefault) Repaint();
        return;
    case WM_SKIN_SHOWLAYER:
        ShowLayer();
        return;
    case WM_SKIN_HIDELAYER:
        HideLayer();
        return;
    default:
        break;
    }
    TspSkinCustomControl::WndProc(Message);
}
