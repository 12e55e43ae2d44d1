#include "Instance.h"

#include "InstanceGuard.h"
#include "SharedModel.h"
#include "UnixSignals.h"
#include "controller/Model.h"
#include "shortcuts/AutomationService.h"
#include "shortcuts/RemoteClient.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <cstdio>
#include <filesystem>
#include <malloc.h>
#include <wakeward/Store.h>

namespace wakeward {
namespace {

// Beside the database when there is no runtime folder; its folder is created private, as the
// store would create it.
QString fallbackLockPath() {
    const auto store = defaultStorePath();
    if (!store)
        return {};
    // A folder that cannot be made shows up as a lock that cannot be taken.
    (void)createPrivateFolder(store->parent_path());
    return QString::fromStdString((store->parent_path() / "wakeward.lock").string());
}

// Asks the running instance to show its main window; false when none answers.
bool activateRunningInstance() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(QString::fromLatin1(serviceName)).value())
        return false;
    auto message = QDBusMessage::createMethodCall(
        QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
        QString::fromLatin1(interfaceName), QStringLiteral("Activate"));
    message.setAutoStartService(false);
    return bus.call(message, QDBus::Block, 10000).type() == QDBusMessage::ReplyMessage;
}

} // namespace

void nameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Wakeward"));
    QCoreApplication::setOrganizationName(QStringLiteral("fenmarch"));
    QCoreApplication::setApplicationVersion(QStringLiteral(WAKEWARD_VERSION));
}

int runInstance(int& argc, char** argv, const Invocation& invocation, const Desktop& desktop) {
    // A command borrows some heap for a moment (the database's scratch pages, copies of the
    // history) and gives it back. At glibc's default threshold each command then shrank the heap
    // and grew it again: two system calls and a flush of every processor's address cache. The
    // instance runs for days, so it keeps up to a mebibyte of free heap instead.
    mallopt(M_TRIM_THRESHOLD, 1 << 20);
    const bool headless = !desktop.application || !desktop.shell;
    std::unique_ptr<QCoreApplication> application =
        headless ? std::make_unique<QCoreApplication>(argc, argv) : desktop.application(argc, argv);
    // Both guards are taken before the controller opens the database: a second instance must not
    // touch it, not even to note an interruption. The lock beside the database also holds when two
    // launches see different runtime folders.
    InstanceGuard guard;
    const QString besideStore = fallbackLockPath();
    const QString runtimeLock = InstanceGuard::defaultLockPath(besideStore);
    const bool anotherLocked = guard.lock(runtimeLock) == InstanceGuard::Outcome::anotherRuns ||
                               (runtimeLock != besideStore &&
                                guard.lock(besideStore) == InstanceGuard::Outcome::anotherRuns);
    auto handOver = [] {
        if (!activateRunningInstance())
            std::fputs("Wakeward is already running.\n", stderr);
        return 0;
    };
    if (anotherLocked)
        return handOver();

    QDBusConnection bus = QDBusConnection::sessionBus();
    // Exported before the name is claimed, so no caller finds the name without the object; calls
    // are delivered from the event loop, after the controller is attached below.
    AutomationService service;
    if (bus.isConnected()) {
        service.exportOn(bus);
        if (guard.claimBusName() == InstanceGuard::Outcome::anotherRuns)
            return handOver();
    } else {
        std::fputs(
            "There is no session bus: Wakeward runs, but the command line and D-Bus control are "
            "unavailable.\n",
            stderr);
    }

    Model& model = Model::shared();
    bool shutDown = false;
    QObject::connect(application.get(), &QCoreApplication::aboutToQuit, [&] {
        if (!shutDown) {
            shutDown = true;
            model.shutdown();
            // The event loop has ended: announce the last changes ("App quit") now.
            QCoreApplication::sendPostedEvents(&service, QEvent::MetaCall);
        }
    });
    UnixSignals signalPipe;
    // exit(), not quit(): toolkits that ask every window first would have the main window refuse.
    QObject::connect(&signalPipe, &UnixSignals::terminationRequested,
                     [] { QCoreApplication::exit(0); });

    std::unique_ptr<Shell> app;
    if (!headless)
        app = desktop.shell(model, invocation.background);
    service.attach(model, [&app] {
        if (app)
            app->activate();
    });
    return application->exec();
}

} // namespace wakeward
