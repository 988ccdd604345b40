// Transfers against a server that breaks the protocol: each ends as a
// failure, in bounded time and memory, and leaves the target alone.
#include "download/DownloaderDef.h"

#include "download_test_support.h"
#include "support/rawserver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using httptest::RawConnection;
using httptest::RawServer;
using httptest::ReadWholeFile;
using httptest::TempFolder;
using httptest::WriteWholeFile;

namespace {

// Sends text until the client goes away (or a generous cap is reached).
void SendForever(RawConnection& c, const std::string& piece) {
    for (long sent = 0; sent < 1L << 30 && c.Send(piece); sent += long(piece.size())) {
    }
}

struct HostileCase {
    const char* name;
    RawServer::Handler handler;
    const char* error; // part of the expected error text, "" for any
};

const std::string kOkHead = "HTTP/1.0 200 OK\r\n";

std::vector<HostileCase> Cases() {
    return {
        {"endless headers",
         [](RawConnection& c) {
             c.ReadRequest();
             if (c.Send(kOkHead)) SendForever(c, "X-Filler: " + std::string(100, 'f') + "\r\n");
         },
         "headers are longer"},
        {"one endless header line",
         [](RawConnection& c) {
             c.ReadRequest();
             if (c.Send(kOkHead + "X-Long: ")) SendForever(c, std::string(4096, 'l'));
         },
         ""},
        {"endless body without a length",
         [](RawConnection& c) {
             c.ReadRequest();
             if (c.Send(kOkHead + "\r\n")) SendForever(c, std::string(65536, 'b'));
         },
         ""},
        {"a length far beyond any page",
         [](RawConnection& c) {
             c.ReadRequest();
             if (c.Send(kOkHead + "Content-Length: 9000000000\r\n\r\n"))
                 SendForever(c, std::string(65536, 'b'));
         },
         ""},
        {"a length that is no number",
         [](RawConnection& c) {
             c.ReadRequest();
             c.Send(kOkHead + "Content-Length: twelve\r\n\r\nhello world!");
         },
         ""},
        {"a negative length",
         [](RawConnection& c) {
             c.ReadRequest();
             c.Send(kOkHead + "Content-Length: -5\r\n\r\nhello");
         },
         ""},
        {"fewer bytes than announced",
         [](RawConnection& c) {
             c.ReadRequest();
             c.Send(kOkHead + "Content-Length: 1000\r\n\r\n" + std::string(400, 's'));
         },
         ""},
        {"reset in the middle of the body",
         [](RawConnection& c) {
             c.ReadRequest();
             c.Send(kOkHead + "Content-Length: 100000\r\n\r\n" + std::string(30000, 'r'));
             c.Reset();
         },
         ""},
        {"reset before any answer",
         [](RawConnection& c) {
             c.ReadRequest();
             c.Reset();
         },
         ""},
        {"closed without an answer", [](RawConnection& c) { c.ReadRequest(); }, ""},
        {"a stall after the headers",
         [](RawConnection& c) {
             c.ReadRequest();
             c.Send(kOkHead + "Content-Length: 100\r\n\r\nsome");
             while (!c.Stopping() && c.Send(""))
                 std::this_thread::sleep_for(std::chrono::milliseconds(10));
         },
         ""},
        {"a redirect loop",
         [](RawConnection& c) {
             c.ReadRequest();
             c.Send("HTTP/1.0 302 Found\r\nLocation: /loop\r\nContent-Length: 0\r\n\r\n");
         },
         ""},
        {"a redirect to a local file",
         [](RawConnection& c) {
             c.ReadRequest();
             c.Send("HTTP/1.0 302 Found\r\nLocation: file:///etc/passwd\r\n\r\n");
         },
         ""},
        {"a redirect to another protocol",
         [](RawConnection& c) {
             c.ReadRequest();
             c.Send("HTTP/1.0 301 Moved\r\nLocation: ftp://127.0.0.1/x\r\n\r\n");
         },
         ""},
        {"garbage instead of a status line",
         [](RawConnection& c) {
             c.ReadRequest();
             static const char bytes[] = "\x16\x03\x01\x00\xff garbage\r\n\r\n";
             c.Send(std::string(bytes, sizeof bytes - 1));
         },
         ""},
    };
}

TEST(HostileServerTest, EveryBrokenAnswerFailsInBoundedTime) {
    dltest::ShortTimeouts timeouts(1000);
    TempFolder folder;
    for (const HostileCase& c : Cases()) {
        for (const bool toFile : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (toFile ? ", into a file" : ", as text"));
            RawServer server(c.handler);
            const std::string target = folder.File("target.mp3");
            WriteWholeFile(target, "kept");
            THttpTransfer t;
            t.URL = server.Url("/loop");
            t.ToFile = toFile;
            t.FileName = target;
            if (toFile) t.TempFileName = MakeTransferTempName(target);
            const auto start = std::chrono::steady_clock::now();
            t.Run();
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count();
            EXPECT_FALSE(t.Result);
            EXPECT_NE(t.ErrorText.find(c.error), std::string::npos) << t.ErrorText;
            EXPECT_LT(seconds, 20);
            EXPECT_TRUE(t.StringResult.empty());
            EXPECT_EQ(ReadWholeFile(target), "kept");
            // Redirects are followed a bounded number of times.
            EXPECT_LE(server.Connections(), 12);
            server.Stop();
        }
    }
    int left = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        left += entry.path().filename() != "target.mp3";
    EXPECT_EQ(left, 0);
}

TEST(HostileServerTest, TextAnswersUpToTheLimitAreTaken) {
    // The limit leaves real pages alone: one just below it arrives whole.
    const std::string page(MaxTextBodyBytes, 'p');
    RawServer server([&](RawConnection& c) {
        c.ReadRequest();
        c.Send(kOkHead + "\r\n" + page);
    });
    THttpTransfer t;
    t.URL = server.Url("/page");
    t.Run();
    EXPECT_TRUE(t.Result) << t.ErrorText;
    EXPECT_EQ(t.StringResult.size(), page.size());
}

// A media answer without a length, sent in chunks, is taken whole when its
// last chunk came; cut off before it, or longer than the limit, it fails.
TEST(HostileServerTest, ChunkedFilesAreTakenWholeOnlyAfterTheLastChunk) {
    dltest::ShortTimeouts timeouts(1000);
    const std::string head =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    auto chunk = [](const std::string& bytes) {
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", bytes.size());
        return size + bytes + "\r\n";
    };
    const std::string body = std::string(30000, 'a') + std::string(5000, 'b');
    struct Case {
        const char* name;
        std::string answer;
        std::int64_t limit;
        bool ok;
    };
    const Case cases[] = {
        {"whole", head + chunk(body.substr(0, 30000)) + chunk(body.substr(30000)) + "0\r\n\r\n",
         MaxUnsizedFileBytes, true},
        {"cut before the last chunk", head + chunk(body.substr(0, 30000)), MaxUnsizedFileBytes,
         false},
        {"cut inside a chunk", head + chunk(body).substr(0, 20000), MaxUnsizedFileBytes, false},
        {"longer than the limit", head + chunk(body) + "0\r\n\r\n", 32768, false},
        {"no chunks at all", head + "0\r\n\r\n", MaxUnsizedFileBytes, false},
        {"neither length nor chunks", "HTTP/1.0 200 OK\r\n\r\n" + body, MaxUnsizedFileBytes, false},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server([&](RawConnection& conn) {
            conn.ReadRequest();
            conn.Send(c.answer);
        });
        const std::string target = folder.File("song.mtd");
        WriteWholeFile(target, "kept");
        THttpTransfer t;
        t.URL = server.Url("/media");
        t.ToFile = true;
        t.FileName = target;
        t.MaxUnsizedBytes = c.limit;
        t.TempFileName = MakeTransferTempName(target);
        t.Run();
        EXPECT_EQ(t.Result, c.ok) << t.ErrorText;
        EXPECT_EQ(ReadWholeFile(target), c.ok ? body : "kept");
        if (c.ok) {
            EXPECT_EQ(t.FileSize, std::int64_t(body.size()));
        }
        server.Stop();
    }
}

// What a transfer or a conversion killed half way leaves beside its target
// is found by name and removed; nothing else is.
TEST(TransferTempFiles, LeftoversAreRemovedByName) {
    TempFolder folder;
    const std::string target = folder.File("Song.mp3");
    const std::string made = MakeTransferTempName(target);
    ASSERT_FALSE(made.empty());
    const std::string name = std::filesystem::path(made).filename().string();
    EXPECT_TRUE(IsTransferTempNameOf(name, target));
    WriteWholeFile(made + "~", "tag copy");
    const std::vector<std::string> kept = {"Song.mp3",
                                           "Song.mp3.part",
                                           "Song.mp3.1234567.part",
                                           "Song.mp3.zzzzzzzz.part",
                                           "song.mp3.0123abcd.part",
                                           "Other.mp3.0123abcd.part",
                                           "Song.mp3.0123abcd.partx"};
    for (const std::string& k : kept) {
        WriteWholeFile(folder.File(k), "mine");
        EXPECT_FALSE(IsTransferTempNameOf(k, target)) << k;
    }
    EXPECT_EQ(RemoveTransferTemps(target), 2);
    EXPECT_FALSE(std::filesystem::exists(made));
    for (const std::string& k : kept)
        EXPECT_TRUE(std::filesystem::exists(folder.File(k))) << k;

    // A name too long for the suffix: its temporary files begin with a cut stem.
    const std::string longTarget = folder.File(std::string(250, 'x') + ".mp3");
    const std::string longTemp = MakeTransferTempName(longTarget);
    ASSERT_FALSE(longTemp.empty());
    EXPECT_LE(std::filesystem::path(longTemp).filename().string().size(), 255u);
    EXPECT_EQ(RemoveTransferTemps(longTarget), 1);

    // A folder that cannot be written says so.
    std::string error;
    EXPECT_TRUE(MakeTransferTempName(folder.File("none/x.mp3"), &error).empty());
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

} // namespace
