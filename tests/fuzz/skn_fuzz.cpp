// Reads arbitrary bytes as a compressed skin file, and as the inflated
// payload of one: a damaged skin raises, never crashes.
#include "skin/engine/SkinData.h"

#include "skin/engine/spzlibcompress.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    std::string bytes(reinterpret_cast<const char*>(Data), Size);
    TspSkinData skin(nullptr);
    TspCompressedStoredSkin stored(nullptr);
    try {
        if (Size > 0 && (Data[0] & 1)) {
            // The rest is the payload itself, packed here so the fuzzer
            // reaches the picture and text readers.
            TMemoryStream payload;
            payload.WriteString(bytes.substr(1));
            CompressStream(&payload, stored.CompressedStream());
        } else {
            TStringStream file(bytes);
            stored.LoadFromCompressStream(&file);
        }
        skin.LoadCompressedStoredSkin(&stored);
    } catch (const std::exception&) {
        // A damaged skin leaves the skin data as it was: empty.
        if (!skin.Empty || skin.ChangeSkinDataProcess || !skin.CtrlList.empty()) std::abort();
    }
    return 0;
}
