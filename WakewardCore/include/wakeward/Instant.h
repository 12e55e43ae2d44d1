#pragma once

#include <compare>

namespace wakeward {

// A point in time: seconds, with fraction, since 2001-01-01 00:00:00 UTC. The one
// instant type of the code base; conversions to Unix seconds happen at the edges.
struct Instant {
    double sinceReference = 0;

    // Seconds between 1970-01-01 and 2001-01-01, both UTC.
    static constexpr double unixOffset = 978307200.0;

    static constexpr Instant fromUnix(double unixSeconds) { return {unixSeconds - unixOffset}; }
    constexpr double unix() const { return sinceReference + unixOffset; }

    // The wall-clock time of this process; only record initialisers and the edges use it.
    static Instant now();

    constexpr Instant operator+(double seconds) const { return {sinceReference + seconds}; }
    constexpr Instant operator-(double seconds) const { return {sinceReference - seconds}; }
    constexpr double operator-(Instant other) const { return sinceReference - other.sinceReference; }

    constexpr auto operator<=>(const Instant&) const = default;
    constexpr bool operator==(const Instant&) const = default;
};

} // namespace wakeward
