#pragma once

#include "ui/TimeSource.h"

#include <QDialog>
#include <array>
#include <wakeward/Records.h>

class QCheckBox;
class QDateTimeEdit;
class QLineEdit;
class QPushButton;

namespace wakeward {

// "Schedule": edits a copy of one schedule and hands it back on "Save".
class ScheduleEditor : public QDialog {
    Q_OBJECT
public:
    ScheduleEditor(Schedule schedule, TimeSource time, QWidget* parent = nullptr);

    // A name, and for a recurring window weekdays and different start and end clock times; for
    // a one-off window an end after its start.
    static bool acceptable(const Schedule& schedule, const Calendar& calendar);
    // The short weekday name of the calendar's weekday number (1 = Sunday).
    static QString weekdayName(int number);

    const Schedule& schedule() const { return m_schedule; }
    QLineEdit* nameField() const { return m_name; }
    QCheckBox* recurringSwitch() const { return m_recurring; }
    QDateTimeEdit* startPicker() const { return m_start; }
    QDateTimeEdit* endPicker() const { return m_end; }
    QPushButton* weekdayButton(int number) const {
        return m_weekdays.at(static_cast<std::size_t>(number - 1));
    }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* cancelButton() const { return m_cancel; }

    // Switches a weekday on (appending it once) or off (removing every occurrence).
    void setWeekday(int number, bool on);

signals:
    void saved(const wakeward::Schedule& schedule);

private:
    void refresh();

    Schedule m_schedule;
    TimeSource m_time;
    QLineEdit* m_name = nullptr;
    QCheckBox* m_recurring = nullptr;
    QDateTimeEdit* m_start = nullptr;
    QDateTimeEdit* m_end = nullptr;
    QWidget* m_weekdayRow = nullptr;
    std::array<QPushButton*, 7> m_weekdays{};
    QPushButton* m_save = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace wakeward
