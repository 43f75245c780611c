#pragma once
// The layout of an update package (.DAT). Multi-byte numbers are little-endian; offsets count
// from the start of the file. No magic number and no format version are checked.

#include <cstddef>
#include <cstdint>

#include "bytes/LittleEndian.h"

namespace harmoload {

// Package header: bytes 0 to 127.
inline constexpr size_t kPackageHeaderOffset = 0;
inline constexpr size_t kModelOffset = 32;
inline constexpr size_t kModelBytes = 16;
inline constexpr size_t kVersionOffset = 48;
inline constexpr size_t kVersionBytes = 16;
inline constexpr size_t kHoldKeyOffset = 80;  // keys 1 to 3 at 80, 88, 96
inline constexpr size_t kHoldKeyBytes = 8;
inline constexpr size_t kHoldKeyCount = 3;
inline constexpr size_t kPairCountOffset = 123;
inline constexpr size_t kHeaderSumOffset = 124;  // the sum of bytes 0 to 123

// Every header block (the package header and the pair headers) is 128 bytes, the last four of
// which hold the sum of the 124 before them.
inline constexpr size_t kHeaderBlockBytes = 128;
inline constexpr size_t kSummedHeaderBytes = 124;

// Pair header i (1 to 3) is the block at 128 * i.
inline constexpr size_t kMaxPairs = 3;
inline constexpr size_t kEngineCodeOffset = 44;  // two UTF-16LE units, ended by a zero unit
inline constexpr size_t kEngineCodeUnits = 2;
inline constexpr size_t kConfigEntryOffset = 64;  // offset, size, sum
inline constexpr size_t kDataEntryOffset = 112;   // offset, size, sum
inline constexpr size_t kPairHeaderSumOffset = 124;

// Within a file entry: three 32-bit numbers.
inline constexpr size_t kEntryFileOffset = 0;
inline constexpr size_t kEntryFileSize = 4;
inline constexpr size_t kEntryFileSum = 8;

// All headers together; a package built here places its files after them.
inline constexpr size_t kAllHeadersBytes = kHeaderBlockBytes * (kMaxPairs + 1);

constexpr size_t PairHeaderOffset(size_t pairIndex) {  // pairIndex 0 to 2
    return kHeaderBlockBytes * (pairIndex + 1);
}

}  // namespace harmoload
