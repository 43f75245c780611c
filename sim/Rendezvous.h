#pragma once
// A meeting point for simulated instruments driven by different threads: each that arrives
// waits until all have arrived. It lets a test prove that runs overlap, whatever the speed of
// the machine: arrivals that come one after the other never meet.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace harmoload::sim {

class Rendezvous {
  public:
    // Every arrival beyond the expected count meets at once.
    void expect(int arrivals);
    // Waits until every expected arrival has come, at most bound of real time; false when it
    // waited in vain.
    bool arrive(std::chrono::milliseconds bound);

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    int expected_ = 0;
    int arrivals_ = 0;
};

}  // namespace harmoload::sim
