#include "sim/SimulatedUsb.h"

#include <cstdlib>

#include "usb/UsbLink.h"

namespace harmoload::sim {

SimulatedUsb::SimulatedUsb(Clock& clock, const SimulatorOptions& options)
    : SimulatedUsb(clock, std::vector<SimulatorOptions>{options}) {}

SimulatedUsb::SimulatedUsb(Clock& clock, const std::vector<SimulatorOptions>& bench) {
    int meetings = 0;
    for (const SimulatorOptions& options : bench) {
        SimulatedInstrument& instrument =
            instruments_.emplace_back(clock, options.config, options.faults);
        if (options.faults.meetAtTransfer > 0) {
            instrument.setRendezvous(&rendezvous_);
            ++meetings;
        }
        for (const OtherDevice& other : options.others) {
            library_.plugOther(other.vendorId, other.productId);
        }
        if (options.present) {
            library_.plug(instrument);
        }
    }
    rendezvous_.expect(meetings);
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

std::optional<std::vector<SimulatorOptions>> SimulatorBenchFromEnvironment(std::string* error) {
    const char* text = std::getenv(kSimulatorEnvironmentVariable);
    return ParseSimulatorBench(text != nullptr ? text : "", error);
}

}  // namespace harmoload::sim
