#include "platform/os/codepage.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

struct ForcedCodePage {
    explicit ForcedCodePage(const char* name) { EXPECT_TRUE(SetAnsiCodePage(name)); }
    ~ForcedCodePage() { SetAnsiCodePage(""); }
};

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(CodePageTest, SettingAndRestoring) {
    std::string locale = AnsiCodePage();
    EXPECT_FALSE(locale.empty());
    EXPECT_NE(locale, "ANSI_X3.4-1968"); // plain ASCII locales read as UTF-8
    EXPECT_TRUE(SetAnsiCodePage("windows-1252"));
    EXPECT_EQ(AnsiCodePage(), "WINDOWS-1252");
    EXPECT_FALSE(AnsiCodePageIsUtf8());
    EXPECT_FALSE(SetAnsiCodePage("NO-SUCH-CHARSET"));
    EXPECT_EQ(AnsiCodePage(), "WINDOWS-1252");
    EXPECT_TRUE(SetAnsiCodePage(""));
    EXPECT_EQ(AnsiCodePage(), locale);
}

TEST(CodePageTest, AsciiOnlyLocalesReadAsUtf8) {
    const char* old = std::getenv("LC_ALL");
    std::string saved = old ? old : "";
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(AnsiCodePage(), "UTF-8");
    EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD"), "\xE4\xB8\xAD"); // nothing lost
    setenv("LC_ALL", "no_SUCH.locale", 1);
    EXPECT_EQ(AnsiCodePage(), "UTF-8");
    if (old)
        setenv("LC_ALL", saved.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

TEST(CodePageTest, SingleByteConversions) {
    ForcedCodePage cp("WINDOWS-1252");
    struct Case {
        std::string utf8;
        std::string ansi;
    };
    const Case cases[] = {
        {"plain ASCII", "plain ASCII"},
        {"\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F", "\xE4\xF6\xFC\xDF"},
        {"\xE2\x82\xAC 5", "\x80 5"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi);
        EXPECT_EQ(AnsiToUtf8(c.ansi), c.utf8);
    }
    // Characters the code page lacks become "?"; broken UTF-8 too.
    EXPECT_EQ(Utf8ToAnsi("a\xE4\xB8\xAD"
                         "b\xF0\x9F\x8E\xB5"
                         "c"),
              "a?b?c");
    EXPECT_EQ(Utf8ToAnsi("x\xFF"
                         "y\xC3"),
              "x?y?");
    // Bytes the code page leaves undefined become replacement characters.
    EXPECT_EQ(AnsiToUtf8("\x81z"), kReplacement + "z");
}

// Text that is neither marked nor UTF-8 reads as Windows-1252 whatever the
// ANSI code page, one character per byte, so nothing is lost.
TEST(CodePageTest, SingleByteFallback) {
    EXPECT_TRUE(IsValidUtf8("plain \xC3\xA9 \xE2\x82\xAC"));
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_FALSE(IsValidUtf8("caf\xE9"));
    EXPECT_FALSE(IsValidUtf8("\xC3"));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")); // a surrogate
    EXPECT_EQ(SingleByteFallbackToUtf8("Caf\xE9 \x80\x9F\xFF"),
              "Caf\xC3\xA9 \xE2\x82\xAC\xC5\xB8\xC3\xBF");
    // The bytes Windows-1252 leaves unassigned keep their own code points.
    EXPECT_EQ(SingleByteFallbackToUtf8("\x81\x8D\x8F\x90\x9D"),
              "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
    EXPECT_EQ(SingleByteFallbackToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(CodePageTest, Utf8CodePagePassesTextButMendsBrokenBytes) {
    ForcedCodePage cp("UTF-8");
    EXPECT_TRUE(AnsiCodePageIsUtf8());
    EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD"), "\xE4\xB8\xAD");
    EXPECT_EQ(AnsiToUtf8("ok\xE4"), "ok" + kReplacement);
}

TEST(CodePageTest, MultiByteCodePage) {
    ForcedCodePage cp("GBK");
    EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD"
                         "a"),
              "\xD6\xD0"
              "a");
    EXPECT_EQ(AnsiToUtf8("\xD6\xD0"
                         "a"),
              "\xE4\xB8\xAD"
              "a");
    EXPECT_EQ(AnsiToUtf8("a\xD6"), "a" + kReplacement); // cut in half
}

TEST(CodePageTest, Utf16Conversions) {
    EXPECT_EQ(Utf8ToUtf16("a\xC3\xA4\xE4\xB8\xAD\xF0\x9F\x8E\xB5"),
              (std::u16string{u'a', 0xE4, 0x4E2D, 0xD83C, 0xDFB5}));
    EXPECT_EQ(Utf16ToUtf8(u"a\u00E4\u4E2D\U0001F3B5"), "a\xC3\xA4\xE4\xB8\xAD\xF0\x9F\x8E\xB5");
    // Broken input is replaced, never dropped or crashed on.
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), (std::u16string{0xFFFD, 0xFFFD})); // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), (std::u16string{0xFFFD, 0xFFFD, 0xFFFD}));
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x8E"), (std::u16string{0xFFFD, 0xFFFD, 0xFFFD}));
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800, u'x'}), kReplacement + "x");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00}), kReplacement);
    EXPECT_EQ(SanitizeUtf8("ok\xF4\x90\x80\x80"),
              "ok" + kReplacement + kReplacement + kReplacement + kReplacement);
}

TEST(CodePageTest, ConvertBetweenAnySets) {
    EXPECT_EQ(ConvertCharset("\xE4", "ISO-8859-1", "UTF-8"), "\xC3\xA4");
    EXPECT_EQ(ConvertCharset("\xE4\xB8\xAD", "UTF-8", "ISO-8859-1"), "?");
}

} // namespace
