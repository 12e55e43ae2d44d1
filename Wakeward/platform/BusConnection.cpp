#include "platform/BusConnection.h"

#include <QAtomicInt>
#include <QDBusMessage>
#include <QStringList>

namespace wakeward {
namespace {

QString uniqueName() {
    static QAtomicInt counter;
    return QStringLiteral("wakeward-%1").arg(counter.fetchAndAddRelaxed(1));
}

// The bus daemon's own methods are called by hand: QDBusConnectionInterface waits with one
// connection-wide timeout, and every call here must give up after its own bound.
QDBusMessage callBus(QDBusConnection& connection, const QString& method,
                     const QVariantList& arguments, int timeoutMs) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), method);
    message.setArguments(arguments);
    return connection.call(message, QDBus::Block, timeoutMs);
}

} // namespace

BusConnection::BusConnection(const QString& address)
    : m_name(uniqueName()),
      m_connection(address.isEmpty() ? QDBusConnection(m_name)
                                     : QDBusConnection::connectToBus(address, m_name)) {}

BusConnection::~BusConnection() {
    QDBusConnection::disconnectFromBus(m_name);
}

bool BusConnection::hasOwner(const QString& name, int timeoutMs) {
    if (!isConnected())
        return false;
    const QDBusMessage reply =
        callBus(m_connection, QStringLiteral("NameHasOwner"), {name}, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toBool();
}

bool BusConnection::isActivatable(const QString& name, int timeoutMs) {
    if (!isConnected())
        return false;
    const QDBusMessage reply =
        callBus(m_connection, QStringLiteral("ListActivatableNames"), {}, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toStringList().contains(name);
}

} // namespace wakeward
