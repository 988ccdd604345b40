// Helpers of the tests that run on a real X display: pumping the message loop
// while the X server catches up, running a command quietly, driving the
// pointer tool and reading the whole screen.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/display/gtk.h"
#include "platform/gdi/types.h"

class TControl;

namespace guitest {

// Dispatches messages for about ms milliseconds.
void pumpFor(int ms);
// The same through the application's loop (hints, idle work and all).
void processFor(int ms);
// One turn of the application's loop: what is queued now.
void processPending();

// Pumps until the condition holds or about six seconds pass: the X server
// and the window manager are slower under load.
template <class Pred> bool pumpUntil(Pred done) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        pumpFor(300);
        if (done()) return true;
    }
    return false;
}

// Runs the application's loop until the condition holds or ms pass; whether
// it holds.
template <class Pred> bool processUntil(Pred done, int ms = 15000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        processPending();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

// Runs a command with its output thrown away; its exit status.
int run(const std::string& cmd);

// Runs the pointer tool in the background so the loop keeps pumping while it
// works.
void xdo(const std::string& args);

// A control's client point on the screen, as "x y" for the pointer tool.
std::string pointerAt(TControl* c, int x, int y);

struct Screenshot {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    COLORREF at(int x, int y) const {
        const uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
        return RGB(p[0], p[1], p[2]);
    }
};

// Reads a binary PPM (what the capture tool writes).
bool readPpm(const std::string& path, int& w, int& h, std::vector<uint8_t>& rgb);

// The whole X screen, through the capture tool, as a binary PPM.
bool captureScreen(Screenshot& s);

// Captures the screen until the w x h block at (left, top) shows what the
// headless renderer drew, or time runs out; the pixels that differ in the
// last capture at least minWidth wide, -1 when none came.
int waitForScreenMatch(Screenshot& shot, const GdiBitmap* drawn, int left, int top, int w, int h,
                       int minWidth);

// A test suite on the real display: the suite runs with the GTK backend
// installed, and each test is skipped when there is no display. Suite is the
// deriving fixture, so that each suite keeps its own answer.
template <class Suite> class OnScreenSuite : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        auto backend = display::CreateGtkBackend();
        if (!backend) return;
        display::Install(std::move(backend));
        haveDisplay = true;
    }
    static void TearDownTestSuite() {
        if (haveDisplay) display::Install(nullptr);
    }

protected:
    void SetUp() override {
        if (!haveDisplay) GTEST_SKIP() << "no display";
    }
    static inline bool haveDisplay = false;
};

} // namespace guitest
