#pragma once
// Numbers of more than one byte, in update packages and on the instrument's wire, are
// little-endian: the lowest byte first. Readers and writers take the address of the first byte;
// AppendLittleEndian grows a frame that is built byte by byte. UTF-16 text is stored the same
// way, unit by unit (UTF-16LE): the packages' engine codes, the language files, the buffers of
// the code-page conversion.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace harmoload {

inline uint32_t ReadLittleEndian(const uint8_t* bytes, size_t count) {
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) {
        value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    }
    return value;
}

inline uint16_t ReadLittleEndian16(const uint8_t* bytes) {
    return static_cast<uint16_t>(ReadLittleEndian(bytes, 2));
}

inline uint32_t ReadLittleEndian32(const uint8_t* bytes) {
    return ReadLittleEndian(bytes, 4);
}

// The lowest `count` bytes of `value`.
inline void WriteLittleEndian(uint8_t* bytes, uint32_t value, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

inline void WriteLittleEndian16(uint8_t* bytes, uint16_t value) {
    WriteLittleEndian(bytes, value, 2);
}

inline void WriteLittleEndian32(uint8_t* bytes, uint32_t value) {
    WriteLittleEndian(bytes, value, 4);
}

inline void AppendLittleEndian(std::vector<uint8_t>& bytes, uint32_t value, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// The whole units of bytes; an odd last byte is left out.
inline std::u16string ReadUtf16LittleEndian(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>(
            ReadLittleEndian16(reinterpret_cast<const uint8_t*>(bytes.data() + i)));
    }
    return text;
}

inline void AppendUtf16LittleEndian(std::string& bytes, std::u16string_view text) {
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
}

}  // namespace harmoload
