// The skin engine's 32-bit drawing surface with per-pixel alpha and the pixel
// routines that copy, blend or skip the transparent marker.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "classlib/graphics.h"
#include "classlib/types.h"

// Alpha in the top byte, then red, green, blue (in memory: blue, green, red, alpha).
using TspColor = uint32_t;
// Pixels of this value are skipped by transparent drawing.
constexpr TspColor spTransparentMarker = 0x007F007F;

TspColor ColorToSpColor(TColor c);
TspColor spColor(int R, int G, int B, int A = 255);
void ClampChannels(int& R, int& G, int& B);

// The per-pixel routines. The blend comes in two formulas: the plain one mixes
// red, green and blue and makes the result opaque; the other (chosen when the
// processor has MMX) mixes all four bytes. Both truncate.
TspColor spBlendPixelPlain(TspColor s, TspColor d);
TspColor spBlendPixelMMX(TspColor s, TspColor d);
// The formula in use.
TspColor spBlendPixel(TspColor s, TspColor d);

class TspBitmap : public TPersistent {
public:
    TspBitmap();
    ~TspBitmap() override;

    void Assign(TPersistent* Source) override;
    void AssignTo(TPersistent* Dest) override;

    // Takes absolute values; nothing for a zero side or the same size. Raises
    // Exception when the section or its device context cannot be made; the
    // bitmap is then empty.
    void SetSize(int AWidth, int AHeight);
    bool Empty() const { return FHandle == nullptr; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    TspColor* Bits() { return FBits; }
    HDC DC() const { return FDC; }
    HBITMAP Handle() const { return FHandle; }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& v) { FName = v; }
    bool AlphaBlend() const { return FAlphaBlend; }
    void SetAlphaBlend(bool v) { FAlphaBlend = v; }
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v) { FTransparent = v; }
    TCanvas* Canvas();

    void Clear(TspColor Color);
    void SetAlpha(uint8_t Alpha);
    void SetAlpha(uint8_t Alpha, const TRect& Rect);
    void CheckingAlphaBlend();
    void CheckingAlphaBlend(const TRect& ARect);
    void CheckingTransparent(TColor Color);
    // Only the pixels of ARect (clipped to the bitmap) change.
    void CheckingTransparent(const TRect& ARect, TColor Color);
    void FillRect(const TRect& R, TspColor Color);
    void DrawGraphic(TGraphic* Graphic, const TRect& DstRect);

    void Draw(HDC DC, int X, int Y);
    void Draw(HDC DC, int X, int Y, const TRect& SrcRect);
    void Draw(HDC DC, const TRect& DstRect);
    void Draw(HDC DC, const TRect& DstRect, const TRect& SrcRect);
    void Draw(TCanvas* Canvas, int X, int Y);
    void Draw(TCanvas* Canvas, int X, int Y, const TRect& SrcRect);
    void Draw(TCanvas* Canvas, const TRect& DstRect);
    void Draw(TCanvas* Canvas, const TRect& DstRect, const TRect& SrcRect);
    void Draw(TspBitmap* Bitmap, int X, int Y);
    void Draw(TspBitmap* Bitmap, int X, int Y, const TRect& SrcRect);
    void Draw(TspBitmap* Bitmap, const TRect& DstRect);
    void Draw(TspBitmap* Bitmap, const TRect& DstRect, const TRect& SrcRect);
    void Tile(HDC DC, const TRect& DstRect, const TRect& SrcRect);
    void Tile(TCanvas* Canvas, const TRect& DstRect, const TRect& SrcRect);
    void Tile(TspBitmap* Bitmap, const TRect& DstRect, const TRect& SrcRect);
    void TileClip(HDC DC, const TRect& DstRect, const TRect& DstClip, const TRect& SrcRect);
    void TileClip(TCanvas* Canvas, const TRect& DstRect, const TRect& DstClip,
                  const TRect& SrcRect);
    void TileClip(TspBitmap* Bitmap, const TRect& DstRect, const TRect& DstClip,
                  const TRect& SrcRect);
    // Puts Bitmap's SrcRect behind this image at (X, Y).
    void MergeDraw(TspBitmap* Bitmap, int X, int Y, const TRect& SrcRect);

    // Address of row Y and of pixel (X, Y); nil outside the bitmap.
    TspColor* RowAddress(int Y);
    TspColor* PixelAddress(int X, int Y);
    TspColor Pixel(int X, int Y);
    void SetPixel(int X, int Y, TspColor Value);

    // Declared for the drawing interface; they draw nothing.
    void DrawLine(int, int, int, int, TspColor) {}
    void DrawRect(const TRect&, TspColor) {}
    void DrawEllipse(const TRect&, TspColor) {}
    void FillEllipse(const TRect&, TspColor) {}
    void DrawRoundRect(const TRect&, int, TspColor) {}
    void FillRoundRect(const TRect&, int, TspColor) {}
    void FillGradientRect(const TRect&, TspColor, TspColor, bool) {}
    void FillRadialGradientRect(const TRect&, TspColor, TspColor, TPoint) {}
    void FillHalftoneRect(const TRect&, TspColor, TspColor) {}
    void DrawFocusRect(const TRect&, TspColor) {}
    void DrawBevel(const TRect&, TspColor, TspColor) {}
    void DrawEdge(const TRect&, TspColor, TspColor) {}
    void MoveTo(int, int) {}
    void LineTo(int, int, TspColor) {}
    int TextWidth(const std::string&) { return 0; }
    int TextHeight(const std::string&) { return 0; }
    int DrawText(const std::string&, TRect&, UINT) { return 0; }
    int DrawText(const std::string&, int, int) { return 0; }
    int DrawVerticalText(const std::string&, TRect&, UINT) { return 0; }

    // The registered bitmap whose device context is DC, or nil.
    static TspBitmap* FromDC(HDC DC);

    // Whole-image colour operations on the pixels with alpha above 0.
    // Channels and saturation stay within 0..255; the hue goes round.
    void ChangeBitmapBrightness(int DeltaBrightness);
    void SetBitmapHue(int Hue);
    void ChangeBitmapHue(int DeltaHue);
    void ChangeBitmapSat(int DeltaSat);
    void FlipVert();
    // The image flipped with its alpha fading out towards the middle, weaker
    // by 3, 4 or 2.
    void Reflection();
    void Reflection2();
    void Reflection3();

    // The name, width, height (negative for rows stored bottom first) and
    // 32-bit pixels. A size the stream cannot hold raises EReadError and
    // leaves the bitmap as it was.
    void LoadFromStream(TStream* Stream);
    void SaveToStream(TStream* Stream);
    // A PCX picture: files whose first byte is neither 10 nor 205 are
    // ignored; a header or run-length data that does not fit raises EReadError.
    void LoadFromPcxStream(TStream* Stream);
    std::unique_ptr<class TspBitmapLink> GetBitmapLink(const TRect& Rect);
    std::unique_ptr<class TspBitmapLink> GetBitmapLink(const std::string& Rect);

protected:
    TspColor* FBits = nullptr;
    int FWidth = 0;
    int FHeight = 0;
    std::string FName;
    BITMAPINFO FBitmapInfo{};
    HBITMAP FHandle = nullptr;
    HDC FDC = nullptr;
    std::unique_ptr<TCanvas> FCanvas;
    bool FAlphaBlend = false;
    bool FTransparent = false;
    bool FNewFormat = false;

private:
    void FreeSection();
    void DrawViaTemp(HDC DC, const TRect& DstRect, const TRect& SrcRect);
};

// A 24-bit picture (blue, green, red; rows top-down, each aligned to 4 bytes)
// on which transitions and filters are computed. Every pixel computation
// rounds halves to even and clamps to 0..255 unless it says otherwise.
class TspEffectBmp {
public:
    TspEffectBmp(int cx, int cy);
    // A 24-bit copy of a bitmap (despite the name, takes a bitmap handle).
    static std::unique_ptr<TspEffectBmp> CreateFromhWnd(HBITMAP hBmp);
    static std::unique_ptr<TspEffectBmp> CreateCopy(const TspEffectBmp& Other);
    ~TspEffectBmp();
    TspEffectBmp(const TspEffectBmp&) = delete;
    TspEffectBmp& operator=(const TspEffectBmp&) = delete;

    void GetScanLine(int y, uint8_t* Line) const;
    void Draw(HDC hDC, int x, int y);
    void Stretch(HDC hDC, int x, int y, int cx, int cy);
    void DrawRect(HDC hDC, int hx, int hy, int x, int y, int cx, int cy);
    void Resize(TspEffectBmp* Dst);

    // Transitions toward BMP by the progress Kf (0..1).
    void CopyRect(TspEffectBmp* BMP, const TRect& Rct, int StartX, int StartY);
    void MorphRect(TspEffectBmp* BMP, double Kf, const TRect& Rct, int StartX, int StartY);
    void Morph(TspEffectBmp* BMP, double Kf);
    void MorphHGrad(TspEffectBmp* BMP, double Kf);
    void MorphVGrad(TspEffectBmp* BMP, double Kf);
    void MorphGrad(TspEffectBmp* BMP, double Kf);
    void MorphLeftGrad(TspEffectBmp* BMP, double Kf);
    void MorphRightGrad(TspEffectBmp* BMP, double Kf);
    void MorphPush(TspEffectBmp* BMP, double Kf);
    void MorphLeftSlide(TspEffectBmp* BMP, double Kf);
    void MorphRightSlide(TspEffectBmp* BMP, double Kf);

    // In-place filters.
    void ChangeBrightness(double Kf);
    void ChangeDarkness(double Kf);
    void GrayScale();
    void Invert();
    void SplitBlur(int Amount);
    void Mosaic(int ASize);
    void AddMonoNoise(int Amount);
    void AddColorNoise(int Amount);
    void Wave(int XDIV, int YDIV, int RatioVal);

    // Turned or flipped copies; Dst must have the matching size.
    void Rotate90_1(TspEffectBmp* Dst);
    void Rotate90_2(TspEffectBmp* Dst);
    void FlipVert(TspEffectBmp* Dst);

    // Filters limited to the pixels where Msk is not pure white.
    void MaskBlur(TspEffectBmp* Msk, int Amount);
    void MaskAntialiasing(TspEffectBmp* Msk, int Amount);
    void MaskFillColor(TspEffectBmp* Msk, TColor C, double kf);

    // Pixel (x, y) as 0x00RRGGBB; 0 outside the picture.
    uint32_t Pixel(int x, int y) const;
    void SetPixel(int x, int y, uint32_t rgb);
    uint8_t* Row(int y) const { return Bits + size_t(y) * size_t(Stride()); }
    int Stride() const { return 3 * Width + Width % 4; }

    HBITMAP Handle = nullptr;
    int Width = 0;
    int Height = 0;
    int Size = 0;
    uint8_t* Bits = nullptr;
    BITMAPINFOHEADER BmpHeader{};
    BITMAPINFO BmpInfo{};

private:
    TspEffectBmp() = default;
    void Allocate(int cx, int cy);
    bool HasPixels() const { return Bits && Width > 0 && Height > 0; }
    bool SameSize(const TspEffectBmp* B) const {
        return B && B->HasPixels() && HasPixels() && B->Width == Width && B->Height == Height;
    }
    void DiagonalAverage(int Amount, const TspEffectBmp* Msk, bool EdgeOnly);
};

void StackBlur(TspBitmap* Bitmap, int Radius);
void DrawSoftShadowText(TCanvas* Canvas, const TRect& Rect, const std::u16string& Text,
                        int ShadowSize, TColor ShadowColor, int ShadowOffset, UINT Format);
void DrawBoldGlowText(TCanvas* Canvas, const TRect& Rect, const std::u16string& Text, int GlowSize,
                      TColor GlowColor, int Offset, UINT Format);
void DrawVistaGlowText(TCanvas* Canvas, const TRect& Rect, const std::u16string& Text,
                       TColor GlowColor, UINT Format);
void DrawGlowText(TCanvas* Canvas, const TRect& Rect, const std::u16string& Text, int GlowSize,
                  TColor GlowColor, int GlowOffset, UINT Format);
void DrawReflectionText(TCanvas* Canvas, const TRect& Rect, const std::u16string& Text,
                        TColor ReflectionColor, int ReflectionOffset, UINT Format);
// Each pixel's alpha becomes the grey level of Mask's pixel at the same place.
void SetAlphaFromMask(TspBitmap* Bitmap, TspBitmap* Mask);

// A named rectangle of a bitmap (the bitmap is not owned).
class TspBitmapLink : public TPersistent {
public:
    TspBitmapLink() = default;
    void Assign(TPersistent* Source) override;

    TspBitmap* Image() const { return FImage; }
    void SetImage(TspBitmap* v) { FImage = v; }
    const TRect& Rect() const { return FRect; }
    void SetRect(const TRect& v) { FRect = v; }
    const std::string& Name() const { return FName; }
    void SetName(const std::string& v) { FName = v; }
    int Left() const { return FRect.Left; }
    int Top() const { return FRect.Top; }
    int Right() const { return FRect.Right; }
    int Bottom() const { return FRect.Bottom; }
    bool MaskedBorder() const { return FMaskedBorder; }
    bool MaskedAngles() const { return FMaskedAngles; }
    bool Masked() const { return FMasked; }
    // An image is set and the rectangle has an area.
    bool Assigned() const;

    // The length-prefixed name, then Left, Top, Right, Bottom.
    void LoadFromStream(TStream* Stream);
    void SaveToStream(TStream* Stream);
    // The rectangle of the image at (X, Y) in its own size; nothing when the
    // link is not usable.
    void Draw(TspBitmap* Bitmap, int X, int Y);
    void Draw(TCanvas* Canvas, int X, int Y);
    // Which zones of the rectangle hold transparent pixels (the marker or
    // an alpha below 255); with a margin of zeros only Masked is set.
    void CheckingMasked(const TRect& Margin);
    void CheckingMasked() { CheckingMasked(TRect()); }

private:
    TspBitmap* FImage = nullptr;
    TRect FRect;
    std::string FName;
    bool FMaskedBorder = false;
    bool FMaskedAngles = false;
    bool FMasked = false;
};
