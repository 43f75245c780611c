// The packet transfer against the simulated instrument, with the virtual clock: what goes on
// the wire, what the user is shown, and what the instrument holds afterwards.

#include "transfer/PacketTransferEngine.h"

#include <gtest/gtest.h>

#include <fstream>
#include <numeric>
#include <sstream>

#include "platform/testing/RecordingNotifier.h"
#include "platform/testing/VirtualClock.h"
#include "sim/SimulatedUsb.h"
#include "tests/support/FaultSweep.h"
#include "tests/support/FrameFields.h"
#include "tests/support/TempFolder.h"
#include "usb/InstrumentContract.h"

namespace harmoload {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::FrameField16;
using testing::FrameField32;

Bytes Pattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
    }
    return bytes;
}

class PacketTransfer : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::BindToSimulator(engine_.link(), usb_, clock_);
        engine_.link().setConsole(console_);  // the line printed after a failed write
    }

    // Writes the profile and the data beside each other and runs the engine.
    bool run(const Bytes& data, const std::string& dataLength = "64k",
             const std::string& chipSize = "4M", const std::string& start = "0x1000") {
        const std::string profile = folder_.path("TEMP.INI");
        std::ofstream(profile, std::ios::binary)
            << "[Chip Info]\r\nChip Name=SND\r\nChip Type=2\r\nChip Size=" << chipSize
            << "\r\n[Transmission Info]\r\nChip Name=" << start << "\r\nData Length=" << dataLength
            << "\r\nTime Over=30\r\n";
        const std::string dataPath = folder_.path("TEMP.BIN");
        std::ofstream(dataPath, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()),
                   static_cast<std::streamsize>(data.size()));
        engine_.setProfilePath(profile);
        return engine_.run(dataPath);
    }

    sim::SimulatedInstrument& instrument() { return usb_.instrument(); }
    // Every host frame of a kind, by its first byte.
    std::vector<Bytes> frames(uint8_t code) {
        std::vector<Bytes> result;
        for (const Bytes& frame : instrument().commands()) {
            if (!frame.empty() && frame[0] == code) {
                result.push_back(frame);
            }
        }
        return result;
    }
    std::vector<std::string> texts() const { return notifier_.texts(); }

    testing::TempFolder folder_;
    std::ostringstream console_;
    VirtualClock clock_;
    RecordingNotifier notifier_;
    sim::SimulatedUsb usb_{clock_};
    PacketTransferEngine engine_{notifier_, clock_};
};

TEST_F(PacketTransfer, ASmallFileGoesAsOnePacketOfItsOwnSize) {
    const Bytes data = Pattern(100);
    ASSERT_TRUE(run(data)) << ::testing::PrintToString(texts());
    EXPECT_TRUE(texts().empty());
    EXPECT_EQ(engine_.profile().dataLength, 100);

    const auto headers = frames(usb::kHeader);
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_EQ(FrameField32(headers[0], usb::kAddressOffset), 0x1000u);
    EXPECT_EQ(FrameField16(headers[0], usb::kHeaderLengthOffset), 100);
    // Handshake, header, two small packets (64 and 36 bytes), checksum frame.
    EXPECT_EQ(instrument().writes(), 5);
    // Only the handshake's 50 ms: a packet under 1 KiB is not waited for.
    EXPECT_EQ(clock_.slept(), std::chrono::milliseconds(50));
    const auto checksum = frames(usb::kSumRequest);
    ASSERT_EQ(checksum.size(), 1u);
    EXPECT_EQ(FrameField32(checksum[0], usb::kAddressOffset), 0x1000u);
    EXPECT_EQ(FrameField32(checksum[0], usb::kSumRequestLengthOffset), 100u);
    EXPECT_EQ(instrument().target().read(0x1000, 100), data);
    EXPECT_EQ(notifier_.progress(), (std::vector<ProgressPost>{{WM_TRANSFER_PROGRESS, 1, 1}}));
}

TEST_F(PacketTransfer, FullPacketsSendZeroAsTheirLengthAndAdvanceTheAddress) {
    const Bytes data = Pattern(131072);
    ASSERT_TRUE(run(data, "0")) << ::testing::PrintToString(texts());
    const auto headers = frames(usb::kHeader);
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_EQ(FrameField16(headers[0], usb::kHeaderLengthOffset), 0);
    EXPECT_EQ(FrameField16(headers[1], usb::kHeaderLengthOffset), 0);
    EXPECT_EQ(FrameField32(headers[1], usb::kAddressOffset), 0x1000u + 65536u);
    EXPECT_EQ(notifier_.progress(), (std::vector<ProgressPost>{{WM_TRANSFER_PROGRESS, 2, 1},
                                                               {WM_TRANSFER_PROGRESS, 2, 2}}));
    // 6400 ms after each header of a 64 KiB packet, besides the handshake's 50 ms.
    EXPECT_EQ(clock_.slept(), std::chrono::milliseconds(50 + 2 * 6400));
    EXPECT_EQ(instrument().target().read(0x1000, 131072), data);
}

TEST_F(PacketTransfer, TheLastPacketCarriesTheRemainder) {
    const Bytes data = Pattern(4096 * 3 + 1);
    ASSERT_TRUE(run(data, "4k")) << ::testing::PrintToString(texts());
    const auto headers = frames(usb::kHeader);
    ASSERT_EQ(headers.size(), 4u);
    EXPECT_EQ(FrameField16(headers[3], usb::kHeaderLengthOffset), 1);
    EXPECT_EQ(FrameField32(headers[3], usb::kAddressOffset), 0x1000u + 3 * 4096);
    EXPECT_EQ(instrument().target().read(0x1000, static_cast<uint32_t>(data.size())), data);
}

TEST_F(PacketTransfer, AResentPacketCountsTwiceInTotalSent) {
    instrument().faults().badVerdicts = {1};
    const Bytes data = Pattern(8192);
    ASSERT_TRUE(run(data, "4k")) << ::testing::PrintToString(texts());
    EXPECT_EQ(frames(usb::kHeader).size(), 3u);
    EXPECT_EQ(FrameField32(frames(usb::kSumRequest)[0], usb::kSumRequestLengthOffset),
              8192u + 4096u);
    EXPECT_EQ(notifier_.progress(), (std::vector<ProgressPost>{{WM_TRANSFER_PROGRESS, 2, 1},
                                                               {WM_TRANSFER_PROGRESS, 2, 2}}));
    EXPECT_EQ(instrument().target().read(0x1000, 8192), data);
}

TEST_F(PacketTransfer, ElevenRefusalsOfOnePacketAreSurvived) {
    std::set<int> refusals;
    for (int i = 1; i <= 11; ++i) {
        refusals.insert(i);
    }
    instrument().faults().badVerdicts = refusals;
    const Bytes data = Pattern(300);
    ASSERT_TRUE(run(data)) << ::testing::PrintToString(texts());
    EXPECT_EQ(frames(usb::kHeader).size(), 12u);
    EXPECT_EQ(instrument().target().read(0x1000, 300), data);
}

TEST_F(PacketTransfer, TwelveRefusalsOfOnePacketFailTheRun) {
    std::set<int> refusals;
    for (int i = 1; i <= 12; ++i) {
        refusals.insert(i);
    }
    instrument().faults().badVerdicts = refusals;
    EXPECT_FALSE(run(Pattern(300)));
    EXPECT_EQ(frames(usb::kHeader).size(), 12u);
    EXPECT_EQ(texts(), (std::vector<std::string>{"The checksum is not matched with PC: Packet 1",
                                                 "data transmission failed"}));
    EXPECT_TRUE(notifier_.progress().empty());
}

TEST_F(PacketTransfer, TheResendBudgetStartsAgainForEveryAcceptedPacket) {
    std::set<int> refusals;
    for (int i = 1; i <= 11; ++i) {
        refusals.insert(i);       // packet 1: 11 refusals, then accepted (verdict 12)
        refusals.insert(12 + i);  // packet 2: 11 refusals, then accepted
    }
    instrument().faults().badVerdicts = refusals;
    const Bytes data = Pattern(128);
    ASSERT_TRUE(run(data, "64")) << ::testing::PrintToString(texts());
    EXPECT_EQ(frames(usb::kHeader).size(), 24u);
    EXPECT_EQ(instrument().target().read(0x1000, 128), data);
}

TEST_F(PacketTransfer, AnUnansweredHandshakeIsTriedElevenTimes) {
    instrument().faults().wrongHandshakes = 1000;
    EXPECT_FALSE(run(Pattern(100)));
    EXPECT_EQ(frames(usb::kHandshake).size(), 11u);
    EXPECT_EQ(clock_.slept(), std::chrono::milliseconds(11 * 50));
    EXPECT_EQ(texts(),
              (std::vector<std::string>{"Waiting time over when reading handshaking message",
                                        "Handshaking failed"}));
}

TEST_F(PacketTransfer, TheHandshakeCarriesTheChipType) {
    ASSERT_TRUE(run(Pattern(10)));
    EXPECT_EQ(frames(usb::kHandshake).front(), (Bytes{0x01, 0x0A, 0x4D, 0x02}));
}

TEST_F(PacketTransfer, AFileAsLargeAsTheChipAllowsIsAcceptedAndOneByteMoreIsNot) {
    // The limit is chipSize - 2 * startAddress.
    EXPECT_TRUE(run(Pattern(8192 - 2 * 1024), "64k", "8k", "1024"));
    EXPECT_TRUE(texts().empty());
    EXPECT_FALSE(run(Pattern(8192 - 2 * 1024 + 1), "64k", "8k", "1024"));
    EXPECT_EQ(texts(), (std::vector<std::string>{"The file size is large than the chip size",
                                                 "data transmission failed"}));
}

TEST_F(PacketTransfer, AStartAddressNearTheTopDoesNotWrapTheChipLimit) {
    EXPECT_FALSE(run(Pattern(100), "64k", "64k", "0x7FFFFFF0"));
    EXPECT_EQ(texts(), (std::vector<std::string>{"The file size is large than the chip size",
                                                 "data transmission failed"}));
    EXPECT_EQ(frames(usb::kHeader).size(), 0u);
}

TEST_F(PacketTransfer, TheDataFileMustExistAndHoldBytes) {
    engine_.setProfilePath(folder_.path("none.ini"));
    EXPECT_FALSE(engine_.run(folder_.path("absent.bin")));
    EXPECT_EQ(texts(), std::vector<std::string>{"The data file not be exist"});

    notifier_.clear();
    EXPECT_FALSE(run({}));
    EXPECT_EQ(texts(), (std::vector<std::string>{"The file size must not be zero",
                                                 "data transmission failed"}));
}

TEST_F(PacketTransfer, ABadProfileStopsTheRunBeforeTheInstrumentIsTouched) {
    EXPECT_FALSE(run(Pattern(100), "100"));
    EXPECT_EQ(texts(),
              (std::vector<std::string>{"The data length in configure.ini must be multiple of 64",
                                        "Read configure file failed"}));
    EXPECT_EQ(instrument().writes(), 0);
}

TEST_F(PacketTransfer, AWrongSumAtTheEndIsShownInLowerCaseHex) {
    instrument().faults().wrongSums = {1};
    const Bytes data = Pattern(1000);
    const uint16_t sum = static_cast<uint16_t>(std::accumulate(data.begin(), data.end(), 0u));
    EXPECT_FALSE(run(data));
    char expected[80];
    std::snprintf(expected, sizeof expected, "The checksum can't match whith PC: %x - %x",
                  static_cast<unsigned>(static_cast<uint16_t>(sum + 1)),
                  static_cast<unsigned>(sum));
    EXPECT_EQ(texts(), (std::vector<std::string>{expected, "Checksum of last step failed"}));
}

TEST_F(PacketTransfer, AnEmptyChecksumAnswerNeverVerifiesAFileThatSumsToZero) {
    // Reads: handshake, echo, verdict, end answer, then the checksum answer.
    instrument().faults().shortAnswers = {{5, 0}};
    EXPECT_FALSE(run(Bytes(100, 0x00)));
    EXPECT_EQ(instrument().faultsHit(), 1);
    EXPECT_EQ(texts(), (std::vector<std::string>{"The checksum can't match whith PC: ffff - 0",
                                                 "Checksum of last step failed"}));
}

TEST_F(PacketTransfer, AnEchoCutShortIsNotTakenForTheHeader) {
    // The second packet's echo loses its last byte, which the first packet's echo also ended in.
    instrument().faults().shortAnswers = {{5, 11}};
    EXPECT_FALSE(run(Pattern(128), "64"));
    EXPECT_EQ(instrument().faultsHit(), 1);
    EXPECT_EQ(texts(), (std::vector<std::string>{
                           "The reading data back messag is not equal to writing: Packet 2",
                           "data transmission failed"}));
}

// The instrument goes silent at each transfer of a run with the sample profile in turn: every
// run fails, within five minutes of the silence on the clock.
TEST_F(PacketTransfer, ASilentInstrumentFailsTheRunWithinFiveMinutesWhereverItFallsSilent) {
    const std::string dataPath = folder_.path("TEMP.BIN");
    const Bytes data = Pattern(10000);  // three packets of the sample's 4 KiB
    std::ofstream(dataPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
    engine_.setProfilePath(std::string(HARMOLOAD_EXAMPLES_DIR) + "/R1.ini");
    ASSERT_TRUE(engine_.run(dataPath)) << ::testing::PrintToString(texts());
    engine_.link().close();
    const int transfers = instrument().transfers();
    std::chrono::milliseconds worst{0};
    for (int silentFrom = 1; silentFrom <= transfers; ++silentFrom) {
        sim::SimulatorOptions options;
        options.faults.stallFromTransfer = silentFrom;
        sim::SimulatedUsb silent(clock_, options);
        sim::BindToSimulator(engine_.link(), silent, clock_);
        EXPECT_FALSE(engine_.run(dataPath)) << silentFrom;
        engine_.link().close();
        ASSERT_TRUE(silent.instrument().silentSince()) << silentFrom;
        const auto silence = clock_.now() - *silent.instrument().silentSince();
        EXPECT_LE(silence, std::chrono::minutes(5)) << silentFrom;
        worst = std::max(worst, silence);
    }
    RecordProperty("worst_silence_to_failure_ms", static_cast<int>(worst.count()));
}

TEST_F(PacketTransfer, ABadEchoEndsTheRunAtThatPacket) {
    instrument().faults().badEchoes = {2};
    EXPECT_FALSE(run(Pattern(8192), "4k"));
    EXPECT_EQ(texts(), (std::vector<std::string>{
                           "The reading data back messag is not equal to writing: Packet 2",
                           "data transmission failed"}));
    EXPECT_EQ(notifier_.progress().size(), 1u);
}

TEST_F(PacketTransfer, AWrongEndAnswerEndsTheRunAtThatPacket) {
    instrument().faults().wrongEndAnswers = {1};
    EXPECT_FALSE(run(Pattern(8192), "4k"));
    EXPECT_EQ(texts(),
              (std::vector<std::string>{"The back message of writing end is not 0xd4: Packet 1",
                                        "data transmission failed"}));
}

TEST_F(PacketTransfer, DestroyingTheEngineClosesItsLink) {
    {
        PacketTransferEngine engine(notifier_, clock_);
        sim::BindToSimulator(engine.link(), usb_, clock_);
        ASSERT_TRUE(engine.link().open());
        ASSERT_EQ(usb_.library().openHandles(), 1u);
    }
    EXPECT_EQ(usb_.library().openHandles(), 0u);
}

}  // namespace
}  // namespace harmoload

namespace harmoload {
namespace {

// Under any single fault the run either succeeds with the data in the instrument, or fails and
// says so with one of its own closing messages last; it never reports success over bad data, and
// a silent instrument fails it within five minutes. Every fault is injected at each position a
// fault-free run reaches, and each must be hit.
using testing::FaultKind;
using testing::OneFault;

// What a fault-free run of the sweep goes through: three packets of 1 KiB.
constexpr int kSweepTransfers = 63;
constexpr int kSweepReads = 11;
constexpr int kSweepWrites = 52;
constexpr int kSweepPackets = 3;

class PacketTransferUnderFault : public PacketTransfer,
                                 public ::testing::WithParamInterface<std::tuple<FaultKind, int>> {
  protected:
    bool runSweep() {
        const bool ok = run(sweepData_, "1k");
        engine_.link().close();
        return ok;
    }
    const Bytes sweepData_ = Pattern(3000);
};

TEST_F(PacketTransferUnderFault, TheSweepCoversEveryTransferOfAFaultFreeRun) {
    ASSERT_TRUE(runSweep()) << ::testing::PrintToString(texts());
    EXPECT_EQ(instrument().transfers(), kSweepTransfers);
    EXPECT_EQ(instrument().reads(), kSweepReads);
    EXPECT_EQ(instrument().writes(), kSweepWrites);
    EXPECT_EQ(instrument().echoes(), kSweepPackets);
    EXPECT_EQ(instrument().verdicts(), kSweepPackets);
    EXPECT_EQ(instrument().endAnswers(), kSweepPackets);
    EXPECT_EQ(instrument().sums(), 1);
}

TEST_P(PacketTransferUnderFault, EndsInSuccessWithTheDataOrInAReportedFailure) {
    const auto [kind, ordinal] = GetParam();
    instrument().faults() = OneFault(kind, ordinal);
    const bool ok = runSweep();
    EXPECT_EQ(instrument().faultsHit(), 1);
    if (ok) {
        EXPECT_EQ(instrument().target().read(0x1000, 3000), sweepData_);
        EXPECT_EQ(notifier_.progress().size(), 3u);
    } else {
        const auto shown = texts();
        ASSERT_FALSE(shown.empty());
        const std::vector<std::string> runMessages = {
            "Handshaking failed", "data transmission failed", "Checksum of last step failed"};
        EXPECT_NE(std::find(runMessages.begin(), runMessages.end(), shown.back()),
                  runMessages.end())
            << ::testing::PrintToString(shown);
    }
    if (const auto silentSince = instrument().silentSince()) {
        EXPECT_FALSE(ok);
        EXPECT_LE(clock_.now() - *silentSince, std::chrono::minutes(5));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryTransfer, PacketTransferUnderFault,
                         ::testing::Combine(::testing::Values(FaultKind::Unplug, FaultKind::Stall),
                                            ::testing::Range(1, kSweepTransfers + 1)));
INSTANTIATE_TEST_SUITE_P(
    EveryRead, PacketTransferUnderFault,
    ::testing::Combine(::testing::Values(FaultKind::IoReadError, FaultKind::TimedOutRead,
                                         FaultKind::LateAnswer, FaultKind::EmptyAnswer,
                                         FaultKind::AlteredAnswer),
                       ::testing::Range(1, kSweepReads + 1)));
INSTANTIATE_TEST_SUITE_P(EveryWrite, PacketTransferUnderFault,
                         ::testing::Combine(::testing::Values(FaultKind::WriteError,
                                                              FaultKind::PartialWrite),
                                            ::testing::Range(1, kSweepWrites + 1)));
INSTANTIATE_TEST_SUITE_P(EveryPacket, PacketTransferUnderFault,
                         ::testing::Combine(::testing::Values(FaultKind::BadEcho,
                                                              FaultKind::RefusedData,
                                                              FaultKind::WrongEndAnswer),
                                            ::testing::Range(1, kSweepPackets + 1)));
INSTANTIATE_TEST_SUITE_P(EverySum, PacketTransferUnderFault,
                         ::testing::Combine(::testing::Values(FaultKind::WrongSum),
                                            ::testing::Values(1)));

}  // namespace
}  // namespace harmoload
