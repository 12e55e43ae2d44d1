#include "CalendarImpl.h"

#include <wakeward/CurrentCalendar.h>

namespace wakeward {

Calendar currentCalendar() {
    // Not TimeZone::createDefault(): ICU caches the default zone for the whole process.
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::detectHostTimeZone());
    auto impl = zone ? Calendar::Impl::make(*zone) : nullptr;
    if (!impl)
        impl = Calendar::Impl::make(*icu::TimeZone::getGMT());
    return Calendar(std::move(impl));
}

} // namespace wakeward
