// The skinned panel (caption, roll-up, check mark, transparency), the paint
// panel and the status bar with its size grip. Uses the helpers of
// SkinCtrlsUtil.h.
#include "skin/controls/SkinCtrls.h"

#include <algorithm>

#include "platform/win/nonclient.h"
#include "skin/controls/SkinCtrlsUtil.h"

using namespace ctrlutil;

// ---- Panels ----

namespace {

// The part R of the picture, with its lower-left pixel's colour left out.
void drawPartTransparent(TCanvas* C, int X, int Y, TBitmap* P, const TRect& R) {
    if (!P || IsEmptyRect(R)) return;
    TBitmap b;
    copyPart(&b, P, R);
    b.SetTransparent(true);
    C->Draw(X, Y, &b);
}

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
