#include "ui/ChatView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <algorithm>

namespace {
constexpr int Margin = 4;  // as a text document's margin, so the box looks as a QPlainTextEdit did
constexpr int HangingIndent = 12;  // the wrapped rows of every line

// What a screen reader sees: a read-only multi-line text with a caret and one selection.
class ChatViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ChatViewAccessible(ChatView *view) : QAccessibleWidget(view, QAccessible::EditableText) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? view()->toPlainText() : QAccessibleWidget::text(t);
    }

    void selection(int index, int *start, int *end) const override
    {
        *start = *end = 0;
        if (index == 0 && view()->hasSelection())
            view()->selectionOffsets(start, end);
    }
    int selectionCount() const override { return view()->hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { view()->setSelectionOffsets(start, end); }
    void removeSelection(int index) override
    {
        if (index == 0)
            view()->setSelectionOffsets(view()->caretOffset(), view()->caretOffset());
    }
    void setSelection(int index, int start, int end) override
    {
        if (index == 0)
            view()->setSelectionOffsets(start, end);
    }
    int cursorPosition() const override { return view()->caretOffset(); }
    void setCursorPosition(int position) override { view()->setSelectionOffsets(position, position); }
    QString text(int start, int end) const override { return view()->text(start, end); }
    int characterCount() const override { return view()->characterCount(); }
    QRect characterRect(int offset) const override
    {
        const QRect r = view()->characterRect(offset);
        return r.isEmpty() ? r : QRect(view()->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return view()->offsetAt(view()->viewport()->mapFromGlobal(point));
    }
    void scrollToSubstring(int start, int) override { view()->scrollToOffset(start); }
    QString attributes(int, int *start, int *end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    ChatView *view() const { return static_cast<ChatView *>(widget()); }
};

QAccessibleInterface *chatViewAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("ChatView") && object && object->isWidgetType())
        return new ChatViewAccessible(static_cast<ChatView *>(object));
    return nullptr;
}
}  // namespace

ChatView::ChatView(int capacity, QWidget *parent)
    : QAbstractScrollArea(parent), m_capacity(std::max(1, capacity)), m_lines(size_t(m_capacity)),
      m_starts(size_t(m_capacity)), m_speakers(size_t(m_capacity))
{
    static const bool factory = [] {
        QAccessible::installFactory(chatViewAccessible);
        return true;
    }();
    Q_UNUSED(factory);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // lines wrap at the box's width
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->setSingleStep(1);
}

ChatView::~ChatView() = default;

QString ChatView::line(int index) const
{
    return index >= 0 && index < lineCount() ? at(m_first + index) : QString();
}

QString ChatView::toPlainText() const
{
    return text(0, characterCount());
}

void ChatView::push(const QString &line, int speaker)
{
    if (m_end - m_first == m_capacity) {
        m_lines[size_t(m_first % m_capacity)] = QString();
        ++m_first;
    }
    m_lines[size_t(m_end % m_capacity)] = line;
    m_starts[size_t(m_end % m_capacity)] = m_nextStart;
    m_speakers[size_t(m_end % m_capacity)] = std::clamp(speaker, 0, int(line.size()));
    m_nextStart += line.size() + 1;  // and the line break after it
    ++m_end;
}

void ChatView::setText(const QString &line)
{
    const QString old = QAccessible::isActive() ? toPlainText() : QString();
    for (qint64 l = m_first; l < m_end; ++l)
        m_lines[size_t(l % m_capacity)] = QString();
    m_first = m_end;
    push(line);
    forgetLayouts();
    m_anchor = m_caret = clamp({m_end, 0});
    updateScrollBar();
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleTextUpdateEvent event(this, 0, old, line);
        QAccessible::updateAccessibility(&event);
    }
}

void ChatView::appendLines(const QStringList &lines, const QList<int> &speakers)
{
    if (lines.isEmpty())
        return;
    const bool wasFollowing = following();
    const int oldValue = verticalScrollBar()->value();
    // Lines beyond the capacity would go at once: they never come in.
    const qsizetype skip = std::max<qsizetype>(0, lines.size() - m_capacity);
    const qint64 going = std::max<qint64>(0, lineCount() + (lines.size() - skip) - m_capacity);
    const bool tell = QAccessible::isActive();
    if (tell && going > 0) {
        const int cut = going < lineCount() ? offsetOf({m_first + going, 0}) : characterCount() + 1;
        QAccessibleTextRemoveEvent event(this, 0, text(0, cut));
        QAccessible::updateAccessibility(&event);
    }
    const qint64 firstBefore = m_first;
    for (qsizetype i = skip; i < lines.size(); ++i)
        push(lines[i], speakers.value(i));
    m_anchor = clamp(m_anchor);
    m_caret = clamp(m_caret);
    std::erase_if(m_painted, [this](const Painted &p) { return p.line < m_first; });
    updateScrollBar();
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(wasFollowing ? bar->maximum() : int(oldValue - (m_first - firstBefore)));
    viewport()->update();
    if (tell) {
        // The new lines, with the line break in front of them when older lines stay.
        const qint64 added = m_end - qint64(lines.size() - skip);
        const int start = added > m_first ? offsetOf({added, 0}) - 1 : 0;
        QAccessibleTextInsertEvent event(this, start, text(start, characterCount()));
        QAccessible::updateAccessibility(&event);
    }
}

int ChatView::characterCount() const
{
    return m_first == m_end ? 0 : int(m_nextStart - startOf(m_first) - 1);
}

ChatView::Pos ChatView::clamp(Pos p) const
{
    if (m_first == m_end)
        return {m_end, 0};
    if (p.line < m_first)
        return {m_first, 0};
    if (p.line >= m_end)
        return {m_end - 1, int(at(m_end - 1).size())};
    return {p.line, std::clamp(p.column, 0, int(at(p.line).size()))};
}

int ChatView::offsetOf(Pos p) const
{
    if (m_first == m_end)
        return 0;
    p = clamp(p);
    return int(startOf(p.line) - startOf(m_first)) + p.column;
}

ChatView::Pos ChatView::posOf(int offset) const
{
    if (m_first == m_end)
        return {m_end, 0};
    const qint64 wanted = startOf(m_first) + std::clamp(offset, 0, characterCount());
    // The last line that starts at or before the offset.
    qint64 low = m_first;
    qint64 high = m_end - 1;
    while (low < high) {
        const qint64 mid = low + (high - low + 1) / 2;
        if (startOf(mid) <= wanted)
            low = mid;
        else
            high = mid - 1;
    }
    return clamp({low, int(wanted - startOf(low))});
}

QString ChatView::text(int start, int end) const
{
    if (m_first == m_end || end <= start)
        return {};
    const Pos a = posOf(start);
    const Pos b = posOf(end);
    QString out;
    out.reserve(offsetOf(b) - offsetOf(a));
    for (qint64 l = a.line; l <= b.line; ++l) {
        const QString &t = at(l);
        const int from = l == a.line ? a.column : 0;
        const int to = l == b.line ? b.column : int(t.size());
        out += QStringView(t).sliced(from, to - from);
        if (l != b.line)
            out += u'\n';
    }
    return out;
}

void ChatView::selectionOffsets(int *start, int *end) const
{
    *start = offsetOf(std::min(m_anchor, m_caret));
    *end = offsetOf(std::max(m_anchor, m_caret));
}

QString ChatView::selectedText() const
{
    int start = 0;
    int end = 0;
    selectionOffsets(&start, &end);
    return text(start, end);
}

void ChatView::setSelectionOffsets(int anchor, int caret)
{
    setCaret(posOf(anchor), posOf(caret));
}

void ChatView::setCaret(Pos anchor, Pos caret)
{
    const bool hadSelection = hasSelection();
    m_anchor = clamp(anchor);
    m_caret = clamp(caret);
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleTextCursorEvent moved(this, caretOffset());
        QAccessible::updateAccessibility(&moved);
        if (hadSelection || hasSelection()) {
            int start = 0;
            int end = 0;
            selectionOffsets(&start, &end);
            QAccessibleTextSelectionEvent selected(this, start, end);
            QAccessible::updateAccessibility(&selected);
        }
    }
}

void ChatView::moveCaretToEnd()
{
    const Pos end = clamp({m_end, 0});
    if (m_anchor != end || m_caret != end)
        setCaret(end, end);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void ChatView::selectAll()
{
    setCaret({m_first, 0}, {m_end, 0});
    offerSelection();
}

void ChatView::copy() const
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

// On X11 a selection is also offered for a middle click elsewhere.
void ChatView::offerSelection() const
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

qreal ChatView::textWidth() const
{
    return std::max(1, viewport()->width() - 2 * Margin);
}

ChatView::Layout &ChatView::layoutOf(qint64 line)
{
    Layout &e = m_layouts[line];
    e.used = m_paints;
    if (!e.layout) {
        e.layout = std::make_unique<QTextLayout>(at(line), font(), viewport());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        e.layout->setTextOption(option);
        e.layout->setCacheEnabled(true);
        // A note may carry a name or a server's text: in italics, so it never looks said.
        const int speaker = speakerOf(line);
        QTextCharFormat look;
        if (speaker > 0)
            look.setFontWeight(QFont::Bold);
        else
            look.setFontItalic(true);
        e.layout->setFormats({{0, speaker > 0 ? speaker : int(at(line).size()), look}});
        const qreal indent = std::min<qreal>(HangingIndent, textWidth() / 2);
        e.layout->beginLayout();
        qreal y = 0;
        for (QTextLine l = e.layout->createLine(); l.isValid(); l = e.layout->createLine()) {
            const qreal x = y > 0 ? indent : 0;
            l.setLeadingIncluded(true);
            l.setLineWidth(textWidth() - x);
            l.setPosition({x, y});
            y += l.height();
        }
        e.layout->endLayout();
        e.height = y;
    }
    return e;
}

void ChatView::forgetLayouts()
{
    m_layouts.clear();
    m_painted.clear();
}

// The bar counts lines: a value puts that line at the top; once the lines overflow the
// box, one more step past the last of those puts the newest line at the bottom.
void ChatView::updateScrollBar()
{
    const qreal room = viewport()->height() - 2 * Margin;
    qint64 top = m_end;
    qreal used = 0;
    while (top > m_first && used <= room)
        used += layoutOf(--top).height;
    QScrollBar *bar = verticalScrollBar();
    const QSignalBlocker quiet(bar);  // the caller sets the value
    m_overflow = used > room;
    bar->setRange(0, m_overflow ? int(top - m_first) + 1 : 0);
    bar->setPageStep(std::max(1, int(m_end - top) - 1));
}

bool ChatView::following() const
{
    return verticalScrollBar()->value() == verticalScrollBar()->maximum();
}

void ChatView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    m_painted.clear();
    const qreal height = viewport()->height();
    const int value = verticalScrollBar()->value();
    if (m_overflow && value == verticalScrollBar()->maximum()) {
        qreal y = height - Margin;
        for (qint64 l = m_end - 1; l >= m_first && y > 0; --l) {
            const Layout &e = layoutOf(l);
            y -= e.height;
            m_painted.push_back({l, y, e.height});
        }
        std::reverse(m_painted.begin(), m_painted.end());
    } else {
        qreal y = value == 0 ? Margin : 0;
        for (qint64 l = m_first + value; l < m_end && y < height; ++l) {
            const Layout &e = layoutOf(l);
            m_painted.push_back({l, y, e.height});
            y += e.height;
        }
    }
    const Pos from = std::min(m_anchor, m_caret);
    const Pos to = std::max(m_anchor, m_caret);
    QTextCharFormat selected;
    selected.setBackground(palette().brush(QPalette::Highlight));
    selected.setForeground(palette().brush(QPalette::HighlightedText));
    const QRectF dirty = event->rect();
    for (const Painted &p : m_painted) {
        if (p.top > dirty.bottom() || p.top + p.height < dirty.top())
            continue;
        QList<QTextLayout::FormatRange> ranges;
        if (from.line <= p.line && p.line <= to.line && from != to) {
            const int start = p.line == from.line ? from.column : 0;
            const int end = p.line == to.line ? to.column : int(at(p.line).size());
            if (end > start)
                ranges.append({start, end - start, selected});
        }
        m_layouts[p.line].layout->draw(&painter, {qreal(Margin), p.top}, ranges, dirty);
        if (p.line == m_caret.line && hasFocus())  // the caret marks the focus, as in any text box
            m_layouts[p.line].layout->drawCursor(&painter, {qreal(Margin), p.top}, m_caret.column);
    }
    // Keep only what this paint used.
    for (auto it = m_layouts.begin(); it != m_layouts.end();)
        it = it->second.used == m_paints ? std::next(it) : m_layouts.erase(it);
    ++m_paints;
    for (const Painted &p : m_painted)
        m_layouts[p.line].used = m_paints;
}

void ChatView::resizeEvent(QResizeEvent *event)
{
    const bool wasFollowing = following();
    QAbstractScrollArea::resizeEvent(event);
    forgetLayouts();
    updateScrollBar();
    if (wasFollowing)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void ChatView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        const bool wasFollowing = following();
        forgetLayouts();
        updateScrollBar();
        if (wasFollowing)
            verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    }
}

void ChatView::scrollContentsBy(int, int)
{
    viewport()->update();
}

ChatView::Pos ChatView::posAt(QPoint point) const
{
    if (m_painted.empty())
        return clamp({m_end, 0});
    if (point.y() < m_painted.front().top)
        return clamp({m_painted.front().line, 0});
    for (const Painted &p : m_painted) {
        if (point.y() >= p.top + p.height)
            continue;
        const QTextLayout *layout = m_layouts.at(p.line).layout.get();
        const qreal y = point.y() - p.top;
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine l = layout->lineAt(i);
            if (y < l.y() + l.height() || i == layout->lineCount() - 1)
                return clamp({p.line, l.xToCursor(point.x() - Margin)});
        }
    }
    return clamp({m_painted.back().line, int(at(m_painted.back().line).size())});
}

int ChatView::offsetAt(QPoint point) const
{
    return offsetOf(posAt(point));
}

QRect ChatView::characterRect(int offset) const
{
    const Pos p = posOf(offset);
    for (const Painted &painted : m_painted) {
        if (painted.line != p.line)
            continue;
        const QTextLayout *layout = m_layouts.at(p.line).layout.get();
        const QTextLine l = layout->lineForTextPosition(p.column);
        if (!l.isValid())
            return {};
        const qreal x = l.cursorToX(p.column);
        const qreal next = p.column < at(p.line).size() ? l.cursorToX(p.column + 1) : x + 1;
        return QRectF(Margin + x, painted.top + l.y(), std::max<qreal>(1, next - x), l.height()).toAlignedRect();
    }
    return {};
}

void ChatView::scrollToOffset(int offset)
{
    verticalScrollBar()->setValue(int(posOf(offset).line - m_first));
}

void ChatView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void ChatView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void ChatView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(event);
    const Pos p = posAt(event->position().toPoint());
    setCaret(event->modifiers() & Qt::ShiftModifier ? m_anchor : p, p);
    m_selecting = true;
}

void ChatView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_selecting)
        return QAbstractScrollArea::mouseMoveEvent(event);
    const QPoint point = event->position().toPoint();
    // Dragging past an edge brings the next line in.
    if (point.y() < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (point.y() > viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    setCaret(m_anchor, posAt(point));
}

void ChatView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_selecting)
        return QAbstractScrollArea::mouseReleaseEvent(event);
    m_selecting = false;
    offerSelection();
}

void ChatView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mouseDoubleClickEvent(event);
    selectWordAt(posAt(event->position().toPoint()));
    m_selecting = false;
    offerSelection();
}

void ChatView::selectWordAt(Pos p)
{
    const QString &t = at(p.line);
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, t);
    words.setPosition(p.column);
    const qsizetype start = words.isAtBoundary() ? p.column : words.toPreviousBoundary();
    words.setPosition(p.column);
    const qsizetype end = words.toNextBoundary();
    setCaret({p.line, int(std::max<qsizetype>(0, start))}, {p.line, int(end < 0 ? t.size() : end)});
}

void ChatView::keyPressEvent(QKeyEvent *event)
{
    QScrollBar *bar = verticalScrollBar();
    if (event == QKeySequence::Copy)
        copy();
    else if (event == QKeySequence::SelectAll)
        selectAll();
    else if (event == QKeySequence::MoveToStartOfDocument)
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
    else if (event == QKeySequence::MoveToEndOfDocument)
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
    else
        QAbstractScrollArea::keyPressEvent(event);  // arrows and pages scroll; the rest goes on
}

void ChatView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copying = menu.addAction(tr("&Copy"), QKeySequence::Copy, this, [this] { copy(); });
    copying->setEnabled(hasSelection());
    menu.addSeparator();
    menu.addAction(tr("Select All"), QKeySequence::SelectAll, this, [this] { selectAll(); });
    menu.exec(event->globalPos());
}
