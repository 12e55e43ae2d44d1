#pragma once

#include <QDateTime>
#include <QString>
#include <wakeward/Calendar.h>
#include <wakeward/Instant.h>

namespace wakeward {

// The wall-clock date and time that `instant` shows in the calendar's time zone, as plain
// fields (a UTC date-time whose fields are the local ones), for the date and time editors.
QDateTime localFields(Instant instant, const Calendar& calendar);

// The instant at which the calendar's wall clock shows `fields` (read as plain fields); a
// time that a daylight-saving gap skips moves forward across the gap.
Instant fromLocalFields(const QDateTime& fields, const Calendar& calendar);

// The platform's short date-and-time and short time forms of an instant, in the calendar's
// time zone.
QString shortDateTime(Instant instant, const Calendar& calendar);
QString shortTime(Instant instant, const Calendar& calendar);

// The locale's short formats for editing: hours and minutes without seconds, and four-digit
// years so that editing cannot land in the wrong century.
QString shortDateTimeEditFormat();
QString shortTimeEditFormat();

} // namespace wakeward
