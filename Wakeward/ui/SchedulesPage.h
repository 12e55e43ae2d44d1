#pragma once

#include <QWidget>
#include <vector>

class QPushButton;
class QVBoxLayout;

namespace wakeward {

class Dashboard;
class Model;
class TitledGroup;

// "Schedules": a new schedule, and one group per schedule that opens it in the editor.
class SchedulesPage : public QWidget {
    Q_OBJECT
public:
    SchedulesPage(Model& model, Dashboard& dashboard, QWidget* parent = nullptr);

    QPushButton* newButton() const { return m_new; }
    const std::vector<TitledGroup*>& groups() const { return m_groups; }
    // The "Edit" button of the group at `index`.
    QPushButton* editButton(std::size_t index) const;

private:
    void rebuild();

    Model& m_model;
    Dashboard& m_dashboard;
    QPushButton* m_new = nullptr;
    QVBoxLayout* m_list = nullptr;
    std::vector<TitledGroup*> m_groups;
};

} // namespace wakeward
