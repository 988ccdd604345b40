// Part drawing, hit testing and window helpers the skinned box controls share
// (scroll bar, edits, spin edit, list boxes, combo box); not for callers.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/win/queue.h"
#include "platform/win/timers.h"
#include "skin/controls/SkinBoxCtrls.h"
#include "skin/engine/SPUtils.h"

namespace boxutil {

inline TRect moved(TRect R, int dx, int dy) {
    return TRect(R.Left + dx, R.Top + dy, R.Right + dx, R.Bottom + dy);
}

inline constexpr TColor kNavy = TColor(0x800000);
inline constexpr TColor kHotFill = TColor(0xD2BDB6);
inline constexpr TColor kDownFill = TColor(0xB59385);
inline constexpr UINT_PTR kRepeatTimer = 1;

inline bool holds(const TRect& R, int X, int Y) {
    return X >= R.Left && X < R.Right && Y >= R.Top && Y < R.Bottom;
}

// Moves the hover to the button under the mouse among the first Count (to
// none while another one is captured); Leave and Enter run for the buttons
// that change.
template <class Leave, class Enter>
void moveButtonHover(const TspCBButtonX* Buttons, int Count, int X, int Y, int Capture, int& Old,
                     int& Active, Leave OnLeave, Enter OnEnter) {
    Old = Active;
    Active = -1;
    for (int i = 0; i < Count; ++i)
        if (holds(Buttons[i].R, X, Y)) {
            Active = i;
            break;
        }
    if (Capture != -1 && Active != Capture) Active = -1;
    if (Active == Old) return;
    if (Old != -1) OnLeave(Old);
    if (Active != -1) OnEnter(Active);
}

// A part that stretches in width only: the new points and client rectangle for
// width W.
inline void fitPartWidth(TspSkinPartGeometry& G, int W) {
    const int dw = W - RectWidth(G.SkinRect);
    G.NewLTPoint = G.LTPt;
    G.NewRTPoint = TPoint(G.RTPt.X + dw, G.RTPt.Y);
    G.NewClRect = TRect(G.ClRect.Left, G.ClRect.Top, G.ClRect.Right + dw, G.ClRect.Bottom);
}

// Paints the inner edit into DC at its place in the control, clipped to it.
inline void paintEditInto(HDC DC, TWinControl* Edit) {
    const int saved = SaveDC(DC);
    SetViewportOrgEx(DC, Edit->Left(), Edit->Top(), nullptr);
    IntersectClipRect(DC, 0, 0, Edit->Width(), Edit->Height());
    SendMessage(Edit->Handle(), WM_PAINT, WPARAM(DC), 0);
    RestoreDC(DC, saved);
}

// The pointer left the control: its hot buttons go back to normal, each with a
// repaint, and none is active.
template <size_t N> void dropButtonHover(TspCBButtonX (&Buttons)[N], int& Active, TControl* C) {
    for (auto& b : Buttons)
        if (b.MouseIn) {
            b.MouseIn = false;
            C->Repaint();
        }
    Active = -1;
}

// A tick of timer TimerId of control C; the first repeat tick after the wait
// sets the repeat rate. True when the control is to step.
inline bool repeatStepDue(TWinControl* C, WPARAM TimerId, bool& WaitMode) {
    if (TimerId != kRepeatTimer) return false;
    if (WaitMode) {
        WaitMode = false;
        SetTimer(C->Handle(), kRepeatTimer, 100, nullptr);
        return false;
    }
    return true;
}

inline TRect inset(const TRect& R, int d) {
    return TRect(R.Left + d, R.Top + d, R.Right - d, R.Bottom - d);
}

// The default look of a part: idle, hot or pressed frame and fill.
inline void drawDefaultButton(TCanvas* C, const TRect& R, bool pressed, bool hot,
                              bool idleFrame = true) {
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

// The default look of a box button without a skin: pressed, hot or plain.
inline void drawDefaultBoxButton(TCanvas* C, const TspCBButtonX& b) {
    if (b.Down && b.MouseIn)
        drawDefaultButton(C, b.R, true, true);
    else if (b.MouseIn)
        drawDefaultButton(C, b.R, false, true);
    else {
        C->Brush()->SetColor(clBtnFace);
        C->FillRect(b.R);
    }
}

inline void copyFromPicture(TCanvas* C, TBitmap* Picture, const TRect& dst, const TRect& src) {
    if (!Picture || IsEmptyRect(src) || IsEmptyRect(dst)) return;
    C->CopyRect(dst, Picture->Canvas(), src);
}

template <class T> T* elementOf(TspSkinData* sd, int index) {
    if (!sd || index < 0 || size_t(index) >= sd->CtrlList.size()) return nullptr;
    return dynamic_cast<T*>(sd->CtrlList[size_t(index)].get());
}

inline TBitmap* pictureOf(TspSkinData* sd, int index) {
    if (!sd || index < 0 || size_t(index) >= sd->FActivePictures.size()) return nullptr;
    return sd->FActivePictures[size_t(index)].get();
}

// Rebuilds a control's window with its current parameters, keeping its text.
inline void recreateWindow(TWinControl* c) {
    if (!c->HandleAllocated()) return;
    const std::string text = c->Text();
    const bool focused = c->Focused();
    c->DestroyHandle();
    c->HandleNeeded();
    c->SetText(text);
    if (focused) c->SetFocus();
}

inline constexpr LPARAM kPrintNcMagic = 16802;

// The part Src of button element el's picture built into B at B's size,
// stretched by the element's corners.
inline void buildButtonPart(TBitmap* B, const TspDataSkinButtonControl* el, TBitmap* pic,
                            const TRect& src) {
    const int W = B->Width(), H = B->Height();
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
}

// The part Src of button element el's picture, stretched to the size of R and
// drawn at R.
inline void drawButtonPart(TCanvas* C, const TspDataSkinButtonControl* el, TBitmap* pic,
                           const TRect& src, const TRect& R) {
    TBitmap b(RectWidth(R), RectHeight(R));
    buildButtonPart(&b, el, pic, src);
    C->Draw(R.Left, R.Top, &b);
}

// A button element ("editbutton", else "resizebutton") built to the size of R.
inline void paintResizeButton(TspSkinData* sd, TCanvas* C, const TRect& R, bool down, bool hot,
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
    drawButtonPart(C, el, pic, src, R);
}

inline TFontCharset charsetOf(TspSkinData* sd, TFont* fallback) {
    return sd && sd->ResourceStrData() ? sd->ResourceStrData()->CharSet() : fallback->Charset();
}

// Tab stops from lines of digits (anything else counts 0), the first ten.
inline std::vector<int> tabStops(TStrings* widths) {
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
inline void tabbedText(TCanvas* C, int X, int Y, const std::string& text,
                       const std::vector<int>& stops) {
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

} // namespace boxutil
