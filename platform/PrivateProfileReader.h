#pragma once
// Our own reader of Windows private-profile (INI) files, observably the same as
// GetPrivateProfileStringW: text encoding by byte-order mark (UTF-16LE, UTF-16BE, UTF-8) or the
// ANSI code page; sections and keys matched without regard to letter case; the first section and
// the first key of a name win; blanks trimmed around names and values; one pair of matching
// quotes removed from a value; a line without '=' is a key with no value. Portable: the POSIX
// seam uses it, and the tests run it on both targets.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace harmoload {

struct ProfileKey {
    std::u16string name;
    std::optional<std::u16string> value;  // absent for a line without '='
};

struct ProfileSection {
    std::u16string name;  // empty for the keys before the first section header
    std::vector<ProfileKey> keys;
};

using ProfileDocument = std::vector<ProfileSection>;

// Decodes a profile file's bytes by their byte-order mark, else from the ANSI code page.
std::u16string DecodeProfileText(std::string_view bytes);

ProfileDocument ParsePrivateProfile(std::u16string_view text);

// The value the service finds for key in section: nullptr when the section or key is missing
// or the key has no value.
const std::u16string* FindProfileValue(const ProfileDocument& document, std::u16string_view section,
                                       std::u16string_view key);

// GetPrivateProfileStringW for one section and key: document is null when the file could not be
// opened at all (its folder is missing, it is a folder or it may not be read); a file that does
// not exist in an existing folder reads as an empty document.
uint32_t CopyProfileString(const ProfileDocument* document, std::u16string_view section,
                           std::u16string_view key, std::u16string_view defaultText,
                           char16_t* buffer, uint32_t size);

// White space as the service trims it from lines, names and values.
bool IsProfileSpace(char16_t c);

}  // namespace harmoload
