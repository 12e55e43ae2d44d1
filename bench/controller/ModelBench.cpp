#include "../../tests/controller/Fakes.h"
#include "controller/Model.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <wakeward/CurrentCalendar.h>

using namespace wakeward;
using namespace wakeward::test;
namespace fs = std::filesystem;

namespace {

// A controller with 20 enabled rules and 10 enabled schedules on fakes, its store in a fresh
// temporary folder. A pass that changes nothing touches neither the store nor the holder.
class Rig {
public:
    Rig(bool ruleWins, bool hostCalendar) {
        std::string pattern = (fs::temp_directory_path() / "wakeward-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            m_folder = pattern;

        auto source = std::make_shared<FakeSignalSource::State>();
        source->snapshot.ac = true;
        source->snapshot.battery = 80;
        source->snapshot.running = {"bash", "firefox-esr", "rsync", "systemd", "vlc"};
        source->snapshot.frontmost = "firefox-esr";
        source->snapshot.volumes = {"5555-EEEE"};
        source->snapshot.usb = {"USB Receiver", "Keyboard"};
        source->snapshot.audio = "Built-in Audio Analog Stereo";
        source->snapshot.cpu = 12;
        source->snapshot.traffic = 30;

        ModelServices services;
        auto time = std::make_shared<FakeClock::Time>();
        services.clock = std::make_unique<FakeClock>(time);
        services.power =
            std::make_unique<FakePowerBackend>(std::make_shared<FakePowerBackend::Log>());
        services.signalSource = std::make_unique<FakeSignalSource>(source);
        services.storePath = m_folder / "sleep.sqlite";
        services.notifier = std::make_unique<FakeNotifier>(std::make_shared<FakeNotifier::State>());
        if (hostCalendar) {
            services.calendar = [] { return currentCalendar(); };
        } else {
            const Calendar berlin = Calendar::forZone("Europe/Berlin").value();
            services.calendar = [berlin] { return berlin; };
        }
        services.events =
            std::make_unique<FakeWorkspaceEvents>(std::make_shared<FakeWorkspaceEvents::State>());
        m_model = std::make_unique<Model>(std::move(services));

        const Instant now = time->now;
        Rules rules;
        for (int i = 0; i < 20; ++i) {
            Rule rule;
            rule.name = "Rule " + std::to_string(i);
            rule.enabled = true;
            rule.priority = i % 5;
            rule.grace = 0;
            rule.mode = i % 2 == 0 ? MatchMode::all : MatchMode::any;
            // Conditions that read every kind of signal, none of them met.
            rule.conditions = {Condition(SignalKind::runningApp, "blender"),
                               Condition(SignalKind::usb, "Camera " + std::to_string(i)),
                               Condition(SignalKind::cpu, "90"),
                               Condition(SignalKind::volume, "1234-ABCD")};
            rules.push_back(rule);
        }
        if (ruleWins) {
            rules[7].mode = MatchMode::any;
            rules[7].conditions.push_back(Condition(SignalKind::frontmostApp, "firefox-esr"));
        }
        m_model->setRules(rules);

        Schedules schedules;
        for (int i = 0; i < 10; ++i) {
            Schedule schedule(now + 7200 + 600 * i); // windows later today, none holding now
            schedule.name = "Schedule " + std::to_string(i);
            schedule.enabled = true;
            schedule.weekdays = {1, 2, 3, 4, 5, 6, 7};
            schedule.acOnly = false;
            schedules.push_back(schedule);
        }
        m_model->setSchedules(schedules);
        m_model->refresh();
    }

    ~Rig() {
        m_model.reset();
        std::error_code error;
        fs::remove_all(m_folder, error);
    }

    Model& model() { return *m_model; }

private:
    fs::path m_folder;
    std::unique_ptr<Model> m_model;
};

void application() {
    static int argc = 1;
    static char name[] = "controller_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

void runPasses(benchmark::State& state, bool ruleWins, bool hostCalendar) {
    application();
    Rig rig(ruleWins, hostCalendar);
    const std::string reason = rig.model().reason();
    for (auto _ : state)
        rig.model().refresh();
    if (rig.model().reason() != reason)
        state.SkipWithError("the pass changed what is held");
    state.SetLabel(reason);
}

// Nothing wins, so every rule and every schedule is looked at.
void BM_RefreshNoWinner(benchmark::State& state) {
    runPasses(state, false, false);
}
BENCHMARK(BM_RefreshNoWinner);

// A rule wins and holds; the schedules are not needed.
void BM_RefreshRuleHolds(benchmark::State& state) {
    runPasses(state, true, false);
}
BENCHMARK(BM_RefreshRuleHolds);

// As the application runs it: the host's time zone detected afresh on every pass.
void BM_RefreshNoWinnerHostCalendar(benchmark::State& state) {
    runPasses(state, false, true);
}
BENCHMARK(BM_RefreshNoWinnerHostCalendar);

} // namespace
