#pragma once

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QRect>
#include <QStringList>
#include <QWidget>

class QAbstractScrollArea;
class QFrame;
class QPushButton;

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

// A picture of the artwork by name, read again each time it is painted and scaled to fill its
// rectangle as it paints: the big pictures are painted about once, one kept decoded costs four
// bytes a pixel for the window's whole life, and a QLabel with scaled contents keeps a scaled copy
// as well (most of a megabyte for the lobby's background).
class StretchedImage : public QLabel {
public:
    using QLabel::QLabel;
    // Stretched to the image's rectangle, or at its own size, the image taking that size.
    void setArtwork(const QString &name, bool stretched = true);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_artwork;
    bool m_stretched = true;
};

// A line edit with a flat one-pixel border in the palette's dark colour on its base colour,
// drawn by itself: a style sheet would load Qt's style sheet engine for two boxes.
class FlatLineEdit : public QLineEdit {
public:
    explicit FlatLineEdit(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A StretchedImage showing this picture of the artwork.
StretchedImage *makeStretchedImage(QWidget *parent, const char *name, QRect geometry, const QString &artwork, bool stretched = true);
// Gives an image that is not stretched a picture: the image takes the picture's size.
void setNaturalPicture(QLabel *image, const QPixmap &picture);

// Every window's font: "MS Sans Serif" 8.25 pt where installed, else the desktop's closest sans serif.
QFont windowFont();
QFont boldFont(qreal pointSize = 8.25);

// A fixed-size window of the given client area, in the window font, unloaded when closed;
// screen readers see a tool window as a dialog, any other as a frame.
void setupWindow(QWidget *window, const char *name, const QString &caption, QSize clientArea);
void centreOnScreen(QWidget *window);
// Enter anywhere in the window presses the button, while it is enabled; on another
// focused button Enter presses that one.
void installDefaultButton(QWidget *window, QPushButton *button);
// The role screen readers are told, where Qt's guess from the class is wrong. Set it
// before the widget is first shown: Qt keeps the first answer.
void setAccessibleRole(QWidget *widget, QAccessible::Role role);
// Names a text or list box for screen readers, and its scroll bars after it.
void setSpokenName(QAbstractScrollArea *box, const QString &name);
// A panel of controls, made as makeControl makes one; screen readers hear it by its name, as a
// group, or as an alert that they read out when it appears.
QFrame *makePanel(QWidget *parent, const char *name, QRect geometry, const QString &spokenName,
                  QAccessible::Role role = QAccessible::Grouping);
// A flat one-pixel border on the given background, as text and list boxes have here.
// Dark text stays readable on the night-sky artwork: a soft light halo behind the glyphs.
void addHalo(QLabel *label);
void styleFlatBox(QWidget *box, const QColor &background = Qt::white);
// A label's text colour.
void setTextColour(QWidget *label, const QColor &colour);

// Text from outside as a tooltip: a tooltip that looks like markup is read as markup (and may
// load what it names), so such text is escaped and shows as its characters.
QString plainToolTip(const QString &text);
// Text wrapped to lines of at most `width` pixels, at word boundaries where it can; past
// `maxLines` the last line kept ends with an ellipsis.
QStringList fittedLines(const QString &text, const QFont &font, int width, int maxLines = INT_MAX);
