#pragma once

#include <functional>
#include <wakeward/Calendar.h>
#include <wakeward/CurrentCalendar.h>
#include <wakeward/Instant.h>

namespace wakeward {

// The calendar and the wall clock that the views show times in; tests pass the controller's
// fake ones, so that what is shown agrees with what the controller computed.
struct TimeSource {
    std::function<Calendar()> calendar = [] { return currentCalendar(); };
    std::function<Instant()> now = [] { return Instant::now(); };
};

} // namespace wakeward
