#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace wakeward {

class Model;
class NumberField;

// "Drive Awake": the file whose drive is read during sessions, the switch and the interval.
class DriveAwakePage : public QWidget {
    Q_OBJECT
public:
    explicit DriveAwakePage(Model& model, QWidget* parent = nullptr);

    QPushButton* chooseButton() const { return m_choose; }
    QLabel* pathLabel() const { return m_path; }
    QCheckBox* enabledSwitch() const { return m_enabled; }
    NumberField* intervalField() const { return m_interval; }
    QLabel* statusLabel() const { return m_status; }

private:
    void refresh();

    Model& m_model;
    QPushButton* m_choose = nullptr;
    QLabel* m_path = nullptr;
    QCheckBox* m_enabled = nullptr;
    NumberField* m_interval = nullptr;
    QLabel* m_status = nullptr;
};

} // namespace wakeward
