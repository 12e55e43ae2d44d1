#pragma once

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>

namespace wakeward {

// One record of logind's ListInhibitors, as it travels on the bus.
struct LogindInhibitor {
    QString what;
    QString who;
    QString why;
    QString mode;
    quint32 uid = 0;
    quint32 pid = 0;
};

QDBusArgument& operator<<(QDBusArgument& argument, const LogindInhibitor& inhibitor);
const QDBusArgument& operator>>(const QDBusArgument& argument, LogindInhibitor& inhibitor);

/// Registers the record with QtDBus; safe to call more than once.
void registerLogindTypes();

} // namespace wakeward

Q_DECLARE_METATYPE(wakeward::LogindInhibitor)
