#include "text/ProfileValue.h"

#include "text/AsciiCase.h"
#include "text/NumberText.h"

namespace harmoload {

uint32_t parseProfileValue(std::string text, Notifier& notifier) {
    text = AsciiUpperCase(text);
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsNumberSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && IsNumberSpace(text[end - 1])) {
        --end;
    }
    text = text.substr(begin, end - begin);

    const bool hexPrefix = text.starts_with("0X");
    const bool hexSuffix = text.ends_with("H");
    if (hexPrefix || hexSuffix) {
        std::string digits = text;
        if (hexPrefix) {
            digits.erase(0, 2);
        }
        if (digits.ends_with("H")) {
            digits.pop_back();
        }
        if (IsHexText(digits)) {
            return HexTextValue(digits);
        }
        notifier.showMessage({kApplicationTitle, kInvalidHexMessage + digits});
        return 0;
    }
    if (IsDecimalText(text)) {
        return DecimalTextValue(text);
    }
    notifier.showMessage({kApplicationTitle, kInvalidDecimalMessage + text});
    return 0;
}

}  // namespace harmoload
