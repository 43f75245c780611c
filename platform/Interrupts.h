#pragma once
// The requests to end the program that a running update takes as a request to stop instead,
// since stopping halfway can leave the instrument unusable: Ctrl-C (SIGINT), termination
// (SIGTERM), a lost terminal or ssh session (SIGHUP) and, on Windows, Ctrl-Break (SIGBREAK).

#include <cstddef>

namespace harmoload {

// Runs inside the signal handler: it may only touch lock-free atomics and call
// WriteToStandardErrorInHandler.
using InterruptHandler = void (*)();

// Catches the requests until destroyed, then restores what was there before. One at a time:
// the system's handler reaches this one through a single process-wide pointer.
class InterruptCatcher {
  public:
    explicit InterruptCatcher(InterruptHandler handler);
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;
};

// While one exists, a write to a pipe whose reader has gone fails instead of ending the
// program (SIGPIPE is ignored; Windows has no such signal).
class ClosedPipesIgnored {
  public:
    ClosedPipesIgnored();
    ~ClosedPipesIgnored();
    ClosedPipesIgnored(const ClosedPipesIgnored&) = delete;
    ClosedPipesIgnored& operator=(const ClosedPipesIgnored&) = delete;
};

// For the system's handlers (posix/, win32/): the catcher's handler while there is one, and
// calling it from the signal handler with errno left as it was.
void SetActiveInterruptHandler(InterruptHandler handler);
void RunActiveInterruptHandler();

// Writes straight to the standard error stream with the system's write call, as a signal
// handler may.
void WriteToStandardErrorInHandler(const char* text, size_t size);

}  // namespace harmoload
