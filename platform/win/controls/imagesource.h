// Image lists as the list, header and tab controls see them: the class
// library's image lists hand one over; the control only draws from it and
// never owns it.
#pragma once

#include "platform/gdi/gdi.h"

class ControlImages {
public:
    virtual ~ControlImages() = default;
    virtual int Count() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Draws image `index` with its top-left corner at (x, y).
    virtual void Draw(HDC dc, int index, int x, int y, bool enabled) = 0;
};

using HIMAGELIST = ControlImages*;
