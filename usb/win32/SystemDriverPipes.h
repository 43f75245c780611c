#pragma once
// SystemDriverPipes() on Windows (the twin of posix/SystemDriverPipes.cpp): SetupAPI for the
// interface class, the file API with overlapped I/O for the device and its pipes.

#include "usb/DriverPipeApi.h"

namespace harmoload {

class Win32DriverPipes : public DriverPipeApi {
  public:
    DeviceSet classDevices(const InterfaceClass& interfaceClass) override;
    MemberLookup enumInterface(DeviceSet set, const InterfaceClass& interfaceClass,
                               uint32_t memberIndex) override;
    std::u16string interfacePath(DeviceSet set, const InterfaceClass& interfaceClass,
                                 uint32_t memberIndex) override;
    void destroySet(DeviceSet set) override;

    // Opened for overlapped I/O, so that every transfer can be given up when its limit passes.
    PipeHandle createFile(const std::u16string& path) override;
    PipeTransfer readFile(PipeHandle handle, uint8_t* buffer, size_t count,
                          std::chrono::milliseconds limit) override;
    PipeTransfer writeFile(PipeHandle handle, const uint8_t* buffer, size_t count,
                           std::chrono::milliseconds limit) override;
    void closeHandle(PipeHandle handle) override;
};

}  // namespace harmoload
