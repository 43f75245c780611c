#pragma once
// The package sum: the bytes of a range taken as unsigned values and added in a 32-bit
// accumulator that wraps. An empty range sums to 0.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/BinaryFile.h"

namespace harmoload {

// Files are summed through a buffer of this size, so memory does not grow with the package.
inline constexpr size_t kSumBufferBytes = 256 * 1024;

// Adds the bytes to sum.
uint32_t AddPackageSum(uint32_t sum, const uint8_t* bytes, size_t count);

// The sum of size bytes at offset in an open file of fileLength bytes. An offset at or past the
// end sums to 0 without reading, whatever the size. Otherwise nothing when the range cannot be
// summed as stored: its end lies past the end of the file or overflows 32 bits, or reading fails.
std::optional<uint32_t> RangeSum(const BinaryFile& file, uint64_t fileLength, uint32_t offset,
                                 uint32_t size);

}  // namespace harmoload
