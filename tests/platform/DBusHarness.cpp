#include "DBusHarness.h"

#include "platform/InhibitorReport.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QThread>
#include <algorithm>

namespace wakeward::test {
namespace {

constexpr int startTimeoutMs = 15000;
const QString mockInterface = QStringLiteral("org.freedesktop.DBus.Mock");

QString connectionName(DBusHarness::Bus bus) {
    return bus == DBusHarness::Bus::Session ? QStringLiteral("harness-session")
                                            : QStringLiteral("harness-system");
}

void stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

QDBusMessage send(DBusHarness::Bus bus, const QString& name, const QString& path,
                  const QString& interface, const QString& method, const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(name, path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection(connectionName(bus)).call(message, QDBus::Block, startTimeoutMs);
}

// Where an environment variable is put back to when the harness goes: its value, or unset.
std::optional<QByteArray> saved(const char* name) {
    return qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
}
void restore(const char* name, const std::optional<QByteArray>& value) {
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
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
    m_savedSession = saved("DBUS_SESSION_BUS_ADDRESS");
    m_savedSystem = saved("DBUS_SYSTEM_BUS_ADDRESS");
    // Point both variables somewhere harmless first, so a failed start can never reach the real
    // buses.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/wakeward-test-session");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/wakeward-test-system");

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
    restore("DBUS_SESSION_BUS_ADDRESS", m_savedSession);
    restore("DBUS_SYSTEM_BUS_ADDRESS", m_savedSystem);
}

QString DBusHarness::startDaemon(QProcess& process, const QString& configFile) {
    process.setProgram(QStringLiteral("dbus-daemon"));
    process.setArguments({QStringLiteral("--config-file=") + configFile, QStringLiteral("--nofork"),
                          QStringLiteral("--print-address=1")});
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
    if (!process.waitForStarted(startTimeoutMs))
        return {};
    QByteArray output;
    const QDeadlineTimer deadline(startTimeoutMs);
    while (!output.contains('\n') && !deadline.hasExpired()) {
        if (!process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
        output += process.readAllStandardOutput();
    }
    return QString::fromUtf8(output.left(output.indexOf('\n')).trimmed());
}

bool DBusHarness::hasOwner(Bus bus, const QString& name) {
    const QVariantList reply =
        call(bus, QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
             QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"), {name});
    return !reply.isEmpty() && reply.constFirst().toBool();
}

bool DBusHarness::startMock(Bus bus, const QString& name, const QString& path,
                            const QString& interface) {
    return spawnMock(bus, {name, path, interface}, name);
}

bool DBusHarness::startTemplate(Bus bus, const QString& templateName, const QString& name,
                                const QString& parameters) {
    QStringList arguments{QStringLiteral("--template"), templateName};
    if (!parameters.isEmpty())
        arguments << QStringLiteral("--parameters") << parameters;
    return spawnMock(bus, arguments, name);
}

bool DBusHarness::spawnMock(Bus bus, const QStringList& arguments, const QString& name) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_sessionAddress);
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_systemAddress);
    process->setProcessEnvironment(environment);
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

QVariantList DBusHarness::call(Bus bus, const QString& name, const QString& path,
                               const QString& interface, const QString& method,
                               const QVariantList& arguments) {
    const QDBusMessage reply = send(bus, name, path, interface, method, arguments);
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments() : QVariantList();
}

bool DBusHarness::startLogind() {
    const QString name = QStringLiteral("org.freedesktop.login1");
    if (!startTemplate(Bus::System, QStringLiteral("logind"), name))
        return false;
    // The mock owns its name before its template has added the methods: a lock asked for in
    // between is refused, and taken again only a tick later.
    return eventually(
        [&] {
            return !call(Bus::System, name, QStringLiteral("/org/freedesktop/login1"),
                         QStringLiteral("org.freedesktop.login1.Manager"),
                         QStringLiteral("ListInhibitors"))
                        .isEmpty();
        },
        startTimeoutMs);
}

bool DBusHarness::prepareForSleep(bool start) {
    return send(Bus::System, QStringLiteral("org.freedesktop.login1"),
                QStringLiteral("/org/freedesktop/login1"), mockInterface,
                QStringLiteral("EmitSignal"),
                {QStringLiteral("org.freedesktop.login1.Manager"),
                 QStringLiteral("PrepareForSleep"), QStringLiteral("b"),
                 QVariant::fromValue(QVariantList{QVariant::fromValue(QDBusVariant(start))})})
               .type() == QDBusMessage::ReplyMessage;
}

bool DBusHarness::addMethod(Bus bus, const QString& name, const QString& path,
                            const QString& interface, const QString& method,
                            const QString& inSignature, const QString& outSignature,
                            const QString& code) {
    return send(bus, name, path, mockInterface, QStringLiteral("AddMethod"),
                {interface, method, inSignature, outSignature, code})
               .type() == QDBusMessage::ReplyMessage;
}

std::vector<QVariantList> DBusHarness::calls(Bus bus, const QString& name, const QString& path,
                                             const QString& method) {
    std::vector<QVariantList> result;
    const QVariantList reply =
        call(bus, name, path, mockInterface, QStringLiteral("GetMethodCalls"), {method});
    if (reply.isEmpty())
        return result;
    const auto argument = reply.constFirst().value<QDBusArgument>();
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
