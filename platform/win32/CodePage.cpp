#include "platform/CodePage.h"

#include <windows.h>

#include "platform/Unicode.h"

namespace harmoload {

std::u16string AnsiToUtf16(std::string_view ansi) {
    if (ansi.empty()) {
        return {};
    }
    const int size = static_cast<int>(ansi.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
    std::u16string out(static_cast<size_t>(length), u'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, reinterpret_cast<wchar_t*>(out.data()),
                        length);
    return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
    return Utf16ToUtf8(AnsiToUtf16(ansi));
}

std::string Utf8ToAnsi(std::string_view utf8) {
    const std::u16string wide = Utf8ToUtf16(utf8);
    if (wide.empty()) {
        return {};
    }
    const auto* source = reinterpret_cast<const wchar_t*>(wide.data());
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(CP_ACP, 0, source, size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, source, size, out.data(), length, nullptr, nullptr);
    return out;
}

}  // namespace harmoload
