#pragma once
// Building an update package from its parts, with every sum filled in.

#include <string>
#include <vector>

#include "platform/Notifier.h"

namespace harmoload {

struct PackagePair {
    std::string engineCode;  // UTF-8, at most 2 characters; "R1" for the packet-transfer engine
    std::string configPath;
    std::string dataPath;
};

struct PackageContents {
    std::string model;                  // UTF-8, at most 16 bytes in the ANSI code page
    std::string version;                // same
    std::vector<std::string> holdKeys;  // at most 3, each at most 8 bytes in the ANSI code page
    std::vector<PackagePair> pairs;     // 1 to 3
};

// Writes the package to outPath: the headers, then each pair's configuration and data file.
// Refuses, with a message through the notifier (caption "Error") and without leaving any output
// file, texts too long or that the ANSI code page cannot hold, too many keys or pairs, an engine
// code longer than 2 characters, an input that cannot be read, or a package past 4 GiB, which
// its 32-bit offsets cannot address.
bool BuildPackage(const PackageContents& contents, const std::string& outPath, Notifier& notifier);

}  // namespace harmoload
