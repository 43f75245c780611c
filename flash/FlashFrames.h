#pragma once
// The flash-command engine's frames, built as the instrument's contract lays them out, the waits
// and limits of the sector procedures, the word sum and the sector map, named once. Addresses
// count 16-bit words of the instrument's flash.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "flash/FlashProfile.h"
#include "usb/InstrumentContract.h"

namespace harmoload::flash {

using Frame = usb::Frame;

// Handshake: 50 ms between the frame and its answer; 500 ms after a failed transfer. It gives
// up after 11 failed exchanges or 21 wrong answers, counted apart.
inline constexpr std::chrono::milliseconds kHandshakeAnswerWait{50};
inline constexpr std::chrono::milliseconds kHandshakeFailureWait{500};
inline constexpr int kHandshakeTransferRetries = 10;
inline constexpr int kHandshakeWrongAnswerLimit = 20;

// Erase polling: the first answer is read 700 ms after its poll, later ones after 20 ms; two
// good reads in a row end it. A sector is erased again at most 50 times.
inline constexpr std::chrono::milliseconds kFirstPollWait{700};
inline constexpr std::chrono::milliseconds kNextPollWait{20};
inline constexpr int kGoodPollsNeeded = 2;
inline constexpr int kMaxRepeatedErases = 50;
// An instrument that leaves this many polls in a row unanswered has stopped answering: the
// erase ends there, bounding a run whose instrument went silent to minutes, not a day.
inline constexpr int kMaxFailedPollsInARow = 3;
// After a late erase, this much of whatever the instrument still has to say is drained, where
// the link can drain.
inline constexpr size_t kLateEraseDrainBytes = 64;

// Template echoes: a wrong echo is answered by sending the template again.
inline constexpr int kProgramEchoRetries = 10;
inline constexpr int kBufferEchoRetries = 5;

// Data blocks: a refused block is sent again after a second, at most 10 times.
inline constexpr std::chrono::milliseconds kBlockResendWait{1000};
inline constexpr int kMaxBlockResends = 10;
// Only the echo's address, length and sum are compared, not its padding.
inline constexpr size_t kHeaderEchoComparedBytes = usb::kHeaderPaddingOffset;

// The run: a sector's write is tried again (erase included) up to 50 times in a row; its
// checksum is asked for up to 6 times.
inline constexpr int kMaxWriteFailures = 50;
inline constexpr int kVerifyAttempts = 6;

// Little-endian 16-bit words byte[2k] + 256 * byte[2k + 1], summed modulo 65536; an odd last
// byte is not counted.
uint16_t WordSum(const uint8_t* bytes, size_t length);

// 01 0A 4D, the chip type: the same frame as the packet transfer's.
using usb::HandshakeFrame;
// 02, address (4), the low 16 bits of data (2).
Frame BusCycleFrame(uint32_t address, int32_t data);
// 03, sector address (4).
Frame ErasePollFrame(uint32_t sectorAddress);
// The three templates: code, 2 x cycles modulo 256, their fixed bytes, then per cycle the low
// 16 bits of its address and of its data.
Frame ProgramTemplateFrame(const FlashProfile& profile);
Frame WriteBufferTemplateFrame(const FlashProfile& profile);
Frame ProgramBufferTemplateFrame(const FlashProfile& profile);
// 07, address (4), word count's low 16 bits (2), word sum (2), 00 00 00.
Frame BlockHeaderFrame(uint32_t address, uint32_t words, uint16_t sum);
// 08, sector address (4), words (4), 00.
Frame SectorChecksumFrame(uint32_t sectorAddress, uint32_t words);

// The sector map over the profile's sector address list. The address of sector i (past the
// end: the last entry; none: 0); its size in bytes, up to the next entry (the last sector has
// the size of the one before it; fewer than two entries: 0); whether its address is reserved.
int32_t SectorAddress(const FlashProfile& profile, size_t i);
int64_t SectorSize(const FlashProfile& profile, size_t i);
bool IsReservedSector(const FlashProfile& profile, size_t i);

}  // namespace harmoload::flash
