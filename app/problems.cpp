#include "app/mainwindow.h"

#include "panel/designlayout.h"
#include "panel/lampstyle.h"
#include "panel/panellayout.h"

#include <QLabel>
#include <QStringList>

namespace {

// The texts that say something, joined by `separator`.
QString joinedNonEmpty(std::initializer_list<QString> parts, const QString &separator)
{
    QStringList said;
    for (const QString &part : parts) {
        if (!part.isEmpty())
            said << part;
    }
    return said.join(separator);
}

} // namespace

void MainWindow::setSerialProblem(const QString &text)
{
    setProblem(serialProblem, text);
}

void MainWindow::setUdpProblem(const QString &text)
{
    setProblem(udpProblem, text);
}

void MainWindow::setSettingsProblem(const QString &text)
{
    setProblem(settingsProblem, text);
}

void MainWindow::setRemoteProblem(const QString &text)
{
    setProblem(remoteProblem, text);
}

void MainWindow::setProblem(QString &problem, const QString &text)
{
    if (problem == text)
        return;
    problem = text;
    showProblems();
}

void MainWindow::showProblems()
{
    // The input's reasons first, then the settings'.
    const QString input
        = joinedNonEmpty({ serialProblem, udpProblem, distributionProblem }, QStringLiteral(", "));
    const QString stored
        = joinedNonEmpty({ settingsProblem, endTimeProblem }, QStringLiteral(", "));
    const QString text = joinedNonEmpty({ input, stored, remoteProblem }, QStringLiteral(" - "));
    publishRemote();
    if (text.isEmpty()) {
        if (problemLabel)
            problemLabel->hide();
        return;
    }
    if (!problemLabel) {
        problemLabel = new QLabel(this);
        problemLabel->setObjectName(QStringLiteral("label_problem"));
        problemLabel->setTextFormat(Qt::PlainText);
        problemLabel->setStyleSheet(QString::fromLatin1(WhiteText));
        problemLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // A long reason takes two lines of the band rather than the lamp's room.
        problemLabel->setWordWrap(true);
        problemLabel->setToolTip(tr("Why the display cannot do what it was set to do"));
        placeProblemLabel();
    }
    problemLabel->setText(text);
    problemLabel->show();
}

void MainWindow::placeProblemLabel()
{
    if (!problemLabel)
        return;
    const DesignLayout::Fit fit = windowSize.isEmpty() ? DesignLayout::atDesignSize()
                                                       : DesignLayout::fitDesign(windowSize);
    problemLabel->setGeometry(DesignLayout::scaleRect(StatusLayout::ProblemRect, fit));
    // The lamps' typeface: the reason reads as part of the status it explains.
    problemLabel->setFont(LampStyle::font(StatusLayout::ProblemPixelSize, fit));
}
