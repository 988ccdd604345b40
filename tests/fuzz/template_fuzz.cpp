// Arbitrary templates and declarations through the template engine.
// Input: the template up to the first 0xFF byte (at most 2 KiB, since each
// marker is found by the backtracking regular-expression engine), then
// declarations, one per line: "b<name>" opens a block, "e" closes one,
// "v<name>=<value>" sets a variable.
#include "app/ZuzIva.h"

#include "app/RegExEngine.h"
#include "classlib/sysutils.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr size_t MaxTemplate = 2048;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string input(reinterpret_cast<const char*>(Data), Size);
    size_t cut = input.find('\xFF');
    if (cut == std::string::npos) cut = input.size();
    if (cut > MaxTemplate) return 0;

    TZuzIva z;
    z.m_sTplString.SetText(input.substr(0, cut));
    size_t pos = cut + 1;
    while (pos < input.size()) {
        size_t end = input.find('\n', pos);
        if (end == std::string::npos) end = input.size();
        const std::string line = input.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty()) continue;
        try {
            switch (line[0]) {
            case 'b':
                z.BeginBlock(line.substr(1));
                break;
            case 'e':
                if (z.m_aBlockLevel > 0) z.EndBlock();
                break;
            case 'v': {
                size_t eq = line.find('=');
                z.SetVar(line.substr(1, eq == std::string::npos ? std::string::npos : eq - 1),
                         eq == std::string::npos ? std::string() : line.substr(eq + 1));
                break;
            }
            default:
                break;
            }
        } catch (const EInvalidOperation&) {
            // nesting beyond the engine's levels is refused
        }
    }

    // Rendering is repeatable: the same declarations give the same page.
    std::string first;
    try {
        z.MakeHtml();
        first = z.m_sHTML;
        z.MakeHtml();
    } catch (const EInvalidOperation&) {
        return 0;
    }
    if (z.m_sHTML != first) std::abort();
    return 0;
}
