#include "DBusHarness.h"

#include "platform/InhibitorReport.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <algorithm>

namespace wakeward::test {
namespace {

constexpr int startTimeoutMs = 15000;
const QString mockInterface = QStringLiteral("org.freedesktop.DBus.Mock");

// Ends a daemon or mock; a daemon left to run to its end removes its socket file.
void stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

// Points both variables somewhere harmless, so no failed start and no later test can reach the
// real buses.
void pointBusesNowhere() {
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/wakeward-test-session");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/wakeward-test-system");
}

// Starts a dbus-daemon on `configFile`; its address, empty when it did not start.
QString startDaemon(QProcess& process, const QString& configFile) {
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + configFile, QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    const QDeadlineTimer deadline(startTimeoutMs);
    while (!process.canReadLine() && process.waitForReadyRead(deadline.remainingTime())) {
    }
    return QString::fromUtf8(process.readLine()).trimmed();
}

} // namespace

void DBusHarness::ensureApplication() {
    if (QCoreApplication::instance() != nullptr)
        return;
    static int argc = 1;
    static char name[] = "wakeward-platform-tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

DBusHarness::DBusHarness(const QString& serviceFolder) {
    ensureApplication();
    pointBusesNowhere();

    QString sessionConfig = QStringLiteral(WAKEWARD_TEST_BUS_CONF);
    if (!serviceFolder.isEmpty()) {
        QFile config(m_config.filePath(QStringLiteral("session.conf")));
        if (!m_config.isValid() || !config.open(QIODevice::WriteOnly))
            return;
        config.write("<busconfig><include>" WAKEWARD_TEST_BUS_CONF "</include><servicedir>" +
                     serviceFolder.toHtmlEscaped().toUtf8() + "</servicedir></busconfig>\n");
        sessionConfig = config.fileName();
    }
    m_sessionAddress = startDaemon(m_sessionDaemon, sessionConfig);
    m_systemAddress = startDaemon(m_systemDaemon, QStringLiteral(WAKEWARD_TEST_BUS_CONF));
    if (!ok())
        return;
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_sessionAddress.toUtf8());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_systemAddress.toUtf8());
    QDBusConnection::connectToBus(m_sessionAddress, connectionName(Bus::Session));
    QDBusConnection::connectToBus(m_systemAddress, connectionName(Bus::System));
}

DBusHarness::~DBusHarness() {
    stopMocks();
    QDBusConnection::disconnectFromBus(connectionName(Bus::Session));
    QDBusConnection::disconnectFromBus(connectionName(Bus::System));
    stop(m_sessionDaemon);
    stop(m_systemDaemon);
    pointBusesNowhere();
}

bool DBusHarness::hasOwner(Bus bus, const QString& name) {
    const auto reply =
        call(bus, QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
             QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"), {name});
    return reply && reply->value(0).toBool();
}

bool DBusHarness::startTemplate(Bus bus, const QString& templateName, const QString& name,
                                const QString& parameters) {
    QStringList arguments{QStringLiteral("--template"), templateName};
    if (!parameters.isEmpty())
        arguments << QStringLiteral("--parameters") << parameters;
    return spawnMock(bus, arguments, name);
}

bool DBusHarness::spawnMock(Bus bus, const QStringList& arguments, const QString& name) {
    // The mock finds both buses through the environment the harness has set.
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start(
        QStringLiteral(WAKEWARD_TEST_PYTHON),
        QStringList{QStringLiteral("-m"), QStringLiteral("dbusmock"),
                    bus == Bus::System ? QStringLiteral("--system") : QStringLiteral("--session")} +
            arguments);
    if (!process->waitForStarted(startTimeoutMs))
        return false;
    m_mocks.push_back(std::move(process));
    // Polled without running the event loop, so no test sees its own events early.
    const QDeadlineTimer deadline(startTimeoutMs);
    while (!hasOwner(bus, name)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

void DBusHarness::stopMocks() {
    for (auto& mock : m_mocks)
        stop(*mock);
    m_mocks.clear();
}

std::optional<QVariantList> DBusHarness::call(Bus bus, const QString& name, const QString& path,
                                              const QString& interface, const QString& method,
                                              const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(name, path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply =
        QDBusConnection(connectionName(bus)).call(message, QDBus::Block, startTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    return reply.arguments();
}

bool DBusHarness::startLogind() {
    const QString name = QStringLiteral("org.freedesktop.login1");
    if (!startTemplate(Bus::System, QStringLiteral("logind"), name))
        return false;
    // The mock owns its name before its template has added the methods: a lock asked for in
    // between is refused, and taken again only a tick later.
    return eventually(
        [&] {
            return call(Bus::System, name, QStringLiteral("/org/freedesktop/login1"),
                        QStringLiteral("org.freedesktop.login1.Manager"),
                        QStringLiteral("ListInhibitors"))
                .has_value();
        },
        startTimeoutMs);
}

bool DBusHarness::prepareForSleep(bool start) {
    return call(Bus::System, QStringLiteral("org.freedesktop.login1"),
                QStringLiteral("/org/freedesktop/login1"), mockInterface,
                QStringLiteral("EmitSignal"),
                {QStringLiteral("org.freedesktop.login1.Manager"),
                 QStringLiteral("PrepareForSleep"), QStringLiteral("b"),
                 QVariant::fromValue(QVariantList{QVariant::fromValue(QDBusVariant(start))})})
        .has_value();
}

bool DBusHarness::addMethod(Bus bus, const QString& name, const QString& path,
                            const QString& interface, const QString& method,
                            const QString& inSignature, const QString& outSignature,
                            const QString& code) {
    return call(bus, name, path, mockInterface, QStringLiteral("AddMethod"),
                {interface, method, inSignature, outSignature, code})
        .has_value();
}

std::vector<QVariantList> DBusHarness::calls(Bus bus, const QString& name, const QString& path,
                                             const QString& method) {
    std::vector<QVariantList> result;
    const auto reply =
        call(bus, name, path, mockInterface, QStringLiteral("GetMethodCalls"), {method});
    if (!reply)
        return result;
    const auto argument = reply->value(0).value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        quint64 timestamp = 0;
        QVariantList arguments;
        argument.beginStructure();
        argument >> timestamp >> arguments;
        argument.endStructure();
        result.push_back(arguments);
    }
    argument.endArray();
    return result;
}

long wakewardLocks(const DBusHarness& harness, const std::string& what, const std::string& mode,
                   const std::string& why) {
    const auto locks =
        InhibitorReport::list(harness.address(DBusHarness::Bus::System).toStdString());
    if (!locks)
        return -1;
    return std::count_if(locks->begin(), locks->end(), [&](const Inhibitor& lock) {
        return lock.who == "Wakeward" && lock.what == what && lock.mode == mode &&
               lock.why.starts_with(why);
    });
}

} // namespace wakeward::test
