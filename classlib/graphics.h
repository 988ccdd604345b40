// Colours, fonts, pens, brushes, canvases, bitmaps and pictures (BMP, PNG,
// JPEG) of the class library, drawn through platform/gdi.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/classes.h"
#include "classlib/types.h"
#include "platform/gdi/gdi.h"
#include "platform/win/types.h"

class TStream;

LANTROVE_EXCEPTION(EInvalidGraphic, Exception);
LANTROVE_EXCEPTION(EOutOfResources, Exception);

// ---- Colours ------------------------------------------------------------------

// 0x00BBGGRR, or a system colour 0x800000nn (nn a COLOR_ index).
using TColor = int32_t;
constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
                 clLtGray = 0xC0C0C0, clDkGray = 0x808080;
constexpr TColor clNone = 0x1FFFFFFF, clDefault = 0x20000000;
constexpr TColor clSystemColor = TColor(0x80000000);
constexpr TColor clScrollBar = clSystemColor | COLOR_SCROLLBAR,
                 clBackground = clSystemColor | COLOR_BACKGROUND,
                 clActiveCaption = clSystemColor | COLOR_ACTIVECAPTION,
                 clInactiveCaption = clSystemColor | COLOR_INACTIVECAPTION,
                 clMenu = clSystemColor | COLOR_MENU, clWindow = clSystemColor | COLOR_WINDOW,
                 clWindowFrame = clSystemColor | COLOR_WINDOWFRAME,
                 clMenuText = clSystemColor | COLOR_MENUTEXT,
                 clWindowText = clSystemColor | COLOR_WINDOWTEXT,
                 clCaptionText = clSystemColor | COLOR_CAPTIONTEXT,
                 clActiveBorder = clSystemColor | COLOR_ACTIVEBORDER,
                 clInactiveBorder = clSystemColor | COLOR_INACTIVEBORDER,
                 clAppWorkSpace = clSystemColor | COLOR_APPWORKSPACE,
                 clHighlight = clSystemColor | COLOR_HIGHLIGHT,
                 clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT,
                 clBtnFace = clSystemColor | COLOR_BTNFACE,
                 clBtnShadow = clSystemColor | COLOR_BTNSHADOW,
                 clGrayText = clSystemColor | COLOR_GRAYTEXT,
                 clBtnText = clSystemColor | COLOR_BTNTEXT,
                 clInactiveCaptionText = clSystemColor | COLOR_INACTIVECAPTIONTEXT,
                 clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT,
                 cl3DDkShadow = clSystemColor | COLOR_3DDKSHADOW,
                 cl3DLight = clSystemColor | COLOR_3DLIGHT,
                 clInfoText = clSystemColor | COLOR_INFOTEXT,
                 clInfoBk = clSystemColor | COLOR_INFOBK,
                 clHotLight = clSystemColor | COLOR_HOTLIGHT,
                 clMenuHighlight = clSystemColor | COLOR_MENUHILIGHT,
                 clMenuBar = clSystemColor | COLOR_MENUBAR;

// System colours resolved; clNone and clDefault give black.
COLORREF ColorToRGB(TColor c);
int MulDiv(int a, int b, int c); // a * b / c rounded to nearest, -1 when c is 0

// ---- Font styles --------------------------------------------------------------

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
// A set of font styles; the bits are those of TFontStyle.
struct TFontStyles {
    uint8_t Bits = 0;
    constexpr TFontStyles() = default;
    constexpr TFontStyles(TFontStyle s) : Bits(s) {}
    static constexpr TFontStyles FromBits(unsigned b) {
        TFontStyles s;
        s.Bits = uint8_t(b & 15);
        return s;
    }
    constexpr bool Contains(TFontStyle s) const { return (Bits & s) != 0; }
    constexpr bool Empty() const { return Bits == 0; }
    constexpr TFontStyles& operator|=(TFontStyles o) {
        Bits |= o.Bits;
        return *this;
    }
    constexpr TFontStyles& operator-=(TFontStyles o) {
        Bits &= uint8_t(~o.Bits);
        return *this;
    }
    friend constexpr TFontStyles operator|(TFontStyles a, TFontStyles b) { return a |= b; }
    friend constexpr bool operator==(TFontStyles, TFontStyles) = default;
};
constexpr TFontStyles operator|(TFontStyle a, TFontStyle b) {
    return TFontStyles(a) | TFontStyles(b);
}

using TFontCharset = uint8_t;
enum TFontPitch { fpDefault, fpVariable, fpFixed };

// ---- Drawing objects ---------------------------------------------------------

class TGraphicsObject : public TPersistent {
public:
    TNotifyEvent OnChange;

protected:
    void Changed();
};

class TFont : public TGraphicsObject {
public:
    TFont();
    ~TFont() override;
    void Assign(TPersistent* Source) override;

    std::string Name() const { return FName; }
    void SetName(const std::string& v);
    int Height() const { return FHeight; }
    void SetHeight(int v);
    int Size() const; // points at 96 pixels per inch
    void SetSize(int v);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles v);
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    TFontCharset Charset() const { return FCharset; }
    void SetCharset(TFontCharset v);
    TFontPitch Pitch() const { return FPitch; }
    void SetPitch(TFontPitch v);
    // The font object (owned by this font).
    HFONT Handle();

private:
    void Reset();
    std::string FName = "MS Sans Serif";
    int FHeight = -11;
    TFontStyles FStyle;
    TColor FColor = clWindowText;
    TFontCharset FCharset = DEFAULT_CHARSET;
    TFontPitch FPitch = fpDefault;
    HFONT FHandle = nullptr;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode { pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmXor, pmNotXor };

class TPen : public TGraphicsObject {
public:
    ~TPen() override;
    void Assign(TPersistent* Source) override;
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    int Width() const { return FWidth; }
    void SetWidth(int v);
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle v);
    TPenMode Mode() const { return FMode; }
    void SetMode(TPenMode v);
    HPEN Handle();

private:
    void Reset();
    TColor FColor = clBlack;
    int FWidth = 1;
    TPenStyle FStyle = psSolid;
    TPenMode FMode = pmCopy;
    HPEN FHandle = nullptr;
};

class TBitmap;

enum TBrushStyle {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};

class TBrush : public TGraphicsObject {
public:
    ~TBrush() override;
    void Assign(TPersistent* Source) override;
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle v);
    // A pattern bitmap (not owned); nil for a plain brush.
    TBitmap* Bitmap() const { return FBitmap; }
    void SetBitmap(TBitmap* v);
    HBRUSH Handle();

private:
    void Reset();
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    TBitmap* FBitmap = nullptr;
    HBRUSH FHandle = nullptr;
};

// ---- Canvas ---------------------------------------------------------------------

class TGraphic;

class TCanvas : public TPersistent {
public:
    TCanvas();
    ~TCanvas() override;

    // The device context drawn on; not owned unless the canvas made it.
    HDC Handle();
    void SetHandle(HDC dc);
    bool HandleAllocated() const { return FHandle != nullptr; }

    TFont* Font() { return &FFont; }
    TPen* Pen() { return &FPen; }
    TBrush* Brush() { return &FBrush; }
    void SetFont(TFont* f) { FFont.Assign(f); }
    TPoint PenPos() const { return FPenPos; }
    void SetPenPos(TPoint p) { MoveTo(p.X, p.Y); }
    DWORD CopyMode = SRCCOPY;
    TRect ClipRect();

    TColor Pixels(int x, int y);
    void SetPixel(int x, int y, TColor c);

    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Polyline(const std::vector<TPoint>& pts);
    void Polygon(const std::vector<TPoint>& pts);
    void Rectangle(int l, int t, int r, int b);
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    void RoundRect(int l, int t, int r, int b, int w, int h);
    void Ellipse(int l, int t, int r, int b);
    void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
    void FillRect(const TRect& r);
    void FrameRect(const TRect& r);
    void DrawFocusRect(const TRect& r);
    void TextOut(int x, int y, const std::string& text);
    void TextRect(const TRect& r, int x, int y, const std::string& text);
    int TextWidth(const std::string& text);
    int TextHeight(const std::string& text);
    TSize TextExtent(const std::string& text);
    void Draw(int x, int y, TGraphic* g);
    void StretchDraw(const TRect& r, TGraphic* g);
    void CopyRect(const TRect& dest, TCanvas* src, const TRect& source);
    void BrushCopy(const TRect& dest, TBitmap* src, const TRect& source, TColor transparent);

    // Selects the font, pen and brush into the device context.
    void RequiredState();
    TNotifyEvent OnChange;

protected:
    virtual void CreateHandle() {}
    void DeselectHandles();
    HDC FHandle = nullptr;

private:
    TFont FFont;
    TPen FPen;
    TBrush FBrush;
    TPoint FPenPos;
};

// ---- Graphics -----------------------------------------------------------------

class TGraphic : public TPersistent {
public:
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetWidth(int) {}
    virtual void SetHeight(int) {}
    virtual bool Empty() const { return Width() == 0 || Height() == 0; }
    virtual bool Transparent() const { return FTransparent; }
    virtual void SetTransparent(bool v) { FTransparent = v; }
    // Draws the picture stretched into r.
    virtual void Draw(TCanvas* canvas, const TRect& r) = 0;
    virtual void LoadFromStream(TStream* s) = 0;
    virtual void SaveToStream(TStream* s) = 0;
    void LoadFromFile(const std::string& file);
    void SaveToFile(const std::string& file);
    TNotifyEvent OnChange;

protected:
    void Changed();
    bool FTransparent = false;
};

enum TPixelFormat {
    pfDevice,
    pf1bit,
    pf4bit,
    pf8bit,
    pf15bit,
    pf16bit,
    pf24bit,
    pf32bit,
    pfCustom
};
enum TTransparentMode { tmAuto, tmFixed };

// A device-independent bitmap with rows stored bottom-up, as the class
// library's bitmaps are; ScanLine(0) is still the top row.
class TBitmap : public TGraphic {
public:
    TBitmap();
    TBitmap(int w, int h);
    ~TBitmap() override;
    void Assign(TPersistent* Source) override;

    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    void SetWidth(int w) override { SetSize(w, FHeight); }
    void SetHeight(int h) override { SetSize(FWidth, h); }
    // Keeps the pixels that still fit; new pixels are white.
    void SetSize(int w, int h);
    TPixelFormat PixelFormat() const { return FPixelFormat; }
    void SetPixelFormat(TPixelFormat f);
    bool Monochrome() const { return FPixelFormat == pf1bit; }
    void SetMonochrome(bool v) { SetPixelFormat(v ? pf1bit : pfDevice); }
    int BitsPerPixel() const;
    // Row y (0 at the top); 3 or 4 bytes per pixel, blue first. Raises
    // ERangeError-like EInvalidGraphic for rows outside the image.
    uint8_t* ScanLine(int y);
    TCanvas* Canvas();
    HBITMAP Handle() const { return FHandle; }
    // Transparency: the colour skipped when drawn transparently; with tmAuto
    // the bottom-left pixel's colour.
    TColor TransparentColor() const;
    void SetTransparentColor(TColor c);
    TTransparentMode TransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode m) { FTransparentMode = m; }
    void Draw(TCanvas* canvas, const TRect& r) override;
    void LoadFromStream(TStream* s) override; // BMP
    void SaveToStream(TStream* s) override;   // BMP
    void Dormant() {}
    void FreeImage() {}

private:
    friend class TBitmapCanvas;
    void Recreate(int w, int h, int bpp, bool keep);
    HDC DC();
    int FWidth = 0, FHeight = 0;
    TPixelFormat FPixelFormat = pfDevice;
    HBITMAP FHandle = nullptr;
    uint8_t* FBits = nullptr;
    std::unique_ptr<TCanvas> FCanvas;
    HDC FDC = nullptr;
    HGDIOBJ FOldBitmap = nullptr;
    TColor FTransparentColor = clDefault;
    TTransparentMode FTransparentMode = tmAuto;
};

// ---- PNG and JPEG ---------------------------------------------------------------

enum TPNGTransparencyMode { ptmNone, ptmBit, ptmPartial };
enum : uint8_t {
    COLOR_GRAYSCALE = 0,
    COLOR_RGB = 2,
    COLOR_PALETTE = 3,
    COLOR_GRAYSCALEALPHA = 4,
    COLOR_RGBALPHA = 6
};

struct TPngHeader {
    int Width = 0, Height = 0;
    uint8_t BitDepth = 8;
    uint8_t ColorType = COLOR_RGB;
};

// A PNG picture decoded to 8-bit BGR rows plus an optional alpha plane; the
// header keeps the file's colour type. Single-colour transparency (tRNS of a
// grey, RGB or palette image whose entries are only 0 or 255) is kept as
// TransparentColor.
class TPngImage : public TGraphic {
public:
    TPngImage() = default;
    void Assign(TPersistent* Source) override;
    int Width() const override { return FHeader.Width; }
    int Height() const override { return FHeader.Height; }
    const TPngHeader& Header() const { return FHeader; }
    TPNGTransparencyMode TransparencyMode() const;
    TColor TransparentColor() const { return FTransparentColor; }
    void SetTransparentColor(TColor c);
    void RemoveTransparency();
    // Rows of BGR bytes and of alpha (nil without an alpha channel).
    uint8_t* Scanline(int y);
    uint8_t* AlphaScanline(int y);
    // Adds an all-opaque alpha channel (grey becomes grey+alpha, others RGBA).
    void CreateAlpha();
    // Makes the picture true-colour with an all-opaque alpha channel.
    void ToTrueColorAlpha();
    void CreateBlank(uint8_t colorType, int w, int h);
    void Draw(TCanvas* canvas, const TRect& r) override;
    void LoadFromStream(TStream* s) override;
    void SaveToStream(TStream* s) override;

private:
    TPngHeader FHeader;
    std::vector<uint8_t> FRGB, FAlpha;
    TColor FTransparentColor = clNone;
};
using TPNGObject = TPngImage;

class TJPEGImage : public TGraphic {
public:
    void Assign(TPersistent* Source) override;
    int Width() const override { return FBitmap.Width(); }
    int Height() const override { return FBitmap.Height(); }
    void Draw(TCanvas* canvas, const TRect& r) override { FBitmap.Draw(canvas, r); }
    void LoadFromStream(TStream* s) override;
    void SaveToStream(TStream* s) override;
    TBitmap* Bitmap() { return &FBitmap; }
    int CompressionQuality = 90;

protected:
    void AssignTo(TPersistent* Dest) override;

private:
    TBitmap FBitmap;
};

// ---- Picture ------------------------------------------------------------------

class TPicture : public TPersistent {
public:
    ~TPicture() override;
    void Assign(TPersistent* Source) override;
    TGraphic* Graphic() const { return FGraphic.get(); }
    void SetGraphic(TGraphic* g); // copies g
    // The bitmap; replaces any other graphic with an empty bitmap.
    TBitmap* Bitmap();
    int Width() const { return FGraphic ? FGraphic->Width() : 0; }
    int Height() const { return FGraphic ? FGraphic->Height() : 0; }
    // By extension: .bmp, .png, .jpg/.jpeg; EInvalidGraphic otherwise.
    void LoadFromFile(const std::string& file);
    void SaveToFile(const std::string& file);
    TNotifyEvent OnChange;

private:
    std::unique_ptr<TGraphic> FGraphic;
};

// ---- Icon ------------------------------------------------------------------------

// An icon: a 32-bit picture with straight alpha and the handle the window
// layer knows it by (made when asked for, freed with the icon).
class TIcon : public TPersistent {
public:
    TIcon() = default;
    ~TIcon() override;
    TIcon(const TIcon&) = delete;
    TIcon& operator=(const TIcon&) = delete;
    void Assign(TPersistent* Source) override;
    bool Empty() const { return FWidth == 0 || FHeight == 0; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // The picture, top row first, 0xAARRGGBB.
    const std::vector<uint32_t>& Pixels() const { return FPixels; }
    void SetPixels(int Width, int Height, std::vector<uint32_t> Argb);
    // Takes the picture of a bitmap; pixels of TransparentColor become clear.
    void AssignBitmap(TBitmap* Bitmap, TColor TransparentColor);
    // Null for an empty icon.
    HICON Handle();

private:
    void ReleaseHandle();
    int FWidth = 0, FHeight = 0;
    std::vector<uint32_t> FPixels;
    HICON FHandle = nullptr;
};
