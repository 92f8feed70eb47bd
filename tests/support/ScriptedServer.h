#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// A fake IRC server on a free loopback port whose every byte the test writes,
// for exact control over what the client sees and how it is cut into reads.
// Clients are numbered 0, 1, ... in the order they connect; numbers stay valid
// after a client leaves.
class ScriptedServer : public QObject {
    Q_OBJECT
public:
    explicit ScriptedServer(QObject *parent = nullptr);
    ~ScriptedServer() override;

    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    QString host() const { return QStringLiteral("127.0.0.1"); }

    int clientCount() const { return int(m_clients.size()); }  // connected so far, including gone ones
    bool isConnected(int client = 0) const;
    bool waitForClient(int timeoutMs, int count = 1);  // until clientCount() >= count
    bool waitForDisconnected(int timeoutMs, int client = 0);

    QByteArray received(int client = 0) const;  // everything that client sent so far
    void clearReceived(int client = 0);
    bool waitForReceived(const QByteArray &needle, int timeoutMs, int client = 0);

    void send(const QByteArray &bytes, int client = 0);  // exactly these bytes, flushed
    bool flush(int client = 0, int timeoutMs = 30000);   // until all is handed to the OS
    void disconnectClient(int client = 0);  // orderly close after pending bytes
    void abortClient(int client = 0);       // immediate close, pending bytes dropped

signals:
    void clientConnected();
    void clientDisconnected(int client);
    void dataReceived();

private:
    struct Client {
        QTcpSocket *socket = nullptr;
        QByteArray received;
    };

    void acceptClients();
    QTcpSocket *socketOf(int client) const;

    QTcpServer m_server;
    QList<Client> m_clients;
};
