#pragma once
// What the command line tells the user when a link found no instrument it can use: an
// instrument that is attached but may not be opened, or a missing libusb0.dll, each with the
// fix; otherwise that none was found.

#include <string>

#include "usb/LibusbDevice.h"

namespace harmoload {

// The reason and the fix for failures the user can mend; empty for the others.
std::string AccessHint(LibusbOpenFailure failure);

// A short name for --json output ("access-denied", "driver-missing"); empty when AccessHint is.
std::string AccessProblemName(LibusbOpenFailure failure);

}  // namespace harmoload
