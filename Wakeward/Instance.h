#pragma once

#include "Shell.h"
#include "shortcuts/CommandLine.h"

namespace wakeward {

// Runs Wakeward itself until it quits: the single-instance guards, the controller, the D-Bus
// service and, given a desktop, its shell. Returns the exit code.
int runInstance(int& argc, char** argv, const Invocation& invocation, const Desktop& desktop);

// Sets the names and version every Wakeward program reports.
void nameApplication();

} // namespace wakeward
