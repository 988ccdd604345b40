// "SysListView32": a list of items with sub-items shown in rows under a
// column header ("SysHeader32" child) in report view, or as a plain column of
// rows in the other views. It keeps items, columns, selection and focus,
// scrolls by rows (vertically) and pixels (horizontally) with the window's
// standard scroll bars, and tells its parent about changes with WM_NOTIFY.
// Drawing goes through the custom-draw notifications, so a parent can draw
// items itself. Texts are UTF-8 and may hold any bytes.
#pragma once

#include "platform/win/controls/header.h"
#include "platform/win/controls/imagesource.h"
#include "platform/win/controls/notify.h"
#include "platform/win/types.h"

constexpr const char* WC_LISTVIEW = "SysListView32";

// Styles: the view in the low bits, then the options.
constexpr DWORD LVS_ICON = 0x0000;
constexpr DWORD LVS_REPORT = 0x0001;
constexpr DWORD LVS_SMALLICON = 0x0002;
constexpr DWORD LVS_LIST = 0x0003;
constexpr DWORD LVS_TYPEMASK = 0x0003;
constexpr DWORD LVS_SINGLESEL = 0x0004;
constexpr DWORD LVS_SHOWSELALWAYS = 0x0008;
constexpr DWORD LVS_SORTASCENDING = 0x0010;
constexpr DWORD LVS_SORTDESCENDING = 0x0020;
constexpr DWORD LVS_OWNERDATA = 0x1000;
constexpr DWORD LVS_NOCOLUMNHEADER = 0x4000;
constexpr DWORD LVS_NOSORTHEADER = 0x8000;

// Extended styles (LVM_SETEXTENDEDLISTVIEWSTYLE).
constexpr DWORD LVS_EX_GRIDLINES = 0x0001;
constexpr DWORD LVS_EX_SUBITEMIMAGES = 0x0002;
constexpr DWORD LVS_EX_CHECKBOXES = 0x0004;
constexpr DWORD LVS_EX_FULLROWSELECT = 0x0020;

// Messages.
constexpr UINT LVM_FIRST = 0x1000;
constexpr UINT LVM_GETBKCOLOR = LVM_FIRST + 0;
constexpr UINT LVM_SETBKCOLOR = LVM_FIRST + 1; // lParam COLORREF (CLR_NONE: no fill)
constexpr UINT LVM_GETIMAGELIST = LVM_FIRST + 2;
constexpr UINT LVM_SETIMAGELIST = LVM_FIRST + 3; // wParam LVSIL_*, lParam HIMAGELIST
constexpr UINT LVM_GETITEMCOUNT = LVM_FIRST + 4;
constexpr UINT LVM_GETITEM = LVM_FIRST + 5;    // lParam LVITEM*
constexpr UINT LVM_SETITEM = LVM_FIRST + 6;    // lParam const LVITEM*
constexpr UINT LVM_INSERTITEM = LVM_FIRST + 7; // lParam const LVITEM*; returns the index or -1
constexpr UINT LVM_DELETEITEM = LVM_FIRST + 8;
constexpr UINT LVM_DELETEALLITEMS = LVM_FIRST + 9;
constexpr UINT LVM_GETNEXTITEM = LVM_FIRST + 10;    // wParam start (-1), lParam LVNI_*
constexpr UINT LVM_FINDITEM = LVM_FIRST + 11;       // wParam start (-1), lParam const LVFINDINFO*
constexpr UINT LVM_GETITEMRECT = LVM_FIRST + 12;    // wParam item, lParam RECT* (left: LVIR_*)
constexpr UINT LVM_GETSTRINGWIDTH = LVM_FIRST + 13; // lParam const char*
constexpr UINT LVM_HITTEST = LVM_FIRST + 14;        // lParam LVHITTESTINFO*; returns the item
constexpr UINT LVM_ENSUREVISIBLE = LVM_FIRST + 15;  // wParam item, lParam partial allowed
constexpr UINT LVM_SCROLL = LVM_FIRST + 16;         // wParam dx, lParam dy in pixels
constexpr UINT LVM_REDRAWITEMS = LVM_FIRST + 17;    // wParam first, lParam last
constexpr UINT LVM_GETCOLUMN = LVM_FIRST + 18;      // wParam column, lParam LVCOLUMN*
constexpr UINT LVM_SETCOLUMN = LVM_FIRST + 19;
constexpr UINT LVM_INSERTCOLUMN = LVM_FIRST + 20; // returns the index or -1
constexpr UINT LVM_DELETECOLUMN = LVM_FIRST + 21;
constexpr UINT LVM_GETCOLUMNWIDTH = LVM_FIRST + 22;
constexpr UINT LVM_SETCOLUMNWIDTH = LVM_FIRST + 23; // lParam width or LVSCW_*
constexpr UINT LVM_GETHEADER = LVM_FIRST + 24;
constexpr UINT LVM_GETVIEWRECT = LVM_FIRST + 25;
constexpr UINT LVM_GETTEXTCOLOR = LVM_FIRST + 26;
constexpr UINT LVM_SETTEXTCOLOR = LVM_FIRST + 27;
constexpr UINT LVM_GETTEXTBKCOLOR = LVM_FIRST + 28;
constexpr UINT LVM_SETTEXTBKCOLOR = LVM_FIRST + 29;
constexpr UINT LVM_GETTOPINDEX = LVM_FIRST + 30;
constexpr UINT LVM_GETCOUNTPERPAGE = LVM_FIRST + 31;
constexpr UINT LVM_GETORIGIN = LVM_FIRST + 32; // lParam POINT*
constexpr UINT LVM_UPDATE = LVM_FIRST + 33;
constexpr UINT LVM_SETITEMSTATE = LVM_FIRST + 34; // wParam item (-1 all), lParam const LVITEM*
constexpr UINT LVM_GETITEMSTATE = LVM_FIRST + 35; // wParam item, lParam mask
constexpr UINT LVM_GETITEMTEXT = LVM_FIRST + 36;  // wParam item, lParam LVITEM*; returns length
constexpr UINT LVM_SETITEMTEXT = LVM_FIRST + 37;  // wParam item, lParam const LVITEM*
constexpr UINT LVM_SETITEMCOUNT = LVM_FIRST + 38; // owner data: the number of items
constexpr UINT LVM_SORTITEMS = LVM_FIRST + 39; // wParam data, lParam PFNLVCOMPARE on item lParams
constexpr UINT LVM_GETSELECTEDCOUNT = LVM_FIRST + 40;
constexpr UINT LVM_SETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 41; // wParam mask (0: all), lParam
constexpr UINT LVM_GETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 42;
constexpr UINT LVM_GETSUBITEMRECT = LVM_FIRST + 43; // wParam item, lParam RECT* (top: sub-item,
                                                    // left: LVIR_*)
constexpr UINT LVM_SUBITEMHITTEST = LVM_FIRST + 44; // lParam LVHITTESTINFO*
constexpr UINT LVM_SETCOLUMNORDERARRAY = LVM_FIRST + 45;
constexpr UINT LVM_GETCOLUMNORDERARRAY = LVM_FIRST + 46;
constexpr UINT LVM_GETSELECTIONMARK = LVM_FIRST + 47;
constexpr UINT LVM_SETSELECTIONMARK = LVM_FIRST + 48;
constexpr UINT LVM_SORTITEMSEX = LVM_FIRST + 49; // as LVM_SORTITEMS, on item indexes

// Image lists.
constexpr WPARAM LVSIL_NORMAL = 0;
constexpr WPARAM LVSIL_SMALL = 1;
constexpr WPARAM LVSIL_STATE = 2;

// LVITEM fields in use.
constexpr UINT LVIF_TEXT = 0x01;
constexpr UINT LVIF_IMAGE = 0x02;
constexpr UINT LVIF_PARAM = 0x04;
constexpr UINT LVIF_STATE = 0x08;
constexpr UINT LVIF_INDENT = 0x10;

// Item states.
constexpr UINT LVIS_FOCUSED = 0x0001;
constexpr UINT LVIS_SELECTED = 0x0002;
constexpr UINT LVIS_CUT = 0x0004;
constexpr UINT LVIS_DROPHILITED = 0x0008;
constexpr UINT LVIS_STATEIMAGEMASK = 0xF000; // 1-based index into the state images
constexpr UINT INDEXTOSTATEIMAGEMASK(UINT i) {
    return i << 12;
}

// A text (or image) the parent gives on request through LVN_GETDISPINFO.
inline char* const LPSTR_TEXTCALLBACK = reinterpret_cast<char*>(-1);
constexpr int I_IMAGECALLBACK = -1;

// LVM_GETNEXTITEM relations and filters.
constexpr LPARAM LVNI_ALL = 0x000;
constexpr LPARAM LVNI_FOCUSED = 0x001;
constexpr LPARAM LVNI_SELECTED = 0x002;
constexpr LPARAM LVNI_ABOVE = 0x100;
constexpr LPARAM LVNI_BELOW = 0x200;
constexpr LPARAM LVNI_TOLEFT = 0x400;
constexpr LPARAM LVNI_TORIGHT = 0x800;

// Parts of an item for LVM_GETITEMRECT and LVM_GETSUBITEMRECT.
constexpr int LVIR_BOUNDS = 0;
constexpr int LVIR_ICON = 1;
constexpr int LVIR_LABEL = 2;
constexpr int LVIR_SELECTBOUNDS = 3;

// Hit-test results.
constexpr UINT LVHT_NOWHERE = 0x01;
constexpr UINT LVHT_ONITEMICON = 0x02;
constexpr UINT LVHT_ONITEMLABEL = 0x04;
constexpr UINT LVHT_ONITEMSTATEICON = 0x08;
constexpr UINT LVHT_ONITEM = LVHT_ONITEMICON | LVHT_ONITEMLABEL | LVHT_ONITEMSTATEICON;
constexpr UINT LVHT_ABOVE = 0x10;
constexpr UINT LVHT_BELOW = 0x20;
constexpr UINT LVHT_TORIGHT = 0x40;
constexpr UINT LVHT_TOLEFT = 0x80;

// LVCOLUMN fields in use and column formats.
constexpr UINT LVCF_FMT = 0x01;
constexpr UINT LVCF_WIDTH = 0x02;
constexpr UINT LVCF_TEXT = 0x04;
constexpr UINT LVCF_SUBITEM = 0x08;
constexpr UINT LVCF_IMAGE = 0x10;
constexpr UINT LVCF_ORDER = 0x20;
constexpr int LVCFMT_LEFT = 0x0;
constexpr int LVCFMT_RIGHT = 0x1;
constexpr int LVCFMT_CENTER = 0x2;
constexpr int LVCFMT_JUSTIFYMASK = 0x3;
constexpr int LVCFMT_IMAGE = 0x0800;
// LVM_SETCOLUMNWIDTH: fit the widest text, or the text and the caption.
constexpr int LVSCW_AUTOSIZE = -1;
constexpr int LVSCW_AUTOSIZE_USEHEADER = -2;

// LVM_FINDITEM.
constexpr UINT LVFI_PARAM = 0x01;
constexpr UINT LVFI_STRING = 0x02;
constexpr UINT LVFI_PARTIAL = 0x08;
constexpr UINT LVFI_WRAP = 0x20;

// Notification codes to the parent.
constexpr UINT LVN_FIRST = 0u - 100u;
constexpr UINT LVN_ITEMCHANGING = LVN_FIRST - 0; // NMLISTVIEW; answer TRUE to refuse
constexpr UINT LVN_ITEMCHANGED = LVN_FIRST - 1;
constexpr UINT LVN_INSERTITEM = LVN_FIRST - 2;
constexpr UINT LVN_DELETEITEM = LVN_FIRST - 3;
constexpr UINT LVN_DELETEALLITEMS = LVN_FIRST - 4; // answer TRUE: no LVN_DELETEITEM per item
constexpr UINT LVN_COLUMNCLICK = LVN_FIRST - 8;    // NMLISTVIEW, subItem: the column
constexpr UINT LVN_GETDISPINFO = LVN_FIRST - 50;   // NMLVDISPINFO: fill the asked fields
constexpr UINT LVN_KEYDOWN = LVN_FIRST - 55;       // NMLVKEYDOWN

// Custom drawing stages and answers.
constexpr DWORD CDDS_PREPAINT = 0x00000001;
constexpr DWORD CDDS_POSTPAINT = 0x00000002;
constexpr DWORD CDDS_ITEM = 0x00010000;
constexpr DWORD CDDS_SUBITEM = 0x00020000;
constexpr DWORD CDDS_ITEMPREPAINT = CDDS_ITEM | CDDS_PREPAINT;
constexpr DWORD CDDS_ITEMPOSTPAINT = CDDS_ITEM | CDDS_POSTPAINT;
constexpr LRESULT CDRF_DODEFAULT = 0x00;
constexpr LRESULT CDRF_NEWFONT = 0x02; // the handler selected another font into the DC
constexpr LRESULT CDRF_SKIPDEFAULT = 0x04;
constexpr LRESULT CDRF_NOTIFYPOSTPAINT = 0x10;
constexpr LRESULT CDRF_NOTIFYITEMDRAW = 0x20;
constexpr LRESULT CDRF_NOTIFYSUBITEMDRAW = 0x20;
constexpr UINT CDIS_SELECTED = 0x0001;
constexpr UINT CDIS_GRAYED = 0x0002;
constexpr UINT CDIS_DISABLED = 0x0004;
constexpr UINT CDIS_CHECKED = 0x0008;
constexpr UINT CDIS_FOCUS = 0x0010;
constexpr UINT CDIS_HOT = 0x0040;

struct LVITEM {
    UINT mask = 0;
    int item = 0;
    int subItem = 0;
    UINT state = 0;
    UINT stateMask = 0;
    char* text = nullptr; // in: the text or LPSTR_TEXTCALLBACK; out: a buffer of textMax bytes
    int textMax = 0;
    int image = 0;
    LPARAM lParam = 0;
    int indent = 0;
};

struct LVCOLUMN {
    UINT mask = 0;
    int fmt = LVCFMT_LEFT;
    int cx = 0;
    char* text = nullptr; // as in LVITEM
    int textMax = 0;
    int subItem = 0;
    int image = -1;
    int order = 0;
};

struct LVFINDINFO {
    UINT flags = 0;
    const char* text = nullptr;
    LPARAM lParam = 0;
};

struct LVHITTESTINFO {
    POINT pt; // client coordinates
    UINT flags = 0;
    int item = -1;
    int subItem = 0;
};

struct NMLISTVIEW {
    NMHDR hdr;
    int item = -1;
    int subItem = 0;
    UINT newState = 0;
    UINT oldState = 0;
    UINT changed = 0; // LVIF_* of what changed
    POINT ptAction;
    LPARAM lParam = 0;
};

struct NMITEMACTIVATE {
    NMHDR hdr;
    int item = -1;
    int subItem = 0;
    POINT ptAction;
    LPARAM lParam = 0;
    UINT keyFlags = 0; // MK_SHIFT, MK_CONTROL
};

struct NMLVDISPINFO {
    NMHDR hdr;
    LVITEM item; // mask: what is asked; text: a buffer to fill
};

struct NMLVKEYDOWN {
    NMHDR hdr;
    WORD vkey = 0;
    UINT flags = 0;
};

struct NMCUSTOMDRAW {
    NMHDR hdr;
    DWORD drawStage = 0;
    HDC hdc = nullptr;
    RECT rc;
    UINT_PTR itemSpec = 0; // the item index
    UINT itemState = 0;    // CDIS_*
    LPARAM itemlParam = 0;
};

struct NMLVCUSTOMDRAW {
    NMCUSTOMDRAW nmcd;
    COLORREF clrText = 0;
    COLORREF clrTextBk = 0;
    int subItem = 0;
};

using PFNLVCOMPARE = int (*)(LPARAM a, LPARAM b, LPARAM data);

constexpr COLORREF CLR_NONE = 0xFFFFFFFF;
constexpr COLORREF CLR_DEFAULT = 0xFF000000;

void RegisterListViewClass();
LRESULT ListViewWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
