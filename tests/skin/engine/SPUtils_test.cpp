#include <gtest/gtest.h>

#include "classlib/inifiles.h"
#include "classlib/streams.h"
#include "classlib/strings.h"
#include "platform/win/metrics.h"
#include "platform/win/window.h"
#include "skin/engine/SPUtils.h"

TEST(SkinValueCodec, RectanglesAndPointsFromText) {
    struct Case {
        const char* text;
        TRect want;
    } cases[] = {
        {"10,20,30,40", TRect(10, 20, 30, 40)}, {"10 , 20 , 30 , 40", TRect(10, 20, 30, 40)},
        {"-5,0,10,10", TRect(-5, 0, 10, 10)}, // the sign is kept
        {"1,2,3,4,5,6,7", TRect(1, 2, 3, 4)}, // extra parts never overrun
        {"x1y,2,3,4z", TRect(1, 2, 3, 4)},
    };
    for (auto& c : cases) {
        TRect r;
        SkinStrToRect(c.text, r);
        EXPECT_EQ(r, c.want) << c.text;
    }
    TPoint p;
    SkinStrToPoint("-3, 7, 9", p);
    EXPECT_EQ(p, TPoint(-3, 7));
    for (const char* bad : {"", "1,2,3", "1,,3,4", "1,2,3,-", "99999999999,0,0,0"}) {
        TRect r(9, 9, 9, 9);
        EXPECT_THROW(SkinStrToRect(bad, r), EConvertError) << bad;
        EXPECT_EQ(r, TRect(9, 9, 9, 9));
    }
}

TEST(SkinValueCodec, IniValuesRoundTripAndDefault) {
    TMemIniFile ini;
    WriteRect(&ini, "S", "r", TRect(-5, 0, 10, 10));
    EXPECT_EQ(ini.ReadString("S", "r", ""), "-5,0,10,10");
    TRect r;
    ReadRect(&ini, "S", "r", r);
    EXPECT_EQ(r, TRect(-5, 0, 10, 10));
    ReadRect(&ini, "S", "missing", r);
    EXPECT_EQ(r, TRect(0, 0, 0, 0));
    TPoint p;
    WritePoint(&ini, "S", "p", TPoint(3, 4));
    ReadPoint(&ini, "S", "p", p);
    EXPECT_EQ(p, TPoint(3, 4));

    ini.WriteString("S", "b2", "2");
    ini.WriteString("S", "bx", "yes");
    ini.WriteString("S", "b1", "1");
    EXPECT_FALSE(ReadBoolean(&ini, "S", "b2"));
    EXPECT_FALSE(ReadBoolean(&ini, "S", "bx"));
    EXPECT_TRUE(ReadBoolean(&ini, "S", "b1"));

    ini.WriteString("S", "f", "fsitalic,fsbold");
    EXPECT_EQ(ReadFontStyles(&ini, "S", "f"), fsBold | fsItalic);
    ini.WriteString("S", "F", "FSBOLD");
    EXPECT_TRUE(ReadFontStyles(&ini, "S", "F").Empty());
    WriteFontStyles(&ini, "S", "w", fsStrikeOut | fsBold);
    EXPECT_EQ(ini.ReadString("S", "w", ""), "fsbold,fsstrikeout");

    struct {
        const char* text;
        TAlignment want;
    } aligns[] = {{"tacenter", taCenter},
                  {"taleftjustify", taLeftJustify},
                  {"Tacenter", taRightJustify},
                  {"tarightjustify", taRightJustify}};
    for (auto& a : aligns) {
        ini.WriteString("A", "a", a.text);
        EXPECT_EQ(ReadAlignment(&ini, "A", "a"), a.want) << a.text;
    }
    EXPECT_EQ(ReadAlignment(&ini, "A", "none"), taCenter);
}

TEST(SkinValueCodec, StringListsInLineAndCountForm) {
    TMemIniFile ini;
    ini.WriteString("L", "itemslinecount", "3");
    ini.WriteString("L", "itemsline0", "first");
    TStringList list;
    list.Add("kept");
    ReadStrings(&ini, "L", "items", &list);
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Strings(1), "first");
    EXPECT_EQ(list.Strings(3), "");

    TStringList src, back;
    src.Add("a");
    src.Add("b");
    WriteStringList(&ini, "C", "names", &src);
    EXPECT_EQ(ini.ReadString("C", "namescount", ""), "2");
    EXPECT_EQ(ini.ReadString("C", "1", ""), "b");
    ReadStringList(&ini, "C", "names", &back);
    EXPECT_EQ(back.Count(), 2);

    // An absurd count in a damaged file does not add billions of items.
    ini.WriteString("D", "xlinecount", "2000000000");
    TStringList none;
    ReadStrings(&ini, "D", "x", &none);
    EXPECT_LE(none.Count(), 1);
}

TEST(SkinValueCodec, StreamStringsCheckTheirLength) {
    TMemoryStream s;
    WriteStreamString(&s, "");
    EXPECT_EQ(s.Size(), 4);
    WriteStreamString(&s, "caf\xC3\xA9");
    EXPECT_EQ(s.Size(), 4 + 4 + 8);
    s.SetPosition(0);
    std::string a = "x", b;
    ReadStreamString(&s, a);
    ReadStreamString(&s, b);
    EXPECT_EQ(a, "");
    EXPECT_EQ(b, "caf\xC3\xA9");

    for (uint32_t count : {100u, 0x80000000u}) {
        TMemoryStream bad;
        uint8_t hdr[6] = {uint8_t(count),
                          uint8_t(count >> 8),
                          uint8_t(count >> 16),
                          uint8_t(count >> 24),
                          'a',
                          0};
        bad.WriteBuffer(hdr, 6);
        bad.SetPosition(0);
        std::string out = "untouched";
        EXPECT_THROW(ReadStreamString(&bad, out), EReadError);
        EXPECT_EQ(out, "untouched");
    }
}

TEST(SkinValueCodec, TokensToRect) {
    struct Case {
        const char* text;
        TRect want;
    } cases[] = {{"10 20 30 40", TRect(10, 20, 30, 40)},    {"10,20,30,40", TRect(10, 20, 30, 40)},
                 {"10; 20; 30; 40", TRect(10, 20, 30, 40)}, {"-1 2 3 4", TRect(-1, 2, 3, 4)},
                 {"(10 20 30 40)", TRect(0, 0, 0, 0)},      {"10 20 x 40", TRect(0, 0, 0, 0)}};
    for (auto& c : cases) {
        TRect r(1, 1, 1, 1);
        TokensToRect(c.text, r);
        EXPECT_EQ(r, c.want) << c.text;
    }
    std::string s = " a=b", t;
    GetNextToken(s, t);
    EXPECT_EQ(t, "");
    EXPECT_EQ(s, "a=b");
    GetNextToken(s, t);
    EXPECT_EQ(t, "a");
    EXPECT_EQ(s, "b");
}

TEST(SkinPlatformHelpers, VersionRules) {
    struct Case {
        int Major, Minor;
        bool W2000, XP, Vista;
    } cases[] = {{4, 10, false, false, false}, {5, 0, true, false, false},
                 {5, 1, true, true, false},    {5, 2, true, false, false}, // 2003: not "XP"
                 {6, 0, true, true, true},     {10, 0, true, true, true}};
    for (const Case& c : cases) {
        EXPECT_EQ(IsWindows2000OrLater(c.Major, c.Minor), c.W2000) << c.Major << "." << c.Minor;
        EXPECT_EQ(IsWindowsXPOrLater(c.Major, c.Minor), c.XP) << c.Major << "." << c.Minor;
        EXPECT_EQ(IsWindowsVistaOrLater(c.Major, c.Minor), c.Vista) << c.Major << "." << c.Minor;
    }
    int ma = 0, mi = 0;
    GetWindowsVersion(ma, mi);
    EXPECT_EQ(IsWindows2000OrLater(), IsWindows2000OrLater(ma, mi));
    EXPECT_EQ(IsWindowsXPOrLater(), IsWindowsXPOrLater(ma, mi));
}

TEST(SkinPlatformHelpers, ScreenAreasFollowTheDisplaysMonitors) {
    // One monitor: the screen and its work area, whatever the window.
    SetMonitors({MonitorDesc{RECT{0, 0, 1600, 900}, RECT{0, 0, 1600, 860}}});
    TRect r;
    EXPECT_FALSE(IsMultiMonitor());
    GetScreenArea(false, r);
    EXPECT_EQ(r, TRect(0, 0, 1600, 900));
    GetScreenArea(true, r);
    EXPECT_EQ(r, TRect(0, 0, 1600, 860));
    GetMonitorArea(0, true, r);
    EXPECT_EQ(r, TRect(0, 0, 1600, 860));

    // Two: a window on the second is measured against that one.
    SetMonitors({MonitorDesc{RECT{0, 0, 1600, 900}, RECT{0, 0, 1600, 860}},
                 MonitorDesc{RECT{1600, 0, 2880, 1024}, RECT{1600, 30, 2880, 1024}}});
    EXPECT_TRUE(IsMultiMonitor());
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "TMonitorProbe";
    RegisterClass(wc);
    HWND w =
        CreateWindowEx(0, "TMonitorProbe", "", WS_POPUP, 2000, 100, 50, 50, 0, 0, nullptr, nullptr);
    GetMonitorArea(w, false, r);
    EXPECT_EQ(r, TRect(1600, 0, 2880, 1024));
    GetMonitorArea(w, true, r);
    EXPECT_EQ(r, TRect(1600, 30, 2880, 1024));
    GetScreenArea(true, r);
    EXPECT_EQ(r, TRect(0, 0, 1600, 860));
    DestroyWindow(w);
    SetMonitors({});

    // True colour is what the screen's depth says.
    HDC dc = GetScreenDC();
    const int depth = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    ReleaseScreenDC(dc);
    EXPECT_EQ(ScreenColorDepth(), depth);
    EXPECT_EQ(IsTrueColorScreen(), depth > 23);
}

TEST(SkinGeometry, RectangleAndPointTests) {
    EXPECT_TRUE(IsEmptyRect(TRect(5, 5, 5, 10)));
    EXPECT_TRUE(RectContainsPoint(TRect(0, 0, 10, 10), TPoint(10, 10)));
    EXPECT_FALSE(RectInsideRect(TRect(2, 2, 10, 10), TRect(0, 0, 10, 10)));
    EXPECT_TRUE(RectInsideRect(TRect(2, 2, 9, 9), TRect(0, 0, 10, 10)));
    EXPECT_TRUE(IsNullPoint(TPoint(0, 5)));
    EXPECT_FALSE(IsNullPoint(TPoint(1, 5)));
    EXPECT_TRUE(IsJpegFileName("a/skin.jpeg"));
    EXPECT_FALSE(IsJpegFileName("a/skin.JPEG"));
    EXPECT_EQ(DarkenColor(TColor(RGB(200, 100, 10)), 50), TColor(RGB(100, 50, 5)));
}

TEST(SkinGeometry, GlyphAndCaptionLayout) {
    struct Case {
        TspButtonLayout layout;
        int gw, margin;
        int tx, ty, gx, gy;
    } cases[] = {
        // R = (0, 0, 100, 40), glyph 16x16 (or none), text 30x12, spacing 4
        {blGlyphLeft, 16, -1, 45, 14, 25, 12},
        {blGlyphLeft, 0, -1, 35, 14, 35, 20}, // text alone, spacing ignored
        {blGlyphLeft, 16, 3, 23, 14, 3, 12},
        {blGlyphRight, 16, -1, 25, 14, 59, 12},
        {blGlyphRight, 16, 3, 47, 14, 81, 12},
        {blGlyphTop, 16, -1, 35, 24, 42, 4},
        {blGlyphBottom, 16, 2, 35, 6, 42, 22},
    };
    for (auto& c : cases) {
        int tx, ty, gx, gy;
        CalcGlyphTextLayout(c.layout, TRect(0, 0, 100, 40), c.gw, c.gw ? 16 : 0, 30, 12, 4,
                            c.margin, tx, ty, gx, gy);
        EXPECT_EQ(tx, c.tx) << c.layout << "/" << c.gw << "/" << c.margin;
        EXPECT_EQ(ty, c.ty) << c.layout << "/" << c.gw << "/" << c.margin;
        EXPECT_EQ(gx, c.gx) << c.layout << "/" << c.gw << "/" << c.margin;
        EXPECT_EQ(gy, c.gy) << c.layout << "/" << c.gw << "/" << c.margin;
    }
}

namespace {

// A white 24-bit canvas with a pinned font, and the set pixels of a colour.
struct Paper {
    TBitmap bmp;
    explicit Paper(int w = 20, int h = 20) {
        bmp.SetPixelFormat(pf24bit);
        bmp.SetSize(w, h);
        bmp.Canvas()->Font()->SetName("DejaVu Sans");
        bmp.Canvas()->Font()->SetHeight(-12);
    }
    TCanvas* c() { return bmp.Canvas(); }
    std::string marks(TColor color) {
        std::string s;
        for (int y = 0; y < bmp.Height(); ++y) {
            for (int x = 0; x < bmp.Width(); ++x)
                s += COLORREF(c()->Pixels(x, y)) == ColorToRGB(color) ? '#' : '.';
            s += '\n';
        }
        return s;
    }
    std::string rows(int y0, int y1, int x0, int x1, TColor color) {
        std::string s;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x)
                s += COLORREF(c()->Pixels(x, y)) == ColorToRGB(color) ? '#' : '.';
            s += '\n';
        }
        return s;
    }
};

} // namespace

TEST(SkinMarks, CheckMarkArrowsAndCloseGlyph) {
    Paper p;
    DrawCheckMark(p.c(), 2, 2, clRed);
    EXPECT_EQ(p.rows(2, 10, 2, 10, clRed), "........\n"
                                           "......#.\n"
                                           ".....##.\n"
                                           "#...###.\n"
                                           "##.###..\n"
                                           "#####...\n"
                                           ".###....\n"
                                           "..#.....\n");
    Paper a;
    DrawArrow(a.c(), TRect(0, 0, 10, 10), clBlack, 4);
    EXPECT_EQ(a.rows(4, 9, 1, 10, clBlack), ".#######.\n"
                                            "..#####..\n"
                                            "...###...\n"
                                            "....#....\n"
                                            ".........\n");
    Paper none;
    DrawArrow(none.c(), TRect(0, 0, 10, 10), clBlack, 5);
    EXPECT_EQ(none.marks(clBlack).find('#'), std::string::npos);
    Paper dd;
    DrawDropDownArrow(dd.c(), TRect(0, 0, 10, 10), clBlack);
    EXPECT_EQ(dd.rows(5, 8, 3, 8, clBlack), "#####\n.###.\n..#..\n");
    Paper x;
    DrawCloseGlyph(x.c(), 0, 0, clBlue);
    EXPECT_EQ(x.rows(0, 3, 0, 11, clBlue), "...........\n.##.....##.\n..##...##..\n");
}

TEST(SkinMarks, CaptionGlyphsWithRectangles) {
    Paper p;
    DrawMaximizeGlyph(p.c(), 0, 0, clBlack);
    EXPECT_EQ(p.rows(0, 4, 0, 12, clBlack), "###########.\n"
                                            "###########.\n"
                                            "#.........#.\n"
                                            "#.........#.\n");
    Paper r;
    DrawRadioMark(r.c(), 1, 1, clGreen);
    EXPECT_EQ(r.rows(0, 8, 0, 8, clGreen), "........\n"
                                           ".######.\n"
                                           ".######.\n"
                                           ".######.\n"
                                           ".######.\n"
                                           ".######.\n"
                                           ".######.\n"
                                           "........\n");
}

TEST(SkinMarks, DottedFocusRectangleWalksClockwise) {
    Paper even;
    even.c()->Font()->SetColor(clBlack);
    DrawDottedFocusRect(even.c(), TRect(0, 0, 5, 5)); // shrunk 4 x 4: first pixel skipped
    EXPECT_EQ(even.rows(0, 5, 0, 5, clBlack), ".#.#.\n"
                                              "#...#\n"
                                              ".....\n"
                                              "#...#\n"
                                              ".#.#.\n");
    Paper odd;
    odd.c()->Font()->SetColor(clBlack);
    DrawDottedFocusRect(odd.c(), TRect(0, 0, 6, 5)); // shrunk 5 x 4: first pixel set
    EXPECT_EQ(odd.rows(0, 5, 0, 6, clBlack), "#.#.#.\n"
                                             ".....#\n"
                                             "#.....\n"
                                             ".....#\n"
                                             "#.#.#.\n");
}

TEST(SkinText, FittingShortensWithEllipsis) {
    Paper p(200, 20);
    std::string s = "A long caption for a narrow place";
    int full = p.c()->TextWidth(s);
    std::string fitted = s;
    FitTextToWidth(p.c(), fitted, full / 2);
    ASSERT_GE(fitted.size(), 4u);
    EXPECT_EQ(fitted.substr(fitted.size() - 3), "...");
    EXPECT_LE(p.c()->TextWidth(fitted), full / 2);
    std::string tiny = s;
    FitTextToWidth(p.c(), tiny, 2);
    EXPECT_EQ(tiny, "...");
    std::u16string w = u"\u00E9t\u00E9 \u00E9t\u00E9 \u00E9t\u00E9 \u00E9t\u00E9";
    FitWideTextToWidth(p.c(), w, WideTextWidth(p.c(), w) - 1);
    EXPECT_EQ(w.substr(w.size() - 3), u"...");
    EXPECT_EQ(WideTextHeight(p.c(), u"x"), p.c()->TextHeight("x"));
}

TEST(SkinText, GlyphStripAndMarkerUnderCaptionlessButton) {
    // Strip of two 4x4 glyphs: red then blue, each on a white background.
    TBitmap strip;
    strip.SetPixelFormat(pf24bit);
    strip.SetSize(8, 4);
    strip.Canvas()->Brush()->SetColor(clWhite);
    strip.Canvas()->FillRect(TRect(0, 0, 8, 4));
    strip.Canvas()->Brush()->SetColor(clRed);
    strip.Canvas()->FillRect(TRect(1, 0, 3, 3));
    strip.Canvas()->Brush()->SetColor(clBlue);
    strip.Canvas()->FillRect(TRect(5, 0, 7, 3));
    Paper p(10, 10);
    p.c()->Brush()->SetColor(clLime);
    p.c()->FillRect(TRect(0, 0, 10, 10));
    DrawGlyphFromStrip(p.c(), 2, 2, &strip, 2, 2);
    EXPECT_EQ(p.rows(2, 6, 2, 6, clBlue), ".##.\n.##.\n.##.\n....\n");
    EXPECT_EQ(COLORREF(p.c()->Pixels(2, 2)), ColorToRGB(clLime)); // white was transparent

    Paper m(20, 20);
    DrawGlyphAndText(m.c(), TRect(0, 0, 20, 20), -1, 4, blGlyphLeft, "", nullptr, 1, 1, true, true,
                     clRed);
    EXPECT_EQ(COLORREF(m.c()->Pixels(4, 5)), ColorToRGB(clRed));
    EXPECT_NE(COLORREF(m.c()->Pixels(4, 4)), ColorToRGB(clRed));
    EXPECT_EQ(COLORREF(m.c()->Pixels(17, 16)), ColorToRGB(clRed));
    EXPECT_NE(COLORREF(m.c()->Pixels(18, 16)), ColorToRGB(clRed));
}
