#include "platform/ProgressMessage.h"

namespace harmoload {
namespace {

// wParam of WM_FLASH_PROGRESS.
constexpr uintptr_t kFlashRange = 0;
constexpr uintptr_t kFlashPosition = 1;

}  // namespace

std::optional<ProgressMessage> ProgressMessageFor(const ProgressEvent& event) {
    if (event.change != ProgressChange::Count) {
        return std::nullopt;
    }
    if (event.engine == ProgressEngine::Transfer) {
        return ProgressMessage{WM_TRANSFER_PROGRESS, uintptr_t{event.total},
                               static_cast<intptr_t>(event.done)};
    }
    if (event.done == 0) {
        return ProgressMessage{WM_FLASH_PROGRESS, kFlashRange, static_cast<intptr_t>(event.total)};
    }
    return ProgressMessage{WM_FLASH_PROGRESS, kFlashPosition, static_cast<intptr_t>(event.done)};
}

}  // namespace harmoload
