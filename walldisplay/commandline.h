#pragma once

#include <QString>
#include <QStringList>

// The program's own command line, for kiosk launchers and unit files. Qt's options (-platform,
// -display, ...) are taken by the application object before this sees the arguments.
struct CommandLine
{
    enum Kind { Run, Help, Version, Error };

    Kind kind = Run;
    bool fullScreen = false;
    // The --screen value as given: a number or a screen's name. Empty when not given.
    QString screen;
    // The help or version text, or what is wrong with the command line.
    QString message;

    // The exit status of a command line that does not make sense.
    static constexpr int UsageStatus = 2;
};

// `arguments` includes the program name, as QCoreApplication::arguments() gives it. Options
// may be written with one dash or two (-fullscreen, --fullscreen), as Qt's own are.
CommandLine parseCommandLine(const QStringList &arguments);

// "orvane-meters 1.7.0": the changelog's version, as the footer shows it.
QString versionText();

// The index of the screen that `choice`, the --screen value, names among screens called
// `names` (in the toolkit's order): a number from 0, or a name as the window system gives it.
// -1 and a message in `error` when there is no such screen.
int screenIndexFor(const QString &choice, const QStringList &names, QString *error);
