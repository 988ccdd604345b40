#include "platform/win/controls/common.h"

#include <map>
#include <mutex>

#include "platform/win/controls/button.h"
#include "platform/win/controls/edit.h"
#include "platform/win/controls/listbox.h"
#include "platform/win/controls/scrollbar.h"
#include "platform/win/controls/static.h"
#include "platform/win/nonclient.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"

namespace {

struct Fonts {
    std::mutex m;
    std::map<HWND, HFONT> fonts;
};
Fonts& fonts() {
    static Fonts* f = new Fonts;
    return *f;
}

void ensure(const char* name, WNDPROC proc, UINT style, HCURSOR cursor) {
    if (GetClassInfo(nullptr, name, nullptr)) return;
    WNDCLASS wc;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hCursor = cursor;
    wc.lpszClassName = name;
    RegisterClass(wc);
}

} // namespace

void RegisterStandardControls() {
    static std::once_flag once;
    std::call_once(once, [] {
        ensure("EDIT", EditWndProc, 0, StockCursor(CursorShape::IBeam));
        ensure("LISTBOX", ListBoxWndProc, 0, nullptr);
        ensure("BUTTON", ButtonWndProc, 0, nullptr);
        ensure("STATIC", StaticWndProc, 0, nullptr);
        ensure("SCROLLBAR", ScrollBarWndProc, 0, nullptr);
    });
}

namespace winctl {

UINT ControlId(HWND hwnd) {
    return UINT(GetWindowLongPtr(hwnd, GWLP_ID));
}

void NotifyParent(HWND hwnd, UINT code) {
    HWND parent = GetParent(hwnd);
    if (!parent || !(StyleOf(hwnd) & WS_CHILD)) return;
    SendMessage(parent, WM_COMMAND,
                WPARAM(ControlId(hwnd) & 0xFFFF) | (WPARAM(code & 0xFFFF) << 16), LPARAM(hwnd));
}

HBRUSH ParentColors(HWND hwnd, UINT ctlColorMsg, HDC dc) {
    bool field = ctlColorMsg == WM_CTLCOLOREDIT || ctlColorMsg == WM_CTLCOLORLISTBOX;
    SetTextColor(dc, GetSysColor(field ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(field ? COLOR_WINDOW : COLOR_BTNFACE));
    HWND parent = GetParent(hwnd);
    LRESULT r = parent ? SendMessage(parent, ctlColorMsg, WPARAM(dc), LPARAM(hwnd)) : 0;
    if (r) return reinterpret_cast<HBRUSH>(r);
    return GetSysColorBrush(field ? COLOR_WINDOW : COLOR_BTNFACE);
}

HFONT FontOf(HWND hwnd) {
    {
        std::lock_guard g(fonts().m);
        auto it = fonts().fonts.find(hwnd);
        if (it != fonts().fonts.end() && it->second) return it->second;
    }
    return reinterpret_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void SetFontOf(HWND hwnd, HFONT font) {
    std::lock_guard g(fonts().m);
    fonts().fonts[hwnd] = font;
}

void ForgetFont(HWND hwnd) {
    std::lock_guard g(fonts().m);
    fonts().fonts.erase(hwnd);
}

DWORD StyleOf(HWND hwnd) {
    return DWORD(GetWindowLongPtr(hwnd, GWL_STYLE));
}

SIZE MeasureText(HWND hwnd, const std::string& text) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, FontOf(hwnd));
    SIZE s{};
    GetTextExtentPoint32(dc, text, &s);
    SelectObject(dc, old);
    DeleteDC(dc);
    return s;
}

int LineHeight(HWND hwnd) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, FontOf(hwnd));
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    return std::max(1, int(tm.tmHeight));
}

char32_t AcceleratorOf(const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        unsigned char c = static_cast<unsigned char>(caption[i + 1]);
        if (c < 0x80) return char32_t(c >= 'A' && c <= 'Z' ? c + 32 : c);
        std::u16string w = Utf8ToUtf16(caption.substr(i + 1, 4));
        return w.empty() ? 0 : char32_t(w[0]);
    }
    return 0;
}

int16_t LoX(LPARAM l) {
    return int16_t(LOWORD(uintptr_t(l)));
}
int16_t HiY(LPARAM l) {
    return int16_t(HIWORD(uintptr_t(l)));
}

} // namespace winctl
