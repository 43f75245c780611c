#pragma once
// The libusb 0.1 calls that LibusbDevice makes, as one table the platform fills: the system's
// libusb 0.1 on Linux, libusb0.dll loaded at run time on Windows, the simulated instrument, or
// a test's scripted fake. Results are the library's: a byte count or 0 on success, a negative
// error code on failure.

#include <cstdint>
#include <string>
#include <vector>

namespace harmoload {

// The library's own objects, opaque to the host.
using LibusbDeviceRef = void*;  // a struct usb_device
using LibusbHandle = void*;     // a usb_dev_handle

// One device of a bus list: what the host reads of its descriptor, the device itself, and the
// names the library gives its bus and it (struct usb_bus's dirname, struct usb_device's
// filename: "001" and "004" on Linux), which stay the same while the device stays plugged in.
struct LibusbDeviceEntry {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    LibusbDeviceRef device = nullptr;
    std::string busName;
    std::string deviceName;
};

// The library's bus list as usb_get_busses() hands it out: the busses in list order, each
// with its devices in list order.
using LibusbBusList = std::vector<std::vector<LibusbDeviceEntry>>;

class LibusbApi {
  public:
    virtual ~LibusbApi() = default;

    virtual void init() = 0;                // usb_init
    virtual int findBusses() = 0;           // usb_find_busses
    virtual int findDevices() = 0;          // usb_find_devices
    virtual LibusbBusList getBusses() = 0;  // usb_get_busses, its lists walked in order
    virtual LibusbHandle open(LibusbDeviceRef device) = 0;  // usb_open; null on failure
    virtual int setConfiguration(LibusbHandle handle, int configuration) = 0;
    virtual int claimInterface(LibusbHandle handle, int interfaceNumber) = 0;
    virtual int releaseInterface(LibusbHandle handle, int interfaceNumber) = 0;
    virtual int close(LibusbHandle handle) = 0;
    virtual int bulkWrite(LibusbHandle handle, int endpoint, const uint8_t* bytes, int size,
                          int timeoutMs) = 0;
    virtual int bulkRead(LibusbHandle handle, int endpoint, uint8_t* bytes, int size,
                         int timeoutMs) = 0;
    virtual int clearHalt(LibusbHandle handle, unsigned endpoint) = 0;
    virtual std::string strerror() = 0;  // usb_strerror: the text of the last error

    // errno as usb_open left it when it last returned no handle; 0 when not known.
    virtual int openErrno() const { return 0; }
    // False when the library itself could not be loaded (libusb0.dll missing on Windows).
    virtual bool loaded() const { return true; }
};

// The platform's libusb: Debian's libusb 0.1 on Linux, libusb0.dll on Windows (a missing DLL
// means a library without devices). One per process.
LibusbApi& SystemLibusb();

}  // namespace harmoload
