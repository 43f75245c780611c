#pragma once
// The instruction line of the dialog: what the user has to do next. Pure functions over the
// language table, shared by the dialog and harmoload-cli.

#include <array>
#include <string>

#include "ini/IniFile.h"

namespace harmoload {

// "Please hold A, B and C down and power on the instrument.": the package's hold keys (each
// possibly empty) listed with the language's separators. The keys A0, bB0, C1 (exactly so) are
// listed as A0, bB0, B0 and C1.
std::string HoldKeySentence(const IniFile& languageTable,
                            const std::array<std::string, 3>& holdKeys);

// The instruction text for the device and package state.
std::string InstructionText(const IniFile& languageTable, bool devicePresent, bool packageReady,
                            const std::array<std::string, 3>& holdKeys);

}  // namespace harmoload
