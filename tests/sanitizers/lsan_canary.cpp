// Leaks on purpose, from the places where a leak of the program's own code would happen: a
// timer slot run by the event loop, and a widget's paintEvent. The run must report these two
// leaks and nothing else, which shows that the suppressions hide the libraries' leaks at exit
// and not leaks of code that merely runs below them on the stack.

#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace {

// Written through a volatile pointer so that the compiler keeps the allocations.
void *volatile lastLeak = nullptr;

__attribute__((noinline)) void leakFromTimerSlot()
{
    lastLeak = new char[4242];
    lastLeak = nullptr;
}

__attribute__((noinline)) void leakFromPaintEvent()
{
    lastLeak = new char[2424];
    lastLeak = nullptr;
}

class CanaryWidget : public QWidget
{
public:
    bool painted = false;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("canary -12.5 dB"));
        if (!painted)
            leakFromPaintEvent();
        painted = true;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CanaryWidget widget;
    widget.resize(200, 80);
    widget.show();

    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (!widget.painted)
            return;
        leakFromTimerSlot();
        app.quit();
    });
    poll.start();
    // Ends the run if no paint ever comes; the missing leak then fails the check.
    QTimer::singleShot(20000, &app, &QApplication::quit);
    return app.exec();
}
