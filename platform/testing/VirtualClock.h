#pragma once
// A clock whose time moves only when someone sleeps on it: minutes of protocol waits pass in
// no time, deterministically. Shared by the tests and the simulated instrument.

#include <atomic>

#include "platform/Clock.h"

namespace harmoload {

class VirtualClock final : public Clock {
  public:
    void sleep(std::chrono::milliseconds duration) override {
        if (duration.count() > 0) {
            nowMs_ += duration.count();
            sleptMs_ += duration.count();
        }
    }
    std::chrono::milliseconds now() const override { return std::chrono::milliseconds(nowMs_); }

    // Moves time on without counting it as a wait of the code under test.
    void advance(std::chrono::milliseconds duration) { nowMs_ += duration.count(); }

    // Total time the code under test has slept.
    std::chrono::milliseconds slept() const { return std::chrono::milliseconds(sleptMs_); }

  private:
    std::atomic<long long> nowMs_{0};
    std::atomic<long long> sleptMs_{0};
};

}  // namespace harmoload
