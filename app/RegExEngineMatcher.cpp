// The matcher of TRegExEngine: a recursive backtracking run of the compiled
// program over the input, the vector searches for where a match can begin, and
// the exec entry points. Relies on the program layout in RegExEngineInternal.h.
#include "app/RegExEngine.h"

#include <algorithm>

#include "app/RegExEngineInternal.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

using namespace regeximpl;

namespace {

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

} // namespace

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
