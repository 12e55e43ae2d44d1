#include "shortcuts/CommandLine.h"

#include <gtest/gtest.h>

using namespace wakeward;

namespace {

ParsedArguments parse(std::initializer_list<const char*> words) {
    QStringList arguments{QStringLiteral("wakeward")};
    for (const char* word : words)
        arguments << QString::fromUtf8(word);
    return parseArguments(arguments);
}

void expectUsageError(std::initializer_list<const char*> words) {
    const auto parsed = parse(words);
    EXPECT_FALSE(parsed.invocation.has_value());
    EXPECT_EQ(parsed.exitCode, 2);
    EXPECT_TRUE(parsed.output.contains(QStringLiteral("Usage: wakeward")))
        << parsed.output.toStdString();
}

} // namespace

TEST(CommandLine, VerbsAndOptions) {
    auto parsed = parse({});
    ASSERT_TRUE(parsed.invocation);
    EXPECT_EQ(parsed.invocation->verb, Invocation::Verb::launch);
    EXPECT_FALSE(parsed.invocation->background);

    parsed = parse({"--background"});
    EXPECT_TRUE(parsed.invocation->background);
    parsed = parse({"--headless"});
    EXPECT_TRUE(parsed.invocation->headless);

    parsed = parse({"start"});
    EXPECT_EQ(parsed.invocation->verb, Invocation::Verb::start);
    EXPECT_EQ(parsed.invocation->minutes, 60);
    parsed = parse({"start", "--minutes", "90"});
    EXPECT_EQ(parsed.invocation->minutes, 90);
    parsed = parse({"--minutes=15", "start"});
    EXPECT_EQ(parsed.invocation->minutes, 15);
    // Out-of-range lengths are the instance's to refuse, with its own message.
    parsed = parse({"start", "--minutes", "0"});
    EXPECT_EQ(parsed.invocation->minutes, 0);
    parsed = parse({"start", "--minutes", "-5"});
    EXPECT_EQ(parsed.invocation->minutes, -5);

    EXPECT_EQ(parse({"stop"}).invocation->verb, Invocation::Verb::stop);
    EXPECT_EQ(parse({"status"}).invocation->verb, Invocation::Verb::status);

    // run keeps the command's own words, options included, away from ours.
    parsed = parse({"run", "--display", "--", "make", "-j4", "--minutes"});
    EXPECT_EQ(parsed.invocation->verb, Invocation::Verb::run);
    EXPECT_TRUE(parsed.invocation->display);
    EXPECT_EQ(parsed.invocation->command, (QStringList{"make", "-j4", "--minutes"}));
    EXPECT_EQ(parse({"run", "rsync", "--help"}).invocation->command, (QStringList{"rsync", "--help"}));
    parsed = parse({"start", "--profile", "run"});
    EXPECT_EQ(parsed.invocation->verb, Invocation::Verb::start);
    EXPECT_EQ(parsed.invocation->profile, QStringLiteral("run"));
    parsed = parse({"start", "--until", "7:05"});
    EXPECT_EQ(parsed.invocation->ending, Invocation::Ending::until);
    EXPECT_EQ(parsed.invocation->untilHour * 60 + parsed.invocation->untilMinute, 7 * 60 + 5);

    // Help names the program even before an application object exists.
    parsed = parse({"--help"});
    EXPECT_FALSE(parsed.invocation);
    EXPECT_EQ(parsed.exitCode, 0);
    EXPECT_TRUE(parsed.output.startsWith(usageLine() + QLatin1Char('\n')))
        << parsed.output.toStdString();
}

TEST(CommandLine, BadArgumentsExitTwoWithUsage) {
    expectUsageError({"start", "--minutes", "abc"});
    expectUsageError({"start", "--minutes", "1.5"});
    expectUsageError({"start", "--minutes"});
    expectUsageError({"restart"});
    expectUsageError({"stop", "now"});
    expectUsageError({"--frobnicate"});
    expectUsageError({"status", "--minutes", "5"});
    expectUsageError({"start", "--until", "24:00"});
    expectUsageError({"start", "--until", "7"});
    expectUsageError({"start", "--until-stopped", "--while-running", "vlc"});
    expectUsageError({"status", "--display"});
    expectUsageError({"run", "--display"});
    expectUsageError({"doctor", "--json"});
    expectUsageError({"stop", "--headless"});
}

TEST(CommandLine, VersionExitsZero) {
    const auto parsed = parse({"--version"});
    EXPECT_FALSE(parsed.invocation);
    EXPECT_EQ(parsed.exitCode, 0);
    EXPECT_TRUE(parsed.output.startsWith(QStringLiteral("wakeward ")));
}
