#include "ui/Resource.h"

#include <QColor>
#include <QFile>

// The artwork lives in this static library: say so, or the linker may leave it out.
static void initArtwork()
{
    Q_INIT_RESOURCE(artwork);
}

Resource::Resource()
    : PlayerIN(picture(QStringLiteral("PlayerIN"), {14, 22})),
      PlayerOUT(picture(QStringLiteral("PlayerOUT"), {13, 21})),
      BG(picture(QStringLiteral("BG"), {96, 99})),
      LOGO(picture(QStringLiteral("LOGO"), {134, 127}))
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

QPixmap Resource::picture(const QString &name, QSize fallbackSize)
{
    initArtwork();
    const QString path = QStringLiteral(":/pictures/%1.bmp").arg(name);
    if (QFile::exists(path))
        return QPixmap(path);
    // Until the artwork is in: a plain tile of the right size.
    QPixmap tile(fallbackSize);
    tile.fill(QColor(0x30, 0x40, 0x60));
    return tile;
}
