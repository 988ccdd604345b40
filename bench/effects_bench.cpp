// Each transition and filter on a full-HD picture; one iteration is one frame.
// At 30 frames a second a frame may take at most 33 ms, drawing included.
#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>
#include <memory>

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

// Drawing the frame onto a window-sized device context.
void DrawFrame(benchmark::State& state) {
    auto frame = pattern(5);
    TBitmap target(kW, kH);
    HDC dc = target.Canvas()->Handle();
    for (auto _ : state)
        frame->Draw(dc, 0, 0);
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(DrawFrame)->Unit(benchmark::kMillisecond);

} // namespace
