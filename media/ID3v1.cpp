#include "media/ID3v1.h"

#include "classlib/streams.h"
#include "platform/os/codepage.h"

#include <cstring>

const char* const MusicGenre[MaxMusicGenre + 1] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz",
    "Metal", "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno",
    "Industrial", "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno",
    "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental",
    "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk",
    "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic", "Darkwave",
    "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy",
    "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American",
    "Cabaret", "New Wave", "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal",
    "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock",
    // The common extension.
    "Folk", "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival",
    "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock", "Progessive Rock", "Psychedelic Rock",
    "Symphonic Rock", "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour",
    "Speech", "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus",
    "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad",
    "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo", "A capella",
    "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie",
    "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal",
    "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    "Trash Metal", "Anime", "JPop", "Synthpop"};

namespace {

std::string TrimTrailing(const std::string& S) {
    size_t N = S.size();
    while (N > 0 && uint8_t(S[N - 1]) <= 32)
        --N;
    return S.substr(0, N);
}

// Length of the UTF-8 sequence that starts with Lead (1 for a stray byte).
size_t SequenceLength(uint8_t Lead) {
    if (Lead >= 0xF0 && Lead < 0xF8) return 4;
    if (Lead >= 0xE0) return Lead < 0xF0 ? 3 : 1;
    if (Lead >= 0xC0) return 2;
    return 1;
}

// The longest run of whole characters whose ANSI form fits Limit bytes.
std::string FitAnsi(const std::string& Utf8, size_t Limit) {
    std::string Text = TrimTrailing(Utf8);
    size_t AnsiBytes = 0, P = 0;
    while (P < Text.size()) {
        size_t N = std::min(SequenceLength(uint8_t(Text[P])), Text.size() - P);
        size_t Bytes = Utf8ToAnsi(std::string_view(Text).substr(P, N)).size();
        if (AnsiBytes + Bytes > Limit) break;
        AnsiBytes += Bytes;
        P += N;
    }
    return TrimTrailing(Text.substr(0, P));
}

// A field of the trailer: ANSI bytes up to the first zero, trailing blanks
// and control characters removed.
std::string Field(const uint8_t* Data, size_t Size) {
    size_t N = 0;
    while (N < Size && Data[N] != 0)
        ++N;
    return TrimTrailing(AnsiToUtf8(std::string(reinterpret_cast<const char*>(Data), N)));
}

void PutField(uint8_t* Data, const std::string& Text, size_t Size) {
    std::string Ansi = Utf8ToAnsi(Text);
    std::memcpy(Data, Ansi.data(), std::min(Ansi.size(), Size));
}

// The last 128 bytes of the file; false when there are not that many.
bool ReadTrailer(const std::string& FileName, uint8_t (&Trailer)[TID3v1::TagSize],
                 int64_t& FileSize) {
    try {
        TFileStream F(FileName, fmOpenRead | fmShareDenyWrite);
        FileSize = F.Size();
        if (FileSize < TID3v1::TagSize) return false;
        if (F.Seek(FileSize - TID3v1::TagSize, soBeginning) < 0) return false;
        F.ReadBuffer(Trailer, TID3v1::TagSize);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

bool HasTag(const uint8_t (&Trailer)[TID3v1::TagSize]) {
    return std::memcmp(Trailer, "TAG", 3) == 0;
}

} // namespace

TID3v1::TID3v1() {
    ResetData();
}

void TID3v1::ResetData() {
    FExists = false;
    FVersionID = 1;
    FTitle.clear();
    FArtist.clear();
    FAlbum.clear();
    FYear.clear();
    FComment.clear();
    FTrack = 0;
    FGenreID = 255;
}

void TID3v1::SetTitle(const std::string& Value) {
    FTitle = FitAnsi(Value, 30);
}
void TID3v1::SetArtist(const std::string& Value) {
    FArtist = FitAnsi(Value, 30);
}
void TID3v1::SetAlbum(const std::string& Value) {
    FAlbum = FitAnsi(Value, 30);
}
void TID3v1::SetYear(const std::string& Value) {
    FYear = FitAnsi(Value, 4);
}
void TID3v1::SetComment(const std::string& Value) {
    // A track number leaves 28 bytes for the comment.
    FComment = FitAnsi(Value, 30);
}

std::string TID3v1::Genre() const {
    return FGenreID <= MaxMusicGenre ? MusicGenre[FGenreID] : "";
}

bool TID3v1::ReadFromTrailer(const uint8_t (&T)[TagSize]) {
    ResetData();
    if (!HasTag(T)) return false;
    FExists = true;
    bool V11 = (T[125] == 0 && T[126] != 0) || (T[125] == 0x20 && T[126] != 0x20);
    FVersionID = V11 ? 2 : 1;
    FTitle = Field(T + 3, 30);
    FArtist = Field(T + 33, 30);
    FAlbum = Field(T + 63, 30);
    FYear = Field(T + 93, 4);
    if (V11) {
        FComment = Field(T + 97, 28);
        FTrack = T[126];
    } else {
        FComment = Field(T + 97, 30);
    }
    FGenreID = T[127];
    return true;
}

void TID3v1::BuildTrailer(uint8_t (&T)[TagSize]) const {
    std::memset(T, 0, TagSize);
    std::memcpy(T, "TAG", 3);
    PutField(T + 3, FTitle, 30);
    PutField(T + 33, FArtist, 30);
    PutField(T + 63, FAlbum, 30);
    PutField(T + 93, FYear, 4);
    if (FTrack != 0) {
        PutField(T + 97, FitAnsi(FComment, 28), 28);
        T[125] = 0;
        T[126] = FTrack;
    } else {
        PutField(T + 97, FComment, 30);
    }
    T[127] = FGenreID;
}

bool TID3v1::ReadFromFile(const std::string& FileName) {
    ResetData();
    uint8_t Trailer[TagSize];
    int64_t Size = 0;
    if (!ReadTrailer(FileName, Trailer, Size)) return false;
    ReadFromTrailer(Trailer);
    return true;
}

bool TID3v1::RemoveFromFile(const std::string& FileName) {
    uint8_t Trailer[TagSize];
    int64_t Size = 0;
    if (!ReadTrailer(FileName, Trailer, Size)) return false;
    if (!HasTag(Trailer)) return true;
    try {
        TFileStream F(FileName, fmOpenReadWrite);
        F.SetSize(Size - TagSize);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

bool TID3v1::SaveToFile(const std::string& FileName) {
    uint8_t Old[TagSize];
    int64_t Size = 0;
    if (!ReadTrailer(FileName, Old, Size)) return false;
    uint8_t Trailer[TagSize];
    BuildTrailer(Trailer);
    try {
        // An old trailer is overwritten in place, so the file never goes
        // without one half way.
        TFileStream F(FileName, fmOpenReadWrite);
        if (F.Seek(HasTag(Old) ? Size - TagSize : Size, soBeginning) < 0) return false;
        F.WriteBuffer(Trailer, TagSize);
        return true;
    } catch (const Exception&) {
        return false;
    }
}
