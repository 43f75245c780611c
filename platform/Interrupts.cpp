#include "platform/Interrupts.h"

#include <atomic>
#include <cerrno>

namespace harmoload {
namespace {

std::atomic<InterruptHandler> activeHandler{nullptr};
static_assert(std::atomic<InterruptHandler>::is_always_lock_free);

}  // namespace

void SetActiveInterruptHandler(InterruptHandler handler) {
    activeHandler = handler;
}

void RunActiveInterruptHandler() {
    // The interrupted code may be about to read errno: the handler leaves it as it was.
    const int savedErrno = errno;
    if (const InterruptHandler handler = activeHandler.load()) {
        handler();
    }
    errno = savedErrno;
}

}  // namespace harmoload
