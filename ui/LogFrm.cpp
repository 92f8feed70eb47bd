#include "ui/LogFrm.h"

#include "core/SharedState.h"
#include "core/WireText.h"
#include "ui/Controls.h"

#include <QPlainTextEdit>

namespace {
QPlainTextEdit *makeLogBox(QWidget *parent, const char *name, QRect geometry)
{
    auto *box = makeControl<QPlainTextEdit>(parent, name, geometry);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    return box;
}
}  // namespace

LogFrm::LogFrm(const SharedState &state, QWidget *parent) : QDialog(parent, Qt::Tool), m_state(state)
{
    setupWindow(this, "LogFrm", QStringLiteral("Connection Log"), {306, 164});
    Text1 = makeLogBox(this, "Text1", {8, 8, 289, 73});
    Text2 = makeLogBox(this, "Text2", {8, 88, 289, 73});
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
    mirror(Text1, m_state.InboundLog, m_inbound);
    mirror(Text2, m_state.OutboundLog, m_outbound);
}

void LogFrm::mirror(QPlainTextEdit *box, const QByteArray &log, Shown &shown)
{
    // Unchanged log and untouched box: nothing to redo.
    if (shown.logSize == log.size() && !box->document()->isModified())
        return;
    QByteArrayView tail(log);
    if (tail.size() > ShownBytes) {
        tail = tail.last(ShownBytes);
        const qsizetype lineStart = tail.indexOf('\n');
        tail = lineStart < 0 ? QByteArrayView() : tail.sliced(lineStart + 1);
    }
    box->setPlainText(WireText::decode(tail));  // the caret and view go back to the start
    box->document()->setModified(false);
    shown.logSize = log.size();
}
