// Reads arbitrary text as a skin's ini text, writes it back and reads that
// again: the reader never crashes, a written skin reads back as written, and
// what one load accepted the next accepts too (no value beyond the limits
// gets past the reader).
#include "skin/engine/SkinData.h"

#include "skin/engine/spzlibcompress.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// A 1 x 1 bitmap file: the frame picture a skin must have.
std::string framePicture() {
    TBitmap b;
    b.SetSize(1, 1);
    TStringStream s;
    b.SaveToStream(&s);
    return s.DataString();
}

// A payload with only the frame picture around the text, as compressed
// skins carry it.
void loadText(TspSkinData& Skin, const std::string& Text) {
    static const std::string frame = framePicture();
    TMemoryStream payload;
    payload.WriteString(std::string("\0\0\0\0\0", 5) + frame + std::string("\1\0\0\0\0", 5) + Text);
    TspCompressedStoredSkin stored(nullptr);
    CompressStream(&payload, stored.CompressedStream());
    Skin.LoadCompressedStoredSkin(&stored);
}

std::string saveText(TspSkinData& Skin) {
    TMemIniFile ini;
    Skin.SaveToCustomIniFile(&ini);
    return ini.GetText();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    std::string text(reinterpret_cast<const char*>(Data), Size);
    TspSkinData first(nullptr);
    try {
        loadText(first, text);
    } catch (const std::exception&) {
        return 0; // a value the codecs cannot read: a clear error
    }
    // Elements that share a section settle after one write; from then on a
    // skin reads back exactly as it was written.
    TspSkinData second(nullptr), third(nullptr);
    loadText(second, saveText(first));
    std::string written = saveText(second);
    loadText(third, written);
    if (saveText(third) != written) std::abort();
    return 0;
}
