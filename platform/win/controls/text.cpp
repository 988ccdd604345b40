#include "platform/win/controls/text.h"

#include "platform/os/codepage.h"

namespace winctl {
namespace {

// Escapes of single bytes that are not UTF-8 (never produced by valid UTF-8,
// which cannot hold surrogates).
constexpr char32_t kByteEscape = 0xDC00;

bool isEscape(char32_t c) {
    return c >= kByteEscape + 0x80 && c <= kByteEscape + 0xFF;
}

} // namespace

std::u32string DecodeText(const std::string& s) {
    std::u32string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        int n = b < 0x80             ? 0
                : (b & 0xE0) == 0xC0 ? 1
                : (b & 0xF0) == 0xE0 ? 2
                : (b & 0xF8) == 0xF0 ? 3
                                     : -1;
        char32_t c = n == 0 ? b : n == 1 ? (b & 0x1F) : n == 2 ? (b & 0x0F) : (b & 0x07);
        bool ok = n >= 0;
        if (n > 0) {
            ok = i + size_t(n) < s.size();
            for (int k = 1; ok && k <= n; ++k) {
                unsigned char cb = static_cast<unsigned char>(s[i + k]);
                if ((cb & 0xC0) != 0x80) ok = false;
                c = (c << 6) | (cb & 0x3F);
            }
            // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
            static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
            if (ok && (c < kMin[n] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)) ok = false;
        }
        if (!ok) {
            out += kByteEscape + b;
            ++i;
            continue;
        }
        out += c;
        i += size_t(n) + 1;
    }
    return out;
}

std::string EncodeText(const std::u32string& text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        if (isEscape(c))
            out += char(c - kByteEscape);
        else
            AppendUtf8Unchecked(out, c);
    }
    return out;
}

std::string DisplayText(const std::u32string& text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text)
        AppendUtf8Unchecked(out, isEscape(c) ? char32_t(0xFFFD) : c);
    return out;
}

} // namespace winctl
