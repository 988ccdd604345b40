#include "download/YoutubeFLVGet.h"

#include "download_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <vector>

using dltest::DrainThreads;
using dltest::PumpUntil;
using httptest::ReadWholeFile;
using httptest::TestHttpServer;

namespace {

// Serves the page fixtures: a video id "<watch>~<info>" answers the watch
// page with fixture <watch> and the info page with fixture <info>; a name
// without a fixture is a 404.
class ResolverTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto serve = [this](const std::string& name, httplib::Response& res) {
            const std::string file =
                std::string(LANTROVE_FIXTURES_DIR) + "/download/" + name + ".txt";
            if (name == "stall") {
                server.WaitWhileRunning(3000);
                res.status = 503;
            } else if (std::filesystem::exists(file)) {
                res.set_content(ReadWholeFile(file), "text/html");
            } else {
                res.status = 404;
            }
        };
        server.Server().Get("/watch", [serve](const httplib::Request& req, httplib::Response& res) {
            const std::string id = req.get_param_value("v");
            serve(id.substr(0, id.find('~')), res);
        });
        server.Server().Get("/get_video_info",
                            [serve](const httplib::Request& req, httplib::Response& res) {
                                const std::string id = req.get_param_value("video_id");
                                const size_t tilde = id.find('~');
                                serve(tilde == std::string::npos ? "" : id.substr(tilde + 1), res);
                            });
        server.Start();
    }
    void TearDown() override {
        EXPECT_TRUE(DrainThreads());
        server.Stop();
    }

    void Configure(TYoutubeFLVGet& r) {
        r.YoutubeWatchURI = server.Url("/watch?v=");
        r.YoutubeGetInfoURI = server.Url("/get_video_info?&video_id=");
        r.YoutubeGetVideoURI = "http://media/get_video?asv=3&video_id=";
    }

    // Resolves and returns the answers in order, waiting until a final one.
    std::vector<std::string> Resolve(TYoutubeFLVGet& r, const std::string& id) {
        std::vector<std::string> answers;
        bool final = false;
        bool offMainThread = false;
        const auto main = std::this_thread::get_id();
        r.OnURIGot = [&](const std::string& url, int fmt) {
            answers.push_back("got:" + url + (fmt == -1 ? "" : " fmt"));
            final = true;
            offMainThread |= std::this_thread::get_id() != main;
        };
        r.OnBadResponse = [&](const std::string&) {
            answers.push_back("bad");
            final = !r.RetryPending();
            offMainThread |= std::this_thread::get_id() != main;
        };
        r.YoutubeID = id;
        r.Get();
        EXPECT_TRUE(PumpUntil([&] { return final; }));
        PumpUntil([] { return false; }, 100); // nothing else may follow
        EXPECT_FALSE(offMainThread);
        return answers;
    }

    TestHttpServer server;
};

TEST_F(ResolverTest, EveryMethodAndMap) {
    const std::string media = "got:http://media/get_video?asv=3&video_id=";
    struct Case {
        TYoutubeFLVGetMethod method;
        std::string splitStr;
        std::string id;
        std::vector<std::string> answers;
    };
    const Case cases[] = {
        {KFromGetInfo, "&", "x~getinfo_token", {media + "x~getinfo_token&t=vjVQa1PpcFN="}},
        {KFromGetInfo, "&", "x~getinfo_prefixed", {media + "x~getinfo_prefixed&t=T1+x"}},
        {KFromGetInfo, "&", "x~getinfo_notoken", {"bad"}},
        {KFromWatch, "&", "watch_amp", {media + "watch_amp&t=OEgsToPDskK="}},
        {KFromWatch, ",", "watch_commas", {media + "watch_commas&t=vjVQa1PpcFMX-"}},
        // No token on the watch page: a bad response, then the info page.
        {KFromWatch,
         "&",
         "watch_nomatch~getinfo_token",
         {"bad", media + "watch_nomatch~getinfo_token&t=vjVQa1PpcFN="}},
        {KFromWatch,
         "&",
         "missing~getinfo_token",
         {media + "missing~getinfo_token&t=vjVQa1PpcFN="}},
        {KFromWatch, "&", "watch_nomatch~missing", {"bad", "bad"}},
        {KFromWatch2, "&", "watch2_fmt_stream_map", {"got:http://v1/u3"}},
        {KFromWatch2, "&", "watch2_fmt_url_map", {"got:http://v2/u1"}},
        {KFromWatch2, "&", "watch2_stream_map", {"got:http://v3/flv5?a=1"}},
        {KFromWatch2, "&", "watch2_nomap", {"bad"}},
        {KFromWatch2, "&", "missing", {"bad"}},
        {static_cast<TYoutubeFLVGetMethod>(3), "&", "watch_amp", {"bad"}},
        {KFromWatch, "&", "", {"bad"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id + " method " + std::to_string(c.method));
        TYoutubeFLVGet r(nullptr);
        Configure(r);
        r.SplitStr = c.splitStr;
        r.Method = c.method;
        EXPECT_EQ(Resolve(r, c.id), c.answers);
    }
}

TEST_F(ResolverTest, SettingsComeInThroughOnBeforeGet) {
    TYoutubeFLVGet r(nullptr);
    int before = 0;
    r.OnBeforeGet = [&](TObject* sender) {
        EXPECT_EQ(sender, &r);
        ++before;
        Configure(r);
        r.Method = KFromWatch; // the setting, copied in again every time
    };
    EXPECT_EQ(Resolve(r, "watch_nomatch~getinfo_token").size(), 2u);
    EXPECT_EQ(r.Method, KFromGetInfo); // switched by the retry
    EXPECT_EQ(Resolve(r, "watch_amp").size(), 1u);
    EXPECT_EQ(before, 2);
}

TEST_F(ResolverTest, PagesParsedDirectly) {
    TYoutubeFLVGet r(nullptr);
    r.YoutubeID = "id";
    r.YoutubeGetVideoURI = "V?";
    std::vector<std::string> got;
    r.OnURIGot = [&](const std::string& url, int) { got.push_back(url); };
    r.OnBadResponse = [&](const std::string& msg) { got.push_back("bad:" + msg); };

    r.Method = KFromWatch2;
    r.PageReceived("{'PLAYER_CONFIG': {fmt_stream_map=34%7Cu1%2C5%7Cu2}}");
    r.Method = KFromGetInfo;
    r.PageReceived("token=a%3Db%253D");
    r.PageReceived("status=fail");
    EXPECT_EQ(got, (std::vector<std::string>{"u1", "V?id&t=a=b%3D", "bad:status=fail\r\n"}));
}

TEST_F(ResolverTest, DestroyedWithFetchesInFlightStaysSilent) {
    int answers = 0;
    // At once, while the fetch thread still takes its address, and later.
    for (const int waitMs : {0, 50})
        for (const TYoutubeFLVGetMethod method : {KFromWatch, KFromWatch2, KFromGetInfo}) {
            auto r = std::make_unique<TYoutubeFLVGet>(nullptr);
            Configure(*r);
            r->Method = method;
            r->OnURIGot = [&](const std::string&, int) { ++answers; };
            r->OnBadResponse = [&](const std::string&) { ++answers; };
            r->YoutubeID = "stall~stall";
            r->Get();
            if (waitMs) PumpUntil([] { return false; }, waitMs);
            r.reset();
        }
    EXPECT_TRUE(DrainThreads());
    EXPECT_EQ(answers, 0);
}

TEST_F(ResolverTest, ANewAlternativeFetchDropsThePreviousOne) {
    TYoutubeFLVGet r(nullptr);
    Configure(r);
    r.Method = KFromWatch2;
    std::vector<std::string> got;
    r.OnURIGot = [&](const std::string& url, int) { got.push_back(url); };
    r.OnBadResponse = [&](const std::string&) { got.push_back("bad"); };
    r.YoutubeID = "stall";
    r.Get();
    r.YoutubeID = "watch2_fmt_url_map";
    r.Get();
    ASSERT_TRUE(PumpUntil([&] { return !got.empty(); }));
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(got, (std::vector<std::string>{"http://v2/u1"}));
}

} // namespace
