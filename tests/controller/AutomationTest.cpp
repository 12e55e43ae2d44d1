#include "ModelRig.h"

using namespace wakeward;
using namespace wakeward::test;

namespace {

// A rule whose identifier text begins with `prefix`, named after it.
Rule ranked(const std::string& prefix) {
    Rule rule = mainsRule(prefix);
    rule.id = *Uuid::parse(prefix + "000000-0000-4000-8000-000000000000");
    return rule;
}

using Automation = ModelTest;

} // namespace

// A rule counts once it has matched for its grace without a break; a break starts the count
// again, and a wall clock stepped forward or back neither ends nor stretches it.
TEST_F(Automation, GraceCountsUnbrokenMatching) {
    Rule rule = mainsRule("Plugged in");
    rule.grace = 30;
    model->setRules({rule});
    for (const double step : {3600.0, -3600.0}) {
        SCOPED_TRACE(step);
        model->refresh(); // first match, or the first after the break below
        rig.time->jump(step);
        rig.time->advance(15);
        model->refresh();
        EXPECT_FALSE(model->active());
        rig.time->advance(15);
        model->refresh();
        EXPECT_EQ(model->reason(), "Rule: Plugged in");

        rig.source->snapshot.ac = false;
        model->refresh();
        EXPECT_FALSE(model->active());
        rig.source->snapshot.ac = true;
    }
}

// Which rule or schedule holds: the highest priority, then the lower identifier text, whatever
// the list order; an allow rule beats any schedule; a rule blocked by the safeguard does not fall
// back to a schedule; a schedule that is off or fails its mains-only safeguard is passed over.
TEST_F(Automation, WinnerAmongRulesAndSchedules) {
    const Instant now = FakeClock::Time().now;
    const Schedule office = scheduleAround(now, "Office");
    const Schedule mainsOnly = scheduleAround(now, "Mains only", true);
    Schedule off = scheduleAround(now, "Off");
    off.enabled = false;
    Rule onBattery = mainsRule("On battery");
    onBattery.conditions = {Condition(SignalKind::battery, "5")};
    struct Row {
        std::optional<double> battery; // on battery at this level, or on mains when unset
        Rules rules;
        Schedules schedules;
        const char* reason;
        bool active;
    };
    const Row rows[] = {
        {{}, {mainsRule("Five", 5), mainsRule("Ten", 10)}, {}, "Rule: Ten", true},
        {{}, {ranked("F0"), ranked("0A"), ranked("B0")}, {}, "Rule: 0A", true},
        {{}, {mainsRule("Talk", 1, RuleAction::allow)}, {office}, "Rule allows sleep: Talk", false},
        {10, {onBattery}, {office}, "Battery safeguard blocked automation", false},
        {80, {}, {off, mainsOnly, scheduleAround(now, "Anywhere")}, "Schedule: Anywhere", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason);
        ModelRig fresh;
        fresh.source->snapshot.ac = !row.battery;
        fresh.source->snapshot.battery = row.battery;
        auto controller = fresh.make();
        controller->setRules(row.rules);
        controller->setSchedules(row.schedules);
        controller->refresh();
        EXPECT_EQ(controller->reason(), row.reason);
        EXPECT_EQ(controller->active(), row.active);
    }
}

// Costly readings are taken only for enabled rules that need them, or when asked for. The rule in
// force keeps its lowered CPU threshold (50 - 5); others need the full number.
TEST_F(Automation, CpuRule) {
    Rule busy = mainsRule("Busy");
    busy.conditions = {Condition(SignalKind::cpu, "50")};
    busy.enabled = false;
    model->setRules({busy});
    model->refresh();
    EXPECT_EQ(rig.source->expensiveReads, 0);
    model->refreshSignals(true);
    EXPECT_EQ(rig.source->expensiveReads, 1);

    busy.enabled = true;
    model->setRules({busy});
    const std::pair<double, const char*> steps[] = {{60, "Rule: Busy"},
                                                    {46, "Rule: Busy"},
                                                    {44, "Idle sleep is allowed"},
                                                    {46, "Idle sleep is allowed"}};
    for (const auto& [cpu, reason] : steps) {
        rig.source->snapshot.cpu = cpu;
        model->refresh();
        EXPECT_EQ(model->reason(), reason) << cpu;
    }
    EXPECT_EQ(rig.source->expensiveReads, 5);
}

// Stopping with nothing held touches nothing. Paused automation releases; a manual session
// neither evaluates rules nor disturbs their grace, while ending all forgets it.
TEST_F(Automation, PausedAndManualPhases) {
    model->stopManual("Stopped by you");
    EXPECT_TRUE(rig.power->calls.empty());
    EXPECT_EQ(model->reason(), "Idle sleep is allowed");

    Rule rule = mainsRule("Plugged in");
    rule.grace = 30;
    model->setRules({rule});
    model->refresh(); // grace count begins
    model->setAutomationPaused(true);
    model->refresh();
    EXPECT_EQ(model->reason(), "Automation paused \u2022 idle sleep allowed");

    holdUntilStopped(*model); // resumes automation
    rig.time->advance(40);
    model->refresh();
    EXPECT_EQ(model->reason(), "Manual \u2022 Until stopped");
    model->stopManual("Stopped by you");
    model->refresh();
    EXPECT_EQ(model->reason(), "Rule: Plugged in") << "grace was counted from the first match";

    model->endAll("Stopped by you");
    EXPECT_EQ(model->reason(), "Stopped by you");
    model->setAutomationPaused(false);
    rig.time->advance(15);
    model->refresh();
    EXPECT_FALSE(model->active()) << "the count began again";
    rig.time->advance(30);
    model->refresh();
    EXPECT_TRUE(model->active());
}
