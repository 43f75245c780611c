#pragma once
// The program's UTF-8 text as the UTF-16 of the Windows API, and back.

#include <string>
#include <string_view>

#include "platform/Unicode.h"

namespace harmoload::ui {

inline std::wstring Wide(std::string_view utf8) {
    const std::u16string text = Utf8ToUtf16(utf8);
    return std::wstring(text.begin(), text.end());
}

inline std::string Utf8(std::wstring_view wide) {
    return Utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

}  // namespace harmoload::ui
