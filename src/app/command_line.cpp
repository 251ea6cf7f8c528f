#include "app/command_line.h"

#include "ovra/deployment_config.h"
#include "settings/quick_actions.h"

#include <QCommandLineParser>

namespace ovra::CommandLine {

namespace {

CommandLineRequest failure(const QString& message) {
    CommandLineRequest request;
    request.kind = CommandLineRequest::Kind::error;
    request.output = QStringLiteral("ovra: ") + message +
                     QStringLiteral("\nTry 'ovra --help' for the options.\n");
    return request;
}

} // namespace

CommandLineRequest parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Translate, rephrase and review the text selected in any application.\n"
                       "Without an option, starts Ovra, or opens the preferences of the Ovra "
                       "already running."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption capture(
        QStringLiteral("capture"),
        QStringLiteral(
            "Show the panel for the selection under the pointer, as the shortcut does."));
    const QCommandLineOption preferences(QStringLiteral("preferences"),
                                         QStringLiteral("Open the preferences window."));
    const QCommandLineOption quit(QStringLiteral("quit"),
                                  QStringLiteral("Quit the running Ovra, if there is one."));
    const QCommandLineOption action(
        QStringLiteral("action"),
        QStringLiteral("Run an action on the selection, as its shortcut does: translate-replace, "
                       "rephrase-replace, review-replace, translate or summarize."),
        QStringLiteral("name"));
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QStringLiteral("Write diagnostics (no text, results or keys) to standard error."));
    parser.addOptions({help, version, capture, preferences, quit, action, verbose});

    if (!parser.parse(arguments))
        return failure(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return failure(QStringLiteral("unexpected argument '") +
                       parser.positionalArguments().constFirst() + u'\'');

    CommandLineRequest request;
    if (parser.isSet(help)) {
        request.kind = CommandLineRequest::Kind::help;
        // The program's name, whatever path it was started by (and with no application object,
        // the parser knows none).
        QString text = parser.helpText();
        const qsizetype nameStart = text.indexOf(u' ') + 1;
        const qsizetype nameEnd = text.indexOf(QStringLiteral(" [options]"));
        if (nameStart > 0 && nameEnd > nameStart)
            text.replace(nameStart, nameEnd - nameStart, QStringLiteral("ovra"));
        request.output = text;
        return request;
    }
    if (parser.isSet(version)) {
        request.kind = CommandLineRequest::Kind::version;
        request.output = QStringLiteral("ovra ") + QLatin1String(deployment::appVersion) + u'\n';
        return request;
    }
    QStringList actions;
    for (const QCommandLineOption* option : {&capture, &preferences, &quit}) {
        if (parser.isSet(*option))
            actions.append(option->names().constFirst());
    }
    if (parser.isSet(action)) {
        const QString name = parser.value(action);
        if (!QuickActions::named(name))
            return failure(QStringLiteral("unknown action '") + name + u'\'');
        actions.append(action.names().constFirst());
    }
    if (actions.size() > 1)
        return failure(QStringLiteral("choose one of --") + actions.join(QStringLiteral(", --")));
    request.action = parser.isSet(action) ? parser.value(action) : actions.value(0);
    request.verbose = parser.isSet(verbose);
    return request;
}

} // namespace ovra::CommandLine
