#include "sim/SimulatedInstrument.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>

#include "bytes/LittleEndian.h"
#include "platform/testing/VirtualClock.h"
#include "tests/support/FrameFields.h"
#include "usb/InstrumentContract.h"
#include "usb/LibusbIdentity.h"

namespace harmoload::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Bytes = std::vector<uint8_t>;
using testing::FrameField16;

constexpr int kOut = usb::kOutEndpoint;
constexpr int kIn = usb::kInEndpoint;
const Bytes kFiller(usb::kRecoveryFillerSize, usb::kRecoveryFillerByte);

// The lowest count bytes of value, as they travel.
Bytes Le(uint32_t value, size_t count) {
    Bytes bytes;
    AppendLittleEndian(bytes, value, count);
    return bytes;
}

Bytes Frame(std::initializer_list<Bytes> parts) {
    Bytes frame;
    for (const Bytes& part : parts) {
        frame.insert(frame.end(), part.begin(), part.end());
    }
    return frame;
}

uint16_t ByteSum(const Bytes& bytes) {
    return static_cast<uint16_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

uint16_t WordSum(const Bytes& bytes) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        sum += ReadLittleEndian16(&bytes[i]);
    }
    return static_cast<uint16_t>(sum);
}

Bytes Pattern(size_t size, uint8_t first) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(first + i * 7 + i / 256);
    }
    return bytes;
}

class SimulatedInstrumentTest : public ::testing::Test {
  protected:
    VirtualClock clock;
    InstrumentConfig config = [] {
        InstrumentConfig c;
        c.flash = FlashGeometry::Uniform(0x1000, 8);
        c.eraseTime = std::chrono::milliseconds(900);
        return c;
    }();
    std::unique_ptr<SimulatedInstrument> instrument =
        std::make_unique<SimulatedInstrument>(clock, config);

    void rebuild(InstrumentFaults faults = {}) {
        instrument = std::make_unique<SimulatedInstrument>(clock, config, std::move(faults));
    }
    int write(const Bytes& bytes) {
        return instrument->bulkWrite(kOut, bytes.data(), static_cast<int>(bytes.size()), 5000);
    }
    // The answer read with room for size bytes; empty with the error code in result.
    Bytes read(size_t size, int* result = nullptr) {
        Bytes buffer(size);
        const int got = instrument->bulkRead(kIn, buffer.data(), static_cast<int>(size), 500);
        if (result != nullptr) {
            *result = got;
        }
        buffer.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return buffer;
    }
    Bytes handshake(uint8_t chipType = 2) {
        write(usb::HandshakeFrame(chipType));
        return read(1);
    }
    void sendInSmallPackets(const Bytes& data) {
        for (size_t at = 0; at < data.size(); at += 64) {
            write(Bytes(data.begin() + at, data.begin() + std::min(at + 64, data.size())));
        }
    }
    // One sector erase as the flash profile's cycles send it.
    void eraseSector(uint32_t sector) {
        const std::pair<uint32_t, uint16_t> cycles[] = {
            {sector + 0x555, 0xAA}, {sector + 0x2AA, 0x55}, {sector + 0x555, 0x80},
            {sector + 0x555, 0xAA}, {sector + 0x2AA, 0x55}, {sector, 0x30}};
        for (const auto& [address, data] : cycles) {
            write(Frame({{0x02}, Le(address, 4), Le(data, 2)}));
            read(7);
        }
    }
    uint16_t poll(uint32_t sector) {
        write(Frame({{0x03}, Le(sector, 4)}));
        return FrameField16(read(7), usb::kErasePollWordOffset);
    }
    void programTemplate() {
        const Bytes frame = {0x04, 0x06, 0x55, 0x05, 0xAA, 0x00, 0xAA,
                             0x02, 0x55, 0x00, 0x55, 0x05, 0xA0, 0x00};
        write(frame);
        EXPECT_EQ(read(frame.size()), frame);
    }
    Bytes sendBlock(uint32_t address, const Bytes& data) {
        const Bytes header =
            usb::HeaderFrame(address, static_cast<uint16_t>(data.size() / 2), WordSum(data));
        write(header);
        EXPECT_EQ(read(12), header);
        write(data);
        Bytes answers = read(1);
        if (answers == Bytes{0xF4}) {
            answers.push_back(read(1).at(0));
        }
        return answers;
    }
};

TEST_F(SimulatedInstrumentTest, HandshakeIsAnsweredReadyAndItsChipTypeKept) {
    EXPECT_EQ(handshake(0x1E), Bytes{0xF1});
    EXPECT_THAT(instrument->chipTypes(), ElementsAre(0x1E));
    EXPECT_THAT(instrument->errors(), IsEmpty());
}

TEST_F(SimulatedInstrumentTest, ReadWithNothingToSayWaitsItsTimeOutOnTheClock) {
    write({0x01, 0x0B, 0x4D, 0x02});  // not a handshake
    int result = 0;
    EXPECT_THAT(read(1, &result), IsEmpty());
    EXPECT_EQ(result, kTimedOut);
    EXPECT_EQ(clock.now(), std::chrono::milliseconds(500));
    EXPECT_THAT(instrument->errors(), ElementsAre("malformed handshake"));
}

TEST_F(SimulatedInstrumentTest, PacketsAreEchoedAcknowledgedStoredAndSummed) {
    handshake();
    const Bytes first = Pattern(100, 3);
    const Bytes second = Pattern(37, 9);
    const uint32_t start = 0x100000;
    for (const auto& [address, data] : {std::pair{start, first}, std::pair{start + 100, second}}) {
        const Bytes header =
            usb::HeaderFrame(address, static_cast<uint16_t>(data.size()), ByteSum(data));
        write(header);
        EXPECT_EQ(read(12), header);
        sendInSmallPackets(data);
        EXPECT_EQ(read(1), Bytes{0xF4});
        EXPECT_EQ(read(1), Bytes{0xD4});
    }
    write(Frame({{0x08}, Le(start, 4), Le(137, 4), {0, 0}}));
    const Bytes answer = read(11);
    ASSERT_EQ(answer.size(), 11u);
    EXPECT_EQ(FrameField16(answer, usb::kSumAnswerSumOffset),
              static_cast<uint16_t>(ByteSum(first) + ByteSum(second)));
    Bytes expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(instrument->target().read(start, 137), expected);
    EXPECT_THAT(instrument->errors(), IsEmpty());
}

TEST_F(SimulatedInstrumentTest, FullPacketTravelsWithLengthFieldZero) {
    handshake();
    const Bytes data = Pattern(65536, 1);
    write(usb::HeaderFrame(0, 0, ByteSum(data)));
    read(12);
    sendInSmallPackets(data);
    EXPECT_EQ(read(1), Bytes{0xF4});
    EXPECT_EQ(instrument->target().read(0, 65536), data);
}

TEST_F(SimulatedInstrumentTest, PacketWhoseSumDiffersIsRefusedAndNotStored) {
    handshake();
    const Bytes data = Pattern(64, 5);
    write(usb::HeaderFrame(0x200, 64, static_cast<uint16_t>(ByteSum(data) + 1)));
    read(12);
    write(data);
    EXPECT_EQ(read(1), Bytes{kRefusedVerdict});
    int result = 0;
    read(1, &result);
    EXPECT_EQ(result, kTimedOut);  // no end answer after a refusal
    EXPECT_EQ(instrument->target().bytesWritten(), 0u);
}

TEST_F(SimulatedInstrumentTest, SectorReadsErasedOnlyOnceItsEraseTimeHasPassed) {
    handshake();
    eraseSector(0x2000);
    EXPECT_EQ(instrument->flash().erasesStarted(), 1);
    clock.sleep(std::chrono::milliseconds(700));
    EXPECT_NE(poll(0x2000), 0xFFFF);
    clock.sleep(std::chrono::milliseconds(200));
    EXPECT_EQ(poll(0x2000), 0xFFFF);
    // Its neighbours keep their old contents.
    EXPECT_EQ(instrument->flash().read(0x1FFF), 0x0000);
    EXPECT_EQ(instrument->flash().read(0x3000), 0x0000);
}

TEST_F(SimulatedInstrumentTest, EraseRepeatedWhileErasingDoesNotStartAgain) {
    handshake();
    eraseSector(0x1000);
    clock.sleep(std::chrono::milliseconds(600));
    eraseSector(0x1000);
    clock.sleep(std::chrono::milliseconds(300));
    EXPECT_EQ(poll(0x1000), 0xFFFF);
    EXPECT_EQ(instrument->flash().erasesStarted(), 1);
}

TEST_F(SimulatedInstrumentTest, SlowSectorTakesItsOwnEraseTime) {
    config.slowErase[0x3000] = std::chrono::milliseconds(5000);
    rebuild();
    handshake();
    eraseSector(0x3000);
    eraseSector(0x4000);
    clock.sleep(std::chrono::milliseconds(4990));
    EXPECT_EQ(poll(0x4000), 0xFFFF);
    EXPECT_NE(poll(0x3000), 0xFFFF);
    clock.sleep(std::chrono::milliseconds(10));
    EXPECT_EQ(poll(0x3000), 0xFFFF);
}

TEST_F(SimulatedInstrumentTest, BlocksProgramErasedFlashAndTheSectorSumMatches) {
    handshake();
    eraseSector(0x1000);
    clock.sleep(std::chrono::milliseconds(900));
    programTemplate();
    const Bytes first = Pattern(2 * 0x800, 11);
    const Bytes second = Pattern(2 * 0x800, 12);
    EXPECT_EQ(sendBlock(0x1000, first), (Bytes{0xF4, 0xD4}));
    EXPECT_EQ(sendBlock(0x1800, second), (Bytes{0xF4, 0xD4}));

    Bytes sector = first;
    sector.insert(sector.end(), second.begin(), second.end());
    EXPECT_EQ(instrument->flash().bytes(0x1000, 0x1000), sector);
    write(Frame({{0x08}, Le(0x1000, 4), Le(0x1000, 4), {0}}));
    const Bytes answer = read(11);
    EXPECT_EQ(FrameField16(answer, usb::kSumAnswerSumOffset), WordSum(sector));
    EXPECT_THAT(instrument->errors(), IsEmpty());
}

TEST_F(SimulatedInstrumentTest, ProgrammingWithoutEraseIsRecordedAndOnlyClearsBits) {
    config.initialFlashWord = 0x0F0F;
    rebuild();
    handshake();
    programTemplate();
    EXPECT_EQ(sendBlock(0x0000, {0xFF, 0x33}), (Bytes{0xF4, 0xD4}));
    EXPECT_EQ(instrument->flash().read(0), 0x030F);  // 0x0F0F & 0x33FF
    EXPECT_THAT(instrument->errors(), ElementsAre("program 0x00000000: word not erased"));
}

TEST_F(SimulatedInstrumentTest, ProgrammingAnErasingSectorIsRecorded) {
    handshake();
    eraseSector(0);
    programTemplate();
    sendBlock(0x0010, {0x12, 0x34});
    EXPECT_THAT(instrument->errors(),
                ElementsAre("program 0x00000010: its sector is still erasing"));
}

TEST_F(SimulatedInstrumentTest, FullFlashBlockTravelsWithCountFieldZero) {
    config.flash = FlashGeometry::Uniform(0x10000, 2);
    rebuild();
    handshake();
    eraseSector(0x10000);
    clock.sleep(std::chrono::milliseconds(900));
    programTemplate();
    const Bytes data = Pattern(2 * 65536, 4);
    EXPECT_EQ(sendBlock(0x10000, data), (Bytes{0xF4, 0xD4}));
    EXPECT_EQ(instrument->flash().bytes(0x10000, 0x10000), data);
}

TEST_F(SimulatedInstrumentTest, TemplatesAreEchoedAndResultFramesKept) {
    handshake();
    const Bytes writeBuffer = {0x05, 0x02, 0x00, 0x03, 0xFF, 0x04, 0xFF, 0x55, 0x05, 0xAA, 0x00};
    write(writeBuffer);
    EXPECT_EQ(read(64), writeBuffer);
    const Bytes programBuffer = {0x06, 0x02, 0x01, 0xFF, 0x55, 0x05, 0x29, 0x00};
    write(programBuffer);
    EXPECT_EQ(read(64), programBuffer);
    write({0x04, 0x00});
    EXPECT_EQ(read(2), (Bytes{0x04, 0x00}));
    write({0x09, 0x01, 0x00, 0x00});
    EXPECT_EQ(read(4), (Bytes{0x09, 0x01, 0x00, 0x00}));
    EXPECT_THAT(instrument->resultFlags(), ElementsAre(1));
}

TEST_F(SimulatedInstrumentTest, WrongHandshakeAnswersComeFirst) {
    rebuild({.wrongHandshakes = 2});
    EXPECT_EQ(handshake(), Bytes{0x00});
    EXPECT_EQ(handshake(), Bytes{0x00});
    EXPECT_EQ(handshake(), Bytes{0xF1});
}

TEST_F(SimulatedInstrumentTest, InjectedAnswerFaultsHitTheirOrdinalsOnly) {
    rebuild({.badEchoes = {2}, .badVerdicts = {1}, .wrongEndAnswers = {2}, .wrongSums = {1}});
    handshake();
    const Bytes data = Pattern(10, 1);
    const Bytes header = usb::HeaderFrame(0, 10, ByteSum(data));

    write(header);
    EXPECT_EQ(read(12), header);  // echo 1
    write(data);
    EXPECT_EQ(read(1), Bytes{kRefusedVerdict});  // verdict 1 refused although the sum matched

    write(header);
    Bytes corrupted = header;
    corrupted[1] ^= 0xFF;
    EXPECT_EQ(read(12), corrupted);  // echo 2
    write(data);
    EXPECT_EQ(read(1), Bytes{0xF4});
    EXPECT_EQ(read(1), Bytes{0xD4});  // end answer 1

    write(header);
    read(12);
    write(data);
    EXPECT_EQ(read(1), Bytes{0xF4});
    EXPECT_EQ(read(1), Bytes{kWrongEndAnswer});  // end answer 2

    write(Frame({{0x08}, Le(0, 4), Le(30, 4), {0, 0}}));
    const Bytes answer = read(11);
    EXPECT_EQ(FrameField16(answer, usb::kSumAnswerSumOffset),
              static_cast<uint16_t>(2 * ByteSum(data) + 1));
}

TEST_F(SimulatedInstrumentTest, ReadErrorLeavesTheAnswerForTheRecoveryToDrain) {
    rebuild({.readErrors = {{1, usb::kLibusbIoError}}});
    write(usb::HandshakeFrame(2));
    int result = 0;
    read(1, &result);
    EXPECT_EQ(result, usb::kLibusbIoError);
    // The recovery: clear halt, read 64 (the stale answer), filler, read 64 (nothing).
    instrument->clearHalt(kIn);
    EXPECT_EQ(read(64), Bytes{0xF1});
    write(kFiller);
    read(64, &result);
    EXPECT_EQ(result, kTimedOut);
    EXPECT_EQ(instrument->fillers(), 1);
    EXPECT_EQ(handshake(), Bytes{0xF1});
}

TEST_F(SimulatedInstrumentTest, FillerAfterAClearHaltIsNotTakenForData) {
    handshake();
    write(usb::HeaderFrame(0, 200, 0));
    read(12);
    write(Pattern(64, 0));
    instrument->clearHalt(kOut);
    write(kFiller);
    EXPECT_EQ(instrument->fillers(), 1);
    EXPECT_EQ(handshake(), Bytes{0xF1});
    EXPECT_THAT(instrument->errors(), IsEmpty());
}

TEST_F(SimulatedInstrumentTest, WriteErrorLosesTheFrame) {
    rebuild({.writeErrors = {{1, -116}}});
    const Bytes frame = usb::HandshakeFrame(2);
    EXPECT_EQ(write(frame), -116);
    int result = 0;
    read(1, &result);
    EXPECT_EQ(result, kTimedOut);
    EXPECT_EQ(write(frame), 4);
    EXPECT_EQ(read(1), Bytes{0xF1});
}

TEST_F(SimulatedInstrumentTest, UnpluggedInstrumentFailsEveryTransferFromThenOn) {
    rebuild({.unplugAtTransfer = 3});
    EXPECT_EQ(handshake(), Bytes{0xF1});  // transfers 1 and 2
    EXPECT_TRUE(instrument->plugged());
    EXPECT_EQ(write(usb::HandshakeFrame(2)), kGone);
    int result = 0;
    read(1, &result);
    EXPECT_EQ(result, kGone);
    EXPECT_FALSE(instrument->plugged());
}

TEST_F(SimulatedInstrumentTest, SilentInstrumentTimesOutEveryTransferOnTheClock) {
    rebuild({.stallFromTransfer = 3});
    EXPECT_EQ(handshake(), Bytes{0xF1});  // transfers 1 and 2
    EXPECT_FALSE(instrument->silentSince());
    const auto before = clock.now();
    EXPECT_EQ(write(usb::HandshakeFrame(2)), kTimedOut);
    int result = 0;
    read(1, &result);
    EXPECT_EQ(result, kTimedOut);
    EXPECT_EQ(instrument->clearHalt(kIn), kTimedOut);
    EXPECT_EQ(clock.now() - before, std::chrono::milliseconds(5000 + 500));
    EXPECT_EQ(instrument->silentSince(), before);
    EXPECT_TRUE(instrument->plugged());
    EXPECT_EQ(instrument->faultsHit(), 1);
}

TEST_F(SimulatedInstrumentTest, ShortAlteredAndEmptyAnswersLoseOrChangeTheirBytes) {
    rebuild({.shortAnswers = {{1, 0}, {2, 3}}, .alteredAnswers = {{3, 1}}});
    int result = -1;
    EXPECT_EQ(handshake(), Bytes{});  // read 1: nothing arrives, and nothing is left over
    write({0x09, 0x01, 0x00, 0x00});
    EXPECT_EQ(read(4, &result), (Bytes{0x09, 0x01, 0x00}));
    EXPECT_EQ(result, 3);
    write({0x09, 0x00, 0x00, 0x00});
    EXPECT_EQ(read(4), (Bytes{0x09, 0xFF, 0x00, 0x00}));
    EXPECT_EQ(instrument->faultsHit(), 3);
}

TEST_F(SimulatedInstrumentTest, PartialWriteDeliversOnlyItsFirstBytes) {
    rebuild({.partialWrites = {{1, 0}, {2, 2}}});
    EXPECT_EQ(write({0x09, 0x01, 0x00, 0x00}), 0);
    EXPECT_EQ(write({0x09, 0x01, 0x00, 0x00}), 2);
    EXPECT_THAT(instrument->resultFlags(), IsEmpty());
    EXPECT_EQ(instrument->faultsHit(), 2);
}

TEST_F(SimulatedInstrumentTest, AnswerLongerThanTheReadIsCutAndRecorded) {
    write({0x09, 0x00, 0x00, 0x00});
    EXPECT_EQ(read(2), (Bytes{0x09, 0x00}));
    EXPECT_THAT(instrument->errors(), ElementsAre("answer of 4 bytes read with 2"));
}

}  // namespace
}  // namespace harmoload::sim
