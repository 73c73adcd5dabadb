#include "app/mainwindow.h"
#include "mainwindowprobe.h"
#include "modalanswer.h"
#include "storedsettings.h"
#include "testsupport.h"
#include "widgets/mylabel.h"

#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

namespace {

const QStringList AllKeys = {
    "is_server",   "use_udp",     "serialport",  "server_host", "server_port",    "client_host",
    "client_port", "labelMeter1", "labelMeter2", "labelMeter3", "current_screen", "geometry",
};

// What the caption dialog showed when it opened.
struct Seen
{
    QString title;
    QString prompt;
    QString initialText;
    QLineEdit::EchoMode echo = QLineEdit::Password;
};

} // namespace

class TestCaptions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void editByClick_data();
    void editByClick();
    void storedEmptyCaptionCannotBeRefilledWithEmpty();
    void markupIsShownAsTyped_data();
    void markupIsShownAsTyped();
};

void TestCaptions::initTestCase()
{
    useProgramIdentity();
}

void TestCaptions::init()
{
    OrvaneTest::isolatedSettings().clear();
}

void TestCaptions::editByClick_data()
{
    QTest::addColumn<int>("caption");
    QTest::addColumn<int>("mouseButton");
    QTest::addColumn<bool>("clearField");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("pressOk");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("stored");

    const QString wide = QStringLiteral("Programme output to transmitter one and the web stream");

    QTest::newRow("caption 1 renamed")
        << 1 << int(Qt::LeftButton) << true << "Studio A" << true << "Studio A" << true;
    QTest::newRow("caption 2 renamed by right click")
        << 2 << int(Qt::RightButton) << true << "Aux" << true << "Aux" << true;
    QTest::newRow("caption 3 renamed by middle click")
        << 3 << int(Qt::MiddleButton) << true << "Control" << true << "Control" << true;
    QTest::newRow("caption 1 text appended")
        << 1 << int(Qt::LeftButton) << false << " 2" << true << "Prog 2" << true;
    QTest::newRow("caption 2 OK with empty field keeps it")
        << 2 << int(Qt::LeftButton) << true << "" << true << "Sub" << false;
    QTest::newRow("caption 3 cancel after typing keeps it")
        << 3 << int(Qt::LeftButton) << true << "Gone" << false << "CRM" << false;
    QTest::newRow("caption 1 only spaces are kept")
        << 1 << int(Qt::LeftButton) << true << "   " << true << "   " << true;
    QTest::newRow("caption 2 surrounding spaces are kept")
        << 2 << int(Qt::LeftButton) << true << "  Sub 2 " << true << "  Sub 2 " << true;
    QTest::newRow("caption 3 OK unchanged sets the same text")
        << 3 << int(Qt::LeftButton) << false << "" << true << "CRM" << true;
    QTest::newRow("caption 1 wider than its label stays whole")
        << 1 << int(Qt::LeftButton) << true << wide << true << wide << true;
    const QString beyondBasicPlane = QString::fromUtf8("A\xf0\x9d\x84\x9e" "B\xf0\x9f\x8e\xa4" "C");
    QTest::newRow("caption 2 with characters beyond the basic plane")
        << 2 << int(Qt::LeftButton) << true << beyondBasicPlane << true << beyondBasicPlane
        << true;
}

void TestCaptions::editByClick()
{
    QFETCH(int, caption);
    QFETCH(int, mouseButton);
    QFETCH(bool, clearField);
    QFETCH(QString, typed);
    QFETCH(bool, pressOk);
    QFETCH(QString, expected);
    QFETCH(bool, stored);

    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QStringList before;
    for (int n = 1; n <= 3; ++n)
        before << MainWindowTestAccess::caption(window, n)->text();
    QCOMPARE(before, QStringList({ "Prog", "Sub", "CRM" }));

    Seen seen;
    ModalAnswer<QInputDialog> answer([&](QInputDialog *dialog) {
        seen.title = dialog->windowTitle();
        seen.prompt = dialog->labelText();
        seen.initialText = dialog->textValue();
        seen.echo = dialog->textEchoMode();
        auto *edit = dialog->findChild<QLineEdit *>();
        if (edit) {
            if (clearField) {
                QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClick(edit, Qt::Key_Backspace);
            } else {
                QTest::keyClick(edit, Qt::Key_End);
            }
            // QTest types Latin-1 keys only; other characters come as an input method commits
            // them, as text.
            if (QString::fromLatin1(typed.toLatin1()) == typed)
                QTest::keyClicks(edit, typed);
            else
                QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, typed, Qt::NoModifier);
        }
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        const auto which = pressOk ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel;
        if (buttons && buttons->button(which))
            QTest::mouseClick(buttons->button(which), Qt::LeftButton);
        else
            dialog->reject();
    });

    myLabel *label = MainWindowTestAccess::caption(window, caption);
    QTest::mouseClick(label, Qt::MouseButton(mouseButton));

    QVERIFY(answer.answered());
    QCOMPARE(seen.title, QStringLiteral("Lumbro"));
    QCOMPARE(seen.prompt, QStringLiteral("Meter %1 label:").arg(caption));
    QCOMPARE(seen.initialText, before.at(caption - 1));
    QCOMPARE(seen.echo, QLineEdit::Normal);

    for (int n = 1; n <= 3; ++n) {
        const QString want = n == caption ? expected : before.at(n - 1);
        QCOMPARE(MainWindowTestAccess::caption(window, n)->text(), want);
    }

    // A change reaches the store at once, while the program is still running.
    QSettings file(settingsFile(), QSettings::IniFormat);
    const QString key = QStringLiteral("labelMeter%1").arg(caption);
    if (stored) {
        for (const QString &k : AllKeys)
            QVERIFY2(file.contains(k), qPrintable(k));
        QCOMPARE(file.value(key).toString(), expected);
        // The file itself, not what this process keeps of it.
        QVERIFY2(settingsFileBytes().contains(expected.toUtf8()), settingsFileBytes().constData());
    } else {
        QVERIFY2(file.allKeys().isEmpty(), qPrintable(file.allKeys().join(',')));
    }
}

void TestCaptions::storedEmptyCaptionCannotBeRefilledWithEmpty()
{
    {
        QSettings file(settingsFile(), QSettings::IniFormat);
        file.setValue(QStringLiteral("labelMeter2"), QString());
    }
    MainWindow window;
    myLabel *label = MainWindowTestAccess::caption(window, 2);
    QCOMPARE(label->text(), QString());

    QString initial = QStringLiteral("not asked");
    ModalAnswer<QInputDialog> answer([&](QInputDialog *dialog) {
        initial = dialog->textValue();
        dialog->accept();
    });
    QTest::mouseClick(label, Qt::LeftButton);
    QVERIFY(answer.answered());
    QCOMPARE(initial, QString());
    QCOMPARE(label->text(), QString());
}

void TestCaptions::markupIsShownAsTyped_data()
{
    QTest::addColumn<QString>("caption");

    QTest::newRow("a tag alone") << QStringLiteral("<Sub>");
    QTest::newRow("a tag after a word") << QStringLiteral("Studio <B>");
    QTest::newRow("bold") << QStringLiteral("<b>On air</b>");
    QTest::newRow("entity") << QStringLiteral("R&amp;D");
    // A picture is never loaded for a caption, whatever the file holds.
    QTest::newRow("picture") << QStringLiteral("<img src=\"/nonexistent/meter.png\">");
}

// A stored caption that looks like markup shows exactly as a label of plain text shows it.
void TestCaptions::markupIsShownAsTyped()
{
    QFETCH(QString, caption);
    {
        QSettings file(settingsFile(), QSettings::IniFormat);
        file.setValue(QStringLiteral("labelMeter1"), caption);
    }
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    myLabel *label = MainWindowTestAccess::caption(window, 1);
    QCOMPARE(label->text(), caption);

    QLabel reference(&window);
    reference.setTextFormat(Qt::PlainText);
    reference.setStyleSheet(label->styleSheet());
    reference.setAlignment(label->alignment());
    reference.setFont(label->font());
    reference.setGeometry(label->geometry());
    // Too long for its place, it is cut at its end with "…", never at both ends.
    const QString shown = label->shownText();
    QVERIFY2(shown == caption
                 || (shown.endsWith(QChar(0x2026)) && caption.startsWith(shown.chopped(1))),
             qPrintable(shown));
    reference.setText(shown);
    QCOMPARE(label->grab().toImage(), reference.grab().toImage());
}

ORVANE_TEST_MAIN(TestCaptions)
#include "tst_captions.moc"
