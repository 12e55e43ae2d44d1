#include "platform/LinuxWorkspaceEvents.h"

#include "Login1ManagerProxy.h"
#include "platform/ActiveWindow.h"
#include "platform/BusAddress.h"
#include "platform/BusConnection.h"
#include "platform/ProcessIdentity.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>
#include <QSocketNotifier>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/syscall.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace wakeward {
namespace {

constexpr int kBusTimeoutMs = 2000;

int openPidfd(int pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

} // namespace

struct LinuxWorkspaceEvents::X11Watch {
    xcb_connection_t* connection = nullptr;
    xcb_atom_t activeWindow = XCB_ATOM_NONE;
    std::unique_ptr<QSocketNotifier> notifier;

    ~X11Watch() {
        notifier.reset();
        if (connection != nullptr)
            xcb_disconnect(connection);
    }

    // Drains the event queue; true when the active window changed.
    bool activeWindowChanged() const {
        bool changed = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
                reinterpret_cast<xcb_property_notify_event_t*>(event)->atom == activeWindow)
                changed = true;
            std::free(event);
        }
        return changed;
    }
};

LinuxWorkspaceEvents::LinuxWorkspaceEvents() : LinuxWorkspaceEvents(Options()) {}

LinuxWorkspaceEvents::LinuxWorkspaceEvents(Options options) : m_options(std::move(options)) {}

LinuxWorkspaceEvents::~LinuxWorkspaceEvents() {
    stopWatchingApplication();
    closeDelayLock();
    delete m_mountNotifier;
    if (m_mountFd >= 0)
        ::close(m_mountFd);
}

void LinuxWorkspaceEvents::start(Handlers handlers) {
    m_handlers = std::move(handlers);
    connectSystemBus();
    watchMounts();
    if (m_options.activeWindow && ActiveWindow::isX11Session())
        watchActiveWindow();
}

void LinuxWorkspaceEvents::connectSystemBus() {
    m_logindOwner.reset();
    m_login.reset();
    m_system = std::make_unique<BusConnection>(
        m_options.systemBusAddress.isEmpty() ? BusAddress::system() : m_options.systemBusAddress);
    if (!m_system->isConnected())
        return;
    const QString logind = QStringLiteral("org.freedesktop.login1");
    m_login = std::make_unique<Login1ManagerProxy>(
        logind, QStringLiteral("/org/freedesktop/login1"), m_system->connection());
    m_login->setTimeout(kBusTimeoutMs);
    connect(m_login.get(), &Login1ManagerProxy::PrepareForSleep, this,
            &LinuxWorkspaceEvents::onPrepareForSleep);
    // A delay lock belongs to the logind that gave it: when logind goes or restarts, take one
    // from the new instance.
    m_logindOwner = std::make_unique<QDBusServiceWatcher>(logind, m_system->connection(),
                                                          QDBusServiceWatcher::WatchForOwnerChange);
    connect(m_logindOwner.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString& oldOwner, const QString& newOwner) {
                if (!oldOwner.isEmpty()) {
                    closeDelayLock();
                    m_sleeping = false;
                }
                if (!newOwner.isEmpty())
                    takeDelayLock();
            });
    takeDelayLock();
}

void LinuxWorkspaceEvents::tick() {
    if (!m_system || !m_system->isConnected())
        connectSystemBus();
    else
        takeDelayLock();
}

void LinuxWorkspaceEvents::takeDelayLock() {
    if (m_pendingLock != nullptr &&
        std::chrono::steady_clock::now() - m_lockAsked > 2 * std::chrono::milliseconds(kBusTimeoutMs)) {
        ++m_lockRequest; // a late answer to the abandoned request is dropped, its lock closed
        m_pendingLock = nullptr;
    }
    if (!m_login || m_sleeping || m_delayLock >= 0 || m_pendingLock != nullptr)
        return;
    m_lockAsked = std::chrono::steady_clock::now();
    const std::uint64_t request = ++m_lockRequest;
    m_pendingLock = new QDBusPendingCallWatcher(
        m_login->Inhibit(
            QStringLiteral("sleep"), QStringLiteral("Wakeward"),
            QStringLiteral("Releases Wakeward's power holds before the machine sleeps"),
            QStringLiteral("delay")),
        this);
    connect(m_pendingLock, &QDBusPendingCallWatcher::finished, this,
            [this, request](QDBusPendingCallWatcher* watcher) {
                watcher->deleteLater();
                // Given up on (sleep began or logind changed): its lock closes with the reply.
                if (request != m_lockRequest)
                    return;
                m_pendingLock = nullptr;
                QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
                if (!reply.isError() && reply.value().isValid() && m_delayLock < 0)
                    m_delayLock = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
            });
}

void LinuxWorkspaceEvents::closeDelayLock() {
    ++m_lockRequest;
    m_pendingLock = nullptr;
    if (m_delayLock >= 0) {
        ::close(m_delayLock);
        m_delayLock = -1;
    }
}

void LinuxWorkspaceEvents::onPrepareForSleep(bool start) {
    if (start) {
        // logind waits for the delay lock to close: drop the holds first, then let it go.
        if (m_handlers.aboutToSleep)
            m_handlers.aboutToSleep();
        closeDelayLock();
        m_sleeping = true;
    } else {
        m_sleeping = false;
        takeDelayLock();
        changed();
    }
}

void LinuxWorkspaceEvents::watchMounts() {
    const std::string path = (m_options.procRoot / "self" / "mountinfo").string();
    m_mountFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_mountFd < 0)
        return;
    // The kernel flags a mount change as an exceptional condition until the table is read again.
    m_mountNotifier = new QSocketNotifier(m_mountFd, QSocketNotifier::Exception, this);
    connect(m_mountNotifier, &QSocketNotifier::activated, this, [this] {
        char buffer[8192];
        ::lseek(m_mountFd, 0, SEEK_SET);
        while (::read(m_mountFd, buffer, sizeof buffer) > 0) {
        }
        changed();
    });
}

void LinuxWorkspaceEvents::watchActiveWindow() {
    // Bounded, so a stuck X server cannot hold up start-up.
    const auto root = ActiveWindow::openRoot(std::chrono::milliseconds(kBusTimeoutMs));
    if (!root)
        return;
    auto watch = std::make_unique<X11Watch>();
    watch->connection = root->connection;
    watch->activeWindow = root->activeWindow;

    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(watch->connection, root->window, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(watch->connection);

    watch->notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(watch->connection),
                                                        QSocketNotifier::Read);
    connect(watch->notifier.get(), &QSocketNotifier::activated, this, [this] {
        if (xcb_connection_has_error(m_x11->connection) != 0) {
            // The X server went away; the notifier is still in its own signal, so it goes later.
            m_x11->notifier->setEnabled(false);
            m_x11->notifier.release()->deleteLater();
            m_x11.reset();
            return;
        }
        if (m_x11->activeWindowChanged())
            changed();
    });
    m_x11 = std::move(watch);
    m_x11->activeWindowChanged();
}

void LinuxWorkspaceEvents::watchApplication(const std::string& identifier) {
    // A pass of the tick calls this while the session runs: rescan only when there is nothing
    // left to watch or the application changed.
    if (identifier == m_watchedApp && !m_processes.empty())
        return;
    stopWatchingApplication();
    m_watchedApp = identifier;

    DIR* dir = ::opendir(m_options.procRoot.c_str());
    if (dir == nullptr)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || pid <= 0)
            continue;
        if (process::identify(::dirfd(dir), static_cast<int>(pid)) != identifier)
            continue;
        const int pidfd = openPidfd(static_cast<int>(pid));
        if (pidfd < 0)
            continue;
        auto notifier = std::make_unique<QSocketNotifier>(pidfd, QSocketNotifier::Read);
        connect(notifier.get(), &QSocketNotifier::activated, this,
                [this, pid = static_cast<int>(pid)] { onProcessExited(pid); });
        m_processes.emplace(static_cast<int>(pid), std::move(notifier));
    }
    ::closedir(dir);
}

void LinuxWorkspaceEvents::stopWatchingApplication() {
    for (auto& [pid, notifier] : m_processes) {
        const int pidfd = static_cast<int>(notifier->socket());
        notifier.reset();
        ::close(pidfd);
    }
    m_processes.clear();
    m_watchedApp.clear();
}

void LinuxWorkspaceEvents::onProcessExited(int pid) {
    const auto it = m_processes.find(pid);
    if (it == m_processes.end())
        return;
    const int pidfd = static_cast<int>(it->second->socket());
    // Deleting the notifier from its own signal is not allowed; disable it and let it go later.
    it->second->setEnabled(false);
    it->second.release()->deleteLater();
    ::close(pidfd);
    m_processes.erase(it);
    changed();
}

void LinuxWorkspaceEvents::changed() {
    if (m_handlers.changed)
        m_handlers.changed();
}

} // namespace wakeward
