// The "EDIT" window class: single- and multi-line text entry with selection,
// caret, clipboard, one level of undo, password character, read-only mode and
// a length limit. Positions count characters (code points); text is UTF-8,
// and bytes that are not UTF-8 pass through unchanged.
#pragma once

#include "platform/win/controls/common.h"

enum : DWORD {
    ES_LEFT = 0x0000,
    ES_CENTER = 0x0001,
    ES_RIGHT = 0x0002,
    ES_MULTILINE = 0x0004,
    ES_UPPERCASE = 0x0008,
    ES_LOWERCASE = 0x0010,
    ES_PASSWORD = 0x0020,
    ES_AUTOVSCROLL = 0x0040,
    ES_AUTOHSCROLL = 0x0080,
    ES_NOHIDESEL = 0x0100,
    ES_READONLY = 0x0800,
    ES_WANTRETURN = 0x1000,
    ES_NUMBER = 0x2000,
};

enum : UINT {
    EM_GETSEL = 0x00B0,     // wParam, lParam: DWORD* start, end; answers MAKELONG(start, end)
    EM_SETSEL = 0x00B1,     // start, end (-1 end: to the end; -1 start: no selection)
    EM_GETRECT = 0x00B2,    // lParam RECT*
    EM_SETRECT = 0x00B3,    // lParam RECT* (null: the default)
    EM_SETRECTNP = 0x00B4,  // the same without repainting
    EM_SCROLL = 0x00B5,     // SB_LINEUP ... SB_PAGEDOWN
    EM_LINESCROLL = 0x00B6, // columns, lines
    EM_SCROLLCARET = 0x00B7,
    EM_GETMODIFY = 0x00B8,
    EM_SETMODIFY = 0x00B9,
    EM_GETLINECOUNT = 0x00BA,
    EM_LINEINDEX = 0x00BB,  // line (-1: the caret's); answers its first character
    EM_LINELENGTH = 0x00C1, // character index; answers the length of its line
    EM_REPLACESEL = 0x00C2, // can undo, lParam const char*
    EM_GETLINE = 0x00C4,    // line; lParam buffer whose first WORD is its size
    EM_LIMITTEXT = 0x00C5,  // characters (0: the largest)
    EM_SETLIMITTEXT = 0x00C5,
    EM_CANUNDO = 0x00C6,
    EM_UNDO = 0x00C7,
    EM_LINEFROMCHAR = 0x00C9, // character index (-1: the caret's)
    EM_SETPASSWORDCHAR = 0x00CC,
    EM_EMPTYUNDOBUFFER = 0x00CD,
    EM_GETFIRSTVISIBLELINE = 0x00CE,
    EM_SETREADONLY = 0x00CF,
    EM_GETPASSWORDCHAR = 0x00D2,
    EM_SETMARGINS = 0x00D3, // EC_* flags, MAKELONG(left, right)
    EM_GETMARGINS = 0x00D4,
    EM_GETLIMITTEXT = 0x00D5,
    EM_POSFROMCHAR = 0x00D6, // character index; answers MAKELONG(x, y)
    EM_CHARFROMPOS = 0x00D7, // lParam MAKELPARAM(x, y); answers MAKELONG(char, line)
};
enum : WPARAM { EC_LEFTMARGIN = 0x0001, EC_RIGHTMARGIN = 0x0002 };
// Notifications (HIWORD of the WM_COMMAND wParam).
enum : UINT {
    EN_SETFOCUS = 0x0100,
    EN_KILLFOCUS = 0x0200,
    EN_CHANGE = 0x0300,
    EN_UPDATE = 0x0400,
    EN_MAXTEXT = 0x0501,
    EN_HSCROLL = 0x0601,
    EN_VSCROLL = 0x0602,
};

LRESULT EditWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
