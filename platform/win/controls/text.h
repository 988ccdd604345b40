// Text helpers of the standard controls: UTF-8 to code points and back with
// bytes that are not UTF-8 kept (each becomes one escape code point and turns
// back into the same byte), and what is shown for them.
#pragma once

#include <string>

namespace winctl {

std::u32string DecodeText(const std::string& utf8);
std::string EncodeText(const std::u32string& text);
// As EncodeText, but bytes that were not UTF-8 show as U+FFFD.
std::string DisplayText(const std::u32string& text);

} // namespace winctl
