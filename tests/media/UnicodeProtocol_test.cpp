#include "media/UnicodeProtocol.h"

#include "MediaTestFiles.h"
#include "platform/os/codepage.h"

#include <gtest/gtest.h>

namespace {

// Runs with a single-byte ANSI code page, where names in other scripts
// cannot be written.
class UnicodeNames : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SetAnsiCodePage("WINDOWS-1252")); }
    void TearDown() override { SetAnsiCodePage(""); }
};

TEST_F(UnicodeNames, OnlyNamesTheCodePageCannotCarryUseTheProtocol) {
    struct {
        std::string Name, ForLibraries;
    } Cases[] = {
        {"/music/plain song.mp3", "/music/plain song.mp3"},
        {"/music/\xd0\x96\xd0\xb0.mp3", "unicode:utf8:/music/\xd0\x96\xd0\xb0.mp3"},
        // Representable, but its ANSI bytes would name another file here.
        {"/music/caf\xc3\xa9.mp3", "unicode:utf8:/music/caf\xc3\xa9.mp3"},
        {"udp://127.0.0.1:1234", "udp://127.0.0.1:1234"},
        {"http://host/\xd0\x96", "http://host/\xd0\x96"},
        {"unicode:utf8:/x/\xd0\x96", "unicode:utf8:/x/\xd0\x96"},
    };
    for (auto& C : Cases) {
        EXPECT_EQ(NameForLibraries(C.Name), C.ForLibraries) << C.Name;
        if (C.Name.find("://") == std::string::npos) {
            EXPECT_EQ(NameFromLibraries(NameForLibraries(C.Name)),
                      C.Name.rfind("unicode:", 0) == 0 ? C.Name.substr(13) : C.Name);
        }
    }
    EXPECT_EQ(NameFromLibraries("/music/caf\xe9.mp3"), "/music/caf\xc3\xa9.mp3");
}

TEST(UnicodeNamesUtf8, PassUnchangedWhenTheCodePageIsUtf8) {
    ASSERT_TRUE(SetAnsiCodePage("UTF-8"));
    EXPECT_EQ(NameForLibraries("/music/\xd0\x96\xd0\xb0.mp3"), "/music/\xd0\x96\xd0\xb0.mp3");
    SetAnsiCodePage("");
}

class UnicodeFiles : public UnicodeNames {
protected:
    void SetUp() override {
        UnicodeNames::SetUp();
        ASSERT_TRUE(FFLoader().Load(ConverterLibraries)) << FFLoader().LastErrMsg();
    }
    void TearDown() override {
        FFLoader().Unload(AllLibraries);
        UnicodeNames::TearDown();
    }
    TempDir Dir;
};

TEST_F(UnicodeFiles, InputsAreOpenedThroughTheProtocol) {
    const std::string Path = Dir.file("\xd1\x82\xd0\xbe\xd0\xbd.wav");
    ASSERT_TRUE(WriteToneWav(Path, ToneRecipe{.SampleRate = 22050, .Seconds = 0.2}));
    ASSERT_TRUE(FileExists(Path));
    EXPECT_TRUE(UnicodeProtocolRegistered());

    const std::string Name = NameForLibraries(Path);
    ASSERT_TRUE(IsUnicodeProtocolName(Name));
    AVFormatContext* Ctx = nullptr;
    ASSERT_EQ(UnicodeOpenInput(&Ctx, Name.c_str(), nullptr, nullptr), 0);
    ASSERT_GE(FF().avformat_find_stream_info(Ctx, nullptr), 0);
    ASSERT_EQ(Ctx->nb_streams, 1u);
    EXPECT_EQ(Ctx->streams[0]->codecpar->sample_rate, 22050);
    AVPacket* Packet = FF().av_packet_alloc();
    int Packets = 0;
    while (FF().av_read_frame(Ctx, Packet) >= 0) {
        ++Packets;
        FF().av_packet_unref(Packet);
    }
    FF().av_packet_free(&Packet);
    EXPECT_GT(Packets, 0);
    EXPECT_EQ(NameFromLibraries(Ctx->url), Path);
    UnicodeCloseInput(&Ctx);
    EXPECT_EQ(Ctx, nullptr);

    AVFormatContext* Missing = nullptr;
    EXPECT_EQ(UnicodeOpenInput(&Missing, NameForLibraries(Dir.file("\xd0\x96.wav")).c_str(),
                               nullptr, nullptr),
              AVERROR(ENOENT));
    EXPECT_EQ(Missing, nullptr);
}

TEST_F(UnicodeFiles, OutputsAreWrittenThroughTheProtocol) {
    const std::string Path = Dir.file("\xd0\xb2\xd1\x8b\xd1\x85\xd0\xbe\xd0\xb4.bin");
    Dir.write("\xd0\xb2\xd1\x8b\xd1\x85\xd0\xbe\xd0\xb4.bin", "old content that is longer");
    const std::string Name = NameForLibraries(Path);
    AVIOContext* Pb = nullptr;
    ASSERT_EQ(UnicodeAvioOpen(&Pb, Name.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr), 0);
    const std::string Bytes = "new bytes";
    FF().avio_write(Pb, reinterpret_cast<const unsigned char*>(Bytes.data()), int(Bytes.size()));
    EXPECT_EQ(FF().avio_seek(Pb, 0, SEEK_CUR), int64_t(Bytes.size()));
    EXPECT_EQ(UnicodeAvioClose(&Pb), 0);
    EXPECT_EQ(Pb, nullptr);
    EXPECT_EQ(Dir.read("\xd0\xb2\xd1\x8b\xd1\x85\xd0\xbe\xd0\xb4.bin"), Bytes);

    // Plain names go to the libraries' own files.
    const std::string Plain = Dir.file("plain.bin");
    ASSERT_EQ(
        UnicodeAvioOpen(&Pb, NameForLibraries(Plain).c_str(), AVIO_FLAG_WRITE, nullptr, nullptr),
        0);
    FF().avio_write(Pb, reinterpret_cast<const unsigned char*>(Bytes.data()), int(Bytes.size()));
    EXPECT_EQ(UnicodeAvioClose(&Pb), 0);
    EXPECT_EQ(Dir.read("plain.bin"), Bytes);
}

} // namespace
