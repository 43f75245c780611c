#pragma once
// Package bytes assembled by hand for the verification tests, independent of the builder: the
// headers, then each pair's files, with every sum right until a test spoils one.

#include <cstdint>
#include <string>
#include <vector>

#include "bytes/LittleEndian.h"

namespace harmoload::testing {

inline uint32_t ByteSum(const std::vector<uint8_t>& bytes, size_t offset, size_t count) {
    uint64_t sum = 0;
    for (size_t i = offset; i < offset + count; ++i) {
        sum += bytes[i];
    }
    return static_cast<uint32_t>(sum);
}

struct ImagePair {
    std::u16string engineCode;
    std::vector<uint8_t> config;
    std::vector<uint8_t> data;
};

struct PackageImage {
    std::vector<uint8_t> bytes;

    // Entry positions of pair i (0 to 2).
    static size_t ConfigEntry(size_t pair) { return 128 * (pair + 1) + 64; }
    static size_t DataEntry(size_t pair) { return 128 * (pair + 1) + 112; }

    uint32_t get32(size_t offset) const {
        return static_cast<uint32_t>(bytes[offset] | bytes[offset + 1] << 8 |
                                     bytes[offset + 2] << 16 | bytes[offset + 3] << 24);
    }

    // Sets a file entry (offset, size, sum) and seals its pair header again.
    void setEntry(size_t entryOffset, uint32_t offset, uint32_t size, uint32_t sum) {
        WriteLittleEndian32(&bytes[entryOffset], offset);
        WriteLittleEndian32(&bytes[entryOffset + 4], size);
        WriteLittleEndian32(&bytes[entryOffset + 8], sum);
        sealBlock(entryOffset / 128);
    }

    // Stores the right sum of header block b (0: package header, 1 to 3: pair headers).
    void sealBlock(size_t block) {
        WriteLittleEndian32(&bytes[128 * block + 124], ByteSum(bytes, 128 * block, 124));
    }

    static PackageImage Build(const std::string& model, const std::string& version,
                              const std::vector<std::string>& keys, uint8_t pairCount,
                              const std::vector<ImagePair>& pairs) {
        PackageImage image;
        image.bytes.assign(512, 0);
        std::copy(model.begin(), model.end(), image.bytes.begin() + 32);
        std::copy(version.begin(), version.end(), image.bytes.begin() + 48);
        for (size_t i = 0; i < keys.size(); ++i) {
            std::copy(keys[i].begin(), keys[i].end(), image.bytes.begin() + 80 + 8 * i);
        }
        image.bytes[123] = pairCount;
        for (size_t i = 0; i < pairs.size(); ++i) {
            const size_t block = 128 * (i + 1);
            for (size_t unit = 0; unit < pairs[i].engineCode.size(); ++unit) {
                image.bytes[block + 44 + 2 * unit] =
                    static_cast<uint8_t>(pairs[i].engineCode[unit]);
                image.bytes[block + 45 + 2 * unit] =
                    static_cast<uint8_t>(pairs[i].engineCode[unit] >> 8);
            }
            for (const auto& [file, entry] : {std::pair{&pairs[i].config, ConfigEntry(i)},
                                              std::pair{&pairs[i].data, DataEntry(i)}}) {
                const uint32_t offset = static_cast<uint32_t>(image.bytes.size());
                image.bytes.insert(image.bytes.end(), file->begin(), file->end());
                WriteLittleEndian32(&image.bytes[entry], offset);
                WriteLittleEndian32(&image.bytes[entry + 4], static_cast<uint32_t>(file->size()));
                WriteLittleEndian32(&image.bytes[entry + 8],
                                    ByteSum(image.bytes, offset, file->size()));
            }
            image.sealBlock(i + 1);
        }
        image.sealBlock(0);
        return image;
    }

    // Three pairs with distinct small files: R1, R2, r1.
    static PackageImage ThreePairs(uint8_t pairCount = 3) {
        return Build("HM-61", "V2.10", {"A0", "bB0", "C1"}, pairCount,
                     {{u"R1", {'[', 'a', ']', '\n'}, {1, 2, 3, 4, 5}},
                      {u"R2", {'x', '=', '1', '\n'}, {0xFF, 0xFE, 0xFD}},
                      {u"r1", {'y'}, {9, 8, 7, 6}}});
    }
};

}  // namespace harmoload::testing
