#include "PlainIrcClient.h"

#include <QHostAddress>
#include <QTest>

PlainIrcClient::PlainIrcClient(QByteArray nickname) : m_nickname(std::move(nickname))
{
    QObject::connect(&m_socket, &QTcpSocket::readyRead, &m_socket, [this] { onReadyRead(); });
}

bool PlainIrcClient::connectAndRegister(const QString &host, quint16 port, int timeoutMs)
{
    m_socket.connectToHost(QHostAddress(host), port);
    if (!QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::ConnectedState; }, timeoutMs))
        return false;
    sendRaw("NICK " + m_nickname + "\r\nUSER " + m_nickname + " 0 * :plain client\r\n");
    return QTest::qWaitFor([this] {
        for (const QByteArray &line : std::as_const(m_lines))
            if (line.startsWith(':') && line.contains(" 001 "))
                return true;
        return false;
    }, timeoutMs);
}

bool PlainIrcClient::join(const QByteArray &channel, int timeoutMs)
{
    sendRaw("JOIN " + channel + "\r\n");
    const QByteArray prefix = ':' + m_nickname + '!';
    return QTest::qWaitFor([&] {
        for (const QByteArray &line : std::as_const(m_lines))
            if (line.startsWith(prefix) && line.contains(" JOIN ") && line.contains(channel))
                return true;
        return false;
    }, timeoutMs);
}

void PlainIrcClient::sendRaw(const QByteArray &bytes)
{
    m_socket.write(bytes);
    m_socket.flush();
}

void PlainIrcClient::onReadyRead()
{
    const QByteArray bytes = m_socket.readAll();
    m_received += bytes;
    m_partial += bytes;
    for (qsizetype end; (end = m_partial.indexOf("\r\n")) >= 0;) {
        const QByteArray line = m_partial.first(end);
        m_partial.remove(0, end + 2);
        if (line.startsWith("PING ")) {
            const QByteArray token = line.mid(5);
            sendRaw("PONG :" + (token.startsWith(':') ? token.mid(1) : token) + "\r\n");
        }
        m_lines.append(line);
    }
}
