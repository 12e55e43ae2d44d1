#include "ZoneFixtures.h"

#include <gtest/gtest.h>
#include <vector>
#include <wakeward/Calendar.h>
#include <wakeward/Records.h>

using namespace wakeward;
using test::utc;
using test::zone;

namespace {

// A weekly window; `start` and `end` count only by their local hour and minute.
Schedule weekly(Instant start, Instant end, std::vector<std::int64_t> weekdays) {
    Schedule schedule(start);
    schedule.enabled = true;
    schedule.end = end;
    schedule.weekdays = std::move(weekdays);
    return schedule;
}

} // namespace

// 09:00 to 17:00, Monday to Friday, Berlin in winter (UTC+1). The start carries seconds,
// which do not count.
TEST(Schedule, WindowWithinOneDay) {
    const Calendar berlin = zone("Europe/Berlin");
    Schedule schedule = weekly(utc(2020, 6, 3, 7, 0, 45), utc(2020, 6, 3, 15, 0), {2, 3, 4, 5, 6});
    EXPECT_TRUE(schedule.contains(utc(2024, 1, 8, 8, 0, 10), berlin));   // Monday 09:00:10
    EXPECT_FALSE(schedule.contains(utc(2024, 1, 8, 7, 59, 59), berlin)); // Monday 08:59:59
    EXPECT_TRUE(schedule.contains(utc(2024, 1, 8, 15, 59, 59), berlin)); // Monday 16:59:59
    EXPECT_FALSE(schedule.contains(utc(2024, 1, 8, 16, 0), berlin));     // Monday 17:00
    EXPECT_FALSE(schedule.contains(utc(2024, 1, 13, 9, 0), berlin));     // Saturday 10:00
    schedule.enabled = false;
    EXPECT_FALSE(schedule.contains(utc(2024, 1, 8, 10, 0), berlin));
}

// 22:00 to 06:00 with only Friday: the early morning belongs to Friday's window.
TEST(Schedule, WindowAcrossMidnight) {
    const Calendar tokyo = zone("Asia/Tokyo");
    const Schedule schedule = weekly(utc(2020, 1, 1, 13, 0), utc(2020, 1, 1, 21, 0), {6});
    EXPECT_TRUE(schedule.contains(utc(2024, 1, 12, 14, 30), tokyo));  // Friday 23:30
    EXPECT_TRUE(schedule.contains(utc(2024, 1, 12, 20, 59), tokyo));  // Saturday 05:59
    EXPECT_FALSE(schedule.contains(utc(2024, 1, 12, 21, 0), tokyo));  // Saturday 06:00
    EXPECT_FALSE(schedule.contains(utc(2024, 1, 11, 20, 0), tokyo));  // Friday 05:00
    EXPECT_FALSE(schedule.contains(utc(2024, 1, 13, 14, 30), tokyo)); // Saturday 23:30
    EXPECT_FALSE(schedule.contains(utc(2024, 1, 12, 12, 0), tokyo));  // Friday 21:00
}

TEST(Schedule, EmptyWindowsAndWeekdayLists) {
    const Calendar tokyo = zone("Asia/Tokyo");
    const Instant mondayNoon = utc(2024, 1, 8, 3, 0);
    // Same hour and minute on different days is empty, not a whole day.
    EXPECT_FALSE(weekly(utc(2020, 1, 1, 1, 0), utc(2020, 1, 5, 1, 0, 30), {1, 2, 3, 4, 5, 6, 7})
                     .contains(mondayNoon, tokyo));
    const Instant nine = utc(2020, 1, 1, 0, 0);
    const Instant five = utc(2020, 1, 1, 8, 0);
    EXPECT_FALSE(weekly(nine, five, {}).contains(mondayNoon, tokyo));
    EXPECT_FALSE(weekly(nine, five, {0, 8, -1, 9}).contains(mondayNoon, tokyo));
    EXPECT_TRUE(weekly(nine, five, {9, 2, 2, 0}).contains(mondayNoon, tokyo));
    // Overnight 17:00-09:00: an empty list empties both parts.
    EXPECT_FALSE(weekly(five, nine, {}).contains(utc(2024, 1, 8, 10, 0), tokyo)); // Monday 19:00
    EXPECT_FALSE(weekly(five, nine, {}).contains(utc(2024, 1, 7, 23, 0), tokyo)); // Monday 08:00
    EXPECT_TRUE(weekly(five, nine, {1}).contains(utc(2024, 1, 7, 23, 0), tokyo));
}

// One-off windows compare absolute instants and ignore the weekdays.
TEST(Schedule, OneOffWindow) {
    const Calendar berlin = zone("Europe/Berlin");
    Schedule schedule = weekly(utc(2024, 1, 8, 9, 0), utc(2024, 1, 10, 9, 0), {});
    schedule.recurring = false;
    EXPECT_TRUE(schedule.contains(utc(2024, 1, 9, 2, 0), berlin)); // Tuesday 03:00
    EXPECT_TRUE(schedule.contains(schedule.start, berlin));
    EXPECT_FALSE(schedule.contains(schedule.end, berlin));
    EXPECT_FALSE(schedule.contains(schedule.start - 0.001, berlin));
    schedule.weekdays = {1};
    EXPECT_TRUE(schedule.contains(utc(2024, 1, 9, 2, 0), berlin));
    std::swap(schedule.start, schedule.end);
    EXPECT_FALSE(schedule.contains(utc(2024, 1, 9, 2, 0), berlin));
}

// Clocks go forward in Berlin on 31 March 2024 (02:00 CET to 03:00 CEST) and back on
// 27 October 2024 (03:00 CEST to 02:00 CET).
TEST(Schedule, BerlinGapAndRepeatedHour) {
    const Calendar berlin = zone("Europe/Berlin");
    const Instant two = utc(2020, 1, 1, 1, 0);   // 02:00 CET
    const Instant three = utc(2020, 1, 1, 2, 0); // 03:00 CET
    const Schedule skipped = weekly(two, three, {1});
    EXPECT_FALSE(skipped.contains(utc(2024, 3, 31, 0, 59, 59), berlin)); // 01:59:59 CET
    EXPECT_FALSE(skipped.contains(utc(2024, 3, 31, 1, 0), berlin));      // 03:00 CEST
    EXPECT_TRUE(skipped.contains(utc(2024, 4, 7, 0, 30), berlin));       // next Sunday 02:30 CEST
    // Both passes through 02:00-03:00 count: two hours of real time.
    EXPECT_FALSE(skipped.contains(utc(2024, 10, 26, 23, 59), berlin)); // 01:59 CEST
    EXPECT_TRUE(skipped.contains(utc(2024, 10, 27, 0, 0), berlin));    // 02:00 CEST
    EXPECT_TRUE(skipped.contains(utc(2024, 10, 27, 1, 30), berlin));   // 02:30 CET
    EXPECT_FALSE(skipped.contains(utc(2024, 10, 27, 2, 0), berlin));   // 03:00 CET

    const Schedule untilHalfPast =
        weekly(utc(2020, 1, 1, 0, 0), utc(2020, 1, 1, 1, 30), {1});       // 01:00-02:30
    EXPECT_TRUE(untilHalfPast.contains(utc(2024, 3, 31, 0, 59), berlin)); // 01:59 CET
    EXPECT_FALSE(untilHalfPast.contains(utc(2024, 3, 31, 1, 0), berlin)); // 03:00 CEST
}

// The early-morning part is matched against the previous calendar day, not 24 hours back.
TEST(Schedule, OvernightWindowAcrossDaylightSaving) {
    const Calendar newYork = zone("America/New_York");
    const Instant ten = utc(2020, 1, 2, 3, 0);  // 22:00 EST
    const Instant six = utc(2020, 1, 2, 11, 0); // 06:00 EST
    const Schedule saturday = weekly(ten, six, {7});
    EXPECT_TRUE(saturday.contains(utc(2024, 3, 10, 3, 0), newYork));   // Saturday 22:00 EST
    EXPECT_TRUE(saturday.contains(utc(2024, 3, 10, 9, 59), newYork));  // Sunday 05:59 EDT
    EXPECT_FALSE(saturday.contains(utc(2024, 3, 10, 10, 0), newYork)); // Sunday 06:00 EDT
    // Monday 00:30 EDT: 24 hours earlier is still Saturday evening, but the day before is Sunday.
    const Instant mondayEarly = utc(2024, 3, 11, 4, 30);
    EXPECT_FALSE(saturday.contains(mondayEarly, newYork));
    EXPECT_TRUE(weekly(ten, six, {1}).contains(mondayEarly, newYork));
}
