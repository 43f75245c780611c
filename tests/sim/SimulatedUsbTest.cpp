#include "sim/SimulatedUsb.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "platform/testing/RecordingNotifier.h"
#include "platform/testing/VirtualClock.h"
#include "tests/usb/ScriptedDriverPipes.h"
#include "usb/InstrumentContract.h"
#include "usb/LibusbIdentity.h"
#include "usb/PresenceCheck.h"
#include "usb/UsbLink.h"

namespace harmoload::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class SimulatedUsbTest : public ::testing::Test {
  protected:
    VirtualClock clock;
    RecordingNotifier notifier;
    std::ostringstream console;

    void setUp(UsbLink& link, SimulatedUsb& simulator) {
        BindToSimulator(link, simulator, clock);
        link.setNotifier(&notifier);
        link.setConsole(console);
    }
    // The link set up on the simulator and opened.
    bool open(UsbLink& link, SimulatedUsb& simulator) {
        setUp(link, simulator);
        return link.open();
    }

    const usb::Frame handshake = usb::HandshakeFrame(2);
};

TEST_F(SimulatedUsbTest, LinkFindsTheInstrumentBehindOtherDevices) {
    SimulatorOptions options;
    options.others = {{0x0A67, 0x8E31}, {0x046D, 0x8E30}};
    SimulatedUsb simulator(clock, options);
    UsbLink link;
    setUp(link, simulator);

    EXPECT_TRUE(CheckDevicePresent(link));
    EXPECT_EQ(link.mode(), LinkMode::Libusb);
    EXPECT_THAT(simulator.library().openedProducts(), ElementsAre(0x8E30));
    EXPECT_EQ(simulator.library().openHandles(), 0u);
}

TEST_F(SimulatedUsbTest, AbsentInstrumentIsNotFoundEvenWhenTheDriverHasOne) {
    SimulatorOptions options;
    options.present = false;
    SimulatedUsb simulator(clock, options);
    // A real instrument behind the driver pipes.
    testing::ScriptedDriverPipes driver;
    driver.members = {{R"(\\?\usb#vid_0a67&pid_8e00#1#{37538c66-9584-42d3})"}};
    InterfaceLocator locator(driver);
    UsbLink link;
    link.bindDriverPipes(locator);
    setUp(link, simulator);
    EXPECT_FALSE(CheckDevicePresent(link));
    EXPECT_EQ(link.mode(), LinkMode::None);
    EXPECT_THAT(driver.log, IsEmpty());
}

TEST_F(SimulatedUsbTest, SecondLinkCannotClaimWhileTheFirstHoldsTheInstrument) {
    SimulatedUsb simulator(clock);
    UsbLink first;
    UsbLink second;
    setUp(first, simulator);
    setUp(second, simulator);
    ASSERT_TRUE(first.open());
    EXPECT_FALSE(second.open());
    first.close();
    EXPECT_TRUE(second.open());
    second.close();
    EXPECT_EQ(simulator.library().openHandles(), 0u);
}

TEST_F(SimulatedUsbTest, DevicesShowOnlyFromTheNextFindDevices) {
    SimulatedUsb simulator(clock);
    SimulatedLibusb& library = simulator.library();
    EXPECT_THAT(library.getBusses(), IsEmpty());
    library.findBusses();
    library.findDevices();
    ASSERT_EQ(library.getBusses().size(), 1u);
    EXPECT_EQ(library.getBusses()[0].size(), 1u);
    simulator.instrument().unplug();
    EXPECT_EQ(library.getBusses()[0].size(), 1u);
    library.findDevices();
    EXPECT_THAT(library.getBusses()[0], IsEmpty());
}

TEST_F(SimulatedUsbTest, HandshakeThroughTheLinkAndReadRecoveryKeepTheInstrumentInStep) {
    SimulatorOptions options;
    options.faults.readErrors = {{1, usb::kLibusbIoError}};
    SimulatedUsb simulator(clock, options);
    UsbLink link;
    ASSERT_TRUE(open(link, simulator));

    uint8_t answer = 0;
    ASSERT_EQ(link.write(handshake.data(), handshake.size()), TransferStatus::Complete);
    EXPECT_EQ(link.read(&answer, 1), TransferStatus::Failed);
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(simulator.instrument().fillers(), 1);
    // The recovery took 10 ms of pause and one read time-out.
    EXPECT_EQ(clock.now(), std::chrono::milliseconds(510));

    ASSERT_EQ(link.write(handshake.data(), handshake.size()), TransferStatus::Complete);
    EXPECT_EQ(link.read(&answer, 1), TransferStatus::Complete);
    EXPECT_EQ(answer, usb::kReady);
    EXPECT_THAT(simulator.instrument().errors(), IsEmpty());
}

TEST_F(SimulatedUsbTest, WriteAfterUnplugGivesUpInsteadOfHanging) {
    SimulatorOptions options;
    options.faults.unplugAtTransfer = 3;
    SimulatedUsb simulator(clock, options);
    UsbLink link;
    ASSERT_TRUE(open(link, simulator));
    uint8_t answer = 0;
    link.write(handshake.data(), handshake.size());
    link.read(&answer, 1);

    EXPECT_EQ(link.write(handshake.data(), handshake.size()), TransferStatus::Failed);
    EXPECT_THAT(console.str(), ::testing::StartsWith("error writing:\nusb_bulk_write: "));
    link.close();
    EXPECT_FALSE(link.open());
}

TEST_F(SimulatedUsbTest, ReadAfterCloseReopensTheSimulatedInstrument) {
    SimulatedUsb simulator(clock);
    UsbLink link;
    ASSERT_TRUE(open(link, simulator));
    link.close();
    const uint8_t frame[4] = {0x09, 0x00, 0x00, 0x00};
    EXPECT_EQ(link.write(frame, sizeof frame), TransferStatus::Complete);
    uint8_t answer[4] = {};
    EXPECT_EQ(link.read(answer, sizeof answer), TransferStatus::Complete);
    EXPECT_THAT(simulator.instrument().resultFlags(), ElementsAre(0));
    EXPECT_THAT(notifier.messages(), IsEmpty());
}

TEST(SimulatorOptionsTest, EveryItemIsRead) {
    std::string error;
    const std::optional<SimulatorOptions> options = ParseSimulatorOptions(
        "erase-ms=2500; handshake-wrong=3 bad-echo=1,4;bad-verdict=2;bad-end=5;bad-sum=1,2;"
        "read-error=4:-5,7:-116;write-error=2:-110;unplug=40;other=0a67:8E31;flash-fill=0xFFFF;"
        "stall=90;short-answer=3:2,8:5;empty-answer=6;alter-answer=9:1;partial-write=5:0,6:64",
        &error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->present);
    EXPECT_EQ(options->config.eraseTime, std::chrono::milliseconds(2500));
    EXPECT_EQ(options->config.initialFlashWord, 0xFFFF);
    EXPECT_THAT(options->others, ElementsAre(OtherDevice{0x0A67, 0x8E31}));
    const InstrumentFaults expected{.wrongHandshakes = 3,
                                    .badEchoes = {1, 4},
                                    .badVerdicts = {2},
                                    .wrongEndAnswers = {5},
                                    .wrongSums = {1, 2},
                                    .readErrors = {{4, -5}, {7, -116}},
                                    .writeErrors = {{2, -110}},
                                    .unplugAtTransfer = 40,
                                    .stallFromTransfer = 90,
                                    .shortAnswers = {{3, 2}, {6, 0}, {8, 5}},
                                    .alteredAnswers = {{9, 1}},
                                    .partialWrites = {{5, 0}, {6, 64}}};
    EXPECT_EQ(options->faults, expected);
    EXPECT_FALSE(ParseSimulatorOptions("absent")->present);
    EXPECT_TRUE(ParseSimulatorOptions("")->present);
}

TEST(SimulatorOptionsTest, UnreadableItemsAreRefusedByName) {
    for (const char* text : {"erase-ms=fast", "bad-echo=0", "read-error=3", "read-error=3:5",
                             "unplug", "absent=1", "colour=red", "other=0a67",
                             "bad-sum=", "stall=0", "short-answer=3", "partial-write=0:4"}) {
        std::string error;
        EXPECT_FALSE(ParseSimulatorOptions(std::string("erase-ms=1;") + text, &error)) << text;
        EXPECT_EQ(error, text);
    }
}

}  // namespace
}  // namespace harmoload::sim
