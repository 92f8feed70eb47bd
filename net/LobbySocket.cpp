#include "net/LobbySocket.h"

#include <QNetworkInterface>
#include <QSslConfiguration>

#include <sys/socket.h>

LobbySocket::LobbySocket(QObject *parent) : QObject(parent)
{
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(ConnectTimeoutMs);
    connect(&m_connectTimer, &QTimer::timeout, this, &LobbySocket::onConnectTimeout);
    m_drainTimer.setSingleShot(true);
    connect(&m_drainTimer, &QTimer::timeout, this, &LobbySocket::drainQueue);
    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, &LobbySocket::onIdle);
    m_closeTimer.setSingleShot(true);
    m_closeTimer.setInterval(CloseWaitMs);
    connect(&m_closeTimer, &QTimer::timeout, this, &LobbySocket::finishClose);
    makeSocket(false);
    m_clock.start();
}

// A TLS socket loads the TLS library, some megabytes, even for plain text: it is made only
// for a TLS server.
void LobbySocket::makeSocket(bool tls)
{
    if (m_socket && (this->tls() != nullptr) == tls)
        return;
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket.release()->deleteLater();  // it may be reporting right now
    }
    m_socket.reset(tls ? new QSslSocket : new QTcpSocket);
    QTcpSocket *s = m_socket.get();
    connect(s, &QAbstractSocket::stateChanged, this, [this](QAbstractSocket::SocketState state) {
        switch (state) {
        case QAbstractSocket::HostLookupState: setState(Resolving); break;
        case QAbstractSocket::ConnectingState: setState(Connecting); break;
        default: break;  // connected by onLinkUp; closing and closed by onError or close()
        }
    });
    // The TLS socket knows its local address only from here on, not at its state change.
    connect(s, &QAbstractSocket::connected, this, [this] {
        m_localIP = m_socket->localAddress().toString().toLatin1();
        if (!m_server.tls)
            onLinkUp();  // else once the certificate is trusted
    });
    connect(s, &QAbstractSocket::errorOccurred, this, &LobbySocket::onError);
    connect(s, &QIODevice::readyRead, this, &LobbySocket::onReadyRead);
    // Small reads keep each pass through the rules short under a flood; the rest waits in the kernel.
    s->setReadBufferSize(16 * 1024);
    connect(s, &QAbstractSocket::disconnected, this, [this] {
        if (m_closeTimer.isActive())
            finishClose();  // the server closed its side too: everything written has arrived
    });
    const auto written = [this] {
        if (m_closeTimer.isActive() && m_socket->bytesToWrite() == 0 && (!this->tls() || this->tls()->encryptedBytesToWrite() == 0))
            shutDownSending();
    };
    connect(s, &QAbstractSocket::bytesWritten, this, written);
    if (QSslSocket *secure = this->tls()) {
        connect(secure, &QSslSocket::encrypted, this, &LobbySocket::onLinkUp);
        connect(secure, &QSslSocket::sslErrors, this, &LobbySocket::onSslErrors);
        connect(secure, &QSslSocket::encryptedBytesWritten, this, written);
    }
}

LobbySocket::~LobbySocket()
{
    m_socket->disconnect(this);  // the socket outlives the timers its signals would touch
}

void LobbySocket::connectToServer()
{
    abort();
    m_throttle = SendThrottle();  // a new connection: the server counts afresh
    m_closedByProgram = false;
    m_probeSent = false;
    m_framer.clear();
    m_failure = Failure::None;
    makeSocket(m_server.tls);
    // IPv4 unless the player named an IPv6 address: the address is published to other players
    // as dotted decimal.
    const auto ip = m_server.isIPv6Literal() ? QAbstractSocket::IPv6Protocol : QAbstractSocket::IPv4Protocol;
    if (m_server.tls) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();  // the system's CAs
        tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
        this->tls()->ignoreSslErrors(QList<QSslError>{});  // what a pin let pass last time is asked again
        this->tls()->setSslConfiguration(tls);
        this->tls()->connectToHostEncrypted(m_server.host, m_server.port, QIODevice::ReadWrite, ip);
    } else {
        m_socket->connectToHost(m_server.host, m_server.port, QIODevice::ReadWrite, ip);
    }
    m_connectTimer.start();
    setState(Connecting);  // after a failed try too, so its failure is news
}

void LobbySocket::onLinkUp()
{
    m_connectTimer.stop();
    setState(Connected);
    if (!m_probeLine.isEmpty())
        m_idleTimer.start();
}

void LobbySocket::onConnectTimeout()
{
    if (m_state == Connected || m_closedByProgram)
        return;
    abort();
    m_failure = Failure::TimedOut;
    setState(Error);
}

QByteArray LobbySocket::fingerprint(const QSslCertificate &certificate)
{
    return certificate.isNull() ? QByteArray() : certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper();
}

bool LobbySocket::sameFingerprint(QByteArrayView a, QByteArrayView b)
{
    const auto bare = [](QByteArrayView f) { return f.toByteArray().replace(':', "").toLower(); };
    return !a.isEmpty() && bare(a) == bare(b);
}

// Each error in words; a pinned certificate lets pass only what says "not vouched for by a
// CA" (the issuer, the name), never what says the certificate itself is no good.
void LobbySocket::onSslErrors(const QList<QSslError> &errors)
{
    const QByteArray leaf = fingerprint(tls()->peerCertificate());
    bool pinnable = !leaf.isEmpty();
    QStringList words;
    for (const QSslError &e : errors) {
        QString word;
        switch (e.error()) {
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain: word = QStringLiteral("self-signed"); break;
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::CertificateUntrusted: word = QStringLiteral("unknown issuer"); break;
        case QSslError::HostNameMismatch: word = QStringLiteral("wrong name"); break;
        case QSslError::CertificateExpired: word = QStringLiteral("expired"), pinnable = false; break;
        case QSslError::CertificateNotYetValid: word = QStringLiteral("not yet valid"), pinnable = false; break;
        default: word = e.errorString(), pinnable = false; break;
        }
        if (!words.contains(word))
            words += word;
    }
    const auto pin = std::find_if(m_pins.cbegin(), m_pins.cend(), [&](const QByteArray &p) { return sameFingerprint(p, leaf); });
    if (pinnable && pin != m_pins.cend()) {
        tls()->ignoreSslErrors(errors);  // exactly these, for this certificate
        return;
    }
    if (!m_pins.isEmpty() && pin == m_pins.cend())
        words.prepend(QStringLiteral("not the pinned certificate"));
    m_failure = Failure::TlsRefused;
    emit tlsRefused(words.join(QStringLiteral(", ")), leaf, pin != m_pins.cend() ? *pin : m_pins.value(0));
}

bool LobbySocket::send(const QByteArray &line, Kind kind)
{
    return enqueue(line, kind, false);
}

bool LobbySocket::sendFirst(const QByteArray &line, Kind kind)
{
    return enqueue(line, kind, true);
}

bool LobbySocket::enqueue(const QByteArray &line, Kind kind, bool first)
{
    if (m_state != Connected)
        return false;
    if (first)
        m_throttle.pushFirst(line, now(), kind);
    else
        m_throttle.push(line, now(), kind);
    drainQueue();
    return true;
}

void LobbySocket::drainQueue()
{
    if (m_state != Connected) {
        m_throttle.clear();
        return;
    }
    const qint64 now = this->now();
    QByteArray ready = m_throttle.takeReady(now);
    while (m_backgroundPending() && m_throttle.takeRoom(now)) {
        const QByteArray line = m_backgroundNext();
        if (line.isEmpty()) {
            m_throttle.giveRoomBack();
            break;
        }
        ready += line;
    }
    if (!ready.isEmpty()) {
        m_socket->write(ready);
        m_traffic.linesWritten += ready.count('\n');
    }
    const qint64 wait = m_throttle.msUntilNext(now, m_backgroundPending());
    if (wait >= 0 && !m_drainTimer.isActive())
        m_drainTimer.start(int(wait));
}

QByteArray LobbySocket::localIP() const
{
    if (!m_localIP.isEmpty())
        return m_localIP;
    for (const QHostAddress &a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            return a.toString().toLatin1();
    return "127.0.0.1";
}

void LobbySocket::setIdleProbe(int idleMs, const QByteArray &probeLine)
{
    m_idleTimer.setInterval(idleMs);
    m_probeLine = probeLine;
}

void LobbySocket::onIdle()
{
    if (m_state != Connected)
        return;
    if (!m_probeSent) {
        m_probeSent = true;
        // Straight out, not behind the bucket: the answer's deadline runs from now, and
        // one line a minute floods nobody.
        m_socket->write(m_probeLine);
        m_idleTimer.start();
        return;
    }
    // No answer: whatever was between us and the server is gone.
    abort();
    setState(Error);
}

int LobbySocket::close()
{
    int dropped = 0;
    const bool open = m_socket->state() == QAbstractSocket::ConnectedState && !m_closedByProgram;
    if (m_state == Connected)
        m_socket->write(m_throttle.takeForClose(&dropped));
    m_throttle.clear();
    m_drainTimer.stop();
    m_idleTimer.stop();
    m_framer.clear();
    m_closedByProgram = true;
    setState(Closed);
    if (!open) {
        QTimer::singleShot(0, this, &LobbySocket::finishClose);
        return dropped;
    }
    // A plain close with unread input resets the connection, and the server may then drop
    // the lines written last: send everything, close only the sending side, and let the
    // server close once it has read them.
    m_closeTimer.start();
    m_socket->flush();
    if (m_socket->bytesToWrite() == 0)
        shutDownSending();
    return dropped;
}

void LobbySocket::shutDownSending()
{
    ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
}

void LobbySocket::finishClose()
{
    if (!m_closedByProgram)
        return;
    m_closeTimer.stop();
    m_socket->abort();
    emit closed();
}

void LobbySocket::abort()
{
    m_closedByProgram = true;
    m_closeTimer.stop();
    m_connectTimer.stop();
    m_throttle.clear();
    m_drainTimer.stop();
    m_idleTimer.stop();
    m_socket->abort();
    m_framer.clear();
    if (m_state == Connected)
        m_state = Closed;  // nothing more is written; the caller already knows, so no signal
}

void LobbySocket::setState(int state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void LobbySocket::onError(QAbstractSocket::SocketError error)
{
    if (m_closedByProgram)
        return;
    // Once connected, the server closing the link is "closing" until the program closes the socket.
    m_idleTimer.stop();
    m_connectTimer.stop();
    const bool wasConnected = m_state == Connected || m_state == Closing;
    if (m_failure == Failure::None) {
        switch (error) {
        case QAbstractSocket::ConnectionRefusedError: m_failure = Failure::Refused; break;
        case QAbstractSocket::HostNotFoundError: m_failure = Failure::NotResolved; break;
        case QAbstractSocket::SocketTimeoutError: m_failure = Failure::TimedOut; break;
        case QAbstractSocket::SslHandshakeFailedError:
        case QAbstractSocket::SslInternalError:
        case QAbstractSocket::SslInvalidUserDataError:  // no certificate to judge: the handshake itself failed
            m_failure = Failure::TlsRefused;
            emit tlsRefused(m_socket->errorString(), {}, {});
            break;
        default: m_failure = wasConnected ? Failure::Lost : Failure::Unreachable; break;
        }
    }
    setState(wasConnected && error == QAbstractSocket::RemoteHostClosedError ? Closing : Error);
}

void LobbySocket::onReadyRead()
{
    const QByteArray raw = m_socket->readAll();
    if (m_closedByProgram)
        return;
    if (!m_probeLine.isEmpty()) {  // anything from the server is a sign of life
        m_probeSent = false;
        m_idleTimer.start();
    }
    std::vector<QByteArrayView> lines;
    lines.swap(m_lines);  // a read that came in while this one is handled gets a list of its own
    m_framer.feed(raw, lines);
    m_traffic.bytesRead += raw.size();
    m_traffic.linesRead += lines.size();
    emit dataArrival(raw, lines);
    lines.clear();
    m_lines.swap(lines);
}
