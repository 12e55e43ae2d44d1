#include "Instance.h"
#include "SharedModel.h"
#include "shortcuts/Doctor.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

using namespace wakeward;

// Wakeward without windows, and the desktop report; started by `wakeward`.
int main(int argc, char* argv[]) {
    nameApplication();
    const ParsedArguments parsed = parseArguments(argc, argv);
    const auto verb = parsed.invocation ? parsed.invocation->verb : Invocation::Verb::start;
    if (verb == Invocation::Verb::doctor) {
        QCoreApplication application(argc, argv);
        QTextStream out(stdout);
        return runDoctor(defaultStorePath(), out);
    }
    if (verb != Invocation::Verb::launch) {
        std::fputs("Start Wakeward as wakeward.\n", stderr);
        return 2;
    }
    return runInstance(argc, argv, *parsed.invocation, Desktop{});
}
