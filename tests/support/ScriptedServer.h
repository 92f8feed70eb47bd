#pragma once

#include "session/LobbySession.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

inline bool arrives(const QByteArray &in, const QByteArray &bytes, int ms = 20000)
{
    return QTest::qWaitFor([&] { return in.contains(bytes); }, ms);
}

// A fake IRC server on a free loopback port: the test writes every byte its latest client
// gets, and reads every byte that client sent. While it waits, the throttle of the socket it
// hurries lets lines go at once rather than one a second.
struct ScriptedServer : QTcpServer {
    QByteArray received;
    QPointer<QTcpSocket> client;
    QPointer<LobbySocket> hurried;

    ScriptedServer()
    {
        listen(QHostAddress::LocalHost, 0);
        QObject::connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *c = client = nextPendingConnection();
            QObject::connect(c, &QTcpSocket::readyRead, c, [this, c] { received += c->readAll(); });
        });
    }
    ServerAddress address() const { return {QStringLiteral("127.0.0.1"), serverPort(), false}; }
    bool waitFor(const QByteArray &bytes)
    {
        return QTest::qWaitFor([&] { return received.contains(bytes) || (hurried && (hurried->skip(SendThrottle::IntervalMs), false)); }, 20000);
    }
    bool clientGone() { return QTest::qWaitFor([&] { return client->state() == QTcpSocket::UnconnectedState; }); }
};
