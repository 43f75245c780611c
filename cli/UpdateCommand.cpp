#include "cli/UpdateCommand.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <istream>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>

#include "cli/AccessHint.h"
#include "cli/ConsoleNotifier.h"
#include "cli/ExitCodes.h"
#include "cli/FullPath.h"
#include "cli/JsonEvents.h"
#include "cli/LinkSetup.h"
#include "cli/ProgressDisplay.h"
#include "cli/TerminalText.h"
#include "cli/UpdateInterrupts.h"
#include "flash/FlashCommandEngine.h"
#include "package/PackageVerifier.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Interrupts.h"
#include "platform/PrivateTempFolder.h"
#include "platform/StopRequest.h"
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
    void postProgress(const ProgressEvent& event) override {
        if (json_) {
            console_.postProgress(event);
        } else {
            display_.post(event);
        }
    }

  private:
    ConsoleNotifier& console_;
    ProgressDisplay& display_;
    bool json_;
};

MessageAnswer AskOnTerminal(const Message& message, std::istream& in, std::ostream& err) {
    err << TerminalText(message.caption) << ": " << TerminalText(message.text, LineBreaks::Keep)
        << " [y/N] ";
    err.flush();
    std::string line;
    std::getline(in, line);
    return !line.empty() && (line[0] == 'y' || line[0] == 'Y') ? MessageAnswer::Yes
                                                               : MessageAnswer::No;
}

int UpdateFromPackage(const UpdateOptions& options, const IniFile& languageTable, std::istream& in,
                      std::ostream& out, std::ostream& err) {
    // A reader of the output that goes away is no reason to stop writing the instrument: the
    // run goes on to its end and its result frame.
    const ClosedPipesIgnored closedPipes;
    SystemClock clock;
    // The engines wait on a clock that a stop cuts short.
    StopRequest stop;
    StoppableClock engineClock(clock, stop);
    ConsoleNotifier console(out, err, options.json, options.assumeYes);
    if (!options.assumeYes && IsTerminal(StandardStream::Input)) {
        console.setAsker([&](const Message& message) { return AskOnTerminal(message, in, err); });
    }
    ProgressDisplay display(out, clock, !options.json && IsTerminal(StandardStream::Output),
                            [] { return TerminalColumns(StandardStream::Output); });
    UpdateNotifier notifier(console, display, options.json);
    // Whether the instrument was told the outcome by the result frame: never before the run.
    bool resultFrame = false;
    auto result = [&](bool ok, int code) {
        if (options.json) {
            WriteJsonLine(out, {{"event", "result"}, {"ok", ok}, {"resultFrame", resultFrame}});
        }
        return code;
    };

    const std::string packagePath = FullPath(options.packagePath);
    OpenedPackage package;
    PackageVerifier verifier(languageTable, notifier);
    if (!verifier.openAndRead(packagePath, package)) {
        return result(false, kExitFailed);
    }

    // The trace and the simulated instrument outlive the engines, whose links may still close
    // into them as the engines go.
    LinkSetup links;
    PacketTransferEngine transfer(notifier, engineClock);
    FlashCommandEngine flash(notifier, engineClock);
    if (const std::optional<int> failed =
            links.prepare(options.tracePath, options.simulate, clock, err)) {
        return result(false, *failed);
    }
    for (UsbLink* link : {&transfer.link(), &flash.link()}) {
        // The libusb back end's line about a failed write must not break the JSON lines.
        links.attach(*link, clock, options.json ? err : out);
    }

    if (!CheckDevicePresent(transfer.link())) {
        const std::string hint = AccessHint(transfer.link().openFailure());
        if (!hint.empty()) {
            err << hint << '\n';
        } else {
            // What the user does next: the package names the keys that start update mode.
            err << "No instrument found: start the instrument in its update mode and connect it.\n"
                << TerminalText(HoldKeySentence(languageTable, package.record.holdKeys)) << '\n';
        }
        return result(false, kExitNoInstrument);
    }
    PrivateTempFolder folder;
    if (!folder.created()) {
        err << "Cannot create a temporary folder for the unpacked files: " << folder.error()
            << '\n';
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
    setup.stop = &stop;
    setup.pairStarting = [&](const PairOutcome& pair, uint32_t dataSize) {
        display.startPair("Pair " + std::to_string(pair.index) + " (" +
                              TerminalText(pair.engineCode) + ", " + EngineName(pair.engine) + ")",
                          dataSize);
    };
    setup.pairFinished = [&](const PairOutcome& pair) {
        display.interrupt();
        if (options.json) {
            WriteJsonLine(out, {{"event", "pair"},
                                {"index", pair.index},
                                {"engineCode", pair.engineCode},
                                {"engine", EngineName(pair.engine)},
                                {"ok", pair.ok}});
        } else {
            out << "Pair " << pair.index << " (" << TerminalText(pair.engineCode) << ", "
                << EngineName(pair.engine) << "): " << (pair.ok ? "written" : "failed") << '\n';
        }
    };
    setup.resultFrameSent = [&](bool told) {
        resultFrame = told;
        if (!options.json) {
            out << (told ? "The instrument was told the outcome.\n"
                         : "The instrument could not be told the outcome: the result frame "
                           "failed.\n");
        }
    };
    bool ok = false;
    {
        const UpdateInterrupts interrupts(stop);
        ok = RunUpdate(setup);
    }
    return result(ok, ok ? kExitSuccess : kExitFailed);
}

}  // namespace

int RunUpdateCommand(const UpdateOptions& options, const IniFile& languageTable, std::istream& in,
                     std::ostream& out, std::ostream& err) {
    // What the core throws (out of memory, a file-system error) fails the command with a
    // message; it never ends the program.
    std::string failure;
    try {
        return UpdateFromPackage(options, languageTable, in, out, err);
    } catch (const std::bad_alloc&) {
        failure = "not enough memory";
    } catch (const std::exception& error) {
        failure = error.what();
    }
    err << "The update failed: " << failure << '\n';
    if (options.json) {
        WriteJsonLine(out, {{"event", "result"}, {"ok", false}, {"resultFrame", false}});
    }
    return kExitFailed;
}

}  // namespace harmoload
