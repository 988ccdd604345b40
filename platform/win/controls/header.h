// "SysHeader32": the column header of the list view. A row of sections, each
// with a caption, a width, an alignment and an optional image; the user
// resizes a section by dragging the divider at its right edge and clicks a
// section to sort by it. Notifications go to the parent as WM_NOTIFY.
#pragma once

#include "platform/win/controls/imagesource.h"
#include "platform/win/types.h"

constexpr const char* WC_HEADER = "SysHeader32";

// Styles.
constexpr DWORD HDS_BUTTONS = 0x0002;  // sections press like buttons
constexpr DWORD HDS_HIDDEN = 0x0008;   // HDM_LAYOUT gives no height
constexpr DWORD HDS_FULLDRAG = 0x0080; // sections resize while the divider moves

// Messages.
constexpr UINT HDM_FIRST = 0x1200;
constexpr UINT HDM_GETITEMCOUNT = HDM_FIRST + 0;
constexpr UINT HDM_INSERTITEM = HDM_FIRST + 1;  // wParam index, lParam const HDITEM*
constexpr UINT HDM_DELETEITEM = HDM_FIRST + 2;  // wParam index
constexpr UINT HDM_GETITEM = HDM_FIRST + 3;     // wParam index, lParam HDITEM*
constexpr UINT HDM_SETITEM = HDM_FIRST + 4;     // wParam index, lParam const HDITEM*
constexpr UINT HDM_LAYOUT = HDM_FIRST + 5;      // lParam HDLAYOUT*
constexpr UINT HDM_HITTEST = HDM_FIRST + 6;     // lParam HDHITTESTINFO*; returns the index
constexpr UINT HDM_GETITEMRECT = HDM_FIRST + 7; // wParam index, lParam RECT*
constexpr UINT HDM_SETIMAGELIST = HDM_FIRST + 8;
constexpr UINT HDM_GETIMAGELIST = HDM_FIRST + 9;
constexpr UINT HDM_ORDERTOINDEX = HDM_FIRST + 10;
constexpr UINT HDM_GETORDERARRAY = HDM_FIRST + 11; // wParam count, lParam int*
constexpr UINT HDM_SETORDERARRAY = HDM_FIRST + 12; // wParam count, lParam const int*

// Notification codes (NMHEADER).
constexpr UINT HDN_FIRST = 0u - 300u;
constexpr UINT HDN_ITEMCHANGING = HDN_FIRST - 0; // answer TRUE to refuse
constexpr UINT HDN_ITEMCHANGED = HDN_FIRST - 1;
constexpr UINT HDN_ITEMCLICK = HDN_FIRST - 2;
constexpr UINT HDN_DIVIDERDBLCLICK = HDN_FIRST - 3;
constexpr UINT HDN_BEGINTRACK = HDN_FIRST - 4; // answer TRUE to refuse the drag
constexpr UINT HDN_ENDTRACK = HDN_FIRST - 5;
constexpr UINT HDN_TRACK = HDN_FIRST - 6;

// HDITEM fields in use.
constexpr UINT HDI_WIDTH = 0x01;
constexpr UINT HDI_TEXT = 0x02;
constexpr UINT HDI_FORMAT = 0x04;
constexpr UINT HDI_LPARAM = 0x08;
constexpr UINT HDI_IMAGE = 0x20;
constexpr UINT HDI_ORDER = 0x80;

// Section formats.
constexpr int HDF_LEFT = 0x0;
constexpr int HDF_RIGHT = 0x1;
constexpr int HDF_CENTER = 0x2;
constexpr int HDF_JUSTIFYMASK = 0x3;
constexpr int HDF_IMAGE = 0x0800;

// Hit-test results.
constexpr UINT HHT_NOWHERE = 0x01;
constexpr UINT HHT_ONHEADER = 0x02;
constexpr UINT HHT_ONDIVIDER = 0x04;
constexpr UINT HHT_TORIGHT = 0x08;
constexpr UINT HHT_TOLEFT = 0x10;

struct HDITEM {
    UINT mask = 0;
    int cxy = 0;          // width
    char* text = nullptr; // in: the caption; out: a buffer of textMax bytes
    int textMax = 0;
    int fmt = HDF_LEFT;
    LPARAM lParam = 0;
    int image = -1;
    int order = 0; // displayed position
};

struct HDLAYOUT {
    RECT* rect = nullptr;     // in: the parent's area; out: what is left below the header
    WINDOWPOS* pos = nullptr; // out: where the header goes
};

struct HDHITTESTINFO {
    POINT pt; // client coordinates
    UINT flags = 0;
    int item = -1;
};

struct NMHEADER {
    NMHDR hdr;
    int item = -1;
    int button = 0;                // 0 left, 1 right
    const HDITEM* pitem = nullptr; // the change, for the change and track notifications
};

// Registers the class (again is harmless).
void RegisterHeaderClass();
LRESULT HeaderWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
