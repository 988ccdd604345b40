#include "media/FFUtils.h"

#include "media/FFLog.h"
#include "support/tempdir.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

TEST(FFUtils, FormatTimeText) {
    EXPECT_EQ(FormatTimeText(int64_t(3723456) * 1000), "01:02:03.456");
    EXPECT_EQ(FormatTimeText(0), "00:00:00.000");
    EXPECT_EQ(FormatTimeText(AV_NOPTS_VALUE), "N/A");
}

TEST(FFUtils, FrameDuration) {
    EXPECT_EQ(FrameDuration(AVRational{0, 0}), 40000);
    EXPECT_EQ(FrameDuration(AVRational{25, 0}), 40000);
    EXPECT_EQ(FrameDuration(AVRational{30000, 1001}), 33366);
}

TEST(FFUtils, FormatAVError) {
    struct {
        int Code;
        const char* Text;
    } Cases[] = {
        {-2, "No such file or directory"},
        {-10061, "Connection refused"},
        {-111, "Connection refused"},
        {-11001, "WSAHOST_NOT_FOUND"},
        {AVERROR_DECODER_NOT_FOUND, "Decoder not found"},
        {AVERROR_MUXER_NOT_FOUND, "Muxer not found"},
        {AVERROR_INVALIDDATA, "Invalid data found when processing input"},
        {-99999, "Error number -99999 occurred"},
    };
    for (auto& C : Cases)
        EXPECT_EQ(FormatAVError("in.wav", C.Code), std::string("in.wav: ") + C.Text) << C.Code;
}

TEST(FFUtils, CorrectTimeStampPrefersTheReliableSource) {
    TTimeStampState S;
    InitTimeStampState(S);
    EXPECT_EQ(S.last_pts, AV_NOPTS_VALUE);
    EXPECT_EQ(CorrectTimeStamp(S, 10, 5), 10);
    EXPECT_EQ(CorrectTimeStamp(S, AV_NOPTS_VALUE, 6), 6);
    // Presentation stamps going backwards make the decoding ones win.
    EXPECT_EQ(CorrectTimeStamp(S, 8, 7), 7);
    EXPECT_EQ(S.num_faulty_pts, 1);
    EXPECT_EQ(CorrectTimeStamp(S, 20, AV_NOPTS_VALUE), 20);
}

TEST(FFUtils, ReadWholeFile) {
    TempDir Dir;
    std::string Buffer;
    EXPECT_EQ(ReadWholeFile(Dir.write("a.txt", "abc"), Buffer), 4);
    EXPECT_EQ(Buffer, std::string("abc\0", 4));
    EXPECT_EQ(ReadWholeFile(Dir.file("missing"), Buffer), -1);
}

TEST(FFUtils, MediaTypeName) {
    EXPECT_EQ(MediaTypeName(0), "Video");
    EXPECT_EQ(MediaTypeName(4), "Attachment");
    EXPECT_EQ(MediaTypeName(-1), "Unknown");
    EXPECT_EQ(MediaTypeName(5), "Unknown");
}

class LoadedTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FFLoader().Load(ConverterLibraries)); }
    void TearDown() override { FFLoader().Unload(AllLibraries); }
};

TEST_F(LoadedTest, GenericOptionsAreFoundSetAndApplied) {
    TFFOptions Options;
    Options.Init(SWS_BICUBIC);
    ASSERT_NE(Options.avcodec_opts[AVMEDIA_TYPE_AUDIO], nullptr);

    ASSERT_TRUE(Options.SetGenericOption("ab", "96k"));
    EXPECT_EQ(Options.avcodec_opts[AVMEDIA_TYPE_AUDIO]->bit_rate, 96000);
    // "acutoff" is "cutoff" on the audio template, remembered by that name.
    ASSERT_TRUE(Options.SetGenericOption("acutoff", "15000"));
    EXPECT_EQ(Options.avcodec_opts[AVMEDIA_TYPE_AUDIO]->cutoff, 15000);
    EXPECT_EQ(Options.avcodec_opts[AVMEDIA_TYPE_VIDEO]->cutoff, 0);
    ASSERT_EQ(Options.opt_name_count, 2);
    EXPECT_EQ(Options.opt_names[1], "cutoff");

    EXPECT_FALSE(Options.SetGenericOption("no_such_option_anywhere", "1"));
    EXPECT_EQ(GenericOptionLastError(), "Unrecognized option \"no_such_option_anywhere\"");
    EXPECT_FALSE(Options.SetGenericOption("ar", "many"));
    EXPECT_EQ(GenericOptionLastError(), "Invalid value \"many\" for option \"ar\"");
    EXPECT_FALSE(Options.SetGenericOption("  ", "1"));

    // Known only to an encoder's private options: kept with its value.
    ASSERT_TRUE(Options.SetGenericOption("joint_stereo", "0"));
    EXPECT_EQ(Options.opt_values.back(), "0");

    const AVCodec* Mp3 = FF().avcodec_find_encoder(AV_CODEC_ID_MP3);
    ASSERT_NE(Mp3, nullptr);
    AVCodecContext* Ctx = FF().avcodec_alloc_context3(Mp3);
    Options.ApplyToCodec(Ctx, AVMEDIA_TYPE_AUDIO, Mp3,
                         AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_AUDIO_PARAM);
    EXPECT_EQ(Ctx->bit_rate, 96000);
    EXPECT_EQ(Ctx->cutoff, 15000);
    int64_t Joint = -1;
    ASSERT_GE(FF().av_opt_get_int(Ctx->priv_data, "joint_stereo", 0, &Joint), 0);
    EXPECT_EQ(Joint, 0);
    FF().avcodec_free_context(&Ctx);

    // Options whose flags lack the required ones are not applied.
    AVCodecContext* Sub = FF().avcodec_alloc_context3(nullptr);
    Options.ApplyToCodec(Sub, AVMEDIA_TYPE_SUBTITLE, nullptr,
                         AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_SUBTITLE_PARAM);
    EXPECT_NE(Sub->bit_rate, 96000);
    FF().avcodec_free_context(&Sub);
}

TEST_F(LoadedTest, CodecNameText) {
    AVCodecContext* Ctx = FF().avcodec_alloc_context3(nullptr);
    Ctx->codec_id = AV_CODEC_ID_MP3;
    EXPECT_EQ(CodecNameText(Ctx, true), "libmp3lame(libmp3lame MP3 (MPEG audio layer 3))");
    Ctx->codec_id = AV_CODEC_ID_NONE;
    Ctx->codec_tag = MKTAG('a', 'b', 'c', 'd');
    EXPECT_EQ(CodecNameText(Ctx, false), "abcd / 0x64636261");
    Ctx->codec_tag = 7;
    EXPECT_EQ(CodecNameText(Ctx, false), "0x0007");
    FF().avcodec_free_context(&Ctx);
}

TEST_F(LoadedTest, MetadataValue) {
    AVDictionary* D = nullptr;
    FF().av_dict_set(&D, "title", "Song", 0);
    EXPECT_EQ(MetadataValue(D, "title", "x"), "Song");
    EXPECT_EQ(MetadataValue(D, "artist", "x"), "x");
    FF().av_dict_free(&D);
}

TEST(FormatConverterTest, BitsPixel) {
    TFormatConverter C;
    EXPECT_EQ(C.BitsPixel(), 24);
    EXPECT_EQ(C.AVPixFmt(), AV_PIX_FMT_BGR24);
    C.SetBitsPixel(15);
    EXPECT_EQ(C.BitsPixel(), 16);
    EXPECT_EQ(C.BMPPixFmt(), bmp15bit);
    EXPECT_EQ(C.AVPixFmt(), AV_PIX_FMT_RGB555LE);
    C.SetBitsPixel(32);
    EXPECT_EQ(C.AVPixFmt(), AV_PIX_FMT_BGRA);
    try {
        C.SetBitsPixel(12);
        FAIL();
    } catch (const EConvertError& E) {
        EXPECT_EQ(E.Message, "Invalid BitsPixel 12");
    }
    EXPECT_EQ(C.BitsPixel(), 32);
}

TEST_F(LoadedTest, ConverterUsesAMatchingSourceDirectly) {
    std::vector<uint8_t> Pixels(16 * 48);
    for (size_t I = 0; I < Pixels.size(); ++I)
        Pixels[I] = uint8_t(I * 7);
    TAVPicture Source;
    Source.data[0] = Pixels.data();
    Source.linesize[0] = 48;
    TFormatConverter C;
    ASSERT_TRUE(C.PictureToRGB(Source, AV_PIX_FMT_BGR24, true, 16, 16));
    ASSERT_NE(C.RGBPictureRef(), nullptr);
    EXPECT_EQ(C.RGBPictureRef()->data[0], Pixels.data());
    EXPECT_EQ(C.DIB().bmWidthBytes, 48);
    EXPECT_EQ(C.DIB().bmBitsPixel, 24);
    for (int Y = 0; Y < 16; ++Y)
        ASSERT_EQ(std::memcmp(C.Bitmap()->ScanLine(Y), Pixels.data() + Y * 48, 48), 0) << Y;
}

TEST_F(LoadedTest, ConverterConvertsOtherPictures) {
    // A YUV picture of one grey and back.
    const int W = 10, H = 6;
    uint8_t* Data[4] = {};
    int Lines[4] = {};
    ASSERT_GE(FF().av_image_alloc(Data, Lines, W, H, AV_PIX_FMT_YUV420P, 16), 0);
    std::memset(Data[0], 180, size_t(Lines[0]) * H);
    std::memset(Data[1], 128, size_t(Lines[1]) * H / 2);
    std::memset(Data[2], 128, size_t(Lines[2]) * H / 2);
    TAVPicture Source;
    for (int I = 0; I < 4; ++I) {
        Source.data[I] = Data[I];
        Source.linesize[I] = Lines[I];
    }
    for (int Bits : {24, 32, 16}) {
        TFormatConverter C;
        C.SetBitsPixel(Bits);
        ASSERT_TRUE(C.PictureToRGB(Source, AV_PIX_FMT_YUV420P, true, H, W)) << Bits;
        EXPECT_EQ(C.RGBPictureRef(), &C.RGBPicture());
        EXPECT_NE(C.RGBPicture().data[0], Data[0]);
        // The bitmap shows the grey whatever width its rows have.
        const uint8_t* Px =
            C.Bitmap()->ScanLine(H - 1) + (W - 1) * (C.Bitmap()->BitsPerPixel() / 8);
        EXPECT_NEAR(Px[0], 188, 12) << Bits;
        EXPECT_NEAR(Px[1], 188, 12) << Bits;
        EXPECT_NEAR(Px[2], 188, 12) << Bits;

        TAVPicture Back;
        uint8_t* BackData[4] = {};
        ASSERT_GE(FF().av_image_alloc(BackData, Back.linesize, W, H, AV_PIX_FMT_YUV420P, 16), 0);
        for (int I = 0; I < 4; ++I)
            Back.data[I] = BackData[I];
        ASSERT_TRUE(C.RGBToPicture(Back, AV_PIX_FMT_YUV420P, H, W));
        EXPECT_NEAR(Back.data[0][0], 180, 6) << Bits;
        FF().av_freep(&BackData[0]);
    }
    FF().av_freep(&Data[0]);
}

} // namespace
