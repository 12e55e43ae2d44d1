#include "../platform/DBusHarness.h"
#include "SharedModel.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <wakeward/Store.h>

using namespace wakeward;
using namespace wakeward::test;

// The real wiring on private buses: a session held through logind, ended by the sleep signal,
// with the records in the database and the notifications posted.
TEST(SharedModelDBus, SessionEndsWhenTheMachineSleeps) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_DIRS", (home.path() + "/share").toUtf8());
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");

    DBusHarness harness;
    ASSERT_TRUE(harness.ok());
    ASSERT_TRUE(harness.startLogind());

    Model& model = Model::shared();
    EXPECT_FALSE(model.message()) << *model.message();

    // Without a notification service the switch stays off and says why.
    model.requestNotifications(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.message().has_value(); }, 5000));
    EXPECT_FALSE(model.message()->empty());
    EXPECT_FALSE(model.notifications());
    ASSERT_TRUE(harness.startTemplate(DBusHarness::Bus::Session,
                                      QStringLiteral("notification_daemon"),
                                      QStringLiteral("org.freedesktop.Notifications")));
    model.requestNotifications(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.notifications(); }, 5000)) << *model.message();

    model.setMode(SessionMode::indefinite);
    model.start();
    ASSERT_TRUE(model.active()) << model.message().value_or("");
    EXPECT_EQ(wakewardLocks(harness, "idle", "block"), 1);

    ASSERT_TRUE(harness.prepareForSleep(true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.active(); }, 5000));
    EXPECT_EQ(model.reason(), "Computer entered sleep");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return wakewardLocks(harness, "idle", "block") == 0; }, 5000));

    auto store = Store::open(home.path().toStdString() + "/data/fenmarch/Wakeward/sleep.sqlite");
    ASSERT_TRUE(store) << store.error().description;
    const auto history = store->history(Instant{-1e10});
    ASSERT_TRUE(history);
    EXPECT_EQ(history->size(), 2u) << "the start and the end are stored";
    EXPECT_FALSE(store->load<std::optional<Instant>>("activeSession")->value().has_value());

    const auto notes =
        harness.calls(DBusHarness::Bus::Session, QStringLiteral("org.freedesktop.Notifications"),
                      QStringLiteral("/org/freedesktop/Notifications"), QStringLiteral("Notify"));
    ASSERT_EQ(notes.size(), 2u) << "the start and the end are announced";
    EXPECT_EQ(notes[0].value(3).toString(), "Session started");
    ASSERT_EQ(notes[1].size(), 8);
    EXPECT_EQ(notes[1][0].toString(), "Wakeward");
    EXPECT_EQ(notes[1][3].toString(), "Session ended");
    EXPECT_EQ(notes[1][4].toString(), "Computer entered sleep");
    EXPECT_EQ(notes[1][7].toInt(), -1);

    model.shutdown();
}
