#include "ui/OverviewPage.h"

#include "controller/Model.h"
#include "ui/Dashboard.h"
#include "ui/FenmarchProductArtwork.h"
#include "ui/StatusGroup.h"
#include "ui/Widgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace wakeward {

OverviewPage::OverviewPage(Model& model, Dashboard& dashboard, QWidget* parent)
    : QWidget(parent), m_model(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);

    auto* welcome = new TitledGroup(QStringLiteral("Your computer, on your terms"), this);
    auto* row = new QHBoxLayout;
    row->setSpacing(18);
    row->addWidget(new FenmarchProductArtwork(QStringLiteral("Wakeward"),
                                              QStringLiteral("moon.zzz"), 100, welcome),
                   0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(6);
    m_headline = new QLabel(welcome);
    m_headline->setFont(scaledFont(this, 1.6, true));
    m_headline->setWordWrap(true);
    texts->addWidget(m_headline);
    m_reason = new QLabel(welcome);
    m_reason->setWordWrap(true);
    texts->addWidget(m_reason);
    m_battery = captionLabel(QString(), welcome);
    texts->addWidget(m_battery);
    m_setUp = new QPushButton(QStringLiteral("Set up a session"), welcome);
    connect(m_setUp, &QPushButton::clicked, this,
            [&dashboard] { dashboard.setPage(QStringLiteral("Sessions")); });
    texts->addWidget(m_setUp, 0, Qt::AlignLeft);
    texts->addStretch(1);
    row->addLayout(texts, 1);
    welcome->body()->addLayout(row);
    layout->addWidget(welcome);

    m_status = new StatusGroup(
        model, {dashboard.time(), [&dashboard] { dashboard.showInspector(); }}, this);
    layout->addWidget(m_status);

    auto* boundaries = new TitledGroup(QStringLiteral("Clear boundaries"), this);
    auto* text = new QLabel(QStringLiteral("Wakeward controls idle system and display sleep. It "
                                           "does not bypass lid-close sleep, critical "
                                           "battery actions, manual Sleep, screen locking or "
                                           "screensavers. It never changes your system "
                                           "power settings."),
                            boundaries);
    text->setWordWrap(true);
    boundaries->body()->addWidget(text);
    layout->addWidget(boundaries);
    layout->addStretch(1);

    for (auto signal : {&Model::activeChanged, &Model::reasonChanged, &Model::snapshotChanged})
        connect(&model, signal, this, &OverviewPage::refresh);
    refresh();
}

void OverviewPage::refresh() {
    m_headline->setText(m_model.active() ? QStringLiteral("Keeping idle sleep away")
                                         : QStringLiteral("Ready when you are"));
    m_reason->setText(QString::fromStdString(m_model.reason()));
    m_battery->setText(QString::fromStdString(m_model.batteryText()));
}

} // namespace wakeward
