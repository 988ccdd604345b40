// Processor features and the cycle counter.
#pragma once

#include <cstdint>

namespace os {

struct CpuFeatures {
    bool mmx = false;
    bool sse = false;
    bool sse2 = false;
    bool sse3 = false;
    bool ssse3 = false;
    bool sse41 = false;
    bool sse42 = false;
    bool avx = false;
    bool avx2 = false;
};

const CpuFeatures& GetCpuFeatures();

// The processor's time-stamp counter, or nanoseconds of the monotonic clock
// where the processor has none.
uint64_t ReadCycleCounter();

} // namespace os
