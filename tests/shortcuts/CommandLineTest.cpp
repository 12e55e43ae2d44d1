#include "shortcuts/CommandLine.h"

#include <gtest/gtest.h>

using namespace wakeward;

namespace {

// Reads `line` split at its spaces, as the shell would pass it.
ParsedArguments parse(const char* line) {
    return parseArguments(QStringList{QStringLiteral("wakeward")} +
                          QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts));
}

} // namespace

// Out-of-range lengths are the instance's to refuse, with its own message.
TEST(CommandLine, VerbsAndOptions) {
    using enum Invocation::Verb;
    const std::tuple<const char*, Invocation::Verb, int> verbs[] = {
        {"", launch, 60},
        {"start", start, 60},
        {"stop", stop, 60},
        {"status", status, 60},
        {"start --minutes 90", start, 90},
        {"--minutes=15 start", start, 15},
        {"start --minutes 0", start, 0},
        {"start --minutes -5", start, -5},
    };
    for (const auto& [line, verb, minutes] : verbs) {
        const auto parsed = parse(line);
        ASSERT_TRUE(parsed.invocation) << line;
        EXPECT_EQ(parsed.invocation->verb, verb) << line;
        EXPECT_EQ(parsed.invocation->minutes, minutes) << line;
        EXPECT_FALSE(parsed.invocation->background || parsed.invocation->headless) << line;
    }
    EXPECT_TRUE(parse("--background").invocation->background);
    EXPECT_TRUE(parse("--headless").invocation->headless);

    // run keeps the command's own words, options included, away from ours.
    auto parsed = parse("run --display -- make -j4 --minutes");
    EXPECT_EQ(parsed.invocation->verb, run);
    EXPECT_TRUE(parsed.invocation->display);
    EXPECT_EQ(parsed.invocation->command, (QStringList{"make", "-j4", "--minutes"}));
    EXPECT_EQ(parse("run rsync --help").invocation->command, (QStringList{"rsync", "--help"}));
    parsed = parse("start --profile run");
    EXPECT_EQ(parsed.invocation->verb, start);
    EXPECT_EQ(parsed.invocation->profile, QStringLiteral("run"));
    parsed = parse("start --until 7:05");
    EXPECT_EQ(parsed.invocation->ending, Invocation::Ending::until);
    EXPECT_EQ(parsed.invocation->untilHour * 60 + parsed.invocation->untilMinute, 7 * 60 + 5);
}

// Help names the program even before an application object exists.
TEST(CommandLine, HelpAndVersionExitZero) {
    for (const auto& [line, start] : {std::pair{"--help", usageLine() + QLatin1Char('\n')},
                                      std::pair{"--version", QStringLiteral("wakeward ")}}) {
        const auto parsed = parse(line);
        EXPECT_FALSE(parsed.invocation);
        EXPECT_EQ(parsed.exitCode, 0);
        EXPECT_TRUE(parsed.output.startsWith(start)) << parsed.output.toStdString();
    }
}

TEST(CommandLine, BadArgumentsExitTwoWithUsage) {
    for (const char* line :
         {"start --minutes abc", "start --minutes 1.5", "start --minutes", "restart", "stop now",
          "--frobnicate", "status --minutes 5", "start --until 24:00", "start --until 7",
          "start --until-stopped --while-running vlc", "status --display", "run --display",
          "doctor --json", "stop --headless"}) {
        const auto parsed = parse(line);
        EXPECT_FALSE(parsed.invocation.has_value()) << line;
        EXPECT_EQ(parsed.exitCode, 2) << line;
        EXPECT_TRUE(parsed.output.contains(QStringLiteral("Usage: wakeward"))) << line;
    }
}
