#pragma once
// Opening an update package: every header sum, then every configuration file's sum, then every
// data file's sum, in that order; then the texts of the package header.

#include <string>

#include "ini/IniFile.h"
#include "package/PackageRecord.h"
#include "platform/Notifier.h"

namespace harmoload {

// The check that failed, or None.
enum class PackageFault {
    None,
    OpenFailed,
    FileHeaderSum,
    DataHeaderSum,
    ConfigFile1Sum,
    ConfigFile2Sum,
    ConfigFile3Sum,
    DataFile1Sum,
    DataFile2Sum,
    DataFile3Sum,
};

// The sum fault of pair pairIndex's (0 to 2) configuration file or data file.
PackageFault ConfigFileSumFault(size_t pairIndex);
PackageFault DataFileSumFault(size_t pairIndex);

// The language key of the fault's message ("IDS_ERR_..."); empty for None.
const char* PackageFaultKey(PackageFault fault);

// Runs the checks on the file at path, filling record's pair count and pair table as they are
// read; on a failure the record is left as far as it got. A range that runs past the end of the
// file or whose end overflows 32 bits fails its own check.
PackageFault VerifyPackage(const std::string& path, PackageRecord& record);

// Verifies, then reads the hold keys, model and version. package is replaced only on success,
// so a package that fails never mixes with the one opened before.
PackageFault ReadPackage(const std::string& path, OpenedPackage& package);

// The message shown for a fault: the language text of its key, a line break and the package's
// full path; caption "Error", an OK button, no icon.
Message PackageFaultMessage(const IniFile& languageTable, PackageFault fault,
                            const std::string& path);

// Verification as the dialog runs it: a failure is shown through the notifier.
class PackageVerifier {
  public:
    PackageVerifier(const IniFile& languageTable, Notifier& notifier)
        : languageTable_(languageTable), notifier_(notifier) {}

    bool verify(const std::string& path, PackageRecord& record);
    bool openAndRead(const std::string& path, OpenedPackage& package);

    PackageFault lastFault() const { return lastFault_; }

  private:
    bool report(PackageFault fault, const std::string& path);

    const IniFile& languageTable_;
    Notifier& notifier_;
    PackageFault lastFault_ = PackageFault::None;
};

}  // namespace harmoload
