// Each transition and filter on a full-HD picture; one iteration is one frame.
// At 30 frames a second a frame may take at most 33 ms, drawing included.
// Drawing a frame into a full-HD window is set against pixman copying the
// same 24-bit rows into a 32-bit picture in the same run; the ratio is
// printed at the end.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/win/paint.h"
#include "platform/win/window.h"
#include "skin/engine/speffbmp.h"

namespace {

constexpr int kW = 1920, kH = 1080;

std::unique_ptr<TspEffectBmp> pattern(int seed) {
    auto b = std::make_unique<TspEffectBmp>(kW, kH);
    for (int y = 0; y < kH; ++y) {
        uint8_t* r = b->Row(y);
        for (int i = 0; i < 3 * kW; ++i)
            r[i] = uint8_t(i * 7 + y * 3 + seed);
    }
    return b;
}

using Step = std::function<void(TspEffectBmp&, TspEffectBmp&, double)>;

void Frame(benchmark::State& state, const Step& step) {
    auto from = pattern(0), to = pattern(91);
    auto frame = TspEffectBmp::CreateCopy(*from);
    int i = 0;
    for (auto _ : state) {
        // A frame starts from the first picture and moves towards the second.
        std::memcpy(frame->Bits, from->Bits, size_t(frame->Size));
        step(*frame, *to, double(i++ % 20 + 1) / 21);
        benchmark::DoNotOptimize(frame->Bits[0]);
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

#define TRANSITION(name, call)                                                                     \
    void name(benchmark::State& s) {                                                               \
        Frame(s, [](TspEffectBmp& a, TspEffectBmp& b, double k) {                                  \
            (void)b;                                                                               \
            (void)k;                                                                               \
            call;                                                                                  \
        });                                                                                        \
    }                                                                                              \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)

TRANSITION(Morph, a.Morph(&b, k));
TRANSITION(MorphGrad, a.MorphGrad(&b, k));
TRANSITION(MorphHGrad, a.MorphHGrad(&b, k));
TRANSITION(MorphVGrad, a.MorphVGrad(&b, k));
TRANSITION(MorphLeftGrad, a.MorphLeftGrad(&b, k));
TRANSITION(MorphRightGrad, a.MorphRightGrad(&b, k));
TRANSITION(MorphLeftSlide, a.MorphLeftSlide(&b, k));
TRANSITION(MorphRightSlide, a.MorphRightSlide(&b, k));
TRANSITION(MorphPush, a.MorphPush(&b, k));
TRANSITION(MorphRect, a.MorphRect(&b, k, TRect(0, 0, kW, kH), 0, 0));
TRANSITION(ChangeBrightness, a.ChangeBrightness(k));
TRANSITION(ChangeDarkness, a.ChangeDarkness(k));
TRANSITION(GrayScale, a.GrayScale());
TRANSITION(Invert, a.Invert());
TRANSITION(SplitBlur, a.SplitBlur(1));
TRANSITION(AddMonoNoise, a.AddMonoNoise(20));

// Drawing the frame into a window of its size, through the window's device
// context as a paint does.
void DrawFrame(benchmark::State& state) {
    auto frame = pattern(5);
    if (!GetClassInfo(nullptr, "EffectsBenchHost", nullptr)) {
        WNDCLASS wc;
        wc.lpfnWndProc = DefWindowProc;
        wc.lpszClassName = "EffectsBenchHost";
        RegisterClass(wc);
    }
    HWND window = CreateWindowEx(0, "EffectsBenchHost", "frame", WS_POPUP | WS_VISIBLE, 0, 0, kW,
                                 kH, 0, 0, nullptr, nullptr);
    for (auto _ : state) {
        HDC dc = GetDC(window);
        frame->Draw(dc, 0, 0);
        ReleaseDC(window, dc);
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    // The window shows the frame, down to its last pixel.
    HDC dc = GetDC(window);
    const COLORREF last = GetPixel(dc, kW - 1, kH - 1);
    ReleaseDC(window, dc);
    const uint32_t want = frame->Pixel(kW - 1, kH - 1);
    if (last != RGB(want >> 16, (want >> 8) & 0xFF, want & 0xFF))
        state.SkipWithError("the window does not show the frame");
    DestroyWindow(window);
}
BENCHMARK(DrawFrame)->Unit(benchmark::kMillisecond);

// The reference: pixman copies the frame's 24-bit rows into a 32-bit picture.
void DrawFrame_Pixman(benchmark::State& state) {
    auto frame = pattern(5);
    pixman_image_t* src = pixman_image_create_bits(
        PIXMAN_r8g8b8, kW, kH, reinterpret_cast<uint32_t*>(frame->Bits), frame->Stride());
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, nullptr, kW * 4);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kW, kH);
        benchmark::DoNotOptimize(pixman_image_get_data(dst)[12345]);
    }
    pixman_image_unref(dst);
    pixman_image_unref(src);
}
BENCHMARK(DrawFrame_Pixman)->Unit(benchmark::kMillisecond);

// Keeps the time per frame of every run besides printing it.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override {
        for (const auto& r : reports)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred)
                Times[r.run_name.function_name].push_back(r.GetAdjustedRealTime());
        ConsoleReporter::ReportRuns(reports);
    }
    double Best(const std::string& name) const {
        auto it = Times.find(name);
        if (it == Times.end() || it->second.empty()) return 0;
        double best = it->second.front();
        for (double t : it->second)
            best = std::min(best, t);
        return best;
    }
    std::map<std::string, std::vector<double>> Times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double ours = reporter.Best("DrawFrame"), ref = reporter.Best("DrawFrame_Pixman");
    if (ours > 0 && ref > 0)
        std::printf("\nframe to window: ours %.3f ms, pixman 24->32 copy %.3f ms, ratio %.2f "
                    "(best of %zu runs each)\n",
                    ours, ref, ours / ref, reporter.Times["DrawFrame"].size());
    benchmark::Shutdown();
    return 0;
}
