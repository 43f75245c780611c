#pragma once
// The driver-pipe back end: the instrument reached through its own kernel driver, whose two bulk
// pipes are opened as files. Until the driver's discovery is built, no interface of the driver
// is ever found, so every open fails and UsbLink uses libusb alone.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "usb/TransferStatus.h"

namespace harmoload {

class Notifier;

class DriverPipeDevice {
  public:
    // Enumerates the driver's interfaces at once.
    DriverPipeDevice() { reinitialise(); }
    virtual ~DriverPipeDevice() { releaseHandles(); }
    DriverPipeDevice(const DriverPipeDevice&) = delete;
    DriverPipeDevice& operator=(const DriverPipeDevice&) = delete;

    void setNotifier(Notifier* notifier) { notifier_ = notifier; }

    // Releases any handles, rebuilds the found list and selects device index 0.
    void reinitialise();
    // Opens the found entry at index with its two pipes; false when any of them fails.
    bool open(int index);
    bool isOpen() const { return open_; }
    int deviceIndex() const { return deviceIndex_; }
    const std::vector<uint32_t>& found() const { return found_; }

    TransferStatus read(uint8_t* buffer, size_t count);
    TransferStatus write(const uint8_t* buffer, size_t count);
    virtual void close();

  private:
    void enumerate();
    void releaseHandles();

    Notifier* notifier_ = nullptr;
    int deviceIndex_ = 0;
    bool open_ = false;
    std::vector<uint32_t> found_;  // member indices of the instrument's interfaces
};

}  // namespace harmoload
