#pragma once
// What probe and update put behind their links: a trace of every transfer (--trace FILE) and
// the built-in simulated instrument (--simulate, described by HARMOLOAD_SIM).

#include <fstream>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "sim/SimulatedUsb.h"
#include "usb/TransferTrace.h"

namespace harmoload {

class Clock;
class UsbLink;

class LinkSetup {
  public:
    // Opens the trace file and builds the simulated instrument as asked. On failure says why on
    // err and returns the exit code to end with; nothing when all is ready.
    std::optional<int> prepare(const std::string& tracePath, bool simulate, Clock& clock,
                               std::ostream& err);

    // Puts the trace and the simulated instrument behind the link; console takes the libusb
    // back end's line about a failed write.
    void attach(UsbLink& link, Clock& clock, std::ostream& console);

  private:
    std::ofstream traceFile_;
    std::optional<TraceWriter> trace_;
    std::unique_ptr<sim::SimulatedUsb> simulator_;
};

}  // namespace harmoload
