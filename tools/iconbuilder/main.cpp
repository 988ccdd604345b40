// Draws the program's icon: a blue tile with a white note, the mark the
// skins' captions show. Usage: iconbuilder <png-file>
// The picture is drawn on black and on white; the difference gives each
// pixel's coverage, so the edges stay smooth over any background.
#include "classlib/graphics.h"
#include "tools/skinbuilder/painter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

namespace {

constexpr int kSize = 48;
constexpr uint32_t kTile = 0x2F6FEB, kNote = 0xFFFFFF;

void DrawMark(Pixmap& P) {
    const double s = kSize / 16.0; // the caption mark is 16 pixels wide
    P.RoundRect(TRect(0, 0, kSize, kSize), 4 * s, kTile);
    P.Circle(5.5 * s, 11 * s, 2.4 * s, kNote);
    P.Line(7.6 * s, 11 * s, 7.6 * s, 3.5 * s, 1.4 * s, kNote);
    P.Line(7.6 * s, 3.5 * s, 11.5 * s, 5 * s, 1.4 * s, kNote);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: iconbuilder <png-file>\n");
        return 2;
    }
    try {
        Pixmap onBlack(kSize, kSize, 0x000000), onWhite(kSize, kSize, 0xFFFFFF);
        DrawMark(onBlack);
        DrawMark(onWhite);
        TPngImage png;
        png.CreateBlank(COLOR_RGBALPHA, kSize, kSize);
        for (int y = 0; y < kSize; ++y) {
            uint8_t* row = png.Scanline(y);
            uint8_t* alpha = png.AlphaScanline(y);
            for (int x = 0; x < kSize; ++x) {
                uint32_t b = onBlack.At(x, y), w = onWhite.At(x, y);
                // Per channel: black = c * a, white = c * a + 255 * (1 - a).
                int a = 255 - (int((w >> 8) & 0xFF) - int((b >> 8) & 0xFF));
                alpha[x] = uint8_t(std::clamp(a, 0, 255));
                for (int ch = 0; ch < 3; ++ch) {
                    int v = a ? int(std::lround(((b >> (8 * ch)) & 0xFF) * 255.0 / a)) : 0;
                    row[x * 3 + ch] = uint8_t(std::clamp(v, 0, 255));
                }
            }
        }
        png.SaveToFile(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "iconbuilder: %s\n", e.what());
        return 1;
    }
    return 0;
}
