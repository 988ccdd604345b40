// Skin lookups, picture parts, text, accelerator and timer helpers the skinned
// control files share (buttons, check boxes, panels, gauge, labels, speed
// buttons); not for callers.
#pragma once

#include <algorithm>
#include <memory>
#include <string>

#include "platform/win/controls/common.h"
#include "platform/win/window.h"
#include "skin/controls/SkinCtrls.h"

namespace ctrlutil {

inline TBitmap* pictureAt(TspSkinData* sd, int index) {
    if (!sd || index < 0 || size_t(index) >= sd->FActivePictures.size()) return nullptr;
    return sd->FActivePictures[size_t(index)].get();
}

inline TspDataSkinControl* elementAt(TspSkinData* sd, int index) {
    if (!sd || index < 0 || size_t(index) >= sd->CtrlList.size()) return nullptr;
    return sd->CtrlList[size_t(index)].get();
}

inline bool skinOn(TspSkinData* sd) {
    return sd && !sd->Empty;
}

inline TFontCharset charsetOf(TspSkinData* sd, TFont* def) {
    return sd && sd->ResourceStrData() ? sd->ResourceStrData()->CharSet() : def->Charset();
}

inline void setFont(TCanvas* C, const std::string& name, TFontStyles style, int height,
                    TColor color, TFontCharset charset) {
    TFont* f = C->Font();
    f->SetName(name);
    f->SetStyle(style);
    f->SetHeight(height);
    f->SetColor(color);
    f->SetCharset(charset);
}

// D takes the part R of the picture at R's size.
inline void copyPart(TBitmap* D, TBitmap* P, const TRect& R) {
    D->SetSize(std::max(0, R.Width()), std::max(0, R.Height()));
    if (!P || IsEmptyRect(R)) return;
    BitBlt(D->Canvas()->Handle(), 0, 0, R.Width(), R.Height(), P->Canvas()->Handle(), R.Left, R.Top,
           SRCCOPY);
}

inline void drawPartFixedTransparent(TCanvas* C, int X, int Y, TBitmap* P, const TRect& R,
                                     TColor key) {
    if (!P || IsEmptyRect(R)) return;
    TBitmap b;
    copyPart(&b, P, R);
    b.SetTransparentMode(tmFixed);
    b.SetTransparentColor(key);
    b.SetTransparent(true);
    C->Draw(X, Y, &b);
}

inline void frameAndFill(TCanvas* C, const TRect& R, TColor frame, TColor fill) {
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetColor(fill);
    C->FillRect(R);
    C->Brush()->SetColor(frame);
    C->FrameRect(R);
}

inline bool accelMatches(const std::string& caption, WPARAM ch) {
    char32_t a = winctl::AcceleratorOf(caption);
    return a != 0 && a == winctl::AcceleratorKey(ch);
}

inline void pointOf(LPARAM l, int& x, int& y) {
    x = int16_t(LOWORD(uintptr_t(l)));
    y = int16_t(HIWORD(uintptr_t(l)));
}

// Makes a stopped timer run Handler every Interval ms; a timer is only
// stopped, never freed, from its own tick.
inline void runTimer(std::unique_ptr<TTimer>& T, unsigned Interval, TNotifyEvent Handler) {
    if (!T) T = std::make_unique<TTimer>(nullptr);
    T->SetEnabled(false);
    T->SetInterval(std::max(1u, Interval));
    T->SetOnTimer(std::move(Handler));
    T->SetEnabled(true);
}

inline bool timerRuns(const std::unique_ptr<TTimer>& T) {
    return T && T->Enabled();
}

inline void stopTimer(std::unique_ptr<TTimer>& T) {
    if (T) T->SetEnabled(false);
}

// A held control follows the pointer leaving it and coming back: the pointer
// at L crossing its edge sends it the enter or leave message.
inline void followHeldPointer(TControl* C, LPARAM L, bool Held, bool In) {
    int x, y;
    pointOf(L, x, y);
    bool inside = x >= 0 && y >= 0 && x < C->Width() && y < C->Height();
    if (Held && inside != In) C->Perform(inside ? CM_MOUSEENTER : CM_MOUSELEAVE, 0, 0);
}

// A click on a control without the focus takes the focus first, the click
// commands sent meanwhile held off (ClicksHeld); false when the focus does not
// come.
inline bool takeFocusOnClick(TWinControl* C, bool& ClicksHeld) {
    if (C->HasState(csDesigning) || C->Focused()) return true;
    ClicksHeld = true;
    if (C->CanFocus()) ::SetFocus(C->Handle());
    ClicksHeld = false;
    return C->Focused();
}

// One tick of a hover fade: Kf steps by 0.2 towards 1 when Hot, towards 0
// when not, and Timer stops once it gets there, or at once when the control
// cannot fade. False when there is nothing to repaint.
inline bool stepMorph(double& Kf, bool Hot, bool CanFade, std::unique_ptr<TTimer>& Timer) {
    if (!CanFade) {
        Kf = Hot ? 1 : 0;
        stopTimer(Timer);
        return false;
    }
    if (Hot && Kf < 1) {
        Kf = std::min(1.0, Kf + 0.2);
    } else if (!Hot && Kf > 0) {
        Kf = std::max(0.0, Kf - 0.2);
    } else {
        Kf = Hot ? 1 : 0;
        stopTimer(Timer);
    }
    return true;
}

// DrawText with the canvas's font and colour, on a clear background.
inline int canvasText(TCanvas* C, const std::string& S, TRect& R, UINT Flags) {
    C->RequiredState();
    HDC dc = C->Handle();
    SetBkMode(dc, TRANSPARENT);
    RECT r{R.Left, R.Top, R.Right, R.Bottom};
    int h = (Flags & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS)) ? DrawTextEx(dc, S, &r, Flags, nullptr)
                                                           : DrawText(dc, S, &r, Flags);
    if (Flags & DT_CALCRECT) R = TRect(r);
    return h;
}

inline TColor skinColor(TspSkinData* sd, TColor TspSkinColors::*field, TColor fallback) {
    return sd && sd->SkinColors() ? sd->SkinColors()->*field : fallback;
}

} // namespace ctrlutil
