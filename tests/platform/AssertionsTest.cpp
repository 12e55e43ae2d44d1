#include "platform/Assertions.h"

#include "FakePowerBackend.h"

#include <gtest/gtest.h>

namespace wakeward {
namespace {

using test::FakePowerBackend;
using Calls = std::vector<std::string>;

const std::string reading = "Wakeward \u2022 Reading";
const std::string writing = "Wakeward \u2022 Writing";

class AssertionsTest : public ::testing::Test {
protected:
    std::shared_ptr<FakePowerBackend::Log> log = std::make_shared<FakePowerBackend::Log>();
    std::unique_ptr<Assertions> holder =
        std::make_unique<Assertions>(std::make_unique<FakePowerBackend>(log));

    Calls takeCalls() { return std::exchange(log->calls, {}); }
};

// A new holder holds nothing and releasing it or applying "not awake" calls nothing.
TEST_F(AssertionsTest, StartsEmptyAndSleepingCallsNothing) {
    EXPECT_EQ(holder->system(), 0u);
    EXPECT_EQ(holder->display(), 0u);
    EXPECT_EQ(holder->reason(), "");
    EXPECT_FALSE(holder->apply(false, true, reading));
    holder->release();
    EXPECT_EQ(holder->reason(), "");
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_EQ(holder->systemHolder(), "");
}

// The same request twice creates once; the second call touches nothing.
TEST_F(AssertionsTest, RepeatedApplyIsIdempotent) {
    EXPECT_FALSE(holder->apply(true, false, reading));
    EXPECT_FALSE(holder->apply(true, false, reading));
    EXPECT_EQ(takeCalls(), (Calls{"create PreventUserIdleSystemSleep " + reading + " -> 101"}));
    EXPECT_EQ(holder->system(), 101u);
    EXPECT_EQ(holder->display(), 0u);
    EXPECT_EQ(holder->reason(), reading);
    EXPECT_EQ(holder->systemHolder(), "fake 101");

    EXPECT_FALSE(holder->apply(true, true, reading));
    EXPECT_FALSE(holder->apply(true, true, reading));
    takeCalls();
    EXPECT_FALSE(holder->apply(true, true, reading));
    EXPECT_TRUE(takeCalls().empty());
}

// Turning the display on with the same reason drops and re-creates the system hold, then adds the
// display.
TEST_F(AssertionsTest, DisplayChangeRecreatesBoth) {
    ASSERT_FALSE(holder->apply(true, false, reading));
    takeCalls();
    EXPECT_FALSE(holder->apply(true, true, reading));
    EXPECT_EQ(takeCalls(),
              (Calls{"release 101", "create PreventUserIdleSystemSleep " + reading + " -> 102",
                     "create PreventUserIdleDisplaySleep " + reading + " -> 103"}));
    EXPECT_EQ(holder->system(), 102u);
    EXPECT_EQ(holder->display(), 103u);
    EXPECT_EQ(holder->displayHolder(), "fake 103");

    // And off again: both dropped, display first, then the system hold alone.
    EXPECT_FALSE(holder->apply(true, false, reading));
    EXPECT_EQ(takeCalls(), (Calls{"release 103", "release 102",
                                  "create PreventUserIdleSystemSleep " + reading + " -> 104"}));
    EXPECT_EQ(holder->display(), 0u);
}

// A new reason with the display held drops both and creates both under the new name.
TEST_F(AssertionsTest, ReasonChangeRecreatesBothUnderNewName) {
    ASSERT_FALSE(holder->apply(true, true, reading));
    takeCalls();
    EXPECT_FALSE(holder->apply(true, true, writing));
    EXPECT_EQ(takeCalls(), (Calls{"release 102", "release 101",
                                  "create PreventUserIdleSystemSleep " + writing + " -> 103",
                                  "create PreventUserIdleDisplaySleep " + writing + " -> 104"}));
    EXPECT_EQ(holder->reason(), writing);
}

// A refused system hold reports its status; nothing is held and the reason stays empty.
TEST_F(AssertionsTest, RefusedSystemHold) {
    ASSERT_FALSE(holder->apply(true, false, reading));
    log->statuses = {-3};
    const auto error = holder->apply(true, false, writing);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, "Power");
    EXPECT_EQ(error->code, -3);
    EXPECT_EQ(
        error->description,
        "The system could not create the idle-sleep assertion (-3). No active session is claimed.");
    EXPECT_EQ(holder->system(), 0u);
    EXPECT_EQ(holder->reason(), "");

    // A status with the top bit set prints as a negative number, widened as signed.
    log->statuses = {static_cast<std::int32_t>(0xE00002C2u)};
    const auto platformError = holder->apply(true, true, reading);
    ASSERT_TRUE(platformError);
    EXPECT_EQ(platformError->code, -536870206);
    EXPECT_EQ(platformError->description, "The system could not create the idle-sleep assertion "
                                          "(-536870206). No active session is claimed.");
    EXPECT_EQ(holder->display(), 0u);
}

// A refused display hold drops the system hold just created; nothing is held.
TEST_F(AssertionsTest, RefusedDisplayHoldDropsSystemHold) {
    log->statuses = {0, -1};
    const auto error = holder->apply(true, true, reading);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, -1);
    EXPECT_EQ(error->description,
              "The system could not hold the display awake. The session was stopped.");
    EXPECT_EQ(takeCalls(),
              (Calls{"create PreventUserIdleSystemSleep " + reading + " -> 101",
                     "create PreventUserIdleDisplaySleep " + reading + " -> 0", "release 101"}));
    EXPECT_EQ(holder->system(), 0u);
    EXPECT_EQ(holder->display(), 0u);
    EXPECT_EQ(holder->reason(), "");

    // The next request starts from nothing: no stale release.
    EXPECT_FALSE(holder->apply(true, false, reading));
    EXPECT_EQ(takeCalls(), (Calls{"create PreventUserIdleSystemSleep " + reading + " -> 102"}));
}

// Sleeping again, or destroying the holder, releases display before system and clears the reason.
TEST_F(AssertionsTest, AwakeFalseAndDestructionReleaseDisplayFirst) {
    ASSERT_FALSE(holder->apply(true, true, reading));
    takeCalls();
    EXPECT_FALSE(holder->apply(false, true, reading));
    EXPECT_EQ(takeCalls(), (Calls{"release 102", "release 101"}));
    EXPECT_EQ(holder->reason(), "");
    EXPECT_EQ(holder->system(), 0u);

    ASSERT_FALSE(holder->apply(true, true, reading));
    takeCalls();
    holder.reset();
    EXPECT_EQ(takeCalls(), (Calls{"release 104", "release 103"}));
}

// The same request again after the service dropped a hold releases both and takes them afresh;
// when that fails, nothing is held and the failure is reported.
TEST_F(AssertionsTest, DroppedHoldIsTakenAgain) {
    ASSERT_FALSE(holder->apply(true, true, reading));
    takeCalls();
    log->lost = {102};
    EXPECT_FALSE(holder->apply(true, true, reading));
    EXPECT_EQ(takeCalls(), (Calls{"release 102", "release 101",
                                  "create PreventUserIdleSystemSleep " + reading + " -> 103",
                                  "create PreventUserIdleDisplaySleep " + reading + " -> 104"}));
    EXPECT_EQ(holder->system(), 103u);

    log->lost = {103};
    log->statuses = {-1};
    const auto error = holder->apply(true, true, reading);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, -1);
    EXPECT_EQ(holder->system(), 0u);
    EXPECT_EQ(holder->reason(), "");
}

// A backend that claims success without a handle is treated as a refusal, never as identifier 0
// held.
class HandlelessBackend : public PowerBackend {
public:
    std::int32_t create(AssertionType, const std::string&, std::uint32_t& handle) override {
        handle = 0;
        return 0;
    }
    void release(std::uint32_t) override {}
    std::string holderName(std::uint32_t) const override { return {}; }
    bool holds(std::uint32_t) const override { return false; }
};

TEST(AssertionsContract, SuccessWithoutHandleIsAFailure) {
    Assertions holder(std::make_unique<HandlelessBackend>());
    const auto error = holder.apply(true, false, reading);
    ASSERT_TRUE(error);
    EXPECT_NE(error->code, 0);
    EXPECT_EQ(holder.system(), 0u);
    EXPECT_EQ(holder.reason(), "");
}

} // namespace
} // namespace wakeward
