#include "mainwindow.h"

#include "layout.h"

#include <QLabel>
#include <QStringList>

namespace {

// In the header band, left of the settings button, where the link state is shown.
const QRect ProblemRect(520, 28, 370, 25);

} // namespace

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
        placeProblemLabel();
    }
    problemLabel->setText(parts.join(QStringLiteral(" - ")));
    problemLabel->show();
}

void MainWindow::placeProblemLabel()
{
    if (!problemLabel)
        return;
    if (windowSize.isEmpty()) {
        problemLabel->setGeometry(ProblemRect);
        return;
    }
    const DesignLayout::Fit fit = DesignLayout::fitDesign(windowSize);
    problemLabel->setGeometry(DesignLayout::scaleRect(ProblemRect, fit));
}
