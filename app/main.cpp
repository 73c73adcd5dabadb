#include "mainwindow.h"
#include "shutdownsignals.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    quitOnShutdownSignals(&app);

    int result = 0;
    {
        // Destroyed before the application object: its destructor stores the settings.
        MainWindow window;
        window.show();
        result = app.exec();
    }
    return result;
}
