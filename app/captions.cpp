#include "app/mainwindow.h"

#include "dialogs/ccaptionsdialog.h"
#include "onair/onairstatus.h"
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
    showCaptions();
    // Kept at once, not only at a normal exit: studio machines get switched off at the wall.
    writeSettings();
    publishRemote();
}

void MainWindow::renameCaptions()
{
    CCaptionsDialog dialog(this, captionTexts());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const std::array<QString, 3> texts = dialog.captions();
    const std::array<myLabel *, 3> labels = captions();
    for (std::size_t i = 0; i < labels.size(); ++i)
        labels[i]->setText(texts[i]);
    showCaptions();
    writeSettings();
}

std::array<QString, 3> MainWindow::captionTexts() const
{
    return { labelMeter1->text(), labelMeter2->text(), labelMeter3->text() };
}

void MainWindow::showCaptions()
{
    for (myLabel *caption : captions())
        caption->setToolTip(tr("%1\nClick to rename").arg(caption->text()));
    onAir->setCaptions(captionTexts());
}
