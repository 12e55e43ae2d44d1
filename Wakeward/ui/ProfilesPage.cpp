#include "ui/ProfilesPage.h"

#include "controller/Model.h"
#include "ui/Dashboard.h"
#include "ui/Widgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace wakeward {

ProfilesPage::ProfilesPage(Model& model, Dashboard& dashboard, QWidget* parent)
    : QWidget(parent), m_model(model), m_dashboard(dashboard) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);

    auto* buttons = new QHBoxLayout;
    m_new = new QPushButton(QStringLiteral("New profile"), this);
    emphasise(m_new);
    connect(m_new, &QPushButton::clicked, this, [this] {
        Profile profile(std::string("Custom profile"), 60, false, false);
        profile.favourite = true;
        m_dashboard.editProfile(profile);
    });
    m_import = new QPushButton(QStringLiteral("Import profiles…"), this);
    m_export = new QPushButton(QStringLiteral("Export profiles…"), this);
    connect(m_import, &QPushButton::clicked, this, [this] { m_model.importProfiles(); });
    connect(m_export, &QPushButton::clicked, this, [this] { m_model.exportProfiles(); });
    buttons->addWidget(m_new);
    buttons->addWidget(m_import);
    buttons->addWidget(m_export);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    m_list = new QVBoxLayout;
    m_list->setSpacing(18);
    layout->addLayout(m_list);
    layout->addStretch(1);

    connect(&model, &Model::profilesChanged, this, &ProfilesPage::rebuild);
    rebuild();
}

QString ProfilesPage::summary(const Profile& profile) {
    // The whole number of minutes: 90.5 reads as 90.
    double whole = std::trunc(profile.minutes);
    if (whole == 0)
        whole = 0; // never "-0"
    const QString minutes =
        std::isfinite(whole) ? QString::number(whole, 'f', 0) : QString::number(whole);
    return minutes + QStringLiteral(" minutes • ") +
           (profile.display ? QStringLiteral("Display awake")
                            : QStringLiteral("Display may sleep")) +
           QStringLiteral(" • ") +
           (profile.acOnly ? QStringLiteral("Mains only") : QStringLiteral("Battery safeguard"));
}

QPushButton* ProfilesPage::button(std::size_t index, const QString& text) const {
    if (index >= m_groups.size())
        return nullptr;
    for (QPushButton* button : m_groups[index]->findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}

void ProfilesPage::rebuild() {
    // A group's own button may be what changed the list, so the old groups go only once
    // control has returned to the event loop.
    for (TitledGroup* group : m_groups) {
        m_list->removeWidget(group);
        group->hide();
        group->deleteLater();
    }
    m_groups.clear();
    for (const Profile& profile : m_model.profiles()) {
        TitledGroup* group = makeGroup(profile);
        m_list->addWidget(group);
        m_groups.push_back(group);
    }
}

TitledGroup* ProfilesPage::makeGroup(const Profile& profile) {
    auto* group = new TitledGroup(QString::fromStdString(profile.name), this);
    group->body()->addWidget(new QLabel(summary(profile), group));
    const Uuid id = profile.id;

    auto* row = new QHBoxLayout;
    auto* favourite = new QPushButton(
        profile.favourite ? QStringLiteral("Unfavourite") : QStringLiteral("Favourite"), group);
    connect(favourite, &QPushButton::clicked, this, [this, id] { toggleFavourite(id); });
    auto* start = new QPushButton(QStringLiteral("Start"), group);
    emphasise(start);
    connect(start, &QPushButton::clicked, this, [this, profile] { m_model.start(profile); });
    auto* edit = new QPushButton(QStringLiteral("Edit"), group);
    connect(edit, &QPushButton::clicked, this,
            [this, profile] { m_dashboard.editProfile(profile); });
    auto* duplicate = new QPushButton(QStringLiteral("Duplicate"), group);
    connect(duplicate, &QPushButton::clicked, this, [this, id] { this->duplicate(id); });
    auto* remove = new QPushButton(QStringLiteral("Delete"), group);
    markDestructive(remove);
    connect(remove, &QPushButton::clicked, this, [this, id] { this->remove(id); });
    row->addWidget(favourite);
    row->addStretch(1);
    for (QPushButton* button : {start, edit, duplicate, remove})
        row->addWidget(button);
    group->body()->addLayout(row);
    return group;
}

void ProfilesPage::toggleFavourite(const Uuid& id) {
    Profiles profiles = m_model.profiles();
    const auto found = std::find_if(profiles.begin(), profiles.end(),
                                    [&](const Profile& p) { return p.id == id; });
    if (found == profiles.end())
        return;
    found->favourite = !found->favourite;
    m_model.setProfiles(std::move(profiles));
    m_model.save();
}

void ProfilesPage::duplicate(const Uuid& id) {
    Profiles profiles = m_model.profiles();
    const auto found = std::find_if(profiles.begin(), profiles.end(),
                                    [&](const Profile& p) { return p.id == id; });
    if (found == profiles.end())
        return;
    Profile copy = *found;
    copy.id = Uuid::generate();
    copy.name += " copy";
    profiles.push_back(std::move(copy));
    m_model.setProfiles(std::move(profiles));
    m_model.save();
}

void ProfilesPage::remove(const Uuid& id) {
    Profiles profiles = m_model.profiles();
    std::erase_if(profiles, [&](const Profile& p) { return p.id == id; });
    m_model.setProfiles(std::move(profiles));
    m_model.save();
}

} // namespace wakeward
