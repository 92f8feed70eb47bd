#include "ui/ClickArea.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace {
class ClickAreaAccessible : public QAccessibleWidget {
public:
    explicit ClickAreaAccessible(ClickArea *area) : QAccessibleWidget(area, QAccessible::Button) {}

    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString &action) override
    {
        if (action == pressAction())
            static_cast<ClickArea *>(widget())->press();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface *clickAreaAccessible(const QString &className, QObject *object)
{
    return className == QLatin1String("ClickArea") ? new ClickAreaAccessible(static_cast<ClickArea *>(object)) : nullptr;
}

bool isPressKey(const QKeyEvent *key)
{
    return (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier
        && (key->key() == Qt::Key_Space || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter);
}
}  // namespace

ClickArea::ClickArea(QWidget *parent) : QLabel(parent)
{
    static const bool registered = (QAccessible::installFactory(clickAreaAccessible), true);
    Q_UNUSED(registered);
    setFocusPolicy(Qt::TabFocus);
}

void ClickArea::press()
{
    emit clicked();
}

bool ClickArea::event(QEvent *event)
{
    // Return is the window's default button everywhere else; on a focused picture it presses the picture.
    if (event->type() == QEvent::ShortcutOverride && isPressKey(static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    return QLabel::event(event);
}

void ClickArea::focusInEvent(QFocusEvent *event)
{
    // As on the desktop: the focus a window gives its first control on opening shows no mark.
    m_keyboardUsed = m_keyboardUsed || event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    QLabel::focusInEvent(event);
}

void ClickArea::keyPressEvent(QKeyEvent *event)
{
    if (!m_keyboardUsed) {
        m_keyboardUsed = true;
        update();
    }
    if (isPressKey(event)) {
        if (!event->isAutoRepeat())
            press();
        return;
    }
    const int step = event->key() == Qt::Key_Left || event->key() == Qt::Key_Up     ? -1
                   : event->key() == Qt::Key_Right || event->key() == Qt::Key_Down ? 1
                                                                                    : 0;
    if (step == 0 || !focusNeighbour(step))
        QLabel::keyPressEvent(event);
}

// The array is the visible click areas of the same name beside this one, in index order.
bool ClickArea::focusNeighbour(int step)
{
    if (!parent())
        return false;
    QList<ClickArea *> array;
    for (QObject *sibling : parent()->children())
        if (auto *area = qobject_cast<ClickArea *>(sibling); area && area->objectName() == objectName() && area->isVisible())
            array.append(area);
    if (array.size() < 2)
        return false;
    std::sort(array.begin(), array.end(), [](const ClickArea *a, const ClickArea *b) {
        return a->property("Index").toInt() < b->property("Index").toInt();
    });
    const qsizetype at = array.indexOf(this);
    array[(at + step + array.size()) % array.size()]->setFocus(Qt::TabFocusReason);
    return true;
}

void ClickArea::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        press();
    QLabel::mouseReleaseEvent(event);
}

void ClickArea::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!hasFocus() || !m_keyboardUsed)
        return;
    // Dark and light dots together stay visible on any artwork, and on none.
    QPainter painter(this);
    const QRect mark = rect().adjusted(0, 0, -1, -1);
    painter.setPen(Qt::black);
    painter.drawRect(mark);
    painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
    painter.drawRect(mark);
}
