#include "update/UpdateRun.h"

#include <new>
#include <stdexcept>

#include "flash/FlashCommandEngine.h"
#include "lang/LanguageTable.h"
#include "package/PackageSum.h"
#include "package/PackageUnpacker.h"
#include "package/PackageVerifier.h"
#include "platform/Notifier.h"
#include "platform/StopRequest.h"
#include "transfer/PacketTransferEngine.h"
#include "usb/InstrumentContract.h"

namespace harmoload {
namespace {

void ShowInformation(Notifier& notifier, const char* caption, std::string text) {
    notifier.showMessage({caption, std::move(text), MessageButtons::Ok, MessageIcon::Information});
}

template <typename Engine>
bool RunEngine(Engine& engine, const UpdateRunSetup& setup, const DataCheck& check) {
    engine.setNotifier(*setup.notifier);
    engine.setProfilePath(setup.workFolder + kTempIniName);
    engine.setDataCheck(check);
    const bool ok = engine.run(setup.workFolder + kTempBinName);
    engine.setDataCheck({});
    engine.link().close();
    return ok;
}

}  // namespace

bool WritePair(const UpdateRunSetup& setup, const std::string& engineCode, const DataCheck& check) {
    if (EngineForCode(engineCode) == PairEngine::Transfer) {
        return RunEngine(*setup.transfer, setup, check);
    }
    return RunEngine(*setup.flash, setup, check);
}

bool SendResultFrame(const UpdateRunSetup& setup, bool success) {
    UsbLink& link = setup.transfer->link();
    const usb::Frame frame = usb::ResultFrame(success);
    link.open();  // a missing instrument shows in the write's status
    bool told = true;
    if (link.write(frame.data(), frame.size()) != TransferStatus::Complete) {
        ShowInformation(*setup.notifier, "Error", "write usb failed when send 09 command ");
        told = false;
    }
    // The answer is not examined, but it must come whole: a read that delivers less still
    // counts as complete.
    uint8_t answer[usb::kResultAnswerBytes] = {};
    if (link.read(answer, sizeof answer) != TransferStatus::Complete ||
        link.lastReadBytes() < sizeof answer) {
        ShowInformation(*setup.notifier, "Error", "read usb failed after send 09 command ");
        told = false;
    }
    link.close();
    return told;
}

namespace {

bool UnpackAndWritePair(const UpdateRunSetup& setup, size_t i) {
    const PairEntry& pair = setup.package.pairs[i];
    // An engine never runs on files left from an earlier pair, nor on bytes that do not match
    // the sums the package was verified with: such a pair has failed.
    switch (UnpackPair(setup.packagePath, setup.workFolder, pair)) {
        case PairUnpack::Unpacked:
            // The sum is checked again on the bytes the engine loads, which are the bytes it
            // writes: the unpacked file may have changed since it was checked.
            return WritePair(setup, pair.engineCode, [&](const std::vector<uint8_t>& data) {
                if (AddPackageSum(0, data.data(), data.size()) == pair.dataSum) {
                    return true;
                }
                setup.notifier->showMessage(PackageFaultMessage(
                    *setup.languageTable, DataFileSumFault(i), setup.packagePath));
                return false;
            });
        case PairUnpack::Failed:
            ShowInformation(*setup.notifier, "Error",
                            "Cannot unpack pair " + std::to_string(i + 1) +
                                " of the update file into " + setup.workFolder);
            return false;
        case PairUnpack::ConfigSumMismatch:
            setup.notifier->showMessage(PackageFaultMessage(
                *setup.languageTable, ConfigFileSumFault(i), setup.packagePath));
            return false;
        case PairUnpack::DataSumMismatch:
            setup.notifier->showMessage(
                PackageFaultMessage(*setup.languageTable, DataFileSumFault(i), setup.packagePath));
            return false;
    }
    return false;
}

// The pair, with whatever the core throws turned into a failed pair and a message.
bool WritePairSafely(const UpdateRunSetup& setup, size_t i) {
    std::string failure;
    try {
        return UnpackAndWritePair(setup, i);
    } catch (const std::bad_alloc&) {
        failure = "Not enough memory to write pair " + std::to_string(i + 1) + " of the update";
    } catch (const std::exception& error) {
        failure = "Pair " + std::to_string(i + 1) + " of the update failed: " + error.what();
    }
    // The engine did not get to close its link.
    setup.transfer->link().close();
    setup.flash->link().close();
    ShowInformation(*setup.notifier, "Error", failure);
    return false;
}

void SetStopRequest(const UpdateRunSetup& setup, const StopRequest* stop) {
    setup.transfer->link().setStopRequest(stop);
    setup.flash->link().setStopRequest(stop);
}

bool StopRequested(const UpdateRunSetup& setup) {
    return setup.stop != nullptr && setup.stop->requested();
}

}  // namespace

bool RunUpdate(const UpdateRunSetup& setup) {
    SetStopRequest(setup, setup.stop);
    bool success = true;
    const size_t pairs = PairsInUse(setup.package.pairCount);
    for (size_t i = 0; i < pairs && success && !StopRequested(setup); ++i) {
        const PairEntry& pair = setup.package.pairs[i];
        PairOutcome outcome{i + 1, pair.engineCode, EngineForCode(pair.engineCode), false};
        if (setup.pairStarting) {
            setup.pairStarting(outcome, pair.dataSize);
        }
        outcome.ok = WritePairSafely(setup, i);
        if (setup.pairFinished) {
            setup.pairFinished(outcome);
        }
        success = outcome.ok;
    }
    // The instrument hears about the outcome even after a stop.
    SetStopRequest(setup, nullptr);
    if (StopRequested(setup)) {
        success = false;
        ShowInformation(*setup.notifier, "Error", kRunStoppedMessage);
    }

    const bool told = SendResultFrame(setup, success);
    if (setup.resultFrameSent) {
        setup.resultFrameSent(told);
    }
    ShowInformation(*setup.notifier, success ? "Success" : "Error",
                    LookupText(*setup.languageTable, kLanguageSection,
                               success ? "IDS_UPDATE_SUCCESSFUL" : "IDS_UPDATE_FAILED"));
    return success;
}

}  // namespace harmoload
