#include "ui/FenmarchSteps.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace wakeward {

namespace {

// The step's number in a filled circle, announced as "Step " and the number.
class StepNumber : public QWidget {
public:
    StepNumber(int number, QWidget* parent) : QWidget(parent), m_number(number) {
        setFixedSize(20, 20);
        setAccessibleName(QStringLiteral("Step %1").arg(number));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(QPalette::Highlight));
        painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
        QFont font = this->font();
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() * 0.8);
        painter.setFont(font);
        painter.setPen(palette().color(QPalette::HighlightedText));
        painter.drawText(rect(), Qt::AlignCenter, QString::number(m_number));
    }

private:
    int m_number;
};

} // namespace

FenmarchSteps::FenmarchSteps(QWidget* parent) : QWidget(parent) {
    m_rows = new QVBoxLayout(this);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(6);
}

void FenmarchSteps::setSteps(const QStringList& steps) {
    if (steps == m_steps)
        return;
    m_steps = steps;
    while (QLayoutItem* item = m_rows->takeAt(0)) {
        if (QWidget* row = item->widget()) {
            row->hide();
            row->deleteLater();
        }
        delete item;
    }
    for (int i = 0; i < steps.size(); ++i) {
        auto* row = new QWidget(this);
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(10);
        layout->addWidget(new StepNumber(i + 1, row), 0, Qt::AlignTop);
        auto* text = new QLabel(steps[i], row);
        text->setWordWrap(true);
        layout->addWidget(text, 1);
        m_rows->addWidget(row);
    }
}

} // namespace wakeward
