#include "ui/Panel.h"

#include "controller/Model.h"
#include "ui/Format.h"
#include "ui/Icons.h"
#include "ui/Widgets.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace wakeward {

namespace {

constexpr int maxFavourites = 6;

QFrame* separator(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// The panel's small lines are a touch smaller than the dashboard's captions.
constexpr qreal smallScale = 0.85;

} // namespace

Panel::Panel(Model& model, Actions actions, QWidget* parent)
    : QFrame(parent), m_model(model), m_actions(std::move(actions)) {
    setFrameShape(QFrame::StyledPanel);
    setMinimumWidth(280);
    auto* layout = new QVBoxLayout(this);

    auto* heading = new QLabel(QStringLiteral("Wakeward"), this);
    heading->setFont(scaledFont(this, 1.2, true));
    layout->addWidget(heading);

    auto* stateRow = new QHBoxLayout;
    m_stateIcon = new QLabel(this);
    m_stateLine = new QLabel(this);
    stateRow->addWidget(m_stateIcon);
    stateRow->addWidget(m_stateLine, 1);
    layout->addLayout(stateRow);

    m_reason = captionLabel(QString(), this, true, smallScale);
    layout->addWidget(m_reason);
    m_countdown = new QLabel(this);
    QFont countdownFont = m_countdown->font();
    countdownFont.setFamily(QStringLiteral("monospace"));
    countdownFont.setStyleHint(QFont::Monospace);
    m_countdown->setFont(countdownFont);
    layout->addWidget(m_countdown);

    auto* buttons = new QHBoxLayout;
    m_primary = new QPushButton(this);
    m_primary->setDefault(true);
    emphasise(m_primary);
    auto* open = new QPushButton(QStringLiteral("Open app"), this);
    buttons->addWidget(m_primary);
    buttons->addWidget(open);
    layout->addLayout(buttons);

    layout->addWidget(separator(this));
    m_favourites = new QVBoxLayout;
    layout->addLayout(m_favourites);

    m_pause = new QPushButton(this);
    layout->addWidget(m_pause);
    m_battery = captionLabel(QString(), this, false, smallScale);
    layout->addWidget(m_battery);

    layout->addWidget(separator(this));
    auto* inspector = new QPushButton(QStringLiteral("Sleep Inspector"), this);
    auto* quit = new QPushButton(QStringLiteral("Quit Wakeward"), this);
    for (auto* button : {inspector, quit}) {
        button->setFlat(true);
        button->setStyleSheet(QStringLiteral("text-align: left"));
    }
    layout->addWidget(inspector);
    layout->addWidget(quit);

    connect(m_primary, &QPushButton::clicked, this, [this] {
        if (m_model.active()) {
            m_model.endAll("Stopped by you");
        } else {
            m_model.setMode(SessionMode::duration);
            m_model.setMinutes(60);
            m_model.start();
        }
    });
    connect(open, &QPushButton::clicked, this, [this] {
        if (m_actions.openApp)
            m_actions.openApp();
    });
    connect(m_pause, &QPushButton::clicked, this,
            [this] { m_model.pauseAutomation(!m_model.automationPaused()); });
    connect(inspector, &QPushButton::clicked, this, [this] {
        if (m_actions.openInspector)
            m_actions.openInspector();
    });
    connect(quit, &QPushButton::clicked, this, [this] {
        if (m_actions.quit)
            m_actions.quit();
    });

    m_ticker = new QTimer(this);
    m_ticker->setInterval(1000);
    connect(m_ticker, &QTimer::timeout, this, &Panel::refreshCountdown);

    for (auto signal : {&Model::activeChanged, &Model::reasonChanged, &Model::deadlineChanged,
                        &Model::automationPausedChanged, &Model::snapshotChanged})
        connect(&model, signal, this, &Panel::refreshState);
    connect(&model, &Model::profilesChanged, this, &Panel::refreshFavourites);
    refreshState();
    refreshFavourites();
}

QStringList Panel::favouriteLabels() const {
    QStringList labels;
    for (int i = 0; i < m_favourites->count(); ++i)
        if (auto* button = qobject_cast<QPushButton*>(m_favourites->itemAt(i)->widget()))
            labels << button->text().replace(QLatin1String("&&"), QLatin1String("&"));
    return labels;
}

void Panel::showEvent(QShowEvent* event) {
    QFrame::showEvent(event);
    refreshState();
}

void Panel::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    m_ticker->stop();
}

void Panel::refreshState() {
    const bool active = m_model.active();
    // The change signals come with every refresh tick; the icon is drawn from SVG, so only
    // a new state draws it again.
    if (active != m_drawnActive) {
        m_drawnActive = active;
        m_stateIcon->setPixmap(stateIcon(active).pixmap(18, 18));
    }
    m_stateLine->setText(active ? QStringLiteral("Keeping your computer awake") : QStringLiteral("Idle sleep allowed"));
    m_reason->setText(QString::fromStdString(m_model.reason()));
    m_primary->setText(active ? QStringLiteral("Stop all") : QStringLiteral("Start 60 minutes"));
    m_pause->setText(m_model.automationPaused() ? QStringLiteral("Resume automation")
                                                : QStringLiteral("Pause automation"));
    m_battery->setText(QString::fromStdString(m_model.batteryText()));
    refreshCountdown();
}

void Panel::refreshCountdown() {
    const auto deadline = m_model.deadline();
    m_countdown->setVisible(deadline.has_value());
    if (!deadline) {
        m_ticker->stop();
        return;
    }
    m_countdown->setText(countdownText(*deadline - Instant::now()));
    // Tick once a second only while someone can see it.
    if (isVisible() && !m_ticker->isActive())
        m_ticker->start();
}

void Panel::refreshFavourites() {
    while (QLayoutItem* item = m_favourites->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    int shown = 0;
    for (const Profile& profile : m_model.profiles()) {
        if (!profile.favourite)
            continue;
        if (shown++ == maxFavourites)
            break;
        auto* button =
            new QPushButton(literalButtonText(QString::fromStdString(profile.name)), this);
        button->setFlat(true);
        button->setStyleSheet(QStringLiteral("text-align: left"));
        const Uuid id = profile.id;
        connect(button, &QPushButton::clicked, this, [this, id] {
            // The list may have changed since the button was made; start what it shows now.
            for (const Profile& current : m_model.profiles())
                if (current.id == id) {
                    m_model.start(current);
                    return;
                }
        });
        m_favourites->addWidget(button);
    }
}

} // namespace wakeward
