#include "platform/Assertions.h"
#include "platform/BusAddress.h"
#include "platform/InhibitorReport.h"
#include "platform/SignalReader.h"

#include <unistd.h>

namespace wakeward {

// Lives apart from the holder because it talks D-Bus, which the holder's library does not link.
std::optional<std::vector<std::string>> Assertions::others() {
    return others([] { return SignalReader().applicationNames(); });
}

std::optional<std::vector<std::string>>
Assertions::others(const std::function<std::map<int, std::string>()>& applicationNames) {
    const auto inhibitors = InhibitorReport::list(BusAddress::system().toStdString());
    if (!inhibitors)
        return std::nullopt;
    return InhibitorReport::entries(*inhibitors, static_cast<int>(::getpid()), applicationNames());
}

} // namespace wakeward
