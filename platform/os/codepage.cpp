#include "platform/os/codepage.h"

#include <cerrno>
#include <cstdlib>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <mutex>

namespace {

std::mutex g_lock;
std::string g_forced;        // set by SetAnsiCodePage
std::string g_localeCharset; // of the locale named by g_localeKey
std::string g_localeKey;     // the locale variables it was computed for
bool g_localeKnown = false;

// The variables that choose the character set, so a change of them is seen.
std::string LocaleKey() {
    std::string key;
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* v = std::getenv(name);
        key += v ? v : "";
        key += '\n';
    }
    return key;
}

std::string Normalize(std::string name) {
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    if (name == "UTF8") name = "UTF-8";
    return name;
}

std::string LocaleCharset() {
    // Read without touching the process locale.
    std::string result;
    locale_t loc = newlocale(LC_CTYPE_MASK, "", locale_t(nullptr));
    if (loc != locale_t(nullptr)) {
        const char* cs = nl_langinfo_l(CODESET, loc);
        if (cs) result = cs;
        freelocale(loc);
    }
    result = Normalize(result);
    if (result.empty() || result == "ANSI_X3.4-1968" || result == "ASCII" || result == "US-ASCII" ||
        result == "646")
        result = "UTF-8";
    return result;
}

// Length of the valid UTF-8 sequence at s[i], or 0 when it is broken.
size_t Utf8SequenceLength(std::string_view s, size_t i, char32_t* cp) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    if (c < 0x80) {
        if (cp) *cp = c;
        return 1;
    }
    size_t len;
    char32_t v;
    char32_t min;
    if ((c & 0xE0) == 0xC0) {
        len = 2;
        v = c & 0x1F;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        v = c & 0x0F;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        v = c & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        v = (v << 6) | (b(i + k) & 0x3F);
    }
    if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
    if (cp) *cp = v;
    return len;
}

const char kReplacementUtf8[] = "\xEF\xBF\xBD";

// iconv with recovery: an input character that is broken or cannot be
// mapped is skipped and `replacement` (already in the target set) written.
std::string Convert(std::string_view text, const std::string& from, const std::string& to,
                    std::string_view brokenReplacement, std::string_view unmappedReplacement) {
    std::string out;
    if (text.empty()) return out;
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == iconv_t(-1)) return std::string(text); // unknown set: pass the bytes on
    const bool fromUtf8 = from == "UTF-8";
    std::string buf(text.size() * 4 + 16, '\0');
    size_t pos = 0;
    while (pos < text.size()) {
        char* in = const_cast<char*>(text.data() + pos);
        size_t inLeft = text.size() - pos;
        char* outPtr = buf.data();
        size_t outLeft = buf.size();
        size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        int err = errno;
        out.append(buf.data(), size_t(outPtr - buf.data()));
        pos = size_t(in - text.data());
        if (r != size_t(-1)) break;
        if (err == E2BIG) continue;
        // EILSEQ or EINVAL: skip the offending character.
        size_t skip = 1;
        bool unmapped = false;
        if (fromUtf8) {
            size_t len = Utf8SequenceLength(text, pos, nullptr);
            if (len > 0) {
                skip = len;
                unmapped = true;
            }
        }
        out.append(unmapped ? unmappedReplacement : brokenReplacement);
        pos += skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr); // reset shift state
    }
    // Flush any final shift sequence.
    char* outPtr = buf.data();
    size_t outLeft = buf.size();
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buf.data(), size_t(outPtr - buf.data()));
    iconv_close(cd);
    return out;
}

} // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    AppendUtf8Unchecked(out, cp);
}

void AppendUtf8Unchecked(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

std::string AnsiCodePage() {
    std::lock_guard<std::mutex> g(g_lock);
    if (!g_forced.empty()) return g_forced;
    std::string key = LocaleKey();
    if (!g_localeKnown || key != g_localeKey) {
        g_localeCharset = LocaleCharset();
        g_localeKey = key;
        g_localeKnown = true;
    }
    return g_localeCharset;
}

bool SetAnsiCodePage(const std::string& Name) {
    std::string name = Normalize(Name);
    if (!name.empty()) {
        iconv_t cd = iconv_open("UTF-8", name.c_str());
        if (cd == iconv_t(-1)) return false;
        iconv_close(cd);
    }
    std::lock_guard<std::mutex> g(g_lock);
    g_forced = name;
    return true;
}

bool AnsiCodePageIsUtf8() {
    return AnsiCodePage() == "UTF-8";
}

std::string SanitizeUtf8(std::string_view Utf8) {
    std::string out;
    out.reserve(Utf8.size());
    size_t i = 0;
    while (i < Utf8.size()) {
        size_t len = Utf8SequenceLength(Utf8, i, nullptr);
        if (len == 0) {
            out += kReplacementUtf8;
            ++i;
        } else {
            out.append(Utf8.substr(i, len));
            i += len;
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view Bytes) {
    for (size_t i = 0; i < Bytes.size();) {
        size_t len = Utf8SequenceLength(Bytes, i, nullptr);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::string SingleByteFallbackToUtf8(std::string_view Bytes) {
    // Code points of the bytes 0x80 to 0x9F; the rest match their byte value.
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::string out;
    out.reserve(Bytes.size() * 2);
    for (unsigned char b : Bytes)
        AppendUtf8(out, b >= 0x80 && b < 0xA0 ? char32_t(kHigh[b - 0x80]) : char32_t(b));
    return out;
}

std::string Utf8ToAnsi(std::string_view Utf8) {
    std::string cp = AnsiCodePage();
    if (cp == "UTF-8") return SanitizeUtf8(Utf8);
    return Convert(Utf8, "UTF-8", cp, "?", "?");
}

std::string AnsiToUtf8(std::string_view Ansi) {
    std::string cp = AnsiCodePage();
    if (cp == "UTF-8") return SanitizeUtf8(Ansi);
    return Convert(Ansi, cp, "UTF-8", kReplacementUtf8, kReplacementUtf8);
}

std::u16string Utf8ToUtf16(std::string_view Utf8) {
    std::u16string out;
    out.reserve(Utf8.size());
    size_t i = 0;
    while (i < Utf8.size()) {
        char32_t cp = 0;
        size_t len = Utf8SequenceLength(Utf8, i, &cp);
        if (len == 0) {
            out += char16_t(0xFFFD);
            ++i;
            continue;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view Utf16) {
    std::string out;
    out.reserve(Utf16.size() * 3);
    for (size_t i = 0; i < Utf16.size(); ++i) {
        char32_t c = Utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < Utf16.size() && Utf16[i + 1] >= 0xDC00 &&
            Utf16[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (Utf16[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::string ConvertCharset(std::string_view Text, const std::string& From, const std::string& To) {
    return Convert(Text, Normalize(From), Normalize(To), "?", "?");
}
