#include "platform/inet/inet.h"

#include "support/httpserver.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using httptest::TestHttpServer;

namespace {

struct Handles {
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
    ~Handles() {
        InternetCloseHandle(request);
        InternetCloseHandle(connection);
        InternetCloseHandle(session);
    }
};

// Opens a request on 127.0.0.1:port; false when a handle could not be made.
bool Open(Handles& h, int port, const std::string& verb, const std::string& object,
          std::uint32_t flags = INTERNET_FLAG_RELOAD, const std::string& agent = "agent-x",
          const std::string& referrer = "") {
    h.session = InternetOpen(agent, INTERNET_OPEN_TYPE_PRECONFIG);
    h.connection =
        InternetConnect(h.session, "127.0.0.1", static_cast<std::uint16_t>(port), "", "");
    if (!h.connection) return false;
    h.request =
        HttpOpenRequest(h.connection, verb, object, "HTTP/1.0", referrer, {"text/*"}, flags);
    return h.request != nullptr;
}

// Reads the whole body in small blocks; false when a read failed.
bool ReadAll(HINTERNET request, std::string& body, std::size_t block = 7) {
    std::string buf(block, '\0');
    for (;;) {
        std::size_t got = 0;
        if (!InternetReadFile(request, buf.data(), buf.size(), got)) return false;
        if (got == 0) return true;
        body.append(buf.data(), got);
    }
}

class InetTest : public ::testing::Test {
protected:
    void SetUp() override { InternetSetTimeouts(2000, 400); }
    void TearDown() override {
        server.Stop();
        InternetSetTimeouts(30000, 30000);
        InternetSetCertificateFile("");
    }
    TestHttpServer server;
};

// The transfer library (and the libraries it needs) is loaded by the first
// session, not with the program.
TEST(InetLibrary, LoadsWithTheFirstSession) {
    auto loaded = [] {
        void* lib = dlopen("libcurl.so.4", RTLD_NOW | RTLD_NOLOAD);
        if (lib) dlclose(lib);
        return lib != nullptr;
    };
    if (loaded()) GTEST_SKIP() << "an earlier test of this process opened a session";
    HINTERNET session = InternetOpen("agent", INTERNET_OPEN_TYPE_PRECONFIG);
    ASSERT_NE(session, nullptr) << InternetGetLastErrorText();
    EXPECT_TRUE(loaded());
    InternetCloseHandle(session);
}

TEST_F(InetTest, GetReadsTheBodyInBlocksAndReportsHeaders) {
    std::string seenAgent, seenReferer, seenAccept, seenPragma;
    server.Server().Get("/page", [&](const httplib::Request& req, httplib::Response& res) {
        seenAgent = req.get_header_value("User-Agent");
        seenReferer = req.get_header_value("Referer");
        seenAccept = req.get_header_value("Accept");
        seenPragma = req.get_header_value("Pragma");
        res.set_content(req.get_param_value("q") + std::string(100, 'x'), "text/plain");
    });
    server.Start();

    Handles h;
    ASSERT_TRUE(Open(h, server.Port(), "GET", "/page?q=abc", INTERNET_FLAG_RELOAD, "agent-x",
                     "http://ref.example/"));
    ASSERT_TRUE(HttpSendRequest(h.request, "", nullptr, 0));
    std::string status, length, type;
    ASSERT_TRUE(HttpQueryInfo(h.request, HTTP_QUERY_STATUS_CODE, status));
    ASSERT_TRUE(HttpQueryInfo(h.request, HTTP_QUERY_CONTENT_LENGTH, length));
    ASSERT_TRUE(HttpQueryInfo(h.request, HTTP_QUERY_CONTENT_TYPE, type));
    EXPECT_EQ(status, "200");
    EXPECT_EQ(length, "103");
    EXPECT_EQ(type, "text/plain");
    // A body of known length is not sent in chunks.
    std::string coding;
    EXPECT_FALSE(HttpQueryInfo(h.request, HTTP_QUERY_TRANSFER_CODING, coding));
    std::string body;
    ASSERT_TRUE(ReadAll(h.request, body));
    EXPECT_EQ(body, "abc" + std::string(100, 'x'));
    EXPECT_EQ(seenAgent, "agent-x");
    EXPECT_EQ(seenReferer, "http://ref.example/");
    EXPECT_EQ(seenAccept, "text/*");
    EXPECT_EQ(seenPragma, "no-cache");
}

TEST_F(InetTest, PostSendsHeadersAndBody) {
    std::string seenType, seenBody, seenMethod;
    server.Server().Post("/form", [&](const httplib::Request& req, httplib::Response& res) {
        seenMethod = req.method;
        seenType = req.get_header_value("Content-Type");
        seenBody = req.body;
        res.set_content("ok", "text/plain");
    });
    server.Start();

    Handles h;
    ASSERT_TRUE(Open(h, server.Port(), "POST", "/form"));
    const std::string body = std::string("a=1&b=\0x", 8);
    ASSERT_TRUE(HttpSendRequest(h.request, "Content-Type: application/x-www-form-urlencoded\r\n",
                                body.data(), body.size()));
    std::string answer;
    ASSERT_TRUE(ReadAll(h.request, answer));
    EXPECT_EQ(answer, "ok");
    EXPECT_EQ(seenMethod, "POST");
    EXPECT_EQ(seenType, "application/x-www-form-urlencoded");
    EXPECT_EQ(seenBody, body);
}

TEST_F(InetTest, RedirectsAreFollowedAndErrorStatusesReported) {
    server.Server().Get(
        "/old", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/new"); });
    server.Server().Get("/new", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("moved here", "text/plain");
    });
    server.Server().Get("/boom", [](const httplib::Request&, httplib::Response& res) {
        res.status = 500;
        res.set_content("server error", "text/plain");
    });
    server.Start();

    struct Case {
        std::string object, status, body;
    };
    for (const Case& c : {Case{"/old", "200", "moved here"}, Case{"/missing", "404", ""},
                          Case{"/boom", "500", "server error"}}) {
        SCOPED_TRACE(c.object);
        Handles h;
        ASSERT_TRUE(Open(h, server.Port(), "GET", c.object));
        ASSERT_TRUE(HttpSendRequest(h.request, "", nullptr, 0));
        std::string status, body;
        ASSERT_TRUE(HttpQueryInfo(h.request, HTTP_QUERY_STATUS_CODE, status));
        EXPECT_EQ(status, c.status);
        ASSERT_TRUE(ReadAll(h.request, body));
        EXPECT_EQ(body, c.body);
    }
}

TEST_F(InetTest, BodyWithoutLengthEndsWhenTheServerCloses) {
    server.Server().Get("/open", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider("application/octet-stream",
                                 [](size_t offset, httplib::DataSink& sink) {
                                     if (offset < 50000) {
                                         std::string block(10000, 'z');
                                         sink.write(block.data(), block.size());
                                     } else {
                                         sink.done();
                                     }
                                     return true;
                                 });
    });
    server.Start();

    Handles h;
    ASSERT_TRUE(Open(h, server.Port(), "GET", "/open"));
    ASSERT_TRUE(HttpSendRequest(h.request, "", nullptr, 0));
    std::string length, body;
    EXPECT_FALSE(HttpQueryInfo(h.request, HTTP_QUERY_CONTENT_LENGTH, length));
    ASSERT_TRUE(ReadAll(h.request, body, 16384));
    EXPECT_EQ(body.size(), 50000u);
}

TEST_F(InetTest, StalledAndDroppedConnectionsFailWithinTheTimeout) {
    server.Server().Get("/stall-body", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(1000, "text/plain",
                                 [this](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset == 0) {
                                         sink.write("0123456789", 10);
                                         return true;
                                     }
                                     server.WaitWhileRunning(5000);
                                     return false;
                                 });
    });
    server.Server().Get("/stall-head", [this](const httplib::Request&, httplib::Response& res) {
        server.WaitWhileRunning(5000);
        res.set_content("late", "text/plain");
    });
    server.Server().Get("/drop", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(1000, "text/plain",
                                 [](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset > 0) return false; // closes the connection
                                     std::string half(500, 'h');
                                     sink.write(half.data(), half.size());
                                     return true;
                                 });
    });
    server.Start();

    for (const std::string object : {"/stall-body", "/stall-head", "/drop"}) {
        SCOPED_TRACE(object);
        const auto start = std::chrono::steady_clock::now();
        Handles h;
        ASSERT_TRUE(Open(h, server.Port(), "GET", object));
        std::string body;
        const bool ok = HttpSendRequest(h.request, "", nullptr, 0) && ReadAll(h.request, body);
        EXPECT_FALSE(ok);
        EXPECT_FALSE(InternetGetLastErrorText().empty());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    }
}

TEST_F(InetTest, AReaderBusyElsewhereIsNoStall) {
    // A first block, then a pause the reader spends mostly elsewhere.
    server.Server().Get("/pause", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(2000, "text/plain",
                                 [this](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset > 0) server.WaitWhileRunning(900);
                                     const std::string half(1000, offset ? 'b' : 'a');
                                     sink.write(half.data(), half.size());
                                     return true;
                                 });
    });
    server.Start();
    Handles h;
    ASSERT_TRUE(Open(h, server.Port(), "GET", "/pause"));
    ASSERT_TRUE(HttpSendRequest(h.request, "", nullptr, 0));
    std::string first(1000, '\0');
    std::size_t got = 0;
    ASSERT_TRUE(InternetReadFile(h.request, first.data(), first.size(), got));
    // Longer than the receive timeout, but the wait for the server is shorter.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    std::string rest;
    ASSERT_TRUE(ReadAll(h.request, rest, 65536)) << InternetGetLastErrorText();
    EXPECT_EQ(got + rest.size(), 2000u);
}

TEST_F(InetTest, CancelCheckEndsAWaitEarly) {
    server.Server().Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
        server.WaitWhileRunning(5000);
        res.set_content("late", "text/plain");
    });
    server.Start();
    InternetSetTimeouts(2000, 10000);

    Handles h;
    ASSERT_TRUE(Open(h, server.Port(), "GET", "/stall"));
    const auto start = std::chrono::steady_clock::now();
    InternetSetCancelCheck(h.request, [start] {
        return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(150);
    });
    EXPECT_FALSE(HttpSendRequest(h.request, "", nullptr, 0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(InetTest, MalformedHostsAndRefusedConnectionsFail) {
    HINTERNET session = InternetOpen("", INTERNET_OPEN_TYPE_DIRECT);
    for (const std::string host : {"", "a b", "user@host", "host/path", "127.0.0.1:80"}) {
        SCOPED_TRACE(host);
        HINTERNET c = InternetConnect(session, host, 80, "", "");
        if (c) {
            // A colon is left for the server to refuse; nothing listens there.
            HINTERNET r = HttpOpenRequest(c, "GET", "/", "HTTP/1.0", "", {}, 0);
            EXPECT_TRUE(r == nullptr || !HttpSendRequest(r, "", nullptr, 0));
            InternetCloseHandle(r);
            InternetCloseHandle(c);
        }
    }
    // Nothing listens on the port of a stopped server.
    server.Start();
    const int port = server.Port();
    server.Stop();
    HINTERNET c = InternetConnect(session, "127.0.0.1", static_cast<std::uint16_t>(port), "", "");
    ASSERT_NE(c, nullptr);
    HINTERNET r = HttpOpenRequest(c, "GET", "/", "HTTP/1.0", "", {}, 0);
    EXPECT_FALSE(HttpSendRequest(r, "", nullptr, 0));
    InternetCloseHandle(session); // parents may go first
    InternetCloseHandle(c);
    InternetCloseHandle(r);
}

TEST(InetHttpsTest, VerifiesThePeerAgainstTheTrustedCertificates) {
    InternetSetTimeouts(2000, 2000);
    TestHttpServer server(true);
    server.Server().Get("/secure", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("secret", "text/plain");
    });
    server.Start();

    for (const bool trusted : {false, true}) {
        SCOPED_TRACE(trusted);
        InternetSetCertificateFile(trusted ? TestHttpServer::CertificateFile() : "");
        Handles h;
        ASSERT_TRUE(Open(h, server.Port(), "GET", "/secure", INTERNET_FLAG_SECURE));
        std::string body;
        const bool ok = HttpSendRequest(h.request, "", nullptr, 0) && ReadAll(h.request, body);
        EXPECT_EQ(ok, trusted);
        EXPECT_EQ(body, trusted ? "secret" : "");
    }
    InternetSetCertificateFile("");
    InternetSetTimeouts(30000, 30000);
}

} // namespace
