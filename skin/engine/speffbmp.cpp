#include "skin/engine/speffbmp.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <vector>

#include "classlib/streams.h"
#include "classlib/sysutils.h"
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
    // The new section is made before the old one goes: a size that cannot be
    // had leaves the bitmap as it was, pixels and size together.
    BITMAPINFO info = FBitmapInfo;
    info.bmiHeader.biWidth = AWidth;
    info.bmiHeader.biHeight = -AHeight;
    void* bits = nullptr;
    HBITMAP h = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
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
    FreeSection();
    FBitmapInfo = info;
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

// ---- TspEffectBmp -----------------------------------------------------------------------------

namespace {

// Adding and taking away 1.5 * 2^52 leaves a double rounded to an integer in
// the FPU's default mode (nearest, halves to even); exact below 2^51.
constexpr double kRoundMagic = 6755399441055744.0;

inline double roundEven(double v) {
    double t = v + kRoundMagic;
    return t - kRoundMagic;
}

// A channel from a real value: rounded, clamped to 0..255 (NaN gives 0).
inline uint8_t channel(double v) {
    if (!(v > -0.5)) return 0;
    if (v >= 255.5) return 255;
    return uint8_t(int(roundEven(v)));
}

// Round() of a progress product; NaN counts as 0 and huge values are held
// where they cannot overflow the integer arithmetic that follows.
int roundProgress(double v) {
    if (!(v == v)) return 0;
    v = std::clamp(v, -1e9, 1e9);
    return int(std::nearbyint(v));
}

double clampUnit(double Kf) {
    if (!(Kf >= 0)) return 0;
    return Kf > 1 ? 1 : Kf;
}

// Per-column (or per-row) weights of own for the gradient transitions: NaN
// leaves a line alone, 0 makes it other, 1 keeps own.
constexpr double kUntouched = std::numeric_limits<double>::quiet_NaN();

// Lines from `from` outwards (dir -1 towards 0, +1 towards n - 1) get a weight
// that starts at 0 and grows by step, capped at 1. A start outside 0..n - 1
// is moved to the nearest edge with the weight it would have reached there.
void growWeights(std::vector<double>& w, int from, int dir, double step) {
    int n = int(w.size());
    double v = 0;
    int x = from;
    if (dir < 0 && x > n - 1) {
        v = std::min(1.0, double(x - (n - 1)) * step);
        x = n - 1;
    } else if (dir > 0 && x < 0) {
        v = std::min(1.0, double(-x) * step);
        x = 0;
    }
    for (; x >= 0 && x < n; x += dir) {
        w[size_t(x)] = v;
        v = std::min(v + step, 1.0);
    }
}

inline void blendPixel(uint8_t* own, const uint8_t* other, double w) {
    double o = 1 - w;
    own[0] = channel(w * own[0] + o * other[0]);
    own[1] = channel(w * own[1] + o * other[1]);
    own[2] = channel(w * own[2] + o * other[2]);
}

} // namespace

TspEffectBmp::TspEffectBmp(int cx, int cy) {
    Allocate(cx, cy);
}

void TspEffectBmp::Allocate(int cx, int cy) {
    BmpHeader = BITMAPINFOHEADER{};
    BmpHeader.biSize = 40;
    BmpHeader.biWidth = cx;
    BmpHeader.biHeight = -cy;
    BmpHeader.biPlanes = 1;
    BmpHeader.biBitCount = 24;
    BmpHeader.biCompression = BI_RGB;
    BmpInfo = BITMAPINFO{};
    BmpInfo.bmiHeader = BmpHeader;
    void* bits = nullptr;
    Handle = cx > 0 && cy > 0
                 ? CreateDIBSection(nullptr, &BmpInfo, DIB_RGB_COLORS, &bits, nullptr, 0)
                 : nullptr;
    if (!Handle) {
        // Without a section nothing may touch the pixels.
        Width = Height = Size = 0;
        Bits = nullptr;
        return;
    }
    Width = cx;
    Height = cy;
    Bits = static_cast<uint8_t*>(bits);
    Size = Stride() * Height;
}

std::unique_ptr<TspEffectBmp> TspEffectBmp::CreateFromhWnd(HBITMAP hBmp) {
    std::unique_ptr<TspEffectBmp> e(new TspEffectBmp());
    BITMAP bm;
    if (!hBmp || !GetObject(hBmp, sizeof(BITMAP), &bm)) return e;
    e->Allocate(bm.bmWidth, std::abs(bm.bmHeight));
    if (!e->HasPixels()) return e;
    HDC dc = CreateCompatibleDC(nullptr);
    GetDIBits(dc, hBmp, 0, UINT(e->Height), e->Bits, &e->BmpInfo, DIB_RGB_COLORS);
    DeleteDC(dc);
    return e;
}

std::unique_ptr<TspEffectBmp> TspEffectBmp::CreateCopy(const TspEffectBmp& Other) {
    std::unique_ptr<TspEffectBmp> e(new TspEffectBmp());
    e->Allocate(Other.Width, Other.Height);
    if (e->HasPixels() && Other.HasPixels()) std::memcpy(e->Bits, Other.Bits, size_t(e->Size));
    return e;
}

TspEffectBmp::~TspEffectBmp() {
    if (Handle) DeleteObject(Handle);
}

void TspEffectBmp::GetScanLine(int y, uint8_t* Line) const {
    if (!HasPixels() || !Line || y < 0 || y >= Height) return;
    std::memcpy(Line, Row(y), size_t(3 * Width));
}

void TspEffectBmp::Draw(HDC hDC, int x, int y) {
    if (!HasPixels()) return;
    SetDIBitsToDevice(hDC, x, y, DWORD(Width), DWORD(Height), 0, 0, 0, UINT(Height), Bits, &BmpInfo,
                      DIB_RGB_COLORS);
}

void TspEffectBmp::Stretch(HDC hDC, int x, int y, int cx, int cy) {
    if (!HasPixels()) return;
    StretchDIBits(hDC, x, y, cx, cy, 0, 0, Width, Height, Bits, &BmpInfo, DIB_RGB_COLORS, SRCCOPY);
}

void TspEffectBmp::DrawRect(HDC hDC, int hx, int hy, int x, int y, int cx, int cy) {
    if (!HasPixels()) return;
    StretchDIBits(hDC, hx, hy, cx, cy, x, y, cx, cy, Bits, &BmpInfo, DIB_RGB_COLORS, SRCCOPY);
}

uint32_t TspEffectBmp::Pixel(int x, int y) const {
    if (!HasPixels() || x < 0 || y < 0 || x >= Width || y >= Height) return 0;
    const uint8_t* p = Row(y) + 3 * x;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

void TspEffectBmp::SetPixel(int x, int y, uint32_t rgb) {
    if (!HasPixels() || x < 0 || y < 0 || x >= Width || y >= Height) return;
    uint8_t* p = Row(y) + 3 * x;
    p[0] = uint8_t(rgb), p[1] = uint8_t(rgb >> 8), p[2] = uint8_t(rgb >> 16);
}

void TspEffectBmp::Resize(TspEffectBmp* Dst) {
    if (!HasPixels() || !Dst || !Dst->HasPixels()) return;
    double kx = double(Dst->Width - 1) / Width, ky = double(Dst->Height - 1) / Height;
    int bw = roundProgress(kx) + 1, bh = roundProgress(ky) + 1;
    for (int y = 0; y < Height; ++y) {
        int y0 = roundProgress(ky * y);
        const uint8_t* src = Row(y);
        for (int x = 0; x < Width; ++x) {
            int x0 = roundProgress(kx * x);
            for (int yy = std::max(y0, 0); yy < std::min(y0 + bh, Dst->Height); ++yy) {
                uint8_t* d = Dst->Row(yy);
                for (int xx = std::max(x0, 0); xx < std::min(x0 + bw, Dst->Width); ++xx)
                    std::memcpy(d + 3 * xx, src + 3 * x, 3);
            }
        }
    }
}

// ---- Transitions ----

void TspEffectBmp::CopyRect(TspEffectBmp* BMP, const TRect& Rct, int StartX, int StartY) {
    if (!HasPixels() || !BMP || !BMP->HasPixels()) return;
    int right = std::min(Rct.Right, Width - 1), bottom = std::min(Rct.Bottom, Height - 1);
    for (int y = std::max(Rct.Top, 0); y <= bottom; ++y) {
        int sy = StartY + y - Rct.Top;
        if (sy < 0 || sy >= BMP->Height) continue;
        uint8_t* d = Row(y);
        const uint8_t* s = BMP->Row(sy);
        for (int x = std::max(Rct.Left, 0); x <= right; ++x) {
            int sx = StartX + x - Rct.Left;
            if (sx >= 0 && sx < BMP->Width) std::memcpy(d + 3 * x, s + 3 * sx, 3);
        }
    }
}

void TspEffectBmp::MorphRect(TspEffectBmp* BMP, double Kf, const TRect& Rct, int StartX,
                             int StartY) {
    if (!HasPixels() || !BMP || !BMP->HasPixels()) return;
    Kf = clampUnit(Kf);
    if (Kf == 0) return;
    double a = 1 - Kf;
    for (int y = std::max(Rct.Top, 0); y < std::min(Rct.Bottom, Height); ++y) {
        int sy = StartY + y - Rct.Top;
        if (sy < 0 || sy >= BMP->Height) continue;
        uint8_t* d = Row(y);
        const uint8_t* s = BMP->Row(sy);
        for (int x = std::max(Rct.Left, 0); x < std::min(Rct.Right, Width); ++x) {
            int sx = StartX + x - Rct.Left;
            if (sx < 0 || sx >= BMP->Width) continue;
            for (int c = 0; c < 3; ++c)
                d[3 * x + c] = channel(a * d[3 * x + c] + Kf * s[3 * sx + c]);
        }
    }
}

void TspEffectBmp::Morph(TspEffectBmp* BMP, double Kf) {
    if (!SameSize(BMP)) return;
    Kf = clampUnit(Kf);
    if (Kf == 0) return;
    // Every (own, other) pair once, then one look-up per channel. The pairs
    // are weighed in fixed point (32 fractional bits, off by at most 255 of
    // them); only sums that close to a half are weighed in floating point,
    // which decides how they round.
    std::vector<uint8_t> table(65536);
    const double a = 1 - Kf;
    const uint64_t wa = uint64_t(std::llround(a * 4294967296.0));
    const uint64_t wk = uint64_t(std::llround(Kf * 4294967296.0));
    constexpr uint64_t kHalf = uint64_t(1) << 31, kDoubt = 512;
    for (int o = 0; o < 256; ++o) {
        uint64_t v = wa * uint64_t(o);
        uint8_t* row = table.data() + (o << 8);
        for (int t = 0; t < 256; ++t, v += wk) {
            const uint64_t frac = v & 0xFFFFFFFFu;
            if (frac + kDoubt - kHalf <= 2 * kDoubt)
                row[t] = channel(a * o + Kf * t);
            else
                row[t] = uint8_t((v >> 32) + (frac > kHalf));
        }
    }
    int n = 3 * Width;
    for (int y = 0; y < Height; ++y) {
        uint8_t* d = Row(y);
        const uint8_t* s = BMP->Row(y);
        for (int i = 0; i < n; ++i)
            d[i] = table[size_t(d[i] << 8 | s[i])];
    }
}

void TspEffectBmp::MorphHGrad(TspEffectBmp* BMP, double Kf) {
    if (!SameSize(BMP)) return;
    int W = Width;
    int b = roundProgress(W * Kf);
    int g = (W - b) / 2;
    double step = g == 0 ? 1.0 : 1.0 / g;
    int bl = std::max(0, W / 2 - b / 2), br = std::min(W - 1, W / 2 + b / 2);
    std::vector<double> w(size_t(W), kUntouched);
    for (int x = bl; x <= br; ++x)
        w[size_t(x)] = 0;
    growWeights(w, bl, -1, step);
    growWeights(w, br, +1, step);
    for (int y = 0; y < Height; ++y) {
        uint8_t* d = Row(y);
        const uint8_t* s = BMP->Row(y);
        for (int x = 0; x < W; ++x) {
            double k = w[size_t(x)];
            if (k == 0)
                std::memcpy(d + 3 * x, s + 3 * x, 3);
            else if (k == k && k != 1)
                blendPixel(d + 3 * x, s + 3 * x, k);
        }
    }
}

void TspEffectBmp::MorphVGrad(TspEffectBmp* BMP, double Kf) {
    if (!SameSize(BMP)) return;
    int H = Height;
    int b = roundProgress(H * Kf);
    int g = (H - 1 - b) / 2;
    double step = g == 0 ? 0.0 : 1.0 / g;
    int bt = std::max(0, H / 2 - b / 2), bb = std::min(H - 1, H / 2 + b / 2);
    std::vector<double> w(size_t(H), kUntouched);
    for (int y = bt; y <= bb; ++y)
        w[size_t(y)] = 0;
    growWeights(w, bt, -1, step);
    growWeights(w, bb, +1, step);
    int n = 3 * Width;
    for (int y = 0; y < H; ++y) {
        double k = w[size_t(y)];
        uint8_t* d = Row(y);
        const uint8_t* s = BMP->Row(y);
        if (k == 0) {
            std::memcpy(d, s, size_t(n));
        } else if (k == k && k != 1) {
            double o = 1 - k;
            for (int i = 0; i < n; ++i)
                d[i] = channel(k * d[i] + o * s[i]);
        }
    }
}

void TspEffectBmp::MorphGrad(TspEffectBmp* BMP, double Kf) {
    if (Width < Height)
        MorphVGrad(BMP, Kf);
    else
        MorphHGrad(BMP, Kf);
}

void TspEffectBmp::MorphLeftGrad(TspEffectBmp* BMP, double Kf) {
    if (!SameSize(BMP)) return;
    int W = Width;
    int b = roundProgress(W * Kf);
    if (b < 1) b = 1;
    if (b > W - 1) b = W - 1;
    std::vector<double> w(size_t(W), kUntouched);
    growWeights(w, 0, +1, b > 0 ? 1.0 / b : 1.0);
    for (int x = b + 1; x < W; ++x)
        w[size_t(x)] = kUntouched;
    for (int y = 0; y < Height; ++y) {
        uint8_t* d = Row(y);
        const uint8_t* s = BMP->Row(y);
        for (int x = 0; x <= b; ++x) {
            double k = w[size_t(x)];
            if (k == 0)
                std::memcpy(d + 3 * x, s + 3 * x, 3);
            else if (k != 1)
                blendPixel(d + 3 * x, s + 3 * x, k);
        }
    }
}

void TspEffectBmp::MorphRightGrad(TspEffectBmp* BMP, double Kf) {
    if (!SameSize(BMP)) return;
    int W = Width;
    int c = std::clamp(W - roundProgress(W * Kf), 0, W - 1);
    double step = W - c > 0 ? 1.0 / (W - c) : 1.0;
    std::vector<double> w(size_t(W), kUntouched);
    growWeights(w, W - 1, -1, step);
    for (int y = 0; y < Height; ++y) {
        uint8_t* d = Row(y);
        const uint8_t* s = BMP->Row(y);
        for (int x = W - 1; x >= c; --x) {
            double k = w[size_t(x)];
            if (k == 0)
                std::memcpy(d + 3 * x, s + 3 * x, 3);
            else if (k != 1)
                blendPixel(d + 3 * x, s + 3 * x, k);
        }
    }
}

void TspEffectBmp::MorphPush(TspEffectBmp* BMP, double Kf) {
    if (!SameSize(BMP)) return;
    int W = Width;
    int b = std::clamp(roundProgress(W * Kf), 0, W - 1);
    size_t n = size_t(3 * W);
    std::vector<uint8_t> line(n);
    for (int y = 0; y < Height; ++y) {
        uint8_t* d = Row(y);
        const uint8_t* s = BMP->Row(y);
        std::memcpy(line.data(), d, n);
        if (W - b - 1 > 0) std::memcpy(d + 3 * (b + 1), line.data(), size_t(3 * (W - b - 1)));
        for (int x = 0; x <= b; ++x)
            std::memcpy(d + 3 * x, s + 3 * std::min(W - b - 1 + x, W - 1), 3);
    }
}

void TspEffectBmp::MorphLeftSlide(TspEffectBmp* BMP, double Kf) {
    if (!SameSize(BMP)) return;
    int W = Width;
    int b = std::min(std::max(roundProgress(W * Kf), 1), W - 1);
    if (b <= 0) return;
    for (int y = 0; y < Height; ++y)
        std::memcpy(Row(y), BMP->Row(y) + 3 * (W - b), size_t(3 * b));
}

void TspEffectBmp::MorphRightSlide(TspEffectBmp* BMP, double Kf) {
    if (!SameSize(BMP)) return;
    int W = Width;
    int b = std::min(std::max(roundProgress(W * Kf), 1), W - 1);
    if (b <= 0) return;
    for (int y = 0; y < Height; ++y)
        std::memcpy(Row(y) + 3 * (W - b), BMP->Row(y), size_t(3 * b));
}

// ---- Filters ----

void TspEffectBmp::ChangeBrightness(double Kf) {
    if (!HasPixels()) return;
    Kf = clampUnit(Kf);
    if (Kf == 0) return;
    uint8_t t[256];
    for (int v = 0; v < 256; ++v)
        t[v] = channel((1 - Kf) * v + 255 * Kf);
    for (int y = 0; y < Height; ++y) {
        uint8_t* d = Row(y);
        for (int i = 0; i < 3 * Width; ++i)
            d[i] = t[d[i]];
    }
}

void TspEffectBmp::ChangeDarkness(double Kf) {
    if (!HasPixels()) return;
    Kf = clampUnit(Kf);
    if (Kf == 0) return;
    uint8_t t[256];
    for (int v = 0; v < 256; ++v)
        t[v] = channel((1 - Kf) * v);
    for (int y = 0; y < Height; ++y) {
        uint8_t* d = Row(y);
        for (int i = 0; i < 3 * Width; ++i)
            d[i] = t[d[i]];
    }
}

void TspEffectBmp::Invert() {
    if (!HasPixels()) return;
    for (int y = 0; y < Height; ++y) {
        uint8_t* d = Row(y);
        for (int i = 0; i < 3 * Width; ++i)
            d[i] = uint8_t(255 - d[i]);
    }
}

void TspEffectBmp::GrayScale() {
    if (!HasPixels()) return;
    for (int y = 0; y < Height; ++y) {
        uint8_t* d = Row(y);
        for (int x = 0; x < Width; ++x) {
            uint8_t* p = d + 3 * x;
            uint8_t g = channel(0.3 * p[2] + 0.59 * p[1] + 0.11 * p[0]);
            p[0] = p[1] = p[2] = g;
        }
    }
}

void TspEffectBmp::AddMonoNoise(int Amount) {
    if (!HasPixels() || Amount <= 0) return;
    for (int y = 0; y < Height; ++y) {
        uint8_t* d = Row(y);
        for (int x = 0; x < Width; ++x) {
            int n = Random(Amount) - Amount / 2;
            for (int c = 0; c < 3; ++c)
                d[3 * x + c] = ClampByte(d[3 * x + c] + n);
        }
    }
}

void TspEffectBmp::AddColorNoise(int Amount) {
    if (!HasPixels() || Amount <= 0) return;
    for (int y = 0; y < Height; ++y) {
        uint8_t* d = Row(y);
        for (int x = 0; x < Width; ++x) {
            int nr = Random(Amount) - Amount / 2;
            int ng = Random(Amount) - Amount / 2;
            int nb = Random(Amount) - Amount / 2;
            d[3 * x + 2] = ClampByte(d[3 * x + 2] + nr);
            d[3 * x + 1] = ClampByte(d[3 * x + 1] + ng);
            d[3 * x] = ClampByte(d[3 * x] + nb);
        }
    }
}

void TspEffectBmp::DiagonalAverage(int A, const TspEffectBmp* Msk, bool EdgeOnly) {
    size_t n = size_t(3 * Width);
    std::vector<uint8_t> line(n);
    auto white = [&](int x, int y) {
        const uint8_t* m = Msk->Row(y) + 3 * x;
        return m[0] == 255 && m[1] == 255 && m[2] == 255;
    };
    for (int y = 0; y < Height; ++y) {
        // Rows above are read as already changed; this row as it was.
        std::memcpy(line.data(), Row(y), n);
        int ym = y - A < 0 ? y : y - A;
        int yp = y + A >= Height ? y : y + A;
        const uint8_t* rm = Row(ym);
        const uint8_t* rp = Row(yp);
        for (int x = 0; x < Width; ++x) {
            if (Msk && white(x, y)) continue;
            int xm = x - A < 0 ? x : x - A;
            int xp = x + A >= Width ? x : x + A;
            if (EdgeOnly && !(white(xm, ym) || white(xm, yp) || white(xp, ym) || white(xp, yp)))
                continue;
            for (int c = 0; c < 3; ++c)
                line[size_t(3 * x + c)] = uint8_t(
                    (rm[3 * xm + c] + rp[3 * xm + c] + rm[3 * xp + c] + rp[3 * xp + c]) >> 2);
        }
        std::memcpy(Row(y), line.data(), n);
    }
}

void TspEffectBmp::SplitBlur(int Amount) {
    if (!HasPixels() || Amount <= 0) return;
    DiagonalAverage(Amount, nullptr, false);
}

void TspEffectBmp::Mosaic(int ASize) {
    if (!HasPixels() || ASize <= 1) return;
    for (int y = 0; y < Height; ++y) {
        const uint8_t* top = Row(y - y % ASize);
        uint8_t* d = Row(y);
        for (int x = 0; x < Width; ++x)
            std::memmove(d + 3 * x, top + 3 * (x - x % ASize), 3);
    }
}

void TspEffectBmp::Wave(int XDIV, int YDIV, int RatioVal) {
    if (!HasPixels() || XDIV == 0 || YDIV == 0) return;
    auto copy = CreateCopy(*this);
    if (!copy->HasPixels()) return;
    for (int y = 0; y < Height; ++y) {
        uint8_t* d = Row(y);
        double dx = RatioVal * std::sin(double(y) / YDIV);
        for (int x = 0; x < Width; ++x) {
            int sx = std::clamp(roundProgress(x + dx), 0, Width - 1);
            int sy =
                std::clamp(roundProgress(y + RatioVal * std::sin(double(x) / XDIV)), 0, Height - 1);
            std::memcpy(d + 3 * x, copy->Row(sy) + 3 * sx, 3);
        }
    }
}

// ---- Turns and flips ----

void TspEffectBmp::Rotate90_1(TspEffectBmp* Dst) {
    if (!HasPixels() || !Dst || Dst->Width != Height || Dst->Height != Width || !Dst->Bits) return;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            std::memcpy(Dst->Row(Width - 1 - x) + 3 * y, Row(y) + 3 * x, 3);
}

void TspEffectBmp::Rotate90_2(TspEffectBmp* Dst) {
    if (!HasPixels() || !Dst || Dst->Width != Height || Dst->Height != Width || !Dst->Bits) return;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            std::memcpy(Dst->Row(x) + 3 * (Height - 1 - y), Row(y) + 3 * x, 3);
}

void TspEffectBmp::FlipVert(TspEffectBmp* Dst) {
    if (!SameSize(Dst)) return;
    for (int y = 0; y < Height; ++y)
        std::memcpy(Dst->Row(Height - 1 - y), Row(y), size_t(3 * Width));
}

// ---- Mask filters ----

void TspEffectBmp::MaskBlur(TspEffectBmp* Msk, int Amount) {
    if (!HasPixels() || !Msk || !Msk->Bits || Msk->Width != Width || Msk->Height < Height ||
        Amount <= 0)
        return;
    DiagonalAverage(Amount, Msk, false);
}

void TspEffectBmp::MaskAntialiasing(TspEffectBmp* Msk, int Amount) {
    if (!HasPixels() || !Msk || !Msk->Bits || Msk->Width != Width || Msk->Height < Height ||
        Amount <= 0)
        return;
    DiagonalAverage(Amount, Msk, true);
}

void TspEffectBmp::MaskFillColor(TspEffectBmp* Msk, TColor C, double kf) {
    if (!HasPixels() || !Msk || !Msk->Bits || Msk->Width != Width || Msk->Height < Height) return;
    COLORREF rgb = ColorToRGB(C);
    const double c[3] = {double(GetBValue(rgb)), double(GetGValue(rgb)), double(GetRValue(rgb))};
    for (int y = 0; y < Height; ++y) {
        uint8_t* d = Row(y);
        const uint8_t* m = Msk->Row(y);
        for (int x = 0; x < Width; ++x) {
            if (m[3 * x] == 255 && m[3 * x + 1] == 255 && m[3 * x + 2] == 255) continue;
            for (int k = 0; k < 3; ++k)
                d[3 * x + k] = channel((1 - kf) * d[3 * x + k] + kf * c[k]);
        }
    }
}

// ---- Stack blur and text effects --------------------------------------------------------------

void StackBlur(TspBitmap* Bitmap, int Radius) {
    if (!Bitmap || Bitmap->Empty() || Radius <= 0) return;
    int W = Bitmap->Width(), H = Bitmap->Height(), r = Radius;
    int64_t div = int64_t(r + 1) * (r + 1);
    std::vector<int> planes(size_t(W) * size_t(H) * 3);
    TspColor* bits = Bitmap->Bits();
    // One pass along a line of n samples: get(i) reads channel values of sample
    // i (clamped to the line), put(i, sums) stores the weighted means.
    // The weighted sum S(x) of weights r + 1 - |d| moves by the sum of the
    // r + 1 samples right of x minus the r + 1 samples from x - r to x.
    auto pass = [&](int n, auto get, auto put) {
        int64_t s[3] = {0, 0, 0}, in[3] = {0, 0, 0}, out[3] = {0, 0, 0};
        auto at = [&](int i, int c) { return int64_t(get(std::clamp(i, 0, n - 1), c)); };
        for (int c = 0; c < 3; ++c) {
            for (int d = -r; d <= r; ++d)
                s[c] += (r + 1 - std::abs(d)) * at(d, c);
            for (int d = 1; d <= r + 1; ++d)
                in[c] += at(d, c);
            for (int d = -r; d <= 0; ++d)
                out[c] += at(d, c);
        }
        for (int x = 0; x < n; ++x) {
            put(x, s[0] / div, s[1] / div, s[2] / div);
            if (x + 1 == n) break;
            for (int c = 0; c < 3; ++c) {
                s[c] += in[c] - out[c];
                in[c] += at(x + r + 2, c) - at(x + 1, c);
                out[c] += at(x + 1, c) - at(x - r, c);
            }
        }
    };
    for (int y = 0; y < H; ++y) {
        TspColor* row = bits + size_t(y) * size_t(W);
        int* pl = planes.data() + size_t(y) * size_t(W) * 3;
        pass(
            W, [&](int i, int c) { return int((row[i] >> (16 - 8 * c)) & 0xFF); },
            [&](int x, int64_t a, int64_t b, int64_t c) {
                pl[3 * x] = int(a), pl[3 * x + 1] = int(b), pl[3 * x + 2] = int(c);
            });
    }
    for (int x = 0; x < W; ++x)
        pass(
            H, [&](int i, int c) { return planes[(size_t(i) * size_t(W) + size_t(x)) * 3 + c]; },
            [&](int y, int64_t a, int64_t b, int64_t c) {
                bits[size_t(y) * size_t(W) + size_t(x)] =
                    0xFF000000u | uint32_t(a) << 16 | uint32_t(b) << 8 | uint32_t(c);
            });
}

namespace {

enum class GlowKind { SoftShadow, Bold, Glow, Vista };

// Draws the blurred red coverage of the text, recoloured, then the text.
void drawBlurredText(TCanvas* Canvas, const TRect& Rect, const std::u16string& Text, int S,
                     TColor Color, int Offset, UINT Format, GlowKind Kind) {
    if (!Canvas) return;
    int w = Rect.Width(), h = Rect.Height();
    if (S < 0) S = 0;
    if (w > 0 && h > 0) {
        TspBitmap work;
        work.SetSize(w + 2 * S, h + 2 * S);
        TCanvas* wc = work.Canvas();
        wc->Font()->Assign(Canvas->Font());
        wc->Font()->SetColor(255);
        wc->Brush()->SetStyle(bsClear);
        wc->RequiredState();
        TRect tr(S, S, work.Width() - S, work.Height() - S);
        auto textAt = [&](int dx, int dy, bool wide) {
            TRect r(tr.Left + dx, tr.Top + dy, tr.Right + dx, tr.Bottom + dy);
            if (wide) {
                DrawWideText(wc, Text, r, Format);
            } else {
                RECT rr = r;
                DrawTextW(wc->Handle(), Text, &rr, Format);
            }
        };
        switch (Kind) {
        case GlowKind::SoftShadow:
            textAt(0, 0, false);
            break;
        case GlowKind::Bold:
            for (auto [dx, dy] : {std::pair{0, 0}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}})
                textAt(dx, dy, false);
            break;
        case GlowKind::Glow:
            textAt(0, 0, true);
            break;
        case GlowKind::Vista:
            work.FillRect(TRect(tr.Left - 3, tr.Top + 2, tr.Right + 3, tr.Bottom - 2), 0xFFFF0000u);
            for (auto [dx, dy] : {std::pair{-1, -1},
                                  {-2, -2},
                                  {-1, 0},
                                  {-2, 0},
                                  {1, 0},
                                  {2, 0},
                                  {1, 1},
                                  {2, 2},
                                  {0, 0}})
                textAt(dx, dy, true);
            break;
        }
        if (Kind == GlowKind::Vista) {
            StackBlur(&work, 6);
            StackBlur(&work, 6);
        } else {
            StackBlur(&work, S);
        }
        TspColor c = ColorToSpColor(Color) & 0xFFFFFF;
        TspColor* p = work.Bits();
        for (size_t i = 0, n = size_t(work.Width()) * size_t(work.Height()); i < n; ++i)
            p[i] = ((p[i] >> 16) & 0xFF) << 24 | c;
        work.SetAlphaBlend(true);
        int off = Kind == GlowKind::Vista ? 0 : Offset;
        work.Draw(Canvas, Rect.Left + off - S, Rect.Top + off - S);
    }
    Canvas->Brush()->SetStyle(bsClear);
    TRect r = Rect;
    if (Kind == GlowKind::Glow || Kind == GlowKind::Vista) {
        DrawWideText(Canvas, Text, r, Format);
    } else {
        Canvas->RequiredState();
        RECT rr = r;
        DrawTextW(Canvas->Handle(), Text, &rr, Format);
    }
}

} // namespace

void DrawSoftShadowText(TCanvas* Canvas, const TRect& Rect, const std::u16string& Text,
                        int ShadowSize, TColor ShadowColor, int ShadowOffset, UINT Format) {
    drawBlurredText(Canvas, Rect, Text, ShadowSize, ShadowColor, ShadowOffset, Format,
                    GlowKind::SoftShadow);
}

void DrawBoldGlowText(TCanvas* Canvas, const TRect& Rect, const std::u16string& Text, int GlowSize,
                      TColor GlowColor, int Offset, UINT Format) {
    drawBlurredText(Canvas, Rect, Text, GlowSize, GlowColor, Offset, Format, GlowKind::Bold);
}

void DrawGlowText(TCanvas* Canvas, const TRect& Rect, const std::u16string& Text, int GlowSize,
                  TColor GlowColor, int GlowOffset, UINT Format) {
    drawBlurredText(Canvas, Rect, Text, GlowSize, GlowColor, GlowOffset, Format, GlowKind::Glow);
}

void DrawVistaGlowText(TCanvas* Canvas, const TRect& Rect, const std::u16string& Text,
                       TColor GlowColor, UINT Format) {
    drawBlurredText(Canvas, Rect, Text, 12, GlowColor, 0, Format, GlowKind::Vista);
}

void DrawReflectionText(TCanvas* Canvas, const TRect& Rect, const std::u16string& Text,
                        TColor ReflectionColor, int ReflectionOffset, UINT Format) {
    if (!Canvas) return;
    int w = Rect.Width(), h = Rect.Height();
    if (w > 0 && h > 0) {
        TspBitmap work;
        work.SetSize(w, h);
        TCanvas* wc = work.Canvas();
        wc->Font()->Assign(Canvas->Font());
        wc->Font()->SetColor(255);
        wc->Brush()->SetStyle(bsClear);
        TRect r(0, 0, w, h);
        DrawWideText(wc, Text, r, Format);
        TRect m(0, 0, w, h);
        DrawWideText(wc, Text, m, Format | DT_CALCRECT);
        TRect onCanvas = Rect;
        DrawWideText(Canvas, Text, onCanvas, Format | DT_CALCRECT);
        int T = m.Top, B = m.Bottom;
        TspColor c = ColorToSpColor(ReflectionColor) & 0xFFFFFF;
        if (B - T > 0) {
            for (int y = 0; y < h; ++y) {
                TspColor* row = work.RowAddress(y);
                for (int x = 0; x < w; ++x) {
                    if (y < T || y > B) {
                        row[x] = 0;
                        continue;
                    }
                    float f = float(0.7 - double(B + T - y) / double(B - T));
                    if (f < 0) f = 0;
                    uint32_t red = (row[x] >> 16) & 0xFF;
                    row[x] = uint32_t(std::trunc(red * f)) << 24 | c;
                }
            }
        }
        for (int y = 0; y < h / 2; ++y)
            std::swap_ranges(work.RowAddress(y), work.RowAddress(y) + w,
                             work.RowAddress(h - 1 - y));
        work.SetAlphaBlend(true);
        work.Draw(Canvas, Rect.Left, onCanvas.Bottom + B + ReflectionOffset - h);
    }
    Canvas->Brush()->SetStyle(bsClear);
    TRect r = Rect;
    DrawWideText(Canvas, Text, r, Format);
}

void SetAlphaFromMask(TspBitmap* Bitmap, TspBitmap* Mask) {
    if (!Bitmap || !Mask || Bitmap->Empty() || Mask->Empty()) return;
    int w = std::min(Bitmap->Width(), Mask->Width()),
        h = std::min(Bitmap->Height(), Mask->Height());
    for (int y = 0; y < h; ++y) {
        TspColor* d = Bitmap->RowAddress(y);
        const TspColor* m = Mask->RowAddress(y);
        for (int x = 0; x < w; ++x) {
            uint32_t g = (((m[x] >> 16) & 0xFF) + ((m[x] >> 8) & 0xFF) + (m[x] & 0xFF)) / 3;
            d[x] = (d[x] & 0xFFFFFF) | g << 24;
        }
    }
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

// Rounds to nearest, halves to even, as an integer.
int roundHalfEven(double v) {
    return int(std::nearbyint(v));
}

TspColor fromHsl(const Hsl& c, TspColor alphaFrom) {
    int r, g, b;
    if (c.S == 0) {
        r = g = b = roundHalfEven(c.L * 255);
    } else {
        double q = c.L <= 0.5 ? c.L * (1 + c.S) : c.L + c.S - c.L * c.S;
        double p = 2 * c.L - q;
        r = roundHalfEven(hueToChannel(p, q, c.H + 1.0 / 3) * 255);
        g = roundHalfEven(hueToChannel(p, q, c.H) * 255);
        b = roundHalfEven(hueToChannel(p, q, c.H - 1.0 / 3) * 255);
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
        int v = roundHalfEven(h.H * 255) + DeltaHue;
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
        h.S = std::clamp(roundHalfEven(h.S * 255) + DeltaSat, 0, 255) / 255.0;
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
            int na = std::max(0, int(std::trunc(double(roundHalfEven(f * a)) / K)));
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
    // A bitmap without pixels is written as the empty one it is.
    const int32_t w = Empty() ? 0 : FWidth, h = Empty() ? 0 : FHeight;
    writeI32(Stream, w);
    writeI32(Stream, h);
    for (int y = 0; y < h; ++y)
        Stream->WriteBuffer(RowAddress(y), int64_t(w) * 4);
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
