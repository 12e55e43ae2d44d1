#pragma once

#include <QComboBox>
#include <QWidget>

class QCheckBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QTimeEdit;

namespace wakeward {

class Dashboard;
class Model;
class NumberField;
class StatusGroup;

// The running applications to choose from, read afresh whenever the picker is shown and
// whenever the list opens: "Choose an app" first, then one entry per application, each
// selecting its identifier.
class AppPicker : public QComboBox {
    Q_OBJECT
public:
    AppPicker(Model& model, QWidget* parent = nullptr);

    // Lists the running applications again and selects the form's application.
    void reload();
    // Selects the entry of the form's application without listing again.
    void select();
    void showPopup() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Model& m_model;
};

// "Sessions": the current session and the form of the next manual session.
class SessionsPage : public QWidget {
    Q_OBJECT
public:
    SessionsPage(Model& model, Dashboard& dashboard, QWidget* parent = nullptr);

    QComboBox* modePicker() const { return m_mode; }
    NumberField* minutesField() const { return m_minutes; }
    QTimeEdit* clockPicker() const { return m_clock; }
    AppPicker* appPicker() const { return m_app; }
    QCheckBox* displaySwitch() const { return m_display; }
    QCheckBox* mainsSwitch() const { return m_mains; }
    QPushButton* startButton() const { return m_start; }
    QPushButton* stopButton() const { return m_stop; }
    StatusGroup* status() const { return m_status; }
    // Whether the form shows the row of the named field ("Duration", "Until local time",
    // "Running application").
    bool showsRow(const QString& label) const;

private:
    void refreshForm();
    void refreshButtons();

    Model& m_model;
    Dashboard& m_dashboard;
    StatusGroup* m_status = nullptr;
    QFormLayout* m_form = nullptr;
    QComboBox* m_mode = nullptr;
    NumberField* m_minutes = nullptr;
    QTimeEdit* m_clock = nullptr;
    AppPicker* m_app = nullptr;
    QCheckBox* m_display = nullptr;
    QCheckBox* m_mains = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
};

} // namespace wakeward
