#include "platform/win/mdi.h"

#include "platform/gdi/gdi.h"
#include "platform/win/metrics.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"

#include <algorithm>
#include <cmath>
#include <map>

const char* const kMDIClientClass = "MDICLIENT";

namespace {

constexpr const char* kStateProp = "lantrove.mdiclient";

struct ClientState {
    HWND active = 0;
    // Bounds before a child was maximized or minimized, client coordinates.
    std::map<HWND, RECT> normal;
};

ClientState* StateOf(HWND client) {
    return static_cast<ClientState*>(GetProp(client, kStateProp));
}

RECT ChildRect(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    POINT tl{r.left, r.top};
    ScreenToClient(GetParent(child), &tl);
    return RECT{tl.x, tl.y, tl.x + (r.right - r.left), tl.y + (r.bottom - r.top)};
}

void Place(HWND child, const RECT& r) {
    SetWindowPos(child, 0, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

std::vector<HWND> VisibleChildren(HWND client, HWND except, bool minimized) {
    std::vector<HWND> list;
    for (HWND c : MDIChildWindows(client))
        if (c != except && IsWindowVisible(c) && (minimized || !IsIconic(c))) list.push_back(c);
    return list;
}

// Where the child's frame lies outside its client area when it fills the client.
void FillClient(HWND client, HWND child) {
    RECT area{}, wr{}, cr{};
    GetClientRect(client, &area);
    GetWindowRect(child, &wr);
    GetClientRect(child, &cr);
    POINT origin{0, 0};
    ClientToScreen(child, &origin);
    int l = origin.x - wr.left, t = origin.y - wr.top;
    int r = (wr.right - wr.left) - cr.right - l, b = (wr.bottom - wr.top) - cr.bottom - t;
    Place(child, RECT{-l, -t, area.right + r, area.bottom + b});
}

void Restore(HWND client, ClientState* s, HWND child) {
    auto it = s->normal.find(child);
    if (it != s->normal.end()) {
        RECT r = it->second;
        s->normal.erase(it);
        ShowWindow(child, SW_RESTORE);
        Place(child, r);
    } else {
        ShowWindow(child, SW_RESTORE);
    }
    (void)client;
}

void Maximize(HWND client, ClientState* s, HWND child) {
    if (!IsIconic(child) && !IsZoomed(child)) s->normal[child] = ChildRect(child);
    ShowWindow(child, SW_SHOWMAXIMIZED);
    FillClient(client, child);
}

void Activate(HWND client, ClientState* s, HWND child) {
    if (child == s->active || (child && GetParent(child) != client)) return;
    HWND old = s->active;
    bool wasMaximized = old && IsWindow(old) && IsZoomed(old);
    s->active = child;
    if (child) SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // A maximized child hands the maximized state on to the one that follows it.
    if (wasMaximized && child) {
        Restore(client, s, old);
        Maximize(client, s, child);
    }
    if (old && IsWindow(old)) {
        SendMessage(old, WM_NCACTIVATE, 0, 0);
        SendMessage(old, WM_MDIACTIVATE, WPARAM(old), LPARAM(child));
    }
    if (child) {
        SendMessage(child, WM_NCACTIVATE, 1, 0);
        SendMessage(child, WM_MDIACTIVATE, WPARAM(old), LPARAM(child));
    }
}

void Cascade(HWND client) {
    RECT area{};
    GetClientRect(client, &area);
    std::vector<HWND> list = VisibleChildren(client, 0, false);
    // Nothing to place, or no room to place it in.
    if (list.empty() || area.right <= 0 || area.bottom <= 0) return;
    const int step = std::max(1, GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME));
    const int w = std::max(1, area.right * 2 / 3), h = std::max(1, area.bottom * 2 / 3);
    int offset = 0;
    // Bottom of the z-order first, so the active child ends on top and last.
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        if (IsZoomed(*it)) Restore(client, StateOf(client), *it);
        if (offset + w > area.right || offset + h > area.bottom) offset = 0;
        Place(*it, RECT{offset, offset, offset + w, offset + h});
        offset += step;
    }
}

void Tile(HWND client, bool horizontal) {
    RECT area{};
    GetClientRect(client, &area);
    std::vector<HWND> list = VisibleChildren(client, 0, false);
    if (list.empty() || area.right <= 0 || area.bottom <= 0) return;
    const int n = int(list.size());
    int lines = std::max(1, int(std::sqrt(double(n))));
    int across = (n + lines - 1) / lines;
    // Horizontal tiling stacks rows; vertical tiling puts columns side by side.
    int cols = horizontal ? lines : across, rows = horizontal ? across : lines;
    int cw = std::max(1, area.right / cols), rh = std::max(1, area.bottom / rows);
    for (int i = 0; i < n; ++i) {
        HWND c = list[size_t(i)];
        if (IsZoomed(c)) Restore(client, StateOf(client), c);
        int col = horizontal ? i % cols : i / rows, row = horizontal ? i / cols : i % rows;
        Place(c, RECT{col * cw, row * rh, col * cw + cw, row * rh + rh});
    }
}

void ArrangeIcons(HWND client) {
    RECT area{};
    GetClientRect(client, &area);
    SIZE icon = MDIMinimizedSize();
    int x = 0, y = area.bottom - icon.cy;
    for (HWND c : MDIChildWindows(client)) {
        if (!IsIconic(c)) continue;
        Place(c, RECT{x, y, x + icon.cx, y + icon.cy});
        x += icon.cx;
        if (x + icon.cx > area.right && x > 0) {
            x = 0;
            y -= icon.cy;
        }
    }
}

void Next(HWND client, ClientState* s, HWND from, bool previous) {
    std::vector<HWND> list = VisibleChildren(client, 0, true);
    if (list.size() < 2) return;
    if (!from) from = s->active;
    if (previous) {
        Activate(client, s, list.back());
        return;
    }
    auto it = std::find(list.begin(), list.end(), from);
    HWND target = (it == list.end() || it + 1 == list.end()) ? list.front() : *(it + 1);
    Activate(client, s, target);
    // The one left goes to the bottom, so repeated steps visit every child.
    if (from && IsWindow(from))
        SetWindowPos(from, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT ClientProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ClientState* s = StateOf(hwnd);
    switch (msg) {
    case WM_NCCREATE:
        SetProp(hwnd, kStateProp, new ClientState);
        break;
    case WM_NCDESTROY:
        delete s;
        RemoveProp(hwnd, kStateProp);
        break;
    case WM_MDIACTIVATE:
        if (s) Activate(hwnd, s, HWND(wParam));
        return 0;
    case WM_MDIGETACTIVE:
        if (!s) return 0;
        if (s->active && !IsWindow(s->active)) s->active = 0;
        if (lParam) *reinterpret_cast<BOOL*>(lParam) = s->active && IsZoomed(s->active);
        return LRESULT(s->active);
    case WM_MDINEXT:
        if (s) Next(hwnd, s, HWND(wParam), lParam != 0);
        return 0;
    case WM_MDIMAXIMIZE:
        if (s && GetParent(HWND(wParam)) == hwnd) Maximize(hwnd, s, HWND(wParam));
        return 0;
    case WM_MDIRESTORE:
        if (s && GetParent(HWND(wParam)) == hwnd) {
            Restore(hwnd, s, HWND(wParam));
            ArrangeIcons(hwnd);
        }
        return 0;
    case WM_MDICASCADE:
        Cascade(hwnd);
        return 1;
    case WM_MDITILE:
        Tile(hwnd, wParam == MDITILE_HORIZONTAL);
        return 1;
    case WM_MDIICONARRANGE:
        ArrangeIcons(hwnd);
        return 0;
    case WM_MDIDESTROY:
        if (GetParent(HWND(wParam)) == hwnd) DestroyWindow(HWND(wParam));
        return 0;
    case WM_SIZE:
        if (s)
            for (HWND c : MDIChildWindows(hwnd))
                if (IsZoomed(c)) FillClient(hwnd, c);
        ArrangeIcons(hwnd);
        return 0;
    default:
        break;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

void EnsureClientClass() {
    WNDCLASS wc{};
    if (GetClassInfo(nullptr, kMDIClientClass, &wc)) return;
    wc.lpfnWndProc = ClientProc;
    wc.lpszClassName = kMDIClientClass;
    wc.hbrBackground = GetSysColorBrush(COLOR_APPWORKSPACE);
    RegisterClass(wc);
}

} // namespace

HWND CreateMDIClient(HWND frame, int x, int y, int width, int height) {
    EnsureClientClass();
    return CreateWindowEx(0, kMDIClientClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, x, y,
                          width, height, frame, 0, nullptr, nullptr);
}

BOOL IsMDIClient(HWND hwnd) {
    return hwnd && IsWindow(hwnd) && GetClassName(hwnd) == kMDIClientClass ? 1 : 0;
}

HWND MDIClientOf(HWND child) {
    if (!child || !(DWORD(GetWindowLongPtr(child, GWL_STYLE)) & WS_CHILD)) return 0;
    HWND p = GetParent(child);
    return IsMDIClient(p) ? p : 0;
}

std::vector<HWND> MDIChildWindows(HWND client) {
    std::vector<HWND> list;
    for (HWND c = GetWindow(client, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        list.push_back(c);
    return list;
}

void MDIChildGone(HWND client, HWND child) {
    ClientState* s = StateOf(client);
    if (!s) return;
    s->normal.erase(child);
    if (s->active != child) return;
    std::vector<HWND> rest = VisibleChildren(client, child, true);
    s->active = 0;
    if (!rest.empty()) Activate(client, s, rest.front());
}

void MDIMinimize(HWND client, HWND child) {
    ClientState* s = StateOf(client);
    if (!s || GetParent(child) != client || IsIconic(child)) return;
    if (!IsZoomed(child)) s->normal[child] = ChildRect(child);
    ShowWindow(child, SW_MINIMIZE);
    SIZE icon = MDIMinimizedSize();
    RECT r = ChildRect(child);
    Place(child, RECT{r.left, r.top, r.left + icon.cx, r.top + icon.cy});
    ArrangeIcons(client);
}

SIZE MDIMinimizedSize() {
    return SIZE{160, GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFRAME)};
}
