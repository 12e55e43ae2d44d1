#include "shortcuts/RemoteClient.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <variant>

extern char** environ;

namespace wakeward {

namespace {

volatile sig_atomic_t runningChild = 0;

constexpr std::uint64_t callTimeout = 10'000'000; // microseconds
constexpr std::uint64_t launchWait = 5'000'000;
constexpr const char* notRunning = "Wakeward is not running.";
constexpr const char* activeAnswer = "Wakeward is active.";
constexpr const char* busName = "org.freedesktop.DBus";
constexpr const char* busPath = "/org/freedesktop/DBus";
constexpr const char* propertiesInterface = "org.freedesktop.DBus.Properties";

struct BusClose {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
struct SlotUnref {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
using Bus = std::unique_ptr<sd_bus, BusClose>;
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;
using Slot = std::unique_ptr<sd_bus_slot, SlotUnref>;

// A method's reply, or the error the bus or the instance answered with.
struct Reply {
    Message message;
    std::string errorName;
    std::string errorMessage;
};

using Arguments = std::function<int(sd_bus_message*)>;

// Names come from the user's files: a terminal must never receive their control characters as
// commands (escape sequences could rewrite the screen or the title). The bus delivers UTF-8, so
// C1 controls are the two-byte sequences C2 80 to C2 9F.
std::string printable(std::string_view text) {
    static constexpr std::string_view replacement = "\xEF\xBF\xBD";
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7f) {
            result += replacement;
        } else if (byte == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            result += replacement;
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

void printLine(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fputc('\n', stream);
}

std::uint64_t monotonicNow() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::uint64_t(now.tv_sec) * 1'000'000 + std::uint64_t(now.tv_nsec) / 1000;
}

// Handles what arrives until `done` or the deadline (microseconds on the monotonic clock; none
// waits for ever); false when the connection fails.
bool serve(sd_bus* bus, const std::function<bool()>& done, std::optional<std::uint64_t> deadline) {
    while (!done()) {
        const int status = sd_bus_process(bus, nullptr);
        if (status < 0)
            return false;
        if (status > 0)
            continue;
        std::uint64_t wait = UINT64_MAX;
        if (deadline) {
            const std::uint64_t current = monotonicNow();
            if (current >= *deadline)
                return true;
            wait = *deadline - current;
        }
        if (sd_bus_wait(bus, wait) < 0)
            return false;
    }
    return true;
}

// Calls a method; the instance is never activated through the bus, since a command must not
// start one behind the user's back (only `start` and `run` launch one, as a user would).
// The call is queued behind the connection's greeting instead of waiting for its answer, as a
// blocking call would: the bus takes both in order, and a command saves a round trip.
Reply call(sd_bus* bus, const char* destination, const char* path, const char* interface,
           const char* member, const Arguments& arguments = {}) {
    struct Pending {
        Reply reply;
        bool answered = false;
    } pending;
    sd_bus_message* raw = nullptr;
    int status = sd_bus_message_new_method_call(bus, &raw, destination, path, interface, member);
    const Message message(raw);
    if (status >= 0)
        status = sd_bus_message_set_auto_start(raw, 0);
    if (status >= 0 && arguments)
        status = arguments(raw);
    sd_bus_slot* rawSlot = nullptr;
    if (status >= 0)
        status = sd_bus_call_async(
            bus, &rawSlot, raw,
            [](sd_bus_message* answer, void* into, sd_bus_error*) {
                auto& got = *static_cast<Pending*>(into);
                if (const sd_bus_error* error = sd_bus_message_get_error(answer)) {
                    got.reply.errorName = error->name ? error->name : "";
                    got.reply.errorMessage = error->message ? error->message : "";
                } else {
                    got.reply.message.reset(sd_bus_message_ref(answer));
                }
                got.answered = true;
                return 0;
            },
            &pending, callTimeout);
    const Slot slot(rawSlot); // dropped before `pending`: no answer can arrive after it
    if (status >= 0 && !serve(
                           bus, [&] { return pending.answered; }, std::nullopt))
        status = -ECONNRESET;
    if (status < 0 && !pending.answered)
        pending.reply.errorMessage = std::strerror(-status);
    return std::move(pending.reply);
}

Reply callInstance(sd_bus* bus, const char* member, const Arguments& arguments = {}) {
    return call(bus, serviceName, objectPath, interfaceName, member, arguments);
}

// The reply's single text, when it has one.
std::optional<std::string> text(const Reply& reply) {
    const char* value = nullptr;
    // From the start, however often it is asked.
    if (!reply.message || sd_bus_message_rewind(reply.message.get(), 1) < 0 ||
        sd_bus_message_read(reply.message.get(), "s", &value) < 0 || !value)
        return std::nullopt;
    return std::string(value);
}

// The unique name of the instance's connection; none when no instance runs.
std::optional<std::string> owner(sd_bus* bus) {
    return text(call(bus, busName, busPath, busName, "GetNameOwner",
                     [](sd_bus_message* m) { return sd_bus_message_append(m, "s", serviceName); }));
}

std::string property(sd_bus* bus, const char* name) {
    const Reply reply =
        call(bus, serviceName, objectPath, propertiesInterface, "Get", [name](sd_bus_message* m) {
            return sd_bus_message_append(m, "ss", interfaceName, name);
        });
    const char* value = nullptr;
    if (!reply.message || sd_bus_message_read(reply.message.get(), "v", "s", &value) < 0 || !value)
        return {};
    return value;
}

// Watches the bus for the instance's name changing hands: `claimed` and `released` say what
// was seen since the watch began.
struct OwnerWatch {
    Slot slot;
    bool claimed = false;
    bool released = false;

    bool start(sd_bus* bus) {
        const std::string rule = std::string("type='signal',sender='") + busName + "',path='" +
                                 busPath + "',interface='" + busName +
                                 "',member='NameOwnerChanged',arg0='" + serviceName + "'";
        sd_bus_slot* raw = nullptr;
        const int status = sd_bus_add_match(
            bus, &raw, rule.c_str(),
            [](sd_bus_message* m, void* self, sd_bus_error*) {
                const char *name = nullptr, *before = nullptr, *after = nullptr;
                if (sd_bus_message_read(m, "sss", &name, &before, &after) >= 0) {
                    auto* watch = static_cast<OwnerWatch*>(self);
                    (after && *after ? watch->claimed : watch->released) = true;
                }
                return 0;
            },
            this);
        slot.reset(raw);
        return status >= 0;
    }
};

// Starts `program --background` in a session of its own, detached from our terminal and pipes.
bool launchInBackground(const std::string& program) {
    std::string path = program;
    std::string flag = "--background";
    char* argv[] = {path.data(), flag.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    for (int fd = 0; fd <= 2; ++fd)
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    // The instance outlives this command: holding the caller's folder would keep it busy (a USB
    // drive could not be unmounted).
    posix_spawn_file_actions_addchdir_np(&actions, "/");
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return error == 0;
}

// Woken by the bus when the instance claims its name, not by polling, so a cold start waits no
// longer than the instance takes. The watch begins before the first look, so no claim is missed.
bool waitForOwner(sd_bus* bus) {
    OwnerWatch watch;
    if (!watch.start(bus))
        return false;
    if (owner(bus))
        return true;
    serve(
        bus, [&] { return watch.claimed; }, monotonicNow() + launchWait);
    return owner(bus).has_value();
}

// Prints the instance's one-text answer; 3 when the instance is gone, 1 when it did not answer.
int printAnswer(sd_bus* bus, const Reply& reply) {
    const auto answer = text(reply);
    if (!answer) {
        // The instance went away between the check and the call, or did not answer.
        if (!owner(bus)) {
            printLine(stderr, notRunning);
            return 3;
        }
        printLine(stderr, "Wakeward did not answer: " + printable(reply.errorMessage));
        return 1;
    }
    printLine(stdout, printable(*answer));
    return 0;
}

// A start's answer: 0 when the session began, 1 with the instance's reason when it did not, 2
// when the instance found the request itself wrong (an unknown profile, say).
int finishStart(sd_bus* bus, const Reply& reply) {
    if (reply.errorName == "org.fenmarch.Wakeward.Error.UnknownProfile" ||
        reply.errorName == "org.freedesktop.DBus.Error.InvalidArgs") {
        printLine(stderr, printable(reply.errorMessage));
        return 2;
    }
    if (const int status = printAnswer(bus, reply); status != 0)
        return status;
    if (text(reply) == activeAnswer)
        return 0;
    if (const std::string message = property(bus, "Message"); !message.empty())
        printLine(stderr, printable(message));
    return 1;
}

// The options of StartSession that the command line asked for.
int appendStartOptions(sd_bus_message* m, const Invocation& invocation) {
    int status = sd_bus_message_open_container(m, 'a', "{sv}");
    auto add = [&](auto... entry) {
        if (status >= 0)
            status = sd_bus_message_append(m, "{sv}", entry...);
    };
    if (!invocation.profile.empty()) {
        add("profile", "s", wellFormedText(invocation.profile).c_str());
    } else {
        switch (invocation.ending) {
        case Invocation::Ending::duration:
            add("minutes", "x", std::int64_t(invocation.minutes));
            break;
        case Invocation::Ending::until: {
            char clock[8];
            std::snprintf(clock, sizeof clock, "%02d:%02d", invocation.untilHour % 100,
                          invocation.untilMinute % 100);
            add("until", "s", clock);
            break;
        }
        case Invocation::Ending::application:
            add("app", "s", wellFormedText(invocation.application).c_str());
            break;
        case Invocation::Ending::indefinite:
            add("untilStopped", "b", 1);
            break;
        }
        add("display", "b", int(invocation.display));
        add("mainsOnly", "b", int(invocation.mainsOnly));
    }
    return status >= 0 ? sd_bus_message_close_container(m) : status;
}

// The instance's state as one JSON object on one line; none when it cannot be read.
std::optional<std::string> statusJson(sd_bus* bus) {
    const Reply reply =
        call(bus, serviceName, objectPath, propertiesInterface, "GetAll",
             [](sd_bus_message* m) { return sd_bus_message_append(m, "s", interfaceName); });
    sd_bus_message* m = reply.message.get();
    if (!m || sd_bus_message_enter_container(m, 'a', "{sv}") < 0)
        return std::nullopt;
    std::map<std::string, std::variant<bool, std::string>, std::less<>> properties;
    while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
        const char* name = nullptr;
        const char* contents = nullptr;
        char type = 0;
        if (sd_bus_message_read(m, "s", &name) < 0 ||
            sd_bus_message_peek_type(m, &type, &contents) < 0)
            return std::nullopt;
        int flag = 0;
        const char* value = nullptr;
        if (contents && std::strcmp(contents, "b") == 0 &&
            sd_bus_message_read(m, "v", "b", &flag) >= 0)
            properties[name] = flag != 0;
        else if (contents && std::strcmp(contents, "s") == 0 &&
                 sd_bus_message_read(m, "v", "s", &value) >= 0)
            properties[name] = std::string(value);
        else if (sd_bus_message_skip(m, "v") < 0)
            return std::nullopt;
        sd_bus_message_exit_container(m);
    }
    auto textOf = [&](const char* name) {
        const auto found = properties.find(name);
        const auto* value =
            found == properties.end() ? nullptr : std::get_if<std::string>(&found->second);
        return value ? *value : std::string();
    };
    auto text = [&](const char* name) -> nlohmann::json {
        const std::string value = textOf(name);
        return value.empty() ? nlohmann::json() : nlohmann::json(value);
    };
    auto flag = [&](const char* name) {
        const auto found = properties.find(name);
        const auto* value = found == properties.end() ? nullptr : std::get_if<bool>(&found->second);
        return value && *value;
    };
    const nlohmann::json state = {
        {"active", flag("Active")},     {"displayActive", flag("DisplayActive")},
        {"reason", textOf("Reason")},   {"manual", flag("Manual")},
        {"mode", text("Mode")},         {"started", text("Started")},
        {"deadline", text("Deadline")}, {"automationPaused", flag("AutomationPaused")},
        {"message", text("Message")},   {"holder", text("Holder")}};
    // Escaped JSON: control characters never reach the terminal.
    return state.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

std::optional<std::string> statusLine(sd_bus* bus, bool json) {
    if (json)
        return statusJson(bus);
    const auto answer = text(callInstance(bus, "Status"));
    return answer ? std::optional(printable(*answer)) : std::nullopt;
}

// Prints the state now and again at every change the instance announces, until it goes away.
int watchStatus(sd_bus* bus, bool json) {
    OwnerWatch gone;
    const auto instance = owner(bus);
    if (!gone.start(bus) || !instance)
        return printAnswer(bus, Reply{});
    // Matched on the instance's own connection: nobody else can make us print.
    bool changed = true;
    const std::string rule = "type='signal',sender='" + *instance + "',path='" + objectPath +
                             "',interface='" + propertiesInterface + "',member='PropertiesChanged'";
    sd_bus_slot* raw = nullptr;
    const int status = sd_bus_add_match(
        bus, &raw, rule.c_str(),
        [](sd_bus_message*, void* flag, sd_bus_error*) {
            *static_cast<bool*>(flag) = true;
            return 0;
        },
        &changed);
    const Slot slot(raw);
    if (status < 0)
        return printAnswer(bus, Reply{});
    std::optional<std::string> last;
    while (!gone.released) {
        if (changed) {
            changed = false;
            const auto line = statusLine(bus, json);
            if (!line && !last)
                return printAnswer(bus, Reply{});
            if (line && line != last) {
                printLine(stdout, *line);
                std::fflush(stdout);
                last = line;
            }
        }
        if (!serve(
                bus, [&] { return changed || gone.released; }, std::nullopt))
            break;
    }
    printLine(stderr, notRunning);
    return 3;
}

// Runs the command with the standard streams passed on; its exit status, as a shell gives it.
int runChild(const std::vector<std::string>& command) {
    std::vector<std::string> words = command;
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (const int error = posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ);
        error != 0) {
        printLine(stderr, "wakeward: " + printable(wellFormedText(command.front())) + ": " +
                              std::strerror(error));
        return error == ENOENT ? 127 : 126;
    }
    runningChild = child;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    runningChild = 0;
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// Holds while the command runs. The instance ends the hold when we tell it or when our bus
// connection closes, so even a killed `wakeward run` leaves no hold behind.
int runCommand(sd_bus* bus, const Invocation& invocation, const Reply& reply) {
    const bool held = text(reply) == activeAnswer;
    if (!held) {
        // The command runs all the same; the user is told it may be interrupted by sleep.
        const std::string message = property(bus, "Message");
        printLine(stderr, "Wakeward could not keep the computer awake" +
                              (message.empty() ? std::string() : ": " + printable(message)));
    }
    std::fflush(stdout);
    std::fflush(stderr);
    // Termination and hang-up reach the command; interrupts from the terminal reach it anyway.
    struct sigaction forward {};
    forward.sa_handler = [](int signal) {
        if (runningChild > 0)
            ::kill(runningChild, signal);
    };
    ::sigemptyset(&forward.sa_mask);
    ::sigaction(SIGTERM, &forward, nullptr);
    ::sigaction(SIGHUP, &forward, nullptr);
    ::signal(SIGINT, SIG_IGN);
    ::signal(SIGQUIT, SIG_IGN);
    const int status = runChild(invocation.command);
    if (held)
        callInstance(bus, "EndCommand");
    return status;
}

// The instance's name has no owner: the call reached nobody.
bool unanswered(const Reply& reply) {
    return reply.errorName == "org.freedesktop.DBus.Error.NameHasNoOwner" ||
           reply.errorName == "org.freedesktop.DBus.Error.ServiceUnknown";
}

// Asks the instance, and when none runs launches one and asks again; none when the launch failed.
std::optional<Reply> askLaunching(sd_bus* bus, const std::string& program,
                                  const std::function<Reply()>& ask) {
    Reply reply = ask();
    if (!unanswered(reply))
        return reply;
    if (!launchInBackground(program) || !waitForOwner(bus)) {
        printLine(stderr, "Wakeward could not be started in the background.");
        return std::nullopt;
    }
    return ask();
}

} // namespace

int runRemote(const Invocation& invocation, const std::string& program) {
    sd_bus* raw = nullptr;
    if (sd_bus_open_user(&raw) < 0) {
        printLine(
            stderr,
            "There is no session bus, so Wakeward cannot be controlled from the command line.");
        return 3;
    }
    const Bus bus(raw);

    // Each command asks at once, without looking for the instance first: a missing one shows in
    // the answer, so a command is one round trip.
    switch (invocation.verb) {
    case Invocation::Verb::start: {
        const auto reply = askLaunching(raw, program, [&] {
            return callInstance(raw, "StartSession", [&](sd_bus_message* m) {
                return appendStartOptions(m, invocation);
            });
        });
        return reply ? finishStart(raw, *reply) : 1;
    }
    case Invocation::Verb::stop:
        return printAnswer(raw, callInstance(raw, "Stop"));
    case Invocation::Verb::status:
        if (invocation.watch)
            return watchStatus(raw, invocation.json);
        if (invocation.json) {
            const auto state = statusJson(raw);
            if (!state)
                return printAnswer(raw, Reply{});
            printLine(stdout, *state);
            return 0;
        }
        return printAnswer(raw, callInstance(raw, "Status"));
    case Invocation::Verb::run: {
        const std::string name =
            wellFormedText(std::filesystem::path(invocation.command.front()).filename().string());
        const auto reply = askLaunching(raw, program, [&] {
            return callInstance(raw, "StartCommand", [&](sd_bus_message* m) {
                return sd_bus_message_append(m, "sb", name.c_str(), int(invocation.display));
            });
        });
        return reply ? runCommand(raw, invocation, *reply) : 1;
    }
    case Invocation::Verb::launch:
    case Invocation::Verb::doctor:
        break;
    }
    return 2;
}

} // namespace wakeward
