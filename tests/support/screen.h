// Helpers of the tests that run on a real X display: pumping the message loop
// while the X server catches up, running a command quietly and reading the
// whole screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/types.h"

namespace guitest {

// Dispatches messages for about ms milliseconds.
void pumpFor(int ms);

// Pumps until the condition holds or about six seconds pass: the X server
// and the window manager are slower under load.
template <class Pred> bool pumpUntil(Pred done) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        pumpFor(300);
        if (done()) return true;
    }
    return false;
}

// Runs a command with its output thrown away; its exit status.
int run(const std::string& cmd);

struct Screenshot {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    COLORREF at(int x, int y) const {
        const uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
        return RGB(p[0], p[1], p[2]);
    }
};

// The whole X screen, through the capture tool, as a binary PPM.
bool captureScreen(Screenshot& s);

} // namespace guitest
