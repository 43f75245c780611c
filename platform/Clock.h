#pragma once
// Owns every wait of the protocols, so that tests can run minutes of waiting in no time.

#include <chrono>

namespace harmoload {

class Clock {
  public:
    virtual ~Clock() = default;

    virtual void sleep(std::chrono::milliseconds duration) = 0;

    // Monotonic time since an arbitrary start.
    virtual std::chrono::milliseconds now() const = 0;
};

// Real time: sleeps the calling thread.
class SystemClock final : public Clock {
  public:
    void sleep(std::chrono::milliseconds duration) override;
    std::chrono::milliseconds now() const override;
};

// The one system clock of the program, for whatever is not given a clock of its own.
SystemClock& DefaultClock();

}  // namespace harmoload
