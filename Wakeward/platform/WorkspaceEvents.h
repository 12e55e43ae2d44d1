#pragma once

#include <functional>
#include <string>

namespace wakeward {

// Pushes the desktop's events that call for a new look at what is held.
class WorkspaceEvents {
public:
    struct Handlers {
        /// An application launched, quit or came to the front, a volume came or went, or the
        /// machine woke.
        std::function<void()> changed;
        /// The machine is about to sleep; everything must be dropped before this returns.
        std::function<void()> aboutToSleep;
    };

    WorkspaceEvents() = default;
    virtual ~WorkspaceEvents() = default;
    WorkspaceEvents(const WorkspaceEvents&) = delete;
    WorkspaceEvents& operator=(const WorkspaceEvents&) = delete;

    /// Starts delivering events to the handlers, always on the main thread.
    virtual void start(Handlers handlers) = 0;
    /// Reports the exit of the processes of the application with this identifier as a change; cheap
    /// when already watched.
    virtual void watchApplication(const std::string& identifier) = 0;
    /// Stops watching the application's processes.
    virtual void stopWatchingApplication() = 0;
    /// Called on every pass of the tick, so what could not be set up earlier (such as the delay
    /// that lets the holds go before sleep) is tried again.
    virtual void tick() {}
};

} // namespace wakeward
