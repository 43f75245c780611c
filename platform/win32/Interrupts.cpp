#include "platform/Interrupts.h"

#include <io.h>

#include <csignal>
#include <iterator>

namespace harmoload {
namespace {

// The C runtime raises SIGINT for Ctrl-C and SIGBREAK for Ctrl-Break and for a console that
// is closed or logged off.
constexpr int kCaught[] = {SIGINT, SIGTERM, SIGBREAK};
constexpr int kStandardError = 2;

using SignalFunction = void (*)(int);
SignalFunction previousHandlers[std::size(kCaught)];

void OnSignal(int signalNumber) {
    // The C runtime puts the default back before calling the handler.
    std::signal(signalNumber, OnSignal);
    RunActiveInterruptHandler();
}

}  // namespace

InterruptCatcher::InterruptCatcher(InterruptHandler handler) {
    SetActiveInterruptHandler(handler);
    for (size_t i = 0; i < std::size(kCaught); ++i) {
        previousHandlers[i] = std::signal(kCaught[i], OnSignal);
    }
}

InterruptCatcher::~InterruptCatcher() {
    for (size_t i = 0; i < std::size(kCaught); ++i) {
        std::signal(kCaught[i], previousHandlers[i] == SIG_ERR ? SIG_DFL : previousHandlers[i]);
    }
    SetActiveInterruptHandler(nullptr);
}

// Windows has no SIGPIPE: a write to a pipe whose reader has gone fails by itself.
ClosedPipesIgnored::ClosedPipesIgnored() = default;
ClosedPipesIgnored::~ClosedPipesIgnored() = default;

void WriteToStandardErrorInHandler(const char* text, size_t size) {
    [[maybe_unused]] const int written =
        _write(kStandardError, text, static_cast<unsigned int>(size));
}

}  // namespace harmoload
