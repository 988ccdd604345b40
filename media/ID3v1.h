// The ID3 version 1 trailer: the last 128 bytes of an audio file.
#pragma once

#include "classlib/classes.h"

#include <cstdint>
#include <string>

constexpr int MaxMusicGenre = 147;
// Genre names by number, 0 to 147.
extern const char* const MusicGenre[MaxMusicGenre + 1];

// Texts are UTF-8 here; in the file they are bytes of the ANSI code page,
// each field cut at a character boundary to fit its size.
class TID3v1 : public TObject {
public:
    static constexpr int TagSize = 128;

    TID3v1();
    void ResetData();

    bool Exists() const { return FExists; }
    // 1 = version 1.0, 2 = version 1.1.
    uint8_t VersionID() const { return FVersionID; }

    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& Value);
    const std::string& Artist() const { return FArtist; }
    void SetArtist(const std::string& Value);
    const std::string& Album() const { return FAlbum; }
    void SetAlbum(const std::string& Value);
    const std::string& Year() const { return FYear; }
    void SetYear(const std::string& Value);
    const std::string& Comment() const { return FComment; }
    void SetComment(const std::string& Value);
    uint8_t Track() const { return FTrack; }
    void SetTrack(uint8_t Value) { FTrack = Value; }
    uint8_t GenreID() const { return FGenreID; }
    void SetGenreID(uint8_t Value) { FGenreID = Value; }
    // The genre's name, empty for a number without one.
    std::string Genre() const;

    // False on any input/output failure (a file shorter than 128 bytes too).
    bool ReadFromFile(const std::string& FileName);
    bool RemoveFromFile(const std::string& FileName);
    bool SaveToFile(const std::string& FileName);

    // Reads the fields of a trailer; false when it does not start with "TAG".
    bool ReadFromTrailer(const uint8_t (&Trailer)[TagSize]);
    // The 128 bytes SaveToFile writes.
    void BuildTrailer(uint8_t (&Trailer)[TagSize]) const;

private:
    bool FExists = false;
    uint8_t FVersionID = 1;
    std::string FTitle;
    std::string FArtist;
    std::string FAlbum;
    std::string FYear;
    std::string FComment;
    uint8_t FTrack = 0;
    uint8_t FGenreID = 255;
};
