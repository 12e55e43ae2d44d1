#pragma once

#include <QDBusConnection>
#include <QString>

namespace wakeward {

// A private bus connection of Wakeward's own, closed when the object goes.
class BusConnection {
public:
    explicit BusConnection(const QString& address);
    ~BusConnection();
    BusConnection(const BusConnection&) = delete;
    BusConnection& operator=(const BusConnection&) = delete;

    /// The connection; not connected when the address is empty or unreachable.
    QDBusConnection& connection() { return m_connection; }
    /// True when the connection is up.
    bool isConnected() const { return m_connection.isConnected(); }
    /// True when the name has an owner, asked with a bounded wait; false on any failure.
    bool hasOwner(const QString& name, int timeoutMs);
    /// True when the bus can start the name on demand, asked with a bounded wait; false on any
    /// failure.
    bool isActivatable(const QString& name, int timeoutMs);

private:
    QString m_name;
    QDBusConnection m_connection;
};

} // namespace wakeward
