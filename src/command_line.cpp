#include "command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>

namespace {

constexpr int usageError = 2;

// Qt's own options, which QApplication takes out of argv before the program sees them. They are
// accepted here so that -platform, -style or a session manager's -session still start the program.
const QStringList qtOptionsWithValue{QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
                                     QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
                                     QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
                                     QStringLiteral("qwindowtitle"),    QStringLiteral("geometry"),
                                     QStringLiteral("title"),           QStringLiteral("icon"),
                                     QStringLiteral("display"),         QStringLiteral("name"),
                                     QStringLiteral("session"),         QStringLiteral("style"),
                                     QStringLiteral("stylesheet"),      QStringLiteral("qmljsdebugger")};
const QStringList qtFlags{QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                          QStringLiteral("testability")};

QCommandLineOption hidden(QCommandLineOption option)
{
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
}

} // namespace

CommandLine::Outcome CommandLine::parse(const QStringList& arguments)
{
    const QString program =
        arguments.isEmpty() ? QStringLiteral("BD-CHATSLATE") : QFileInfo(arguments.constFirst()).fileName();
    QCommandLineParser parser;
    // Qt's options are single-dash words (-platform, -style).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Passes short texts on a local network through one live log file in a shared folder.\n"
                       "The share location and the window positions are kept in the user's settings."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help and exits."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Displays the version and exits."));
    parser.addOption(help);
    parser.addOption(version);
    for (const QString& name : qtOptionsWithValue)
        parser.addOption(hidden(QCommandLineOption(name, QString(), QStringLiteral("value"))));
    for (const QString& name : qtFlags)
        parser.addOption(hidden(QCommandLineOption(name)));

    const auto usageFailure = [&](const QString& message) {
        return Outcome{usageError, QString(),
                       program % QStringLiteral(": ") % message % QStringLiteral("\nTry '") % program %
                           QStringLiteral(" --help' for more information.\n")};
    };
    if (!parser.parse(arguments))
        return usageFailure(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return usageFailure(
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst()));
    if (parser.isSet(help)) {
        // Without an application object Qt cannot name the program in its usage line.
        const QString rest = parser.helpText().section(QLatin1Char('\n'), 1);
        return Outcome{0, QStringLiteral("Usage: ") % program % QStringLiteral(" [options]\n") % rest,
                       QString()};
    }
    if (parser.isSet(version))
        return Outcome{0, QStringLiteral("BD-ChatSlate " CHATSLATE_VERSION "\n"), QString()};
    return Outcome{};
}

std::optional<int> CommandLine::handle(int argc, char* argv[])
{
    QStringList arguments;
    for (int index = 0; index < argc; ++index)
        arguments.append(QString::fromLocal8Bit(argv[index]));
    const Outcome outcome = parse(arguments);
    std::fputs(outcome.standardOutput.toLocal8Bit().constData(), stdout);
    std::fputs(outcome.standardError.toLocal8Bit().constData(), stderr);
    return outcome.exitCode;
}
