#pragma once

#include <QString>

namespace wakeward {

// A live countdown such as "4:05" or "1:02:03"; never negative.
QString countdownText(double secondsLeft);

} // namespace wakeward
