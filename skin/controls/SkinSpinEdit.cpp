// The skinned spin edit: a number field (TspSkinNumEdit of SkinEdits.cpp)
// between up and down buttons that step the value, with repeat while held.
// Uses the part helpers of SkinBoxCtrlsUtil.h.
#include "skin/controls/SkinBoxCtrls.h"

#include <cmath>

#include "classlib/sysutils.h"
#include "classlib/typinfo.h"
#include "platform/win/input.h"
#include "platform/win/messages.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/timers.h"
#include "platform/win/window.h"
#include "skin/controls/SkinBoxCtrlsUtil.h"

using namespace boxutil;

namespace {

// The caption of a box the user types into is the typed text, never
// translated.
struct TSpinEditRegistration {
    TSpinEditRegistration() {
        RegisterPublished<TspSkinSpinEdit, TControl>(
            {TPropInfo{"Caption", "TCaption", TPropKind::Other}});
    }
} g_spinEditRegistration;

} // namespace

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
    fitPartWidth(*this, W);
}

void TspSkinSpinEdit::UpdateSkinRegion() {
    if (UseSkinSize) TspSkinCustomControl::UpdateSkinRegion();
}

void TspSkinSpinEdit::DrawButton(TCanvas* C, int I) {
    TspCBButtonX& b = Buttons[I];
    if (FIndex == -1) {
        drawDefaultBoxButton(C, b);
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
    moveButtonHover(
        Buttons, 2, X, Y, CaptureButton, OldActiveButton, ActiveButton,
        [this](int i) { ButtonLeave(i); }, [this](int i) { ButtonEnter(i); });
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
        if (!repeatStepDue(this, Message.WParam, WaitMode)) return;
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
        dropButtonHover(Buttons, ActiveButton, this);
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
            if (FEdit->HandleAllocated()) paintEditInto(dc, FEdit);
        }
        Message.Result = 1;
        return;
    default:
        break;
    }
    TspSkinCustomControl::WndProc(Message);
}
