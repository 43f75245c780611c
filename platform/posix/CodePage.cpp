#include "platform/CodePage.h"

#include "bytes/LittleEndian.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <string>

#include "platform/Unicode.h"
#include "platform/posix/Locale.h"

namespace harmoload {
namespace {

// Windows-1252 differs from Latin-1 only in 0x80 to 0x9F; its five unassigned bytes map to
// the C1 controls of the same value, as Windows maps them.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The iconv name of the locale's multi-byte code page, or nullptr for Windows-1252.
const char* MultiByteCodePage() {
    const std::string locale = LocaleNameFromEnvironment("LC_CTYPE");
    const std::string language = locale.substr(0, 5);
    if (language == "zh_CN" || language == "zh_SG") {
        return "CP936";
    }
    if (language == "zh_TW" || language == "zh_HK") {
        return "CP950";
    }
    return nullptr;
}

// Converts input from one iconv code page to another, a chunk at a time; each sequence iconv
// cannot convert stands as replacement in the output and is passed over (at most skipBytes of
// it). Nothing when iconv does not know either code page.
std::optional<std::string> Iconv(const char* to, const char* from, std::string input,
                                 std::string_view replacement, size_t skipBytes) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string out;
    char* in = input.data();
    size_t inLeft = input.size();
    std::array<char, 1024> chunk{};
    while (inLeft > 0) {
        char* outPtr = chunk.data();
        size_t outLeft = chunk.size();
        const size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(chunk.data(), outPtr);
        if (result == static_cast<size_t>(-1) && errno != E2BIG) {
            out += replacement;
            const size_t skip = std::min(skipBytes, inLeft);
            in += skip;
            inLeft -= skip;
        }
    }
    iconv_close(cd);
    return out;
}

// A byte sequence the code page cannot convert becomes U+FFFD and its first byte is skipped.
std::u16string IconvToUtf16(const char* codePage, std::string_view text) {
    const std::optional<std::string> bytes =
        Iconv("UTF-16LE", codePage, std::string(text), "\xFD\xFF", 1);
    if (!bytes) {
        return Utf8ToUtf16(text);
    }
    return ReadUtf16LittleEndian(*bytes);
}

// A character the code page lacks becomes '?'.
std::string IconvFromUtf16(const char* codePage, std::u16string_view text) {
    std::string input;
    AppendUtf16LittleEndian(input, text);
    std::optional<std::string> out = Iconv(codePage, "UTF-16LE", std::move(input), "?", 2);
    return out ? std::move(*out) : Utf16ToUtf8(text);
}

}  // namespace

std::u16string AnsiToUtf16(std::string_view ansi) {
    if (const char* codePage = MultiByteCodePage()) {
        return IconvToUtf16(codePage, ansi);
    }
    std::u16string out;
    out.reserve(ansi.size());
    for (char c : ansi) {
        const auto byte = static_cast<uint8_t>(c);
        out += (byte >= 0x80 && byte < 0xA0) ? kCp1252High[byte - 0x80] : char16_t{byte};
    }
    return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
    return Utf16ToUtf8(AnsiToUtf16(ansi));
}

std::string Utf8ToAnsi(std::string_view utf8) {
    const std::u16string wide = Utf8ToUtf16(utf8);
    if (const char* codePage = MultiByteCodePage()) {
        return IconvFromUtf16(codePage, wide);
    }
    std::string out;
    out.reserve(wide.size());
    for (char16_t unit : wide) {
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
            out += static_cast<char>(unit);
            continue;
        }
        char replacement = '?';
        for (size_t i = 0; i < kCp1252High.size(); ++i) {
            if (kCp1252High[i] == unit) {
                replacement = static_cast<char>(0x80 + i);
                break;
            }
        }
        out += replacement;
    }
    return out;
}

}  // namespace harmoload
