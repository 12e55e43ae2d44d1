#include "shortcuts/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace wakeward {

QString usageLine() {
    return QStringLiteral(
        "Usage: wakeward [--background | --headless] | start [--minutes N] | stop | status");
}

ParsedArguments parseArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Keeps the computer from idle sleep while you have a reason.\n\n"
        "Commands:\n"
        "  start [--minutes N]  start a session of N minutes (default 60) in the running instance\n"
        "  stop                 release every hold and pause automation\n"
        "  status               print why the computer is or is not kept awake"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version."));
    const QCommandLineOption background(QStringLiteral("background"),
                                        QStringLiteral("Start in the tray only."));
    const QCommandLineOption headless(QStringLiteral("headless"),
                                      QStringLiteral("Run without windows or tray."));
    const QCommandLineOption minutes(QStringLiteral("minutes"),
                                     QStringLiteral("Session length for start (default 60)."),
                                     QStringLiteral("N"));
    parser.addOptions({help, version, background, headless, minutes});
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("start, stop or status (optional)."),
                                 QStringLiteral("[command]"));

    ParsedArguments result;
    auto fail = [&](const QString& why) {
        result.output = why + QLatin1Char('\n') + usageLine() + QLatin1Char('\n');
        result.exitCode = 2;
        return result;
    };

    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        // Without an application object yet the parser cannot name the program itself.
        const QString text = parser.helpText();
        result.output = usageLine() + text.mid(text.indexOf(QLatin1Char('\n')));
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
        if (verb == QLatin1String("start"))
            invocation.verb = Invocation::Verb::start;
        else if (verb == QLatin1String("stop"))
            invocation.verb = Invocation::Verb::stop;
        else if (verb == QLatin1String("status"))
            invocation.verb = Invocation::Verb::status;
        else
            return fail(QStringLiteral("Unknown command: %1").arg(verb));
    }
    if (parser.isSet(minutes)) {
        if (invocation.verb != Invocation::Verb::start)
            return fail(QStringLiteral("--minutes belongs to the start command."));
        bool ok = false;
        invocation.minutes = parser.value(minutes).toLongLong(&ok);
        if (!ok)
            return fail(QStringLiteral("--minutes needs a whole number, not \"%1\".").arg(parser.value(minutes)));
    }
    const bool runOptions = parser.isSet(background) || parser.isSet(headless);
    if (runOptions && invocation.verb != Invocation::Verb::run)
        return fail(QStringLiteral("--background and --headless only apply when starting Wakeward itself."));
    invocation.background = parser.isSet(background);
    invocation.headless = parser.isSet(headless);
    result.invocation = invocation;
    return result;
}

} // namespace wakeward
