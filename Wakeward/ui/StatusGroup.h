#pragma once

#include "ui/TimeSource.h"
#include "ui/Widgets.h"

#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace wakeward {

class Model;

// "Current session": what is held and why, the display, the countdown, the start, the battery
// and, when asked for, the stop, inspect and resume buttons.
class StatusGroup : public TitledGroup {
    Q_OBJECT
public:
    struct Options {
        TimeSource time;
        // Shows the inspector; without it there is no button row.
        std::function<void()> inspect;
    };

    StatusGroup(Model& model, Options options, QWidget* parent = nullptr);

    QLabel* stateLine() const { return m_state; }
    QLabel* countdown() const { return m_countdown; }
    QLabel* startedLine() const { return m_started; }
    QPushButton* stopButton() const { return m_stop; }
    QPushButton* resumeButton() const { return m_resume; }
    // Whether the countdown is redrawn every second (only while shown and counting).
    bool ticking() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();
    void refreshCountdown();

    Model& m_model;
    Options m_options;
    QLabel* m_stateIcon = nullptr;
    QLabel* m_state = nullptr;
    QLabel* m_reason = nullptr;
    QLabel* m_display = nullptr;
    QLabel* m_countdown = nullptr;
    QLabel* m_started = nullptr;
    QLabel* m_battery = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_resume = nullptr;
    QTimer* m_ticker = nullptr;
    QString m_symbol;
};

} // namespace wakeward
