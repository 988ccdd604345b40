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
    ScrollState horz, vert, ctl;
};

struct ScrollStore {
    std::mutex m;
    std::map<HWND, Bars> bars;
};

ScrollStore& store() {
    static ScrollStore* s = new ScrollStore;
    return *s;
}

ScrollState* pick(Bars& b, int bar) {
    switch (bar) {
    case SB_HORZ:
        return &b.horz;
    case SB_VERT:
        return &b.vert;
    case SB_CTL:
        return &b.ctl;
    default:
        return nullptr;
    }
}

int maxPos(const ScrollState& s) {
    int page = int(std::min<UINT>(s.page, 0x7FFFFFFF));
    return std::max(s.min, s.max - std::max(page - 1, 0));
}

} // namespace

ScrollState GetScrollState(HWND hwnd, int bar) {
    std::lock_guard g(store().m);
    auto it = store().bars.find(hwnd);
    if (it == store().bars.end()) return ScrollState{};
    ScrollState* s = pick(it->second, bar);
    return s ? *s : ScrollState{};
}

void SetScrollState(HWND hwnd, int bar, const ScrollState& s) {
    std::lock_guard g(store().m);
    if (ScrollState* d = pick(store().bars[hwnd], bar)) *d = s;
}

void ForgetScroll(HWND hwnd) {
    std::lock_guard g(store().m);
    store().bars.erase(hwnd);
}

ScrollGeometry LayoutScrollBar(const RECT& bar, bool vertical, const ScrollState& s) {
    ScrollGeometry g;
    g.bar = bar;
    g.vertical = vertical;
    int len = vertical ? bar.bottom - bar.top : bar.right - bar.left;
    int thick = vertical ? bar.right - bar.left : bar.bottom - bar.top;
    int arrow = std::min(thick, len / 2);
    auto span = [&](int a, int b) {
        return vertical ? RECT{bar.left, bar.top + a, bar.right, bar.top + b}
                        : RECT{bar.left + a, bar.top, bar.left + b, bar.bottom};
    };
    g.arrow1 = span(0, arrow);
    g.arrow2 = span(len - arrow, len);
    int track = len - 2 * arrow;
    long long range = (long long)s.max - s.min + 1;
    if (track < 8 || range <= 0 || (s.page && (long long)s.page >= range)) return g;
    int thumb = s.page ? int(std::max<long long>(8, track * (long long)s.page / range)) : thick;
    thumb = std::min(thumb, track);
    int span2 = maxPos(s) - s.min;
    int at = span2 > 0 ? int((long long)(track - thumb) *
                             (std::clamp(s.pos, s.min, maxPos(s)) - s.min) / span2)
                       : 0;
    g.thumb = span(arrow + at, arrow + at + thumb);
    return g;
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

namespace {

void drawArrow(HDC dc, const RECT& r, bool vertical, bool first, bool enabled) {
    RECT b = r;
    FillRect(dc, &b, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &b, EDGE_RAISED, BF_RECT);
    int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    int n = std::max(1, std::min(r.right - r.left, r.bottom - r.top) / 4);
    HBRUSH brush = GetSysColorBrush(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    for (int i = 0; i < n; ++i) {
        // Rows of the triangle, widest at the base.
        int half = i;
        RECT line;
        if (vertical) {
            int y = first ? cy - n / 2 + i : cy + n / 2 - i;
            line = RECT{cx - half, y, cx + half + 1, y + 1};
        } else {
            int x = first ? cx - n / 2 + i : cx + n / 2 - i;
            line = RECT{x, cy - half, x + 1, cy + half + 1};
        }
        FillRect(dc, &line, brush);
    }
}

} // namespace

void DrawScrollBar(HDC dc, const ScrollGeometry& g, bool enabled) {
    if (!dc || IsRectEmpty(&g.bar)) return;
    RECT track = g.bar;
    FillRect(dc, &track, GetSysColorBrush(COLOR_SCROLLBAR));
    drawArrow(dc, g.arrow1, g.vertical, true, enabled);
    drawArrow(dc, g.arrow2, g.vertical, false, enabled);
    if (!IsRectEmpty(&g.thumb)) {
        RECT t = g.thumb;
        FillRect(dc, &t, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &t, EDGE_RAISED, BF_RECT);
    }
}

RECT WindowScrollBarRect(HWND hwnd, int bar) {
    DWORD style = DWORD(GetWindowLongPtr(hwnd, GWL_STYLE));
    bool v = style & WS_VSCROLL, h = style & WS_HSCROLL;
    if ((bar == SB_VERT && !v) || (bar == SB_HORZ && !h) || (bar != SB_VERT && bar != SB_HORZ))
        return RECT{};
    RECT w{};
    GetWindowRect(hwnd, &w);
    int width = w.right - w.left, height = w.bottom - w.top;
    RECT b = DefaultBorderInsets(hwnd);
    int cx = GetSystemMetrics(SM_CXVSCROLL), cy = GetSystemMetrics(SM_CYHSCROLL);
    RECT r;
    if (bar == SB_VERT)
        r = RECT{width - b.right - cx, b.top, width - b.right, height - b.bottom - (h ? cy : 0)};
    else
        r = RECT{b.left, height - b.bottom - cy, width - b.right - (v ? cx : 0), height - b.bottom};
    if (r.right < r.left || r.bottom < r.top) return RECT{};
    return r;
}

void TrackScrollPress(HWND capture, HWND notify, HWND barWindow, int bar, ScrollGeometry geometry,
                      POINT p, POINT screenOrigin) {
    int part = ScrollPartAt(geometry, p);
    if (part < 0 || !notify) return;
    UINT msg = geometry.vertical ? WM_VSCROLL : WM_HSCROLL;
    LPARAM l = LPARAM(barWindow);
    ScrollState start = GetScrollState(barWindow ? barWindow : capture, bar);
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
            ScrollState s = GetScrollState(barWindow ? barWindow : capture, bar);
            s.trackPos = pos;
            SetScrollState(barWindow ? barWindow : capture, bar, s);
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

using namespace winimpl;

namespace {

void setStyleBits(HWND hwnd, DWORD bits, bool on) {
    DWORD style = DWORD(GetWindowLongPtr(hwnd, GWL_STYLE));
    DWORD next = on ? (style | bits) : (style & ~bits);
    if (next == style) return;
    SetWindowLongPtr(hwnd, GWL_STYLE, LONG_PTR(next));
    SetWindowPos(hwnd, 0, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void redrawBar(HWND hwnd, int bar) {
    if (bar == SB_CTL)
        InvalidateRect(hwnd, nullptr, 1);
    else
        RedrawWindow(hwnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
}

} // namespace

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw) {
    if (!info || !IsWindow(hwnd) || bar < SB_HORZ || bar > SB_CTL) return 0;
    ScrollState s = GetScrollState(hwnd, bar);
    if (info->fMask & SIF_RANGE) {
        s.min = info->nMin;
        s.max = std::max(info->nMin, info->nMax);
    }
    if (info->fMask & SIF_PAGE) s.page = std::min<UINT>(info->nPage, UINT(s.max - s.min + 1));
    if (info->fMask & SIF_POS) s.pos = info->nPos;
    s.pos = std::clamp(s.pos, s.min, maxPos(s));
    SetScrollState(hwnd, bar, s);
    if (bar != SB_CTL && (info->fMask & (SIF_RANGE | SIF_PAGE))) {
        bool needed = s.max > s.min && (s.page == 0 || int(s.page) <= s.max - s.min);
        bool show = needed || (info->fMask & SIF_DISABLENOSCROLL);
        setStyleBits(hwnd, bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL, show);
    }
    if (redraw) redrawBar(hwnd, bar);
    return s.pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info) {
    if (!info || !IsWindow(hwnd) || bar < SB_HORZ || bar > SB_CTL) return 0;
    ScrollState s = GetScrollState(hwnd, bar);
    if (info->fMask & SIF_RANGE) info->nMin = s.min, info->nMax = s.max;
    if (info->fMask & SIF_PAGE) info->nPage = s.page;
    if (info->fMask & SIF_POS) info->nPos = s.pos;
    if (info->fMask & SIF_TRACKPOS) info->nTrackPos = s.trackPos;
    return 1;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
    if (!IsWindow(hwnd)) return 0;
    int old = GetScrollState(hwnd, bar).pos;
    SCROLLINFO si;
    si.fMask = SIF_POS;
    si.nPos = pos;
    SetScrollInfo(hwnd, bar, &si, redraw);
    return old;
}

int GetScrollPos(HWND hwnd, int bar) {
    return IsWindow(hwnd) ? GetScrollState(hwnd, bar).pos : 0;
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
    if (!IsWindow(hwnd)) return 0;
    ScrollState s = GetScrollState(hwnd, bar);
    if (minPos) *minPos = s.min;
    if (maxPos) *maxPos = s.max;
    return 1;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
    if (!IsWindow(hwnd)) return 0;
    DWORD bits = bar == SB_VERT   ? WS_VSCROLL
                 : bar == SB_HORZ ? WS_HSCROLL
                 : bar == SB_BOTH ? (WS_VSCROLL | WS_HSCROLL)
                                  : 0;
    if (!bits) return 0;
    setStyleBits(hwnd, bits, show != 0);
    return 1;
}
