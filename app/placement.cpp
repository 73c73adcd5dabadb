#include "app/mainwindow.h"

#include "walldisplay/screens.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace {

QRect fullScreenGeometry(int index)
{
    // A screen that has gone since the settings were written has an empty rectangle: the
    // window then starts at the origin before its stored geometry is restored. -1 names the
    // primary screen, as the desktop's own numbering does.
    if (index == -1 && QGuiApplication::primaryScreen())
        return QGuiApplication::primaryScreen()->geometry();
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (index < 0 || index >= screens.size())
        return QRect();
    return screens.at(index)->geometry();
}

// The area all screens offer together.
QRect availableDesktop()
{
    QRect area;
    for (const QScreen *screen : QGuiApplication::screens())
        area |= screen->availableGeometry();
    return area;
}

} // namespace

void MainWindow::restorePlacement(int storedScreen, const QByteArray &block)
{
    move(fullScreenGeometry(storedScreen).topLeft());
    const bool restored = restoreGeometry(block);
    // Full screen is the display settings' choice at start, not a left-over of the last run
    // that the stored geometry carries along.
    if (windowState() & Qt::WindowFullScreen)
        setWindowState(windowState() & ~Qt::WindowFullScreen);
    // Judged by the place as it was stored: restoring has already pulled a lost window to
    // the nearest edge, which would hide that it was lost.
    QRect stored;
    if (restored) {
        stored = storedNormalGeometry(block);
        if (stored.isEmpty())
            stored = geometry();
    }
    storedPlace = stored;
    startScreen = placeOnScreens(storedScreen, stored, -1);
    fitToDesktop();
}

int MainWindow::placeOnScreens(int storedScreen, const QRect &storedGeometry, int requestedScreen)
{
    QVector<QRect> areas;
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (const QScreen *screen : screens)
        areas.append(screen->availableGeometry());
    const int primary = screens.indexOf(QGuiApplication::primaryScreen());
    const WindowPlacement placement = placeWindow(areas, primary, storedScreen, storedGeometry,
                                                  minimumSize(), requestedScreen);
    if (!placement.geometry.isEmpty())
        setGeometry(placement.geometry);
    return placement.screen;
}

void MainWindow::showAtStart(bool full, int screen)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    const bool requested = screen >= 0 && screen < screens.size();
    if (requested)
        startScreen = placeOnScreens(screen, storedPlace, screen);
    const bool wantFull = full || displaySettings.startFullScreen;
    // The native window is made on the screen the window belongs on, so that full screen
    // fills that one and a screen of its own X screen is reached too.
    if ((requested || wantFull) && startScreen >= 0 && startScreen < screens.size()) {
        create();
        if (QWindow *native = windowHandle())
            native->setScreen(screens.at(startScreen));
    }
    if (wantFull)
        fullScreen.enter();
    else
        show();
}

void MainWindow::fitToDesktop()
{
    // A stored geometry is used as it is: a size far beyond any screen would make the pictures
    // be scaled to it, gigabytes for nothing, at every start.
    const QRect desktop = availableDesktop();
    if (desktop.isEmpty())
        return;
    const QSize limit = desktop.size().expandedTo(minimumSize());
    if (width() > limit.width() || height() > limit.height())
        resize(size().boundedTo(limit));
    if (!frameGeometry().intersects(desktop))
        move(desktop.topLeft());
}

int MainWindow::currentScreenNumber()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    // The screen that the window system says the window is on, while the window still meets
    // it. Screens of another X screen, or heads that share the origin, cannot be told apart by
    // position at all.
    if (const QWindow *native = windowHandle()) {
        const int index = screens.indexOf(native->screen());
        if (index >= 0 && native->screen()->geometry().intersects(frameGeometry()))
            return index;
    }
    QVector<QRect> areas;
    areas.reserve(screens.size());
    for (const QScreen *screen : screens)
        areas.append(screen->availableGeometry());
    return screenNumberFor(areas, pos(), isMaximized());
}
