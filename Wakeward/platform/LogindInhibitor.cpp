#include "platform/LogindInhibitor.h"

#include <QDBusMetaType>

namespace wakeward {

QDBusArgument& operator<<(QDBusArgument& argument, const LogindInhibitor& inhibitor) {
    argument.beginStructure();
    argument << inhibitor.what << inhibitor.who << inhibitor.why << inhibitor.mode << inhibitor.uid
             << inhibitor.pid;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, LogindInhibitor& inhibitor) {
    argument.beginStructure();
    argument >> inhibitor.what >> inhibitor.who >> inhibitor.why >> inhibitor.mode >>
        inhibitor.uid >> inhibitor.pid;
    argument.endStructure();
    return argument;
}

void registerLogindTypes() {
    qDBusRegisterMetaType<LogindInhibitor>();
    qDBusRegisterMetaType<QList<LogindInhibitor>>();
}

} // namespace wakeward
