#pragma once

#include <QAbstractScrollArea>
#include <QStringList>

#include <memory>
#include <unordered_map>
#include <vector>

class QTextLayout;

// A read-only transcript of chat lines, one paragraph each, wrapped at the box's width.
// A line may start with its speaker's name, drawn bold; a line without one is a note, drawn
// in italics. Every line's wrapped rows are indented, so no text stands at the start of a row
// where only a speaker's name or a note's start stands.
// It keeps the newest `capacity` lines in a ring, so adding a line costs the same whatever
// the box has seen, and it lays out only the lines it paints. A person selects with the
// mouse and copies (keys, context menu, X11 selection); screen readers read it through
// QAccessibleTextInterface. Offsets count characters of toPlainText().
class ChatView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ChatView(int capacity, QWidget *parent = nullptr);
    ~ChatView() override;

    void setText(const QString &line);  // the transcript becomes this one line
    // speakers: for each line, how many of its first characters are the speaker's name (0 or
    // missing: a note of the lobby's own).
    void appendLines(const QStringList &lines, const QList<int> &speakers = {});
    int lineCount() const { return int(m_end - m_first); }
    QString line(int index) const;  // 0 is the oldest kept
    QString toPlainText() const;

    // The caret goes to the end, the selection goes, and the newest line comes into view.
    void moveCaretToEnd();
    bool hasSelection() const { return m_anchor != m_caret; }
    QString selectedText() const;
    void selectAll();
    void copy() const;

    int characterCount() const;
    QString text(int start, int end) const;
    int caretOffset() const { return offsetOf(m_caret); }
    void selectionOffsets(int *start, int *end) const;
    void setSelectionOffsets(int anchor, int caret);
    QRect characterRect(int offset) const;  // in viewport coordinates; empty when not painted
    int offsetAt(QPoint viewportPoint) const;
    void scrollToOffset(int offset);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    // A place in the transcript: the line's serial number (counted since the box was
    // made, so trimming moves no place) and a character within it.
    struct Pos {
        qint64 line = 0;
        int column = 0;
        auto operator<=>(const Pos &) const = default;
    };
    struct Layout {
        std::unique_ptr<QTextLayout> layout;
        qreal height = 0;
        quint64 used = 0;
    };
    struct Painted {
        qint64 line;
        qreal top;
        qreal height;
    };

    const QString &at(qint64 line) const { return m_lines[size_t(line % m_capacity)]; }
    qint64 startOf(qint64 line) const { return m_starts[size_t(line % m_capacity)]; }
    int speakerOf(qint64 line) const { return m_speakers[size_t(line % m_capacity)]; }
    void push(const QString &line, int speaker = 0);
    int offsetOf(Pos p) const;
    Pos posOf(int offset) const;
    Pos clamp(Pos p) const;
    Layout &layoutOf(qint64 line);
    qreal textWidth() const;
    void forgetLayouts();
    void updateScrollBar();
    bool following() const;
    Pos posAt(QPoint viewportPoint) const;
    void selectWordAt(Pos p);
    void setCaret(Pos anchor, Pos caret);
    void offerSelection() const;

    const qint64 m_capacity;
    std::vector<QString> m_lines;  // ring of line texts
    std::vector<qint64> m_starts;  // ring of each line's first character, counted since the box was made
    std::vector<int> m_speakers;   // ring of each line's speaker name length
    qint64 m_first = 0;            // serial of the oldest line kept
    qint64 m_end = 0;              // serial after the newest
    qint64 m_nextStart = 0;
    Pos m_anchor;
    Pos m_caret;
    bool m_selecting = false;
    bool m_overflow = false;  // the lines are taller than the box
    std::unordered_map<qint64, Layout> m_layouts;  // of the lines painted lately
    quint64 m_paints = 0;
    std::vector<Painted> m_painted;
};
