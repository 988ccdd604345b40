// The skinned speed button and the menu speed button whose track part opens a
// skinned menu. Relies on TspButtonSkinCopy of SkinButtons.cpp and the helpers
// of SkinCtrlsUtil.h.
#include "skin/controls/SkinCtrls.h"

#include <algorithm>

#include "skin/controls/SkinCtrlsUtil.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedForm.h"

using namespace ctrlutil;

// ---- TspSkinSpeedButton ----

TspSkinSpeedButton::TspSkinSpeedButton(TComponent* AOwner) : TspGraphicSkinCustomControl(AOwner) {
    FSkinDataName = "toolbutton";
    ControlStyle = csCaptureMouse | csOpaque | csDoubleClicks;
    FWidth = 25;
    FHeight = 25;
}

TspSkinSpeedButton::~TspSkinSpeedButton() {
    MorphTimer.reset();
    AnimateTimer.reset();
    RepeatTimer.reset();
    if (FButtonImages) FButtonImages->RemoveFreeNotification(this);
    if (FAction) FAction->RemoveFreeNotification(this);
}

void TspSkinSpeedButton::Notification(TComponent* AComponent, TOperation Operation) {
    TspGraphicSkinCustomControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FButtonImages) FButtonImages = nullptr;
    if (AComponent == FAction) FAction = nullptr;
}

bool TspSkinSpeedButton::CanMorphing() const {
    return Morphing && skinOn(FSD) && FSD->EnableSkinEffects();
}

bool TspSkinSpeedButton::AnimationAllowed() const {
    return FIndex != -1 && skinOn(FSD) && FSD->EnableSkinEffects() &&
           !IsEmptyRect(AnimateSkinRect) && !FFlat;
}

int TspSkinSpeedButton::GetGlyphNum(bool ADown, bool AMouseIn) const {
    if (ADown && AMouseIn && FNumGlyphs > 2) return 3;
    if (AMouseIn && FNumGlyphs > 3) return 4;
    if (!Enabled() && FNumGlyphs > 1) return 2;
    return 1;
}

bool TspSkinSpeedButton::Pressed() const {
    return FDown && ((FMouseIn && FGroupIndex == 0) || FGroupIndex != 0);
}

std::string TspSkinSpeedButton::CaptionText() const {
    return FShowCaption ? Caption() : std::string();
}

void TspSkinSpeedButton::SetImageList(TCustomImageList* Value) {
    if (FButtonImages) FButtonImages->RemoveFreeNotification(this);
    FButtonImages = Value;
    if (Value) Value->FreeNotification(this);
    Repaint();
}

void TspSkinSpeedButton::SetImageIndex(int Value) {
    FImageIndex = Value;
    if (FButtonImages) Repaint();
}

void TspSkinSpeedButton::SetFlat(bool Value) {
    FFlat = Value;
    if (Value)
        ControlStyle &= ~TControlStyle(csOpaque);
    else
        ControlStyle |= csOpaque;
    Repaint();
}

void TspSkinSpeedButton::SetShowCaption(bool Value) {
    if (FShowCaption == Value) return;
    FShowCaption = Value;
    if (WidthWithCaption > 0 && WidthWithoutCaption > 0)
        SetWidth(Value ? WidthWithCaption : WidthWithoutCaption);
    else
        Repaint();
}

void TspSkinSpeedButton::SetDown(bool Value) {
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

void TspSkinSpeedButton::ReleaseGroup() {
    if (!Parent()) return;
    for (int i = 0; i < Parent()->ControlCount(); ++i) {
        auto* b = dynamic_cast<TspSkinSpeedButton*>(Parent()->Controls(i));
        if (b && b != this && b->FGroupIndex == FGroupIndex && b->FDown) b->SetDown(false);
    }
}

void TspSkinSpeedButton::SetGlyph(TBitmap* Value) {
    FGlyph.Assign(Value);
    Repaint();
}

void TspSkinSpeedButton::SetNumGlyphs(TspNumGlyphs Value) {
    FNumGlyphs = std::clamp(Value, 1, 4);
    Repaint();
}

void TspSkinSpeedButton::SetMargin(int Value) {
    if (Value == FMargin || Value < -1) return;
    FMargin = Value;
    Repaint();
}

void TspSkinSpeedButton::SetSpacing(int Value) {
    if (Value == FSpacing) return;
    FSpacing = Value;
    Repaint();
}

void TspSkinSpeedButton::SetLayout(TspButtonLayout Value) {
    if (Value == FLayout) return;
    FLayout = Value;
    Repaint();
}

void TspSkinSpeedButton::SetAction(TBasicAction* Value) {
    if (FAction) FAction->RemoveFreeNotification(this);
    FAction = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    if (auto* a = dynamic_cast<TAction*>(Value)) {
        SetCaption(a->Caption);
        SetEnabled(a->Enabled);
        Hint = a->Hint;
        SetVisible(a->Visible);
    }
    Repaint();
}

void TspSkinSpeedButton::RefreshButton() {
    FMouseIn = false;
    FDown = false;
    if (CanMorphing()) FMorphKf = 0;
    StopAnimate();
    Repaint();
}

void TspSkinSpeedButton::GetSkinData() {
    TspGraphicSkinCustomControl::GetSkinData();
    if (FIndex == -1) {
        Morphing = false;
        AnimateSkinRect = TRect();
        return;
    }
    if (auto* e = dynamic_cast<TspDataSkinButtonControl*>(elementAt(FSD, FIndex))) {
        Read(e, SkinRect);
        if (FFlat) Morphing = false;
    }
    if (timerRuns(AnimateTimer) && CurrentFrame >= 1 && CurrentFrame <= FrameCount) {
        TRect fr = FrameRect(CurrentFrame, SkinRect);
        if (AnimateInc)
            ActiveSkinRect = fr;
        else
            SkinRect = fr;
    }
}

void TspSkinSpeedButton::FitSkinSize(int& W, int& H) {
    if (FIndex == -1) return;
    if (UseSkinSize || ResizeMode == 1) {
        TspGraphicSkinCustomControl::FitSkinSize(W, H);
        return;
    }
    NewClRect = TRect(ClRect.Left, ClRect.Top, ClRect.Right + W - SkinRect.Width(),
                      ClRect.Bottom + H - SkinRect.Height());
}

void TspSkinSpeedButton::ChangeSkinData() {
    StopAnimate();
    StopMorph();
    TspGraphicSkinCustomControl::ChangeSkinData();
    FMorphKf = CanMorphing() && FIndex != -1 && FMouseIn ? 1 : 0;
}

void TspSkinSpeedButton::SetElementFont(TCanvas* C) {
    TFont* d = DefaultFont();
    if (FIndex != -1 && FUseSkinFont)
        setFont(C, FontName, FontStyle, FontHeight, d->Color(), charsetOf(FSD, d));
    else {
        C->Font()->Assign(d);
        C->Font()->SetCharset(charsetOf(FSD, d));
    }
}

void TspSkinSpeedButton::DrawContent(TCanvas* C, const TRect& R, bool ImagePressed,
                                     bool GlyphPressed) {
    if (FGlyph.Empty() && FButtonImages) {
        if (FImageIndex >= 0 && FImageIndex < FButtonImages->Count())
            DrawImageAndText(C, R, FMargin, FSpacing, FLayout, CaptionText(), FImageIndex,
                             FButtonImages, ImagePressed, Enabled(), DrawColorMarker,
                             ColorMarkerValue);
        else
            DrawGlyphAndText(C, R, FMargin, FSpacing, FLayout, CaptionText(), nullptr, 1, 1,
                             GlyphPressed, DrawColorMarker, ColorMarkerValue);
        return;
    }
    DrawGlyphAndText(C, R, FMargin, FSpacing, FLayout, CaptionText(), &FGlyph, FNumGlyphs,
                     GetGlyphNum(FDown, FMouseIn), GlyphPressed, DrawColorMarker, ColorMarkerValue);
}

void TspSkinSpeedButton::DrawButtonImage(TBitmap* B, const TRect& R, bool ADown, bool AMouseIn) {
    TRect cr;
    if (!UseSkinSize && ResizeMode != 1) {
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
    SetElementFont(C);
    C->Font()->SetColor(!UseSkinFontColor && Enabled() ? DefaultFont()->Color()
                        : !Enabled()                   ? DisabledFontColor
                        : ADown && AMouseIn            ? DownFontColor
                        : AMouseIn                     ? ActiveFontColor
                                                       : FontColor);
    bool drawDefault = true;
    if (OnPaint) OnPaint(this, C, NewClRect, ADown, AMouseIn, drawDefault);
    if (!drawDefault) return;
    bool pressed = ADown && AMouseIn;
    DrawContent(C, cr, pressed, pressed);
}

void TspSkinSpeedButton::DrawDefaultImage(TBitmap* B) {
    TCanvas* C = B->Canvas();
    TRect r(0, 0, Width(), Height());
    C->Brush()->SetColor(clBtnFace);
    C->FillRect(r);
    if (Pressed())
        frameAndFill(C, r, 0x800000, 0xB59385);
    else if (FMouseIn)
        frameAndFill(C, r, 0x800000, 0xD2BDB6);
    else
        frameAndFill(C, r, clBtnShadow, clBtnFace);
    C->Font()->Assign(DefaultFont());
    C->Font()->SetCharset(charsetOf(FSD, DefaultFont()));
    bool drawDefault = true;
    if (OnPaint) OnPaint(this, C, r, FDown, FMouseIn, drawDefault);
    if (!drawDefault) return;
    if (!Enabled()) C->Font()->SetColor(clBtnShadow);
    DrawContent(C, r, FDown && FMouseIn, Pressed());
}

void TspSkinSpeedButton::DrawFull(TCanvas* Target) {
    TBitmap B(Width(), Height());
    if (CanMorphing() && FMorphKf > 0 && FMorphKf < 1 && Enabled()) {
        DrawButtonImage(&B, SkinRect, false, false);
        TBitmap hot(Width(), Height());
        DrawButtonImage(&hot, ActiveSkinRect, false, true);
        MorphBitmapInto(&B, &hot, MorphKind, FMorphKf);
    } else if (!Enabled() && !IsEmptyRect(DisabledSkinRect)) {
        DrawButtonImage(&B, DisabledSkinRect, false, false);
    } else if (Pressed()) {
        DrawButtonImage(&B, DownSkinRect, true, true);
    } else if (FMouseIn || (CanMorphing() && FMorphKf == 1)) {
        DrawButtonImage(&B, ActiveSkinRect, false, true);
    } else {
        DrawButtonImage(&B, SkinRect, false, false);
    }
    if (!FAlphaBlend) {
        BitBlt(Target->Handle(), 0, 0, Width(), Height(), B.Canvas()->Handle(), 0, 0, SRCCOPY);
        return;
    }
    TBitmap under(Width(), Height());
    DrawParentBackground(this, under.Canvas());
    MorphBitmapInto(&B, &under, mkDefault, 1 - FAlphaBlendValue / 255.0);
    BitBlt(Target->Handle(), 0, 0, Width(), Height(), B.Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TspSkinSpeedButton::Paint() {
    if (Width() <= 0 || Height() <= 0) return;
    GetSkinData();
    TCanvas* C = Canvas();
    if (FIndex == -1) {
        if (Pressed() || FMouseIn || !FFlat) {
            TspGraphicSkinCustomControl::Paint();
            return;
        }
        C->Font()->Assign(DefaultFont());
        C->Font()->SetCharset(charsetOf(FSD, DefaultFont()));
        if (!Enabled()) C->Font()->SetColor(clBtnShadow);
        bool drawDefault = true;
        if (OnPaint) OnPaint(this, C, ClientRect(), FDown, FMouseIn, drawDefault);
        if (drawDefault) DrawContent(C, ClientRect(), false, false);
        return;
    }
    int w = Width(), h = Height();
    FitSkinSize(w, h);
    if (!FFlat || FMouseIn || (FDown && FGroupIndex != 0)) {
        DrawFull(C);
        return;
    }
    SetElementFont(C);
    TColor text = skinColor(FSD, &TspSkinColors::FcBtnText, clBtnText);
    C->Font()->SetColor(!Enabled() ? skinColor(FSD, &TspSkinColors::FcBtnShadow, clBtnShadow)
                        : UseSkinFontColor ? text
                                           : DefaultFont()->Color());
    bool drawDefault = true;
    if (OnPaint) OnPaint(this, C, NewClRect, FDown, FMouseIn, drawDefault);
    if (drawDefault) DrawContent(C, NewClRect, false, false);
}

void TspSkinSpeedButton::StartMorph() {
    if (timerRuns(MorphTimer)) return;
    runTimer(MorphTimer, 20, [this](TObject*) {
        if (stepMorph(FMorphKf, FMouseIn, FIndex != -1 && CanMorphing(), MorphTimer)) Repaint();
    });
}

void TspSkinSpeedButton::StopMorph() {
    stopTimer(MorphTimer);
}

void TspSkinSpeedButton::UpdateHoverState() {
    if (CanMorphing() && FIndex != -1)
        StartMorph();
    else
        Repaint();
}

void TspSkinSpeedButton::StartAnimate(bool AInc) {
    if (FFlat) return;
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

void TspSkinSpeedButton::StopAnimate() {
    CurrentFrame = 0;
    stopTimer(AnimateTimer);
}

void TspSkinSpeedButton::StartRepeat() {
    runTimer(RepeatTimer, 500, [this](TObject*) {
        // The handler stays while it runs; only the period changes.
        RepeatTimer->SetInterval(unsigned(std::max(1, RepeatInterval)));
        ButtonClick();
    });
}

void TspSkinSpeedButton::StopRepeat() {
    stopTimer(RepeatTimer);
}

void TspSkinSpeedButton::ButtonClick() {
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

void TspSkinSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TspGraphicSkinCustomControl::MouseDown(Button, Shift, X, Y);
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

void TspSkinSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
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
            Repaint();
        } else if (wasDown && AllowAllUp && FAllowAllUpCheck && FMouseIn) {
            SetDown(false);
            ButtonClick();
        }
    }
    TspGraphicSkinCustomControl::MouseUp(Button, Shift, X, Y);
}

void TspSkinSpeedButton::MouseEnter() {
    FMouseIn = true;
    if ((FGroupIndex != 0 && !FDown) || FGroupIndex == 0) {
        if (Enabled()) {
            if (FDown) {
                if (CanMorphing()) FMorphKf = 1;
                Repaint();
            } else {
                if (AnimationAllowed()) StartAnimate(true);
                UpdateHoverState();
            }
        }
    }
    if (FDown && RepeatMode && FGroupIndex == 0) StartRepeat();
}

void TspSkinSpeedButton::MouseLeave() {
    FMouseIn = false;
    if (((FGroupIndex != 0 && !FDown) || FGroupIndex == 0) && Enabled()) {
        if (AnimationAllowed()) StartAnimate(false);
        UpdateHoverState();
    }
    if (FDown && RepeatMode && timerRuns(RepeatTimer) && FGroupIndex == 0) StopRepeat();
}

void TspSkinSpeedButton::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_MOUSEMOVE: {
        TspGraphicSkinCustomControl::WndProc(Message);
        followHeldPointer(this, Message.LParam, FMouseDown, FMouseIn);
        return;
    }
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
        TspGraphicSkinCustomControl::WndProc(Message);
        if (HasState(csDesigning)) return;
        if (Message.Msg == CM_MOUSEENTER)
            MouseEnter();
        else
            MouseLeave();
        return;
    case CM_DIALOGCHAR:
        if (accelMatches(Caption(), Message.WParam) && Enabled() && Visible() && Parent() &&
            Parent()->Visible()) {
            ButtonClick();
            Message.Result = 1;
            return;
        }
        break;
    case CM_ENABLEDCHANGED:
        TspGraphicSkinCustomControl::WndProc(Message);
        if (CanMorphing()) {
            StopMorph();
            FMorphKf = 0;
        }
        FMouseIn = false;
        Repaint();
        return;
    case CM_TEXTCHANGED:
        TspGraphicSkinCustomControl::WndProc(Message);
        Repaint();
        return;
    default:
        break;
    }
    TspGraphicSkinCustomControl::WndProc(Message);
}

void TspSkinSpeedButton::DrawMenuMarker(TCanvas* C, const TRect& R, bool AFlat, bool ADown,
                                        bool AActive) {
    const TRect& src = ADown     ? MenuMarkerDownRect
                       : AActive ? MenuMarkerActiveRect
                       : AFlat   ? MenuMarkerFlatRect
                                 : MenuMarkerRect;
    if (IsEmptyRect(src)) return;
    drawPartFixedTransparent(C, R.Left + R.Width() / 2 - src.Width() / 2,
                             R.Top + R.Height() / 2 - src.Height() / 2, Picture, src,
                             MenuMarkerTransparentColor);
}

// ---- TspSkinMenuSpeedButton ----

namespace {

constexpr int kTrackStrip = 15;

TspDataSkinButtonControl* buttonElementNamed(TspSkinData* sd, const std::string& name) {
    if (!skinOn(sd)) return nullptr;
    return dynamic_cast<TspDataSkinButtonControl*>(elementAt(sd, sd->GetControlIndex(name)));
}

// The element's picture part for a state, with the missing states falling back.
TRect elementStateRect(const TspDataSkinButtonControl* e, bool down, bool hot) {
    TRect active = IsEmptyRect(e->ActiveSkinRect) ? e->SkinRect : e->ActiveSkinRect;
    TRect pressed = IsEmptyRect(e->DownSkinRect) ? active : e->DownSkinRect;
    return down ? pressed : hot ? active : e->SkinRect;
}

void drawElementInto(TCanvas* C, TspSkinData* sd, const TspDataSkinButtonControl* e,
                     const TRect& Src, const TRect& Dst) {
    TBitmap* pic = pictureAt(sd, e->PictureIndex);
    if (!pic || IsEmptyRect(Src) || Dst.IsEmpty()) return;
    TBitmap b;
    BuildElementImage(&b, pic, e, Src, Dst.Width(), Dst.Height());
    C->Draw(Dst.Left, Dst.Top, &b);
}

TRect offsetRect(TRect R, int DX, int DY) {
    return TRect(R.Left + DX, R.Top + DY, R.Right + DX, R.Bottom + DY);
}

} // namespace

TspSkinMenuSpeedButton::TspSkinMenuSpeedButton(TComponent* AOwner) : TspSkinSpeedButton(AOwner) {
    FSkinDataName = "toolmenubutton";
}

TspSkinMenuSpeedButton::~TspSkinMenuSpeedButton() {
    if (FSkinPopupMenu) FSkinPopupMenu->RemoveFreeNotification(this);
    if (FSkinImagesMenu) {
        FSkinImagesMenu->RemoveFreeNotification(this);
        FSkinImagesMenu->FOnInternalChange = nullptr;
        FSkinImagesMenu->FOnInternalMenuClose = nullptr;
    }
}

void TspSkinMenuSpeedButton::Notification(TComponent* AComponent, TOperation Operation) {
    TspSkinSpeedButton::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FSkinPopupMenu) FSkinPopupMenu = nullptr;
    if (AComponent == FSkinImagesMenu) FSkinImagesMenu = nullptr;
}

void TspSkinMenuSpeedButton::SetNewStyle(bool Value) {
    FNewStyle = Value;
    if (Value) FSkinDataName = "resizetoolbutton";
    Repaint();
}

void TspSkinMenuSpeedButton::SetTrackPosition(TspTrackPosition Value) {
    FTrackPosition = Value;
    Repaint();
}

void TspSkinMenuSpeedButton::SetTrackButtonMode(bool Value) {
    FTrackButtonMode = Value;
    if (FIndex == -1) Repaint();
}

void TspSkinMenuSpeedButton::SetSkinPopupMenu(TspSkinPopupMenu* Value) {
    if (FSkinPopupMenu) FSkinPopupMenu->RemoveFreeNotification(this);
    FSkinPopupMenu = Value;
    if (Value) Value->FreeNotification(this);
}

void TspSkinMenuSpeedButton::SetSkinImagesMenu(TspSkinImagesMenu* Value) {
    if (FSkinImagesMenu) {
        FSkinImagesMenu->RemoveFreeNotification(this);
        FSkinImagesMenu->FOnInternalChange = nullptr;
    }
    FSkinImagesMenu = Value;
    if (Value) {
        Value->FreeNotification(this);
        // A new selection shows on the button.
        Value->FOnInternalChange = [this](TObject*) { Repaint(); };
    }
    Repaint();
}

void TspSkinMenuSpeedButton::GetSkinData() {
    TspSkinSpeedButton::GetSkinData();
    TrackButtonRect = TRect();
    if (auto* e = dynamic_cast<TspDataSkinMenuButtonControl*>(elementAt(FSD, FIndex)))
        TrackButtonRect = e->TrackButtonRect;
}

bool TspSkinMenuSpeedButton::ResizeKindName() const {
    return FSkinDataName == "resizebutton" || FSkinDataName == "resizetoolbutton" ||
           FSkinDataName == "toolbutton" || FSkinDataName == "bigtoolbutton";
}

TRect TspSkinMenuSpeedButton::StripRect() const {
    if (FNewStyle && FTrackPosition == sptpBottom)
        return TRect(0, Height() - kTrackStrip, Width(), Height());
    return TRect(Width() - kTrackStrip, 0, Width(), Height());
}

TRect TspSkinMenuSpeedButton::TrackRect() const {
    if (FIndex != -1 && !ResizeKindName()) {
        TRect t = TrackButtonRect;
        if (ResizeMode == 2) t = offsetRect(t, Width() - SkinRect.Width(), 0);
        if (ResizeMode == 3) t = offsetRect(t, 0, Height() - SkinRect.Height());
        return t;
    }
    return StripRect();
}

bool TspSkinMenuSpeedButton::InTrackPart(int X, int Y) const {
    if (!FSkinPopupMenu && !FSkinImagesMenu) return false;
    if (!FTrackButtonMode) return true;
    return TrackRect().Contains(TPoint(X, Y));
}

void TspSkinMenuSpeedButton::TrackMenu() {
    TPoint tl = ClientToScreen(TPoint(0, 0));
    TRect R(tl.X, tl.Y, tl.X + Width(), tl.Y + Height());
    if (FSkinPopupMenu) {
        if (OnShowTrackMenu) OnShowTrackMenu(this);
        FSkinPopupMenu->PopupFromRect2(this, R, false);
    }
    if (FSkinImagesMenu) {
        if (OnShowTrackMenu) OnShowTrackMenu(this);
        FSkinImagesMenu->FOnInternalMenuClose = [this](TObject*) { TrackMenuClosed(); };
        FSkinImagesMenu->PopupFromRect(R);
    }
}

void TspSkinMenuSpeedButton::TrackMenuClosed() {
    FMenuTracked = false;
    SetDown(false);
    if (OnHideTrackMenu) OnHideTrackMenu(this);
    FMouseIn = false;
    Repaint();
}

void TspSkinMenuSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft) {
        FMenuTracked = InTrackPart(X, Y);
        FMouseIn = true;
        if (FMenuTracked) {
            if (!FDown) SetDown(true);
            TrackMenu();
            return;
        }
    }
    TspSkinSpeedButton::MouseDown(Button, Shift, X, Y);
}

void TspSkinMenuSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    // While a menu shows, its closing ends the press.
    if (!FMenuTracked) TspSkinSpeedButton::MouseUp(Button, Shift, X, Y);
}

void TspSkinMenuSpeedButton::MouseEnter() {
    if (FMenuTracked) {
        FMouseIn = true;
        return;
    }
    TspSkinSpeedButton::MouseEnter();
}

void TspSkinMenuSpeedButton::MouseLeave() {
    if (FMenuTracked) {
        FMouseIn = false;
        return;
    }
    TspSkinSpeedButton::MouseLeave();
}

void TspSkinMenuSpeedButton::WndProc(TMessage& Message) {
    if (Message.Msg == WM_SKIN_CLOSEMENU) {
        FMenuTracked = false;
        SetDown(false);
        FMouseIn = false;
        if (OnHideTrackMenu) OnHideTrackMenu(this);
        Repaint();
        return;
    }
    TspSkinSpeedButton::WndProc(Message);
}

void TspSkinMenuSpeedButton::DrawContent(TCanvas* C, const TRect& R, bool ImagePressed,
                                         bool GlyphPressed) {
    TspImagesMenuItem* item = FSkinImagesMenu ? FSkinImagesMenu->SelectedItem() : nullptr;
    if (item && (UseImagesMenuImage || UseImagesMenuCaption)) {
        std::string caption = UseImagesMenuCaption ? item->Caption : CaptionText();
        int index = UseImagesMenuImage ? item->ImageIndex : -1;
        TCustomImageList* images = FSkinImagesMenu->Images();
        if (images && index >= 0 && index < images->Count())
            DrawImageAndText(C, R, FMargin, FSpacing, FLayout, caption, index, images, ImagePressed,
                             Enabled(), DrawColorMarker, ColorMarkerValue);
        else
            DrawGlyphAndText(C, R, FMargin, FSpacing, FLayout, caption, nullptr, 1, 1, GlyphPressed,
                             DrawColorMarker, ColorMarkerValue);
        return;
    }
    TspSkinSpeedButton::DrawContent(C, R, ImagePressed, GlyphPressed);
}

TColor TspSkinMenuSpeedButton::CaptionColor(bool P) const {
    if (!UseSkinFontColor && Enabled()) return DefaultFont()->Color();
    if (!Enabled()) return DisabledFontColor;
    if (P) return DownFontColor;
    if (FMouseIn) return ActiveFontColor;
    return FontColor;
}

void TspSkinMenuSpeedButton::DrawMarker(TCanvas* C, const TRect& R, bool ADown, bool AActive,
                                        TColor ArrowColor) {
    if (!IsEmptyRect(MenuMarkerRect))
        DrawMenuMarker(C, R, false, ADown, AActive);
    else
        DrawDropDownArrow(C, R, FMenuTracked ? DownFontColor : ArrowColor);
}

void TspSkinMenuSpeedButton::DrawNewStyle(TBitmap* B, bool ADown, bool AMouseIn) {
    const int W = Width(), H = Height();
    TCanvas* C = B->Canvas();
    const TRect T = StripRect();
    const bool split = FTrackButtonMode && AMouseIn;
    TRect main(0, 0, W, H);
    if (split) main = FTrackPosition == sptpBottom ? TRect(0, 0, W, T.Top) : TRect(0, 0, T.Left, H);
    TspDataSkinButtonControl* E = buttonElementNamed(FSD, "resizetoolbutton");
    if (!E) E = buttonElementNamed(FSD, "resizebutton");
    if (!E) return;
    TspDataSkinButtonControl* trackE = nullptr;
    if (split) {
        trackE = buttonElementNamed(FSD, FTrackPosition == sptpBottom ? "htracktoolbutton"
                                                                      : "vtracktoolbutton");
        if (trackE)
            main = TRect(0, 0, W, H);
        else
            trackE = E;
    }
    const bool P = ADown && AMouseIn && !(FTrackButtonMode && FMenuTracked);
    drawElementInto(C, FSD, E, elementStateRect(E, P, AMouseIn), main);
    if (split) drawElementInto(C, FSD, trackE, elementStateRect(trackE, FMenuTracked, true), T);
    TRect content(0, 0, W, H);
    if (FTrackPosition == sptpBottom)
        content.Bottom -= kTrackStrip;
    else
        content.Right -= kTrackStrip;
    SetElementFont(C);
    TColor color = CaptionColor(P);
    C->Font()->SetColor(color);
    DrawContent(C, content, P, P);
    TRect m = T;
    if (AMouseIn && ADown && (!FTrackButtonMode || FMenuTracked)) m = offsetRect(m, 1, 1);
    DrawMarker(C, m, (AMouseIn && ADown) || FMenuTracked, AMouseIn, color);
}

void TspSkinMenuSpeedButton::DrawToolStyle(TBitmap* B, bool ADown, bool AMouseIn, bool NinePart) {
    const int W = Width(), H = Height();
    TCanvas* C = B->Canvas();
    auto* E = dynamic_cast<TspDataSkinButtonControl*>(elementAt(FSD, FIndex));
    const bool P = ADown && AMouseIn && !(FTrackButtonMode && FMenuTracked);
    auto part = [&](const TRect& Src, int X, int PW) {
        if (!Picture || IsEmptyRect(Src) || PW <= 0) return;
        TBitmap b(PW, H);
        if (NinePart && E)
            BuildElementImage(&b, Picture, E, Src, PW, H);
        else
            BuildStretchedSkinImage(&b, Picture, Src, ClRect, true);
        C->Draw(X, 0, &b);
    };
    if (FTrackButtonMode) {
        const TRect* mainR = nullptr;
        const TRect* trackR = nullptr;
        if (FMenuTracked) {
            mainR = &ActiveSkinRect;
            trackR = &DownSkinRect;
        } else if (P) {
            mainR = trackR = &DownSkinRect;
        } else if (AMouseIn) {
            mainR = trackR = &ActiveSkinRect;
        } else if (!FFlat) {
            mainR = trackR = &SkinRect;
        }
        if (mainR) {
            part(*mainR, 0, W - kTrackStrip);
            part(*trackR, W - kTrackStrip, kTrackStrip);
        }
    } else {
        const TRect* r = P          ? &DownSkinRect
                         : AMouseIn ? &ActiveSkinRect
                         : !FFlat   ? &SkinRect
                                    : nullptr;
        if (r) part(*r, 0, W);
    }
    SetElementFont(C);
    TColor color = CaptionColor(P);
    C->Font()->SetColor(color);
    DrawContent(C, TRect(0, 0, W - kTrackStrip, H), P, P);
    TRect m(W - kTrackStrip, 0, W, H);
    if (P || FMenuTracked) m = TRect(W - 13, 2, W + 2, H + 2);
    DrawMarker(C, m, (AMouseIn && ADown) || FMenuTracked, AMouseIn, color);
}

void TspSkinMenuSpeedButton::DrawButtonImage(TBitmap* B, const TRect& R, bool ADown,
                                             bool AMouseIn) {
    if (FNewStyle && FSkinDataName == "resizetoolbutton") {
        DrawNewStyle(B, ADown, AMouseIn);
        return;
    }
    if (FSkinDataName == "toolbutton" || FSkinDataName == "bigtoolbutton") {
        DrawToolStyle(B, ADown, AMouseIn, false);
        return;
    }
    if (FSkinDataName == "resizebutton" || FSkinDataName == "resizetoolbutton") {
        DrawToolStyle(B, ADown, AMouseIn, true);
        return;
    }
    if (FMenuTracked && FTrackButtonMode && !IsEmptyRect(TrackButtonRect) &&
        !IsEmptyRect(DownSkinRect)) {
        // The hot button with its track part pressed.
        TspSkinSpeedButton::DrawButtonImage(B, ActiveSkinRect, false, true);
        TRect src = offsetRect(TrackButtonRect, DownSkinRect.Left, DownSkinRect.Top);
        TRect dst = TrackRect();
        if (Picture)
            BitBlt(B->Canvas()->Handle(), dst.Left, dst.Top, src.Width(), src.Height(),
                   Picture->Canvas()->Handle(), src.Left, src.Top, SRCCOPY);
        return;
    }
    TspSkinSpeedButton::DrawButtonImage(B, R, ADown, AMouseIn);
}

void TspSkinMenuSpeedButton::DrawDefaultImage(TBitmap* B) {
    const int W = Width(), H = Height();
    TCanvas* C = B->Canvas();
    C->Brush()->SetColor(clBtnFace);
    C->FillRect(TRect(0, 0, W, H));
    const TRect T = FNewStyle ? StripRect() : TRect(W - kTrackStrip, 0, W, H);
    const TRect main =
        FNewStyle && FTrackPosition == sptpBottom ? TRect(0, 0, W, T.Top) : TRect(0, 0, T.Left, H);
    const TRect whole(0, 0, W, H);
    auto idle = [&](const TRect& r) { frameAndFill(C, r, clBtnShadow, clBtnFace); };
    auto hover = [&](const TRect& r) { frameAndFill(C, r, 0x800000, 0xD2BDB6); };
    auto pressed = [&](const TRect& r) { frameAndFill(C, r, 0x800000, 0xB59385); };
    bool pressedContent = FDown && FMouseIn;
    if (!FNewStyle) {
        if (FTrackButtonMode) {
            if (FMenuTracked) {
                hover(main);
                pressed(T);
            } else if (FDown && FMouseIn) {
                pressed(main);
                pressed(T);
            } else if (FMouseIn) {
                hover(main);
                hover(T);
            } else {
                idle(main);
                idle(T);
            }
        } else if (FDown && FMouseIn) {
            pressed(whole);
        } else if (FMouseIn) {
            hover(whole);
        } else {
            idle(whole);
        }
    } else if (FTrackButtonMode && FMouseIn) {
        if (FMenuTracked) {
            hover(main);
            pressed(T);
            pressedContent = false;
        } else if (FDown) {
            pressed(main);
            hover(T);
            pressedContent = true;
        } else {
            hover(main);
            hover(T);
            pressedContent = false;
        }
    } else if (FDown && FMouseIn) {
        pressed(whole);
    } else if (FMouseIn) {
        hover(whole);
    } else if (!FFlat) {
        idle(whole);
    }
    C->Font()->Assign(DefaultFont());
    C->Font()->SetCharset(charsetOf(FSD, DefaultFont()));
    if (!Enabled()) C->Font()->SetColor(clBtnShadow);
    TRect content = whole;
    if (FNewStyle && FTrackPosition == sptpBottom)
        content.Bottom -= kTrackStrip;
    else
        content.Right -= kTrackStrip;
    DrawContent(C, content, pressedContent, pressedContent);
    TRect a = T;
    if (!FNewStyle) {
        if ((FDown && FMouseIn) || FMenuTracked) a = TRect(W - 13, 2, W + 2, H + 2);
    } else if (FMouseIn && FDown && (!FTrackButtonMode || FMenuTracked)) {
        a = offsetRect(a, 2, 2);
    }
    DrawDropDownArrow(C, a, clBtnText);
}

void TspSkinMenuSpeedButton::Paint() {
    if (FMouseIn || FDown || FMenuTracked || !FFlat) {
        TspSkinSpeedButton::Paint();
        return;
    }
    if (Width() <= 0 || Height() <= 0) return;
    GetSkinData();
    int w = Width(), h = Height();
    FitSkinSize(w, h);
    TCanvas* C = Canvas();
    const bool own = FIndex != -1 && !ResizeKindName();
    TRect content(0, 0, Width(), Height());
    if (own)
        content = NewClRect;
    else if (FNewStyle && FTrackPosition == sptpBottom)
        content.Bottom -= kTrackStrip;
    else
        content.Right -= kTrackStrip;
    if (FIndex != -1) {
        SetElementFont(C);
        C->Font()->SetColor(!Enabled() ? skinColor(FSD, &TspSkinColors::FcBtnShadow, clBtnShadow)
                            : UseSkinFontColor
                                ? skinColor(FSD, &TspSkinColors::FcBtnText, clBtnText)
                                : DefaultFont()->Color());
    } else {
        C->Font()->Assign(DefaultFont());
        C->Font()->SetCharset(charsetOf(FSD, DefaultFont()));
        if (!Enabled()) C->Font()->SetColor(clBtnShadow);
    }
    DrawContent(C, content, false, false);
    TRect m;
    if (own)
        m = TRect(content.Right, 0, Width(), Height());
    else
        m = StripRect();
    if (FIndex != -1 && !IsEmptyRect(MenuMarkerFlatRect))
        DrawMenuMarker(C, m, true, false, false);
    else if (FIndex == -1)
        DrawDropDownArrow(C, m, clBtnText);
    else
        DrawDropDownArrow(C, m, skinColor(FSD, &TspSkinColors::FcBtnText, clBtnText));
}
