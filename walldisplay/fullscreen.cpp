#include "walldisplay/fullscreen.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

FullScreenControl::FullScreenControl()
{
    hideTimer.setSingleShot(true);
    hideTimer.setInterval(DefaultHideDelayMs);
    connect(&hideTimer, &QTimer::timeout, this, &FullScreenControl::hidePointer);
}

void FullScreenControl::attach(QWidget *window)
{
    widget = window;
    widget->installEventFilter(this);
    watchWindowHandle();
}

void FullScreenControl::watchWindowHandle()
{
    // Pointer movement over any child reaches the window's QWindow first, whether or not a
    // widget tracks the mouse; the native window exists only once the widget is shown.
    QWindow *current = widget ? widget->windowHandle() : nullptr;
    if (current == handle)
        return;
    if (handle)
        handle->removeEventFilter(this);
    handle = current;
    if (handle)
        handle->installEventFilter(this);
}

bool FullScreenControl::isFullScreen() const
{
    return widget && widget->isFullScreen();
}

void FullScreenControl::enter()
{
    if (!widget || isFullScreen())
        return;
    widget->showFullScreen();
    watchWindowHandle();
    fillScreen();
    // A window shown for the first time this way is mapped later; look once more then.
    QTimer::singleShot(0, this, [this] {
        if (isFullScreen())
            fillScreen();
    });
    hideTimer.start();
}

void FullScreenControl::leave()
{
    if (!widget || !isFullScreen())
        return;
    hideTimer.stop();
    showPointer();
    const QRect place = widget->normalGeometry();
    widget->showNormal();
    // Without a window manager the window system keeps the screen's area that fillScreen()
    // gave the window: the window asks for its place back itself.
    if (widget->windowHandle() && place.isValid())
        widget->windowHandle()->setGeometry(place);
}

void FullScreenControl::toggle()
{
    if (isFullScreen())
        leave();
    else
        enter();
}

void FullScreenControl::fillScreen()
{
    QScreen *screen = widget->screen();
    if (!screen || !widget->windowHandle())
        return;
    // A window manager that knows full screen has made the window fill the screen, or will
    // at once; without one (a kiosk X server, Xvfb) the request changes nothing.
    if (widget->windowHandle()->geometry() != screen->geometry())
        widget->windowHandle()->setGeometry(screen->geometry());
}

bool FullScreenControl::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == widget) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::WinIdChange:
            watchWindowHandle();
            break;
        case QEvent::KeyPress: {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_F11 && !key->isAutoRepeat()
                && !(key->modifiers() & ~Qt::KeypadModifier)) {
                toggle();
                return true;
            }
            break;
        }
        case QEvent::MouseButtonDblClick:
            // Only a double-click that no child took: on the panel, not on a caption.
            if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
                toggle();
                return true;
            }
            break;
        default:
            break;
        }
    } else if (watched == handle && event->type() == QEvent::MouseMove) {
        pointerMoved();
    }
    return QObject::eventFilter(watched, event);
}

void FullScreenControl::pointerMoved()
{
    if (!isFullScreen())
        return;
    showPointer();
    hideTimer.start();
}

void FullScreenControl::hidePointer()
{
    if (!isFullScreen() || hidden)
        return;
    // An open dialog or menu is being used: the pointer stays until the next rest.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return;
    hadOwnCursor = widget->testAttribute(Qt::WA_SetCursor);
    ownCursor = widget->cursor();
    widget->setCursor(Qt::BlankCursor);
    hidden = true;
}

void FullScreenControl::showPointer()
{
    if (!hidden)
        return;
    hidden = false;
    if (hadOwnCursor)
        widget->setCursor(ownCursor);
    else
        widget->unsetCursor();
}
