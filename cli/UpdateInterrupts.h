#pragma once
// While harmoload-cli writes an update, Ctrl-C, termination requests, a lost terminal and
// Ctrl-Break (platform/Interrupts.h) do not end the program: stopping halfway can leave the
// instrument unusable. The first one only warns; the second asks the run to stop at its next
// transfer, so that it still ends as a failed run, tells the instrument so and cleans up.

#include "platform/Interrupts.h"
#include "platform/StopRequest.h"

namespace harmoload {

// Written to the standard error stream, straight from the signal handler.
inline constexpr char kFirstInterruptText[] =
    "\nAn update is running: stopping it now can leave the instrument unusable.\n"
    "Press Ctrl-C again to stop it anyway.\n";
inline constexpr char kStoppingInterruptText[] = "\nStopping the update at the next transfer.\n";

class UpdateInterrupts {
  public:
    // Catches the interrupts until destroyed, then restores what was there before. One at a
    // time: the handler reaches the stop request through a single process-wide pointer.
    explicit UpdateInterrupts(StopRequest& stop);
    ~UpdateInterrupts();
    UpdateInterrupts(const UpdateInterrupts&) = delete;
    UpdateInterrupts& operator=(const UpdateInterrupts&) = delete;

  private:
    InterruptCatcher catcher_;
};

}  // namespace harmoload
