#include "sim/Rendezvous.h"

namespace harmoload::sim {

void Rendezvous::expect(int arrivals) {
    const std::lock_guard lock(mutex_);
    expected_ = arrivals;
}

bool Rendezvous::arrive(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    ++arrivals_;
    arrived_.notify_all();
    return arrived_.wait_for(lock, bound, [this] { return arrivals_ >= expected_; });
}

}  // namespace harmoload::sim
