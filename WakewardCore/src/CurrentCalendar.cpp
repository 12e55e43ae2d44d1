#include "CalendarImpl.h"

#include <wakeward/CurrentCalendar.h>

#include <mutex>

namespace wakeward {

Calendar currentCalendar() {
    // Not TimeZone::createDefault(): ICU caches the default zone for the whole process, and the
    // user may change zones while the app runs.
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::detectHostTimeZone());
    if (!zone)
        zone.reset(icu::TimeZone::getGMT()->clone());

    // Building a calendar reads the locale's week data; the zone rarely changes between calls,
    // so the last calendar is kept for as long as the host stays in its zone.
    static std::mutex mutex;
    static std::unique_ptr<icu::TimeZone> lastZone;
    static std::shared_ptr<const Calendar::Impl> lastImpl;
    std::lock_guard lock(mutex);
    if (lastImpl && lastZone && *lastZone == *zone)
        return Calendar(lastImpl);

    auto impl = Calendar::Impl::make(*zone);
    if (!impl) {
        zone.reset(icu::TimeZone::getGMT()->clone());
        impl = Calendar::Impl::make(*zone);
    }
    lastZone = std::move(zone);
    lastImpl = impl;
    return Calendar(std::move(impl));
}

} // namespace wakeward
