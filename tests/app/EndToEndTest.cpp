#include "DBusHarness.h"

#include <QDBusArgument>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <wakeward/Store.h>

namespace wakeward {
namespace {

using test::DBusHarness;
using Bus = DBusHarness::Bus;

const QString appName = QStringLiteral("org.fenmarch.Wakeward");
const QString pmName = QStringLiteral("org.freedesktop.PowerManagement");
const QString pmPath = QStringLiteral("/org/freedesktop/PowerManagement/Inhibit");
const QString pmInterface = QStringLiteral("org.freedesktop.PowerManagement.Inhibit");
const QString activeAnswer = QStringLiteral("Wakeward is active.");
const QString refusedAnswer = QStringLiteral("Session could not start. Check the app for details.");

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the real binary as a user would, headless, with its files in a private folder.
class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.ok()) << "could not start the private dbus-daemons";
        ASSERT_TRUE(home.isValid());
        environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address(Bus::Session));
        environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus.address(Bus::System));
        ASSERT_TRUE(bus.startTemplate(Bus::System, QStringLiteral("logind"), QStringLiteral("org.freedesktop.login1")));
    }

    void TearDown() override {
        // An instance that `start` launched lives in a session of its own; end it by its pid.
        const QVariantList owner = bus.call(Bus::Session, QStringLiteral("org.freedesktop.DBus"),
                                            QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
                                            QStringLiteral("GetConnectionUnixProcessID"), {appName});
        if (!owner.isEmpty() && owner.front().toUInt() > 0) {
            const auto pid = static_cast<pid_t>(owner.front().toUInt());
            ::kill(pid, SIGTERM);
            eventually([&] { return !bus.hasOwner(Bus::Session, appName); });
        }
        for (auto& process : instances) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                if (!process->waitForFinished(10000))
                    process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    void startPowerManagement() {
        ASSERT_TRUE(bus.startMock(Bus::Session, pmName, pmPath, pmInterface));
        ASSERT_TRUE(bus.addMethod(Bus::Session, pmName, pmPath, pmInterface, QStringLiteral("Inhibit"),
                                  QStringLiteral("ss"), QStringLiteral("u"), QStringLiteral("ret = 7")));
        ASSERT_TRUE(bus.addMethod(Bus::Session, pmName, pmPath, pmInterface, QStringLiteral("UnInhibit"),
                                  QStringLiteral("u"), QString(), QString()));
    }

    QProcess& launchInstance(const QStringList& arguments = {QStringLiteral("--headless")}) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment);
        process->start(QStringLiteral(WAKEWARD_BINARY), arguments);
        process->waitForStarted();
        instances.push_back(std::move(process));
        return *instances.back();
    }

    bool waitForInstance() {
        const QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired()) {
            if (bus.hasOwner(Bus::Session, appName))
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    Outcome run(const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(WAKEWARD_BINARY), arguments);
        Outcome result;
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            return result;
        }
        result.exitCode = process.exitCode();
        result.out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
        result.err = QString::fromUtf8(process.readAllStandardError()).trimmed();
        return result;
    }

    std::filesystem::path database() const {
        return home.filePath(QStringLiteral("data/fenmarch/Wakeward/sleep.sqlite")).toStdString();
    }

    std::vector<QVariantList> logindInhibitors() {
        const QVariantList reply = bus.call(Bus::System, QStringLiteral("org.freedesktop.login1"),
                                            QStringLiteral("/org/freedesktop/login1"),
                                            QStringLiteral("org.freedesktop.login1.Manager"),
                                            QStringLiteral("ListInhibitors"));
        std::vector<QVariantList> found;
        if (reply.isEmpty())
            return found;
        const QDBusArgument list = reply.front().value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            QString what, who, why, mode;
            uint uid = 0, pid = 0;
            list.beginStructure();
            list >> what >> who >> why >> mode >> uid >> pid;
            list.endStructure();
            found.push_back({what, who, why, mode});
        }
        list.endArray();
        return found;
    }

    bool hasIdleLock(const QString& why) {
        for (const auto& inhibitor : logindInhibitors())
            if (inhibitor[0] == QStringLiteral("idle") && inhibitor[2] == why && inhibitor[3] == QStringLiteral("block"))
                return true;
        return false;
    }

    template <class Predicate>
    bool eventually(Predicate predicate, int milliseconds = 10000) {
        const QDeadlineTimer deadline(milliseconds);
        while (!deadline.hasExpired()) {
            if (predicate())
                return true;
            QThread::msleep(50);
        }
        return predicate();
    }

    DBusHarness bus;
    QTemporaryDir home;
    QProcessEnvironment environment;
    std::vector<std::unique_ptr<QProcess>> instances;
};

// start holds through the desktop service under the reason's name; status and stop answer.
TEST_F(EndToEndTest, StartStatusStopThroughTheDesktopService) {
    startPowerManagement();
    launchInstance();
    ASSERT_TRUE(waitForInstance());

    Outcome started = run({QStringLiteral("start")});
    EXPECT_EQ(started.exitCode, 0) << started.err.toStdString();
    EXPECT_EQ(started.out, activeAnswer);
    const auto inhibits = bus.calls(Bus::Session, pmName, pmPath, QStringLiteral("Inhibit"));
    ASSERT_EQ(inhibits.size(), 1u);
    const QString holdName = inhibits[0].value(1).toString();
    EXPECT_TRUE(holdName.startsWith(QStringLiteral("Wakeward \u2022 "))) << holdName.toStdString();

    Outcome status = run({QStringLiteral("status")});
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_EQ(QStringLiteral("Wakeward \u2022 ") + status.out, holdName);

    Outcome stopped = run({QStringLiteral("stop")});
    EXPECT_EQ(stopped.exitCode, 0);
    EXPECT_EQ(stopped.out, QStringLiteral("Wakeward assertions released. Automation is paused."));
    EXPECT_EQ(bus.calls(Bus::Session, pmName, pmPath, QStringLiteral("UnInhibit")).size(), 1u);
}

// A refused start exits 1 and explains itself on standard error; bad arguments exit 2.
TEST_F(EndToEndTest, RefusedStartAndBadArguments) {
    launchInstance();
    ASSERT_TRUE(waitForInstance());
    Outcome refused = run({QStringLiteral("start"), QStringLiteral("--minutes"), QStringLiteral("0")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, refusedAnswer);
    EXPECT_FALSE(refused.err.isEmpty());
    EXPECT_FALSE(hasIdleLock(QStringLiteral("Wakeward \u2022 Manual session")));

    Outcome bad = run({QStringLiteral("start"), QStringLiteral("--minutes"), QStringLiteral("abc")});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("Usage: wakeward")));
    EXPECT_EQ(run({QStringLiteral("sleep")}).exitCode, 2);
}

// stop and status never start an instance.
TEST_F(EndToEndTest, VerbsWithoutAnInstance) {
    for (const char* verb : {"stop", "status"}) {
        Outcome result = run({QString::fromLatin1(verb)});
        EXPECT_EQ(result.exitCode, 3) << verb;
        EXPECT_EQ(result.err, QStringLiteral("Wakeward is not running."));
    }
    EXPECT_FALSE(bus.hasOwner(Bus::Session, appName));
}

// Without a desktop service the hold is a logind idle lock; SIGTERM ends it as a quit does.
TEST_F(EndToEndTest, TerminationEndsTheSessionAndRecordsIt) {
    QProcess& instance = launchInstance();
    ASSERT_TRUE(waitForInstance());
    ASSERT_EQ(run({QStringLiteral("start")}).exitCode, 0);
    const QString reason = run({QStringLiteral("status")}).out;
    EXPECT_TRUE(eventually([&] { return hasIdleLock(QStringLiteral("Wakeward \u2022 ") + reason); }));

    ::kill(static_cast<pid_t>(instance.processId()), SIGTERM);
    ASSERT_TRUE(instance.waitForFinished(15000));
    EXPECT_EQ(instance.exitCode(), 0);
    EXPECT_TRUE(eventually([&] { return !hasIdleLock(QStringLiteral("Wakeward \u2022 ") + reason); }));

    auto store = Store::open(database());
    ASSERT_TRUE(store.ok()) << store.error().description;
    auto history = store->history(Instant{});
    ASSERT_TRUE(history.ok());
    ASSERT_FALSE(history->empty());
    EXPECT_EQ(history->front().type, "Ended");
    const std::string& ended = history->front().reason;
    EXPECT_TRUE(ended.size() >= 8 && ended.compare(ended.size() - 8, 8, "App quit") == 0) << ended;
    auto active = store->load<std::optional<Instant>>("activeSession");
    ASSERT_TRUE(active.ok());
    ASSERT_TRUE(active->has_value()) << "activeSession has no row";
    EXPECT_FALSE(active->value().has_value());
}

// A killed instance leaves no lock behind, and the next start records the interruption.
TEST_F(EndToEndTest, KilledDuringAHoldIsNoticedAtTheNextStart) {
    QProcess& instance = launchInstance();
    ASSERT_TRUE(waitForInstance());
    ASSERT_EQ(run({QStringLiteral("start")}).exitCode, 0);
    instance.kill();
    instance.waitForFinished(10000);
    EXPECT_TRUE(eventually([&] {
        for (const auto& inhibitor : logindInhibitors())
            if (inhibitor[2].toString().startsWith(QStringLiteral("Wakeward")) && inhibitor[0] == QStringLiteral("idle"))
                return false;
        return true;
    }));
    ASSERT_TRUE(eventually([&] { return !bus.hasOwner(Bus::Session, appName); }));

    launchInstance();
    ASSERT_TRUE(waitForInstance());
    auto store = Store::open(database());
    ASSERT_TRUE(store.ok());
    auto history = store->history(Instant{});
    ASSERT_TRUE(history.ok());
    const auto interrupted = std::count_if(history->begin(), history->end(),
                                           [](const HistoryEvent& event) { return event.type == "Interrupted"; });
    EXPECT_EQ(interrupted, 1);
}

// start launches an instance in the background when none runs, and it keeps running.
TEST_F(EndToEndTest, StartLaunchesAnInstanceWhenNoneRuns) {
    Outcome started = run({QStringLiteral("start"), QStringLiteral("--minutes"), QStringLiteral("30")});
    EXPECT_EQ(started.exitCode, 0) << started.err.toStdString();
    EXPECT_EQ(started.out, activeAnswer);
    EXPECT_TRUE(bus.hasOwner(Bus::Session, appName));
    Outcome status = run({QStringLiteral("status")});
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_TRUE(eventually([&] { return hasIdleLock(QStringLiteral("Wakeward \u2022 ") + status.out); }));
}

// A second instance hands over to the first and exits 0; the first keeps running.
TEST_F(EndToEndTest, SecondInstanceExitsAndTheFirstStays) {
    QProcess& first = launchInstance();
    ASSERT_TRUE(waitForInstance());
    Outcome second = run({QStringLiteral("--headless")});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(run({QStringLiteral("status")}).exitCode, 0);
}

} // namespace
} // namespace wakeward
