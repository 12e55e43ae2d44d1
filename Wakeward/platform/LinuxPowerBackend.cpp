#include "platform/LinuxPowerBackend.h"

#include "GnomeSessionManagerProxy.h"
#include "Login1ManagerProxy.h"
#include "PortalInhibitProxy.h"
#include "PortalRequestProxy.h"
#include "PowerManagementInhibitProxy.h"
#include "ScreenSaverProxy.h"
#include "platform/BusAddress.h"
#include "platform/BusConnection.h"
#include "platform/LogindInhibitor.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDeadlineTimer>
#include <QThread>
#include <fcntl.h>
#include <set>
#include <unistd.h>
#include <utility>
#include <vector>

namespace wakeward {
namespace {

const QString gnomeSessionName = QStringLiteral("org.gnome.SessionManager");
const QString powerManagementName = QStringLiteral("org.freedesktop.PowerManagement");
const QString screenSaverName = QStringLiteral("org.freedesktop.ScreenSaver");
const QString portalName = QStringLiteral("org.freedesktop.portal.Desktop");
const QString logindName = QStringLiteral("org.freedesktop.login1");
const QString applicationId = QStringLiteral("org.fenmarch.Wakeward");
const QString applicationName = QStringLiteral("Wakeward");

// GNOME session manager and portal flags: 4 inhibits suspending, 8 inhibits going idle.
constexpr quint32 suspendFlag = 4;
constexpr quint32 idleFlag = 8;

std::int32_t statusOf(const QDBusError& error) {
    switch (error.type()) {
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        return LinuxPowerBackend::ServiceTimeout;
    case QDBusError::ServiceUnknown:
    case QDBusError::Disconnected:
    case QDBusError::NoServer:
        return LinuxPowerBackend::NoService;
    default:
        return LinuxPowerBackend::ServiceError;
    }
}

template <typename Reply> std::int32_t finish(Reply& reply) {
    reply.waitForFinished();
    return reply.isError() ? statusOf(reply.error()) : 0;
}

// The unique name of the service that answered, which is the one that holds what it granted.
template <typename Reply> QString answeredBy(const Reply& reply) {
    return reply.reply().service();
}

// PowerManagement and ScreenSaver share one call: Inhibit(application, reason) -> cookie.
template <typename Proxy>
std::int32_t inhibitForCookie(const QString& service, const QString& path,
                              QDBusConnection& connection, int timeoutMs, const QString& name,
                              std::uint32_t& cookie, QString& owner) {
    Proxy proxy(service, path, connection);
    proxy.setTimeout(timeoutMs);
    auto reply = proxy.Inhibit(applicationName, name);
    const std::int32_t status = finish(reply);
    if (status == 0) {
        cookie = reply.value();
        owner = answeredBy(reply);
    }
    return status;
}

} // namespace

// Notes, for one connection, which granting services lost their bus name and what the portal
// answered on its requests. Both arrive as signals through the event loop.
class BusWatch : public QObject {
    Q_OBJECT

public:
    BusWatch(QDBusConnection& connection, const QStringList& names, bool portal) {
        // Unique names are never reused, so an owner that left stays gone.
        connect(&m_owners, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString&, const QString& oldOwner, const QString&) {
                    if (!oldOwner.isEmpty())
                        m_gone.insert(oldOwner);
                });
        m_owners.setConnection(connection);
        m_owners.setWatchMode(QDBusServiceWatcher::WatchForOwnerChange);
        m_owners.setWatchedServices(names);
        // Any path: an answer may come before the call that made the request has returned.
        if (portal)
            connection.connect(QString(), QString(),
                               QStringLiteral("org.freedesktop.portal.Request"),
                               QStringLiteral("Response"), this, SLOT(onResponse(QDBusMessage)));
    }

    bool gone(const QString& owner) const { return m_gone.count(owner) != 0; }

    /// The answer `sender` gave on the request, if one came.
    std::optional<quint32> response(const QString& path, const QString& sender) const {
        const auto it = m_responses.find(path);
        if (it == m_responses.end() || it->second.first != sender)
            return std::nullopt;
        return it->second.second;
    }
    void forget(const QString& path) { m_responses.erase(path); }
    /// Drops the answers on every request but these, so answers meant for others cannot pile up.
    void keepOnly(const std::set<QString>& paths) {
        for (auto it = m_responses.begin(); it != m_responses.end();)
            it = paths.count(it->first) != 0 ? std::next(it) : m_responses.erase(it);
    }
    /// Delivers the signals that arrived so far, and nothing else of the event loop.
    void deliver() { QCoreApplication::sendPostedEvents(this, QEvent::MetaCall); }

private slots:
    void onResponse(const QDBusMessage& message) {
        const QVariantList arguments = message.arguments();
        if (!arguments.isEmpty())
            m_responses[message.path()] = {message.service(), arguments.constFirst().toUInt()};
    }

private:
    QDBusServiceWatcher m_owners;
    std::set<QString> m_gone;
    // request path -> (sender, response code)
    std::map<QString, std::pair<QString, quint32>> m_responses;
};

LinuxPowerBackend::LinuxPowerBackend(QString sessionAddress, QString systemAddress, int timeoutMs)
    : m_sessionAddress(std::move(sessionAddress)), m_systemAddress(std::move(systemAddress)),
      m_timeoutMs(timeoutMs) {
    registerLogindTypes();
}

LinuxPowerBackend::LinuxPowerBackend()
    : LinuxPowerBackend(BusAddress::session(), BusAddress::system()) {}

LinuxPowerBackend::~LinuxPowerBackend() {
    for (const auto& [handle, hold] : m_holds)
        uninhibit(hold);
}

std::string LinuxPowerBackend::serviceName(Service service) {
    switch (service) {
    case Service::GnomeSession:
        return "GNOME session manager";
    case Service::PowerManagement:
        return "Power management service";
    case Service::ScreenSaver:
        return "Screen saver service";
    case Service::Portal:
        return "Desktop portal";
    case Service::Logind:
        return "logind idle lock";
    }
    return {};
}

std::vector<LinuxPowerBackend::Service> LinuxPowerBackend::chain(AssertionType type) {
    // logind only stands in for idle system sleep, and only with an idle lock: a sleep lock of
    // mode block would also refuse a suspend the user asks for.
    if (type == AssertionType::PreventUserIdleSystemSleep)
        return {Service::GnomeSession, Service::PowerManagement, Service::Portal, Service::Logind};
    return {Service::GnomeSession, Service::ScreenSaver, Service::PowerManagement, Service::Portal};
}

QString LinuxPowerBackend::busName(Service service) {
    switch (service) {
    case Service::GnomeSession:
        return gnomeSessionName;
    case Service::PowerManagement:
        return powerManagementName;
    case Service::ScreenSaver:
        return screenSaverName;
    case Service::Portal:
        return portalName;
    case Service::Logind:
        return logindName;
    }
    return {};
}

bool LinuxPowerBackend::onSystemBus(Service service) {
    return busOf(service) == Bus::System;
}

LinuxPowerBackend::Bus LinuxPowerBackend::busOf(Service service) {
    return service == Service::Logind ? Bus::System : Bus::Session;
}

LinuxPowerBackend::Link& LinuxPowerBackend::link(Bus which) {
    Link& current = which == Bus::Session ? m_session : m_system;
    if (current.connection && current.connection->isConnected())
        return current;
    current.watch.reset();
    current.connection =
        std::make_unique<BusConnection>(which == Bus::Session ? m_sessionAddress : m_systemAddress);
    current.id = ++m_lastLink;
    // Watched from the start, so a service that leaves right after granting is still seen.
    const QStringList names =
        which == Bus::Session
            ? QStringList{gnomeSessionName, powerManagementName, screenSaverName, portalName}
            : QStringList{logindName};
    if (current.connection->isConnected())
        current.watch = std::make_unique<BusWatch>(current.connection->connection(), names,
                                                   which == Bus::Session);
    return current;
}

const LinuxPowerBackend::Link& LinuxPowerBackend::linkOf(Service service) const {
    return busOf(service) == Bus::Session ? m_session : m_system;
}

void LinuxPowerBackend::reconnectIfIdle() {
    auto holdsOn = [this](Bus which) {
        for (const auto& [handle, hold] : m_holds) {
            if (busOf(hold.service) == which)
                return true;
        }
        return false;
    };
    // Closing the connection makes every service drop what a late answer may still have granted on
    // it.
    if (m_sessionTainted && !holdsOn(Bus::Session)) {
        m_session = Link();
        m_sessionTainted = false;
    }
    if (m_systemTainted && !holdsOn(Bus::System)) {
        m_system = Link();
        m_systemTainted = false;
    }
}

bool LinuxPowerBackend::available(Service service) {
    switch (service) {
    case Service::GnomeSession:
        return bus(Bus::Session).hasOwner(gnomeSessionName, m_timeoutMs);
    case Service::PowerManagement:
        return bus(Bus::Session).hasOwner(powerManagementName, m_timeoutMs);
    case Service::ScreenSaver:
        return bus(Bus::Session).hasOwner(screenSaverName, m_timeoutMs);
    case Service::Portal:
        // The portal is started on demand, so being activatable is as good as running.
        return bus(Bus::Session).hasOwner(portalName, m_timeoutMs) ||
               bus(Bus::Session).isActivatable(portalName, m_timeoutMs);
    case Service::Logind:
        return bus(Bus::System).hasOwner(logindName, m_timeoutMs);
    }
    return false;
}

std::int32_t LinuxPowerBackend::inhibit(Service service, AssertionType type, const QString& name,
                                        Hold& hold) {
    const bool system = type == AssertionType::PreventUserIdleSystemSleep;
    QDBusConnection& connection = bus(busOf(service)).connection();
    switch (service) {
    case Service::GnomeSession: {
        GnomeSessionManagerProxy proxy(gnomeSessionName,
                                       QStringLiteral("/org/gnome/SessionManager"), connection);
        proxy.setTimeout(m_timeoutMs);
        auto reply = proxy.Inhibit(applicationId, 0, name, system ? suspendFlag : idleFlag);
        const std::int32_t status = finish(reply);
        if (status == 0) {
            hold.cookie = reply.value();
            hold.owner = answeredBy(reply);
        }
        return status;
    }
    case Service::PowerManagement:
        return inhibitForCookie<PowerManagementInhibitProxy>(
            powerManagementName, QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"),
            connection, m_timeoutMs, name, hold.cookie, hold.owner);
    case Service::ScreenSaver:
        return inhibitForCookie<ScreenSaverProxy>(
            screenSaverName, QStringLiteral("/org/freedesktop/ScreenSaver"), connection,
            m_timeoutMs, name, hold.cookie, hold.owner);
    case Service::Portal: {
        std::set<QString> awaited;
        for (const auto& [handle, held] : m_holds) {
            if (held.awaitingAnswer)
                awaited.insert(held.request);
        }
        m_session.watch->keepOnly(awaited);
        PortalInhibitProxy proxy(portalName, QStringLiteral("/org/freedesktop/portal/desktop"),
                                 connection);
        proxy.setTimeout(m_timeoutMs);
        auto reply = proxy.Inhibit(QString(), system ? suspendFlag : idleFlag,
                                   {{QStringLiteral("reason"), name}});
        const std::int32_t status = finish(reply);
        if (status != 0)
            return status;
        hold.request = reply.value().path();
        hold.owner = answeredBy(reply);
        return hold.request.isEmpty() ? ServiceError : awaitPortalAnswer(hold);
    }
    case Service::Logind: {
        Login1ManagerProxy proxy(logindName, QStringLiteral("/org/freedesktop/login1"), connection);
        proxy.setTimeout(m_timeoutMs);
        auto reply =
            proxy.Inhibit(QStringLiteral("idle"), applicationName, name, QStringLiteral("block"));
        const std::int32_t status = finish(reply);
        if (status != 0)
            return status;
        // The reply's descriptor closes with the reply; the lock lives as long as our own copy.
        const QDBusUnixFileDescriptor fd = reply.value();
        hold.fd = fd.isValid() ? ::fcntl(fd.fileDescriptor(), F_DUPFD_CLOEXEC, 0) : -1;
        hold.owner = answeredBy(reply);
        return hold.fd >= 0 ? 0 : ServiceError;
    }
    }
    return ServiceError;
}

std::int32_t LinuxPowerBackend::awaitPortalAnswer(Hold& hold) {
    // The portal returns the request before its backend has acted and tells the outcome later.
    // Only the answers are delivered while waiting, so no timer or other event of the application
    // runs inside a hold.
    BusWatch& watch = *m_session.watch;
    const QDeadlineTimer deadline(m_timeoutMs);
    for (;;) {
        watch.deliver();
        if (const auto response = watch.response(hold.request, hold.owner)) {
            watch.forget(hold.request);
            return *response == 0 ? 0 : ServiceError;
        }
        if (deadline.hasExpired())
            break;
        QThread::msleep(5);
    }
    // Older portals answer only failures: silence counts as held, and a failure that comes later
    // ends the hold.
    hold.awaitingAnswer = true;
    return 0;
}

void LinuxPowerBackend::uninhibit(const Hold& hold) {
    if (hold.service == Service::Logind) {
        ::close(hold.fd);
        return;
    }
    if (hold.awaitingAnswer && m_session.watch)
        m_session.watch->forget(hold.request);
    // Desktop services drop a caller's holds when its connection goes; a new connection could
    // only send a stale cookie.
    if (!m_session.connection || !m_session.connection->isConnected() || hold.link != m_session.id)
        return;
    QDBusConnection& connection = m_session.connection->connection();
    // Addressed to the instance that granted the hold: a restarted service never sees a cookie it
    // did not give.
    const QString& owner = hold.owner;
    std::int32_t status = 0;
    switch (hold.service) {
    case Service::GnomeSession: {
        GnomeSessionManagerProxy proxy(owner, QStringLiteral("/org/gnome/SessionManager"),
                                       connection);
        proxy.setTimeout(m_timeoutMs);
        auto reply = proxy.Uninhibit(hold.cookie);
        status = finish(reply);
        break;
    }
    case Service::PowerManagement: {
        PowerManagementInhibitProxy proxy(
            owner, QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"), connection);
        proxy.setTimeout(m_timeoutMs);
        auto reply = proxy.UnInhibit(hold.cookie);
        status = finish(reply);
        break;
    }
    case Service::ScreenSaver: {
        ScreenSaverProxy proxy(owner, QStringLiteral("/org/freedesktop/ScreenSaver"), connection);
        proxy.setTimeout(m_timeoutMs);
        auto reply = proxy.UnInhibit(hold.cookie);
        status = finish(reply);
        break;
    }
    case Service::Portal: {
        PortalRequestProxy proxy(owner, hold.request, connection);
        proxy.setTimeout(m_timeoutMs);
        auto reply = proxy.Close();
        status = finish(reply);
        break;
    }
    case Service::Logind:
        break;
    }
    if (status == ServiceTimeout)
        m_sessionTainted = true;
}

std::int32_t LinuxPowerBackend::create(AssertionType type, const std::string& name,
                                       std::uint32_t& handle) {
    handle = 0;
    reconnectIfIdle();
    // A service that is there but fails hands over to the next; the last failure is the answer.
    std::int32_t status = NoService;
    for (const Service service : chain(type)) {
        if (!available(service))
            continue;
        Hold hold;
        hold.service = service;
        hold.link = link(busOf(service)).id;
        status = inhibit(service, type, QString::fromStdString(name), hold);
        if (status == 0) {
            do {
                ++m_lastHandle;
            } while (m_lastHandle == 0 || m_holds.count(m_lastHandle) != 0);
            handle = m_lastHandle;
            m_holds.emplace(handle, std::move(hold));
            return 0;
        }
        if (status == ServiceTimeout)
            (busOf(service) == Bus::Session ? m_sessionTainted : m_systemTainted) = true;
        reconnectIfIdle();
    }
    return status;
}

void LinuxPowerBackend::release(std::uint32_t handle) {
    const auto it = m_holds.find(handle);
    if (it == m_holds.end())
        return;
    const Hold hold = it->second;
    m_holds.erase(it);
    uninhibit(hold);
    reconnectIfIdle();
}

std::optional<LinuxPowerBackend::Service> LinuxPowerBackend::serviceOf(std::uint32_t handle) const {
    const auto it = m_holds.find(handle);
    return it == m_holds.end() ? std::nullopt : std::optional<Service>(it->second.service);
}

std::string LinuxPowerBackend::holderName(std::uint32_t handle) const {
    const auto service = serviceOf(handle);
    return service ? serviceName(*service) : std::string();
}

bool LinuxPowerBackend::holds(std::uint32_t handle) const {
    const auto it = m_holds.find(handle);
    if (it == m_holds.end())
        return false;
    const Hold& hold = it->second;
    const Link& current = linkOf(hold.service);
    if (!current.connection || !current.connection->isConnected() || current.id != hold.link ||
        current.watch->gone(hold.owner))
        return false;
    if (hold.awaitingAnswer) {
        const auto response = current.watch->response(hold.request, hold.owner);
        if (response && *response != 0)
            return false;
    }
    return true;
}

} // namespace wakeward

#include "LinuxPowerBackend.moc"
