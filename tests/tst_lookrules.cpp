// The rules of the panel's look, each over values the test chooses: the look of each state (a
// colour of its own, words that read on it), how a caption and a port name are cut to fit,
// and when the panel is dimmed for the night.
#include "dialogs/displaysettings.h"
#include "panel/lampstyle.h"
#include "panel/nightdimming.h"
#include "testsupport.h"
#include "widgets/mylabel.h"
#include "widgets/vexolamp.h"

#include <QFontMetrics>
#include <QtTest>

#include <set>

Q_DECLARE_METATYPE(LampStyle::State)

namespace {

// The colour a state is seen by: its lamp's face, or its words where they stand on the dial.
QColor seenColour(const LampStyle::Look &look)
{
    return look.lit.alpha() == 0 ? look.text : look.lit;
}

const QColor Dial(0, 0, 0);

} // namespace

class TestLookRules : public QObject
{
    Q_OBJECT

private slots:
    void contrastIsWcags();
    void stateLooks_data();
    void stateLooks();
    void cautionsEachHaveTheirColour();
    void unlitLampReadsButIsOff();
    void cutToFit_data();
    void cutToFit();
    void nightDimming_data();
    void nightDimming();
};

void TestLookRules::contrastIsWcags()
{
    QCOMPARE(LampStyle::contrast(Qt::black, Qt::white), 21.0);
    QCOMPARE(LampStyle::contrast(Qt::white, Qt::white), 1.0);
    // The figure the issue gives for white words on magenta.
    QCOMPARE(qRound(LampStyle::contrast(Qt::white, Qt::magenta) * 10), 31);
}

void TestLookRules::stateLooks_data()
{
    QTest::addColumn<LampStyle::State>("state");
    QTest::addColumn<int>("hue"); // in degrees, -1 for none
    QTest::addColumn<bool>("onDial");
    QTest::addColumn<bool>("flashes");
    QTest::addColumn<bool>("alarm");

    using S = LampStyle::State;
    QTest::newRow("LIVE: green") << S::Live << 140 << false << false << false;
    QTest::newRow("SYNC: green") << S::Synced << 140 << false << false << false;
    QTest::newRow("NO INPUT: amber") << S::NoInput << 40 << false << false << true;
    QTest::newRow("NO DATA: the blue of no signal") << S::NoData << 220 << false << false << true;
    QTest::newRow("NO LINK: red") << S::NoLink << 0 << false << false << true;
    QTest::newRow("OVER: red") << S::Over << 0 << false << false << true;
    QTest::newRow("SILENCE: red, flashing") << S::Silence << 0 << false << true << true;
    QTest::newRow("ON AIR: red") << S::OnAir << 0 << false << false << true;
    QTest::newRow("NOT SYNCED: violet") << S::NotSynced << 260 << false << false << false;
    QTest::newRow("end time near: cyan on the dial") << S::EndNear << 190 << true << false << false;
    QTest::newRow("end time close: red on the dial") << S::EndClose << 0 << true << false << true;
    QTest::newRow("end time passed: red on the dial") << S::Overrun << 0 << true << false << true;
    QTest::newRow("count-down: magenta on the dial")
        << S::CountDown << 300 << true << false << true;
    QTest::newRow("time up: red on the dial, flashing") << S::TimeUp << 0 << true << true << true;
}

// Each state's colour is of its family, and its words read on it (4.5:1) from across a room.
void TestLookRules::stateLooks()
{
    QFETCH(LampStyle::State, state);
    QFETCH(int, hue);
    QFETCH(bool, onDial);
    QFETCH(bool, flashes);
    QFETCH(bool, alarm);
    const LampStyle::Look look = LampStyle::look(state);
    QCOMPARE(look.lit.alpha() == 0, onDial);
    QCOMPARE(look.flashes, flashes);
    QCOMPARE(look.alarm, alarm);
    const QColor seen = seenColour(look);
    const int distance = qAbs(seen.hslHue() - hue);
    QVERIFY2(qMin(distance, 360 - distance) <= 20,
             qPrintable(QStringLiteral("%1, hue %2").arg(seen.name()).arg(seen.hslHue())));
    const double contrast = LampStyle::contrast(look.text, onDial ? Dial : look.lit);
    QVERIFY2(contrast >= 4.5, qPrintable(QString::number(contrast)));
}

// What used to share one amber each has a colour of its own, and amber means no input alone.
void TestLookRules::cautionsEachHaveTheirColour()
{
    using S = LampStyle::State;
    std::set<QRgb> seen;
    for (S state : { S::NoInput, S::NoData, S::NotSynced, S::EndNear, S::Silence })
        QVERIFY(seen.insert(seenColour(LampStyle::look(state)).rgb()).second);
    const QColor amber = seenColour(LampStyle::look(S::NoInput));
    for (int s = int(S::Live); s <= int(S::OnAir); ++s) {
        if (S(s) != S::NoInput)
            QVERIFY(seenColour(LampStyle::look(S(s))) != amber);
    }
}

// An unlit lamp's words read (3:1), also by night, and its face is darker than any lit one.
void TestLookRules::unlitLampReadsButIsOff()
{
    for (double brightness : { 1.0, 0.4, 0.1 }) {
        const double c = LampStyle::contrast(LampStyle::unlitText(brightness), LampStyle::UnlitFace);
        QVERIFY2(c >= 3.0, qPrintable(QStringLiteral("%1 at %2").arg(c).arg(brightness)));
    }
    for (int s = int(LampStyle::State::Live); s <= int(LampStyle::State::OnAir); ++s) {
        const QColor lit = LampStyle::look(LampStyle::State(s)).lit;
        if (lit.alpha() > 0)
            QVERIFY(lit.lightness() > LampStyle::UnlitFace.lightness() + 60);
    }
}

void TestLookRules::cutToFit_data()
{
    QTest::addColumn<bool>("caption"); // a caption, or the header lamp with a port name
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("head"); // what the shown text starts with
    QTest::addColumn<QString>("tail"); // and ends with

    const QString ellipsis(QChar(0x2026));
    QTest::newRow("caption that fits") << true << QStringLiteral("Prog") << 121
                                       << QStringLiteral("Prog") << QStringLiteral("Prog");
    QTest::newRow("long caption: cut at its end")
        << true << QStringLiteral("Programme ring main, studio 2") << 121
        << QStringLiteral("Progr") << ellipsis;
    QTest::newRow("short port name") << false << QStringLiteral("NO LINK /dev/ttyUSB0") << 560
                                     << QStringLiteral("NO LINK /dev/ttyUSB0")
                                     << QStringLiteral("ttyUSB0");
    QTest::newRow("by-id path: cut in the middle, its adapter's end kept")
        << false
        << QStringLiteral("NO LINK /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0")
        << 560 << QStringLiteral("NO LINK /dev/") << QStringLiteral("-port0");
}

void TestLookRules::cutToFit()
{
    QFETCH(bool, caption);
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QString, head);
    QFETCH(QString, tail);
    QWidget window;
    QString shown;
    QFont font;
    int room = 0;
    if (caption) {
        auto *label = new myLabel(text, &window);
        label->setTextFormat(Qt::PlainText);
        label->setElideMode(Qt::ElideRight);
        label->setGeometry(0, 0, width, 31);
        font = QFont(QStringLiteral("DejaVu Sans"), 15);
        label->setFont(font);
        shown = label->shownText();
        room = width;
    } else {
        VexoLamp *lamp = LampStyle::makeLamp(&window, QStringLiteral("lamp"));
        // As the header lamp shows a port: its words as the label, the name cut after them.
        lamp->setElideMode(Qt::ElideMiddle);
        lamp->setGeometry(0, 0, width, 46);
        font = LampStyle::font(41);
        lamp->setFont(font);
        lamp->setLabelFont(font);
        lamp->setLabel(text.section(QLatin1Char(' '), 0, 1));
        lamp->setText(text.section(QLatin1Char(' '), 2));
        const QString label = lamp->getLabel() + QLatin1Char(' ');
        shown = label + lamp->shownText();
        room = width - 4;
    }
    QVERIFY2(shown.startsWith(head), qPrintable(shown));
    QVERIFY2(shown.endsWith(tail), qPrintable(shown));
    QVERIFY2(QFontMetrics(font).horizontalAdvance(shown) <= room, qPrintable(shown));
    // Cut once at most, and only when the whole would not fit.
    const bool fits = QFontMetrics(font).horizontalAdvance(text) <= room;
    QCOMPARE(shown == text, fits);
    QVERIFY(shown.count(QChar(0x2026)) <= 1);
}

void TestLookRules::nightDimming_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<QTime>("from");
    QTest::addColumn<QTime>("until");
    QTest::addColumn<QTime>("now");
    QTest::addColumn<bool>("dimmed");

    const QTime ten(22, 0);
    const QTime six(6, 0);
    QTest::newRow("off") << false << ten << six << QTime(23, 0) << false;
    QTest::newRow("evening, before the start") << true << ten << six << QTime(21, 59, 59)
                                               << false;
    QTest::newRow("at the start") << true << ten << six << QTime(22, 0) << true;
    QTest::newRow("just before midnight") << true << ten << six << QTime(23, 59, 59) << true;
    QTest::newRow("midnight") << true << ten << six << QTime(0, 0) << true;
    QTest::newRow("just before the end") << true << ten << six << QTime(5, 59, 59) << true;
    QTest::newRow("at the end: full light") << true << ten << six << QTime(6, 0) << false;
    QTest::newRow("midday") << true << ten << six << QTime(12, 0) << false;
    QTest::newRow("within a day: inside") << true << QTime(1, 0) << QTime(5, 0) << QTime(3, 0)
                                          << true;
    QTest::newRow("within a day: outside") << true << QTime(1, 0) << QTime(5, 0)
                                           << QTime(23, 0) << false;
    QTest::newRow("same start and end: never") << true << ten << ten << QTime(22, 0) << false;
}

void TestLookRules::nightDimming()
{
    QFETCH(bool, on);
    QFETCH(QTime, from);
    QFETCH(QTime, until);
    QFETCH(QTime, now);
    QFETCH(bool, dimmed);
    DisplaySettings s;
    s.dimAtNight = on;
    s.dimFrom = from;
    s.dimUntil = until;
    s.dimBrightnessPercent = 30;
    QCOMPARE(NightDimming::brightnessAt(s, now), dimmed ? 0.3 : 1.0);
}

ORVANE_TEST_MAIN(TestLookRules)
#include "tst_lookrules.moc"
