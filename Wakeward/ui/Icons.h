#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

class QAbstractButton;
class QLabel;

namespace wakeward {

// The tray symbol: filled while Wakeward holds the machine awake, an outline otherwise.
QIcon stateIcon(bool active);

// The application icon.
QIcon appIcon();

// Whether the application icon can be drawn.
bool hasAppIcon();

// One of the app's small monochrome symbols ("moon.zzz", "gearshape", ...) drawn in `color`;
// a null pixmap for a name that is not shipped.
QPixmap symbolPixmap(const QString& name, int size, const QColor& color, qreal pixelRatio = 1.0);

// The symbol as an icon in `color`, dimmed for the disabled state.
QIcon symbolIcon(const QString& name, const QColor& color);

// Shows the symbol on the button or label in the widget's text colour, and follows later
// palette changes (light and dark appearance).
void setSymbol(QAbstractButton* button, const QString& name);
void setSymbol(QLabel* label, const QString& name, int size);

} // namespace wakeward
