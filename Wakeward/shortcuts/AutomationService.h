#pragma once

#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <vector>

class QDBusConnection;
class QDBusServiceWatcher;

namespace wakeward {

class Model;

// The automation actions and the window request, published on the session bus as
// org.fenmarch.Wakeward by the adaptor generated from org.fenmarch.Wakeward.xml.
class AutomationService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active)
    Q_PROPERTY(QString Reason READ Reason)
    Q_PROPERTY(QString Message READ Message)
    Q_PROPERTY(bool DisplayActive READ DisplayActive)
    Q_PROPERTY(bool Manual READ Manual)
    Q_PROPERTY(QString Mode READ Mode)
    Q_PROPERTY(QString Started READ Started)
    Q_PROPERTY(QString Deadline READ Deadline)
    Q_PROPERTY(bool AutomationPaused READ AutomationPaused)
    Q_PROPERTY(QString Holder READ Holder)

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
    bool DisplayActive() const;
    bool Manual() const;
    QString Mode() const;
    QString Started() const;
    QString Deadline() const;
    bool AutomationPaused() const;
    QString Holder() const;

public slots:
    QString Start(qlonglong minutes);
    QString StartSession(const QVariantMap& options);
    QString StartCommand(const QString& command, bool display);
    void EndCommand();
    QString Stop();
    QString Status();
    void Activate();

private:
    void publishChange(const char* name);
    void announceChanges();
    // The answer to a start: whether the session it asked for began.
    static QString answer(bool began);
    // Ends the command session, if one runs, with `reason`.
    void endCommand(const std::string& reason);

    Model* m_model = nullptr;
    std::function<void()> m_activate;
    QString m_connectionName;
    bool m_exported = false;
    // Properties changed since the last announcement, in the order they first changed.
    std::vector<const char*> m_changed;
    // The caller whose command session runs, watched so that the hold never outlives it.
    QDBusServiceWatcher* m_commandCaller = nullptr;
    std::string m_commandReason;
};

} // namespace wakeward
