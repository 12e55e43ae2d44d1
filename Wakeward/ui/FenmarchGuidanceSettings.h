#pragma once

#include <QWidget>

class QCheckBox;
class QPushButton;

namespace wakeward {

class LinkLabel;

// The guidance preferences: numbered steps, the walkthrough and (for free apps) the welcome
// at start-up, a button that opens the walkthrough now, and the maker's support links.
class FenmarchGuidanceSettings : public QWidget {
    Q_OBJECT
public:
    explicit FenmarchGuidanceSettings(bool free, QWidget* parent = nullptr);

    QCheckBox* stepsSwitch() const { return m_steps; }
    QCheckBox* tourSwitch() const { return m_tour; }
    // None unless the app is free.
    QCheckBox* welcomeSwitch() const { return m_welcome; }
    QPushButton* openTourButton() const { return m_openTour; }
    QList<LinkLabel*> links() const;

signals:
    // The numbered steps were switched on or off; they follow at once.
    void stepsVisibilityChanged(bool visible);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();

    QCheckBox* m_steps = nullptr;
    QCheckBox* m_tour = nullptr;
    QCheckBox* m_welcome = nullptr;
    QPushButton* m_openTour = nullptr;
};

} // namespace wakeward
