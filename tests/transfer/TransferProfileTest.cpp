#include "transfer/TransferProfile.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/testing/RecordingNotifier.h"
#include "platform/testing/VirtualClock.h"
#include "tests/support/TempFolder.h"
#include "text/PathText.h"
#include "transfer/PacketTransferEngine.h"

namespace harmoload {
namespace {

TEST(TransferProfileValues, SizesAreDecimalOrKiBOrMiB) {
    EXPECT_EQ(ParseProfileSize("4096"), 4096);
    EXPECT_EQ(ParseProfileSize("64k"), 65536);
    EXPECT_EQ(ParseProfileSize("2M"), 2097152);
    EXPECT_EQ(ParseProfileSize(""), 0);
    EXPECT_EQ(ParseProfileSize("1.5K"), 1024);
    EXPECT_EQ(ParseProfileSize("64KB"), std::nullopt);
    EXPECT_EQ(ParseProfileSize("0x100"), std::nullopt);
    EXPECT_EQ(ParseProfileSize("K"), 0);
    EXPECT_EQ(ParseProfileSize("-1"), std::nullopt);
    EXPECT_EQ(ParseProfileSize("-64"), -64);
}

TEST(TransferProfileValues, AddressesAreDecimalOrHexadecimal) {
    EXPECT_EQ(ParseProfileAddress("0x8000"), 32768);
    EXPECT_EQ(ParseProfileAddress("8000h"), 32768);
    EXPECT_EQ(ParseProfileAddress("32768"), 32768);
    EXPECT_EQ(ParseProfileAddress("8000"), 8000);
    EXPECT_EQ(ParseProfileAddress("ABCD"), std::nullopt);
    EXPECT_EQ(ParseProfileAddress("ABCDH"), 43981);
    // The hexadecimal branches stop at the first character that is not a digit.
    EXPECT_EQ(ParseProfileAddress("0x12zz"), 0x12);
    EXPECT_EQ(ParseProfileAddress("-1"), std::nullopt);
    EXPECT_EQ(ParseProfileAddress("0xFFFFFFFF"), std::nullopt);
}

class TransferProfileReading : public ::testing::Test {
  protected:
    bool read(const std::string& text) {
        const std::string path = folder_.path("TEMP.INI");
        std::ofstream(path, std::ios::binary) << text;
        engine_.setProfilePath(path);
        return engine_.readProfile();
    }
    std::vector<std::string> texts() const { return notifier_.texts(); }

    testing::TempFolder folder_;
    RecordingNotifier notifier_;
    VirtualClock clock_;
    PacketTransferEngine engine_{notifier_, clock_};
};

TEST_F(TransferProfileReading, OnlySectionHeadersGiveTheDefaults) {
    ASSERT_TRUE(read("[Chip Info]\r\n[Transmission Info]\r\n"));
    const TransferProfile& profile = engine_.profile();
    EXPECT_EQ(profile.chipType, 0);
    EXPECT_EQ(profile.chipSize, 0);
    EXPECT_EQ(profile.startAddress, 0);
    EXPECT_EQ(profile.dataLength, 65536);
    EXPECT_EQ(profile.timeOver, 0);
    EXPECT_TRUE(texts().empty());
}

TEST_F(TransferProfileReading, ReadsEveryKeyIncludingTheStartAddressUnderChipName) {
    ASSERT_TRUE(
        read("[Chip Info]\nChip Name=SND-1\nChip Type=3\nChip Size=2M\n"
             "[Transmission Info]\nChip Name=0x10000\nData Length=4k\nTime Over=30\n"));
    const TransferProfile& profile = engine_.profile();
    EXPECT_EQ(profile.chipName, "SND-1");
    EXPECT_EQ(profile.chipType, 3);
    EXPECT_EQ(profile.chipSize, 2097152);
    EXPECT_EQ(profile.startAddress, 0x10000);
    EXPECT_EQ(profile.dataLength, 4096);
    EXPECT_EQ(profile.timeOver, 30);
}

struct ProfileFault {
    const char* text;
    const char* message;
};

class TransferProfileFaults : public TransferProfileReading,
                              public ::testing::WithParamInterface<ProfileFault> {};

TEST_P(TransferProfileFaults, TheFirstFailingCheckShowsItsMessage) {
    EXPECT_FALSE(read(GetParam().text));
    EXPECT_EQ(texts(), std::vector<std::string>{GetParam().message});
}

INSTANTIATE_TEST_SUITE_P(
    EachCheck, TransferProfileFaults,
    ::testing::Values(
        ProfileFault{"[Chip Info]\nChip Type=0x3\nChip Size=bad\n",
                     "The value of chip type in configure.ini must be a decimal number"},
        ProfileFault{"[Chip Info]\nChip Size=64KB\n",
                     "Invalid format of chip size in configure.ini"},
        ProfileFault{"[Transmission Info]\nChip Name=ABCD\n",
                     "Invalid format of start address in configure.ini"},
        ProfileFault{"[Transmission Info]\nChip Name=-1\n",
                     "Invalid format of start address in configure.ini"},
        ProfileFault{"[Transmission Info]\nData Length=1x\n",
                     "Invalid format of data length in configure.ini"},
        ProfileFault{"[Transmission Info]\nData Length=100\n",
                     "The data length in configure.ini must be multiple of 64"},
        ProfileFault{"[Transmission Info]\nTime Over=5s\n",
                     "The value of time over in configure.ini must be a decimal number"},
        // Negative values pass the text checks but would send data outside the chip or never
        // end the transfer: they are refused.
        ProfileFault{"[Chip Info]\nChip Size=-64\n",
                     "Invalid format of chip size in configure.ini"},
        ProfileFault{"[Transmission Info]\nChip Name=-64\n",
                     "Invalid format of start address in configure.ini"},
        ProfileFault{"[Transmission Info]\nData Length=-64\n",
                     "Invalid format of data length in configure.ini"},
        ProfileFault{"[Transmission Info]\nData Length=4095M\n",
                     "Invalid format of data length in configure.ini"},
        // The packet header's 16-bit length field carries at most 65536.
        ProfileFault{"[Transmission Info]\nData Length=65600\n",
                     "Invalid format of data length in configure.ini"},
        ProfileFault{"[Transmission Info]\nData Length=128K\n",
                     "Invalid format of data length in configure.ini"}));

TEST_F(TransferProfileReading, AMissingFileIsReported) {
    engine_.setProfilePath(folder_.path("absent.ini"));
    EXPECT_FALSE(engine_.readProfile());
    EXPECT_EQ(texts(), std::vector<std::string>{"Can't find Configure.ini under app directory"});
}

TEST_F(TransferProfileReading, AnEmptyPathMeansR1IniInTheProgramDirectory) {
    engine_.setProfilePath("");
    engine_.readProfile();
    EXPECT_EQ(engine_.profilePath(), ProgramDirectory() + "R1.ini");
}

}  // namespace
}  // namespace harmoload
