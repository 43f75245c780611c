#pragma once
// A libusb 0.1 library whose busses hold simulated instruments and other devices: the table the
// host's LibusbDevice calls when it is bound to the simulator. Devices show in the bus list
// from the next usb_find_devices on, in the order they were plugged, and an unplugged
// instrument drops out of it there. Devices are named by bus and by plug order on it, from
// "001/001". Safe to call from several threads, each running its own instrument: a transfer
// holds no lock while the instrument answers.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "usb/LibusbApi.h"

namespace harmoload::sim {

class SimulatedInstrument;

class SimulatedLibusb final : public LibusbApi {
  public:
    // An instrument (vendor 0x0A67, product 0x8E30) on the given bus, after the devices
    // already there.
    void plug(SimulatedInstrument& instrument, size_t bus = 0);
    // A device that is not the instrument (another product of the maker, say).
    void plugOther(uint16_t vendorId, uint16_t productId, size_t bus = 0);

    void init() override;
    int findBusses() override;
    int findDevices() override;
    LibusbBusList getBusses() override;
    LibusbHandle open(LibusbDeviceRef device) override;
    int setConfiguration(LibusbHandle handle, int configuration) override;
    int claimInterface(LibusbHandle handle, int interfaceNumber) override;
    int releaseInterface(LibusbHandle handle, int interfaceNumber) override;
    int close(LibusbHandle handle) override;
    int bulkWrite(LibusbHandle handle, int endpoint, const uint8_t* bytes, int size,
                  int timeoutMs) override;
    int bulkRead(LibusbHandle handle, int endpoint, uint8_t* bytes, int size,
                 int timeoutMs) override;
    int clearHalt(LibusbHandle handle, unsigned endpoint) override;
    // The text of the calling thread's last error.
    std::string strerror() override;

    int initCalls() const { return initCalls_; }
    int findDevicesCalls() const { return findDevicesCalls_; }
    // Handles opened and not yet closed.
    size_t openHandles() const { return handles_.size(); }
    // The product id of every device opened, in order.
    const std::vector<uint16_t>& openedProducts() const { return openedProducts_; }

  private:
    struct Slot {
        size_t bus = 0;
        uint16_t vendorId = 0;
        uint16_t productId = 0;
        SimulatedInstrument* instrument = nullptr;  // null for another device
        bool visible = false;                       // in the bus list since the last find
        std::string deviceName;
    };
    struct Handle {
        Slot* slot = nullptr;
        bool configured = false;
        bool claimed = false;
    };

    Handle* find(LibusbHandle handle);
    bool present(const Slot& slot) const;
    int fail(int code, std::string text);
    std::string nextName(size_t bus) const;
    template <typename Transfer>
    int onInstrument(LibusbHandle handle, const char* call, Transfer transfer);

    mutable std::mutex mutex_;  // everything below; never held while an instrument answers

    std::deque<Slot> slots_;  // stable addresses: a device reference is a Slot*
    std::list<Handle> handles_;
    size_t busCount_ = 0;
    int initCalls_ = 0;
    int findDevicesCalls_ = 0;
    std::vector<uint16_t> openedProducts_;
    std::map<std::thread::id, std::string> lastErrors_;
};

}  // namespace harmoload::sim
