#include "media/ID3v1.h"

#include "MediaTestFiles.h"
#include "platform/os/codepage.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const std::string Audio(300, '\x55');

std::string Trailer(const std::string& Title, uint8_t B125, uint8_t B126, uint8_t Genre,
                    const std::string& Comment = "") {
    std::string T(128, '\0');
    std::memcpy(T.data(), "TAG", 3);
    std::memcpy(T.data() + 3, Title.data(), std::min<size_t>(Title.size(), 30));
    std::memcpy(T.data() + 97, Comment.data(), std::min<size_t>(Comment.size(), 30));
    T[125] = char(B125);
    T[126] = char(B126);
    T[127] = char(Genre);
    return T;
}

class ID3v1Test : public ::testing::Test {
protected:
    void SetUp() override { SetAnsiCodePage("UTF-8"); }
    void TearDown() override { SetAnsiCodePage(""); }
    TempDir Dir;
};

TEST_F(ID3v1Test, FileWithoutTrailer) {
    const std::string File = Dir.write("a.mp3", Audio);
    TID3v1 Tag;
    EXPECT_TRUE(Tag.ReadFromFile(File));
    EXPECT_FALSE(Tag.Exists());
    EXPECT_TRUE(Tag.RemoveFromFile(File));
    EXPECT_EQ(Dir.read("a.mp3"), Audio);

    Tag.SetTitle("Song");
    ASSERT_TRUE(Tag.SaveToFile(File));
    std::string Bytes = Dir.read("a.mp3");
    ASSERT_EQ(Bytes.size(), Audio.size() + 128);
    EXPECT_EQ(Bytes.substr(0, Audio.size()), Audio);
    EXPECT_EQ(Bytes.substr(Audio.size(), 7), "TAGSong");
}

TEST_F(ID3v1Test, SavingReplacesAnExistingTrailer) {
    const std::string File = Dir.write("a.mp3", Audio + Trailer("Old", 0, 0, 12));
    TID3v1 Tag;
    ASSERT_TRUE(Tag.ReadFromFile(File));
    EXPECT_TRUE(Tag.Exists());
    EXPECT_EQ(Tag.Title(), "Old");
    EXPECT_EQ(Tag.Genre(), "Other");
    Tag.SetTitle("New title");
    Tag.SetArtist("Someone");
    ASSERT_TRUE(Tag.SaveToFile(File));
    EXPECT_EQ(Dir.read("a.mp3").size(), Audio.size() + 128);

    TID3v1 Again;
    ASSERT_TRUE(Again.ReadFromFile(File));
    EXPECT_EQ(Again.Title(), "New title");
    EXPECT_EQ(Again.Artist(), "Someone");
    EXPECT_EQ(Again.GenreID(), 12);

    ASSERT_TRUE(Again.RemoveFromFile(File));
    EXPECT_EQ(Dir.read("a.mp3"), Audio);
}

TEST_F(ID3v1Test, FieldsAreTrimmedAndCutToFit) {
    TID3v1 Tag;
    Tag.SetTitle(std::string(31, 'x'));
    EXPECT_EQ(Tag.Title(), std::string(30, 'x'));
    Tag.SetArtist("Name   \t ");
    EXPECT_EQ(Tag.Artist(), "Name");
    Tag.SetYear("20011");
    EXPECT_EQ(Tag.Year(), "2001");
    // 20 Cyrillic letters are 40 bytes in UTF-8: 15 whole letters fit.
    std::string Cyrillic;
    for (int I = 0; I < 20; ++I)
        Cyrillic += "\xd0\x96";
    Tag.SetAlbum(Cyrillic);
    EXPECT_EQ(Tag.Album(), Cyrillic.substr(0, 30));
    Tag.SetComment("a" + Cyrillic);
    EXPECT_EQ(Tag.Comment(), "a" + Cyrillic.substr(0, 28));

    const std::string File = Dir.write("a.mp3", Audio);
    Tag.SetTrack(0);
    ASSERT_TRUE(Tag.SaveToFile(File));
    TID3v1 Back;
    ASSERT_TRUE(Back.ReadFromFile(File));
    EXPECT_EQ(Back.Title(), std::string(30, 'x'));
    EXPECT_EQ(Back.Album(), Cyrillic.substr(0, 30));
    EXPECT_EQ(Back.Comment(), "a" + Cyrillic.substr(0, 28));
    EXPECT_EQ(Back.VersionID(), 1);
}

TEST_F(ID3v1Test, Version11CarriesATrackNumber) {
    const std::string File =
        Dir.write("a.mp3", Audio + Trailer("T", 0, 7, 255, std::string(28, 'c') + "zz"));
    TID3v1 Tag;
    ASSERT_TRUE(Tag.ReadFromFile(File));
    EXPECT_EQ(Tag.VersionID(), 2);
    EXPECT_EQ(Tag.Track(), 7);
    EXPECT_EQ(Tag.Comment(), std::string(28, 'c'));
    ASSERT_TRUE(Tag.SaveToFile(File));
    std::string Bytes = Dir.read("a.mp3");
    EXPECT_EQ(Bytes[Bytes.size() - 3], '\0');
    EXPECT_EQ(Bytes[Bytes.size() - 2], '\7');

    // A space at 125 with something else at 126 is version 1.1 too.
    TID3v1 Spaced;
    ASSERT_TRUE(Spaced.ReadFromFile(Dir.write("b.mp3", Audio + Trailer("T", ' ', 3, 1))));
    EXPECT_EQ(Spaced.VersionID(), 2);
    EXPECT_EQ(Spaced.Track(), 3);
    TID3v1 Plain;
    ASSERT_TRUE(Plain.ReadFromFile(Dir.write("c.mp3", Audio + Trailer("T", ' ', ' ', 1))));
    EXPECT_EQ(Plain.VersionID(), 1);
    EXPECT_EQ(Plain.Track(), 0);
}

TEST_F(ID3v1Test, Genres) {
    TID3v1 Tag;
    EXPECT_EQ(Tag.GenreID(), 255);
    EXPECT_EQ(Tag.Genre(), "");
    struct {
        uint8_t ID;
        const char* Name;
    } Cases[] = {
        {0, "Blues"},       {12, "Other"},        {40, "AlternRock"},      {79, "Hard Rock"},
        {80, "Folk"},       {85, "Bebob"},        {92, "Progessive Rock"}, {100, "Humour"},
        {123, "A capella"}, {144, "Trash Metal"}, {147, "Synthpop"},       {148, ""},
        {200, ""}};
    for (auto& C : Cases) {
        Tag.SetGenreID(C.ID);
        EXPECT_EQ(Tag.Genre(), C.Name) << int(C.ID);
    }
}

TEST_F(ID3v1Test, FilesShorterThanATrailerFailEveryOperation) {
    const std::string File = Dir.write("short.mp3", std::string(127, 'x'));
    TID3v1 Tag;
    Tag.SetTitle("x");
    EXPECT_FALSE(Tag.ReadFromFile(File));
    EXPECT_FALSE(Tag.RemoveFromFile(File));
    EXPECT_FALSE(Tag.SaveToFile(File));
    EXPECT_EQ(Dir.read("short.mp3"), std::string(127, 'x'));
    EXPECT_FALSE(Tag.ReadFromFile(Dir.file("missing.mp3")));
    EXPECT_FALSE(Tag.SaveToFile(Dir.file("missing.mp3")));
}

TEST_F(ID3v1Test, EmptyFieldsStayEmpty) {
    const std::string File = Dir.write("a.mp3", Audio);
    TID3v1 Tag;
    ASSERT_TRUE(Tag.SaveToFile(File));
    std::string Bytes = Dir.read("a.mp3");
    EXPECT_EQ(Bytes.substr(Audio.size() + 3, 125), std::string(124, '\0') + "\xff");
    TID3v1 Back;
    ASSERT_TRUE(Back.ReadFromFile(File));
    EXPECT_TRUE(Back.Exists());
    EXPECT_EQ(Back.Title(), "");
    EXPECT_EQ(Back.Comment(), "");
}

TEST_F(ID3v1Test, SingleByteCodePage) {
    ASSERT_TRUE(SetAnsiCodePage("WINDOWS-1252"));
    const std::string File = Dir.write("a.mp3", Audio);
    TID3v1 Tag;
    Tag.SetTitle("Caf\xc3\xa9 " + std::string(30, 'x'));
    EXPECT_EQ(Tag.Title(), "Caf\xc3\xa9 " + std::string(25, 'x'));
    ASSERT_TRUE(Tag.SaveToFile(File));
    EXPECT_EQ(Dir.read("a.mp3").substr(Audio.size() + 3, 5), "Caf\xe9 ");
    TID3v1 Back;
    ASSERT_TRUE(Back.ReadFromFile(File));
    EXPECT_EQ(Back.Title(), Tag.Title());
}

// The trailer as other programs write and read it.
class ID3v1Interop : public ID3v1Test {};

TEST_F(ID3v1Interop, FfprobeReadsWhatWeWrite) {
    // ffprobe takes the trailer's bytes as UTF-8, the code page of this system.
    const std::string Title = "Caf\xc3\xa9 \xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82";
    const std::string File = Dir.file("a.mp3");
    ASSERT_TRUE(MakeMp3(File));
    TID3v1 Tag;
    Tag.SetTitle(Title);
    Tag.SetArtist("Artist");
    Tag.SetAlbum(std::string(30, 'A'));
    Tag.SetYear("1999");
    Tag.SetTrack(4);
    Tag.SetGenreID(13);
    ASSERT_TRUE(Tag.SaveToFile(File));
    auto Tags = ProbeTags(File);
    EXPECT_EQ(Tags["title"], Title);
    EXPECT_EQ(Tags["artist"], "Artist");
    EXPECT_EQ(Tags["album"], std::string(30, 'A'));
    EXPECT_EQ(Tags["date"], "1999");
    EXPECT_EQ(Tags["track"], "4");
    EXPECT_EQ(Tags["genre"], "Pop");
    EXPECT_TRUE(DecodesCleanly(File));
}

TEST_F(ID3v1Interop, WeReadWhatTheMediaLibrariesWrite) {
    const std::string Base = Dir.file("base.mp3");
    const std::string File = Dir.file("tagged.mp3");
    ASSERT_TRUE(MakeMp3(Base));
    MediaRecipe Recipe = Mp3Recipe();
    Recipe.MuxerOptions = {{"id3v2_version", "4"}, {"write_id3v1", "1"}};
    Recipe.Tags = {{"title", "A title"}, {"artist", "An artist"}, {"album", "An album"},
                   {"date", "2005"},     {"track", "9"},          {"comment", "Short"}};
    std::string Error;
    ASSERT_TRUE(WriteMedia(File, Recipe, &Error)) << Error;
    TID3v1 Tag;
    ASSERT_TRUE(Tag.ReadFromFile(File));
    ASSERT_TRUE(Tag.Exists());
    EXPECT_EQ(Tag.Title(), "A title");
    EXPECT_EQ(Tag.Artist(), "An artist");
    EXPECT_EQ(Tag.Album(), "An album");
    EXPECT_EQ(Tag.Year(), "2005");
    EXPECT_EQ(Tag.Track(), 9);
    EXPECT_EQ(Tag.VersionID(), 2);
    EXPECT_EQ(Tag.Comment(), "Short");
}

} // namespace
