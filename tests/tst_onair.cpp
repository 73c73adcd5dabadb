// The trust-on-air lamps in a real window, fed by a real serial line: what the operator sees
// when the console stops and starts again, when a level goes over, when the port is not there,
// and that the display settings dialog keeps what it edits.
#include "app/mainwindow.h"
#include "comm/levelframe.h"
#include "dialogs/ccaptionsdialog.h"
#include "dialogs/cdisplaydialog.h"
#include "levelframes.h"
#include "loopback.h"
#include "mainwindowprobe.h"
#include "panel/lampstyle.h"
#include "panel/palette.h"
#include "modalanswer.h"
#include "ptypair.h"
#include "serialwindow.h"
#include "storedsettings.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "widgets/vexoanalogclock.h"
#include "widgets/mylabel.h"
#include "widgets/vexolamp.h"
#include "widgets/vexoppmmeter.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTimeEdit>
#include <QtTest>

#include <memory>

namespace {

// The lamp's colour as the window shows it, a few pixels in from its left edge.
QColor shownColour(MainWindow &w, VexoLamp *lamp)
{
    const QImage image = w.grab().toImage();
    return image.pixelColor(lamp->geometry().left() + 4, lamp->geometry().center().y());
}

} // namespace

class TestOnAir : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void framesStopAndResume();
    void overLatchesUntilReset();
    void missingPortIsNoLink();
    void tooltipsSayWhatApplies();
    void displaySettingsAreKept();
    void untouchedValuesKeepTheirPrecision();
    void settingsShowOnThePanel();

private:
    void connectLine();

    std::unique_ptr<PtyPair> line;
    std::unique_ptr<MainWindow> window;
    OnAirStatus *status = nullptr;
};

void TestOnAir::init()
{
    line = std::make_unique<PtyPair>();
    QVERIFY2(line->start(), qPrintable(line->error()));
    window = std::make_unique<MainWindow>();
    status = MainWindowTestAccess::onAir(*window);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestOnAir::cleanup()
{
    window.reset();
    line.reset();
    OrvaneTest::isolatedSettings().clear();
}

void TestOnAir::connectLine()
{
    QVERIFY(readSerialOnly(*window, line->programEnd()));
}

void TestOnAir::framesStopAndResume()
{
    connectLine();
    VexoLamp *lamp = status->linkLamp();
    // Open but silent: no data, counted from the opening.
    QVERIFY2(lamp->getText().startsWith(QStringLiteral("NO DATA")), qPrintable(lamp->getText()));

    QTimer console;
    connect(&console, &QTimer::timeout, [this] { line->write(frameAt(-10.0)); });
    console.start(20);
    QTRY_COMPARE(lamp->getText(), QStringLiteral("LIVE"));
    QVERIFY(!status->linkMark(0)->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(allAt(*window, -10.0), 5000);
    const QColor live = shownColour(*window, lamp);
    QVERIFY2(live.green() > 150 && live.red() < 80, qPrintable(live.name()));

    // The console stops: within the stale time and a tick the panel says so, the legend lies
    // across every pair, and the meters fall to the floor instead of freezing at -10 dB.
    console.stop();
    QTRY_VERIFY_WITH_TIMEOUT(lamp->getText().startsWith(QStringLiteral("NO DATA")), 3000);
    for (int pair = 0; pair < 3; ++pair) {
        QVERIFY(status->linkMark(pair)->isVisible());
        QCOMPARE(status->linkMark(pair)->getText(), QStringLiteral("NO DATA"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(allAt(*window, LevelFrame::FloorDb), 8000);
    QTRY_VERIFY(lamp->getText().contains(QRegularExpression(QStringLiteral("^NO DATA [1-9] s$"))));
    // The blue of a screen with no signal: no other state lights it.
    const QColor blue = shownColour(*window, lamp);
    QVERIFY2(blue.blue() > 200 && blue.red() < 80, qPrintable(blue.name()));

    // One good frame clears it: the lamp and the legend change with that frame, before the
    // next tick, and the next paint shows it.
    const quint64 before = status->linkReport()
                               .section(QLatin1Char('\n'), 1, 1)
                               .section(QLatin1Char(' '), 2)
                               .toULongLong();
    QVERIFY(line->write(frameAt(-20.0)));
    QTRY_COMPARE_WITH_TIMEOUT(lamp->getText(), QStringLiteral("LIVE"), 1000);
    QVERIFY(!status->linkMark(0)->isVisible());
    const quint64 after = status->linkReport()
                              .section(QLatin1Char('\n'), 1, 1)
                              .section(QLatin1Char(' '), 2)
                              .toULongLong();
    QCOMPARE(after, before + 1);
    const QColor back = shownColour(*window, lamp);
    QVERIFY2(back.green() > 150 && back.red() < 80, qPrintable(back.name()));
}

void TestOnAir::overLatchesUntilReset()
{
    connectLine();
    VexoLamp *over = status->overLamp(0);
    QVERIFY(!over->getLit());
    // +10 dB is above the top of the bar: only the lamp can show it.
    QVERIFY(line->write(frameAt(10.0)));
    QTRY_VERIFY(over->getLit());
    // The count is read across the room; the time of the last over is in the tooltip.
    QCOMPARE(over->getText(), QStringLiteral("OVER 1\u00d7"));
    QVERIFY2(over->toolTip().startsWith(QStringLiteral("Last over at ")),
             qPrintable(over->toolTip()));
    QVERIFY(status->overLamp(2)->getLit());
    QTRY_VERIFY(window->findChild<VexoPPMMeter *>(QStringLiteral("ProgLeft"))->peakHeight() > 0);

    // The levels drop; the lamp stays lit and the peak mark holds above the bar.
    QVERIFY(line->write(frameAt(-30.0)));
    QTest::qWait(50);
    QVERIFY(over->getLit());

    QTest::keyClick(window.get(), Qt::Key_R);
    QVERIFY(!over->getLit());
    QCOMPARE(over->getText(), QStringLiteral("OVER"));
    VexoPPMMeter *meter = window->findChild<VexoPPMMeter *>(QStringLiteral("ProgLeft"));
    QCOMPARE(meter->peakdB(), meter->dBPosition);

    // A click on the lamp resets it as well.
    QVERIFY(line->write(frameAt(12.0)));
    QTRY_VERIFY(over->getLit());
    QTest::mouseClick(over, Qt::LeftButton);
    QVERIFY(!over->getLit());
}

void TestOnAir::missingPortIsNoLink()
{
    comm_st &settings = MainWindowTestAccess::commSettings(*window);
    settings.is_server = false;
    settings.use_udp = false;
    settings.serialport = QStringLiteral("/dev/orvane-no-such-port");
    MainWindowTestAccess::setupCommunication(*window);
    QCOMPARE(status->linkLegend(), QStringLiteral("NO LINK /dev/orvane-no-such-port"));
    QCOMPARE(status->linkMark(1)->getText(), QStringLiteral("NO LINK"));
    QVERIFY(status->linkMark(1)->isVisible());
    // The window title keeps its designed text.
    QCOMPARE(window->windowTitle(), QStringLiteral("Unknown - (/dev/orvane-no-such-port)"));
}

// The installer's figures name only what can happen on the input in use, and the gear and the
// sync lamp say what they are.
void TestOnAir::tooltipsSayWhatApplies()
{
    connectLine();
    QVERIFY(status->linkReport().contains(QStringLiteral("Bytes dropped by the deframer: 0")));
    QVERIFY(!status->linkReport().contains(QStringLiteral("Datagrams")));

    comm_st &settings = MainWindowTestAccess::commSettings(*window);
    settings.use_udp = true;
    settings.is_server = false;
    settings.client_host = QStringLiteral("127.0.0.1");
    settings.client_port = QString::number(freeUdpPort());
    MainWindowTestAccess::setupCommunication(*window);
    QVERIFY2(status->linkReport().contains(QStringLiteral("Datagrams refused: 0")),
             qPrintable(status->linkReport()));
    QVERIFY(!status->linkReport().contains(QStringLiteral("Bytes dropped")));

    QCOMPARE(MainWindowTestAccess::settingsLabel(*window)->toolTip(),
             QStringLiteral("Communication settings\u2026 (right-click for more)"));
    auto *sync = window->findChild<VexoLamp *>(QStringLiteral("lamp_sync"));
    QVERIFY(sync);
    QVERIFY(sync->toolTip().startsWith(QStringLiteral("Synchronisation of the system clock")));
}

void TestOnAir::displaySettingsAreKept()
{
    std::unique_ptr<QMenu> menu(MainWindowTestAccess::createContextMenu(*window));
    QStringList entries;
    for (QAction *action : menu->actions()) {
        if (!action->isSeparator())
            entries << action->text();
    }
    menu.reset();
    QCOMPARE(
        entries,
        (QStringList { QStringLiteral("Communication settings\u2026"),
                       QStringLiteral("Display settings\u2026"),
                       QStringLiteral("Rename captions\u2026"),
                       QStringLiteral("Remote access\u2026"), QStringLiteral("End time\u2026"),
                       QStringLiteral("Count-down\u2026"), QStringLiteral("Restart count-down"),
                       QStringLiteral("ON AIR"), QStringLiteral("Reset peaks and overs"),
                       QStringLiteral("Full screen"), QStringLiteral("Keys\u2026") }));

    ModalAnswer<CDisplayDialog> answer([](CDisplayDialog *dialog) {
        dialog->findChild<QDoubleSpinBox *>(QStringLiteral("doubleSpinBox_stale_time"))
            ->setValue(2.5);
        dialog->findChild<QCheckBox *>(QStringLiteral("checkBox_silence_sub"))->setChecked(true);
        dialog->findChild<QCheckBox *>(QStringLiteral("checkBox_start_full_screen"))
            ->setChecked(true);
        dialog->findChild<QPushButton *>(QStringLiteral("pushButton_ok"))->click();
    });
    MainWindowTestAccess::openDisplaySettings(*window);
    QVERIFY(answer.answered());

    QSettings stored(OrvaneTest::isolatedSettings().settingsFile(), QSettings::IniFormat);
    QCOMPARE(stored.childKeys().size(), 12);
    QCOMPARE(stored.value(QStringLiteral("display/stale_time")).toDouble(), 2.5);
    QCOMPARE(stored.value(QStringLiteral("display/silence_sub")).toString(),
             QStringLiteral("true"));
    QCOMPARE(stored.value(QStringLiteral("display/start_full_screen")).toString(),
             QStringLiteral("true"));
    QCOMPARE(status->linkReport().section(QLatin1Char('\n'), 4, 4),
             QStringLiteral("No data after: 2.5 s"));
    QCOMPARE(status->silenceLamp(1)->getText(), QStringLiteral("SILENCE"));

    // A new window reads them back.
    window.reset();
    MainWindow again;
    QCOMPARE(MainWindowTestAccess::displaySettings(again).staleSeconds, 2.5);
    QVERIFY(MainWindowTestAccess::displaySettings(again).silence[DisplaySettings::Sub].enabled);
    QVERIFY(MainWindowTestAccess::displaySettings(again).startFullScreen);
}

// OK stores what the operator changed; values written by hand more finely than the boxes show
// stay as written.
void TestOnAir::untouchedValuesKeepTheirPrecision()
{
    window.reset();
    QVERIFY(writeSettingsFile("[display]\nstale_time=0.25\nover_threshold=3.25\n"));
    window = std::make_unique<MainWindow>();
    ModalAnswer<CDisplayDialog> answer([](CDisplayDialog *dialog) {
        dialog->findChild<QCheckBox *>(QStringLiteral("checkBox_silence_sub"))->setChecked(true);
        dialog->findChild<QPushButton *>(QStringLiteral("pushButton_ok"))->click();
    });
    MainWindowTestAccess::openDisplaySettings(*window);
    QVERIFY(answer.answered());

    QSettings stored(OrvaneTest::isolatedSettings().settingsFile(), QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("display/silence_sub")).toString(), QStringLiteral("true"));
    QCOMPARE(stored.value(QStringLiteral("display/stale_time")).toDouble(), 0.25);
    QCOMPARE(stored.value(QStringLiteral("display/over_threshold")).toDouble(), 3.25);
    QCOMPARE(MainWindowTestAccess::displaySettings(*window).staleSeconds, 0.25);
}

// What "Rename captions..." and the display settings change, seen on the panel: the silence
// rows named by the captions, a pair that is not watched saying so, the hands hidden, and the
// panel dimmed for the night with its alarms kept at full light.
void TestOnAir::settingsShowOnThePanel()
{
    connectLine();
    QCOMPARE(status->silenceLamp(0)->getText(), QStringLiteral("SILENCE"));
    QCOMPARE(status->silenceLamp(1)->getText(), QStringLiteral("NOT WATCHED"));

    std::unique_ptr<QMenu> menu(MainWindowTestAccess::createContextMenu(*window));
    QAction *rename = nullptr;
    for (QAction *action : menu->actions())
        if (action->text() == QStringLiteral("Rename captions\u2026"))
            rename = action;
    QVERIFY(rename);
    ModalAnswer<CCaptionsDialog> captions([](CCaptionsDialog *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit_caption_sub"))
            ->setText(QStringLiteral("Music bed"));
        dialog->findChild<QPushButton *>(QStringLiteral("pushButton_ok"))->click();
    });
    rename->trigger();
    QVERIFY(captions.answered());
    QCOMPARE(MainWindowTestAccess::caption(*window, 2)->text(), QStringLiteral("Music bed"));

    // Dimmed from two minutes ago for an hour, across midnight if need be.
    const QTime now = QTime::currentTime();
    QString subRow;
    ModalAnswer<CDisplayDialog> display([&](CDisplayDialog *dialog) {
        subRow = dialog->findChild<QCheckBox *>(QStringLiteral("checkBox_silence_sub"))->text();
        dialog->findChild<QCheckBox *>(QStringLiteral("checkBox_show_hands"))->setChecked(false);
        dialog->findChild<QCheckBox *>(QStringLiteral("checkBox_dim_at_night"))->setChecked(true);
        dialog->findChild<QTimeEdit *>(QStringLiteral("timeEdit_dim_from"))
            ->setTime(now.addSecs(-120));
        dialog->findChild<QTimeEdit *>(QStringLiteral("timeEdit_dim_until"))
            ->setTime(now.addSecs(3600));
        dialog->findChild<QSpinBox *>(QStringLiteral("spinBox_dim_brightness"))->setValue(30);
        dialog->findChild<QPushButton *>(QStringLiteral("pushButton_ok"))->click();
    });
    MainWindowTestAccess::openDisplaySettings(*window);
    QVERIFY(display.answered());
    QCOMPARE(subRow, QStringLiteral("Music bed"));
    QVERIFY(!window->findChild<VexoAnalogClock *>()->getHands());

    VexoPPMMeter *meter = window->findChild<VexoPPMMeter *>(QStringLiteral("ProgLeft"));
    QCOMPARE(meter->getMaxColor(), LampStyle::dimmed(Palette::MeterOver, 0.3));
    // An unlit lamp is dimmed, but no further than its words can still be read.
    const QColor unlit = status->silenceLamp(1)->getUnlitTextColor();
    QVERIFY(unlit.red() < LampStyle::UnlitText.red());
    QVERIFY(LampStyle::contrast(unlit, LampStyle::UnlitFace) >= 3.0);
    // An over at night is as bright as by day.
    QVERIFY(line->write(frameAt(10.0)));
    QTRY_VERIFY(status->overLamp(0)->getLit());
    QCOMPARE(shownColour(*window, status->overLamp(0)),
             LampStyle::look(LampStyle::State::Over).lit);
}

ORVANE_TEST_MAIN(TestOnAir)
#include "tst_onair.moc"
