#include "lang/LanguageTable.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/Files.h"
#include "platform/SystemLanguage.h"
#include "tests/support/TempFolder.h"
#include "text/PathText.h"

#ifndef _WIN32
#include "tests/support/EnvironmentScope.h"
#endif

namespace harmoload {
namespace {

// Every key the program reads from a language file.
const std::vector<std::string> kLanguageKeys = {"IDS_STRING_CAPTION",
                                                "IDC_STC_GROUP1",
                                                "IDC_STC_GROUP2",
                                                "IDC_STC_PRO_MODEL",
                                                "IDC_STC_VERSTION",
                                                "IDS_ERR_OPEN_FILE_FAILED",
                                                "IDS_ERR_FILE_HDR_CHECKSUM",
                                                "IDS_ERR_DATA_HDR_CHECKSUM",
                                                "IDS_ERR_CNFG_FILE1_CHECKSUM",
                                                "IDS_ERR_CNFG_FILE2_CHECKSUM",
                                                "IDS_ERR_CNFG_FILE3_CHECKSUM",
                                                "IDS_ERR_DATA_FILE1_CHECKSUM",
                                                "IDS_ERR_DATA_FILE2_CHECKSUM",
                                                "IDS_ERR_DATA_FILE3_CHECKSUM",
                                                "IDS_UPDATE_SUCCESSFUL",
                                                "IDS_UPDATE_FAILED",
                                                "IDS_ERR_DEV_NOT_CONNECT",
                                                "IDS_ERR_DEV_NOT_CONNECT2",
                                                "IDS_ERR_NOT_OPEN_FILE",
                                                "IDS_COMMENT_5",
                                                "IDS_COMMENT_1",
                                                "IDS_COMMENT_2",
                                                "IDS_COMMENT_3",
                                                "IDS_COMMENT_4"};

TEST(LanguageTable, OnlySimplifiedChineseOfThePrcReadsTheChineseFile) {
    const std::string separator(1, kPathSeparator);
    EXPECT_EQ(LanguageFileName(0x0804), "Language" + separator + "Chin.ini");
    for (uint16_t other : {0x0404, 0x0C04, 0x1004, 0x0409, 0x0004, 0x0000}) {
        EXPECT_EQ(LanguageFileName(other), "Language" + separator + "Eng.ini") << other;
    }
}

TEST(LanguageTable, LocaleNamesGiveTheirLanguageIds) {
    EXPECT_EQ(LangIdForLocaleName("zh_CN.UTF-8"), 0x0804);
    EXPECT_EQ(LangIdForLocaleName("zh_CN"), 0x0804);
    EXPECT_EQ(LangIdForLocaleName("zh_TW.UTF-8"), 0x0404);
    EXPECT_EQ(LangIdForLocaleName("zh_HK"), 0x0C04);
    EXPECT_EQ(LangIdForLocaleName("zh_SG.GBK"), 0x1004);
    EXPECT_EQ(LangIdForLocaleName("en_GB.UTF-8"), 0x0409);
    EXPECT_EQ(LangIdForLocaleName("C"), 0x0409);
    EXPECT_EQ(LangIdForLocaleName(""), 0x0409);
    EXPECT_EQ(LangIdForLocaleName(nullptr), 0x0409);
}

#ifndef _WIN32
TEST(LanguageTable, TheLocaleChoosesChineseOnlyForZhCn) {
    {
        EnvironmentScope locale{{"LC_ALL", nullptr}, {"LC_MESSAGES", "zh_CN.UTF-8"}, {"LANG", "C"}};
        EXPECT_TRUE(IsChineseSystemLanguage());
    }
    {
        EnvironmentScope locale{{"LC_ALL", "C"}, {"LC_MESSAGES", "zh_CN.UTF-8"}, {"LANG", nullptr}};
        EXPECT_FALSE(IsChineseSystemLanguage());  // LC_ALL wins
    }
    {
        EnvironmentScope locale{{"LC_ALL", nullptr}, {"LC_MESSAGES", ""}, {"LANG", "zh_CN"}};
        EXPECT_TRUE(IsChineseSystemLanguage());
    }
    {
        EnvironmentScope locale{
            {"LC_ALL", nullptr}, {"LC_MESSAGES", nullptr}, {"LANG", "zh_TW.UTF-8"}};
        EXPECT_FALSE(IsChineseSystemLanguage());
    }
}
#endif

TEST(LanguageTable, BackslashNBreaksTheLineAndOtherBackslashesStay) {
    EXPECT_EQ(ExpandLineBreaks("one\\ntwo"), "one\ntwo");
    EXPECT_EQ(ExpandLineBreaks("a\\\\nb"), "a\\\nb");
    EXPECT_EQ(ExpandLineBreaks("\\n\\n"), "\n\n");
    EXPECT_EQ(ExpandLineBreaks("c:\\temp\\x"), "c:\\temp\\x");
    EXPECT_EQ(ExpandLineBreaks("end\\"), "end\\");
}

TEST(LanguageTable, LookupReadsTheKeyAndExpandsLineBreaks) {
    testing::TempFolder folder;
    const std::string path = folder.path("Eng.ini");
    std::ofstream(path, std::ios::binary)
        << "[StringTable]\r\nIDS_X=first\\nsecond\r\nIDC_STC_VERSION=misspelt on purpose\r\n";
    IniFile table;
    table.setFile(path);
    EXPECT_EQ(LookupText(table, kLanguageSection, "IDS_X"), "first\nsecond");
    EXPECT_EQ(LookupText(table, kLanguageSection, "IDS_MISSING"), "");
    // The version label reads the key as the program spells it, IDC_STC_VERSTION.
    EXPECT_EQ(LookupDialogTexts(table)[4], "");
}

TEST(LanguageTable, WithoutALanguageFileEveryDialogTextIsEmpty) {
    testing::TempFolder folder;
    IniFile table;
    table.setFile(folder.path("Language/Eng.ini"));
    for (const std::string& text : LookupDialogTexts(table)) {
        EXPECT_EQ(text, "");
    }
}

class ShippedLanguageFile : public ::testing::TestWithParam<uint16_t> {};

TEST_P(ShippedLanguageFile, HasATextForEveryKey) {
    IniFile table;
    const std::string path = ProgramDirectory() + LanguageFileName(GetParam());
    ASSERT_TRUE(FileExists(path)) << path;
    table.setFile(path);
    for (const std::string& key : kLanguageKeys) {
        EXPECT_FALSE(LookupText(table, kLanguageSection, key).empty()) << path << ": " << key;
    }
}

INSTANTIATE_TEST_SUITE_P(EnglishAndChinese, ShippedLanguageFile, ::testing::Values(0x0409, 0x0804));

TEST(ShippedLanguageFiles, EnglishDialogTextsAreTheTemplateWording) {
    IniFile table;
    table.setFile(ProgramDirectory() + LanguageFileName(0x0409));
    const auto texts = LookupDialogTexts(table);
    EXPECT_EQ(texts[0], "Harmo Firmware Update V2.1");
    EXPECT_EQ(texts[1], "Step1: Open the update file");
    EXPECT_EQ(texts[2], "Step2: Update software");
    EXPECT_EQ(texts[3], "Product Model:");
    EXPECT_EQ(texts[4], "Software Version:");
    // Quotes keep the blanks around the pieces of the hold-key sentence.
    EXPECT_EQ(LookupText(table, kLanguageSection, "IDS_COMMENT_3"), " and ");
}

TEST(ShippedLanguageFiles, ChineseTextsAreChinese) {
    IniFile table;
    table.setFile(ProgramDirectory() + LanguageFileName(0x0804));
    EXPECT_EQ(LookupDialogTexts(table)[3],
              "\xE4\xBA\xA7\xE5\x93\x81\xE5\x9E\x8B\xE5\x8F\xB7\xEF\xBC\x9A");
}

}  // namespace
}  // namespace harmoload
