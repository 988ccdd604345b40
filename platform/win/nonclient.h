// The plain default frame: hit testing of the caption, close box and sizing
// borders, its drawing, and our own move and size loops.
#pragma once

#include <functional>

#include "platform/gdi/gdi.h"
#include "platform/win/types.h"

enum : LRESULT {
    HTERROR = -2,
    HTTRANSPARENT = -1,
    HTNOWHERE = 0,
    HTCLIENT = 1,
    HTCAPTION = 2,
    HTSYSMENU = 3,
    HTMINBUTTON = 8,
    HTMAXBUTTON = 9,
    HTLEFT = 10,
    HTRIGHT = 11,
    HTTOP = 12,
    HTTOPLEFT = 13,
    HTTOPRIGHT = 14,
    HTBOTTOM = 15,
    HTBOTTOMLEFT = 16,
    HTBOTTOMRIGHT = 17,
    HTBORDER = 18,
    HTCLOSE = 20,
};
constexpr UINT WM_MOVING = 0x0216;
enum : WPARAM { SC_SIZE = 0xF000, SC_MOVE = 0xF010, SC_MINIMIZE = 0xF020, SC_MAXIMIZE = 0xF030 };
enum : WPARAM { SC_CLOSE = 0xF060, SC_RESTORE = 0xF120 };
enum : WPARAM {
    WMSZ_LEFT = 1,
    WMSZ_RIGHT = 2,
    WMSZ_TOP = 3,
    WMSZ_TOPLEFT = 4,
    WMSZ_TOPRIGHT = 5,
    WMSZ_BOTTOM = 6,
    WMSZ_BOTTOMLEFT = 7,
    WMSZ_BOTTOMRIGHT = 8
};

struct MINMAXINFO {
    POINT ptReserved;
    POINT ptMaxSize;
    POINT ptMaxPosition;
    POINT ptMinTrackSize;
    POINT ptMaxTrackSize;
};

// The default frame of a top-level window with WS_CAPTION: a caption band of
// SM_CYCAPTION pixels at the top with a close box at its right end and, with
// WS_THICKFRAME, sizing borders of SM_CXFRAME pixels. Window coordinates.
RECT DefaultCaptionRect(HWND hwnd);
RECT DefaultCloseBoxRect(HWND hwnd);
// Hit test of a screen point against the default frame.
LRESULT DefaultHitTest(HWND hwnd, POINT screen);
// Draws the default frame into a device context of the whole window.
void DrawDefaultFrame(HWND hwnd, HDC dc, bool active);
// The default handling of WM_NCHITTEST, WM_NCLBUTTONDOWN (move and size
// loops, the close box), WM_SYSCOMMAND, WM_NCCALCSIZE (lParam: a RECT*, the
// window rectangle in, the client rectangle out), WM_NCPAINT, WM_NCACTIVATE
// and WM_SETCURSOR.
LRESULT DefNonClientProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Thickness of the default frame on each side (caption included at the top):
// a caption or sizing style gives a frame, a plain border one pixel, child
// windows and popups without either nothing.
// A sunken client edge (WS_EX_CLIENTEDGE) adds two pixels on each side, the
// standard scroll bars their width at the right and bottom.
RECT DefaultFrameInsets(HWND hwnd);
// The same without the standard scroll bars: frame, border and client edge
// (WS_EX_CLIENTEDGE, two pixels a side).
RECT DefaultBorderInsets(HWND hwnd);
// Draws border, client edge and standard scroll bars into a DC of the whole window.
void DrawDefaultNonClient(HWND hwnd, HDC dc);
// Draws the shown standard scroll bars into a device context of the whole window.
void DrawDefaultScrollBars(HWND hwnd, HDC dc);

// Pointer shapes. A window's shape is chosen on WM_SETCURSOR: the default
// picks a sizing shape over the borders and the class cursor (or the arrow)
// elsewhere.
enum class CursorShape { Arrow, SizeWE, SizeNS, SizeNWSE, SizeNESW, Hand, IBeam };
HCURSOR StockCursor(CursorShape shape);
HCURSOR SetCursor(HCURSOR cursor); // returns the previous one
HCURSOR GetCursor();
// The shape of a stock cursor (Arrow for any other handle).
CursorShape CursorShapeOf(HCURSOR cursor);
// Called when the cursor changes; the display backend shows it.
void SetCursorPresenter(std::function<void(HCURSOR)> presenter);
// The last pointer position a backend reported, in screen coordinates.
BOOL GetCursorPos(POINT* p);
void SetCursorPosFromBackend(POINT p);

namespace winimpl {
// Asks the window for its client area (WM_NCCALCSIZE) and keeps the answer as
// insets from the window's edges; marks the frame for painting.
void RecalcNonClient(HWND hwnd);
// The kept insets (left, top, right, bottom); zero until the first recalc.
RECT ClientInsets(HWND hwnd);
// Whether the frame waits for WM_NCPAINT; taking it clears the mark.
bool TakeFrameDirty(HWND hwnd);
void MarkFrameDirty(HWND hwnd);
void ForgetNonClient(HWND hwnd);
} // namespace winimpl
