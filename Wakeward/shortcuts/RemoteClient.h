#pragma once

#include "shortcuts/CommandLine.h"

#include <QString>
#include <QTextStream>

namespace wakeward {

inline constexpr const char* serviceName = "org.fenmarch.Wakeward";
inline constexpr const char* objectPath = "/org/fenmarch/Wakeward";
inline constexpr const char* interfaceName = "org.fenmarch.Wakeward";

// Runs a start, stop or status command against the running instance over the session bus
// and returns the exit code: 0 done, 1 a start that did not hold, 3 no instance to talk to.
// `program` is the binary that `start` launches (in the background) when no instance runs.
int runRemote(const Invocation& invocation, const QString& program, QTextStream& out, QTextStream& err);

// Asks a running instance to show its main window; false when none answers.
bool activateRunningInstance();

} // namespace wakeward
