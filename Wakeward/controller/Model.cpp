#include "controller/Model.h"

#include "controller/DriveReader.h"
#include "controller/Transfer.h"

#include <QLocale>
#include <QTime>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>
#include <wakeward/Engine.h>
#include <wakeward/Store.h>

namespace wakeward {

namespace {

const std::string kBullet = " \u2022 ";
constexpr Instant kDistantPast{-63113904000.0};
constexpr int kTickMilliseconds = 15000;

const char* const kProfilesKey = "profiles";
const char* const kRulesKey = "rules";
const char* const kSchedulesKey = "schedules";
const char* const kThresholdKey = "threshold";
const char* const kRetentionKey = "retention";
const char* const kNotificationsKey = "notifications";
const char* const kActiveSessionKey = "activeSession";

std::string wholeNumber(double value) {
    double whole = std::trunc(value);
    if (whole == 0)
        whole = 0; // no "-0" for thresholds between -1 and 0
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", whole);
    return text;
}

// Store descriptions are whole sentences already; others may lack their full stop.
std::string sentence(std::string text) {
    if (!text.empty() && text.back() != '.')
        text += '.';
    return text;
}

std::string unreadMessage(const std::string& description) {
    return "Local settings could not be read: " + sentence(description) +
           " Nothing has been overwritten.";
}

bool needsExpensiveReadings(const Rule& rule) {
    return std::any_of(rule.conditions.begin(), rule.conditions.end(),
                       [](const Condition& condition) { return expensive(condition.kind); });
}

bool needsExpensiveReadings(const Rules& rules) {
    return std::any_of(rules.begin(), rules.end(), [](const Rule& rule) {
        return rule.enabled && needsExpensiveReadings(rule);
    });
}

} // namespace

Model::Model(ModelServices services, QObject* parent)
    : QObject(parent), m_time(std::move(services.clock)), m_assertions(std::move(services.power)),
      m_signals(std::move(services.signalSource)), m_notifier(std::move(services.notifier)),
      m_calendar(std::move(services.calendar)), m_listOthers(std::move(services.otherAssertions)),
      m_dialogs(std::move(services.dialogs)), m_profiles(Profile::defaults()),
      m_clock(m_time->now() + 3600), m_events(std::move(services.events)) {
    m_unreadKeys = {kProfilesKey,  kRulesKey,     kSchedulesKey,
                    kThresholdKey, kRetentionKey, kNotificationsKey};
    if (services.storePath) {
        auto store = Store::open(*services.storePath);
        if (store) {
            m_store = std::make_unique<Store>(std::move(store).value());
            load();
        } else {
            setMessage(unreadMessage(store.error().description));
        }
    } else {
        setMessage(
            "No home folder was found, so settings and history are not saved in this session.");
    }

    refresh();

    QPointer<Model> self(this);
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("tickTimer"));
    m_timer->setTimerType(Qt::CoarseTimer);
    m_timer->setInterval(kTickMilliseconds);
    connect(m_timer, &QTimer::timeout, this, &Model::refresh);
    m_timer->start();

    m_expiryTimer = new QTimer(this);
    m_expiryTimer->setObjectName(QStringLiteral("expiryTimer"));
    m_expiryTimer->setSingleShot(true);
    m_expiryTimer->setTimerType(Qt::PreciseTimer);
    connect(m_expiryTimer, &QTimer::timeout, this, &Model::refresh);

    if (m_events) {
        WorkspaceEvents::Handlers handlers;
        handlers.changed = [self] {
            if (self)
                self->refresh();
        };
        handlers.aboutToSleep = [self] {
            if (!self)
                return;
            self->endAll("Computer entered sleep");
            self->flushStore(); // on the disk before the machine sleeps
            // Nothing is held while asleep, but automation resumes after the wake.
            self->setAutomationPaused(false);
        };
        m_events->start(std::move(handlers));
    }
}

Model::~Model() {
    flushStore();
}

template <class T> bool Model::update(T& field, T value, void (Model::*changed)()) {
    if (field == value)
        return false;
    field = std::move(value);
    emit(this->*changed)();
    return true;
}

// ---- start-up, saving, shutdown ----------------------------------------------------------

void Model::load() {
    // The first failure is the one shown; later steps still run where skipping them would lose
    // a record.
    bool failed = false;
    auto fail = [this, &failed](const Error& error) {
        if (!failed)
            setMessage(unreadMessage(error.description));
        failed = true;
    };

    // Reads one setting into its field; a key read this way may be saved again.
    auto read = [this, &fail]<class T, class Field>(const char* key, Field& field, T fallback,
                                                    void (Model::*changed)()) {
        auto value = m_store->load<T>(key);
        if (!value) {
            fail(value.error());
            return false;
        }
        update(field, static_cast<Field>(value->value_or(std::move(fallback))), changed);
        m_unreadKeys.erase(key);
        return true;
    };
    const bool settingsRead =
        read(kProfilesKey, m_profiles, Profile::defaults(), &Model::profilesChanged) &&
        read(kRulesKey, m_rules, Rules{}, &Model::rulesChanged) &&
        read(kSchedulesKey, m_schedules, Schedules{}, &Model::schedulesChanged) &&
        read(kThresholdKey, m_threshold, 20.0, &Model::thresholdChanged) &&
        read(kRetentionKey, m_retention, std::int64_t{30}, &Model::retentionChanged) &&
        read(kNotificationsKey, m_notifications, false, &Model::notificationsChanged);

    // Trimming with a retention that was never read would delete history the user chose to keep.
    if (settingsRead) {
        if (auto trimmed = m_store->trim(m_retention, m_time->now()); !trimmed)
            fail(trimmed.error());
    }

    // A hold the previous process left behind is recorded whatever failed above: the next hold
    // would overwrite the marker and the interruption would be lost.
    auto activeSession = m_store->load<std::optional<Instant>>(kActiveSessionKey);
    if (!activeSession) {
        fail(activeSession.error());
    } else if (activeSession->has_value() && activeSession->value().has_value()) {
        const Instant now = m_time->now();
        const Instant began = *activeSession->value();
        HistoryEvent event(
            "Interrupted",
            "Previous session ended when the process exited. No manual assertion was restored.",
            // A clock set back since then must not give a negative length.
            "Not recorded", std::max(0.0, now - began), now);
        if (auto appended = m_store->append(event); !appended)
            fail(appended.error());
        else if (auto cleared = m_store->save(std::optional<Instant>(), kActiveSessionKey);
                 !cleared)
            fail(cleared.error());
    }

    auto history = m_store->history(kDistantPast);
    if (!history)
        return fail(history.error());
    update(m_history, std::move(history).value(), &Model::historyChanged);
}

void Model::save() {
    if (!m_store)
        return;
    auto saveKey = [this](const char* key, const auto& value) {
        if (m_unreadKeys.count(key) != 0)
            return true;
        auto saved = m_store->save(value, key);
        if (!saved)
            setMessage("Could not save local settings: " + saved.error().description);
        return saved.ok();
    };
    if (!saveKey(kProfilesKey, m_profiles) || !saveKey(kRulesKey, m_rules) ||
        !saveKey(kSchedulesKey, m_schedules) || !saveKey(kThresholdKey, m_threshold) ||
        !saveKey(kRetentionKey, static_cast<std::int64_t>(m_retention)) ||
        !saveKey(kNotificationsKey, m_notifications))
        return;
    // A retention that was never read is not the user's choice: trimming by it could delete
    // history they kept.
    if (m_unreadKeys.count(kRetentionKey) != 0)
        return;
    if (auto trimmed = m_store->trim(m_retention, m_time->now()); !trimmed)
        setMessage("Could not save local settings: " + trimmed.error().description);
    else if (*trimmed > 0)
        reloadHistory(); // what the retention trimmed leaves the list too
}

void Model::commit() {
    save();
    refresh();
}

void Model::pauseAutomation(bool paused) {
    setAutomationPaused(paused);
    refresh();
}

void Model::shutdown() {
    endAll("App quit");
    if (m_timer)
        m_timer->stop();
    save();
    flushStore(); // the event loop that would have done it has ended
}

std::vector<RunningApp> Model::runningApps() const {
    return m_signals->runningApps();
}

void Model::refreshOtherAssertions() {
    update(m_otherAssertions, m_listOthers ? m_listOthers() : OptionalTexts(),
           &Model::otherAssertionsChanged);
}

// ---- manual sessions ---------------------------------------------------------------------

void Model::setClockTime(int hour, int minute) {
    const auto next =
        m_calendar ? m_calendar().nextOccurrence(hour, minute, m_time->now()) : std::nullopt;
    // Without a calendar the start refuses with its own message.
    if (next)
        setClock(*next);
}

bool Model::start(const std::optional<Profile>& profile, const std::string& reason) {
    refreshSignals(false);
    const bool mainsOnly = profile ? profile->acOnly : m_acOnly;
    if (!Engine::safe(m_snapshot.ac, m_snapshot.battery, m_threshold, mainsOnly)) {
        setMessage("Session not started. Connect mains power, or charge above the " +
                   wholeNumber(m_threshold) +
                   "% safety threshold. Power information must be available.");
        return false;
    }

    if (profile) {
        setMode(SessionMode::duration);
        setMinutes(profile->minutes);
        setKeepDisplay(profile->display);
        setAcOnly(profile->acOnly);
    }

    const Instant now = m_time->now();
    OptionalInstant deadline;
    switch (m_mode) {
    case SessionMode::duration:
        if (!std::isfinite(m_minutes) || m_minutes < 1 || m_minutes > 1440) {
            setMessage("Choose a duration between 1 and 1,440 minutes.");
            return false;
        }
        deadline = now + m_minutes * 60;
        break;
    case SessionMode::until:
        deadline = m_calendar ? Engine::nextClock(m_clock, now, m_calendar()) : std::nullopt;
        if (!deadline) {
            setMessage("That local time is unavailable.");
            return false;
        }
        break;
    case SessionMode::indefinite:
        break;
    case SessionMode::application:
        if (m_appID.empty() || m_snapshot.running.count(m_appID) == 0) {
            setMessage("Choose an application that is currently running.");
            return false;
        }
        break;
    }

    if (m_manual)
        stopManual("Replaced by a new session");

    m_manualDisplay = m_keepDisplay;
    m_manualAC = m_acOnly;
    m_manualApp = m_appID;
    m_manualMode = m_mode;
    m_monotonicEnd = m_mode == SessionMode::duration
                         ? std::optional<double>(m_time->uptime() + m_minutes * 60)
                         : std::nullopt;
    setDeadline(deadline);
    m_manualReason = !reason.empty() ? reason
                     : profile       ? "Profile: " + profile->name
                                     : "Manual" + kBullet + std::string(title(m_mode));
    setManual(true);
    setAutomationPaused(false);

    m_expiryTimer->stop();
    if (deadline) {
        const double milliseconds = std::clamp(
            (*deadline - now) * 1000.0, 0.0, static_cast<double>(std::numeric_limits<int>::max()));
        m_expiryTimer->start(static_cast<int>(std::ceil(milliseconds)));
    }

    // The signals were read above for the safety check.
    decide();

    // The tick may have ended the session at once (a refused hold, a failed safeguard).
    const bool began = m_manual && m_active && m_reason == m_manualReason;
    if (began)
        notify("Session started", m_reason);
    return began;
}

void Model::clearSession() {
    setManual(false);
    setDeadline(std::nullopt);
    m_monotonicEnd.reset();
    if (m_expiryTimer)
        m_expiryTimer->stop();
    if (m_events)
        m_events->stopWatchingApplication();
}

void Model::stopManual(const std::string& reason) {
    clearSession();
    if (m_active)
        setState(false, false, reason);
}

void Model::endAll(const std::string& reason) {
    clearSession();
    setAutomationPaused(true);
    m_eligibleSince.clear();
    setState(false, false, reason);
}

// ---- the tick ----------------------------------------------------------------------------

void Model::refreshSignals(bool forceExpensive) {
    update(m_snapshot, m_signals->read(forceExpensive || needsExpensiveReadings(m_rules)),
           &Model::snapshotChanged);
}

void Model::refresh() {
    // The observers retry what they could not set up before (the sleep delay lock).
    if (m_events)
        m_events->tick();
    refreshSignals(false);
    decide();
}

void Model::decide() {
    const Instant now = m_time->now();
    // A manual session overrides automation.
    if (!manualPhase(now)) {
        if (m_automationPaused)
            setState(false, false, "Automation paused" + kBullet + "idle sleep allowed");
        else
            automationPhase(now);
    }
    readDriveIfNeeded();
}

bool Model::manualPhase(Instant now) {
    if (!m_manual)
        return false;

    if (m_monotonicEnd) {
        const double uptime = m_time->uptime();
        if (uptime >= *m_monotonicEnd)
            stopManual("Session time reached");
        else
            // The length is measured on the monotonic clock; the shown end follows the wall clock.
            setDeadline(now + (*m_monotonicEnd - uptime));
    } else if (m_deadline && now >= *m_deadline) {
        stopManual("Session time reached");
    }

    if (m_manual && m_manualMode == SessionMode::application &&
        m_snapshot.running.count(m_manualApp) == 0)
        stopManual("Selected application closed");

    if (m_manual && !Engine::safe(m_snapshot.ac, m_snapshot.battery, m_threshold, m_manualAC))
        stopManual("Battery or mains-power safeguard");

    if (!m_manual)
        return false;

    setState(true, m_manualDisplay, m_manualReason);
    // A refused hold ends the session; its application is no longer of interest.
    if (!m_manual)
        return true;
    if (m_manualMode == SessionMode::application && m_events)
        m_events->watchApplication(m_manualApp);
    return true;
}

void Model::automationPhase(Instant now) {
    std::vector<const Rule*> candidates;
    for (const Rule& rule : m_rules) {
        if (!rule.enabled)
            continue;
        const bool wasWinning = m_lastWinningID && *m_lastWinningID == rule.id;
        if (!Engine::test(rule, m_snapshot, wasWinning).matches) {
            m_eligibleSince.erase(rule.id);
            continue;
        }
        // Grace is a length of time, so a wall clock set forward or back must not change it.
        const double uptime = m_time->uptime();
        const double since = m_eligibleSince.try_emplace(rule.id, uptime).first->second;
        if (uptime - since >= rule.grace)
            candidates.push_back(&rule);
    }

    // Canonical identifier texts compare like their bytes: fixed-width upper-case hex with
    // hyphens at fixed places, so the byte order is the text order.
    std::stable_sort(candidates.begin(), candidates.end(), [](const Rule* a, const Rule* b) {
        if (a->priority != b->priority)
            return a->priority > b->priority;
        return a->id < b->id;
    });
    const Rule* winner = candidates.empty() ? nullptr : candidates.front();
    m_lastWinningID = winner ? std::optional<Uuid>(winner->id) : std::nullopt;

    if (winner && winner->action == RuleAction::allow) {
        setState(false, false, "Rule allows sleep: " + winner->name);
        return;
    }
    if (winner) {
        if (Engine::safe(m_snapshot.ac, m_snapshot.battery, m_threshold, false))
            setState(true, winner->display, "Rule: " + winner->name);
        else
            setState(false, false, "Battery safeguard blocked automation");
        return;
    }

    const Schedule* applying = nullptr;
    if (m_calendar && std::any_of(m_schedules.begin(), m_schedules.end(),
                                  [](const Schedule& s) { return s.enabled; })) {
        const Calendar calendar = m_calendar();
        for (const Schedule& schedule : m_schedules) {
            if (schedule.contains(now, calendar) &&
                Engine::safe(m_snapshot.ac, m_snapshot.battery, m_threshold, schedule.acOnly)) {
                applying = &schedule;
                break;
            }
        }
    }
    if (applying)
        setState(true, applying->display, "Schedule: " + applying->name);
    else
        setState(false, false, "Idle sleep is allowed");
}

// ---- power state, history, notifications -------------------------------------------------

void Model::setState(bool awake, bool display, const std::string& reason) {
    const bool wasActive = m_active;
    const std::string oldReason = m_reason;
    const OptionalInstant oldStarted = m_started;

    if (auto refused = m_assertions.apply(awake, display, "Wakeward" + kBullet + reason))
        return failState(refused->description, wasActive);

    update(m_active, m_assertions.system() != 0, &Model::activeChanged);
    update(m_displayActive, m_assertions.display() != 0, &Model::displayActiveChanged);
    update(m_reason, reason, &Model::reasonChanged);

    const bool reasonChanged = oldReason != reason;
    const bool ending = wasActive && (!m_active || reasonChanged);
    const bool starting = m_active && (!wasActive || reasonChanged);
    // Records are appended as they happen, and the list takes them in without reading back the
    // whole history; after a failed append only the store knows what it kept, so it is read.
    History written;
    bool unsure = false;
    std::optional<std::string> failure;
    // The records and the marker of the running hold are kept together, and reach the disk in
    // one flush once the event at hand is done: the answer to a start or stop goes out first.
    std::optional<Store::Transaction> batch;
    if (m_store && (ending || starting)) {
        if (auto begun = m_store->begin(Store::Flush::later))
            batch.emplace(std::move(begun).value());
    }
    bool ended = false;
    if (ending) {
        // Measured on the monotonic clock: a wall clock set during the hold (by the user, or by
        // time synchronisation) would otherwise give a wrong or even negative length.
        unsure |=
            !log("Ended", oldReason + kBullet + reason,
                 oldStarted ? std::max(0.0, m_time->uptime() - m_startedUptime) : 0.0, written);
        update(m_started, OptionalInstant(), &Model::startedChanged);
        if (m_store) {
            if (auto saved = m_store->save(std::optional<Instant>(), kActiveSessionKey); !saved)
                failure = saved.error().description;
        }
        ended = !failure;
    }
    if (starting && !failure) {
        m_startedUptime = m_time->uptime();
        update(m_started, OptionalInstant(m_time->now()), &Model::startedChanged);
        unsure |= !log("Started", reason, 0, written);
        if (m_store) {
            if (auto saved = m_store->save(m_started, kActiveSessionKey); !saved)
                failure = saved.error().description;
        }
    }
    // Whether the store may still claim a hold that is no longer held.
    bool staleMarker = false;
    if (batch) {
        if (auto committed = batch->commit(); !committed) {
            // Nothing of it was kept: not the records, not the marker, which still names the hold
            // that was running before.
            unsure = true;
            ended = false;
            staleMarker = wasActive;
            failure = failure.value_or(committed.error().description);
        } else {
            flushSoon();
        }
    }
    if (ended)
        notify("Session ended", reason);
    if (unsure)
        reloadHistory();
    else if (!written.empty())
        addToHistory(written);
    if (failure)
        failState(*failure, staleMarker);
}

void Model::flushSoon() {
    if (m_flushDue)
        return;
    m_flushDue = true;
    QMetaObject::invokeMethod(this, &Model::flushStore, Qt::QueuedConnection);
}

void Model::flushStore() {
    if (!m_flushDue || !m_store)
        return;
    m_flushDue = false;
    if (auto flushed = m_store->flush(); !flushed)
        setMessage("Could not save history: " + flushed.error().description);
}

void Model::failState(const std::string& description, bool holdRecorded) {
    m_assertions.release();
    update(m_active, false, &Model::activeChanged);
    update(m_displayActive, false, &Model::displayActiveChanged);
    clearSession();
    update(m_started, OptionalInstant(), &Model::startedChanged);
    update(m_reason, std::string("Session unavailable"), &Model::reasonChanged);
    // Nothing is held any more, so the store must not go on claiming the hold that was running:
    // the next launch would report an interruption that never happened. Should this save
    // fail as well, the holder's message is the one worth showing.
    if (holdRecorded && m_store)
        (void)m_store->save(std::optional<Instant>(), kActiveSessionKey);
    setMessage(description);
}

bool Model::log(const std::string& type, const std::string& reason, double duration,
                History& written) {
    if (!m_store)
        return true;
    const HistoryEvent event(type, reason, batteryText(), duration, m_time->now());
    if (auto appended = m_store->append(event); !appended) {
        setMessage("Could not save history: " + appended.error().description);
        return false;
    }
    written.push_back(event);
    return true;
}

// Takes in records just written (at least one), in the store's own order: newest date first, and of
// one date the last written first; the store keeps at most `historyLimit`, dropping from the end.
void Model::addToHistory(const History& written) {
    // In place: a copy of a full list to compare with would cost more than the write itself.
    for (const HistoryEvent& event : written) {
        const auto at =
            std::find_if(m_history.begin(), m_history.end(),
                         [&](const HistoryEvent& older) { return older.date <= event.date; });
        m_history.insert(at, event);
    }
    if (m_history.size() > Store::historyLimit)
        m_history.resize(Store::historyLimit);
    emit historyChanged();
}

void Model::reloadHistory() {
    if (!m_store) {
        update(m_history, History(), &Model::historyChanged);
        return;
    }
    auto history = m_store->history(kDistantPast);
    if (!history) {
        setMessage("Could not save history: " + history.error().description);
        return;
    }
    update(m_history, std::move(history).value(), &Model::historyChanged);
}

std::string Model::batteryText() const {
    if (m_snapshot.battery) {
        char text[400];
        std::snprintf(text, sizeof text, "%.0f%% battery", *m_snapshot.battery);
        return text;
    }
    if (m_snapshot.ac == true)
        return "Mains power" + kBullet + "no battery reported";
    return "Power source unknown";
}

void Model::notify(const std::string& title, const std::string& body) {
    if (m_notifications && m_notifier)
        m_notifier->post(title, body);
}

void Model::requestNotifications(bool on) {
    if (!on) {
        m_unreadKeys.erase(kNotificationsKey);
        update(m_notifications, false, &Model::notificationsChanged);
        save();
        return;
    }
    if (!m_notifier) {
        setMessage("Notifications are off in the system. Sleep controls still work.");
        return;
    }
    QPointer<Model> self(this);
    m_notifier->check([self](std::optional<std::string> failure) {
        if (!self)
            return;
        self->m_unreadKeys.erase(kNotificationsKey);
        self->update(self->m_notifications, !failure, &Model::notificationsChanged);
        self->save();
        if (failure)
            self->setMessage(failure->empty()
                                 ? "Notifications are off in the system. Sleep controls still work."
                                 : *failure);
    });
}

// ---- published fields --------------------------------------------------------------------

void Model::setProfiles(Profiles profiles) {
    m_unreadKeys.erase(kProfilesKey);
    update(m_profiles, std::move(profiles), &Model::profilesChanged);
}

void Model::setRules(Rules rules) {
    m_unreadKeys.erase(kRulesKey);
    update(m_rules, std::move(rules), &Model::rulesChanged);
}

void Model::setSchedules(Schedules schedules) {
    m_unreadKeys.erase(kSchedulesKey);
    update(m_schedules, std::move(schedules), &Model::schedulesChanged);
}

void Model::setThreshold(double threshold) {
    m_unreadKeys.erase(kThresholdKey);
    update(m_threshold, threshold, &Model::thresholdChanged);
}

void Model::setRetention(qint64 days) {
    m_unreadKeys.erase(kRetentionKey);
    update(m_retention, days, &Model::retentionChanged);
}

void Model::setMode(SessionMode mode) {
    update(m_mode, mode, &Model::modeChanged);
}
void Model::setMinutes(double minutes) {
    update(m_minutes, minutes, &Model::minutesChanged);
}
void Model::setClock(Instant clock) {
    update(m_clock, clock, &Model::clockChanged);
}
void Model::setAppID(std::string appID) {
    update(m_appID, std::move(appID), &Model::appIDChanged);
}
void Model::setKeepDisplay(bool keepDisplay) {
    update(m_keepDisplay, keepDisplay, &Model::keepDisplayChanged);
}
void Model::setAcOnly(bool acOnly) {
    update(m_acOnly, acOnly, &Model::acOnlyChanged);
}
void Model::setAutomationPaused(bool paused) {
    update(m_automationPaused, paused, &Model::automationPausedChanged);
}
void Model::setMessage(OptionalText message) {
    // A repeated message is announced again, so that a view that cleared it shows it anew.
    m_message = std::move(message);
    emit messageChanged();
}
void Model::setManual(bool manual) {
    update(m_manual, manual, &Model::manualChanged);
}
void Model::setDeadline(OptionalInstant deadline) {
    update(m_deadline, deadline, &Model::deadlineChanged);
}

// ---- rule live test ----------------------------------------------------------------------

void Model::test(const Rule& rule) {
    refreshSignals(needsExpensiveReadings(rule));
    const Evaluation evaluation = Engine::test(rule, m_snapshot, false);
    std::string text = evaluation.matches ? "Conditions match. No assertion created."
                                          : "Conditions do not match. No assertion created.";
    for (const std::string& line : evaluation.trace)
        text += "\n" + line;
    std::string others;
    for (const Rule& other : m_rules) {
        if (!other.enabled || other.id == rule.id ||
            !Engine::test(other, m_snapshot, false).matches)
            continue;
        if (!others.empty())
            others += ", ";
        others += other.name + " (priority " + std::to_string(other.priority) + ")";
    }
    if (!others.empty())
        text += "\nOther matching rules: " + others;
    text += "\nManual sessions take precedence; the highest-priority matching rule wins over "
            "schedules. "
            "Battery safeguards always apply.";
    update(m_ruleTrace, std::move(text), &Model::ruleTraceChanged);
}

// ---- profiles and history files ----------------------------------------------------------

void Model::exportProfiles() {
    if (!m_dialogs)
        return;
    const auto destination = m_dialogs->saveFile("Wakeward Profiles.json");
    if (!destination)
        return;
    auto text = Transfer::profilesJson(m_profiles);
    if (!text) {
        setMessage(text.error().description);
        return;
    }
    if (auto written = Transfer::writeFileAtomically(*destination, *text); !written)
        setMessage(written.error().description);
}

void Model::importProfiles() {
    if (!m_dialogs)
        return;
    const auto source = m_dialogs->openFile("Import profiles");
    if (!source)
        return;
    auto text = Transfer::readFile(*source, Transfer::maxProfilesFileBytes);
    if (!text) {
        setMessage("Profiles were not imported: " + text.error().description);
        return;
    }
    auto imported = Transfer::importableProfiles(*text);
    if (!imported) {
        setMessage("Profiles were not imported: " + imported.error().description);
        return;
    }
    Profiles profiles = m_profiles;
    profiles.insert(profiles.end(), imported->begin(), imported->end());
    update(m_profiles, std::move(profiles), &Model::profilesChanged);
    // The user chose this list: it may now replace a stored value that could not be read.
    m_unreadKeys.erase(kProfilesKey);
    save();
}

void Model::exportHistory() {
    if (!m_dialogs)
        return;
    const auto destination = m_dialogs->saveFile("Wakeward History.csv");
    if (!destination)
        return;
    if (auto written = Transfer::writeFileAtomically(*destination, Transfer::historyCsv(m_history));
        !written)
        setMessage(written.error().description);
}

void Model::clearHistory() {
    std::optional<Error> wipeFailure;
    if (m_store) {
        auto cleared = m_store->clearHistory();
        if (!cleared) {
            setMessage(cleared.error().description);
            return;
        }
        wipeFailure = cleared->wipeFailure;
    }
    // The events are gone from the store even when their old copies could not yet be wiped: the
    // list must not go on showing them.
    update(m_history, History(), &Model::historyChanged);
    if (wipeFailure)
        setMessage(wipeFailure->description);
}

// ---- drive keeper ------------------------------------------------------------------------

void Model::selectDriveFile() {
    if (!m_dialogs)
        return;
    const auto chosen = m_dialogs->openFile("Choose a small file on your external drive");
    if (!chosen)
        return;
    update(m_driveURL, OptionalText(chosen->string()), &Model::driveURLChanged);
    update(m_driveStatus, "Ready \u2022 read-only access to " + chosen->filename().string(),
           &Model::driveStatusChanged);
    m_lastDriveRead.reset();
}

void Model::setDriveEnabled(bool enabled) {
    // Without a file there is nothing to read; the switch stays off.
    if (enabled && !m_driveURL)
        return;
    update(m_driveEnabled, enabled, &Model::driveEnabledChanged);
}

void Model::setDriveInterval(double seconds) {
    update(m_driveInterval, seconds, &Model::driveIntervalChanged);
}

void Model::setFileDialogs(std::unique_ptr<FileDialogs> dialogs) {
    m_dialogs = std::move(dialogs);
}

void Model::readDriveIfNeeded() {
    if (!m_active || !m_driveEnabled || !m_driveURL)
        return;
    const double interval = std::isnan(m_driveInterval) ? 60.0 : std::max(m_driveInterval, 60.0);
    const double uptime = m_time->uptime();
    if (m_lastDriveRead && uptime - *m_lastDriveRead < interval)
        return;
    // Set before touching the file, so a read that fails or hangs is not retried at once.
    m_lastDriveRead = uptime;
    if (auto read = touchDriveFile(*m_driveURL); !read) {
        update(m_driveEnabled, false, &Model::driveEnabledChanged);
        update(m_driveStatus, "Read stopped: " + read.error().description,
               &Model::driveStatusChanged);
        return;
    }
    const auto minute = m_calendar ? m_calendar().minuteOfDay(m_time->now()) : std::nullopt;
    const QString time =
        minute ? QLocale::system().toString(QTime(*minute / 60, *minute % 60), QLocale::ShortFormat)
               : QString();
    update(m_driveStatus,
           "Read completed at " + time.toStdString() +
               ". Firmware and caching can still allow drive sleep.",
           &Model::driveStatusChanged);
}

} // namespace wakeward
