#include "ui/TrayWatcher.h"

namespace wakeward {

TrayWatcher::TrayWatcher(std::function<bool()> available, std::chrono::milliseconds interval,
                         QObject* parent)
    : QObject(parent), m_available(std::move(available)) {
    m_found = m_available();
    m_timer.setInterval(interval);
    connect(&m_timer, &QTimer::timeout, this, &TrayWatcher::check);
    if (!m_found && interval.count() > 0)
        m_timer.start();
}

void TrayWatcher::check() {
    if (m_found || !m_available())
        return;
    m_found = true;
    m_timer.stop();
    emit appeared();
}

} // namespace wakeward
