// The plain default frame: hit testing of the caption, close box and sizing
// borders, its drawing, and our own move and size loops.
#pragma once

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
// loops, the close box), WM_SYSCOMMAND and WM_GETMINMAXINFO.
LRESULT DefNonClientProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The last pointer position a backend reported, in screen coordinates.
BOOL GetCursorPos(POINT* p);
void SetCursorPosFromBackend(POINT p);
