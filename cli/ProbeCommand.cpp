#include "cli/ProbeCommand.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/Commands.h"
#include "cli/ConsoleNotifier.h"
#include "platform/Clock.h"
#include "sim/SimulatedUsb.h"
#include "usb/PresenceCheck.h"
#include "usb/TransferTrace.h"
#include "usb/UsbLink.h"

namespace harmoload {

int ProbeLink(UsbLink& link, bool json, std::ostream& out) {
    const bool present = CheckDevicePresent(link);
    if (json) {
        nlohmann::ordered_json result = {{"present", present}, {"backEnd", nullptr}};
        if (present) {
            result["backEnd"] = LinkModeName(link.mode());
        }
        out << result.dump() << '\n';
    } else if (present) {
        out << "Instrument found through " << LinkModeName(link.mode()) << '\n';
    } else {
        out << "No instrument found\n";
    }
    return present ? kExitSuccess : kExitNoInstrument;
}

int RunProbe(const ProbeOptions& options, std::ostream& out, std::ostream& err) {
    SystemClock clock;
    ConsoleNotifier notifier(out, err, options.json);
    UsbLink link;
    link.setNotifier(&notifier);
    link.setClock(clock);
    // The libusb back end's own line about a failed write must not break the JSON lines.
    link.setConsole(options.json ? err : out);

    std::ofstream traceFile;
    std::optional<TraceWriter> trace;
    if (!options.tracePath.empty()) {
        traceFile.open(std::filesystem::path(
            std::u8string(options.tracePath.begin(), options.tracePath.end())));
        if (!traceFile) {
            err << "Cannot write the trace file " << FullPath(options.tracePath) << '\n';
            return kExitFailed;
        }
        trace.emplace(traceFile, clock.now());
        link.setTrace(&*trace);
    }

    std::unique_ptr<sim::SimulatedUsb> simulator;
    if (options.simulate) {
        std::string problem;
        const std::optional<sim::SimulatorOptions> simulated =
            sim::SimulatorOptionsFromEnvironment(&problem);
        if (!simulated) {
            err << sim::kSimulatorEnvironmentVariable << ": cannot read \"" << problem << "\"\n";
            return kExitUsage;
        }
        simulator = std::make_unique<sim::SimulatedUsb>(clock, *simulated);
        sim::BindToSimulator(link, *simulator, clock);
    }
    return ProbeLink(link, options.json, out);
}

}  // namespace harmoload
