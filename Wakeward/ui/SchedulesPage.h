#pragma once

#include <QWidget>
#include <vector>
#include <wakeward/Records.h>

class QCheckBox;
class QPushButton;
class QVBoxLayout;

namespace wakeward {

class Calendar;
class Dashboard;
class Model;
class TitledGroup;

// "Schedules": a new schedule, and one group per schedule with its window, its switch and
// edit and delete buttons.
class SchedulesPage : public QWidget {
    Q_OBJECT
public:
    SchedulesPage(Model& model, Dashboard& dashboard, QWidget* parent = nullptr);

    QPushButton* newButton() const { return m_new; }
    const std::vector<TitledGroup*>& groups() const { return m_groups; }
    // The "Edit" button of the group at `index`.
    QPushButton* editButton(std::size_t index) const;
    QPushButton* deleteButton(std::size_t index) const;
    QCheckBox* enabledSwitch(std::size_t index) const;

    // "Recurring • 09:00 to 17:00" for a weekly window (times only), or the start and end
    // dates and times of a one-off window.
    static QString summary(const Schedule& schedule, const Calendar& calendar);

private:
    void rebuild();
    // Replaces or removes the stored schedule with `id`, then saves and applies at once.
    void changeSchedule(const Uuid& id, const std::optional<bool>& enabled);

    Model& m_model;
    Dashboard& m_dashboard;
    QPushButton* m_new = nullptr;
    QVBoxLayout* m_list = nullptr;
    std::vector<TitledGroup*> m_groups;
};

} // namespace wakeward
