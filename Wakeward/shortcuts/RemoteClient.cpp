#include "shortcuts/RemoteClient.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QThread>
#include <fcntl.h>
#include <spawn.h>

extern char** environ;

namespace wakeward {

namespace {

constexpr int callTimeoutMs = 10000;
constexpr int launchWaitMs = 5000;
const QString notRunning = QStringLiteral("Wakeward is not running.");
const QString activeAnswer = QStringLiteral("Wakeward is active.");

// Names come from the user's files: a terminal must never receive their control characters as
// commands (escape sequences could rewrite the screen or the title).
QString printable(QString text) {
    for (QChar& c : text) {
        const char16_t code = c.unicode();
        if (code < 0x20 || (code >= 0x7f && code <= 0x9f))
            c = QChar(0xfffd);
    }
    return text;
}

bool hasOwner(const QDBusConnection& bus) {
    return bus.interface() && bus.interface()->isServiceRegistered(QString::fromLatin1(serviceName)).value();
}

// Calls a method of the running instance; never activates one through the bus.
QDBusMessage call(const QDBusConnection& bus, const QString& method, const QVariantList& arguments = {}) {
    auto message = QDBusMessage::createMethodCall(QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
                                                  QString::fromLatin1(interfaceName), method);
    message.setArguments(arguments);
    message.setAutoStartService(false);
    return bus.call(message, QDBus::Block, callTimeoutMs);
}

QString property(const QDBusConnection& bus, const QString& name) {
    auto message = QDBusMessage::createMethodCall(QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
                                                  QStringLiteral("org.freedesktop.DBus.Properties"),
                                                  QStringLiteral("Get"));
    message.setArguments({QString::fromLatin1(interfaceName), name});
    message.setAutoStartService(false);
    const QDBusMessage reply = bus.call(message, QDBus::Block, callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().front().value<QDBusVariant>().variant().toString();
}

// Starts `program --background` in a session of its own, detached from our terminal and pipes.
bool launchInBackground(const QString& program) {
    const QByteArray path = program.toLocal8Bit();
    QByteArray flag("--background");
    char* argv[] = {const_cast<char*>(path.constData()), flag.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    for (int fd = 0; fd <= 2; ++fd)
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    // The instance outlives this command: holding the caller's folder would keep it busy (a USB
    // drive could not be unmounted).
    posix_spawn_file_actions_addchdir_np(&actions, "/");
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, path.constData(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return error == 0;
}

bool waitForOwner(const QDBusConnection& bus, int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        if (hasOwner(bus))
            return true;
        QThread::msleep(50);
    }
    return hasOwner(bus);
}

} // namespace

int runRemote(const Invocation& invocation, const QString& program, QTextStream& out, QTextStream& err) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        err << "There is no session bus, so Wakeward cannot be controlled from the command line.\n";
        return 3;
    }

    if (!hasOwner(bus)) {
        if (invocation.verb != Invocation::Verb::start) {
            err << notRunning << '\n';
            return 3;
        }
        if (!launchInBackground(program) || !waitForOwner(bus, launchWaitMs)) {
            err << "Wakeward could not be started in the background.\n";
            return 1;
        }
    }

    QDBusMessage reply;
    switch (invocation.verb) {
    case Invocation::Verb::start:
        reply = call(bus, QStringLiteral("Start"), {QVariant::fromValue(qlonglong(invocation.minutes))});
        break;
    case Invocation::Verb::stop:
        reply = call(bus, QStringLiteral("Stop"));
        break;
    case Invocation::Verb::status:
        reply = call(bus, QStringLiteral("Status"));
        break;
    case Invocation::Verb::run:
        return 2;
    }

    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        // The instance went away between the check and the call, or did not answer.
        if (!hasOwner(bus)) {
            err << notRunning << '\n';
            return 3;
        }
        err << "Wakeward did not answer: " << printable(reply.errorMessage()) << '\n';
        return 1;
    }
    const QString answer = reply.arguments().front().toString();
    out << printable(answer) << '\n';
    if (invocation.verb == Invocation::Verb::start && answer != activeAnswer) {
        const QString message = property(bus, QStringLiteral("Message"));
        if (!message.isEmpty())
            err << printable(message) << '\n';
        return 1;
    }
    return 0;
}

bool activateRunningInstance() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !hasOwner(bus))
        return false;
    return call(bus, QStringLiteral("Activate")).type() == QDBusMessage::ReplyMessage;
}

} // namespace wakeward
