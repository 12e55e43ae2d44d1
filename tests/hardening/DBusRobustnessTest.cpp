#include "AppRig.h"

#include <QDBusVariant>
#include <gtest/gtest.h>

namespace wakeward {
namespace {

using test::AppRig;

const QString automation = QStringLiteral("org.fenmarch.Wakeward");
const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");

// Calls that do not fit the interface are answered with a D-Bus error, change nothing, and
// leave the service answering.
TEST(DBusRobustnessTest, MalformedCallsAreRefusedWithoutEffect) {
    AppRig app;
    ASSERT_TRUE(app.ok());
    ASSERT_TRUE(app.launch());
    const QString reason = app.property(QStringLiteral("Reason")).toString();
    ASSERT_FALSE(reason.isEmpty());

    struct Call {
        QString interface;
        QString method;
        QVariantList arguments;
    };
    const QString start = QStringLiteral("Start"), set = QStringLiteral("Set");
    const auto variant = [](const QVariant& value) {
        return QVariant::fromValue(QDBusVariant(value));
    };
    const std::vector<Call> malformed = {
        {automation, start, {QStringLiteral("60")}},
        {automation, start, {60}},
        {automation, start, {}},
        {automation, start, {qlonglong(60), qlonglong(60)}},
        {automation, start, {variant(qlonglong(60))}},
        {automation, QStringLiteral("Stop"), {true}},
        {automation, QStringLiteral("Status"), {QStringLiteral("x")}},
        {automation, QStringLiteral("Hold"), {}},
        {properties, set, {automation, QStringLiteral("Active"), variant(true)}},
        {properties, set, {automation, QStringLiteral("Reason"), variant(QStringLiteral("Held"))}},
        {properties, QStringLiteral("Get"), {automation, QStringLiteral("Secret")}},
        {properties, QStringLiteral("Get"), {automation}},
    };
    for (const Call& call : malformed) {
        EXPECT_EQ(app.call(call.interface, call.method, call.arguments).type(),
                  QDBusMessage::ErrorMessage)
            << call.method.toStdString() << " with " << call.arguments.size() << " arguments";
    }

    // Well-typed but out of range: an answer, not an error, and still no hold.
    for (qlonglong minutes :
         {qlonglong(0), qlonglong(-1), qlonglong(1441), std::numeric_limits<qlonglong>::max(),
          std::numeric_limits<qlonglong>::min()}) {
        const QDBusMessage reply = app.call(automation, start, {minutes});
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << minutes;
        EXPECT_EQ(reply.arguments().value(0).toString(),
                  QStringLiteral("Session could not start. Check the app for details."));
    }

    EXPECT_EQ(app.holdRequests(), 0u);
    EXPECT_EQ(app.property(QStringLiteral("Active")).toBool(), false);
    EXPECT_EQ(app.property(QStringLiteral("Reason")).toString(), reason);
    EXPECT_EQ(app.call(automation, QStringLiteral("Status")).arguments().value(0).toString(),
              reason);
}

} // namespace
} // namespace wakeward
