#include "support/screen.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "classlib/controls.h"
#include "classlib/forms.h"
#include "platform/gdi/objects.h"
#include "platform/win/queue.h"
#include "support/tempdir.h"

namespace guitest {

void pumpFor(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        MSG m;
        while (PeekMessage(&m, 0, 0, 0, PM_REMOVE))
            DispatchMessage(&m);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void processFor(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void processPending() {
    Application->ProcessMessages();
}

int run(const std::string& cmd) {
    return std::system((cmd + " >/dev/null 2>&1").c_str());
}

void xdo(const std::string& args) {
    std::string cmd = "xdotool " + args + " >/dev/null 2>&1 &";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
}

std::string pointerAt(TControl* c, int x, int y) {
    TPoint p = c->ClientToScreen(TPoint{x, y});
    return std::to_string(p.X) + " " + std::to_string(p.Y);
}

bool readPpm(const std::string& path, int& w, int& h, std::vector<uint8_t>& rgb) {
    std::ifstream f(path, std::ios::binary);
    std::string magic;
    int maxv = 0;
    if (!(f >> magic >> w >> h >> maxv) || magic != "P6" || maxv != 255) return false;
    f.get();
    rgb.resize(size_t(w) * h * 3);
    return bool(f.read(reinterpret_cast<char*>(rgb.data()), std::streamsize(rgb.size())));
}

bool captureScreen(Screenshot& s) {
    TempDir dir;
    std::string path = dir.file("screen.ppm");
    if (run("import -window root -depth 8 ppm:" + path) != 0) return false;
    return readPpm(path, s.w, s.h, s.rgb);
}

int waitForScreenMatch(Screenshot& shot, const GdiBitmap* drawn, int left, int top, int w, int h,
                       int minWidth) {
    int mismatches = -1;
    pumpUntil([&] {
        if (!captureScreen(shot) || shot.w < minWidth) return false;
        mismatches = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (shot.at(left + x, top + y) != drawn->getPixel(x, y)) ++mismatches;
        return mismatches == 0;
    });
    return mismatches;
}

} // namespace guitest
