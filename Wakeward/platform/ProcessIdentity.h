#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>

// How a process is named: its executable's base name (Linux has no bundle identifiers).
namespace wakeward::process {

/// Reads up to cap bytes of a small file relative to an open folder; -1 when it cannot be read.
ssize_t readAt(int dirFd, const char* relative, char* buffer, std::size_t cap);

/// The last component of a path.
std::string baseName(std::string_view path);

/// The identifier of process `pid` under the open /proc folder `procFd`: the base name of its
/// executable, else of argv[0] (a command line rewritten into one string is cut at its first
/// space); empty for kernel threads and processes that are gone.
std::string identify(int procFd, int pid);

} // namespace wakeward::process
