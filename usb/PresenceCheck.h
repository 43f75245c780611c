#pragma once
// Is an instrument attached? The dialog asks at start-up, after a package is opened and on every
// device change; harmoload-cli probe asks once.

#include "usb/UsbLink.h"

namespace harmoload {

// Opens the link and closes it at once; the open's result is the answer. The link's mode then
// tells through which back end the instrument answered. Never call while a run uses the link.
bool CheckDevicePresent(UsbLink& link);

}  // namespace harmoload
