// The task record and its comment, the current state, HTML references, and
// the road from an arrived download to a tagged MP3.
#include "app_test_support.h"

#include "download/DownloaderDef.h"
#include "media/ID3v1.h"
#include "media/ID3v2.h"
#include "media/MediaTestFiles.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
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
    EXPECT_EQ(current.MDInfo->Values("SearchKeyURL"), site.Base() + "/search?q=");
    EXPECT_EQ(current.MDInfo->Values("DownloadURL"), site.Base() + "/watch?v=");
    SettingsInstance()->SetSettingstring("SearchKeyURL", "");
    EXPECT_FALSE(current.GetMDInfo());
    EXPECT_EQ(current.MDInfo->Count(), 0);
    EXPECT_EQ(messages,
              (std::vector<std::string>{"Please wait a minute for downloading searching info."}));
}

// Converts on the encoder's task thread; the result once the main thread
// has taken it.
struct Conversion {
    std::vector<int> terminated;
    bool done = false;
    TConvertResult result;
    int id = 0;

    void Start(const std::string& in, const std::string& out, int kbps, int seconds,
               const TTagValues& tags = {"Title", "Artist", "Album"}) {
        id = ConvertFile(
            in, out, ".mp3", kbps, seconds, tags,
            [this](const TConvertResult& r) {
                done = true;
                result = r;
            },
            [this](TObject*, const TTerminateInfo& i) { terminated.push_back(i.TaskIndex); });
    }
};

// Files of a folder other than those listed.
std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(TaskTest, ConversionsRunBesideTheMainLoopAndWriteTheMp3OrNothing) {
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
    // All three at once, each on its own thread.
    std::vector<Conversion> runs(3);
    for (int n = 0; n < 3; ++n) {
        const Case& c = cases[n];
        runs[n].Start(Media(c.kind), dir.file("out/" + std::to_string(n) + ".mp3"), c.kbps,
                      c.seconds);
        // The call returns with the conversion still on its way (a file that
        // cannot be read fails at once).
        EXPECT_EQ(runs[n].id != 0, c.ok);
        EXPECT_EQ(runs[n].done, !c.ok);
    }
    EXPECT_EQ(ConversionsRunning(), 2);
    ASSERT_TRUE(Wait([&] { return runs[0].done && runs[1].done && runs[2].done; }, 120000));
    EXPECT_EQ(ConversionsRunning(), 0);
    for (int n = 0; n < 3; ++n) {
        SCOPED_TRACE(n);
        const Case& c = cases[n];
        const std::string out = dir.file("out/" + std::to_string(n) + ".mp3");
        EXPECT_EQ(runs[n].result.Succeeded, c.ok) << runs[n].result.Reason;
        if (!c.ok) {
            // A failed conversion leaves no file and says why.
            EXPECT_FALSE(FileExists(out));
            EXPECT_FALSE(runs[n].result.Reason.empty());
            continue;
        }
        EXPECT_EQ(runs[n].result.FileName, out);
        EXPECT_EQ(runs[n].terminated, (std::vector<int>{0, -1}));
        auto p = Probe(out);
        EXPECT_EQ(p["codec_name"], "mp3");
        EXPECT_EQ(p["sample_rate"], "44100");
        EXPECT_EQ(p["channels"], "2");
        EXPECT_EQ(p["bit_rate"], std::to_string(c.kbps * 1000));
        EXPECT_NEAR(std::atof(p["duration"].c_str()), c.duration, 0.2);
        // Tagged before it took its name.
        TID3v2 v2;
        ASSERT_TRUE(v2.ReadFromFile(out));
        EXPECT_EQ(v2.Title(), "Title");
    }
    // Nothing but the finished files: no temporary file is left.
    EXPECT_EQ(FilesIn(dir.file("out")), (std::vector<std::string>{"0.mp3", "1.mp3"}));
}

// A file at the save path is the user's: it is never replaced or removed.
// The new MP3 takes the next free name, also when the file appears while the
// conversion runs.
TEST_F(TaskTest, AFileAtTheSavePathIsLeftAlone) {
    dir.write("out/Song.mp3", "the user's own");
    Conversion before;
    before.Start(Media(site::MediaKind::Short), dir.file("out/Song.mp3"), 64, 5);
    Conversion during;
    during.Start(Media(site::MediaKind::Short), dir.file("out/Later.mp3"), 64, 5);
    dir.write("out/Later.mp3", "appeared meanwhile");
    // A failing one leaves the user's file as it was too.
    Conversion failed;
    failed.Start(Media(site::MediaKind::Broken), dir.file("out/Song.mp3"), 64, 5);
    ASSERT_TRUE(Wait([&] { return before.done && during.done && failed.done; }, 60000));
    EXPECT_EQ(before.result.FileName, dir.file("out/(1)Song.mp3"));
    EXPECT_EQ(during.result.FileName, dir.file("out/(1)Later.mp3"));
    EXPECT_FALSE(failed.result.Succeeded);
    EXPECT_EQ(dir.read("out/Song.mp3"), "the user's own");
    EXPECT_EQ(dir.read("out/Later.mp3"), "appeared meanwhile");
    EXPECT_EQ(FilesIn(dir.file("out")),
              (std::vector<std::string>{"(1)Later.mp3", "(1)Song.mp3", "Later.mp3", "Song.mp3"}));
}

// Tags that cannot be written fail the conversion with the reason; stopped
// conversions end without a word and leave nothing behind.
TEST_F(TaskTest, TagFailuresAndStopsLeaveNoFile) {
    Conversion untagged;
    untagged.Start(Media(site::MediaKind::Short), dir.file("out/Untagged.mp3"), 64, 5);
    // The tag writer's copy cannot be made: its name is taken by a folder.
    std::string temp;
    for (const std::string& name : FilesIn(dir.file("out")))
        if (IsTransferTempNameOf(name, dir.file("out/Untagged.mp3"))) temp = name;
    ASSERT_FALSE(temp.empty());
    std::filesystem::create_directory(dir.file("out/" + temp + "~"));
    ASSERT_TRUE(Wait([&] { return untagged.done; }, 60000));
    EXPECT_FALSE(untagged.result.Succeeded);
    EXPECT_NE(untagged.result.Reason.find("tags"), std::string::npos) << untagged.result.Reason;
    EXPECT_FALSE(FileExists(dir.file("out/Untagged.mp3")));
    EXPECT_FALSE(FileExists(dir.file("out/" + temp)));
    std::filesystem::remove(dir.file("out/" + temp + "~"));

    std::vector<Conversion> stopped(3);
    for (int n = 0; n < 3; ++n)
        stopped[n].Start(Media(site::MediaKind::Long),
                         dir.file("out/Long" + std::to_string(n) + ".mp3"), 320, 0);
    // One stopped by its task, the others at exit.
    CancelConversion(stopped[0].id);
    StopConversions();
    EXPECT_EQ(ConversionsRunning(), 0);
    for (const Conversion& c : stopped)
        EXPECT_FALSE(c.done);
    EXPECT_TRUE(FilesIn(dir.file("out")).empty());
}

// The queue's finished event starts the conversion and the task stays on its
// way: it shows finished once its MP3 is tagged and in place, or failed with
// the reason. Stopping a task stops its conversion.
TEST_F(TaskTest, FinishedDownloadsBecomeTaggedMp3sOrFailedTasks) {
    std::vector<std::string> converted;
    queue->OnBeforeFlvGet = [](TObject* s) {
        CopyResolverSettings(static_cast<TYoutubeFLVGet*>(s));
    };
    // The main window binds the queue's events to the shared routines.
    queue->OnFinishedEvent = DownloadFinishedEvent;
    std::vector<std::string> order;
    queue->OnStateChanged = [&](TObject*, int index, EDownloadState s) {
        if (s == KFailed) queue->Resume();
        if (s != KFinished && s != KFailed) return;
        const TUrlInfo task = ReadTaskComment(queue->DownloadList()->Items(index)->Comment());
        // Finished means the tagged MP3 is there.
        TID3v2 v2;
        order.push_back(
            (s == KFinished ? "finished:" : "failed:") + task.Id +
            (FileExists(task.SavePath) && v2.ReadFromFile(task.SavePath) && v2.Title() == task.Title
                 ? ":tagged"
                 : ""));
    };
    MainWindowSide().ConvertFinished = [&](const std::string& f) {
        order.push_back("converted");
        converted.push_back(f);
    };
    current.GetMDInfo();
    struct Task {
        std::string id;
        std::string title;
    };
    const Task tasks[] = {{site::FixedVideos()[2].Id, "中文歌曲 (Live)"},
                          {site::FixedVideos()[6].Id, "Broken Upload"},
                          {site::FixedVideos()[5].Id, "Epic Journey"}};
    for (const Task& t : tasks) {
        TUrlInfo info;
        info.Action = UA_DOWNLOAD;
        info.Id = t.id;
        info.Title = t.title;
        info.Artist = "Ana & Leo";
        info.Album = "Ελληνικά";
        // The long one converts whole, and takes its time.
        info.Long = t.id == tasks[2].id ? 0 : 30;
        info.Bitrate = 128;
        info.ConvertType = ".mp3";
        info.SavePath = dir.file("music/" + t.id + ".mp3");
        info.TempPath = GetTempDir() + t.id + ".mp3.mtd";
        ASSERT_TRUE(AddDownloadTask(info));
    }
    TDownloadList* list = queue->DownloadList();
    ASSERT_TRUE(Wait(
        [&] {
            return list->Items(0)->DownloadState() == KFinished &&
                   list->Items(1)->DownloadState() == KFailed && list->Items(2)->FinishHeld();
        },
        60000));
    // The third one is converting: stopping it stops that too.
    EXPECT_EQ(list->Items(2)->DownloadState(), KDownloading);
    EXPECT_TRUE(queue->IsDownloading());
    list->Items(2)->Abort();
    ASSERT_TRUE(Wait([] { return ConversionsRunning() == 0; }, 60000));
    EXPECT_EQ(list->Items(2)->DownloadState(), KReady);
    EXPECT_FALSE(FileExists(dir.file("music/" + tasks[2].id + ".mp3")));

    EXPECT_FALSE(list->Items(1)->ErrorText.empty());
    EXPECT_FALSE(FileExists(dir.file("music/" + tasks[1].id + ".mp3")));
    const std::string mp3 = dir.file("music/" + tasks[0].id + ".mp3");
    EXPECT_EQ(converted, std::vector<std::string>{mp3});
    // Finished (with its tagged MP3), then the converted event; the other failed.
    auto finished = std::find(order.begin(), order.end(), "finished:" + tasks[0].id + ":tagged");
    ASSERT_NE(finished, order.end());
    ASSERT_NE(finished + 1, order.end());
    EXPECT_EQ(*(finished + 1), "converted");
    EXPECT_NE(std::find(order.begin(), order.end(), "failed:" + tasks[1].id), order.end());
    EXPECT_EQ(order.size(), 3u);
    // The task count was shown after each arrival.
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& c) { return c.rfind("status:", 0) == 0; }),
              3);
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
    EXPECT_TRUE(FilesIn(dir.file("music")) == std::vector<std::string>{tasks[0].id + ".mp3"});
}

} // namespace
