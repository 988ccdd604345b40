#include "platform/win/paint.h"
#include "platform/win/scroll.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "platform/display/backend.h"
#include "platform/win/internal.h"
#include "platform/win/layered.h"
#include "platform/win/nonclient.h"
#include "platform/win/queue.h"
#include "platform/win/region.h"
#include "platform/win/window.h"

namespace {

struct Pending {
    std::vector<RECT> update; // client coordinates
    bool erase = false;
    DWORD thread = 0;
};

struct SurfaceRef {
    HBITMAP bmp = nullptr;
    SurfaceRef() = default;
    explicit SurfaceRef(HBITMAP b) : bmp(b) {}
    SurfaceRef(SurfaceRef&& o) noexcept : bmp(o.bmp) { o.bmp = nullptr; }
    SurfaceRef& operator=(SurfaceRef&& o) noexcept {
        std::swap(bmp, o.bmp);
        return *this;
    }
    ~SurfaceRef() {
        if (bmp) DeleteObject(bmp);
    }
};

struct PaintState {
    std::mutex m;
    std::map<HWND, Pending> pending;
    std::map<HWND, SurfaceRef> surfaces;
    std::function<void(HWND, const RECT&)> presenter;
    std::map<HDC, HWND> windowDCs; // from GetWindowDC, until released
    std::set<HWND> redrawOff;      // WM_SETREDRAW turned off
};

PaintState& state() {
    static PaintState s;
    return s;
}

bool isChildWindow(HWND h) {
    return (DWORD(GetWindowLongPtr(h, GWL_STYLE)) & WS_CHILD) != 0;
}

HWND topOf(HWND h) {
    while (h && isChildWindow(h))
        h = GetParent(h);
    return h;
}

int depthOf(HWND h) {
    int d = 0;
    while (h && isChildWindow(h))
        h = GetParent(h), ++d;
    return d;
}

// Client origin of a window inside its top-level window's surface.
POINT originInTop(HWND h) {
    HWND top = topOf(h);
    POINT p{0, 0};
    ClientToScreen(h, &p);
    RECT tr{};
    GetWindowRect(top, &tr);
    return POINT{p.x - tr.left, p.y - tr.top};
}

RECT clientInTop(HWND h) {
    RECT c{};
    GetClientRect(h, &c);
    POINT o = originInTop(h);
    OffsetRect(&c, o.x, o.y);
    return c;
}

// What of the window's client area shows, in surface coordinates.
std::vector<RECT> visibleInTop(HWND h) {
    if (!IsWindowVisible(h)) return {};
    std::vector<RECT> vis{clientInTop(h)};
    for (HWND p = h; isChildWindow(p);) {
        p = GetParent(p);
        if (!p) break;
        vis = gdi::Combine(vis, {clientInTop(p)}, RGN_AND);
    }
    if (DWORD(GetWindowLongPtr(h, GWL_STYLE)) & WS_CLIPCHILDREN)
        for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if (IsWindowVisible(c)) vis = gdi::Combine(vis, {clientInTop(c)}, RGN_DIFF);
    return vis;
}

HBITMAP ensureSurface(HWND top) {
    RECT r{};
    if (!GetWindowRect(top, &r)) return nullptr;
    int w = std::max(1, int(r.right - r.left)), h = std::max(1, int(r.bottom - r.top));
    PaintState& s = state();
    std::lock_guard lock(s.m);
    SurfaceRef& ref = s.surfaces[top];
    if (ref.bmp && ref.bmp->width == w && ref.bmp->height == h) return ref.bmp;
    HBITMAP nb = AllocBitmap(w, h, 32, true);
    if (!nb) return ref.bmp;
    if (ref.bmp) {
        int cw = std::min(w, ref.bmp->width), ch = std::min(h, ref.bmp->height);
        for (int y = 0; y < ch; ++y)
            std::memcpy(nb->row(y), ref.bmp->row(y), size_t(cw) * 4);
    }
    ref = SurfaceRef(nb);
    return nb;
}

HDC makeDC(HWND h, const std::vector<RECT>* clientClip) {
    HWND top = topOf(h);
    HBITMAP surface = ensureSurface(top);
    if (!surface) return nullptr;
    POINT o = originInTop(h);
    std::vector<RECT> vis = visibleInTop(h);
    if (clientClip) vis = gdi::Combine(vis, gdi::Offset(*clientClip, o.x, o.y), RGN_AND);
    return CreateSurfaceDC(surface, o, vis);
}

// A device context of the whole window (frame included): origin at the
// window's top-left corner, clipped to what of it shows inside its parents.
HDC makeWindowDC(HWND h) {
    HWND top = topOf(h);
    HBITMAP surface = ensureSurface(top);
    if (!surface) return nullptr;
    RECT wr{}, tr{};
    GetWindowRect(h, &wr);
    GetWindowRect(top, &tr);
    RECT whole{wr.left - tr.left, wr.top - tr.top, wr.right - tr.left, wr.bottom - tr.top};
    std::vector<RECT> vis;
    if (IsWindowVisible(h)) vis.push_back(whole);
    for (HWND p = h; isChildWindow(p);) {
        p = GetParent(p);
        if (!p) break;
        vis = gdi::Combine(vis, {clientInTop(p)}, RGN_AND);
    }
    return CreateSurfaceDC(surface, POINT{whole.left, whole.top}, vis);
}

void present(HWND h, RECT clientRect) {
    HWND top = topOf(h);
    POINT o = originInTop(h);
    OffsetRect(&clientRect, o.x, o.y);
    std::function<void(HWND, const RECT&)> p;
    {
        std::lock_guard lock(state().m);
        p = state().presenter;
    }
    if (p) p(top, clientRect);
}

void wakeThread(DWORD thread) {
    if (auto q = winimpl::QueueOf(thread)) winimpl::Wake(*q);
}

// Covered: an ancestor that does not clip its children paints over this
// window's whole subtree, so every descendant under the area paints again.
void addUpdate(HWND hwnd, const std::vector<RECT>& area, bool erase, bool covered = false) {
    {
        std::lock_guard lock(state().m);
        if (state().redrawOff.count(hwnd)) return;
    }
    RECT client{};
    if (!GetClientRect(hwnd, &client)) return;
    // A picture given with its own alpha is the window's whole look: nothing
    // paints over it.
    if (GetLayeredState(topOf(hwnd)).perPixel) return;
    std::vector<RECT> r = gdi::Combine(area, {client}, RGN_AND);
    if (r.empty()) return;
    DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
    {
        std::lock_guard lock(state().m);
        Pending& p = state().pending[hwnd];
        p.update = gdi::Combine(p.update, r, RGN_OR);
        p.erase = p.erase || erase;
        p.thread = thread;
    }
    // Children under the area are painted again, unless the window clips them.
    if (covered || !(DWORD(GetWindowLongPtr(hwnd, GWL_STYLE)) & WS_CLIPCHILDREN)) {
        POINT po{0, 0};
        ClientToScreen(hwnd, &po);
        for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            POINT co{0, 0};
            ClientToScreen(c, &co);
            addUpdate(c, gdi::Offset(r, po.x - co.x, po.y - co.y), erase, true);
        }
    }
    wakeThread(thread);
}

void removeUpdate(HWND hwnd, const std::vector<RECT>* area) {
    std::lock_guard lock(state().m);
    auto it = state().pending.find(hwnd);
    if (it == state().pending.end()) return;
    if (area)
        it->second.update = gdi::Combine(it->second.update, *area, RGN_DIFF);
    else
        it->second.update.clear();
    if (it->second.update.empty()) state().pending.erase(it);
}

std::vector<RECT> updateOf(HWND hwnd, bool* erase) {
    std::lock_guard lock(state().m);
    auto it = state().pending.find(hwnd);
    if (it == state().pending.end()) return {};
    if (erase) *erase = it->second.erase;
    return it->second.update;
}

void updateTree(HWND hwnd) {
    UpdateWindow(hwnd);
    for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        updateTree(c);
}

HBRUSH classBrush(HWND hwnd) {
    WNDCLASS wc;
    std::string name = GetClassName(hwnd);
    if (name.empty() || !GetClassInfo(nullptr, name.c_str(), &wc) || !wc.hbrBackground)
        return nullptr;
    auto v = reinterpret_cast<uintptr_t>(wc.hbrBackground);
    // A system colour index plus one stands for that colour's brush.
    if (v <= 31) return GetSysColorBrush(int(v) - 1);
    return wc.hbrBackground;
}

} // namespace

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    if (!IsWindow(hwnd)) return 0;
    RECT client{};
    GetClientRect(hwnd, &client);
    addUpdate(hwnd, {rect ? *rect : client}, erase);
    return 1;
}

BOOL InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase) {
    if (!rgn) return InvalidateRect(hwnd, nullptr, erase);
    if (!IsWindow(hwnd)) return 0;
    addUpdate(hwnd, GetRegionRects(rgn), erase);
    return 1;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    if (!IsWindow(hwnd)) return 0;
    if (rect) {
        std::vector<RECT> a{*rect};
        removeUpdate(hwnd, &a);
    } else {
        removeUpdate(hwnd, nullptr);
    }
    return 1;
}

BOOL ValidateRgn(HWND hwnd, HRGN rgn) {
    if (!rgn) return ValidateRect(hwnd, nullptr);
    auto a = GetRegionRects(rgn);
    removeUpdate(hwnd, &a);
    return 1;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL) {
    auto u = updateOf(hwnd, nullptr);
    if (rect) *rect = gdi::Bounds(u);
    return u.empty() ? 0 : 1;
}

int GetUpdateRgn(HWND hwnd, HRGN rgn, BOOL) {
    if (!rgn) return RGN_ERROR;
    auto u = updateOf(hwnd, nullptr);
    HRGN tmp = CreateRegionFromRects(u);
    CombineRgn(rgn, tmp, nullptr, RGN_COPY);
    DeleteObject(tmp);
    return u.empty() ? NULLREGION : u.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

BOOL UpdateWindow(HWND hwnd) {
    if (!IsWindow(hwnd)) return 0;
    if (IsWindowVisible(hwnd) && winimpl::TakeFrameDirty(hwnd)) SendMessage(hwnd, WM_NCPAINT, 1, 0);
    if (IsWindowVisible(hwnd) && !updateOf(hwnd, nullptr).empty())
        SendMessage(hwnd, WM_PAINT, 0, 0);
    return 1;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN rgn, UINT flags) {
    if (!hwnd) return 1;
    if (!IsWindow(hwnd)) return 0;
    if (flags & RDW_INVALIDATE) {
        if (rgn)
            InvalidateRgn(hwnd, rgn, (flags & RDW_ERASE) != 0);
        else
            InvalidateRect(hwnd, rect, (flags & RDW_ERASE) != 0);
        if (flags & RDW_FRAME) winimpl::MarkFrameDirty(hwnd);
    } else if (flags & RDW_VALIDATE) {
        if (rgn)
            ValidateRgn(hwnd, rgn);
        else
            ValidateRect(hwnd, rect);
    }
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) {
        if (flags & RDW_NOCHILDREN)
            UpdateWindow(hwnd);
        else
            updateTree(hwnd);
    }
    return 1;
}

void ShowWindowNow(HWND hwnd) {
    if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) return;
    RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    display::Current().ShowNow(hwnd);
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
    if (!ps || !IsWindow(hwnd)) return nullptr;
    bool erase = false;
    if (IsWindowVisible(hwnd) && winimpl::TakeFrameDirty(hwnd)) SendMessage(hwnd, WM_NCPAINT, 1, 0);
    std::vector<RECT> update = updateOf(hwnd, &erase);
    removeUpdate(hwnd, nullptr);
    // A window that does not clip its children paints over them: a child
    // that painted ahead of it (an UpdateWindow of its own) paints again.
    if (!update.empty() && !(DWORD(GetWindowLongPtr(hwnd, GWL_STYLE)) & WS_CLIPCHILDREN)) {
        POINT po{0, 0};
        ClientToScreen(hwnd, &po);
        for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            if (!IsWindowVisible(c)) continue;
            POINT co{0, 0};
            ClientToScreen(c, &co);
            addUpdate(c, gdi::Offset(update, po.x - co.x, po.y - co.y), erase, true);
        }
    }
    HDC dc = makeDC(hwnd, &update);
    ps->hdc = dc;
    ps->rcPaint = gdi::Bounds(update);
    ps->fErase = 0;
    if (dc && erase)
        ps->fErase = SendMessage(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? 0 : 1;
    return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
    if (!ps || !ps->hdc) return 0;
    DeleteDC(ps->hdc);
    if (!IsRectEmpty(&ps->rcPaint)) present(hwnd, ps->rcPaint);
    return 1;
}

HDC GetDC(HWND hwnd) {
    if (!hwnd) return GetScreenDC();
    if (!IsWindow(hwnd)) return nullptr;
    return makeDC(hwnd, nullptr);
}

HDC GetWindowDC(HWND hwnd) {
    if (!hwnd) return GetScreenDC();
    if (!IsWindow(hwnd)) return nullptr;
    HDC dc = makeWindowDC(hwnd);
    if (dc) {
        std::lock_guard lock(state().m);
        state().windowDCs[dc] = hwnd;
    }
    return dc;
}

int ReleaseDC(HWND hwnd, HDC dc) {
    if (!dc) return 0;
    if (dc->kind == GdiDC::Screen) {
        ReleaseScreenDC(dc);
        return 1;
    }
    bool whole;
    {
        std::lock_guard lock(state().m);
        whole = state().windowDCs.erase(dc) > 0;
    }
    DeleteDC(dc);
    RECT area{};
    if (!hwnd || !GetClientRect(hwnd, &area)) return 1;
    if (whole) {
        // The frame too: the client origin sits inside it by the insets.
        RECT in = winimpl::ClientInsets(hwnd);
        area = RECT{-in.left, -in.top, area.right + in.right, area.bottom + in.bottom};
    }
    present(hwnd, area);
    return 1;
}

LRESULT DefPaintProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (msg == WM_ERASEBKGND) {
        HBRUSH b = classBrush(hwnd);
        auto dc = reinterpret_cast<HDC>(wParam);
        if (!b || !dc) return 0;
        RECT client{};
        GetClientRect(hwnd, &client);
        FillRect(dc, &client, b);
        return 1;
    }
    return 0;
}

HBITMAP GetWindowSurface(HWND topLevel) {
    if (!IsWindow(topLevel) || isChildWindow(topLevel)) return nullptr;
    return ensureSurface(topLevel);
}

HBITMAP RenderWindowToBitmap(HWND hwnd) {
    if (!IsWindow(hwnd)) return nullptr;
    HWND top = topOf(hwnd);
    RedrawWindow(top, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    HBITMAP surface = ensureSurface(top);
    if (!surface) return nullptr;
    RECT wr{}, tr{};
    GetWindowRect(hwnd, &wr);
    GetWindowRect(top, &tr);
    int w = wr.right - wr.left, h = wr.bottom - wr.top;
    HBITMAP out = AllocBitmap(std::max(w, 1), std::max(h, 1), 32, true);
    if (!out) return nullptr;
    int ox = wr.left - tr.left, oy = wr.top - tr.top;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int sx = ox + x, sy = oy + y;
            if (sx < 0 || sy < 0 || sx >= surface->width || sy >= surface->height) continue;
            reinterpret_cast<uint32_t*>(out->row(y))[x] =
                reinterpret_cast<const uint32_t*>(surface->row(sy))[sx];
        }
    return out;
}

HBITMAP RenderScreenToBitmap(const RECT& area) {
    int w = area.right - area.left, h = area.bottom - area.top;
    HBITMAP out = AllocBitmap(std::max(w, 1), std::max(h, 1), 32, true);
    if (!out) return nullptr;
    for (int y = 0; y < out->height; ++y)
        for (int x = 0; x < out->width; ++x)
            reinterpret_cast<uint32_t*>(out->row(y))[x] = 0xFF000000u;
    // Top-level windows from the top; top-most ones above the others.
    std::vector<HWND> order;
    for (HWND t = FindWindowEx(0, 0, nullptr, nullptr); t; t = FindWindowEx(0, t, nullptr, nullptr))
        if (GetWindowThreadProcessId(t, nullptr) != 0) order.push_back(t);
    std::stable_partition(order.begin(), order.end(), [](HWND t) {
        return (DWORD(GetWindowLongPtr(t, GWL_EXSTYLE)) & WS_EX_TOPMOST) != 0;
    });
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        HWND t = *it;
        if (!IsWindowVisible(t)) continue;
        LayeredState ls = GetLayeredState(t);
        bool layeredStyle = (DWORD(GetWindowLongPtr(t, GWL_EXSTYLE)) & WS_EX_LAYERED) != 0;
        // A layered window shows once it was given attributes or a picture.
        if (layeredStyle && !ls.layered) continue;
        if (!ls.perPixel) RedrawWindow(t, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        HBITMAP surface = ensureSurface(t);
        if (!surface) continue;
        RECT wr{};
        GetWindowRect(t, &wr);
        std::vector<RECT> shape{RECT{0, 0, wr.right - wr.left, wr.bottom - wr.top}};
        if (HasWindowRegion(t)) shape = gdi::Combine(shape, GetWindowRegionRects(t), RGN_AND);
        bool keyed = ls.layered && !ls.perPixel && (ls.flags & LWA_COLORKEY);
        uint32_t constant = layeredStyle ? ls.alpha : 255;
        for (const RECT& r : shape)
            for (int y = r.top; y < r.bottom; ++y) {
                int oy = wr.top + y - area.top;
                if (oy < 0 || oy >= h || y >= surface->height) continue;
                const auto* src = reinterpret_cast<const uint32_t*>(surface->row(y));
                auto* dst = reinterpret_cast<uint32_t*>(out->row(oy));
                for (int x = r.left; x < r.right && x < surface->width; ++x) {
                    int ox = wr.left + x - area.left;
                    if (ox < 0 || ox >= w) continue;
                    uint32_t s = src[x];
                    if (keyed &&
                        (RGB((s >> 16) & 0xFF, (s >> 8) & 0xFF, s & 0xFF) == (ls.key & 0xFFFFFF)))
                        continue;
                    uint32_t a = ls.perPixel ? (s >> 24) * constant / 255 : constant;
                    uint32_t d = dst[ox], mixed = 0xFF000000u;
                    for (int sh = 0; sh < 24; sh += 8) {
                        uint32_t sc = (s >> sh) & 0xFF, dc = (d >> sh) & 0xFF;
                        mixed |= ((sc * a + dc * (255 - a) + 127) / 255) << sh;
                    }
                    dst[ox] = mixed;
                }
            }
    }
    return out;
}

void SetSurfacePresenter(std::function<void(HWND, const RECT&)> presenter) {
    std::lock_guard lock(state().m);
    state().presenter = std::move(presenter);
}

HWND winimpl::PaintPendingFor(DWORD threadId, HWND filter) {
    std::vector<HWND> candidates;
    {
        std::lock_guard lock(state().m);
        for (auto& [h, p] : state().pending)
            if (p.thread == threadId && !p.update.empty()) candidates.push_back(h);
    }
    if (candidates.empty()) return 0;
    std::vector<std::pair<int, HWND>> ordered;
    for (HWND h : candidates) {
        if (!IsWindow(h)) {
            std::lock_guard lock(state().m);
            state().pending.erase(h);
            state().surfaces.erase(h);
            continue;
        }
        if (filter && h != filter && !IsChild(filter, h)) continue;
        if (!IsWindowVisible(h)) continue;
        ordered.emplace_back(depthOf(h), h);
    }
    if (ordered.empty()) return 0;
    std::sort(ordered.begin(), ordered.end());
    return ordered.front().second;
}

void winimpl::SetRedraw(HWND hwnd, bool on) {
    std::lock_guard lock(state().m);
    if (on)
        state().redrawOff.erase(hwnd);
    else
        state().redrawOff.insert(hwnd);
}

bool winimpl::RedrawAllowed(HWND hwnd) {
    std::lock_guard lock(state().m);
    return !state().redrawOff.count(hwnd);
}

void winimpl::ForgetPaintState(HWND hwnd) {
    winimpl::ForgetNonClient(hwnd);
    winimpl::ForgetScroll(hwnd);
    std::lock_guard lock(state().m);
    state().redrawOff.erase(hwnd);
    state().pending.erase(hwnd);
    state().surfaces.erase(hwnd);
}

LRESULT DefPrintProc(HWND hwnd, HDC dc, LPARAM flags) {
    if (!dc || !IsWindow(hwnd)) return 0;
    if ((flags & PRF_CHECKVISIBLE) && !IsWindowVisible(hwnd)) return 0;
    RECT in = winimpl::ClientInsets(hwnd);
    int saved = SaveDC(dc);
    if (flags & PRF_NONCLIENT) {
        RECT w{};
        GetWindowRect(hwnd, &w);
        int s2 = SaveDC(dc);
        ExcludeClipRect(dc, in.left, in.top, w.right - w.left - in.right,
                        w.bottom - w.top - in.bottom);
        DrawDefaultNonClient(hwnd, dc);
        RestoreDC(dc, s2);
    }
    OffsetViewportOrgEx(dc, in.left, in.top, nullptr);
    RECT client{};
    GetClientRect(hwnd, &client);
    IntersectClipRect(dc, 0, 0, client.right, client.bottom);
    if (flags & PRF_ERASEBKGND) SendMessage(hwnd, WM_ERASEBKGND, WPARAM(dc), 0);
    if (flags & PRF_CLIENT) SendMessage(hwnd, WM_PRINTCLIENT, WPARAM(dc), flags);
    if (flags & PRF_CHILDREN) {
        for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            if (!IsWindowVisible(c)) continue;
            RECT cr{};
            GetWindowRect(c, &cr);
            POINT at{cr.left, cr.top};
            ScreenToClient(hwnd, &at);
            int s3 = SaveDC(dc);
            OffsetViewportOrgEx(dc, at.x, at.y, nullptr);
            IntersectClipRect(dc, 0, 0, cr.right - cr.left, cr.bottom - cr.top);
            SendMessage(c, WM_PRINT, WPARAM(dc), flags | PRF_NONCLIENT);
            RestoreDC(dc, s3);
        }
    }
    RestoreDC(dc, saved);
    return 0;
}
