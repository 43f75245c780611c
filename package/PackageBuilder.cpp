#include "package/PackageBuilder.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

#include "bytes/LittleEndian.h"
#include "package/PackageFormat.h"
#include "package/PackageSum.h"
#include "platform/BinaryFile.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/Unicode.h"

namespace harmoload {
namespace {

constexpr size_t kCopyBufferBytes = 256 * 1024;

bool Refuse(Notifier& notifier, std::string text) {
    notifier.showMessage(Message{"Error", std::move(text), MessageButtons::Ok, MessageIcon::None});
    return false;
}

// The text in the ANSI code page, when it fits width bytes and converts back unchanged.
bool ToFixedText(Notifier& notifier, const std::string& what, const std::string& text, size_t width,
                 std::string& ansi) {
    ansi = Utf8ToAnsi(text);
    if (AnsiToUtf8(ansi) != text || ansi.find('\0') != std::string::npos) {
        return Refuse(notifier, "The " + what + " \"" + text +
                                    "\" has characters that the system's code page cannot hold.");
    }
    if (ansi.size() > width) {
        return Refuse(notifier, "The " + what + " \"" + text + "\" takes " +
                                    std::to_string(ansi.size()) +
                                    " bytes in the system's code page; a package holds at most " +
                                    std::to_string(width) + ".");
    }
    return true;
}

// The name the package is written under until it is whole.
constexpr const char* kPartialOutputSuffix = ".part";

struct Input {
    BinaryFile file;
    uint64_t size = 0;
};

bool OpenInput(Notifier& notifier, const std::string& what, const std::string& path, Input& input) {
    if (!input.file.open(path, FileAccess::Read)) {
        return Refuse(notifier, "Cannot read the " + what + " \"" + path + "\".");
    }
    const std::optional<uint64_t> size = input.file.size();
    if (!size) {
        return Refuse(notifier, "Cannot read the " + what + " \"" + path + "\".");
    }
    input.size = *size;
    return true;
}

// Copies the input to out at offset and returns its package sum.
std::optional<uint32_t> CopyInput(const Input& input, BinaryFile& out, uint64_t offset,
                                  uint8_t* buffer) {
    uint32_t sum = 0;
    for (uint64_t done = 0; done < input.size;) {
        const size_t chunk =
            static_cast<size_t>(std::min<uint64_t>(kCopyBufferBytes, input.size - done));
        if (!input.file.readAt(done, buffer, chunk) || !out.writeAt(offset + done, buffer, chunk)) {
            return std::nullopt;
        }
        sum = AddPackageSum(sum, buffer, chunk);
        done += chunk;
    }
    return sum;
}

void PutEntry(uint8_t* entry, uint64_t offset, uint64_t size, uint32_t sum) {
    WriteLittleEndian32(entry + kEntryFileOffset, static_cast<uint32_t>(offset));
    WriteLittleEndian32(entry + kEntryFileSize, static_cast<uint32_t>(size));
    WriteLittleEndian32(entry + kEntryFileSum, sum);
}

void SealBlock(uint8_t* block) {
    WriteLittleEndian32(block + kPairHeaderSumOffset, AddPackageSum(0, block, kSummedHeaderBytes));
}

}  // namespace

bool BuildPackage(const PackageContents& contents, const std::string& outPath, Notifier& notifier) {
    if (contents.pairs.empty() || contents.pairs.size() > kMaxPairs) {
        return Refuse(notifier, "A package holds 1 to 3 pairs; " +
                                    std::to_string(contents.pairs.size()) + " were given.");
    }
    if (contents.holdKeys.size() > kHoldKeyCount) {
        return Refuse(notifier, "A package names at most 3 hold keys; " +
                                    std::to_string(contents.holdKeys.size()) + " were given.");
    }

    std::array<uint8_t, kAllHeadersBytes> headers{};
    std::string ansi;
    if (!ToFixedText(notifier, "model", contents.model, kModelBytes, ansi)) {
        return false;
    }
    std::copy(ansi.begin(), ansi.end(), headers.begin() + kModelOffset);
    if (!ToFixedText(notifier, "version", contents.version, kVersionBytes, ansi)) {
        return false;
    }
    std::copy(ansi.begin(), ansi.end(), headers.begin() + kVersionOffset);
    for (size_t i = 0; i < contents.holdKeys.size(); ++i) {
        if (!ToFixedText(notifier, "hold key", contents.holdKeys[i], kHoldKeyBytes, ansi)) {
            return false;
        }
        std::copy(ansi.begin(), ansi.end(), headers.begin() + kHoldKeyOffset + i * kHoldKeyBytes);
    }
    headers[kPairCountOffset] = static_cast<uint8_t>(contents.pairs.size());

    for (size_t i = 0; i < contents.pairs.size(); ++i) {
        const std::u16string code = Utf8ToUtf16(contents.pairs[i].engineCode);
        if (code.size() > kEngineCodeUnits || code.find(u'\0') != std::u16string::npos) {
            return Refuse(notifier, "The engine code \"" + contents.pairs[i].engineCode +
                                        "\" of pair " + std::to_string(i + 1) +
                                        " is longer than 2 characters.");
        }
        uint8_t* units = headers.data() + PairHeaderOffset(i) + kEngineCodeOffset;
        for (size_t unit = 0; unit < code.size(); ++unit) {
            WriteLittleEndian16(units + 2 * unit, code[unit]);
        }
    }

    // Every input is opened before the output exists, so a refusal leaves no file behind.
    std::array<Input, kMaxPairs> configs;
    std::array<Input, kMaxPairs> datas;
    uint64_t total = kAllHeadersBytes;
    for (size_t i = 0; i < contents.pairs.size(); ++i) {
        const std::string pairName = " of pair " + std::to_string(i + 1);
        if (!OpenInput(notifier, "configuration file" + pairName, contents.pairs[i].configPath,
                       configs[i]) ||
            !OpenInput(notifier, "data file" + pairName, contents.pairs[i].dataPath, datas[i])) {
            return false;
        }
        total += configs[i].size + datas[i].size;
    }
    if (total > UINT32_MAX) {
        return Refuse(notifier, "The package would take " + std::to_string(total) +
                                    " bytes; its 32-bit offsets reach only 4294967295.");
    }

    // The package is written beside the output and put in its place only when whole: a
    // failed copy leaves a package already there as it was.
    const std::string partPath = outPath + kPartialOutputSuffix;
    BinaryFile out;
    if (!out.open(partPath, FileAccess::CreateWrite)) {
        return Refuse(notifier, "Cannot write the package \"" + outPath + "\".");
    }
    const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(kCopyBufferBytes);
    uint64_t offset = kAllHeadersBytes;
    bool copied = true;
    for (size_t i = 0; i < contents.pairs.size() && copied; ++i) {
        uint8_t* block = headers.data() + PairHeaderOffset(i);
        for (const auto& [input, entryOffset] :
             {std::pair{&configs[i], kConfigEntryOffset}, std::pair{&datas[i], kDataEntryOffset}}) {
            const std::optional<uint32_t> sum = CopyInput(*input, out, offset, buffer.get());
            if (!sum) {
                copied = false;
                break;
            }
            PutEntry(block + entryOffset, offset, input->size, *sum);
            offset += input->size;
        }
        SealBlock(block);
    }
    SealBlock(headers.data());
    const bool written = copied && out.writeAt(0, headers.data(), headers.size());
    out.close();
    for (size_t i = 0; i < contents.pairs.size(); ++i) {
        configs[i].file.close();  // Windows replaces no file that is open, an input included
        datas[i].file.close();
    }
    if (!written || !MoveFileOver(partPath, outPath)) {
        DeleteFileAt(partPath);
        return Refuse(notifier, "Cannot write the package \"" + outPath +
                                    "\": an input could not be read or the output written.");
    }
    return true;
}

}  // namespace harmoload
