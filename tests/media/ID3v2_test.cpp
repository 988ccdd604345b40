#include "media/ID3v2.h"

#include "MediaTestFiles.h"

#include <gtest/gtest.h>

namespace {

const std::string Audio = std::string("\xff\xfb\x50\xc0", 4) + std::string(400, '\x11');

std::string BigEndian(uint32_t V) {
    return {char(V >> 24), char((V >> 16) & 0xFF), char((V >> 8) & 0xFF), char(V & 0xFF)};
}

std::string Frame(const std::string& ID, const std::string& Data) {
    return ID + BigEndian(uint32_t(Data.size())) + std::string(2, '\0') + Data;
}

// A tag of the given major version around the frames.
std::string Tag(const std::string& Frames, uint8_t Version = 3, uint32_t Padding = 0) {
    uint32_t Size = uint32_t(Frames.size()) + Padding;
    std::string H = "ID3";
    H += char(Version);
    H += std::string(2, '\0');
    H += char((Size >> 21) & 127);
    H += char((Size >> 14) & 127);
    H += char((Size >> 7) & 127);
    H += char(Size & 127);
    return H + Frames + std::string(Padding, '\0');
}

std::string Latin(const std::string& Text) {
    return std::string(1, '\0') + Text;
}

class ID3v2Test : public ::testing::Test {
protected:
    TempDir Dir;
};

TEST_F(ID3v2Test, FileWithoutTag) {
    const std::string File = Dir.write("a.mp3", Audio);
    TID3v2 T;
    EXPECT_TRUE(T.ReadFromFile(File));
    EXPECT_FALSE(T.Exists());
    EXPECT_FALSE(T.RemoveFromFile(File));
    EXPECT_EQ(Dir.read("a.mp3"), Audio);
    EXPECT_FALSE(Dir.exists("a.mp3~"));

    T.SetTitle("Song");
    ASSERT_TRUE(T.SaveToFile(File));
    EXPECT_EQ(Dir.read("a.mp3"), T.BuildTag() + Audio);
    EXPECT_FALSE(Dir.exists("a.mp3~"));
}

TEST_F(ID3v2Test, FramesAndSizesAsWritten) {
    TID3v2 T;
    T.SetTitle("Title");
    T.SetArtist("Artist");
    T.SetAlbum("Album");
    const std::string Bytes = T.BuildTag();
    EXPECT_EQ(Bytes.substr(0, 10), std::string("ID3\x03\0\0\0\0\0\x31", 10));
    EXPECT_EQ(Bytes.substr(10), Frame("TIT2", Latin("Title")) + Frame("TPE1", Latin("Artist")) +
                                    Frame("TALB", Latin("Album")));

    TID3v2 C;
    C.SetComment("hi");
    EXPECT_EQ(C.BuildTag().substr(10), Frame("COMM", std::string("\0eng\0hi", 7)));

    // 10 + 1 + 3 + 1 + 19985 = 20000 bytes of frames.
    TID3v2 Big;
    Big.SetComment(std::string(19985, 'c'));
    EXPECT_EQ(Big.BuildTag().substr(6, 4), std::string("\x00\x01\x1c\x20", 4));

    TID3v2 Track;
    Track.SetTrack(12);
    EXPECT_EQ(Track.BuildTag().substr(10), Frame("TRCK", Latin("12")));
}

TEST_F(ID3v2Test, TextOutsideLatin1IsWrittenAsUtf16) {
    TID3v2 T;
    T.SetTitle("Caf\xc3\xa9");                        // fits Latin-1
    T.SetArtist("\xd0\x96\xd0\xb0 \xf0\x9f\x8e\xb5"); // does not, with a surrogate pair
    T.SetComment("\xd0\x96");
    const std::string Bytes = T.BuildTag();
    EXPECT_EQ(Bytes.substr(10, 15), Frame("TIT2", std::string("\0Caf\xe9", 5)));
    const std::string Artist =
        std::string("\x01\xff\xfe\x16\x04\x30\x04\x20\x00", 9) + std::string("\x3c\xd8\xb5\xdf", 4);
    EXPECT_EQ(Bytes.substr(25, 10 + Artist.size()), Frame("TPE1", Artist));
    EXPECT_EQ(Bytes.substr(35 + Artist.size()),
              Frame("COMM", std::string("\x01"
                                        "eng\xff\xfe\0\0\xff\xfe\x16\x04",
                                        12)));

    const std::string File = Dir.write("a.mp3", Audio);
    ASSERT_TRUE(T.SaveToFile(File));
    TID3v2 Back;
    ASSERT_TRUE(Back.ReadFromFile(File));
    EXPECT_EQ(Back.Title(), "Caf\xc3\xa9");
    EXPECT_EQ(Back.Artist(), "\xd0\x96\xd0\xb0 \xf0\x9f\x8e\xb5");
    EXPECT_EQ(Back.Comment(), "\xd0\x96");
}

TEST_F(ID3v2Test, ReadsTheFramesItKnows) {
    const std::string Frames =
        Frame("TIT2", Latin("  Title \0\0")) + Frame("TXXX", Latin("x\0y")) +
        Frame("TPE1", std::string("\x01\xfe\xff\x04\x16\x00\x21", 7)) + // big-endian mark
        Frame("TALB", std::string("\x03\xd0\x96", 3)) + Frame("TRCK", Latin("3/12")) +
        Frame("TYER", Latin("1999")) + Frame("TCON", Latin("(13)Pop")) +
        Frame("COMM", std::string("\0engdesc\0Nice one", 17));
    const std::string File = Dir.write("a.mp3", Tag(Frames, 3, 20) + Audio);
    TID3v2 T;
    ASSERT_TRUE(T.ReadFromFile(File));
    EXPECT_TRUE(T.Exists());
    EXPECT_EQ(T.VersionID(), 3);
    EXPECT_EQ(T.Size(), int32_t(10 + Frames.size() + 20));
    EXPECT_EQ(T.Title(), "Title");
    EXPECT_EQ(T.Artist(), "\xd0\x96!");
    EXPECT_EQ(T.Album(), "\xd0\x96");
    EXPECT_EQ(T.Track(), 3);
    EXPECT_EQ(T.Year(), "1999");
    EXPECT_EQ(T.Genre(), "Pop");
    EXPECT_EQ(T.Comment(), "Nice one");

    struct {
        const char* Text;
        uint8_t Track;
    } Tracks[] = {{"x/12", 0}, {"7", 7}, {" 9 ", 9}, {"300", 0}, {"", 0}, {"-1", 0}};
    for (auto& C : Tracks) {
        TID3v2 R;
        ASSERT_TRUE(R.ReadFromFile(Dir.write("t.mp3", Tag(Frame("TRCK", Latin(C.Text))) + Audio)));
        EXPECT_EQ(R.Track(), C.Track) << C.Text;
    }
}

TEST_F(ID3v2Test, FrameLargerThanTheBufferIsReadUpToItsSize) {
    const std::string Long(600, 'L');
    const std::string Frames = Frame("TIT2", Latin(Long)) + Frame("TPE1", Latin("Next"));
    TID3v2 T;
    ASSERT_TRUE(T.ReadFromFile(Dir.write("a.mp3", Tag(Frames) + Audio)));
    EXPECT_EQ(T.Title(), Long.substr(0, TID3v2::FrameBufferSize - 1));
    EXPECT_EQ(T.Artist(), "Next");
}

TEST_F(ID3v2Test, OtherVersionsAreReplacedByVersion3) {
    const std::string File = Dir.write("a.mp3", Tag(Frame("TIT2", Latin("Four")), 4, 30) + Audio);
    TID3v2 T;
    ASSERT_TRUE(T.ReadFromFile(File));
    EXPECT_TRUE(T.Exists());
    EXPECT_EQ(T.VersionID(), 4);
    EXPECT_EQ(T.Title(), "");
    T.SetTitle("Three");
    ASSERT_TRUE(T.SaveToFile(File));
    EXPECT_EQ(Dir.read("a.mp3"), T.BuildTag() + Audio);
    ASSERT_TRUE(T.ReadFromFile(File));
    EXPECT_EQ(T.VersionID(), 3);
    EXPECT_EQ(T.Title(), "Three");

    ASSERT_TRUE(T.RemoveFromFile(File));
    EXPECT_EQ(Dir.read("a.mp3"), Audio);
}

TEST_F(ID3v2Test, DamagedTagsNeverBreakReading) {
    const std::string HugeFrame =
        Tag(std::string("TIT2") + BigEndian(0xFFFFFFFF) + std::string("\0\0\0abc", 6), 3, 40);
    struct {
        const char* Name;
        std::string Bytes;
        bool Read, Exists;
        int32_t Size;
        const char* Title;
    } Cases[] = {
        {"size beyond the file", std::string("ID3\x03\0\0\x7f\x7f\x7f\x7f", 10) + Audio, true, true,
         0, ""},
        {"frame size beyond the tag", HugeFrame + Audio, true, true, int32_t(HugeFrame.size()),
         "abc"},
        {"lower-case frame id", Tag(Frame("tit2", Latin("x")), 3, 10) + Audio, true, true, 32, ""},
        {"shorter than a header", "ID3\x03", false, false, 0, ""},
        {"empty", "", false, false, 0, ""},
    };
    for (auto& C : Cases) {
        TID3v2 T;
        EXPECT_EQ(T.ReadFromFile(Dir.write("d.mp3", C.Bytes)), C.Read) << C.Name;
        EXPECT_EQ(T.Exists(), C.Exists) << C.Name;
        EXPECT_EQ(T.Size(), C.Size) << C.Name;
        EXPECT_EQ(T.Title(), C.Title) << C.Name;
    }
    // A header claiming more than the file: the whole file follows the new tag.
    const std::string Damaged = std::string("ID3\x03\0\0\x7f\x7f\x7f\x7f", 10) + Audio;
    const std::string File = Dir.write("e.mp3", Damaged);
    TID3v2 T;
    T.SetTitle("x");
    ASSERT_TRUE(T.SaveToFile(File));
    EXPECT_EQ(Dir.read("e.mp3"), T.BuildTag() + Damaged);
}

TEST_F(ID3v2Test, WritingTwiceLeavesOneTag) {
    const std::string File = Dir.write("a.mp3", Audio);
    TID3v2 T;
    T.SetTitle("One");
    ASSERT_TRUE(T.SaveToFile(File));
    T.SetTitle("Two, longer");
    T.SetAlbum("Album");
    ASSERT_TRUE(T.SaveToFile(File));
    EXPECT_EQ(Dir.read("a.mp3"), T.BuildTag() + Audio);
}

TEST_F(ID3v2Test, AFailedRewriteLeavesTheFileAlone) {
    const std::string Original = Tag(Frame("TIT2", Latin("Old"))) + Audio;
    const std::string File = Dir.write("a.mp3", Original);
    // The new file cannot be made where a folder stands in its way.
    ASSERT_TRUE(ForceDirectories(File + "~"));
    TID3v2 T;
    T.SetTitle("New");
    EXPECT_FALSE(T.SaveToFile(File));
    EXPECT_FALSE(T.RemoveFromFile(File));
    EXPECT_EQ(Dir.read("a.mp3"), Original);
    EXPECT_FALSE(T.SaveToFile(Dir.file("missing.mp3")));
    EXPECT_FALSE(Dir.exists("missing.mp3"));
}

class ID3v2Interop : public ID3v2Test {};

TEST_F(ID3v2Interop, FfprobeReadsWhatWeWrite) {
    const std::string File = Dir.file("a.mp3");
    ASSERT_TRUE(MakeMp3(File));
    TID3v2 T;
    T.SetTitle("\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82 \xe4\xb8\x96\xe7\x95\x8c");
    T.SetArtist("Caf\xc3\xa9");
    T.SetAlbum(std::string(40, 'a'));
    T.SetTrack(5);
    T.SetYear("2010");
    T.SetGenre("Rock");
    T.SetComment("Fine");
    ASSERT_TRUE(T.SaveToFile(File));
    auto Tags = ProbeTags(File);
    EXPECT_EQ(Tags["title"], T.Title());
    EXPECT_EQ(Tags["artist"], "Caf\xc3\xa9");
    EXPECT_EQ(Tags["album"], std::string(40, 'a'));
    EXPECT_EQ(Tags["track"], "5");
    EXPECT_EQ(Tags["date"], "2010");
    EXPECT_EQ(Tags["genre"], "Rock");
    EXPECT_EQ(Tags["comment"], "Fine");
    EXPECT_TRUE(DecodesCleanly(File));

    // Empty fields write no frame at all.
    TID3v2 Empty;
    Empty.SetTitle("Only");
    ASSERT_TRUE(Empty.SaveToFile(File));
    Tags = ProbeTags(File);
    EXPECT_EQ(Tags["title"], "Only");
    EXPECT_EQ(Tags.count("artist"), 0u);
    EXPECT_TRUE(DecodesCleanly(File));
}

TEST_F(ID3v2Interop, WeReadWhatTheMediaLibrariesWrite) {
    const std::string Base = Dir.file("base.mp3");
    const std::string File = Dir.file("tagged.mp3");
    ASSERT_TRUE(MakeMp3(Base));
    const std::string Title = "H\xc3\xa9llo \xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82";
    MediaRecipe Recipe = Mp3Recipe();
    Recipe.MuxerOptions["id3v2_version"] = "3";
    Recipe.Tags = {{"title", Title},  {"artist", "Caf\xc3\xa9"}, {"album", "An album"},
                   {"track", "5/10"}, {"date", "2001"},          {"genre", "Pop"}};
    std::string Error;
    ASSERT_TRUE(WriteMedia(File, Recipe, &Error)) << Error;
    TID3v2 T;
    ASSERT_TRUE(T.ReadFromFile(File));
    ASSERT_TRUE(T.Exists());
    EXPECT_EQ(T.VersionID(), 3);
    EXPECT_EQ(T.Title(), Title);
    EXPECT_EQ(T.Artist(), "Caf\xc3\xa9");
    EXPECT_EQ(T.Album(), "An album");
    EXPECT_EQ(T.Track(), 5);
    EXPECT_EQ(T.Year(), "2001");
    EXPECT_EQ(T.Genre(), "Pop");

    // Rewriting keeps the audio that followed the libraries' tag (padding included).
    T.SetTitle("Mine");
    ASSERT_TRUE(T.SaveToFile(File));
    EXPECT_EQ(ProbeTags(File)["title"], "Mine");
    EXPECT_TRUE(DecodesCleanly(File));
}

} // namespace
