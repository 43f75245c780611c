#pragma once
// What verification and header reading take from an update package.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "package/PackageFormat.h"

namespace harmoload {

struct PairEntry {
    std::string engineCode;  // UTF-8; 0 to 2 characters
    uint32_t configOffset = 0;
    uint32_t configSize = 0;
    uint32_t dataOffset = 0;
    uint32_t dataSize = 0;
    // The stored package sums, kept so that unpacking checks the very bytes it writes: the file
    // may change between opening and updating.
    uint32_t configSum = 0;
    uint32_t dataSum = 0;

    bool operator==(const PairEntry&) const = default;
};

struct PackageRecord {
    std::array<std::string, kHoldKeyCount> holdKeys;  // UTF-8; each may be empty
    uint8_t pairCount = 0;                            // as stored in the package
    std::array<PairEntry, kMaxPairs> pairs;

    bool operator==(const PackageRecord&) const = default;
};

// A verified package: its record and the texts that the dialog shows.
struct OpenedPackage {
    PackageRecord record;
    std::string model;    // UTF-8
    std::string version;  // UTF-8

    bool operator==(const OpenedPackage&) const = default;
};

// How many pairs a stored pair count names: 0 and 1 mean pair 1 only, 3 or more mean three.
constexpr size_t PairsInUse(uint8_t pairCount) {
    return pairCount <= 1 ? 1 : (pairCount >= kMaxPairs ? kMaxPairs : pairCount);
}

enum class PairEngine { Transfer, Flash };

// "R1" in any letter case selects the packet-transfer engine; any other code, empty included,
// the flash-command engine.
PairEngine EngineForCode(std::string_view engineCode);

// "transfer" or "flash".
const char* EngineName(PairEngine engine);

}  // namespace harmoload
