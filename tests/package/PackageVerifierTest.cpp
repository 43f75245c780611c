#include "package/PackageVerifier.h"

#include <gtest/gtest.h>

#include <functional>

#include "package/PackageImage.h"
#include "platform/BinaryFile.h"
#include "platform/testing/RecordingNotifier.h"
#include "tests/support/TempFolder.h"

namespace harmoload {
namespace {

using testing::ImagePair;
using testing::PackageImage;
using testing::TempFolder;

class PackageVerifierTest : public ::testing::Test {
  protected:
    TempFolder folder;

    std::string save(const PackageImage& image) { return folder.write("update.DAT", image.bytes); }

    PackageFault verify(const PackageImage& image, PackageRecord* out = nullptr) {
        PackageRecord record;
        const PackageFault fault = VerifyPackage(save(image), record);
        if (out != nullptr) {
            *out = record;
        }
        return fault;
    }
};

TEST_F(PackageVerifierTest, ReadsThePairTableTheKeysAndTheTexts) {
    const PackageImage image = PackageImage::ThreePairs();
    OpenedPackage package;
    ASSERT_EQ(ReadPackage(save(image), package), PackageFault::None);

    EXPECT_EQ(package.model, "HM-61");
    EXPECT_EQ(package.version, "V2.10");
    EXPECT_EQ(package.record.holdKeys, (std::array<std::string, 3>{"A0", "bB0", "C1"}));
    EXPECT_EQ(package.record.pairCount, 3);
    const std::array<const char*, 3> codes = {"R1", "R2", "r1"};
    for (size_t i = 0; i < 3; ++i) {
        const PairEntry& pair = package.record.pairs[i];
        EXPECT_EQ(pair.engineCode, codes[i]);
        EXPECT_EQ(pair.configOffset, image.get32(PackageImage::ConfigEntry(i)));
        EXPECT_EQ(pair.configSize, image.get32(PackageImage::ConfigEntry(i) + 4));
        EXPECT_EQ(pair.dataOffset, image.get32(PackageImage::DataEntry(i)));
        EXPECT_EQ(pair.dataSize, image.get32(PackageImage::DataEntry(i) + 4));
        EXPECT_EQ(pair.configSum, image.get32(PackageImage::ConfigEntry(i) + 8));
        EXPECT_EQ(pair.dataSum, image.get32(PackageImage::DataEntry(i) + 8));
    }
}

// The stored pair count names 1, 2 or 3 pairs; the headers of pairs it does not name may hold
// anything.
struct PairCountCase {
    uint8_t stored;
    size_t pairsRead;
};

class PairCountTest : public PackageVerifierTest,
                      public ::testing::WithParamInterface<PairCountCase> {};

TEST_P(PairCountTest, OnlyThePairsNamedAreChecked) {
    PackageImage image = PackageImage::ThreePairs(GetParam().stored);
    for (size_t block = GetParam().pairsRead + 1; block <= 3; ++block) {
        for (size_t i = 0; i < 128; ++i) {
            image.bytes[128 * block + i] = static_cast<uint8_t>(0xA5 ^ i);
        }
    }
    image.sealBlock(0);
    PackageRecord record;
    ASSERT_EQ(verify(image, &record), PackageFault::None);
    EXPECT_EQ(record.pairCount, GetParam().stored);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(record.pairs[i].configSize != 0, i < GetParam().pairsRead) << "pair " << i + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, PairCountTest,
                         ::testing::Values(PairCountCase{0, 1}, PairCountCase{1, 1},
                                           PairCountCase{2, 2}, PairCountCase{3, 3},
                                           PairCountCase{7, 3}, PairCountCase{255, 3}));

// Each check fails with its own key, and the checks run in their order: headers first, then
// every configuration file, then every data file.
struct SpoilCase {
    const char* name;
    std::function<void(PackageImage&)> spoil;
    PackageFault expected;
};

class SpoiledPackageTest : public PackageVerifierTest,
                           public ::testing::WithParamInterface<SpoilCase> {};

TEST_P(SpoiledPackageTest, FailsWithTheKeyOfTheFirstFailingCheck) {
    PackageImage image = PackageImage::ThreePairs();
    GetParam().spoil(image);
    EXPECT_EQ(verify(image), GetParam().expected);
}

void Flip(PackageImage& image, size_t offset) {
    image.bytes[offset] ^= 0x40;
}
size_t FileStart(const PackageImage& image, size_t entry) {
    return image.get32(entry);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, SpoiledPackageTest,
    ::testing::Values(
        SpoilCase{"UnreadHeaderByte", [](auto& p) { Flip(p, 5); }, PackageFault::FileHeaderSum},
        SpoilCase{"HoldKeyByte", [](auto& p) { Flip(p, 81); }, PackageFault::FileHeaderSum},
        SpoilCase{"StoredHeaderSum", [](auto& p) { Flip(p, 125); }, PackageFault::FileHeaderSum},
        SpoilCase{"PairHeader1", [](auto& p) { Flip(p, 128 + 10); }, PackageFault::DataHeaderSum},
        SpoilCase{"PairHeader2EngineCode", [](auto& p) { Flip(p, 300); },
                  PackageFault::DataHeaderSum},
        SpoilCase{"PairHeader3Sum", [](auto& p) { Flip(p, 508); }, PackageFault::DataHeaderSum},
        SpoilCase{"Config1", [](auto& p) { Flip(p, FileStart(p, PackageImage::ConfigEntry(0))); },
                  PackageFault::ConfigFile1Sum},
        SpoilCase{"Config3", [](auto& p) { Flip(p, FileStart(p, PackageImage::ConfigEntry(2))); },
                  PackageFault::ConfigFile3Sum},
        SpoilCase{"Data2", [](auto& p) { Flip(p, FileStart(p, PackageImage::DataEntry(1))); },
                  PackageFault::DataFile2Sum},
        SpoilCase{"Data3", [](auto& p) { Flip(p, FileStart(p, PackageImage::DataEntry(2)) + 3); },
                  PackageFault::DataFile3Sum},
        SpoilCase{"Config2BeforeData1",
                  [](auto& p) {
                      Flip(p, FileStart(p, PackageImage::DataEntry(0)));
                      Flip(p, FileStart(p, PackageImage::ConfigEntry(1)));
                  },
                  PackageFault::ConfigFile2Sum},
        SpoilCase{"PairHeaderBeforeConfig",
                  [](auto& p) {
                      Flip(p, FileStart(p, PackageImage::ConfigEntry(0)));
                      Flip(p, 384 + 1);
                  },
                  PackageFault::DataHeaderSum}),
    [](const auto& info) { return std::string(info.param.name); });

// Ranges the file cannot supply fail their own check, whatever their sum says; an empty range,
// or one that starts at or past the end, sums to 0.
struct RangeCase {
    const char* name;
    uint32_t offset;  // 0xFFFFFFFF: the end of the file
    uint32_t size;
    uint32_t sum;
    PackageFault expected;
};

class RangeEntryTest : public PackageVerifierTest,
                       public ::testing::WithParamInterface<RangeCase> {};

TEST_P(RangeEntryTest, DataFile2Entry) {
    PackageImage image = PackageImage::ThreePairs();
    const RangeCase& range = GetParam();
    const uint32_t offset =
        range.offset == 0xFFFFFFFF ? static_cast<uint32_t>(image.bytes.size()) : range.offset;
    image.setEntry(PackageImage::DataEntry(1), offset, range.size, range.sum);
    PackageRecord record;
    EXPECT_EQ(verify(image, &record), range.expected);
    EXPECT_EQ(record.pairs[1].dataOffset, offset);
    EXPECT_EQ(record.pairs[1].dataSize, range.size);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, RangeEntryTest,
    ::testing::Values(
        RangeCase{"EmptyWithSumZero", 100, 0, 0, PackageFault::None},
        RangeCase{"EmptyWithOtherSum", 100, 0, 1, PackageFault::DataFile2Sum},
        RangeCase{"AtTheEndWithSumZero", 0xFFFFFFFF, 10, 0, PackageFault::None},
        RangeCase{"FarPastTheEndWithSumZero", 0x10000000, 10, 0, PackageFault::None},
        RangeCase{"EndPastTheEnd", 500, 200, 0, PackageFault::DataFile2Sum},
        RangeCase{"SizeNear4GiB", 0, 0xFFFFFFF0, 0, PackageFault::DataFile2Sum},
        RangeCase{"EndOverflows32Bits", 0x200, 0xFFFFFF00, 0, PackageFault::DataFile2Sum},
        RangeCase{"PastTheEndWithEndOver32Bits", 0xFFFFFF00, 0x200, 0, PackageFault::None}),
    [](const auto& info) { return std::string(info.param.name); });

// A file cut short fails the check of the first range it cannot supply.
struct TruncationCase {
    size_t length;
    PackageFault expected;
};

class TruncatedPackageTest : public PackageVerifierTest,
                             public ::testing::WithParamInterface<TruncationCase> {};

TEST_P(TruncatedPackageTest, FailsTheCheckOfTheMissingRange) {
    PackageImage image = PackageImage::ThreePairs();
    image.bytes.resize(GetParam().length);
    EXPECT_EQ(verify(image), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Lengths, TruncatedPackageTest,
                         ::testing::Values(TruncationCase{0, PackageFault::FileHeaderSum},
                                           TruncationCase{100, PackageFault::FileHeaderSum},
                                           TruncationCase{127, PackageFault::FileHeaderSum},
                                           TruncationCase{128, PackageFault::DataHeaderSum},
                                           TruncationCase{300, PackageFault::DataHeaderSum},
                                           TruncationCase{511, PackageFault::DataHeaderSum},
                                           // Files from 512: config 1 (4 bytes), data 1 (5),
                                           // config 2 (4), data 2 (3), config 3 (1), data 3 (4).
                                           // Config 3 starts past this end: it sums to 0.
                                           TruncationCase{526, PackageFault::ConfigFile3Sum},
                                           TruncationCase{532, PackageFault::DataFile3Sum}));

TEST_F(PackageVerifierTest, TruncatedFileKeepsThePairCountItCouldRead) {
    PackageImage image = PackageImage::ThreePairs(2);
    image.bytes.resize(200);
    PackageRecord record;
    EXPECT_EQ(verify(image, &record), PackageFault::DataHeaderSum);
    EXPECT_EQ(record.pairCount, 2);
}

TEST_F(PackageVerifierTest, EngineCodeEndsAtTheFirstZeroUnit) {
    for (const auto& [units, expected] : std::vector<std::pair<std::u16string, std::string>>{
             {u"R1", "R1"},
             {u"r", "r"},
             {u"", ""},
             {std::u16string(u"\0B", 2), ""},
             {u"\u00e9\u4e2d", "\xC3\xA9\xE4\xB8\xAD"}}) {
        PackageImage image = PackageImage::Build("M", "V", {}, 1, {{units, {1}, {2}}});
        PackageRecord record;
        ASSERT_EQ(verify(image, &record), PackageFault::None);
        EXPECT_EQ(record.pairs[0].engineCode, expected);
    }
}

TEST_F(PackageVerifierTest, FullWidthTextsWithoutTerminatorAreReadWhole) {
    PackageImage image = PackageImage::Build("0123456789ABCDEF", "fedcba9876543210",
                                             {"KEYSKEYS", "", "12345678"}, 1, {{u"R1", {}, {}}});
    // The version runs straight into the first hold key; neither may spill into the other.
    OpenedPackage package;
    ASSERT_EQ(ReadPackage(save(image), package), PackageFault::None);
    EXPECT_EQ(package.model, "0123456789ABCDEF");
    EXPECT_EQ(package.version, "fedcba9876543210");
    EXPECT_EQ(package.record.holdKeys, (std::array<std::string, 3>{"KEYSKEYS", "", "12345678"}));
}

TEST_F(PackageVerifierTest, TextsAreConvertedFromTheAnsiCodePage) {
    // 0xE9 is e-acute in Windows-1252, the code page of these tests' locale.
    PackageImage image = PackageImage::Build(
        "Pi\xE9"
        "ce",
        "1.0", {"C\xE9"}, 1, {{u"R1", {}, {}}});
    OpenedPackage package;
    ASSERT_EQ(ReadPackage(save(image), package), PackageFault::None);
    EXPECT_EQ(package.model,
              "Pi\xC3\xA9"
              "ce");
    EXPECT_EQ(package.record.holdKeys[0], "C\xC3\xA9");
}

TEST_F(PackageVerifierTest, FilesThatCannotBeOpenedForReadWriteFailToOpen) {
    const std::string valid = save(PackageImage::ThreePairs());
    const std::string readOnly = folder.write("read-only.DAT", PackageImage::ThreePairs().bytes);
    std::filesystem::permissions(TempFolder::AsPath(readOnly),
                                 std::filesystem::perms::owner_read |
                                     std::filesystem::perms::group_read |
                                     std::filesystem::perms::others_read);
    BinaryFile holder;
    ASSERT_TRUE(holder.open(valid, FileAccess::ReadWriteExclusive));

    for (const std::string& path :
         {folder.path("missing.DAT"), folder.folder(), readOnly, valid, std::string()}) {
        PackageRecord record;
        record.pairCount = 9;
        EXPECT_EQ(VerifyPackage(path, record), PackageFault::OpenFailed) << path;
        EXPECT_EQ(record.pairCount, 9) << "the record is untouched";
    }
    holder.close();
    PackageRecord record;
    EXPECT_EQ(VerifyPackage(valid, record), PackageFault::None) << "free again";
}

TEST_F(PackageVerifierTest, FailedPackageLeavesThePreviousOneWhole) {
    OpenedPackage package;
    ASSERT_EQ(ReadPackage(save(PackageImage::ThreePairs()), package), PackageFault::None);
    const OpenedPackage before = package;

    PackageImage spoiled = PackageImage::Build("OTHER", "V9", {"X"}, 1, {{u"R2", {1, 2}, {3}}});
    spoiled.bytes.back() ^= 1;
    EXPECT_EQ(ReadPackage(folder.write("spoiled.DAT", spoiled.bytes), package),
              PackageFault::DataFile1Sum);
    EXPECT_EQ(package, before);
}

TEST_F(PackageVerifierTest, ShowsTheKeyTextAndFullPathCaptionedError) {
    IniFile table;
    table.setFile(testing::WriteTestLanguageTable(folder));
    RecordingNotifier notifier;
    PackageVerifier verifier(table, notifier);

    PackageImage image = PackageImage::ThreePairs();
    Flip(image, FileStart(image, PackageImage::ConfigEntry(1)));
    const std::string path = save(image);
    OpenedPackage package;
    EXPECT_FALSE(verifier.openAndRead(path, package));
    EXPECT_EQ(verifier.lastFault(), PackageFault::ConfigFile2Sum);
    ASSERT_EQ(notifier.messages().size(), 1u);
    EXPECT_EQ(notifier.messages()[0], (Message{"Error", "<IDS_ERR_CNFG_FILE2_CHECKSUM>\n" + path,
                                               MessageButtons::Ok, MessageIcon::None}));

    notifier.clear();
    EXPECT_TRUE(verifier.openAndRead(save(PackageImage::ThreePairs()), package));
    EXPECT_TRUE(notifier.messages().empty());
}

}  // namespace
}  // namespace harmoload
