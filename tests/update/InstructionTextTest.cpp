#include "update/InstructionText.h"

#include <gtest/gtest.h>

#include "tests/support/TempFolder.h"

namespace harmoload {
namespace {

using testing::TempFolder;

class InstructionTextTest : public ::testing::Test {
  protected:
    TempFolder folder;
    IniFile table;
    void SetUp() override { table.setFile(testing::WriteTestLanguageTable(folder)); }
};

// The test table reads "hold " + keys + " on", with ", " between items and " & " before the
// last.
struct SentenceCase {
    std::array<std::string, 3> keys;
    const char* expected;
};

class HoldKeySentenceTest : public InstructionTextTest,
                            public ::testing::WithParamInterface<SentenceCase> {};

TEST_P(HoldKeySentenceTest, ListsTheKeysThatAreThere) {
    EXPECT_EQ(HoldKeySentence(table, GetParam().keys), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, HoldKeySentenceTest,
    ::testing::Values(SentenceCase{{"", "", ""}, "hold  on"},
                      SentenceCase{{"A", "", ""}, "hold A on"},
                      SentenceCase{{"", "B", ""}, "hold B on"},
                      SentenceCase{{"", "", "C"}, "hold C on"},
                      SentenceCase{{"A", "B", ""}, "hold A & B on"},
                      SentenceCase{{"A", "", "C"}, "hold A & C on"},
                      SentenceCase{{"", "B", "C"}, "hold B & C on"},
                      SentenceCase{{"PATTERN", "KIT", "TEMPO"}, "hold PATTERN, KIT & TEMPO on"},
                      // The one package form that names a fourth key.
                      SentenceCase{{"A0", "bB0", "C1"}, "hold A0, bB0, B0 & C1 on"},
                      SentenceCase{{"a0", "bB0", "C1"}, "hold a0, bB0 & C1 on"},
                      SentenceCase{{"A0", "BB0", "C1"}, "hold A0, BB0 & C1 on"}));

TEST_F(InstructionTextTest, FollowsDeviceAndPackageState) {
    const std::array<std::string, 3> keys = {"A", "B", ""};
    EXPECT_EQ(InstructionText(table, false, true, keys), "<IDS_ERR_DEV_NOT_CONNECT>hold A & B on");
    EXPECT_EQ(InstructionText(table, false, false, keys),
              "<IDS_ERR_DEV_NOT_CONNECT><IDS_ERR_DEV_NOT_CONNECT2>");
    EXPECT_EQ(InstructionText(table, true, true, keys), "<IDS_COMMENT_5>");
    EXPECT_EQ(InstructionText(table, true, false, keys), "<IDS_ERR_NOT_OPEN_FILE>");
}

}  // namespace
}  // namespace harmoload
