#include "platform/Files.h"

#include <windows.h>

#include <vector>

#include "platform/Unicode.h"

namespace harmoload {
namespace {

std::wstring Wide(const std::string& utf8) {
    const std::u16string wide = Utf8ToUtf16(utf8);
    return std::wstring(wide.begin(), wide.end());
}

}  // namespace

bool FileExists(const std::string& path) {
    return !path.empty() && GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool DeleteFileAt(const std::string& path) {
    return DeleteFileW(Wide(path).c_str()) != 0;
}

std::string ModuleFileName() {
    // MAX_PATH first, as the system usually needs; a longer path gets a larger buffer rather
    // than a truncated name that would point into the wrong folder.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return Utf16ToUtf8(
                std::u16string_view(reinterpret_cast<const char16_t*>(buffer.data()), length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace harmoload
