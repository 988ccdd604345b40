#include "app/RegExEngine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// Opcodes of the compiled program.
enum : char16_t {
    OP_END = 0,
    OP_BOL = 1,
    OP_EOL = 2,
    OP_ANY = 3,
    OP_ANYOF = 4,
    OP_ANYBUT = 5,
    OP_BRANCH = 6,
    OP_BACK = 7,
    OP_EXACTLY = 8,
    OP_NOTHING = 9,
    OP_STAR = 10,
    OP_PLUS = 11,
    OP_ANYDIGIT = 12,
    OP_NOTDIGIT = 13,
    OP_ANYLETTER = 14,
    OP_NOTLETTER = 15,
    OP_ANYSPACE = 16,
    OP_NOTSPACE = 17,
    OP_BRACES = 18,
    OP_COMMENT = 19,
    OP_EXACTLYCI = 20,
    OP_ANYOFCI = 21,
    OP_ANYBUTCI = 22,
    OP_LOOPENTRY = 23,
    OP_LOOP = 24,
    OP_ANYOFTINYSET = 25,
    OP_ANYBUTTINYSET = 26,
    OP_BSUBEXP = 28,
    OP_BSUBEXPCI = 29,
    OP_STARNG = 30,
    OP_PLUSNG = 31,
    OP_BRACESNG = 32,
    OP_LOOPNG = 33,
    OP_BOLML = 34,
    OP_EOLML = 35,
    OP_ANYML = 36,
    OP_BOUND = 37,
    OP_NOTBOUND = 38,
    OP_OPEN = 39,
    OP_CLOSE = 54,
};

constexpr char16_t PROGRAM_MARK = 216;
constexpr int NODE_SIZE = 3; // opcode and a two-unit link
constexpr int32_t BRACE_MAX = 0x7FFFFFFE;
constexpr int32_t REPEAT_MAX = 0x7FFFFFFF;

// Parse flags.
constexpr int FLAG_HAS_WIDTH = 1;
constexpr int FLAG_SIMPLE = 2;
constexpr int FLAG_STARTS_WITH_REPEAT = 4;

// Modifier bits.
constexpr int MOD_I = 1;
constexpr int MOD_R = 2;
constexpr int MOD_S = 4;
constexpr int MOD_G = 8;
constexpr int MOD_M = 16;
constexpr int MOD_X = 32;

// Recursion of the matcher stops with an error once it has used this much stack.
constexpr uintptr_t STACK_BUDGET = 2u * 1024u * 1024u;

constexpr int ERR_RECURSION = 1016;

// Thrown after RaiseError returned without raising: the operation is abandoned.
struct TAbandon {};

const char16_t META_UNITS[] = u"^$.[()|?+*\\{";

bool IsMeta(char16_t Ch) {
    for (const char16_t* p = META_UNITS; *p; ++p)
        if (*p == Ch) return true;
    return false;
}

// Up to four ranges of units a match can begin with, searched for together.
struct TUnitRanges {
    int Count = 0;
    char16_t Lo[4] = {}, Hi[4] = {};
};

// The first of the units A or B at or after p, or end; the first unit in one
// of the ranges at or after p, or end. The plain forms finish what the vector
// forms leave over.
const char16_t* FindUnitPlain(const char16_t* p, const char16_t* end, char16_t A, char16_t B) {
    while (p < end && *p != A && *p != B)
        ++p;
    return p;
}

bool InRanges(char16_t Ch, const TUnitRanges& R) {
    for (int i = 0; i < R.Count; ++i)
        if (static_cast<char16_t>(Ch - R.Lo[i]) <= static_cast<char16_t>(R.Hi[i] - R.Lo[i]))
            return true;
    return false;
}

const char16_t* FindInRangesPlain(const char16_t* p, const char16_t* end, const TUnitRanges& R) {
    while (p < end && !InRanges(*p, R))
        ++p;
    return p;
}

#if defined(__x86_64__)
#define LANTROVE_REGEX_VECTORS 1

const char16_t* FindUnitSse2(const char16_t* p, const char16_t* end, char16_t A, char16_t B) {
    const __m128i va = _mm_set1_epi16(static_cast<short>(A));
    const __m128i vb = _mm_set1_epi16(static_cast<short>(B));
    while (end - p >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, va), _mm_cmpeq_epi16(v, vb)));
        if (mask) return p + (__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
        p += 8;
    }
    return FindUnitPlain(p, end, A, B);
}

// Units in range: (unit - lo) <= (hi - lo) as unsigned, which a saturating
// subtraction tells by giving 0.
const char16_t* FindInRangesSse2(const char16_t* p, const char16_t* end, const TUnitRanges& R) {
    __m128i lo[4], width[4];
    for (int i = 0; i < R.Count; ++i) {
        lo[i] = _mm_set1_epi16(static_cast<short>(R.Lo[i]));
        width[i] = _mm_set1_epi16(static_cast<short>(R.Hi[i] - R.Lo[i]));
    }
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i hit = zero;
        for (int i = 0; i < R.Count; ++i)
            hit = _mm_or_si128(
                hit, _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, lo[i]), width[i]), zero));
        const int mask = _mm_movemask_epi8(hit);
        if (mask) return p + (__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
        p += 8;
    }
    return FindInRangesPlain(p, end, R);
}

template <bool Two>
__attribute__((target("avx2"))) inline __m256i UnitHitsAvx2(const char16_t* at, __m256i va,
                                                            __m256i vb) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i h = _mm256_cmpeq_epi16(v, va);
    return Two ? _mm256_or_si256(h, _mm256_cmpeq_epi16(v, vb)) : h;
}

// Four vectors a step, tested together: the loads run ahead of the compares.
template <bool Two>
__attribute__((target("avx2"))) const char16_t* FindUnitAvx2(const char16_t* p, const char16_t* end,
                                                             char16_t A, char16_t B) {
    const __m256i va = _mm256_set1_epi16(static_cast<short>(A));
    const __m256i vb = _mm256_set1_epi16(static_cast<short>(B));
    while (end - p >= 64) {
        const __m256i h0 = UnitHitsAvx2<Two>(p, va, vb), h1 = UnitHitsAvx2<Two>(p + 16, va, vb),
                      h2 = UnitHitsAvx2<Two>(p + 32, va, vb),
                      h3 = UnitHitsAvx2<Two>(p + 48, va, vb);
        const __m256i any = _mm256_or_si256(_mm256_or_si256(h0, h1), _mm256_or_si256(h2, h3));
        if (!_mm256_testz_si256(any, any)) {
            const __m256i h[4] = {h0, h1, h2, h3};
            for (int i = 0;; ++i) {
                const unsigned m = static_cast<unsigned>(_mm256_movemask_epi8(h[i]));
                if (m) return p + 16 * i + (__builtin_ctz(m) >> 1);
            }
        }
        p += 64;
    }
    while (end - p >= 16) {
        const unsigned m =
            static_cast<unsigned>(_mm256_movemask_epi8(UnitHitsAvx2<Two>(p, va, vb)));
        if (m) return p + (__builtin_ctz(m) >> 1);
        p += 16;
    }
    return FindUnitPlain(p, end, A, B);
}

__attribute__((target("avx2"))) const char16_t*
FindInRangesAvx2(const char16_t* p, const char16_t* end, const TUnitRanges& R) {
    __m256i lo[4], width[4];
    for (int i = 0; i < R.Count; ++i) {
        lo[i] = _mm256_set1_epi16(static_cast<short>(R.Lo[i]));
        width[i] = _mm256_set1_epi16(static_cast<short>(R.Hi[i] - R.Lo[i]));
    }
    const __m256i zero = _mm256_setzero_si256();
    while (end - p >= 16) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        __m256i hit = zero;
        for (int i = 0; i < R.Count; ++i)
            hit = _mm256_or_si256(
                hit,
                _mm256_cmpeq_epi16(_mm256_subs_epu16(_mm256_sub_epi16(v, lo[i]), width[i]), zero));
        const unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(hit));
        if (mask) return p + (__builtin_ctz(mask) >> 1);
        p += 16;
    }
    return FindInRangesSse2(p, end, R);
}

// Vector stores: a compiler left alone turns the loop into a string store
// instruction, which costs more to start than a whole match of a short text.
void ClearPointers(const char16_t** p, int n) {
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 2 <= n; i += 2)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), zero);
    if (i < n) p[i] = nullptr;
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

#ifndef LANTROVE_REGEX_VECTORS
void ClearPointers(const char16_t** p, int n) {
    for (int i = 0; i < n; ++i)
        p[i] = nullptr;
}
#endif

const char16_t* FindUnit(const char16_t* p, const char16_t* end, char16_t A, char16_t B) {
#ifdef LANTROVE_REGEX_VECTORS
    if (HasAvx2())
        return A == B ? FindUnitAvx2<false>(p, end, A, B) : FindUnitAvx2<true>(p, end, A, B);
    return FindUnitSse2(p, end, A, B);
#else
    return FindUnitPlain(p, end, A, B);
#endif
}

const char16_t* FindInRanges(const char16_t* p, const char16_t* end, const TUnitRanges& R) {
#ifdef LANTROVE_REGEX_VECTORS
    return HasAvx2() ? FindInRangesAvx2(p, end, R) : FindInRangesSse2(p, end, R);
#else
    return FindInRangesPlain(p, end, R);
#endif
}

bool IsQuantifier(char16_t Ch) {
    return Ch == '*' || Ch == '+' || Ch == '?' || Ch == '{';
}

bool IsExtendedSpace(char16_t Ch) {
    return Ch == ' ' || Ch == '\t' || Ch == '\r' || Ch == '\n';
}

int32_t ReadInt(const char16_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 16));
}

void WriteInt(char16_t* p, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<char16_t>(u & 0xFFFF);
    p[1] = static_cast<char16_t>(u >> 16);
}

// A class operand is a two-unit count and then the members; a member may be
// U+0000, so the count, never a terminator, says where the set ends.
constexpr int CLASS_COUNT_SIZE = 2;

int32_t ClassSize(const char16_t* node) {
    return ReadInt(node + NODE_SIZE);
}

const char16_t* ClassUnits(const char16_t* node) {
    return node + NODE_SIZE + CLASS_COUNT_SIZE;
}

size_t StrLen(const char16_t* s) {
    size_t n = 0;
    while (s[n])
        ++n;
    return n;
}

std::u16string Ascii(const char* s) {
    std::u16string r;
    while (*s)
        r += static_cast<char16_t>(static_cast<unsigned char>(*s++));
    return r;
}

std::string Narrow(const std::u16string& s) {
    std::string r;
    for (char16_t c : s)
        r += c < 0x80 ? static_cast<char>(c) : '?';
    return r;
}

int HexDigit(char16_t Ch) {
    if (Ch >= '0' && Ch <= '9') return Ch - '0';
    if (Ch >= 'a' && Ch <= 'f') return Ch - 'a' + 10;
    if (Ch >= 'A' && Ch <= 'F') return Ch - 'A' + 10;
    return -1;
}

// Case inversion below U+20AC, built once from the case pairs of the scripts
// that live there.
struct TCaseTable {
    char16_t Invert[0x20AC];
    TCaseTable() {
        static char16_t upper[0x20AC], lower[0x20AC];
        for (int c = 0; c < 0x20AC; ++c)
            upper[c] = lower[c] = static_cast<char16_t>(c);
        auto pair = [&](int u, int l) {
            upper[l] = static_cast<char16_t>(u);
            lower[u] = static_cast<char16_t>(l);
        };
        auto run = [&](int u, int l, int n) {
            for (int i = 0; i < n; ++i)
                pair(u + i, l + i);
        };
        auto alternate = [&](int first, int last) {
            for (int c = first; c + 1 <= last; c += 2)
                pair(c, c + 1);
        };
        run(0x41, 0x61, 26);
        run(0xC0, 0xE0, 23);
        run(0xD8, 0xF8, 7);
        pair(0x178, 0xFF);
        upper[0xB5] = 0x39C;
        alternate(0x100, 0x12F);
        lower[0x130] = 'i';
        upper[0x131] = 'I';
        alternate(0x132, 0x137);
        alternate(0x139, 0x148);
        alternate(0x14A, 0x177);
        alternate(0x179, 0x17E);
        upper[0x17F] = 'S';
        static const int latinB[][2] = {
            {0x181, 0x253}, {0x186, 0x254}, {0x187, 0x188}, {0x189, 0x256}, {0x18A, 0x257},
            {0x18B, 0x18C}, {0x18E, 0x1DD}, {0x18F, 0x259}, {0x190, 0x25B}, {0x191, 0x192},
            {0x193, 0x260}, {0x194, 0x263}, {0x196, 0x269}, {0x197, 0x268}, {0x198, 0x199},
            {0x19C, 0x26F}, {0x19D, 0x272}, {0x19F, 0x275}, {0x1A7, 0x1A8}, {0x1A9, 0x283},
            {0x1AC, 0x1AD}, {0x1AE, 0x288}, {0x1AF, 0x1B0}, {0x1B1, 0x28A}, {0x1B2, 0x28B},
            {0x1B3, 0x1B4}, {0x1B5, 0x1B6}, {0x1B7, 0x292}, {0x1B8, 0x1B9}, {0x1BC, 0x1BD},
            {0x1C4, 0x1C6}, {0x1C7, 0x1C9}, {0x1CA, 0x1CC}, {0x1F1, 0x1F3}, {0x1F4, 0x1F5},
            {0x1F6, 0x195}, {0x1F7, 0x1BF}};
        for (const auto& p : latinB)
            pair(p[0], p[1]);
        for (int t : {0x1C5, 0x1C8, 0x1CB, 0x1F2}) {
            upper[t] = static_cast<char16_t>(t - 1);
            lower[t] = static_cast<char16_t>(t + 1);
        }
        alternate(0x182, 0x185);
        alternate(0x1A0, 0x1A5);
        alternate(0x1CD, 0x1DC);
        alternate(0x1DE, 0x1EF);
        alternate(0x1F8, 0x21F);
        alternate(0x222, 0x233);
        alternate(0x246, 0x24F);
        run(0x391, 0x3B1, 17);
        run(0x3A3, 0x3C3, 9);
        upper[0x3C2] = 0x3A3;
        pair(0x386, 0x3AC);
        run(0x388, 0x3AD, 3);
        pair(0x38C, 0x3CC);
        run(0x38E, 0x3CD, 2);
        alternate(0x3D8, 0x3EF);
        run(0x410, 0x430, 32);
        run(0x400, 0x450, 16);
        alternate(0x460, 0x481);
        alternate(0x48A, 0x4BF);
        pair(0x4C0, 0x4CF);
        alternate(0x4C1, 0x4CE);
        alternate(0x4D0, 0x52F);
        run(0x531, 0x561, 38);
        alternate(0x1E00, 0x1E95);
        lower[0x1E9E] = 0xDF;
        alternate(0x1EA0, 0x1EFF);
        static const int greekExt[][3] = {
            {0x1F08, 0x1F00, 8}, {0x1F18, 0x1F10, 6}, {0x1F28, 0x1F20, 8}, {0x1F38, 0x1F30, 8},
            {0x1F48, 0x1F40, 6}, {0x1F68, 0x1F60, 8}, {0x1F88, 0x1F80, 8}, {0x1F98, 0x1F90, 8},
            {0x1FA8, 0x1FA0, 8}, {0x1FB8, 0x1FB0, 2}, {0x1FD8, 0x1FD0, 2}, {0x1FE8, 0x1FE0, 2},
            {0x1FBA, 0x1F70, 2}, {0x1FC8, 0x1F72, 4}, {0x1FDA, 0x1F76, 2}, {0x1FF8, 0x1F78, 2},
            {0x1FEA, 0x1F7A, 2}, {0x1FFA, 0x1F7C, 2}};
        for (const auto& r : greekExt)
            run(r[0], r[1], r[2]);
        for (int l : {0x1F51, 0x1F53, 0x1F55, 0x1F57})
            pair(l + 8, l);
        pair(0x1FBC, 0x1FB3);
        pair(0x1FCC, 0x1FC3);
        pair(0x1FFC, 0x1FF3);
        pair(0x1FEC, 0x1FE5);
        for (int c = 0; c < 0x20AC; ++c)
            Invert[c] = upper[c] != c ? upper[c] : lower[c];
    }
};

const TCaseTable& CaseTable() {
    static const TCaseTable table;
    return table;
}

// Defaults of every engine.
const std::u16string DefaultSpaceChars = u" \t\n\r\f";
const std::u16string DefaultWordChars =
    u"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_";
const std::u16string DefaultLineSeparators = u"\r\n\x0B\f\u2028\u2029\u0085";
const std::u16string DefaultLinePairedSeparator = u"\r\n";

// The modifier bit of a letter, 0 for no modifier letter.
int ModifierBit(char16_t Ch) {
    switch (Ch) {
    case 'i':
    case 'I':
        return MOD_I;
    case 'r':
    case 'R':
        return MOD_R;
    case 's':
    case 'S':
        return MOD_S;
    case 'g':
    case 'G':
        return MOD_G;
    case 'm':
    case 'M':
        return MOD_M;
    case 'x':
    case 'X':
        return MOD_X;
    default:
        return 0;
    }
}

// Applies letters as written in a modifier text ("-" clears the letters after
// it); stops at the first unit that is no modifier letter and returns false.
bool ApplyModifierLetters(const char16_t* ABegin, const char16_t* AEnd, int& AModifiers) {
    bool clear = false;
    for (const char16_t* p = ABegin; p < AEnd; ++p) {
        if (*p == '-') {
            clear = true;
            continue;
        }
        const int bit = ModifierBit(*p);
        if (!bit) return false;
        if (clear)
            AModifiers &= ~bit;
        else
            AModifiers |= bit;
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// Construction, properties

void TRegExEngine::TUnitSet::Assign(const std::u16string& AUnits) {
    std::fill(std::begin(Low), std::end(Low), 0);
    High.clear();
    for (char16_t c : AUnits) {
        if (c < 256)
            Low[c >> 6] |= uint64_t(1) << (c & 63);
        else
            High += c;
    }
}

TRegExEngine::TRegExEngine() {
    fModifiers = MOD_R | MOD_S | MOD_G;
    fSpaceChars = DefaultSpaceChars;
    fWordChars = DefaultWordChars;
    fLineSeparators = DefaultLineSeparators;
    fSpaceSet.Assign(fSpaceChars);
    fWordSet.Assign(fWordChars);
    fLineSepSet.Assign(fLineSeparators);
    fInvertCase = &TRegExEngine::InvertCaseFunction;
    SetLinePairedSeparator(DefaultLinePairedSeparator);
}

TRegExEngine::~TRegExEngine() = default;

void TRegExEngine::RaiseError(int AErrorID) {
    fLastError = AErrorID;
    std::string msg = Narrow(ErrorMsg(AErrorID));
    if (AErrorID < 1000) msg += " (pos " + std::to_string(CompilerErrorPos()) + ")";
    throw ERegExEngine(msg, AErrorID, CompilerErrorPos());
}

void TRegExEngine::Abandon() {
    throw TAbandon();
}

void TRegExEngine::Fail(int AErrorID) {
    RaiseError(AErrorID);
    Abandon();
}

std::u16string TRegExEngine::ErrorMsg(int AErrorID) {
    const char* s;
    switch (AErrorID) {
    case 0:
        s = "No errors";
        break;
    case 100:
        s = "TRegExEngine(comp): Null Argument";
        break;
    case 101:
        s = "TRegExEngine(comp): Regexp Too Big";
        break;
    case 102:
        s = "TRegExEngine(comp): ParseReg Too Many ()";
        break;
    case 103:
    case 104:
        s = "TRegExEngine(comp): ParseReg Unmatched ()";
        break;
    case 105:
        s = "TRegExEngine(comp): ParseReg Junk On End";
        break;
    case 106:
        s = "TRegExEngine(comp): *+ Operand Could Be Empty";
        break;
    case 107:
        s = "TRegExEngine(comp): Nested *?+";
        break;
    case 108:
        s = "TRegExEngine(comp): Bad Hex Digit";
        break;
    case 109:
        s = "TRegExEngine(comp): Invalid [] Range";
        break;
    case 110:
        s = "TRegExEngine(comp): Parse Atom Trailing \\";
        break;
    case 111:
        s = "TRegExEngine(comp): No Hex Code After \\x";
        break;
    case 112:
        s = "TRegExEngine(comp): Hex Code After \\x Is Too Big";
        break;
    case 113:
        s = "TRegExEngine(comp): Unmatched []";
        break;
    case 114:
        s = "TRegExEngine(comp): Internal Urp";
        break;
    case 115:
        s = "TRegExEngine(comp): ?+*{ Follows Nothing";
        break;
    case 116:
        s = "TRegExEngine(comp): Trailing \\";
        break;
    case 119:
        s = "TRegExEngine(comp): RarseAtom Internal Disaster";
        break;
    case 122:
        s = "TRegExEngine(comp): BRACES Argument Too Big";
        break;
    case 124:
        s = "TRegExEngine(comp): BRACE Min Param Greater then Max";
        break;
    case 125:
        s = "TRegExEngine(comp): Unclosed (?#Comment)";
        break;
    case 126:
        s = "TRegExEngine(comp): If you want take part in beta-testing BRACES '{min,max}' and "
            "non-greedy ops '*?', '+?', '?"
            "?' for complex cases - remove '.' from "
            "{.$DEFINE ComplexBraces}";
        break;
    case 127:
        s = "TRegExEngine(comp): Urecognized Modifier";
        break;
    case 128:
        s = "TRegExEngine(comp): LinePairedSeparator must countain two different chars or no "
            "chars at all";
        break;
    case 1000:
        s = "TRegExEngine(exec): RegRepeat Called Inappropriately";
        break;
    case 1001:
        s = "TRegExEngine(exec): MatchPrim Memory Corruption";
        break;
    case 1002:
        s = "TRegExEngine(exec): MatchPrim Corrupted Pointers";
        break;
    case 1003:
        s = "TRegExEngine(exec): Not Assigned Expression Property";
        break;
    case 1004:
        s = "TRegExEngine(exec): Corrupted Program";
        break;
    case 1005:
        s = "TRegExEngine(exec): No Input String Specified";
        break;
    case 1006:
        s = "TRegExEngine(exec): Offset Must Be Greater Then 0";
        break;
    case 1007:
        s = "TRegExEngine(exec): ExecNext Without Exec[Pos]";
        break;
    case 1008:
        s = "TRegExEngine(exec): GetInputString Without InputString";
        break;
    case 1011:
        s = "TRegExEngine(dump): Corrupted Opcode";
        break;
    case 1014:
        s = "TRegExEngine(exec): Loop Stack Exceeded";
        break;
    case 1015:
        s = "TRegExEngine(exec): Loop Without LoopEntry !";
        break;
    case ERR_RECURSION:
        s = "TRegExEngine(exec): Recursion Too Deep";
        break;
    case 2000:
        s = "TRegExEngine(misc): Bad p-code imported";
        break;
    default:
        s = "Unknown error";
        break;
    }
    return Ascii(s);
}

int TRegExEngine::LastError() {
    int r = fLastError;
    fLastError = 0;
    return r;
}

char16_t TRegExEngine::InvertCaseFunction(char16_t Ch) {
    if (Ch >= 0x20AC) return Ch;
    return CaseTable().Invert[Ch];
}

std::u16string TRegExEngine::Expression() const {
    if (!fHasExpression) return {};
    return std::u16string(fExpression.c_str());
}

void TRegExEngine::SetExpression(const std::u16string& AStr) {
    if (fExprIsCompiled && fHasExpression && AStr == fExpression) return;
    fExprIsCompiled = false;
    fHasExpression = !AStr.empty();
    fExpression = AStr;
    DiscardProgram();
}

std::u16string TRegExEngine::ModifierStr() const {
    std::u16string r = u"-";
    const char16_t letters[] = u"irsgmx";
    for (int i = 0; i < 6; ++i) {
        if (fModifiers & (1 << i))
            r.insert(r.begin(), letters[i]);
        else
            r += letters[i];
    }
    if (!r.empty() && r.back() == '-') r.pop_back();
    return r;
}

void TRegExEngine::SetModifierStr(const std::u16string& AModifiers) {
    try {
        const char16_t* b = AModifiers.data();
        if (!ApplyModifierLetters(b, b + AModifiers.size(), fModifiers)) Fail(1013);
    } catch (const TAbandon&) {
    }
}

bool TRegExEngine::GetModifier(int AIndex) {
    try {
        if (AIndex < 1 || AIndex > 6) Fail(1013);
        return (fModifiers >> (AIndex - 1)) & 1;
    } catch (const TAbandon&) {
        return false;
    }
}

void TRegExEngine::SetModifier(int AIndex, bool ASet) {
    try {
        if (AIndex < 1 || AIndex > 6) Fail(1013);
        int bit = 1 << (AIndex - 1);
        if (ASet)
            fModifiers |= bit;
        else
            fModifiers &= ~bit;
    } catch (const TAbandon&) {
    }
}

std::u16string TRegExEngine::InputString() {
    try {
        if (!fHasInput) Fail(1008);
        return std::u16string(fInputString.c_str());
    } catch (const TAbandon&) {
        return {};
    }
}

void TRegExEngine::SetInputString(const std::u16string& AInputString) {
    ClearGroups();
    fInputString = AInputString;
    fHasInput = true;
    fMustAt = fMustFrom = nullptr;
    fInputLength = static_cast<int>(StrLen(fInputString.c_str()));
}

int TRegExEngine::SubExprMatchCount() const {
    if (!fHasInput) return -1;
    for (int n = GroupCount - 1; n >= 1; --n)
        if (startp[n] && endp[n]) return n;
    return 0;
}

int TRegExEngine::CompilerErrorPos() const {
    if (regexpbeg && regparse) return static_cast<int>(regparse - regexpbeg);
    return 0;
}

void TRegExEngine::SetSpaceChars(const std::u16string& A) {
    fSpaceChars = A;
    fSpaceSet.Assign(A);
    fSideTablesStale = true;
}

void TRegExEngine::SetWordChars(const std::u16string& A) {
    fWordChars = A;
    fWordSet.Assign(A);
    fSideTablesStale = true;
}

void TRegExEngine::SetLineSeparators(const std::u16string& A) {
    if (A == fLineSeparators) return;
    fLineSeparators = A;
    fLineSepSet.Assign(A);
    DiscardProgram();
}

std::u16string TRegExEngine::LinePairedSeparator() const {
    if (!fLinePairedSeparatorAssigned) return {};
    return std::u16string{fLinePairedSeparatorHead, fLinePairedSeparatorTail};
}

void TRegExEngine::SetLinePairedSeparator(const std::u16string& A) {
    try {
        if (A.empty()) {
            if (fLinePairedSeparatorAssigned) {
                DiscardProgram();
                fLinePairedSeparatorAssigned = false;
            }
            return;
        }
        if (A.size() != 2 || A[0] == A[1]) Fail(128);
        if (!fLinePairedSeparatorAssigned || fLinePairedSeparatorHead != A[0] ||
            fLinePairedSeparatorTail != A[1]) {
            fLinePairedSeparatorAssigned = true;
            fLinePairedSeparatorHead = A[0];
            fLinePairedSeparatorTail = A[1];
            DiscardProgram();
        }
    } catch (const TAbandon&) {
    }
}

TRegExEngineInvertCaseFunction TRegExEngine::InvertCase() const {
    return fInvertCase;
}

void TRegExEngine::SetInvertCase(TRegExEngineInvertCaseFunction A) {
    fInvertCase = std::move(A);
    fDefaultInvertCase = false;
    fSideTablesStale = true;
}

int TRegExEngine::GroupPos(int n) const {
    if (n < 0 || n >= GroupCount || !fHasInput || !startp[n] || !endp[n] || endp[n] < startp[n])
        return -1;
    return static_cast<int>(startp[n] - fInputString.c_str()) + 1;
}

int TRegExEngine::GroupLen(int n) const {
    if (n < 0 || n >= GroupCount || !fHasInput || !startp[n] || !endp[n] || endp[n] < startp[n])
        return -1;
    return static_cast<int>(endp[n] - startp[n]);
}

std::u16string TRegExEngine::GroupText(int n) const {
    if (GroupLen(n) < 0) return {};
    return std::u16string(startp[n], endp[n]);
}

void TRegExEngine::ClearGroups() {
    std::fill(std::begin(startp), std::end(startp), nullptr);
    std::fill(std::begin(endp), std::end(endp), nullptr);
}

void TRegExEngine::DiscardProgram() {
    programm.reset();
    regsize = 0;
    regstart = 0;
    reganch = 0;
    regmust = nullptr;
    regmlen = 0;
    fMustAt = fMustFrom = nullptr;
    fExprIsCompiled = false;
    fSideTablesStale = true;
}

// ---------------------------------------------------------------------------
// Compiler

void TRegExEngine::Compile() {
    try {
        if (!fHasExpression) Fail(1003);
        CompileProgram(fExpression.c_str());
    } catch (const TAbandon&) {
    }
}

void TRegExEngine::CompileProgram(const char16_t* AExpression) {
    if (!AExpression || !*AExpression) Fail(100);
    DiscardProgram();
    ClearGroups();
    try {
        int flags = 0;
        // Sizing pass: nothing is written, sizes are added up.
        fProgModifiers = fModifiers;
        fCompModifiers = fModifiers;
        regexpbeg = AExpression;
        regparse = AExpression;
        regnpar = 1;
        regsize = 0;
        regcode = &regdummy;
        AppendUnit(PROGRAM_MARK);
        ParseAlternation(0, flags);

        // Writing pass.
        programm.reset(new char16_t[regsize]());
        fCompModifiers = fModifiers;
        regparse = AExpression;
        regnpar = 1;
        regcode = programm.get();
        AppendUnit(PROGRAM_MARK);
        ParseAlternation(0, flags);

        regstart = 0;
        reganch = 0;
        regmust = nullptr;
        regmlen = 0;
        const char16_t* scan = programm.get() + 1;
        const char16_t* next = NextNode(scan);
        if (next && *next == OP_END) {
            scan += NODE_SIZE;
            if (*scan == OP_EXACTLY)
                regstart = scan[NODE_SIZE];
            else if (*scan == OP_BOL)
                ++reganch;
            if (flags & FLAG_STARTS_WITH_REPEAT) {
                const char16_t* longest = nullptr;
                size_t len = 0;
                for (; scan; scan = NextNode(scan)) {
                    if (*scan != OP_EXACTLY) continue;
                    size_t l = StrLen(scan + NODE_SIZE);
                    if (l > 0 && l >= len) {
                        longest = scan + NODE_SIZE;
                        len = l;
                    }
                }
                regmust = longest;
                regmlen = static_cast<int>(len);
                fMustAt = fMustFrom = nullptr;
            }
        }
        regexpbeg = nullptr;
        regcode = nullptr;
        fExprIsCompiled = true;
        fSideTablesStale = true;
    } catch (...) {
        regexpbeg = nullptr;
        regcode = nullptr;
        DiscardProgram();
        throw;
    }
}

void TRegExEngine::EnsureRoom(int n) {
    if (regcode + n > programm.get() + regsize) Fail(101);
}

char16_t* TRegExEngine::AppendNode(int op) {
    char16_t* ret = regcode;
    if (IsSizing()) {
        regsize += NODE_SIZE;
        return ret;
    }
    EnsureRoom(NODE_SIZE);
    regcode[0] = static_cast<char16_t>(op);
    regcode[1] = 0;
    regcode[2] = 0;
    regcode += NODE_SIZE;
    return ret;
}

void TRegExEngine::AppendUnit(char16_t b) {
    if (IsSizing()) {
        ++regsize;
        return;
    }
    EnsureRoom(1);
    *regcode++ = b;
}

void TRegExEngine::AppendCount(int32_t v) {
    if (IsSizing()) {
        regsize += 2;
        return;
    }
    EnsureRoom(2);
    WriteInt(regcode, v);
    regcode += 2;
}

void TRegExEngine::InsertNodeBefore(int op, char16_t* operand, int sz) {
    if (IsSizing()) {
        regsize += sz;
        return;
    }
    EnsureRoom(sz);
    std::memmove(operand + sz, operand, (regcode - operand) * sizeof(char16_t));
    regcode += sz;
    operand[0] = static_cast<char16_t>(op);
    for (int i = 1; i < sz; ++i)
        operand[i] = 0;
}

void TRegExEngine::LinkChainTo(char16_t* p, char16_t* val) {
    if (IsSizing() || p == &regdummy) return;
    char16_t* scan = p;
    for (;;) {
        int32_t off = ReadInt(scan + 1);
        if (off == 0) break;
        scan += off;
    }
    WriteInt(scan + 1, static_cast<int32_t>(val - scan));
}

void TRegExEngine::LinkAlternativeTo(char16_t* p, char16_t* val) {
    if (IsSizing() || p == &regdummy || *p != OP_BRANCH) return;
    LinkChainTo(p + NODE_SIZE, val);
}

char16_t* TRegExEngine::ParseAlternation(int paren, int& outFlags) {
    const int savedModifiers = fCompModifiers;
    outFlags = FLAG_HAS_WIDTH;
    char16_t* ret = nullptr;
    int parno = 0;
    if (paren) {
        if (regnpar >= GroupCount) Fail(102);
        parno = regnpar++;
        ret = AppendNode(OP_OPEN + parno);
    }
    int flags = 0;
    char16_t* br = ParseSequence(flags);
    if (ret)
        LinkChainTo(ret, br);
    else
        ret = br;
    if (!(flags & FLAG_HAS_WIDTH)) outFlags &= ~FLAG_HAS_WIDTH;
    outFlags |= flags & FLAG_STARTS_WITH_REPEAT;
    while (*regparse == '|') {
        ++regparse;
        br = ParseSequence(flags);
        LinkChainTo(ret, br);
        if (!(flags & FLAG_HAS_WIDTH)) outFlags &= ~FLAG_HAS_WIDTH;
        outFlags |= flags & FLAG_STARTS_WITH_REPEAT;
    }
    char16_t* closer = AppendNode(paren ? OP_CLOSE + parno : OP_END);
    LinkChainTo(ret, closer);
    if (!IsSizing()) {
        for (char16_t* b = ret; b; b = const_cast<char16_t*>(NextNode(b)))
            LinkAlternativeTo(b, closer);
    }
    if (paren) {
        if (*regparse != ')') Fail(103);
        ++regparse;
    } else if (*regparse != 0) {
        Fail(*regparse == ')' ? 104 : 105);
    }
    fCompModifiers = savedModifiers;
    return ret;
}

char16_t* TRegExEngine::ParseSequence(int& outFlags) {
    outFlags = 0;
    char16_t* ret = AppendNode(OP_BRANCH);
    char16_t* chain = nullptr;
    while (*regparse != 0 && *regparse != '|' && *regparse != ')') {
        int flags = 0;
        char16_t* latest = ParseQuantified(flags);
        outFlags |= flags & FLAG_HAS_WIDTH;
        if (!chain)
            outFlags |= flags & FLAG_STARTS_WITH_REPEAT;
        else
            LinkChainTo(chain, latest);
        chain = latest;
    }
    if (!chain) AppendNode(OP_NOTHING);
    return ret;
}

void TRegExEngine::BuildCountedLoop(char16_t* ret, int32_t AMin, int32_t AMax, bool ANonGreedy) {
    InsertNodeBefore(OP_LOOPENTRY, ret, NODE_SIZE);
    char16_t* loop = AppendNode(ANonGreedy ? OP_LOOPNG : OP_LOOP);
    AppendCount(AMin);
    AppendCount(AMax);
    AppendCount(IsSizing() ? 0 : static_cast<int32_t>((ret + NODE_SIZE) - loop));
    LinkChainTo(ret, loop);
    if (!IsSizing()) LinkChainTo(ret + NODE_SIZE, loop);
}

char16_t* TRegExEngine::ParseQuantified(int& outFlags) {
    int flags = 0;
    char16_t* ret = ParseSingle(flags);
    char16_t op = *regparse;
    if (!IsQuantifier(op)) {
        outFlags = flags;
        return ret;
    }
    if (!(flags & FLAG_HAS_WIDTH) && op != '?') Fail(106);
    const bool simple = (flags & FLAG_SIMPLE) != 0;
    bool nonGreedyOp = false;
    switch (op) {
    case '*': {
        outFlags = FLAG_STARTS_WITH_REPEAT;
        nonGreedyOp = regparse[1] == '?';
        bool nonGreedy = nonGreedyOp || !(fCompModifiers & MOD_G);
        if (simple) {
            InsertNodeBefore(nonGreedy ? OP_STARNG : OP_STAR, ret, NODE_SIZE);
        } else if (nonGreedy) {
            BuildCountedLoop(ret, 0, BRACE_MAX, true);
        } else {
            // x* as (x&|), with the & looping back to the branch
            InsertNodeBefore(OP_BRANCH, ret, NODE_SIZE);
            LinkAlternativeTo(ret, AppendNode(OP_BACK));
            LinkAlternativeTo(ret, ret);
            LinkChainTo(ret, AppendNode(OP_BRANCH));
            LinkChainTo(ret, AppendNode(OP_NOTHING));
        }
        break;
    }
    case '+': {
        outFlags = FLAG_HAS_WIDTH | FLAG_STARTS_WITH_REPEAT;
        nonGreedyOp = regparse[1] == '?';
        bool nonGreedy = nonGreedyOp || !(fCompModifiers & MOD_G);
        if (simple) {
            InsertNodeBefore(nonGreedy ? OP_PLUSNG : OP_PLUS, ret, NODE_SIZE);
        } else if (nonGreedy) {
            BuildCountedLoop(ret, 1, BRACE_MAX, true);
        } else {
            // x+ as x(&|), with the & looping back to x
            char16_t* next = AppendNode(OP_BRANCH);
            LinkChainTo(ret, next);
            LinkChainTo(AppendNode(OP_BACK), ret);
            LinkChainTo(next, AppendNode(OP_BRANCH));
            LinkChainTo(ret, AppendNode(OP_NOTHING));
        }
        break;
    }
    case '?': {
        outFlags = 0;
        nonGreedyOp = regparse[1] == '?';
        bool nonGreedy = nonGreedyOp || !(fCompModifiers & MOD_G);
        if (nonGreedy) {
            if (simple) {
                InsertNodeBefore(OP_BRACESNG, ret, NODE_SIZE + 4);
                if (!IsSizing()) {
                    WriteInt(ret + NODE_SIZE, 0);
                    WriteInt(ret + NODE_SIZE + 2, 1);
                }
            } else {
                BuildCountedLoop(ret, 0, 1, true);
            }
        } else {
            // x? as (x|)
            InsertNodeBefore(OP_BRANCH, ret, NODE_SIZE);
            LinkChainTo(ret, AppendNode(OP_BRANCH));
            char16_t* next = AppendNode(OP_NOTHING);
            LinkChainTo(ret, next);
            LinkAlternativeTo(ret, next);
        }
        break;
    }
    case '{': {
        const char16_t* p = regparse + 1;
        const char16_t* digits = p;
        while (*p >= '0' && *p <= '9')
            ++p;
        if (p == digits || (*p != '}' && *p != ',')) {
            outFlags = flags;
            return ret;
        }
        auto number = [&](const char16_t* b, const char16_t* e) {
            if (e - b > 8) {
                regparse = b;
                Fail(122);
            }
            int32_t v = 0;
            for (; b < e; ++b)
                v = v * 10 + (*b - '0');
            return v;
        };
        const char16_t* minEnd = p;
        int32_t bmin = 0, bmax = 0;
        if (*p == ',') {
            ++p;
            const char16_t* maxDigits = p;
            while (*p >= '0' && *p <= '9')
                ++p;
            if (*p != '}') {
                outFlags = flags;
                return ret;
            }
            bmin = number(digits, minEnd);
            bmax = p == maxDigits ? BRACE_MAX : number(maxDigits, p);
        } else {
            bmin = number(digits, minEnd);
            bmax = bmin;
        }
        regparse = p; // at the closing brace
        if (bmin > bmax) Fail(124);
        outFlags = bmax > 0 ? FLAG_HAS_WIDTH | FLAG_STARTS_WITH_REPEAT : 0;
        nonGreedyOp = regparse[1] == '?';
        bool nonGreedy = nonGreedyOp || !(fCompModifiers & MOD_G);
        if (simple) {
            InsertNodeBefore(nonGreedy ? OP_BRACESNG : OP_BRACES, ret, NODE_SIZE + 4);
            if (!IsSizing()) {
                WriteInt(ret + NODE_SIZE, bmin);
                WriteInt(ret + NODE_SIZE + 2, bmax);
            }
        } else {
            BuildCountedLoop(ret, bmin, bmax, nonGreedy);
        }
        break;
    }
    }
    ++regparse;
    if (nonGreedyOp) ++regparse;
    if (IsQuantifier(*regparse)) Fail(107);
    return ret;
}

char16_t TRegExEngine::ReadEscapedUnit() {
    switch (*regparse) {
    case 'a':
        return 7;
    case 'e':
        return 27;
    case 'f':
        return 12;
    case 'n':
        return 10;
    case 'r':
        return 13;
    case 't':
        return 9;
    case 'x': {
        ++regparse;
        if (*regparse == 0) Fail(111);
        if (*regparse == '{') {
            int value = 0, count = 0;
            for (;;) {
                ++regparse;
                char16_t c = *regparse;
                if (c == '}') break;
                if (c == 0) Fail(111);
                int d = HexDigit(c);
                if (d < 0) Fail(108);
                if (++count > 4) Fail(112);
                value = value * 16 + d;
            }
            return static_cast<char16_t>(value);
        }
        int d1 = HexDigit(*regparse);
        if (d1 < 0) Fail(108);
        ++regparse;
        if (*regparse == 0) Fail(111);
        int d2 = HexDigit(*regparse);
        if (d2 < 0) Fail(108);
        return static_cast<char16_t>(d1 * 16 + d2);
    }
    default:
        return *regparse;
    }
}

char16_t* TRegExEngine::ParseSingle(int& outFlags) {
    outFlags = 0;
    const bool ci = (fCompModifiers & MOD_I) != 0;
    const bool multiLine =
        (fCompModifiers & MOD_M) && (!fLineSeparators.empty() || fLinePairedSeparatorAssigned);
    const bool extended = (fCompModifiers & MOD_X) != 0;
    char16_t* ret = nullptr;
    char16_t c = *regparse;

    if (extended && (c == '#' || IsExtendedSpace(c))) {
        if (c == '#') {
            while (*regparse && *regparse != '\r' && *regparse != '\n')
                ++regparse;
            while (*regparse == '\r' || *regparse == '\n')
                ++regparse;
        } else {
            while (IsExtendedSpace(*regparse))
                ++regparse;
        }
        return AppendNode(OP_COMMENT);
    }

    switch (c) {
    case 0:
    case '|':
    case ')':
        Fail(114);
        break;
    case '^':
        ++regparse;
        return AppendNode(multiLine ? OP_BOLML : OP_BOL);
    case '$':
        ++regparse;
        return AppendNode(multiLine ? OP_EOLML : OP_EOL);
    case '.':
        ++regparse;
        if (fCompModifiers & MOD_S) {
            outFlags = FLAG_HAS_WIDTH | FLAG_SIMPLE;
            return AppendNode(OP_ANY);
        }
        outFlags = FLAG_HAS_WIDTH;
        return AppendNode(OP_ANYML);
    case '[': {
        ++regparse;
        if (*regparse == '^') {
            ret = AppendNode(ci ? OP_ANYBUTCI : OP_ANYBUT);
            ++regparse;
        } else {
            ret = AppendNode(ci ? OP_ANYOFCI : OP_ANYOF);
        }
        char16_t* const countAt = regcode;
        AppendCount(0);
        bool canBeRange = false;
        char16_t rangeBeg = 0;
        if (*regparse == ']') {
            AppendUnit(']');
            rangeBeg = ']';
            canBeRange = true;
            ++regparse;
        }
        while (*regparse != 0 && *regparse != ']') {
            if (*regparse == '-' && canBeRange && regparse[1] != 0 && regparse[1] != ']') {
                if (regparse[1] == '\\' &&
                    std::u16string_view(u"dDsSwW").find(regparse[2]) != std::u16string_view::npos &&
                    regparse[2] != 0) {
                    // "-" before a class escape is a member itself
                    AppendUnit('-');
                    ++regparse;
                    canBeRange = false;
                    continue;
                }
                ++regparse;
                char16_t rangeEnd;
                if (*regparse == '\\') {
                    ++regparse;
                    if (*regparse == 0) Fail(110);
                    rangeEnd = ReadEscapedUnit();
                } else {
                    rangeEnd = *regparse;
                }
                const bool russian = (fCompModifiers & MOD_R) != 0;
                if (russian && rangeBeg == 0x430 && rangeEnd == 0x44F) {
                    for (char16_t u = 0x431; u <= 0x44F; ++u)
                        AppendUnit(u);
                    AppendUnit(0x451);
                } else if (russian && rangeBeg == 0x410 && rangeEnd == 0x42F) {
                    for (char16_t u = 0x411; u <= 0x42F; ++u)
                        AppendUnit(u);
                    AppendUnit(0x401);
                } else if (russian && rangeBeg == 0x430 && rangeEnd == 0x42F) {
                    for (char16_t u = 0x431; u <= 0x44F; ++u)
                        AppendUnit(u);
                    AppendUnit(0x451);
                    for (char16_t u = 0x410; u <= 0x42F; ++u)
                        AppendUnit(u);
                    AppendUnit(0x401);
                } else {
                    if (rangeEnd < rangeBeg) Fail(109);
                    for (int u = rangeBeg + 1; u <= rangeEnd; ++u)
                        AppendUnit(static_cast<char16_t>(u));
                }
                ++regparse;
                canBeRange = false;
                continue;
            }
            if (*regparse == '\\') {
                ++regparse;
                if (*regparse == 0) Fail(110);
                if (*regparse == 'd') {
                    for (char16_t u = '0'; u <= '9'; ++u)
                        AppendUnit(u);
                    canBeRange = false;
                } else if (*regparse == 's') {
                    for (char16_t u : fSpaceChars)
                        AppendUnit(u);
                    canBeRange = false;
                } else if (*regparse == 'w') {
                    for (char16_t u : fWordChars)
                        AppendUnit(u);
                    canBeRange = false;
                } else {
                    rangeBeg = ReadEscapedUnit();
                    AppendUnit(rangeBeg);
                    canBeRange = true;
                }
            } else {
                rangeBeg = *regparse;
                AppendUnit(rangeBeg);
                canBeRange = true;
            }
            ++regparse;
        }
        if (!IsSizing())
            WriteInt(countAt, static_cast<int32_t>(regcode - (countAt + CLASS_COUNT_SIZE)));
        if (*regparse != ']') Fail(113);
        ++regparse;
        outFlags = FLAG_HAS_WIDTH | FLAG_SIMPLE;
        return ret;
    }
    case '(': {
        if (regparse[1] == '?') {
            if (regparse[2] == '#') {
                const char16_t* p = regparse + 3;
                while (*p && *p != ')')
                    ++p;
                if (*p == 0) {
                    regparse = p;
                    Fail(125);
                }
                regparse = p + 1;
                return AppendNode(OP_COMMENT);
            }
            const char16_t* p = regparse + 2;
            while (*p && *p != ')')
                ++p;
            int mods = fCompModifiers;
            if (*p == 0 || !ApplyModifierLetters(regparse + 2, p, mods)) {
                regparse += 2;
                Fail(127);
            }
            fCompModifiers = mods;
            regparse = p + 1;
            return AppendNode(OP_COMMENT);
        }
        ++regparse;
        int flags = 0;
        ret = ParseAlternation(1, flags);
        outFlags = flags & (FLAG_HAS_WIDTH | FLAG_STARTS_WITH_REPEAT);
        return ret;
    }
    case '*':
    case '+':
    case '?':
        Fail(115);
        break;
    case '\\': {
        ++regparse;
        char16_t e = *regparse;
        if (e == 0) Fail(116);
        switch (e) {
        case 'd':
            ret = AppendNode(OP_ANYDIGIT);
            outFlags = FLAG_HAS_WIDTH | FLAG_SIMPLE;
            break;
        case 'D':
            ret = AppendNode(OP_NOTDIGIT);
            outFlags = FLAG_HAS_WIDTH | FLAG_SIMPLE;
            break;
        case 'w':
            ret = AppendNode(OP_ANYLETTER);
            outFlags = FLAG_HAS_WIDTH | FLAG_SIMPLE;
            break;
        case 'W':
            ret = AppendNode(OP_NOTLETTER);
            outFlags = FLAG_HAS_WIDTH | FLAG_SIMPLE;
            break;
        case 's':
            ret = AppendNode(OP_ANYSPACE);
            outFlags = FLAG_HAS_WIDTH | FLAG_SIMPLE;
            break;
        case 'S':
            ret = AppendNode(OP_NOTSPACE);
            outFlags = FLAG_HAS_WIDTH | FLAG_SIMPLE;
            break;
        case 'A':
            ret = AppendNode(OP_BOL);
            break;
        case 'Z':
            ret = AppendNode(OP_EOL);
            break;
        case 'b':
            ret = AppendNode(OP_BOUND);
            break;
        case 'B':
            ret = AppendNode(OP_NOTBOUND);
            break;
        default:
            if (e >= '1' && e <= '9') {
                ret = AppendNode(ci ? OP_BSUBEXPCI : OP_BSUBEXP);
                AppendUnit(static_cast<char16_t>(e - '0'));
            } else if (const char16_t unit = ReadEscapedUnit(); unit == 0) {
                // U+0000 ends every text, so it can never be matched; a
                // literal could not even hold it. An empty set says so.
                ret = AppendNode(OP_ANYOF);
                AppendCount(0);
            } else {
                ret = AppendNode(ci ? OP_EXACTLYCI : OP_EXACTLY);
                AppendUnit(unit);
                AppendUnit(0);
            }
            outFlags = FLAG_HAS_WIDTH | FLAG_SIMPLE;
            break;
        }
        ++regparse;
        return ret;
    }
    default: {
        // A run of literal units up to the next metacharacter.
        const char16_t* p = regparse;
        if (*p == '{') ++p;
        while (*p && !IsMeta(*p) && !(extended && *p == '#'))
            ++p;
        int len = static_cast<int>(p - regparse);
        if (len <= 0) Fail(119);
        if (len > 1 && IsQuantifier(*p)) --len; // the quantifier takes the last unit
        outFlags = FLAG_HAS_WIDTH | (len == 1 ? FLAG_SIMPLE : 0);
        ret = AppendNode(ci ? OP_EXACTLYCI : OP_EXACTLY);
        for (int i = 0; i < len; ++i) {
            if (extended && IsExtendedSpace(regparse[i])) continue;
            AppendUnit(regparse[i]);
        }
        AppendUnit(0);
        regparse += len;
        return ret;
    }
    }
    return ret;
}

// ---------------------------------------------------------------------------
// Side tables

void TRegExEngine::AddToSet(std::vector<uint64_t>& ASet, char16_t Ch) {
    ASet[Ch >> 6] |= uint64_t(1) << (Ch & 63);
}

bool TRegExEngine::BuildFirstSet(const char16_t* scan, int ADepth, std::vector<uint64_t>& ASet) {
    while (scan) {
        if (ADepth > 64) return false;
        const char16_t op = *scan;
        const char16_t* next = NextNode(scan);
        switch (op) {
        case OP_BOL:
        case OP_EOL:
        case OP_BOLML:
        case OP_EOLML:
        case OP_BOUND:
        case OP_NOTBOUND:
        case OP_NOTHING:
        case OP_COMMENT:
            scan = next;
            continue;
        case OP_EXACTLY:
            if (scan[NODE_SIZE] == 0) return false;
            AddToSet(ASet, scan[NODE_SIZE]);
            return true;
        case OP_EXACTLYCI:
            if (scan[NODE_SIZE] == 0 || !fDefaultInvertCase) return false;
            AddToSet(ASet, scan[NODE_SIZE]);
            AddToSet(ASet, InvertCaseOf(scan[NODE_SIZE]));
            return true;
        case OP_ANYOF: {
            const char16_t* m = ClassUnits(scan);
            for (int32_t i = 0, n = ClassSize(scan); i < n; ++i)
                AddToSet(ASet, m[i]);
            return true;
        }
        case OP_ANYDIGIT:
            for (char16_t u = '0'; u <= '9'; ++u)
                AddToSet(ASet, u);
            return true;
        case OP_ANYLETTER:
            for (char16_t u : fWordChars)
                AddToSet(ASet, u);
            return true;
        case OP_ANYSPACE:
            for (char16_t u : fSpaceChars)
                AddToSet(ASet, u);
            return true;
        case OP_BRANCH:
            if (!next || *next != OP_BRANCH) {
                scan += NODE_SIZE;
                continue;
            }
            for (const char16_t* b = scan; b && *b == OP_BRANCH; b = NextNode(b))
                if (!BuildFirstSet(b + NODE_SIZE, ADepth + 1, ASet)) return false;
            return true;
        case OP_STAR:
        case OP_STARNG:
            if (!BuildFirstSet(scan + NODE_SIZE, ADepth + 1, ASet)) return false;
            scan = next;
            continue;
        case OP_PLUS:
        case OP_PLUSNG:
            return BuildFirstSet(scan + NODE_SIZE, ADepth + 1, ASet);
        case OP_BRACES:
        case OP_BRACESNG:
            if (!BuildFirstSet(scan + NODE_SIZE + 4, ADepth + 1, ASet)) return false;
            if (ReadInt(scan + NODE_SIZE) > 0) return true;
            scan = next;
            continue;
        default:
            if (op > OP_OPEN && op < OP_OPEN + GroupCount) {
                scan = next;
                continue;
            }
            if (op > OP_CLOSE && op < OP_CLOSE + GroupCount) {
                scan = next;
                continue;
            }
            return false;
        }
    }
    return false;
}

void TRegExEngine::AnalyseProgram() {
    fSideTablesStale = false;
    const char16_t* prog = programm.get();
    fClassIndex.assign(regsize, -1);
    fClassBits.clear();
    fLoopBranch.assign(regsize, 0);
    fLoopEntry.assign(regsize, nullptr);
    fLoopBranchNodes.clear();
    fPossessive.assign(regsize, 0);
    fLeadingRun = nullptr;
    std::vector<uint64_t> members(65536 / 64);
    std::vector<int> repeats;
    bool backReferences = false;

    // Walk the nodes in storage order.
    const char16_t* s = prog + 1;
    const char16_t* end = prog + regsize;
    while (s < end) {
        const char16_t op = *s;
        const int at = static_cast<int>(s - prog);
        const char16_t* operand = s + NODE_SIZE;
        switch (op) {
        case OP_ANYOF:
        case OP_ANYBUT:
        case OP_ANYOFCI:
        case OP_ANYBUTCI: {
            const bool ci = op == OP_ANYOFCI || op == OP_ANYBUTCI;
            if (!ci || fDefaultInvertCase) {
                // Members as a set of all units, then the first 256 units looked up
                // directly and, case-insensitively, by their inversion.
                std::fill(members.begin(), members.end(), 0);
                const char16_t* m = ClassUnits(s);
                for (int32_t i = 0, n = ClassSize(s); i < n; ++i)
                    AddToSet(members, m[i]);
                auto isMember = [&](char16_t u) { return (members[u >> 6] >> (u & 63)) & 1; };
                std::array<uint64_t, 4> bits{};
                for (int u = 0; u < 256; ++u) {
                    const char16_t c = static_cast<char16_t>(u);
                    if (isMember(c) || (ci && isMember(InvertCaseOf(c))))
                        bits[u >> 6] |= uint64_t(1) << (u & 63);
                }
                fClassIndex[at] = static_cast<int32_t>(fClassBits.size());
                fClassBits.push_back(bits);
            }
            s = ClassUnits(s) + ClassSize(s);
            break;
        }
        case OP_EXACTLY:
        case OP_EXACTLYCI:
            s = operand + StrLen(operand) + 1;
            break;
        case OP_BRACES:
        case OP_BRACESNG:
            repeats.push_back(at);
            s = operand + 4;
            break;
        case OP_STAR:
        case OP_PLUS:
        case OP_STARNG:
        case OP_PLUSNG:
            repeats.push_back(at);
            s = operand;
            break;
        case OP_LOOP:
        case OP_LOOPNG:
            s = operand + 6;
            break;
        case OP_BSUBEXP:
        case OP_BSUBEXPCI:
            backReferences = true;
            s = operand + 1;
            break;
        case OP_ANYOFTINYSET:
        case OP_ANYBUTTINYSET:
            s = operand + 3;
            break;
        case OP_BACK: {
            // A branch that loops back through this node must not be entered
            // again at the same position by its own loop.
            const char16_t* target = NextNode(s);
            if (target && *target == OP_BRANCH && !fLoopBranch[target - prog]) {
                fLoopBranch[target - prog] = 1;
                fLoopBranchNodes.push_back(static_cast<int>(target - prog));
            }
            s = operand;
            break;
        }
        case OP_BRANCH:
            if (*operand == OP_BACK && !fLoopBranch[at]) {
                fLoopBranch[at] = 1;
                fLoopBranchNodes.push_back(at);
            }
            s = operand;
            break;
        case OP_END:
            s = end;
            break;
        default:
            s = operand;
            break;
        }
    }

    // Repeats of single units whose successor cannot begin inside their run
    // (the class tables above are needed to tell).
    for (int at : repeats) {
        const char16_t* node = prog + at;
        const char16_t* operand =
            node + NODE_SIZE + (*node == OP_BRACES || *node == OP_BRACESNG ? 4 : 0);
        if (*operand == OP_BSUBEXP || *operand == OP_BSUBEXPCI) continue;
        fPossessive[at] = SuccessorAvoidsOperand(NextNode(node), operand);
    }
    {
        const char16_t* top = prog + 1;
        const char16_t* after = NextNode(top);
        if (!backReferences && *top == OP_BRANCH && after && *after == OP_END) {
            // Past group openings and the single alternatives they hold.
            const char16_t* first = top + NODE_SIZE;
            while (first) {
                if (*first > OP_OPEN && *first < OP_OPEN + GroupCount) {
                    first = NextNode(first);
                } else if (*first == OP_BRANCH &&
                           (!NextNode(first) || *NextNode(first) != OP_BRANCH)) {
                    first += NODE_SIZE;
                } else {
                    break;
                }
            }
            const bool unbounded = first && (*first == OP_STAR || *first == OP_PLUS ||
                                             *first == OP_STARNG || *first == OP_PLUSNG ||
                                             ((*first == OP_BRACES || *first == OP_BRACESNG) &&
                                              ReadInt(first + NODE_SIZE + 2) == BRACE_MAX));
            if (unbounded && fPossessive[first - prog])
                fLeadingRun =
                    first + NODE_SIZE + (*first == OP_BRACES || *first == OP_BRACESNG ? 4 : 0);
        }
    }

    fFirstSetValid = false;
    fFirstUnitCount = 0;
    fFirstRangeCount = 0;
    fFirstSet.clear();
    if (!reganch && !regstart) {
        std::vector<uint64_t> set(65536 / 64, 0);
        if (BuildFirstSet(prog + 1, 0, set)) {
            set[0] &= ~uint64_t(1); // the terminating NUL never starts a match
            // One or two possible first units are searched for directly.
            int count = 0;
            for (int w = 0; w < 65536 / 64 && count <= 2; ++w) {
                for (uint64_t bits = set[w]; bits && count <= 2; bits &= bits - 1) {
                    if (count < 2)
                        fFirstUnits[count] = static_cast<char16_t>(w * 64 + __builtin_ctzll(bits));
                    ++count;
                }
            }
            if (count == 1) fFirstUnits[1] = fFirstUnits[0];
            fFirstUnitCount = count <= 2 ? count : 0;
            // A few ranges of units are searched for together.
            int ranges = 0;
            for (int u = 1; u < 65536 && ranges <= 4;) {
                if (!((set[u >> 6] >> (u & 63)) & 1)) {
                    ++u;
                    continue;
                }
                int v = u;
                while (v + 1 < 65536 && ((set[(v + 1) >> 6] >> ((v + 1) & 63)) & 1))
                    ++v;
                if (ranges < 4) {
                    fFirstRangeLo[ranges] = static_cast<char16_t>(u);
                    fFirstRangeHi[ranges] = static_cast<char16_t>(v);
                }
                ++ranges;
                u = v + 1;
            }
            fFirstRangeCount = ranges <= 4 ? ranges : 0;
            fFirstSet = std::move(set);
            fFirstSetValid = true;
        }
    }
}

bool TRegExEngine::SuccessorAvoidsOperand(const char16_t* next, const char16_t* operand) {
    if (!next) return false;
    std::vector<uint64_t> set(65536 / 64, 0);
    if (!BuildFirstSet(next, 0, set)) return false;
    // Each unit the successor may begin with is tried against the operand;
    // a large set is not worth the look.
    int looked = 0;
    for (int w = 0; w < 65536 / 64; ++w) {
        for (uint64_t bits = set[w]; bits; bits &= bits - 1) {
            if (++looked > 512) return false;
            const char16_t u = static_cast<char16_t>(w * 64 + __builtin_ctzll(bits));
            if (UnitPasses(operand, u)) return false;
        }
    }
    return true;
}

bool TRegExEngine::MakeProgramReady() {
    if (fModifiers != fProgModifiers) DiscardProgram();
    // The automatic compile is the compile step itself: no pattern is error
    // 100 there, not the 1003 of an explicit Compile.
    if (!programm) CompileProgram(fHasExpression ? fExpression.c_str() : nullptr);
    if (!programm) return false;
    if (programm[0] != PROGRAM_MARK) Fail(1004);
    if (fSideTablesStale) AnalyseProgram();
    return true;
}

// ---------------------------------------------------------------------------
// Matcher

const char16_t* TRegExEngine::NextNode(const char16_t* p) {
    int32_t off = ReadInt(p + 1);
    return off ? p + off : nullptr;
}

bool TRegExEngine::InClassSet(const char16_t* p, char16_t Ch) const {
    const int idx = fClassIndex[p - programm.get()];
    if (Ch < 256 && idx >= 0) return (fClassBits[idx][Ch >> 6] >> (Ch & 63)) & 1;
    const bool ci = *p == OP_ANYOFCI || *p == OP_ANYBUTCI;
    const char16_t inv = ci ? InvertCaseOf(Ch) : Ch;
    const char16_t* m = ClassUnits(p);
    for (int32_t i = 0, n = ClassSize(p); i < n; ++i)
        if (m[i] == Ch || m[i] == inv) return true;
    return false;
}

// The single-unit test of a node; never accepts the terminating NUL.
bool TRegExEngine::UnitPasses(const char16_t* p, char16_t Ch) const {
    switch (*p) {
    case OP_ANY:
        return Ch != 0;
    case OP_EXACTLY:
        return Ch == p[NODE_SIZE];
    case OP_EXACTLYCI:
        return Ch == p[NODE_SIZE] || Ch == InvertCaseOf(p[NODE_SIZE]);
    case OP_ANYDIGIT:
        return Ch >= '0' && Ch <= '9';
    case OP_NOTDIGIT:
        return Ch != 0 && !(Ch >= '0' && Ch <= '9');
    case OP_ANYLETTER:
        return Ch != 0 && IsWordChar(Ch);
    case OP_NOTLETTER:
        return Ch != 0 && !IsWordChar(Ch);
    case OP_ANYSPACE:
        return Ch != 0 && fSpaceSet.Contains(Ch);
    case OP_NOTSPACE:
        return Ch != 0 && !fSpaceSet.Contains(Ch);
    case OP_ANYOF:
    case OP_ANYOFCI:
        return Ch != 0 && InClassSet(p, Ch);
    case OP_ANYBUT:
    case OP_ANYBUTCI:
        return Ch != 0 && !InClassSet(p, Ch);
    case OP_ANYOFTINYSET:
        return Ch != 0 && (Ch == p[NODE_SIZE] || Ch == p[NODE_SIZE + 1] || Ch == p[NODE_SIZE + 2]);
    case OP_ANYBUTTINYSET:
        return Ch != 0 && Ch != p[NODE_SIZE] && Ch != p[NODE_SIZE + 1] && Ch != p[NODE_SIZE + 2];
    default:
        return false;
    }
}

int TRegExEngine::CountRepeats(const char16_t* p, int32_t AMax) {
    const char16_t* scan = reginput;
    int32_t result = 0;
    const char16_t op = *p;
    if (op == OP_BSUBEXP || op == OP_BSUBEXPCI) {
        const int no = p[NODE_SIZE];
        const char16_t* gs = startp[no];
        const char16_t* ge = endp[no];
        if (!gs || !ge || ge <= gs) return 0;
        const ptrdiff_t len = ge - gs;
        while (result < AMax && fInputEnd - scan >= len) {
            ptrdiff_t i = 0;
            for (; i < len; ++i) {
                char16_t g = gs[i];
                if (scan[i] != g && !(op == OP_BSUBEXPCI && scan[i] == InvertCaseOf(g))) break;
            }
            if (i < len) break;
            scan += len;
            ++result;
        }
        reginput = scan;
        return result;
    }
    const ptrdiff_t left = fInputEnd - scan;
    const int32_t limit = left < AMax ? static_cast<int32_t>(left) : AMax;
    switch (op) {
    case OP_ANY:
        result = limit;
        break;
    case OP_EXACTLY: {
        const char16_t ch = p[NODE_SIZE];
        while (result < limit && scan[result] == ch)
            ++result;
        break;
    }
    case OP_EXACTLYCI: {
        const char16_t ch = p[NODE_SIZE];
        const char16_t inv = InvertCaseOf(ch);
        while (result < limit && (scan[result] == ch || scan[result] == inv))
            ++result;
        break;
    }
    case OP_ANYDIGIT:
        while (result < limit && scan[result] >= '0' && scan[result] <= '9')
            ++result;
        break;
    case OP_ANYLETTER:
        while (result < limit && IsWordChar(scan[result]))
            ++result;
        break;
    case OP_ANYOF:
    case OP_ANYOFCI: {
        const int idx = fClassIndex[p - programm.get()];
        if (idx >= 0) {
            const auto& bits = fClassBits[idx];
            for (; result < limit; ++result) {
                const char16_t c = scan[result];
                if (c < 256 ? !((bits[c >> 6] >> (c & 63)) & 1) : !InClassSet(p, c)) break;
            }
            break;
        }
        while (result < limit && UnitPasses(p, scan[result]))
            ++result;
        break;
    }
    case OP_NOTDIGIT:
    case OP_NOTLETTER:
    case OP_ANYSPACE:
    case OP_NOTSPACE:
    case OP_ANYBUT:
    case OP_ANYBUTCI:
    case OP_ANYOFTINYSET:
    case OP_ANYBUTTINYSET:
        while (result < limit && UnitPasses(p, scan[result]))
            ++result;
        break;
    default:
        Fail(1000);
    }
    reginput = scan + result;
    return result;
}

bool TRegExEngine::MatchCompactRepeat(const char16_t* scan, const char16_t* operand, int32_t AMin,
                                      int32_t AMax, bool AGreedy, const char16_t* next) {
    if (!next) Fail(1002);
    // The unit the successor must begin with, when it is a plain literal
    // (group markers before it take no text).
    char16_t lookAhead = 0;
    const char16_t* literal = next;
    while ((*literal > OP_OPEN && *literal < OP_OPEN + GroupCount) ||
           (*literal > OP_CLOSE && *literal < OP_CLOSE + GroupCount)) {
        literal = NextNode(literal);
        if (!literal) break;
    }
    if (literal && *literal == OP_EXACTLY) lookAhead = literal[NODE_SIZE];
    const char16_t* start = reginput;
    if (fPossessive[scan - programm.get()]) {
        // The successor cannot begin inside the run: only its end is tried.
        const int32_t n = CountRepeats(operand, AMax);
        if (n < AMin) return false;
        const char16_t* pos = start + n;
        if (lookAhead != 0 && *pos != lookAhead) return false;
        reginput = pos;
        return RunFrom(next);
    }
    ptrdiff_t step = 1;
    if (*operand == OP_BSUBEXP || *operand == OP_BSUBEXPCI) {
        const int no = operand[NODE_SIZE];
        if (startp[no] && endp[no] && endp[no] == startp[no]) {
            // Repetitions of an empty capture all end where they start.
            reginput = start;
            return (lookAhead == 0 || *start == lookAhead) && RunFrom(next);
        }
        step = startp[no] && endp[no] && endp[no] > startp[no] ? endp[no] - startp[no] : 1;
    }
    if (AGreedy) {
        int32_t no = CountRepeats(operand, AMax);
        for (int32_t n = no; n >= AMin; --n) {
            const char16_t* pos = start + n * step;
            if (lookAhead == 0 || *pos == lookAhead) {
                reginput = pos;
                if (RunFrom(next)) return true;
            }
        }
        return false;
    }
    int32_t n = AMin > 0 ? CountRepeats(operand, AMin) : 0;
    if (n < AMin) return false;
    for (;;) {
        const char16_t* pos = start + n * step;
        if (lookAhead == 0 || *pos == lookAhead) {
            reginput = pos;
            if (RunFrom(next)) return true;
        }
        if (n >= AMax) return false;
        reginput = pos;
        if (CountRepeats(operand, 1) != 1) return false;
        ++n;
    }
}

bool TRegExEngine::RunFrom(const char16_t* prog) {
    if (fStackBase - reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) > STACK_BUDGET)
        Fail(ERR_RECURSION);
    const char16_t* scan = prog;
    while (scan) {
        const char16_t* next = NextNode(scan);
        const char16_t op = *scan;
        switch (op) {
        case OP_BOL:
            if (reginput != fInputStart) return false;
            break;
        case OP_EOL:
            if (*reginput != 0) return false;
            break;
        case OP_BOLML:
            if (reginput != fInputStart) {
                const char16_t c = reginput[-1];
                if (fLinePairedSeparatorAssigned && c == fLinePairedSeparatorTail &&
                    reginput - 1 > fInputStart && reginput[-2] == fLinePairedSeparatorHead) {
                    // just after a paired separator
                } else if (fLinePairedSeparatorAssigned && c == fLinePairedSeparatorHead &&
                           *reginput == fLinePairedSeparatorTail) {
                    return false;
                } else if (!IsLineSeparator(c)) {
                    return false;
                }
            }
            break;
        case OP_EOLML:
            if (*reginput != 0) {
                const char16_t c = *reginput;
                if (fLinePairedSeparatorAssigned && c == fLinePairedSeparatorHead &&
                    reginput[1] == fLinePairedSeparatorTail) {
                    // just before a paired separator
                } else if (fLinePairedSeparatorAssigned && c == fLinePairedSeparatorTail &&
                           reginput > fInputStart && reginput[-1] == fLinePairedSeparatorHead) {
                    return false;
                } else if (!IsLineSeparator(c)) {
                    return false;
                }
            }
            break;
        case OP_BOUND:
        case OP_NOTBOUND: {
            const bool before = reginput > fInputStart && IsWordChar(reginput[-1]);
            const bool after = *reginput != 0 && IsWordChar(*reginput);
            if ((before != after) != (op == OP_BOUND)) return false;
            break;
        }
        case OP_ANY:
            if (*reginput == 0) return false;
            ++reginput;
            break;
        case OP_ANYML: {
            const char16_t c = *reginput;
            if (c == 0 || IsLineSeparator(c) ||
                (fLinePairedSeparatorAssigned && c == fLinePairedSeparatorHead &&
                 reginput[1] == fLinePairedSeparatorTail))
                return false;
            ++reginput;
            break;
        }
        case OP_EXACTLY: {
            const char16_t* operand = scan + NODE_SIZE;
            if (*operand != *reginput) return false;
            const char16_t* in = reginput + 1;
            for (++operand; *operand; ++operand, ++in)
                if (*operand != *in) return false;
            reginput = in;
            break;
        }
        case OP_EXACTLYCI: {
            const char16_t* operand = scan + NODE_SIZE;
            const char16_t* in = reginput;
            for (; *operand; ++operand, ++in)
                if (*in != *operand && *in != InvertCaseOf(*operand)) return false;
            reginput = in;
            break;
        }
        case OP_ANYDIGIT:
        case OP_NOTDIGIT:
        case OP_ANYLETTER:
        case OP_NOTLETTER:
        case OP_ANYSPACE:
        case OP_NOTSPACE:
        case OP_ANYOF:
        case OP_ANYBUT:
        case OP_ANYOFCI:
        case OP_ANYBUTCI:
        case OP_ANYOFTINYSET:
        case OP_ANYBUTTINYSET:
            if (!UnitPasses(scan, *reginput)) return false;
            ++reginput;
            break;
        case OP_NOTHING:
        case OP_COMMENT:
        case OP_BACK:
            break;
        case OP_BSUBEXP:
        case OP_BSUBEXPCI: {
            const int no = scan[NODE_SIZE];
            const char16_t* gs = startp[no];
            const char16_t* ge = endp[no];
            if (!gs || !ge || ge < gs) return false;
            const ptrdiff_t len = ge - gs;
            if (fInputEnd - reginput < len) return false;
            for (ptrdiff_t i = 0; i < len; ++i) {
                const char16_t c = reginput[i];
                if (c != gs[i] && !(op == OP_BSUBEXPCI && c == InvertCaseOf(gs[i]))) return false;
            }
            reginput += len;
            break;
        }
        case OP_BRANCH: {
            if (!next || *next != OP_BRANCH) {
                next = scan + NODE_SIZE; // only one alternative: no choice to make
                break;
            }
            const int at = static_cast<int>(scan - programm.get());
            const char16_t* entered = nullptr;
            if (fLoopBranch[at]) {
                // A loop that comes back here without consuming anything ends.
                if (fLoopEntry[at] == reginput) return false;
                entered = fLoopEntry[at];
                fLoopEntry[at] = reginput;
            }
            const char16_t* save = reginput;
            for (const char16_t* b = scan; b && *b == OP_BRANCH; b = NextNode(b)) {
                if (RunFrom(b + NODE_SIZE)) return true;
                reginput = save;
            }
            if (fLoopBranch[at]) fLoopEntry[at] = entered;
            return false;
        }
        case OP_STAR:
            return MatchCompactRepeat(scan, scan + NODE_SIZE, 0, REPEAT_MAX, true, next);
        case OP_PLUS:
            return MatchCompactRepeat(scan, scan + NODE_SIZE, 1, REPEAT_MAX, true, next);
        case OP_STARNG:
            return MatchCompactRepeat(scan, scan + NODE_SIZE, 0, REPEAT_MAX, false, next);
        case OP_PLUSNG:
            return MatchCompactRepeat(scan, scan + NODE_SIZE, 1, REPEAT_MAX, false, next);
        case OP_BRACES:
        case OP_BRACESNG:
            return MatchCompactRepeat(scan, scan + NODE_SIZE + 4, ReadInt(scan + NODE_SIZE),
                                      ReadInt(scan + NODE_SIZE + 2), op == OP_BRACES, next);
        case OP_LOOPENTRY: {
            const int before = LoopStackIdx;
            if (LoopStackIdx + 1 > MaxOpenLoops) Fail(1014);
            const int idx = ++LoopStackIdx;
            const int oldCounter = LoopStack[idx];
            const char16_t* oldStart = fLoopIterStart[idx];
            const char16_t* save = reginput;
            LoopStack[idx] = 0;
            fLoopIterStart[idx] = nullptr;
            const bool result = RunFrom(next);
            LoopStackIdx = before;
            if (!result) {
                reginput = save;
                LoopStack[idx] = oldCounter;
                fLoopIterStart[idx] = oldStart;
            }
            return result;
        }
        case OP_LOOP:
        case OP_LOOPNG: {
            if (LoopStackIdx <= 0) Fail(1015);
            const int idx = LoopStackIdx;
            const char16_t* body = scan + ReadInt(scan + NODE_SIZE + 4);
            const int32_t bmin = ReadInt(scan + NODE_SIZE);
            const int32_t bmax = ReadInt(scan + NODE_SIZE + 2);
            const int counter = LoopStack[idx];
            const char16_t* iterStart = fLoopIterStart[idx];
            const char16_t* save = reginput;
            // An iteration that consumed nothing ends the loop: more of them
            // would only repeat it.
            const bool emptyIteration = counter > 0 && reginput == iterStart;
            auto iterate = [&]() {
                LoopStack[idx] = counter + 1;
                fLoopIterStart[idx] = reginput;
                const bool ok = RunFrom(body);
                LoopStackIdx = idx;
                if (!ok) {
                    LoopStack[idx] = counter;
                    fLoopIterStart[idx] = iterStart;
                    reginput = save;
                }
                return ok;
            };
            auto leave = [&]() {
                LoopStackIdx = idx - 1;
                if (!next) Fail(1002);
                const bool ok = RunFrom(next);
                if (!ok) {
                    LoopStackIdx = idx;
                    LoopStack[idx] = counter;
                    fLoopIterStart[idx] = iterStart;
                    reginput = save;
                }
                return ok;
            };
            if (counter < bmin && !emptyIteration) return iterate();
            if (op == OP_LOOP) {
                if (counter < bmax && !emptyIteration && iterate()) return true;
                return leave();
            }
            if (leave()) return true;
            return counter < bmax && !emptyIteration && iterate();
        }
        case OP_END:
            return true;
        default:
            if (op > OP_OPEN && op < OP_OPEN + GroupCount) {
                const int no = op - OP_OPEN;
                const char16_t* save = startp[no];
                startp[no] = reginput;
                if (!next) Fail(1002);
                if (RunFrom(next)) return true;
                startp[no] = save;
                return false;
            }
            if (op > OP_CLOSE && op < OP_CLOSE + GroupCount) {
                const int no = op - OP_CLOSE;
                const char16_t* save = endp[no];
                endp[no] = reginput;
                if (!next) Fail(1002);
                if (RunFrom(next)) return true;
                endp[no] = save;
                return false;
            }
            Fail(1001);
        }
        if (!next) Fail(1002);
        scan = next;
    }
    Fail(1002);
    return false;
}

bool TRegExEngine::AttemptAt(const char16_t* APos) {
    reginput = APos;
    if (RunFrom(programm.get() + 1)) {
        startp[0] = APos;
        endp[0] = reginput;
        return true;
    }
    return false;
}

bool TRegExEngine::Exec(const std::u16string& AInputString) {
    SetInputString(AInputString);
    return ExecPos(1);
}

bool TRegExEngine::ExecPos(int AOffset) {
    try {
        // Only the groups a program has are ever set (a new program starts
        // with all of them clear), so only those need clearing.
        const int groups = std::clamp(regnpar, 1, GroupCount);
        ClearPointers(startp, groups);
        ClearPointers(endp, groups);
        if (!MakeProgramReady()) return false;
        if (!fHasInput) Fail(1005);
        if (AOffset < 1) Fail(1006);
        if (AOffset > fInputLength + 1) return false;
        const char16_t* input = fInputString.c_str();
        const char16_t* s = input + (AOffset - 1);
        const char16_t* end = input + fInputLength;

        if (regmust) {
            if (!fMustAt || s < fMustFrom || s > fMustAt) {
                const char16_t first = regmust[0];
                const char16_t* p = s;
                for (;; ++p) {
                    p = FindUnit(p, end, first, first);
                    if (p >= end) break;
                    int i = 1;
                    while (i < regmlen && p[i] == regmust[i])
                        ++i;
                    if (i >= regmlen) break;
                }
                fMustFrom = s;
                fMustAt = p;
            }
            if (fMustAt >= end) return false;
        }

        fInputStart = input;
        fInputEnd = end;
        LoopStackIdx = 0;
        fStackBase = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
        for (int at : fLoopBranchNodes)
            fLoopEntry[at] = nullptr;

        if (reganch) return AttemptAt(s);

        if (regstart) {
            const char16_t first = regstart;
            for (const char16_t* p = s;; ++p) {
                p = FindUnit(p, end, first, first);
                if (p >= end) return false;
                if (AttemptAt(p)) return true;
            }
        }

        if (fFirstUnitCount > 0) {
            for (const char16_t* p = s;; ++p) {
                p = FindUnit(p, end, fFirstUnits[0], fFirstUnits[1]);
                if (p >= end) return false;
                if (AttemptAt(p)) return true;
                p = SkipFailedRun(p);
            }
        }

        if (fFirstRangeCount > 0) {
            TUnitRanges ranges;
            ranges.Count = fFirstRangeCount;
            std::copy(std::begin(fFirstRangeLo), std::end(fFirstRangeLo), ranges.Lo);
            std::copy(std::begin(fFirstRangeHi), std::end(fFirstRangeHi), ranges.Hi);
            for (const char16_t* p = s;; ++p) {
                p = FindInRanges(p, end, ranges);
                if (p >= end) return false;
                if (AttemptAt(p)) return true;
                p = SkipFailedRun(p);
            }
        }

        if (fFirstSetValid) {
            const uint64_t* set = fFirstSet.data();
            for (const char16_t* p = s; p < end; ++p) {
                const char16_t c = *p;
                if (!((set[c >> 6] >> (c & 63)) & 1)) continue;
                if (AttemptAt(p)) return true;
                p = SkipFailedRun(p);
            }
            return false;
        }

        for (const char16_t* p = s; p <= end; ++p) {
            if (AttemptAt(p)) return true;
            if (p < end) p = SkipFailedRun(p);
        }
        return false;
    } catch (const TAbandon&) {
        return false;
    }
}

const char16_t* TRegExEngine::SkipFailedRun(const char16_t* p) {
    if (!fLeadingRun || !UnitPasses(fLeadingRun, *p)) return p;
    // Any start inside the run gives the same run end, and the rest of the
    // pattern meets the same text there.
    reginput = p;
    CountRepeats(fLeadingRun, REPEAT_MAX);
    return reginput - 1;
}

bool TRegExEngine::ExecNext() {
    try {
        if (!startp[0] || !endp[0]) Fail(1007);
        int offset = static_cast<int>(endp[0] - fInputString.c_str()) + 1;
        if (endp[0] == startp[0]) ++offset;
        return ExecPos(offset);
    } catch (const TAbandon&) {
        return false;
    }
}

// ---------------------------------------------------------------------------
// Text operations

std::u16string TRegExEngine::Substitute(const std::u16string& ATemplate) {
    try {
        if (!MakeProgramReady()) return {};
        if (!fHasInput) Fail(1005);
        if (ATemplate.empty()) return {};
        std::u16string result;
        const char16_t* t = ATemplate.c_str();
        const char16_t* e = t + ATemplate.size();
        while (t < e) {
            char16_t c = *t++;
            if (c == '\\') {
                if (t < e)
                    result += *t++;
                else
                    result += c;
                continue;
            }
            if (c != '$') {
                result += c;
                continue;
            }
            // "$" [ "{" ] ( "&" | digits ) [ "}" ]
            const char16_t* p = t;
            const bool braced = p < e && *p == '{';
            if (braced) ++p;
            long group = -1;
            if (p < e && *p == '&') {
                group = 0;
                ++p;
            } else if (p < e && *p >= '0' && *p <= '9') {
                group = 0;
                while (p < e && *p >= '0' && *p <= '9') {
                    if (group < 1000000) group = group * 10 + (*p - '0');
                    ++p;
                }
            } else if (braced) {
                group = 0;
            }
            if (group < 0) {
                result += c;
                continue;
            }
            if (braced) {
                if (p < e && *p == '}') {
                    ++p;
                } else {
                    result += c;
                    continue;
                }
            }
            t = p;
            if (group < GroupCount) result += GroupText(static_cast<int>(group));
        }
        return result;
    } catch (const TAbandon&) {
        return {};
    }
}

void TRegExEngine::Split(const std::u16string& AInputStr, std::vector<std::u16string>& APieces) {
    size_t prev = 0;
    if (Exec(AInputStr)) {
        do {
            const size_t at = static_cast<size_t>(GroupPos(0) - 1);
            APieces.push_back(AInputStr.substr(prev, at - prev));
            prev = at + static_cast<size_t>(GroupLen(0));
        } while (ExecNext());
    }
    APieces.push_back(AInputStr.substr(std::min(prev, AInputStr.size())));
}

std::u16string TRegExEngine::Replace(const std::u16string& AInputStr,
                                     const std::u16string& AReplaceStr, bool AUseSubstitution) {
    return ReplaceEx(AInputStr, [&](TRegExEngine& engine) {
        return AUseSubstitution ? engine.Substitute(AReplaceStr) : AReplaceStr;
    });
}

std::u16string TRegExEngine::ReplaceEx(const std::u16string& AInputStr,
                                       const TRegExEngineReplaceFunction& AReplaceFunc) {
    std::u16string result;
    size_t prev = 0;
    if (Exec(AInputStr)) {
        do {
            const size_t at = static_cast<size_t>(GroupPos(0) - 1);
            result.append(AInputStr, prev, at - prev);
            const size_t after = at + static_cast<size_t>(GroupLen(0));
            result += AReplaceFunc(*this);
            prev = after;
        } while (ExecNext());
    }
    if (prev < AInputStr.size()) result.append(AInputStr, prev, std::u16string::npos);
    return result;
}

std::u16string TRegExEngine::Dump() {
    try {
        if (!MakeProgramReady()) return {};
        static const char* const names[] = {
            "END",      "BOL",          "EOL",           "ANY",       "ANYOF",     "ANYBUT",
            "BRANCH",   "BACK",         "EXACTLY",       "NOTHING",   "STAR",      "PLUS",
            "ANYDIGIT", "NOTDIGIT",     "ANYLETTER",     "NOTLETTER", "ANYSPACE",  "NOTSPACE",
            "BRACES",   "COMMENT",      "EXACTLY/CI",    "ANYOF/CI",  "ANYBUT/CI", "LOOPENTRY",
            "LOOP",     "ANYOFTINYSET", "ANYBUTTINYSET", nullptr,     "BSUBEXP",   "BSUBEXP/CI",
            "STARNG",   "PLUSNG",       "BRACESNG",      "LOOPNG",    "BOLML",     "EOLML",
            "ANYML",    "BOUND",        "NOTBOUND"};
        const char16_t* prog = programm.get();
        std::u16string result;
        char buf[96];
        // Every step of the walk stays inside the program, whatever a
        // damaged operand says.
        const char16_t* const end = prog + regsize;
        auto fits = [&](const char16_t* p, size_t n) { return p >= prog && p + n <= end; };
        const char16_t* s = prog + 1;
        for (;;) {
            if (!fits(s, NODE_SIZE)) break;
            const char16_t op = *s;
            std::string name;
            if (op < sizeof(names) / sizeof(names[0]) && names[op]) {
                name = names[op];
            } else if (op > OP_OPEN && op < OP_OPEN + GroupCount) {
                std::snprintf(buf, sizeof buf, "OPEN[%d]", op - OP_OPEN);
                name = buf;
            } else if (op > OP_CLOSE && op < OP_CLOSE + GroupCount) {
                std::snprintf(buf, sizeof buf, "CLOSE[%d]", op - OP_CLOSE);
                name = buf;
            } else {
                Fail(1011);
            }
            std::snprintf(buf, sizeof buf, "%2d%s", static_cast<int>(s - prog), ":");
            result += Ascii(buf) + Ascii(name.c_str());
            const char16_t* next = NextNode(s);
            if (next)
                std::snprintf(buf, sizeof buf, " (%d) ", static_cast<int>(next - prog));
            else
                std::snprintf(buf, sizeof buf, " (0)");
            result += Ascii(buf);
            const char16_t* operand = s + NODE_SIZE;
            s = operand;
            switch (op) {
            case OP_ANYOF:
            case OP_ANYBUT:
            case OP_ANYOFCI:
            case OP_ANYBUTCI: {
                if (!fits(operand, CLASS_COUNT_SIZE)) break;
                const int32_t n = ClassSize(s - NODE_SIZE);
                const char16_t* units = ClassUnits(s - NODE_SIZE);
                if (n < 0 || !fits(units, size_t(n))) break;
                result.append(units, size_t(n));
                s = units + n;
                break;
            }
            case OP_EXACTLY:
            case OP_EXACTLYCI: {
                size_t n = 0;
                while (fits(operand, n + 1) && operand[n])
                    ++n;
                result.append(operand, n);
                s = operand + n + 1;
                break;
            }
            case OP_ANYOFTINYSET:
            case OP_ANYBUTTINYSET:
                if (!fits(operand, 3)) break;
                result.append(operand, 3);
                s = operand + 3;
                break;
            case OP_BSUBEXP:
            case OP_BSUBEXPCI:
                if (!fits(operand, 1)) break;
                result += u" \\" + Ascii(std::to_string(operand[0]).c_str());
                s = operand + 1;
                break;
            case OP_BRACES:
            case OP_BRACESNG:
                if (!fits(operand, 4)) break;
                std::snprintf(buf, sizeof buf, "{%d,%d}", ReadInt(operand), ReadInt(operand + 2));
                result += Ascii(buf);
                s = operand + 4;
                break;
            case OP_LOOP:
            case OP_LOOPNG: {
                if (!fits(operand, 6)) break;
                const int body = static_cast<int>((s - NODE_SIZE) - prog) + ReadInt(operand + 4);
                std::snprintf(buf, sizeof buf, " -> (%d) {%d,%d}", body, ReadInt(operand),
                              ReadInt(operand + 2));
                result += Ascii(buf);
                s = operand + 6;
                break;
            }
            default:
                break;
            }
            result += u"\r\n";
            if (op == OP_END) break;
        }
        if (regstart) result += u"start " + std::u16string(1, regstart);
        if (reganch) result += u"anchored ";
        if (regmust) result += u"must have " + std::u16string(regmust, regmlen);
        result += u"\r\n";
        return result;
    } catch (const TAbandon&) {
        return {};
    }
}
