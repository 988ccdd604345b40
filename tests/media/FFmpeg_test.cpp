// Conversions through the engine, checked with ffprobe and by reading the output.
#include "media/FFmpeg.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "MediaTestFiles.h"
#include "media/FFLoad.h"
#include "media/FFLog.h"
#include "support/httpserver.h"
#include "support/tempdir.h"

namespace {

// Every stream and format value ffprobe gives, keyed "stream.N.key" and "format.key".
std::map<std::string, std::string> Probe(const std::string& file) {
    std::string text = RunCommand(
        "ffprobe -v error -show_entries "
        "stream=codec_name,codec_type,sample_rate,channels,bit_rate,width,height:format=duration,"
        "nb_streams -of flat " +
        ShellQuote(file));
    std::map<std::string, std::string> out;
    size_t p = 0;
    while (p < text.size()) {
        size_t e = text.find('\n', p);
        if (e == std::string::npos) e = text.size();
        std::string line = text.substr(p, e - p);
        p = e + 1;
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        if (key.rfind("streams.stream.", 0) == 0) key = "stream." + key.substr(15);
        out[key] = value;
    }
    return out;
}

double ProbeDuration(const std::string& file) {
    auto p = Probe(file);
    return p.count("format.duration") ? std::atof(p["format.duration"].c_str()) : -1;
}

bool Make(const std::string& file, const MediaRecipe& recipe) {
    std::string error;
    EXPECT_TRUE(WriteMedia(file, recipe, &error)) << error;
    return error.empty();
}

ToneRecipe Sine(double seconds, int rate, int channels = 1) {
    return ToneRecipe{.SampleRate = rate, .Channels = channels, .Seconds = seconds};
}

// The 16-bit samples of a plain PCM WAV file.
std::vector<int16_t> WavSamples(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> out;
    size_t pos = 12;
    while (pos + 8 <= bytes.size()) {
        uint32_t size;
        memcpy(&size, bytes.data() + pos + 4, 4);
        if (bytes.compare(pos, 4, "data") == 0) {
            size_t n = std::min<size_t>(size, bytes.size() - pos - 8) / 2;
            out.resize(n);
            memcpy(out.data(), bytes.data() + pos + 8, n * 2);
            break;
        }
        pos += 8 + size + (size & 1);
    }
    return out;
}

struct LogCapture {
    std::mutex lock;
    std::vector<std::string> lines;
    LogCapture() {
        FFLogger()->SetTriggerEventInMainThread(false);
        FFLogger()->SetLogLevel(llVerbose);
        FFLogger()->OnLog = [this](TObject*, uint32_t, TLogLevel, const std::string& msg) {
            std::lock_guard<std::mutex> g(lock);
            lines.push_back(msg);
        };
    }
    ~LogCapture() { FFLogger()->OnLog = nullptr; }
    bool Has(const std::string& line) {
        std::lock_guard<std::mutex> g(lock);
        for (auto& l : lines)
            if (l == line) return true;
        return false;
    }
};

class FFmpegEngine : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(FFLoader().Load(ConverterLibraries)) << FFLoader().LastErrMsg();
        media = new TempDir;
        const std::string& d = media->path();
        ASSERT_TRUE(WriteToneWav(d + "/a44.wav", Sine(2, 44100, 2)));
        ASSERT_TRUE(WriteToneWav(d + "/a48.wav", Sine(1, 48000, 2)));
        ASSERT_TRUE(WriteToneWav(d + "/mono.wav", Sine(1, 44100)));
        ASSERT_TRUE(WriteToneWav(d + "/long.wav", Sine(30, 44100, 2)));
        // 20000 and -3 as exact 16-bit sample values.
        ASSERT_TRUE(WriteConstantWav(d + "/loud.wav", 20000, 44100, 0.2));
        ASSERT_TRUE(WriteConstantWav(d + "/quiet.wav", -3, 44100, 0.2));
        // Two audio streams and two chapters.
        ToneRecipe high = Sine(1, 22050);
        high.Frequency = 880;
        MediaRecipe two{.Audio = {Sine(2, 44100), high},
                        .Chapters = {{0, 1, "One"}, {1, 2, "Two"}}};
        for (ToneRecipe& t : two.Audio)
            t.Codec = "flac";
        ASSERT_TRUE(Make(d + "/two.mka", two));
        // Video with audio, and video whose audio starts 2 s late.
        MediaRecipe clip{.Video = PictureRecipe{.Width = 96, .Height = 64, .Rate = 10},
                         .Audio = {Sine(1, 44100)}};
        ASSERT_TRUE(Make(d + "/clip.mkv", clip));
        ToneRecipe late = Sine(1, 44100);
        late.Offset = 2;
        MediaRecipe lateClip{.Video =
                                 PictureRecipe{.Width = 32, .Height = 32, .Rate = 5, .Seconds = 3},
                             .Audio = {late}};
        ASSERT_TRUE(Make(d + "/late.mkv", lateClip));
        media->write("text.wav", "this is not a media file at all\n");
        std::string wav = media->read("a44.wav");
        media->write("truncated.wav", wav.substr(0, 30));
    }
    static void TearDownTestSuite() {
        delete media;
        media = nullptr;
    }

    static std::string In(const std::string& name) { return media->file(name); }

    // Opens the input, applies the output options, opens the output and runs in this thread.
    std::unique_ptr<TCustomFFmpeg>
    Convert(const std::vector<std::string>& inputs,
            const std::vector<std::pair<std::string, std::string>>& outOptions,
            const std::string& output, bool join = false) {
        auto e = std::make_unique<TCustomFFmpeg>(8);
        for (auto& i : inputs)
            EXPECT_TRUE(e->OpenInputFile(i)) << e->LastErrMsg();
        for (auto& o : outOptions)
            e->SetExtOption(o.first, o.second);
        EXPECT_GT(e->OpenOutputFile(output, join), 0) << e->LastErrMsg();
        e->PrepareJoin();
        e->OnTerminate = [this](TObject*) { ++terminations; };
        e->StartConvert(false);
        EXPECT_FALSE(e->FatalException()) << e->FatalMessage();
        return e;
    }

    static TempDir* media;
    TempDir out;
    int terminations = 0;
};

TempDir* FFmpegEngine::media = nullptr;

TEST_F(FFmpegEngine, WavToMp3HasRateChannelsAndBitrate) {
    std::vector<std::tuple<int, int, int>> reports; // file index, frame, fps
    auto e = std::make_unique<TCustomFFmpeg>(4);
    ASSERT_TRUE(e->OpenInputFile(In("a44.wav")));
    e->SetExtOption("ab", "128000");
    e->SetExtOption("ar", "44100");
    e->SetExtOption("ac", "2");
    ASSERT_EQ(e->OpenOutputFile(out.file("o.mp3")), 1) << e->LastErrMsg();
    std::thread::id runThread;
    e->OnProgress = [&](TObject*, int f, int frame, int fps, float q, float, int64_t, int64_t,
                        int64_t total) {
        reports.emplace_back(f, frame, fps);
        EXPECT_EQ(q, -1.0f);
        EXPECT_NEAR(double(total), 2000000.0, 50000.0);
    };
    e->OnTerminate = [&](TObject*) {
        ++terminations;
        runThread = std::this_thread::get_id();
    };
    EXPECT_EQ(e->StartConvert(false), nullptr);
    EXPECT_EQ(terminations, 1);
    EXPECT_EQ(runThread, std::this_thread::get_id());
    EXPECT_TRUE(e->Finished());
    EXPECT_FALSE(e->FatalException()) << e->FatalMessage();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(std::get<0>(reports.back()), -1);
    EXPECT_EQ(std::get<1>(reports.back()), -1);
    EXPECT_EQ(std::get<2>(reports.back()), -1);

    auto p = Probe(out.file("o.mp3"));
    EXPECT_EQ(p["stream.0.codec_name"], "mp3");
    EXPECT_EQ(p["stream.0.sample_rate"], "44100");
    EXPECT_EQ(p["stream.0.channels"], "2");
    EXPECT_EQ(p["stream.0.bit_rate"], "128000");
    EXPECT_NEAR(std::atof(p["format.duration"].c_str()), 2.0, 0.1);
    EXPECT_TRUE(DecodesCleanly(out.file("o.mp3")));

    // An engine runs once.
    EXPECT_EQ(e->StartConvert(false), nullptr);
    EXPECT_EQ(terminations, 1);
}

TEST_F(FFmpegEngine, RecordingTimeLimitsTheOutput) {
    struct Case {
        const char* t;
        double duration;
    } cases[] = {{"1", 1.0}, {"0", 0.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        std::string o = out.file(std::string("t") + c.t + ".mp3");
        int64_t total = -2;
        LogCapture log;
        auto e = std::make_unique<TCustomFFmpeg>(4);
        ASSERT_TRUE(e->OpenInputFile(In("a44.wav")));
        e->SetExtOption("t", c.t);
        ASSERT_EQ(e->OpenOutputFile(o), 1);
        e->OnProgress = [&](TObject*, int, int, int, float, float, int64_t, int64_t, int64_t t) {
            total = t;
        };
        e->StartConvert(false);
        EXPECT_TRUE(e->Finished());
        EXPECT_FALSE(e->FatalException()) << e->FatalMessage();
        // The recording time is the total, not the longer input.
        EXPECT_EQ(total, int64_t(std::atof(c.t) * 1000000));
        auto p = Probe(o);
        if (c.duration > 0) {
            EXPECT_NEAR(std::atof(p["format.duration"].c_str()), c.duration, 0.1);
        } else {
            EXPECT_TRUE(out.exists(std::string("t0.mp3")));
            double d = std::atof(p["format.duration"].c_str());
            EXPECT_LT(d, 0.05);
            // Nothing encoded: no overhead, not a division by zero.
            EXPECT_TRUE(log.Has("video:0kB audio:0kB global headers:0kB muxing overhead "
                                "0.000000%\r\n"));
        }
    }
}

TEST_F(FFmpegEngine, VolumeScalesAndClipsSamples) {
    struct Case {
        const char* input;
        const char* vol;
        int16_t expected;
    } cases[] = {{"loud.wav", "512", 32767}, {"quiet.wav", "128", -1}, {"loud.wav", "256", 20000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.input) + " vol " + c.vol);
        std::string o = out.file(std::string("v") + c.vol + c.input);
        Convert({In(c.input)}, {{"vol", c.vol}}, o);
        auto samples = WavSamples(o);
        ASSERT_GT(samples.size(), 1000u);
        EXPECT_EQ(samples[samples.size() / 2], c.expected);
    }
}

TEST_F(FFmpegEngine, ResamplesAndUpmixes) {
    struct Case {
        const char* input;
        double duration;
    } cases[] = {{"a48.wav", 1.0}, {"mono.wav", 1.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        std::string o = out.file(std::string(c.input) + ".mp3");
        Convert({In(c.input)}, {{"ar", "44100"}, {"ac", "2"}, {"ab", "96000"}}, o);
        auto p = Probe(o);
        EXPECT_EQ(p["stream.0.sample_rate"], "44100");
        EXPECT_EQ(p["stream.0.channels"], "2");
        EXPECT_EQ(p["stream.0.bit_rate"], "96000");
        EXPECT_NEAR(std::atof(p["format.duration"].c_str()), c.duration, 0.1);
        EXPECT_TRUE(DecodesCleanly(o));
    }
}

TEST_F(FFmpegEngine, AsyncInsertsSilenceForLateAudio) {
    Convert({In("late.mkv")}, {{"async", "1"}}, out.file("sync.mp3"));
    Convert({In("late.mkv")}, {}, out.file("nosync.mp3"));
    EXPECT_NEAR(ProbeDuration(out.file("sync.mp3")), 3.0, 0.15);
    EXPECT_NEAR(ProbeDuration(out.file("nosync.mp3")), 1.0, 0.15);
}

TEST_F(FFmpegEngine, JoinWritesInputsOneAfterAnother) {
    auto e = Convert({In("a44.wav"), In("mono.wav")}, {{"ac", "2"}, {"ar", "44100"}},
                     out.file("join.mp3"), true);
    EXPECT_TRUE(e->JoinMode());
    EXPECT_NEAR(double(e->TotalOutputDuration()), 3000000.0, 50000.0);
    EXPECT_NEAR(ProbeDuration(out.file("join.mp3")), 3.0, 0.1);
    EXPECT_TRUE(DecodesCleanly(out.file("join.mp3")));
    // A second output cannot join.
    EXPECT_EQ(e->OpenOutputFile(out.file("again.mp3"), true), -1);
    EXPECT_EQ(e->LastErrMsg(), "Cannot join more than one output file.");
}

TEST_F(FFmpegEngine, StreamMappingIsLoggedAndChaptersCopied) {
    {
        LogCapture log;
        Convert({In("two.mka")}, {}, out.file("auto.mka"));
        EXPECT_TRUE(log.Has("Stream mapping:"));
        EXPECT_TRUE(log.Has("  Stream #0.0 -> #0.0 (Audio)"));
    }
    {
        LogCapture log;
        Convert({In("two.mka")}, {{"map", "0:1"}}, out.file("mapped.mka"));
        EXPECT_TRUE(log.Has("  Stream #0.1 -> #0.0 (Audio)"));
    }
    EXPECT_NEAR(ProbeDuration(out.file("mapped.mka")), 1.0, 0.1);
    std::string chapters =
        RunCommand("ffprobe -v error -show_chapters -of csv " + ShellQuote(out.file("auto.mka")));
    EXPECT_NE(chapters.find("One"), std::string::npos);
    EXPECT_NE(chapters.find("Two"), std::string::npos);
}

TEST_F(FFmpegEngine, VideoClipGivesAudioOrScaledVideo) {
    Convert({In("clip.mkv")}, {}, out.file("clip.mp3"));
    auto a = Probe(out.file("clip.mp3"));
    EXPECT_EQ(a["format.nb_streams"], "1");
    EXPECT_EQ(a["stream.0.codec_type"], "audio");

    Convert({In("clip.mkv")}, {{"vcodec", "mpeg4"}, {"s", "48x32"}, {"acodec", "copy"}},
            out.file("small.mkv"));
    auto v = Probe(out.file("small.mkv"));
    EXPECT_EQ(v["stream.0.width"], "48");
    EXPECT_EQ(v["stream.0.height"], "32");
    EXPECT_TRUE(DecodesCleanly(out.file("small.mkv")));

    Convert({In("clip.mkv")}, {{"vcodec", "mpeg4"}, {"vf", "hflip"}, {"s", "64x48"}},
            out.file("filtered.mkv"));
    auto f = Probe(out.file("filtered.mkv"));
    EXPECT_EQ(f["stream.0.width"], "64");
    EXPECT_TRUE(DecodesCleanly(out.file("filtered.mkv")));
}

TEST_F(FFmpegEngine, VideoHooksSeeEveryPictureUntilTheyStop) {
    auto run = [&](const std::string& name, auto setup) {
        auto e = std::make_unique<TCustomFFmpeg>(2);
        EXPECT_TRUE(e->OpenInputFile(In("clip.mkv")));
        e->SetExtOption("vcodec", "mpeg4");
        e->SetExtOption("an", "1");
        EXPECT_EQ(e->OpenOutputFile(out.file(name)), 1);
        setup(*e);
        e->StartConvert(false);
        EXPECT_FALSE(e->FatalException()) << e->FatalMessage();
        EXPECT_TRUE(DecodesCleanly(out.file(name)));
    };
    int calls = 0;
    run("stop.mkv", [&](TCustomFFmpeg& e) {
        e.OnInputVideoHook = [&](TObject*, TBitmap* b, int frame, int64_t, bool&, bool& stop) {
            EXPECT_EQ(b->Width(), 96);
            EXPECT_EQ(frame, calls + 1);
            stop = ++calls == 3;
        };
    });
    EXPECT_EQ(calls, 3);

    LogCapture log;
    calls = 0;
    run("raise.mkv", [&](TCustomFFmpeg& e) {
        e.OnOutputVideoHook = [&](TObject*, TBitmap*, int, int64_t, bool&, bool&) {
            ++calls;
            throw Exception("boom");
        };
    });
    EXPECT_EQ(calls, 10);
    EXPECT_TRUE(log.Has("Error occurs VideoHook event: boom"));

    struct Case {
        int64_t interval;
        int pictures;
    } cases[] = {{0, 10}, {1000000000, 1}};
    for (const auto& c : cases) {
        int previews = 0;
        run("preview.mkv", [&](TCustomFFmpeg& e) {
            e.PreviewInterval = c.interval;
            e.SetPostHooks(PostHookBit(phBitmap));
            e.OnPreviewBitmap = [&](TObject*, TBitmap* b, int, int64_t) {
                EXPECT_EQ(b->Height(), 64);
                ++previews;
            };
        });
        EXPECT_EQ(previews, c.pictures);
    }
}

TEST_F(FFmpegEngine, SubtitlesConvertBetweenFormats) {
    media->write("lines.srt", "1\n00:00:00,500 --> 00:00:01,500\nHello there\n\n"
                              "2\n00:00:02,000 --> 00:00:03,250\nSecond line\n\n");
    // Text formats are read back as they are; the container through a
    // second conversion to text.
    struct Case {
        std::string output;
        std::vector<std::pair<std::string, std::string>> options;
        std::vector<std::string> expected;
    } cases[] = {
        {"same.srt",
         {},
         {"00:00:00,500 --> 00:00:01,500", "Hello there", "00:00:02,000 --> 00:00:03,250",
          "Second line"}},
        {"styled.ass",
         {},
         {"[Script Info]", "0:00:00.50,0:00:01.50", "Hello there", "0:00:02.00,0:00:03.25",
          "Second line"}},
        {"box.mkv",
         {{"scodec", "ass"}},
         {"00:00:00,500 --> 00:00:01,500", "Hello there", "00:00:02,000 --> 00:00:03,250",
          "Second line"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        Convert({In("lines.srt")}, c.options, out.file(c.output));
        std::string back = out.read(c.output);
        if (c.output == "box.mkv") {
            Convert({out.file(c.output)}, {}, out.file("back.srt"));
            back = out.read("back.srt");
        }
        size_t at = 0;
        for (const std::string& part : c.expected) {
            at = back.find(part, at);
            EXPECT_NE(at, std::string::npos) << part << " in\n" << back;
            if (at == std::string::npos) break;
        }
    }
}

// What the libraries read back from a written file.
struct WrittenFile {
    double StartSeconds = 0;
    AVRational TimeBase{0, 1};
    int Packets = 0;
};

WrittenFile ReadBack(const std::string& file) {
    WrittenFile w;
    AVFormatContext* c = nullptr;
    if (FF().avformat_open_input(&c, file.c_str(), nullptr, nullptr) < 0) return w;
    FF().avformat_find_stream_info(c, nullptr);
    if (c->start_time != AV_NOPTS_VALUE) w.StartSeconds = double(c->start_time) / AV_TIME_BASE;
    if (c->nb_streams > 0) w.TimeBase = c->streams[0]->time_base;
    AVPacket* p = FF().av_packet_alloc();
    while (FF().av_read_frame(c, p) >= 0) {
        if (p->stream_index == 0) ++w.Packets;
        FF().av_packet_unref(p);
    }
    FF().av_packet_free(&p);
    FF().avformat_close_input(&c);
    return w;
}

TEST_F(FFmpegEngine, OptionsOfTimingAndQualityTakeEffect) {
    // Muxer preload: a program stream starts that much later.
    for (const char* preload : {"0.2", "0.9"}) {
        SCOPED_TRACE(preload);
        const std::string file = out.file(std::string("preload") + preload + ".mpg");
        Convert({In("clip.mkv")},
                {{"vcodec", "mpeg1video"}, {"r", "25"}, {"acodec", "mp2"}, {"muxpreload", preload}},
                file);
        EXPECT_NEAR(ReadBack(file).StartSeconds, std::atof(preload), 0.05);
    }

    // A copied stream keeps a time base of its frames unless "copytb" says
    // to keep the input's.
    Convert({In("clip.mkv")}, {{"vcodec", "mpeg4"}, {"an", "1"}, {"f", "mpegts"}},
            out.file("fine.ts"));
    for (const char* copytb : {"0", "1"}) {
        SCOPED_TRACE(copytb);
        // This listing names the time base each stream was written in.
        const std::string name = std::string("copied") + copytb + ".txt";
        Convert({out.file("fine.ts")}, {{"vcodec", "copy"}, {"copytb", copytb}, {"f", "framecrc"}},
                out.file(name));
        EXPECT_NE(out.read(name).find(copytb[0] == '1' ? "#tb 0: 1/90000" : "#tb 0: 1/10"),
                  std::string::npos)
            << out.read(name);
    }

    // A looped picture fills the recording time; without the loop it gives one frame.
    for (const char* loop : {"0", "1"}) {
        SCOPED_TRACE(loop);
        auto e = std::make_unique<TCustomFFmpeg>(2);
        e->SetExtOption("f", "image2");
        e->SetExtOption("loop_input", loop);
        ASSERT_TRUE(e->OpenInputFile(LANTROVE_FIXTURES_DIR "/gdi/grey_trns.png"))
            << e->LastErrMsg();
        e->SetExtOption("vcodec", "mpeg4");
        e->SetExtOption("t", "1");
        const std::string file = out.file(std::string("loop") + loop + ".mkv");
        ASSERT_EQ(e->OpenOutputFile(file), 1) << e->LastErrMsg();
        e->StartConvert(false);
        EXPECT_FALSE(e->FatalException()) << e->FatalMessage();
        const int frames = ReadBack(file).Packets;
        if (loop[0] == '1')
            EXPECT_GE(frames, 20);
        else
            EXPECT_EQ(frames, 1);
    }

    // "sameq" encodes at the input's quantisers; "me_threshold" keeps its
    // picture types.
    Convert({In("clip.mkv")},
            {{"vcodec", "libx264"}, {"an", "1"}, {"g", "4"}, {"vstats_file", out.file("in.log")}},
            out.file("coarse.mkv"));
    Convert({out.file("coarse.mkv")},
            {{"vcodec", "mpeg4"},
             {"g", "100"},
             {"sameq", "1"},
             {"me_threshold", "1"},
             {"vstats_file", out.file("same.log")}},
            out.file("same.mkv"));
    auto read = [&](const std::string& name) {
        const std::string text = out.read(name);
        std::vector<std::pair<double, char>> frames; // quantiser, picture type
        for (size_t at = text.find("frame="); at != std::string::npos;
             at = text.find("frame=", at + 1)) {
            const size_t q = text.find("q= ", at);
            const size_t type = text.find("type= ", at);
            if (q == std::string::npos || type == std::string::npos) break;
            frames.emplace_back(std::atof(text.c_str() + q + 3), text[type + 6]);
        }
        return frames;
    };
    // The input's encoder logs only the pictures it gave out while running.
    const auto in = read("in.log"), same = read("same.log");
    ASSERT_FALSE(in.empty());
    double low = 1e9, high = 0;
    for (const auto& f : in) {
        low = std::min(low, f.first);
        high = std::max(high, f.first);
    }
    ASSERT_EQ(same.size(), 10u);
    int intra = 0;
    for (const auto& f : same) {
        EXPECT_GE(f.first, low - 1);
        EXPECT_LE(f.first, high + 1);
        intra += f.second == 'I';
    }
    // Pictures 1, 5 and 9 were intra in the input.
    EXPECT_EQ(intra, 3);
}

TEST_F(FFmpegEngine, VideoStatisticsCarryPictureTypesAndPsnr) {
    LogCapture log;
    const std::string stats = out.file("vstats.log");
    Convert({In("clip.mkv")},
            {{"vcodec", "mpeg4"}, {"an", "1"}, {"g", "4"}, {"psnr", "1"}, {"vstats_file", stats}},
            out.file("psnr.mkv"));
    const std::string text = out.read("vstats.log");
    std::map<char, int> types;
    int lines = 0;
    for (size_t at = text.find("type= "); at != std::string::npos;
         at = text.find("type= ", at + 1)) {
        ++types[text[at + 6]];
        ++lines;
    }
    EXPECT_EQ(lines, 10) << text;
    EXPECT_GE(types['I'], 2) << text;
    EXPECT_GE(types['P'], 2) << text;
    // A faithful copy of the test picture: well above 20 dB on every line.
    int psnrLines = 0;
    for (size_t at = text.find("PSNR= "); at != std::string::npos;
         at = text.find("PSNR= ", at + 1)) {
        EXPECT_GT(std::atof(text.c_str() + at + 6), 20.0) << text;
        ++psnrLines;
    }
    EXPECT_EQ(psnrLines, lines);
    bool reported = false;
    std::lock_guard<std::mutex> g(log.lock);
    for (const std::string& l : log.lines)
        if (l.find("frame=") != std::string::npos && l.find("PSNR=Y:") != std::string::npos &&
            l.find(" U:") != std::string::npos && l.find(" *:") != std::string::npos)
            reported = true;
    EXPECT_TRUE(reported);
}

TEST_F(FFmpegEngine, StopInsideProgressLeavesDecodableFile) {
    auto e = std::make_unique<TCustomFFmpeg>(4);
    ASSERT_TRUE(e->OpenInputFile(In("long.wav")));
    ASSERT_EQ(e->OpenOutputFile(out.file("stopped.mp3")), 1);
    e->ReportInterval = 0;
    int reports = 0;
    e->OnProgress = [&](TObject*, int f, int, int, float, float, int64_t, int64_t, int64_t) {
        ++reports;
        if (f >= 0 && reports == 3) e->Stop(false);
    };
    e->OnTerminate = [&](TObject*) { ++terminations; };
    e->StartConvert(false);
    EXPECT_EQ(terminations, 1);
    EXPECT_FALSE(e->Finished());
    EXPECT_FALSE(e->FatalException()) << e->FatalMessage();
    double d = ProbeDuration(out.file("stopped.mp3"));
    EXPECT_GT(d, 0.0);
    EXPECT_LT(d, 10.0);
    EXPECT_TRUE(DecodesCleanly(out.file("stopped.mp3")));
}

TEST_F(FFmpegEngine, PauseAndStopFromAnotherThread) {
    auto e = std::make_unique<TCustomFFmpeg>(4);
    ASSERT_TRUE(e->OpenInputFile(In("long.wav")));
    ASSERT_EQ(e->OpenOutputFile(out.file("threaded.mp3")), 1);
    e->ReportInterval = 0;
    std::atomic<int> reports{0};
    std::atomic<int> terms{0};
    e->OnProgress = [&](TObject*, int, int, int, float, float, int64_t, int64_t, int64_t) {
        ++reports;
    };
    e->OnTerminate = [&](TObject*) { ++terms; };
    TConvertThread* t = e->StartConvert(true);
    ASSERT_NE(t, nullptr);
    t->Resume();
    auto waitFor = [&](int count) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (reports < count && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return reports >= count;
    };
    ASSERT_TRUE(waitFor(2));
    e->Pause();
    // The packet in progress may still report; after that nothing moves.
    int during;
    do {
        during = reports;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    } while (reports != during);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(reports, during);
    EXPECT_TRUE(e->Converting());
    e->Resume();
    EXPECT_TRUE(waitFor(during + 2));
    e->Pause();
    e->Stop(true); // ends a paused run too
    EXPECT_FALSE(e->FatalException()) << e->FatalMessage();
    EXPECT_EQ(terms, 1);
    EXPECT_FALSE(e->Converting());
    EXPECT_FALSE(e->Finished());
    std::string decodeError;
    EXPECT_TRUE(DecodesWithoutError(out.file("threaded.mp3"), &decodeError))
        << decodeError << RunCommand("ls -l " + ShellQuote(out.file("threaded.mp3")));
}

TEST_F(FFmpegEngine, StartWithoutFilesTerminatesOnce) {
    auto e = std::make_unique<TCustomFFmpeg>(1);
    e->OnTerminate = [&](TObject*) { ++terminations; };
    EXPECT_EQ(e->StartConvert(false), nullptr);
    EXPECT_EQ(terminations, 1);
    EXPECT_TRUE(e->FatalException());
    EXPECT_EQ(e->FatalMessage(), "At least one output file must be specified");
    // An engine that never ran still reports its end once, from a thread of its own.
    auto idle = std::make_unique<TCustomFFmpeg>(1);
    std::atomic<int> idleTerms{0};
    std::thread::id where;
    idle->OnTerminate = [&](TObject*) {
        ++idleTerms;
        where = std::this_thread::get_id();
    };
    idle->StopOrTerminate(true);
    idle->StopOrTerminate(true);
    EXPECT_EQ(idleTerms, 1);
    EXPECT_NE(where, std::this_thread::get_id());
    EXPECT_TRUE(idle->Terminated());
    EXPECT_THROW(TCustomFFmpeg(0), FFmpegException);
    EXPECT_THROW(TCustomFFmpeg(513), FFmpegException);
}

TEST_F(FFmpegEngine, BadStreamMapsEndTheRun) {
    struct Case {
        const char* input;
        std::vector<std::string> maps;
        std::string message;
    } cases[] = {
        {"two.mka", {"0:0", "0:1"}, "Number of stream maps must match number of output streams"},
        {"two.mka", {"0:5"}, "Could not find input stream #0.5"},
        {"two.mka", {"0:0:1:0"}, "Could not find sync stream #1.0"},
        {"clip.mkv", {"0:0"}, "Codec type mismatch for mapping #0.0 (Video) -> #0.0 (Audio)"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        auto e = std::make_unique<TCustomFFmpeg>(2);
        ASSERT_TRUE(e->OpenInputFile(In(c.input)));
        for (auto& m : c.maps)
            e->SetExtOption("map", m);
        std::string o = out.file("map" + std::to_string(n++) + ".mp3");
        ASSERT_EQ(e->OpenOutputFile(o), 1);
        e->OnTerminate = [&](TObject*) { ++terminations; };
        e->StartConvert(false);
        EXPECT_TRUE(e->FatalException());
        EXPECT_EQ(e->FatalMessage(), c.message);
        EXPECT_FALSE(e->Finished());
    }
    EXPECT_EQ(terminations, 4);
}

TEST_F(FFmpegEngine, OutputWithoutStreamsIsRemoved) {
    auto e = std::make_unique<TCustomFFmpeg>(2);
    ASSERT_TRUE(e->OpenInputFile(In("a44.wav")));
    e->SetExtOption("an", "1");
    ASSERT_EQ(e->OpenOutputFile(out.file("empty.mp3")), 1);
    e->StartConvert(false);
    EXPECT_TRUE(e->FatalException());
    EXPECT_EQ(e->FatalMessage(), "Output file #0 does not contain any stream");
    EXPECT_FALSE(out.exists("empty.mp3"));
}

TEST_F(FFmpegEngine, BadInputsAreReportedAndLeftAlone) {
    struct Case {
        const char* name;
        std::string file;
        std::string error;
    } cases[] = {
        {"text", In("text.wav"), In("text.wav") + ": Invalid data found when processing input"},
        {"truncated", In("truncated.wav"), ""},
        {"missing", In("nothing.wav"), In("nothing.wav") + ": No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string before = RunCommand("md5sum " + ShellQuote(c.file) + " 2>/dev/null");
        TCustomFFmpeg e(2);
        EXPECT_FALSE(e.OpenInputFile(c.file));
        if (!c.error.empty())
            EXPECT_EQ(e.LastErrMsg(), c.error);
        else
            EXPECT_FALSE(e.LastErrMsg().empty());
        EXPECT_EQ(RunCommand("md5sum " + ShellQuote(c.file) + " 2>/dev/null"), before);
    }
    {
        TCustomFFmpeg e(2);
        e.SetExtOption("f", "nosuchformat");
        try {
            e.OpenInputFile(In("a44.wav"));
            ADD_FAILURE() << "no exception";
        } catch (const FFmpegException& x) {
            EXPECT_EQ(x.Message, "Unknown input format: \"nosuchformat\"");
        }
    }
    {
        TCustomFFmpeg e(2);
        ASSERT_TRUE(e.OpenInputFile(In("a44.wav")));
        std::string o = out.path() + "/no/such/folder/o.mp3";
        EXPECT_EQ(e.OpenOutputFile(o), -1);
        EXPECT_EQ(e.LastErrMsg(), o + ": No such file or directory");
        e.SetExtOption("f", "nosuchformat");
        EXPECT_EQ(e.OpenOutputFile(out.file("x.mp3")), -1);
        EXPECT_EQ(e.LastErrMsg(),
                  "Requested output format 'nosuchformat' is not a suitable output format");
    }
    {
        // The output never replaces the input it reads.
        std::string copy = out.write("self.wav", media->read("a44.wav"));
        std::string before = RunCommand("md5sum " + ShellQuote(copy));
        TCustomFFmpeg e(2);
        ASSERT_TRUE(e.OpenInputFile(copy));
        EXPECT_EQ(e.OpenOutputFile(copy), -1);
        EXPECT_FALSE(e.LastErrMsg().empty());
        EXPECT_EQ(RunCommand("md5sum " + ShellQuote(copy)), before);
    }
}

TEST_F(FFmpegEngine, BlockingOpenEndsByTimeoutOrStop) {
    httptest::TestHttpServer server;
    server.Server().Get("/stall", [&](const httplib::Request&, httplib::Response& res) {
        server.WaitWhileRunning(10000);
        res.set_content("x", "text/plain");
    });
    server.Start();
    struct Case {
        const char* name;
        int timeoutMs;
        bool stop;
        const char* line;
    } cases[] = {
        {"timeout", 300, false, "connecting/reading/writing timeout"},
        // Far beyond what a 32-bit product of milliseconds holds.
        {"stop", 3000000, true, "connecting/reading/writing canceled"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        TCustomFFmpeg e(2);
        e.SetReadTimeout(c.timeoutMs);
        std::thread stopper;
        if (c.stop)
            stopper = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                e.Stop(false);
            });
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_FALSE(e.OpenInputFile(server.Url("/stall")));
        auto waited = std::chrono::steady_clock::now() - t0;
        if (stopper.joinable()) stopper.join();
        EXPECT_LT(waited, std::chrono::seconds(5));
        EXPECT_TRUE(log.Has(c.line));
        EXPECT_FALSE(log.Has(c.stop ? "connecting/reading/writing timeout"
                                    : "connecting/reading/writing canceled"));
    }
}

} // namespace
