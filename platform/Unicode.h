#pragma once
// Conversions between the core's UTF-8 and the UTF-16 of Windows and of the language files.
// Invalid sequences become U+FFFD; nothing is ever dropped silently.

#include <string>
#include <string_view>

namespace harmoload {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace harmoload
