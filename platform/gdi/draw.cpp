#include <algorithm>
#include <array>
#include <cairo.h>
#include <cmath>
#include <cstring>
#include <functional>

#include "platform/gdi/objects.h"

// ---- System colours ---------------------------------------------------------

namespace {
constexpr std::array<COLORREF, 31> kSysColors = {
    RGB(200, 200, 200), RGB(58, 110, 165),  RGB(10, 36, 106),   RGB(128, 128, 128),
    RGB(240, 240, 240), RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),
    RGB(0, 0, 0),       RGB(255, 255, 255), RGB(212, 208, 200), RGB(212, 208, 200),
    RGB(128, 128, 128), RGB(51, 153, 255),  RGB(255, 255, 255), RGB(240, 240, 240),
    RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),
    RGB(255, 255, 225), RGB(180, 180, 180), RGB(0, 102, 204),   RGB(166, 202, 240),
    RGB(192, 192, 192), RGB(51, 153, 255),  RGB(240, 240, 240)};
} // namespace

COLORREF GetSysColor(int index) {
    if (index < 0 || index >= int(kSysColors.size())) return 0;
    return kSysColors[size_t(index)];
}

HBRUSH GetSysColorBrush(int index) {
    static std::array<GdiBrush*, 31>* brushes = [] {
        auto* a = new std::array<GdiBrush*, 31>;
        for (size_t i = 0; i < a->size(); ++i) {
            (*a)[i] = new GdiBrush;
            (*a)[i]->color = kSysColors[i];
            (*a)[i]->stock = true;
        }
        return a;
    }();
    if (index < 0 || index >= int(brushes->size())) return nullptr;
    return (*brushes)[size_t(index)];
}

// ---- Pixel primitives ---------------------------------------------------------

namespace gdi {

void FillSpan(GdiDC* dc, const RECT& r, COLORREF c) {
    GdiBitmap* b = dc->target();
    if (!b) return;
    for (const RECT& clip : dc->clipRects()) {
        RECT i;
        if (!IntersectRect(&i, &r, &clip)) continue;
        if (b->bpp == 32) {
            uint32_t v =
                uint32_t(GetBValue(c)) | uint32_t(GetGValue(c)) << 8 | uint32_t(GetRValue(c)) << 16;
            for (int y = i.top; y < i.bottom; ++y) {
                auto* p = reinterpret_cast<uint32_t*>(b->row(y)) + i.left;
                std::fill(p, p + (i.right - i.left), v);
            }
        } else {
            for (int y = i.top; y < i.bottom; ++y)
                for (int x = i.left; x < i.right; ++x)
                    b->setPixel(x, y, c);
        }
    }
}

void BrushFill(GdiDC* dc, const RECT& r, GdiBrush* brush) {
    if (!brush || brush->style == BS_NULL) return;
    if (brush->style != BS_PATTERN || !brush->pattern) {
        FillSpan(dc, r, brush->color);
        return;
    }
    GdiBitmap* b = dc->target();
    if (!b) return;
    const GdiBitmap& pat = *brush->pattern;
    int ox = dc->surfaceOrigin.x + dc->st.brushOrg.x, oy = dc->surfaceOrigin.y + dc->st.brushOrg.y;
    for (const RECT& clip : dc->clipRects()) {
        RECT i;
        if (!IntersectRect(&i, &r, &clip)) continue;
        for (int y = i.top; y < i.bottom; ++y) {
            int py = ((y - oy) % pat.height + pat.height) % pat.height;
            for (int x = i.left; x < i.right; ++x) {
                int px = ((x - ox) % pat.width + pat.width) % pat.width;
                COLORREF c = pat.getPixel(px, py);
                if (pat.bpp == 1) c = c ? dc->st.bkColor : dc->st.textColor;
                b->setPixel(x, y, c);
            }
        }
    }
}

void PlotPixel(GdiDC* dc, int x, int y, COLORREF c, int rop2) {
    GdiBitmap* b = dc->target();
    if (!b || !InClip(dc, x, y)) return;
    COLORREF d = b->getPixel(x, y);
    switch (rop2) {
    case R2_NOP:
        return;
    case R2_BLACK:
        c = 0;
        break;
    case R2_WHITE:
        c = 0xFFFFFF;
        break;
    case R2_NOT:
        c = ~d & 0xFFFFFF;
        break;
    case R2_XORPEN:
        c = (d ^ c) & 0xFFFFFF;
        break;
    case R2_NOTXORPEN:
        c = ~(d ^ c) & 0xFFFFFF;
        break;
    default:
        break;
    }
    b->setPixel(x, y, c);
}

void MaskFill(GdiDC* dc, int x0, int y0, int w, int h, const uint8_t* mask, int maskStride,
              COLORREF color) {
    GdiBitmap* b = dc->target();
    if (!b) return;
    RECT area{x0, y0, x0 + w, y0 + h};
    int cr = GetRValue(color), cg = GetGValue(color), cb = GetBValue(color);
    for (const RECT& clip : dc->clipRects()) {
        RECT i;
        if (!IntersectRect(&i, &area, &clip)) continue;
        for (int y = i.top; y < i.bottom; ++y) {
            const uint8_t* m = mask + size_t(y - y0) * maskStride;
            for (int x = i.left; x < i.right; ++x) {
                int a = m[x - x0];
                if (!a) continue;
                if (a == 255) {
                    b->setPixel(x, y, color);
                    continue;
                }
                COLORREF d = b->getPixel(x, y);
                auto mix = [a](int s, int dv) {
                    return int(RoundDivEven(int64_t(a) * s + int64_t(255 - a) * dv, 255));
                };
                b->setPixel(
                    x, y, RGB(mix(cr, GetRValue(d)), mix(cg, GetGValue(d)), mix(cb, GetBValue(d))));
            }
        }
    }
}

} // namespace gdi

namespace {

RECT toBitmap(HDC dc, const RECT& r) {
    return RECT{dc->toBx(r.left), dc->toBy(r.top), dc->toBx(r.right), dc->toBy(r.bottom)};
}

bool penVisible(HDC dc) {
    return dc->st.pen && dc->st.pen->style != PS_NULL;
}

// Pixels of a pen line from a to b (b excluded), in bitmap coordinates.
void penLine(HDC dc, POINT a, POINT b) {
    GdiPen* pen = dc->st.pen;
    if (!pen || pen->style == PS_NULL) return;
    int dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
    int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    int err = dx + dy;
    int x = a.x, y = a.y, n = 0;
    int w = pen->width;
    while (!(x == b.x && y == b.y)) {
        bool on = true;
        if (pen->style == PS_DOT)
            on = (n & 1) == 0;
        else if (pen->style == PS_DASH)
            on = (n % 9) < 6;
        if (on) {
            if (w <= 1) {
                gdi::PlotPixel(dc, x, y, pen->color, dc->st.rop2);
            } else {
                int h0 = (w - 1) / 2;
                for (int yy = y - h0; yy < y - h0 + w; ++yy)
                    for (int xx = x - h0; xx < x - h0 + w; ++xx)
                        gdi::PlotPixel(dc, xx, yy, pen->color, dc->st.rop2);
            }
        }
        ++n;
        int e2 = 2 * err;
        if (e2 >= dy) err += dy, x += sx;
        if (e2 <= dx) err += dx, y += sy;
    }
}

// Renders a path as an 8-bit coverage mask over the bitmap-space box and
// fills it with a colour.
void shapeFill(HDC dc, RECT box, COLORREF color, bool antialias,
               const std::function<void(cairo_t*)>& path, bool stroke, double lineWidth) {
    GdiBitmap* b = dc->target();
    if (!b) return;
    InflateRect(&box, int(lineWidth) + 1, int(lineWidth) + 1);
    RECT bounds{0, 0, b->width, b->height};
    RECT area;
    if (!IntersectRect(&area, &box, &bounds)) return;
    int w = area.right - area.left, h = area.bottom - area.top;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return;
    }
    cairo_t* cr = cairo_create(s);
    cairo_set_antialias(cr, antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_translate(cr, -area.left, -area.top);
    path(cr);
    if (stroke) {
        cairo_set_line_width(cr, lineWidth);
        cairo_stroke(cr);
    } else {
        cairo_set_fill_rule(cr, dc->st.polyFill == WINDING ? CAIRO_FILL_RULE_WINDING
                                                           : CAIRO_FILL_RULE_EVEN_ODD);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    cairo_surface_flush(s);
    gdi::MaskFill(dc, area.left, area.top, w, h, cairo_image_surface_get_data(s),
                  cairo_image_surface_get_stride(s), color);
    cairo_surface_destroy(s);
}

void fillAndStroke(HDC dc, RECT box, const std::function<void(cairo_t*, double inset)>& path) {
    GdiBrush* br = dc->st.brush;
    double pw = penVisible(dc) ? dc->st.pen->width : 0;
    if (br && br->style != BS_NULL)
        shapeFill(
            dc, box, br->color, false, [&](cairo_t* cr) { path(cr, pw > 0 ? pw / 2 : 0); }, false,
            0);
    if (pw > 0)
        shapeFill(
            dc, box, dc->st.pen->color, false, [&](cairo_t* cr) { path(cr, pw / 2); }, true, pw);
}

} // namespace

// ---- Rectangles and pixels ------------------------------------------------------

int FillRect(HDC dc, const RECT* r, HBRUSH brush) {
    if (!dc || !r || !brush) return 0;
    gdi::BrushFill(dc, toBitmap(dc, *r), brush);
    return 1;
}

int FrameRect(HDC dc, const RECT* r, HBRUSH brush) {
    if (!dc || !r || !brush || IsRectEmpty(r)) return 0;
    RECT b = toBitmap(dc, *r);
    gdi::BrushFill(dc, RECT{b.left, b.top, b.right, b.top + 1}, brush);
    gdi::BrushFill(dc, RECT{b.left, b.bottom - 1, b.right, b.bottom}, brush);
    gdi::BrushFill(dc, RECT{b.left, b.top + 1, b.left + 1, b.bottom - 1}, brush);
    gdi::BrushFill(dc, RECT{b.right - 1, b.top + 1, b.right, b.bottom - 1}, brush);
    return 1;
}

BOOL InvertRect(HDC dc, const RECT* r) {
    if (!dc || !r) return 0;
    return PatBlt(dc, r->left, r->top, r->right - r->left, r->bottom - r->top, DSTINVERT);
}

BOOL DrawFocusRect(HDC dc, const RECT* r) {
    if (!dc || !r || IsRectEmpty(r)) return 0;
    RECT b = toBitmap(dc, *r);
    // Every other pixel of the border, inverted.
    for (int x = b.left; x < b.right; ++x) {
        if (((x - b.left) & 1) == 0) gdi::PlotPixel(dc, x, b.top, 0, R2_NOT);
        if (((x - b.left + b.bottom - 1 - b.top) & 1) == 0)
            gdi::PlotPixel(dc, x, b.bottom - 1, 0, R2_NOT);
    }
    for (int y = b.top + 1; y < b.bottom - 1; ++y) {
        if (((y - b.top) & 1) == 0) gdi::PlotPixel(dc, b.left, y, 0, R2_NOT);
        if (((y - b.top + b.right - 1 - b.left) & 1) == 0)
            gdi::PlotPixel(dc, b.right - 1, y, 0, R2_NOT);
    }
    return 1;
}

BOOL DrawEdge(HDC dc, RECT* rc, UINT edge, UINT flags) {
    if (!dc || !rc) return 0;
    RECT r = *rc;
    auto line = [&](RECT a, COLORREF c) {
        HBRUSH br = CreateSolidBrush(c);
        FillRect(dc, &a, br);
        DeleteObject(br);
    };
    auto ring = [&](COLORREF tl, COLORREF brc) {
        if (flags & BF_LEFT) line(RECT{r.left, r.top, r.left + 1, r.bottom}, tl);
        if (flags & BF_TOP) line(RECT{r.left, r.top, r.right, r.top + 1}, tl);
        if (flags & BF_RIGHT) line(RECT{r.right - 1, r.top, r.right, r.bottom}, brc);
        if (flags & BF_BOTTOM) line(RECT{r.left, r.bottom - 1, r.right, r.bottom}, brc);
        if (flags & BF_LEFT) ++r.left;
        if (flags & BF_TOP) ++r.top;
        if (flags & BF_RIGHT) --r.right;
        if (flags & BF_BOTTOM) --r.bottom;
    };
    COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT), lt = GetSysColor(COLOR_3DLIGHT);
    COLORREF sh = GetSysColor(COLOR_BTNSHADOW), dk = GetSysColor(COLOR_3DDKSHADOW);
    if (flags & BF_FLAT) {
        if (edge & 0xF) ring(sh, sh);
    } else {
        if (edge & BDR_RAISEDOUTER)
            ring(lt, dk);
        else if (edge & BDR_SUNKENOUTER)
            ring(sh, hi);
        if (edge & BDR_RAISEDINNER)
            ring(hi, sh);
        else if (edge & BDR_SUNKENINNER)
            ring(dk, lt);
    }
    if (flags & BF_MIDDLE) line(r, GetSysColor(COLOR_BTNFACE));
    if (flags & BF_ADJUST) *rc = r;
    return 1;
}

BOOL PatBlt(HDC dc, int x, int y, int w, int h, DWORD rop) {
    if (!dc || !dc->target()) return 0;
    RECT r = toBitmap(
        dc, RECT{std::min(x, x + w), std::min(y, y + h), std::max(x, x + w), std::max(y, y + h)});
    GdiBitmap* b = dc->target();
    switch (rop) {
    case PATCOPY:
        gdi::BrushFill(dc, r, dc->st.brush);
        return 1;
    case BLACKNESS:
        gdi::FillSpan(dc, r, 0);
        return 1;
    case WHITENESS:
        gdi::FillSpan(dc, r, 0xFFFFFF);
        return 1;
    case DSTINVERT:
    case PATINVERT: {
        COLORREF pat =
            rop == DSTINVERT
                ? 0xFFFFFF
                : (dc->st.brush && dc->st.brush->style != BS_NULL ? dc->st.brush->color : 0);
        for (const RECT& clip : dc->clipRects()) {
            RECT i;
            if (!IntersectRect(&i, &r, &clip)) continue;
            for (int yy = i.top; yy < i.bottom; ++yy)
                for (int xx = i.left; xx < i.right; ++xx)
                    b->setPixel(xx, yy, (b->getPixel(xx, yy) ^ pat) & 0xFFFFFF);
        }
        return 1;
    }
    default:
        return 0;
    }
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF c) {
    if (!dc || !dc->target()) return CLR_INVALID;
    int bx = dc->toBx(x), by = dc->toBy(y);
    if (!gdi::InClip(dc, bx, by)) return CLR_INVALID;
    dc->target()->setPixel(bx, by, c & 0xFFFFFF);
    return dc->target()->getPixel(bx, by);
}

BOOL SetPixelV(HDC dc, int x, int y, COLORREF c) {
    return SetPixel(dc, x, y, c) != CLR_INVALID;
}

COLORREF GetPixel(HDC dc, int x, int y) {
    if (!dc || !dc->target()) return CLR_INVALID;
    int bx = dc->toBx(x), by = dc->toBy(y);
    if (!gdi::InClip(dc, bx, by)) return CLR_INVALID;
    return dc->target()->getPixel(bx, by);
}

// ---- Lines and shapes --------------------------------------------------------------

BOOL MoveToEx(HDC dc, int x, int y, POINT* old) {
    if (!dc) return 0;
    if (old) *old = dc->st.curPos;
    dc->st.curPos = POINT{x, y};
    return 1;
}

BOOL LineTo(HDC dc, int x, int y) {
    if (!dc) return 0;
    POINT a{dc->toBx(dc->st.curPos.x), dc->toBy(dc->st.curPos.y)};
    POINT b{dc->toBx(x), dc->toBy(y)};
    penLine(dc, a, b);
    dc->st.curPos = POINT{x, y};
    return 1;
}

BOOL Polyline(HDC dc, const POINT* pts, int count) {
    if (!dc || !pts || count < 2) return 0;
    for (int i = 0; i + 1 < count; ++i)
        penLine(dc, POINT{dc->toBx(pts[i].x), dc->toBy(pts[i].y)},
                POINT{dc->toBx(pts[i + 1].x), dc->toBy(pts[i + 1].y)});
    return 1;
}

BOOL Polygon(HDC dc, const POINT* pts, int count) {
    if (!dc || !pts || count < 2) return 0;
    std::vector<POINT> p(pts, pts + count);
    RECT box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (POINT& q : p) {
        q = POINT{dc->toBx(q.x), dc->toBy(q.y)};
        box.left = std::min(box.left, q.x), box.top = std::min(box.top, q.y);
        box.right = std::max(box.right, q.x + 1), box.bottom = std::max(box.bottom, q.y + 1);
    }
    GdiBrush* br = dc->st.brush;
    if (br && br->style != BS_NULL)
        shapeFill(
            dc, box, br->color, false,
            [&](cairo_t* cr) {
                cairo_move_to(cr, p[0].x + 0.5, p[0].y + 0.5);
                for (size_t i = 1; i < p.size(); ++i)
                    cairo_line_to(cr, p[i].x + 0.5, p[i].y + 0.5);
                cairo_close_path(cr);
            },
            false, 0);
    for (size_t i = 0; i < p.size(); ++i)
        penLine(dc, p[i], p[(i + 1) % p.size()]);
    return 1;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    if (!dc) return 0;
    RECT r = toBitmap(dc, RECT{std::min(left, right), std::min(top, bottom), std::max(left, right),
                               std::max(top, bottom)});
    if (!penVisible(dc)) {
        gdi::BrushFill(dc, RECT{r.left, r.top, r.right - 1, r.bottom - 1}, dc->st.brush);
        return 1;
    }
    int w = std::max(dc->st.pen->width, 1);
    gdi::BrushFill(dc, RECT{r.left + w, r.top + w, r.right - w, r.bottom - w}, dc->st.brush);
    COLORREF c = dc->st.pen->color;
    if (dc->st.pen->style == PS_SOLID || dc->st.pen->style == PS_INSIDEFRAME) {
        if (dc->st.rop2 == R2_COPYPEN) {
            gdi::FillSpan(dc, RECT{r.left, r.top, r.right, std::min(r.top + w, r.bottom)}, c);
            gdi::FillSpan(dc, RECT{r.left, std::max(r.bottom - w, r.top), r.right, r.bottom}, c);
            gdi::FillSpan(dc, RECT{r.left, r.top + w, std::min(r.left + w, r.right), r.bottom - w},
                          c);
            gdi::FillSpan(dc, RECT{std::max(r.right - w, r.left), r.top + w, r.right, r.bottom - w},
                          c);
            return 1;
        }
    }
    POINT pts[5] = {{r.left, r.top},
                    {r.right - 1, r.top},
                    {r.right - 1, r.bottom - 1},
                    {r.left, r.bottom - 1},
                    {r.left, r.top}};
    for (int i = 0; i < 4; ++i)
        penLine(dc, pts[i], pts[i + 1]);
    return 1;
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
    if (!dc) return 0;
    RECT r = toBitmap(dc, RECT{std::min(left, right), std::min(top, bottom), std::max(left, right),
                               std::max(top, bottom)});
    if (IsRectEmpty(&r)) return 1;
    fillAndStroke(dc, r, [&](cairo_t* cr, double inset) {
        double rx = (r.right - r.left) / 2.0 - inset, ry = (r.bottom - r.top) / 2.0 - inset;
        if (rx <= 0 || ry <= 0) return;
        cairo_save(cr);
        cairo_translate(cr, (r.left + r.right) / 2.0, (r.top + r.bottom) / 2.0);
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
        cairo_restore(cr);
    });
    return 1;
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int w, int h) {
    if (!dc) return 0;
    RECT r = toBitmap(dc, RECT{std::min(left, right), std::min(top, bottom), std::max(left, right),
                               std::max(top, bottom)});
    if (IsRectEmpty(&r)) return 1;
    fillAndStroke(dc, r, [&](cairo_t* cr, double inset) {
        double x0 = r.left + inset, y0 = r.top + inset, x1 = r.right - inset, y1 = r.bottom - inset;
        double rx = std::min(std::abs(w) / 2.0, (x1 - x0) / 2),
               ry = std::min(std::abs(h) / 2.0, (y1 - y0) / 2);
        if (rx <= 0 || ry <= 0) {
            cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
            return;
        }
        auto corner = [&](double cx, double cy, double a0) {
            cairo_save(cr);
            cairo_translate(cr, cx, cy);
            cairo_scale(cr, rx, ry);
            cairo_arc(cr, 0, 0, 1, a0, a0 + M_PI / 2);
            cairo_restore(cr);
        };
        cairo_new_sub_path(cr);
        corner(x1 - rx, y0 + ry, -M_PI / 2);
        corner(x1 - rx, y1 - ry, 0);
        corner(x0 + rx, y1 - ry, M_PI / 2);
        corner(x0 + rx, y0 + ry, M_PI);
        cairo_close_path(cr);
    });
    return 1;
}
