#pragma once

#include "platform/WorkspaceEvents.h"

#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

class QSocketNotifier;
class QDBusPendingCallWatcher;
class QDBusServiceWatcher;
class Login1ManagerProxy;

namespace wakeward {

class BusConnection;

// The Linux sources of the controller's workspace events: logind's sleep signal with a delay
// lock, mount changes, the exit of a watched application's processes and, in an X11 session,
// a change of the active window.
class LinuxWorkspaceEvents : public QObject, public WorkspaceEvents {
    Q_OBJECT

public:
    struct Options {
        /// The system bus; empty means the usual one.
        QString systemBusAddress;
        /// Where processes and the mount table are read.
        std::filesystem::path procRoot = "/proc";
        /// Watch the X11 active window when the session is an X11 one.
        bool activeWindow = true;
    };

    LinuxWorkspaceEvents();
    explicit LinuxWorkspaceEvents(Options options);
    ~LinuxWorkspaceEvents() override;

    void start(Handlers handlers) override;
    void watchApplication(const std::string& identifier) override;
    void stopWatchingApplication() override;
    /// Takes the delay lock for sleep if logind could not give it so far.
    void tick() override;

    /// True while the logind delay lock for sleep is held.
    bool holdsSleepDelay() const { return m_delayLock >= 0; }
    /// How many processes of the watched application are watched.
    std::size_t watchedProcesses() const { return m_processes.size(); }

private:
    struct X11Watch;

    void connectSystemBus();
    void takeDelayLock();
    void closeDelayLock();
    void onPrepareForSleep(bool start);
    void watchMounts();
    void watchActiveWindow();
    void onProcessExited(int pid);
    void changed();

    Options m_options;
    Handlers m_handlers;
    std::unique_ptr<BusConnection> m_system;
    std::unique_ptr<Login1ManagerProxy> m_login;
    std::unique_ptr<QDBusServiceWatcher> m_logindOwner;
    QDBusPendingCallWatcher* m_pendingLock = nullptr;
    // Counts lock requests; an answer to one that was given up on is dropped.
    std::uint64_t m_lockRequest = 0;
    // When the pending request was sent: one whose answer never came is given up on, so that a
    // lost reply cannot stop the retries.
    std::chrono::steady_clock::time_point m_lockAsked;
    int m_delayLock = -1;
    // Between logind's announcement of sleep and the wake: no delay lock may be taken.
    bool m_sleeping = false;
    int m_mountFd = -1;
    QSocketNotifier* m_mountNotifier = nullptr;
    std::string m_watchedApp;
    // pid to its pidfd watch; a watch goes when its process exits.
    std::map<int, std::unique_ptr<QSocketNotifier>> m_processes;
    std::unique_ptr<X11Watch> m_x11;
};

} // namespace wakeward
