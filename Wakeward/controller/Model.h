#pragma once

#include "controller/Clock.h"
#include "controller/FileDialogs.h"
#include "platform/Assertions.h"
#include "platform/Notifier.h"
#include "platform/SignalSource.h"
#include "platform/WorkspaceEvents.h"

#include <QObject>
#include <QPointer>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>
#include <wakeward/Calendar.h>
#include <wakeward/Records.h>

class QTimer;

namespace wakeward {

class Store;

using Texts = std::vector<std::string>;
using OptionalTexts = std::optional<std::vector<std::string>>;
using OptionalText = std::optional<std::string>;
using OptionalInstant = std::optional<Instant>;
using Profiles = std::vector<Profile>;
using Rules = std::vector<Rule>;
using Schedules = std::vector<Schedule>;
using History = std::vector<HistoryEvent>;

// Everything the controller needs from the outside world; tests pass fakes.
struct ModelServices {
    std::unique_ptr<Clock> clock;
    std::unique_ptr<PowerBackend> power;
    std::unique_ptr<SignalSource> signalSource;
    /// The database file; none when no folder for it could be found, and then nothing is persisted.
    std::optional<std::filesystem::path> storePath;
    std::unique_ptr<Notifier> notifier;
    /// The user's calendar and time zone, asked afresh for every tick and every start.
    std::function<Calendar()> calendar;
    std::unique_ptr<WorkspaceEvents> events;
    /// Other processes' holds for the inspector; absent when they cannot be listed.
    std::function<OptionalTexts()> otherAssertions;
    /// Open and save dialogs; none in headless mode, where the file commands do nothing.
    std::unique_ptr<FileDialogs> dialogs;
};

// The one controller: owns every piece of mutable state and decides what is held.
class Model : public QObject {
    Q_OBJECT
    Q_PROPERTY(wakeward::Profiles profiles READ profiles WRITE setProfiles NOTIFY profilesChanged)
    Q_PROPERTY(wakeward::Rules rules READ rules WRITE setRules NOTIFY rulesChanged)
    Q_PROPERTY(
        wakeward::Schedules schedules READ schedules WRITE setSchedules NOTIFY schedulesChanged)
    Q_PROPERTY(wakeward::History history READ history NOTIFY historyChanged)
    Q_PROPERTY(wakeward::Snapshot snapshot READ snapshot NOTIFY snapshotChanged)
    Q_PROPERTY(bool active READ active NOTIFY activeChanged)
    Q_PROPERTY(bool displayActive READ displayActive NOTIFY displayActiveChanged)
    Q_PROPERTY(std::string reason READ reason NOTIFY reasonChanged)
    Q_PROPERTY(wakeward::OptionalInstant started READ started NOTIFY startedChanged)
    Q_PROPERTY(wakeward::OptionalInstant deadline READ deadline NOTIFY deadlineChanged)
    Q_PROPERTY(wakeward::SessionMode mode READ mode WRITE setMode NOTIFY modeChanged)
    Q_PROPERTY(double minutes READ minutes WRITE setMinutes NOTIFY minutesChanged)
    Q_PROPERTY(wakeward::Instant clock READ clock WRITE setClock NOTIFY clockChanged)
    Q_PROPERTY(std::string appID READ appID WRITE setAppID NOTIFY appIDChanged)
    Q_PROPERTY(bool keepDisplay READ keepDisplay WRITE setKeepDisplay NOTIFY keepDisplayChanged)
    Q_PROPERTY(bool acOnly READ acOnly WRITE setAcOnly NOTIFY acOnlyChanged)
    Q_PROPERTY(bool manual READ manual NOTIFY manualChanged)
    Q_PROPERTY(bool automationPaused READ automationPaused WRITE setAutomationPaused NOTIFY
                   automationPausedChanged)
    Q_PROPERTY(wakeward::OptionalText message READ message WRITE setMessage NOTIFY messageChanged)
    Q_PROPERTY(
        wakeward::OptionalTexts otherAssertions READ otherAssertions NOTIFY otherAssertionsChanged)
    Q_PROPERTY(std::string ruleTrace READ ruleTrace NOTIFY ruleTraceChanged)
    Q_PROPERTY(wakeward::OptionalText driveURL READ driveURL NOTIFY driveURLChanged)
    Q_PROPERTY(bool driveEnabled READ driveEnabled WRITE setDriveEnabled NOTIFY driveEnabledChanged)
    Q_PROPERTY(std::string driveStatus READ driveStatus NOTIFY driveStatusChanged)
    Q_PROPERTY(
        double driveInterval READ driveInterval WRITE setDriveInterval NOTIFY driveIntervalChanged)
    Q_PROPERTY(bool notifications READ notifications NOTIFY notificationsChanged)
    Q_PROPERTY(double threshold READ threshold WRITE setThreshold NOTIFY thresholdChanged)
    Q_PROPERTY(qint64 retention READ retention WRITE setRetention NOTIFY retentionChanged)

public:
    /// Start-up: opens the store, reads the settings, notes a crashed hold, runs one tick and
    /// starts the timer and observers.
    explicit Model(ModelServices services, QObject* parent = nullptr);
    ~Model() override;

    /// The application's one controller, wired to the real services; defined by the executable's
    /// wiring.
    static Model& shared();

    const Profiles& profiles() const { return m_profiles; }
    const Rules& rules() const { return m_rules; }
    const Schedules& schedules() const { return m_schedules; }
    const History& history() const { return m_history; }
    const Snapshot& snapshot() const { return m_snapshot; }
    bool active() const { return m_active; }
    bool displayActive() const { return m_displayActive; }
    const std::string& reason() const { return m_reason; }
    OptionalInstant started() const { return m_started; }
    OptionalInstant deadline() const { return m_deadline; }
    SessionMode mode() const { return m_mode; }
    double minutes() const { return m_minutes; }
    Instant clock() const { return m_clock; }
    const std::string& appID() const { return m_appID; }
    bool keepDisplay() const { return m_keepDisplay; }
    bool acOnly() const { return m_acOnly; }
    bool manual() const { return m_manual; }
    bool automationPaused() const { return m_automationPaused; }
    const OptionalText& message() const { return m_message; }
    const OptionalTexts& otherAssertions() const { return m_otherAssertions; }
    const std::string& ruleTrace() const { return m_ruleTrace; }
    const OptionalText& driveURL() const { return m_driveURL; }
    bool driveEnabled() const { return m_driveEnabled; }
    const std::string& driveStatus() const { return m_driveStatus; }
    double driveInterval() const { return m_driveInterval; }
    bool notifications() const { return m_notifications; }
    double threshold() const { return m_threshold; }
    qint64 retention() const { return m_retention; }

    void setProfiles(Profiles profiles);
    void setRules(Rules rules);
    void setSchedules(Schedules schedules);
    void setMode(SessionMode mode);
    void setMinutes(double minutes);
    void setClock(Instant clock);
    void setAppID(std::string appID);
    void setKeepDisplay(bool keepDisplay);
    void setAcOnly(bool acOnly);
    void setAutomationPaused(bool paused);
    /// Shows a one-line message, or clears it with none.
    void setMessage(OptionalText message);
    void setThreshold(double threshold);
    void setRetention(qint64 days);

    /// Writes the saved settings and trims history; settings that could not be read at start-up are
    /// kept unless changed since.
    void save();
    /// Saves, then runs a pass, so a changed rule, schedule or safeguard applies at once.
    void commit();
    /// Pauses or resumes automation and runs a pass on it.
    void pauseAutomation(bool paused);
    /// Ends everything with "App quit", stops the tick and saves; the shell calls it once before
    /// the process ends.
    void shutdown();
    /// The running applications offered for an application session, sorted by name.
    std::vector<RunningApp> runningApps() const;
    /// Reads other processes' holds into otherAssertions.
    void refreshOtherAssertions();

    /// Starts a manual session from the form, or from the profile after copying it into the form;
    /// true only when that session began and is held (a refusal leaves the reason in message).
    /// `reason` names the session instead of its mode or profile (a command it runs for).
    bool start(const std::optional<Profile>& profile = std::nullopt, const std::string& reason = {});
    /// Sets the form's end time to the next moment at the hour and minute, local time.
    void setClockTime(int hour, int minute);
    /// How the manual session in force ends (meaningful while manual).
    SessionMode manualMode() const { return m_manualMode; }
    /// Ends the manual session and drops the holds; automation carries on.
    void stopManual(const std::string& reason);
    /// Ends the manual session, pauses automation, forgets rule grace and drops the holds.
    void endAll(const std::string& reason);

    /// Replaces snapshot with a new reading; the costly readings only when forced or an enabled
    /// rule needs them.
    void refreshSignals(bool forceExpensive);
    /// The automation tick: decides what is held and applies it.
    void refresh();

    /// Switches notifications off at once, or on once the notification service has answered.
    void requestNotifications(bool on);

    /// The battery state as stored with history records.
    std::string batteryText() const;
    /// The holder of Wakeward's own assertions, for the inspector's identifiers (read only).
    const Assertions& assertions() const { return m_assertions; }

    /// Tries a rule against the current signals and explains the result in ruleTrace; holds,
    /// sessions and history are never touched.
    void test(const Rule& rule);
    /// Writes the profiles to a JSON file the user chooses.
    void exportProfiles();
    /// Appends the profiles of a JSON file the user chooses, all or nothing, with new ids.
    void importProfiles();
    /// Writes the loaded history to a CSV file the user chooses.
    void exportHistory();
    /// Deletes the stored history, then the loaded list; a failure keeps both.
    void clearHistory();
    /// Asks for the file whose drive the keeper reads from.
    void selectDriveFile();
    void setDriveEnabled(bool enabled);
    void setDriveInterval(double seconds);
    /// Installs the dialogs once there are windows to own them.
    void setFileDialogs(std::unique_ptr<FileDialogs> dialogs);

signals:
    void profilesChanged();
    void rulesChanged();
    void schedulesChanged();
    void historyChanged();
    void snapshotChanged();
    void activeChanged();
    void displayActiveChanged();
    void reasonChanged();
    void startedChanged();
    void deadlineChanged();
    void modeChanged();
    void minutesChanged();
    void clockChanged();
    void appIDChanged();
    void keepDisplayChanged();
    void acOnlyChanged();
    void manualChanged();
    void automationPausedChanged();
    void messageChanged();
    void otherAssertionsChanged();
    void ruleTraceChanged();
    void driveURLChanged();
    void driveEnabledChanged();
    void driveStatusChanged();
    void driveIntervalChanged();
    void notificationsChanged();
    void thresholdChanged();
    void retentionChanged();

private:
    template <class T> bool update(T& field, T value, void (Model::*changed)());

    void load();
    // The tick's decision on the signals last read.
    void decide();
    bool manualPhase(Instant now);
    void automationPhase(Instant now);
    void setState(bool awake, bool display, const std::string& reason);
    void failState(const std::string& description, bool holdRecorded);
    // Puts the committed records of a change of hold on the disk: soon (once the event at hand
    // is done), or now when one is due.
    void flushSoon();
    void flushStore();
    // Appends a history record; false (with the message set) when it could not be saved.
    bool log(const std::string& type, const std::string& reason, double duration,
             History& written);
    void addToHistory(const History& written);
    void notify(const std::string& title, const std::string& body);
    void reloadHistory();
    void readDriveIfNeeded();
    void clearSession();
    void setManual(bool manual);
    void setDeadline(OptionalInstant deadline);

    std::unique_ptr<Clock> m_time;
    Assertions m_assertions;
    std::unique_ptr<SignalSource> m_signals;
    std::unique_ptr<Notifier> m_notifier;
    std::function<Calendar()> m_calendar;
    std::function<OptionalTexts()> m_listOthers;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<FileDialogs> m_dialogs;

    Profiles m_profiles;
    Rules m_rules;
    Schedules m_schedules;
    History m_history;
    Snapshot m_snapshot;
    bool m_flushDue = false;
    bool m_active = false;
    bool m_displayActive = false;
    std::string m_reason = "Idle sleep is allowed";
    OptionalInstant m_started;
    double m_startedUptime = 0; // the monotonic clock when m_started was taken
    OptionalInstant m_deadline;
    SessionMode m_mode = SessionMode::duration;
    double m_minutes = 60;
    Instant m_clock;
    std::string m_appID;
    bool m_keepDisplay = false;
    bool m_acOnly = false;
    bool m_manual = false;
    bool m_automationPaused = false;
    OptionalText m_message;
    OptionalTexts m_otherAssertions;
    std::string m_ruleTrace = "Test a rule to see its condition trace.";
    OptionalText m_driveURL;
    bool m_driveEnabled = false;
    std::string m_driveStatus =
        "Choose an ordinary file on the external drive. Reads never modify its content.";
    double m_driveInterval = 120;
    bool m_notifications = false;
    double m_threshold = 20;
    qint64 m_retention = 30;

    bool m_manualDisplay = false;
    bool m_manualAC = false;
    std::string m_manualApp;
    std::optional<double> m_monotonicEnd;
    SessionMode m_manualMode = SessionMode::duration;
    std::string m_manualReason = "Manual session";
    std::map<Uuid, double> m_eligibleSince; // uptime at which each rule began to match
    std::optional<Uuid> m_lastWinningID;
    // Uptime of the last drive read attempt; none until the first. Monotonic, so that a wall
    // clock set back does not stop the reads.
    std::optional<double> m_lastDriveRead;

    // Settings keys whose stored value was not read at start-up: saving them would replace
    // the user's data with defaults, so save() leaves them alone until the user sets them.
    std::set<std::string> m_unreadKeys;

    QTimer* m_timer = nullptr;
    QTimer* m_expiryTimer = nullptr;
    // Last, so that no event reaches a half-destroyed controller.
    std::unique_ptr<WorkspaceEvents> m_events;
};

} // namespace wakeward

Q_DECLARE_METATYPE(wakeward::Profiles)
Q_DECLARE_METATYPE(wakeward::Rules)
Q_DECLARE_METATYPE(wakeward::Schedules)
Q_DECLARE_METATYPE(wakeward::History)
Q_DECLARE_METATYPE(wakeward::Snapshot)
Q_DECLARE_METATYPE(wakeward::OptionalInstant)
Q_DECLARE_METATYPE(wakeward::Instant)
Q_DECLARE_METATYPE(wakeward::SessionMode)
Q_DECLARE_METATYPE(wakeward::OptionalText)
Q_DECLARE_METATYPE(wakeward::OptionalTexts)
