#pragma once
// The packet transfer's frames, built as the instrument's contract lays them out, and the
// transfer's waits and limits, named once. Addresses and lengths count bytes.

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "usb/InstrumentContract.h"

namespace harmoload::transfer {

using Frame = usb::Frame;

// The handshake is sent up to 11 times, its answer read 50 ms after each.
inline constexpr int kHandshakeAttempts = 11;
inline constexpr std::chrono::milliseconds kHandshakeWait{50};

// A packet is sent at most this many times (the first time and 11 resends).
inline constexpr int kMaxResends = 11;

// A packet's bytes go to the instrument in writes of at most this many; every packet size but
// the last is a multiple of it.
inline constexpr size_t kSmallPacketBytes = 64;

// The wait after a packet header: 100 ms per whole KiB of the packet size.
inline constexpr std::chrono::milliseconds kHeaderWaitPerKiB{100};

// Byte sum of a run of bytes, modulo 65536.
uint16_t ByteSum(const uint8_t* bytes, size_t count);

// 01 0A 4D, the chip type: the same frame as the flash-command engine's.
using usb::HandshakeFrame;
// 07, address (4), the packet's size in bytes (2; 65536 travels as 0), the byte sum of its
// bytes (2), 00 00 00: the instrument echoes it.
Frame PacketHeaderFrame(uint32_t address, const uint8_t* bytes, size_t size);
// 08, start address (4), bytes sent in all, resent packets included (4), 00 00.
Frame ChecksumFrame(uint32_t startAddress, uint32_t totalSent);

}  // namespace harmoload::transfer
