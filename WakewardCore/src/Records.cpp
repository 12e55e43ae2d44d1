#include <wakeward/Engine.h>
#include <wakeward/Records.h>
#include <wakeward/Text.h>

#include <cmath>

namespace wakeward {

bool numeric(SignalKind kind) {
    return kind == SignalKind::battery || kind == SignalKind::cpu || kind == SignalKind::traffic;
}

bool needsValue(SignalKind kind) {
    return kind != SignalKind::ac && kind != SignalKind::display;
}

bool expensive(SignalKind kind) {
    return kind == SignalKind::cpu || kind == SignalKind::traffic || kind == SignalKind::usb ||
           kind == SignalKind::audio;
}

const std::vector<Profile>& Profile::defaults() {
    static const std::vector<Profile> presets{
        Profile("Download", 60, false, false),     Profile("File transfer", 120, false, false),
        Profile("Backup", 120, false, true),       Profile("Presentation", 60, true, false),
        Profile("Render", 180, false, true),       Profile("External drive", 60, false, false),
    };
    return presets;
}

namespace {

bool conditionValid(const Condition& condition) {
    switch (condition.kind) {
    case SignalKind::battery:
    case SignalKind::cpu:
    case SignalKind::traffic: {
        const auto number = Engine::readNumber(condition.value);
        // Negative zero compares equal to zero, so it passes.
        if (!number || !std::isfinite(*number) || *number < 0)
            return false;
        return condition.kind == SignalKind::traffic || *number <= 100;
    }
    case SignalKind::ac:
    case SignalKind::display:
        return true;
    default:
        return !Text::trimBlanks(condition.value).empty();
    }
}

} // namespace

bool Rule::valid() const {
    if (Text::trimBlanks(name).empty() || conditions.empty())
        return false;
    for (const Condition& condition : conditions)
        if (!conditionValid(condition))
            return false;
    return true;
}

} // namespace wakeward
