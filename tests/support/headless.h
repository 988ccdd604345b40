// Helpers of the headless window tests: running what the queue holds and
// reading a pixel of a rendered bitmap as 0xRRGGBB.
#pragma once

#include <cstdint>

#include "platform/gdi/objects.h"
#include "platform/win/queue.h"

namespace headlesstest {

inline void pump() {
    MSG m;
    while (PeekMessage(&m, 0, 0, 0, PM_REMOVE))
        DispatchMessage(&m);
}

inline uint32_t pixel(HBITMAP b, int x, int y) {
    return reinterpret_cast<const uint32_t*>(b->row(y))[x] & 0xFFFFFF;
}

} // namespace headlesstest
