#include "platform/InhibitorReport.h"

#include <gtest/gtest.h>

namespace wakeward {
namespace {

using Entries = std::vector<std::string>;

// Entries name the application of the pid, or the pid. Code-point order puts upper case before
// lower case; 150 entries are cut to the first 100 of that order.
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
