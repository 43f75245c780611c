// Feeds arbitrary files to package verification and reading, and unpacks whatever verifies.
// The header's and the pairs' sums are sealed again over each input first, as the builder
// seals them: a mutation would otherwise stop at the first sum almost every time, and the
// entries, offsets and unpacking behind it would go unexplored. Besides the sanitizers'
// findings, it stops on a verified package whose pair cannot be unpacked although its ranges
// lie inside the file.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bytes/LittleEndian.h"
#include "package/PackageFormat.h"
#include "package/PackageSum.h"
#include "package/PackageUnpacker.h"
#include "package/PackageVerifier.h"
#include "update/InstructionText.h"

namespace {

const std::filesystem::path& WorkFolder() {
    static const std::filesystem::path folder = [] {
        const auto path = std::filesystem::temp_directory_path() /
                          ("harmoload-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

bool InsideFile(uint32_t offset, uint32_t size, uint64_t length) {
    return size == 0 || uint64_t{offset} + size <= length;
}

// Each file entry's sum over the bytes it names (when they lie inside), then each block's sum.
void Reseal(std::vector<uint8_t>& bytes) {
    using namespace harmoload;
    for (size_t i = 0; i < kMaxPairs; ++i) {
        if (PairHeaderOffset(i) + kHeaderBlockBytes > bytes.size()) {
            break;
        }
        uint8_t* block = bytes.data() + PairHeaderOffset(i);
        for (const size_t entry : {kConfigEntryOffset, kDataEntryOffset}) {
            const uint32_t offset = ReadLittleEndian32(block + entry + kEntryFileOffset);
            const uint32_t size = ReadLittleEndian32(block + entry + kEntryFileSize);
            if (InsideFile(offset, size, bytes.size())) {
                WriteLittleEndian32(block + entry + kEntryFileSum,
                                    AddPackageSum(0, bytes.data() + offset, size));
            }
        }
        WriteLittleEndian32(block + kPairHeaderSumOffset,
                            AddPackageSum(0, block, kSummedHeaderBytes));
    }
    if (bytes.size() >= kHeaderBlockBytes) {
        WriteLittleEndian32(bytes.data() + kHeaderSumOffset,
                            AddPackageSum(0, bytes.data(), kSummedHeaderBytes));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace harmoload;
    const std::string path = (WorkFolder() / "fuzz.DAT").string();
    std::vector<uint8_t> bytes(data, data + size);
    Reseal(bytes);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
    }

    OpenedPackage package;
    const PackageFault fault = ReadPackage(path, package);
    const IniFile noTable;
    const Message message = PackageFaultMessage(noTable, fault, path);
    if (fault != PackageFault::None) {
        return 0;
    }
    HoldKeySentence(noTable, package.record.holdKeys);
    for (size_t i = 0; i < PairsInUse(package.record.pairCount); ++i) {
        const PairEntry& pair = package.record.pairs[i];
        const bool inside = InsideFile(pair.configOffset, pair.configSize, size) &&
                            InsideFile(pair.dataOffset, pair.dataSize, size);
        if ((UnpackPair(path, WorkFolder().string(), pair) == PairUnpack::Unpacked) != inside) {
            std::abort();
        }
    }
    return 0;
}
