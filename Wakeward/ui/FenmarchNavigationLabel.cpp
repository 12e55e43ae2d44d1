#include "ui/FenmarchNavigationLabel.h"

#include "ui/Icons.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace wakeward {

namespace {
constexpr int symbolSquare = 18;
constexpr int padding = 8;
} // namespace

FenmarchNavigationLabel::FenmarchNavigationLabel(const QString& name, const QString& symbol,
                                                 QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol) {
    setText(name);
    setAccessibleName(name);
    setCheckable(true);
    setAutoExclusive(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void FenmarchNavigationLabel::setCount(std::optional<int> count) {
    m_count = count;
    updateGeometry();
    update();
}

QSize FenmarchNavigationLabel::sizeHint() const {
    const QFontMetrics metrics(font());
    int width = padding + symbolSquare + padding + metrics.horizontalAdvance(text()) + padding;
    if (m_count)
        width += metrics.horizontalAdvance(QString::number(*m_count)) + padding;
    return {width, std::max(symbolSquare, metrics.height()) + 2 * 7};
}

QSize FenmarchNavigationLabel::minimumSizeHint() const {
    return {padding * 3 + symbolSquare, sizeHint().height()};
}

void FenmarchNavigationLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(2, 1, -2, -1);
    QColor text = palette().color(QPalette::WindowText);
    if (isChecked()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(QPalette::Highlight));
        painter.drawRoundedRect(area, 6, 6);
        text = palette().color(QPalette::HighlightedText);
    } else if (m_hovered || isDown()) {
        QColor hover = palette().color(QPalette::WindowText);
        hover.setAlphaF(isDown() ? 0.14f : 0.07f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(hover);
        painter.drawRoundedRect(area, 6, 6);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }

    const int top = (height() - symbolSquare) / 2;
    const QPixmap symbol = symbolPixmap(m_symbol, symbolSquare, text, devicePixelRatioF());
    painter.drawPixmap(QRect(padding, top, symbolSquare, symbolSquare), symbol);

    painter.setPen(text);
    QRect label = rect().adjusted(padding + symbolSquare + padding, 0, -padding, 0);
    if (m_count) {
        const QString number = QString::number(*m_count);
        QColor dim = text;
        dim.setAlphaF(isChecked() ? 0.9f : 0.6f);
        painter.setPen(dim);
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, number);
        painter.setPen(text);
        label.setRight(label.right() - QFontMetrics(font()).horizontalAdvance(number) - padding);
    }
    painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(font()).elidedText(this->text(), Qt::ElideRight, label.width()));
}

void FenmarchNavigationLabel::enterEvent(QEnterEvent* event) {
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void FenmarchNavigationLabel::leaveEvent(QEvent* event) {
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace wakeward
