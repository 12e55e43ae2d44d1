#pragma once

#include <QDialog>
#include <wakeward/Records.h>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace wakeward {

class NumberField;

// "Task profile": edits a copy of one profile and hands it back on "Save".
class ProfileEditor : public QDialog {
    Q_OBJECT
public:
    explicit ProfileEditor(Profile profile, QWidget* parent = nullptr);

    // A name with something besides spaces and tabs, and 1 to 1440 minutes.
    static bool acceptable(const Profile& profile);

    const Profile& profile() const { return m_profile; }
    QLineEdit* nameField() const { return m_name; }
    NumberField* minutesField() const { return m_minutes; }
    QCheckBox* displaySwitch() const { return m_display; }
    QCheckBox* mainsSwitch() const { return m_mains; }
    QCheckBox* favouriteSwitch() const { return m_favourite; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* cancelButton() const { return m_cancel; }

signals:
    void saved(const wakeward::Profile& profile);

private:
    void refreshSave();

    Profile m_profile;
    QLineEdit* m_name = nullptr;
    NumberField* m_minutes = nullptr;
    QCheckBox* m_display = nullptr;
    QCheckBox* m_mains = nullptr;
    QCheckBox* m_favourite = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace wakeward
