#include "shortcuts/Doctor.h"

#include "platform/ActiveWindow.h"
#include "platform/BusAddress.h"
#include "platform/BusConnection.h"
#include "platform/InhibitorReport.h"
#include "platform/LinuxPowerBackend.h"

#include <QStringList>
#include <algorithm>
#include <vector>
#include <wakeward/Store.h>

namespace wakeward {
namespace {

constexpr int waitMs = 2000;

enum class Presence { running, activatable, absent };

const char* word(Presence presence) {
    switch (presence) {
    case Presence::running:
        return "present";
    case Presence::activatable:
        return "activatable (started on demand)";
    case Presence::absent:
        return "absent";
    }
    return "";
}

Presence presence(BusConnection& bus, const QString& name) {
    if (!bus.isConnected())
        return Presence::absent;
    if (bus.hasOwner(name, waitMs))
        return Presence::running;
    return bus.isActivatable(name, waitMs) ? Presence::activatable : Presence::absent;
}

} // namespace

int runDoctor(const std::optional<std::filesystem::path>& database, QTextStream& out) {
    BusConnection session(BusAddress::session());
    BusConnection system(BusAddress::system());
    out << "Session bus: " << (session.isConnected() ? "connected" : "not reachable") << '\n';
    out << "System bus: " << (system.isConnected() ? "connected" : "not reachable") << '\n';

    out << "\nHold services, in the order Wakeward tries them:\n";
    using Service = LinuxPowerBackend::Service;
    const auto systemChain = LinuxPowerBackend::chain(AssertionType::PreventUserIdleSystemSleep);
    const auto displayChain = LinuxPowerBackend::chain(AssertionType::PreventUserIdleDisplaySleep);
    // Every service once, in the order the holder meets them.
    std::vector<Service> services = displayChain;
    for (const Service service : systemChain)
        if (std::find(services.begin(), services.end(), service) == services.end())
            services.push_back(service);
    QString systemHold;
    QString displayHold;
    for (const Service service : services) {
        const QString busName = LinuxPowerBackend::busName(service);
        const Presence found =
            presence(LinuxPowerBackend::onSystemBus(service) ? system : session, busName);
        // The portal is started on demand, so being activatable is as good as running; the
        // others must run.
        const bool usable = found == Presence::running ||
                            (found == Presence::activatable && service == Service::Portal);
        const QString name = QString::fromStdString(LinuxPowerBackend::serviceName(service));
        out << "  " << name << " (" << busName << "): " << word(found) << '\n';
        auto holds = [service](const std::vector<Service>& chain) {
            return std::find(chain.begin(), chain.end(), service) != chain.end();
        };
        if (usable && holds(systemChain) && systemHold.isEmpty())
            systemHold = name;
        if (usable && holds(displayChain) && displayHold.isEmpty())
            displayHold = name;
    }
    out << "A system hold would use: "
        << (systemHold.isEmpty() ? QStringLiteral("nothing (no service)") : systemHold) << '\n';
    out << "A display hold would use: "
        << (displayHold.isEmpty() ? QStringLiteral("nothing (no service)") : displayHold) << '\n';

    const auto inhibitors = InhibitorReport::list(BusAddress::system().toStdString(), waitMs);
    bool delayLock = false;
    if (inhibitors)
        for (const Inhibitor& inhibitor : *inhibitors)
            delayLock |= inhibitor.who == "Wakeward" && inhibitor.mode == "delay" &&
                         inhibitor.what.find("sleep") != std::string::npos;
    out << "\nSleep delay lock (lets Wakeward release its holds before sleep): "
        << (!inhibitors ? "unknown (logind cannot be asked)"
            : delayLock ? "held"
                        : "not held")
        << '\n';

    const Presence notifierWatcher =
        presence(session, QStringLiteral("org.kde.StatusNotifierWatcher"));
    const bool xembed = ActiveWindow::hasXEmbedTray(std::chrono::milliseconds(waitMs));
    out << "Tray: StatusNotifierWatcher " << word(notifierWatcher) << "; XEmbed tray "
        << (xembed ? "present" : "absent") << '\n';
    out << "Notifications (org.freedesktop.Notifications): "
        << word(presence(session, QStringLiteral("org.freedesktop.Notifications"))) << '\n';

    out << "\nDatabase: ";
    if (!database) {
        out << "none (no home folder), so nothing is saved\n";
    } else {
        out << QString::fromStdString(database->string()) << '\n';
        std::error_code error;
        if (!std::filesystem::exists(*database, error)) {
            out << "  not created yet; Wakeward makes it when it first starts\n";
        } else if (auto store = Store::open(*database); !store) {
            out << "  does not open: " << QString::fromStdString(store.error().description) << '\n';
        } else {
            out << "  opens\n";
        }
    }

    out << '\n'
        << (systemHold.isEmpty()
                ? "Wakeward cannot keep this computer awake here: no hold service answers."
                : "Wakeward can keep this computer awake here.")
        << '\n';
    return systemHold.isEmpty() ? 1 : 0;
}

} // namespace wakeward
