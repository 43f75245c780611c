#pragma once
// harmoload-cli pack: builds an update package with every sum filled in.

#include <iosfwd>
#include <string>
#include <vector>

#include "package/PackageBuilder.h"

namespace harmoload {

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

// Every refusal is a message on err and leaves no output file: 0 built, 1 refused, 2 a pair
// argument that cannot be read.
int RunPackCommand(const PackOptions& options, std::ostream& err);

}  // namespace harmoload
