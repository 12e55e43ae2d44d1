#include "AppRig.h"

#include <algorithm>
#include <csignal>
#include <fstream>
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
const QString refusedAnswer = QStringLiteral("Session could not start. Check the app for details.");
const QString holdPrefix = QStringLiteral("Wakeward \u2022 ");

// Whether the process has Qt's GUI or widget library mapped.
bool mapsWindowing(qint64 pid) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.find("libQt6Gui") != std::string::npos || line.find("libQt6Widgets") != std::string::npos)
            return true;
    return false;
}

// The real binary as a user runs it, headless, holding through logind's idle lock.
class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(app.ok()) << "could not start the private buses and mocks"; }

    std::optional<HistoryEvent> latest() const {
        auto store = Store::open(app.database());
        if (!store.ok())
            return std::nullopt;
        auto history = store->history(Instant{});
        if (!history.ok() || history->empty())
            return std::nullopt;
        return history->front();
    }

    AppRig app{false};
};

// start holds through the desktop service under the reason's name; status and stop answer.
TEST(EndToEnd, StartStatusStopThroughTheDesktopService) {
    AppRig app;
    ASSERT_TRUE(app.ok());
    app.launch();
    ASSERT_TRUE(app.waitForInstance());

    Outcome started = app.run({QStringLiteral("start")});
    EXPECT_EQ(started.exitCode, 0) << started.err.toStdString();
    EXPECT_EQ(started.out, activeAnswer);
    const auto inhibits = app.desktopServiceCalls(QStringLiteral("Inhibit"));
    ASSERT_EQ(inhibits.size(), 1u);
    const QString holdName = inhibits[0].value(1).toString();
    EXPECT_TRUE(holdName.startsWith(holdPrefix)) << holdName.toStdString();

    Outcome status = app.run({QStringLiteral("status")});
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_EQ(holdPrefix + status.out, holdName);

    Outcome stopped = app.run({QStringLiteral("stop")});
    EXPECT_EQ(stopped.exitCode, 0);
    EXPECT_EQ(stopped.out, QStringLiteral("Wakeward assertions released. Automation is paused."));
    EXPECT_EQ(app.desktopServiceCalls(QStringLiteral("UnInhibit")).size(), 1u);
}

// A refused start exits 1 and explains itself on standard error, also while another session
// holds; bad arguments exit 2.
TEST_F(EndToEndTest, RefusedStartAndBadArguments) {
    app.launch();
    ASSERT_TRUE(app.waitForInstance());
    for (const char* minutes : {"0", "2000"}) {
        Outcome refused = app.run({QStringLiteral("start"), QStringLiteral("--minutes"), QString::fromLatin1(minutes)});
        EXPECT_EQ(refused.exitCode, 1) << minutes;
        EXPECT_EQ(refused.out, refusedAnswer) << minutes;
        EXPECT_EQ(refused.err, QStringLiteral("Choose a duration between 1 and 1,440 minutes.")) << minutes;
        // The first round runs with nothing held, the second while a session holds.
        ASSERT_EQ(app.run({QStringLiteral("start")}).exitCode, 0);
    }
    EXPECT_EQ(app.property(QStringLiteral("Active")).toBool(), true) << "the running session goes on";

    Outcome bad = app.run({QStringLiteral("start"), QStringLiteral("--minutes"), QStringLiteral("abc")});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("Usage: wakeward")));
    EXPECT_EQ(app.run({QStringLiteral("sleep")}).exitCode, 2);
}

// A name stored with control characters never reaches the terminal raw.
TEST_F(EndToEndTest, StatusPrintsNoControlCharacters) {
    Rule rule;
    rule.name = "Lab \x1b]0;owned\x07 build\xc2\x9b";
    rule.enabled = true;
    rule.grace = 0;
    std::filesystem::create_directories(app.storeFolder());
    auto opened = Store::open(app.database());
    ASSERT_TRUE(opened.ok());
    Store store = std::move(opened).value();
    ASSERT_TRUE(store.save(std::vector<Rule>{rule}, "rules").ok());
    app.launch();
    ASSERT_TRUE(app.waitForInstance());
    EXPECT_TRUE(eventually([&] { return app.property(QStringLiteral("Active")).toBool(); }));
    const Outcome status = app.run({QStringLiteral("status")});
    EXPECT_EQ(status.out, QStringLiteral("Rule: Lab \ufffd]0;owned\ufffd build\ufffd"));
}

// Every manual mode from the command line, with the same answers and exit codes as a plain
// start; input the instance cannot take is a usage error.
TEST_F(EndToEndTest, StartModesAndTheirRefusals) {
    app.launch();
    ASSERT_TRUE(app.waitForInstance());
    struct Row {
        QStringList arguments;
        int exitCode;
        QString reasonOrError;
    };
    const Row rows[] = {
        {{"--until-stopped"}, 0, "Manual \u2022 Until stopped"},
        {{"--until", "23:59", "--mains-only"}, 0, "Manual \u2022 Until a time"},
        {{"--while-running", "dbus-daemon"}, 0, "Manual \u2022 While an app runs"},
        {{"--profile", "bACKUP"}, 0, "Profile: Backup"},
        {{"--minutes", "5"}, 0, "Manual \u2022 For a duration"},
        // No service here can hold the display.
        {{"--minutes", "5", "--display"}, 1, "The system could not hold the display awake. The session was stopped."},
        {{"--while-running", "no-such-program"}, 1, "Choose an application that is currently running."},
        {{"--profile", "Nope"}, 2, "There is no profile \"Nope\". Profiles: Download, File transfer, Backup, "
                                   "Presentation, Render, External drive."},
        {{"--until", "25:00"}, 2, "--until needs a time from 00:00 to 23:59, not \"25:00\"."},
        {{"--minutes", "5", "--until", "10:00"}, 2, "Choose one of --minutes, --until, --while-running and --until-stopped."},
        {{"--profile", "Backup", "--display"}, 2, "A profile brings its own length and settings; give --profile alone."},
    };
    for (const Row& row : rows) {
        const Outcome started = app.run(QStringList{QStringLiteral("start")} + row.arguments);
        const std::string label = row.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(started.exitCode, row.exitCode) << label << ": " << started.err.toStdString();
        if (row.exitCode == 0) {
            EXPECT_EQ(started.out, activeAnswer) << label;
            EXPECT_EQ(app.property(QStringLiteral("Reason")).toString(), row.reasonOrError) << label;
        } else {
            EXPECT_TRUE(started.err.startsWith(row.reasonOrError)) << label << ": " << started.err.toStdString();
        }
    }
    EXPECT_EQ(app.run({QStringLiteral("run")}).exitCode, 2) << "run needs a command";
}

// status --json says everything a script needs; --watch prints again at every change.
TEST_F(EndToEndTest, StatusForScriptsAndStatusBars) {
    app.launch();
    ASSERT_TRUE(app.waitForInstance());
    QProcess watch;
    watch.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    app.startCommand(watch, {QStringLiteral("status"), QStringLiteral("--watch"), QStringLiteral("--json")});
    ASSERT_TRUE(eventually([&] { return watch.canReadLine(); }));
    EXPECT_FALSE(mapsWindowing(watch.processId())) << "the command line loads no windowing library";
    EXPECT_EQ(nlohmann::json::parse(watch.readLine().toStdString())["active"], false);

    ASSERT_EQ(app.run({QStringLiteral("start"), QStringLiteral("--minutes"), QStringLiteral("30")}).exitCode, 0);
    const auto state = nlohmann::json::parse(app.run({QStringLiteral("status"), QStringLiteral("--json")}).out.toStdString());
    EXPECT_EQ(state["active"], true);
    EXPECT_EQ(state["displayActive"], false);
    EXPECT_EQ(state["manual"], true);
    EXPECT_EQ(state["mode"], "For a duration");
    EXPECT_EQ(state["reason"], "Manual \u2022 For a duration");
    EXPECT_EQ(state["holder"], "logind idle lock");
    EXPECT_EQ(state["automationPaused"], false);
    EXPECT_TRUE(state["message"].is_null());
    ASSERT_TRUE(state["started"].is_string() && state["deadline"].is_string());
    EXPECT_EQ(state["deadline"].get<std::string>().size(), std::string("2026-12-06T21:00:00Z").size());

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
    ASSERT_EQ(app.run({QStringLiteral("stop")}).exitCode, 0);
    ASSERT_TRUE(watched("automationPaused"));
    watch.kill();
    watch.waitForFinished();
}

// run holds while the command runs, passes its output and exit status through, and its hold
// never outlives it, even when it is killed.
TEST_F(EndToEndTest, RunHoldsForTheCommand) {
    const Outcome echoed = app.run({QStringLiteral("run"), QStringLiteral("--"), QStringLiteral("sh"),
                                    QStringLiteral("-c"), QStringLiteral("echo out; echo err >&2; exit 7")});
    EXPECT_EQ(echoed.exitCode, 7);
    EXPECT_EQ(echoed.out, QStringLiteral("out"));
    EXPECT_EQ(echoed.err, QStringLiteral("err"));
    ASSERT_TRUE(app.instanceOnBus()) << "run started an instance";
    const auto ended = latest();
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->reason, "Manual \u2022 sh \u2022 Command finished");
    EXPECT_EQ(app.run({QStringLiteral("run"), QStringLiteral("no-such-program-wakeward")}).exitCode, 127);

    QProcess runner;
    app.startCommand(runner, {QStringLiteral("run"), QStringLiteral("sleep"), QStringLiteral("60")});
    const QString hold = holdPrefix + QStringLiteral("Manual \u2022 sleep");
    ASSERT_TRUE(eventually([&] { return app.hasIdleLock(hold); }));
    runner.kill();
    runner.waitForFinished();
    EXPECT_TRUE(eventually([&] { return !app.hasIdleLock(hold); }));
    EXPECT_TRUE(eventually([&] {
        const auto last = latest();
        return last && last->reason == "Manual \u2022 sleep \u2022 Command ended";
    }));
}

// doctor reports what the desktop offers, and whether a system hold can be taken.
TEST_F(EndToEndTest, DoctorReportsTheChain) {
    const Outcome report = app.run({QStringLiteral("doctor")});
    EXPECT_EQ(report.exitCode, 0) << report.err.toStdString();
    EXPECT_TRUE(report.out.contains(QStringLiteral("logind idle lock (org.freedesktop.login1): present")));
    EXPECT_TRUE(report.out.contains(QStringLiteral("A system hold would use: logind idle lock")));
    EXPECT_TRUE(report.out.contains(QStringLiteral("A display hold would use: nothing")));
    EXPECT_TRUE(report.out.contains(QStringLiteral("not created yet"))) << "doctor never creates the database";
    EXPECT_FALSE(std::filesystem::exists(app.database()));
    app.setEnvironment(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
    EXPECT_EQ(app.run({QStringLiteral("doctor")}).exitCode, 1);
}

// stop and status never start an instance.
TEST_F(EndToEndTest, VerbsWithoutAnInstance) {
    for (const char* verb : {"stop", "status"}) {
        Outcome result = app.run({QString::fromLatin1(verb)});
        EXPECT_EQ(result.exitCode, 3) << verb;
        EXPECT_EQ(result.err, QStringLiteral("Wakeward is not running."));
    }
    EXPECT_FALSE(app.instanceOnBus());
    const Outcome version = app.run({QStringLiteral("--version")});
    EXPECT_EQ(version.out, QStringLiteral("wakeward 1.0.0"));
    EXPECT_TRUE(app.run({QStringLiteral("--help")}).out.startsWith(QStringLiteral("Usage: wakeward ")));
}

// Without a desktop service the hold is a logind idle lock; SIGTERM ends it as a quit does,
// headless and with the main window open.
class TerminationTest : public EndToEndTest, public ::testing::WithParamInterface<bool> {};

TEST_P(TerminationTest, EndsTheSessionAndRecordsIt) {
    if (GetParam()) {
        app.setEnvironment(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        app.setEnvironment(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wakeward-test"));
    }
    app.launch({}, !GetParam());
    ASSERT_TRUE(app.waitForInstance());
    // Only an instance with windows loads the windowing libraries.
    EXPECT_EQ(mapsWindowing(app.instance()->processId()), GetParam());
    ASSERT_EQ(app.run({QStringLiteral("start")}).exitCode, 0);
    const QString hold = holdPrefix + app.run({QStringLiteral("status")}).out;
    EXPECT_TRUE(eventually([&] { return app.hasIdleLock(hold); }));

    QProcess& instance = *app.instance();
    ::kill(static_cast<pid_t>(instance.processId()), SIGTERM);
    ASSERT_TRUE(instance.waitForFinished(15000));
    EXPECT_EQ(instance.exitCode(), 0);
    EXPECT_TRUE(eventually([&] { return !app.hasIdleLock(hold); }));

    const auto ended = latest();
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->type, "Ended");
    EXPECT_TRUE(ended->reason.ends_with("App quit")) << ended->reason;
    auto store = Store::open(app.database());
    ASSERT_TRUE(store.ok()) << store.error().description;
    auto active = store->load<std::optional<Instant>>("activeSession");
    ASSERT_TRUE(active.ok());
    ASSERT_TRUE(active->has_value()) << "activeSession has no row";
    EXPECT_FALSE(active->value().has_value());
}
INSTANTIATE_TEST_SUITE_P(HeadlessAndWindowed, TerminationTest, ::testing::Bool());

// A portal whose backend fails hands the hold on to logind's idle lock: start still succeeds.
TEST_F(EndToEndTest, FailingPortalFallsBackToLogind) {
    ASSERT_TRUE(app.startPortal(2));
    app.launch();
    ASSERT_TRUE(app.waitForInstance());
    Outcome started = app.run({QStringLiteral("start")});
    EXPECT_EQ(started.exitCode, 0) << started.err.toStdString();
    EXPECT_EQ(started.out, activeAnswer);
    EXPECT_EQ(app.portalRequests(), 1u);
    const QString hold = holdPrefix + app.run({QStringLiteral("status")}).out;
    EXPECT_TRUE(eventually([&] { return app.hasIdleLock(hold); }));
}

// A killed instance leaves no lock behind, and the next start records the interruption.
TEST_F(EndToEndTest, KilledDuringAHoldIsNoticedAtTheNextStart) {
    app.launch();
    ASSERT_TRUE(app.waitForInstance());
    ASSERT_EQ(app.run({QStringLiteral("start")}).exitCode, 0);
    app.instance()->kill();
    app.instance()->waitForFinished(10000);
    EXPECT_TRUE(eventually([&] {
        for (const auto& inhibitor : app.logindInhibitors())
            if (inhibitor.why.starts_with("Wakeward") && inhibitor.what == "idle")
                return false;
        return true;
    }));
    ASSERT_TRUE(eventually([&] { return !app.instanceOnBus(); }));

    app.launch();
    ASSERT_TRUE(app.waitForInstance());
    // The name is claimed before the controller opens the database, so the record may follow.
    auto interrupted = [&] {
        auto store = Store::open(app.database());
        auto history = store.ok() ? store->history(Instant{}) : Result<std::vector<HistoryEvent>>(Error{"unopened"});
        return history.ok() ? std::count_if(history->begin(), history->end(),
                                            [](const HistoryEvent& event) { return event.type == "Interrupted"; })
                            : -1;
    };
    EXPECT_TRUE(eventually([&] { return interrupted() == 1; }));
    EXPECT_EQ(app.run({QStringLiteral("status")}).exitCode, 0);
    EXPECT_EQ(interrupted(), 1);
}

// start launches an instance in the background when none runs, and it keeps running.
TEST_F(EndToEndTest, StartLaunchesAnInstanceWhenNoneRuns) {
    Outcome started = app.run({QStringLiteral("start"), QStringLiteral("--minutes"), QStringLiteral("30")});
    EXPECT_EQ(started.exitCode, 0) << started.err.toStdString();
    EXPECT_EQ(started.out, activeAnswer);
    EXPECT_TRUE(app.instanceOnBus());
    // It keeps no folder of the caller's busy.
    const std::string cwd = "/proc/" + std::to_string(app.instancePid()) + "/cwd";
    EXPECT_EQ(std::filesystem::read_symlink(cwd), "/");
    Outcome status = app.run({QStringLiteral("status")});
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_TRUE(eventually([&] { return app.hasIdleLock(holdPrefix + status.out); }));
}

// A second instance hands over to the first and exits 0 without touching the database, even
// when it sees another runtime folder; the first keeps running and holding.
TEST_F(EndToEndTest, SecondInstanceExitsAndTheFirstStays) {
    app.launch();
    ASSERT_TRUE(app.waitForInstance());
    ASSERT_EQ(app.run({QStringLiteral("start")}).exitCode, 0);
    QTemporaryDir otherRuntime;
    for (const QString& runtime : {QString::fromStdString(app.home().string()), otherRuntime.path()}) {
        app.setEnvironment(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        Outcome second = app.run({QStringLiteral("--headless")});
        EXPECT_EQ(second.exitCode, 0);
    }
    EXPECT_EQ(app.instance()->state(), QProcess::Running);
    EXPECT_EQ(app.run({QStringLiteral("status")}).exitCode, 0);
    auto store = Store::open(app.database());
    ASSERT_TRUE(store.ok());
    auto history = store->history(Instant{});
    ASSERT_TRUE(history.ok());
    EXPECT_TRUE(std::none_of(history->begin(), history->end(),
                             [](const HistoryEvent& event) { return event.type == "Interrupted"; }));
    auto active = store->load<std::optional<Instant>>("activeSession");
    ASSERT_TRUE(active.ok() && active->has_value());
    EXPECT_TRUE(active->value().has_value()) << "the first instance's hold is still on record";
}

} // namespace
} // namespace wakeward
