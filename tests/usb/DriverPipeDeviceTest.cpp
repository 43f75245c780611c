// The driver-pipe back end through a scripted table: discovery, the open with its pipe
// messages, transfers and their messages, handle lifetimes, and its place behind UsbLink.

#include "usb/DriverPipeDevice.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <sstream>
#include <thread>

#include "platform/testing/RecordingNotifier.h"
#include "usb/InterfaceLocator.h"
#include "usb/ScriptedDriverPipes.h"
#include "usb/ScriptedLibusb.h"
#include "usb/TransferTrace.h"
#include "usb/UsbLink.h"

namespace harmoload {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using testing::ScriptedDriverPipes;
using testing::ScriptedLibusb;

const std::string kInstrument = R"(\\?\usb#vid_0a67&pid_8e00#5&1a2b&0&1#{37538c66-9584-42d3})";
const std::string kSecond = R"(\\?\usb#vid_0a67&pid_8e00#5&1a2b&0&2#{37538c66-9584-42d3})";
const std::string kOther = R"(\\?\usb#vid_0a67&pid_8e30#5&1a2b&0&3#{37538c66-9584-42d3})";

const std::string kWritePipeMessage =
    "Error opening Write device: PIPE01\n\nApplication is aborting.\nReset hardware and try "
    "again.";

class DriverPipes : public ::testing::Test {
  protected:
    DriverPipes() {
        device.bind(locator);
        device.setNotifier(&notifier);
        link.bindLibusb(library);
        link.bindDriverPipes(locator);
        link.setClock(clock);
        link.setNotifier(&notifier);
        link.setConsole(console);
    }

    // Paths the table was asked to open, in order.
    std::vector<std::string> opened() const {
        std::vector<std::string> paths;
        for (const std::string& call : pipes.log) {
            if (call.starts_with("create ")) {
                paths.push_back(call.substr(7));
            }
        }
        return paths;
    }

    ScriptedDriverPipes pipes;
    InterfaceLocator locator{pipes};
    RecordingNotifier notifier;
    DriverPipeDevice device;
    VirtualClock clock;
    ScriptedLibusb library{clock};
    std::ostringstream console;
    UsbLink link;
};

// ---- Discovery --------------------------------------------------------------------------------

TEST_F(DriverPipes, TwoInstrumentsAreBothFoundAndTheLinkOpensTheFirst) {
    pipes.members = {{kOther}, {kInstrument}, {kSecond}};
    EXPECT_TRUE(link.open());
    EXPECT_EQ(link.mode(), LinkMode::DriverPipes);
    EXPECT_THAT(link.pipes().found(), ElementsAre(1u, 2u));
    EXPECT_THAT(opened(),
                ElementsAre(kInstrument, kInstrument + "\\PIPE01", kInstrument + "\\PIPE00"));
    EXPECT_THAT(notifier.messages(), IsEmpty());
}

TEST_F(DriverPipes, PathMatchesInAnyLetterCase) {
    std::string upper = kInstrument;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    pipes.members = {{upper}, {R"(\\?\usb#vid_0a67&Pid_8E00#9)"}};
    device.reinitialise();
    EXPECT_THAT(device.found(), ElementsAre(0u, 1u));
}

TEST_F(DriverPipes, InterfaceOfTheClassWithoutTheMarkIsNeverOpened) {
    pipes.members = {{kOther}, {""}};
    EXPECT_FALSE(link.open());
    EXPECT_EQ(link.mode(), LinkMode::None);
    EXPECT_THAT(link.pipes().found(), IsEmpty());
    EXPECT_THAT(opened(), IsEmpty());
}

TEST_F(DriverPipes, CountStopsAtNoMoreItemsAndSkipsMembersThatFail) {
    pipes.members = {{kInstrument}, {kSecond, false}, {kSecond}};
    EXPECT_EQ(locator.count(), 2);
    EXPECT_THAT(pipes.log, Contains("enum 3"));
    EXPECT_THAT(pipes.log, Not(Contains("enum 4")));
    // Every use of a set destroys it.
    EXPECT_EQ(std::count(pipes.log.begin(), pipes.log.end(), "class_devices"),
              std::count(pipes.log.begin(), pipes.log.end(), "destroy"));

    pipes.classSetFails = true;
    EXPECT_EQ(locator.count(), 0);
    EXPECT_EQ(locator.devicePath(0), "");
}

// ---- Open ---------------------------------------------------------------------------------------

TEST_F(DriverPipes, WritePipeFailureShowsItsMessageStillOpensTheReadPipeAndFails) {
    pipes.members = {{kInstrument}};
    pipes.refused = {kInstrument + "\\PIPE01"};
    device.reinitialise();
    EXPECT_FALSE(device.open(0));
    EXPECT_THAT(opened(),
                ElementsAre(kInstrument, kInstrument + "\\PIPE01", kInstrument + "\\PIPE00"));
    ASSERT_EQ(notifier.messages().size(), 1u);
    EXPECT_EQ(notifier.messages()[0],
              (Message{"Harmoload", kWritePipeMessage, MessageButtons::Ok, MessageIcon::Warning}));

    // A write opens again, shows the pipe message again and fails silently itself.
    uint8_t frame[4] = {0x01, 0x0A, 0x4D, 0x02};
    EXPECT_EQ(device.write(frame, sizeof frame), TransferStatus::NotOpen);
    EXPECT_THAT(notifier.texts(), ElementsAre(kWritePipeMessage, kWritePipeMessage));
    // A read does the same, then says the device did not open.
    EXPECT_EQ(device.read(frame, 1), TransferStatus::NotOpen);
    EXPECT_THAT(notifier.texts(), ElementsAre(kWritePipeMessage, kWritePipeMessage,
                                              kWritePipeMessage, "Open USB failure!"));
    EXPECT_EQ(pipes.written.size(), 0u);
}

TEST_F(DriverPipes, ReadPipeFailureShowsItsMessage) {
    pipes.members = {{kInstrument}};
    pipes.refused = {kInstrument + "\\PIPE00"};
    device.reinitialise();
    EXPECT_FALSE(device.open(0));
    EXPECT_THAT(notifier.messages(),
                ElementsAre(Message{"Harmoload",
                                    "Error opening Read device: PIPE00\n\nApplication is "
                                    "aborting.\nReset hardware and try again.",
                                    MessageButtons::Ok, MessageIcon::Warning}));
}

TEST_F(DriverPipes, DevicePathThatDoesNotOpenTriesNoPipe) {
    pipes.members = {{kInstrument}};
    pipes.refused = {kInstrument};
    EXPECT_FALSE(link.open());
    EXPECT_THAT(opened(), ElementsAre(kInstrument));
    EXPECT_THAT(notifier.messages(), IsEmpty());
}

// Mend: the path is kept whole, so a device path longer than 255 characters opens whole.
TEST_F(DriverPipes, LongDevicePathOpensWhole) {
    const std::string path = kInstrument + std::string(300, 'x');
    pipes.members = {{path}};
    EXPECT_TRUE(link.open());
    EXPECT_THAT(opened(), ElementsAre(path, path + "\\PIPE01", path + "\\PIPE00"));
}

TEST_F(DriverPipes, OpenAndCloseCyclesLeaveNoHandleAndDoNotGrowTheFoundList) {
    pipes.members = {{kInstrument}};
    for (int cycle = 0; cycle < 3; ++cycle) {
        ASSERT_TRUE(link.open());
        EXPECT_EQ(pipes.openHandles(), 3u);
        link.close();
        EXPECT_EQ(pipes.openHandles(), 0u);
        EXPECT_THAT(link.pipes().found(), ElementsAre(0u));
    }
    {
        DriverPipeDevice scoped;
        scoped.bind(locator);
        scoped.reinitialise();
        ASSERT_TRUE(scoped.open(0));
        EXPECT_EQ(pipes.openHandles(), 3u);
    }
    EXPECT_EQ(pipes.openHandles(), 0u);
}

// Mend: both engines' links keep their device path in the one locator; while one link opens
// its device and pipes, the other cannot put its path in place.
TEST_F(DriverPipes, AnotherLinkCannotReplaceThePathWhileOneOpens) {
    pipes.members = {{kInstrument}};
    DriverPipeDevice other;
    other.bind(locator);
    other.reinitialise();
    device.reinitialise();

    std::atomic<bool> otherOpened{false};
    std::thread otherThread;
    pipes.beforeOpen = [&](const std::string& path) {
        if (path == kSecond) {
            otherOpened = true;
        }
        if (path != kInstrument) {
            return;
        }
        // The instrument is replaced by another at member 0 and the other link opens it now.
        pipes.members = {{kSecond}};
        otherThread = std::thread([&] { other.open(0); });
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        while (!otherOpened && std::chrono::steady_clock::now() < end) {
            std::this_thread::yield();
        }
    };
    EXPECT_TRUE(device.open(0));
    otherThread.join();
    EXPECT_THAT(opened(),
                ElementsAre(kInstrument, kInstrument + "\\PIPE01", kInstrument + "\\PIPE00",
                            kSecond, kSecond + "\\PIPE01", kSecond + "\\PIPE00"));
}

// ---- Transfers --------------------------------------------------------------------------------

TEST_F(DriverPipes, TransfersGoThroughTheirPipesWithTimeLimits) {
    pipes.members = {{kInstrument}};
    ASSERT_TRUE(link.open());
    pipes.log.clear();
    const uint8_t frame[4] = {0x01, 0x0A, 0x4D, 0x02};
    pipes.reads.push_back({true, {0xF1}});
    EXPECT_EQ(link.write(frame, sizeof frame), TransferStatus::Complete);
    uint8_t answer = 0;
    EXPECT_EQ(link.read(&answer, 1), TransferStatus::Complete);
    EXPECT_EQ(answer, 0xF1);
    EXPECT_THAT(pipes.log, ElementsAre("write " + kInstrument + "\\PIPE01 4 5000ms",
                                       "read " + kInstrument + "\\PIPE00 1 500ms"));
    EXPECT_THAT(notifier.messages(), IsEmpty());
}

TEST_F(DriverPipes, ReadOfTwelveThatDeliversElevenIsShortWithItsMessage) {
    pipes.members = {{kInstrument}};
    ASSERT_TRUE(link.open());
    pipes.reads.push_back({true, std::vector<uint8_t>(11, 0x07)});
    uint8_t answer[12] = {};
    EXPECT_EQ(link.read(answer, sizeof answer), TransferStatus::Short);
    EXPECT_THAT(notifier.texts(), ElementsAre("ReadFile API读到的长度与要读到的长度不等"));
}

TEST_F(DriverPipes, FailedTransfersShowTheirMessagesAndAShortWriteIsQuiet) {
    pipes.members = {{kInstrument}};
    ASSERT_TRUE(link.open());
    uint8_t bytes[4] = {};
    // A read whose limit passed, then a write that failed the same way.
    EXPECT_EQ(link.read(bytes, 4), TransferStatus::Failed);
    pipes.writes.push_back({false, {}, kPipeTimeoutError});
    EXPECT_EQ(link.write(bytes, 4), TransferStatus::Failed);
    pipes.writes.push_back({true, {}, 0, 3});
    EXPECT_EQ(link.write(bytes, 4), TransferStatus::Short);
    EXPECT_THAT(notifier.texts(), ElementsAre("ReadFile API函数返回FALSE",
                                              "系统API：WriteFile失败 GetLastError返回错误：5b4"));
}

TEST_F(DriverPipes, WriteAfterCloseReopensTheDriverPipes) {
    pipes.members = {{kInstrument}};
    ASSERT_TRUE(link.open());
    link.close();
    EXPECT_EQ(link.mode(), LinkMode::DriverPipes);
    const uint8_t frame[1] = {0x09};
    EXPECT_EQ(link.write(frame, 1), TransferStatus::Complete);
    EXPECT_EQ(pipes.openHandles(), 3u);
}

TEST_F(DriverPipes, TraceHasPipeTransfersLikeLibusbOnes) {
    std::ostringstream traceText;
    TraceWriter trace(traceText);
    link.setTrace(&trace);
    pipes.members = {{kInstrument}};
    ASSERT_TRUE(link.open());
    const uint8_t frame[4] = {0x01, 0x0A, 0x4D, 0x02};
    link.write(frame, sizeof frame);
    clock.advance(std::chrono::milliseconds(50));
    pipes.reads.push_back({true, {0xF1}});
    uint8_t answer[2] = {};
    link.read(answer, 1);
    link.read(answer, 2);
    link.close();
    EXPECT_EQ(traceText.str(),
              "         0.000 open: driver-pipes\n"
              "         0.000 OUT pipe PIPE01 len 4 result 4: 01 0a 4d 02\n"
              "         0.050 IN  pipe PIPE00 len 1 result 1: f1\n"
              "         0.050 IN  pipe PIPE00 len 2 result -1460\n"
              "         0.050 close: driver-pipes\n");
}

// ---- Behind UsbLink -----------------------------------------------------------------------------

TEST_F(DriverPipes, LibusbIsPreferredWhenBothFindAnInstrument) {
    library.busses = {{{"instrument", 0x0A67, 0x8E30}}};
    pipes.members = {{kInstrument}};
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(link.open());
        EXPECT_EQ(link.mode(), LinkMode::Libusb);
        link.close();
    }
    EXPECT_THAT(opened(), IsEmpty());
}

}  // namespace
}  // namespace harmoload
