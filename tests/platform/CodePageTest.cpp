#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <cstdlib>

#ifndef _WIN32
#include "tests/support/EnvironmentScope.h"
#endif

namespace harmoload {
namespace {

#ifndef _WIN32
// The code page follows LC_ALL, LC_CTYPE and LANG.
TEST(CodePage, WesternLocalesReadWindows1252) {
    EnvironmentScope locale{{"LC_ALL", nullptr}, {"LC_CTYPE", nullptr}, {"LANG", "en_US.UTF-8"}};
    EXPECT_EQ(AnsiToUtf16("Caf\xE9 \x80 \x9F \x81"), u"Caf\u00e9 \u20ac \u0178 \u0081");
    EXPECT_EQ(Utf8ToAnsi("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xE9 \x80");
    EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD"), "?");
}

TEST(CodePage, ChineseLocalesReadGbk) {
    EnvironmentScope locale{{"LC_ALL", nullptr}, {"LC_CTYPE", nullptr}, {"LANG", "zh_CN.UTF-8"}};
    EXPECT_EQ(AnsiToUtf16("\xD6\xD0\xCE\xC4 V1"), u"\u4e2d\u6587 V1");
    EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD\xE6\x96\x87"), "\xD6\xD0\xCE\xC4");
    // A lead byte without its trail byte is not lost silently.
    EXPECT_EQ(AnsiToUtf16("A\xD6"), u"A\uFFFD");
    EXPECT_EQ(Utf8ToAnsi("A\xE0\xB8\x81"), "A?");  // Thai has no GBK code
}
#endif

TEST(CodePage, AsciiPassesUnchanged) {
    EXPECT_EQ(AnsiToUtf8("HX-100 v2.01"), "HX-100 v2.01");
    EXPECT_EQ(Utf8ToAnsi("HX-100 v2.01"), "HX-100 v2.01");
    EXPECT_EQ(AnsiToUtf8(""), "");
}

}  // namespace
}  // namespace harmoload
