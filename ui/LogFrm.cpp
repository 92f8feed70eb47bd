#include "ui/LogFrm.h"

#include "session/LobbyControls.h"
#include "protocol/WireText.h"
#include "ui/Controls.h"

#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextBlock>

namespace {
QPlainTextEdit *makeLogBox(QWidget *parent, const char *name, QRect geometry, const QString &spokenName)
{
    auto *box = makeControl<QPlainTextEdit>(parent, name, geometry);
    setSpokenName(box, spokenName);
    box->setTabChangesFocus(true);  // a tab typed here would be gone at the next tick anyway
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    box->setUndoRedoEnabled(false);  // the next tick undoes any typing anyway
    return box;
}
QString shownText(QByteArrayView bytes)
{
    return WireText::decode(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
}  // namespace

LogFrm::LogFrm(const LobbyStatus &status, QWidget *parent) : QWidget(parent, Qt::Tool), m_status(status)
{
    setupWindow(this, "LogFrm", QStringLiteral("Connection Log"), {306, 164});
    Text1 = makeLogBox(this, "Text1", {8, 8, 289, 73}, QStringLiteral("Data in"));
    Text2 = makeLogBox(this, "Text2", {8, 88, 289, 73}, QStringLiteral("Data out"));
    new QShortcut(Qt::Key_Escape, this, this, &QWidget::close);
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &LogFrm::Timer1_Timer);
    Form_Load();
}

void LogFrm::Form_Load()
{
    Text1->setPlainText(QStringLiteral("Data IN"));
    Text2->setPlainText(QStringLiteral("Data Out"));
    Text1->document()->setModified(false);
    Text2->document()->setModified(false);
    Timer1.start();
}

void LogFrm::Timer1_Timer()
{
    mirror(Text1, m_status.inboundLog(), m_inbound);
    mirror(Text2, m_status.outboundLog(), m_outbound);
}

void LogFrm::mirror(QPlainTextEdit *box, const TrafficLog &log, Shown &shown)
{
    const bool untouched = !box->document()->isModified();
    const qint64 grown = log.total() - shown.logTotal;
    if (untouched && shown.logTotal >= 0 && grown > 0 && grown < ShownBytes && grown <= log.size()) {
        // The log only grew: add the new part and let the oldest lines go, so a tick
        // costs what arrived since the last one, whatever the size of the log.
        QTextCursor end(box->document());
        end.movePosition(QTextCursor::End);
        end.insertText(shownText(log.tail(grown)));
        QTextCursor oldest(box->document());
        while (box->document()->characterCount() > ShownBytes && oldest.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor)) {
            oldest.removeSelectedText();
            oldest.movePosition(QTextCursor::Start);
        }
    } else if (!untouched || grown != 0) {
        const bool cut = log.size() > ShownBytes;
        QByteArray tail = log.tail(std::min(log.size(), ShownBytes));
        if (cut)  // from a line start
            tail.remove(0, tail.indexOf('\n') + 1);
        box->setPlainText(shownText(tail));
    }
    box->document()->setModified(false);
    shown.logTotal = log.total();
    // Every tick shows the log from its start again, wherever the user left caret or view.
    box->moveCursor(QTextCursor::Start);
    box->ensureCursorVisible();
}
