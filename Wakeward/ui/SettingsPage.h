#pragma once

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QVBoxLayout;

namespace wakeward {

class FenmarchGuidanceSettings;
class LoginItem;
class LoginItemControl;
class Model;

// "Settings": appearance and guidance, the battery safeguard and history retention, the
// optional services, and what Wakeward reads and never collects.
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPage(Model& model, QWidget* parent = nullptr);

    // Adds the launch-at-login status and switch for `loginItem`, which must outlive the page.
    void setLoginItem(LoginItem& loginItem);

    // The "Appearance" choice ("system", "light" or "dark") as stored.
    static QString appearance();
    QButtonGroup* appearancePicker() const { return m_appearance; }
    FenmarchGuidanceSettings* guidance() const { return m_guidance; }
    QSlider* thresholdSlider() const { return m_slider; }
    QLabel* thresholdLabel() const { return m_sliderValue; }
    QComboBox* retentionPicker() const { return m_retention; }
    QPushButton* saveButton() const { return m_save; }
    QCheckBox* notificationsSwitch() const { return m_notifications; }
    LoginItemControl* loginItemControl() const { return m_login; }

    // The choice of `offered` nearest to `value` (the smaller one on a tie).
    static int nearest(double value, std::initializer_list<int> offered);

signals:
    void stepsVisibilityChanged(bool visible);

private:
    void chooseAppearance(const QString& appearance);
    void refreshThreshold();
    void refreshRetention();

    Model& m_model;
    QButtonGroup* m_appearance = nullptr;
    FenmarchGuidanceSettings* m_guidance = nullptr;
    QSlider* m_slider = nullptr;
    QLabel* m_sliderValue = nullptr;
    QComboBox* m_retention = nullptr;
    QPushButton* m_save = nullptr;
    QCheckBox* m_notifications = nullptr;
    QVBoxLayout* m_services = nullptr;
    LoginItemControl* m_login = nullptr;
    // Set while the controls follow the controller, so that only the user's moves write back.
    bool m_following = false;
};

} // namespace wakeward
