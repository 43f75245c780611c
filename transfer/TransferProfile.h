#pragma once
// The transfer profile: the INI file that sets up one packet transfer (which chip, how large,
// where the data goes, how large each packet is).

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace harmoload {

class IniFile;

struct TransferProfile {
    std::string chipName;
    int32_t chipType = 2;
    int32_t chipSize = 0;      // bytes
    int32_t startAddress = 0;  // the chip address the first packet goes to
    int32_t dataLength = 0;    // bytes per data packet
    int32_t timeOver = 0;
};

// The profile's sections and keys. The start address is stored under "Chip Name" of
// "Transmission Info".
inline constexpr const char* kChipInfoSection = "Chip Info";
inline constexpr const char* kTransmissionInfoSection = "Transmission Info";
inline constexpr const char* kChipNameKey = "Chip Name";
inline constexpr const char* kChipTypeKey = "Chip Type";
inline constexpr const char* kChipSizeKey = "Chip Size";
inline constexpr const char* kStartAddressKey = "Chip Name";
inline constexpr const char* kDataLengthKey = "Data Length";
inline constexpr const char* kTimeOverKey = "Time Over";

// The default profile's name in the program directory.
inline constexpr const char* kDefaultTransferProfileName = "R1.ini";

// A Data Length of 0 stands for this many bytes, which is also the largest the packet header
// can carry; every packet size is a multiple of the small packet (transfer::kSmallPacketBytes).
inline constexpr int32_t kDefaultDataLength = 0x10000;

// Value forms: nothing when the text is invalid. A size is decimal, or decimal followed by K
// (KiB) or M (MiB); an address is decimal, 0x followed by hexadecimal, or hexadecimal followed
// by H. Both are upper-cased first; a result of -1 is invalid.
std::optional<int32_t> ParseProfileSize(std::string text);
std::optional<int32_t> ParseProfileAddress(std::string text);

// The profile's values as the file holds them, before any check; a missing key is empty text.
struct TransferProfileText {
    std::string chipName;
    std::string chipType;
    std::string chipSize;
    std::string startAddress;
    std::string dataLength;
    std::string timeOver;
};

// One lookup per key, in the order the checks take them, with no default.
TransferProfileText ReadTransferProfileText(const IniFile& file);

// The check that a profile's values fail, in the order they are checked.
enum class TransferProfileFault {
    ChipTypeNotDecimal,
    ChipSizeInvalid,
    StartAddressInvalid,
    DataLengthInvalid,
    DataLengthNotMultipleOf64,
    TimeOverNotDecimal,
};

// The message the engine shows for the fault (OK button only, no icon).
const char* TransferProfileFaultMessage(TransferProfileFault fault);

// The profile the values describe, or the first check they fail.
std::variant<TransferProfile, TransferProfileFault> ParseTransferProfile(
    const TransferProfileText& text);

}  // namespace harmoload
