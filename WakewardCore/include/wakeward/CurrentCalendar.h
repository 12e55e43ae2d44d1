#pragma once

#include <wakeward/Calendar.h>

namespace wakeward {

// The calendar of the host's time zone (`TZ`, or /etc/localtime), detected afresh on
// every call so that a change of zone applies at once. The one place that reads it; the
// core's functions take the calendar as an argument.
Calendar currentCalendar();

} // namespace wakeward
