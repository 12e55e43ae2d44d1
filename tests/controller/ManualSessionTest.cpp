#include "ModelRig.h"

#include <QTest>
#include <QTimer>
#include <cmath>
#include <limits>
#include <tuple>

using namespace wakeward;
using namespace wakeward::test;

namespace {

const char* const kDurationMessage = "Choose a duration between 1 and 1,440 minutes.";

using ManualSession = ModelTest;

} // namespace

// Durations from 1 to 1440 minutes start; other lengths, or an application that is not running,
// are refused while the running session goes on: the answer is about this start.
TEST_F(ManualSession, RefusedStartsLeaveTheSessionAlone) {
    for (double minutes : {1.0, 1440.0}) {
        model->setMinutes(minutes);
        EXPECT_TRUE(model->start()) << minutes;
    }
    // The whole state a refused start must leave alone.
    auto session = [&] {
        return std::tuple(sessionState(*model), model->deadline(), model->history().size());
    };
    const auto before = session();
    auto expectRefused = [&](const char* message) {
        model->setMessage(std::nullopt);
        EXPECT_FALSE(model->start());
        EXPECT_EQ(model->message(), message);
        EXPECT_EQ(session(), before);
    };
    for (double minutes : {0.5, 1440.5, std::numeric_limits<double>::infinity(), std::nan("")}) {
        SCOPED_TRACE(minutes);
        model->setMinutes(minutes);
        expectRefused(kDurationMessage);
    }
    model->setMode(SessionMode::application);
    for (const char* app : {"vlc", ""}) {
        SCOPED_TRACE(app);
        model->setAppID(app);
        expectRefused("Choose an application that is currently running.");
    }
}

// The safeguard refuses a profile before anything is copied into the form, and shows the
// threshold as a whole number; a profile it lets through is copied before it is checked, so the
// form shows what was refused.
TEST_F(ManualSession, RefusedProfiles) {
    rig.source->snapshot.ac = false;
    rig.source->snapshot.battery = 100;
    model->setThreshold(20.9);
    model->start(Profile("Render", 180, false, true));
    EXPECT_EQ(model->message(),
              "Session not started. Connect mains power, or charge above the 20% safety "
              "threshold. Power information must be available.");
    EXPECT_EQ(model->minutes(), 60) << "the form is unchanged";
    EXPECT_FALSE(model->acOnly());
    rig.source->snapshot = Snapshot();
    EXPECT_FALSE(model->start()) << "unknown power information refuses as well";

    rig.source->snapshot.ac = true;
    model->setMode(SessionMode::indefinite);
    model->start(Profile("Too long", 2000, true, false));
    EXPECT_EQ(model->message(), kDurationMessage);
    EXPECT_EQ(std::tuple(model->mode(), model->minutes(), model->keepDisplay(), model->manual()),
              std::tuple(SessionMode::duration, 2000.0, true, false));
}

// Mode "Until a time" one minute before now ends almost a day later, by the expiry timer set for
// that moment rather than at a later tick.
TEST_F(ManualSession, UntilATimeArmsTheExpiryTimer) {
    model->setMode(SessionMode::until);
    model->setClock(rig.time->now - 60);
    model->start();
    const double ahead = 86400 - 60;
    EXPECT_EQ(model->deadline(), rig.time->now + ahead);

    auto* expiry = model->findChild<QTimer*>("expiryTimer");
    ASSERT_NE(expiry, nullptr);
    EXPECT_NEAR(expiry->remainingTime(), ahead * 1000, 60000) << "set for the deadline";

    rig.time->advance(ahead);
    expiry->setInterval(0); // its moment has come, without waiting a day for it
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model->manual(); }, 10000));
    EXPECT_EQ(recorded(*model, "Ended"),
              "Manual \u2022 Until a time \u2022 Session time reached (86340 s)");
}

// A duration session is measured on the monotonic clock, whatever the wall clock does.
TEST_F(ManualSession, DurationEndsByTheMonotonicClock) {
    model->setMinutes(10);
    model->start();

    rig.time->jump(2 * 3600);
    rig.time->uptime += 120;
    model->refresh();
    EXPECT_TRUE(model->manual()) << "a wall-clock jump does not end it";
    EXPECT_EQ(model->deadline(), rig.time->now + 480) << "the shown end follows the wall clock";

    rig.time->jump(-5 * 3600);
    rig.time->uptime += 479;
    model->refresh();
    EXPECT_TRUE(model->manual()) << "an early expiry leaves it to the next tick";

    rig.time->uptime += 1;
    model->refresh();
    EXPECT_EQ(sessionState(*model), "Idle sleep is allowed | not held");
    EXPECT_EQ(recorded(*model, "Ended"),
              "Manual \u2022 For a duration \u2022 Session time reached (600 s)")
        << "the length of the hold ignores the clock jumps";
}

// Starting over a running session ends the old one first; falling below the safeguard ends the
// session at the next tick.
TEST_F(ManualSession, ReplacementAndSafeguard) {
    holdUntilStopped(*model);
    rig.time->advance(30);
    model->start(Profile("Download", 60));
    EXPECT_EQ(recorded(*model, "Started"),
              "Profile: Download (0 s); Manual \u2022 Until stopped (0 s)");

    rig.time->advance(15);
    rig.source->snapshot.ac = false;
    rig.source->snapshot.battery = 15;
    model->refresh();
    EXPECT_EQ(sessionState(*model), "Idle sleep is allowed | not held");
    EXPECT_EQ(
        recorded(*model, "Ended"),
        "Profile: Download \u2022 Battery or mains-power safeguard (15 s); Manual \u2022 Until "
        "stopped \u2022 Replaced by a new session (30 s)");
}

// An application session ends as soon as its application quits, and automation takes over in the
// same pass.
TEST_F(ManualSession, ApplicationSessionEndsWhenTheAppQuits) {
    rig.source->snapshot.running = {"rsync", "bash"};
    model->setRules({mainsRule("Plugged in")});
    model->setMode(SessionMode::application);
    model->setAppID("rsync");
    model->start();
    ASSERT_TRUE(model->manual());
    EXPECT_EQ(rig.events->watched, "rsync");

    rig.source->snapshot.running = {"bash"};
    rig.events->handlers.changed();
    EXPECT_FALSE(rig.events->watched);
    EXPECT_EQ(recorded(*model, "Ended"),
              "Manual \u2022 While an app runs \u2022 Selected application closed (0 s)");
    EXPECT_EQ(sessionState(*model), "Rule: Plugged in | held | started");
}
