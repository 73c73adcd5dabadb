#include "app/mainwindow.h"

#include "panel/designlayout.h"
#include "panel/lampstyle.h"
#include "widgets/mylabel.h"

#include <QLabel>

namespace {

// The keys' list in design pixels: its size on the panel and the size of its words.
constexpr QSize KeysSize(440, 250);
constexpr int KeysPixelSize = 15;
constexpr int KeysMargin = 16;

} // namespace

void MainWindow::toggleKeys()
{
    if (keysOverlay && keysOverlay->isVisible()) {
        keysOverlay->hide();
        return;
    }
    if (!keysOverlay) {
        auto *overlay = new myLabel(QString(), this);
        overlay->setObjectName(QStringLiteral("label_keys"));
        overlay->setTextFormat(Qt::RichText);
        overlay->setAlignment(Qt::AlignCenter);
        overlay->setStyleSheet(
            QStringLiteral("QLabel { color: rgb(255, 255, 255); background: rgba(12, 13, 15, 235);"
                           " border: 2px solid rgb(118, 123, 130); border-radius: 8px; }"));
        // A click anywhere on it closes it, as any key does.
        connect(overlay, &myLabel::clicked, this, &MainWindow::toggleKeys);
        const QString row = QStringLiteral("<tr><td align=\"right\"><b>%1</b></td>"
                                           "<td>&nbsp;&nbsp;</td><td>%2</td></tr>");
        overlay->setText(QStringLiteral("<table>") + row.arg(tr("F1"), tr("these keys"))
                         + row.arg(tr("F11, double-click"), tr("full screen, and back"))
                         + row.arg(tr("Esc"), tr("stop the count-down; else leave full screen"))
                         + row.arg(tr("C"), tr("start the last count-down again"))
                         + row.arg(tr("R, click an over lamp"), tr("reset peaks and overs"))
                         + row.arg(tr("Right-click"), tr("settings, captions, end time, ON AIR"))
                         + row.arg(tr("Gear"), tr("communication settings"))
                         + QStringLiteral("</table><p>") + tr("Any key or a click closes this.")
                         + QStringLiteral("</p>"));
        keysOverlay = overlay;
    }
    placeKeys();
    keysOverlay->show();
    keysOverlay->raise();
}

void MainWindow::placeKeys()
{
    if (!keysOverlay)
        return;
    const DesignLayout::Fit fit = windowSize.isEmpty() ? DesignLayout::atDesignSize()
                                                       : DesignLayout::fitDesign(windowSize);
    QFont font = LampStyle::font(KeysPixelSize, fit);
    font.setBold(false);
    keysOverlay->setFont(font);
    // At least the designed size, and never narrower than its words: a font's widths do not
    // scale exactly with its size, and a translation may be longer.
    keysOverlay->setMargin(LampStyle::scaled(KeysMargin, fit));
    const QSize words = keysOverlay->sizeHint();
    const QSize size(qMax(LampStyle::scaled(KeysSize.width(), fit), words.width()),
                     qMax(LampStyle::scaled(KeysSize.height(), fit), words.height()));
    const QRect panel(fit.offsetX, fit.offsetY, fit.canvasWidth, fit.canvasHeight);
    keysOverlay->setGeometry(
        QRect(panel.center() - QPoint(size.width(), size.height()) / 2, size));
}
