#pragma once
// The language tables: which file the dialog reads its texts from, and how a text is looked up.

#include <array>
#include <string>
#include <string_view>

#include "ini/IniFile.h"

namespace harmoload {

// The one section of the language files.
inline constexpr const char* kLanguageSection = "StringTable";

// Simplified Chinese (People's Republic of China); every other language reads English.
inline constexpr uint16_t kChineseLangId = 0x0804;

// True when the system's default language is Simplified Chinese (PRC).
bool IsChineseSystemLanguage();

// "Language\Chin.ini" for 0x0804, else "Language\Eng.ini", with the platform's separator.
std::string LanguageFileName(uint16_t langId);

// The text of key in section with each backslash-n turned into a line break.
std::string LookupText(const IniFile& table, std::string section, std::string key);

// Expands the two characters backslash and n, left to right, into a line feed.
std::string ExpandLineBreaks(std::string_view text);

// The dialog texts set at start-up, in the order they are set: control id (0 for the dialog's
// own title) and language key.
struct DialogText {
    int controlId;
    const char* key;
};
inline constexpr std::array<DialogText, 5> kDialogTexts = {{
    {0, "IDS_STRING_CAPTION"},
    {1000, "IDC_STC_GROUP1"},
    {1001, "IDC_STC_GROUP2"},
    {1010, "IDC_STC_PRO_MODEL"},
    {1011, "IDC_STC_VERSTION"},
}};

// The five dialog texts looked up in the language section, in kDialogTexts order.
std::array<std::string, 5> LookupDialogTexts(const IniFile& table);

}  // namespace harmoload
