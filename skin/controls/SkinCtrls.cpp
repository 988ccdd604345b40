#include "skin/controls/SkinCtrls.h"

#include <algorithm>

#include "classlib/forms.h"
#include "platform/os/shell.h"
#include "platform/win/controls/common.h"
#include "platform/win/input.h"
#include "platform/win/nonclient.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedForm.h"

namespace {

TBitmap* pictureAt(TspSkinData* sd, int index) {
    if (!sd || index < 0 || size_t(index) >= sd->FActivePictures.size()) return nullptr;
    return sd->FActivePictures[size_t(index)].get();
}

TspDataSkinControl* elementAt(TspSkinData* sd, int index) {
    if (!sd || index < 0 || size_t(index) >= sd->CtrlList.size()) return nullptr;
    return sd->CtrlList[size_t(index)].get();
}

bool skinOn(TspSkinData* sd) {
    return sd && !sd->Empty;
}

TFontCharset charsetOf(TspSkinData* sd, TFont* def) {
    return sd && sd->ResourceStrData() ? sd->ResourceStrData()->CharSet() : def->Charset();
}

void setFont(TCanvas* C, const std::string& name, TFontStyles style, int height, TColor color,
             TFontCharset charset) {
    TFont* f = C->Font();
    f->SetName(name);
    f->SetStyle(style);
    f->SetHeight(height);
    f->SetColor(color);
    f->SetCharset(charset);
}

// D takes the part R of the picture at R's size.
void copyPart(TBitmap* D, TBitmap* P, const TRect& R) {
    D->SetSize(std::max(0, R.Width()), std::max(0, R.Height()));
    if (!P || IsEmptyRect(R)) return;
    BitBlt(D->Canvas()->Handle(), 0, 0, R.Width(), R.Height(), P->Canvas()->Handle(), R.Left, R.Top,
           SRCCOPY);
}

// The part R of the picture, with its lower-left pixel's colour left out.
void drawPartTransparent(TCanvas* C, int X, int Y, TBitmap* P, const TRect& R) {
    if (!P || IsEmptyRect(R)) return;
    TBitmap b;
    copyPart(&b, P, R);
    b.SetTransparent(true);
    C->Draw(X, Y, &b);
}

void drawPartFixedTransparent(TCanvas* C, int X, int Y, TBitmap* P, const TRect& R, TColor key) {
    if (!P || IsEmptyRect(R)) return;
    TBitmap b;
    copyPart(&b, P, R);
    b.SetTransparentMode(tmFixed);
    b.SetTransparentColor(key);
    b.SetTransparent(true);
    C->Draw(X, Y, &b);
}

void frameAndFill(TCanvas* C, const TRect& R, TColor frame, TColor fill) {
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(fill);
    C->FillRect(R);
    C->Brush()->SetColor(frame);
    C->FrameRect(R);
}

bool accelMatches(const std::string& caption, WPARAM ch) {
    char32_t a = winctl::AcceleratorOf(caption);
    return a != 0 && a == winctl::AcceleratorKey(ch);
}

void pointOf(LPARAM l, int& x, int& y) {
    x = int16_t(LOWORD(uintptr_t(l)));
    y = int16_t(HIWORD(uintptr_t(l)));
}

// Makes a stopped timer run Handler every Interval ms; a timer is only
// stopped, never freed, from its own tick.
void runTimer(std::unique_ptr<TTimer>& T, unsigned Interval, TNotifyEvent Handler) {
    if (!T) T = std::make_unique<TTimer>(nullptr);
    T->SetEnabled(false);
    T->SetInterval(std::max(1u, Interval));
    T->SetOnTimer(std::move(Handler));
    T->SetEnabled(true);
}

bool timerRuns(const std::unique_ptr<TTimer>& T) {
    return T && T->Enabled();
}

void stopTimer(std::unique_ptr<TTimer>& T) {
    if (T) T->SetEnabled(false);
}

} // namespace

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
        if (FIndex == -1 || !CanMorphing()) {
            FMorphKf = hot ? 1 : 0;
            stopTimer(MorphTimer);
            return;
        }
        if (hot && FMorphKf < 1) {
            FMorphKf = std::min(1.0, FMorphKf + 0.2);
        } else if (!hot && FMorphKf > 0) {
            FMorphKf = std::max(0.0, FMorphKf - 0.2);
        } else {
            FMorphKf = hot ? 1 : 0;
            stopTimer(MorphTimer);
        }
        Repaint();
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
            if (!HasState(csDesigning) && !Focused()) {
                FClicksDisabled = true;
                if (CanFocus()) ::SetFocus(Handle());
                FClicksDisabled = false;
                if (!Focused()) return;
            }
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
        // A held button follows the pointer leaving and coming back.
        int x, y;
        pointOf(Message.LParam, x, y);
        bool inside = x >= 0 && y >= 0 && x < Width() && y < Height();
        if (FMouseDown && inside != FMouseIn) Perform(inside ? CM_MOUSEENTER : CM_MOUSELEAVE, 0, 0);
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

// ---- Text helpers ----

namespace {

// DrawText with the canvas's font and colour, on a clear background.
int canvasText(TCanvas* C, const std::string& S, TRect& R, UINT Flags) {
    C->RequiredState();
    HDC dc = C->Handle();
    SetBkMode(dc, TRANSPARENT);
    RECT r{R.Left, R.Top, R.Right, R.Bottom};
    int h = (Flags & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS)) ? DrawTextEx(dc, S, &r, Flags, nullptr)
                                                           : DrawText(dc, S, &r, Flags);
    if (Flags & DT_CALCRECT) R = TRect(r);
    return h;
}

TColor skinColor(TspSkinData* sd, TColor TspSkinColors::*field, TColor fallback) {
    return sd && sd->SkinColors() ? sd->SkinColors()->*field : fallback;
}

} // namespace

// ---- TspSkinCheckRadioBox ----

TspSkinCheckRadioBox::TspSkinCheckRadioBox(TComponent* AOwner) : TspSkinCustomControl(AOwner) {
    FSkinDataName = "checkbox";
    SetBounds(0, 0, 150, 25);
    TabStop = false;
}

TspSkinCheckRadioBox::~TspSkinCheckRadioBox() {
    MorphTimer.reset();
    if (FImages) FImages->RemoveFreeNotification(this);
    if (FAction) FAction->RemoveFreeNotification(this);
}

void TspSkinCheckRadioBox::Notification(TComponent* AComponent, TOperation Operation) {
    TspSkinCustomControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == FImages) {
        FImages = nullptr;
        Repaint();
    }
    if (AComponent == FAction) FAction = nullptr;
}

void TspSkinCheckRadioBox::SetChecked(bool Value) {
    FChecked = Value;
    if (Value)
        FState = cbChecked;
    else if (FState == cbChecked)
        FState = cbUnchecked;
    Repaint();
    if (FChecked && FGroupIndex != 0 && Parent()) {
        for (int i = 0; i < Parent()->ControlCount(); ++i) {
            auto* b = dynamic_cast<TspSkinCheckRadioBox*>(Parent()->Controls(i));
            if (b && b != this && b->FGroupIndex == FGroupIndex && b->FChecked)
                b->SetChecked(false);
        }
    }
    if ((!FRadio || FChecked) && OnClick) OnClick(this);
}

void TspSkinCheckRadioBox::SetState(TCheckBoxState Value) {
    FState = Value;
    FChecked = Value == cbChecked;
    Repaint();
    if (OnClick) OnClick(this);
}

void TspSkinCheckRadioBox::Toggle() {
    if (!FRadio)
        SetChecked(!FChecked);
    else if (!FChecked)
        SetChecked(true);
}

void TspSkinCheckRadioBox::SetRadio(bool Value) {
    FRadio = Value;
    if ((FIndex == -1 && FDrawDefault) || HasState(csDesigning)) Repaint();
    if (HasState(csDesigning) && !HasState(csLoading)) {
        SetSkinDataName(Value ? "radiobox" : "checkbox");
        FGroupIndex = Value ? 1 : 0;
    }
}

void TspSkinCheckRadioBox::SetCanFocused(bool Value) {
    FCanFocused = Value;
    TabStop = Value;
}

void TspSkinCheckRadioBox::SetAllowGrayed(bool Value) {
    FAllowGrayed = Value;
    Repaint();
}

void TspSkinCheckRadioBox::SetImages(TCustomImageList* Value) {
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = Value;
    if (Value) Value->FreeNotification(this);
    Repaint();
}

void TspSkinCheckRadioBox::SetImageIndex(int Value) {
    FImageIndex = Value;
    Repaint();
}

void TspSkinCheckRadioBox::SetFlat(bool Value) {
    FFlat = Value;
    Repaint();
}

void TspSkinCheckRadioBox::SetWordWrap(bool Value) {
    if (FWordWrap == Value) return;
    FWordWrap = Value;
    if (FFlat) Repaint();
}

void TspSkinCheckRadioBox::SetAction(TBasicAction* Value) {
    if (FAction) FAction->RemoveFreeNotification(this);
    FAction = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    if (auto* a = dynamic_cast<TAction*>(Value)) {
        SetCaption(a->Caption);
        SetEnabled(a->Enabled);
        SetChecked(a->Checked);
    }
}

bool TspSkinCheckRadioBox::CanMorphing() const {
    return Morphing && skinOn(FSD) && FSD->EnableSkinEffects();
}

bool TspSkinCheckRadioBox::IsActive() {
    return FMouseIn || (FCanFocused && Focused());
}

void TspSkinCheckRadioBox::GetSkinData() {
    TspSkinCustomControl::GetSkinData();
    if (FIndex == -1) {
        Morphing = false;
        FMorphKf = 0;
        return;
    }
    if (auto* e = dynamic_cast<TspDataSkinCheckRadioControl*>(elementAt(FSD, FIndex))) {
        FontName = e->FontName;
        FontColor = e->FontColor;
        ActiveFontColor = e->ActiveFontColor;
        FrameFontColor = e->FrameFontColor;
        UnEnabledFontColor = e->UnEnabledFontColor;
        FontStyle = e->FontStyle;
        FontHeight = e->FontHeight;
        ActiveSkinRect = IsEmptyRect(e->ActiveSkinRect) ? e->SkinRect : e->ActiveSkinRect;
        Morphing = e->Morphing;
        MorphKind = e->MorphKind;
        CheckImageArea = e->CheckImageArea;
        TextArea = e->TextArea;
        CheckImageRect = e->CheckImageRect;
        UnCheckImageRect = e->UnCheckImageRect;
        ActiveCheckImageRect = e->ActiveCheckImageRect;
        ActiveUnCheckImageRect = e->ActiveUnCheckImageRect;
        UnEnabledCheckImageRect = e->UnEnabledCheckImageRect;
        UnEnabledUnCheckImageRect = e->UnEnabledUnCheckImageRect;
        GrayedCheckImageRect = e->GrayedCheckImageRect;
        ActiveGrayedCheckImageRect = e->ActiveGrayedCheckImageRect;
        if (IsEmptyRect(UnEnabledCheckImageRect)) UnEnabledCheckImageRect = CheckImageRect;
        if (IsEmptyRect(ActiveCheckImageRect)) ActiveCheckImageRect = CheckImageRect;
        if (IsEmptyRect(UnEnabledUnCheckImageRect)) UnEnabledUnCheckImageRect = UnCheckImageRect;
        if (IsEmptyRect(ActiveUnCheckImageRect)) ActiveUnCheckImageRect = UnCheckImageRect;
    }
    if (FFlat) {
        Morphing = false;
        MaskPicture = nullptr;
    }
}

void TspSkinCheckRadioBox::ChangeSkinData() {
    if (FFlat) {
        GetSkinData();
        Repaint();
        return;
    }
    StopMorph();
    TspSkinCustomControl::ChangeSkinData();
    if (CanMorphing() && FIndex != -1 && IsActive()) FMorphKf = 1;
}

void TspSkinCheckRadioBox::CheckParentBackground() {
    if (FFlat) Repaint();
}

void TspSkinCheckRadioBox::FitSkinSize(int& W, int& H) {
    if (FFlat) return;
    TspSkinCustomControl::FitSkinSize(W, H);
    if (FIndex == -1) return;
    int dw = W - SkinRect.Width();
    NewTextArea = TextArea;
    NewTextArea.Right += dw;
    TRect area = CheckImageArea;
    if (TextArea.Right < CheckImageArea.Right) {
        area.Left += dw;
        area.Right += dw;
    }
    int cw = CheckImageRect.Width(), ch = CheckImageRect.Height();
    int x = area.Left + area.Width() / 2 - cw / 2, y = area.Top + area.Height() / 2 - ch / 2;
    CIRect = TRect(x, y, x + cw, y + ch);
}

void TspSkinCheckRadioBox::CheckImage(TBitmap& B, bool MouseIn) {
    bool grayed = FState == cbGrayed, checked = FState == cbChecked;
    TRect r;
    if (!Enabled())
        r = grayed || checked ? UnEnabledCheckImageRect : UnEnabledUnCheckImageRect;
    else if (MouseIn)
        r = grayed || checked ? ActiveCheckImageRect : ActiveUnCheckImageRect;
    else
        r = grayed || checked ? CheckImageRect : UnCheckImageRect;
    if (grayed && !IsEmptyRect(GrayedCheckImageRect)) {
        bool active = MouseIn && Enabled() && !IsEmptyRect(ActiveGrayedCheckImageRect);
        copyPart(&B, Picture, active ? ActiveGrayedCheckImageRect : GrayedCheckImageRect);
        return;
    }
    copyPart(&B, Picture, r);
    if (grayed && !B.Empty()) {
        auto e = TspEffectBmp::CreateFromhWnd(B.Handle());
        e->ChangeBrightness(0.5);
        e->Draw(B.Canvas()->Handle(), 0, 0);
    }
}

void TspSkinCheckRadioBox::SetBoxFont(TCanvas* C) {
    TFont* d = DefaultFont();
    if (FIndex != -1 && FUseSkinFont)
        setFont(C, FontName, FontStyle, FontHeight, d->Color(), charsetOf(FSD, d));
    else {
        C->Font()->Assign(d);
        C->Font()->SetCharset(charsetOf(FSD, d));
    }
}

void TspSkinCheckRadioBox::DrawDefaultMark(TCanvas* C, bool Framed) {
    int h = Height();
    TRect box(3, h / 2 - 7, 17, h / 2 + 7);
    if (Framed) {
        C->Brush()->SetStyle(bsSolid);
        C->Brush()->SetColor(FMouseIn ? TColor(0x800000) : clBtnShadow);
        C->FrameRect(box);
    }
    if (FState == cbGrayed) {
        if (!FRadio) DrawCheckMark(C, 7, h / 2 - 4, clGrayText);
    } else if (FState == cbChecked) {
        TColor c = Enabled() ? clBlack : clBtnShadow;
        if (FRadio)
            DrawRadioMark(C, 7, h / 2 - 3, c);
        else
            DrawCheckMark(C, 7, h / 2 - 4, c);
    }
}

void TspSkinCheckRadioBox::PaintFlat(TBitmap& B) {
    TCanvas* C = B.Canvas();
    int w = Width(), h = Height();
    DrawParentBackground(this, C);
    bool skinned = FIndex != -1;
    int x0;
    if (skinned) {
        TBitmap ci;
        CheckImage(ci, FMouseIn);
        if (!ci.Empty()) {
            ci.SetTransparent(true);
            C->Draw(3, h / 2 - CheckImageRect.Height() / 2, &ci);
        }
        x0 = CheckImageRect.Width() + 7;
    } else {
        DrawDefaultMark(C, true);
        x0 = 22;
    }
    SetBoxFont(C);
    bool img = FImages && FImageIndex >= 0 && FImageIndex < FImages->Count();
    int iw = img ? FImages->Width() : 0;
    std::string text = Caption();
    TRect tr;
    if (FWordWrap) {
        tr = TRect(x0 + (img ? iw + (skinned ? 0 : 5) : 0), 0, w, h);
        TRect m = tr;
        canvasText(C, text, m, DT_CALCRECT | DT_EXPANDTABS | DT_WORDBREAK);
        int th = m.Height();
        tr.Top = std::max(0, h / 2 - th / 2);
        tr.Bottom = tr.Top + th;
    } else {
        TRect m(0, 0, 0, 0);
        canvasText(C, text.empty() ? " " : text, m, DT_CALCRECT | DT_SINGLELINE);
        int tw = text.empty() ? 0 : m.Width(), th = m.Height();
        tr = TRect(x0, h / 2 - th / 2, x0 + tw, h / 2 - th / 2 + th);
        if (img) {
            int shift = iw + (skinned ? 8 : 5);
            tr.Left += shift;
            tr.Right += shift;
        }
        tr.Right = std::min(tr.Right, w - 2);
    }
    TRect imgRect;
    if (img) {
        int ix = x0, iy = h / 2 - FImages->Height() / 2;
        FImages->Draw(C, ix, iy, FImageIndex, Enabled());
        imgRect = TRect(ix, iy, ix + iw, iy + FImages->Height());
    }
    TColor color;
    if (skinned)
        color = !FUseSkinFontColor ? DefaultFont()->Color()
                : Enabled()        ? FrameFontColor
                                   : UnEnabledFontColor;
    else
        color = Enabled() ? DefaultFont()->Color() : clBtnShadow;
    C->Font()->SetColor(color);
    C->Brush()->SetStyle(bsClear);
    if (FWordWrap) {
        TRect r = tr;
        canvasText(C, text, r, DT_EXPANDTABS | DT_WORDBREAK);
    } else {
        DrawVCenteredText(C, text, tr);
    }
    if (Focused() && FCanFocused) {
        TRect f;
        if (text.empty() && img)
            f = TRect(imgRect.Left - 1, imgRect.Top - 1, imgRect.Right + 1, imgRect.Bottom + 1);
        else
            f = TRect(tr.Left - 2, tr.Top - 1, tr.Right + 2 + (FWordWrap ? 0 : 1), tr.Bottom + 1);
        DrawDottedFocusRect(C, f);
    }
}

void TspSkinCheckRadioBox::DrawSkinState(TBitmap& B, const TRect& R, bool Active) {
    BuildControlImage(&B, Picture, R);
    TCanvas* C = B.Canvas();
    TBitmap ci;
    CheckImage(ci, FMouseIn);
    if (!ci.Empty()) {
        ci.SetTransparent(true);
        C->Draw(CIRect.Left, CIRect.Top + CIRect.Height() / 2 - CheckImageRect.Height() / 2, &ci);
    }
    SetBoxFont(C);
    C->Font()->SetColor(!Enabled() ? UnEnabledFontColor : Active ? ActiveFontColor : FontColor);
    C->Brush()->SetStyle(bsClear);
    DrawVCenteredText(C, Caption(), NewTextArea);
}

void TspSkinCheckRadioBox::DrawDefaultImage(TBitmap* B) {
    TCanvas* C = B->Canvas();
    TRect r(0, 0, Width(), Height());
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(clBtnFace);
    C->FillRect(r);
    if ((Focused() && FCanFocused) || FMouseIn) {
        C->Brush()->SetColor(clBtnShadow);
        C->FrameRect(r);
    }
    C->Font()->Assign(DefaultFont());
    C->Font()->SetCharset(charsetOf(FSD, DefaultFont()));
    if (!Enabled()) C->Font()->SetColor(clBtnShadow);
    C->Brush()->SetStyle(bsClear);
    DrawVCenteredText(C, Caption(), TRect(19, 0, Width(), Height()));
    DrawDefaultMark(C, true);
}

void TspSkinCheckRadioBox::Paint() {
    if (Width() <= 0 || Height() <= 0) return;
    GetSkinData();
    if (FFlat) {
        TBitmap B(Width(), Height());
        PaintFlat(B);
        BitBlt(Canvas()->Handle(), 0, 0, Width(), Height(), B.Canvas()->Handle(), 0, 0, SRCCOPY);
        return;
    }
    if (FIndex == -1) {
        TspSkinCustomControl::Paint();
        return;
    }
    int w = Width(), h = Height();
    FitSkinSize(w, h);
    TBitmap B(Width(), Height());
    if (CanMorphing() && FMorphKf != 0 && FMorphKf != 1) {
        DrawSkinState(B, SkinRect, false);
        TBitmap hot(Width(), Height());
        DrawSkinState(hot, ActiveSkinRect, true);
        MorphBitmapInto(&B, &hot, MorphKind, FMorphKf);
    } else if (IsActive()) {
        DrawSkinState(B, ActiveSkinRect, true);
    } else {
        DrawSkinState(B, SkinRect, false);
    }
    PaintImage(&B);
}

void TspSkinCheckRadioBox::StartMorph() {
    if (timerRuns(MorphTimer)) return;
    runTimer(MorphTimer, 20, [this](TObject*) {
        bool active = IsActive();
        if (FIndex == -1 || !CanMorphing()) {
            FMorphKf = active ? 1 : 0;
            stopTimer(MorphTimer);
            return;
        }
        if (active && FMorphKf < 1) {
            FMorphKf = std::min(1.0, FMorphKf + 0.2);
        } else if (!active && FMorphKf > 0) {
            FMorphKf = std::max(0.0, FMorphKf - 0.2);
        } else {
            FMorphKf = active ? 1 : 0;
            stopTimer(MorphTimer);
        }
        Repaint();
    });
}

void TspSkinCheckRadioBox::StopMorph() {
    stopTimer(MorphTimer);
}

void TspSkinCheckRadioBox::UpdateHoverState() {
    if (CanMorphing() && FIndex != -1)
        StartMorph();
    else
        Invalidate();
}

void TspSkinCheckRadioBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (!FMouseIn) {
        FMouseIn = true;
        UpdateHoverState();
    }
    if (Button == mbLeft) FMouseDown = true;
    TspSkinCustomControl::MouseDown(Button, Shift, X, Y);
}

void TspSkinCheckRadioBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft) {
        FMouseDown = false;
        if (FMouseIn) {
            if (!FRadio && FAllowGrayed && FState == cbUnchecked)
                SetState(cbGrayed);
            else
                Toggle();
        }
    }
    TspSkinCustomControl::MouseUp(Button, Shift, X, Y);
}

void TspSkinCheckRadioBox::WndProc(TMessage& Message) {
    if (FCanFocused) {
        switch (Message.Msg) {
        case WM_KEYUP:
            if (Message.WParam == VK_SPACE && Focused()) Toggle();
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (!HasState(csDesigning) && !Focused()) {
                FClicksDisabled = true;
                if (CanFocus()) ::SetFocus(Handle());
                FClicksDisabled = false;
                if (!Focused()) return;
            }
            break;
        case CN_COMMAND:
            if (FClicksDisabled) return;
            break;
        default:
            break;
        }
    }
    switch (Message.Msg) {
    case WM_MOUSEMOVE: {
        TspSkinCustomControl::WndProc(Message);
        int x, y;
        pointOf(Message.LParam, x, y);
        bool inside = x >= 0 && y >= 0 && x < Width() && y < Height();
        if (FMouseDown && inside != FMouseIn) Perform(inside ? CM_MOUSEENTER : CM_MOUSELEAVE, 0, 0);
        return;
    }
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
        TspSkinCustomControl::WndProc(Message);
        if (HasState(csDesigning)) return;
        FMouseIn = Message.Msg == CM_MOUSEENTER;
        UpdateHoverState();
        return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        TspSkinCustomControl::WndProc(Message);
        if (FCanFocused) UpdateHoverState();
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
    case CM_DIALOGCHAR:
        if (accelMatches(Caption(), Message.WParam) && CanFocus() && FCanFocused) {
            SetFocus();
            Toggle();
            Message.Result = 1;
            return;
        }
        break;
    case CM_TEXTCHANGED:
        TspSkinCustomControl::WndProc(Message);
        if (FIndex != -1 || HasState(csDesigning) || FDrawDefault) Repaint();
        return;
    case WM_ERASEBKGND:
        if (!FFlat && !FFromWMPaint && Message.WParam)
            PaintWindow(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 1;
        return;
    case WM_MOVE:
        TspSkinCustomControl::WndProc(Message);
        Invalidate();
        return;
    default:
        break;
    }
    TspSkinCustomControl::WndProc(Message);
}

// ---- Labels ----

void TspLabelSkin::Lookup() {
    FIndex = skinOn(FSD) ? FSD->GetControlIndex(FSkinDataName) : -1;
    if (FIndex == -1) return;
    if (auto* e = dynamic_cast<TspDataSkinStdLabelControl*>(elementAt(FSD, FIndex))) {
        FontName = e->FontName;
        FontStyle = e->FontStyle;
        FontHeight = e->FontHeight;
        FontColor = e->FontColor;
    }
}

void TspLabelSkin::SelectFont(TCanvas* C, TFont* ControlFont) {
    TFont* f = C->Font();
    if (FIndex == -1) {
        f->Assign(FUseSkinFont ? FDefaultFont.get() : ControlFont);
    } else {
        if (FUseSkinFont) {
            f->SetName(FontName);
            f->SetStyle(FontStyle);
            f->SetHeight(FontHeight);
        } else {
            f->Assign(ControlFont);
        }
        f->SetColor(FUseSkinColor ? FontColor : ControlFont->Color());
    }
    f->SetCharset(charsetOf(FSD, FDefaultFont.get()));
}

namespace {

// Enabled text once; disabled text twice, lit and shadowed; measuring keeps
// the second measure.
void drawLabelText(TCanvas* C, const std::string& text, TRect& Rect, UINT Format, bool enabled,
                   int index, TspSkinData* sd) {
    if (enabled) {
        canvasText(C, text, Rect, Format);
        return;
    }
    TRect lit(Rect.Left + 1, Rect.Top + 1, Rect.Right + 1, Rect.Bottom + 1);
    C->Font()->SetColor(index == -1
                            ? clBtnHighlight
                            : skinColor(sd, &TspSkinColors::FcBtnHighLight, clBtnHighlight));
    canvasText(C, text, lit, Format);
    C->Font()->SetColor(index == -1 ? clBtnShadow
                                    : skinColor(sd, &TspSkinColors::FcBtnShadow, clBtnShadow));
    canvasText(C, text, Rect, Format);
}

} // namespace

TspSkinStdLabel::TspSkinStdLabel(TComponent* AOwner) : TCustomLabel(AOwner) {
    Transparent = true;
}

TspSkinStdLabel::~TspSkinStdLabel() {
    if (FSD) FSD->RemoveFreeNotification(this);
}

void TspSkinStdLabel::SetSkinData(TspSkinData* Value) {
    if (FSD) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    ChangeSkinData();
}

void TspSkinStdLabel::ChangeSkinData() {
    GetSkinData();
    if (AutoSize()) AdjustBounds();
    Repaint();
}

void TspSkinStdLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomLabel::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSD) FSD = nullptr;
}

void TspSkinStdLabel::SetEllipsType(TspEllipsType Value) {
    if (FEllipsType == Value) return;
    FEllipsType = Value;
    Invalidate();
}

void TspSkinStdLabel::DoDrawText(TRect& Rect, UINT Flags) {
    GetSkinData();
    std::string text = GetLabelText();
    if ((Flags & DT_CALCRECT) && (text.empty() || (ShowAccelChar && text == "&"))) text += " ";
    UINT format = Flags | (ShowAccelChar ? 0 : DT_NOPREFIX);
    if (FEllipsType == spetEndEllips) format |= DT_END_ELLIPSIS;
    if (FEllipsType == spetPathEllips) format |= DT_PATH_ELLIPSIS;
    SelectFont(Canvas(), Font());
    drawLabelText(Canvas(), text, Rect, format, Enabled(), FIndex, FSD);
}

TspSkinTextLabel::TspSkinTextLabel(TComponent* AOwner)
    : TGraphicControl(AOwner), FLines(std::make_unique<TStringList>()) {
    ControlStyle &= ~TControlStyle(csOpaque);
    FWidth = 65;
    FHeight = 65;
    FLines->OnChange = [this](TObject*) {
        if (FAutoSize) AdjustBounds();
        Repaint();
    };
}

TspSkinTextLabel::~TspSkinTextLabel() {
    FLines->OnChange = nullptr;
    if (FSD) FSD->RemoveFreeNotification(this);
}

std::string TspSkinTextLabel::GetLabelText() const {
    return FLines->Text();
}

void TspSkinTextLabel::SetSkinData(TspSkinData* Value) {
    if (FSD) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    ChangeSkinData();
}

void TspSkinTextLabel::ChangeSkinData() {
    GetSkinData();
    if (FAutoSize) AdjustBounds();
    Repaint();
}

void TspSkinTextLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSD) FSD = nullptr;
}

void TspSkinTextLabel::SetLines(TStrings* Value) {
    FLines->Assign(*Value);
    Repaint();
}

void TspSkinTextLabel::SetAlignment(TAlignment Value) {
    if (FAlignment == Value) return;
    FAlignment = Value;
    Invalidate();
}

void TspSkinTextLabel::SetLayout(TTextLayout Value) {
    if (FLayout == Value) return;
    FLayout = Value;
    Invalidate();
}

void TspSkinTextLabel::SetWordWrap(bool Value) {
    if (FWordWrap == Value) return;
    FWordWrap = Value;
    AdjustBounds();
    Invalidate();
}

void TspSkinTextLabel::SetAutoSize(bool Value) {
    if (FAutoSize == Value) return;
    FAutoSize = Value;
    AdjustBounds();
}

void TspSkinTextLabel::WndProc(TMessage& Message) {
    if (Message.Msg == CM_FONTCHANGED) {
        TGraphicControl::WndProc(Message);
        AdjustBounds();
        Invalidate();
        return;
    }
    TGraphicControl::WndProc(Message);
}

void TspSkinTextLabel::DoDrawText(TRect& Rect, UINT Flags) {
    GetSkinData();
    SelectFont(Canvas(), Font());
    drawLabelText(Canvas(), GetLabelText(), Rect, Flags, Enabled(), FIndex, FSD);
}

void TspSkinTextLabel::Paint() {
    Canvas()->Brush()->SetStyle(bsClear);
    TRect r = ClientRect();
    UINT style = DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : 0) |
                 (FAlignment == taRightJustify ? DT_RIGHT
                  : FAlignment == taCenter     ? DT_CENTER
                                               : DT_LEFT);
    if (FLayout != tlTop) {
        TRect c = r;
        DoDrawText(c, style | DT_CALCRECT);
        // The text ends with a line break, which measures as one more line.
        c.Bottom -= Canvas()->TextHeight("A");
        int dy = FLayout == tlBottom ? Height() - c.Bottom : (Height() - c.Bottom) / 2;
        r.Top += dy;
        r.Bottom += dy;
    }
    DoDrawText(r, style);
}

void TspSkinTextLabel::AdjustBounds() {
    if (HasState(csLoading) || !FAutoSize) return;
    TRect r = ClientRect();
    HDC dc = CreateCompatibleDC(nullptr);
    Canvas()->SetHandle(dc);
    DoDrawText(r, DT_EXPANDTABS | DT_CALCRECT | (FWordWrap ? DT_WORDBREAK : 0));
    int x = Left();
    if (FAlignment == taRightJustify) x += Width() - r.Right;
    r.Bottom -= Canvas()->TextHeight("A");
    Canvas()->SetHandle(nullptr);
    DeleteDC(dc);
    SetBounds(x, Top(), r.Right, r.Bottom);
}

// ---- TspSkinBevel ----

TspSkinBevel::TspSkinBevel(TComponent* AOwner) : TBevel(AOwner) {}

TspSkinBevel::~TspSkinBevel() {
    if (FSD) FSD->RemoveFreeNotification(this);
}

void TspSkinBevel::SetSkinData(TspSkinData* Value) {
    if (FSD) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (Value) Value->FreeNotification(this);
    ChangeSkinData();
}

void TspSkinBevel::Notification(TComponent* AComponent, TOperation Operation) {
    TBevel::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSD) FSD = nullptr;
}

void TspSkinBevel::ChangeSkinData() {
    FIndex = skinOn(FSD) ? FSD->GetControlIndex(FSkinDataName) : -1;
    if (FIndex == -1) {
        LightColor = clBtnHighlight;
        DarkColor = clBtnShadow;
    } else if (auto* e = dynamic_cast<TspDataSkinBevel*>(elementAt(FSD, FIndex))) {
        LightColor = e->LightColor;
        DarkColor = e->DarkColor;
    }
    Repaint();
}

void TspSkinBevel::SetDividerMode(bool Value) {
    FDividerMode = Value;
    Repaint();
}

void TspSkinBevel::Paint() {
    TCanvas* C = Canvas();
    if (HasState(csDesigning) && Shape == bsSpacer) {
        C->Pen()->SetStyle(psDot);
        C->Pen()->SetMode(pmXor);
        C->Brush()->SetStyle(bsClear);
        C->Rectangle(0, 0, Width(), Height());
        return;
    }
    C->Pen()->SetStyle(psSolid);
    C->Pen()->SetMode(pmCopy);
    C->Pen()->SetWidth(1);
    C->Brush()->SetStyle(bsSolid);
    TColor c1 = Style == bsLowered ? DarkColor : LightColor;
    TColor c2 = Style == bsLowered ? LightColor : DarkColor;
    auto bevelRect = [&](const TRect& R, TColor a, TColor b) {
        C->Pen()->SetColor(a);
        C->Polyline({{R.Left, R.Bottom}, {R.Left, R.Top}, {R.Right, R.Top}});
        C->Pen()->SetColor(b);
        C->Polyline({{R.Right, R.Top}, {R.Right, R.Bottom}, {R.Left, R.Bottom}});
    };
    auto line = [&](int x1, int y1, int x2, int y2, TColor c) {
        C->Pen()->SetColor(c);
        C->MoveTo(x1, y1);
        C->LineTo(x2, y2);
    };
    int W = Width(), H = Height();
    if (FDividerMode) {
        if (Shape == bsTopLine || Shape == bsBottomLine)
            bevelRect(TRect(2, H / 2 - 1, W - 2, H / 2), c1, c2);
        else if (Shape != bsSpacer)
            bevelRect(TRect(W / 2 - 1, 2, W / 2, H - 2), c1, c2);
        return;
    }
    switch (Shape) {
    case bsBox:
        bevelRect(TRect(0, 0, W - 1, H - 1), c1, c2);
        break;
    case bsFrame:
        bevelRect(TRect(1, 1, W - 1, H - 1), c2, c2);
        bevelRect(TRect(0, 0, W - 2, H - 2), c1, c1);
        break;
    case bsTopLine:
        line(0, 0, W, 0, c1);
        line(0, 1, W, 1, c2);
        break;
    case bsBottomLine:
        line(0, H - 2, W, H - 2, c1);
        line(0, H - 1, W, H - 1, c2);
        break;
    case bsLeftLine:
        line(0, 0, 0, H, c1);
        line(1, 0, 1, H, c2);
        break;
    case bsRightLine:
        line(W - 2, 0, W - 2, H, c1);
        line(W - 1, 0, W - 1, H, c2);
        break;
    case bsSpacer:
        break;
    }
}

// ---- Panels ----

namespace {

// Fills the whole of C's W x H with the picture part Src: stretched over Full,
// stretched along one side and repeated, or tiled from 0,0.
void fillWithPart(TCanvas* C, int W, int H, TBitmap* P, const TRect& Src, bool stretch,
                  TspStretchType type, const TRect& Full) {
    int sw = Src.Width(), sh = Src.Height();
    if (!P || sw <= 0 || sh <= 0) return;
    HDC dc = C->Handle(), s = P->Canvas()->Handle();
    SetStretchBltMode(dc, COLORONCOLOR);
    if (stretch && type == spstFull) {
        StretchBlt(dc, Full.Left, Full.Top, Full.Width(), Full.Height(), s, Src.Left, Src.Top, sw,
                   sh, SRCCOPY);
    } else if (stretch && type == spstHorz) {
        for (int x = 0; x < W; x += sw)
            StretchBlt(dc, x, 0, sw, H, s, Src.Left, Src.Top, sw, sh, SRCCOPY);
    } else if (stretch && type == spstVert) {
        for (int y = 0; y < H; y += sh)
            StretchBlt(dc, 0, y, W, sh, s, Src.Left, Src.Top, sw, sh, SRCCOPY);
    } else {
        for (int y = 0; y < H; y += sh)
            for (int x = 0; x < W; x += sw)
                BitBlt(dc, x, y, std::min(sw, W - x), std::min(sh, H - y), s, Src.Left, Src.Top,
                       SRCCOPY);
    }
}

void blit(TCanvas* to, TBitmap& B) {
    if (to->Handle())
        BitBlt(to->Handle(), 0, 0, B.Width(), B.Height(), B.Canvas()->Handle(), 0, 0, SRCCOPY);
}

} // namespace

TspSkinPanel::TspSkinPanel(TComponent* AOwner) : TspSkinCustomControl(AOwner) {
    FSkinDataName = "panel";
    FForceBackground = true;
    ControlStyle |= csAcceptsControls | csOpaque;
    SetBounds(0, 0, 150, 150);
}

TspSkinPanel::~TspSkinPanel() {
    if (FCaptionImageList) FCaptionImageList->RemoveFreeNotification(this);
}

void TspSkinPanel::Notification(TComponent* AComponent, TOperation Operation) {
    TspSkinCustomControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FCaptionImageList) FCaptionImageList = nullptr;
}

void TspSkinPanel::CreateParams(TCreateParams& Params) {
    TspSkinCustomControl::CreateParams(Params);
    Params.WindowClassStyle &= ~UINT(CS_HREDRAW | CS_VREDRAW);
    Params.Background = nullptr;
}

TFontCharset TspSkinPanel::SkinCharset() const {
    return charsetOf(FSD, FDefaultFont.get());
}

TFont* TspSkinPanel::CaptionFont(TCanvas* C) {
    if (FIndex != -1 && FUseSkinFont)
        setFont(C, FontName, FontStyle, FontHeight, FontColor, SkinCharset());
    else {
        C->Font()->Assign(DefaultFont());
        C->Font()->SetCharset(SkinCharset());
    }
    return C->Font();
}

void TspSkinPanel::GetSkinData() {
    TspSkinCustomControl::GetSkinData();
    BGPictureIndex = -1;
    if (FIndex == -1) return;
    if (auto* e = dynamic_cast<TspDataSkinPanelControl*>(elementAt(FSD, FIndex))) {
        CaptionRect = e->CaptionRect;
        Alignment = e->Alignment;
        FontName = e->FontName;
        FontStyle = e->FontStyle;
        FontHeight = e->FontHeight;
        FontColor = e->FontColor;
        BGPictureIndex = e->BGPictureIndex;
        CheckImageRect = e->CheckImageRect;
        UnCheckImageRect = e->UnCheckImageRect;
        MarkFrameRect = e->MarkFrameRect;
        FrameRect = e->FrameRect;
        FrameTextRect = e->FrameTextRect;
        FrameLeftOffset = e->FrameLeftOffset;
        FrameRightOffset = e->FrameRightOffset;
    }
}

void TspSkinPanel::AdjustClientRect(TRect& R) {
    GetSkinData();
    int W = Width(), H = Height();
    if (FIndex != -1 && FTransparentMode) {
        int top = 2;
        if (FCaptionMode) {
            TBitmap m(1, 1);
            top = CaptionFont(m.Canvas()) ? m.Canvas()->TextHeight(Caption()) : 2;
        }
        R = TRect(2, top, W - 2, H - 2);
        return;
    }
    if (FIndex == -1 || HasState(csDesigning)) {
        if (FBorderStyle != TspSkinBorderStyle::bvNone)
            R = TRect(R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
        if (FCaptionMode) R.Top += FDefaultCaptionHeight;
        return;
    }
    if (BGPictureIndex != -1 ||
        (FBorderStyle == TspSkinBorderStyle::bvNone && !FCaptionMode && ResizeMode == 1)) {
        R = TRect(0, 0, W, H);
        return;
    }
    int w = W, h = H;
    FitSkinSize(w, h);
    R = NewClRect;
}

TRect TspSkinPanel::GetSkinClientRect() {
    TRect r(0, 0, Width(), Height());
    AdjustClientRect(r);
    return r;
}

void TspSkinPanel::AlignControls(TControl* AControl, TRect& Rect) {
    if (FAlignSuspended) return;
    Rect = GetSkinClientRect();
    TspSkinCustomControl::AlignControls(AControl, Rect);
}

int TspSkinPanel::CaptionImageWidth() const {
    if (FGlyph.Empty() && FCaptionImageList && FCaptionImageIndex >= 0 &&
        FCaptionImageIndex < FCaptionImageList->Count())
        return FCaptionImageList->Width();
    if (!FGlyph.Empty()) return FGlyph.Width() / std::max(1, FNumGlyphs);
    return 0;
}

void TspSkinPanel::DrawCaptionImage(TCanvas* C, int X, int Y) {
    if (FGlyph.Empty() && FCaptionImageList && FCaptionImageIndex >= 0 &&
        FCaptionImageIndex < FCaptionImageList->Count()) {
        FCaptionImageList->Draw(C, X, Y, FCaptionImageIndex, Enabled());
    } else if (!FGlyph.Empty()) {
        int cell = !Enabled() && FNumGlyphs == 2 ? 2 : 1;
        DrawGlyphFromStrip(C, X, Y, &FGlyph, FNumGlyphs, cell);
    }
}

void TspSkinPanel::DrawCheckPicture(TCanvas* C, int X, const TRect& Bar) {
    const TRect& r = FChecked ? CheckImageRect : UnCheckImageRect;
    drawPartTransparent(C, X, Bar.Top + Bar.Height() / 2 - r.Height() / 2, Picture, r);
}

void TspSkinPanel::DrawTransparentCaption(TBitmap* B) {
    TCanvas* C = B->Canvas();
    TColor shadow = skinColor(FSD, &TspSkinColors::FcBtnShadow, clBtnShadow);
    CaptionFont(C);
    int th = C->TextHeight(Caption());
    TRect bar(5, 0, B->Width(), th + 5);
    NewCaptionRect = bar;
    int x = 5;
    if (FCheckedMode) {
        DrawCheckPicture(C, x, bar);
        x = (FChecked ? CheckImageRect : UnCheckImageRect).Width() + 10;
    }
    int iw = CaptionImageWidth();
    if (iw) {
        int ih = FGlyph.Empty() ? FCaptionImageList->Height() : FGlyph.Height();
        DrawCaptionImage(C, x, bar.Height() / 2 - ih / 2);
        x += iw + 2;
    }
    auto* label = skinOn(FSD) ? dynamic_cast<TspDataSkinStdLabelControl*>(
                                    elementAt(FSD, FSD->GetControlIndex("stdlabel")))
                              : nullptr;
    C->Font()->SetColor(label ? label->FontColor
                              : skinColor(FSD, &TspSkinColors::FcBtnText, clBtnText));
    C->Brush()->SetStyle(bsClear);
    DrawVCenteredText(C, Caption(), TRect(x, 0, B->Width(), th + 5));
    int w = Caption().empty() ? 0 : C->TextWidth(Caption());
    if (FRollUpMode)
        DrawArrow(C, TRect(x + w + 3, 0, x + w + 10, th + 5), C->Font()->Color(),
                  FRollUpState ? 4 : 3);
    int m = (th + 5) / 2;
    C->Pen()->SetColor(shadow);
    C->Pen()->SetWidth(1);
    C->MoveTo(0, m);
    C->LineTo(4, m);
    C->MoveTo(x + w + (FRollUpMode ? 12 : 3), m);
    C->LineTo(B->Width() - 1, m);
    C->LineTo(B->Width() - 1, B->Height() - 1);
    C->LineTo(0, B->Height() - 1);
    C->LineTo(0, m);
}

void TspSkinPanel::DrawBackgroundPicture(TCanvas* C, TBitmap* P) {
    int w = Width(), h = Height();
    FitSkinSize(w, h);
    fillWithPart(C, Width(), Height(), P, TRect(0, 0, P->Width(), P->Height()), StretchEffect,
                 StretchType, NewClRect);
}

void TspSkinPanel::Paint() {
    if (Width() <= 0 || Height() <= 0) return;
    GetSkinData();
    if (FIndex != -1 && FTransparentMode) {
        TBitmap B(Width(), Height());
        DrawParentBackground(this, B.Canvas());
        if (!FCaptionMode) {
            if (FBorderStyle != TspSkinBorderStyle::bvNone) {
                B.Canvas()->Brush()->SetStyle(bsClear);
                B.Canvas()->Pen()->SetColor(
                    skinColor(FSD, &TspSkinColors::FcBtnShadow, clBtnShadow));
                B.Canvas()->Rectangle(0, 0, Width(), Height());
            }
        } else {
            DrawTransparentCaption(&B);
        }
        CustomPaint(B.Canvas());
        blit(Canvas(), B);
        return;
    }
    if (FIndex == -1 || (StretchEffect && !FForceBackground)) {
        TspSkinCustomControl::Paint();
        return;
    }
    int w = Width(), h = Height();
    FitSkinSize(w, h);
    TBitmap B(Width(), Height());
    if (FBorderStyle != TspSkinBorderStyle::bvNone || ResizeMode != 1 || FCaptionMode ||
        !FForceBackground || FAlphaBlend) {
        TBitmap* bg = BGPictureIndex != -1 ? pictureAt(FSD, BGPictureIndex) : nullptr;
        if (!bg) {
            TspSkinCustomControl::Paint();
            return;
        }
        DrawBackgroundPicture(B.Canvas(), bg);
        blit(Canvas(), B);
        return;
    }
    TRect client(SkinRect.Left + ClRect.Left, SkinRect.Top + ClRect.Top,
                 SkinRect.Left + ClRect.Right, SkinRect.Top + ClRect.Bottom);
    // A frameless panel shows the client texture over its whole area.
    fillWithPart(B.Canvas(), Width(), Height(), Picture, client, StretchEffect, StretchType,
                 TRect(0, 0, Width(), Height()));
    CustomPaint(B.Canvas());
    blit(Canvas(), B);
}

void TspSkinPanel::DrawSkinImage(TBitmap* B) {
    if (FBorderStyle == TspSkinBorderStyle::bvNone && ResizeMode == 1 && !FCaptionMode &&
        !StretchEffect) {
        TRect client(SkinRect.Left + ClRect.Left, SkinRect.Top + ClRect.Top,
                     SkinRect.Left + ClRect.Right, SkinRect.Top + ClRect.Bottom);
        fillWithPart(B->Canvas(), B->Width(), B->Height(), Picture, client, false, spstFull,
                     TRect());
        return;
    }
    TspSkinCustomControl::DrawSkinImage(B);
    NewCaptionRect = ResizeMode < 1 ? CaptionRect : MapSkinRect(CaptionRect);
    if (!Caption().empty() && !IsEmptyRect(CaptionRect)) DrawSkinCaption(B);
}

void TspSkinPanel::DrawSkinCaption(TBitmap* B) {
    TCanvas* C = B->Canvas();
    TRect R = NewCaptionRect;
    if (FRollUpMode) R.Right -= 12;
    if (FCheckedMode) {
        DrawCheckPicture(C, R.Left, R);
        R.Left += (FChecked ? CheckImageRect : UnCheckImageRect).Width() + 2;
    }
    CaptionFont(C);
    C->Font()->SetColor(FontColor);
    std::string text = Caption();
    int tw = C->TextWidth(text), th = C->TextHeight(text);
    int y = R.Top + R.Height() / 2 - th / 2;
    int iw = CaptionImageWidth();
    int block = tw + (iw ? iw + FSpacing : 0);
    int x = Alignment == taRightJustify ? R.Right - block
            : Alignment == taCenter     ? R.Left + R.Width() / 2 - block / 2
                                        : R.Left;
    int imageX = x, textX = x;
    if (iw) {
        if (FImagePosition == spipLeft) {
            imageX = R.Left + 2;
            int after = imageX + iw + FSpacing;
            textX = Alignment == taRightJustify ? R.Right - tw
                    : Alignment == taCenter     ? R.Left + R.Width() / 2 - tw / 2
                                                : after;
            textX = std::max(textX, after);
        } else {
            textX = x + iw + FSpacing;
        }
    }
    if (FRollUpMode) {
        TRect arrow(R.Right, R.Top, R.Right + 10, R.Bottom);
        if (!IsEmptyRect(MarkFrameRect) && Picture)
            BitBlt(C->Handle(), arrow.Left, arrow.Top, MarkFrameRect.Width(),
                   MarkFrameRect.Height(), Picture->Canvas()->Handle(), MarkFrameRect.Left,
                   MarkFrameRect.Top, SRCCOPY);
        DrawArrow(C, arrow, FontColor, FRollUpState ? 4 : 3);
    }
    if (!IsEmptyRect(FrameRect) && Picture) {
        int e = FrameRect.Width() - FrameTextRect.Width();
        TBitmap strip;
        BuildHorzSkinImage(FrameLeftOffset, FrameRightOffset, &strip, Picture, FrameRect, e + tw,
                           FrameRect.Height(), false);
        int fx = textX;
        if (Alignment == taLeftJustify) {
            textX = fx + FrameTextRect.Left;
        } else if (Alignment == taRightJustify) {
            fx = textX - e;
            textX = fx + FrameTextRect.Left;
            imageX -= e;
        } else {
            fx = textX - FrameTextRect.Left - 2;
            textX -= 2;
            imageX -= FrameTextRect.Left;
        }
        BitBlt(C->Handle(), fx, CaptionRect.Top, strip.Width(), strip.Height(),
               strip.Canvas()->Handle(), 0, 0, SRCCOPY);
    }
    C->Brush()->SetStyle(bsClear);
    C->TextRect(R, textX, y, text);
    if (iw) {
        int ih = FGlyph.Empty() ? FCaptionImageList->Height() : FGlyph.Height();
        DrawCaptionImage(C, imageX, R.Top + R.Height() / 2 - ih / 2);
    }
}

void TspSkinPanel::DrawDefaultImage(TBitmap* B) {
    TCanvas* C = B->Canvas();
    int W = B->Width(), H = B->Height();
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(clBtnFace);
    C->FillRect(TRect(0, 0, W, H));
    auto edge = [&](const TRect& r, TColor tl, TColor br) {
        C->Pen()->SetColor(tl);
        C->Polyline({{r.Left, r.Bottom - 1}, {r.Left, r.Top}, {r.Right - 1, r.Top}});
        C->Pen()->SetColor(br);
        C->Polyline(
            {{r.Right - 1, r.Top}, {r.Right - 1, r.Bottom - 1}, {r.Left - 1, r.Bottom - 1}});
    };
    TRect all(0, 0, W, H);
    switch (FBorderStyle) {
    case TspSkinBorderStyle::bvFrame:
        edge(all, clBtnShadow, clBtnShadow);
        break;
    case TspSkinBorderStyle::bvRaised:
        edge(all, clBtnHighlight, clBtnShadow);
        break;
    case TspSkinBorderStyle::bvLowered:
        edge(all, clBtnShadow, clBtnHighlight);
        break;
    case TspSkinBorderStyle::bvNone:
        break;
    }
    if (!FCaptionMode) return;
    TRect bar;
    if (FBorderStyle == TspSkinBorderStyle::bvFrame) {
        bar = TRect(0, 0, W, FDefaultCaptionHeight);
        edge(bar, clBtnShadow, clBtnShadow);
        edge(TRect(1, 1, W - 1, FDefaultCaptionHeight - 1), clBtnHighlight, clBtnFace);
    } else {
        bar = TRect(1, 1, W - 1, FDefaultCaptionHeight);
        edge(bar, clBtnShadow, clBtnHighlight);
        edge(TRect(2, 2, W - 2, FDefaultCaptionHeight - 1), clBtnHighlight, clBtnShadow);
    }
    TRect text = bar;
    if (FCheckedMode) text.Left += 20;
    if (FRollUpMode) text.Right -= 10;
    C->Font()->Assign(DefaultFont());
    C->Font()->SetCharset(SkinCharset());
    std::string s = Caption();
    int tw = C->TextWidth(s), th = C->TextHeight(s);
    int iw = CaptionImageWidth();
    int block = tw + (iw ? iw + FSpacing : 0);
    int y = text.Top + text.Height() / 2 - th / 2;
    int x = FDefaultAlignment == taRightJustify ? text.Right - block
            : FDefaultAlignment == taCenter     ? text.Left + 2 + text.Width() / 2 - block / 2
                                                : text.Left + 2;
    if (FCheckedMode) {
        int by = bar.Top + bar.Height() / 2 - 7;
        TRect box(5, by, 19, by + 14);
        C->Brush()->SetColor(clBtnShadow);
        C->FrameRect(box);
        if (FChecked) DrawCheckMark(C, box.Left + 3, box.Top + 2, clBtnText);
    }
    if (iw) {
        int ih = FGlyph.Empty() ? FCaptionImageList->Height() : FGlyph.Height();
        DrawCaptionImage(C, x, bar.Top + bar.Height() / 2 - ih / 2);
        x += iw + FSpacing;
    }
    C->Brush()->SetStyle(bsClear);
    C->TextRect(text, x, y, s);
    if (FRollUpMode)
        DrawArrow(C, TRect(text.Right, bar.Top, text.Right + 10, bar.Bottom), clBtnText,
                  FRollUpState ? 4 : 3);
}

void TspSkinPanel::SetCaptionMode(bool Value) {
    FCaptionMode = Value;
    Repaint();
    Realign();
}

void TspSkinPanel::SetDefaultCaptionHeight(int Value) {
    FDefaultCaptionHeight = Value;
    if (FIndex == -1 && FCaptionMode) {
        Repaint();
        Realign();
    }
}

void TspSkinPanel::SetBorderStyle(TspSkinBorderStyle Value) {
    FBorderStyle = Value;
    if (FIndex == -1) {
        Repaint();
        Realign();
    }
}

void TspSkinPanel::SetDefaultAlignment(TAlignment Value) {
    FDefaultAlignment = Value;
    if (FIndex == -1 && FCaptionMode) Repaint();
}

void TspSkinPanel::SetRollUpMode(bool Value) {
    FRollUpMode = Value;
    if (FIndex == -1 && FCaptionMode) Repaint();
}

void TspSkinPanel::SetImagePosition(TspImagePosition Value) {
    if (FImagePosition == Value) return;
    FImagePosition = Value;
    Repaint();
}

void TspSkinPanel::SetCaptionImageList(TCustomImageList* Value) {
    if (FCaptionImageList) FCaptionImageList->RemoveFreeNotification(this);
    FCaptionImageList = Value;
    if (Value) Value->FreeNotification(this);
    Repaint();
}

void TspSkinPanel::SetCaptionImageIndex(int Value) {
    if (FCaptionImageIndex == Value) return;
    FCaptionImageIndex = Value;
    Repaint();
}

void TspSkinPanel::SetGlyph(TBitmap* Value) {
    FGlyph.Assign(Value);
    Repaint();
}

void TspSkinPanel::SetNumGlyphs(int Value) {
    FNumGlyphs = std::clamp(Value, 1, 2);
    Repaint();
}

void TspSkinPanel::SetSpacing(int Value) {
    FSpacing = Value;
    Repaint();
}

void TspSkinPanel::SetCheckedMode(bool Value) {
    FCheckedMode = Value;
    Repaint();
}

void TspSkinPanel::SetAlphaBlend(bool Value) {
    FAlphaBlend = Value;
    Repaint();
}

void TspSkinPanel::SetAlphaBlendValue(uint8_t Value) {
    FAlphaBlendValue = Value;
    Repaint();
}

void TspSkinPanel::SetTransparentMode(bool Value) {
    if (FTransparentMode == Value) return;
    FTransparentMode = Value;
    Repaint();
    if (!HasState(csDesigning) && !HasState(csLoading)) CheckControlsBackground();
}

void TspSkinPanel::SetChecked(bool Value) {
    FChecked = Value;
    if (FCheckedMode) Repaint();
    if (AutoEnabledControls && FCheckedMode)
        for (int i = 0; i < ControlCount(); ++i)
            Controls(i)->SetEnabled(Value);
    if (OnChecked) OnChecked(this);
}

void TspSkinPanel::SetRollUpState(bool Value) {
    if (FRollUpState == Value) return;
    if (!FRollUpMode) {
        MaxWidth = FCMaxWidth, MinWidth = FCMinWidth;
        MaxHeight = FCMaxHeight, MinHeight = FCMinHeight;
        FRollUpState = false;
        return;
    }
    FCMaxWidth = MaxWidth, FCMinWidth = MinWidth;
    FCMaxHeight = MaxHeight, FCMinHeight = MinHeight;
    MaxWidth = MinWidth = MaxHeight = MinHeight = 0;
    FRollUpState = Value;
    DoRollUp(Value);
    if (OnChangeRollUpState) OnChangeRollUpState(this);
}

void TspSkinPanel::DoRollUp(bool ARollUp) {
    FInChangingRollUp = true;
    if (ARollUp && FRealHeight == -1) {
        FRealHeight = Height();
        FAlignSuspended = true;
        for (int i = 0; i < ControlCount(); ++i)
            Controls(i)->SetVisible(false);
        int h;
        if (FIndex == -1) {
            h = FDefaultCaptionHeight + 1;
        } else {
            int w = Width(), hh = Height();
            FitSkinSize(w, hh);
            h = Height() - NewClRect.Height();
        }
        SetHeight(h);
    } else if (!ARollUp && FRealHeight != -1) {
        SetHeight(FRealHeight);
        FRealHeight = -1;
        for (int i = 0; i < ControlCount(); ++i)
            Controls(i)->SetVisible(true);
        FAlignSuspended = false;
        Realign();
    }
    FInChangingRollUp = false;
}

void TspSkinPanel::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (FCaptionMode && (FRollUpMode || FCheckedMode) && Button == mbLeft) {
        TRect r = FIndex != -1 ? NewCaptionRect : TRect(1, 1, Width() - 1, FDefaultCaptionHeight);
        if (RectContainsPoint(r, TPoint(X, Y))) {
            if (FCheckedMode) SetChecked(!FChecked);
            if (FRollUpMode) SetRollUpState(!FRollUpState);
        }
    }
    TspSkinCustomControl::MouseUp(Button, Shift, X, Y);
}

void TspSkinPanel::ChangeSkinData() {
    TspSkinCustomControl::ChangeSkinData();
    if (FRealHeight == -1) {
        Realign();
        return;
    }
    // Rolled up: only the rolled height follows the new frame.
    int h = FDefaultCaptionHeight + 1;
    if (FIndex != -1) {
        int w = Width(), hh = Height();
        FitSkinSize(w, hh);
        h = Height() - NewClRect.Height();
    }
    SetHeight(h);
}

void TspSkinPanel::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TspSkinCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (FIndex == -1) Repaint();
}

void TspSkinPanel::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_MOVE:
        TspSkinCustomControl::WndProc(Message);
        if (FTransparentMode) {
            Repaint();
            CheckControlsBackground();
        }
        return;
    case WM_SKIN_CHECKPARENTBG:
        if (FTransparentMode || FAlphaBlend) {
            Repaint();
            CheckControlsBackground();
        }
        return;
    case CM_TEXTCHANGED:
        TspSkinCustomControl::WndProc(Message);
        if (FCaptionMode) Repaint();
        return;
    default:
        TspSkinCustomControl::WndProc(Message);
    }
}

TspSkinPaintPanel::TspSkinPaintPanel(TComponent* AOwner) : TspSkinPanel(AOwner) {
    FForceBackground = false;
}

void TspSkinPaintPanel::CustomPaint(TCanvas* C) {
    if (OnPanelPaint) OnPanelPaint(C, GetSkinClientRect());
}

void TspSkinPaintPanel::DrawDefaultImage(TBitmap* B) {
    TspSkinPanel::DrawDefaultImage(B);
    if (OnPanelPaint) OnPanelPaint(B->Canvas(), GetSkinClientRect());
}

void TspSkinPaintPanel::DrawSkinImage(TBitmap* B) {
    TspSkinPanel::DrawSkinImage(B);
    if (OnPanelPaint) OnPanelPaint(B->Canvas(), GetSkinClientRect());
}

void TspSkinPaintPanel::WndProc(TMessage& Message) {
    if (Message.Msg == WM_ERASEBKGND) {
        if (!FFromWMPaint && Message.WParam) PaintWindow(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 1;
        return;
    }
    TspSkinPanel::WndProc(Message);
}

TspSkinStatusBar::TspSkinStatusBar(TComponent* AOwner) : TspSkinPanel(AOwner) {
    FSkinDataName = "statusbar";
    FForceBackground = false;
    FBorderStyle = TspSkinBorderStyle::bvNone;
    SetAlign(alBottom);
    SetHeight(21);
}

void TspSkinStatusBar::GetSkinData() {
    TspSkinPanel::GetSkinData();
    if (auto* e = dynamic_cast<TspDataSkinPanelControl*>(elementAt(FSD, FIndex))) {
        GripperRect = e->GripperRect;
        GripperTransparent = e->GripperTransparent;
        GripperTransparentColor = e->GripperTransparentColor;
    }
}

void TspSkinStatusBar::SetSkinData(TspSkinData* Value) {
    TspSkinPanel::SetSkinData(Value);
    for (int i = 0; i < ControlCount(); ++i) {
        if (auto* c = dynamic_cast<TspSkinControl*>(Controls(i)))
            c->SetSkinData(Value);
        else if (auto* g = dynamic_cast<TspGraphicSkinControl*>(Controls(i)))
            g->SetSkinData(Value);
    }
}

void TspSkinStatusBar::SetSizeGrip(bool Value) {
    FSizeGrip = Value;
    Repaint();
    Realign();
}

void TspSkinStatusBar::SetShowGrip(bool Value) {
    FShowGrip = Value;
    Repaint();
    Realign();
}

void TspSkinStatusBar::AdjustClientRect(TRect& Rect) {
    TspSkinPanel::AdjustClientRect(Rect);
    if (!FSizeGrip || !FShowGrip) return;
    Rect.Right -= FIndex != -1 && !IsEmptyRect(GripperRect) ? GripperRect.Width() : Rect.Height();
}

TRect TspSkinStatusBar::GripRect() {
    TRect r = GetSkinClientRect();
    if (FIndex != -1 && !IsEmptyRect(GripperRect))
        return TRect(r.Right, r.Bottom - GripperRect.Height(), r.Right + GripperRect.Width(),
                     r.Bottom);
    return TRect(r.Right + 2, r.Top, r.Right + r.Height(), r.Bottom - 2);
}

void TspSkinStatusBar::DrawGrip(TCanvas* C) {
    if (!FSizeGrip || !FShowGrip) return;
    TRect g = GripRect();
    if (FIndex != -1 && !IsEmptyRect(GripperRect)) {
        if (GripperTransparent)
            drawPartFixedTransparent(C, g.Left, g.Top, Picture, GripperRect,
                                     GripperTransparentColor);
        else if (Picture)
            BitBlt(C->Handle(), g.Left, g.Top, GripperRect.Width(), GripperRect.Height(),
                   Picture->Canvas()->Handle(), GripperRect.Left, GripperRect.Top, SRCCOPY);
        return;
    }
    TColor dark =
        FIndex == -1 ? clBtnShadow : skinColor(FSD, &TspSkinColors::FcBtnShadow, clBtnShadow);
    TColor light = FIndex == -1 ? clBtnHighlight
                                : skinColor(FSD, &TspSkinColors::FcBtnHighLight, clBtnHighlight);
    for (int d = 3, n = 0; g.Left + d + 2 <= g.Right && n <= g.Width() / 3; d += 3, ++n) {
        C->Pen()->SetColor(dark);
        C->MoveTo(g.Left + d, g.Bottom);
        C->LineTo(g.Right, g.Top + d);
        C->Pen()->SetColor(light);
        C->MoveTo(g.Left + d + 1, g.Bottom);
        C->LineTo(g.Right, g.Top + d + 1);
    }
}

void TspSkinStatusBar::DrawDefaultImage(TBitmap* B) {
    TspSkinPanel::DrawDefaultImage(B);
    DrawGrip(B->Canvas());
}

void TspSkinStatusBar::DrawSkinImage(TBitmap* B) {
    TspSkinPanel::DrawSkinImage(B);
    DrawGrip(B->Canvas());
}

void TspSkinStatusBar::WndProc(TMessage& Message) {
    if (Message.Msg == WM_NCHITTEST && !HasState(csDesigning) && FSizeGrip && FShowGrip) {
        int x, y;
        pointOf(Message.LParam, x, y);
        TPoint p = ScreenToClient(TPoint(x, y));
        TRect g = GripRect();
        Message.Result = p.X >= g.Left && p.X < g.Right && p.Y >= g.Top && p.Y < g.Bottom
                             ? HTBOTTOMRIGHT
                             : HTCLIENT;
        return;
    }
    TspSkinPanel::WndProc(Message);
}

// ---- TspSkinGauge ----

TspSkinGauge::TspSkinGauge(TComponent* AOwner) : TspSkinCustomControl(AOwner) {
    FSkinDataName = "gauge";
    SetBounds(0, 0, 100, 20);
}

TspSkinGauge::~TspSkinGauge() {
    FAnimationTimer.reset();
    FAnimationPauseTimer.reset();
}

void TspSkinGauge::SetValue(int Value) {
    if (Value > FMaxValue) Value = FMaxValue;
    if (Value < FMinValue) Value = FMinValue;
    if (Value == FValue) return;
    FValue = Value;
    Invalidate();
}

void TspSkinGauge::SetMinValue(int Value) {
    FMinValue = Value;
    if (FValue < Value) FValue = Value;
    Repaint();
}

void TspSkinGauge::SetMaxValue(int Value) {
    FMaxValue = Value;
    if (FValue > Value) FValue = Value;
    Repaint();
}

void TspSkinGauge::SetVertical(bool Value) {
    FVertical = Value;
    Repaint();
    if (HasState(csDesigning) && !HasState(csLoading)) SetSkinDataName(Value ? "vgauge" : "gauge");
}

void TspSkinGauge::SetProgressText(const std::string& Value) {
    FProgressText = Value;
    Repaint();
}

void TspSkinGauge::SetShowProgressText(bool Value) {
    FShowProgressText = Value;
    Repaint();
}

void TspSkinGauge::SetShowPercent(bool Value) {
    FShowPercent = Value;
    Repaint();
}

void TspSkinGauge::SetTextAlphaBlend(bool Value) {
    FTextAlphaBlend = Value;
    if (FIndex != -1 && !GaugeText().empty()) Repaint();
}

void TspSkinGauge::SetTextAlphaBlendValue(uint8_t Value) {
    FTextAlphaBlendValue = Value;
    if (FIndex != -1 && FTextAlphaBlend && !GaugeText().empty()) Repaint();
}

void TspSkinGauge::SetProgressAnimationPause(int Value) {
    if (Value >= 0) FProgressAnimationPause = Value;
}

// The filled fraction; nothing is filled when the limits meet or cross.
static double gaugeFraction(int value, int min, int max) {
    if (max <= min) return 0;
    return std::clamp(double(value - min) / double(max - min), 0.0, 1.0);
}

TRect TspSkinGauge::CalcProgressRect(const TRect& R, bool AV) const {
    double x = gaugeFraction(FValue, FMinValue, FMaxValue);
    if (AV) return TRect(R.Left, R.Bottom - int(x * R.Height()), R.Right, R.Bottom);
    return TRect(R.Left, R.Top, R.Left + int(x * R.Width()), R.Bottom);
}

int TspSkinGauge::Percent() const {
    return int(gaugeFraction(FValue, FMinValue, FMaxValue) * 100);
}

std::string TspSkinGauge::GaugeText() const {
    std::string t = FShowProgressText ? FProgressText : "";
    if (FShowPercent) t += std::to_string(Percent()) + "%";
    return t;
}

void TspSkinGauge::GetSkinData() {
    TspSkinCustomControl::GetSkinData();
    if (FIndex == -1) return;
    auto* e = dynamic_cast<TspDataSkinGaugeControl*>(elementAt(FSD, FIndex));
    if (!e) return;
    if (!FUseSkinSize) MaskPicture = nullptr;
    FVertical = e->Vertical;
    ProgressRect = e->ProgressRect;
    ProgressArea = e->ProgressArea;
    BeginOffset = e->BeginOffset;
    EndOffset = e->EndOffset;
    FontName = e->FontName;
    FontStyle = e->FontStyle;
    FontHeight = e->FontHeight;
    FontColor = e->FontColor;
    ProgressTransparent = e->ProgressTransparent;
    ProgressTransparentColor = e->ProgressTransparentColor;
    ProgressStretch = e->ProgressStretch;
    ProgressAnimationSkinRect = e->ProgressAnimationSkinRect;
    ProgressAnimationCountFrames = e->ProgressAnimationCountFrames;
    ProgressAnimationTimerInterval = e->ProgressAnimationTimerInterval;
}

void TspSkinGauge::FitSkinSize(int& W, int& H) {
    int rw = W, rh = H;
    TspSkinCustomControl::FitSkinSize(W, H);
    NewProgressArea = ProgressArea;
    if (FIndex != -1 && ResizeMode > 0) {
        if (FVertical)
            NewProgressArea.Bottom += H - SkinRect.Height();
        else
            NewProgressArea.Right += W - SkinRect.Width();
    }
    if (!FUseSkinSize) W = rw, H = rh;
}

void TspSkinGauge::ChangeSkinData() {
    bool running = AnimationRunning();
    StopProgressAnimation();
    TspSkinCustomControl::ChangeSkinData();
    if (running) StartProgressAnimation();
}

TRect TspSkinGauge::AnimationFrameRect(int F) const {
    int n = std::max(1, ProgressAnimationCountFrames);
    const TRect& A = ProgressAnimationSkinRect;
    if (ProgressRect.Width() < A.Width()) {
        int fw = A.Width() / n;
        return TRect(A.Left + fw * (F - 1), A.Top, A.Left + fw * F, A.Bottom);
    }
    int fh = A.Height() / n;
    return TRect(A.Left, A.Top + fh * (F - 1), A.Right, A.Top + fh * F);
}

void TspSkinGauge::DrawProgressText(TCanvas* C, int W, int H) {
    std::string text = GaugeText();
    if (text.empty()) return;
    TFont* d = DefaultFont();
    if (FIndex == -1) {
        C->Font()->Assign(d);
    } else {
        if (FUseSkinFont)
            setFont(C, FontName, FontStyle, FontHeight, FontColor, d->Charset());
        else
            C->Font()->Assign(d);
        C->Font()->SetColor(FontColor);
    }
    C->Font()->SetCharset(charsetOf(FSD, d));
    int tw = C->TextWidth(text), th = C->TextHeight(text);
    C->Brush()->SetStyle(bsClear);
    if (!FVertical) {
        C->TextOut(W / 2 - tw / 2, H / 2 - th / 2, text);
        return;
    }
    // Vertical bars read upward: the same font turned a quarter, centred on the bar.
    LOGFONT lf;
    GetObject(C->Font()->Handle(), sizeof lf, &lf);
    lf.lfEscapement = 900;
    HFONT turned = CreateFontIndirect(&lf);
    HDC dc = C->Handle();
    HGDIOBJ old = SelectObject(dc, turned);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(C->Font()->Color()));
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    TextOut(dc, W / 2 - th / 2, tw / 2 + H / 2, text);
    SelectObject(dc, old);
    DeleteObject(turned);
}

void TspSkinGauge::DrawDefaultImage(TBitmap* B) {
    TCanvas* C = B->Canvas();
    int W = B->Width(), H = B->Height();
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(clWindow);
    C->FillRect(TRect(0, 0, W, H));
    C->Brush()->SetColor(clBtnShadow);
    C->FrameRect(TRect(0, 0, W, H));
    TRect R(1, 1, W - 1, H - 1);
    TRect P = CalcProgressRect(R, FVertical);
    if (OnGaugePaint) {
        OnGaugePaint(C, R, P);
        return;
    }
    if (!IsEmptyRect(P)) {
        C->Brush()->SetColor(TColor(0xD2BDB6));
        C->FillRect(P);
    }
    DrawProgressText(C, W, H);
}

void TspSkinGauge::DrawSkinImage(TBitmap* B) {
    int W = B->Width(), H = B->Height();
    int fw = W, fh = H;
    TspSkinPartGeometry::FitSize(true, fw, fh);
    NewProgressArea = ProgressArea;
    if (ResizeMode > 0) {
        if (FVertical)
            NewProgressArea.Bottom += fh - SkinRect.Height();
        else
            NewProgressArea.Right += fw - SkinRect.Width();
    }
    BuildImage(B, Picture, SkinRect, W, H, false, StretchType);
    TCanvas* C = B->Canvas();
    TRect P = CalcProgressRect(NewProgressArea, FVertical);
    if (OnGaugePaint) {
        OnGaugePaint(C, NewProgressArea, P);
        return;
    }
    if (!IsEmptyRect(P) && Picture) {
        bool framed =
            timerRuns(FAnimationTimer) && FAnimationFrame > 0 && ProgressAnimationCountFrames > 0;
        TRect S = framed ? AnimationFrameRect(FAnimationFrame) : ProgressRect;
        HDC src = Picture->Canvas()->Handle();
        TBitmap bar(P.Width(), P.Height());
        HDC dc = bar.Canvas()->Handle();
        SetStretchBltMode(dc, COLORONCOLOR);
        int len = FVertical ? P.Height() : P.Width();
        int other = FVertical ? P.Width() : P.Height();
        if (len > BeginOffset + EndOffset) {
            int mid = len - BeginOffset - EndOffset;
            int sl = (FVertical ? S.Top : S.Left) + BeginOffset;
            int sLen = (FVertical ? S.Height() : S.Width()) - BeginOffset - EndOffset;
            if (sLen <= 0) return; // no bar and no text
            int sOther = FVertical ? S.Width() : S.Height();
            auto put = [&](int at, int n, int from, int count) {
                if (FVertical)
                    StretchBlt(dc, 0, at, other, n, src, S.Left, from, sOther, count, SRCCOPY);
                else
                    StretchBlt(dc, at, 0, n, other, src, from, S.Top, count, sOther, SRCCOPY);
            };
            if (ProgressStretch || framed) {
                put(BeginOffset, mid, sl, sLen);
            } else if (FVertical) {
                // Tiles from the bottom up; the topmost one is cut at its top.
                for (int end = BeginOffset + mid; end > BeginOffset; end -= sLen) {
                    int n = std::min(sLen, end - BeginOffset);
                    put(end - n, n, sl + sLen - n, n);
                }
            } else {
                for (int at = BeginOffset; at < BeginOffset + mid; at += sLen) {
                    int n = std::min(sLen, BeginOffset + mid - at);
                    put(at, n, sl, n);
                }
            }
        }
        const TRect& PR = ProgressRect;
        if (FVertical) {
            StretchBlt(dc, 0, 0, other, BeginOffset, src, PR.Left, PR.Top, PR.Width(), BeginOffset,
                       SRCCOPY);
            StretchBlt(dc, 0, len - EndOffset, other, EndOffset, src, PR.Left,
                       PR.Bottom - EndOffset, PR.Width(), EndOffset, SRCCOPY);
        } else {
            StretchBlt(dc, 0, 0, BeginOffset, other, src, PR.Left, PR.Top, BeginOffset, PR.Height(),
                       SRCCOPY);
            StretchBlt(dc, len - EndOffset, 0, EndOffset, other, src, PR.Right - EndOffset, PR.Top,
                       EndOffset, PR.Height(), SRCCOPY);
        }
        if (ProgressTransparent) {
            bar.SetTransparentMode(tmFixed);
            bar.SetTransparentColor(ProgressTransparentColor);
            bar.SetTransparent(true);
            C->Draw(P.Left, P.Top, &bar);
        } else {
            BitBlt(C->Handle(), P.Left, P.Top, P.Width(), P.Height(), dc, 0, 0, SRCCOPY);
        }
    }
    if (!FUseSkinSize) return;
    if (!FTextAlphaBlend || GaugeText().empty()) {
        DrawProgressText(C, W, H);
        return;
    }
    TBitmap kept;
    kept.Assign(B);
    DrawProgressText(C, W, H);
    MorphBitmapInto(B, &kept, mkDefault, 1 - FTextAlphaBlendValue / 255.0);
}

void TspSkinGauge::Paint() {
    if (Width() <= 0 || Height() <= 0) return;
    GetSkinData();
    if (FUseSkinSize || FIndex == -1) {
        TspSkinCustomControl::Paint();
        return;
    }
    TBitmap skin(SkinRect.Width(), SkinRect.Height());
    DrawSkinImage(&skin);
    TBitmap B(Width(), Height());
    SetStretchBltMode(B.Canvas()->Handle(), COLORONCOLOR);
    StretchBlt(B.Canvas()->Handle(), 0, 0, Width(), Height(), skin.Canvas()->Handle(), 0, 0,
               skin.Width(), skin.Height(), SRCCOPY);
    DrawProgressText(B.Canvas(), Width(), Height());
    PaintImage(&B);
}

void TspSkinGauge::StartProgressAnimation() {
    GetSkinData();
    if (FIndex == -1 || IsEmptyRect(ProgressAnimationSkinRect)) return;
    FAnimationTimer.reset();
    FAnimationPauseTimer.reset();
    runTimer(FAnimationPauseTimer, unsigned(FProgressAnimationPause),
             [this](TObject*) { StartInternalAnimation(); });
    runTimer(FAnimationTimer, unsigned(std::max(1, ProgressAnimationTimerInterval)),
             [this](TObject* s) { AnimationTick(s); });
    StartInternalAnimation();
}

void TspSkinGauge::StartInternalAnimation() {
    stopTimer(FAnimationPauseTimer);
    FAnimationFrame = 0;
    if (FAnimationTimer) FAnimationTimer->SetEnabled(true);
    Repaint();
}

void TspSkinGauge::AnimationTick(TObject*) {
    ++FAnimationFrame;
    if (FAnimationFrame > ProgressAnimationCountFrames) StopInternalAnimation();
    Repaint();
}

void TspSkinGauge::StopInternalAnimation() {
    if (FAnimationPauseTimer) FAnimationPauseTimer->SetEnabled(true);
    stopTimer(FAnimationTimer);
    FAnimationFrame = 0;
    Repaint();
}

void TspSkinGauge::StopProgressAnimation() {
    FAnimationFrame = 0;
    if (!FAnimationTimer) return;
    FAnimationTimer.reset();
    FAnimationPauseTimer.reset();
}

void TspSkinGauge::WndProc(TMessage& Message) {
    if (Message.Msg == WM_ERASEBKGND) {
        if (!FFromWMPaint && Message.WParam) PaintWindow(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 1;
        return;
    }
    TspSkinCustomControl::WndProc(Message);
}

// ---- TspSkinShadowLabel ----

TspSkinShadowLabel::TspSkinShadowLabel(TComponent* AOwner) : TspGraphicSkinControl(AOwner) {
    ControlStyle &= ~TControlStyle(csOpaque);
    FWidth = 65;
    FHeight = 17;
}

void TspSkinShadowLabel::SetShadowColor(TColor Value) {
    if (FShadowColor == Value) return;
    FShadowColor = Value;
    Repaint();
}

void TspSkinShadowLabel::SetShadowSize(int Value) {
    if (FShadowSize == Value || Value < 1 || Value > 10) return;
    FShadowSize = Value;
    Repaint();
}

void TspSkinShadowLabel::SetShadowOffset(int Value) {
    if (FShadowOffset == Value || Value < 0 || Value > 100) return;
    FShadowOffset = Value;
    Repaint();
}

void TspSkinShadowLabel::SetAlignment(TAlignment Value) {
    if (FAlignment == Value) return;
    FAlignment = Value;
    Repaint();
}

void TspSkinShadowLabel::SetShowAccelChar(bool Value) {
    if (FShowAccelChar == Value) return;
    FShowAccelChar = Value;
    Repaint();
}

void TspSkinShadowLabel::SetLayout(TTextLayout Value) {
    if (FLayout == Value) return;
    FLayout = Value;
    Repaint();
}

void TspSkinShadowLabel::SetAutoSize(bool Value) {
    if (FAutoSize == Value) return;
    FAutoSize = Value;
    AdjustBounds();
}

void TspSkinShadowLabel::SetWordWrap(bool Value) {
    if (FWordWrap == Value) return;
    FWordWrap = Value;
    AdjustBounds();
    Repaint();
}

void TspSkinShadowLabel::SetDoubleBuffered(bool Value) {
    if (FDoubleBuffered == Value) return;
    FDoubleBuffered = Value;
    if (Value)
        ControlStyle |= csOpaque;
    else
        ControlStyle &= ~TControlStyle(csOpaque);
}

void TspSkinShadowLabel::SetFocusControl(TWinControl* Value) {
    if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
    FFocusControl = Value;
    if (Value) Value->FreeNotification(this);
}

void TspSkinShadowLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TspGraphicSkinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}

void TspSkinShadowLabel::ChangeSkinData() {
    TspGraphicSkinControl::ChangeSkinData();
    if (!skinOn(FSD)) return;
    Font()->SetColor(FSD->SkinColors()->FcBtnText);
    FShadowColor = DarkenColor(FSD->SkinColors()->FcBtnFace, 80);
    Repaint();
}

void TspSkinShadowLabel::DoDrawText(TCanvas* C, TRect& Rect, UINT Flags) {
    std::string text = GetLabelText();
    if ((Flags & DT_CALCRECT) && (text.empty() || (FShowAccelChar && text == "&"))) text += " ";
    if (!FShowAccelChar) Flags |= DT_NOPREFIX;
    canvasText(C, text, Rect, Flags);
}

void TspSkinShadowLabel::Paint() {
    TCanvas* C = Canvas();
    C->Font()->Assign(Font());
    int S = FShadowSize, O = FShadowOffset;
    TRect R(std::max(0, S - O), std::max(0, S - O), Width() - S - O, Height() - S - O);
    UINT format = DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : 0) |
                  (FAlignment == taRightJustify ? DT_RIGHT
                   : FAlignment == taCenter     ? DT_CENTER
                                                : DT_LEFT) |
                  (FShowAccelChar ? 0 : DT_NOPREFIX);
    std::u16string text = Utf8ToUtf16(GetLabelText());
    if (!FDoubleBuffered) {
        DrawSoftShadowText(C, R, text, S, FShadowColor, O, format);
        return;
    }
    TBitmap B(Width(), Height());
    DrawParentBackground(this, B.Canvas());
    B.Canvas()->Font()->Assign(Font());
    DrawSoftShadowText(B.Canvas(), R, text, S, FShadowColor, O, format);
    BitBlt(C->Handle(), 0, 0, Width(), Height(), B.Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TspSkinShadowLabel::AdjustBounds() {
    if (HasState(csLoading) || !FAutoSize) return;
    HDC dc = CreateCompatibleDC(nullptr);
    TCanvas c;
    c.SetHandle(dc);
    c.Font()->Assign(Font());
    TRect r = ClientRect();
    DoDrawText(&c, r, DT_EXPANDTABS | DT_CALCRECT | (FWordWrap ? DT_WORDBREAK : 0));
    c.SetHandle(nullptr);
    DeleteDC(dc);
    int x = Left();
    int w = r.Right + FShadowOffset + 2 * FShadowSize + 8;
    if (FAlignment == taRightJustify) x += Width() - w;
    SetBounds(x, Top(), w, r.Bottom + FShadowOffset + 2 * FShadowSize + 8);
}

void TspSkinShadowLabel::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        TspGraphicSkinControl::WndProc(Message);
        AdjustBounds();
        Repaint();
        return;
    case WM_MOVE:
        TspGraphicSkinControl::WndProc(Message);
        if (FDoubleBuffered) Repaint();
        return;
    case CM_DIALOGCHAR:
        if (FFocusControl && Enabled() && FShowAccelChar &&
            accelMatches(GetLabelText(), Message.WParam) && FFocusControl->CanFocus()) {
            FFocusControl->SetFocus();
            Message.Result = 1;
            return;
        }
        break;
    default:
        break;
    }
    TspGraphicSkinControl::WndProc(Message);
}

// ---- Link label and link image ----

bool OpenLinkAddress(const std::string& URL) {
    return os::IsWebAddress(URL) && os::OpenWebAddress(URL);
}

TspSkinLinkLabel::TspSkinLinkLabel(TComponent* AOwner)
    : TCustomLabel(AOwner), FDefaultFont(std::make_unique<TFont>()) {
    FDefaultFont->SetName("Arial");
    FDefaultFont->SetHeight(14);
    FDefaultFont->SetStyle(TFontStyles(fsUnderline));
    Font()->Assign(FDefaultFont.get());
    Transparent = true;
    SetCursor(crHandPoint);
}

TspSkinLinkLabel::~TspSkinLinkLabel() {
    if (FSD) FSD->RemoveFreeNotification(this);
}

void TspSkinLinkLabel::GetSkinData() {
    FIndex = skinOn(FSD) ? FSD->GetControlIndex(FSkinDataName) : -1;
    if (auto* e = dynamic_cast<TspDataSkinStdLabelControl*>(elementAt(FSD, FIndex))) {
        FontName = e->FontName;
        FontColor = e->FontColor;
        FontStyle = e->FontStyle;
        FontHeight = e->FontHeight;
        ActiveFontColor = e->ActiveFontColor;
    }
}

void TspSkinLinkLabel::ChangeSkinData() {
    GetSkinData();
    Repaint();
}

void TspSkinLinkLabel::SetSkinData(TspSkinData* Value) {
    if (FSD) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    ChangeSkinData();
}

void TspSkinLinkLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomLabel::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSD) FSD = nullptr;
}

void TspSkinLinkLabel::SetUseUnderLine(bool Value) {
    if (FUseUnderLine == Value) return;
    FUseUnderLine = Value;
    Repaint();
}

void TspSkinLinkLabel::WndProc(TMessage& Message) {
    if (Message.Msg == CM_MOUSEENTER || Message.Msg == CM_MOUSELEAVE) {
        TCustomLabel::WndProc(Message);
        if (HasState(csDesigning)) return;
        FMouseIn = Message.Msg == CM_MOUSEENTER;
        Repaint();
        return;
    }
    TCustomLabel::WndProc(Message);
}

void TspSkinLinkLabel::Click() {
    TCustomLabel::Click();
    OpenLinkAddress(URL);
}

void TspSkinLinkLabel::DoDrawText(TRect& Rect, UINT Flags) {
    GetSkinData();
    std::string text = GetLabelText();
    if ((Flags & DT_CALCRECT) && (text.empty() || (ShowAccelChar && text == "&"))) text += " ";
    if (!ShowAccelChar) Flags |= DT_NOPREFIX;
    TRect T = Rect;
    if (GlowEffect) {
        T.Top += GlowSize;
        T.Bottom += GlowSize;
    }
    TCanvas* C = Canvas();
    TFont* f = C->Font();
    if (FIndex == -1) {
        f->Assign(UseSkinFont ? FDefaultFont.get() : Font());
        if (FMouseIn) f->SetColor(DefaultActiveFontColor);
        f->SetStyle(f->Style() | fsUnderline);
    } else {
        if (UseSkinFont) {
            f->SetName(FontName);
            f->SetStyle(FontStyle);
            f->SetHeight(FontHeight);
        } else {
            f->Assign(Font());
        }
        f->SetColor(FMouseIn && !GlowEffect ? ActiveFontColor : FontColor);
    }
    f->SetCharset(charsetOf(FSD, FDefaultFont.get()));
    TColor glow = FIndex == -1 ? DefaultActiveFontColor : ActiveFontColor;
    if (Enabled()) {
        TFontStyles st = f->Style();
        if (FUseUnderLine)
            st |= fsUnderline;
        else
            st -= fsUnderline;
        f->SetStyle(st);
        if (FMouseIn && GlowEffect && !(Flags & DT_CALCRECT))
            DrawBoldGlowText(C, T, Utf8ToUtf16(text), GlowSize, glow, 0, Flags);
        else
            canvasText(C, text, T, Flags);
    } else {
        drawLabelText(C, text, T, Flags, false, FIndex, FSD);
    }
    // The measure includes the glow's shift, so auto size makes room for it.
    if (Flags & DT_CALCRECT) {
        Rect.Right = T.Right;
        Rect.Bottom = T.Bottom;
    }
}

TspSkinLinkImage::TspSkinLinkImage(TComponent* AOwner) : TImage(AOwner) {
    SetCursor(crHandPoint);
}

void TspSkinLinkImage::Click() {
    TImage::Click();
    OpenLinkAddress(URL);
}

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
        if (FIndex == -1 || !CanMorphing()) {
            FMorphKf = FMouseIn ? 1 : 0;
            stopTimer(MorphTimer);
            return;
        }
        if (FMouseIn && FMorphKf < 1) {
            FMorphKf = std::min(1.0, FMorphKf + 0.2);
        } else if (!FMouseIn && FMorphKf > 0) {
            FMorphKf = std::max(0.0, FMorphKf - 0.2);
        } else {
            FMorphKf = FMouseIn ? 1 : 0;
            stopTimer(MorphTimer);
        }
        Repaint();
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
        int x, y;
        pointOf(Message.LParam, x, y);
        bool inside = x >= 0 && y >= 0 && x < Width() && y < Height();
        if (FMouseDown && inside != FMouseIn) Perform(inside ? CM_MOUSEENTER : CM_MOUSELEAVE, 0, 0);
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
