#pragma once

#include <QColor>
#include <QString>

// The few colours and the typeface that every picture shares.
namespace Palette {

const QString FontFamily = QStringLiteral("DejaVu Sans");

const QColor Ink(27, 29, 32); // printed ticks and numbers
const QColor Overload(206, 32, 40); // the red zone above 0 dB and its number
const QColor Shadow(0, 0, 0, 90); // drop shadow under raised marks
const QColor TextShadow(0, 0, 0, 120); // shadow under white text on the bands
const QColor Highlight(255, 255, 255, 150);
const QColor SlotFace(22, 24, 27); // recess around a meter

} // namespace Palette
