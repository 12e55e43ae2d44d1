#pragma once

#include <wakeward/Calendar.h>

#include <memory>
#include <unicode/gregocal.h>
#include <unicode/timezone.h>

namespace wakeward {

struct Calendar::Impl {
    // A lenient Gregorian calendar in the zone, set to resolve skipped wall times to the
    // first moment after the gap and repeated ones to their first occurrence. Every
    // operation works on a clone, so the prototype is never changed.
    std::unique_ptr<icu::Calendar> prototype;

    static std::shared_ptr<const Impl> make(const icu::TimeZone& zone);
};

} // namespace wakeward
