#include "cli/TerminalText.h"

#include <cstdio>

namespace harmoload {
namespace {

constexpr unsigned char kDelete = 0x7F;
// C1 controls U+0080 to U+009F are written in UTF-8 as C2 80 to C2 9F.
constexpr unsigned char kC1Lead = 0xC2;
constexpr unsigned char kC1First = 0x80;
constexpr unsigned char kC1Last = 0x9F;

void AppendEscape(std::string& out, const char* format, unsigned value) {
    char escape[8];
    std::snprintf(escape, sizeof escape, format, value);
    out += escape;
}

}  // namespace

std::string TerminalText(std::string_view utf8, LineBreaks lineBreaks) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte == '\n' && lineBreaks == LineBreaks::Keep) {
            out += '\n';
        } else if (byte < 0x20 || byte == kDelete) {
            AppendEscape(out, "\\x%02X", byte);
        } else if (byte == kC1Lead && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) >= kC1First &&
                   static_cast<unsigned char>(utf8[i + 1]) <= kC1Last) {
            AppendEscape(out, "\\u%04X", static_cast<unsigned char>(utf8[++i]));
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

}  // namespace harmoload
