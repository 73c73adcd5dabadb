#pragma once

#include <QByteArray>
#include <QImage>
#include <QVector>

// Qt's ico writer puts one image into a file; a window icon wants several sizes in one, so the
// container is assembled here: the icon directory, one entry per image, then each image as a
// PNG stream (which every current reader, Qt's ico plugin included, accepts for any size).
namespace IcoFile {

// The file's bytes, or an empty array when an image is larger than 256 pixels or fails to
// encode.
QByteArray build(const QVector<QImage> &images);

} // namespace IcoFile
