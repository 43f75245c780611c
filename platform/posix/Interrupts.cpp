#include "platform/Interrupts.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace harmoload {
namespace {

constexpr int kCaught[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<InterruptHandler> activeHandler{nullptr};
static_assert(std::atomic<InterruptHandler>::is_always_lock_free);
struct sigaction previousActions[std::size(kCaught)];
struct sigaction previousPipeAction;

void OnSignal(int) {
    // The interrupted code may be about to read errno: the handler leaves it as it was.
    const int savedErrno = errno;
    if (const InterruptHandler handler = activeHandler.load()) {
        handler();
    }
    errno = savedErrno;
}

}  // namespace

InterruptCatcher::InterruptCatcher(InterruptHandler handler) {
    activeHandler = handler;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // A transfer or a wait under way goes on rather than failing with EINTR.
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kCaught); ++i) {
        sigaction(kCaught[i], &action, &previousActions[i]);
    }
}

InterruptCatcher::~InterruptCatcher() {
    for (size_t i = 0; i < std::size(kCaught); ++i) {
        sigaction(kCaught[i], &previousActions[i], nullptr);
    }
    activeHandler = nullptr;
}

ClosedPipesIgnored::ClosedPipesIgnored() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &previousPipeAction);
}

ClosedPipesIgnored::~ClosedPipesIgnored() {
    sigaction(SIGPIPE, &previousPipeAction, nullptr);
}

void WriteToStandardErrorInHandler(const char* text, size_t size) {
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, size);
}

}  // namespace harmoload
