#include "simusb/VirtualInstrument.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/testing/VirtualClock.h"
#include "sim/SimulatedInstrument.h"
#include "simusb/InstrumentReport.h"
#include "simusb/ListenPath.h"
#include "simusb/RedirServer.h"
#include "simusb/VirtualDescriptors.h"
#include "usb/InstrumentContract.h"

namespace harmoload::simusb {
namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

constexpr uint8_t kOut = 0x02;
constexpr uint8_t kIn = 0x81;
const Bytes kHandshake = usb::HandshakeFrame(2);

SetupPacket GetDescriptor(DescriptorType type, uint16_t length) {
    return {0x80, static_cast<uint8_t>(StandardRequest::GetDescriptor),
            static_cast<uint16_t>(static_cast<uint8_t>(type) << 8), 0, length};
}

SetupPacket EndpointRequest(uint8_t requestType, StandardRequest request, uint8_t endpoint,
                            uint16_t length) {
    return {requestType, static_cast<uint8_t>(request), kEndpointHaltFeature, endpoint, length};
}

class VirtualInstrumentTest : public ::testing::Test {
  protected:
    explicit VirtualInstrumentTest(sim::InstrumentFaults faults = {})
        : instrument_(clock_, {}, std::move(faults)), device_(instrument_) {}

    VirtualClock clock_;
    sim::SimulatedInstrument instrument_;
    VirtualInstrument device_;
};

TEST_F(VirtualInstrumentTest, DeviceDescriptorNamesTheInstrument) {
    const UsbReply reply = device_.control(GetDescriptor(DescriptorType::Device, 64), {});
    ASSERT_EQ(reply.status, UsbStatus::Success);
    ASSERT_EQ(reply.data.size(), 18u);
    EXPECT_EQ(reply.data[7], 64);  // control packet size
    EXPECT_THAT(Bytes(reply.data.begin() + 8, reply.data.begin() + 12),
                ElementsAre(0x67, 0x0A, 0x30, 0x8E));  // vendor 0a67, product 8e30
}

TEST_F(VirtualInstrumentTest, ConfigurationHasOneVendorInterfaceWithBothBulkEndpoints) {
    const UsbReply reply = device_.control(GetDescriptor(DescriptorType::Configuration, 255), {});
    ASSERT_EQ(reply.status, UsbStatus::Success);
    const Bytes& bytes = reply.data;
    ASSERT_EQ(bytes.size(), 32u);
    EXPECT_EQ(bytes[2] | bytes[3] << 8, 32);  // total length
    EXPECT_EQ(bytes[5], 1);                   // configuration value
    EXPECT_EQ(bytes[9 + 5], 0xFF);            // interface class
    EXPECT_THAT(Bytes(bytes.begin() + 18, bytes.begin() + 25),
                ElementsAre(7, 5, kOut, 2, 64, 0, 0));
    EXPECT_THAT(Bytes(bytes.begin() + 25, bytes.end()), ElementsAre(7, 5, kIn, 2, 64, 0, 0));
}

TEST_F(VirtualInstrumentTest, DescriptorIsCutToTheRequestedLength) {
    const UsbReply reply = device_.control(GetDescriptor(DescriptorType::Configuration, 9), {});
    EXPECT_EQ(reply.data.size(), 9u);
    EXPECT_EQ(reply.length, 9u);
}

TEST_F(VirtualInstrumentTest, WriteAnswerCarriesOnlyItsLength) {
    const UsbReply reply = device_.bulkOut(kOut, kHandshake);
    EXPECT_EQ(reply.status, UsbStatus::Success);
    EXPECT_EQ(reply.length, 4u);
    EXPECT_TRUE(reply.data.empty());
}

TEST_F(VirtualInstrumentTest, ReadReturnsTheAnswerOfTheFrameBefore) {
    device_.bulkOut(kOut, kHandshake);
    const auto reply = device_.bulkIn(1, kIn, 64);
    ASSERT_TRUE(reply.has_value());
    EXPECT_THAT(reply->data, ElementsAre(0xF1));
}

TEST_F(VirtualInstrumentTest, ReadWithNothingToSayIsHeldUntilTheHostGivesItUp) {
    EXPECT_FALSE(device_.bulkIn(7, kIn, 64).has_value());
    EXPECT_FALSE(device_.cancel(8).has_value());
    EXPECT_EQ(device_.cancel(7), kIn);
    EXPECT_FALSE(device_.cancel(7).has_value());
    EXPECT_EQ(clock_.slept().count(), 0);  // nothing waits on the device's side
}

TEST_F(VirtualInstrumentTest, HeldReadIsAnsweredOnceAWriteGivesItSomethingToSay) {
    ASSERT_FALSE(device_.bulkIn(7, kIn, 64).has_value());
    EXPECT_FALSE(device_.answerHeldRead().has_value());
    device_.bulkOut(kOut, kHandshake);
    const auto answered = device_.answerHeldRead();
    ASSERT_TRUE(answered.has_value());
    EXPECT_EQ(answered->first, 7u);
    EXPECT_THAT(answered->second.data, ElementsAre(0xF1));
}

class FailingInstrumentTest : public VirtualInstrumentTest {
  protected:
    FailingInstrumentTest() : VirtualInstrumentTest(Faults()) {}
    static sim::InstrumentFaults Faults() {
        sim::InstrumentFaults faults;
        faults.readErrors = {{1, -32}};
        return faults;
    }
};

TEST_F(FailingInstrumentTest, FailedReadHaltsTheEndpointUntilTheHostClearsIt) {
    device_.bulkOut(kOut, kHandshake);
    EXPECT_EQ(device_.bulkIn(1, kIn, 64)->status, UsbStatus::Stall);
    EXPECT_EQ(device_.faultHalts(), 1);
    // Halted: the next read stalls without reaching the instrument.
    EXPECT_EQ(device_.bulkIn(2, kIn, 64)->status, UsbStatus::Stall);
    EXPECT_EQ(instrument_.reads(), 1);
    const UsbReply status =
        device_.control(EndpointRequest(0x82, StandardRequest::GetStatus, kIn, 2), {});
    EXPECT_THAT(status.data, ElementsAre(1, 0));

    device_.control(EndpointRequest(0x02, StandardRequest::ClearFeature, kIn, 0), {});
    EXPECT_FALSE(device_.halted(kIn));
    // The answer the failed read missed is still there.
    EXPECT_THAT(device_.bulkIn(3, kIn, 64)->data, ElementsAre(0xF1));
}

TEST_F(FailingInstrumentTest, ConfiguringAgainClearsHalts) {
    device_.bulkIn(1, kIn, 64);
    ASSERT_TRUE(device_.halted(kIn));
    EXPECT_TRUE(device_.setConfiguration(1));
    EXPECT_FALSE(device_.halted(kIn));
    EXPECT_FALSE(device_.setConfiguration(2));
    EXPECT_EQ(device_.configuration(), 1);
}

class TimingOutInstrumentTest : public VirtualInstrumentTest {
  protected:
    TimingOutInstrumentTest() : VirtualInstrumentTest(Faults()) {}
    static sim::InstrumentFaults Faults() {
        sim::InstrumentFaults faults;
        faults.readErrors = {{1, sim::kTimedOut}};
        return faults;
    }
};

TEST_F(TimingOutInstrumentTest, ReadToldToTimeOutIsHeldNotStalled) {
    device_.bulkOut(kOut, kHandshake);
    EXPECT_FALSE(device_.bulkIn(1, kIn, 64).has_value());
    EXPECT_EQ(instrument_.reads(), 1);  // the fault was committed
    EXPECT_EQ(device_.faultHalts(), 0);
    EXPECT_EQ(device_.cancel(1), kIn);
}

class UnpluggedInstrumentTest : public VirtualInstrumentTest {
  protected:
    UnpluggedInstrumentTest() : VirtualInstrumentTest(Faults()) {}
    static sim::InstrumentFaults Faults() {
        sim::InstrumentFaults faults;
        faults.unplugAtTransfer = 2;
        return faults;
    }
};

TEST_F(UnpluggedInstrumentTest, EveryRequestFindsTheInstrumentGoneFromTheUnplugOn) {
    EXPECT_EQ(device_.bulkOut(kOut, kHandshake).status, UsbStatus::Success);
    EXPECT_EQ(device_.bulkIn(1, kIn, 64)->status, UsbStatus::Gone);
    EXPECT_FALSE(device_.plugged());
    EXPECT_EQ(device_.bulkOut(kOut, kHandshake).status, UsbStatus::Gone);
    EXPECT_EQ(device_.control(GetDescriptor(DescriptorType::Device, 18), {}).status,
              UsbStatus::Gone);
    EXPECT_EQ(device_.faultHalts(), 0);
}

TEST_F(VirtualInstrumentTest, WhatAPeerSendsIsBoundedNotStoredWithoutLimit) {
    device_.bulkOut(kOut, kHandshake);
    // An IN transfer longer than any answer is refused; the answer waits for a proper read.
    EXPECT_EQ(device_.bulkIn(1, kIn, kMaxInTransferBytes + 1)->status, UsbStatus::Stall);
    EXPECT_THAT(device_.bulkIn(2, kIn, 64)->data, ElementsAre(0xF1));
    // A sum over the whole 32-bit range is summed over the flash alone, and noted.
    Bytes sum = usb::SumRequestFrame(0, 0xFFFFFFFF, usb::kFlashSumRequestBytes);
    device_.bulkOut(kOut, sum);
    EXPECT_EQ(device_.bulkIn(3, kIn, 64)->data.size(), usb::kSumAnswerBytes);
    EXPECT_EQ(instrument_.errors().size(), 1u);
    // A stream of frames that is never read: the records and the answer queue stop growing.
    const Bytes cycle = {0x02, 0x55, 0x05, 0x00, 0x00, 0xF0, 0x00};  // a bus cycle: reset
    for (size_t i = 0; i < sim::kRecordedLimit + 10; ++i) {
        device_.bulkOut(kOut, cycle);
    }
    EXPECT_EQ(instrument_.commands().size(), sim::kRecordedLimit);
    EXPECT_EQ(instrument_.busCycles().size(), sim::kRecordedLimit);
    for (size_t i = 0; i < sim::kPendingAnswersLimit; ++i) {
        ASSERT_TRUE(device_.bulkIn(4, kIn, 64).has_value()) << i;
    }
    EXPECT_FALSE(device_.bulkIn(5, kIn, 64).has_value());  // nothing more was queued
    EXPECT_GT(instrument_.unrecorded(), 0);
}

TEST(ListenPathTest, OnlyASocketLeftThereIsRemoved) {
    const std::string folder = ::testing::TempDir() + "listen-path-test";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/instrument.sock";
    std::filesystem::remove(path);
    std::string error;
    EXPECT_TRUE(ClearStaleSocket(path, error)) << error;
    std::ofstream(path) << "precious";
    EXPECT_FALSE(ClearStaleSocket(path, error));
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << error;
    std::filesystem::remove(path);
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un local{};
    local.sun_family = AF_UNIX;
    std::snprintf(local.sun_path, sizeof local.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    close(listener);
    EXPECT_TRUE(ClearStaleSocket(path, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(path));
    std::filesystem::remove_all(folder);
}

TEST(ListenAddressTest, PathPortAndHostPort) {
    ListenAddress address;
    ASSERT_TRUE(ParseListenAddress("/tmp/instrument.sock", address));
    EXPECT_EQ(address.path, "/tmp/instrument.sock");
    ASSERT_TRUE(ParseListenAddress("4000", address));
    EXPECT_EQ(address.host, "127.0.0.1");
    EXPECT_EQ(address.port, 4000);
    ASSERT_TRUE(ParseListenAddress("0.0.0.0:4001", address));
    EXPECT_EQ(address.host, "0.0.0.0");
    EXPECT_EQ(address.port, 4001);
    for (const char* bad : {"", "socket", "70000", "0", ":4000", "4000x"}) {
        EXPECT_FALSE(ParseListenAddress(bad, address)) << bad;
    }
}

TEST(MemoryDumpTest, StartLengthAndFile) {
    const auto dump = ParseMemoryDump(MemoryKind::Flash, "0x100000:16000:/tmp/a:b.bin");
    ASSERT_TRUE(dump.has_value());
    EXPECT_EQ(dump->start, 0x100000u);
    EXPECT_EQ(dump->length, 16000u);
    EXPECT_EQ(dump->path, "/tmp/a:b.bin");
    for (const char* bad : {"0x10:16", "0x:16:f", "1:2:", "x:2:f", "1:-2:f"}) {
        EXPECT_FALSE(ParseMemoryDump(MemoryKind::Target, bad).has_value()) << bad;
    }
}

}  // namespace
}  // namespace harmoload::simusb
