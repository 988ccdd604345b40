#include "platform/win/metrics.h"

#include <atomic>

#include <algorithm>
#include <mutex>

#include "platform/win/window.h"

namespace {

std::mutex monitorMutex;
std::vector<MonitorDesc> reported;

int64_t distanceTo(const RECT& r, POINT p) {
    int64_t dx = p.x < r.left ? r.left - p.x : p.x >= r.right ? p.x - r.right + 1 : 0;
    int64_t dy = p.y < r.top ? r.top - p.y : p.y >= r.bottom ? p.y - r.bottom + 1 : 0;
    return dx * dx + dy * dy;
}

} // namespace

void SetMonitors(const std::vector<MonitorDesc>& monitors) {
    std::lock_guard lock(monitorMutex);
    reported = monitors;
    if (!monitors.empty())
        SetScreenSize(monitors[0].bounds.right - monitors[0].bounds.left,
                      monitors[0].bounds.bottom - monitors[0].bounds.top);
}

std::vector<MonitorDesc> GetMonitors() {
    std::lock_guard lock(monitorMutex);
    if (!reported.empty()) return reported;
    RECT all{0, 0, GetDeviceCaps(nullptr, HORZRES), GetDeviceCaps(nullptr, VERTRES)};
    return {MonitorDesc{all, all}};
}

namespace {
std::atomic<UINT> g_doubleClickTime{500};
} // namespace

UINT GetDoubleClickTime() {
    return g_doubleClickTime.load();
}

BOOL SetDoubleClickTime(UINT ms) {
    g_doubleClickTime.store(ms ? ms : 500);
    return 1;
}

int GetSystemMetrics(int index) {
    auto mons = GetMonitors();
    const RECT& primary = mons[0].bounds;
    RECT virt = primary;
    for (auto& m : mons)
        UnionRect(&virt, &virt, &m.bounds);
    switch (index) {
    case SM_CXSCREEN:
        return primary.right - primary.left;
    case SM_CYSCREEN:
        return primary.bottom - primary.top;
    case SM_CXFULLSCREEN:
        return mons[0].work.right - mons[0].work.left;
    case SM_CYFULLSCREEN:
        return mons[0].work.bottom - mons[0].work.top - 22;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
        return 17;
    case SM_CYCAPTION:
        return 22;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CYMENU:
    case SM_CYMENUSIZE:
    case SM_CXMENUSIZE:
        return 19;
    case SM_CXSIZE:
    case SM_CYSIZE:
        return 18;
    case SM_CYSMCAPTION:
    case SM_CXSMSIZE:
    case SM_CYSMSIZE:
        return 15;
    case SM_MOUSEPRESENT:
        return 1;
    case SM_SWAPBUTTON:
        return 0;
    case SM_CXMIN:
        return 112;
    case SM_CYMIN:
        return 27;
    case SM_CXMINTRACK:
        return 112;
    case SM_CYMINTRACK:
        return 27;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CXDRAG:
    case SM_CYDRAG:
        return 4;
    case SM_CXMENUCHECK:
        return 13;
    case SM_CXMAXTRACK:
        return virt.right - virt.left + 12;
    case SM_CYMAXTRACK:
        return virt.bottom - virt.top + 12;
    case SM_CXMAXIMIZED:
        return mons[0].work.right - mons[0].work.left + 8;
    case SM_CYMAXIMIZED:
        return mons[0].work.bottom - mons[0].work.top + 8;
    case SM_XVIRTUALSCREEN:
        return virt.left;
    case SM_YVIRTUALSCREEN:
        return virt.top;
    case SM_CXVIRTUALSCREEN:
        return virt.right - virt.left;
    case SM_CYVIRTUALSCREEN:
        return virt.bottom - virt.top;
    case SM_CMONITORS:
        return int(mons.size());
    default:
        return 0;
    }
}

BOOL SystemParametersInfo(UINT action, UINT, void* pvParam, UINT) {
    if (action == SPI_GETWORKAREA && pvParam) {
        *static_cast<RECT*>(pvParam) = GetMonitors()[0].work;
        return 1;
    }
    return 0;
}

HMONITOR MonitorFromPoint(POINT pt, DWORD flags) {
    auto mons = GetMonitors();
    size_t best = 0;
    int64_t bestDist = INT64_MAX;
    for (size_t i = 0; i < mons.size(); ++i) {
        int64_t d = distanceTo(mons[i].bounds, pt);
        if (d == 0) return HMONITOR(i + 1);
        if (d < bestDist) bestDist = d, best = i;
    }
    if (flags == MONITOR_DEFAULTTONULL) return 0;
    return flags == MONITOR_DEFAULTTOPRIMARY ? 1 : HMONITOR(best + 1);
}

HMONITOR MonitorFromRect(const RECT* r, DWORD flags) {
    if (!r) return 0;
    auto mons = GetMonitors();
    int64_t bestArea = 0;
    size_t best = 0;
    for (size_t i = 0; i < mons.size(); ++i) {
        RECT x;
        if (IntersectRect(&x, r, &mons[i].bounds)) {
            int64_t a = int64_t(x.right - x.left) * (x.bottom - x.top);
            if (a > bestArea) bestArea = a, best = i;
        }
    }
    if (bestArea > 0) return HMONITOR(best + 1);
    return MonitorFromPoint(POINT{(r->left + r->right) / 2, (r->top + r->bottom) / 2}, flags);
}

HMONITOR MonitorFromWindow(HWND wnd, DWORD flags) {
    RECT r{};
    if (!wnd || !GetWindowRect(wnd, &r))
        return flags == MONITOR_DEFAULTTONULL ? HMONITOR(0) : HMONITOR(1);
    return MonitorFromRect(&r, flags);
}

BOOL GetMonitorInfo(HMONITOR monitor, MONITORINFO* info) {
    if (!info || info->cbSize < 40) return 0;
    auto mons = GetMonitors();
    if (monitor == 0 || monitor > mons.size()) return 0;
    info->rcMonitor = mons[monitor - 1].bounds;
    info->rcWork = mons[monitor - 1].work;
    info->dwFlags = monitor == 1 ? DWORD(MONITORINFOF_PRIMARY) : 0u;
    return 1;
}
