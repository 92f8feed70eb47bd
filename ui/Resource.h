#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The picture store: named pictures that the other windows copy into their images.
// Never shown; made on first use by the window set and kept for the whole run.
class Resource {
public:
    Resource();

    QPixmap PlayerIN;
    QPixmap PlayerOUT;

    // Any other picture of the artwork, by file name without extension.
    static QPixmap picture(const QString &name);
    static QSize pictureSize(const QString &name);  // without reading the picture
    static QIcon applicationIcon();
};
