#include "download/DownloaderDef.h"

#include "platform/os/codepage.h"

#include <gtest/gtest.h>

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

} // namespace
