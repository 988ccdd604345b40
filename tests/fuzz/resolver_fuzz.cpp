// Parses arbitrary bytes as each kind of page the resolver fetches.
#include "download/YoutubeFLVGet.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size == 0) return 0;
    const uint8_t flags = Data[0];
    const std::string page(reinterpret_cast<const char*>(Data + 1), Size - 1);
    static TYoutubeFLVGet resolver(nullptr);
    resolver.YoutubeID = "id";
    resolver.SplitStr = flags & 0x10 ? "," : "&";
    resolver.NeedURLDecode = flags & 0x20;
    for (const TYoutubeFLVGetMethod method : {KFromGetInfo, KFromWatch, KFromWatch2}) {
        resolver.Method = method;
        int bad = 0;
        resolver.OnBadResponse = [&](const std::string&) { ++bad; };
        resolver.ParsePage(page);
        // A page gives an address or at most one bad answer, never both.
        if (bad > 1 || (!resolver.MediaURL().empty() && bad != 0)) std::abort();
        if (method == KFromWatch2 && bad != 0) std::abort();
    }
    return 0;
}
