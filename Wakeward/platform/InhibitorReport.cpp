#include "platform/InhibitorReport.h"

#include "Login1ManagerProxy.h"
#include "platform/BusConnection.h"
#include "platform/LogindInhibitor.h"

#include <algorithm>

namespace wakeward {

std::vector<std::string>
InhibitorReport::entries(const std::vector<Inhibitor>& inhibitors, int ownPid,
                         const std::map<int, std::string>& applicationNames) {
    std::vector<std::string> result;
    for (const auto& inhibitor : inhibitors) {
        // A delay lock never keeps the machine awake: it is the counterpart of a level-0 assertion.
        if (inhibitor.mode == "delay" || static_cast<long long>(inhibitor.pid) == ownPid)
            continue;
        const auto app = applicationNames.find(static_cast<int>(inhibitor.pid));
        const std::string process = app != applicationNames.end()
                                        ? app->second
                                        : "Process " + std::to_string(inhibitor.pid);
        const std::string what = inhibitor.what.empty() ? "Unknown assertion" : inhibitor.what;
        const std::string why = inhibitor.why.empty() ? "Reason not reported" : inhibitor.why;
        result.push_back(process + " \u2022 " + what + "\n" + why);
    }
    // Byte order of UTF-8 text is code-point order.
    std::sort(result.begin(), result.end());
    if (result.size() > 100)
        result.resize(100);
    return result;
}

std::optional<std::vector<Inhibitor>> InhibitorReport::list(const std::string& systemBusAddress,
                                                            int timeoutMs) {
    registerLogindTypes();
    BusConnection bus(QString::fromStdString(systemBusAddress));
    if (!bus.isConnected())
        return std::nullopt;
    Login1ManagerProxy logind(QStringLiteral("org.freedesktop.login1"),
                              QStringLiteral("/org/freedesktop/login1"), bus.connection());
    logind.setTimeout(timeoutMs);
    auto reply = logind.ListInhibitors();
    reply.waitForFinished();
    if (reply.isError())
        return std::nullopt;
    std::vector<Inhibitor> inhibitors;
    for (const auto& item : reply.value()) {
        inhibitors.push_back(Inhibitor{item.what.toStdString(), item.who.toStdString(),
                                       item.why.toStdString(), item.mode.toStdString(), item.uid,
                                       item.pid});
    }
    return inhibitors;
}

} // namespace wakeward
