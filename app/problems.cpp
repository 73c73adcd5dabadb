#include "app/mainwindow.h"

#include "panel/designlayout.h"
#include "panel/lampstyle.h"
#include "panel/panellayout.h"

#include <QLabel>
#include <QStringList>

void MainWindow::setSerialProblem(const QString &text)
{
    serialProblem = text;
    QStringList parts;
    for (const QString &part : { serialProblem, udpProblem }) {
        if (!part.isEmpty())
            parts << part;
    }
    setInputProblem(parts.join(QStringLiteral(", ")));
}

void MainWindow::setUdpProblem(const QString &text)
{
    udpProblem = text;
    setSerialProblem(serialProblem);
}

void MainWindow::setInputProblem(const QString &text)
{
    if (inputProblem == text)
        return;
    inputProblem = text;
    showProblems();
}

void MainWindow::setSettingsProblem(const QString &text)
{
    if (settingsProblem == text)
        return;
    settingsProblem = text;
    showProblems();
}

void MainWindow::showProblems()
{
    QStringList parts;
    for (const QString &part : { inputProblem, settingsProblem }) {
        if (!part.isEmpty())
            parts << part;
    }
    if (parts.isEmpty()) {
        if (problemLabel)
            problemLabel->hide();
        return;
    }
    if (!problemLabel) {
        problemLabel = new QLabel(this);
        problemLabel->setObjectName(QStringLiteral("label_problem"));
        problemLabel->setTextFormat(Qt::PlainText);
        problemLabel->setStyleSheet(QStringLiteral("QLabel\n{\ncolor: rgb(255, 255, 255);\n}"));
        problemLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        problemLabel->setToolTip(tr("Why the display cannot do what it was set to do"));
        placeProblemLabel();
    }
    problemLabel->setText(parts.join(QStringLiteral(" - ")));
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
