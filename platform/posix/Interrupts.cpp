#include "platform/Interrupts.h"

#include <signal.h>
#include <unistd.h>

#include <iterator>

namespace harmoload {
namespace {

constexpr int kCaught[] = {SIGINT, SIGTERM, SIGHUP};

struct sigaction previousActions[std::size(kCaught)];
struct sigaction previousPipeAction;

void OnSignal(int) {
    RunActiveInterruptHandler();
}

}  // namespace

InterruptCatcher::InterruptCatcher(InterruptHandler handler) {
    SetActiveInterruptHandler(handler);
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
    SetActiveInterruptHandler(nullptr);
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
