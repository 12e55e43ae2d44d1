#include "App.h"
#include "Instance.h"

#include <QApplication>
#include <cstdio>

using namespace wakeward;

// Wakeward with its tray, panel and window; started by `wakeward` when there is a display.
int main(int argc, char* argv[]) {
    nameApplication();
    const ParsedArguments parsed = parseArguments(argc, argv);
    if (!parsed.invocation || parsed.invocation->verb != Invocation::Verb::launch) {
        std::fputs("Start Wakeward as wakeward.\n", stderr);
        return 2;
    }
    Desktop desktop;
    desktop.application = [](int& count, char** values) -> std::unique_ptr<QCoreApplication> {
        return std::make_unique<QApplication>(count, values);
    };
    desktop.shell = [](Model& model, bool background) -> std::unique_ptr<Shell> {
        return std::make_unique<App>(model, background);
    };
    return runInstance(argc, argv, *parsed.invocation, desktop);
}
