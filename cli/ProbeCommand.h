#pragma once
// harmoload-cli probe: the dialog's presence check, once.

#include <iosfwd>
#include <string>

namespace harmoload {

class UsbLink;

struct ProbeOptions {
    bool json = false;
    bool simulate = false;  // the built-in simulated instrument, described by HARMOLOAD_SIM
    std::string tracePath;  // empty: no trace
};

// Opens and closes the instrument: 0 and the back end when it answered, 3 when not.
// Prints "Instrument found through libusb" (or "driver-pipes") or "No instrument found", or
// instead of the latter what stands in the way and its fix (cli/AccessHint.h); with --json one
// object {"present":…,"backEnd":…} with "problem" and "hint" when there is a fix to name.
int RunProbeCommand(const ProbeOptions& options, std::ostream& out, std::ostream& err);

// The same on a link the caller has set up (bound, traced).
int ProbeLink(UsbLink& link, bool json, std::ostream& out);

}  // namespace harmoload
