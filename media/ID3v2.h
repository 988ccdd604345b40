// The ID3v2.3 tag at the start of an audio file, limited to seven text
// frames.
#pragma once

#include "classlib/classes.h"
#include "classlib/streams.h"

#include <cstdint>
#include <string>

// Texts are UTF-8 here. Frames are written in ISO-8859-1 (encoding 0) when
// the text fits it and in UTF-16 with a byte-order mark (encoding 1)
// otherwise.
class TID3v2 : public TObject {
public:
    // Frame data beyond this many bytes is not read.
    static constexpr int FrameBufferSize = 500;

    TID3v2();
    void ResetData();

    bool Exists() const { return FExists; }
    uint8_t VersionID() const { return FVersionID; }
    // The tag size including its header, 0 when invalid.
    int32_t Size() const { return FSize; }

    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& Value);
    const std::string& Artist() const { return FArtist; }
    void SetArtist(const std::string& Value);
    const std::string& Album() const { return FAlbum; }
    void SetAlbum(const std::string& Value);
    uint8_t Track() const { return FTrack; }
    void SetTrack(uint8_t Value) { FTrack = Value; }
    const std::string& Year() const { return FYear; }
    void SetYear(const std::string& Value);
    const std::string& Genre() const { return FGenre; }
    void SetGenre(const std::string& Value);
    const std::string& Comment() const { return FComment; }
    void SetComment(const std::string& Value);

    bool ReadFromFile(const std::string& FileName);
    // Both rewrite the file through a new file (the name + "~") that takes the
    // old one's place only when it is complete.
    bool RemoveFromFile(const std::string& FileName);
    bool SaveToFile(const std::string& FileName);

    // Reads a tag from the start of Stream; false when the header cannot be
    // read.
    bool ReadFromStream(TStream& Stream);
    // The tag SaveToFile writes.
    std::string BuildTag() const;

private:
    bool Rewrite(const std::string& FileName, const std::string* NewTag);

    bool FExists = false;
    uint8_t FVersionID = 0;
    int32_t FSize = 0;
    std::string FTitle;
    std::string FArtist;
    std::string FAlbum;
    uint8_t FTrack = 0;
    std::string FYear;
    std::string FGenre;
    std::string FComment;
};
