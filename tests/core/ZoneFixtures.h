#pragma once

#include <chrono>
#include <gtest/gtest.h>
#include <wakeward/Calendar.h>
#include <wakeward/Instant.h>

namespace wakeward::test {

// An instant written as UTC date and time, so that expectations do not depend on the
// conversions under test.
inline Instant utc(int year, int month, int day, int hour, int minute, int second = 0) {
    const std::chrono::sys_days date{std::chrono::year(year) / month / day};
    return Instant::fromUnix(86400.0 * date.time_since_epoch().count() + hour * 3600.0 +
                             minute * 60.0 + second);
}

// The calendar of a named zone; a zone the machine lacks fails the test.
inline Calendar zone(const char* id) {
    auto calendar = Calendar::forZone(id);
    EXPECT_TRUE(calendar.ok()) << id;
    return std::move(calendar).value();
}

} // namespace wakeward::test
