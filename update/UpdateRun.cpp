#include "update/UpdateRun.h"

#include "flash/FlashCommandEngine.h"
#include "lang/LanguageTable.h"
#include "package/PackageUnpacker.h"
#include "platform/Notifier.h"
#include "transfer/PacketTransferEngine.h"

namespace harmoload {
namespace {

void ShowInformation(Notifier& notifier, const char* caption, std::string text) {
    notifier.showMessage({caption, std::move(text), MessageButtons::Ok, MessageIcon::Information});
}

template <typename Engine>
bool RunEngine(Engine& engine, const UpdateRunSetup& setup) {
    engine.setNotifier(*setup.notifier);
    engine.setProfilePath(setup.workFolder + kTempIniName);
    const bool ok = engine.run(setup.workFolder + kTempBinName);
    engine.link().close();
    return ok;
}

}  // namespace

bool WritePair(const UpdateRunSetup& setup, const std::string& engineCode) {
    if (EngineForCode(engineCode) == PairEngine::Transfer) {
        return RunEngine(*setup.transfer, setup);
    }
    return RunEngine(*setup.flash, setup);
}

void SendResultFrame(const UpdateRunSetup& setup, bool success) {
    UsbLink& link = setup.transfer->link();
    uint8_t frame[kResultFrameBytes] = {kResultCommand, static_cast<uint8_t>(success ? 0 : 1), 0,
                                        0};
    link.open();  // a missing instrument shows in the write's status
    if (link.write(frame, sizeof frame) != TransferStatus::Complete) {
        ShowInformation(*setup.notifier, "Error", "write usb failed when send 09 command ");
    }
    // The answer is not examined, but it must come: a read that delivers less counts as
    // complete, and the frame left in the buffer would pass for an echo.
    if (link.read(frame, sizeof frame) != TransferStatus::Complete ||
        link.lastReadBytes() < sizeof frame) {
        ShowInformation(*setup.notifier, "Error", "read usb failed after send 09 command ");
    }
    link.close();
}

bool RunUpdate(const UpdateRunSetup& setup) {
    bool success = true;
    const size_t pairs = PairsInUse(setup.package.pairCount);
    for (size_t i = 0; i < pairs && success; ++i) {
        const PairEntry& pair = setup.package.pairs[i];
        PairOutcome outcome{i + 1, pair.engineCode, EngineForCode(pair.engineCode), false};
        if (setup.pairStarting) {
            setup.pairStarting(outcome, pair.dataSize);
        }
        // An engine never runs on files left from an earlier pair: a pair that cannot be
        // unpacked has failed.
        if (UnpackPair(setup.packagePath, setup.workFolder, pair)) {
            outcome.ok = WritePair(setup, pair.engineCode);
        } else {
            ShowInformation(*setup.notifier, "Error",
                            "Cannot unpack pair " + std::to_string(i + 1) +
                                " of the update file into " + setup.workFolder);
        }
        if (setup.pairFinished) {
            setup.pairFinished(outcome);
        }
        success = outcome.ok;
    }

    SendResultFrame(setup, success);
    ShowInformation(*setup.notifier, success ? "Success" : "Error",
                    LookupText(*setup.languageTable, kLanguageSection,
                               success ? "IDS_UPDATE_SUCCESSFUL" : "IDS_UPDATE_FAILED"));
    return success;
}

}  // namespace harmoload
