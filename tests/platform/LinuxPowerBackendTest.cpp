#include "platform/LinuxPowerBackend.h"

#include "DBusHarness.h"
#include "platform/Assertions.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace wakeward {
namespace {

using test::DBusHarness;
using Bus = DBusHarness::Bus;
using Type = AssertionType;
using Service = LinuxPowerBackend::Service;
constexpr Type systemSleep = Type::PreventUserIdleSystemSleep;
constexpr Type displaySleep = Type::PreventUserIdleDisplaySleep;

const QString gnomeName = QStringLiteral("org.gnome.SessionManager");
const QString gnomePath = QStringLiteral("/org/gnome/SessionManager");
const QString pmName = QStringLiteral("org.freedesktop.PowerManagement");
const QString pmPath = QStringLiteral("/org/freedesktop/PowerManagement/Inhibit");
const QString ssName = QStringLiteral("org.freedesktop.ScreenSaver");
const QString ssPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString portalName = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
// The request the portal mock makes for an inhibition with these flags.
const QString requestPath = portalPath + QStringLiteral("/request/1_1/t%1");
const std::string holdName = "Wakeward \u2022 Reading";

// The handle of a hold `power` must grant; 0 when it did not.
std::uint32_t hold(LinuxPowerBackend& power, Type type) {
    std::uint32_t handle = 0;
    EXPECT_EQ(power.create(type, holdName, handle), 0);
    return handle;
}

class LinuxPowerBackendTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bus.ok()) << "could not start the private dbus-daemons"; }

    std::unique_ptr<LinuxPowerBackend> backend(int timeoutMs = 2000) {
        return std::make_unique<LinuxPowerBackend>(bus.address(Bus::Session),
                                                   bus.address(Bus::System), timeoutMs);
    }

    // The services a scenario starts: working ones, and ones that refuse or never answer.
    enum class Mock {
        Gnome,
        GnomeRefuses,
        Power,
        Saver,
        Portal,
        PortalFails,
        PortalSilent,
        Logind
    };
    void start(const std::vector<Mock>& mocks) {
        const QString refuse = QStringLiteral(
            "raise dbus.exceptions.DBusException('no', name='org.freedesktop.DBus.Error.Failed')");
        for (const Mock mock : mocks) {
            switch (mock) {
            case Mock::Gnome:
            case Mock::GnomeRefuses:
                startService(gnomeName, gnomePath, gnomeName, "susu", "Uninhibit",
                             mock == Mock::Gnome ? QStringLiteral("ret = 40 + args[3]") : refuse);
                break;
            case Mock::Power:
                startService(pmName, pmPath, pmName + QStringLiteral(".Inhibit"), "ss", "UnInhibit",
                             QStringLiteral("ret = 7"));
                break;
            case Mock::Saver:
                startService(ssName, ssPath, ssName, "ss", "UnInhibit", QStringLiteral("ret = 9"));
                break;
            // The portal answers each inhibition later with this Response code, or not at all.
            case Mock::Portal:
            case Mock::PortalFails:
            case Mock::PortalSilent:
                ASSERT_TRUE(bus.startTemplate(Bus::Session,
                                              QStringLiteral(WAKEWARD_PORTAL_TEMPLATE), portalName,
                                              QStringLiteral("{\"response\": %1}")
                                                  .arg(mock == Mock::Portal        ? "0"
                                                       : mock == Mock::PortalFails ? "2"
                                                                                   : "null")));
                break;
            case Mock::Logind:
                ASSERT_TRUE(bus.startLogind());
                break;
            }
        }
    }
    void startService(const QString& name, const QString& path, const QString& interface,
                      const char* inhibitSignature, const char* release,
                      const QString& inhibitCode) {
        ASSERT_TRUE(bus.startMock(Bus::Session, name, path, interface));
        ASSERT_TRUE(bus.addMethod(Bus::Session, name, path, interface, QStringLiteral("Inhibit"),
                                  QString::fromLatin1(inhibitSignature), QStringLiteral("u"),
                                  inhibitCode));
        ASSERT_TRUE(bus.addMethod(Bus::Session, name, path, interface, QString::fromLatin1(release),
                                  QStringLiteral("u"), QString(), QString()));
    }

    // Without logind there is nothing to list, and so no lock.
    long logindLocks() { return std::max(0L, test::wakewardLocks(bus, "idle", "block")); }

    std::vector<QVariantList> calls(const QString& name, const QString& path, const char* method) {
        return bus.calls(Bus::Session, name, path, QString::fromLatin1(method));
    }

    DBusHarness bus;
};

// Each service alone: the call it gets, the name it is shown under, and what it gets back on
// release: once however often the hold is released, and again when the backend goes.
TEST_F(LinuxPowerBackendTest, EachServiceAlone) {
    const QString reason = QString::fromStdString(holdName);
    struct Row {
        Mock mock;
        Type type;
        QString name, path;
        QVariantList inhibit;
        std::string holder;
        QString releasePath;
        const char* releaseMethod;
        QVariantList released;
    };
    const QVariantList gnomeArguments{QStringLiteral("org.fenmarch.Wakeward"), 0u, reason};
    const QVariantList cookieArguments{QStringLiteral("Wakeward"), reason};
    const Row rows[] = {
        {Mock::Gnome, systemSleep, gnomeName, gnomePath, gnomeArguments + QVariantList{4u},
         "GNOME session manager", gnomePath, "Uninhibit", QVariantList{44u}},
        {Mock::Gnome, displaySleep, gnomeName, gnomePath, gnomeArguments + QVariantList{8u},
         "GNOME session manager", gnomePath, "Uninhibit", QVariantList{48u}},
        {Mock::Power, systemSleep, pmName, pmPath, cookieArguments, "Power management service",
         pmPath, "UnInhibit", QVariantList{7u}},
        {Mock::Saver, displaySleep, ssName, ssPath, cookieArguments, "Screen saver service", ssPath,
         "UnInhibit", QVariantList{9u}},
        {Mock::Portal, systemSleep, portalName, portalPath, QVariantList{QString(), 4u},
         "Desktop portal", requestPath.arg(4), "Close", QVariantList()},
        {Mock::Portal, displaySleep, portalName, portalPath, QVariantList{QString(), 8u},
         "Desktop portal", requestPath.arg(8), "Close", QVariantList()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.holder + (row.type == systemSleep ? ", system" : ", display"));
        start({row.mock});
        auto power = backend();
        const std::uint32_t handle = hold(*power, row.type);
        EXPECT_EQ(power->holderName(handle), row.holder);
        const auto inhibits = calls(row.name, row.path, "Inhibit");
        ASSERT_EQ(inhibits.size(), 1u);
        EXPECT_EQ(inhibits[0].mid(0, row.inhibit.size()), row.inhibit);
        if (row.name == portalName) {
            QVariantMap options;
            inhibits[0].value(2).value<QDBusArgument>() >> options;
            EXPECT_EQ(options.value(QStringLiteral("reason")).toString(), reason);
        }

        power->release(handle);
        power->release(handle);
        EXPECT_EQ(power->holderName(handle), "");
        EXPECT_EQ(calls(row.name, row.releasePath, row.releaseMethod).size(), 1u);
        hold(*power, row.type);
        power.reset();
        EXPECT_EQ(calls(row.name, row.releasePath, row.releaseMethod),
                  (std::vector<QVariantList>(2, row.released)));
        bus.stopMocks();
    }
}

// Who holds what: the GNOME session manager first, then power management for the system (the
// screen saver, then power management, for the display), then the portal, then logind for the
// system only. A service that is there but refuses hands over to the next; when all refuse, the
// last refusal is the answer: a D-Bus error or a failed portal Response is a service error,
// nothing to ask is no service. A portal that never answers (older ones) holds once the bound has
// passed.
TEST_F(LinuxPowerBackendTest, WhoHolds) {
    using enum Mock;
    using S = Service;
    struct Row {
        Type type;
        std::vector<Mock> mocks;
        std::int32_t status;
        std::optional<Service> holder;
    };
    const std::int32_t error = LinuxPowerBackend::ServiceError, none = LinuxPowerBackend::NoService;
    const Row rows[] = {
        {systemSleep, {Logind, Portal, Power, Gnome}, 0, S::GnomeSession},
        {displaySleep, {Portal, Saver, Gnome}, 0, S::GnomeSession},
        {systemSleep, {Logind, Portal, Saver, Power}, 0, S::PowerManagement},
        {displaySleep, {Portal, Power, Saver}, 0, S::ScreenSaver},
        {displaySleep, {Portal, Power}, 0, S::PowerManagement},
        {systemSleep, {Logind, Portal}, 0, S::Portal},
        {systemSleep, {PortalSilent}, 0, S::Portal},
        {systemSleep, {PortalFails, Logind}, 0, S::Logind},
        {systemSleep, {GnomeRefuses, Power}, 0, S::PowerManagement},
        {displaySleep, {GnomeRefuses, Saver}, 0, S::ScreenSaver},
        {systemSleep, {GnomeRefuses, PortalFails}, error, std::nullopt},
        {displaySleep, {GnomeRefuses}, error, std::nullopt},
        {systemSleep, {Saver}, none, std::nullopt},
        {displaySleep, {Logind}, none, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        start(row.mocks);
        auto power = backend();
        std::uint32_t handle = 0;
        const std::int32_t status = power->create(row.type, holdName, handle);
        EXPECT_EQ(std::tuple(status, handle != 0, power->serviceOf(handle), logindLocks()),
                  std::tuple(row.status, row.status == 0, row.holder,
                             row.holder == Service::Logind ? 1L : 0L));
        power.reset();
        bus.stopMocks();
    }
}

// A hold its service drops (the service quits or restarts, or the portal reports a failure late)
// stops counting, and the holder's next identical request takes it afresh from the service now
// there, without sending the old cookie to the new instance.
TEST_F(LinuxPowerBackendTest, DroppedHoldIsTakenAgain) {
    const std::pair<const char*, Mock> rows[] = {
        {"GNOME restarts", Mock::Gnome},
        {"logind restarts", Mock::Logind},
        {"portal fails late", Mock::PortalSilent},
    };
    for (const auto& [what, mock] : rows) {
        SCOPED_TRACE(what);
        start({mock});
        auto owned = backend(500);
        LinuxPowerBackend* power = owned.get();
        Assertions holder(std::move(owned));
        ASSERT_FALSE(holder.apply(true, false, holdName));
        const std::uint32_t first = holder.system();
        EXPECT_TRUE(power->holds(first));

        if (mock == Mock::PortalSilent) {
            bus.call(Bus::Session, portalName, requestPath.arg(4),
                     QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("EmitSignal"),
                     {QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                      QStringLiteral("ua{sv}"),
                      QVariant::fromValue(
                          QVariantList{QVariant::fromValue(QDBusVariant(2u)),
                                       QVariant::fromValue(QDBusVariant(QVariantMap()))})});
        } else {
            bus.stopMocks();
            start({mock});
        }
        EXPECT_TRUE(test::eventually([&] { return !power->holds(first); }));
        EXPECT_FALSE(holder.apply(true, false, holdName));
        EXPECT_NE(holder.system(), first);
        EXPECT_TRUE(power->holds(holder.system()));
        if (mock == Mock::Gnome) {
            EXPECT_EQ(calls(gnomeName, gnomePath, "Inhibit").size(), 1u);
            EXPECT_TRUE(calls(gnomeName, gnomePath, "Uninhibit").empty());
        } else if (mock == Mock::Logind) {
            EXPECT_EQ(logindLocks(), 1);
        } else {
            EXPECT_EQ(calls(portalName, portalPath, "Inhibit").size(), 2u);
        }
        holder.release();
        bus.stopMocks();
    }
}

// The portal is often not running until asked: a bus that can start it on demand counts as
// having it, and the first hold starts it.
TEST(LinuxPowerBackendActivation, PortalStartedOnDemand) {
    QTemporaryDir services;
    ASSERT_TRUE(services.isValid());
    {
        QFile service(services.filePath(QStringLiteral("org.freedesktop.portal.Desktop.service")));
        ASSERT_TRUE(service.open(QIODevice::WriteOnly));
        // The bus tells the services it starts where it is through DBUS_STARTER_ADDRESS.
        service.write("[D-BUS Service]\nName=org.freedesktop.portal.Desktop\n"
                      "Exec=/bin/sh -c 'DBUS_SESSION_BUS_ADDRESS=\"$DBUS_STARTER_ADDRESS\" "
                      "exec " WAKEWARD_TEST_PYTHON
                      " -m dbusmock --session --template " WAKEWARD_PORTAL_TEMPLATE "'\n");
    }
    DBusHarness bus(services.path());
    ASSERT_TRUE(bus.ok());
    ASSERT_FALSE(bus.hasOwner(Bus::Session, portalName));

    // Starting the interpreter may take longer than the app's bound on a loaded machine.
    LinuxPowerBackend power(bus.address(Bus::Session), bus.address(Bus::System), 20000);
    EXPECT_EQ(power.serviceOf(hold(power, systemSleep)), Service::Portal);
    EXPECT_TRUE(bus.hasOwner(Bus::Session, portalName));
}

// Without a desktop, logind holds idle sleep with an idle block lock, never a sleep lock, even
// with no session bus at all; closing it ends it.
TEST_F(LinuxPowerBackendTest, LogindWithoutDesktop) {
    start({Mock::Logind});
    LinuxPowerBackend power(QString(), bus.address(Bus::System));
    const std::uint32_t system = hold(power, systemSleep);
    EXPECT_EQ(logindLocks(), 1);
    EXPECT_EQ(test::wakewardLocks(bus, "sleep", "block"), 0);
    power.release(system);
    EXPECT_TRUE(test::eventually([this] { return logindLocks() == 0; }));
}

// A service that does not answer within the bound gives -3. The connection that asked is closed, so
// a grant the service makes later dies with it; the rest of the chain is asked on a fresh one, and
// so is a later hold.
TEST_F(LinuxPowerBackendTest, SilentServiceTimesOut) {
    startService(gnomeName, gnomePath, gnomeName, "susu", "Uninhibit",
                 QStringLiteral("self.n = getattr(self, 'n', 0) + 1\n"
                                "if self.n == 1:\n"
                                "    __import__('time').sleep(3)\n"
                                "ret = 40 + self.n"));
    auto clients = [this] {
        const auto names =
            bus.call(Bus::Session, QStringLiteral("org.freedesktop.DBus"),
                     QStringLiteral("/org/freedesktop/DBus"),
                     QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListNames"));
        return names ? names->value(0).toStringList().filter(QStringLiteral(":")).size() : -1;
    };
    const auto before = clients();
    auto power = backend(2000);
    std::uint32_t handle = 0;
    EXPECT_EQ(power->create(systemSleep, holdName, handle), LinuxPowerBackend::ServiceTimeout);
    EXPECT_EQ(handle, 0u);
    test::eventually([&] { return clients() == before + 1; }, 5000);
    EXPECT_EQ(clients(), before + 1);
    power->release(hold(*power, systemSleep));
    EXPECT_EQ(calls(gnomeName, gnomePath, "Uninhibit"), (std::vector<QVariantList>{{42u}}));
}

// logind's list becomes the inspector's entries: own locks and delay locks left out, texts
// defaulted. An empty list is "nothing held"; logind missing or failing is the absent result.
TEST_F(LinuxPowerBackendTest, InspectorListsOtherProcessesLocks) {
    // No installed application may lend its name to a test pid.
    QTemporaryDir noApplications;
    ASSERT_TRUE(noApplications.isValid());
    qputenv("XDG_DATA_HOME", noApplications.path().toUtf8());
    qputenv("XDG_DATA_DIRS", noApplications.path().toUtf8());
    const QString logindName = QStringLiteral("org.freedesktop.login1");
    const QString logindPath = QStringLiteral("/org/freedesktop/login1");
    const QString manager = QStringLiteral("org.freedesktop.login1.Manager");
    using Entries = std::vector<std::string>;
    struct Row {
        QString listCode; // none: no logind at all
        std::optional<Entries> entries;
    };
    const Row rows[] = {
        {QString(), std::nullopt},
        {QStringLiteral("raise dbus.exceptions.DBusException('denied', "
                        "name='org.freedesktop.DBus.Error.AccessDenied')"),
         std::nullopt},
        {QStringLiteral("ret = dbus.Array([], signature='(ssssuu)')"), Entries()},
        {QStringLiteral(
             "ret = dbus.Array(["
             "('idle', 'vlc', 'Film', 'block', dbus.UInt32(1000), dbus.UInt32(4000001)),"
             "('sleep', 'NetworkManager', 'Wait', 'delay', dbus.UInt32(0), dbus.UInt32(4000002)),"
             "('idle', 'Wakeward', 'Mine', 'block', dbus.UInt32(0), dbus.UInt32(%1)),"
             "('', 'x', '', 'block-weak', dbus.UInt32(0), dbus.UInt32(4000003)),"
             "], signature='(ssssuu)')")
             .arg(::getpid()),
         Entries{"Process 4000001 \u2022 idle\nFilm",
                 "Process 4000003 \u2022 Unknown assertion\nReason not reported"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.listCode.toStdString());
        if (!row.listCode.isEmpty()) {
            ASSERT_TRUE(bus.startMock(Bus::System, logindName, logindPath, manager));
            ASSERT_TRUE(bus.addMethod(Bus::System, logindName, logindPath, manager,
                                      QStringLiteral("ListInhibitors"), QString(),
                                      QStringLiteral("a(ssssuu)"), row.listCode));
        }
        EXPECT_EQ(Assertions::others(), row.entries);
        bus.stopMocks();
    }
}

} // namespace
} // namespace wakeward
