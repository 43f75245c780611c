#include "cli/AccessHint.h"

#include <cstdio>

#include "usb/LibusbIdentity.h"

namespace harmoload {
namespace {

std::string UsbId() {
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", usb::kVendorId, usb::kProductId);
    return text;
}

}  // namespace

std::string AccessHint(LibusbOpenFailure failure) {
    switch (failure) {
        case LibusbOpenFailure::AccessDenied:
#ifdef _WIN32
            return "The instrument (USB " + UsbId() +
                   ") is attached but cannot be opened: access denied.\n"
                   "Close any other program that uses it, then try again.";
#else
            return "The instrument (USB " + UsbId() +
                   ") is attached but cannot be opened: permission denied.\n"
                   "Install the udev rule 70-harmoload.rules that comes with harmoload-cli (in "
                   "/usr/lib/udev/rules.d or /etc/udev/rules.d), reload the rules with\n"
                   "  sudo udevadm control --reload-rules && sudo udevadm trigger\n"
                   "and plug the instrument in again.";
#endif
        case LibusbOpenFailure::LibraryMissing:
            return "libusb0.dll was not found, so the instrument cannot be reached through "
                   "libusb.\nInstall the libusb-win32 driver for the instrument (USB " +
                   UsbId() + "), which brings libusb0.dll, then connect the instrument again.";
        case LibusbOpenFailure::None:
        case LibusbOpenFailure::NoInstrument:
        case LibusbOpenFailure::Refused:
            break;
    }
    return {};
}

std::string AccessProblemName(LibusbOpenFailure failure) {
    switch (failure) {
        case LibusbOpenFailure::AccessDenied:
            return "access-denied";
        case LibusbOpenFailure::LibraryMissing:
            return "driver-missing";
        case LibusbOpenFailure::None:
        case LibusbOpenFailure::NoInstrument:
        case LibusbOpenFailure::Refused:
            break;
    }
    return {};
}

}  // namespace harmoload
