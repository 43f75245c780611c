#pragma once
// The frames the instrument accepts in its update mode and the answers the host relies on, named
// once: the engines build their frames from these, the simulated instrument reads them with
// these. Each host frame is one write; where the host reads, the answer has exactly the stated
// length. Offsets count bytes from a frame's first byte; multi-byte numbers are little-endian.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bytes/LittleEndian.h"

namespace harmoload::usb {

using Frame = std::vector<uint8_t>;

// First byte of each host frame: the instrument tells its frames apart by it.
inline constexpr size_t kCommandOffset = 0;
inline constexpr uint8_t kHandshake = 0x01;              // 01 0A 4D chipType
inline constexpr uint8_t kBusCycle = 0x02;               // 02 address(4) data(2)
inline constexpr uint8_t kErasePoll = 0x03;              // 03 sectorAddress(4)
inline constexpr uint8_t kProgramTemplate = 0x04;        // 04 2n cycles(4 each)
inline constexpr uint8_t kWriteBufferTemplate = 0x05;    // 05 2n count pa1 pa2 sa1 sa2 cycles
inline constexpr uint8_t kProgramBufferTemplate = 0x06;  // 06 2m sa1 sa2 cycles
inline constexpr uint8_t kHeader = 0x07;                 // 07 address(4) length(2) sum(2) 00 00 00
inline constexpr uint8_t kSumRequest = 0x08;             // 08 address(4) length(4) then 00 or 00 00
inline constexpr uint8_t kResult = 0x09;                 // 09 flag 00 00

// The handshake's fixed second and third bytes: with them the instrument knows the frame for a
// handshake; the chip type it is to be updated as follows them.
inline constexpr uint8_t kHandshakeMagic1 = 0x0A;
inline constexpr uint8_t kHandshakeMagic2 = 0x4D;
inline constexpr size_t kHandshakeMagic1Offset = 1;
inline constexpr size_t kHandshakeMagic2Offset = 2;
inline constexpr size_t kHandshakeChipTypeOffset = 3;

// Every frame that names a place in the instrument's memory has its 32-bit address right after
// the command byte: words of the flash for the flash-command engine, bytes for the packet
// transfer.
inline constexpr size_t kAddressOffset = 1;
inline constexpr size_t kBusCycleDataOffset = 5;  // 16 bits
// A header announces the data that follows it: its length (16 bits; words of a flash block,
// bytes of a packet), then its sum (16 bits), then padding up to the header's size.
inline constexpr size_t kHeaderLengthOffset = 5;
inline constexpr size_t kHeaderSumOffset = 7;
inline constexpr size_t kHeaderPaddingOffset = 9;
// A sum request names the memory to sum: 32 bits of length (words or bytes as above).
inline constexpr size_t kSumRequestLengthOffset = 5;
// A template's second byte: twice its cycle count, modulo 256.
inline constexpr size_t kTemplateCountOffset = 1;
// The result frame's flag tells the instrument how the update ended.
inline constexpr size_t kResultFlagOffset = 1;
inline constexpr uint8_t kResultSucceeded = 0x00;
inline constexpr uint8_t kResultFailed = 0x01;

inline constexpr size_t kHandshakeBytes = 4;
inline constexpr size_t kBusCycleBytes = 7;
inline constexpr size_t kErasePollBytes = 5;
inline constexpr size_t kProgramTemplateFixedBytes = 2;        // + kTemplateCycleBytes per cycle
inline constexpr size_t kWriteBufferTemplateFixedBytes = 7;    // + kTemplateCycleBytes per cycle
inline constexpr size_t kProgramBufferTemplateFixedBytes = 4;  // + kTemplateCycleBytes per cycle
inline constexpr size_t kTemplateCycleBytes = 4;               // address(2) data(2)
inline constexpr size_t kHeaderBytes = 12;
// The two engines ask for sums with frames of their own lengths, which is how the instrument
// tells a flash sector's word sum from the packet transfer's byte sum.
inline constexpr size_t kFlashSumRequestBytes = 10;   // flash-command engine: sector and words
inline constexpr size_t kPacketSumRequestBytes = 11;  // packet-transfer engine: start and bytes
inline constexpr size_t kResultBytes = 4;

// Answers. The one-byte answers:
inline constexpr uint8_t kReady = 0xF1;         // to the handshake
inline constexpr uint8_t kSumMatched = 0xF4;    // verdict on the data after a header
inline constexpr uint8_t kWritingEnded = 0xD4;  // after kSumMatched
// The longer ones echo their frame and then carry what was asked for.
inline constexpr size_t kBusCycleAnswerBytes = 7;
inline constexpr size_t kErasePollAnswerBytes = 7;
inline constexpr size_t kErasePollWordOffset = 5;  // the 16-bit word read back
inline constexpr size_t kSumAnswerBytes = 11;
inline constexpr size_t kSumAnswerSumOffset = 9;  // the instrument's 16-bit sum
inline constexpr size_t kResultAnswerBytes = 4;

// A header's length field is 16 bits: a full 65536 travels as 0.
inline constexpr uint32_t kFullLengthField = 65536;

// The frames both engines send, in the one layout the instrument reads them in.
inline Frame HandshakeFrame(int32_t chipType) {
    return {kHandshake, kHandshakeMagic1, kHandshakeMagic2, static_cast<uint8_t>(chipType)};
}
// The length field keeps the low 16 bits of length.
inline Frame HeaderFrame(uint32_t address, uint32_t length, uint16_t sum) {
    Frame frame(kHeaderBytes, 0x00);
    frame[kCommandOffset] = kHeader;
    WriteLittleEndian32(&frame[kAddressOffset], address);
    WriteLittleEndian16(&frame[kHeaderLengthOffset], static_cast<uint16_t>(length));
    WriteLittleEndian16(&frame[kHeaderSumOffset], sum);
    return frame;
}
// 09, whether every pair succeeded, 00 00: the last frame of an update run.
inline Frame ResultFrame(bool success) {
    Frame frame(kResultBytes, 0x00);
    frame[kCommandOffset] = kResult;
    frame[kResultFlagOffset] = success ? kResultSucceeded : kResultFailed;
    return frame;
}
// size: kFlashSumRequestBytes or kPacketSumRequestBytes.
inline Frame SumRequestFrame(uint32_t address, uint32_t length, size_t size) {
    Frame frame(size, 0x00);
    frame[kCommandOffset] = kSumRequest;
    WriteLittleEndian32(&frame[kAddressOffset], address);
    WriteLittleEndian32(&frame[kSumRequestLengthOffset], length);
    return frame;
}

// Fills an answer buffer, before its read, with what cannot pass for the expected bytes: a read
// that delivers fewer bytes than asked still counts as complete, and whatever part of the
// answer does not arrive must never be taken for the answer expected.
inline void ExpectNoAnswer(uint8_t* answer, const uint8_t* expected, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        answer[i] = static_cast<uint8_t>(~expected[i]);
    }
}
// The same for a 16-bit little-endian value expected at answer.
inline void ExpectNoAnswer16(uint8_t* answer, uint16_t expected) {
    WriteLittleEndian16(answer, static_cast<uint16_t>(~expected));
}

}  // namespace harmoload::usb
