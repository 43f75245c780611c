#include "platform/posix/Locale.h"

#include <cstdlib>

namespace harmoload {

std::string LocaleNameFromEnvironment(const char* categoryVariable) {
    for (const char* name : {"LC_ALL", categoryVariable, "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "C";
}

}  // namespace harmoload
