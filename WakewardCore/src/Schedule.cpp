#include <wakeward/Calendar.h>
#include <wakeward/Records.h>

#include <algorithm>

namespace wakeward {

bool Schedule::contains(Instant date, const Calendar& calendar) const {
    if (!enabled)
        return false;
    if (!recurring)
        return start <= date && date < end;

    const auto s = calendar.minuteOfDay(start);
    const auto e = calendar.minuteOfDay(end);
    const auto n = calendar.minuteOfDay(date);
    const auto w = calendar.weekday(date);
    if (!s || !e || !n || !w || *s == *e)
        return false;
    const auto selected = [this](int weekday) {
        return std::find(weekdays.begin(), weekdays.end(), weekday) != weekdays.end();
    };
    if (*s < *e)
        return selected(*w) && *s <= *n && *n < *e;

    // Across midnight: the evening part belongs to the day the window starts, the
    // early-morning part to the previous day's window.
    if (*n >= *s)
        return selected(*w);
    if (*n < *e) {
        const auto dayBefore = calendar.dayBefore(date);
        const auto v = dayBefore ? calendar.weekday(*dayBefore) : std::nullopt;
        return v && selected(*v);
    }
    return false;
}

} // namespace wakeward
