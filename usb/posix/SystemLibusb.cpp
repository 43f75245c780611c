// The libusb table bound to the system's libusb 0.1 (Debian's libusb-dev), linked dynamically.

#include <usb.h>

#include <cerrno>

#include "usb/LibusbApi.h"

namespace harmoload {
namespace {

usb_dev_handle* Handle(LibusbHandle handle) {
    return static_cast<usb_dev_handle*>(handle);
}

class SystemLibusb01 final : public LibusbApi {
  public:
    void init() override { usb_init(); }
    int findBusses() override { return usb_find_busses(); }
    int findDevices() override { return usb_find_devices(); }

    LibusbBusList getBusses() override {
        LibusbBusList busses;
        for (struct usb_bus* bus = usb_get_busses(); bus != nullptr; bus = bus->next) {
            std::vector<LibusbDeviceEntry>& devices = busses.emplace_back();
            for (struct usb_device* device = bus->devices; device != nullptr;
                 device = device->next) {
                devices.push_back({device->descriptor.idVendor, device->descriptor.idProduct,
                                   device, bus->dirname, device->filename});
            }
        }
        return busses;
    }

    LibusbHandle open(LibusbDeviceRef device) override {
        errno = 0;
        usb_dev_handle* handle = usb_open(static_cast<struct usb_device*>(device));
        openErrno_ = handle == nullptr ? errno : 0;
        return handle;
    }
    int openErrno() const override { return openErrno_; }
    int setConfiguration(LibusbHandle handle, int configuration) override {
        return usb_set_configuration(Handle(handle), configuration);
    }
    int claimInterface(LibusbHandle handle, int interfaceNumber) override {
        return usb_claim_interface(Handle(handle), interfaceNumber);
    }
    int releaseInterface(LibusbHandle handle, int interfaceNumber) override {
        return usb_release_interface(Handle(handle), interfaceNumber);
    }
    int close(LibusbHandle handle) override { return usb_close(Handle(handle)); }

    int bulkWrite(LibusbHandle handle, int endpoint, const uint8_t* bytes, int size,
                  int timeoutMs) override {
        return usb_bulk_write(Handle(handle), endpoint, reinterpret_cast<const char*>(bytes), size,
                              timeoutMs);
    }
    int bulkRead(LibusbHandle handle, int endpoint, uint8_t* bytes, int size,
                 int timeoutMs) override {
        return usb_bulk_read(Handle(handle), endpoint, reinterpret_cast<char*>(bytes), size,
                             timeoutMs);
    }
    int clearHalt(LibusbHandle handle, unsigned endpoint) override {
        return usb_clear_halt(Handle(handle), endpoint);
    }
    std::string strerror() override {
        const char* text = usb_strerror();
        return text != nullptr ? text : "";
    }

  private:
    // Per thread: the runs of a bench open their instruments at the same time.
    static thread_local int openErrno_;
};

thread_local int SystemLibusb01::openErrno_ = 0;

}  // namespace

LibusbApi& SystemLibusb() {
    static SystemLibusb01 library;
    return library;
}

}  // namespace harmoload
