#include "usb/AttachedInstruments.h"

#include "usb/InterfaceLocator.h"
#include "usb/LibusbIdentity.h"
#include "usb/PresenceCheck.h"
#include "usb/UsbLink.h"

namespace harmoload {

std::vector<AttachedInstrument> FindAttachedInstruments(UsbLink& link) {
    std::vector<AttachedInstrument> found;
    link.pin({});
    LibusbDevice& libusb = link.libusb();
    libusb.start();
    for (const std::vector<LibusbDeviceEntry>& bus : libusb.api().getBusses()) {
        for (const LibusbDeviceEntry& entry : bus) {
            if (entry.vendorId == usb::kVendorId && entry.productId == usb::kProductId) {
                found.push_back(
                    {entry.busName + "/" + entry.deviceName, LinkMode::Libusb, entry.device});
            }
        }
    }
    DriverPipeDevice& pipes = link.pipes();
    pipes.reinitialise();
    for (uint32_t member : pipes.found()) {
        found.push_back({pipes.locator().devicePath(member), LinkMode::DriverPipes});
    }
    return found;
}

void CheckAccess(UsbLink& link, std::vector<AttachedInstrument>& instruments) {
    LibusbDevice& libusb = link.libusb();
    for (AttachedInstrument& instrument : instruments) {
        link.pin(instrument);
        instrument.access = CheckDevicePresent(link);
        if (instrument.backEnd == LinkMode::Libusb) {
            instrument.problem = libusb.openFailure();
        }
    }
    link.pin({});
}

}  // namespace harmoload
