#include "platform/PrivateProfile.h"

#include <windows.h>

#include "platform/Unicode.h"

namespace harmoload {
namespace {

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace

uint32_t ReadPrivateProfileString(const std::u16string& section, const std::u16string& key,
                                  const std::u16string& defaultText, char16_t* buffer,
                                  uint32_t size, const std::string& path) {
    const std::u16string widePath = Utf8ToUtf16(path);
    return GetPrivateProfileStringW(Wide(section), Wide(key), Wide(defaultText),
                                    reinterpret_cast<wchar_t*>(buffer), size, Wide(widePath));
}

}  // namespace harmoload
