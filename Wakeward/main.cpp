#include "Instance.h"
#include "SharedModel.h"
#include "shortcuts/CommandLine.h"
#include "shortcuts/Doctor.h"
#include "shortcuts/RemoteClient.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

using namespace wakeward;

namespace {

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// The desktop program: beside this one in a build, in libexec when installed.
std::filesystem::path desktopProgram() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    for (const auto& candidate : {self / "wakeward-desktop", self / ".." / "libexec" / "wakeward" / "wakeward-desktop"})
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    return {};
}

} // namespace

// The command line and the headless instance. Neither needs the windowing toolkit, so this
// program does not load it: with a display, it hands over to the desktop program.
int main(int argc, char* argv[]) {
    nameApplication();
    const ParsedArguments parsed = parseArguments(argc, argv);
    if (!parsed.invocation) {
        std::fputs(parsed.output.toLocal8Bit().constData(), parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }
    const Invocation& invocation = *parsed.invocation;

    if (invocation.verb != Invocation::Verb::launch) {
        QCoreApplication client(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        if (invocation.verb == Invocation::Verb::doctor)
            return runDoctor(defaultStorePath(), out);
        return runRemote(invocation, QCoreApplication::applicationFilePath(), out, err);
    }

    if (!invocation.headless && hasDisplay()) {
        const auto desktop = desktopProgram();
        if (!desktop.empty()) {
            ::execv(desktop.c_str(), argv);
            std::fprintf(stderr, "Wakeward could not start its windows (%s): %s\n", desktop.c_str(),
                         std::strerror(errno));
        }
        std::fputs("Wakeward's windows are not installed, so it runs headless.\n", stderr);
    }
    return runInstance(argc, argv, invocation, Desktop{});
}
