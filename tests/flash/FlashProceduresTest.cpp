// The sector procedures transfer by transfer, against a scripted libusb, and the word sum and
// sector map they rest on.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "bytes/LittleEndian.h"
#include "flash/FlashCommandEngine.h"
#include "flash/FlashFrames.h"
#include "flash/FlashProfileCheck.h"
#include "platform/testing/RecordingNotifier.h"
#include "platform/testing/VirtualClock.h"
#include "tests/usb/ScriptedDriverPipes.h"
#include "tests/usb/ScriptedLibusb.h"
#include "usb/InstrumentContract.h"
#include "usb/InterfaceLocator.h"

namespace harmoload {
namespace {

using Bytes = std::vector<uint8_t>;
using Read = testing::ScriptedLibusb::ReadResult;

Read Answer(Bytes bytes) {
    const int size = static_cast<int>(bytes.size());
    return {size, std::move(bytes)};
}
Read PollAnswer(uint16_t value) {
    Bytes answer(usb::kErasePollAnswerBytes, 0x00);
    answer[usb::kCommandOffset] = usb::kErasePoll;
    WriteLittleEndian16(&answer[usb::kErasePollWordOffset], value);
    return Answer(std::move(answer));
}

TEST(WordSum, AddsLittleEndianWordsAndDropsAnOddLastByte) {
    const Bytes three = {0x01, 0x02, 0x03};
    EXPECT_EQ(flash::WordSum(three.data(), three.size()), 0x0201);
    const Bytes wraps = {0xFF, 0xFF, 0x02, 0x00};
    EXPECT_EQ(flash::WordSum(wraps.data(), wraps.size()), 0x0001);
    EXPECT_EQ(flash::WordSum(nullptr, 0), 0);
}

TEST(SectorMap, SizesRunToTheNextEntryAndTheLastTakesTheSizeBeforeIt) {
    FlashProfile profile;
    EXPECT_EQ(flash::SectorAddress(profile, 0), 0);
    EXPECT_EQ(flash::SectorSize(profile, 0), 0);
    profile.sectorAddresses = {0x1000, 0x1800, 0x3800};
    profile.reservedSectors = {0x3800, 0x9999};
    EXPECT_EQ(flash::SectorAddress(profile, 1), 0x1800);
    EXPECT_EQ(flash::SectorAddress(profile, 7), 0x3800);
    EXPECT_EQ(flash::SectorSize(profile, 0), 0x1000);
    EXPECT_EQ(flash::SectorSize(profile, 1), 0x4000);
    EXPECT_EQ(flash::SectorSize(profile, 2), 0x4000);
    EXPECT_FALSE(flash::IsReservedSector(profile, 0));
    EXPECT_TRUE(flash::IsReservedSector(profile, 2));
    // Far apart addresses do not overflow the size.
    profile.sectorAddresses = {0, 0x7FFFFFFF};
    EXPECT_EQ(flash::SectorSize(profile, 0), int64_t{2} * 0x7FFFFFFF);
}

TEST(TemplateFrames, CountByteIsTwiceTheCyclesModulo256) {
    FlashProfile profile;
    profile.programCycleCount = 0;
    EXPECT_EQ(flash::ProgramTemplateFrame(profile), (Bytes{0x04, 0x00}));
    profile.programCycleCount = 128;
    profile.programAddresses.assign(128, 0x12345);
    profile.programData.assign(128, 0xA0);
    const Bytes frame = flash::ProgramTemplateFrame(profile);
    ASSERT_EQ(frame.size(), 2u + 4 * 128);
    EXPECT_EQ(frame[usb::kTemplateCountOffset], 0x00);
    EXPECT_EQ(Bytes(frame.begin() + 2, frame.begin() + 6), (Bytes{0x45, 0x23, 0xA0, 0x00}));
}

// Three sectors of 0x8000 words, erased by the usual six bus cycles.
void SetThreeSectorErase(FlashProfile& p) {
    p.eraseCycleCount = 6;
    p.eraseAddresses = {0x555, 0x2AA, 0x555, 0x555, 0x2AA, 0};
    p.eraseData = {0xAA, 0x55, 0x80, 0xAA, 0x55, 0x30};
    p.sectorAddresses = {0, 0x8000, 0x10000};
}

class FlashProcedure : public ::testing::Test {
  protected:
    void SetUp() override {
        library_.busses = {{{"instrument", 0x0A67, 0x8E30}}};
        engine_.link().bindLibusb(library_);
        engine_.link().setClock(clock_);
        SetThreeSectorErase(engine_.profile());
        ASSERT_TRUE(engine_.link().open());
    }
    void scriptEraseCycles() {
        for (int c = 0; c < 6; ++c) {
            library_.reads.push_back(Answer(Bytes(7, 0)));
        }
    }
    // Written frames of a kind.
    size_t written(uint8_t code, int dataOf = -1) const {
        return static_cast<size_t>(
            std::count_if(library_.written.begin(), library_.written.end(), [&](const Bytes& b) {
                return !b.empty() && b[usb::kCommandOffset] == code &&
                       (dataOf < 0 || b[usb::kBusCycleDataOffset] == dataOf);
            }));
    }

    VirtualClock clock_;
    RecordingNotifier notifier_;
    testing::ScriptedLibusb library_{clock_};
    FlashCommandEngine engine_{notifier_, clock_};
};

TEST_F(FlashProcedure, HandshakeCountsWrongAnswersAndFailedExchangesApart) {
    // Ten failed reads and twenty wrong answers, then ready.
    for (int i = 0; i < 10; ++i) {
        library_.reads.push_back({-116, {}});
    }
    for (int i = 0; i < 20; ++i) {
        library_.reads.push_back(Answer({0x00}));
    }
    library_.reads.push_back(Answer({0xF1}));
    EXPECT_TRUE(engine_.handshake());
    EXPECT_EQ(written(0x01), 31u);
    EXPECT_EQ(clock_.slept(), std::chrono::milliseconds(31 * 50 + 10 * 500));
}

TEST_F(FlashProcedure, HandshakeGivesUpAtTheTwentyFirstWrongAnswer) {
    for (int i = 0; i < 21; ++i) {
        library_.reads.push_back(Answer({0x00}));
    }
    library_.reads.push_back(Answer({0xF1}));
    EXPECT_FALSE(engine_.handshake());
    EXPECT_EQ(written(0x01), 21u);
}

TEST_F(FlashProcedure, HandshakeGivesUpAtTheEleventhFailedExchange) {
    for (int i = 0; i < 11; ++i) {
        library_.reads.push_back({-116, {}});
    }
    library_.reads.push_back(Answer({0xF1}));
    EXPECT_FALSE(engine_.handshake());
    EXPECT_EQ(written(0x01), 11u);
}

TEST_F(FlashProcedure, ErasePollNeedsTwoGoodReadsInARow) {
    scriptEraseCycles();
    for (uint16_t value : {0xFFFF, 0x0000, 0xFFFF, 0xFFFF}) {
        library_.reads.push_back(PollAnswer(value));
    }
    EXPECT_TRUE(engine_.eraseSector(1));
    EXPECT_EQ(written(0x03), 4u);
    EXPECT_EQ(clock_.slept(), std::chrono::milliseconds(700 + 3 * 20));
    EXPECT_EQ(library_.written.back(), (Bytes{0x03, 0x00, 0x80, 0x00, 0x00}));
}

TEST_F(FlashProcedure, AFailedPollReadIsNotTakenForAnErasedSector) {
    engine_.profile().eraseCheckValue = 0;  // what a read that moved nothing would show
    scriptEraseCycles();
    library_.reads.push_back({-116, {}});
    library_.reads.push_back({-116, {}});
    // The two late answers, read and dropped before the third poll's own.
    library_.reads.push_back(PollAnswer(0));
    library_.reads.push_back(PollAnswer(0));
    library_.reads.push_back(PollAnswer(0));
    library_.reads.push_back(PollAnswer(0));
    EXPECT_TRUE(engine_.eraseSector(0));
    EXPECT_EQ(written(0x03), 4u);
}

TEST_F(FlashProcedure, EraseIsRepeatedAfterSixtySevenPollsAndAtMostFiftyTimes) {
    // The sector never reads erased.
    library_.pastScript = PollAnswer(0);
    EXPECT_FALSE(engine_.eraseSector(1));
    // Fifty-one erases, each polled 67 times to its deadline; the fifty levels above the last
    // poll once more each on the way out.
    EXPECT_EQ(written(0x02, 0x30), 51u);
    EXPECT_EQ(written(0x03), 51u * 67 + 50);
    // The first repeat follows the 67th poll.
    const auto firstRepeat = std::find_if(library_.written.begin() + 6, library_.written.end(),
                                          [](const Bytes& b) { return b[0] == 0x02; });
    EXPECT_EQ(firstRepeat - library_.written.begin(), 6 + 67);
}

TEST_F(FlashProcedure, AnEraseEndsAfterThreeUnansweredPollsInARow) {
    // Nothing answers; the time the failing transfers take counts toward the deadline, but an
    // unanswered poll starts no further erase.
    EXPECT_FALSE(engine_.eraseSector(1));
    EXPECT_EQ(written(0x02, 0x30), 1u);
    EXPECT_EQ(written(0x03), 3u);
}

TEST_F(FlashProcedure, EmptyPollAnswersAreUnansweredPollsAndEndTheEraseAfterThree) {
    scriptEraseCycles();
    library_.pastScript = Answer({});
    EXPECT_FALSE(engine_.eraseSector(1));
    EXPECT_EQ(written(0x02, 0x30), 1u);
    EXPECT_EQ(written(0x03), 3u);
}

TEST_F(FlashProcedure, TheEraseDeadlineCountsTimeSpentInTransfers) {
    // Each answer takes 1.5 s to come: 700 ms after the first poll, its answer is already past
    // the 2 s deadline, so the erase is started again right after it.
    engine_.profile().maxSectorEraseTime = 2000;
    library_.readDelay = std::chrono::milliseconds(1500);
    library_.pastScript = PollAnswer(0);
    EXPECT_FALSE(engine_.eraseSector(1));
    const auto firstRepeat = std::find_if(library_.written.begin() + 6, library_.written.end(),
                                          [](const Bytes& b) { return b[0] == 0x02; });
    EXPECT_EQ(firstRepeat - library_.written.begin(), 6 + 1);
}

TEST_F(FlashProcedure, AnEmptyPollAnswerIsNotTakenForTheCheckValue) {
    engine_.profile().eraseCheckValue = 0;
    scriptEraseCycles();
    library_.reads.push_back(Answer({}));
    library_.reads.push_back(Answer({}));
    library_.reads.push_back(PollAnswer(0));
    library_.reads.push_back(PollAnswer(0));
    EXPECT_TRUE(engine_.eraseSector(0));
    EXPECT_EQ(written(0x03), 4u);
}

TEST_F(FlashProcedure, ALateEraseSucceedsWhenItsPollsComplete) {
    scriptEraseCycles();
    // 66 bad polls, one good at the deadline; the nested erase reads two good polls; the outer
    // level's next poll completes its own pair.
    for (int i = 0; i < 66; ++i) {
        library_.reads.push_back(PollAnswer(0));
    }
    library_.reads.push_back(PollAnswer(0xFFFF));
    library_.reads.push_back({-116, {}});  // the 64 bytes drained after a late erase
    scriptEraseCycles();
    library_.reads.push_back(PollAnswer(0xFFFF));
    library_.reads.push_back(PollAnswer(0xFFFF));
    library_.reads.push_back(PollAnswer(0xFFFF));
    EXPECT_TRUE(engine_.eraseSector(2));
    EXPECT_EQ(written(0x02, 0x30), 2u);
    EXPECT_EQ(written(0x03), 70u);
}

// Through the driver pipes every bus cycle's write and read must complete, and a late erase
// drains nothing.
class FlashProcedureThroughDriverPipes : public ::testing::Test {
  protected:
    void SetUp() override {
        pipes_.members = {{R"(\\?\usb#vid_0a67&pid_8e00#1)"}};
        engine_.link().bindLibusb(library_);  // no instrument there
        engine_.link().bindDriverPipes(locator_);
        engine_.link().setClock(clock_);
        SetThreeSectorErase(engine_.profile());
        engine_.profile().maxSectorEraseTime = 2000;
        ASSERT_TRUE(engine_.link().open());
        ASSERT_EQ(engine_.link().mode(), LinkMode::DriverPipes);
    }
    void scriptEraseCycles(size_t count = 6) {
        for (size_t c = 0; c < count; ++c) {
            pipes_.reads.push_back({true, Bytes(7, 0)});
        }
    }
    size_t written(uint8_t code) const {
        return static_cast<size_t>(std::count_if(pipes_.written.begin(), pipes_.written.end(),
                                                 [&](const Bytes& b) { return b[0] == code; }));
    }

    VirtualClock clock_;
    RecordingNotifier notifier_;
    testing::ScriptedLibusb library_{clock_};
    testing::ScriptedDriverPipes pipes_;
    InterfaceLocator locator_{pipes_};
    FlashCommandEngine engine_{notifier_, clock_};
};

TEST_F(FlashProcedureThroughDriverPipes, EraseSendsEveryCycleThroughThePipesAndPolls) {
    scriptEraseCycles();
    pipes_.reads.push_back({true, PollAnswer(0xFFFF).bytes});
    pipes_.reads.push_back({true, PollAnswer(0xFFFF).bytes});
    EXPECT_TRUE(engine_.eraseSector(1));
    EXPECT_EQ(written(0x02), 6u);
    EXPECT_EQ(pipes_.written[5], (Bytes{0x02, 0x00, 0x80, 0x00, 0x00, 0x30, 0x00}));
    EXPECT_EQ(written(0x03), 2u);
    EXPECT_THAT(library_.calls(),
                ::testing::Not(::testing::Contains(::testing::StartsWith("bulk"))));
}

TEST_F(FlashProcedureThroughDriverPipes, ABusCycleThatFailsEndsTheErase) {
    scriptEraseCycles(2);
    pipes_.reads.push_back({false, {}, kPipeTimeoutError});
    EXPECT_FALSE(engine_.eraseSector(1));
    EXPECT_EQ(written(0x02), 3u);
    EXPECT_EQ(written(0x03), 0u);
}

TEST_F(FlashProcedureThroughDriverPipes, ALateEraseIsRepeatedWithoutADrainingRead) {
    // As through libusb: 66 bad polls and one good at the deadline, a nested erase with two
    // good polls, and the outer level's next poll completing its pair.
    scriptEraseCycles();
    for (int i = 0; i < 66; ++i) {
        pipes_.reads.push_back({true, PollAnswer(0).bytes});
    }
    pipes_.reads.push_back({true, PollAnswer(0xFFFF).bytes});
    scriptEraseCycles();
    for (int i = 0; i < 3; ++i) {
        pipes_.reads.push_back({true, PollAnswer(0xFFFF).bytes});
    }
    EXPECT_TRUE(engine_.eraseSector(1));
    EXPECT_EQ(written(0x02), 12u);
    EXPECT_EQ(written(0x03), 70u);
    // Every read was one of 7 bytes: the 64-byte drain of the libusb path never came.
    EXPECT_EQ(std::count_if(pipes_.log.begin(), pipes_.log.end(),
                            [](const std::string& call) { return call.starts_with("read "); }),
              std::count_if(pipes_.log.begin(), pipes_.log.end(),
                            [](const std::string& call) { return call.ends_with(" 7 500ms"); }));
}

TEST_F(FlashProcedure, ATemplateEchoCutShortIsAWrongEcho) {
    engine_.profile().programCycleCount = 0;  // the template is 04 00
    library_.reads.push_back(Answer({0x04}));
    EXPECT_FALSE(engine_.programSector(0));
    EXPECT_EQ(written(0x04), 2u);  // sent again after the wrong echo, whose answer never came
}

TEST_F(FlashProcedure, CopyingPastTheDataIsRefusedWithItsMessage) {
    // No run has loaded data: the first block of sector 0 lies past its end.
    engine_.profile().blockSize = 4096;
    EXPECT_FALSE(engine_.writeSectorData(0));
    EXPECT_EQ(notifier_.texts(), std::vector<std::string>{"Copy too much data"});
    EXPECT_EQ(written(0x07), 0u);
}

TEST_F(FlashProcedure, AnEmptyOrShortSumAnswerNeverVerifies) {
    library_.reads.push_back(Answer({}));
    EXPECT_FALSE(engine_.verifySector(0x1000, 0x1000, 0x0000));
    library_.reads.push_back(Answer({0x08, 0, 0x10, 0, 0, 0, 0x10, 0, 0, 0x00}));
    EXPECT_FALSE(engine_.verifySector(0x1000, 0x1000, 0x0000));
}

TEST_F(FlashProcedure, VerifySectorComparesTheAnswersSum) {
    library_.reads.push_back(Answer({0x08, 0, 0x10, 0, 0, 0, 0x10, 0, 0, 0x34, 0x12}));
    EXPECT_TRUE(engine_.verifySector(0x1000, 0x1000, 0x1234));
    EXPECT_EQ(library_.written.back(), (Bytes{0x08, 0x00, 0x10, 0, 0, 0x00, 0x10, 0, 0, 0x00}));
    library_.reads.push_back(Answer({0x08, 0, 0x10, 0, 0, 0, 0x10, 0, 0, 0x35, 0x12}));
    EXPECT_FALSE(engine_.verifySector(0x1000, 0x1000, 0x1234));
}

}  // namespace
}  // namespace harmoload
