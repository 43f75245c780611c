#include "cli/InfoCommand.h"
#include "cli/PackCommand.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

#include "cli/ExitCodes.h"
#include "cli/FullPath.h"
#include "cli/TerminalText.h"
#include "ini/IniFile.h"
#include "package/PackageImage.h"
#include "tests/support/TempFolder.h"

namespace harmoload {
namespace {

using testing::TempFolder;

class CommandsTest : public ::testing::Test {
  protected:
    TempFolder folder;
    IniFile table;
    std::ostringstream out;
    std::ostringstream err;
    std::string config = folder.writeText("R1.ini", "[Chip Info]\nChip Type=2\n");
    std::string data = folder.write("sound.bin", {1, 2, 3, 4, 5, 6});
    std::string package = folder.path("out.DAT");

    void SetUp() override { table.setFile(testing::WriteTestLanguageTable(folder)); }

    nlohmann::json infoJson(const std::string& path, int expectedExit) {
        out.str("");
        EXPECT_EQ(RunInfoCommand(path, true, table, out, err), expectedExit);
        return nlohmann::json::parse(out.str());
    }
};

TEST_F(CommandsTest, InfoReportsExactlyWhatPackPacked) {
    PackOptions options{package,
                        "HM-61",
                        "V2.10",
                        {"A0", "bB0", "C1"},
                        {"R1:" + config + ":" + data, "r2:" + config + ":" + config}};
    ASSERT_EQ(RunPackCommand(options, err), kExitSuccess) << err.str();

    const nlohmann::json info = infoJson(package, kExitSuccess);
    EXPECT_EQ(info["path"], package);
    EXPECT_EQ(info["valid"], true);
    EXPECT_EQ(info["model"], "HM-61");
    EXPECT_EQ(info["version"], "V2.10");
    EXPECT_EQ(info["holdKeys"], nlohmann::json({"A0", "bB0", "C1"}));
    EXPECT_EQ(info["holdKeySentence"], "hold A0, bB0, B0 & C1 on");
    EXPECT_EQ(info["pairCount"], 2);
    ASSERT_EQ(info["pairs"].size(), 2u);
    EXPECT_EQ(info["pairs"][0]["engineCode"], "R1");
    EXPECT_EQ(info["pairs"][0]["engine"], "transfer");
    EXPECT_EQ(info["pairs"][0]["dataSize"], 6);
    EXPECT_EQ(info["pairs"][1]["engineCode"], "r2");
    EXPECT_EQ(info["pairs"][1]["engine"], "flash");
    EXPECT_EQ(info["pairs"][1]["configSize"], info["pairs"][1]["dataSize"]);
    EXPECT_EQ(info["pairs"][1]["configOffset"].get<uint32_t>() +
                  info["pairs"][1]["configSize"].get<uint32_t>(),
              info["pairs"][1]["dataOffset"].get<uint32_t>());
}

TEST_F(CommandsTest, InfoOnAnInvalidPackageShowsTheDialogsMessageAndFails) {
    testing::PackageImage image = testing::PackageImage::ThreePairs();
    image.bytes[5] ^= 1;
    const std::string path = folder.write("bad.DAT", image.bytes);

    const nlohmann::json info = infoJson(path, kExitFailed);
    EXPECT_EQ(info["valid"], false);
    EXPECT_EQ(info["error"]["key"], "IDS_ERR_FILE_HDR_CHECKSUM");
    EXPECT_EQ(info["error"]["message"], "<IDS_ERR_FILE_HDR_CHECKSUM>\n" + path);

    out.str("");
    EXPECT_EQ(RunInfoCommand(path, false, table, out, err), kExitFailed);
    EXPECT_EQ(err.str(), "Error: <IDS_ERR_FILE_HDR_CHECKSUM>\n" + path + "\n");
    EXPECT_TRUE(out.str().empty());
}

TEST_F(CommandsTest, InfoEscapesControlCharactersOfThePackageTexts) {
    // A model that would clear the screen, a key that would ring the bell.
    ASSERT_EQ(
        RunPackCommand({package, "\x1B[2JHM", "V1", {"A\x07"}, {":" + config + ":" + data}}, err),
        kExitSuccess);
    ASSERT_EQ(RunInfoCommand(package, false, table, out, err), kExitSuccess);
    EXPECT_NE(out.str().find("Model:       \\x1B[2JHM\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("Hold key 1:  A\\x07\n"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find_first_of("\x1B\x07"), std::string::npos);
}

TEST(TerminalText, EscapesC1ControlsAndKeepsLineBreaksOnlyWhenAsked) {
    EXPECT_EQ(TerminalText("a\xC2\x9B"
                           "b\xC2\xA0\n"),
              "a\\u009Bb\xC2\xA0\\x0A");
    EXPECT_EQ(TerminalText("a\x7F\nb", LineBreaks::Keep), "a\\x7F\nb");
}

TEST_F(CommandsTest, InfoNamesTheFullPath) {
    ASSERT_EQ(RunPackCommand({package, "M", "V", {}, {":" + config + ":" + data}}, err),
              kExitSuccess);
    EXPECT_EQ(infoJson(package, kExitSuccess)["path"], FullPath(package));
    const nlohmann::json missing = infoJson("no-such-package.DAT", kExitFailed);
    EXPECT_EQ(missing["path"], FullPath("no-such-package.DAT"));
    EXPECT_NE(missing["path"], "no-such-package.DAT");
    EXPECT_EQ(missing["error"]["key"], "IDS_ERR_OPEN_FILE_FAILED");
}

TEST_F(CommandsTest, PackRefusesBadInputWithAMessageAndNoFile) {
    for (const PackOptions& options : std::vector<PackOptions>{
             {package, std::string(17, 'm'), "V", {}, {"R1:" + config + ":" + data}},
             {package, "M", "V", {"A", "B", "C", "D"}, {"R1:" + config + ":" + data}},
             {package, "M", "V", {}, {"R1X:" + config + ":" + data}},
             {package, "M", "V", {}, {"R1:" + config + ":" + folder.path("missing.bin")}},
             {data, "M", "V", {}, {"R1:" + config + ":" + data}}}) {
        err.str("");
        EXPECT_EQ(RunPackCommand(options, err), kExitFailed);
        EXPECT_EQ(err.str().rfind("Error: ", 0), 0u) << err.str();
        EXPECT_FALSE(TempFolder::exists(package));
    }
    EXPECT_EQ(TempFolder::read(data), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}))
        << "an input named as the output is left alone";
}

TEST_F(CommandsTest, MalformedPairIsAUsageError) {
    EXPECT_EQ(RunPackCommand({package, "M", "V", {}, {"R1:" + config}}, err), kExitUsage);
    EXPECT_FALSE(TempFolder::exists(package));
}

struct PairArgumentCase {
    const char* argument;
    bool valid;
    PackagePair expected;
};

class PairArgumentTest : public ::testing::TestWithParam<PairArgumentCase> {};

TEST_P(PairArgumentTest, SplitsCodeConfigurationAndData) {
    PackagePair pair;
    ASSERT_EQ(ParsePairArgument(GetParam().argument, pair), GetParam().valid);
    if (GetParam().valid) {
        EXPECT_EQ(pair.engineCode, GetParam().expected.engineCode);
        EXPECT_EQ(pair.configPath, GetParam().expected.configPath);
        EXPECT_EQ(pair.dataPath, GetParam().expected.dataPath);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, PairArgumentTest,
    ::testing::Values(
        PairArgumentCase{"R1:a.ini:b.bin", true, {"R1", "a.ini", "b.bin"}},
        PairArgumentCase{":a.ini:b.bin", true, {"", "a.ini", "b.bin"}},
        PairArgumentCase{
            "R2:C:\\p\\R2.ini:D:/data.bin", true, {"R2", "C:\\p\\R2.ini", "D:/data.bin"}},
        PairArgumentCase{"R1:/x/a.ini:C:\\b.bin", true, {"R1", "/x/a.ini", "C:\\b.bin"}},
        PairArgumentCase{"R1:a.ini", false, {}}, PairArgumentCase{"R1", false, {}},
        PairArgumentCase{"R1::b.bin", false, {}}, PairArgumentCase{"R1:a.ini:", false, {}}));

}  // namespace
}  // namespace harmoload
