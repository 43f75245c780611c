#pragma once
// The system's ANSI code page: the 8-bit text of package headers and of 8-bit INI files.
// Windows uses CP_ACP; elsewhere the code page follows the locale (GBK for zh_CN, else
// Windows-1252).

#include <string>
#include <string_view>

namespace harmoload {

std::u16string AnsiToUtf16(std::string_view ansi);
std::string AnsiToUtf8(std::string_view ansi);

// Characters the code page cannot hold become '?'.
std::string Utf8ToAnsi(std::string_view utf8);

}  // namespace harmoload
