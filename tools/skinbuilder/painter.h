// A small anti-aliased painter on an RGB pixel buffer, and a shelf packer
// that places the pieces of a skin picture.
#pragma once

#include "classlib/graphics.h"
#include "classlib/types.h"

#include <cstdint>
#include <memory>
#include <vector>

// Colours are 0xRRGGBB.
class Pixmap {
public:
    Pixmap(int W, int H, uint32_t Background);
    int Width() const { return FW; }
    int Height() const { return FH; }
    uint32_t At(int X, int Y) const { return FPx[size_t(Y) * size_t(FW) + size_t(X)]; }

    void Fill(const TRect& R, uint32_t C);
    // A rounded rectangle of Radius, filled, with a border of BorderWidth
    // (0 for none); edges are smoothed against what is already there.
    void RoundRect(const TRect& R, double Radius, uint32_t Fill, uint32_t Border = 0,
                   double BorderWidth = 0);
    void Circle(double CX, double CY, double R, uint32_t Fill, uint32_t Border = 0,
                double BorderWidth = 0);
    // A line of Width with round ends.
    void Line(double X0, double Y0, double X1, double Y1, double Width, uint32_t C);
    void Blend(int X, int Y, uint32_t C, double A);
    // Keeps the first H rows.
    void CropHeight(int H) {
        FH = H;
        FPx.resize(size_t(FW) * size_t(FH));
    }

    // A 24-bit bitmap of the pixels.
    std::unique_ptr<TBitmap> ToBitmap() const;
    // Each pixel as a Scale x Scale block, for looking at the pieces.
    void SavePng(const std::string& FileName, int Scale = 1) const;

private:
    template <class Dist> void Shape(const TRect& Bounds, Dist D, uint32_t C);
    int FW, FH;
    std::vector<uint32_t> FPx;
};

// Places rectangles left to right in rows of a picture of fixed width.
class ShelfPacker {
public:
    explicit ShelfPacker(int Width, int Gap = 2) : FWidth(Width), FGap(Gap) {}
    TRect Place(int W, int H);
    int Height() const { return FY + FRowHeight; }

private:
    int FWidth, FGap;
    int FX = 0, FY = 0, FRowHeight = 0;
};
