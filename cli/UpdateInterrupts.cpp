#include "cli/UpdateInterrupts.h"

#include <atomic>

namespace harmoload {
namespace {

std::atomic<StopRequest*> activeStop{nullptr};
std::atomic<int> interrupts{0};
static_assert(std::atomic<StopRequest*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

template <size_t N>
void Warn(const char (&text)[N]) {
    WriteToStandardErrorInHandler(text, N - 1);
}

// Runs in the signal handler: only lock-free atomics and the handler's own write.
void OnInterrupt() {
    StopRequest* stop = activeStop.load();
    if (stop == nullptr) {
        return;
    }
    const int count = ++interrupts;
    if (count == 1) {
        Warn(kFirstInterruptText);
    } else {
        stop->request();
        if (count == 2) {
            Warn(kStoppingInterruptText);
        }
    }
}

// Set before the catcher is built from it: the handler may run as soon as it is.
InterruptHandler Armed(StopRequest& stop) {
    interrupts = 0;
    activeStop = &stop;
    return OnInterrupt;
}

}  // namespace

UpdateInterrupts::UpdateInterrupts(StopRequest& stop) : catcher_(Armed(stop)) {}

UpdateInterrupts::~UpdateInterrupts() {
    activeStop = nullptr;
}

}  // namespace harmoload
