#include "skin/engine/SPUtils.h"

#include <algorithm>
#include <climits>
#include <cstring>
#if defined(__x86_64__) || defined(__i386__)
#include <mmintrin.h>
#endif

#include "classlib/controls.h"
#include "classlib/forms.h"
#include "classlib/streams.h"
#include "classlib/sysutils.h"
#include "platform/display/backend.h"
#include "platform/os/cpu.h"
#include "platform/win/input.h"
#include "platform/win/layered.h"
#include "platform/win/metrics.h"
#include "platform/win/queue.h"
#include "platform/win/window.h"
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

bool IsWindowsVistaOrLater(int Major, int) {
    return Major >= 6;
}

bool IsWindowsXPOrLater(int Major, int Minor) {
    return Major > 5 || (Major == 5 && Minor == 1);
}

bool IsWindows2000OrLater(int Major, int Minor) {
    return Major > 5 || (Major == 5 && Minor >= 0 && Minor <= 2);
}

bool IsWindowsVistaOrLater() {
    int ma, mi;
    GetWindowsVersion(ma, mi);
    return IsWindowsVistaOrLater(ma, mi);
}

bool IsWindowsXPOrLater() {
    int ma, mi;
    GetWindowsVersion(ma, mi);
    return IsWindowsXPOrLater(ma, mi);
}

bool IsWindows2000OrLater() {
    int ma, mi;
    GetWindowsVersion(ma, mi);
    return IsWindows2000OrLater(ma, mi);
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
    auto* form = dynamic_cast<TForm*>(parent);
    if (form && form->FormStyle() == fsMDIForm && form->ClientHandle()) {
        // What lies under a control on an MDI main form is the client's background.
        HWND client = form->ClientHandle();
        RECT cr{};
        GetWindowRect(client, &cr);
        POINT o{cr.left, cr.top};
        ScreenToClient(form->Handle(), &o);
        SetViewportOrgEx(dc, o.x - Control->Left() - Offset.Left, o.y - Control->Top() - Offset.Top,
                         nullptr);
        SendMessage(client, WM_ERASEBKGND, wp, 0);
    } else {
        SetViewportOrgEx(dc, -Control->Left() - Offset.Left, -Control->Top() - Offset.Top, nullptr);
        IntersectClipRect(dc, 0, 0, parent->Width(), parent->Height());
        parent->Perform(WM_ERASEBKGND, wp, 0);
        if (!form) parent->Perform(WM_PAINT, wp, 0);
    }
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
    // What the display shows, not the drawing layer's own screen surface.
    const int w = Bitmap->Width(), h = Bitmap->Height();
    HBITMAP shot = display::Current().CaptureScreen(RECT{X, Y, X + w, Y + h});
    if (!shot) return;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, shot);
    BitBlt(Bitmap->Canvas()->Handle(), 0, 0, w, h, dc, 0, 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(shot);
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

// ---- Skin image building and regions ----------------------------------------------------

TFBitmap::TFBitmap(HBITMAP Source) {
    BITMAP bm;
    if (!Source || !GetObject(Source, sizeof(BITMAP), &bm) || bm.bmWidth <= 0 || bm.bmHeight == 0)
        return;
    Width = bm.bmWidth;
    Height = std::abs(bm.bmHeight);
    Gap = Width % 4;
    RowInc = 3 * Width + Gap;
    Size = RowInc * Height;
    bmHeader.biSize = 40;
    bmHeader.biWidth = Width;
    bmHeader.biHeight = -Height;
    bmHeader.biPlanes = 1;
    bmHeader.biBitCount = 24;
    bmHeader.biCompression = BI_RGB;
    bmInfo.bmiHeader = bmHeader;
    void* bits = nullptr;
    Handle = CreateDIBSection(nullptr, &bmInfo, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!Handle) {
        Width = Height = Size = 0;
        return;
    }
    Bits = static_cast<uint8_t*>(bits);
    HDC screen = GetScreenDC();
    GetDIBits(screen, Source, 0, UINT(Height), Bits, &bmInfo, DIB_RGB_COLORS);
    ReleaseScreenDC(screen);
    for (int y = 0; y < Height; ++y)
        Pixels.push_back(Bits + size_t(y) * size_t(RowInc));
    hDC = CreateCompatibleDC(nullptr);
    SelectObject(hDC, Handle);
}

TFBitmap::~TFBitmap() {
    if (hDC) DeleteDC(hDC);
    if (Handle) DeleteObject(Handle);
}

namespace {

bool hasPixels(TBitmap* b) {
    return b && !b->Empty();
}

// One-to-one copy of a piece of src (bitmap coordinates) to (dx, dy).
void copyPiece(TBitmap* dst, int dx, int dy, TBitmap* src, int sx, int sy, int w, int h) {
    if (w <= 0 || h <= 0 || !hasPixels(dst) || !hasPixels(src)) return;
    BitBlt(dst->Canvas()->Handle(), dx, dy, w, h, src->Canvas()->Handle(), sx, sy, SRCCOPY);
}

// The piece S of src stretched over D of dst, through a bitmap of its own size.
void stretchPiece(TBitmap* dst, const TRect& D, TBitmap* src, const TRect& S) {
    if (S.Width() <= 0 || S.Height() <= 0 || D.Width() <= 0 || D.Height() <= 0) return;
    if (!hasPixels(dst) || !hasPixels(src)) return;
    TBitmap tmp(S.Width(), S.Height());
    copyPiece(&tmp, 0, 0, src, S.Left, S.Top, S.Width(), S.Height());
    StretchBlt(dst->Canvas()->Handle(), D.Left, D.Top, D.Width(), D.Height(),
               tmp.Canvas()->Handle(), 0, 0, S.Width(), S.Height(), SRCCOPY);
}

// Pieces of length L laid from a to b along x, ((b - a) div L) + 1 times,
// the last one cut where it passes b; a piece of length 0 is skipped.
void tileX(TBitmap* dst, int a, int b, int dy, int h, TBitmap* src, int sx, int sy, int L) {
    if (L <= 0 || h <= 0) return;
    int n = (b - a) / L + 1;
    for (int i = 0; i < n; ++i) {
        int x = a + i * L;
        copyPiece(dst, x, dy, src, sx, sy, std::min(L, b - x), h);
    }
}

void tileY(TBitmap* dst, int a, int b, int dx, int w, TBitmap* src, int sx, int sy, int L) {
    if (L <= 0 || w <= 0) return;
    int n = (b - a) / L + 1;
    for (int i = 0; i < n; ++i) {
        int y = a + i * L;
        copyPiece(dst, dx, y, src, sx, sy, w, std::min(L, b - y));
    }
}

// A piece of src (S) over D: stretched, or tiled along the axis.
void sidePiece(TBitmap* dst, const TRect& D, TBitmap* src, const TRect& S, bool stretch,
               bool horizontal) {
    if (stretch) {
        stretchPiece(dst, D, src, S);
    } else if (horizontal) {
        tileX(dst, D.Left, D.Right, D.Top, std::min(S.Height(), D.Height()), src, S.Left, S.Top,
              S.Width());
    } else {
        tileY(dst, D.Top, D.Bottom, D.Left, std::min(S.Width(), D.Width()), src, S.Left, S.Top,
              S.Height());
    }
}

// A corner piece copied one to one, cut to its destination.
void cornerPiece(TBitmap* dst, const TRect& D, TBitmap* src, const TRect& S) {
    copyPiece(dst, D.Left, D.Top, src, S.Left, S.Top, std::min(S.Width(), D.Width()),
              std::min(S.Height(), D.Height()));
}

// The client part S filling Cl: stretched by StretchType or tiled.
void clientPiece(TBitmap* dst, const TRect& Cl, TBitmap* src, const TRect& S, bool stretchEffect,
                 TspStretchType type) {
    int cw = S.Width(), ch = S.Height(), nw = Cl.Width(), nh = Cl.Height();
    if (cw <= 0 || ch <= 0 || nw <= 0 || nh <= 0) return;
    if (stretchEffect) {
        if (type == spstFull) {
            stretchPiece(dst, Cl, src, S);
            return;
        }
        bool horz = type == spstHorz;
        int pw = horz ? cw : nw, ph = horz ? nh : ch;
        TBitmap piece(pw, ph);
        stretchPiece(&piece, TRect(0, 0, pw, ph), src, S);
        if (horz)
            tileX(dst, Cl.Left, Cl.Right, Cl.Top, ph, &piece, 0, 0, pw);
        else
            tileY(dst, Cl.Top, Cl.Bottom, Cl.Left, pw, &piece, 0, 0, ph);
        return;
    }
    for (int j = 0; j < nh / ch + 1; ++j) {
        int y = Cl.Top + j * ch;
        for (int i = 0; i < nw / cw + 1; ++i) {
            int x = Cl.Left + i * cw;
            copyPiece(dst, x, y, src, S.Left, S.Top, std::min(cw, Cl.Right - x),
                      std::min(ch, Cl.Bottom - y));
        }
    }
}

TRect shifted(const TRect& r, const TRect& R) {
    return TRect(r.Left + R.Left, r.Top + R.Top, r.Right + R.Left, r.Bottom + R.Top);
}

void buildNinePart(TPoint LTPt, TPoint RTPt, TPoint LBPt, TPoint RBPt, TRect ClRect,
                   TPoint NewLTPoint, TPoint NewRTPoint, TPoint NewLBPoint, TPoint NewRBPoint,
                   TRect NewClRect, TBitmap* B, TBitmap* SB, TRect R, int W, int H, bool DrawClient,
                   bool LeftStretch, bool TopStretch, bool RightStretch, bool BottomStretch,
                   bool StretchEffect, TspStretchType StretchType, bool NoRight) {
    if (!B) return;
    B->SetSize(std::max(W, 0), std::max(H, 0));
    if (RBPt.X == LTPt.X || RBPt.Y == LTPt.Y || !hasPixels(SB) || B->Empty()) return;
    int pw = R.Width(), ph = R.Height();
    auto src = [&](int l, int t, int r, int b) { return shifted(TRect(l, t, r, b), R); };
    int topRight = NoRight ? W : NewRTPoint.X, bottomRight = NoRight ? W : NewRBPoint.X;
    sidePiece(B, TRect(NewLTPoint.X, 0, topRight, NewClRect.Top), SB,
              src(LTPt.X, 0, RTPt.X, ClRect.Top), TopStretch, true);
    sidePiece(B, TRect(NewLBPoint.X, NewClRect.Bottom, bottomRight, H), SB,
              src(LBPt.X, ClRect.Bottom, RBPt.X, ph), BottomStretch, true);
    sidePiece(B, TRect(0, NewLTPoint.Y, NewClRect.Left, NewLBPoint.Y), SB,
              src(0, LTPt.Y, ClRect.Left, LBPt.Y), LeftStretch, false);
    if (!NoRight)
        sidePiece(B, TRect(NewClRect.Right, NewRTPoint.Y, W, NewRBPoint.Y), SB,
                  src(ClRect.Right, RTPt.Y, pw, RBPt.Y), RightStretch, false);

    cornerPiece(B, TRect(0, 0, NewLTPoint.X, NewClRect.Top), SB, src(0, 0, LTPt.X, ClRect.Top));
    cornerPiece(B, TRect(0, NewClRect.Top, NewClRect.Left, NewLTPoint.Y), SB,
                src(0, ClRect.Top, ClRect.Left, LTPt.Y));
    if (!NoRight) {
        cornerPiece(B, TRect(NewRTPoint.X, 0, W, NewClRect.Top), SB,
                    src(RTPt.X, 0, pw, ClRect.Top));
        cornerPiece(B, TRect(NewClRect.Right, NewClRect.Top, W, NewRTPoint.Y), SB,
                    src(ClRect.Right, ClRect.Top, pw, RTPt.Y));
    }
    cornerPiece(B, TRect(0, NewLBPoint.Y, NewClRect.Left, H), SB, src(0, LBPt.Y, ClRect.Left, ph));
    cornerPiece(B, TRect(NewClRect.Left, NewClRect.Bottom, NewLBPoint.X, H), SB,
                src(ClRect.Left, ClRect.Bottom, LBPt.X, ph));
    if (!NoRight) {
        cornerPiece(B, TRect(NewRBPoint.X, NewClRect.Bottom, W, H), SB,
                    src(RBPt.X, ClRect.Bottom, pw, ph));
        cornerPiece(B, TRect(NewClRect.Right, NewRBPoint.Y, W, NewClRect.Bottom), SB,
                    src(ClRect.Right, RBPt.Y, pw, ClRect.Bottom));
    }
    if (DrawClient) {
        TRect cl = NewClRect;
        if (NoRight) cl.Right = W;
        clientPiece(B, cl, SB, shifted(ClRect, R), StretchEffect, StretchType);
    }
}

} // namespace

void BuildSkinImage(TPoint LTPt, TPoint RTPt, TPoint LBPt, TPoint RBPt, TRect ClRect,
                    TPoint NewLTPoint, TPoint NewRTPoint, TPoint NewLBPoint, TPoint NewRBPoint,
                    TRect NewClRect, TBitmap* B, TBitmap* SB, TRect R, int W, int H,
                    bool DrawClient, bool LeftStretch, bool TopStretch, bool RightStretch,
                    bool BottomStretch, bool StretchEffect, TspStretchType StretchType) {
    buildNinePart(LTPt, RTPt, LBPt, RBPt, ClRect, NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint,
                  NewClRect, B, SB, R, W, H, DrawClient, LeftStretch, TopStretch, RightStretch,
                  BottomStretch, StretchEffect, StretchType, false);
}

void BuildPopupSkinImage(TPoint LTPt, TPoint RTPt, TPoint LBPt, TPoint RBPt, TRect ClRect,
                         TPoint NewLTPoint, TPoint NewRTPoint, TPoint NewLBPoint, TPoint NewRBPoint,
                         TRect NewClRect, TBitmap* B, TBitmap* SB, TRect R, int W, int H,
                         bool DrawClient, bool LeftStretch, bool TopStretch, bool RightStretch,
                         bool BottomStretch, bool StretchEffect, TspStretchType StretchType) {
    buildNinePart(LTPt, RTPt, LBPt, RBPt, ClRect, NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint,
                  NewClRect, B, SB, R, W, H, DrawClient, LeftStretch, TopStretch, RightStretch,
                  BottomStretch, StretchEffect, StretchType, false);
}

void BuildSkinImageNoRight(TPoint LTPt, TPoint RTPt, TPoint LBPt, TPoint RBPt, TRect ClRect,
                           TPoint NewLTPoint, TPoint NewRTPoint, TPoint NewLBPoint,
                           TPoint NewRBPoint, TRect NewClRect, TBitmap* B, TBitmap* SB, TRect R,
                           int W, int H, bool DrawClient, bool LeftStretch, bool TopStretch, bool,
                           bool BottomStretch, bool StretchEffect, TspStretchType StretchType) {
    buildNinePart(LTPt, RTPt, LBPt, RBPt, ClRect, NewLTPoint, NewRTPoint, NewLBPoint, NewRBPoint,
                  NewClRect, B, SB, R, W, H, DrawClient, LeftStretch, TopStretch, false,
                  BottomStretch, StretchEffect, StretchType, true);
}

void BuildStretchedSkinImage(TBitmap* B, TBitmap* SB, TRect R, TRect C, bool DrawClient) {
    if (!B) return;
    TPoint lt(C.Left, C.Top), rt(C.Right, C.Top), lb(C.Left, C.Bottom), rb(C.Right, C.Bottom);
    TRect n = C;
    n.Right += B->Width() - R.Width();
    n.Bottom += B->Height() - R.Height();
    buildNinePart(lt, rt, lb, rb, C, TPoint(n.Left, n.Top), TPoint(n.Right, n.Top),
                  TPoint(n.Left, n.Bottom), TPoint(n.Right, n.Bottom), n, B, SB, R, B->Width(),
                  B->Height(), DrawClient, true, true, true, true, true, spstFull, false);
}

namespace {

void buildLine(int A, int Bend, TBitmap* B, TBitmap* SB, TRect R, int Len, bool Stretch,
               bool Horizontal, bool NoEnd) {
    if (!B) return;
    int cross = Horizontal ? R.Height() : R.Width(), full = Horizontal ? R.Width() : R.Height();
    if (Horizontal)
        B->SetSize(std::max(Len, 0), std::max(cross, 0));
    else
        B->SetSize(std::max(cross, 0), std::max(Len, 0));
    if (!hasPixels(SB) || B->Empty()) return;
    auto along = [&](int from, int to) { // a span along the axis, across the whole width
        return Horizontal ? TRect(from, 0, to, cross) : TRect(0, from, cross, to);
    };
    auto source = [&](int from, int to) { return shifted(along(from, to), R); };
    if (A != 0) {
        TRect s = source(0, A);
        copyPiece(B, 0, 0, SB, s.Left, s.Top, s.Width(), s.Height());
    }
    if (Bend != 0 && !NoEnd) {
        TRect s = source(full - Bend, full), d = along(Len - Bend, Len);
        copyPiece(B, d.Left, d.Top, SB, s.Left, s.Top, s.Width(), s.Height());
    }
    int d = full - A - Bend;
    if (d <= 0) return; // a middle of length 0 leaves the span blank
    int spanEnd = NoEnd ? Len : Len - Bend;
    TRect mid = source(A, A + d);
    if (Stretch) {
        stretchPiece(B, along(A, spanEnd), SB, mid);
    } else if (spanEnd - A >= 0) {
        if (Horizontal)
            tileX(B, A, spanEnd, 0, cross, SB, mid.Left, mid.Top, d);
        else
            tileY(B, A, spanEnd, 0, cross, SB, mid.Left, mid.Top, d);
    }
}

} // namespace

void BuildHorzSkinImage(int ALeftOffset, int ARightOffset, TBitmap* B, TBitmap* SB, TRect R,
                        int AWidth, int, bool AStretch) {
    buildLine(ALeftOffset, ARightOffset, B, SB, R, AWidth, AStretch, true, false);
}

void BuildHorzSkinImageNoRight(int ALeftOffset, int ARightOffset, TBitmap* B, TBitmap* SB, TRect R,
                               int AWidth, int, bool AStretch) {
    buildLine(ALeftOffset, ARightOffset, B, SB, R, AWidth, AStretch, true, true);
}

void BuildVertSkinImage(int ATopOffset, int ABottomOffset, TBitmap* B, TBitmap* SB, TRect R, int,
                        int AHeight, bool AStretch) {
    buildLine(ATopOffset, ABottomOffset, B, SB, R, AHeight, AStretch, false, false);
}

void BuildSkinBorderImages(TPoint LTPt, TPoint RTPt, TPoint LBPt, TPoint RBPt, TRect ClRect,
                           TPoint NewLTPoint, TPoint NewRTPoint, TPoint NewLBPoint,
                           TPoint NewRBPoint, TRect NewClRect, TBitmap* LeftB, TBitmap* TopB,
                           TBitmap* RightB, TBitmap* BottomB, TBitmap* SB, TRect R, int W, int H,
                           bool LeftStretch, bool TopStretch, bool RightStretch,
                           bool BottomStretch) {
    if (!hasPixels(SB) || !LeftB || !TopB || !RightB || !BottomB) return;
    int pw = R.Width(), ph = R.Height();
    auto src = [&](int l, int t, int r, int b) { return shifted(TRect(l, t, r, b), R); };
    // A strip of size w by h whose middle is src piece m, laid over [a, b)
    // (stretched) or tiled from 0 across it, along x (horizontal) or y.
    auto strip = [&](TBitmap* s, int w, int h, const TRect& m, int a, int b, bool stretch,
                     bool horizontal) {
        s->SetSize(w, h);
        if (stretch)
            stretchPiece(s, horizontal ? TRect(a, 0, b, h) : TRect(0, a, w, b), SB, m);
        else if (horizontal)
            tileX(s, 0, w, 0, std::min(m.Height(), h), SB, m.Left, m.Top, m.Width());
        else
            tileY(s, 0, h, 0, std::min(m.Width(), w), SB, m.Left, m.Top, m.Height());
    };
    int th = NewClRect.Top;
    if (W > 0 && th > 0 && RTPt.X > LTPt.X) {
        strip(TopB, W, th, src(LTPt.X, 0, RTPt.X, th), NewLTPoint.X, NewRTPoint.X, TopStretch,
              true);
        copyPiece(TopB, 0, 0, SB, R.Left, R.Top, std::min(LTPt.X, NewLTPoint.X), th);
        copyPiece(TopB, NewRTPoint.X, 0, SB, R.Left + RTPt.X, R.Top,
                  std::min(pw - RTPt.X, W - NewRTPoint.X), th);
    }
    int bh = H - NewClRect.Bottom;
    if (W > 0 && bh > 0 && RBPt.X > LBPt.X) {
        strip(BottomB, W, bh, src(LBPt.X, ph - bh, RBPt.X, ph), NewLBPoint.X, NewRBPoint.X,
              BottomStretch, true);
        copyPiece(BottomB, 0, 0, SB, R.Left, R.Top + ph - bh, std::min(LBPt.X, NewLBPoint.X), bh);
        copyPiece(BottomB, NewRBPoint.X, 0, SB, R.Left + RBPt.X, R.Top + ph - bh,
                  std::min(pw - RBPt.X, W - NewRBPoint.X), bh);
    }
    int sh = H - BottomB->Height() - TopB->Height();
    // Side strips: middle rows of the side, then its fixed ends over them.
    auto side = [&](TBitmap* s, int x0, int w, int topY, int bottomY, bool stretch) {
        strip(s, w, sh, src(x0, topY, x0 + w, bottomY), topY - ClRect.Top,
              sh + bottomY - ClRect.Bottom, stretch, false);
        if (topY > ClRect.Top)
            copyPiece(s, 0, 0, SB, R.Left + x0, R.Top + ClRect.Top, w, topY - ClRect.Top);
        if (ClRect.Bottom > bottomY)
            copyPiece(s, 0, sh - (ClRect.Bottom - bottomY), SB, R.Left + x0, R.Top + bottomY, w,
                      ClRect.Bottom - bottomY);
    };
    if (NewClRect.Left > 0 && sh > 0 && LBPt.Y > LTPt.Y)
        side(LeftB, 0, NewClRect.Left, LTPt.Y, LBPt.Y, LeftStretch);
    if (W - NewClRect.Right >= 1 && sh >= 1 && RBPt.Y > RTPt.Y)
        side(RightB, ClRect.Right, W - NewClRect.Right, RTPt.Y, RBPt.Y, RightStretch);
}

void BuildSkinMaskSides(TPoint LTPt, TPoint RTPt, TPoint LBPt, TPoint RBPt, TRect ClRect,
                        TPoint NewLTPoint, TPoint NewRTPoint, TPoint NewLBPoint, TPoint NewRBPoint,
                        TRect NewClRect, TBitmap* Mask, TBitmap* TopB, TBitmap* LeftB,
                        TBitmap* RightB, TBitmap* BottomB, int W, int) {
    if (!hasPixels(Mask) || !TopB || !LeftB || !RightB || !BottomB) return;
    int mw = Mask->Width(), mh = Mask->Height(), nh = NewClRect.Height();
    // Rows a..b of the mask's columns x0..x0 + w, repeated down a strip of
    // height nh, then the fixed rows above and below them.
    auto side = [&](TBitmap* s, int x0, int w, int a, int b) {
        s->SetSize(w, nh);
        if (b - a > 0) tileY(s, 0, nh, 0, w, Mask, x0, a, b - a);
        if (a - ClRect.Top > 0) copyPiece(s, 0, 0, Mask, x0, ClRect.Top, w, a - ClRect.Top);
        if (ClRect.Bottom - b > 0)
            copyPiece(s, 0, nh - (ClRect.Bottom - b), Mask, x0, b, w, ClRect.Bottom - b);
    };
    if (ClRect.Left > 0 && nh > 0) side(LeftB, 0, ClRect.Left, LTPt.Y, LBPt.Y);
    if (mw - ClRect.Right > 0 && nh > 0)
        side(RightB, ClRect.Right, mw - ClRect.Right, RTPt.Y, RBPt.Y);
    // Columns a..b repeated from na and cut at nb, then the fixed ends.
    auto band = [&](TBitmap* s, int y0, int h, int a, int b, int na, int nb) {
        s->SetSize(W, h);
        int L = b - a;
        if (L > 0)
            for (int i = 0; i < W / L + 1; ++i) {
                int x = na + i * L;
                copyPiece(s, x, 0, Mask, a, y0, std::min(L, nb - x), h);
            }
        copyPiece(s, 0, 0, Mask, 0, y0, a, h);
        copyPiece(s, nb, 0, Mask, b, y0, mw - b, h);
    };
    if (W > 0 && ClRect.Top > 0)
        band(TopB, 0, ClRect.Top, LTPt.X, RTPt.X, NewLTPoint.X, NewRTPoint.X);
    if (W >= 1 && mh - ClRect.Bottom >= 1)
        band(BottomB, ClRect.Bottom, mh - ClRect.Bottom, LBPt.X, RBPt.X, NewLBPoint.X,
             NewRBPoint.X);
}

int MaskToRegionData(TBitmap* Mask, int X, int Y, std::vector<uint8_t>& Data) {
    Data.clear();
    if (!hasPixels(Mask)) return 0;
    TFBitmap m(Mask->Handle());
    if (!m.Bits) return 0;
    // The run list grows as the mask needs; no fixed buffer.
    std::vector<RECT> runs;
    for (int y = 0; y < m.Height; ++y) {
        const uint8_t* row = m.Pixels[size_t(y)];
        int x = 0;
        while (x < m.Width) {
            while (x < m.Width && (row[3 * x] | row[3 * x + 1] | row[3 * x + 2]) != 0)
                ++x;
            if (x >= m.Width) break;
            int x0 = x;
            while (x < m.Width && (row[3 * x] | row[3 * x + 1] | row[3 * x + 2]) == 0)
                ++x;
            runs.push_back(RECT{x0 + X, y + Y, x + X, y + Y + 1});
        }
    }
    size_t size = sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT);
    Data.assign(size, 0);
    RGNDATAHEADER h;
    h.dwSize = 32;
    h.iType = RDH_RECTANGLES;
    h.nCount = DWORD(runs.size());
    h.nRgnSize = 0;
    h.rcBound = RECT{X, Y, X + m.Width, Y + m.Height};
    std::memcpy(Data.data(), &h, sizeof(h));
    if (!runs.empty())
        std::memcpy(Data.data() + sizeof(h), runs.data(), runs.size() * sizeof(RECT));
    return int(size);
}

void MaskToRegion(HRGN& Rgn, TBitmap* Mask) {
    Rgn = nullptr;
    std::vector<uint8_t> data;
    int size = MaskToRegionData(Mask, 0, 0, data);
    if (size == 0) return;
    Rgn = ExtCreateRegion(nullptr, DWORD(size), reinterpret_cast<const RGNDATA*>(data.data()));
}

void BuildSkinMaskRegion(HRGN& Rgn, TPoint LTPt, TPoint RTPt, TPoint LBPt, TPoint RBPt,
                         TRect ClRect, TPoint NewLTPoint, TPoint NewRTPoint, TPoint NewLBPoint,
                         TPoint NewRBPoint, TRect NewClRect, TBitmap* Mask, int W, int H) {
    Rgn = nullptr;
    if (NewRTPoint.X < NewLTPoint.X || NewLBPoint.Y < NewLTPoint.Y) return;
    TBitmap top, left, right, bottom;
    BuildSkinMaskSides(LTPt, RTPt, LBPt, RBPt, ClRect, NewLTPoint, NewRTPoint, NewLBPoint,
                       NewRBPoint, NewClRect, Mask, &top, &left, &right, &bottom, W, H);
    if (IsEmptyRect(NewClRect)) return;
    Rgn = CreateRectRgn(NewClRect.Left, NewClRect.Top, NewClRect.Right, NewClRect.Bottom);
    const std::pair<TBitmap*, TPoint> strips[] = {
        {&top, TPoint(0, 0)},
        {&bottom, TPoint(0, NewClRect.Bottom)},
        {&left, TPoint(0, NewClRect.Top)},
        {&right, TPoint(NewClRect.Right, NewClRect.Top)},
    };
    for (const auto& [b, at] : strips) {
        if (b->Width() <= 0 || b->Height() <= 0) continue;
        std::vector<uint8_t> data;
        int size = MaskToRegionData(b, at.X, at.Y, data);
        if (size == 0) continue;
        HRGN part =
            ExtCreateRegion(nullptr, DWORD(size), reinterpret_cast<const RGNDATA*>(data.data()));
        if (!part) continue;
        CombineRgn(Rgn, Rgn, part, RGN_OR);
        DeleteObject(part);
    }
}
