// The driver-pipe back end on the real Windows calls (under Wine): SetupAPI on the driver's
// class, and CreateFileW, ReadFile and WriteFile on named pipes that play the instrument's
// device and its two pipes, with the time limits and the handle lifetimes running for real.

#include "usb/win32/SystemDriverPipes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include "platform/testing/RecordingNotifier.h"
#include "tests/support/PipeInstrument.h"
#include "usb/DriverPipeIdentity.h"
#include "usb/InterfaceLocator.h"
#include "usb/ScriptedLibusb.h"
#include "usb/UsbLink.h"

namespace harmoload {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::PipeInstrument;
using Clock = std::chrono::steady_clock;

// Mend: 64-bit SetupAPI refuses the 32-bit program's record sizes; with this build's own, a
// class without interfaces ends at "no more items" instead of failing every index.
TEST(Win32DriverPipes, EnumeratesTheDriverClassWithThisBuildsRecordSizes) {
    Win32DriverPipes pipes;
    const DeviceSet set = pipes.classDevices(usb::kDriverInterfaceClass);
    ASSERT_NE(set, kNoDeviceSet);
    EXPECT_EQ(pipes.enumInterface(set, usb::kDriverInterfaceClass, 0), MemberLookup::NoMoreItems);
    pipes.destroySet(set);
    EXPECT_EQ(InterfaceLocator(pipes).count(), 0);
}

class PipeLink : public ::testing::Test {
  protected:
    explicit PipeLink(bool answers = true) : served(answers) {
        link.bindLibusb(library);  // no instrument there
        link.bindDriverPipes(locator);
        link.setClock(clock);
        link.setNotifier(&notifier);
        link.setConsole(console);
    }

    // One handshake: true when the instrument said it is ready.
    bool handshake() {
        const uint8_t frame[4] = {0x01, 0x0A, 0x4D, 0x02};
        uint8_t answer = 0;
        return link.write(frame, sizeof frame) == TransferStatus::Complete &&
               link.read(&answer, 1) == TransferStatus::Complete && answer == 0xF1;
    }

    PipeInstrument served;
    InterfaceLocator locator{served.table()};
    VirtualClock clock;
    testing::ScriptedLibusb library{clock};
    RecordingNotifier notifier;
    std::ostringstream console;
    UsbLink link;
};

TEST_F(PipeLink, OpensTheDeviceAndItsPipesAgainAfterEveryClose) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(link.open());
        EXPECT_EQ(link.mode(), LinkMode::DriverPipes);
        EXPECT_EQ(locator.keptPath(), served.devicePath());
        EXPECT_TRUE(handshake());
        link.close();
        EXPECT_FALSE(link.pipes().isOpen());
    }
    EXPECT_THAT(notifier.messages(), IsEmpty());
    EXPECT_EQ(served.instrument().chipTypes(), (std::vector<uint8_t>{2, 2, 2}));
}

class SilentPipeLink : public PipeLink {
  protected:
    SilentPipeLink() : PipeLink(false) {}
};

TEST_F(SilentPipeLink, ReadThatIsNeverAnsweredFailsAtItsLimit) {
    ASSERT_TRUE(link.open());
    const uint8_t frame[4] = {0x01, 0x0A, 0x4D, 0x02};
    EXPECT_EQ(link.write(frame, sizeof frame), TransferStatus::Complete);
    uint8_t answer = 0x55;
    const auto start = Clock::now();
    EXPECT_EQ(link.read(&answer, 1), TransferStatus::Failed);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, usb::kPipeReadLimit - std::chrono::milliseconds(50));
    EXPECT_LT(waited, usb::kPipeReadLimit + std::chrono::milliseconds(1500));
    EXPECT_EQ(answer, 0x55);
    EXPECT_THAT(notifier.texts(), ElementsAre("ReadFile API函数返回FALSE"));
    // The cancelled read leaves the pipes in use.
    EXPECT_EQ(link.write(frame, sizeof frame), TransferStatus::Complete);
}

// A pipe whose reader never takes anything: the write waits out its limit and fails with the
// time-out's code.
TEST(Win32DriverPipes, WriteThatIsNeverTakenFailsAtItsLimit) {
    const std::wstring name =
        L"\\\\.\\pipe\\harmoload-test-full-" + std::to_wstring(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                                     1, 0, 0, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    Win32DriverPipes pipes;
    const PipeHandle client =
        pipes.createFile(std::u16string(reinterpret_cast<const char16_t*>(name.c_str())));
    ASSERT_NE(client, kInvalidPipeHandle);
    const std::vector<uint8_t> bytes(256 * 1024, 0x88);
    const auto start = Clock::now();
    const PipeTransfer result =
        pipes.writeFile(client, bytes.data(), bytes.size(), std::chrono::milliseconds(300));
    const auto waited = Clock::now() - start;
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, kPipeTimeoutError);
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
    pipes.closeHandle(client);
    CloseHandle(server);
}

}  // namespace
}  // namespace harmoload
