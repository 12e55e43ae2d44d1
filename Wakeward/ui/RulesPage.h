#pragma once

#include <QWidget>
#include <vector>
#include <wakeward/Records.h>

class QCheckBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace wakeward {

class Dashboard;
class Model;
class TitledGroup;

// "Rules": a new rule, pausing automation, one group per rule with its switch, summary and
// test, edit and delete buttons, and the live test's trace.
class RulesPage : public QWidget {
    Q_OBJECT
public:
    RulesPage(Model& model, Dashboard& dashboard, QWidget* parent = nullptr);

    QPushButton* newButton() const { return m_new; }
    QPushButton* pauseButton() const { return m_pause; }
    // "No rules yet…", shown only while there are none.
    QLabel* emptyNote() const { return m_empty; }
    QLabel* traceLabel() const { return m_trace; }
    const std::vector<TitledGroup*>& groups() const { return m_groups; }
    // The "Edit" button of the group at `index`.
    QPushButton* editButton(std::size_t index) const;
    QPushButton* testButton(std::size_t index) const;
    QPushButton* deleteButton(std::size_t index) const;
    QCheckBox* enabledSwitch(std::size_t index) const;

    // The conditions as one line: "Kind: value" (or the kind alone when there is no value),
    // joined by " AND " or " OR ".
    static QString conditionsSummary(const Rule& rule);
    // "Priority 10 • Keep awake".
    static QString actionLine(const Rule& rule);

private:
    void rebuild();
    void refreshPause();
    // Replaces or removes the stored rule with `id`, then saves and applies at once.
    void changeRule(const Uuid& id, const std::optional<bool>& enabled);

    Model& m_model;
    Dashboard& m_dashboard;
    QPushButton* m_new = nullptr;
    QPushButton* m_pause = nullptr;
    QLabel* m_empty = nullptr;
    QLabel* m_trace = nullptr;
    QVBoxLayout* m_list = nullptr;
    std::vector<TitledGroup*> m_groups;
};

} // namespace wakeward
