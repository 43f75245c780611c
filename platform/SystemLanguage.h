#pragma once

#include <cstdint>

namespace harmoload {

// The system's default language id (GetSystemDefaultLangID on Windows; from the locale
// variables LC_ALL, LC_MESSAGES and LANG elsewhere).
uint16_t SystemDefaultLangId();

// The language id a POSIX locale name stands for: zh_CN 0x0804, zh_TW 0x0404, zh_HK 0x0C04,
// zh_SG 0x1004, anything else English (0x0409).
uint16_t LangIdForLocaleName(const char* localeName);

}  // namespace harmoload
