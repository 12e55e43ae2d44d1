#include "shortcuts/RemoteClient.h"

#include "shortcuts/StatusWatch.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace wakeward {

namespace {

volatile sig_atomic_t runningChild = 0;

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
    return bus.interface() &&
           bus.interface()->isServiceRegistered(QString::fromLatin1(serviceName)).value();
}

// Calls a method of the running instance; never activates one through the bus.
QDBusMessage call(const QDBusConnection& bus, const QString& method,
                  const QVariantList& arguments = {}) {
    auto message = QDBusMessage::createMethodCall(QString::fromLatin1(serviceName),
                                                  QString::fromLatin1(objectPath),
                                                  QString::fromLatin1(interfaceName), method);
    message.setArguments(arguments);
    message.setAutoStartService(false);
    return bus.call(message, QDBus::Block, callTimeoutMs);
}

QString property(const QDBusConnection& bus, const QString& name) {
    auto message = QDBusMessage::createMethodCall(
        QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
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
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
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

// Woken by the bus when the instance claims its name, not by polling, so a cold start waits no
// longer than the instance takes. The slow check only covers a claim made before the watch began.
bool waitForOwner(const QDBusConnection& bus, int milliseconds) {
    QDBusServiceWatcher watcher(QString::fromLatin1(serviceName), bus,
                                QDBusServiceWatcher::WatchForRegistration);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceRegistered, &loop, &QEventLoop::quit);
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (hasOwner(bus))
            loop.quit();
    });
    check.start(250);
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    if (!hasOwner(bus))
        loop.exec();
    return hasOwner(bus);
}

// Prints the instance's one-text answer; 3 when the instance is gone, 1 when it did not answer.
int printAnswer(const QDBusConnection& bus, const QDBusMessage& reply, QTextStream& out,
                QTextStream& err) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        // The instance went away between the check and the call, or did not answer.
        if (!hasOwner(bus)) {
            err << notRunning << '\n';
            return 3;
        }
        err << "Wakeward did not answer: " << printable(reply.errorMessage()) << '\n';
        return 1;
    }
    out << printable(reply.arguments().front().toString()) << '\n';
    return 0;
}

// A start's answer: 0 when the session began, 1 with the instance's reason when it did not, 2
// when the instance found the request itself wrong (an unknown profile, say).
int finishStart(const QDBusConnection& bus, const QDBusMessage& reply, QTextStream& out,
                QTextStream& err) {
    if (reply.type() == QDBusMessage::ErrorMessage &&
        (reply.errorName() == QLatin1String("org.fenmarch.Wakeward.Error.UnknownProfile") ||
         reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs"))) {
        err << printable(reply.errorMessage()) << '\n';
        return 2;
    }
    if (const int status = printAnswer(bus, reply, out, err); status != 0)
        return status;
    if (reply.arguments().front().toString() == activeAnswer)
        return 0;
    const QString message = property(bus, QStringLiteral("Message"));
    if (!message.isEmpty())
        err << printable(message) << '\n';
    return 1;
}

// The options of StartSession that the command line asked for.
QVariant startOptions(const Invocation& invocation) {
    QVariantMap options;
    if (!invocation.profile.isEmpty()) {
        options.insert(QStringLiteral("profile"), invocation.profile);
        return options;
    }
    switch (invocation.ending) {
    case Invocation::Ending::duration:
        options.insert(QStringLiteral("minutes"), qlonglong(invocation.minutes));
        break;
    case Invocation::Ending::until:
        options.insert(QStringLiteral("until"),
                       QStringLiteral("%1:%2")
                           .arg(invocation.untilHour, 2, 10, QLatin1Char('0'))
                           .arg(invocation.untilMinute, 2, 10, QLatin1Char('0')));
        break;
    case Invocation::Ending::application:
        options.insert(QStringLiteral("app"), invocation.application);
        break;
    case Invocation::Ending::indefinite:
        options.insert(QStringLiteral("untilStopped"), true);
        break;
    }
    options.insert(QStringLiteral("display"), invocation.display);
    options.insert(QStringLiteral("mainsOnly"), invocation.mainsOnly);
    return options;
}

// The instance's state as one JSON object on one line; none when it cannot be read.
std::optional<QString> statusJson(const QDBusConnection& bus) {
    auto message = QDBusMessage::createMethodCall(
        QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    message.setArguments({QString::fromLatin1(interfaceName)});
    message.setAutoStartService(false);
    const QDBusMessage reply = bus.call(message, QDBus::Block, callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QVariantMap properties = qdbus_cast<QVariantMap>(reply.arguments().front());
    auto text = [&](const char* name) -> nlohmann::json {
        const QString value = properties.value(QString::fromLatin1(name)).toString();
        return value.isEmpty() ? nlohmann::json() : nlohmann::json(value.toStdString());
    };
    auto flag = [&](const char* name) {
        return properties.value(QString::fromLatin1(name)).toBool();
    };
    const nlohmann::json state = {
        {"active", flag("Active")},
        {"displayActive", flag("DisplayActive")},
        {"reason", properties.value(QStringLiteral("Reason")).toString().toStdString()},
        {"manual", flag("Manual")},
        {"mode", text("Mode")},
        {"started", text("Started")},
        {"deadline", text("Deadline")},
        {"automationPaused", flag("AutomationPaused")},
        {"message", text("Message")},
        {"holder", text("Holder")}};
    // Escaped JSON: control characters never reach the terminal.
    return QString::fromStdString(
        state.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace));
}

// Prints the state now and again at every change the instance announces, until it goes away.
int watchStatus(QDBusConnection& bus, bool json, QTextStream& out, QTextStream& err) {
    StatusWatch watch(
        [&]() -> std::optional<QString> {
            if (json)
                return statusJson(bus);
            const QDBusMessage reply = call(bus, QStringLiteral("Status"));
            if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
                return std::nullopt;
            return printable(reply.arguments().front().toString());
        },
        out);
    if (!watch.print())
        return printAnswer(bus, QDBusMessage(), out, err);
    bus.connect(QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
                QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("PropertiesChanged"), &watch, SLOT(changed()));
    QDBusServiceWatcher gone(QString::fromLatin1(serviceName), bus,
                             QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered,
                     [] { QCoreApplication::exit(3); });
    const int status = QCoreApplication::exec();
    if (status == 3)
        err << notRunning << '\n';
    return status;
}

// Runs the command with the standard streams passed on; its exit status, as a shell gives it.
int runChild(const QStringList& command, QTextStream& err) {
    std::vector<QByteArray> words;
    for (const QString& word : command)
        words.push_back(word.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (const int error = posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ);
        error != 0) {
        err << "wakeward: " << printable(command.front()) << ": " << std::strerror(error) << '\n';
        err.flush();
        return error == ENOENT ? 127 : 126;
    }
    runningChild = child;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    runningChild = 0;
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// Holds while the command runs. The instance ends the hold when we tell it or when our bus
// connection closes, so even a killed `wakeward run` leaves no hold behind.
int runCommand(const QDBusConnection& bus, const Invocation& invocation, QTextStream& out,
               QTextStream& err) {
    const QString name = QFileInfo(invocation.command.front()).fileName();
    const QDBusMessage reply =
        call(bus, QStringLiteral("StartCommand"), {name, invocation.display});
    const bool held = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
                      reply.arguments().front().toString() == activeAnswer;
    if (!held) {
        // The command runs all the same; the user is told it may be interrupted by sleep.
        const QString message = property(bus, QStringLiteral("Message"));
        err << "Wakeward could not keep the computer awake"
            << (message.isEmpty() ? QString() : QStringLiteral(": ") + printable(message)) << '\n';
    }
    err.flush();
    out.flush();
    // Termination and hang-up reach the command; interrupts from the terminal reach it anyway.
    struct sigaction forward {};
    forward.sa_handler = [](int signal) {
        if (runningChild > 0)
            ::kill(runningChild, signal);
    };
    ::sigemptyset(&forward.sa_mask);
    ::sigaction(SIGTERM, &forward, nullptr);
    ::sigaction(SIGHUP, &forward, nullptr);
    ::signal(SIGINT, SIG_IGN);
    ::signal(SIGQUIT, SIG_IGN);
    const int status = runChild(invocation.command, err);
    if (held)
        call(bus, QStringLiteral("EndCommand"));
    return status;
}

} // namespace

int runRemote(const Invocation& invocation, const QString& program, QTextStream& out,
              QTextStream& err) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        err << "There is no session bus, so Wakeward cannot be controlled from the command line.\n";
        return 3;
    }

    if (!hasOwner(bus)) {
        if (invocation.verb != Invocation::Verb::start &&
            invocation.verb != Invocation::Verb::run) {
            err << notRunning << '\n';
            return 3;
        }
        if (!launchInBackground(program) || !waitForOwner(bus, launchWaitMs)) {
            err << "Wakeward could not be started in the background.\n";
            return 1;
        }
    }

    switch (invocation.verb) {
    case Invocation::Verb::start:
        return finishStart(
            bus, call(bus, QStringLiteral("StartSession"), {startOptions(invocation)}), out, err);
    case Invocation::Verb::stop:
        return printAnswer(bus, call(bus, QStringLiteral("Stop")), out, err);
    case Invocation::Verb::status:
        if (invocation.watch)
            return watchStatus(bus, invocation.json, out, err);
        if (invocation.json) {
            const auto state = statusJson(bus);
            if (!state)
                return printAnswer(bus, QDBusMessage(), out, err);
            out << *state << '\n';
            return 0;
        }
        return printAnswer(bus, call(bus, QStringLiteral("Status")), out, err);
    case Invocation::Verb::run:
        return runCommand(bus, invocation, out, err);
    case Invocation::Verb::launch:
    case Invocation::Verb::doctor:
        break;
    }
    return 2;
}

bool activateRunningInstance() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !hasOwner(bus))
        return false;
    return call(bus, QStringLiteral("Activate")).type() == QDBusMessage::ReplyMessage;
}

} // namespace wakeward
