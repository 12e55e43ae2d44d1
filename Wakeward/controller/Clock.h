#pragma once

#include <wakeward/Instant.h>

namespace wakeward {

// The controller's two sources of time.
class Clock {
public:
    Clock() = default;
    virtual ~Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;

    /// Wall-clock time; may jump when the user or the network sets the clock.
    virtual Instant now() const = 0;
    /// Seconds on a monotonic clock that never jumps; only differences carry meaning.
    virtual double uptime() const = 0;
};

// The host's wall clock and CLOCK_MONOTONIC.
class SystemClock final : public Clock {
public:
    Instant now() const override;
    double uptime() const override;
};

} // namespace wakeward
