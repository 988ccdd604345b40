#include "platform/win/layered.h"

#include <cstring>
#include <map>
#include <mutex>

#include "platform/win/paint.h"
#include "platform/win/window.h"

namespace {

struct State {
    std::mutex m;
    std::map<HWND, LayeredState> windows;
    std::function<void(HWND)> listener;
};

State& state() {
    static State s;
    return s;
}

bool isLayered(HWND hwnd) {
    return IsWindow(hwnd) && (DWORD(GetWindowLongPtr(hwnd, GWL_EXSTYLE)) & WS_EX_LAYERED);
}

void changed(HWND hwnd) {
    std::function<void(HWND)> l;
    {
        std::lock_guard lock(state().m);
        l = state().listener;
    }
    if (l) l(hwnd);
}

} // namespace

BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags) {
    if (!isLayered(hwnd)) return 0;
    {
        std::lock_guard lock(state().m);
        std::erase_if(state().windows, [](auto& e) { return !IsWindow(e.first); });
        LayeredState& s = state().windows[hwnd];
        s.layered = true;
        s.perPixel = false;
        s.key = key;
        s.alpha = (flags & LWA_ALPHA) ? alpha : 255;
        s.flags = flags;
    }
    changed(hwnd);
    return 1;
}

BOOL GetLayeredWindowAttributes(HWND hwnd, COLORREF* key, BYTE* alpha, DWORD* flags) {
    std::lock_guard lock(state().m);
    auto it = state().windows.find(hwnd);
    if (it == state().windows.end() || it->second.perPixel) return 0;
    if (key) *key = it->second.key;
    if (alpha) *alpha = it->second.alpha;
    if (flags) *flags = it->second.flags;
    return 1;
}

BOOL UpdateLayeredWindow(HWND hwnd, HDC, const POINT* pptDst, const SIZE* psize, HDC hdcSrc,
                         const POINT* pptSrc, COLORREF key, const BLENDFUNCTION* blend,
                         DWORD flags) {
    if (!isLayered(hwnd)) return 0;
    RECT r{};
    GetWindowRect(hwnd, &r);
    int x = pptDst ? pptDst->x : r.left, y = pptDst ? pptDst->y : r.top;
    int w = psize ? psize->cx : r.right - r.left, h = psize ? psize->cy : r.bottom - r.top;
    if (w <= 0 || h <= 0) return 0;
    if (x != r.left || y != r.top || w != r.right - r.left || h != r.bottom - r.top)
        SetWindowPos(hwnd, 0, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    if (hdcSrc && hdcSrc->target()) {
        HBITMAP surface = GetWindowSurface(hwnd);
        if (!surface) return 0;
        GdiBitmap* src = hdcSrc->target();
        int sx0 = hdcSrc->toBx(pptSrc ? pptSrc->x : 0), sy0 = hdcSrc->toBy(pptSrc ? pptSrc->y : 0);
        for (int yy = 0; yy < std::min(h, surface->height); ++yy)
            for (int xx = 0; xx < std::min(w, surface->width); ++xx) {
                int sx = sx0 + xx, sy = sy0 + yy;
                uint32_t v = 0;
                if (sx >= 0 && sy >= 0 && sx < src->width && sy < src->height)
                    v = src->bpp == 32 ? reinterpret_cast<const uint32_t*>(src->row(sy))[sx]
                                       : (src->getPixel(sx, sy) & 0xFF00) |
                                             GetRValue(src->getPixel(sx, sy)) << 16 |
                                             GetBValue(src->getPixel(sx, sy)) | 0xFF000000u;
                reinterpret_cast<uint32_t*>(surface->row(yy))[xx] = v;
            }
    }
    {
        std::lock_guard lock(state().m);
        LayeredState& s = state().windows[hwnd];
        s.layered = true;
        s.perPixel = (flags & ULW_ALPHA) != 0;
        s.alpha = blend ? blend->SourceConstantAlpha : 255;
        s.key = key;
        s.flags = flags;
    }
    changed(hwnd);
    return 1;
}

LayeredState GetLayeredState(HWND hwnd) {
    std::lock_guard lock(state().m);
    auto it = state().windows.find(hwnd);
    return it == state().windows.end() ? LayeredState{} : it->second;
}

void SetLayeredListener(std::function<void(HWND)> listener) {
    std::lock_guard lock(state().m);
    state().listener = std::move(listener);
}
