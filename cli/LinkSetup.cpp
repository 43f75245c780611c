#include "cli/LinkSetup.h"

#include <filesystem>
#include <ostream>

#include "cli/ExitCodes.h"
#include "cli/FullPath.h"
#include "platform/Clock.h"
#include "usb/UsbLink.h"

namespace harmoload {

std::optional<int> LinkSetup::prepare(const std::string& tracePath, bool simulate, Clock& clock,
                                      std::ostream& err) {
    if (!tracePath.empty()) {
        traceFile_.open(std::filesystem::path(std::u8string(tracePath.begin(), tracePath.end())));
        if (!traceFile_) {
            err << "Cannot write the trace file " << FullPath(tracePath) << '\n';
            return kExitFailed;
        }
        trace_.emplace(traceFile_, clock.now());
    }
    if (simulate) {
        std::string problem;
        const std::optional<sim::SimulatorOptions> options =
            sim::SimulatorOptionsFromEnvironment(&problem);
        if (!options) {
            err << sim::kSimulatorEnvironmentVariable << ": cannot read \"" << problem << "\"\n";
            return kExitUsage;
        }
        simulator_ = std::make_unique<sim::SimulatedUsb>(clock, *options);
    }
    return std::nullopt;
}

void LinkSetup::attach(UsbLink& link, Clock& clock, std::ostream& console) {
    link.setClock(clock);
    link.setConsole(console);
    if (trace_) {
        link.setTrace(&*trace_);
    }
    if (simulator_) {
        sim::BindToSimulator(link, *simulator_, clock);
    }
}

}  // namespace harmoload
