#include "usb/PresenceCheck.h"

namespace harmoload {

bool CheckDevicePresent(UsbLink& link) {
    const bool present = link.open();
    link.close();
    return present;
}

}  // namespace harmoload
