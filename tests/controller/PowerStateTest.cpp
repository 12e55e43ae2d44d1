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
    model->refresh();
    ASSERT_TRUE(model->active());
    const auto started = model->started();
    rig.time->advance(15);
    model->refresh();
    EXPECT_EQ(activeSpy.count(), 1) << "views hear of a change, not of every pass";
    EXPECT_EQ(startedSpy.count(), 1);
    EXPECT_EQ(model->started(), started);
    EXPECT_EQ(rig.creations(), 1);
    const auto starts = records(*model, "Started");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].reason, "Rule: Plugged in");
    EXPECT_EQ(starts[0].battery, "80% battery");
    EXPECT_EQ(starts[0].duration, 0);
    EXPECT_EQ(rig.power->calls.back(),
              "create PreventUserIdleSystemSleep Wakeward \u2022 Rule: Plugged in -> 101");

    // A hold its service dropped is taken again at the next pass, still as the same hold.
    rig.power->lost.insert(101);
    model->refresh();
    EXPECT_EQ(rig.creations(), 2);
    EXPECT_EQ(model->started(), started);
    EXPECT_EQ(records(*model, "Started").size(), 1u);
    EXPECT_EQ(rig.events->ticks, 4) << "every pass lets the observers retry what failed";

    rig.time->advance(75);
    Rules rules = model->rules();
    rules[0].enabled = false;
    model->setRules(rules);
    model->refresh();
    EXPECT_EQ(model->reason(), "Schedule: Office");
    EXPECT_TRUE(model->active());
    const auto ended = records(*model, "Ended");
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].reason, "Rule: Plugged in \u2022 Schedule: Office");
    EXPECT_DOUBLE_EQ(ended[0].duration, 90);
    EXPECT_EQ(lastReason(*model, "Started"), "Schedule: Office");
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

    EXPECT_FALSE(model->active());
    EXPECT_FALSE(model->displayActive());
    EXPECT_FALSE(model->started());
    EXPECT_EQ(model->reason(), "Session unavailable");
    EXPECT_EQ(model->message(),
              "The system could not hold the display awake. The session was stopped.");
    EXPECT_TRUE(records(*model, "Ended").empty());
    EXPECT_EQ(rig.power->calls.back(), "release 102");
    model.reset();
    EXPECT_TRUE(records(*rig.make(), "Interrupted").empty());
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
    EXPECT_FALSE(model->manual());
    EXPECT_FALSE(model->deadline());
    EXPECT_EQ(model->reason(), "Session unavailable");
    EXPECT_EQ(model->message(),
              "The system could not create the idle-sleep assertion (-2147483648). No "
              "active session is claimed.");
    EXPECT_TRUE(model->history().empty());
    EXPECT_TRUE(rig.notes->posted.empty());
    EXPECT_FALSE(model->automationPaused()) << "the next tick may try again";
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
