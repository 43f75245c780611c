#include "package/PackageSum.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/TempFolder.h"

namespace harmoload {
namespace {

using testing::TempFolder;

uint32_t ByteByByte(const std::vector<uint8_t>& bytes, size_t offset, size_t count) {
    uint32_t sum = 0;
    for (size_t i = offset; i < offset + count; ++i) {
        sum += bytes[i];
    }
    return sum;
}

std::vector<uint8_t> RandomBytes(size_t count, uint32_t pattern) {
    std::mt19937 random(pattern);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(random());
    }
    return bytes;
}

TEST(PackageSum, AddsBytesAsUnsignedValues) {
    const uint8_t bytes[] = {0xFF, 0xFF};
    EXPECT_EQ(AddPackageSum(0, bytes, 2), 510u);
}

TEST(PackageSum, MatchesByteByByteAtEveryAlignmentAndLength) {
    const std::vector<uint8_t> bytes = RandomBytes(400, 1);
    for (size_t offset = 0; offset < 17; ++offset) {
        for (size_t count = 0; count < 300; count += 7) {
            ASSERT_EQ(AddPackageSum(5, bytes.data() + offset, count),
                      5 + ByteByByte(bytes, offset, count))
                << offset << "+" << count;
        }
    }
}

TEST(PackageSum, WrapsModulo2To32) {
    // 16843010 bytes of FF add up to 2^32 + 254.
    const std::vector<uint8_t> bytes(16843010, 0xFF);
    EXPECT_EQ(AddPackageSum(0, bytes.data(), bytes.size()), 254u);
}

class RangeSumTest : public ::testing::Test {
  protected:
    // Larger than the sum's buffer, so that ranges cross its chunks.
    const std::vector<uint8_t> bytes = RandomBytes(kSumBufferBytes * 2 + 1000, 2);
    TempFolder folder;
    BinaryFile file;
    uint64_t length = bytes.size();

    void SetUp() override {
        ASSERT_TRUE(file.open(folder.write("range.bin", bytes), FileAccess::Read));
    }
};

TEST_F(RangeSumTest, SumsRangesInsideTheFile) {
    for (const auto& [offset, size] :
         std::vector<std::pair<uint32_t, uint32_t>>{{0, 0},
                                                    {0, 1},
                                                    {0, static_cast<uint32_t>(bytes.size())},
                                                    {13, 300000},
                                                    {static_cast<uint32_t>(bytes.size() - 1), 1}}) {
        EXPECT_EQ(RangeSum(file, length, offset, size), ByteByByte(bytes, offset, size))
            << offset << "+" << size;
    }
}

TEST_F(RangeSumTest, OffsetAtOrPastTheEndSumsToZeroWithoutReading) {
    EXPECT_EQ(RangeSum(file, length, static_cast<uint32_t>(length), 5), 0u);
    EXPECT_EQ(RangeSum(file, length, 0x7FFFFFFF, 0x1000), 0u);
    // Even where offset + size overflows 32 bits.
    EXPECT_EQ(RangeSum(file, length, 0xFFFFFFF0, 0x20), 0u);
}

TEST_F(RangeSumTest, RangeEndingPastTheEndCannotBeSummed) {
    EXPECT_EQ(RangeSum(file, length, static_cast<uint32_t>(length - 10), 11), std::nullopt);
    EXPECT_EQ(RangeSum(file, length, 0, 0xFFFFFFFF), std::nullopt);
}

TEST_F(RangeSumTest, RangeWhoseEndOverflows32BitsCannotBeSummed) {
    EXPECT_EQ(RangeSum(file, length, 0x100, 0xFFFFFF01), std::nullopt);
}

}  // namespace
}  // namespace harmoload
