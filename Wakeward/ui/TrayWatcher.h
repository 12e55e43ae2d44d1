#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

namespace wakeward {

// Waits for a system tray that was not there at start: a login autostart can win the race
// against the desktop's tray host. Checks at once, then whenever told that a tray may have
// appeared and, for trays that announce themselves to nobody (XEmbed), every `interval`
// (none when zero); reports the first tray found and then stops.
class TrayWatcher : public QObject {
    Q_OBJECT
public:
    TrayWatcher(std::function<bool()> available, std::chrono::milliseconds interval,
                QObject* parent = nullptr);

    bool found() const { return m_found; }
    bool polling() const { return m_timer.isActive(); }

public slots:
    // A tray host may have appeared: looks again, unless one was found already.
    void check();

signals:
    void appeared();

private:
    std::function<bool()> m_available;
    QTimer m_timer;
    bool m_found = false;
};

} // namespace wakeward
