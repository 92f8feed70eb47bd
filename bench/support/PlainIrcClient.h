#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QTcpSocket>

// Somebody else's IRC client in the channel: raw lines over TCP, nothing of the
// lobby's own rules, so a bench can send whatever any client could.
class PlainIrcClient {
public:
    explicit PlainIrcClient(QByteArray nickname);

    // Connects, sends NICK and USER and waits for the welcome (001).
    bool connectAndRegister(const QString &host, quint16 port, int timeoutMs = 15000);
    // Joins and waits until the server reports this client's own JOIN.
    bool join(const QByteArray &channel, int timeoutMs = 15000);
    void sendRaw(const QByteArray &bytes);  // exactly these bytes, flushed
    QByteArray received() const { return m_received; }

private:
    void onReadyRead();

    QByteArray m_nickname;
    QTcpSocket m_socket;
    QByteArray m_received;
    QByteArray m_partial;
    QByteArrayList m_lines;
};
