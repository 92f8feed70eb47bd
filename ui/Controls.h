#pragma once

#include <QLabel>
#include <QPixmap>
#include <QRect>
#include <QWidget>

// Creates a control with the catalogue's name and geometry. Controls made later
// lie in front of those made earlier, so windows build theirs back to front.
template <class W, class... Args>
W *makeControl(QWidget *parent, const char *name, QRect geometry, Args &&...args)
{
    auto *w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(geometry);
    return w;
}

// An image that scales its picture to fill its rectangle.
inline QLabel *makeStretchedImage(QWidget *parent, const char *name, QRect geometry, const QPixmap &picture)
{
    auto *image = makeControl<QLabel>(parent, name, geometry);
    image->setPixmap(picture);
    image->setScaledContents(true);
    return image;
}

// A tool window of a fixed client-area size.
inline void setupToolWindow(QWidget *window, const char *name, const QString &caption, QSize clientArea)
{
    window->setObjectName(QString::fromLatin1(name));
    window->setWindowTitle(caption);
    window->setFixedSize(clientArea);
    window->setAttribute(Qt::WA_DeleteOnClose);
}
