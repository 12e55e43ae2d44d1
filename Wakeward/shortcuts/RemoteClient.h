#pragma once

#include "shortcuts/CommandLine.h"

#include <string>

namespace wakeward {

inline constexpr const char* serviceName = "org.fenmarch.Wakeward";
inline constexpr const char* objectPath = "/org/fenmarch/Wakeward";
inline constexpr const char* interfaceName = "org.fenmarch.Wakeward";

// Runs a start, stop, status or run command against the running instance over the session bus,
// printing to the standard streams, and returns the exit code: 0 done, 1 a start that did not
// hold, 2 a request the instance refused as wrong, 3 no instance to talk to (run: the command's
// own status). `program` is the binary that `start` and `run` launch (in the background) when
// no instance runs.
int runRemote(const Invocation& invocation, const std::string& program);

} // namespace wakeward
