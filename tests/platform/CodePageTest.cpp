#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace harmoload {
namespace {

#ifndef _WIN32
// Sets the locale variables for one test and restores them afterwards.
class LocaleScope {
  public:
    explicit LocaleScope(const char* locale) {
        for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
        setenv("LANG", locale, 1);
    }
    ~LocaleScope() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name, value->c_str(), 1);
            } else {
                unsetenv(name);
            }
        }
    }

  private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(CodePage, WesternLocalesReadWindows1252) {
    LocaleScope locale("en_US.UTF-8");
    EXPECT_EQ(AnsiToUtf16("Caf\xE9 \x80 \x9F \x81"), u"Caf\u00e9 \u20ac \u0178 \u0081");
    EXPECT_EQ(Utf8ToAnsi("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xE9 \x80");
    EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD"), "?");
}

TEST(CodePage, ChineseLocalesReadGbk) {
    LocaleScope locale("zh_CN.UTF-8");
    EXPECT_EQ(AnsiToUtf16("\xD6\xD0\xCE\xC4 V1"), u"\u4e2d\u6587 V1");
    EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD\xE6\x96\x87"), "\xD6\xD0\xCE\xC4");
    // A lead byte without its trail byte is not lost silently.
    EXPECT_EQ(AnsiToUtf16("A\xD6"), u"A\uFFFD");
}
#endif

TEST(CodePage, AsciiPassesUnchanged) {
    EXPECT_EQ(AnsiToUtf8("HX-100 v2.01"), "HX-100 v2.01");
    EXPECT_EQ(Utf8ToAnsi("HX-100 v2.01"), "HX-100 v2.01");
    EXPECT_EQ(AnsiToUtf8(""), "");
}

}  // namespace
}  // namespace harmoload
