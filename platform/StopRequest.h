#pragma once
// A request to end an update early, made from another thread or a signal handler and honoured
// at the next transfer boundary: the link refuses every transfer after it, and the waits of a
// run being stopped end at once, so the engines fail out through their usual paths.

#include <atomic>
#include <chrono>

#include "platform/Clock.h"

namespace harmoload {

class StopRequest {
  public:
    // Lock-free, so that a signal handler may call it.
    void request() noexcept { requested_.store(true, std::memory_order_relaxed); }
    bool requested() const noexcept { return requested_.load(std::memory_order_relaxed); }

  private:
    std::atomic<bool> requested_{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
};

// The engines' clock for a run that may be stopped: once the stop is requested a wait ends at
// once, as nothing will be asked of the instrument after it.
class StoppableClock final : public Clock {
  public:
    StoppableClock(Clock& clock, const StopRequest& stop) : clock_(clock), stop_(stop) {}

    void sleep(std::chrono::milliseconds duration) override {
        if (!stop_.requested()) {
            clock_.sleep(duration);
        }
    }
    std::chrono::milliseconds now() const override { return clock_.now(); }

  private:
    Clock& clock_;
    const StopRequest& stop_;
};

}  // namespace harmoload
