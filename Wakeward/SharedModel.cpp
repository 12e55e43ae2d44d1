#include "SharedModel.h"

#include "platform/Assertions.h"
#include "platform/DesktopNotifier.h"
#include "platform/LinuxPowerBackend.h"
#include "platform/LinuxWorkspaceEvents.h"
#include "platform/SignalReader.h"
#include "platform/XdgFolders.h"

#include <QCoreApplication>
#include <wakeward/CurrentCalendar.h>

namespace wakeward {
namespace {

Model* sharedInstance = nullptr;

// Runs while the application object is still whole, so the controller's timers and watches
// go before the event loop they belong to.
void destroySharedModel() {
    delete sharedInstance;
    sharedInstance = nullptr;
}

} // namespace

std::optional<std::filesystem::path> defaultStorePath() {
    const auto dataHome = xdg::dataHome();
    if (!dataHome)
        return std::nullopt;
    return *dataHome / "fenmarch" / "Wakeward" / "sleep.sqlite";
}

ModelServices linuxServices() {
    ModelServices services;
    services.clock = std::make_unique<SystemClock>();
    services.power = std::make_unique<LinuxPowerBackend>();
    auto signalReader = std::make_unique<SignalReader>();
    // The inspector names processes through the tick's reader, whose process cache is warm.
    services.otherAssertions = [reader = signalReader.get()] {
        return Assertions::others([reader] { return reader->applicationNames(); });
    };
    services.signalSource = std::move(signalReader);
    services.storePath = defaultStorePath();
    services.notifier = std::make_unique<DesktopNotifier>();
    services.calendar = [] { return currentCalendar(); };
    services.events = std::make_unique<LinuxWorkspaceEvents>();
    return services;
}

Model& Model::shared() {
    if (sharedInstance == nullptr) {
        sharedInstance = new Model(linuxServices());
        qAddPostRoutine(destroySharedModel);
    }
    return *sharedInstance;
}

} // namespace wakeward
