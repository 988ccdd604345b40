// The skinned gauge: its progress part from a skin element or drawn, the
// progress text and the animations. Uses the helpers of SkinCtrlsUtil.h.
#include "skin/controls/SkinCtrls.h"

#include <algorithm>

#include "skin/controls/SkinCtrlsUtil.h"

using namespace ctrlutil;

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
