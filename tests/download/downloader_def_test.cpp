#include "download/DownloaderDef.h"

#include "platform/os/codepage.h"
#include "support/httpserver.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(SplitHttpAddressTest, SchemesHostsPortsAndObjects) {
    struct Case {
        std::string url;
        bool ok;
        bool secure;
        std::string host;
        int port;
        std::string object;
    };
    const Case cases[] = {
        {"http://example.org/a/b?x=1", true, false, "example.org", 80, "/a/b?x=1"},
        {"HTTP://Example.org/", true, false, "Example.org", 80, "/"},
        {"HTTPS://secure.example/p", true, true, "secure.example", 443, "/p"},
        {"example.org/page", true, false, "example.org", 80, "/page"},
        {"http://127.0.0.1:8080/watch?v=1", true, false, "127.0.0.1", 8080, "/watch?v=1"},
        {"https://h:8443/x", true, true, "h", 8443, "/x"},
        {"http://[::1]:81/x", true, false, "[::1]", 81, "/x"},
        {"http://example.org", true, false, "example.org", 80, "/"},
        {"http:///path", false, false, "", 80, "/path"},
        {"", false, false, "", 80, "/"},
        {"http://h:0/", false, false, "h", 80, "/"},
        {"http://h:65536/", false, false, "h", 80, "/"},
        {"http://h:80x/", false, false, "h", 80, "/"},
        {"http://h:/", false, false, "h", 80, "/"},
        {"http://[::1/", false, false, "", 80, "/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        THttpAddress a;
        EXPECT_EQ(SplitHttpAddress(c.url, a), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(a.Secure, c.secure);
        EXPECT_EQ(a.Host, c.host);
        EXPECT_EQ(a.Port, c.port);
        EXPECT_EQ(a.ObjectName, c.object);
    }
}

TEST(HttpBodyToTextTest, EachCharset) {
    // UTF-16LE "Hé" plus an odd byte that is dropped.
    EXPECT_EQ(HttpBodyToText(std::string("H\0\xE9\0X", 5), KUnicode), "H\xC3\xA9");
    EXPECT_EQ(HttpBodyToText("gr\xC3\xBC\xC3\x9F", KUTF8), "gr\xC3\xBC\xC3\x9F");
    EXPECT_EQ(HttpBodyToText("bad \xFF", KUTF8), "bad \xEF\xBF\xBD");

    ASSERT_TRUE(SetAnsiCodePage("WINDOWS-1252"));
    EXPECT_EQ(HttpBodyToText("caf\xE9 \x80", KAnsi), "caf\xC3\xA9 \xE2\x82\xAC");
    // A post body of text goes out in the code page; binary bytes unchanged.
    EXPECT_EQ(PostBodyBytes("q=caf\xC3\xA9"), "q=caf\xE9");
    EXPECT_EQ(PostBodyBytes(std::string("\xFF\xD8\0", 3)), std::string("\xFF\xD8\0", 3));
    SetAnsiCodePage("");
}

TEST(TransferTempNameTest, EachTransferGetsANewFileWithinTheNameLimit) {
    httptest::TempFolder folder;
    std::string accented; // two bytes per letter, so a cut can fall inside one
    for (int i = 0; i < 125; ++i)
        accented += "\xC3\xA9";
    for (const std::string name : {std::string("song.mtd"), std::string(254, 'n'), accented}) {
        SCOPED_TRACE(name.size());
        const std::string target = folder.File(name);
        const std::string first = MakeTransferTempName(target);
        const std::string second = MakeTransferTempName(target);
        ASSERT_FALSE(first.empty());
        EXPECT_NE(first, second);
        for (const std::string& temp : {first, second}) {
            const std::filesystem::path path(temp);
            EXPECT_TRUE(std::filesystem::exists(path));
            EXPECT_EQ(path.parent_path().string() + "/", folder.Path());
            EXPECT_LE(path.filename().string().size(), 255u);
            EXPECT_EQ(path.extension(), ".part");
            EXPECT_EQ(SanitizeUtf8(temp), temp);
        }
    }
    EXPECT_EQ(MakeTransferTempName(folder.File("missing/song.mtd")), "");
}

} // namespace
