#pragma once

#include <QFrame>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QTimer;
class QVBoxLayout;

namespace wakeward {

class Model;

// The small panel that the tray icon opens: state, reason, countdown, quick start and stop,
// favourite profiles, pause, battery, the inspector and quit.
class Panel : public QFrame {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> openApp;
        std::function<void()> openInspector;
        std::function<void()> quit;
    };

    Panel(Model& model, Actions actions, QWidget* parent = nullptr);

    // The names the favourite buttons show, in order (for tests and accessibility).
    QStringList favouriteLabels() const;
    QPushButton* primaryButton() const { return m_primary; }
    QPushButton* pauseButton() const { return m_pause; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refreshState();
    void refreshFavourites();
    void refreshCountdown();

    Model& m_model;
    Actions m_actions;
    QLabel* m_stateIcon = nullptr;
    // The state the icon was last drawn for.
    std::optional<bool> m_drawnActive;
    QLabel* m_stateLine = nullptr;
    QLabel* m_reason = nullptr;
    QLabel* m_countdown = nullptr;
    QPushButton* m_primary = nullptr;
    QVBoxLayout* m_favourites = nullptr;
    QPushButton* m_pause = nullptr;
    QLabel* m_battery = nullptr;
    QTimer* m_ticker = nullptr;
};

} // namespace wakeward
