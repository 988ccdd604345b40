// The standard scroll bars of a window (WS_VSCROLL, WS_HSCROLL): their range,
// page and position, their place in the non-client area, drawing and the
// mouse on them. A bar sends WM_VSCROLL / WM_HSCROLL to its own window with
// the request in the low word of wParam (the position in the high word for
// the thumb requests) and lParam 0.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/win/types.h"

enum : int { SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2, SB_BOTH = 3 };
enum : WORD {
    SB_LINEUP = 0,
    SB_LINELEFT = 0,
    SB_LINEDOWN = 1,
    SB_LINERIGHT = 1,
    SB_PAGEUP = 2,
    SB_PAGELEFT = 2,
    SB_PAGEDOWN = 3,
    SB_PAGERIGHT = 3,
    SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5,
    SB_TOP = 6,
    SB_LEFT = 6,
    SB_BOTTOM = 7,
    SB_RIGHT = 7,
    SB_ENDSCROLL = 8,
};
// Which fields of SCROLLINFO a call reads or fills.
enum : UINT { SIF_RANGE = 0x1, SIF_PAGE = 0x2, SIF_POS = 0x4, SIF_TRACKPOS = 0x10 };
constexpr UINT SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
// Hit-test codes of the two bars.
enum : LRESULT { HTHSCROLL = 6, HTVSCROLL = 7 };

struct SCROLLINFO {
    UINT mask = SIF_ALL;
    int min = 0;
    int max = 0;
    UINT page = 0;
    int pos = 0;
    int trackPos = 0; // while the thumb is dragged
};

// The position is kept inside min..max - page + 1 (min..max without a page).
// Returns the new position. Windows unknown to the layer give 0.
int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw);
BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info);
int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw); // returns the old position
int GetScrollPos(HWND hwnd, int bar);
BOOL SetScrollRange(HWND hwnd, int bar, int min, int max, BOOL redraw);
BOOL GetScrollRange(HWND hwnd, int bar, int* min, int* max);
// Sets or clears the style bit of the bar and recalculates the frame.
BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show);

namespace winimpl {
// Takes the shown bars off a client rectangle (window coordinates).
void ScrollBarsCalcSize(HWND hwnd, RECT* client);
// Draws the shown bars into a device context of the whole window.
void ScrollBarsPaint(HWND hwnd, HDC windowDC);
// HTVSCROLL, HTHSCROLL or HTNOWHERE for a screen point.
LRESULT ScrollBarsHitTest(HWND hwnd, POINT screen);
// A press on a bar: arrows and page areas step (and repeat while held), the
// thumb follows the pointer until the button is released.
void ScrollBarsTrack(HWND hwnd, LRESULT hit, POINT screen);
void ForgetScrollBars(HWND hwnd);
} // namespace winimpl
