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

    DBusHarness bus;
    QTemporaryDir noApplications;
};

// logind's list becomes the inspector's entries: own locks and delay locks left out, texts
// defaulted. An empty list is "nothing held"; logind missing or failing is the absent result.
TEST_F(InspectorDBusTest, ListsOtherProcessesLocks) {
    struct Row {
        QString listCode; // none: no logind at all
        std::optional<Entries> entries;
    };
    const Row rows[] = {
        {QString(), std::nullopt},
        {QStringLiteral("raise dbus.exceptions.DBusException('denied', "
                        "name='org.freedesktop.DBus.Error.AccessDenied')"),
         std::nullopt},
        {QStringLiteral("ret = dbus.Array([], signature='(ssssuu)')"), Entries()},
        {QStringLiteral(
             "ret = dbus.Array(["
             "('idle', 'vlc', 'Film', 'block', dbus.UInt32(1000), dbus.UInt32(4000001)),"
             "('sleep', 'NetworkManager', 'Wait', 'delay', dbus.UInt32(0), dbus.UInt32(4000002)),"
             "('idle', 'Wakeward', 'Mine', 'block', dbus.UInt32(0), dbus.UInt32(%1)),"
             "('', 'x', '', 'block-weak', dbus.UInt32(0), dbus.UInt32(4000003)),"
             "], signature='(ssssuu)')")
             .arg(::getpid()),
         Entries{"Process 4000001 \u2022 idle\nFilm",
                 "Process 4000003 \u2022 Unknown assertion\nReason not reported"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.listCode.toStdString());
        if (!row.listCode.isEmpty()) {
            ASSERT_TRUE(bus.startMock(Bus::System, logindName, logindPath, managerInterface));
            ASSERT_TRUE(bus.addMethod(Bus::System, logindName, logindPath, managerInterface,
                                      QStringLiteral("ListInhibitors"), QString(),
                                      QStringLiteral("a(ssssuu)"), row.listCode));
        }
        EXPECT_EQ(Assertions::others(), row.entries);
        bus.stopMocks();
    }
}

} // namespace
} // namespace wakeward
