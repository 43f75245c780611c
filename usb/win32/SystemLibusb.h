#pragma once
// SystemLibusb() on Windows (the twin of posix/SystemLibusb.cpp): the libusb table filled from
// libusb0.dll, loaded at run time. No DLL means a library without devices, never a crash.

#include <memory>
#include <string>

#include "usb/LibusbApi.h"

namespace harmoload {

class Libusb0Dll final : public LibusbApi {
  public:
    // The DLL by the name or path given; loaded at the first init, and again at a later init
    // while it could not be loaded. A bare name is looked for in the program's folder and the
    // system's only.
    explicit Libusb0Dll(std::wstring dllPath = L"libusb0.dll");
    ~Libusb0Dll() override;

    bool loaded() const override;

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
    std::string strerror() override;

  private:
    struct Entries;
    std::wstring dllPath_;
    std::unique_ptr<Entries> entries_;
};

}  // namespace harmoload
