#include "download/SingleDownloader.h"

#include "download_test_support.h"
#include "platform/os/codepage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <vector>

using dltest::DrainThreads;
using dltest::PumpUntil;
using httptest::ReadWholeFile;
using httptest::TempFolder;
using httptest::TestHttpServer;
using httptest::WriteWholeFile;

namespace {

// What one request reported.
struct Outcome {
    int done = 0;
    int errors = 0;
    std::string text;
    std::string fileName;
    std::int64_t fileSize = -1;
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    bool Ended() const { return done + errors > 0; }
};

void Bind(TSingleDownloader& d, Outcome& o) {
    d.OnDoneString = [&o](TObject*, const std::string& s) {
        ++o.done;
        o.text = s;
    };
    d.OnDoneFile = [&o](TObject*, const std::string& f, std::int64_t n) {
        ++o.done;
        o.fileName = f;
        o.fileSize = n;
    };
    d.OnError = [&o](TObject*) { ++o.errors; };
    d.OnProgress = [&o](TObject*, std::int64_t total, std::int64_t read) {
        o.progress.emplace_back(total, read);
    };
}

class SingleDownloaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& s = server.Server();
        s.Get("/text/ansi", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("caf\xE9", "text/plain");
        });
        s.Get("/text/utf16", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string("H\0\xE9\0!\0", 6), "text/plain");
        });
        s.Get("/text/utf8", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("\xE6\x97\xA5\xE6\x9C\xAC", "text/plain");
        });
        s.Get("/file", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(100000, 'f'), "application/octet-stream");
        });
        s.Get("/empty", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("", "application/octet-stream");
        });
        s.Get("/nolength", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider("application/octet-stream",
                                     [](size_t offset, httplib::DataSink& sink) {
                                         if (offset == 0)
                                             sink.write("abcdef", 6);
                                         else
                                             sink.done();
                                         return true;
                                     });
        });
        s.Get("/error", [](const httplib::Request&, httplib::Response& res) {
            res.status = 500;
            res.set_content("server error page", "text/html");
        });
        s.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/text/utf8");
        });
        s.Get("/drop", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(100000, "application/octet-stream",
                                     [](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset > 0) return false;
                                         std::string part(40000, 'd');
                                         sink.write(part.data(), part.size());
                                         return true;
                                     });
        });
        s.Get("/huge", [](const httplib::Request&, httplib::Response& res) {
            // A length beyond any file: one byte comes, then the connection ends.
            res.set_content_provider(static_cast<size_t>(-1), "application/octet-stream",
                                     [](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset > 0) return false;
                                         sink.write("x", 1);
                                         return true;
                                     });
        });
        s.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
            server.WaitWhileRunning(5000);
            res.set_content("late", "text/plain");
        });
        s.Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
            std::string answer = req.get_header_value("Content-Type") + "|" + req.body;
            for (const auto& [name, file] : req.files)
                answer +=
                    "|" + name + ":" + file.filename + ":" + file.content_type + ":" + file.content;
            res.set_content(answer, "text/plain");
        });
        server.Start();
    }
    void TearDown() override {
        EXPECT_TRUE(DrainThreads());
        server.Stop();
    }

    // Runs one fetch and waits for its outcome.
    Outcome Fetch(const std::string& path, bool toFile, THttpCharset charset = KAnsi,
                  const std::string& fileName = "") {
        TSingleDownloader d(nullptr);
        Outcome o;
        Bind(d, o);
        d.URL = path.rfind("http", 0) == 0 ? path : server.Url(path);
        d.HttpCharset = charset;
        d.FileName = fileName;
        toFile ? d.GetFile() : d.GetString();
        EXPECT_TRUE(PumpUntil([&] { return o.Ended(); }));
        return o;
    }

    TestHttpServer server;
    TempFolder folder;
};

TEST_F(SingleDownloaderTest, TextInEachCharset) {
    ASSERT_TRUE(SetAnsiCodePage("WINDOWS-1252"));
    struct Case {
        std::string path;
        THttpCharset charset;
        std::string text;
    };
    for (const Case& c :
         {Case{"/text/ansi", KAnsi, "caf\xC3\xA9"}, Case{"/text/utf16", KUnicode, "H\xC3\xA9!"},
          Case{"/text/utf8", KUTF8, "\xE6\x97\xA5\xE6\x9C\xAC"},
          Case{"/moved", KUTF8, "\xE6\x97\xA5\xE6\x9C\xAC"},
          Case{"/error", KAnsi, "server error page"}}) {
        SCOPED_TRACE(c.path);
        Outcome o = Fetch(c.path, false, c.charset);
        EXPECT_EQ(o.done, 1);
        EXPECT_EQ(o.errors, 0);
        EXPECT_EQ(o.text, c.text);
    }
    SetAnsiCodePage("");
}

TEST_F(SingleDownloaderTest, FileFetchReplacesTheTargetOnlyAfterAWholeBody) {
    // A temporary folder of the test's own: tests running beside it make
    // their temporary files in the system's.
    const std::string temporary = folder.File("temporary");
    std::filesystem::create_directories(temporary);
    const char* const systemTemporary = std::getenv("TMPDIR");
    const std::string previousTemporary = systemTemporary ? systemTemporary : "";
    setenv("TMPDIR", temporary.c_str(), 1);
    const std::string target = folder.File("sub/dir/out.bin");
    Outcome ok = Fetch("/file", true, KAnsi, target);
    EXPECT_EQ(ok.done, 1);
    EXPECT_EQ(ok.fileName, target);
    EXPECT_EQ(ok.fileSize, 100000);
    EXPECT_EQ(ReadWholeFile(target), std::string(100000, 'f'));
    ASSERT_FALSE(ok.progress.empty());
    EXPECT_EQ(ok.progress.back().first, 100000);
    EXPECT_EQ(ok.progress.back().second, 100000);

    // Failures leave what was there before.
    for (const std::string path :
         {"/empty", "/nolength", "/error", "/missing", "/drop", "/huge", "/stall"}) {
        SCOPED_TRACE(path);
        dltest::ShortTimeouts timeouts;
        WriteWholeFile(target, "previous");
        Outcome o = Fetch(path, true, KAnsi, target);
        EXPECT_EQ(o.done, 0);
        EXPECT_EQ(o.errors, 1);
        EXPECT_EQ(ReadWholeFile(target), "previous");
    }
    // No temporary file is left behind in the temporary folder.
    EXPECT_TRUE(DrainThreads());
    int leftovers = 0;
    for (const auto& e : std::filesystem::directory_iterator(temporary))
        if (e.path().filename().string().rfind("sg", 0) == 0 && e.path().extension() == ".tmp")
            ++leftovers;
    EXPECT_EQ(leftovers, 0);
    if (systemTemporary)
        setenv("TMPDIR", previousTemporary.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

TEST_F(SingleDownloaderTest, TextFetchRules) {
    // Without a length the text still arrives, and progress has no total.
    Outcome o = Fetch("/nolength", false);
    EXPECT_EQ(o.text, "abcdef");
    ASSERT_FALSE(o.progress.empty());
    EXPECT_EQ(o.progress.front().first, 0);

    // BinaryData refuses an answer without a length; empty bodies fail.
    TSingleDownloader d(nullptr);
    Outcome binary;
    Bind(d, binary);
    d.BinaryData = true;
    d.URL = server.Url("/nolength");
    d.GetString();
    ASSERT_TRUE(PumpUntil([&] { return binary.Ended(); }));
    EXPECT_EQ(binary.errors, 1);
    EXPECT_EQ(Fetch("/empty", false).errors, 1);
}

TEST_F(SingleDownloaderTest, BadAddressesFail) {
    for (const std::string& url :
         {std::string("http:///nohost"), std::string("http://127.0.0.1:99999/"),
          std::string("http://user@127.0.0.1/"), std::string("ftp://127.0.0.1/x"),
          "http://127.0.0.1:" + std::to_string(server.Port()) + "x/"}) {
        SCOPED_TRACE(url);
        Outcome o = Fetch(url, false);
        EXPECT_EQ(o.errors, 1);
    }
}

TEST_F(SingleDownloaderTest, PostValuesAndMultipartBodies) {
    ASSERT_TRUE(SetAnsiCodePage("WINDOWS-1252"));
    TSingleDownloader d(nullptr);
    Outcome o;
    Bind(d, o);
    d.URL = server.Url("/echo");
    TStringList values;
    values.Add("name=Jos\xC3\xA9 & co");
    values.Add("n2=a=b");
    d.SetPostValues(values);
    EXPECT_EQ(d.PostQuery, "name=Jos%E9+%26+co&n2=a%3Db");
    d.GetString();
    ASSERT_TRUE(PumpUntil([&] { return o.Ended(); }));
    EXPECT_EQ(o.text, "application/x-www-form-urlencoded|name=Jos%E9+%26+co&n2=a%3Db");

    const std::string picture = folder.File("pic.JPG");
    const std::string bytes("\xFF\xD8\x00\x01\r\n--x", 9);
    WriteWholeFile(picture, bytes);
    TStringList files;
    files.Add("upload=" + picture);
    TStringList fields;
    fields.Add("title=a b");
    d.SetUploadFiles(fields, files);
    EXPECT_EQ(d.ContentType,
              "Content-Type: multipart/form-data; boundary=---------------------------989989989");
    Outcome multipart;
    Bind(d, multipart);
    d.GetString();
    ASSERT_TRUE(PumpUntil([&] { return multipart.Ended(); }));
    SetAnsiCodePage("");
    EXPECT_EQ(multipart.text.substr(0, multipart.text.find('|')),
              "multipart/form-data; boundary=---------------------------989989989");
    EXPECT_NE(multipart.text.find("|title:::a+b"), std::string::npos) << multipart.text;
    const std::string part = "|upload:" + picture + ":image/pjpeg:";
    const size_t at = multipart.text.find(part);
    ASSERT_NE(at, std::string::npos) << multipart.text;
    // The echo comes back through the code page: the file's bytes as they were sent.
    EXPECT_EQ(multipart.text.substr(at + part.size()),
              std::string("\xC3\xBF\xC3\x98\x00\x01\r\n--x", 11));

    TStringList missing;
    missing.Add("upload=" + folder.File("nothing.png"));
    EXPECT_THROW(d.SetUploadFiles(fields, missing), EFOpenError);
}

TEST_F(SingleDownloaderTest, HttpsWithTheTestCertificate) {
    TestHttpServer secure(true);
    secure.Server().Get("/s", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("over tls", "text/plain");
    });
    secure.Start();
    InternetSetCertificateFile(TestHttpServer::CertificateFile());
    Outcome o = Fetch(secure.Url("/s"), false);
    EXPECT_EQ(o.text, "over tls");
    // The same server is refused without the certificate.
    InternetSetCertificateFile("");
    EXPECT_EQ(Fetch(secure.Url("/s"), false).errors, 1);
    EXPECT_TRUE(DrainThreads());
}

TEST_F(SingleDownloaderTest, AbortSilencesTheRequestAndASecondStartIsIgnored) {
    std::atomic<int> logLines{0};
    std::atomic<bool> aborted{false};
    std::atomic<int> linesAfterAbort{0};
    {
        TSingleDownloader d(nullptr);
        Outcome o;
        Bind(d, o);
        d.OnLog = [&](const std::string&) {
            ++logLines;
            if (aborted) ++linesAfterAbort;
        };
        d.URL = server.Url("/stall");
        d.GetString();
        EXPECT_TRUE(d.Busy());
        d.OnLog = nullptr;
        d.URL = server.Url("/text/utf8");
        d.GetString(); // ignored: the first still runs
        ASSERT_TRUE(PumpUntil([&] { return logLines > 3; }));
        d.Abort();
        aborted = true;
        EXPECT_FALSE(d.Busy());
        // A new request may start at once and reports normally.
        d.GetString();
        ASSERT_TRUE(PumpUntil([&] { return o.Ended(); }));
        EXPECT_EQ(o.done, 1);
        EXPECT_EQ(o.text, "\xE6\x97\xA5\xE6\x9C\xAC");
        EXPECT_EQ(o.errors, 0);
        // Destroying the component with a request in flight is silent too.
        d.URL = server.Url("/stall");
        d.GetString();
    }
    EXPECT_TRUE(DrainThreads());
    EXPECT_EQ(linesAfterAbort.load(), 0);
}

TEST_F(SingleDownloaderTest, WaitThreadReturnsWithTheOutcome) {
    TSingleDownloader d(nullptr);
    Outcome o;
    Bind(d, o);
    d.WaitThread = true;
    d.URL = server.Url("/text/utf8");
    d.GetString();
    EXPECT_EQ(o.done, 1);
    EXPECT_TRUE(d.Result());
}

TEST(HttpTransferTest, AFullDiskFailsAndKeepsTheTarget) {
    TestHttpServer server;
    server.Server().Get("/big", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string(300000, 'b'), "application/octet-stream");
    });
    server.Start();
    TempFolder folder;
    const std::string target = folder.File("song.mtd");
    WriteWholeFile(target, "kept");
    // Writes to the temporary file end as they do on a full disk.
    std::filesystem::create_symlink("/dev/full", target + ".part");

    THttpTransfer t;
    t.URL = server.Url("/big");
    t.FileName = target;
    t.TempFileName = target + ".part";
    t.ToFile = true;
    t.Run();
    EXPECT_FALSE(t.Result);
    EXPECT_NE(t.ErrorText.find("Cannot write"), std::string::npos) << t.ErrorText;
    EXPECT_EQ(ReadWholeFile(target), "kept");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(target + ".part")));
}

} // namespace
