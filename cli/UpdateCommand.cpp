#include "cli/UpdateCommand.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <istream>
#include <optional>
#include <ostream>
#include <random>

#include "cli/AccessHint.h"
#include "cli/Commands.h"
#include "cli/ConsoleNotifier.h"
#include "cli/LinkSetup.h"
#include "cli/ProbeCommand.h"
#include "cli/ProgressDisplay.h"
#include "flash/FlashCommandEngine.h"
#include "package/PackageVerifier.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Terminal.h"
#include "transfer/PacketTransferEngine.h"
#include "update/InstructionText.h"
#include "update/UpdateRun.h"
#include "usb/PresenceCheck.h"

namespace harmoload {
namespace {

// Messages go to the console; progress goes to the display, or as JSON events with the
// messages. A message first ends the progress bar's line.
class UpdateNotifier final : public Notifier {
  public:
    UpdateNotifier(ConsoleNotifier& console, ProgressDisplay& display, bool json)
        : console_(console), display_(display), json_(json) {}

    MessageAnswer showMessage(const Message& message) override {
        display_.interrupt();
        return console_.showMessage(message);
    }
    void postProgress(uint32_t messageId, uintptr_t wParam, intptr_t lParam) override {
        if (json_) {
            console_.postProgress(messageId, wParam, lParam);
        } else {
            display_.post(messageId, wParam, lParam);
        }
    }

  private:
    ConsoleNotifier& console_;
    ProgressDisplay& display_;
    bool json_;
};

// A folder of our own for TEMP.INI and TEMP.BIN, removed with them at the end.
class PrivateFolder {
  public:
    PrivateFolder() {
        std::random_device random;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::filesystem::path candidate =
                base / ("harmoload-update-" + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) {
                path_ = candidate;
            }
        }
    }
    ~PrivateFolder() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    bool created() const { return !path_.empty(); }
    // With its trailing separator, as the program directory is written.
    std::string path() const { return path_.string() + kPathSeparator; }

  private:
    std::filesystem::path path_;
};

MessageAnswer AskOnTerminal(const Message& message, std::istream& in, std::ostream& err) {
    err << message.caption << ": " << message.text << " [y/N] ";
    err.flush();
    std::string line;
    std::getline(in, line);
    return !line.empty() && (line[0] == 'y' || line[0] == 'Y') ? MessageAnswer::Yes
                                                               : MessageAnswer::No;
}

void WriteJson(std::ostream& out, const nlohmann::ordered_json& event) {
    out << event.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

}  // namespace

int RunUpdateCommand(const UpdateOptions& options, const IniFile& languageTable, std::istream& in,
                     std::ostream& out, std::ostream& err) {
    SystemClock clock;
    ConsoleNotifier console(out, err, options.json, options.assumeYes);
    if (!options.assumeYes && IsTerminal(StandardStream::Input)) {
        console.setAsker([&](const Message& message) { return AskOnTerminal(message, in, err); });
    }
    ProgressDisplay display(out, clock, !options.json && IsTerminal(StandardStream::Output));
    UpdateNotifier notifier(console, display, options.json);
    auto result = [&](bool ok, int code) {
        if (options.json) {
            WriteJson(out, {{"event", "result"}, {"ok", ok}});
        }
        return code;
    };

    const std::string packagePath = FullPath(options.packagePath);
    OpenedPackage package;
    PackageVerifier verifier(languageTable, notifier);
    if (!verifier.openAndRead(packagePath, package)) {
        return result(false, kExitFailed);
    }

    PacketTransferEngine transfer(notifier, clock);
    FlashCommandEngine flash(notifier, clock);
    if (!options.json) {
        flash.setPhaseListener(&display);
    }
    LinkSetup links;
    if (const std::optional<int> failed =
            links.prepare(options.tracePath, options.simulate, clock, err)) {
        return result(false, *failed);
    }
    for (UsbLink* link : {&transfer.link(), &flash.link()}) {
        // The libusb back end's line about a failed write must not break the JSON lines.
        links.attach(*link, clock, options.json ? err : out);
    }

    if (!CheckDevicePresent(transfer.link())) {
        const std::string hint = AccessHint(transfer.link().libusb().openFailure());
        if (!hint.empty()) {
            err << hint << '\n';
        } else {
            // What the user does next: the package names the keys that start update mode.
            err << "No instrument found: start the instrument in its update mode and connect it.\n"
                << HoldKeySentence(languageTable, package.record.holdKeys) << '\n';
        }
        return result(false, kExitNoInstrument);
    }
    PrivateFolder folder;
    if (!folder.created()) {
        err << "Cannot create a temporary folder for the unpacked files\n";
        return result(false, kExitFailed);
    }

    UpdateRunSetup setup;
    setup.packagePath = packagePath;
    setup.package = package.record;
    setup.workFolder = folder.path();
    setup.transfer = &transfer;
    setup.flash = &flash;
    setup.notifier = &notifier;
    setup.languageTable = &languageTable;
    setup.pairStarting = [&](const PairOutcome& pair, uint32_t dataSize) {
        display.startPair("Pair " + std::to_string(pair.index) + " (" + pair.engineCode + ", " +
                              EngineName(pair.engine) + ")",
                          dataSize);
    };
    setup.pairFinished = [&](const PairOutcome& pair) {
        display.interrupt();
        if (options.json) {
            WriteJson(out, {{"event", "pair"},
                            {"index", pair.index},
                            {"engineCode", pair.engineCode},
                            {"engine", EngineName(pair.engine)},
                            {"ok", pair.ok}});
        } else {
            out << "Pair " << pair.index << " (" << pair.engineCode << ", "
                << EngineName(pair.engine) << "): " << (pair.ok ? "written" : "failed") << '\n';
        }
    };
    const bool ok = RunUpdate(setup);
    return result(ok, ok ? kExitSuccess : kExitFailed);
}

}  // namespace harmoload
