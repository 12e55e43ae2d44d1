#include "ModelRig.h"

using namespace wakeward;
using namespace wakeward::test;

namespace {

Rule cpuRule(std::string name, std::string percent) {
    Rule rule = mainsRule(std::move(name));
    rule.conditions = {Condition(SignalKind::cpu, std::move(percent))};
    return rule;
}

Rule withId(Rule rule, const char* id) {
    rule.id = *Uuid::parse(id);
    return rule;
}

} // namespace

// A rule counts once it has matched for its grace without a break; a break starts the count again.
TEST(Automation, GraceCountsUnbrokenMatching) {
    ModelRig rig;
    auto model = rig.make();
    Rule rule = mainsRule("Plugged in");
    rule.grace = 30;
    model->setRules({rule});

    model->refresh(); // t = 0: first match
    rig.time->advance(15);
    model->refresh();
    EXPECT_FALSE(model->active());
    rig.time->advance(15);
    model->refresh(); // t = 30
    EXPECT_EQ(model->reason(), "Rule: Plugged in");

    rig.source->snapshot.ac = false;
    rig.source->snapshot.battery = 90;
    rig.time->advance(15);
    model->refresh(); // break
    EXPECT_FALSE(model->active());
    rig.source->snapshot.ac = true;
    rig.time->advance(15);
    model->refresh(); // matching again, count restarts here
    rig.time->advance(15);
    model->refresh();
    EXPECT_FALSE(model->active());
    rig.time->advance(15);
    model->refresh();
    EXPECT_TRUE(model->active());
}

// Grace is a length of time: a wall clock stepped forward or back neither ends nor stretches it.
TEST(Automation, GraceIgnoresClockSteps) {
    for (const double step : {3600.0, -3600.0}) {
        ModelRig rig;
        auto model = rig.make();
        Rule rule = mainsRule("Plugged in");
        rule.grace = 30;
        model->setRules({rule});
        model->refresh();
        rig.time->jump(step);
        model->refresh();
        EXPECT_FALSE(model->active()) << "step " << step;
        rig.time->advance(30);
        model->refresh();
        EXPECT_TRUE(model->active()) << "step " << step;
    }
}

// The highest priority wins; between equals the lower identifier text, whatever the list order.
TEST(Automation, PriorityThenIdentifier) {
    ModelRig rig;
    auto model = rig.make();
    model->setRules({mainsRule("Five", 5), mainsRule("Ten", 10)});
    model->refresh();
    EXPECT_EQ(model->reason(), "Rule: Ten");

    model->setRules({withId(mainsRule("Later"), "F0000000-0000-4000-8000-000000000000"),
                     withId(mainsRule("Earlier"), "0A000000-0000-4000-8000-000000000000"),
                     withId(mainsRule("Middle"), "B0000000-0000-4000-8000-000000000000")});
    model->refresh();
    EXPECT_EQ(model->reason(), "Rule: Earlier");
}

// A winning allow rule beats a schedule, however low its priority.
TEST(Automation, AllowRuleBeatsSchedule) {
    ModelRig rig;
    auto model = rig.make();
    model->setSchedules({scheduleAround(rig.time->now, "Office")});
    model->setRules({mainsRule("Presenting", 1, RuleAction::allow)});
    model->refresh();
    EXPECT_EQ(model->reason(), "Rule allows sleep: Presenting");
    EXPECT_FALSE(model->active());
}

// A safeguard-blocked awake rule releases and does not fall back to a schedule.
TEST(Automation, BlockedRuleDoesNotFallBackToSchedule) {
    ModelRig rig;
    rig.source->snapshot.ac = false;
    rig.source->snapshot.battery = 10;
    auto model = rig.make();
    Rule onBattery = mainsRule("On battery");
    onBattery.conditions = {Condition(SignalKind::battery, "5")};
    model->setRules({onBattery});
    model->setSchedules({scheduleAround(rig.time->now, "Office", false)});
    model->refresh();
    EXPECT_EQ(model->reason(), "Battery safeguard blocked automation");
    EXPECT_FALSE(model->active());
}

// A schedule that fails its own mains-only safeguard is passed over for a later one.
TEST(Automation, MainsOnlySchedulePassedOver) {
    ModelRig rig;
    rig.source->snapshot.ac = false;
    rig.source->snapshot.battery = 80;
    auto model = rig.make();
    Schedule disabled = scheduleAround(rig.time->now, "Disabled");
    disabled.enabled = false;
    model->setSchedules({disabled, scheduleAround(rig.time->now, "Mains only", true),
                         scheduleAround(rig.time->now, "Anywhere", false)});
    model->refresh();
    EXPECT_EQ(model->reason(), "Schedule: Anywhere");
    EXPECT_TRUE(model->active());
}

// The rule in force keeps its lowered CPU threshold; others need the full number.
TEST(Automation, ActiveRuleAllowance) {
    ModelRig rig;
    rig.source->snapshot.cpu = 60;
    auto model = rig.make();
    model->setRules({cpuRule("Busy", "50")});
    model->refresh();
    ASSERT_EQ(model->reason(), "Rule: Busy");

    rig.source->snapshot.cpu = 46;
    model->refresh();
    EXPECT_EQ(model->reason(), "Rule: Busy") << "50 - 5 still holds the winner";
    rig.source->snapshot.cpu = 44;
    model->refresh();
    EXPECT_EQ(model->reason(), "Idle sleep is allowed");
    rig.source->snapshot.cpu = 46;
    model->refresh();
    EXPECT_EQ(model->reason(), "Idle sleep is allowed")
        << "no allowance for a rule that did not win";
}

// Costly readings are taken only for enabled rules that need them.
TEST(Automation, ExpensiveReadingsOnlyWhenNeeded) {
    ModelRig rig;
    auto model = rig.make();
    Rule idleCpu = cpuRule("Busy", "50");
    idleCpu.enabled = false;
    model->setRules({idleCpu});
    model->refresh();
    EXPECT_EQ(rig.source->expensiveReads, 0);
    idleCpu.enabled = true;
    model->setRules({idleCpu});
    model->refresh();
    EXPECT_EQ(rig.source->expensiveReads, 1);
    model->refreshSignals(true);
    EXPECT_EQ(rig.source->expensiveReads, 2);
}

// Paused automation releases; a manual session neither evaluates rules nor disturbs their grace.
TEST(Automation, PausedAndManualPhases) {
    ModelRig rig;
    auto model = rig.make();
    Rule rule = mainsRule("Plugged in");
    rule.grace = 30;
    model->setRules({rule});
    model->refresh(); // grace count begins

    model->setAutomationPaused(true);
    model->refresh();
    EXPECT_EQ(model->reason(), "Automation paused \u2022 idle sleep allowed");

    model->setMode(SessionMode::indefinite);
    model->start(); // resumes automation
    rig.time->advance(40);
    model->refresh();
    EXPECT_EQ(model->reason(), "Manual \u2022 Until stopped");
    model->stopManual("Stopped by you");
    model->refresh();
    EXPECT_EQ(model->reason(), "Rule: Plugged in") << "grace was counted from the first match";
}
