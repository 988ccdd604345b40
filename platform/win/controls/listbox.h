// The "LISTBOX" window class: a list of text items with single, multiple or
// extended selection, owner-drawn items of fixed or variable height, a
// vertical scroll bar and the LBN_* notifications (with LBS_NOTIFY).
#pragma once

#include <string>

#include "platform/win/controls/common.h"

enum : DWORD {
    LBS_NOTIFY = 0x0001,
    LBS_SORT = 0x0002,
    LBS_NOREDRAW = 0x0004,
    LBS_MULTIPLESEL = 0x0008,
    LBS_OWNERDRAWFIXED = 0x0010,
    LBS_OWNERDRAWVARIABLE = 0x0020,
    LBS_HASSTRINGS = 0x0040,
    LBS_USETABSTOPS = 0x0080,
    LBS_NOINTEGRALHEIGHT = 0x0100,
    LBS_MULTICOLUMN = 0x0200,
    LBS_WANTKEYBOARDINPUT = 0x0400,
    LBS_EXTENDEDSEL = 0x0800,
    LBS_DISABLENOSCROLL = 0x1000,
    LBS_NOSEL = 0x4000,
};

enum : UINT {
    LB_ADDSTRING = 0x0180,    // lParam const char* (owner-drawn without strings: item data)
    LB_INSERTSTRING = 0x0181, // index (-1: at the end), lParam as LB_ADDSTRING
    LB_DELETESTRING = 0x0182,
    LB_RESETCONTENT = 0x0184,
    LB_SETSEL = 0x0185,    // select?, index (-1: all); multiple selection only
    LB_SETCURSEL = 0x0186, // index (-1: none); single selection only
    LB_GETSEL = 0x0187,
    LB_GETCURSEL = 0x0188,
    LB_GETTEXT = 0x0189, // index, lParam buffer of LB_GETTEXTLEN + 1 bytes
    LB_GETTEXTLEN = 0x018A,
    LB_GETCOUNT = 0x018B,
    LB_SELECTSTRING = 0x018C,
    LB_GETTOPINDEX = 0x018E,
    LB_FINDSTRING = 0x018F, // start after index (-1: from the top), lParam prefix
    LB_GETSELCOUNT = 0x0190,
    LB_GETSELITEMS = 0x0191, // room, lParam int*
    LB_GETHORIZONTALEXTENT = 0x0193,
    LB_SETHORIZONTALEXTENT = 0x0194,
    LB_SETTOPINDEX = 0x0197,
    LB_GETITEMRECT = 0x0198, // index, lParam RECT*
    LB_GETITEMDATA = 0x0199,
    LB_SETITEMDATA = 0x019A,
    LB_SELITEMRANGE = 0x019B, // select?, MAKELPARAM(first, last)
    LB_SETANCHORINDEX = 0x019C,
    LB_GETANCHORINDEX = 0x019D,
    LB_SETCARETINDEX = 0x019E,
    LB_GETCARETINDEX = 0x019F,
    LB_SETITEMHEIGHT = 0x01A0, // index (variable heights), height
    LB_GETITEMHEIGHT = 0x01A1,
    LB_FINDSTRINGEXACT = 0x01A2,
    LB_INITSTORAGE = 0x01A8,
    LB_ITEMFROMPOINT = 0x01A9, // lParam MAKELPARAM(x, y); HIWORD 1 when outside the items
};
constexpr LRESULT LB_OKAY = 0;
constexpr LRESULT LB_ERR = -1;
enum : UINT {
    LBN_SELCHANGE = 1,
    LBN_DBLCLK = 2,
    LBN_SELCANCEL = 3,
    LBN_SETFOCUS = 4,
    LBN_KILLFOCUS = 5,
};

LRESULT ListBoxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// An item's text whatever its length (LB_GETTEXT needs a buffer of the right
// size); empty for an index out of range.
std::string ListBoxItemText(HWND hwnd, int index);
