#include "platform/win/nonclient.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

#include "platform/win/input.h"
#include "platform/win/metrics.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/scroll.h"
#include "platform/win/window.h"

namespace {

std::atomic<int64_t> g_cursor{0};

struct FrameState {
    RECT insets{};
    bool dirty = false;
    bool active = false;
    bool activeKnown = false;
};

// Never held while calling into the window state: GetWindowRect reads the
// insets under that state's lock.
struct NonClient {
    std::mutex m;
    std::map<HWND, FrameState> frames;
    HCURSOR cursor = nullptr;
    std::function<void(HCURSOR)> presenter;
};

NonClient& nc() {
    static NonClient n;
    return n;
}

constexpr CursorShape kShapes[] = {
    CursorShape::Arrow,    CursorShape::SizeWE, CursorShape::SizeNS, CursorShape::SizeNWSE,
    CursorShape::SizeNESW, CursorShape::Hand,   CursorShape::IBeam};

DWORD styleOf(HWND h) {
    return DWORD(GetWindowLongPtr(h, GWL_STYLE));
}
bool framed(HWND h) {
    return !(styleOf(h) & WS_CHILD) && (styleOf(h) & WS_CAPTION) == WS_CAPTION;
}
bool bordered(HWND h) {
    return !framed(h) && (styleOf(h) & (WS_BORDER | WS_THICKFRAME));
}

bool isActive(HWND h) {
    {
        std::lock_guard lock(nc().m);
        auto it = nc().frames.find(h);
        if (it != nc().frames.end() && it->second.activeKnown) return it->second.active;
    }
    return GetActiveWindow() == h;
}

HCURSOR cursorForHit(HWND hwnd, LRESULT hit) {
    switch (hit) {
    case HTLEFT:
    case HTRIGHT:
        return StockCursor(CursorShape::SizeWE);
    case HTTOP:
    case HTBOTTOM:
        return StockCursor(CursorShape::SizeNS);
    case HTTOPLEFT:
    case HTBOTTOMRIGHT:
        return StockCursor(CursorShape::SizeNWSE);
    case HTTOPRIGHT:
    case HTBOTTOMLEFT:
        return StockCursor(CursorShape::SizeNESW);
    case HTCLIENT: {
        WNDCLASS wc;
        std::string name = GetClassName(hwnd);
        if (!name.empty() && GetClassInfo(nullptr, name.c_str(), &wc) && wc.hCursor)
            return wc.hCursor;
        return StockCursor(CursorShape::Arrow);
    }
    default:
        return StockCursor(CursorShape::Arrow);
    }
}

void paintFrame(HWND hwnd) {
    RECT in = winimpl::ClientInsets(hwnd);
    if (!in.left && !in.top && !in.right && !in.bottom) return;
    HDC dc = GetWindowDC(hwnd);
    if (!dc) return;
    RECT w{};
    GetWindowRect(hwnd, &w);
    int width = w.right - w.left, height = w.bottom - w.top;
    ExcludeClipRect(dc, in.left, in.top, width - in.right, height - in.bottom);
    DrawDefaultNonClient(hwnd, dc);
    ReleaseDC(hwnd, dc);
}

int16_t sx(LPARAM l) {
    return int16_t(LOWORD(uintptr_t(l)));
}
int16_t sy(LPARAM l) {
    return int16_t(HIWORD(uintptr_t(l)));
}

// Moves or sizes the window with the pointer until the button is released.
void trackLoop(HWND hwnd, LRESULT hit, POINT origin) {
    RECT start{};
    GetWindowRect(hwnd, &start);
    MINMAXINFO mmi{};
    mmi.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    mmi.ptMaxTrackSize = POINT{GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
    SendMessage(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    SetCapture(hwnd);
    SendMessage(hwnd, WM_ENTERSIZEMOVE, 0, 0);
    MSG m;
    while (GetCapture() == hwnd && GetMessage(&m, 0, 0, 0)) {
        // Input queued before the capture was taken may still name the frame.
        if (m.message == WM_LBUTTONUP || m.message == WM_NCLBUTTONUP) break;
        if (m.message != WM_MOUSEMOVE && m.message != WM_NCMOUSEMOVE) {
            DispatchMessage(&m);
            continue;
        }
        POINT now{};
        GetCursorPos(&now);
        int dx = now.x - origin.x, dy = now.y - origin.y;
        RECT r = start;
        WPARAM edge = 0;
        switch (hit) {
        case HTCAPTION:
            OffsetRect(&r, dx, dy);
            break;
        case HTLEFT:
            r.left += dx, edge = WMSZ_LEFT;
            break;
        case HTRIGHT:
            r.right += dx, edge = WMSZ_RIGHT;
            break;
        case HTTOP:
            r.top += dy, edge = WMSZ_TOP;
            break;
        case HTBOTTOM:
            r.bottom += dy, edge = WMSZ_BOTTOM;
            break;
        case HTTOPLEFT:
            r.left += dx, r.top += dy, edge = WMSZ_TOPLEFT;
            break;
        case HTTOPRIGHT:
            r.right += dx, r.top += dy, edge = WMSZ_TOPRIGHT;
            break;
        case HTBOTTOMLEFT:
            r.left += dx, r.bottom += dy, edge = WMSZ_BOTTOMLEFT;
            break;
        default:
            r.right += dx, r.bottom += dy, edge = WMSZ_BOTTOMRIGHT;
            break;
        }
        if (hit != HTCAPTION) {
            // Keep the size inside the limits, holding the edge that does not move.
            int w = std::clamp(int(r.right - r.left), int(mmi.ptMinTrackSize.x),
                               int(mmi.ptMaxTrackSize.x));
            int h = std::clamp(int(r.bottom - r.top), int(mmi.ptMinTrackSize.y),
                               int(mmi.ptMaxTrackSize.y));
            if (r.left != start.left)
                r.left = r.right - w;
            else
                r.right = r.left + w;
            if (r.top != start.top)
                r.top = r.bottom - h;
            else
                r.bottom = r.top + h;
            SendMessage(hwnd, WM_SIZING, edge, reinterpret_cast<LPARAM>(&r));
        } else {
            SendMessage(hwnd, WM_MOVING, 0, reinterpret_cast<LPARAM>(&r));
        }
        SetWindowPos(hwnd, 0, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        UpdateWindow(hwnd);
    }
    if (GetCapture() == hwnd) ReleaseCapture();
    SendMessage(hwnd, WM_EXITSIZEMOVE, 0, 0);
}

} // namespace

BOOL GetCursorPos(POINT* p) {
    if (!p) return 0;
    int64_t v = g_cursor.load();
    *p = POINT{int32_t(v >> 32), int32_t(v & 0xFFFFFFFF)};
    return 1;
}

void SetCursorPosFromBackend(POINT p) {
    g_cursor.store(int64_t(p.x) << 32 | int64_t(uint32_t(p.y)));
}

RECT DefaultCaptionRect(HWND hwnd) {
    RECT w{};
    GetWindowRect(hwnd, &w);
    int b = (styleOf(hwnd) & WS_THICKFRAME) ? GetSystemMetrics(SM_CXFRAME) : 1;
    return RECT{b, b, w.right - w.left - b, b + GetSystemMetrics(SM_CYCAPTION)};
}

RECT DefaultCloseBoxRect(HWND hwnd) {
    RECT c = DefaultCaptionRect(hwnd);
    int s = c.bottom - c.top - 4;
    return RECT{c.right - s - 2, c.top + 2, c.right - 2, c.top + 2 + s};
}

LRESULT DefaultHitTest(HWND hwnd, POINT screen) {
    RECT w{};
    if (!GetWindowRect(hwnd, &w) || !PtInRect(&w, screen)) return HTNOWHERE;
    POINT p{screen.x - w.left, screen.y - w.top};
    int width = w.right - w.left, height = w.bottom - w.top;
    RECT in = winimpl::ClientInsets(hwnd);
    RECT client{in.left, in.top, width - in.right, height - in.bottom};
    for (int bar : {SB_VERT, SB_HORZ}) {
        RECT sb = winimpl::WindowScrollBarRect(hwnd, bar);
        if (PtInRect(&sb, p)) return bar == SB_VERT ? HTVSCROLL : HTHSCROLL;
    }
    if (!framed(hwnd)) return PtInRect(&client, p) ? HTCLIENT : HTBORDER;
    if (styleOf(hwnd) & WS_THICKFRAME) {
        int b = GetSystemMetrics(SM_CXFRAME), corner = b * 4;
        bool left = p.x < b, right = p.x >= width - b, top = p.y < b, bottom = p.y >= height - b;
        bool nearLeft = p.x < corner, nearRight = p.x >= width - corner;
        bool nearTop = p.y < corner, nearBottom = p.y >= height - corner;
        if ((top && nearLeft) || (left && nearTop)) return HTTOPLEFT;
        if ((top && nearRight) || (right && nearTop)) return HTTOPRIGHT;
        if ((bottom && nearLeft) || (left && nearBottom)) return HTBOTTOMLEFT;
        if ((bottom && nearRight) || (right && nearBottom)) return HTBOTTOMRIGHT;
        if (left) return HTLEFT;
        if (right) return HTRIGHT;
        if (top) return HTTOP;
        if (bottom) return HTBOTTOM;
    }
    RECT close = DefaultCloseBoxRect(hwnd);
    if ((styleOf(hwnd) & WS_SYSMENU) && PtInRect(&close, p)) return HTCLOSE;
    RECT caption = DefaultCaptionRect(hwnd);
    if (PtInRect(&caption, p)) return HTCAPTION;
    return PtInRect(&client, p) || IsRectEmpty(&client) ? HTCLIENT : HTBORDER;
}

RECT DefaultBorderInsets(HWND hwnd) {
    RECT r{0, 0, 0, 0};
    if (framed(hwnd)) {
        int b = (styleOf(hwnd) & WS_THICKFRAME) ? GetSystemMetrics(SM_CXFRAME) : 1;
        r = RECT{b, b + GetSystemMetrics(SM_CYCAPTION), b, b};
    } else if (bordered(hwnd)) {
        r = RECT{1, 1, 1, 1};
    }
    if (DWORD(GetWindowLongPtr(hwnd, GWL_EXSTYLE)) & WS_EX_CLIENTEDGE) InflateRect(&r, 2, 2);
    return r;
}

RECT DefaultFrameInsets(HWND hwnd) {
    RECT r = DefaultBorderInsets(hwnd);
    if (styleOf(hwnd) & WS_VSCROLL) r.right += GetSystemMetrics(SM_CXVSCROLL);
    if (styleOf(hwnd) & WS_HSCROLL) r.bottom += GetSystemMetrics(SM_CYHSCROLL);
    return r;
}

void DrawDefaultNonClient(HWND hwnd, HDC dc) {
    if (!dc) return;
    RECT w{};
    GetWindowRect(hwnd, &w);
    int width = w.right - w.left, height = w.bottom - w.top;
    RECT all{0, 0, width, height};
    if (framed(hwnd)) {
        DrawDefaultFrame(hwnd, dc, isActive(hwnd));
    } else if (bordered(hwnd)) {
        FrameRect(dc, &all, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&all, -1, -1);
    }
    if (DWORD(GetWindowLongPtr(hwnd, GWL_EXSTYLE)) & WS_EX_CLIENTEDGE) {
        RECT edge = framed(hwnd) ? RECT{} : all;
        if (framed(hwnd)) {
            RECT b = DefaultBorderInsets(hwnd);
            edge = RECT{b.left - 2, b.top - 2, width - b.right + 2, height - b.bottom + 2};
        }
        DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
    }
    bool enabled = IsWindowEnabled(hwnd);
    for (int bar : {SB_VERT, SB_HORZ}) {
        RECT sb = winimpl::WindowScrollBarRect(hwnd, bar);
        if (IsRectEmpty(&sb)) continue;
        winimpl::DrawScrollBar(
            dc, winimpl::LayoutScrollBar(sb, bar == SB_VERT, winimpl::GetScrollState(hwnd, bar)),
            enabled);
    }
    // The corner between two bars.
    RECT v = winimpl::WindowScrollBarRect(hwnd, SB_VERT);
    RECT h = winimpl::WindowScrollBarRect(hwnd, SB_HORZ);
    if (!IsRectEmpty(&v) && !IsRectEmpty(&h)) {
        RECT corner{v.left, h.top, v.right, h.bottom};
        FillRect(dc, &corner, GetSysColorBrush(COLOR_BTNFACE));
    }
}

void DrawDefaultScrollBars(HWND hwnd, HDC dc) {
    bool enabled = IsWindowEnabled(hwnd);
    for (int bar : {SB_VERT, SB_HORZ}) {
        RECT r = winimpl::WindowScrollBarRect(hwnd, bar);
        if (IsRectEmpty(&r)) continue;
        winimpl::DrawScrollBar(
            dc, winimpl::LayoutScrollBar(r, bar == SB_VERT, winimpl::GetScrollState(hwnd, bar)),
            enabled);
    }
    RECT v = winimpl::WindowScrollBarRect(hwnd, SB_VERT),
         h = winimpl::WindowScrollBarRect(hwnd, SB_HORZ);
    if (!IsRectEmpty(&v) && !IsRectEmpty(&h)) {
        RECT corner{v.left, h.top, v.right, h.bottom};
        FillRect(dc, &corner, GetSysColorBrush(COLOR_BTNFACE));
    }
}

HCURSOR StockCursor(CursorShape shape) {
    for (const CursorShape& s : kShapes)
        if (s == shape) return const_cast<CursorShape*>(&s);
    return const_cast<CursorShape*>(&kShapes[0]);
}

CursorShape CursorShapeOf(HCURSOR cursor) {
    for (const CursorShape& s : kShapes)
        if (&s == cursor) return s;
    return CursorShape::Arrow;
}

HCURSOR SetCursor(HCURSOR cursor) {
    std::function<void(HCURSOR)> show;
    HCURSOR old;
    {
        std::lock_guard lock(nc().m);
        old = nc().cursor;
        nc().cursor = cursor;
        if (old != cursor) show = nc().presenter;
    }
    if (show) show(cursor);
    return old;
}

HCURSOR GetCursor() {
    std::lock_guard lock(nc().m);
    return nc().cursor;
}

void SetCursorPresenter(std::function<void(HCURSOR)> presenter) {
    std::lock_guard lock(nc().m);
    nc().presenter = std::move(presenter);
}

void winimpl::RecalcNonClient(HWND hwnd) {
    RECT w{};
    if (!GetWindowRect(hwnd, &w)) return;
    RECT c = w;
    SendMessage(hwnd, WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&c));
    // A client area outside the window, or turned inside out, is cut back to it.
    c.left = std::clamp(c.left, w.left, w.right);
    c.right = std::clamp(c.right, c.left, w.right);
    c.top = std::clamp(c.top, w.top, w.bottom);
    c.bottom = std::clamp(c.bottom, c.top, w.bottom);
    std::lock_guard lock(nc().m);
    FrameState& f = nc().frames[hwnd];
    f.insets = RECT{c.left - w.left, c.top - w.top, w.right - c.right, w.bottom - c.bottom};
    f.dirty = true;
}

RECT winimpl::ClientInsets(HWND hwnd) {
    std::lock_guard lock(nc().m);
    auto it = nc().frames.find(hwnd);
    return it == nc().frames.end() ? RECT{0, 0, 0, 0} : it->second.insets;
}

bool winimpl::TakeFrameDirty(HWND hwnd) {
    std::lock_guard lock(nc().m);
    auto it = nc().frames.find(hwnd);
    if (it == nc().frames.end() || !it->second.dirty) return false;
    it->second.dirty = false;
    return true;
}

void winimpl::MarkFrameDirty(HWND hwnd) {
    std::lock_guard lock(nc().m);
    auto it = nc().frames.find(hwnd);
    if (it != nc().frames.end()) it->second.dirty = true;
}

void winimpl::ForgetNonClient(HWND hwnd) {
    std::lock_guard lock(nc().m);
    nc().frames.erase(hwnd);
}

void DrawDefaultFrame(HWND hwnd, HDC dc, bool active) {
    if (!framed(hwnd) || !dc) return;
    RECT w{};
    GetWindowRect(hwnd, &w);
    RECT all{0, 0, w.right - w.left, w.bottom - w.top};
    HBRUSH border = GetSysColorBrush(active ? COLOR_ACTIVEBORDER : COLOR_INACTIVEBORDER);
    RECT c = DefaultCaptionRect(hwnd);
    for (RECT r : {RECT{0, 0, all.right, c.top}, RECT{0, 0, c.left, all.bottom},
                   RECT{c.right, 0, all.right, all.bottom},
                   RECT{0, all.bottom - c.left, all.right, all.bottom}})
        FillRect(dc, &r, border);
    FillRect(dc, &c, GetSysColorBrush(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    RECT text{c.left + 4, c.top, c.right - (c.bottom - c.top) - 4, c.bottom};
    DrawText(dc, GetWindowText(hwnd), &text,
             DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    SelectObject(dc, old);
    if (styleOf(hwnd) & WS_SYSMENU) {
        RECT box = DefaultCloseBoxRect(hwnd);
        FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
        HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNTEXT));
        HGDIOBJ op = SelectObject(dc, pen);
        for (int k = 0; k < 2; ++k) {
            MoveToEx(dc, box.left + 4 + k, box.top + 4, nullptr);
            LineTo(dc, box.right - 4 + k, box.bottom - 4);
            MoveToEx(dc, box.right - 5 + k, box.top + 4, nullptr);
            LineTo(dc, box.left + 3 + k, box.bottom - 4);
        }
        SelectObject(dc, op);
        DeleteObject(pen);
    }
}

LRESULT DefNonClientProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCHITTEST: {
        LRESULT bar = winimpl::ScrollBarHitTest(hwnd, POINT{sx(lParam), sy(lParam)});
        if (bar != HTNOWHERE) return bar;
        return DefaultHitTest(hwnd, POINT{sx(lParam), sy(lParam)});
    }
    case WM_NCLBUTTONDOWN:
        if (LRESULT(wParam) == HTVSCROLL || LRESULT(wParam) == HTHSCROLL) {
            winimpl::TrackWindowScrollBar(hwnd, LRESULT(wParam), POINT{sx(lParam), sy(lParam)});
        } else if (wParam == HTCLOSE) {
            PostMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (wParam == HTCAPTION || (wParam >= HTLEFT && wParam <= HTBOTTOMRIGHT)) {
            if (wParam != HTCAPTION && !(styleOf(hwnd) & WS_THICKFRAME)) return 0;
            trackLoop(hwnd, LRESULT(wParam), POINT{sx(lParam), sy(lParam)});
        }
        return 0;
    case WM_NCCALCSIZE: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        if (!r) return 0;
        RECT in = DefaultFrameInsets(hwnd);
        r->left += in.left;
        r->top += in.top;
        r->right = std::max(r->left, r->right - in.right);
        r->bottom = std::max(r->top, r->bottom - in.bottom);
        return 0;
    }
    case WM_NCPAINT:
        if (IsWindowVisible(hwnd)) paintFrame(hwnd);
        return 0;
    case WM_NCACTIVATE: {
        {
            std::lock_guard lock(nc().m);
            FrameState& f = nc().frames[hwnd];
            f.active = wParam != 0;
            f.activeKnown = true;
        }
        if (IsWindowVisible(hwnd)) SendMessage(hwnd, WM_NCPAINT, 1, 0);
        return 1;
    }
    case WM_SETCURSOR: {
        // A parent may choose the shape for its children.
        if (styleOf(hwnd) & WS_CHILD) {
            HWND parent = GetParent(hwnd);
            if (parent && SendMessage(parent, WM_SETCURSOR, wParam, lParam)) return 1;
        }
        LRESULT hit = int16_t(LOWORD(uintptr_t(lParam)));
        SetCursor(cursorForHit(hwnd, hit));
        return 0;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessage(hwnd, WM_CLOSE, 0, 0);
        else if ((wParam & 0xFFF0) == SC_MINIMIZE)
            ShowWindow(hwnd, SW_MINIMIZE);
        else if ((wParam & 0xFFF0) == SC_RESTORE)
            ShowWindow(hwnd, SW_RESTORE);
        return 0;
    default:
        return 0;
    }
}
