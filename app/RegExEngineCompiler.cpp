// The compiler of TRegExEngine: parses a pattern into the program of 16-bit
// node units (sized in a first pass, written in a second) and builds the side
// tables the matcher uses. Relies on the program layout in RegExEngineInternal.h.
#include "app/RegExEngine.h"

#include <algorithm>
#include <cstring>

#include "app/RegExEngineInternal.h"

using namespace regeximpl;

namespace {

const char16_t META_UNITS[] = u"^$.[()|?+*\\{";

bool IsMeta(char16_t Ch) {
    for (const char16_t* p = META_UNITS; *p; ++p)
        if (*p == Ch) return true;
    return false;
}

bool IsQuantifier(char16_t Ch) {
    return Ch == '*' || Ch == '+' || Ch == '?' || Ch == '{';
}

bool IsExtendedSpace(char16_t Ch) {
    return Ch == ' ' || Ch == '\t' || Ch == '\r' || Ch == '\n';
}

int HexDigit(char16_t Ch) {
    if (Ch >= '0' && Ch <= '9') return Ch - '0';
    if (Ch >= 'a' && Ch <= 'f') return Ch - 'a' + 10;
    if (Ch >= 'A' && Ch <= 'F') return Ch - 'A' + 10;
    return -1;
}

} // namespace

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
