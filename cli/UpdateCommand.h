#pragma once
// harmoload-cli update: the dialog's whole update run, pair by pair, then the result frame.

#include <iosfwd>
#include <string>

namespace harmoload {

class IniFile;

struct UpdateOptions {
    std::string packagePath;
    bool assumeYes = false;  // answers every question Yes
    bool json = false;
    bool simulate = false;  // the built-in simulated instrument, described by HARMOLOAD_SIM
    std::string tracePath;  // empty: no trace
};

// 0 when every pair was written, 1 when the package or a pair failed, 3 when no instrument
// answers. in is asked yes/no questions when it is a terminal.
int RunUpdateCommand(const UpdateOptions& options, const IniFile& languageTable, std::istream& in,
                     std::ostream& out, std::ostream& err);

}  // namespace harmoload
