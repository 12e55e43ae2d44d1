#pragma once

#include "platform/Notifier.h"

#include <QObject>
#include <QString>
#include <memory>

namespace wakeward {

class BusConnection;

// Notifications through org.freedesktop.Notifications on the session bus; no call waits.
class DesktopNotifier : public QObject, public Notifier {
    Q_OBJECT

public:
    /// sessionBusAddress empty means the usual session bus.
    explicit DesktopNotifier(const QString& sessionBusAddress = {});
    ~DesktopNotifier() override;

    void post(const std::string& title, const std::string& body) override;
    void check(CheckDone done) override;

private:
    std::unique_ptr<BusConnection> m_bus;
};

} // namespace wakeward
