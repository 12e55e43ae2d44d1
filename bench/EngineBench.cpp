#include <wakeward/Engine.h>

#include <benchmark/benchmark.h>

using namespace wakeward;

namespace {

std::vector<Rule> sampleRules(int count) {
    std::vector<Rule> rules;
    for (int i = 0; i < count; ++i) {
        Rule rule;
        rule.name = "Rule " + std::to_string(i);
        rule.enabled = true;
        rule.mode = i % 2 ? MatchMode::any : MatchMode::all;
        rule.conditions = {Condition(SignalKind::runningApp, "app" + std::to_string(i)),
                           Condition(SignalKind::cpu, "75"), Condition(SignalKind::usb, "Drive")};
        rules.push_back(rule);
    }
    return rules;
}

void evaluateTwentyRules(benchmark::State& state) {
    const auto rules = sampleRules(20);
    Snapshot snapshot;
    for (int i = 0; i < 300; ++i)
        snapshot.running.insert("process" + std::to_string(i));
    snapshot.usb = {"USB Receiver", "Ultra Fit Drive", "Keyboard"};
    snapshot.cpu = 40;
    for (auto _ : state)
        for (const Rule& rule : rules)
            benchmark::DoNotOptimize(Engine::test(rule, snapshot, false));
}
BENCHMARK(evaluateTwentyRules);

void decodeHundredRules(benchmark::State& state) {
    const std::string text = toJsonText(sampleRules(100)).value();
    for (auto _ : state)
        benchmark::DoNotOptimize(fromJsonText<std::vector<Rule>>(text));
}
BENCHMARK(decodeHundredRules);

} // namespace
