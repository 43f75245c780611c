#include "platform/Clock.h"

#include <thread>

namespace harmoload {

void SystemClock::sleep(std::chrono::milliseconds duration) {
    if (duration.count() > 0) {
        std::this_thread::sleep_for(duration);
    }
}

std::chrono::milliseconds SystemClock::now() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

SystemClock& DefaultClock() {
    static SystemClock clock;
    return clock;
}

}  // namespace harmoload
