#pragma once
// The flash profile's value rule: hexadecimal when the text begins with 0x or ends with h,
// decimal otherwise; a value that is neither is reported and read as 0.

#include <cstdint>
#include <string>

#include "platform/Notifier.h"

namespace harmoload {

inline constexpr const char* kInvalidHexMessage = "invalid hex expression: ";
inline constexpr const char* kInvalidDecimalMessage = "invalid decimal expression: ";

// The value of a flash profile number. Text it cannot read shows one message (the
// application's title as caption, an OK button, no icon) and gives 0.
uint32_t parseProfileValue(std::string text, Notifier& notifier);

}  // namespace harmoload
