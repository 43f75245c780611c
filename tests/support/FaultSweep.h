#pragma once
// The single faults a sweep puts on the simulated instrument, each at one ordinal of what a
// fault-free run goes through: its transfers, reads, writes, echoes, data verdicts and sums.

#include "sim/InstrumentSettings.h"
#include "sim/SimulatedInstrument.h"
#include "usb/LibusbIdentity.h"

namespace harmoload::testing {

enum class FaultKind {
    Unplug,
    Stall,
    IoReadError,
    TimedOutRead,
    LateAnswer,
    EmptyAnswer,
    AlteredAnswer,
    WriteError,
    PartialWrite,
    BadEcho,
    RefusedData,
    WrongEndAnswer,
    WrongSum
};

// Faults with only that kind set, at that ordinal.
inline sim::InstrumentFaults OneFault(FaultKind kind, int ordinal) {
    sim::InstrumentFaults faults;
    switch (kind) {
        case FaultKind::Unplug:
            faults.unplugAtTransfer = ordinal;
            break;
        case FaultKind::Stall:
            faults.stallFromTransfer = ordinal;
            break;
        case FaultKind::IoReadError:
            faults.readErrors = {{ordinal, usb::kLibusbIoError}};
            break;
        case FaultKind::TimedOutRead:
            faults.readErrors = {{ordinal, sim::kTimedOut}};
            break;
        case FaultKind::LateAnswer:
            faults.lateAnswers = {ordinal};
            break;
        case FaultKind::EmptyAnswer:
            faults.shortAnswers = {{ordinal, 0}};
            break;
        case FaultKind::AlteredAnswer:
            faults.alteredAnswers = {{ordinal, 0}};
            break;
        case FaultKind::WriteError:
            faults.writeErrors = {{ordinal, usb::kLibusbIoError}};
            break;
        case FaultKind::PartialWrite:
            faults.partialWrites = {{ordinal, 0}};
            break;
        case FaultKind::BadEcho:
            faults.badEchoes = {ordinal};
            break;
        case FaultKind::RefusedData:
            faults.badVerdicts = {ordinal};
            break;
        case FaultKind::WrongEndAnswer:
            faults.wrongEndAnswers = {ordinal};
            break;
        case FaultKind::WrongSum:
            faults.wrongSums = {ordinal};
            break;
    }
    return faults;
}

}  // namespace harmoload::testing
