#include "platform/DesktopNotifier.h"

#include "platform/BusAddress.h"
#include "platform/BusConnection.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace wakeward {
namespace {

constexpr int kTimeoutMs = 2000;

QDBusMessage notificationsCall(const QString& method) {
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                          QStringLiteral("/org/freedesktop/Notifications"),
                                          QStringLiteral("org.freedesktop.Notifications"), method);
}

} // namespace

DesktopNotifier::DesktopNotifier(const QString& sessionBusAddress)
    : m_bus(std::make_unique<BusConnection>(sessionBusAddress.isEmpty() ? BusAddress::session()
                                                                        : sessionBusAddress)) {}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::post(const std::string& title, const std::string& body) {
    if (!m_bus->isConnected())
        return;
    QDBusMessage message = notificationsCall(QStringLiteral("Notify"));
    message << QStringLiteral("Wakeward") << 0u << QStringLiteral("org.fenmarch.Wakeward")
            << QString::fromStdString(title) << QString::fromStdString(body) << QStringList()
            << QVariantMap() << -1;
    // Delivery is not observed: the reply, or its timeout, is dropped.
    m_bus->connection().asyncCall(message, kTimeoutMs);
}

void DesktopNotifier::check(CheckDone done) {
    if (!m_bus->isConnected()) {
        done(std::string("Notifications need a desktop session: no session bus was found."));
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(
        m_bus->connection().asyncCall(notificationsCall(QStringLiteral("GetServerInformation")),
                                      kTimeoutMs),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (finished->isError())
                    done(finished->error().message().toStdString());
                else
                    done(std::nullopt);
            });
}

} // namespace wakeward
