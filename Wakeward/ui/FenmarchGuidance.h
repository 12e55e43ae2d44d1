#pragma once

#include <QObject>
#include <QSettings>
#include <QString>
#include <set>
#include <vector>

namespace wakeward {

// One page of the walkthrough; identified by its title.
struct FenmarchGuideStep {
    QString title;
    QString detail;
};

namespace fenmarch {

// User-defaults keys of the guidance preferences; every one is on until switched off.
inline const QString showWelcomeKey = QStringLiteral("fenmarch.showWelcome");
inline const QString showTourKey = QStringLiteral("fenmarch.showTour");
inline const QString showStepsKey = QStringLiteral("fenmarch.showSteps");

// The name of the notification that opens the walkthrough on demand.
inline const QString openTourNotification = QStringLiteral("fenmarch.openTour");

inline bool preference(const QString& key) {
    return QSettings().value(key, true).toBool();
}

inline void setPreference(const QString& key, bool on) {
    QSettings().setValue(key, on);
}

// The walkthrough of this application, in order.
std::vector<FenmarchGuideStep> wakewardTourSteps();

} // namespace fenmarch

// Delivers named in-process notifications to whoever listens, so that a button deep in a page
// can reach the window's walkthrough without knowing about it.
class FenmarchNotifications : public QObject {
    Q_OBJECT
public:
    static FenmarchNotifications& center();
    void post(const QString& name) { emit posted(name); }

signals:
    void posted(const QString& name);
};

// The applications whose welcome or walkthrough has been presented during this run.
class FenmarchLaunchSession {
public:
    // The process's own record.
    static FenmarchLaunchSession& shared();

    // Records `name`; false when it had been recorded already.
    bool markPresented(const QString& name) { return presented.insert(name).second; }

    std::set<QString> presented;
};

} // namespace wakeward
