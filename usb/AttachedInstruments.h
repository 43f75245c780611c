#pragma once
// Every instrument attached through every back end, each with a device id that stays the same
// while it stays plugged in: for libusb the bus and device names the library gives ("001/004"
// on Linux), for the driver pipes the device path. A link pinned to one reaches that
// instrument and no other.

#include <string>
#include <vector>

#include "usb/LibusbApi.h"
#include "usb/LibusbDevice.h"
#include "usb/TransferStatus.h"

namespace harmoload {

class UsbLink;

struct AttachedInstrument {
    std::string device;  // the device id
    LinkMode backEnd = LinkMode::None;
    LibusbDeviceRef libusbDevice = nullptr;               // libusb's device, for a link to pin
    bool access = false;                                  // this user opened it
    LibusbOpenFailure problem = LibusbOpenFailure::None;  // why libusb would not open it
};

// Walks libusb's list once (the library's list is global and not thread-safe: call before any
// run starts, never beside one), then the driver's interfaces, through the link's tables. Opens
// nothing; the link is left unpinned.
std::vector<AttachedInstrument> FindAttachedInstruments(UsbLink& link);

// Opens and closes each instrument on the link to learn whether this user may use it (access and
// problem). The link is left unpinned and closed.
void CheckAccess(UsbLink& link, std::vector<AttachedInstrument>& instruments);

}  // namespace harmoload
