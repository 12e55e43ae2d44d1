#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <wakeward/Engine.h>

using namespace wakeward;

namespace {

Engine::ConditionResult check(SignalKind kind, std::string value, const Snapshot& snapshot,
                              bool active = false) {
    return Engine::testCondition(Condition(kind, std::move(value)), snapshot, active);
}

Rule ruleWith(std::vector<Condition> conditions, MatchMode mode = MatchMode::all) {
    Rule rule;
    rule.name = "Test rule";
    rule.mode = mode;
    rule.conditions = std::move(conditions);
    return rule;
}

} // namespace

TEST(ReadNumber, AcceptsCNotationOnly) {
    const std::pair<const char*, double> good[] = {
        {"80", 80},   {"+1.5", 1.5}, {"-2", -2},   {".5", 0.5},       {"5.", 5},
        {"1e2", 100}, {"0x1p4", 16}, {"0X1A", 26}, {"inf", HUGE_VAL}, {"1e999", HUGE_VAL}};
    for (const auto& [text, number] : good)
        EXPECT_EQ(Engine::readNumber(text), number) << text;
    EXPECT_TRUE(std::isnan(*Engine::readNumber("nan")));

    // Empty text, blanks around the number, a comma and a NUL are checked by the fuzz replay.
    for (const char* bad : {"\t5", "5\n", "1,000", "1 000", ".", "+", "-", "+-1", "0x", "5%", "e5",
                            "1e", "abc", "0x-1"})
        EXPECT_EQ(Engine::readNumber(bad), std::nullopt) << '"' << bad << '"';
}

TEST(ReadNumber, IgnoresTheProcessNumericLocale) {
    // Build a German locale in a scratch folder so the check does not depend on the machine.
    const auto dir = std::filesystem::temp_directory_path() / "wakeward-locale-test";
    std::filesystem::create_directories(dir);
    const std::string command =
        "localedef -i de_DE -f UTF-8 " + (dir / "de_DE.UTF-8").string() + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        GTEST_SKIP() << "localedef cannot build de_DE here";
    setenv("LOCPATH", dir.c_str(), 1);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    EXPECT_EQ(Engine::readNumber("1.5"), 1.5);
    EXPECT_EQ(Engine::readNumber("1,5"), std::nullopt);
    std::setlocale(LC_NUMERIC, "C");
    unsetenv("LOCPATH");
    std::filesystem::remove_all(dir);
}

TEST(RuleValid, NamesAndConditionLists) {
    Rule rule = ruleWith({Condition(SignalKind::ac, "")});
    rule.name = "\u3000\t"; // blanks as Text::trimBlanks reads them
    EXPECT_FALSE(rule.valid());
    rule.name = "ok";
    rule.conditions.clear();
    EXPECT_FALSE(rule.valid());
    // A fresh rule is named and has its one mains-power condition.
    EXPECT_TRUE(Rule().valid());
}

// Percentages go up to 100 and traffic has no upper bound, all as finite C-notation numbers (the
// fuzz replay covers infinite, blank, spaced and comma thresholds); text values need more than
// blanks; mains power and display need nothing.
TEST(RuleValid, ConditionValues) {
    const std::tuple<SignalKind, const char*, bool> cases[] = {
        {SignalKind::cpu, "100", true},      {SignalKind::cpu, "100.5", false},
        {SignalKind::battery, "100", true},  {SignalKind::battery, "100.5", false},
        {SignalKind::traffic, "5000", true}, {SignalKind::traffic, "1e9", true},
        {SignalKind::battery, "-1", false},  {SignalKind::battery, "-0", true},
        {SignalKind::battery, "0x32", true}, {SignalKind::runningApp, "   ", false},
        {SignalKind::usb, "", false},        {SignalKind::runningApp, "  vlc  ", true},
        {SignalKind::ac, "   ", true},       {SignalKind::display, "leftover", true},
    };
    for (const auto& [kind, value, valid] : cases)
        EXPECT_EQ(ruleWith({Condition(kind, value)}).valid(), valid) << title(kind) << " " << value;
}

// Programs and volumes match their names exactly, devices and audio outputs by any part in any
// case; with nothing known, mains power and audio are unknown and the rest not met.
TEST(ConditionTest, NamesAndStates) {
    using enum SignalKind;
    using enum Engine::Outcome;
    Snapshot full;
    full.running = {"vlc", "rsync"};
    full.frontmost = "firefox-esr";
    full.volumes = {"1234-ABCD"};
    full.usb = {"USB Receiver", "Ultra Fit DRIVE"};
    full.audio = "Built-in Audio Analog Stereo";
    full.ac = true;
    full.externalDisplay = true;
    // The outcome on `full`, then on an empty snapshot.
    const std::tuple<SignalKind, const char*, Engine::Outcome, Engine::Outcome> cases[] = {
        {runningApp, "vlc", met, notMet},
        {runningApp, "VLC", notMet, notMet},
        {runningApp, "vlc ", notMet, notMet},
        {frontmostApp, "firefox-esr", met, notMet},
        {frontmostApp, "firefox", notMet, notMet},
        {volume, "1234-ABCD", met, notMet},
        {volume, "1234-abcd", notMet, notMet},
        {usb, "drive", met, notMet},
        {usb, "fit drive", met, notMet},
        {usb, "drive ", notMet, notMet},
        {usb, "Ultra Fit ", met, notMet},
        {audio, "analog", met, unknown},
        {audio, "hdmi", notMet, unknown},
        {ac, "ignored", met, unknown},
        {display, "", met, notMet},
    };
    for (const auto& [kind, value, onFull, onEmpty] : cases) {
        EXPECT_EQ(check(kind, value, full).outcome, onFull) << title(kind) << ' ' << value;
        EXPECT_EQ(check(kind, value, Snapshot()).outcome, onEmpty) << title(kind) << ' ' << value;
    }
    full.ac = false;
    EXPECT_EQ(check(ac, "", full).outcome, notMet);
}

// The rule in force keeps a CPU hold until the load is 5 points below its threshold and a
// traffic hold until traffic is below 80% of it; the battery has no such allowance.
TEST(ConditionTest, Readings) {
    using enum SignalKind;
    using enum Engine::Outcome;
    // The outcome for a rule that is not in force, then for the rule in force.
    const std::tuple<SignalKind, const char*, std::optional<double>, Engine::Outcome,
                     Engine::Outcome>
        cases[] = {
            {battery, "40", {}, unknown, unknown},
            {battery, "40", 40, met, met},
            {battery, "40", 39.99, notMet, notMet},
            {cpu, "80", {}, unknown, unknown},
            {cpu, "80", 80, met, met},
            {cpu, "80", 75, notMet, met},
            {cpu, "80", 74.9, notMet, notMet},
            {cpu, "3", 0, notMet, met},
            {traffic, "100", 100, met, met},
            {traffic, "100", 80, notMet, met},
            {traffic, "100", 79.9, notMet, notMet},
            {traffic, "0", 0, met, met},
        };
    for (const auto& [kind, value, reading, idle, inForce] : cases) {
        Snapshot snapshot;
        (kind == battery ? snapshot.battery
         : kind == cpu   ? snapshot.cpu
                         : snapshot.traffic) = reading;
        for (const bool active : {false, true})
            EXPECT_EQ(check(kind, value, snapshot, active).outcome, active ? inForce : idle)
                << title(kind) << ' ' << value << ' ' << reading.value_or(-1) << ' ' << active;
    }
}

// "All" needs every condition met and "any" one of them; an unknown reading is not met, and
// every condition leaves its line even after a failure.
TEST(EngineTest, AllAndAnyCombineEveryCondition) {
    using enum MatchMode;
    Snapshot snapshot;
    snapshot.running = {"rsync"};
    const Condition ac(SignalKind::ac, "");
    const Condition rsync(SignalKind::runningApp, "rsync");
    const Condition missing(SignalKind::volume, "X");
    const std::tuple<MatchMode, std::vector<Condition>, bool> cases[] = {
        {all, {ac}, false},          {any, {ac, rsync}, true},      {all, {ac, rsync}, false},
        {any, {missing, ac}, false}, {any, {rsync, missing}, true},
    };
    for (const auto& [mode, conditions, matches] : cases)
        EXPECT_EQ(Engine::test(ruleWith(conditions, mode), snapshot, false).matches, matches)
            << (mode == all ? "all of " : "any of ") << conditions.size();

    const Evaluation evaluation = Engine::test(ruleWith({missing, ac, rsync}), snapshot, false);
    EXPECT_FALSE(evaluation.matches);
    EXPECT_EQ(evaluation.trace,
              (std::vector<std::string>{"Mounted volume: X \u2014 not matched",
                                        "On mains power \u2014 unknown",
                                        "Application running: rsync \u2014 matched"}));
    snapshot.ac = true;
    EXPECT_TRUE(Engine::test(ruleWith({ac, rsync}), snapshot, false).matches);
}

TEST(EngineSafe, Table) {
    EXPECT_FALSE(Engine::safe(false, 100, 20, true));
    EXPECT_FALSE(Engine::safe(std::nullopt, 100, 20, true));
    EXPECT_TRUE(Engine::safe(true, std::nullopt, 20, true));
    EXPECT_FALSE(Engine::safe(false, 50, 50, false));
    EXPECT_TRUE(Engine::safe(false, 50.1, 50, false));
    EXPECT_TRUE(Engine::safe(true, 1, 50, false));
    EXPECT_TRUE(Engine::safe(std::nullopt, 80, 50, false));
    EXPECT_FALSE(Engine::safe(std::nullopt, std::nullopt, 50, false));
    EXPECT_FALSE(Engine::safe(false, std::nullopt, 0, false));
}
