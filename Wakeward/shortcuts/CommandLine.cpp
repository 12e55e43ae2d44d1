#include "shortcuts/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>
#include <vector>

namespace wakeward {

QString usageLine() {
    return QStringLiteral("Usage: wakeward [--background | --headless]\n"
                          "       wakeward start [--minutes N | --until HH:MM | --while-running "
                          "APP | --until-stopped]"
                          " [--display] [--mains-only]\n"
                          "       wakeward start --profile NAME\n"
                          "       wakeward stop\n"
                          "       wakeward status [--json] [--watch]\n"
                          "       wakeward run [--display] -- COMMAND [ARGUMENTS...]\n"
                          "       wakeward doctor");
}

namespace {

// The index of the first argument that is neither an option nor an option's value; 0 when none.
qsizetype firstWord(const QStringList& arguments) {
    static const QStringList takeValues{QStringLiteral("--minutes"), QStringLiteral("--until"),
                                        QStringLiteral("--while-running"),
                                        QStringLiteral("--profile")};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--"))
            return 0;
        if (!arguments[i].startsWith(QLatin1Char('-')))
            return i;
        if (takeValues.contains(arguments[i]))
            ++i;
    }
    return 0;
}

} // namespace

ParsedArguments parseArguments(const QStringList& arguments) {
    ParsedArguments result;
    auto fail = [&](const QString& why) {
        result.output = why + QLatin1Char('\n') + usageLine() + QLatin1Char('\n');
        result.exitCode = 2;
        return result;
    };

    // `run` hands everything after its "--" (or after its first plain word) to the command, so
    // the command's own options are never read as ours.
    QStringList ours = arguments;
    QStringList command;
    if (const qsizetype verb = firstWord(arguments);
        verb > 0 && arguments[verb] == QLatin1String("run")) {
        qsizetype split = arguments.indexOf(QStringLiteral("--"), verb + 1);
        if (split < 0) {
            for (split = verb + 1;
                 split < arguments.size() && arguments[split].startsWith(QLatin1Char('-'));
                 ++split) {
            }
            command = arguments.mid(split);
        } else {
            command = arguments.mid(split + 1);
        }
        ours = arguments.mid(0, split);
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Keeps the computer from idle sleep while you have a reason.\n\n"
        "Commands:\n"
        "  start      start a manual session in the running instance (launched when none runs)\n"
        "  stop       release every hold and pause automation\n"
        "  status     print why the computer is or is not kept awake\n"
        "  run        keep the computer awake while COMMAND runs, and pass on its exit status\n"
        "  doctor     report what this desktop offers for keeping it awake"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version."));
    const QCommandLineOption background(QStringLiteral("background"),
                                        QStringLiteral("Start in the tray only."));
    const QCommandLineOption headless(QStringLiteral("headless"),
                                      QStringLiteral("Run without windows or tray."));
    const QCommandLineOption minutes(
        QStringLiteral("minutes"),
        QStringLiteral("start: a session of N minutes (1 to 1440, default 60)."),
        QStringLiteral("N"));
    const QCommandLineOption until(
        QStringLiteral("until"),
        QStringLiteral("start: a session until the next HH:MM, local time."),
        QStringLiteral("HH:MM"));
    const QCommandLineOption whileRunning(
        QStringLiteral("while-running"),
        QStringLiteral("start: a session while the application APP (its executable name) runs."),
        QStringLiteral("APP"));
    const QCommandLineOption untilStopped(QStringLiteral("until-stopped"),
                                          QStringLiteral("start: a session until you stop it."));
    const QCommandLineOption display(QStringLiteral("display"),
                                     QStringLiteral("start, run: keep the display awake too."));
    const QCommandLineOption mainsOnly(QStringLiteral("mains-only"),
                                       QStringLiteral("start: only while on mains power."));
    const QCommandLineOption profile(
        QStringLiteral("profile"),
        QStringLiteral("start: the saved profile NAME (any letter case)."), QStringLiteral("NAME"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("status: one JSON object."));
    const QCommandLineOption watch(
        QStringLiteral("watch"),
        QStringLiteral("status: print again at every change, until interrupted."));
    parser.addOptions({help, version, background, headless, minutes, until, whileRunning,
                       untilStopped, display, mainsOnly, profile, json, watch});
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("start, stop, status, run or doctor (optional)."),
                                 QStringLiteral("[command]"));

    if (!parser.parse(ours))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        // Without an application object yet the parser cannot name the program itself.
        const QString text = parser.helpText();
        result.output = usageLine() + QLatin1Char('\n') + text.mid(text.indexOf(QLatin1Char('\n')));
        return result;
    }
    if (parser.isSet(version)) {
        result.output = QStringLiteral("wakeward %1\n").arg(QCoreApplication::applicationVersion());
        return result;
    }

    Invocation invocation;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return fail(QStringLiteral("Too many commands: %1").arg(positional.join(QLatin1Char(' '))));
    if (!positional.isEmpty()) {
        const QString& verb = positional.front();
        static const std::pair<const char*, Invocation::Verb> verbs[] = {
            {"start", Invocation::Verb::start},
            {"stop", Invocation::Verb::stop},
            {"status", Invocation::Verb::status},
            {"run", Invocation::Verb::run},
            {"doctor", Invocation::Verb::doctor}};
        const auto* found =
            std::find_if(std::begin(verbs), std::end(verbs),
                         [&](const auto& entry) { return verb == QLatin1String(entry.first); });
        if (found == std::end(verbs))
            return fail(QStringLiteral("Unknown command: %1").arg(verb));
        invocation.verb = found->second;
    }
    const Invocation::Verb verb = invocation.verb;

    // Which options each command takes.
    auto only = [&](const QCommandLineOption& option,
                    const std::vector<Invocation::Verb>& allowed) {
        return !parser.isSet(option) ||
               std::find(allowed.begin(), allowed.end(), verb) != allowed.end();
    };
    using V = Invocation::Verb;
    // Vectors: an initializer list would not outlive this declaration.
    const std::pair<const QCommandLineOption*, std::vector<V>> owners[] = {
        {&minutes, {V::start}},         {&until, {V::start}},    {&whileRunning, {V::start}},
        {&untilStopped, {V::start}},    {&profile, {V::start}},  {&mainsOnly, {V::start}},
        {&display, {V::start, V::run}}, {&json, {V::status}},    {&watch, {V::status}},
        {&background, {V::launch}},     {&headless, {V::launch}}};
    for (const auto& [option, allowed] : owners)
        if (!only(*option, allowed))
            return fail(QStringLiteral("--%1 does not apply to this command.")
                            .arg(option->names().constLast()));
    if (parser.isSet(background) && parser.isSet(headless))
        return fail(QStringLiteral("Choose --background or --headless, not both."));

    const int endings = int(parser.isSet(minutes)) + int(parser.isSet(until)) +
                        int(parser.isSet(whileRunning)) + int(parser.isSet(untilStopped));
    if (endings > 1)
        return fail(QStringLiteral(
            "Choose one of --minutes, --until, --while-running and --until-stopped."));
    if (parser.isSet(profile) && (endings > 0 || parser.isSet(display) || parser.isSet(mainsOnly)))
        return fail(
            QStringLiteral("A profile brings its own length and settings; give --profile alone."));
    if (parser.isSet(minutes)) {
        bool ok = false;
        invocation.minutes = parser.value(minutes).toLongLong(&ok);
        if (!ok)
            return fail(QStringLiteral("--minutes needs a whole number, not \"%1\".")
                            .arg(parser.value(minutes)));
    }
    if (parser.isSet(until)) {
        const auto clock = readClockTime(parser.value(until));
        if (!clock)
            return fail(QStringLiteral("--until needs a time from 00:00 to 23:59, not \"%1\".")
                            .arg(parser.value(until)));
        invocation.ending = Invocation::Ending::until;
        invocation.untilHour = clock->first;
        invocation.untilMinute = clock->second;
    }
    if (parser.isSet(whileRunning)) {
        invocation.ending = Invocation::Ending::application;
        invocation.application = parser.value(whileRunning);
        if (invocation.application.isEmpty())
            return fail(QStringLiteral("--while-running needs an application's executable name."));
    }
    if (parser.isSet(untilStopped))
        invocation.ending = Invocation::Ending::indefinite;
    if (parser.isSet(profile)) {
        invocation.profile = parser.value(profile);
        if (invocation.profile.isEmpty())
            return fail(QStringLiteral("--profile needs a profile's name."));
    }
    if (verb == V::run) {
        if (command.isEmpty() || command.front().isEmpty())
            return fail(QStringLiteral("run needs a command to run."));
        invocation.command = command;
    }
    invocation.display = parser.isSet(display);
    invocation.mainsOnly = parser.isSet(mainsOnly);
    invocation.json = parser.isSet(json);
    invocation.watch = parser.isSet(watch);
    invocation.background = parser.isSet(background);
    invocation.headless = parser.isSet(headless);
    result.invocation = invocation;
    return result;
}

std::optional<std::pair<int, int>> readClockTime(const QString& text) {
    static const QRegularExpression clock(QStringLiteral("^([01]?[0-9]|2[0-3]):([0-5][0-9])$"));
    const auto match = clock.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return std::pair(match.captured(1).toInt(), match.captured(2).toInt());
}

ParsedArguments parseArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return parseArguments(arguments);
}

} // namespace wakeward
