#include "platform/win/controls/ctlutil.h"

#include "platform/win/queue.h"
#include "platform/win/window.h"

namespace ctlutil {

namespace {

template <class F> auto withFont(HFONT font, F f) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    auto result = f(dc);
    SelectObject(dc, old);
    DeleteDC(dc);
    return result;
}

} // namespace

int FontHeight(HFONT font) {
    return withFont(font, [](HDC dc) {
        TEXTMETRIC tm;
        GetTextMetrics(dc, &tm);
        return int(tm.tmHeight);
    });
}

int TextWidth(HFONT font, const std::string& text) {
    return withFont(font, [&](HDC dc) {
        SIZE sz{};
        GetTextExtentPoint32(dc, text, &sz);
        return int(sz.cx);
    });
}

LRESULT Notify(HWND from, UINT code, NMHDR* record) {
    if (!record) return 0;
    record->hwndFrom = from;
    record->idFrom = UINT_PTR(GetWindowLongPtr(from, GWLP_ID));
    record->code = code;
    HWND parent = GetParent(from);
    if (!parent || !IsWindow(parent)) return 0;
    return SendMessage(parent, WM_NOTIFY, WPARAM(record->idFrom), reinterpret_cast<LPARAM>(record));
}

void RegisterControlClass(const char* name, WNDPROC proc) {
    if (GetClassInfo(nullptr, name, nullptr)) return;
    WNDCLASS wc;
    wc.lpfnWndProc = proc;
    wc.lpszClassName = name;
    RegisterClass(wc);
}

} // namespace ctlutil
