// Reads arbitrary bytes as an ID3v1 trailer and writes the fields back.
#include "media/ID3v1.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    uint8_t Trailer[TID3v1::TagSize] = {};
    std::memcpy(Trailer, Data, Size < sizeof Trailer ? Size : sizeof Trailer);
    TID3v1 Tag;
    Tag.ReadFromTrailer(Trailer);
    (void)Tag.Genre();

    // What was read is written back, cut only where it no longer fits (bytes
    // the code page cannot read widen into replacement characters).
    TID3v1 Copy;
    Copy.SetTitle(Tag.Title());
    Copy.SetArtist(Tag.Artist());
    Copy.SetAlbum(Tag.Album());
    Copy.SetYear(Tag.Year());
    Copy.SetComment(Tag.Comment());
    Copy.SetTrack(Tag.Track());
    Copy.SetGenreID(Tag.GenreID());
    if (Tag.Title().rfind(Copy.Title(), 0) != 0 || Tag.Artist().rfind(Copy.Artist(), 0) != 0)
        std::abort();

    // Any text fits its field.
    std::string Text(reinterpret_cast<const char*>(Data), Size);
    Copy.SetTitle(Text);
    Copy.SetComment(Text);
    uint8_t Built[TID3v1::TagSize];
    Copy.BuildTrailer(Built);
    TID3v1 Back;
    if (!Back.ReadFromTrailer(Built)) std::abort();
    return 0;
}
