#pragma once
// The platform's private-profile (INI) service: GetPrivateProfileStringW on Windows, our own
// reader with the same observable behaviour elsewhere.

#include <cstdint>
#include <string>

namespace harmoload {

// Copies the value of key in section of the file at path (or, when there is none, the default)
// into buffer as at most size - 1 UTF-16 units and a terminating zero, and returns the number
// of units copied, as GetPrivateProfileStringW does. size 0 copies nothing and returns 0.
uint32_t ReadPrivateProfileString(const std::u16string& section, const std::u16string& key,
                                  const std::u16string& defaultText, char16_t* buffer,
                                  uint32_t size, const std::string& path);

}  // namespace harmoload
