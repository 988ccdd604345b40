// Small helpers shared by the list, header, tab and up-down controls.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/win/types.h"

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

} // namespace ctlutil
