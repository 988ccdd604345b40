// Internals the sources of TRegExEngine share: the opcodes and layout of the
// compiled program, parse flags, modifier bits and the small readers of node
// operands. Not for use outside the engine.
#pragma once

#include <cstddef>
#include <cstdint>

namespace regeximpl {

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

inline int32_t ReadInt(const char16_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 16));
}

inline void WriteInt(char16_t* p, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<char16_t>(u & 0xFFFF);
    p[1] = static_cast<char16_t>(u >> 16);
}

// A class operand is a two-unit count and then the members; a member may be
// U+0000, so the count, never a terminator, says where the set ends.
constexpr int CLASS_COUNT_SIZE = 2;

inline int32_t ClassSize(const char16_t* node) {
    return ReadInt(node + NODE_SIZE);
}

inline const char16_t* ClassUnits(const char16_t* node) {
    return node + NODE_SIZE + CLASS_COUNT_SIZE;
}

inline size_t StrLen(const char16_t* s) {
    size_t n = 0;
    while (s[n])
        ++n;
    return n;
}

// Applies letters as written in a modifier text ("-" clears the letters after
// it); stops at the first unit that is no modifier letter and returns false.
bool ApplyModifierLetters(const char16_t* ABegin, const char16_t* AEnd, int& AModifiers);

} // namespace regeximpl
