// The "SCROLLBAR" window class: a bar of its own that sends WM_HSCROLL or
// WM_VSCROLL (with itself as lParam) to its parent; its state is the SB_CTL
// bar of SetScrollInfo.
#pragma once

#include "platform/win/controls/common.h"

enum : DWORD { SBS_HORZ = 0x0000, SBS_VERT = 0x0001 };
enum : UINT {
    SBM_SETPOS = 0x00E0, // position, redraw; answers the old one
    SBM_GETPOS = 0x00E1,
    SBM_SETRANGE = 0x00E2, // min, max
    SBM_GETRANGE = 0x00E3, // int* min, int* max
    SBM_SETRANGEREDRAW = 0x00E6,
    SBM_SETSCROLLINFO = 0x00E9, // redraw, SCROLLINFO*
    SBM_GETSCROLLINFO = 0x00EA, // 0, SCROLLINFO*
};

LRESULT ScrollBarWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
