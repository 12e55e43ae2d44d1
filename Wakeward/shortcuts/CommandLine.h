#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace wakeward {

// What the user asked for on the command line.
struct Invocation {
    enum class Verb { run, start, stop, status };
    Verb verb = Verb::run;
    std::int64_t minutes = 60;
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

// The one-line usage text.
QString usageLine();

} // namespace wakeward
