#include "ModelRig.h"

#include <QSignalSpy>

using namespace wakeward;
using namespace wakeward::test;

using PowerState = ModelTest;

// Holding on with the same reason is one hold: one creation, one "Started", the same start, even
// when its service dropped it. A new reason ends that hold and starts the next.
TEST_F(PowerState, OneHoldPerReason) {
    rig.source->snapshot.battery = 79.6;
    QSignalSpy activeSpy(model.get(), &Model::activeChanged);
    QSignalSpy startedSpy(model.get(), &Model::startedChanged);
    model->setRules({mainsRule("Plugged in")});
    model->setSchedules({scheduleAround(rig.time->now, "Office")});
    const int synced = LogSyncs::count();
    model->refresh();
    ASSERT_TRUE(model->active());
    EXPECT_EQ(LogSyncs::count(), synced) << "on the disk once the event at hand is done";
    QCoreApplication::processEvents();
    EXPECT_EQ(LogSyncs::count(), synced + 1);
    const auto started = model->started();
    rig.time->advance(15);
    model->refresh();
    EXPECT_EQ(activeSpy.count(), 1) << "views hear of a change, not of every pass";
    EXPECT_EQ(startedSpy.count(), 1);
    EXPECT_EQ(model->started(), started);
    EXPECT_EQ(rig.power->calls,
              std::vector<std::string>{"create PreventUserIdleSystemSleep "
                                       "Wakeward \u2022 Rule: Plugged in -> 101"});
    EXPECT_EQ(recorded(*model, "Started"), "Rule: Plugged in (0 s)");
    EXPECT_EQ(model->history()[0].battery, "80% battery");

    // A hold its service dropped is taken again at the next pass, still as the same hold.
    rig.power->lost.insert(101);
    model->refresh();
    EXPECT_EQ(rig.creations(), 2);
    EXPECT_EQ(model->started(), started);
    EXPECT_EQ(recorded(*model, "Started"), "Rule: Plugged in (0 s)");
    EXPECT_EQ(rig.events->ticks, 4) << "every pass lets the observers retry what failed";

    rig.time->advance(75);
    Rules rules = model->rules();
    rules[0].enabled = false;
    model->setRules(rules);
    model->refresh();
    EXPECT_EQ(sessionState(*model), "Schedule: Office | held | started");
    EXPECT_EQ(recorded(*model, "Ended"), "Rule: Plugged in \u2022 Schedule: Office (90 s)");
    EXPECT_EQ(recorded(*model, "Started"), "Schedule: Office (0 s); Rule: Plugged in (0 s)");
    EXPECT_EQ(model->started(), rig.time->now);

    // The list takes in new records in the store's own order without reading it back: an end and
    // a start of one instant, and an end dated before them by a clock set back.
    const Instant all{-1e12};
    EXPECT_EQ(model->history(), *rig.store().history(all));
    rig.time->jump(-3600);
    model->setSchedules({});
    model->refresh();
    ASSERT_FALSE(model->active());
    EXPECT_EQ(model->history(), *rig.store().history(all));
}

// A refused display hold leaves nothing held and no record of the hold that was running;
// the store no longer claims a hold, so the next launch reports no interruption.
TEST_F(PowerState, RefusedDisplayHoldEndsInSessionUnavailable) {
    model->setRules({mainsRule("Plugged in")});
    model->refresh();
    ASSERT_TRUE(model->active());

    Rules rules = model->rules();
    rules[0].display = true;
    model->setRules(rules);
    rig.power->statuses = {0, -3};
    model->refresh();

    EXPECT_EQ(sessionState(*model), "Session unavailable | not held");
    EXPECT_EQ(model->message(),
              "The system could not hold the display awake. The session was stopped.");
    EXPECT_EQ(recorded(*model, "Ended"), "");
    EXPECT_EQ(rig.power->calls.back(), "release 102");
    model.reset();
    EXPECT_EQ(recorded(*rig.make(), "Interrupted"), "");
}

// A refused manual hold ends the session, and the start says so; it posts no "Session started"
// and watches no application.
TEST_F(PowerState, RefusedSystemHoldEndsTheManualSession) {
    rig.source->snapshot.running = {"rsync"};
    model->requestNotifications(true);
    rig.notes->pendingCheck(std::nullopt);
    rig.power->statuses = {-2147483647 - 1};
    model->setMode(SessionMode::application);
    model->setAppID("rsync");
    EXPECT_FALSE(model->start());

    EXPECT_FALSE(rig.events->watched);
    EXPECT_EQ(sessionState(*model), "Session unavailable | not held")
        << "not paused: the next tick may try again";
    EXPECT_EQ(model->message(),
              "The system could not create the idle-sleep assertion (-2147483648). No "
              "active session is claimed.");
    EXPECT_TRUE(model->history().empty());
    EXPECT_TRUE(rig.notes->posted.empty());
}

// Nothing is posted while notifications are off, and the switch is stored once the service
// answered.
TEST_F(PowerState, NotificationSwitch) {
    holdUntilStopped(*model);
    model->stopManual("Stopped by you");
    EXPECT_TRUE(rig.notes->posted.empty());

    for (const bool on : {true, false}) {
        model->requestNotifications(on);
        if (on)
            rig.notes->pendingCheck(std::nullopt);
        EXPECT_EQ(rig.store().load<bool>("notifications")->value(), on);
    }
}
