// Small helpers shared by the list, header, tab and up-down controls.
#pragma once

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/win/paint.h"
#include "platform/win/types.h"
#include "platform/win/window.h"

namespace ctlutil {

inline int X(LPARAM l) {
    return int16_t(LOWORD(uintptr_t(l)));
}
inline int Y(LPARAM l) {
    return int16_t(HIWORD(uintptr_t(l)));
}

// Copies text into a caller's buffer of `size` bytes, always terminated;
// returns the bytes copied.
inline int CopyText(const std::string& text, char* out, int size) {
    if (!out || size <= 0) return 0;
    size_t n = std::min(text.size(), size_t(size) - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return int(n);
}

// Height of a line of text in the font (the stock font when null).
int FontHeight(HFONT font);
// Width of a text in the font.
int TextWidth(HFONT font, const std::string& text);
// Sends WM_NOTIFY with the record (which starts with an NMHDR) to the parent.
LRESULT Notify(HWND from, UINT code, NMHDR* record);
// Registers the window class of a control once (later calls do nothing).
void RegisterControlClass(const char* name, WNDPROC proc);

// At WM_NCCREATE, makes the control's state and keeps it in the window
// property; false for every other message.
template <class State> bool CreateState(HWND hwnd, UINT msg, const char* prop) {
    if (msg != WM_NCCREATE) return false;
    auto* s = new State;
    s->hwnd = hwnd;
    SetProp(hwnd, prop, s);
    return true;
}

// WM_PAINT of a control that paints its whole client through paint(dc): into
// the DC in wParam when one is given, between BeginPaint and EndPaint
// otherwise; nothing is drawn while redrawing is off.
template <class F> void PaintWhole(HWND hwnd, WPARAM wParam, bool redraw, F paint) {
    PAINTSTRUCT ps;
    HDC dc = wParam ? reinterpret_cast<HDC>(wParam) : BeginPaint(hwnd, &ps);
    if (dc && redraw) paint(dc);
    if (!wParam) EndPaint(hwnd, &ps);
}

// The painting messages of such a control that has no other part to print:
// WM_ERASEBKGND (nothing to erase), WM_PAINT, WM_PRINTCLIENT, the client
// part of WM_PRINT and WM_SETREDRAW. The answer, none for other messages.
template <class F>
std::optional<LRESULT> PaintMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool& redraw,
                                    F paint) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintWhole(hwnd, wParam, redraw, paint);
        return 0;
    case WM_PRINTCLIENT:
    case WM_PRINT:
        if (wParam && (msg == WM_PRINTCLIENT || (lParam & PRF_CLIENT)))
            paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETREDRAW:
        redraw = wParam != 0;
        if (redraw) InvalidateRect(hwnd, nullptr, 1);
        return 0;
    default:
        return std::nullopt;
    }
}

} // namespace ctlutil
