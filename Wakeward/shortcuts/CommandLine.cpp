#include "shortcuts/CommandLine.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace wakeward {

std::string usageLine() {
    return "Usage: wakeward [--background | --headless]\n"
           "       wakeward start [--minutes N | --until HH:MM | --while-running APP | "
           "--until-stopped] [--display] [--mains-only]\n"
           "       wakeward start --profile NAME\n"
           "       wakeward stop\n"
           "       wakeward status [--json] [--watch]\n"
           "       wakeward run [--display] -- COMMAND [ARGUMENTS...]\n"
           "       wakeward doctor";
}

namespace {

using Verb = Invocation::Verb;

struct Option {
    const char* name;
    char shortName;
    // The value's placeholder in the help; none for a switch.
    const char* value;
    // The commands that take it; none for any.
    std::vector<Verb> verbs;
    const char* description;
};

const std::vector<Option>& options() {
    // clang-format off
    static const std::vector<Option> table{
        {"help", 'h', nullptr, {}, "Show this help."},
        {"version", 'v', nullptr, {}, "Show the version."},
        {"background", 0, nullptr, {Verb::launch}, "Start in the tray only."},
        {"headless", 0, nullptr, {Verb::launch}, "Run without windows or tray."},
        {"minutes", 0, "N", {Verb::start}, "start: a session of N minutes (1 to 1440, default 60)."},
        {"until", 0, "HH:MM", {Verb::start}, "start: a session until the next HH:MM, local time."},
        {"while-running", 0, "APP", {Verb::start},
         "start: a session while the application APP (its executable name) runs."},
        {"until-stopped", 0, nullptr, {Verb::start}, "start: a session until you stop it."},
        {"display", 0, nullptr, {Verb::start, Verb::run}, "start, run: keep the display awake too."},
        {"mains-only", 0, nullptr, {Verb::start}, "start: only while on mains power."},
        {"profile", 0, "NAME", {Verb::start}, "start: the saved profile NAME (any letter case)."},
        {"json", 0, nullptr, {Verb::status}, "status: one JSON object."},
        {"watch", 0, nullptr, {Verb::status}, "status: print again at every change, until interrupted."},
    };
    // clang-format on
    return table;
}

const Option* findLong(std::string_view name) {
    const auto& table = options();
    const auto found = std::find_if(table.begin(), table.end(),
                                    [&](const Option& option) { return name == option.name; });
    return found == table.end() ? nullptr : &*found;
}

const Option* findShort(char name) {
    const auto& table = options();
    const auto found = std::find_if(table.begin(), table.end(),
                                    [&](const Option& option) { return name == option.shortName; });
    return found == table.end() ? nullptr : &*found;
}

std::string helpText() {
    std::string text =
        usageLine() +
        "\n\nKeeps the computer from idle sleep while you have a reason.\n\n"
        "Commands:\n"
        "  start      start a manual session in the running instance (launched when "
        "none runs)\n"
        "  stop       release every hold and pause automation\n"
        "  status     print why the computer is or is not kept awake\n"
        "  run        keep the computer awake while COMMAND runs, and pass on its exit "
        "status\n"
        "  doctor     report what this desktop offers for keeping it awake\n\n"
        "Options:\n";
    for (const Option& option : options()) {
        std::string names = option.shortName ? std::string{'-', option.shortName, ',', ' '} : "";
        names += std::string("--") + option.name;
        if (option.value)
            names += std::string(" <") + option.value + ">";
        names.resize(std::max<std::size_t>(names.size() + 2, 24), ' ');
        text += "  " + names + option.description + "\n";
    }
    return text;
}

// The index of the first argument that is neither an option nor an option's value; 0 when none.
std::size_t firstWord(const std::vector<std::string>& arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word == "--")
            return 0;
        if (word.empty() || word.front() != '-')
            return i;
        const Option* option = word.starts_with("--") ? findLong(word.substr(2)) : nullptr;
        if (option && option->value)
            ++i;
    }
    return 0;
}

// Options as they were given, each with its value (the last one counts), and the other words.
struct Given {
    std::vector<std::pair<const Option*, std::string>> options;
    std::vector<std::string> words;

    bool has(std::string_view name) const {
        return std::any_of(options.begin(), options.end(),
                           [&](const auto& given) { return name == given.first->name; });
    }
    std::string value(std::string_view name) const {
        const auto found = std::find_if(options.rbegin(), options.rend(), [&](const auto& given) {
            return name == given.first->name;
        });
        return found == options.rend() ? std::string() : found->second;
    }
};

// Long options take their value after "=" or as the next word; short ones may be run together.
std::optional<std::string> readOptions(const std::vector<std::string>& arguments, Given& given) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word == "--") {
            given.words.insert(given.words.end(), arguments.begin() + std::ptrdiff_t(i) + 1,
                               arguments.end());
            break;
        }
        if (word.starts_with("--")) {
            const std::size_t equals = word.find('=');
            const std::string name =
                word.substr(2, equals == std::string::npos ? equals : equals - 2);
            const Option* option = findLong(name);
            if (!option)
                return "Unknown option '" + name + "'.";
            if (!option->value) {
                if (equals != std::string::npos)
                    return "Unexpected value after '--" + name + "'.";
                given.options.emplace_back(option, std::string());
            } else if (equals != std::string::npos) {
                given.options.emplace_back(option, word.substr(equals + 1));
            } else if (i + 1 < arguments.size()) {
                given.options.emplace_back(option, arguments[++i]);
            } else {
                return "Missing value after '--" + name + "'.";
            }
        } else if (word.size() > 1 && word.front() == '-') {
            for (const char letter : word.substr(1)) {
                const Option* option = findShort(letter);
                if (!option)
                    return std::string("Unknown option '") + letter + "'.";
                given.options.emplace_back(option, std::string());
            }
        } else {
            given.words.push_back(word);
        }
    }
    return std::nullopt;
}

std::optional<std::int64_t> wholeNumber(const std::string& text) {
    std::int64_t number = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return number;
}

} // namespace

ParsedArguments parseArguments(const std::vector<std::string>& arguments) {
    ParsedArguments result;
    auto fail = [&](const std::string& why) {
        result.output = why + '\n' + usageLine() + '\n';
        result.exitCode = 2;
        return result;
    };

    // `run` hands everything after its "--" (or after its first plain word) to the command, so
    // the command's own options are never read as ours.
    std::vector<std::string> ours = arguments;
    std::vector<std::string> command;
    if (const std::size_t verb = firstWord(arguments); verb > 0 && arguments[verb] == "run") {
        auto split = std::find(arguments.begin() + std::ptrdiff_t(verb) + 1, arguments.end(), "--");
        if (split == arguments.end()) {
            split = std::find_if(arguments.begin() + std::ptrdiff_t(verb) + 1, arguments.end(),
                                 [](const std::string& word) { return !word.starts_with('-'); });
            command.assign(split, arguments.end());
        } else {
            command.assign(std::next(split), arguments.end());
        }
        ours.assign(arguments.begin(), split);
    }

    Given given;
    if (const auto error = readOptions(ours, given))
        return fail(*error);
    if (given.has("help")) {
        result.output = helpText();
        return result;
    }
    if (given.has("version")) {
        result.output = "wakeward " WAKEWARD_VERSION "\n";
        return result;
    }

    Invocation invocation;
    if (given.words.size() > 1) {
        std::string words;
        for (const std::string& word : given.words)
            words += (words.empty() ? "" : " ") + word;
        return fail("Too many commands: " + words);
    }
    if (!given.words.empty()) {
        static const std::pair<const char*, Verb> verbs[] = {{"start", Verb::start},
                                                             {"stop", Verb::stop},
                                                             {"status", Verb::status},
                                                             {"run", Verb::run},
                                                             {"doctor", Verb::doctor}};
        const auto* found =
            std::find_if(std::begin(verbs), std::end(verbs),
                         [&](const auto& entry) { return given.words.front() == entry.first; });
        if (found == std::end(verbs))
            return fail("Unknown command: " + given.words.front());
        invocation.verb = found->second;
    }
    const Verb verb = invocation.verb;

    // Which options each command takes; help and version go with any.
    for (const auto& [option, value] : given.options)
        if (!option->verbs.empty() &&
            std::find(option->verbs.begin(), option->verbs.end(), verb) == option->verbs.end())
            return fail(std::string("--") + option->name + " does not apply to this command.");
    if (given.has("background") && given.has("headless"))
        return fail("Choose --background or --headless, not both.");

    const int endings = int(given.has("minutes")) + int(given.has("until")) +
                        int(given.has("while-running")) + int(given.has("until-stopped"));
    if (endings > 1)
        return fail("Choose one of --minutes, --until, --while-running and --until-stopped.");
    if (given.has("profile") && (endings > 0 || given.has("display") || given.has("mains-only")))
        return fail("A profile brings its own length and settings; give --profile alone.");
    if (given.has("minutes")) {
        const auto minutes = wholeNumber(given.value("minutes"));
        if (!minutes)
            return fail("--minutes needs a whole number, not \"" + given.value("minutes") + "\".");
        invocation.minutes = *minutes;
    }
    if (given.has("until")) {
        const auto clock = readClockTime(given.value("until"));
        if (!clock)
            return fail("--until needs a time from 00:00 to 23:59, not \"" + given.value("until") +
                        "\".");
        invocation.ending = Invocation::Ending::until;
        invocation.untilHour = clock->first;
        invocation.untilMinute = clock->second;
    }
    if (given.has("while-running")) {
        invocation.ending = Invocation::Ending::application;
        invocation.application = given.value("while-running");
        if (invocation.application.empty())
            return fail("--while-running needs an application's executable name.");
    }
    if (given.has("until-stopped"))
        invocation.ending = Invocation::Ending::indefinite;
    if (given.has("profile")) {
        invocation.profile = given.value("profile");
        if (invocation.profile.empty())
            return fail("--profile needs a profile's name.");
    }
    if (verb == Verb::run) {
        if (command.empty() || command.front().empty())
            return fail("run needs a command to run.");
        invocation.command = command;
    }
    invocation.display = given.has("display");
    invocation.mainsOnly = given.has("mains-only");
    invocation.json = given.has("json");
    invocation.watch = given.has("watch");
    invocation.background = given.has("background");
    invocation.headless = given.has("headless");
    result.invocation = invocation;
    return result;
}

ParsedArguments parseArguments(int argc, char** argv) {
    return parseArguments(std::vector<std::string>(argv, argv + argc));
}

std::optional<std::pair<int, int>> readClockTime(std::string_view text) {
    const std::size_t colon = text.find(':');
    const auto digits = [](std::string_view part) {
        return !part.empty() &&
               std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (colon == std::string_view::npos || colon < 1 || colon > 2 || text.size() != colon + 3 ||
        !digits(text.substr(0, colon)) || !digits(text.substr(colon + 1)))
        return std::nullopt;
    const int hour = std::stoi(std::string(text.substr(0, colon)));
    const int minute = std::stoi(std::string(text.substr(colon + 1)));
    if (hour > 23 || minute > 59)
        return std::nullopt;
    return std::pair(hour, minute);
}

std::string wellFormedText(std::string_view bytes) {
    static constexpr std::string_view replacement = "\xEF\xBF\xBD";
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        // The length of the sequence and the range its second byte must lie in, which rules out
        // overlong forms, surrogates and code points past U+10FFFF.
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead < 0x80) {
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        }
        bool valid = length > 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = k == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
        }
        if (valid) {
            text.append(bytes.substr(i, length));
            i += length;
        } else {
            text.append(replacement);
            ++i;
        }
    }
    return text;
}

} // namespace wakeward
