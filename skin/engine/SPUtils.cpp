#include "skin/engine/SPUtils.h"

#include <algorithm>
#include <climits>
#if defined(__x86_64__) || defined(__i386__)
#include <mmintrin.h>
#endif

#include "classlib/controls.h"
#include "classlib/forms.h"
#include "classlib/streams.h"
#include "classlib/sysutils.h"
#include "platform/os/cpu.h"
#include "platform/win/input.h"
#include "platform/win/layered.h"
#include "platform/win/metrics.h"
#include "skin/engine/speffbmp.h"

// ---- Skin value codecs --------------------------------------------------------------

namespace {

// Splits numeric skin text into parts of digits (with a leading "-").
std::vector<std::string> numericParts(const std::string& s) {
    std::vector<std::string> parts(1);
    for (char c : s) {
        if (c == ',')
            parts.emplace_back();
        else if (c >= '0' && c <= '9')
            parts.back() += c;
        else if (c == '-' && parts.back().empty())
            parts.back() += c;
    }
    return parts;
}

int32_t partToInt(const std::vector<std::string>& parts, size_t i) {
    std::string p = i < parts.size() ? parts[i] : std::string();
    bool neg = !p.empty() && p[0] == '-';
    std::string digits = neg ? p.substr(1) : p;
    if (digits.empty()) throw EConvertError("'" + p + "' is not a valid integer value");
    int64_t v = 0;
    for (char c : digits) {
        v = v * 10 + (c - '0');
        if (v > int64_t(INT32_MAX) + 1)
            throw EConvertError("'" + p + "' is not a valid integer value");
    }
    if (neg) v = -v;
    if (v > INT32_MAX || v < INT32_MIN)
        throw EConvertError("'" + p + "' is not a valid integer value");
    return int32_t(v);
}

} // namespace

void SkinStrToRect(const std::string& S, TRect& R) {
    auto parts = numericParts(S);
    TRect r(partToInt(parts, 0), partToInt(parts, 1), partToInt(parts, 2), partToInt(parts, 3));
    R = r;
}

void SkinStrToPoint(const std::string& S, TPoint& P) {
    auto parts = numericParts(S);
    TPoint p(partToInt(parts, 0), partToInt(parts, 1));
    P = p;
}

std::string SkinRectToStr(const TRect& R) {
    return std::to_string(R.Left) + "," + std::to_string(R.Top) + "," + std::to_string(R.Right) +
           "," + std::to_string(R.Bottom);
}

void ReadRect(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
              TRect& R) {
    SkinStrToRect(IniFile->ReadString(Section, Ident, "0,0,0,0"), R);
}

void ReadPoint(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
               TPoint& P) {
    SkinStrToPoint(IniFile->ReadString(Section, Ident, "0,0"), P);
}

bool ReadBoolean(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident) {
    return IniFile->ReadInteger(Section, Ident, 0) == 1;
}

TFontStyles ReadFontStyles(TCustomIniFile* IniFile, const std::string& Section,
                           const std::string& Ident) {
    std::string s = IniFile->ReadString(Section, Ident, "");
    TFontStyles fs;
    if (s.find("fsbold") != std::string::npos) fs |= fsBold;
    if (s.find("fsitalic") != std::string::npos) fs |= fsItalic;
    if (s.find("fsunderline") != std::string::npos) fs |= fsUnderline;
    if (s.find("fsstrikeout") != std::string::npos) fs |= fsStrikeOut;
    return fs;
}

namespace {

// A count key is trusted up to the number of keys the section really has
// once it is implausibly large, so a damaged file cannot make us add
// billions of empty items.
int plausibleCount(TCustomIniFile* IniFile, const std::string& Section, int n) {
    if (n <= 0) return 0;
    if (n > 65536) {
        TStringList keys;
        IniFile->ReadSection(Section, &keys);
        n = std::min(n, keys.Count());
    }
    return n;
}

} // namespace

void ReadStrings(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
                 TStrings* S) {
    int n = plausibleCount(IniFile, Section, IniFile->ReadInteger(Section, Ident + "linecount", 0));
    for (int i = 0; i < n; ++i)
        S->Add(IniFile->ReadString(Section, Ident + "line" + std::to_string(i), ""));
}

void ReadStringList(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
                    TStrings* S) {
    int n = plausibleCount(IniFile, Section, IniFile->ReadInteger(Section, Ident + "count", 0));
    for (int i = 0; i < n; ++i)
        S->Add(IniFile->ReadString(Section, std::to_string(i), ""));
}

TAlignment ReadAlignment(TCustomIniFile* IniFile, const std::string& Section,
                         const std::string& Ident) {
    std::string s = IniFile->ReadString(Section, Ident, "tacenter");
    if (s == "tacenter") return taCenter;
    if (s == "taleftjustify") return taLeftJustify;
    return taRightJustify;
}

void WriteRect(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
               const TRect& R) {
    IniFile->WriteString(Section, Ident, SkinRectToStr(R));
}

void WritePoint(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
                const TPoint& P) {
    IniFile->WriteString(Section, Ident, std::to_string(P.X) + "," + std::to_string(P.Y));
}

void WriteBoolean(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
                  bool B) {
    IniFile->WriteInteger(Section, Ident, B ? 1 : 0);
}

void WriteFontStyles(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
                     TFontStyles FS) {
    std::string s;
    auto add = [&](TFontStyle st, const char* word) {
        if (!FS.Contains(st)) return;
        if (!s.empty()) s += ",";
        s += word;
    };
    add(fsBold, "fsbold");
    add(fsItalic, "fsitalic");
    add(fsUnderline, "fsunderline");
    add(fsStrikeOut, "fsstrikeout");
    IniFile->WriteString(Section, Ident, s);
}

void WriteStrings(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
                  TStrings* S) {
    IniFile->WriteInteger(Section, Ident + "linecount", S->Count());
    for (int i = 0; i < S->Count(); ++i)
        IniFile->WriteString(Section, Ident + "line" + std::to_string(i), S->Strings(i));
}

void WriteStringList(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
                     TStrings* S) {
    IniFile->WriteInteger(Section, Ident + "count", S->Count());
    for (int i = 0; i < S->Count(); ++i)
        IniFile->WriteString(Section, std::to_string(i), S->Strings(i));
}

void WriteAlignment(TCustomIniFile* IniFile, const std::string& Section, const std::string& Ident,
                    TAlignment A) {
    const char* s = A == taCenter        ? "tacenter"
                    : A == taLeftJustify ? "taleftjustify"
                                         : "tarightjustify";
    IniFile->WriteString(Section, Ident, s);
}

void WriteStreamString(TStream* S, const std::string& Str) {
    std::u16string w = Utf8ToUtf16(Str);
    std::string bytes;
    auto n = uint32_t(w.size());
    for (int i = 0; i < 4; ++i)
        bytes += char((n >> (8 * i)) & 0xFF);
    for (char16_t c : w)
        bytes += char(c & 0xFF), bytes += char(c >> 8);
    S->WriteBuffer(bytes.data(), int64_t(bytes.size()));
}

void ReadStreamString(TStream* S, std::string& Str) {
    uint8_t b[4];
    S->ReadBuffer(b, 4);
    auto n =
        int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
    if (n < 0 || int64_t(n) * 2 > S->Size() - S->Position()) throw EReadError("Stream read error");
    std::string raw(size_t(n) * 2, '\0');
    if (n) S->ReadBuffer(raw.data(), int64_t(raw.size()));
    std::u16string w(size_t(n), u'\0');
    for (int32_t i = 0; i < n; ++i)
        w[size_t(i)] = char16_t(uint8_t(raw[size_t(i) * 2]) | uint8_t(raw[size_t(i) * 2 + 1]) << 8);
    Str = Utf16ToUtf8(w);
}

namespace {
std::string trimBlanks(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && uint8_t(s[a]) <= ' ')
        ++a;
    while (b > a && uint8_t(s[b - 1]) <= ' ')
        --b;
    return s.substr(a, b - a);
}
} // namespace

void GetNextToken(std::string& S, std::string& T) {
    T.clear();
    std::string copy = S;
    size_t consumed = 0;
    for (char c : copy) {
        ++consumed;
        if (c == ' ' || c == '(' || c == ')' || c == ',' || c == ':' || c == ';' || c == '=') break;
        T += c;
    }
    S.erase(0, consumed);
    T = trimBlanks(T);
    S = trimBlanks(S);
}

void TokensToRect(const std::string& S, TRect& R) {
    std::string s = S, t;
    int32_t v[4];
    for (int i = 0; i < 4; ++i) {
        GetNextToken(s, t);
        if (!TryStrToInt(t, v[i])) {
            R = TRect(0, 0, 0, 0);
            return;
        }
    }
    R = TRect(v[0], v[1], v[2], v[3]);
}

// ---- Platform helpers ------------------------------------------------------------------

void GetWindowsVersion(int& Major, int& Minor) {
    // The layer answers as a current system does.
    Major = 10;
    Minor = 0;
}

bool IsWindowsVistaOrLater() {
    int ma, mi;
    GetWindowsVersion(ma, mi);
    return ma >= 6;
}

bool IsWindowsXPOrLater() {
    int ma, mi;
    GetWindowsVersion(ma, mi);
    return ma > 5 || (ma == 5 && mi == 1);
}

bool IsWindows2000OrLater() {
    int ma, mi;
    GetWindowsVersion(ma, mi);
    return ma > 5 || (ma == 5 && mi >= 0 && mi <= 2);
}

bool IsMultiMonitor() {
    return GetSystemMetrics(SM_CMONITORS) > 1;
}

void GetScreenArea(bool WorkArea, TRect& R) {
    if (WorkArea) {
        RECT r{};
        SystemParametersInfo(SPI_GETWORKAREA, 0, &r, 0);
        R = r;
    } else {
        R = TRect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    }
}

void GetMonitorArea(HWND Window, bool WorkArea, TRect& R) {
    if (!IsMultiMonitor()) {
        GetScreenArea(WorkArea, R);
        return;
    }
    MONITORINFO mi;
    mi.cbSize = 40;
    if (!GetMonitorInfo(MonitorFromWindow(Window, MONITOR_DEFAULTTONEAREST), &mi)) return;
    R = WorkArea ? mi.rcWork : mi.rcMonitor;
}

bool HasMMX() {
    return os::GetCpuFeatures().mmx;
}

void EmptyMMXState() {
#if defined(__x86_64__) || defined(__i386__)
    static const bool mmx = HasMMX();
    if (mmx) _mm_empty();
#endif
}

bool IsTransparentBltAvailable() {
    return true;
}

int ScreenColorDepth() {
    HDC dc = GetScreenDC();
    int depth = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    ReleaseScreenDC(dc);
    return depth;
}

bool IsTrueColorScreen() {
    return ScreenColorDepth() > 23;
}

bool IsNT() {
    return true;
}

// ---- Rectangles and points ---------------------------------------------------------------

int RectWidth(const TRect& R) {
    return R.Right - R.Left;
}
int RectHeight(const TRect& R) {
    return R.Bottom - R.Top;
}
bool IsEmptyRect(const TRect& R) {
    return RectWidth(R) <= 0 || RectHeight(R) <= 0;
}
void MakeNullRect(TRect& R) {
    R = TRect(0, 0, 0, 0);
}
bool RectsEqual(const TRect& A, const TRect& B) {
    return A == B;
}
bool IsNullPoint(const TPoint& P) {
    return P.X == 0 || P.Y == 0;
}
bool RectContainsPoint(const TRect& R, const TPoint& P) {
    return P.X >= R.Left && P.X <= R.Right && P.Y >= R.Top && P.Y <= R.Bottom;
}
bool RectInsideRect(const TRect& A, const TRect& B) {
    RECT b = B;
    return ::PtInRect(&b, POINT{A.Left, A.Top}) && ::PtInRect(&b, POINT{A.Right, A.Bottom});
}
int IntMax(int A, int B) {
    return A > B ? A : B;
}
int IntMin(int A, int B) {
    return A < B ? A : B;
}

// ---- Text -------------------------------------------------------------------------------------

int DrawWideText(TCanvas* Canvas, const std::u16string& S, TRect& R, UINT Format) {
    Canvas->RequiredState();
    RECT r = R;
    int res = DrawTextW(Canvas->Handle(), S, &r, Format);
    R = r;
    return res;
}

int WideTextWidth(TCanvas* Canvas, const std::u16string& S) {
    TRect r(0, 0, 0, 0);
    DrawWideText(Canvas, S, r, DT_CALCRECT);
    return RectWidth(r);
}

int WideTextHeight(TCanvas* Canvas, const std::u16string& S) {
    TRect r(0, 0, 0, 0);
    DrawWideText(Canvas, S, r, DT_CALCRECT);
    return RectHeight(r);
}

namespace {
int drawUtf8(TCanvas* Canvas, const std::string& S, TRect& R, UINT Format) {
    Canvas->RequiredState();
    RECT r = R;
    int res = DrawText(Canvas->Handle(), S, &r, Format);
    R = r;
    return res;
}
} // namespace

void DrawVCenteredText(TCanvas* Canvas, const std::string& S, const TRect& R) {
    if (S.empty()) return;
    TRect r = R;
    drawUtf8(Canvas, S, r, DT_SINGLELINE | DT_VCENTER);
}

void TextRectVCentered(TCanvas* Canvas, const std::string& S, const TRect& R) {
    TextRectVCenteredIndent(Canvas, S, R, 0);
}

void TextRectVCenteredIndent(TCanvas* Canvas, const std::string& S, const TRect& R, int Indent) {
    if (S.empty()) return;
    Canvas->TextRect(R, R.Left + Indent + 2, R.Top + RectHeight(R) / 2 - Canvas->TextHeight(S) / 2,
                     S);
}

void FitTextToWidth(TCanvas* Canvas, std::string& S, int MaxWidth) {
    if (Canvas->TextWidth(S) <= MaxWidth) return;
    do {
        // Drop one whole character from the end.
        size_t n = S.size();
        while (n > 0 && (uint8_t(S[n - 1]) & 0xC0) == 0x80)
            --n;
        S.resize(n > 0 ? n - 1 : 0);
    } while (!S.empty() && Canvas->TextWidth(S + "...") > MaxWidth);
    S += "...";
}

void FitWideTextToWidth(TCanvas* Canvas, std::u16string& S, int MaxWidth) {
    if (WideTextWidth(Canvas, S) <= MaxWidth) return;
    do {
        size_t n = S.size();
        if (n >= 2 && S[n - 1] >= 0xDC00 && S[n - 1] < 0xE000) --n;
        S.resize(n > 0 ? n - 1 : 0);
    } while (!S.empty() && WideTextWidth(Canvas, S + u"...") > MaxWidth);
    S += u"...";
}

void CalcGlyphTextLayout(TspButtonLayout Layout, const TRect& R, int GW, int GH, int TW, int TH,
                         int Spacing, int Margin, int& TX, int& TY, int& GX, int& GY) {
    if (GW == 0) Spacing = 0;
    int cx = R.Left + RectWidth(R) / 2, cy = R.Top + RectHeight(R) / 2;
    int hx = (GW + TW + Spacing) / 2, hy = (GH + TH + Spacing) / 2;
    switch (Layout) {
    case blGlyphLeft:
    case blGlyphRight:
        GY = cy - GH / 2;
        TY = cy - TH / 2;
        if (Layout == blGlyphLeft) {
            if (Margin == -1)
                GX = cx - hx, TX = cx + hx - TW;
            else
                GX = R.Left + Margin, TX = GX + GW + Spacing;
        } else {
            if (Margin == -1)
                TX = cx - hx, GX = cx + hx - GW;
            else
                GX = R.Right - GW - Margin, TX = GX - Spacing - TW;
        }
        break;
    case blGlyphTop:
    case blGlyphBottom:
        GX = cx - GW / 2;
        TX = cx - TW / 2;
        if (Layout == blGlyphTop) {
            if (Margin == -1)
                GY = cy - hy, TY = cy + hy - TH;
            else
                GY = R.Top + Margin, TY = GY + GH + Spacing;
        } else {
            if (Margin == -1)
                TY = cy - hy, GY = cy + hy - GH;
            else
                GY = R.Bottom - GH - Margin, TY = GY - Spacing - TH;
        }
        break;
    }
}

namespace {

void hline(TCanvas* c, int x0, int x1, int y) {
    c->MoveTo(x0, y);
    c->LineTo(x1, y);
}

// The shared part of the two glyph-and-caption routines; drawGlyph draws the
// glyph at (GX, GY).
void drawGlyphCaption(TCanvas* Canvas, const TRect& R, int Margin, int Spacing,
                      TspButtonLayout Layout, const std::string& Caption, int GW, int GH, bool Down,
                      bool DrawMarker, TColor MarkerColor,
                      const std::function<void(int, int)>& drawGlyph) {
    int TW = 0, TH = 0;
    if (!Caption.empty()) {
        TRect tr(0, 0, RectWidth(R), RectHeight(R));
        if (Layout == blGlyphLeft || Layout == blGlyphRight)
            tr.Right -= GW;
        else
            tr.Bottom -= GH;
        drawUtf8(Canvas, Caption, tr, DT_CALCRECT | DT_EXPANDTABS | DT_WORDBREAK);
        TW = RectWidth(tr), TH = RectHeight(tr);
    }
    Canvas->Brush()->SetStyle(bsClear);
    int TX, TY, GX, GY;
    CalcGlyphTextLayout(Layout, R, GW, GH, TW, TH, Spacing, Margin, TX, TY, GX, GY);
    if (Down) ++TX, ++TY, ++GX, ++GY;
    TRect cr(TX, TY, TX + TW + 2, TY + TH);
    if (!Caption.empty())
        drawUtf8(Canvas, Caption, cr, DT_EXPANDTABS | DT_WORDBREAK | DT_VCENTER | DT_CENTER);
    if (GW > 0 && GH > 0) {
        drawGlyph(GX, GY);
        if (DrawMarker) {
            Canvas->Pen()->SetColor(MarkerColor);
            for (int d = -2; d <= 0; ++d)
                hline(Canvas, GX, GX + GW, GY + GH + d);
        }
    } else if (DrawMarker) {
        if (!Caption.empty()) {
            Canvas->Pen()->SetColor(MarkerColor);
            for (int d = -1; d <= 1; ++d)
                hline(Canvas, cr.Left, cr.Right, cr.Bottom + d);
        } else {
            Canvas->Brush()->SetStyle(bsSolid);
            Canvas->Brush()->SetColor(MarkerColor);
            TRect m = Down ? TRect(R.Left + 4, R.Top + 5, R.Right - 2, R.Bottom - 3)
                           : TRect(R.Left + 4, R.Top + 4, R.Right - 2, R.Bottom - 4);
            Canvas->FillRect(m);
        }
    }
}

} // namespace

void DrawImageAndText(TCanvas* Canvas, const TRect& R, int Margin, int Spacing,
                      TspButtonLayout Layout, const std::string& Caption, int ImageIndex,
                      TCustomImageList* ImageList, bool Down, bool Enabled, bool DrawMarker,
                      TColor MarkerColor) {
    bool hasImage = ImageList && ImageIndex >= 0 && ImageIndex < ImageList->Count();
    int GW = hasImage ? ImageList->Width() : 0, GH = hasImage ? ImageList->Height() : 0;
    drawGlyphCaption(Canvas, R, Margin, Spacing, Layout, Caption, GW, GH, Down, DrawMarker,
                     MarkerColor,
                     [&](int x, int y) { ImageList->Draw(Canvas, x, y, ImageIndex, Enabled); });
}

void DrawGlyphAndText(TCanvas* Canvas, const TRect& R, int Margin, int Spacing,
                      TspButtonLayout Layout, const std::string& Caption, TBitmap* Bitmap,
                      int NumGlyphs, int GlyphNum, bool Down, bool DrawMarker, TColor MarkerColor) {
    bool has = Bitmap && !Bitmap->Empty() && NumGlyphs > 0;
    int GW = has ? Bitmap->Width() / NumGlyphs : 0, GH = has ? Bitmap->Height() : 0;
    drawGlyphCaption(
        Canvas, R, Margin, Spacing, Layout, Caption, GW, GH, Down, DrawMarker, MarkerColor,
        [&](int x, int y) { DrawGlyphFromStrip(Canvas, x, y, Bitmap, NumGlyphs, GlyphNum); });
}

// ---- Background and pictures --------------------------------------------------------------

void DrawParentBackground(TControl* Control, TCanvas* Canvas) {
    DrawParentBackgroundOffset(Control, TRect(0, 0, 0, 0), Canvas);
}

void DrawParentBackgroundOffset(TControl* Control, const TRect& Offset, TCanvas* Canvas) {
    if (!Control || !Control->Parent() || !Canvas) return;
    TWinControl* parent = Control->Parent();
    HDC dc = Canvas->Handle();
    if (!dc) return;
    auto wp = reinterpret_cast<WPARAM>(dc);
    int saved = SaveDC(dc);
    SetViewportOrgEx(dc, -Control->Left() - Offset.Left, -Control->Top() - Offset.Top, nullptr);
    IntersectClipRect(dc, 0, 0, parent->Width(), parent->Height());
    parent->Perform(WM_ERASEBKGND, wp, 0);
    if (!dynamic_cast<TForm*>(parent)) parent->Perform(WM_PAINT, wp, 0);
    RestoreDC(dc, saved);
    RECT own = Control->BoundsRect();
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* sibling = parent->Controls(i);
        if (sibling == Control) break;
        if (dynamic_cast<TWinControl*>(sibling) || !sibling->Visible()) continue;
        RECT theirs = sibling->BoundsRect(), meet;
        if (!IntersectRect(&meet, &own, &theirs)) continue;
        int s = SaveDC(dc);
        SetViewportOrgEx(dc, sibling->Left() - Control->Left() - Offset.Left,
                         sibling->Top() - Control->Top() - Offset.Top, nullptr);
        IntersectClipRect(dc, 0, 0, sibling->Width(), sibling->Height());
        sibling->Perform(WM_PAINT, wp, 0);
        RestoreDC(dc, s);
    }
}

void CaptureScreenToBitmap(int X, int Y, TBitmap* Bitmap) {
    if (!Bitmap || Bitmap->Empty()) return;
    HDC screen = GetScreenDC();
    BitBlt(Bitmap->Canvas()->Handle(), 0, 0, Bitmap->Width(), Bitmap->Height(), screen, X, Y,
           SRCCOPY);
    ReleaseScreenDC(screen);
}

void DrawGlyphFromStrip(TCanvas* Canvas, int X, int Y, TBitmap* Bitmap, int NumGlyphs,
                        int GlyphNum) {
    if (!Bitmap || Bitmap->Empty() || NumGlyphs <= 0) return;
    int gw = Bitmap->Width() / NumGlyphs, gh = Bitmap->Height();
    if (gw <= 0) return;
    TBitmap glyph;
    glyph.SetSize(gw, gh);
    int sx = (GlyphNum - 1) * gw;
    glyph.Canvas()->CopyRect(TRect(0, 0, gw, gh), Bitmap->Canvas(), TRect(sx, 0, sx + gw, gh));
    glyph.SetTransparent(true);
    Canvas->Draw(X, Y, &glyph);
}

TColor DarkenColor(TColor Color, int Percent) {
    COLORREF c = ColorToRGB(Color);
    auto dark = [&](int v) { return int(ClampByte(v - MulDiv(v, Percent, 100))); };
    return TColor(RGB(dark(GetRValue(c)), dark(GetGValue(c)), dark(GetBValue(c))));
}

bool IsJpegFileName(const std::string& FileName) {
    return FileName.find(".jpg") != std::string::npos ||
           FileName.find(".jpeg") != std::string::npos;
}

void LoadJpegToBitmap(TBitmap* Bitmap, const std::string& FileName) {
    TJPEGImage jpeg;
    jpeg.LoadFromFile(FileName);
    Bitmap->SetSize(jpeg.Width(), jpeg.Height());
    Bitmap->Canvas()->Draw(0, 0, &jpeg);
}

// ---- Marks and caption glyphs -------------------------------------------------------------

namespace {

void line(TCanvas* c, int x0, int y0, int x1, int y1) {
    c->MoveTo(x0, y0);
    c->LineTo(x1, y1);
}

void penColor(TCanvas* c, TColor color) {
    c->Pen()->SetColor(color);
    c->Pen()->SetStyle(psSolid);
    c->Pen()->SetWidth(1);
}

void hollowRect(TCanvas* c, int l, int t, int r, int b) {
    c->Brush()->SetStyle(bsClear);
    c->Rectangle(l, t, r, b);
}

} // namespace

void DrawDottedFocusRect(TCanvas* Canvas, const TRect& R) {
    int x0 = R.Left, y0 = R.Top, x1 = R.Right - 1, y1 = R.Bottom - 1;
    int w = x1 - x0, h = y1 - y0;
    if (w <= 0 || h <= 0) return;
    TColor color = Canvas->Font()->Color();
    bool on = !(w % 2 == 0 && h % 2 == 0);
    auto step = [&](int x, int y) {
        if (on) Canvas->SetPixel(x, y, color);
        on = !on;
    };
    for (int x = x0; x < x1; ++x)
        step(x, y0);
    for (int y = y0; y < y1; ++y)
        step(x1, y);
    for (int x = x1; x > x0; --x)
        step(x, y1);
    for (int y = y1; y > y0; --y)
        step(x0, y);
}

void DrawDropDownArrow(TCanvas* Canvas, const TRect& R, TColor Color) {
    penColor(Canvas, Color);
    int cx = R.Left + RectWidth(R) / 2, cy = R.Top + RectHeight(R) / 2;
    line(Canvas, cx - 2, cy, cx + 3, cy);
    line(Canvas, cx - 1, cy + 1, cx + 2, cy + 1);
    line(Canvas, cx, cy + 2, cx + 1, cy + 2);
}

void DrawArrow(TCanvas* Canvas, const TRect& R, TColor Color, int Direction) {
    penColor(Canvas, Color);
    int cx = R.Left + RectWidth(R) / 2, cy = R.Top + RectHeight(R) / 2;
    switch (Direction) {
    case 1:
        for (int i = 0; i <= 3; ++i)
            line(Canvas, cx + i - 2, cy - i, cx + i - 2, cy + i + 1);
        break;
    case 2:
        for (int n = 3; n >= 0; --n)
            line(Canvas, cx - n + 2, cy + n, cx - n + 2, cy - n - 1);
        break;
    case 3:
        for (int i = 0; i <= 3; ++i)
            line(Canvas, cx - i, cy + i - 2, cx + i + 1, cy + i - 2);
        break;
    case 4:
        for (int n = 3; n >= 0; --n)
            line(Canvas, cx - n, cy - n + 2, cx + n + 1, cy - n + 2);
        break;
    default:
        break;
    }
}

void DrawRadioMark(TCanvas* Canvas, int X, int Y, TColor Color) {
    penColor(Canvas, Color);
    Canvas->Brush()->SetStyle(bsSolid);
    Canvas->Brush()->SetColor(Color);
    Canvas->Rectangle(X, Y, X + 6, Y + 6);
}

void DrawCheckMark(TCanvas* Canvas, int X, int Y, TColor Color) {
    penColor(Canvas, Color);
    for (int i = 0; i <= 2; ++i) {
        Canvas->MoveTo(X, Y - i + 5);
        Canvas->LineTo(X + 2, Y - i + 7);
        Canvas->LineTo(X + 7, Y - i + 2);
    }
}

void DrawCloseGlyph(TCanvas* Canvas, int X, int Y, TColor Color) {
    penColor(Canvas, Color);
    line(Canvas, X + 1, Y + 1, X + 9, Y + 9);
    line(Canvas, X + 9, Y + 1, X + 1, Y + 9);
    line(Canvas, X + 2, Y + 1, X + 10, Y + 9);
    line(Canvas, X + 8, Y + 1, X, Y + 9);
}

void DrawSysMenuGlyph(TCanvas* Canvas, int X, int Y, TColor Color) {
    penColor(Canvas, Color);
    hollowRect(Canvas, X + 1, Y + 3, X + 9, Y + 6);
}

void DrawMinimizeGlyph(TCanvas* Canvas, int X, int Y, TColor Color) {
    penColor(Canvas, Color);
    line(Canvas, X + 1, Y + 8, X + 9, Y + 8);
    line(Canvas, X + 1, Y + 9, X + 9, Y + 9);
}

void DrawMaximizeGlyph(TCanvas* Canvas, int X, int Y, TColor Color) {
    penColor(Canvas, Color);
    hollowRect(Canvas, X, Y, X + 11, Y + 10);
    hollowRect(Canvas, X, Y, X + 11, Y + 2);
}

void DrawRestoreGlyph(TCanvas* Canvas, int X, int Y, TColor Color) {
    penColor(Canvas, Color);
    hollowRect(Canvas, X + 2, Y, X + 10, Y + 6);
    hollowRect(Canvas, X + 2, Y, X + 10, Y + 2);
    hollowRect(Canvas, X, Y + 4, X + 7, Y + 10);
    hollowRect(Canvas, X, Y + 4, X + 7, Y + 6);
}

void DrawRollDownGlyph(TCanvas* Canvas, int X, int Y, TColor Color) {
    penColor(Canvas, Color);
    line(Canvas, X + 4, Y + 5, X + 6, Y + 5);
    line(Canvas, X + 3, Y + 4, X + 7, Y + 4);
    line(Canvas, X + 2, Y + 3, X + 8, Y + 3);
    line(Canvas, X + 1, Y + 2, X + 9, Y + 2);
}

void DrawRollUpGlyph(TCanvas* Canvas, int X, int Y, TColor Color) {
    penColor(Canvas, Color);
    line(Canvas, X + 4, Y + 3, X + 6, Y + 3);
    line(Canvas, X + 3, Y + 4, X + 7, Y + 4);
    line(Canvas, X + 2, Y + 5, X + 8, Y + 5);
    line(Canvas, X + 1, Y + 6, X + 9, Y + 6);
}

void DrawTrayGlyph(TCanvas* Canvas, int X, int Y, TColor Color) {
    penColor(Canvas, Color);
    Canvas->Brush()->SetStyle(bsSolid);
    Canvas->Brush()->SetColor(Color);
    Canvas->Rectangle(X + 2, Y + 2, X + 7, Y + 7);
}

// ---- Layered windows --------------------------------------------------------------------

void UpdateLayeredFromBitmap(TspBitmap* Bitmap, uint8_t Alpha, TWinControl* Control) {
    if (!Bitmap || Bitmap->Empty() || !Control) return;
    POINT dst{Control->Left(), Control->Top()}, src{0, 0};
    SIZE size{Bitmap->Width(), Bitmap->Height()};
    BLENDFUNCTION blend;
    blend.BlendOp = AC_SRC_OVER;
    blend.BlendFlags = 0;
    blend.SourceConstantAlpha = Alpha;
    blend.AlphaFormat = AC_SRC_ALPHA;
    UpdateLayeredWindow(Control->Handle(), nullptr, &dst, &size, Bitmap->DC(), &src, 0, &blend,
                        ULW_ALPHA);
}

void SetLayeredAlpha(HWND Window, uint8_t Alpha) {
    SetLayeredWindowAttributes(Window, 0, Alpha, LWA_ALPHA);
}

void BuildLayerBitmap(TBitmap* AImage, TBitmap* AImageMask, TspBitmap* Bitmap) {
    if (!Bitmap) return;
    Bitmap->Assign(AImage);
    TspBitmap mask;
    mask.Assign(AImageMask);
    SetAlphaFromMask(Bitmap, &mask);
}

TspLayerWindow::TspLayerWindow(TComponent* AOwner) : TCustomControl(AOwner) {}

void TspLayerWindow::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP;
    Params.ExStyle = WS_EX_TOOLWINDOW;
    Params.WindowClassStyle |= CS_SAVEBITS;
    Params.WndParent = 0;
}

void TspLayerWindow::WndProc(TMessage& Message) {
    // Clicking the layer never activates it.
    if (Message.Msg == WM_MOUSEACTIVATE) {
        Message.Result = MA_NOACTIVATE;
        return;
    }
    TCustomControl::WndProc(Message);
}

TspLayerManager::TspLayerManager(TComponent* AOwner)
    : TComponent(AOwner), Timer(std::make_unique<TTimer>(nullptr)) {
    Timer->SetEnabled(false);
    Timer->SetInterval(25);
    Timer->SetOnTimer([this](TObject* Sender) { FadeStep(Sender); });
}

TspLayerManager::~TspLayerManager() {
    Timer.reset();
    LayerWindow.reset();
    Bmp.reset();
}

void TspLayerManager::Show(int X, int Y, TBitmap* AImage, TBitmap* AImageMask,
                           int AAlphaBlendValue) {
    if (!IsWindows2000OrLater() || !AImage) return;
    if (LayerWindow) Hide();
    IsVisible = true;
    LayerWindow = std::make_unique<TspLayerWindow>(nullptr);
    LayerWindow->SetVisible(false);
    LayerWindow->SetBounds(X, Y, AImage->Width(), AImage->Height());
    HWND h = LayerWindow->Handle();
    SetWindowLongPtr(h, GWL_EXSTYLE, GetWindowLongPtr(h, GWL_EXSTYLE) | WS_EX_LAYERED);
    Bmp = std::make_unique<TspBitmap>();
    BuildLayerBitmap(AImage, AImageMask, Bmp.get());
    UpdateLayeredFromBitmap(Bmp.get(), 0, LayerWindow.get());
    SetWindowPos(h, TopMostMode ? HWND_TOPMOST : HWND_NOTOPMOST, X, Y, 0, 0,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOSIZE);
    EndAlphaBlendValue = AAlphaBlendValue;
    StepAlphaBlendValue = std::max(AAlphaBlendValue / 10, 1);
    StartTimer();
}

void TspLayerManager::Hide() {
    if (!IsWindows2000OrLater()) return;
    StopTimer();
    Bmp.reset();
    IsVisible = false;
    if (LayerWindow) {
        if (LayerWindow->HandleAllocated())
            SetWindowPos(LayerWindow->Handle(), 0, 0, 0, 0, 0,
                         SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
        LayerWindow.reset();
    }
}

void TspLayerManager::StartTimer() {
    BeginAlphaBlendValue = 0;
    Timer->SetEnabled(true);
}

void TspLayerManager::StopTimer() {
    Timer->SetEnabled(false);
}

void TspLayerManager::FadeStep(TObject*) {
    if (!Bmp || !LayerWindow) return;
    BeginAlphaBlendValue = std::min(BeginAlphaBlendValue + StepAlphaBlendValue, EndAlphaBlendValue);
    UpdateLayeredFromBitmap(Bmp.get(), uint8_t(std::clamp(BeginAlphaBlendValue, 0, 255)),
                            LayerWindow.get());
    if (BeginAlphaBlendValue >= EndAlphaBlendValue) StopTimer();
}
