#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/gdi/objects.h"

// ---- Rectangles -------------------------------------------------------------

BOOL SetRect(RECT* r, int left, int top, int right, int bottom) {
    if (!r) return 0;
    *r = RECT{left, top, right, bottom};
    return 1;
}
BOOL SetRectEmpty(RECT* r) {
    return SetRect(r, 0, 0, 0, 0);
}
BOOL CopyRect(RECT* dst, const RECT* src) {
    if (!dst || !src) return 0;
    *dst = *src;
    return 1;
}
BOOL IsRectEmpty(const RECT* r) {
    return !r || r->right <= r->left || r->bottom <= r->top;
}
BOOL EqualRect(const RECT* a, const RECT* b) {
    return a && b && *a == *b;
}
BOOL PtInRect(const RECT* r, POINT p) {
    return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}
BOOL OffsetRect(RECT* r, int dx, int dy) {
    if (!r) return 0;
    r->left += dx, r->right += dx, r->top += dy, r->bottom += dy;
    return 1;
}
BOOL InflateRect(RECT* r, int dx, int dy) {
    if (!r) return 0;
    r->left -= dx, r->right += dx, r->top -= dy, r->bottom += dy;
    return 1;
}
BOOL IntersectRect(RECT* dst, const RECT* a, const RECT* b) {
    if (!dst || !a || !b) return 0;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        *dst = RECT{};
        return 0;
    }
    *dst = r;
    return 1;
}
BOOL UnionRect(RECT* dst, const RECT* a, const RECT* b) {
    if (!dst || !a || !b) return 0;
    if (IsRectEmpty(a))
        *dst = *b;
    else if (IsRectEmpty(b))
        *dst = *a;
    else
        *dst = RECT{std::min(a->left, b->left), std::min(a->top, b->top),
                    std::max(a->right, b->right), std::max(a->bottom, b->bottom)};
    if (IsRectEmpty(dst)) {
        *dst = RECT{};
        return 0;
    }
    return 1;
}
BOOL SubtractRect(RECT* dst, const RECT* a, const RECT* b) {
    if (!dst || !a || !b) return 0;
    RECT r = *a;
    RECT i;
    if (IntersectRect(&i, a, b)) {
        if (i.top == r.top && i.bottom == r.bottom) {
            if (i.left == r.left)
                r.left = i.right;
            else if (i.right == r.right)
                r.right = i.left;
        } else if (i.left == r.left && i.right == r.right) {
            if (i.top == r.top)
                r.top = i.bottom;
            else if (i.bottom == r.bottom)
                r.bottom = i.top;
        }
    }
    if (IsRectEmpty(&r)) {
        *dst = RECT{};
        return 0;
    }
    *dst = r;
    return 1;
}

int64_t RoundDivEven(int64_t num, int64_t den) {
    bool neg = num < 0;
    if (neg) num = -num;
    int64_t q = num / den, rem = num % den;
    if (rem * 2 > den || (rem * 2 == den && (q & 1))) ++q;
    return neg ? -q : q;
}

// ---- Bitmaps ----------------------------------------------------------------

COLORREF GdiBitmap::getPixel(int x, int y) const {
    const uint8_t* p = row(y);
    if (bpp == 1) return p[x] ? RGB(255, 255, 255) : RGB(0, 0, 0);
    p += x * bytesPerPixel();
    return RGB(p[2], p[1], p[0]);
}

uint8_t GdiBitmap::getAlpha(int x, int y) const {
    return bpp == 32 ? row(y)[x * 4 + 3] : 255;
}

void GdiBitmap::setPixel(int x, int y, COLORREF c, uint8_t alpha) {
    uint8_t* p = row(y);
    if (bpp == 1) {
        // Monochrome: white where the colour is nearer white.
        p[x] = (GetRValue(c) + GetGValue(c) + GetBValue(c)) > 382 ? 1 : 0;
        return;
    }
    p += x * bytesPerPixel();
    p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
    if (bpp == 32) p[3] = alpha;
}

GdiBitmap* AllocBitmap(int width, int height, int bpp, bool topDown) {
    if (width <= 0 || height <= 0 || (bpp != 1 && bpp != 24 && bpp != 32)) return nullptr;
    int bytes = bpp == 32 ? 4 : bpp == 24 ? 3 : 1;
    int64_t stride = (int64_t(width) * bytes + 3) & ~int64_t(3);
    if (bpp == 32) stride = int64_t(width) * 4;
    int64_t total = stride * height;
    if (stride > INT32_MAX || total > (int64_t(1) << 32)) return nullptr;
    auto* b = new (std::nothrow) GdiBitmap;
    if (!b) return nullptr;
    b->data.reset(static_cast<uint8_t*>(std::calloc(size_t(total), 1)));
    if (!b->data) {
        delete b;
        return nullptr;
    }
    b->width = width, b->height = height, b->bpp = bpp, b->stride = int(stride);
    b->topDown = topDown, b->size = size_t(total);
    return b;
}

HBITMAP CreateBitmap(int width, int height, UINT, UINT bitsPerPixel, const void* bits) {
    int bpp = bitsPerPixel <= 1 ? 1 : bitsPerPixel <= 24 ? 24 : 32;
    GdiBitmap* b = AllocBitmap(width, height, bpp, true);
    if (b && bits) {
        if (bpp == 1) {
            // Rows of bits, each padded to 16 bits.
            int rowBytes = ((width + 15) / 16) * 2;
            auto* src = static_cast<const uint8_t*>(bits);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    b->row(y)[x] = (src[y * rowBytes + x / 8] >> (7 - x % 8)) & 1;
        } else {
            std::memcpy(b->data.get(), bits, b->size);
        }
    }
    return b;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
    return AllocBitmap(width, height, 32, true);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, void*, DWORD) {
    if (bits) *bits = nullptr;
    if (!info) return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biCompression != BI_RGB ||
        (h.biBitCount != 24 && h.biBitCount != 32 && h.biBitCount != 1))
        return nullptr;
    if (h.biHeight == INT32_MIN) return nullptr;
    GdiBitmap* b = AllocBitmap(h.biWidth, h.biHeight < 0 ? -h.biHeight : h.biHeight, h.biBitCount,
                               h.biHeight < 0);
    if (!b) return nullptr;
    b->dibSection = true;
    if (bits) *bits = b->data.get();
    return b;
}

// ---- Pens, brushes, fonts -----------------------------------------------------

HPEN CreatePen(int style, int width, COLORREF color) {
    auto* p = new GdiPen;
    p->style = style, p->width = std::max(width, 1), p->color = color & 0xFFFFFF;
    return p;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto* b = new GdiBrush;
    b->color = color & 0xFFFFFF;
    return b;
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* lb) {
    if (!lb) return nullptr;
    auto* b = new GdiBrush;
    b->style = lb->lbStyle == BS_NULL ? BS_NULL : BS_SOLID;
    b->color = lb->lbColor & 0xFFFFFF;
    return b;
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
    if (!bitmap) return nullptr;
    auto copy = std::shared_ptr<GdiBitmap>(
        AllocBitmap(bitmap->width, bitmap->height, bitmap->bpp, bitmap->topDown));
    if (!copy) return nullptr;
    std::memcpy(copy->data.get(), bitmap->data.get(), bitmap->size);
    auto* b = new GdiBrush;
    b->style = BS_PATTERN;
    b->pattern = std::move(copy);
    return b;
}

HFONT CreateFontIndirect(const LOGFONT* lf) {
    if (!lf) return nullptr;
    auto* f = new GdiFont;
    f->lf = *lf;
    return f;
}

namespace {

struct Stock {
    GdiBrush brushes[6];
    GdiPen pens[3];
    GdiFont systemFont, guiFont;
    GdiBitmap* defaultBitmap = nullptr;
    Stock() {
        const COLORREF grey[5] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128),
                                  RGB(64, 64, 64), RGB(0, 0, 0)};
        for (int i = 0; i < 5; ++i)
            brushes[i].color = grey[i];
        brushes[5].style = BS_NULL;
        pens[0].color = RGB(255, 255, 255);
        pens[1].color = 0;
        pens[2].style = PS_NULL;
        systemFont.lf.lfHeight = 16;
        systemFont.lf.lfWeight = FW_BOLD;
        systemFont.lf.lfFaceName = "MS Sans Serif";
        guiFont.lf.lfHeight = -11;
        guiFont.lf.lfFaceName = "MS Sans Serif";
        defaultBitmap = AllocBitmap(1, 1, 1, true);
        for (auto& b : brushes)
            b.stock = true;
        for (auto& p : pens)
            p.stock = true;
        systemFont.stock = guiFont.stock = defaultBitmap->stock = true;
    }
};

Stock& stock() {
    static Stock* s = new Stock; // lives for the whole process
    return *s;
}

void ref(GdiObject* o) {
    if (o) ++o->selected;
}

void unref(GdiObject* o) {
    if (!o) return;
    --o->selected;
    if (o->selected <= 0 && o->deletePending && !o->stock) delete o;
}

void refState(DCState& s) {
    ref(s.pen), ref(s.brush), ref(s.font), ref(s.bitmap);
}
void unrefState(DCState& s) {
    unref(s.pen), unref(s.brush), unref(s.font), unref(s.bitmap);
}

} // namespace

HGDIOBJ GetStockObject(int index) {
    Stock& s = stock();
    if (index >= WHITE_BRUSH && index <= NULL_BRUSH) return &s.brushes[index];
    if (index >= WHITE_PEN && index <= NULL_PEN) return &s.pens[index - WHITE_PEN];
    if (index == SYSTEM_FONT) return &s.systemFont;
    if (index == DEFAULT_GUI_FONT) return &s.guiFont;
    return nullptr;
}

int GetObjectType(HGDIOBJ obj) {
    return obj ? obj->type : 0;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj) {
    if (!dc || !obj) return nullptr;
    auto swap = [&](auto*& slot, auto* value) -> HGDIOBJ {
        auto* old = slot;
        ref(value);
        slot = value;
        unref(old);
        return old;
    };
    switch (obj->type) {
    case OBJ_PEN:
        return swap(dc->st.pen, static_cast<HPEN>(obj));
    case OBJ_BRUSH:
        return swap(dc->st.brush, static_cast<HBRUSH>(obj));
    case OBJ_FONT:
        return swap(dc->st.font, static_cast<HFONT>(obj));
    case OBJ_BITMAP:
        if (dc->kind != GdiDC::Memory) return nullptr;
        dc->invalidateClip();
        return swap(dc->st.bitmap, static_cast<HBITMAP>(obj));
    case OBJ_REGION:
        SelectClipRgn(dc, static_cast<HRGN>(obj));
        return nullptr;
    default:
        return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ obj) {
    if (!obj || obj->type == OBJ_DC) return 0;
    if (obj->stock) return 1;
    if (obj->selected > 0) {
        obj->deletePending = true;
        return 1;
    }
    delete obj;
    return 1;
}

int GetObject(HGDIOBJ obj, int size, void* out) {
    if (!obj) return 0;
    switch (obj->type) {
    case OBJ_BITMAP: {
        auto* b = static_cast<GdiBitmap*>(obj);
        BITMAP bm;
        bm.bmWidth = b->width, bm.bmHeight = b->height, bm.bmWidthBytes = b->stride;
        bm.bmBitsPixel = WORD(b->bpp);
        bm.bmBits = b->dibSection ? b->data.get() : nullptr;
        if (!out) return sizeof(BITMAP);
        if (size >= int(sizeof(DIBSECTION)) && b->dibSection) {
            DIBSECTION ds;
            ds.dsBm = bm;
            ds.dsBmih.biWidth = b->width;
            ds.dsBmih.biHeight = b->topDown ? -b->height : b->height;
            ds.dsBmih.biBitCount = WORD(b->bpp);
            ds.dsBmih.biSizeImage = DWORD(b->size);
            *static_cast<DIBSECTION*>(out) = ds;
            return sizeof(DIBSECTION);
        }
        if (size < int(sizeof(BITMAP))) return 0;
        *static_cast<BITMAP*>(out) = bm;
        return sizeof(BITMAP);
    }
    case OBJ_PEN: {
        if (!out) return sizeof(LOGPEN);
        if (size < int(sizeof(LOGPEN))) return 0;
        auto* p = static_cast<GdiPen*>(obj);
        LOGPEN lp;
        lp.lopnStyle = p->style, lp.lopnWidth.x = p->width, lp.lopnColor = p->color;
        *static_cast<LOGPEN*>(out) = lp;
        return sizeof(LOGPEN);
    }
    case OBJ_BRUSH: {
        if (!out) return sizeof(LOGBRUSH);
        if (size < int(sizeof(LOGBRUSH))) return 0;
        auto* b = static_cast<GdiBrush*>(obj);
        LOGBRUSH lb;
        lb.lbStyle = b->style, lb.lbColor = b->color;
        *static_cast<LOGBRUSH*>(out) = lb;
        return sizeof(LOGBRUSH);
    }
    case OBJ_FONT:
        if (!out) return sizeof(LOGFONT);
        if (size < int(sizeof(LOGFONT))) return 0;
        *static_cast<LOGFONT*>(out) = static_cast<GdiFont*>(obj)->lf;
        return sizeof(LOGFONT);
    default:
        return 0;
    }
}

HGDIOBJ GetCurrentObject(HDC dc, int type) {
    if (!dc) return nullptr;
    switch (type) {
    case OBJ_PEN:
        return dc->st.pen;
    case OBJ_BRUSH:
        return dc->st.brush;
    case OBJ_FONT:
        return dc->st.font;
    case OBJ_BITMAP:
        return dc->st.bitmap;
    default:
        return nullptr;
    }
}

// ---- Device contexts ----------------------------------------------------------

namespace {

GdiDC* newDC(GdiDC::Kind kind, HBITMAP bitmap) {
    auto* dc = new GdiDC;
    dc->kind = kind;
    dc->st.pen = static_cast<HPEN>(GetStockObject(BLACK_PEN));
    dc->st.brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    dc->st.font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    dc->st.bitmap = bitmap;
    refState(dc->st);
    return dc;
}

std::mutex screenMutex;
std::shared_ptr<GdiBitmap> screenBitmap;

std::shared_ptr<GdiBitmap> screen() {
    std::lock_guard lock(screenMutex);
    if (!screenBitmap) {
        screenBitmap.reset(AllocBitmap(1024, 768, 32, true));
        if (screenBitmap) screenBitmap->stock = true;
    }
    return screenBitmap;
}

} // namespace

HDC CreateCompatibleDC(HDC) {
    return newDC(GdiDC::Memory, stock().defaultBitmap);
}

HDC CreateSurfaceDC(HBITMAP surface, POINT origin, const std::vector<RECT>& visible) {
    if (!surface) return nullptr;
    GdiDC* dc = newDC(GdiDC::Surface, surface);
    dc->surfaceOrigin = origin;
    dc->visible = gdi::Normalize(visible);
    return dc;
}

HDC GetScreenDC() {
    auto s = screen();
    if (!s) return nullptr;
    GdiDC* dc = newDC(GdiDC::Screen, s.get());
    dc->ownSurface = s;
    return dc;
}

void ReleaseScreenDC(HDC dc) {
    DeleteDC(dc);
}

void SetScreenSize(int width, int height) {
    std::shared_ptr<GdiBitmap> b(AllocBitmap(width, height, 32, true));
    if (!b) return;
    b->stock = true;
    std::lock_guard lock(screenMutex);
    screenBitmap = b; // device contexts on the old screen keep it alive
}

HBITMAP GetScreenBitmap() {
    return screen().get();
}

BOOL DeleteDC(HDC dc) {
    if (!dc) return 0;
    for (auto& s : dc->saved)
        unrefState(s);
    unrefState(dc->st);
    delete dc;
    return 1;
}

int GetDeviceCaps(HDC dc, int index) {
    switch (index) {
    case BITSPIXEL: {
        if (dc && dc->kind == GdiDC::Memory && dc->st.bitmap) return dc->st.bitmap->bpp;
        return 32;
    }
    case PLANES:
        return 1;
    case HORZRES: {
        auto s = screen();
        return s ? s->width : 0;
    }
    case VERTRES: {
        auto s = screen();
        return s ? s->height : 0;
    }
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;
    case NUMCOLORS:
        return -1;
    default:
        return 0;
    }
}

int SaveDC(HDC dc) {
    if (!dc) return 0;
    dc->saved.push_back(dc->st);
    refState(dc->saved.back());
    return int(dc->saved.size());
}

BOOL RestoreDC(HDC dc, int saved) {
    if (!dc) return 0;
    int n = int(dc->saved.size());
    int index = saved < 0 ? n + saved : saved - 1;
    if (index < 0 || index >= n) return 0;
    unrefState(dc->st);
    dc->st = dc->saved[size_t(index)];
    // The restored state takes over the saved entry's references.
    for (int i = index + 1; i < n; ++i)
        unrefState(dc->saved[size_t(i)]);
    dc->saved.resize(size_t(index));
    dc->invalidateClip();
    return 1;
}

#define DC_SETTER(name, field, type)                                                               \
    type name(HDC dc, type v) {                                                                    \
        if (!dc) return type{};                                                                    \
        type old = dc->st.field;                                                                   \
        dc->st.field = v;                                                                          \
        return old;                                                                                \
    }
DC_SETTER(SetTextColor, textColor, COLORREF)
DC_SETTER(SetBkColor, bkColor, COLORREF)
DC_SETTER(SetBkMode, bkMode, int)
DC_SETTER(SetStretchBltMode, stretchMode, int)
DC_SETTER(SetROP2, rop2, int)
DC_SETTER(SetPolyFillMode, polyFill, int)
DC_SETTER(SetTextAlign, textAlign, UINT)
#undef DC_SETTER
COLORREF GetTextColor(HDC dc) {
    return dc ? dc->st.textColor : CLR_INVALID;
}
COLORREF GetBkColor(HDC dc) {
    return dc ? dc->st.bkColor : CLR_INVALID;
}
int GetBkMode(HDC dc) {
    return dc ? dc->st.bkMode : 0;
}
int GetStretchBltMode(HDC dc) {
    return dc ? dc->st.stretchMode : 0;
}
int GetROP2(HDC dc) {
    return dc ? dc->st.rop2 : 0;
}
UINT GetTextAlign(HDC dc) {
    return dc ? dc->st.textAlign : 0;
}

namespace {
BOOL setPoint(HDC dc, POINT DCState::*field, int x, int y, POINT* old) {
    if (!dc) return 0;
    if (old) *old = dc->st.*field;
    dc->st.*field = POINT{x, y};
    return 1;
}
} // namespace

BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* old) {
    return setPoint(dc, &DCState::brushOrg, x, y, old);
}
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old) {
    return setPoint(dc, &DCState::viewportOrg, x, y, old);
}
BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* old) {
    return setPoint(dc, &DCState::windowOrg, x, y, old);
}
BOOL GetViewportOrgEx(HDC dc, POINT* p) {
    if (!dc || !p) return 0;
    *p = dc->st.viewportOrg;
    return 1;
}
BOOL GetWindowOrgEx(HDC dc, POINT* p) {
    if (!dc || !p) return 0;
    *p = dc->st.windowOrg;
    return 1;
}
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* old) {
    if (!dc) return 0;
    return SetViewportOrgEx(dc, dc->st.viewportOrg.x + dx, dc->st.viewportOrg.y + dy, old);
}
BOOL OffsetWindowOrgEx(HDC dc, int dx, int dy, POINT* old) {
    if (!dc) return 0;
    return SetWindowOrgEx(dc, dc->st.windowOrg.x + dx, dc->st.windowOrg.y + dy, old);
}
BOOL LPtoDP(HDC dc, POINT* pts, int count) {
    if (!dc || !pts) return 0;
    for (int i = 0; i < count; ++i) {
        pts[i].x += dc->st.viewportOrg.x - dc->st.windowOrg.x;
        pts[i].y += dc->st.viewportOrg.y - dc->st.windowOrg.y;
    }
    return 1;
}
BOOL DPtoLP(HDC dc, POINT* pts, int count) {
    if (!dc || !pts) return 0;
    for (int i = 0; i < count; ++i) {
        pts[i].x -= dc->st.viewportOrg.x - dc->st.windowOrg.x;
        pts[i].y -= dc->st.viewportOrg.y - dc->st.windowOrg.y;
    }
    return 1;
}

// ---- Clipping -------------------------------------------------------------------

const std::vector<RECT>& GdiDC::clipRects() {
    if (clipValid) return clipCache;
    clipValid = true;
    clipCache.clear();
    if (!st.bitmap) return clipCache;
    std::vector<RECT> r{RECT{0, 0, st.bitmap->width, st.bitmap->height}};
    if (visible) r = gdi::Combine(r, *visible, RGN_AND);
    if (st.clip)
        r = gdi::Combine(r, gdi::Offset(*st.clip, surfaceOrigin.x, surfaceOrigin.y), RGN_AND);
    clipCache = std::move(r);
    return clipCache;
}

namespace {

int regionType(const std::vector<RECT>& r) {
    return r.empty() ? NULLREGION : r.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// The area drawing can reach, in device units (for combining with clips).
std::vector<RECT> deviceArea(HDC dc) {
    auto r = gdi::Offset(dc->clipRects(), -dc->surfaceOrigin.x, -dc->surfaceOrigin.y);
    return r;
}

RECT logicalToDevice(HDC dc, int l, int t, int r, int b) {
    int dx = dc->st.viewportOrg.x - dc->st.windowOrg.x;
    int dy = dc->st.viewportOrg.y - dc->st.windowOrg.y;
    RECT out{std::min(l, r) + dx, std::min(t, b) + dy, std::max(l, r) + dx, std::max(t, b) + dy};
    return out;
}

} // namespace

int SelectClipRgn(HDC dc, HRGN rgn) {
    return ExtSelectClipRgn(dc, rgn, RGN_COPY);
}

int ExtSelectClipRgn(HDC dc, HRGN rgn, int mode) {
    if (!dc) return RGN_ERROR;
    if (!rgn) {
        if (mode != RGN_COPY) return RGN_ERROR;
        dc->st.clip.reset();
    } else if (mode == RGN_COPY) {
        dc->st.clip = rgn->rects;
    } else {
        std::vector<RECT> cur = dc->st.clip ? *dc->st.clip : deviceArea(dc);
        dc->st.clip = gdi::Combine(cur, rgn->rects, mode);
    }
    dc->invalidateClip();
    return regionType(deviceArea(dc));
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
    if (!dc) return RGN_ERROR;
    RECT r = logicalToDevice(dc, left, top, right, bottom);
    std::vector<RECT> cur = dc->st.clip ? *dc->st.clip : deviceArea(dc);
    dc->st.clip = gdi::Combine(cur, {r}, RGN_AND);
    dc->invalidateClip();
    return regionType(deviceArea(dc));
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
    if (!dc) return RGN_ERROR;
    RECT r = logicalToDevice(dc, left, top, right, bottom);
    std::vector<RECT> cur = dc->st.clip ? *dc->st.clip : deviceArea(dc);
    dc->st.clip = gdi::Combine(cur, {r}, RGN_DIFF);
    dc->invalidateClip();
    return regionType(deviceArea(dc));
}

int OffsetClipRgn(HDC dc, int dx, int dy) {
    if (!dc) return RGN_ERROR;
    if (dc->st.clip) dc->st.clip = gdi::Offset(*dc->st.clip, dx, dy);
    dc->invalidateClip();
    return regionType(deviceArea(dc));
}

int GetClipBox(HDC dc, RECT* r) {
    if (!dc || !r) return RGN_ERROR;
    auto area = deviceArea(dc);
    *r = gdi::Bounds(area);
    int dx = dc->st.viewportOrg.x - dc->st.windowOrg.x;
    int dy = dc->st.viewportOrg.y - dc->st.windowOrg.y;
    if (!area.empty()) OffsetRect(r, -dx, -dy);
    return regionType(area);
}

int GetClipRgn(HDC dc, HRGN rgn) {
    if (!dc || !rgn) return -1;
    if (!dc->st.clip) return 0;
    rgn->rects = *dc->st.clip;
    return 1;
}

BOOL PtVisible(HDC dc, int x, int y) {
    return dc && gdi::InClip(dc, dc->toBx(x), dc->toBy(y));
}

BOOL RectVisible(HDC dc, const RECT* r) {
    if (!dc || !r) return 0;
    RECT b{dc->toBx(r->left), dc->toBy(r->top), dc->toBx(r->right), dc->toBy(r->bottom)};
    for (const RECT& c : dc->clipRects()) {
        RECT i;
        if (IntersectRect(&i, &b, &c)) return 1;
    }
    return 0;
}

bool gdi::InClip(GdiDC* dc, int x, int y) {
    for (const RECT& c : dc->clipRects())
        if (x >= c.left && x < c.right && y >= c.top && y < c.bottom) return true;
    return false;
}
