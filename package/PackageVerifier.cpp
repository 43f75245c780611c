#include "package/PackageVerifier.h"

#include <algorithm>
#include <array>
#include <optional>

#include "bytes/LittleEndian.h"
#include "lang/LanguageTable.h"
#include "package/PackageSum.h"
#include "platform/BinaryFile.h"
#include "platform/CodePage.h"
#include "platform/Unicode.h"

namespace harmoload {
namespace {

using HeaderBlock = std::array<uint8_t, kHeaderBlockBytes>;

constexpr std::array<PackageFault, kMaxPairs> kConfigFaults = {
    PackageFault::ConfigFile1Sum, PackageFault::ConfigFile2Sum, PackageFault::ConfigFile3Sum};
constexpr std::array<PackageFault, kMaxPairs> kDataFaults = {
    PackageFault::DataFile1Sum, PackageFault::DataFile2Sum, PackageFault::DataFile3Sum};

// A header block whose stored sum matches its first 124 bytes. A block cut short by the end of
// the file fails: its sum cannot be read.
bool ReadSummedBlock(const BinaryFile& file, uint64_t offset, HeaderBlock& block) {
    if (!file.readAt(offset, block.data(), block.size())) {
        return false;
    }
    return ReadLittleEndian32(block.data() + kPairHeaderSumOffset) ==
           AddPackageSum(0, block.data(), kSummedHeaderBytes);
}

// The engine code: UTF-16LE units up to the first zero unit.
std::string EngineCodeText(const uint8_t* units) {
    std::u16string code = ReadUtf16LittleEndian(
        std::string_view(reinterpret_cast<const char*>(units), 2 * kEngineCodeUnits));
    code.resize(std::min(code.size(), code.find(u'\0')));
    return Utf16ToUtf8(code);
}

// ANSI text up to its first NUL, read at full width when there is none.
std::string FixedWidthText(const uint8_t* bytes, size_t width) {
    const auto* text = reinterpret_cast<const char*>(bytes);
    const size_t length = static_cast<size_t>(std::find(text, text + width, '\0') - text);
    return AnsiToUtf8(std::string_view(text, length));
}

struct FileEntry {
    uint32_t offset;
    uint32_t size;
    uint32_t sum;
};

FileEntry ReadEntry(const uint8_t* entry) {
    return {ReadLittleEndian32(entry + kEntryFileOffset),
            ReadLittleEndian32(entry + kEntryFileSize), ReadLittleEndian32(entry + kEntryFileSum)};
}

bool EntrySumMatches(const BinaryFile& file, uint64_t fileLength, const FileEntry& entry) {
    const std::optional<uint32_t> sum = RangeSum(file, fileLength, entry.offset, entry.size);
    return sum.has_value() && *sum == entry.sum;
}

}  // namespace

PackageFault ConfigFileSumFault(size_t pairIndex) {
    return kConfigFaults[std::min(pairIndex, kMaxPairs - 1)];
}

PackageFault DataFileSumFault(size_t pairIndex) {
    return kDataFaults[std::min(pairIndex, kMaxPairs - 1)];
}

const char* PackageFaultKey(PackageFault fault) {
    switch (fault) {
        case PackageFault::None:
            return "";
        case PackageFault::OpenFailed:
            return "IDS_ERR_OPEN_FILE_FAILED";
        case PackageFault::FileHeaderSum:
            return "IDS_ERR_FILE_HDR_CHECKSUM";
        case PackageFault::DataHeaderSum:
            return "IDS_ERR_DATA_HDR_CHECKSUM";
        case PackageFault::ConfigFile1Sum:
            return "IDS_ERR_CNFG_FILE1_CHECKSUM";
        case PackageFault::ConfigFile2Sum:
            return "IDS_ERR_CNFG_FILE2_CHECKSUM";
        case PackageFault::ConfigFile3Sum:
            return "IDS_ERR_CNFG_FILE3_CHECKSUM";
        case PackageFault::DataFile1Sum:
            return "IDS_ERR_DATA_FILE1_CHECKSUM";
        case PackageFault::DataFile2Sum:
            return "IDS_ERR_DATA_FILE2_CHECKSUM";
        case PackageFault::DataFile3Sum:
            return "IDS_ERR_DATA_FILE3_CHECKSUM";
    }
    return "";
}

PackageFault VerifyPackage(const std::string& path, PackageRecord& record) {
    BinaryFile file;
    if (!file.open(path, FileAccess::ReadWriteExclusive)) {
        return PackageFault::OpenFailed;
    }
    const std::optional<uint64_t> fileLength = file.size();
    if (!fileLength) {
        return PackageFault::OpenFailed;
    }

    HeaderBlock header{};
    if (!file.readAt(kPackageHeaderOffset, header.data(), header.size())) {
        return PackageFault::FileHeaderSum;
    }
    record.pairCount = header[kPairCountOffset];
    if (ReadLittleEndian32(header.data() + kHeaderSumOffset) !=
        AddPackageSum(0, header.data(), kSummedHeaderBytes)) {
        return PackageFault::FileHeaderSum;
    }

    const size_t pairs = PairsInUse(record.pairCount);
    std::array<HeaderBlock, kMaxPairs> pairHeaders{};
    for (size_t i = 0; i < pairs; ++i) {
        if (!ReadSummedBlock(file, PairHeaderOffset(i), pairHeaders[i])) {
            return PackageFault::DataHeaderSum;
        }
        record.pairs[i].engineCode = EngineCodeText(pairHeaders[i].data() + kEngineCodeOffset);
    }

    // Every configuration file before any data file; each entry is recorded before its sum is
    // compared.
    for (size_t i = 0; i < pairs; ++i) {
        const FileEntry entry = ReadEntry(pairHeaders[i].data() + kConfigEntryOffset);
        record.pairs[i].configOffset = entry.offset;
        record.pairs[i].configSize = entry.size;
        record.pairs[i].configSum = entry.sum;
        if (!EntrySumMatches(file, *fileLength, entry)) {
            return kConfigFaults[i];
        }
    }
    for (size_t i = 0; i < pairs; ++i) {
        const FileEntry entry = ReadEntry(pairHeaders[i].data() + kDataEntryOffset);
        record.pairs[i].dataOffset = entry.offset;
        record.pairs[i].dataSize = entry.size;
        record.pairs[i].dataSum = entry.sum;
        if (!EntrySumMatches(file, *fileLength, entry)) {
            return kDataFaults[i];
        }
    }
    return PackageFault::None;
}

PackageFault ReadPackage(const std::string& path, OpenedPackage& package) {
    OpenedPackage opened;
    const PackageFault fault = VerifyPackage(path, opened.record);
    if (fault != PackageFault::None) {
        return fault;
    }
    BinaryFile file;
    HeaderBlock header{};
    if (!file.open(path, FileAccess::Read) ||
        !file.readAt(kPackageHeaderOffset, header.data(), header.size())) {
        return PackageFault::OpenFailed;
    }
    for (size_t i = 0; i < kHoldKeyCount; ++i) {
        opened.record.holdKeys[i] =
            FixedWidthText(header.data() + kHoldKeyOffset + i * kHoldKeyBytes, kHoldKeyBytes);
    }
    opened.model = FixedWidthText(header.data() + kModelOffset, kModelBytes);
    opened.version = FixedWidthText(header.data() + kVersionOffset, kVersionBytes);
    package = std::move(opened);
    return PackageFault::None;
}

Message PackageFaultMessage(const IniFile& languageTable, PackageFault fault,
                            const std::string& path) {
    Message message;
    message.caption = "Error";
    message.text =
        LookupText(languageTable, kLanguageSection, PackageFaultKey(fault)) + "\n" + path;
    message.buttons = MessageButtons::Ok;
    message.icon = MessageIcon::None;
    return message;
}

bool PackageVerifier::report(PackageFault fault, const std::string& path) {
    lastFault_ = fault;
    if (fault == PackageFault::None) {
        return true;
    }
    notifier_.showMessage(PackageFaultMessage(languageTable_, fault, path));
    return false;
}

bool PackageVerifier::verify(const std::string& path, PackageRecord& record) {
    return report(VerifyPackage(path, record), path);
}

bool PackageVerifier::openAndRead(const std::string& path, OpenedPackage& package) {
    return report(ReadPackage(path, package), path);
}

}  // namespace harmoload
