#pragma once

#include "../LogSyncs.h"
#include "Fakes.h"
#include "controller/Model.h"

#include <QCoreApplication>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include <wakeward/Store.h>

namespace wakeward::test {

// One controller wired to fakes, with a private store folder that outlives the controllers
// built from it, so a test can "restart the application" by building another.
struct ModelRig {
    std::shared_ptr<FakeClock::Time> time = std::make_shared<FakeClock::Time>();
    std::shared_ptr<FakePowerBackend::Log> power = std::make_shared<FakePowerBackend::Log>();
    std::shared_ptr<FakeSignalSource::State> source = std::make_shared<FakeSignalSource::State>();
    std::shared_ptr<FakeNotifier::State> notes = std::make_shared<FakeNotifier::State>();
    std::shared_ptr<FakeWorkspaceEvents::State> events =
        std::make_shared<FakeWorkspaceEvents::State>();
    QTemporaryDir dir;
    std::optional<std::filesystem::path> storePath;
    std::string zone = "Europe/Berlin";
    /// Other processes' holds for the inspector; unset means they cannot be listed.
    std::function<OptionalTexts()> otherAssertions;

    ModelRig() {
        // Timers need an application object; one lives for the whole test program.
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "wakeward-tests";
            static char* argv[] = {name, nullptr};
            static QCoreApplication app(argc, argv);
        }
        LogSyncs::install(); // before any store opens
        storePath = std::filesystem::path(dir.path().toStdString()) / "fenmarch" / "Wakeward" /
                    "sleep.sqlite";
        source->snapshot.ac = true;
    }

    std::unique_ptr<Model> make() {
        ModelServices services;
        services.clock = std::make_unique<FakeClock>(time);
        services.power = std::make_unique<FakePowerBackend>(power);
        services.signalSource = std::make_unique<FakeSignalSource>(source);
        services.storePath = storePath;
        services.notifier = std::make_unique<FakeNotifier>(notes);
        services.calendar = [zone = zone] { return Calendar::forZone(zone).value(); };
        services.events = std::make_unique<FakeWorkspaceEvents>(events);
        services.otherAssertions = otherAssertions;
        return std::make_unique<Model>(std::move(services));
    }

    Store store() const { return Store::open(*storePath).value(); }

    /// The creation calls the backend has seen.
    long creations() const {
        return std::count_if(power->calls.begin(), power->calls.end(),
                             [](const std::string& call) { return call.rfind("create ", 0) == 0; });
    }
};

/// The records of one type, newest first, as "reason (duration s)" joined by "; ".
inline std::string recorded(const Model& model, const std::string& type) {
    std::string text;
    for (const HistoryEvent& event : model.history())
        if (event.type == type)
            text += (text.empty() ? "" : "; ") + event.reason + " (" +
                    QString::number(event.duration).toStdString() + " s)";
    return text;
}

/// What the views show of the session, in one line.
inline std::string sessionState(const Model& model) {
    return model.reason() + (model.active() ? " | held" : " | not held") +
           (model.displayActive() ? " +display" : "") + (model.started() ? " | started" : "") +
           (model.manual() ? " | manual" : "") + (model.deadline() ? " | deadline" : "") +
           (model.automationPaused() ? " | paused" : "");
}

/// A rule that matches whenever mains power is on, with no grace.
inline Rule mainsRule(std::string name, std::int64_t priority = 10,
                      RuleAction action = RuleAction::awake) {
    Rule rule;
    rule.name = std::move(name);
    rule.enabled = true;
    rule.priority = priority;
    rule.action = action;
    rule.grace = 0;
    return rule;
}

/// An enabled one-off schedule whose window holds `now`.
inline Schedule scheduleAround(Instant now, std::string name, bool acOnly = false) {
    Schedule schedule(now - 600);
    schedule.name = std::move(name);
    schedule.enabled = true;
    schedule.recurring = false;
    schedule.end = now + 3600;
    schedule.acOnly = acOnly;
    return schedule;
}

/// Starts a manual session that lasts until stopped; true when it started.
inline bool holdUntilStopped(Model& model) {
    model.setMode(SessionMode::indefinite);
    return model.start();
}

// A test of one controller on a fresh rig.
class ModelTest : public ::testing::Test {
protected:
    ModelRig rig;
    std::unique_ptr<Model> model = rig.make();
};

} // namespace wakeward::test
