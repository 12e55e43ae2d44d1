#pragma once

#include "platform/PowerBackend.h"

#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace wakeward {

class BusConnection;
class BusWatch;

// Holds idle-sleep inhibitions through whichever desktop or system service owns its D-Bus name.
class LinuxPowerBackend : public PowerBackend {
public:
    /// No inhibition service is reachable on either bus.
    static constexpr std::int32_t NoService = -1;
    /// The service answered with an error.
    static constexpr std::int32_t ServiceError = -2;
    /// The service did not answer in time.
    static constexpr std::int32_t ServiceTimeout = -3;

    enum class Service { GnomeSession, PowerManagement, ScreenSaver, Portal, Logind };

    /// Uses the buses at the addresses (an empty address means no such bus); each call waits at
    /// most timeoutMs.
    LinuxPowerBackend(QString sessionAddress, QString systemAddress, int timeoutMs = 2000);
    /// Uses the session and system buses of the environment.
    LinuxPowerBackend();
    ~LinuxPowerBackend() override;

    std::int32_t create(AssertionType type, const std::string& name,
                        std::uint32_t& handle) override;
    void release(std::uint32_t handle) override;
    std::string holderName(std::uint32_t handle) const override;
    /// False once the service that granted the hold went away or restarted, the bus it was made on
    /// closed, or the portal reported late that its backend failed.
    bool holds(std::uint32_t handle) const override;

    /// The service that holds the handle; absent for unknown handles.
    std::optional<Service> serviceOf(std::uint32_t handle) const;
    /// Short human text naming a service.
    static std::string serviceName(Service service);
    /// The services that can hold the type, best first, in the order they are tried.
    static std::vector<Service> chain(AssertionType type);
    /// The D-Bus name a service owns.
    static QString busName(Service service);
    /// True for a service of the system bus (logind), false for the session bus.
    static bool onSystemBus(Service service);

private:
    struct Hold {
        Service service = Service::Logind;
        std::uint32_t cookie = 0;
        QString request;
        int fd = -1;
        // The unique bus name of the service that granted the hold.
        QString owner;
        // The connection it was made on.
        std::uint64_t link = 0;
        // A portal hold whose outcome the portal has not reported yet.
        bool awaitingAnswer = false;
    };
    enum class Bus { Session, System };
    // A connection and the watch of the services' names and answers on it.
    struct Link {
        std::unique_ptr<BusConnection> connection;
        std::unique_ptr<BusWatch> watch;
        std::uint64_t id = 0;
    };

    bool available(Service service);
    std::int32_t inhibit(Service service, AssertionType type, const QString& name, Hold& hold);
    std::int32_t awaitPortalAnswer(Hold& hold);
    void uninhibit(const Hold& hold);
    Link& link(Bus which);
    BusConnection& bus(Bus which) { return *link(which).connection; }
    const Link& linkOf(Service service) const;
    static Bus busOf(Service service);
    void reconnectIfIdle();

    QString m_sessionAddress;
    QString m_systemAddress;
    int m_timeoutMs;
    Link m_session;
    Link m_system;
    std::uint64_t m_lastLink = 0;
    // A call that timed out may still be carried out by the service later; holds made that way are
    // tied to the connection, so it is replaced as soon as nothing else is held on it.
    bool m_sessionTainted = false;
    bool m_systemTainted = false;
    std::map<std::uint32_t, Hold> m_holds;
    std::uint32_t m_lastHandle = 0;
};

} // namespace wakeward
