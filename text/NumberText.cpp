#include "text/NumberText.h"

#include <algorithm>

#include "text/AsciiCase.h"

namespace harmoload {
namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (const char upper = AsciiUpper(c); upper >= 'A' && upper <= 'Z') {
        return upper - 'A' + 10;
    }
    return 99;
}

uint32_t ConvertText(std::string_view text, int base) {
    size_t i = 0;
    while (i < text.size() && IsNumberSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // The prefix counts only when a hexadecimal digit follows it; "0x" alone is the number 0.
    if (base == 16 && i + 2 < text.size() && text[i] == '0' &&
        (text[i + 1] == 'x' || text[i + 1] == 'X') && DigitValue(text[i + 2]) < 16) {
        i += 2;
    }
    uint64_t magnitude = 0;
    bool saturated = false;
    for (; i < text.size() && DigitValue(text[i]) < base; ++i) {
        magnitude = magnitude * base + DigitValue(text[i]);
        if (magnitude > UINT32_MAX) {
            saturated = true;
            magnitude = UINT32_MAX;
        }
    }
    const auto value = saturated ? UINT32_MAX : static_cast<uint32_t>(magnitude);
    return negative ? static_cast<uint32_t>(0u - value) : value;
}

}  // namespace

bool IsDecimalText(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-'; });
}

bool IsHexText(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return DigitValue(c) < 16; });
}

uint32_t HexTextValue(std::string_view text) {
    return ConvertText(text, 16);
}

uint32_t DecimalTextValue(std::string_view text) {
    return ConvertText(text, 10);
}

bool ParseHexText(std::string_view text, uint32_t& value) {
    value = HexTextValue(text);
    return value != UINT32_MAX;
}

bool ParseDecimalText(std::string_view text, uint32_t& value) {
    value = DecimalTextValue(text);
    return value != UINT32_MAX;
}

}  // namespace harmoload
