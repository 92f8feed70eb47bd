#include "ui/Resource.h"

#include <QImageReader>

// The artwork lives in this static library: register it once, or the linker may leave it out.
static void initArtwork()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(artwork);
        return true;
    }();
    Q_UNUSED(registered);
}

// Read by Qt's own reader for the format: a reader that may guess asks every image format
// plugin first, and loads them all with their libraries.
static QPixmap readPicture(const QString &path, const char *format)
{
    initArtwork();
    QImageReader reader(path, format);
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

Resource::Resource()
    : PlayerIN(picture(QStringLiteral("PlayerIN"))),
      PlayerOUT(picture(QStringLiteral("PlayerOUT")))
{
}

QIcon Resource::applicationIcon()
{
    QIcon icon;
    icon.addPixmap(readPicture(QStringLiteral(":/icons/app-icon-32.png"), "PNG"));
    icon.addPixmap(readPicture(QStringLiteral(":/icons/app-icon-48.png"), "PNG"));
    return icon;
}

static QString picturePath(const QString &name)
{
    return QStringLiteral(":/pictures/%1.bmp").arg(name);
}

QPixmap Resource::picture(const QString &name)
{
    // Not through QPixmap's file cache, which would keep every picture for the whole run:
    // a picture goes with the last window that shows it.
    return readPicture(picturePath(name), "BMP");
}

QSize Resource::pictureSize(const QString &name)
{
    initArtwork();
    QImageReader reader(picturePath(name), "BMP");
    reader.setAutoDetectImageFormat(false);
    return reader.size();
}
