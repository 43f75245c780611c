#include "ini/IniFile.h"

#include <vector>

#include "platform/PrivateProfile.h"
#include "platform/Unicode.h"

namespace harmoload {
namespace {

// The buffer starts at this many characters and grows by as many until the value fits.
constexpr uint32_t kValueBufferStep = 512;

}  // namespace

void IniFile::setFile(std::optional<std::string_view> path) {
    if (path) {
        path_ = std::string(*path);
    } else if (path_) {
        path_->clear();
    }
}

std::string IniFile::readValue(std::optional<std::string_view> section,
                               std::optional<std::string_view> key,
                               std::optional<std::string_view> defaultText) const {
    if (!section || !key) {
        return defaultText ? std::string(*defaultText) : std::string();
    }
    const std::u16string wideSection = Utf8ToUtf16(*section);
    const std::u16string wideKey = Utf8ToUtf16(*key);
    const std::u16string wideDefault = Utf8ToUtf16(defaultText.value_or(""));
    const std::string filePath = path_.value_or("");

    uint32_t size = kValueBufferStep;
    for (;;) {
        std::vector<char16_t> buffer(size + 1, u'\0');
        const uint32_t length = ReadPrivateProfileString(wideSection, wideKey, wideDefault,
                                                         buffer.data(), size, filePath);
        // A value that filled the buffer may have been cut: read again with more room.
        if (length + 1 < size) {
            return Utf16ToUtf8(std::u16string_view(buffer.data(), length));
        }
        size += kValueBufferStep;
    }
}

}  // namespace harmoload
