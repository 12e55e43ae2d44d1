// Holds idle sleep through the buses of the environment and waits to be killed.
#include "platform/Assertions.h"
#include "platform/LinuxPowerBackend.h"

#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    wakeward::Assertions holder(std::make_unique<wakeward::LinuxPowerBackend>());
    if (const auto error = holder.apply(true, false, "Wakeward \u2022 Helper")) {
        std::printf("failed %s\n", error->description.c_str());
        return 1;
    }
    std::printf("held %s\n", holder.systemHolder().c_str());
    std::fflush(stdout);
    for (;;)
        ::pause();
}
