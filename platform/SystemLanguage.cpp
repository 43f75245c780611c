#include "platform/SystemLanguage.h"

#include <string_view>

namespace harmoload {

uint16_t LangIdForLocaleName(const char* localeName) {
    const std::string_view name = localeName != nullptr ? localeName : "";
    const std::string_view language = name.substr(0, 5);
    if (language == "zh_CN") {
        return 0x0804;
    }
    if (language == "zh_TW") {
        return 0x0404;
    }
    if (language == "zh_HK") {
        return 0x0C04;
    }
    if (language == "zh_SG") {
        return 0x1004;
    }
    return 0x0409;
}

}  // namespace harmoload
