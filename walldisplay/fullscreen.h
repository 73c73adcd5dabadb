#pragma once

#include <QCursor>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QScreen;
class QWidget;
class QWindow;

// Full screen for a wall display: F11 and a double-click on the panel toggle it, and while it
// lasts the pointer hides once it has rested over the window for a while and comes back when
// it moves. The only timer is single-shot and restarted by pointer movement alone, so a
// display that nobody touches is woken once, not periodically.
class FullScreenControl : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultHideDelayMs = 3000;

    FullScreenControl();

    // Watches `window` (a top-level widget) from now on; call once.
    void attach(QWidget *window);

    // Full screen on the screen the window is on, or back to the window it was.
    void enter();
    void leave();
    void toggle();
    bool isFullScreen() const;

    int hideDelayMs() const { return hideTimer.interval(); }
    void setHideDelayMs(int ms) { hideTimer.setInterval(ms); }
    bool pointerHidden() const { return hidden; }
    bool pointerTimerActive() const { return hideTimer.isActive(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watchWindowHandle();
    void pointerMoved();
    void hidePointer();
    void showPointer();
    // Where the window system does not do it (no window manager), the window is given its
    // screen's whole area itself.
    void fillScreen();

    QWidget *widget = nullptr;
    QPointer<QWindow> handle;
    QTimer hideTimer;
    bool hidden = false;
    // The window's own pointer, given back when the blank one goes.
    bool hadOwnCursor = false;
    QCursor ownCursor;
};
