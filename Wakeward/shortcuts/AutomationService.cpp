#include "shortcuts/AutomationService.h"

#include "controller/Model.h"
#include "shortcuts/RemoteClient.h"
#include "wakewardadaptor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

namespace wakeward {

AutomationService::AutomationService(QObject* parent) : QObject(parent) {
    new WakewardAdaptor(this);
}

AutomationService::AutomationService(Model& model, std::function<void()> activate, QObject* parent)
    : AutomationService(parent) {
    attach(model, std::move(activate));
}

void AutomationService::attach(Model& model, std::function<void()> activate) {
    m_model = &model;
    m_activate = std::move(activate);
    connect(&model, &Model::activeChanged, this, [this] { publishChange("Active"); });
    connect(&model, &Model::reasonChanged, this, [this] { publishChange("Reason"); });
    connect(&model, &Model::messageChanged, this, [this] { publishChange("Message"); });
}

bool AutomationService::exportOn(QDBusConnection& bus) {
    m_exported = bus.registerObject(QString::fromLatin1(objectPath), this,
                                    QDBusConnection::ExportAdaptors);
    m_connectionName = bus.name();
    return m_exported;
}

bool AutomationService::Active() const {
    return m_model->active();
}

QString AutomationService::Reason() const {
    return QString::fromStdString(m_model->reason());
}

QString AutomationService::Message() const {
    return QString::fromStdString(m_model->message().value_or(std::string()));
}

QString AutomationService::Start(qlonglong minutes) {
    m_model->setMode(SessionMode::duration);
    m_model->setMinutes(static_cast<double>(minutes));
    // Something else may already hold; success means this session began.
    return m_model->start() ? QStringLiteral("Wakeward is active.")
                            : QStringLiteral("Session could not start. Check the app for details.");
}

QString AutomationService::Stop() {
    m_model->endAll("Stopped by Shortcuts");
    return QStringLiteral("Wakeward assertions released. Automation is paused.");
}

QString AutomationService::Status() {
    return Reason();
}

void AutomationService::Activate() {
    if (m_activate)
        m_activate();
}

void AutomationService::publishChange(const char* name) {
    if (!m_exported)
        return;
    // QtDBus adaptors do not announce property changes; watchers rely on this signal.
    const QString property = QString::fromLatin1(name);
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(objectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    QVariantMap changed;
    changed.insert(property, this->property(name));
    signal << QString::fromLatin1(interfaceName) << changed << QStringList();
    QDBusConnection(m_connectionName).send(signal);
}

} // namespace wakeward
