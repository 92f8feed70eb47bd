#pragma once

#include "net/LineFramer.h"
#include "net/SendThrottle.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

// The lobby's one TCP connection. Reports the state numbers the lobby reads,
// hands out every raw read and then every complete CR LF line of it, and keeps
// its local IPv4 address readable after close.
class LobbySocket : public QObject {
    Q_OBJECT
public:
    enum State : int { Closed = 0, Resolving = 4, Connecting = 6, Connected = 7, Closing = 8, Error = 9 };

    explicit LobbySocket(QObject *parent = nullptr);
    ~LobbySocket() override;

    void setRemoteHost(const QString &host) { m_host = host; }
    void setRemotePort(quint16 port) { m_port = port; }
    void connectToServer();
    int state() const { return m_state; }
    bool isConnected() const { return m_state == Connected; }
    using Kind = SendThrottle::Kind;
    // Queues one whole line behind those waiting; dropped unless connected. A line of
    // a kind other than Ordinary replaces a waiting line of its kind.
    bool send(const QByteArray &line, Kind kind = SendThrottle::Ordinary);
    // Queues a line ahead of those waiting (the answer to a PING, the launch).
    bool sendFirst(const QByteArray &line, Kind kind = SendThrottle::Ordinary);
    qsizetype waitingLines() const { return m_throttle.waiting(); }
    void drop(Kind kind) { m_throttle.drop(kind); }
    // Writes what the throttle lets go now; runs by itself when tokens come back.
    void drainQueue();
    // Lines of least worth (answers to others), made only when nothing else waits and the
    // bucket has room: `pending` says one would be made, `next` makes it.
    void setBackground(std::function<bool()> pending, std::function<QByteArray()> next)
    {
        m_backgroundPending = std::move(pending);
        m_backgroundNext = std::move(next);
    }
    QByteArray localIP() const;
    // A link can die without a close. After idleMs with nothing read, the probe line
    // goes out at once, ahead of the queue; after idleMs more with nothing read, the link is
    // lost: closed here and reported as Error. Off until set.
    void setIdleProbe(int idleMs, const QByteArray &probeLine);
    // Closes without losing the last lines: writes what the servers take right before a
    // close (SendThrottle::CloseAllowance lines, the first ones), shuts the sending side,
    // and reads (and drops) what still comes until the server closes, at most CloseWaitMs;
    // then closed(). Returns how many waiting lines were dropped.
    int close();
    static constexpr int CloseWaitMs = 2000;
    // Lets go at once, writing nothing more; no state is reported (the caller knows why).
    void abort();
    bool closedByProgram() const { return m_closedByProgram; }
    qsizetype pendingBytes() const { return m_framer.pendingSize(); }  // of a line still incomplete
    // What this connection has cost so far, across reconnections: the bench weighs a lobby by it.
    struct Traffic {
        qint64 bytesRead = 0;
        qint64 linesRead = 0;
        qint64 linesWritten = 0;
    };
    const Traffic &traffic() const { return m_traffic; }

signals:
    void stateChanged(int state);
    void closed();  // a close() is complete
    // One read as it came, and the complete lines it finished: views that hold
    // during the call only.
    void dataArrival(const QByteArray &raw, const QList<QByteArrayView> &lines);

private:
    void setState(int state);
    bool enqueue(const QByteArray &line, Kind kind, bool first);
    void onReadyRead();
    void onError(QAbstractSocket::SocketError error);
    void onIdle();
    void shutDownSending();
    void finishClose();

    QTcpSocket m_socket;
    LineFramer m_framer;
    QList<QByteArrayView> m_lines;  // kept between reads, so a read allocates no list
    SendThrottle m_throttle;
    QElapsedTimer m_clock;
    QTimer m_drainTimer;
    QTimer m_idleTimer;
    QTimer m_closeTimer;
    QByteArray m_probeLine;
    std::function<bool()> m_backgroundPending = [] { return false; };
    std::function<QByteArray()> m_backgroundNext;
    bool m_probeSent = false;
    QString m_host;
    quint16 m_port = 0;
    int m_state = Closed;
    QByteArray m_localIP;
    bool m_closedByProgram = false;
    Traffic m_traffic;
};
