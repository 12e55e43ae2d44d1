#include "ui/FenmarchSheet.h"

#include "ui/Widgets.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace wakeward {

FenmarchSheet::FenmarchSheet(QWidget* window) : QWidget(window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(24, 24, 24, 24);
    m_card = new Card(this);
    m_card->setMaximumWidth(520);
    m_card->setAutoFillBackground(false);
    m_layout = new QVBoxLayout(m_card);
    m_layout->setContentsMargins(32, 28, 32, 24);
    m_layout->setSpacing(8);
    outer->addWidget(m_card, 0, Qt::AlignCenter);
    window->installEventFilter(this);
    setGeometry(window->rect());
    hide();
}

void FenmarchSheet::present() {
    setGeometry(parentWidget()->rect());
    show();
    raise();
    if (m_default)
        m_default->setFocus(Qt::OtherFocusReason);
    else
        setFocus(Qt::OtherFocusReason);
}

void FenmarchSheet::dismiss() {
    if (m_dismissed)
        return;
    m_dismissed = true;
    parentWidget()->removeEventFilter(this);
    hide();
    emit closed();
    close();
}

bool FenmarchSheet::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void FenmarchSheet::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 110));
    // The card is drawn on a solid window-coloured base, so the dimming does not show through.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::Window));
    painter.drawRoundedRect(QRectF(m_card->geometry()), 8, 8);
}

void FenmarchSheet::mousePressEvent(QMouseEvent* event) {
    if (!m_card->geometry().contains(event->position().toPoint()))
        backgroundClicked();
    event->accept();
}

void FenmarchSheet::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        escapePressed();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_default && m_default->isVisible() && m_default->isEnabled())
            m_default->click();
        return;
    default:
        event->accept();
    }
}

bool FenmarchSheet::focusNextPrevChild(bool next) {
    // Tab cycles through the card's controls only; the window beneath is out of reach.
    QList<QWidget*> chain;
    for (QWidget* each = nextInFocusChain(); each && each != this; each = each->nextInFocusChain())
        if (m_card->isAncestorOf(each) && each->isVisibleTo(this) && each->isEnabled() &&
            (each->focusPolicy() & Qt::TabFocus))
            chain << each;
    if (chain.isEmpty())
        return true;
    const int at = static_cast<int>(chain.indexOf(focusWidget()));
    const int count = static_cast<int>(chain.size());
    const int target = at < 0 ? (next ? 0 : count - 1) : (at + (next ? 1 : count - 1)) % count;
    chain[target]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

} // namespace wakeward
