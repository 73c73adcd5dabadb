#include "walldisplay/commandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

const QString ProgramName = QStringLiteral("orvane-meters");

void addOptions(QCommandLineParser &parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Peak programme meter bridge for a broadcast mixing console.\n"
                       "Qt's own options (-platform, -display, -style, ...) are taken as well."));
    parser.addOption(QCommandLineOption(
        { QStringLiteral("fullscreen") },
        QStringLiteral("Start in full screen, whatever the display settings say.")));
    parser.addOption(QCommandLineOption(
        { QStringLiteral("screen") },
        QStringLiteral("Open on this screen: its number, from 0, or its name (e.g. HDMI-1).")
            + QStringLiteral(" Without it the window opens where it was."),
        QStringLiteral("N")));
    // Qt's own help option would also offer --help-all, which only process() can answer.
    parser.addOption(QCommandLineOption({ QStringLiteral("h"), QStringLiteral("help") },
                                        QStringLiteral("Show this help and exit.")));
    parser.addOption(QCommandLineOption({ QStringLiteral("V"), QStringLiteral("version") },
                                        QStringLiteral("Show the version and exit.")));
}

CommandLine failed(const QString &message)
{
    CommandLine line;
    line.kind = CommandLine::Error;
    line.message = message;
    return line;
}

} // namespace

QString versionText()
{
    return ProgramName + QLatin1Char(' ') + QStringLiteral(ORVANE_VERSION);
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    addOptions(parser);
    const bool parsed = parser.parse(arguments);

    CommandLine line;
    // Asked for help, a launcher gets it even beside a mistake.
    if (parser.isSet(QStringLiteral("help"))) {
        line.kind = CommandLine::Help;
        // The parser writes its text from the application object's arguments; before there is
        // one the caller only learns that help was asked for.
        if (QCoreApplication::instance()) {
            line.message = parser.helpText();
            // Qt names the program by the path it was started with.
            const QString started = QCoreApplication::arguments().value(0);
            if (!started.isEmpty())
                line.message.replace(started, ProgramName);
        }
        return line;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        line.kind = CommandLine::Version;
        line.message = versionText() + QLatin1Char('\n');
        return line;
    }
    if (!parsed)
        return failed(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return failed(
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first()));
    if (parser.values(QStringLiteral("screen")).size() > 1)
        return failed(QStringLiteral("--screen given more than once."));

    line.fullScreen = parser.isSet(QStringLiteral("fullscreen"));
    if (parser.isSet(QStringLiteral("screen"))) {
        line.screen = parser.value(QStringLiteral("screen")).trimmed();
        if (line.screen.isEmpty())
            return failed(QStringLiteral("--screen needs a screen number or name."));
    }
    return line;
}

int screenIndexFor(const QString &choice, const QStringList &names, QString *error)
{
    bool isNumber = false;
    const int number = choice.toInt(&isNumber, 10);
    if (isNumber && number >= 0 && number < names.size())
        return number;
    // A screen may be called by a name that looks like a number; the name wins only when no
    // screen has that number.
    const int named = names.indexOf(choice);
    if (named >= 0)
        return named;

    QStringList known;
    for (int i = 0; i < names.size(); ++i)
        known << (names.at(i).isEmpty() ? QString::number(i)
                                        : QStringLiteral("%1 (%2)").arg(i).arg(names.at(i)));
    if (error) {
        *error = names.isEmpty()
            ? QStringLiteral("--screen %1: there is no screen at all.").arg(choice)
            : QStringLiteral("--screen %1: no such screen; there are %2.")
                  .arg(choice, known.join(QStringLiteral(", ")));
    }
    return -1;
}
