// Whole flash runs against the simulated instrument, with the virtual clock: what the user is
// shown, the progress posted, the frames on the wire and what the flash holds afterwards.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>

#include "flash/FlashCommandEngine.h"
#include "flash/FlashFrames.h"
#include "platform/testing/RecordingNotifier.h"
#include "platform/testing/VirtualClock.h"
#include "sim/SimulatedUsb.h"
#include "tests/flash/FlashProfileText.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/FrameFields.h"
#include "tests/support/TempFolder.h"
#include "text/PathText.h"
#include "usb/InstrumentContract.h"

namespace harmoload {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::EvenSectors;
using testing::FaultKind;
using testing::FlashProfileText;
using testing::FrameField16;
using testing::FrameField32;
using testing::OneFault;

Bytes Pattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>((i * 13 + i / 509 + 1) & 0xFF);
    }
    return bytes;
}

std::string Fatal(const std::string& text) {
    return text + "  ";
}

ProgressPost Range(intptr_t range) {
    return {WM_FLASH_PROGRESS, 0, range};
}
ProgressPost At(intptr_t position) {
    return {WM_FLASH_PROGRESS, 1, position};
}

constexpr uint16_t kOldFlashWord = 0x0000;

FlashProfileText Profile(std::vector<uint32_t> sectors, std::vector<uint32_t> reserved) {
    FlashProfileText profile;
    profile.sectors = std::move(sectors);
    profile.reserved = std::move(reserved);
    return profile;
}

template <typename Change>
sim::InstrumentFaults Faults(Change change) {
    sim::InstrumentFaults faults;
    change(faults);
    return faults;
}

class FlashRun : public ::testing::Test {
  protected:
    // The instrument with its flash laid out in sectors starting at the given words.
    void plug(const std::vector<uint32_t>& starts, uint32_t totalWords,
              const sim::InstrumentFaults& faults = {},
              std::map<uint32_t, std::chrono::milliseconds> slowErase = {}) {
        sim::SimulatorOptions options;
        options.config.flash.sectorStarts = starts;
        options.config.flash.totalWords = totalWords;
        options.config.initialFlashWord = kOldFlashWord;
        options.config.slowErase = std::move(slowErase);
        options.faults = faults;
        usb_.emplace(clock_, options);
        sim::BindToSimulator(engine_.link(), *usb_, clock_);
        engine_.link().setConsole(console_);
    }
    // Four sectors of 0x1000 words (8192 bytes) at 0x0000, 0x1000, 0x2000 and 0x3000.
    void plugFourSectors(const sim::InstrumentFaults& faults = {}) {
        plug(EvenSectors(4, 0x1000), 0x4000, faults);
    }

    bool run(const FlashProfileText& profile, const Bytes& data) {
        const std::string profilePath = folder_.path("TEMP.INI");
        std::ofstream(profilePath, std::ios::binary) << profile.text();
        engine_.setProfilePath(profilePath);
        return runData(data);
    }
    bool runData(const Bytes& data) {
        const std::string dataPath = folder_.path("TEMP.BIN");
        std::ofstream(dataPath, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()),
                   static_cast<std::streamsize>(data.size()));
        return engine_.run(dataPath);
    }

    sim::SimulatedInstrument& instrument() { return usb_->instrument(); }
    std::vector<Bytes> frames(uint8_t code) {
        std::vector<Bytes> result;
        for (const Bytes& frame : instrument().commands()) {
            if (frame[0] == code) {
                result.push_back(frame);
            }
        }
        return result;
    }
    // The sector address of every sector erase sent (the cycle with data 0x30).
    std::vector<uint32_t> erases() {
        std::vector<uint32_t> result;
        for (const sim::BusCycle& cycle : instrument().busCycles()) {
            if (cycle.data == 0x30) {
                result.push_back(cycle.address);
            }
        }
        return result;
    }
    Bytes flashBytes(uint32_t address, size_t bytes) {
        return instrument().flash().bytes(address, static_cast<uint32_t>(bytes / 2));
    }
    bool untouched(uint32_t address, uint32_t words) {
        const auto held = instrument().flash().words(address, words);
        return std::all_of(held.begin(), held.end(),
                           [](uint16_t word) { return word == kOldFlashWord; });
    }
    std::vector<std::string> texts() const { return notifier_.texts(); }

    testing::TempFolder folder_;
    std::ostringstream console_;
    VirtualClock clock_;
    RecordingNotifier notifier_;
    std::optional<sim::SimulatedUsb> usb_;
    FlashCommandEngine engine_{notifier_, clock_};
};

TEST_F(FlashRun, AReservedFirstSectorIsSkippedWithItsDataAndItsProgressSteps) {
    plugFourSectors();
    auto profile = Profile(EvenSectors(4, 0x1000), {0x0000});
    const Bytes data = Pattern(20000);
    ASSERT_TRUE(run(profile, data)) << ::testing::PrintToString(texts());
    EXPECT_TRUE(texts().empty());
    EXPECT_EQ(engine_.sectorsInUse(), 3u);
    EXPECT_EQ(notifier_.progress(),
              (std::vector<ProgressPost>{Range(9), At(4), At(5), At(6), At(7), At(8), At(9)}));

    EXPECT_EQ(erases(), (std::vector<uint32_t>{0x1000, 0x2000}));
    EXPECT_EQ(flashBytes(0x1000, 8192), Bytes(data.begin() + 8192, data.begin() + 16384));
    EXPECT_EQ(flashBytes(0x2000, 3616), Bytes(data.begin() + 16384, data.end()));
    const auto rest = instrument().flash().words(0x2000 + 3616 / 2, 0x1000 - 3616 / 2);
    EXPECT_TRUE(std::all_of(rest.begin(), rest.end(), [](uint16_t w) { return w == 0xFFFF; }));
    EXPECT_TRUE(untouched(0x0000, 0x1000));
    EXPECT_TRUE(untouched(0x3000, 0x1000));

    const auto sums = frames(usb::kSumRequest);
    ASSERT_EQ(sums.size(), 2u);
    EXPECT_EQ(FrameField32(sums[0], usb::kAddressOffset), 0x1000u);
    EXPECT_EQ(FrameField32(sums[0], usb::kSumRequestLengthOffset), 4096u);
    EXPECT_EQ(FrameField32(sums[1], usb::kAddressOffset), 0x2000u);
    EXPECT_EQ(FrameField32(sums[1], usb::kSumRequestLengthOffset), 1808u);
    EXPECT_TRUE(instrument().errors().empty()) << ::testing::PrintToString(instrument().errors());
}

TEST_F(FlashRun, PhasesNameEachSectorInUseAndSkipTheReservedOne) {
    plugFourSectors();
    ASSERT_TRUE(run(Profile(EvenSectors(4, 0x1000), {0x0000}), Pattern(20000)));
    std::vector<std::string> phases;
    const std::vector<ProgressEvent> events = notifier_.progressEvents();
    for (const ProgressEvent& event : events) {
        if (event.change == ProgressChange::Phase) {
            const char* verb = event.phase == FlashPhase::Erasing   ? "erase"
                               : event.phase == FlashPhase::Writing ? "write"
                                                                    : "verify";
            phases.push_back(verb + (" " + std::to_string(event.sector)) + "/" +
                             std::to_string(event.sectors));
        }
    }
    EXPECT_EQ(phases, (std::vector<std::string>{"erase 2/3", "write 2/3", "erase 3/3", "write 3/3",
                                                "verify 2/3", "verify 3/3"}));
    // Every count says where the run stands: the last one ends the last verification.
    EXPECT_EQ(events.back(), (ProgressEvent{.engine = ProgressEngine::Flash,
                                            .done = 9,
                                            .total = 9,
                                            .phase = FlashPhase::Verifying,
                                            .sector = 3,
                                            .sectors = 3}));
}

TEST_F(FlashRun, DataBeyondTheListedSectorsIsRefusedBeforeAnySectorIsErased) {
    plugFourSectors();
    auto profile = Profile(EvenSectors(4, 0x1000), {0x0000});
    EXPECT_FALSE(run(profile, Pattern(40000)));
    EXPECT_EQ(texts(), (std::vector<std::string>{Fatal("not enough sector size"),
                                                 Fatal("Update file failed")}));
    EXPECT_TRUE(instrument().busCycles().empty());
    EXPECT_TRUE(notifier_.progress().empty());
}

TEST_F(FlashRun, DataExactlyFillingSectorsUsesNoSectorMore) {
    plugFourSectors();
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    const Bytes data = Pattern(2 * 8192);
    ASSERT_TRUE(run(profile, data)) << ::testing::PrintToString(texts());
    EXPECT_EQ(notifier_.progress(),
              (std::vector<ProgressPost>{Range(6), At(1), At(2), At(3), At(4), At(5), At(6)}));
    EXPECT_EQ(flashBytes(0, data.size()), data);
    EXPECT_TRUE(untouched(0x2000, 0x2000));
}

TEST_F(FlashRun, AFileOffsetPastTheEndOfTheFileStopsTheRun) {
    plugFourSectors();
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    profile.fileOffset = 0x100;
    EXPECT_FALSE(run(profile, Pattern(300)));
    EXPECT_EQ(texts(),
              (std::vector<std::string>{
                  Fatal("The file offset in section - [File Offset] is lager than the file size"),
                  Fatal("Update file failed")}));
    EXPECT_TRUE(instrument().busCycles().empty());
}

TEST_F(FlashRun, NoDataAfterTheFileOffsetIsRefusedBeforeTheInstrumentIsTouched) {
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    for (const auto& [offset, size] : {std::pair{0x100, 512}, std::pair{0, 0}}) {
        plugFourSectors();
        notifier_.clear();
        profile.fileOffset = offset;
        EXPECT_FALSE(run(profile, Pattern(size))) << size;
        EXPECT_EQ(texts(), (std::vector<std::string>{Fatal("The data file holds nothing to write "
                                                           "after the file offset in section - "
                                                           "[File Offset]"),
                                                     Fatal("Update file failed")}));
        EXPECT_EQ(instrument().transfers(), 0) << size;
    }
}

TEST_F(FlashRun, TheFileOffsetSkipsWordsOfTheFile) {
    plugFourSectors();
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    profile.fileOffset = 0x10;
    const Bytes data = Pattern(10000);
    ASSERT_TRUE(run(profile, data)) << ::testing::PrintToString(texts());
    EXPECT_EQ(flashBytes(0, data.size() - 0x20), Bytes(data.begin() + 0x20, data.end()));
}

TEST_F(FlashRun, BlocksSplitASectorAndTheirAddressesAdvanceByTheirWords) {
    plug(EvenSectors(4, 0x8000), 0x20000);
    auto profile = Profile(EvenSectors(4, 0x8000), {0x18000});
    // A full sector, then 4097 bytes: the odd last byte goes as a last word padded with 0xFF.
    const Bytes data = Pattern(65536 + 4097);
    ASSERT_TRUE(run(profile, data)) << ::testing::PrintToString(texts());
    const auto headers = frames(usb::kHeader);
    ASSERT_EQ(headers.size(), 9u);
    for (uint32_t k = 0; k < 8; ++k) {
        EXPECT_EQ(FrameField32(headers[k], usb::kAddressOffset), k * 4096);
        EXPECT_EQ(FrameField16(headers[k], usb::kHeaderLengthOffset), 4096);
    }
    EXPECT_EQ(FrameField32(headers[8], usb::kAddressOffset), 0x8000u);
    EXPECT_EQ(FrameField16(headers[8], usb::kHeaderLengthOffset), 2049);
    EXPECT_EQ(FrameField32(frames(usb::kSumRequest)[1], usb::kSumRequestLengthOffset), 2049u);
    Bytes padded = data;
    padded.push_back(0xFF);
    EXPECT_EQ(flashBytes(0, padded.size()), padded);
    EXPECT_EQ(instrument().flash().words(0x8000 + 2049, 1).front(), 0xFFFF);
}

TEST_F(FlashRun, AFullBlockOf65536WordsCarriesZeroAsItsCount) {
    plug(EvenSectors(3, 0x10000), 0x30000);
    auto profile = Profile(EvenSectors(3, 0x10000), {0x20000});
    profile.blockSize = 65536;
    const Bytes data = Pattern(131072 + 100);
    ASSERT_TRUE(run(profile, data)) << ::testing::PrintToString(texts());
    const auto headers = frames(usb::kHeader);
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_EQ(FrameField16(headers[0], usb::kHeaderLengthOffset), 0);
    EXPECT_EQ(FrameField16(headers[1], usb::kHeaderLengthOffset), 50);
    EXPECT_EQ(flashBytes(0, data.size()), data);
}

TEST_F(FlashRun, EraseCyclesAreRelativeToTheSectorAndTheLastGoesToTheSectorItself) {
    plug(EvenSectors(4, 0x8000), 0x20000);
    auto profile = Profile(EvenSectors(4, 0x8000), {0x0000});
    ASSERT_TRUE(run(profile, Pattern(70000))) << ::testing::PrintToString(texts());
    const auto cycles = instrument().busCycles();
    ASSERT_EQ(cycles.size(), 6u);
    EXPECT_EQ(cycles, (std::vector<sim::BusCycle>{{0x8555, 0xAA},
                                                  {0x82AA, 0x55},
                                                  {0x8555, 0x80},
                                                  {0x8555, 0xAA},
                                                  {0x82AA, 0x55},
                                                  {0x8000, 0x30}}));
}

TEST_F(FlashRun, EraseCyclesGoAsListedWhenTheFirstSectorIsAt0x1400) {
    plug({0x0000, 0x1400, 0x2400, 0x3400}, 0x4400);
    auto profile = Profile({0x1400, 0x2400, 0x3400}, {0x3400});
    const Bytes data = Pattern(8192 + 10);
    ASSERT_TRUE(run(profile, data)) << ::testing::PrintToString(texts());
    const auto cycles = instrument().busCycles();
    ASSERT_EQ(cycles.size(), 12u);
    EXPECT_EQ(cycles[6], (sim::BusCycle{0x555, 0xAA}));
    EXPECT_EQ(cycles[7], (sim::BusCycle{0x2AA, 0x55}));
    EXPECT_EQ(cycles[11], (sim::BusCycle{0x2400, 0x30}));
    EXPECT_EQ(flashBytes(0x1400, data.size()), data);
    EXPECT_TRUE(untouched(0x0000, 0x1400));
}

TEST_F(FlashRun, TemplateAndHandshakeFramesAreByteForByte) {
    plugFourSectors();
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    profile.chipType = 0x1203;
    ASSERT_TRUE(run(profile, Pattern(100)));
    EXPECT_EQ(frames(0x01), (std::vector<Bytes>{{0x01, 0x0A, 0x4D, 0x03}}));
    EXPECT_EQ(frames(0x04), (std::vector<Bytes>{{0x04, 0x06, 0x55, 0x05, 0xAA, 0x00, 0xAA, 0x02,
                                                 0x55, 0x00, 0x55, 0x05, 0xA0, 0x00}}));
    EXPECT_EQ(frames(0x02).front(), (Bytes{0x02, 0x55, 0x05, 0x00, 0x00, 0xAA, 0x00}));
    EXPECT_EQ(frames(0x03).front(), (Bytes{0x03, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(frames(0x08).front(), (Bytes{0x08, 0x00, 0x00, 0x00, 0x00, 50, 0, 0, 0, 0x00}));

    notifier_.clear();
    plugFourSectors();
    profile.buffered = true;
    ASSERT_TRUE(run(profile, Pattern(100)));
    EXPECT_TRUE(frames(0x04).empty());
    EXPECT_EQ(frames(0x05), (std::vector<Bytes>{{0x05, 0x04, 0x00, 0x03, 0xFF, 0x04, 0xFF, 0x55,
                                                 0x05, 0xAA, 0x00, 0xAA, 0x02, 0x55, 0x00}}));
    EXPECT_EQ(frames(0x06), (std::vector<Bytes>{{0x06, 0x02, 0x01, 0xFF, 0x00, 0x00, 0x29, 0x00}}));
    const Bytes header = frames(0x07).front();
    const Bytes data = Pattern(100);
    EXPECT_EQ(header, (Bytes{0x07, 0, 0, 0, 0, 50, 0,
                             static_cast<uint8_t>(flash::WordSum(data.data(), data.size())),
                             static_cast<uint8_t>(flash::WordSum(data.data(), data.size()) >> 8), 0,
                             0, 0}));
}

TEST_F(FlashRun, ThreeFailedWritesEraseTheSectorFourTimesWithTheSameProgress) {
    // The block is stored but its end answer is wrong: the write fails.
    plugFourSectors(Faults([&](sim::InstrumentFaults& f) { f.wrongEndAnswers = {1, 2, 3}; }));
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    const Bytes data = Pattern(5000);
    ASSERT_TRUE(run(profile, data)) << ::testing::PrintToString(texts());
    EXPECT_EQ(erases(), (std::vector<uint32_t>(4, 0x0000)));
    EXPECT_EQ(notifier_.progress(), (std::vector<ProgressPost>{Range(3), At(1), At(2), At(1), At(2),
                                                               At(1), At(2), At(1), At(2), At(3)}));
    EXPECT_EQ(flashBytes(0, data.size()), data);
}

TEST_F(FlashRun, FiftyOneFailedWritesInARowEndTheRun) {
    std::set<int> wrong;
    for (int answer = 1; answer <= 51; ++answer) {
        wrong.insert(answer);
    }
    plugFourSectors(Faults([&](sim::InstrumentFaults& f) { f.wrongEndAnswers = wrong; }));
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    EXPECT_FALSE(run(profile, Pattern(5000)));
    EXPECT_EQ(erases().size(), 51u);
    EXPECT_EQ(texts(), (std::vector<std::string>{Fatal("write the sector failed"),
                                                 Fatal("Update file failed")}));
}

TEST_F(FlashRun, FiftyFailedWritesInARowAreSurvived) {
    std::set<int> wrong;
    for (int answer = 1; answer <= 50; ++answer) {
        wrong.insert(answer);
    }
    plugFourSectors(Faults([&](sim::InstrumentFaults& f) { f.wrongEndAnswers = wrong; }));
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    const Bytes data = Pattern(5000);
    ASSERT_TRUE(run(profile, data)) << ::testing::PrintToString(texts());
    EXPECT_EQ(erases().size(), 51u);
    EXPECT_EQ(flashBytes(0, data.size()), data);
}

TEST_F(FlashRun, ARefusedBlockIsSentAgainAfterASecondToTheSameAddress) {
    plugFourSectors(Faults([&](sim::InstrumentFaults& f) { f.badVerdicts = {2}; }));
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    profile.blockSize = 1024;
    const Bytes data = Pattern(6000);
    ASSERT_TRUE(run(profile, data)) << ::testing::PrintToString(texts());
    const auto headers = frames(usb::kHeader);
    ASSERT_EQ(headers.size(), 4u);
    EXPECT_EQ(headers[1], headers[2]);
    EXPECT_EQ(FrameField32(headers[3], usb::kAddressOffset), 2048u);
    // Handshake, one erase's polls (700 + 20 + 20) and the second before the resend.
    EXPECT_EQ(clock_.slept(), std::chrono::milliseconds(50 + 740 + 1000));
    EXPECT_EQ(flashBytes(0, data.size()), data);
}

TEST_F(FlashRun, ABlockRefusedElevenTimesFailsTheWriteAndTheSectorStartsAgain) {
    std::set<int> refusals;
    for (int i = 1; i <= 11; ++i) {
        refusals.insert(i);
    }
    plugFourSectors(Faults([&](sim::InstrumentFaults& f) { f.badVerdicts = refusals; }));
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    const Bytes data = Pattern(3000);
    ASSERT_TRUE(run(profile, data)) << ::testing::PrintToString(texts());
    EXPECT_EQ(frames(usb::kHeader).size(), 12u);
    EXPECT_EQ(erases().size(), 2u);
    EXPECT_EQ(flashBytes(0, data.size()), data);
}

TEST_F(FlashRun, AChecksumThatAgreesOnTheSixthRequestPasses) {
    plugFourSectors(Faults([&](sim::InstrumentFaults& f) { f.wrongSums = {1, 2, 3, 4, 5}; }));
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    ASSERT_TRUE(run(profile, Pattern(1000))) << ::testing::PrintToString(texts());
    EXPECT_EQ(frames(usb::kSumRequest).size(), 6u);
}

TEST_F(FlashRun, SixDifferingChecksumsFailTheRun) {
    plugFourSectors(Faults([&](sim::InstrumentFaults& f) { f.wrongSums = {1, 2, 3, 4, 5, 6}; }));
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    EXPECT_FALSE(run(profile, Pattern(1000)));
    EXPECT_EQ(frames(usb::kSumRequest).size(), 6u);
    EXPECT_EQ(texts(), (std::vector<std::string>{Fatal("the checksum isn't right"),
                                                 Fatal("Update file failed")}));
    // The last step of the last sector comes only with a verified run.
    EXPECT_EQ(notifier_.progress(), (std::vector<ProgressPost>{Range(3), At(1), At(2)}));
}

TEST_F(FlashRun, ALateSumAnswerIsNeverTakenForALaterSectorsSum) {
    // Three sectors of the same bytes. When verification starts, the third sector is found
    // altered and the first sector's sum comes one read late: the answers that follow must not
    // let the third sector pass on another sector's sum.
    struct LateSumOverAlteredSector final : Notifier {
        RecordingNotifier* recorder = nullptr;
        sim::SimulatedInstrument* instrument = nullptr;
        MessageAnswer showMessage(const Message& message) override {
            return recorder->showMessage(message);
        }
        void postProgress(const ProgressEvent& event) override {
            recorder->postProgress(event);
            if (event.change == ProgressChange::Phase && event.phase == FlashPhase::Verifying &&
                event.sector == 1) {
                instrument->faults().lateAnswers = {instrument->reads() + 1};
                instrument->flash().program(0x2000, 0x0000);
            }
        }
    } late;
    plugFourSectors();
    late.recorder = &notifier_;
    late.instrument = &instrument();
    engine_.setNotifier(late);
    const Bytes sector = Pattern(8192);
    Bytes data;
    for (int k = 0; k < 3; ++k) {
        data.insert(data.end(), sector.begin(), sector.end());
    }
    EXPECT_FALSE(run(Profile(EvenSectors(4, 0x1000), {0x3000}), data));
    EXPECT_EQ(instrument().faultsHit(), 1);
    EXPECT_EQ(texts(), (std::vector<std::string>{Fatal("the checksum isn't right"),
                                                 Fatal("Update file failed")}));
}

TEST_F(FlashRun, TheWarningAnsweredNoEndsTheRunWithoutTouchingTheInstrument) {
    plugFourSectors();
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    profile.model = "";
    notifier_.queueAnswer(MessageAnswer::No);
    EXPECT_FALSE(run(profile, Pattern(1000)));
    const auto shown = notifier_.messages();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], (Message{"Warning", "there is nothing in Flash Modle    ",
                                 MessageButtons::Ok, MessageIcon::Information}));
    EXPECT_EQ(shown[1], (Message{"Warning",
                                 "some parameters in configure file maybe not correct  \n\nare "
                                 "you want to continue?",
                                 MessageButtons::YesNo, MessageIcon::Information}));
    EXPECT_EQ(shown[2], (Message{"Error", "Update file failed  ", MessageButtons::Ok,
                                 MessageIcon::Information}));
    EXPECT_EQ(instrument().writes(), 0);
}

TEST_F(FlashRun, TheWarningAnsweredYesRunsWithTheProfileAsItIs) {
    plugFourSectors();
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    profile.model = "";
    notifier_.queueAnswer(MessageAnswer::Yes);
    const Bytes data = Pattern(1000);
    ASSERT_TRUE(run(profile, data));
    EXPECT_EQ(texts().size(), 2u);
    EXPECT_EQ(flashBytes(0, data.size()), data);
}

TEST_F(FlashRun, TheWarningAnsweredYesDoesNotWaiveAnEmptyReservedList) {
    plugFourSectors();
    auto profile = Profile(EvenSectors(4, 0x1000), {});
    profile.model = "";
    notifier_.queueAnswer(MessageAnswer::Yes);
    EXPECT_FALSE(run(profile, Pattern(1000)));
    EXPECT_EQ(texts(),
              (std::vector<std::string>{
                  "there is nothing in Flash Modle    ",
                  "some parameters in configure file maybe not correct  \n\nare you "
                  "want to continue?",
                  Fatal("there is nothing in Reserved Sector  "),
                  Fatal("some fault errors in configure file"), Fatal("Update file failed")}));
    EXPECT_EQ(instrument().writes(), 0);
}

TEST_F(FlashRun, AnUnreadableProfileRunsOnTheDefaultsAfterItsMessageAndTheWarning) {
    plugFourSectors();
    engine_.setProfilePath(folder_.path("missing.ini"));
    EXPECT_FALSE(runData(Pattern(100)));
    EXPECT_EQ(texts(),
              (std::vector<std::string>{
                  "can't open the configure file R2.ini ", "there is nothing in Flash Modle    ",
                  "some parameters in configure file maybe not correct  \n\nare you want to "
                  "continue?",
                  "Update file failed  "}));
    EXPECT_EQ(notifier_.messages()[0].caption, kApplicationTitle);
}

TEST_F(FlashRun, WithoutAProfilePathTheProgramDirectorysR2IsRead) {
    plugFourSectors();
    engine_.setProfilePath("");
    runData(Pattern(100));
    EXPECT_EQ(engine_.profilePath(), ProgramDirectory() + "R2.ini");
}

TEST_F(FlashRun, TheDataFileMustBeNamedAndExist) {
    plugFourSectors();
    EXPECT_FALSE(engine_.run(""));
    EXPECT_FALSE(engine_.run(folder_.path("absent.bin")));
    EXPECT_EQ(texts(), (std::vector<std::string>{
                           Fatal("select a data file first"), Fatal("Update file failed"),
                           Fatal("the path of data file not exist"), Fatal("Update file failed")}));
}

TEST_F(FlashRun, AFatalProfileFaultIsShownThenTheRunsOwnMessages) {
    plugFourSectors();
    auto profile = Profile(EvenSectors(4, 0x1000), {});
    EXPECT_FALSE(run(profile, Pattern(100)));
    EXPECT_EQ(texts(), (std::vector<std::string>{Fatal("there is nothing in Reserved Sector  "),
                                                 Fatal("some fault errors in configure file"),
                                                 Fatal("Update file failed")}));
    EXPECT_EQ(instrument().writes(), 0);
}

TEST_F(FlashRun, AHandshakeAnsweredWronglyTwentyTimesIsStillAccepted) {
    plugFourSectors(Faults([&](sim::InstrumentFaults& f) { f.wrongHandshakes = 20; }));
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    EXPECT_TRUE(run(profile, Pattern(100))) << ::testing::PrintToString(texts());
    EXPECT_EQ(frames(usb::kHandshake).size(), 21u);

    plugFourSectors(Faults([&](sim::InstrumentFaults& f) { f.wrongHandshakes = 21; }));
    notifier_.clear();
    EXPECT_FALSE(run(profile, Pattern(100)));
    EXPECT_EQ(frames(usb::kHandshake).size(), 21u);
    EXPECT_EQ(texts(), (std::vector<std::string>{Fatal("handshake with usb device failed"),
                                                 Fatal("Update file failed")}));
}

TEST_F(FlashRun, NoInstrumentMeansTheLinkDoesNotOpen) {
    sim::SimulatorOptions options;
    options.present = false;
    usb_.emplace(clock_, options);
    sim::BindToSimulator(engine_.link(), *usb_, clock_);
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    EXPECT_FALSE(run(profile, Pattern(100)));
    EXPECT_EQ(texts(), (std::vector<std::string>{Fatal("open usb device failed"),
                                                 Fatal("Update file failed")}));
}

TEST_F(FlashRun, AnEraseThatNeverEndsIsStartedFiftyTimesMoreThenFailsTheRun) {
    plug(EvenSectors(4, 0x1000), 0x4000, {}, {{0x1000, std::chrono::hours(1000)}});
    auto profile = Profile(EvenSectors(4, 0x1000), {0x3000});
    EXPECT_FALSE(run(profile, Pattern(10000)));
    std::vector<uint32_t> expected(52, 0x1000);
    expected.front() = 0x0000;
    EXPECT_EQ(erases(), expected);
    // The instrument ignores an erase of a sector that is still erasing.
    EXPECT_EQ(instrument().flash().erasesStarted(), 2);
    EXPECT_EQ(notifier_.progress(),
              (std::vector<ProgressPost>{Range(6), At(1), At(2), At(3), At(4)}));
    EXPECT_EQ(texts(), (std::vector<std::string>{Fatal("erase the sector failed"),
                                                 Fatal("Update file failed")}));
}

TEST_F(FlashRun, TheSampleProfileDrivesTheSimulatedInstrumentsDefaultFlash) {
    usb_.emplace(clock_);
    sim::BindToSimulator(engine_.link(), *usb_, clock_);
    engine_.setProfilePath(std::string(HARMOLOAD_EXAMPLES_DIR) + "/R2.ini");
    const Bytes data = Pattern(200000);
    ASSERT_TRUE(runData(data)) << ::testing::PrintToString(texts());
    EXPECT_TRUE(texts().empty());
    EXPECT_EQ(engine_.sectorsInUse(), 4u);
    EXPECT_EQ(flashBytes(0, data.size()), data);
    // The settings sector at the top is reserved.
    EXPECT_TRUE(untouched(0x1F8000, 0x8000));
    EXPECT_TRUE(instrument().errors().empty()) << ::testing::PrintToString(instrument().errors());
}

// The instrument goes silent at each transfer of a run with the sample profile in turn: every
// run fails, within five minutes of the silence on the clock.
TEST_F(FlashRun, ASilentInstrumentFailsTheRunWithinFiveMinutesWhereverItFallsSilent) {
    engine_.setProfilePath(std::string(HARMOLOAD_EXAMPLES_DIR) + "/R2.ini");
    const Bytes data = Pattern(70000);  // two sectors and a little of a third
    usb_.emplace(clock_);
    sim::BindToSimulator(engine_.link(), *usb_, clock_);
    ASSERT_TRUE(runData(data)) << ::testing::PrintToString(texts());
    const int transfers = instrument().transfers();
    std::chrono::milliseconds worst{0};
    for (int silentFrom = 1; silentFrom <= transfers; ++silentFrom) {
        sim::SimulatorOptions options;
        options.faults.stallFromTransfer = silentFrom;
        usb_.emplace(clock_, options);
        sim::BindToSimulator(engine_.link(), *usb_, clock_);
        EXPECT_FALSE(runData(data)) << silentFrom;
        ASSERT_TRUE(instrument().silentSince()) << silentFrom;
        const auto silence = clock_.now() - *instrument().silentSince();
        EXPECT_LE(silence, std::chrono::minutes(5)) << silentFrom;
        worst = std::max(worst, silence);
    }
    RecordProperty("worst_silence_to_failure_ms", static_cast<int>(worst.count()));
}

// Faults in the profile that its checks let through are stopped before the instrument is
// touched, with a message that says what is wrong.
struct ProfileFaultCase {
    const char* name;
    std::string model;
    std::vector<uint32_t> sectors;
    std::string extra;
    std::vector<std::string> messages;  // after the warning and its question, when asked
};

void PrintTo(const ProfileFaultCase& c, std::ostream* out) {
    *out << c.name;
}

class FlashRunProfileFault : public FlashRun,
                             public ::testing::WithParamInterface<ProfileFaultCase> {};

TEST_P(FlashRunProfileFault, StopsTheRunBeforeTheInstrumentIsTouched) {
    const ProfileFaultCase& c = GetParam();
    plugFourSectors();
    auto profile = Profile(c.sectors, {0x3000});
    profile.model = c.model;
    profile.extra = c.extra;
    notifier_.setDefaultAnswer(MessageAnswer::Yes);
    EXPECT_FALSE(run(profile, Pattern(100)));
    auto shown = texts();
    if (c.model.empty()) {
        ASSERT_GE(shown.size(), 2u);
        shown.erase(shown.begin(), shown.begin() + 2);
    }
    std::vector<std::string> expected;
    for (const std::string& text : c.messages) {
        expected.push_back(Fatal(text));
    }
    expected.push_back(Fatal("Update file failed"));
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(instrument().writes(), 0);
    EXPECT_TRUE(notifier_.progress().empty());
}

const std::vector<uint32_t> kFour = EvenSectors(4, 0x1000);

INSTANTIATE_TEST_SUITE_P(
    Mended, FlashRunProfileFault,
    ::testing::Values(
        ProfileFaultCase{"AcceptedWarningWithAShortEraseList",
                         "",
                         kFour,
                         "[sector erase cycle]\r\nerasecycles = 8\r\n",
                         {"the sector erase cycles not matching the number of it's addr or data   ",
                          "some fault errors in configure file"}},
        ProfileFaultCase{"AcceptedWarningWithANegativeProgramCount",
                         "",
                         kFour,
                         "[program cycle]\r\nprogramcycles = -1\r\n",
                         {"the program cycles not matching the number of it's addr or data  ",
                          "some fault errors in configure file"}},
        ProfileFaultCase{
            "AcceptedWarningWithBlockSizeZero",
            "",
            kFour,
            "[block size]\r\nsize = 0\r\n",
            {"the size of block is out of range   ", "some fault errors in configure file"}},
        ProfileFaultCase{
            "AcceptedWarningWithoutSectors",
            "",
            {},
            "",
            {"the sector address list is empty  ", "some fault errors in configure file"}},
        ProfileFaultCase{"ASingleSector", "NOR", {0x0000}, "", {"not enough sector size"}},
        ProfileFaultCase{"ANegativeFileOffset",
                         "NOR",
                         kFour,
                         "[file offset]\r\nfileoffset = -1\r\n",
                         {"The file offset in section - [File Offset] must not be negative",
                          "some fault errors in configure file"}},
        ProfileFaultCase{"DescendingSectors",
                         "NOR",
                         {0x0000, 0x2000, 0x1000, 0x3000},
                         "",
                         {"the sector address list must ascend: entry 3 (0x1000) is not above the "
                          "one before it",
                          "some fault errors in configure file"}},
        ProfileFaultCase{"ARepeatedSector",
                         "NOR",
                         {0x0000, 0x1000, 0x1000, 0x3000},
                         "",
                         {"the sector address list must ascend: entry 3 (0x1000) is not above the "
                          "one before it",
                          "some fault errors in configure file"}}),
    [](const ::testing::TestParamInfo<ProfileFaultCase>& info) { return info.param.name; });

// Under any single fault of the instrument the run either succeeds with the data in the flash
// and the reserved sector untouched, or fails and says so: one of its own failure messages,
// then "Update file failed". It never reports success over bad data, and a silent instrument
// fails it within five minutes. Every fault is injected at each position a fault-free run
// reaches, and each must be hit.

// What a fault-free run of the sweep goes through.
constexpr int kSweepTransfers = 66;
constexpr int kSweepReads = 35;
constexpr int kSweepWrites = 31;
constexpr int kSweepEchoes = 6;
constexpr int kSweepBlocks = 4;
constexpr int kSweepSums = 2;

class FlashRunUnderFault : public FlashRun,
                           public ::testing::WithParamInterface<std::tuple<FaultKind, int>> {
  protected:
    bool runSweep(const sim::InstrumentFaults& faults) {
        plugFourSectors(faults);
        auto profile = Profile(kFour, {0x1000});
        profile.blockSize = 2048;
        return run(profile, sweepData_);
    }
    // Three sectors of the same bytes, the middle one reserved: sectors 0 and 2 are written and
    // have the same sum, so that a sum read for the wrong sector would agree.
    const Bytes sweepData_ = [] {
        const Bytes sector = Pattern(8192);
        Bytes data;
        for (int k = 0; k < 3; ++k) {
            data.insert(data.end(), sector.begin(), sector.end());
        }
        return data;
    }();
};

TEST_F(FlashRunUnderFault, TheSweepCoversEveryTransferOfAFaultFreeRun) {
    ASSERT_TRUE(runSweep({})) << ::testing::PrintToString(texts());
    EXPECT_EQ(instrument().transfers(), kSweepTransfers);
    EXPECT_EQ(instrument().reads(), kSweepReads);
    EXPECT_EQ(instrument().writes(), kSweepWrites);
    EXPECT_EQ(instrument().echoes(), kSweepEchoes);
    EXPECT_EQ(instrument().verdicts(), kSweepBlocks);
    EXPECT_EQ(instrument().endAnswers(), kSweepBlocks);
    EXPECT_EQ(instrument().sums(), kSweepSums);
}

TEST_P(FlashRunUnderFault, EndsInSuccessWithTheDataOrInAReportedFailure) {
    const auto [kind, ordinal] = GetParam();
    const bool ok = runSweep(OneFault(kind, ordinal));
    EXPECT_EQ(instrument().faultsHit(), 1);
    if (ok) {
        const Bytes sector(sweepData_.begin(), sweepData_.begin() + 8192);
        EXPECT_EQ(flashBytes(0x0000, 8192), sector);
        EXPECT_EQ(flashBytes(0x2000, 8192), sector);
        EXPECT_EQ(notifier_.progress().back(), At(9));
    } else {
        const auto shown = texts();
        ASSERT_GE(shown.size(), 2u);
        EXPECT_EQ(shown.back(), Fatal("Update file failed"));
        const std::vector<std::string> runMessages = {
            Fatal("open usb device failed"), Fatal("handshake with usb device failed"),
            Fatal("erase the sector failed"), Fatal("write the sector failed"),
            Fatal("the checksum isn't right")};
        EXPECT_NE(std::find(runMessages.begin(), runMessages.end(), shown[shown.size() - 2]),
                  runMessages.end())
            << ::testing::PrintToString(shown);
    }
    if (const auto silentSince = instrument().silentSince()) {
        EXPECT_FALSE(ok);
        EXPECT_LE(clock_.now() - *silentSince, std::chrono::minutes(5));
    }
    EXPECT_TRUE(untouched(0x1000, 0x1000));
    EXPECT_TRUE(untouched(0x3000, 0x1000));
}

INSTANTIATE_TEST_SUITE_P(EveryTransfer, FlashRunUnderFault,
                         ::testing::Combine(::testing::Values(FaultKind::Unplug, FaultKind::Stall),
                                            ::testing::Range(1, kSweepTransfers + 1)));
INSTANTIATE_TEST_SUITE_P(
    EveryRead, FlashRunUnderFault,
    ::testing::Combine(::testing::Values(FaultKind::IoReadError, FaultKind::TimedOutRead,
                                         FaultKind::LateAnswer, FaultKind::EmptyAnswer,
                                         FaultKind::AlteredAnswer),
                       ::testing::Range(1, kSweepReads + 1)));
INSTANTIATE_TEST_SUITE_P(EveryWrite, FlashRunUnderFault,
                         ::testing::Combine(::testing::Values(FaultKind::WriteError,
                                                              FaultKind::PartialWrite),
                                            ::testing::Range(1, kSweepWrites + 1)));
INSTANTIATE_TEST_SUITE_P(EveryEcho, FlashRunUnderFault,
                         ::testing::Combine(::testing::Values(FaultKind::BadEcho),
                                            ::testing::Range(1, kSweepEchoes + 1)));
INSTANTIATE_TEST_SUITE_P(EveryBlock, FlashRunUnderFault,
                         ::testing::Combine(::testing::Values(FaultKind::RefusedData,
                                                              FaultKind::WrongEndAnswer),
                                            ::testing::Range(1, kSweepBlocks + 1)));
INSTANTIATE_TEST_SUITE_P(EverySum, FlashRunUnderFault,
                         ::testing::Combine(::testing::Values(FaultKind::WrongSum),
                                            ::testing::Range(1, kSweepSums + 1)));

}  // namespace
}  // namespace harmoload
