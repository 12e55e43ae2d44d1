#pragma once

#include "DBusHarness.h"

#include <QDBusMessage>
#include <QProcess>
#include <QTemporaryDir>
#include <filesystem>
#include <memory>
#include <ostream>

namespace wakeward::test {

// What a finished command returned and printed.
struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;

    bool operator==(const Outcome&) const = default;
};
inline void PrintTo(const Outcome& outcome, std::ostream* stream) {
    *stream << outcome.exitCode << " | " << outcome.out.toStdString() << " | "
            << outcome.err.toStdString();
}

// The real wakeward binary, headless, on private buses with a logind mock and, unless told
// otherwise, a desktop power-management mock; its files in a temporary home.
class AppRig {
public:
    explicit AppRig(bool desktopService = true);
    ~AppRig();

    /// True when the buses, the mocks and the home folder are ready.
    bool ok() const { return m_ready; }

    /// Starts `wakeward --headless` (plain `wakeward` when not headless), through `wrapper` (a
    /// program and its arguments) when given, and waits until the instance owns its name; false
    /// when it did not.
    bool launch(const QStringList& wrapper = {}, bool headless = true);
    /// Ends the instance with SIGTERM, as a logout would, and waits for it and its wrapper;
    /// an instance that `start` launched is ended through its bus name.
    bool quit();
    /// The instance `launch` started; null before.
    QProcess* instance() { return m_instance.get(); }
    /// Starts `wakeward arguments...` (through `wrapper` when given) in `process` and leaves it
    /// running.
    void startCommand(QProcess& process, const QStringList& arguments,
                      const QStringList& wrapper = {});
    /// Runs `wakeward arguments...` (through `wrapper` when given) to its end.
    Outcome run(const QStringList& arguments, const QStringList& wrapper = {});

    /// Sends a raw call to the instance's object and returns the reply, error or not.
    QDBusMessage call(const QString& interface, const QString& method,
                      const QVariantList& arguments = {});
    /// Reads a property of the automation interface.
    QVariant property(const QString& name);
    /// How many times the desktop service was asked to hold.
    std::size_t holdRequests();
    /// The process that owns the instance's bus name; 0 when none does.
    pid_t instancePid();
    /// Whether the instance owns its bus name.
    bool instanceOnBus();
    /// Whether logind holds an idle block lock whose reason begins with `why`.
    bool hasIdleLock(const QString& why) {
        return wakewardLocks(m_bus, "idle", "block", why.toStdString()) > 0;
    }

    std::filesystem::path home() const { return m_home.path().toStdString(); }
    std::filesystem::path storeFolder() const { return home() / "data/fenmarch/Wakeward"; }
    std::filesystem::path database() const { return storeFolder() / "sleep.sqlite"; }

    /// Sets a variable for the processes started from now on.
    void setEnvironment(const QString& name, const QString& value) {
        m_environment.insert(name, value);
    }

private:
    DBusHarness m_bus;
    QTemporaryDir m_home;
    QProcessEnvironment m_environment;
    std::unique_ptr<QProcess> m_instance;
    bool m_ready = false;
};

} // namespace wakeward::test
