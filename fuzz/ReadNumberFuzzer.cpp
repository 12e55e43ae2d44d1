// Rule thresholds are text typed by the user or read from a file; reading them must never
// crash, and a condition built on any text must give one of its three outcomes.
#include "FuzzCheck.h"

#include <cmath>
#include <cstdlib>
#include <wakeward/Engine.h>

using namespace wakeward;
using wakeward::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::text(data, size);
    const std::optional<double> number = Engine::readNumber(input);
    if (number) {
        check(!input.empty(), "empty text is no number");
        check(input.find('\0') == std::string_view::npos, "text with a NUL is no number");
        check(input.find(',') == std::string_view::npos, "a decimal comma is no number");
        const unsigned char first = static_cast<unsigned char>(input.front());
        const unsigned char last = static_cast<unsigned char>(input.back());
        check(!std::isspace(first) && !std::isspace(last),
              "white space around a number is refused");
    }

    Snapshot snapshot;
    snapshot.ac = true;
    snapshot.battery = 50;
    snapshot.cpu = 50;
    snapshot.traffic = 50;
    for (SignalKind kind : {SignalKind::battery, SignalKind::cpu, SignalKind::traffic}) {
        const Condition condition(kind, std::string(input));
        for (bool active : {false, true}) {
            const auto result = Engine::testCondition(condition, snapshot, active);
            check(!result.trace.empty(), "every tested condition leaves a trace");
        }
        Rule rule;
        rule.conditions = {condition};
        const bool valid = rule.valid();
        if (valid)
            check(number.has_value() && std::isfinite(*number),
                  "a valid threshold is a finite number");
        const Evaluation evaluation = Engine::test(rule, snapshot, false);
        check(valid || !evaluation.matches, "a rule with an invalid threshold never matches");
        check(!valid || evaluation.trace.size() == rule.conditions.size(),
              "a rule traces every condition");
    }
    return 0;
}
