#pragma once
// How the command line shows an engine's progress: a bar redrawn in place on a terminal
// (percentage, bytes, rate and time left, fitted to the terminal's width), otherwise a plain
// line at every tenth.

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "platform/Notifier.h"

namespace harmoload {

class Clock;

// A flash pair's bar also names the engine's phase ("erasing sector 2 of 4"): an erase moves no
// byte count for seconds.
class ProgressDisplay final {
  public:
    // columns tells the terminal's width at each redraw (0 or none: 80 columns).
    ProgressDisplay(std::ostream& out, const Clock& clock, bool terminal,
                    std::function<int()> columns = {})
        : out_(out), clock_(clock), terminal_(terminal), columns_(std::move(columns)) {}

    // A new pair: its name for the display and the bytes it writes.
    void startPair(std::string label, uint64_t dataBytes);
    // A progress event as the engine posted it.
    void post(const ProgressEvent& event);
    // Ends the bar's line, so that a message can be printed below it.
    void interrupt();

  private:
    void show();

    std::ostream& out_;
    const Clock& clock_;
    bool terminal_;
    std::function<int()> columns_;
    std::string label_;
    std::string phase_;  // empty outside a flash pair's sectors
    uint64_t dataBytes_ = 0;
    uint32_t range_ = 0;
    uint32_t position_ = 0;
    uint64_t bytesDone_ = 0;  // as the engine counted them, when it does
    std::chrono::milliseconds started_{0};
    int lastTenth_ = -1;
    bool lineOpen_ = false;
};

}  // namespace harmoload
