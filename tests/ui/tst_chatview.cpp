// The chat box: what it keeps, what a screen reader and the clipboard get, where it scrolls.
#include "ui/ChatView.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>

static QStringList numbered(int from, int to)
{
    QStringList out;
    for (int n = from; n <= to; ++n)
        out << QStringLiteral("line %1").arg(n);
    return out;
}

class TestChatView : public QObject {
    Q_OBJECT
private slots:
    void keepsTheNewestLinesInOrder()
    {
        ChatView view(5);
        view.setText(QStringLiteral("welcome"));
        view.appendLines(numbered(1, 2));
        QCOMPARE(view.toPlainText(), QStringLiteral("welcome\nline 1\nline 2"));
        // Batches of every size around the capacity, so the ring wraps at every position.
        QStringList all = QStringList{QStringLiteral("welcome")} + numbered(1, 2);
        for (int batch : {1, 3, 4, 5, 6, 2, 11, 1, 1, 7}) {
            const QStringList lines = numbered(all.size(), all.size() + batch - 1);
            view.appendLines(lines);
            all += lines;
            QCOMPARE(view.toPlainText(), all.mid(std::max<qsizetype>(0, all.size() - 5)).join(u'\n'));
            QCOMPARE(view.characterCount(), view.toPlainText().size());
        }
        view.setText(QStringLiteral("again"));
        QCOMPARE(view.lineCount(), 1);
        QCOMPARE(view.toPlainText(), QStringLiteral("again"));
    }

    void aScreenReaderReadsAndSelects()
    {
        ChatView view(3);
        view.appendLines({QStringLiteral("gone"), QStringLiteral("bob> hi"), QStringLiteral("Zoë> hé"),
                          QStringLiteral("Cy> yo")});
        QAccessibleInterface *box = QAccessible::queryAccessibleInterface(&view);
        QVERIFY(box && box->textInterface());
        QCOMPARE(box->role(), QAccessible::EditableText);
        QVERIFY(box->state().readOnly && box->state().multiLine);
        QAccessibleTextInterface *text = box->textInterface();
        const QString all = QStringLiteral("bob> hi\nZoë> hé\nCy> yo");
        QCOMPARE(text->text(0, text->characterCount()), all);
        QCOMPARE(text->text(5, 12), all.mid(5, 7));
        text->setSelection(0, 12, 3);  // backwards, across a line break
        QCOMPARE(view.selectedText(), all.mid(3, 9));
        int start = -1, end = -1;
        text->selection(0, &start, &end);
        QVERIFY(start == 3 && end == 12 && text->selectionCount() == 1);
        view.moveCaretToEnd();
        QVERIFY(text->selectionCount() == 0 && text->cursorPosition() == all.size());
        // Places move with the text when the oldest lines go.
        text->setSelection(0, 8, 11);  // "Zoë"
        view.appendLines({QStringLiteral("Al> 1")});
        QCOMPARE(view.selectedText(), QStringLiteral("Zoë"));
        view.appendLines({QStringLiteral("Al> 2"), QStringLiteral("Al> 3")});
        QVERIFY(!view.hasSelection());
    }

    void aPersonSelectsAndCopies()
    {
        ChatView view(100);
        view.resize(300, 200);
        view.appendLines({QStringLiteral("hello world"), QStringLiteral("second line")});
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.viewport()->repaint();
        const QPoint from = view.characterRect(0).center() - QPoint(view.characterRect(0).width() / 2, 0);
        const QPoint to(view.viewport()->width() - 2, view.characterRect(view.characterCount()).center().y());
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
        QTest::mouseMove(view.viewport(), to);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, to);
        QCOMPARE(view.selectedText(), QStringLiteral("hello world\nsecond line"));
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("hello world\nsecond line"));
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.characterRect(8).center());
        QCOMPARE(view.selectedText(), QStringLiteral("world"));
    }

    // A speaker's name is bold, and a said line's wrapped rows start right of where names
    // start, so no text passes for a speaker; what is read and copied stays "name> text".
    void aSpeakerStandsApart()
    {
        ChatView view(10);
        view.resize(140, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QString said = QStringLiteral("bob> hi"), wrapped = QStringLiteral("Cy> Mallory> a line long enough to wrap");
        view.appendLines({said, said, wrapped, wrapped}, {0, 3, 2});
        view.viewport()->repaint();
        const int line2 = int(said.size()) + 1, line3 = 2 * line2, line4 = line3 + int(wrapped.size()) + 1;
        QVERIFY(view.characterRect(line2 + 2).right() > view.characterRect(2).right());  // "bob" said, wider than in a note
        const auto firstOfRow = [&](int start, int row) {
            int at = start;
            for (int seen = 0; at < start + wrapped.size() && seen < row; ++at)
                seen += view.characterRect(at + 1).y() > view.characterRect(at).y();
            return view.characterRect(at);
        };
        QVERIFY(firstOfRow(line3, 1).y() > view.characterRect(line3).y());  // it wraps
        QVERIFY(firstOfRow(line3, 1).x() > view.characterRect(line3).x() && firstOfRow(line3, 2).x() > view.characterRect(line3).x());
        QCOMPARE(firstOfRow(line4, 1).x(), view.characterRect(line4).x());  // a note wraps as it always did
        QCOMPARE(view.line(2), wrapped);
    }

    void followsTheNewestLineUnlessScrolledAway()
    {
        ChatView view(100);
        view.resize(200, 120);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.appendLines(numbered(1, 50));
        view.moveCaretToEnd();
        view.viewport()->repaint();
        const QRect end = view.characterRect(view.characterCount());
        QVERIFY(!end.isEmpty() && view.viewport()->rect().contains(end));
        // Scrolled up, the view keeps its line while older lines go.
        view.verticalScrollBar()->setValue(20);
        view.appendLines(numbered(51, 110));
        view.viewport()->repaint();
        QCOMPARE(view.text(view.offsetAt({0, 1}), view.offsetAt({0, 1}) + 7), QStringLiteral("line 21"));
        view.moveCaretToEnd();
        QCOMPARE(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
    }
};

QTEST_MAIN(TestChatView)
#include "tst_chatview.moc"
