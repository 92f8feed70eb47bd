#include "ui/Resource.h"

#include <QImage>

// The artwork lives in this static library: register it once, or the linker may leave it out.
static void initArtwork()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(artwork);
        return true;
    }();
    Q_UNUSED(registered);
}

Resource::Resource()
    : PlayerIN(picture(QStringLiteral("PlayerIN"))),
      PlayerOUT(picture(QStringLiteral("PlayerOUT"))),
      BG(picture(QStringLiteral("BG"))),
      LOGO(picture(QStringLiteral("LOGO")))
{
}

QIcon Resource::applicationIcon()
{
    initArtwork();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/app-icon-32.png"), {32, 32});
    icon.addFile(QStringLiteral(":/icons/app-icon-48.png"), {48, 48});
    return icon;
}

QPixmap Resource::picture(const QString &name)
{
    initArtwork();
    // Not through QPixmap's file cache, which would keep every picture for the whole run:
    // a picture goes with the last window that shows it.
    return QPixmap::fromImage(QImage(QStringLiteral(":/pictures/%1.bmp").arg(name), "BMP"));
}
