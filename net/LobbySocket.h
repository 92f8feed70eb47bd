#pragma once

#include "net/LineFramer.h"
#include "net/SendThrottle.h"
#include "net/ServerAddress.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSslError>
#include <QSslSocket>
#include <QTimer>

#include <functional>
#include <memory>

// The lobby's one connection, plain TCP or TLS. Reports the state numbers the lobby reads,
// hands out every raw read and then every complete CR LF line of it, and keeps
// its local IPv4 address readable after close.
// TLS trusts the system's CAs and checks the host name; beyond that it trusts only a pinned
// certificate (its SHA-256), never anything else, and a refused certificate is never retried in
// plain text.
class LobbySocket : public QObject {
    Q_OBJECT
public:
    enum State : int { Closed = 0, Resolving = 4, Connecting = 6, Connected = 7, Closing = 8, Error = 9 };

    explicit LobbySocket(QObject *parent = nullptr);
    ~LobbySocket() override;

    void setRemoteHost(const QString &host) { m_server.host = host; }
    void setRemotePort(quint16 port) { m_server.port = port; }
    void setServer(const ServerAddress &server) { m_server = server; }
    const ServerAddress &server() const { return m_server; }
    // Certificates the player trusts for this server beyond the CAs: their SHA-256 as
    // fingerprint() writes it (any case, colons optional).
    void setPinnedFingerprints(const QList<QByteArray> &pins) { m_pins = pins; }
    void setPinnedFingerprint(const QByteArray &pin) { m_pins = pin.isEmpty() ? QList<QByteArray>{} : QList{pin}; }
    // From the start of a try until the link is up (TLS included); then the try fails as TimedOut.
    void setConnectTimeout(int ms) { m_connectTimer.setInterval(ms); }
    static constexpr int ConnectTimeoutMs = 20000;
    void connectToServer();
    // Why the last try or link failed, for walking a list of servers.
    enum class Failure { None, Refused, TimedOut, NotResolved, Unreachable, TlsRefused, Lost };
    Failure lastFailure() const { return m_failure; }
    // SHA-256 in hex, upper case, bytes apart by colons.
    static QByteArray fingerprint(const QSslCertificate &certificate);
    static bool sameFingerprint(QByteArrayView a, QByteArrayView b);
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
    // Moves the throttle's time on and writes what it lets go then: a test need not wait out
    // the rate the servers ask for.
    void skip(qint64 ms)
    {
        m_skipped += ms;
        drainQueue();
    }
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
    // A TLS server was not trusted, before the state turns to Error: why in words ("self-signed",
    // "expired", "wrong name", "unknown issuer", the certificate changed), the leaf's fingerprint,
    // and the pinned one it failed to match (empty when nothing was pinned).
    void tlsRefused(const QString &reason, const QByteArray &fingerprint, const QByteArray &pinnedFingerprint);
    // One read as it came, and the complete lines it finished: views that hold
    // during the call only.
    void dataArrival(const QByteArray &raw, const std::vector<QByteArrayView> &lines);

private:
    void setState(int state);
    bool enqueue(const QByteArray &line, Kind kind, bool first);
    void onReadyRead();
    void onError(QAbstractSocket::SocketError error);
    void onSslErrors(const QList<QSslError> &errors);
    void onLinkUp();
    void onConnectTimeout();
    void onIdle();
    void shutDownSending();
    void finishClose();

    void makeSocket(bool tls);
    QSslSocket *tls() const { return qobject_cast<QSslSocket *>(m_socket.get()); }
    std::unique_ptr<QTcpSocket> m_socket;
    LineFramer m_framer;
    std::vector<QByteArrayView> m_lines;  // kept between reads, so a read allocates no list
    SendThrottle m_throttle;
    QElapsedTimer m_clock;
    qint64 m_skipped = 0;
    qint64 now() const { return m_clock.elapsed() + m_skipped; }
    QTimer m_drainTimer;
    QTimer m_idleTimer;
    QTimer m_closeTimer;
    QTimer m_connectTimer;
    QByteArray m_probeLine;
    std::function<bool()> m_backgroundPending = [] { return false; };
    std::function<QByteArray()> m_backgroundNext;
    bool m_probeSent = false;
    ServerAddress m_server{QString(), 0, false};
    QList<QByteArray> m_pins;
    Failure m_failure = Failure::None;
    int m_state = Closed;
    QByteArray m_localIP;
    bool m_closedByProgram = false;
    Traffic m_traffic;
};
