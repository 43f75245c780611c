#include "cli/ProbeCommand.h"

#include <nlohmann/json.hpp>

#include <optional>

#include "cli/AccessHint.h"
#include "cli/ConsoleNotifier.h"
#include "cli/ExitCodes.h"
#include "cli/JsonEvents.h"
#include "cli/LinkSetup.h"
#include "cli/TerminalText.h"
#include "platform/Clock.h"
#include "usb/AttachedInstruments.h"
#include "usb/PresenceCheck.h"
#include "usb/UsbLink.h"

namespace harmoload {

int ProbeLink(UsbLink& link, bool json, std::ostream& out) {
    const bool present = CheckDevicePresent(link);
    const LibusbOpenFailure failure = link.openFailure();
    const std::string hint = present ? std::string() : AccessHint(failure);
    if (json) {
        nlohmann::ordered_json result = {{"present", present}, {"backEnd", nullptr}};
        if (present) {
            result["backEnd"] = LinkModeName(link.mode());
        }
        if (!hint.empty()) {
            result["problem"] = AccessProblemName(failure);
            result["hint"] = hint;
        }
        WriteJsonLine(out, result);
    } else if (present) {
        out << "Instrument found through " << LinkModeName(link.mode()) << '\n';
    } else if (!hint.empty()) {
        out << hint << '\n';
    } else {
        out << "No instrument found\n";
    }
    return present ? kExitSuccess : kExitNoInstrument;
}

namespace {

int ProbeAll(UsbLink& link, bool json, std::ostream& out) {
    std::vector<AttachedInstrument> instruments = FindAttachedInstruments(link);
    CheckAccess(link, instruments);
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const AttachedInstrument& instrument : instruments) {
        const std::string hint = instrument.access ? std::string() : AccessHint(instrument.problem);
        if (json) {
            nlohmann::ordered_json entry = {{"device", instrument.device},
                                            {"backEnd", LinkModeName(instrument.backEnd)},
                                            {"access", instrument.access}};
            if (!hint.empty()) {
                entry["problem"] = AccessProblemName(instrument.problem);
                entry["hint"] = hint;
            }
            list.push_back(std::move(entry));
        } else {
            out << TerminalText(instrument.device) << "  " << LinkModeName(instrument.backEnd)
                << "  " << (instrument.access ? "ready" : "cannot be opened") << '\n';
            if (!hint.empty()) {
                out << "  " << hint << '\n';
            }
        }
    }
    // Without libusb0.dll no libusb instrument can show: the list says so, with the fix.
    const LibusbOpenFailure missing =
        link.libusb().api().loaded() ? LibusbOpenFailure::None : LibusbOpenFailure::LibraryMissing;
    const std::string missingHint = instruments.empty() ? AccessHint(missing) : std::string();
    if (json) {
        nlohmann::ordered_json result = {{"instruments", list}};
        if (!missingHint.empty()) {
            result["problem"] = AccessProblemName(missing);
            result["hint"] = missingHint;
        }
        WriteJsonLine(out, result);
    } else if (!missingHint.empty()) {
        out << missingHint << '\n';
    } else if (instruments.empty()) {
        out << "No instrument found\n";
    }
    return instruments.empty() ? kExitNoInstrument : kExitSuccess;
}

}  // namespace

int RunProbeCommand(const ProbeOptions& options, std::ostream& out, std::ostream& err) {
    SystemClock clock;
    ConsoleNotifier notifier(out, err, options.json);
    LinkSetup setup;
    if (const std::optional<int> failed =
            setup.prepare(options.tracePath, options.simulate, clock, err)) {
        return *failed;
    }
    UsbLink link;
    link.setNotifier(&notifier);
    // The libusb back end's own line about a failed write must not break the JSON lines.
    setup.attach(link, clock, options.json ? err : out);
    return options.all ? ProbeAll(link, options.json, out) : ProbeLink(link, options.json, out);
}

}  // namespace harmoload
