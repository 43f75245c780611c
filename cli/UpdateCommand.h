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
    std::string tracePath;  // empty: no trace; on a bench, one per instrument (FILE-ID.ext)
    std::string device;     // the instrument with this device id alone
    bool all = false;       // every attached instrument, in parallel
};

// 0 when every pair was written, 1 when the package or a pair failed, 3 when no instrument
// answers. in is asked yes/no questions when it is a terminal. With several instruments
// attached, one is chosen by device id, or all are updated in parallel (0 only when every one
// succeeded, 1 when any failed), or the command refuses with 2 and writes nothing.
int RunUpdateCommand(const UpdateOptions& options, const IniFile& languageTable, std::istream& in,
                     std::ostream& out, std::ostream& err);

}  // namespace harmoload
