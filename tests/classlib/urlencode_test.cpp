#include "classlib/urlencode.h"

#include "platform/os/codepage.h"

#include <gtest/gtest.h>

namespace {

struct ForcedCodePage {
    explicit ForcedCodePage(const char* name) { EXPECT_TRUE(SetAnsiCodePage(name)); }
    ~ForcedCodePage() { SetAnsiCodePage(""); }
};

TEST(FormEncodeTest, KeepsTheUnreservedSetAndEncodesTheRest) {
    struct Case {
        const char* text;
        const char* utf8;
        const char* ansi1252;
    };
    const Case cases[] = {
        {"AZaz09", "AZaz09", "AZaz09"},
        {"@*._-$!'()", "@*._-$!'()", "@*._-$!'()"},
        {"a b", "a+b", "a+b"},
        {"a+b&c=d", "a%2Bb%26c%3Dd", "a%2Bb%26c%3Dd"},
        {"/?#%~\"<>", "%2F%3F%23%25%7E%22%3C%3E", "%2F%3F%23%25%7E%22%3C%3E"},
        {"\r\n\t", "%0D%0A%09", "%0D%0A%09"},
        {"\xC3\xA4", "%C3%A4", "%E4"},        // ä
        {"\xE2\x82\xAC", "%E2%82%AC", "%80"}, // €
        {"\xE4\xB8\xAD", "%E4%B8%AD", "%3F"}, // not in 1252: "?"
    };
    ForcedCodePage cp("WINDOWS-1252");
    for (const Case& c : cases) {
        EXPECT_EQ(FormEncode(c.text, TFormBytes::UTF8), c.utf8) << c.text;
        EXPECT_EQ(FormEncode(c.text, TFormBytes::Ansi), c.ansi1252) << c.text;
    }
}

TEST(FormEncodeTest, AnsiIsUtf8WhenTheLocaleSaysSo) {
    ForcedCodePage cp("UTF-8");
    EXPECT_EQ(FormEncode("\xE4\xB8\xAD x", TFormBytes::Ansi), "%E4%B8%AD+x");
}

TEST(FormDecodeTest, DecodesThroughTheChosenBytes) {
    ForcedCodePage cp("WINDOWS-1252");
    EXPECT_EQ(FormDecode("a+b%20c", TFormBytes::Ansi), "a b c");
    EXPECT_EQ(FormDecode("%e4%E4", TFormBytes::Ansi), "\xC3\xA4\xC3\xA4");
    EXPECT_EQ(FormDecode("%C3%A4", TFormBytes::UTF8), "\xC3\xA4");
    EXPECT_EQ(FormDecode("%C3%A4", TFormBytes::Ansi), "\xC3\x83\xC2\xA4");
    EXPECT_EQ(FormDecode("%FF%FE", TFormBytes::UTF8), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(FormDecode("%2B", TFormBytes::Ansi), "+");
    EXPECT_EQ(FormDecodeBytes("%00x"), std::string("\0x", 2));
    for (const char* bad : {"%", "%4", "a%G1", "%%", "%4x"})
        EXPECT_FALSE(FormDecodeBytes(bad).has_value()) << bad;
}

TEST(FormDecodeTest, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    std::string encoded = FormEncodeBytes(all);
    EXPECT_EQ(encoded.find(' '), std::string::npos);
    EXPECT_EQ(FormDecodeBytes(encoded), all);
    // The title link form: encoded, then every "%" made "%25", decoded twice.
    ForcedCodePage cp("WINDOWS-1252");
    std::string title = "Caf\xC3\xA9 & 100% \"live\"";
    std::string link = FormEncode(title, TFormBytes::Ansi);
    std::string twice;
    for (char c : link)
        twice += c == '%' ? std::string("%25") : std::string(1, c);
    auto once = FormDecodeBytes(twice);
    ASSERT_TRUE(once.has_value());
    EXPECT_EQ(FormDecode(*once, TFormBytes::Ansi), title);
}

} // namespace
