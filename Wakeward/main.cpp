#include "shortcuts/CommandLine.h"
#include "shortcuts/RemoteClient.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

using namespace wakeward;

namespace {

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value)
            return true;
    return false;
}

std::filesystem::path self() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

// A program of Wakeward's own: beside this one in a build, in libexec when installed.
std::filesystem::path sibling(const char* name) {
    const auto folder = self().parent_path();
    for (const auto& candidate : {folder / name, folder / ".." / "libexec" / "wakeward" / name})
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    return {};
}

// Replaces this process with `name`, same arguments; returns only when that failed.
void handTo(const char* name, char* argv[]) {
    const auto program = sibling(name);
    if (program.empty()) {
        std::fprintf(stderr, "Wakeward's program %s is not installed.\n", name);
        return;
    }
    ::execv(program.c_str(), argv);
    std::fprintf(stderr, "Wakeward could not start %s: %s\n", program.c_str(),
                 std::strerror(errno));
}

} // namespace

// The command line. It links no toolkit, so a one-line answer costs little more than the bus
// round trip; the instance and the report are programs of their own, started by exec.
int main(int argc, char* argv[]) {
    const ParsedArguments parsed = parseArguments(argc, argv);
    if (!parsed.invocation) {
        std::fputs(parsed.output.c_str(), parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }
    const Invocation& invocation = *parsed.invocation;
    switch (invocation.verb) {
    case Invocation::Verb::launch:
        if (!invocation.headless && hasDisplay()) {
            handTo("wakeward-desktop", argv);
            std::fputs("Wakeward's windows could not be started, so it runs headless.\n", stderr);
        }
        handTo("wakeward-headless", argv);
        return 1;
    case Invocation::Verb::doctor:
        handTo("wakeward-headless", argv);
        return 1;
    default:
        return runRemote(invocation, self().string());
    }
}
