#include "package/PackageUnpacker.h"

#include <gtest/gtest.h>

#include "package/PackageImage.h"
#include "platform/Files.h"
#include "tests/support/TempFolder.h"

namespace harmoload {
namespace {

using testing::ImagePair;
using testing::PackageImage;
using testing::TempFolder;

class PackageUnpackerTest : public ::testing::Test {
  protected:
    TempFolder folder;

    PairEntry pairOf(const PackageImage& image, size_t pair = 0) {
        return {"R1",
                image.get32(PackageImage::ConfigEntry(pair)),
                image.get32(PackageImage::ConfigEntry(pair) + 4),
                image.get32(PackageImage::DataEntry(pair)),
                image.get32(PackageImage::DataEntry(pair) + 4),
                image.get32(PackageImage::ConfigEntry(pair) + 8),
                image.get32(PackageImage::DataEntry(pair) + 8)};
    }
    std::vector<uint8_t> tempIni() { return TempFolder::read(folder.path(kTempIniName)); }
    std::vector<uint8_t> tempBin() { return TempFolder::read(folder.path(kTempBinName)); }
};

TEST_F(PackageUnpackerTest, ConfigurationGetsCrLfLineEndsAndDataIsCopiedByteForByte) {
    const std::vector<uint8_t> data = {0x0A, 0x0D, 0x00, 0xFF, 0x0A};
    const PackageImage image =
        PackageImage::Build("M", "V", {}, 1, {{u"R1", {0x41, 0x0D, 0x0A, 0x42, 0x0A}, data}});
    const std::string package = folder.write("p.DAT", image.bytes);

    ASSERT_EQ(UnpackPair(package, folder.folder(), pairOf(image)), PairUnpack::Unpacked);
    EXPECT_EQ(tempIni(), (std::vector<uint8_t>{0x41, 0x0D, 0x0D, 0x0A, 0x42, 0x0D, 0x0A}));
    EXPECT_EQ(tempBin(), data);
}

TEST_F(PackageUnpackerTest, FilesLargerThanTheCopyBufferComeOutWhole) {
    std::vector<uint8_t> config(150000, 'a');
    for (size_t i = 0; i < config.size(); i += 3) {
        config[i] = 0x0A;
    }
    std::vector<uint8_t> data(300001);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7 + i / 251);
    }
    const PackageImage image = PackageImage::Build("M", "V", {}, 1, {{u"R1", config, data}});
    const std::string package = folder.write("p.DAT", image.bytes);

    ASSERT_EQ(UnpackPair(package, folder.folder(), pairOf(image)), PairUnpack::Unpacked);
    std::vector<uint8_t> expected;
    for (uint8_t byte : config) {
        if (byte == 0x0A) {
            expected.push_back(0x0D);
        }
        expected.push_back(byte);
    }
    EXPECT_EQ(tempIni(), expected);
    EXPECT_EQ(tempBin(), data);
}

TEST_F(PackageUnpackerTest, FolderWithoutTrailingSeparatorIsJoined) {
    const PackageImage image = PackageImage::Build("M", "V", {}, 1, {{u"R1", {'x'}, {'y'}}});
    const std::string package = folder.write("p.DAT", image.bytes);
    std::string plain = folder.folder();
    while (!plain.empty() && (plain.back() == '/' || plain.back() == kPathSeparator)) {
        plain.pop_back();
    }
    ASSERT_EQ(UnpackPair(package, plain, pairOf(image)), PairUnpack::Unpacked);
    EXPECT_EQ(tempBin(), (std::vector<uint8_t>{'y'}));
}

TEST_F(PackageUnpackerTest, EmptyRangeAnywhereUnpacksToAnEmptyFile) {
    const std::string package = folder.write("p.DAT", {1, 2, 3});
    folder.write("out.bin", {9, 9});
    EXPECT_TRUE(UnpackFile(package, folder.path("out.bin"), 0x7FFFFFFF, 0, LineEnds::Keep));
    EXPECT_TRUE(TempFolder::read(folder.path("out.bin")).empty());
}

// Failures are reported, and what was there before is gone, so no engine can run on the files
// of an earlier pair; nothing that was not read from the package is ever written.
TEST_F(PackageUnpackerTest, RangePastTheEndFailsWithoutWritingUnreadBytes) {
    const std::string package = folder.write("p.DAT", std::vector<uint8_t>(1000, 0x33));
    for (const auto& [offset, size] : std::vector<std::pair<uint32_t, uint32_t>>{
             {990, 11}, {1000, 1}, {5000, 10}, {0, 0xFFFFFFFF}, {0xFFFFFF00, 0x200}}) {
        folder.write(kTempBinName, {7, 7, 7});
        EXPECT_FALSE(UnpackFile(package, folder.path(kTempBinName), offset, size, LineEnds::Keep))
            << offset << "+" << size;
        EXPECT_TRUE(tempBin().empty()) << offset << "+" << size;
    }
}

TEST_F(PackageUnpackerTest, MissingPackageFailsAndLeavesTheTargetEmpty) {
    folder.write(kTempIniName, {'o', 'l', 'd'});
    EXPECT_FALSE(
        UnpackFile(folder.path("missing.DAT"), folder.path(kTempIniName), 0, 1, LineEnds::CrLf));
    EXPECT_TRUE(tempIni().empty());
}

TEST_F(PackageUnpackerTest, TargetThatCannotBeCreatedFails) {
    const std::string package = folder.write("p.DAT", {1, 2, 3});
    EXPECT_FALSE(UnpackFile(package, folder.path("no-such-folder/TEMP.BIN"), 0, 3, LineEnds::Keep));
    EXPECT_FALSE(UnpackFile(package, folder.folder(), 0, 3, LineEnds::Keep));
}

TEST_F(PackageUnpackerTest, PairFailsWhenItsConfigurationCannotBeUnpacked) {
    const PackageImage image = PackageImage::Build("M", "V", {}, 1, {{u"R1", {'a'}, {'b'}}});
    const std::string package = folder.write("p.DAT", image.bytes);
    PairEntry pair = pairOf(image);
    pair.configSize = 0x10000;
    folder.write(kTempBinName, {'o', 'l', 'd'});
    EXPECT_EQ(UnpackPair(package, folder.folder(), pair), PairUnpack::Failed);
    EXPECT_NE(tempBin(), (std::vector<uint8_t>{'b'}));
}

// The package may change between opening and updating: the bytes unpacked are summed as they
// are written and must match the sums the package was verified with.
TEST_F(PackageUnpackerTest, BytesChangedSinceVerificationFailTheirOwnFile) {
    const PackageImage image =
        PackageImage::Build("M", "V", {}, 1, {{u"R1", {'a', 'b'}, {1, 2, 3, 4}}});
    const PairEntry pair = pairOf(image);
    std::vector<uint8_t> changed = image.bytes;
    changed[pair.dataOffset + 2] ^= 0x10;
    const std::string package = folder.write("p.DAT", changed);
    EXPECT_EQ(UnpackPair(package, folder.folder(), pair), PairUnpack::DataSumMismatch);

    changed[pair.configOffset] ^= 0x01;
    folder.write(kTempBinName, {'o', 'l', 'd'});
    folder.write("p.DAT", changed);
    EXPECT_EQ(UnpackPair(package, folder.folder(), pair), PairUnpack::ConfigSumMismatch);
    EXPECT_EQ(tempBin(), (std::vector<uint8_t>{'o', 'l', 'd'}));  // the data file never read
}

}  // namespace
}  // namespace harmoload
