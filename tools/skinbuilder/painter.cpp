#include "tools/skinbuilder/painter.h"

#include <algorithm>
#include <cmath>

Pixmap::Pixmap(int W, int H, uint32_t Background)
    : FW(W), FH(H), FPx(size_t(W) * size_t(H), Background) {}

void Pixmap::Fill(const TRect& R, uint32_t C) {
    for (int y = std::max(0, R.Top); y < std::min(FH, R.Bottom); ++y)
        for (int x = std::max(0, R.Left); x < std::min(FW, R.Right); ++x)
            FPx[size_t(y) * size_t(FW) + size_t(x)] = C;
}

void Pixmap::Blend(int X, int Y, uint32_t C, double A) {
    if (X < 0 || Y < 0 || X >= FW || Y >= FH || A <= 0) return;
    A = std::min(1.0, A);
    uint32_t& p = FPx[size_t(Y) * size_t(FW) + size_t(X)];
    auto mix = [&](int shift) {
        double a = (p >> shift) & 0xFF, b = (C >> shift) & 0xFF;
        return uint32_t(std::lround(a + (b - a) * A)) << shift;
    };
    p = mix(16) | mix(8) | mix(0);
}

// Coverage of a pixel from the signed distance at its centre.
template <class Dist> void Pixmap::Shape(const TRect& B, Dist D, uint32_t C) {
    for (int y = B.Top - 1; y <= B.Bottom; ++y)
        for (int x = B.Left - 1; x <= B.Right; ++x) {
            double cover = std::clamp(0.5 - D(x + 0.5, y + 0.5), 0.0, 1.0);
            if (cover > 0) Blend(x, y, C, cover);
        }
}

namespace {

double roundBox(double px, double py, double l, double t, double r, double b, double rad) {
    double cx = (l + r) / 2, cy = (t + b) / 2;
    double hx = (r - l) / 2 - rad, hy = (b - t) / 2 - rad;
    double qx = std::abs(px - cx) - hx, qy = std::abs(py - cy) - hy;
    double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
    return std::hypot(ox, oy) + std::min(std::max(qx, qy), 0.0) - rad;
}

} // namespace

void Pixmap::RoundRect(const TRect& R, double Radius, uint32_t Fill, uint32_t Border,
                       double BorderWidth) {
    double l = R.Left, t = R.Top, r = R.Right, b = R.Bottom;
    if (BorderWidth > 0) {
        Shape(
            R, [&](double x, double y) { return roundBox(x, y, l, t, r, b, Radius); }, Border);
        double w = BorderWidth;
        double inner = std::max(0.0, Radius - w);
        Shape(
            R,
            [&](double x, double y) { return roundBox(x, y, l + w, t + w, r - w, b - w, inner); },
            Fill);
    } else {
        Shape(
            R, [&](double x, double y) { return roundBox(x, y, l, t, r, b, Radius); }, Fill);
    }
}

void Pixmap::Circle(double CX, double CY, double Rad, uint32_t Fill, uint32_t Border,
                    double BorderWidth) {
    TRect box(int(CX - Rad) - 1, int(CY - Rad) - 1, int(CX + Rad) + 2, int(CY + Rad) + 2);
    if (BorderWidth > 0) {
        Shape(
            box, [&](double x, double y) { return std::hypot(x - CX, y - CY) - Rad; }, Border);
        Shape(
            box,
            [&](double x, double y) { return std::hypot(x - CX, y - CY) - (Rad - BorderWidth); },
            Fill);
    } else {
        Shape(
            box, [&](double x, double y) { return std::hypot(x - CX, y - CY) - Rad; }, Fill);
    }
}

void Pixmap::Line(double X0, double Y0, double X1, double Y1, double Width, uint32_t C) {
    TRect box(int(std::min(X0, X1) - Width) - 1, int(std::min(Y0, Y1) - Width) - 1,
              int(std::max(X0, X1) + Width) + 2, int(std::max(Y0, Y1) + Width) + 2);
    double dx = X1 - X0, dy = Y1 - Y0, len2 = dx * dx + dy * dy;
    Shape(
        box,
        [&](double x, double y) {
            double t = len2 > 0 ? std::clamp(((x - X0) * dx + (y - Y0) * dy) / len2, 0.0, 1.0) : 0;
            return std::hypot(x - (X0 + t * dx), y - (Y0 + t * dy)) - Width / 2;
        },
        C);
}

std::unique_ptr<TBitmap> Pixmap::ToBitmap() const {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    b->SetSize(FW, FH);
    for (int y = 0; y < FH; ++y) {
        uint8_t* row = b->ScanLine(y);
        for (int x = 0; x < FW; ++x) {
            uint32_t c = At(x, y);
            row[x * 3] = uint8_t(c), row[x * 3 + 1] = uint8_t(c >> 8),
                    row[x * 3 + 2] = uint8_t(c >> 16);
        }
    }
    return b;
}

void Pixmap::SavePng(const std::string& FileName, int Scale) const {
    TPngImage png;
    png.CreateBlank(COLOR_RGB, FW * Scale, FH * Scale);
    for (int y = 0; y < FH * Scale; ++y) {
        uint8_t* row = png.Scanline(y);
        for (int x = 0; x < FW * Scale; ++x) {
            uint32_t c = At(x / Scale, y / Scale);
            row[x * 3] = uint8_t(c), row[x * 3 + 1] = uint8_t(c >> 8),
                    row[x * 3 + 2] = uint8_t(c >> 16);
        }
    }
    png.SaveToFile(FileName);
}

TRect ShelfPacker::Place(int W, int H) {
    if (FX + W > FWidth) {
        FX = 0;
        FY += FRowHeight + FGap;
        FRowHeight = 0;
    }
    TRect r(FX, FY, FX + W, FY + H);
    FX += W + FGap;
    FRowHeight = std::max(FRowHeight, H);
    return r;
}
