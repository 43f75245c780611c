#include "usb/LibusbDevice.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "platform/testing/RecordingNotifier.h"
#include "usb/LibusbIdentity.h"
#include "usb/LinkPolicy.h"
#include "usb/ScriptedLibusb.h"

namespace harmoload {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::ScriptedLibusb;

class LibusbDeviceTest : public ::testing::Test {
  protected:
    VirtualClock clock;
    ScriptedLibusb library{clock};
    RecordingNotifier notifier;
    std::ostringstream console;
    LibusbDevice device;

    LibusbDeviceTest() {
        device.bind(library);
        device.setClock(clock);
        device.setNotifier(&notifier);
        device.setConsole(console);
    }

    void plugInstrument() { library.busses = {{{"instrument", 0x0A67, 0x8E30}}}; }
    void openInstrument() {
        plugInstrument();
        ASSERT_TRUE(device.open());
        library.log.clear();
        library.written.clear();
    }
};

TEST_F(LibusbDeviceTest, FirstInstrumentInBusThenDeviceOrderIsTheOneOpened) {
    library.busses = {{{"keyboard", 0x046D, 0xC31C}, {"other-maker", 0x1234, 0x8E30}},
                      {{"first", 0x0A67, 0x8E30}, {"second", 0x0A67, 0x8E30}},
                      {{"third", 0x0A67, 0x8E30}}};
    ASSERT_TRUE(device.open());
    EXPECT_THAT(library.calls(), ElementsAre("get_busses", "open first", "set_configuration 1",
                                             "claim_interface 0"));
    EXPECT_TRUE(device.isOpen());
}

TEST_F(LibusbDeviceTest, AnotherProductOfTheMakerIsNeverOpened) {
    library.busses = {{{"decoy", 0x0A67, 0x8E31}, {"pipes-id", 0x0A67, 0x8E00}}};
    EXPECT_FALSE(device.open());
    EXPECT_THAT(library.calls(), ElementsAre("get_busses"));
}

TEST_F(LibusbDeviceTest, OnlyTheFirstMatchIsTriedEvenWhenItCannotBeOpened) {
    library.busses = {{{"stuck", 0x0A67, 0x8E30, false}, {"fine", 0x0A67, 0x8E30}}};
    EXPECT_FALSE(device.open());
    EXPECT_THAT(library.calls(), ElementsAre("get_busses", "open stuck"));
}

TEST_F(LibusbDeviceTest, RefusedClaimClosesTheHandleAndLeavesTheDeviceClosed) {
    plugInstrument();
    library.claimResult = -16;
    EXPECT_FALSE(device.open());
    EXPECT_FALSE(device.isOpen());
    EXPECT_EQ(device.handle(), nullptr);
    EXPECT_THAT(library.calls(), ElementsAre("get_busses", "open instrument", "set_configuration 1",
                                             "claim_interface 0", "close"));
}

TEST_F(LibusbDeviceTest, RefusedConfigurationClosesWithoutClaiming) {
    plugInstrument();
    library.setConfigurationResult = -22;
    EXPECT_FALSE(device.open());
    EXPECT_THAT(library.calls(),
                ElementsAre("get_busses", "open instrument", "set_configuration 1", "close"));
}

// A device node the user may not write, as libusb 0.1 reports it: no handle and errno EACCES
// when the node cannot be opened at all; opened read-only, then -EPERM (-EACCES through
// libusb-compat) from the configuration or the claim.
TEST_F(LibusbDeviceTest, PermissionErrorsAreToldApartFromOtherRefusals) {
    library.busses = {{{"read-only", 0x0A67, 0x8E30, false, usb::kErrnoAccessDenied}}};
    EXPECT_FALSE(device.open());
    EXPECT_EQ(device.openFailure(), LibusbOpenFailure::AccessDenied);

    plugInstrument();
    for (const int refusal : {-usb::kErrnoNotPermitted, -usb::kErrnoAccessDenied}) {
        library.setConfigurationResult = refusal;
        EXPECT_FALSE(device.open());
        EXPECT_EQ(device.openFailure(), LibusbOpenFailure::AccessDenied) << refusal;
        library.setConfigurationResult = 0;
        library.claimResult = refusal;
        EXPECT_FALSE(device.open());
        EXPECT_EQ(device.openFailure(), LibusbOpenFailure::AccessDenied) << refusal;
        library.claimResult = 0;
    }

    library.claimResult = -16;  // -EBUSY: another program holds the interface
    EXPECT_FALSE(device.open());
    EXPECT_EQ(device.openFailure(), LibusbOpenFailure::Refused);
    library.busses = {};
    EXPECT_FALSE(device.open());
    EXPECT_EQ(device.openFailure(), LibusbOpenFailure::NoInstrument);
    plugInstrument();
    library.claimResult = 0;
    EXPECT_TRUE(device.open());
    EXPECT_EQ(device.openFailure(), LibusbOpenFailure::None);
}

TEST_F(LibusbDeviceTest, ReadOfNothingIsCompleteAndLeavesTheBufferAsItWas) {
    openInstrument();
    library.reads.push_back({0, {}});
    std::vector<uint8_t> buffer(12, 0x5A);
    EXPECT_EQ(device.read(buffer.data(), buffer.size()), TransferStatus::Complete);
    EXPECT_EQ(buffer, std::vector<uint8_t>(12, 0x5A));
    EXPECT_EQ(device.lastReadBytes(), 0u);
    EXPECT_THAT(library.calls(), ElementsAre("bulk_read 0x81 12 500ms"));
}

TEST_F(LibusbDeviceTest, ReadFailingWithIoErrorRunsTheRecoveryTransferByTransfer) {
    openInstrument();
    library.reads.push_back({-5, {}});
    library.reads.push_back({12, std::vector<uint8_t>(12, 0x07)});  // a stale answer, dropped
    std::vector<uint8_t> buffer(4, 0x11);

    EXPECT_EQ(device.read(buffer.data(), buffer.size()), TransferStatus::Failed);

    EXPECT_THAT(library.log,
                ElementsAre("@0 bulk_read 0x81 4 500ms", "@0 clear_halt 0x81",
                            "@10 bulk_read 0x81 64 500ms", "@10 bulk_write 0x02 64 500ms",
                            "@10 bulk_read 0x81 64 500ms"));
    ASSERT_EQ(library.written.size(), 1u);
    EXPECT_EQ(library.written[0], std::vector<uint8_t>(64, 0x88));
    EXPECT_EQ(buffer, std::vector<uint8_t>(4, 0x11));
    EXPECT_THAT(notifier.messages(), IsEmpty());
    EXPECT_TRUE(console.str().empty());
}

TEST_F(LibusbDeviceTest, ReadFailingOtherwiseHasNoRecovery) {
    for (int code : {-116, -110, -22, -1}) {
        openInstrument();
        library.reads.push_back({code, {}});
        uint8_t byte = 0;
        EXPECT_EQ(device.read(&byte, 1), TransferStatus::Failed) << code;
        EXPECT_THAT(library.calls(), ElementsAre("bulk_read 0x81 1 500ms")) << code;
        device.close();
    }
}

TEST_F(LibusbDeviceTest, FailedWriteIsReportedRecoveredAndSentAgain) {
    openInstrument();
    library.writes = {-116};
    const std::vector<uint8_t> frame = {0x01, 0x0A, 0x4D, 0x02};

    EXPECT_EQ(device.write(frame.data(), frame.size()), TransferStatus::Complete);

    EXPECT_THAT(library.log,
                ElementsAre("@0 bulk_write 0x02 4 5000ms", "@0 clear_halt 0x02",
                            "@10 bulk_write 0x02 64 500ms", "@10 bulk_write 0x02 4 5000ms"));
    ASSERT_EQ(library.written.size(), 3u);
    EXPECT_EQ(library.written[1], std::vector<uint8_t>(64, 0x88));
    EXPECT_EQ(library.written[2], frame);
    EXPECT_EQ(console.str(), "error writing:\nusb_bulk_write: timeout\n");
}

TEST_F(LibusbDeviceTest, WriteThatMovesFewerBytesThanAskedIsRecoveredAndSentAgain) {
    openInstrument();
    library.writes = {0, 64};  // a stalled transfer: libusb 0.1 reports the bytes it moved
    const std::vector<uint8_t> frame(100, 0x5A);

    EXPECT_EQ(device.write(frame.data(), frame.size()), TransferStatus::Complete);

    EXPECT_THAT(library.calls(),
                ElementsAre("bulk_write 0x02 100 5000ms", "clear_halt 0x02",
                            "bulk_write 0x02 64 500ms", "bulk_write 0x02 100 5000ms"));
    EXPECT_EQ(library.written.back(), frame);
    EXPECT_EQ(console.str(), "error writing:\nonly 0 of 100 bytes written\n");
}

TEST_F(LibusbDeviceTest, WriteThatKeepsFailingGivesUpAfterTheRetryLimit) {
    openInstrument();
    library.writes = std::deque<int>(100, -5);
    const uint8_t frame[4] = {0x09, 0x00, 0x00, 0x00};

    EXPECT_EQ(device.write(frame, sizeof frame), TransferStatus::Failed);

    int frameWrites = 0;
    int fillers = 0;
    for (const std::vector<uint8_t>& bytes : library.written) {
        frameWrites += bytes.size() == 4 ? 1 : 0;
        fillers += bytes == std::vector<uint8_t>(64, 0x88) ? 1 : 0;
    }
    EXPECT_EQ(frameWrites, usb::kWriteRetryLimit + 1);
    EXPECT_EQ(fillers, usb::kWriteRetryLimit);
    std::string expectedLines;
    for (int i = 0; i <= usb::kWriteRetryLimit; ++i) {
        expectedLines += "error writing:\nusb_bulk_write: timeout\n";
    }
    EXPECT_EQ(console.str(), expectedLines);
}

TEST_F(LibusbDeviceTest, ReadOnAClosedDeviceOpensItFirst) {
    plugInstrument();
    library.reads.push_back({1, {0xF1}});
    uint8_t answer = 0;
    EXPECT_EQ(device.read(&answer, 1), TransferStatus::Complete);
    EXPECT_EQ(answer, 0xF1);
    EXPECT_THAT(library.calls(),
                ElementsAre("init", "find_busses", "find_devices", "get_busses", "open instrument",
                            "set_configuration 1", "claim_interface 0", "bulk_read 0x81 1 500ms"));
}

TEST_F(LibusbDeviceTest, ReadWithoutAnInstrumentSaysSoWriteDoesNot) {
    uint8_t byte = 0;
    EXPECT_EQ(device.read(&byte, 1), TransferStatus::NotOpen);
    EXPECT_THAT(notifier.messages(),
                ElementsAre(Message{kApplicationTitle, "Open USB device failed", MessageButtons::Ok,
                                    MessageIcon::None}));
    notifier.clear();
    EXPECT_EQ(device.write(&byte, 1), TransferStatus::NotOpen);
    EXPECT_THAT(notifier.messages(), IsEmpty());
    EXPECT_TRUE(console.str().empty());
}

TEST_F(LibusbDeviceTest, CloseReleasesTheInterfaceOnce) {
    openInstrument();
    device.close();
    device.close();
    EXPECT_THAT(library.calls(), ElementsAre("release_interface 0", "close"));
    EXPECT_FALSE(device.isOpen());
}

}  // namespace
}  // namespace harmoload
