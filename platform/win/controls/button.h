// The "BUTTON" window class: push buttons, check boxes (two and three
// states), radio buttons, group boxes and owner-drawn buttons.
#pragma once

#include "platform/win/controls/common.h"

enum : DWORD {
    BS_PUSHBUTTON = 0x0000,
    BS_DEFPUSHBUTTON = 0x0001,
    BS_CHECKBOX = 0x0002,
    BS_AUTOCHECKBOX = 0x0003,
    BS_RADIOBUTTON = 0x0004,
    BS_3STATE = 0x0005,
    BS_AUTO3STATE = 0x0006,
    BS_GROUPBOX = 0x0007,
    BS_AUTORADIOBUTTON = 0x0009,
    BS_OWNERDRAW = 0x000B,
    BS_TYPEMASK = 0x000F,
    BS_LEFTTEXT = 0x0020,
    BS_PUSHLIKE = 0x1000,
    BS_MULTILINE = 0x2000,
};
// The first control of a group (radio buttons are grouped up to the next one).
constexpr DWORD WS_GROUP = 0x00020000;

enum : UINT {
    BM_GETCHECK = 0x00F0,
    BM_SETCHECK = 0x00F1,
    BM_GETSTATE = 0x00F2,
    BM_SETSTATE = 0x00F3,
    BM_SETSTYLE = 0x00F4, // style, redraw
    BM_CLICK = 0x00F5,
};
enum : LRESULT {
    BST_UNCHECKED = 0x0000,
    BST_CHECKED = 0x0001,
    BST_INDETERMINATE = 0x0002,
    BST_PUSHED = 0x0004,
    BST_FOCUS = 0x0008,
};
enum : UINT { BN_CLICKED = 0, BN_DBLCLK = 5, BN_SETFOCUS = 6, BN_KILLFOCUS = 7 };

LRESULT ButtonWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
