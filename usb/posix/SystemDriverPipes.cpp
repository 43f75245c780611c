#include "usb/AbsentDriverPipes.h"

namespace harmoload {

// The instrument's kernel driver exists on Windows only: here the driver pipes find nothing
// and UsbLink uses libusb alone.
DriverPipeApi& SystemDriverPipes() {
    static AbsentDriverPipes pipes;
    return pipes;
}

}  // namespace harmoload
