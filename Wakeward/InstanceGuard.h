#pragma once

#include <QString>
#include <vector>

namespace wakeward {

// Makes sure only one Wakeward runs for the user: it owns the session-bus name and holds an
// exclusive lock file, so two instances never share the database even without a bus.
class InstanceGuard {
public:
    enum class Outcome { first, anotherRuns };

    InstanceGuard() = default;
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // Takes an exclusive lock file (several may be taken); taken before the database is opened.
    Outcome lock(const QString& lockPath);

    // Takes the session-bus name once the automation object is exported, so that no caller
    // ever finds the name without the object, and before the database is opened. Without a
    // session bus there is nothing to take.
    Outcome claimBusName();

    // Whether the bus name is ours (false without a session bus).
    bool ownsBusName() const { return m_ownsName; }

    // `$XDG_RUNTIME_DIR/wakeward.lock`, or `fallback` when there is no runtime folder.
    static QString defaultLockPath(const QString& fallback);

private:
    std::vector<int> m_lockFds;
    bool m_ownsName = false;
};

} // namespace wakeward
