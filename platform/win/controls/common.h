// What the standard window classes share: their message numbers and styles,
// the registration call, and the helpers they use to talk to their parent.
#pragma once

#include <string>

#include "platform/gdi/gdi.h"
#include "platform/win/messages.h"
#include "platform/win/types.h"

constexpr UINT WM_COPY = 0x0301;
constexpr UINT WM_CTLCOLORSCROLLBAR = 0x0137;

// WM_GETDLGCODE answers.
enum : LRESULT {
    DLGC_WANTARROWS = 0x0001,
    DLGC_WANTTAB = 0x0002,
    DLGC_WANTALLKEYS = 0x0004,
    DLGC_WANTMESSAGE = 0x0004,
    DLGC_HASSETSEL = 0x0008,
    DLGC_DEFPUSHBUTTON = 0x0010,
    DLGC_UNDEFPUSHBUTTON = 0x0020,
    DLGC_RADIOBUTTON = 0x0040,
    DLGC_WANTCHARS = 0x0080,
    DLGC_STATIC = 0x0100,
    DLGC_BUTTON = 0x2000,
};

// Owner-draw records (WM_DRAWITEM, WM_MEASUREITEM).
enum : UINT { ODT_LISTBOX = 2, ODT_COMBOBOX = 3, ODT_BUTTON = 4, ODT_STATIC = 5 };
enum : UINT { ODA_DRAWENTIRE = 1, ODA_SELECT = 2, ODA_FOCUS = 4 };
enum : UINT {
    ODS_SELECTED = 0x0001,
    ODS_GRAYED = 0x0002,
    ODS_DISABLED = 0x0004,
    ODS_CHECKED = 0x0008,
    ODS_FOCUS = 0x0010,
    ODS_DEFAULT = 0x0020,
    ODS_HOTLIGHT = 0x0040,
    ODS_NOACCEL = 0x0100,
    ODS_NOFOCUSRECT = 0x0200,
};
struct DRAWITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemAction = 0;
    UINT itemState = 0;
    HWND hwndItem = 0;
    HDC hDC = nullptr;
    RECT rcItem{};
    UINT_PTR itemData = 0;
};
struct MEASUREITEMSTRUCT {
    UINT CtlType = 0;
    UINT CtlID = 0;
    UINT itemID = 0;
    UINT itemWidth = 0;
    UINT itemHeight = 0;
    UINT_PTR itemData = 0;
    // The control asking, so that a parent finds it without ids.
    HWND hwndItem = 0;
};

// Makes the window classes "EDIT", "LISTBOX", "BUTTON", "STATIC" and
// "SCROLLBAR" exist (once per process; later calls do nothing).
void RegisterStandardControls();

namespace winctl {

// The id a child window was created with.
UINT ControlId(HWND hwnd);
// Sends WM_COMMAND (id, code; the control) to the control's parent.
void NotifyParent(HWND hwnd, UINT code);
// Asks the parent for the colours of a control (a WM_CTLCOLOR* message);
// the brush answered, or the system brush of the field when no parent
// answers one. A NULL_BRUSH answer means the background is left as it is.
HBRUSH ParentColors(HWND hwnd, UINT ctlColorMsg, HDC dc);
// The font set by WM_SETFONT, the default GUI font when none.
HFONT FontOf(HWND hwnd);
void SetFontOf(HWND hwnd, HFONT font);
void ForgetFont(HWND hwnd);
DWORD StyleOf(HWND hwnd);
// Screen DC-free text measurement in the control's font.
SIZE MeasureText(HWND hwnd, const std::string& text);
int LineHeight(HWND hwnd);
// The accelerator character of a caption ('&' before it; "&&" is a plain
// '&'), lower-cased; 0 when none.
char32_t AcceleratorOf(const std::string& caption);
// A typed character as AcceleratorOf gives it (ASCII letters lower-cased).
constexpr char32_t AcceleratorKey(WPARAM ch) {
    return ch >= 'A' && ch <= 'Z' ? char32_t(ch + 32) : char32_t(ch);
}
// Painting through WM_PAINT or into the DC of WM_PRINTCLIENT.
template <class F> void PaintOrPrint(HWND hwnd, UINT msg, WPARAM wParam, F paint);
int16_t LoX(LPARAM l);
int16_t HiY(LPARAM l);

} // namespace winctl

// ---- inline definitions ----------------------------------------------------

#include "platform/win/paint.h"

template <class F> void winctl::PaintOrPrint(HWND hwnd, UINT msg, WPARAM wParam, F paint) {
    if (msg == WM_PRINTCLIENT) {
        if (wParam) paint(reinterpret_cast<HDC>(wParam));
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc) paint(dc);
    EndPaint(hwnd, &ps);
}
