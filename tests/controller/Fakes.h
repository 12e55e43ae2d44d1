#pragma once

#include "../platform/FakePowerBackend.h"
#include "controller/Clock.h"
#include "controller/FileDialogs.h"
#include "platform/Notifier.h"
#include "platform/PowerBackend.h"
#include "platform/SignalSource.h"
#include "platform/WorkspaceEvents.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wakeward::test {

// Wall-clock and monotonic time that only move when the test says so.
class FakeClock : public Clock {
public:
    struct Time {
        Instant now = Instant::fromUnix(1'800'000'000);
        double uptime = 5000;

        /// Both clocks move on together, as when time simply passes.
        void advance(double seconds) {
            now = now + seconds;
            uptime += seconds;
        }
        /// Only the wall clock jumps, as when the user sets the clock.
        void jump(double seconds) { now = now + seconds; }
    };

    explicit FakeClock(std::shared_ptr<Time> time) : m_time(std::move(time)) {}
    Instant now() const override { return m_time->now; }
    double uptime() const override { return m_time->uptime; }

private:
    std::shared_ptr<Time> m_time;
};

// Hands out whatever snapshot the test has laid out and counts the costly readings.
class FakeSignalSource : public SignalSource {
public:
    struct State {
        Snapshot snapshot;
        std::vector<RunningApp> apps;
        int reads = 0;
        int expensiveReads = 0;
    };

    explicit FakeSignalSource(std::shared_ptr<State> state) : m_state(std::move(state)) {}
    Snapshot read(bool expensive) override {
        ++m_state->reads;
        if (expensive)
            ++m_state->expensiveReads;
        return m_state->snapshot;
    }
    std::vector<RunningApp> runningApps() override { return m_state->apps; }

private:
    std::shared_ptr<State> m_state;
};

// Records posted notifications; the availability check is answered by the test.
class FakeNotifier : public Notifier {
public:
    struct State {
        std::vector<std::pair<std::string, std::string>> posted;
        CheckDone pendingCheck;
    };

    explicit FakeNotifier(std::shared_ptr<State> state) : m_state(std::move(state)) {}
    void post(const std::string& title, const std::string& body) override {
        m_state->posted.emplace_back(title, body);
    }
    void check(CheckDone done) override { m_state->pendingCheck = std::move(done); }

private:
    std::shared_ptr<State> m_state;
};

// Lets the test fire the desktop's events and see which application is watched.
class FakeWorkspaceEvents : public WorkspaceEvents {
public:
    struct State {
        Handlers handlers;
        bool started = false;
        std::optional<std::string> watched;
        int ticks = 0;
    };

    explicit FakeWorkspaceEvents(std::shared_ptr<State> state) : m_state(std::move(state)) {}
    void start(Handlers handlers) override {
        m_state->handlers = std::move(handlers);
        m_state->started = true;
    }
    void watchApplication(const std::string& identifier) override { m_state->watched = identifier; }
    void stopWatchingApplication() override { m_state->watched.reset(); }
    void tick() override { ++m_state->ticks; }

private:
    std::shared_ptr<State> m_state;
};

// Answers each file dialog with the next queued path, or cancels when none is left.
class QueuedDialogs final : public FileDialogs {
public:
    explicit QueuedDialogs(std::shared_ptr<std::deque<std::filesystem::path>> answers)
        : m_answers(std::move(answers)) {}
    std::optional<std::filesystem::path> openFile(const std::string&) override { return next(); }
    std::optional<std::filesystem::path> saveFile(const std::string&) override { return next(); }

private:
    std::optional<std::filesystem::path> next() {
        if (m_answers->empty())
            return std::nullopt;
        auto path = m_answers->front();
        m_answers->pop_front();
        return path;
    }
    std::shared_ptr<std::deque<std::filesystem::path>> m_answers;
};

} // namespace wakeward::test
