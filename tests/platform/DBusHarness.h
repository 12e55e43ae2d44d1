#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QThread>
#include <QVariantList>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace wakeward::test {

// Whether `predicate` holds within `milliseconds`, asking every 50 ms; bus signals are delivered
// in between.
template <class Predicate> bool eventually(Predicate predicate, int milliseconds = 10000) {
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        if (predicate())
            return true;
        QThread::msleep(50);
        QCoreApplication::processEvents();
    }
    return predicate();
}

// Two private dbus-daemons (a session bus and a stand-in system bus) and python3-dbusmock services
// on them. The test process's DBUS_SESSION_BUS_ADDRESS and DBUS_SYSTEM_BUS_ADDRESS point at them
// while it lives, and nowhere afterwards.
class DBusHarness {
public:
    enum class Bus { Session, System };

    /// With a `serviceFolder`, the session bus starts services on demand from it alone (the
    /// test's own .service files), never from the machine's folders.
    explicit DBusHarness(const QString& serviceFolder = QString());
    ~DBusHarness();

    /// True when both daemons run.
    bool ok() const { return !m_sessionAddress.isEmpty() && !m_systemAddress.isEmpty(); }
    QString address(Bus bus) const {
        return bus == Bus::Session ? m_sessionAddress : m_systemAddress;
    }

    /// Starts a plain mock owning name with one object; returns once the name is owned.
    bool startMock(Bus bus, const QString& name, const QString& path, const QString& interface) {
        return spawnMock(bus, {name, path, interface}, name);
    }
    /// Starts a dbusmock template (for example "logind") with its JSON parameters, if any; returns
    /// once name is owned.
    bool startTemplate(Bus bus, const QString& templateName, const QString& name,
                       const QString& parameters = QString());
    /// Adds a method to a mock object; code sets ret, sees args and self.
    bool addMethod(Bus bus, const QString& name, const QString& path, const QString& interface,
                   const QString& method, const QString& inSignature, const QString& outSignature,
                   const QString& code);
    /// The argument lists of every call of method on a mock object, oldest first.
    std::vector<QVariantList> calls(Bus bus, const QString& name, const QString& path,
                                    const QString& method);
    /// Calls a method with arguments and returns the reply's arguments; none on error.
    std::optional<QVariantList> call(Bus bus, const QString& name, const QString& path,
                                     const QString& interface, const QString& method,
                                     const QVariantList& arguments = {});
    /// Starts the logind mock on the system bus; returns once its name is owned.
    bool startLogind();
    /// Makes the logind mock announce PrepareForSleep(start); true once it has.
    bool prepareForSleep(bool start);
    /// Stops every mock started so far, leaving the daemons running.
    void stopMocks();
    /// True when the name has an owner on the bus.
    bool hasOwner(Bus bus, const QString& name);
    /// The name of the harness's own connection to `bus`.
    static QString connectionName(Bus bus) {
        return bus == Bus::Session ? QStringLiteral("harness-session")
                                   : QStringLiteral("harness-system");
    }

    /// A QCoreApplication for QtDBus, made once per test program.
    static void ensureApplication();

private:
    bool spawnMock(Bus bus, const QStringList& arguments, const QString& name);

    QTemporaryDir m_config;
    QProcess m_sessionDaemon;
    QProcess m_systemDaemon;
    QString m_sessionAddress;
    QString m_systemAddress;
    std::vector<std::unique_ptr<QProcess>> m_mocks;
};

/// How many logind locks of `what` ("idle", "sleep") in `mode` ("block", "delay") Wakeward holds
/// on the harness's system bus with a reason beginning with `why`; -1 when logind cannot list them.
long wakewardLocks(const DBusHarness& harness, const std::string& what, const std::string& mode,
                   const std::string& why = {});

} // namespace wakeward::test
