#include "ui/FenmarchProductArtwork.h"

#include "ui/Icons.h"

namespace wakeward {

FenmarchProductArtwork::FenmarchProductArtwork(const QString& name, const QString& symbol, int size,
                                               QWidget* parent)
    : QLabel(parent), m_name(name), m_symbol(symbol) {
    setFixedSize(size, size);
    setAlignment(Qt::AlignCenter);
    setAccessibleName(name + QStringLiteral(" app icon"));
    const QPixmap icon = appIcon().pixmap(QSize(size, size), devicePixelRatioF());
    m_showsIcon = !icon.isNull();
    if (m_showsIcon)
        setPixmap(icon);
    else
        setSymbol(this, symbol, size * 3 / 4);
}

} // namespace wakeward
