// Writes each image of an icon file as a PNG where desktops look for application icons:
// OUTDIR/hicolor/NxN/apps/NAME.png. The window's compiled-in icon is the one source of them.

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4) {
        err << "usage: orvane-iconfiles ICON.ico OUTDIR NAME\n";
        return 2;
    }
    const QString &icon = arguments[1];
    const QString &outDir = arguments[2];
    const QString &name = arguments[3];

    QImageReader reader(icon, "ico");
    const int count = reader.imageCount();
    if (count < 1) {
        err << "cannot read " << icon << ": " << reader.errorString() << '\n';
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        if (!reader.jumpToImage(i)) {
            err << "cannot reach image " << i << " of " << icon << '\n';
            return 1;
        }
        const QImage image = reader.read();
        if (image.isNull() || image.width() != image.height()) {
            err << "image " << i << " of " << icon << " is not a square picture\n";
            return 1;
        }
        const QString size = QStringLiteral("%1x%1").arg(image.width());
        const QString folder = QStringLiteral("%1/hicolor/%2/apps").arg(outDir, size);
        const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !image.save(file, "PNG")) {
            err << "cannot write " << file << '\n';
            return 1;
        }
    }
    return 0;
}
