#include "cli/ProbeCommand.h"

#include <nlohmann/json.hpp>

#include <optional>

#include "cli/AccessHint.h"
#include "cli/ConsoleNotifier.h"
#include "cli/ExitCodes.h"
#include "cli/JsonEvents.h"
#include "cli/LinkSetup.h"
#include "platform/Clock.h"
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
    return ProbeLink(link, options.json, out);
}

}  // namespace harmoload
