#include "skin/controls/SkinBoxCtrls.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "classlib/forms.h"
#include "classlib/sysutils.h"
#include "classlib/typinfo.h"
#include "platform/display/backend.h"
#include "platform/os/clock.h"
#include "platform/win/clipboard.h"
#include "platform/win/controls/common.h"
#include "platform/win/controls/edit.h"
#include "platform/win/controls/listbox.h"
#include "platform/win/controls/text.h"
#include "platform/win/input.h"
#include "platform/win/messages.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/scroll.h"
#include "platform/win/timers.h"
#include "platform/win/window.h"
#include "skin/engine/speffbmp.h"
#include "skin/forms/SkinMenus.h"
#include "skin/forms/SkinnedForm.h"

namespace {

// The item lists are texts of the form: a translation may replace them.
// The caption of a box the user types into is the typed text, never
// translated.
struct TBoxRegistration {
    TBoxRegistration() {
        RegisterPublished<TspSkinCustomListBox, TControl>({StringsProp(
            "Items", [](TObject* o) { return static_cast<TspSkinCustomListBox*>(o)->Items(); })});
        // The box's caption is its text, no text of the form.
        auto box = [](TObject* o) { return static_cast<TspSkinCustomComboBox*>(o); };
        RegisterPublished<TspSkinCustomComboBox, TControl>(
            {TPropInfo{"Caption", "TCaption", TPropKind::Other},
             TextProp(
                 "Text", "TCaption", [=](TObject* o) { return box(o)->Text(); },
                 [=](TObject* o, const std::string& v) { box(o)->SetText(v); }),
             StringsProp("Items", [=](TObject* o) { return box(o)->Items(); })});
        RegisterPublished<TspSkinSpinEdit, TControl>(
            {TPropInfo{"Caption", "TCaption", TPropKind::Other}});
    }
} g_boxRegistration;

} // namespace

namespace {

int roundInt(double v) {
    return int(std::lround(v));
}

TRect moved(TRect R, int dx, int dy) {
    return TRect(R.Left + dx, R.Top + dy, R.Right + dx, R.Bottom + dy);
}

constexpr TColor kNavy = TColor(0x800000);
constexpr TColor kHotFill = TColor(0xD2BDB6);
constexpr TColor kDownFill = TColor(0xB59385);
constexpr UINT_PTR kRepeatTimer = 1;

bool holds(const TRect& R, int X, int Y) {
    return X >= R.Left && X < R.Right && Y >= R.Top && Y < R.Bottom;
}

TRect inset(const TRect& R, int d) {
    return TRect(R.Left + d, R.Top + d, R.Right - d, R.Bottom - d);
}

// The default look of a part: idle, hot or pressed frame and fill.
void drawDefaultButton(TCanvas* C, const TRect& R, bool pressed, bool hot, bool idleFrame = true) {
    TColor frame = clBtnShadow, fill = clBtnFace;
    if (pressed) {
        frame = kNavy;
        fill = kDownFill;
    } else if (hot) {
        frame = kNavy;
        fill = kHotFill;
    } else if (!idleFrame) {
        frame = clBtnFace;
    }
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(frame);
    C->FrameRect(R);
    C->Brush()->SetColor(fill);
    C->FillRect(inset(R, 1));
}

void copyFromPicture(TCanvas* C, TBitmap* Picture, const TRect& dst, const TRect& src) {
    if (!Picture || IsEmptyRect(src) || IsEmptyRect(dst)) return;
    C->CopyRect(dst, Picture->Canvas(), src);
}

template <class T> T* elementOf(TspSkinData* sd, int index) {
    if (!sd || index < 0 || size_t(index) >= sd->CtrlList.size()) return nullptr;
    return dynamic_cast<T*>(sd->CtrlList[size_t(index)].get());
}

TBitmap* pictureOf(TspSkinData* sd, int index) {
    if (!sd || index < 0 || size_t(index) >= sd->FActivePictures.size()) return nullptr;
    return sd->FActivePictures[size_t(index)].get();
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
    OldActiveButton = ActiveButton;
    ActiveButton = -1;
    for (int i = 0; i < 3; ++i)
        if (holds(Buttons[i].R, X, Y)) {
            ActiveButton = i;
            break;
        }
    if (CaptureButton != -1 && ActiveButton != CaptureButton) ActiveButton = -1;
    if (ActiveButton == OldActiveButton) return;
    if (OldActiveButton != -1) ButtonLeave(OldActiveButton);
    if (ActiveButton != -1) ButtonEnter(ActiveButton);
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

// ---- TspCustomEdit -------------------------------------------------------------------------

namespace {
// The menu engine's word that a command of a control's menu has run.
constexpr UINT kAfterMenuCommand = 1229;
// Posted by an edit to itself: free the context menus it has let go.
constexpr UINT kFreeRetiredMenus = WM_APP + 0x1229;
} // namespace

namespace {

// Rebuilds a control's window with its current parameters, keeping its text.
void recreateWindow(TWinControl* c) {
    if (!c->HandleAllocated()) return;
    const std::string text = c->Text();
    const bool focused = c->Focused();
    c->DestroyHandle();
    c->HandleNeeded();
    c->SetText(text);
    if (focused) c->SetFocus();
}

TForm* parentFormOf(const TControl* c) {
    return c->GetParentForm();
}

// The skinned form component among a form's components, null when none.
TspSkinData* formSkinData(TForm* f) {
    if (!f) return nullptr;
    for (int i = 0; i < f->ComponentCount(); ++i)
        if (auto* sf = dynamic_cast<TspSkinnedForm*>(f->Components(i))) return sf->SkinData();
    return nullptr;
}

} // namespace

TspCustomEdit::TspCustomEdit(TComponent* AOwner) : TCustomMaskEdit(AOwner) {
    ControlStyle |= csOpaque;
}

TspCustomEdit::~TspCustomEdit() {
    // An open context menu goes before its items do.
    if (FSysPopupMenu && FSysPopupMenu->FComponentForm &&
        !FSysPopupMenu->FComponentForm->HasState(csDestroying))
        if (TspSkinnedForm* sf = GetSkinnedForm(FSysPopupMenu->FComponentForm))
            if (TspSkinMenu* engine = sf->SkinMenu(); engine && engine->PopupCtrl == this) {
                engine->PopupCtrl = nullptr;
                engine->Hide();
            }
}

void TspCustomEdit::RetireSysPopupMenu() {
    if (!FSysPopupMenu) return;
    FRetiredMenus.push_back(std::move(FSysPopupMenu));
    if (HandleAllocated()) PostMessage(Handle(), kFreeRetiredMenus, 0, 0);
}

void TspCustomEdit::SetEditTransparent(bool Value) {
    FEditTransparent = Value;
    recreateWindow(this);
}

void TspCustomEdit::CreateParams(TCreateParams& Params) {
    TCustomMaskEdit::CreateParams(Params);
    Params.Style &= ~DWORD(WS_BORDER);
    Params.ExStyle &= ~DWORD(WS_EX_CLIENTEDGE);
    if (FEditTransparent) Params.ExStyle |= WS_EX_TRANSPARENT;
    if (FPasswordChar)
        Params.Style |= ES_PASSWORD;
    else
        Params.Style |= ES_MULTILINE;
}

void TspCustomEdit::Invalidate() {
    if (!FEditTransparent) {
        TCustomMaskEdit::Invalidate();
        return;
    }
    if (!Parent() || !HandleAllocated() || !Parent()->HandleAllocated()) return;
    RECT r{Left(), Top(), Left() + Width(), Top() + Height()};
    InvalidateRect(Parent()->Handle(), &r, 1);
    RedrawWindow(Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
}

void TspCustomEdit::Change() {
    TCustomMaskEdit::Change();
    if (FEditTransparent) Invalidate();
}

void TspCustomEdit::PasteText() {
    std::string text = GetClipboardText();
    const size_t cut = text.find_first_of("\r\n");
    if (cut != std::string::npos) text.erase(cut);
    if (FMaxLength > 0) {
        // The field's limit counts characters.
        std::u32string all = winctl::DecodeText(text);
        const int room = FMaxLength - int(winctl::DecodeText(GetText()).size()) + SelLength();
        if (int(all.size()) > room)
            text = winctl::EncodeText(all.substr(0, size_t(std::max(0, room))));
    }
    SetSelText(text);
}

void TspCustomEdit::CreateSysPopupMenu(int X, int Y) {
    // The previous menu may still be on screen; it goes once this request is done.
    RetireSysPopupMenu();
    TForm* form = parentFormOf(this);
    TspSkinData* sd = formSkinData(form);
    TspResourceStrData* res = sd ? sd->ResourceStrData() : nullptr;
    auto text = [&](const char* key, const char* fallback) {
        std::string s = res ? res->GetResStr(key) : std::string();
        return s.empty() ? std::string(fallback) : s;
    };
    int s = 0, e = 0;
    GetSel(s, e);
    const bool sel = s < e;
    const bool clip = !GetClipboardText().empty();
    const int len = int(winctl::DecodeText(GetText()).size());
    auto menu = std::make_unique<TspSkinPopupMenu>(this);
    menu->FComponentForm = form;
    auto add = [&](const std::string& caption, bool enabled, std::function<void()> action) {
        auto* i = new TMenuItem(menu.get());
        i->Caption = caption;
        i->Enabled = enabled;
        if (action) i->OnClick = [action = std::move(action)](TObject*) { action(); };
        menu->Items()->Add(i);
    };
    add(text("EDIT_UNDO", "Undo"), CanUndo(), [this] { Undo(); });
    add("-", true, nullptr);
    add(text("EDIT_CUT", "Cut"), sel && !FReadOnly, [this] { CutToClipboard(); });
    add(text("EDIT_COPY", "Copy"), sel, [this] { CopyToClipboard(); });
    add(text("EDIT_PASTE", "Paste"), clip && !FReadOnly, [this] { PasteFromClipboard(); });
    add(text("EDIT_DELETE", "Delete"), sel && !FReadOnly, [this] { ClearSelection(); });
    add("-", true, nullptr);
    add(text("EDIT_SELECTALL", "Select All"), !(s == 0 && e == len), [this] { SelectAll(); });
    FSysPopupMenu = std::move(menu);
    if (X < 0 || Y < 0) {
        const TPoint p = ClientToScreen(TPoint{0, 0});
        X = p.X + Width() / 2;
        Y = p.Y + Height() / 2;
    }
    FSysPopupMenu->Popup2(this, X, Y);
}

void TspCustomEdit::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_SETFONT:
        TCustomMaskEdit::WndProc(Message);
        if (HandleAllocated())
            SendMessage(Handle(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(2, 0));
        return;
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORSTATIC:
        if (FEditTransparent) {
            HDC dc = reinterpret_cast<HDC>(Message.WParam);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, ColorToRGB(Font()->Color()));
            Message.Result = LRESULT(GetStockObject(NULL_BRUSH));
            return;
        }
        break;
    case WM_ERASEBKGND:
        if (FEditTransparent) {
            // The parent has painted what lies under the field.
            Message.Result = 1;
            return;
        }
        break;
    case WM_LBUTTONDOWN:
        TCustomMaskEdit::WndProc(Message);
        FDown = true;
        if (FEditTransparent) Invalidate();
        return;
    case WM_LBUTTONUP:
        TCustomMaskEdit::WndProc(Message);
        FDown = false;
        return;
    case WM_MOUSEMOVE:
        TCustomMaskEdit::WndProc(Message);
        if (FEditTransparent && FDown) Invalidate();
        return;
    case WM_SETFOCUS:
        TCustomMaskEdit::WndProc(Message);
        if (FEditTransparent) Invalidate();
        return;
    case WM_KILLFOCUS:
        TCustomMaskEdit::WndProc(Message);
        if (FEditTransparent) Invalidate();
        return;
    case WM_CHAR: {
        const char32_t ch = char32_t(Message.WParam);
        if (ch == 9) {
            // A single-line field holds no tab (see WM_KEYDOWN).
            Message.Result = 0;
            return;
        }
        if (ch == 27 || ch == 13) {
            // Enter and Escape belong to the form's default and cancel buttons.
            char32_t k = ch;
            if (OnKeyPress) OnKeyPress(this, k);
            if (TForm* f = parentFormOf(this)) f->Perform(CM_DIALOGKEY, WPARAM(ch), Message.LParam);
            Message.Result = 0;
            return;
        }
        if (FReadOnly) {
            Message.Result = 0;
            return;
        }
        if (ch == 22 && !FPasswordChar) {
            // Ctrl+V: one line only, as in any single-line field.
            char32_t k = ch;
            if (OnKeyPress) OnKeyPress(this, k);
            if (k == 0) return;
            PasteText();
            if (FEditTransparent) Invalidate();
            return;
        }
        break;
    }
    case WM_KEYDOWN:
        if (FReadOnly && Message.WParam == WPARAM(VK_DELETE)) {
            Message.Result = 0;
            return;
        }
        if (Message.WParam == WPARAM(VK_TAB) && GetKeyState(VK_CONTROL) >= 0) {
            // The window is multi-line only to centre its text, so it would
            // keep Tab: like any single-line field it moves the focus on.
            if (TForm* f = parentFormOf(this))
                f->SelectNext(this, GetKeyState(VK_SHIFT) >= 0, true);
            Message.Result = 0;
            return;
        }
        TCustomMaskEdit::WndProc(Message);
        if (FEditTransparent) Invalidate();
        return;
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
        if (FReadOnly) {
            Message.Result = 0;
            return;
        }
        TCustomMaskEdit::WndProc(Message);
        if (FEditTransparent) Invalidate();
        return;
    case WM_PASTE:
        if (FReadOnly) {
            Message.Result = 0;
            return;
        }
        PasteText();
        if (FEditTransparent) Invalidate();
        return;
    case WM_SETTEXT:
    case WM_MOVE:
        TCustomMaskEdit::WndProc(Message);
        if (FEditTransparent) Invalidate();
        return;
    case CM_CANCELMODE:
        TCustomMaskEdit::WndProc(Message);
        if (FOnEditCancelMode) FOnEditCancelMode(reinterpret_cast<TControl*>(Message.LParam));
        return;
    case WM_CONTEXTMENU:
        if (!PopupMenu) {
            CreateSysPopupMenu(int16_t(LOWORD(Message.LParam)), int16_t(HIWORD(Message.LParam)));
            Message.Result = 0;
            return;
        }
        break;
    case kAfterMenuCommand:
        // Sent from inside the menu's own click handling: let go now, free later.
        RetireSysPopupMenu();
        Message.Result = 0;
        return;
    case kFreeRetiredMenus:
        FRetiredMenus.clear();
        Message.Result = 0;
        return;
    default:
        break;
    }
    TCustomMaskEdit::WndProc(Message);
}

// ---- TspSkinNumEdit ------------------------------------------------------------------------

TspSkinNumEdit::TspSkinNumEdit(TComponent* AOwner) : TspCustomEdit(AOwner) {}

bool TspSkinNumEdit::IsValidChar(char32_t C) {
    const char32_t sep = char32_t(DecimalSeparator());
    bool ok = C == '-' || (C >= '0' && C <= '9') || (C < 32 && C != 13);
    if (Float && C == sep) ok = true;
    if (C > 255) ok = false;
    if (ok && !FEditorEnabled && (C >= 32 || C == 8)) ok = false;
    const std::string t = Text();
    if (ok && Float && C == sep && t.find(char(sep)) != std::string::npos) ok = false;
    if (ok && C == '-' && t.find('-') != std::string::npos) ok = false;
    return ok;
}

void TspSkinNumEdit::KeyDown(WORD& Key, TShiftState Shift) {
    if (Key == VK_UP) {
        if (FOnUpClick) FOnUpClick(this);
        Key = 0;
        return;
    }
    if (Key == VK_DOWN) {
        if (FOnDownClick) FOnDownClick(this);
        Key = 0;
        return;
    }
    TspCustomEdit::KeyDown(Key, Shift);
}

void TspSkinNumEdit::KeyPress(char32_t& Key) {
    if (!IsValidChar(Key)) {
        Key = 0;
        MessageBeep(0);
    }
    if (Key != 0) TspCustomEdit::KeyPress(Key);
}

void TspSkinNumEdit::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_MOUSEWHEEL:
        if (int32_t(Message.WParam) > 0) {
            if (FOnDownClick) FOnDownClick(this);
        } else if (FOnUpClick) {
            FOnUpClick(this);
        }
        Message.Result = 0;
        return;
    case CM_MOUSEENTER:
        TspCustomEdit::WndProc(Message);
        if (FOnMouseEnter) FOnMouseEnter(this);
        return;
    case CM_MOUSELEAVE:
        TspCustomEdit::WndProc(Message);
        if (FOnMouseLeave) FOnMouseLeave(this);
        return;
    default:
        break;
    }
    TspCustomEdit::WndProc(Message);
}

// ---- TspSkinCustomEdit ---------------------------------------------------------------------

namespace {

constexpr LPARAM kPrintNcMagic = 16802;
constexpr LRESULT kLeftImageHit = 104, kRightImageHit = 105;

// Mixes B over what lies under it: AlphaValue / 255 of B.
void blendOver(TBitmap* B, TBitmap* under, uint8_t alphaValue) {
    auto own = TspEffectBmp::CreateFromhWnd(B->Handle());
    auto back = TspEffectBmp::CreateFromhWnd(under->Handle());
    own->Morph(back.get(), 1 - alphaValue / 255.0);
    own->Draw(B->Canvas()->Handle(), 0, 0);
}

// A button element ("editbutton", else "resizebutton") built to the size of R.
void paintResizeButton(TspSkinData* sd, TCanvas* C, const TRect& R, bool down, bool hot,
                       TColor* arrowColor = nullptr) {
    if (!sd || sd->Empty) return;
    int i = sd->GetControlIndex("editbutton");
    if (i < 0) i = sd->GetControlIndex("resizebutton");
    auto* el = elementOf<TspDataSkinButtonControl>(sd, i);
    TBitmap* pic = el ? pictureOf(sd, el->PictureIndex) : nullptr;
    if (!el || !pic || IsEmptyRect(R)) return;
    TRect active = IsEmptyRect(el->ActiveSkinRect) ? el->SkinRect : el->ActiveSkinRect;
    TRect downR = IsEmptyRect(el->DownSkinRect) ? active : el->DownSkinRect;
    const TRect src = down && hot ? downR : hot ? active : el->SkinRect;
    if (arrowColor)
        *arrowColor = down && hot ? el->DownFontColor : hot ? el->ActiveFontColor : el->FontColor;
    const int dw = RectWidth(R) - RectWidth(el->SkinRect);
    const int dh = RectHeight(R) - RectHeight(el->SkinRect);
    TBitmap b(RectWidth(R), RectHeight(R));
    TRect cl = el->ClRect;
    cl.Right += dw;
    cl.Bottom += dh;
    BuildSkinImage(el->LTPoint, el->RTPoint, el->LBPoint, el->RBPoint, el->ClRect, el->LTPoint,
                   TPoint{el->RTPoint.X + dw, el->RTPoint.Y},
                   TPoint{el->LBPoint.X, el->LBPoint.Y + dh},
                   TPoint{el->RBPoint.X + dw, el->RBPoint.Y + dh}, cl, &b, pic, src, RectWidth(R),
                   RectHeight(R), true, el->LeftStretch, el->TopStretch, el->RightStretch,
                   el->BottomStretch, el->StretchEffect, el->StretchType);
    C->Draw(R.Left, R.Top, &b);
}

TFontCharset charsetOf(TspSkinData* sd, TFont* fallback) {
    return sd && sd->ResourceStrData() ? sd->ResourceStrData()->CharSet() : fallback->Charset();
}

} // namespace

TspSkinCustomEdit::TspSkinCustomEdit(TComponent* AOwner)
    : TspCustomEdit(AOwner), FDefaultFont(std::make_unique<TFont>()) {
    ControlStyle |= csOpaque;
    FHeight = 20;
    BorderStyle = bsNoBorder;
    FEditTransparent = true;
    FDefaultFont->SetName("Arial");
    FDefaultFont->SetHeight(14);
    FDefaultFont->SetColor(clBlack);
    Font()->Assign(FDefaultFont.get());
    FDefaultFont->OnChange = [this](TObject*) {
        if (FIndex == -1) Font()->Assign(FDefaultFont.get());
    };
}

TspSkinCustomEdit::~TspSkinCustomEdit() {
    if (FSD) FSD->RemoveFreeNotification(this);
}

void TspSkinCustomEdit::Notification(TComponent* AComponent, TOperation Operation) {
    TspCustomEdit::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FSD) FSD = nullptr;
    if (Operation == opRemove && AComponent == FImages) FImages = nullptr;
}

TFontCharset TspSkinCustomEdit::SkinCharset() {
    return charsetOf(FSD, FDefaultFont.get());
}

void TspSkinCustomEdit::GetSkinData() {
    FIndex = !FSD || FSD->Empty ? -1 : FSD->GetControlIndex(SkinDataName);
    auto* el = elementOf<TspDataSkinEditControl>(FSD, FIndex);
    if (!el) {
        // An element of another kind is no element for the edit.
        FIndex = -1;
        return;
    }
    Picture = pictureOf(FSD, el->PictureIndex);
    SkinRect = el->SkinRect;
    ActiveSkinRect = IsEmptyRect(el->ActiveSkinRect) ? SkinRect : el->ActiveSkinRect;
    LOffset = el->LTPoint.X;
    ROffset = RectWidth(SkinRect) - el->RTPoint.X;
    ClRect = el->ClRect;
    FontName = el->FontName;
    FontStyle = el->FontStyle;
    FontHeight = el->FontHeight;
    FontColor = el->FontColor;
    DisabledFontColor = el->DisabledFontColor;
    ActiveFontColor = el->ActiveFontColor;
    ButtonRect = el->ButtonRect;
    ActiveButtonRect = el->ActiveButtonRect;
    DownButtonRect = IsEmptyRect(el->DownButtonRect) ? ActiveButtonRect : el->DownButtonRect;
    UnEnabledButtonRect = el->UnEnabledButtonRect;
    StretchEffect = el->StretchEffect;
}

void TspSkinCustomEdit::CalcRects() {
    const int W = Width(), H = Height();
    if (FIndex == -1) {
        if (FButtonMode) {
            FButtonRect = TRect(W - H, 0, W, H);
            FEditRect = TRect(2, 2, FButtonRect.Left - 2, H - 2);
        } else {
            FEditRect = TRect(2, 2, W - 2, H - 2);
        }
        return;
    }
    const int dw = W - RectWidth(SkinRect);
    FEditRect = ClRect;
    FEditRect.Right += dw;
    FButtonRect = ButtonRect;
    if (ButtonRect.Left >= RectWidth(SkinRect) - ROffset) FButtonRect = moved(FButtonRect, dw, 0);
    if (!UseSkinFont) {
        const int dh = H - RectHeight(SkinRect);
        FEditRect.Bottom += dh;
        FButtonRect.Bottom += dh;
    }
}

int TspSkinCustomEdit::TextHeight() {
    HDC dc = GetDC(0);
    HGDIOBJ old = SelectObject(dc, Font()->Handle());
    TEXTMETRIC tm{};
    GetTextMetrics(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(0, dc);
    return tm.tmHeight;
}

void TspSkinCustomEdit::FitHeight() {
    GetSkinData();
    const int h =
        FIndex == -1 ? TextHeight() + 4 : TextHeight() + RectHeight(SkinRect) - RectHeight(ClRect);
    TCustomMaskEdit::SetBounds(Left(), Top(), Width(), h);
}

void TspSkinCustomEdit::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    GetSkinData();
    const bool sizeChanged = AWidth != Width() || AHeight != Height();
    if (sizeChanged && !(FIndex == -1 && UseSkinFont)) {
        if (!UseSkinFont)
            AHeight = FIndex == -1 ? TextHeight() + 4
                                   : TextHeight() + RectHeight(SkinRect) - RectHeight(ClRect);
        else if (FIndex != -1)
            AHeight = RectHeight(SkinRect);
    }
    TspCustomEdit::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (HandleAllocated()) {
        Invalidate();
        RepaintFrame();
    }
}

void TspSkinCustomEdit::CreateParams(TCreateParams& Params) {
    TspCustomEdit::CreateParams(Params);
    Params.ExStyle &= ~DWORD(WS_EX_TRANSPARENT);
    Params.Style &= ~DWORD(WS_BORDER | ES_LEFT | ES_RIGHT | ES_CENTER);
    Params.Style |= FAlignment == taRightJustify ? ES_RIGHT
                    : FAlignment == taCenter     ? ES_CENTER
                                                 : ES_LEFT;
}

void TspSkinCustomEdit::Invalidate() {
    if (!Parent() || !HandleAllocated()) return;
    FStopDraw = false;
    RedrawWindow(Handle(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE);
}

void TspSkinCustomEdit::RepaintFrame() {
    if (Parent() && HandleAllocated()) SendMessage(Handle(), WM_NCPAINT, 1, 0);
}

void TspSkinCustomEdit::SetParentImage() {
    if (!ParentImage) return;
    ParentImage->SetSize(Width(), Height());
    DrawParentBackground(this, ParentImage->Canvas());
}

void TspSkinCustomEdit::SetDefaultColor(TColor Value) {
    FDefaultColor = Value;
    if (FIndex == -1) Invalidate();
}

void TspSkinCustomEdit::SetDefaultFont(TFont* Value) {
    FDefaultFont->Assign(Value);
    if (FIndex == -1) Font()->Assign(Value);
}

void TspSkinCustomEdit::SetDefaultWidth(int Value) {
    FDefaultWidth = Value;
    if (FIndex == -1 && Value > 0) SetWidth(Value);
}

void TspSkinCustomEdit::SetDefaultHeight(int Value) {
    FDefaultHeight = Value;
    if (FIndex == -1 && Value > 0 && UseSkinFont)
        SetHeight(Value);
    else
        FitHeight();
}

void TspSkinCustomEdit::SetButtonMode(bool Value) {
    FButtonMode = Value;
    recreateWindow(this);
}

void TspSkinCustomEdit::SetSkinData(TspSkinData* Value) {
    if (FSD && FSD != Value) FSD->RemoveFreeNotification(this);
    FSD = Value;
    if (!Value) return;
    Value->FreeNotification(this);
    if (!Value->Empty && !HasState(csDesigning)) ChangeSkinData();
}

void TspSkinCustomEdit::SetAlphaBlend(bool Value) {
    if (FAlphaBlend == Value) return;
    FAlphaBlend = Value;
    RepaintFrame();
    Invalidate();
}

void TspSkinCustomEdit::SetAlphaBlendValue(uint8_t Value) {
    FAlphaBlendValue = Value;
    if (FAlphaBlend) {
        RepaintFrame();
        Invalidate();
    }
}

void TspSkinCustomEdit::SetAlignment(TAlignment Value) {
    if (FAlignment == Value) return;
    FAlignment = Value;
    recreateWindow(this);
}

void TspSkinCustomEdit::SetImages(TCustomImageList* Value) {
    if (FImages == Value) return;
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = Value;
    if (Value) Value->FreeNotification(this);
    CalcImageButtons(true);
}

void TspSkinCustomEdit::SetLeftImageIndex(int Value) {
    FLeftImageIndex = Value;
    CalcImageButtons(true);
}

void TspSkinCustomEdit::SetRightImageIndex(int Value) {
    FRightImageIndex = Value;
    CalcImageButtons(true);
}

void TspSkinCustomEdit::CalcImageButtons(bool ASetRect) {
    if (!FImages) return;
    LeftButton.R = TRect();
    RightButton.R = TRect();
    TRect R = ClientRect();
    if (FLeftImageIndex >= 0) {
        LeftButton.R = TRect(R.Left, R.Top, R.Left + FImages->Width(), R.Bottom);
        R.Left += FImages->Width() + 2;
    }
    if (FRightImageIndex >= 0) {
        RightButton.R = TRect(R.Right - FImages->Width(), R.Top, R.Right, R.Bottom);
        R.Right -= FImages->Width() + 2;
    }
    if (ASetRect && HandleAllocated()) {
        RECT r{R.Left, R.Top, R.Right, R.Bottom};
        SendMessage(Handle(), EM_SETRECTNP, 0, LPARAM(&r));
    }
}

void TspSkinCustomEdit::OutputFrame(HDC DC, TBitmap* B) {
    if (FAlphaBlend && ParentImage) blendOver(B, ParentImage.get(), FAlphaBlendValue);
    BitBlt(DC, 0, 0, B->Width(), B->Height(), B->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TspSkinCustomEdit::PaintFrame(HDC DC) {
    const int W = Width(), H = Height();
    if (W < 1 || H < 1) return;
    GetSkinData();
    CalcRects();
    TBitmap B(W, H);
    TCanvas* C = B.Canvas();
    if (FIndex == -1) {
        const int a = FButtonMode ? W - FButtonRect.Left : 0;
        C->Brush()->SetColor(clBtnShadow);
        C->FrameRect(TRect(0, 0, W - a, H));
        C->Brush()->SetColor(clBtnFace);
        C->FrameRect(TRect(1, 1, W - a - 1, H - 1));
        if (FButtonMode)
            drawDefaultButton(C, FButtonRect, FButtonDown && FButtonActive, FButtonActive);
    } else if (Picture) {
        const TRect R = FMouseIn || Focused() ? ActiveSkinRect : SkinRect;
        BuildHorzSkinImage(LOffset, ROffset, &B, Picture, R, W, RectHeight(R), StretchEffect);
        if (FButtonMode) {
            TRect src;
            if (!Enabled() && !IsEmptyRect(UnEnabledButtonRect))
                src = UnEnabledButtonRect;
            else if (FButtonDown && FButtonActive)
                src = DownButtonRect;
            else if (FButtonActive)
                src = ActiveButtonRect;
            copyFromPicture(B.Canvas(), Picture, FButtonRect, src);
        }
    }
    OutputFrame(DC, &B);
}

void TspSkinCustomEdit::PaintStretchedFrame(HDC DC) {
    const int W = Width(), H = Height();
    if (W < 1 || H < 1) return;
    GetSkinData();
    CalcRects();
    TBitmap B(W, H);
    const TRect R = FMouseIn || Focused() ? ActiveSkinRect : SkinRect;
    if (Picture) BuildStretchedSkinImage(&B, Picture, R, ClRect, false);
    if (FButtonMode) PaintEditButton(B.Canvas());
    OutputFrame(DC, &B);
}

void TspSkinCustomEdit::PaintEditButton(TCanvas* C) {
    paintResizeButton(FSD, C, FButtonRect, FButtonDown, FButtonActive);
}

void TspSkinCustomEdit::PaintClientBackground(HDC DC) {
    const int w = RectWidth(FEditRect), h = RectHeight(FEditRect);
    if (w <= 0 || h <= 0) return;
    GetSkinData();
    TBitmap A(w, h);
    if (FIndex == -1 || !Picture) {
        A.Canvas()->Brush()->SetColor(FDefaultColor);
        A.Canvas()->FillRect(TRect(0, 0, w, h));
    } else {
        const TRect R = FMouseIn || Focused() ? ActiveSkinRect : SkinRect;
        const TRect part =
            Bounds(R.Left + ClRect.Left, R.Top + ClRect.Top, RectWidth(ClRect), RectHeight(ClRect));
        const int lo = std::max(0, LOffset - ClRect.Left);
        const int ro = std::max(0, ClRect.Right + ROffset - RectWidth(SkinRect));
        TBitmap built(w, RectHeight(part));
        BuildHorzSkinImage(lo, ro, &built, Picture, part, w, RectHeight(part), StretchEffect);
        if (!UseSkinFont)
            A.Canvas()->StretchDraw(TRect(0, 0, w, h), &built);
        else
            A.Canvas()->Draw(0, 0, &built);
    }
    if (FAlphaBlend) {
        ParentImage = std::make_unique<TBitmap>();
        SetParentImage();
        TBitmap under(w, h);
        under.Canvas()->Draw(-FEditRect.Left, -FEditRect.Top, ParentImage.get());
        blendOver(&A, &under, FAlphaBlendValue);
        ParentImage.reset();
    }
    BitBlt(DC, 0, 0, w, h, A.Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TspSkinCustomEdit::PaintImageButtons(HDC DC) {
    if (!FImages) return;
    CalcImageButtons(false);
    TCanvas C;
    C.SetHandle(DC);
    auto draw = [&](TspCBButtonX& b, int normal, int hot, int down) {
        const int n = FImages->Count();
        if (normal < 0 || normal >= n) return;
        int i = normal;
        if (b.Down && b.MouseIn && down >= 0 && down < n)
            i = down;
        else if (b.MouseIn && hot >= 0 && hot < n)
            i = hot;
        const int y = std::max(b.R.Top, (b.R.Top + b.R.Bottom) / 2 - FImages->Height() / 2);
        FImages->Draw(&C, b.R.Left, y, i, Enabled());
    };
    draw(LeftButton, FLeftImageIndex, LeftImageHotIndex, LeftImageDownIndex);
    draw(RightButton, FRightImageIndex, RightImageHotIndex, RightImageDownIndex);
    C.SetHandle(nullptr);
}

void TspSkinCustomEdit::PaintDisabledText(HDC DC) {
    TCanvas C;
    C.SetHandle(DC);
    if (FIndex != -1 && UseSkinFont) {
        C.Font()->SetName(FontName);
        C.Font()->SetHeight(FontHeight);
        C.Font()->SetStyle(FontStyle);
        C.Font()->SetColor(DisabledFontColor);
    } else {
        C.Font()->Assign(FDefaultFont.get());
        C.Font()->SetColor(FIndex == -1 ? clGrayText : DisabledFontColor);
    }
    C.Font()->SetCharset(SkinCharset());
    const TRect R(0, 0, RectWidth(FEditRect), RectHeight(FEditRect));
    const std::string t = Text();
    const int tw = C.TextWidth(t);
    const int x = FAlignment == taRightJustify ? R.Right - tw - 1
                  : FAlignment == taCenter     ? RectWidth(R) / 2 - tw / 2
                                               : 2;
    C.Brush()->SetStyle(bsClear);
    C.TextRect(R, x, 0, t);
    C.SetHandle(nullptr);
}

void TspSkinCustomEdit::ApplyEnabledColor() {
    if (Enabled())
        Font()->SetColor(FIndex == -1 ? FDefaultFont->Color() : FontColor);
    else
        Font()->SetColor(FIndex == -1 ? clGrayText : DisabledFontColor);
}

void TspSkinCustomEdit::ChangeSkinData() {
    GetSkinData();
    if (FIndex == -1) {
        Font()->Assign(FDefaultFont.get());
        if (FDefaultWidth > 0) SetWidth(FDefaultWidth);
        if (FDefaultHeight > 0) SetHeight(FDefaultHeight);
    } else if (UseSkinFont) {
        Font()->SetName(FontName);
        Font()->SetStyle(FontStyle);
        TCustomMaskEdit::SetBounds(Left(), Top(), Width(), RectHeight(SkinRect));
        Font()->SetHeight(FontHeight);
    } else {
        Font()->Assign(FDefaultFont.get());
    }
    if (FIndex != -1) Font()->SetColor(Focused() ? ActiveFontColor : FontColor);
    Font()->SetCharset(SkinCharset());
    recreateWindow(this);
    ApplyEnabledColor();
    if (Enabled() && FIndex != -1 && Focused()) Font()->SetColor(ActiveFontColor);
    if (!UseSkinFont) FitHeight();
    if (FImages) {
        CalcImageButtons(true);
        Invalidate();
    }
}

void TspSkinCustomEdit::NCHitTest(TMessage& Message) {
    POINT p{int16_t(LOWORD(Message.LParam)), int16_t(HIWORD(Message.LParam))};
    ::ScreenToClient(Handle(), &p);
    if (FImages) {
        auto hit = [&](TspCBButtonX& b, int index, LRESULT code) {
            if (index >= 0 && holds(b.R, p.x, p.y)) {
                if (!b.MouseIn) {
                    b.MouseIn = true;
                    Invalidate();
                }
                Message.Result = code;
                return true;
            }
            return false;
        };
        CalcImageButtons(false);
        if (hit(LeftButton, FLeftImageIndex, kLeftImageHit) ||
            hit(RightButton, FRightImageIndex, kRightImageHit))
            return;
        if (LeftButton.MouseIn || RightButton.MouseIn) {
            LeftButton.MouseIn = RightButton.MouseIn = false;
            Invalidate();
        }
    }
    if (FButtonMode) {
        GetSkinData();
        CalcRects();
        const int wx = p.x + (FIndex == -1 ? 2 : ClRect.Left);
        const int wy = p.y + (FIndex == -1 ? 2 : ClRect.Top);
        if (holds(FButtonRect, wx, wy)) {
            Message.Result = HTHSCROLL;
            return;
        }
        if (!holds(FEditRect, wx, wy)) {
            Message.Result = HTVSCROLL;
            return;
        }
    }
    TspCustomEdit::WndProc(Message);
}

void TspSkinCustomEdit::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_NCCALCSIZE: {
        auto* r = reinterpret_cast<RECT*>(Message.LParam);
        if (!r) break;
        GetSkinData();
        if (FIndex == -1) {
            r->left += 2;
            r->top += 2;
            r->bottom -= 2;
            r->right -= FButtonMode ? Height() + 2 : 2;
        } else {
            r->left += ClRect.Left;
            r->top += ClRect.Top;
            r->right += ClRect.Right - RectWidth(SkinRect);
            r->bottom += ClRect.Bottom - RectHeight(SkinRect);
        }
        Message.Result = 0;
        return;
    }
    case WM_NCPAINT: {
        if (!HandleAllocated()) return;
        GetSkinData();
        CalcRects();
        if (FAlphaBlend) {
            ParentImage = std::make_unique<TBitmap>();
            SetParentImage();
        }
        HDC dc = GetWindowDC(Handle());
        ExcludeClipRect(dc, FEditRect.Left, FEditRect.Top, FEditRect.Right, FEditRect.Bottom);
        if (UseSkinFont || FIndex == -1)
            PaintFrame(dc);
        else
            PaintStretchedFrame(dc);
        ReleaseDC(Handle(), dc);
        ParentImage.reset();
        Message.Result = 0;
        return;
    }
    case WM_SKIN_PAINTNCTODC:
    case WM_SKIN_PRINTNC: {
        if (Message.Msg == WM_SKIN_PRINTNC && Message.LParam != kPrintNcMagic) break;
        HDC dc = reinterpret_cast<HDC>(Message.WParam);
        GetSkinData();
        CalcRects();
        if (FAlphaBlend) {
            ParentImage = std::make_unique<TBitmap>();
            SetParentImage();
        }
        int saved = SaveDC(dc);
        if (Message.Msg == WM_SKIN_PRINTNC)
            ExcludeClipRect(dc, FEditRect.Left, FEditRect.Top, FEditRect.Right, FEditRect.Bottom);
        if (UseSkinFont || FIndex == -1)
            PaintFrame(dc);
        else
            PaintStretchedFrame(dc);
        RestoreDC(dc, saved);
        ParentImage.reset();
        Message.Result = Message.Msg == WM_SKIN_PRINTNC ? kPrintNcMagic : 12851;
        return;
    }
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(Message.WParam);
        GetSkinData();
        CalcRects();
        PaintClientBackground(dc);
        PaintImageButtons(dc);
        if (!FInPaint) {
            // The edit writes its text over the background in the same DC; the
            // paint that follows only validates.
            TMessage paint{WM_PAINT, Message.WParam, 0, 0};
            DefaultHandler(paint);
            FStopDraw = true;
        }
        Message.Result = 1;
        return;
    }
    case WM_PAINT:
        if (FStopDraw) {
            if (!Message.WParam) {
                PAINTSTRUCT ps;
                BeginPaint(Handle(), &ps);
                EndPaint(Handle(), &ps);
            }
            FStopDraw = false;
            Message.Result = 0;
            return;
        }
        GetSkinData();
        CalcRects();
        if (Enabled()) {
            FInPaint = true;
            if (Message.WParam) {
                HDC dc = reinterpret_cast<HDC>(Message.WParam);
                PaintClientBackground(dc);
                PaintImageButtons(dc);
            } else {
                // The background is painted in the erase step of every paint.
                InvalidateRect(Handle(), nullptr, 1);
            }
            TspCustomEdit::WndProc(Message);
            FInPaint = false;
        } else {
            PAINTSTRUCT ps;
            HDC dc = reinterpret_cast<HDC>(Message.WParam);
            if (!dc) dc = BeginPaint(Handle(), &ps);
            PaintClientBackground(dc);
            PaintDisabledText(dc);
            if (!Message.WParam) EndPaint(Handle(), &ps);
            Message.Result = 0;
        }
        return;
    case WM_NCHITTEST:
        NCHitTest(Message);
        return;
    case WM_NCMOUSEMOVE:
        if (Message.WParam == WPARAM(HTHSCROLL)) {
            if (!FButtonActive) {
                FButtonActive = true;
                RepaintFrame();
                Invalidate();
            }
        } else if (FButtonActive) {
            FButtonActive = false;
            RepaintFrame();
            Invalidate();
        }
        break;
    case WM_MOUSEMOVE:
        if (FButtonActive) {
            FButtonActive = false;
            RepaintFrame();
        }
        break;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        if (Message.WParam == WPARAM(HTHSCROLL)) {
            FButtonDown = true;
            RepaintFrame();
            Message.Result = 0;
            return;
        }
        if (Message.WParam == WPARAM(kLeftImageHit) || Message.WParam == WPARAM(kRightImageHit)) {
            TspCBButtonX& b = Message.WParam == WPARAM(kLeftImageHit) ? LeftButton : RightButton;
            b.Down = true;
            if (!Focused()) SetFocus();
            Invalidate();
            if (Message.Msg == WM_NCLBUTTONDBLCLK) UpdateWindow(Handle());
            Message.Result = 0;
            return;
        }
        break;
    case WM_NCLBUTTONUP:
        if (Message.WParam == WPARAM(HTHSCROLL)) {
            FButtonDown = false;
            RepaintFrame();
            if (!Focused()) SetFocus();
            if (OnButtonClick) OnButtonClick(this);
            Message.Result = 0;
            return;
        }
        if (Message.WParam == WPARAM(kLeftImageHit) || Message.WParam == WPARAM(kRightImageHit)) {
            const bool left = Message.WParam == WPARAM(kLeftImageHit);
            TspCBButtonX& b = left ? LeftButton : RightButton;
            if (b.Down) {
                b.Down = false;
                Invalidate();
                if (left && OnLeftButtonClick) OnLeftButtonClick(this);
                if (!left && OnRightButtonClick) OnRightButtonClick(this);
            }
            Message.Result = 0;
            return;
        }
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        const bool got = Message.Msg == WM_SETFOCUS;
        TspCustomEdit::WndProc(Message);
        RepaintFrame();
        Invalidate();
        if (FIndex != -1 && !FMouseIn) Font()->SetColor(got ? ActiveFontColor : FontColor);
        if (FImages) CalcImageButtons(true);
        if (got && AutoSelect) SelectAll();
        return;
    }
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: {
        const bool enter = Message.Msg == CM_MOUSEENTER;
        TspCustomEdit::WndProc(Message);
        FMouseIn = enter;
        if (!Focused() && FIndex != -1) {
            Font()->SetColor(enter ? ActiveFontColor : FontColor);
            if (FImages) CalcImageButtons(true);
            RepaintFrame();
            Invalidate();
        }
        if (!enter) {
            if (FButtonDown || FButtonActive) {
                FButtonDown = FButtonActive = false;
                RepaintFrame();
                Invalidate();
            }
            LeftButton.MouseIn = RightButton.MouseIn = false;
        }
        return;
    }
    case CM_ENABLEDCHANGED:
        TspCustomEdit::WndProc(Message);
        GetSkinData();
        ApplyEnabledColor();
        Invalidate();
        return;
    case CM_FONTCHANGED:
        TspCustomEdit::WndProc(Message);
        if (!UseSkinFont) {
            FitHeight();
            if (FIndex == -1) recreateWindow(this);
        }
        return;
    case WM_SIZE:
        TspCustomEdit::WndProc(Message);
        CalcImageButtons(true);
        RepaintFrame();
        return;
    default:
        break;
    }
    TspCustomEdit::WndProc(Message);
}

// ---- TspSkinSpinEdit -----------------------------------------------------------------------

TspSkinSpinEdit::TspSkinSpinEdit(TComponent* AOwner) : TspSkinCustomControl(AOwner) {
    ControlStyle = csAcceptsControls | csCaptureMouse | csOpaque | csDoubleClicks;
    FEdit = new TspSkinNumEdit(this);
    FEdit->SetParent(this);
    FEdit->SetColor(FDefaultColor);
    FEdit->Font()->Assign(DefaultFont());
    FEdit->BorderStyle = bsNoBorder;
    FEdit->OnChange = [this](TObject* s) { EditChange(s); };
    FEdit->FOnUpClick = [this](TObject*) {
        StepUp();
        if (OnUpButtonClick) OnUpButtonClick(this);
    };
    FEdit->FOnDownClick = [this](TObject*) {
        StepDown();
        if (OnDownButtonClick) OnDownButtonClick(this);
    };
    FEdit->OnKeyDown = [this](TObject* s, WORD& k, TShiftState sh) { EditKeyDown(s, k, sh); };
    FEdit->OnKeyUp = [this](TObject* s, WORD& k, TShiftState sh) { EditKeyUp(s, k, sh); };
    FEdit->OnKeyPress = [this](TObject* s, char32_t& k) { EditKeyPress(s, k); };
    FEdit->OnEnter = [this](TObject* s) { EditEnter(s); };
    FEdit->OnExit = [this](TObject* s) { EditExit(s); };
    FEdit->FOnMouseEnter = [this](TObject* s) { EditMouseEnter(s); };
    FEdit->FOnMouseLeave = [this](TObject* s) { EditMouseLeave(s); };
    StopCheck = true;
    SetText("0");
    StopCheck = false;
    FSkinDataName = "spinedit";
    SetBounds(0, 0, 120, 20);
}

TspSkinSpinEdit::~TspSkinSpinEdit() {
    if (FTimerOn && HandleAllocated()) KillTimer(Handle(), kRepeatTimer);
}

double TspSkinSpinEdit::CheckValue(double X) const {
    if (FMaxValue == 0 && FMinValue == 0) return X;
    // With one bound given and the other left at 0 on the wrong side of it,
    // the zero is no bound: 5..0 means from 5 up, 0..-5 up to -5.
    const bool inverted = FMaxValue < FMinValue;
    const bool useMin = !(inverted && FMinValue == 0);
    const bool useMax = !(inverted && FMaxValue == 0);
    if (useMin && X < FMinValue) return FMinValue;
    if (useMax && X > FMaxValue) return FMaxValue;
    return X;
}

std::string TspSkinSpinEdit::ValueText(double V) const {
    if (FValueType == vtFloat) return FloatToStrF(V, FDecimal);
    return std::to_string(int64_t(std::nearbyint(V)));
}

void TspSkinSpinEdit::WriteEditText(const std::string& T) {
    const bool old = StopCheck;
    StopCheck = true;
    FEdit->SetText(T);
    StopCheck = old;
}

void TspSkinSpinEdit::SetValueType(TspValueType Value) {
    if (FValueType == Value) return;
    FValueType = Value;
    if (Value == vtInteger) {
        FIncrement = std::nearbyint(FIncrement);
        if (FIncrement == 0) FIncrement = 1;
    }
    FEdit->Float = Value == vtFloat;
}

void TspSkinSpinEdit::SetMinValue(double Value) {
    FMinValue = Value;
    if (FValue < FMinValue) SetValue(FMinValue);
}

void TspSkinSpinEdit::SetMaxValue(double Value) {
    FMaxValue = Value;
    if (FValue > FMaxValue) SetValue(FMaxValue);
}

void TspSkinSpinEdit::SetValue(double AValue) {
    FValue = CheckValue(AValue);
    if (StopCheck) {
        FEdit->SetText(ValueText(FValue));
        StopCheck = false;
        return;
    }
    StopCheck = true;
    SetText(ValueText(FValue));
    StopCheck = false;
    Change();
}

void TspSkinSpinEdit::SimpleSetValue(double AValue) {
    FValue = CheckValue(AValue);
    WriteEditText(ValueText(FValue));
}

void TspSkinSpinEdit::StepUp() {
    SetValue(FValue + FIncrement);
}

void TspSkinSpinEdit::StepDown() {
    SetValue(FValue - FIncrement);
}

void TspSkinSpinEdit::Change() {
    StopCheck = true;
    if (OnChange) OnChange(this);
    StopCheck = false;
}

void TspSkinSpinEdit::SetDefaultColor(TColor Value) {
    FDefaultColor = Value;
    if (FIndex == -1) FEdit->SetColor(Value);
}

bool TspSkinSpinEdit::IsNumText(const std::string& AText) {
    std::string allowed = "01234567890-";
    const char sep = DecimalSeparator();
    if (FValueType == vtFloat) allowed += sep;
    const std::string t = Text();
    if (t.empty() || t == "-") return false;
    if (t.find_first_not_of(allowed) != std::string::npos) return false;
    const size_t minus = AText.find('-');
    if (minus != std::string::npos &&
        (minus != 0 || AText.find('-', minus + 1) != std::string::npos))
        return false;
    if (FValueType == vtFloat) {
        const size_t s = AText.find(sep);
        if (s == 0) return false;
        if (s != std::string::npos && AText.find(sep, s + 1) != std::string::npos) return false;
    }
    return true;
}

void TspSkinSpinEdit::TextChanged() {
    if (!FromEdit) {
        FromEdit = true; // the edit's change must not come back here
        FEdit->SetText(Text());
        FromEdit = false;
    }
    if (StopCheck) return;
    const std::string t = FEdit->Text();
    if (!IsNumText(t)) return;
    double P = 0;
    if (FValueType == vtFloat) {
        if (!TryStrToFloat(t, P)) return;
    } else {
        int64_t i = 0;
        if (!TryStrToInt64(t, i)) return;
        P = double(i);
    }
    const double V = CheckValue(P);
    if (V != FValue) {
        FValue = V;
        Change();
    }
    const bool rewrite = (V < P && !(V < 0 && P < 0)) || (V > P && V < 0 && P < 0) ||
                         (FMinValue > 0 && P < 0) || (FMaxValue < 0 && P > 0);
    if (rewrite) WriteEditText(ValueText(V));
}

void TspSkinSpinEdit::EditChange(TObject*) {
    if (FromEdit) return;
    FromEdit = true;
    SetText(FEdit->Text());
    FromEdit = false;
}

void TspSkinSpinEdit::EditKeyDown(TObject*, WORD& Key, TShiftState Shift) {
    if (OnEditKeyDown) OnEditKeyDown(this, Key, Shift);
}
void TspSkinSpinEdit::EditKeyUp(TObject*, WORD& Key, TShiftState Shift) {
    if (OnEditKeyUp) OnEditKeyUp(this, Key, Shift);
}
void TspSkinSpinEdit::EditKeyPress(TObject*, char32_t& Key) {
    if (OnEditKeyPress) OnEditKeyPress(this, Key);
}

void TspSkinSpinEdit::EditEnter(TObject*) {
    if (OnEditEnter) OnEditEnter(this);
    FEditFocused = true;
    if (FElement && !IsEmptyRect(ActiveSkinRect)) Repaint();
    if (FElement && ActiveFontColor != FontColor) FEdit->Font()->SetColor(ActiveFontColor);
}

void TspSkinSpinEdit::EditExit(TObject*) {
    if (OnEditExit) OnEditExit(this);
    FEditFocused = false;
    if (FElement && !IsEmptyRect(ActiveSkinRect)) Repaint();
    if (FElement && !FMouseIn) FEdit->Font()->SetColor(FontColor);
    // An unfinished entry gives way to the value.
    WriteEditText(ValueText(FValue));
}

void TspSkinSpinEdit::EditMouseEnter(TObject*) {
    FMouseIn = true;
    if (FElement && !IsEmptyRect(ActiveSkinRect) && !FEditFocused) Repaint();
    if (FElement && ActiveFontColor != FontColor && !FEditFocused)
        FEdit->Font()->SetColor(ActiveFontColor);
}

void TspSkinSpinEdit::EditMouseLeave(TObject*) {
    FMouseIn = false;
    if (FElement && !IsEmptyRect(ActiveSkinRect) && !FEditFocused) Repaint();
    if (FElement && ActiveFontColor != FontColor && !FEditFocused)
        FEdit->Font()->SetColor(FontColor);
}

void TspSkinSpinEdit::GetSkinData() {
    TspSkinCustomControl::GetSkinData();
    auto* el = elementOf<TspDataSkinSpinEditControl>(FSD, FIndex);
    FElement = el != nullptr;
    if (!el) {
        FIndex = -1;
        return;
    }
    ActiveSkinRect = el->ActiveSkinRect;
    FontName = el->FontName;
    FontStyle = el->FontStyle;
    FontHeight = el->FontHeight;
    FontColor = el->FontColor;
    ActiveFontColor = el->ActiveFontColor;
    DisabledFontColor = el->DisabledFontColor;
    UpButtonRect = el->UpButtonRect;
    ActiveUpButtonRect = el->ActiveUpButtonRect;
    DownUpButtonRect =
        IsEmptyRect(el->DownUpButtonRect) ? ActiveUpButtonRect : el->DownUpButtonRect;
    DownButtonRect = el->DownButtonRect;
    ActiveDownButtonRect = el->ActiveDownButtonRect;
    DownDownButtonRect =
        IsEmptyRect(el->DownDownButtonRect) ? ActiveDownButtonRect : el->DownDownButtonRect;
    LOffset = el->LTPoint.X;
    ROffset = RectWidth(SkinRect) - el->RTPoint.X;
}

void TspSkinSpinEdit::FitEditHeight() {
    HDC dc = GetDC(0);
    HGDIOBJ old = SelectObject(dc, FEdit->Font()->Handle());
    TEXTMETRIC tm{};
    GetTextMetrics(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(0, dc);
    FEdit->SetHeight(tm.tmHeight);
}

void TspSkinSpinEdit::CalcRects() {
    GetSkinData();
    const int W = Width(), H = Height();
    if (FIndex == -1) {
        Buttons[0].R = TRect(W - 17, 2, W - 2, H / 2);
        Buttons[1].R = TRect(W - 17, H / 2, W - 2, H - 2);
        FEdit->SetBounds(2, 2, W - 19, H - 4);
        FitEditHeight();
        FEdit->SetTop(H / 2 - FEdit->Height() / 2);
        return;
    }
    const int dw = W - RectWidth(SkinRect), dh = H - RectHeight(SkinRect);
    TRect up = UpButtonRect, down = DownButtonRect;
    if (up.Left > RTPt.X) up = moved(up, dw, 0);
    if (down.Left > RTPt.X) down = moved(down, dw, 0);
    TRect E = ClRect;
    E.Right += dw;
    if (!UseSkinSize) {
        E.Bottom += dh;
        if (down.Bottom < up.Bottom) {
            up.Bottom += dh;
            down.Bottom += dh;
        } else {
            const TRect U(up.Left, up.Top, down.Right, down.Bottom + dh);
            const int m = U.Top + RectHeight(U) / 2;
            up = TRect(U.Left, U.Top, U.Right, m);
            down = TRect(U.Left, m, U.Right, U.Bottom);
        }
    }
    Buttons[0].R = up;
    Buttons[1].R = down;
    FEdit->SetBounds(E.Left, E.Top, RectWidth(E), FEdit->Height());
    FitEditHeight();
    FEdit->SetTop(E.Top + RectHeight(E) / 2 - FEdit->Height() / 2);
}

void TspSkinSpinEdit::FitSkinSize(int& W, int& H) {
    if (UseSkinSize) {
        TspSkinCustomControl::FitSkinSize(W, H);
        return;
    }
    const int dw = W - RectWidth(SkinRect);
    NewLTPoint = LTPt;
    NewRTPoint = TPoint(RTPt.X + dw, RTPt.Y);
    NewClRect = TRect(ClRect.Left, ClRect.Top, ClRect.Right + dw, ClRect.Bottom);
}

void TspSkinSpinEdit::UpdateSkinRegion() {
    if (UseSkinSize) TspSkinCustomControl::UpdateSkinRegion();
}

void TspSkinSpinEdit::DrawButton(TCanvas* C, int I) {
    TspCBButtonX& b = Buttons[I];
    if (FIndex == -1) {
        if (b.Down && b.MouseIn)
            drawDefaultButton(C, b.R, true, true);
        else if (b.MouseIn)
            drawDefaultButton(C, b.R, false, true);
        else {
            C->Brush()->SetColor(clBtnFace);
            C->FillRect(b.R);
        }
        DrawArrow(C, inset(b.R, 1), clBlack, I == 0 ? 3 : 4);
        return;
    }
    TRect src;
    if (b.Down && b.MouseIn)
        src = I == 0 ? DownUpButtonRect : DownDownButtonRect;
    else if (b.MouseIn)
        src = I == 0 ? ActiveUpButtonRect : ActiveDownButtonRect;
    copyFromPicture(C, Picture, b.R, src);
}

void TspSkinSpinEdit::DrawResizeButton(TCanvas* C, int I) {
    TspCBButtonX& b = Buttons[I];
    TColor arrow = clBlack;
    if (!FSD ||
        (FSD->GetControlIndex("editbutton") < 0 && FSD->GetControlIndex("resizebutton") < 0)) {
        C->Brush()->SetColor(clBtnFace);
        C->FillRect(b.R);
        return;
    }
    paintResizeButton(FSD, C, b.R, b.Down, b.MouseIn, &arrow);
    TRect r = b.R;
    if (b.Down && b.MouseIn) r = moved(r, 2, 2);
    DrawArrow(C, r, arrow, I == 0 ? 3 : 4);
}

void TspSkinSpinEdit::DrawDefaultImage(TBitmap* B) {
    CalcRects();
    TCanvas* C = B->Canvas();
    const TRect all(0, 0, B->Width(), B->Height());
    C->Brush()->SetColor(clBtnShadow);
    C->FrameRect(all);
    C->Brush()->SetColor(clBtnFace);
    C->FrameRect(inset(all, 1));
    DrawButton(C, 0);
    DrawButton(C, 1);
}

void TspSkinSpinEdit::DrawSkinImage(TBitmap* B) {
    CalcRects();
    const bool hot = (FEditFocused || FMouseIn) && !IsEmptyRect(ActiveSkinRect);
    if (!UseSkinSize) {
        if (Picture)
            BuildStretchedSkinImage(B, Picture, hot ? ActiveSkinRect : SkinRect, ClRect, true);
        DrawResizeButton(B->Canvas(), 0);
        DrawResizeButton(B->Canvas(), 1);
        return;
    }
    if (!hot)
        TspSkinCustomControl::DrawSkinImage(B);
    else if (Picture)
        BuildHorzSkinImage(LOffset, ROffset, B, Picture, ActiveSkinRect, Width(),
                           RectHeight(ActiveSkinRect), StretchEffect);
    DrawButton(B->Canvas(), 0);
    DrawButton(B->Canvas(), 1);
}

void TspSkinSpinEdit::Invalidate() {
    TspSkinCustomControl::Invalidate();
    if (FIndex != -1) FEdit->Invalidate();
}

void TspSkinSpinEdit::ApplyFontColor() {
    if (Enabled())
        FEdit->Font()->SetColor(FIndex == -1                 ? DefaultFont()->Color()
                                : (FMouseIn || FEditFocused) ? ActiveFontColor
                                                             : FontColor);
    else
        FEdit->Font()->SetColor(FIndex == -1 ? clGrayText : DisabledFontColor);
}

void TspSkinSpinEdit::ChangeSkinData() {
    TspSkinCustomControl::ChangeSkinData();
    if (FIndex == -1) {
        FEdit->Font()->Assign(DefaultFont());
    } else if (FUseSkinFont) {
        FEdit->Font()->SetStyle(FontStyle);
        FEdit->Font()->SetColor(FontColor);
        FEdit->Font()->SetHeight(FontHeight);
        FEdit->Font()->SetName(FontName);
    } else {
        FEdit->Font()->Assign(DefaultFont());
        FEdit->Font()->SetColor(FontColor);
    }
    FEdit->Font()->SetCharset(charsetOf(FSD, DefaultFont()));
    if (FIndex == -1) {
        FEdit->SetEditTransparent(false);
        FEdit->SetColor(FDefaultColor);
    } else {
        FEdit->SetEditTransparent(true);
        if (UseSkinSize) SetHeight(RectHeight(SkinRect));
    }
    CalcRects();
    ApplyFontColor();
    Repaint();
}

void TspSkinSpinEdit::DefaultFontChanged() {
    if (FIndex != -1 && FUseSkinFont) return;
    FEdit->Font()->Assign(DefaultFont());
    FitEditHeight();
}

void TspSkinSpinEdit::TestActive(int X, int Y) {
    OldActiveButton = ActiveButton;
    ActiveButton = -1;
    for (int i = 0; i < 2; ++i)
        if (holds(Buttons[i].R, X, Y)) {
            ActiveButton = i;
            break;
        }
    if (CaptureButton != -1 && ActiveButton != CaptureButton) ActiveButton = -1;
    if (ActiveButton == OldActiveButton) return;
    if (OldActiveButton != -1) ButtonLeave(OldActiveButton);
    if (ActiveButton != -1) ButtonEnter(ActiveButton);
}

void TspSkinSpinEdit::ButtonDown(int I) {
    Buttons[I].MouseIn = true;
    Buttons[I].Down = true;
    Repaint();
    TimerMode = I == 0 ? 2 : 1;
    WaitMode = true;
    if (HandleAllocated()) {
        SetTimer(Handle(), kRepeatTimer, 500, nullptr);
        FTimerOn = true;
    }
}

void TspSkinSpinEdit::ButtonEnter(int I) {
    Buttons[I].MouseIn = true;
    Repaint();
    if (Buttons[I].Down && HandleAllocated()) {
        SetTimer(Handle(), kRepeatTimer, 50, nullptr);
        FTimerOn = true;
    }
}

void TspSkinSpinEdit::ButtonLeave(int I) {
    Buttons[I].MouseIn = false;
    Repaint();
    if (Buttons[I].Down && FTimerOn) {
        KillTimer(Handle(), kRepeatTimer);
        FTimerOn = false;
    }
}

void TspSkinSpinEdit::ButtonUp(int I) {
    if (FTimerOn) KillTimer(Handle(), kRepeatTimer);
    FTimerOn = false;
    TimerMode = 0;
    Buttons[I].Down = false;
    if (ActiveButton != I) Buttons[I].MouseIn = false;
    Repaint();
    if (Buttons[I].MouseIn) {
        if (I == 0) {
            StepUp();
            if (OnUpButtonClick) OnUpButtonClick(this);
        } else {
            StepDown();
            if (OnDownButtonClick) OnDownButtonClick(this);
        }
    }
}

void TspSkinSpinEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TestActive(X, Y);
    if (ActiveButton != -1) {
        CaptureButton = ActiveButton;
        if (HandleAllocated()) SetCapture(Handle());
        ButtonDown(ActiveButton);
    }
    TspSkinCustomControl::MouseDown(Button, Shift, X, Y);
}

void TspSkinSpinEdit::MouseMove(TShiftState Shift, int X, int Y) {
    TspSkinCustomControl::MouseMove(Shift, X, Y);
    TestActive(X, Y);
}

void TspSkinSpinEdit::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (HandleAllocated() && GetCapture() == Handle()) ReleaseCapture();
    if (CaptureButton != -1) ButtonUp(CaptureButton);
    CaptureButton = -1;
    TspSkinCustomControl::MouseUp(Button, Shift, X, Y);
}

void TspSkinSpinEdit::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_TIMER:
        TspSkinCustomControl::WndProc(Message);
        if (Message.WParam != kRepeatTimer) return;
        if (WaitMode) {
            WaitMode = false;
            SetTimer(Handle(), kRepeatTimer, 100, nullptr);
            return;
        }
        if (TimerMode == 1)
            StepDown();
        else if (TimerMode == 2)
            StepUp();
        return;
    case CM_TEXTCHANGED:
        TspSkinCustomControl::WndProc(Message);
        TextChanged();
        return;
    case WM_CREATE:
    case WM_SIZE:
        TspSkinCustomControl::WndProc(Message);
        CalcRects();
        return;
    case WM_SETFOCUS:
        TspSkinCustomControl::WndProc(Message);
        if (FEdit->HandleAllocated()) FEdit->SetFocus();
        return;
    case CM_ENABLEDCHANGED:
        TspSkinCustomControl::WndProc(Message);
        FEdit->SetEnabled(Enabled());
        GetSkinData();
        ApplyFontColor();
        Repaint();
        return;
    case CM_MOUSEENTER:
        TspSkinCustomControl::WndProc(Message);
        TestActive(-1, -1);
        if (!FEditFocused && FElement && !IsEmptyRect(ActiveSkinRect)) {
            FMouseIn = true;
            Repaint();
        }
        if (!FEditFocused && FElement && ActiveFontColor != FontColor)
            FEdit->Font()->SetColor(ActiveFontColor);
        return;
    case CM_MOUSELEAVE: {
        TspSkinCustomControl::WndProc(Message);
        for (auto& b : Buttons)
            if (b.MouseIn) {
                b.MouseIn = false;
                Repaint();
            }
        ActiveButton = -1;
        POINT p{};
        GetCursorPos(&p);
        const bool overEdit = FEdit->HandleAllocated() && WindowFromPoint(p) == FEdit->Handle();
        if (!overEdit && !FEditFocused && FElement && !IsEmptyRect(ActiveSkinRect)) {
            FMouseIn = false;
            Repaint();
        }
        if (!overEdit && !FEditFocused && FElement) FEdit->Font()->SetColor(FontColor);
        return;
    }
    case WM_ERASEBKGND:
        if (!FFromWMPaint) {
            HDC dc = reinterpret_cast<HDC>(Message.WParam);
            PaintWindow(dc);
            if (FEdit->HandleAllocated()) {
                const int saved = SaveDC(dc);
                SetViewportOrgEx(dc, FEdit->Left(), FEdit->Top(), nullptr);
                IntersectClipRect(dc, 0, 0, FEdit->Width(), FEdit->Height());
                SendMessage(FEdit->Handle(), WM_PAINT, WPARAM(dc), 0);
                RestoreDC(dc, saved);
            }
        }
        Message.Result = 1;
        return;
    default:
        break;
    }
    TspSkinCustomControl::WndProc(Message);
}

// ---- TspListBox ----------------------------------------------------------------------------

namespace {

constexpr UINT kListPrintNc = 0xBC4A;

// Tab stops from lines of digits (anything else counts 0), the first ten.
std::vector<int> tabStops(TStrings* widths) {
    std::vector<int> stops;
    for (int i = 0; i < widths->Count() && i < 10; ++i) {
        const std::string s = widths->Get(i);
        const bool digits = !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
        stops.push_back(digits ? std::atoi(s.c_str()) : 0);
    }
    return stops;
}

// Text with tabs: each tab moves to the next stop right of the pen (stops
// count from tab origin 0); past the last stop, to the next multiple of eight
// average characters.
void tabbedText(TCanvas* C, int X, int Y, const std::string& text, const std::vector<int>& stops) {
    size_t start = 0;
    int x = X;
    const int step = std::max(1, C->TextWidth("x") * 8);
    while (true) {
        const size_t tab = text.find('\t', start);
        const std::string part = text.substr(start, tab == std::string::npos ? tab : tab - start);
        C->TextOut(x, Y, part);
        x += C->TextWidth(part);
        if (tab == std::string::npos) break;
        int next = -1;
        for (int s : stops)
            if (s > x) {
                next = s;
                break;
            }
        x = next > 0 ? next : (x / step + 1) * step;
        start = tab + 1;
    }
}

} // namespace

TspListBox::TspListBox(TComponent* AOwner) : TListBox(AOwner) {
    ControlStyle = csCaptureMouse | csOpaque | csDoubleClicks;
}

TspListBox::~TspListBox() = default;

void TspListBox::CreateParams(TCreateParams& Params) {
    TListBox::CreateParams(Params);
    Params.Style &= ~DWORD(WS_BORDER);
    Params.ExStyle &= ~DWORD(WS_EX_CLIENTEDGE);
    Params.Style |= WS_TABSTOP;
    Params.WindowClassStyle = CS_DBLCLKS;
}

bool TspListBox::HasElement() {
    if (!SkinListBox) return false;
    SkinListBox->GetSkinData();
    return SkinListBox->Index() != -1;
}

void TspListBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    const int old = Width();
    TListBox::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (old != AWidth && FHorizontalExtentValue >= 1) {
        // The right end of the scrolled text stays where it was.
        FHorizontalExtentValue = std::max(0, FHorizontalExtentValue + old - AWidth);
        Invalidate();
    }
}

void TspListBox::FillClient(TCanvas* C, int X, int Y, int W, int H) {
    TspSkinCustomListBox* o = SkinListBox;
    if (W <= 0 || H <= 0 || !o->Picture) return;
    const TRect part = Bounds(o->SkinRect.Left + o->ClRect.Left, o->SkinRect.Top + o->ClRect.Top,
                              RectWidth(o->ClRect), RectHeight(o->ClRect));
    const int tw = RectWidth(part), th = RectHeight(part);
    if (tw <= 0 || th <= 0) return;
    TBitmap b(W, H);
    for (int y = 0; y < H; y += th)
        for (int x = 0; x < W; x += tw)
            b.Canvas()->CopyRect(TRect(x, y, x + tw, y + th), o->Picture->Canvas(), part);
    C->Draw(X, Y, &b);
}

void TspListBox::EraseBackground(HDC DC) {
    if (Width() <= 0 || Height() <= 0) return;
    TCanvas C;
    C.SetHandle(DC);
    if (!HasElement()) {
        C.Brush()->SetColor(clWindow);
        C.FillRect(TRect(0, 0, Width(), Height()));
    } else {
        FillClient(&C, 0, 0, Width(), Height());
    }
    C.SetHandle(nullptr);
}

TOwnerDrawState TspListBox::StateOf(int Index) {
    TOwnerDrawState s = 0;
    if (Index == ItemIndex()) {
        s = odSelected;
        if (Focused()) s |= odFocused;
        if (SkinListBox && !SkinListBox->ShowFocus && HasElement())
            s &= ~TOwnerDrawState(odFocused);
    } else if (MultiSelect && SelCount() >= 1 && Selected(Index)) {
        s = odSelected;
    }
    return s;
}

void TspListBox::PaintWindow(HDC DC) {
    if (Width() <= 0 || Height() <= 0) return;
    const int saved = SaveDC(DC);
    const bool element = HasElement();
    const int ih = std::max(1, ItemHeight());
    const int top = TopIndex();
    const int last = std::min(Count() - 1, top + Height() / ih);
    int bottom = 0;
    for (int i = top; i <= last; ++i) {
        const TRect r = ItemRect(i);
        DrawItemOf(DC, i, r, StateOf(i));
        bottom = r.Bottom;
    }
    if (bottom < Height()) {
        TCanvas C;
        C.SetHandle(DC);
        if (!element) {
            C.Brush()->SetColor(clWindow);
            C.FillRect(TRect(0, bottom, Width(), Height()));
        } else {
            FillClient(&C, 0, bottom, Width(), Height() - bottom);
        }
        C.SetHandle(nullptr);
    }
    RestoreDC(DC, saved);
}

void TspListBox::DrawItemOf(HDC DC, int Index, const TRect& R, TOwnerDrawState State) {
    if (Index < 0 || Index >= Count() || RectWidth(R) <= 0 || RectHeight(R) <= 0) return;
    TBitmap b(RectWidth(R), RectHeight(R));
    bool drawn = true;
    if (!HasElement())
        DrawDefaultItem(b.Canvas(), Index, R, State);
    else if (!SkinListBox->Picture)
        drawn = false;
    else if (SkinListBox->UseSkinItemHeight)
        DrawSkinItem(b.Canvas(), Index, R, State);
    else
        DrawStretchedSkinItem(b.Canvas(), Index, R, State);
    if (!drawn) return;
    BitBlt(DC, R.Left, R.Top, b.Width(), b.Height(), b.Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TspListBox::DrawContent(TCanvas* C, int Index, TRect TR, TOwnerDrawState State, int W, int H,
                             const TRect& EventTR) {
    TspSkinCustomListBox* o = SkinListBox;
    if (o && o->OnDrawItem) {
        o->OnDrawItem(C, Index, W, H, EventTR, State);
        return;
    }
    int indent = 0;
    if (o && o->Images()) {
        int ii = o->ImageIndex() >= 0 ? o->ImageIndex() : Index - o->ImageIndex() - 1;
        if (o->OnGetItemImageIndex) o->OnGetItemImageIndex(o, Index, ii);
        if (ii >= 0 && ii < o->Images()->Count())
            o->Images()->Draw(C, TR.Left - FHorizontalExtentValue,
                              (TR.Top + TR.Bottom) / 2 - o->Images()->Height() / 2, ii, true);
        indent = o->Images()->Width() + 2;
    }
    const std::string text = Items()->Get(Index);
    C->Brush()->SetStyle(bsClear);
    if (o && o->TabWidths()->Count() > 0) {
        const int th = C->TextHeight(text.empty() ? "W" : text);
        tabbedText(C, TR.Left + 2 + indent, (TR.Top + TR.Bottom) / 2 - th / 2, text,
                   tabStops(o->TabWidths()));
    } else {
        TextRectVCenteredIndent(C, text, TR, indent - FHorizontalExtentValue);
    }
}

void TspListBox::DrawDefaultItem(TCanvas* C, int Index, const TRect& R, TOwnerDrawState State) {
    TspSkinCustomListBox* o = SkinListBox;
    const int w = RectWidth(R), h = RectHeight(R);
    C->Font()->SetName(o ? o->Font()->Name() : Font()->Name());
    C->Font()->SetStyle(o ? o->Font()->Style() : Font()->Style());
    C->Font()->SetHeight(o ? o->Font()->Height() : Font()->Height());
    if (o) C->Font()->SetCharset(charsetOf(o->SkinData(), o->DefaultFont()));
    if (State & odSelected) {
        C->Brush()->SetColor(clHighlight);
        C->Font()->SetColor(clHighlightText);
    } else {
        C->Brush()->SetColor(clWindow);
        C->Font()->SetColor(o ? o->Font()->Color() : Font()->Color());
    }
    C->Brush()->SetStyle(bsSolid);
    C->FillRect(TRect(0, 0, w, h));
    const TRect TR(2, 0, w - 2, h);
    const bool tabs = o && o->TabWidths()->Count() > 0;
    DrawContent(C, Index, tabs ? TRect(0, 0, w, h) : TR, State, w, h, TR);
    if (State & odFocused) DrawDottedFocusRect(C, TRect(0, 0, w, h));
}

void TspListBox::DrawSkinItem(TCanvas* C, int Index, const TRect& R, TOwnerDrawState State) {
    TspSkinCustomListBox* o = SkinListBox;
    const int w = RectWidth(R), h = RectHeight(o->SItemRect);
    TBitmap bg;
    const bool focused = State & odFocused, selected = State & odSelected;
    if (focused && !selected)
        BuildHorzSkinImage(o->ItemLeftOffset, o->ItemRightOffset, &bg, o->Picture, o->SItemRect, w,
                           h, o->StretchEffect);
    else if (focused)
        BuildHorzSkinImage(o->ItemLeftOffset, o->ItemRightOffset, &bg, o->Picture, o->FocusItemRect,
                           w, h, o->StretchEffect);
    else if (selected)
        BuildHorzSkinImage(o->ItemLeftOffset, o->ItemRightOffset, &bg, o->Picture,
                           o->ActiveItemRect, w, h, o->StretchEffect);
    else
        BuildHorzSkinImage(o->ItemLeftOffset, o->ItemRightOffset, &bg, o->Picture, o->SItemRect, w,
                           h, false);
    C->Draw(0, 0, &bg);
    TRect TR = o->ItemTextRect;
    TR.Right += w - RectWidth(o->SItemRect);
    if (o->UseSkinFont()) {
        C->Font()->SetName(o->FontName);
        C->Font()->SetStyle(o->FontStyle);
        C->Font()->SetHeight(o->FontHeight);
    } else {
        C->Font()->Assign(o->DefaultFont());
    }
    C->Font()->SetCharset(charsetOf(o->SkinData(), o->DefaultFont()));
    C->Font()->SetColor(focused ? (selected ? o->FocusFontColor : o->FontColor)
                                : (selected ? o->ActiveFontColor : o->FontColor));
    if (!o->OnDrawItem && focused && o->ShowFocus)
        DrawDottedFocusRect(C, TRect(0, 0, w, RectHeight(R)));
    DrawContent(C, Index, TR, State, w, RectHeight(R), TR);
}

void TspListBox::DrawStretchedSkinItem(TCanvas* C, int Index, const TRect& R,
                                       TOwnerDrawState State) {
    TspSkinCustomListBox* o = SkinListBox;
    const int w = RectWidth(R), h = RectHeight(R);
    const bool focused = State & odFocused, selected = State & odSelected;
    const TRect src = focused ? o->FocusItemRect : selected ? o->ActiveItemRect : o->SItemRect;
    TBitmap bg(w, h);
    BuildStretchedSkinImage(&bg, o->Picture, src, inset(o->ItemTextRect, 1), true);
    C->Draw(0, 0, &bg);
    TRect TR = o->ItemTextRect;
    TR.Right += w - RectWidth(o->SItemRect);
    TR.Bottom += h - RectHeight(o->SItemRect);
    if (o->UseSkinFont()) {
        C->Font()->SetName(o->FontName);
        C->Font()->SetStyle(o->FontStyle);
        C->Font()->SetHeight(o->FontHeight);
    } else {
        C->Font()->Assign(o->DefaultFont());
    }
    C->Font()->SetCharset(charsetOf(o->SkinData(), o->DefaultFont()));
    C->Font()->SetColor(focused ? o->FocusFontColor : selected ? o->ActiveFontColor : o->FontColor);
    if (!o->OnDrawItem && focused && o->ShowFocus) DrawDottedFocusRect(C, TRect(0, 0, w, h));
    DrawContent(C, Index, TR, State, w, RectHeight(o->SItemRect), TR);
}

void TspListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (SkinListBox) SkinListBox->ListBoxMouseDown(Button, Shift, X, Y);
    TListBox::MouseDown(Button, Shift, X, Y);
}

void TspListBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (SkinListBox) SkinListBox->ListBoxMouseUp(Button, Shift, X, Y);
    TListBox::MouseUp(Button, Shift, X, Y);
}

void TspListBox::MouseMove(TShiftState Shift, int X, int Y) {
    if (SkinListBox) SkinListBox->ListBoxMouseMove(Shift, X, Y);
    TListBox::MouseMove(Shift, X, Y);
}

void TspListBox::KeyDown(WORD& Key, TShiftState Shift) {
    if (SkinListBox) {
        SkinListBox->ListBoxKeyDown(Key, Shift);
        if (TspSkinScrollBar* h = SkinListBox->HScrollBar.get()) {
            if (Key == VK_LEFT) {
                h->SetPosition(h->Position() - h->SmallChange());
                Key = 0;
            } else if (Key == VK_RIGHT) {
                h->SetPosition(h->Position() + h->SmallChange());
                Key = 0;
            }
        }
    }
    TListBox::KeyDown(Key, Shift);
}

void TspListBox::KeyUp(WORD& Key, TShiftState Shift) {
    if (SkinListBox) SkinListBox->ListBoxKeyUp(Key, Shift);
    TListBox::KeyUp(Key, Shift);
}

void TspListBox::KeyPress(char32_t& Key) {
    if (SkinListBox) SkinListBox->ListBoxKeyPress(Key);
    TListBox::KeyPress(Key);
}

void TspListBox::Click() {
    if (SkinListBox) SkinListBox->ListBoxClick();
    TListBox::Click();
}

void TspListBox::WndProc(TMessage& Message) {
    if (SkinListBox) {
        bool doDefault = true;
        SkinListBox->ListBoxWProc(Message, doDefault);
        if (!doDefault) return;
    }
    switch (Message.Msg) {
    case WM_NCCALCSIZE:
        // The native bars keep their ranges but never take room or show.
        Message.Result = 0;
        return;
    case WM_NCPAINT:
        Message.Result = 0;
        return;
    case WM_PAINT: {
        if (Message.WParam) {
            PaintWindow(reinterpret_cast<HDC>(Message.WParam));
        } else {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Handle(), &ps);
            PaintWindow(dc);
            EndPaint(Handle(), &ps);
        }
        Message.Result = 0;
        return;
    }
    case WM_ERASEBKGND:
        EraseBackground(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 1;
        if (SkinListBox) SkinListBox->UpDateScrollBar();
        return;
    case CN_DRAWITEM: {
        auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
        TOwnerDrawState state = 0;
        if (di->itemState & ODS_SELECTED) state |= odSelected;
        if (di->itemState & ODS_FOCUS) state |= odFocused;
        if (SkinListBox && !SkinListBox->ShowFocus && HasElement())
            state &= ~TOwnerDrawState(odFocused);
        DrawItemOf(di->hDC, int(di->itemID), TRect(di->rcItem), state);
        Message.Result = 1;
        return;
    }
    case WM_SKIN_PAINTNCTODC:
        Message.Result = 12851;
        return;
    case kListPrintNc:
        if (Message.LParam == kPrintNcMagic && Count() == 0) {
            if (Message.WParam) EraseBackground(reinterpret_cast<HDC>(Message.WParam));
            Message.Result = kPrintNcMagic;
            return;
        }
        break;
    case CM_ENTER:
        if (SkinListBox) SkinListBox->ListBoxEnter();
        break;
    case CM_EXIT:
        if (SkinListBox) SkinListBox->ListBoxExit();
        break;
    case WM_MOUSEWHEEL:
        if (SkinListBox && SkinListBox->ScrollBar) {
            SendMessage(Handle(), WM_VSCROLL, int32_t(Message.WParam) < 1 ? SB_LINEDOWN : SB_LINEUP,
                        0);
            SkinListBox->UpDateScrollBar();
        } else if (SkinListBox && SkinListBox->HScrollBar) {
            TspSkinScrollBar* h = SkinListBox->HScrollBar.get();
            h->SetPosition(h->Position() +
                           (int32_t(Message.WParam) < 1 ? h->SmallChange() : -h->SmallChange()));
        }
        Message.Result = 0;
        return;
    default:
        break;
    }
    TListBox::WndProc(Message);
    if (!SkinListBox) return;
    switch (Message.Msg) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    case LB_DELETESTRING:
    case LB_RESETCONTENT:
        SkinListBox->UpDateScrollBar();
        break;
    case WM_LBUTTONDBLCLK:
        SkinListBox->ListBoxDblClick();
        break;
    case WM_VSCROLL:
    case WM_KEYDOWN:
    case LB_SETCURSEL:
    case LB_SETTOPINDEX:
        // The bar follows keyboard scrolling at once.
        SkinListBox->UpDateScrollBar();
        break;
    default:
        break;
    }
}

// ---- TspSkinCustomListBox ------------------------------------------------------------------

TspSkinCustomListBox::TspSkinCustomListBox(TComponent* AOwner)
    : TspSkinCustomControl(AOwner), FTabWidths(std::make_unique<TStringList>()),
      FDefaultCaptionFont(std::make_unique<TFont>()), FGlyph(std::make_unique<TBitmap>()) {
    ControlStyle = csAcceptsControls | csCaptureMouse | csClickEvents | csOpaque | csDoubleClicks;
    FForceBackground = true;
    FDrawbackground = false;
    Font()->SetName("Arial");
    Font()->SetHeight(14);
    Font()->SetColor(clWindowText);
    FDefaultCaptionFont->SetName("Arial");
    FDefaultCaptionFont->SetHeight(14);
    FDefaultCaptionFont->OnChange = [this](TObject*) {
        if (FIndex == -1 && FCaptionMode) Repaint();
    };
    ListBox = std::make_unique<TspListBox>(nullptr);
    ListBox->SkinListBox = this;
    ListBox->Style = lbOwnerDrawFixed;
    ListBox->SetItemHeight(FDefaultItemHeight);
    ListBox->SetParent(this);
    FSkinDataName = "listbox";
    SetBounds(0, 0, 120, 120);
}

TspSkinCustomListBox::~TspSkinCustomListBox() {
    if (FTimerOn && HandleAllocated()) KillTimer(Handle(), kRepeatTimer);
    ScrollBar.reset();
    HScrollBar.reset();
    ListBox.reset();
}

void TspSkinCustomListBox::CreateParams(TCreateParams& Params) {
    TspSkinCustomControl::CreateParams(Params);
    Params.WindowClassStyle &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TspSkinCustomListBox::Notification(TComponent* AComponent, TOperation Operation) {
    TspSkinCustomControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages) FImages = nullptr;
}

void TspSkinCustomListBox::SetItems(TStrings* Value) {
    ListBox->Items()->Assign(Value);
    UpDateScrollBar();
}

void TspSkinCustomListBox::SetSorted(bool Value) {
    if (ScrollBar) HideVScrollBar();
    ListBox->Sorted = Value;
    recreateWindow(ListBox.get());
}

void TspSkinCustomListBox::SetMultiSelect(bool Value) {
    ListBox->MultiSelect = Value;
    recreateWindow(ListBox.get());
}

void TspSkinCustomListBox::SetDefaultItemHeight(int Value) {
    FDefaultItemHeight = Value;
    GetSkinData();
    if (FIndex == -1 || !UseSkinItemHeight) ListBox->SetItemHeight(Value);
}

void TspSkinCustomListBox::SetRowCount(int Value) {
    FRowCount = Value;
    if (Value != 0) SetHeight(CalcHeight(Value));
    UpDateScrollBar();
}

void TspSkinCustomListBox::SetHorizontalExtent(bool Value) {
    FHorizontalExtent = Value;
    UpDateScrollBar();
}

void TspSkinCustomListBox::SetTabWidths(TStrings* Value) {
    FTabWidths->Assign(Value);
    if (FTabWidths->Count() > 0) ListBox->Invalidate();
}

void TspSkinCustomListBox::SetImages(TCustomImageList* Value) {
    if (FImages) FImages->RemoveFreeNotification(this);
    FImages = Value;
    if (Value) Value->FreeNotification(this);
    ListBox->Repaint();
}

void TspSkinCustomListBox::SetImageIndex(int Value) {
    FImageIndex = Value;
    ListBox->Repaint();
}

void TspSkinCustomListBox::SetCaptionMode(bool Value) {
    FCaptionMode = Value;
    if (FIndex == -1) {
        CalcListRect();
        Repaint();
    }
}

void TspSkinCustomListBox::SetDefaultCaptionHeight(int Value) {
    FDefaultCaptionHeight = Value;
    if (FIndex == -1 && FCaptionMode) {
        CalcListRect();
        Repaint();
    }
}

void TspSkinCustomListBox::SetAlignment(TAlignment Value) {
    if (FAlignment == Value) return;
    FAlignment = Value;
    if (FCaptionMode) Repaint();
}

void TspSkinCustomListBox::SetShowCaptionButtons(bool Value) {
    if (FShowCaptionButtons == Value) return;
    FShowCaptionButtons = Value;
    Repaint();
}

void TspSkinCustomListBox::SetNumGlyphs(int Value) {
    FNumGlyphs = Value;
    Repaint();
}

void TspSkinCustomListBox::SetSpacing(int Value) {
    FSpacing = Value;
    Repaint();
}

void TspSkinCustomListBox::GetSkinData() {
    TspSkinCustomControl::GetSkinData();
    auto* el = elementOf<TspDataSkinListBox>(FSD, FIndex);
    FElement = el != nullptr;
    if (!el) {
        FIndex = -1;
        return;
    }
    auto orElse = [](const TRect& r, const TRect& other) { return IsEmptyRect(r) ? other : r; };
    FontName = el->FontName;
    FontStyle = el->FontStyle;
    FontHeight = el->FontHeight;
    SItemRect = el->SItemRect;
    ActiveItemRect = orElse(el->ActiveItemRect, SItemRect);
    FocusItemRect = orElse(el->FocusItemRect, SItemRect);
    ItemLeftOffset = el->ItemLeftOffset;
    ItemRightOffset = el->ItemRightOffset;
    ItemTextRect = el->ItemTextRect;
    FontColor = el->FontColor;
    ActiveFontColor = el->ActiveFontColor;
    FocusFontColor = el->FocusFontColor;
    CaptionRect = el->CaptionRect;
    CaptionFontName = el->CaptionFontName;
    CaptionFontStyle = el->CaptionFontStyle;
    CaptionFontHeight = el->CaptionFontHeight;
    CaptionFontColor = el->CaptionFontColor;
    UpButtonRect = el->UpButtonRect;
    ActiveUpButtonRect = el->ActiveUpButtonRect;
    DownUpButtonRect = orElse(el->DownUpButtonRect, ActiveUpButtonRect);
    DownButtonRect = el->DownButtonRect;
    ActiveDownButtonRect = el->ActiveDownButtonRect;
    DownDownButtonRect = orElse(el->DownDownButtonRect, ActiveDownButtonRect);
    CheckButtonRect = el->CheckButtonRect;
    ActiveCheckButtonRect = el->ActiveCheckButtonRect;
    DownCheckButtonRect = orElse(el->DownCheckButtonRect, ActiveCheckButtonRect);
    VScrollBarName = el->VScrollBarName;
    HScrollBarName = el->HScrollBarName;
    BothScrollBarName = el->BothScrollBarName;
    ShowFocus = el->ShowFocus;
    DisabledButtonsRect = el->DisabledButtonsRect;
    ButtonsArea = el->ButtonsArea;
}

int TspSkinCustomListBox::ItemTextWidth(int Index, TCanvas* Canvas) {
    return Canvas->TextWidth(Items()->Get(Index));
}

void TspSkinCustomListBox::ListBoxMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnListBoxMouseDown) OnListBoxMouseDown(this, Button, Shift, X, Y);
}
void TspSkinCustomListBox::ListBoxMouseMove(TShiftState Shift, int X, int Y) {
    if (OnListBoxMouseMove) OnListBoxMouseMove(this, Shift, X, Y);
}
void TspSkinCustomListBox::ListBoxMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnListBoxMouseUp) OnListBoxMouseUp(this, Button, Shift, X, Y);
}
void TspSkinCustomListBox::ListBoxClick() {
    if (OnListBoxClick) OnListBoxClick(this);
}
void TspSkinCustomListBox::ListBoxDblClick() {
    if (OnListBoxDblClick) OnListBoxDblClick(this);
}
void TspSkinCustomListBox::ListBoxKeyDown(WORD& Key, TShiftState Shift) {
    if (OnListBoxKeyDown) OnListBoxKeyDown(this, Key, Shift);
}
void TspSkinCustomListBox::ListBoxKeyUp(WORD& Key, TShiftState Shift) {
    if (OnListBoxKeyUp) OnListBoxKeyUp(this, Key, Shift);
}
void TspSkinCustomListBox::ListBoxKeyPress(char32_t& Key) {
    if (OnListBoxKeyPress) OnListBoxKeyPress(this, Key);
}
void TspSkinCustomListBox::ListBoxWProc(TMessage&, bool& DoDefault) {
    DoDefault = true;
}

int TspSkinCustomListBox::ItemAtPos(const TPoint& Pos, bool Existing) {
    if (Pos.X < 0 || Pos.Y < 0 || Pos.X >= ListBox->Width() || Pos.Y >= ListBox->Height())
        return -1;
    const int n = ListBox->Count();
    for (int i = ListBox->TopIndex(); i < n; ++i) {
        const TRect r = ListBox->ItemRect(i);
        if (Pos.X >= r.Left && Pos.X < r.Right && Pos.Y >= r.Top && Pos.Y < r.Bottom) return i;
    }
    return Existing ? -1 : n;
}

void TspSkinCustomListBox::Clear() {
    ListBox->Clear();
    UpDateScrollBar();
}

int TspSkinCustomListBox::CalcHeight(int AItemsCount) {
    GetSkinData();
    int h =
        FIndex == -1
            ? AItemsCount * ListBox->ItemHeight() + 4 + (FCaptionMode ? FDefaultCaptionHeight : 0)
            : RectHeight(SkinRect) - RectHeight(ClRect) + AItemsCount * ListBox->ItemHeight();
    if (HScrollBar) h += HScrollBar->Height();
    return h;
}

void TspSkinCustomListBox::CalcListRect() {
    if (!ListBox) return;
    GetSkinData();
    const int W = Width(), H = Height();
    int T = 1;
    if (FIndex == -1) {
        T = FCaptionMode ? FDefaultCaptionHeight : 1;
    } else {
        NewClRect = ClRect;
        NewClRect.Right += W - RectWidth(SkinRect);
        NewClRect.Bottom += H - RectHeight(SkinRect);
    }
    int h = 0;
    if (HScrollBar && HScrollBar->Visible()) {
        if (FIndex == -1) {
            HScrollBar->SetBounds(1, H - 20, W - 2, 19);
            h = HScrollBar->Height() - 1;
        } else {
            HScrollBar->SetBounds(NewClRect.Left, NewClRect.Bottom - HScrollBar->Height(),
                                  RectWidth(NewClRect), HScrollBar->Height());
            h = HScrollBar->Height();
        }
    }
    if (ScrollBar && ScrollBar->Visible()) {
        if (FIndex == -1) {
            ScrollBar->SetBounds(W - 20, T, 19, H - T - h - 1);
            ListRect = TRect(2, T + 1, ScrollBar->Left(), H - h - 2);
        } else {
            ScrollBar->SetBounds(NewClRect.Right - ScrollBar->Width(), NewClRect.Top,
                                 ScrollBar->Width(), RectHeight(NewClRect) - h);
            ListRect = NewClRect;
            ListRect.Right -= ScrollBar->Width();
            ListRect.Bottom -= h;
        }
    } else if (FIndex == -1) {
        ListRect = TRect(2, T + 1, W - 2, H - 2 - h);
    } else {
        ListRect = NewClRect;
        ListRect.Bottom -= h;
    }
    ListBox->SetBounds(ListRect.Left, ListRect.Top, std::max(0, RectWidth(ListRect)),
                       std::max(0, RectHeight(ListRect)));
}

void TspSkinCustomListBox::SBChange(TObject*) {
    SendMessage(ListBox->Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, ScrollBar->Position()),
                0);
}

void TspSkinCustomListBox::HSBChange(TObject*) {
    ListBox->FHorizontalExtentValue = HScrollBar->Position();
    ListBox->Repaint();
}

void TspSkinCustomListBox::ShowVScrollBar() {
    ScrollBar = std::make_unique<TspSkinScrollBar>(nullptr);
    ScrollBar->SetKind(sbVertical);
    ScrollBar->SetBounds(0, 0, 20, 100);
    ScrollBar->OnChange = [this](TObject* s) { SBChange(s); };
    ScrollBar->SetSkinDataName(FIndex == -1 ? "" : VScrollBarName);
    ScrollBar->SetSkinData(FSD);
    ScrollBar->SetParent(this);
    if (HScrollBar) {
        if (FIndex == -1) {
            HScrollBar->SetSkinDataName("");
            HScrollBar->FBoth = true;
            HScrollBar->SetBothMarkerWidth(19);
        } else {
            HScrollBar->BothSkinDataName = BothScrollBarName;
            HScrollBar->SetSkinDataName(BothScrollBarName);
            HScrollBar->FBoth = true;
        }
        HScrollBar->SetSkinData(FSD);
    }
    CalcListRect();
    ScrollBar->Show();
    Repaint();
}

void TspSkinCustomListBox::ShowHScrollBar() {
    HScrollBar = std::make_unique<TspSkinScrollBar>(nullptr);
    HScrollBar->SetKind(sbHorizontal);
    HScrollBar->SetBounds(0, 0, 100, 20);
    HScrollBar->OnChange = [this](TObject* s) { HSBChange(s); };
    if (FIndex == -1) {
        HScrollBar->SetSkinDataName("");
        if (ScrollBar) {
            HScrollBar->FBoth = true;
            HScrollBar->SetBothMarkerWidth(19);
        }
    } else if (ScrollBar) {
        HScrollBar->BothSkinDataName = BothScrollBarName;
        HScrollBar->SetSkinDataName(BothScrollBarName);
        HScrollBar->FBoth = true;
    } else {
        HScrollBar->BothSkinDataName = HScrollBarName;
        HScrollBar->SetSkinDataName(HScrollBarName);
        HScrollBar->FBoth = false;
    }
    HScrollBar->SetSkinData(FSD);
    HScrollBar->SetParent(this);
    HScrollBar->Show();
    CalcListRect();
    Repaint();
}

void TspSkinCustomListBox::HideVScrollBar() {
    if (!ScrollBar) return;
    ScrollBar->Hide();
    ScrollBar.reset();
    CalcListRect();
}

void TspSkinCustomListBox::HideHScrollBar() {
    if (!HScrollBar) return;
    HScrollBar->Hide();
    HScrollBar.reset();
    CalcListRect();
    ListBox->FHorizontalExtentValue = 0;
    ListBox->Repaint();
}

void TspSkinCustomListBox::UpDateScrollBar() {
    if (!ListBox || !ListBox->HandleAllocated()) return;
    GetSkinData();
    if (!FHorizontalExtent || FStopUpDateHScrollBar) {
        if (HScrollBar && HScrollBar->Visible()) HideHScrollBar();
    } else {
        TCanvas* C = ListBox->Canvas();
        const bool own = !C->HandleAllocated();
        HDC dc = own ? GetDC(ListBox->Handle()) : nullptr;
        if (own) C->SetHandle(dc);
        if (FIndex != -1 && FUseSkinFont) {
            C->Font()->SetName(FontName);
            C->Font()->SetStyle(FontStyle);
            C->Font()->SetHeight(FontHeight);
        } else {
            C->Font()->Assign(ListBox->Font());
        }
        int amax = 0;
        for (int i = 0; i < ListBox->Count(); ++i)
            amax = std::max(amax, ItemTextWidth(i, C));
        int P = FIndex == -1 ? ListBox->Width() - 4
                             : ListBox->Width() + RectWidth(ItemTextRect) - RectWidth(SItemRect);
        if (FImages) P -= FImages->Width() + 4;
        const int zero = C->TextWidth("0");
        if (own) {
            C->SetHandle(nullptr);
            ReleaseDC(ListBox->Handle(), dc);
        }
        if (P < amax) {
            if (!HScrollBar) ShowHScrollBar();
            HScrollBar->SetRange(0, amax, HScrollBar->Position(), P);
            HScrollBar->SetSmallChange(zero);
            HScrollBar->SetLargeChange(zero);
        } else if (HScrollBar && HScrollBar->Visible()) {
            HideHScrollBar();
        }
    }
    if (FRowCount > 0 && FRowCount == ListBox->Count()) {
        if (ScrollBar && ScrollBar->Visible()) HideVScrollBar();
        return;
    }
    SCROLLINFO si{};
    si.fMask = SIF_RANGE | SIF_POS;
    GetScrollInfo(ListBox->Handle(), SB_VERT, &si);
    const int P = ListBox->Height() / std::max(1, ListBox->ItemHeight());
    if (si.nMax > si.nMin && si.nPos <= si.nMax && P < ListBox->Count()) {
        if (!ScrollBar) ShowVScrollBar();
        ScrollBar->SetRange(si.nMin, si.nMax, si.nPos, P);
        ScrollBar->SetLargeChange(P);
        return;
    }
    if (ScrollBar && ScrollBar->Visible()) HideVScrollBar();
}

void TspSkinCustomListBox::ChangeSkinData() {
    TspSkinCustomControl::ChangeSkinData();
    FStopUpDateHScrollBar = true;
    if (FIndex == -1) {
        ListBox->SetItemHeight(FDefaultItemHeight);
        ListBox->Font()->Assign(DefaultFont());
    } else if (UseSkinItemHeight) {
        ListBox->SetItemHeight(RectHeight(SItemRect));
    }
    if (ScrollBar) {
        ScrollBar->SetSkinDataName(FIndex == -1 ? "" : VScrollBarName);
        ScrollBar->SetSkinData(FSD);
        if (!FSD || FSD->Empty) ScrollBar->ChangeSkinData();
    }
    if (HScrollBar) {
        if (FIndex == -1) {
            HScrollBar->SetSkinDataName("");
            if (ScrollBar) HScrollBar->SetBothMarkerWidth(19);
        } else {
            HScrollBar->SetSkinDataName(ScrollBar ? BothScrollBarName : HScrollBarName);
        }
        HScrollBar->SetSkinData(FSD);
    }
    if (FRowCount != 0) SetHeight(CalcHeight(FRowCount));
    CalcListRect();
    FStopUpDateHScrollBar = false;
    UpDateScrollBar();
    ListBox->Repaint();
}

void TspSkinCustomListBox::DefaultFontChanged() {
    if (FIndex == -1) Font()->Assign(DefaultFont());
}

void TspSkinCustomListBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TspSkinCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (FIndex == -1 && HandleAllocated()) Repaint();
}

// The caption text's width with the glyph and its spacing.
int TspSkinCustomListBox::CaptionWidth(TCanvas* C) {
    int cw = C->TextWidth(Caption());
    if (!FGlyph->Empty()) cw += FGlyph->Width() / std::max(1, FNumGlyphs) + FSpacing;
    return cw;
}

void TspSkinCustomListBox::DrawCaptionText(TCanvas* C, const TRect& R, int X, int Y) {
    int tx = X;
    const int n = std::max(1, FNumGlyphs);
    if (!FGlyph->Empty()) tx += FGlyph->Width() / n + FSpacing;
    C->Brush()->SetStyle(bsClear);
    C->TextRect(R, tx, Y, Caption());
    if (!FGlyph->Empty()) {
        const int gy = R.Top + RectHeight(R) / 2 - FGlyph->Height() / 2 - (FIndex == -1 ? 1 : 0);
        DrawGlyphFromStrip(C, X, gy, FGlyph.get(), n, !Enabled() && n == 2 ? 2 : 1);
    }
}

void TspSkinCustomListBox::DrawButton(TCanvas* C, int I) {
    TspCBButtonX& b = Buttons[I];
    if (FIndex == -1) {
        if (b.Down && b.MouseIn)
            drawDefaultButton(C, b.R, true, true);
        else if (b.MouseIn)
            drawDefaultButton(C, b.R, false, true);
        else {
            C->Brush()->SetColor(clBtnFace);
            C->FillRect(b.R);
        }
        if (I == 2)
            DrawCheckMark(C, b.R.Left + 4, b.R.Top + 4, clBlack);
        else
            DrawArrow(C, b.R, clBlack, I == 0 ? 3 : 4);
        return;
    }
    if (IsEmptyRect(b.R) || !Picture) return;
    const TRect downs[3] = {DownUpButtonRect, DownDownButtonRect, DownCheckButtonRect};
    const TRect actives[3] = {ActiveUpButtonRect, ActiveDownButtonRect, ActiveCheckButtonRect};
    const TRect normals[3] = {UpButtonRect, DownButtonRect, CheckButtonRect};
    TRect src;
    if (b.Down && b.MouseIn)
        src = downs[I];
    else if (b.MouseIn)
        src = actives[I];
    if (IsEmptyRect(src)) src = moved(normals[I], SkinRect.Left, SkinRect.Top);
    copyFromPicture(C, Picture, b.R, src);
}

void TspSkinCustomListBox::DrawDefaultImage(TBitmap* B) {
    TspSkinCustomControl::DrawDefaultImage(B);
    TCanvas* C = B->Canvas();
    const int W = B->Width(), H = B->Height();
    const bool buttons = FCaptionMode && FShowCaptionButtons;
    const int a = std::min(17, FDefaultCaptionHeight - 3);
    if (buttons) {
        Buttons[0].R = TRect(W - a - 2, 2, W - 2, a + 2);
        Buttons[1].R = moved(Buttons[0].R, -a, 0);
        Buttons[2].R = moved(Buttons[1].R, -a, 0);
    } else {
        for (auto& b : Buttons)
            b.R = TRect();
    }
    C->Brush()->SetColor(clBtnShadow);
    C->FrameRect(TRect(0, 0, W, H));
    if (!FCaptionMode) return;
    const TRect R = buttons ? TRect(3, 2, W - 3 * a - 3, FDefaultCaptionHeight - 2)
                            : TRect(3, 2, W - 2, FDefaultCaptionHeight - 2);
    C->Font()->Assign(FDefaultCaptionFont.get());
    C->Font()->SetCharset(charsetOf(FSD, FDefaultCaptionFont.get()));
    if (FNumGlyphs == 0) FNumGlyphs = 1;
    const int cw = CaptionWidth(C);
    const int x = FAlignment == taRightJustify ? R.Right - cw
                  : FAlignment == taCenter     ? R.Left + RectWidth(R) / 2 - cw / 2
                                               : R.Left;
    const int y = (FDefaultCaptionHeight - 2) / 2 - C->TextHeight("Wg") / 2;
    DrawCaptionText(C, R, x, y);
    C->Pen()->SetColor(clBtnShadow);
    C->MoveTo(1, FDefaultCaptionHeight - 1);
    C->LineTo(W - 1, FDefaultCaptionHeight - 1);
    if (buttons)
        for (int i = 0; i < 3; ++i)
            DrawButton(C, i);
}

void TspSkinCustomListBox::DrawSkinImage(TBitmap* B) {
    TspSkinCustomControl::DrawSkinImage(B);
    const int W = Width(), H = Height();
    const int dw = W - RectWidth(SkinRect), dh = H - RectHeight(SkinRect);
    TCanvas* C = B->Canvas();
    if (!FShowCaptionButtons && !IsEmptyRect(UpButtonRect) && Picture) {
        if (IsEmptyRect(DisabledButtonsRect)) {
            const int rows = std::min(B->Height(), NewClRect.Top);
            if (rows > 0)
                C->CopyRect(
                    TRect(NewLTPoint.X, 0, W + UpButtonRect.Right - RectWidth(SkinRect), rows), C,
                    TRect(NewLTPoint.X, 0, NewRTPoint.X, rows));
        } else {
            copyFromPicture(C, Picture, moved(ButtonsArea, dw, 0), DisabledButtonsRect);
        }
    }
    NewClRect = ClRect;
    NewClRect.Right += dw;
    NewClRect.Bottom += dh;
    if (!FCaptionMode) return;
    auto place = [&](TRect R) {
        if (LTPt.Y < R.Top) {
            R = moved(R, 0, dh);
            if (RBPt.X < R.Left) R = moved(R, dw, 0);
        } else if (RTPt.X < R.Left) {
            R = moved(R, dw, 0);
        }
        return R;
    };
    NewCaptionRect = CaptionRect;
    if (FShowCaptionButtons) {
        if (CaptionRect.Right >= RTPt.X) NewCaptionRect.Right += dw;
        Buttons[0].R = place(UpButtonRect);
        Buttons[1].R = place(DownButtonRect);
        Buttons[2].R = place(CheckButtonRect);
    } else {
        NewCaptionRect.Right = W - CaptionRect.Left;
        for (auto& b : Buttons)
            b.R = TRect();
    }
    if (!IsEmptyRect(CaptionRect)) {
        C->Font()->SetName(CaptionFontName);
        C->Font()->SetHeight(CaptionFontHeight);
        C->Font()->SetColor(CaptionFontColor);
        C->Font()->SetStyle(CaptionFontStyle);
        C->Font()->SetCharset(charsetOf(FSD, FDefaultCaptionFont.get()));
        const int cw = CaptionWidth(C);
        const TRect& R = NewCaptionRect;
        const int y = R.Top + RectHeight(R) / 2 - C->TextHeight("Wg") / 2;
        const int x = FAlignment == taRightJustify ? R.Right - cw - 2
                      : FAlignment == taCenter     ? R.Left + 2 + RectWidth(R) / 2 - cw / 2
                                                   : R.Left + 2;
        DrawCaptionText(C, R, x, y);
    }
    if (FShowCaptionButtons)
        for (int i = 0; i < 3; ++i)
            DrawButton(C, i);
}

void TspSkinCustomListBox::TestActive(int X, int Y) {
    if (!FCaptionMode || !FShowCaptionButtons) return;
    if (FIndex != -1 && IsEmptyRect(UpButtonRect) && IsEmptyRect(DownButtonRect)) return;
    OldActiveButton = ActiveButton;
    ActiveButton = -1;
    for (int i = 0; i < 3; ++i)
        if (holds(Buttons[i].R, X, Y)) {
            ActiveButton = i;
            break;
        }
    if (CaptureButton != -1 && ActiveButton != CaptureButton) ActiveButton = -1;
    if (ActiveButton == OldActiveButton) return;
    if (OldActiveButton != -1) ButtonLeave(OldActiveButton);
    if (ActiveButton != -1) ButtonEnter(ActiveButton);
}

void TspSkinCustomListBox::StepSelection(int Mode) {
    const int i = ItemIndex();
    if (Mode == 1 && i >= 1) SetItemIndex(i - 1);
    if (Mode == 2 && i < Items()->Count() - 1) SetItemIndex(i + 1);
}

void TspSkinCustomListBox::ButtonDown(int I) {
    Buttons[I].MouseIn = true;
    Buttons[I].Down = true;
    Repaint();
    const TNotifyEvent& ev = I == 0   ? OnUpButtonClick
                             : I == 1 ? OnDownButtonClick
                                      : OnCheckButtonClick;
    if (ev) return;
    TimerMode = I == 0 ? 1 : I == 1 ? 2 : 0;
    if (I < 2 && HandleAllocated()) {
        WaitMode = true;
        SetTimer(Handle(), kRepeatTimer, 500, nullptr);
        FTimerOn = true;
    }
}

void TspSkinCustomListBox::ButtonEnter(int I) {
    Buttons[I].MouseIn = true;
    Repaint();
    if (TimerMode != 0 && Buttons[I].Down && HandleAllocated()) {
        SetTimer(Handle(), kRepeatTimer, 50, nullptr);
        FTimerOn = true;
    }
}

void TspSkinCustomListBox::ButtonLeave(int I) {
    Buttons[I].MouseIn = false;
    Repaint();
    if (TimerMode != 0 && Buttons[I].Down && FTimerOn) {
        KillTimer(Handle(), kRepeatTimer);
        FTimerOn = false;
    }
}

void TspSkinCustomListBox::ButtonUp(int I) {
    Buttons[I].Down = false;
    if (ActiveButton != I) Buttons[I].MouseIn = false;
    Repaint();
    const TNotifyEvent& ev = I == 0   ? OnUpButtonClick
                             : I == 1 ? OnDownButtonClick
                                      : OnCheckButtonClick;
    if (Buttons[I].MouseIn && ev) {
        ev(this);
    } else if (I == 0) {
        StepSelection(1);
    } else if (I == 1) {
        StepSelection(2);
    } else {
        ListBox->Click();
    }
    if (TimerMode != 0) {
        if (FTimerOn) KillTimer(Handle(), kRepeatTimer);
        FTimerOn = false;
        TimerMode = 0;
    }
}

void TspSkinCustomListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TestActive(X, Y);
    if (ActiveButton != -1) {
        CaptureButton = ActiveButton;
        ButtonDown(ActiveButton);
    }
    TspSkinCustomControl::MouseDown(Button, Shift, X, Y);
}

void TspSkinCustomListBox::MouseMove(TShiftState Shift, int X, int Y) {
    TspSkinCustomControl::MouseMove(Shift, X, Y);
    TestActive(X, Y);
}

void TspSkinCustomListBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (CaptureButton != -1) ButtonUp(CaptureButton);
    CaptureButton = -1;
    TspSkinCustomControl::MouseUp(Button, Shift, X, Y);
}

void TspSkinCustomListBox::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_TIMER:
        TspSkinCustomControl::WndProc(Message);
        if (Message.WParam != kRepeatTimer) return;
        if (WaitMode) {
            WaitMode = false;
            SetTimer(Handle(), kRepeatTimer, 100, nullptr);
            return;
        }
        StepSelection(TimerMode);
        return;
    case WM_SIZE:
        TspSkinCustomControl::WndProc(Message);
        CalcListRect();
        UpDateScrollBar();
        if (ScrollBar) ScrollBar->Repaint();
        return;
    case WM_CREATE:
        TspSkinCustomControl::WndProc(Message);
        CalcListRect();
        return;
    case CM_TEXTCHANGED:
        TspSkinCustomControl::WndProc(Message);
        if (FCaptionMode) Repaint();
        return;
    case CM_MOUSEENTER:
        TspSkinCustomControl::WndProc(Message);
        TestActive(-1, -1);
        return;
    case CM_MOUSELEAVE:
        TspSkinCustomControl::WndProc(Message);
        for (auto& b : Buttons)
            if (b.MouseIn) {
                b.MouseIn = false;
                Repaint();
            }
        ActiveButton = -1;
        return;
    default:
        break;
    }
    TspSkinCustomControl::WndProc(Message);
}

// ---- TspPopupListBox -----------------------------------------------------------------------

TspPopupListBox::TspPopupListBox(TspSkinCustomComboBox* AComboBox)
    : TspSkinListBox(nullptr), FComboBox(AComboBox) {
    FVisible = false;
}

void TspPopupListBox::CreateParams(TCreateParams& Params) {
    TspSkinListBox::CreateParams(Params);
    Params.Style = WS_POPUP | WS_CLIPCHILDREN;
    Params.ExStyle = WS_EX_TOOLWINDOW;
    Params.WindowClassStyle |= CS_SAVEBITS;
    TForm* f = FComboBox ? FComboBox->GetParentForm() : nullptr;
    Params.WndParent = f && f->HandleAllocated() ? f->Handle() : 0;
}

void TspPopupListBox::UpdateShowing() {
    if (!FVisible) {
        if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
        return;
    }
    // Shown without taking the activation from the form.
    ShowWindow(Handle(), SW_SHOWNA);
}

void TspPopupListBox::WndProc(TMessage& Message) {
    if (Message.Msg == WM_MOUSEACTIVATE) {
        Message.Result = MA_NOACTIVATE;
        return;
    }
    TspSkinListBox::WndProc(Message);
}

void TspPopupListBox::Show(const TPoint& Origin) {
    HWND h = Handle();
    if (FComboBox) {
        const DWORD ex = DWORD(GetWindowLongPtr(h, GWL_EXSTYLE));
        if (FComboBox->ListBoxAlphaBlend && !FOldAlphaBlend) {
            SetWindowLongPtr(h, GWL_EXSTYLE, LONG_PTR(ex | WS_EX_LAYERED));
            FOldAlphaBlend = true;
        } else if (!FComboBox->ListBoxAlphaBlend && FOldAlphaBlend) {
            SetWindowLongPtr(h, GWL_EXSTYLE, LONG_PTR(ex & ~DWORD(WS_EX_LAYERED)));
            FOldAlphaBlend = false;
        }
        if (FComboBox->ListBoxAlphaBlend &&
            FOldAlphaBlendValue != FComboBox->ListBoxAlphaBlendValue) {
            FOldAlphaBlendValue =
                FComboBox->ListBoxAlphaBlendAnimation ? 0 : FComboBox->ListBoxAlphaBlendValue;
            SetLayeredAlpha(h, uint8_t(FOldAlphaBlendValue));
        }
    }
    TControl::SetBounds(Origin.X, Origin.Y, Width(), Height());
    FVisible = true;
    FShown = true;
    // Above the form that owns it, without taking the activation.
    SetWindowPos(h, HWND_TOP, Origin.X, Origin.Y, Width(), Height(),
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpDateScrollBar();
    if (FComboBox && FComboBox->ListBoxAlphaBlend && FComboBox->ListBoxAlphaBlendAnimation) {
        Application->ProcessMessages();
        const int target = FComboBox->ListBoxAlphaBlendValue;
        const int step = std::max(1, target / 15);
        // Each step waits past 5 ms; a stopped clock cannot hold the fade.
        for (int alpha = step;; alpha += step) {
            Application->ProcessMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(6));
            SetLayeredAlpha(h, uint8_t(std::min(alpha, target)));
            if (alpha >= target) break;
        }
        FOldAlphaBlendValue = target;
    }
}

void TspPopupListBox::Hide() {
    FVisible = false;
    FShown = false;
    if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
}

// ---- TspSkinCustomComboBox -----------------------------------------------------------------

TspSkinCustomComboBox::TspSkinCustomComboBox(TComponent* AOwner) : TspSkinCustomControl(AOwner) {
    TabStop = true;
    ControlStyle = csAcceptsControls | csCaptureMouse | csOpaque | csDoubleClicks;
    Font()->SetName("Arial");
    Font()->SetHeight(14);
    Font()->SetColor(clWindowText);
    FListBox = std::make_unique<TspPopupListBox>(this);
    FListBox->ListBox->TabStop = false;
    FListBox->OnListBoxMouseMove = [this](TObject* s, TShiftState sh, int x, int y) {
        ListBoxMouseMove(s, sh, x, y);
    };
    FListBoxWindowProc = FListBox->ListBox->WindowProc;
    FListBox->ListBox->WindowProc = [this](TMessage& m) { ListBoxWindowProc(m); };
    FListBox->OnCheckButtonClick = [this](TObject*) { CloseUp(true); };
    FSkinDataName = "combobox";
    SetBounds(0, 0, 120, 20);
}

TspSkinCustomComboBox::~TspSkinCustomComboBox() {
    StopTimer();
    if (FListBox && FListBox->ListBox) FListBox->ListBox->WindowProc = FListBoxWindowProc;
    if (FEdit) FEdit->WindowProc = FEditWindowProc;
    FEdit.reset();
    FListBox.reset();
}

void TspSkinCustomComboBox::StartTimer() {
    if (!HandleAllocated()) return;
    SetTimer(Handle(), kRepeatTimer, 25, nullptr);
    FTimerOn = true;
}

void TspSkinCustomComboBox::StopTimer() {
    if (FTimerOn && HandleAllocated()) KillTimer(Handle(), kRepeatTimer);
    FTimerOn = false;
    TimerMode = 0;
}

void TspSkinCustomComboBox::SetStyle(TspSkinCustomComboBoxStyle Value) {
    if (FStyle == Value) return;
    FStyle = Value;
    if (Value == spcbEditStyle) {
        CreateEditControl();
        if (TabStop) {
            TabStop = false;
            FEdit->TabStop = true;
        } else {
            FEdit->TabStop = false;
        }
        const bool focused = Focused();
        FEdit->SetText(Text());
        if (focused) FEdit->SetFocus();
    } else if (FEdit) {
        FEdit->WindowProc = FEditWindowProc;
        FEdit.reset();
    }
    CalcRects();
    Repaint();
}

void TspSkinCustomComboBox::CreateEditControl() {
    FEdit = std::make_unique<TspCustomEdit>(nullptr);
    FEdit->SetParent(this);
    FEdit->SetColor(FDefaultColor);
    FEdit->HideSelection = HideSelection;
    FEdit->CharCase = CharCase;
    FEdit->BorderStyle = bsNoBorder;
    FEditWindowProc = FEdit->WindowProc;
    FEdit->WindowProc = [this](TMessage& m) { EditWindowProc(m); };
    FEdit->FOnEditCancelMode = [this](TControl* c) { EditCancelMode(c); };
    FEdit->OnChange = [this](TObject* s) { EditChange(s); };
    FEdit->OnKeyDown = [this](TObject*, WORD& k, TShiftState sh) {
        if (OnKeyDown) OnKeyDown(this, k, sh);
    };
    FEdit->OnKeyPress = [this](TObject*, char32_t& k) {
        if (OnKeyPress) OnKeyPress(this, k);
    };
    FEdit->OnKeyUp = [this](TObject*, WORD& k, TShiftState sh) {
        if (OnKeyUp) OnKeyUp(this, k, sh);
    };
    ApplyEditFont();
    CalcRects();
}

void TspSkinCustomComboBox::ApplyEditFont() {
    if (!FEdit) return;
    GetSkinData();
    if (FIndex == -1) {
        FEdit->Font()->Assign(Font());
    } else {
        FEdit->Font()->SetName(FontName);
        FEdit->Font()->SetStyle(FontStyle);
        FEdit->Font()->SetHeight(FontHeight);
        FEdit->Font()->SetColor(FontColor);
    }
    if (FIndex != -1 && !FEdit->EditTransparent()) FEdit->SetEditTransparent(true);
}

void TspSkinCustomComboBox::SetUseSkinSize(bool Value) {
    FUseSkinSize = Value;
    ChangeSkinData();
}

void TspSkinCustomComboBox::SetToolButtonStyle(bool Value) {
    FToolButtonStyle = Value;
    if (Value) {
        SetStyle(spcbFixedStyle);
        FUseSkinSize = false;
    }
    Repaint();
}

void TspSkinCustomComboBox::SetDefaultColor(TColor Value) {
    FDefaultColor = Value;
    if (FIndex == -1) {
        Invalidate();
        if (FEdit) FEdit->SetColor(Value);
    }
}

void TspSkinCustomComboBox::SetImages(TCustomImageList* Value) {
    FListBox->SetImages(Value);
    Repaint();
}

void TspSkinCustomComboBox::SetImageIndex(int Value) {
    FListBox->SetImageIndex(Value);
    Repaint();
}

void TspSkinCustomComboBox::SetTextFromList(int Index) {
    const std::string t = Items()->Get(Index);
    if (t != Text()) SetText(t);
}

void TspSkinCustomComboBox::SetItemIndex(int Value) {
    FListBox->SetItemIndex(Value);
    const int i = FListBox->ItemIndex();
    if (Items()->Count() > 0 && i >= 0) SetTextFromList(i);
    FOldItemIndex = Value;
    if (FStyle == spcbFixedStyle) Repaint();
    if (!HasState(csDesigning) && !HasState(csLoading)) {
        if (OnClick) OnClick(this);
        Change();
    }
}

void TspSkinCustomComboBox::SetListIndex(int Index) {
    FListBox->SetItemIndex(Index);
}

void TspSkinCustomComboBox::TextChanged() {
    if (!FromEdit && FEdit) {
        FSettingText = true;
        FEdit->SetText(Text());
        FSettingText = false;
    }
    if (OnChange) OnChange(this);
    if (FromEdit) Change();
}

void TspSkinCustomComboBox::Invalidate() {
    TspSkinCustomControl::Invalidate();
    if (FIndex != -1 && FEdit) FEdit->Invalidate();
}

bool TspSkinCustomComboBox::CanCancelDropDown() {
    if (!FListBox->IsVisible()) return false;
    POINT p{};
    GetCursorPos(&p);
    return WindowFromPoint(p) != Handle();
}

void TspSkinCustomComboBox::DropDown() {
    if (Items()->Count() == 0) return;
    FListBox->HandleNeeded();
    WasInLB = false;
    if (TimerMode != 0) StopTimer();
    if (OnDropDown) OnDropDown(this);
    const int w = ListBoxWidth > 0 ? ListBoxWidth : Width();
    const int rows = std::min(FDropDownCount, Items()->Count());
    FListBox->SetBounds(FListBox->Left(), FListBox->Top(), w, FListBox->CalcHeight(rows));
    TPoint origin = ClientToScreen(TPoint{0, Height()});
    TRect work;
    GetMonitorArea(Handle(), true, work);
    if (origin.Y + FListBox->Height() > work.Bottom)
        origin.Y = ClientToScreen(TPoint{0, 0}).Y - FListBox->Height();
    if (FEdit) FEdit->SetFocus();
    FOldItemIndex = ItemIndex();
    if (ItemIndex() == 0 && Items()->Count() >= 2) {
        SetListIndex(1);
        SetListIndex(0);
    }
    FDropDown = true;
    if (FToolButtonStyle) Repaint();
    FListBox->SetTopIndex(std::max(0, ItemIndex()));
    FListBox->Show(origin);
}

void TspSkinCustomComboBox::CloseUp(bool Value) {
    if (!FListBox->IsVisible()) return;
    FListBox->Hide();
    const int i = FListBox->ItemIndex();
    if (i < 0) {
        SetListIndex(FOldItemIndex);
    } else if (Value && i < Items()->Count()) {
        if (FStyle == spcbEditStyle && FEdit) {
            FEdit->SetText(Items()->Get(i));
            FEdit->SelectAll();
        } else {
            SetTextFromList(i);
            Repaint();
        }
        FOldItemIndex = i;
        if (OnClick) OnClick(this);
        Change();
    } else if (!Value) {
        SetListIndex(FOldItemIndex);
    }
    FDropDown = false;
    Repaint();
    if (Value && OnCloseUp) OnCloseUp(this);
}

void TspSkinCustomComboBox::ListBoxMouseMove(TObject*, TShiftState, int X, int Y) {
    const int i = FListBox->ItemAtPos(TPoint{X, Y}, true);
    if (i >= 0 && i != FListBox->ItemIndex()) SetListIndex(i);
}

void TspSkinCustomComboBox::ListBoxWindowProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_LBUTTONUP:
        // A release that reached the list before its press took the pointer
        // for the combo box still ends that press, over the list.
        if (FLBDown && WasInLB) {
            if (GetCapture() == Handle()) ReleaseCapture();
            FLBDown = false;
            if (TimerMode != 0) StopTimer();
            CloseUp(true);
        }
        Message.Result = 0;
        return;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        Message.Result = 0;
        return;
    case WM_LBUTTONDOWN:
        // The release closes the list through the combo box.
        FLBDown = true;
        WasInLB = true;
        if (HandleAllocated()) SetCapture(Handle());
        Message.Result = 0;
        return;
    case WM_MOUSEACTIVATE:
        Message.Result = MA_NOACTIVATE;
        return;
    default:
        break;
    }
    FListBoxWindowProc(Message);
}

void TspSkinCustomComboBox::ProcessListBox() {
    TspListBox* lb = FListBox->ListBox.get();
    if (!lb->HandleAllocated()) return;
    POINT p{};
    GetCursorPos(&p);
    ::ScreenToClient(lb->Handle(), &p);
    const bool bar = FListBox->ScrollBar != nullptr;
    int mode = 0;
    if (p.y < 0) {
        if (bar && WasInLB) mode = 1;
    } else if (p.y > lb->Height()) {
        if (bar && WasInLB) mode = 2;
    } else {
        if (TimerMode != 0) StopTimer();
        SendMessage(lb->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(1, p.y));
        WasInLB = true;
        return;
    }
    if (mode != 0 && mode != TimerMode) {
        TimerMode = mode;
        StartTimer();
    }
}

void TspSkinCustomComboBox::MouseDown(TMouseButton Btn, TShiftState Shift, int X, int Y) {
    TspSkinCustomControl::MouseDown(Btn, Shift, X, Y);
    if (FStyle == spcbFixedStyle && !Focused() && CanFocus()) SetFocus();
    if (Btn != mbLeft) return;
    CalcRects();
    if (holds(Button.R, X, Y) || (FStyle == spcbFixedStyle && holds(CBItem.R, X, Y)) ||
        FToolButtonStyle) {
        Button.Down = true;
        Button.MouseIn = holds(Button.R, X, Y);
        Repaint();
        if (FListBox->IsVisible()) {
            CloseUp(false);
        } else {
            WasInLB = false;
            FLBDown = true;
            if (HandleAllocated()) SetCapture(Handle());
            DropDown();
        }
    } else if (FListBox->IsVisible()) {
        CloseUp(false);
    }
}

void TspSkinCustomComboBox::MouseMove(TShiftState Shift, int X, int Y) {
    TspSkinCustomControl::MouseMove(Shift, X, Y);
    if (FLBDown) {
        ProcessListBox();
        return;
    }
    const bool in = holds(Button.R, X, Y);
    if (in != Button.MouseIn) {
        Button.MouseIn = in;
        Repaint();
    }
}

void TspSkinCustomComboBox::MouseUp(TMouseButton Btn, TShiftState Shift, int X, int Y) {
    if (FLBDown && WasInLB) {
        if (GetCapture() == Handle()) ReleaseCapture();
        FLBDown = false;
        POINT p{};
        GetCursorPos(&p);
        const HWND under = WindowFromPoint(p);
        CloseUp(FListBox->ListBox->HandleAllocated() && under == FListBox->ListBox->Handle());
    } else {
        FLBDown = false;
        if (GetCapture() == Handle()) ReleaseCapture();
    }
    if (TimerMode != 0) StopTimer();
    TspSkinCustomControl::MouseUp(Btn, Shift, X, Y);
    if (Button.Down) {
        Button.Down = false;
        Repaint();
    }
}

void TspSkinCustomComboBox::KeyDown(WORD& Key, TShiftState Shift) {
    TspSkinCustomControl::KeyDown(Key, Shift);
    if (FStyle != spcbFixedStyle) return;
    const int i = ItemIndex(), n = Items()->Count();
    switch (Key) {
    case VK_RETURN:
        if (FListBox->IsVisible()) CloseUp(true);
        break;
    case VK_ESCAPE:
        if (FListBox->IsVisible()) CloseUp(false);
        break;
    case VK_PRIOR:
        if (n > 0) SetItemIndex(std::max(i - FDropDownCount - 1, 0));
        break;
    case VK_NEXT:
        if (n > 0) SetItemIndex(std::min(i + FDropDownCount - 1, n - 1));
        break;
    case VK_LEFT:
    case VK_UP:
        if (Shift & ssAlt) {
            if (FListBox->IsVisible()) CloseUp(false);
        } else if (i > 0) {
            SetItemIndex(i - 1);
        }
        break;
    case VK_RIGHT:
    case VK_DOWN:
        if (Shift & ssAlt) {
            if (!FListBox->IsVisible()) DropDown();
        } else if (i < n - 1) {
            SetItemIndex(i + 1);
        }
        break;
    default:
        break;
    }
}

void TspSkinCustomComboBox::KeyPress(char32_t& Key) {
    TspSkinCustomControl::KeyPress(Key);
    if (FStyle != spcbFixedStyle || Key < 32) return;
    const uint32_t now = os::GetTickCount();
    std::string search;
    const std::string typed = winctl::EncodeText(std::u32string(1, Key));
    if (AutoComplete) {
        if (now - FLastTime >= 500) FFilter.clear();
        FLastTime = now;
        FFilter += typed;
        search = FFilter;
    } else {
        search = typed;
    }
    TspListBox* lb = FListBox->ListBox.get();
    const bool one = winctl::DecodeText(search).size() == 1;
    const LRESULT found = SendMessage(lb->Handle(), LB_FINDSTRING, WPARAM(one ? ItemIndex() : -1),
                                      LPARAM(search.c_str()));
    if (found != LB_ERR) SetItemIndex(int(found));
}

void TspSkinCustomComboBox::EditUp(bool Apply) {
    const int i = FListBox->ItemIndex();
    if (i <= 0) return;
    SetListIndex(i - 1);
    if (!Apply) return;
    SetTextFromList(i - 1);
    if (FEdit) FEdit->SelectAll();
    FOldItemIndex = i - 1;
    if (OnClick) OnClick(this);
}

void TspSkinCustomComboBox::EditDown(bool Apply) {
    const int i = FListBox->ItemIndex();
    if (i >= Items()->Count() - 1) return;
    SetListIndex(i + 1);
    if (!Apply) return;
    SetTextFromList(i + 1);
    if (FEdit) FEdit->SelectAll();
    FOldItemIndex = i + 1;
    if (OnClick) OnClick(this);
}

void TspSkinCustomComboBox::EditAutoComplete() {
    const uint32_t now = os::GetTickCount();
    if (now - FLastTime <= 200) return;
    FLastTime = now;
    const std::string typed = Text();
    if (typed.empty()) return;
    const bool one = winctl::DecodeText(typed).size() == 1;
    const LRESULT found = SendMessage(FListBox->ListBox->Handle(), LB_FINDSTRING,
                                      WPARAM(one ? ItemIndex() : -1), LPARAM(typed.c_str()));
    if (found == LB_ERR) return;
    SetItemIndex(int(found));
    const int typedLen = int(winctl::DecodeText(typed).size());
    if (FEdit) {
        FEdit->SetSelStart(typedLen);
        FEdit->SetSelLength(int(winctl::DecodeText(FEdit->Text()).size()) - typedLen);
    }
}

void TspSkinCustomComboBox::EditChange(TObject*) {
    if (FSettingText) return;
    FromEdit = true;
    const std::string t = FEdit->Text();
    if (!t.empty()) {
        HWND lb = FListBox->ListBox->Handle();
        const LRESULT found = SendMessage(lb, LB_FINDSTRING, WPARAM(-1), LPARAM(t.c_str()));
        if (found != LB_ERR) {
            if (AutoComplete)
                SendMessage(lb, LB_SETCURSEL, WPARAM(found), 0);
            else
                SendMessage(lb, LB_SETTOPINDEX, WPARAM(found), 0);
        }
    }
    SetText(t);
    FromEdit = false;
}

void TspSkinCustomComboBox::EditCancelMode(TControl* C) {
    if (C == this || C == FListBox.get() || C == FListBox->ListBox.get() ||
        C == FListBox->ScrollBar.get() || C == FListBox->HScrollBar.get())
        return;
    CloseUp(false);
}

void TspSkinCustomComboBox::EditWindowProc(TMessage& Message) {
    const bool activeLook = FIndex != -1 && !IsEmptyRect(ActiveSkinRect);
    const TFontCharset cs = charsetOf(FSD, DefaultFont());
    const bool eastAsian = cs == 128 || cs == 134 || cs == 136;
    switch (Message.Msg) {
    case WM_SETFOCUS:
        if (activeLook) {
            FEdit->Font()->SetColor(ActiveFontColor);
            Invalidate();
        }
        break;
    case WM_KILLFOCUS:
        if (FListBox->IsVisible()) CloseUp(false);
        if (activeLook) {
            FEdit->Font()->SetColor(FontColor);
            Invalidate();
        }
        break;
    case WM_KEYDOWN:
        switch (Message.WParam) {
        case VK_RETURN:
            if (FListBox->IsVisible()) CloseUp(true);
            break;
        case VK_ESCAPE:
            if (FListBox->IsVisible()) CloseUp(false);
            break;
        case VK_PRIOR:
            if (FListBox->IsVisible())
                SetListIndex(std::max(FListBox->ItemIndex() - FDropDownCount - 1, 0));
            break;
        case VK_NEXT:
            if (FListBox->IsVisible())
                SetListIndex(
                    std::min(FListBox->ItemIndex() + FDropDownCount - 1, Items()->Count() - 1));
            break;
        case VK_UP:
            EditUp(true);
            Message.Result = 0;
            return;
        case VK_DOWN:
            EditDown(true);
            Message.Result = 0;
            return;
        default:
            break;
        }
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (eastAsian) {
            if (Message.WParam != WPARAM(VK_DELETE) && Message.WParam != WPARAM(VK_BACK))
                FEdit->SetSelLength(0);
            FEditWindowProc(Message);
            if (AutoComplete) EditAutoComplete();
            return;
        }
        if (Message.Msg == WM_KEYUP && Message.WParam >= 48) {
            FEditWindowProc(Message);
            if (AutoComplete) EditAutoComplete();
            return;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        if (FListBox->IsVisible()) CloseUp(false);
        break;
    case WM_MOUSEWHEEL:
        if (int32_t(Message.WParam) > 0)
            EditUp(!FListBox->IsVisible());
        else
            EditDown(!FListBox->IsVisible());
        break;
    default:
        break;
    }
    FEditWindowProc(Message);
}

void TspSkinCustomComboBox::GetSkinData() {
    TspSkinCustomControl::GetSkinData();
    auto* el = elementOf<TspDataSkinComboBox>(FSD, FIndex);
    if (!el) {
        FIndex = -1;
        return;
    }
    ActiveSkinRect = el->ActiveSkinRect;
    ActiveFontColor = el->ActiveFontColor;
    SItemRect = el->SItemRect;
    ActiveItemRect = el->ActiveItemRect;
    FocusItemRect = IsEmptyRect(el->FocusItemRect) ? el->SItemRect : el->FocusItemRect;
    ItemLeftOffset = el->ItemLeftOffset;
    ItemRightOffset = el->ItemRightOffset;
    ItemTextRect = el->ItemTextRect;
    FontName = el->FontName;
    FontStyle = el->FontStyle;
    FontHeight = el->FontHeight;
    FontColor = el->FontColor;
    FocusFontColor = el->FocusFontColor;
    ButtonRect = el->ButtonRect;
    ActiveButtonRect = el->ActiveButtonRect;
    DownButtonRect = el->DownButtonRect;
    UnEnabledButtonRect = el->UnEnabledButtonRect;
    ListBoxName = el->ListBoxName;
    ItemStretchEffect = el->ItemStretchEffect;
    FocusItemStretchEffect = el->FocusItemStretchEffect;
    ShowFocus = el->ShowFocus;
}

void TspSkinCustomComboBox::CalcRects() {
    GetSkinData();
    const int W = Width(), H = Height();
    if (FIndex == -1 || FToolButtonStyle) {
        Button.R = TRect(W - 19, 2, W - 2, H - 2);
        CBItem.R = TRect(2, 2, Button.R.Left - 1, H - 2);
    } else {
        const int dw = W - RectWidth(SkinRect), dh = H - RectHeight(SkinRect);
        Button.R = ButtonRect;
        if (ButtonRect.Left >= RectWidth(SkinRect) - RTPt.X) Button.R = moved(Button.R, dw, 0);
        CBItem.R = ClRect;
        CBItem.R.Right += dw;
        if (!FUseSkinSize) {
            Button.R.Bottom += dh;
            CBItem.R.Bottom += dh;
        }
    }
    if (FEdit) {
        HDC dc = GetDC(0);
        HGDIOBJ old = SelectObject(dc, FEdit->Font()->Handle());
        TEXTMETRIC tm{};
        GetTextMetrics(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(0, dc);
        FEdit->SetBounds(CBItem.R.Left, CBItem.R.Top + RectHeight(CBItem.R) / 2 - tm.tmHeight / 2,
                         RectWidth(CBItem.R), tm.tmHeight);
    }
}

void TspSkinCustomComboBox::FitSkinSize(int& W, int& H) {
    if (FUseSkinSize) {
        TspSkinCustomControl::FitSkinSize(W, H);
        return;
    }
    const int dw = W - RectWidth(SkinRect);
    NewLTPoint = LTPt;
    NewRTPoint = TPoint(RTPt.X + dw, RTPt.Y);
    NewClRect = TRect(ClRect.Left, ClRect.Top, ClRect.Right + dw, ClRect.Bottom);
}

void TspSkinCustomComboBox::UpdateSkinRegion() {
    if (FUseSkinSize) TspSkinCustomControl::UpdateSkinRegion();
}

void TspSkinCustomComboBox::DefaultFontChanged() {
    Font()->Assign(DefaultFont());
}

TColor TspSkinCustomComboBox::DisabledColor() {
    if (FIndex != -1 && FSD) {
        auto* e = elementOf<TspDataSkinEditControl>(FSD, FSD->GetControlIndex("edit"));
        if (e) return e->DisabledFontColor;
    }
    return clGrayText;
}

bool TspSkinCustomComboBox::ActiveLook() {
    return FMouseIn || Focused() || (FEdit && FEdit->Focused());
}

void TspSkinCustomComboBox::ChangeSkinData() {
    TspSkinCustomControl::ChangeSkinData();
    CalcRects();
    if (FEdit) {
        if (FIndex != -1 && FUseSkinFont) {
            FEdit->Font()->SetName(FontName);
            FEdit->Font()->SetStyle(FontStyle);
            FEdit->Font()->SetHeight(FontHeight);
            FEdit->Font()->SetColor(FontColor);
        } else {
            FEdit->Font()->Assign(DefaultFont());
            if (FIndex != -1) FEdit->Font()->SetColor(FontColor);
        }
        if (FIndex != -1 && !IsEmptyRect(ActiveSkinRect) && ActiveLook())
            FEdit->Font()->SetColor(ActiveFontColor);
        FEdit->Font()->SetCharset(charsetOf(FSD, DefaultFont()));
        if (FIndex != -1 && !FEdit->EditTransparent()) FEdit->SetEditTransparent(true);
        if (!Enabled()) FEdit->Font()->SetColor(DisabledColor());
    }
    Repaint();
    FListBox->SetSkinDataName(FIndex == -1 ? "" : ListBoxName);
    FListBox->SetSkinData(FSD);
    if (!FSD) FListBox->ChangeSkinData();
    FListBox->UpDateScrollBar();
    CalcRects();
    if (FStyle == spcbEditStyle && FIndex != -1) {
        int w = Width(), h = Height();
        FitSkinSize(w, h);
        if (w != Width() || h != Height()) SetBounds(Left(), Top(), w, h);
    }
}

int TspSkinCustomComboBox::ShownIndex() {
    return FListBox->IsVisible() ? FOldItemIndex : ItemIndex();
}

void TspSkinCustomComboBox::DrawItemText(TCanvas* C, int Index, TRect TR, int W, int H) {
    if (OnComboBoxDrawItem) {
        OnComboBoxDrawItem(C, Index, W, H, TR, CBItem.State);
        return;
    }
    if (TCustomImageList* im = Images()) {
        const int ii = ImageIndex() >= 0 ? ImageIndex() : Index - ImageIndex() - 1;
        if (ii >= 0 && ii < im->Count())
            im->Draw(C, TR.Left, (TR.Top + TR.Bottom) / 2 - im->Height() / 2, ii, true);
        TR.Left += im->Width() + 2;
    }
    C->Brush()->SetStyle(bsClear);
    const std::string text = Items()->Get(Index);
    if (TabWidths()->Count() > 0) {
        const int th = C->TextHeight(text.empty() ? "W" : text);
        tabbedText(C, TR.Left + 2, TR.Top + RectHeight(TR) / 2 - th / 2, text,
                   tabStops(TabWidths()));
    } else {
        TextRectVCentered(C, text, TR);
    }
}

void TspSkinCustomComboBox::DrawButton(TCanvas* C) {
    if (FIndex == -1) {
        drawDefaultButton(C, Button.R, Button.Down && Button.MouseIn, Button.MouseIn);
        DrawArrow(C, Button.R, Enabled() ? clBlack : clBtnShadow, 4);
        return;
    }
    TRect src;
    if (!Enabled() && !IsEmptyRect(UnEnabledButtonRect))
        src = UnEnabledButtonRect;
    else if (Button.Down && Button.MouseIn)
        src = DownButtonRect;
    else if (Button.MouseIn)
        src = ActiveButtonRect;
    copyFromPicture(C, Picture, Button.R, src);
}

void TspSkinCustomComboBox::DrawButtonFromElement(TCanvas* C) {
    if (!FSD) return;
    int i = -1;
    for (const char* n : {"combobutton", "editbutton", "resizebutton"})
        if ((i = FSD->GetControlIndex(n)) >= 0) break;
    auto* el = elementOf<TspDataSkinButtonControl>(FSD, i);
    TBitmap* pic = el ? pictureOf(FSD, el->PictureIndex) : nullptr;
    if (!el || !pic) return;
    TColor arrow = 0;
    const bool down = Button.Down && Button.MouseIn;
    paintResizeButton(FSD, C, Button.R, Button.Down, Button.MouseIn, &arrow);
    if (i == FSD->GetControlIndex("combobutton")) {
        // paintResizeButton takes the edit or resize button; the combo's own wins.
        TRect active = IsEmptyRect(el->ActiveSkinRect) ? el->SkinRect : el->ActiveSkinRect;
        TRect src = down             ? (IsEmptyRect(el->DownSkinRect) ? active : el->DownSkinRect)
                    : Button.MouseIn ? active
                                     : el->SkinRect;
        const int dw = RectWidth(Button.R) - RectWidth(el->SkinRect);
        const int dh = RectHeight(Button.R) - RectHeight(el->SkinRect);
        TBitmap b(RectWidth(Button.R), RectHeight(Button.R));
        TRect cl = el->ClRect;
        cl.Right += dw;
        cl.Bottom += dh;
        BuildSkinImage(el->LTPoint, el->RTPoint, el->LBPoint, el->RBPoint, el->ClRect, el->LTPoint,
                       TPoint{el->RTPoint.X + dw, el->RTPoint.Y},
                       TPoint{el->LBPoint.X, el->LBPoint.Y + dh},
                       TPoint{el->RBPoint.X + dw, el->RBPoint.Y + dh}, cl, &b, pic, src, b.Width(),
                       b.Height(), true, el->LeftStretch, el->TopStretch, el->RightStretch,
                       el->BottomStretch, el->StretchEffect, el->StretchType);
        C->Draw(Button.R.Left, Button.R.Top, &b);
        arrow = down ? el->DownFontColor : Button.MouseIn ? el->ActiveFontColor : el->FontColor;
    }
    if (IsEmptyRect(el->MenuMarkerRect)) {
        if (Enabled()) {
            TRect r = Button.R;
            if (down) r.Top += 2;
            DrawArrow(C, r, arrow, 4);
        }
        return;
    }
    TRect m = el->MenuMarkerRect;
    if (down && !IsEmptyRect(el->MenuMarkerDownRect))
        m = el->MenuMarkerDownRect;
    else if (Button.MouseIn && !IsEmptyRect(el->MenuMarkerActiveRect))
        m = el->MenuMarkerActiveRect;
    const int x = (Button.R.Left + Button.R.Right) / 2 - RectWidth(m) / 2;
    const int y = (Button.R.Top + Button.R.Bottom) / 2 - RectHeight(m) / 2 + (down ? 1 : 0);
    C->BrushCopy(Bounds(x, y, RectWidth(m), RectHeight(m)), pic, m, el->MenuMarkerTransparentColor);
}

void TspSkinCustomComboBox::DrawDefaultItem(TCanvas* C) {
    const int w = RectWidth(CBItem.R), h = RectHeight(CBItem.R);
    if (w <= 0 || h <= 0) return;
    TBitmap b(w, h);
    TCanvas* bc = b.Canvas();
    const bool focused = Focused();
    bc->Font()->Assign(Font());
    bc->Font()->SetCharset(charsetOf(FSD, DefaultFont()));
    bc->Brush()->SetColor(focused ? clHighlight : FDefaultColor);
    bc->Font()->SetColor(focused ? clHighlightText : DefaultFont()->Color());
    if (!Enabled()) bc->Font()->SetColor(clGrayText);
    bc->FillRect(TRect(0, 0, w, h));
    CBItem.State = focused ? odFocused : 0;
    const int i = ShownIndex();
    if (i >= 0 && i < Items()->Count()) DrawItemText(bc, i, TRect(2, 0, w - 2, h), w, h);
    if (focused) {
        bc->Font()->SetColor(clHighlightText);
        DrawDottedFocusRect(bc, TRect(0, 0, w, h));
    }
    C->Draw(CBItem.R.Left, CBItem.R.Top, &b);
}

void TspSkinCustomComboBox::DrawSkinItem(TCanvas* C, bool Stretched) {
    const int w = RectWidth(CBItem.R);
    if (w <= 0 || !Picture) return;
    const bool focused = Focused();
    const bool hot = FMouseIn && !IsEmptyRect(ActiveSkinRect);
    int h = Stretched ? RectHeight(CBItem.R) : RectHeight(SItemRect);
    if (h == 0) h = RectHeight(FocusItemRect);
    if (h <= 0) return;
    TBitmap b(w, h);
    TRect src = SItemRect;
    bool stretch = ItemStretchEffect;
    if (focused) {
        src = FocusItemRect;
        stretch = FocusItemStretchEffect;
    } else if (hot && !IsEmptyRect(ActiveItemRect)) {
        src = ActiveItemRect;
    }
    if (IsEmptyRect(src)) {
        b.Canvas()->CopyRect(TRect(0, 0, w, h), C, Bounds(CBItem.R.Left, CBItem.R.Top, w, h));
    } else if (Stretched) {
        BuildStretchedSkinImage(&b, Picture, src, focused ? inset(ItemTextRect, 1) : ItemTextRect,
                                true);
    } else {
        BuildHorzSkinImage(ItemLeftOffset, ItemRightOffset, &b, Picture, src, w, h, stretch);
    }
    TRect TR = ItemTextRect;
    TR.Right += w - RectWidth(IsEmptyRect(SItemRect) ? ClRect : SItemRect);
    if (Stretched) TR.Bottom += Height() - RectHeight(SkinRect);
    TCanvas* bc = b.Canvas();
    if (FUseSkinFont) {
        bc->Font()->SetName(FontName);
        bc->Font()->SetStyle(FontStyle);
        bc->Font()->SetHeight(FontHeight);
    } else {
        bc->Font()->Assign(Font());
    }
    bc->Font()->SetCharset(charsetOf(FSD, DefaultFont()));
    bc->Font()->SetColor(!Enabled() ? DisabledColor()
                         : focused  ? FocusFontColor
                         : hot      ? ActiveFontColor
                                    : FontColor);
    CBItem.State = focused ? odFocused : 0;
    const int i = ShownIndex();
    if (i >= 0 && i < Items()->Count()) DrawItemText(bc, i, TR, w, h);
    if (focused && ShowFocus) DrawDottedFocusRect(bc, TRect(0, 0, w, h));
    C->Draw(CBItem.R.Left, CBItem.R.Top, &b);
}

void TspSkinCustomComboBox::DrawDefaultToolImage(TBitmap* B) {
    TCanvas* C = B->Canvas();
    const int W = B->Width(), H = B->Height();
    drawDefaultButton(C, TRect(0, 0, W, H), FDropDown, FMouseIn || Focused());
    const int d = FDropDown ? 2 : 0;
    C->Font()->Assign(DefaultFont());
    const int i = ShownIndex();
    if (i >= 0 && i < Items()->Count())
        DrawItemText(C, i, moved(TRect(2, 2, W - 17, H - 2), d, d), W, H);
    DrawDropDownArrow(C, moved(TRect(W - 15, 0, W, H), d, d), C->Font()->Color());
}

void TspSkinCustomComboBox::DrawSkinToolImage(TBitmap* B) {
    GetSkinData();
    if (!FSD) return;
    int idx = FSD->GetControlIndex("resizetoolbutton");
    if (idx < 0) idx = FSD->GetControlIndex("resizebutton");
    auto* el = elementOf<TspDataSkinButtonControl>(FSD, idx);
    TBitmap* pic = el ? pictureOf(FSD, el->PictureIndex) : nullptr;
    if (!el || !pic) return;
    const int W = B->Width(), H = B->Height();
    const bool hot = FMouseIn || Focused();
    TRect src = FDropDown ? el->DownSkinRect : hot ? el->ActiveSkinRect : el->SkinRect;
    if (IsEmptyRect(src)) src = el->SkinRect;
    const int dw = W - RectWidth(el->SkinRect), dh = H - RectHeight(el->SkinRect);
    TRect cl = el->ClRect;
    cl.Right += dw;
    cl.Bottom += dh;
    BuildSkinImage(el->LTPoint, el->RTPoint, el->LBPoint, el->RBPoint, el->ClRect, el->LTPoint,
                   TPoint{el->RTPoint.X + dw, el->RTPoint.Y},
                   TPoint{el->LBPoint.X, el->LBPoint.Y + dh},
                   TPoint{el->RBPoint.X + dw, el->RBPoint.Y + dh}, cl, B, pic, src, W, H, true,
                   el->LeftStretch, el->TopStretch, el->RightStretch, el->BottomStretch,
                   el->StretchEffect, el->StretchType);
    TCanvas* C = B->Canvas();
    if (FUseSkinFont) {
        C->Font()->SetName(el->FontName);
        C->Font()->SetStyle(el->FontStyle);
        C->Font()->SetHeight(el->FontHeight);
    } else {
        C->Font()->Assign(DefaultFont());
    }
    C->Font()->SetColor(FDropDown   ? el->DownFontColor
                        : hot       ? el->ActiveFontColor
                        : Enabled() ? el->FontColor
                                    : el->DisabledFontColor);
    const int d = FDropDown ? 2 : 0;
    const int i = ShownIndex();
    if (i >= 0 && i < Items()->Count())
        DrawItemText(C, i, moved(TRect(2, 2, W - 17, H - 2), d, d), W, H);
    const TRect cell = moved(TRect(W - 15, 0, W, H), d, d);
    if (!IsEmptyRect(el->MenuMarkerRect)) {
        TRect m = el->MenuMarkerRect;
        if (FDropDown && !IsEmptyRect(el->MenuMarkerDownRect))
            m = el->MenuMarkerDownRect;
        else if ((FDropDown || hot) && !IsEmptyRect(el->MenuMarkerActiveRect))
            m = el->MenuMarkerActiveRect;
        const int x = (cell.Left + cell.Right) / 2 - RectWidth(m) / 2;
        const int y = (cell.Top + cell.Bottom) / 2 - RectHeight(m) / 2;
        C->BrushCopy(Bounds(x, y, RectWidth(m), RectHeight(m)), pic, m,
                     el->MenuMarkerTransparentColor);
    } else {
        DrawDropDownArrow(C, cell, FDropDown ? el->DownFontColor : C->Font()->Color());
    }
}

void TspSkinCustomComboBox::DrawDefaultImage(TBitmap* B) {
    CalcRects();
    if (FToolButtonStyle) {
        DrawDefaultToolImage(B);
        return;
    }
    TCanvas* C = B->Canvas();
    const int W = B->Width(), H = B->Height();
    C->Brush()->SetColor(clBtnFace);
    C->FillRect(TRect(0, 0, W, H));
    C->Brush()->SetColor(clBtnShadow);
    C->FrameRect(TRect(0, 0, W, H));
    C->Brush()->SetColor(FDefaultColor);
    C->FillRect(TRect(2, 2, W - 2, H - 2));
    DrawButton(C);
    if (FStyle == spcbFixedStyle) DrawDefaultItem(C);
}

void TspSkinCustomComboBox::DrawSkinImage(TBitmap* B) {
    CalcRects();
    if (FToolButtonStyle) {
        DrawSkinToolImage(B);
        return;
    }
    const bool active = !IsEmptyRect(ActiveSkinRect) && ActiveLook();
    if (FUseSkinSize) {
        if (active && Picture)
            BuildHorzSkinImage(LTPt.X, RectWidth(ActiveSkinRect) - RTPt.X, B, Picture,
                               ActiveSkinRect, Width(), RectHeight(ActiveSkinRect), StretchEffect);
        else
            TspSkinCustomControl::DrawSkinImage(B);
    } else if (Picture) {
        BuildStretchedSkinImage(B, Picture, active ? ActiveSkinRect : SkinRect, ClRect, true);
    }
    if (FUseSkinSize)
        DrawButton(B->Canvas());
    else
        DrawButtonFromElement(B->Canvas());
    if (FStyle == spcbFixedStyle) DrawSkinItem(B->Canvas(), !FUseSkinSize);
}

void TspSkinCustomComboBox::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        return;
    case WM_TIMER:
        TspSkinCustomControl::WndProc(Message);
        if (Message.WParam != kRepeatTimer) return;
        if (TimerMode == 1 && FListBox->ItemIndex() > 0)
            SetListIndex(FListBox->ItemIndex() - 1);
        else if (TimerMode == 2 && FListBox->ItemIndex() < Items()->Count() - 1)
            SetListIndex(FListBox->ItemIndex() + 1);
        return;
    case WM_MOUSEWHEEL:
        if (FStyle == spcbFixedStyle) {
            const int i = FListBox->ItemIndex();
            const bool forward = int16_t(HIWORD(Message.WParam)) > 0;
            const int next = forward ? i - 1 : i + 1;
            if (next >= 0 && next < Items()->Count()) {
                if (FListBox->IsVisible())
                    SetListIndex(next);
                else
                    SetItemIndex(next);
            }
        }
        Message.Result = 1;
        return;
    case CM_TEXTCHANGED:
        TspSkinCustomControl::WndProc(Message);
        TextChanged();
        return;
    case CM_CANCELMODE:
        TspSkinCustomControl::WndProc(Message);
        EditCancelMode(reinterpret_cast<TControl*>(Message.LParam));
        return;
    case WM_KILLFOCUS:
        TspSkinCustomControl::WndProc(Message);
        if (FStyle == spcbFixedStyle) {
            if (FListBox->IsVisible()) CloseUp(false);
            Repaint();
        }
        return;
    case WM_SETFOCUS:
        TspSkinCustomControl::WndProc(Message);
        if (FStyle == spcbEditStyle && FEdit) {
            FEdit->SetFocus();
            if (FIndex != -1 && !IsEmptyRect(ActiveSkinRect))
                FEdit->Font()->SetColor(ActiveFontColor);
        } else {
            Repaint();
        }
        return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: {
        const bool enter = Message.Msg == CM_MOUSEENTER;
        TspSkinCustomControl::WndProc(Message);
        FMouseIn = enter;
        if (!enter && Button.MouseIn) {
            Button.MouseIn = false;
            Repaint();
        }
        const bool activeLook = FIndex != -1 && !IsEmptyRect(ActiveSkinRect);
        if (activeLook && FEdit && !FEdit->Focused())
            FEdit->Font()->SetColor(enter ? ActiveFontColor : FontColor);
        if (activeLook || FToolButtonStyle) Invalidate();
        return;
    }
    case CM_ENABLEDCHANGED:
        TspSkinCustomControl::WndProc(Message);
        GetSkinData();
        if (FEdit) {
            FEdit->SetEnabled(Enabled());
            FEdit->Font()->SetColor(!Enabled()     ? DisabledColor()
                                    : FIndex == -1 ? DefaultFont()->Color()
                                                   : FontColor);
        }
        Repaint();
        return;
    case WM_CREATE:
        TspSkinCustomControl::WndProc(Message);
        // The list's window first, then its inner list inside it: asking the
        // inner list first would make it twice.
        FListBox->HandleNeeded();
        CalcRects();
        return;
    case WM_SIZE:
        TspSkinCustomControl::WndProc(Message);
        CalcRects();
        return;
    case WM_ERASEBKGND:
        if (!FFromWMPaint) {
            HDC dc = reinterpret_cast<HDC>(Message.WParam);
            PaintWindow(dc);
            if (FEdit && FEdit->HandleAllocated()) {
                const int saved = SaveDC(dc);
                SetViewportOrgEx(dc, FEdit->Left(), FEdit->Top(), nullptr);
                IntersectClipRect(dc, 0, 0, FEdit->Width(), FEdit->Height());
                SendMessage(FEdit->Handle(), WM_PAINT, WPARAM(dc), 0);
                RestoreDC(dc, saved);
            }
        }
        Message.Result = 1;
        return;
    default:
        break;
    }
    TspSkinCustomControl::WndProc(Message);
}
