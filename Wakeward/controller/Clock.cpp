#include "controller/Clock.h"

#include <ctime>

namespace wakeward {

Instant SystemClock::now() const {
    return Instant::now();
}

double SystemClock::uptime() const {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

} // namespace wakeward
