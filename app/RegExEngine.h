// Regular-expression engine for UTF-16 text: a compiler to a program of 16-bit
// node units and a recursive backtracking matcher over a NUL-terminated copy of
// the input.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/classes.h"
#include "classlib/sysutils.h"

class TRegExEngine;

// Raised for every error of the engine; the message carries the code's text and,
// for compiler errors, the pattern position.
class ERegExEngine : public Exception {
public:
    ERegExEngine(const std::string& AMessage, int AErrorCode, int ACompilerErrorPos)
        : Exception(AMessage), ErrorCode(AErrorCode), CompilerErrorPos(ACompilerErrorPos) {}
    int ErrorCode;
    int CompilerErrorPos;
};

using TRegExEngineInvertCaseFunction = std::function<char16_t(char16_t)>;
using TRegExEngineReplaceFunction = std::function<std::u16string(TRegExEngine& ARegExEngine)>;

class TRegExEngine : public TObject {
public:
    static constexpr int GroupCount = 15;
    static constexpr int MaxOpenLoops = 10;

    TRegExEngine();
    ~TRegExEngine() override;

    static int VersionMajor() { return 0; }
    static int VersionMinor() { return 952; }

    std::u16string Expression() const;
    void SetExpression(const std::u16string& AStr);

    std::u16string ModifierStr() const;
    void SetModifierStr(const std::u16string& AModifiers);

    // Index 1 to 6: i, r, s, g, m, x.
    bool GetModifier(int AIndex);
    void SetModifier(int AIndex, bool ASet);
    bool ModifierI() { return GetModifier(1); }
    void SetModifierI(bool A) { SetModifier(1, A); }
    bool ModifierR() { return GetModifier(2); }
    void SetModifierR(bool A) { SetModifier(2, A); }
    bool ModifierS() { return GetModifier(3); }
    void SetModifierS(bool A) { SetModifier(3, A); }
    bool ModifierG() { return GetModifier(4); }
    void SetModifierG(bool A) { SetModifier(4, A); }
    bool ModifierM() { return GetModifier(5); }
    void SetModifierM(bool A) { SetModifier(5, A); }
    bool ModifierX() { return GetModifier(6); }
    void SetModifierX(bool A) { SetModifier(6, A); }

    std::u16string InputString();
    void SetInputString(const std::u16string& AInputString);

    int SubExprMatchCount() const;
    int CompilerErrorPos() const;

    const std::u16string& SpaceChars() const { return fSpaceChars; }
    void SetSpaceChars(const std::u16string& A);
    const std::u16string& WordChars() const { return fWordChars; }
    void SetWordChars(const std::u16string& A);
    const std::u16string& LineSeparators() const { return fLineSeparators; }
    void SetLineSeparators(const std::u16string& A);
    std::u16string LinePairedSeparator() const;
    void SetLinePairedSeparator(const std::u16string& A);
    TRegExEngineInvertCaseFunction InvertCase() const;
    void SetInvertCase(TRegExEngineInvertCaseFunction A);

    int GroupPos(int n) const;
    int GroupLen(int n) const;
    std::u16string GroupText(int n) const;

    void Compile();
    int LastError();
    virtual std::u16string ErrorMsg(int AErrorID);
    static char16_t InvertCaseFunction(char16_t Ch);

    bool Exec(const std::u16string& AInputString);
    bool ExecPos(int AOffset = 1);
    bool ExecNext();
    std::u16string Substitute(const std::u16string& ATemplate);
    void Split(const std::u16string& AInputStr, std::vector<std::u16string>& APieces);
    std::u16string Replace(const std::u16string& AInputStr, const std::u16string& AReplaceStr,
                           bool AUseSubstitution = false);
    std::u16string ReplaceEx(const std::u16string& AInputStr,
                             const TRegExEngineReplaceFunction& AReplaceFunc);
    std::u16string Dump();

protected:
    // Stores the code and raises ERegExEngine. A descendant that returns instead
    // makes the engine abandon the operation with a nil, false or empty result.
    virtual void RaiseError(int AErrorID);

    const char16_t* startp[GroupCount] = {};
    const char16_t* endp[GroupCount] = {};
    int LoopStack[MaxOpenLoops + 1] = {}; // indices 1 to 10
    int LoopStackIdx = 0;
    char16_t regstart = 0;
    char16_t reganch = 0;
    const char16_t* regmust = nullptr;
    int regmlen = 0;
    const char16_t* reginput = nullptr;
    const char16_t* fInputStart = nullptr;
    const char16_t* fInputEnd = nullptr;
    const char16_t* regparse = nullptr;
    int regnpar = 0;
    char16_t regdummy = 0;
    char16_t* regcode = nullptr;
    int regsize = 0;
    const char16_t* regexpbeg = nullptr;
    bool fExprIsCompiled = false;
    std::unique_ptr<char16_t[]> programm;
    std::u16string fExpression; // NUL-terminated through c_str(); fHasExpression says it is set
    std::u16string fInputString;
    bool fHasExpression = false;
    bool fHasInput = false;
    int fLastError = 0;
    int fModifiers = 0;
    int fCompModifiers = 0;
    int fProgModifiers = 0;
    std::u16string fSpaceChars;
    std::u16string fWordChars;
    TRegExEngineInvertCaseFunction fInvertCase;
    std::u16string fLineSeparators;
    bool fLinePairedSeparatorAssigned = false;
    char16_t fLinePairedSeparatorHead = 0;
    char16_t fLinePairedSeparatorTail = 0;

private:
    // Membership of one unit in a set of units: a bitmap for the first 256
    // units, the text itself above.
    struct TUnitSet {
        uint64_t Low[4] = {};
        std::u16string High;
        void Assign(const std::u16string& AUnits);
        bool Contains(char16_t Ch) const {
            if (Ch < 256) return (Low[Ch >> 6] >> (Ch & 63)) & 1;
            return High.find(Ch) != std::u16string::npos;
        }
    };

    [[noreturn]] void Abandon();
    // Raises the error; when RaiseError returns, abandons the operation.
    [[noreturn]] void Fail(int AErrorID);
    void DiscardProgram();
    void ClearGroups();
    bool MakeProgramReady();
    void CompileProgram(const char16_t* AExpression);
    void AnalyseProgram();
    bool BuildFirstSet(const char16_t* scan, int ADepth, std::vector<uint64_t>& ASet);
    void AddToSet(std::vector<uint64_t>& ASet, char16_t Ch);
    char16_t InvertCaseOf(char16_t Ch) const {
        return fDefaultInvertCase ? InvertCaseFunction(Ch) : fInvertCase(Ch);
    }

    // Compiler
    char16_t* ParseAlternation(int paren, int& outFlags);
    char16_t* ParseSequence(int& outFlags);
    char16_t* ParseQuantified(int& outFlags);
    char16_t* ParseSingle(int& outFlags);
    char16_t ReadEscapedUnit();
    char16_t* AppendNode(int op);
    void AppendUnit(char16_t b);
    void AppendCount(int32_t v);
    void InsertNodeBefore(int op, char16_t* operand, int sz);
    void LinkChainTo(char16_t* p, char16_t* val);
    void LinkAlternativeTo(char16_t* p, char16_t* val);
    void BuildCountedLoop(char16_t* ret, int32_t AMin, int32_t AMax, bool ANonGreedy);
    void EnsureRoom(int n);
    bool IsSizing() const { return regcode == &regdummy; }

    // Matcher
    bool AttemptAt(const char16_t* APos);
    bool RunFrom(const char16_t* prog);
    bool MatchCompactRepeat(const char16_t* scan, const char16_t* operand, int32_t AMin,
                            int32_t AMax, bool AGreedy, const char16_t* next);
    int CountRepeats(const char16_t* p, int32_t AMax);
    // The last position at which an attempt from p may be worth making when
    // the one at p failed (p itself when nothing is known).
    const char16_t* SkipFailedRun(const char16_t* p);
    // Whether the successor of a repeat node can begin inside the repeated
    // units' run; when it cannot, only the longest run is worth trying.
    bool SuccessorAvoidsOperand(const char16_t* next, const char16_t* operand);
    bool UnitPasses(const char16_t* p, char16_t Ch) const;
    bool InClassSet(const char16_t* p, char16_t Ch) const;
    bool IsLineSeparator(char16_t Ch) const { return fLineSepSet.Contains(Ch); }
    bool IsWordChar(char16_t Ch) const { return fWordSet.Contains(Ch); }
    static const char16_t* NextNode(const char16_t* p);

    bool fDefaultInvertCase = true;
    int fInputLength = 0;
    TUnitSet fWordSet;
    TUnitSet fSpaceSet;
    TUnitSet fLineSepSet;
    // Side tables built after compilation: class bitmaps for the first 256 units
    // (index per node), the nodes that open a loop of branch-and-back form, the
    // positions at which those loops were last entered, and the set of units a
    // match can begin with.
    std::vector<int32_t> fClassIndex;
    std::vector<std::array<uint64_t, 4>> fClassBits;
    std::vector<uint8_t> fLoopBranch;
    std::vector<const char16_t*> fLoopEntry;
    std::vector<int> fLoopBranchNodes;
    std::vector<uint64_t> fFirstSet;
    bool fFirstSetValid = false;
    int fFirstUnitCount = 0;
    char16_t fFirstUnits[2] = {};
    bool fSideTablesStale = true;
    const char16_t* fLoopIterStart[MaxOpenLoops + 1] = {};
    // The first set as up to four ranges of units (none when it takes more).
    int fFirstRangeCount = 0;
    char16_t fFirstRangeLo[4] = {};
    char16_t fFirstRangeHi[4] = {};
    // Repeat nodes whose successor cannot begin inside their run (by node).
    std::vector<uint8_t> fPossessive;
    // The operand of a possessive repeat the whole pattern begins with (after
    // group openings), in a pattern without back references: an attempt that
    // fails inside a run of its units fails for the rest of that run.
    const char16_t* fLeadingRun = nullptr;
    // Where the required literal was last found, searching from fMustFrom:
    // a later search from a position up to it finds it there again.
    const char16_t* fMustFrom = nullptr;
    const char16_t* fMustAt = nullptr;
    uintptr_t fStackBase = 0;
};
