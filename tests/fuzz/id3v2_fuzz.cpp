// Reads arbitrary bytes as the start of a file with an ID3v2 tag.
#include "media/ID3v2.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool Short(const TID3v2& T) {
    return T.Title().size() < 200 && T.Artist().size() < 200 && T.Album().size() < 200 &&
           T.Year().size() < 200 && T.Genre().size() < 200 && T.Comment().size() < 200;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    TStringStream Stream(std::string(reinterpret_cast<const char*>(Data), Size));
    TID3v2 Tag;
    Tag.ReadFromStream(Stream);

    // A tag built from what was read reads back the same.
    TStringStream Built(Tag.BuildTag());
    TID3v2 Back;
    if (!Back.ReadFromStream(Built) || !Back.Exists() || Back.VersionID() != 3) std::abort();
    if (Short(Tag) && (Back.Title() != Tag.Title() || Back.Artist() != Tag.Artist() ||
                       Back.Album() != Tag.Album() || Back.Track() != Tag.Track() ||
                       Back.Year() != Tag.Year() || Back.Comment() != Tag.Comment()))
        std::abort();
    return 0;
}
