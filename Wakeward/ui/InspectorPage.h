#pragma once

#include "ui/TimeSource.h"

#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace wakeward {

class Model;
class StatusGroup;

// Wakeward's own holds as the holder keeps them: identifiers (0 when none) and what holds each.
struct HeldAssertions {
    std::uint32_t system = 0;
    std::uint32_t display = 0;
    std::string systemHolder;
    std::string displayHolder;
};

// "Sleep Inspector": Wakeward's own state and assertion identifiers, and a snapshot of the
// holds that other processes report.
class InspectorPage : public QWidget {
    Q_OBJECT
public:
    InspectorPage(Model& model, TimeSource time, QWidget* parent = nullptr);

    // Where the page reads Wakeward's own identifiers from; without it they are not shown.
    void setHeldAssertions(std::function<HeldAssertions()> held);

    StatusGroup* statusGroup() const { return m_status; }
    QLabel* identifiers() const { return m_ids; }
    QLabel* holders() const { return m_holders; }
    QPushButton* refreshButton() const { return m_refresh; }
    // The sentence shown instead of a list, hidden while there is a list.
    QLabel* reportsNote() const { return m_note; }
    // The listed reports, in order.
    QStringList reports() const;

private:
    void refreshOwn();
    void refreshReports();

    Model& m_model;
    std::function<HeldAssertions()> m_held;
    StatusGroup* m_status = nullptr;
    QLabel* m_ids = nullptr;
    QLabel* m_holders = nullptr;
    QPushButton* m_refresh = nullptr;
    QLabel* m_note = nullptr;
    QVBoxLayout* m_list = nullptr;
    QList<QLabel*> m_reports;
};

} // namespace wakeward
