#include "ui/StatusGroup.h"

#include "controller/Model.h"
#include "ui/Format.h"
#include "ui/Icons.h"
#include "ui/LocalTime.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace wakeward {

StatusGroup::StatusGroup(Model& model, Options options, QWidget* parent)
    : TitledGroup(QStringLiteral("Current session"), parent), m_model(model),
      m_options(std::move(options)) {
    auto* stateRow = new QHBoxLayout;
    stateRow->setSpacing(8);
    m_stateIcon = new QLabel(this);
    m_state = new QLabel(this);
    m_state->setFont(scaledFont(this, 1.15, true));
    m_state->setWordWrap(true);
    stateRow->addWidget(m_stateIcon);
    stateRow->addWidget(m_state, 1);
    body()->addLayout(stateRow);

    m_reason = new QLabel(this);
    m_reason->setWordWrap(true);
    m_reason->setTextInteractionFlags(Qt::TextSelectableByMouse);
    body()->addWidget(m_reason);
    m_display = captionLabel(QString(), this, false);
    body()->addWidget(m_display);

    m_countdown = new QLabel(this);
    // Digits of equal width, so the countdown does not jitter as it ticks.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(font().pointSizeF());
    m_countdown->setFont(fixed);
    body()->addWidget(m_countdown);
    m_started = new QLabel(this);
    body()->addWidget(m_started);
    m_battery = new QLabel(this);
    body()->addWidget(m_battery);

    if (m_options.inspect) {
        auto* buttons = new QHBoxLayout;
        m_stop = new QPushButton(QStringLiteral("Stop all"), this);
        connect(m_stop, &QPushButton::clicked, this, [this] { m_model.endAll("Stopped by you"); });
        auto* inspect = new QPushButton(QStringLiteral("Inspect"), this);
        connect(inspect, &QPushButton::clicked, this, [this] { m_options.inspect(); });
        m_resume = new QPushButton(QStringLiteral("Resume automation"), this);
        connect(m_resume, &QPushButton::clicked, this, [this] { m_model.pauseAutomation(false); });
        buttons->addWidget(m_stop);
        buttons->addWidget(inspect);
        buttons->addWidget(m_resume);
        buttons->addStretch(1);
        body()->addLayout(buttons);
    }

    m_ticker = new QTimer(this);
    m_ticker->setInterval(1000);
    connect(m_ticker, &QTimer::timeout, this, &StatusGroup::refreshCountdown);
    for (auto signal : {&Model::activeChanged, &Model::displayActiveChanged, &Model::reasonChanged,
                        &Model::startedChanged, &Model::deadlineChanged, &Model::snapshotChanged,
                        &Model::automationPausedChanged})
        connect(&model, signal, this, &StatusGroup::refresh);
    refresh();
}

bool StatusGroup::ticking() const {
    return m_ticker->isActive();
}

void StatusGroup::showEvent(QShowEvent* event) {
    TitledGroup::showEvent(event);
    refresh();
}

void StatusGroup::hideEvent(QHideEvent* event) {
    TitledGroup::hideEvent(event);
    m_ticker->stop();
}

void StatusGroup::refresh() {
    const bool active = m_model.active();
    const QString symbol =
        active ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("moon");
    if (symbol != m_symbol) {
        m_symbol = symbol;
        setSymbol(m_stateIcon, symbol, 20);
    }
    m_state->setText(active ? QStringLiteral("Idle system sleep prevented")
                            : QStringLiteral("Idle system sleep allowed"));
    m_reason->setText(QString::fromStdString(m_model.reason()));
    m_display->setText(
        m_model.displayActive()
            ? QStringLiteral("Display sleep prevented")
            : QStringLiteral("Display may sleep; screen lock and screensaver remain independent"));
    const auto started = m_model.started();
    m_started->setVisible(started.has_value());
    if (started)
        m_started->setText(QStringLiteral("Started ") +
                           shortDateTime(*started, m_options.time.calendar()));
    m_battery->setText(QString::fromStdString(m_model.batteryText()));
    if (m_stop) {
        m_stop->setEnabled(active);
        m_resume->setVisible(m_model.automationPaused());
    }
    refreshCountdown();
}

void StatusGroup::refreshCountdown() {
    const auto deadline = m_model.deadline();
    m_countdown->setVisible(deadline.has_value());
    if (!deadline) {
        m_ticker->stop();
        return;
    }
    m_countdown->setText(QStringLiteral("Ends ") + countdownText(*deadline - m_options.time.now()));
    if (isVisible() && !m_ticker->isActive())
        m_ticker->start();
}

} // namespace wakeward
