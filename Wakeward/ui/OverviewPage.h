#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace wakeward {

class Dashboard;
class Model;
class StatusGroup;

// "Overview": a welcome row with the state at a glance, the current session and what Wakeward
// can and cannot do.
class OverviewPage : public QWidget {
    Q_OBJECT
public:
    OverviewPage(Model& model, Dashboard& dashboard, QWidget* parent = nullptr);

    QLabel* headline() const { return m_headline; }
    QPushButton* setUpButton() const { return m_setUp; }
    StatusGroup* status() const { return m_status; }

private:
    void refresh();

    Model& m_model;
    QLabel* m_headline = nullptr;
    QLabel* m_reason = nullptr;
    QLabel* m_battery = nullptr;
    QPushButton* m_setUp = nullptr;
    StatusGroup* m_status = nullptr;
};

} // namespace wakeward
