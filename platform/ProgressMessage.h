#pragma once
// The window messages that carry the engines' progress to the dialog, with the wParam and
// lParam its progress bar is driven by. Only the Windows notifier posts them; the command
// line's JSON repeats their parameters as the older names of its progress fields.

#include <cstdint>
#include <optional>

#include "platform/Notifier.h"

namespace harmoload {

inline constexpr uint32_t WM_TRANSFER_PROGRESS = 0x0BEC;
inline constexpr uint32_t WM_FLASH_PROGRESS = 0x0BD8;

struct ProgressMessage {
    uint32_t messageId = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;

    bool operator==(const ProgressMessage&) const = default;
};

// WM_TRANSFER_PROGRESS: wParam the packets in all, lParam the packets done.
// WM_FLASH_PROGRESS: wParam 0 and lParam the range (the run's first event, nothing done), or
// wParam 1 and lParam the position.
// None for a change of phase alone: the dialog's bar does not move.
std::optional<ProgressMessage> ProgressMessageFor(const ProgressEvent& event);

}  // namespace harmoload
