#pragma once
// Whether a flash profile can drive a run: the checks made right after reading it, and the
// engine's message box in which their findings are shown.

#include <optional>
#include <string>

#include "flash/FlashProfile.h"
#include "platform/Notifier.h"

namespace harmoload {

// The engine's message kinds: caption and icon of its message box.
enum class EngineMessageKind : int {
    StopError = 0,
    Error = 1,  // every fatal message of the engine
    Warning = 2,
    Information = 3,
    Question = 4,
};

// The message box of that kind for text, with the two spaces the engine appends; nothing for a
// kind it does not know.
std::optional<Message> EngineMessage(const std::string& text, EngineMessageKind kind);

enum class ProfileVerdict : int {
    Passed = 0,
    Warning = 1,  // the user may still go on
    Fatal = 2,
};

struct ProfileFinding {
    ProfileVerdict verdict = ProfileVerdict::Passed;
    std::string text;  // empty when passed
    // The caption and icon its text is shown with (EngineMessage).
    EngineMessageKind kind = EngineMessageKind::StopError;
};

// The first check the profile fails, in the order the user is told about them.
ProfileFinding CheckFlashProfile(const FlashProfile& profile);
// The first fatal check the profile fails: what CheckFlashProfile finds after its warning, which
// the user's Yes to that warning does not waive.
ProfileFinding CheckFlashProfileFaults(const FlashProfile& profile);

// Faults that would make a run misbehave and that the checks above let through (a profile
// accepted after its warning, or faults they do not look at): a cycle list shorter than the
// cycles the run sends from it, a block size the block header cannot carry, a negative file
// offset, fewer than two sectors, sector addresses that do not ascend. The message to stop the
// run with, before the instrument is touched; nothing when the run can go ahead.
std::optional<std::string> FindRunFault(const FlashProfile& profile);

// The run's text when the sector list has a single entry, which gives its sector no size.
inline constexpr const char* kNotEnoughSectorSizeMessage = "not enough sector size";

}  // namespace harmoload
