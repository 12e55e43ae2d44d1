#pragma once

#include <string>
#include <vector>
#include <wakeward/Records.h>

namespace wakeward {

// A running application as the session picker and the rule editor list it.
struct RunningApp {
    int pid = 0;
    std::string identifier;
    std::string name;

    bool operator==(const RunningApp&) const = default;
};

// Where the controller gets the machine's state from.
class SignalSource {
public:
    SignalSource() = default;
    virtual ~SignalSource() = default;
    SignalSource(const SignalSource&) = delete;
    SignalSource& operator=(const SignalSource&) = delete;

    /// A complete new snapshot; the four costly readings are taken only when expensive is true.
    /// Never fails.
    virtual Snapshot read(bool expensive) = 0;
    /// The user's running applications that have a desktop entry, one per identifier, sorted by
    /// name.
    virtual std::vector<RunningApp> runningApps() = 0;
};

} // namespace wakeward
