#include "cli/UpdateInterrupts.h"

#include <atomic>
#include <csignal>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace harmoload {
namespace {

constexpr int kStandardError = 2;

std::atomic<StopRequest*> activeStop{nullptr};
std::atomic<int> interrupts{0};
static_assert(std::atomic<StopRequest*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

// Only what a signal handler may do: lock-free atomics, write and signal.
template <size_t N>
void WriteToStandardError(const char (&text)[N]) {
#ifdef _WIN32
    [[maybe_unused]] const int written = _write(kStandardError, text, N - 1);
#else
    [[maybe_unused]] const ssize_t written = ::write(kStandardError, text, N - 1);
#endif
}

void OnInterrupt(int signalNumber) {
    // Some systems put the default back before calling the handler.
    std::signal(signalNumber, OnInterrupt);
    StopRequest* stop = activeStop.load();
    if (stop == nullptr) {
        return;
    }
    const int count = ++interrupts;
    if (count == 1) {
        WriteToStandardError(kFirstInterruptText);
    } else {
        stop->request();
        if (count == 2) {
            WriteToStandardError(kStoppingInterruptText);
        }
    }
}

}  // namespace

UpdateInterrupts::UpdateInterrupts(StopRequest& stop) {
    interrupts = 0;
    activeStop = &stop;
    previousInterrupt_ = std::signal(SIGINT, OnInterrupt);
    previousTerminate_ = std::signal(SIGTERM, OnInterrupt);
}

UpdateInterrupts::~UpdateInterrupts() {
    std::signal(SIGINT, previousInterrupt_ == SIG_ERR ? SIG_DFL : previousInterrupt_);
    std::signal(SIGTERM, previousTerminate_ == SIG_ERR ? SIG_DFL : previousTerminate_);
    activeStop = nullptr;
}

}  // namespace harmoload
