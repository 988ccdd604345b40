// Loading the shipped Default skin from its compressed file: time per load,
// and the heap's peak during one load next to the process's peak.
#include <benchmark/benchmark.h>

#include "skin/engine/SkinData.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>

namespace {

std::atomic<int64_t> g_current{0};
std::atomic<int64_t> g_peak{0};

void noteAlloc(void* p) {
    int64_t now = g_current += int64_t(malloc_usable_size(p));
    int64_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
}

// The largest resident size of the process so far, in KiB.
int64_t residentPeakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atoll(line.c_str() + 6);
    return 0;
}

const std::string kSkin = std::string(LANTROVE_PROGRAM_DIR) + "/skins/Default.skn";

void BM_LoadDefaultSkin(benchmark::State& state) {
    int64_t heapPeak = 0;
    for (auto _ : state) {
        g_peak = g_current.load();
        int64_t before = g_current.load();
        {
            TspSkinData skin(nullptr);
            skin.LoadFromCompressedFile(kSkin);
            if (skin.Empty) state.SkipWithError("the Default skin did not load");
        }
        heapPeak = std::max(heapPeak, g_peak.load() - before);
    }
    state.counters["heap_peak_KiB"] = double(heapPeak) / 1024;
    state.counters["process_peak_KiB"] = double(residentPeakKiB());
}
BENCHMARK(BM_LoadDefaultSkin)->Unit(benchmark::kMillisecond);

} // namespace

void* operator new(size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    noteAlloc(p);
    return p;
}
void* operator new[](size_t n) {
    return operator new(n);
}
void operator delete(void* p) noexcept {
    if (!p) return;
    g_current -= int64_t(malloc_usable_size(p));
    std::free(p);
}
void operator delete[](void* p) noexcept {
    operator delete(p);
}
void operator delete(void* p, size_t) noexcept {
    operator delete(p);
}
void operator delete[](void* p, size_t) noexcept {
    operator delete(p);
}
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    void* p = std::malloc(n ? n : 1);
    if (p) noteAlloc(p);
    return p;
}
void* operator new[](size_t n, const std::nothrow_t& t) noexcept {
    return operator new(n, t);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    operator delete(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    operator delete(p);
}
void* operator new(size_t n, std::align_val_t a) {
    size_t al = size_t(a);
    void* p = std::aligned_alloc(al, (n + al - 1) / al * al);
    if (!p) throw std::bad_alloc();
    noteAlloc(p);
    return p;
}
void* operator new[](size_t n, std::align_val_t a) {
    return operator new(n, a);
}
void operator delete(void* p, std::align_val_t) noexcept {
    operator delete(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    operator delete(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept {
    operator delete(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept {
    operator delete(p);
}
