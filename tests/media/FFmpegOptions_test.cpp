// The option vocabulary of the conversion engine: errors, values, presets.
#include "media/FFmpeg.h"

#include <gtest/gtest.h>

#include <mutex>

#include "media/FFLoad.h"
#include "media/FFLog.h"
#include "support/tempdir.h"

namespace {

class FFmpegOptions : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(FFLoader().Load(ConverterLibraries)) << FFLoader().LastErrMsg();
    }
    void SetUp() override {
        FFLogger()->SetTriggerEventInMainThread(false);
        FFLogger()->SetLogLevel(llVerbose);
        FFLogger()->OnLog = [this](TObject*, uint32_t, TLogLevel, const std::string& msg) {
            std::lock_guard<std::mutex> g(lock);
            log.push_back(msg);
        };
    }
    void TearDown() override { FFLogger()->OnLog = nullptr; }
    bool Logged(const std::string& line) {
        std::lock_guard<std::mutex> g(lock);
        for (auto& l : log)
            if (l == line) return true;
        return false;
    }
    std::mutex lock;
    std::vector<std::string> log;
};

TEST_F(FFmpegOptions, ErrorsCarryTheirTexts) {
    std::string matrix63;
    for (int i = 0; i < 63; ++i)
        matrix63 += (i ? "," : "") + std::to_string(16 + i);
    struct Case {
        const char* name;
        std::string value;
        std::string message;
    } cases[] = {
        {"croptop", "10", "Removed, use the crop filter instead"},
        {"padcolor", "000000", "Removed, use the pad filter instead"},
        {"itsscale", "25:2", "stream index over MAX_STREAMS(20)"},
        {"itsscale", "-1:2", "stream index over MAX_STREAMS(20)"},
        {"metadata", "title", "Missing ="},
        {"metadata", "=x", "wrong parameter of metadata"},
        {"t", "abc", "Invalid duration specification for t: abc"},
        {"timestamp", "garbage", "Invalid date specification for timestamp: garbage"},
        {"qscale", "0", "qscale must be > 0.0 and <= 255"},
        {"qscale", "256", "qscale must be > 0.0 and <= 255"},
        {"pass", "3", "pass number can be only 1 or 2"},
        {"r", "abc", "Incorrect frame rate"},
        {"s", "abc", "Incorrect frame size"},
        {"aspect", "0", "Incorrect aspect ratio specification."},
        {"pix_fmt", "nope", "Unknown pixel format requested: nope"},
        {"sample_fmt", "nope", "Invalid sample format \"nope\""},
        {"intra_matrix", matrix63, "Syntax error in matrix \"" + matrix63 + "\" at coeff 63"},
        {"vtag", "XVI", "tag parameter must be 4 chars or int value"},
        {"streamid", "1",
         "Invalid value \"1\" for option \"streamid\", required syntax is \"index:value\""},
        {"streamid", "-1:5",
         "Invalid value \"-1:5\" for option \"streamid\", required syntax is \"index:value\""},
        {"vbsf", "nosuchbsf", "Unknown bitstream filter nosuchbsf"},
        {"target", "vcd", "frame_rate is invalid."},
        {"target", "pal-xyz", "Unknown target type"},
        {"newaudio", "", "At least one output file must be specified"},
        {"nosuchoption", "1", "Unrecognized option \"nosuchoption\""},
        {"vpre", "fast", "Preset \"fast\" not found"},
        {"map_meta_data", "0,x:0", "Invalid metadata type x."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        TCustomFFmpeg e(2);
        try {
            e.SetExtOption(c.name, c.value);
            ADD_FAILURE() << "no exception";
        } catch (const FFmpegException& x) {
            EXPECT_EQ(x.Message, c.message);
        }
    }
    TCustomFFmpeg e(2);
    EXPECT_THROW(e.SetExtOption("threads", "many"), EConvertError);
    e.HaltOnInvalidOption = false;
    EXPECT_NO_THROW(e.SetExtOption("nosuchoption", "1"));
}

TEST_F(FFmpegOptions, WithoutTheLibrariesOptionsAreRefused) {
    FFLoader().Unload(ConverterLibraries);
    {
        TCustomFFmpeg e(2);
        EXPECT_THROW(e.SetExtOption("ab", "128000"), FFmpegException);
        EXPECT_THROW(e.OpenInputFile("x.wav"), FFmpegException);
    }
    ASSERT_TRUE(FFLoader().Load(ConverterLibraries)) << FFLoader().LastErrMsg();
}

TEST_F(FFmpegOptions, ValuesReachTheEngine) {
    TCustomFFmpeg e(2);
    e.SetExtOption("t", "0");
    EXPECT_EQ(e.RecordingTime(), 0);
    EXPECT_EQ(e.TotalOutputDuration(), 0);
    e.SetExtOption("t", "1.5");
    EXPECT_EQ(e.RecordingTime(), 1500000);
    e.SetRecordingTime(AV_NOPTS); // the unset value changes nothing
    EXPECT_EQ(e.RecordingTime(), 1500000);

    e.SetExtOption("vtag", "XVID");
    EXPECT_EQ(e.VideoCodecTag(),
              unsigned('X') | unsigned('V') << 8 | unsigned('I') << 16 | unsigned('D') << 24);
    e.SetExtOption("vtag", "123");
    EXPECT_EQ(e.VideoCodecTag(), 123u);

    e.SetExtOption("streamid", "2:7");
    ASSERT_EQ(e.StreamIdMap().size(), 3u);
    EXPECT_EQ(e.StreamIdMap()[2], 7);

    e.SetExtOption("vol", "512");
    EXPECT_EQ(e.AudioVolume(), 512);
    e.SetAudioVolume(-1);
    EXPECT_EQ(e.AudioVolume(), 512);

    EXPECT_NO_THROW(e.SetExtOption("target", "pal-vcd"));
    EXPECT_NO_THROW(e.SetExtOption("target", "ntsc-dvd"));
}

TEST_F(FFmpegOptions, LowBitrateWarns) {
    const std::string warning =
        "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s";
    TCustomFFmpeg e(2);
    e.SetExtOption("ab", "128000");
    EXPECT_FALSE(Logged(warning));
    e.SetExtOption("ab", "128");
    EXPECT_TRUE(Logged(warning));
}

TEST_F(FFmpegOptions, PresetsApplyAsX264Options) {
    ASSERT_EQ(OptionsPresetCount(), 36u);
    for (size_t i = 0; i < OptionsPresetCount(); ++i) {
        const TOptionsPreset& p = OptionsPresetAt(i);
        SCOPED_TRACE(p.Name);
        TCustomFFmpeg e(2);
        e.SetExtOption("vcodec", "libx264");
        // "vpre" finds codec name + "-" + value among the built-in presets.
        EXPECT_NO_THROW(e.SetExtOption("vpre", std::string(p.Name).substr(8)));
    }
    EXPECT_NE(FindOptionsPreset("LIBX264-Baseline"), nullptr);
}

TEST_F(FFmpegOptions, EveryPresetLineIsAnX264Option) {
    const AVCodec* x264 = FF().avcodec_find_encoder_by_name("libx264");
    if (!x264) GTEST_SKIP() << "no libx264 encoder";
    for (size_t i = 0; i < OptionsPresetCount(); ++i) {
        const TOptionsPreset& p = OptionsPresetAt(i);
        AVCodecContext* ctx = FF().avcodec_alloc_context3(x264);
        std::string text = p.Value;
        size_t pos = 0;
        while (pos < text.size()) {
            size_t end = text.find('\n', pos);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(pos, end - pos);
            pos = end + 1;
            size_t eq = line.find('=');
            ASSERT_NE(eq, std::string::npos) << p.Name;
            EXPECT_GE(FF().av_opt_set(ctx, line.substr(0, eq).c_str(), line.c_str() + eq + 1,
                                      AV_OPT_SEARCH_CHILDREN),
                      0)
                << p.Name << ": " << line;
        }
        FF().avcodec_free_context(&ctx);
    }
}

TEST_F(FFmpegOptions, PresetFilesAreCheckedLineByLine) {
    TempDir dir;
    struct Case {
        const char* text;
        std::string message; // empty: loads
    } cases[] = {
        {"# comment\n\nb=64000\r\nacodec=libmp3lame\n", ""},
        {"b=\n", "@: Invalid syntax: \"b=\""},
        {"nosuchkey=1\n", "Unrecognized option \"nosuchkey\"\r\n@: Invalid option or argument: "
                          "\"nosuchkey=1\", parsed as \"nosuchkey\" = \"1\""},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::string file = dir.write("p" + std::to_string(n++) + ".ffpreset", c.text);
        SCOPED_TRACE(c.text);
        TCustomFFmpeg e(2);
        std::string expected = c.message;
        if (size_t at = expected.find('@'); at != std::string::npos) expected.replace(at, 1, file);
        try {
            e.SetExtOption("fpre", file);
            EXPECT_TRUE(expected.empty());
        } catch (const FFmpegException& x) {
            EXPECT_EQ(x.Message, expected);
        }
    }
}

} // namespace
