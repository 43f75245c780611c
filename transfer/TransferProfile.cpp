#include "transfer/TransferProfile.h"

#include "text/AsciiCase.h"
#include "text/NumberText.h"

namespace harmoload {
namespace {

std::optional<int32_t> Valid(uint32_t value) {
    const auto result = static_cast<int32_t>(value);
    if (result == -1) {
        return std::nullopt;
    }
    return result;
}

}  // namespace

std::optional<int32_t> ParseProfileSize(std::string text) {
    text = AsciiUpperCase(text);
    if (IsDecimalText(text)) {
        return Valid(DecimalTextValue(text));
    }
    if (!text.empty()) {
        const std::string number = text.substr(0, text.size() - 1);
        if (text.back() == 'K' && IsDecimalText(number)) {
            return Valid(DecimalTextValue(number) * 1024u);
        }
        if (text.back() == 'M' && IsDecimalText(number)) {
            return Valid(DecimalTextValue(number) * 1048576u);
        }
    }
    return std::nullopt;
}

std::optional<int32_t> ParseProfileAddress(std::string text) {
    text = AsciiUpperCase(text);
    if (IsDecimalText(text)) {
        return Valid(DecimalTextValue(text));
    }
    if (text.starts_with("0X")) {
        return Valid(HexTextValue(text.substr(2)));
    }
    if (!text.empty() && text.back() == 'H') {
        return Valid(HexTextValue(text.substr(0, text.size() - 1)));
    }
    return std::nullopt;
}

}  // namespace harmoload
