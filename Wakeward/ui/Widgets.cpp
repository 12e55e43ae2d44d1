#include "ui/Widgets.h"

#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
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
    const QColor window = palette().color(QPalette::Window);
    const QColor base = palette().color(QPalette::Base);
    // A light card lies halfway to the text background; a dark one is lifted above the
    // window, so that the darker fields and switches on it keep their contrast.
    const QColor fill = window.lightness() < 128 ? window.lighter(118)
                                                 : QColor((window.red() + base.red()) / 2,
                                                          (window.green() + base.green()) / 2,
                                                          (window.blue() + base.blue()) / 2);
    QColor border = palette().color(QPalette::WindowText);
    border.setAlphaF(0.12f);
    painter.setPen(QPen(border, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
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

void setAccented(QPushButton* button, bool accented) {
    if (!accented) {
        // An empty palette takes everything from the parent again.
        button->setPalette(QPalette());
        return;
    }
    QPalette palette = button->palette();
    const QColor accent(0x28, 0x60, 0xc0);
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Button, accent);
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
