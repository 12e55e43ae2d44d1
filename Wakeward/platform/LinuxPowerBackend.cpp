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

#include <fcntl.h>
#include <unistd.h>
#include <utility>

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

// PowerManagement and ScreenSaver share one call: Inhibit(application, reason) -> cookie.
template <typename Proxy>
std::int32_t inhibitForCookie(const QString& service, const QString& path, QDBusConnection& connection,
                              int timeoutMs, const QString& name, std::uint32_t& cookie) {
    Proxy proxy(service, path, connection);
    proxy.setTimeout(timeoutMs);
    auto reply = proxy.Inhibit(applicationName, name);
    const std::int32_t status = finish(reply);
    if (status == 0)
        cookie = reply.value();
    return status;
}

} // namespace

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

LinuxPowerBackend::Bus LinuxPowerBackend::busOf(Service service) {
    return service == Service::Logind ? Bus::System : Bus::Session;
}

BusConnection& LinuxPowerBackend::bus(Bus which) {
    auto& connection = which == Bus::Session ? m_session : m_system;
    if (!connection || !connection->isConnected())
        connection = std::make_unique<BusConnection>(which == Bus::Session ? m_sessionAddress
                                                                           : m_systemAddress);
    return *connection;
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
        m_session.reset();
        m_sessionTainted = false;
    }
    if (m_systemTainted && !holdsOn(Bus::System)) {
        m_system.reset();
        m_systemTainted = false;
    }
}

std::optional<LinuxPowerBackend::Service> LinuxPowerBackend::choose(AssertionType type) {
    BusConnection& session = bus(Bus::Session);
    auto portalAvailable = [&] {
        // The portal is started on demand, so being activatable is as good as running.
        return session.hasOwner(portalName, m_timeoutMs) ||
               session.isActivatable(portalName, m_timeoutMs);
    };
    if (session.isConnected()) {
        if (session.hasOwner(gnomeSessionName, m_timeoutMs))
            return Service::GnomeSession;
        if (type == AssertionType::PreventUserIdleSystemSleep) {
            if (session.hasOwner(powerManagementName, m_timeoutMs))
                return Service::PowerManagement;
        } else {
            if (session.hasOwner(screenSaverName, m_timeoutMs))
                return Service::ScreenSaver;
            if (session.hasOwner(powerManagementName, m_timeoutMs))
                return Service::PowerManagement;
        }
        if (portalAvailable())
            return Service::Portal;
    }
    // logind only stands in for idle system sleep, and only with an idle lock: a sleep lock of mode
    // block would also refuse a suspend the user asks for.
    if (type == AssertionType::PreventUserIdleSystemSleep &&
        bus(Bus::System).hasOwner(logindName, m_timeoutMs))
        return Service::Logind;
    return std::nullopt;
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
        if (status == 0)
            hold.cookie = reply.value();
        return status;
    }
    case Service::PowerManagement:
        return inhibitForCookie<PowerManagementInhibitProxy>(
            powerManagementName, QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"),
            connection, m_timeoutMs, name, hold.cookie);
    case Service::ScreenSaver:
        return inhibitForCookie<ScreenSaverProxy>(screenSaverName,
                                                  QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                  connection, m_timeoutMs, name, hold.cookie);
    case Service::Portal: {
        PortalInhibitProxy proxy(portalName, QStringLiteral("/org/freedesktop/portal/desktop"),
                                 connection);
        proxy.setTimeout(m_timeoutMs);
        auto reply = proxy.Inhibit(QString(), system ? suspendFlag : idleFlag,
                                   {{QStringLiteral("reason"), name}});
        const std::int32_t status = finish(reply);
        if (status != 0)
            return status;
        hold.request = reply.value().path();
        return hold.request.isEmpty() ? ServiceError : 0;
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
        return hold.fd >= 0 ? 0 : ServiceError;
    }
    }
    return ServiceError;
}

void LinuxPowerBackend::uninhibit(const Hold& hold) {
    if (hold.service == Service::Logind) {
        ::close(hold.fd);
        return;
    }
    // Desktop services drop a caller's holds when its connection goes; a new connection could
    // only send a stale cookie.
    if (!m_session || !m_session->isConnected())
        return;
    QDBusConnection& connection = m_session->connection();
    std::int32_t status = 0;
    switch (hold.service) {
    case Service::GnomeSession: {
        GnomeSessionManagerProxy proxy(gnomeSessionName,
                                       QStringLiteral("/org/gnome/SessionManager"), connection);
        proxy.setTimeout(m_timeoutMs);
        auto reply = proxy.Uninhibit(hold.cookie);
        status = finish(reply);
        break;
    }
    case Service::PowerManagement: {
        PowerManagementInhibitProxy proxy(
            powerManagementName, QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"),
            connection);
        proxy.setTimeout(m_timeoutMs);
        auto reply = proxy.UnInhibit(hold.cookie);
        status = finish(reply);
        break;
    }
    case Service::ScreenSaver: {
        ScreenSaverProxy proxy(screenSaverName, QStringLiteral("/org/freedesktop/ScreenSaver"),
                               connection);
        proxy.setTimeout(m_timeoutMs);
        auto reply = proxy.UnInhibit(hold.cookie);
        status = finish(reply);
        break;
    }
    case Service::Portal: {
        PortalRequestProxy proxy(portalName, hold.request, connection);
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
    const auto service = choose(type);
    if (!service)
        return NoService;
    Hold hold;
    hold.service = *service;
    const std::int32_t status = inhibit(*service, type, QString::fromStdString(name), hold);
    if (status != 0) {
        if (status == ServiceTimeout)
            (busOf(*service) == Bus::Session ? m_sessionTainted : m_systemTainted) = true;
        reconnectIfIdle();
        return status;
    }
    do {
        ++m_lastHandle;
    } while (m_lastHandle == 0 || m_holds.count(m_lastHandle) != 0);
    handle = m_lastHandle;
    m_holds.emplace(handle, std::move(hold));
    return 0;
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

} // namespace wakeward
