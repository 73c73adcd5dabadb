// Draws the program's pictures: the design picture with its printed scales, the margin
// texture, the settings symbol and the window icon. Run it again whenever the design changes:
//
//     orvane-makepictures [resources folder]
//
// The folder defaults to the source tree's resources/.

#include "icofile.h"
#include "panel/emblems.h"
#include "panel/panellayout.h"
#include "panel/panelpainter.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QTextStream>

namespace {

bool writeImage(const QImage &image, const QString &path)
{
    if (!image.save(path, "PNG")) {
        QTextStream(stderr) << "cannot write " << path << '\n';
        return false;
    }
    QTextStream(stdout) << path << ' ' << image.width() << 'x' << image.height() << '\n';
    return true;
}

// Reads the icon back as the program will, through Qt's ico plugin.
bool iconReadsBack(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    if (reader.imageCount() != int(PictureLayout::IconSizes.size()))
        return false;
    for (int size : PictureLayout::IconSizes) {
        const QImage image = reader.read();
        if (image.size() != QSize(size, size))
            return false;
        reader.jumpToNextImage();
    }
    return true;
}

bool writeIcon(const QString &path)
{
    QVector<QImage> images;
    for (int size : PictureLayout::IconSizes)
        images.append(Emblems::productEmblem(size));
    const QByteArray bytes = IcoFile::build(images);
    if (bytes.isEmpty() || !iconReadsBack(bytes)) {
        QTextStream(stderr) << "the icon does not read back with all its sizes\n";
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        QTextStream(stderr) << "cannot write " << path << '\n';
        return false;
    }
    QTextStream(stdout) << path << ' ' << images.size() << " images\n";
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // Drawing needs fonts but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Draws the pictures of Orvane Meters."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"),
                                 QStringLiteral("resources folder to write into"));
    parser.process(app);
    const QStringList arguments = parser.positionalArguments();
    const QDir folder(arguments.isEmpty() ? QStringLiteral(ORVANE_RESOURCES_DIR)
                                          : arguments.first());
    if (!folder.mkpath(QStringLiteral("png")) || !folder.mkpath(QStringLiteral("ico"))) {
        QTextStream(stderr) << "cannot create the folders in " << folder.path() << '\n';
        return 1;
    }

    const bool written
        = writeImage(Panel::draw(), folder.filePath(QStringLiteral("png/TessikBackground.png")))
        && writeImage(Panel::marginTexture(),
                      folder.filePath(QStringLiteral("png/OrvaneBackgroundEmpty.png")))
        && writeImage(Emblems::settingsGear(PictureLayout::SettingsSymbolSize),
                      folder.filePath(QStringLiteral("png/Settings.png")))
        && writeIcon(folder.filePath(QStringLiteral("ico/OrvaneIcon256x256Border.ico")));
    return written ? 0 : 1;
}
