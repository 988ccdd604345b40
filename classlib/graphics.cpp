#include "classlib/graphics.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <png.h>

#include "classlib/streams.h"
#include "platform/win/shellnotify.h"

COLORREF ColorToRGB(TColor c) {
    if (c == clNone || c == clDefault) return 0;
    if (c & clSystemColor) return GetSysColor(c & 0xFF);
    return COLORREF(c) & 0xFFFFFF;
}

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    int64_t p = int64_t(a) * b;
    int64_t q = (std::llabs(p) + std::llabs(int64_t(c)) / 2) / std::llabs(int64_t(c));
    return int(((p < 0) != (c < 0)) ? -q : q);
}

void TGraphicsObject::Changed() {
    if (OnChange) OnChange(this);
}

// ---- TFont --------------------------------------------------------------------------

TFont::TFont() = default;
TFont::~TFont() {
    Reset();
}
void TFont::Reset() {
    if (FHandle) DeleteObject(FHandle);
    FHandle = nullptr;
}

void TFont::Assign(TPersistent* Source) {
    if (auto* f = dynamic_cast<TFont*>(Source)) {
        FName = f->FName, FHeight = f->FHeight, FStyle = f->FStyle, FColor = f->FColor;
        FCharset = f->FCharset, FPitch = f->FPitch;
        Reset();
        Changed();
        return;
    }
    TGraphicsObject::Assign(Source);
}

#define SETTER(Class, Name, Field, Type, Reset_)                                                   \
    void Class::Name(Type v) {                                                                     \
        if (Field == v) return;                                                                    \
        Field = v;                                                                                 \
        Reset_;                                                                                    \
        Changed();                                                                                 \
    }
SETTER(TFont, SetName, FName, const std::string&, Reset())
SETTER(TFont, SetHeight, FHeight, int, Reset())
SETTER(TFont, SetStyle, FStyle, TFontStyles, Reset())
SETTER(TFont, SetColor, FColor, TColor, (void)0)
SETTER(TFont, SetCharset, FCharset, TFontCharset, Reset())
SETTER(TFont, SetPitch, FPitch, TFontPitch, Reset())
SETTER(TPen, SetColor, FColor, TColor, Reset())
SETTER(TPen, SetWidth, FWidth, int, Reset())
SETTER(TPen, SetStyle, FStyle, TPenStyle, Reset())
SETTER(TPen, SetMode, FMode, TPenMode, (void)0)
SETTER(TBrush, SetColor, FColor, TColor, Reset())
SETTER(TBrush, SetStyle, FStyle, TBrushStyle, Reset())
SETTER(TBrush, SetBitmap, FBitmap, TBitmap*, Reset())
#undef SETTER

int TFont::Size() const {
    return -MulDiv(FHeight, 72, 96);
}
void TFont::SetSize(int v) {
    SetHeight(-MulDiv(v, 96, 72));
}

HFONT TFont::Handle() {
    if (!FHandle) {
        LOGFONT lf;
        lf.lfHeight = FHeight;
        lf.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = FStyle.Contains(fsItalic);
        lf.lfUnderline = FStyle.Contains(fsUnderline);
        lf.lfStrikeOut = FStyle.Contains(fsStrikeOut);
        lf.lfCharSet = FCharset;
        lf.lfFaceName = FName;
        FHandle = CreateFontIndirect(&lf);
    }
    return FHandle;
}

// ---- TPen / TBrush -------------------------------------------------------------------

TPen::~TPen() {
    Reset();
}
void TPen::Reset() {
    if (FHandle) DeleteObject(FHandle);
    FHandle = nullptr;
}
void TPen::Assign(TPersistent* Source) {
    if (auto* p = dynamic_cast<TPen*>(Source)) {
        FColor = p->FColor, FWidth = p->FWidth, FStyle = p->FStyle, FMode = p->FMode;
        Reset();
        Changed();
        return;
    }
    TGraphicsObject::Assign(Source);
}
HPEN TPen::Handle() {
    if (!FHandle) {
        static const int styles[] = {PS_SOLID,      PS_DASH, PS_DOT,        PS_DASHDOT,
                                     PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
        FHandle = CreatePen(styles[FStyle], FWidth, ColorToRGB(FColor));
    }
    return FHandle;
}

TBrush::~TBrush() {
    Reset();
}
void TBrush::Reset() {
    if (FHandle) DeleteObject(FHandle);
    FHandle = nullptr;
}
void TBrush::Assign(TPersistent* Source) {
    if (auto* b = dynamic_cast<TBrush*>(Source)) {
        FColor = b->FColor, FStyle = b->FStyle, FBitmap = b->FBitmap;
        Reset();
        Changed();
        return;
    }
    TGraphicsObject::Assign(Source);
}
HBRUSH TBrush::Handle() {
    if (!FHandle) {
        if (FBitmap && !FBitmap->Empty())
            FHandle = CreatePatternBrush(FBitmap->Handle());
        else if (FStyle == bsClear)
            FHandle = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
        else
            FHandle = CreateSolidBrush(ColorToRGB(FColor));
    }
    return FHandle;
}

// ---- TCanvas ---------------------------------------------------------------------------

TCanvas::TCanvas() {
    FFont.SetColor(clWindowText);
}

TCanvas::~TCanvas() {
    DeselectHandles();
}

HDC TCanvas::Handle() {
    if (!FHandle) CreateHandle();
    return FHandle;
}

void TCanvas::SetHandle(HDC dc) {
    if (FHandle == dc) return;
    DeselectHandles();
    FHandle = dc;
}

void TCanvas::DeselectHandles() {
    if (!FHandle) return;
    SelectObject(FHandle, GetStockObject(BLACK_PEN));
    SelectObject(FHandle, GetStockObject(WHITE_BRUSH));
    SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
}

void TCanvas::RequiredState() {
    HDC dc = Handle();
    if (!dc) throw EInvalidOperation("Canvas does not allow drawing");
    SelectObject(dc, FFont.Handle());
    SelectObject(dc, FPen.Handle());
    SelectObject(dc, FBrush.Handle());
    SetTextColor(dc, ColorToRGB(FFont.Color()));
    SetBkColor(dc, ColorToRGB(FBrush.Color()));
    SetBkMode(dc, FBrush.Style() == bsClear ? TRANSPARENT : OPAQUE);
    static const int modes[] = {R2_BLACK,   R2_WHITE, R2_NOP,    R2_NOT,
                                R2_COPYPEN, 4,        R2_XORPEN, R2_NOTXORPEN};
    SetROP2(dc, modes[FPen.Mode()]);
}

TRect TCanvas::ClipRect() {
    RECT r{};
    if (Handle()) GetClipBox(FHandle, &r);
    return r;
}

TColor TCanvas::Pixels(int x, int y) {
    COLORREF c = GetPixel(Handle(), x, y);
    return c == CLR_INVALID ? TColor(-1) : TColor(c);
}
void TCanvas::SetPixel(int x, int y, TColor c) {
    ::SetPixel(Handle(), x, y, ColorToRGB(c));
}

void TCanvas::MoveTo(int x, int y) {
    ::MoveToEx(Handle(), x, y, nullptr);
    FPenPos = TPoint(x, y);
}
void TCanvas::LineTo(int x, int y) {
    RequiredState();
    ::MoveToEx(FHandle, FPenPos.X, FPenPos.Y, nullptr);
    ::LineTo(FHandle, x, y);
    FPenPos = TPoint(x, y);
}
void TCanvas::Polyline(const std::vector<TPoint>& pts) {
    RequiredState();
    std::vector<POINT> p(pts.begin(), pts.end());
    ::Polyline(FHandle, p.data(), int(p.size()));
}
void TCanvas::Polygon(const std::vector<TPoint>& pts) {
    RequiredState();
    std::vector<POINT> p(pts.begin(), pts.end());
    ::Polygon(FHandle, p.data(), int(p.size()));
}
void TCanvas::Rectangle(int l, int t, int r, int b) {
    RequiredState();
    ::Rectangle(FHandle, l, t, r, b);
}
void TCanvas::RoundRect(int l, int t, int r, int b, int w, int h) {
    RequiredState();
    ::RoundRect(FHandle, l, t, r, b, w, h);
}
void TCanvas::Ellipse(int l, int t, int r, int b) {
    RequiredState();
    ::Ellipse(FHandle, l, t, r, b);
}
void TCanvas::FillRect(const TRect& r) {
    RequiredState();
    RECT rc = r;
    ::FillRect(FHandle, &rc, FBrush.Handle());
}
void TCanvas::FrameRect(const TRect& r) {
    RequiredState();
    RECT rc = r;
    ::FrameRect(FHandle, &rc, FBrush.Handle());
}
void TCanvas::DrawFocusRect(const TRect& r) {
    RequiredState();
    RECT rc = r;
    ::DrawFocusRect(FHandle, &rc);
}
void TCanvas::TextOut(int x, int y, const std::string& text) {
    RequiredState();
    ::ExtTextOut(FHandle, x, y, 0, nullptr, text);
    FPenPos = TPoint(x + TextWidth(text), y);
}
void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
    RequiredState();
    RECT rc = r;
    UINT opt = ETO_CLIPPED | (FBrush.Style() != bsClear ? UINT(ETO_OPAQUE) : 0u);
    ::ExtTextOut(FHandle, x, y, opt, &rc, text);
}
TSize TCanvas::TextExtent(const std::string& text) {
    RequiredState();
    SIZE s{};
    GetTextExtentPoint32(FHandle, text, &s);
    return s;
}
int TCanvas::TextWidth(const std::string& text) {
    return TextExtent(text).cx;
}
int TCanvas::TextHeight(const std::string& text) {
    return TextExtent(text).cy;
}

void TCanvas::Draw(int x, int y, TGraphic* g) {
    if (!g || g->Empty()) return;
    g->Draw(this, TRect(x, y, x + g->Width(), y + g->Height()));
}
void TCanvas::StretchDraw(const TRect& r, TGraphic* g) {
    if (!g || g->Empty()) return;
    g->Draw(this, r);
}
void TCanvas::CopyRect(const TRect& dest, TCanvas* src, const TRect& source) {
    if (!src) return;
    RequiredState();
    SetStretchBltMode(FHandle, COLORONCOLOR);
    StretchBlt(FHandle, dest.Left, dest.Top, dest.Width(), dest.Height(), src->Handle(),
               source.Left, source.Top, source.Width(), source.Height(), CopyMode);
}
void TCanvas::BrushCopy(const TRect& dest, TBitmap* src, const TRect& source, TColor transparent) {
    if (!src) return;
    RequiredState();
    TransparentBlt(FHandle, dest.Left, dest.Top, dest.Width(), dest.Height(),
                   src->Canvas()->Handle(), source.Left, source.Top, source.Width(),
                   source.Height(), ColorToRGB(transparent));
}

// ---- TGraphic ------------------------------------------------------------------------------

void TGraphic::Changed() {
    if (OnChange) OnChange(this);
}

void TGraphic::LoadFromFile(const std::string& file) {
    TFileStream s(file, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&s);
}

void TGraphic::SaveToFile(const std::string& file) {
    TFileStream s(file, fmCreate);
    SaveToStream(&s);
}

// ---- TBitmap --------------------------------------------------------------------------------

namespace {

int bppOf(TPixelFormat f) {
    switch (f) {
    case pf1bit:
        return 1;
    case pf24bit:
    case pf4bit:
    case pf8bit:
    case pf15bit:
    case pf16bit:
        return 24;
    default:
        return 32;
    }
}

class TBitmapCanvasImpl : public TCanvas {
public:
    explicit TBitmapCanvasImpl(HDC dc) { FHandle = dc; }
    void Detach() {
        DeselectHandles();
        FHandle = nullptr;
    }
};

} // namespace

TBitmap::TBitmap() = default;
TBitmap::TBitmap(int w, int h) {
    SetSize(w, h);
}

TBitmap::~TBitmap() {
    if (FCanvas) static_cast<TBitmapCanvasImpl*>(FCanvas.get())->Detach();
    FCanvas.reset();
    if (FDC) {
        SelectObject(FDC, FOldBitmap);
        DeleteDC(FDC);
    }
    if (FHandle) DeleteObject(FHandle);
}

int TBitmap::BitsPerPixel() const {
    return bppOf(FPixelFormat);
}

HDC TBitmap::DC() {
    if (!FDC) {
        FDC = CreateCompatibleDC(nullptr);
        if (FHandle) FOldBitmap = SelectObject(FDC, FHandle);
    }
    return FDC;
}

void TBitmap::Recreate(int w, int h, int bpp, bool keep) {
    w = std::max(w, 0), h = std::max(h, 0);
    HBITMAP nb = nullptr;
    uint8_t* bits = nullptr;
    if (w > 0 && h > 0) {
        BITMAPINFO bi{};
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = h; // bottom-up
        bi.bmiHeader.biBitCount = WORD(bpp);
        void* p = nullptr;
        nb = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
        if (!nb) throw EOutOfResources("Out of system resources");
        bits = static_cast<uint8_t*>(p);
        HDC tmp = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(tmp, nb);
        PatBlt(tmp, 0, 0, w, h, WHITENESS);
        if (keep && FHandle)
            BitBlt(tmp, 0, 0, std::min(w, FWidth), std::min(h, FHeight), DC(), 0, 0, SRCCOPY);
        SelectObject(tmp, old);
        DeleteDC(tmp);
    }
    if (FDC) {
        SelectObject(FDC, nb ? static_cast<HGDIOBJ>(nb) : FOldBitmap);
    }
    if (FHandle) DeleteObject(FHandle);
    FHandle = nb;
    FBits = bits;
    FWidth = nb ? w : 0;
    FHeight = nb ? h : 0;
    Changed();
}

void TBitmap::SetSize(int w, int h) {
    if (w == FWidth && h == FHeight) return;
    Recreate(w, h, BitsPerPixel(), true);
}

void TBitmap::SetPixelFormat(TPixelFormat f) {
    if (f == FPixelFormat) return;
    int oldBpp = BitsPerPixel();
    FPixelFormat = f;
    if (bppOf(f) != oldBpp && FHandle) Recreate(FWidth, FHeight, bppOf(f), true);
}

uint8_t* TBitmap::ScanLine(int y) {
    if (!FHandle || y < 0 || y >= FHeight) throw EInvalidGraphic("Scan line index out of range");
    BITMAP bm;
    GetObject(FHandle, sizeof(bm), &bm);
    return FBits + size_t(FHeight - 1 - y) * size_t(bm.bmWidthBytes);
}

TCanvas* TBitmap::Canvas() {
    if (!FCanvas) FCanvas = std::make_unique<TBitmapCanvasImpl>(DC());
    return FCanvas.get();
}

TColor TBitmap::TransparentColor() const {
    if (FTransparentMode == tmFixed && FTransparentColor != clDefault) return FTransparentColor;
    if (!FHandle) return clDefault;
    auto* self = const_cast<TBitmap*>(this);
    return TColor(GetPixel(self->DC(), 0, FHeight - 1));
}

void TBitmap::SetTransparentColor(TColor c) {
    FTransparentColor = c;
    FTransparentMode = c == clDefault ? tmAuto : tmFixed;
}

void TBitmap::Draw(TCanvas* canvas, const TRect& r) {
    if (!canvas || Empty()) return;
    canvas->RequiredState();
    HDC dst = canvas->Handle();
    if (Transparent()) {
        TransparentBlt(dst, r.Left, r.Top, r.Width(), r.Height(), DC(), 0, 0, FWidth, FHeight,
                       ColorToRGB(TransparentColor()));
    } else {
        SetStretchBltMode(dst, COLORONCOLOR);
        StretchBlt(dst, r.Left, r.Top, r.Width(), r.Height(), DC(), 0, 0, FWidth, FHeight,
                   canvas->CopyMode);
    }
}

void TBitmap::Assign(TPersistent* Source) {
    if (Source == this) return;
    if (!Source) {
        Recreate(0, 0, BitsPerPixel(), false);
        return;
    }
    if (auto* b = dynamic_cast<TBitmap*>(Source)) {
        FPixelFormat = b->FPixelFormat;
        Recreate(b->FWidth, b->FHeight, b->BitsPerPixel(), false);
        if (FHandle) {
            BITMAP bm;
            GetObject(FHandle, sizeof(bm), &bm);
            std::memcpy(FBits, b->FBits, size_t(bm.bmWidthBytes) * size_t(FHeight));
        }
        FTransparent = b->FTransparent;
        FTransparentColor = b->FTransparentColor;
        FTransparentMode = b->FTransparentMode;
        Changed();
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(Source)) {
        Recreate(g->Width(), g->Height(), BitsPerPixel(), false);
        if (FHandle) g->Draw(Canvas(), TRect(0, 0, FWidth, FHeight));
        Changed();
        return;
    }
    TGraphic::Assign(Source);
}

namespace {

uint32_t le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
void put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s += char((v >> (8 * i)) & 0xFF);
}
void put16(std::string& s, uint16_t v) {
    s += char(v & 0xFF), s += char(v >> 8);
}

std::string readRest(TStream* s) {
    int64_t n = s->Size() - s->Position();
    if (n < 0) n = 0;
    std::string data(size_t(n), '\0');
    if (n) s->ReadBuffer(data.data(), n);
    return data;
}

} // namespace

void TBitmap::LoadFromStream(TStream* s) {
    std::string data = readRest(s);
    auto* p = reinterpret_cast<const uint8_t*>(data.data());
    if (data.size() < 54 || p[0] != 'B' || p[1] != 'M')
        throw EInvalidGraphic("Bitmap image is not valid");
    uint32_t offBits = le32(p + 10), hdrSize = le32(p + 14);
    if (hdrSize < 40 || 14 + uint64_t(hdrSize) > data.size())
        throw EInvalidGraphic("Bitmap image is not valid");
    int32_t w = int32_t(le32(p + 18)), h = int32_t(le32(p + 22));
    int bpp = le16(p + 28);
    uint32_t comp = le32(p + 30), clrUsed = le32(p + 46);
    bool topDown = h < 0;
    if (h == INT32_MIN || w <= 0 || h == 0) throw EInvalidGraphic("Bitmap image is not valid");
    h = std::abs(h);
    if (!(comp == 0 || (comp == 3 && bpp == 32)) ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32))
        throw EInvalidGraphic("Bitmap image is not valid");
    uint64_t stride = ((uint64_t(w) * bpp + 31) / 32) * 4;
    if (offBits > data.size() || stride * uint64_t(h) > data.size() - offBits)
        throw EInvalidGraphic("Bitmap image is not valid");
    std::vector<uint32_t> palette;
    if (bpp <= 8) {
        uint32_t n = clrUsed ? clrUsed : (1u << bpp);
        uint64_t palOff = 14 + uint64_t(hdrSize);
        if (n > 256 || palOff + 4ull * n > data.size())
            throw EInvalidGraphic("Bitmap image is not valid");
        for (uint32_t i = 0; i < n; ++i)
            palette.push_back(le32(p + palOff + 4 * i));
    }
    FPixelFormat = bpp == 32 ? pf32bit : pf24bit;
    Recreate(w, h, bpp == 32 ? 32 : 24, false);
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = p + offBits + stride * uint64_t(topDown ? y : h - 1 - y);
        uint8_t* dst = ScanLine(y);
        if (bpp == 32) {
            std::memcpy(dst, src, size_t(w) * 4);
        } else if (bpp == 24) {
            std::memcpy(dst, src, size_t(w) * 3);
        } else {
            for (int x = 0; x < w; ++x) {
                unsigned idx;
                if (bpp == 8)
                    idx = src[x];
                else if (bpp == 4)
                    idx = (src[x / 2] >> (x % 2 ? 0 : 4)) & 15;
                else
                    idx = (src[x / 8] >> (7 - x % 8)) & 1;
                uint32_t c = idx < palette.size() ? palette[idx] : 0;
                dst[x * 3] = uint8_t(c), dst[x * 3 + 1] = uint8_t(c >> 8),
                        dst[x * 3 + 2] = uint8_t(c >> 16);
            }
        }
    }
    Changed();
}

void TBitmap::SaveToStream(TStream* s) {
    int bpp = FHandle ? (BitsPerPixel() == 32 ? 32 : 24) : 24;
    uint32_t stride = ((uint32_t(FWidth) * bpp + 31) / 32) * 4;
    uint32_t imageSize = stride * uint32_t(FHeight);
    std::string out;
    out += "BM";
    put32(out, 54 + imageSize);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, uint32_t(FWidth));
    put32(out, uint32_t(FHeight));
    put16(out, 1);
    put16(out, uint16_t(bpp));
    put32(out, 0);
    put32(out, imageSize);
    for (int i = 0; i < 4; ++i)
        put32(out, 0);
    for (int y = FHeight - 1; y >= 0; --y) {
        std::string row(stride, '\0');
        if (BitsPerPixel() == bpp) std::memcpy(row.data(), ScanLine(y), size_t(FWidth) * (bpp / 8));
        out += row;
    }
    s->WriteBuffer(out.data(), int64_t(out.size()));
}

// ---- TPngImage ----------------------------------------------------------------------------

namespace {

uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

struct PngChunks {
    uint8_t colorType = 0, bitDepth = 8;
    std::vector<uint8_t> plte, trns;
};

// Reads IHDR, PLTE and tRNS; the pixels are decoded by libpng.
bool scanChunks(const std::string& d, PngChunks& c) {
    static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    if (d.size() < 33 || std::memcmp(d.data(), sig, 8) != 0) return false;
    size_t pos = 8;
    auto* p = reinterpret_cast<const uint8_t*>(d.data());
    while (pos + 12 <= d.size()) {
        uint32_t len = be32(p + pos);
        if (len > d.size() - pos - 12) return false;
        std::string type(d.data() + pos + 4, 4);
        const uint8_t* data = p + pos + 8;
        if (type == "IHDR" && len >= 13)
            c.bitDepth = data[8], c.colorType = data[9];
        else if (type == "PLTE")
            c.plte.assign(data, data + len);
        else if (type == "tRNS")
            c.trns.assign(data, data + len);
        else if (type == "IDAT" || type == "IEND")
            break;
        pos += 12 + len;
    }
    return true;
}

uint8_t sample8(const uint8_t* p, int bitDepth) {
    unsigned v = unsigned(p[0]) << 8 | p[1];
    if (bitDepth == 16) return uint8_t(v >> 8);
    unsigned maxv = (1u << bitDepth) - 1;
    return uint8_t(v * 255 / (maxv ? maxv : 1));
}

} // namespace

void TPngImage::Assign(TPersistent* Source) {
    if (auto* p = dynamic_cast<TPngImage*>(Source)) {
        if (p == this) return;
        FHeader = p->FHeader, FRGB = p->FRGB, FAlpha = p->FAlpha;
        FTransparentColor = p->FTransparentColor;
        FTransparent = p->FTransparent;
        Changed();
        return;
    }
    if (!Source) {
        FHeader = TPngHeader{}, FRGB.clear(), FAlpha.clear(), FTransparentColor = clNone;
        Changed();
        return;
    }
    TGraphic::Assign(Source);
}

TPNGTransparencyMode TPngImage::TransparencyMode() const {
    if (!FAlpha.empty()) return ptmPartial;
    return FTransparentColor != clNone ? ptmBit : ptmNone;
}

void TPngImage::SetTransparentColor(TColor c) {
    FTransparentColor = c == clNone ? clNone : TColor(ColorToRGB(c));
    Changed();
}

void TPngImage::RemoveTransparency() {
    FAlpha.clear();
    FTransparentColor = clNone;
    if (FHeader.ColorType == COLOR_RGBALPHA) FHeader.ColorType = COLOR_RGB;
    if (FHeader.ColorType == COLOR_GRAYSCALEALPHA) FHeader.ColorType = COLOR_GRAYSCALE;
    Changed();
}

uint8_t* TPngImage::Scanline(int y) {
    if (y < 0 || y >= FHeader.Height) throw EInvalidGraphic("Scan line index out of range");
    return FRGB.data() + size_t(y) * size_t(FHeader.Width) * 3;
}

uint8_t* TPngImage::AlphaScanline(int y) {
    if (FAlpha.empty() || y < 0 || y >= FHeader.Height) return nullptr;
    return FAlpha.data() + size_t(y) * size_t(FHeader.Width);
}

void TPngImage::CreateAlpha() {
    if (!FAlpha.empty()) return;
    FAlpha.assign(size_t(FHeader.Width) * size_t(FHeader.Height), 255);
    FHeader.ColorType =
        FHeader.ColorType == COLOR_GRAYSCALE ? COLOR_GRAYSCALEALPHA : COLOR_RGBALPHA;
}

void TPngImage::ToTrueColorAlpha() {
    CreateAlpha();
    FHeader.ColorType = COLOR_RGBALPHA;
    FHeader.BitDepth = 8;
}

void TPngImage::CreateBlank(uint8_t colorType, int w, int h) {
    if (w < 0 || h < 0 || int64_t(w) * h > (int64_t(1) << 28))
        throw EInvalidGraphic("Invalid image size");
    FHeader = TPngHeader{w, h, 8, colorType};
    FRGB.assign(size_t(w) * size_t(h) * 3, 0);
    FAlpha.clear();
    if (colorType == COLOR_RGBALPHA || colorType == COLOR_GRAYSCALEALPHA)
        FAlpha.assign(size_t(w) * size_t(h), 0);
    FTransparentColor = clNone;
    Changed();
}

void TPngImage::LoadFromStream(TStream* s) {
    std::string data = readRest(s);
    PngChunks chunks;
    if (!scanChunks(data, chunks)) throw EInvalidGraphic("The PNG image is not valid");
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&img, data.data(), data.size()))
        throw EInvalidGraphic("The PNG image is not valid");
    if (img.width == 0 || img.height == 0 || uint64_t(img.width) * img.height > (1u << 26)) {
        png_image_free(&img);
        throw EInvalidGraphic("The PNG image is not valid");
    }
    img.format = PNG_FORMAT_BGRA;
    std::vector<uint8_t> bgra(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, bgra.data(), 0, nullptr)) {
        png_image_free(&img);
        throw EInvalidGraphic("The PNG image is not valid");
    }
    int w = int(img.width), h = int(img.height);
    png_image_free(&img);
    FHeader = TPngHeader{w, h, chunks.bitDepth, chunks.colorType};
    size_t n = size_t(w) * size_t(h);
    FRGB.resize(n * 3);
    for (size_t i = 0; i < n; ++i)
        std::memcpy(&FRGB[i * 3], &bgra[i * 4], 3);
    FAlpha.clear();
    FTransparentColor = clNone;
    bool keepAlpha = chunks.colorType == COLOR_RGBALPHA || chunks.colorType == COLOR_GRAYSCALEALPHA;
    if (!chunks.trns.empty()) {
        const auto& t = chunks.trns;
        if (chunks.colorType == COLOR_GRAYSCALE && t.size() >= 2) {
            uint8_t g = sample8(t.data(), chunks.bitDepth);
            FTransparentColor = TColor(RGB(g, g, g));
        } else if (chunks.colorType == COLOR_RGB && t.size() >= 6) {
            FTransparentColor =
                TColor(RGB(sample8(&t[0], chunks.bitDepth), sample8(&t[2], chunks.bitDepth),
                           sample8(&t[4], chunks.bitDepth)));
        } else if (chunks.colorType == COLOR_PALETTE) {
            bool binary =
                std::all_of(t.begin(), t.end(), [](uint8_t a) { return a == 0 || a == 255; });
            if (!binary) {
                keepAlpha = true;
            } else {
                for (size_t i = 0; i < t.size(); ++i)
                    if (t[i] == 0 && i * 3 + 2 < chunks.plte.size()) {
                        FTransparentColor = TColor(RGB(chunks.plte[i * 3], chunks.plte[i * 3 + 1],
                                                       chunks.plte[i * 3 + 2]));
                        break;
                    }
            }
        }
    }
    if (keepAlpha) {
        FAlpha.resize(n);
        for (size_t i = 0; i < n; ++i)
            FAlpha[i] = bgra[i * 4 + 3];
    }
    Changed();
}

void TPngImage::SaveToStream(TStream* s) {
    if (Empty()) throw EInvalidGraphic("Cannot save an empty image");
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = png_uint_32(FHeader.Width);
    img.height = png_uint_32(FHeader.Height);
    bool alpha = !FAlpha.empty() || FTransparentColor != clNone;
    img.format = alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
    size_t n = size_t(FHeader.Width) * size_t(FHeader.Height);
    std::vector<uint8_t> px;
    if (alpha) {
        px.resize(n * 4);
        COLORREF key = ColorToRGB(FTransparentColor);
        for (size_t i = 0; i < n; ++i) {
            std::memcpy(&px[i * 4], &FRGB[i * 3], 3);
            uint8_t a = FAlpha.empty() ? 255 : FAlpha[i];
            if (FAlpha.empty() && RGB(FRGB[i * 3 + 2], FRGB[i * 3 + 1], FRGB[i * 3]) == key) a = 0;
            px[i * 4 + 3] = a;
        }
    }
    const void* src = alpha ? px.data() : FRGB.data();
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&img, nullptr, &size, 0, src, 0, nullptr))
        throw EInvalidGraphic("Cannot encode the PNG image");
    std::string out(size, '\0');
    if (!png_image_write_to_memory(&img, out.data(), &size, 0, src, 0, nullptr))
        throw EInvalidGraphic("Cannot encode the PNG image");
    s->WriteBuffer(out.data(), int64_t(size));
}

void TPngImage::Draw(TCanvas* canvas, const TRect& r) {
    if (!canvas || Empty()) return;
    canvas->RequiredState();
    HDC dst = canvas->Handle();
    int w = FHeader.Width, h = FHeader.Height;
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp) throw EOutOfResources("Out of system resources");
    auto* px = static_cast<uint8_t*>(bits);
    TPNGTransparencyMode mode = TransparencyMode();
    COLORREF key = ColorToRGB(FTransparentColor);
    size_t n = size_t(w) * size_t(h);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* c = &FRGB[i * 3];
        uint32_t a = 255;
        if (mode == ptmPartial)
            a = FAlpha[i];
        else if (mode == ptmBit && RGB(c[2], c[1], c[0]) == key)
            a = 0;
        // Premultiplied for the blend.
        for (int ch = 0; ch < 3; ++ch)
            px[i * 4 + ch] = uint8_t((c[ch] * a + 127) / 255);
        px[i * 4 + 3] = uint8_t(a);
    }
    HDC src = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(src, bmp);
    BLENDFUNCTION bf;
    bf.AlphaFormat = AC_SRC_ALPHA;
    AlphaBlend(dst, r.Left, r.Top, r.Width(), r.Height(), src, 0, 0, w, h, bf);
    SelectObject(src, old);
    DeleteDC(src);
    DeleteObject(bmp);
}

// ---- TJPEGImage -------------------------------------------------------------------------------

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void jpegFail(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<JpegError*>(cinfo->err);
    longjmp(e->jump, 1);
}

// Decodes into rows of BGR; false on a damaged picture.
bool decodeJpeg(const std::string& data, int& w, int& h, std::vector<uint8_t>& rgb) {
    jpeg_decompress_struct cinfo{};
    JpegError err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    err.mgr.output_message = [](j_common_ptr) {};
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.data()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (uint64_t(cinfo.output_width) * cinfo.output_height > (1u << 28) ||
        cinfo.output_components != 3) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    w = int(cinfo.output_width), h = int(cinfo.output_height);
    rgb.resize(size_t(w) * size_t(h) * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = rgb.data() + size_t(cinfo.output_scanline) * size_t(w) * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

bool encodeJpeg(const uint8_t* rgb, int w, int h, int quality, std::string& out) {
    jpeg_compress_struct cinfo{};
    JpegError err{};
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        free(mem);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &mem, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        auto row = const_cast<JSAMPROW>(rgb + size_t(cinfo.next_scanline) * size_t(w) * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    out.assign(reinterpret_cast<char*>(mem), size);
    free(mem);
    return true;
}

} // namespace

void TJPEGImage::LoadFromStream(TStream* s) {
    std::string data = readRest(s);
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    if (!decodeJpeg(data, w, h, rgb)) throw EInvalidGraphic("JPEG error");
    FBitmap.SetPixelFormat(pf24bit);
    FBitmap.SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        uint8_t* d = FBitmap.ScanLine(y);
        const uint8_t* p = &rgb[size_t(y) * size_t(w) * 3];
        for (int x = 0; x < w; ++x)
            d[x * 3] = p[x * 3 + 2], d[x * 3 + 1] = p[x * 3 + 1], d[x * 3 + 2] = p[x * 3];
    }
    Changed();
}

void TJPEGImage::SaveToStream(TStream* s) {
    int w = FBitmap.Width(), h = FBitmap.Height();
    if (!w || !h) throw EInvalidGraphic("Cannot save an empty image");
    int bytes = FBitmap.BitsPerPixel() / 8;
    std::vector<uint8_t> rgb(size_t(w) * size_t(h) * 3);
    for (int y = 0; y < h; ++y) {
        const uint8_t* p = FBitmap.ScanLine(y);
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(size_t(y) * w + x) * 3 + c] = p[x * bytes + 2 - c];
    }
    std::string out;
    if (!encodeJpeg(rgb.data(), w, h, CompressionQuality, out)) throw EInvalidGraphic("JPEG error");
    s->WriteBuffer(out.data(), int64_t(out.size()));
}

void TJPEGImage::Assign(TPersistent* Source) {
    if (auto* j = dynamic_cast<TJPEGImage*>(Source)) {
        FBitmap.Assign(&j->FBitmap);
        Changed();
        return;
    }
    if (auto* b = dynamic_cast<TBitmap*>(Source)) {
        FBitmap.Assign(b);
        Changed();
        return;
    }
    TGraphic::Assign(Source);
}

void TJPEGImage::AssignTo(TPersistent* Dest) {
    if (auto* b = dynamic_cast<TBitmap*>(Dest)) {
        b->Assign(&FBitmap);
        return;
    }
    TGraphic::AssignTo(Dest);
}

// ---- TPicture ---------------------------------------------------------------------------------

TPicture::~TPicture() = default;

namespace {
std::unique_ptr<TGraphic> sameKind(TGraphic* g) {
    if (dynamic_cast<TBitmap*>(g)) return std::make_unique<TBitmap>();
    if (dynamic_cast<TPngImage*>(g)) return std::make_unique<TPngImage>();
    if (dynamic_cast<TJPEGImage*>(g)) return std::make_unique<TJPEGImage>();
    return nullptr;
}
} // namespace

void TPicture::SetGraphic(TGraphic* g) {
    if (!g) {
        FGraphic.reset();
    } else {
        auto copy = sameKind(g);
        if (!copy) throw EInvalidGraphic("Unsupported graphic");
        copy->Assign(g);
        FGraphic = std::move(copy);
    }
    if (OnChange) OnChange(this);
}

void TPicture::Assign(TPersistent* Source) {
    if (!Source) return SetGraphic(nullptr);
    if (auto* p = dynamic_cast<TPicture*>(Source)) return SetGraphic(p->Graphic());
    if (auto* g = dynamic_cast<TGraphic*>(Source)) return SetGraphic(g);
    TPersistent::Assign(Source);
}

TBitmap* TPicture::Bitmap() {
    auto* b = dynamic_cast<TBitmap*>(FGraphic.get());
    if (!b) {
        FGraphic = std::make_unique<TBitmap>();
        b = static_cast<TBitmap*>(FGraphic.get());
    }
    return b;
}

void TPicture::LoadFromFile(const std::string& file) {
    std::string ext;
    auto dot = file.find_last_of('.');
    if (dot != std::string::npos)
        for (char c : file.substr(dot))
            ext += char(std::tolower(uint8_t(c)));
    std::unique_ptr<TGraphic> g;
    if (ext == ".bmp")
        g = std::make_unique<TBitmap>();
    else if (ext == ".png")
        g = std::make_unique<TPngImage>();
    else if (ext == ".jpg" || ext == ".jpeg")
        g = std::make_unique<TJPEGImage>();
    else
        throw EInvalidGraphic("Unknown picture file extension (" + ext + ")");
    g->LoadFromFile(file);
    FGraphic = std::move(g);
    if (OnChange) OnChange(this);
}

void TPicture::SaveToFile(const std::string& file) {
    if (FGraphic) FGraphic->SaveToFile(file);
}

// ---- TIcon ----

TIcon::~TIcon() {
    ReleaseHandle();
}

void TIcon::ReleaseHandle() {
    if (FHandle) DestroyIcon(FHandle);
    FHandle = nullptr;
}

void TIcon::Assign(TPersistent* Source) {
    if (auto* i = dynamic_cast<TIcon*>(Source)) {
        SetPixels(i->FWidth, i->FHeight, i->FPixels);
        return;
    }
    TPersistent::Assign(Source);
}

void TIcon::SetPixels(int Width, int Height, std::vector<uint32_t> Argb) {
    ReleaseHandle();
    if (Width <= 0 || Height <= 0 || Argb.size() != size_t(Width) * size_t(Height)) {
        FWidth = FHeight = 0;
        FPixels.clear();
        return;
    }
    FWidth = Width;
    FHeight = Height;
    FPixels = std::move(Argb);
}

void TIcon::AssignBitmap(TBitmap* Bitmap, TColor TransparentColor) {
    if (!Bitmap || Bitmap->Empty()) {
        SetPixels(0, 0, {});
        return;
    }
    int w = Bitmap->Width(), h = Bitmap->Height();
    std::vector<uint32_t> px(size_t(w) * size_t(h));
    uint32_t clear = uint32_t(ColorToRGB(TransparentColor));
    TCanvas* c = Bitmap->Canvas();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t bgr = uint32_t(c->Pixels(x, y)) & 0xFFFFFF;
            uint32_t rgb = ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
            px[size_t(y * w + x)] = bgr == clear ? 0 : (0xFF000000u | rgb);
        }
    SetPixels(w, h, std::move(px));
}

HICON TIcon::Handle() {
    if (!FHandle && !Empty()) FHandle = CreateIconFromPixels(FWidth, FHeight, FPixels.data());
    return FHandle;
}
