#include "package/PackageUnpacker.h"

#include <algorithm>
#include <memory>

#include "package/PackageSum.h"
#include "platform/BinaryFile.h"
#include "platform/Files.h"

namespace harmoload {
namespace {

constexpr size_t kCopyBufferBytes = 64 * 1024;

// Copies the bytes to the end of target, each 0x0A as 0x0D 0x0A when asked.
bool WriteChunk(BinaryFile& target, uint64_t& written, const uint8_t* bytes, size_t count,
                LineEnds lineEnds, uint8_t* translated) {
    if (lineEnds == LineEnds::Keep) {
        if (!target.writeAt(written, bytes, count)) {
            return false;
        }
        written += count;
        return true;
    }
    size_t length = 0;
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] == 0x0A) {
            translated[length++] = 0x0D;
        }
        translated[length++] = bytes[i];
    }
    if (!target.writeAt(written, translated, length)) {
        return false;
    }
    written += length;
    return true;
}

std::string InFolder(const std::string& folder, const char* name) {
    if (folder.empty() || folder.back() == kPathSeparator || folder.back() == '/') {
        return folder + name;
    }
    return folder + kPathSeparator + name;
}

}  // namespace

std::optional<uint32_t> UnpackFile(const std::string& packagePath, const std::string& targetPath,
                                   uint32_t offset, uint32_t size, LineEnds lineEnds) {
    // A file left there (by an earlier pair) goes first: the target is created here, never
    // opened through a link someone put in its place.
    DeleteFileAt(targetPath);
    BinaryFile target;
    if (!target.open(targetPath, FileAccess::CreateNew)) {
        return std::nullopt;
    }
    BinaryFile package;
    if (!package.open(packagePath, FileAccess::Read)) {
        return std::nullopt;
    }
    const std::optional<uint64_t> packageLength = package.size();
    const uint64_t end = uint64_t{offset} + size;
    if (!packageLength || (size > 0 && end > *packageLength)) {
        return std::nullopt;
    }

    const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(kCopyBufferBytes);
    const auto translated = std::make_unique_for_overwrite<uint8_t[]>(
        lineEnds == LineEnds::CrLf ? 2 * kCopyBufferBytes : 0);
    uint64_t written = 0;
    uint32_t sum = 0;
    for (uint64_t position = offset; position < end;) {
        const size_t chunk =
            static_cast<size_t>(std::min<uint64_t>(kCopyBufferBytes, end - position));
        if (!package.readAt(position, buffer.get(), chunk) ||
            !WriteChunk(target, written, buffer.get(), chunk, lineEnds, translated.get())) {
            return std::nullopt;
        }
        sum = AddPackageSum(sum, buffer.get(), chunk);
        position += chunk;
    }
    return sum;
}

PairUnpack UnpackPair(const std::string& packagePath, const std::string& folder,
                      const PairEntry& pair) {
    const std::optional<uint32_t> configSum =
        UnpackFile(packagePath, InFolder(folder, kTempIniName), pair.configOffset, pair.configSize,
                   LineEnds::CrLf);
    if (!configSum) {
        return PairUnpack::Failed;
    }
    if (*configSum != pair.configSum) {
        return PairUnpack::ConfigSumMismatch;
    }
    const std::optional<uint32_t> dataSum =
        UnpackFile(packagePath, InFolder(folder, kTempBinName), pair.dataOffset, pair.dataSize,
                   LineEnds::Keep);
    if (!dataSum) {
        return PairUnpack::Failed;
    }
    return *dataSum == pair.dataSum ? PairUnpack::Unpacked : PairUnpack::DataSumMismatch;
}

}  // namespace harmoload
