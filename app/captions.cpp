#include "app/mainwindow.h"

#include "widgets/mylabel.h"

#include <QInputDialog>
#include <QLineEdit>

void MainWindow::labelMeter1Clicked()
{
    editCaption(labelMeter1, tr("Meter 1 label:"));
}

void MainWindow::labelMeter2Clicked()
{
    editCaption(labelMeter2, tr("Meter 2 label:"));
}

void MainWindow::labelMeter3Clicked()
{
    editCaption(labelMeter3, tr("Meter 3 label:"));
}

void MainWindow::editCaption(myLabel *caption, const QString &prompt)
{
    bool ok = false;
    const QString text = QInputDialog::getText(this, tr("Lumbro"), prompt, QLineEdit::Normal,
                                               caption->text(), &ok);
    // A caption cannot be cleared from here: an empty answer keeps the old one.
    if (!ok || text.isEmpty())
        return;
    caption->setText(text);
    // Kept at once, not only at a normal exit: studio machines get switched off at the wall.
    writeSettings();
    publishRemote();
}
