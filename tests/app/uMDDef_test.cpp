// The task record and its comment, the current state, HTML references, and
// the road from an arrived download to a tagged MP3.
#include "app_test_support.h"

#include "media/ID3v1.h"
#include "media/ID3v2.h"
#include "media/MediaTestFiles.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

using apptest::AppTest;

namespace {

// ffprobe's stream and format values of an output file.
std::map<std::string, std::string> Probe(const std::string& file) {
    const std::string text =
        RunCommand("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels,bit_rate:"
                   "format=duration -of default=nw=1 " +
                   ShellQuote(file));
    std::map<std::string, std::string> out;
    std::size_t p = 0;
    while (p < text.size()) {
        std::size_t e = text.find('\n', p);
        if (e == std::string::npos) e = text.size();
        const std::string line = text.substr(p, e - p);
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 1);
        p = e + 1;
    }
    return out;
}

TEST(HtmlReferences, EveryReferenceDecodedOnce) {
    const std::pair<std::string, std::string> cases[] = {
        {"Tom &amp; Jerry", "Tom & Jerry"},
        {"&amp;amp; &amp;quot;", "&amp; &quot;"},
        {"Beyonc&eacute; &ndash; Halo", "Beyoncé – Halo"},
        {"&#x4E2D;&#X6587; &#27468;", "中文 歌"},
        {"&quot;it&#39;s&quot; &apos;x&apos;", "\"it's\" 'x'"},
        {"&#128512;", "😀"},
        {"&nosuch; & &amp &#xZZ; &#;", "&nosuch; & &amp &#xZZ; &#;"},
        {"&#0;&#xD800;&#x110000;", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(ReplaceHtmlEntities(in), out) << in;
    EXPECT_EQ(HtmlEscape("<a href=\"x\">'&'</a>"),
              "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
}

TEST(AudioOptions, LengthBitrateAndCodec) {
    struct Case {
        std::string type;
        int seconds;
        int kbps;
        std::int64_t length;
        std::string codec;
    };
    const Case cases[] = {
        {".mp3", 205, 128, 205000000, ""},
        {".mp3", 3000, 320, 3000000000LL, ""}, // no 32-bit wrap
        {".mp3", 0, 64, kNoTime, ""},          // no length known: the whole input
        {".mp3", -5, 64, kNoTime, ""},
        {"mp3", 10, 192, 10000000, "libmp3lame"},
        {"aac", 10, 192, 10000000, "libfaac"},
    };
    for (const Case& c : cases) {
        TOutputOptions o;
        MakeAudioOutputOptions("/out/a.mp3", c.type, c.seconds, c.kbps, o);
        EXPECT_EQ(o.TimeLength, c.length) << c.seconds;
        EXPECT_EQ(o.AudioCodec, c.codec);
        EXPECT_EQ(o.AudioBitrate, c.kbps * 1000);
        EXPECT_EQ(o.FileName, "/out/a.mp3");
        EXPECT_TRUE(o.DisableVideo);
        EXPECT_EQ(o.AudioChannels, 2);
        EXPECT_EQ(o.AudioSampleRate, 44100);
        EXPECT_EQ(o.TimeStart, 0);
    }
}

class TaskTest : public AppTest {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(FFLoader().Load(ConverterLibraries)); }
    std::string Media(site::MediaKind kind) { return site.Media().File(kind); }
};

TEST_F(TaskTest, CommentSurvivesTheListFile) {
    queue->SetMaxTasks(0);
    TUrlInfo info;
    info.Action = UA_DOWNLOAD;
    info.Id = "Qh7_Nd2kR9s";
    info.Title = "He said \"Hello\", Ελληνικά & 100%";
    info.Long = 205;
    info.SavePath = dir.file("out/He said.mp3");
    info.Page = 2;
    info.ConvertType = ".mp3";
    info.PId = 7;
    info.TempPath = dir.file("tmp/He said.mp3.mtd");
    info.Artist = "Ana, Leo";
    info.Bitrate = 192;
    ASSERT_TRUE(queue->Append("http://x/watch?v=" + info.Id, info.TempPath, true, KYouTube, ""));
    TStrings* comment = queue->DownloadList()->Items(0)->Comment();
    WriteTaskComment(comment, info);
    // Empty fields leave no line.
    EXPECT_EQ(comment->IndexOfName("Album"), -1);
    EXPECT_EQ(comment->IndexOfName("SC_Key"), -1);
    EXPECT_EQ(comment->Values("Action"), "2");

    const std::string file = dir.file("list.sav");
    queue->DownloadList()->SaveToFile(file);
    TMultiDownloader again(nullptr);
    again.DownloadList()->LoadFromFile(file);
    ASSERT_EQ(again.DownloadList()->ItemCount(), 1);
    const TUrlInfo back = ReadTaskComment(again.DownloadList()->Items(0)->Comment());
    EXPECT_EQ(back.Title, info.Title);
    EXPECT_EQ(back.Artist, info.Artist);
    EXPECT_EQ(back.SavePath, info.SavePath);
    EXPECT_EQ(back.Long, 205);
    EXPECT_EQ(back.Bitrate, 192);
    EXPECT_EQ(back.PId, 7);
    EXPECT_EQ(back.Action, UA_DOWNLOAD);

    // A task saved without its bitrate and length converts at 128 and whole.
    TStringList bare;
    bare.Add("SavePath=/x.mp3");
    EXPECT_EQ(ReadTaskComment(&bare).Bitrate, 128);
    EXPECT_EQ(ReadTaskComment(&bare).Long, 0);
}

TEST_F(TaskTest, SearchSettingsOfTheCurrentState) {
    ASSERT_TRUE(current.GetMDInfo());
    EXPECT_EQ(current.MDInfo->Values("SearchKeyURL"), site.Base() + "/results?search_query=");
    EXPECT_EQ(current.MDInfo->Values("DownloadURL"), site.Base() + "/watch?v=");
    SettingsInstance()->SetSettingstring("SearchKeyURL", "");
    EXPECT_FALSE(current.GetMDInfo());
    EXPECT_EQ(current.MDInfo->Count(), 0);
    EXPECT_EQ(messages,
              (std::vector<std::string>{"Please wait a minute for downloading searching info."}));
}

TEST_F(TaskTest, ConvertFileWritesTheMp3OrNothing) {
    struct Case {
        site::MediaKind kind;
        int seconds;
        int kbps;
        bool ok;
        double duration;
    };
    const Case cases[] = {
        {site::MediaKind::Short, 10, 64, true, 10},
        {site::MediaKind::Song, 0, 192, true, 205}, // no length: the whole song
        {site::MediaKind::Broken, 30, 128, false, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        const std::string out = dir.file("out" + std::to_string(n++) + ".mp3");
        std::vector<int> terminated;
        EXPECT_EQ(ConvertFile(Media(c.kind), out, ".mp3", c.kbps, c.seconds,
                              [&](TObject*, const TTerminateInfo& i) {
                                  terminated.push_back(i.TaskIndex);
                              }),
                  c.ok);
        if (!c.ok) {
            // A failed conversion leaves no half-written file.
            EXPECT_FALSE(FileExists(out));
            continue;
        }
        EXPECT_EQ(terminated, (std::vector<int>{0, -1}));
        auto p = Probe(out);
        EXPECT_EQ(p["codec_name"], "mp3");
        EXPECT_EQ(p["sample_rate"], "44100");
        EXPECT_EQ(p["channels"], "2");
        EXPECT_EQ(p["bit_rate"], std::to_string(c.kbps * 1000));
        EXPECT_NEAR(std::atof(p["duration"].c_str()), c.duration, 0.2);
    }
}

TEST_F(TaskTest, FinishedDownloadsBecomeTaggedMp3sOrFailedTasks) {
    std::vector<std::string> converted;
    queue->OnBeforeFlvGet = [](TObject* s) {
        CopyResolverSettings(static_cast<TYoutubeFLVGet*>(s));
    };
    // The main window binds the queue's event to the shared routine.
    queue->OnFinishedEvent = DownloadFinishedEvent;
    std::mutex lock; // the event comes on the tagging thread
    MainWindowSide().ConvertFinished = [&](const std::string& f) {
        std::lock_guard<std::mutex> hold(lock);
        converted.push_back(f);
    };
    auto convertedCount = [&] {
        std::lock_guard<std::mutex> hold(lock);
        return converted.size();
    };
    current.GetMDInfo();
    struct Task {
        std::string id;
        std::string title;
    };
    const Task tasks[] = {{site::FixedVideos()[2].Id, "中文歌曲 (Live)"},
                          {site::FixedVideos()[6].Id, "Broken Upload"}};
    for (const Task& t : tasks) {
        TUrlInfo info;
        info.Action = UA_DOWNLOAD;
        info.Id = t.id;
        info.Title = t.title;
        info.Artist = "Ana & Leo";
        info.Album = "Ελληνικά";
        info.Long = 30;
        info.Bitrate = 128;
        info.ConvertType = ".mp3";
        info.SavePath = dir.file("music/" + t.id + ".mp3");
        info.TempPath = GetTempDir() + t.id + ".mp3.mtd";
        ASSERT_TRUE(AddDownloadTask(info));
    }
    TDownloadList* list = queue->DownloadList();
    auto ended = [&](int i) {
        const EDownloadState s = list->Items(i)->DownloadState();
        return s == KFailed || (s == KFinished && i == 0 && convertedCount() == 1);
    };
    ASSERT_TRUE(Wait([&] { return ended(0) && ended(1); }, 60000));
    EXPECT_EQ(list->Items(0)->DownloadState(), KFinished);
    EXPECT_EQ(list->Items(1)->DownloadState(), KFailed);
    EXPECT_FALSE(FileExists(dir.file("music/" + tasks[1].id + ".mp3")));

    const std::string mp3 = dir.file("music/" + tasks[0].id + ".mp3");
    ASSERT_EQ(convertedCount(), 1u);
    EXPECT_EQ(converted[0], mp3);
    // The task count was shown after each arrival.
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& c) { return c.rfind("status:", 0) == 0; }),
              2);
    TID3v2 v2;
    ASSERT_TRUE(v2.ReadFromFile(mp3));
    EXPECT_EQ(v2.Title(), "中文歌曲 (Live)");
    EXPECT_EQ(v2.Artist(), "Ana & Leo");
    EXPECT_EQ(v2.Album(), "Ελληνικά");
    TID3v1 v1;
    ASSERT_TRUE(v1.ReadFromFile(mp3));
    EXPECT_TRUE(v1.Exists());
    EXPECT_EQ(v1.Artist(), "Ana & Leo");
    auto p = Probe(mp3);
    EXPECT_EQ(p["bit_rate"], "128000");
    EXPECT_NEAR(std::atof(p["duration"].c_str()), 30, 0.2);
}

} // namespace
