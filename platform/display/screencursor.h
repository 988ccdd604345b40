// The picture the screen shows for the pointer now, where the display can
// say (an X server with the fixes extension); nothing under the headless
// display.
#pragma once

#include <cstdint>
#include <vector>

namespace display {

struct CursorPicture {
    int width = 0, height = 0;
    int hotX = 0, hotY = 0;
    std::vector<uint32_t> argb; // top row first, 0xAARRGGBB
};

bool ScreenCursorPicture(CursorPicture& Picture);

} // namespace display
