#include "ui/Icons.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>

// The icons are compiled into this static library; make sure the linker keeps them.
static void initIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace wakeward {

namespace {

void ensureResources() {
    static const bool done = (initIconResources(), true);
    (void)done;
}

QString symbolPath(const QString& name) {
    return QStringLiteral(":/icons/symbols/") + name + QStringLiteral(".svg");
}

// Re-tints a widget's symbol whenever its palette changes.
class SymbolTint : public QObject {
public:
    SymbolTint(QWidget* widget, QString name, int size)
        : QObject(widget), m_name(std::move(name)), m_size(size) {
        // A widget shows one symbol: a new one replaces the old.
        for (QObject* old : widget->findChildren<QObject*>(tintName(), Qt::FindDirectChildrenOnly))
            delete old;
        setObjectName(tintName());
        widget->installEventFilter(this);
        apply(widget);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::PaletteChange || event->type() == QEvent::EnabledChange)
            apply(static_cast<QWidget*>(watched));
        return false;
    }

    static QString tintName() { return QStringLiteral("wakeward-symbol-tint"); }

private:
    void apply(QWidget* widget) {
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            button->setIcon(symbolIcon(
                m_name, widget->palette().color(QPalette::Active, QPalette::ButtonText)));
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            const QPalette::ColorGroup group =
                widget->isEnabled() ? QPalette::Active : QPalette::Disabled;
            label->setPixmap(symbolPixmap(m_name, m_size,
                                          widget->palette().color(group, label->foregroundRole()),
                                          widget->devicePixelRatioF()));
        }
    }

    QString m_name;
    int m_size;
};

} // namespace

QIcon stateIcon(bool active) {
    ensureResources();
    return QIcon(active ? QStringLiteral(":/icons/org.fenmarch.Wakeward-active.svg")
                        : QStringLiteral(":/icons/org.fenmarch.Wakeward-idle.svg"));
}

QIcon appIcon() {
    ensureResources();
    return QIcon::fromTheme(QStringLiteral("org.fenmarch.Wakeward"),
                            QIcon(QStringLiteral(":/icons/org.fenmarch.Wakeward.svg")));
}

bool hasAppIcon() {
    return !appIcon().pixmap(QSize(32, 32)).isNull();
}

QPixmap symbolPixmap(const QString& name, int size, const QColor& color, qreal pixelRatio) {
    ensureResources();
    const QString path = symbolPath(name);
    if (!QFile::exists(path))
        return {};
    QPixmap pixmap = QIcon(path).pixmap(QSize(size, size), pixelRatio);
    if (pixmap.isNull())
        return pixmap;
    // The shipped drawings are black; paint the colour through their shape.
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(QPoint(0, 0), pixmap.size()), color);
    return pixmap;
}

QIcon symbolIcon(const QString& name, const QColor& color) {
    QIcon icon;
    QColor dimmed = color;
    dimmed.setAlphaF(0.4f);
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    for (int size : {16, 20, 24, 32}) {
        icon.addPixmap(symbolPixmap(name, size, color, ratio), QIcon::Normal);
        icon.addPixmap(symbolPixmap(name, size, dimmed, ratio), QIcon::Disabled);
    }
    return icon;
}

void setSymbol(QAbstractButton* button, const QString& name) {
    new SymbolTint(button, name, 0);
}

void setSymbol(QLabel* label, const QString& name, int size) {
    new SymbolTint(label, name, size);
}

} // namespace wakeward
