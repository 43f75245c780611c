#pragma once
// The packet transfer on the wire: frames, answers, waits and limits, named once. Numbers are
// little-endian.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace harmoload::packet {

// Handshake: 01 0A 4D chipType; the instrument answers F1 when it is ready.
inline constexpr uint8_t kHandshakeCommand[3] = {0x01, 0x0A, 0x4D};
inline constexpr size_t kHandshakeFrameBytes = 4;
inline constexpr uint8_t kHandshakeReady = 0xF1;
inline constexpr int kHandshakeAttempts = 11;
inline constexpr std::chrono::milliseconds kHandshakeWait{50};

// Packet header: 07, address (4), length (2, 65536 sent as 0), byte sum (2), 00 00 00; echoed.
inline constexpr uint8_t kPacketHeaderCode = 0x07;
inline constexpr size_t kPacketHeaderBytes = 12;

// After each packet: the verdict on its sum, then (only after F4) the end answer D4.
inline constexpr uint8_t kVerdictSumMatched = 0xF4;
inline constexpr uint8_t kEndAnswer = 0xD4;
// A packet is sent at most this many times (the first time and 11 resends).
inline constexpr int kMaxResends = 11;

// The wait after a packet header: 100 ms per whole KiB of the packet size.
inline constexpr std::chrono::milliseconds kHeaderWaitPerKiB{100};

// Checksum frame: 08, start address (4), total sent (4), 00 00; the answer's bytes 9 and 10
// hold the instrument's 16-bit sum.
inline constexpr uint8_t kChecksumCode = 0x08;
inline constexpr size_t kChecksumFrameBytes = 11;
inline constexpr size_t kChecksumAnswerSumOffset = 9;

// Byte sum of a run of bytes, modulo 65536.
uint16_t ByteSum(const uint8_t* bytes, size_t count);

}  // namespace harmoload::packet
