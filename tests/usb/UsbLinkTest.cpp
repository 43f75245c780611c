#include "usb/UsbLink.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "platform/testing/RecordingNotifier.h"
#include "usb/PresenceCheck.h"
#include "usb/ScriptedLibusb.h"
#include "usb/TransferTrace.h"

namespace harmoload {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::ScriptedLibusb;

class UsbLinkTest : public ::testing::Test {
  protected:
    VirtualClock clock;
    ScriptedLibusb library{clock};
    RecordingNotifier notifier;
    std::ostringstream console;
    UsbLink link;

    UsbLinkTest() {
        link.bindLibusb(library);
        link.setClock(clock);
        link.setNotifier(&notifier);
        link.setConsole(console);
    }
    void plugInstrument() { library.busses = {{{"instrument", 0x0A67, 0x8E30}}}; }
};

TEST_F(UsbLinkTest, NewLinkHasModeNoneAndTransfersNothing) {
    uint8_t byte = 0;
    EXPECT_EQ(link.mode(), LinkMode::None);
    EXPECT_EQ(link.write(&byte, 1), TransferStatus::NotOpen);
    EXPECT_EQ(link.read(&byte, 1), TransferStatus::NotOpen);
    EXPECT_THAT(library.log, IsEmpty());
    EXPECT_THAT(notifier.messages(), IsEmpty());
}

TEST_F(UsbLinkTest, WithoutAnyInstrumentOpenFailsAndLaterTransfersAreSilent) {
    EXPECT_FALSE(link.open());
    EXPECT_EQ(link.mode(), LinkMode::None);
    library.log.clear();
    const uint8_t frame[4] = {0x09, 0x00, 0x00, 0x00};
    EXPECT_EQ(link.write(frame, sizeof frame), TransferStatus::NotOpen);
    uint8_t answer[4] = {};
    EXPECT_EQ(link.read(answer, sizeof answer), TransferStatus::NotOpen);
    EXPECT_THAT(library.log, IsEmpty());
    EXPECT_THAT(notifier.messages(), IsEmpty());
}

TEST_F(UsbLinkTest, OpenStartsTheLibraryAndChoosesLibusb) {
    plugInstrument();
    EXPECT_TRUE(link.open());
    EXPECT_EQ(link.mode(), LinkMode::Libusb);
    EXPECT_THAT(library.calls(),
                ElementsAre("init", "find_busses", "find_devices", "get_busses", "open instrument",
                            "set_configuration 1", "claim_interface 0"));
}

TEST_F(UsbLinkTest, OpenOnAnOpenLinkDoesNotTouchTheLibrary) {
    plugInstrument();
    ASSERT_TRUE(link.open());
    library.log.clear();
    EXPECT_TRUE(link.open());
    EXPECT_EQ(link.mode(), LinkMode::Libusb);
    EXPECT_THAT(library.log, IsEmpty());
}

TEST_F(UsbLinkTest, ReadAfterCloseReopensLibusbByItself) {
    plugInstrument();
    ASSERT_TRUE(link.open());
    link.close();
    EXPECT_EQ(link.mode(), LinkMode::Libusb);
    EXPECT_FALSE(link.libusb().isOpen());
    library.log.clear();
    library.reads.push_back({4, {0x09, 0x00, 0x00, 0x00}});

    uint8_t answer[4] = {};
    EXPECT_EQ(link.read(answer, sizeof answer), TransferStatus::Complete);
    EXPECT_THAT(library.calls(),
                ElementsAre("init", "find_busses", "find_devices", "get_busses", "open instrument",
                            "set_configuration 1", "claim_interface 0", "bulk_read 0x81 4 500ms"));
    EXPECT_EQ(answer[0], 0x09);
}

TEST_F(UsbLinkTest, FailedOpenAfterASuccessfulOneResetsTheMode) {
    plugInstrument();
    ASSERT_TRUE(link.open());
    link.close();
    library.busses.clear();  // unplugged
    EXPECT_FALSE(link.open());
    EXPECT_EQ(link.mode(), LinkMode::None);
    uint8_t byte = 0;
    EXPECT_EQ(link.read(&byte, 1), TransferStatus::NotOpen);
    EXPECT_THAT(notifier.messages(), IsEmpty());
}

TEST_F(UsbLinkTest, PresenceCheckOpensAndClosesAtOnce) {
    plugInstrument();
    EXPECT_TRUE(CheckDevicePresent(link));
    EXPECT_EQ(link.mode(), LinkMode::Libusb);
    EXPECT_FALSE(link.libusb().isOpen());
    EXPECT_EQ(library.calls().back(), "close");

    library.busses.clear();
    EXPECT_FALSE(CheckDevicePresent(link));
    EXPECT_EQ(link.mode(), LinkMode::None);
    EXPECT_THAT(notifier.messages(), IsEmpty());
}

TEST_F(UsbLinkTest, ThroughLibusbAFrameWithADroppedAnswerIsDoneWhateverItsTransfersReport) {
    plugInstrument();
    ASSERT_TRUE(link.open());
    library.writes.assign(7, -116);  // the write, its three retries and their fillers all fail
    library.log.clear();
    const uint8_t frame[7] = {0x02, 0x55, 0x05, 0x00, 0x00, 0xAA, 0x00};
    EXPECT_TRUE(link.sendDroppingAnswer(frame, sizeof frame, 7));
    EXPECT_THAT(library.writes, IsEmpty());
    EXPECT_EQ(library.calls().back(), "bulk_read 0x81 7 500ms");  // timed out, and not looked at
}

TEST_F(UsbLinkTest, ThroughLibusbADrainReadsItsCountOnce) {
    plugInstrument();
    ASSERT_TRUE(link.open());
    library.log.clear();
    link.drainPendingAnswers(64);
    EXPECT_THAT(library.calls(), ElementsAre("bulk_read 0x81 64 500ms"));
}

TEST_F(UsbLinkTest, TraceHasEveryTransferWithItsBytesAndTheOpensAndCloses) {
    std::ostringstream traceText;
    TraceWriter trace(traceText);
    link.setTrace(&trace);
    plugInstrument();
    library.reads.push_back({1, {0xF1}});
    ASSERT_TRUE(link.open());
    const uint8_t frame[4] = {0x01, 0x0A, 0x4D, 0x02};
    link.write(frame, sizeof frame);
    clock.advance(std::chrono::milliseconds(1250));
    uint8_t answer[2] = {};
    link.read(answer, sizeof answer);
    link.read(answer, 1);
    link.close();

    EXPECT_EQ(traceText.str(),
              "         0.000 open: libusb\n"
              "         0.000 OUT ep 0x02 len 4 result 4: 01 0a 4d 02\n"
              "         1.250 IN  ep 0x81 len 2 result 1: f1\n"
              "         1.250 IN  ep 0x81 len 1 result -116\n"
              "         1.250 close: libusb\n");
}

}  // namespace
}  // namespace harmoload
