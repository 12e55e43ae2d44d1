#include "shortcuts/AutomationService.h"

#include "controller/Model.h"
#include "controller/Transfer.h"
#include "shortcuts/CommandLine.h"
#include "shortcuts/RemoteClient.h"
#include "wakewardadaptor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <algorithm>
#include <utility>
#include <vector>
#include <wakeward/Text.h>

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
    // Vectors: an initializer list would not outlive this declaration.
    const std::pair<void (Model::*)(), std::vector<const char*>> published[] = {
        {&Model::activeChanged, {"Active", "Holder"}},
        {&Model::reasonChanged, {"Reason", "Holder", "Mode"}},
        {&Model::messageChanged, {"Message"}},
        {&Model::displayActiveChanged, {"DisplayActive"}},
        {&Model::manualChanged, {"Manual", "Mode"}},
        {&Model::startedChanged, {"Started"}},
        {&Model::deadlineChanged, {"Deadline"}},
        {&Model::automationPausedChanged, {"AutomationPaused"}}};
    for (const auto& [signal, names] : published) {
        connect(&model, signal, this, [this, names = names] {
            for (const char* name : names)
                publishChange(name);
        });
    }
    // A command session that something else ended or replaced is no longer the caller's.
    connect(&model, &Model::reasonChanged, this, [this] {
        if (m_commandCaller && (!m_model->manual() || m_model->reason() != m_commandReason)) {
            m_commandCaller->deleteLater();
            m_commandCaller = nullptr;
        }
    });
}

bool AutomationService::exportOn(QDBusConnection& bus) {
    m_exported =
        bus.registerObject(QString::fromLatin1(objectPath), this, QDBusConnection::ExportAdaptors);
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

bool AutomationService::DisplayActive() const {
    return m_model->displayActive();
}

bool AutomationService::Manual() const {
    return m_model->manual();
}

QString AutomationService::Mode() const {
    return m_model->manual() ? QString::fromUtf8(title(m_model->manualMode()).data()) : QString();
}

QString AutomationService::Started() const {
    const auto started = m_model->started();
    return started ? QString::fromStdString(Transfer::isoUtc(*started)) : QString();
}

QString AutomationService::Deadline() const {
    const auto deadline = m_model->manual() ? m_model->deadline() : std::nullopt;
    return deadline ? QString::fromStdString(Transfer::isoUtc(*deadline)) : QString();
}

bool AutomationService::AutomationPaused() const {
    return m_model->automationPaused();
}

QString AutomationService::Holder() const {
    return QString::fromStdString(m_model->assertions().systemHolder());
}

QString AutomationService::answer(bool began) {
    return began ? QStringLiteral("Wakeward is active.")
                 : QStringLiteral("Session could not start. Check the app for details.");
}

QString AutomationService::StartSession(const QVariantMap& options) {
    auto invalid = [this](const QString& why) {
        sendErrorReply(QDBusError::InvalidArgs, why);
        return QString();
    };
    static const QStringList known{QStringLiteral("minutes"), QStringLiteral("until"),
                                   QStringLiteral("app"),     QStringLiteral("untilStopped"),
                                   QStringLiteral("display"), QStringLiteral("mainsOnly"),
                                   QStringLiteral("profile")};
    for (auto it = options.begin(); it != options.end(); ++it)
        if (!known.contains(it.key()))
            return invalid(QStringLiteral("Unknown option \"%1\".").arg(it.key()));
    auto typed = [&](const char* key, QMetaType::Type type) {
        const auto it = options.find(QString::fromLatin1(key));
        return it == options.end() || it->metaType().id() == type;
    };
    if (!typed("minutes", QMetaType::LongLong) || !typed("until", QMetaType::QString) ||
        !typed("app", QMetaType::QString) || !typed("untilStopped", QMetaType::Bool) ||
        !typed("display", QMetaType::Bool) || !typed("mainsOnly", QMetaType::Bool) ||
        !typed("profile", QMetaType::QString))
        return invalid(QStringLiteral("An option has the wrong type."));
    const bool untilStopped = options.value(QStringLiteral("untilStopped")).toBool();
    const int endings = int(options.contains(QStringLiteral("minutes"))) +
                        int(options.contains(QStringLiteral("until"))) +
                        int(options.contains(QStringLiteral("app"))) + int(untilStopped);
    if (endings > 1)
        return invalid(QStringLiteral("Give at most one of minutes, until, app and untilStopped."));

    if (options.contains(QStringLiteral("profile"))) {
        if (options.size() > 1)
            return invalid(QStringLiteral("A profile brings its own settings; give it alone."));
        const std::string wanted =
            options.value(QStringLiteral("profile")).toString().toStdString();
        QStringList names;
        for (const Profile& profile : m_model->profiles()) {
            // Equal under case folding: each contains the other.
            if (Text::containsIgnoringCase(profile.name, wanted) &&
                Text::containsIgnoringCase(wanted, profile.name))
                return answer(m_model->start(profile));
            names << QString::fromStdString(profile.name);
        }
        sendErrorReply(
            QStringLiteral("org.fenmarch.Wakeward.Error.UnknownProfile"),
            names.isEmpty()
                ? QStringLiteral("There is no profile \"%1\"; no profiles are saved.")
                      .arg(QString::fromStdString(wanted))
                : QStringLiteral("There is no profile \"%1\". Profiles: %2.")
                      .arg(QString::fromStdString(wanted), names.join(QStringLiteral(", "))));
        return QString();
    }

    if (options.contains(QStringLiteral("until"))) {
        const auto clock =
            readClockTime(options.value(QStringLiteral("until")).toString().toStdString());
        if (!clock)
            return invalid(QStringLiteral("until needs a time from 00:00 to 23:59."));
        m_model->setMode(SessionMode::until);
        m_model->setClockTime(clock->first, clock->second);
    } else if (options.contains(QStringLiteral("app"))) {
        m_model->setMode(SessionMode::application);
        m_model->setAppID(options.value(QStringLiteral("app")).toString().toStdString());
    } else if (untilStopped) {
        m_model->setMode(SessionMode::indefinite);
    } else {
        m_model->setMode(SessionMode::duration);
        m_model->setMinutes(static_cast<double>(
            options.value(QStringLiteral("minutes"), qlonglong(60)).toLongLong()));
    }
    m_model->setKeepDisplay(options.value(QStringLiteral("display")).toBool());
    m_model->setAcOnly(options.value(QStringLiteral("mainsOnly")).toBool());
    return answer(m_model->start());
}

QString AutomationService::StartCommand(const QString& command, bool display) {
    // The hold must not outlive the command's runner, even one that was killed: the watch is in
    // place before the hold is taken, and a runner gone before the watch was is caught below.
    const QString caller = calledFromDBus() ? message().service() : QString();
    auto* watcher =
        caller.isEmpty()
            ? nullptr
            : new QDBusServiceWatcher(caller, connection(),
                                      QDBusServiceWatcher::WatchForUnregistration, this);
    m_model->setMode(SessionMode::indefinite);
    m_model->setKeepDisplay(display);
    m_model->setAcOnly(false);
    const std::string reason = "Manual \u2022 " + command.toStdString();
    const bool began = m_model->start(std::nullopt, reason);
    if (!began || !watcher) {
        delete watcher;
        return answer(began);
    }
    if (m_commandCaller)
        m_commandCaller->deleteLater();
    m_commandCaller = watcher;
    m_commandReason = reason;
    // A watch replaced by a newer command's may still report; only the current one counts.
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this, watcher] {
        if (m_commandCaller == watcher)
            endCommand("Command ended");
    });
    if (connection().interface() && !connection().interface()->isServiceRegistered(caller).value())
        endCommand("Command ended");
    return answer(m_model->manual() && m_model->reason() == reason);
}

void AutomationService::EndCommand() {
    if (m_commandCaller && calledFromDBus() &&
        m_commandCaller->watchedServices().contains(message().service()))
        endCommand("Command finished");
}

void AutomationService::endCommand(const std::string& reason) {
    // Possibly called from the watcher's own signal.
    if (m_commandCaller)
        m_commandCaller->deleteLater();
    m_commandCaller = nullptr;
    if (m_model->manual() && m_model->reason() == m_commandReason)
        m_model->stopManual(reason);
}

QString AutomationService::Start(qlonglong minutes) {
    m_model->setMode(SessionMode::duration);
    m_model->setMinutes(static_cast<double>(minutes));
    // Something else may already hold; success means this session began.
    return answer(m_model->start());
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
    // Announced together once the call or tick at hand is done: a stop changes ten properties,
    // and ten signals sent one by one came before the caller's answer on the bus.
    if (m_changed.empty())
        QMetaObject::invokeMethod(this, &AutomationService::announceChanges, Qt::QueuedConnection);
    if (std::find(m_changed.begin(), m_changed.end(), name) == m_changed.end())
        m_changed.push_back(name);
}

void AutomationService::announceChanges() {
    // QtDBus adaptors do not announce property changes; watchers rely on this signal.
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(objectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    QVariantMap changed;
    for (const char* name : std::exchange(m_changed, {}))
        changed.insert(QString::fromLatin1(name), property(name));
    signal << QString::fromLatin1(interfaceName) << changed << QStringList();
    QDBusConnection(m_connectionName).send(signal);
}

} // namespace wakeward
