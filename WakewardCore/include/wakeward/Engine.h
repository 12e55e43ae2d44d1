#pragma once

#include <wakeward/Records.h>

#include <optional>
#include <string>
#include <string_view>

// Pure functions of the rule engine: no state, no clock, no system calls.
namespace wakeward::Engine {

enum class Outcome { met, notMet, unknown };

struct ConditionResult {
    Outcome outcome = Outcome::unknown;
    std::string trace;
};

// Tests one condition; `active` lowers the CPU and traffic thresholds of the rule in force.
ConditionResult testCondition(const Condition& condition, const Snapshot& snapshot, bool active);

// Tests a rule's conditions in order and combines them by its match mode.
Evaluation test(const Rule& rule, const Snapshot& snapshot, bool active);

// Whether a session may go on as far as power is concerned.
bool safe(std::optional<bool> ac, std::optional<double> battery, double threshold, bool acOnly);

// Reads the whole text as a number in the C locale: optional sign, decimal or hexadecimal
// floating notation, optional exponent; infinity and not-a-number read as such. White
// space, a decimal comma, separators or anything else give none.
std::optional<double> readNumber(std::string_view text);

// The next instant strictly after `now` at which the hour and minute of `clock` occur.
std::optional<Instant> nextClock(Instant clock, Instant now, const Calendar& calendar);

// One CSV field, always quoted, with a formula guard and doubled quotes.
std::string csv(std::string_view field);

} // namespace wakeward::Engine
