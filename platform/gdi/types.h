// Basic value types and handles of the drawing layer: points, rectangles,
// colours and the object handles device contexts work with.
#pragma once

#include <cstdint>

struct POINT {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const POINT&, const POINT&) = default;
};

struct SIZE {
    int32_t cx = 0;
    int32_t cy = 0;
    friend bool operator==(const SIZE&, const SIZE&) = default;
};

// Right and bottom are exclusive.
struct RECT {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    friend bool operator==(const RECT&, const RECT&) = default;
};

using COLORREF = uint32_t; // 0x00BBGGRR
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using BOOL = int;

constexpr COLORREF RGB(int r, int g, int b) {
    return COLORREF(uint8_t(r)) | (COLORREF(uint8_t(g)) << 8) | (COLORREF(uint8_t(b)) << 16);
}
constexpr uint8_t GetRValue(COLORREF c) {
    return uint8_t(c);
}
constexpr uint8_t GetGValue(COLORREF c) {
    return uint8_t(c >> 8);
}
constexpr uint8_t GetBValue(COLORREF c) {
    return uint8_t(c >> 16);
}

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// Object handles. Each points to an object of the drawing layer; a null
// handle means none.
struct GdiObject;
struct GdiBitmap;
struct GdiPen;
struct GdiBrush;
struct GdiFont;
struct GdiRegion;
struct GdiDC;

using HGDIOBJ = GdiObject*;
using HBITMAP = GdiBitmap*;
using HPEN = GdiPen*;
using HBRUSH = GdiBrush*;
using HFONT = GdiFont*;
using HRGN = GdiRegion*;
using HDC = GdiDC*;
