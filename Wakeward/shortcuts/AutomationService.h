#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QDBusConnection;

namespace wakeward {

class Model;

// The three automation actions and the window request, published on the session bus as
// org.fenmarch.Wakeward by the adaptor generated from org.fenmarch.Wakeward.xml.
class AutomationService : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active)
    Q_PROPERTY(QString Reason READ Reason)
    Q_PROPERTY(QString Message READ Message)

public:
    // `activate` shows and raises the main window; empty in headless mode.
    AutomationService(Model& model, std::function<void()> activate, QObject* parent = nullptr);
    // Without a controller yet: the object can be exported and the bus name claimed before the
    // controller opens the database; attach() must follow before the event loop runs, which is
    // when calls are first delivered.
    explicit AutomationService(QObject* parent = nullptr);

    // Serves the controller's state; once, before the event loop runs.
    void attach(Model& model, std::function<void()> activate);

    // Exports the object and its adaptor at /org/fenmarch/Wakeward; false when that failed.
    bool exportOn(QDBusConnection& bus);

    bool Active() const;
    QString Reason() const;
    QString Message() const;

public slots:
    QString Start(qlonglong minutes);
    QString Stop();
    QString Status();
    void Activate();

private:
    void publishChange(const char* name);

    Model* m_model = nullptr;
    std::function<void()> m_activate;
    QString m_connectionName;
    bool m_exported = false;
};

} // namespace wakeward
