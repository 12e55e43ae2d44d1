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

// Whether weekly windows hold an instant; start and end count only by their local hour and
// minute.
TEST(Schedule, WeeklyWindows) {
    const Calendar berlin = zone("Europe/Berlin");
    const Calendar tokyo = zone("Asia/Tokyo");
    const Calendar newYork = zone("America/New_York");
    // 09:00 to 17:00 in Berlin winter time (UTC+1), Monday to Friday; the start's seconds do not
    // count. Disabled, it holds nothing.
    const Schedule office =
        weekly(utc(2020, 6, 3, 7, 0, 45), utc(2020, 6, 3, 15, 0), {2, 3, 4, 5, 6});
    Schedule officeOff = office;
    officeOff.enabled = false;
    // Tokyo 22:00 to 06:00, only Friday: the early morning belongs to Friday's window.
    const Schedule friday = weekly(utc(2020, 1, 1, 13, 0), utc(2020, 1, 1, 21, 0), {6});
    // Berlin on Sundays, 02:00 to 03:00 and 01:00 to 02:30. Clocks go forward on 31 March 2024
    // (02:00 CET to 03:00 CEST) and back on 27 October 2024 (03:00 CEST to 02:00 CET).
    const Schedule twoToThree = weekly(utc(2020, 1, 1, 1, 0), utc(2020, 1, 1, 2, 0), {1});
    const Schedule untilHalfPast = weekly(utc(2020, 1, 1, 0, 0), utc(2020, 1, 1, 1, 30), {1});
    // New York 22:00 to 06:00 EST, Saturday or Sunday: the early-morning part is matched against
    // the previous calendar day, not 24 hours back.
    const Instant ten = utc(2020, 1, 2, 3, 0);
    const Instant six = utc(2020, 1, 2, 11, 0);
    const Schedule saturday = weekly(ten, six, {7});
    const Schedule sunday = weekly(ten, six, {1});
    const Instant mondayEarly = utc(2024, 3, 11, 4, 30); // 00:30 EDT; 24 hours back is Saturday
    const std::tuple<const Schedule*, const Calendar*, Instant, bool> cases[] = {
        {&office, &berlin, utc(2024, 1, 8, 8, 0, 10), true},        // Monday 09:00:10
        {&office, &berlin, utc(2024, 1, 8, 7, 59, 59), false},      // Monday 08:59:59
        {&office, &berlin, utc(2024, 1, 8, 15, 59, 59), true},      // Monday 16:59:59
        {&office, &berlin, utc(2024, 1, 8, 16, 0), false},          // Monday 17:00
        {&office, &berlin, utc(2024, 1, 13, 9, 0), false},          // Saturday 10:00
        {&officeOff, &berlin, utc(2024, 1, 8, 10, 0), false},       // Monday 11:00
        {&friday, &tokyo, utc(2024, 1, 12, 14, 30), true},          // Friday 23:30
        {&friday, &tokyo, utc(2024, 1, 12, 20, 59), true},          // Saturday 05:59
        {&friday, &tokyo, utc(2024, 1, 12, 21, 0), false},          // Saturday 06:00
        {&friday, &tokyo, utc(2024, 1, 11, 20, 0), false},          // Friday 05:00
        {&friday, &tokyo, utc(2024, 1, 13, 14, 30), false},         // Saturday 23:30
        {&friday, &tokyo, utc(2024, 1, 12, 12, 0), false},          // Friday 21:00
        {&twoToThree, &berlin, utc(2024, 3, 31, 0, 59, 59), false}, // 01:59:59 CET
        {&twoToThree, &berlin, utc(2024, 3, 31, 1, 0), false},      // 03:00 CEST
        {&twoToThree, &berlin, utc(2024, 4, 7, 0, 30), true},       // next Sunday 02:30 CEST
        // Both passes through 02:00-03:00 count: two hours of real time.
        {&twoToThree, &berlin, utc(2024, 10, 26, 23, 59), false}, // 01:59 CEST
        {&twoToThree, &berlin, utc(2024, 10, 27, 0, 0), true},    // 02:00 CEST
        {&twoToThree, &berlin, utc(2024, 10, 27, 1, 30), true},   // 02:30 CET
        {&twoToThree, &berlin, utc(2024, 10, 27, 2, 0), false},   // 03:00 CET
        {&untilHalfPast, &berlin, utc(2024, 3, 31, 0, 59), true}, // 01:59 CET
        {&untilHalfPast, &berlin, utc(2024, 3, 31, 1, 0), false}, // 03:00 CEST
        {&saturday, &newYork, utc(2024, 3, 10, 3, 0), true},      // Saturday 22:00 EST
        {&saturday, &newYork, utc(2024, 3, 10, 9, 59), true},     // Sunday 05:59 EDT
        {&saturday, &newYork, utc(2024, 3, 10, 10, 0), false},    // Sunday 06:00 EDT
        {&saturday, &newYork, mondayEarly, false},
        {&sunday, &newYork, mondayEarly, true},
    };
    for (const auto& [schedule, calendar, at, inside] : cases)
        EXPECT_EQ(schedule->contains(at, *calendar), inside)
            << calendar->zoneId() << ' ' << at.unix() << ' ' << schedule->weekdays.front();
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
