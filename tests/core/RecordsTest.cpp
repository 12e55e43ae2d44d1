#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <regex>
#include <wakeward/Records.h>

using namespace wakeward;

namespace {

Json profileJson() {
    return Json::parse(R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"Render",
        "minutes":180,"display":false,"acOnly":true,"favourite":false,"extra":[1,2]})");
}

template <class T> std::string decodeError(const Json& json) {
    auto result = fromJson<T>(json);
    EXPECT_FALSE(result.ok());
    return result.ok() ? std::string() : result.error().description;
}

// The written form of a record, less the ids it generated.
template <class T> Json withoutIds(const T& record) {
    Json json = toJson(record).value();
    json.erase("id");
    if (json.contains("conditions"))
        for (Json& condition : json["conditions"])
            condition.erase("id");
    return json;
}

} // namespace

TEST(Uuid, CanonicalUpperCaseAndParsing) {
    const Uuid id = Uuid::generate();
    const std::string text = id.toString();
    EXPECT_TRUE(std::regex_match(text, std::regex("[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}")))
        << text;
    EXPECT_EQ(Uuid::parse(text), id);
    EXPECT_EQ(Uuid::parse("0f8fad5b-d9cb-469f-a165-70867728950e")->toString(),
              "0F8FAD5B-D9CB-469F-A165-70867728950E");
    for (const char* bad :
         {"0F8FAD5BD9CB469FA16570867728950E", "0F8FAD5B-D9CB-469F-A165-70867728950G", ""})
        EXPECT_EQ(Uuid::parse(bad), std::nullopt) << bad;
}

// What the editors start from: a new rule is off and holds on mains power after ten seconds; a
// new schedule is off, mains only, weekdays for an hour from now. Each gets an id of its own.
TEST(Records, NewRuleAndScheduleDefaults) {
    const Rule rule;
    EXPECT_EQ(withoutIds(rule), Json::parse(R"({"name":"New rule","enabled":false,"priority":10,
        "mode":"All conditions","conditions":[{"kind":"On mains power","value":""}],
        "action":"Keep awake","display":false,"grace":10})"));
    EXPECT_NE(Rule().id, rule.id);

    const Schedule schedule(Instant{1000});
    EXPECT_EQ(withoutIds(schedule), Json::parse(R"({"name":"Work session","enabled":false,
        "recurring":true,"start":1000,"end":4600,"weekdays":[2,3,4,5,6],"display":false,
        "acOnly":true})"));
    EXPECT_NE(Schedule(Instant{1000}).id, schedule.id);
}

TEST(Json, WrittenFormAndNumbers) {
    Profile profile("Render", 180, false, true);
    EXPECT_EQ(toJson(profile).value()["id"], profile.id.toString());
    EXPECT_EQ(withoutIds(profile), Json::parse(R"({"name":"Render","minutes":180,"display":false,
        "acOnly":true,"favourite":true})"));

    EXPECT_EQ(toJson(Schedule(Instant{12.5})).value()["start"], 12.5);
    EXPECT_EQ(toJson(Condition(SignalKind::traffic, "5")).value()["kind"],
              "Network traffic above KB per second");

    // Integers and fractions both read as numbers; a whole-number field takes no fraction.
    Json json = profileJson();
    EXPECT_EQ(fromJson<Profile>(json).value().minutes, 180);
    json["minutes"] = 180.0;
    EXPECT_EQ(fromJson<Profile>(json).value().minutes, 180);

    Json rule = toJson(Rule()).value();
    rule["priority"] = 12.0;
    EXPECT_EQ(fromJson<Rule>(rule).value().priority, 12);
    rule["priority"] = 12.5;
    EXPECT_NE(decodeError<Rule>(rule).find("priority"), std::string::npos);
    rule["priority"] = 18446744073709551615ull;
    EXPECT_NE(decodeError<Rule>(rule).find("too large"), std::string::npos);
}

// A missing key does not fall back to its default, and one bad element fails the whole list,
// never a partial list.
TEST(Json, StrictDecodingFailsTheWholeRecord) {
    const std::tuple<const char*, Json, const char*> profileCases[] = {
        {"display", nullptr, "display"},
        {"minutes", "60", "must be a number"},
        {"acOnly", 1, "must be a boolean"},
        {"id", "not-a-uuid", "not a valid UUID"},
    };
    for (const auto& [key, value, problem] : profileCases) {
        Json json = profileJson();
        json[key] = value;
        EXPECT_NE(decodeError<Profile>(json).find(problem), std::string::npos) << key;
    }
    EXPECT_NE(decodeError<Profile>(Json::array()).find("must be an object"), std::string::npos);

    Json rule = toJson(Rule()).value();
    rule["conditions"][0]["kind"] = "on mains power";
    EXPECT_NE(decodeError<Rule>(rule).find("conditions[0].kind"), std::string::npos);
    rule = toJson(Rule()).value();
    rule["mode"] = "Every condition";
    EXPECT_NE(decodeError<Rule>(rule).find("not a known value"), std::string::npos);
    Json schedule = toJson(Schedule()).value();
    schedule["weekdays"] = Json::array({2, "3"});
    EXPECT_NE(decodeError<Schedule>(schedule).find("weekdays[1]"), std::string::npos);
    Json list = Json::array({profileJson(), profileJson()});
    list[1].erase("name");
    EXPECT_NE(decodeError<std::vector<Profile>>(list).find("in \"[1]\""), std::string::npos);
}

// Broken or too deeply nested text fails cleanly; numbers JSON cannot hold fail to encode;
// invalid UTF-8 in a name is written without throwing.
TEST(Json, TextErrorsAndNonFiniteNumbers) {
    EXPECT_FALSE(fromJsonText<Profile>("").ok());
    EXPECT_FALSE(fromJsonText<std::vector<Profile>>(std::string(100000, '[')).ok());
    EXPECT_FALSE(
        fromJsonText<std::vector<Profile>>(std::string(20000, '[') + std::string(20000, ']')).ok());

    Profile profile("Broken", std::numeric_limits<double>::infinity());
    EXPECT_FALSE(toJson(profile).ok());
    profile.minutes = std::nan("");
    EXPECT_FALSE(toJsonText(profile).ok());
    EXPECT_FALSE(toJsonText(std::vector<Profile>{Profile("ok"), profile}).ok());
    Rule rule;
    rule.grace = -std::numeric_limits<double>::infinity();
    EXPECT_NE(toJson(rule).error().description.find("grace"), std::string::npos);

    const auto text = toJsonText(Profile(std::string("bad \xff name")));
    ASSERT_TRUE(text.ok());
    EXPECT_TRUE(fromJsonText<Profile>(*text).ok());
}
