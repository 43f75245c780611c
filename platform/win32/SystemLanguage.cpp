#include "platform/SystemLanguage.h"

#include <windows.h>

namespace harmoload {

uint16_t SystemDefaultLangId() {
    return GetSystemDefaultLangID();
}

}  // namespace harmoload
