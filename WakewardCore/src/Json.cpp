#include <wakeward/Records.h>

#include <cmath>
#include <limits>

namespace wakeward {

namespace json_detail {

std::string elementPath(const std::string& path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

namespace {

std::string typeName(const Json& json) {
    switch (json.type()) {
    case Json::value_t::null: return "null";
    case Json::value_t::boolean: return "a boolean";
    case Json::value_t::string: return "a string";
    case Json::value_t::array: return "an array";
    case Json::value_t::object: return "an object";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float: return "a number";
    default: return "an unsupported value";
    }
}

std::string where(const std::string& path) {
    return path.empty() ? "The document" : "\"" + path + "\"";
}

} // namespace

Error notAn(const std::string& path, std::string_view expected, const Json& found) {
    return Error{where(path) + " must be " + std::string(expected) + ", not " + typeName(found) + "."};
}

} // namespace json_detail

using json_detail::notAn;

namespace {

// Reads the required keys of one object; the first failure wins.
class ObjectReader {
public:
    ObjectReader(const Json& json, const std::string& path) : m_json(json), m_path(path) {
        if (!json.is_object())
            m_error = notAn(path, "an object", json);
    }

    template <class T>
    void read(std::string_view key, T& target) {
        if (m_error)
            return;
        const std::string path = childPath(key);
        const auto found = m_json.find(std::string(key));
        if (found == m_json.end()) {
            m_error = Error{"The key \"" + std::string(key) + "\" is missing" +
                            (m_path.empty() ? std::string() : " in \"" + m_path + "\"") + "."};
            return;
        }
        auto value = JsonCodec<T>::decode(*found, path);
        if (!value) {
            m_error = value.error();
            return;
        }
        target = std::move(value).value();
    }

    const std::optional<Error>& error() const { return m_error; }

private:
    std::string childPath(std::string_view key) const {
        return m_path.empty() ? std::string(key) : m_path + "." + std::string(key);
    }

    const Json& m_json;
    const std::string& m_path;
    std::optional<Error> m_error;
};

// Builds one object; the first encoding failure wins.
class ObjectWriter {
public:
    template <class T>
    void write(std::string_view key, const T& value) {
        if (m_error)
            return;
        auto encoded = JsonCodec<T>::encode(value);
        if (!encoded) {
            m_error = Error{"\"" + std::string(key) + "\": " + encoded.error().description};
            return;
        }
        m_json[std::string(key)] = std::move(encoded).value();
    }

    Result<Json> finish() && {
        if (m_error)
            return *m_error;
        return std::move(m_json);
    }

private:
    Json m_json = Json::object();
    std::optional<Error> m_error;
};

template <class E>
Result<E> decodeEnum(const Json& json, const std::string& path) {
    if (!json.is_string())
        return notAn(path, "a string", json);
    const auto& text = json.get_ref<const std::string&>();
    if (auto value = fromTitle<E>(text))
        return *value;
    return Error{"\"" + path + "\" holds \"" + text + "\", which is not a known value."};
}

} // namespace

// ---- scalars ----------------------------------------------------------------------------

Result<Json> JsonCodec<bool>::encode(const bool& value) {
    return Json(value);
}

Result<bool> JsonCodec<bool>::decode(const Json& json, const std::string& path) {
    if (!json.is_boolean())
        return notAn(path, "a boolean", json);
    return json.get<bool>();
}

Result<Json> JsonCodec<double>::encode(const double& value) {
    if (!std::isfinite(value))
        return Error{"A number that is not finite cannot be written as JSON."};
    return Json(value);
}

Result<double> JsonCodec<double>::decode(const Json& json, const std::string& path) {
    // Integers and numbers with a fraction both read as numbers.
    if (!json.is_number())
        return notAn(path, "a number", json);
    return json.get<double>();
}

Result<Json> JsonCodec<std::int64_t>::encode(const std::int64_t& value) {
    return Json(value);
}

Result<std::int64_t> JsonCodec<std::int64_t>::decode(const Json& json, const std::string& path) {
    if (json.is_number_integer() && !json.is_number_unsigned())
        return json.get<std::int64_t>();
    if (json.is_number_unsigned()) {
        const auto value = json.get<std::uint64_t>();
        if (value <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return static_cast<std::int64_t>(value);
        return Error{"\"" + path + "\" is too large for a whole number."};
    }
    if (json.is_number_float()) {
        // A whole number written with a fraction, such as 10.0, still reads.
        const double value = json.get<double>();
        if (std::isfinite(value) && std::trunc(value) == value && value >= -0x1p63 && value < 0x1p63)
            return static_cast<std::int64_t>(value);
        return Error{"\"" + path + "\" must be a whole number."};
    }
    return notAn(path, "a whole number", json);
}

Result<Json> JsonCodec<std::string>::encode(const std::string& value) {
    return Json(value);
}

Result<std::string> JsonCodec<std::string>::decode(const Json& json, const std::string& path) {
    if (!json.is_string())
        return notAn(path, "a string", json);
    return json.get<std::string>();
}

Result<Json> JsonCodec<Uuid>::encode(const Uuid& value) {
    return Json(value.toString());
}

Result<Uuid> JsonCodec<Uuid>::decode(const Json& json, const std::string& path) {
    if (!json.is_string())
        return notAn(path, "a string", json);
    if (auto id = Uuid::parse(json.get_ref<const std::string&>()))
        return *id;
    return Error{"\"" + path + "\" is not a valid UUID."};
}

Result<Json> JsonCodec<Instant>::encode(const Instant& value) {
    return JsonCodec<double>::encode(value.sinceReference);
}

Result<Instant> JsonCodec<Instant>::decode(const Json& json, const std::string& path) {
    auto seconds = JsonCodec<double>::decode(json, path);
    if (!seconds)
        return seconds.error();
    return Instant{*seconds};
}

#define WAKEWARD_ENUM_CODEC(E)                                                               \
    Result<Json> JsonCodec<E>::encode(const E& value) { return Json(std::string(title(value))); } \
    Result<E> JsonCodec<E>::decode(const Json& json, const std::string& path) {              \
        return decodeEnum<E>(json, path);                                                    \
    }

WAKEWARD_ENUM_CODEC(SessionMode)
WAKEWARD_ENUM_CODEC(SignalKind)
WAKEWARD_ENUM_CODEC(MatchMode)
WAKEWARD_ENUM_CODEC(RuleAction)

#undef WAKEWARD_ENUM_CODEC

// ---- records ----------------------------------------------------------------------------

Result<Json> JsonCodec<Profile>::encode(const Profile& value) {
    ObjectWriter out;
    out.write("id", value.id);
    out.write("name", value.name);
    out.write("minutes", value.minutes);
    out.write("display", value.display);
    out.write("acOnly", value.acOnly);
    out.write("favourite", value.favourite);
    return std::move(out).finish();
}

Result<Profile> JsonCodec<Profile>::decode(const Json& json, const std::string& path) {
    Profile value;
    ObjectReader in(json, path);
    in.read("id", value.id);
    in.read("name", value.name);
    in.read("minutes", value.minutes);
    in.read("display", value.display);
    in.read("acOnly", value.acOnly);
    in.read("favourite", value.favourite);
    if (in.error())
        return *in.error();
    return value;
}

Result<Json> JsonCodec<Condition>::encode(const Condition& value) {
    ObjectWriter out;
    out.write("id", value.id);
    out.write("kind", value.kind);
    out.write("value", value.value);
    return std::move(out).finish();
}

Result<Condition> JsonCodec<Condition>::decode(const Json& json, const std::string& path) {
    Condition value;
    ObjectReader in(json, path);
    in.read("id", value.id);
    in.read("kind", value.kind);
    in.read("value", value.value);
    if (in.error())
        return *in.error();
    return value;
}

Result<Json> JsonCodec<Rule>::encode(const Rule& value) {
    ObjectWriter out;
    out.write("id", value.id);
    out.write("name", value.name);
    out.write("enabled", value.enabled);
    out.write("priority", value.priority);
    out.write("mode", value.mode);
    out.write("conditions", value.conditions);
    out.write("action", value.action);
    out.write("display", value.display);
    out.write("grace", value.grace);
    return std::move(out).finish();
}

Result<Rule> JsonCodec<Rule>::decode(const Json& json, const std::string& path) {
    Rule value;
    ObjectReader in(json, path);
    in.read("id", value.id);
    in.read("name", value.name);
    in.read("enabled", value.enabled);
    in.read("priority", value.priority);
    in.read("mode", value.mode);
    in.read("conditions", value.conditions);
    in.read("action", value.action);
    in.read("display", value.display);
    in.read("grace", value.grace);
    if (in.error())
        return *in.error();
    return value;
}

Result<Json> JsonCodec<Schedule>::encode(const Schedule& value) {
    ObjectWriter out;
    out.write("id", value.id);
    out.write("name", value.name);
    out.write("enabled", value.enabled);
    out.write("recurring", value.recurring);
    out.write("start", value.start);
    out.write("end", value.end);
    out.write("weekdays", value.weekdays);
    out.write("display", value.display);
    out.write("acOnly", value.acOnly);
    return std::move(out).finish();
}

Result<Schedule> JsonCodec<Schedule>::decode(const Json& json, const std::string& path) {
    Schedule value{Instant{}};
    ObjectReader in(json, path);
    in.read("id", value.id);
    in.read("name", value.name);
    in.read("enabled", value.enabled);
    in.read("recurring", value.recurring);
    in.read("start", value.start);
    in.read("end", value.end);
    in.read("weekdays", value.weekdays);
    in.read("display", value.display);
    in.read("acOnly", value.acOnly);
    if (in.error())
        return *in.error();
    return value;
}

Result<Json> JsonCodec<HistoryEvent>::encode(const HistoryEvent& value) {
    ObjectWriter out;
    out.write("id", value.id);
    out.write("date", value.date);
    out.write("type", value.type);
    out.write("reason", value.reason);
    out.write("battery", value.battery);
    out.write("duration", value.duration);
    return std::move(out).finish();
}

Result<HistoryEvent> JsonCodec<HistoryEvent>::decode(const Json& json, const std::string& path) {
    ObjectReader in(json, path);
    Uuid id;
    in.read("id", id);
    HistoryEvent value(id);
    in.read("date", value.date);
    in.read("type", value.type);
    in.read("reason", value.reason);
    in.read("battery", value.battery);
    in.read("duration", value.duration);
    if (in.error())
        return *in.error();
    return value;
}

// ---- text -------------------------------------------------------------------------------

Result<Json> parseJson(std::string_view text) {
    try {
        return Json::parse(text.begin(), text.end());
    } catch (const Json::parse_error& error) {
        return Error{"The text is not valid JSON (error near byte " + std::to_string(error.byte) + ")."};
    } catch (const std::exception&) {
        return Error{"The text is not valid JSON."};
    }
}

std::string dumpJson(const Json& json, bool pretty) {
    // Invalid UTF-8 in a text is replaced rather than thrown about.
    return json.dump(pretty ? 2 : -1, ' ', false, Json::error_handler_t::replace);
}

} // namespace wakeward
