#include "media/ID3v2.h"

#include "platform/os/codepage.h"
#include "platform/os/file.h"

#include <cstring>
#include <memory>

namespace {

enum TSlot { slTitle, slArtist, slAlbum, slTrack, slYear, slGenre, slComment, SlotCount };

const char* const FrameID[SlotCount] = {"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "COMM"};

struct TTagHeader {
    uint8_t Bytes[10] = {};
    int64_t FileSize = 0;

    bool IsID3() const { return std::memcmp(Bytes, "ID3", 3) == 0; }
    // Including the header; 0 when it exceeds the file.
    int64_t TagSize() const {
        int64_t Size = (int64_t(Bytes[6]) << 21) + (int64_t(Bytes[7]) << 14) +
                       (int64_t(Bytes[8]) << 7) + int64_t(Bytes[9]) + 10;
        return Size > FileSize ? 0 : Size;
    }
};

bool ReadHeader(TStream& S, TTagHeader& H) {
    S.SetPosition(0);
    if (S.Read(H.Bytes, 10) != 10) return false;
    H.FileSize = S.Size();
    return true;
}

std::string TrimTrailing(const std::string& S) {
    size_t N = S.size();
    while (N > 0 && uint8_t(S[N - 1]) <= 32)
        --N;
    return S.substr(0, N);
}

// ---------------------------------------------------------------------------
// Text encodings of frames

std::string Latin1ToUtf8(const std::string& Bytes) {
    std::string Out;
    for (char C : Bytes) {
        uint8_t B = uint8_t(C);
        if (B < 0x80) {
            Out += C;
        } else {
            Out += char(0xC0 | (B >> 6));
            Out += char(0x80 | (B & 0x3F));
        }
    }
    return Out;
}

// The ISO-8859-1 bytes of Utf8, or false when a character lies beyond it.
bool Utf8ToLatin1(const std::string& Utf8, std::string& Out) {
    Out.clear();
    for (char16_t C : Utf8ToUtf16(Utf8)) {
        if (C > 0xFF) return false;
        Out += char(C);
    }
    return true;
}

// One string of the given encoding from Data at P, up to its terminator;
// P moves past the terminator.
std::string DecodeString(const std::string& Data, size_t& P, uint8_t Encoding) {
    if (Encoding == 1 || Encoding == 2) {
        bool BigEndian = Encoding == 2;
        if (Encoding == 1 && P + 1 < Data.size()) {
            uint8_t B0 = uint8_t(Data[P]), B1 = uint8_t(Data[P + 1]);
            if (B0 == 0xFE && B1 == 0xFF) {
                BigEndian = true;
                P += 2;
            } else if (B0 == 0xFF && B1 == 0xFE) {
                P += 2;
            }
        }
        std::u16string Text;
        while (P + 1 < Data.size()) {
            uint8_t B0 = uint8_t(Data[P]), B1 = uint8_t(Data[P + 1]);
            P += 2;
            char16_t C = BigEndian ? char16_t((B0 << 8) | B1) : char16_t((B1 << 8) | B0);
            if (C == 0) break;
            Text += C;
        }
        if (P + 1 == Data.size()) ++P; // a stray odd byte
        return Utf16ToUtf8(Text);
    }
    size_t End = Data.find('\0', P);
    if (End == std::string::npos) End = Data.size();
    std::string Bytes = Data.substr(P, End - P);
    P = End < Data.size() ? End + 1 : End;
    return Encoding == 3 ? SanitizeUtf8(Bytes) : Latin1ToUtf8(Bytes);
}

// The text of a text frame's data (encoding byte first).
std::string FrameText(const std::string& Data) {
    if (Data.empty()) return {};
    size_t P = 1;
    return DecodeString(Data, P, uint8_t(Data[0]));
}

// The text of a comment frame: encoding, language, description, text.
std::string CommentText(const std::string& Data) {
    if (Data.size() < 4) return {};
    uint8_t Encoding = uint8_t(Data[0]);
    size_t P = 4;
    DecodeString(Data, P, Encoding); // the description
    return DecodeString(Data, P, Encoding);
}

// The frame data after the encoding byte: the encoding chosen and its bytes.
// Latin-1 when every character fits it, else UTF-16 with a byte-order mark.
uint8_t EncodeText(const std::string& Utf8, std::string& Bytes) {
    if (Utf8ToLatin1(Utf8, Bytes)) return 0;
    Bytes = "\xFF\xFE";
    for (char16_t C : Utf8ToUtf16(Utf8)) {
        Bytes += char(C & 0xFF);
        Bytes += char(C >> 8);
    }
    return 1;
}

void PutBigEndian(std::string& Out, uint32_t Value) {
    Out += char(Value >> 24);
    Out += char((Value >> 16) & 0xFF);
    Out += char((Value >> 8) & 0xFF);
    Out += char(Value & 0xFF);
}

} // namespace

TID3v2::TID3v2() {
    ResetData();
}

void TID3v2::ResetData() {
    FExists = false;
    FVersionID = 0;
    FSize = 0;
    FTitle.clear();
    FArtist.clear();
    FAlbum.clear();
    FTrack = 0;
    FYear.clear();
    FGenre.clear();
    FComment.clear();
}

void TID3v2::SetTitle(const std::string& Value) {
    FTitle = TrimTrailing(Value);
}
void TID3v2::SetArtist(const std::string& Value) {
    FArtist = TrimTrailing(Value);
}
void TID3v2::SetAlbum(const std::string& Value) {
    FAlbum = TrimTrailing(Value);
}
void TID3v2::SetYear(const std::string& Value) {
    FYear = TrimTrailing(Value);
}
void TID3v2::SetGenre(const std::string& Value) {
    FGenre = TrimTrailing(Value);
}
void TID3v2::SetComment(const std::string& Value) {
    FComment = TrimTrailing(Value);
}

bool TID3v2::ReadFromStream(TStream& S) {
    ResetData();
    TTagHeader H;
    try {
        if (!ReadHeader(S, H)) return false;
    } catch (const Exception&) {
        return false;
    }
    if (!H.IsID3()) return true;
    FExists = true;
    FVersionID = H.Bytes[3];
    FSize = int32_t(H.TagSize());
    if (FVersionID != 3 || FSize <= 0) return true;

    std::string Slot[SlotCount];
    try {
        int64_t Pos = 10;
        while (Pos < FSize) {
            if (S.Seek(Pos, soBeginning) != Pos) break;
            uint8_t Frame[10];
            if (S.Read(Frame, 10) != 10) break;
            if (Frame[0] < 'A' || Frame[0] > 'Z') break;
            uint32_t Size = (uint32_t(Frame[4]) << 24) | (uint32_t(Frame[5]) << 16) |
                            (uint32_t(Frame[6]) << 8) | uint32_t(Frame[7]);
            // Data beyond the buffer is skipped, never wrapped around.
            std::string Data(std::min<uint32_t>(Size, FrameBufferSize), '\0');
            Data.resize(size_t(S.Read(Data.data(), int64_t(Data.size()))));
            for (int I = 0; I < SlotCount; ++I)
                if (std::memcmp(Frame, FrameID[I], 4) == 0) Slot[I] = Data;
            Pos += 10 + int64_t(Size);
        }
    } catch (const Exception&) {
        // Keeps what was read so far.
    }

    FTitle = Trim(FrameText(Slot[slTitle]));
    FArtist = Trim(FrameText(Slot[slArtist]));
    FAlbum = Trim(FrameText(Slot[slAlbum]));
    FYear = Trim(FrameText(Slot[slYear]));
    std::string Track = Trim(FrameText(Slot[slTrack]));
    Track = Trim(Track.substr(0, Track.find('/')));
    int32_t Number = 0;
    FTrack = TryStrToInt(Track, Number) && Number > 0 && Number <= 255 ? uint8_t(Number) : 0;
    FGenre = Trim(FrameText(Slot[slGenre]));
    size_t Paren = FGenre.rfind(')');
    if (Paren != std::string::npos) FGenre = Trim(FGenre.substr(Paren + 1));
    FComment = Trim(CommentText(Slot[slComment]));
    return true;
}

bool TID3v2::ReadFromFile(const std::string& FileName) {
    ResetData();
    std::unique_ptr<TFileStream> F;
    try {
        F = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
    } catch (const Exception&) {
        return false;
    }
    return ReadFromStream(*F);
}

std::string TID3v2::BuildTag() const {
    std::string Text[SlotCount] = {FTitle, FArtist, FAlbum,  FTrack ? IntToStr(FTrack) : "",
                                   FYear,  FGenre,  FComment};
    std::string Frames;
    for (int I = 0; I < SlotCount; ++I) {
        if (Text[I].empty()) continue;
        std::string Bytes;
        uint8_t Encoding = EncodeText(Text[I], Bytes);
        if (I == slComment) {
            // Language, then an empty description in the same encoding.
            std::string Description =
                Encoding == 1 ? std::string("\xFF\xFE\0\0", 4) : std::string(1, '\0');
            Bytes = "eng" + Description + Bytes;
        }
        Frames += FrameID[I];
        PutBigEndian(Frames, uint32_t(1 + Bytes.size()));
        Frames += std::string(2, '\0');
        Frames += char(Encoding);
        Frames += Bytes;
    }
    uint32_t Size = uint32_t(Frames.size());
    std::string Tag = std::string("ID3\x03\x00\x00", 6);
    Tag += char((Size >> 21) & 127);
    Tag += char((Size >> 14) & 127);
    Tag += char((Size >> 7) & 127);
    Tag += char(Size & 127);
    return Tag + Frames;
}

bool TID3v2::SaveToFile(const std::string& FileName) {
    std::string Tag = BuildTag();
    return Rewrite(FileName, &Tag);
}

bool TID3v2::RemoveFromFile(const std::string& FileName) {
    return Rewrite(FileName, nullptr);
}

bool TID3v2::Rewrite(const std::string& FileName, const std::string* NewTag) {
    if (!FileExists(FileName)) return false;
    const std::string NewName = FileName + "~";
    bool Created = false;
    try {
        TFileStream Source(FileName, fmOpenRead | fmShareDenyWrite);
        TTagHeader H;
        if (!ReadHeader(Source, H)) return false;
        if (!NewTag && !H.IsID3()) return false;
        Source.SetPosition(H.IsID3() ? H.TagSize() : 0);

        TFileStream Target(NewName, fmCreate);
        Created = true;
        if (NewTag) Target.WriteBuffer(NewTag->data(), int64_t(NewTag->size()));
        char Buffer[65536];
        for (;;) {
            int64_t N = Source.Read(Buffer, sizeof Buffer);
            if (N <= 0) break;
            Target.WriteBuffer(Buffer, N);
        }
        if (Source.Position() != H.FileSize || !os::FileSync(Target.Handle()))
            throw EWriteError("incomplete copy");
    } catch (const Exception&) {
        if (Created) DeleteFile(NewName);
        return false;
    }
    // The complete new file takes the old one's place in one step.
    if (!RenameFile(NewName, FileName)) {
        DeleteFile(NewName);
        return false;
    }
    return true;
}
