#pragma once

#include <QString>

class QWidget;

namespace wakeward {

// Applies the "appearance" preference ("light", "dark", anything else follows the system)
// to the main window.
void applyAppearance(QWidget& window, const QString& appearance);

} // namespace wakeward
