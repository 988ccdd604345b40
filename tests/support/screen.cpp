#include "support/screen.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

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

int run(const std::string& cmd) {
    return std::system((cmd + " >/dev/null 2>&1").c_str());
}

bool captureScreen(Screenshot& s) {
    TempDir dir;
    std::string path = dir.file("screen.ppm");
    if (run("import -window root -depth 8 ppm:" + path) != 0) return false;
    std::ifstream f(path, std::ios::binary);
    std::string magic;
    int maxv = 0;
    if (!(f >> magic >> s.w >> s.h >> maxv) || magic != "P6" || maxv != 255) return false;
    f.get();
    s.rgb.resize(size_t(s.w) * s.h * 3);
    return bool(f.read(reinterpret_cast<char*>(s.rgb.data()), std::streamsize(s.rgb.size())));
}

} // namespace guitest
