#pragma once
// The subcommands of harmoload-cli, apart from argument parsing, so that tests can run them.

#include <iosfwd>
#include <string>
#include <vector>

#include "ini/IniFile.h"
#include "package/PackageBuilder.h"

namespace harmoload {

// Exit codes shared by the subcommands.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// The path made absolute: the "full path" that messages name.
std::string FullPath(const std::string& path);

// info PACKAGE [--json]: verifies the package as opening it in the dialog does and prints what
// the dialog shows and the hold-key sentence; on failure prints the dialog's message.
int RunInfo(const std::string& packagePath, bool json, const IniFile& languageTable,
            std::ostream& out, std::ostream& err);

// CODE:CONFIG:DATA. The code is everything before the first colon; CONFIG and DATA are split at
// the first colon that is not a drive letter's ("C:\..."). False when it has no such colon.
bool ParsePairArgument(const std::string& argument, PackagePair& pair);

struct PackOptions {
    std::string outPath;
    std::string model;
    std::string version;
    std::vector<std::string> holdKeys;
    std::vector<std::string> pairs;  // CODE:CONFIG:DATA each
};

// pack: builds the package; every refusal is a message on err and leaves no output file.
int RunPack(const PackOptions& options, std::ostream& err);

}  // namespace harmoload
