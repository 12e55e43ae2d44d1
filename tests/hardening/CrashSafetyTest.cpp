#include "../TestFiles.h"
#include "AppRig.h"

#include <fstream>
#include <gtest/gtest.h>

namespace wakeward {
namespace {

using test::AppRig;
namespace fs = std::filesystem;

// A database file that is not SQLite at all: the user is told, sessions still hold, and the file
// is never touched (nothing is saved in that run).
TEST(CrashSafetyTest, GarbageDatabaseIsReportedAndLeftAlone) {
    AppRig app;
    ASSERT_TRUE(app.ok());
    std::string garbage;
    for (int i = 0; i < 64 * 1024; ++i)
        garbage += static_cast<char>((i * 7919 + 13) % 251);
    fs::create_directories(app.storeFolder());
    std::ofstream(app.database(), std::ios::binary) << garbage;

    ASSERT_TRUE(app.launch());
    const QString message = app.property(QStringLiteral("Message")).toString();
    EXPECT_TRUE(message.startsWith(QStringLiteral("Local settings could not be read: ")))
        << message.toStdString();
    EXPECT_EQ(app.run({"start", "--minutes", "5"}), (test::Outcome{0, "Wakeward is active.", ""}));
    EXPECT_EQ(app.property(QStringLiteral("Active")).toBool(), true);
    EXPECT_EQ(app.holdRequests(), 1u);
    EXPECT_EQ(app.run({QStringLiteral("stop")}).exitCode, 0);
    EXPECT_EQ(app.property(QStringLiteral("Active")).toBool(), false);
    ASSERT_TRUE(app.quit());

    EXPECT_EQ(test::fileText(app.database()), garbage);
    EXPECT_FALSE(fs::exists(app.database().string() + "-wal"));
}

} // namespace
} // namespace wakeward
