#include "icofile.h"

#include <QBuffer>
#include <QDataStream>

namespace IcoFile {

QByteArray build(const QVector<QImage> &images)
{
    QVector<QByteArray> streams;
    for (const QImage &image : images) {
        if (image.isNull() || image.width() > 256 || image.height() > 256)
            return QByteArray();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG"))
            return QByteArray();
        streams.append(png);
    }

    constexpr int DirectorySize = 6;
    constexpr int EntrySize = 16;
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(images.size()); // reserved, type icon, count

    quint32 offset = DirectorySize + EntrySize * images.size();
    for (int i = 0; i < images.size(); ++i) {
        // A dimension of 256 does not fit the byte and is written as 0.
        out << quint8(images[i].width() & 0xff) << quint8(images[i].height() & 0xff);
        out << quint8(0) << quint8(0);    // no palette, reserved
        out << quint16(1) << quint16(32); // colour planes, bits per pixel
        out << quint32(streams[i].size()) << offset;
        offset += quint32(streams[i].size());
    }
    for (const QByteArray &stream : streams)
        out.writeRawData(stream.constData(), stream.size());
    return file;
}

} // namespace IcoFile
