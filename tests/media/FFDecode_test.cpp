// The decoder against small generated files.
#include "media/FFDecode.h"
#include "media/MyUtils.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "MediaTestFiles.h"
#include "support/tempdir.h"

namespace {

bool Make(const std::string& FileName, const MediaRecipe& Recipe) {
    std::string Error;
    EXPECT_TRUE(WriteMedia(FileName, Recipe, &Error)) << Error;
    return Error.empty();
}

class Decoder : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(FFLoader().Load(DecoderLibraries)) << FFLoader().LastErrMsg();
        Media = new TempDir;
        // 2 s of 64x48 video at 25 fps (a key frame every 10) with 22050 Hz mono audio.
        ASSERT_TRUE(Make(
            Media->file("av.mkv"),
            MediaRecipe{
                .Video =
                    PictureRecipe{.Width = 64, .Height = 48, .Rate = 25, .Seconds = 2, .Gop = 10},
                .Audio = {ToneRecipe{.SampleRate = 22050, .Seconds = 2}},
                .Tags = {{"TPE1", "Someone"}}}));
        // Already in the wanted format: 44100 Hz, 2 channels, 16-bit.
        ASSERT_TRUE(WriteToneWav(Media->file("plain.wav"), ToneRecipe{.Channels = 2}));
        Media->write("text.txt", "this is not a media file\n");
        // Alternate black and white lines: the comb of an interlaced picture.
        ASSERT_TRUE(
            Make(Media->file("comb.mkv"), MediaRecipe{.Video = PictureRecipe{.Width = 16,
                                                                             .Height = 16,
                                                                             .Rate = 5,
                                                                             .Seconds = 0.4,
                                                                             .Codec = "ffv1",
                                                                             .Comb = true}}));
    }
    static void TearDownTestSuite() {
        delete Media;
        Media = nullptr;
    }
    static std::string In(const char* Name) { return Media->file(Name); }

    static TempDir* Media;
    TFFDecoder D{nullptr};
};

TempDir* Decoder::Media = nullptr;

TEST_F(Decoder, DescribesStreamsOfAnOpenedFile) {
    ASSERT_TRUE(D.LoadFile(In("av.mkv"), "")) << D.LastErrMsg();
    EXPECT_EQ(D.StreamCount(), 2);
    EXPECT_EQ(D.VideoStreamCount(), 1);
    EXPECT_EQ(D.AudioStreamCount(), 1);
    EXPECT_EQ(D.SubtitleStreamCount(), 0);
    EXPECT_EQ(D.FirstVideoStreamIndex(), 0);
    EXPECT_EQ(D.FirstAudioStreamIndex(), 1);
    EXPECT_EQ(D.FirstSubtitleStreamIndex(), -1);
    EXPECT_EQ(D.FileName(), In("av.mkv"));
    EXPECT_EQ(D.FileSize(), MyUtils::GetFileSize64(In("av.mkv")));
    TAudioStreamInfo A = D.FirstAudioStreamInfo();
    EXPECT_EQ(A.Channels, 1);
    EXPECT_EQ(A.SampleRate, 22050);
    TVideoStreamInfo V = D.FirstVideoStreamInfo();
    EXPECT_EQ(V.Width, 64);
    EXPECT_EQ(V.Height, 48);
    EXPECT_EQ(V.FrameRate.num * 1.0 / V.FrameRate.den, 25.0);
    EXPECT_FALSE(D.IsAudioStream(5));
    EXPECT_EQ(D.LastErrMsg(), "stream index #5 is invalid.");

    // The native tag name shows as its generic one.
    std::string Text = D.FileInfoText();
    EXPECT_NE(Text.find("Format Name: matroska,webm\n"), std::string::npos) << Text;
    EXPECT_NE(Text.find("Metadata:\n  artist          : Someone\n"), std::string::npos) << Text;
    EXPECT_NE(Text.find("Stream #0"), std::string::npos) << Text;
    EXPECT_NE(Text.find("25 fps"), std::string::npos) << Text;
    EXPECT_NE(Text.find("Stream #1"), std::string::npos) << Text;
}

TEST_F(Decoder, FailuresLeaveNoFile) {
    EXPECT_EQ(D.FileName(), "");
    EXPECT_EQ(D.LastErrMsg(), "file not loaded.");
    EXPECT_EQ(D.StreamCount(), -1);

    EXPECT_FALSE(D.LoadFile(In("text.txt"), ""));
    EXPECT_EQ(D.StreamCount(), -1);
    EXPECT_EQ(D.AudioStreamCount(), -1);
    EXPECT_EQ(D.FirstAudioStreamIndex(), -1);
    EXPECT_EQ(D.FileHandle(), nullptr);
    EXPECT_FALSE(D.Decode(-1));
    EXPECT_EQ(D.ReadAudio(nullptr, 10), -1);

    // An unknown format name still opens a file that can be probed.
    ASSERT_TRUE(D.LoadFile(In("plain.wav"), "no-such-format"));
    EXPECT_EQ(D.LastErrMsg(), "Unknown input format: no-such-format");
    EXPECT_EQ(D.AudioStreamCount(), 1);
    EXPECT_EQ(D.ForceFormat(), "no-such-format");
}

TEST_F(Decoder, PicturesCarryTheirTimesUntilTheEnd) {
    ASSERT_TRUE(D.LoadFile(In("av.mkv"), ""));
    std::vector<int64_t> Times;
    while (D.Decode(-1))
        Times.push_back(D.FrameInfo().PTS);
    EXPECT_EQ(D.LastErrMsg(), "stream eof reached.");
    EXPECT_TRUE(D.IsEOF());
    ASSERT_EQ(Times.size(), 50u);
    for (size_t I = 0; I < Times.size(); ++I)
        EXPECT_EQ(Times[I], int64_t(I) * 40000) << I;
    EXPECT_FALSE(D.Decode(-1));
    EXPECT_EQ(D.LastErrMsg(), "stream eof reached.");

    // A seek starts over and the picture reaches a bitmap.
    ASSERT_TRUE(D.Seek(0, 0)) << D.LastErrMsg();
    EXPECT_FALSE(D.IsEOF());
    ASSERT_TRUE(D.Decode(-1));
    EXPECT_EQ(D.FrameInfo().PTS, 0);
    EXPECT_TRUE(D.FrameInfo().IsKeyFrame);
    TBitmap Bmp;
    ASSERT_TRUE(D.CopyToBitmap(&Bmp)) << D.LastErrMsg();
    EXPECT_EQ(Bmp.Width(), 64);
    EXPECT_EQ(Bmp.Height(), 48);
}

TEST_F(Decoder, SeekLandsOnTheKeyFrameBefore) {
    ASSERT_TRUE(D.LoadFile(In("av.mkv"), ""));
    ASSERT_TRUE(D.Seek(1000000, sfBackward)) << D.LastErrMsg();
    ASSERT_TRUE(D.Decode(-1));
    EXPECT_EQ(D.FrameInfo().PTS, 800000);
    EXPECT_TRUE(D.FrameInfo().IsKeyFrame);
    ASSERT_TRUE(D.DecodeNextKeyFrame(-1));
    EXPECT_EQ(D.FrameInfo().PTS, 1200000);
    ASSERT_TRUE(D.DecodePreviousKeyFrame(-1)) << D.LastErrMsg();
    EXPECT_EQ(D.FrameInfo().PTS, 800000);
    ASSERT_TRUE(D.DecodePreviousFrame(-1)) << D.LastErrMsg();
    EXPECT_EQ(D.FrameInfo().PTS, 760000);
}

TEST_F(Decoder, AudioIsResampledToTheWantedFormat) {
    ASSERT_TRUE(D.LoadFile(In("av.mkv"), ""));
    std::vector<uint8_t> Buf(4096);
    int64_t Total = 0;
    int N = D.ReadAudio(Buf.data(), int(Buf.size()), -1);
    ASSERT_GT(N, 0) << D.LastErrMsg();
    const TWaveInfo W = D.WaveInfo();
    do
        Total += N;
    while ((N = D.ReadAudio(Buf.data(), int(Buf.size()), -1)) > 0);
    EXPECT_EQ(N, -1);
    EXPECT_EQ(D.LastErrMsg(), "stream eof reached.");
    EXPECT_EQ(W.Channels, 2);
    EXPECT_EQ(W.SampleRate, 44100);
    EXPECT_EQ(W.BytesPerSecond, 176400);
    // 2 s at 176400 bytes a second, give or take the resampler's delay.
    EXPECT_NEAR(double(Total), 352800.0, 352800.0 * 0.02);
}

TEST_F(Decoder, ReadAudioPeeksWithoutBufferAndForgetsOnSeek) {
    ASSERT_TRUE(D.LoadFile(In("plain.wav"), ""));
    int Avail = D.ReadAudio(nullptr, INT_MAX, -1);
    ASSERT_GT(Avail, 400);
    EXPECT_EQ(Avail, D.WaveInfo().Size);
    EXPECT_EQ(D.ReadAudio(nullptr, 100, -1), 100);
    std::vector<uint8_t> First(D.WaveInfo().Buffer, D.WaveInfo().Buffer + 200);
    std::vector<uint8_t> Got(100);
    ASSERT_EQ(D.ReadAudio(Got.data(), 100, -1), 100);
    EXPECT_EQ(0, memcmp(Got.data(), First.data(), 100));
    ASSERT_EQ(D.ReadAudio(Got.data(), 100, -1), 100);
    EXPECT_EQ(0, memcmp(Got.data(), First.data() + 100, 100));
    EXPECT_EQ(D.ReadAudio(nullptr, INT_MAX, -1), Avail - 200);

    // After a seek the count comes from a fresh packet, not the old one.
    ASSERT_TRUE(D.Seek(0, 0));
    std::vector<uint8_t> All(size_t(Avail) + 1000);
    int Fresh = D.ReadAudio(All.data(), int(All.size()), -1);
    EXPECT_EQ(Fresh, D.WaveInfo().Size);
    EXPECT_EQ(D.WaveInfo().PTS, 0);
    EXPECT_EQ(0, memcmp(All.data(), First.data(), 200));
}

TEST_F(Decoder, DeinterlaceEvensOutTheComb) {
    ASSERT_TRUE(D.LoadFile(In("comb.mkv"), ""));
    ASSERT_TRUE(D.Decode(-1));
    const TFrameInfo& F = D.FrameInfo();
    ASSERT_EQ(F.PixFmt, AV_PIX_FMT_YUV420P);
    EXPECT_EQ(F.Picture.data[0][F.Picture.linesize[0] * 3], 255);
    D.SetDeinterlace(true);
    ASSERT_TRUE(D.Decode(-1));
    EXPECT_TRUE(D.Deinterlace());
    // Inner lines of both fields end up mid-grey.
    for (int Y = 1; Y < 15; ++Y)
        EXPECT_NEAR(F.Picture.data[0][F.Picture.linesize[0] * Y + 5], 128, 1) << Y;
}

TEST_F(Decoder, SeekNeedsAFileOfItsOwn) {
    EXPECT_FALSE(D.Seek(0, 0));
    EXPECT_EQ(D.LastErrMsg(), "file not loaded.");
    TFFDecoder Owner(nullptr);
    ASSERT_TRUE(Owner.LoadFile(In("plain.wav"), ""));
    D.SetFileHandle(Owner.FileHandle());
    EXPECT_EQ(D.AudioStreamCount(), 1);
    EXPECT_THROW(D.Seek(0, 0), Exception);
    EXPECT_EQ(D.LastErrMsg(), "file cannot be seeked, handle is readonly.");
    D.SetFileHandle(nullptr);
    EXPECT_EQ(D.StreamCount(), -1);
}

} // namespace
