#include "ini/IniFile.h"

#include <memory>

#include "platform/PrivateProfile.h"
#include "platform/Unicode.h"

namespace harmoload {
namespace {

// The buffer starts at this many characters and doubles until the value fits, so that a long
// value costs a few reads of the file rather than one for every 512 characters.
constexpr uint32_t kFirstValueBufferSize = 512;

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

    uint32_t size = kFirstValueBufferSize;
    for (;;) {
        // The service writes the terminating zero itself.
        const auto buffer = std::make_unique_for_overwrite<char16_t[]>(size + 1);
        ++serviceReads_;
        const uint32_t length = ReadPrivateProfileString(wideSection, wideKey, wideDefault,
                                                         buffer.get(), size, filePath);
        // A value that filled the buffer may have been cut: read again with more room.
        if (length + 1 < size) {
            return Utf16ToUtf8(std::u16string_view(buffer.get(), length));
        }
        // The service counts in 32 bits: past 2^31 characters there is no larger buffer to ask
        // for, and what was read is all there is.
        if (size > UINT32_MAX / 2) {
            return Utf16ToUtf8(std::u16string_view(buffer.get(), length));
        }
        size *= 2;
    }
}

}  // namespace harmoload
