#include "platform/win/scrollbars.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/win/input.h"
#include "platform/win/messages.h"
#include "platform/win/metrics.h"
#include "platform/win/nonclient.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/timers.h"
#include "platform/win/window.h"

namespace {

struct Bar {
    int min = 0;
    int max = 100;
    UINT page = 0;
    int pos = 0;
    int trackPos = 0;
};

struct Bars {
    Bar bar[2]; // SB_HORZ, SB_VERT
};

struct ScrollState {
    std::mutex m;
    std::map<HWND, Bars> windows;
};

ScrollState& state() {
    static ScrollState* s = new ScrollState;
    return *s;
}

constexpr UINT_PTR kRepeatTimer = 0xFFF0;

DWORD styleOf(HWND h) {
    return DWORD(GetWindowLongPtr(h, GWL_STYLE));
}

bool shown(HWND h, int bar) {
    return styleOf(h) & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL);
}

int thickness() {
    return GetSystemMetrics(SM_CXVSCROLL);
}

// Highest position the bar can take: the last page shows the end.
int maxPos(const Bar& b) {
    if (b.page == 0) return b.max;
    return std::max(b.min, int(int64_t(b.max) - int64_t(b.page) + 1));
}

Bar barOf(HWND h, int bar) {
    std::lock_guard lock(state().m);
    auto it = state().windows.find(h);
    return it == state().windows.end() ? Bar{} : it->second.bar[bar];
}

// The client rectangle in window coordinates.
RECT clientInWindow(HWND h) {
    RECT in = winimpl::ClientInsets(h);
    RECT w{};
    GetWindowRect(h, &w);
    return RECT{in.left, in.top, (w.right - w.left) - in.right, (w.bottom - w.top) - in.bottom};
}

// The bar's rectangle in window coordinates (empty when not shown).
RECT barRect(HWND h, int bar) {
    if (!shown(h, bar)) return RECT{};
    RECT c = clientInWindow(h);
    int t = thickness();
    if (bar == SB_VERT) return RECT{c.right, c.top, c.right + t, c.bottom};
    return RECT{c.left, c.bottom, c.right, c.bottom + t};
}

struct Parts {
    RECT back, fwd, thumb, track;
};

// Arrows at both ends, the thumb inside the track between them.
Parts partsOf(HWND h, int bar) {
    RECT r = barRect(h, bar);
    Bar b = barOf(h, bar);
    Parts p{};
    bool v = bar == SB_VERT;
    int len = v ? r.bottom - r.top : r.right - r.left;
    int arrow = std::min(thickness(), len / 2);
    if (v) {
        p.back = RECT{r.left, r.top, r.right, r.top + arrow};
        p.fwd = RECT{r.left, r.bottom - arrow, r.right, r.bottom};
        p.track = RECT{r.left, r.top + arrow, r.right, r.bottom - arrow};
    } else {
        p.back = RECT{r.left, r.top, r.left + arrow, r.bottom};
        p.fwd = RECT{r.right - arrow, r.top, r.right, r.bottom};
        p.track = RECT{r.left + arrow, r.top, r.right - arrow, r.bottom};
    }
    int trackLen = std::max(0, len - 2 * arrow);
    int64_t range = int64_t(b.max) - b.min + 1;
    if (range <= 0 || (b.page && b.page >= uint64_t(range)) || trackLen < 8) return p;
    int thumb =
        b.page ? int(std::max<int64_t>(8, trackLen * int64_t(b.page) / range)) : thickness();
    thumb = std::min(thumb, trackLen);
    int span = maxPos(b) - b.min;
    int off = span > 0 ? int(int64_t(trackLen - thumb) * (b.pos - b.min) / span) : 0;
    p.thumb = p.track;
    if (v) {
        p.thumb.top = p.track.top + off;
        p.thumb.bottom = p.thumb.top + thumb;
    } else {
        p.thumb.left = p.track.left + off;
        p.thumb.right = p.thumb.left + thumb;
    }
    return p;
}

void redrawFrame(HWND h) {
    if (IsWindowVisible(h)) {
        winimpl::MarkFrameDirty(h);
        SendMessage(h, WM_NCPAINT, 1, 0);
    }
}

void drawArrow(HDC dc, const RECT& r, int dir, bool enabled) {
    // dir: 0 up, 1 down, 2 left, 3 right
    RECT e = r;
    FillRect(dc, &e, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &e, EDGE_RAISED, BF_RECT);
    int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    HBRUSH b = GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    for (int i = 0; i < 4; ++i) {
        RECT line{};
        switch (dir) {
        case 0:
            line = RECT{cx - i, cy - 2 + i, cx + i + 1, cy - 1 + i};
            break;
        case 1:
            line = RECT{cx - 3 + i, cy - 1 + i, cx + 4 - i, cy + i};
            break;
        case 2:
            line = RECT{cx - 2 + i, cy - i, cx - 1 + i, cy + i + 1};
            break;
        default:
            line = RECT{cx - 1 + i, cy - 3 + i, cx + i, cy + 4 - i};
            break;
        }
        FillRect(dc, &line, b);
    }
}

void sendScroll(HWND h, int bar, WORD code, int pos) {
    SendMessage(h, bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL,
                WPARAM(code) | (WPARAM(WORD(pos)) << 16), 0);
}

} // namespace

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw) {
    if (!info || (bar != SB_HORZ && bar != SB_VERT) || !IsWindow(hwnd)) return 0;
    int pos;
    {
        std::lock_guard lock(state().m);
        Bar& b = state().windows[hwnd].bar[bar];
        if (info->mask & SIF_RANGE) {
            b.min = info->min;
            b.max = std::max(info->min, info->max);
        }
        if (info->mask & SIF_PAGE) b.page = info->page;
        if (info->mask & SIF_POS) b.pos = info->pos;
        b.pos = std::clamp(b.pos, b.min, maxPos(b));
        pos = b.pos;
    }
    if (redraw && shown(hwnd, bar)) redrawFrame(hwnd);
    return pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info) {
    if (!info || (bar != SB_HORZ && bar != SB_VERT) || !IsWindow(hwnd)) return 0;
    Bar b = barOf(hwnd, bar);
    if (info->mask & SIF_RANGE) {
        info->min = b.min;
        info->max = b.max;
    }
    if (info->mask & SIF_PAGE) info->page = b.page;
    if (info->mask & SIF_POS) info->pos = b.pos;
    if (info->mask & SIF_TRACKPOS) info->trackPos = b.trackPos;
    return 1;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
    int old = GetScrollPos(hwnd, bar);
    SCROLLINFO si;
    si.mask = SIF_POS;
    si.pos = pos;
    SetScrollInfo(hwnd, bar, &si, redraw);
    return old;
}

int GetScrollPos(HWND hwnd, int bar) {
    SCROLLINFO si;
    si.mask = SIF_POS;
    return GetScrollInfo(hwnd, bar, &si) ? si.pos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int min, int max, BOOL redraw) {
    SCROLLINFO si;
    si.mask = SIF_RANGE;
    si.min = min;
    si.max = max;
    return IsWindow(hwnd) && SetScrollInfo(hwnd, bar, &si, redraw) >= 0 ? 1 : 0;
}

BOOL GetScrollRange(HWND hwnd, int bar, int* min, int* max) {
    SCROLLINFO si;
    si.mask = SIF_RANGE;
    if (!GetScrollInfo(hwnd, bar, &si)) return 0;
    if (min) *min = si.min;
    if (max) *max = si.max;
    return 1;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
    if (!IsWindow(hwnd)) return 0;
    DWORD bits = bar == SB_VERT   ? WS_VSCROLL
                 : bar == SB_HORZ ? WS_HSCROLL
                                  : WS_VSCROLL | WS_HSCROLL;
    DWORD style = styleOf(hwnd);
    DWORD now = show ? (style | bits) : (style & ~bits);
    if (now == style) return 1;
    SetWindowLongPtr(hwnd, GWL_STYLE, LONG_PTR(now));
    SetWindowPos(hwnd, 0, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return 1;
}

namespace winimpl {

void ScrollBarsCalcSize(HWND hwnd, RECT* client) {
    if (!client) return;
    int t = thickness();
    if (shown(hwnd, SB_VERT)) client->right = std::max(client->left, client->right - t);
    if (shown(hwnd, SB_HORZ)) client->bottom = std::max(client->top, client->bottom - t);
}

void ScrollBarsPaint(HWND hwnd, HDC dc) {
    for (int bar : {SB_VERT, SB_HORZ}) {
        if (!shown(hwnd, bar)) continue;
        RECT r = barRect(hwnd, bar);
        FillRect(dc, &r, GetSysColorBrush(COLOR_SCROLLBAR));
        Parts p = partsOf(hwnd, bar);
        bool enabled = !IsRectEmpty(&p.thumb) && IsWindowEnabled(hwnd);
        drawArrow(dc, p.back, bar == SB_VERT ? 0 : 2, enabled);
        drawArrow(dc, p.fwd, bar == SB_VERT ? 1 : 3, enabled);
        if (!IsRectEmpty(&p.thumb)) {
            RECT t = p.thumb;
            FillRect(dc, &t, GetSysColorBrush(COLOR_BTNFACE));
            DrawEdge(dc, &t, EDGE_RAISED, BF_RECT);
        }
    }
    if (shown(hwnd, SB_VERT) && shown(hwnd, SB_HORZ)) {
        RECT v = barRect(hwnd, SB_VERT), h = barRect(hwnd, SB_HORZ);
        RECT corner{v.left, h.top, v.right, h.bottom};
        FillRect(dc, &corner, GetSysColorBrush(COLOR_BTNFACE));
    }
}

LRESULT ScrollBarsHitTest(HWND hwnd, POINT screen) {
    RECT w{};
    if (!GetWindowRect(hwnd, &w)) return HTNOWHERE;
    POINT p{screen.x - w.left, screen.y - w.top};
    RECT v = barRect(hwnd, SB_VERT), h = barRect(hwnd, SB_HORZ);
    if (PtInRect(&v, p)) return HTVSCROLL;
    if (PtInRect(&h, p)) return HTHSCROLL;
    return HTNOWHERE;
}

void ScrollBarsTrack(HWND hwnd, LRESULT hit, POINT screen) {
    int bar = hit == HTVSCROLL ? SB_VERT : SB_HORZ;
    if (!shown(hwnd, bar) || !IsWindowEnabled(hwnd)) return;
    RECT w{};
    GetWindowRect(hwnd, &w);
    auto local = [&](POINT s) { return POINT{s.x - w.left, s.y - w.top}; };
    Parts p = partsOf(hwnd, bar);
    if (IsRectEmpty(&p.thumb)) return; // nothing to scroll
    POINT at = local(screen);
    bool v = bar == SB_VERT;
    enum { None, Back, Fwd, PageBack, PageFwd, Thumb } part = None;
    if (PtInRect(&p.back, at))
        part = Back;
    else if (PtInRect(&p.fwd, at))
        part = Fwd;
    else if (PtInRect(&p.thumb, at))
        part = Thumb;
    else if (PtInRect(&p.track, at))
        part = (v ? at.y < p.thumb.top : at.x < p.thumb.left) ? PageBack : PageFwd;
    if (part == None) return;
    int grab = v ? at.y - p.thumb.top : at.x - p.thumb.left;
    auto step = [&] {
        switch (part) {
        case Back:
            sendScroll(hwnd, bar, SB_LINEUP, 0);
            break;
        case Fwd:
            sendScroll(hwnd, bar, SB_LINEDOWN, 0);
            break;
        case PageBack:
            sendScroll(hwnd, bar, SB_PAGEUP, 0);
            break;
        case PageFwd:
            sendScroll(hwnd, bar, SB_PAGEDOWN, 0);
            break;
        default:
            break;
        }
    };
    auto thumbPos = [&](POINT s) {
        Parts now = partsOf(hwnd, bar);
        Bar b = barOf(hwnd, bar);
        POINT q = local(s);
        int trackLen = v ? now.track.bottom - now.track.top : now.track.right - now.track.left;
        int thumbLen = v ? now.thumb.bottom - now.thumb.top : now.thumb.right - now.thumb.left;
        int off = (v ? q.y - now.track.top : q.x - now.track.left) - grab;
        int free = std::max(1, trackLen - thumbLen);
        off = std::clamp(off, 0, free);
        return b.min + int(int64_t(maxPos(b) - b.min) * off / free);
    };
    SetCapture(hwnd);
    if (part != Thumb) {
        step();
        SetTimer(hwnd, kRepeatTimer, 400, nullptr);
    }
    int last = barOf(hwnd, bar).pos;
    MSG m;
    while (GetCapture() == hwnd && GetMessage(&m, 0, 0, 0)) {
        if (m.message == WM_LBUTTONUP || m.message == WM_NCLBUTTONUP) break;
        if (m.message == WM_TIMER && m.hwnd == hwnd && m.wParam == kRepeatTimer) {
            SetTimer(hwnd, kRepeatTimer, 60, nullptr);
            POINT c{};
            GetCursorPos(&c);
            Parts now = partsOf(hwnd, bar);
            POINT q = local(c);
            bool over =
                part == Back  ? PtInRect(&now.back, q)
                : part == Fwd ? PtInRect(&now.fwd, q)
                : part == PageBack
                    ? PtInRect(&now.track, q) && (v ? q.y < now.thumb.top : q.x < now.thumb.left)
                    : PtInRect(&now.track, q) &&
                          (v ? q.y >= now.thumb.bottom : q.x >= now.thumb.right);
            if (over) step();
            continue;
        }
        if (part == Thumb && (m.message == WM_MOUSEMOVE || m.message == WM_NCMOUSEMOVE)) {
            POINT c{};
            GetCursorPos(&c);
            int pos = thumbPos(c);
            if (pos != last) {
                last = pos;
                {
                    std::lock_guard lock(state().m);
                    state().windows[hwnd].bar[bar].trackPos = pos;
                }
                sendScroll(hwnd, bar, SB_THUMBTRACK, pos);
            }
            continue;
        }
        if (m.message == WM_MOUSEMOVE || m.message == WM_NCMOUSEMOVE) continue;
        DispatchMessage(&m);
        if (!IsWindow(hwnd)) return;
    }
    KillTimer(hwnd, kRepeatTimer);
    if (GetCapture() == hwnd) ReleaseCapture();
    if (!IsWindow(hwnd)) return;
    if (part == Thumb) sendScroll(hwnd, bar, SB_THUMBPOSITION, last);
    sendScroll(hwnd, bar, SB_ENDSCROLL, 0);
}

void ForgetScrollBars(HWND hwnd) {
    std::lock_guard lock(state().m);
    state().windows.erase(hwnd);
}

} // namespace winimpl
