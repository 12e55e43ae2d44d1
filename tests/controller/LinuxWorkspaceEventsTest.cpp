#include "platform/LinuxWorkspaceEvents.h"

#include "../platform/DBusHarness.h"
#include "../platform/PrivateXServer.h"
#include "platform/DesktopNotifier.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

using namespace wakeward;
using namespace wakeward::test;

namespace {

const QString kNoBus = QStringLiteral("unix:path=/nonexistent/wakeward-test-bus");

// Counts what the event source reports.
struct Recorder {
    int changes = 0;
    int sleeps = 0;

    WorkspaceEvents::Handlers handlers() {
        return {[this] { ++changes; }, [this] { ++sleeps; }};
    }
};

LinuxWorkspaceEvents::Options offline() {
    LinuxWorkspaceEvents::Options options;
    options.systemBusAddress = kNoBus;
    options.activeWindow = false;
    return options;
}

} // namespace

// The exit of a watched application's process runs a tick at once.
TEST(LinuxWorkspaceEvents, ProcessExitIsReported) {
    DBusHarness::ensureApplication();
    QProcess child;
    child.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(child.waitForStarted());

    Recorder recorder;
    LinuxWorkspaceEvents events(offline());
    events.start(recorder.handlers());
    events.watchApplication("sleep");
    const std::size_t watched = events.watchedProcesses();
    ASSERT_GE(watched, 1u);
    events.watchApplication("sleep");
    EXPECT_EQ(events.watchedProcesses(), watched) << "a watch that stands is kept as it is";

    child.kill();
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorder.changes > 0; }, 5000));
    EXPECT_LT(events.watchedProcesses(), watched);
    EXPECT_EQ(recorder.sleeps, 0);

    events.stopWatchingApplication();
    EXPECT_EQ(events.watchedProcesses(), 0u);
    events.watchApplication("no-such-program-wakeward");
    EXPECT_EQ(events.watchedProcesses(), 0u);
}

// A delay lock logind refused at first is taken on a later tick. Before sleep the holds are
// dropped while it still stands; after the wake it is taken again and a tick runs. One lost with
// logind is taken from the logind that comes back.
TEST(LinuxWorkspaceEvents, SleepDelayLock) {
    using Bus = DBusHarness::Bus;
    const QString login = QStringLiteral("org.freedesktop.login1");
    const QString path = QStringLiteral("/org/freedesktop/login1");
    DBusHarness harness;
    ASSERT_TRUE(harness.ok());
    ASSERT_TRUE(harness.startLogind());
    ASSERT_TRUE(harness.addMethod(
        Bus::System, login, path, QStringLiteral("org.freedesktop.login1.Manager"),
        QStringLiteral("Inhibit"), QStringLiteral("ssss"), QStringLiteral("h"),
        QStringLiteral("self.asked = getattr(self, 'asked', 0) + 1\n"
                       "if self.asked == 1:\n"
                       "    raise dbus.exceptions.DBusException('busy', "
                       "name='org.freedesktop.DBus.Error.Failed')\n"
                       "ret = sys.modules['dbusmock.templates.logind'].Inhibit(self, *args)")));
    auto asked = [&] { return harness.calls(Bus::System, login, path, QStringLiteral("Inhibit")); };

    LinuxWorkspaceEvents::Options options = offline();
    options.systemBusAddress = harness.address(Bus::System);
    LinuxWorkspaceEvents events(options);
    int changes = 0;
    bool lockedWhileDropping = false;
    events.start({[&] { ++changes; }, [&] { lockedWhileDropping = events.holdsSleepDelay(); }});
    ASSERT_TRUE(QTest::qWaitFor([&] { return asked().size() == 1; }, 5000));
    QTest::qWait(200);
    EXPECT_FALSE(events.holdsSleepDelay());

    events.tick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.holdsSleepDelay(); }, 5000));
    EXPECT_EQ(wakewardLocks(harness, "sleep", "delay"), 1);
    events.tick();
    QTest::qWait(100);
    EXPECT_EQ(asked().size(), 2u) << "a lock that stands is not asked for again";

    ASSERT_TRUE(harness.prepareForSleep(true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !events.holdsSleepDelay(); }, 5000));
    EXPECT_TRUE(lockedWhileDropping);
    EXPECT_EQ(changes, 0) << "no tick before sleep";
    ASSERT_TRUE(harness.prepareForSleep(false));
    EXPECT_TRUE(QTest::qWaitFor([&] { return changes == 1 && events.holdsSleepDelay(); }, 5000));

    harness.stopMocks();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !events.holdsSleepDelay(); }, 5000));
    ASSERT_TRUE(harness.startLogind());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return events.holdsSleepDelay() && wakewardLocks(harness, "sleep", "delay") == 1; },
        5000));
    EXPECT_EQ(changes, 1);
}

// A mount in a private mount namespace of this process is reported through the mount table.
TEST(LinuxWorkspaceEvents, MountIsReported) {
    DBusHarness::ensureApplication();
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "needs the right to make a mount namespace: " << std::strerror(errno);
    QTemporaryDir target;
    Recorder recorder;
    LinuxWorkspaceEvents events(offline());
    events.start(recorder.handlers());

    ASSERT_EQ(::mount("wakeward-test", target.path().toUtf8().constData(), "tmpfs", 0, nullptr), 0)
        << std::strerror(errno);
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorder.changes >= 1; }, 5000));
    const int afterMount = recorder.changes;
    ASSERT_EQ(::umount(target.path().toUtf8().constData()), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorder.changes > afterMount; }, 5000));
}

// In an X11 session a change of the active window runs a tick; other root properties do not.
using LinuxWorkspaceEventsX11 = X11Test;

TEST_F(LinuxWorkspaceEventsX11, ActiveWindowChangeIsReported) {
    DBusHarness::ensureApplication();
    Recorder recorder;
    LinuxWorkspaceEvents::Options options = offline();
    options.activeWindow = true;
    LinuxWorkspaceEvents events(options);
    events.start(recorder.handlers());

    setRootProperty("WAKEWARD_UNRELATED", XCB_ATOM_CARDINAL, 42);
    // A missed event can only make this pass wrongly, never fail wrongly.
    QTest::qWait(100);
    EXPECT_EQ(recorder.changes, 0);
    activate(42);
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorder.changes > 0; }, 5000));

    server.stop();
    // The watch sees the server's end and lets go of its connection without reporting a change.
    const int before = recorder.changes;
    QTest::qWait(100);
    EXPECT_EQ(recorder.changes, before);
}

// Without a session bus the check fails at once with a reason.
TEST(DesktopNotifier, NoSessionBus) {
    DBusHarness::ensureApplication();
    DesktopNotifier notifier(kNoBus);
    std::optional<std::string> failure;
    notifier.check([&](std::optional<std::string> answer) { failure = std::move(answer); });
    ASSERT_TRUE(failure);
    EXPECT_FALSE(failure->empty());
    notifier.post("Session ended", "nowhere to go");
}
