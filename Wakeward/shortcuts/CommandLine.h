#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <utility>

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
    QString application;
    QString profile;
    bool display = false;
    bool mainsOnly = false;
    bool json = false;
    bool watch = false;
    // The program and its arguments for `run`.
    QStringList command;
    bool background = false;
    bool headless = false;
};

// The outcome of reading the arguments: an invocation, or text to print and an exit code
// (help and version exit 0; bad arguments exit 2 with a usage line).
struct ParsedArguments {
    std::optional<Invocation> invocation;
    QString output;
    int exitCode = 0;
};

// Reads `arguments` (argv, program name first).
ParsedArguments parseArguments(const QStringList& arguments);
// The same, from main's arguments in the locale's encoding.
ParsedArguments parseArguments(int argc, char** argv);

// The hour and minute of "HH:MM" (00:00 to 23:59, the hour may have one digit); none otherwise.
std::optional<std::pair<int, int>> readClockTime(const QString& text);

// The usage text, one line a command.
QString usageLine();

} // namespace wakeward
