#pragma once

#include <QObject>

class QSocketNotifier;

namespace wakeward {

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the main thread through a self-pipe,
// so that quitting runs the normal shutdown instead of work inside a signal handler.
class UnixSignals : public QObject {
    Q_OBJECT
public:
    explicit UnixSignals(QObject* parent = nullptr);
    ~UnixSignals() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void readPipe();
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace wakeward
