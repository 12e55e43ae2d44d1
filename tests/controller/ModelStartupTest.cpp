#include "ModelRig.h"

#include <QTest>
#include <QTimer>

using namespace wakeward;
using namespace wakeward::test;

using ModelStartup = ModelTest;

// A fresh installation starts from the documented defaults and runs its observers, one pass at
// once and then one at every beat of the tick timer.
TEST_F(ModelStartup, FirstLaunchHasTheDefaults) {
    EXPECT_EQ(model->threshold(), 20);
    EXPECT_EQ(model->clock(), rig.time->now + 3600);
    EXPECT_EQ(rig.source->reads, 1);
    EXPECT_TRUE(rig.events->started);

    model->setRules({mainsRule("Plugged in")});
    auto* timer = model->findChild<QTimer*>("tickTimer");
    ASSERT_NE(timer, nullptr);
    timer->setInterval(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return model->active(); }, 10000)) << "a beat decides anew";
}

// Saved settings come back as saved: an empty profile list is the user's choice. A shorter
// retention takes what it trims out of the list at once.
TEST_F(ModelStartup, SavedSettingsComeBackAsSaved) {
    ASSERT_TRUE(holdUntilStopped(*model));
    model->stopManual("Stopped by you");
    ASSERT_EQ(model->history().size(), 2u);
    rig.time->advance(10 * 86400);
    model->setProfiles({});
    model->setRetention(7);
    model->save();
    EXPECT_FALSE(model->message());
    EXPECT_TRUE(model->history().empty());
    model.reset();
    model = rig.make();
    EXPECT_TRUE(model->profiles().empty());
    EXPECT_EQ(model->retention(), 7);
}

// A process that died while holding leaves exactly one "Interrupted" record behind, as long as
// the hold lasted, or of no length when the clock was set back across the crash.
TEST_F(ModelStartup, CrashDuringHoldIsRecordedOnce) {
    for (const auto& [step, length] : {std::pair(125.0, "125"), std::pair(-3600.0, "0")}) {
        ModelRig fresh;
        // Destroyed without shutdown(), as a crash would leave it.
        ASSERT_TRUE(holdUntilStopped(*fresh.make()));
        fresh.time->jump(step);
        const std::string interrupted = "Previous session ended when the process exited. No "
                                        "manual assertion was restored. (" +
                                        std::string(length) + " s)";
        {
            auto restarted = fresh.make();
            ASSERT_EQ(recorded(*restarted, "Interrupted"), interrupted);
            const auto& history = restarted->history();
            EXPECT_EQ(std::ranges::find(history, "Interrupted", &HistoryEvent::type)->battery,
                      "Not recorded");
            EXPECT_FALSE(restarted->active());
        }
        EXPECT_EQ(recorded(*fresh.make(), "Interrupted"), interrupted) << "the marker was cleared";
    }
}

// An unreadable settings value is never replaced by defaults the user did not choose, and
// nothing else the user kept is lost through it: old history under a long retention, or the
// record of a hold the previous process left.
TEST_F(ModelStartup, UndecodableProfilesAreNotOverwritten) {
    model.reset();
    {
        auto store = rig.store();
        ASSERT_TRUE(store.save(std::string("not a list"), "profiles"));
        ASSERT_TRUE(store.save(std::vector<Rule>{mainsRule("Kept")}, "rules"));
        ASSERT_TRUE(store.save(std::int64_t{365}, "retention"));
        ASSERT_TRUE(store.append(
            HistoryEvent("Started", "Old", "Not recorded", 0, rig.time->now - 100 * 86400.0)));
        ASSERT_TRUE(store.save(std::optional<Instant>(rig.time->now - 600), "activeSession"));
    }
    model = rig.make();
    EXPECT_EQ(model->message(), "Local settings could not be read: The document must be an array, "
                                "not a string. Nothing has been overwritten.");
    EXPECT_EQ(model->profiles(), Profile::defaults());
    EXPECT_TRUE(model->rules().empty()) << "later keys are not read either";
    EXPECT_EQ(model->threshold(), 20);
    EXPECT_EQ(recorded(*model, "Interrupted"), "Previous session ended when the process exited. No "
                                               "manual assertion was restored. (600 s)")
        << "the crashed hold is still recorded";
    EXPECT_EQ(recorded(*model, "Started"), "Old (0 s)") << "not trimmed by the default retention";

    // Saving untouched defaults leaves both the bad value and the unread rules alone...
    model->setThreshold(25);
    model->save();
    {
        auto store = rig.store();
        EXPECT_EQ(store.load<std::string>("profiles")->value(), "not a list") << "kept as it was";
        EXPECT_EQ(store.load<Rules>("rules")->value()[0].name, "Kept");
        EXPECT_EQ(store.load<double>("threshold")->value(), 25) << "what the user changed is saved";
        EXPECT_EQ(store.history(Instant{})->size(), 2u) << "saving did not trim either";
    }
    // ...until the user sets that value.
    model->setProfiles({Profile("Mine")});
    model->save();
    EXPECT_EQ(rig.store().load<Profiles>("profiles")->value()[0].name, "Mine");
}

// Without a folder for the database the controller still works and says why nothing is kept.
// The battery text follows what is known of the power source (a known level: see
// OneHoldPerReason).
TEST_F(ModelStartup, RunsWithoutAStore) {
    model.reset();
    rig.storePath.reset();
    rig.source->snapshot = Snapshot();
    model = rig.make();
    ASSERT_TRUE(model->message());
    EXPECT_EQ(model->batteryText(), "Power source unknown");
    rig.source->snapshot.ac = true;
    EXPECT_TRUE(holdUntilStopped(*model));
    EXPECT_EQ(model->batteryText(), "Mains power \u2022 no battery reported");
    model->stopManual("Stopped by you");
    EXPECT_FALSE(model->active());
    EXPECT_TRUE(model->history().empty());
}

// Quitting ends the session with "App quit", stops the tick and saves the settings.
TEST_F(ModelStartup, ShutdownDuringSession) {
    model->start(Profile("Backup run", 30));
    ASSERT_TRUE(model->active());
    model->setThreshold(12);
    model->shutdown();

    EXPECT_EQ(recorded(*model, "Ended"), "Profile: Backup run \u2022 App quit (0 s)");
    EXPECT_FALSE(model->active());
    EXPECT_FALSE(model->findChild<QTimer*>("tickTimer")->isActive());
    EXPECT_EQ(rig.store().load<double>("threshold")->value(), 12);
}

// Going to sleep drops everything but leaves automation running for after the wake, when a rule
// can hold again at once. A service's answer or a desktop event that arrives after the controller
// is gone is dropped.
TEST_F(ModelStartup, SleepWakeAndLateEvents) {
    ASSERT_TRUE(holdUntilStopped(*model));
    rig.events->handlers.aboutToSleep();
    EXPECT_EQ(sessionState(*model), "Computer entered sleep | not held");
    EXPECT_EQ(recorded(*model, "Ended"),
              "Manual \u2022 Until stopped \u2022 Computer entered sleep (0 s)");
    model->setRules({mainsRule("Plugged in")});
    rig.events->handlers.changed();
    EXPECT_EQ(model->reason(), "Rule: Plugged in");

    model->requestNotifications(true);
    model.reset();
    const int reads = rig.source->reads;
    rig.notes->pendingCheck(std::nullopt);
    rig.events->handlers.changed();
    rig.events->handlers.aboutToSleep();
    EXPECT_EQ(rig.source->reads, reads) << "no pass ran on the gone controller";
}
