#include "download/PcreRegex.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::string> AllGroups(TPcreRegex& re, const std::string& subject, int group = 1) {
    std::vector<std::string> out;
    re.SetSubject(subject);
    for (bool ok = re.Match(); ok; ok = re.MatchAgain())
        out.push_back(re.Group(group));
    return out;
}

TEST(PcreRegexTest, SingleLineAndUngreedyFindEveryEntry) {
    const std::string page = "<li>first\nline</li> <li>zweite \xC3\xBC</li>\r\n<li></li>";
    TPcreRegex re("<li>(.*)</li>", TPcreRegex::SingleLine | TPcreRegex::Ungreedy);
    EXPECT_EQ(AllGroups(re, page),
              (std::vector<std::string>{"first\nline", "zweite \xC3\xBC", ""}));

    // Greedy without single-line: one match per line at most.
    TPcreRegex greedy("<li>(.*)</li>");
    EXPECT_EQ(AllGroups(greedy, page), (std::vector<std::string>{"zweite \xC3\xBC", ""}));
}

TEST(PcreRegexTest, CharactersAreUtf8AndEveryNewlineEndsALine) {
    TPcreRegex re("^(.)$", TPcreRegex::MultiLine);
    EXPECT_EQ(AllGroups(re, "\xC3\xA9\r\nx\ry\nz"),
              (std::vector<std::string>{"\xC3\xA9", "x", "y", "z"}));
    // Invalid bytes in the subject never stop the search.
    TPcreRegex word("(b+)");
    EXPECT_EQ(AllGroups(word, "a\xFF\xFE bb \xC3"), (std::vector<std::string>{"bb"}));
}

// One pattern over subjects in turn: valid text, text with invalid bytes
// before, between and after the matches, and valid text again.
TEST(PcreRegexTest, EachSubjectIsTakenAsItIs) {
    TPcreRegex re("(\\w)([^ ]+)");
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"ab \xC3\xA9t\xC3\xA9 c\xF0\x9F\x8E\xB5", {"b", "\xC3\xA9", "\xF0\x9F\x8E\xB5"}},
        {"\xFF"
         "ab cd\xC3",
         {"b", "d"}},
        {"ab\xE2\x82 cd ef", {"b", "d", "f"}},
        {"ab \xED\xA0\x80 cd", {"b", "d"}}, // an encoded surrogate is no character
        {"x\xC0\xAFy zz", {"z"}},           // nor is an overlong form
        {"x", {}},
    };
    for (const auto& [subject, groups] : cases) {
        SCOPED_TRACE(subject);
        EXPECT_EQ(AllGroups(re, subject, 2), groups);
    }
}

TEST(PcreRegexTest, EmptyMatchesAdvanceOneCharacter) {
    TPcreRegex re("x*");
    re.SetSubject("a\xC3\xA9x");
    std::vector<std::pair<size_t, size_t>> spans;
    for (bool ok = re.Match(); ok; ok = re.MatchAgain())
        spans.emplace_back(re.MatchedOffset(), re.MatchedLength());
    EXPECT_EQ(spans, (std::vector<std::pair<size_t, size_t>>{{0, 0}, {1, 0}, {3, 1}, {4, 0}}));
}

TEST(PcreRegexTest, GroupsThatDidNotTakePartAreEmpty) {
    TPcreRegex re("(a)|(b)");
    re.SetSubject("b");
    ASSERT_TRUE(re.Match());
    EXPECT_EQ(re.GroupCount(), 2);
    EXPECT_FALSE(re.GroupMatched(1));
    EXPECT_EQ(re.Group(1), "");
    EXPECT_EQ(re.Group(2), "b");
    EXPECT_EQ(re.Group(7), "");
}

TEST(PcreRegexTest, ReplaceAllExpandsGroups) {
    TPcreRegex tags("<(\\S*?)[^>]*>");
    EXPECT_EQ(tags.ReplaceAll("<b class=x>Bold</b> & <i>it</i>", ""), "Bold & it");
    TPcreRegex swap("(\\w+)=(\\w+)");
    EXPECT_EQ(swap.ReplaceAll("a=1, b=2", "$2=${1}$$"), "1=a$, 2=b$");
}

TEST(PcreRegexTest, BadPatternsRaiseAClearError) {
    TPcreRegex re("(unclosed");
    re.SetSubject("unclosed");
    EXPECT_THROW(re.Match(), EPcreError);
    std::string error;
    EXPECT_FALSE(re.TryCompile(&error));
    EXPECT_NE(error.find("offset"), std::string::npos);
    // Changing the pattern recovers.
    re.SetPattern("(unclosed)");
    EXPECT_TRUE(re.Match());
    std::string group;
    EXPECT_TRUE(TPcreRegex::FirstGroup("id=(\\d+)", "x id=42 y", group));
    EXPECT_EQ(group, "42");
}

} // namespace
