// The skinned scroll bar: the layout arithmetic of its buttons, track and thumb,
// its painting from a skin element or the default look, dragging and click
// repeat on a timer. Uses the part helpers of SkinBoxCtrlsUtil.h.
#include "skin/controls/SkinBoxCtrls.h"

#include <algorithm>
#include <cmath>

#include "platform/win/controls/common.h"
#include "platform/win/input.h"
#include "platform/win/messages.h"
#include "platform/win/timers.h"
#include "platform/win/window.h"
#include "skin/controls/SkinBoxCtrlsUtil.h"
#include "skin/engine/speffbmp.h"

using namespace boxutil;

namespace {

int roundInt(double v) {
    return int(std::lround(v));
}

} // namespace

int TspScrollBarLayout::ClampPosition(int Value) const {
    if (Value < Min) return Min;
    int limit = PageSize != 0 ? Max - PageSize + 1 : Max;
    // A page larger than the range leaves no room to scroll: stay at Min.
    if (limit < Min) limit = Min;
    return Value > limit ? limit : Value;
}

double TspScrollBarLayout::Fraction() const {
    double f;
    if (PageSize == 0) {
        f = Max == Min ? 0.0 : double(Position - Min) / double(Max - Min);
    } else {
        int d = Max - Min + 1 - PageSize;
        if (d <= 0) return Kind == sbVertical ? 0.0 : 1.0;
        f = double(Position - Min) / double(d);
    }
    return std::clamp(f, 0.0, 1.0);
}

void TspScrollBarLayout::CalcRects(int W, int H) {
    const bool vert = Kind == sbVertical;
    const int range1 = Max - Min + 1;
    const double f = Fraction();
    TRect track;
    int half;
    if (!Skinned) {
        if (vert) {
            DownButton = TRect(1, 1, W - 1, 17);
            UpButton = TRect(1, H - 17, W - 1, H - 1);
            track = TRect(1, 17, W - 1, H - 17);
        } else {
            int w = Both ? W - BothMarkerWidth : W;
            DownButton = TRect(1, 1, 17, H - 1);
            UpButton = TRect(w - 17, 1, w - 1, H - 1);
            track = TRect(17, 1, w - 17, H - 1);
        }
        NewTrackArea = track;
        const int start = vert ? track.Top : track.Left;
        const int end = vert ? track.Bottom : track.Right;
        const int L = std::max(0, end - start);
        if (PageSize == 0) {
            half = 8;
            BOffset = roundInt(f * std::max(0, L - 16));
        } else {
            int t = range1 == 0 ? 0 : roundInt(double(L) * PageSize / range1);
            // The thumb never outgrows the track, however large the page.
            t = std::max(t, 16);
            if (L >= 16) t = std::min(t, L);
            half = t / 2;
            BOffset = roundInt(std::max(0, L - 2 * half) * f);
        }
        Offset1 = start + half;
        Offset2 = end - half;
        const int a = start + BOffset, b = a + 2 * half;
        Thumb = vert ? TRect(track.Left, a, track.Right, b) : TRect(a, track.Top, b, track.Bottom);
        return;
    }
    const int dw = W - (SkinRect.Right - SkinRect.Left);
    const int dh = H - (SkinRect.Bottom - SkinRect.Top);
    track = TrackArea;
    TRect up = UpButtonRect, down = DownButtonRect;
    // A button starting on the far corner belongs to the far end and moves with it.
    if (vert) {
        track.Bottom += dh;
        if (LBPoint.Y <= up.Top) up = moved(up, 0, dh);
        if (LBPoint.Y <= down.Top) down = moved(down, 0, dh);
    } else {
        track.Right += dw;
        if (RTPoint.X <= up.Left) up = moved(up, dw, 0);
        if (RTPoint.X <= down.Left) down = moved(down, dw, 0);
    }
    NewTrackArea = track;
    UpButton = up;
    DownButton = down;
    const int start = vert ? track.Top : track.Left;
    const int end = vert ? track.Bottom : track.Right;
    const int L = std::max(0, end - start);
    int n = vert ? ThumbRect.Bottom - ThumbRect.Top : ThumbRect.Right - ThumbRect.Left;
    if (ThumbMinSize != 0) n = ThumbMinSize;
    if (PageSize != 0) {
        int t = range1 == 0 ? 0 : roundInt(double(L) * PageSize / range1);
        // A page beyond the range fills the track, no further.
        n = std::max(std::min(t, L), n);
    } else if (ThumbMinPageSize != 0) {
        n = ThumbMinPageSize;
    }
    half = n / 2;
    Offset1 = start + half;
    Offset2 = end - half;
    BOffset = roundInt(f * std::max(0, Offset2 - Offset1));
    const int a = Offset1 + BOffset - half, b = Offset1 + BOffset + half;
    if (vert) {
        const int size = ThumbRect.Right - ThumbRect.Left;
        const int x = track.Left + (track.Right - track.Left) / 2 - size / 2;
        Thumb = TRect(x, a, x + size, b);
    } else {
        const int size = ThumbRect.Bottom - ThumbRect.Top;
        const int y = track.Top + (track.Bottom - track.Top) / 2 - size / 2;
        Thumb = TRect(a, y, b, y + size);
    }
}

int TspScrollBarLayout::CalcValue(int Delta, int OldBOffset) {
    const bool vert = Kind == sbVertical;
    if (PageSize != 0) {
        const int len = vert ? Thumb.Bottom - Thumb.Top : Thumb.Right - Thumb.Left;
        Offset1 = (vert ? NewTrackArea.Top : NewTrackArea.Left) + len / 2;
        Offset2 = (vert ? NewTrackArea.Bottom : NewTrackArea.Right) - len / 2;
    }
    const int span = Offset2 - Offset1;
    double k = span > 0 ? double(Delta + OldBOffset) / span : 0.0;
    k = std::clamp(k, 0.0, 1.0);
    // A page larger than the range leaves nothing to drag over.
    const int room = PageSize != 0 ? std::max(0, Max - Min - PageSize + 1) : Max - Min;
    return Min + roundInt(room * k);
}

// ---- TspSkinScrollBar ----------------------------------------------------------------------

TspSkinScrollBar::TspSkinScrollBar(TComponent* AOwner) : TspSkinCustomControl(AOwner) {
    FSkinDataName = "hscrollbar";
    FDefaultHeight = 19;
    SetBounds(0, 0, 200, 19);
}

TspSkinScrollBar::~TspSkinScrollBar() {
    StopTimer();
}

void TspSkinScrollBar::SetKind(TScrollBarKind Value) {
    if (FKind == Value) return;
    FKind = Value;
    Repaint();
}

void TspSkinScrollBar::SetMin(int Value) {
    FMin = Value;
    if (FPosition < FMin) FPosition = FMin;
    Repaint();
}

void TspSkinScrollBar::SetMax(int Value) {
    FMax = Value;
    if (FPageSize != 0) {
        if (FMax - FMin < FPageSize + FPosition) FPosition = FMax - FMin - FPageSize + 1;
        if (FPosition < FMin) FPosition = FMin;
    } else if (FPosition > FMax) {
        FPosition = FMax;
    }
    Repaint();
}

void TspSkinScrollBar::SetPosition(int Value) {
    const int v = Layout().ClampPosition(Value);
    if (v == FPosition) return;
    FPosition = v;
    Repaint();
    if (OnChange) OnChange(this);
}

void TspSkinScrollBar::SetPageSize(int Value) {
    if (FPosition + Value <= FMax - FMin + 1) FPageSize = Value;
    Repaint();
}

void TspSkinScrollBar::SetSmallChange(int Value) {
    FSmallChange = Value;
    Repaint();
}

void TspSkinScrollBar::SetLargeChange(int Value) {
    FLargeChange = Value;
    Repaint();
}

void TspSkinScrollBar::SetCanFocused(bool Value) {
    FCanFocused = Value;
    TabStop = Value;
}

void TspSkinScrollBar::SetBoth(bool Value) {
    if (FBoth == Value) return;
    FBoth = Value;
    if (Value) {
        FNormalSkinDataName = FSkinDataName;
        FSkinDataName = BothSkinDataName;
    } else if (!FNormalSkinDataName.empty()) {
        FSkinDataName = FNormalSkinDataName;
    }
    if (FIndex == -1)
        Repaint();
    else
        ChangeSkinData();
}

void TspSkinScrollBar::SetBothMarkerWidth(int Value) {
    if (Value < 0) return;
    FBothMarkerWidth = Value;
    if (FIndex == -1) Repaint();
}

void TspSkinScrollBar::SetRange(int AMin, int AMax, int APosition, int APageSize) {
    FMin = AMin;
    FMax = AMax;
    FPageSize = APageSize;
    FPosition = Layout().ClampPosition(APosition);
    Repaint();
}

void TspSkinScrollBar::SimplySetPosition(int AValue) {
    FPosition = Layout().ClampPosition(AValue);
    Repaint();
}

TspScrollBarLayout TspSkinScrollBar::Layout() const {
    TspScrollBarLayout l;
    l.Kind = FKind;
    l.Min = FMin;
    l.Max = FMax;
    l.Position = FPosition;
    l.PageSize = FPageSize;
    l.Both = FBoth;
    l.BothMarkerWidth = FBothMarkerWidth;
    l.Skinned = FIndex != -1 && FElement;
    l.SkinRect = SkinRect;
    l.TrackArea = TrackArea;
    l.UpButtonRect = UpButtonRect;
    l.DownButtonRect = DownButtonRect;
    l.ThumbRect = ThumbRect;
    l.LBPoint = LBPt;
    l.RTPoint = RTPt;
    l.ThumbMinSize = ThumbMinSize;
    l.ThumbMinPageSize = ThumbMinPageSize;
    return l;
}

void TspSkinScrollBar::GetSkinData() {
    TspSkinCustomControl::GetSkinData();
    auto* el = elementOf<TspDataSkinScrollBarControl>(FSD, FIndex);
    FElement = el != nullptr;
    if (!el) return;
    auto orElse = [](const TRect& r, const TRect& other) { return IsEmptyRect(r) ? other : r; };
    TrackArea = el->TrackArea;
    UpButtonRect = el->UpButtonRect;
    ActiveUpButtonRect = el->ActiveUpButtonRect;
    DownUpButtonRect = orElse(el->DownUpButtonRect, ActiveUpButtonRect);
    DownButtonRect = el->DownButtonRect;
    ActiveDownButtonRect = el->ActiveDownButtonRect;
    DownDownButtonRect = orElse(el->DownDownButtonRect, ActiveDownButtonRect);
    ThumbRect = el->ThumbRect;
    ActiveThumbRect = orElse(el->ActiveThumbRect, ThumbRect);
    DownThumbRect = orElse(el->DownThumbRect, ActiveThumbRect);
    GlyphRect = el->GlyphRect;
    ActiveGlyphRect = orElse(el->ActiveGlyphRect, GlyphRect);
    DownGlyphRect = orElse(el->DownGlyphRect, ActiveGlyphRect);
    ThumbOffset1 = el->ThumbOffset1;
    ThumbOffset2 = el->ThumbOffset2;
    ThumbMinSize = el->ThumbMinSize;
    ThumbMinPageSize = el->ThumbMinPageSize;
    GlyphTransparent = el->GlyphTransparent;
    GlyphTransparentColor = el->GlyphTransparentColor;
    ThumbTransparent = el->ThumbTransparent;
    ThumbTransparentColor = el->ThumbTransparentColor;
    ThumbStretchEffect = el->ThumbStretchEffect;
}

void TspSkinScrollBar::FitSkinSize(int& W, int& H) {
    TspSkinCustomControl::FitSkinSize(W, H);
    CalcRects();
}

void TspSkinScrollBar::CalcRects() {
    TspScrollBarLayout l = Layout();
    l.CalcRects(Width(), Height());
    Buttons[THUMB].R = l.Thumb;
    Buttons[UPBUTTON].R = l.UpButton;
    Buttons[DOWNBUTTON].R = l.DownButton;
    NewTrackArea = l.NewTrackArea;
    Offset1 = l.Offset1;
    Offset2 = l.Offset2;
    BOffset = l.BOffset;
}

void TspSkinScrollBar::DrawDefaultPart(TCanvas* C, int I, bool Pressed) {
    drawDefaultButton(C, Buttons[I].R, Pressed, Buttons[I].MouseIn);
}

void TspSkinScrollBar::DrawDefaultImage(TBitmap* B) {
    CalcRects();
    TCanvas* C = B->Canvas();
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(clBtnFace);
    C->FillRect(TRect(0, 0, B->Width(), B->Height()));
    for (int i : {UPBUTTON, DOWNBUTTON})
        DrawDefaultPart(C, i, Buttons[i].Down && Buttons[i].MouseIn);
    if (Enabled())
        DrawDefaultPart(C, THUMB,
                        (Buttons[THUMB].Down && Buttons[THUMB].MouseIn) || FDown ||
                            (FCanFocused && Focused()));
    const bool vert = FKind == sbVertical;
    const TColor arrow = Enabled() ? clBlack : clBtnShadow;
    DrawArrow(C, Buttons[UPBUTTON].R, arrow, vert ? 4 : 2);
    DrawArrow(C, Buttons[DOWNBUTTON].R, arrow, vert ? 3 : 1);
}

void TspSkinScrollBar::DrawSkinImage(TBitmap* B) {
    TspSkinCustomControl::DrawSkinImage(B);
    CalcRects();
    if (!FElement || !Picture) return;
    TCanvas* C = B->Canvas();
    const TspCBButtonX& up = Buttons[UPBUTTON];
    const TspCBButtonX& dn = Buttons[DOWNBUTTON];
    if (up.Down && up.MouseIn)
        copyFromPicture(C, Picture, up.R, DownUpButtonRect);
    else if (up.MouseIn)
        copyFromPicture(C, Picture, up.R, ActiveUpButtonRect);
    if (dn.Down && dn.MouseIn)
        copyFromPicture(C, Picture, dn.R, DownDownButtonRect);
    else if (dn.MouseIn)
        copyFromPicture(C, Picture, dn.R, ActiveDownButtonRect);
    if (!Enabled()) return;
    const TspCBButtonX& th = Buttons[THUMB];
    const bool pressed = FDown || (FCanFocused && Focused());
    const TRect src = pressed ? DownThumbRect : th.MouseIn ? ActiveThumbRect : ThumbRect;
    const TRect glyph = pressed ? DownGlyphRect : th.MouseIn ? ActiveGlyphRect : GlyphRect;
    const int w = RectWidth(th.R), h = RectHeight(th.R);
    if (w <= 0 || h <= 0 || IsEmptyRect(src)) return;
    TBitmap tb(w, h);
    if (FPageSize != 0 || ThumbMinPageSize != 0) {
        if (FKind == sbVertical)
            BuildVertSkinImage(ThumbOffset1, ThumbOffset2, &tb, Picture, src, w, h,
                               ThumbStretchEffect);
        else
            BuildHorzSkinImage(ThumbOffset1, ThumbOffset2, &tb, Picture, src, w, h,
                               ThumbStretchEffect);
    } else {
        tb.Canvas()->CopyRect(TRect(0, 0, w, h), Picture->Canvas(), src);
    }
    if (!IsEmptyRect(glyph)) {
        const int gw = RectWidth(glyph), gh = RectHeight(glyph);
        const TRect dst = Bounds(w / 2 - gw / 2, h / 2 - gh / 2, gw, gh);
        if (GlyphTransparent)
            tb.Canvas()->BrushCopy(dst, Picture, glyph, GlyphTransparentColor);
        else
            tb.Canvas()->CopyRect(dst, Picture->Canvas(), glyph);
    }
    if (FAlphaBlend) {
        TBitmap under(w, h);
        under.Canvas()->CopyRect(TRect(0, 0, w, h), C, th.R);
        auto own = TspEffectBmp::CreateFromhWnd(tb.Handle());
        auto back = TspEffectBmp::CreateFromhWnd(under.Handle());
        own->Morph(back.get(), 1 - FAlphaBlendValue / 255.0);
        own->Draw(tb.Canvas()->Handle(), 0, 0);
    }
    if (ThumbTransparent) {
        tb.SetTransparentMode(tmFixed);
        tb.SetTransparentColor(ThumbTransparentColor);
        tb.SetTransparent(true);
    }
    C->Draw(th.R.Left, th.R.Top, &tb);
}

bool TspSkinScrollBar::BeforeThumb(int X, int Y) const {
    const TRect& t = Buttons[THUMB].R;
    return FKind == sbVertical ? Y < t.Top : X < t.Left;
}

bool TspSkinScrollBar::AfterThumb(int X, int Y) const {
    const TRect& t = Buttons[THUMB].R;
    return FKind == sbVertical ? Y >= t.Bottom : X >= t.Right;
}

void TspSkinScrollBar::TestActive(int X, int Y) {
    moveButtonHover(
        Buttons, 3, X, Y, CaptureButton, OldActiveButton, ActiveButton,
        [this](int i) { ButtonLeave(i); }, [this](int i) { ButtonEnter(i); });
}

void TspSkinScrollBar::ButtonEnter(int I) {
    Buttons[I].MouseIn = true;
    Repaint();
    if (I != THUMB && Buttons[I].Down && TimerMode != 0) StartTimer(50);
}

void TspSkinScrollBar::ButtonLeave(int I) {
    Buttons[I].MouseIn = false;
    Repaint();
    if (I != THUMB && Buttons[I].Down) StopTimer();
}

void TspSkinScrollBar::StepUp() {
    if (OnUpButtonClick)
        OnUpButtonClick(this);
    else
        SetPosition(FPosition + FSmallChange);
}

void TspSkinScrollBar::StepDown() {
    if (OnDownButtonClick)
        OnDownButtonClick(this);
    else
        SetPosition(FPosition - FSmallChange);
}

void TspSkinScrollBar::ButtonDown(int I, int X, int Y) {
    Buttons[I].Down = true;
    Repaint();
    if (I == UPBUTTON) {
        StepUp();
        TimerMode = 2;
        StartTimer(500);
    } else if (I == DOWNBUTTON) {
        StepDown();
        TimerMode = 1;
        StartTimer(500);
    } else {
        OMPos = FKind == sbVertical ? Y : X;
        OldBOffset = BOffset;
        FDown = true;
        Repaint();
    }
}

void TspSkinScrollBar::ButtonUp(int I) {
    Buttons[I].Down = false;
    if (ActiveButton != I) Buttons[I].MouseIn = false;
    if (I == THUMB) {
        FDown = false;
    } else {
        StopTimer();
        TimerMode = 0;
    }
    Repaint();
}

void TspSkinScrollBar::StartTimer(UINT Ms) {
    if (!HandleAllocated()) return;
    SetTimer(Handle(), kRepeatTimer, Ms, nullptr);
    FTimerOn = true;
}

void TspSkinScrollBar::StopTimer() {
    if (FTimerOn && HandleAllocated()) KillTimer(Handle(), kRepeatTimer);
    FTimerOn = false;
}

void TspSkinScrollBar::TimerTick() {
    if (WaitMode) {
        WaitMode = false;
        StartTimer(50);
        return;
    }
    switch (TimerMode) {
    case 1:
        StepDown();
        return;
    case 2:
        StepUp();
        return;
    case 3:
    case 4:
        TestActive(MX, MY);
        if (TimerMode == 3 && BeforeThumb(MX, MY)) {
            SetPosition(FPosition - FLargeChange);
            if (OnPageUp) OnPageUp(this);
            return;
        }
        if (TimerMode == 4 && AfterThumb(MX, MY)) {
            SetPosition(FPosition + FLargeChange);
            if (OnPageDown) OnPageDown(this);
            return;
        }
        break;
    default:
        break;
    }
    StopTimer();
    TimerMode = 0;
}

void TspSkinScrollBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TspSkinCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    MouseD = true;
    MX = X;
    MY = Y;
    CalcRects();
    TimerMode = 0;
    WaitMode = true;
    // The bar keeps the pointer while a part or a page repeat is held.
    if (HandleAllocated()) SetCapture(Handle());
    for (int i : {THUMB, UPBUTTON, DOWNBUTTON})
        if (holds(Buttons[i].R, X, Y)) {
            CaptureButton = i;
            ActiveButton = i;
            Buttons[i].MouseIn = true;
            ButtonDown(i, X, Y);
            return;
        }
    if (!holds(NewTrackArea, X, Y)) return;
    if (BeforeThumb(X, Y)) {
        SetPosition(FPosition - FLargeChange);
        TimerMode = 3;
        StartTimer(500);
        if (OnPageUp) OnPageUp(this);
    } else {
        SetPosition(FPosition + FLargeChange);
        TimerMode = 4;
        StartTimer(500);
        if (OnPageDown) OnPageDown(this);
    }
}

void TspSkinScrollBar::MouseMove(TShiftState Shift, int X, int Y) {
    MX = X;
    MY = Y;
    if (FDown) {
        TspScrollBarLayout l = Layout();
        l.CalcRects(Width(), Height());
        const int d = (FKind == sbVertical ? Y : X) - OMPos;
        SetPosition(l.CalcValue(d, OldBOffset));
    }
    TestActive(X, Y);
    TspSkinCustomControl::MouseMove(Shift, X, Y);
}

void TspSkinScrollBar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TspSkinCustomControl::MouseUp(Button, Shift, X, Y);
    MouseD = false;
    if (HandleAllocated() && GetCapture() == Handle()) ReleaseCapture();
    if (TimerMode == 3 || TimerMode == 4) {
        StopTimer();
        TimerMode = 0;
    }
    const int captured = CaptureButton;
    if (captured != -1) ButtonUp(captured);
    CaptureButton = -1;
    if (Button == mbLeft && captured == THUMB && OnLastChange) OnLastChange(this);
}

void TspSkinScrollBar::KeyDown(WORD& Key, TShiftState Shift) {
    TspSkinCustomControl::KeyDown(Key, Shift);
    if (!FCanFocused) return;
    if (Key == VK_LEFT || Key == VK_UP)
        SetPosition(FPosition - FSmallChange);
    else if (Key == VK_RIGHT || Key == VK_DOWN)
        SetPosition(FPosition + FSmallChange);
}

void TspSkinScrollBar::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_ERASEBKGND:
        if (!FFromWMPaint) PaintWindow(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 1;
        return;
    case WM_GETDLGCODE:
        Message.Result = FCanFocused ? DLGC_WANTARROWS : 0;
        return;
    case WM_TIMER:
        TspSkinCustomControl::WndProc(Message);
        if (Message.WParam == kRepeatTimer) TimerTick();
        return;
    case WM_MOUSEWHEEL:
        if (FCanFocused && Focused()) {
            const int delta = int16_t(HIWORD(Message.WParam));
            SetPosition(delta > 0 ? FPosition - FSmallChange : FPosition + FSmallChange);
        }
        Message.Result = 0;
        return;
    case CM_ENABLEDCHANGED:
        TspSkinCustomControl::WndProc(Message);
        Repaint();
        return;
    case CM_MOUSELEAVE:
        TspSkinCustomControl::WndProc(Message);
        if (ActiveButton != -1 && CaptureButton == -1 && !FDown) {
            Buttons[ActiveButton].MouseIn = false;
            ActiveButton = -1;
            Repaint();
        }
        if (MouseD && TimerMode == 4) {
            StopTimer();
            TimerMode = 0;
        }
        return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (FCanFocused && !Focused() && HandleAllocated()) {
            FClicksDisabled = true;
            ::SetFocus(Handle());
            FClicksDisabled = false;
            if (!Focused()) return;
        }
        break;
    case CN_COMMAND:
        if (FClicksDisabled) return;
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        TspSkinCustomControl::WndProc(Message);
        if (FCanFocused) Repaint();
        return;
    default:
        break;
    }
    TspSkinCustomControl::WndProc(Message);
}
