#include "sim/SimulatedUsb.h"

#include <cstdlib>

#include "usb/UsbLink.h"

namespace harmoload::sim {

SimulatedUsb::SimulatedUsb(Clock& clock, const SimulatorOptions& options)
    : instrument_(clock, options.config, options.faults) {
    for (const OtherDevice& other : options.others) {
        library_.plugOther(other.vendorId, other.productId);
    }
    if (options.present) {
        library_.plug(instrument_);
    }
}

void BindToSimulator(UsbLink& link, SimulatedUsb& simulator, Clock& clock) {
    link.bindLibusb(simulator.library());
    link.bindDriverPipes(simulator.noDriver());
    link.setClock(clock);
}

std::optional<SimulatorOptions> SimulatorOptionsFromEnvironment(std::string* error) {
    const char* text = std::getenv(kSimulatorEnvironmentVariable);
    return ParseSimulatorOptions(text != nullptr ? text : "", error);
}

}  // namespace harmoload::sim
