// "msctls_updown32": a pair of arrow buttons holding an integer position in a
// range. A press steps the position (and repeats while held), asks the
// parent first with UDN_DELTAPOS, shows the position in a buddy window when
// asked to, and reports it to the parent as WM_VSCROLL (WM_HSCROLL for a
// horizontal pair) with SB_THUMBPOSITION and the position in the high word,
// the up-down's window in lParam; SB_ENDSCROLL follows the release.
#pragma once

#include "platform/win/messages.h"
#include "platform/win/types.h"

constexpr const char* UPDOWN_CLASS = "msctls_updown32";

// Styles.
constexpr DWORD UDS_WRAP = 0x0001;        // past one end to the other
constexpr DWORD UDS_SETBUDDYINT = 0x0002; // the buddy's text shows the position
constexpr DWORD UDS_ALIGNRIGHT = 0x0004;  // sit at the buddy's right edge
constexpr DWORD UDS_ALIGNLEFT = 0x0008;
constexpr DWORD UDS_AUTOBUDDY = 0x0010; // the window created just before is the buddy
constexpr DWORD UDS_ARROWKEYS = 0x0020; // the buddy's up and down keys step
constexpr DWORD UDS_HORZ = 0x0040;      // left and right arrows
constexpr DWORD UDS_NOTHOUSANDS = 0x0080;

// Messages.
constexpr UINT UDM_FIRST = WM_USER + 100;
constexpr UINT UDM_SETRANGE32 = UDM_FIRST + 0; // wParam min, lParam max
constexpr UINT UDM_GETRANGE32 = UDM_FIRST + 1; // wParam int* min, lParam int* max
constexpr UINT UDM_SETPOS32 = UDM_FIRST + 2;   // lParam position; returns the old one
constexpr UINT UDM_GETPOS32 = UDM_FIRST + 3;   // lParam BOOL* error (buddy text not a number)
constexpr UINT UDM_SETBUDDY = UDM_FIRST + 4;   // wParam window; returns the old one
constexpr UINT UDM_GETBUDDY = UDM_FIRST + 5;
constexpr UINT UDM_SETBASE = UDM_FIRST + 6; // wParam 10 or 16
constexpr UINT UDM_GETBASE = UDM_FIRST + 7;

// Notification (NMUPDOWN); answer TRUE to refuse the step.
constexpr UINT UDN_FIRST = 0u - 721u;
constexpr UINT UDN_DELTAPOS = UDN_FIRST - 1;

struct NMUPDOWN {
    NMHDR hdr;
    int pos = 0;   // before the step
    int delta = 0; // the step asked for; a handler may change it
};

void RegisterUpDownClass();
LRESULT UpDownWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
