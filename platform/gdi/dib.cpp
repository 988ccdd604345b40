#include <algorithm>
#include <cstring>

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
    GdiBitmap* src = wrap(bits, info);
    if (!src) return 0;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, src);
    BOOL ok = StretchBlt(dc, x, y, w, h, mem, sx, sy, sw, sh, rop);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(src);
    return ok ? std::abs(h) : 0;
}

int SetDIBitsToDevice(HDC dc, int x, int y, DWORD w, DWORD h, int sx, int sy, UINT, UINT,
                      const void* bits, const BITMAPINFO* info, UINT usage) {
    return StretchDIBits(dc, x, y, int(w), int(h), sx, sy, int(w), int(h), bits, info, usage,
                         SRCCOPY);
}
