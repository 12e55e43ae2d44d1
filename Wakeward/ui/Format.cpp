#include "ui/Format.h"

#include <cmath>

namespace wakeward {

QString countdownText(double secondsLeft) {
    // Round up so that the display reaches 0:00 only when the deadline has passed.
    const auto total = static_cast<long long>(std::ceil(std::max(0.0, secondsLeft)));
    const long long hours = total / 3600;
    const long long minutes = (total % 3600) / 60;
    const long long seconds = total % 60;
    if (hours > 0)
        return QStringLiteral("%1:%2:%3").arg(hours).arg(minutes, 2, 10, QLatin1Char('0')).arg(seconds, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(minutes).arg(seconds, 2, 10, QLatin1Char('0'));
}

} // namespace wakeward
