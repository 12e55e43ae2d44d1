#include "ui/FenmarchGuidance.h"

namespace wakeward {

std::vector<FenmarchGuideStep> fenmarch::wakewardTourSteps() {
    return {
        {QStringLiteral("Choose your session"),
         QStringLiteral("Start a timed session or select a profile. The default allows the display "
                        "to sleep and ends at a safe battery threshold.")},
        {QStringLiteral("Check the reason"),
         QStringLiteral(
             "The menu bar shows whether Wakeward is holding idle sleep. Sleep Inspector "
             "explains its assertions and any other reports the system makes available.")},
        {QStringLiteral("Make it your own"),
         QStringLiteral("Save profiles, test rules before enabling them and set schedules. You can "
                        "hide these steps and switch off the welcome or tour in Settings.")},
    };
}

FenmarchNotifications& FenmarchNotifications::center() {
    static FenmarchNotifications center;
    return center;
}

FenmarchLaunchSession& FenmarchLaunchSession::shared() {
    static FenmarchLaunchSession session;
    return session;
}

} // namespace wakeward
