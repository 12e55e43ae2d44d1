#pragma once

#include <wakeward/Instant.h>
#include <wakeward/Result.h>
#include <wakeward/Uuid.h>

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wakeward {

class Calendar;

// Enumerations whose user-visible title is also their identifier and JSON value.
template <class E>
struct EnumTitles;

enum class SessionMode { duration, until, indefinite, application };
enum class SignalKind { runningApp, frontmostApp, ac, battery, display, volume, usb, audio, cpu, traffic };
enum class MatchMode { all, any };
enum class RuleAction { awake, allow };

template <>
struct EnumTitles<SessionMode> {
    static constexpr std::array<std::pair<SessionMode, std::string_view>, 4> cases{{
        {SessionMode::duration, "For a duration"},
        {SessionMode::until, "Until a time"},
        {SessionMode::indefinite, "Until stopped"},
        {SessionMode::application, "While an app runs"},
    }};
};

template <>
struct EnumTitles<SignalKind> {
    static constexpr std::array<std::pair<SignalKind, std::string_view>, 10> cases{{
        {SignalKind::runningApp, "Application running"},
        {SignalKind::frontmostApp, "Frontmost application"},
        {SignalKind::ac, "On mains power"},
        {SignalKind::battery, "Battery above percent"},
        {SignalKind::display, "External display connected"},
        {SignalKind::volume, "Mounted volume"},
        {SignalKind::usb, "USB device name"},
        {SignalKind::audio, "Audio output name"},
        {SignalKind::cpu, "CPU above percent"},
        {SignalKind::traffic, "Network traffic above KB per second"},
    }};
};

template <>
struct EnumTitles<MatchMode> {
    static constexpr std::array<std::pair<MatchMode, std::string_view>, 2> cases{{
        {MatchMode::all, "All conditions"},
        {MatchMode::any, "Any condition"},
    }};
};

template <>
struct EnumTitles<RuleAction> {
    static constexpr std::array<std::pair<RuleAction, std::string_view>, 2> cases{{
        {RuleAction::awake, "Keep awake"},
        {RuleAction::allow, "Allow idle sleep"},
    }};
};

// Every case in declared order.
template <class E>
constexpr auto allCases() {
    std::array<E, EnumTitles<E>::cases.size()> result{};
    for (std::size_t i = 0; i < result.size(); ++i)
        result[i] = EnumTitles<E>::cases[i].first;
    return result;
}

// The case's title, which is also its identifier and its JSON value.
template <class E>
constexpr std::string_view title(E value) {
    for (const auto& [c, text] : EnumTitles<E>::cases)
        if (c == value)
            return text;
    return {};
}

// The case whose title is exactly `text` (whole text, case-sensitive), or none.
template <class E>
constexpr std::optional<E> fromTitle(std::string_view text) {
    for (const auto& [c, t] : EnumTitles<E>::cases)
        if (t == text)
            return c;
    return std::nullopt;
}

// True for the kinds whose value is a threshold number.
bool numeric(SignalKind kind);
// False only for the kinds whose value is ignored.
bool needsValue(SignalKind kind);
// Whether reading the signal costs more than a tick should spend unless a rule needs it
// (CPU load and traffic need two samples; USB devices and the audio output are looked up).
bool expensive(SignalKind kind);

struct Profile {
    Uuid id = Uuid::generate();
    std::string name;
    double minutes = 60;
    bool display = false;
    bool acOnly = false;
    bool favourite = true;

    Profile() = default;
    // A new profile with a fresh id, marked as a favourite.
    explicit Profile(std::string name, double minutes = 60, bool display = false, bool acOnly = false)
        : name(std::move(name)), minutes(minutes), display(display), acOnly(acOnly) {}

    // The six presets of a fresh installation; created once per process.
    static const std::vector<Profile>& defaults();

    bool operator==(const Profile&) const = default;
};

struct Condition {
    Uuid id = Uuid::generate();
    SignalKind kind = SignalKind::ac;
    std::string value;

    Condition() = default;
    Condition(SignalKind kind, std::string value) : kind(kind), value(std::move(value)) {}

    bool operator==(const Condition&) const = default;
};

// One reading of every signal; an absent optional means "not known", never zero or false.
struct Snapshot {
    std::set<std::string> running;
    std::string frontmost;
    std::optional<bool> ac;
    std::optional<double> battery;
    bool externalDisplay = false;
    std::set<std::string> volumes;
    std::vector<std::string> usb;
    std::optional<std::string> audio;
    std::optional<double> cpu;
    std::optional<double> traffic;

    bool operator==(const Snapshot&) const = default;
};

struct Rule {
    Uuid id = Uuid::generate();
    std::string name = "New rule";
    bool enabled = false;
    std::int64_t priority = 10;
    MatchMode mode = MatchMode::all;
    std::vector<Condition> conditions{Condition(SignalKind::ac, "")};
    RuleAction action = RuleAction::awake;
    bool display = false;
    double grace = 10;

    // Whether the rule is complete and its thresholds are sensible.
    bool valid() const;

    bool operator==(const Rule&) const = default;
};

struct Evaluation {
    bool matches = false;
    std::vector<std::string> trace;

    bool operator==(const Evaluation&) const = default;
};

struct Schedule {
    Uuid id = Uuid::generate();
    std::string name = "Work session";
    bool enabled = false;
    bool recurring = true;
    Instant start;
    Instant end;
    std::vector<std::int64_t> weekdays{2, 3, 4, 5, 6};
    bool display = false;
    bool acOnly = true;

    // A new schedule: one hour from now, weekdays, disabled.
    Schedule() : Schedule(Instant::now()) {}
    explicit Schedule(Instant now) : start(now), end(now + 3600) {}

    // Whether `date` lies inside the window, read in `calendar`.
    bool contains(Instant date, const Calendar& calendar) const;

    bool operator==(const Schedule&) const = default;
};

struct HistoryEvent {
    Uuid id = Uuid::generate();
    Instant date;
    std::string type;
    std::string reason;
    std::string battery;
    double duration = 0;

    HistoryEvent() = default;
    // An event with a known id, for decoding: drawing a random id only to replace it
    // costs a system call per event.
    explicit HistoryEvent(Uuid id) : id(id) {}
    HistoryEvent(std::string type, std::string reason, std::string battery, double duration,
                 Instant date = Instant::now())
        : date(date), type(std::move(type)), reason(std::move(reason)),
          battery(std::move(battery)), duration(duration) {}

    bool operator==(const HistoryEvent&) const = default;
};

// ---- JSON forms -------------------------------------------------------------------------
// Keys are the field names; every key is required when decoding and unknown keys are
// ignored; a null, a wrong type or an unknown enumeration text fails the whole decode.

using Json = nlohmann::json;

// Encoding and strict decoding of one type; `path` names the place in the document
// for error descriptions ("" at the top).
template <class T>
struct JsonCodec;

#define WAKEWARD_DECLARE_CODEC(T)                                                            \
    template <>                                                                              \
    struct JsonCodec<T> {                                                                    \
        static Result<Json> encode(const T& value);                                          \
        static Result<T> decode(const Json& json, const std::string& path);                  \
    }

WAKEWARD_DECLARE_CODEC(bool);
WAKEWARD_DECLARE_CODEC(double);
WAKEWARD_DECLARE_CODEC(std::int64_t);
WAKEWARD_DECLARE_CODEC(std::string);
WAKEWARD_DECLARE_CODEC(Uuid);
WAKEWARD_DECLARE_CODEC(Instant);
WAKEWARD_DECLARE_CODEC(SessionMode);
WAKEWARD_DECLARE_CODEC(SignalKind);
WAKEWARD_DECLARE_CODEC(MatchMode);
WAKEWARD_DECLARE_CODEC(RuleAction);
WAKEWARD_DECLARE_CODEC(Profile);
WAKEWARD_DECLARE_CODEC(Condition);
WAKEWARD_DECLARE_CODEC(Rule);
WAKEWARD_DECLARE_CODEC(Schedule);
WAKEWARD_DECLARE_CODEC(HistoryEvent);

#undef WAKEWARD_DECLARE_CODEC

namespace json_detail {
std::string elementPath(const std::string& path, std::size_t index);
Error notAn(const std::string& path, std::string_view expected, const Json& found);
} // namespace json_detail

template <class T>
struct JsonCodec<std::vector<T>> {
    static Result<Json> encode(const std::vector<T>& values) {
        Json array = Json::array();
        for (const T& value : values) {
            auto element = JsonCodec<T>::encode(value);
            if (!element)
                return element.error();
            array.push_back(std::move(element).value());
        }
        return array;
    }
    static Result<std::vector<T>> decode(const Json& json, const std::string& path) {
        if (!json.is_array())
            return json_detail::notAn(path, "an array", json);
        std::vector<T> values;
        values.reserve(json.size());
        for (std::size_t i = 0; i < json.size(); ++i) {
            auto element = JsonCodec<T>::decode(json[i], json_detail::elementPath(path, i));
            if (!element)
                return element.error();
            values.push_back(std::move(element).value());
        }
        return values;
    }
};

// An optional value at the top level of a stored value: absent is JSON null.
template <class T>
struct JsonCodec<std::optional<T>> {
    static Result<Json> encode(const std::optional<T>& value) {
        if (!value)
            return Json(nullptr);
        return JsonCodec<T>::encode(*value);
    }
    static Result<std::optional<T>> decode(const Json& json, const std::string& path) {
        if (json.is_null())
            return std::optional<T>();
        auto value = JsonCodec<T>::decode(json, path);
        if (!value)
            return value.error();
        return std::optional<T>(std::move(value).value());
    }
};

template <class T>
Result<Json> toJson(const T& value) {
    return JsonCodec<T>::encode(value);
}

template <class T>
Result<T> fromJson(const Json& json) {
    return JsonCodec<T>::decode(json, "");
}

// Parses JSON text; a syntax error gives an error value naming the position.
Result<Json> parseJson(std::string_view text);

// Writes JSON text; pretty text is indented by two spaces.
std::string dumpJson(const Json& json, bool pretty = false);

template <class T>
Result<std::string> toJsonText(const T& value, bool pretty = false) {
    auto json = toJson(value);
    if (!json)
        return json.error();
    return dumpJson(*json, pretty);
}

template <class T>
Result<T> fromJsonText(std::string_view text) {
    auto json = parseJson(text);
    if (!json)
        return json.error();
    return fromJson<T>(*json);
}

} // namespace wakeward
