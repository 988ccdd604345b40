#include "platform/win/scroll.h"

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

namespace winimpl {

namespace {

struct Bars {
    ScrollState bar[3]; // SB_HORZ, SB_VERT, SB_CTL
};

struct Store {
    std::mutex m;
    std::map<HWND, Bars> windows;
};

Store& store() {
    static Store* s = new Store;
    return *s;
}

constexpr UINT_PTR kRepeatTimer = 0xFFF0;

DWORD styleOf(HWND h) {
    return DWORD(GetWindowLongPtr(h, GWL_STYLE));
}

DWORD bitOf(int bar) {
    return bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
}

// Highest position the bar can take: the last page shows the end.
int maxPos(const ScrollState& b) {
    int page = int(std::min<UINT>(b.page, 0x7FFFFFFF));
    return std::max(b.min, int(std::max<int64_t>(b.min, int64_t(b.max) - std::max(page - 1, 0))));
}

void sendScroll(HWND h, int bar, int code, int pos) {
    SendMessage(h, bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, pos), 0);
}

void drawArrow(HDC dc, const RECT& r, bool vertical, bool first, bool enabled) {
    RECT e = r;
    FillRect(dc, &e, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &e, EDGE_RAISED, BF_RECT);
    int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    HBRUSH b = GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    for (int i = 0; i < 4; ++i) {
        int k = first ? i : 3 - i; // the point first for up and left
        RECT line = vertical ? RECT{cx - k, cy - 2 + i, cx + k + 1, cy - 1 + i}
                             : RECT{cx - 2 + i, cy - k, cx - 1 + i, cy + k + 1};
        FillRect(dc, &line, b);
    }
}

} // namespace

ScrollState GetScrollState(HWND hwnd, int bar) {
    if (bar != SB_HORZ && bar != SB_VERT && bar != SB_CTL) return ScrollState{};
    std::lock_guard lock(store().m);
    auto it = store().windows.find(hwnd);
    return it == store().windows.end() ? ScrollState{} : it->second.bar[bar];
}

void SetScrollState(HWND hwnd, int bar, const ScrollState& s) {
    if (bar != SB_HORZ && bar != SB_VERT && bar != SB_CTL) return;
    std::lock_guard lock(store().m);
    store().windows[hwnd].bar[bar] = s;
}

void ForgetScroll(HWND hwnd) {
    std::lock_guard lock(store().m);
    store().windows.erase(hwnd);
}

ScrollGeometry LayoutScrollBar(const RECT& r, bool vertical, const ScrollState& b) {
    ScrollGeometry g;
    g.bar = r;
    g.vertical = vertical;
    int len = vertical ? r.bottom - r.top : r.right - r.left;
    int thick = vertical ? r.right - r.left : r.bottom - r.top;
    int arrow = std::min(thick, len / 2);
    RECT track;
    if (vertical) {
        g.arrow1 = RECT{r.left, r.top, r.right, r.top + arrow};
        g.arrow2 = RECT{r.left, r.bottom - arrow, r.right, r.bottom};
        track = RECT{r.left, r.top + arrow, r.right, r.bottom - arrow};
    } else {
        g.arrow1 = RECT{r.left, r.top, r.left + arrow, r.bottom};
        g.arrow2 = RECT{r.right - arrow, r.top, r.right, r.bottom};
        track = RECT{r.left + arrow, r.top, r.right - arrow, r.bottom};
    }
    int trackLen = std::max(0, len - 2 * arrow);
    int64_t range = int64_t(b.max) - b.min + 1;
    if (range <= 1 || (b.page && b.page >= uint64_t(range)) || trackLen < 8) return g;
    int thumb = b.page ? int(std::max<int64_t>(8, trackLen * int64_t(b.page) / range)) : thick;
    thumb = std::min(thumb, trackLen);
    int span = maxPos(b) - b.min;
    int off = span > 0 ? int(int64_t(trackLen - thumb) * (b.pos - b.min) / span) : 0;
    g.thumb = track;
    if (vertical) {
        g.thumb.top = track.top + off;
        g.thumb.bottom = g.thumb.top + thumb;
    } else {
        g.thumb.left = track.left + off;
        g.thumb.right = g.thumb.left + thumb;
    }
    return g;
}

void DrawScrollBar(HDC dc, const ScrollGeometry& g, bool enabled) {
    RECT r = g.bar;
    FillRect(dc, &r, GetSysColorBrush(COLOR_SCROLLBAR));
    bool live = enabled && !IsRectEmpty(&g.thumb);
    drawArrow(dc, g.arrow1, g.vertical, true, live);
    drawArrow(dc, g.arrow2, g.vertical, false, live);
    if (!IsRectEmpty(&g.thumb)) {
        RECT t = g.thumb;
        FillRect(dc, &t, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &t, EDGE_RAISED, BF_RECT);
    }
}

RECT WindowScrollBarRect(HWND hwnd, int bar) {
    if ((bar != SB_HORZ && bar != SB_VERT) || !(styleOf(hwnd) & bitOf(bar))) return RECT{};
    RECT in = ClientInsets(hwnd);
    RECT w{};
    GetWindowRect(hwnd, &w);
    RECT c{in.left, in.top, (w.right - w.left) - in.right, (w.bottom - w.top) - in.bottom};
    if (bar == SB_VERT)
        return RECT{c.right, c.top, c.right + GetSystemMetrics(SM_CXVSCROLL), c.bottom};
    return RECT{c.left, c.bottom, c.right, c.bottom + GetSystemMetrics(SM_CYHSCROLL)};
}

LRESULT ScrollBarHitTest(HWND hwnd, POINT screen) {
    RECT w{};
    if (!GetWindowRect(hwnd, &w)) return HTNOWHERE;
    POINT p{screen.x - w.left, screen.y - w.top};
    RECT v = WindowScrollBarRect(hwnd, SB_VERT), h = WindowScrollBarRect(hwnd, SB_HORZ);
    if (PtInRect(&v, p)) return HTVSCROLL;
    if (PtInRect(&h, p)) return HTHSCROLL;
    return HTNOWHERE;
}

void TrackWindowScrollBar(HWND hwnd, LRESULT hit, POINT screen) {
    int bar = hit == HTVSCROLL ? SB_VERT : SB_HORZ;
    if (!(styleOf(hwnd) & bitOf(bar)) || !IsWindowEnabled(hwnd)) return;
    bool v = bar == SB_VERT;
    RECT w{};
    GetWindowRect(hwnd, &w);
    auto local = [&](POINT s) { return POINT{s.x - w.left, s.y - w.top}; };
    auto geometry = [&] {
        return LayoutScrollBar(WindowScrollBarRect(hwnd, bar), v, GetScrollState(hwnd, bar));
    };
    ScrollGeometry g = geometry();
    if (IsRectEmpty(&g.thumb)) return; // nothing to scroll
    POINT at = local(screen);
    enum { None, Back, Fwd, PageBack, PageFwd, Thumb } part = None;
    if (PtInRect(&g.arrow1, at))
        part = Back;
    else if (PtInRect(&g.arrow2, at))
        part = Fwd;
    else if (PtInRect(&g.thumb, at))
        part = Thumb;
    else if (PtInRect(&g.bar, at))
        part = (v ? at.y < g.thumb.top : at.x < g.thumb.left) ? PageBack : PageFwd;
    if (part == None) return;
    int grab = v ? at.y - g.thumb.top : at.x - g.thumb.left;
    auto step = [&] {
        int code = part == Back       ? SB_LINEUP
                   : part == Fwd      ? SB_LINEDOWN
                   : part == PageBack ? SB_PAGEUP
                                      : SB_PAGEDOWN;
        sendScroll(hwnd, bar, code, 0);
    };
    auto stillOver = [&](POINT q) {
        ScrollGeometry now = geometry();
        switch (part) {
        case Back:
            return bool(PtInRect(&now.arrow1, q));
        case Fwd:
            return bool(PtInRect(&now.arrow2, q));
        case PageBack:
            return PtInRect(&now.bar, q) && (v ? q.y < now.thumb.top : q.x < now.thumb.left);
        default:
            return PtInRect(&now.bar, q) &&
                   (v ? q.y >= now.thumb.bottom : q.x >= now.thumb.right) &&
                   !PtInRect(&now.arrow2, q);
        }
    };
    auto thumbPos = [&](POINT s) {
        ScrollGeometry now = geometry();
        ScrollState b = GetScrollState(hwnd, bar);
        POINT q = local(s);
        int trackStart = v ? now.arrow1.bottom : now.arrow1.right;
        int trackLen = v ? now.arrow2.top - trackStart : now.arrow2.left - trackStart;
        int thumbLen = v ? now.thumb.bottom - now.thumb.top : now.thumb.right - now.thumb.left;
        int off = (v ? q.y : q.x) - trackStart - grab;
        int free = std::max(1, trackLen - thumbLen);
        off = std::clamp(off, 0, free);
        return b.min + int(int64_t(maxPos(b) - b.min) * off / free);
    };
    SetCapture(hwnd);
    if (part != Thumb) {
        step();
        SetTimer(hwnd, kRepeatTimer, 400, nullptr);
    }
    int last = GetScrollState(hwnd, bar).pos;
    MSG m;
    while (IsWindow(hwnd) && GetCapture() == hwnd && GetMessage(&m, 0, 0, 0)) {
        if (m.message == WM_LBUTTONUP || m.message == WM_NCLBUTTONUP) break;
        if (m.message == WM_TIMER && m.hwnd == hwnd && m.wParam == kRepeatTimer) {
            SetTimer(hwnd, kRepeatTimer, 60, nullptr);
            POINT c{};
            GetCursorPos(&c);
            if (stillOver(local(c))) step();
            continue;
        }
        if (m.message == WM_MOUSEMOVE || m.message == WM_NCMOUSEMOVE) {
            if (part != Thumb) continue;
            POINT c{};
            GetCursorPos(&c);
            int pos = thumbPos(c);
            if (pos != last) {
                last = pos;
                ScrollState s = GetScrollState(hwnd, bar);
                s.trackPos = pos;
                SetScrollState(hwnd, bar, s);
                sendScroll(hwnd, bar, SB_THUMBTRACK, pos);
            }
            continue;
        }
        DispatchMessage(&m);
    }
    if (!IsWindow(hwnd)) return;
    KillTimer(hwnd, kRepeatTimer);
    if (GetCapture() == hwnd) ReleaseCapture();
    if (part == Thumb) sendScroll(hwnd, bar, SB_THUMBPOSITION, last);
    sendScroll(hwnd, bar, SB_ENDSCROLL, 0);
}

int ScrollPartAt(const ScrollGeometry& g, POINT p) {
    if (!PtInRect(&g.bar, p)) return -1;
    if (PtInRect(&g.arrow1, p)) return SB_LINEUP;
    if (PtInRect(&g.arrow2, p)) return SB_LINEDOWN;
    if (IsRectEmpty(&g.thumb)) return -1;
    if (PtInRect(&g.thumb, p)) return SB_THUMBTRACK;
    int v = g.vertical ? p.y : p.x;
    int t = g.vertical ? g.thumb.top : g.thumb.left;
    return v < t ? SB_PAGEUP : SB_PAGEDOWN;
}

int ScrollPosForDrag(const ScrollGeometry& g, const ScrollState& s, int from, int delta) {
    int len = g.vertical ? g.bar.bottom - g.bar.top : g.bar.right - g.bar.left;
    int arrow = g.vertical ? g.arrow1.bottom - g.arrow1.top : g.arrow1.right - g.arrow1.left;
    int thumb = g.vertical ? g.thumb.bottom - g.thumb.top : g.thumb.right - g.thumb.left;
    int free = len - 2 * arrow - thumb;
    int span = maxPos(s) - s.min;
    if (free <= 0 || span <= 0) return s.pos;
    int fromPx = int((long long)free * (from - s.min) / span);
    int px = std::clamp(fromPx + delta, 0, free);
    return s.min + int(((long long)px * span + free / 2) / free);
}

void TrackScrollPress(HWND capture, HWND notify, HWND barWindow, int bar, ScrollGeometry geometry,
                      POINT p, POINT screenOrigin) {
    int part = ScrollPartAt(geometry, p);
    if (part < 0 || !notify) return;
    UINT msg = geometry.vertical ? WM_VSCROLL : WM_HSCROLL;
    LPARAM l = LPARAM(barWindow);
    HWND owner = barWindow ? barWindow : capture;
    ScrollState start = GetScrollState(owner, bar);
    if (part != SB_THUMBTRACK) SendMessage(notify, msg, MAKEWPARAM(part, 0), l);
    SetCapture(capture);
    int last = start.pos;
    MSG m;
    while (IsWindow(capture) && GetCapture() == capture && GetMessage(&m, 0, 0, 0)) {
        if (m.message == WM_LBUTTONUP || m.message == WM_NCLBUTTONUP) break;
        if (m.message != WM_MOUSEMOVE && m.message != WM_NCMOUSEMOVE) {
            DispatchMessage(&m);
            continue;
        }
        if (part != SB_THUMBTRACK) continue;
        // Where the pointer is, in the coordinates of the geometry.
        POINT now{int16_t(LOWORD(uintptr_t(m.lParam))), int16_t(HIWORD(uintptr_t(m.lParam)))};
        if (m.message == WM_MOUSEMOVE) ClientToScreen(m.hwnd, &now);
        int delta = geometry.vertical ? now.y - screenOrigin.y - p.y : now.x - screenOrigin.x - p.x;
        int pos = ScrollPosForDrag(geometry, start, start.pos, delta);
        if (pos != last) {
            last = pos;
            ScrollState s = GetScrollState(owner, bar);
            s.trackPos = pos;
            SetScrollState(owner, bar, s);
            SendMessage(notify, msg, MAKEWPARAM(SB_THUMBTRACK, pos), l);
        }
    }
    if (IsWindow(capture) && GetCapture() == capture) ReleaseCapture();
    if (!IsWindow(notify)) return;
    if (part == SB_THUMBTRACK && last != start.pos)
        SendMessage(notify, msg, MAKEWPARAM(SB_THUMBPOSITION, last), l);
    SendMessage(notify, msg, MAKEWPARAM(SB_ENDSCROLL, 0), l);
}

} // namespace winimpl

using winimpl::ScrollState;

namespace {

void redrawFrame(HWND h) {
    if (IsWindowVisible(h)) {
        winimpl::MarkFrameDirty(h);
        SendMessage(h, WM_NCPAINT, 1, 0);
    }
}

void setStyleBit(HWND hwnd, DWORD bit, bool on) {
    DWORD style = DWORD(GetWindowLongPtr(hwnd, GWL_STYLE));
    DWORD now = on ? (style | bit) : (style & ~bit);
    if (now == style) return;
    SetWindowLongPtr(hwnd, GWL_STYLE, LONG_PTR(now));
    SetWindowPos(hwnd, 0, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

} // namespace

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw) {
    if (!info || (bar != SB_HORZ && bar != SB_VERT && bar != SB_CTL) || !IsWindow(hwnd)) return 0;
    ScrollState b = winimpl::GetScrollState(hwnd, bar);
    if (info->fMask & SIF_RANGE) {
        b.min = info->nMin;
        b.max = std::max(info->nMin, info->nMax);
    }
    if (info->fMask & SIF_PAGE) b.page = info->nPage;
    if (info->fMask & SIF_POS) b.pos = info->nPos;
    int page = int(std::min<UINT>(b.page, 0x7FFFFFFF));
    int top =
        std::max(b.min, int(std::max<int64_t>(b.min, int64_t(b.max) - std::max(page - 1, 0))));
    b.pos = std::clamp(b.pos, b.min, top);
    winimpl::SetScrollState(hwnd, bar, b);
    if (bar == SB_CTL) {
        if (redraw) InvalidateRect(hwnd, nullptr, 1);
        return b.pos;
    }
    if (info->fMask & (SIF_RANGE | SIF_PAGE)) {
        bool fits = b.max <= b.min || (b.page && int64_t(b.page) > int64_t(b.max) - b.min);
        if (!(info->fMask & SIF_DISABLENOSCROLL))
            setStyleBit(hwnd, bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL, !fits);
    }
    if (redraw && (GetWindowLongPtr(hwnd, GWL_STYLE) & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL)))
        redrawFrame(hwnd);
    return b.pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info) {
    if (!info || (bar != SB_HORZ && bar != SB_VERT && bar != SB_CTL) || !IsWindow(hwnd)) return 0;
    ScrollState b = winimpl::GetScrollState(hwnd, bar);
    if (info->fMask & SIF_RANGE) {
        info->nMin = b.min;
        info->nMax = b.max;
    }
    if (info->fMask & SIF_PAGE) info->nPage = b.page;
    if (info->fMask & SIF_POS) info->nPos = b.pos;
    if (info->fMask & SIF_TRACKPOS) info->nTrackPos = b.trackPos;
    return 1;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
    int old = GetScrollPos(hwnd, bar);
    SCROLLINFO si;
    si.fMask = SIF_POS;
    si.nPos = pos;
    SetScrollInfo(hwnd, bar, &si, redraw);
    return old;
}

int GetScrollPos(HWND hwnd, int bar) {
    SCROLLINFO si;
    si.fMask = SIF_POS;
    return GetScrollInfo(hwnd, bar, &si) ? si.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw) {
    if (!IsWindow(hwnd)) return 0;
    SCROLLINFO si;
    si.fMask = SIF_RANGE;
    si.nMin = minPos;
    si.nMax = maxPos;
    SetScrollInfo(hwnd, bar, &si, redraw);
    return 1;
}

BOOL GetScrollRange(HWND hwnd, int bar, int* minPos, int* maxPos) {
    SCROLLINFO si;
    si.fMask = SIF_RANGE;
    if (!GetScrollInfo(hwnd, bar, &si)) return 0;
    if (minPos) *minPos = si.nMin;
    if (maxPos) *maxPos = si.nMax;
    return 1;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
    if (!IsWindow(hwnd)) return 0;
    DWORD bits = bar == SB_VERT   ? WS_VSCROLL
                 : bar == SB_HORZ ? WS_HSCROLL
                                  : WS_VSCROLL | WS_HSCROLL;
    setStyleBit(hwnd, bits, show != 0);
    return 1;
}
