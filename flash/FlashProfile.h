#pragma once
// The flash profile: how the instrument's flash is erased and programmed (bus cycles the
// instrument replays), how large the data blocks are, how long an erase may take, where the
// sectors start and which of them must not be touched. Addresses, sector entries and the file
// offset count 16-bit words of the flash.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace harmoload {

class Notifier;

struct FlashProfile {
    int32_t chipType = 1;  // its low byte goes into the handshake
    std::string flashModel;
    bool bufferedWrite = false;  // write-buffer and program-buffer templates instead of program
    std::vector<int32_t> reservedSectors;  // sector addresses never erased, written or verified
    int32_t blockSize = 4096;              // words per data block
    int32_t fileOffset = 0;                // words of the data file skipped before the first sector
    int32_t maxWriteBack = 1000;
    int32_t maxSectorEraseTime = 2000;  // ms of erase polling before the erase is repeated
    int32_t eraseCheckValue = 0xFFFF;   // what an erased sector reads back
    int32_t resetAddress = 0x3000;
    int32_t resetData = 0xF0;

    int32_t eraseCycleCount = 6;
    std::vector<int32_t> eraseAddresses;
    std::vector<int32_t> eraseData;

    int32_t programCycleCount = 3;
    std::vector<int32_t> programAddresses;
    std::vector<int32_t> programData;

    int32_t writeBufferCycleCount = 4;
    int32_t writeBufferCount = 0;
    int32_t writeBufferPa1 = 3;
    int32_t writeBufferPa2 = 255;
    int32_t writeBufferSa1 = 4;
    int32_t writeBufferSa2 = 255;
    std::vector<int32_t> writeBufferAddresses;
    std::vector<int32_t> writeBufferData;

    int32_t programBufferCycleCount = 1;
    int32_t programBufferSa1 = 1;
    int32_t programBufferSa2 = 255;
    std::vector<int32_t> programBufferAddresses;
    std::vector<int32_t> programBufferData;

    std::vector<int32_t> sectorAddresses;  // ascending; sector i ends where sector i + 1 begins

    bool operator==(const FlashProfile&) const = default;
};

// The default profile's name in the program directory.
inline constexpr const char* kDefaultFlashProfileName = "R2.ini";

// The reader's messages (the application's title as caption, an OK button).
inline constexpr const char* kCannotOpenProfileMessage = "can't open the configure file R2.ini ";
inline constexpr const char* kNoClosingBracketMessage = "can't find the symbol of ] in ";
inline constexpr const char* kNoEqualsSignMessage = "can't find the symbol of = in ";

// White space trimmed at both ends, then every run of spaces and tabs inside made one space.
std::string CollapseBlanks(std::string_view line);

// Reads the profile text (the file's bytes, one character each) into profile, starting from
// the defaults. A byte 0x1A ends the text; the first syntax error is shown and ends the
// reading, keeping what was read before it; a bad number is shown and read as 0.
void ReadFlashProfileText(std::string_view text, FlashProfile& profile, Notifier& notifier);

// The file at path, read as ReadFlashProfileText reads text. False, after its message and with
// the profile untouched, only when the file cannot be opened or read.
bool ReadFlashProfileFile(const std::string& path, FlashProfile& profile, Notifier& notifier);

}  // namespace harmoload
