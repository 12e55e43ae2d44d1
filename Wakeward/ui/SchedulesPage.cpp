#include "ui/SchedulesPage.h"

#include "controller/Model.h"
#include "ui/Dashboard.h"
#include "ui/LocalTime.h"
#include "ui/Widgets.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace wakeward {

SchedulesPage::SchedulesPage(Model& model, Dashboard& dashboard, QWidget* parent)
    : QWidget(parent), m_model(model), m_dashboard(dashboard) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);
    m_new = new QPushButton(QStringLiteral("New schedule"), this);
    emphasise(m_new);
    connect(m_new, &QPushButton::clicked, this,
            [this] { m_dashboard.editSchedule(Schedule(m_dashboard.time().now())); });
    layout->addWidget(m_new, 0, Qt::AlignLeft);
    layout->addWidget(captionLabel(
        QStringLiteral("Schedules use this computer’s current timezone. Missed windows are skipped; if "
                       "the computer wakes during a window, the remaining window can run. Wakeward "
                       "does not wake a powered-off computer."),
        this));
    m_list = new QVBoxLayout;
    m_list->setSpacing(18);
    layout->addLayout(m_list);
    layout->addStretch(1);
    connect(&model, &Model::schedulesChanged, this, &SchedulesPage::rebuild);
    rebuild();
}

QPushButton* SchedulesPage::editButton(std::size_t index) const {
    return childInGroup<QPushButton>(m_groups, index, QStringLiteral("edit"));
}

QPushButton* SchedulesPage::deleteButton(std::size_t index) const {
    return childInGroup<QPushButton>(m_groups, index, QStringLiteral("delete"));
}

QCheckBox* SchedulesPage::enabledSwitch(std::size_t index) const {
    return childInGroup<QCheckBox>(m_groups, index);
}

QString SchedulesPage::summary(const Schedule& schedule, const Calendar& calendar) {
    if (schedule.recurring)
        return QStringLiteral("Recurring • ") + shortTime(schedule.start, calendar) +
               QStringLiteral(" to ") + shortTime(schedule.end, calendar);
    return shortDateTime(schedule.start, calendar) + QStringLiteral(" to ") +
           shortDateTime(schedule.end, calendar);
}

void SchedulesPage::changeSchedule(const Uuid& id, const std::optional<bool>& enabled) {
    Schedules schedules = m_model.schedules();
    const auto found = std::find_if(schedules.begin(), schedules.end(),
                                    [&](const Schedule& each) { return each.id == id; });
    if (found == schedules.end())
        return;
    if (enabled)
        found->enabled = *enabled;
    else
        schedules.erase(found);
    m_model.setSchedules(std::move(schedules));
    m_model.commit();
}

void SchedulesPage::rebuild() {
    for (TitledGroup* group : m_groups) {
        m_list->removeWidget(group);
        group->hide();
        group->deleteLater();
    }
    m_groups.clear();
    const Calendar calendar = m_dashboard.time().calendar();
    for (const Schedule& schedule : m_model.schedules()) {
        auto* group = new TitledGroup(QString::fromStdString(schedule.name), this);
        auto* window = new QLabel(summary(schedule, calendar), group);
        window->setObjectName(QStringLiteral("summary"));
        window->setWordWrap(true);
        group->body()->addWidget(window);
        auto* enabled = new QCheckBox(QStringLiteral("Enabled"), group);
        enabled->setChecked(schedule.enabled);
        connect(enabled, &QCheckBox::clicked, this,
                [this, id = schedule.id](bool on) { changeSchedule(id, on); });
        group->body()->addWidget(enabled);
        auto* row = new QHBoxLayout;
        auto* edit = new QPushButton(QStringLiteral("Edit"), group);
        edit->setObjectName(QStringLiteral("edit"));
        connect(edit, &QPushButton::clicked, this,
                [this, schedule] { m_dashboard.editSchedule(schedule); });
        row->addWidget(edit);
        auto* remove = new QPushButton(QStringLiteral("Delete"), group);
        remove->setObjectName(QStringLiteral("delete"));
        markDestructive(remove);
        connect(remove, &QPushButton::clicked, this,
                [this, id = schedule.id] { changeSchedule(id, std::nullopt); });
        row->addWidget(remove);
        row->addStretch(1);
        group->body()->addLayout(row);
        m_list->addWidget(group);
        m_groups.push_back(group);
    }
}

} // namespace wakeward
