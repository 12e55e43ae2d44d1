#include "ui/FenmarchGuidanceSettings.h"

#include "ui/FenmarchGuidance.h"
#include "ui/LinkLabel.h"
#include "ui/Maker.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace wakeward {

namespace {

QCheckBox* preferenceSwitch(const QString& text, const QString& key, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setChecked(fenmarch::preference(key));
    // Written only when the user flips it, so that showing the page never stores a default.
    QObject::connect(box, &QCheckBox::clicked, parent,
                     [key](bool on) { fenmarch::setPreference(key, on); });
    return box;
}

} // namespace

FenmarchGuidanceSettings::FenmarchGuidanceSettings(bool free, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    m_steps = preferenceSwitch(QStringLiteral("Show numbered instructions on each page"),
                               fenmarch::showStepsKey, this);
    connect(m_steps, &QCheckBox::clicked, this, &FenmarchGuidanceSettings::stepsVisibilityChanged);
    layout->addWidget(m_steps);
    m_tour = preferenceSwitch(QStringLiteral("Show walkthrough at startup"), fenmarch::showTourKey,
                              this);
    layout->addWidget(m_tour);
    if (free) {
        m_welcome = preferenceSwitch(QStringLiteral("Show fenmarch welcome at startup"),
                                     fenmarch::showWelcomeKey, this);
        layout->addWidget(m_welcome);
    }
    m_openTour = new QPushButton(QStringLiteral("Open walkthrough"), this);
    connect(m_openTour, &QPushButton::clicked, this,
            [] { FenmarchNotifications::center().post(fenmarch::openTourNotification); });
    layout->addWidget(m_openTour, 0, Qt::AlignLeft);
    layout->addWidget(captionLabel(QStringLiteral("You can skip the walkthrough at any time. "
                                                  "Appearance starts in System mode and remembers "
                                                  "your choice."),
                                   this));
    auto* links = new QHBoxLayout;
    links->setSpacing(16);
    const QString source = QStringLiteral("wakeward");
    const QString content = QStringLiteral("settings");
    links->addWidget(new LinkLabel(QStringLiteral("Support"),
                                   maker::brandedLink(maker::support, source, content), this));
    links->addWidget(new LinkLabel(QStringLiteral("Privacy"),
                                   maker::brandedLink(maker::privacy, source, content), this));
    links->addWidget(new LinkLabel(QStringLiteral("Terms"),
                                   maker::brandedLink(maker::terms, source, content), this));
    links->addStretch(1);
    layout->addLayout(links);
}

QList<LinkLabel*> FenmarchGuidanceSettings::links() const {
    return findChildren<LinkLabel*>();
}

void FenmarchGuidanceSettings::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

void FenmarchGuidanceSettings::refresh() {
    // The welcome and the walkthrough have switches of their own; show what they stored.
    m_steps->setChecked(fenmarch::preference(fenmarch::showStepsKey));
    m_tour->setChecked(fenmarch::preference(fenmarch::showTourKey));
    if (m_welcome)
        m_welcome->setChecked(fenmarch::preference(fenmarch::showWelcomeKey));
}

} // namespace wakeward
