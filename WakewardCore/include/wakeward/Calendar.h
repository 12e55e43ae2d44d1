#pragma once

#include <wakeward/Instant.h>
#include <wakeward/Result.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace wakeward {

// The Gregorian calendar of one time zone, with its daylight-saving rules: reads local
// wall-clock fields of instants and finds instants of wall-clock times. Immutable and
// cheap to copy. Readings give none only for instants the calendar cannot represent.
class Calendar {
public:
    // The calendar of the zone with this IANA identifier, for example "Europe/Berlin".
    static Result<Calendar> forZone(std::string_view zoneId);

    // The identifier of the zone, for example "Europe/Berlin".
    std::string zoneId() const;

    // Hour times 60 plus minute of the local time, 0 to 1439; seconds are dropped.
    std::optional<int> minuteOfDay(Instant instant) const;

    // The local weekday, 1 = Sunday to 7 = Saturday.
    std::optional<int> weekday(Instant instant) const;

    // The same local time one calendar day earlier (a daylight-saving change between
    // the two days moves the instant by 23 or 25 hours, not 24).
    std::optional<Instant> dayBefore(Instant instant) const;

    // The first instant strictly after `after` at which the local clock shows
    // hour:minute:00. A time that a daylight-saving gap skips gives the first moment after
    // the gap; a time that occurs twice gives its first occurrence still ahead.
    std::optional<Instant> nextOccurrence(int hour, int minute, Instant after) const;

    // The ICU state; defined in the library's sources only.
    struct Impl;

private:
    explicit Calendar(std::shared_ptr<const Impl> impl) : m_impl(std::move(impl)) {}
    friend Calendar currentCalendar();

    std::shared_ptr<const Impl> m_impl;
};

} // namespace wakeward
