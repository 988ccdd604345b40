#include "platform/os/cpu.h"

#include <ctime>
#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace os {

const CpuFeatures& GetCpuFeatures() {
    static const CpuFeatures features = [] {
        CpuFeatures f;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_cpu_init();
        f.mmx = __builtin_cpu_supports("mmx");
        f.sse = __builtin_cpu_supports("sse");
        f.sse2 = __builtin_cpu_supports("sse2");
        f.sse3 = __builtin_cpu_supports("sse3");
        f.ssse3 = __builtin_cpu_supports("ssse3");
        f.sse41 = __builtin_cpu_supports("sse4.1");
        f.sse42 = __builtin_cpu_supports("sse4.2");
        f.avx = __builtin_cpu_supports("avx");
        f.avx2 = __builtin_cpu_supports("avx2");
#endif
        return f;
    }();
    return features;
}

uint64_t ReadCycleCounter() {
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
#endif
}

} // namespace os
