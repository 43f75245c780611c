#pragma once
// A libusb table that plays back scripted results and logs every call, with the time on the
// test's clock, so that a test can pin the back end's calls transfer by transfer.

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "platform/testing/VirtualClock.h"
#include "usb/LibusbApi.h"

namespace harmoload::testing {

class ScriptedLibusb final : public LibusbApi {
  public:
    static constexpr int kTimedOut = -116;

    struct Device {
        std::string name;
        uint16_t vendorId = 0;
        uint16_t productId = 0;
        bool opens = true;
        int openErrno = 0;  // errno left by a refused open
    };
    struct ReadResult {
        int result = kTimedOut;
        std::vector<uint8_t> bytes;
    };

    explicit ScriptedLibusb(VirtualClock& clock) : clock_(clock) {}

    // The bus list: busses in order, each with its devices in order. Pointers stay valid.
    std::vector<std::deque<Device>> busses;
    // Results of the next bulk reads and writes; past the script a read gives pastScript (it
    // times out unless told otherwise) and a write moves all its bytes.
    std::deque<ReadResult> reads;
    ReadResult pastScript;
    // How long each bulk read takes on the clock.
    std::chrono::milliseconds readDelay{0};
    std::deque<int> writes;
    int setConfigurationResult = 0;
    int claimResult = 0;
    std::string errorText = "usb_bulk_write: timeout";

    std::vector<std::string> log;
    std::vector<std::vector<uint8_t>> written;  // bytes of every bulk write, in order

    void init() override { note("init"); }
    int findBusses() override {
        note("find_busses");
        return 0;
    }
    int findDevices() override {
        note("find_devices");
        return 0;
    }
    LibusbBusList getBusses() override {
        note("get_busses");
        LibusbBusList list;
        for (std::deque<Device>& bus : busses) {
            std::vector<LibusbDeviceEntry>& entries = list.emplace_back();
            for (Device& device : bus) {
                entries.push_back({device.vendorId, device.productId, &device, "001", device.name});
            }
        }
        return list;
    }
    LibusbHandle open(LibusbDeviceRef device) override {
        Device* opened = static_cast<Device*>(device);
        note("open " + opened->name);
        lastOpenErrno_ = opened->opens ? 0 : opened->openErrno;
        return opened->opens ? static_cast<LibusbHandle>(&handle_) : nullptr;
    }
    int openErrno() const override { return lastOpenErrno_; }
    int setConfiguration(LibusbHandle, int configuration) override {
        note("set_configuration " + std::to_string(configuration));
        return setConfigurationResult;
    }
    int claimInterface(LibusbHandle, int number) override {
        note("claim_interface " + std::to_string(number));
        return claimResult;
    }
    int releaseInterface(LibusbHandle, int number) override {
        note("release_interface " + std::to_string(number));
        return 0;
    }
    int close(LibusbHandle) override {
        note("close");
        return 0;
    }
    int bulkWrite(LibusbHandle, int endpoint, const uint8_t* bytes, int size,
                  int timeoutMs) override {
        note(transfer("bulk_write", endpoint, size, timeoutMs));
        written.emplace_back(bytes, bytes + size);
        if (writes.empty()) {
            return size;
        }
        const int result = writes.front();
        writes.pop_front();
        return result;
    }
    int bulkRead(LibusbHandle, int endpoint, uint8_t* bytes, int size, int timeoutMs) override {
        note(transfer("bulk_read", endpoint, size, timeoutMs));
        clock_.advance(readDelay);
        ReadResult next = pastScript;
        if (!reads.empty()) {
            next = reads.front();
            reads.pop_front();
        }
        for (size_t i = 0; i < next.bytes.size() && i < static_cast<size_t>(size); ++i) {
            bytes[i] = next.bytes[i];
        }
        return next.result;
    }
    int clearHalt(LibusbHandle, unsigned endpoint) override {
        note(transfer("clear_halt", static_cast<int>(endpoint), -1, -1));
        return 0;
    }
    std::string strerror() override { return errorText; }

    // The log without its times.
    std::vector<std::string> calls() const {
        std::vector<std::string> result;
        for (const std::string& entry : log) {
            result.push_back(entry.substr(entry.find(' ') + 1));
        }
        return result;
    }

  private:
    int lastOpenErrno_ = 0;
    static std::string transfer(const char* name, int endpoint, int size, int timeoutMs) {
        char text[80];
        if (size < 0) {
            std::snprintf(text, sizeof text, "%s 0x%02x", name, endpoint);
        } else {
            std::snprintf(text, sizeof text, "%s 0x%02x %d %dms", name, endpoint, size, timeoutMs);
        }
        return text;
    }
    void note(const std::string& call) {
        log.push_back("@" + std::to_string(clock_.now().count()) + " " + call);
    }

    VirtualClock& clock_;
    int handle_ = 0;
};

}  // namespace harmoload::testing
