#include "ZoneFixtures.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <string>
#include <unicode/gregocal.h>
#include <unicode/timezone.h>
#include <wakeward/Calendar.h>
#include <wakeward/CurrentCalendar.h>
#include <wakeward/Engine.h>

using namespace wakeward;
using test::utc;
using test::zone;

// Minute of day and weekday are worked out from the zone's offset alone; they must agree with a
// full ICU calendar in zones with half-hour and 45-minute offsets, half-hour daylight saving,
// historical offsets in seconds and a skipped day, before 1970 and after 2038.
TEST(Calendar, FieldsAgreeWithIcuCalendar) {
    for (const char* id :
         {"Europe/Berlin", "America/St_Johns", "Asia/Kathmandu", "Australia/Lord_Howe",
          "Africa/Monrovia", "Pacific/Apia", "America/Los_Angeles"}) {
        const Calendar calendar = zone(id);
        UErrorCode status = U_ZERO_ERROR;
        icu::GregorianCalendar reference(
            icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(id)), status);
        ASSERT_TRUE(U_SUCCESS(status)) << id;
        // Steps of three days and 797 seconds from 1890 to 2110 land on every time of day.
        for (double unix = -2524521600.0; unix < 4417977600.0; unix += 259997.0) {
            const Instant instant = Instant::fromUnix(unix);
            reference.setTime(unix * 1000.0, status);
            const int hour = reference.get(UCAL_HOUR_OF_DAY, status);
            const int minute = reference.get(UCAL_MINUTE, status);
            const int weekday = reference.get(UCAL_DAY_OF_WEEK, status);
            ASSERT_TRUE(U_SUCCESS(status));
            ASSERT_EQ(calendar.minuteOfDay(instant), hour * 60 + minute) << id << ' ' << unix;
            ASSERT_EQ(calendar.weekday(instant), weekday) << id << ' ' << unix;
        }
    }
}

// Instants the calendar cannot represent give none rather than a pinned reading; a zone it does
// not know is refused by name.
TEST(Calendar, UnknownZonesAndUnrepresentableInstants) {
    const auto unknown = Calendar::forZone("Mars/Olympus_Mons");
    ASSERT_FALSE(unknown.ok());
    EXPECT_NE(unknown.error().description.find("Mars/Olympus_Mons"), std::string::npos);
    EXPECT_FALSE(Calendar::forZone("").ok());
    const Calendar tokyo = zone("Asia/Tokyo");
    EXPECT_EQ(tokyo.minuteOfDay(Instant{1e300}), std::nullopt);
    EXPECT_EQ(tokyo.weekday(Instant{-1e300}), std::nullopt);
    EXPECT_EQ(tokyo.dayBefore(Instant{std::numeric_limits<double>::quiet_NaN()}), std::nullopt);
    EXPECT_EQ(tokyo.nextOccurrence(10, 0, Instant{std::numeric_limits<double>::infinity()}),
              std::nullopt);
    EXPECT_EQ(tokyo.nextOccurrence(24, 0, utc(2024, 1, 1, 0, 0)), std::nullopt);
    EXPECT_EQ(tokyo.nextOccurrence(10, 60, utc(2024, 1, 1, 0, 0)), std::nullopt);
}

// Only the clock's hour and minute count: the next one is today's while it is ahead, otherwise
// tomorrow's. A time inside a gap gives the first moment after it; a repeated time gives its
// first occurrence and, once that has passed, the second.
TEST(NextClock, TodayTomorrowGapsAndRepeats) {
    const Calendar tokyo = zone("Asia/Tokyo");
    const Calendar berlin = zone("Europe/Berlin");
    const Calendar newYork = zone("America/New_York");
    const Calendar lordHowe = zone("Australia/Lord_Howe");
    const Instant today = utc(2024, 5, 14, 5, 30);  // 14:30 +09:00
    const Instant first = utc(2024, 11, 3, 5, 30);  // 01:30 EDT
    const Instant second = utc(2024, 11, 3, 6, 30); // 01:30 EST
    const std::tuple<const Calendar*, Instant, Instant, Instant> cases[] = {
        // Tokyo 14:30:42, from just before, at and after today's 14:30.
        {&tokyo, utc(2019, 6, 1, 5, 30, 42), today - 1, today},
        {&tokyo, utc(2019, 6, 1, 5, 30, 42), today, today + 86400},
        {&tokyo, utc(2019, 6, 1, 5, 30, 42), today + 59.999, today + 86400},
        // Berlin 00:15 into New Year's Day, and 23:59 across the end of February.
        {&berlin, utc(2019, 1, 14, 23, 15), utc(2024, 12, 31, 22, 50), utc(2024, 12, 31, 23, 15)},
        {&berlin, utc(2019, 1, 15, 22, 59), utc(2024, 2, 29, 23, 0), utc(2024, 3, 1, 22, 59)},
        // Gaps: New York 02:30 becomes 03:00 EDT, and from then on is the next day's; Berlin
        // 02:30 becomes 03:00 CEST; Lord Howe 02:15 becomes 02:30 +11:00, and 01:59 is unaffected.
        {&newYork, utc(2019, 1, 15, 7, 30, 42), utc(2024, 3, 10, 5, 0), utc(2024, 3, 10, 7, 0)},
        {&newYork, utc(2019, 1, 15, 7, 30, 42), utc(2024, 3, 10, 7, 0), utc(2024, 3, 11, 6, 30)},
        {&berlin, utc(2019, 1, 15, 1, 30), utc(2024, 3, 30, 23, 0), utc(2024, 3, 31, 1, 0)},
        {&lordHowe, utc(2019, 1, 14, 15, 15), utc(2024, 10, 5, 13, 30), utc(2024, 10, 5, 15, 30)},
        {&lordHowe, utc(2019, 1, 14, 14, 59), utc(2024, 10, 5, 13, 30), utc(2024, 10, 5, 15, 29)},
        // Repeats: New York 01:30 on 3 November; Lord Howe 01:45 at +11:00 and then +10:30.
        {&newYork, utc(2019, 1, 15, 6, 30), utc(2024, 11, 3, 4, 0), first},
        {&newYork, utc(2019, 1, 15, 6, 30), first - 1, first},
        {&newYork, utc(2019, 1, 15, 6, 30), first, second},
        {&newYork, utc(2019, 1, 15, 6, 30), utc(2024, 11, 3, 6, 10), second},
        {&newYork, utc(2019, 1, 15, 6, 30), second, utc(2024, 11, 4, 6, 30)},
        {&lordHowe, utc(2019, 1, 14, 14, 45), utc(2024, 4, 6, 13, 0), utc(2024, 4, 6, 14, 45)},
        {&lordHowe, utc(2019, 1, 14, 14, 45), utc(2024, 4, 6, 14, 50), utc(2024, 4, 6, 15, 15)},
    };
    for (const auto& [calendar, clock, from, next] : cases)
        EXPECT_EQ(Engine::nextClock(clock, from, *calendar), next)
            << calendar->zoneId() << ' ' << from.unix();
}

// The host zone is read afresh on every call, not cached for the process.
TEST(CurrentCalendar, FollowsTheHostZone) {
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    setenv("TZ", "Asia/Tokyo", 1);
    EXPECT_EQ(currentCalendar().zoneId(), "Asia/Tokyo");
    setenv("TZ", "America/New_York", 1);
    const Calendar calendar = currentCalendar();
    EXPECT_EQ(calendar.zoneId(), "America/New_York");
    EXPECT_EQ(calendar.minuteOfDay(utc(2024, 7, 1, 16, 0)), 12 * 60);
    if (saved)
        setenv("TZ", previous.c_str(), 1);
    else
        unsetenv("TZ");
}
