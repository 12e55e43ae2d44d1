#include "../TestFiles.h"
#include "AppRig.h"

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <wakeward/Store.h>

namespace wakeward {
namespace {

using test::AppRig;
using test::eventually;
using test::Outcome;

const QString activeAnswer = QStringLiteral("Wakeward is active.");
const QString holdPrefix = QStringLiteral("Wakeward \u2022 ");

// Whether the process has mapped a library whose name begins with `library` (Qt Widgets needs Qt
// Gui, so "libQt6Gui" finds the windowing libraries).
bool maps(qint64 pid, const std::string& library) {
    return test::fileText("/proc/" + std::to_string(pid) + "/maps").find("/" + library) !=
           std::string::npos;
}

// The real binary as a user runs it, headless, holding through logind's idle lock.
class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app.ok()) << "could not start the private buses and mocks";
    }

    /// The instance's records, newest first; none while the database cannot be read.
    std::vector<HistoryEvent> history() const {
        auto store = Store::open(app.database());
        auto history = store.ok() ? store->history(Instant{}) : Error{"not opened"};
        return history.ok() ? std::move(history).value() : std::vector<HistoryEvent>{};
    }
    /// The newest record's reason; empty when there is none.
    std::string lastReason() const {
        const auto events = history();
        return events.empty() ? std::string() : events.front().reason;
    }
    /// How many records say the instance was interrupted.
    long interruptions() const {
        return std::ranges::count(history(), std::string("Interrupted"), &HistoryEvent::type);
    }
    /// The stored start of the hold; unset when the database has no such row.
    std::optional<std::optional<Instant>> activeSession() const {
        auto store = Store::open(app.database());
        auto active =
            store.ok() ? store->load<std::optional<Instant>>("activeSession") : Error{"not opened"};
        return active.ok() ? *active : std::nullopt;
    }
    QString status() { return app.run({"status"}).out; }

    AppRig app{false};
};

// A rule's name stored with control characters never reaches the terminal raw. Every manual mode
// from the command line and its answer; a refused start exits 1, input the instance cannot take
// exits 2, and neither disturbs what was holding before.
TEST_F(EndToEndTest, StartModesAndTheirRefusals) {
    Rule rule;
    rule.name = "Lab \x1b]0;owned\x07 build\xc2\x9b";
    rule.enabled = true;
    rule.grace = 0;
    std::filesystem::create_directories(app.storeFolder());
    ASSERT_TRUE(Store::open(app.database()).value().save(std::vector<Rule>{rule}, "rules").ok());
    ASSERT_TRUE(app.launch());
    EXPECT_TRUE(eventually([&] { return app.property("Active").toBool(); }));
    EXPECT_EQ(status(), QStringLiteral("Rule: Lab \ufffd]0;owned\ufffd build\ufffd"));

    const QString duration = QStringLiteral("Choose a duration between 1 and 1,440 minutes.");
    struct Row {
        QStringList arguments;
        int exitCode;
        QString reasonOrError;
    };
    const Row rows[] = {
        {{"start", "--minutes", "0"}, 1, duration},
        {{"start", "--until-stopped"}, 0, "Manual \u2022 Until stopped"},
        {{"start", "--until", "23:59", "--mains-only"}, 0, "Manual \u2022 Until a time"},
        {{"start", "--while-running", "dbus-daemon"}, 0, "Manual \u2022 While an app runs"},
        {{"start", "--profile", "bACKUP"}, 0, "Profile: Backup"},
        {{"start", "--minutes", "5"}, 0, "Manual \u2022 For a duration"},
        {{"start", "--while-running", "no-such-program"}, 1, "Choose an application that is"},
        {{"start", "--profile", "Nope"},
         2,
         "There is no profile \"Nope\". Profiles: Download, File transfer, Backup, "
         "Presentation, Render, External drive."},
        {{"start", "--until", "25:00"}, 2, "--until needs a time from 00:00 to 23:59, not"},
        {{"start", "--minutes", "5", "--until", "10:00"}, 2, "Choose one of --minutes, --until"},
        {{"start", "--profile", "Backup", "--display"}, 2, "A profile brings its own length"},
        {{"run"}, 2, "run needs a command"},
        // No service here can hold the display, and the refused hold ends the session.
        {{"start", "--minutes", "5", "--display"}, 1, "The system could not hold the display"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(QLatin1Char(' ')).toStdString());
        const QString before = app.property("Reason").toString();
        const Outcome started = app.run(row.arguments);
        EXPECT_EQ(started.exitCode, row.exitCode) << started.err.toStdString();
        if (row.exitCode == 0) {
            EXPECT_EQ(started.out, activeAnswer);
            EXPECT_EQ(app.property("Reason").toString(), row.reasonOrError);
            continue;
        }
        EXPECT_TRUE(started.err.contains(row.reasonOrError)) << started.err.toStdString();
        EXPECT_EQ(started.out == "Session could not start. Check the app for details.",
                  row.exitCode == 1);
        // Only the refused display hold ends what was holding.
        EXPECT_EQ(app.property("Reason").toString() == before,
                  !row.reasonOrError.startsWith(QStringLiteral("The system could not")));
    }
}

// status --json says everything a script needs; --watch prints again at every change; stop
// says what it did.
TEST_F(EndToEndTest, StatusForScriptsAndStatusBars) {
    ASSERT_TRUE(app.launch());
    QProcess watch;
    app.startCommand(watch, {"status", "--watch", "--json"});
    ASSERT_TRUE(eventually([&] { return watch.canReadLine(); }));
    EXPECT_FALSE(maps(watch.processId(), "libQt6")) << "the command line loads no Qt library";
    EXPECT_EQ(nlohmann::json::parse(watch.readLine().toStdString())["active"], false);

    ASSERT_EQ(app.run({"start", "--minutes", "30"}).exitCode, 0);
    auto state = nlohmann::json::parse(app.run({"status", "--json"}).out.toStdString());
    for (const char* instant : {"started", "deadline"}) {
        ASSERT_TRUE(state[instant].is_string()) << instant;
        EXPECT_EQ(state[instant].get<std::string>().size(), 20u) << "2026-12-06T21:00:00Z";
        state.erase(instant);
    }
    EXPECT_EQ(state, nlohmann::json::parse(R"({"active": true, "displayActive": false,
        "manual": true, "mode": "For a duration", "reason": "Manual \u2022 For a duration",
        "holder": "logind idle lock", "automationPaused": false, "message": null})"));

    // The watcher saw the start, without polling, and sees the stop.
    auto watched = [&](const char* key) {
        return eventually([&] {
            while (watch.canReadLine())
                if (nlohmann::json::parse(watch.readLine().toStdString())[key] == true)
                    return true;
            watch.waitForReadyRead(100);
            return false;
        });
    };
    ASSERT_TRUE(watched("manual"));
    ASSERT_EQ(app.run({"stop"}),
              (Outcome{0, "Wakeward assertions released. Automation is paused.", ""}));
    ASSERT_TRUE(watched("automationPaused"));
    watch.kill();
    watch.waitForFinished();

    // The changes of the quit itself are announced before the instance leaves the bus.
    ASSERT_EQ(app.run({"start", "--minutes", "30"}).exitCode, 0);
    QProcess monitor;
    monitor.start("dbus-monitor", {"--session", "type='signal',member='PropertiesChanged'"});
    ASSERT_TRUE(monitor.waitForReadyRead(5000)) << "the monitor is attached once it speaks";
    ASSERT_TRUE(app.quit());
    QByteArray seen;
    EXPECT_TRUE(eventually([&] {
        monitor.waitForReadyRead(100);
        seen += monitor.readAll();
        return seen.contains("App quit");
    })) << seen.toStdString();
    monitor.kill();
    monitor.waitForFinished();
}

// run holds while the command runs, passes its output and exit status through, and its hold
// never outlives it, even when it is killed.
TEST_F(EndToEndTest, RunHoldsForTheCommand) {
    EXPECT_EQ(app.run({"run", "--", "sh", "-c", "echo out; echo err >&2; exit 7"}),
              (Outcome{7, "out", "err"}));
    ASSERT_TRUE(app.instanceOnBus()) << "run started an instance";
    EXPECT_EQ(lastReason(), "Manual \u2022 sh \u2022 Command finished");
    EXPECT_EQ(app.run({"run", "no-such-program-wakeward"}).exitCode, 127);

    QProcess runner;
    app.startCommand(runner, {"run", "sleep", "60"});
    const QString hold = holdPrefix + QStringLiteral("Manual \u2022 sleep");
    ASSERT_TRUE(eventually([&] { return app.hasIdleLock(hold); }));
    runner.kill();
    runner.waitForFinished();
    EXPECT_TRUE(eventually([&] { return !app.hasIdleLock(hold); }));
    EXPECT_TRUE(
        eventually([&] { return lastReason() == "Manual \u2022 sleep \u2022 Command ended"; }));
}

// Without a desktop service the hold is a logind idle lock; SIGTERM ends it as a quit does,
// headless and with the main window open.
class TerminationTest : public EndToEndTest, public ::testing::WithParamInterface<bool> {};

TEST_P(TerminationTest, EndsTheSessionAndRecordsIt) {
    if (GetParam()) {
        app.setEnvironment(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        app.setEnvironment(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wakeward-test"));
    }
    ASSERT_TRUE(app.launch({}, !GetParam()));
    // Only an instance with windows loads the windowing libraries.
    EXPECT_EQ(maps(app.instance()->processId(), "libQt6Gui"), GetParam());
    ASSERT_EQ(app.run({"start"}).exitCode, 0);
    const QString reason = status();
    EXPECT_TRUE(eventually([&] { return app.hasIdleLock(holdPrefix + reason); }));

    QProcess& instance = *app.instance();
    ::kill(static_cast<pid_t>(instance.processId()), SIGTERM);
    ASSERT_TRUE(instance.waitForFinished(15000));
    EXPECT_EQ(instance.exitCode(), 0);
    EXPECT_TRUE(eventually([&] { return !app.hasIdleLock(holdPrefix + reason); }));
    EXPECT_EQ(lastReason(), reason.toStdString() + " \u2022 App quit");
    const auto active = activeSession();
    EXPECT_TRUE(active && !*active) << "activeSession is a row that holds no start";
}
INSTANTIATE_TEST_SUITE_P(HeadlessAndWindowed, TerminationTest, ::testing::Bool());

// A killed instance leaves no lock behind, and the next start records the interruption once. A
// second instance hands over to the first and exits 0 without touching the database, even when
// it sees another runtime folder; the first keeps running and holding.
TEST_F(EndToEndTest, KilledDuringAHoldIsNoticedAtTheNextStart) {
    ASSERT_TRUE(app.launch());
    ASSERT_EQ(app.run({"start"}).exitCode, 0);
    app.instance()->kill();
    app.instance()->waitForFinished(10000);
    EXPECT_TRUE(eventually([&] { return !app.hasIdleLock(holdPrefix); }));
    ASSERT_TRUE(eventually([&] { return !app.instanceOnBus(); }));

    ASSERT_TRUE(app.launch());
    // The name is claimed before the controller opens the database, so the record may follow.
    EXPECT_TRUE(eventually([&] { return interruptions() == 1; }));
    ASSERT_EQ(app.run({"start"}).exitCode, 0);
    QTemporaryDir otherRuntime;
    for (const QString& runtime :
         {QString::fromStdString(app.home().string()), otherRuntime.path()}) {
        app.setEnvironment(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        EXPECT_EQ(app.run({"--headless"}).exitCode, 0);
    }
    EXPECT_EQ(app.instance()->state(), QProcess::Running);
    EXPECT_EQ(app.run({"status"}).exitCode, 0);
    EXPECT_EQ(interruptions(), 1);
    const auto active = activeSession();
    EXPECT_TRUE(active && *active) << "the first instance's hold is still on record";
}

// Without an instance: doctor reports what the desktop offers and creates nothing, stop and
// status say so and start none, and start launches one in the background that keeps running.
TEST_F(EndToEndTest, WithoutAnInstance) {
    const Outcome report = app.run({"doctor"});
    EXPECT_EQ(report.exitCode, 0) << report.err.toStdString();
    for (const char* line : {"logind idle lock (org.freedesktop.login1): present",
                             "A system hold would use: logind idle lock",
                             "A display hold would use: nothing", "not created yet"})
        EXPECT_TRUE(report.out.contains(QString::fromUtf8(line))) << line;
    EXPECT_FALSE(std::filesystem::exists(app.database())) << "doctor never creates the database";
    for (const char* verb : {"stop", "status"})
        EXPECT_EQ(app.run({verb}), (Outcome{3, "", "Wakeward is not running."})) << verb;
    EXPECT_FALSE(app.instanceOnBus());
    EXPECT_EQ(app.run({"--version"}).out, "wakeward 1.0.0");

    EXPECT_EQ(app.run({"start", "--minutes", "30"}), (Outcome{0, activeAnswer, ""}));
    ASSERT_TRUE(app.instanceOnBus());
    // It keeps no folder of the caller's busy.
    const std::string cwd = "/proc/" + std::to_string(app.instancePid()) + "/cwd";
    EXPECT_EQ(std::filesystem::read_symlink(cwd), "/");
    const QString hold = holdPrefix + status();
    EXPECT_TRUE(eventually([&] { return app.hasIdleLock(hold); }));

    app.setEnvironment("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    EXPECT_EQ(app.run({"doctor"}).exitCode, 1) << "no system hold could be taken";
}

} // namespace
} // namespace wakeward
