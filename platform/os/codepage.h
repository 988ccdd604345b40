// The ANSI code page and text conversions. The ANSI code page is the
// locale's character set, and UTF-8 when the locale names none or only ASCII,
// so no title or path is lost. Tests may force a single-byte set.
#pragma once

#include <string>
#include <string_view>

// The iconv name of the ANSI code page ("UTF-8", "WINDOWS-1252", ...).
std::string AnsiCodePage();
// Forces the ANSI code page ("WINDOWS-1252"); an empty name returns to the
// locale's. False (and no change) when the name is unknown to iconv.
bool SetAnsiCodePage(const std::string& Name);
bool AnsiCodePageIsUtf8();

// Conversions never fail: UTF-8 that is broken becomes U+FFFD, a character
// the ANSI code page lacks becomes "?", ANSI bytes that map to nothing become
// U+FFFD, unpaired surrogates become U+FFFD.
std::string Utf8ToAnsi(std::string_view Utf8);
std::string AnsiToUtf8(std::string_view Ansi);
std::u16string Utf8ToUtf16(std::string_view Utf8);
std::string Utf16ToUtf8(std::u16string_view Utf16);
// Appends one code point as UTF-8; surrogates and values past U+10FFFF become U+FFFD.
void AppendUtf8(std::string& out, char32_t cp);
// Appends the value in UTF-8's byte pattern as it is, surrogates included: for
// text already checked, or carrying surrogates on purpose.
void AppendUtf8Unchecked(std::string& out, char32_t c);
// Replaces broken sequences of UTF-8 text by U+FFFD.
std::string SanitizeUtf8(std::string_view Utf8);
// True when the bytes are UTF-8 without a broken sequence.
bool IsValidUtf8(std::string_view Bytes);
// The single-byte fallback for text that is neither marked nor valid UTF-8:
// the bytes read as Windows-1252, one character per byte. The five bytes that
// set leaves unassigned keep their own code points, so no byte is lost.
std::string SingleByteFallbackToUtf8(std::string_view Bytes);
// Converts between any two iconv character sets, unmappable characters as "?".
std::string ConvertCharset(std::string_view Text, const std::string& From, const std::string& To);
