#pragma once
// A driver-pipe table with no driver behind it: the class set cannot be had and no path opens.
// What systems without the driver use, and what stands behind a link that talks to the
// simulated instrument, so that its driver pipes never find a real one.

#include "usb/DriverPipeApi.h"

namespace harmoload {

class AbsentDriverPipes final : public DriverPipeApi {
  public:
    DeviceSet classDevices(const InterfaceClass&) override { return kNoDeviceSet; }
    MemberLookup enumInterface(DeviceSet, const InterfaceClass&, uint32_t) override {
        return MemberLookup::NoMoreItems;
    }
    std::u16string interfacePath(DeviceSet, const InterfaceClass&, uint32_t) override { return {}; }
    void destroySet(DeviceSet) override {}
    PipeHandle createFile(const std::u16string&) override { return kInvalidPipeHandle; }
    PipeTransfer readFile(PipeHandle, uint8_t*, size_t, std::chrono::milliseconds) override {
        return {};
    }
    PipeTransfer writeFile(PipeHandle, const uint8_t*, size_t, std::chrono::milliseconds) override {
        return {};
    }
    void closeHandle(PipeHandle) override {}
};

}  // namespace harmoload
