// Stretch, alpha blend and colour-keyed blit of a full-HD picture through the
// drawing layer, next to cairo (pixman) doing the same work in the same run.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstring>

#include "platform/gdi/gdi.h"

namespace {

constexpr int W = 1920, H = 1080;

struct Dib {
    HBITMAP bmp = nullptr;
    HDC dc = nullptr;
    uint32_t* px = nullptr;
    Dib(int w, int h) {
        BITMAPINFO bi{};
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        px = static_cast<uint32_t*>(bits);
        dc = CreateCompatibleDC(nullptr);
        SelectObject(dc, bmp);
    }
    ~Dib() {
        DeleteDC(dc);
        DeleteObject(bmp);
    }
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;
};

// Premultiplied pixels with varied alpha; every eighth pixel is the key colour.
void fillPattern(uint32_t* p, int w, int h, bool withKey) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t a = uint32_t((x * 7 + y * 3) & 0xFF);
            uint32_t c = (a * uint32_t(x & 0xFF)) / 255;
            uint32_t v = a << 24 | c << 16 | (c / 2) << 8 | (c / 3);
            if (withKey && ((x + y) & 7) == 0) v = 0xFFFF00FF;
            p[size_t(y) * w + x] = v;
        }
}

cairo_surface_t* wrap(uint32_t* px, int w, int h) {
    return cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(px),
                                               CAIRO_FORMAT_ARGB32, w, h, w * 4);
}

void BM_Stretch_Ours(benchmark::State& state) {
    Dib src(1280, 720), dst(W, H);
    fillPattern(src.px, 1280, 720, false);
    SetStretchBltMode(dst.dc, COLORONCOLOR);
    for (auto _ : state) {
        StretchBlt(dst.dc, 0, 0, W, H, src.dc, 0, 0, 1280, 720, SRCCOPY);
        benchmark::DoNotOptimize(dst.px[12345]);
    }
}

void BM_Stretch_Cairo(benchmark::State& state) {
    Dib src(1280, 720), dst(W, H);
    fillPattern(src.px, 1280, 720, false);
    cairo_surface_t* s = wrap(src.px, 1280, 720);
    cairo_surface_t* d = wrap(dst.px, W, H);
    cairo_t* cr = cairo_create(d);
    for (auto _ : state) {
        cairo_save(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_scale(cr, double(W) / 1280, double(H) / 720);
        cairo_set_source_surface(cr, s, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        cairo_paint(cr);
        cairo_restore(cr);
        cairo_surface_flush(d);
        benchmark::DoNotOptimize(dst.px[12345]);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(d);
    cairo_surface_destroy(s);
}

void BM_AlphaBlend_Ours(benchmark::State& state) {
    Dib src(W, H), dst(W, H);
    fillPattern(src.px, W, H, false);
    BLENDFUNCTION bf;
    bf.AlphaFormat = AC_SRC_ALPHA;
    for (auto _ : state) {
        std::memset(dst.px, 0x80, size_t(W) * H * 4);
        AlphaBlend(dst.dc, 0, 0, W, H, src.dc, 0, 0, W, H, bf);
        benchmark::DoNotOptimize(dst.px[12345]);
    }
}

void BM_AlphaBlend_Cairo(benchmark::State& state) {
    Dib src(W, H), dst(W, H);
    fillPattern(src.px, W, H, false);
    cairo_surface_t* s = wrap(src.px, W, H);
    cairo_surface_t* d = wrap(dst.px, W, H);
    cairo_t* cr = cairo_create(d);
    for (auto _ : state) {
        std::memset(dst.px, 0x80, size_t(W) * H * 4);
        cairo_surface_mark_dirty(d);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        cairo_set_source_surface(cr, s, 0, 0);
        cairo_paint(cr);
        cairo_surface_flush(d);
        benchmark::DoNotOptimize(dst.px[12345]);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(d);
    cairo_surface_destroy(s);
}

void BM_TransparentBlt_Ours(benchmark::State& state) {
    Dib src(W, H), dst(W, H);
    fillPattern(src.px, W, H, true);
    for (auto _ : state) {
        TransparentBlt(dst.dc, 0, 0, W, H, src.dc, 0, 0, W, H, RGB(255, 0, 255));
        benchmark::DoNotOptimize(dst.px[12345]);
    }
}

// The same keyed copy through cairo: the key turned into an A8 mask once,
// then the picture copied through that mask.
void BM_TransparentBlt_Cairo(benchmark::State& state) {
    Dib src(W, H), dst(W, H);
    fillPattern(src.px, W, H, true);
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, W, H);
    unsigned char* m = cairo_image_surface_get_data(mask);
    int ms = cairo_image_surface_get_stride(mask);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            m[y * ms + x] = (src.px[size_t(y) * W + x] & 0xFFFFFF) == 0xFF00FF ? 0 : 255;
    cairo_surface_mark_dirty(mask);
    cairo_surface_t* s = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(src.px), CAIRO_FORMAT_RGB24, W, H, W * 4);
    cairo_surface_t* d = wrap(dst.px, W, H);
    cairo_t* cr = cairo_create(d);
    for (auto _ : state) {
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        cairo_set_source_surface(cr, s, 0, 0);
        cairo_mask_surface(cr, mask, 0, 0);
        cairo_surface_flush(d);
        benchmark::DoNotOptimize(dst.px[12345]);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(d);
    cairo_surface_destroy(s);
    cairo_surface_destroy(mask);
}

} // namespace

BENCHMARK(BM_Stretch_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Stretch_Cairo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlphaBlend_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AlphaBlend_Cairo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TransparentBlt_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TransparentBlt_Cairo)->Unit(benchmark::kMillisecond);
