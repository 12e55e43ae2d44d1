#include "ui/SettingsPage.h"

#include "controller/Model.h"
#include "ui/Appearance.h"
#include "ui/FenmarchGuidanceSettings.h"
#include "ui/LoginItemControl.h"
#include "ui/Widgets.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace wakeward {

namespace {

constexpr int lowestThreshold = 5;
constexpr int highestThreshold = 50;

struct Choice {
    const char* title;
    const char* value;
};
constexpr Choice appearances[] = {{"System", "system"}, {"Light", "light"}, {"Dark", "dark"}};

} // namespace

SettingsPage::SettingsPage(Model& model, QWidget* parent) : QWidget(parent), m_model(model) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);

    auto* look = new TitledGroup(QStringLiteral("Appearance and getting started"), this);
    auto* appearanceRow = new QHBoxLayout;
    appearanceRow->setSpacing(0);
    appearanceRow->addWidget(new QLabel(QStringLiteral("Appearance"), look));
    appearanceRow->addSpacing(12);
    m_appearance = new QButtonGroup(this);
    const QString stored = appearance();
    for (const Choice& choice : appearances) {
        auto* segment = new QPushButton(QString::fromLatin1(choice.title), look);
        segment->setCheckable(true);
        segment->setChecked(stored == QLatin1String(choice.value));
        segment->setMinimumWidth(72);
        segment->setProperty("appearance", QString::fromLatin1(choice.value));
        segment->setAccessibleDescription(QStringLiteral("Appearance"));
        // The chosen segment is drawn in the accent colour, as a segmented control shows it.
        setAccented(segment, segment->isChecked());
        connect(segment, &QPushButton::toggled, segment,
                [segment](bool on) { setAccented(segment, on); });
        m_appearance->addButton(segment);
        appearanceRow->addWidget(segment);
    }
    m_appearance->setExclusive(true);
    connect(m_appearance, &QButtonGroup::buttonClicked, this, [this](QAbstractButton* segment) {
        chooseAppearance(segment->property("appearance").toString());
    });
    appearanceRow->addStretch(1);
    look->body()->addLayout(appearanceRow);
    m_guidance = new FenmarchGuidanceSettings(true, look);
    connect(m_guidance, &FenmarchGuidanceSettings::stepsVisibilityChanged, this,
            &SettingsPage::stepsVisibilityChanged);
    look->body()->addSpacing(6);
    look->body()->addWidget(m_guidance);
    layout->addWidget(look);

    auto* safeguards = new TitledGroup(QStringLiteral("Battery and history"), this);
    auto* batteryRow = new QHBoxLayout;
    batteryRow->addWidget(new QLabel(QStringLiteral("Stop at battery level"), safeguards));
    m_slider = new QSlider(Qt::Horizontal, safeguards);
    m_slider->setRange(lowestThreshold, highestThreshold);
    m_slider->setSingleStep(1);
    m_slider->setPageStep(5);
    m_slider->setAccessibleName(QStringLiteral("Stop at battery level"));
    connect(m_slider, &QSlider::valueChanged, this, [this](int value) {
        if (!m_following)
            m_model.setThreshold(value);
    });
    // A move that leaves the slider where it was still adopts what it shows: pressing Left at
    // a stored 3, shown as 5, means 5.
    connect(m_slider, &QSlider::actionTriggered, this,
            [this] { m_model.setThreshold(m_slider->sliderPosition()); });
    connect(m_slider, &QSlider::sliderReleased, this,
            [this] { m_model.setThreshold(m_slider->value()); });
    batteryRow->addWidget(m_slider, 1);
    m_sliderValue = new QLabel(safeguards);
    m_sliderValue->setMinimumWidth(
        m_sliderValue->fontMetrics().horizontalAdvance(QStringLiteral("100%")));
    m_sliderValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    batteryRow->addWidget(m_sliderValue);
    safeguards->body()->addLayout(batteryRow);

    auto* retentionRow = new QHBoxLayout;
    retentionRow->addWidget(new QLabel(QStringLiteral("Keep history"), safeguards));
    m_retention = new QComboBox(safeguards);
    m_retention->setAccessibleName(QStringLiteral("Keep history"));
    for (int days : {7, 30, 90})
        m_retention->addItem(QStringLiteral("%1 days").arg(days), days);
    // Only the user's choice writes: showing a stored 45 as "30 days" must not store 30.
    connect(m_retention, &QComboBox::activated, this,
            [this](int index) { m_model.setRetention(m_retention->itemData(index).toInt()); });
    retentionRow->addWidget(m_retention);
    retentionRow->addStretch(1);
    safeguards->body()->addLayout(retentionRow);
    m_save = new QPushButton(QStringLiteral("Save safeguards"), safeguards);
    connect(m_save, &QPushButton::clicked, &m_model, &Model::commit);
    safeguards->body()->addWidget(m_save, 0, Qt::AlignLeft);
    layout->addWidget(safeguards);

    auto* services = new TitledGroup(QStringLiteral("Optional services"), this);
    m_services = services->body();
    m_notifications = new QCheckBox(QStringLiteral("Session notifications"), services);
    connect(m_notifications, &QCheckBox::clicked, this, [this](bool on) {
        m_model.requestNotifications(on);
        // Until the notification service has answered, the switch shows what is in force.
        m_notifications->setChecked(m_model.notifications());
    });
    m_services->addWidget(m_notifications);
    layout->addWidget(services);

    auto* privacy = new TitledGroup(QStringLiteral("Signal coverage and privacy"), this);
    auto* coverage = new QLabel(
        QStringLiteral("App, power, display, mounted-volume, USB-name, audio-output, CPU and "
                       "network-throughput conditions use local public APIs. Missing readings are "
                       "unknown. No location, Wi-Fi identity, Bluetooth permission, VPN "
                       "inspection, administrator access or input monitoring is requested. Those "
                       "restricted triggers are excluded from this edition. No file content, "
                       "keystroke or browsing history is stored. No network connection or "
                       "analytics SDK is used."),
        privacy);
    coverage->setWordWrap(true);
    privacy->body()->addWidget(coverage);
    layout->addWidget(privacy);

    connect(&model, &Model::thresholdChanged, this, &SettingsPage::refreshThreshold);
    connect(&model, &Model::retentionChanged, this, &SettingsPage::refreshRetention);
    connect(&model, &Model::notificationsChanged, this,
            [this] { m_notifications->setChecked(m_model.notifications()); });
    refreshThreshold();
    refreshRetention();
    m_notifications->setChecked(m_model.notifications());
}

void SettingsPage::setLoginItem(LoginItem& loginItem) {
    if (m_login)
        return;
    m_login = new LoginItemControl(m_model, loginItem, m_notifications->parentWidget());
    m_services->addWidget(m_login);
}

QString SettingsPage::appearance() {
    return storedAppearance();
}

int SettingsPage::nearest(double value, std::initializer_list<int> offered) {
    int best = *offered.begin();
    for (int each : offered)
        if (std::abs(value - each) < std::abs(value - best))
            best = each;
    return best;
}

void SettingsPage::chooseAppearance(const QString& appearance) {
    storeAppearance(appearance);
    applyAppearance(appearance);
}

void SettingsPage::refreshThreshold() {
    const double threshold = m_model.threshold();
    m_following = true;
    // A stored value the slider cannot reach is shown at the nearest end, and kept until the
    // user moves the slider.
    m_slider->setValue(std::isfinite(threshold)
                           ? static_cast<int>(std::lround(std::clamp(
                                 threshold, double(lowestThreshold), double(highestThreshold))))
                           : lowestThreshold);
    m_following = false;
    // The value in force, which the safeguard uses, even where the slider cannot show it.
    const double whole = std::isfinite(threshold) ? std::trunc(threshold) : 0;
    m_sliderValue->setText(QStringLiteral("%1%").arg(static_cast<long long>(whole)));
}

void SettingsPage::refreshRetention() {
    const int shown = nearest(static_cast<double>(m_model.retention()), {7, 30, 90});
    m_retention->setCurrentIndex(m_retention->findData(shown));
}

} // namespace wakeward
