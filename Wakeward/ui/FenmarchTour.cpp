#include "ui/FenmarchTour.h"

#include "ui/Icons.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace wakeward {

FenmarchTour::FenmarchTour(const QString& name, std::vector<FenmarchGuideStep> steps,
                           QWidget* window)
    : FenmarchSheet(window), m_name(name), m_steps(std::move(steps)) {
    card()->setAccessibleName(name + QStringLiteral(" walkthrough"));
    card()->setMinimumWidth(460);
    QVBoxLayout* layout = cardLayout();
    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    auto* icon = new QLabel(card());
    icon->setPixmap(appIcon().pixmap(QSize(48, 48), devicePixelRatioF()));
    icon->setAccessibleName(name + QStringLiteral(" app icon"));
    top->addWidget(icon);
    auto* names = new QVBoxLayout;
    names->setSpacing(0);
    auto* title = new QLabel(name, card());
    title->setFont(scaledFont(this, 1.4, true));
    names->addWidget(title);
    names->addWidget(captionLabel(QStringLiteral("software by fenmarch."), card()));
    top->addLayout(names, 1);
    top->setAlignment(names, Qt::AlignVCenter);
    layout->addLayout(top);
    layout->addSpacing(12);

    m_caption = captionLabel(QString(), card());
    layout->addWidget(m_caption);
    m_heading = new QLabel(card());
    m_heading->setFont(scaledFont(this, 1.3, true));
    m_heading->setWordWrap(true);
    layout->addWidget(m_heading);
    m_detail = new QLabel(card());
    m_detail->setWordWrap(true);
    m_detail->setMinimumHeight(m_detail->fontMetrics().lineSpacing() * 3);
    m_detail->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(m_detail);
    layout->addSpacing(8);

    m_showAtStartup = new QCheckBox(QStringLiteral("Show this walkthrough at startup"), card());
    m_showAtStartup->setChecked(fenmarch::preference(fenmarch::showTourKey));
    connect(m_showAtStartup, &QCheckBox::toggled, this,
            [](bool on) { fenmarch::setPreference(fenmarch::showTourKey, on); });
    layout->addWidget(m_showAtStartup);
    layout->addSpacing(6);

    auto* buttons = new QHBoxLayout;
    m_skip = new QPushButton(QStringLiteral("Skip walkthrough"), card());
    connect(m_skip, &QPushButton::clicked, this, &FenmarchTour::dismiss);
    m_back = new QPushButton(QStringLiteral("Back"), card());
    connect(m_back, &QPushButton::clicked, this, [this] { setIndex(m_index - 1); });
    m_next = new QPushButton(card());
    m_next->setMinimumWidth(110);
    emphasise(m_next);
    connect(m_next, &QPushButton::clicked, this, &FenmarchTour::advance);
    setDefaultButton(m_next);
    buttons->addWidget(m_skip);
    buttons->addStretch(1);
    buttons->addWidget(m_back);
    buttons->addWidget(m_next);
    layout->addLayout(buttons);
    render();
}

void FenmarchTour::setIndex(int index) {
    const int last = std::max(0, static_cast<int>(m_steps.size()) - 1);
    m_index = std::clamp(index, 0, last);
    render();
}

QString FenmarchTour::headingFor(const FenmarchGuideStep& step) {
    return step.title.startsWith(QStringLiteral("Step ")) ? QStringLiteral("Getting started")
                                                          : step.title;
}

void FenmarchTour::advance() {
    if (m_index + 1 >= static_cast<int>(m_steps.size()))
        dismiss();
    else
        setIndex(m_index + 1);
}

void FenmarchTour::render() {
    const int count = static_cast<int>(m_steps.size());
    const bool last = m_index + 1 >= count;
    m_caption->setText(QStringLiteral("Step %1 of %2").arg(m_index + 1).arg(count));
    if (count > 0) {
        m_heading->setText(headingFor(m_steps[static_cast<std::size_t>(m_index)]));
        m_detail->setText(m_steps[static_cast<std::size_t>(m_index)].detail);
    }
    m_back->setVisible(m_index > 0);
    m_next->setText(last ? QStringLiteral("Get started") : QStringLiteral("Next"));
    // Keep the keyboard where it was when Back disappears under it.
    if (!m_back->isVisible() && m_back->hasFocus())
        m_next->setFocus(Qt::OtherFocusReason);
}

} // namespace wakeward
