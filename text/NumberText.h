#pragma once
// Numbers written as text in the engine profiles. The conversions follow the C library's
// wcstoul with a 32-bit result: leading white space, one sign, in base 16 an optional 0x,
// as many digits as follow; no digit gives 0, a value above 0xFFFFFFFF gives 0xFFFFFFFF, and a
// minus sign negates modulo 2^32 (after the saturation, so "-4294967296" gives 1).

#include <cstdint>
#include <string_view>

namespace harmoload {

// True when every character is a digit, a full stop or a minus sign; true for empty text.
bool IsDecimalText(std::string_view text);

// True when every character is a hexadecimal digit in either case; true for empty text.
bool IsHexText(std::string_view text);

uint32_t HexTextValue(std::string_view text);
uint32_t DecimalTextValue(std::string_view text);

// Store the conversion in value (always) and return false only when it is 0xFFFFFFFF.
bool ParseHexText(std::string_view text, uint32_t& value);
bool ParseDecimalText(std::string_view text, uint32_t& value);

// The white space the conversions skip: space, tab, line feed, vertical tab, form feed and
// carriage return.
constexpr bool IsNumberSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace harmoload
