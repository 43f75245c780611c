#include "package/PackageBuilder.h"

#include <gtest/gtest.h>

#include "package/PackageUnpacker.h"
#include "package/PackageVerifier.h"
#include "platform/Files.h"
#include "platform/testing/RecordingNotifier.h"
#include "tests/support/TempFolder.h"

namespace harmoload {
namespace {

using testing::TempFolder;

class PackageBuilderTest : public ::testing::Test {
  protected:
    TempFolder folder;
    RecordingNotifier notifier;
    std::string config1 = folder.writeText("a.ini", "[Chip Info]\nChip Type=2\n");
    std::string data1 = folder.write("a.bin", {0xFF, 0xFF, 0x00, 0x80});
    std::string config2 = folder.writeText("b.ini", "");
    std::string data2 = folder.write("b.bin", std::vector<uint8_t>(70000, 0xEE));
    std::string config3 = folder.writeText("c.ini", "x=1");
    std::string data3 = folder.write("c.bin", {});
    std::string out = folder.path("out.DAT");

    PackageContents threePairs() const {
        return {"0123456789ABCDEF",
                "V2.10",
                {"KEYSKEYS", "", "C1"},
                {{"R1", config1, data1}, {"", config2, data2}, {"r2", config3, data3}}};
    }
};

TEST_F(PackageBuilderTest, PackedPackageVerifiesAndHoldsWhatWasPacked) {
    const PackageContents contents = threePairs();
    ASSERT_TRUE(BuildPackage(contents, out, notifier));
    EXPECT_TRUE(notifier.messages().empty());

    OpenedPackage package;
    ASSERT_EQ(ReadPackage(out, package), PackageFault::None);
    EXPECT_EQ(package.model, contents.model);
    EXPECT_EQ(package.version, contents.version);
    EXPECT_EQ(package.record.holdKeys, (std::array<std::string, 3>{"KEYSKEYS", "", "C1"}));
    EXPECT_EQ(package.record.pairCount, 3);
    for (size_t i = 0; i < 3; ++i) {
        const PairEntry& pair = package.record.pairs[i];
        EXPECT_EQ(pair.engineCode, contents.pairs[i].engineCode);
        ASSERT_TRUE(UnpackFile(out, folder.path("config"), pair.configOffset, pair.configSize,
                               LineEnds::Keep));
        ASSERT_TRUE(
            UnpackFile(out, folder.path("data"), pair.dataOffset, pair.dataSize, LineEnds::Keep));
        EXPECT_EQ(TempFolder::read(folder.path("config")),
                  TempFolder::read(contents.pairs[i].configPath));
        EXPECT_EQ(TempFolder::read(folder.path("data")),
                  TempFolder::read(contents.pairs[i].dataPath));
    }
}

TEST_F(PackageBuilderTest, APackageRebuiltFromItselfIsReplacedOnlyWhenWhole) {
    // The old package is the new one's data: written over in place, it would be gone before it
    // was read.
    ASSERT_TRUE(BuildPackage(threePairs(), out, notifier));
    const std::vector<uint8_t> old = TempFolder::read(out);
    ASSERT_TRUE(BuildPackage({"M", "V", {}, {{"R1", config1, out}}}, out, notifier))
        << ::testing::PrintToString(notifier.texts());
    OpenedPackage package;
    ASSERT_EQ(ReadPackage(out, package), PackageFault::None);
    const PairEntry& pair = package.record.pairs[0];
    ASSERT_TRUE(
        UnpackFile(out, folder.path("data"), pair.dataOffset, pair.dataSize, LineEnds::Keep));
    EXPECT_EQ(TempFolder::read(folder.path("data")), old);
    EXPECT_FALSE(FileExists(out + ".part"));
}

TEST_F(PackageBuilderTest, PairCountIsTheNumberOfPairs) {
    PackageContents contents{"M", "V", {}, {{"R1", config1, data1}}};
    ASSERT_TRUE(BuildPackage(contents, out, notifier));
    OpenedPackage package;
    ASSERT_EQ(ReadPackage(out, package), PackageFault::None);
    EXPECT_EQ(package.record.pairCount, 1);
    EXPECT_EQ(package.record.holdKeys, (std::array<std::string, 3>{}));
}

// Each refusal: a message captioned "Error" and no output file.
struct RefusalCase {
    const char* name;
    void (*change)(PackageContents&, const TempFolder&);
};

class PackageRefusalTest : public PackageBuilderTest,
                           public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(PackageRefusalTest, RefusesWithAMessageAndNoOutput) {
    PackageContents contents = threePairs();
    GetParam().change(contents, folder);
    EXPECT_FALSE(BuildPackage(contents, out, notifier));
    ASSERT_EQ(notifier.messages().size(), 1u);
    EXPECT_EQ(notifier.messages()[0].caption, "Error");
    EXPECT_FALSE(notifier.messages()[0].text.empty());
    EXPECT_FALSE(TempFolder::exists(out));
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, PackageRefusalTest,
    ::testing::Values(
        RefusalCase{"Model17Bytes", [](auto& c, auto&) { c.model = "0123456789ABCDEFG"; }},
        RefusalCase{"Version17Bytes", [](auto& c, auto&) { c.version = std::string(17, 'v'); }},
        RefusalCase{"Key9Bytes", [](auto& c, auto&) { c.holdKeys[1] = "123456789"; }},
        RefusalCase{"FourKeys", [](auto& c, auto&) { c.holdKeys.push_back("D"); }},
        RefusalCase{"NoPairs", [](auto& c, auto&) { c.pairs.clear(); }},
        RefusalCase{"FourPairs", [](auto& c, auto&) { c.pairs.push_back(c.pairs[0]); }},
        RefusalCase{"EngineCode3Characters", [](auto& c, auto&) { c.pairs[2].engineCode = "R12"; }},
        RefusalCase{"TextOutsideTheCodePage",
                    [](auto& c, auto&) { c.model = "Piano \xF0\x9F\x8E\xB9"; }},
        RefusalCase{"MissingConfiguration",
                    [](auto& c, auto& f) { c.pairs[1].configPath = f.path("missing.ini"); }},
        RefusalCase{"FolderAsData", [](auto& c, auto& f) { c.pairs[2].dataPath = f.folder(); }},
        RefusalCase{"DataInMissingFolder",
                    [](auto& c, auto& f) { c.pairs[0].dataPath = f.path("none/a.bin"); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PackageBuilderTest, OutputThatCannotBeCreatedIsRefused) {
    EXPECT_FALSE(BuildPackage(threePairs(), folder.path("none/out.DAT"), notifier));
    ASSERT_EQ(notifier.messages().size(), 1u);
    EXPECT_EQ(notifier.messages()[0].caption, "Error");
}

TEST_F(PackageBuilderTest, EngineCodeOfTwoNonAsciiCharactersFits) {
    PackageContents contents{"M", "V", {}, {{"\xC3\xA9\xE4\xB8\xAD", config1, data1}}};
    ASSERT_TRUE(BuildPackage(contents, out, notifier));
    PackageRecord record;
    ASSERT_EQ(VerifyPackage(out, record), PackageFault::None);
    EXPECT_EQ(record.pairs[0].engineCode, contents.pairs[0].engineCode);
}

}  // namespace
}  // namespace harmoload
