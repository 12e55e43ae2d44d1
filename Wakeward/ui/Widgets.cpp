#include "ui/Widgets.h"

#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace wakeward {

NumberField::NumberField(const QString& accessibleName, QWidget* parent) : QLineEdit(parent) {
    setAccessibleName(accessibleName);
    setPlaceholderText(accessibleName);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setMaximumWidth(120);
    setText(format(m_value));
    connect(this, &QLineEdit::textEdited, this, &NumberField::textWasEdited);
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (parse(text()) != m_value)
            setText(format(m_value));
    });
}

void NumberField::setValue(double value) {
    const bool same = value == m_value || (std::isnan(value) && std::isnan(m_value));
    m_value = value;
    // Reformatting while the user types would move the cursor and undo their spelling.
    if (hasFocus() && same)
        return;
    if (parse(text()) != value || !hasFocus())
        setText(format(value));
}

QString NumberField::format(double value) {
    return QLocale::system().toString(value, 'f', QLocale::FloatingPointShortest);
}

std::optional<double> NumberField::parse(const QString& text) {
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = QLocale::system().toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

void NumberField::textWasEdited(const QString& text) {
    const auto parsed = parse(text);
    if (!parsed || *parsed == m_value)
        return;
    m_value = *parsed;
    emit valueEdited(m_value);
}

TitledGroup::TitledGroup(const QString& title, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    m_title = new QLabel(title, this);
    m_title->setFont(scaledFont(this, 1.0, true));
    m_title->setWordWrap(true);
    layout->addWidget(m_title);
    auto* card = new Card(this);
    m_body = new QVBoxLayout(card);
    m_body->setContentsMargins(14, 12, 14, 12);
    m_body->setSpacing(8);
    layout->addWidget(card);
    setAccessibleName(title);
}

QString TitledGroup::title() const {
    return m_title->text();
}

void TitledGroup::setTitle(const QString& title) {
    m_title->setText(title);
    setAccessibleName(title);
}

Card::Card(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame);
}

void Card::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor border = palette().color(QPalette::WindowText);
    border.setAlphaF(0.12f);
    painter.setPen(QPen(border, 1));
    painter.setBrush(cardFill(palette()));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    // A card that takes the keyboard focus (a link) shows where it is.
    if (hasFocus()) {
        painter.setPen(QPen(focusColour(palette()), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 8, 8);
    }
}

double contrastRatio(const QColor& first, const QColor& second) {
    const auto luminance = [](const QColor& colour) {
        const auto channel = [](double value) {
            return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
               0.0722 * channel(colour.blueF());
    };
    const double a = luminance(first) + 0.05;
    const double b = luminance(second) + 0.05;
    return std::max(a, b) / std::min(a, b);
}

namespace {

QColor mixed(const QColor& from, const QColor& to, double share) {
    const auto mix = [share](double a, double b) { return a + (b - a) * share; };
    return QColor::fromRgbF(static_cast<float>(mix(from.redF(), to.redF())),
                            static_cast<float>(mix(from.greenF(), to.greenF())),
                            static_cast<float>(mix(from.blueF(), to.blueF())));
}

} // namespace

QColor withContrast(const QColor& colour, const QColor& towards,
                    std::initializer_list<QColor> backgrounds, double ratio) {
    for (int step = 0; step <= 40; ++step) {
        const QColor candidate = mixed(colour, towards, step / 40.0);
        if (std::all_of(backgrounds.begin(), backgrounds.end(), [&](const QColor& background) {
                return contrastRatio(candidate, background) >= ratio;
            }))
            return candidate;
    }
    return towards;
}

QColor cardFill(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    // A light card lies halfway to the text background; a dark one is lifted above the
    // window, so that the darker fields and switches on it keep their contrast.
    return window.lightness() < 128 ? window.lighter(118)
                                    : mixed(window, palette.color(QPalette::Base), 0.5);
}

QColor focusColour(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    // Visible against the window and a card alike (3:1, as for any control's outline).
    return withContrast(palette.color(QPalette::Highlight), palette.color(QPalette::WindowText),
                        {window, cardFill(palette)}, 3.0);
}

QLabel* captionLabel(const QString& text, QWidget* parent, bool secondary, qreal scale) {
    auto* label = new QLabel(text, parent);
    QFont font = parent ? parent->font() : label->font();
    font.setBold(false);
    font.setPointSizeF(font.pointSizeF() * scale);
    label->setFont(font);
    label->setWordWrap(true);
    if (secondary)
        label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

namespace {
const char accentedProperty[] = "wakewardAccented";
} // namespace

QColor accentColour() {
    // White on it reads at 6:1.
    return {0x28, 0x60, 0xc0};
}

bool isAccented(const QWidget* widget) {
    return widget->property(accentedProperty).toBool();
}

void setAccented(QPushButton* button, bool accented) {
    button->setProperty(accentedProperty, accented);
    if (!accented) {
        // An empty palette takes everything from the parent again.
        button->setPalette(QPalette());
        return;
    }
    QPalette palette = button->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Button, accentColour());
        palette.setColor(group, QPalette::ButtonText, Qt::white);
    }
    button->setPalette(palette);
}

void emphasise(QPushButton* button) {
    setAccented(button, true);
    QFont font = button->font();
    font.setBold(true);
    button->setFont(font);
}

void markDestructive(QPushButton* button) {
    QPalette palette = button->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::ButtonText, QColor(0xd9, 0x44, 0x3a));
    button->setPalette(palette);
}

QString literalButtonText(const QString& name) {
    return QString(name).replace(QLatin1Char('&'), QLatin1String("&&"));
}

QFont scaledFont(const QWidget* widget, qreal scale, bool bold) {
    QFont font = widget->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setBold(bold);
    return font;
}

} // namespace wakeward
