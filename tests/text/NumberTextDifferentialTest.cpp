// The conversions against the C library's own wcstoul on a generated corpus: the Windows C
// runtime (32-bit unsigned long) under the Windows build, glibc natively. glibc's unsigned long
// has 64 bits, so there its answer is narrowed the way a 32-bit wcstoul answers: a magnitude
// above 0xFFFFFFFF saturates before a minus sign negates it.

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cwchar>
#include <random>
#include <string>

#include "text/NumberText.h"

namespace harmoload {
namespace {

uint32_t LibraryValue(const std::string& text, int base) {
    const std::wstring wide(text.begin(), text.end());
#if ULONG_MAX == 0xFFFFFFFFul
    return static_cast<uint32_t>(std::wcstoul(wide.c_str(), nullptr, base));
#else
    errno = 0;
    const unsigned long raw = std::wcstoul(wide.c_str(), nullptr, base);
    const bool outOfRange = errno == ERANGE;
    const bool negative = std::wcstoll(wide.c_str(), nullptr, base) < 0;
    const unsigned long magnitude = negative ? 0ul - raw : raw;
    const uint32_t narrowed =
        (outOfRange || magnitude > 0xFFFFFFFFul) ? 0xFFFFFFFFu : static_cast<uint32_t>(magnitude);
    return negative ? 0u - narrowed : narrowed;
#endif
}

std::vector<std::string> Corpus() {
    std::mt19937 random(2001);
    const std::string alphabet = " \t\n\v\f\r+-.0123456789abcdefgxzABCDEFGXZ";
    const std::string digits = "0123456789abcdefABCDEF";
    const std::vector<std::string> starts = {"", " ", "\t-", "+", "-", "0x", "-0x", "0X", "00x"};
    std::vector<std::string> corpus;
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        const size_t length = random() % 12;
        for (size_t k = 0; k < length; ++k) {
            text += alphabet[random() % alphabet.size()];
        }
        corpus.push_back(text);
    }
    // Long runs of digits around the 32-bit limit and far past it.
    for (int i = 0; i < 20000; ++i) {
        std::string text = starts[random() % starts.size()];
        const size_t length = 7 + random() % 18;
        for (size_t k = 0; k < length; ++k) {
            text += digits[random() % (i % 2 == 0 ? 10 : digits.size())];
        }
        if (random() % 4 == 0) {
            text += alphabet[random() % alphabet.size()];
        }
        corpus.push_back(text);
    }
    for (const char* edge : {"4294967295", "4294967296", "-4294967295", "-4294967296", "FFFFFFFF",
                             "100000000", "-FFFFFFFF", "-100000000", "18446744073709551615",
                             "18446744073709551616", "-9223372036854775808"}) {
        corpus.emplace_back(edge);
    }
    return corpus;
}

TEST(NumberTextDifferential, HexAndDecimalAgreeWithTheCLibraryOnAGeneratedCorpus) {
    int mismatches = 0;
    for (const std::string& text : Corpus()) {
        for (int base : {16, 10}) {
            const uint32_t ours = base == 16 ? HexTextValue(text) : DecimalTextValue(text);
            const uint32_t library = LibraryValue(text, base);
            if (ours != library && ++mismatches <= 20) {
                ADD_FAILURE() << "base " << base << " text \"" << text << "\": ours " << ours
                              << ", C library " << library;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace harmoload
