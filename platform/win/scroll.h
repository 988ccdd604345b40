// Scroll bars: the standard bars of a window (WS_HSCROLL, WS_VSCROLL) kept in
// its non-client area: their range, page and position, where they lie, their
// drawing and the mouse on them. A bar sends WM_VSCROLL / WM_HSCROLL to its
// window with the request in the low word of wParam (the position in the high
// word for the thumb requests) and lParam 0.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/win/types.h"

struct SCROLLINFO {
    UINT cbSize = 28;
    UINT fMask = 0;
    int nMin = 0;
    int nMax = 0;
    UINT nPage = 0;
    int nPos = 0;
    int nTrackPos = 0;
};

enum : UINT {
    SIF_RANGE = 0x0001,
    SIF_PAGE = 0x0002,
    SIF_POS = 0x0004,
    SIF_DISABLENOSCROLL = 0x0008,
    SIF_TRACKPOS = 0x0010,
    SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS,
};
enum : int { SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2, SB_BOTH = 3 };
// Scroll requests (LOWORD of the wParam of WM_HSCROLL and WM_VSCROLL).
enum : int {
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
enum : LRESULT { HTHSCROLL = 6, HTVSCROLL = 7 };
constexpr WPARAM MAKEWPARAM(int lo, int hi) {
    return WPARAM(DWORD(WORD(lo)) | (DWORD(WORD(hi)) << 16));
}

// Bars of windows: SB_HORZ and SB_VERT; SB_CTL is the state of a bar control. A bar whose range
// fits in its page is hidden (its style bit cleared) unless SIF_DISABLENOSCROLL is given; the
// position is kept within min..max - max(page - 1, 0). Returns the position.
int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw);
BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info);
int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw); // returns the old position
int GetScrollPos(HWND hwnd, int bar);
BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw);
BOOL GetScrollRange(HWND hwnd, int bar, int* minPos, int* maxPos);
// SB_HORZ, SB_VERT or SB_BOTH: sets or clears the style bits and recomputes the frame.
BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show);

namespace winimpl {

// One bar's state.
struct ScrollState {
    int min = 0;
    int max = 100;
    UINT page = 0;
    int pos = 0;
    int trackPos = 0;
};
ScrollState GetScrollState(HWND hwnd, int bar);
void SetScrollState(HWND hwnd, int bar, const ScrollState& s);
void ForgetScroll(HWND hwnd);

// The parts of a bar laid along its length.
struct ScrollGeometry {
    RECT bar{};
    RECT arrow1{};
    RECT arrow2{};
    RECT thumb{}; // empty when the bar is too short or the range fits
    bool vertical = true;
};
ScrollGeometry LayoutScrollBar(const RECT& bar, bool vertical, const ScrollState& s);
void DrawScrollBar(HDC dc, const ScrollGeometry& g, bool enabled);
// Where a window's standard bars lie, window coordinates; empty when not shown.
RECT WindowScrollBarRect(HWND hwnd, int bar);
// HTVSCROLL, HTHSCROLL or HTNOWHERE for a screen point.
LRESULT ScrollBarHitTest(HWND hwnd, POINT screen);
// A press on a window's bar: arrows and page areas step (and repeat while
// held), the thumb follows the pointer until the button is released.
void TrackWindowScrollBar(HWND hwnd, LRESULT hit, POINT screen);

// For bars of their own (the "SCROLLBAR" class, state SB_CTL):
// the request a press at p starts: SB_LINEUP, SB_PAGEUP, SB_THUMBTRACK,
// SB_PAGEDOWN, SB_LINEDOWN, or -1 outside.
int ScrollPartAt(const ScrollGeometry& g, POINT p);
// The position a thumb dragged by delta pixels from its place at `from` gives.
int ScrollPosForDrag(const ScrollGeometry& g, const ScrollState& s, int from, int delta);
// Runs a press at p (coordinates of the geometry, whose origin lies at
// screenOrigin) until the button is released, sending the requests to
// `notify` with barWindow as lParam.
void TrackScrollPress(HWND capture, HWND notify, HWND barWindow, int bar, ScrollGeometry geometry,
                      POINT p, POINT screenOrigin);

} // namespace winimpl
