#include "platform/win/region.h"

#include <map>
#include <mutex>

#include "platform/win/paint.h"
#include "platform/win/window.h"

namespace {

struct RegionState {
    std::mutex m;
    std::map<HWND, std::vector<RECT>> regions;
    std::function<void(HWND)> listener;
};

RegionState& state() {
    static RegionState s;
    return s;
}

} // namespace

int SetWindowRgn(HWND hwnd, HRGN rgn, BOOL redraw) {
    if (!IsWindow(hwnd)) return 0;
    std::function<void(HWND)> listener;
    {
        std::lock_guard lock(state().m);
        // Regions of windows that are gone are dropped on the way.
        std::erase_if(state().regions, [](auto& e) { return !IsWindow(e.first); });
        if (rgn)
            state().regions[hwnd] = GetRegionRects(rgn);
        else
            state().regions.erase(hwnd);
        listener = state().listener;
    }
    if (rgn) DeleteObject(rgn);
    if (listener) listener(hwnd);
    if (redraw) InvalidateRect(hwnd, nullptr, 1);
    return 1;
}

int GetWindowRgn(HWND hwnd, HRGN rgn) {
    if (!rgn) return RGN_ERROR;
    std::lock_guard lock(state().m);
    auto it = state().regions.find(hwnd);
    if (it == state().regions.end() || !IsWindow(hwnd)) return RGN_ERROR;
    HRGN tmp = CreateRegionFromRects(it->second);
    int type = CombineRgn(rgn, tmp, nullptr, RGN_COPY);
    DeleteObject(tmp);
    return type;
}

std::vector<RECT> GetWindowRegionRects(HWND hwnd) {
    std::lock_guard lock(state().m);
    auto it = state().regions.find(hwnd);
    return it == state().regions.end() ? std::vector<RECT>{} : it->second;
}

bool HasWindowRegion(HWND hwnd) {
    std::lock_guard lock(state().m);
    return state().regions.count(hwnd) != 0;
}

void SetWindowRegionListener(std::function<void(HWND)> listener) {
    std::lock_guard lock(state().m);
    state().listener = std::move(listener);
}
