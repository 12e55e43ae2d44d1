#pragma once

#include <QIcon>

namespace wakeward {

// The tray symbol: filled while Wakeward holds the machine awake, an outline otherwise.
QIcon stateIcon(bool active);

// The application icon.
QIcon appIcon();

} // namespace wakeward
