#pragma once
// The --json stream: one object per line, written and flushed as it happens, so that a program
// reading the output through a pipe sees each event when the run posts it.

#include <nlohmann/json.hpp>

#include <iosfwd>

#include "platform/Notifier.h"

namespace harmoload {

void WriteJsonLine(std::ostream& out, const nlohmann::ordered_json& event);

// "transfer" or "flash"; "erasing", "writing", "verifying" (empty for none).
const char* ProgressEngineName(ProgressEngine engine);
const char* FlashPhaseName(FlashPhase phase);

// A count as a "progress" event (ending with the older kind, wParam and lParam, as the dialog's
// window message carries them), a change of phase as a "phase" event. The README's table names
// every field.
nlohmann::ordered_json ProgressJson(const ProgressEvent& event);

}  // namespace harmoload
