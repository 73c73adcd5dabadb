#include "testsupport.h"
#include "widgets/mylabel.h"

#include <QMetaMethod>
#include <QSignalSpy>

Q_DECLARE_METATYPE(Qt::MouseButton)

class TestMyLabel : public QObject
{
    Q_OBJECT

private slots:
    void releaseOfAnyButtonClicks_data();
    void releaseOfAnyButtonClicks();
    void doubleClickClicksTwice();
    void pressReleasedOutsideStillClicks();
    void pressMoveAndKeysDoNotClick();
    void signalIsTheOnlyMethod();
};

void TestMyLabel::releaseOfAnyButtonClicks_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");

    QTest::newRow("left") << Qt::LeftButton << Qt::KeyboardModifiers();
    QTest::newRow("right") << Qt::RightButton << Qt::KeyboardModifiers();
    QTest::newRow("middle") << Qt::MiddleButton << Qt::KeyboardModifiers();
    QTest::newRow("left with shift and control")
        << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::ControlModifier);
}

void TestMyLabel::releaseOfAnyButtonClicks()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, modifiers);

    QWidget window;
    auto *label = new myLabel(QStringLiteral("Prog"), &window);
    label->setGeometry(10, 10, 121, 31);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(label->text(), QStringLiteral("Prog"));

    QSignalSpy clicks(label, &myLabel::clicked);
    QTest::mouseClick(label, button, modifiers, QPoint(60, 15));
    QCOMPARE(clicks.count(), 1);
}

void TestMyLabel::doubleClickClicksTwice()
{
    myLabel label(QString(), nullptr);
    label.resize(50, 20);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QSignalSpy clicks(&label, &myLabel::clicked);

    // What the toolkit delivers for a double click: press, release, double-click, release.
    QTest::mousePress(&label, Qt::LeftButton);
    QTest::mouseRelease(&label, Qt::LeftButton);
    QTest::mouseDClick(&label, Qt::LeftButton);
    QTest::mouseRelease(&label, Qt::LeftButton);
    QCOMPARE(clicks.count(), 2);
}

void TestMyLabel::pressReleasedOutsideStillClicks()
{
    QWidget window;
    window.resize(300, 200);
    auto *label = new myLabel(QString(), &window);
    label->setGeometry(10, 10, 25, 25);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicks(label, &myLabel::clicked);

    QTest::mousePress(label, Qt::LeftButton, {}, QPoint(12, 12));
    QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(200, 150));
    QCOMPARE(clicks.count(), 1);
}

void TestMyLabel::pressMoveAndKeysDoNotClick()
{
    myLabel label(QStringLiteral("CRM"), nullptr);
    label.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label.resize(80, 20);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QSignalSpy clicks(&label, &myLabel::clicked);

    QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(&label, QPoint(40, 10));
    QTest::keyClick(&label, Qt::Key_Return);
    QTest::keyClick(&label, Qt::Key_Space);
    QCOMPARE(clicks.count(), 0);
}

void TestMyLabel::signalIsTheOnlyMethod()
{
    const QMetaObject &meta = myLabel::staticMetaObject;
    QCOMPARE(QByteArray(meta.className()), QByteArray("myLabel"));
    QCOMPARE(meta.superClass(), &QLabel::staticMetaObject);
    QCOMPARE(meta.methodCount() - meta.methodOffset(), 1);
    const QMetaMethod clicked = meta.method(meta.methodOffset());
    QCOMPARE(clicked.methodType(), QMetaMethod::Signal);
    QCOMPARE(clicked.methodSignature(), QByteArray("clicked()"));
}

ORVANE_TEST_MAIN(TestMyLabel)
#include "tst_mylabel.moc"
