// Regular expressions over UTF-8 text (PCRE2). UTF mode and "any newline" are
// always on; subjects may hold invalid UTF-8 (such bytes never match a
// character class). Patterns are compiled on first use after a change. A
// subject is checked for valid UTF-8 once, by its first search; the searches
// after it skip the check.
//
//   TPcreRegex re;
//   re.SetPattern("<b>(.*)</b>");
//   re.SetOptions(TPcreRegex::SingleLine | TPcreRegex::Ungreedy);
//   re.SetSubject(page);
//   for (bool ok = re.Match(); ok; ok = re.MatchAgain())
//       use(re.Group(1));
#pragma once

#include "classlib/sysutils.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A pattern that does not compile; Message holds the reason and offset.
LANTROVE_EXCEPTION(EPcreError, Exception);

class TPcreRegex {
public:
    enum Option : unsigned {
        CaseLess = 1,   // letters match either case
        MultiLine = 2,  // ^ and $ match at every line
        SingleLine = 4, // . matches line breaks too
        Extended = 8,   // blanks and # comments in the pattern are ignored
        Ungreedy = 16,  // quantifiers are lazy unless followed by ?
    };

    TPcreRegex();
    explicit TPcreRegex(const std::string& pattern, unsigned options = 0);
    ~TPcreRegex();
    TPcreRegex(const TPcreRegex&) = delete;
    TPcreRegex& operator=(const TPcreRegex&) = delete;

    const std::string& Pattern() const { return FPattern; }
    void SetPattern(const std::string& pattern);
    unsigned Options() const { return FOptions; }
    void SetOptions(unsigned options);

    // Compiles now; EPcreError when the pattern is wrong.
    void Compile();
    // false (with the reason in ErrorText) instead of an exception.
    bool TryCompile(std::string* errorText = nullptr);

    const std::string& Subject() const { return FSubject; }
    void SetSubject(const std::string& subject);

    // First match in the subject; EPcreError when the pattern does not compile.
    bool Match();
    // The next match after the last one (never the same empty match twice).
    bool MatchAgain();

    bool FoundMatch() const { return FFound; }
    // Number of capturing groups of the pattern.
    int GroupCount() const;
    // Text of group i of the last match (0 is the whole match); empty for a
    // group that did not take part or does not exist.
    std::string Group(int i) const;
    bool GroupMatched(int i) const;
    std::size_t MatchedOffset() const; // byte offset in the subject
    std::size_t MatchedLength() const;
    std::string MatchedText() const { return Group(0); }

    // Every match of the pattern in subject replaced by replacement, in which
    // $0..$99 and ${n} stand for groups and $$ for a dollar sign.
    std::string ReplaceAll(const std::string& subject, const std::string& replacement);

    // Convenience: group 1 of the first match of pattern in subject.
    static bool FirstGroup(const std::string& pattern, const std::string& subject,
                           std::string& group, unsigned options = 0);

private:
    bool Exec(std::size_t start, bool notEmptyAtStart);
    // One search from start; the first search of a subject checks it.
    int Search(std::size_t start, std::uint32_t flags);
    std::uint32_t CompileFlags() const;
    void Release();
    std::string Expand(const std::string& replacement) const;

    std::string FPattern;
    unsigned FOptions = 0;
    std::string FSubject;
    void* FCode = nullptr;         // pcre2_code_8, for valid UTF-8
    void* FCodeAnyBytes = nullptr; // the same for subjects with invalid UTF-8, made when needed
    void* FMatchData = nullptr;    // pcre2_match_data_8
    enum class TUtf { Unknown, Valid, Invalid } FSubjectUtf = TUtf::Unknown;
    bool FFound = false;
    std::vector<std::size_t> FOvector; // pairs of start and end, npos when unset
};
