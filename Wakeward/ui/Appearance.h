#pragma once

#include <QString>

class QPalette;

namespace wakeward {

// The stored "appearance" preference; "system" until one is chosen.
QString storedAppearance();
void storeAppearance(const QString& appearance);

// Applies the "appearance" preference ("light", "dark", anything else follows the system)
// to the whole application: every window, alert, drop-down list and file dialog.
void applyAppearance(const QString& appearance);

// The palette with secondary text, links and selections made readable (4.5:1) on the
// window, the fields, the cards and the sidebar.
QPalette readablePalette(QPalette palette);

} // namespace wakeward
