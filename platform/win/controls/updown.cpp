#include "platform/win/controls/updown.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/win/controls/ctlutil.h"
#include "platform/win/input.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/scroll.h"
#include "platform/win/timers.h"
#include "platform/win/window.h"

namespace {

constexpr const char* kProp = "msctls_updown32.state";
constexpr const char* kBuddyProp = "msctls_updown32.buddy";
constexpr const char* kBuddyProcProp = "msctls_updown32.buddyproc";
constexpr UINT_PTR kRepeatTimer = 1;
constexpr UINT kFirstDelay = 500;
constexpr UINT kRepeatDelay = 100;

struct UpDown {
    HWND hwnd = 0;
    int min = 0;
    int max = 100;
    int pos = 0;
    int base = 10;
    HWND buddy = 0;
    int pressed = -1; // 0: the increasing button, 1: the decreasing one
    bool pressedIn = false;
    bool redraw = true;
};

UpDown* get(HWND h) {
    return h ? static_cast<UpDown*>(GetProp(h, kProp)) : nullptr;
}

DWORD styleOf(HWND h) {
    return DWORD(GetWindowLongPtr(h, GWL_STYLE));
}

bool horizontal(HWND h) {
    return styleOf(h) & UDS_HORZ;
}

// Button 0 steps toward max: the upper half, or the right half of a
// horizontal pair.
RECT buttonRect(HWND h, int button) {
    RECT c{};
    GetClientRect(h, &c);
    if (horizontal(h)) {
        int mid = c.right / 2;
        return button == 0 ? RECT{mid, 0, c.right, c.bottom} : RECT{0, 0, mid, c.bottom};
    }
    int mid = c.bottom / 2;
    return button == 0 ? RECT{0, 0, c.right, mid} : RECT{0, mid, c.right, c.bottom};
}

int buttonAt(HWND h, POINT p) {
    for (int b = 0; b < 2; ++b) {
        RECT r = buttonRect(h, b);
        if (PtInRect(&r, p)) return b;
    }
    return -1;
}

std::string formatPos(int pos, int base, bool thousands) {
    if (base == 16) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%04X", unsigned(pos));
        return buf;
    }
    std::string digits = std::to_string(pos < 0 ? -int64_t(pos) : int64_t(pos));
    if (thousands)
        for (int i = int(digits.size()) - 3; i > 0; i -= 3)
            digits.insert(size_t(i), ",");
    return pos < 0 ? "-" + digits : digits;
}

// The buddy's text as a position; false when it is not a number.
bool parseBuddy(const UpDown& s, int* out) {
    std::string t = GetWindowText(s.buddy);
    std::erase(t, ',');
    if (t.empty()) return false;
    char* end = nullptr;
    long long v = std::strtoll(t.c_str(), &end, s.base == 16 ? 16 : 10);
    if (!end || *end != '\0') return false;
    *out = int(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
    return true;
}

void showInBuddy(UpDown& s) {
    if (s.buddy && IsWindow(s.buddy) && (styleOf(s.hwnd) & UDS_SETBUDDYINT))
        SetWindowText(s.buddy, formatPos(s.pos, s.base, !(styleOf(s.hwnd) & UDS_NOTHOUSANDS)));
}

int lo(const UpDown& s) {
    return std::min(s.min, s.max);
}
int hi(const UpDown& s) {
    return std::max(s.min, s.max);
}

void reportPos(HWND self, WORD code) {
    UpDown* s = get(self);
    HWND parent = GetParent(self);
    if (!s || !parent) return;
    SendMessage(parent, horizontal(self) ? WM_HSCROLL : WM_VSCROLL,
                WPARAM(code) | (WPARAM(WORD(s->pos)) << 16), LPARAM(self));
}

// One step of a button through the parent's consent.
void step(HWND self, int button) {
    UpDown* s = get(self);
    if (!s) return;
    if (s->buddy && (styleOf(self) & UDS_SETBUDDYINT)) {
        int fromText = 0;
        if (parseBuddy(*s, &fromText)) s->pos = std::clamp(fromText, lo(*s), hi(*s));
    }
    // The increasing button moves toward max, whichever way the range runs.
    int dir = s->max >= s->min ? 1 : -1;
    NMUPDOWN nm;
    nm.pos = s->pos;
    nm.delta = button == 0 ? dir : -dir;
    if (ctlutil::Notify(self, UDN_DELTAPOS, &nm.hdr)) return;
    s = get(self);
    if (!s) return;
    int64_t next = int64_t(s->pos) + nm.delta;
    if (next > hi(*s))
        next = (styleOf(self) & UDS_WRAP) ? lo(*s) : hi(*s);
    else if (next < lo(*s))
        next = (styleOf(self) & UDS_WRAP) ? hi(*s) : lo(*s);
    if (int(next) == s->pos) return;
    s->pos = int(next);
    showInBuddy(*s);
    reportPos(self, SB_THUMBPOSITION);
}

void drawArrowIn(HDC dc, RECT r, int dir, bool enabled) {
    // dir: 0 up, 1 down, 2 left, 3 right
    int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    int size = std::max(1, std::min<int>(4, std::min(r.right - r.left, r.bottom - r.top) / 3));
    HBRUSH b = GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    for (int i = 0; i < size; ++i) {
        RECT line{};
        switch (dir) {
        case 0:
            line = RECT{cx - i, cy - size / 2 + i, cx + i + 1, cy - size / 2 + i + 1};
            break;
        case 1:
            line = RECT{cx - (size - 1 - i), cy - size / 2 + i, cx + (size - i),
                        cy - size / 2 + i + 1};
            break;
        case 2:
            line = RECT{cx - size / 2 + i, cy - i, cx - size / 2 + i + 1, cy + i + 1};
            break;
        default:
            line = RECT{cx - size / 2 + i, cy - (size - 1 - i), cx - size / 2 + i + 1,
                        cy + (size - i)};
            break;
        }
        FillRect(dc, &line, b);
    }
}

void paint(UpDown& s, HDC dc) {
    bool enabled = IsWindowEnabled(s.hwnd);
    for (int b = 0; b < 2; ++b) {
        RECT r = buttonRect(s.hwnd, b);
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        bool down = s.pressed == b && s.pressedIn;
        RECT e = r;
        DrawEdge(dc, &e, down ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
        if (down) OffsetRect(&r, 1, 1);
        int dir = horizontal(s.hwnd) ? (b == 0 ? 3 : 2) : (b == 0 ? 0 : 1);
        drawArrowIn(dc, r, dir, enabled);
    }
}

void invalidate(UpDown& s) {
    if (s.redraw) InvalidateRect(s.hwnd, nullptr, 1);
}

LRESULT buddyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto old = reinterpret_cast<WNDPROC>(GetProp(hwnd, kBuddyProcProp));
    auto updown = HWND(reinterpret_cast<uintptr_t>(GetProp(hwnd, kBuddyProp)));
    if (msg == WM_KEYDOWN && IsWindow(updown) &&
        (wParam == WPARAM(VK_UP) || wParam == WPARAM(VK_DOWN))) {
        step(updown, wParam == WPARAM(VK_UP) ? 0 : 1);
        return 0;
    }
    if (msg == WM_NCDESTROY) {
        RemoveProp(hwnd, kBuddyProp);
        RemoveProp(hwnd, kBuddyProcProp);
        if (old) SetWindowLongPtr(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    }
    return CallWindowProc(old, hwnd, msg, wParam, lParam);
}

void releaseBuddy(UpDown& s) {
    if (!s.buddy || !IsWindow(s.buddy)) return;
    auto old = reinterpret_cast<WNDPROC>(GetProp(s.buddy, kBuddyProcProp));
    if (old && GetWindowLongPtr(s.buddy, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(buddyProc)) {
        SetWindowLongPtr(s.buddy, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        RemoveProp(s.buddy, kBuddyProcProp);
        RemoveProp(s.buddy, kBuddyProp);
    }
}

HWND setBuddy(UpDown& s, HWND buddy) {
    HWND old = s.buddy;
    releaseBuddy(s);
    s.buddy = IsWindow(buddy) ? buddy : 0;
    if (!s.buddy) return old;
    DWORD style = styleOf(s.hwnd);
    if ((style & UDS_ARROWKEYS) && !GetProp(s.buddy, kBuddyProcProp)) {
        auto prev = reinterpret_cast<WNDPROC>(
            SetWindowLongPtr(s.buddy, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(buddyProc)));
        SetProp(s.buddy, kBuddyProcProp, reinterpret_cast<void*>(prev));
        SetProp(s.buddy, kBuddyProp, reinterpret_cast<void*>(uintptr_t(s.hwnd)));
    }
    if ((style & (UDS_ALIGNRIGHT | UDS_ALIGNLEFT)) && GetParent(s.buddy) == GetParent(s.hwnd)) {
        // Takes its width out of the buddy's side.
        RECT b{}, me{};
        GetWindowRect(s.buddy, &b);
        GetWindowRect(s.hwnd, &me);
        HWND parent = GetParent(s.hwnd);
        POINT tl{b.left, b.top};
        ScreenToClient(parent, &tl);
        int w = me.right - me.left, bw = b.right - b.left, bh = b.bottom - b.top;
        if (w < bw) {
            if (style & UDS_ALIGNRIGHT) {
                SetWindowPos(s.buddy, 0, tl.x, tl.y, bw - w, bh, SWP_NOZORDER | SWP_NOACTIVATE);
                SetWindowPos(s.hwnd, 0, tl.x + bw - w, tl.y, w, bh, SWP_NOZORDER | SWP_NOACTIVATE);
            } else {
                SetWindowPos(s.buddy, 0, tl.x + w, tl.y, bw - w, bh, SWP_NOZORDER | SWP_NOACTIVATE);
                SetWindowPos(s.hwnd, 0, tl.x, tl.y, w, bh, SWP_NOZORDER | SWP_NOACTIVATE);
            }
        }
    }
    showInBuddy(s);
    return old;
}

HWND previousSibling(HWND h) {
    HWND parent = GetParent(h);
    if (!parent) return 0;
    HWND prev = 0;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (c == h) return prev;
        prev = c;
    }
    return 0;
}

void endPress(HWND self) {
    UpDown* s = get(self);
    if (!s || s->pressed < 0) return;
    s->pressed = -1;
    KillTimer(self, kRepeatTimer);
    invalidate(*s);
    reportPos(self, SB_ENDSCROLL);
}

} // namespace

LRESULT UpDownWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (ctlutil::CreateState<UpDown>(hwnd, msg, kProp))
        return DefWindowProc(hwnd, msg, wParam, lParam);
    UpDown* s = get(hwnd);
    if (!s) return DefWindowProc(hwnd, msg, wParam, lParam);
    auto painted =
        ctlutil::PaintMessage(hwnd, msg, wParam, lParam, s->redraw, [s](HDC dc) { paint(*s, dc); });
    if (painted) return *painted;
    switch (msg) {
    case WM_CREATE:
        if (styleOf(hwnd) & UDS_AUTOBUDDY) setBuddy(*s, previousSibling(hwnd));
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, kRepeatTimer);
        releaseBuddy(*s);
        return 0;
    case WM_NCDESTROY:
        RemoveProp(hwnd, kProp);
        delete s;
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_ENABLE:
        invalidate(*s);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (!IsWindowEnabled(hwnd)) return 0;
        int b = buttonAt(hwnd, POINT{ctlutil::X(lParam), ctlutil::Y(lParam)});
        if (b < 0) return 0;
        s->pressed = b;
        s->pressedIn = true;
        SetCapture(hwnd);
        invalidate(*s);
        step(hwnd, b);
        if (get(hwnd)) SetTimer(hwnd, kRepeatTimer, kFirstDelay, nullptr);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (s->pressed >= 0) {
            bool in = buttonAt(hwnd, POINT{ctlutil::X(lParam), ctlutil::Y(lParam)}) == s->pressed;
            if (in != s->pressedIn) {
                s->pressedIn = in;
                invalidate(*s);
            }
        }
        return 0;
    case WM_TIMER:
        if (wParam == kRepeatTimer && s->pressed >= 0) {
            SetTimer(hwnd, kRepeatTimer, kRepeatDelay, nullptr);
            if (s->pressedIn) step(hwnd, s->pressed);
        }
        return 0;
    case WM_LBUTTONUP:
        if (s->pressed >= 0) {
            if (GetCapture() == hwnd) ReleaseCapture();
            endPress(hwnd);
        }
        return 0;
    case WM_CAPTURECHANGED:
        endPress(hwnd);
        return 0;
    case WM_KEYDOWN: {
        bool horz = horizontal(hwnd);
        int vk = int(wParam);
        if (vk == (horz ? VK_RIGHT : VK_UP)) step(hwnd, 0);
        if (vk == (horz ? VK_LEFT : VK_DOWN)) step(hwnd, 1);
        return 0;
    }
    case WM_GETDLGCODE:
        return 0x1; // arrow keys
    case UDM_SETRANGE32:
        s->min = int(intptr_t(wParam));
        s->max = int(lParam);
        s->pos = std::clamp(s->pos, lo(*s), hi(*s));
        return 0;
    case UDM_GETRANGE32:
        if (wParam) *reinterpret_cast<int*>(wParam) = s->min;
        if (lParam) *reinterpret_cast<int*>(lParam) = s->max;
        return 0;
    case UDM_SETPOS32: {
        int old = s->pos;
        s->pos = std::clamp(int(lParam), lo(*s), hi(*s));
        showInBuddy(*s);
        return old;
    }
    case UDM_GETPOS32: {
        auto* error = reinterpret_cast<BOOL*>(lParam);
        if (error) *error = 0;
        if (s->buddy && (styleOf(hwnd) & UDS_SETBUDDYINT)) {
            int fromText = 0;
            if (parseBuddy(*s, &fromText))
                s->pos = std::clamp(fromText, lo(*s), hi(*s));
            else if (error)
                *error = 1;
        }
        return s->pos;
    }
    case UDM_SETBUDDY:
        return LRESULT(setBuddy(*s, HWND(wParam)));
    case UDM_GETBUDDY:
        return LRESULT(IsWindow(s->buddy) ? s->buddy : 0);
    case UDM_SETBASE: {
        if (wParam != 10 && wParam != 16) return 0;
        int old = s->base;
        s->base = int(wParam);
        showInBuddy(*s);
        return old;
    }
    case UDM_GETBASE:
        return s->base;
    default:
        break;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

void RegisterUpDownClass() {
    ctlutil::RegisterControlClass(UPDOWN_CLASS, UpDownWndProc);
}
