#pragma once
// Fields of a frame the tests recorded or read, at the instrument contract's offsets: a frame
// too short for the field throws, which fails the test, instead of reading past its end.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bytes/LittleEndian.h"

namespace harmoload::testing {

inline uint32_t FrameField(const std::vector<uint8_t>& frame, size_t offset, size_t bytes) {
    static_cast<void>(frame.at(offset + bytes - 1));
    return ReadLittleEndian(&frame[offset], bytes);
}

inline uint16_t FrameField16(const std::vector<uint8_t>& frame, size_t offset) {
    return static_cast<uint16_t>(FrameField(frame, offset, 2));
}

inline uint32_t FrameField32(const std::vector<uint8_t>& frame, size_t offset) {
    return FrameField(frame, offset, 4);
}

}  // namespace harmoload::testing
