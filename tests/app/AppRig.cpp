#include "AppRig.h"

#include <QDBusConnection>
#include <QDBusVariant>
#include <csignal>

namespace wakeward::test {
namespace {

using Bus = DBusHarness::Bus;

const QString appName = QStringLiteral("org.fenmarch.Wakeward");
const QString appPath = QStringLiteral("/org/fenmarch/Wakeward");
const QString pmName = QStringLiteral("org.freedesktop.PowerManagement");
const QString pmPath = QStringLiteral("/org/freedesktop/PowerManagement/Inhibit");
const QString pmInterface = QStringLiteral("org.freedesktop.PowerManagement.Inhibit");

} // namespace

AppRig::AppRig(bool desktopService) {
    if (!m_bus.ok() || !m_home.isValid())
        return;
    // The buses' addresses come with the environment the harness has set.
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.remove(QStringLiteral("DISPLAY"));
    m_environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    m_environment.insert(QStringLiteral("HOME"), m_home.path());
    m_environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                         m_home.filePath(QStringLiteral("config")));
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path());
    if (!m_bus.startLogind())
        return;
    if (desktopService &&
        (!m_bus.startMock(Bus::Session, pmName, pmPath, pmInterface) ||
         !m_bus.addMethod(Bus::Session, pmName, pmPath, pmInterface, QStringLiteral("Inhibit"),
                          QStringLiteral("ss"), QStringLiteral("u"), QStringLiteral("ret = 7")) ||
         !m_bus.addMethod(Bus::Session, pmName, pmPath, pmInterface, QStringLiteral("UnInhibit"),
                          QStringLiteral("u"), QString(), QString())))
        return;
    m_ready = true;
}

AppRig::~AppRig() {
    quit();
}

void AppRig::startCommand(QProcess& process, const QStringList& arguments,
                          const QStringList& wrapper) {
    QProcessEnvironment environment = m_environment;
    if (!wrapper.isEmpty()) {
        // LeakSanitizer cannot run under a tracer; a sanitized build would fail only for that.
        const QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
                           asan.isEmpty() ? QStringLiteral("detect_leaks=0")
                                          : asan + QStringLiteral(":detect_leaks=0"));
    }
    process.setProcessEnvironment(environment);
    const QStringList command = wrapper + QStringList{QStringLiteral(WAKEWARD_BINARY)} + arguments;
    process.start(command.front(), command.mid(1));
    process.waitForStarted();
}

bool AppRig::launch(const QStringList& wrapper, bool headless) {
    m_instance = std::make_unique<QProcess>();
    startCommand(*m_instance, headless ? QStringList{QStringLiteral("--headless")} : QStringList{},
                 wrapper);
    eventually([this] { return instanceOnBus() || m_instance->state() == QProcess::NotRunning; },
               30000);
    return instanceOnBus();
}

pid_t AppRig::instancePid() {
    const auto owner =
        m_bus.call(Bus::Session, QStringLiteral("org.freedesktop.DBus"),
                   QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
                   QStringLiteral("GetConnectionUnixProcessID"), {appName});
    return owner ? static_cast<pid_t>(owner->value(0).toUInt()) : 0;
}

bool AppRig::quit() {
    // Signal the instance itself: a wrapper such as strace would only detach on SIGTERM.
    if (const pid_t pid = instancePid(); pid > 0) {
        ::kill(pid, SIGTERM);
        // One that `start` launched is no child of ours: wait for it to let go of the name.
        if (!m_instance && !eventually([this] { return !instanceOnBus(); }, 30000))
            return false;
    }
    if (!m_instance)
        return true;
    const bool ended =
        m_instance->state() == QProcess::NotRunning || m_instance->waitForFinished(30000);
    m_instance.reset(); // kills one that did not end
    return ended;
}

Outcome AppRig::run(const QStringList& arguments, const QStringList& wrapper) {
    QProcess process;
    startCommand(process, arguments, wrapper);
    // A command that hangs is killed as `process` goes.
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).trimmed(),
            QString::fromUtf8(process.readAllStandardError()).trimmed()};
}

QDBusMessage AppRig::call(const QString& interface, const QString& method,
                          const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(appName, appPath, interface, method);
    message.setArguments(arguments);
    message.setAutoStartService(false);
    return QDBusConnection(DBusHarness::connectionName(Bus::Session))
        .call(message, QDBus::Block, 10000);
}

QVariant AppRig::property(const QString& name) {
    const QDBusMessage reply = call(QStringLiteral("org.freedesktop.DBus.Properties"),
                                    QStringLiteral("Get"), {appName, name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().front().value<QDBusVariant>().variant();
}

std::size_t AppRig::holdRequests() {
    return m_bus.calls(Bus::Session, pmName, pmPath, QStringLiteral("Inhibit")).size();
}

bool AppRig::instanceOnBus() {
    return m_bus.hasOwner(Bus::Session, appName);
}

} // namespace wakeward::test
