#pragma once
// The update run, shared by the dialog's worker and harmoload-cli update: every pair the package
// names, in order, unpacked and written by the engine its code selects, stopping at the first
// pair that fails; then the result frame that tells the instrument the outcome, and the result
// message.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ini/IniFile.h"
#include "package/PackageRecord.h"

namespace harmoload {

class FlashCommandEngine;
class Notifier;
class PacketTransferEngine;
class StopRequest;

struct PairOutcome {
    size_t index = 0;  // from 1
    std::string engineCode;
    PairEngine engine = PairEngine::Flash;
    bool ok = false;
};

struct UpdateRunSetup {
    std::string packagePath;
    PackageRecord package;
    // Where TEMP.INI and TEMP.BIN are written, with its trailing separator: the program
    // directory for the dialog, a private folder for the command line.
    std::string workFolder;
    PacketTransferEngine* transfer = nullptr;
    FlashCommandEngine* flash = nullptr;
    Notifier* notifier = nullptr;
    const IniFile* languageTable = nullptr;
    // Once requested, the pair being written fails at its next transfer and no further pair
    // starts; the result frame still tells the instrument that the update failed. Null: the
    // run is never stopped.
    const StopRequest* stop = nullptr;
    // Told before a pair is written (so a progress display can name it) and when it ends.
    std::function<void(const PairOutcome&, uint32_t dataSize)> pairStarting;
    std::function<void(const PairOutcome&)> pairFinished;
    // Told after the result frame: whether it was written and its answer read whole. When it
    // was not, the instrument may not know the outcome, though the run's own outcome stands.
    std::function<void(bool told)> resultFrameSent;
};

// The message shown when a run ends because it was asked to stop.
inline constexpr const char* kRunStoppedMessage =
    "The update was stopped before it finished. The instrument may not work until it is "
    "updated again.";

// Runs the update and shows the result message; true when every pair succeeded. What the core
// throws while a pair is written (out of memory, a file-system error) fails that pair with a
// message; the run goes on to its result frame.
bool RunUpdate(const UpdateRunSetup& setup);

// What the engine's loaded data must pass before it is written; empty: any data.
using DataCheck = std::function<bool(const std::vector<uint8_t>&)>;

// The pair written by the engine its code selects ("R1" in any case: packet transfer), with the
// engine's notifier, profile path and data check set first and its link closed afterwards.
bool WritePair(const UpdateRunSetup& setup, const std::string& engineCode,
               const DataCheck& check = {});

// Sends the result frame on the packet-transfer engine's link and reads the answer, showing a
// message for either step that fails; true when both steps succeeded.
bool SendResultFrame(const UpdateRunSetup& setup, bool success);

}  // namespace harmoload
