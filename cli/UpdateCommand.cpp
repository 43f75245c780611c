#include "cli/UpdateCommand.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <istream>
#include <new>
#include <optional>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "cli/AccessHint.h"
#include "cli/BenchOutput.h"
#include "cli/ConsoleNotifier.h"
#include "cli/ExitCodes.h"
#include "cli/FullPath.h"
#include "cli/JsonEvents.h"
#include "cli/LinkSetup.h"
#include "cli/ProgressDisplay.h"
#include "cli/TerminalText.h"
#include "cli/UpdateInterrupts.h"
#include "flash/FlashCommandEngine.h"
#include "flash/FlashProfileCheck.h"
#include "package/PackageUnpacker.h"
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
#include "usb/AttachedInstruments.h"
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

// What one run needs that the command sets up before it: the package read once, where the
// links find their instruments, and the stop that Ctrl-C requests.
struct RunContext {
    const UpdateOptions& options;
    const IniFile& languageTable;
    const OpenedPackage& package;
    const std::string& packagePath;
    LinkSetup& links;                                // the simulator, and the trace of a single run
    LinkSetup* ownLinks = nullptr;                   // a bench run's own trace
    const AttachedInstrument* instrument = nullptr;  // null: the first instrument found
    StopRequest& stop;
    bool catchInterrupts = true;  // false on a bench: the command catches them for every run
};

// One instrument's update: its own engines and links, its private work folder, its result
// frame and its result event. Messages and events go to out and err.
int UpdateInstrument(const RunContext& context, bool assumeYes, std::istream& in, std::ostream& out,
                     std::ostream& err) {
    const UpdateOptions& options = context.options;
    SystemClock clock;
    // The engines wait on a clock that a stop cuts short.
    StoppableClock engineClock(clock, context.stop);
    ConsoleNotifier console(out, err, options.json, assumeYes);
    if (!assumeYes && context.catchInterrupts && IsTerminal(StandardStream::Input)) {
        console.setAsker([&](const Message& message) { return AskOnTerminal(message, in, err); });
    }
    const bool terminal =
        !options.json && context.catchInterrupts && IsTerminal(StandardStream::Output);
    ProgressDisplay display(out, clock, terminal,
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

    PacketTransferEngine transfer(notifier, engineClock);
    FlashCommandEngine flash(notifier, engineClock);
    for (UsbLink* link : {&transfer.link(), &flash.link()}) {
        // The libusb back end's line about a failed write must not break the JSON lines.
        context.links.attach(*link, clock, options.json ? err : out);
        if (context.ownLinks != nullptr) {
            context.ownLinks->attach(*link, clock, options.json ? err : out);
        }
        if (context.instrument != nullptr) {
            link->pin(*context.instrument);
        }
    }

    if (!CheckDevicePresent(transfer.link())) {
        const std::string hint = AccessHint(transfer.link().openFailure());
        if (!hint.empty()) {
            err << hint << '\n';
        } else {
            // What the user does next: the package names the keys that start update mode.
            err << "No instrument found: start the instrument in its update mode and connect it.\n"
                << TerminalText(
                       HoldKeySentence(context.languageTable, context.package.record.holdKeys))
                << '\n';
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
    setup.packagePath = context.packagePath;
    setup.package = context.package.record;
    setup.workFolder = folder.path();
    setup.transfer = &transfer;
    setup.flash = &flash;
    setup.notifier = &notifier;
    setup.languageTable = &context.languageTable;
    setup.stop = &context.stop;
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
    if (context.catchInterrupts) {
        const UpdateInterrupts interrupts(context.stop);
        ok = RunUpdate(setup);
    } else {
        ok = RunUpdate(setup);
    }
    return result(ok, ok ? kExitSuccess : kExitFailed);
}

// The run's exit code, with what the core throws (out of memory, a file-system error) turned
// into a failed run with a message, and with --json its failed result: it never ends the
// program.
template <typename Run>
int FailingSafely(bool json, std::ostream& out, std::ostream& err, Run run) {
    std::string failure;
    try {
        return run();
    } catch (const std::bad_alloc&) {
        failure = "not enough memory";
    } catch (const std::exception& error) {
        failure = error.what();
    }
    err << "The update failed: " << failure << '\n';
    if (json) {
        WriteJsonLine(out, {{"event", "result"}, {"ok", false}, {"resultFrame", false}});
    }
    return kExitFailed;
}

// A warning about the package's flash profiles, asked once before any instrument is touched:
// the runs of a bench would each ask it at once. Nothing when no profile warns; else the answer.
std::optional<MessageAnswer> AskProfileWarningOnce(const std::string& packagePath,
                                                   const PackageRecord& package, Notifier& notifier,
                                                   Clock& clock) {
    PrivateTempFolder folder;
    if (!folder.created()) {
        return std::nullopt;  // each run says so
    }
    const size_t pairs = PairsInUse(package.pairCount);
    for (size_t i = 0; i < pairs; ++i) {
        const PairEntry& pair = package.pairs[i];
        if (EngineForCode(pair.engineCode) != PairEngine::Flash ||
            UnpackPair(packagePath, folder.path(), pair) != PairUnpack::Unpacked) {
            continue;
        }
        FlashCommandEngine engine(notifier, clock);
        engine.resetProfile();
        engine.readProfile(folder.path() + kTempIniName);
        if (CheckFlashProfile(engine.profile()).verdict == ProfileVerdict::Warning) {
            engine.validateProfile();  // shows what the warning is about
            return notifier.showMessage(
                {"Warning", kContinueQuestion, MessageButtons::YesNo, MessageIcon::Information});
        }
    }
    return std::nullopt;
}

std::string TracePathFor(const std::string& tracePath, const std::string& device) {
    if (tracePath.empty()) {
        return tracePath;
    }
    std::string tag;
    for (char c : device) {
        tag += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '-';
    }
    const size_t dot = tracePath.find_last_of('.');
    const size_t separator = tracePath.find_last_of("/\\");
    const bool hasExtension =
        dot != std::string::npos && (separator == std::string::npos || dot > separator);
    return hasExtension ? tracePath.substr(0, dot) + "-" + tag + tracePath.substr(dot)
                        : tracePath + "-" + tag;
}

// The last line of a bench: the ids of the instruments that succeeded and of those that failed.
void WriteSummary(const UpdateOptions& options, const std::vector<std::string>& succeeded,
                  const std::vector<std::string>& failed, std::ostream& out) {
    if (options.json) {
        WriteJsonLine(out, {{"event", "summary"}, {"succeeded", succeeded}, {"failed", failed}});
    } else {
        auto list = [](const char* outcome, const std::vector<std::string>& devices) {
            std::string text;
            for (const std::string& device : devices) {
                text += (text.empty() ? std::string(" ") + outcome + ": " : ", ") + device;
            }
            return text.empty() ? text : text + ".";
        };
        out << "Updated " << succeeded.size() << " of " << succeeded.size() + failed.size()
            << " instruments." << list("Succeeded", succeeded) << list("Failed", failed) << '\n';
    }
    out.flush();
}

// update --all: every instrument in parallel, each in its own thread with its own streams,
// then the summary.
int UpdateBench(const RunContext& shared, const std::vector<AttachedInstrument>& instruments,
                Notifier& notifier, std::ostream& out, std::ostream& err) {
    const UpdateOptions& options = shared.options;
    std::vector<std::string> devices;
    for (const AttachedInstrument& instrument : instruments) {
        devices.push_back(instrument.device);
    }
    SystemClock clock;
    const std::optional<MessageAnswer> answer =
        AskProfileWarningOnce(shared.packagePath, shared.package.record, notifier, clock);
    if (answer && *answer != MessageAnswer::Yes) {
        err << "Nothing was written.\n";
        WriteSummary(options, {}, devices, out);
        return kExitFailed;
    }
    const bool assumeYes = options.assumeYes || answer.has_value();

    const BenchLines lines = options.json             ? BenchLines::Json
                             : EnableCursorMovement() ? BenchLines::Live
                                                      : BenchLines::Prefixed;
    BenchOutput bench(out, err, lines, devices);
    std::vector<int> exits(instruments.size(), kExitFailed);
    {
        const UpdateInterrupts interrupts(shared.stop);
        // Joined as the block ends, also when a thread cannot be started: those already running
        // finish theirs.
        std::vector<std::jthread> runs;
        for (size_t i = 0; i < instruments.size(); ++i) {
            runs.emplace_back([&, i] {
                const AttachedInstrument& instrument = instruments[i];
                DeviceLineStream runOut(bench, instrument.device, false);
                DeviceLineStream runErr(bench, instrument.device, true);
                LinkSetup ownLinks;
                RunContext context = shared;
                context.instrument = &instrument;
                context.catchInterrupts = false;
                context.ownLinks = &ownLinks;
                SystemClock runClock;
                if (ownLinks.prepare(TracePathFor(options.tracePath, instrument.device), false,
                                     runClock, runErr)) {
                    if (options.json) {
                        WriteJsonLine(runOut,
                                      {{"event", "result"}, {"ok", false}, {"resultFrame", false}});
                    }
                    return;
                }
                std::istringstream noInput;
                exits[i] = FailingSafely(options.json, runOut, runErr, [&] {
                    return UpdateInstrument(context, assumeYes, noInput, runOut, runErr);
                });
            });
        }
    }

    std::vector<std::string> succeeded;
    std::vector<std::string> failed;
    for (size_t i = 0; i < instruments.size(); ++i) {
        (exits[i] == kExitSuccess ? succeeded : failed).push_back(instruments[i].device);
    }
    WriteSummary(options, succeeded, failed, out);
    return failed.empty() ? kExitSuccess : kExitFailed;
}

int UpdateFromPackage(const UpdateOptions& options, const IniFile& languageTable, std::istream& in,
                      std::ostream& out, std::ostream& err) {
    // A reader of the output that goes away is no reason to stop writing the instruments: the
    // runs go on to their end and their result frames.
    const ClosedPipesIgnored closedPipes;
    SystemClock clock;
    ConsoleNotifier console(out, err, options.json, options.assumeYes);
    if (!options.assumeYes && IsTerminal(StandardStream::Input)) {
        console.setAsker([&](const Message& message) { return AskOnTerminal(message, in, err); });
    }
    auto result = [&](bool ok, int code) {
        if (options.json) {
            WriteJsonLine(out, {{"event", "result"}, {"ok", ok}, {"resultFrame", false}});
        }
        return code;
    };

    const std::string packagePath = FullPath(options.packagePath);
    OpenedPackage package;
    PackageVerifier verifier(languageTable, console);
    if (!verifier.openAndRead(packagePath, package)) {
        return result(false, kExitFailed);
    }

    // The trace and the simulated instrument outlive the engines, whose links may still close
    // into them as the engines go. A bench run keeps a trace of its own.
    LinkSetup links;
    if (const std::optional<int> failed = links.prepare(
            options.all ? std::string() : options.tracePath, options.simulate, clock, err)) {
        return result(false, *failed);
    }
    // libusb 0.1's list is walked here, once, before any run: the runs open the devices found.
    UsbLink lister;
    links.attach(lister, clock, err);
    const std::vector<AttachedInstrument> instruments = FindAttachedInstruments(lister);
    StopRequest stop;
    RunContext context{options, languageTable, package, packagePath, links, nullptr, nullptr, stop};

    if (options.all) {
        if (instruments.empty()) {
            err << "No instrument found: start the instruments in their update mode and connect "
                   "them.\n"
                << TerminalText(HoldKeySentence(languageTable, package.record.holdKeys)) << '\n';
            if (options.json) {
                WriteSummary(options, {}, {}, out);
            }
            return kExitNoInstrument;
        }
        return UpdateBench(context, instruments, console, out, err);
    }
    if (!options.device.empty()) {
        const auto chosen = std::find_if(
            instruments.begin(), instruments.end(),
            [&](const AttachedInstrument& each) { return each.device == options.device; });
        if (chosen == instruments.end()) {
            err << "No instrument " << TerminalText(options.device)
                << " is attached (harmoload-cli probe --all lists them).\n";
            return result(false, kExitNoInstrument);
        }
        context.instrument = &*chosen;
    } else if (instruments.size() > 1) {
        // Taking the first would write an instrument the user may not have meant.
        err << instruments.size()
            << " instruments are attached, and nothing was written to any of them. Choose one "
               "with --device ID (harmoload-cli probe --all lists the ids), or update them all "
               "with --all.\n";
        return kExitUsage;
    }
    return UpdateInstrument(context, options.assumeYes, in, out, err);
}

}  // namespace

int RunUpdateCommand(const UpdateOptions& options, const IniFile& languageTable, std::istream& in,
                     std::ostream& out, std::ostream& err) {
    return FailingSafely(options.json, out, err,
                         [&] { return UpdateFromPackage(options, languageTable, in, out, err); });
}

}  // namespace harmoload
