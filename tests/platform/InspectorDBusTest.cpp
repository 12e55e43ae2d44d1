#include "DBusHarness.h"
#include "platform/Assertions.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace wakeward {
namespace {

using test::DBusHarness;
using Bus = DBusHarness::Bus;
using Entries = std::vector<std::string>;

const QString logindName = QStringLiteral("org.freedesktop.login1");
const QString logindPath = QStringLiteral("/org/freedesktop/login1");
const QString managerInterface = QStringLiteral("org.freedesktop.login1.Manager");

class InspectorDBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.ok());
        ASSERT_TRUE(noApplications.isValid());
        // No installed application may lend its name to a test pid.
        qputenv("XDG_DATA_HOME", noApplications.path().toUtf8());
        qputenv("XDG_DATA_DIRS", noApplications.path().toUtf8());
    }

    void startLogind(const QString& listCode) {
        ASSERT_TRUE(bus.startMock(Bus::System, logindName, logindPath, managerInterface));
        ASSERT_TRUE(bus.addMethod(Bus::System, logindName, logindPath, managerInterface,
                                  QStringLiteral("ListInhibitors"), QString(),
                                  QStringLiteral("a(ssssuu)"), listCode));
    }

    DBusHarness bus;
    QTemporaryDir noApplications;
};

// logind's list becomes the inspector's entries: own locks and delay locks left out, texts
// defaulted, sorted.
TEST_F(InspectorDBusTest, ListsOtherProcessesLocks) {
    startLogind(
        QStringLiteral(
            "ret = dbus.Array(["
            "('idle', 'vlc', 'Film', 'block', dbus.UInt32(1000), dbus.UInt32(4000001)),"
            "('sleep', 'NetworkManager', 'Wait', 'delay', dbus.UInt32(0), dbus.UInt32(4000002)),"
            "('idle', 'Wakeward', 'Mine', 'block', dbus.UInt32(0), dbus.UInt32(%1)),"
            "('', 'x', '', 'block-weak', dbus.UInt32(0), dbus.UInt32(4000003)),"
            "], signature='(ssssuu)')")
            .arg(::getpid()));
    const auto others = Assertions::others();
    ASSERT_TRUE(others);
    EXPECT_EQ(*others, (Entries{"Process 4000001 \u2022 idle\nFilm",
                                "Process 4000003 \u2022 Unknown assertion\nReason not reported"}));
}

// An empty list is read as "nothing held", not as unavailable.
TEST_F(InspectorDBusTest, EmptyListIsNotAbsent) {
    startLogind(QStringLiteral("ret = dbus.Array([], signature='(ssssuu)')"));
    const auto others = Assertions::others();
    ASSERT_TRUE(others);
    EXPECT_TRUE(others->empty());
}

// logind missing or failing: the absent result.
TEST_F(InspectorDBusTest, UnreachableOrFailingLogindIsAbsent) {
    EXPECT_FALSE(Assertions::others());
    startLogind(QStringLiteral("raise dbus.exceptions.DBusException('denied', "
                               "name='org.freedesktop.DBus.Error.AccessDenied')"));
    EXPECT_FALSE(Assertions::others());
}

// The real logind template: a lock taken by another client is listed with its fields.
TEST_F(InspectorDBusTest, ListsTemplateLocks) {
    ASSERT_TRUE(bus.startLogind());
    const QVariantList lock =
        bus.call(Bus::System, logindName, logindPath, managerInterface, QStringLiteral("Inhibit"),
                 {QStringLiteral("sleep"), QStringLiteral("tester"), QStringLiteral("Backup"),
                  QStringLiteral("block")});
    ASSERT_EQ(lock.size(), 1);
    const auto others = Assertions::others();
    ASSERT_TRUE(others);
    EXPECT_EQ(*others, (Entries{"Process 123456 \u2022 sleep\nBackup"}));
}

} // namespace
} // namespace wakeward
