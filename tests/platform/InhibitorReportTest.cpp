#include "platform/InhibitorReport.h"

#include <gtest/gtest.h>

namespace wakeward {
namespace {

using Entries = std::vector<std::string>;

// Entries name the application of the pid, or the pid; empty texts fall back to the fixed wording.
TEST(InhibitorReportTest, FormatsNamesAndDefaults) {
    const std::vector<Inhibitor> inhibitors{
        {"idle", "vlc", "Playing a film", "block", 1000, 42},
        {"sleep", "", "", "block", 0, 7},
        {"", "x", "Why not", "block", 0, 8},
    };
    EXPECT_EQ(InhibitorReport::entries(inhibitors, 1, {{42, "VLC media player"}}),
              (Entries{"Process 7 \u2022 sleep\nReason not reported",
                       "Process 8 \u2022 Unknown assertion\nWhy not",
                       "VLC media player \u2022 idle\nPlaying a film"}));
}

// Delay locks never keep the machine awake and Wakeward's own locks are shown elsewhere.
TEST(InhibitorReportTest, SkipsDelayLocksAndOwnPid) {
    const std::vector<Inhibitor> inhibitors{
        {"sleep", "NetworkManager", "Delay", "delay", 0, 10},
        {"idle", "Wakeward", "Wakeward \u2022 Reading", "block", 1000, 555},
        {"handle-lid-switch", "gnome", "Lid", "block-weak", 1000, 11},
    };
    EXPECT_EQ(InhibitorReport::entries(inhibitors, 555, {}),
              (Entries{"Process 11 \u2022 handle-lid-switch\nLid"}));
    EXPECT_TRUE(InhibitorReport::entries({inhibitors[0]}, 555, {}).empty());
}

// Code-point order puts upper case before lower case; 150 entries are cut to the first 100 of that
// order.
TEST(InhibitorReportTest, SortsByCodePointAndCapsAt100) {
    const std::vector<Inhibitor> cased{{"idle", "", "a", "block", 0, 1},
                                       {"idle", "", "b", "block", 0, 2}};
    EXPECT_EQ(InhibitorReport::entries(cased, 0, {{1, "alpha"}, {2, "Zulu"}}),
              (Entries{"Zulu \u2022 idle\nb", "alpha \u2022 idle\na"}));

    std::vector<Inhibitor> many;
    for (unsigned pid = 1000; pid < 1150; ++pid)
        many.push_back({"idle", "", "r", "block", 0, pid});
    const auto entries = InhibitorReport::entries(many, 0, {});
    ASSERT_EQ(entries.size(), 100u);
    EXPECT_EQ(entries.front(), "Process 1000 \u2022 idle\nr");
    EXPECT_EQ(entries.back(), "Process 1099 \u2022 idle\nr");
}

} // namespace
} // namespace wakeward
