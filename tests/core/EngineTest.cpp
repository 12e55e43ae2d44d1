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
    EXPECT_EQ(Engine::readNumber("80"), 80);
    EXPECT_EQ(Engine::readNumber("+1.5"), 1.5);
    EXPECT_EQ(Engine::readNumber("-2"), -2);
    EXPECT_EQ(Engine::readNumber(".5"), 0.5);
    EXPECT_EQ(Engine::readNumber("5."), 5);
    EXPECT_EQ(Engine::readNumber("1e2"), 100);
    EXPECT_EQ(Engine::readNumber("0x1p4"), 16);
    EXPECT_EQ(Engine::readNumber("0X1A"), 26);
    EXPECT_TRUE(std::isinf(*Engine::readNumber("inf")));
    EXPECT_TRUE(std::isnan(*Engine::readNumber("nan")));
    EXPECT_TRUE(std::isinf(*Engine::readNumber("1e999")));

    for (const char* bad : {"", " 5", "5 ", "\t5", "5\n", "1,5", "1,000", "1 000", ".", "+", "-",
                            "+-1", "0x", "5%", "e5", "1e", "abc", "0x-1"})
        EXPECT_EQ(Engine::readNumber(bad), std::nullopt) << '"' << bad << '"';
    EXPECT_EQ(Engine::readNumber(std::string_view("5\0"
                                                  "1",
                                                  3)),
              std::nullopt);
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
    EXPECT_TRUE(rule.valid());
    rule.name = "\u3000\t"; // blanks as Text::trimBlanks reads them
    EXPECT_FALSE(rule.valid());
    rule.name = "ok";
    rule.conditions.clear();
    EXPECT_FALSE(rule.valid());
    // A fresh rule is named and has its one mains-power condition.
    EXPECT_TRUE(Rule().valid());
}

// Percentages go up to 100 and traffic has no upper bound, all as finite C-notation numbers;
// text values need more than blanks; mains power and display need nothing.
TEST(RuleValid, ConditionValues) {
    const std::tuple<SignalKind, const char*, bool> cases[] = {
        {SignalKind::cpu, "100", true},         {SignalKind::cpu, "100.5", false},
        {SignalKind::battery, "100", true},     {SignalKind::battery, "100.5", false},
        {SignalKind::traffic, "5000", true},    {SignalKind::traffic, "1e9", true},
        {SignalKind::traffic, "inf", false},    {SignalKind::traffic, "nan", false},
        {SignalKind::battery, "-1", false},     {SignalKind::battery, "-0", true},
        {SignalKind::battery, "", false},       {SignalKind::battery, "40 ", false},
        {SignalKind::battery, "4,5", false},    {SignalKind::battery, "0x32", true},
        {SignalKind::runningApp, "   ", false}, {SignalKind::runningApp, "  vlc  ", true},
        {SignalKind::usb, "", false},           {SignalKind::display, "leftover", true},
        {SignalKind::ac, "   ", true},
    };
    for (const auto& [kind, value, valid] : cases)
        EXPECT_EQ(ruleWith({Condition(kind, value)}).valid(), valid) << title(kind) << " " << value;
}

TEST(ConditionTest, ExactIdentifierKinds) {
    Snapshot snapshot;
    EXPECT_EQ(check(SignalKind::runningApp, "vlc", snapshot).outcome, Engine::Outcome::notMet);
    snapshot.running = {"vlc", "rsync"};
    snapshot.frontmost = "firefox-esr";
    snapshot.volumes = {"1234-ABCD"};
    EXPECT_EQ(check(SignalKind::runningApp, "vlc", snapshot).outcome, Engine::Outcome::met);
    EXPECT_EQ(check(SignalKind::runningApp, "VLC", snapshot).outcome, Engine::Outcome::notMet);
    EXPECT_EQ(check(SignalKind::runningApp, "vlc ", snapshot).outcome, Engine::Outcome::notMet);
    EXPECT_EQ(check(SignalKind::frontmostApp, "firefox-esr", snapshot).outcome,
              Engine::Outcome::met);
    EXPECT_EQ(check(SignalKind::frontmostApp, "firefox", snapshot).outcome,
              Engine::Outcome::notMet);
    EXPECT_EQ(check(SignalKind::volume, "1234-ABCD", snapshot).outcome, Engine::Outcome::met);
    EXPECT_EQ(check(SignalKind::volume, "1234-abcd", snapshot).outcome, Engine::Outcome::notMet);
}

TEST(ConditionTest, PowerAndDisplay) {
    Snapshot snapshot;
    auto ac = check(SignalKind::ac, "", snapshot);
    EXPECT_EQ(ac.outcome, Engine::Outcome::unknown);
    EXPECT_EQ(ac.trace, "On mains power \u2014 unknown");
    snapshot.ac = false;
    EXPECT_EQ(check(SignalKind::ac, "", snapshot).outcome, Engine::Outcome::notMet);
    snapshot.ac = true;
    EXPECT_EQ(check(SignalKind::ac, "ignored", snapshot).outcome, Engine::Outcome::met);

    EXPECT_EQ(check(SignalKind::battery, "40", snapshot).outcome, Engine::Outcome::unknown);
    snapshot.battery = 40;
    EXPECT_EQ(check(SignalKind::battery, "40", snapshot).outcome, Engine::Outcome::met);
    snapshot.battery = 39.99;
    EXPECT_EQ(check(SignalKind::battery, "40", snapshot).outcome, Engine::Outcome::notMet);
    // The active-rule allowance never applies to the battery.
    EXPECT_EQ(check(SignalKind::battery, "40", snapshot, true).outcome, Engine::Outcome::notMet);

    auto display = check(SignalKind::display, "HDMI", snapshot);
    EXPECT_EQ(display.outcome, Engine::Outcome::notMet);
    EXPECT_EQ(display.trace, "External display connected: HDMI \u2014 not matched");
    snapshot.externalDisplay = true;
    EXPECT_EQ(check(SignalKind::display, "", snapshot).outcome, Engine::Outcome::met);
}

TEST(ConditionTest, CpuAndTrafficAllowancesForTheActiveRule) {
    Snapshot snapshot;
    auto unknown = check(SignalKind::cpu, "80", snapshot, true);
    EXPECT_EQ(unknown.outcome, Engine::Outcome::unknown);
    EXPECT_EQ(unknown.trace, "CPU above percent: 80 \u2014 unknown");

    snapshot.cpu = 0;
    EXPECT_EQ(check(SignalKind::cpu, "3", snapshot, true).outcome, Engine::Outcome::met);
    EXPECT_EQ(check(SignalKind::cpu, "3", snapshot, false).outcome, Engine::Outcome::notMet);
    snapshot.cpu = 75;
    EXPECT_EQ(check(SignalKind::cpu, "80", snapshot, true).outcome, Engine::Outcome::met);
    EXPECT_EQ(check(SignalKind::cpu, "80", snapshot, false).outcome, Engine::Outcome::notMet);
    snapshot.cpu = 80;
    EXPECT_EQ(check(SignalKind::cpu, "80", snapshot).trace, "CPU above percent: 80 \u2014 matched");

    snapshot.traffic = 80;
    EXPECT_EQ(check(SignalKind::traffic, "100", snapshot, true).outcome, Engine::Outcome::met);
    EXPECT_EQ(check(SignalKind::traffic, "100", snapshot, false).outcome, Engine::Outcome::notMet);
    snapshot.traffic = 79.9;
    EXPECT_EQ(check(SignalKind::traffic, "100", snapshot, true).outcome, Engine::Outcome::notMet);
    snapshot.traffic = 100;
    EXPECT_EQ(check(SignalKind::traffic, "100", snapshot, false).outcome, Engine::Outcome::met);
    snapshot.traffic = 0;
    EXPECT_EQ(check(SignalKind::traffic, "0", snapshot, false).outcome, Engine::Outcome::met);
}

TEST(ConditionTest, DeviceNamesIgnoreCase) {
    Snapshot snapshot;
    EXPECT_EQ(check(SignalKind::usb, "drive", snapshot).outcome, Engine::Outcome::notMet);
    snapshot.usb = {"USB Receiver", "Ultra Fit DRIVE"};
    EXPECT_EQ(check(SignalKind::usb, "drive", snapshot).outcome, Engine::Outcome::met);
    EXPECT_EQ(check(SignalKind::usb, "fit drive", snapshot).outcome, Engine::Outcome::met);
    EXPECT_EQ(check(SignalKind::usb, "drive ", snapshot).outcome, Engine::Outcome::notMet);
    EXPECT_EQ(check(SignalKind::usb, "Ultra Fit ", snapshot).outcome, Engine::Outcome::met);

    EXPECT_EQ(check(SignalKind::audio, "hdmi", snapshot).outcome, Engine::Outcome::unknown);
    snapshot.audio = "Built-in Audio Analog Stereo";
    EXPECT_EQ(check(SignalKind::audio, "analog", snapshot).outcome, Engine::Outcome::met);
    EXPECT_EQ(check(SignalKind::audio, "hdmi", snapshot).trace,
              "Audio output name: hdmi \u2014 not matched");
}

TEST(EngineTest, AllAndAnyCombineEveryCondition) {
    Snapshot snapshot;
    snapshot.running = {"rsync"};
    // With "all", an unknown reading is enough to fail the rule.
    Rule rule = ruleWith({Condition(SignalKind::ac, "")});
    EXPECT_FALSE(Engine::test(rule, snapshot, false).matches);

    rule = ruleWith({Condition(SignalKind::ac, ""), Condition(SignalKind::runningApp, "rsync")},
                    MatchMode::any);
    Evaluation evaluation = Engine::test(rule, snapshot, false);
    EXPECT_TRUE(evaluation.matches);
    EXPECT_EQ(evaluation.trace,
              (std::vector<std::string>{"On mains power \u2014 unknown",
                                        "Application running: rsync \u2014 matched"}));

    rule.mode = MatchMode::all;
    EXPECT_FALSE(Engine::test(rule, snapshot, false).matches);
    snapshot.ac = true;
    evaluation = Engine::test(rule, snapshot, false);
    EXPECT_TRUE(evaluation.matches);
    EXPECT_EQ(evaluation.trace.size(), 2u);

    // No early stop: every condition leaves its line even after a failure.
    rule.conditions.insert(rule.conditions.begin(), Condition(SignalKind::volume, "X"));
    evaluation = Engine::test(rule, snapshot, false);
    EXPECT_FALSE(evaluation.matches);
    EXPECT_EQ(evaluation.trace.size(), 3u);

    rule = ruleWith({Condition(SignalKind::volume, "X"), Condition(SignalKind::cpu, "50")},
                    MatchMode::any);
    EXPECT_FALSE(Engine::test(rule, snapshot, false).matches);
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
