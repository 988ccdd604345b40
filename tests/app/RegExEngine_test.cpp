#include "app/RegExEngine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Utf8(const std::u16string& s) {
    std::string r;
    for (char16_t c : s) {
        if (c < 0x80) {
            r += static_cast<char>(c);
        } else if (c < 0x800) {
            r += static_cast<char>(0xC0 | (c >> 6));
            r += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            r += static_cast<char>(0xE0 | (c >> 12));
            r += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            r += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return r;
}

// Runs an operation and returns the code of the engine error it raised, 0 when none.
template <typename F> int ErrorCodeOf(F&& f, std::string* AMessage = nullptr) {
    try {
        f();
    } catch (const ERegExEngine& e) {
        if (AMessage) *AMessage = e.what();
        return e.ErrorCode;
    }
    return 0;
}

struct CompileErrorCase {
    std::u16string Pattern;
    std::u16string Modifiers;
    int Code;
};

TEST(RegExEngineCompiler, RefusesBadPatternsWithTheirCodes) {
    const std::u16string fifteenGroups = u"(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)";
    const CompileErrorCase cases[] = {
        {u"a**", u"", 107},          {u"a{2}{3}", u"", 107},
        {u"a+?*", u"", 107},         {u"*a", u"", 115},
        {u"a|?", u"", 115},          {u"(ab", u"", 103},
        {u"ab)", u"", 104},          {u"(a|)*", u"", 106},
        {u"(a?)+", u"", 106},        {u"(a*){2}", u"", 106},
        {fifteenGroups, u"", 102},   {u"a{3,2}", u"", 124},
        {u"a{123456789}", u"", 122}, {u"a{1,123456789}", u"", 122},
        {u"[z-a]", u"", 109},        {u"[\u0430-\u042F]", u"-r", 109},
        {u"[ab", u"", 113},          {u"[ab\\", u"", 110},
        {u"[a-\\", u"", 110},        {u"ab\\", u"", 116},
        {u"\\x", u"", 111},          {u"\\x4", u"", 111},
        {u"\\x{12", u"", 111},       {u"\\xg1", u"", 108},
        {u"\\x4g", u"", 108},        {u"[\\x{1z}]", u"", 108},
        {u"\\x{12345}", u"", 112},   {u"(?#note", u"", 125},
        {u"(?:a)", u"", 127},        {u"(?iq)a", u"", 127},
        {u"(?i", u"", 127},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.Pattern));
        TRegExEngine re;
        re.SetModifierStr(c.Modifiers);
        re.SetExpression(c.Pattern);
        EXPECT_EQ(ErrorCodeOf([&] { re.Compile(); }), c.Code);
        EXPECT_EQ(re.LastError(), c.Code);
        EXPECT_EQ(re.LastError(), 0);
        // A failed compilation leaves no program: the next match fails the same way.
        EXPECT_EQ(ErrorCodeOf([&] { re.Exec(u"aaa"); }), c.Code);
    }
}

TEST(RegExEngineCompiler, MessageCarriesTextAndPosition) {
    TRegExEngine re;
    re.SetExpression(u"a**");
    std::string message;
    try {
        re.Compile();
        FAIL() << "no error";
    } catch (const ERegExEngine& e) {
        EXPECT_STREQ(e.what(), "TRegExEngine(comp): Nested *?+ (pos 2)");
        EXPECT_EQ(e.ErrorCode, 107);
        EXPECT_EQ(e.CompilerErrorPos, 2);
    }
    EXPECT_EQ(re.CompilerErrorPos(), 0); // only meaningful while compiling

    // Errors of the matcher carry no position.
    re.SetExpression(u"a");
    re.SetInputString(u"a");
    EXPECT_EQ(ErrorCodeOf([&] { re.ExecPos(0); }, &message), 1006);
    EXPECT_EQ(message, "TRegExEngine(exec): Offset Must Be Greater Then 0");
}

TEST(RegExEngineCompiler, ErrorMessagesByCode) {
    TRegExEngine re;
    EXPECT_EQ(re.ErrorMsg(0), u"No errors");
    EXPECT_EQ(re.ErrorMsg(104), u"TRegExEngine(comp): ParseReg Unmatched ()");
    EXPECT_EQ(re.ErrorMsg(111), u"TRegExEngine(comp): No Hex Code After \\x");
    EXPECT_EQ(re.ErrorMsg(1015), u"TRegExEngine(exec): Loop Without LoopEntry !");
    EXPECT_EQ(re.ErrorMsg(1013), u"Unknown error");
    EXPECT_EQ(re.ErrorMsg(42), u"Unknown error");
}

TEST(RegExEngineCompiler, FourteenGroupsCompile) {
    TRegExEngine re;
    re.SetExpression(u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(n)");
    ASSERT_TRUE(re.Exec(u"abcdefghijklmn"));
    EXPECT_EQ(re.SubExprMatchCount(), 14);
    EXPECT_EQ(re.GroupText(14), u"n");
}

TEST(RegExEngineCompiler, DumpListsNodesAndHints) {
    TRegExEngine re;
    re.SetExpression(u"a+b");
    EXPECT_EQ(re.Dump(), u" 1:BRANCH (17) \r\n"
                         u" 4:PLUS (12) \r\n"
                         u" 7:EXACTLY (0)a\r\n"
                         u"12:EXACTLY (17) b\r\n"
                         u"17:END (0)\r\n"
                         u"must have b\r\n");
    re.SetExpression(u"^(x){2,3}?\\1");
    const std::u16string dump = re.Dump();
    EXPECT_NE(dump.find(u":BOL"), std::u16string::npos);
    EXPECT_NE(dump.find(u":LOOPENTRY"), std::u16string::npos);
    EXPECT_NE(dump.find(u":OPEN[1]"), std::u16string::npos);
    EXPECT_NE(dump.find(u":CLOSE[1]"), std::u16string::npos);
    EXPECT_NE(dump.find(u":LOOPNG (33)  -> (10) {2,3}"), std::u16string::npos) << Utf8(dump);
    EXPECT_NE(dump.find(u":BSUBEXP (37)  \\1"), std::u16string::npos) << Utf8(dump);
    EXPECT_NE(dump.find(u"anchored "), std::u16string::npos);
}

// A literal U+0000 in a class reads as the end of its set: the dump must not
// walk past the program because of it (found by fuzzing).
TEST(RegExEngineCompiler, DumpStaysInsideTheProgramWithANulInAClass) {
    TRegExEngine re;
    re.SetExpression(u"[+\\x00\\::+\n\x01+]");
    std::u16string dump;
    try {
        dump = re.Dump();
    } catch (const ERegExEngine&) {
        return; // a program it cannot name is an error, not a crash
    }
    EXPECT_NE(dump.find(u"ANYOF"), std::u16string::npos) << Utf8(dump);
}

// A class holding U+0000 keeps every member after it, and nothing reads past
// the program (found by fuzzing); a lone escaped U+0000 never matches.
TEST(RegExEngineCompiler, ClassesHoldALiteralNul) {
    TRegExEngine re;
    re.SetExpression(std::u16string(u"[\\x00") + u'\x07' + u"a]");
    EXPECT_FALSE(re.Exec(u"zzz"));
    ASSERT_TRUE(re.Exec(std::u16string(u"z") + u'\x07'));
    EXPECT_EQ(re.GroupPos(0), 2);
    ASSERT_TRUE(re.Exec(u"zza"));
    EXPECT_EQ(re.GroupPos(0), 3);
    re.SetModifierI(true);
    EXPECT_TRUE(re.Exec(u"zzA"));
    re.SetModifierI(false);
    re.SetExpression(u"[\\x00a]");
    EXPECT_EQ(re.Dump(), std::u16string(u" 1:BRANCH (11) \r\n 4:ANYOF (11) ") + u'\0' +
                             u"a\r\n11:END (0)\r\n\r\n");
    re.SetExpression(u"[^\\x{0}b]+");
    ASSERT_TRUE(re.Exec(u"bxyb"));
    EXPECT_EQ(re.GroupText(0), u"xy");
    re.SetExpression(u"x\\x00|y");
    ASSERT_TRUE(re.Exec(u"xy"));
    EXPECT_EQ(re.GroupPos(0), 2);
    re.SetExpression(u"(\\x00)*z");
    ASSERT_TRUE(re.Exec(u"az"));
    EXPECT_EQ(re.GroupPos(0), 2);
}

// --- Modifiers and properties -------------------------------------------------

TEST(RegExEngineModifiers, ModifierStrReadsAndWrites) {
    TRegExEngine re;
    EXPECT_EQ(re.ModifierStr(), u"gsr-imx");
    re.SetModifierStr(u"imx");
    EXPECT_EQ(re.ModifierStr(), u"xmgsri");

    TRegExEngine b;
    b.SetModifierStr(u"i-s");
    EXPECT_TRUE(b.ModifierI());
    EXPECT_FALSE(b.ModifierS());
    b.SetModifierStr(u"-I");
    EXPECT_FALSE(b.ModifierI());

    TRegExEngine c;
    std::string message;
    EXPECT_EQ(ErrorCodeOf([&] { c.SetModifierStr(u"iq"); }, &message), 1013);
    EXPECT_EQ(message, "Unknown error");
    EXPECT_TRUE(c.ModifierI()); // letters before the bad one stay applied

    EXPECT_EQ(ErrorCodeOf([&] { c.SetModifier(7, true); }), 1013);
    EXPECT_EQ(ErrorCodeOf([&] { c.GetModifier(0); }), 1013);
}

struct ModifierCase {
    std::u16string Pattern;
    std::u16string Modifiers;
    std::u16string Subject;
    int Pos; // 0: no match
    int Len;
};

TEST(RegExEngineModifiers, ChangeWhatMatches) {
    const ModifierCase cases[] = {
        {u"abc", u"", u"xABC", 0, 0},
        {u"abc", u"i", u"xABC", 2, 3},
        {u"[a-c]+", u"i", u"xABCd", 2, 3},
        {u"[^a-c]+", u"i", u"ABCdE", 4, 2},
        {u"(a)\\1", u"i", u"aA", 1, 2},
        {u"\u00E9", u"i", u"\u00C9", 1, 1},
        {u"\u044F", u"i", u"\u042F", 1, 1},
        // No other case from U+20AC on.
        {u"\u2160", u"i", u"\u2170", 0, 0},
        {u"[\u0430-\u044F]", u"", u"\u0451", 1, 1},
        {u"[\u0430-\u044F]", u"-r", u"\u0451", 0, 0},
        {u"[\u0410-\u042F]", u"", u"\u0401", 1, 1},
        {u"[\u0430-\u042F]+", u"", u"\u0401\u0451\u0416", 1, 3},
        {u"a.c", u"", u"a\nc", 1, 3},
        {u"a.c", u"-s", u"a\nc", 0, 0},
        {u"a.c", u"-s", u"abc", 1, 3},
        {u"a+", u"", u"aaa", 1, 3},
        {u"a+", u"-g", u"aaa", 1, 1},
        {u"a+?", u"-g", u"aaa", 1, 1},
        {u"a b # note", u"x", u"xab", 2, 2},
        {u"a b # note", u"x", u"a b", 0, 0},
        {u"a#note\n\nb", u"x", u"ab", 1, 2},
        {u"a b", u"", u"a b", 1, 3},
        {u"((?i)ab)AB", u"", u"aBAB", 1, 4},
        {u"((?i)ab)AB", u"", u"aBab", 0, 0},
        {u"(?i)ab", u"", u"AB", 1, 2},
        {u"(?-i)ab", u"i", u"AB", 0, 0},
        {u"^cd", u"m", u"ab\r\ncd", 5, 2},
        {u"b$", u"m", u"ab\r\ncd", 2, 1},
        {u"^cd", u"", u"ab\r\ncd", 0, 0},
        {u"\r^", u"m", u"ab\r\ncd", 0, 0},
        {u"$\n", u"m", u"ab\r\ncd", 0, 0},
        {u"^b", u"m", u"a\u2028b", 3, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.Pattern) + " /" + Utf8(c.Modifiers) + " on " + Utf8(c.Subject));
        TRegExEngine re;
        re.SetModifierStr(c.Modifiers);
        re.SetExpression(c.Pattern);
        const bool found = re.Exec(c.Subject);
        EXPECT_EQ(found, c.Pos != 0);
        if (found && c.Pos) {
            EXPECT_EQ(re.GroupPos(0), c.Pos);
            EXPECT_EQ(re.GroupLen(0), c.Len);
        }
    }
}

TEST(RegExEngineModifiers, RecompilesOnlyWhenSomethingChanged) {
    TRegExEngine re;
    re.SetExpression(u"[\\w]+");
    ASSERT_TRUE(re.Exec(u"ab"));
    // Classes hold the word units of compile time: writing the same pattern
    // again keeps the program, so "-" stays no member.
    re.SetWordChars(u"-");
    re.SetExpression(u"[\\w]+");
    EXPECT_FALSE(re.Exec(u"--"));
    // A modifier change makes the next match compile again.
    re.SetModifierI(true);
    EXPECT_TRUE(re.Exec(u"--"));

    TRegExEngine ci;
    ci.SetExpression(u"abc");
    EXPECT_FALSE(ci.Exec(u"ABC"));
    ci.SetModifierI(true);
    EXPECT_TRUE(ci.Exec(u"ABC"));
}

TEST(RegExEngineModifiers, LinePairedSeparator) {
    TRegExEngine re;
    EXPECT_EQ(re.LinePairedSeparator(), u"\r\n");
    EXPECT_EQ(ErrorCodeOf([&] { re.SetLinePairedSeparator(u"\n\n"); }), 128);
    EXPECT_EQ(ErrorCodeOf([&] { re.SetLinePairedSeparator(u"a"); }), 128);
    EXPECT_EQ(ErrorCodeOf([&] { re.SetLinePairedSeparator(u"abc"); }), 128);
    EXPECT_EQ(re.LinePairedSeparator(), u"\r\n");
    re.SetLinePairedSeparator(u"");
    EXPECT_EQ(re.LinePairedSeparator(), u"");
    // Without any separator "^" stays the start of the input even with m on.
    re.SetLineSeparators(u"");
    re.SetModifierM(true);
    re.SetExpression(u"^b");
    EXPECT_FALSE(re.Exec(u"a\nb"));
    re.SetLineSeparators(u"\n");
    EXPECT_TRUE(re.Exec(u"a\nb"));
    EXPECT_EQ(re.GroupPos(0), 3);
}

TEST(RegExEngineModifiers, InvertCaseFunction) {
    EXPECT_EQ(TRegExEngine::InvertCaseFunction(u'a'), u'A');
    EXPECT_EQ(TRegExEngine::InvertCaseFunction(u'Z'), u'z');
    EXPECT_EQ(TRegExEngine::InvertCaseFunction(u'1'), u'1');
    EXPECT_EQ(TRegExEngine::InvertCaseFunction(u'\u0451'), u'\u0401');
    EXPECT_EQ(TRegExEngine::InvertCaseFunction(u'\u20AC'), u'\u20AC');

    TRegExEngine re;
    re.SetInvertCase([](char16_t c) { return c == u'a' ? u'*' : c == u'*' ? u'a' : c; });
    re.SetModifierI(true);
    re.SetExpression(u"a[a]");
    EXPECT_TRUE(re.Exec(u"**"));
    EXPECT_FALSE(re.Exec(u"AA"));
}

// --- Matcher -----------------------------------------------------------------------

struct MatchCase {
    std::u16string Pattern;
    std::u16string Subject;
    int Pos; // 0: no match
    int Len;
    std::u16string Group1;
};

TEST(RegExEngineMatcher, MatchesTableOfPatterns) {
    const MatchCase cases[] = {
        {u"abc", u"xxabcx", 3, 3, u""},
        {u"a*", u"", 1, 0, u""},
        {u"a*", u"bbb", 1, 0, u""},
        {u"a|", u"b", 1, 0, u""},
        {u"^b", u"ab", 0, 0, u""},
        {u"\\Aab", u"ab", 1, 2, u""},
        {u"b\\Z", u"ab", 2, 1, u""},
        {u"^$", u"", 1, 0, u""},
        {u"(a)|b\\1", u"b", 0, 0, u""},
        {u"\\bcat\\b", u"a cat.", 3, 3, u""},
        {u"\\bcat\\b", u"concat", 0, 0, u""},
        {u"\\Bcat", u"concat", 4, 3, u""},
        {u"a{2,3", u"xa{2,3", 2, 5, u""},
        {u"a{2,3", u"aa", 0, 0, u""},
        {u"x{,3}", u"x{,3}", 1, 5, u""},
        {u"a{2}", u"aaa", 1, 2, u""},
        {u"a{2,}", u"aaaa", 1, 4, u""},
        {u"a{2,}?", u"aaaa", 1, 2, u""},
        {u"a{0}b", u"ab", 2, 1, u""},
        {u"a??b", u"ab", 1, 2, u""},
        {u"[]a]+", u"x]a]", 2, 3, u""},
        {u"[a-]+", u"b-a-", 2, 3, u""},
        {u"[\\d-z]+", u"a5-z", 2, 3, u""},
        {u"[a-\\d]+", u"xa-5b", 2, 3, u""},
        {u"[^a-c]+", u"abxyc", 3, 2, u""},
        {u"[\\n\\t]", u"a\tb", 2, 1, u""},
        {u"\\x41\\x{42}\\t", u"AB\t", 1, 3, u""},
        {u"\\d+", u"ab123c", 3, 3, u""},
        {u"\\D\\W\\S", u"1a.b", 2, 3, u""},
        {u"\\s+", u"a \t\r\nb", 2, 4, u""},
        {u"(a|b)*c", u"ababc", 1, 5, u"b"},
        {u"(ab)+", u"xababy", 2, 4, u"ab"},
        {u"(ab)+?", u"xababy", 2, 2, u"ab"},
        {u"(ab)*?c", u"ababc", 1, 5, u"ab"},
        {u"(ab)?c", u"abc", 1, 3, u"ab"},
        {u"(ab)??c", u"abc", 1, 3, u"ab"},
        {u"(ab){2}", u"ababab", 1, 4, u"ab"},
        {u"(ab){2,}", u"ababab", 1, 6, u"ab"},
        {u"(ab){1,2}?", u"ababab", 1, 2, u"ab"},
        {u"(ab){2,3}c", u"abababc", 1, 7, u"ab"},
        {u"(a|ab)(c|bcd)(d*)", u"abcd", 1, 4, u"a"},
        {u"a*?b", u"aab", 1, 3, u""},
        {u"a+?", u"aaa", 1, 1, u""},
        {u".*b", u"aabab", 1, 5, u""},
        {u".*?b", u"aabab", 1, 3, u""},
        {u"(\\w+)@(\\w+)\\.com", u"mail me@host.com now", 6, 11, u"me"},
        {u"(a+)\\1", u"aaaa", 1, 4, u"aa"},
        {u"(a)\\1\\1", u"aaab", 1, 3, u"a"},
        {u"(ab)\\1*c", u"ababc", 1, 5, u"ab"},
        {u"(ab)\\1+c", u"abababc", 1, 7, u"ab"},
        {u"(a*)\\1*b", u"b", 1, 1, u""},
        {u"(a{0,1})*b", u"aab", 1, 3, u"a"},
        {u"(a{0,1})+b", u"b", 1, 1, u""},
        {u"(a{0,1}){2,5}b", u"b", 1, 1, u""},
        {u"(a{0,1}){2,5}?b", u"ab", 1, 2, u""},
        {u"(?#note)ab", u"ab", 1, 2, u""},
        {u"(a|)?b", u"b", 1, 1, u""},
        // A repeat whose successor cannot begin inside its run, at the start
        // of the pattern and further in; bounded, back-referenced and
        // overlapping ones keep every choice.
        {u"(\\w+)@(\\w+)", u"ab cd@ef gh@", 4, 5, u"cd"},
        {u"a*b", u"aaac aab", 6, 3, u""},
        {u"a{1,2}b", u"aaab", 2, 3, u""},
        {u"a{2,}b", u"ab aaab", 4, 4, u""},
        {u"\\w+d", u"abcd", 1, 4, u""},
        {u"(a+)b\\1", u"aaaba", 3, 3, u"a"},
        {u"a+?b", u"aaab", 1, 4, u""},
        {u"a{2,3}?b", u"aaaab", 2, 4, u""},
        {u"x(a+)(b)", u"xaab", 1, 4, u"aa"},
        {u"([a-c]+)z|c", u"abcc", 3, 1, u""},
        // First units searched for as ranges, some above the first 256.
        {u"\\d{3}-\\d{4}", u"12-3456 555-1234", 9, 8, u""},
        {u"[b-dx-z]q", u"aq cq", 4, 2, u""},
        {u"[\u03b1-\u03b3]x", u"\u03b4x \u03b2x", 4, 2, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.Pattern) + " on " + Utf8(c.Subject));
        TRegExEngine re;
        re.SetExpression(c.Pattern);
        const bool found = re.Exec(c.Subject);
        EXPECT_EQ(found, c.Pos != 0);
        if (found && c.Pos) {
            EXPECT_EQ(re.GroupPos(0), c.Pos);
            EXPECT_EQ(re.GroupLen(0), c.Len);
            EXPECT_EQ(re.GroupText(1), c.Group1);
        }
    }
}

// Case-insensitive classes and successors, changed word characters and
// searches that go back: the results stay those of trying every choice.
TEST(RegExEngineMatcher, ShortcutsKeepTheirResults) {
    TRegExEngine re;
    re.SetModifierI(true);
    re.SetExpression(u"[a-z]+k");
    ASSERT_TRUE(re.Exec(u"..abcK"));
    EXPECT_EQ(re.GroupPos(0), 3);
    EXPECT_EQ(re.GroupLen(0), 4);
    re.SetExpression(u"[\u00e0-\u00e5]+\u00c6");
    ASSERT_TRUE(re.Exec(u"x\u00c0\u00e1\u00e6"));
    EXPECT_EQ(re.GroupLen(0), 3);

    // "@" becomes a word character after the pattern was compiled.
    TRegExEngine words;
    words.SetExpression(u"\\w+@x");
    EXPECT_FALSE(words.Exec(u"ab@@x"));
    words.SetWordChars(u"ab@");
    ASSERT_TRUE(words.Exec(u"ab@@x"));
    EXPECT_EQ(words.GroupPos(0), 1);
    EXPECT_EQ(words.GroupLen(0), 5);

    // A required literal is looked for again when a search starts earlier
    // than the last one or the input changes.
    TRegExEngine must;
    must.SetExpression(u"x*bc");
    must.SetInputString(u"bc xbc");
    EXPECT_FALSE(must.ExecPos(6));
    ASSERT_TRUE(must.ExecPos(3));
    EXPECT_EQ(must.GroupPos(0), 4);
    ASSERT_TRUE(must.ExecPos(1));
    EXPECT_EQ(must.GroupPos(0), 1);
    EXPECT_FALSE(must.ExecPos(6));
    must.SetInputString(u"xxxxxxx");
    EXPECT_FALSE(must.ExecPos(1));
    must.SetInputString(u"xxxxxbc");
    ASSERT_TRUE(must.ExecPos(1));
    EXPECT_EQ(must.GroupLen(0), 7);
}

TEST(RegExEngineMatcher, SearchOperations) {
    TRegExEngine re;
    re.SetExpression(u"a*");
    ASSERT_TRUE(re.Exec(u""));
    EXPECT_EQ(re.GroupPos(0), 1);
    EXPECT_EQ(re.GroupLen(0), 0);
    EXPECT_FALSE(re.ExecNext());

    re.SetExpression(u"o");
    re.SetInputString(u"foo boo");
    ASSERT_TRUE(re.ExecPos(4));
    EXPECT_EQ(re.GroupPos(0), 6);
    ASSERT_TRUE(re.ExecNext());
    EXPECT_EQ(re.GroupPos(0), 7);
    EXPECT_FALSE(re.ExecNext());
    EXPECT_EQ(re.GroupPos(0), -1); // a failed search leaves the groups cleared

    re.SetExpression(u"x*");
    re.SetInputString(u"ab");
    EXPECT_FALSE(re.ExecPos(4));
    ASSERT_TRUE(re.ExecPos(3));
    EXPECT_EQ(re.GroupPos(0), 3);
    EXPECT_EQ(re.GroupLen(0), 0);
    EXPECT_EQ(ErrorCodeOf([&] { re.ExecPos(0); }), 1006);

    // Everything after a NUL unit is outside the input.
    re.SetExpression(u"b");
    EXPECT_FALSE(re.Exec(std::u16string(u"a\0b", 3)));
    EXPECT_EQ(re.InputString(), u"a");
}

TEST(RegExEngineMatcher, GroupAccessors) {
    TRegExEngine re;
    EXPECT_EQ(re.SubExprMatchCount(), -1);
    EXPECT_EQ(re.GroupPos(0), -1);
    re.SetExpression(u"(a)(x)?(b)");
    ASSERT_TRUE(re.Exec(u"zab"));
    EXPECT_EQ(re.SubExprMatchCount(), 3);
    EXPECT_EQ(re.GroupPos(1), 2);
    EXPECT_EQ(re.GroupLen(3), 1);
    EXPECT_EQ(re.GroupPos(2), -1);
    EXPECT_EQ(re.GroupLen(2), -1);
    EXPECT_EQ(re.GroupText(2), u"");
    EXPECT_EQ(re.GroupPos(15), -1);
    EXPECT_EQ(re.GroupPos(-1), -1);
    EXPECT_EQ(re.GroupText(15), u"");
    // Writing the input clears the groups.
    re.SetInputString(u"zab");
    EXPECT_EQ(re.SubExprMatchCount(), 0);
}

TEST(RegExEngineMatcher, UsageErrors) {
    TRegExEngine re;
    EXPECT_EQ(ErrorCodeOf([&] { re.Compile(); }), 1003);
    EXPECT_EQ(ErrorCodeOf([&] { re.InputString(); }), 1008);
    re.SetExpression(u"a");
    EXPECT_EQ(ErrorCodeOf([&] { re.ExecPos(1); }), 1005);
    EXPECT_EQ(ErrorCodeOf([&] { re.Substitute(u"$0"); }), 1005);
    re.SetInputString(u"b");
    EXPECT_EQ(ErrorCodeOf([&] { re.ExecNext(); }), 1007);
    re.SetExpression(u"");
    EXPECT_EQ(re.Expression(), u"");
    EXPECT_EQ(ErrorCodeOf([&] { re.Compile(); }), 1003);
}

// Matching, substituting or dumping without a pattern compiles on its own;
// that compile step reports the missing pattern as 100.
TEST(RegExEngineMatcher, AutomaticCompileWithoutPatternIsNullArgument) {
    TRegExEngine re;
    re.SetInputString(u"abc");
    std::string message;
    EXPECT_EQ(ErrorCodeOf([&] { re.ExecPos(1); }, &message), 100);
    EXPECT_EQ(message, "TRegExEngine(comp): Null Argument (pos 0)");
    EXPECT_EQ(ErrorCodeOf([&] { re.Exec(u"abc"); }), 100);
    EXPECT_EQ(ErrorCodeOf([&] { re.Substitute(u"$0"); }), 100);
    EXPECT_EQ(ErrorCodeOf([&] { re.Dump(); }), 100);
    re.SetExpression(u"b");
    EXPECT_TRUE(re.Exec(u"abc"));
}

TEST(RegExEngineMatcher, ElevenNestedComplexLoopsExceedTheLoopStack) {
    std::u16string ten = u"a";
    for (int i = 0; i < 10; ++i)
        ten = u"(" + ten + u"){1,2}";
    TRegExEngine re;
    re.SetExpression(ten);
    EXPECT_TRUE(re.Exec(u"a"));
    re.SetExpression(u"(" + ten + u"){1,2}");
    EXPECT_EQ(ErrorCodeOf([&] { re.Exec(u"a"); }), 1014);
}

TEST(RegExEngineMatcher, DeepRecursionFailsWithAnErrorAndLeavesTheEngineUsable) {
    TRegExEngine re;
    re.SetExpression(u"(ab)*c");
    std::u16string moderate;
    for (int i = 0; i < 200; ++i)
        moderate += u"ab";
    EXPECT_TRUE(re.Exec(moderate + u"c"));
    EXPECT_EQ(re.GroupLen(0), 401);

    std::u16string huge;
    for (int i = 0; i < 1000000; ++i)
        huge += u"ab";
    std::string message;
    EXPECT_EQ(ErrorCodeOf([&] { re.Exec(huge + u"c"); }, &message), 1016);
    EXPECT_EQ(message, "TRegExEngine(exec): Recursion Too Deep");
    EXPECT_TRUE(re.Exec(u"xabc"));
    EXPECT_EQ(re.GroupPos(0), 2);
}

class QuietEngine : public TRegExEngine {
protected:
    void RaiseError(int AErrorID) override { fLastError = AErrorID; }
};

TEST(RegExEngineMatcher, DescendantMayReportWithoutRaising) {
    QuietEngine re;
    re.SetExpression(u"a**");
    EXPECT_FALSE(re.Exec(u"aaa"));
    EXPECT_EQ(re.LastError(), 107);
    EXPECT_EQ(re.Dump(), u"");
    re.SetExpression(u"a");
    EXPECT_FALSE(re.ExecPos(0));
    EXPECT_EQ(re.LastError(), 1006);
    EXPECT_TRUE(re.Exec(u"ba"));
}

// --- Text operations ---------------------------------------------------------------

TEST(RegExEngineText, Substitute) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"$0", u"ab-cd"},   {u"$&", u"ab-cd"},  {u"${0}", u"ab-cd"},    {u"${}", u"ab-cd"},
        {u"${&}", u"ab-cd"}, {u"$2$1", u"cdab"}, {u"<${1}0>", u"<ab0>"}, {u"$15", u""},
        {u"$3", u""},        {u"\\$1", u"$1"},   {u"${1", u"${1"},       {u"$x", u"$x"},
        {u"${x}", u"${x}"},  {u"end$", u"end$"}, {u"a\\", u"a\\"},       {u"\\\\$1", u"\\ab"},
        {u"", u""},
    };
    TRegExEngine re;
    re.SetExpression(u"(\\w+)-(\\w+)");
    ASSERT_TRUE(re.Exec(u"xx ab-cd yy"));
    for (const auto& [tpl, expected] : cases) {
        SCOPED_TRACE(Utf8(tpl));
        EXPECT_EQ(re.Substitute(tpl), expected);
    }
}

TEST(RegExEngineText, Split) {
    TRegExEngine re;
    re.SetExpression(u",");
    std::vector<std::u16string> pieces{u"kept"};
    re.Split(u"a,b,,c", pieces);
    EXPECT_EQ(pieces, (std::vector<std::u16string>{u"kept", u"a", u"b", u"", u"c"}));

    pieces.clear();
    re.Split(u"abc", pieces);
    EXPECT_EQ(pieces, (std::vector<std::u16string>{u"abc"}));

    // Empty matches move on by one unit without losing text.
    re.SetExpression(u"x*");
    pieces.clear();
    re.Split(u"ab", pieces);
    EXPECT_EQ(pieces, (std::vector<std::u16string>{u"", u"a", u"b", u""}));
}

TEST(RegExEngineText, ReplaceAndReplaceEx) {
    TRegExEngine re;
    re.SetExpression(u"(\\w+)@(\\w+)");
    EXPECT_EQ(re.Replace(u"me@host, you@there!", u"$2 at $1", true), u"host at me, there at you!");
    EXPECT_EQ(re.Replace(u"me@host, you@there!", u"$2 at $1", false), u"$2 at $1, $2 at $1!");
    EXPECT_EQ(re.Replace(u"nothing here", u"x", true), u"nothing here");

    re.SetExpression(u"\\d+");
    EXPECT_EQ(re.ReplaceEx(u"a1b22c",
                           [](TRegExEngine& e) {
                               return u"<" + std::u16string(e.GroupLen(0), u'#') + u">";
                           }),
              u"a<#>b<##>c");

    re.SetExpression(u"x*");
    EXPECT_EQ(re.Replace(u"ab", u"-"), u"-a-b-");
}

} // namespace
