#pragma once
// The frames the instrument accepts in its update mode and the answers the host relies on.
// Each host frame is one write; where the host reads, the answer has exactly the stated length.
// Multi-byte numbers are little-endian. Both engines and the simulated instrument use these.

#include <cstddef>
#include <cstdint>

namespace harmoload::frames {

// First byte of each host frame.
inline constexpr uint8_t kHandshake = 0x01;              // 01 0A 4D chipType
inline constexpr uint8_t kBusCycle = 0x02;               // 02 address(4) data(2)
inline constexpr uint8_t kErasePoll = 0x03;              // 03 sectorAddress(4)
inline constexpr uint8_t kProgramTemplate = 0x04;        // 04 2n cycles(4 each)
inline constexpr uint8_t kWriteBufferTemplate = 0x05;    // 05 2n count pa1 pa2 sa1 sa2 cycles
inline constexpr uint8_t kProgramBufferTemplate = 0x06;  // 06 2m sa1 sa2 cycles
inline constexpr uint8_t kHeader = 0x07;                 // 07 address(4) length(2) sum(2) 00 00 00
inline constexpr uint8_t kSumRequest = 0x08;             // 08 address(4) length(4) then 00 or 00 00
inline constexpr uint8_t kResult = 0x09;                 // 09 flag 00 00

// The handshake's fixed second and third bytes.
inline constexpr uint8_t kHandshakeMagic1 = 0x0A;
inline constexpr uint8_t kHandshakeMagic2 = 0x4D;

inline constexpr size_t kHandshakeSize = 4;
inline constexpr size_t kBusCycleSize = 7;
inline constexpr size_t kErasePollSize = 5;
inline constexpr size_t kProgramTemplateFixedSize = 2;        // + 4 per cycle
inline constexpr size_t kWriteBufferTemplateFixedSize = 7;    // + 4 per cycle
inline constexpr size_t kProgramBufferTemplateFixedSize = 4;  // + 4 per cycle
inline constexpr size_t kTemplateCycleSize = 4;
inline constexpr size_t kHeaderSize = 12;
inline constexpr size_t kFlashSumRequestSize = 10;   // flash-command engine: sector and words
inline constexpr size_t kPacketSumRequestSize = 11;  // packet-transfer engine: start and bytes
inline constexpr size_t kResultSize = 4;

// Answers.
inline constexpr uint8_t kReady = 0xF1;         // to the handshake
inline constexpr uint8_t kSumMatched = 0xF4;    // verdict on the data after a header
inline constexpr uint8_t kWritingEnded = 0xD4;  // after kSumMatched
inline constexpr size_t kBusCycleAnswerSize = 7;
inline constexpr size_t kErasePollAnswerSize = 7;
inline constexpr size_t kErasePollWordOffset = 5;  // the 16-bit word read back
inline constexpr size_t kSumAnswerSize = 11;
inline constexpr size_t kSumAnswerSumOffset = 9;  // the instrument's 16-bit sum
inline constexpr size_t kResultAnswerSize = 4;

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
    const auto unexpected = static_cast<uint16_t>(~expected);
    answer[0] = static_cast<uint8_t>(unexpected);
    answer[1] = static_cast<uint8_t>(unexpected >> 8);
}

// A header's length field is 16 bits: a full 65536 travels as 0.
inline constexpr uint32_t kFullLengthField = 65536;

}  // namespace harmoload::frames
