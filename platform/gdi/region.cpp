#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/objects.h"

namespace {

using Spans = std::vector<std::pair<int, int>>;

// Union of the x-spans of the rectangles covering the band [y0, y1).
Spans bandSpans(const std::vector<RECT>& rects, int y0, int y1) {
    Spans s;
    for (const RECT& r : rects)
        if (r.top <= y0 && r.bottom >= y1 && r.left < r.right) s.emplace_back(r.left, r.right);
    std::sort(s.begin(), s.end());
    Spans out;
    for (auto& sp : s) {
        if (!out.empty() && sp.first <= out.back().second)
            out.back().second = std::max(out.back().second, sp.second);
        else
            out.push_back(sp);
    }
    return out;
}

bool inside(int mode, bool a, bool b) {
    switch (mode) {
    case RGN_AND:
        return a && b;
    case RGN_OR:
        return a || b;
    case RGN_XOR:
        return a != b;
    case RGN_DIFF:
        return a && !b;
    default:
        return a;
    }
}

Spans combineSpans(const Spans& a, const Spans& b, int mode) {
    std::vector<int> xs;
    for (auto& s : a)
        xs.push_back(s.first), xs.push_back(s.second);
    for (auto& s : b)
        xs.push_back(s.first), xs.push_back(s.second);
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    Spans out;
    size_t ia = 0, ib = 0;
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
        int x0 = xs[i], x1 = xs[i + 1];
        while (ia < a.size() && a[ia].second <= x0)
            ++ia;
        while (ib < b.size() && b[ib].second <= x0)
            ++ib;
        bool inA = ia < a.size() && a[ia].first <= x0;
        bool inB = ib < b.size() && b[ib].first <= x0;
        if (!inside(mode, inA, inB)) continue;
        if (!out.empty() && out.back().second == x0)
            out.back().second = x1;
        else
            out.emplace_back(x0, x1);
    }
    return out;
}

} // namespace

namespace gdi {

std::vector<RECT> Combine(const std::vector<RECT>& a, const std::vector<RECT>& b, int mode) {
    std::vector<int> ys;
    ys.reserve((a.size() + b.size()) * 2);
    for (const RECT& r : a)
        if (r.left < r.right && r.top < r.bottom) ys.push_back(r.top), ys.push_back(r.bottom);
    if (mode != RGN_COPY)
        for (const RECT& r : b)
            if (r.left < r.right && r.top < r.bottom) ys.push_back(r.top), ys.push_back(r.bottom);
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

    // Active lists keep only rectangles that reach the current band.
    std::vector<RECT> sa(a), sb(mode == RGN_COPY ? std::vector<RECT>{} : b);
    auto byTop = [](const RECT& l, const RECT& r) { return l.top < r.top; };
    std::sort(sa.begin(), sa.end(), byTop);
    std::sort(sb.begin(), sb.end(), byTop);
    std::vector<RECT> activeA, activeB;
    size_t na = 0, nb = 0;

    std::vector<RECT> out;
    Spans prev;
    size_t prevStart = 0;
    int prevBottom = INT32_MIN;
    for (size_t i = 0; i + 1 < ys.size(); ++i) {
        int y0 = ys[i], y1 = ys[i + 1];
        while (na < sa.size() && sa[na].top <= y0)
            activeA.push_back(sa[na++]);
        while (nb < sb.size() && sb[nb].top <= y0)
            activeB.push_back(sb[nb++]);
        std::erase_if(activeA, [&](const RECT& r) { return r.bottom <= y0; });
        std::erase_if(activeB, [&](const RECT& r) { return r.bottom <= y0; });
        Spans s = combineSpans(bandSpans(activeA, y0, y1), bandSpans(activeB, y0, y1),
                               mode == RGN_COPY ? RGN_OR : mode);
        if (s.empty()) {
            prev.clear();
            continue;
        }
        if (s == prev && prevBottom == y0) {
            for (size_t k = prevStart; k < out.size(); ++k)
                out[k].bottom = y1;
        } else {
            prevStart = out.size();
            for (auto& sp : s)
                out.push_back(RECT{sp.first, y0, sp.second, y1});
            prev = std::move(s);
        }
        prevBottom = y1;
    }
    return out;
}

std::vector<RECT> Normalize(const std::vector<RECT>& rects) {
    return Combine(rects, {}, RGN_OR);
}

std::vector<RECT> Offset(std::vector<RECT> r, int dx, int dy) {
    for (RECT& x : r)
        OffsetRect(&x, dx, dy);
    return r;
}

RECT Bounds(const std::vector<RECT>& r) {
    if (r.empty()) return RECT{};
    RECT b = r.front();
    for (const RECT& x : r)
        UnionRect(&b, &b, &x);
    return b;
}

} // namespace gdi

namespace {

int typeOf(HRGN r) {
    return r->rects.empty() ? NULLREGION : r->rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

HRGN fromRects(std::vector<RECT> rects) {
    auto* r = new GdiRegion;
    r->rects = std::move(rects);
    return r;
}

// Rows of an ellipse inscribed in (l, t, r, b): x-span of every pixel row,
// sampled at the row's centre.
void ellipseRows(int l, int t, int r, int b, std::vector<RECT>& out, int xOff = 0,
                 int yClipTop = INT32_MIN, int yClipBottom = INT32_MAX) {
    double cx = (l + r) / 2.0, cy = (t + b) / 2.0, rx = (r - l) / 2.0, ry = (b - t) / 2.0;
    if (rx <= 0 || ry <= 0) return;
    for (int y = std::max(t, yClipTop); y < std::min(b, yClipBottom); ++y) {
        double dy = (y + 0.5 - cy) / ry;
        double k = 1 - dy * dy;
        if (k < 0) continue;
        double hw = rx * std::sqrt(k);
        int x0 = int(std::lround(cx - hw)), x1 = int(std::lround(cx + hw));
        if (x1 > x0) out.push_back(RECT{x0 + xOff, y, x1 + xOff, y + 1});
    }
}

} // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    RECT r{std::min(left, right), std::min(top, bottom), std::max(left, right),
           std::max(top, bottom)};
    return fromRects(IsRectEmpty(&r) ? std::vector<RECT>{} : std::vector<RECT>{r});
}

HRGN CreateRectRgnIndirect(const RECT* r) {
    return r ? CreateRectRgn(r->left, r->top, r->right, r->bottom) : nullptr;
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom) {
    std::vector<RECT> rows;
    ellipseRows(left, top, right, bottom, rows);
    return fromRects(gdi::Normalize(rows));
}

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int w, int h) {
    w = std::min(std::abs(w), right - left);
    h = std::min(std::abs(h), bottom - top);
    if (w < 2 || h < 2) return CreateRectRgn(left, top, right, bottom);
    std::vector<RECT> rows;
    int hh = h / 2;
    // Top and bottom rows follow the corner ellipse, split at its middle.
    std::vector<RECT> top_, bot;
    ellipseRows(left, top, left + w, top + h, top_, 0, top, top + hh);
    ellipseRows(left, bottom - h, left + w, bottom, bot, 0, bottom - hh, bottom);
    for (RECT r : top_)
        rows.push_back(RECT{r.left, r.top, right - (r.left - left), r.bottom});
    for (RECT r : bot)
        rows.push_back(RECT{r.left, r.top, right - (r.left - left), r.bottom});
    if (bottom - hh > top + hh) rows.push_back(RECT{left, top + hh, right, bottom - hh});
    return fromRects(gdi::Normalize(rows));
}

HRGN CreatePolygonRgn(const POINT* pts, int count, int fillMode) {
    if (!pts || count < 3) return fromRects({});
    int minY = pts[0].y, maxY = pts[0].y;
    for (int i = 0; i < count; ++i)
        minY = std::min(minY, pts[i].y), maxY = std::max(maxY, pts[i].y);
    std::vector<RECT> rows;
    for (int y = minY; y < maxY; ++y) {
        double sy = y + 0.5;
        std::vector<std::pair<double, int>> xs;
        for (int i = 0; i < count; ++i) {
            POINT a = pts[i], b = pts[(i + 1) % count];
            if (a.y == b.y) continue;
            if ((sy >= a.y && sy < b.y) || (sy >= b.y && sy < a.y))
                xs.emplace_back(a.x + (sy - a.y) * (b.x - a.x) / double(b.y - a.y),
                                b.y > a.y ? 1 : -1);
        }
        std::sort(xs.begin(), xs.end());
        int wind = 0;
        for (size_t i = 0; i + 1 < xs.size(); ++i) {
            wind += fillMode == WINDING ? xs[i].second : 1;
            bool in = fillMode == WINDING ? wind != 0 : (wind & 1);
            int x0 = int(std::lround(xs[i].first)), x1 = int(std::lround(xs[i + 1].first));
            if (in && x1 > x0) rows.push_back(RECT{x0, y, x1, y + 1});
        }
    }
    return fromRects(gdi::Normalize(rows));
}

HRGN ExtCreateRegion(const void*, DWORD size, const RGNDATA* data) {
    if (!data || size < sizeof(RGNDATAHEADER) || data->rdh.iType != RDH_RECTANGLES) return nullptr;
    DWORD header = std::max<DWORD>(data->rdh.dwSize, sizeof(RGNDATAHEADER));
    uint64_t need = uint64_t(header) + uint64_t(data->rdh.nCount) * sizeof(RECT);
    if (need > size) return nullptr;
    std::vector<RECT> rects(data->rdh.nCount);
    if (!rects.empty())
        std::memcpy(rects.data(), reinterpret_cast<const char*>(data) + header,
                    rects.size() * sizeof(RECT));
    return fromRects(gdi::Normalize(rects));
}

HRGN CreateRegionFromRects(const std::vector<RECT>& rects) {
    return fromRects(gdi::Normalize(rects));
}

DWORD GetRegionData(HRGN rgn, DWORD size, RGNDATA* data) {
    if (!rgn) return 0;
    DWORD need = DWORD(sizeof(RGNDATAHEADER) + rgn->rects.size() * sizeof(RECT));
    if (!data) return need;
    if (size < need) return 0;
    data->rdh = RGNDATAHEADER{};
    data->rdh.nCount = DWORD(rgn->rects.size());
    data->rdh.nRgnSize = DWORD(rgn->rects.size() * sizeof(RECT));
    data->rdh.rcBound = gdi::Bounds(rgn->rects);
    if (!rgn->rects.empty())
        std::memcpy(reinterpret_cast<char*>(data) + sizeof(RGNDATAHEADER), rgn->rects.data(),
                    rgn->rects.size() * sizeof(RECT));
    return need;
}

std::vector<RECT> GetRegionRects(HRGN rgn) {
    return rgn ? rgn->rects : std::vector<RECT>{};
}

int CombineRgn(HRGN dst, HRGN a, HRGN b, int mode) {
    if (!dst || !a || (mode != RGN_COPY && !b) || mode < RGN_AND || mode > RGN_COPY)
        return RGN_ERROR;
    dst->rects = mode == RGN_COPY ? a->rects : gdi::Combine(a->rects, b->rects, mode);
    return typeOf(dst);
}

BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom) {
    if (!rgn) return 0;
    HRGN t = CreateRectRgn(left, top, right, bottom);
    rgn->rects = t->rects;
    DeleteObject(t);
    return 1;
}

int OffsetRgn(HRGN rgn, int dx, int dy) {
    if (!rgn) return RGN_ERROR;
    rgn->rects = gdi::Offset(rgn->rects, dx, dy);
    return typeOf(rgn);
}

int GetRgnBox(HRGN rgn, RECT* r) {
    if (!rgn || !r) return RGN_ERROR;
    *r = gdi::Bounds(rgn->rects);
    return typeOf(rgn);
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
    if (!rgn) return 0;
    for (const RECT& r : rgn->rects)
        if (PtInRect(&r, POINT{x, y})) return 1;
    return 0;
}

BOOL RectInRegion(HRGN rgn, const RECT* rc) {
    if (!rgn || !rc) return 0;
    for (const RECT& r : rgn->rects) {
        RECT i;
        if (IntersectRect(&i, &r, rc)) return 1;
    }
    return 0;
}

BOOL EqualRgn(HRGN a, HRGN b) {
    return a && b && a->rects == b->rects;
}

BOOL FillRgn(HDC dc, HRGN rgn, HBRUSH brush) {
    if (!dc || !rgn || !brush) return 0;
    for (const RECT& r : rgn->rects) {
        RECT b{dc->toBx(r.left), dc->toBy(r.top), dc->toBx(r.right), dc->toBy(r.bottom)};
        gdi::BrushFill(dc, b, brush);
    }
    return 1;
}

BOOL PaintRgn(HDC dc, HRGN rgn) {
    return dc ? FillRgn(dc, rgn, dc->st.brush) : 0;
}

BOOL FrameRgn(HDC dc, HRGN rgn, HBRUSH brush, int w, int h) {
    if (!dc || !rgn || !brush) return 0;
    // The frame is the region minus the region shrunk by w and h.
    std::vector<RECT> inner = rgn->rects;
    for (int dx : {-w, w})
        inner = gdi::Combine(inner, gdi::Offset(rgn->rects, dx, 0), RGN_AND);
    for (int dy : {-h, h})
        inner = gdi::Combine(inner, gdi::Offset(rgn->rects, 0, dy), RGN_AND);
    GdiRegion frame;
    frame.rects = gdi::Combine(rgn->rects, inner, RGN_DIFF);
    return FillRgn(dc, &frame, brush);
}
