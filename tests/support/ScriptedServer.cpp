#include "ScriptedServer.h"

#include <QTcpSocket>
#include <QTest>

ScriptedServer::ScriptedServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedServer::acceptClients);
}

ScriptedServer::~ScriptedServer()
{
    for (const Client &c : std::as_const(m_clients)) {
        c.socket->disconnect(this);
        c.socket->abort();
    }
}

bool ScriptedServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

void ScriptedServer::acceptClients()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        const int index = int(m_clients.size());
        m_clients.append(Client{socket, {}});
        connect(socket, &QTcpSocket::readyRead, this, [this, index] {
            m_clients[index].received += m_clients[index].socket->readAll();
            emit dataReceived();
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, index] { emit clientDisconnected(index); });
        emit clientConnected();
    }
}

QTcpSocket *ScriptedServer::socketOf(int client) const
{
    if (client < 0 || client >= m_clients.size()) {
        qWarning("ScriptedServer: no client %d (%d connected so far)", client, int(m_clients.size()));
        return nullptr;
    }
    return m_clients[client].socket;
}

bool ScriptedServer::isConnected(int client) const
{
    const QTcpSocket *s = socketOf(client);
    return s && s->state() == QAbstractSocket::ConnectedState;
}

bool ScriptedServer::waitForClient(int timeoutMs, int count)
{
    return QTest::qWaitFor([&] { return clientCount() >= count; }, timeoutMs);
}

bool ScriptedServer::waitForDisconnected(int timeoutMs, int client)
{
    const QTcpSocket *s = socketOf(client);
    return s && QTest::qWaitFor([s] { return s->state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
}

QByteArray ScriptedServer::received(int client) const
{
    return socketOf(client) ? m_clients[client].received : QByteArray();
}

void ScriptedServer::clearReceived(int client)
{
    if (socketOf(client))
        m_clients[client].received.clear();
}

bool ScriptedServer::waitForReceived(const QByteArray &needle, int timeoutMs, int client)
{
    if (client < 0)
        return false;
    // The client may not have connected yet; wait for it as part of the same deadline.
    return QTest::qWaitFor([&] { return client < clientCount() && m_clients[client].received.contains(needle); },
                           timeoutMs);
}

void ScriptedServer::send(const QByteArray &bytes, int client)
{
    if (QTcpSocket *s = socketOf(client)) {
        s->write(bytes);
        s->flush();
    }
}

bool ScriptedServer::flush(int client, int timeoutMs)
{
    QTcpSocket *s = socketOf(client);
    if (!s)
        return false;
    s->flush();
    return QTest::qWaitFor([s] { return s->bytesToWrite() == 0 || s->state() != QAbstractSocket::ConnectedState; },
                           timeoutMs)
        && s->bytesToWrite() == 0;
}

void ScriptedServer::disconnectClient(int client)
{
    if (QTcpSocket *s = socketOf(client))
        s->disconnectFromHost();
}

void ScriptedServer::abortClient(int client)
{
    if (QTcpSocket *s = socketOf(client))
        s->abort();
}
