#include "ui/Appearance.h"

#include <QApplication>
#include <QPalette>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

namespace wakeward {

namespace {

const QString appearanceKey = QStringLiteral("appearance");

QPalette darkPalette() {
    QPalette palette;
    const QColor window(0x2b, 0x2d, 0x31);
    const QColor base(0x1e, 0x1f, 0x22);
    const QColor text(0xe8, 0xe8, 0xea);
    const QColor disabled(0x80, 0x80, 0x86);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabled);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Link, QColor(0x6c, 0xa8, 0xff));
    palette.setColor(QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabled);
    return palette;
}

} // namespace

QString storedAppearance() {
    return QSettings().value(appearanceKey, QStringLiteral("system")).toString();
}

void storeAppearance(const QString& appearance) {
    QSettings().setValue(appearanceKey, appearance);
}

void applyAppearance(QWidget& window, const QString& appearance) {
    static const QString systemStyle = QApplication::style()->name();
    if (appearance == QLatin1String("light") || appearance == QLatin1String("dark")) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        window.setPalette(appearance == QLatin1String("dark") ? darkPalette()
                                                                : QApplication::style()->standardPalette());
        return;
    }
    if (QApplication::style()->name() != systemStyle)
        QApplication::setStyle(QStyleFactory::create(systemStyle));
    window.setPalette(QPalette());
}

} // namespace wakeward
