#pragma once

#include <string>

namespace harmoload {

// The locale name in force for a category, as the C library would choose it from the
// environment: the first of LC_ALL, the category's own variable and LANG that is set and not
// empty; "C" when none is.
std::string LocaleNameFromEnvironment(const char* categoryVariable);

}  // namespace harmoload
