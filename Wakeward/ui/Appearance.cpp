#include "ui/Appearance.h"

#include "ui/Widgets.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QProxyStyle>
#include <QSettings>
#include <QStyleFactory>
#include <QStyleOption>
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

// The outline of an unchecked box or radio button: 3:1 against whatever it stands on.
QColor indicatorBorder(const QPalette& palette) {
    const QColor text = palette.color(QPalette::WindowText);
    const QColor base = palette.color(QPalette::Base);
    return withContrast(QColor::fromRgbF((text.redF() + base.redF()) / 2,
                                         (text.greenF() + base.greenF()) / 2,
                                         (text.blueF() + base.blueF()) / 2),
                        text, {base, palette.color(QPalette::Window), cardFill(palette)}, 3.0);
}

// Draws what the stock styles leave too faint: emphasised buttons in their exact accent
// colour, and check boxes and radio buttons with an outline that shows in either appearance.
class ReadableStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        switch (element) {
        case PE_PanelButtonCommand:
            if (widget && isAccented(widget) && (option->state & State_Enabled)) {
                drawAccentedPanel(option, painter);
                return;
            }
            break;
        case PE_IndicatorCheckBox:
            drawIndicator(option, painter, false);
            return;
        case PE_IndicatorRadioButton:
            drawIndicator(option, painter, true);
            return;
        default:
            break;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

private:
    static void drawAccentedPanel(const QStyleOption* option, QPainter* painter) {
        const QRectF area = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
        QColor fill = option->palette.color(QPalette::Button);
        if (option->state & (State_Sunken | State_On))
            fill = fill.darker(115);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(fill.darker(125), 1));
        painter->setBrush(fill);
        painter->drawRoundedRect(area, 4, 4);
        if ((option->state & State_HasFocus) && (option->state & State_KeyboardFocusChange)) {
            painter->setPen(QPen(option->palette.color(QPalette::ButtonText), 1.5));
            painter->setBrush(Qt::NoBrush);
            painter->drawRoundedRect(area.adjusted(2.5, 2.5, -2.5, -2.5), 2.5, 2.5);
        }
        painter->restore();
    }

    static void drawIndicator(const QStyleOption* option, QPainter* painter, bool radio) {
        const QPalette& palette = option->palette;
        const bool on = option->state & State_On;
        const bool partial = option->state & State_NoChange;
        const int side = std::min(option->rect.width(), option->rect.height());
        QRectF box(0, 0, side, side);
        box.moveCenter(QRectF(option->rect).center());
        box.adjust(0.75, 0.75, -0.75, -0.75);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (!(option->state & State_Enabled))
            painter->setOpacity(0.45);
        const QColor accent = palette.color(QPalette::Active, QPalette::Highlight);
        const QColor mark = palette.color(QPalette::Active, QPalette::HighlightedText);
        if (on || partial) {
            painter->setPen(QPen(accent, 1.5));
            painter->setBrush(accent);
        } else {
            painter->setPen(QPen(indicatorBorder(palette), 1.5));
            painter->setBrush(palette.color(QPalette::Base));
        }
        if (radio)
            painter->drawEllipse(box);
        else
            painter->drawRoundedRect(box, 3, 3);
        if (radio && on) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(mark);
            const qreal dot = box.width() * 0.2;
            painter->drawEllipse(box.center(), dot, dot);
        } else if (partial || on) {
            painter->setPen(QPen(mark, std::max(1.5, box.width() / 7.0), Qt::SolidLine,
                                 Qt::RoundCap, Qt::RoundJoin));
            painter->setBrush(Qt::NoBrush);
            const auto at = [&box](qreal x, qreal y) {
                return QPointF(box.left() + box.width() * x, box.top() + box.height() * y);
            };
            if (partial) {
                painter->drawLine(at(0.27, 0.5), at(0.73, 0.5));
            } else {
                QPainterPath check(at(0.25, 0.53));
                check.lineTo(at(0.43, 0.71));
                check.lineTo(at(0.76, 0.31));
                painter->drawPath(check);
            }
        }
        painter->restore();
    }
};

} // namespace

QString storedAppearance() {
    return QSettings().value(appearanceKey, QStringLiteral("system")).toString();
}

void storeAppearance(const QString& appearance) {
    QSettings().setValue(appearanceKey, appearance);
}

QPalette readablePalette(QPalette palette) {
    const QColor window = palette.color(QPalette::Window);
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::WindowText);
    const QColor card = cardFill(palette);
    QColor sidebar = text;
    sidebar.setAlphaF(0.045f);
    QImage blend(1, 1, QImage::Format_RGB32);
    blend.fill(window);
    QPainter(&blend).fillRect(0, 0, 1, 1, sidebar);
    const QColor shaded = blend.pixelColor(0, 0);
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        // Captions are drawn in the placeholder colour; it may be translucent.
        QColor secondary = palette.color(group, QPalette::PlaceholderText);
        const double alpha = secondary.alphaF();
        secondary = QColor::fromRgbF(
            static_cast<float>(secondary.redF() * alpha + window.redF() * (1 - alpha)),
            static_cast<float>(secondary.greenF() * alpha + window.greenF() * (1 - alpha)),
            static_cast<float>(secondary.blueF() * alpha + window.blueF() * (1 - alpha)));
        palette.setColor(group, QPalette::PlaceholderText,
                         withContrast(secondary, text, {window, base, card, shaded}, 4.5));
        palette.setColor(
            group, QPalette::Link,
            withContrast(palette.color(group, QPalette::Link), text, {window, base, card}, 4.5));
        const QColor selected = palette.color(group, QPalette::HighlightedText);
        palette.setColor(group, QPalette::Highlight,
                         withContrast(palette.color(group, QPalette::Highlight),
                                      selected.lightness() < 128 ? Qt::white : Qt::black,
                                      {selected}, 4.5));
    }
    return palette;
}

void applyAppearance(const QString& appearance) {
    static const QString systemStyle = QApplication::style()->name();
    const bool forced = appearance == QLatin1String("light") || appearance == QLatin1String("dark");
    // The application's palette and style reach every top-level window: alerts, drop-down
    // lists and the file dialogs as well as the main window.
    auto* style =
        new ReadableStyle(QStyleFactory::create(forced ? QStringLiteral("Fusion") : systemStyle));
    QApplication::setStyle(style);
    QPalette palette;
    if (appearance == QLatin1String("dark")) {
        palette = darkPalette();
    } else if (forced) {
        palette = style->baseStyle()->standardPalette();
        palette.setColor(QPalette::Highlight, accentColour());
    } else {
        // An empty palette follows the desktop's colours again.
        QApplication::setPalette(QPalette());
        palette = QApplication::palette();
        palette.setResolveMask(0);
    }
    QApplication::setPalette(readablePalette(palette));
}

} // namespace wakeward
