#include <algorithm>
#include <cstring>
#include <new>

#include "platform/gdi/objects.h"

namespace {

int rowBytes(const BITMAPINFOHEADER& h) {
    int bytes = h.biBitCount == 32 ? 4 : 3;
    return ((h.biWidth * bytes) + 3) & ~3;
}

bool usableHeader(const BITMAPINFO* info) {
    if (!info) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    return h.biCompression == BI_RGB && (h.biBitCount == 24 || h.biBitCount == 32) &&
           h.biWidth > 0 && h.biHeight != 0 && h.biHeight != INT32_MIN;
}

// Row y counted from the top of the picture a header describes.
const uint8_t* dibRow(const void* bits, const BITMAPINFOHEADER& h, int y) {
    int height = std::abs(h.biHeight);
    int r = h.biHeight < 0 ? y : height - 1 - y;
    return static_cast<const uint8_t*>(bits) + size_t(r) * size_t(rowBytes(h));
}

// A bitmap of the described picture, rows copied from bits.
GdiBitmap* wrap(const void* bits, const BITMAPINFO* info) {
    const BITMAPINFOHEADER& h = info->bmiHeader;
    GdiBitmap* b = AllocBitmap(h.biWidth, std::abs(h.biHeight), h.biBitCount, true);
    if (!b) return nullptr;
    size_t n = size_t(h.biWidth) * (h.biBitCount == 32 ? 4 : 3);
    for (int y = 0; y < b->height; ++y)
        std::memcpy(b->row(y), dibRow(bits, h, y), n);
    return b;
}

// A bitmap over the caller's rows for the length of one call: a picture that
// does not share memory with the destination is read where it lies.
GdiBitmap* borrow(const void* bits, const BITMAPINFO* info) {
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const int64_t stride = rowBytes(h);
    const int64_t total = stride * std::abs(int64_t(h.biHeight));
    if (stride > INT32_MAX || total > (int64_t(1) << 32)) return nullptr;
    auto* b = new (std::nothrow) GdiBitmap;
    if (!b) return nullptr;
    b->width = h.biWidth, b->height = std::abs(h.biHeight), b->bpp = h.biBitCount;
    b->stride = int(stride), b->topDown = h.biHeight < 0, b->size = size_t(total);
    b->data.reset(static_cast<uint8_t*>(const_cast<void*>(bits)));
    return b;
}

// Gives the borrowed rows back before the bitmap goes.
void unborrow(GdiBitmap* b) {
    b->data.release();
    DeleteObject(b);
}

bool overlaps(const GdiBitmap* target, const void* bits, const BITMAPINFO* info) {
    if (!target || !target->data) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const auto* a = static_cast<const uint8_t*>(bits);
    const size_t n = size_t(rowBytes(h)) * size_t(std::abs(int64_t(h.biHeight)));
    const uint8_t* t = target->data.get();
    return a < t + target->size && t < a + n;
}

} // namespace

int GetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT) {
    if (!bitmap || !usableHeader(info)) return 0;
    BITMAPINFOHEADER& h = info->bmiHeader;
    int height = std::abs(h.biHeight);
    if (!bits) return height;
    int w = std::min(int(h.biWidth), bitmap->width);
    int bpp = h.biBitCount == 32 ? 4 : 3;
    int done = 0;
    for (UINT k = 0; k < lines; ++k) {
        int y = int(start + k);
        if (y >= height || y >= bitmap->height) break;
        auto* out = const_cast<uint8_t*>(dibRow(bits, h, y));
        if (bitmap->bpp == int(h.biBitCount)) {
            std::memcpy(out, bitmap->row(y), size_t(w) * bpp);
        } else {
            for (int x = 0; x < w; ++x) {
                COLORREF c = bitmap->getPixel(x, y);
                out[x * bpp] = GetBValue(c);
                out[x * bpp + 1] = GetGValue(c);
                out[x * bpp + 2] = GetRValue(c);
                if (bpp == 4) out[x * bpp + 3] = bitmap->getAlpha(x, y);
            }
        }
        ++done;
    }
    return done;
}

int StretchDIBits(HDC dc, int x, int y, int w, int h, int sx, int sy, int sw, int sh,
                  const void* bits, const BITMAPINFO* info, UINT, DWORD rop) {
    if (!dc || !bits || !usableHeader(info)) return 0;
    // Rows the destination itself holds are copied first, so drawing never
    // reads what it has just written.
    const bool borrowed = !overlaps(dc->target(), bits, info);
    GdiBitmap* src = borrowed ? borrow(bits, info) : wrap(bits, info);
    if (!src) return 0;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, src);
    BOOL ok = StretchBlt(dc, x, y, w, h, mem, sx, sy, sw, sh, rop);
    SelectObject(mem, old);
    DeleteDC(mem);
    if (borrowed)
        unborrow(src);
    else
        DeleteObject(src);
    return ok ? std::abs(h) : 0;
}

int SetDIBitsToDevice(HDC dc, int x, int y, DWORD w, DWORD h, int sx, int sy, UINT, UINT,
                      const void* bits, const BITMAPINFO* info, UINT usage) {
    return StretchDIBits(dc, x, y, int(w), int(h), sx, sy, int(w), int(h), bits, info, usage,
                         SRCCOPY);
}
