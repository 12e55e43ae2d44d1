#include "ui/LocalTime.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>
#include <algorithm>
#include <cmath>

namespace wakeward {

namespace {

QTimeZone zoneOf(const Calendar& calendar) {
    QTimeZone zone(QByteArray::fromStdString(calendar.zoneId()));
    return zone.isValid() ? zone : QTimeZone::systemTimeZone();
}

QDateTime inZone(Instant instant, const Calendar& calendar) {
    // Stored instants are not range-checked; keep the conversion to milliseconds defined.
    const double seconds =
        std::isfinite(instant.unix()) ? std::clamp(instant.unix(), -1e12, 1e12) : 0.0;
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(seconds * 1000.0)),
                                          zoneOf(calendar));
}

QString fourDigitYears(QString format) {
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

// The editors set hours and minutes only; some locales' short forms carry seconds.
QString withoutSeconds(QString format) {
    static const QRegularExpression seconds(QStringLiteral("[:.]?s+"));
    return format.remove(seconds).trimmed();
}

} // namespace

QDateTime localFields(Instant instant, const Calendar& calendar) {
    const QDateTime local = inZone(instant, calendar);
    return QDateTime(local.date(), local.time(), QTimeZone::utc());
}

Instant fromLocalFields(const QDateTime& fields, const Calendar& calendar) {
    const QDateTime local(fields.date(), fields.time(), zoneOf(calendar));
    return Instant::fromUnix(static_cast<double>(local.toMSecsSinceEpoch()) / 1000.0);
}

QString shortDateTime(Instant instant, const Calendar& calendar) {
    return QLocale::system().toString(inZone(instant, calendar), QLocale::ShortFormat);
}

QString shortTime(Instant instant, const Calendar& calendar) {
    return QLocale::system().toString(inZone(instant, calendar).time(), QLocale::ShortFormat);
}

QString shortDateTimeEditFormat() {
    return withoutSeconds(fourDigitYears(QLocale::system().dateTimeFormat(QLocale::ShortFormat)));
}

QString shortTimeEditFormat() {
    return withoutSeconds(QLocale::system().timeFormat(QLocale::ShortFormat));
}

} // namespace wakeward
