// The skinned check and radio box: its marks from a skin element or drawn, the
// flat look, grayed state, morphing and radio groups. Uses the helpers of
// SkinCtrlsUtil.h.
#include "skin/controls/SkinCtrls.h"

#include <algorithm>

#include "platform/win/input.h"
#include "skin/controls/SkinCtrlsUtil.h"

using namespace ctrlutil;

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
        if (stepMorph(FMorphKf, active, FIndex != -1 && CanMorphing(), MorphTimer)) Repaint();
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
    case WM_MOUSEMOVE: {
        TspSkinCustomControl::WndProc(Message);
        followHeldPointer(this, Message.LParam, FMouseDown, FMouseIn);
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
