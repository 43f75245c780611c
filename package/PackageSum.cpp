#include "package/PackageSum.h"

#include <algorithm>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace harmoload {

uint32_t AddPackageSum(uint32_t sum, const uint8_t* bytes, size_t count) {
    size_t done = 0;
#if defined(__SSE2__)
    // psadbw against zero adds eight bytes into each 64-bit lane: the sum of a whole file runs
    // at memory speed, well ahead of reading it.
    const __m128i zero = _mm_setzero_si128();
    __m128i lanes = _mm_setzero_si128();
    for (; done + 64 <= count; done += 64) {
        const auto* block = reinterpret_cast<const __m128i*>(bytes + done);
        const __m128i a = _mm_sad_epu8(_mm_loadu_si128(block), zero);
        const __m128i b = _mm_sad_epu8(_mm_loadu_si128(block + 1), zero);
        const __m128i c = _mm_sad_epu8(_mm_loadu_si128(block + 2), zero);
        const __m128i d = _mm_sad_epu8(_mm_loadu_si128(block + 3), zero);
        lanes = _mm_add_epi64(lanes, _mm_add_epi64(_mm_add_epi64(a, b), _mm_add_epi64(c, d)));
    }
    for (; done + 16 <= count; done += 16) {
        const auto* block = reinterpret_cast<const __m128i*>(bytes + done);
        lanes = _mm_add_epi64(lanes, _mm_sad_epu8(_mm_loadu_si128(block), zero));
    }
    const uint64_t low = static_cast<uint64_t>(_mm_cvtsi128_si64(lanes));
    const uint64_t high =
        static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(lanes, lanes)));
    sum += static_cast<uint32_t>(low + high);
#endif
    for (; done < count; ++done) {
        sum += bytes[done];
    }
    return sum;
}

std::optional<uint32_t> RangeSum(const BinaryFile& file, uint64_t fileLength, uint32_t offset,
                                 uint32_t size) {
    // A range that starts at or past the end holds no bytes of the file: it sums to 0 whatever
    // its size, before its end is looked at.
    if (offset >= fileLength) {
        return 0;
    }
    const uint64_t end = uint64_t{offset} + size;
    if (end > UINT32_MAX || end > fileLength) {
        return std::nullopt;
    }
    const size_t bufferBytes = std::min<size_t>(kSumBufferBytes, size);
    const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(bufferBytes);
    uint32_t sum = 0;
    for (uint64_t position = offset; position < end;) {
        const size_t chunk = static_cast<size_t>(std::min<uint64_t>(bufferBytes, end - position));
        if (!file.readAt(position, buffer.get(), chunk)) {
            return std::nullopt;
        }
        sum = AddPackageSum(sum, buffer.get(), chunk);
        position += chunk;
    }
    return sum;
}

}  // namespace harmoload
