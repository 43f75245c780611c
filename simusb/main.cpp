// harmoload-sim-usb: the simulated instrument as a USB device for virtual machines. It serves
// the instrument over the usbredir protocol, so that QEMU's usb-redir device plugs it into a
// guest, whose own USB stack and programs then see the instrument as if it were attached.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>

#include "HarmoloadVersion.h"
#include "platform/Clock.h"
#include "sim/SimulatedInstrument.h"
#include "sim/SimulatorOptions.h"
#include "simusb/InstrumentReport.h"
#include "simusb/ListenPath.h"
#include "simusb/RedirServer.h"
#include "simusb/VirtualInstrument.h"

namespace {

constexpr int kExitServed = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

}  // namespace

int main(int argc, char** argv) {
    using namespace harmoload;

    CLI::App app{
        "Serves the simulated instrument as a USB device over usbredir (QEMU's usb-redir "
        "device), for one connection, and reports the instrument's state when it ends"};
    app.set_version_flag(
        "--version", std::string("harmoload-sim-usb ") + kProgramVersion + "\n" + kCopyrightNotice);
    std::string listenText;
    const char* fromEnvironment = std::getenv(sim::kSimulatorEnvironmentVariable);
    std::string description = fromEnvironment != nullptr ? fromEnvironment : "";
    std::vector<std::string> targetDumps;
    std::vector<std::string> flashDumps;
    std::string reportPath;
    bool verbose = false;
    app.add_option("--listen", listenText,
                   "Unix socket path (anything with a '/'), or [HOST:]PORT on TCP")
        ->required();
    app.add_option("--sim", description,
                   "The instrument and its faults, as in HARMOLOAD_SIM (its default)");
    app.add_option("--save-target", targetDumps,
                   "START:LENGTH:FILE, save target memory bytes to FILE at exit");
    app.add_option("--save-flash", flashDumps,
                   "START:WORDS:FILE, save flash words (little-endian) to FILE at exit");
    app.add_option("--report", reportPath, "Also write the exit report to this file");
    app.add_flag("--verbose", verbose, "Trace every request on stderr");
    CLI11_PARSE(app, argc, argv);

    simusb::ListenAddress address;
    if (!simusb::ParseListenAddress(listenText, address)) {
        std::cerr << "harmoload-sim-usb: --listen " << listenText
                  << " is neither a socket path nor a port\n";
        return kExitUsage;
    }
    std::string problem;
    const std::optional<sim::SimulatorOptions> options =
        sim::ParseSimulatorOptions(description, &problem);
    if (!options) {
        std::cerr << "harmoload-sim-usb: cannot read instrument item \"" << problem << "\"\n";
        return kExitUsage;
    }
    if (!options->others.empty()) {
        std::cerr << "harmoload-sim-usb: one connection carries one device; drop \"other\"\n";
        return kExitUsage;
    }
    std::vector<simusb::MemoryDump> dumps;
    for (const auto& [kind, texts] : {std::pair{simusb::MemoryKind::Target, &targetDumps},
                                      std::pair{simusb::MemoryKind::Flash, &flashDumps}}) {
        for (const std::string& text : *texts) {
            const auto dump = simusb::ParseMemoryDump(kind, text);
            if (!dump) {
                std::cerr << "harmoload-sim-usb: " << text << " is not START:LENGTH:FILE\n";
                return kExitUsage;
            }
            dumps.push_back(*dump);
        }
    }

    // The guest waits in real time, so the instrument's erases take real time too.
    SystemClock clock;
    sim::SimulatedInstrument instrument(clock, options->config, options->faults);
    simusb::VirtualInstrument device(instrument);
    simusb::RedirServer server(device, {options->present, verbose});
    if (!address.path.empty() && !simusb::ClearStaleSocket(address.path, problem)) {
        std::cerr << "harmoload-sim-usb: " << problem << "\n";
        return kExitFailed;
    }
    if (!server.listen(address, problem)) {
        std::cerr << "harmoload-sim-usb: " << problem << "\n";
        return kExitFailed;
    }
    std::cout << "harmoload-sim-usb: listening on " << listenText << std::endl;
    const bool served = server.serve(problem);
    if (!served) {
        std::cerr << "harmoload-sim-usb: " << problem << "\n";
    }

    const std::string report = simusb::ReportText(instrument, device.faultHalts());
    std::cout << report << std::flush;
    bool saved = true;
    if (!reportPath.empty()) {
        std::ofstream out(reportPath, std::ios::trunc);
        out << report;
        saved = static_cast<bool>(out);
    }
    for (const simusb::MemoryDump& dump : dumps) {
        if (!simusb::SaveMemory(instrument, dump, problem)) {
            std::cerr << "harmoload-sim-usb: " << problem << "\n";
            saved = false;
        }
    }
    return served && saved ? kExitServed : kExitFailed;
}
