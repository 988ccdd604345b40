#include <algorithm>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/gdi/objects.h"

namespace {

// Maps each destination pixel of one axis to a source pixel (-1: outside the
// source image). Sampling takes the source pixel under each destination
// pixel's centre; a mirrored axis runs backwards.
std::vector<int> axisMap(int dstLen, int srcStart, int srcLen, bool mirror, int srcLimit) {
    std::vector<int> map(size_t(std::max(dstLen, 0)));
    for (int i = 0; i < dstLen; ++i) {
        int k = int((int64_t(2 * i + 1) * srcLen) / (int64_t(2) * dstLen));
        if (mirror) k = srcLen - 1 - k;
        int s = srcStart + k;
        map[size_t(i)] = (s >= 0 && s < srcLimit) ? s : -1;
    }
    return map;
}

struct Blit {
    GdiBitmap* dst = nullptr;
    GdiBitmap* src = nullptr;
    RECT area;              // destination rectangle in bitmap coordinates
    std::vector<int> cols;  // per destination column of `area`
    std::vector<int> rows;  // per destination row of `area`
    bool identity = false;  // same size, no mirroring
    int offX = 0, offY = 0; // source = destination + offset when identity
};

// Sets up a blit from logical rectangles; false when nothing is drawn.
bool prepare(HDC dstDC, int x, int y, int w, int h, HDC srcDC, int sx, int sy, int sw, int sh,
             Blit& b) {
    if (!dstDC || !srcDC || !dstDC->target() || !srcDC->target()) return false;
    if (w == 0 || h == 0 || sw == 0 || sh == 0) return false;
    bool mx = (w < 0) != (sw < 0), my = (h < 0) != (sh < 0);
    // A negative extent runs from the given pixel backwards, that pixel included.
    if (w < 0) x += w + 1, w = -w;
    if (h < 0) y += h + 1, h = -h;
    if (sw < 0) sx += sw + 1, sw = -sw;
    if (sh < 0) sy += sh + 1, sh = -sh;
    b.dst = dstDC->target();
    b.src = srcDC->target();
    b.area = RECT{dstDC->toBx(x), dstDC->toBy(y), dstDC->toBx(x) + w, dstDC->toBy(y) + h};
    int bsx = srcDC->toBx(sx), bsy = srcDC->toBy(sy);
    b.identity = w == sw && h == sh && !mx && !my;
    b.offX = bsx - b.area.left, b.offY = bsy - b.area.top;
    b.cols = axisMap(w, bsx, sw, mx, b.src->width);
    b.rows = axisMap(h, bsy, sh, my, b.src->height);
    return true;
}

// Calls fn(dstRow, srcRow, x0, x1, y, sy) for each clipped run of a row where
// the source column map is usable; fn handles the columns itself.
template <typename Fn> void forEachRow(HDC dc, Blit& b, Fn fn) {
    for (const RECT& clip : dc->clipRects()) {
        RECT i;
        if (!IntersectRect(&i, &b.area, &clip)) continue;
        // Overlapping copies within one bitmap go bottom-up when moving down.
        bool up = b.src == b.dst && b.identity && b.offY < 0;
        for (int k = 0; k < i.bottom - i.top; ++k) {
            int y = up ? i.bottom - 1 - k : i.top + k;
            int sy = b.rows[size_t(y - b.area.top)];
            if (sy < 0) continue;
            fn(i.left, i.right, y, sy);
        }
    }
}

// 24-bit pixels (blue, green, red) to 32-bit ones with alpha 0, as a copy
// from a picture without alpha gives them.
void rgbToXrgbPlain(uint32_t* d, const uint8_t* s, int n) {
    for (int i = 0; i < n; ++i, s += 3)
        d[i] = uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16;
}

#if defined(__x86_64__)
// Four pixels a shuffle; a load takes 16 bytes, so the last pixels (whose
// 16 bytes would reach past the row) go the plain way.
__attribute__((target("ssse3"))) void rgbToXrgbSsse3(uint32_t* d, const uint8_t* s, int n) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    int i = 0;
    for (; n - i >= 22; i += 16, s += 48) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 12));
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 24));
        __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 36));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_shuffle_epi8(a, spread));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 4), _mm_shuffle_epi8(b, spread));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 8), _mm_shuffle_epi8(c, spread));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 12), _mm_shuffle_epi8(e, spread));
    }
    for (; n - i >= 6; i += 4, s += 12)
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(d + i),
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)), spread));
    rgbToXrgbPlain(d + i, s, n - i);
}
#endif

void rgbToXrgb(uint32_t* d, const uint8_t* s, int n) {
#if defined(__x86_64__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) return rgbToXrgbSsse3(d, s, n);
#endif
    rgbToXrgbPlain(d, s, n);
}

uint32_t ropApply(uint8_t rop, uint32_t p, uint32_t s, uint32_t d) {
    uint32_t r = 0;
    for (int i = 0; i < 8; ++i) {
        if (!(rop & (1 << i))) continue;
        r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    }
    return r & 0xFFFFFF;
}

bool ropUsesSource(uint8_t rop) {
    return ((rop >> 2) & 0x33) != (rop & 0x33);
}

COLORREF sourceColour(HDC dst, HDC src, GdiBitmap* sb, int x, int y) {
    COLORREF c = sb->getPixel(x, y);
    if (sb->bpp == 1 && dst->target()->bpp != 1) return c ? dst->st.bkColor : dst->st.textColor;
    if (sb->bpp != 1 && dst->target()->bpp == 1)
        return c == (src->st.bkColor & 0xFFFFFF) ? 0xFFFFFF : 0;
    return c;
}

BOOL rasterBlit(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                DWORD rop) {
    uint8_t code = uint8_t(rop >> 16);
    if (!ropUsesSource(code)) return PatBlt(dst, x, y, w, h, rop);
    Blit b;
    if (!prepare(dst, x, y, w, h, src, sx, sy, sw, sh, b)) return 0;
    GdiBitmap* db = b.dst;
    GdiBitmap* sb = b.src;
    if (code == 0xCC && db->bpp == sb->bpp && db->bpp != 1) {
        int bpp = db->bytesPerPixel();
        forEachRow(dst, b, [&](int x0, int x1, int yy, int srow) {
            uint8_t* d = db->row(yy);
            const uint8_t* s = sb->row(srow);
            if (b.identity) {
                int s0 = std::max(x0 + b.offX, 0), s1 = std::min(x1 + b.offX, sb->width);
                if (s1 > s0)
                    std::memmove(d + (s0 - b.offX) * bpp, s + s0 * bpp, size_t(s1 - s0) * bpp);
                return;
            }
            if (bpp == 4) {
                auto* d32 = reinterpret_cast<uint32_t*>(d);
                auto* s32 = reinterpret_cast<const uint32_t*>(s);
                const int* cols = b.cols.data() - b.area.left;
                for (int xx = x0; xx < x1; ++xx)
                    if (cols[xx] >= 0) d32[xx] = s32[cols[xx]];
            } else {
                for (int xx = x0; xx < x1; ++xx) {
                    int c = b.cols[size_t(xx - b.area.left)];
                    if (c >= 0) std::memcpy(d + xx * 3, s + c * 3, 3);
                }
            }
        });
        return 1;
    }
    if (code == 0xCC && db->bpp == 32 && sb->bpp == 24) {
        forEachRow(dst, b, [&](int x0, int x1, int yy, int srow) {
            auto* d = reinterpret_cast<uint32_t*>(db->row(yy));
            const uint8_t* s = sb->row(srow);
            if (b.identity) {
                int s0 = std::max(x0 + b.offX, 0), s1 = std::min(x1 + b.offX, sb->width);
                if (s1 > s0) rgbToXrgb(d + (s0 - b.offX), s + s0 * 3, s1 - s0);
                return;
            }
            const int* cols = b.cols.data() - b.area.left;
            for (int xx = x0; xx < x1; ++xx)
                if (cols[xx] >= 0) rgbToXrgbPlain(d + xx, s + cols[xx] * 3, 1);
        });
        return 1;
    }
    GdiBrush* br = dst->st.brush;
    forEachRow(dst, b, [&](int x0, int x1, int yy, int srow) {
        for (int xx = x0; xx < x1; ++xx) {
            int c = b.cols[size_t(xx - b.area.left)];
            if (c < 0) continue;
            COLORREF s = sourceColour(dst, src, sb, c, srow);
            COLORREF d = db->getPixel(xx, yy);
            COLORREF p = br && br->style != BS_NULL ? br->color : 0;
            COLORREF out = code == 0xCC ? s : ropApply(code, p, s, d);
            uint8_t alpha = code == 0xCC ? sb->getAlpha(c, srow) : 0;
            if (sb->bpp != 32) alpha = 0;
            db->setPixel(xx, yy, out, alpha);
        }
    });
    return 1;
}

inline uint32_t div255(uint32_t x) {
    return (x + 127) / 255;
}
inline uint32_t div65025(uint64_t x) {
    return uint32_t((x + 32512) / 65025);
}

// d = s + d * (255 - alpha(s)) / 255 per byte, rounded to nearest and
// clamped, for n premultiplied 32-bit pixels.
void blendRowPremultiplied(uint32_t* d, const uint32_t* s, int n) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), c255 = _mm_set1_epi32(255),
                  c128 = _mm_set1_epi16(128);
    for (; i + 4 <= n; i += 4) {
        __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        __m128i k = _mm_sub_epi32(c255, _mm_srli_epi32(sv, 24));
        k = _mm_or_si128(k, _mm_slli_epi32(k, 16));
        __m128i lo = _mm_mullo_epi16(_mm_unpacklo_epi8(dv, zero), _mm_unpacklo_epi32(k, k));
        __m128i hi = _mm_mullo_epi16(_mm_unpackhi_epi8(dv, zero), _mm_unpackhi_epi32(k, k));
        lo = _mm_add_epi16(lo, c128);
        hi = _mm_add_epi16(hi, c128);
        lo = _mm_srli_epi16(_mm_add_epi16(lo, _mm_srli_epi16(lo, 8)), 8);
        hi = _mm_srli_epi16(_mm_add_epi16(hi, _mm_srli_epi16(hi, 8)), 8);
        __m128i r = _mm_adds_epu8(_mm_packus_epi16(lo, hi), sv);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), r);
    }
#endif
    for (; i < n; ++i) {
        uint32_t sv = s[i], dv = d[i], k = 255 - (sv >> 24), out = 0;
        for (int sh = 0; sh < 32; sh += 8)
            out |= uint32_t(ClampByte(((sv >> sh) & 0xFF) + div255(((dv >> sh) & 0xFF) * k))) << sh;
        d[i] = out;
    }
}

// d = s wherever s's colour is not the key, for n 32-bit pixels.
void keyedCopyRow(uint32_t* d, const uint32_t* s, int n, uint32_t key) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i kv = _mm_set1_epi32(int(key)), rgb = _mm_set1_epi32(0xFFFFFF);
    for (; i + 4 <= n; i += 4) {
        __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        __m128i isKey = _mm_cmpeq_epi32(_mm_and_si128(sv, rgb), kv);
        __m128i r = _mm_or_si128(_mm_and_si128(isKey, dv), _mm_andnot_si128(isKey, sv));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), r);
    }
#endif
    for (; i < n; ++i)
        if ((s[i] & 0xFFFFFF) != key) d[i] = s[i];
}

// Sets up an alpha or transparent blit: those mirror nothing (a negative size
// draws nothing) and take no monochrome bitmap on either side.
bool prepareColour(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                   Blit& b) {
    if (w < 0 || h < 0 || sw < 0 || sh < 0) return false;
    if (!prepare(dst, x, y, w, h, src, sx, sy, sw, sh, b)) return false;
    return b.dst->bpp != 1 && b.src->bpp != 1;
}

} // namespace

BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
    uint8_t code = uint8_t(rop >> 16);
    if (!ropUsesSource(code)) return PatBlt(dst, x, y, w, h, rop);
    return rasterBlit(dst, x, y, w, h, src, sx, sy, w, h, rop);
}

BOOL StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                DWORD rop) {
    return rasterBlit(dst, x, y, w, h, src, sx, sy, sw, sh, rop);
}

BOOL AlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                BLENDFUNCTION bf) {
    Blit b;
    if (!prepareColour(dst, x, y, w, h, src, sx, sy, sw, sh, b)) return 0;
    GdiBitmap* db = b.dst;
    GdiBitmap* sb = b.src;
    const uint32_t sca = bf.SourceConstantAlpha;
    const bool perPixel = (bf.AlphaFormat & AC_SRC_ALPHA) && sb->bpp == 32;
    const int dbp = db->bytesPerPixel(), sbp = sb->bytesPerPixel();
    if (perPixel && sca == 255 && dbp == 4 && b.identity) {
        forEachRow(dst, b, [&](int x0, int x1, int yy, int srow) {
            int s0 = std::max(x0 + b.offX, 0), s1 = std::min(x1 + b.offX, sb->width);
            if (s1 <= s0) return;
            blendRowPremultiplied(reinterpret_cast<uint32_t*>(db->row(yy)) + (s0 - b.offX),
                                  reinterpret_cast<const uint32_t*>(sb->row(srow)) + s0, s1 - s0);
        });
        return 1;
    }
    forEachRow(dst, b, [&](int x0, int x1, int yy, int srow) {
        uint8_t* drow = db->row(yy);
        const uint8_t* srowp = sb->row(srow);
        const int* cols = b.cols.data() - b.area.left;
        for (int xx = x0; xx < x1; ++xx) {
            int c = cols[xx];
            if (c < 0) continue;
            const uint8_t* s = srowp + c * sbp;
            uint8_t* d = drow + xx * dbp;
            if (perPixel) {
                uint32_t a = s[3];
                if (sca == 255) {
                    // d = s + d * (255 - a) / 255 with premultiplied s.
                    if (a == 255) {
                        d[0] = s[0], d[1] = s[1], d[2] = s[2];
                        if (dbp == 4) d[3] = 255;
                        continue;
                    }
                    if (a == 0 && (s[0] | s[1] | s[2]) == 0) continue;
                    uint32_t k = 255 - a;
                    for (int ch = 0; ch < 3; ++ch)
                        d[ch] = ClampByte(s[ch] + div255(d[ch] * k));
                    if (dbp == 4) d[3] = ClampByte(a + div255(d[3] * k));
                } else {
                    uint64_t k = 65025 - a * sca;
                    for (int ch = 0; ch < 3; ++ch)
                        d[ch] = ClampByte(div65025(uint64_t(s[ch]) * sca * 255 + d[ch] * k));
                    if (dbp == 4) d[3] = ClampByte(div65025(uint64_t(a) * sca * 255 + d[3] * k));
                }
            } else {
                uint32_t k = 255 - sca;
                for (int ch = 0; ch < 3; ++ch)
                    d[ch] = uint8_t(div255(s[ch] * sca + d[ch] * k));
                if (dbp == 4) {
                    uint32_t sa = sbp == 4 ? s[3] : 255;
                    d[3] = uint8_t(div255(sa * sca + d[3] * k));
                }
            }
        }
    });
    return 1;
}

BOOL TransparentBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                    UINT transparent) {
    Blit b;
    if (!prepareColour(dst, x, y, w, h, src, sx, sy, sw, sh, b)) return 0;
    GdiBitmap* db = b.dst;
    GdiBitmap* sb = b.src;
    const int dbp = db->bytesPerPixel(), sbp = sb->bytesPerPixel();
    const uint8_t kr = GetRValue(transparent), kg = GetGValue(transparent),
                  kb = GetBValue(transparent);
    if (dbp == 4 && sbp == 4) {
        const uint32_t key = uint32_t(kb) | uint32_t(kg) << 8 | uint32_t(kr) << 16;
        if (b.identity) {
            forEachRow(dst, b, [&](int x0, int x1, int yy, int srow) {
                int s0 = std::max(x0 + b.offX, 0), s1 = std::min(x1 + b.offX, sb->width);
                if (s1 <= s0) return;
                keyedCopyRow(reinterpret_cast<uint32_t*>(db->row(yy)) + (s0 - b.offX),
                             reinterpret_cast<const uint32_t*>(sb->row(srow)) + s0, s1 - s0, key);
            });
            return 1;
        }
        forEachRow(dst, b, [&](int x0, int x1, int yy, int srow) {
            auto* d = reinterpret_cast<uint32_t*>(db->row(yy));
            auto* s = reinterpret_cast<const uint32_t*>(sb->row(srow));
            const int* cols = b.cols.data() - b.area.left;
            for (int xx = x0; xx < x1; ++xx) {
                int c = cols[xx];
                if (c < 0) continue;
                uint32_t v = s[c];
                if ((v & 0xFFFFFF) != key) d[xx] = v;
            }
        });
        return 1;
    }
    forEachRow(dst, b, [&](int x0, int x1, int yy, int srow) {
        for (int xx = x0; xx < x1; ++xx) {
            int c = b.cols[size_t(xx - b.area.left)];
            if (c < 0) continue;
            const uint8_t* s = sb->row(srow) + c * sbp;
            if (s[0] == kb && s[1] == kg && s[2] == kr) continue;
            uint8_t* d = db->row(yy) + xx * dbp;
            d[0] = s[0], d[1] = s[1], d[2] = s[2];
            if (dbp == 4) d[3] = sbp == 4 ? s[3] : 0;
        }
    });
    return 1;
}
