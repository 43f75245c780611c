#pragma once
// Case folding of the ASCII letters only, as the profiles, numbers and file extensions the
// program reads are matched: other bytes (and every byte of a multi-byte character) stay as
// they are, whatever the locale.

#include <string>
#include <string_view>

namespace harmoload {

constexpr char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiUpperCase(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = AsciiUpper(c);
    }
    return upper;
}

inline std::string AsciiLowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = AsciiLower(c);
    }
    return lower;
}

}  // namespace harmoload
