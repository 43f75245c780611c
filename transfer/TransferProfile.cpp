#include "transfer/TransferProfile.h"

#include "ini/IniFile.h"
#include "text/AsciiCase.h"
#include "text/NumberText.h"
#include "transfer/TransferFrames.h"

namespace harmoload {
namespace {

std::optional<int32_t> Valid(uint32_t value) {
    const auto result = static_cast<int32_t>(value);
    if (result == -1) {
        return std::nullopt;
    }
    return result;
}

}  // namespace

std::optional<int32_t> ParseProfileSize(std::string text) {
    text = AsciiUpperCase(text);
    if (IsDecimalText(text)) {
        return Valid(DecimalTextValue(text));
    }
    if (!text.empty()) {
        const std::string number = text.substr(0, text.size() - 1);
        if (text.back() == 'K' && IsDecimalText(number)) {
            return Valid(DecimalTextValue(number) * 1024u);
        }
        if (text.back() == 'M' && IsDecimalText(number)) {
            return Valid(DecimalTextValue(number) * 1048576u);
        }
    }
    return std::nullopt;
}

std::optional<int32_t> ParseProfileAddress(std::string text) {
    text = AsciiUpperCase(text);
    if (IsDecimalText(text)) {
        return Valid(DecimalTextValue(text));
    }
    if (text.starts_with("0X")) {
        return Valid(HexTextValue(text.substr(2)));
    }
    if (!text.empty() && text.back() == 'H') {
        return Valid(HexTextValue(text.substr(0, text.size() - 1)));
    }
    return std::nullopt;
}

TransferProfileText ReadTransferProfileText(const IniFile& file) {
    auto read = [&](const char* section, const char* key) {
        return file.getString(section, key, std::nullopt);
    };
    TransferProfileText text;
    text.chipName = read(kChipInfoSection, kChipNameKey);
    text.chipType = read(kChipInfoSection, kChipTypeKey);
    text.chipSize = read(kChipInfoSection, kChipSizeKey);
    text.startAddress = read(kTransmissionInfoSection, kStartAddressKey);
    text.dataLength = read(kTransmissionInfoSection, kDataLengthKey);
    text.timeOver = read(kTransmissionInfoSection, kTimeOverKey);
    return text;
}

const char* TransferProfileFaultMessage(TransferProfileFault fault) {
    switch (fault) {
        case TransferProfileFault::ChipTypeNotDecimal:
            return "The value of chip type in configure.ini must be a decimal number";
        case TransferProfileFault::ChipSizeInvalid:
            return "Invalid format of chip size in configure.ini";
        case TransferProfileFault::StartAddressInvalid:
            return "Invalid format of start address in configure.ini";
        case TransferProfileFault::DataLengthInvalid:
            return "Invalid format of data length in configure.ini";
        case TransferProfileFault::DataLengthNotMultipleOf64:
            return "The data length in configure.ini must be multiple of 64";
        case TransferProfileFault::TimeOverNotDecimal:
            return "The value of time over in configure.ini must be a decimal number";
    }
    return "";
}

std::variant<TransferProfile, TransferProfileFault> ParseTransferProfile(
    const TransferProfileText& text) {
    TransferProfile profile;
    profile.chipName = text.chipName;

    if (!IsDecimalText(text.chipType)) {
        return TransferProfileFault::ChipTypeNotDecimal;
    }
    profile.chipType = static_cast<int32_t>(DecimalTextValue(text.chipType));

    // Negative sizes and addresses pass the text checks but would make the transfer run
    // outside the chip or never end: they are refused as invalid.
    const auto chipSize = ParseProfileSize(text.chipSize);
    if (!chipSize || *chipSize < 0) {
        return TransferProfileFault::ChipSizeInvalid;
    }
    profile.chipSize = *chipSize;

    const auto startAddress = ParseProfileAddress(text.startAddress);
    if (!startAddress || *startAddress < 0) {
        return TransferProfileFault::StartAddressInvalid;
    }
    profile.startAddress = *startAddress;

    auto dataLength = ParseProfileSize(text.dataLength);
    if (dataLength && *dataLength == 0) {
        dataLength = kDefaultDataLength;
    }
    // The packet header's length field has 16 bits: a larger packet would wrap round.
    if (!dataLength || *dataLength <= 0 || *dataLength > kDefaultDataLength) {
        return TransferProfileFault::DataLengthInvalid;
    }
    if (*dataLength % static_cast<int32_t>(transfer::kSmallPacketBytes) != 0) {
        return TransferProfileFault::DataLengthNotMultipleOf64;
    }
    profile.dataLength = *dataLength;

    if (!IsDecimalText(text.timeOver)) {
        return TransferProfileFault::TimeOverNotDecimal;
    }
    profile.timeOver = static_cast<int32_t>(DecimalTextValue(text.timeOver));
    return profile;
}

}  // namespace harmoload
