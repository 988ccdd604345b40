// The stand-in video site, fetched through the program's own downloaders:
// every kind of page, each resolver method, the media files and the switches
// that make the site misbehave.
#include "SiteServer.h"

#include "classlib/inifiles.h"
#include "download/MultiDownloader.h"
#include "download/PcreRegex.h"
#include "download/SingleDownloader.h"
#include "download/YoutubeFLVGet.h"
#include "download/download_test_support.h"
#include "media/FFDecode.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>
#include <vector>

using dltest::DrainThreads;
using dltest::PumpUntil;
using httptest::ReadWholeFile;
using httptest::TempFolder;

namespace {

struct Fetched {
    bool ok = false;
    bool ended = false;
    std::string text;
};

// One text or file fetch through the single-request downloader.
Fetched Fetch(const std::string& url, const std::string& toFile = {}) {
    TSingleDownloader d(nullptr);
    d.HttpCharset = KUTF8;
    Fetched f;
    d.OnDoneString = [&](TObject*, const std::string& s) {
        f.ok = f.ended = true;
        f.text = s;
    };
    d.OnDoneFile = [&](TObject*, const std::string& name, std::int64_t) {
        f.ok = f.ended = true;
        f.text = name;
    };
    d.OnError = [&](TObject*) { f.ended = true; };
    d.URL = url;
    if (toFile.empty()) {
        d.GetString();
    } else {
        d.FileName = toFile;
        d.GetFile();
    }
    EXPECT_TRUE(PumpUntil([&] { return f.ended; }, 30000)) << url;
    return f;
}

std::size_t CountOf(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

std::map<std::string, std::string> Settings(const std::string& base) {
    std::map<std::string, std::string> m;
    for (const auto& [k, v] : site::SiteSettings(base))
        m[k] = v;
    return m;
}

// Copies the resolver settings in, as the program does before each resolution.
void Configure(TYoutubeFLVGet& r, const std::map<std::string, std::string>& s, int method) {
    r.YoutubeWatchPattern = s.at("WatchPattern");
    r.YoutubeWatchPattern2 = s.at("WatchPattern2");
    r.SplitStr = s.at("FLVSplitStr");
    r.NeedURLDecode = s.at("FLVNeedDecode") == "1";
    r.YoutubeGetVideoURI = s.at("FLVGetVideoURI");
    r.YoutubeWatchURI = s.at("WatchURL");
    r.YoutubeGetInfoURI = s.at("GetInfoURL");
    r.Method = static_cast<TYoutubeFLVGetMethod>(method);
}

struct Audio {
    bool opened = false;
    int audioStreams = 0;
    double seconds = 0; // of the whole file, from its header
    double toneHz = 0;  // from the first seconds decoded
};

// Opens a media file with the program's decoder and measures its tone from
// the rising swings of the first channel (with a margin, so the encoder's
// near-silent lead-in adds none).
Audio Decode(const std::string& file, double probeSeconds = 3) {
    Audio a;
    TFFDecoder d(nullptr);
    if (!d.LoadFile(file, "")) return a;
    a.opened = true;
    a.audioStreams = d.AudioStreamCount();
    if (a.audioStreams < 1) return a;
    a.seconds = double(d.FileStreamInfo().Duration) / 1e6;
    std::vector<std::uint8_t> buf(16384);
    std::int64_t samples = 0;
    int crossings = 0;
    bool low = false;
    std::int64_t firstCrossing = 0, lastCrossing = 0;
    int n;
    while ((n = d.ReadAudio(buf.data(), int(buf.size()), -1)) > 0) {
        const TWaveInfo& w = d.WaveInfo();
        const int frame = w.Channels * 2;
        for (int i = 0; i + frame <= n; i += frame) {
            const std::int16_t v = std::int16_t(buf[i] | (buf[i + 1] << 8));
            if (v < -4000) low = true;
            if (low && v > 4000) {
                if (crossings++ == 0) firstCrossing = samples;
                lastCrossing = samples;
                low = false;
            }
            ++samples;
        }
        if (samples >= std::int64_t(probeSeconds * w.SampleRate)) break;
    }
    const int rate = d.WaveInfo().SampleRate;
    // Periods between the first and the last swing: lead-in silence does not count.
    if (rate > 0 && crossings > 1)
        a.toneHz = (crossings - 1) / (double(lastCrossing - firstCrossing) / rate);
    return a;
}

class SiteTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(FFLoader().Load(DecoderLibraries)) << FFLoader().LastErrMsg();
    }
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        base = server.Base();
        settings = Settings(base);
    }
    void TearDown() override {
        server.Stop();
        EXPECT_TRUE(DrainThreads());
    }
    void Switch(const std::string& name, const std::string& value) {
        site::Switches s = server.GetSwitches();
        ASSERT_TRUE(site::ApplySwitch(s, name, value)) << name;
        server.SetSwitches(s);
    }
    // Resolves an id; the media address, or "" when the resolver gave up.
    std::string Resolve(const std::string& id, int method) {
        TYoutubeFLVGet r(nullptr);
        Configure(r, settings, method);
        std::string got;
        bool final = false;
        r.OnURIGot = [&](const std::string& url, int) {
            got = url;
            final = true;
        };
        r.OnBadResponse = [&](const std::string&) { final = !r.RetryPending(); };
        r.YoutubeID = id;
        r.Get();
        EXPECT_TRUE(PumpUntil([&] { return final; }, 20000)) << id << " method " << method;
        return got;
    }

    site::SiteServer server;
    std::string base;
    std::map<std::string, std::string> settings;
    TempFolder temp;
};

TEST_F(SiteTest, EveryPageAnswersThroughTheDownloader) {
    const std::string song = site::FixedVideos()[1].Id;
    struct Case {
        std::string url;
        std::vector<std::string> holds;
    };
    const Case cases[] = {
        {settings["SearchKeyURL"] + "caf%C3%A9+m%C3%BAsica&page=1",
         {"<title>café música - Video results", "class=\"video-entry\"", "Ελληνικά &amp; Русский",
          "&#x4E2D;&#x6587;歌曲", "Beyonc&eacute;", "1,234,567 views",
          "<span class=\"pager-item current\">1</span>", ">Next &raquo;</a>"}},
        {settings["SearchKeyURL"] + "abc&page=3", {"pager-item current\">3<"}},
        {settings["SearchKeyURL"] + "no+results&page=1", {"No videos found"}},
        {settings["WatchURL"] + song,
         {"swfHTML", "flashvars=\\\"video_id=" + song, "PLAYER_CONFIG"}},
        {settings["GetInfoURL"] + song, {"status=ok", "&seconds=205&token="}},
        {settings["GetInfoURL"] + "bad%20id", {"status=fail"}},
        {settings["c_2_url"] + "&p=2", {"<tr class=\"chart-row\">", "(Part 2)", "__title__"}},
        {settings["URL.HomeURL"], {"xmd:ACTION=Search&amp;KEYWORD="}},
        {settings["URL.InfoURL"], {"class=\"news\""}},
        {settings["URL.Update"] + "?ACTION=Update&PID=lantrove",
         {"magicword=lantrove\r\nResult=0"}},
        {settings["URL.home"], {"<h1>Lantrove</h1>"}},
        {settings["URL.help"], {"Help Center"}},
        {settings["URL.support"], {"Support"}},
        {settings["URL.Redirect"], {"stand-in"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const Fetched first = Fetch(c.url);
        ASSERT_TRUE(first.ok);
        for (const std::string& h : c.holds)
            EXPECT_NE(first.text.find(h), std::string::npos) << h;
        // The same request always gets the same page.
        EXPECT_EQ(Fetch(c.url).text, first.text);
    }
}

TEST_F(SiteTest, ShippedSettingsPointAtTheSiteOnItsPort) {
    TMemIniFile ini(std::string(LANTROVE_SOURCE_DIR) + "/const.dat");
    for (const auto& [key, value] : site::SiteSettings("http://127.0.0.1:47812")) {
        EXPECT_EQ(ini.ReadString("setting", key, "<missing>"), value) << key;
    }
}

TEST_F(SiteTest, ShippedPatternsFindEntriesTitlesAndPages) {
    const Fetched page = Fetch(settings["SearchKeyURL"] + "rock&page=2");
    ASSERT_TRUE(page.ok);
    TPcreRegex entries(settings["Pattern.entry"], TPcreRegex::SingleLine | TPcreRegex::Ungreedy);
    entries.SetSubject(page.text);
    int count = 0;
    for (bool ok = entries.Match(); ok; ok = entries.MatchAgain(), ++count) {
        std::string id, title, duration, views;
        ASSERT_TRUE(TPcreRegex::FirstGroup(settings["Pattern.id"], entries.Group(1), id));
        EXPECT_TRUE(site::IsVideoId(id)) << id;
        ASSERT_TRUE(TPcreRegex::FirstGroup(settings["Pattern.title"], entries.Group(1), title));
        EXPECT_EQ(title.rfind("rock ", 0), 0u) << title;
        ASSERT_TRUE(
            TPcreRegex::FirstGroup(settings["Pattern.duration"], entries.Group(1), duration));
        EXPECT_NE(duration.find(':'), std::string::npos);
        EXPECT_TRUE(
            TPcreRegex::FirstGroup(settings["Pattern.popularity2"], entries.Group(1), views));
    }
    EXPECT_EQ(count, site::kResultsPerPage);
    entries.SetPattern(settings["Pattern.pages"]);
    std::vector<std::string> labels;
    for (bool ok = entries.Match(); ok; ok = entries.MatchAgain())
        labels.push_back(entries.Group(1));
    EXPECT_EQ(labels, (std::vector<std::string>{"1", "2", "3"}));

    // The keyword list of a category: every row, the placeholder row and the
    // row without artist among them.
    const Fetched chart = Fetch(settings["c_0_url"] + "&p=1");
    TPcreRegex rows(settings["c_pattern_entry"], TPcreRegex::SingleLine | TPcreRegex::Ungreedy);
    rows.SetSubject(chart.text);
    std::vector<std::string> artists;
    for (bool ok = rows.Match(); ok; ok = rows.MatchAgain()) {
        std::string title, artist;
        EXPECT_TRUE(TPcreRegex::FirstGroup(settings["c_pattern_title"], rows.Group(1), title));
        EXPECT_TRUE(TPcreRegex::FirstGroup(settings["c_pattern_artist"], rows.Group(1), artist));
        artists.push_back(artist);
    }
    EXPECT_EQ(artists.size(), site::CategoryRows(0, 1).size());
    EXPECT_EQ(artists.back(), " ");
}

TEST_F(SiteTest, EveryResolverMethodLeadsToAMediaFileThatDecodes) {
    struct Case {
        std::string id;
        int method;
        double seconds;
        double toneHz;
    };
    const auto& fixed = site::FixedVideos();
    const Case cases[] = {
        {fixed[0].Id, KFromGetInfo, 30, 440},  {fixed[0].Id, KFromWatch, 30, 440},
        {fixed[1].Id, KFromWatch2, 205, 660},  {fixed[3].Id, KFromWatch, 240, 523.25},
        {fixed[5].Id, KFromGetInfo, 450, 330},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id + " method " + std::to_string(c.method));
        const std::string url = Resolve(c.id, c.method);
        ASSERT_EQ(url.rfind(base + "/", 0), 0u) << url;
        const std::string file = temp.File(c.id + std::to_string(c.method) + ".media");
        ASSERT_TRUE(Fetch(url, file).ok);
        const Audio a = Decode(file);
        ASSERT_TRUE(a.opened);
        ASSERT_EQ(a.audioStreams, 1);
        EXPECT_NEAR(a.seconds, c.seconds, 0.2);
        EXPECT_NEAR(a.toneHz, c.toneHz, 3);
    }
    // An id the site does not have is a bad response for every method.
    for (int method : {KFromGetInfo, KFromWatch, KFromWatch2}) {
        EXPECT_EQ(Resolve("no.such*id", method), "") << method;
    }
}

TEST_F(SiteTest, QueueItemResolvesAndFetchesLikeTheProgram) {
    TMultiDownloader queue(nullptr);
    queue.SetMaxTasks(2);
    queue.OnBeforeFlvGet = [&](TObject* sender) {
        Configure(*static_cast<TYoutubeFLVGet*>(sender), settings, 1);
    };
    std::map<int, std::string> finished;
    std::map<int, EDownloadState> states;
    queue.OnFinishedEvent = [&](TObject*, int index, const std::string& file, const std::string&,
                                std::int64_t) { finished[index] = file; };
    queue.OnStateChanged = [&](TObject*, int index, EDownloadState s) { states[index] = s; };
    const std::string ok = temp.File("ok.mtd");
    ASSERT_TRUE(
        queue.Append(settings["DownloadURL"] + site::FixedVideos()[2].Id, ok, true, KYouTube, ""));
    ASSERT_TRUE(queue.Append(settings["DownloadURL"] + site::FixedVideos()[6].Id,
                             temp.File("broken.mtd"), true, KYouTube, ""));
    queue.Resume();
    ASSERT_TRUE(PumpUntil([&] { return states[0] == KFinished && states[1] == KFinished; }, 30000));
    EXPECT_EQ(finished[0], ok);
    const Audio good = Decode(ok);
    EXPECT_EQ(good.audioStreams, 1);
    EXPECT_NEAR(good.toneHz, 440, 3);
    // The broken upload arrives whole but holds no sound.
    EXPECT_EQ(Decode(temp.File("broken.mtd")).audioStreams, 0);
}

// With "chunked" the media files come without a length, in chunks, and the
// queue takes them whole.
TEST_F(SiteTest, ChunkedMediaArrivesWholeThroughTheQueue) {
    Switch("chunked", "1");
    TMultiDownloader queue(nullptr);
    queue.SetMaxTasks(1);
    queue.OnBeforeFlvGet = [&](TObject* sender) {
        Configure(*static_cast<TYoutubeFLVGet*>(sender), settings, 1);
    };
    EDownloadState state = KReady;
    queue.OnStateChanged = [&](TObject*, int, EDownloadState s) { state = s; };
    const std::string file = temp.File("chunked.mtd");
    ASSERT_TRUE(queue.Append(settings["DownloadURL"] + site::FixedVideos()[0].Id, file, true,
                             KYouTube, ""));
    queue.Resume();
    ASSERT_TRUE(PumpUntil([&] { return state == KFinished || state == KFailed; }, 30000));
    EXPECT_EQ(state, KFinished) << queue.DownloadList()->Items(0)->ErrorText;
    EXPECT_NEAR(Decode(file).toneHz, 440, 3);
}

TEST_F(SiteTest, StalledMediaNeverCompletes) {
    dltest::ShortTimeouts timeouts(500);
    Switch("stall", "3000");
    const std::string id = site::FixedVideos()[7].Id;
    const std::string url = Resolve(id, KFromGetInfo);
    ASSERT_FALSE(url.empty());
    const std::string file = temp.File("stall.mtd");
    EXPECT_FALSE(Fetch(url, file).ok);
    EXPECT_FALSE(std::filesystem::exists(file));
}

// Paced media files take long enough to overlap; the site counts how many
// it sent at once, and each still arrives whole.
TEST_F(SiteTest, PacedMediaTransfersOverlapAndAreCounted) {
    Switch("pace", "50");
    const std::string url = Resolve(site::FixedVideos()[0].Id, KFromGetInfo);
    ASSERT_EQ(url.rfind(base, 0), 0u) << url;
    const std::string path = url.substr(base.size());
    std::size_t sizes[2] = {0, 0};
    std::vector<std::thread> fetches;
    for (std::size_t& size : sizes)
        fetches.emplace_back([&, path] {
            httplib::Client client(base);
            if (auto res = client.Get(path.c_str())) size = res->body.size();
        });
    for (std::thread& t : fetches)
        t.join();
    EXPECT_EQ(server.PeakMediaTransfers(), 2);
    EXPECT_GT(sizes[0], 65536u);
    EXPECT_EQ(sizes[0], sizes[1]);
}

TEST_F(SiteTest, SwitchesMakeTheSiteMisbehave) {
    dltest::ShortTimeouts timeouts(1000);
    const std::string results = settings["SearchKeyURL"] + "pop&page=1";
    struct Case {
        std::vector<std::pair<std::string, std::string>> switches;
        std::string url;
        bool ok;
        std::string holds; // in the answer when ok
        std::string lacks; // not in the answer when ok
    };
    const Case cases[] = {
        {{{"status", "503"}}, results, true, "Error 503", "video-entry"},
        {{{"status", "404"}, {"status-path", "/category"}}, results, true, "video-entry", ""},
        {{{"drop", "/search"}}, results, false, "", ""},
        {{{"drop", "/category"}}, results, true, "video-entry", ""},
        {{{"slow", "3000"}}, results, false, "", ""},
        {{{"slow", "3000"}, {"slow-path", "/watch"}}, results, true, "video-entry", ""},
        {{{"layout", "2"}}, results, true, "card", "video-entry"},
        {{{"layout", "2"}}, settings["c_0_url"] + "&p=1", true, "chart-v2", "chart-row"},
        {{{"title", "Ünïcode & <one>"}},
         results,
         true,
         "title=\"Ünïcode &amp; &lt;one&gt;\">Ünïcode &amp; &lt;one&gt;</a>",
         "Broken Upload"},
        {{{"update-result", "1"},
          {"update-version", "2.0.0.1"},
          {"update-modify", "Pattern.id=x=([a-z]+)"}},
         settings["URL.Update"] + "?ACTION=Update",
         true,
         "Result=1\r\nversion=2.0.0.1\r\ninfo=Lantrove 2.0.0.1 is available. Download it "
         "now?\r\npage=" +
             base + "/download?ver=2.0.0.1\r\n__MODIFY__.Pattern.id=x=([a-z]+)\r\n",
         ""},
        {{{"update-magic", "other"}}, settings["URL.Update"], true, "magicword=other", ""},
    };
    for (const Case& c : cases) {
        server.SetSwitches(site::Switches());
        std::string trace;
        for (const auto& [name, value] : c.switches) {
            Switch(name, value);
            trace += name + "=" + value + " ";
        }
        SCOPED_TRACE(trace);
        const Fetched f = Fetch(c.url);
        EXPECT_EQ(f.ok, c.ok);
        if (!c.ok) continue;
        EXPECT_NE(f.text.find(c.holds), std::string::npos) << f.text;
        if (!c.lacks.empty()) {
            EXPECT_EQ(f.text.find(c.lacks), std::string::npos);
        }
    }
    // Longer result pages: every entry there, pages for the rest.
    server.SetSwitches(site::Switches());
    Switch("per-page", "250");
    const Fetched longer = Fetch(settings["SearchKeyURL"] + "pop&page=2");
    ASSERT_TRUE(longer.ok);
    EXPECT_EQ(CountOf(longer.text, "<li class=\"video-entry\">"), 250u);
    EXPECT_NE(longer.text.find("page=3\">3</a>"), std::string::npos);
    EXPECT_EQ(longer.text.find("page=4\">4</a>"), std::string::npos);
    EXPECT_EQ(
        CountOf(Fetch(settings["SearchKeyURL"] + "pop&page=3").text, "<li class=\"video-entry\">"),
        100u);
    site::Switches bounds;
    EXPECT_FALSE(site::ApplySwitch(bounds, "per-page", "0"));
    EXPECT_FALSE(site::ApplySwitch(bounds, "per-page", "5001"));

    // The control address works while the site misbehaves, and resets it.
    Switch("status", "500");
    ASSERT_TRUE(Fetch(base + "/__site?reset=1&layout=2").ok);
    EXPECT_EQ(server.GetSwitches().Status, 0);
    EXPECT_EQ(server.GetSwitches().Layout, 2);
    EXPECT_FALSE(Fetch(base + "/__site?no-such-switch=1").text.find("ok") == 0);
}

TEST(SiteMedia, FilesAreMadeTheSameEveryTime) {
    TempFolder a, b;
    site::MediaStore first(a.Path()), second(b.Path());
    for (site::MediaKind kind : {site::MediaKind::Short, site::MediaKind::Broken}) {
        std::string error;
        const std::string one = first.File(kind, &error);
        ASSERT_FALSE(one.empty()) << error;
        EXPECT_EQ(ReadWholeFile(one), ReadWholeFile(second.File(kind)));
        // Kept, not made again.
        EXPECT_EQ(first.File(kind), one);
    }
}

} // namespace
