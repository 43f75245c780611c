// Feeds arbitrary files to package verification and reading, and unpacks whatever verifies.
// Besides the sanitizers' findings, it stops on a verified package whose pair cannot be
// unpacked although its ranges lie inside the file.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace harmoload;
    const std::string path = (WorkFolder() / "fuzz.DAT").string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
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
