// Form encoding of text in addresses and post bodies: letters, digits and
// @ * . _ - $ ! ' ( ) are kept, a space becomes "+", every other byte "%" and
// two upper-case hexadecimal digits.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Which bytes of the text are encoded, and what decoded bytes are.
enum class TFormBytes {
    UTF8, // the UTF-8 text itself
    Ansi, // the text converted to the ANSI code page
};

// Encodes the bytes as they are.
std::string FormEncodeBytes(std::string_view bytes);
// Encodes UTF-8 text through the chosen bytes.
std::string FormEncode(std::string_view text, TFormBytes bytes);

// "+" is a space and "%" with two hexadecimal digits (either case) a byte.
// Nothing when a "%" is not followed by two hexadecimal digits.
std::optional<std::string> FormDecodeBytes(std::string_view encoded);
// Decodes and reads the bytes back as UTF-8 text (broken UTF-8 or unmappable
// ANSI bytes become replacement characters).
std::optional<std::string> FormDecode(std::string_view encoded, TFormBytes bytes);
