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
    void keepsTheNewestLinesForAScreenReader()
    {
        ChatView view(5);
        view.setText(QStringLiteral("welcome"));
        QStringList all{QStringLiteral("welcome")};
        // Batches of every size around the capacity, so the ring wraps at every position.
        for (int batch : {2, 1, 3, 4, 5, 6, 2, 11, 1, 1, 7}) {
            const QStringList lines = numbered(all.size(), all.size() + batch - 1);
            view.appendLines(lines);
            all += lines;
            QCOMPARE(view.toPlainText(), all.mid(std::max<qsizetype>(0, all.size() - 5)).join(u'\n'));
            QCOMPARE(view.characterCount(), view.toPlainText().size());
        }
        // What a screen reader reads and selects, once the transcript starts afresh.
        view.setText(QStringLiteral("bob> hi"));
        view.appendLines({QStringLiteral("Zoë> hé"), QStringLiteral("Cy> yo")});
        QAccessibleInterface *box = QAccessible::queryAccessibleInterface(&view);
        QVERIFY(box && box->textInterface() && box->state().readOnly && box->state().multiLine);
        QAccessibleTextInterface *text = box->textInterface();
        const QString read = QStringLiteral("bob> hi\nZoë> hé\nCy> yo");
        QCOMPARE(text->text(0, text->characterCount()), read);
        text->setSelection(0, 12, 3);  // backwards, across a line break
        QCOMPARE(view.selectedText(), read.mid(3, 9));
        int start = -1, end = -1;
        text->selection(0, &start, &end);
        QVERIFY(start == 3 && end == 12 && text->selectionCount() == 1);
        view.moveCaretToEnd();
        QVERIFY(text->selectionCount() == 0 && text->cursorPosition() == read.size());
        // Places move with the text when the oldest lines go.
        text->setSelection(0, 8, 11);  // "Zoë"
        view.appendLines(numbered(1, 3));
        QCOMPARE(view.selectedText(), QStringLiteral("Zoë"));
        view.appendLines(numbered(4, 4));
        QVERIFY(!view.hasSelection());
    }

    // A person selects and copies by mouse and keys, and scrolled up keeps reading while the box
    // follows the newest line otherwise.
    void aPersonSelectsCopiesAndScrolls()
    {
        ChatView view(100);
        view.resize(200, 120);
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
        view.appendLines(numbered(1, 50));
        view.moveCaretToEnd();
        view.viewport()->repaint();
        QVERIFY(view.viewport()->rect().contains(view.characterRect(view.characterCount())));
        // Scrolled up, the view keeps its line while older lines go.
        view.verticalScrollBar()->setValue(22);
        view.appendLines(numbered(51, 110));
        view.viewport()->repaint();
        QCOMPARE(view.text(view.offsetAt({0, 1}), view.offsetAt({0, 1}) + 7), QStringLiteral("line 21"));
        view.moveCaretToEnd();
        QCOMPARE(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
    }

    // A speaker's name is bold, notes are italic, and wrapped rows start right of where lines
    // start, so no text passes for a speaker; what is read and copied stays "name> text".
    void aSpeakerStandsApart()
    {
        ChatView view(10);
        view.resize(140, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        const QString said = QStringLiteral("bob> hi"), wrapped = QStringLiteral("Cy> Mallory> a line long enough to wrap");
        view.appendLines({said, said, wrapped, wrapped}, {0, 3, 2});
        view.setFocus();  // the caret marks the focus
        const QImage focused = view.grab().toImage();
        view.clearFocus();
        QTRY_VERIFY(view.grab().toImage() != focused);
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
        QVERIFY(firstOfRow(line4, 1).x() > view.characterRect(line4).x());  // a note's rows too
        QCOMPARE(view.text(line3, line4 - 1), wrapped);
    }
};

QTEST_MAIN(TestChatView)
#include "tst_chatview.moc"
