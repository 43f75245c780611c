#pragma once
// harmoload-cli info: a package verified as opening it in the dialog does, and what it holds.

#include <iosfwd>
#include <string>

namespace harmoload {

class IniFile;

// Prints what the dialog shows and the hold-key sentence, or on failure the dialog's message;
// with json one object. 0 when the package is valid, 1 when not.
int RunInfoCommand(const std::string& packagePath, bool json, const IniFile& languageTable,
                   std::ostream& out, std::ostream& err);

}  // namespace harmoload
