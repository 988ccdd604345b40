#include "classlib/sysutils.h"

#include "platform/os/clock.h"
#include "support/tempdir.h"

#include <climits>
#include <gtest/gtest.h>

namespace {

TEST(StrToIntTest, ParsesDecimalAndHexAndFallsBack) {
    struct Case {
        const char* text;
        int32_t expected;
    };
    const Case cases[] = {
        {"12", 12},
        {" 12 ", 12},
        {"+5", 5},
        {"-7", -7},
        {"$10", 16},
        {"0x1F", 31},
        {"0X1f", 31},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        // Not numbers: the default.
        {"", -99},
        {"abc", -99},
        {"12a", -99},
        {"$", -99},
        {"0x", -99},
        {"2147483648", -99},
        {"$1FFFFFFFF", -99},
        {"1 2", -99},
        {"true", -99},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StrToIntDef(c.text, -99), c.expected) << "'" << c.text << "'";
}

TEST(StrToIntTest, StrictFormsRaiseAndSixtyFourBitsHoldLargeValues) {
    EXPECT_THROW(StrToInt("x1"), EConvertError);
    EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(StrToInt64("$FFFFFFFFFF"), 0xFFFFFFFFFFLL);
    EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
    EXPECT_EQ(StrToInt64Def("oops", 3), 3);
}

TEST(NumberTextTest, IntToHexPadsAndUsesUpperCase) {
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToHex(0x1234ABCD, 2), "1234ABCD");
    EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFFFFFFFFFF");
    EXPECT_EQ(IntToStr(-42), "-42");
}

TEST(NumberTextTest, FloatTextReadsBackExactly) {
    EXPECT_EQ(FloatToStr(0.1), "0.1");
    EXPECT_EQ(FloatToStr(100000), "100000");
    EXPECT_EQ(FloatToStr(-2.5), "-2.5");
    EXPECT_EQ(FloatToStr(1e20), "1E20");
    EXPECT_EQ(FloatToStr(1.5e-7), "1.5E-7");
    for (double v : {0.1, 1.0 / 3.0, 46000.123456789, 1e300, -4.9e-324, 123456789012345.6}) {
        double back = 0;
        ASSERT_TRUE(TryStrToFloat(FloatToStr(v), back)) << FloatToStr(v);
        EXPECT_EQ(back, v);
    }
    EXPECT_EQ(StrToFloatDef("1,5", -1), -1);
    EXPECT_EQ(StrToFloatDef(" 2.25 ", -1), 2.25);
    EXPECT_EQ(StrToFloatDef("", -1), -1);
    EXPECT_THROW(StrToFloat("x"), EConvertError);
}

TEST(NumberTextTest, DecimalSeparatorAppliesBothWays) {
    SetDecimalSeparator(',');
    EXPECT_EQ(FloatToStr(1.5), "1,5");
    EXPECT_EQ(StrToFloatDef("1,5", 0), 1.5);
    EXPECT_EQ(StrToFloatDef("1.5", 0), 0);
    SetDecimalSeparator('.');
}

TEST(FormatTest, Specifiers) {
    EXPECT_EQ(Format("%s-%d", "a", 5), "a-5");
    EXPECT_EQ(Format("%5d|%-5d|", 42, 42), "   42|42   |");
    EXPECT_EQ(Format("%05d", -42), "-0042");
    EXPECT_EQ(Format("%.3d", 7), "007");
    EXPECT_EQ(Format("%x %X %.8X", 255, 255, 0x1234), "ff FF 00001234");
    EXPECT_EQ(Format("%u", -1), "4294967295");
    EXPECT_EQ(Format("%u", uint64_t(1) << 40), "1099511627776");
    EXPECT_EQ(Format("%d", int64_t(-9000000000)), "-9000000000");
    EXPECT_EQ(Format("%.2f", 3.14159), "3.14");
    EXPECT_EQ(Format("%8.3f", 2.0), "   2.000");
    EXPECT_EQ(Format("%g", 0.5), "0.5");
    EXPECT_EQ(Format("%e", 1500.0), "1.500000e+03");
    EXPECT_EQ(Format("%n", 1234567.891), "1,234,567.89");
    EXPECT_EQ(Format("%.0n", -1234.0), "-1,234");
    EXPECT_EQ(Format("100%% %s", std::string("done")), "100% done");
    EXPECT_EQ(Format("%1:s %0:s %s", "a", "b", "c"), "b a b");
    EXPECT_EQ(Format("%.3s|%6s", "abcdef", "ab"), "abc|    ab");
    EXPECT_EQ(Format("%c%c", 65, "Bee"), "AB");
    EXPECT_EQ(Format("%c", 0xE4), "\xC3\xA4");
    EXPECT_EQ(Format("%*d|%-*d|", 4, 7, 3, 1), "   7|1  |");
    EXPECT_EQ(Format("%lld %ld %hd %zu", 1LL, 2L, short(3), size_t(4)), "1 2 3 4");
    EXPECT_EQ(Format("%f", 2), "2.000000"); // integers read as floats
    EXPECT_EQ(Format("%d", 2.9), "2");      // and floats as integers
    enum Plain { kSeven = 7 };
    enum class Scoped { kNine = 9 };
    EXPECT_EQ(Format("%d %d", kSeven, Scoped::kNine), "7 9");
    EXPECT_EQ(Format("no args"), "no args");
}

TEST(FormatTest, MisuseRaisesConvertError) {
    EXPECT_THROW(Format("%d %d", 1), EConvertError);
    EXPECT_THROW(Format("%d", "x"), EConvertError);
    EXPECT_THROW(Format("%s", 5), EConvertError);
    EXPECT_THROW(Format("%f", "1.0"), EConvertError);
    EXPECT_THROW(Format("50%"), EConvertError);
    EXPECT_THROW(Format("%q", 1), EConvertError);
    EXPECT_THROW(Format("%d", 1e300), EConvertError);
    EXPECT_THROW(Format("%5:s", "a"), EConvertError);
}

TEST(StringRoutinesTest, TrimRemovesBlanksAndControlCharacters) {
    EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a \x01"), "  a");
    EXPECT_EQ(Trim(" \t "), "");
}

TEST(StringRoutinesTest, CaseAndComparison) {
    EXPECT_EQ(UpperCase("abc-\xC3\xA4"), "ABC-\xC3\xA4"); // ASCII only
    EXPECT_EQ(AnsiUpperCase("stra\xC3\x9F"
                            "e \xC3\xA4\xC3\xB6 \xD0\xB4\xD0\xB0"),
              "STRA\xC3\x9F"
              "E \xC3\x84\xC3\x96 \xD0\x94\xD0\x90");
    EXPECT_EQ(AnsiLowerCase("\xC3\x84Z\xC5\xB9"), "\xC3\xA4z\xC5\xBA");
    EXPECT_EQ(AnsiUpperCase("a\xFF"
                            "b"),
              "A\xFF"
              "B"); // broken bytes pass unchanged
    EXPECT_TRUE(SameText("Settings.MaxTasks", "SETTINGS.maxtasks"));
    EXPECT_FALSE(SameText("abc", "abcd"));
    EXPECT_LT(CompareText("apple", "Banana"), 0);
    EXPECT_GT(CompareStr("apple", "Banana"), 0);
    EXPECT_EQ(CompareText("ABC", "abc"), 0);
    EXPECT_TRUE(AnsiSameText("\xC3\x84rger", "\xC3\xA4RGER"));
}

TEST(StringRoutinesTest, StringReplaceHonoursFlags) {
    EXPECT_EQ(StringReplace("a-a-a", "a", "b", 0), "b-a-a");
    EXPECT_EQ(StringReplace("a-a-a", "a", "b", rfReplaceAll), "b-b-b");
    EXPECT_EQ(StringReplace("A-a-A", "a", "xy", rfReplaceAll | rfIgnoreCase), "xy-xy-xy");
    EXPECT_EQ(StringReplace("A-a", "a", "b", rfReplaceAll), "A-b");
    // Replacement text is never searched again.
    EXPECT_EQ(StringReplace("%%", "%", "%25", rfReplaceAll), "%25%25");
    EXPECT_EQ(StringReplace("abc", "", "x", rfReplaceAll), "abc");
}

TEST(StringRoutinesTest, PositionsAndCopies) {
    EXPECT_EQ(Pos("b", "abcb"), 2u);
    EXPECT_EQ(Pos("z", "abc"), 0u);
    EXPECT_EQ(PosEx("b", "abcb", 3), 4u);
    EXPECT_EQ(Copy("abcdef", 2, 3), "bcd");
    EXPECT_EQ(Copy("abc", 5, 1), "");
    EXPECT_TRUE(StartsText("HTTP", "http://x"));
    EXPECT_FALSE(StartsStr("HTTP", "http://x"));
}

TEST(StringRoutinesTest, QuotingRoundTrips) {
    EXPECT_EQ(QuotedStr("it's"), "'it''s'");
    EXPECT_EQ(AnsiQuotedStr("say \"hi\"", '"'), "\"say \"\"hi\"\"\"");
    for (std::string s : {"", "plain", "it's", "''", "a'b'c"})
        EXPECT_EQ(AnsiDequotedStr(QuotedStr(s), '\''), s);
    EXPECT_EQ(AnsiDequotedStr("abc", '"'), "abc");
    EXPECT_EQ(AnsiDequotedStr("\"abc", '"'), "\"abc");
    size_t pos = 0;
    EXPECT_EQ(AnsiExtractQuotedStr("\"a\"\"b\",rest", pos, '"'), "a\"b");
    EXPECT_EQ(pos, 6u);
}

TEST(FilePathTest, PartsOfNames) {
    EXPECT_EQ(ExtractFilePath("/a/b/c.txt"), "/a/b/");
    EXPECT_EQ(ExtractFileDir("/a/b/c.txt"), "/a/b");
    EXPECT_EQ(ExtractFileDir("/c.txt"), "/");
    EXPECT_EQ(ExtractFileName("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(ExtractFileName("c.txt"), "c.txt");
    EXPECT_EQ(ExtractFilePath("c.txt"), "");
    EXPECT_EQ(ExtractFileExt("/a/c.tar.gz"), ".gz");
    EXPECT_EQ(ExtractFileExt("/a.b/c"), "");
    EXPECT_EQ(ChangeFileExt("/a.b/c", ".x"), "/a.b/c.x");
    EXPECT_EQ(ChangeFileExt("/a/c.mtd", ".mp3"), "/a/c.mp3");
    EXPECT_EQ(ChangeFileExt("/a/c.mtd", ""), "/a/c");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/a/"), "/a/");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("/a//"), "/a");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
    EXPECT_EQ(ExpandFileName("/a/./b/../c"), "/a/c");
    EXPECT_EQ(ExpandFileName("x/y"), IncludeTrailingPathDelimiter(GetCurrentDir()) + "x/y");
}

TEST(FilePathTest, FolderAndFileOperations) {
    TempDir tmp;
    std::string deep = tmp.file("one/two/three");
    EXPECT_FALSE(DirectoryExists(deep));
    EXPECT_TRUE(ForceDirectories(deep + "/"));
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_TRUE(ForceDirectories(deep)); // already there
    EXPECT_FALSE(FileExists(deep));      // a folder is not a file
    EXPECT_FALSE(CreateDir(deep));

    std::string f = tmp.write("one/file.txt", "12345");
    EXPECT_TRUE(FileExists(f));
    EXPECT_EQ(FileSize(f), 5);
    EXPECT_FALSE(ForceDirectories(f + "/sub")); // a file stands in the way
    EXPECT_TRUE(RenameFile(f, tmp.file("one/moved.txt")));
    EXPECT_FALSE(FileExists(f));
    EXPECT_FALSE(DeleteFile(tmp.file("one/two"))); // folders are not deleted as files
    EXPECT_TRUE(DeleteFile(tmp.file("one/moved.txt")));
    EXPECT_FALSE(DeleteFile(tmp.file("one/moved.txt")));
    EXPECT_FALSE(RemoveDir(tmp.file("one/two"))); // not empty
    EXPECT_TRUE(RemoveDir(deep));
    EXPECT_EQ(FileSize(tmp.file("none")), -1);
}

TEST(FilePathTest, ListingMatchesMasksAndAttributes) {
    TempDir tmp;
    tmp.write("lang/English.lan", "x");
    tmp.write("lang/German.LAN", "xy");
    tmp.write("lang/readme.txt", "");
    tmp.write("lang/.hidden.lan", "");
    tmp.write("lang/sub.lan/inner", "");

    auto list = [&](const std::string& mask, int attr) {
        std::vector<std::string> names;
        TSearchRec rec;
        if (FindFirst(tmp.file("lang/") + mask, attr, rec) == 0) {
            do {
                names.push_back(rec.Name + ((rec.Attr & faDirectory) ? "/" : ""));
            } while (FindNext(rec) == 0);
        }
        FindClose(rec);
        return names;
    };
    EXPECT_EQ(list("*.lan", faAnyFile & ~faDirectory & ~faHidden),
              (std::vector<std::string>{"English.lan", "German.LAN"}));
    EXPECT_EQ(list("*.lan", faAnyFile),
              (std::vector<std::string>{".hidden.lan", "English.lan", "German.LAN", "sub.lan/"}));
    EXPECT_EQ(list("G?rman.*", faAnyFile), (std::vector<std::string>{"German.LAN"}));
    EXPECT_TRUE(list("*.mp3", faAnyFile).empty());
    TSearchRec rec;
    EXPECT_NE(FindFirst(tmp.file("missing/*"), faAnyFile, rec), 0);

    EXPECT_TRUE(MatchesMask("abc.LAN", "*.lan"));
    EXPECT_TRUE(MatchesMask("a", "*"));
    EXPECT_TRUE(MatchesMask("aXbXc", "a*b*c"));
    EXPECT_FALSE(MatchesMask("abc", "a?"));
    EXPECT_FALSE(MatchesMask("abcd", "*c"));
}

TEST(DateTimeTest, EpochAndCalendar) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1899, 12, 31), 1.0);
    EXPECT_EQ(EncodeDate(1970, 1, 1), 25569.0);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    EXPECT_EQ(EncodeDate(1899, 12, 29), -1.0);
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
    EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);

    int y, m, d, h, n, s, ms;
    DecodeDate(EncodeDate(2024, 2, 29) + 0.75, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20240229);
    DecodeTime(EncodeDateTime(2024, 2, 29, 23, 59, 58, 999), h, n, s, ms);
    EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + ms, 235958999);
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 10)), 5); // a Thursday
    EXPECT_EQ(DaysBetween(EncodeDate(2026, 1, 1), EncodeDateTime(2026, 1, 11, 12, 0, 0, 0)), 10);
    EXPECT_EQ(DaysBetween(EncodeDateTime(2026, 1, 11, 0, 0, 0, 0), EncodeDate(2026, 1, 1)), 10);
}

TEST(DateTimeTest, UnixSecondsConvertBothWays) {
    EXPECT_EQ(DateTimeToUnix(EncodeDate(1970, 1, 1)), 0);
    EXPECT_EQ(DateTimeToUnix(EncodeDateTime(2001, 9, 9, 1, 46, 40, 0)), 1000000000);
    for (int64_t t : {int64_t(0), int64_t(1), int64_t(1765366015), int64_t(-86401)})
        EXPECT_EQ(DateTimeToUnix(UnixToDateTime(t)), t);
}

TEST(DateTimeTest, FormatPatterns) {
    TDateTime dt = EncodeDateTime(2026, 12, 10, 9, 5, 7, 42);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", dt), "2026-12-10 09:05:07.042");
    EXPECT_EQ(FormatDateTime("yy/m/d h:n:s", dt), "26/12/10 9:5:7");
    EXPECT_EQ(FormatDateTime("hh:mm", dt), "09:05"); // minutes after an hour
    EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(21, 30, 0, 0)), "9:30 pm");
    EXPECT_EQ(FormatDateTime("hh AMPM", EncodeTime(0, 0, 0, 0)), "12 AM");
    EXPECT_EQ(FormatDateTime("dddd d mmmm, ddd mmm", dt), "Thursday 10 December, Thu Dec");
    EXPECT_EQ(FormatDateTime("'at' hh\"h\"", dt), "at 09h");
    EXPECT_EQ(FormatDateTime("YYYYMMDD", dt), "20261210");
    EXPECT_EQ(DateTimeToStr(dt), "2026-12-10 09:05:07");
}

TEST(DateTimeTest, NowFollowsTheLayersClockInLocalTime) {
    os::ManualClock clock(1000, int64_t(86400) * 1000000, 3600);
    os::SetClock(&clock);
    TDateTime now = Now();
    TDateTime today = Date();
    os::SetClock(nullptr);
    EXPECT_NEAR(now, 25570.0 + 1.0 / 24, 1e-9);
    EXPECT_EQ(today, 25570.0);
}

TEST(DateTimeTest, FileTimesRoundTrip) {
    TempDir tmp;
    std::string f = tmp.write("a.txt", "x");
    TDateTime when = EncodeDateTime(2020, 5, 17, 13, 14, 15, 0);
    ASSERT_TRUE(FileSetDate(f, when));
    TDateTime back = 0;
    ASSERT_TRUE(FileAge(f, back));
    EXPECT_NEAR(back, when, 1.0 / SecsPerDay);
    EXPECT_FALSE(FileAge(tmp.file("none"), back));
}

} // namespace
