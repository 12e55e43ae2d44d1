#include <wakeward/Engine.h>
#include <wakeward/Text.h>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace wakeward::Engine {

namespace {

// Only run on valid rules, so numeric values always read; 0 is a safe stand-in otherwise.
double number(const Condition& condition) {
    return readNumber(condition.value).value_or(0);
}

Outcome fromBool(bool met) {
    return met ? Outcome::met : Outcome::notMet;
}

Outcome evaluate(const Condition& condition, const Snapshot& snapshot, bool active) {
    switch (condition.kind) {
    case SignalKind::runningApp:
        return fromBool(snapshot.running.contains(condition.value));
    case SignalKind::frontmostApp:
        return fromBool(snapshot.frontmost == condition.value);
    case SignalKind::ac:
        if (!snapshot.ac)
            return Outcome::unknown;
        return fromBool(*snapshot.ac);
    case SignalKind::battery:
        if (!snapshot.battery)
            return Outcome::unknown;
        return fromBool(*snapshot.battery >= number(condition));
    case SignalKind::display:
        return fromBool(snapshot.externalDisplay);
    case SignalKind::volume:
        return fromBool(snapshot.volumes.contains(condition.value));
    case SignalKind::usb:
        return fromBool(std::any_of(snapshot.usb.begin(), snapshot.usb.end(), [&](const std::string& name) {
            return Text::containsIgnoringCase(name, condition.value);
        }));
    case SignalKind::audio:
        if (!snapshot.audio)
            return Outcome::unknown;
        return fromBool(Text::containsIgnoringCase(*snapshot.audio, condition.value));
    case SignalKind::cpu: {
        if (!snapshot.cpu)
            return Outcome::unknown;
        // The rule in force keeps its hold until the load falls 5 points below the threshold.
        const double threshold = std::max(0.0, number(condition) - (active ? 5.0 : 0.0));
        return fromBool(*snapshot.cpu >= threshold);
    }
    case SignalKind::traffic: {
        if (!snapshot.traffic)
            return Outcome::unknown;
        const double threshold = std::max(0.0, number(condition) * (active ? 0.8 : 1.0));
        return fromBool(*snapshot.traffic >= threshold);
    }
    }
    return Outcome::unknown;
}

std::string_view outcomeText(Outcome outcome) {
    switch (outcome) {
    case Outcome::met: return "matched";
    case Outcome::notMet: return "not matched";
    case Outcome::unknown: return "unknown";
    }
    return "unknown";
}

} // namespace

ConditionResult testCondition(const Condition& condition, const Snapshot& snapshot, bool active) {
    ConditionResult result;
    result.outcome = evaluate(condition, snapshot, active);
    result.trace = std::string(title(condition.kind));
    if (!condition.value.empty())
        result.trace += ": " + condition.value;
    result.trace += " \u2014 ";
    result.trace += outcomeText(result.outcome);
    return result;
}

Evaluation test(const Rule& rule, const Snapshot& snapshot, bool active) {
    if (!rule.valid())
        return Evaluation{false, {"Rule is incomplete or contains an invalid threshold."}};
    Evaluation evaluation;
    std::size_t met = 0;
    for (const Condition& condition : rule.conditions) {
        auto result = testCondition(condition, snapshot, active);
        met += result.outcome == Outcome::met ? 1 : 0;
        evaluation.trace.push_back(std::move(result.trace));
    }
    evaluation.matches = rule.mode == MatchMode::all ? met == rule.conditions.size() : met > 0;
    return evaluation;
}

bool safe(std::optional<bool> ac, std::optional<double> battery, double threshold, bool acOnly) {
    const bool onMains = ac.value_or(false);
    if (acOnly)
        return onMains;
    return onMains || (battery && *battery > threshold);
}

std::optional<double> readNumber(std::string_view text) {
    // strtod_l with its own C locale: the process's LC_NUMERIC never changes the reading.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    // strtod would skip leading white space; the whole text must be the number.
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front())) || !cLocale)
        return std::nullopt;
    const std::string copy(text);
    if (copy.size() != std::strlen(copy.c_str()))
        return std::nullopt;
    char* end = nullptr;
    const double value = strtod_l(copy.c_str(), &end, cLocale);
    if (end != copy.c_str() + copy.size())
        return std::nullopt;
    return value;
}

} // namespace wakeward::Engine
