#include "testsupport.h"
#include "walldisplay/commandline.h"

#include <QtTest>

// The program's own options, as a launcher or a unit file gives them. Qt's options never reach
// this parser: the application object removes them first (tst_wallscreens starts the real
// program with -platform to show that they keep working).
class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void helpNamesEveryOption();
    void screenIndexFor_data();
    void screenIndexFor();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("fullScreen");
    QTest::addColumn<QString>("screen");
    // A word the error message must contain, so that the operator learns what was wrong.
    QTest::addColumn<QString>("told");

    const int run = CommandLine::Run, help = CommandLine::Help, version = CommandLine::Version,
              error = CommandLine::Error;
    QTest::newRow("nothing: as ever") << QStringList() << run << false << "" << "";
    QTest::newRow("--fullscreen") << QStringList({ "--fullscreen" }) << run << true << "" << "";
    QTest::newRow("-fullscreen, as Qt's own are written")
        << QStringList({ "-fullscreen" }) << run << true << "" << "";
    QTest::newRow("--screen 1") << QStringList({ "--screen", "1" }) << run << false << "1" << "";
    QTest::newRow("--screen=HDMI-1") << QStringList({ "--screen=HDMI-1" }) << run << false
                                     << "HDMI-1" << "";
    QTest::newRow("both") << QStringList({ "--screen", "0", "--fullscreen" }) << run << true
                          << "0" << "";
    QTest::newRow("--help") << QStringList({ "--help" }) << help << false << "" << "";
    QTest::newRow("-h") << QStringList({ "-h" }) << help << false << "" << "";
    QTest::newRow("help beside a mistake") << QStringList({ "--bogus", "--help" }) << help
                                           << false << "" << "";
    QTest::newRow("--version") << QStringList({ "--version" }) << version << false << "" << "";
    QTest::newRow("-V") << QStringList({ "-V" }) << version << false << "" << "";
    QTest::newRow("unknown option") << QStringList({ "--full-screen" }) << error << false << ""
                                    << "full-screen";
    QTest::newRow("unknown single-dash option") << QStringList({ "-kiosk" }) << error << false
                                                << "" << "kiosk";
    QTest::newRow("--screen without a value") << QStringList({ "--screen" }) << error << false
                                              << "" << "screen";
    QTest::newRow("--screen with an empty value") << QStringList({ "--screen=" }) << error
                                                  << false << "" << "screen";
    QTest::newRow("--screen twice") << QStringList({ "--screen", "0", "--screen", "1" }) << error
                                    << false << "" << "more than once";
    QTest::newRow("a stray word") << QStringList({ "fullscreen" }) << error << false << ""
                                  << "fullscreen";
    QTest::newRow("a value to a flag") << QStringList({ "--fullscreen=yes" }) << error << false
                                       << "" << "fullscreen";
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, kind);
    QFETCH(bool, fullScreen);
    QFETCH(QString, screen);
    QFETCH(QString, told);

    const CommandLine line
        = parseCommandLine(QStringList({ QStringLiteral("/usr/bin/orvane-meters") }) + arguments);
    QCOMPARE(int(line.kind), kind);
    if (kind == CommandLine::Error) {
        QVERIFY2(line.message.contains(told), qPrintable(line.message));
        return;
    }
    QCOMPARE(line.fullScreen, fullScreen);
    QCOMPARE(line.screen, screen);
    // The footer's version: both come from the changelog.
    if (kind == CommandLine::Version)
        QVERIFY2(line.message.startsWith(QStringLiteral("orvane-meters %1.%2")
                                             .arg(ORVANE_VERSION_MAJOR)
                                             .arg(ORVANE_VERSION_MINOR))
                     && line.message.endsWith(QLatin1Char('\n')),
                 qPrintable(line.message));
}

void TestCommandLine::helpNamesEveryOption()
{
    const CommandLine line = parseCommandLine({ QStringLiteral("orvane-meters"),
                                                QStringLiteral("--help") });
    for (const char *option : { "--fullscreen", "--screen <N>", "--help", "--version" })
        QVERIFY2(line.message.contains(QLatin1String(option)), qPrintable(line.message));
    QVERIFY2(line.message.contains(QLatin1String("Usage: orvane-meters")),
             qPrintable(line.message));
}

void TestCommandLine::screenIndexFor_data()
{
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("expected");

    const QStringList two = { "DP-1", "HDMI-1" };
    QTest::newRow("first by number") << "0" << two << 0;
    QTest::newRow("second by number") << "1" << two << 1;
    QTest::newRow("by name") << "HDMI-1" << two << 1;
    QTest::newRow("names are exact") << "hdmi-1" << two << -1;
    QTest::newRow("past the last") << "2" << two << -1;
    QTest::newRow("negative") << "-1" << two << -1;
    QTest::newRow("not a number nor a name") << "left" << two << -1;
    QTest::newRow("no screens") << "0" << QStringList() << -1;
    // The number comes first; a name that looks like a number is found when no number fits.
    QTest::newRow("name that is a number") << "7" << QStringList({ "1", "7" }) << 1;
}

void TestCommandLine::screenIndexFor()
{
    QFETCH(QString, choice);
    QFETCH(QStringList, names);
    QFETCH(int, expected);

    QString error;
    QCOMPARE(::screenIndexFor(choice, names, &error), expected);
    if (expected < 0) {
        QVERIFY(error.contains(choice));
        // The operator is told which screens there are.
        for (const QString &name : names)
            QVERIFY2(error.contains(name), qPrintable(error));
    } else {
        QVERIFY(error.isEmpty());
    }
}

ORVANE_TEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
