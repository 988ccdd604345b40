#include "classlib/urlencode.h"

#include "platform/os/codepage.h"

namespace {

bool Kept(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
    case '@':
    case '*':
    case '.':
    case '_':
    case '-':
    case '$':
    case '!':
    case '\'':
    case '(':
    case ')':
        return true;
    default:
        return false;
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

std::string FormEncodeBytes(std::string_view bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char ch : bytes) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (Kept(c)) {
            out += char(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

std::string FormEncode(std::string_view text, TFormBytes bytes) {
    return FormEncodeBytes(bytes == TFormBytes::Ansi ? Utf8ToAnsi(text) : std::string(text));
}

std::optional<std::string> FormDecodeBytes(std::string_view encoded) {
    std::string out;
    out.reserve(encoded.size());
    for (size_t i = 0; i < encoded.size(); ++i) {
        char c = encoded[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= encoded.size()) return std::nullopt;
            int hi = HexValue(encoded[i + 1]);
            int lo = HexValue(encoded[i + 2]);
            if (hi < 0 || lo < 0) return std::nullopt;
            out += char(hi * 16 + lo);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> FormDecode(std::string_view encoded, TFormBytes bytes) {
    std::optional<std::string> raw = FormDecodeBytes(encoded);
    if (!raw) return std::nullopt;
    return bytes == TFormBytes::Ansi ? AnsiToUtf8(*raw) : SanitizeUtf8(*raw);
}
