#pragma once

#include <functional>
#include <optional>
#include <string>

namespace wakeward {

// The desktop's notification service.
class Notifier {
public:
    /// Called once with no failure when the service answers, else with the failure's description.
    using CheckDone = std::function<void(std::optional<std::string> failure)>;

    Notifier() = default;
    virtual ~Notifier() = default;
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    /// Shows a notification at once; never waits for the service and never reports a failure.
    virtual void post(const std::string& title, const std::string& body) = 0;
    /// Asks whether the service answers; done runs once on the main thread (at once when there is
    /// no bus), never once the notifier is gone.
    virtual void check(CheckDone done) = 0;
};

} // namespace wakeward
