#pragma once

#include "ScriptedServer.h"

// Somebody else's IRC client: raw lines both ways, answering PING, none of the lobby's rules.
struct PlainIrcClient : QTcpSocket {
    QByteArray received;
    qsizetype parsed = 0;

    PlainIrcClient()
    {
        QObject::connect(this, &QTcpSocket::readyRead, this, [this] {
            received += readAll();
            for (qsizetype end; (end = received.indexOf("\r\n", parsed)) >= 0; parsed = end + 2) {
                const QByteArray line = received.mid(parsed, end - parsed);
                if (line.startsWith("PING "))
                    send("PONG " + line.mid(5) + "\r\n");
                onLine(line);
            }
        });
    }
    // Registers and, unless channel is empty, joins it (until the end of its names list).
    bool enter(quint16 port, const QByteArray &nick, const QByteArray &channel = "#TavarineNET_3")
    {
        connectToHost(QHostAddress::LocalHost, port);
        if (!waitForConnected(5000))
            return false;
        send("NICK " + nick + "\r\nUSER " + nick + " 0 * :plain client\r\n");
        if (!arrives(received, " 001 "))
            return false;
        if (!channel.isEmpty())
            send("JOIN " + channel + "\r\n");
        return channel.isEmpty() || arrives(received, " 366 ");
    }
    void send(const QByteArray &bytes)
    {
        write(bytes);
        flush();
    }

protected:
    virtual void onLine(const QByteArray &) {}
};
