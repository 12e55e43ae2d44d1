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

TEST(Calendar, ZonesByIdentifier) {
    EXPECT_EQ(zone("Europe/Berlin").zoneId(), "Europe/Berlin");
    const auto unknown = Calendar::forZone("Mars/Olympus_Mons");
    ASSERT_FALSE(unknown.ok());
    EXPECT_NE(unknown.error().description.find("Mars/Olympus_Mons"), std::string::npos);
    EXPECT_FALSE(Calendar::forZone("").ok());
}

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

// Instants the calendar cannot represent give none rather than a pinned reading.
TEST(Calendar, UnrepresentableInstants) {
    const Calendar tokyo = zone("Asia/Tokyo");
    EXPECT_EQ(tokyo.minuteOfDay(Instant{1e300}), std::nullopt);
    EXPECT_EQ(tokyo.weekday(Instant{-1e300}), std::nullopt);
    EXPECT_EQ(tokyo.dayBefore(Instant{std::numeric_limits<double>::quiet_NaN()}), std::nullopt);
    EXPECT_EQ(tokyo.nextOccurrence(10, 0, Instant{std::numeric_limits<double>::infinity()}),
              std::nullopt);
    EXPECT_EQ(tokyo.nextOccurrence(24, 0, utc(2024, 1, 1, 0, 0)), std::nullopt);
    EXPECT_EQ(tokyo.nextOccurrence(10, 60, utc(2024, 1, 1, 0, 0)), std::nullopt);
}

// The day before keeps the wall-clock time, so across a change it is 23 or 25 hours back.
TEST(Calendar, DayBeforeAcrossDaylightSaving) {
    const Calendar newYork = zone("America/New_York");
    const Instant sundayNoon = utc(2024, 3, 10, 16, 0); // 12:00 EDT, the day clocks go forward
    EXPECT_EQ(newYork.dayBefore(sundayNoon), utc(2024, 3, 9, 17, 0)); // 12:00 EST
    EXPECT_EQ(newYork.weekday(*newYork.dayBefore(sundayNoon)), 7);
    const Instant mondayEarly = utc(2024, 3, 11, 4, 30); // 00:30 EDT; 24 hours back is Saturday
    EXPECT_EQ(newYork.dayBefore(mondayEarly), utc(2024, 3, 10, 5, 30)); // Sunday 00:30 EST
}

TEST(NextClock, TodayWhileAheadOtherwiseTomorrow) {
    const Calendar tokyo = zone("Asia/Tokyo");
    // 14:30:42 +09:00 on another day: only 14:30 counts.
    const Instant clock = utc(2019, 6, 1, 5, 30, 42);
    const Instant today = utc(2024, 5, 14, 5, 30); // 14:30 +09:00
    EXPECT_EQ(Engine::nextClock(clock, today - 1, tokyo), today);
    EXPECT_EQ(Engine::nextClock(clock, today, tokyo), today + 86400);
    EXPECT_EQ(Engine::nextClock(clock, today + 20, tokyo), today + 86400);
    EXPECT_EQ(Engine::nextClock(clock, today + 59.999, tokyo), today + 86400);
    // Across midnight, the end of a month and of a year: 00:15 CET on New Year's Day.
    const Calendar berlin = zone("Europe/Berlin");
    EXPECT_EQ(Engine::nextClock(utc(2019, 1, 14, 23, 15), // 00:15 CET
                                utc(2024, 12, 31, 22, 50), berlin),
              utc(2024, 12, 31, 23, 15));
    EXPECT_EQ(Engine::nextClock(utc(2019, 1, 15, 22, 59), // 23:59 CET
                                utc(2024, 2, 29, 23, 0), berlin),
              utc(2024, 3, 1, 22, 59));
}

// A clock time inside the gap gives the first moment after the gap.
TEST(NextClock, DaylightSavingGap) {
    const Calendar newYork = zone("America/New_York");
    const Instant twoThirty = utc(2019, 1, 15, 7, 30, 42); // 02:30 EST
    EXPECT_EQ(Engine::nextClock(twoThirty, utc(2024, 3, 10, 5, 0), newYork),
              utc(2024, 3, 10, 7, 0)); // 03:00 EDT
    // From the end of the gap on, the next one is the next day's.
    EXPECT_EQ(Engine::nextClock(twoThirty, utc(2024, 3, 10, 7, 0), newYork),
              utc(2024, 3, 11, 6, 30));
    const Calendar berlin = zone("Europe/Berlin");
    EXPECT_EQ(Engine::nextClock(utc(2019, 1, 15, 1, 30), // 02:30 CET
                                utc(2024, 3, 30, 23, 0), berlin),
              utc(2024, 3, 31, 1, 0)); // 03:00 CEST
    const Calendar lordHowe = zone("Australia/Lord_Howe");
    EXPECT_EQ(Engine::nextClock(utc(2019, 1, 14, 15, 15), // 02:15 +11:00
                                utc(2024, 10, 5, 13, 30), lordHowe),
              utc(2024, 10, 5, 15, 30)); // 02:30 +11:00
    // A time just outside the gap is unaffected.
    EXPECT_EQ(Engine::nextClock(utc(2019, 1, 14, 14, 59), // 01:59 +11:00
                                utc(2024, 10, 5, 13, 30), lordHowe),
              utc(2024, 10, 5, 15, 29));
}

// A repeated clock time gives its first occurrence; once that has passed, the second.
TEST(NextClock, RepeatedHour) {
    const Calendar newYork = zone("America/New_York");
    const Instant oneThirty = utc(2019, 1, 15, 6, 30); // 01:30 EST
    const Instant first = utc(2024, 11, 3, 5, 30);     // 01:30 EDT
    const Instant second = utc(2024, 11, 3, 6, 30);    // 01:30 EST
    EXPECT_EQ(Engine::nextClock(oneThirty, utc(2024, 11, 3, 4, 0), newYork), first);
    EXPECT_EQ(Engine::nextClock(oneThirty, first - 1, newYork), first);
    EXPECT_EQ(Engine::nextClock(oneThirty, first, newYork), second);
    EXPECT_EQ(Engine::nextClock(oneThirty, utc(2024, 11, 3, 6, 10), newYork), second); // 01:10 EST
    EXPECT_EQ(Engine::nextClock(oneThirty, second, newYork), utc(2024, 11, 4, 6, 30));

    const Calendar lordHowe = zone("Australia/Lord_Howe");
    const Instant clock = utc(2019, 1, 14, 14, 45); // 01:45 +11:00
    EXPECT_EQ(Engine::nextClock(clock, utc(2024, 4, 6, 13, 0), lordHowe),
              utc(2024, 4, 6, 14, 45)); // +11:00
    EXPECT_EQ(Engine::nextClock(clock, utc(2024, 4, 6, 14, 50), lordHowe),
              utc(2024, 4, 6, 15, 15)); // +10:30
}

// The host zone is read afresh on every call, not cached for the process.
TEST(CurrentCalendar, FollowsTheHostZone) {
    const char* saved = std::getenv("TZ");
    const std::optional<std::string> previous =
        saved ? std::optional<std::string>(saved) : std::nullopt;
    setenv("TZ", "Asia/Tokyo", 1);
    EXPECT_EQ(currentCalendar().zoneId(), "Asia/Tokyo");
    setenv("TZ", "America/New_York", 1);
    const Calendar calendar = currentCalendar();
    EXPECT_EQ(calendar.zoneId(), "America/New_York");
    EXPECT_EQ(calendar.minuteOfDay(utc(2024, 7, 1, 16, 0)), 12 * 60);
    if (previous)
        setenv("TZ", previous->c_str(), 1);
    else
        unsetenv("TZ");
}
