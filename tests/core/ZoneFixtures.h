#pragma once

#include <ctime>
#include <gtest/gtest.h>
#include <wakeward/Calendar.h>
#include <wakeward/Instant.h>

namespace wakeward::test {

// An instant written as UTC date and time, so that expectations do not depend on the
// conversions under test.
inline Instant utc(int year, int month, int day, int hour, int minute, int second = 0) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return Instant::fromUnix(static_cast<double>(timegm(&fields)));
}

// The calendar of a named zone; a zone the machine lacks fails the test.
inline Calendar zone(const char* id) {
    auto calendar = Calendar::forZone(id);
    EXPECT_TRUE(calendar.ok()) << id;
    return std::move(calendar).value();
}

} // namespace wakeward::test
