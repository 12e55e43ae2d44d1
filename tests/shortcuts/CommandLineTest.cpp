#include "shortcuts/CommandLine.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace wakeward;

namespace {

// Reads `line` split at its spaces, as the shell would pass it.
ParsedArguments parse(const std::string& line) {
    std::vector<std::string> arguments{"wakeward"};
    std::istringstream words(line);
    for (std::string word; words >> word;)
        arguments.push_back(word);
    return parseArguments(arguments);
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
    EXPECT_EQ(parsed.invocation->command, (std::vector<std::string>{"make", "-j4", "--minutes"}));
    EXPECT_EQ(parse("run rsync --help").invocation->command,
              (std::vector<std::string>{"rsync", "--help"}));
    parsed = parse("start --profile run");
    EXPECT_EQ(parsed.invocation->verb, start);
    EXPECT_EQ(parsed.invocation->profile, "run");
    parsed = parse("start --until 7:05");
    EXPECT_EQ(parsed.invocation->ending, Invocation::Ending::until);
    EXPECT_EQ(parsed.invocation->untilHour * 60 + parsed.invocation->untilMinute, 7 * 60 + 5);
}

// Help names the program even before an application object exists.
TEST(CommandLine, HelpAndVersionExitZero) {
    for (const auto& [line, start] : {std::pair{"--help", usageLine() + "\n"},
                                      std::pair{"--version", std::string("wakeward ")}}) {
        const auto parsed = parse(line);
        EXPECT_FALSE(parsed.invocation);
        EXPECT_EQ(parsed.exitCode, 0);
        EXPECT_TRUE(parsed.output.starts_with(start)) << parsed.output;
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
        EXPECT_NE(parsed.output.find("Usage: wakeward"), std::string::npos) << line;
    }
}

// Names reach the bus, which carries only UTF-8: what is not UTF-8 becomes U+FFFD, byte by byte.
TEST(CommandLine, TextForTheBus) {
    auto bad = [](int bytes) {
        std::string text;
        for (int i = 0; i < bytes; ++i)
            text += "\xEF\xBF\xBD";
        return text;
    };
    const std::pair<std::string, std::string> cases[] = {
        {"caf\xC3\xA9 \xE2\x80\xA2 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x80\xA2 \xF0\x9F\x98\x80"},
        {"a\xE9z", "a" + bad(1) + "z"}, // Latin-1
        {"\xC0\xAF", bad(2)},           // overlong
        {"\xED\xA0\x80", bad(3)},       // surrogate
        {"\xF4\x90\x80\x80", bad(4)},   // past U+10FFFF
        {"x\xE2\x82", "x" + bad(2)},    // cut short
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(wellFormedText(bytes), text) << bytes;
}
