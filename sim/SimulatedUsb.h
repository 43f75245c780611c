#pragma once
// A simulated instrument on a simulated libusb, ready to stand behind a UsbLink: what tests and
// --simulate use instead of the real bus.

#include <deque>
#include <optional>
#include <vector>

#include "sim/Rendezvous.h"
#include "sim/SimulatedInstrument.h"
#include "sim/SimulatedLibusb.h"
#include "sim/SimulatorOptions.h"
#include "usb/AbsentDriverPipes.h"
#include "usb/InterfaceLocator.h"

namespace harmoload {
class Clock;
class UsbLink;
}  // namespace harmoload

namespace harmoload::sim {

class SimulatedUsb {
  public:
    // The instrument (when options say it is present) after any other devices, on bus 0.
    explicit SimulatedUsb(Clock& clock, const SimulatorOptions& options = {});
    // A bench: one instrument per description, each after its own other devices, in order on
    // bus 0. At least one description.
    SimulatedUsb(Clock& clock, const std::vector<SimulatorOptions>& bench);
    SimulatedUsb(const SimulatedUsb&) = delete;
    SimulatedUsb& operator=(const SimulatedUsb&) = delete;

    // The first instrument.
    SimulatedInstrument& instrument() { return instruments_.front(); }
    // Every instrument, in the order described.
    std::deque<SimulatedInstrument>& instruments() { return instruments_; }
    SimulatedLibusb& library() { return library_; }
    // Driver pipes that find nothing: a link bound to the simulator never reaches a real
    // instrument through its driver.
    InterfaceLocator& noDriver() { return noDriver_; }

  private:
    std::deque<SimulatedInstrument> instruments_;  // never moved: the library points at them
    Rendezvous rendezvous_;
    SimulatedLibusb library_;
    AbsentDriverPipes absentPipes_;
    InterfaceLocator noDriver_{absentPipes_};
};

// Points the link's libusb back end at the simulated library and its clock at the simulator's,
// so that the link's pauses and the instrument's time are one, and its driver pipes at a
// locator that finds nothing, so that the link reaches the simulated instrument alone.
void BindToSimulator(UsbLink& link, SimulatedUsb& simulator, Clock& clock);

// The options in HARMOLOAD_SIM; the defaults when it is not set. Nothing when it cannot be
// read (error names the item).
std::optional<SimulatorOptions> SimulatorOptionsFromEnvironment(std::string* error = nullptr);
// Every instrument HARMOLOAD_SIM describes (descriptions separated by '|'); one with the
// defaults when it is not set.
std::optional<std::vector<SimulatorOptions>> SimulatorBenchFromEnvironment(
    std::string* error = nullptr);

}  // namespace harmoload::sim
