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
