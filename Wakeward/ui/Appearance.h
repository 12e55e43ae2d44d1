#pragma once

#include <QString>

class QWidget;

namespace wakeward {

// The stored "appearance" preference; "system" until one is chosen.
QString storedAppearance();
void storeAppearance(const QString& appearance);

// Applies the "appearance" preference ("light", "dark", anything else follows the system)
// to the main window.
void applyAppearance(QWidget& window, const QString& appearance);

} // namespace wakeward
