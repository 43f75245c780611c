#include "platform/SystemLanguage.h"

#include "platform/posix/Locale.h"

namespace harmoload {

uint16_t SystemDefaultLangId() {
    return LangIdForLocaleName(LocaleNameFromEnvironment("LC_MESSAGES").c_str());
}

}  // namespace harmoload
