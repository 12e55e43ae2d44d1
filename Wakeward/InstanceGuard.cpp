#include "InstanceGuard.h"

#include "shortcuts/RemoteClient.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace wakeward {

InstanceGuard::~InstanceGuard() {
    if (m_ownsName)
        QDBusConnection::sessionBus().unregisterService(QString::fromLatin1(serviceName));
    for (const int fd : m_lockFds)
        ::close(fd);
}

QString InstanceGuard::defaultLockPath(const QString& fallback) {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(QString::fromLocal8Bit(runtime)).isDir())
        return QDir(QString::fromLocal8Bit(runtime)).filePath(QStringLiteral("wakeward.lock"));
    return fallback;
}

InstanceGuard::Outcome InstanceGuard::lock(const QString& lockPath) {
    if (!lockPath.isEmpty()) {
        QDir().mkpath(QFileInfo(lockPath).absolutePath());
        const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        // The kernel drops the lock with the process, so a crash never leaves it behind.
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return Outcome::anotherRuns;
        }
        if (fd >= 0)
            m_lockFds.push_back(fd);
    }
    return Outcome::first;
}

InstanceGuard::Outcome InstanceGuard::claimBusName() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface()) {
        const auto reply = bus.interface()->registerService(QString::fromLatin1(serviceName),
                                                            QDBusConnectionInterface::DontQueueService,
                                                            QDBusConnectionInterface::DontAllowReplacement);
        if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered)
            return Outcome::anotherRuns;
        m_ownsName = true;
    }
    return Outcome::first;
}

} // namespace wakeward
