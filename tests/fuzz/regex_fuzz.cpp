// Patterns and subjects through compile, match and the text operations.
// Input: one byte of modifier bits (i r s g m x), then the pattern up to the
// first 0xFF byte, then the subject. Work stays bounded by keeping subjects
// short and patterns to a few repetitions and alternatives, since a
// backtracking matcher is exponential by nature.
#include "app/RegExEngine.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr size_t MaxPattern = 64;
constexpr size_t MaxSubject = 12;
constexpr int MaxChoices = 3;

// Bytes below 0x80 are themselves; the others reach case pairs, separators and
// units the engine treats specially.
char16_t Unit(uint8_t b) {
    switch (b) {
    case 0xFE:
        return 0x2028;
    case 0xFD:
        return 0x20AC;
    case 0xFC:
        return 0x0451;
    case 0xFB:
        return 0x0401;
    case 0xFA:
        return 0xFFFF;
    case 0xF9:
        return 0xD800;
    case 0xF8:
        return 0x0085;
    default:
        return b < 0x80 ? b : static_cast<char16_t>(0x3C0 + (b - 0x80));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t mods = data[0];
    std::u16string pattern, subject;
    size_t i = 1;
    for (; i < size && data[i] != 0xFF; ++i)
        pattern += Unit(data[i]);
    for (++i; i < size; ++i)
        subject += Unit(data[i]);
    if (pattern.size() > MaxPattern || subject.size() > MaxSubject) return 0;
    int choices = 0;
    for (char16_t c : pattern)
        if (c == '*' || c == '+' || c == '?' || c == '{' || c == '|') ++choices;
    if (choices > MaxChoices) return 0;

    TRegExEngine re;
    re.SetModifierI(mods & 1);
    re.SetModifierR(mods & 2);
    re.SetModifierS(mods & 4);
    re.SetModifierG(mods & 8);
    re.SetModifierM(mods & 16);
    re.SetModifierX(mods & 32);
    if (mods & 64) re.SetLinePairedSeparator(u"");
    try {
        re.SetExpression(pattern);
        if (re.Exec(subject)) {
            for (int n = 0; n < TRegExEngine::GroupCount; ++n)
                re.GroupText(n);
            re.Substitute(u"$0|${1}|$2\\$3$&${14}$");
            int guard = 0;
            while (re.ExecNext() && ++guard < 32) {
            }
        }
        std::vector<std::u16string> pieces;
        re.Split(subject, pieces);
        re.Replace(subject, u"<$1>", true);
        re.Dump();
    } catch (const ERegExEngine&) {
    }
    return 0;
}
