#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The command line needs no toolkit: a one-line answer must not pay for loading one.
namespace wakeward {

// What the user asked for on the command line.
struct Invocation {
    enum class Verb { launch, start, stop, status, run, doctor };
    // How a started session ends; `duration` uses `minutes`.
    enum class Ending { duration, until, application, indefinite };

    Verb verb = Verb::launch;
    Ending ending = Ending::duration;
    std::int64_t minutes = 60;
    int untilHour = 0;
    int untilMinute = 0;
    std::string application;
    std::string profile;
    bool display = false;
    bool mainsOnly = false;
    bool json = false;
    bool watch = false;
    // The program and its arguments for `run`, as given (bytes, not necessarily UTF-8).
    std::vector<std::string> command;
    bool background = false;
    bool headless = false;
};

// The outcome of reading the arguments: an invocation, or text to print and an exit code
// (help and version exit 0; bad arguments exit 2 with a usage line).
struct ParsedArguments {
    std::optional<Invocation> invocation;
    std::string output;
    int exitCode = 0;
};

// Reads `arguments` (argv, program name first).
ParsedArguments parseArguments(const std::vector<std::string>& arguments);
ParsedArguments parseArguments(int argc, char** argv);

// The hour and minute of "HH:MM" (00:00 to 23:59, the hour may have one digit); none otherwise.
std::optional<std::pair<int, int>> readClockTime(std::string_view text);

// The usage text, one line a command.
std::string usageLine();

// `bytes` with every sequence that is not UTF-8 replaced by U+FFFD: the bus carries only text.
std::string wellFormedText(std::string_view bytes);

} // namespace wakeward
