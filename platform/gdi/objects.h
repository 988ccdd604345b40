// Internal shape of the drawing layer's objects; platform code (window layer,
// display backends) may use it, nothing above platform/ should.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"

struct GdiObject {
    explicit GdiObject(int t) : type(t) {}
    virtual ~GdiObject() = default;
    int type;
    bool stock = false;
    int selected = 0; // number of device contexts holding it
    bool deletePending = false;
};

struct GdiBitmap : GdiObject {
    GdiBitmap() : GdiObject(OBJ_BITMAP) {}
    int width = 0;
    int height = 0;
    int bpp = 32; // 1, 24 or 32; 1-bit pixels are kept one byte each
    int stride = 0;
    bool topDown = true;
    bool dibSection = false; // made by CreateDIBSection
    // From calloc: a large picture's pages take memory only once drawn on.
    struct FreePixels {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t[], FreePixels> data;
    size_t size = 0;

    // Row y counted from the top of the image.
    uint8_t* row(int y) { return data.get() + size_t(topDown ? y : height - 1 - y) * stride; }
    const uint8_t* row(int y) const {
        return data.get() + size_t(topDown ? y : height - 1 - y) * stride;
    }
    int bytesPerPixel() const { return bpp == 32 ? 4 : bpp == 24 ? 3 : 1; }
    COLORREF getPixel(int x, int y) const;
    uint8_t getAlpha(int x, int y) const;
    void setPixel(int x, int y, COLORREF c, uint8_t alpha = 0);
};

// Makes a bitmap; null when the size is not positive or memory runs out.
GdiBitmap* AllocBitmap(int width, int height, int bpp, bool topDown);

struct GdiPen : GdiObject {
    GdiPen() : GdiObject(OBJ_PEN) {}
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

struct GdiBrush : GdiObject {
    GdiBrush() : GdiObject(OBJ_BRUSH) {}
    int style = BS_SOLID;
    COLORREF color = 0;
    std::shared_ptr<GdiBitmap> pattern; // a private copy
};

struct GdiFont : GdiObject {
    GdiFont() : GdiObject(OBJ_FONT) {}
    LOGFONT lf;
};

struct GdiRegion : GdiObject {
    GdiRegion() : GdiObject(OBJ_REGION) {}
    std::vector<RECT> rects; // banded: sorted by top, then left; no overlaps
};

struct DCState {
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
    HBITMAP bitmap = nullptr;
    COLORREF textColor = 0;
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    int stretchMode = BLACKONWHITE;
    int rop2 = R2_COPYPEN;
    int polyFill = ALTERNATE;
    UINT textAlign = TA_LEFT | TA_TOP;
    POINT brushOrg;
    POINT viewportOrg;
    POINT windowOrg;
    POINT curPos;
    std::optional<std::vector<RECT>> clip; // device units
};

struct GdiDC : GdiObject {
    GdiDC() : GdiObject(OBJ_DC) {}
    enum Kind { Memory, Surface, Screen } kind = Memory;
    DCState st;
    std::vector<DCState> saved;
    POINT surfaceOrigin;                      // device (0, 0) in the bitmap
    std::optional<std::vector<RECT>> visible; // bitmap coordinates
    std::shared_ptr<GdiBitmap> ownSurface;    // unused by memory DCs

    GdiBitmap* target() const { return st.bitmap; }
    // The rectangles drawing may touch, in bitmap coordinates.
    const std::vector<RECT>& clipRects();
    void invalidateClip() { clipValid = false; }
    // Logical point to bitmap coordinates.
    int toBx(int x) const { return x - st.windowOrg.x + st.viewportOrg.x + surfaceOrigin.x; }
    int toBy(int y) const { return y - st.windowOrg.y + st.viewportOrg.y + surfaceOrigin.y; }

private:
    bool clipValid = false;
    std::vector<RECT> clipCache;
};

// Region arithmetic on banded rectangle lists.
namespace gdi {
std::vector<RECT> Normalize(const std::vector<RECT>& rects);
std::vector<RECT> Combine(const std::vector<RECT>& a, const std::vector<RECT>& b, int mode);
std::vector<RECT> Offset(std::vector<RECT> r, int dx, int dy);
RECT Bounds(const std::vector<RECT>& r);

// Low-level pixel work on a device context, in bitmap coordinates and clipped.
void FillSpan(GdiDC* dc, const RECT& r, COLORREF c);
void BrushFill(GdiDC* dc, const RECT& r, GdiBrush* brush);
void PlotPixel(GdiDC* dc, int x, int y, COLORREF c, int rop2);
// Blends `color` through an 8-bit coverage mask placed at (x, y).
void MaskFill(GdiDC* dc, int x, int y, int w, int h, const uint8_t* mask, int maskStride,
              COLORREF color);
bool InClip(GdiDC* dc, int x, int y);
} // namespace gdi
