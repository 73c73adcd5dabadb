#include "comm/releasegate.h"
#include "mainwindowprobe.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "widgets/mylabel.h"
#include "widgets/vexoppmmeter.h"

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTimer>

namespace {

const char *const WhiteText = "QLabel\n{\ncolor: rgb(255, 255, 255);\n}";

// The four clickable labels are the window's own children and carry no object names; they are
// told apart by their place in the design.
myLabel *labelAt(MainWindow &window, QPoint designPos)
{
    for (myLabel *label : window.findChildren<myLabel *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (label->pos() == designPos)
            return label;
    }
    return nullptr;
}

QStringList childNames(const QWidget *parent)
{
    QStringList names;
    for (const QObject *child : parent->children()) {
        if (child->isWidgetType())
            names << child->objectName();
    }
    return names;
}

// "v1.7" for a newest changelog entry "orvane-meters (1.7.0) ...": the footer shows the major
// and minor version of the package it was built for.
QString changelogFooterVersion()
{
    QFile changelog(QStringLiteral(ORVANE_CHANGELOG));
    if (!changelog.open(QIODevice::ReadOnly))
        return QString();
    const QRegularExpressionMatch match
        = QRegularExpression(QStringLiteral("^\\S+ \\((\\d+)\\.(\\d+)\\.\\d+\\) "))
              .match(QString::fromUtf8(changelog.readLine()));
    return match.hasMatch() ? QStringLiteral("v%1.%2").arg(match.captured(1), match.captured(2))
                            : QString();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void designGeometry_data();
    void designGeometry();
    void stackingOrder();
    void windowProperties();
    void titleWithoutStoredSettings();
    void labelsAndFonts();
    void metersAndReleaseState();
    void formKeepsAnExistingName_data();
    void formKeepsAnExistingName();
    void closingEndsTheEventLoopAndStoresSettings();
};

void TestMainWindow::init()
{
    OrvaneTest::isolatedSettings().clear();
}

void TestMainWindow::designGeometry_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");

    QTest::newRow("ProgLeft") << 0 << "ProgLeft" << QRect(54, 73, 12, 415);
    QTest::newRow("ProgRight") << 1 << "ProgRight" << QRect(143, 73, 12, 415);
    QTest::newRow("SubLeft") << 2 << "SubLeft" << QRect(210, 73, 12, 415);
    QTest::newRow("SubRight") << 3 << "SubRight" << QRect(299, 73, 12, 415);
    QTest::newRow("CrmLeft") << 4 << "CrmLeft" << QRect(844, 199, 8, 291);
    QTest::newRow("CrmRight") << 5 << "CrmRight" << QRect(907, 199, 8, 291);
    QTest::newRow("AnalogClock") << 6 << "AnalogClock" << QRect(348, 85, 410, 410);
    QTest::newRow("DigitalClock") << 7 << "DigitalClock" << QRect(348, 260, 410, 111);
    QTest::newRow("labelMeter1") << 8 << QString() << QRect(44, 502, 121, 31);
    QTest::newRow("labelMeter2") << 9 << QString() << QRect(194, 502, 131, 31);
    QTest::newRow("labelMeter3") << 10 << QString() << QRect(830, 502, 101, 31);
    QTest::newRow("timelabel") << 11 << "timelabel" << QRect(356, 502, 401, 31);
    QTest::newRow("footerlabel") << 12 << "footerlabel" << QRect(360, 550, 381, 21);
    QTest::newRow("settingsLabel") << 13 << QString() << QRect(900, 28, 25, 25);
}

void TestMainWindow::designGeometry()
{
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(QRect, rect);

    MainWindow window;
    QCOMPARE(MainWindowTestAccess::designRects(window)[index], rect);

    QWidget *widget
        = name.isEmpty() ? labelAt(window, rect.topLeft()) : window.findChild<QWidget *>(name);
    QVERIFY(widget);
    // At the design size the laid-out window keeps every widget in its design place, and the
    // window's own children share the central widget's origin.
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(!MainWindowTestAccess::resized(window));
    QCOMPARE(window.size(), QSize(986, 580));
    QCOMPARE(widget->geometry(), rect);
    QCOMPARE(widget->mapTo(&window, QPoint(0, 0)), rect.topLeft());
}

void TestMainWindow::stackingOrder()
{
    MainWindow window;
    QWidget *central = window.centralWidget();
    QCOMPARE(central->objectName(), QStringLiteral("centralWidget"));
    const QStringList bottomToTop = {
        "ProgLeft", "ProgRight",    "SubLeft",   "SubRight",    "CrmLeft",
        "CrmRight", "DigitalClock", "timelabel", "footerlabel", "AnalogClock",
    };
    QCOMPARE(childNames(central), bottomToTop);

    // The settings button and the captions lie above the central widget.
    const QList<QObject *> own = window.children();
    const int centralIndex = own.indexOf(central);
    int labels = 0;
    for (int i = 0; i < own.size(); ++i) {
        if (qobject_cast<myLabel *>(own.at(i))) {
            QVERIFY(i > centralIndex);
            ++labels;
        }
    }
    QCOMPARE(labels, 4);
}

void TestMainWindow::windowProperties()
{
    MainWindow window;
    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window.minimumSize(), QSize(986, 580));
    QCOMPARE(window.sizePolicy().horizontalPolicy(), QSizePolicy::Maximum);
    QCOMPARE(window.sizePolicy().verticalPolicy(), QSizePolicy::Maximum);
    QCOMPARE(window.locale().language(), QLocale::Dutch);
    QCOMPARE(window.locale().country(), QLocale::Netherlands);
    QVERIFY(!window.autoFillBackground());
    QVERIFY(window.styleSheet().isEmpty());
    QVERIFY(!window.windowIcon().isNull());

    QMenuBar *bar = window.findChild<QMenuBar *>(QStringLiteral("menuBar"));
    QVERIFY(bar);
    QCOMPARE(window.menuBar(), bar);
    QVERIFY(bar->actions().isEmpty());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!bar->isVisible());
    QCOMPARE(window.centralWidget()->pos(), QPoint(0, 0));

    QAction *action = window.findChild<QAction *>(QStringLiteral("actionCOM_port"));
    QVERIFY(action);
    QCOMPARE(action->text(), QStringLiteral("COM-port"));
    QVERIFY(action->associatedWidgets().isEmpty());

    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Vexo"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Unknown"));
    QVERIFY(!QCoreApplication::organizationDomain().isEmpty());
}

void TestMainWindow::titleWithoutStoredSettings()
{
    MainWindow window;
    // No port stored: serial only, with nothing between the brackets.
    QCOMPARE(window.windowTitle(), QStringLiteral("Unknown - ()"));
    const comm_st &settings = MainWindowTestAccess::commSettings(window);
    QVERIFY(!settings.use_udp);
    QVERIFY(!settings.is_server);
    QVERIFY(settings.serialport.isEmpty());
}

void TestMainWindow::labelsAndFonts()
{
    MainWindow window;
    myLabel *settings = labelAt(window, QPoint(900, 28));
    QVERIFY(settings);
    QVERIFY(settings->text().isEmpty());
    QCOMPARE(settings->styleSheet(), QStringLiteral("image: url(:/resources/png/Settings.png);"));

    const struct
    {
        QPoint pos;
        const char *text;
    } captions[] = { { { 44, 502 }, "Prog" }, { { 194, 502 }, "Sub" }, { { 830, 502 }, "CRM" } };
    for (const auto &caption : captions) {
        myLabel *label = labelAt(window, caption.pos);
        QVERIFY(label);
        QCOMPARE(label->text(), QString::fromLatin1(caption.text));
        QCOMPARE(label->styleSheet(), QString::fromLatin1(WhiteText));
        QCOMPARE(label->alignment(), Qt::Alignment(Qt::AlignCenter));
    }

    auto *time = window.findChild<QLabel *>(QStringLiteral("timelabel"));
    auto *footer = window.findChild<QLabel *>(QStringLiteral("footerlabel"));
    QCOMPARE(time->text(), QStringLiteral("System Time"));
    QCOMPARE(time->styleSheet(), QString::fromLatin1(WhiteText));
    QCOMPARE(time->alignment(), Qt::Alignment(Qt::AlignCenter));
    const QString version = changelogFooterVersion();
    QVERIFY2(!version.isEmpty(), "no version in " ORVANE_CHANGELOG);
    QVERIFY2(footer->text().endsWith(QStringLiteral(" - ") + version), qPrintable(footer->text()));
    QCOMPARE(footer->alignment(), Qt::Alignment(Qt::AlignCenter));
    QVERIFY(!footer->font().italic());

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(!MainWindowTestAccess::resized(window));
    QCOMPARE(time->font().pointSize(), 15);
    QCOMPARE(footer->font().pointSize(), 8);
    for (const auto &caption : captions)
        QCOMPARE(labelAt(window, caption.pos)->font().pointSize(), 15);
}

void TestMainWindow::metersAndReleaseState()
{
    MainWindow window;
    const QList<VexoPPMMeter *> meters = window.findChildren<VexoPPMMeter *>();
    QCOMPARE(meters.size(), 6);
    for (const VexoPPMMeter *meter : meters) {
        QVERIFY(meter->getGradientForground());
        QVERIFY(meter->getGradientBackground());
        QVERIFY(meter->getDINCurve());
        QCOMPARE(meter->getMindBPosition(), -50.0);
        QCOMPARE(meter->getMaxdBPosition(), 5.0);
    }
    for (int i = 0; i < 6; ++i)
        QCOMPARE(MainWindowTestAccess::meterLevels(window)[i], -50.0);
    QCOMPARE(MainWindowTestAccess::releasePerTick(window), 0.133);
    QCOMPARE(MainWindowTestAccess::releaseIntervalMs(window), 10);
    QTimer *release = MainWindowTestAccess::releaseTimer(window);
    QVERIFY(release);
    QVERIFY(release->isActive());
    // The fall rate stays 0.133 dB per 10 ms; the tick itself comes once per refresh of the
    // screen, and rests once nothing moves.
    QCOMPARE(release->interval(),
             RepaintPacer::intervalMs(QGuiApplication::primaryScreen()->refreshRate()));
    QVERIFY(!release->isSingleShot());

    // The window's own objects come in the order it makes them: the UDP socket before the
    // release timer, which is its only timer child; the serial retry timer is not among them.
    const QList<QObject *> own = window.children();
    const QList<QTimer *> timers
        = window.findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(timers.size(), 1);
    QCOMPARE(timers.first(), release);
    const int socketIndex = own.indexOf(MainWindowTestAccess::udpSocket(window));
    QVERIFY(socketIndex >= 0);
    QVERIFY(socketIndex < own.indexOf(release));
}

void TestMainWindow::formKeepsAnExistingName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unnamed window") << QString() << QStringLiteral("MainWindow");
    QTest::newRow("named window") << QStringLiteral("bridge") << QStringLiteral("bridge");
}

void TestMainWindow::formKeepsAnExistingName()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);

    QMainWindow window;
    window.setObjectName(name);
    Ui_MainWindow form;
    form.setupUi(&window);
    QCOMPARE(window.objectName(), expected);
    QCOMPARE(window.windowTitle(), QStringLiteral("Orvane Meters"));
    QCOMPARE(window.size(), QSize(986, 580));
}

void TestMainWindow::closingEndsTheEventLoopAndStoresSettings()
{
    QVERIFY(QSettings().allKeys().isEmpty());
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTimer::singleShot(0, &window, &QWidget::close);
        QCOMPARE(QCoreApplication::exec(), 0);
    }
    // The destructor stored every key, though the dialog was never opened.
    QSettings settings;
    const QStringList keys = {
        "is_server",   "use_udp",     "serialport",     "server_host",
        "server_port", "client_host", "client_port",    "labelMeter1",
        "labelMeter2", "labelMeter3", "current_screen", "geometry",
    };
    for (const QString &key : keys)
        QVERIFY2(settings.contains(key), qPrintable(key));
    QCOMPARE(settings.childKeys().size(), keys.size());
    QCOMPARE(settings.value(QStringLiteral("labelMeter2")).toString(), QStringLiteral("Sub"));
}

ORVANE_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
