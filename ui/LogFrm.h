#pragma once

#include <QTimer>
#include <QWidget>

class QPlainTextEdit;
class TrafficLog;
class LobbyStatus;

// The traffic log: what came in from the server and the registration notes,
// refreshed every second while open. A window of its own, placed by the desktop.
class LogFrm : public QWidget {
    Q_OBJECT
public:
    // The boxes show the newest part of a log, so a tick costs the same for any log size.
    static constexpr qsizetype ShownBytes = 64 * 1024;  // some 600 lines: the boxes show five

    LogFrm(const LobbyStatus &status, QWidget *parent = nullptr);

    QPlainTextEdit *Text2;
    QPlainTextEdit *Text1;
    QTimer Timer1;

    void Form_Load();
    void Timer1_Timer();

private:
    struct Shown {
        qint64 logTotal = -1;  // the log's total when the box last showed it, -1 before the first tick
    };
    void mirror(QPlainTextEdit *box, const TrafficLog &log, Shown &shown);

    const LobbyStatus &m_status;
    Shown m_inbound;
    Shown m_outbound;
};
