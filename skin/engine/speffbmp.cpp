#include "skin/engine/speffbmp.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "classlib/streams.h"
#include "skin/engine/SPUtils.h"

// ---- Colours and pixel routines ---------------------------------------------------------

TspColor ColorToSpColor(TColor c) {
    COLORREF rgb = ColorToRGB(c);
    return 0xFF000000u | uint32_t(GetRValue(rgb)) << 16 | uint32_t(GetGValue(rgb)) << 8 |
           GetBValue(rgb);
}

TspColor spColor(int R, int G, int B, int A) {
    ClampChannels(R, G, B);
    return uint32_t(A & 0xFF) << 24 | uint32_t(R) << 16 | uint32_t(G) << 8 | uint32_t(B);
}

void ClampChannels(int& R, int& G, int& B) {
    R = std::clamp(R, 0, 255);
    G = std::clamp(G, 0, 255);
    B = std::clamp(B, 0, 255);
}

TspColor spBlendPixelPlain(TspColor s, TspColor d) {
    uint32_t a = s >> 24;
    if (a == 0) return d;
    if (a == 255) return s;
    uint32_t out = 0xFF000000u;
    for (int sh = 0; sh < 24; sh += 8) {
        uint32_t sc = (s >> sh) & 0xFF, dc = (d >> sh) & 0xFF;
        out |= (((a * sc + (255 - a) * dc) >> 8) & 0xFF) << sh;
    }
    return out;
}

TspColor spBlendPixelMMX(TspColor s, TspColor d) {
    uint32_t a = s >> 24;
    if (a == 0) return d;
    if (a == 255) return s;
    uint32_t out = 0;
    for (int sh = 0; sh < 32; sh += 8) {
        uint32_t sc = (s >> sh) & 0xFF, dc = (d >> sh) & 0xFF;
        out |= (((256 - a) * dc + a * sc) >> 8) << sh;
    }
    return out;
}

namespace {

// The routine table, chosen once by the processor test.
struct Routines {
    TspColor (*blend)(TspColor, TspColor);
    Routines() : blend(HasMMX() ? spBlendPixelMMX : spBlendPixelPlain) {}
};
const Routines& routines() {
    static const Routines r;
    return r;
}

enum class Mode { Copy, Transparent, Blend };

Mode modeOf(const TspBitmap* b) {
    return b->AlphaBlend() ? Mode::Blend : b->Transparent() ? Mode::Transparent : Mode::Copy;
}

// A view of 32-bit pixels, top-down or bottom-up.
struct Surface {
    uint8_t* base = nullptr;
    int w = 0, h = 0;
    size_t stride = 0;
    bool bottomUp = false;
    TspColor* row(int y) const {
        return reinterpret_cast<TspColor*>(base + size_t(bottomUp ? h - 1 - y : y) * stride);
    }
};

Surface viewOf(TspBitmap* b) {
    Surface s;
    if (!b || b->Empty()) return s;
    s.base = reinterpret_cast<uint8_t*>(b->Bits());
    s.w = b->Width(), s.h = b->Height(), s.stride = size_t(b->Width()) * 4;
    return s;
}

void runRow(TspColor* d, const TspColor* s, int n, Mode m) {
    switch (m) {
    case Mode::Copy:
        std::memmove(d, s, size_t(n) * 4);
        break;
    case Mode::Transparent:
        for (int i = 0; i < n; ++i)
            if ((s[i] & 0xFFFFFF) != spTransparentMarker) d[i] = s[i] | 0xFF000000u;
        break;
    case Mode::Blend: {
        auto blend = routines().blend;
        for (int i = 0; i < n; ++i)
            d[i] = blend(s[i], d[i]);
        break;
    }
    }
    EmptyMMXState();
}

inline void runPixel(TspColor& d, TspColor s, Mode m) {
    switch (m) {
    case Mode::Copy:
        d = s;
        break;
    case Mode::Transparent:
        if ((s & 0xFFFFFF) != spTransparentMarker) d = s | 0xFF000000u;
        break;
    case Mode::Blend:
        d = routines().blend(s, d);
        break;
    }
}

// Source index for destination offset i of a stretch from a span of sLen
// pixels starting at sStart onto dLen pixels.
int mapIndex(int i, int sStart, int sLen, int dLen) {
    if (dLen == 1) return (sStart + sStart + sLen - 1) / 2;
    return int(std::nearbyint(double(i) * (sLen - 1) / (dLen - 1) + sStart));
}

// Draws src's rectangle S into dst's rectangle D, clipped to dst; nothing
// when S is empty or reaches outside src.
void stretchDraw(const Surface& dst, const TRect& D, const Surface& src, const TRect& S, Mode m) {
    if (!dst.base || !src.base) return;
    if (S.IsEmpty() || D.IsEmpty()) return;
    if (S.Left < 0 || S.Top < 0 || S.Right > src.w || S.Bottom > src.h) return;
    TRect C(std::max(D.Left, 0), std::max(D.Top, 0), std::min(D.Right, dst.w),
            std::min(D.Bottom, dst.h));
    if (C.IsEmpty()) return;
    int dw = D.Width(), dh = D.Height(), sw = S.Width(), sh = S.Height();
    if (dw == sw && dh == sh) {
        int n = C.Width();
        // Overlapping rows of one image moving down go bottom-up.
        bool up = dst.base == src.base && D.Top > S.Top;
        for (int k = 0; k < C.Height(); ++k) {
            int y = up ? C.Bottom - 1 - k : C.Top + k;
            int sy = S.Top + (y - D.Top);
            runRow(dst.row(y) + C.Left, src.row(sy) + S.Left + (C.Left - D.Left), n, m);
        }
        return;
    }
    std::vector<int> cols(size_t(C.Width()));
    for (int x = C.Left; x < C.Right; ++x)
        cols[size_t(x - C.Left)] = mapIndex(x - D.Left, S.Left, sw, dw);
    int lastSy = -1;
    const TspColor* srow = nullptr;
    for (int y = C.Top; y < C.Bottom; ++y) {
        int sy = mapIndex(y - D.Top, S.Top, sh, dh);
        if (sy != lastSy) srow = src.row(sy), lastSy = sy;
        TspColor* drow = dst.row(y);
        for (int x = C.Left; x < C.Right; ++x)
            runPixel(drow[x], srow[cols[size_t(x - C.Left)]], m);
    }
    EmptyMMXState();
}

std::mutex registryMutex;
std::vector<TspBitmap*>& registry() {
    static auto* r = new std::vector<TspBitmap*>;
    return *r;
}

// Tiles of SrcRect's size over DstRect from its top-left corner, each clipped
// to DstRect and taking the top-left part of SrcRect.
template <typename Fn>
void forEachTile(const TRect& DstRect, const TRect* DstClip, const TRect& SrcRect, Fn fn) {
    int w = SrcRect.Width(), h = SrcRect.Height();
    if (w <= 0 || h <= 0) return;
    for (int x = DstRect.Left; x < DstRect.Right; x += w) {
        for (int y = DstRect.Top; y < DstRect.Bottom; y += h) {
            TRect t(x, y, std::min(x + w, DstRect.Right), std::min(y + h, DstRect.Bottom));
            if (t.IsEmpty()) break;
            if (DstClip && !DstClip->IsEmpty()) {
                RECT a = t, b = *DstClip, i;
                if (!IntersectRect(&i, &a, &b)) continue;
            }
            fn(t, TRect(SrcRect.Left, SrcRect.Top, SrcRect.Left + t.Width(),
                        SrcRect.Top + t.Height()));
        }
    }
}

} // namespace

TspColor spBlendPixel(TspColor s, TspColor d) {
    return routines().blend(s, d);
}

// ---- TspBitmap -------------------------------------------------------------------------------

TspBitmap::TspBitmap() {
    FBitmapInfo.bmiHeader.biSize = 40;
    FBitmapInfo.bmiHeader.biPlanes = 1;
    FBitmapInfo.bmiHeader.biBitCount = 32;
    FBitmapInfo.bmiHeader.biCompression = BI_RGB;
}

TspBitmap::~TspBitmap() {
    FreeSection();
    if (FCanvas) FCanvas->SetHandle(nullptr);
    FCanvas.reset();
}

TspBitmap* TspBitmap::FromDC(HDC DC) {
    if (!DC) return nullptr;
    std::lock_guard lock(registryMutex);
    for (TspBitmap* b : registry())
        if (b->FDC == DC) return b;
    return nullptr;
}

void TspBitmap::FreeSection() {
    {
        std::lock_guard lock(registryMutex);
        std::erase(registry(), this);
    }
    if (FCanvas) FCanvas->SetHandle(nullptr);
    if (FDC) DeleteDC(FDC);
    if (FHandle) DeleteObject(FHandle);
    FDC = nullptr;
    FHandle = nullptr;
    FBits = nullptr;
}

void TspBitmap::SetSize(int AWidth, int AHeight) {
    AWidth = AWidth == INT32_MIN ? INT32_MAX : std::abs(AWidth);
    AHeight = AHeight == INT32_MIN ? INT32_MAX : std::abs(AHeight);
    if (AWidth == 0 || AHeight == 0) return;
    if (!Empty() && AWidth == FWidth && AHeight == FHeight) return;
    FreeSection();
    FBitmapInfo.bmiHeader.biWidth = AWidth;
    FBitmapInfo.bmiHeader.biHeight = -AHeight;
    void* bits = nullptr;
    HBITMAP h = CreateDIBSection(nullptr, &FBitmapInfo, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!h || !bits) {
        if (h) DeleteObject(h);
        throw Exception("Can't allocate the DIB handle");
    }
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) {
        DeleteObject(h);
        throw Exception("Can't create compatible DC");
    }
    if (!SelectObject(dc, h)) {
        DeleteDC(dc);
        DeleteObject(h);
        throw Exception("Can't bslect an object into DC");
    }
    FHandle = h;
    FDC = dc;
    FBits = static_cast<TspColor*>(bits);
    {
        std::lock_guard lock(registryMutex);
        registry().push_back(this);
    }
    if (FCanvas) FCanvas->SetHandle(FDC);
    FWidth = AWidth;
    FHeight = AHeight;
}

TCanvas* TspBitmap::Canvas() {
    if (!FCanvas) {
        FCanvas = std::make_unique<TCanvas>();
        FCanvas->SetHandle(FDC);
    }
    return FCanvas.get();
}

TspColor* TspBitmap::RowAddress(int Y) {
    if (Empty() || Y < 0 || Y >= FHeight) return nullptr;
    return FBits + size_t(Y) * size_t(FWidth);
}

TspColor* TspBitmap::PixelAddress(int X, int Y) {
    if (Empty() || X < 0 || X >= FWidth || Y < 0 || Y >= FHeight) return nullptr;
    return FBits + size_t(Y) * size_t(FWidth) + size_t(X);
}

TspColor TspBitmap::Pixel(int X, int Y) {
    TspColor* p = PixelAddress(X, Y);
    return p ? *p : 0;
}

void TspBitmap::SetPixel(int X, int Y, TspColor Value) {
    if (TspColor* p = PixelAddress(X, Y)) *p = Value;
}

void TspBitmap::Clear(TspColor Color) {
    if (Empty()) return;
    std::fill(FBits, FBits + size_t(FWidth) * size_t(FHeight), Color);
}

void TspBitmap::SetAlpha(uint8_t Alpha) {
    if (Empty()) return;
    SetAlpha(Alpha, TRect(0, 0, FWidth, FHeight));
}

void TspBitmap::SetAlpha(uint8_t Alpha, const TRect& Rect) {
    if (Empty() || Rect.Width() == 0 || Rect.Height() == 0) return;
    TRect r(std::max(Rect.Left, 0), std::max(Rect.Top, 0), std::min(Rect.Right, FWidth),
            std::min(Rect.Bottom, FHeight));
    for (int y = r.Top; y < r.Bottom; ++y) {
        TspColor* p = RowAddress(y);
        for (int x = r.Left; x < r.Right; ++x)
            p[x] = (p[x] & 0xFFFFFF) | uint32_t(Alpha) << 24;
    }
}

void TspBitmap::CheckingAlphaBlend() {
    FAlphaBlend = false;
    if (Empty()) return;
    size_t n = size_t(FWidth) * size_t(FHeight);
    for (size_t i = 0; i < n; ++i) {
        uint32_t a = FBits[i] >> 24;
        if (a != 0 && a != 255) {
            FAlphaBlend = true;
            return;
        }
    }
}

void TspBitmap::CheckingAlphaBlend(const TRect&) {
    CheckingAlphaBlend();
}

namespace {
bool nearColour(TspColor p, COLORREF c) {
    int r = int((p >> 16) & 0xFF), g = int((p >> 8) & 0xFF), b = int(p & 0xFF);
    return std::abs(r - GetRValue(c)) < 6 && std::abs(g - GetGValue(c)) < 6 &&
           std::abs(b - GetBValue(c)) < 6;
}
} // namespace

void TspBitmap::CheckingTransparent(TColor Color) {
    FTransparent = false;
    if (Empty()) return;
    CheckingTransparent(TRect(0, 0, FWidth, FHeight), Color);
}

void TspBitmap::CheckingTransparent(const TRect& ARect, TColor Color) {
    if (Empty()) return;
    COLORREF c = ColorToRGB(Color);
    TRect r(std::max(ARect.Left, 0), std::max(ARect.Top, 0), std::min(ARect.Right, FWidth),
            std::min(ARect.Bottom, FHeight));
    for (int y = r.Top; y < r.Bottom; ++y) {
        TspColor* p = RowAddress(y);
        for (int x = r.Left; x < r.Right; ++x)
            if (nearColour(p[x], c)) {
                p[x] = spTransparentMarker;
                FTransparent = true;
            }
    }
}

void TspBitmap::FillRect(const TRect& R, TspColor Color) {
    if (Empty()) return;
    TRect r(std::max(R.Left, 0), std::max(R.Top, 0), std::min(R.Right, FWidth),
            std::min(R.Bottom, FHeight));
    if (r.IsEmpty()) return;
    for (int y = r.Top; y < r.Bottom; ++y) {
        TspColor* p = RowAddress(y);
        if (FAlphaBlend) {
            for (int x = r.Left; x < r.Right; ++x)
                p[x] = spBlendPixel(Color, p[x]);
        } else {
            std::fill(p + r.Left, p + r.Right, Color);
        }
    }
    EmptyMMXState();
}

void TspBitmap::DrawGraphic(TGraphic* Graphic, const TRect& DstRect) {
    if (Empty() || !Graphic) return;
    TBitmap tmp;
    tmp.SetPixelFormat(pf32bit);
    tmp.SetSize(FWidth, FHeight);
    tmp.Canvas()->Brush()->SetStyle(bsSolid);
    tmp.Canvas()->Brush()->SetColor(clFuchsia);
    tmp.Canvas()->FillRect(TRect(0, 0, FWidth, FHeight));
    tmp.Canvas()->StretchDraw(DstRect, Graphic);
    for (int y = 0; y < FHeight; ++y) {
        auto* s = reinterpret_cast<const TspColor*>(tmp.ScanLine(y));
        TspColor* d = RowAddress(y);
        for (int x = 0; x < FWidth; ++x)
            if ((s[x] & 0xFFFFFF) != 0xFF00FF) d[x] = s[x];
    }
}

// ---- Drawing ------------------------------------------------------------------------------------

void TspBitmap::Draw(HDC DC, int X, int Y) {
    Draw(DC, TRect(X, Y, X + FWidth, Y + FHeight), TRect(0, 0, FWidth, FHeight));
}
void TspBitmap::Draw(HDC DC, int X, int Y, const TRect& SrcRect) {
    Draw(DC, TRect(X, Y, X + SrcRect.Width(), Y + SrcRect.Height()), SrcRect);
}
void TspBitmap::Draw(HDC DC, const TRect& DstRect) {
    Draw(DC, DstRect, TRect(0, 0, FWidth, FHeight));
}

void TspBitmap::DrawViaTemp(HDC DC, const TRect& DstRect, const TRect& SrcRect) {
    int w = DstRect.Width(), h = DstRect.Height();
    if (w <= 0 || h <= 0) return;
    TspBitmap tmp;
    tmp.SetSize(w, h);
    BitBlt(tmp.FDC, 0, 0, w, h, DC, DstRect.Left, DstRect.Top, SRCCOPY);
    stretchDraw(viewOf(&tmp), TRect(0, 0, w, h), viewOf(this), SrcRect, modeOf(this));
    BitBlt(DC, DstRect.Left, DstRect.Top, w, h, tmp.FDC, 0, 0, SRCCOPY);
}

void TspBitmap::Draw(HDC DC, const TRect& DstRect, const TRect& SrcRect) {
    if (Empty() || !DC) return;
    if (TspBitmap* target = FromDC(DC)) {
        POINT org{};
        GetWindowOrgEx(DC, &org);
        TRect d(DstRect.Left - org.x, DstRect.Top - org.y, DstRect.Right - org.x,
                DstRect.Bottom - org.y);
        Draw(target, d, SrcRect);
        return;
    }
    if (FAlphaBlend) {
        DrawViaTemp(DC, DstRect, SrcRect);
        return;
    }
    if (FTransparent) {
        if (IsTransparentBltAvailable() && IsTrueColorScreen())
            TransparentBlt(DC, DstRect.Left, DstRect.Top, DstRect.Width(), DstRect.Height(), FDC,
                           SrcRect.Left, SrcRect.Top, SrcRect.Width(), SrcRect.Height(),
                           RGB(0x7F, 0, 0x7F));
        else
            DrawViaTemp(DC, DstRect, SrcRect);
        return;
    }
    SetStretchBltMode(DC, COLORONCOLOR);
    StretchBlt(DC, DstRect.Left, DstRect.Top, DstRect.Width(), DstRect.Height(), FDC, SrcRect.Left,
               SrcRect.Top, SrcRect.Width(), SrcRect.Height(), SRCCOPY);
}

void TspBitmap::Draw(TCanvas* Canvas, int X, int Y) {
    Draw(Canvas->Handle(), X, Y);
}
void TspBitmap::Draw(TCanvas* Canvas, int X, int Y, const TRect& SrcRect) {
    Draw(Canvas->Handle(), X, Y, SrcRect);
}
void TspBitmap::Draw(TCanvas* Canvas, const TRect& DstRect) {
    Draw(Canvas->Handle(), DstRect);
}
void TspBitmap::Draw(TCanvas* Canvas, const TRect& DstRect, const TRect& SrcRect) {
    Draw(Canvas->Handle(), DstRect, SrcRect);
}

void TspBitmap::Draw(TspBitmap* Bitmap, int X, int Y) {
    Draw(Bitmap, TRect(X, Y, X + FWidth, Y + FHeight), TRect(0, 0, FWidth, FHeight));
}
void TspBitmap::Draw(TspBitmap* Bitmap, int X, int Y, const TRect& SrcRect) {
    Draw(Bitmap, TRect(X, Y, X + SrcRect.Width(), Y + SrcRect.Height()), SrcRect);
}
void TspBitmap::Draw(TspBitmap* Bitmap, const TRect& DstRect) {
    Draw(Bitmap, DstRect, TRect(0, 0, FWidth, FHeight));
}
void TspBitmap::Draw(TspBitmap* Bitmap, const TRect& DstRect, const TRect& SrcRect) {
    if (Empty() || !Bitmap || Bitmap->Empty()) return;
    stretchDraw(viewOf(Bitmap), DstRect, viewOf(this), SrcRect, modeOf(this));
}

void TspBitmap::Tile(HDC DC, const TRect& DstRect, const TRect& SrcRect) {
    TileClip(DC, DstRect, TRect(), SrcRect);
}
void TspBitmap::Tile(TCanvas* Canvas, const TRect& DstRect, const TRect& SrcRect) {
    TileClip(Canvas->Handle(), DstRect, TRect(), SrcRect);
}
void TspBitmap::Tile(TspBitmap* Bitmap, const TRect& DstRect, const TRect& SrcRect) {
    TileClip(Bitmap, DstRect, TRect(), SrcRect);
}
void TspBitmap::TileClip(TCanvas* Canvas, const TRect& DstRect, const TRect& DstClip,
                         const TRect& SrcRect) {
    TileClip(Canvas->Handle(), DstRect, DstClip, SrcRect);
}

void TspBitmap::TileClip(HDC DC, const TRect& DstRect, const TRect& DstClip, const TRect& SrcRect) {
    if (Empty() || !DC) return;
    Surface direct;
    if (!FromDC(DC)) {
        DIBSECTION ds{};
        HGDIOBJ bmp = GetCurrentObject(DC, OBJ_BITMAP);
        if (bmp && GetObject(bmp, sizeof(ds), &ds) == int(sizeof(ds)) &&
            ds.dsBmih.biBitCount == 32 && ds.dsBmih.biHeight > 0 && ds.dsBm.bmBits) {
            direct.base = static_cast<uint8_t*>(ds.dsBm.bmBits);
            direct.w = ds.dsBm.bmWidth, direct.h = ds.dsBm.bmHeight;
            direct.stride = size_t(ds.dsBm.bmWidthBytes);
            direct.bottomUp = true;
        }
    }
    Surface own = viewOf(this);
    Mode m = modeOf(this);
    forEachTile(DstRect, &DstClip, SrcRect, [&](const TRect& t, const TRect& s) {
        if (direct.base) {
            POINT p[2] = {{t.Left, t.Top}, {t.Right, t.Bottom}};
            LPtoDP(DC, p, 2);
            stretchDraw(direct, TRect(p[0].x, p[0].y, p[1].x, p[1].y), own, s, m);
        } else {
            Draw(DC, t, s);
        }
    });
}

void TspBitmap::TileClip(TspBitmap* Bitmap, const TRect& DstRect, const TRect& DstClip,
                         const TRect& SrcRect) {
    if (Empty() || !Bitmap || Bitmap->Empty()) return;
    forEachTile(DstRect, &DstClip, SrcRect,
                [&](const TRect& t, const TRect& s) { Draw(Bitmap, t, s); });
}

void TspBitmap::MergeDraw(TspBitmap* Bitmap, int X, int Y, const TRect& SrcRect) {
    if (Empty() || !Bitmap || Bitmap->Empty()) return;
    TRect s(std::max(SrcRect.Left, 0), std::max(SrcRect.Top, 0),
            std::min(SrcRect.Right, Bitmap->Width()), std::min(SrcRect.Bottom, Bitmap->Height()));
    for (int b = s.Top; b < s.Bottom; ++b) {
        const TspColor* src = Bitmap->RowAddress(b);
        int py = Y + b - s.Top;
        if (py < 0 || py >= FHeight) continue;
        TspColor* row = RowAddress(py);
        for (int a = s.Left; a < s.Right; ++a) {
            int px = X + a - s.Left;
            if (px < 0 || px >= FWidth) continue;
            TspColor& p = row[px];
            uint32_t alpha = p >> 24;
            if (alpha == 0)
                p = src[a];
            else if (alpha < 255)
                p = spBlendPixel(p, src[a]);
        }
    }
    EmptyMMXState();
}

// ---- Assignment
// -----------------------------------------------------------------------------------

void TspBitmap::Assign(TPersistent* Source) {
    if (Source == this) return;
    if (auto* b = dynamic_cast<TspBitmap*>(Source)) {
        SetSize(b->Width(), b->Height());
        if (!b->Empty() && !Empty()) {
            std::memcpy(FBits, b->FBits, size_t(FWidth) * size_t(FHeight) * 4);
            FName = b->FName;
            FTransparent = b->FTransparent;
            FAlphaBlend = b->FAlphaBlend;
        }
        return;
    }
    if (auto* pic = dynamic_cast<TPicture*>(Source)) {
        if (pic->Graphic()) Assign(pic->Graphic());
        return;
    }
    if (auto* bmp = dynamic_cast<TBitmap*>(Source)) {
        SetSize(bmp->Width(), bmp->Height());
        if (bmp->Empty() || Empty()) return;
        if (bmp->PixelFormat() == pf32bit) {
            for (int y = 0; y < FHeight; ++y)
                std::memcpy(RowAddress(y), bmp->ScanLine(y), size_t(FWidth) * 4);
            CheckingAlphaBlend();
        } else {
            BitBlt(FDC, 0, 0, FWidth, FHeight, bmp->Canvas()->Handle(), 0, 0, SRCCOPY);
            SetAlpha(255);
        }
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(Source)) {
        SetSize(g->Width(), g->Height());
        if (g->Empty() || Empty()) return;
        DrawGraphic(g, TRect(0, 0, FWidth, FHeight));
        SetAlpha(255);
        return;
    }
    TPersistent::Assign(Source);
}

void TspBitmap::AssignTo(TPersistent* Dest) {
    TBitmap* bmp = dynamic_cast<TBitmap*>(Dest);
    if (auto* pic = dynamic_cast<TPicture*>(Dest)) bmp = pic->Bitmap();
    if (bmp) {
        bmp->SetPixelFormat(pf32bit);
        bmp->SetSize(FWidth, FHeight);
        if (!Empty()) Draw(bmp->Canvas(), 0, 0);
        return;
    }
    TPersistent::AssignTo(Dest);
}

// ---- Colour operations, reflections, stream form and loaders ------------------------------

namespace {

struct Hsl {
    double H, S, L;
};

double hueToChannel(double p, double q, double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 0.5) return q;
    if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
}

Hsl toHsl(TspColor c) {
    double r = ((c >> 16) & 0xFF) / 255.0, g = ((c >> 8) & 0xFF) / 255.0, b = (c & 0xFF) / 255.0;
    double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    Hsl o{0, 0, (mx + mn) / 2};
    if (mx == mn) return o;
    double d = mx - mn;
    o.S = o.L < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
    if (mx == r)
        o.H = (g - b) / d;
    else if (mx == g)
        o.H = 2 + (b - r) / d;
    else
        o.H = 4 + (r - g) / d;
    o.H /= 6;
    if (o.H < 0) o.H += 1;
    return o;
}

// Rounds to nearest, halves to even.
int roundEven(double v) {
    return int(std::nearbyint(v));
}

TspColor fromHsl(const Hsl& c, TspColor alphaFrom) {
    int r, g, b;
    if (c.S == 0) {
        r = g = b = roundEven(c.L * 255);
    } else {
        double q = c.L <= 0.5 ? c.L * (1 + c.S) : c.L + c.S - c.L * c.S;
        double p = 2 * c.L - q;
        r = roundEven(hueToChannel(p, q, c.H + 1.0 / 3) * 255);
        g = roundEven(hueToChannel(p, q, c.H) * 255);
        b = roundEven(hueToChannel(p, q, c.H - 1.0 / 3) * 255);
    }
    ClampChannels(r, g, b);
    return (alphaFrom & 0xFF000000u) | TspColor(r) << 16 | TspColor(g) << 8 | TspColor(b);
}

template <class Fn> void forEachVisible(TspBitmap& B, Fn fn) {
    if (B.Empty()) return;
    TspColor* p = B.Bits();
    size_t n = size_t(B.Width()) * size_t(B.Height());
    for (size_t i = 0; i < n; ++i)
        if (p[i] >> 24) p[i] = fn(p[i]);
}

void readExact(TStream* S, void* Buffer, int64_t Count) {
    S->ReadBuffer(Buffer, Count);
}

int32_t readI32(TStream* S) {
    uint8_t b[4];
    readExact(S, b, 4);
    return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                   uint32_t(b[3]) << 24);
}

void writeI32(TStream* S, int32_t V) {
    uint8_t b[4] = {uint8_t(V), uint8_t(V >> 8), uint8_t(V >> 16), uint8_t(uint32_t(V) >> 24)};
    S->WriteBuffer(b, 4);
}

// The 16 colours of the system palette, as red, green, blue.
const uint8_t kSystemPalette16[16][3] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

} // namespace

void TspBitmap::ChangeBitmapBrightness(int DeltaBrightness) {
    if (DeltaBrightness == 0) return;
    forEachVisible(*this, [&](TspColor c) {
        int r = int((c >> 16) & 0xFF) + DeltaBrightness, g = int((c >> 8) & 0xFF) + DeltaBrightness,
            b = int(c & 0xFF) + DeltaBrightness;
        ClampChannels(r, g, b);
        return (c & 0xFF000000u) | TspColor(r) << 16 | TspColor(g) << 8 | TspColor(b);
    });
}

void TspBitmap::SetBitmapHue(int Hue) {
    Hue = std::clamp(Hue, 0, 255);
    forEachVisible(*this, [&](TspColor c) {
        Hsl h = toHsl(c);
        h.H = Hue / 255.0;
        return fromHsl(h, c);
    });
}

void TspBitmap::ChangeBitmapHue(int DeltaHue) {
    if (DeltaHue == 0) return;
    forEachVisible(*this, [&](TspColor c) {
        Hsl h = toHsl(c);
        int v = roundEven(h.H * 255) + DeltaHue;
        if (v >= 256) v -= 255;
        if (v < 0) v += 255;
        h.H = std::clamp(v, 0, 255) / 255.0;
        return fromHsl(h, c);
    });
}

void TspBitmap::ChangeBitmapSat(int DeltaSat) {
    if (DeltaSat == 0) return;
    forEachVisible(*this, [&](TspColor c) {
        Hsl h = toHsl(c);
        // Saturation is not circular: it stops at grey and at full colour.
        h.S = std::clamp(roundEven(h.S * 255) + DeltaSat, 0, 255) / 255.0;
        return fromHsl(h, c);
    });
}

void TspBitmap::FlipVert() {
    if (Empty()) return;
    std::vector<TspColor> tmp(static_cast<size_t>(FWidth));
    for (int i = 0; i < FHeight / 2; ++i) {
        TspColor* a = RowAddress(i);
        TspColor* b = RowAddress(FHeight - 1 - i);
        std::memcpy(tmp.data(), a, tmp.size() * 4);
        std::memcpy(a, b, tmp.size() * 4);
        std::memcpy(b, tmp.data(), tmp.size() * 4);
    }
}

namespace {

void reflect(TspBitmap& B, int K) {
    if (B.Empty()) return;
    B.FlipVert();
    double step = 2.0 / B.Height();
    for (int i = 0; i < B.Height(); ++i) {
        double f = 1 - i * step;
        TspColor* row = B.RowAddress(i);
        for (int x = 0; x < B.Width(); ++x) {
            int a = int(row[x] >> 24);
            if (a == 0) continue;
            int na = std::max(0, int(std::trunc(double(roundEven(f * a)) / K)));
            row[x] = (row[x] & 0x00FFFFFFu) | TspColor(std::min(na, 255)) << 24;
        }
    }
}

} // namespace

void TspBitmap::Reflection() {
    reflect(*this, 3);
}
void TspBitmap::Reflection2() {
    reflect(*this, 4);
}
void TspBitmap::Reflection3() {
    reflect(*this, 2);
}

void TspBitmap::SaveToStream(TStream* Stream) {
    WriteStreamString(Stream, FName);
    writeI32(Stream, FWidth);
    writeI32(Stream, FHeight);
    for (int y = 0; y < FHeight; ++y)
        Stream->WriteBuffer(RowAddress(y), int64_t(FWidth) * 4);
}

void TspBitmap::LoadFromStream(TStream* Stream) {
    std::string name;
    ReadStreamString(Stream, name);
    int32_t w = readI32(Stream), h = readI32(Stream);
    int64_t left = Stream->Size() - Stream->Position();
    if (w < 0 || h == INT32_MIN || int64_t(w) * std::abs(int64_t(h)) * 4 > left)
        throw EReadError("Bitmap stream is damaged");
    FName = name;
    int ah = std::abs(h);
    if (w == 0 || ah == 0) return;
    SetSize(w, ah);
    if (FWidth != w || FHeight != ah) return;
    for (int y = 0; y < ah; ++y)
        readExact(Stream, RowAddress(y), int64_t(w) * 4);
    if (h <= 0) FlipVert();
}

void TspBitmap::LoadFromPcxStream(TStream* Stream) {
    uint8_t hdr[128];
    int64_t start = Stream->Position();
    int64_t total = Stream->Size() - start;
    if (total < 1) return;
    uint8_t first;
    readExact(Stream, &first, 1);
    if (first != 10 && first != 205) return;
    if (total < 128) throw EReadError("PCX header is damaged");
    hdr[0] = first;
    readExact(Stream, hdr + 1, 127);
    auto u16 = [&](int o) { return int(hdr[o] | hdr[o + 1] << 8); };
    int version = hdr[1], encoding = hdr[2];
    int w = u16(8) - u16(4) + 1, h = u16(10) - u16(6) + 1;
    int planes = hdr[65], bytesPerLine = u16(66);
    int64_t row = int64_t(planes) * bytesPerLine;
    if (w <= 0 || h <= 0 || row < w) throw EReadError("PCX header is damaged");
    std::string rest = Stream->ReadAll();
    // The 256-colour palette ends the stream, after a marker byte.
    uint8_t palette[256][3] = {};
    if (version == 3) {
        std::memcpy(palette, kSystemPalette16, sizeof kSystemPalette16);
    } else {
        if (rest.size() < 769) throw EReadError("PCX palette is missing");
        std::memcpy(palette, rest.data() + rest.size() - 768, 768);
    }
    int64_t need = row * h;
    // Run-length data can expand at most 63 times.
    if (need > int64_t(rest.size()) * (encoding == 1 ? 63 : 1))
        throw EReadError("PCX data is damaged");
    std::vector<uint8_t> data(size_t(need), 0);
    if (encoding == 1) {
        size_t in = 0;
        int64_t out = 0;
        while (out < need && in < rest.size()) {
            uint8_t b = uint8_t(rest[in++]);
            if (b < 192) {
                data[size_t(out++)] = b;
                continue;
            }
            if (in >= rest.size()) break;
            uint8_t v = uint8_t(rest[in++]);
            for (int n = b & 63; n > 0 && out < need; --n)
                data[size_t(out++)] = v;
        }
    } else {
        std::memcpy(data.data(), rest.data(),
                    size_t(std::min<int64_t>(need, int64_t(rest.size()))));
    }
    SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        TspColor* dst = RowAddress(y);
        const uint8_t* src = data.data() + size_t(y) * size_t(row);
        for (int x = 0; x < w; ++x) {
            const uint8_t* c = palette[src[x]];
            dst[x] = 0xFF000000u | TspColor(c[0]) << 16 | TspColor(c[1]) << 8 | TspColor(c[2]);
        }
    }
}

std::unique_ptr<TspBitmapLink> TspBitmap::GetBitmapLink(const TRect& Rect) {
    auto l = std::make_unique<TspBitmapLink>();
    l->SetImage(this);
    l->SetName(FName);
    l->SetRect(Rect);
    return l;
}

std::unique_ptr<TspBitmapLink> TspBitmap::GetBitmapLink(const std::string& Rect) {
    TRect r;
    TokensToRect(Rect, r);
    return GetBitmapLink(r);
}

void TspBitmapLink::Assign(TPersistent* Source) {
    if (auto* l = dynamic_cast<TspBitmapLink*>(Source)) {
        FImage = l->FImage;
        FRect = l->FRect;
        FName = l->FName;
        FMaskedBorder = l->FMaskedBorder;
        FMaskedAngles = l->FMaskedAngles;
        FMasked = l->FMasked;
        return;
    }
    TPersistent::Assign(Source);
}

bool TspBitmapLink::Assigned() const {
    return FImage && !FImage->Empty() && int64_t(FRect.Width()) * FRect.Height() > 0 &&
           FRect.Width() > 0;
}

void TspBitmapLink::LoadFromStream(TStream* Stream) {
    std::string name;
    ReadStreamString(Stream, name);
    TRect r;
    r.Left = readI32(Stream);
    r.Top = readI32(Stream);
    r.Right = readI32(Stream);
    r.Bottom = readI32(Stream);
    FName = name;
    FRect = r;
}

void TspBitmapLink::SaveToStream(TStream* Stream) {
    WriteStreamString(Stream, FName);
    for (int32_t v : {FRect.Left, FRect.Top, FRect.Right, FRect.Bottom})
        writeI32(Stream, v);
}

void TspBitmapLink::Draw(TspBitmap* Bitmap, int X, int Y) {
    if (!Assigned() || !Bitmap) return;
    FImage->Draw(Bitmap, X, Y, FRect);
}

void TspBitmapLink::Draw(TCanvas* Canvas, int X, int Y) {
    if (!Assigned() || !Canvas) return;
    FImage->Draw(Canvas, X, Y, FRect);
}

void TspBitmapLink::CheckingMasked(const TRect& M) {
    FMaskedBorder = FMaskedAngles = FMasked = false;
    if (!FImage) return;
    bool noMargin = M == TRect();
    const int R = FRect.Width(), B = FRect.Height();
    auto in = [](int x, int y, int l, int t, int r, int b) {
        return x >= l && x < r && y >= t && y < b;
    };
    for (int y = 0; y < B; ++y)
        for (int x = 0; x < R; ++x) {
            TspColor c = FImage->Pixel(FRect.Left + x, FRect.Top + y);
            bool counts = c != 0x33333333u && (c == spTransparentMarker || (c >> 24) != 255);
            if (!counts) continue;
            if (noMargin) {
                FMasked = true;
                return;
            }
            if (in(x, y, 0, 0, M.Left, M.Top) || in(x, y, R - M.Right, 0, R, M.Top) ||
                in(x, y, R - M.Right, B - M.Bottom, R, B) || in(x, y, 0, B - M.Bottom, M.Left, B))
                FMaskedAngles = true;
            if (in(x, y, M.Left, 0, R - M.Right, M.Top) ||
                in(x, y, M.Left, B - M.Bottom, R - M.Right, B) ||
                in(x, y, 0, M.Top, M.Left, B - M.Bottom) ||
                in(x, y, R - M.Right, M.Top, R, B - M.Bottom))
                FMaskedBorder = true;
            if (in(x, y, M.Left, M.Top, R - M.Right, B - M.Bottom)) FMasked = true;
        }
}
