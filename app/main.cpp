#include "mainwindow.h"
#include "shutdownsignals.h"
#include "trace.h"

#include <QApplication>

int main(int argc, char **argv)
{
    Trace::begin();

    // Everything here is painted by the raster engine. Left to itself, the X11 platform sets up
    // OpenGL integration at start, which on a machine without a GPU loads Mesa's software
    // renderer and LLVM: some 50 MB of memory and a slower start, for nothing.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    // With shared-memory images the X11 platform waits for the X server before it paints into
    // a part of the window that it sent before: a round trip for nearly every repaint of a
    // meter, hundreds a second, for copying a few rows. Sent through the connection, the rows
    // need no waiting; a live display then costs about a fifth less of both processes' time.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");

    QApplication app(argc, argv);
    quitOnShutdownSignals(&app);

    int result = 0;
    {
        // Destroyed before the application object: its destructor stores the settings.
        MainWindow window;
        Trace::attach(&window);
        window.show();
        result = app.exec();
    }
    return result;
}
