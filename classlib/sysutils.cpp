#include "classlib/sysutils.h"

#include <atomic>
#include <chrono>

#include "platform/os/clock.h"
#include "platform/os/codepage.h"
#include "platform/os/file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

void Abort() {
    throw EAbort("Operation aborted");
}

// ---------------------------------------------------------------------------
// Numbers

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view TrimView(std::string_view s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Parses into a magnitude and sign. Hexadecimal may use the whole unsigned
// range of `bits`; decimal must fit the signed range.
bool ParseInteger(std::string_view text, int bits, int64_t& value) {
    std::string_view s = TrimView(text);
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    bool hex = false;
    if (!s.empty() && s[0] == '$') {
        hex = true;
        s.remove_prefix(1);
    } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        hex = true;
        s.remove_prefix(2);
    }
    if (s.empty()) return false;
    const uint64_t unsignedMax = bits == 64 ? ~uint64_t(0) : (uint64_t(1) << bits) - 1;
    uint64_t mag = 0;
    for (char c : s) {
        int d = hex ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (d < 0) return false;
        uint64_t base = hex ? 16 : 10;
        if (mag > (unsignedMax - uint64_t(d)) / base) return false;
        mag = mag * base + uint64_t(d);
    }
    const uint64_t signedMax = (uint64_t(1) << (bits - 1)) - 1;
    if (hex) {
        // Wraps like the classic conversion: $FFFFFFFF is -1 for 32 bits.
        uint64_t v = negative ? (~mag + 1) : mag;
        if (bits == 32)
            value = int64_t(int32_t(uint32_t(v)));
        else
            value = int64_t(v);
        return true;
    }
    if (negative) {
        if (mag > signedMax + 1) return false;
        value = mag == signedMax + 1 ? (bits == 64 ? std::numeric_limits<int64_t>::min()
                                                   : int64_t(std::numeric_limits<int32_t>::min()))
                                     : -int64_t(mag);
    } else {
        if (mag > signedMax) return false;
        value = int64_t(mag);
    }
    return true;
}

char g_decimalSeparator = '.';

} // namespace

bool TryStrToInt(std::string_view s, int32_t& value) {
    int64_t v = 0;
    if (!ParseInteger(s, 32, v)) return false;
    value = int32_t(v);
    return true;
}

bool TryStrToInt64(std::string_view s, int64_t& value) {
    return ParseInteger(s, 64, value);
}

int32_t StrToIntDef(std::string_view s, int32_t defaultValue) {
    int32_t v = 0;
    return TryStrToInt(s, v) ? v : defaultValue;
}

int64_t StrToInt64Def(std::string_view s, int64_t defaultValue) {
    int64_t v = 0;
    return TryStrToInt64(s, v) ? v : defaultValue;
}

int32_t StrToInt(std::string_view s) {
    int32_t v = 0;
    if (!TryStrToInt(s, v))
        throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
    return v;
}

int64_t StrToInt64(std::string_view s) {
    int64_t v = 0;
    if (!TryStrToInt64(s, v))
        throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
    return v;
}

std::string IntToStr(int64_t value) {
    return std::to_string(value);
}

std::string IntToHex(int64_t value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    uint64_t v = uint64_t(value);
    std::string out;
    do {
        out += kDigits[v & 0xF];
        v >>= 4;
    } while (v != 0);
    while (int(out.size()) < digits)
        out += '0';
    std::reverse(out.begin(), out.end());
    return out;
}

char DecimalSeparator() {
    return g_decimalSeparator;
}
void SetDecimalSeparator(char separator) {
    g_decimalSeparator = separator;
}

std::string FloatToStr(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    char buf[64];
    double a = std::fabs(value);
    bool fixed = a == 0 || (a >= 1e-5 && a < 1e15);
    auto r = std::to_chars(buf, buf + sizeof buf, value,
                           fixed ? std::chars_format::fixed : std::chars_format::scientific);
    std::string s(buf, r.ptr);
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '.') {
            out += g_decimalSeparator;
        } else if (c == 'e') {
            out += 'E';
            size_t j = i + 1;
            if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
                if (s[j] == '-') out += '-';
                ++j;
            }
            while (j + 1 < s.size() && s[j] == '0')
                ++j;
            out.append(s, j, std::string::npos);
            break;
        } else {
            out += c;
        }
    }
    return out;
}

bool TryStrToFloat(std::string_view s, double& value) {
    std::string t(TrimView(s));
    if (t.empty()) return false;
    for (char& c : t) {
        if (c == g_decimalSeparator)
            c = '.';
        else if (c == '.' && g_decimalSeparator != '.')
            return false;
    }
    const char* b = t.data();
    const char* e = b + t.size();
    if (*b == '+') ++b;
    if (b == e) return false;
    double v = 0;
    auto r = std::from_chars(b, e, v);
    if (r.ec != std::errc() || r.ptr != e) return false;
    value = v;
    return true;
}

double StrToFloatDef(std::string_view s, double defaultValue) {
    double v = 0;
    return TryStrToFloat(s, v) ? v : defaultValue;
}

double StrToFloat(std::string_view s) {
    double v = 0;
    if (!TryStrToFloat(s, v))
        throw EConvertError("'" + std::string(s) + "' is not a valid floating point value");
    return v;
}

std::string FloatToStrF(double value, int decimals) {
    return FormatV("%." + std::to_string(std::clamp(decimals, 0, 18)) + "f", {TFormatArg(value)});
}

// ---------------------------------------------------------------------------
// Format

namespace {

[[noreturn]] void FormatError(std::string_view format) {
    throw EConvertError("Format '" + std::string(format) +
                        "' invalid or incompatible with argument");
}

int64_t ArgAsInt(const TFormatArg& a, std::string_view format) {
    switch (a.kind()) {
    case TFormatArg::Kind::Int:
        return a.asInt();
    case TFormatArg::Kind::UInt:
        return int64_t(a.asUInt());
    case TFormatArg::Kind::Float: {
        double f = a.asFloat();
        if (!std::isfinite(f) || f >= 9.2e18 || f <= -9.2e18) FormatError(format);
        return int64_t(f);
    }
    case TFormatArg::Kind::Pointer:
        return int64_t(reinterpret_cast<uintptr_t>(a.asPointer()));
    case TFormatArg::Kind::String:
        break;
    }
    FormatError(format);
}

uint64_t ArgAsUnsigned(const TFormatArg& a, std::string_view format) {
    if (a.kind() == TFormatArg::Kind::UInt) return a.asUInt();
    int64_t v = ArgAsInt(a, format);
    // Negative values of 32-bit size read as their 32-bit pattern.
    if (v < 0 && v >= std::numeric_limits<int32_t>::min()) return uint32_t(int32_t(v));
    return uint64_t(v);
}

double ArgAsFloat(const TFormatArg& a, std::string_view format) {
    switch (a.kind()) {
    case TFormatArg::Kind::Float:
        return a.asFloat();
    case TFormatArg::Kind::Int:
        return double(a.asInt());
    case TFormatArg::Kind::UInt:
        return double(a.asUInt());
    default:
        FormatError(format);
    }
}

std::string ToBase(uint64_t v, unsigned base, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string out;
    do {
        out += digits[v % base];
        v /= base;
    } while (v != 0);
    std::reverse(out.begin(), out.end());
    return out;
}

std::string GroupThousands(const std::string& fixed) {
    // fixed: optional "-", digits, optional "." and decimals.
    size_t start = fixed[0] == '-' ? 1 : 0;
    size_t dot = fixed.find('.');
    size_t intEnd = dot == std::string::npos ? fixed.size() : dot;
    std::string out = fixed.substr(0, start);
    for (size_t i = start; i < intEnd; ++i) {
        out += fixed[i];
        size_t left = intEnd - i - 1;
        if (left > 0 && left % 3 == 0) out += ',';
    }
    if (dot != std::string::npos) out += g_decimalSeparator + fixed.substr(dot + 1);
    return out;
}

std::string FormatFloat(char type, double v, int precision, bool plus, bool space, bool alt) {
    std::string pattern = "%";
    if (plus) pattern += '+';
    if (space) pattern += ' ';
    if (alt) pattern += '#';
    if (precision >= 0) pattern += "." + std::to_string(std::min(precision, 100));
    pattern += type;
    int n = std::snprintf(nullptr, 0, pattern.c_str(), v);
    std::string out(size_t(std::max(n, 0)), '\0');
    std::snprintf(out.data(), out.size() + 1, pattern.c_str(), v);
    if (g_decimalSeparator != '.') std::replace(out.begin(), out.end(), '.', g_decimalSeparator);
    return out;
}

} // namespace

std::string FormatV(std::string_view format, const std::vector<TFormatArg>& args) {
    std::string out;
    size_t argIndex = 0;
    size_t i = 0;
    const size_t n = format.size();
    auto nextArg = [&]() -> const TFormatArg& {
        if (argIndex >= args.size()) FormatError(format);
        return args[argIndex++];
    };
    auto readNumber = [&](int& value) {
        value = 0;
        bool any = false;
        while (i < n && format[i] >= '0' && format[i] <= '9') {
            value = std::min(value * 10 + (format[i] - '0'), 100000);
            ++i;
            any = true;
        }
        return any;
    };
    while (i < n) {
        char c = format[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        ++i;
        if (i >= n) FormatError(format);
        if (format[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // Optional argument index "N:".
        size_t save = i;
        int number = 0;
        if (readNumber(number) && i < n && format[i] == ':') {
            argIndex = size_t(number);
            ++i;
        } else {
            i = save;
        }
        bool left = false, zero = false, plus = false, space = false, alt = false;
        for (; i < n; ++i) {
            char f = format[i];
            if (f == '-')
                left = true;
            else if (f == '0')
                zero = true;
            else if (f == '+')
                plus = true;
            else if (f == ' ')
                space = true;
            else if (f == '#')
                alt = true;
            else
                break;
        }
        int width = 0;
        if (i < n && format[i] == '*') {
            ++i;
            int64_t w = ArgAsInt(nextArg(), format);
            if (w < 0) {
                left = true;
                w = -w;
            }
            width = int(std::min<int64_t>(w, 100000));
        } else {
            readNumber(width);
        }
        int precision = -1;
        if (i < n && format[i] == '.') {
            ++i;
            if (i < n && format[i] == '*') {
                ++i;
                int64_t p = ArgAsInt(nextArg(), format);
                precision = p < 0 ? -1 : int(std::min<int64_t>(p, 100000));
            } else {
                readNumber(precision);
            }
        }
        while (i < n &&
               (format[i] == 'l' || format[i] == 'h' || format[i] == 'L' || format[i] == 'q' ||
                format[i] == 'j' || format[i] == 'z' || format[i] == 't'))
            ++i;
        if (i >= n) FormatError(format);
        char type = format[i++];
        std::string body;
        bool numeric = true;
        switch (type) {
        case 'd':
        case 'i':
        case 'D': {
            const TFormatArg& a = nextArg();
            std::string digits;
            bool neg = false;
            if (a.kind() == TFormatArg::Kind::UInt) {
                digits = std::to_string(a.asUInt());
            } else {
                int64_t v = ArgAsInt(a, format);
                neg = v < 0;
                digits = neg ? std::to_string(uint64_t(0) - uint64_t(v)) : std::to_string(v);
            }
            if (precision >= 0 && int(digits.size()) < precision)
                digits.insert(0, size_t(precision - int(digits.size())), '0');
            body = (neg ? "-" : plus ? "+" : space ? " " : "") + digits;
            break;
        }
        case 'u':
        case 'U':
        case 'x':
        case 'X':
        case 'o': {
            uint64_t v = ArgAsUnsigned(nextArg(), format);
            unsigned base = (type == 'x' || type == 'X') ? 16 : type == 'o' ? 8 : 10;
            body = ToBase(v, base, type == 'X');
            if (precision >= 0 && int(body.size()) < precision)
                body.insert(0, size_t(precision - int(body.size())), '0');
            if (alt && v != 0 && base == 16) body.insert(0, type == 'X' ? "0X" : "0x");
            break;
        }
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G': {
            double v = ArgAsFloat(nextArg(), format);
            body = FormatFloat(type, v, precision, plus, space, alt);
            break;
        }
        case 'n':
        case 'N':
        case 'm':
        case 'M': {
            double v = ArgAsFloat(nextArg(), format);
            body = GroupThousands(
                FormatFloat('f', v, precision < 0 ? 2 : precision, false, false, false));
            break;
        }
        case 's':
        case 'S': {
            const TFormatArg& a = nextArg();
            if (a.kind() != TFormatArg::Kind::String) FormatError(format);
            body = a.asString();
            if (precision >= 0 && size_t(precision) < body.size()) body.resize(size_t(precision));
            numeric = false;
            break;
        }
        case 'c':
        case 'C': {
            const TFormatArg& a = nextArg();
            if (a.kind() == TFormatArg::Kind::String)
                body = a.asString().substr(0, 1);
            else
                AppendUtf8(body, char32_t(ArgAsUnsigned(a, format)));
            numeric = false;
            break;
        }
        case 'p':
        case 'P': {
            const TFormatArg& a = nextArg();
            if (a.kind() == TFormatArg::Kind::String) FormatError(format);
            body = IntToHex(ArgAsInt(a, format), int(sizeof(void*) * 2));
            numeric = false;
            break;
        }
        default:
            FormatError(format);
        }
        int pad = width - int(body.size());
        if (pad > 0) {
            if (left) {
                body.append(size_t(pad), ' ');
            } else if (zero && numeric && precision < 0) {
                size_t at = 0;
                if (!body.empty() && (body[0] == '-' || body[0] == '+' || body[0] == ' ')) at = 1;
                if (body.compare(at, 2, "0x") == 0 || body.compare(at, 2, "0X") == 0) at += 2;
                body.insert(at, size_t(pad), '0');
            } else {
                body.insert(0, size_t(pad), ' ');
            }
        }
        out += body;
    }
    return out;
}

// ---------------------------------------------------------------------------
// Text

std::string Trim(std::string_view s) {
    return std::string(TrimView(s));
}

std::string TrimLeft(std::string_view s) {
    size_t b = 0;
    while (b < s.size() && IsBlank(s[b]))
        ++b;
    return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
    size_t e = s.size();
    while (e > 0 && IsBlank(s[e - 1]))
        --e;
    return std::string(s.substr(0, e));
}

namespace {

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}
char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Decodes one code point; broken bytes come back one at a time as themselves
// (marked by `broken`) so that case mapping never loses data.
uint32_t DecodeAt(std::string_view s, size_t& i, bool& broken) {
    broken = false;
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        ++i;
        return c;
    }
    size_t len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + len > s.size()) {
        broken = true;
        ++i;
        return c;
    }
    uint32_t v = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t k = 1; k < len; ++k) {
        unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) {
            broken = true;
            ++i;
            return c;
        }
        v = (v << 6) | (cc & 0x3F);
    }
    static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (v < kMin[len] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) {
        broken = true;
        ++i;
        return c;
    }
    i += len;
    return v;
}

uint32_t ToUpperCp(uint32_t c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c < 0x80) return c;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c % 2 == 0) ? c - 1 : c;
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return (c % 2 == 1) ? c - 1 : c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
    if (c >= 0x430 && c <= 0x44F) return c - 32;
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    return c;
}

uint32_t ToLowerCp(uint32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c < 0x80) return c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c == 0x178) return 0xFF;
    if (c >= 0x100 && c <= 0x17F) {
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c % 2 == 1) ? c + 1 : c;
        if (c == 0x130 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

template <class F> std::string MapCodePoints(std::string_view s, F map) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        bool broken = false;
        uint32_t cp = DecodeAt(s, i, broken);
        if (broken)
            out += char(cp);
        else
            AppendUtf8(out, char32_t(map(cp)));
    }
    return out;
}

} // namespace

std::string UpperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = AsciiUpper(c);
    return out;
}

std::string LowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = AsciiLower(c);
    return out;
}

std::string AnsiUpperCase(std::string_view s) {
    return MapCodePoints(s, ToUpperCp);
}
std::string AnsiLowerCase(std::string_view s) {
    return MapCodePoints(s, ToLowerCp);
}

int CompareStr(std::string_view a, std::string_view b) {
    int r = a.compare(b);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int CompareText(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(AsciiUpper(a[i]));
        unsigned char y = static_cast<unsigned char>(AsciiUpper(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareText(a, b) == 0;
}

int AnsiCompareText(std::string_view a, std::string_view b) {
    return CompareStr(AnsiLowerCase(a), AnsiLowerCase(b));
}

bool AnsiSameText(std::string_view a, std::string_view b) {
    return AnsiCompareText(a, b) == 0;
}

std::string StringReplace(std::string_view s, std::string_view oldPattern,
                          std::string_view newPattern, TReplaceFlags flags) {
    if (oldPattern.empty()) return std::string(s);
    const bool ignoreCase = (flags & rfIgnoreCase) != 0;
    std::string hay = ignoreCase ? UpperCase(s) : std::string(s);
    std::string needle = ignoreCase ? UpperCase(oldPattern) : std::string(oldPattern);
    std::string out;
    size_t pos = 0;
    for (;;) {
        size_t at = hay.find(needle, pos);
        if (at == std::string::npos) break;
        out.append(s.substr(pos, at - pos));
        out.append(newPattern);
        pos = at + needle.size();
        if (!(flags & rfReplaceAll)) break;
    }
    out.append(s.substr(pos));
    return out;
}

size_t Pos(std::string_view sub, std::string_view s) {
    return PosEx(sub, s, 1);
}

size_t PosEx(std::string_view sub, std::string_view s, size_t offset) {
    if (sub.empty() || offset < 1 || offset > s.size()) return 0;
    size_t at = s.find(sub, offset - 1);
    return at == std::string_view::npos ? 0 : at + 1;
}

std::string Copy(std::string_view s, size_t index, size_t count) {
    if (index < 1) index = 1;
    if (index > s.size()) return {};
    return std::string(s.substr(index - 1, count));
}

bool StartsText(std::string_view prefix, std::string_view s) {
    return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

bool EndsText(std::string_view suffix, std::string_view s) {
    return s.size() >= suffix.size() && SameText(s.substr(s.size() - suffix.size()), suffix);
}

bool StartsStr(std::string_view prefix, std::string_view s) {
    return s.starts_with(prefix);
}
bool EndsStr(std::string_view suffix, std::string_view s) {
    return s.ends_with(suffix);
}

std::string QuotedStr(std::string_view s) {
    return AnsiQuotedStr(s, '\'');
}

std::string AnsiQuotedStr(std::string_view s, char quote) {
    std::string out(1, quote);
    for (char c : s) {
        out += c;
        if (c == quote) out += quote;
    }
    out += quote;
    return out;
}

std::string AnsiExtractQuotedStr(std::string_view s, size_t& pos, char quote) {
    if (pos >= s.size() || s[pos] != quote) return {};
    std::string out;
    size_t i = pos + 1;
    while (i < s.size()) {
        if (s[i] == quote) {
            if (i + 1 < s.size() && s[i + 1] == quote) {
                out += quote;
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        out += s[i++];
    }
    pos = i;
    return out;
}

std::string AnsiDequotedStr(std::string_view s, char quote) {
    size_t pos = 0;
    if (s.empty() || s[0] != quote) return std::string(s);
    std::string out = AnsiExtractQuotedStr(s, pos, quote);
    // Text that is not one whole quoted part comes back unchanged.
    if (pos != s.size() || s.size() < 2 || s.back() != quote) return std::string(s);
    return out;
}

// ---------------------------------------------------------------------------
// Files and paths

bool FileExists(const std::string& fileName) {
    return os::IsFile(fileName);
}
bool DirectoryExists(const std::string& dirName) {
    return os::IsDirectory(dirName);
}
bool ForceDirectories(const std::string& dirName) {
    return os::MakeDirectories(ExcludeTrailingPathDelimiter(dirName));
}
bool CreateDir(const std::string& dirName) {
    return os::MakeDirectory(dirName);
}
bool RemoveDir(const std::string& dirName) {
    return os::RemoveDirectory(dirName);
}
bool DeleteFile(const std::string& fileName) {
    return os::RemoveFile(fileName);
}
bool RenameFile(const std::string& oldName, const std::string& newName) {
    return os::RenamePath(oldName, newName);
}
int64_t FileSize(const std::string& fileName) {
    return os::FileSizeOf(fileName);
}

std::string ExtractFilePath(std::string_view fileName) {
    size_t slash = fileName.rfind(PathDelim);
    return slash == std::string_view::npos ? std::string()
                                           : std::string(fileName.substr(0, slash + 1));
}

std::string ExtractFileDir(std::string_view fileName) {
    size_t slash = fileName.rfind(PathDelim);
    if (slash == std::string_view::npos) return {};
    if (slash == 0) return "/";
    return std::string(fileName.substr(0, slash));
}

std::string ExtractFileName(std::string_view fileName) {
    size_t slash = fileName.rfind(PathDelim);
    return std::string(slash == std::string_view::npos ? fileName : fileName.substr(slash + 1));
}

std::string ExtractFileExt(std::string_view fileName) {
    size_t slash = fileName.rfind(PathDelim);
    size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    return std::string(fileName.substr(dot));
}

std::string ChangeFileExt(std::string_view fileName, std::string_view extension) {
    size_t slash = fileName.rfind(PathDelim);
    size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        dot = fileName.size();
    return std::string(fileName.substr(0, dot)) + std::string(extension);
}

std::string IncludeTrailingPathDelimiter(std::string_view s) {
    std::string out(s);
    if (out.empty() || out.back() != PathDelim) out += PathDelim;
    return out;
}

std::string ExcludeTrailingPathDelimiter(std::string_view s) {
    std::string out(s);
    while (out.size() > 1 && out.back() == PathDelim)
        out.pop_back();
    return out;
}

std::string GetCurrentDir() {
    return os::CurrentDirectory();
}

std::string ExpandFileName(std::string_view fileName) {
    std::string name(fileName);
    if (name.empty()) return IncludeTrailingPathDelimiter(GetCurrentDir());
    if (name[0] != PathDelim) name = IncludeTrailingPathDelimiter(GetCurrentDir()) + name;
    std::string out = std::filesystem::path(name).lexically_normal().string();
    return out.empty() ? "/" : out;
}

// ---------------------------------------------------------------------------
// Date and time

namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yy + (m <= 2));
}

// Splits a date-time into whole days and milliseconds of the day; the time
// of a negative date-time is its fraction's magnitude.
void SplitDateTime(TDateTime dt, int64_t& days, int64_t& msOfDay) {
    if (!std::isfinite(dt) || std::fabs(dt) > 3e6) {
        days = 0;
        msOfDay = 0;
        return;
    }
    double whole = std::trunc(dt);
    days = int64_t(whole);
    msOfDay = int64_t(std::llround(std::fabs(dt - whole) * MSecsPerDay));
    if (msOfDay >= int64_t(MSecsPerDay)) msOfDay = int64_t(MSecsPerDay) - 1;
}

const char* const kShortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
const char* const kShortDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kLongDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

} // namespace

TDateTime Now() {
    return os::NowLocalDateTime();
}
TDateTime Date() {
    return std::floor(Now());
}
TDateTime Time() {
    TDateTime n = Now();
    return n - std::floor(n);
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        return false;
    result = double(DaysFromCivil(year, unsigned(month), unsigned(day)) + UnixDateDelta);
    return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result) {
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 ||
        msec > 999)
        return false;
    result = (((hour * 60.0 + min) * 60.0 + sec) * 1000.0 + msec) / MSecsPerDay;
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime r = 0;
    if (!TryEncodeDate(year, month, day, r)) throw EConvertError("Invalid argument to date encode");
    return r;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
    TDateTime r = 0;
    if (!TryEncodeTime(hour, min, sec, msec, r))
        throw EConvertError("Invalid argument to time encode");
    return r;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec) {
    TDateTime d = EncodeDate(year, month, day);
    TDateTime t = EncodeTime(hour, min, sec, msec);
    return d >= 0 ? d + t : d - t;
}

void DecodeDate(TDateTime dt, int& year, int& month, int& day) {
    int64_t days = 0, ms = 0;
    SplitDateTime(dt, days, ms);
    CivilFromDays(days - UnixDateDelta, year, month, day);
}

void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec) {
    int64_t days = 0, ms = 0;
    SplitDateTime(dt, days, ms);
    hour = int(ms / 3600000);
    min = int(ms / 60000 % 60);
    sec = int(ms / 1000 % 60);
    msec = int(ms % 1000);
}

int DayOfWeek(TDateTime dt) {
    int64_t days = 0, ms = 0;
    SplitDateTime(dt, days, ms);
    // 1899-12-30 was a Saturday.
    int64_t w = (days + 6) % 7;
    if (w < 0) w += 7;
    return int(w) + 1;
}

int64_t DaysBetween(TDateTime a, TDateTime b) {
    double d = std::fabs(a - b);
    if (!std::isfinite(d) || d > 1e9) return 0;
    // A hair of tolerance so that whole days computed from times count whole.
    return int64_t(std::floor(d + 1.0 / MSecsPerDay / 2));
}

TDateTime IncDay(TDateTime dt, int days) {
    return dt + days;
}

int64_t DateTimeToUnix(TDateTime dt) {
    double s = (dt - double(UnixDateDelta)) * SecsPerDay;
    if (!std::isfinite(s) || std::fabs(s) > 9e18) return 0;
    return int64_t(std::llround(s));
}

TDateTime UnixToDateTime(int64_t unixSeconds) {
    return double(unixSeconds) / SecsPerDay + double(UnixDateDelta);
}

std::string FormatDateTime(std::string_view format, TDateTime dt) {
    int year, month, day, hour, min, sec, msec;
    DecodeDate(dt, year, month, day);
    DecodeTime(dt, hour, min, sec, msec);
    const std::string lower = LowerCase(format);
    const bool twelve = lower.find("am/pm") != std::string::npos ||
                        lower.find("a/p") != std::string::npos ||
                        lower.find("ampm") != std::string::npos;
    auto two = [](int v) { return Format("%.2d", v); };
    std::string out;
    bool lastWasHour = false;
    size_t i = 0;
    const size_t n = format.size();
    auto run = [&](char c) {
        size_t k = i;
        while (k < n && AsciiLower(format[k]) == c)
            ++k;
        return k - i;
    };
    while (i < n) {
        char c = format[i];
        char lc = AsciiLower(c);
        if (c == '"' || c == '\'') {
            size_t end = format.find(c, i + 1);
            if (end == std::string_view::npos) end = n;
            out.append(format.substr(i + 1, end - i - 1));
            i = end < n ? end + 1 : n;
            continue;
        }
        if (lower.compare(i, 5, "am/pm") == 0) {
            out += hour < 12 ? "am" : "pm";
            if (format[i] == 'A') out = out.substr(0, out.size() - 2) + (hour < 12 ? "AM" : "PM");
            i += 5;
            continue;
        }
        if (lower.compare(i, 4, "ampm") == 0) {
            out += hour < 12 ? "AM" : "PM";
            i += 4;
            continue;
        }
        if (lower.compare(i, 3, "a/p") == 0) {
            out += hour < 12 ? (c == 'A' ? "A" : "a") : (c == 'A' ? "P" : "p");
            i += 3;
            continue;
        }
        int dispHour = hour;
        if (twelve) {
            dispHour = hour % 12;
            if (dispHour == 0) dispHour = 12;
        }
        size_t len = run(lc);
        switch (lc) {
        case 'y':
            out += len <= 2 ? two(year % 100) : Format("%.4d", year);
            lastWasHour = false;
            break;
        case 'm':
            if (lastWasHour && len <= 2) {
                out += len == 1 ? std::to_string(min) : two(min);
            } else if (len == 1) {
                out += std::to_string(month);
            } else if (len == 2) {
                out += two(month);
            } else if (len == 3) {
                out += kShortMonths[month - 1];
            } else {
                out += kLongMonths[month - 1];
            }
            lastWasHour = false;
            break;
        case 'd':
            if (len == 1)
                out += std::to_string(day);
            else if (len == 2)
                out += two(day);
            else if (len == 3)
                out += kShortDays[DayOfWeek(dt) - 1];
            else if (len == 4)
                out += kLongDays[DayOfWeek(dt) - 1];
            else if (len == 5)
                out += FormatDateTime("yyyy-mm-dd", dt);
            else
                out += FormatDateTime("dddd, mmmm d, yyyy", dt);
            lastWasHour = false;
            break;
        case 'h':
            out += len == 1 ? std::to_string(dispHour) : two(dispHour);
            lastWasHour = true;
            break;
        case 'n':
            out += len == 1 ? std::to_string(min) : two(min);
            lastWasHour = false;
            break;
        case 's':
            out += len == 1 ? std::to_string(sec) : two(sec);
            lastWasHour = false;
            break;
        case 'z':
            out += len >= 3 ? Format("%.3d", msec) : std::to_string(msec);
            lastWasHour = false;
            break;
        case 'c':
            out += FormatDateTime("yyyy-mm-dd hh:nn:ss", dt);
            len = 1;
            lastWasHour = false;
            break;
        case 't':
            out += len == 1 ? FormatDateTime("hh:nn", dt) : FormatDateTime("hh:nn:ss", dt);
            lastWasHour = false;
            break;
        default:
            out.append(format.substr(i, len == 0 ? 1 : 1));
            len = 1;
            break;
        }
        i += len;
    }
    return out;
}

std::string DateTimeToStr(TDateTime dt) {
    return FormatDateTime("yyyy-mm-dd hh:nn:ss", dt);
}
std::string DateToStr(TDateTime dt) {
    return FormatDateTime("yyyy-mm-dd", dt);
}

bool FileAge(const std::string& fileName, TDateTime& fileDateTime) {
    int64_t us = 0;
    if (!os::GetModifyTimeUs(fileName, us)) return false;
    int64_t offset = os::CurrentClock().LocalOffsetSeconds(us);
    fileDateTime = os::UnixUsToDateTime(us + offset * 1000000);
    return true;
}

bool FileSetDate(const std::string& fileName, TDateTime localDateTime) {
    double us = (localDateTime - double(UnixDateDelta)) * SecsPerDay * 1e6;
    if (!std::isfinite(us) || std::fabs(us) > 9e18) return false;
    int64_t local = int64_t(std::llround(us));
    int64_t offset = os::CurrentClock().LocalOffsetSeconds(local);
    return os::SetModifyTimeUs(fileName, local - offset * 1000000);
}

// ---------------------------------------------------------------------------
// Directory listing

bool MatchesMask(std::string_view name, std::string_view mask) {
    // Iterative wildcard match with one backtrack point.
    size_t n = 0, m = 0, starM = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || AsciiUpper(mask[m]) == AsciiUpper(name[n]))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (starM != std::string_view::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

int FindFirst(const std::string& path, int attr, TSearchRec& rec) {
    rec.pending.clear();
    std::string dir = ExtractFilePath(path);
    std::string mask = ExtractFileName(path);
    if (mask.empty()) mask = "*";
    // "*.*" matches names without a dot too.
    if (mask == "*.*") mask = "*";
    const int excluded = (faHidden | faSysFile | faVolumeID | faDirectory) & ~attr;
    std::vector<os::DirEntry> entries = os::ListDirectory(dir.empty() ? "." : dir);
    std::sort(entries.begin(), entries.end(),
              [](const os::DirEntry& a, const os::DirEntry& b) { return a.name < b.name; });
    for (const os::DirEntry& e : entries) {
        if (!MatchesMask(e.name, mask)) continue;
        int a = e.isDirectory ? faDirectory : faArchive;
        if (e.readOnly) a |= faReadOnly;
        if (!e.name.empty() && e.name[0] == '.') a |= faHidden;
        if (e.isSymlink) a |= faSymLink;
        if (a & excluded) continue;
        TSearchRec r;
        r.Name = e.name;
        r.Size = e.size;
        r.Attr = a;
        int64_t offset = os::CurrentClock().LocalOffsetSeconds(e.modifyUs);
        r.Time = os::UnixUsToDateTime(e.modifyUs + offset * 1000000);
        rec.pending.push_back(std::move(r));
    }
    std::reverse(rec.pending.begin(), rec.pending.end());
    return FindNext(rec) == 0 ? 0 : 2;
}

int FindNext(TSearchRec& rec) {
    if (rec.pending.empty()) return 18;
    TSearchRec next = std::move(rec.pending.back());
    rec.pending.pop_back();
    rec.Name = std::move(next.Name);
    rec.Size = next.Size;
    rec.Attr = next.Attr;
    rec.Time = next.Time;
    return 0;
}

void FindClose(TSearchRec& rec) {
    rec.pending.clear();
}

namespace {
std::atomic<uint32_t> randSeed{0};
} // namespace

int Random(int Range) {
    if (Range <= 0) return 0;
    // A linear congruential step; the high bits scaled to the range.
    uint32_t s = randSeed.load(std::memory_order_relaxed) * 134775813u + 1u;
    randSeed.store(s, std::memory_order_relaxed);
    return int((uint64_t(s) * uint64_t(Range)) >> 32);
}

void SetRandSeed(uint32_t Seed) {
    randSeed.store(Seed, std::memory_order_relaxed);
}

void Randomize() {
    SetRandSeed(uint32_t(std::chrono::steady_clock::now().time_since_epoch().count()));
}
