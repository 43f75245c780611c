#include "platform/Unicode.h"

#include <gtest/gtest.h>

namespace harmoload {
namespace {

TEST(Unicode, RoundTripsEveryPlane) {
    const std::u16string text = u"A\u00e9\u4e2d\U0001F3B9\uFFFD";
    EXPECT_EQ(Utf16ToUtf8(text), "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x8E\xB9\xEF\xBF\xBD");
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
}

TEST(Unicode, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xE4\xB8"), u"\uFFFD\uFFFD");            // cut short
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // surrogate
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace harmoload
