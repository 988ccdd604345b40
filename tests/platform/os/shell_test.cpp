#include "platform/os/process.h"
#include "platform/os/shell.h"

#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        os::SetLaunchHook([this](const std::vector<std::string>& argv, const std::string&) {
            launched.push_back(argv);
            return true;
        });
    }
    void TearDown() override { os::SetLaunchHook(nullptr); }
    std::vector<std::vector<std::string>> launched;
};

TEST_F(ShellTest, WebAddressGoesAsOneArgument) {
    const std::string url = "https://example.test/a b?x=\"1\";rm -rf ~&y=$(id)";
    ASSERT_TRUE(os::OpenWebAddress(url));
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].back(), url);
    EXPECT_TRUE(os::OpenWebAddress("HTTP://example.test/"));
}

TEST_F(ShellTest, OtherSchemesAreRefused) {
    for (const char* url : {"file:///etc/passwd", "javascript:alert(1)", "-e http://x", "http://",
                            "xmd:ACTION=Play", "", "http://a\nb"})
        EXPECT_FALSE(os::OpenWebAddress(url)) << url;
    EXPECT_TRUE(launched.empty());
}

TEST(ShellPathTest, LocalPathOfFileAddresses) {
    const std::pair<std::string, std::string> cases[] = {
        {"/opt/app/res/a b.htm", "/opt/app/res/a b.htm"},
        {"file:///opt/app/a%20b.htm", "/opt/app/a b.htm"},
        {"File://LocalHost/x%2fy", "/x/y"},
        {"file://elsewhere/x", ""},
        {"file:///x%00y", ""}, // a NUL would cut the path
        {"file:x", ""},
        {"res/a.htm", ""},
        {"http://example.test/", ""},
        {"", ""},
    };
    for (const auto& [address, path] : cases)
        EXPECT_EQ(os::LocalPathOfAddress(address), path) << address;
}

TEST_F(ShellTest, DocumentsOpenOnlyAsExistingRegularFiles) {
    TempDir dir;
    const std::string page = dir.write("page.htm", "<p>");
    EXPECT_TRUE(os::OpenDocument(page));
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].back(), page);
    EXPECT_FALSE(os::OpenDocument(dir.path()));
    EXPECT_FALSE(os::OpenDocument(dir.file("missing.htm")));
    EXPECT_FALSE(os::OpenDocument("page.htm"));
    EXPECT_EQ(launched.size(), 1u);
}

TEST(ProcessTest, CommandLinesSplitLikeTheShellQuotesThem) {
    using V = std::vector<std::string>;
    EXPECT_EQ(os::SplitCommandLine("  a  \"b c\"  d\"e f\"g "), (V{"a", "b c", "de fg"}));
    EXPECT_EQ(os::SplitCommandLine("\"say \"\"hi\"\"\" \"\""), (V{"say \"hi\"", ""}));
    EXPECT_EQ(os::SplitCommandLine("\"open"), (V{"open"}));
    EXPECT_TRUE(os::SplitCommandLine("   ").empty());
}

TEST(ProcessTest, StartsRealProgramsAndRefusesMissingOnes) {
    EXPECT_NE(os::StartProcess({"true"}), 0);
    EXPECT_EQ(os::StartProcess({"no-such-program-here-at-all"}), 0);
    EXPECT_EQ(os::StartProcess({}), 0);
}

} // namespace
