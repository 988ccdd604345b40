// The "STATIC" window class: text (left, centred, right, wrapped or with an
// ellipsis), filled and etched rectangles and lines, and owner-drawn statics.
#pragma once

#include "platform/win/controls/common.h"

enum : DWORD {
    SS_LEFT = 0x0000,
    SS_CENTER = 0x0001,
    SS_RIGHT = 0x0002,
    SS_BLACKRECT = 0x0004,
    SS_GRAYRECT = 0x0005,
    SS_WHITERECT = 0x0006,
    SS_BLACKFRAME = 0x0007,
    SS_SIMPLE = 0x000B,
    SS_LEFTNOWORDWRAP = 0x000C,
    SS_OWNERDRAW = 0x000D,
    SS_ETCHEDHORZ = 0x0010,
    SS_ETCHEDVERT = 0x0011,
    SS_ETCHEDFRAME = 0x0012,
    SS_TYPEMASK = 0x001F,
    SS_NOPREFIX = 0x0080,
    SS_NOTIFY = 0x0100,
    SS_CENTERIMAGE = 0x0200,
    SS_SUNKEN = 0x1000,
    SS_ENDELLIPSIS = 0x4000,
};
enum : UINT { STN_CLICKED = 0, STN_DBLCLK = 1 };

LRESULT StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
