#pragma once
// Unpacking one pair of a verified package into the two files its engine reads.

#include <cstdint>
#include <optional>
#include <string>

#include "package/PackageRecord.h"

namespace harmoload {

// The pair's configuration file (also the engine's profile) and its data file.
inline constexpr const char* kTempIniName = "TEMP.INI";
inline constexpr const char* kTempBinName = "TEMP.BIN";

enum class LineEnds {
    Keep,  // byte for byte
    CrLf,  // every 0x0A written as 0x0D 0x0A, as a text-mode write does
};

// Writes size bytes at offset of the package to target, created anew (what was at the path is
// deleted first; a link put there in the meantime fails the unpacking), and returns
// the package sum of the bytes read (before any line-end translation), taken as they are copied.
// Nothing when the target cannot be created, the package cannot be opened, the range reaches
// past the end of the package (nothing unread is ever written) or a read or write fails; the
// target may then be empty or partly written and must not be used.
std::optional<uint32_t> UnpackFile(const std::string& packagePath, const std::string& targetPath,
                                   uint32_t offset, uint32_t size, LineEnds lineEnds);

enum class PairUnpack {
    Unpacked,
    Failed,             // a file could not be written or the package not read
    ConfigSumMismatch,  // the package changed since it was verified
    DataSumMismatch,
};

// The configuration file to folder + "TEMP.INI" with CR LF line ends, then the data file to
// folder + "TEMP.BIN" byte for byte, each checked against the pair's stored sum as it is
// written. folder may or may not end with a separator. Anything but Unpacked as soon as either
// fails: the pair must then count as failed and its engine must not run.
PairUnpack UnpackPair(const std::string& packagePath, const std::string& folder,
                      const PairEntry& pair);

}  // namespace harmoload
