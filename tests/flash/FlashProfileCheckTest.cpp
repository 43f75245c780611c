// The checks on a flash profile, in their order, and the engine's message box.

#include <gtest/gtest.h>

#include <functional>

#include "flash/FlashProfileCheck.h"

namespace harmoload {
namespace {

// A profile that passes every check: one cycle of each family, two sectors.
FlashProfile Sound() {
    FlashProfile p;
    p.flashModel = "NOR";
    p.reservedSectors = {0};
    p.eraseCycleCount = 1;
    p.eraseAddresses = {0};
    p.eraseData = {0x30};
    p.programCycleCount = 1;
    p.programAddresses = {0};
    p.programData = {0xA0};
    p.writeBufferCycleCount = 0;
    p.programBufferCycleCount = 0;
    p.sectorAddresses = {0, 0x1000};
    return p;
}

struct CheckCase {
    const char* name;
    std::function<void(FlashProfile&)> change;
    ProfileVerdict verdict;
    std::string text;
};

void PrintTo(const CheckCase& c, std::ostream* out) {
    *out << c.name;
}

class FlashProfileChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(FlashProfileChecks, TheFirstFailingCheckGivesItsVerdictAndText) {
    const CheckCase& c = GetParam();
    FlashProfile profile = Sound();
    c.change(profile);
    const ProfileFinding finding = CheckFlashProfile(profile);
    EXPECT_EQ(finding.verdict, c.verdict);
    EXPECT_EQ(finding.text, c.text);
    if (c.verdict == ProfileVerdict::Warning) {
        EXPECT_EQ(finding.kind, EngineMessageKind::Warning);
    } else if (c.verdict == ProfileVerdict::Fatal) {
        EXPECT_EQ(finding.kind, EngineMessageKind::Error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    InOrder, FlashProfileChecks,
    ::testing::Values(
        CheckCase{"Passes", [](FlashProfile&) {}, ProfileVerdict::Passed, ""},
        CheckCase{"NothingButDefaultsGivesOnlyTheWarning",
                  [](FlashProfile& p) { p = FlashProfile{}; }, ProfileVerdict::Warning,
                  "there is nothing in Flash Modle  "},
        CheckCase{"NoReservedSectorComesBeforeEverythingElse",
                  [](FlashProfile& p) {
                      p.reservedSectors.clear();
                      p.blockSize = 0;
                      p.sectorAddresses.clear();
                  },
                  ProfileVerdict::Fatal, "there is nothing in Reserved Sector  "},
        CheckCase{"BlockSize65536Passes", [](FlashProfile& p) { p.blockSize = 65536; },
                  ProfileVerdict::Passed, ""},
        CheckCase{"BlockSize65537IsOutOfRange", [](FlashProfile& p) { p.blockSize = 65537; },
                  ProfileVerdict::Fatal, "the size of block is out of range   "},
        CheckCase{"BlockSizeZeroIsOutOfRange", [](FlashProfile& p) { p.blockSize = 0; },
                  ProfileVerdict::Fatal, "the size of block is out of range   "},
        CheckCase{"NegativeBlockSizeIsOutOfRange", [](FlashProfile& p) { p.blockSize = -2; },
                  ProfileVerdict::Fatal, "the size of block is out of range   "},
        CheckCase{"OddBlockSize", [](FlashProfile& p) { p.blockSize = 4095; },
                  ProfileVerdict::Fatal, "the block size should be a even number better  "},
        CheckCase{"MaxWriteBackZero", [](FlashProfile& p) { p.maxWriteBack = 0; },
                  ProfileVerdict::Fatal,
                  "the max waiting time of writing one pack must be more than zero  "},
        CheckCase{"NegativeEraseTime", [](FlashProfile& p) { p.maxSectorEraseTime = -1; },
                  ProfileVerdict::Fatal,
                  "the max waiting time of erase one sector must be more than zero  "},
        CheckCase{"EraseDataShort",
                  [](FlashProfile& p) {
                      p.eraseCycleCount = 6;
                      p.eraseAddresses = {1, 2, 3, 4, 5, 6};
                      p.eraseData = {1, 2, 3, 4, 5};
                  },
                  ProfileVerdict::Fatal,
                  "the sector erase cycles not matching the number of it's addr or data   "},
        CheckCase{"ProgramAddressesLong", [](FlashProfile& p) { p.programAddresses.push_back(1); },
                  ProfileVerdict::Fatal,
                  "the program cycles not matching the number of it's addr or data  "},
        CheckCase{"UnusedWriteBufferFamilyIsCheckedToo",
                  [](FlashProfile& p) { p.writeBufferCycleCount = 4; }, ProfileVerdict::Fatal,
                  "the write buffer cycles not matching the number of it's addr or data  "},
        CheckCase{"ProgramBufferData", [](FlashProfile& p) { p.programBufferData = {1}; },
                  ProfileVerdict::Fatal,
                  "the program buffer cycles not matching the number of it's addr or data "
                  "number  "},
        CheckCase{"EmptySectorList", [](FlashProfile& p) { p.sectorAddresses.clear(); },
                  ProfileVerdict::Fatal, "the sector address list is empty  "}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

struct RunFaultCase {
    const char* name;
    std::function<void(FlashProfile&)> change;
    bool fault;
};

void PrintTo(const RunFaultCase& c, std::ostream* out) {
    *out << c.name;
}

class FlashRunFaults : public ::testing::TestWithParam<RunFaultCase> {};

TEST_P(FlashRunFaults, AreFoundWhateverTheChecksLetThrough) {
    FlashProfile profile = Sound();
    GetParam().change(profile);
    EXPECT_EQ(FindRunFault(profile).has_value(), GetParam().fault)
        << FindRunFault(profile).value_or("");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlashRunFaults,
    ::testing::Values(
        RunFaultCase{"SoundProfile", [](FlashProfile&) {}, false},
        RunFaultCase{"LongerListsAreEnough",
                     [](FlashProfile& p) {
                         p.eraseAddresses.push_back(1);
                         p.eraseData.push_back(2);
                     },
                     false},
        RunFaultCase{"EraseListShorterThanItsCount", [](FlashProfile& p) { p.eraseCycleCount = 2; },
                     true},
        RunFaultCase{"NegativeCount", [](FlashProfile& p) { p.programCycleCount = -1; }, true},
        RunFaultCase{"ProgramListsUnusedInBufferedMode",
                     [](FlashProfile& p) {
                         p.bufferedWrite = true;
                         p.programCycleCount = 5;
                     },
                     false},
        RunFaultCase{"BufferListsShortInBufferedMode",
                     [](FlashProfile& p) {
                         p.bufferedWrite = true;
                         p.programBufferCycleCount = 1;
                     },
                     true},
        RunFaultCase{"BlockSizeZero", [](FlashProfile& p) { p.blockSize = 0; }, true},
        RunFaultCase{"OddBlockSizeIsHarmless", [](FlashProfile& p) { p.blockSize = 7; }, false},
        RunFaultCase{"NegativeFileOffset", [](FlashProfile& p) { p.fileOffset = -1; }, true},
        RunFaultCase{"NoSector", [](FlashProfile& p) { p.sectorAddresses.clear(); }, true},
        RunFaultCase{"OneSector", [](FlashProfile& p) { p.sectorAddresses = {0}; }, true},
        RunFaultCase{"RepeatedSector",
                     [](FlashProfile& p) {
                         p.sectorAddresses = {0, 0x1000, 0x1000};
                     },
                     true},
        RunFaultCase{"DescendingSectors",
                     [](FlashProfile& p) {
                         p.sectorAddresses = {0x1000, 0};
                     },
                     true}),
    [](const ::testing::TestParamInfo<RunFaultCase>& info) { return info.param.name; });

TEST(FlashRunFault, ASingleSectorHasNoSize) {
    FlashProfile profile = Sound();
    profile.sectorAddresses = {0x1000};
    EXPECT_EQ(FindRunFault(profile), std::optional<std::string>("not enough sector size"));
}

TEST(EngineMessage, KindsChooseCaptionAndIconAndTwoSpacesAreAppended) {
    const std::vector<Message> expected = {
        {"Error", "x  ", MessageButtons::Ok, MessageIcon::Error},
        {"Error", "x  ", MessageButtons::Ok, MessageIcon::Information},
        {"Warning", "x  ", MessageButtons::Ok, MessageIcon::Information},
        {"Information", "x  ", MessageButtons::Ok, MessageIcon::Information},
        {"Question", "x  ", MessageButtons::Ok, MessageIcon::Question},
    };
    for (int kind = 0; kind < 5; ++kind) {
        EXPECT_EQ(EngineMessage("x", static_cast<EngineMessageKind>(kind)),
                  expected[static_cast<size_t>(kind)])
            << kind;
    }
    EXPECT_FALSE(EngineMessage("x", static_cast<EngineMessageKind>(5)).has_value());
    EXPECT_FALSE(EngineMessage("x", static_cast<EngineMessageKind>(-1)).has_value());
}

}  // namespace
}  // namespace harmoload
