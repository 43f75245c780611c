#include "ini/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/TempFolder.h"

namespace harmoload {
namespace {

class IniFileTest : public ::testing::Test {
  protected:
    std::string write(const std::string& name, const std::string& bytes) {
        const std::string path = folder_.path(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    testing::TempFolder folder_;
};

TEST_F(IniFileTest, ValuesOfAnyLengthAreReturnedWhole) {
    // Lengths around each step of the growing buffer.
    std::string text = "[S]\r\n";
    const std::vector<size_t> lengths = {0, 1, 510, 511, 512, 513, 600, 1023, 1024, 1535, 5000};
    for (size_t length : lengths) {
        text += "k" + std::to_string(length) + "=" + std::string(length, 'v') + "\r\n";
    }
    IniFile ini;
    ini.setFile(write("long.ini", text));
    for (size_t length : lengths) {
        EXPECT_EQ(ini.readValue("S", "k" + std::to_string(length), "d").size(), length)
            << "value of " << length << " characters";
    }
}

TEST_F(IniFileTest, ATenMegabyteValueIsReadWholeInAFewReadsOfTheFile) {
    // Growing by a fixed step would read and parse the whole file some 20000 times; doubling
    // from 512 characters takes 16 reads. The time it takes is measured by the benchmarks.
    const std::string value(10 * 1000 * 1000, 'v');
    IniFile ini;
    ini.setFile(write("huge.ini", "[S]\r\nk=" + value + "\r\n"));
    EXPECT_EQ(ini.readValue("S", "k", "").size(), value.size());
    EXPECT_LE(ini.serviceReads(), 16u);
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    IniFile ini;
    ini.setFile(write("a.ini", "[S]\r\nk=v\r\n"));
    EXPECT_EQ(ini.readValue("S", "k", "d"), "v");
    EXPECT_EQ(ini.readValue("S", "missing", "d"), "d");
    EXPECT_EQ(ini.readValue("Other", "k", "d"), "d");
    EXPECT_EQ(ini.readValue("S", "missing", std::nullopt), "");

    ini.setFile(folder_.path("absent.ini"));
    EXPECT_EQ(ini.readValue("S", "k", "d"), "d");
}

TEST_F(IniFileTest, WithoutSectionOrKeyTheDefaultIsCopiedAndTheFileNotRead) {
    IniFile ini;
    ini.setFile(write("a.ini", "[S]\r\nk=v\r\n"));
    // The file would answer "v", and the service would drop the default's trailing blanks.
    EXPECT_EQ(ini.readValue(std::nullopt, "k", "dflt  "), "dflt  ");
    EXPECT_EQ(ini.readValue("S", std::nullopt, "\"q\""), "\"q\"");
    EXPECT_EQ(ini.readValue(std::nullopt, std::nullopt, std::nullopt), "");
}

TEST_F(IniFileTest, SetFileWithoutPathEmptiesAnExistingPathOnly) {
    IniFile ini;
    ini.setFile(std::nullopt);
    EXPECT_FALSE(ini.path().has_value());

    ini.setFile(write("a.ini", "[S]\r\nk=v\r\n"));
    ini.setFile(std::nullopt);
    ASSERT_TRUE(ini.path().has_value());
    EXPECT_EQ(*ini.path(), "");
    EXPECT_EQ(ini.readValue("S", "k", "d"), "d");
}

TEST_F(IniFileTest, NothingIsCachedBetweenLookups) {
    IniFile ini;
    const std::string path = write("a.ini", "[S]\r\nk=first\r\n");
    ini.setFile(path);
    EXPECT_EQ(ini.readValue("S", "k", ""), "first");
    write("a.ini", "[S]\r\nk=changed in the meantime\r\n");
    EXPECT_EQ(ini.readValue("S", "k", ""), "changed in the meantime");
}

TEST_F(IniFileTest, ReadsUtf16AndUtf8TextIntoUtf8) {
    IniFile ini;
    std::string wide = "\xFF\xFE";
    for (char16_t unit : std::u16string(u"[S]\r\nk=\u4e2d\u6587\r\n")) {
        wide += static_cast<char>(unit & 0xFF);
        wide += static_cast<char>(unit >> 8);
    }
    ini.setFile(write("wide.ini", wide));
    EXPECT_EQ(ini.readValue("s", "K", ""), "\xE4\xB8\xAD\xE6\x96\x87");
    ini.setFile(write("utf8.ini", "\xEF\xBB\xBF[S]\r\nk=\xC3\xA9t\xC3\xA9\r\n"));
    EXPECT_EQ(ini.readValue("S", "k", ""), "\xC3\xA9t\xC3\xA9");
}

}  // namespace
}  // namespace harmoload
