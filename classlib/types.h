// Points, rectangles and sizes of the class library. They convert to and from
// the drawing layer's records, so either can be handed to the other layer.
#pragma once

#include "platform/gdi/types.h"

#include <cstdint>

struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;

    constexpr TPoint() = default;
    constexpr TPoint(int32_t x, int32_t y) : X(x), Y(y) {}
    constexpr TPoint(const POINT& p) : X(p.x), Y(p.y) {}
    constexpr operator POINT() const { return POINT{X, Y}; }
    friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
    int32_t cx = 0;
    int32_t cy = 0;

    constexpr TSize() = default;
    constexpr TSize(int32_t w, int32_t h) : cx(w), cy(h) {}
    constexpr TSize(const SIZE& s) : cx(s.cx), cy(s.cy) {}
    constexpr operator SIZE() const { return SIZE{cx, cy}; }
    friend constexpr bool operator==(const TSize&, const TSize&) = default;
};

// Right and Bottom are exclusive.
struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;

    constexpr TRect() = default;
    constexpr TRect(int32_t l, int32_t t, int32_t r, int32_t b)
        : Left(l), Top(t), Right(r), Bottom(b) {}
    constexpr TRect(const TPoint& topLeft, const TPoint& bottomRight)
        : Left(topLeft.X), Top(topLeft.Y), Right(bottomRight.X), Bottom(bottomRight.Y) {}
    constexpr TRect(const RECT& r) : Left(r.left), Top(r.top), Right(r.right), Bottom(r.bottom) {}
    constexpr operator RECT() const { return RECT{Left, Top, Right, Bottom}; }

    constexpr int32_t Width() const { return Right - Left; }
    constexpr int32_t Height() const { return Bottom - Top; }
    constexpr TPoint TopLeft() const { return TPoint(Left, Top); }
    constexpr TPoint BottomRight() const { return TPoint(Right, Bottom); }
    constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    constexpr bool Contains(const TPoint& p) const {
        return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom;
    }
    friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

constexpr TPoint Point(int32_t x, int32_t y) {
    return TPoint(x, y);
}
constexpr TRect Rect(int32_t l, int32_t t, int32_t r, int32_t b) {
    return TRect(l, t, r, b);
}
constexpr TRect Bounds(int32_t l, int32_t t, int32_t w, int32_t h) {
    return TRect(l, t, l + w, t + h);
}
constexpr bool PtInRect(const TRect& r, const TPoint& p) {
    return r.Contains(p);
}
