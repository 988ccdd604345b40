// TRegExEngine's public face: construction, properties, error texts, the text
// operations built on matching (substitute, split, replace) and the program
// dump. Compiling lives in RegExEngineCompiler.cpp, matching in
// RegExEngineMatcher.cpp; both share RegExEngineInternal.h.
#include "app/RegExEngine.h"

#include <algorithm>
#include <cstdio>

#include "app/RegExEngineInternal.h"

using namespace regeximpl;

namespace {

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

} // namespace

namespace regeximpl {

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

} // namespace regeximpl

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
