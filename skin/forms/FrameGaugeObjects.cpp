// Frame objects that show a value or a frame of a strip: the gauge, track
// bar and switch, the frame gauge and regulator, and the animate object.
// They derive from the active object of FrameObjects.cpp.
#include "skin/forms/SkinnedForm.h"
#include "skin/forms/SkinnedFormInternal.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/gdi/gdi.h"
#include "platform/win/messages.h"
#include "platform/win/queue.h"

using namespace skinned_form_internal;

namespace {

// Rounds halves to even.
int RoundEven(double v) {
    return int(std::nearbyint(v));
}

// A button-style animation fades towards its hot look (Rising) or back; one
// shown down only redraws.
void FadeButtonLook(TspSkinAnimateObject* O, bool Rising) {
    if (!O->ButtonStyle) return;
    O->Active = true;
    O->Increment = Rising;
    if (O->FDown && !O->DownSkinRect.IsEmpty())
        O->Redraw();
    else
        O->Parent->AnimateTimer()->SetEnabled(true);
}

} // namespace

// ---- Gauge, track bar, switch

TspSkinGaugeObject::TspSkinGaugeObject(TspSkinnedForm* AParent, TspDataSkinGauge* d)
    : TspActiveSkinObject(AParent, d) {
    if (d) {
        MinValue = d->MinValue;
        MaxValue = d->MaxValue;
        Kind = d->Kind;
    }
    FValue = MinValue;
    CalcProgressPos();
}

void TspSkinGaugeObject::CalcProgressPos() {
    // An element without a range shows an empty gauge.
    double f = MaxValue != MinValue ? double(FValue - MinValue) / (MaxValue - MinValue) : 0.0;
    if (Kind == gkHorizontal)
        FProgressPos = TPoint(RoundEven(f * SkinRect.Width()), 0);
    else
        FProgressPos = TPoint(0, RoundEven(SkinRect.Height() * (1 - f)));
}

void TspSkinGaugeObject::SimplySetValue(int AValue) {
    if (AValue == FValue) return;
    FValue = std::clamp(AValue, std::min(MinValue, MaxValue), std::max(MinValue, MaxValue));
    FOldProgressPos = FProgressPos;
    CalcProgressPos();
}

void TspSkinGaugeObject::SetValue(int AValue) {
    SimplySetValue(AValue);
    Redraw();
}

void TspSkinGaugeObject::Draw(TCanvas* Cnvs, bool UpDate) {
    if (!SkinReady() || (FValue == MinValue && !UpDate)) return;
    int w = ObjectRect.Width(), h = ObjectRect.Height();
    if (w <= 0 || h <= 0 || SkinRect.IsEmpty()) return;
    TBitmap img(w, h);
    TCanvas* c = img.Canvas();
    if (Kind == gkHorizontal) {
        int x = std::clamp(FProgressPos.X, 0, SkinRect.Width());
        if (HasPart(Picture, SkinRect) && x < SkinRect.Width())
            c->CopyRect(TRect(x, 0, SkinRect.Width(), h), Picture->Canvas(),
                        TRect(SkinRect.Left + x, SkinRect.Top, SkinRect.Right, SkinRect.Bottom));
        if (HasPart(ActivePicture, ActiveSkinRect) && x > 0)
            c->CopyRect(TRect(0, 0, x, h), ActivePicture->Canvas(),
                        TRect(ActiveSkinRect.Left, ActiveSkinRect.Top, ActiveSkinRect.Left + x,
                              ActiveSkinRect.Bottom));
    } else {
        int y = std::clamp(FProgressPos.Y, 0, SkinRect.Height());
        if (HasPart(Picture, SkinRect) && y > 0)
            c->CopyRect(TRect(0, 0, w, y), Picture->Canvas(),
                        TRect(SkinRect.Left, SkinRect.Top, SkinRect.Right, SkinRect.Top + y));
        if (HasPart(ActivePicture, ActiveSkinRect) && y < SkinRect.Height())
            c->CopyRect(TRect(0, y, w, SkinRect.Height()), ActivePicture->Canvas(),
                        TRect(ActiveSkinRect.Left, ActiveSkinRect.Top + y, ActiveSkinRect.Right,
                              ActiveSkinRect.Bottom));
    }
    Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &img);
}

void TspSkinGaugeObject::MouseEnter() {
    FMouseIn = Active = true;
    Parent->DoObjectMouseEnter(IDName);
}
void TspSkinGaugeObject::MouseLeave() {
    FMouseIn = Active = false;
    Parent->DoObjectMouseLeave(IDName);
}

TspSkinTrackBarObject::TspSkinTrackBarObject(TspSkinnedForm* AParent, TspDataSkinTrackBar* d)
    : TspActiveSkinObject(AParent, d) {
    if (d) {
        ButtonRect = d->ButtonRect;
        ActiveButtonRect = d->ActiveButtonRect;
        BeginPoint = d->BeginPoint;
        EndPoint = d->EndPoint;
        MinValue = d->MinValue;
        MaxValue = d->MaxValue;
        MouseDownChangeValue = d->MouseDownChangeValue;
        ButtonTransparent = d->ButtonTransparent;
        ButtonTransparentColor = d->ButtonTransparentColor;
    }
    TrackKind = std::abs(EndPoint.Y - BeginPoint.Y) >= std::abs(EndPoint.X - BeginPoint.X)
                    ? tkVertical
                    : tkHorizontal;
    FValue = MinValue;
    FButtonPos = ValueToPos(FValue);
}

TPoint TspSkinTrackBarObject::ValueToPos(int V) const {
    double f = MaxValue != MinValue ? double(V - MinValue) / (MaxValue - MinValue) : 0.0;
    if (TrackKind == tkHorizontal)
        return TPoint(BeginPoint.X + RoundEven(f * (EndPoint.X - BeginPoint.X)), BeginPoint.Y);
    return TPoint(BeginPoint.X, EndPoint.Y + RoundEven((1 - f) * (BeginPoint.Y - EndPoint.Y)));
}

int TspSkinTrackBarObject::PosToValue(TPoint P) const {
    double f = 0;
    // A track of no length stays at its minimum.
    if (TrackKind == tkHorizontal) {
        if (EndPoint.X != BeginPoint.X)
            f = double(P.X - BeginPoint.X) / (EndPoint.X - BeginPoint.X);
    } else if (BeginPoint.Y != EndPoint.Y) {
        f = 1 - double(P.Y - EndPoint.Y) / (BeginPoint.Y - EndPoint.Y);
    }
    return MinValue + RoundEven((MaxValue - MinValue) * f);
}

TRect TspSkinTrackBarObject::ButtonAt(TPoint P) const {
    int bw = ButtonRect.Width(), bh = ButtonRect.Height();
    return Bounds(P.X - bw / 2, P.Y - bh / 2, bw, bh);
}

void TspSkinTrackBarObject::SimplySetValue(int AValue) {
    FValue = std::clamp(AValue, std::min(MinValue, MaxValue), std::max(MinValue, MaxValue));
    FOldButtonPos = FButtonPos;
    FButtonPos = ValueToPos(FValue);
    Parent->DoTrackBarChangeValue(IDName, FValue);
}

void TspSkinTrackBarObject::SetValue(int AValue) {
    if (AValue == FValue) return;
    FValue = std::clamp(AValue, std::min(MinValue, MaxValue), std::max(MinValue, MaxValue));
    FOldButtonPos = FButtonPos;
    FButtonPos = ValueToPos(FValue);
    Redraw();
    Parent->DoTrackBarChangeValue(IDName, FValue);
}

void TspSkinTrackBarObject::SetButtonPos(TPoint P) {
    if (P == FButtonPos) return;
    FOldButtonPos = FButtonPos;
    FButtonPos = P;
    FValue = PosToValue(P);
    Redraw();
    Parent->DoTrackBarChangeValue(IDName, FValue);
}

void TspSkinTrackBarObject::Draw(TCanvas* Cnvs, bool) {
    if (!SkinReady()) return;
    int w = SkinRect.Width(), h = SkinRect.Height();
    if (w <= 0 || h <= 0) return;
    TBitmap img(w, h);
    TCanvas* c = img.Canvas();
    if (!HasPart(ActivePicture, ActiveSkinRect)) {
        if (HasPart(Picture, SkinRect)) c->CopyRect(TRect(0, 0, w, h), Picture->Canvas(), SkinRect);
    } else if (TrackKind == tkHorizontal) {
        int x = std::clamp(FButtonPos.X, 0, w);
        if (x > 0)
            c->CopyRect(TRect(0, 0, x, h), ActivePicture->Canvas(),
                        TRect(ActiveSkinRect.Left, ActiveSkinRect.Top, ActiveSkinRect.Left + x,
                              ActiveSkinRect.Bottom));
        if (x < w && HasPart(Picture, SkinRect))
            c->CopyRect(TRect(x, 0, w, h), Picture->Canvas(),
                        TRect(SkinRect.Left + x, SkinRect.Top, SkinRect.Right, SkinRect.Bottom));
    } else {
        int y = std::clamp(FButtonPos.Y, 0, h);
        if (y > 0 && HasPart(Picture, SkinRect))
            c->CopyRect(TRect(0, 0, w, y), Picture->Canvas(),
                        TRect(SkinRect.Left, SkinRect.Top, SkinRect.Right, SkinRect.Top + y));
        if (y < h)
            c->CopyRect(TRect(0, y, w, h), ActivePicture->Canvas(),
                        TRect(ActiveSkinRect.Left, ActiveSkinRect.Top + y, ActiveSkinRect.Right,
                              ActiveSkinRect.Bottom));
    }
    TRect src = MoveActive && !ActiveButtonRect.IsEmpty() ? ActiveButtonRect : ButtonRect;
    TRect br = ButtonAt(FButtonPos);
    if (HasPart(ActivePicture, src)) {
        if (ButtonTransparent) {
            TBitmap b;
            StretchPart(&b, ActivePicture, src, src.Width(), src.Height());
            b.SetTransparentMode(tmFixed);
            b.SetTransparentColor(ButtonTransparentColor);
            b.SetTransparent(true);
            c->Draw(br.Left, br.Top, &b);
        } else {
            c->CopyRect(br, ActivePicture->Canvas(), src);
        }
    }
    Cnvs->Draw(ObjectRect.Left, ObjectRect.Top, &img);
}

void TspSkinTrackBarObject::MouseDown(int X, int Y, TMouseButton Button) {
    TPoint local(X - ObjectRect.Left, Y - ObjectRect.Top);
    if (Button == mbLeft && PtIn(ButtonAt(FButtonPos), local)) {
        MoveActive = true;
        FOldMPoint = local;
        if (!ActiveButtonRect.IsEmpty()) Redraw();
    } else if (Button == mbLeft && MouseDownChangeValue) {
        if (TrackKind == tkHorizontal)
            SetButtonPos(TPoint(std::clamp(local.X, std::min(BeginPoint.X, EndPoint.X),
                                           std::max(BeginPoint.X, EndPoint.X)),
                                BeginPoint.Y));
        else
            SetButtonPos(
                TPoint(BeginPoint.X, std::clamp(local.Y, std::min(EndPoint.Y, BeginPoint.Y),
                                                std::max(EndPoint.Y, BeginPoint.Y))));
    }
    TspActiveSkinObject::MouseDown(X, Y, Button);
}

void TspSkinTrackBarObject::MouseUp(int X, int Y, TMouseButton Button) {
    if (Button == mbLeft && MoveActive) {
        MoveActive = false;
        if (!ActiveButtonRect.IsEmpty()) Redraw();
    }
    TspActiveSkinObject::MouseUp(X, Y, Button);
}

void TspSkinTrackBarObject::MouseMove(int X, int Y) {
    TPoint local(X - ObjectRect.Left, Y - ObjectRect.Top);
    if (MoveActive) {
        if (TrackKind == tkHorizontal) {
            int nx = local.X + FButtonPos.X - FOldMPoint.X;
            if (nx >= std::min(BeginPoint.X, EndPoint.X) &&
                nx <= std::max(BeginPoint.X, EndPoint.X))
                SetButtonPos(TPoint(nx, BeginPoint.Y));
        } else {
            int ny = local.Y + FButtonPos.Y - FOldMPoint.Y;
            if (ny >= std::min(EndPoint.Y, BeginPoint.Y) &&
                ny <= std::max(EndPoint.Y, BeginPoint.Y))
                SetButtonPos(TPoint(BeginPoint.X, ny));
        }
        FOldMPoint = local;
    }
    TspActiveSkinObject::MouseMove(X, Y);
}

TspSkinSwitchObject::TspSkinSwitchObject(TspSkinnedForm* AParent, TspDataSkinSwitch* d)
    : TspActiveSkinObject(AParent, d) {}

void TspSkinSwitchObject::SetState(TSwitchState Value) {
    FState = Value;
    Active = Value == swsOn;
    StartRedraw();
    Parent->DoSwitchChangeState(IDName, FState);
}

void TspSkinSwitchObject::SimpleSetState(TSwitchState Value) {
    FState = Value;
    Active = Value == swsOn;
    if (Value == swsOn) SetMorphKf(1);
}

void TspSkinSwitchObject::MouseDown(int X, int Y, TMouseButton Button) {
    if (Button == mbLeft) SetState(FState == swsOn ? swsOff : swsOn);
    TspActiveSkinObject::MouseDown(X, Y, Button);
}

void TspSkinSwitchObject::MouseEnter() {
    FMouseIn = true;
    Parent->DoObjectMouseEnter(IDName);
}
void TspSkinSwitchObject::MouseLeave() {
    FMouseIn = false;
    Parent->DoObjectMouseLeave(IDName);
}

// ---- Frame strips and animations

TspSkinFrameObject::TspSkinFrameObject(TspSkinnedForm* AParent, TspDataSkinObject* AData)
    : TspActiveSkinObject(AParent, AData) {}

void TspSkinFrameObject::CalcFrameSize() {
    if (CountFrames <= 0) return;
    if (FramesPlacement == fpHorizontal) {
        FrameW = ActiveSkinRect.Width() / CountFrames;
        FrameH = ActiveSkinRect.Height();
    } else {
        FrameW = ActiveSkinRect.Width();
        FrameH = ActiveSkinRect.Height() / CountFrames;
    }
}

int TspSkinFrameObject::FrameOfValue(int Value, int Min, int Max) const {
    if (CountFrames < 2) return 1;
    int step = (Max - Min) / (CountFrames - 1);
    if (step == 0) return 1;
    // Ranges that are not a multiple of the steps stay on the strip.
    return std::clamp(std::abs(Value - Min) / std::abs(step) + 1, 1, CountFrames);
}

void TspSkinFrameObject::SetFrame(int Value) {
    FFrame = Value;
    Redraw();
}

void TspSkinFrameObject::Draw(TCanvas* Cnvs, bool) {
    if (!SkinReady() || FrameW <= 0 || FrameH <= 0 || !ActivePicture) return;
    TRect src = FramesPlacement == fpHorizontal
                    ? Bounds(ActiveSkinRect.Left + FrameW * (FFrame - 1), ActiveSkinRect.Top,
                             FrameW, FrameH)
                    : Bounds(ActiveSkinRect.Left, ActiveSkinRect.Top + FrameH * (FFrame - 1),
                             FrameW, FrameH);
    CopyToObject(Cnvs, ActivePicture, src);
}

TspSkinFrameGaugeObject::TspSkinFrameGaugeObject(TspSkinnedForm* AParent,
                                                 TspDataSkinFrameGaugeObject* d)
    : TspSkinFrameObject(AParent, d) {
    if (d) {
        MinValue = d->MinValue;
        MaxValue = d->MaxValue;
        CountFrames = d->CountFrames;
        FramesPlacement = d->FramesPlacement;
    }
    CalcFrameSize();
}

void TspSkinFrameGaugeObject::SimplySetValue(int AValue) {
    if (AValue != FValue && AValue >= MinValue && AValue <= MaxValue) FValue = AValue;
}

void TspSkinFrameGaugeObject::SetValue(int AValue) {
    if (AValue == FValue || AValue < MinValue || AValue > MaxValue) return;
    FValue = AValue;
    Redraw();
}

void TspSkinFrameGaugeObject::Draw(TCanvas* Cnvs, bool UpDate) {
    FFrame = FrameOfValue(FValue, MinValue, MaxValue);
    TspSkinFrameObject::Draw(Cnvs, UpDate);
}

void TspSkinFrameGaugeObject::MouseEnter() {
    FMouseIn = Active = true;
    Parent->DoObjectMouseEnter(IDName);
}
void TspSkinFrameGaugeObject::MouseLeave() {
    FMouseIn = Active = false;
    Parent->DoObjectMouseLeave(IDName);
}

TspSkinFrameRegulatorObject::TspSkinFrameRegulatorObject(TspSkinnedForm* AParent,
                                                         TspDataSkinFrameRegulatorObject* d)
    : TspSkinFrameObject(AParent, d) {
    if (d) {
        MinValue = d->MinValue;
        MaxValue = d->MaxValue;
        CountFrames = d->CountFrames;
        FramesPlacement = d->FramesPlacement;
        Kind = d->Kind;
    }
    CalcFrameSize();
    FValue = std::clamp(0, std::min(MinValue, MaxValue), std::max(MinValue, MaxValue));
}

void TspSkinFrameRegulatorObject::SimplySetValue(int AValue) {
    if (AValue == FValue || AValue < MinValue || AValue > MaxValue) return;
    FValue = AValue;
    Parent->DoFrameRegulatorChangeValue(IDName, FValue);
}

void TspSkinFrameRegulatorObject::SetValue(int AValue) {
    if (AValue == FValue || AValue < MinValue || AValue > MaxValue) return;
    FValue = AValue;
    Redraw();
    Parent->DoFrameRegulatorChangeValue(IDName, FValue);
}

int TspSkinFrameRegulatorObject::CalcAngle(int X, int Y) const {
    int w = ObjectRect.Width(), h = ObjectRect.Height();
    X = std::clamp(X, 0, w);
    Y = std::clamp(Y, 0, h);
    int cx = w / 2, cy = h / 2;
    double dx = cx - X, dy = cy - Y;
    double d = std::sqrt(dx * dx + dy * dy);
    // The centre itself points straight down.
    if (d == 0) return 0;
    constexpr double kDeg = 180.0 / 3.14159265358979323846;
    double t;
    if (X > cx && Y <= cy)
        t = std::asin(std::abs(dy) / d) * kDeg;
    else if (X <= cx && Y < cy)
        t = 90 + std::asin(std::abs(dx) / d) * kDeg;
    else if (X < cx && Y >= cy)
        t = 180 + std::asin(std::abs(dy) / d) * kDeg;
    else
        t = 270 + std::asin(std::abs(dx) / d) * kDeg;
    int r = 270 - RoundEven(t);
    if (r < 0) r += 360;
    return r;
}

void TspSkinFrameRegulatorObject::TrackStep() {
    // Fewer than two frames give no steps to track.
    int n = CountFrames - 1;
    if (n < 1) return;
    FValInc = std::max(1, (MaxValue - MinValue) / n);
    int dist;
    bool grow;
    if (Kind == rkRound) {
        FPixInc = std::max(1, 360 / n);
        if (std::abs(CurV - OldCurV) <= 300) {
            dist = std::abs(CurV - StartV);
            grow = CurV >= StartV;
        } else {
            StartV = CurV;
            grow = CurV < OldCurV;
            dist = FPixInc;
        }
    } else {
        int span = Kind == rkHorizontal ? FrameW : FrameH;
        FPixInc = std::max(1, span / n);
        dist = std::abs(CurV - StartV);
        grow = CurV >= StartV;
    }
    if (dist < FPixInc) return;
    TempValue += grow ? FValInc : -FValInc;
    StartV = CurV;
    TempValue = std::clamp(TempValue, MinValue, MaxValue);
    SetValue(TempValue);
}

void TspSkinFrameRegulatorObject::MouseDown(int X, int Y, TMouseButton Button) {
    int lx = X - ObjectRect.Left, ly = Y - ObjectRect.Top;
    FDown = true;
    TempValue = FValue;
    if (Kind == rkRound)
        StartV = OldCurV = CalcAngle(lx, ly);
    else if (Kind == rkHorizontal)
        StartV = lx;
    else
        StartV = -ly;
    TspActiveSkinObject::MouseDown(X, Y, Button);
}

void TspSkinFrameRegulatorObject::MouseUp(int X, int Y, TMouseButton Button) {
    FDown = false;
    TspActiveSkinObject::MouseUp(X, Y, Button);
}

void TspSkinFrameRegulatorObject::MouseMove(int X, int Y) {
    if (FDown) {
        int lx = X - ObjectRect.Left, ly = Y - ObjectRect.Top;
        CurV = Kind == rkRound ? CalcAngle(lx, ly) : Kind == rkHorizontal ? lx : -ly;
        TrackStep();
        OldCurV = CurV;
    }
    TspActiveSkinObject::MouseMove(X, Y);
}

void TspSkinFrameRegulatorObject::Draw(TCanvas* Cnvs, bool UpDate) {
    FFrame = FrameOfValue(FValue, MinValue, MaxValue);
    TspSkinFrameObject::Draw(Cnvs, UpDate);
}

TspSkinAnimateObject::TspSkinAnimateObject(TspSkinnedForm* AParent, TspDataSkinAnimate* d)
    : TspActiveSkinObject(AParent, d) {
    if (d) {
        CountFrames = d->CountFrames;
        Cycle = d->Cycle;
        ButtonStyle = d->ButtonStyle;
        TimerInterval = std::max(25, d->TimerInterval);
        Command = d->Command;
        DownSkinRect = d->DownSkinRect;
        RestoreRect = d->RestoreRect;
        RestoreActiveRect = d->RestoreActiveRect;
        RestoreInActiveRect = d->RestoreInActiveRect;
        RestoreDownRect = d->RestoreDownRect;
        RestoreHint = d->RestoreHint;
    }
    FTempHint = Hint;
}

bool TspSkinAnimateObject::RestoreMode() const {
    return (Command == cmMaximize && Parent->WindowState() == wsMaximized) ||
           (Command == cmMinimize && Parent->WindowState() == wsMinimized) ||
           (Command == cmRollUp && Parent->RollUpState());
}

void TspSkinAnimateObject::Start() {
    FInc = 25;
    FFrame = 1;
    Active = true;
    Parent->AnimateTimer()->SetEnabled(true);
}

void TspSkinAnimateObject::Stop() {
    SetFrame(1);
    Active = false;
    FInc = 25;
}

void TspSkinAnimateObject::SetFrame(int Value) {
    if (Increment)
        FFrame = Value > CountFrames ? 1 : Value;
    else
        FFrame = Value <= 0 ? CountFrames : Value;
    Redraw();
}

void TspSkinAnimateObject::ChangeFrame() {
    if (FInc < TimerInterval) {
        FInc += 25;
        return;
    }
    if (Increment) {
        SetFrame(FFrame + 1);
        if (!Cycle && FFrame == CountFrames) Active = false;
    } else {
        SetFrame(FFrame - 1);
        if (FFrame == 1) Active = false;
    }
    FInc = 25;
}

void TspSkinAnimateObject::ShowLayer() {
    ShowGlow(MenuItem != nullptr);
}
void TspSkinAnimateObject::HideLayer() {
    HideGlow(MenuItem != nullptr);
}

void TspSkinAnimateObject::Draw(TCanvas* Cnvs, bool) {
    if (!SkinReady() || !ActivePicture) return;
    bool restore = !RestoreRect.IsEmpty() && RestoreMode();
    TRect first = restore ? RestoreRect : SkinRect;
    TRect strip = restore ? RestoreActiveRect : ActiveSkinRect;
    TRect down = restore ? RestoreDownRect : DownSkinRect;
    TRect inactive = restore ? RestoreInActiveRect : InActiveSkinRect;
    int w = first.Width(), h = first.Height();
    auto frame = [&](int n) { return Bounds(strip.Left + w * (n - 1), strip.Top, w, h); };
    TRect src;
    if (FMenuTracking) {
        if (!down.IsEmpty()) {
            src = down;
        } else {
            FFrame = CountFrames;
            src = frame(CountFrames);
        }
    } else if (!Parent->GetFormActive() && !inactive.IsEmpty()) {
        src = inactive;
    } else if (FDown && FMouseIn && !down.IsEmpty()) {
        src = down;
    } else {
        src = frame(FFrame);
    }
    if (w > 0 && h > 0) CopyToObject(Cnvs, ActivePicture, src);
}

void TspSkinAnimateObject::OpenMenu() {
    if (!MenuItem || MenuItem->Count() == 0) return;
    FMenuTracking = true;
    if (Parent->LayerManager()->IsVisible) Parent->LayerManager()->Hide();
    if (Parent->MenuLayerManager()->IsVisible) Parent->MenuLayerManager()->Hide();
    if (FMouseIn) ShowLayer();
    Parent->PopupObjectMenu(MenuItem, ObjectRectToScreen(), FPopupUp);
}

void TspSkinAnimateObject::DoCommand() {
    TspSkinnedForm* p = Parent;
    auto leave = [p] { p->TestActiveObject(-1, -1, false); };
    switch (Command) {
    case cmClose:
        leave();
        PostMessage(p->Form()->Handle(), WM_CLOSE, 0, 0);
        break;
    case cmMaximize:
        leave();
        p->SetWindowState(p->WindowState() == wsMaximized ? wsNormal : wsMaximized);
        break;
    case cmMinimize:
        leave();
        MinimizeOrRestore(p);
        break;
    case cmSysMenu:
        MenuItem = p->GetSystemMenuItems();
        OpenMenu();
        break;
    case cmDefault:
        OpenMenu();
        break;
    case cmRollUp:
        p->SetRollUpState(!p->RollUpState());
        break;
    case cmMinimizeToTray:
        leave();
        p->MinimizeToTray();
        break;
    }
}

void TspSkinAnimateObject::MouseEnter() {
    if (Command != cmDefault)
        Hint = !RestoreHint.empty() && RestoreMode() ? RestoreHint : FTempHint;
    FMouseIn = true;
    if (FMenuTracking) return;
    FadeButtonLook(this, true);
    Parent->DoObjectMouseEnter(IDName);
    ShowLayer();
}

void TspSkinAnimateObject::MouseLeave() {
    if (!FMouseIn) return;
    FMouseIn = false;
    if (FMenuTracking) return;
    FadeButtonLook(this, false);
    Parent->DoObjectMouseLeave(IDName);
    HideLayer();
}

void TspSkinAnimateObject::MouseDown(int X, int Y, TMouseButton Button) {
    TspActiveSkinObject::MouseDown(X, Y, Button);
    if (Button == mbLeft && !DownSkinRect.IsEmpty()) {
        FFrame = CountFrames;
        FDown = true;
        Redraw();
    }
    if (Command == cmSysMenu && FMouseIn && ButtonStyle && Button == mbLeft) DoCommand();
}

void TspSkinAnimateObject::MouseUp(int X, int Y, TMouseButton Button) {
    TspActiveSkinObject::MouseUp(X, Y, Button);
    if (FMenuTracking) return;
    if (Button == mbLeft && !DownSkinRect.IsEmpty()) {
        FDown = false;
        Redraw();
        Parent->AnimateTimer()->SetEnabled(true);
    }
    if (Command != cmSysMenu && FMouseIn && ButtonStyle && Button == mbLeft) DoCommand();
}

void TspSkinAnimateObject::DblClick() {
    if (Command == cmSysMenu) Parent->Form()->Close();
}
