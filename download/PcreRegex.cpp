#include "download/PcreRegex.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace {

pcre2_code* Code(void* p) {
    return static_cast<pcre2_code*>(p);
}
pcre2_match_data* Data(void* p) {
    return static_cast<pcre2_match_data*>(p);
}

constexpr std::size_t kUnset = static_cast<std::size_t>(-1);

} // namespace

TPcreRegex::TPcreRegex() = default;

TPcreRegex::TPcreRegex(const std::string& pattern, unsigned options)
    : FPattern(pattern), FOptions(options) {}

TPcreRegex::~TPcreRegex() {
    Release();
}

void TPcreRegex::Release() {
    if (FMatchData) pcre2_match_data_free(Data(FMatchData));
    if (FCode) pcre2_code_free(Code(FCode));
    if (FCodeAnyBytes) pcre2_code_free(Code(FCodeAnyBytes));
    FMatchData = nullptr;
    FCode = nullptr;
    FCodeAnyBytes = nullptr;
    FFound = false;
    FOvector.clear();
}

void TPcreRegex::SetPattern(const std::string& pattern) {
    if (pattern == FPattern && FCode) return;
    Release();
    FPattern = pattern;
}

void TPcreRegex::SetOptions(unsigned options) {
    if (options == FOptions) return;
    Release();
    FOptions = options;
}

uint32_t TPcreRegex::CompileFlags() const {
    uint32_t flags = PCRE2_UTF;
    if (FOptions & CaseLess) flags |= PCRE2_CASELESS;
    if (FOptions & MultiLine) flags |= PCRE2_MULTILINE;
    if (FOptions & SingleLine) flags |= PCRE2_DOTALL;
    if (FOptions & Extended) flags |= PCRE2_EXTENDED;
    if (FOptions & Ungreedy) flags |= PCRE2_UNGREEDY;
    return flags;
}

namespace {

pcre2_code* CompileWith(const std::string& pattern, uint32_t flags, int& error,
                        PCRE2_SIZE& offset) {
    pcre2_compile_context* ctx = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(ctx, PCRE2_NEWLINE_ANY);
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                     flags, &error, &offset, ctx);
    pcre2_compile_context_free(ctx);
    return code;
}

bool IsUtfError(int rc) {
    return rc <= PCRE2_ERROR_UTF8_ERR1 && rc >= PCRE2_ERROR_UTF8_ERR21;
}

} // namespace

bool TPcreRegex::TryCompile(std::string* errorText) {
    if (FCode) return true;
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = CompileWith(FPattern, CompileFlags(), error, offset);
    if (!code) {
        if (errorText) {
            PCRE2_UCHAR buf[256];
            pcre2_get_error_message(error, buf, sizeof buf);
            *errorText = std::string(reinterpret_cast<const char*>(buf)) + " at offset " +
                         std::to_string(offset);
        }
        return false;
    }
    FCode = code;
    FMatchData = pcre2_match_data_create_from_pattern(code, nullptr);
    return true;
}

void TPcreRegex::Compile() {
    std::string error;
    if (!TryCompile(&error))
        throw EPcreError("Bad regular expression \"" + FPattern + "\": " + error);
}

void TPcreRegex::SetSubject(const std::string& subject) {
    FSubject = subject;
    FSubjectUtf = TUtf::Unknown;
    FFound = false;
    FOvector.clear();
}

int TPcreRegex::Search(std::size_t start, uint32_t flags) {
    const auto* subject = reinterpret_cast<PCRE2_SPTR>(FSubject.data());
    if (FSubjectUtf == TUtf::Unknown && start == 0) {
        // The search from the start checks the whole subject on its way.
        const int rc =
            pcre2_match(Code(FCode), subject, FSubject.size(), 0, flags, Data(FMatchData), nullptr);
        FSubjectUtf = IsUtfError(rc) ? TUtf::Invalid : TUtf::Valid;
        if (FSubjectUtf == TUtf::Valid) return rc;
    }
    if (FSubjectUtf == TUtf::Valid)
        return pcre2_match(Code(FCode), subject, FSubject.size(), start, flags | PCRE2_NO_UTF_CHECK,
                           Data(FMatchData), nullptr);
    // Invalid bytes (or a subject not checked yet): the pattern made to step
    // over them.
    if (!FCodeAnyBytes) {
        int error = 0;
        PCRE2_SIZE offset = 0;
        FCodeAnyBytes =
            CompileWith(FPattern, CompileFlags() | PCRE2_MATCH_INVALID_UTF, error, offset);
        if (!FCodeAnyBytes) throw EPcreError("Bad regular expression \"" + FPattern + "\"");
    }
    return pcre2_match(Code(FCodeAnyBytes), subject, FSubject.size(), start, flags,
                       Data(FMatchData), nullptr);
}

bool TPcreRegex::Exec(std::size_t start, bool notEmptyAtStart) {
    Compile();
    FFound = false;
    FOvector.clear();
    if (start > FSubject.size()) return false;
    const uint32_t flags = notEmptyAtStart ? (PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED) : 0;
    int rc = Search(start, flags);
    if (rc == PCRE2_ERROR_NOMATCH && notEmptyAtStart) {
        // No non-empty match here: step one character on and search again.
        std::size_t next = start + 1;
        if (FSubject.compare(start, 2, "\r\n") == 0) next = start + 2;
        while (next < FSubject.size() &&
               (static_cast<unsigned char>(FSubject[next]) & 0xC0) == 0x80)
            ++next;
        if (next > FSubject.size()) return false;
        rc = Search(next, 0);
    }
    if (rc < 0) return false;
    const uint32_t pairs = pcre2_get_ovector_count(Data(FMatchData));
    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(Data(FMatchData));
    FOvector.assign(2 * static_cast<std::size_t>(pairs), kUnset);
    for (uint32_t i = 0;
         i < pairs && static_cast<int>(i) < (rc == 0 ? static_cast<int>(pairs) : rc); ++i) {
        if (ov[2 * i] != PCRE2_UNSET) {
            FOvector[2 * i] = ov[2 * i];
            FOvector[2 * i + 1] = ov[2 * i + 1];
        }
    }
    FFound = true;
    return true;
}

bool TPcreRegex::Match() {
    return Exec(0, false);
}

bool TPcreRegex::MatchAgain() {
    if (!FFound) return false;
    const std::size_t start = FOvector[0];
    const std::size_t end = FOvector[1];
    return Exec(end, end == start);
}

int TPcreRegex::GroupCount() const {
    if (!FCode) return 0;
    uint32_t count = 0;
    pcre2_pattern_info(Code(FCode), PCRE2_INFO_CAPTURECOUNT, &count);
    return static_cast<int>(count);
}

bool TPcreRegex::GroupMatched(int i) const {
    return FFound && i >= 0 && 2 * static_cast<std::size_t>(i) + 1 < FOvector.size() &&
           FOvector[2 * i] != kUnset;
}

std::string TPcreRegex::Group(int i) const {
    if (!GroupMatched(i)) return {};
    return FSubject.substr(FOvector[2 * i], FOvector[2 * i + 1] - FOvector[2 * i]);
}

std::size_t TPcreRegex::MatchedOffset() const {
    return FFound ? FOvector[0] : 0;
}

std::size_t TPcreRegex::MatchedLength() const {
    return FFound ? FOvector[1] - FOvector[0] : 0;
}

std::string TPcreRegex::Expand(const std::string& replacement) const {
    std::string out;
    for (std::size_t i = 0; i < replacement.size(); ++i) {
        const char c = replacement[i];
        if (c != '$' || i + 1 >= replacement.size()) {
            out += c;
            continue;
        }
        const char n = replacement[i + 1];
        if (n == '$') {
            out += '$';
            ++i;
        } else if (n >= '0' && n <= '9') {
            int group = n - '0';
            ++i;
            if (i + 1 < replacement.size() && replacement[i + 1] >= '0' &&
                replacement[i + 1] <= '9') {
                group = group * 10 + (replacement[i + 1] - '0');
                ++i;
            }
            out += Group(group);
        } else if (n == '{') {
            const std::size_t close = replacement.find('}', i + 2);
            const std::string digits =
                close == std::string::npos ? "" : replacement.substr(i + 2, close - i - 2);
            if (!digits.empty() && digits.size() <= 2 &&
                digits.find_first_not_of("0123456789") == std::string::npos) {
                out += Group(std::stoi(digits));
                i = close;
            } else {
                out += c;
            }
        } else {
            out += c;
        }
    }
    return out;
}

std::string TPcreRegex::ReplaceAll(const std::string& subject, const std::string& replacement) {
    SetSubject(subject);
    std::string out;
    std::size_t copied = 0;
    for (bool ok = Match(); ok; ok = MatchAgain()) {
        out.append(FSubject, copied, FOvector[0] - copied);
        out += Expand(replacement);
        copied = FOvector[1];
    }
    out.append(FSubject, copied, std::string::npos);
    return out;
}

bool TPcreRegex::FirstGroup(const std::string& pattern, const std::string& subject,
                            std::string& group, unsigned options) {
    TPcreRegex re(pattern, options);
    re.SetSubject(subject);
    if (!re.Match()) return false;
    group = re.Group(1);
    return true;
}
