#include "ui/Controls.h"

#include "ui/Resource.h"

#include <QAbstractScrollArea>
#include <QAccessibleWidget>
#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocument>
#include <QTextLayout>

void StretchedImage::setArtwork(const QString &name, bool stretched)
{
    m_artwork = name;
    m_stretched = stretched;
    if (!stretched)
        resize(Resource::pictureSize(name));
    update();
}

void StretchedImage::paintEvent(QPaintEvent *event)
{
    QPixmap picture = m_artwork.isEmpty() ? QPixmap() : Resource::picture(m_artwork);
    if (picture.isNull())
        return QLabel::paintEvent(event);
    if (!isEnabled()) {  // greyed as QLabel greys its own
        QStyleOption option;
        option.initFrom(this);
        picture = style()->generatedIconPixmap(QIcon::Disabled, picture, &option);
    }
    QPainter painter(this);
    if (!m_stretched)
        return painter.drawPixmap(contentsRect().topLeft(), picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(contentsRect(), picture);
}

FlatLineEdit::FlatLineEdit(QWidget *parent) : QLineEdit(parent)
{
    setFrame(false);
    setTextMargins(1, 1, 1, 1);  // the text keeps clear of the border
}

void FlatLineEdit::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().base());  // some styles leave the edge to the frame
    }
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

StretchedImage *makeStretchedImage(QWidget *parent, const char *name, QRect geometry, const QString &artwork, bool stretched)
{
    auto *image = makeControl<StretchedImage>(parent, name, geometry);
    image->setArtwork(artwork, stretched);
    return image;
}

void setNaturalPicture(QLabel *image, const QPixmap &picture)
{
    image->setPixmap(picture);
    image->resize(picture.size());
}

QFont windowFont()
{
    QFont font;
    // Where the original face is missing, the metric-alike sans serifs keep captions inside their controls.
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    return font;
}

QFont boldFont(qreal pointSize)
{
    QFont font = windowFont();
    font.setPointSizeF(pointSize);
    font.setBold(true);
    return font;
}

void setupWindow(QWidget *window, const char *name, const QString &caption, QSize clientArea)
{
    window->setObjectName(QString::fromLatin1(name));
    window->setWindowTitle(caption);
    window->setFont(windowFont());
    window->setFixedSize(clientArea);
    window->setAttribute(Qt::WA_DeleteOnClose);
    setAccessibleRole(window, window->windowType() == Qt::Tool ? QAccessible::Dialog : QAccessible::Window);
}

void centreOnScreen(QWidget *window)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

void installDefaultButton(QWidget *window, QPushButton *button)
{
    for (const QKeySequence &key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto *shortcut = new QShortcut(key, window);
        QObject::connect(shortcut, &QShortcut::activated, button, [window, button] {
            auto *focused = qobject_cast<QAbstractButton *>(window->focusWidget());
            QAbstractButton *pressed = focused ? focused : button;
            if (pressed->isEnabled())
                pressed->click();
        });
    }
}

namespace {
constexpr char RoleProperty[] = "accessibleRole";

QAccessibleInterface *widgetWithRole(const QString &, QObject *object)
{
    const QVariant role = object->property(RoleProperty);
    return role.isValid() && object->isWidgetType() ? new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Role(role.toInt())) : nullptr;
}
}  // namespace

void setAccessibleRole(QWidget *widget, QAccessible::Role role)
{
    static const bool registered = (QAccessible::installFactory(widgetWithRole), true);
    Q_UNUSED(registered);
    widget->setProperty(RoleProperty, int(role));
}

void setSpokenName(QAbstractScrollArea *box, const QString &name)
{
    box->setAccessibleName(name);
    box->verticalScrollBar()->setAccessibleName(QStringLiteral("Scroll %1 up and down").arg(name.toLower()));
    box->horizontalScrollBar()->setAccessibleName(QStringLiteral("Scroll %1 sideways").arg(name.toLower()));
}

QFrame *makePanel(QWidget *parent, const char *name, QRect geometry, const QString &spokenName, QAccessible::Role role)
{
    auto *panel = new QFrame;  // Qt describes a widget once it has a parent: the role comes first
    setAccessibleRole(panel, role);
    panel->setParent(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setGeometry(geometry);
    panel->setAccessibleName(spokenName);
    return panel;
}

void addHalo(QLabel *label)
{
    auto *halo = new QGraphicsDropShadowEffect(label);
    halo->setOffset(0, 0);
    halo->setBlurRadius(10);
    halo->setColor(QColor(255, 246, 222));
    label->setGraphicsEffect(halo);
}

void styleFlatBox(QWidget *box, const QColor &background)
{
    if (auto *frame = qobject_cast<QFrame *>(box)) {
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
        frame->setLineWidth(1);
    }
    QPalette colours = box->palette();
    colours.setColor(QPalette::Base, background);
    box->setPalette(colours);
}

void setTextColour(QWidget *label, const QColor &colour)
{
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, colour);
    colours.setColor(QPalette::Text, colour);
    label->setPalette(colours);
}

QString plainToolTip(const QString &text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

QStringList fittedLines(const QString &text, const QFont &font, int width, int maxLines)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1 && line.textStart() + line.textLength() < text.size()) {
            lines << QFontMetrics(font).elidedText(text.mid(line.textStart()), Qt::ElideRight, width);
            break;
        }
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}
