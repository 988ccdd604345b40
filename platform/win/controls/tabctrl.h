// The tab control: a strip of tabs above (or below, or beside) a page area.
// It keeps the tabs and the selection and lays the tabs out; the pages are
// the parent's. When single-line tabs do not fit, a horizontal
// "msctls_updown32" child at the strip's end scrolls them (TCM and WM_HSCROLL
// with SB_THUMBPOSITION bring a tab to the front). Notifications go to the
// parent as WM_NOTIFY.
#pragma once

#include "platform/win/controls/imagesource.h"
#include "platform/win/controls/notify.h"
#include "platform/win/messages.h"
#include "platform/win/types.h"

constexpr const char* WC_TABCONTROL = "SysTabControl32";

// Styles.
constexpr DWORD TCS_BOTTOM = 0x0002; // tabs below the pages (right of them with TCS_VERTICAL)
constexpr DWORD TCS_RIGHT = 0x0002;
constexpr DWORD TCS_VERTICAL = 0x0080; // tabs at the left (with TCS_RIGHT: at the right)
constexpr DWORD TCS_BUTTONS = 0x0100;
constexpr DWORD TCS_MULTILINE = 0x0200;
constexpr DWORD TCS_FIXEDWIDTH = 0x0400;
constexpr DWORD TCS_FOCUSNEVER = 0x8000;

// Messages.
constexpr UINT TCM_FIRST = 0x1300;
constexpr UINT TCM_GETIMAGELIST = TCM_FIRST + 0;
constexpr UINT TCM_SETIMAGELIST = TCM_FIRST + 1; // lParam HIMAGELIST
constexpr UINT TCM_GETITEMCOUNT = TCM_FIRST + 2;
constexpr UINT TCM_GETITEM = TCM_FIRST + 3;    // wParam index, lParam TCITEM*
constexpr UINT TCM_SETITEM = TCM_FIRST + 4;    // wParam index, lParam const TCITEM*
constexpr UINT TCM_INSERTITEM = TCM_FIRST + 5; // wParam index, lParam const TCITEM*; index or -1
constexpr UINT TCM_DELETEITEM = TCM_FIRST + 6;
constexpr UINT TCM_DELETEALLITEMS = TCM_FIRST + 7;
constexpr UINT TCM_GETITEMRECT = TCM_FIRST + 8; // wParam index, lParam RECT*
constexpr UINT TCM_GETCURSEL = TCM_FIRST + 9;
constexpr UINT TCM_SETCURSEL = TCM_FIRST + 10;   // no notifications; returns the old selection
constexpr UINT TCM_HITTEST = TCM_FIRST + 11;     // lParam TCHITTESTINFO*; returns the index
constexpr UINT TCM_ADJUSTRECT = TCM_FIRST + 12;  // wParam: TRUE page area to window area,
                                                 // FALSE the other way; lParam RECT*
constexpr UINT TCM_SETITEMSIZE = TCM_FIRST + 13; // lParam MAKELPARAM(width, height); returns
                                                 // the old size the same way
constexpr UINT TCM_SETPADDING = TCM_FIRST + 14;  // lParam MAKELPARAM(x, y)
constexpr UINT TCM_GETROWCOUNT = TCM_FIRST + 15;
constexpr UINT TCM_GETCURFOCUS = TCM_FIRST + 16;
constexpr UINT TCM_SETCURFOCUS = TCM_FIRST + 17;
constexpr UINT TCM_SETMINTABWIDTH = TCM_FIRST + 18;

// TCITEM fields in use.
constexpr UINT TCIF_TEXT = 0x01;
constexpr UINT TCIF_IMAGE = 0x02;
constexpr UINT TCIF_PARAM = 0x08;

// Hit-test results.
constexpr UINT TCHT_NOWHERE = 0x1;
constexpr UINT TCHT_ONITEMICON = 0x2;
constexpr UINT TCHT_ONITEMLABEL = 0x4;
constexpr UINT TCHT_ONITEM = TCHT_ONITEMICON | TCHT_ONITEMLABEL;

// Notification codes.
constexpr UINT TCN_FIRST = 0u - 550u;
constexpr UINT TCN_KEYDOWN = TCN_FIRST - 0;     // NMTCKEYDOWN
constexpr UINT TCN_SELCHANGE = TCN_FIRST - 1;   // NMHDR
constexpr UINT TCN_SELCHANGING = TCN_FIRST - 2; // NMHDR; answer TRUE to keep the selection

struct TCITEM {
    UINT mask = 0;
    char* text = nullptr; // in: the caption; out: a buffer of textMax bytes
    int textMax = 0;
    int image = -1;
    LPARAM lParam = 0;
};

struct TCHITTESTINFO {
    POINT pt; // client coordinates
    UINT flags = 0;
};

struct NMTCKEYDOWN {
    NMHDR hdr;
    WORD vkey = 0;
    UINT flags = 0;
};

void RegisterTabControlClass();
LRESULT TabControlWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
