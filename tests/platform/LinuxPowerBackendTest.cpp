#include "platform/LinuxPowerBackend.h"

#include "DBusHarness.h"
#include "platform/Assertions.h"
#include "platform/InhibitorReport.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

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
const QString pmInterface = QStringLiteral("org.freedesktop.PowerManagement.Inhibit");
const QString ssName = QStringLiteral("org.freedesktop.ScreenSaver");
const QString ssPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString portalName = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
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

    void startGnome(const QString& inhibitCode = QStringLiteral("ret = 40 + args[3]")) {
        ASSERT_TRUE(bus.startMock(Bus::Session, gnomeName, gnomePath, gnomeName));
        ASSERT_TRUE(bus.addMethod(Bus::Session, gnomeName, gnomePath, gnomeName,
                                  QStringLiteral("Inhibit"), QStringLiteral("susu"),
                                  QStringLiteral("u"), inhibitCode));
        ASSERT_TRUE(bus.addMethod(Bus::Session, gnomeName, gnomePath, gnomeName,
                                  QStringLiteral("Uninhibit"), QStringLiteral("u"), QString(),
                                  QString()));
    }
    void startCookieService(const QString& name, const QString& path, const QString& interface,
                            int cookie) {
        ASSERT_TRUE(bus.startMock(Bus::Session, name, path, interface));
        ASSERT_TRUE(bus.addMethod(Bus::Session, name, path, interface, QStringLiteral("Inhibit"),
                                  QStringLiteral("ss"), QStringLiteral("u"),
                                  QStringLiteral("ret = %1").arg(cookie)));
        ASSERT_TRUE(bus.addMethod(Bus::Session, name, path, interface, QStringLiteral("UnInhibit"),
                                  QStringLiteral("u"), QString(), QString()));
    }
    void startPowerManagement() { startCookieService(pmName, pmPath, pmInterface, 7); }
    void startScreenSaver() { startCookieService(ssName, ssPath, ssName, 9); }
    // response: the code the portal answers each inhibition with later, "null" for no answer.
    void startPortal(const QString& response = QStringLiteral("0")) {
        ASSERT_TRUE(bus.startTemplate(Bus::Session, QStringLiteral(WAKEWARD_PORTAL_TEMPLATE),
                                      portalName,
                                      QStringLiteral("{\"response\": %1}").arg(response)));
    }
    void startLogind() { ASSERT_TRUE(bus.startLogind()); }

    std::vector<Inhibitor> logindLocks() {
        return InhibitorReport::list(bus.address(Bus::System).toStdString())
            .value_or(std::vector<Inhibitor>{});
    }
    // logind notices a closed lock descriptor asynchronously.
    bool waitForNoLocks() {
        return test::eventually([this] { return logindLocks().empty(); });
    }

    std::vector<QVariantList> calls(const QString& name, const QString& path, const char* method) {
        return bus.calls(Bus::Session, name, path, QString::fromLatin1(method));
    }

    DBusHarness bus;
};

// The GNOME session manager takes both holds with flags 4 and 8, and gets each cookie back on
// release.
TEST_F(LinuxPowerBackendTest, GnomeSessionManagerAlone) {
    startGnome();
    auto power = backend();
    const std::uint32_t system = hold(*power, systemSleep);
    const std::uint32_t display = hold(*power, displaySleep);
    EXPECT_NE(system, 0u);
    EXPECT_NE(display, system);
    EXPECT_EQ(power->holderName(system), "GNOME session manager");

    const auto inhibits = calls(gnomeName, gnomePath, "Inhibit");
    ASSERT_EQ(inhibits.size(), 2u);
    EXPECT_EQ(inhibits[0], (QVariantList{QStringLiteral("org.fenmarch.Wakeward"), 0u,
                                         QString::fromStdString(holdName), 4u}));
    EXPECT_EQ(inhibits[1].value(3), QVariant(8u));

    power->release(display);
    power->release(system);
    power->release(system);
    const auto uninhibits = calls(gnomeName, gnomePath, "Uninhibit");
    ASSERT_EQ(uninhibits.size(), 2u);
    EXPECT_EQ(uninhibits[0], (QVariantList{48u}));
    EXPECT_EQ(uninhibits[1], (QVariantList{44u}));
    EXPECT_EQ(power->holderName(system), "");
}

// Power management alone serves the system hold and, lacking a screen saver, the display hold too.
TEST_F(LinuxPowerBackendTest, PowerManagementAlone) {
    startPowerManagement();
    auto power = backend();
    const std::uint32_t system = hold(*power, systemSleep);
    const std::uint32_t display = hold(*power, displaySleep);
    EXPECT_EQ(power->serviceOf(system), Service::PowerManagement);
    EXPECT_EQ(power->serviceOf(display), Service::PowerManagement);
    EXPECT_EQ(calls(pmName, pmPath, "Inhibit").front(),
              (QVariantList{QStringLiteral("Wakeward"), QString::fromStdString(holdName)}));
    power->release(system);
    EXPECT_EQ(calls(pmName, pmPath, "UnInhibit"), (std::vector<QVariantList>{{7u}}));
}

// The screen saver only keeps the display awake; without another service the system hold is refused
// (-1).
TEST_F(LinuxPowerBackendTest, ScreenSaverAloneHoldsOnlyTheDisplay) {
    startScreenSaver();
    auto power = backend();
    std::uint32_t handle = 0;
    EXPECT_EQ(power->create(systemSleep, holdName, handle), LinuxPowerBackend::NoService);
    EXPECT_EQ(handle, 0u);
    ASSERT_EQ(power->create(displaySleep, holdName, handle), 0);
    EXPECT_EQ(power->holderName(handle), "Screen saver service");
    power.reset();
    // Destroying the backend drops what is still held.
    EXPECT_EQ(calls(ssName, ssPath, "UnInhibit"), (std::vector<QVariantList>{{9u}}));
}

// The portal takes both holds with the reason option and ends each by closing its request.
TEST_F(LinuxPowerBackendTest, PortalAlone) {
    startPortal();
    auto power = backend();
    const std::uint32_t system = hold(*power, systemSleep);
    const std::uint32_t display = hold(*power, displaySleep);
    EXPECT_EQ(power->holderName(display), "Desktop portal");

    const auto inhibits = calls(portalName, portalPath, "Inhibit");
    ASSERT_EQ(inhibits.size(), 2u);
    EXPECT_EQ(inhibits[0].value(0).toString(), QString());
    EXPECT_EQ(inhibits[0].value(1), QVariant(4u));
    EXPECT_EQ(inhibits[1].value(1), QVariant(8u));
    QVariantMap options;
    inhibits[0].value(2).value<QDBusArgument>() >> options;
    EXPECT_EQ(options.value(QStringLiteral("reason")).toString(), QString::fromStdString(holdName));

    power->release(system);
    EXPECT_EQ(
        calls(portalName, QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t4"), "Close")
            .size(),
        1u);
    EXPECT_TRUE(
        calls(portalName, QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t8"), "Close")
            .empty());
}

// The portal answers Inhibit before its backend has acted; only the Response on the request
// decides. An answer of 0 holds, a non-zero one is a refusal, and none at all (older portals)
// counts as held once the bound has passed.
TEST_F(LinuxPowerBackendTest, PortalResponseDecides) {
    struct Row {
        const char* response;
        std::int32_t status;
    };
    for (const Row row : {Row{"0", 0}, Row{"2", LinuxPowerBackend::ServiceError}, Row{"null", 0}}) {
        SCOPED_TRACE(row.response);
        startPortal(QString::fromLatin1(row.response));
        auto power = backend(500);
        std::uint32_t handle = 0;
        EXPECT_EQ(power->create(systemSleep, holdName, handle), row.status);
        EXPECT_EQ(handle != 0, row.status == 0);
        EXPECT_EQ(calls(portalName, portalPath, "Inhibit").size(), 1u);
        bus.stopMocks();
    }
}

// A service that is there but refuses hands the hold to the next one of the chain; when every one
// refuses, the last refusal is reported: a D-Bus error or a failed Response is a service error
// (-2), nothing to ask on either bus is no service (-1).
TEST_F(LinuxPowerBackendTest, RefusalFallsThroughTheChain) {
    const QString refuse = QStringLiteral(
        "raise dbus.exceptions.DBusException('no', name='org.freedesktop.DBus.Error.Failed')");
    struct Row {
        const char* what;
        Type type;
        std::function<void()> start;
        std::int32_t status;
        std::optional<Service> holder;
    };
    const std::vector<Row> rows = {
        {"failing portal, logind", systemSleep,
         [&] {
             startPortal(QStringLiteral("2"));
             startLogind();
         },
         0, Service::Logind},
        {"refusing GNOME, power management", systemSleep,
         [&] {
             startGnome(refuse);
             startPowerManagement();
         },
         0, Service::PowerManagement},
        {"refusing GNOME, screen saver", displaySleep,
         [&] {
             startGnome(refuse);
             startScreenSaver();
         },
         0, Service::ScreenSaver},
        {"refusing GNOME, failing portal", systemSleep,
         [&] {
             startGnome(refuse);
             startPortal(QStringLiteral("2"));
         },
         LinuxPowerBackend::ServiceError, std::nullopt},
        {"refusing GNOME alone", displaySleep, [&] { startGnome(refuse); },
         LinuxPowerBackend::ServiceError, std::nullopt},
        {"nothing anywhere", systemSleep, [] {}, LinuxPowerBackend::NoService, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        row.start();
        auto power = backend();
        std::uint32_t handle = 0;
        EXPECT_EQ(power->create(row.type, holdName, handle), row.status);
        EXPECT_EQ(handle != 0, row.status == 0);
        EXPECT_EQ(power->serviceOf(handle), row.holder);
        if (row.holder == Service::Logind) {
            EXPECT_EQ(power->holderName(handle), "logind idle lock");
            const auto locks = logindLocks();
            ASSERT_EQ(locks.size(), 1u);
            EXPECT_EQ(locks[0].what, "idle");
        }
        power.reset();
        bus.stopMocks();
    }
}

// A hold its service drops (the service quits or restarts, or the portal reports a failure late)
// stops counting, and the holder's next identical request takes it afresh from the service now
// there, without sending the old cookie to the new instance.
TEST_F(LinuxPowerBackendTest, DroppedHoldIsTakenAgain) {
    const QString requestPath = QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t4");
    struct Row {
        const char* what;
        std::function<void()> start;
        std::function<void()> drop;
        std::function<void()> check;
    };
    const std::vector<Row> rows = {
        {"GNOME restarts", [&] { startGnome(); },
         [&] {
             bus.stopMocks();
             startGnome();
         },
         [&] {
             EXPECT_EQ(calls(gnomeName, gnomePath, "Inhibit").size(), 1u);
             EXPECT_TRUE(calls(gnomeName, gnomePath, "Uninhibit").empty());
         }},
        {"logind restarts", [&] { startLogind(); },
         [&] {
             bus.stopMocks();
             startLogind();
         },
         [&] { EXPECT_EQ(logindLocks().size(), 1u); }},
        {"portal fails late", [&] { startPortal(QStringLiteral("null")); },
         [&] {
             bus.call(Bus::Session, portalName, requestPath,
                      QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("EmitSignal"),
                      {QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                       QStringLiteral("ua{sv}"),
                       QVariant::fromValue(
                           QVariantList{QVariant::fromValue(QDBusVariant(2u)),
                                        QVariant::fromValue(QDBusVariant(QVariantMap()))})});
         },
         [&] { EXPECT_EQ(calls(portalName, portalPath, "Inhibit").size(), 2u); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        row.start();
        auto owned = backend(500);
        LinuxPowerBackend* power = owned.get();
        Assertions holder(std::move(owned));
        ASSERT_FALSE(holder.apply(true, false, holdName));
        const std::uint32_t first = holder.system();
        EXPECT_TRUE(power->holds(first));

        row.drop();
        EXPECT_TRUE(test::eventually([&] { return !power->holds(first); }));
        EXPECT_FALSE(holder.apply(true, false, holdName));
        EXPECT_NE(holder.system(), first);
        EXPECT_TRUE(power->holds(holder.system()));
        row.check();
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
                      "Exec=/bin/sh -c 'DBUS_SESSION_BUS_ADDRESS=\"$DBUS_STARTER_ADDRESS\" exec " +
                      DBusHarness::python().toUtf8() +
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

// Without a desktop, logind holds idle sleep with an idle block lock, never a sleep lock; closing
// it ends it.
TEST_F(LinuxPowerBackendTest, LogindWithoutDesktop) {
    startLogind();
    auto power = backend();
    std::uint32_t display = 0;
    EXPECT_EQ(power->create(displaySleep, holdName, display), LinuxPowerBackend::NoService);
    const std::uint32_t system = hold(*power, systemSleep);
    EXPECT_EQ(power->holderName(system), "logind idle lock");
    const auto locks = logindLocks();
    ASSERT_EQ(locks.size(), 1u);
    EXPECT_EQ(locks[0].what, "idle");
    EXPECT_EQ(locks[0].who, "Wakeward");
    EXPECT_EQ(locks[0].why, holdName);
    EXPECT_EQ(locks[0].mode, "block");
    power->release(system);
    EXPECT_TRUE(waitForNoLocks());
}

// A session with no bus at all still falls back to logind on the system bus.
TEST_F(LinuxPowerBackendTest, LogindWithoutSessionBus) {
    startLogind();
    LinuxPowerBackend power(QString(), bus.address(Bus::System));
    EXPECT_EQ(power.serviceOf(hold(power, systemSleep)), Service::Logind);
}

// Several services: the GNOME session manager wins both holds; without it the system hold goes to
// power management and the display hold to the screen saver; the portal comes before logind.
TEST_F(LinuxPowerBackendTest, PreferenceOrder) {
    startLogind();
    startPortal();
    auto power = backend();
    EXPECT_EQ(power->serviceOf(hold(*power, systemSleep)), Service::Portal);

    startScreenSaver();
    startPowerManagement();
    EXPECT_EQ(power->serviceOf(hold(*power, systemSleep)), Service::PowerManagement);
    EXPECT_EQ(power->serviceOf(hold(*power, displaySleep)), Service::ScreenSaver);

    startGnome();
    EXPECT_EQ(power->serviceOf(hold(*power, systemSleep)), Service::GnomeSession);
    EXPECT_EQ(power->serviceOf(hold(*power, displaySleep)), Service::GnomeSession);
    EXPECT_TRUE(logindLocks().empty());
}

// A service that does not answer within the bound gives -3. The connection that asked is closed, so
// a grant the service makes later dies with it; the rest of the chain is asked on a fresh one, and
// so is a later hold.
TEST_F(LinuxPowerBackendTest, SilentServiceTimesOut) {
    startGnome(QStringLiteral("self.n = getattr(self, 'n', 0) + 1\n"
                              "if self.n == 1:\n"
                              "    __import__('time').sleep(3)\n"
                              "ret = 40 + self.n"));
    auto clients = [this] {
        const QVariantList names =
            bus.call(Bus::Session, QStringLiteral("org.freedesktop.DBus"),
                     QStringLiteral("/org/freedesktop/DBus"),
                     QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListNames"));
        return names.isEmpty()
                   ? -1
                   : names.constFirst().toStringList().filter(QStringLiteral(":")).size();
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

} // namespace
} // namespace wakeward
