#include "platform/Assertions.h"

#include "FakePowerBackend.h"
#include "platform/InhibitorReport.h"

#include <gtest/gtest.h>

namespace wakeward {
namespace {

using test::FakePowerBackend;
using Calls = std::vector<std::string>;
using Entries = std::vector<std::string>;

const std::string reading = "Wakeward \u2022 Reading";
const std::string writing = "Wakeward \u2022 Writing";

// How the fake logs a creation.
std::string systemHold(const std::string& reason, int handle) {
    return "create PreventUserIdleSystemSleep " + reason + " -> " + std::to_string(handle);
}
std::string displayHold(const std::string& reason, int handle) {
    return "create PreventUserIdleDisplaySleep " + reason + " -> " + std::to_string(handle);
}

// What a holder holds: each handle with the name its service is shown under, then the reason.
std::string held(const Assertions& holder) {
    return std::to_string(holder.system()) + " " + holder.systemHolder() + ", " +
           std::to_string(holder.display()) + " " + holder.displayHolder() + ", " + holder.reason();
}

class AssertionsTest : public ::testing::Test {
protected:
    std::shared_ptr<FakePowerBackend::Log> log = std::make_shared<FakePowerBackend::Log>();
    std::unique_ptr<Assertions> holder =
        std::make_unique<Assertions>(std::make_unique<FakePowerBackend>(log));

    Calls takeCalls() { return std::exchange(log->calls, {}); }
};

// Requests in turn, each with the calls it makes and what is held after it: the same request
// again touches nothing; a change of display or reason, or a hold its service dropped, releases
// both (display first) and takes them afresh; sleeping releases everything, and so does
// destroying the holder.
TEST_F(AssertionsTest, RequestsInTurn) {
    struct Step {
        bool awake, withDisplay;
        std::string reason;
        std::uint32_t lost; // a handle the service dropped before the request
        Calls calls;
        std::string held;
    };
    const Step steps[] = {
        {false, true, reading, 0, Calls(), "0 , 0 , "},
        {true, false, reading, 0, Calls{systemHold(reading, 101)}, "101 fake 101, 0 , " + reading},
        {true, false, reading, 0, Calls(), "101 fake 101, 0 , " + reading},
        {true, true, reading, 0,
         Calls{"release 101", systemHold(reading, 102), displayHold(reading, 103)},
         "102 fake 102, 103 fake 103, " + reading},
        {true, true, reading, 0, Calls(), "102 fake 102, 103 fake 103, " + reading},
        {true, true, writing, 0,
         Calls{"release 103", "release 102", systemHold(writing, 104), displayHold(writing, 105)},
         "104 fake 104, 105 fake 105, " + writing},
        {true, false, writing, 0, Calls{"release 105", "release 104", systemHold(writing, 106)},
         "106 fake 106, 0 , " + writing},
        {true, false, writing, 106, Calls{"release 106", systemHold(writing, 107)},
         "107 fake 107, 0 , " + writing},
        {true, true, writing, 0,
         Calls{"release 107", systemHold(writing, 108), displayHold(writing, 109)},
         "108 fake 108, 109 fake 109, " + writing},
        {true, true, writing, 109,
         Calls{"release 109", "release 108", systemHold(writing, 110), displayHold(writing, 111)},
         "110 fake 110, 111 fake 111, " + writing},
        {false, true, writing, 0, Calls{"release 111", "release 110"}, "0 , 0 , "},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE("step " + std::to_string(&step - steps));
        log->lost = {step.lost};
        EXPECT_FALSE(holder->apply(step.awake, step.withDisplay, step.reason));
        EXPECT_EQ(takeCalls(), step.calls);
        EXPECT_EQ(held(*holder), step.held);
    }
    ASSERT_FALSE(holder->apply(true, true, reading));
    takeCalls();
    holder.reset();
    EXPECT_EQ(takeCalls(), (Calls{"release 113", "release 112"}));
}

// A refused request leaves nothing held, and the next one starts from nothing: success without a
// handle is a refusal, never identifier 0 held, and a refused display hold drops the system hold
// just made.
TEST_F(AssertionsTest, RefusalLeavesNothingHeld) {
    for (const bool display : {false, true}) {
        SCOPED_TRACE(display ? "display refused" : "system hold without a handle");
        ASSERT_FALSE(holder->apply(true, false, reading));
        log->handleless = !display;
        log->statuses = display ? std::deque{0, -1} : std::deque<std::int32_t>();
        const auto error = holder->apply(true, display, writing);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->description,
                  display ? "The system could not hold the display awake. The session was stopped."
                          : "The system could not create the idle-sleep assertion (-2). No active "
                            "session is claimed.");
        EXPECT_TRUE(log->held.empty());
        EXPECT_EQ(held(*holder), "0 , 0 , ");

        log->handleless = false;
        takeCalls();
        EXPECT_FALSE(holder->apply(true, false, reading));
        EXPECT_EQ(takeCalls().size(), 1u) << "no stale release";
        holder->release();
    }
}

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
