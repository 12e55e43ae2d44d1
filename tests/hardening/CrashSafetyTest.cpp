#include "../TestFiles.h"
#include "AppRig.h"

#include <fstream>
#include <gtest/gtest.h>
#include <wakeward/Store.h>

namespace wakeward {
namespace {

using test::AppRig;
namespace fs = std::filesystem;

// Runs the app on settings it cannot read: it says so, sessions still hold, and it quits.
void runOnUnreadableSettings(AppRig& app) {
    app.launch();
    ASSERT_TRUE(app.waitForInstance());
    const QString message = app.property(QStringLiteral("Message")).toString();
    EXPECT_TRUE(message.startsWith(QStringLiteral("Local settings could not be read: ")))
        << message.toStdString();
    EXPECT_FALSE(message.contains(QStringLiteral(".."))) << "sentences are joined once";

    const test::Outcome started =
        app.run({QStringLiteral("start"), QStringLiteral("--minutes"), QStringLiteral("5")});
    EXPECT_EQ(started.exitCode, 0) << started.err.toStdString();
    EXPECT_EQ(started.out, QStringLiteral("Wakeward is active."));
    EXPECT_EQ(app.property(QStringLiteral("Active")).toBool(), true);
    EXPECT_EQ(app.holdRequests(), 1u);
    EXPECT_EQ(app.run({QStringLiteral("stop")}).exitCode, 0);
    EXPECT_EQ(app.property(QStringLiteral("Active")).toBool(), false);
    ASSERT_TRUE(app.quit());
}

// A database file that is not SQLite at all: the user is told, the file is never touched, and
// sessions still hold (nothing is saved in that run).
TEST(CrashSafetyTest, GarbageDatabaseIsReportedAndLeftAlone) {
    AppRig app;
    ASSERT_TRUE(app.ok());
    std::string garbage;
    for (int i = 0; i < 64 * 1024; ++i)
        garbage += static_cast<char>((i * 7919 + 13) % 251);
    fs::create_directories(app.storeFolder());
    std::ofstream(app.database(), std::ios::binary) << garbage;

    ASSERT_NO_FATAL_FAILURE(runOnUnreadableSettings(app));

    EXPECT_EQ(test::fileText(app.database()), garbage);
    EXPECT_FALSE(fs::exists(app.database().string() + "-wal"));
}

// A real database whose saved rules no longer decode: the message names the failure, the
// unreadable value survives the quit unchanged, and manual sessions still work.
TEST(CrashSafetyTest, UndecodableSettingIsKeptThroughAQuit) {
    AppRig app;
    ASSERT_TRUE(app.ok());
    const std::string damaged = "not a list of rules";
    ASSERT_TRUE(Store::open(app.database()).value().save(damaged, "rules").ok());

    ASSERT_NO_FATAL_FAILURE(runOnUnreadableSettings(app));

    auto kept = Store::open(app.database()).value().load<std::string>("rules");
    ASSERT_TRUE(kept.ok() && kept->has_value());
    EXPECT_EQ(**kept, damaged);
}

} // namespace
} // namespace wakeward
