#include "CalendarImpl.h"

#include <wakeward/Engine.h>

#include <cmath>
#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace wakeward {

namespace {

// ICU pins instants beyond its range silently; about ±270,000 years around 1970 is far
// inside it, and anything further out is refused rather than read wrongly.
constexpr double limitMillis = 8.64e15;

std::optional<double> toMillis(Instant instant) {
    const double millis = instant.unix() * 1000.0;
    if (!std::isfinite(millis) || std::fabs(millis) > limitMillis)
        return std::nullopt;
    return millis;
}

Instant fromMillis(double millis) {
    return Instant::fromUnix(millis / 1000.0);
}

std::unique_ptr<icu::Calendar> calendarAt(const std::shared_ptr<const Calendar::Impl>& impl,
                                          Instant instant) {
    const auto millis = toMillis(instant);
    if (!impl || !millis)
        return nullptr;
    std::unique_ptr<icu::Calendar> calendar(impl->prototype->clone());
    if (!calendar)
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(*millis, status);
    if (U_FAILURE(status))
        return nullptr;
    return calendar;
}

// Milliseconds of the local wall clock since the epoch: the instant plus the zone's offset
// then. Reading the time of day and weekday from it is what a calendar does inside, without
// cloning one and computing every other field.
std::optional<double> localMillis(const std::shared_ptr<const Calendar::Impl>& impl, Instant instant) {
    const auto millis = toMillis(instant);
    if (!impl || !millis)
        return std::nullopt;
    int32_t raw = 0;
    int32_t dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    impl->prototype->getTimeZone().getOffset(*millis, false, raw, dst, status);
    if (U_FAILURE(status))
        return std::nullopt;
    return *millis + raw + dst;
}

std::optional<int> field(const icu::Calendar& calendar, UCalendarDateFields which) {
    UErrorCode status = U_ZERO_ERROR;
    const int value = calendar.get(which, status);
    if (U_FAILURE(status))
        return std::nullopt;
    return value;
}

// The instant of a local date and time, with the calendar's choices for skipped and
// repeated wall times; `repeated` picks the first or the last of a repeated time.
std::optional<double> resolve(icu::Calendar& calendar, int extendedYear, int month, int date,
                              int hour, int minute, UCalendarWallTimeOption repeated) {
    calendar.clear();
    calendar.setRepeatedWallTimeOption(repeated);
    calendar.set(UCAL_EXTENDED_YEAR, extendedYear);
    calendar.set(UCAL_MONTH, month);
    calendar.set(UCAL_DATE, date); // lenient: the 32nd of a month is the next month's 1st
    calendar.set(UCAL_HOUR_OF_DAY, hour);
    calendar.set(UCAL_MINUTE, minute);
    calendar.set(UCAL_SECOND, 0);
    calendar.set(UCAL_MILLISECOND, 0);
    UErrorCode status = U_ZERO_ERROR;
    const double millis = calendar.getTime(status);
    if (U_FAILURE(status) || !std::isfinite(millis))
        return std::nullopt;
    return millis;
}

} // namespace

std::shared_ptr<const Calendar::Impl> Calendar::Impl::make(const icu::TimeZone& zone) {
    UErrorCode status = U_ZERO_ERROR;
    auto calendar = std::make_unique<icu::GregorianCalendar>(zone, icu::Locale::getRoot(), status);
    if (U_FAILURE(status))
        return nullptr;
    calendar->setLenient(true);
    calendar->setSkippedWallTimeOption(UCAL_WALLTIME_NEXT_VALID);
    calendar->setRepeatedWallTimeOption(UCAL_WALLTIME_FIRST);
    auto impl = std::make_shared<Impl>();
    impl->prototype = std::move(calendar);
    return impl;
}

Result<Calendar> Calendar::forZone(std::string_view zoneId) {
    const auto id = icu::UnicodeString::fromUTF8(
        icu::StringPiece(zoneId.data(), static_cast<int32_t>(zoneId.size())));
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(id));
    if (!zone || *zone == icu::TimeZone::getUnknown())
        return Error{"Unknown time zone \"" + std::string(zoneId) + "\"."};
    auto impl = Impl::make(*zone);
    if (!impl)
        return Error{"The calendar of the time zone \"" + std::string(zoneId) +
                     "\" is not available."};
    return Calendar(std::move(impl));
}

std::string Calendar::zoneId() const {
    if (!m_impl)
        return {};
    icu::UnicodeString id;
    m_impl->prototype->getTimeZone().getID(id);
    std::string text;
    id.toUTF8String(text);
    return text;
}

std::optional<int> Calendar::minuteOfDay(Instant instant) const {
    const auto local = localMillis(m_impl, instant);
    if (!local)
        return std::nullopt;
    const double minutes = std::floor(*local / 60000.0);
    return static_cast<int>(minutes - 1440.0 * std::floor(minutes / 1440.0));
}

std::optional<int> Calendar::weekday(Instant instant) const {
    const auto local = localMillis(m_impl, instant);
    if (!local)
        return std::nullopt;
    // Day 0 of the Unix epoch was a Thursday (5); weekdays run on unbroken across every
    // calendar reform.
    const double days = std::floor(*local / 86400000.0) + 4.0;
    return static_cast<int>(days - 7.0 * std::floor(days / 7.0)) + 1;
}

std::optional<Instant> Calendar::dayBefore(Instant instant) const {
    const auto calendar = calendarAt(m_impl, instant);
    if (!calendar)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    calendar->add(UCAL_DATE, -1, status);
    const double millis = calendar->getTime(status);
    if (U_FAILURE(status))
        return std::nullopt;
    return fromMillis(millis);
}

std::optional<Instant> Calendar::nextOccurrence(int hour, int minute, Instant after) const {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return std::nullopt;
    const auto afterMillis = toMillis(after);
    const auto calendar = calendarAt(m_impl, after);
    if (!afterMillis || !calendar)
        return std::nullopt;
    const auto year = field(*calendar, UCAL_EXTENDED_YEAR);
    const auto month = field(*calendar, UCAL_MONTH);
    const auto date = field(*calendar, UCAL_DATE);
    if (!year || !month || !date)
        return std::nullopt;
    // Usually today or tomorrow; a few more days cover zones that once skipped a whole day.
    for (int days = 0; days < 7; ++days) {
        for (auto repeated : {UCAL_WALLTIME_FIRST, UCAL_WALLTIME_LAST}) {
            const auto candidate =
                resolve(*calendar, *year, *month, *date + days, hour, minute, repeated);
            if (!candidate)
                return std::nullopt;
            if (*candidate > *afterMillis)
                return fromMillis(*candidate);
        }
    }
    return std::nullopt;
}

std::optional<Instant> Engine::nextClock(Instant clock, Instant now, const Calendar& calendar) {
    const auto minuteOfDay = calendar.minuteOfDay(clock);
    if (!minuteOfDay)
        return std::nullopt;
    return calendar.nextOccurrence(*minuteOfDay / 60, *minuteOfDay % 60, now);
}

} // namespace wakeward
