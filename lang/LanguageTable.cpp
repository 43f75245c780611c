#include "lang/LanguageTable.h"

#include "platform/Files.h"
#include "platform/SystemLanguage.h"

namespace harmoload {

bool IsChineseSystemLanguage() {
    return SystemDefaultLangId() == kChineseLangId;
}

std::string LanguageFileName(uint16_t langId) {
    return std::string("Language") + kPathSeparator +
           (langId == kChineseLangId ? "Chin.ini" : "Eng.ini");
}

std::string ExpandLineBreaks(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            result += '\n';
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string LookupText(const IniFile& table, std::string section, std::string key) {
    return ExpandLineBreaks(table.getString(section, key, std::nullopt));
}

std::array<std::string, 5> LookupDialogTexts(const IniFile& table) {
    std::array<std::string, 5> texts;
    for (size_t i = 0; i < kDialogTexts.size(); ++i) {
        texts[i] = LookupText(table, kLanguageSection, kDialogTexts[i].key);
    }
    return texts;
}

}  // namespace harmoload
